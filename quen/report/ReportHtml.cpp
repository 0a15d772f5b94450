// Every text from a template, a file name or a report is escaped on its way into the
// page; ids and file names the page makes itself are plain letters and digits.
#include "quen/report/ReportHtml.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "codec/Codec.h"
#include "quen/WaveformSvg.h"
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
    // A figure that rounds to zero is shown as 0, never -0.
    const double scale = std::pow(10.0, decimals);
    value = std::round(value * scale) / scale + 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, value, unit);
    return text;
}

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// What is written, and where each distinct audio was first embedded: a player of the
// same audio later on borrows it rather than holding another copy.
struct Page {
    PageText& out;
    const AudioStore& audio;
    std::map<std::size_t, std::string> firstPlayer;
};

// "do:" and each command, or the advice in words.
void remedy(PageText& out, const PageProblem& problem) {
    if (!problem.commands.empty()) {
        out += "<span class=\"do\">do:";
        for (const std::string& command : problem.commands) {
            out += " <code>" + escapeXml(command) + "</code>";
        }
        out += "</span>";
    } else if (!problem.advice.empty()) {
        out += "<span class=\"do\">do: " + escapeXml(problem.advice) + "</span>";
    }
}

void problemItem(PageText& out, const PageProblem& problem) {
    out += "<li class=\"problem\"><span class=\"text\">" + escapeXml(problem.text) + "</span>";
    if (!problem.anchor.empty()) {
        out += " <a href=\"#" + problem.anchor + "\">(see it)</a>";
    }
    out += " ";
    remedy(out, problem);
    out += "</li>\n";
}

void problemList(PageText& out, const std::vector<PageProblem>& problems) {
    if (problems.empty()) {
        return;
    }
    out += "<ul class=\"problems\">\n";
    for (const PageProblem& problem : problems) {
        problemItem(out, problem);
    }
    out += "</ul>\n";
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

// Audio already embedded for an earlier player is taken from it by the page's script;
// without script, the earlier player is a link away.
void player(Page& page, const PlayerAudio& sound, const std::string& id, const std::string& label,
            const std::string& name) {
    PageText& out = page.out;
    const std::size_t source = page.audio.played(sound.source);
    const auto first = page.firstPlayer.find(source);
    const bool borrowed = page.audio.embedded() && first != page.firstPlayer.end();
    out += "<div class=\"player\"><label for=\"" + id + "\">" + escapeXml(label) +
           "</label>\n<audio id=\"" + id + "\" controls preload=\"metadata\" aria-label=\"" +
           escapeXml(label + ": " + name) + "\" data-seconds=\"" + fixed(sound.seconds, 3, "") +
           "\"";
    if (borrowed) {
        out += " data-same-as=\"" + first->second + "\"></audio><a class=\"same\" href=\"#" +
               first->second + "\">the same audio as above</a>";
    } else if (page.audio.embedded()) {
        page.firstPlayer.emplace(source, id);
        out += " src=\"data:audio/wav;base64,";
        out.base64(page.audio.bytes(sound.source));
        out += "\"></audio>";
    } else {
        out += " src=\"" + escapeXml(page.audio.url(sound.source)) + "\"></audio>";
    }
    out += "</div>\n";
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
            (problems == 0 ? std::string("valid") : counted(problems, "problem", "problems")) +
                ", " + counted(packets, "packet", "packets"));
    if (report.sound && report.undecodableFrames > 0) {
        measure(out, "undecodable frames", std::to_string(report.undecodableFrames));
    }
    out += "</dl>\n";
}

// The plot, with its scales beside it in HTML: text inside the picture would shrink with
// it on a narrow screen.
void waveform(PageText& out, const DataFileView& file, const std::string& name) {
    out += "<figure class=\"wave\" role=\"img\" aria-label=\"Waveform of " + escapeXml(name) +
           "\">\n<div class=\"levels\" aria-hidden=\"true\">";
    for (const AxisTick& tick : levelTicks(-12)) {
        if (!tick.label.empty()) {
            out += "<span style=\"top:" + fixed(tick.at * 100, 2, "%") + "\">" + tick.label +
                   "</span>";
        }
    }
    out += "</div>\n<div class=\"plot\">" + file.waveform +
           "<div class=\"times\" aria-hidden=\"true\">";
    for (const AxisTick& tick : timeTicks(file.audio->seconds)) {
        out +=
            "<span style=\"left:" + fixed(tick.at * 100, 2, "%") + "\">" + tick.label + "</span>";
    }
    out += "</div></div>\n<figcaption>dBFS over time (s)</figcaption>\n</figure>\n";
}

