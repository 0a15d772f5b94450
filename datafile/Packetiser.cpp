// Packet geometry by codec, one packet's payload gathered at a time.
#include "datafile/Packetiser.h"

#include <algorithm>
#include <array>

#include "datafile/DataFileLayout.h"

namespace quen {

Packetiser::Packetiser(Codec codec, PacketSink sink)
    : frameBytes_(codecFacts(codec).frameBytes),
      payload_(FRAMES_PER_PACKET * frameBytes_),
      sink_(std::move(sink)) {}

void Packetiser::add(ByteSpan compressed) {
    while (!compressed.empty()) {
        const std::size_t taken = std::min(compressed.size(), payload_.size() - filled_);
        std::copy_n(compressed.begin(), taken,
                    payload_.begin() + static_cast<std::ptrdiff_t>(filled_));
        filled_ += taken;
        compressed = compressed.subspan(taken);
        if (filled_ == payload_.size()) {
            send();
        }
    }
}

void Packetiser::finish() {
    if (filled_ > 0) {
        send();
    }
}

void Packetiser::send() {
    const std::size_t frames = (filled_ + frameBytes_ - 1) / frameBytes_;
    const std::array<std::uint8_t, 1> header{static_cast<std::uint8_t>(frames - 1)};
    const std::array<ByteSpan, 2> pieces{ByteSpan(header), ByteSpan(payload_).first(filled_)};
    sink_(pieces);
    size_ += 1 + filled_;
    filled_ = 0;
}

std::uint64_t packetStreamBytes(std::uint64_t compressedLength, Codec codec) {
    const std::uint64_t payload = FRAMES_PER_PACKET * codecFacts(codec).frameBytes;
    return compressedLength + (compressedLength + payload - 1) / payload;
}

}  // namespace quen
