// G.723.1 through the program's own path (G723AcmEncoder on the process's stream layer
// and codec module) against libavcodec called directly.
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

TEST(G723Codec, DecodedFramesReproduceTheSpeech) {
    const std::vector<std::int16_t> speech = speechLikeSignal(8000 * 3);
    const Bytes pcm = sampleBytes(speech);
    Bytes frames(24 * 100);
    G723AcmEncoder encoder;
    ASSERT_EQ(
        encoder.encodeAll(pcm.data(), static_cast<std::uint32_t>(pcm.size()), frames.data(), 100),
        2400);
    // G.723.1 is an analysis-by-synthesis coder: the waveform comes back only roughly.
    // On this vowel libavcodec reaches a correlation of 0.98 and 14 dB SNR, while frames
    // swapped in pairs, shifted by one, encoded without carried state or from
    // byte-swapped samples all stay below 0.4 and 0 dB; 0.9 and 8 dB leave room for
    // codec versions and still catch any of those. The decoder lags by the encoder's
    // 7.5 ms look-ahead, 60 samples; the first 300 ms let it settle.
    const Reproduction match = compareDecoded(speech, decodeFrames(frames), 2400);
    EXPECT_EQ(match.delay, 60u);
    EXPECT_GT(match.correlation, 0.9);
    EXPECT_GT(match.snrDb, 8.0);
}

}  // namespace
}  // namespace quen::test
