// Cuts a compressed stream into the packets of a data file as it comes: at most 128
// frames each, behind one header byte holding the packet's frame count minus one.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "codec/Codec.h"
#include "platform/ByteSpan.h"

namespace quen {

class Packetiser {
  public:
    // Receives each packet as two pieces: its header byte and its payload.
    using PacketSink = std::function<void(std::span<const ByteSpan>)>;

    // Packets count the frames of `codec`.
    Packetiser(Codec codec, PacketSink sink);

    // Adds the next compressed bytes; every packet they complete goes to the sink.
    void add(ByteSpan compressed);
    // Sends the last packet, if any bytes wait; a trailing partial frame counts as a
    // frame.
    void finish();

    // The bytes sent to the sink so far, header bytes included.
    std::uint64_t size() const { return size_; }

  private:
    void send();

    std::size_t frameBytes_;
    std::vector<std::uint8_t> payload_;
    std::size_t filled_ = 0;
    PacketSink sink_;
    std::uint64_t size_ = 0;
};

// The length of the packet stream cut from `compressedLength` bytes.
std::uint64_t packetStreamBytes(std::uint64_t compressedLength, Codec codec);

}  // namespace quen
