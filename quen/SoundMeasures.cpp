// The 16-bit measures read every sample as it is stored; the float ones first round to
// 16 bits the way a written WAV would, so a refused recording and its prepared copy
// read alike.
#include "quen/SoundMeasures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <limits>
#include <system_error>
#include <vector>

#include "dsp/TruePeak.h"
#include "quen/DecimalText.h"
#include "quen/Output.h"
#include "wav/WaveFormat.h"

namespace quen::tool {
namespace {

constexpr double SAMPLE_RATE = SPEECH_SAMPLE_RATE;
constexpr double INT16_FULL_SCALE = 32768.0;
constexpr std::size_t SCALED_BLOCK = 65536;
// Ten seconds.
constexpr std::size_t PARALLEL_MIN_SAMPLES = 80'000;

std::string decibels(const std::optional<double>& value, const char* unit) {
    return value ? decibelText(*value, unit) : std::string("-inf ") + unit;
}

nlohmann::json optionalValue(const std::optional<double>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// `work` on a thread of its own when `parallel`, else (or when no thread is to be had)
// on the thread that asks for its result.
template <typename Work>
auto startWork(bool parallel, Work work) {
    if (parallel) {
        try {
            return std::async(std::launch::async, work);
        } catch (const std::system_error&) {
        }
    }
    return std::async(std::launch::deferred, work);
}

}  // namespace

std::string dcOffsetText(double percent) {
    char text[48];
    std::snprintf(text, sizeof text, "%+.2f %% of full scale", percent);
    return text;
}

std::string clippingText(const ClippingRuns& clipping) {
    const auto count = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    if (clipping.fullScaleSamples == 0) {
        return "none";
    }
    const std::size_t runs = clipping.runs;
    return count(clipping.fullScaleSamples, "sample", "samples") + " at full scale, " +
           (runs == 0 ? std::string("no runs")
                      : count(runs, "run", "runs") + " (" +
                            count(clipping.samples, "sample", "samples") + ")") +
           " of " + std::to_string(CLIPPING_RUN_MIN_SAMPLES) + " or more in a row";
}

std::string clippingText(const SoundFigures& figures) {
    return clippingText(
        ClippingRuns{figures.clippedRuns, figures.clippedRunSamples, figures.clippedSamples});
}

SoundMeasuring::SoundMeasuring(std::span<const std::int16_t> samples, std::int16_t lowest,
                               std::int16_t highest)
    : samples_(samples), lowest_(lowest), highest_(highest) {
    // The true peak and the speech level, the costliest measures, are read on other
    // cores while the caller goes on; a short sound is not worth the threads.
    const bool parallel = samples.size() >= PARALLEL_MIN_SAMPLES;
    truePeakDbfs_ = startWork(parallel, [samples] {
        // Block by block, so that a long file costs no float copy of itself.
        TruePeakMeter truePeak;
        std::vector<float> scaled;
        for (std::size_t from = 0; from < samples.size(); from += SCALED_BLOCK) {
            const auto block = samples.subspan(from, std::min(SCALED_BLOCK, samples.size() - from));
            scaled.resize(block.size());
            std::transform(block.begin(), block.end(), scaled.begin(),
                           [](std::int16_t s) { return static_cast<float>(s / INT16_FULL_SCALE); });
            truePeak.add(scaled);
        }
        return truePeak.truePeakDbfs();
    });
    speech_ = startWork(parallel, [samples] { return measureSpeechLevel(samples); });
}

SoundMeasures SoundMeasuring::result() {
    SoundMeasures measures;
    measures.levels = measureLevels(samples_);
    // Nothing before the first sample at full scale can be part of a run: the counter,
    // a sample at a time, starts there, and most sounds never reach it.
    const auto fullScale = std::find_if(samples_.begin(), samples_.end(), [this](std::int16_t s) {
        return s <= lowest_ || s >= highest_;
    });
    ClippingRunCounter clipping(lowest_, highest_);
    clipping.add(samples_.subspan(static_cast<std::size_t>(fullScale - samples_.begin())));
    measures.clipping = clipping.result();
    measures.speech = speech_.get();
    measures.truePeakDbfs = truePeakDbfs_.get();
    return measures;
}

SoundMeasures measureSound(std::span<const std::int16_t> samples, std::int16_t lowest,
                           std::int16_t highest) {
    return SoundMeasuring(samples, lowest, highest).result();
}

SoundMeasures measureSound(const SampleBlocks& samples) {
    SoundMeasures measures;
    SpeechLevelMeter speech;
    TruePeakMeter truePeak;
    ClippingRunCounter clipping = ClippingRunCounter::forFloat();
    std::vector<std::int16_t> rounded;
    rounded.reserve(samples.size());
    samples.forEach([&](std::span<const float> block) {
        speech.add(block);
        truePeak.add(block);
        clipping.add(block);
        for (const float sample : block) {
            const double scaled = std::round(static_cast<double>(sample) * INT16_FULL_SCALE);
            rounded.push_back(static_cast<std::int16_t>(std::clamp(scaled, -32768.0, 32767.0)));
        }
    });
    measures.levels = measureLevels(rounded);
    measures.speech = speech.result();
    measures.truePeakDbfs = truePeak.truePeakDbfs();
    measures.clipping = clipping.result();
    return measures;
}

SoundFigures soundFigures(const SoundMeasures& measures) {
    const AudioLevels& levels = measures.levels;
    const auto& active = measures.speech.activeLevelDbm0;
    return {.samples = levels.samples,
            .peakDbfs = roundedDecibels(levels.peakDbfs),
            .truePeakDbfs = roundedDecibels(measures.truePeakDbfs),
            .rmsDbfs = roundedDecibels(levels.rmsDbfs),
            .dcOffsetPercent = std::round(levels.dcOffset * 100 * 100) / 100 + 0.0,  // never -0
            .activeLevelDbm0 = active ? roundedDecibels(*active) : std::nullopt,
            .activityFactor = std::round(measures.speech.activityFactor * 1000) / 1000,
            .clippedSamples = measures.clipping.fullScaleSamples,
            .clippedRuns = measures.clipping.runs,
            .clippedRunSamples = measures.clipping.samples,
            .leadingSilenceSeconds = levels.leadingSilence / SAMPLE_RATE,
            .trailingSilenceSeconds = levels.trailingSilence / SAMPLE_RATE};
}

nlohmann::json soundJson(const SoundMeasures& measures) {
    const SoundFigures figures = soundFigures(measures);
    return {{"samples", figures.samples},
            {"peak_dbfs", optionalValue(figures.peakDbfs)},
            {"true_peak_dbfs", optionalValue(figures.truePeakDbfs)},
            {"rms_dbfs", optionalValue(figures.rmsDbfs)},
            {"dc_offset_percent", figures.dcOffsetPercent},
            {"active_speech_level_dbm0", optionalValue(figures.activeLevelDbm0)},
            {"activity_factor", figures.activityFactor},
            {"clipped_samples", figures.clippedSamples},
            {"clipped_runs", figures.clippedRuns},
            {"clipped_run_samples", figures.clippedRunSamples},
            {"leading_silence_seconds", figures.leadingSilenceSeconds},
            {"trailing_silence_seconds", figures.trailingSilenceSeconds}};
}

std::string soundText(const SoundMeasures& measures, const std::string& indent, int column) {
    const SoundFigures figures = soundFigures(measures);
    std::string out;
    const auto line = [&](const std::string& label, const std::string& value) {
        const int padding = std::max(1, column - static_cast<int>(label.size()));
        out += indent + label + std::string(static_cast<std::size_t>(padding), ' ') + value + "\n";
    };
    line("peak", decibels(figures.peakDbfs, "dBFS") + ", true peak " +
                     decibels(figures.truePeakDbfs, "dBFS"));
    line("RMS", decibels(figures.rmsDbfs, "dBFS"));
    line("DC offset", dcOffsetText(figures.dcOffsetPercent));
    line("speech", figures.activeLevelDbm0
                       ? decibelText(*figures.activeLevelDbm0, "dBm0") + ", active " +
                             decimalText(figures.activityFactor * 100, 1) + " % of the time"
                       : std::string("no active speech"));
    line("clipping", clippingText(figures));
    line("silence", decimalText(figures.leadingSilenceSeconds, 3) + " s leading, " +
                        decimalText(figures.trailingSilenceSeconds, 3) + " s trailing");
    return out;
}

}  // namespace quen::tool
