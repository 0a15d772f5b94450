// What `quen check` finds out about one recording: what it is (the standard RIFF
// layout, or what libavformat takes it for), whether QuenGreeting accepts it, told by
// running the converter's own reading and WAV-location code, and why not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/MediaDecoder.h"
#include "quen/SoundFindings.h"
#include "quen/SoundMeasures.h"
#include "wav/RiffLayout.h"

namespace quen::tool {

// Sizes of the data files a greeting conversion would write.
struct DataFileSizes {
    std::uint64_t g711 = 0;  // A-law and mu-law alike
    std::uint64_t g723 = 0;
};

struct RecordingCheck {
    std::string path;
    bool accepted = false;
    // The lines QuenGreeting writes to its error log for this recording; none when it
    // is accepted.
    std::vector<std::string> logLines;
    std::optional<RiffLayout> layout;
    std::optional<MediaFormat> media;  // what libavformat reads it as, when refused
    std::string mediaError;            // why libavformat could not read it
    std::vector<std::string> causes;   // plain reasons for a refusal
    std::optional<std::string> fix;    // the command that fixes a refused recording
    // Why the file cannot be got at (opened, or its first byte read): the check's trouble,
    // told from its one look at the file.
    std::optional<std::string> unreadable;
    bool aaTemplate = false;  // an AA template, refused as a recording
    // Of an accepted recording as QuenGreeting reads it, or of a refused one as
    // libavformat decodes it to 8 kHz mono; with `full` only.
    std::optional<SoundMeasures> sound;
    bool soundPartial = false;  // a recording longer than the part measured
    // What is wrong with the sound, each with the prepare command that mends it.
    std::vector<Finding> findings;
    std::optional<DataFileSizes> sizes;
};

// A refused recording is always described and explained. `full` describes an
// accepted one too, with its data-file sizes, and measures the sound of both; a template check,
// which only needs the verdicts of many greetings, leaves that out. `name` is the file
// as shown when it is not `path` (standard input, read from a copy).
RecordingCheck checkRecording(const std::string& path, bool full, const std::string& name = {});

}  // namespace quen::tool
