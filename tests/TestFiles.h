// Files for tests: WAV images built from samples and chunks, so that every malformed
// input says in code what is wrong with it; and what a data file must hold, assembled
// independently of the program's own writer so that end-to-end tests can compare whole
// files byte for byte.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

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

// "RIFF", the RIFF size (the body length plus 4 unless given), "WAVE" and the body.
Bytes wavFile(const Bytes& body, std::optional<std::uint32_t> riffSize = {});

// The plain recording: a 16-byte PCM format chunk and a data chunk.
Bytes pcmWav(const std::vector<std::int16_t>& samples);

Bytes join(std::initializer_list<Bytes> parts);

// `count` samples of a deterministic tone that sweeps the whole 16-bit range, so
// that every segment of both G.711 laws is used.
std::vector<std::int16_t> testSignal(std::size_t count);
// `seconds` of speech-like noise at an active speech level of `levelDbm0`, 8 kHz.
std::vector<std::int16_t> speechAt(double seconds, double levelDbm0);

// The 208-byte header, filled field by field; texts longer than 32 units are cut to 32.
struct ExpectedHeader {
    std::u16string mailboxName{};
    std::u16string secondText{};  // recordingName or callingParty
    std::u16string displayString{};
    Bytes reserved{0, 0, 0, 0};
    Bytes internalFlag{0x00, 'Y', 0x00, 0x00};
    std::int32_t recordTime = 0;
    std::int32_t listenTime = 0;
};

// Preamble, header and the stream cut into packets of 128 frames of `frameBytes`.
Bytes expectedDataFile(std::uint8_t flashType, const ExpectedHeader& header, const Bytes& stream,
                       std::size_t frameBytes);

// The codes of the G.711 encoder, which its own test checks sample by sample.
Bytes g711Stream(const std::vector<std::int16_t>& samples, bool muLaw = false);

// The big-endian 32-bit value at `offset`.
std::int32_t bigEndian32At(const Bytes& bytes, std::size_t offset);

// An AA template's parts: a greeting, an attendant with its AAName, the whole document.
std::string greeting(const std::string& id, const std::string& recording);
std::string attendant(const std::string& name, const std::string& greetings);
std::string configuration(const std::string& attendants);
// g<number>.wav.
std::string recording(std::size_t number);

}  // namespace quen::test
