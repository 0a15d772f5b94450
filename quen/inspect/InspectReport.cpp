// Field names and units are chosen once here for both outputs. Times are seconds;
// levels come from SoundMeasures.
#include "quen/inspect/InspectReport.h"

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
nlohmann::json flagLetter(const HeaderWord& word) {
    if (word[0] == 0 && word[2] == 0 && word[3] == 0 && word[1] >= 0x20 && word[1] < 0x7F) {
        return std::string(1, static_cast<char>(word[1]));
    }
    return nullptr;
}

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

std::string quoted(const nlohmann::json& text) {
    std::string out(1, '"');
    out += text.get<std::string>();
    out += '"';
    return out;
}

void line(std::string& out, const char* label, const std::string& value) {
    char text[32];
    std::snprintf(text, sizeof text, "  %-19s ", label);
    out += text + value + "\n";
}

}  // namespace

nlohmann::json unreadableReport(const std::string& file, const std::string& error) {
    return {{"file", file}, {"valid", false}, {"error", error}};
}

nlohmann::json inspectReport(const std::string& file, const DataFileContents& contents,
                             const DecodedAudio* audio, const SoundMeasures* sound,
                             const std::string& audioError) {
    nlohmann::json report;
    report["file"] = file;
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
    const char* names[3] = {"mailbox_name", "recording_name_or_calling_party", "display_string"};
    nlohmann::json broken = nlohmann::json::array();
    for (std::size_t i = 0; i < 3; ++i) {
        report[names[i]] = displayText(contents.texts[i]);
        if (hasLoneSurrogate(contents.texts[i])) {
            broken.push_back(names[i]);
        }
    }
    report["texts_with_lone_surrogates"] = broken;
    report["reserved"] = hexBytes(contents.reserved);
    report["internal_flag"] = flagLetter(contents.internalFlag);
    report["internal_flag_bytes"] = hexBytes(contents.internalFlag);
    report["record_time"] = contents.recordTime;
    if (isGreetingFlashType(contents.flashType)) {
        report["record_time_utc"] = utcDate(contents.recordTime);
    }
    report["listen_time"] = contents.listenTime;
    report["packets"] = contents.packetCount;
    report["frames"] = contents.frameCount;
    report["duration_seconds"] = durationOf(contents);
    if (audio != nullptr && sound != nullptr) {
        report["audio"] = soundJson(*sound);
        report["audio"]["undecodable_frames"] = audio->failedFrames;
    } else {
        report["audio"] = nullptr;
        report["audio_error"] = audioError;
    }
    nlohmann::json problems = nlohmann::json::array();
    for (const DataFileProblem& problem : contents.problems) {
        problems.push_back({{"offset", problem.offset}, {"text", problem.text}});
    }
    report["problems"] = problems;
    report["problem_count"] = contents.problemCount;
    return report;
}

std::string reportText(const nlohmann::json& report) {
    const std::string file = report["file"].get<std::string>();
    if (report.contains("error")) {
        return file + ": error: " + report["error"].get<std::string>() + "\n";
    }
    std::string out = file + (report["valid"].get<bool>() ? ": valid\n" : ": invalid\n");
    const auto total = report["total_length"].get<std::uint64_t>();
    line(out, "total length",
         std::to_string(total) +
             (report["total_length_matches_file_size"].get<bool>()
                  ? " (matches the file size)"
                  : " (file size " + std::to_string(report["file_size"].get<std::uint64_t>()) +
                        ")"));
    char flash[16];
    std::snprintf(flash, sizeof flash, "0x%02X", report["flash_type"].get<unsigned>());
    std::string kind =
        report["greeting_code"].get<bool>() ? "greeting or message code" : "message code";
    if (!report["listed_code"].get<bool>()) {
        kind = "unlisted message code, read as mu-law";
    }
    if (report["new_message"].get<bool>()) {
        kind += ", new-message bit set";
    }
    line(out, "flash type",
         std::string(flash) + ": " + report["codec"].get<std::string>() + ", " + kind);
    line(out, "header length", std::to_string(report["header_length"].get<unsigned>()));
    line(out, "mailbox name", quoted(report["mailbox_name"]));
    line(out, report["greeting_code"].get<bool>() ? "recording name" : "calling party",
         quoted(report["recording_name_or_calling_party"]));
    line(out, "display string", quoted(report["display_string"]));
    for (const auto& name : report["texts_with_lone_surrogates"]) {
        line(out, "note", name.get<std::string>() + " holds a lone surrogate (shown as \\uXXXX)");
    }
    line(out, "reserved", report["reserved"].get<std::string>());
    const auto& flag = report["internal_flag"];
    line(out, "internal flag",
         (flag.is_null() ? std::string("no letter") : quoted(flag)) + " (" +
             report["internal_flag_bytes"].get<std::string>() + ")");
    std::string recordTime = std::to_string(report["record_time"].get<std::int32_t>());
    if (report.contains("record_time_utc")) {
        recordTime += " (" + report["record_time_utc"].get<std::string>() + ")";
    }
    line(out, "record time", recordTime);
    line(out, "listen time", std::to_string(report["listen_time"].get<std::int32_t>()));
    line(out, "packets", std::to_string(report["packets"].get<std::uint64_t>()));
    line(out, "frames", std::to_string(report["frames"].get<std::uint64_t>()));
    line(out, "duration", seconds(report["duration_seconds"].get<double>()));
    const auto& audio = report["audio"];
    if (audio.is_null()) {
        line(out, "audio", "not decoded: " + report["audio_error"].get<std::string>());
    } else {
        out += soundText(audio, "  ", 20);
        if (audio["undecodable_frames"].get<std::uint64_t>() > 0) {
            line(out, "undecodable frames",
                 std::to_string(audio["undecodable_frames"].get<std::uint64_t>()) +
                     " (each decoded as 30 ms of silence)");
        }
    }
    for (const auto& problem : report["problems"]) {
        out += "  problem at offset " + std::to_string(problem["offset"].get<std::uint64_t>()) +
               ": " + problem["text"].get<std::string>() + "\n";
    }
    const auto listed = report["problems"].size();
    const auto all = report["problem_count"].get<std::uint64_t>();
    if (all > listed) {
        out += "  ... and " + std::to_string(all - listed) + " more problems\n";
    }
    return out;
}

}  // namespace quen::tool
