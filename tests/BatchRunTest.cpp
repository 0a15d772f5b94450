// The batch run's mode-2 naming rules and its handling of failed conversions, with
// the greeting conversion replaced by a recorder: which conversions are asked for,
// with which arguments, in which order, and what the log says.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/ErrorLog.h"
#include "batch/BatchJob.h"
#include "platform/TextConversion.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

// One requested conversion, as 8-bit text.
struct Call {
    std::string wavFile;
    std::string mailboxName;
    std::string recordingName;
    std::string format;
    std::string outFile;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& call) {
    return out << "{" << call.wavFile << "|" << call.mailboxName << "|" << call.recordingName << "|"
               << call.format << "|" << call.outFile << "}";
}

class BatchRunTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        std::filesystem::create_directory(path("rec"));
        std::filesystem::create_directory(path("out"));
        wavDirectory = toWide(path("rec").string());
        resultDirectory = toWide(path("out").string());
        ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
    }
    void TearDown() override {
        ErrorLog::instance().close();
        TempDirTest::TearDown();
    }

    // Recordings only need to exist: the recorder never reads them.
    void record(const std::string& name) const {
        std::filesystem::create_directories(path("rec/" + name).parent_path());
        writeText(path("rec/" + name), "");
    }

    // Runs the batch on t.xml with rec/ and out/; conversions whose output ends in
    // one of `failing` report failure.
    bool run(int mode, const std::vector<std::string>& failing = {}) {
        const GreetingConversion recorder =
            [&](const std::u16string& wavFile, const std::u16string& mailboxName,
                const std::u16string& recordingName, const std::u16string& format,
                const std::u16string& outFile) {
                calls.push_back({toNarrow(wavFile), toNarrow(mailboxName), toNarrow(recordingName),
                                 toNarrow(format), toNarrow(outFile)});
                for (const std::string& ending : failing) {
                    if (calls.back().outFile.ends_with(ending)) {
                        return false;
                    }
                }
                return true;
            };
        return runBatch(toWide(path("t.xml").string()), wavDirectory, resultDirectory, mode,
                        recorder);
    }

    std::string log() const {
        ErrorLog::instance().close();
        return readText(path("log.txt"));
    }

    std::string rec(const std::string& name) const { return path("rec").string() + "/" + name; }
    std::string out(const std::string& name) const { return path("out").string() + "/" + name; }

    std::u16string wavDirectory;
    std::u16string resultDirectory;
    std::vector<Call> calls;
};

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

std::string withBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

TEST_F(BatchRunTest, ModeTwoNamesFilesAfterTheRecording) {
    struct Case {
        std::string recording;
        std::string wavFile;        // below rec/
        std::string recordingName;  // in the header
        std::string outStem;        // below out/
    };
    const std::string thirty = "abcdefghijklmnopqrstuvwxyz.wav";
    // 13 characters outside the basic plane are 26 code units.
    std::string emoji;
    for (int i = 0; i < 13; ++i) {
        emoji += "\xF0\x9F\x98\x80";
    }
    const Case cases[] = {
        {"day.wav", "day.wav", "day.wav", "day"},
        {"a.b.wav", "a.b.wav", "a.b.wav", "a"},
        {".wav", ".wav", ".wav", ""},
        {"sub\\x.wav", "sub/x.wav", "x.wav", "sub/x"},
        {"sub/y.wav", "sub/y.wav", "y.wav", "sub/y"},
        // A name without extension keeps it whole.
        {"noext", "noext", "noext", "noext"},
        // The limit counts code units of the file-name part only.
        {thirty, thirty, thirty, "abcdefghijklmnopqrstuvwxyz"},
        {"sub\\" + thirty, "sub/" + thirty, thirty, "sub/abcdefghijklmnopqrstuvwxyz"},
        {emoji + ".wav", emoji + ".wav", emoji + ".wav", emoji},
    };
    // An absolute directory written with backslashes is the same directory.
    wavDirectory = toWide(withBackslashes(path("rec").string()));
    std::string greetings;
    std::vector<Call> expected;
    for (const Case& c : cases) {
        record(c.wavFile);
        greetings += greeting("menu", c.recording);
        for (const char* format : {"g723", "g711"}) {
            const std::string extension = format == std::string("g723") ? ".c23" : ".c11";
            expected.push_back({rec(c.wavFile), "Auto Attendant", c.recordingName, format,
                                out(c.outStem + extension)});
        }
    }
    writeText(path("t.xml"), configuration(attendant("A", greetings)));
    EXPECT_TRUE(run(2));
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(log(), "");
}

TEST_F(BatchRunTest, ModeTwoRefusesAFileNameOf31CodeUnitsBeforeLookingForIt) {
    record("first.wav");
    const std::string thirtyOne = "abcdefghijklmnopqrstuvwxyz1.wav";
    std::string emoji;
    for (int i = 0; i < 13; ++i) {
        emoji += "\xF0\x9F\x98\x80";
    }
    const std::string cases[] = {thirtyOne, "sub\\" + thirtyOne, emoji + "x.wav"};
    for (const std::string& tooLong : cases) {
        SCOPED_TRACE(tooLong);
        calls.clear();
        ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
        // The long name does not exist: the length is tested first.
        writeText(path("t.xml"), configuration(attendant("A", greeting("menu", "first.wav") +
                                                                  greeting("menu", tooLong) +
                                                                  greeting("menu", "first.wav"))));
        EXPECT_FALSE(run(2));
        EXPECT_EQ(calls.size(), 2u);
        const std::string name = tooLong.substr(tooLong.find_last_of('\\') + 1);
        EXPECT_EQ(log(), "Error - wav filename \"" + name + "\"must be < 31 characters \r\n");
    }
    // Mode 1 has no limit.
    calls.clear();
    record(thirtyOne);
    writeText(path("t.xml"), configuration(attendant("A", greeting("menu", thirtyOne))));
    ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
    EXPECT_TRUE(run(1));
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(BatchRunTest, FailedConversionsAreReportedAndTheRunGoesOn) {
    record("1.wav");
    record("2.wav");
    writeText(path("t.xml"), configuration(attendant(
                                 "A", greeting("morning", "1.wav") + greeting("menu", "2.wav"))));
    EXPECT_TRUE(run(2, {"1.c23", "1.c11", "2.c23"}));
    EXPECT_EQ(calls.size(), 4u);
    EXPECT_EQ(log(), "Failed to convert file \"" + rec("1.wav") + "\" to \"" + out("1.c23") +
                         "\"\r\n"
                         "Failed to convert file \"" +
                         rec("1.wav") + "\" to \"" + out("1.c11") +
                         "\"\r\n"
                         "Failed to convert file \"" +
                         rec("2.wav") + "\" to \"" + out("2.c23") + "\"\r\n");
}

}  // namespace
}  // namespace quen::test
