// Decoding through libavformat/libavcodec and resampling through libswresample, in the
// process that calls it. Every FFmpeg object is held by its owner (AvOwners.h), so each
// early return releases what was allocated. Nothing is sized from what a header claims,
// and decoding stops at the caller's limit.
#include "media/MediaDecoding.h"

#include "media/AvOwners.h"
#include "media/SourceClipping.h"
#include "media/SourcePeaks.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace quen {
namespace {

// Anything above this (or MAX_SOURCE_CHANNELS) is no speech recording, and decoding it
// would cost what the telephone band never needs.
constexpr int MAX_SAMPLE_RATE = 384000;
// The input may run this much past the output asked for before the rest counts as
// more than was asked for (decoder delay, a last partial frame).
constexpr double INPUT_SLACK_SECONDS = 1.0;
// Decoders may drop a frame or two at either end (encoder delay and padding).
constexpr double TRUNCATION_TOLERANCE_SECONDS = 0.5;
constexpr double TRUNCATION_TOLERANCE_SHARE = 0.02;
// Output the frames handed on may fall short of their estimate by, at most: the
// resampler's delay. Closer to the limit than this, the cut is decided on what was sent.
constexpr double LIMIT_LOOKAHEAD_SAMPLES = TELEPHONY_SAMPLE_RATE;
// What a queued frame holds besides its samples, as counted against the queue's bound.
constexpr std::size_t FRAME_OVERHEAD_BYTES = 1024;
// What a resampler rebuilt for a new rate or layout may give beyond its share, in
// rounding, when the old one is flushed.
constexpr double REBUILD_SLACK_SAMPLES = 64;

std::string errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// What keeps a file from being decoded, in words without its name.
Failure invalid(std::string text) {
    return Failure{FailureCategory::InvalidFile, std::move(text)};
}

// Fails when the rate and channel count cannot be a recording.
Result<void> checkShape(int sampleRate, int channels) {
    if (sampleRate <= 0) {
        return invalid("impossible sample rate " + std::to_string(sampleRate) + " Hz");
    }
    if (sampleRate > MAX_SAMPLE_RATE) {
        return invalid("sample rate " + std::to_string(sampleRate) + " Hz, above the " +
                       std::to_string(MAX_SAMPLE_RATE) + " Hz read here");
    }
    // Below this a file cannot carry the telephone band; a tiny rate would also make a
    // few bytes stand for hours of output.
    if (sampleRate < MIN_SPEECH_SAMPLE_RATE) {
        return invalid("sample rate " + std::to_string(sampleRate) + " Hz, below the " +
                       std::to_string(MIN_SPEECH_SAMPLE_RATE) + " Hz of speech");
    }
    if (channels <= 0) {
        return invalid("impossible channel count " + std::to_string(channels));
    }
    if (channels > MAX_SOURCE_CHANNELS) {
        return invalid(std::to_string(channels) + " channels, more than the " +
                       std::to_string(MAX_SOURCE_CHANNELS) + " read here");
    }
    return {};
}

Failure resamplerFailure(int error) {
    return Failure{FailureCategory::Generic, "cannot resample: " + errorText(error)};
}

std::string orEmpty(const char* text) {
    return text != nullptr ? text : "";
}

// The container opened, its stream information read and its best audio stream found.
struct OpenedMedia {
    int streamIndex = -1;
    const AVCodec* decoder = nullptr;
    MediaFormat description;
    // The duration comes from the file's own header (a frame or sample count), not
    // from an estimate by bit rate, so a shorter decode means a cut-off file.
    bool durationStated = false;
};

// Every audio stream's shape as its header states it, before a decoder is opened for
// any of them to find its parameters: a stream of 255 channels would be allocated for.
Result<void> checkDeclaredShapes(const AVFormatContext& format) {
    for (unsigned index = 0; index < format.nb_streams; ++index) {
        const AVCodecParameters& parameters = *format.streams[index]->codecpar;
        if (parameters.codec_type != AVMEDIA_TYPE_AUDIO) {
            continue;
        }
        if (parameters.sample_rate > MAX_SAMPLE_RATE) {
            return invalid("sample rate " + std::to_string(parameters.sample_rate) +
                           " Hz, above the " + std::to_string(MAX_SAMPLE_RATE) + " Hz read here");
        }
        if (parameters.ch_layout.nb_channels > MAX_SOURCE_CHANNELS) {
            return invalid(std::to_string(parameters.ch_layout.nb_channels) +
                           " channels, more than the " + std::to_string(MAX_SOURCE_CHANNELS) +
                           " read here");
        }
    }
    return {};
}

Result<OpenedMedia> openMedia(MediaInput& input) {
    OpenedMedia media;
    AVFormatContext* raw = input.format();
    if (Result<void> shapes = checkDeclaredShapes(*raw); !shapes) {
        return shapes.failure();
    }
    if (const int error = avformat_find_stream_info(raw, nullptr); error < 0) {
        return invalid(errorText(error));
    }
    media.description.container = orEmpty(raw->iformat->name);
    media.description.containerLong = orEmpty(raw->iformat->long_name);
    media.streamIndex = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &media.decoder, 0);
    if (media.streamIndex < 0) {
        return invalid("no audio stream (" + media.description.containerLong + ")");
    }
    const AVStream* stream = raw->streams[media.streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;
    if (const AVCodecDescriptor* codec = avcodec_descriptor_get(parameters->codec_id)) {
        media.description.codec = codec->name;
        media.description.codecLong = orEmpty(codec->long_name);
    }
    media.description.sampleRate = parameters->sample_rate;
    media.description.channels = parameters->ch_layout.nb_channels;
    media.description.bitsPerSample = av_get_bits_per_sample(parameters->codec_id);
    if (Result<void> shape = checkShape(media.description.sampleRate, media.description.channels);
        !shape) {
        return shape.failure();
    }
    media.durationStated = raw->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    if (stream->duration != AV_NOPTS_VALUE) {
        media.description.durationSeconds =
            static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    } else if (raw->duration != AV_NOPTS_VALUE) {
        media.description.durationSeconds = static_cast<double>(raw->duration) / AV_TIME_BASE;
    } else {
        media.durationStated = false;
    }
    return media;
}

template <typename T>
std::uint64_t countNonFiniteIn(const std::uint8_t* data, std::size_t count) {
    const auto* values = reinterpret_cast<const T*>(data);
    return static_cast<std::uint64_t>(
        std::count_if(values, values + count, [](T value) { return !std::isfinite(value); }));
}

// Only floating-point samples can be NaN or infinite.
std::uint64_t countNonFinite(const AVFrame& frame) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    if (packed != AV_SAMPLE_FMT_FLT && packed != AV_SAMPLE_FMT_DBL) {
        return 0;
    }
    const int channels = frame.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int planes = planar ? channels : 1;
    const auto perPlane = static_cast<std::size_t>(frame.nb_samples) *
                          static_cast<std::size_t>(planar ? 1 : channels);
    std::uint64_t count = 0;
    for (int plane = 0; plane < planes; ++plane) {
        count += packed == AV_SAMPLE_FMT_FLT
                     ? countNonFiniteIn<float>(frame.extended_data[plane], perPlane)
                     : countNonFiniteIn<double>(frame.extended_data[plane], perPlane);
    }
    return count;
}

