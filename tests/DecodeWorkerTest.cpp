// Decoding hands its frames to a second thread: the tasks run in the order given and no
// more than a few wait, and the samples, the cut at a limit and the failures come out as
// they do with everything on one thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "media/MediaDecoding.h"
#include "media/OrderedWorker.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

TEST(OrderedWorker, RunsTasksInOrderHoldsFewAndFinishesWhatItWasGiven) {
    // Tasks of weight 2 against 32: the giver waits at 16, the worker starts at 8.
    constexpr std::size_t HELD = 16;
    for (const bool threaded : {false, true}) {
        SCOPED_TRACE(threaded ? "threaded" : "inline");
        std::vector<int> ran;
        std::atomic<bool> release = false;
        {
            OrderedWorker worker(threaded, 2 * HELD);
            // The first task holds the worker; the giver must stop once the queue is full.
            std::atomic<std::size_t> given = 0;
            std::atomic<bool> started = false;
            std::jthread giver([&] {
                worker.submit(
                    [&] {
                        started = true;
                        while (threaded && !release) {
                            std::this_thread::yield();
                        }
                        ran.push_back(0);
                    },
                    2);
                // The worker takes tasks by the half queue.
                for (int i = 1; i < 100; ++i) {
                    if (i == static_cast<int>(HELD / 2)) {
                        while (!started) {
                            std::this_thread::yield();
                        }
                    }
                    worker.submit([&ran, i] { ran.push_back(i); }, 2);
                    ++given;
                }
            });
            if (threaded) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                EXPECT_EQ(given, HELD);
                release = true;
            }
            giver.join();
            worker.wait();
            EXPECT_EQ(ran.size(), 100U);
            // Tasks given and not yet run when the worker goes still run.
            for (int i = 100; i < 110; ++i) {
                worker.submit([&ran, i] { ran.push_back(i); }, 2);
            }
        }
        ASSERT_EQ(ran.size(), 110U);
        for (std::size_t i = 0; i < ran.size(); ++i) {
            EXPECT_EQ(ran[i], static_cast<int>(i));
        }
    }
}

// What a decode gives its sink, and how it ends.
struct Decoded : DecodeSink {
    Result<void> format(const MediaFormat&) override { return {}; }
    Result<void> samples(std::span<const float> block) override {
        all.insert(all.end(), block.begin(), block.end());
        return {};
    }
    Result<void> progress(double secondsRead, double) override {
        positions.push_back(secondsRead);
        return {};
    }
    std::vector<float> all;
    std::vector<double> positions;
    bool moreFollows = false;
    std::optional<std::string> failure;
};

Decoded decode(const std::filesystem::path& file, std::size_t maxSamples, bool threaded) {
    Decoded decoded;
    auto input = MediaInput::open(file.string());
    EXPECT_TRUE(input);
    if (!input) {
        return decoded;
    }
    OrderedWorker worker(threaded, MAX_QUEUED_FRAME_BYTES);
    if (auto end = decodeInput(**input, maxSamples, decoded, worker)) {
        decoded.moreFollows = end->moreFollows;
    } else {
        decoded.failure = end.failure().text;
    }
    return decoded;
}

using DecodeWorker = TempDirTest;

TEST_F(DecodeWorker, ASecondThreadChangesNoSampleNoCutAndNoFailure) {
    ASSERT_EQ(shell("ffmpeg -v error -f lavfi -i 'sine=f=440:sample_rate=44100:d=10' -ac 2 "
                    "tone.mp3 && head -c 60000 tone.mp3 > cut.mp3"),
              0);
    // Limits around the start, around a frame, near the end and past it.
    const std::size_t limits[] = {1, 209, 210, 8000, 79000, 79999, 80000, 80001, 1000000};
    for (const char* name : {"tone.mp3", "cut.mp3"}) {
        for (const std::size_t limit : limits) {
            SCOPED_TRACE(std::string(name) + " limit " + std::to_string(limit));
            const Decoded alone = decode(path(name), limit, false);
            const Decoded beside = decode(path(name), limit, true);
            EXPECT_EQ(beside.all, alone.all);
            EXPECT_EQ(beside.positions, alone.positions);
            EXPECT_EQ(beside.moreFollows, alone.moreFollows);
            EXPECT_EQ(beside.failure, alone.failure);
            if (!alone.failure) {
                EXPECT_GE(alone.all.size(), std::min<std::size_t>(limit, 79000));
            }
        }
    }
}

}  // namespace
}  // namespace quen::test
