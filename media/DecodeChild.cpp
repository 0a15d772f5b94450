// A library's "out of memory" under the jail's address-space limit is the limit
// reached, not a fault of the file: the child exits with the code that tells its parent
// so, and the parent names the limit.
#include "media/DecodeChild.h"

#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "media/DecodeRecords.h"
#include "media/MediaDecoding.h"
#include "platform/WorkerPool.h"

namespace quen {
namespace {

constexpr std::string_view MODE = "--jailed-decoder";
// The mode, the path, the sample limit, the memory and the CPU limits.
constexpr int ARGUMENT_COUNT = 6;

[[noreturn]] void outOfMemory() {
    ::_exit(JAIL_EXIT_OUT_OF_MEMORY);
}

// The library may word an allocation that failed as a file it could not make sense of
// ("no audio stream"): a failure while the jail's memory is spent is that, whatever its
// words. A block above malloc's mapping threshold asks the kernel itself.
constexpr std::size_t MEMORY_PROBE_BYTES = std::size_t{256} << 10;

bool memorySpent() {
    void* volatile probe = std::malloc(MEMORY_PROBE_BYTES);
    if (probe == nullptr) {
        return true;
    }
    std::free(probe);
    return false;
}

bool isOutOfMemory(const Failure& failure) {
    return failure.text.find(std::strerror(ENOMEM)) != std::string::npos ||
           failure.text.find("out of memory") != std::string::npos || memorySpent();
}

template <typename T>
bool parseNumber(const char* text, T& value) {
    const std::string_view digits(text);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size();
}

// Hands samples and progress on as records.
class RecordSink : public DecodeSink {
  public:
    explicit RecordSink(DecodeRecordWriter& writer) : writer_(writer) {}
    Result<void> format(const MediaFormat& format) override {
        return check(writer_.format(format));
    }
    Result<void> samples(std::span<const float> samples) override {
        return check(writer_.samples(samples));
    }
    Result<void> progress(double secondsRead, double secondsTotal) override {
        return check(writer_.progress(secondsRead, secondsTotal));
    }

  private:
    static Result<void> check(bool written) {
        if (!written) {
            return Failure{FailureCategory::Generic, "the reader of the decoded samples is gone"};
        }
        return {};
    }
    DecodeRecordWriter& writer_;
};

int fail(DecodeRecordWriter& writer, const Failure& failure) {
    if (isOutOfMemory(failure)) {
        return JAIL_EXIT_OUT_OF_MEMORY;
    }
    writer.failed(failure);
    return 0;
}

}  // namespace

bool isDecodeChild(int argc, char** argv) {
    return argc > 1 && argv[1] == MODE;
}

std::vector<std::string> decodeChildArguments(const std::string& path, std::size_t maxSamples,
                                              int channel, const JailLimits& limits) {
    return {std::string(MODE),
            path,
            std::to_string(maxSamples),
            std::to_string(limits.memoryBytes),
            std::to_string(limits.cpuSeconds),
            std::to_string(channel)};
}

namespace {

int decodeInChild(int argc, char** argv) {
    std::set_new_handler(&outOfMemory);
    DecodeRecordWriter writer(STDOUT_FILENO);
    std::size_t maxSamples = 0;
    JailLimits limits;
    int channel = MIX_CHANNELS;
    if (argc != ARGUMENT_COUNT + 1 || !parseNumber(argv[3], maxSamples) ||
        !parseNumber(argv[4], limits.memoryBytes) || !parseNumber(argv[5], limits.cpuSeconds) ||
        !parseNumber(argv[6], channel)) {
        return fail(writer, Failure{FailureCategory::Generic, "the decoder was started wrongly"});
    }
    const std::string path = argv[2];
    auto file = MediaInput::openFile(path);
    if (!file) {
        return fail(writer, file.failure());
    }
    // One malloc arena for both threads: a second one would try to reserve 64 MiB of
    // address space at the worker's first allocation, inside the jail's memory limit.
    ::mallopt(M_ARENA_MAX, 1);
    // Started before the jail, whose filter then covers its thread too: a jailed
    // process starts no thread.
    OrderedWorker worker(maxSamples > 0 && usableCpuCount() > 1, MAX_QUEUED_FRAME_BYTES);
    if (Result<void> jailed = enterJail(limits); !jailed) {
        return fail(writer, jailed.failure());
    }
    auto input = MediaInput::open(std::move(*file), path);
    if (!input) {
        return fail(writer, input.failure());
    }
    if (maxSamples == 0) {
        auto format = probeInput(**input);
        if (!format) {
            return fail(writer, format.failure());
        }
        writer.format(*format);
        writer.end(DecodeEnd{});
        return 0;
    }
    RecordSink sink(writer);
    auto end = decodeInput(**input, maxSamples, sink, worker, channel);
    if (!end) {
        return fail(writer, end.failure());
    }
    writer.end(*end);
    return 0;
}

}  // namespace

void runDecodeChild(int argc, char** argv) {
    ::_exit(decodeInChild(argc, argv));
}

}  // namespace quen
