// On a little-endian machine the samples are already the file's bytes: they go out
// behind the header without a second copy of a long recording.
#include "quen/WavOutput.h"

#include <array>
#include <bit>

#include "quen/FailureText.h"
#include "quen/OutputFile.h"
#include "wav/WavWriter.h"

namespace quen::tool {
namespace {

// Hands the file's bytes, in pieces, to `write`.
template <typename Write>
std::string writeWav(const std::vector<std::int16_t>& samples, Write write) {
    const std::vector<std::uint8_t> header = wavHeader(samples.size());
    if (header.empty()) {
        return "too much audio for a WAV file";
    }
    if constexpr (std::endian::native == std::endian::little) {
        const std::array<ByteSpan, 2> pieces{
            ByteSpan(header),
            ByteSpan(reinterpret_cast<const std::uint8_t*>(samples.data()), 2 * samples.size())};
        return write(std::span<const ByteSpan>(pieces));
    } else {
        const std::vector<std::uint8_t> image = wavImage(samples);
        const std::array<ByteSpan, 1> pieces{ByteSpan(image)};
        return write(std::span<const ByteSpan>(pieces));
    }
}

}  // namespace

std::string writeWavFile(const std::string& path, const std::vector<std::int16_t>& samples) {
    return writeWav(samples, [&path](std::span<const ByteSpan> pieces) {
        const Result<void> written = replaceFileAtomically(path, pieces);
        return written ? std::string() : "cannot write: " + describeFailure(written.failure());
    });
}

std::string writeWavOutput(const std::string& path, const std::vector<std::int16_t>& samples,
                           bool overwrite) {
    return writeWav(samples, [&](std::span<const ByteSpan> pieces) {
        return writeOutputFile(path, pieces, overwrite);
    });
}

}  // namespace quen::tool