// Mixes every channel into their average, or takes the one asked for, and resamples to
// 8000 Hz, appending to `samples`. Rebuilt whenever the decoded frames change their
// layout or rate.
class TelephonyResampler {
  public:
    TelephonyResampler(DecodeSink& sink, int channel) : sink_(sink), channel_(channel) {}
    ~TelephonyResampler() { av_channel_layout_uninit(&layout_); }
    TelephonyResampler(const TelephonyResampler&) = delete;
    TelephonyResampler& operator=(const TelephonyResampler&) = delete;

    Result<void> push(const AVFrame& frame) {
        nonFinite_ += countNonFinite(frame);
        if (!matches(frame)) {
            if (Result<void> rebuilt = rebuild(frame); !rebuilt) {
                return rebuilt;
            }
        }
        return convert(const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    }

    Result<void> flush() { return resampler_ ? convert(nullptr, 0) : Result<void>(); }

    // Samples of the decoded input (before resampling spreads them) that were NaN or
    // infinite.
    std::uint64_t nonFiniteSamples() const { return nonFinite_; }

  private:
    bool matches(const AVFrame& frame) const {
        return resampler_ && frame.sample_rate == rate_ && frame.format == format_ &&
               av_channel_layout_compare(&frame.ch_layout, &layout_) == 0;
    }

    Result<void> rebuild(const AVFrame& frame) {
        const int channels = frame.ch_layout.nb_channels;
        if (Result<void> shape = checkShape(frame.sample_rate, channels); !shape) {
            return shape;
        }
        if (Result<void> flushed = flush(); !flushed) {
            return flushed;
        }
        av_channel_layout_uninit(&layout_);
        av_channel_layout_copy(&layout_, &frame.ch_layout);
        rate_ = frame.sample_rate;
        format_ = frame.format;
        // The resampler wants named channels; the mix weighs them all alike anyway.
        AVChannelLayout input{};
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&input, channels);
        } else {
            av_channel_layout_copy(&input, &frame.ch_layout);
        }
        SwrContext* raw = nullptr;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        int error =
            swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, TELEPHONY_SAMPLE_RATE, &input,
                                static_cast<AVSampleFormat>(format_), rate_, 0, nullptr);
        av_channel_layout_uninit(&input);
        resampler_.reset(raw);
        if (error < 0) {
            return resamplerFailure(error);
        }
        // A plain average: no channel is favoured and the sum cannot clip.
        std::vector<double> matrix(static_cast<std::size_t>(channels), 1.0 / channels);
        if (channel_ >= 0 && channel_ < channels) {
            std::fill(matrix.begin(), matrix.end(), 0.0);
            matrix[static_cast<std::size_t>(channel_)] = 1.0;
        }
        // The SoX filter at its "high quality" 20-bit precision: passband to about
        // 3.6 kHz and a stop band far below what 16 bits can hold, at a lower cost
        // than the "very high" 28 bits, whose extra depth a telephone line cannot carry.
        av_opt_set(raw, "resampler", "soxr", 0);
        av_opt_set_int(raw, "precision", 20, 0);
        if ((error = swr_set_matrix(raw, matrix.data(), channels)) < 0 ||
            (error = swr_init(raw)) < 0) {
            return resamplerFailure(error);
        }
        return {};
    }

    Result<void> convert(const std::uint8_t** input, int count) {
        const int room = swr_get_out_samples(resampler_.get(), count);
        if (room < 0) {
            return resamplerFailure(room);
        }
        // One frame's worth at a time, then into the blocks.
        converted_.resize(static_cast<std::size_t>(room));
        auto* output = reinterpret_cast<std::uint8_t*>(converted_.data());
        const int written = swr_convert(resampler_.get(), &output, room, input, count);
        if (written < 0) {
            return resamplerFailure(written);
        }
        produced_ += static_cast<std::size_t>(written);
        return sink_.samples(std::span(converted_).first(static_cast<std::size_t>(written)));
    }

  public:
    // The samples handed to the sink so far.
    std::size_t produced() const { return produced_; }

  private:
    DecodeSink& sink_;
    int channel_;
    std::size_t produced_ = 0;
    std::vector<float> converted_;
    ResamplerPtr resampler_;
    AVChannelLayout layout_{};
    int rate_ = 0;
    int format_ = -1;
    std::uint64_t nonFinite_ = 0;
};

