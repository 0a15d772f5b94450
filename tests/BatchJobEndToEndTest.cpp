// /batch1: and /batch2: as a caller meets them: every data file byte for byte, the log
// lines and the exit code, for the naming rules of both modes, the
// texts read from the AA template, and every way a run fails or ends early.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/TextConversion.h"
#include "tests/DataFileExpectation.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string configuration(const std::string& attendants) {
    return "<zandorConfiguration><AutoAttendants>" + attendants +
           "</AutoAttendants></zandorConfiguration>";
}

std::string attendant(const std::string& name, const std::string& greetings) {
    return "<AutoAttendant><AAName>" + name + "</AAName><Greetings>" + greetings +
           "</Greetings></AutoAttendant>";
}

std::string greeting(const std::string& id, const std::string& recording) {
    return "<Greeting id=\"" + id + "\"><RecordingName>" + recording +
           "</RecordingName></Greeting>";
}

// The log lines of the two conversions of one greeting, both successful.
std::string created(const std::string& stem) {
    return "Creating data file - \"out/" + stem + ".c23\"\r\nCreating data file - \"out/" + stem +
           ".c11\"\r\n";
}

class BatchJobTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directory(path("rec"));
        fs::create_directory(path("out"));
        // The G.723.1 frames of the recording converted alone: the batch must write the
        // same ones, whichever libavcodec the build runs.
        writeBytes(path("solo.wav"), pcmWav(signal_));
        ASSERT_EQ(run({"/convert:solo.wav", "m", "r", "g723", "solo.c23", "solo.log"}).exitCode, 0);
        const Bytes solo = readBytes(path("solo.c23"));
        ASSERT_EQ(solo.size(), 214u + 1 + 10 * 24);
        g723Frames_.assign(solo.begin() + 215, solo.end());
    }

    void recordings(const std::vector<std::string>& names) const {
        for (const std::string& name : names) {
            fs::create_directories(path("rec/" + name).parent_path());
            writeBytes(path("rec/" + name), pcmWav(signal_));
        }
    }

    ProgramResult batch(int mode, const std::string& xml, const std::string& wavDirectory = "rec",
                        const std::string& resultDirectory = "out") {
        writeText(path("t.xml"), xml);
        started_ = secondsNow();
        const ProgramResult result = run(
            {"/batch" + std::to_string(mode) + ":t.xml", wavDirectory, resultDirectory, "log.txt"});
        ended_ = secondsNow();
        return result;
    }

    // Both data files of one greeting, whole; the record time is taken during the run.
    void expectFiles(const std::string& stem, const std::string& mailboxName,
                     const std::string& recordingName) const {
        for (const bool g723 : {true, false}) {
            const fs::path file = path("out/" + stem + (g723 ? ".c23" : ".c11"));
            SCOPED_TRACE(file.string());
            ASSERT_TRUE(fs::exists(file));
            const Bytes written = readBytes(file);
            ExpectedHeader header{toWide(mailboxName), toWide(recordingName)};
            header.recordTime = bigEndian32At(written, 206);
            EXPECT_TRUE(stampedBetween(header.recordTime, started_, ended_));
            EXPECT_EQ(written, g723 ? expectedDataFile(0x8B, header, g723Frames_, 24)
                                    : expectedDataFile(0x89, header, g711Stream(signal_), 80));
        }
    }

    // The files below out/, sorted.
    std::vector<std::string> results() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(path("out"))) {
            if (entry.is_regular_file()) {
                names.push_back(fs::relative(entry.path(), path("out")).string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void emptyResults() const {
        fs::remove_all(path("out"));
        fs::create_directory(path("out"));
    }

  private:
    // 10 G.723.1 blocks and 30 A-law frames: one packet in each data file.
    const std::vector<std::int16_t> signal_ = testSignal(2400);
    Bytes g723Frames_;
    std::int64_t started_ = 0;
    std::int64_t ended_ = 0;
};

TEST_F(BatchJobTest, ModeOneNamesAfterAttendantAndKindInDocumentOrderAcrossGroups) {
    recordings({"x.wav"});
    // A text is all character data below its element, CDATA included, with XML white
    // space trimmed at both ends only; the nine reserved characters are then removed.
    const std::string xml =
        "<zandorConfiguration><AutoAttendants><AutoAttendant>"
        "<AAName>\n\t Main\\/:*?&quot;&lt;&gt;|<x/> <![CDATA[Desk]]> \r\n</AAName>"
        "<Greetings>" +
        greeting("menu", "x.wav") + greeting("Menu", "x.wav") + "</Greetings>" +
        greeting("afternoon", "x.wav") + "<Greetings>" +
        greeting("morning", " <![CDATA[ x.wav ]]>\n") +
        "</Greetings></AutoAttendant></AutoAttendants><Unrelated/><AutoAttendants>" +
        attendant("<![CDATA[|]]>", greeting("evening", "x.wav")) +
        "</AutoAttendants></zandorConfiguration>";
    // A trailing separator, a backslash too, ends the result directory.
    const ProgramResult result = batch(1, xml, "rec", "out\\");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    // "Menu" is no kind: its stem is empty. The greeting outside a Greetings group is
    // not one.
    EXPECT_EQ(readText(path("log.txt")), created("Main Desk-MN_greeting") + created("Main Desk-") +
                                             created("Main Desk-AM_greeting") +
                                             created("-EV_greeting"));
    expectFiles("Main Desk-MN_greeting", "Main Desk", "MN_greeting");
    expectFiles("Main Desk-", "Main Desk", "");
    expectFiles("Main Desk-AM_greeting", "Main Desk", "AM_greeting");
    expectFiles("-EV_greeting", "", "EV_greeting");
}

TEST_F(BatchJobTest, ModeTwoNamesAfterTheRecordingAndRefuses31CodeUnits) {
    const std::string thirty = "abcdefghijklmnopqrstuvwxyz.wav";
    // 13 characters outside the basic plane and "x.wav": 31 code units, 18 characters.
    std::string thirtyOne;
    for (int i = 0; i < 13; ++i) {
        thirtyOne += "\xF0\x9F\x98\x80";
    }
    thirtyOne += "x.wav";
    recordings({"a.b.wav", ".wav", "sub/x.wav", "sub/" + thirty, "after.wav"});
    fs::create_directory(path("out/sub"));
    // The 31-unit recording does not exist: its length is tested first. The limit
    // counts the file-name part only, which sub\ does not belong to.
    const ProgramResult result =
        batch(2,
              configuration(attendant(
                  "A", greeting("menu", "a.b.wav") + greeting("menu", ".wav") +
                           greeting("menu", "sub\\x.wav") + greeting("menu", "sub\\" + thirty) +
                           greeting("menu", thirtyOne) + greeting("menu", "after.wav"))),
              "rec/");
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(readText(path("log.txt")), created("a") + created("") + created("sub/x") +
                                             created("sub/abcdefghijklmnopqrstuvwxyz") +
                                             "Error - wav filename \"" + thirtyOne +
                                             "\"must be < 31 characters \r\n");
    expectFiles("a", "Auto Attendant", "a.b.wav");
    expectFiles("", "Auto Attendant", ".wav");
    expectFiles("sub/x", "Auto Attendant", "x.wav");
    expectFiles("sub/abcdefghijklmnopqrstuvwxyz", "Auto Attendant", thirty);
    EXPECT_EQ(results().size(), 8u);
}

TEST_F(BatchJobTest, FailedConversionsGoOnAndEveryOtherFailureEndsTheRun) {
    recordings({"1.wav", "3.wav"});
    writeText(path("rec/bad.wav"), "not a recording");
    const std::string badRecording =
        "Creating data file - \"out/bad.c23\"\r\nInvalid file format\r\n"
        "Failed to convert file \"rec/bad.wav\" to \"out/bad.c23\"\r\n"
        "Creating data file - \"out/bad.c11\"\r\nInvalid file format\r\n"
        "Failed to convert file \"rec/bad.wav\" to \"out/bad.c11\"\r\n";
    const std::string unreadable = "Failed to read the file \"t.xml\" \ndue to \"";
    struct Case {
        std::string name;
        std::string xml;
        int exitCode;
        std::string log;
        bool firstConverted;  // 1.wav; 3.wav never is
    };
    const Case cases[] = {
        {"invalid recording",
         configuration(attendant(
             "A", greeting("menu", "bad.wav") + greeting("menu", "") + greeting("menu", "1.wav"))),
         0, badRecording + created("1"), true},
        {"missing recording",
         configuration(attendant("A", greeting("menu", "1.wav")) +
                       attendant("B", greeting("menu", "2.wav") + greeting("menu", "3.wav"))),
         255, created("1") + "Error the wav file \"rec/2.wav\" doesn't exist\r\n", true},
        {"malformed", "<zandorConfiguration>\n<AutoAttendants>\n</zandorConfiguration>", 255,
         unreadable + "Start-end tags mismatch at line 3, column 3\"\r\n", false},
        // The same document in UTF-8, UTF-16 and UTF-32: one column for each character.
        {"CR LF and characters of several bytes", "<a>\r\n\xC3\xA9\xF0\x9F\x98\x80</b>", 255,
         unreadable + "Start-end tags mismatch at line 2, column 5\"\r\n", false},
        {"UTF-16", "\xFF\xFE<\0a\0>\0\r\0\n\0\xE9\0\x3D\xD8\x00\xDE<\0/\0b\0>\0"s, 255,
         unreadable + "Start-end tags mismatch at line 2, column 5\"\r\n", false},
        {"UTF-32",
         "\0\0\xFE\xFF\0\0\0<\0\0\0a\0\0\0>\0\0\0\r\0\0\0\n\0\0\0\xE9\0\x01\xF6\0"
         "\0\0\0<\0\0\0/\0\0\0b\0\0\0>"s,
         255, unreadable + "Start-end tags mismatch at line 2, column 5\"\r\n", false},
        {"line 1, no byte-order mark", "<a></b>", 255,
         unreadable + "Start-end tags mismatch at line 1, column 6\"\r\n", false},
        // Left open: placed at the last character, the line feed.
        {"ending in CR LF", "<a>\r\n", 255,
         unreadable + "Start-end tags mismatch at line 1, column 4\"\r\n", false},
        {"two roots", "<zandorConfiguration/>\n <zandorConfiguration/>", 255,
         unreadable + "More than one root element at line 2, column 3\"\r\n", false},
        {"another root",
         "<configuration><AutoAttendants>" + attendant("A", greeting("menu", "1.wav")) +
             "</AutoAttendants></configuration>",
         0, "", false},
        {"no AAName",
         configuration(attendant("A", greeting("menu", "1.wav")) + "<AutoAttendant><Greetings>" +
                       greeting("menu", "3.wav") + "</Greetings></AutoAttendant>"),
         255, created("1") + "\r\n", true},
        // The id is read before the recording is found empty.
        {"no id",
         configuration(attendant("A", greeting("menu", "1.wav") +
                                          "<Greeting><RecordingName/></Greeting>" +
                                          greeting("menu", "3.wav"))),
         255, created("1") + "\r\n", true},
        {"no RecordingName",
         configuration(attendant("A", greeting("menu", "1.wav") + "<Greeting id=\"menu\"/>" +
                                          greeting("menu", "3.wav"))),
         255, created("1") + "\r\n", true},
        {"document type declaration left unread",
         "<!DOCTYPE zandorConfiguration [<!ENTITY e \"3.wav\">]>" +
             configuration(attendant("A", greeting("menu", "&e;"))),
         255, "Error the wav file \"rec/&e;\" doesn't exist\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        emptyResults();
        writeText(path("out/3.c11"), "an earlier run's file");
        const ProgramResult result = batch(2, c.xml);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(readText(path("log.txt")), c.log);
        std::vector<std::string> expected{"3.c11"};
        if (c.firstConverted) {
            expectFiles("1", "Auto Attendant", "1.wav");
            expected = {"1.c11", "1.c23", "3.c11"};
        }
        EXPECT_EQ(results(), expected);
        EXPECT_EQ(readText(path("out/3.c11")), "an earlier run's file");
    }
}

}  // namespace
}  // namespace quen::test
