// `quen inspect` end to end: malformed data files each give their one message and
// exit code 1; recordings converted by QuenGreeting decode back to the source; the
// JSON document carries the same fields; usage errors exit 2.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/DataFileExpectation.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

class QuenInspect : public TempDirTest {
  protected:
    ProgramResult tool(const std::vector<std::string>& arguments) const {
        return runBinary(QUEN_TOOL_BINARY, arguments, dir());
    }
};

// The lines of `text` that start with `prefix`.
std::string linesStartingWith(const std::string& text, const std::string& prefix) {
    std::istringstream in(text);
    std::string line, found;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            found += line + "\n";
        }
    }
    return found;
}

// A greeting header and 100 A-law bytes: one packet of two frames, the second partial
// (file offsets: packet header 214, payload 215..314).
Bytes smallALawFile() {
    return expectedDataFile(0x89, ExpectedHeader{u"box", u"rec"}, Bytes(100, 0xD5), 80);
}

void setBigEndian(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

TEST_F(QuenInspect, MalformedFilesNameTheFileAndTheProblem) {
    struct Case {
        const char* what;
        Bytes file;
        std::string expected;  // the error line, or every "  problem" line
    };
    Bytes lying = smallALawFile();
    setBigEndian(lying, 0, 316);
    Bytes fourGigabytes = smallALawFile();
    setBigEndian(fourGigabytes, 0, 0xFFFFFFFF);
    Bytes belowPreamble = smallALawFile();
    setBigEndian(belowPreamble, 0, 0);
    Bytes trailing = smallALawFile();
    trailing.insert(trailing.end(), {1, 2, 3});
    Bytes pastEnd = smallALawFile();
    pastEnd[214] = 5;
    Bytes afterLast = smallALawFile();
    afterLast[214] = 0;
    Bytes headerLength = smallALawFile();
    headerLength[5] = 207;
    const Bytes partFrame =
        expectedDataFile(0x8B, ExpectedHeader{u"box", u"rec"}, Bytes(30, 0), 24);
    Bytes lowRate = partFrame;
    lowRate.resize(lowRate.size() - 6);
    setBigEndian(lowRate, 0, static_cast<std::uint32_t>(lowRate.size()));
    lowRate[214] = 0;
    lowRate[215] = 0x01;

    const Case cases[] = {
        {"empty", {}, "x.cxx: error: the file is empty\n"},
        {"one byte",
         {0},
         "x.cxx: error: the file is 1 byte long, shorter than the 214-byte preamble\n"},
        {"header length 207", headerLength,
         "x.cxx: error: header length at offset 5 is 207, not 208\n"},
        {"length one past the end", lying,
         "  problem at offset 315: the file ends 1 byte before its total length 316\n"},
        {"4 GB stated length", fourGigabytes,
         "  problem at offset 315: the file ends 4294966980 bytes before its total length "
         "4294967295\n"},
        {"length below the preamble", belowPreamble,
         "  problem at offset 0: total length 0 is less than the 214-byte preamble\n"},
        {"bytes after the total length", trailing,
         "  problem at offset 315: 3 bytes after the total length 315\n"},
        {"packet header past the end", pastEnd,
         "  problem at offset 214: packet header says 6 frames (at least 401 bytes) but only "
         "100 bytes follow before the end\n"},
        {"bytes after the last packet", afterLast,
         "  problem at offset 295: 20 bytes after the last packet (the packet at offset 214 "
         "holds 1 frame, so it must be the last)\n"},
        {"G.723.1 part-frame", partFrame,
         "  problem at offset 239: G.723.1 stream ends in a part-frame of 6 bytes\n"},
        {"G.723.1 5.3 kbit/s frame", lowRate,
         "  problem at offset 215: G.723.1 frame is not a 6.3 kbit/s frame (rate bits 1)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path("x.cxx"), c.file);
        const ProgramResult result = tool({"inspect", "x.cxx"});
        EXPECT_EQ(result.exitCode, 1);
        if (c.expected.rfind("x.cxx", 0) == 0) {
            EXPECT_EQ(result.output, c.expected);
        } else {
            EXPECT_EQ(linesStartingWith(result.output, "x.cxx"), "x.cxx: invalid\n");
            EXPECT_EQ(linesStartingWith(result.output, "  problem"), c.expected);
        }
    }

    // The boundary: a G.711 part-frame is legitimate audio.
    writeBytes(path("x.cxx"), smallALawFile());
    const ProgramResult valid = tool({"inspect", "x.cxx"});
    EXPECT_EQ(valid.exitCode, 0);
    EXPECT_EQ(linesStartingWith(valid.output, "x.cxx"), "x.cxx: valid\n");
    EXPECT_EQ(linesStartingWith(valid.output, "  frames"), "  frames              2\n");
}

TEST_F(QuenInspect, FilesThatAreNotRegularAreRefusedWithoutHanging) {
    std::filesystem::create_directory(path("dir.cxx"));
    ASSERT_EQ(::mkfifo(path("fifo.cxx").c_str(), 0600), 0);
    struct Case {
        const char* file;
        std::string expected;
    };
    const Case cases[] = {
        {"dir.cxx", "dir.cxx: error: not a regular file but a directory\n"},
        {"fifo.cxx", "fifo.cxx: error: not a regular file but a pipe\n"},
        {"missing.cxx", "missing.cxx: error: cannot open: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ProgramResult result = tool({"inspect", c.file});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, c.expected);
    }
    if (::geteuid() != 0) {  // root reads anything
        writeBytes(path("locked.cxx"), smallALawFile());
        std::filesystem::permissions(path("locked.cxx"), std::filesystem::perms::none);
        const ProgramResult result = tool({"inspect", "locked.cxx"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, "locked.cxx: error: cannot open: Permission denied\n");
    }
}

std::vector<std::int16_t> samplesOf(const Bytes& wav) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
        samples.push_back(static_cast<std::int16_t>(wav[i] | wav[i + 1] << 8));
    }
    return samples;
}

struct RoundTrip {
    const char* what;
    std::vector<std::string> convert;
    std::string fields;  // the report lines that echo the operands
    bool g723;
};

TEST_F(QuenInspect, RecordingsComeBackThroughQuenGreetingAndInspectWav) {
    const std::string source = std::string(QUEN_SOURCE_DIR) + "/examples/greeting.wav";
    const Bytes sourceFile = readBytes(source);
    ASSERT_EQ(std::string(sourceFile.begin() + 36, sourceFile.begin() + 40), "data");
    const std::vector<std::int16_t> speech = samplesOf(sourceFile);

    const RoundTrip trips[] = {
        {"A-law greeting",
         {"/convert:" + source, "Main Desk", "AM_greeting", "alaw", "out.cxx", "log.txt"},
         "  mailbox name        \"Main Desk\"\n  recording name      \"AM_greeting\"\n"
         "  display string      \"\"\n  internal flag       \"Y\" (00 59 00 00)\n",
         false},
        {"mu-law message",
         {"/convertMsg:" + source, "4711", "Ann", "Call back", "ULAW", "Y", "N", "-1", "42",
          "out.cxx", "log.txt"},
         "  flash type          0xEA: mu-law, message code, new-message bit set\n"
         "  mailbox name        \"4711\"\n  calling party       \"Ann\"\n"
         "  display string      \"Call back\"\n  internal flag       \"N\" (00 4E 00 00)\n"
         "  record time         -1\n  listen time         42\n",
         false},
        {"G.723.1 greeting",
         {"/convert:" + source, "Sales", "MN_greeting", "g723", "out.cxx", "log.txt"},
         "  flash type          0x8B: G.723.1, greeting or message code\n"
         "  mailbox name        \"Sales\"\n  recording name      \"MN_greeting\"\n",
         true},
    };
    for (const RoundTrip& trip : trips) {
        SCOPED_TRACE(trip.what);
        ASSERT_EQ(run(trip.convert).exitCode, 0);
        const ProgramResult result = tool({"inspect", "out.cxx", "--wav", "out.wav"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        std::string echoed;
        for (const char* label : {"  flash type", "  mailbox", "  recording", "  calling",
                                  "  display", "  internal", "  record time", "  listen"}) {
            if (trip.fields.find(label) != std::string::npos) {
                echoed += linesStartingWith(result.output, label);
            }
        }
        EXPECT_EQ(echoed, trip.fields);

        const std::vector<std::int16_t> decoded = samplesOf(readBytes(path("out.wav")));
        if (!trip.g723) {
            ASSERT_EQ(decoded.size(), speech.size());
            double signal = 0, noise = 0;
            for (std::size_t i = 0; i < speech.size(); ++i) {
                signal += double{1.0} * speech[i] * speech[i];
                noise += std::pow(double(speech[i]) - decoded[i], 2);
            }
            EXPECT_GE(10 * std::log10(signal / noise), 30.0);
            continue;
        }
        // 240 samples per whole 480-byte block; the decoder lags by the encoder's
        // 60-sample look-ahead, and the first 300 ms settle it.
        ASSERT_EQ(decoded.size(), speech.size() / 240 * 240);
        double inputEnergy = 0, decodedEnergy = 0, product = 0;
        for (std::size_t i = 2400; i + 60 < decoded.size(); ++i) {
            inputEnergy += double{1.0} * speech[i] * speech[i];
            decodedEnergy += double{1.0} * decoded[i + 60] * decoded[i + 60];
            product += double{1.0} * speech[i] * decoded[i + 60];
        }
        EXPECT_GT(product / std::sqrt(inputEnergy * decodedEnergy), 0.9);
    }
}

TEST_F(QuenInspect, JsonDocumentHoldsEveryFile) {
    ExpectedHeader header{u"A\xD800", u"rec"};
    header.recordTime = 0;
    writeBytes(path("good.cxx"), expectedDataFile(0x89, header, Bytes(8000, 0xD5), 80));
    writeBytes(path("empty.cxx"), {});
    const ProgramResult result = tool({"--json", "inspect", "good.cxx", "empty.cxx"});
    EXPECT_EQ(result.exitCode, 1);
    const auto document = nlohmann::json::parse(result.output);
    EXPECT_EQ(document["valid"], false);
    ASSERT_EQ(document["files"].size(), 2u);
    const auto& good = document["files"][0];
    EXPECT_EQ(good["valid"], true);
    EXPECT_EQ(good["totalLength"], 8215);
    EXPECT_EQ(good["mailboxName"], "A\\uD800");
    EXPECT_EQ(good["textsWithLoneSurrogates"], nlohmann::json::array({"mailboxName"}));
    EXPECT_EQ(good["recordTimeUtc"], "1970-01-01 00:00:00 UTC");
    EXPECT_EQ(good["packets"], 1);
    EXPECT_EQ(good["frames"], 100);
    EXPECT_EQ(good["durationSeconds"], 1.0);
    EXPECT_EQ(good["audio"]["peakDbfs"], -72.2);  // A-law silence decodes to 8
    EXPECT_EQ(good["audio"]["leadingSilenceSeconds"], 1.0);
    EXPECT_EQ(document["files"][1]["error"], "the file is empty");
}

TEST_F(QuenInspect, UsageErrorsExitTwoAndHelpExitsZero) {
    writeBytes(path("a.cxx"), smallALawFile());
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{}, 2},
        {{"inspect"}, 2},
        {{"inspect", "--bogus", "a.cxx"}, 2},
        {{"inspect", "a.cxx", "a.cxx", "--wav", "out.wav"}, 2},
        {{"frobnicate"}, 2},
        {{"--help"}, 0},
        {{"help", "inspect"}, 0},
        {{"--version"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        EXPECT_EQ(tool(c.arguments).exitCode, c.exitCode);
    }
    EXPECT_FALSE(std::filesystem::exists(path("out.wav")));
    EXPECT_EQ(tool({"--version"}).output.rfind("quen ", 0), 0u);
}

}  // namespace
}  // namespace quen::test