using SharedFrame = std::shared_ptr<AVFrame>;

// What is done to the decoded frames, in order, on the worker: clipping counted, peaks
// read and the channels weighed, the samples resampled and sent, progress told. Its first failure
// stops it; the decoding side reads that, and the counts, only after waiting for the
// worker.
class FrameStage {
  public:
    FrameStage(DecodeSink& sink, double secondsTotal, int channel)
        : sink_(sink), resampler_(sink, channel), secondsTotal_(secondsTotal) {}

    void take(const std::vector<SharedFrame>& frames, double position, bool tellProgress) {
        if (failed_) {
            return;
        }
        for (const SharedFrame& frame : frames) {
            clipping_.add(*frame);
            peaks_.add(*frame);
            balance_.add(*frame);
            if (Result<void> pushed = resampler_.push(*frame); !pushed) {
                fail(damagedAt(position, pushed.failure().text));
                return;
            }
        }
        if (!tellProgress) {
            return;
        }
        if (Result<void> told = sink_.progress(position, secondsTotal_); !told) {
            fail(told.failure());
        }
    }
    void flush() {
        if (Result<void> flushed = resampler_.flush(); !failed_ && !flushed) {
            fail(flushed.failure());
        }
    }

    static Failure damagedAt(double position, const std::string& reason) {
        char at[32];
        std::snprintf(at, sizeof at, "%.2f", position);
        return invalid("damaged audio data at " + std::string(at) + " s (" + reason + ")");
    }

