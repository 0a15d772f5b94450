// Every byte of a recording is parsed in a child process, a jailed copy of this program
// (DecodeChild), never here: a file crafted to make a demuxer or decoder allocate
// gigabytes, spin for minutes or crash costs the child its life and this process one
// failure. The child is this program started again (/proc/self/exe), not a fork: the
// caller may have threads, and after fork only async-signal-safe calls would be safe.
// The child resamples while this process takes its samples, on another core.
#include "media/MediaDecoder.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "media/DecodeChild.h"
#include "media/DecodeRecords.h"
#include "platform/jail/ChildProcess.h"

namespace quen {
namespace {

constexpr const char* THIS_PROGRAM = "/proc/self/exe";
constexpr std::uint64_t MEBIBYTE = std::uint64_t{1} << 20;
// What a decoder needs whatever the length: its tables, libavformat's probe buffer,
// a frame or two, the resampler's filter.
constexpr std::uint64_t MEMORY_ALLOWANCE = 96 * MEBIBYTE;
// What grows with the length read: a container's index of its packets.
constexpr std::uint64_t MEMORY_PER_OUTPUT_SECOND = 1024;
// Opening and probing; then decoding and resampling, which take a recording of an
// hour well under a minute even at high rates.
constexpr unsigned CPU_ALLOWANCE_SECONDS = 10;
constexpr double CPU_SECONDS_PER_OUTPUT_SECOND = 1.0 / 60;
// The child says something at every packet; this long without a word, it hangs.
constexpr int SILENCE_SECONDS = 60;
// The decoder stops after the frame that reaches the limit; no frame of an allowed
// format comes near this much output. More is a child that lies.
constexpr std::size_t FRAME_SLACK_SAMPLES = std::size_t{1} << 21;

JailLimits limitsFor(std::size_t maxSamples) {
    const double seconds = static_cast<double>(maxSamples) / TELEPHONY_SAMPLE_RATE;
    return {MEMORY_ALLOWANCE + static_cast<std::uint64_t>(seconds) * MEMORY_PER_OUTPUT_SECOND,
            CPU_ALLOWANCE_SECONDS +
                static_cast<unsigned>(std::ceil(seconds * CPU_SECONDS_PER_OUTPUT_SECOND))};
}

Failure invalid(std::string text) {
    return Failure{FailureCategory::InvalidFile, std::move(text)};
}

// Runs the jailed decoder on `path` and hands each record to `take` until it returns
// false or the stream ends; the failure of the child, or of the stream, if any.
template <typename Take>
Result<void> runDecoder(const std::string& path, std::size_t maxSamples, int channel, Take&& take) {
    const JailLimits limits = limitsFor(maxSamples);
    std::vector<std::string> arguments{THIS_PROGRAM};
    for (std::string& argument : decodeChildArguments(path, maxSamples, channel, limits)) {
        arguments.push_back(std::move(argument));
    }
    auto child = ChildProcess::start(THIS_PROGRAM, arguments);
    if (!child) {
        return child.failure();
    }
    DecodeRecordReader reader(child->output(), SILENCE_SECONDS);
    DecodeRecord record;
    bool finished = false;
    bool refused = false;
    while (!finished && !refused && reader.next(record)) {
        finished = record.kind == DecodeRecordKind::End || record.kind == DecodeRecordKind::Failed;
        refused = !take(record);
    }
    if (reader.silent()) {
        child->kill();
        return invalid("the decoder stopped answering for " + std::to_string(SILENCE_SECONDS) +
                       " s");
    }
    if (refused || reader.malformed()) {
        child->kill();
        return invalid("the decoder sent what no decoder sends");
    }
    if (const ChildEnd end = child->wait(); !end.exited || end.exitCode != 0) {
        return invalid("the decoder " + describeChildEnd(end, limits));
    }
    if (!finished) {
        return invalid("the decoder broke off");
    }
    return {};
}

}  // namespace

Result<MediaFormat> probeMedia(const std::string& path) {
    std::optional<MediaFormat> format;
    std::optional<Failure> failure;
    Result<void> ran = runDecoder(path, 0, MIX_CHANNELS, [&](DecodeRecord& record) {
        if (record.kind == DecodeRecordKind::Format && !format) {
            format = std::move(record.format);
        } else if (record.kind == DecodeRecordKind::Failed) {
            failure = std::move(record.failure);
        } else if (record.kind != DecodeRecordKind::End || !format) {
            return false;
        }
        return true;
    });
    if (failure) {
        return *failure;
    }
    if (!ran) {
        return ran.failure();
    }
    return *format;
}

Result<TelephonyAudio> decodeForTelephony(const std::string& path, std::size_t maxSamples,
                                          const DecodeProgress& progress, const SampleTap& tap,
                                          int channel) {
    std::optional<TelephonyAudio> audio;
    std::optional<Failure> failure;
    bool nonFinite = false;
    Result<void> ran = runDecoder(path, maxSamples, channel, [&](DecodeRecord& record) {
        switch (record.kind) {
            case DecodeRecordKind::Format:
                if (audio) {
                    return false;
                }
                audio.emplace();
                audio->source = std::move(record.format);
                return true;
            case DecodeRecordKind::Samples:
                if (!audio || audio->samples.size() + record.samples.size() >
                                  maxSamples + FRAME_SLACK_SAMPLES) {
                    return false;
                }
                // A decoder sends them before it counts them and fails; one that ends
                // well after sending them lies.
                nonFinite =
                    nonFinite || !std::all_of(record.samples.begin(), record.samples.end(),
                                              [](float sample) { return std::isfinite(sample); });
                if (tap) {
                    tap(record.samples);
                }
                audio->samples.append(record.samples);
                return true;
            case DecodeRecordKind::Progress:
                if (progress) {
                    progress(record.secondsRead, record.secondsTotal);
                }
                return true;
            case DecodeRecordKind::End:
                if (!audio || audio->samples.empty() || nonFinite) {
                    return false;
                }
                audio->moreFollows = record.end.moreFollows;
                audio->sourceClipping = record.end.sourceClipping;
                audio->sourcePeaks = record.end.sourcePeaks;
                audio->channels = record.end.channels;
                return true;
            case DecodeRecordKind::Failed:
                failure = std::move(record.failure);
                return true;
        }
        return false;
    });
    if (failure) {
        return *failure;
    }
    if (!ran) {
        return ran.failure();
    }
    return std::move(*audio);
}

}  // namespace quen
