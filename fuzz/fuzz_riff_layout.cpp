// Any bytes given to the RIFF layout reader that `quen check` describes recordings
// with: no read outside the buffer, no endless walk, and every chunk it lists starts
// inside the file in increasing order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "wav/RiffLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto layout = quen::readRiffLayout(std::span(data, size));
    if (!layout) {
        return 0;
    }
    std::uint64_t previous = 0;
    for (const quen::RiffChunk& chunk : layout->chunks) {
        if (chunk.offset + 8 > size || chunk.offset < previous + (previous == 0 ? 12 : 8)) {
            std::abort();
        }
        previous = chunk.offset;
    }
    if (layout->chunks.size() > quen::MAX_LISTED_CHUNKS ||
        (layout->dataLength && *layout->dataLength > size)) {
        std::abort();
    }
    return 0;
}
