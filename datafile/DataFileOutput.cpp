// The preamble's bytes around the packets the packetiser writes through, gathered into
// large writes.
#include "datafile/DataFileOutput.h"

#include <array>
#include <vector>

#include "datafile/DataFileLayout.h"
#include "platform/ByteOrder.h"
#include "platform/TextConversion.h"

namespace quen {

// The temporary file and the bytes gathered for its next write: fewer system calls.
struct DataFileOutput::File {
    static constexpr std::size_t WRITE_BYTES = 64 * 1024;

    explicit File(const std::u16string& outFile)
        : replacement(toNarrow(outFile)), pending(PREAMBLE_BYTES) {
        pending.reserve(2 * WRITE_BYTES);
    }

    void write(std::span<const ByteSpan> pieces) {
        for (const ByteSpan piece : pieces) {
            pending.insert(pending.end(), piece.begin(), piece.end());
        }
        if (pending.size() >= WRITE_BYTES) {
            flush();
        }
    }

    void flush() {
        const std::array<ByteSpan, 1> pieces{ByteSpan(pending)};
        replacement.append(pieces);
        pending.clear();
    }

    FileReplacement replacement;
    // Begins with the preamble's place, which finish() fills in.
    std::vector<std::uint8_t> pending;
};

DataFileOutput::DataFileOutput(const std::u16string& outFile, Codec codec)
    : file_(std::make_unique<File>(outFile)) {
    packets_ = std::make_unique<Packetiser>(
        codec, [file = file_.get()](std::span<const ByteSpan> pieces) { file->write(pieces); });
}

DataFileOutput::DataFileOutput(DataFileOutput&&) noexcept = default;
DataFileOutput& DataFileOutput::operator=(DataFileOutput&&) noexcept = default;
DataFileOutput::~DataFileOutput() = default;

void DataFileOutput::add(ByteSpan compressed) {
    packets_->add(compressed);
}

void DataFileOutput::finish(std::uint8_t flashType, const DataFileHeader& header) {
    packets_->finish();
    file_->flush();
    const auto totalLength = static_cast<std::uint32_t>(PREAMBLE_BYTES + packets_->size());
    std::array<std::uint8_t, PREAMBLE_BYTES> preamble{};
    setBigEndian32(std::span(preamble).subspan(TOTAL_LENGTH_OFFSET), totalLength);
    preamble[FLASH_TYPE_OFFSET] = flashType;
    preamble[HEADER_LENGTH_OFFSET] = DataFileHeader::SIZE;
    std::copy(header.bytes().begin(), header.bytes().end(), preamble.begin() + HEADER_OFFSET);
    file_->replacement.overwrite(TOTAL_LENGTH_OFFSET, preamble);
}

Result<void> DataFileOutput::commit() {
    return file_->replacement.commit();
}

}  // namespace quen
