// One decoder context per stream, one packet per frame: the decoder takes a single
// frame per call, and a frame it refuses must not shift the frames behind it.
#include "media/G723Decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <memory>

#include "codec/g723module/G723ModuleAbi.h"
#include "media/AvOwners.h"

namespace quen {
namespace {

constexpr std::size_t SAMPLES_PER_FRAME = QUEN_G723_BLOCK_BYTES / 2;

// Appends what the decoder has for the frame just sent; false when it gave nothing.
bool receiveSamples(AVCodecContext* context, AVFrame* frame, std::vector<std::int16_t>& out) {
    bool got = false;
    while (avcodec_receive_frame(context, frame) == 0) {
        // Mono, so planar and interleaved samples lie alike in data[0].
        if (frame->format == AV_SAMPLE_FMT_S16 || frame->format == AV_SAMPLE_FMT_S16P) {
            const auto* samples = reinterpret_cast<const std::int16_t*>(frame->data[0]);
            out.insert(out.end(), samples, samples + frame->nb_samples);
            got = true;
        }
        av_frame_unref(frame);
    }
    return got;
}

}  // namespace

Result<G723Decoded> decodeG723(std::span<const std::uint8_t> stream) {
    // A damaged frame is counted and reported by the caller; the library's own
    // console lines would only repeat it.
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_G723_1);
    if (codec == nullptr) {
        return Failure{FailureCategory::Generic, "libavcodec has no G.723.1 decoder"};
    }
    CodecPtr context(avcodec_alloc_context3(codec));
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!context || !packet || !frame) {
        return Failure{FailureCategory::Generic, "out of memory for the G.723.1 decoder"};
    }
    context->sample_rate = 8000;
    av_channel_layout_default(&context->ch_layout, 1);
    if (avcodec_open2(context.get(), codec, nullptr) != 0) {
        return Failure{FailureCategory::Generic, "the G.723.1 decoder could not be opened"};
    }

    G723Decoded result;
    const std::size_t frames = stream.size() / QUEN_G723_FRAME_BYTES;
    result.samples.reserve(frames * SAMPLES_PER_FRAME);
    for (std::size_t i = 0; i < frames; ++i) {
        if (av_new_packet(packet.get(), QUEN_G723_FRAME_BYTES) != 0) {
            return Failure{FailureCategory::Generic, "out of memory for a G.723.1 frame"};
        }
        std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(i * QUEN_G723_FRAME_BYTES),
                    QUEN_G723_FRAME_BYTES, packet->data);
        const std::size_t before = result.samples.size();
        const bool sent = avcodec_send_packet(context.get(), packet.get()) == 0;
        av_packet_unref(packet.get());
        if (!sent || !receiveSamples(context.get(), frame.get(), result.samples)) {
            ++result.failedFrames;
        }
        // Keep exactly 30 ms per frame, whatever the decoder gave.
        result.samples.resize(before + SAMPLES_PER_FRAME, 0);
    }
    return result;
}

}  // namespace quen
