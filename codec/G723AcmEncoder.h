// G.723.1 at 6.3 kbit/s through the compression manager: one stream per conversion,
// one 480-byte PCM block in and one 24-byte frame out per call, and the frame-kind
// checks that turn silence-description and 5.3 kbit/s frames into a failure.
#pragma once

#include <cstdint>

#include "codec/CompressionManager.h"
#include "platform/LogSink.h"

namespace quen {

class G723AcmEncoder {
  public:
    // Converts through the process's own stream layer; the codec's failures go to `log`.
    explicit G723AcmEncoder(LogSink& log);
    // Converts through `manager`; both must outlive the encoder.
    G723AcmEncoder(LogSink& log, CompressionManager& manager);
    G723AcmEncoder(const G723AcmEncoder&) = delete;
    G723AcmEncoder& operator=(const G723AcmEncoder&) = delete;
    ~G723AcmEncoder();

    // Opens the PCM to G.723.1 stream; logs the manager's error and answers false when
    // it will not open.
    bool open();

    // Converts the block of `sampleCount` samples at `pcm` into `out`. `frameBytes`:
    // in, the room at `out`; out, the size of the frame written, told by the kind in
    // the low bits of its first byte. False (logged) when the manager refused the
    // block; false without a message when no stream is open.
    bool encodeFrame(const std::uint8_t* pcm, std::uint32_t sampleCount, std::uint8_t* out,
                     std::uint32_t& frameBytes);

    // After open(): encodes `blockCount` consecutive 480-byte blocks from `pcm` into
    // `out` (room for 24 bytes per block) and returns the bytes written. After a block
    // the codec refused (logged) nothing more is encoded, in this call or later ones.
    // Silence-description and 5.3 kbit/s frames are counted for finish().
    std::uint32_t encodeBlocks(const std::uint8_t* pcm, std::uint32_t blockCount,
                               std::uint8_t* out);

    // Logs the silence-description or 5.3 kbit/s frames counted, if any (a failure), and
    // closes the stream. False when the codec reported any failure since open().
    bool finish();

    // open(), encodeBlocks() and finish() over `frameCount` blocks. Returns the bytes
    // written: 0 when the stream did not open or the codec made silence-description or
    // 5.3 kbit/s frames, the bytes before a block the codec refused.
    std::int32_t encodeAll(const std::uint8_t* pcm, std::uint8_t* out, std::uint32_t frameCount);

    // Closes the stream if one is open.
    void close();

    // True when the codec reported any failure since the last open() (its message is
    // already in the error log); the count alone does not tell.
    bool failed() const { return failed_; }

  private:
    LogSink& log_;
    CompressionManager& manager_;
    StreamHandle stream_ = NO_STREAM;
    bool failed_ = false;
    bool refused_ = false;  // a block was refused: the stream is of no further use
    std::int32_t silenceFrames_ = 0;
    std::int32_t lowRateFrames_ = 0;
};

}  // namespace quen
