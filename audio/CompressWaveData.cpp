// Buffer sizing and codec choice of the compression entry.
#include "audio/CompressWaveData.h"

#include <new>

#include "audio/CodecCodes.h"
#include "audio/G711Encoder.h"
#include "audio/G723AcmEncoder.h"

namespace quen {
namespace {

// G.723.1 keeps whole 480-byte blocks only; G.711 makes one byte per sample and
// rounds the allocation up for an odd data length.
std::size_t bufferSize(std::uint64_t dataLength, std::int32_t cpType) {
    if (cpType == CP_TYPE_G723) {
        return dataLength / G723_BLOCK_BYTES * G723_FRAME_BYTES;
    }
    return (dataLength + 1) / 2;
}

}  // namespace

std::optional<CompressedAudio> compressWaveData(std::span<const std::uint8_t> pcm,
                                                std::int32_t cpType, LogSink& log) {
    CompressedAudio audio;
    try {
        audio.buffer.resize(bufferSize(pcm.size(), cpType));
    } catch (const std::bad_alloc&) {
        log.write("Cannot allocate memory for data compression buffer.");
        return std::nullopt;
    }
    if (cpType == CP_TYPE_G723) {
        // The data chunk's length field is 32 bits wide, so the located length is too.
        const auto dataLength = static_cast<std::uint32_t>(pcm.size());
        G723AcmEncoder encoder(log);
        audio.length = encoder.encodeAll(pcm.data(), dataLength, audio.buffer.data(),
                                         dataLength / G723_BLOCK_BYTES);
        audio.codecFailed = encoder.failed();
    } else {
        audio.length = G711Encoder().encodeBuffer(pcm, audio.buffer, cpType);
    }
    return audio;
}

}  // namespace quen
