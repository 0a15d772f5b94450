// Test inputs that only a real encoder makes: an MP3 file written through libavcodec's
// LAME encoder and libavformat's muxer, so the tests need no ffmpeg command.
#pragma once

#include <filesystem>
#include <vector>

namespace quen::test {

// `samples` interleaved, full scale +-1.0. Fails the current test when the encoder
// is missing or refuses.
void writeMp3(const std::filesystem::path& path, const std::vector<float>& samples, int sampleRate,
              int channels);

}  // namespace quen::test
