// /batch1: and /batch2: as a caller meets them: the data files, their headers, the
// log lines and the exit code. Every batch conversion is held against the same
// conversion made alone with /convert: (same relative paths, in a mirror directory),
// so the expectations stay exact whichever codecs the build can run.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>

#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t RECORD_TIME_OFFSET = 206;

// What one /convert: run gives: its log lines and, when it succeeded, its file.
struct Conversion {
    std::string log;
    std::optional<Bytes> file;
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

// A 64-byte header text field: big-endian UTF-16 of an ASCII text, zero-filled.
Bytes textField(const std::string& text) {
    Bytes field(64, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        field[2 * i + 1] = static_cast<std::uint8_t>(text[i]);
    }
    return field;
}

std::uint32_t bigEndian32(const Bytes& bytes, std::size_t offset) {
    return std::uint32_t{bytes[offset]} << 24 | std::uint32_t{bytes[offset + 1]} << 16 |
           std::uint32_t{bytes[offset + 2]} << 8 | bytes[offset + 3];
}

Bytes withoutRecordTime(Bytes file) {
    if (file.size() >= RECORD_TIME_OFFSET + 4) {
        std::fill_n(file.begin() + RECORD_TIME_OFFSET, 4, 0);
    }
    return file;
}

class BatchJobEndToEndTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directory(path("rec"));
        fs::create_directory(path("out"));
    }

    void recording(const std::string& name, std::size_t samples = 16000) const {
        fs::create_directories(path("rec/" + name).parent_path());
        writeBytes(path("rec/" + name), pcmWav(testSignal(samples)));
    }

    ProgramResult batch(const std::string& mode, const std::string& xml,
                        const std::string& wavDirectory = "rec",
                        const std::string& resultDirectory = "out") {
        writeText(path("t.xml"), xml);
        started_ = static_cast<std::uint32_t>(std::time(nullptr));
        const ProgramResult result =
            run({"/batch" + mode + ":t.xml", wavDirectory, resultDirectory, "log.txt"});
        ended_ = static_cast<std::uint32_t>(std::time(nullptr));
        return result;
    }

    // The same conversion made alone, with the same relative paths in ref/.
    Conversion alone(const std::string& wavFile, const std::string& mailboxName,
                     const std::string& recordingName, const std::string& format,
                     const std::string& outFile) const {
        const fs::path ref = path("ref");
        fs::remove_all(ref);
        fs::create_directory(ref);
        fs::copy(path("rec"), ref / "rec", fs::copy_options::recursive);
        fs::create_directories((ref / outFile).parent_path());
        const ProgramResult result = runProgram(
            {"/convert:" + wavFile, mailboxName, recordingName, format, outFile, "ref.log"}, ref);
        Conversion conversion{readText(ref / "ref.log"), std::nullopt};
        if (result.exitCode == 0) {
            conversion.file = readBytes(ref / outFile);
        }
        return conversion;
    }

    // Both conversions of one greeting: checks the two files against their solo runs
    // and gives the log lines the batch must have written for them.
    std::string expectGreeting(const std::string& wavFile, const std::string& mailboxName,
                               const std::string& recordingName, const std::string& outStem) {
        std::string log;
        for (const auto& [format, extension] : {std::pair{"g723", ".c23"}, {"g711", ".c11"}}) {
            const std::string outFile = outStem + extension;
            SCOPED_TRACE(outFile);
            const Conversion expected = alone(wavFile, mailboxName, recordingName, format, outFile);
            log += expected.log;
            if (!expected.file) {
                EXPECT_FALSE(fs::exists(path(outFile)));
                log += "Failed to convert file \"" + wavFile + "\" to \"" + outFile + "\"\r\n";
                continue;
            }
            const Bytes actual = readBytes(path(outFile));
            EXPECT_EQ(withoutRecordTime(actual), withoutRecordTime(*expected.file));
            const std::uint32_t recordTime = bigEndian32(actual, RECORD_TIME_OFFSET);
            EXPECT_GE(recordTime, started_);
            EXPECT_LE(recordTime, ended_);
        }
        return log;
    }

    // A greeting data file's preamble and header, field by field.
    void expectHeader(const std::string& file, std::uint8_t flashType,
                      const std::string& mailboxName, const std::string& recordingName) const {
        SCOPED_TRACE(file);
        ASSERT_TRUE(fs::exists(path(file)));
        const Bytes bytes = readBytes(path(file));
        ASSERT_GE(bytes.size(), 214u);
        EXPECT_EQ(bigEndian32(bytes, 0), bytes.size());
        EXPECT_EQ(bytes[4], flashType);
        EXPECT_EQ(bytes[5], 0xD0);
        EXPECT_EQ(Bytes(bytes.begin() + 6, bytes.begin() + 70), textField(mailboxName));
        EXPECT_EQ(Bytes(bytes.begin() + 70, bytes.begin() + 134), textField(recordingName));
        EXPECT_EQ(Bytes(bytes.begin() + 134, bytes.begin() + 202), Bytes(68, 0));
        EXPECT_EQ(Bytes(bytes.begin() + 202, bytes.begin() + 206), (Bytes{0, 'Y', 0, 0}));
        EXPECT_EQ(Bytes(bytes.begin() + 210, bytes.begin() + 214), Bytes(4, 0));
    }

    // The A-law file that every valid recording gives.
    void expectG711Header(const std::string& file, const std::string& mailboxName,
                          const std::string& recordingName) const {
        expectHeader(file, 0x89, mailboxName, recordingName);
    }

    // The data files below out/, sorted.
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

  private:
    std::uint32_t started_ = 0;
    std::uint32_t ended_ = 0;
};

