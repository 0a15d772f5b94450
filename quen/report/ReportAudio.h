// Where the players of a `quen report` page find their audio: inside the page as data
// URIs while all of it stays under MAX_EMBEDDED_AUDIO_BYTES, so the page is one file
// to mail or archive; past that, as WAV files in a folder beside the page, named after
// it ("report.html" gets "report-audio/"), which the page links relatively.
#pragma once

#include <cstdint>
#include <string>

#include "quen/report/ReportModel.h"

namespace quen::tool {

// 50 MB of WAV audio; base64 makes a third more of it.
constexpr std::uint64_t MAX_EMBEDDED_AUDIO_BYTES = 50'000'000;

// All the audio a page holds, in WAV bytes.
std::uint64_t audioBytes(const ReportView& page);

class AudioPlacement {
  public:
    AudioPlacement(const std::string& pagePath, std::uint64_t totalBytes,
                   std::uint64_t embedLimit = MAX_EMBEDDED_AUDIO_BYTES);

    bool embedded() const { return embedded_; }
    // The URL a player's src attribute gets; `name` is a plain file name (letters,
    // digits, '-', '.'). Beside the page, the file is written now.
    std::string source(const PlayerAudio& audio, const std::string& name);
    // Empty, or the first failure in words, naming the file.
    const std::string& failure() const { return failure_; }
    const std::string& folder() const { return folder_; }

  private:
    bool embedded_;
    std::string folder_;      // beside the page, as the command line names it
    std::string folderLink_;  // its last part, percent-encoded for a URL
    bool folderReady_ = false;
    std::string failure_;
};

}  // namespace quen::tool
