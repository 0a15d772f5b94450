// The jail of the decoding child: a process that entered it opens no file, makes no
// socket, starts no program or thread, and is held to its memory and CPU limits; each
// way a child can end is worded with the limit it broke. The decoding child itself is
// run as the media code runs it, and what it writes is read as untrusted.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <thread>
#include <tuple>

#include "media/DecodeChild.h"
#include "media/DecodeRecords.h"
#include "platform/jail/ChildProcess.h"
#include "platform/jail/Jail.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

constexpr std::uint64_t MEBIBYTE = std::uint64_t{1} << 20;

// Runs `inside` in a forked child that entered the jail with `limits`; how it ended.
// The test program has no other thread, so the child may do what it likes.
ChildEnd inJail(const JailLimits& limits, const std::function<int()>& inside) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!enterJail(limits)) {
            ::_exit(120);
        }
        ::_exit(inside());
    }
    int status = 0;
    struct rusage usage {};
    EXPECT_EQ(::wait4(pid, &status, 0, &usage), pid);
    ChildEnd end;
    end.exited = WIFEXITED(status);
    end.exitCode = end.exited ? WEXITSTATUS(status) : 0;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    end.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec);
    return end;
}

bool refused(long result) {
    return result == -1 && errno == EPERM;
}

TEST(Jail, AProcessInsideOpensNoFileMakesNoSocketAndStartsNothing) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const ChildEnd end = inJail({64 * MEBIBYTE, 5}, [&] {
        char* const argv[] = {const_cast<char*>("true"), nullptr};
        // One bit for each call that got through.
        int escaped = 0;
        escaped |= refused(::open("/etc/passwd", O_RDONLY)) ? 0 : 1;
        escaped |= refused(::open(".", O_WRONLY | O_CREAT | O_TMPFILE, 0600)) ? 0 : 2;
        escaped |= refused(::socket(AF_INET, SOCK_STREAM, 0)) ? 0 : 4;
        escaped |= refused(::socket(AF_UNIX, SOCK_DGRAM, 0)) ? 0 : 8;
        escaped |= refused(::execve("/bin/true", argv, nullptr)) ? 0 : 16;
        escaped |= refused(::fork()) ? 0 : 32;
        escaped |= refused(::kill(::getppid(), 0)) ? 0 : 64;
        // What it holds it may still use.
        escaped |= ::write(ends[1], "x", 1) == 1 ? 0 : 128;
        return escaped;
    });
    ::close(ends[1]);
    char got = 0;
    EXPECT_EQ(::read(ends[0], &got, 1), 1);
    ::close(ends[0]);
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitCode, 0) << "bits of the calls that got through";
}

TEST(Jail, AThreadStartedBeforeTheJailIsJailedToo) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::atomic<int> stage = 0;
        std::thread thread([&] {
            while (stage != 1) {
                std::this_thread::yield();
            }
            stage = refused(::open("/etc/passwd", O_RDONLY)) ? 2 : 3;
        });
        const bool jailed = static_cast<bool>(enterJail({64 * MEBIBYTE, 5}));
        stage = 1;
        thread.join();
        ::_exit(!jailed ? 120 : stage == 2 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the thread opened a file";
}

TEST(Jail, MemoryBeyondTheAllowanceIsNotHadAndIsWordedWithTheLimit) {
    if (!MEMORY_IS_MEASURED) {
        GTEST_SKIP() << NOT_MEASURED;
    }
    const JailLimits limits{16 * MEBIBYTE, 5};
    const ChildEnd end = inJail(limits, [] {
        void* block = std::malloc(64 * MEBIBYTE);
        return block == nullptr ? JAIL_EXIT_OUT_OF_MEMORY : 0;
    });
    EXPECT_EQ(end.exitCode, JAIL_EXIT_OUT_OF_MEMORY);
    EXPECT_EQ(describeChildEnd(end, limits), "needed more than 16 MiB");
}