TEST_F(BatchJobEndToEndTest, TheWorkedRunInModeOne) {
    recording("day.wav");
    const ProgramResult result =
        batch("1", configuration(attendant("Main: Desk", greeting("morning", "day.wav"))), "rec",
              "out\\");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    const std::string expectedLog =
        expectGreeting("rec/day.wav", "Main Desk", "AM_greeting", "out/Main Desk-AM_greeting");
    EXPECT_EQ(expectedLog,
              "Creating data file - \"out/Main Desk-AM_greeting.c23\"\r\n"
              "Creating data file - \"out/Main Desk-AM_greeting.c11\"\r\n");
    EXPECT_EQ(readText(path("log.txt")), expectedLog);
    expectHeader("out/Main Desk-AM_greeting.c23", 0x8B, "Main Desk", "AM_greeting");
    expectG711Header("out/Main Desk-AM_greeting.c11", "Main Desk", "AM_greeting");
    EXPECT_EQ(results(),
              (std::vector<std::string>{"Main Desk-AM_greeting.c11", "Main Desk-AM_greeting.c23"}));
}

TEST_F(BatchJobEndToEndTest, TheWorkedRunInModeTwo) {
    recording("day.wav");
    const ProgramResult result = batch(
        "2", configuration(attendant("Main: Desk", greeting("morning", "day.wav"))), "rec/", "out");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    const std::string expectedLog =
        expectGreeting("rec/day.wav", "Auto Attendant", "day.wav", "out/day");
    EXPECT_EQ(expectedLog,
              "Creating data file - \"out/day.c23\"\r\n"
              "Creating data file - \"out/day.c11\"\r\n");
    EXPECT_EQ(readText(path("log.txt")), expectedLog);
    expectHeader("out/day.c23", 0x8B, "Auto Attendant", "day.wav");
    expectG711Header("out/day.c11", "Auto Attendant", "day.wav");
    EXPECT_EQ(results(), (std::vector<std::string>{"day.c11", "day.c23"}));
}

