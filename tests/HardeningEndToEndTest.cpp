// What a hostile or careless environment does to a run: a caller that stops reading
// or closed standard output, a link planted in a shared directory, and signals that
// stop a conversion half-way.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace fs = std::filesystem;
namespace {

using namespace std::string_literals;

class HardeningTest : public TempDirTest {
  protected:
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

TEST_F(HardeningTest, ALinkInAStickyDirectoryIsFollowedOnlyWhereTheKernelWouldFollowIt) {
    if (::geteuid() != 0 || shell("command -v useradd >/dev/null") != 0) {
        GTEST_SKIP() << "a second user can be created only by root with useradd";
    }
    const std::string user = "quen-test-" + std::to_string(::getpid());
    ASSERT_EQ(shell("useradd -M -r -s /usr/sbin/nologin " + user), 0);
    const uid_t other = ::getpwnam(user.c_str())->pw_uid;
    writeBytes(path("in.wav"), pcmWav({1, 2}));
    fs::permissions(dir(), fs::perms::all);
    // Directory owner, link owner, followed: another user's link in root's /tmp is not;
    // the caller's own link and the directory owner's are.
    const std::tuple<uid_t, uid_t, bool> rows[] = {
        {0, other, false}, {0, 0, true}, {other, other, true}};
    for (const auto& [directoryOwner, linkOwner, followed] : rows) {
        SCOPED_TRACE(linkOwner);
        fs::remove_all(path("tmp"));
        fs::create_directory(path("tmp"));
        ASSERT_EQ(::chown(path("tmp").c_str(), directoryOwner, 0), 0);
        fs::permissions(path("tmp"), fs::perms::all | fs::perms::sticky_bit);
        writeText(path("passwd"), "root:x:0:0");
        fs::create_symlink(path("passwd"), path("tmp/greeting.cxx"));
        ASSERT_EQ(::lchown(path("tmp/greeting.cxx").c_str(), linkOwner, 0), 0);
        EXPECT_EQ(shell(program + " /convert:in.wav a b g711 tmp/greeting.cxx log.txt"),
                  followed ? 0 : 255);
        EXPECT_EQ(readText(path("passwd")) == "root:x:0:0", !followed);
        EXPECT_EQ(readText(path("log.txt")),
                  "Creating data file - \"tmp/greeting.cxx\"\r\n"s +
                      (followed ? "" : "Can't open file \"tmp/greeting.cxx\", error = 5\n\r\n"));
    }
    fs::remove_all(path("tmp"));
    shell("userdel " + user);
}

// A conversion killed at random moments leaves the old data file or the whole new one,
// and no temporary file.
TEST_F(HardeningTest, AKilledConversionLeavesAWholeFileAndNoTemporaryFile) {
    writeBytes(path("long.wav"), pcmWav(testSignal(8000 * 600)));
    const std::string convert =
        program + " /convertMsg:long.wav a b c ulaw N N 5 6 out.cxx log.txt >/dev/null";
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(shell(convert), 0);
    const std::chrono::duration<double> whole = std::chrono::steady_clock::now() - started;
    const Bytes finished = readBytes(path("out.cxx"));
    std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> moment(0, whole.count());
    for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
        for (int i = 0; i < 20; ++i) {
            writeText(path("out.cxx"), "old");
            // --foreground signals the program alone: a SIGKILL sent to the whole group
            // would take timeout with it.
            const std::string kill =
                "timeout --foreground --preserve-status -s " + std::to_string(signal);
            const int status = shell(kill + " " + std::to_string(moment(random)) + " " + convert);
            EXPECT_TRUE(status == 0 || status == 128 + signal) << status;
            const Bytes now = readBytes(path("out.cxx"));
            EXPECT_TRUE(now == Bytes({'o', 'l', 'd'}) || now == finished);
            // SIGKILL may only strike in the moment between the complete file's link
            // and its rename: what it leaves is whole.
            for (const fs::path& leftover : leftovers()) {
                EXPECT_EQ(signal, SIGKILL);
                EXPECT_EQ(readBytes(leftover), finished);
                fs::remove(leftover);
            }
        }
    }
}

}  // namespace
}  // namespace quen::test
