// The RIFF header checks, and the file reads behind the chunk walk and the sample
// blocks.
#include "wav/WavReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "platform/TextConversion.h"

namespace quen {
namespace {

constexpr std::size_t RIFF_HEADER_BYTES = 12;
// The RIFF size counts the form type, so anything smaller has no body at all.
constexpr std::uint32_t MIN_RIFF_SIZE = 4;
constexpr std::uint32_t MAX_RIFF_SIZE = std::numeric_limits<std::int32_t>::max();

bool hasIdAt(std::span<const std::uint8_t> bytes, std::size_t offset, const char* id) {
    return bytes.size() >= offset + 4 && std::memcmp(bytes.data() + offset, id, 4) == 0;
}

}  // namespace

WavReader::WavReader(const std::u16string& wavFile) : file_(toNarrow(wavFile)) {}

RecordingFailure WavReader::unreadable() const {
    return file_.failure()->category;
}

Result<WavReader, RecordingFailure> WavReader::open(const std::u16string& wavFile) {
    WavReader reader(wavFile);
    InputFile& file = reader.file_;
    std::array<std::uint8_t, RIFF_HEADER_BYTES> header{};
    const auto present =
        std::span(header).first(std::min<std::uint64_t>(file.size(), header.size()));
    if (file.failure() || !file.readAt(0, present)) {
        return reader.unreadable();
    }
    if (!hasIdAt(present, 0, "RIFF") || !hasIdAt(present, 8, "WAVE")) {
        return RecordingFailure(RecordingRefusal::NotRiffWave);
    }
    const std::uint32_t riffSize = getLittleEndian32(std::span(header).subspan<4, 4>());
    // A size of 2^31 or more was always refused; one below 4 leaves no body.
    if (riffSize > file.size() - 8 || riffSize > MAX_RIFF_SIZE || riffSize < MIN_RIFF_SIZE) {
        return RecordingFailure(RecordingRefusal::RiffLength);
    }
    reader.bodyLength_ = riffSize - 4;
    return reader;
}

Result<void, RecordingFailure> WavReader::findSamples() {
    const auto readBody = [this](std::uint64_t offset,
                                 std::span<std::uint8_t> out) -> Result<void, FailureCategory> {
        if (!file_.readAt(RIFF_HEADER_BYTES + offset, out)) {
            return file_.failure()->category;
        }
        return {};
    };
    const auto location = locateWaveData(readBody, file_.size() - RIFF_HEADER_BYTES, bodyLength_);
    if (!location) {
        return location.failure();
    }
    location_ = *location;
    return {};
}

Result<std::span<const std::uint8_t>, RecordingFailure> WavReader::readSamples(
    std::span<std::uint8_t> buffer) {
    const auto block =
        buffer.first(std::min<std::uint64_t>(buffer.size(), location_.length - read_));
    if (!file_.readAt(RIFF_HEADER_BYTES + location_.offset + read_, block)) {
        return unreadable();
    }
    read_ += block.size();
    return std::span<const std::uint8_t>(block);
}

}  // namespace quen