// The packet check's findings, each at its offset.
std::vector<std::string> problemTexts(const InspectReport& report) {
    std::vector<std::string> texts;
    for (const DataFileProblem& problem : report.contents.problems) {
        texts.push_back("at offset " + std::to_string(problem.offset) + ": " + problem.text);
    }
    return texts;
}

// The file's name once, in its heading (or, without a template, the greeting's).
void dataFile(Page& page, const GreetingView& greeting, const DataFileView& file,
              std::size_t number) {
    PageText& out = page.out;
    const std::string name = file.label.empty() ? file.path : file.label;
    out += "<section class=\"datafile\" aria-label=\"" + escapeXml(name) + "\">\n";
    if (!file.label.empty()) {
        out += "<h4>" + escapeXml(file.label) + " <code>" + escapeXml(file.path) + "</code></h4>\n";
    }
    if (file.report.error) {
        out += "<p>Cannot be read: " + escapeXml(*file.report.error) + "</p>\n</section>\n";
        return;
    }
    if (file.audio) {
        player(page, *file.audio, greeting.anchor + "-file" + std::to_string(number),
               "What callers hear", name);
        waveform(out, file, name);
    }
    measures(out, file.report);
    const std::vector<std::string> problems = problemTexts(file.report);
    if (!problems.empty()) {
        out += "<details><summary>Packet check</summary>\n";
        list(out, "packet-problems", problems);
        out += "</details>\n";
    }
    out += "</section>\n";
}

void recording(Page& page, const GreetingView& greeting) {
    if (greeting.recordingPath.empty()) {
        return;
    }
    PageText& out = page.out;
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
        player(page, *greeting.recordingAudio, greeting.anchor + "-recording", "Recording",
               greeting.recordingPath);
    } else if (!greeting.recordingAudioError.empty()) {
        out += "<p>The recording " + escapeXml(greeting.recordingAudioError) + "</p>\n";
    }
}

void greetingSection(Page& page, const GreetingView& greeting, std::size_t order) {
    PageText& out = page.out;
    out += "<article class=\"greeting" +
           std::string(greeting.problems.empty() ? "" : " has-problems") + "\" id=\"" +
           greeting.anchor + "\" data-order=\"" + std::to_string(order) + "\" data-problems=\"" +
           std::to_string(greeting.problems.size()) + "\" data-name=\"" +
           escapeXml(greeting.title) + "\">\n<h3>" + std::to_string(order) + ". " +
           escapeXml(greeting.title) + "</h3>\n";
    problemList(out, greeting.problems);
    list(out, "notes", greeting.notes);
    recording(page, greeting);
    out += "<div class=\"files\">\n";
    std::size_t number = 0;
    for (const DataFileView& file : greeting.files) {
        dataFile(page, greeting, file, ++number);
    }
    out += "</div>\n</article>\n";
}

std::string whereOf(const GreetingView& greeting) {
    return (greeting.attendant.empty() ? "" : greeting.attendant + " / ") + greeting.title;
}

// Grouped by greeting, in template order; the template's own first.
void problemSummary(PageText& out, const ReportView& page) {
    std::size_t count = page.pageProblems.size();
    for (const GreetingView& greeting : page.greetings) {
        count += greeting.problems.size();
    }
    out += std::string("<section id=\"problems\"") + (count == 0 ? " class=\"none\"" : "") +
           " aria-labelledby=\"problems-heading\">\n<h2 id=\"problems-heading\">" +
           (count == 0 ? std::string("No problems found") : counted(count, "problem", "problems")) +
           "</h2>\n";
    if (count > 0) {
        out += "<ul id=\"problem-list\">\n";
        for (const PageProblem& problem : page.pageProblems) {
            problemItem(out, problem);
        }
        for (const GreetingView& greeting : page.greetings) {
            if (greeting.problems.empty()) {
                continue;
            }
            out += "<li class=\"problem-group\"><a href=\"#" + greeting.anchor + "\">" +
                   escapeXml(whereOf(greeting)) + "</a>\n";
            problemList(out, greeting.problems);
            out += "</li>\n";
        }
        out += "</ul>\n";
    }
    out += "</section>\n";
}

