// Builds WAV file images for tests from samples and chunk descriptions, so that every
// malformed input says in code what is wrong with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace quen::test {

// The fields of a format chunk; the defaults describe 8 kHz 16-bit mono PCM.
struct WavFormat {
    std::uint16_t formatTag = 1;
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 8000;
    std::uint32_t byteRate = 16000;
    std::uint16_t blockAlign = 2;
    std::uint16_t bitsPerSample = 16;
    Bytes extension;  // bytes after the 16 standard ones
};

// One chunk of the RIFF body. `statedLength` replaces the true length of the contents
// in the chunk header, to describe chunks that lie about their size.
struct WavChunk {
    std::string id;  // exactly four characters
    Bytes contents;
    std::optional<std::uint32_t> statedLength;
};

// 16-bit little-endian sample bytes.
Bytes sampleBytes(const std::vector<std::int16_t>& samples);

WavChunk formatChunk(const WavFormat& format = {});
WavChunk dataChunk(const std::vector<std::int16_t>& samples);
WavChunk dataChunk(Bytes bytes);

// The body: each chunk's header and contents, back to back, without pad bytes.
Bytes riffBody(const std::vector<WavChunk>& chunks);

// "RIFF", the RIFF size (the body length plus 4 unless given), "WAVE", the body, then
// `trailing` bytes outside the RIFF chunk.
Bytes wavFile(const std::vector<WavChunk>& chunks, std::optional<std::uint32_t> riffSize = {},
              const Bytes& trailing = {});

// The plain recording: a 16-byte PCM format chunk and a data chunk.
Bytes pcmWav(const std::vector<std::int16_t>& samples);

// `count` samples of a deterministic tone that sweeps the whole 16-bit range, so
// that every segment of both G.711 laws is used.
std::vector<std::int16_t> testSignal(std::size_t count);

}  // namespace quen::test
