// The G.723.1 conversion loop over the compression manager, with the five messages the
// codec's failures produce.
#include "codec/G723AcmEncoder.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "codec/CodecCodes.h"
#include "codec/StreamLayer.h"
#include "codec/WaveFormatRecord.h"
#include "platform/TextConversion.h"

namespace quen {
namespace {

constexpr std::uint32_t SILENCE_FRAME_BYTES = 4;
constexpr std::uint32_t LOW_RATE_FRAME_BYTES = 20;
constexpr std::uint32_t BLOCK_SAMPLES = G723_BLOCK_BYTES / 2;

// 8 kHz 16-bit mono PCM, with the alignment and rate derived as for any PCM layout.
std::vector<std::uint8_t> pcmRecord(std::uint16_t channels, std::uint32_t sampleRate,
                                    std::uint16_t bitsPerSample) {
    WaveFormat format;
    format.tag = FORMAT_TAG_PCM;
    format.channels = channels;
    format.sampleRate = sampleRate;
    format.blockAlign = static_cast<std::uint16_t>((bitsPerSample + 7) * channels / 8);
    format.byteRate = format.blockAlign * sampleRate;
    format.bitsPerSample = bitsPerSample;
    return formatRecord(format);
}

// 6.3 kbit/s: a 24-byte block every 30 ms, 800 bytes a second. The extra bytes are the
// configuration word 2 and eight codec-specific bytes, all zero.
std::vector<std::uint8_t> g723Record() {
    constexpr std::array<std::uint8_t, 10> extra = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const WaveFormat format{0x0042, 1, SPEECH_SAMPLE_RATE, 800, G723_FRAME_BYTES, 0};
    return formatRecord(format, extra);
}

// The frame size the codec wrote, from the two low bits of its first byte.
std::uint32_t frameSize(std::uint8_t firstByte) {
    switch (firstByte & 0x3) {
        case 0x1:
            return LOW_RATE_FRAME_BYTES;
        case 0x2:
            return SILENCE_FRAME_BYTES;
        default:
            return G723_FRAME_BYTES;
    }
}

// One log line: `format` with its "%d" replaced by `value` in decimal.
void logWithNumber(LogSink& log, std::u16string_view format, std::int64_t value) {
    const std::size_t at = format.find(u"%d");
    std::u16string line(format.substr(0, at));
    line += toWide(std::to_string(value));
    line += format.substr(at + 2);
    log.write(std::u16string_view(line));
}

}  // namespace

G723AcmEncoder::G723AcmEncoder(LogSink& log) : G723AcmEncoder(log, StreamLayer::system()) {}

G723AcmEncoder::G723AcmEncoder(LogSink& log, CompressionManager& manager)
    : log_(log), manager_(manager) {}

G723AcmEncoder::~G723AcmEncoder() {
    close();
}

bool G723AcmEncoder::open() {
    failed_ = false;
    refused_ = false;
    silenceFrames_ = 0;
    lowRateFrames_ = 0;
    const std::int32_t result =
        manager_.openStream(stream_, pcmRecord(1, SPEECH_SAMPLE_RATE, 16), g723Record());
    if (result != ACM_OK) {
        stream_ = NO_STREAM;
        failed_ = true;
        logWithNumber(log_, u"Could not open Codec for Windows ACM stream.  Error code = %d.",
                      result);
        return false;
    }
    return true;
}

bool G723AcmEncoder::encodeFrame(const std::uint8_t* pcm, std::uint32_t sampleCount,
                                 std::uint8_t* out, std::uint32_t& frameBytes) {
    if (stream_ == NO_STREAM) {
        return false;
    }
    StreamHeader header;
    header.size = STREAM_HEADER_SIZE;
    header.source = pcm;
    header.sourceLength = 2 * sampleCount;
    header.destination = out;
    header.destinationLength = frameBytes;
    std::int32_t result = manager_.prepareHeader(stream_, header);
    if (result != ACM_OK) {
        logWithNumber(log_, u"Could not prepare header for Windows ACM Codec.  Error code = %d.",
                      result);
        return false;
    }
    result = manager_.convert(stream_, header);
    if (result != ACM_OK) {
        logWithNumber(log_,
                      u"Windows ACM Codec reported error in Stream Conversion.  Error code = %d.",
                      result);
        return false;
    }
    frameBytes = frameSize(out[0]);
    return true;
}

std::uint32_t G723AcmEncoder::encodeBlocks(const std::uint8_t* pcm, std::uint32_t blockCount,
                                           std::uint8_t* out) {
    std::uint32_t total = 0;
    for (std::uint32_t k = 0; k < blockCount && stream_ != NO_STREAM && !refused_; ++k) {
        std::uint32_t frameBytes = G723_FRAME_BYTES;
        if (!encodeFrame(pcm, BLOCK_SAMPLES, out + total, frameBytes)) {
            failed_ = true;
            refused_ = true;
            break;
        }
        if (frameBytes == SILENCE_FRAME_BYTES) {
            ++silenceFrames_;
        } else if (frameBytes == LOW_RATE_FRAME_BYTES) {
            ++lowRateFrames_;
        }
        total += frameBytes;
        pcm += G723_BLOCK_BYTES;
    }
    return total;
}

bool G723AcmEncoder::finish() {
    if (silenceFrames_ != 0) {
        logWithNumber(log_, u"Codec generated %d Silence Suppression packets.", silenceFrames_);
        failed_ = true;
    } else if (lowRateFrames_ != 0) {
        logWithNumber(log_, u"Codec generated %d packets at 5.3 Kbps.", lowRateFrames_);
        failed_ = true;
    }
    close();
    return !failed_;
}

std::int32_t G723AcmEncoder::encodeAll(const std::uint8_t* pcm, std::uint8_t* out,
                                       std::uint32_t frameCount) {
    if (!open()) {
        return 0;
    }
    const auto total = static_cast<std::int32_t>(encodeBlocks(pcm, frameCount, out));
    finish();
    return silenceFrames_ != 0 || lowRateFrames_ != 0 ? 0 : total;
}

void G723AcmEncoder::close() {
    if (stream_ != NO_STREAM) {
        manager_.closeStream(stream_);
        stream_ = NO_STREAM;
    }
}

}  // namespace quen
