// Decoded samples kept in blocks of a fixed size. A long recording grows without the
// copies of one growing array (which need the old and the new array at once), and the
// blocks are released one by one as they are turned into their final form, so the
// float samples cost their own size and no more.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace quen {

class SampleBlocks {
  public:
    // 4 MiB of floats: large enough that walking the blocks costs nothing, small
    // against any limit.
    static constexpr std::size_t BLOCK_SAMPLES = std::size_t{1} << 20;

    void append(std::span<const float> samples);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // The samples in order, one span a block.
    template <typename Visit>
    void forEach(Visit&& visit) const {
        for (const std::vector<float>& block : blocks_) {
            visit(std::span<const float>(block));
        }
    }

    // Like forEach, with leave to change the samples in place.
    template <typename Visit>
    void modify(Visit&& visit) {
        for (std::vector<float>& block : blocks_) {
            visit(std::span<float>(block));
        }
    }

    // Like forEach, but each block is freed as soon as it has been visited; empty
    // afterwards.
    template <typename Visit>
    void consume(Visit&& visit) {
        for (std::vector<float>& block : blocks_) {
            visit(std::span<const float>(block));
            std::vector<float>().swap(block);
        }
        blocks_.clear();
        size_ = 0;
    }

  private:
    std::vector<std::vector<float>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace quen
