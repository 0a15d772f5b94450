// The three conversion jobs. The object holds no state; each job reports its own
// failures to the error log and answers true only when it finished its work.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quen {

// Four header bytes copied unchanged into a message file.
using HeaderWord = std::array<std::uint8_t, 4>;

class Converter {
  public:
    // One WAV recording into one greeting data file; `format` "g723" (any case)
    // selects G.723.1, anything else A-law.
    bool convertGreeting(const std::u16string& wavFile, const std::u16string& mailboxName,
                         const std::u16string& recordingName, const std::u16string& format,
                         const std::u16string& outFile) const;

    // One WAV recording into one voicemail message data file.
    bool convertMessage(const std::u16string& wavFile, const std::u16string& outFile,
                        std::int32_t formatCode, const std::u16string& mailboxName,
                        const std::u16string& callingParty, const std::u16string& displayString,
                        const HeaderWord& reserved, const HeaderWord& internalFlag,
                        std::int32_t recordTime, std::int32_t listenTime) const;

    // Every recorded greeting of an AA template into a ".c23" and a ".c11" file;
    // `batchMode` 1 names files after attendant and greeting kind, anything else
    // after the recording.
    bool convertBatch(const std::u16string& templatePath, const std::u16string& wavDirectory,
                      const std::u16string& resultDirectory, int batchMode) const;
};

}  // namespace quen
