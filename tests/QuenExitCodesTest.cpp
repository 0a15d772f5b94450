// `quen`'s one exit-code contract, subcommand by subcommand: 0 all good, 1 a problem
// found in what was read, 2 trouble (usage, an input that cannot be got at, an output
// that cannot be written), 2 winning over 1; "-" as an input reads standard input as
// the named file would be read, once per command line and within the same limits; an
// existing page is replaced by `report` only with -y.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;

class QuenExitCodes : public Quen {
  protected:
    void SetUp() override {
        Quen::SetUp();
        // Speech at the telephone level: no finding.
        writeBytes(path("good.wav"), pcmWav(speechAt(2, -19)));
        ASSERT_EQ(run({"/convert:good.wav", "box", "rec", "alaw", "good.c11", "log.txt"}).exitCode,
                  0);
        Bytes bad = expectedDataFile(0x89, {u"box", u"rec"}, Bytes(100, 0xD5), 80);
        bad[5] = 207;
        writeBytes(path("bad.c11"), bad);
        // 44.1 kHz: refused by QuenGreeting, prepared by quen.
        writeBytes(path("cd.wav"), wavFile(join({formatChunkFor(1, 1, 44100, 16),
                                                 chunk("data", sampleBytes(testSignal(44100)))})));
        writeBytes(path("notes.wav"), Bytes(5, 'x'));
        ASSERT_EQ(shell("mkfifo pipe.wav pipe.c11 && mkdir d raw w && cp cd.wav raw/good.wav"), 0);
        // One byte past the largest data file and the largest RIFF file; sparse.
        ASSERT_EQ(shell("truncate -s 4294967296 big.c11 && truncate -s 4294967304 big.wav"), 0);
        writeText(path("t.xml"), configuration(attendant("Desk", greeting("morning", "good.wav"))));
        writeText(path("gone.xml"), configuration(attendant("Desk", greeting("morning", "x.wav"))));
        writeText(path("broken.xml"), "<zandorConfiguration><AutoAttendants>");
        writeText(path("page.html"), "an earlier page");
    }

    // `quen` with standard input from `command`'s output, through a pipe, ended after
    // `seconds`.
    ProgramResult piped(const std::string& command, const std::string& arguments,
                        int seconds = QUEN_TEST_HANG_SECONDS) const {
        return runBinary("/bin/sh",
                         {"-c", command + " | timeout " + std::to_string(seconds) +
                                    " " QUEN_TOOL_BINARY " " + arguments + " 2>stderr.txt"},
                         dir());
    }
};

struct Row {
    const char* arguments;  // as the shell splits them; may redirect standard input
    int exitCode;
    // When given, the whole of standard output, or the whole of standard error.
    const char* output = nullptr;
    const char* errors = nullptr;
};

constexpr const char* EXISTS = ": exists already; give -y (--overwrite) to replace it\n";

