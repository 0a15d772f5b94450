// The greeting conversion in two halves, so that a batch can do the work ahead on
// worker threads and still write every data file in template order: everything up to
// the data file, then the write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "datafile/DataFileHeader.h"
#include "jobs/ConversionSteps.h"
#include "platform/LogSink.h"

namespace quen {

// Converter::convertGreeting's operands.
struct GreetingRequest {
    std::u16string wavFile;
    std::u16string mailboxName;
    std::u16string recordingName;
    std::u16string format;
    std::u16string outFile;
};

// A greeting data file whose content is complete in memory.
struct PreparedGreeting {
    std::uint8_t flashType = 0;
    DataFileHeader header;
    EncodedAudio encoded;
};

// Everything the conversion does before the data file is written, the "Creating data
// file" line included; empty after a failure, which is in `log`.
std::optional<PreparedGreeting> prepareGreeting(const GreetingRequest& request, LogSink& log);

// Writes the data file; false after "Can't open file" in `log`.
bool writeGreeting(const GreetingRequest& request, const PreparedGreeting& greeting, LogSink& log);

}  // namespace quen
