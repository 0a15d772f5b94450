// Finds the samples of a WAV recording: the format checks in their fixed order, each
// with its own reason, and the walk from the format chunk to the data chunk.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "platform/ByteOrder.h"
#include "platform/Result.h"
#include "wav/RecordingFailure.h"

namespace quen {

// The lengths a format chunk may state: the 16 bytes of fields, up to 36 more.
constexpr std::uint32_t MIN_FORMAT_LENGTH = 16;
constexpr std::uint32_t MAX_FORMAT_LENGTH = 52;

// The located sample bytes; they stay in the caller's file buffer.
struct WaveData {
    std::span<const std::uint8_t> samples;
};

// Where the samples lie, in bytes from the start of the RIFF body.
struct WaveLocation {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// Fills `out` with the RIFF body's bytes from `offset` on (always within the bytes
// present), or fails with the file layer's category.
using BodyReader =
    std::function<Result<void, FailureCategory>(std::uint64_t offset, std::span<std::uint8_t> out)>;

// The walk reads only the format chunk and the chunk headers up to the data chunk, so
// a refused recording is never read whole. `present` is the number of body bytes in
// the file, `bodyLength` the RIFF size minus 4. Fails with the first check's refusal,
// or with the category of a read that failed.
Result<WaveLocation, RecordingFailure> locateWaveData(const BodyReader& read, std::uint64_t present,
                                                      std::uint32_t bodyLength);

// The same on a body in memory: `body` holds the bytes after the form type "WAVE" up to
// the end of the file buffer; `bodyLength` is the RIFF size minus 4, the part the chunk
// walk may look at. The data length is the data chunk's stated one, cut to the bytes
// `body` holds.
Result<WaveData, RecordingRefusal> locateWaveData(std::span<const std::uint8_t> body,
                                                  std::uint32_t bodyLength);

}  // namespace quen
