// Test inputs that only a real encoder makes: compressed audio files (MP3, AAC in
// M4A, Vorbis in Ogg, FLAC) written through libavcodec's encoders and libavformat's
// muxers, so the tests need no ffmpeg command.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quen::test {

// `samples` interleaved, full scale +-1.0, encoded by `encoder` (e.g. "libmp3lame")
// into the container `muxer` (e.g. "mp3"). Fails the current test when either is
// missing or refuses.
void writeEncodedAudio(const std::filesystem::path& path, const std::vector<float>& samples,
                       int sampleRate, int channels, const std::string& encoder,
                       const std::string& muxer);

// The MP3 the tests use most.
inline void writeMp3(const std::filesystem::path& path, const std::vector<float>& samples,
                     int sampleRate, int channels) {
    writeEncodedAudio(path, samples, sampleRate, channels, "libmp3lame", "mp3");
}

}  // namespace quen::test
