// Each record is a kind byte and its fields; a string is its length and its bytes.
#include "media/DecodeRecords.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/FileHandle.h"

namespace quen {
namespace {

// Names and library texts are short; a longer one is no record of ours.
constexpr std::uint32_t MAX_TEXT_BYTES = 4096;
constexpr std::size_t READ_BYTES = 65536;

}  // namespace

void DecodeRecordWriter::put(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    record_.insert(record_.end(), bytes, bytes + size);
}

void DecodeRecordWriter::putString(const std::string& text) {
    const auto size =
        static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), MAX_TEXT_BYTES));
    put(&size, sizeof size);
    put(text.data(), size);
}

bool DecodeRecordWriter::send() {
    const bool sent = writeAll(fd_, record_.data(), record_.size());
    record_.clear();
    sent_ = std::chrono::steady_clock::now();
    return sent;
}

bool DecodeRecordWriter::sendWhenDue() {
    if (record_.size() < FLUSH_BYTES && std::chrono::steady_clock::now() - sent_ < FLUSH_INTERVAL) {
        return true;
    }
    return send();
}

bool DecodeRecordWriter::format(const MediaFormat& format) {
    record_.push_back(static_cast<std::uint8_t>(DecodeRecordKind::Format));
    putString(format.container);
    putString(format.containerLong);
    putString(format.codec);
    putString(format.codecLong);
    put(&format.sampleRate, sizeof format.sampleRate);
    put(&format.channels, sizeof format.channels);
    put(&format.bitsPerSample, sizeof format.bitsPerSample);
    put(&format.durationSeconds, sizeof format.durationSeconds);
    return send();
}

bool DecodeRecordWriter::samples(std::span<const float> samples) {
    while (!samples.empty()) {
        const std::span<const float> part =
            samples.first(std::min(samples.size(), MAX_RECORD_SAMPLES));
        const auto count = static_cast<std::uint32_t>(part.size());
        record_.push_back(static_cast<std::uint8_t>(DecodeRecordKind::Samples));
        put(&count, sizeof count);
        put(part.data(), part.size_bytes());
        if (!sendWhenDue()) {
            return false;
        }
        samples = samples.subspan(part.size());
    }
    return true;
}

bool DecodeRecordWriter::progress(double secondsRead, double secondsTotal) {
    record_.push_back(static_cast<std::uint8_t>(DecodeRecordKind::Progress));
    put(&secondsRead, sizeof secondsRead);
    put(&secondsTotal, sizeof secondsTotal);
    return sendWhenDue();
}

bool DecodeRecordWriter::end(const DecodeEnd& end) {
    record_.push_back(static_cast<std::uint8_t>(DecodeRecordKind::End));
    const std::uint8_t more = end.moreFollows ? 1 : 0;
    const std::uint64_t runs = end.sourceClipping.runs;
    const std::uint64_t samples = end.sourceClipping.samples;
    const std::uint64_t fullScale = end.sourceClipping.fullScaleSamples;
    put(&more, sizeof more);
    put(&runs, sizeof runs);
    put(&samples, sizeof samples);
    put(&fullScale, sizeof fullScale);
    const std::int32_t louder = end.channels.louderChannel;
    put(&louder, sizeof louder);
    put(&end.channels.louderPower, sizeof end.channels.louderPower);
    put(&end.channels.mixPower, sizeof end.channels.mixPower);
    put(&end.sourcePeaks.peak, sizeof end.sourcePeaks.peak);
    put(&end.sourcePeaks.truePeak, sizeof end.sourcePeaks.truePeak);
    return send();
}

bool DecodeRecordWriter::failed(const Failure& failure) {
    record_.push_back(static_cast<std::uint8_t>(DecodeRecordKind::Failed));
    const auto category = static_cast<std::uint32_t>(failure.category);
    const auto reason = static_cast<std::uint8_t>(failure.reason);
    put(&category, sizeof category);
    put(&reason, sizeof reason);
    putString(failure.text);
    return send();
}

