// The link and file rules for sticky world-writable directories and hard links, as both
// programs apply them whatever the system's settings: every written output and the
// inputs, one table each; an input swapped for a device between its look and its open;
// and the directories and names of `quen prepare --template`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <functional>

#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t OTHER_USER = 65534;  // nobody: a user that exists and is not the caller

class LinkRulesTest : public Quen {
  protected:
    void SetUp() override {
        Quen::SetUp();
        // sticky/ is /tmp's like: sticky, world-writable, the caller's own; private/ is
        // an ordinary directory.
        fs::create_directories(path("sticky"));
        fs::permissions(path("sticky"), fs::perms::all | fs::perms::sticky_bit);
        fs::create_directories(path("private"));
        // Too short for speech: quen prepare writes it with --allow-silence.
        writeBytes(path("in.wav"), pcmWav(testSignal(400)));
    }

    void chown(const std::string& name, uid_t owner) const {
        ASSERT_EQ(::lchown(path(name).c_str(), owner, static_cast<gid_t>(-1)), 0) << name;
    }
    uid_t ownerOf(const std::string& name) const {
        struct stat info {};
        EXPECT_EQ(::lstat(path(name).c_str(), &info), 0) << name;
        return info.st_uid;
    }
    // QuenGreeting converting x.wav, or quen preparing it, with the swap shim preloaded
    // and set by `shim`'s variables; the exit status.
    int readThroughShim(const std::string& shim, bool converter) const {
        const std::string environment =
            shim +
            " ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" + QUEN_SWAP_AFTER_LOOK_SHIM + " ";
        return converter
                   ? shell(environment + QUEN_BINARY " /convert:x.wav a b g711 out.cxx log.txt")
                   : shell(environment + QUEN_TOOL_BINARY
                           " prepare -q -y --allow-silence x.wav out.wav 2>stderr.txt");
    }
};

// Where a name is put, and whether a writer may write through it.
struct Placement {
    std::string what;
    std::function<void(const fs::path& target)> make;
    bool writable;
};

// private/victim: another user's file that must stay as it was.
void makeVictim(const fs::path& victim) {
    writeText(victim, "precious");
    ASSERT_EQ(::chown(victim.c_str(), OTHER_USER, static_cast<gid_t>(-1)), 0);
}

TEST_F(LinkRulesTest, AnotherUsersLinkFileOrHardLinkIsNeverWritten) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files and links to another user";
    }
    const fs::path victim = path("private/victim");
    const Placement placements[] = {
        {"their link in sticky/",
         [&](const fs::path& target) {
             makeVictim(victim);
             fs::create_symlink(victim, target);
             ASSERT_EQ(::lchown(target.c_str(), OTHER_USER, -1), 0);
         },
         false},
        {"their file in sticky/", [&](const fs::path& target) { makeVictim(target); }, false},
        {"their hard link in sticky/",
         [&](const fs::path& target) {
             makeVictim(victim);
             fs::create_hard_link(victim, target);
         },
         false},
        // Outside a sticky directory too: the other names could be anywhere.
        {"their hard link in private/",
         [&](const fs::path& target) {
             makeVictim(victim);
             fs::create_hard_link(victim, target);
         },
         false},
        // What callers rely on stays: the caller's own file in sticky/, and another
        // user's file with one name outside a sticky directory.
        {"my file in sticky/", [](const fs::path& target) { writeText(target, "precious"); }, true},
        {"their file in private/", [&](const fs::path& target) { makeVictim(target); }, true},
    };
    // Each written output: how it is written to `name`, and the outcome when refused.
    struct Writer {
        std::string what;
        std::function<int(const std::string& name)> write;
        std::function<std::string(const std::string& name)> refusal;  // stdout, log or stderr
        std::function<std::string()> said;
        bool replaced;  // by a new file, which keeps the owner, rather than in place
    };
    std::string output;
    const Writer writers[] = {
        {"log",
         [&](const std::string& name) {
             const ProgramResult result =
                 run({"/convert:in.wav", "a", "b", "g711", "out.cxx", name});
             output = result.output;
             return result.exitCode;
         },
         [](const std::string& name) {
             return "Failed to open the errorlog file <" + name + ">\n";
         },
         [&] { return output; }, false},
        {"data file",
         [&](const std::string& name) {
             return run({"/convert:in.wav", "a", "b", "g711", name, "log.txt"}).exitCode;
         },
         [](const std::string& name) {
             return "Creating data file - \"" + name + "\"\r\nCan't open file \"" + name +
                    "\", error = 5\n\r\n";
         },
         [&] { return readText(path("log.txt")); }, true},
        {"quen output",
         [&](const std::string& name) {
             return tool("prepare -q -y --allow-silence in.wav " + name).exitCode;
         },
         [](const std::string& name) {
             return "quen prepare: " + name + ": cannot write: access denied (category 5)\n";
         },
         [&] { return errors(); }, true},
    };
    for (const Writer& writer : writers) {
        for (const Placement& placement : placements) {
            SCOPED_TRACE(writer.what + ", " + placement.what);
            const std::string name =
                placement.what.ends_with("private/") ? "private/target" : "sticky/target";
            fs::remove(path(name));
            fs::remove(victim);
            placement.make(path(name));
            const int exitCode = writer.write(name);
            if (!placement.writable) {
                EXPECT_NE(exitCode, 0);
                EXPECT_EQ(writer.said(), writer.refusal(name));
                EXPECT_EQ(readText(path(name)), "precious");
                EXPECT_EQ(ownerOf(name), OTHER_USER);
            } else {
                EXPECT_EQ(exitCode, 0) << writer.said();
                EXPECT_NE(readText(path(name)), "precious");
                // A replaced file keeps its owner; the log is the same file.
                EXPECT_EQ(ownerOf(name), placement.what.starts_with("my") ? 0 : OTHER_USER);
            }
            if (fs::exists(victim)) {
                EXPECT_EQ(readText(victim), "precious");
            }
        }
    }
}

