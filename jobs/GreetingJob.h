// The greeting conversion in two halves, so that a batch can do the work ahead on
// worker threads and still put every data file in place in template order: everything
// up to the data file's commit, then the commit.
#pragma once

#include <optional>
#include <string>

#include "datafile/DataFileOutput.h"
#include "jobs/JobRequests.h"
#include "platform/LogSink.h"

namespace quen {

// A greeting data file written whole to its temporary file.
struct PreparedGreeting {
    DataFileOutput output;
    std::u16string outFile;
};

// Everything the conversion does before the data file is put in place, the "Creating
// data file" line included; empty after a failure, which is in `log`.
std::optional<PreparedGreeting> prepareGreeting(const GreetingRequest& request, LogSink& log);

// Puts the data file in place; false after "Can't open file" in `log`.
bool writeGreeting(PreparedGreeting& greeting, LogSink& log);

}  // namespace quen
