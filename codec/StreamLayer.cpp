// Record and header checks of the stream layer, and the table of open streams, each
// with the codec state of its own module encoder.
#include "codec/StreamLayer.h"

#include <utility>

#include "codec/CodecModule.h"
#include "codec/WaveFormatRecord.h"

namespace quen {
namespace {

constexpr std::uint16_t G723_TAG = 0x0042;
constexpr std::uint16_t G723_EXTRA_SIZE = 10;
// The configuration word this codec provides; the eight bytes after it are not read.
constexpr std::uint16_t G723_CONFIGURATION = 2;

bool isConvertiblePcm(const WaveFormat& format, std::span<const std::uint8_t> record) {
    return format.tag == FORMAT_TAG_PCM && format.channels == 1 &&
           format.sampleRate == SPEECH_SAMPLE_RATE && format.bitsPerSample == 16 &&
           format.blockAlign == 2 && format.byteRate == 2 * SPEECH_SAMPLE_RATE &&
           record.size() == WAVE_FORMAT_BYTES;
}

// 6.3 kbit/s: one 24-byte block every 30 ms, 800 bytes a second.
bool isConvertibleG723(const WaveFormat& format, std::span<const std::uint8_t> record) {
    return format.tag == G723_TAG && format.channels == 1 &&
           format.sampleRate == SPEECH_SAMPLE_RATE &&
           format.byteRate == QUEN_G723_FRAME_BYTES * 1000 / 30 &&
           format.blockAlign == QUEN_G723_FRAME_BYTES && format.bitsPerSample == 0 &&
           record.size() == WAVE_FORMAT_BYTES + G723_EXTRA_SIZE &&
           getLittleEndian16(record.subspan(WAVE_FORMAT_BYTES)) == G723_CONFIGURATION;
}

// One whole PCM block in, room for one whole frame out.
bool isWellFormed(const StreamHeader& header) {
    return header.size == STREAM_HEADER_SIZE && header.source != nullptr &&
           header.sourceLength == QUEN_G723_BLOCK_BYTES && header.destination != nullptr &&
           header.destinationLength >= QUEN_G723_FRAME_BYTES;
}

}  // namespace

StreamLayer::StreamLayer(std::vector<std::filesystem::path> moduleCandidates)
    : moduleCandidates_(std::move(moduleCandidates)) {}

StreamLayer& StreamLayer::system() {
    static StreamLayer layer(codecModuleCandidates());
    return layer;
}

std::int32_t StreamLayer::openStream(StreamHandle& stream, std::span<const std::uint8_t> source,
                                     std::span<const std::uint8_t> destination) {
    const std::optional<WaveFormat> from = readFormatRecord(source);
    const std::optional<WaveFormat> to = readFormatRecord(destination);
    if (!from || !to) {
        return ACM_INVALID_PARAMETER;
    }
    if (!isConvertiblePcm(*from, source) || !isConvertibleG723(*to, destination)) {
        return ACM_NOT_POSSIBLE;
    }
    // Without the module, or with a codec that will not open, this machine has no
    // G.723.1 codec: the pair is not convertible here.
    const QuenG723Module* codec = module();
    if (codec == nullptr) {
        return ACM_NOT_POSSIBLE;
    }
    EncoderState encoder(codec->create(), codec->destroy);
    if (encoder == nullptr) {
        return ACM_NOT_POSSIBLE;
    }
    const std::lock_guard lock(mutex_);
    stream = ++lastHandle_;
    streams_.emplace(stream, std::move(encoder));
    return ACM_OK;
}

std::int32_t StreamLayer::prepareHeader(StreamHandle stream, StreamHeader& header) {
    if (encoderOf(stream) == nullptr) {
        return ACM_INVALID_HANDLE;
    }
    if (!isWellFormed(header)) {
        return ACM_INVALID_PARAMETER;
    }
    header.status |= STREAM_HEADER_PREPARED;
    return ACM_OK;
}

std::int32_t StreamLayer::convert(StreamHandle stream, StreamHeader& header) {
    // The stream's codec state is its owner's alone; only the table is shared.
    QuenG723Encoder* encoder = encoderOf(stream);
    if (encoder == nullptr) {
        return ACM_INVALID_HANDLE;
    }
    if ((header.status & STREAM_HEADER_PREPARED) == 0) {
        return ACM_UNPREPARED;
    }
    // A prepared header may still have been changed since.
    if (!isWellFormed(header)) {
        return ACM_INVALID_PARAMETER;
    }
    if (module_->encode(encoder, header.source, header.destination) != 0) {
        return ACM_ERROR;
    }
    header.sourceUsed = QUEN_G723_BLOCK_BYTES;
    header.destinationUsed = QUEN_G723_FRAME_BYTES;
    header.status |= STREAM_HEADER_DONE;
    return ACM_OK;
}

std::int32_t StreamLayer::closeStream(StreamHandle stream) {
    const std::lock_guard lock(mutex_);
    const auto found = streams_.find(stream);
    if (found == streams_.end()) {
        return ACM_INVALID_HANDLE;
    }
    streams_.erase(found);
    return ACM_OK;
}

const QuenG723Module* StreamLayer::module() {
    std::call_once(moduleLookedUp_, [this] { module_ = loadCodecModule(moduleCandidates_); });
    return module_;
}

QuenG723Encoder* StreamLayer::encoderOf(StreamHandle stream) {
    const std::lock_guard lock(mutex_);
    const auto found = streams_.find(stream);
    return found == streams_.end() ? nullptr : found->second.get();
}

}  // namespace quen