TEST_F(BatchJobEndToEndTest, ModeOneNamesAfterTheAttendantWithoutReservedCharacters) {
    recording("x.wav");
    const ProgramResult result =
        batch("1", configuration(attendant("Main\\/:*?&quot;&lt;&gt;| Desk",
                                           greeting("menu", "x.wav") + greeting("Menu", "x.wav")) +
                                 attendant("|", greeting("evening", "x.wav"))));
    EXPECT_EQ(result.exitCode, 0);
    std::string expectedLog =
        expectGreeting("rec/x.wav", "Main Desk", "MN_greeting", "out/Main Desk-MN_greeting");
    expectedLog += expectGreeting("rec/x.wav", "Main Desk", "", "out/Main Desk-");
    expectedLog += expectGreeting("rec/x.wav", "", "EV_greeting", "out/-EV_greeting");
    EXPECT_EQ(readText(path("log.txt")), expectedLog);
    expectG711Header("out/Main Desk-MN_greeting.c11", "Main Desk", "MN_greeting");
    expectG711Header("out/Main Desk-.c11", "Main Desk", "");
    expectG711Header("out/-EV_greeting.c11", "", "EV_greeting");
}

TEST_F(BatchJobEndToEndTest, ModeTwoNamesAfterTheRecordingUpToTheLimit) {
    const std::string thirty = "abcdefghijklmnopqrstuvwxyz.wav";
    const std::string thirtyOne = "abcdefghijklmnopqrstuvwxyz1.wav";
    for (const std::string& name :
         std::vector<std::string>{"a.b.wav", ".wav", "sub/x.wav", thirty, "after.wav"}) {
        recording(name);
    }
    recording(thirtyOne);
    fs::create_directory(path("out/sub"));
    const ProgramResult result =
        batch("2", configuration(attendant(
                       "A", greeting("menu", "a.b.wav") + greeting("menu", ".wav") +
                                greeting("menu", "sub\\x.wav") + greeting("menu", thirty) +
                                greeting("menu", thirtyOne) + greeting("menu", "after.wav"))));
    EXPECT_EQ(result.exitCode, 255);
    std::string expectedLog = expectGreeting("rec/a.b.wav", "Auto Attendant", "a.b.wav", "out/a");
    expectedLog += expectGreeting("rec/.wav", "Auto Attendant", ".wav", "out/");
    expectedLog += expectGreeting("rec/sub/x.wav", "Auto Attendant", "x.wav", "out/sub/x");
    expectedLog +=
        expectGreeting("rec/" + thirty, "Auto Attendant", thirty, "out/abcdefghijklmnopqrstuvwxyz");
    expectedLog += "Error - wav filename \"" + thirtyOne + "\"must be < 31 characters \r\n";
    EXPECT_EQ(readText(path("log.txt")), expectedLog);
    expectG711Header("out/a.c11", "Auto Attendant", "a.b.wav");
    expectG711Header("out/.c11", "Auto Attendant", ".wav");
    expectG711Header("out/sub/x.c11", "Auto Attendant", "x.wav");
    expectG711Header("out/abcdefghijklmnopqrstuvwxyz.c11", "Auto Attendant", thirty);
    for (const std::string& name : results()) {
        EXPECT_EQ(name.find("abcdefghijklmnopqrstuvwxyz1"), std::string::npos) << name;
        EXPECT_EQ(name.find("after"), std::string::npos) << name;
    }
}

TEST_F(BatchJobEndToEndTest, AMissingRecordingInTheMiddleEndsTheRun) {
    recording("first.wav");
    recording("third.wav");
    writeText(path("out/third.c11"), "an earlier run's file");
    const ProgramResult result =
        batch("2", configuration(attendant("A", greeting("morning", "first.wav")) +
                                 attendant("B", greeting("menu", "second.wav") +
                                                    greeting("evening", "third.wav"))));
    EXPECT_EQ(result.exitCode, 255);
    std::string expectedLog =
        expectGreeting("rec/first.wav", "Auto Attendant", "first.wav", "out/first");
    expectedLog += "Error the wav file \"rec/second.wav\" doesn't exist\r\n";
    EXPECT_EQ(readText(path("log.txt")), expectedLog);
    expectG711Header("out/first.c11", "Auto Attendant", "first.wav");
    EXPECT_EQ(readText(path("out/third.c11")), "an earlier run's file");
    EXPECT_FALSE(fs::exists(path("out/third.c23")));
}

