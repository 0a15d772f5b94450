// Field names, labels and units are chosen here for both outputs. Times are seconds;
// levels come from SoundMeasures.
#include "quen/inspect/InspectReport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

#include "codec/Codec.h"
#include "quen/SoundMeasures.h"
#include "quen/TextDisplay.h"

namespace quen::tool {
namespace {

std::string hexBytes(const HeaderWord& word) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", word[0], word[1], word[2], word[3]);
    return text;
}

// The flag is one UTF-16BE letter and a zero code unit; anything else has no letter.
std::optional<std::string> flagLetter(const HeaderWord& word) {
    if (word[0] == 0 && word[2] == 0 && word[3] == 0 && word[1] >= 0x20 && word[1] < 0x7F) {
        return std::string(1, static_cast<char>(word[1]));
    }
    return std::nullopt;
}

// The header's texts under their report names, in header order.
constexpr std::array<const char*, 3> TEXT_NAMES = {
    "mailbox_name", "recording_name_or_calling_party", "display_string"};

// The stored time is the low 32 bits of the seconds since 1970, so it is read
// unsigned: dates after 2038 come out right.
std::string utcDate(std::int32_t stored) {
    const std::time_t seconds = static_cast<std::uint32_t>(stored);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

// Whole frames count their full time, and the part-frame at the end of a G.711
// stream its codes.
double durationOf(const DataFileContents& contents) {
    const CodecFacts codec = codecFacts(contents.codec);
    const std::size_t units = contents.streamBytes / codec.unitCodedBytes();
    return static_cast<double>(units * codec.unitSamples) / codec.sampleRate;
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", value);
    return text;
}

std::string quoted(const std::string& text) {
    std::string out(1, '"');
    out += text;
    out += '"';
    return out;
}

void line(std::string& out, const char* label, const std::string& value) {
    char text[32];
    std::snprintf(text, sizeof text, "  %-19s ", label);
    out += text + value + "\n";
}

}  // namespace

double InspectReport::durationSeconds() const {
    return durationOf(contents);
}

nlohmann::json reportJson(const InspectReport& inspected) {
    if (inspected.error) {
        return {{"file", inspected.file}, {"valid", false}, {"error", *inspected.error}};
    }
    const DataFileContents& contents = inspected.contents;
    nlohmann::json report;
    report["file"] = inspected.file;
    report["valid"] = contents.valid();
    report["file_size"] = contents.fileSize;
    report["total_length"] = contents.totalLength;
    report["total_length_matches_file_size"] = contents.totalLength == contents.fileSize;
    report["flash_type"] = contents.flashType;
    report["codec"] = std::string(codecFacts(contents.codec).name);
    report["greeting_code"] = isGreetingFlashType(contents.flashType);
    report["new_message"] = hasNewMessageBit(contents.flashType);
    report["listed_code"] = isListedFlashType(contents.flashType);
    report["header_length"] = contents.headerLength;
    nlohmann::json broken = nlohmann::json::array();
    for (std::size_t i = 0; i < TEXT_NAMES.size(); ++i) {
        report[TEXT_NAMES[i]] = displayText(contents.texts[i]);
        if (hasLoneSurrogate(contents.texts[i])) {
            broken.push_back(TEXT_NAMES[i]);
        }
    }
    report["texts_with_lone_surrogates"] = broken;
    report["reserved"] = hexBytes(contents.reserved);
    const auto letter = flagLetter(contents.internalFlag);
    report["internal_flag"] = letter ? nlohmann::json(*letter) : nlohmann::json(nullptr);
    report["internal_flag_bytes"] = hexBytes(contents.internalFlag);
    report["record_time"] = contents.recordTime;
    if (isGreetingFlashType(contents.flashType)) {
        report["record_time_utc"] = utcDate(contents.recordTime);
    }
    report["listen_time"] = contents.listenTime;
    report["packets"] = contents.packetCount;
    report["frames"] = contents.frameCount;
    report["duration_seconds"] = durationOf(contents);
    if (inspected.sound) {
        report["audio"] = soundJson(*inspected.sound);
        report["audio"]["undecodable_frames"] = inspected.undecodableFrames;
        report["findings"] = findingsJson(inspected.findings);
    } else {
        report["audio"] = nullptr;
        report["audio_error"] = inspected.audioError;
    }
    nlohmann::json problems = nlohmann::json::array();
    for (const DataFileProblem& problem : contents.problems) {
        problems.push_back({{"offset", problem.offset}, {"text", problem.text}});
    }
    report["problems"] = problems;
    report["problem_count"] = contents.problemCount;
    return report;
}

std::string reportText(const InspectReport& inspected) {
    if (inspected.error) {
        return shownName(inspected.file) + ": error: " + shownText(*inspected.error) + "\n";
    }
    const DataFileContents& contents = inspected.contents;
    std::string out = shownName(inspected.file) + (contents.valid() ? ": valid\n" : ": invalid\n");
    line(out, "total length",
         std::to_string(contents.totalLength) +
             (contents.totalLength == contents.fileSize
                  ? " (matches the file size)"
                  : " (file size " + std::to_string(contents.fileSize) + ")"));
    char flash[16];
    std::snprintf(flash, sizeof flash, "0x%02X", unsigned{contents.flashType});
    const bool greetingCode = isGreetingFlashType(contents.flashType);
    std::string kind = greetingCode ? "greeting or message code" : "message code";
    if (!isListedFlashType(contents.flashType)) {
        kind = "unlisted message code, read as mu-law";
    }
    if (hasNewMessageBit(contents.flashType)) {
        kind += ", new-message bit set";
    }
    line(out, "flash type",
         std::string(flash) + ": " + std::string(codecFacts(contents.codec).name) + ", " + kind);
    line(out, "header length", std::to_string(unsigned{contents.headerLength}));
    line(out, "mailbox name", quoted(displayText(contents.texts[0])));
    line(out, greetingCode ? "recording name" : "calling party",
         quoted(displayText(contents.texts[1])));
    line(out, "display string", quoted(displayText(contents.texts[2])));
    for (std::size_t i = 0; i < TEXT_NAMES.size(); ++i) {
        if (hasLoneSurrogate(contents.texts[i])) {
            line(out, "note",
                 std::string(TEXT_NAMES[i]) + " holds a lone surrogate (shown as \\uXXXX)");
        }
    }
    line(out, "reserved", hexBytes(contents.reserved));
    const auto letter = flagLetter(contents.internalFlag);
    line(out, "internal flag",
         (letter ? quoted(*letter) : std::string("no letter")) + " (" +
             hexBytes(contents.internalFlag) + ")");
    std::string recordTime = std::to_string(contents.recordTime);
    if (greetingCode) {
        recordTime += " (" + utcDate(contents.recordTime) + ")";
    }
    line(out, "record time", recordTime);
    line(out, "listen time", std::to_string(contents.listenTime));
    line(out, "packets", std::to_string(contents.packetCount));
    line(out, "frames", std::to_string(contents.frameCount));
    line(out, "duration", seconds(inspected.durationSeconds()));
    if (!inspected.sound) {
        line(out, "audio", "not decoded: " + inspected.audioError);
    } else {
        out += soundText(*inspected.sound, "  ", 20);
        out += findingsText(inspected.findings, "  ", 20);
        if (std::any_of(inspected.findings.begin(), inspected.findings.end(),
                        [](const Finding& finding) { return finding.command.has_value(); })) {
            line(out, "note",
                 "the commands decode this file; preparing its master recording again is "
                 "better where it exists");
        }
        if (inspected.undecodableFrames > 0) {
            line(out, "undecodable frames",
                 std::to_string(inspected.undecodableFrames) +
                     " (each decoded as 30 ms of silence)");
        }
    }
    for (const DataFileProblem& problem : contents.problems) {
        out += "  problem at offset " + std::to_string(problem.offset) + ": " + problem.text + "\n";
    }
    if (contents.problemCount > contents.problems.size()) {
        out += "  ... and " + std::to_string(contents.problemCount - contents.problems.size()) +
               " more problems\n";
    }
    return out;
}

}  // namespace quen::tool
