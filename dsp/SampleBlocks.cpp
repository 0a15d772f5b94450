// A block is allocated whole when it is started, so it never moves.
#include "dsp/SampleBlocks.h"

#include <algorithm>

namespace quen {

void SampleBlocks::append(std::span<const float> samples) {
    while (!samples.empty()) {
        if (blocks_.empty() || blocks_.back().size() == BLOCK_SAMPLES) {
            blocks_.emplace_back().reserve(BLOCK_SAMPLES);
        }
        std::vector<float>& block = blocks_.back();
        const std::size_t taken = std::min(samples.size(), BLOCK_SAMPLES - block.size());
        block.insert(block.end(), samples.begin(), samples.begin() + taken);
        samples = samples.subspan(taken);
        size_ += taken;
    }
}

}  // namespace quen