// A cell of the summary, `value` the number it sorts by, when it is one.
void cell(PageText& out, const std::string& heading, const std::string& text,
          std::optional<double> value = std::nullopt, bool bad = false) {
    out += "<td data-label=\"" + escapeXml(heading) + "\"" +
           (value ? " data-value=\"" + fixed(*value, 3, "") + "\"" : std::string()) +
           (bad ? " data-bad" : "") + ">" + escapeXml(text) + "</td>";
}

// One row per greeting, each linked to its card; the page's script sorts it by any
// column.
void summaryTable(PageText& out, const ReportView& page) {
    std::vector<std::string> headings = {"#", page.ofTemplate ? "greeting" : "data file"};
    if (page.ofTemplate) {
        headings.insert(headings.end(), {"attendant", "kind", "recording"});
    } else {
        headings.emplace_back("codec");
    }
    headings.insert(headings.end(), {"duration", "level", "peak"});
    headings.insert(headings.end(), page.verdictHeadings.begin(), page.verdictHeadings.end());
    out +=
        "<section id=\"summary\" aria-labelledby=\"summary-heading\">\n<h2 "
        "id=\"summary-heading\">" +
        counted(page.greetings.size(), page.ofTemplate ? "greeting" : "data file",
                page.ofTemplate ? "greetings" : "data files") +
        "</h2>\n<table id=\"summary-table\">\n<thead><tr>";
    for (const std::string& heading : headings) {
        out += "<th scope=\"col\">" + escapeXml(heading) + "</th>";
    }
    out += "</tr></thead>\n<tbody>\n";
    std::size_t order = 0;
    for (const GreetingView& greeting : page.greetings) {
        ++order;
        std::size_t column = 0;
        out += "<tr data-card=\"" + greeting.anchor + "\">";
        cell(out, headings[column++], std::to_string(order), static_cast<double>(order));
        out += "<td data-label=\"" + escapeXml(headings[column++]) + "\"><a href=\"#" +
               greeting.anchor + "\">" + escapeXml(greeting.id) + "</a></td>";
        if (page.ofTemplate) {
            cell(out, headings[column++], greeting.attendant);
        }
        cell(out, headings[column++], greeting.kind);
        if (page.ofTemplate) {
            cell(out, headings[column++], greeting.recordingName);
        }
        const auto shown = [](const std::optional<double>& value, int decimals, const char* unit) {
            return value ? fixed(*value, decimals, unit) : std::string("–");
        };
        cell(out, headings[column++], shown(greeting.seconds, 1, " s"), greeting.seconds);
        cell(out, headings[column++], shown(greeting.levelDbm0, 1, " dBm0"), greeting.levelDbm0);
        cell(out, headings[column++], shown(greeting.peakDbfs, 1, " dBFS"), greeting.peakDbfs);
        for (const std::string& verdict : greeting.verdicts) {
            cell(out, headings[column++], verdict, std::nullopt,
                 verdict != "converts" && verdict != "good" && verdict != "skipped");
        }
        out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n</section>\n";
}

}  // namespace

void writeReportHtml(const ReportView& view, const AudioStore& audio, const PageSink& write) {
    PageText out(write);
    Page page{out, audio, {}};
    out +=
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Report: " +
        escapeXml(view.title) + "</title>\n<style>" + REPORT_STYLE + "</style>\n</head>\n<body>\n";
    out += "<header>\n<h1>Report: " + escapeXml(view.title) + "</h1>\n";
    if (!view.subtitle.empty()) {
        out += "<p class=\"subtitle\">" + escapeXml(view.subtitle) + "</p>\n";
    }
    out += "</header>\n";
    summaryTable(out, view);
    problemSummary(out, view);
    out +=
        "<div id=\"controls\" hidden>\n"
        "<label><input type=\"checkbox\" id=\"play-next\"> Play next when one ends</label>\n"
        "</div>\n<main>\n";
    std::size_t order = 0;
    for (std::size_t i = 0; i < view.greetings.size();) {
        const std::string& attendant = view.greetings[i].attendant;
        const std::string heading = attendant.empty() ? "Data files" : attendant;
        out += "<section class=\"attendant\" aria-label=\"" + escapeXml(heading) + "\">\n<h2>" +
               escapeXml(heading) + "</h2>\n";
        for (; i < view.greetings.size() && view.greetings[i].attendant == attendant; ++i) {
            greetingSection(page, view.greetings[i], ++order);
            out.flush();
        }
        out += "</section>\n";
    }
    out += "</main>\n<script>" + std::string(REPORT_SCRIPT) + "</script>\n</body>\n</html>\n";
    out.flush();
}

}  // namespace quen::tool
