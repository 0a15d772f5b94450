// Direct libavcodec calls for the G.723.1 comparisons, independent of the codec module.
#include "tests/G723Reference.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>

namespace quen::test {
namespace {

constexpr int BLOCK_SAMPLES = 240;
constexpr int FRAME_BYTES = 24;

struct Codec {
    Codec(const AVCodec* codec, bool encoder) {
        if (codec == nullptr) {
            throw std::runtime_error("libavcodec has no G.723.1 codec");
        }
        const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        context = avcodec_alloc_context3(codec);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        context->sample_rate = 8000;
        av_channel_layout_copy(&context->ch_layout, &mono);
        if (encoder) {
            context->sample_fmt = AV_SAMPLE_FMT_S16;
            context->bit_rate = 6300;
        }
        if (avcodec_open2(context, codec, nullptr) < 0) {
            throw std::runtime_error("libavcodec refused the G.723.1 codec");
        }
    }
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;
    ~Codec() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }

    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
};

}  // namespace

std::vector<std::int16_t> speechLikeSignal(std::size_t count) {
    constexpr double RATE = 8000;
    constexpr double FORMANTS[3][2] = {{700, 80}, {1200, 100}, {2600, 150}};  // Hz, bandwidth
    double history[3][2] = {};
    double phase = 0;
    std::uint32_t noise = 1;
    std::vector<double> shaped(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / RATE;
        phase += (120 + 20 * std::sin(2 * std::numbers::pi * 0.7 * t)) / RATE;
        double value = 0;
        if (phase >= 1) {
            phase -= 1;
            value = 1;
        }
        noise = noise * 1664525 + 1013904223;  // a little breath noise between the pulses
        value += 0.02 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
        for (int k = 0; k < 3; ++k) {
            const double r = std::exp(-std::numbers::pi * FORMANTS[k][1] / RATE);
            const double theta = 2 * std::numbers::pi * FORMANTS[k][0] / RATE;
            const double y =
                (1 - r) * value + 2 * r * std::cos(theta) * history[k][0] - r * r * history[k][1];
            history[k][1] = history[k][0];
            history[k][0] = y;
            value = y;
        }
        shaped[i] = value * (0.55 + 0.45 * std::sin(2 * std::numbers::pi * 3 * t));
    }
    double peak = 0;
    for (const double value : shaped) {
        peak = std::max(peak, std::abs(value));
    }
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] =
            static_cast<std::int16_t>(std::lround(peak > 0 ? shaped[i] / peak * 12000 : 0));
    }
    return samples;
}

Bytes referenceFrames(const std::vector<std::int16_t>& samples) {
    Codec codec(avcodec_find_encoder(AV_CODEC_ID_G723_1), true);
    codec.frame->nb_samples = BLOCK_SAMPLES;
    codec.frame->format = AV_SAMPLE_FMT_S16;
    av_channel_layout_copy(&codec.frame->ch_layout, &codec.context->ch_layout);
    if (av_frame_get_buffer(codec.frame, 0) < 0) {
        throw std::runtime_error("no frame buffer");
    }
    Bytes frames;
    for (std::size_t block = 0; block + BLOCK_SAMPLES <= samples.size(); block += BLOCK_SAMPLES) {
        av_frame_make_writable(codec.frame);
        std::memcpy(codec.frame->data[0], &samples[block], BLOCK_SAMPLES * sizeof(std::int16_t));
        if (avcodec_send_frame(codec.context, codec.frame) < 0 ||
            avcodec_receive_packet(codec.context, codec.packet) < 0) {
            throw std::runtime_error("libavcodec failed to encode");
        }
        frames.insert(frames.end(), codec.packet->data, codec.packet->data + codec.packet->size);
        av_packet_unref(codec.packet);
    }
    return frames;
}

std::vector<std::int16_t> decodeFrames(std::span<const std::uint8_t> frames) {
    Codec codec(avcodec_find_decoder(AV_CODEC_ID_G723_1), false);
    std::vector<std::int16_t> samples;
    for (std::size_t offset = 0; offset + FRAME_BYTES <= frames.size(); offset += FRAME_BYTES) {
        if (av_new_packet(codec.packet, FRAME_BYTES) < 0) {
            throw std::runtime_error("no packet buffer");
        }
        std::memcpy(codec.packet->data, frames.data() + offset, FRAME_BYTES);
        if (avcodec_send_packet(codec.context, codec.packet) < 0 ||
            avcodec_receive_frame(codec.context, codec.frame) < 0) {
            throw std::runtime_error("libavcodec failed to decode");
        }
        if (codec.frame->format != AV_SAMPLE_FMT_S16 && codec.frame->format != AV_SAMPLE_FMT_S16P) {
            throw std::runtime_error("decoder gave no 16-bit samples");
        }
        // Mono: the one plane holds the samples, planar or not.
        const auto* decoded = reinterpret_cast<const std::int16_t*>(codec.frame->data[0]);
        samples.insert(samples.end(), decoded, decoded + codec.frame->nb_samples);
        av_packet_unref(codec.packet);
        av_frame_unref(codec.frame);
    }
    return samples;
}

Reproduction compareDecoded(const std::vector<std::int16_t>& input,
                            const std::vector<std::int16_t>& decoded, std::size_t settle) {
    Reproduction best;
    best.correlation = -2;
    for (std::size_t delay = 0; delay <= 240; ++delay) {
        double inputEnergy = 0;
        double decodedEnergy = 0;
        double product = 0;
        double errorEnergy = 0;
        for (std::size_t i = settle; i < input.size() && i + delay < decoded.size(); ++i) {
            const double x = input[i];
            const double y = decoded[i + delay];
            inputEnergy += x * x;
            decodedEnergy += y * y;
            product += x * y;
            errorEnergy += (x - y) * (x - y);
        }
        const double correlation = product / std::sqrt(inputEnergy * decodedEnergy);
        if (inputEnergy > 0 && decodedEnergy > 0 && correlation > best.correlation) {
            best = {delay, correlation, 10 * std::log10(inputEnergy / errorEnergy)};
        }
    }
    return best;
}

}  // namespace quen::test
