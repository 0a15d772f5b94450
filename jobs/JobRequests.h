// The operands of the two single conversions, as the command line hands them over.
#pragma once

#include <cstdint>
#include <string>

#include "datafile/DataFileHeader.h"

namespace quen {

// One WAV recording into one greeting data file.
struct GreetingRequest {
    std::u16string wavFile;
    std::u16string mailboxName;
    std::u16string recordingName;
    // "g723" (any case) selects G.723.1, anything else A-law.
    std::u16string format;
    std::u16string outFile;
};

// One WAV recording into one voicemail message data file.
struct MessageRequest {
    std::u16string wavFile;
    std::u16string outFile;
    // The codec and new-message code; its low byte is the file's flash type.
    std::int32_t formatCode = 0;
    std::u16string mailboxName;
    std::u16string callingParty;
    std::u16string displayString;
    HeaderWord reserved{};
    HeaderWord internalFlag{};
    std::int32_t recordTime = 0;
    std::int32_t listenTime = 0;
};

}  // namespace quen