// Inputs: another user's link in a sticky directory is not followed, by either program;
// their files, and the caller's own links, are read as ever.
TEST_F(LinkRulesTest, AnotherUsersLinkToAnInputIsNeverFollowed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files and links to another user";
    }
    const std::string wav = "sticky/in.wav";
    const std::pair<std::function<void()>, bool> rows[] = {
        {[&] {
             fs::create_symlink("../in.wav", path(wav));
             chown(wav, OTHER_USER);
         },
         false},
        {[&] {
             fs::create_symlink("../in.wav", path(wav));
             chown(wav, 0);
         },
         true},
        {[&] {
             fs::copy_file(path("in.wav"), path(wav));
             chown(wav, OTHER_USER);
         },
         true},
        {[&] {
             fs::create_hard_link(path("in.wav"), path(wav));
             chown(wav, OTHER_USER);
         },
         true},
    };
    int row = 0;
    for (const auto& [make, read] : rows) {
        SCOPED_TRACE(row++);
        fs::remove(path(wav));
        fs::remove(path("out.wav"));
        make();
        EXPECT_EQ(run({"/convert:" + wav, "a", "b", "g711", "out.cxx", "log.txt"}).exitCode,
                  read ? 0 : 255);
        EXPECT_EQ(readText(path("log.txt")),
                  "Creating data file - \"out.cxx\"\r\n" +
                      (read ? "" : "Can't open file \"" + wav + "\", error = 5\n\r\n"));
        EXPECT_EQ(tool("prepare -q --allow-silence " + wav + " out.wav").exitCode, read ? 0 : 2);
        EXPECT_EQ(errors(), read ? ""
                                 : "quen prepare: " + wav +
                                       ": another user's symbolic link in a sticky "
                                       "world-writable directory\n");
        EXPECT_EQ(fs::exists(path("out.wav")), read);
    }
}

// The input is swapped for a device (a pipe without root) just after the program has
// looked at it: the device is never opened, and the file looked at is the one read.
// Where /proc is missing, root opens that file by its handle.
TEST_F(LinkRulesTest, AnInputSwappedForADeviceAfterItsLookIsNeverOpened) {
    const bool root = ::geteuid() == 0;
    for (const bool proc : {true, false}) {
        if (!proc && !root) {
            continue;  // without /proc and root, the path is opened once more
        }
        for (const bool converter : {true, false}) {
            SCOPED_TRACE(std::string(proc ? "/proc" : "no /proc") +
                         (converter ? " QuenGreeting" : " quen"));
            fs::remove(path("report.txt"));
            fs::copy_file(path("in.wav"), path("x.wav"), fs::copy_options::overwrite_existing);
            const int made = root ? ::mknod(path("node").c_str(), S_IFCHR | 0644, makedev(1, 5))
                                  : ::mkfifo(path("node").c_str(), 0644);
            ASSERT_EQ(made, 0);
            const int exitCode =
                readThroughShim(std::string("QUEN_SHIM_SWAP_PATH=x.wav QUEN_SHIM_SWAP_WITH=node "
                                            "QUEN_SHIM_REPORT=report.txt") +
                                    (proc ? "" : " QUEN_SHIM_NO_PROC=1"),
                                converter);
            EXPECT_EQ(readText(path("report.txt")), "swapped\n");
            // The file looked at is read, through /proc or by its handle.
            EXPECT_EQ(exitCode, 0);
            fs::remove(path("x.wav"));
            fs::remove(path("node"));
        }
    }
    // Without /proc and with nothing swapped, root reads the file by its handle.
    if (root) {
        EXPECT_EQ(shell("QUEN_SHIM_NO_PROC=1 ASAN_OPTIONS=verify_asan_link_order=0 "
                        "LD_PRELOAD=" QUEN_SWAP_AFTER_LOOK_SHIM " " QUEN_BINARY
                        " /convert:in.wav a b g711 out.cxx log.txt"),
                  0);
        EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"out.cxx\"\r\n");
    }
}