TEST_F(QuenExitCodes, EverySubcommandExitsZeroOneOrTwoAsTheContractSays) {
    const std::string pageExists = std::string("quen report: page.html") + EXISTS;
    const std::string wavExists = std::string("quen inspect: good.wav") + EXISTS;
    const std::string outExists = std::string("quen prepare: good.wav") + EXISTS;
    const Row rows[] = {
        // inspect
        {"inspect good.c11", 0},
        {"inspect bad.c11", 1, "bad.c11: error: header length at offset 5 is 207, not 208\n"},
        {"inspect missing.c11", 2, "missing.c11: error: cannot open: No such file or directory\n"},
        {"inspect pipe.c11", 2, "pipe.c11: error: not a regular file but a pipe\n"},
        {"inspect big.c11", 2,
         "big.c11: error: 4294967296 bytes, larger than any data file can be\n"},
        {"inspect bad.c11 missing.c11", 2,
         "bad.c11: error: header length at offset 5 is 207, not 208\n"
         "missing.c11: error: cannot open: No such file or directory\n"},
        {"inspect good.c11 --wav good.wav", 2, nullptr, wavExists.c_str()},
        {"inspect -y good.c11 --wav good-copy.wav", 0},
        {"inspect good.c11 >/dev/full", 2, nullptr,
         "quen: cannot write the report to standard output: No space left on device\n"},
        {"inspect - <good.c11", 0},
        {"inspect - <bad.c11", 1, "-: error: header length at offset 5 is 207, not 208\n"},
        {"inspect - <big.c11", 2, "-: error: more than 4294967295 bytes, the most read here\n"},
        {"inspect - - <good.c11", 2, "",
         "-: standard input can be read only once: give \"-\" once\n"
         "Run with --help for more information.\n"},
        {"inspect --wav x.wav", 2},
        // check
        {"check good.wav", 0},
        {"check cd.wav", 1},
        {"check notes.wav", 1},
        {"check good.c11", 1,
         "good.c11: error: a QuenGreeting data file, not a recording: use quen inspect\n"},
        {"check missing.wav", 2, "missing.wav: error: cannot open: No such file or directory\n"},
        {"check pipe.wav", 2},
        {"check cd.wav missing.wav", 2},
        {"check - <good.wav", 0},
        {"check - <cd.wav", 1},
        {"check - <big.wav", 2, "-: error: more than 4294967303 bytes, the most read here\n"},
        {"check - good.wav - <good.wav", 2},
        {"check --template t.xml --wav-dir .", 0},
        {"check --template gone.xml --wav-dir .", 1},
        {"check --template broken.xml --wav-dir .", 1},
        {"check --template none.xml --wav-dir .", 2},
        {"check --template t.xml --wav-dir none", 2},
        {"check", 2},
        // prepare
        {"prepare cd.wav new1.wav", 0},
        {"prepare notes.wav new2.wav", 1},
        {"prepare missing.wav new3.wav", 2},
        {"prepare pipe.wav new4.wav", 2},
        {"prepare cd.wav good.wav", 2, "", outExists.c_str()},
        {"prepare - new5.wav <cd.wav", 0},
        {"prepare -q - - <notes.wav", 1},
        {"prepare - new6.wav <big.wav", 2, "",
         "quen prepare: -: more than 4294967303 bytes, the most read here\n"},
        {"prepare --out-dir d cd.wav notes.wav", 1},
        {"prepare --out-dir d -y cd.wav notes.wav missing.wav", 2},
        {"prepare --out-dir none cd.wav", 2},
        {"prepare --out-dir d -y cd.wav raw/cd.wav", 2},
        {"prepare --out-dir d - <cd.wav", 2},
        {"prepare --template t.xml --from raw --wav-dir w", 0},
        {"prepare --template gone.xml --from raw --wav-dir w", 1},
        {"prepare --template none.xml --from raw --wav-dir w", 2},
        {"prepare --template t.xml --from none --wav-dir w", 2},
        // report
        {"report good.c11 -o new.html", 0,
         "new.html: 1 data file, 0 problems; audio inside the page\n"},
        {"report bad.c11 -o bad.html", 1},
        {"report good.c11 missing.c11 -o missing.html", 2,
         "missing.html: 2 data files, 1 problem; audio inside the page\n"},
        {"report good.c11 pipe.c11 -o pipe.html", 2,
         "pipe.html: 2 data files, 1 problem; audio inside the page\n"},
        {"report --template broken.xml --wav-dir . -o broken.html", 1},
        {"report --template none.xml --wav-dir . -o none.html", 2},
        {"report good.c11 -o page.html", 2, "", pageExists.c_str()},
        {"report good.c11 -o good.c11", 2},
        {"report good.c11 -o none/page.html", 2},
        {"report -y good.c11 -o page.html", 0},
        {"report - -o stdin.html <good.c11", 0},
        {"report - -o stdin-bad.html <bad.c11", 1},
        {"report - -o big.html <big.c11", 2, "",
         "quen report: -: more than 4294967295 bytes, the most read here\n"},
        {"report - good.c11 - -o two.html <good.c11", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        const ProgramResult result = tool(row.arguments);
        EXPECT_EQ(result.exitCode, row.exitCode) << result.output << errors();
        if (row.output != nullptr) {
            EXPECT_EQ(result.output, row.output);
        }
        if (row.errors != nullptr) {
            EXPECT_EQ(errors(), row.errors);
        }
    }
    // What the refusals left alone, and what the runs with -y replaced.
    EXPECT_EQ(readBytes(path("good.wav")), pcmWav(speechAt(2, -19)));
    EXPECT_TRUE(fs::exists(path("w/good.wav")));
    EXPECT_TRUE(fs::exists(path("missing.html")));  // written, listing the missing file
    EXPECT_TRUE(fs::exists(path("none.html")));
    EXPECT_NE(readText(path("page.html")), "an earlier page");
    EXPECT_FALSE(fs::exists(path("new4.wav")) || fs::exists(path("new6.wav")) ||
                 fs::exists(path("big.html")) || fs::exists(path("two.html")));
}

// Without -y the page is not touched, nor read past the refusal: its bytes and its
// time stay, and no audio folder is made.
TEST_F(QuenExitCodes, AnExistingPageIsKeptWithoutYes) {
    const auto before = fs::last_write_time(path("page.html"));
    EXPECT_EQ(tool("report good.c11 -o page.html").exitCode, 2);
    EXPECT_EQ(readText(path("page.html")), "an earlier page");
    EXPECT_EQ(fs::last_write_time(path("page.html")), before);
    EXPECT_FALSE(fs::exists(path("page-audio")));
    // The --json run says nothing on standard output either.
    const ProgramResult json = tool("--json report good.c11 -o page.html");
    EXPECT_EQ(std::make_pair(json.exitCode, json.output), std::make_pair(2, std::string()));
}

// "-" reads as the named file does, through a pipe as from a redirected file: the same
// report apart from the name, the same bytes written.
TEST_F(QuenExitCodes, StandardInputReadsAsTheNamedFile) {
    const auto named = [](const std::string& text, const std::string& name) {
        return std::regex_replace(text, std::regex(name), "-");
    };
    for (const char* file : {"good.c11", "bad.c11"}) {
        SCOPED_TRACE(file);
        const ProgramResult byName = tool(std::string("--json inspect ") + file);
        const ProgramResult fromPipe = piped(std::string("cat ") + file, "--json inspect -");
        EXPECT_EQ(fromPipe.exitCode, byName.exitCode);
        EXPECT_EQ(fromPipe.output, named(byName.output, file));
    }
    for (const char* file : {"good.wav", "cd.wav", "notes.wav"}) {
        SCOPED_TRACE(file);
        const ProgramResult byName = tool(std::string("check ") + file);
        const ProgramResult fromPipe = piped(std::string("cat ") + file, "check -");
        EXPECT_EQ(fromPipe.exitCode, byName.exitCode);
        // The fix of a refused recording reads standard input again.
        EXPECT_EQ(fromPipe.output,
                  std::regex_replace(named(byName.output, file),
                                     std::regex("quen prepare - [^ \n]+-prepared.wav"),
                                     "quen prepare - prepared.wav"));
    }
    const ProgramResult byName = tool("prepare cd.wav by-name.wav");
    ASSERT_EQ(byName.exitCode, 0) << errors();
    const std::string byNameReport = named(byName.output, "cd.wav");
    const ProgramResult fromPipe = piped("cat cd.wav", "prepare - from-pipe.wav");
    EXPECT_EQ(fromPipe.exitCode, 0) << errors();
    EXPECT_EQ(fromPipe.output,
              std::regex_replace(byNameReport, std::regex("by-name"), "from-pipe"));
    EXPECT_EQ(readBytes(path("from-pipe.wav")), readBytes(path("by-name.wav")));
    // To standard output as well, and an empty standard input as an empty file.
    EXPECT_EQ(piped("cat cd.wav", "prepare -q - -").output, readText(path("by-name.wav")));
    // The page of "-" is the page of the named file, apart from the name.
    ASSERT_EQ(tool("report good.c11 -o by-name.html").exitCode, 0);
    ASSERT_EQ(piped("cat good.c11", "report - -o from-pipe.html").exitCode, 0) << errors();
    EXPECT_EQ(readText(path("from-pipe.html")),
              std::regex_replace(readText(path("by-name.html")), std::regex("good\\.c11"), "-"));
    writeText(path("empty.c11"), "");
    const ProgramResult empty = piped("true", "inspect -");
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.output, named(tool("inspect empty.c11").output, "empty.c11"));
}

// The copy of standard input has no name: a run ended by a signal while it reads, or one
// that finishes, leaves nothing in the temporary directory.
TEST_F(QuenExitCodes, StandardInputLeavesNothingBehind) {
    fs::create_directory(path("spool"));
    const std::string spool = "TMPDIR=\"$PWD/spool\"; export TMPDIR; ";
    const ProgramResult ended = piped(spool + "(cat good.c11; sleep 4)", "inspect -", 1);
    EXPECT_EQ(ended.exitCode, 124);
    EXPECT_TRUE(fs::is_empty(path("spool")));
    EXPECT_EQ(piped(spool + "cat good.c11", "inspect -").exitCode, 0);
    EXPECT_TRUE(fs::is_empty(path("spool")));
}

}  // namespace
}  // namespace quen::test