TEST_F(BatchJobEndToEndTest, AnInvalidRecordingFailsBothConversionsAndTheRunGoesOn) {
    writeText(path("rec/bad.wav"), "not a recording");
    recording("good.wav");
    const ProgramResult result = batch(
        "2", configuration(attendant("A", greeting("morning", "bad.wav") + greeting("menu", "") +
                                              greeting("evening", "good.wav"))));
    EXPECT_EQ(result.exitCode, 0);
    std::string expectedLog = expectGreeting("rec/bad.wav", "Auto Attendant", "bad.wav", "out/bad");
    expectedLog += expectGreeting("rec/good.wav", "Auto Attendant", "good.wav", "out/good");
    EXPECT_EQ(readText(path("log.txt")), expectedLog);
    EXPECT_NE(expectedLog.find("Failed to convert file \"rec/bad.wav\" to \"out/bad.c23\"\r\n"
                               "Creating data file - \"out/bad.c11\"\r\n"),
              std::string::npos);
    EXPECT_NE(expectedLog.find("Failed to convert file \"rec/bad.wav\" to \"out/bad.c11\"\r\n"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(path("out/bad.c11")));
    expectG711Header("out/good.c11", "Auto Attendant", "good.wav");
}

TEST_F(BatchJobEndToEndTest, TemplateFailures) {
    recording("1.wav");
    struct Case {
        std::string name;
        std::string xml;
        int exitCode;
        std::string logAfterConversions;
        bool firstConverted;
    };
    const Case cases[] = {
        {"not well-formed", "<zandorConfiguration>\n<AutoAttendants>\n</zandorConfiguration>", 255,
         "Failed to read the file \"t.xml\" \ndue to \"Start-end tags mismatch at line 3, "
         "column 3\"\r\n",
         false},
        {"another root",
         "<configuration><AutoAttendants>" + attendant("A", greeting("menu", "1.wav")) +
             "</AutoAttendants></configuration>",
         0, "", false},
        {"no AAName",
         configuration(attendant("A", greeting("menu", "1.wav")) +
                       "<AutoAttendant><Greetings/></AutoAttendant>"),
         255, "\r\n", true},
        {"no id",
         configuration(
             attendant("A", greeting("menu", "1.wav") + "<Greeting><RecordingName/></Greeting>")),
         255, "\r\n", true},
        {"no RecordingName",
         configuration(attendant("A", greeting("menu", "1.wav") + "<Greeting id=\"menu\"/>" +
                                          greeting("menu", "1.wav"))),
         255, "\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(path("out"));
        fs::create_directory(path("out"));
        const ProgramResult result = batch("2", c.xml);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.output, "");
        std::string expectedLog;
        if (c.firstConverted) {
            expectedLog = expectGreeting("rec/1.wav", "Auto Attendant", "1.wav", "out/1");
        } else {
            EXPECT_TRUE(results().empty());
        }
        EXPECT_EQ(readText(path("log.txt")), expectedLog + c.logAfterConversions);
    }
}

TEST_F(BatchJobEndToEndTest, PreChecksComeBeforeTheTemplateIsRead) {
    recording("1.wav");
    const std::string xml = configuration(attendant("A", greeting("menu", "1.wav")));
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string log;
    };
    fs::create_directory(path("dir.xml"));
    const Case cases[] = {
        {{"/batch2:missing.xml", "norec", "noout", "log.txt"},
         255,
         "Error opening the AA-template.xml file\r\n"},
        {{"/batch2:t.xml", "norec", "noout", "log.txt"},
         255,
         "The wav-file-directory (norec) doesn't exit\r\n"},
        {{"/batch2:t.xml", "rec", "noout", "log.txt"},
         255,
         "The results-directory doesn't exit\r\n"},
        // A directory passes for an existing template and then cannot be read.
        {{"/batch2:dir.xml", "rec", "out", "log.txt"},
         255,
         "Failed to read the file \"dir.xml\" \ndue to \"the file cannot be read: Is a "
         "directory\"\r\n"},
    };
    writeText(path("t.xml"), xml);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1] + " " + c.arguments[2]);
        const ProgramResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(readText(path("log.txt")), c.log);
        EXPECT_TRUE(results().empty());
    }
}

}  // namespace
}  // namespace quen::test