// Neither /proc nor handles (a user not root where /proc is not mounted): the path is
// opened once more and kept only while it is the file looked at. A device swapped in
// meanwhile is opened, as nothing else can be, but closed unread and refused; with
// nothing swapped, the file is read.
TEST_F(LinkRulesTest, WithoutProcOrHandlesAnInputIsKeptOnlyIfStillTheFileLookedAt) {
    for (const bool swapped : {false, true}) {
        for (const bool converter : {true, false}) {
            SCOPED_TRACE(std::string(swapped ? "swapped" : "in place") +
                         (converter ? " QuenGreeting" : " quen"));
            fs::remove(path("report.txt"));
            fs::remove(path("out.cxx"));
            fs::remove(path("out.wav"));
            fs::copy_file(path("in.wav"), path("x.wav"), fs::copy_options::overwrite_existing);
            ASSERT_EQ(::mkfifo(path("node").c_str(), 0644), 0);
            const int exitCode = readThroughShim(
                std::string(swapped ? "QUEN_SHIM_SWAP_PATH=x.wav QUEN_SHIM_SWAP_WITH=node " : "") +
                    "QUEN_SHIM_REPORT=report.txt QUEN_SHIM_NO_PROC=1 QUEN_SHIM_NO_HANDLES=1",
                converter);
            EXPECT_EQ(exitCode, swapped ? (converter ? 255 : 2) : 0);
            EXPECT_EQ(fs::exists(path(converter ? "out.cxx" : "out.wav")), !swapped);
            if (swapped) {
                EXPECT_EQ(readText(path("report.txt")), "swapped\nopened\n");
                // As if a writer held it: the file may be back in place on the next try.
                EXPECT_EQ(readText(path(converter ? "log.txt" : "stderr.txt")),
                          converter ? "Creating data file - \"out.cxx\"\r\nCan't open file "
                                      "\"x.wav\", error = 11\n\r\n"
                                    : "quen prepare: x.wav: Resource temporarily unavailable\n");
            }
            fs::remove(path("x.wav"));
            fs::remove(path("node"));
        }
    }
}

// A directory on the path of an input or of a data file turns into another user's link
// just after the link walk has passed it: the link is not followed then either.
TEST_F(LinkRulesTest, ADirectoryTurnedIntoALinkAfterTheWalkIsNotFollowed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a link to another user";
    }
    fs::create_directories(path("secret"));
    fs::copy_file(path("in.wav"), path("secret/in.wav"));
    // The path the walk ends at, the operands, and the file that must not be made.
    const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
        {"sticky/d/in.wav",
         {"/convert:sticky/d/in.wav", "a", "b", "g711", "out.cxx", "log.txt"},
         "out.cxx"},
        {"sticky/d/out.cxx",
         {"/convert:in.wav", "a", "b", "g711", "sticky/d/out.cxx", "log.txt"},
         "secret/out.cxx"},
    };
    for (const auto& [walked, operands, notMade] : rows) {
        SCOPED_TRACE(walked);
        fs::remove_all(path("sticky/d"));
        fs::create_directories(path("sticky/d"));
        fs::copy_file(path("in.wav"), path("sticky/d/in.wav"));
        fs::create_symlink("../secret", path("sticky/evil"));
        chown("sticky/evil", OTHER_USER);
        chown("sticky/d", OTHER_USER);
        chown("sticky/d/in.wav", OTHER_USER);
        fs::remove(path("report.txt"));
        std::string command = "QUEN_SHIM_SWAP_AFTER=" + walked +
                              " QUEN_SHIM_SWAP_PATH=sticky/d QUEN_SHIM_SWAP_WITH=sticky/evil "
                              "QUEN_SHIM_REPORT=report.txt ASAN_OPTIONS=verify_asan_link_order=0 "
                              "LD_PRELOAD=" QUEN_SWAP_AFTER_LOOK_SHIM " " QUEN_BINARY;
        for (const std::string& operand : operands) {
            command += " " + operand;
        }
        EXPECT_EQ(shell(command), 255);
        EXPECT_EQ(readText(path("report.txt")), "swapped\n");
        EXPECT_TRUE(fs::is_symlink(path("sticky/d")));
        const std::string refused =
            operands[0] == "/convert:in.wav" ? walked : operands[0].substr(9);
        EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"" + operands[4] +
                                                 "\"\r\nCan't open file \"" + refused +
                                                 "\", error = 5\n\r\n");
        EXPECT_FALSE(fs::exists(path(notMade)));
        fs::remove(path("sticky/d"));
        fs::rename(path("sticky/evil"), path("sticky/d"));  // the directory, back in place
    }
}

