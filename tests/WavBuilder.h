// Builds WAV file images for tests from samples and chunks, so that every malformed
// input says in code what is wrong with it.
#pragma once

#include <initializer_list>
#include <optional>

#include "tests/TestSupport.h"

namespace quen::test {

// 16-bit little-endian sample bytes.
Bytes sampleBytes(const std::vector<std::int16_t>& samples);

// A chunk header and its contents; `statedLength` replaces the true length in the
// header, to describe chunks that lie about their size.
Bytes chunk(const std::string& id, const Bytes& contents,
            std::optional<std::uint32_t> statedLength = {});

// An 8 kHz 16-bit mono PCM format chunk with `extension` zero bytes after its 16.
Bytes formatChunk(std::size_t extension = 0);

// A format chunk of any encoding; block alignment and byte rate follow from the
// others. `extension` follows the 16 bytes of fields.
Bytes formatChunkFor(std::uint16_t tag, std::uint16_t channels, std::uint32_t sampleRate,
                     std::uint16_t bitsPerSample, const Bytes& extension = {});

// A 32-bit little-endian value.
Bytes littleEndian32(std::uint32_t value);

// "RIFF", the RIFF size (the body length plus 4 unless given), "WAVE" and the body.
Bytes wavFile(const Bytes& body, std::optional<std::uint32_t> riffSize = {});

// The plain recording: a 16-byte PCM format chunk and a data chunk.
Bytes pcmWav(const std::vector<std::int16_t>& samples);

Bytes join(std::initializer_list<Bytes> parts);

// `count` samples of a deterministic tone that sweeps the whole 16-bit range, so
// that every segment of both G.711 laws is used.
std::vector<std::int16_t> testSignal(std::size_t count);

}  // namespace quen::test
