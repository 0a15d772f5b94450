// Where the players of a `quen report` page find their audio: inside the page as data
// URIs while all of it stays under MAX_EMBEDDED_AUDIO_BYTES, so the page is one file
// to mail or archive; past that, as WAV files in a folder beside the page, named after
// it ("report.html" gets "report-audio/"), which the page links relatively. Each
// distinct audio (by its bytes, not by its file) is kept once, however many players
// show it: mode 1 and mode 2 make byte-identical data files of one recording.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ByteSpan.h"
#include "quen/report/ContentHash.h"
#include "quen/report/ReportFolder.h"

namespace quen::tool {

// 50 MB of distinct WAV audio; base64 makes a third more of it.
constexpr std::uint64_t MAX_EMBEDDED_AUDIO_BYTES = 50'000'000;
// 2 GB of WAV files, each counted once: some 35 hours of audio, far past any template,
// and still a size a disk and a browser take.
constexpr std::uint64_t MAX_REPORT_AUDIO_BYTES = 2'000'000'000;

class AudioStore;

// The audio of one source on its way into the store, WAV bytes piece by piece: held in
// memory while the page may embed it, else written straight into its file.
class AudioOutput {
  public:
    void append(ByteSpan bytes);

  private:
    friend class AudioStore;
    std::size_t source_ = 0;
    std::uint64_t bytes_ = 0;
    bool live_ = false;
    ContentHash hash_;
    std::vector<std::uint8_t> held_;
    AudioFileWriter file_;
    std::string failure_;
};

class AudioStore {
  public:
    explicit AudioStore(AudioFolder folder, std::uint64_t embedLimit = MAX_EMBEDDED_AUDIO_BYTES,
                        std::uint64_t totalLimit = MAX_REPORT_AUDIO_BYTES);

    // A source, its file named `name` (a plain file name: letters, digits, '-', '.');
    // before any audio is given.
    std::size_t addSource(std::string name);

    // The audio of `source`, `bytes` WAV bytes in all; appended to the output, then
    // finished. Any thread may give the audio of its own sources.
    AudioOutput start(std::size_t source, std::uint64_t bytes);
    // False when the audio did not arrive whole (`complete` false: the input failed).
    bool finish(AudioOutput&& output, bool complete = true);

    bool embedded() const { return !folder_.isOpen(); }
    // The source whose audio `source` plays: itself, or an earlier one of the same bytes.
    std::size_t played(std::size_t source) const;
    // For embedded audio: the WAV bytes of a source; else the URL of its file.
    const std::vector<std::uint8_t>& bytes(std::size_t source) const;
    std::string url(std::size_t source) const;
    // Empty, or the first failure in words, naming the file or the limit.
    const std::string& failure() const { return failure_; }
    const std::string& folder() const { return folder_.shownPath(); }
    // After a failure: the files this run wrote, and the folder it made, are removed.
    void removeWritten();
    // Once page `pageName` is written: what an earlier run of it left in the folder and
    // this run did not write is removed (all of it when the audio is inside the page),
    // and this run's files are listed for the next. Empty, or why the list is not written.
    std::string finishPage(const std::string& pageName);

  private:
    struct Source {
        std::string name;
        std::vector<std::uint8_t> held;
        bool written = false;
        std::optional<std::size_t> sameAs;
    };
    using ContentKey = std::pair<std::uint64_t, std::uint64_t>;
    std::optional<std::size_t> sameAudio(const AudioOutput& output, const ContentKey& key) const;
    void fail(const std::string& text);
    bool openFolder();
    bool writeFile(Source& source, ByteSpan bytes);

    AudioFolder folder_;
    std::uint64_t embedLimit_;
    std::uint64_t totalLimit_;
    std::vector<Source> sources_;
    // The sources that play their own audio, by its content.
    std::multimap<ContentKey, std::size_t> byContent_;
    std::uint64_t total_ = 0;
    std::uint64_t embeddedTotal_ = 0;
    std::string failure_;
    std::mutex lock_;
};

}  // namespace quen::tool