// A pipe reached through the process's own /proc links, which name no path, is still
// found, and refused for what it is.
TEST_F(LinkRulesTest, APipeNamedThroughProcIsToldApart) {
    if (!fs::exists("/proc/self/fd")) {
        GTEST_SKIP() << "no /proc";
    }
    EXPECT_EQ(shell("echo hi | " QUEN_BINARY " /convert:/dev/stdin a b g711 out.cxx log.txt"), 255);
    EXPECT_EQ(readText(path("log.txt")),
              "Creating data file - \"out.cxx\"\r\nInvalid file format\r\n");
    EXPECT_EQ(shell("echo hi | " QUEN_TOOL_BINARY " inspect /dev/stdin >said.txt"), 2);
    EXPECT_EQ(readText(path("said.txt")), "/dev/stdin: error: not a regular file but a pipe\n");
}

// --wav-dir through another user's link in a sticky directory: nothing is made or
// written in the directory it leads to.
TEST_F(LinkRulesTest, ATemplatesWavDirectoryIsNotReachedThroughAnotherUsersLink) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a link to another user";
    }
    fs::create_directories(path("raw/sub"));
    writeBytes(path("raw/a.wav"), pcmWav(testSignal(8000)));
    writeBytes(path("raw/sub/b.wav"), pcmWav(testSignal(8000)));
    fs::create_symlink("../private", path("sticky/wav"));
    chown("sticky/wav", OTHER_USER);
    writeText(path("t.xml"), configuration(attendant(
                                 "A", greeting("menu", "a.wav") + greeting("menu", "sub\\b.wav"))));
    EXPECT_EQ(tool("prepare -q --template t.xml --from raw --wav-dir sticky/wav").exitCode, 2);
    EXPECT_EQ(errors(),
              "quen prepare: a.wav: cannot make sticky/wav: access denied (category 5)\n"
              "quen prepare: sub\\b.wav: cannot make sticky/wav/sub: access denied (category 5)\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(path("private")), {}), 0);
}

// Two names that reach one file are prepared once; a link of the caller's own inside the
// wav directory is followed, as the batch follows it when it reads the recording, and
// the folders below it are made.
TEST_F(LinkRulesTest, ATemplatesTwoNamesForOneFileArePreparedOnceAndOwnLinksAreFollowed) {
    fs::create_directories(path("raw/link/new/deeper"));
    fs::create_directories(path("wav"));
    fs::create_directories(path("outside"));
    writeBytes(path("raw/a.wav"), pcmWav(testSignal(8000)));
    writeBytes(path("raw/link/new/deeper/b.wav"), pcmWav(testSignal(8000)));
    fs::create_directory_symlink(".", path("wav/self"));
    fs::create_directory_symlink("../outside", path("wav/link"));
    writeText(path("t.xml"), configuration(attendant(
                                 "A", greeting("menu", "a.wav") + greeting("menu", "self\\a.wav") +
                                          greeting("menu", "self\\self\\a.wav") +
                                          greeting("menu", "link\\new\\deeper\\b.wav"))));
    const ProgramResult result = tool("--json prepare --template t.xml --from raw --wav-dir wav");
    EXPECT_EQ(result.exitCode, 0) << errors();
    const nlohmann::json report = nlohmann::json::parse(result.output);
    EXPECT_EQ(report["recordings"], 2);
    EXPECT_EQ(report["prepared"].size(), 2u);
    EXPECT_TRUE(fs::exists(path("outside/new/deeper/b.wav")));
    EXPECT_TRUE(fs::exists(path("wav/a.wav")));
}

}  // namespace
}  // namespace quen::test
