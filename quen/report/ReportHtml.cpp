// Every text from a template, a file name or a report is escaped on its way into the
// page; ids and file names the page makes itself are plain letters and digits.
#include "quen/report/ReportHtml.h"

#include <algorithm>
#include <cstdio>

#include "codec/Codec.h"
#include "quen/WaveformSvg.h"  // escapeXml
#include "quen/report/ReportAssets.h"

namespace quen::tool {
namespace {

// The page as it is made, handed on a greeting at a time, so that no more than one
// greeting's text is held; embedded audio goes out as it is encoded.
class PageText {
  public:
    explicit PageText(const PageSink& write) : write_(write) {}

    PageText& operator+=(std::string_view text) {
        pending_ += text;
        return *this;
    }

    void flush() {
        write_(pending_);
        pending_.clear();
    }

    void base64(const std::vector<std::uint8_t>& bytes) {
        static constexpr char DIGITS[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        // Whole groups of three bytes a piece, so the pieces join into one encoding.
        constexpr std::size_t PIECE = 3 * 16384;
        flush();
        for (std::size_t start = 0; start < bytes.size(); start += PIECE) {
            const std::size_t end = std::min(bytes.size(), start + PIECE);
            std::size_t i = start;
            for (; i + 2 < end; i += 3) {
                const std::uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
                pending_ += DIGITS[group >> 18 & 63];
                pending_ += DIGITS[group >> 12 & 63];
                pending_ += DIGITS[group >> 6 & 63];
                pending_ += DIGITS[group & 63];
            }
            if (i < end) {
                const bool two = i + 1 < end;
                const std::uint32_t group = bytes[i] << 16 | (two ? bytes[i + 1] << 8 : 0);
                pending_ += DIGITS[group >> 18 & 63];
                pending_ += DIGITS[group >> 12 & 63];
                pending_ += two ? DIGITS[group >> 6 & 63] : '=';
                pending_ += '=';
            }
            flush();
        }
    }

  private:
    const PageSink& write_;
    std::string pending_;
};

std::string fixed(double value, int decimals, const char* unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, value, unit);
    return text;
}

void list(PageText& out, const char* cssClass, const std::vector<std::string>& items) {
    if (items.empty()) {
        return;
    }
    out += std::string("<ul class=\"") + cssClass + "\">\n";
    for (const std::string& item : items) {
        out += "<li>" + escapeXml(item) + "</li>\n";
    }
    out += "</ul>\n";
}

void player(PageText& out, const AudioStore& audio, const PlayerAudio& sound, const std::string& id,
            const std::string& label) {
    out += "<div class=\"player\"><label for=\"" + id + "\">" + escapeXml(label) +
           "</label>\n<audio id=\"" + id + "\" controls preload=\"metadata\" aria-label=\"" +
           escapeXml(label) + "\" data-seconds=\"" + fixed(sound.seconds, 3, "") + "\" src=\"";
    if (audio.embedded()) {
        out += "data:audio/wav;base64,";
        out.base64(audio.bytes(sound.source));
    } else {
        out += escapeXml(audio.url(sound.source));
    }
    out += "\"></audio></div>\n";
}

void measure(PageText& out, const char* name, const std::string& value) {
    out += std::string("<dt>") + name + "</dt><dd>" + escapeXml(value) + "</dd>\n";
}

// The figures of the decoded audio, from the level to the silent ends.
void soundMeasures(PageText& out, const SoundFigures& sound) {
    if (sound.activeLevelDbm0) {
        measure(out, "active speech level", fixed(*sound.activeLevelDbm0, 1, " dBm0"));
    }
    measure(out, "activity", fixed(sound.activityFactor * 100, 0, " %"));
    measure(out, "peak", sound.peakDbfs ? fixed(*sound.peakDbfs, 1, " dBFS") : "silent");
    if (sound.truePeakDbfs) {
        measure(out, "true peak", fixed(*sound.truePeakDbfs, 1, " dBFS"));
    }
    measure(out, "clipped runs", std::to_string(sound.clippedRuns));
    measure(out, "leading silence", fixed(sound.leadingSilenceSeconds, 3, " s"));
    measure(out, "trailing silence", fixed(sound.trailingSilenceSeconds, 3, " s"));
}

void measures(PageText& out, const InspectReport& report) {
    out += "<dl class=\"measures\">\n";
    measure(out, "duration", fixed(report.durationSeconds(), 3, " s"));
    measure(out, "codec", std::string(codecFacts(report.contents.codec).name));
    if (report.sound) {
        soundMeasures(out, soundFigures(*report.sound));
    } else {
        // No decoded audio: the peak reads "silent", and the problem list says why.
        measure(out, "peak", "silent");
    }
    const std::size_t problems = report.contents.problemCount;
    const std::size_t packets = report.contents.packetCount;
    measure(out, "packet check",
            (problems == 0 ? std::string("valid") : std::to_string(problems) + " problems") + ", " +
                std::to_string(packets) + (packets == 1 ? " packet" : " packets"));
    if (report.sound && report.undecodableFrames > 0) {
        measure(out, "undecodable frames", std::to_string(report.undecodableFrames));
    }
    out += "</dl>\n";
}

// The packet check's findings, each at its offset.
std::vector<std::string> problemTexts(const InspectReport& report) {
    std::vector<std::string> texts;
    for (const DataFileProblem& problem : report.contents.problems) {
        texts.push_back("at offset " + std::to_string(problem.offset) + ": " + problem.text);
    }
    return texts;
}

void dataFile(PageText& out, const AudioStore& audio, const GreetingView& greeting,
              const DataFileView& file, std::size_t number) {
    const std::string name = file.label.empty() ? file.path : file.label + ": " + file.path;
    out += "<section class=\"datafile\" aria-label=\"" + escapeXml(name) + "\">\n<h4>" +
           escapeXml(name) + "</h4>\n";
    if (file.report.error) {
        out += "<p>Cannot be read: " + escapeXml(*file.report.error) + "</p>\n</section>\n";
        return;
    }
    if (file.audio) {
        player(out, audio, *file.audio, greeting.anchor + "-file" + std::to_string(number),
               "What callers hear: " + file.path);
        out += "<figure role=\"img\" aria-label=\"Waveform of " + escapeXml(file.path) + "\">" +
               file.waveform + "</figure>\n";
    }
    measures(out, file.report);
    const std::vector<std::string> problems = problemTexts(file.report);
    if (!problems.empty()) {
        out += "<details><summary>Packet check</summary>\n";
        list(out, "problems", problems);
        out += "</details>\n";
    }
    out += "</section>\n";
}

void recording(PageText& out, const AudioStore& audio, const GreetingView& greeting) {
    if (greeting.recordingPath.empty()) {
        return;
    }
    std::string state = "missing";
    if (greeting.recording) {
        state =
            greeting.recording->accepted ? "accepted by QuenGreeting" : "refused by QuenGreeting";
    }
    out += "<p class=\"recording\">Recording <code>" + escapeXml(greeting.recordingPath) +
           "</code>: " + state + "</p>\n";
    if (!greeting.recordingDetails.empty()) {
        std::string details;
        for (const std::string& line : greeting.recordingDetails) {
            details += line + "\n";
        }
        out += "<pre class=\"details\">" + escapeXml(details) + "</pre>\n";
    }
    if (greeting.recordingAudio) {
        player(out, audio, *greeting.recordingAudio, greeting.anchor + "-recording",
               "Recording: " + greeting.recordingPath);
    } else if (!greeting.recordingAudioError.empty()) {
        out += "<p>The recording " + escapeXml(greeting.recordingAudioError) + "</p>\n";
    }
}

void greetingSection(PageText& out, const AudioStore& audio, const GreetingView& greeting,
                     std::size_t order) {
    out += "<article class=\"greeting" +
           std::string(greeting.problems.empty() ? "" : " has-problems") + "\" id=\"" +
           greeting.anchor + "\" data-order=\"" + std::to_string(order) + "\" data-problems=\"" +
           std::to_string(greeting.problems.size()) + "\" data-name=\"" +
           escapeXml(greeting.title) + "\"" +
           (greeting.levelOffsetDb
                ? " data-level-offset=\"" + fixed(*greeting.levelOffsetDb, 2, "") + "\""
                : std::string()) +
           ">\n<h3>" + std::to_string(order) + ". " + escapeXml(greeting.title) + "</h3>\n";
    list(out, "problems", greeting.problems);
    list(out, "notes", greeting.notes);
    recording(out, audio, greeting);
    out += "<div class=\"files\">\n";
    std::size_t number = 0;
    for (const DataFileView& file : greeting.files) {
        dataFile(out, audio, greeting, file, ++number);
    }
    out += "</div>\n</article>\n";
}

void problemSummary(PageText& out, const ReportView& page) {
    std::size_t count = page.pageProblems.size();
    for (const GreetingView& greeting : page.greetings) {
        count += greeting.problems.size();
    }
    out += std::string("<section id=\"problems\"") + (count == 0 ? " class=\"none\"" : "") +
           " aria-labelledby=\"problems-heading\">\n<h2 id=\"problems-heading\">" +
           (count == 0 ? std::string("No problems found")
                       : std::to_string(count) + (count == 1 ? " problem" : " problems")) +
           "</h2>\n";
    if (count > 0) {
        out += "<ul id=\"problem-list\">\n";
        for (const std::string& problem : page.pageProblems) {
            out += "<li class=\"problem\">" + escapeXml(problem) + "</li>\n";
        }
        for (const GreetingView& greeting : page.greetings) {
            const std::string where =
                (greeting.attendant.empty() ? "" : greeting.attendant + " / ") + greeting.title;
            for (const std::string& problem : greeting.problems) {
                out += "<li class=\"problem\"><a href=\"#" + greeting.anchor + "\">" +
                       escapeXml(where) + "</a>: <span class=\"text\">" + escapeXml(problem) +
                       "</span></li>\n";
            }
        }
        out += "</ul>\n";
    }
    out += "</section>\n";
}

}  // namespace

void writeReportHtml(const ReportView& page, const AudioStore& audio, const PageSink& write) {
    PageText out(write);
    out +=
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Report: " +
        escapeXml(page.title) + "</title>\n<style>" + REPORT_STYLE + "</style>\n</head>\n<body>\n";
    out += "<header>\n<h1>Report: " + escapeXml(page.title) + "</h1>\n";
    if (!page.subtitle.empty()) {
        out += "<p class=\"subtitle\">" + escapeXml(page.subtitle) + "</p>\n";
    }
    out += "</header>\n";
    problemSummary(out, page);
    out +=
        "<div id=\"controls\" hidden>\n<label>Sort greetings <select id=\"sort\">\n"
        "<option value=\"order\">in template order</option>\n"
        "<option value=\"problems\">most problems first</option>\n"
        "<option value=\"level\">furthest from the target level first</option>\n"
        "<option value=\"name\">by name</option>\n</select></label>\n"
        "<label><input type=\"checkbox\" id=\"play-next\"> Play next when one ends</label>\n"
        "</div>\n<main>\n";
    std::size_t order = 0;
    for (std::size_t i = 0; i < page.greetings.size();) {
        const std::string& attendant = page.greetings[i].attendant;
        const std::string heading = attendant.empty() ? "Data files" : attendant;
        out += "<section class=\"attendant\" aria-label=\"" + escapeXml(heading) + "\">\n<h2>" +
               escapeXml(heading) + "</h2>\n";
        for (; i < page.greetings.size() && page.greetings[i].attendant == attendant; ++i) {
            greetingSection(out, audio, page.greetings[i], ++order);
            out.flush();
        }
        out += "</section>\n";
    }
    out += "</main>\n<script>" + std::string(REPORT_SCRIPT) + "</script>\n</body>\n</html>\n";
    out.flush();
}

}  // namespace quen::tool
