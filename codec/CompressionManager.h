// The audio compression manager as the G.723.1 encoder sees it: open a conversion
// stream between two format records, prepare a block's header, convert the block,
// close. Every call answers with the manager's result numbering, 0 for success. The
// encoder holds this interface so that tests can put a scripted codec in its place.
#pragma once

#include <cstdint>
#include <span>

namespace quen {

// Results in the compression manager's numbering.
inline constexpr std::int32_t ACM_OK = 0;
inline constexpr std::int32_t ACM_ERROR = 1;               // the codec failed on the block
inline constexpr std::int32_t ACM_INVALID_HANDLE = 5;      // no such open stream
inline constexpr std::int32_t ACM_INVALID_PARAMETER = 11;  // malformed record or header
inline constexpr std::int32_t ACM_NOT_POSSIBLE = 512;      // no codec converts this pair
inline constexpr std::int32_t ACM_UNPREPARED = 514;        // header converted unprepared

using StreamHandle = std::uint32_t;
inline constexpr StreamHandle NO_STREAM = 0;

// The size the manager's own stream header has; a caller states it in `size`, and a
// header that states any other size is refused, as by the manager.
inline constexpr std::uint32_t STREAM_HEADER_SIZE = 84;

// Status bits the stream layer sets in a header.
inline constexpr std::uint32_t STREAM_HEADER_PREPARED = 0x1;
inline constexpr std::uint32_t STREAM_HEADER_DONE = 0x2;

// One block to convert. The caller zeroes it and fills size, source, sourceLength,
// destination and destinationLength; the stream layer fills the rest.
struct StreamHeader {
    std::uint32_t size = 0;
    std::uint32_t status = 0;
    const std::uint8_t* source = nullptr;
    std::uint32_t sourceLength = 0;
    std::uint32_t sourceUsed = 0;
    std::uint8_t* destination = nullptr;
    std::uint32_t destinationLength = 0;
    std::uint32_t destinationUsed = 0;
};

class CompressionManager {
  public:
    virtual ~CompressionManager() = default;

    // Opens a synchronous stream from `source` to `destination` (format records, see
    // WaveFormatRecord.h); on ACM_OK `stream` holds its handle.
    virtual std::int32_t openStream(StreamHandle& stream, std::span<const std::uint8_t> source,
                                    std::span<const std::uint8_t> destination) = 0;
    virtual std::int32_t prepareHeader(StreamHandle stream, StreamHeader& header) = 0;
    // On ACM_OK the converted block is at the header's destination when the call returns.
    virtual std::int32_t convert(StreamHandle stream, StreamHeader& header) = 0;
    virtual std::int32_t closeStream(StreamHandle stream) = 0;
};

}  // namespace quen
