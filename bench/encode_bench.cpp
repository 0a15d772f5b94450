// G.711 encoding and packetising speed. Both run once per conversion over the whole
// recording; throughput is counted in bytes of 16-bit PCM input, so the two figures
// compare directly (the packetiser sees half as many bytes: one code per sample).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "codec/Codec.h"
#include "codec/Encoder.h"
#include "datafile/Packetiser.h"

namespace {

// Speech-like PCM: a tone under a slow envelope with some noise, so that samples
// spread over all segments rather than repeating one code.
std::vector<std::uint8_t> speechLikePcm(std::size_t samples) {
    std::vector<std::uint8_t> pcm;
    pcm.reserve(2 * samples);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < samples; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double envelope = 0.5 + 0.5 * std::sin(static_cast<double>(i) * 0.0007);
        const double value =
            20000.0 * envelope * std::sin(static_cast<double>(i) * 0.31) +
            static_cast<double>(static_cast<std::int32_t>(noise >> 16) - 32768) / 16.0;
        const auto sample = static_cast<std::int16_t>(std::lround(value));
        pcm.push_back(static_cast<std::uint8_t>(sample));
        pcm.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8));
    }
    return pcm;
}

// Range: seconds of 8 kHz recording.
void BM_G711Encode(benchmark::State& state, quen::Codec codec) {
    const std::vector<std::uint8_t> pcm =
        speechLikePcm(static_cast<std::size_t>(state.range(0)) * quen::SPEECH_SAMPLE_RATE);
    std::vector<std::uint8_t> out(pcm.size() / 2);
    const auto encoder = quen::makeEncoder(codec);
    for (auto _ : state) {
        benchmark::DoNotOptimize(encoder->encode(pcm, out));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pcm.size()));
}
BENCHMARK_CAPTURE(BM_G711Encode, alaw, quen::Codec::ALaw)->Arg(1)->Arg(60);
BENCHMARK_CAPTURE(BM_G711Encode, mulaw, quen::Codec::MuLaw)->Arg(1)->Arg(60);

// The G.711 stream of the recording, packetised; bytes counted as the PCM behind it.
void BM_Packetise(benchmark::State& state, quen::Codec codec) {
    const std::vector<std::uint8_t> pcm =
        speechLikePcm(static_cast<std::size_t>(state.range(0)) * quen::SPEECH_SAMPLE_RATE);
    std::vector<std::uint8_t> stream(pcm.size() / 2);
    quen::makeEncoder(codec)->encode(pcm, stream);
    for (auto _ : state) {
        std::uint64_t sent = 0;
        quen::Packetiser packets(
            codec, [&sent](std::span<const quen::ByteSpan> pieces) { sent += pieces[1].size(); });
        packets.add(stream);
        packets.finish();
        benchmark::DoNotOptimize(sent);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pcm.size()));
}
BENCHMARK_CAPTURE(BM_Packetise, alaw, quen::Codec::ALaw)->Arg(1)->Arg(60);

}  // namespace
