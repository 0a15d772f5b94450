// G.711 has no frame faults: every byte is a sample's code, so a part-frame is only a
// shorter frame. A G.723.1 frame is whole and at the full rate, or it is a fault.
#include "codec/FrameFaults.h"

#include "codec/G723Frames.h"

namespace quen {
namespace {

std::string g723FrameFault(std::span<const std::uint8_t> frame) {
    if (frame.size() < QUEN_G723_FRAME_BYTES) {
        return "G.723.1 stream ends in a part-frame of " + std::to_string(frame.size()) +
               (frame.size() == 1 ? " byte" : " bytes");
    }
    if (const std::uint8_t rate = g723RateBits(frame[0]); rate != G723_FULL_RATE) {
        return "G.723.1 frame is not a 6.3 kbit/s frame (rate bits " + std::to_string(rate) + ")";
    }
    return {};
}

}  // namespace

std::string frameFault(Codec codec, std::span<const std::uint8_t> frame) {
    switch (codec) {
        case Codec::ALaw:
        case Codec::MuLaw:
            return {};
        case Codec::G723:
            return g723FrameFault(frame);
    }
    return {};
}

}  // namespace quen
