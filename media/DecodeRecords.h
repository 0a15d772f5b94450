// The stream a jailed decoder writes to its parent: the format, then the samples a block
// at a time with progress between them, then an end or a failure. Both ends are the same
// program on the same machine, so numbers go in the machine's own order. The parent
// trusts nothing in it: a decoder that parsed a hostile file may itself be hostile, so
// every length is bounded and anything out of order ends the read.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "media/MediaDecoding.h"

namespace quen {

enum class DecodeRecordKind : std::uint8_t {
    Format = 'F',
    Samples = 'S',
    Progress = 'P',
    End = 'E',
    Failed = 'X',
};

// The most samples in one record; the writer splits longer blocks.
inline constexpr std::size_t MAX_RECORD_SAMPLES = 16384;

// Writes records to a descriptor; false once a write failed (the reader is gone).
// Samples and progress are gathered into writes of up to FLUSH_BYTES, or what came in
// FLUSH_INTERVAL, so the reader wakes a few times a second rather than at every packet;
// the format, the end and a failure go at once.
class DecodeRecordWriter {
  public:
    static constexpr std::size_t FLUSH_BYTES = 65536;
    static constexpr std::chrono::milliseconds FLUSH_INTERVAL{50};

    explicit DecodeRecordWriter(int fd) : fd_(fd) {}
    bool format(const MediaFormat& format);
    bool samples(std::span<const float> samples);
    bool progress(double secondsRead, double secondsTotal);
    bool end(const DecodeEnd& end);
    bool failed(const Failure& failure);

  private:
    bool send();
    bool sendWhenDue();
    void put(const void* data, std::size_t size);
    void putString(const std::string& text);

    int fd_;
    std::vector<std::uint8_t> record_;
    std::chrono::steady_clock::time_point sent_ = std::chrono::steady_clock::now();
};

// One record as read; which fields hold something depends on its kind.
struct DecodeRecord {
    DecodeRecordKind kind = DecodeRecordKind::Failed;
    MediaFormat format;
    std::vector<float> samples;
    double secondsRead = 0.0;
    double secondsTotal = 0.0;
    DecodeEnd end;
    Failure failure;
};

// Reads records from a descriptor, waiting at most `silenceSeconds` for each read.
class DecodeRecordReader {
  public:
    DecodeRecordReader(int fd, int silenceSeconds) : fd_(fd), silenceSeconds_(silenceSeconds) {}
    // The next record; false at the end of the stream, when what came is no record
    // (malformed() then says so) or when nothing came for too long (silent()).
    bool next(DecodeRecord& record);
    bool malformed() const { return malformed_; }
    bool silent() const { return silent_; }

  private:
    bool take(void* data, std::size_t size);
    bool takeString(std::string& text);
    bool fill();

    int fd_;
    int silenceSeconds_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
    bool malformed_ = false;
    bool silent_ = false;
};

}  // namespace quen
