// The G.723.1 encoding loop over the codec module, with the four lines the codec's
// failures write.
#include "codec/G723Stream.h"

#include <string>
#include <string_view>

#include "codec/G723Frames.h"
#include "platform/TextConversion.h"

namespace quen {
namespace {

// The codec's failure lines, each with its error number in place of "%d". Callers
// parse them, so they stay as they have always been written.
constexpr std::u16string_view NOT_OPENED =
    u"Could not open Codec for Windows ACM stream.  Error code = %d.";
constexpr std::u16string_view BLOCK_REFUSED =
    u"Windows ACM Codec reported error in Stream Conversion.  Error code = %d.";
constexpr std::u16string_view SILENCE_FRAMES = u"Codec generated %d Silence Suppression packets.";
constexpr std::u16string_view LOW_RATE_FRAMES = u"Codec generated %d packets at 5.3 Kbps.";
// Their error numbers: no codec here converts to G.723.1 ("not possible"), and the
// codec failed on a block.
constexpr std::int64_t NOT_POSSIBLE = 512;
constexpr std::int64_t CODEC_ERROR = 1;

constexpr std::size_t BLOCK_BYTES = QUEN_G723_BLOCK_BYTES;

// One log line: `format` with its "%d" replaced by `value` in decimal.
void logWithNumber(LogSink& log, std::u16string_view format, std::int64_t value) {
    const std::size_t at = format.find(u"%d");
    std::u16string line(format.substr(0, at));
    line += toWide(std::to_string(value));
    line += format.substr(at + 2);
    log.write(std::u16string_view(line));
}

}  // namespace

G723Stream::G723Stream(LogSink& log, const QuenG723Module* module) : log_(log), module_(module) {
    if (module_ != nullptr) {
        encoder_ = EncoderState(module_->createEncoder(), module_->destroyEncoder);
    }
    if (encoder_ == nullptr) {
        failed_ = true;
        logWithNumber(log_, NOT_OPENED, NOT_POSSIBLE);
    }
}

std::size_t G723Stream::encode(std::span<const std::uint8_t> pcm, std::span<std::uint8_t> out) {
    std::size_t total = 0;
    for (std::size_t at = 0; encoder_ != nullptr && pcm.size() - at >= BLOCK_BYTES;
         at += BLOCK_BYTES) {
        std::uint8_t* frame = out.data() + total;
        if (module_->encode(encoder_.get(), pcm.data() + at, frame) != 0) {
            logWithNumber(log_, BLOCK_REFUSED, CODEC_ERROR);
            failed_ = true;
            encoder_.reset();
            break;
        }
        // The size the codec reports is not consulted: the kind tells it.
        const std::uint8_t rate = g723RateBits(frame[0]);
        silenceFrames_ += rate == G723_SILENCE ? 1 : 0;
        lowRateFrames_ += rate == G723_LOW_RATE ? 1 : 0;
        total += g723FrameBytes(frame[0]);
    }
    return total;
}

bool G723Stream::finish() {
    // Only one kind is told, silence first.
    if (silenceFrames_ != 0) {
        logWithNumber(log_, SILENCE_FRAMES, silenceFrames_);
        failed_ = true;
    } else if (lowRateFrames_ != 0) {
        logWithNumber(log_, LOW_RATE_FRAMES, lowRateFrames_);
        failed_ = true;
    }
    encoder_.reset();
    return !failed_;
}

}  // namespace quen