// The limits stand as given: no core file, the CPU limit soft at its seconds and hard a
// second later, and memory within the allowance is had.
TEST(Jail, TheLimitsStandAsGivenAndTheAllowanceIsHad) {
    const ChildEnd end = inJail({16 * MEBIBYTE, 5}, [] {
        int wrong = 0;
        struct rlimit limit {};
        wrong |= ::getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0 && limit.rlim_max == 0
                     ? 0
                     : 1;
        wrong |= ::getrlimit(RLIMIT_CPU, &limit) == 0 && limit.rlim_cur == 5 && limit.rlim_max == 6
                     ? 0
                     : 2;
        if (MEMORY_IS_MEASURED) {
            auto* block = static_cast<volatile char*>(std::malloc(8 * MEBIBYTE));
            for (std::size_t i = 0; block != nullptr && i < 8 * MEBIBYTE; i += 4096) {
                block[i] = 1;
            }
            wrong |= block != nullptr ? 0 : 4;
        }
        return wrong;
    });
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitCode, 0) << "bits of the limits that are wrong";
}

TEST(Jail, CpuTimeBeyondTheLimitEndsTheProcessAndIsWordedWithTheLimit) {
    const JailLimits limits{16 * MEBIBYTE, 1};
    const ChildEnd end = inJail(limits, [] {
        volatile std::uint64_t spin = 0;
        for (;;) {
            spin = spin + 1;
        }
        return 0;
    });
    EXPECT_FALSE(end.exited);
    EXPECT_EQ(describeChildEnd(end, limits), "used more than 1 s of CPU");
}

TEST(Jail, AChildHoldsNoDescriptorOfItsParentButItsOutput) {
    // Not close-on-exec, as a library's might be.
    const int file = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(file, 0);
    auto child = ChildProcess::start(
        "/bin/sh",
        {"sh", "-c", "cd /proc/self/fd && echo * && readlink /proc/$$/fd/0 /proc/$$/fd/2"});
    ::close(file);
    ASSERT_TRUE(child);
    std::string listed;
    char buffer[256];
    for (ssize_t got; (got = ::read(child->output(), buffer, sizeof buffer)) > 0;) {
        listed.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_TRUE(child->wait().exited);
    // The shell's own descriptor for the directory it lists may come last. Standard
    // input and error are /dev/null: nothing of the parent's terminal or log.
    EXPECT_TRUE(listed == "0 1 2\n/dev/null\n/dev/null\n" ||
                listed == "0 1 2 3\n/dev/null\n/dev/null\n")
        << listed;
}

TEST(Jail, AChildCanBeEndedByTheSignalsItsStarterBlocks) {
    // The program's threads block termination signals (one thread takes them); a child
    // that kept that mask would outlive a SIGTERM meant for it.
    sigset_t termination, previous;
    ::sigemptyset(&termination);
    ::sigaddset(&termination, SIGTERM);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &termination, &previous), 0);
    auto child = ChildProcess::start("/bin/sh", {"sh", "-c", "kill -TERM $$; exit 3"});
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_TRUE(child);
    const ChildEnd end = child->wait();
    EXPECT_EQ(end.signal, SIGTERM);
}

TEST(Jail, AChildThatCrashesOrFailsIsWordedSo) {
    const JailLimits limits{16 * MEBIBYTE, 5};
    auto crashed = ChildProcess::start("/bin/sh", {"sh", "-c", "kill -SEGV $$"});
    ASSERT_TRUE(crashed);
    EXPECT_EQ(describeChildEnd(crashed->wait(), limits), "crashed (signal 11)");
    auto failed = ChildProcess::start("/bin/sh", {"sh", "-c", "exit 3"});
    ASSERT_TRUE(failed);
    EXPECT_EQ(describeChildEnd(failed->wait(), limits), "ended with exit code 3");
}

