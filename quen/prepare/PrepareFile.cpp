// The report gives the input's and the output's levels side by side, so a user sees
// what the gain and the limiter did.
#include "quen/prepare/PrepareFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "platform/Console.h"
#include "quen/DecimalText.h"
#include "quen/FailureText.h"
#include "quen/Output.h"
#include "quen/SoundFindings.h"
#include "quen/SoundMeasures.h"
#include "quen/TextDisplay.h"
#include "quen/WavOutput.h"
#include "quen/prepare/PrepareFindings.h"
#include "wav/WavWriter.h"

namespace quen::tool {
namespace {

// Shorter inputs decode faster than a progress line could be read.
constexpr double PROGRESS_MIN_SECONDS = 60.0;

double secondsOf(std::size_t samples) {
    return static_cast<double>(samples) / TELEPHONY_SAMPLE_RATE;
}

std::string seconds(std::size_t samples) {
    return decimalText(secondsOf(samples), 2) + " s";
}

std::size_t samplesOf(double seconds) {
    return static_cast<std::size_t>(std::ceil(seconds * TELEPHONY_SAMPLE_RATE));
}

std::string signedDb(double db) {
    // No "-0.0 dB" for a gain that rounds to nothing.
    const std::string digits = decimalText(std::abs(db) < 0.05 ? 0.0 : db, 1);
    return (digits[0] == '-' ? "" : "+") + digits + " dB";
}

// A percentage on one line of the terminal, rewritten in place and cleared at the end;
// only for inputs long enough to make someone wait.
class ProgressLine {
  public:
    explicit ProgressLine(const std::string& input) : input_(shownName(input)) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(double secondsRead, double secondsTotal) {
        if (secondsTotal < PROGRESS_MIN_SECONDS) {
            return;
        }
        const int percent = static_cast<int>(100.0 * std::min(1.0, secondsRead / secondsTotal));
        if (percent != shown_) {
            shown_ = percent;
            std::cerr << "\rquen prepare: reading " << input_ << " " << percent << "%"
                      << std::flush;
        }
    }

    void clear() {
        if (shown_ >= 0) {
            std::cerr << "\r\033[K" << std::flush;
            shown_ = -1;
        }
    }

