// A RIFF body of any shape must be located, encoded with any codec and packetised
// without reading outside the buffer; the located samples must lie inside the body.
// G.723.1 runs through the real codec module, built beside the target.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/Codec.h"
#include "codec/WaveCompressor.h"
#include "datafile/Packetiser.h"
#include "wav/WaveData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    // The first byte picks the codec, the next four play the RIFF size's part: how much
    // of the body the walk may look at.
    const quen::Codec codec = quen::ALL_CODECS[data[0] % quen::ALL_CODECS.size()];
    const std::uint32_t bodyLength = quen::getLittleEndian32(std::span(data + 1, 4).first<4>());
    const std::span<const std::uint8_t> body(data + 5, size - 5);
    const auto wave = quen::locateWaveData(body, bodyLength);
    if (!wave) {
        return 0;
    }
    if (wave->samples.data() < body.data() ||
        wave->samples.data() + wave->samples.size() > body.data() + body.size()) {
        std::abort();
    }
    // The samples go through the compressor and packetiser block by block, as in a
    // conversion; the packets hold at least the compressed bytes.
    std::uint64_t compressed = 0;
    quen::Packetiser packets(codec, [](std::span<const quen::ByteSpan>) {});
    {
        quen::WaveCompressor compressor(codec);
        for (auto rest = wave->samples; !rest.empty();) {
            const auto block =
                rest.first(std::min(rest.size(), quen::WaveCompressor::INPUT_BLOCK_BYTES));
            const auto stream = compressor.compress(block);
            compressed += stream.size();
            packets.add(stream);
            rest = rest.subspan(block.size());
        }
        if (!compressor.finish()) {
            return 0;
        }
    }
    packets.finish();
    if (packets.size() < compressed) {
        std::abort();
    }
    return 0;
}
