// `quen prepare IN OUT.wav`: any recording into the one form QuenGreeting accepts,
// 8000 Hz 16-bit mono PCM in a canonical WAV file, levelled for the telephone.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "media/MediaDecoder.h"
#include "platform/Console.h"
#include "quen/Commands.h"
#include "quen/Output.h"
#include "quen/PrepareRecording.h"
#include "quen/WavOutput.h"

namespace quen::tool {
namespace {

// Shorter inputs decode faster than a progress line could be read.
constexpr double PROGRESS_MIN_SECONDS = 60.0;

struct PrepareArguments {
    std::string input;
    std::string output;
    PrepareOptions options;
    bool noNormalize = false;
};

std::string fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string seconds(std::size_t samples) {
    return fixed(static_cast<double>(samples) / TELEPHONY_SAMPLE_RATE, 2) + " s";
}

double secondsOf(std::size_t samples) {
    return static_cast<double>(samples) / TELEPHONY_SAMPLE_RATE;
}

std::size_t samplesOf(double seconds) {
    return static_cast<std::size_t>(std::ceil(seconds * TELEPHONY_SAMPLE_RATE));
}

// A number from `low` to `high` (above `low` when `lowExcluded`). Written out, since
// NaN passes every range check (each comparison is false) and infinity a positive one.
CLI::Validator finiteBetween(double low, double high, bool lowExcluded) {
    const std::string range = (lowExcluded ? "above " : "from ") + fixed(low, 0) +
                              (lowExcluded ? " and at most " : " to ") + fixed(high, 0);
    return CLI::Validator(
        [=](const std::string& text) {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            const bool inRange =
                std::isfinite(value) && (lowExcluded ? value > low : value >= low) && value <= high;
            return end != text.c_str() && *end == '\0' && inRange
                       ? std::string()
                       : text + " is not a number " + range;
        },
        "NUMBER " + range);
}

std::string describeSource(const MediaFormat& source) {
    std::string text = source.container + " (" + source.containerLong + "), " + source.codec;
    if (source.bitsPerSample > 0) {
        text += " " + std::to_string(source.bitsPerSample) + "-bit";
    }
    return text + ", " + std::to_string(source.sampleRate) + " Hz, " +
           std::to_string(source.channels) + (source.channels == 1 ? " channel" : " channels") +
           ", " + fixed(source.durationSeconds, 2) + " s";
}

std::string describeGain(const PrepareArguments& arguments, const PreparedRecording& result) {
    if (arguments.noNormalize) {
        return "none (--no-normalize)";
    }
    if (!result.inputLufs) {
        return "none (the recording is silent)";
    }
    std::string text = (result.gainDb >= 0 ? "+" : "") + fixed(result.gainDb, 1) + " dB";
    const std::string target = fixed(arguments.options.targetLufs, 1) + " LUFS";
    if (result.gainLimitedByPeak) {
        return text + ", limited by the peak to " + fixed(PEAK_CEILING_DBFS, 1) + " dBFS (" +
               fixed(*result.inputLufs + result.gainDb, 1) + " LUFS, target " + target + ")";
    }
    return text + " to " + target;
}

void printText(const PrepareArguments& arguments, const MediaFormat& source,
               const PreparedRecording& result) {
    std::string text = arguments.input + ": " + describeSource(source) + "\n";
    text += "  loudness  " +
            (result.inputLufs ? fixed(*result.inputLufs, 1) + " LUFS" : std::string("silent")) +
            ", peak " +
            (std::isfinite(result.inputPeakDbfs) ? fixed(result.inputPeakDbfs, 1) + " dBFS"
                                                 : std::string("none")) +
            "\n";
    text += "  gain      " + describeGain(arguments, result) + "\n";
    if (arguments.options.trimSilence) {
        text += "  trimmed   " + seconds(result.trimmedLeading) + " leading, " +
                seconds(result.trimmedTrailing) + " trailing silence\n";
    }
    if (result.cutAtEnd > 0) {
        text += "  cut       " + seconds(result.cutAtEnd) + " at the end (--max-seconds)\n";
    }
    text += "  wrote     " + arguments.output + ": PCM 8000 Hz 16-bit mono, " +
            seconds(result.samples.size()) + "\n";
    std::cout << text;
}

void printJsonReport(const PrepareArguments& arguments, const MediaFormat& source,
                     const PreparedRecording& result) {
    const auto orNull = [](std::optional<double> value) {
        return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
    };
    const nlohmann::json document = {
        {"input", arguments.input},
        {"output", arguments.output},
        {"source",
         {{"container", source.container},
          {"container_long", source.containerLong},
          {"codec", source.codec},
          {"codec_long", source.codecLong},
          {"sample_rate", source.sampleRate},
          {"channels", source.channels},
          {"bits_per_sample", source.bitsPerSample},
          {"duration_seconds", source.durationSeconds}}},
        {"loudness_lufs", orNull(result.inputLufs)},
        {"peak_dbfs",
         orNull(std::isfinite(result.inputPeakDbfs) ? std::optional<double>(result.inputPeakDbfs)
                                                    : std::nullopt)},
        {"normalized", !arguments.noNormalize},
        {"target_lufs", arguments.options.targetLufs},
        {"gain_db", result.gainDb},
        {"gain_limited_by_peak", result.gainLimitedByPeak},
        {"trimmed_leading_seconds", secondsOf(result.trimmedLeading)},
        {"trimmed_trailing_seconds", secondsOf(result.trimmedTrailing)},
        {"cut_seconds", secondsOf(result.cutAtEnd)},
        {"output_duration_seconds", secondsOf(result.samples.size())},
    };
    printJson(document);
}

// A percentage on one line of the terminal, rewritten in place and cleared at the end;
// only for inputs long enough to make someone wait.
class ProgressLine {
  public:
    explicit ProgressLine(const std::string& input) : input_(input) {}
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

int runPrepare(const PrepareArguments& arguments, const Context& context) {
    const auto fail = [&](const std::string& file, const std::string& reason) {
        std::cerr << "quen prepare: " << file << ": " << reason << "\n";
        return static_cast<int>(EXIT_INVALID);
    };
    ProgressLine progress(arguments.input);
    DecodeProgress report;
    if (standardErrorIsTerminal()) {
        report = [&progress](double read, double total) { progress.show(read, total); };
    }
    const double limit = arguments.options.maxSeconds.value_or(MAX_PREPARED_SECONDS);
    auto decoded = decodeForTelephony(arguments.input, samplesOf(limit), report);
    progress.clear();
    if (!decoded.value) {
        return fail(arguments.input, decoded.error);
    }
    TelephonyAudio& audio = *decoded.value;
    if (audio.moreFollows && !arguments.options.maxSeconds) {
        return fail(arguments.input, "longer than " + fixed(MAX_PREPARED_SECONDS / 3600, 0) +
                                         " hours, the most quen prepare reads (--max-seconds "
                                         "keeps the beginning of a longer one)");
    }
    // What the header states beyond the decoded part is reported as cut; at least one
    // sample is, so that the end fades out.
    const std::size_t stated = samplesOf(audio.source.durationSeconds);
    const std::size_t unread =
        audio.moreFollows
            ? std::max<std::size_t>(
                  1, stated > audio.samples.size() ? stated - audio.samples.size() : 0)
            : 0;
    const PreparedRecording result =
        prepareRecording(std::move(audio.samples), arguments.options, unread);
    if (const std::string error = writeWavFile(arguments.output, result.samples); !error.empty()) {
        return fail(arguments.output, error);
    }
    if (context.json) {
        printJsonReport(arguments, audio.source, result);
    } else {
        printText(arguments, audio.source, result);
    }
    return EXIT_ALL_GOOD;
}

}  // namespace

void addPrepareCommand(CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "prepare", "Turn any recording into an 8000 Hz 16-bit mono WAV that QuenGreeting takes");
    auto arguments = std::make_shared<PrepareArguments>();
    command
        ->add_option(
            "IN", arguments->input,
            "The recording: a regular file in WAV, W64, MP3, FLAC, Ogg, MP4/M4A/MOV, AIFF or CAF")
        ->required();
    command->add_option("OUT", arguments->output, "The WAV file to write (replaced atomically)")
        ->required();
    auto* loudness = command
                         ->add_option("--loudness", arguments->options.targetLufs,
                                      "Integrated loudness to level to, in LUFS (default -18)")
                         ->check(finiteBetween(-70.0, -5.0, false));
    command
        ->add_flag("--no-normalize", arguments->noNormalize,
                   "Keep the level as it is (no loudness gain)")
        ->excludes(loudness);
    command->add_flag("--trim-silence", arguments->options.trimSilence,
                      "Cut leading and trailing silence, keeping 0.2 s of each");
    command
        ->add_option("--max-seconds", arguments->options.maxSeconds,
                     "Cut the recording to at most this many seconds, fading out; what lies "
                     "beyond is not read")
        ->check(finiteBetween(0.0, MAX_PREPARED_SECONDS, true));
    command->callback([arguments, &context] {
        arguments->options.normalize = !arguments->noNormalize;
        context.exitCode = runPrepare(*arguments, context);
    });
}

}  // namespace quen::tool
