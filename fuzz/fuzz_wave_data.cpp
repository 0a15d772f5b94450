// A RIFF body of any shape must be located, encoded and packetised without reading
// outside the buffer; the located samples must lie inside the body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "audio/CodecCodes.h"
#include "audio/CompressWaveData.h"
#include "audio/WaveData.h"
#include "datafile/Packetiser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    // The first four bytes play the RIFF size's part: how much of the body the walk
    // may look at.
    const std::uint32_t bodyLength = quen::getLittleEndian32(std::span(data, 4).first<4>());
    const std::span<const std::uint8_t> body(data + 4, size - 4);
    if (const auto wave = quen::locateWaveData(body, bodyLength)) {
        if (wave->samples.data() < body.data() ||
            wave->samples.data() + wave->samples.size() > body.data() + body.size()) {
            std::abort();
        }
    }
    const auto audio = quen::compressWaveData(body, bodyLength, quen::CP_TYPE_MULAW);
    if (audio) {
        static_cast<void>(quen::packetise(audio->stream(), quen::CP_TYPE_MULAW));
    }
    return 0;
}
