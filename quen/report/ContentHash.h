// A fast 64-bit hash of bytes given piece by piece, with their count: the key under
// which a page stores each distinct audio once. Not made to resist a chosen collision:
// audio whose keys match is compared byte for byte before it is shared.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/ByteSpan.h"

namespace quen::tool {

class ContentHash {
  public:
    // The same bytes give the same key however they were cut into pieces.
    void append(ByteSpan bytes) {
        std::size_t at = 0;
        for (; at < bytes.size() && pendingBytes_ != 0; ++at) {
            addByte(bytes[at]);
        }
        for (; at + 8 <= bytes.size(); at += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + at, 8);
            mix(word);
        }
        for (; at < bytes.size(); ++at) {
            addByte(bytes[at]);
        }
        size_ += bytes.size();
    }

    // The hash and the number of bytes.
    std::pair<std::uint64_t, std::uint64_t> key() const {
        ContentHash last = *this;
        last.mix(pending_ ^ std::uint64_t{pendingBytes_} << 60);
        return {last.state_, size_};
    }

  private:
    void addByte(std::uint8_t byte) {
        pending_ |= std::uint64_t{byte} << (8 * pendingBytes_);
        if (++pendingBytes_ == 8) {
            mix(pending_);
            pending_ = 0;
            pendingBytes_ = 0;
        }
    }

    void mix(std::uint64_t word) {
        state_ = (state_ ^ word) * 0x9E3779B97F4A7C15ULL;
        state_ ^= state_ >> 29;
    }

    std::uint64_t state_ = 0xCBF29CE484222325ULL;
    std::uint64_t pending_ = 0;
    unsigned pendingBytes_ = 0;
    std::uint64_t size_ = 0;
};

}  // namespace quen::tool