// The child's process id, which the shell writes first.
pid_t pidOf(const ChildProcess& child) {
    char buffer[32] = {};
    std::size_t got = 0;
    while (got < sizeof buffer - 1 && (got == 0 || buffer[got - 1] != '\n')) {
        const ssize_t n = ::read(child.output(), buffer + got, 1);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return static_cast<pid_t>(std::atol(buffer));
}

// Killed and reaped whether ended by kill() or left running to the destructor: no
// process, not even a zombie, stays behind.
TEST(Jail, AChildStillRunningIsKilledAndReaped) {
    for (const bool byDestructor : {false, true}) {
        SCOPED_TRACE(byDestructor ? "destructor" : "kill()");
        pid_t pid = 0;
        {
            auto child = ChildProcess::start("/bin/sh", {"sh", "-c", "echo $$; exec sleep 30"});
            ASSERT_TRUE(child);
            pid = pidOf(*child);
            ASSERT_GT(pid, 0);
            if (!byDestructor) {
                const ChildEnd end = child->kill();
                EXPECT_FALSE(end.exited);
                EXPECT_EQ(end.signal, SIGKILL);
            }
        }
        EXPECT_EQ(::kill(pid, 0), -1);
        EXPECT_EQ(errno, ESRCH);
    }
}

// Once reaped, a child's pid is gone: waiting again gives the same end and reaps no other
// child (a pid of -1 would reap any). Killing again takes the same path, and is not tried
// here: with the guard gone it would signal every process.
TEST(Jail, AReapedChildIsNotWaitedForAgain) {
    auto child = ChildProcess::start("/bin/sh", {"sh", "-c", "exit 3"});
    ASSERT_TRUE(child);
    const ChildEnd first = child->wait();
    ASSERT_TRUE(first.exited);
    EXPECT_EQ(first.exitCode, 3);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        ::sleep(2);
        ::_exit(0);
    }
    const ChildEnd again = child->wait();
    EXPECT_TRUE(again.exited);
    EXPECT_EQ(again.exitCode, 3);
    // The other child is still running and still ours to reap.
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0);
    ::kill(other, SIGKILL);
    EXPECT_EQ(::waitpid(other, nullptr, 0), other);
}

class DecodeChild : public TempDirTest {};

// The child as the media code starts it, but with no memory to spare: it says it ran
// out, and the reader gets no record it cannot take.
TEST_F(DecodeChild, OutOfItsMemoryItExitsSayingSo) {
    if (!MEMORY_IS_MEASURED) {
        GTEST_SKIP() << NOT_MEASURED;
    }
    ASSERT_EQ(shell("ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=48000:d=2 t.mp3"), 0);
    const JailLimits limits{0, 5};
    std::vector<std::string> arguments{"/proc/self/exe"};
    for (const std::string& argument :
         decodeChildArguments(path("t.mp3").string(), 16000, MIX_CHANNELS, limits)) {
        arguments.push_back(argument);
    }
    auto child = ChildProcess::start("/proc/self/exe", arguments);
    ASSERT_TRUE(child);
    DecodeRecordReader reader(child->output(), 10);
    DecodeRecord record;
    while (reader.next(record)) {
    }
    EXPECT_FALSE(reader.malformed());
    const ChildEnd end = child->wait();
    EXPECT_EQ(describeChildEnd(end, limits), "needed more than 0 MiB");
}

