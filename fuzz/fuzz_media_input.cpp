// Any bytes given to quen as a recording must be refused or decoded within the limit
// asked for: through the one guarded entry, with the allowed demuxers, never reading
// another file. The target runs the decoding the jailed child runs, in its own process,
// where the fuzzer sees every fault. The bytes are a memory file named by its /proc path, a regular
// file as the entry requires, so that no run touches the disk.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "media/MediaDecoding.h"

namespace {

// Two seconds of output: enough for every decoder to get going, little per run.
constexpr std::size_t LIMIT_SAMPLES = 2 * quen::TELEPHONY_SAMPLE_RATE;
// The decoder stops after the frame that reaches the limit; no frame of an allowed
// format comes near this much output.
constexpr std::size_t FRAME_SLACK_SAMPLES = std::size_t{1} << 21;

// Counts the samples decoded, and keeps none.
struct CountingSink : quen::DecodeSink {
    quen::Result<void> format(const quen::MediaFormat&) override { return {}; }
    quen::Result<void> samples(std::span<const float> samples) override {
        count += samples.size();
        return {};
    }
    quen::Result<void> progress(double, double) override { return {}; }
    std::size_t count = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int file = ::memfd_create("recording", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    if (file < 0 || ::ftruncate(file, 0) != 0 ||
        ::pwrite(file, data, size, 0) != static_cast<ssize_t>(size)) {
        std::abort();
    }
    if (auto input = quen::MediaInput::open(path)) {
        (void)quen::probeInput(**input);
    }
    auto input = quen::MediaInput::open(path);
    if (!input) {
        return 0;
    }
    CountingSink sink;
    // Inline: a fault found is then in one thread's stack.
    quen::OrderedWorker worker(false, quen::MAX_QUEUED_FRAME_BYTES);
    const auto decoded = quen::decodeInput(**input, LIMIT_SAMPLES, sink, worker);
    if (decoded && sink.count > LIMIT_SAMPLES + FRAME_SLACK_SAMPLES) {
        std::abort();
    }
    return 0;
}
