// What is wrong with a sound, judged once from its measures for every command that shows
// one: each finding with a stable key, one line with its figure, and the command that
// removes it, ready to paste.
#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "datafile/DataFileReader.h"
#include "media/ChannelBalance.h"
#include "quen/SoundMeasures.h"

namespace quen::tool {

// How far from the telephone target (TELEPHONE_SPEECH_LEVEL_DBM0) an active speech level
// may be: callers hear 3 dB as a clear step between one greeting and the next.
constexpr double LEVEL_FINDING_MARGIN_DB = 3.0;
// Below this active level a sound holds no speech. A-law's quietest codes decode to +/-8,
// which reads -69.2 dBm0 whatever the recording was: silence from an A-law file, dithered
// or not, comes back near that. 4 dB above it is still 20 dB under the quietest speech a
// caller could follow on a telephone line.
constexpr double NO_SPEECH_LEVEL_DBM0 = -65.0;
// Less active speech than this in all is a click or a breath, not a greeting: the
// meter's hangover alone makes any sound at least 0.2 s long.
constexpr double NO_SPEECH_MIN_SECONDS = 0.3;
// Silence at either end longer than this is a wait a caller notices.
constexpr double LONG_SILENCE_SECONDS = 1.0;
// A mean beyond 0.5 % of full scale (164 in 16 bits, ten of A-law's quietest steps) is a
// converter's fault, not the recording's, and clicks where the sound starts or is cut.
constexpr double DC_OFFSET_LIMIT_PERCENT = 0.5;
// A limiter holding peaks down by more than this squashes speech audibly.
constexpr double LIMITING_LIMIT_DB = 6.0;
// A mix of a source's channels this far below the louder channel means they cancel (one
// is the other inverted): more than any two microphones' difference in level.
constexpr double CANCELLING_MIX_DB = 10.0;

struct Finding {
    std::string key;                     // stable, snake_case
    std::string text;                    // one line, with the figure and what to do
    std::optional<std::string> command;  // removes the finding, run as printed
};

// The command that makes the sound again through `quen prepare`, given the options
// prepare needs (empty, or ending in a space), ready to paste.
using PrepareAgain = std::function<std::string(const std::string& prepareOptions)>;

// A recording prepared into a new file beside it.
PrepareAgain prepareRecordingAgain(const std::string& path);
// A data file decoded, prepared and converted again under its own header's names and
// codec, by the job that wrote it.
PrepareAgain convertDataFileAgain(const std::string& path, const DataFileContents& contents);

// In a fixed order: no speech, silence at either end, level, DC offset, clipping.
std::vector<Finding> soundFindings(const SoundMeasures& measures, const PrepareAgain& fix);
// What only prepare knows of its result: the limiter's deepest reduction (0 or negative),
// with the command that levels it lower; none within LIMITING_LIMIT_DB.
std::optional<Finding> limitingFinding(double reductionDb, std::optional<std::string> command);
// Channels that cancel when mixed, judged on `channels` as decoded; prepare takes the
// louder channel instead, so the finding needs no command. None within CANCELLING_MIX_DB.
std::optional<Finding> cancellingFinding(const ChannelBalance& channels);

// [{key, text, command}], command null when there is none.
nlohmann::json findingsJson(const std::vector<Finding>& findings);
// "finding" and "do" lines, indented and padded to `column`.
std::string findingsText(const std::vector<Finding>& findings, const std::string& indent,
                         int column);

}  // namespace quen::tool
