// What a hostile or careless environment does to a run: a caller that stops reading
// or closed standard output, templates that never end, a link planted in a shared
// directory, and signals that stop a conversion half-way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace fs = std::filesystem;
namespace {

using namespace std::string_literals;

class HardeningTest : public TempDirTest {
  protected:
    // The exit status of `command` run by the shell in the test's directory.
    int shell(const std::string& command) const {
        const int status = std::system(("cd '" + dir().string() + "' && " + command).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<fs::path> leftovers() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(dir())) {
            if (entry.path().filename().string().starts_with(".quen-")) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

    const std::string program = QUEN_BINARY;
};

TEST_F(HardeningTest, StandardStreamsThatFailNeverStopTheJobNorLandInTheLog) {
    writeBytes(path("w.wav"), pcmWav(testSignal(800)));
    const std::string message = program + " /convertMsg:w.wav B C D g711 Y Y 1 2 sp.cxx spl.txt";
    const std::string diagnostic =
        "quenFlashType = 0xe9, cpType = 0x89, seconds = 1, internalFlag = \0Y\0\0"s;
    // The reader is gone before the first write; then standard output closed outright.
    EXPECT_EQ(shell("{ sleep 0.3; " + message + "; echo $? >code.txt; } | true"), 0);
    EXPECT_EQ(readText(path("code.txt")), "0\n");
    EXPECT_EQ(readText(path("spl.txt")), "Creating data file - \"sp.cxx\"\r\n");
    EXPECT_EQ(readBytes(path("sp.cxx")).size(), 214u + 1 + 800);
    fs::remove(path("sp.cxx"));
    EXPECT_EQ(shell(message + " >&- 2>&-"), 0);
    EXPECT_EQ(readText(path("spl.txt")), "Creating data file - \"sp.cxx\"\r\n");
    EXPECT_TRUE(fs::exists(path("sp.cxx")));
    EXPECT_EQ(shell(message + " >out.txt 0<&-"), 0);
    EXPECT_EQ(readText(path("out.txt")), diagnostic);
    // The usage text and the log-failure message fail the same quiet way.
    EXPECT_EQ(shell("{ sleep 0.3; " + program + "; echo $? >code.txt; } | true"), 0);
    EXPECT_EQ(readText(path("code.txt")), "255\n");
    EXPECT_EQ(shell("{ sleep 0.3; " + program +
                    " /convert:w.wav a b g711 x.cxx no/log.txt; echo $? >code.txt; } | true"),
              0);
    EXPECT_EQ(readText(path("code.txt")), "255\n");
}

TEST_F(HardeningTest, MemoryThatCannotBeHadIsALoggedFailure) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer needs more address space than the limit leaves";
#endif
    // 300 MB of samples stated and present (sparse), 200 MB of address space allowed.
    writeBytes(path("big.wav"), wavFile(join({formatChunk(), chunk("data", {}, 300'000'000)})));
    ASSERT_EQ(::truncate(path("big.wav").c_str(), 300'000'044), 0);
    EXPECT_EQ(shell("ulimit -v 200000 && " + program + " /convert:big.wav a b g711 o.cxx log.txt"),
              255);
    EXPECT_EQ(readText(path("log.txt")),
              "Creating data file - \"o.cxx\"\r\nCan't open file \"big.wav\", error = 1\n\r\n");
}

TEST_F(HardeningTest, TemplatesThatNeverEndAreRefusedUnread) {
    fs::create_directory(path("rec"));
    ASSERT_EQ(::mkfifo(path("pipe.xml").c_str(), 0600), 0);
    // Sparse: 10 GB stated, nothing stored.
    ASSERT_EQ(
        ::truncate((writeText(path("huge.xml"), ""), path("huge.xml")).c_str(), 10'000'000'000), 0);
    const std::pair<std::string, std::string> rows[] = {
        {"/dev/zero", "not a regular file"},
        {"pipe.xml", "not a regular file"},
        {"huge.xml", "the file is larger than 256 MiB"},
    };
    for (const auto& [file, reason] : rows) {
        SCOPED_TRACE(file);
        const ProgramResult result = run({"/batch1:" + file, "rec", "rec", "log.txt"});
        EXPECT_EQ(result.exitCode, 255);
        EXPECT_EQ(readText(path("log.txt")),
                  "Failed to read the file \"" + file + "\" \ndue to \"" + reason + "\"\r\n");
    }
}

TEST_F(HardeningTest, ALinkInAStickyDirectoryIsFollowedOnlyWhereTheKernelWouldFollowIt) {
    if (::geteuid() != 0 || std::system("command -v useradd >/dev/null") != 0) {
        GTEST_SKIP() << "a second user can be created only by root with useradd";
    }
    const std::string user = "quen-test-" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("useradd -M -r -s /usr/sbin/nologin " + user).c_str()), 0);
    const uid_t other = ::getpwnam(user.c_str())->pw_uid;
    writeBytes(path("in.wav"), pcmWav({1, 2}));
    fs::permissions(dir(), fs::perms::all);
    struct Row {
        const char* what;
        uid_t directoryOwner;
        uid_t linkOwner;
        bool followed;
    };
    const Row rows[] = {
        {"another user's link in root's /tmp", 0, other, false},
        {"the caller's own link", 0, 0, true},
        {"the directory owner's link", other, other, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(path("tmp"));
        fs::create_directory(path("tmp"));
        ASSERT_EQ(::chown(path("tmp").c_str(), row.directoryOwner, 0), 0);
        fs::permissions(path("tmp"), fs::perms::all | fs::perms::sticky_bit);
        writeText(path("passwd"), "root:x:0:0");
        fs::create_symlink(path("passwd"), path("tmp/greeting.cxx"));
        ASSERT_EQ(::lchown(path("tmp/greeting.cxx").c_str(), row.linkOwner, 0), 0);
        const ProgramResult result =
            run({"/convert:in.wav", "a", "b", "g711", "tmp/greeting.cxx", "log.txt"});
        EXPECT_EQ(result.exitCode, row.followed ? 0 : 255);
        EXPECT_EQ(readText(path("passwd")) == "root:x:0:0", !row.followed);
        EXPECT_EQ(
            readText(path("log.txt")),
            "Creating data file - \"tmp/greeting.cxx\"\r\n"s +
                (row.followed ? "" : "Can't open file \"tmp/greeting.cxx\", error = 5\n\r\n"));
    }
    fs::remove_all(path("tmp"));
    std::system(("userdel " + user).c_str());
}

// A conversion killed at random moments leaves the old data file or the whole new one,
// and no temporary file.
TEST_F(HardeningTest, AKilledConversionLeavesAWholeFileAndNoTemporaryFile) {
    writeBytes(path("long.wav"), pcmWav(testSignal(8000 * 600)));
    const std::vector<std::string> arguments = {program,
                                                "/convertMsg:" + path("long.wav").string(),
                                                "a",
                                                "b",
                                                "c",
                                                "ulaw",
                                                "N",
                                                "N",
                                                "5",
                                                "6",
                                                path("out.cxx").string(),
                                                path("log.txt").string()};
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto spawn = [&] {
        pid_t child = 0;
        EXPECT_EQ(::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
        return child;
    };
    const auto started = std::chrono::steady_clock::now();
    int status = 0;
    ::waitpid(spawn(), &status, 0);
    const auto whole = std::chrono::steady_clock::now() - started;
    const Bytes finished = readBytes(path("out.cxx"));
    const Bytes old = {'o', 'l', 'd'};
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<std::int64_t> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count());
    for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
        for (int i = 0; i < 20; ++i) {
            SCOPED_TRACE("signal " + std::to_string(signal) + ", try " + std::to_string(i));
            writeBytes(path("out.cxx"), old);
            const pid_t child = spawn();
            std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
            ::kill(child, signal);
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) ? WEXITSTATUS(status) == 0 : WTERMSIG(status) == signal);
            const Bytes now = readBytes(path("out.cxx"));
            EXPECT_TRUE(now == old || now == finished);
            // SIGKILL may only strike in the moment between the complete file's link
            // and its rename: what it leaves is whole.
            for (const fs::path& leftover : leftovers()) {
                EXPECT_EQ(signal, SIGKILL);
                EXPECT_EQ(readBytes(leftover), finished);
                fs::remove(leftover);
            }
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace
}  // namespace quen::test