    // Read by the decoding side without waiting, to stop early.
    bool failed() const { return failed_; }
    const std::optional<Failure>& failure() const { return failure_; }
    std::size_t produced() const { return resampler_.produced(); }
    std::uint64_t nonFiniteSamples() const { return resampler_.nonFiniteSamples(); }
    ClippingRuns clipping() const { return clipping_.result(); }
    ChannelBalance channels() const { return balance_.result(); }
    PeakFigures peaks() const { return peaks_.result(); }

  private:
    void fail(Failure failure) {
        failure_ = std::move(failure);
        failed_ = true;
    }

    DecodeSink& sink_;
    SourceClipping clipping_;
    SourcePeaks peaks_;
    ChannelBalanceMeter balance_;
    TelephonyResampler resampler_;
    double secondsTotal_;
    std::optional<Failure> failure_;
    std::atomic<bool> failed_ = false;
};

// Whether the stream has another packet; reads at most up to it.
bool packetFollows(AVFormatContext* format, int streamIndex) {
    PacketPtr packet(av_packet_alloc());
    while (packet && av_read_frame(format, packet.get()) >= 0) {
        const bool ours = packet->stream_index == streamIndex;
        av_packet_unref(packet.get());
        if (ours) {
            return true;
        }
    }
    return false;
}

}  // namespace

Result<MediaFormat> probeInput(MediaInput& input) {
    auto opened = openMedia(input);
    if (!opened) {
        return opened.failure();
    }
    return opened->description;
}

