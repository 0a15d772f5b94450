// `quen inspect` end to end: malformed data files and files that are not regular each
// give their one message and exit code 1; recordings converted by QuenGreeting decode
// back to the source; the JSON document carries the same fields and the audio levels.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "tests/DataFileExpectation.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

// The lines of `text` that start with `prefix`.
std::string linesStartingWith(const std::string& text, const std::string& prefix) {
    std::string found;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        found += text.compare(at, prefix.size(), prefix) == 0 ? text.substr(at, end + 1 - at) : "";
    }
    return found;
}

// A greeting header and 100 A-law bytes: one packet of two frames, the second partial
// (file offsets: packet header 214, payload 215..314); byte `at` set to `value`
// and the size set to `size` spoil it.
Bytes smallALawFile(std::size_t at = 0, std::uint8_t value = 0, std::size_t size = 315) {
    Bytes file = expectedDataFile(0x89, ExpectedHeader{u"box", u"rec"}, Bytes(100, 0xD5), 80);
    file.resize(size);
    file[at] = value;
    return file;
}

class QuenInspect : public TempDirTest {};

TEST_F(QuenInspect, MalformedFilesNameTheFileAndTheProblem) {
    std::filesystem::create_directory(path("dir.cxx"));
    ASSERT_EQ(::mkfifo(path("fifo.cxx").c_str(), 0600), 0);
    // The bytes of x.cxx, and the output naming the file or, after "x.cxx: invalid", the
    // problem lines.
    const std::pair<Bytes, std::string> cases[] = {
        {{}, "dir.cxx: error: not a regular file but a directory\n"},
        {{}, "fifo.cxx: error: not a regular file but a pipe\n"},
        {{}, "missing.cxx: error: cannot open: No such file or directory\n"},
        {{}, "x.cxx: error: the file is empty\n"},
        {{0}, "x.cxx: error: the file is 1 byte long, shorter than the 214-byte preamble\n"},
        {smallALawFile(5, 207), "x.cxx: error: header length at offset 5 is 207, not 208\n"},
        {smallALawFile(3, 0x3C),
         "  problem at offset 315: the file ends 1 byte before its total length 316\n"},
        {smallALawFile(0, 0xFF),
         "  problem at offset 315: the file ends 4278190080 bytes before its total length "
         "4278190395\n"},
        {smallALawFile(2, 0),
         "  problem at offset 0: total length 59 is less than the 214-byte preamble\n"},
        {smallALawFile(317, 3, 318),
         "  problem at offset 315: 3 bytes after the total length 315\n"},
        {smallALawFile(214, 5),
         "  problem at offset 214: packet header says 6 frames (at least 401 bytes) but only "
         "100 bytes follow before the end\n"},
        {smallALawFile(214, 0),
         "  problem at offset 295: 20 bytes after the last packet (the packet at offset 214 "
         "holds 1 frame, so it must be the last)\n"},
        {expectedDataFile(0x8B, {u"box", u"rec"}, Bytes(30, 0), 24),
         "  problem at offset 239: G.723.1 stream ends in a part-frame of 6 bytes\n"},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(expected);
        const bool problem = expected.rfind("  ", 0) == 0;
        const std::string file = problem ? "x.cxx" : expected.substr(0, expected.find(':'));
        writeBytes(path("x.cxx"), bytes);
        const auto [exitCode, output] = runBinary(QUEN_TOOL_BINARY, {"inspect", file}, dir());
        EXPECT_EQ(exitCode, 1);
        EXPECT_EQ(linesStartingWith(output, file) + linesStartingWith(output, "  problem"),
                  problem ? file + ": invalid\n" + expected : expected);
    }
    // The boundary: a G.711 part-frame is legitimate audio. One loud sample, then A-law
    // silence, which decodes to 8; a lone surrogate is escaped. One document for all files.
    Bytes audio(100, 0xD5);
    audio[0] = 0xAA;  // 32256: -0.1 dBFS; RMS sqrt((32256^2 + 99 * 8^2) / 100): -20.1 dBFS
    writeBytes(path("x.cxx"), expectedDataFile(0x89, {u"A\xD800", u"rec"}, audio, 80));
    const ProgramResult json =
        runBinary(QUEN_TOOL_BINARY, {"--json", "inspect", "x.cxx", "missing.cxx"}, dir());
    EXPECT_EQ(json.exitCode, 1);
    const auto document = nlohmann::json::parse(json.output);
    EXPECT_EQ(document["valid"], false);
    EXPECT_EQ(document["files"][1]["error"], "cannot open: No such file or directory");
    const auto expected = nlohmann::json::parse(R"({"valid": true, "packets": 1, "frames": 2,
        "mailboxName": "A\\uD800", "textsWithLoneSurrogates": ["mailboxName"],
        "recordTimeUtc": "1970-01-01 00:00:00 UTC", "durationSeconds": 0.0125,
        "audio": {"samples": 100, "peakDbfs": -0.1, "rmsDbfs": -20.1, "clippedSamples": 0,
        "leadingSilenceSeconds": 0.0, "trailingSilenceSeconds": 0.012375, "undecodableFrames": 0}})");
    for (const auto& [key, value] : expected.items()) {
        EXPECT_EQ(document["files"][0][key], value) << key;
    }
}