// A child that parsed a hostile file may be hostile: lengths beyond the bounds, or a
// record cut off, end the read as malformed rather than being believed.
TEST(DecodeRecords, WhatNoDecoderWritesIsMalformed) {
    const auto read = [](const Bytes& bytes) {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        EXPECT_EQ(::write(ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(ends[1]);
        DecodeRecordReader reader(ends[0], 10);
        DecodeRecord record;
        int records = 0;
        while (reader.next(record)) {
            ++records;
        }
        ::close(ends[0]);
        return std::pair{records, reader.malformed()};
    };
    // 16385 samples in one record, one more than a record holds.
    EXPECT_EQ(read({'S', 0x01, 0x40, 0, 0}), std::pair(0, true));
    // A failure whose text is longer than any library's.
    EXPECT_EQ(read({'X', 1, 0, 0, 0, 0, 0x01, 0x10, 0, 0}), std::pair(0, true));
    EXPECT_EQ(read({'Q'}), std::pair(0, true));
    // A failure cut off after its reason, and inside its text's length.
    EXPECT_EQ(read({'X', 6, 0, 0, 0, 6}), std::pair(0, true));
    EXPECT_EQ(read({'X', 6, 0, 0, 0, 6, 2, 0}), std::pair(0, true));
    EXPECT_EQ(read({'X', 6, 0, 0, 0, 6, 2, 0, 0, 0, 'a'}), std::pair(0, true));
    // Progress cut short after one whole record.
    Bytes progress(17, 0);
    progress[0] = 'P';
    Bytes twice = progress;
    twice.insert(twice.end(), progress.begin(), progress.end() - 1);
    EXPECT_EQ(read(twice), std::pair(1, true));
    EXPECT_EQ(read(progress), std::pair(1, false));
    // An end whose channel balance names a channel no source has, or a level no sum of
    // squares or peak makes.
    constexpr double NAN_ = std::numeric_limits<double>::quiet_NaN();
    constexpr double INF = std::numeric_limits<double>::infinity();
    const auto end = [](std::int32_t louder, double louderPower, double mixPower, double peak = 0.5,
                        double truePeak = 0.6) {
        // The kind, the cut flag and three clipping counts, the balance, the peaks.
        Bytes bytes(1 + 1 + 3 * 8 + sizeof louder + 4 * sizeof(double), 0);
        bytes[0] = 'E';
        std::memcpy(&bytes[26], &louder, sizeof louder);
        std::memcpy(&bytes[30], &louderPower, sizeof louderPower);
        std::memcpy(&bytes[38], &mixPower, sizeof mixPower);
        std::memcpy(&bytes[46], &peak, sizeof peak);
        std::memcpy(&bytes[54], &truePeak, sizeof truePeak);
        return bytes;
    };
    EXPECT_EQ(read(end(1, 0.5, 0.001)), std::pair(1, false));
    EXPECT_EQ(read(end(-1, 0.0, 0.0, 0.0, 0.0)), std::pair(1, false));
    EXPECT_EQ(read(end(7, 0.5, 0.5, 1.0, 1.4)), std::pair(1, false));
    EXPECT_EQ(read(end(8, 0.5, 0.5)), std::pair(0, true));
    EXPECT_EQ(read(end(-2, 0.5, 0.5)), std::pair(0, true));
    EXPECT_EQ(read(end(0, -0.5, 0.5)), std::pair(0, true));
    EXPECT_EQ(read(end(0, 0.5, NAN_)), std::pair(0, true));
    EXPECT_EQ(read(end(0, INF, 0.5)), std::pair(0, true));
    EXPECT_EQ(read(end(0, 0.5, 0.5, -0.1, 0.5)), std::pair(0, true));
    EXPECT_EQ(read(end(0, 0.5, 0.5, 0.5, NAN_)), std::pair(0, true));
    EXPECT_EQ(read(end(0, 0.5, 0.5, INF, 0.5)), std::pair(0, true));
    // One byte short of the peaks is a record cut off.
    Bytes shortEnd = end(0, 0.5, 0.5);
    shortEnd.pop_back();
    EXPECT_EQ(read(shortEnd), std::pair(0, true));
}

// Every kind of record comes back as written: samples beyond one record's bound in two
// records, a text beyond the bound cut to it, and a failure's out-of-range category and
// reason as the generic ones.
TEST(DecodeRecords, EveryRecordComesBackAsWrittenWithinItsBounds) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const MediaFormat format{"wav", "WAV / WAVE", "pcm_s16le", "PCM", 44100, 2, 16, 1.5};
    std::vector<float> samples(MAX_RECORD_SAMPLES + 1, 0.25f);
    samples.back() = -1.0f;
    std::thread writing([&] {
        DecodeRecordWriter writer(ends[1]);
        EXPECT_TRUE(writer.format(format));
        EXPECT_TRUE(writer.samples(samples));
        EXPECT_TRUE(writer.progress(0.5, 1.5));
        EXPECT_TRUE(writer.end(DecodeEnd{true, ClippingRuns{2, 7, 9}, PeakFigures{0.5, 0.75},
                                         ChannelBalance{1, 0.25, 0.125}}));
        EXPECT_TRUE(writer.failed(Failure{FailureCategory::InvalidFile, std::string(5000, 'w'),
                                          FailureReason::Malformed}));
        EXPECT_TRUE(writer.failed(
            Failure{static_cast<FailureCategory>(999), "x", static_cast<FailureReason>(200)}));
        ::close(ends[1]);
    });
    DecodeRecordReader reader(ends[0], 10);
    std::vector<DecodeRecord> records;
    for (DecodeRecord record; reader.next(record);) {
        records.push_back(record);
    }
    writing.join();
    ::close(ends[0]);
    EXPECT_FALSE(reader.malformed());
    ASSERT_EQ(records.size(), 7u);
    const MediaFormat& read = records[0].format;
    EXPECT_EQ(records[0].kind, DecodeRecordKind::Format);
    EXPECT_EQ(std::tie(read.container, read.containerLong, read.codec, read.codecLong),
              std::tie(format.container, format.containerLong, format.codec, format.codecLong));
    EXPECT_EQ(
        std::tie(read.sampleRate, read.channels, read.bitsPerSample, read.durationSeconds),
        std::tie(format.sampleRate, format.channels, format.bitsPerSample, format.durationSeconds));
    EXPECT_EQ(records[1].samples, std::vector<float>(MAX_RECORD_SAMPLES, 0.25f));
    EXPECT_EQ(records[2].samples, std::vector<float>{-1.0f});
    EXPECT_EQ(records[3].kind, DecodeRecordKind::Progress);
    EXPECT_EQ(records[3].secondsRead, 0.5);
    EXPECT_EQ(records[3].secondsTotal, 1.5);
    EXPECT_EQ(records[4].kind, DecodeRecordKind::End);
    EXPECT_TRUE(records[4].end.moreFollows);
    const ClippingRuns& clipping = records[4].end.sourceClipping;
    EXPECT_EQ(std::tie(clipping.runs, clipping.samples, clipping.fullScaleSamples),
              std::make_tuple(2u, 7u, 9u));
    const PeakFigures& peaks = records[4].end.sourcePeaks;
    EXPECT_EQ(std::tie(peaks.peak, peaks.truePeak), std::make_tuple(0.5, 0.75));
    const ChannelBalance& channels = records[4].end.channels;
    EXPECT_EQ(std::tie(channels.louderChannel, channels.louderPower, channels.mixPower),
              std::make_tuple(1, 0.25, 0.125));
    EXPECT_EQ(records[5].failure.category, FailureCategory::InvalidFile);
    EXPECT_EQ(records[5].failure.reason, FailureReason::Malformed);
    EXPECT_EQ(records[5].failure.text, std::string(4096, 'w'));
    EXPECT_EQ(records[6].failure.category, FailureCategory::Generic);
    EXPECT_EQ(records[6].failure.reason, FailureReason::Other);
    EXPECT_EQ(records[6].failure.text, "x");
}

TEST(DecodeRecords, AWriterThatSaysNothingIsGivenUpOn) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    DecodeRecordReader reader(ends[0], 1);
    DecodeRecord record;
    EXPECT_FALSE(reader.next(record));
    EXPECT_TRUE(reader.silent());
    EXPECT_FALSE(reader.malformed());
    ::close(ends[0]);
    ::close(ends[1]);
}

}  // namespace
}  // namespace quen::test
