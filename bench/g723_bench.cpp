// G.723.1 encoding speed: libavcodec's encoder called directly against the program's
// path through G723Stream and the codec module. Each iteration encodes a 30-second
// recording from a fresh codec state, as one conversion does.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "codec/CodecModule.h"
#include "codec/G723Stream.h"

namespace {

constexpr std::size_t BLOCKS = 1000;  // 30 s
constexpr std::size_t BLOCK_SAMPLES = 240;

// Two gliding tones and a little noise: enough variety that the encoder's searches do
// their usual amount of work.
std::vector<std::uint8_t> recording() {
    std::vector<std::uint8_t> bytes;
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < BLOCKS * BLOCK_SAMPLES; ++i) {
        const double t = static_cast<double>(i) / quen::SPEECH_SAMPLE_RATE;
        noise = noise * 1664525 + 1013904223;
        const double value = 6000 * std::sin(2 * std::numbers::pi * (200 + 50 * t) * t) +
                             3000 * std::sin(2 * std::numbers::pi * 1300 * t) +
                             static_cast<double>(noise >> 22) - 512;
        const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
        bytes.push_back(static_cast<std::uint8_t>(sample));
        bytes.push_back(static_cast<std::uint8_t>(sample >> 8));
    }
    return bytes;
}

void reportRate(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * BLOCKS));
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * BLOCKS * BLOCK_SAMPLES * 2));
}

void libavcodecDirect(benchmark::State& state) {
    const std::vector<std::uint8_t> pcm = recording();
    std::vector<std::uint8_t> frames(BLOCKS * 24);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_G723_1);
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    for (auto _ : state) {
        AVCodecContext* context = avcodec_alloc_context3(codec);
        context->sample_rate = quen::SPEECH_SAMPLE_RATE;
        context->sample_fmt = AV_SAMPLE_FMT_S16;
        context->bit_rate = 6300;
        av_channel_layout_copy(&context->ch_layout, &mono);
        AVFrame* frame = av_frame_alloc();
        AVPacket* packet = av_packet_alloc();
        frame->nb_samples = BLOCK_SAMPLES;
        frame->format = AV_SAMPLE_FMT_S16;
        av_channel_layout_copy(&frame->ch_layout, &mono);
        if (avcodec_open2(context, codec, nullptr) < 0 || av_frame_get_buffer(frame, 0) < 0) {
            throw std::runtime_error("libavcodec refused the G.723.1 encoder");
        }
        for (std::size_t k = 0; k < BLOCKS; ++k) {
            av_frame_make_writable(frame);
            std::memcpy(frame->data[0], pcm.data() + QUEN_G723_BLOCK_BYTES * k,
                        QUEN_G723_BLOCK_BYTES);
            avcodec_send_frame(context, frame);
            avcodec_receive_packet(context, packet);
            std::memcpy(frames.data() + 24 * k, packet->data, 24);
            av_packet_unref(packet);
        }
        benchmark::DoNotOptimize(frames.data());
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }
    reportRate(state);
}
BENCHMARK(libavcodecDirect)->Unit(benchmark::kMillisecond);

void throughCodecModule(benchmark::State& state) {
    const std::vector<std::uint8_t> pcm = recording();
    std::vector<std::uint8_t> frames(BLOCKS * 24);
    // Loads the codec module before the clock runs; a conversion pays that once per process.
    const auto& module = quen::systemCodecModule();
    if (!module) {
        throw std::runtime_error("the G.723.1 codec module did not load");
    }
    for (auto _ : state) {
        quen::G723Stream stream(module);
        benchmark::DoNotOptimize(stream.encode(pcm, frames));
        if (!stream.finish()) {
            throw std::runtime_error("the G.723.1 stream did not convert");
        }
    }
    reportRate(state);
}
BENCHMARK(throughCodecModule)->Unit(benchmark::kMillisecond);

}  // namespace