bool DecodeRecordReader::fill() {
    std::uint8_t chunk[READ_BYTES];
    for (;;) {
        struct pollfd ready {
            fd_, POLLIN, 0
        };
        const int polled = ::poll(&ready, 1, silenceSeconds_ * 1000);
        if (polled == 0) {
            silent_ = true;
            return false;
        }
        if (polled < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        const ssize_t got = ::read(fd_, chunk, sizeof chunk);
        if (got > 0) {
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
            used_ = 0;
            buffer_.insert(buffer_.end(), chunk, chunk + got);
            return true;
        }
        if (got == 0 || errno != EINTR) {
            return false;
        }
    }
}

bool DecodeRecordReader::take(void* data, std::size_t size) {
    while (buffer_.size() - used_ < size) {
        if (!fill()) {
            return false;
        }
    }
    std::memcpy(data, buffer_.data() + used_, size);
    used_ += size;
    return true;
}

bool DecodeRecordReader::takeString(std::string& text) {
    std::uint32_t size = 0;
    if (!take(&size, sizeof size)) {
        return false;
    }
    if (size > MAX_TEXT_BYTES) {
        malformed_ = true;
        return false;
    }
    text.resize(size);
    return take(text.data(), size);
}

bool DecodeRecordReader::next(DecodeRecord& record) {
    std::uint8_t kind = 0;
    if (!take(&kind, sizeof kind)) {
        return false;
    }
    record.kind = static_cast<DecodeRecordKind>(kind);
    // Anything cut short within a record is as wrong as an unknown kind.
    bool complete = false;
    switch (record.kind) {
        case DecodeRecordKind::Format: {
            MediaFormat& format = record.format;
            complete = takeString(format.container) && takeString(format.containerLong) &&
                       takeString(format.codec) && takeString(format.codecLong) &&
                       take(&format.sampleRate, sizeof format.sampleRate) &&
                       take(&format.channels, sizeof format.channels) &&
                       take(&format.bitsPerSample, sizeof format.bitsPerSample) &&
                       take(&format.durationSeconds, sizeof format.durationSeconds);
            break;
        }
        case DecodeRecordKind::Samples: {
            std::uint32_t count = 0;
            if (take(&count, sizeof count) && count <= MAX_RECORD_SAMPLES) {
                record.samples.resize(count);
                complete = take(record.samples.data(), count * sizeof(float));
            }
            break;
        }
        case DecodeRecordKind::Progress:
            complete = take(&record.secondsRead, sizeof record.secondsRead) &&
                       take(&record.secondsTotal, sizeof record.secondsTotal);
            break;
        case DecodeRecordKind::End: {
            std::uint8_t more = 0;
            std::uint64_t runs = 0;
            std::uint64_t samples = 0;
            std::uint64_t fullScale = 0;
            std::int32_t louder = 0;
            ChannelBalance channels;
            PeakFigures peaks;
            complete = take(&more, sizeof more) && take(&runs, sizeof runs) &&
                       take(&samples, sizeof samples) && take(&fullScale, sizeof fullScale) &&
                       take(&louder, sizeof louder) &&
                       take(&channels.louderPower, sizeof channels.louderPower) &&
                       take(&channels.mixPower, sizeof channels.mixPower) &&
                       take(&peaks.peak, sizeof peaks.peak) &&
                       take(&peaks.truePeak, sizeof peaks.truePeak);
            // A channel past any a source may have, or a level no sum of squares or
            // peak makes, is no record.
            const auto level = [](double value) { return std::isfinite(value) && value >= 0.0; };
            channels.louderChannel = louder;
            complete = complete && louder >= MIX_CHANNELS && louder < MAX_SOURCE_CHANNELS &&
                       level(channels.louderPower) && level(channels.mixPower) &&
                       level(peaks.peak) && level(peaks.truePeak);
            record.end =
                DecodeEnd{more != 0, ClippingRuns{runs, samples, fullScale}, peaks, channels};
            break;
        }
        case DecodeRecordKind::Failed: {
            std::uint32_t category = 0;
            std::uint8_t reason = 0;
            complete = take(&category, sizeof category) && take(&reason, sizeof reason) &&
                       takeString(record.failure.text);
            // Out-of-range values become the generic ones.
            record.failure.category =
                category >= static_cast<std::uint32_t>(FailureCategory::Generic) &&
                        category <= static_cast<std::uint32_t>(FailureCategory::EndOfFile)
                    ? static_cast<FailureCategory>(category)
                    : FailureCategory::Generic;
            record.failure.reason = reason <= static_cast<std::uint8_t>(FailureReason::Malformed)
                                        ? static_cast<FailureReason>(reason)
                                        : FailureReason::Other;
            break;
        }
    }
    if (!complete) {
        malformed_ = true;
    }
    return complete;
}

}  // namespace quen
