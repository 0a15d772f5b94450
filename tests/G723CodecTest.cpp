// G.723.1 through the program's own path (G723AcmEncoder on the process's stream layer
// and codec module) against libavcodec called directly, in process.
#include <gtest/gtest.h>

#include "audio/G723AcmEncoder.h"
#include "tests/G723Reference.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

TEST(G723Codec, EncoderFramesAreLibavcodecsOwnForTheWholeBlocks) {
    // 100 whole blocks and 100 samples more, which are dropped.
    const std::vector<std::int16_t> speech = speechLikeSignal(240 * 100 + 100);
    const Bytes pcm = sampleBytes(speech);
    Bytes frames(24 * 100);
    G723AcmEncoder encoder;
    EXPECT_EQ(encoder.encodeAll(pcm.data(), static_cast<std::uint32_t>(pcm.size()), frames.data(),
                                static_cast<std::uint32_t>(pcm.size() / 480)),
              2400);
    EXPECT_FALSE(encoder.failed());
    EXPECT_EQ(frames, referenceFrames(speech));
}

}  // namespace
}  // namespace quen::test