  private:
    std::string input_;
    int shown_ = -1;
};

std::string describeSource(const MediaFormat& source) {
    std::string text = source.container + " (" + source.containerLong + "), " + source.codec;
    if (source.bitsPerSample > 0) {
        text += " " + std::to_string(source.bitsPerSample) + "-bit";
    }
    return text + ", " + std::to_string(source.sampleRate) + " Hz, " +
           std::to_string(source.channels) + (source.channels == 1 ? " channel" : " channels") +
           ", " + decimalText(source.durationSeconds, 2) + " s";
}

std::string describeLevels(const RecordingLevels& levels) {
    if (!levels.speech.activeLevelDbm0) {
        return "silent";
    }
    std::string text = "speech " + decimalText(*levels.speech.activeLevelDbm0, 1) +
                       " dBm0, activity " + decimalText(100.0 * levels.speech.activityFactor, 0) +
                       " %";
    if (levels.loudnessLufs) {
        text += ", loudness " + decimalText(*levels.loudnessLufs, 1) + " LUFS";
    }
    text += ", peak " + decibelText(levels.samplePeakDbfs, "dBFS");
    return levels.truePeakDbfs ? text + ", true peak " + decibelText(*levels.truePeakDbfs, "dBFS")
                               : text;
}

std::string describeTarget(const PrepareOptions& options) {
    switch (options.target) {
        case LevelTarget::SPEECH_LEVEL:
            return decimalText(options.targetDbm0, 1) + " dBm0";
        case LevelTarget::LOUDNESS:
            return decimalText(options.targetLufs, 1) + " LUFS";
        case LevelTarget::NONE:
            break;
    }
    return "";
}

std::string describeGain(const PrepareOptions& options, const PreparedRecording& result) {
    std::string text;
    if (options.target == LevelTarget::NONE) {
        text = "none (--no-normalize)";
    } else if (result.silent) {
        text = "none (the recording is silent)";
    } else {
        text = signedDb(result.gainDb) + " to " + describeTarget(options);
    }
    if (result.limiterReductionDb < 0.0) {
        text += "; peaks held under " + decimalText(options.ceilingDbfs, 1) + " dBFS, by up to " +
                decimalText(-result.limiterReductionDb, 1) + " dB";
    }
    return text;
}

std::string textReport(const std::string& input, const std::string& output,
                       const MediaFormat& source, const PrepareOptions& options,
                       const PreparedRecording& result, const PrepareFindings& findings) {
    constexpr int COLUMN = 10;
    std::string text = shownName(input) + ": " + describeSource(source) + "\n";
    text += "  input     " + describeLevels(result.input) + "\n";
    text += findingsText(findings.input, "  ", COLUMN);
    text += "  gain      " + describeGain(options, result) + "\n";
    text += "  output    " + describeLevels(result.output) + "\n";
    text += findingsText(findings.output, "  ", COLUMN);
    if (options.trimSilence) {
        text += "  trimmed   " + seconds(result.trimmedLeading) + " leading, " +
                seconds(result.trimmedTrailing) + " trailing silence\n";
    }
    if (result.cutAtEnd > 0) {
        text += "  cut       " + seconds(result.cutAtEnd) + " at the end (--max-seconds)\n";
    }
    const std::string written = output == STANDARD_OUTPUT ? "standard output" : shownName(output);
    return text + "  wrote     " + written + ": PCM 8000 Hz 16-bit mono, " +
           seconds(result.samples.size()) + "\n";
}

nlohmann::json optionalDb(std::optional<double> value) {
    return value ? decibelValue(*value) : nlohmann::json(nullptr);
}

nlohmann::json levelsJson(const RecordingLevels& levels) {
    return {{"active_speech_level_dbm0", optionalDb(levels.speech.activeLevelDbm0)},
            {"activity_factor", std::round(levels.speech.activityFactor * 1000) / 1000},
            {"loudness_lufs", optionalDb(levels.loudnessLufs)},
            {"peak_dbfs", decibelValue(levels.samplePeakDbfs)},
            {"true_peak_dbfs",
             levels.truePeakDbfs ? decibelValue(*levels.truePeakDbfs) : nlohmann::json(nullptr)}};
}

nlohmann::json jsonReport(const std::string& input, const std::string& output,
                          const MediaFormat& source, const ClippingRuns& clipping,
                          const PrepareOptions& options, const PreparedRecording& result,
                          const PrepareFindings& findings) {
    static const char* const TARGET_KINDS[] = {"speech_level", "loudness", "none"};
    nlohmann::json target = {{"kind", TARGET_KINDS[static_cast<int>(options.target)]}};
    if (options.target == LevelTarget::SPEECH_LEVEL) {
        target["level_dbm0"] = decibelValue(options.targetDbm0);
    } else if (options.target == LevelTarget::LOUDNESS) {
        target["loudness_lufs"] = decibelValue(options.targetLufs);
    }
    return {
        {"input", input},
        {"output", output},
        {"source",
         {{"container", source.container},
          {"container_long", source.containerLong},
          {"codec", source.codec},
          {"codec_long", source.codecLong},
          {"sample_rate", source.sampleRate},
          {"channels", source.channels},
          {"bits_per_sample", source.bitsPerSample},
          {"duration_seconds", source.durationSeconds},
          {"clipped_samples", clipping.fullScaleSamples},
          {"clipped_runs", clipping.runs},
          {"clipped_run_samples", clipping.samples}}},
        {"input_levels", levelsJson(result.input)},
        {"input_findings", findingsJson(findings.input)},
        {"target", target},
        {"ceiling_dbfs", decibelValue(options.ceilingDbfs)},
        {"gain_db", decibelValue(result.gainDb)},
        {"limiter_reduction_db", decibelValue(result.limiterReductionDb)},
        {"output_levels", levelsJson(result.output)},
        {"output_findings", findingsJson(findings.output)},
        {"trimmed_leading_seconds", secondsOf(result.trimmedLeading)},
        {"trimmed_trailing_seconds", secondsOf(result.trimmedTrailing)},
        {"cut_seconds", secondsOf(result.cutAtEnd)},
        {"output_duration_seconds", secondsOf(result.samples.size())},
    };
}

// The WAV bytes on standard output, for a pipe; empty on success.
std::string writeWavToStandardOutput(const std::vector<std::int16_t>& samples) {
    const std::vector<std::uint8_t> image = wavImage(samples);
    if (image.empty()) {
        return "too much audio for a WAV file";
    }
    std::cout.flush();
    if (std::fwrite(image.data(), 1, image.size(), stdout) != image.size() ||
        std::fflush(stdout) != 0) {
        return "cannot write the WAV file to standard output";
    }
    return {};
}

// Why `output` must not be written, or empty: an existing file is replaced only when it
// is the input itself (a recording prepared in place) or when the user said so.
std::string overwriteRefusal(const std::string& input, const std::string& output, bool overwrite) {
    std::error_code error;
    if (output == STANDARD_OUTPUT || overwrite ||
        !std::filesystem::exists(std::filesystem::symlink_status(output, error))) {
        return {};
    }
    if (std::filesystem::equivalent(input, output, error) && !error) {
        return {};
    }
    return EXISTS_ALREADY;
}

}  // namespace

PrepareOutcome prepareFile(const std::string& input, const std::string& path,
                           const std::string& output, const PrepareSettings& settings) {
    PrepareOutcome outcome;
    const auto fail = [&](const std::string& file, const std::string& reason) {
        outcome.messages = "quen prepare: " + shownName(file) + ": " + shownText(reason) + "\n";
        return outcome;
    };
    const auto trouble = [&](const std::string& file, const std::string& reason) {
        outcome.trouble = true;
        return fail(file, reason);
    };
    if (const std::string refusal = overwriteRefusal(path, output, settings.overwrite);
        !refusal.empty()) {
        return trouble(output, refusal);
    }
    const PrepareOptions& options = settings.options;
    ProgressLine progress(input);
    DecodeProgress report;
    if (settings.showProgress && standardErrorIsTerminal()) {
        report = [&progress](double read, double total) { progress.show(read, total); };
    }
    const double limit = options.maxSeconds.value_or(MAX_PREPARED_SECONDS);
    // The input's DC removal and levels run as the samples come, beside the decoder.
    std::unique_ptr<InputStage> inputStage;
    const auto decode = [&](int channel) {
        inputStage = std::make_unique<InputStage>();
        return decodeForTelephony(
            path, samplesOf(limit), report,
            [&](std::span<float> block) { inputStage->process(block); }, channel);
    };
    auto decoded = decode(MIX_CHANNELS);
    // Channels that cancel mix to near silence, though each holds the sound: decoded
    // again, the louder one alone. The mix is let go first.
    const std::optional<Finding> cancelling =
        decoded ? cancellingFinding(decoded->channels) : std::nullopt;
    if (cancelling) {
        const int louder = decoded->channels.louderChannel;
        decoded = Failure{};
        decoded = decode(louder);
    }
    progress.clear();
    if (!decoded) {
        return isAccessFailure(decoded.failure()) ? trouble(input, decoded.failure().text)
                                                  : fail(input, decoded.failure().text);
    }
    TelephonyAudio& audio = *decoded;
    if (audio.moreFollows && !options.maxSeconds) {
        return fail(input, "longer than " + decimalText(MAX_PREPARED_SECONDS / 3600, 0) +
                               " hours, the most quen prepare reads (--max-seconds keeps the "
                               "beginning of a longer one)");
    }
    // What the header states beyond the decoded part is reported as cut; at least one
    // sample is, so that the end fades out.
    const std::size_t stated = samplesOf(audio.source.durationSeconds);
    const std::size_t unread =
        audio.moreFollows
            ? std::max<std::size_t>(
                  1, stated > audio.samples.size() ? stated - audio.samples.size() : 0)
            : 0;
    // The input as prepare finds it, its clipping and peaks read in the source's own
    // format and rate, as check reads them.
    SoundMeasures inputMeasures = measureSound(audio.samples);
    inputMeasures.clipping = audio.sourceClipping;
    inputMeasures.levels.peakDbfs = audio.sourcePeaks.peakDbfs();
    inputMeasures.truePeakDbfs = audio.sourcePeaks.truePeakDbfs();
    PreparedRecording result =
        prepareRecording(std::move(audio.samples), *inputStage, options, unread);
    result.input.samplePeakDbfs = inputMeasures.levels.peakDbfs;
    result.input.truePeakDbfs = inputMeasures.truePeakDbfs;
    PrepareFindings findings = judgePrepared(input, output, inputMeasures, result, options);
    if (cancelling) {
        findings.input.insert(findings.input.begin(), *cancelling);
    }
    // A silent greeting is never written by accident.
    if (const Finding* silent = findingOf(findings.output, "no_speech");
        silent && !settings.allowSilence) {
        return fail(input, silent->text + "; not written (--allow-silence writes it)");
    }
    // The output's levels are read while the file is written.
    std::string error;
    {
        const std::jthread writer([&] {
            error = output == STANDARD_OUTPUT ? writeWavToStandardOutput(result.samples)
                                              : writeWavFile(output, result.samples);
        });
        result.output = measureOutput(result.samples);
    }
    if (!error.empty()) {
        return trouble(output, error);
    }
    outcome.succeeded = true;
    const ClippingRuns& clipping = audio.sourceClipping;
    if (clipping.fullScaleSamples > 0) {
        outcome.messages = "quen prepare: " + shownName(input) +
                           ": warning: " + clippingText(clipping) +
                           "; clipping cannot be undone, record it again at a lower level if "
                           "you can\n";
    }
    outcome.problemFound =
        std::any_of(findings.output.begin(), findings.output.end(),
                    [&](const Finding& finding) { return !chosenByUser(finding, settings); });
    outcome.text = textReport(input, output, audio.source, options, result, findings);
    outcome.json = jsonReport(input, output, audio.source, clipping, options, result, findings);
    return outcome;
}

}  // namespace quen::tool