Result<DecodeEnd> decodeInput(MediaInput& input, std::size_t maxSamples, DecodeSink& sink,
                              OrderedWorker& worker, int channel) {
    auto opened = openMedia(input);
    if (!opened) {
        return opened.failure();
    }
    OpenedMedia& media = *opened;
    if (Result<void> told = sink.format(media.description); !told) {
        return told.failure();
    }
    AVFormatContext* format = input.format();
    const AVStream* stream = format->streams[media.streamIndex];
    if (media.decoder == nullptr) {
        return invalid("no decoder for " + media.description.codec + " audio");
    }
    CodecPtr codec(avcodec_alloc_context3(media.decoder));
    if (!codec) {
        return Failure{FailureCategory::Generic, "out of memory"};
    }
    int error = avcodec_parameters_to_context(codec.get(), stream->codecpar);
    if (error >= 0) {
        error = avcodec_open2(codec.get(), media.decoder, nullptr);
    }
    if (error < 0) {
        return invalid("cannot decode " + media.description.codec + ": " + errorText(error));
    }

    // No room is set aside for the duration the header states: a header may claim
    // anything, and the samples grow only with what is really decoded.
    DecodeEnd end;
    FrameStage stage(sink, media.description.durationSeconds, channel);
    // Counted over every channel, at the stream's stated shape: a frame may say
    // otherwise, but the budget is set once.
    const double inputSecondsAllowed =
        static_cast<double>(maxSamples) / TELEPHONY_SAMPLE_RATE + INPUT_SLACK_SECONDS;
    const auto inputBudget = static_cast<std::uint64_t>(
        inputSecondsAllowed * media.description.sampleRate * media.description.channels);
    std::uint64_t inputSamples = 0;
    // The output the frames given to the stage will make, from their rates; never less
    // than they make, as the lowest rate read is taken for any lower one.
    double outputAhead = 0.0;
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!frame || !packet) {
        return Failure{FailureCategory::Generic, "out of memory"};
    }
    const double secondsPerTick = av_q2d(stream->time_base);
    double position = 0.0;

    // Hands every frame the decoder has ready to the stage, with the position after
    // them; a decoding failure after the frames before it.
    int lastRate = 0;
    int lastFormat = -1;
    int lastChannels = 0;
    auto drain = [&](bool tellProgress) -> Result<void> {
        auto frames = std::make_shared<std::vector<SharedFrame>>();
        std::size_t bytes = FRAME_OVERHEAD_BYTES;
        Result<void> drained;
        for (;;) {
            const int received = avcodec_receive_frame(codec.get(), frame.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                break;
            }
            if (received < 0) {
                drained = invalid(errorText(received));
                break;
            }
            inputSamples += static_cast<std::uint64_t>(frame->nb_samples) *
                            static_cast<std::uint64_t>(frame->ch_layout.nb_channels);
            outputAhead += static_cast<double>(frame->nb_samples) * TELEPHONY_SAMPLE_RATE /
                           std::max(frame->sample_rate, MIN_SPEECH_SAMPLE_RATE);
            if (frame->sample_rate != lastRate || frame->format != lastFormat ||
                frame->ch_layout.nb_channels != lastChannels) {
                outputAhead += REBUILD_SLACK_SAMPLES;
                lastRate = frame->sample_rate;
                lastFormat = frame->format;
                lastChannels = frame->ch_layout.nb_channels;
            }
            SharedFrame taken(av_frame_alloc(), FrameFreer{});
            if (!taken) {
                drained = Failure{FailureCategory::Generic, "out of memory"};
                break;
            }
            bytes += FRAME_OVERHEAD_BYTES +
                     static_cast<std::size_t>(std::max(frame->nb_samples, 0)) *
                         static_cast<std::size_t>(std::max(frame->ch_layout.nb_channels, 0)) *
                         static_cast<std::size_t>(
                             av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format)));
            av_frame_move_ref(taken.get(), frame.get());
            frames->push_back(std::move(taken));
        }
        worker.submit([&stage, frames, at = position,
                       tellProgress] { stage.take(*frames, at, tellProgress); },
                      bytes);
        return drained;
    };
    // The stage's failure comes first: it is about data read before.
    auto damaged = [&](const std::string& reason) {
        worker.wait();
        return stage.failure() ? *stage.failure() : stage.damagedAt(position, reason);
    };

    // The cut happens here, while decoding: what lies beyond the limit is never read.
    // Near the limit the stage is waited for, so the cut falls where it would without it.
    const auto withinLimits = [&] {
        if (inputSamples > inputBudget) {
            return false;
        }
        if (outputAhead + LIMIT_LOOKAHEAD_SAMPLES < static_cast<double>(maxSamples) &&
            !stage.failed()) {
            return true;
        }
        worker.wait();
        return stage.produced() < maxSamples && !stage.failure();
    };
    while (withinLimits()) {
        const int read = av_read_frame(format, packet.get());
        if (read == AVERROR_EOF) {
            break;
        }
        if (read < 0) {
            return damaged(errorText(read));
        }
        if (packet->stream_index == media.streamIndex) {
            if (packet->pts != AV_NOPTS_VALUE) {
                position = static_cast<double>(packet->pts) * secondsPerTick;
            }
            const int sent = avcodec_send_packet(codec.get(), packet.get());
            av_packet_unref(packet.get());
            if (sent < 0) {
                return damaged(errorText(sent));
            }
            if (Result<void> drained = drain(true); !drained) {
                return damaged(drained.failure().text);
            }
        } else {
            av_packet_unref(packet.get());
        }
    }
    worker.wait();
    if (stage.failure()) {
        return *stage.failure();
    }
    // The limit reached with the stream at its end is no cut.
    end.moreFollows = !withinLimits() && packetFollows(format, media.streamIndex);
    if (!end.moreFollows) {
        avcodec_send_packet(codec.get(), nullptr);
        if (Result<void> drained = drain(false); !drained) {
            return damaged(drained.failure().text);
        }
        worker.submit([&stage] { stage.flush(); }, FRAME_OVERHEAD_BYTES);
        worker.wait();
        if (stage.failure()) {
            return *stage.failure();
        }
    }
    if (const std::uint64_t count = stage.nonFiniteSamples(); count > 0) {
        return invalid("holds " + std::to_string(count) +
                       (count == 1 ? " sample that is" : " samples that are") +
                       " not a finite number (NaN or infinity)");
    }
    if (stage.produced() == 0) {
        return invalid("contains no audio samples");
    }
    // Uncompressed WAV streams may state placeholder lengths (a recorder that never
    // finished its header); compressed ones count their frames.
    const double decodedSeconds = static_cast<double>(stage.produced()) / TELEPHONY_SAMPLE_RATE;
    const double statedSeconds = media.description.durationSeconds;
    if (!end.moreFollows && media.durationStated && media.description.bitsPerSample == 0 &&
        decodedSeconds < statedSeconds - std::max(TRUNCATION_TOLERANCE_SECONDS,
                                                  statedSeconds * TRUNCATION_TOLERANCE_SHARE)) {
        char text[96];
        std::snprintf(text, sizeof text, "truncated: holds %.2f s of the %.2f s its header states",
                      decodedSeconds, statedSeconds);
        return invalid(text);
    }
    end.sourceClipping = stage.clipping();
    end.channels = stage.channels();
    end.sourcePeaks = stage.peaks();
    return end;
}

}  // namespace quen
