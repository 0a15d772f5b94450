// The G.723.1 codec module: libavcodec's g723_1 encoder at 6300 bit/s and its decoder
// behind the small C interface of G723ModuleAbi.h. It is a separate shared object so
// that only a job that converts to G.723.1 pays for loading libavcodec.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include <span>

#include "codec/g723module/G723ModuleAbi.h"
#include "platform/ByteOrder.h"
#include "wav/WaveFormat.h"

namespace {

// A libavcodec context with its frame and packet, opened for G.723.1 at 8000 samples/s
// mono; the encoder and the decoder differ only in how the context is set up.
struct CodecState {
    CodecState() = default;
    CodecState(const CodecState&) = delete;
    CodecState& operator=(const CodecState&) = delete;
    ~CodecState() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }

    // False when the library has no such codec or memory ran out.
    bool allocate(const AVCodec* codec) {
        if (codec == nullptr) {
            return false;
        }
        context = avcodec_alloc_context3(codec);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        if (context == nullptr || frame == nullptr || packet == nullptr) {
            return false;
        }
        context->sample_rate = quen::SPEECH_SAMPLE_RATE;
        const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        return av_channel_layout_copy(&context->ch_layout, &mono) == 0;
    }

    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
};

}  // namespace

// One stream's codec state, handed to the program as an opaque pointer.
struct QuenG723Encoder : CodecState {};

// One stream's decoder state, as opaque to the program.
struct QuenG723Decoder : CodecState {};

namespace {

constexpr int BIT_RATE = 6300;
constexpr int BLOCK_SAMPLES = QUEN_G723_BLOCK_BYTES / 2;

void destroyEncoder(QuenG723Encoder* encoder) {
    std::unique_ptr<QuenG723Encoder> owned(encoder);
}

QuenG723Encoder* createEncoder() {
    // The program's standard streams belong to its callers; the codec's notes would
    // only disturb them.
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_G723_1);
    auto encoder = std::make_unique<QuenG723Encoder>();
    if (!encoder->allocate(codec)) {
        return nullptr;
    }
    AVCodecContext* context = encoder->context;
    context->sample_fmt = AV_SAMPLE_FMT_S16;
    context->bit_rate = BIT_RATE;
    AVFrame* frame = encoder->frame;
    frame->nb_samples = BLOCK_SAMPLES;
    frame->format = AV_SAMPLE_FMT_S16;
    if (avcodec_open2(context, codec, nullptr) < 0 || context->frame_size != BLOCK_SAMPLES ||
        av_channel_layout_copy(&frame->ch_layout, &context->ch_layout) < 0 ||
        av_frame_get_buffer(frame, 0) < 0) {
        return nullptr;
    }
    return encoder.release();
}

int encodeBlock(QuenG723Encoder* encoder, const unsigned char* block, unsigned char* frame) {
    if (av_frame_make_writable(encoder->frame) < 0) {
        return -1;
    }
    auto* samples = reinterpret_cast<std::int16_t*>(encoder->frame->data[0]);
    const std::span<const unsigned char> pcm(block, QUEN_G723_BLOCK_BYTES);
    for (int i = 0; i < BLOCK_SAMPLES; ++i) {
        samples[i] = static_cast<std::int16_t>(quen::getLittleEndian16(pcm.subspan(2 * i)));
    }
    // The encoder has no delay: each block sent gives its frame back at once.
    if (avcodec_send_frame(encoder->context, encoder->frame) < 0 ||
        avcodec_receive_packet(encoder->context, encoder->packet) < 0) {
        return -1;
    }
    const bool whole = encoder->packet->size == QUEN_G723_FRAME_BYTES;
    if (whole) {
        std::memcpy(frame, encoder->packet->data, QUEN_G723_FRAME_BYTES);
    }
    av_packet_unref(encoder->packet);
    return whole ? 0 : -1;
}

void destroyDecoder(QuenG723Decoder* decoder) {
    std::unique_ptr<QuenG723Decoder> owned(decoder);
}

QuenG723Decoder* createDecoder() {
    // A damaged frame is counted and reported by the program; the library's own
    // console lines would only repeat it.
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_G723_1);
    auto decoder = std::make_unique<QuenG723Decoder>();
    if (!decoder->allocate(codec)) {
        return nullptr;
    }
    if (avcodec_open2(decoder->context, codec, nullptr) != 0) {
        return nullptr;
    }
    return decoder.release();
}

// Takes what the decoder has for the frame just sent, up to one block; the number of
// samples it gave.
int receiveSamples(QuenG723Decoder* decoder, std::int16_t* samples) {
    int got = 0;
    AVFrame* frame = decoder->frame;
    while (avcodec_receive_frame(decoder->context, frame) == 0) {
        // Mono, so planar and interleaved samples lie alike in data[0].
        if (frame->format == AV_SAMPLE_FMT_S16 || frame->format == AV_SAMPLE_FMT_S16P) {
            const int taken = std::min(frame->nb_samples, BLOCK_SAMPLES - got);
            std::memcpy(samples + got, frame->data[0], sizeof(std::int16_t) * taken);
            got += taken;
        }
        av_frame_unref(frame);
    }
    return got;
}

// One packet per frame: the decoder takes a single frame per call, and a frame it
// refuses must not shift the frames behind it.
int decodeFrame(QuenG723Decoder* decoder, const unsigned char* frame, std::int16_t* samples) {
    std::fill_n(samples, BLOCK_SAMPLES, std::int16_t{0});
    if (av_new_packet(decoder->packet, QUEN_G723_FRAME_BYTES) != 0) {
        return -1;
    }
    std::memcpy(decoder->packet->data, frame, QUEN_G723_FRAME_BYTES);
    const bool sent = avcodec_send_packet(decoder->context, decoder->packet) == 0;
    av_packet_unref(decoder->packet);
    return sent && receiveSamples(decoder, samples) > 0 ? 0 : -1;
}

constexpr QuenG723Module MODULE = {
    .version = QUEN_G723_MODULE_VERSION,
    .createEncoder = createEncoder,
    .encode = encodeBlock,
    .destroyEncoder = destroyEncoder,
    .createDecoder = createDecoder,
    .decode = decodeFrame,
    .destroyDecoder = destroyDecoder,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const QuenG723Module* quen_g723_module() {
    return &MODULE;
}