std::vector<std::int16_t> samplesOf(const Bytes& wav) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
        samples.push_back(static_cast<std::int16_t>(wav[i] | wav[i + 1] << 8));
    }
    return samples;
}

TEST_F(QuenInspect, RecordingsComeBackThroughQuenGreetingAndInspectWav) {
    const std::string source = std::string(QUEN_SOURCE_DIR) + "/examples/greeting.wav";
    const std::vector<std::int16_t> speech = samplesOf(readBytes(source));
    const std::pair<std::vector<std::string>, std::string> trips[] = {
        {{"/convertMsg:" + source, "4711", "Ann", "Call back", "ULAW", "Y", "N", "-1", "42",
          "out.cxx", "log.txt"},
         R"({"flashType": 234, "newMessage": true, "mailboxName": "4711", "listenTime": 42,
             "recordingNameOrCallingParty": "Ann", "displayString": "Call back",
             "internalFlag": "N", "recordTime": -1})"},
        {{"/convert:" + source, "Sales", "MN_greeting", "g723", "out.cxx", "log.txt"},
         R"({"flashType": 139, "codec": "G.723.1", "mailboxName": "Sales",
             "recordingNameOrCallingParty": "MN_greeting", "internalFlag": "Y"})"},
    };
    for (const auto& [convert, fields] : trips) {
        SCOPED_TRACE(fields);
        ASSERT_EQ(run(convert).exitCode, 0);
        const ProgramResult result = runBinary(
            QUEN_TOOL_BINARY, {"--json", "inspect", "out.cxx", "--wav", "out.wav"}, dir());
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const auto report = nlohmann::json::parse(result.output)["files"][0];
        const nlohmann::json expected = nlohmann::json::parse(fields);
        for (const auto& [key, value] : expected.items()) {
            EXPECT_EQ(report[key], value) << key;
        }
        const std::vector<std::int16_t> decoded = samplesOf(readBytes(path("out.wav")));
        // G.711 keeps the speech within 30 dB SNR, a correlation above 0.9995. G.723.1
        // gives 240 samples per whole 480-byte block and lags by the encoder's 60-sample
        // look-ahead; the first 300 ms settle it.
        const bool g711 = convert[4] == "ULAW";
        ASSERT_EQ(decoded.size(), g711 ? speech.size() : speech.size() / 240 * 240);
        const std::size_t lag = g711 ? 0 : 60;
        double inputEnergy = 0, decodedEnergy = 0, product = 0;
        for (std::size_t i = g711 ? 0 : 2400; i + lag < decoded.size(); ++i) {
            inputEnergy += double{1.0} * speech[i] * speech[i];
            decodedEnergy += double{1.0} * decoded[i + lag] * decoded[i + lag];
            product += double{1.0} * speech[i] * decoded[i + lag];
        }
        EXPECT_GT(product / std::sqrt(inputEnergy * decodedEnergy), g711 ? 0.9995 : 0.9);
    }
}

}  // namespace
}  // namespace quen::test
