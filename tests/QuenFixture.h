// The fixture of the `quen` end-to-end tests: runs the built `quen` in a temporary
// directory as a caller does, makes recordings with the ffmpeg command and reads back
// the canonical WAV files `quen prepare` writes.
#pragma once

#include <nlohmann/json.hpp>

#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tests/TestSupport.h"

namespace quen::test {

class Quen : public TempDirTest {
  protected:
    // `quen` with `arguments` as the shell splits them; standard error in "stderr.txt".
    // No run takes more than a second or two; one that hangs (a pipe read, say) is
    // ended after `seconds` (longer in a sanitizer build) and fails with exit code 124.
    // Runs over an hour of audio take longer and say so.
    ProgramResult tool(const std::string& arguments, int seconds = QUEN_TEST_HANG_SECONDS) const {
        return runBinary("/bin/sh",
                         {"-c", "timeout " + std::to_string(seconds) + " " QUEN_TOOL_BINARY " " +
                                    arguments + " 2>stderr.txt"},
                         dir());
    }
    std::string errors() const { return readText(path("stderr.txt")); }

    // A file made by ffmpeg from `seconds` of `expression` (of t in seconds or of the
    // sample number n) at 44.1 kHz, then `output`: options and the file; bit-exact: no
    // LIST chunk.
    void ffmpeg(const std::string& expression, double seconds, const std::string& output) const {
        ASSERT_EQ(
            shell("ffmpeg -v error -y -f lavfi -i \"aevalsrc='" + expression +
                  "':s=44100:d=" + std::to_string(seconds) + "\" -fflags +bitexact " + output),
            0);
    }

    // The 16-bit samples of a canonical 44-byte-header WAV file as they are stored.
    std::vector<std::int16_t> pcm(const std::string& wav) const {
        const Bytes file = readBytes(path(wav));
        std::vector<std::int16_t> values;
        for (std::size_t i = 44; i + 1 < file.size(); i += 2) {
            values.push_back(static_cast<std::int16_t>(file[i] | file[i + 1] << 8));
        }
        return values;
    }
    // The same, full scale 1.0.
    std::vector<double> samples(const std::string& wav) const {
        const std::vector<std::int16_t> stored = pcm(wav);
        std::vector<double> values(stored.begin(), stored.end());
        for (double& value : values) {
            value /= 32768.0;
        }
        return values;
    }

    // QuenGreeting's exit code for a greeting conversion of `wav`, and its log after the
    // "Creating data file" line, indented as `quen check` shows it.
    std::pair<int, std::string> convert(const std::string& wav) const {
        const int exitCode =
            run({"/convert:" + wav, "Box", "Rec", "alaw", "out.c11", "log.txt"}).exitCode;
        const std::string log = readText(path("log.txt"));
        return {exitCode, std::regex_replace(log.substr(log.find("\r\n") + 2),
                                             std::regex("(.*)\r\n"), "    $1\n")};
    }

    // Prepares `expression` (see ffmpeg()) with `options`: the output's samples, and the
    // JSON report in `report`. A result with findings exits 1.
    std::vector<double> prepare(const std::string& expression, double seconds,
                                const std::string& options = "", int exitCode = 0) {
        ffmpeg(expression, seconds, "in.wav");
        const ProgramResult result = tool("--json prepare -y in.wav out.wav " + options);
        EXPECT_EQ(result.exitCode, exitCode) << errors() << result.output;
        report = nlohmann::json::parse(result.output, nullptr, false);
        return samples("out.wav");
    }
    nlohmann::json report;
};

}  // namespace quen::test
