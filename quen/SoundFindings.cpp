// Every finding is judged on the rounded figures the reports show, so a shown -22.00 dBm0
// is never called too low. A sound with no speech gets no finding about its speech.
#include "quen/SoundFindings.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dsp/SpeechLevel.h"
#include "platform/TextConversion.h"
#include "quen/DecimalText.h"
#include "quen/InputOperands.h"
#include "quen/Output.h"
#include "quen/ShellCommand.h"
#include "wav/WaveFormat.h"

namespace quen::tool {
namespace {

std::string word(const std::u16string& text) {
    return shellWord(toNarrow(text));
}

std::optional<std::string> noSpeech(const SoundFigures& figures) {
    const auto& level = figures.activeLevelDbm0;
    if (!level) {
        return "no speech: nothing in it rises above silence";
    }
    if (*level < NO_SPEECH_LEVEL_DBM0) {
        return "no speech: its active level, " + decibelText(*level, "dBm0") +
               ", is codec idle noise (under " + decibelText(NO_SPEECH_LEVEL_DBM0, "dBm0") + ")";
    }
    const double seconds =
        figures.activityFactor * static_cast<double>(figures.samples) / SPEECH_SAMPLE_RATE;
    if (seconds < NO_SPEECH_MIN_SECONDS) {
        return "no speech: " + decimalText(seconds, 2) + " s of sound in all (under " +
               decimalText(NO_SPEECH_MIN_SECONDS, 1) + " s)";
    }
    return std::nullopt;
}

}  // namespace

PrepareAgain prepareRecordingAgain(const std::string& path) {
    return [path](const std::string& options) {
        return prepareCommand(path, besideName(path, PREPARED_SUFFIX), options);
    };
}

PrepareAgain convertDataFileAgain(const std::string& path, const DataFileContents& contents) {
    return [path, contents](const std::string& options) {
        // The extension stays in the names: a greeting's A-law and G.723.1 files share
        // the rest of theirs.
        // Standard input leaves no name: the files are named for it instead.
        const std::string base = path == STANDARD_INPUT ? "standard-input" : path;
        const std::string decoded = base + DECODED_SUFFIX;
        const std::string prepared = base + PREPARED_SUFFIX;
        const std::string format(codecFacts(contents.codec).jobWord);
        std::string job;
        // A greeting's flash type is the code of a codec a greeting job writes.
        if (isGreetingFlashType(contents.flashType)) {
            job = shellWord("/convert:" + prepared) + " " + word(contents.texts[0]) + " " +
                  word(contents.texts[1]) + " " + format;
        } else {
            const bool internal = contents.internalFlag[0] == 0 &&
                                  contents.internalFlag[1] == 'Y' &&
                                  contents.internalFlag[2] == 0 && contents.internalFlag[3] == 0;
            job = shellWord("/convertMsg:" + prepared) + " " + word(contents.texts[0]) + " " +
                  word(contents.texts[1]) + " " + word(contents.texts[2]) + " " + format + " " +
                  (hasNewMessageBit(contents.flashType) ? "Y" : "N") + " " +
                  (internal ? "Y" : "N") + " " + std::to_string(contents.recordTime) + " " +
                  std::to_string(contents.listenTime);
        }
        // Prepare exits 1 for what it finds in a file it wrote all the same; 2 for one it
        // could not write.
        return "quen inspect " + shellWord(path) + " --wav " + shellWord(decoded) + "; " +
               prepareCommand(decoded, prepared, options) + "; [ $? -le 1 ] && QuenGreeting " +
               job + " " + shellWord(base) + " errors.txt";
    };
}

std::vector<Finding> soundFindings(const SoundMeasures& measures, const PrepareAgain& fix) {
    const SoundFigures figures = soundFigures(measures);
    const std::optional<std::string> silent = noSpeech(figures);
    // Speech that never reaches the silence threshold is quiet, not silent at its ends:
    // its level says so.
    const bool belowSilence = measures.levels.leadingSilence == measures.levels.samples;
    const bool ends = !silent && !belowSilence;
    const bool leading = ends && figures.leadingSilenceSeconds > LONG_SILENCE_SECONDS;
    const bool trailing = ends && figures.trailingSilenceSeconds > LONG_SILENCE_SECONDS;
    // One command for everything prepare mends, so that pasting any of them mends all.
    const std::string command = fix(leading || trailing ? "--trim-silence " : "");

    std::vector<Finding> findings;
    if (silent) {
        findings.push_back({"no_speech", *silent + "; record it again", std::nullopt});
    }
    const auto silence = [&](const char* key, double seconds, const char* where) {
        findings.push_back({key,
                            decimalText(seconds, 2) + " s of silence " + where + " (over " +
                                decimalText(LONG_SILENCE_SECONDS, 0) + " s); trim it",
                            command});
    };
    if (leading) {
        silence("leading_silence", figures.leadingSilenceSeconds, "before the sound");
    }
    if (trailing) {
        silence("trailing_silence", figures.trailingSilenceSeconds, "after the sound");
    }
    if (const auto& level = figures.activeLevelDbm0; level && !silent) {
        const double offset = *level - TELEPHONE_SPEECH_LEVEL_DBM0;
        if (std::fabs(offset) > LEVEL_FINDING_MARGIN_DB) {
            findings.push_back({"level",
                                "active speech level " + decibelText(*level, "dBm0") + ", " +
                                    decibelText(std::fabs(offset), "dB") +
                                    (offset < 0 ? " below" : " above") + " the target of " +
                                    decibelText(TELEPHONE_SPEECH_LEVEL_DBM0, "dBm0") +
                                    " (more than " + decimalText(LEVEL_FINDING_MARGIN_DB, 0) +
                                    " dB off); level it",
                                command});
        }
    }
    if (std::fabs(figures.dcOffsetPercent) > DC_OFFSET_LIMIT_PERCENT) {
        findings.push_back({"dc_offset",
                            "DC offset " + dcOffsetText(figures.dcOffsetPercent) + " (over " +
                                decimalText(DC_OFFSET_LIMIT_PERCENT, 1) + " %); remove it",
                            command});
    }
    if (figures.clippedSamples > 0) {
        findings.push_back({"clipping",
                            "clipped: " + clippingText(figures) +
                                "; clipping cannot be undone: record it again with less input "
                                "gain, or bring its peaks under full scale",
                            command});
    }
    return findings;
}

std::optional<Finding> limitingFinding(double reductionDb, std::optional<std::string> command) {
    // Judged on the figure shown, like every other finding.
    const double depth = std::round(-reductionDb * 10.0) / 10.0;
    if (depth <= LIMITING_LIMIT_DB) {
        return std::nullopt;
    }
    return Finding{"limiting",
                   "limited: peaks held down by up to " + decimalText(depth, 1) + " dB (over " +
                       decimalText(LIMITING_LIMIT_DB, 0) +
                       " dB), which squashes speech; level it lower",
                   std::move(command)};
}

std::optional<Finding> cancellingFinding(const ChannelBalance& channels) {
    if (channels.louderChannel < 0 || channels.louderPower <= 0.0) {
        return std::nullopt;
    }
    const std::string louder = "channel " + std::to_string(channels.louderChannel + 1);
    std::string below;
    if (channels.mixPower > 0.0) {
        const double db =
            std::round(10.0 * std::log10(channels.louderPower / channels.mixPower) * 10.0) / 10.0;
        if (db <= CANCELLING_MIX_DB) {
            return std::nullopt;
        }
        below = "their mix lies " + decimalText(db, 1) + " dB below " + louder + " (over " +
                decimalText(CANCELLING_MIX_DB, 0) + " dB)";
    } else {
        below = "their mix is silent, " + louder + " is not";
    }
    return Finding{"channels_cancel",
                   "channels cancel: " + below + "; taken from " + louder + " alone", std::nullopt};
}

nlohmann::json findingsJson(const std::vector<Finding>& findings) {
    nlohmann::json list = nlohmann::json::array();
    for (const Finding& finding : findings) {
        list.push_back({{"key", finding.key},
                        {"text", finding.text},
                        {"command", finding.command ? nlohmann::json(*finding.command)
                                                    : nlohmann::json(nullptr)}});
    }
    return list;
}

std::string findingsText(const std::vector<Finding>& findings, const std::string& indent,
                         int column) {
    std::string out;
    const auto line = [&](const std::string& label, const std::string& value) {
        const int padding = std::max(1, column - static_cast<int>(label.size()));
        out += indent + label + std::string(static_cast<std::size_t>(padding), ' ') + value + "\n";
    };
    for (const Finding& finding : findings) {
        line("finding", finding.text);
        if (finding.command) {
            line("do", *finding.command);
        }
    }
    return out;
}

}  // namespace quen::tool
