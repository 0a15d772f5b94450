// `quen report` pages opened in Debian's headless chromium: what a person sees is what
// the browser made of the page, after its script ran. Every player must have read its
// audio at the data file's own length, the problem list must hold exactly the
// fixture's problems, and the console must stay quiet.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileHandle.h"
#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

constexpr const char* CHROMIUM = "/usr/bin/chromium";

// An element's attributes, as chromium serialised them.
using Attributes = std::map<std::string, std::string>;

// Scanned by hand: std::regex recurses per character and overflows the stack on the
// megabytes of base64 a page holds.
std::vector<Attributes> elements(const std::string& dom, const std::string& tag) {
    std::vector<Attributes> found;
    const std::string open = "<" + tag;
    for (std::size_t at = dom.find(open); at != std::string::npos; at = dom.find(open, at)) {
        at += open.size();
        if (dom[at] != ' ' && dom[at] != '>') {
            continue;
        }
        Attributes attributes;
        while (at < dom.size() && dom[at] != '>') {
            if (dom[at] == ' ') {
                ++at;
                continue;
            }
            const std::size_t nameEnd = dom.find_first_of("= >", at);
            const std::string name = dom.substr(at, nameEnd - at);
            at = nameEnd;
            if (dom[at] == '=' && dom[at + 1] == '"') {
                const std::size_t valueEnd = dom.find('"', at + 2);
                attributes[name] = dom.substr(at + 2, valueEnd - at - 2);
                at = valueEnd + 1;
            } else {
                attributes[name] = "";
            }
        }
        found.push_back(attributes);
    }
    return found;
}

std::string unescaped(std::string text) {
    for (const auto& [entity, plain] : {std::pair{"&lt;", "<"},
                                        {"&gt;", ">"},
                                        {"&quot;", "\""},
                                        {"&#39;", "'"},
                                        {"&amp;", "&"}}) {
        text = std::regex_replace(text, std::regex(entity), plain);
    }
    return text;
}

// The problem list at the top, tags removed: "where: text do: what" per problem, where
// is the greeting it is grouped under, if any.
std::vector<std::string> topProblems(const std::string& dom) {
    std::vector<std::string> problems;
    const std::size_t start = dom.find("<ul id=\"problem-list\">");
    if (start == std::string::npos) {
        return problems;
    }
    const std::string section = dom.substr(start, dom.find("</section>", start) - start);
    const std::string group = "<li class=\"problem-group\">";
    const std::string problem = "<li class=\"problem\">";
    std::string where;
    for (std::size_t at = 0;;) {
        const std::size_t nextGroup = section.find(group, at);
        const std::size_t nextProblem = section.find(problem, at);
        if (nextProblem == std::string::npos) {
            break;
        }
        if (nextGroup < nextProblem) {
            at = nextGroup + group.size();
            where = section.substr(at, section.find("</a>", at) - at);
            where = std::regex_replace(where, std::regex("<[^>]*>"), "") + ": ";
            continue;
        }
        at = nextProblem + problem.size();
        const std::string item = section.substr(at, section.find("</li>", at) - at);
        problems.push_back(unescaped(where + std::regex_replace(item, std::regex("<[^>]*>"), "")));
    }
    return problems;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class ReportPage : public Quen {
  protected:
    void SetUp() override {
        Quen::SetUp();
        if (!std::filesystem::exists(CHROMIUM)) {
            GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
        }
    }

    // Headless chromium with a profile of its own in `profile`, then `options`.
    std::string chromium(const std::string& profile, const std::string& options) const {
        return std::string("timeout 90 ") + CHROMIUM +
               " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
               " --disable-background-networking --disable-component-update --disable-sync"
               " --user-data-dir=" +
               path(profile).string() + " " + options;
    }

    // The page after its script ran, and every console line in `console`.
    std::string browse(const std::string& page, const std::string& extra = "") {
        const std::string command =
            chromium("chromium-profile",
                     "--enable-logging=stderr --v=0 --virtual-time-budget=10000 " + extra +
                         " --dump-dom file://" + path(page).string() + " >dom.html 2>chromium.txt");
        EXPECT_EQ(shell(command), 0) << readText(path("chromium.txt"));
        console.clear();
        const std::string log = readText(path("chromium.txt"));
        const std::regex line(R"(:CONSOLE[^\]]*\] (.*))");
        for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it) {
            console.push_back((*it)[1]);
        }
        return readText(path("dom.html"));
    }

    // `quen report ARGUMENTS -o report.html`, which exits with `exitCode`, then the page
    // as browsed, with a quiet console.
    std::string reportPage(const std::string& arguments, int exitCode) {
        EXPECT_EQ(tool("report " + arguments + " -o report.html").exitCode, exitCode) << errors();
        const std::string dom = browse("report.html");
        EXPECT_TRUE(console.empty()) << console.front();
        return dom;
    }

    // Every player read its audio, at the length the page states and at `expected`
    // seconds by its id (from the fixture, not from the page).
    void expectPlayersLoaded(const std::string& dom,
                             const std::map<std::string, double>& expected) {
        const auto players = elements(dom, "audio");
        ASSERT_EQ(players.size(), expected.size());
        for (const Attributes& player : players) {
            const std::string id = player.at("id");
            ASSERT_TRUE(player.contains("data-loaded-seconds")) << id << " did not load";
            EXPECT_FALSE(player.contains("data-load-error")) << id;
            EXPECT_TRUE(player.contains("aria-label")) << id;
            const double loaded = std::stod(player.at("data-loaded-seconds"));
            ASSERT_TRUE(expected.contains(id)) << id;
            EXPECT_NEAR(loaded, expected.at(id), 0.030) << id;
            EXPECT_NEAR(loaded, std::stod(player.at("data-seconds")), 0.030) << id;
        }
    }

    void copyExamples() {
        ASSERT_EQ(
            shell("cp -r " + std::string(QUEN_SOURCE_DIR) + "/examples/recordings " +
                  std::string(QUEN_SOURCE_DIR) + "/examples/aa-template.xml . && mkdir results"),
            0);
    }
    // The examples converted in both modes.
    void convertExamples() {
        ASSERT_NO_FATAL_FAILURE(copyExamples());
        ASSERT_EQ(run({"/batch1:aa-template.xml", "recordings", "results", "log1.txt"}).exitCode,
                  0);
        ASSERT_EQ(run({"/batch2:aa-template.xml", "recordings", "results", "log2.txt"}).exitCode,
                  0);
    }
    // Their page, report.html.
    void reportExamples() {
        ASSERT_NO_FATAL_FAILURE(convertExamples());
        ASSERT_EQ(tool("report --template aa-template.xml --wav-dir recordings --result-dir "
                       "results -o report.html")
                      .exitCode,
                  0)
            << errors();
    }

    double wavSeconds(const std::string& wav) const {
        return static_cast<double>(std::filesystem::file_size(path(wav)) - 44) / 16000;
    }

    std::vector<std::string> console;
};

// Converted in both modes, the examples have no problem; every greeting is there in
// template order, each data file with a player of the recording's length (G.723.1
// rounds down to whole 30 ms frames).
TEST_F(ReportPage, ExamplesInBothModesPlayEveryGreetingInTemplateOrder) {
    ASSERT_NO_FATAL_FAILURE(convertExamples());
    const std::string dom =
        reportPage("--template aa-template.xml --wav-dir recordings --result-dir results", 0);
    EXPECT_TRUE(topProblems(dom).empty());
    EXPECT_NE(dom.find("batch modes 1 and 2; recordings in recordings, data files in results"),
              std::string::npos);

    const std::vector<std::pair<std::string, std::string>> greetings = {
        {"morning", "main-morning.wav"},
        {"afternoon", "main-afternoon.wav"},
        {"evening", ""},
        {"menu", "main-menu.wav"},
        {"morning", "sales-morning.wav"},
        {"holiday", "sales-holiday.wav"}};
    const auto articles = elements(dom, "article");
    ASSERT_EQ(articles.size(), greetings.size());
    std::map<std::string, double> expected;
    for (std::size_t i = 0; i < greetings.size(); ++i) {
        std::string anchor(1, 'g');
        anchor += std::to_string(i + 1);
        EXPECT_EQ(articles[i].at("id"), anchor);
        EXPECT_TRUE(articles[i].at("data-name").starts_with(greetings[i].first)) << i;
        if (greetings[i].second.empty()) {
            continue;
        }
        const double seconds = wavSeconds("recordings/" + greetings[i].second);
        expected[anchor + "-recording"] = seconds;
        // Modes 1 and 2, G.723.1 and G.711 each.
        for (int file = 1; file <= 4; ++file) {
            expected[anchor + "-file" + std::to_string(file)] =
                file % 2 == 1 ? std::floor(seconds / 0.03) * 0.03 : seconds;
        }
    }
    expectPlayersLoaded(dom, expected);

    // For a person to look at: the page as a browser draws it.
    const std::string screenshot =
        std::filesystem::path(QUEN_BINARY).parent_path() / "report-example.png";
    ASSERT_EQ(
        shell(chromium("shot-profile",
                       "--hide-scrollbars --window-size=1100,2400 --screenshot=" + screenshot +
                           " file://" + path("report.html").string() + " 2>/dev/null")),
        0);
    EXPECT_GT(std::filesystem::file_size(screenshot), 10000u);
}

// Appended to a page, run inside a frame of a given width once the players had time to
// load: what the layout came to and what sorting the summary by level gives, posted to
// the frame's page as "key=value|...".
constexpr const char* PROBE = R"js(<script>
window.addEventListener("load", function () { setTimeout(function () {
  function ids(selector, attribute) {
    return Array.prototype.map.call(document.querySelectorAll(selector), function (e) {
      return e.getAttribute(attribute);
    }).join(" ");
  }
  var smallest = 1000;
  document.querySelectorAll("figure.wave span, #summary-table td").forEach(function (e) {
    if (e.getClientRects().length) { smallest = Math.min(smallest, parseFloat(getComputedStyle(e).fontSize)); }
  });
  var result = ["scroll=" + document.documentElement.scrollWidth, "width=" + window.innerWidth,
    "font=" + smallest, "rows=" + ids("#summary-table tbody tr", "data-card"),
    "cards=" + ids("article", "id"), "players=" + document.querySelectorAll("audio").length,
    "loaded=" + document.querySelectorAll("audio[data-loaded-seconds]").length,
    "errors=" + document.querySelectorAll("audio[data-load-error]").length];
  var level = Array.prototype.filter.call(document.querySelectorAll("#summary-table th button"),
    function (button) { return button.textContent === "level"; })[0];
  level.click();
  result.push("up=" + ids("#summary-table tbody tr", "data-card"));
  level.click();
  result.push("down=" + ids("#summary-table tbody tr", "data-card"));
  parent.postMessage(result.join("|"), "*");
}, 1000); });
</script>)js";

// From a phone to a desktop: nothing runs off the side, the waveforms' labels and the
// summary read at 100 % zoom (11 px or more), the summary has a row per card in the
// cards' order and sorts by level both ways (greetings without a level last), and every
// player loads. The page is framed at each width: a headless window is no narrower
// than 500 px.
TEST_F(ReportPage, FitsEveryWidthWithASummaryRowPerCard) {
    ASSERT_NO_FATAL_FAILURE(reportExamples());
    const std::string page = readText(path("report.html"));
    writeText(path("probe.html"), page + PROBE);

    // The order sorting by level must give, from the page's own figures.
    std::vector<std::pair<double, std::string>> levels;
    std::vector<std::string> unlevelled;
    for (const Attributes& row : elements(page, "tr")) {
        if (!row.contains("data-card")) {
            continue;
        }
        const std::size_t at = page.find("<tr data-card=\"" + row.at("data-card") + "\"");
        const std::string cells = page.substr(at, page.find("</tr>", at) - at);
        const auto level = elements(cells, "td data-label=\"level\"");
        ASSERT_EQ(level.size(), 1u);
        if (level[0].contains("data-value")) {
            levels.emplace_back(std::stod(level[0].at("data-value")), row.at("data-card"));
        } else {
            unlevelled.push_back(row.at("data-card"));
        }
    }
    ASSERT_EQ(levels.size() + unlevelled.size(), 6u);
    ASSERT_FALSE(unlevelled.empty());
    const auto joined = [&unlevelled](const std::vector<std::pair<double, std::string>>& sorted) {
        std::string text;
        for (const auto& [level, card] : sorted) {
            text += (text.empty() ? "" : " ") + card;
        }
        for (const std::string& card : unlevelled) {
            text += " " + card;
        }
        return text;
    };
    std::stable_sort(levels.begin(), levels.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::string up = joined(levels);
    std::stable_sort(levels.begin(), levels.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    const std::string down = joined(levels);

    for (const int width : {360, 412, 1400}) {
        SCOPED_TRACE(width);
        const std::string frame = "frame" + std::to_string(width) + ".html";
        writeText(path(frame),
                  "<!DOCTYPE html><html><body style=\"margin:0\"><iframe src=\"probe.html\" "
                  "style=\"border:0;width:" +
                      std::to_string(width) +
                      "px;height:900px\"></iframe><script>window.addEventListener(\"message\", "
                      "function (e) { document.body.setAttribute(\"data-probe\", e.data); "
                      "});</script></body></html>");
        const std::string dom = browse(frame);
        EXPECT_TRUE(console.empty()) << console.front();
        const auto bodies = elements(dom, "body");
        ASSERT_EQ(bodies.size(), 1u);
        ASSERT_TRUE(bodies[0].contains("data-probe")) << "the probe did not report";
        std::map<std::string, std::string> probe;
        std::stringstream fields(bodies[0].at("data-probe"));
        for (std::string field; std::getline(fields, field, '|');) {
            probe[field.substr(0, field.find('='))] = field.substr(field.find('=') + 1);
        }
        EXPECT_LE(std::stoi(probe["scroll"]), std::stoi(probe["width"]));
        EXPECT_LE(std::stoi(probe["width"]), width);
        EXPECT_GE(std::stod(probe["font"]), 11.0);
        EXPECT_EQ(probe["rows"], "g1 g2 g3 g4 g5 g6");
        EXPECT_EQ(probe["cards"], probe["rows"]);
        EXPECT_EQ(probe["players"], "25");
        EXPECT_EQ(probe["loaded"], "25");
        EXPECT_EQ(probe["errors"], "0");
        EXPECT_EQ(probe["up"], up);
        EXPECT_EQ(probe["down"], down);
    }
}

// Printed, the six examples in both modes (24 data files with their waveforms) take no
// more than a page a greeting: players are left out, data files go two to a row, and no
// card is pushed whole onto the next page, which left the first one half empty.
TEST_F(ReportPage, PrintedTheExamplesTakeAPageAGreetingAtMost) {
    ASSERT_NO_FATAL_FAILURE(reportExamples());
    ASSERT_EQ(shell(chromium("print-profile", "--no-pdf-header-footer --print-to-pdf=" +
                                                  path("report.pdf").string() + " file://" +
                                                  path("report.html").string() + " 2>/dev/null")),
              0);
    const std::string pdf = readText(path("report.pdf"));
    std::size_t pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1)) {
        pages += pdf[at + 11] != 's';
    }
    EXPECT_GE(pages, 2u);
    EXPECT_LE(pages, 6u);
}

// A template with one problem of each kind the page gathers; the top of the page lists
// exactly them, grouped by greeting in template order, each with what to do. The data
// files a missing recording never made are not listed again, and the greeting after
// the one that ends the run is told of once, at that greeting.
TEST_F(ReportPage, ProblemsAtTheTopAreExactlyTheTemplatesProblems) {
    writeText(path("t.xml"),
              configuration(attendant(
                  "Front", greeting("morning", "a.wav") + greeting("afternoon", "b.wav") +
                               greeting("menu", "c.wav") + greeting("menu", "d.wav") +
                               greeting("evening", "gone.wav") + greeting("holiday", "a.wav"))));
    ASSERT_EQ(shell("mkdir rec results"), 0);
    const std::string telephone = " -ar 8000 -ac 1 -c:a pcm_s16le ";
    // Tones near the target level, so that no level problem joins those planted here.
    for (const char* name : {"a", "b", "d"}) {
        ffmpeg("0.11*sin(2*PI*440*t)", 1.0, telephone + "rec/" + name + ".wav");
    }
    // Refused: 16 kHz. The page plays it resampled.
    ffmpeg("0.11*sin(2*PI*440*t)", 1.0, "-ar 16000 -ac 1 rec/c.wav");
    run({"/batch1:t.xml", "rec", "results", "log.txt"});
    // One data file gone; one older than its recording, if by less than a second.
    ASSERT_EQ(shell("rm results/Front-PM_greeting.c11 && "
                    "touch -d '2020-01-01 00:00:00.6' rec/a.wav && "
                    "touch -d '2020-01-01 00:00:00.3' results/Front-AM_greeting.c23"),
              0);

    const std::string dom =
        reportPage("--template t.xml --wav-dir rec --result-dir results --mode 1", 1);
    const std::string batch = " do: QuenGreeting /batch1:t.xml rec results log.txt";
    const std::vector<std::string> expected = {
        "mode 1: the run ends at greeting 5 (Front / evening (EV_greeting): gone.wav); 1 "
        "greeting after it is not reached (see it) do: mend that greeting's problem; the "
        "greetings after it follow",
        "Front / morning (AM_greeting): a.wav: mode 1, G.723.1: the data file "
        "results/Front-AM_greeting.c23 is older than its recording" +
            batch,
        "Front / afternoon (PM_greeting): b.wav: mode 1, G.711: the data file "
        "results/Front-PM_greeting.c11 is missing" +
            batch,
        "Front / menu (MN_greeting): c.wav: QuenGreeting refuses the recording; both "
        "conversions fail do: mv -n -- rec/c.wav rec/c-master.wav && quen prepare "
        "rec/c-master.wav rec/c.wav",
        "Front / menu (MN_greeting): d.wav: mode 1: writes the same data files as greeting 3, "
        "which it replaces do: give one of the two greetings another id or attendant, so that "
        "each has data files of its own",
        "Front / evening (EV_greeting): gone.wav: mode 1: the recording rec/gone.wav does not "
        "exist; the run ends here with: Error the wav file \"rec/gone.wav\" doesn't exist do: "
        "put the recording there, or correct its RecordingName in the template"};
    EXPECT_EQ(topProblems(dom), expected);
    EXPECT_NE(dom.find("<a href=\"#g5\">(see it)</a>"), std::string::npos);
    // And each greeting lists its own: the five of the list, again in their cards.
    EXPECT_EQ(elements(dom, "ul class=\"problems\"").size(), 10u);
    const auto articles = elements(dom, "article");
    ASSERT_EQ(articles.size(), 6u);
    const std::vector<std::string> perGreeting = {"1", "1", "1", "1", "1", "0"};
    for (std::size_t i = 0; i < articles.size(); ++i) {
        EXPECT_EQ(articles[i].at("data-problems"), perGreeting[i]) << i;
    }
    // The summary's verdicts, row by row.
    const std::vector<std::string> verdicts = {"1 problem", "1 problem", "1 problem",
                                               "1 problem", "1 problem", "not reached"};
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
        const std::string row = "<tr data-card=\"g" + std::to_string(i + 1) + "\">";
        const std::size_t at = dom.find(row);
        ASSERT_NE(at, std::string::npos) << row;
        EXPECT_NE(dom.substr(at, dom.find("</tr>", at) - at)
                      .find("data-label=\"mode 1\" data-bad=\"\">" + verdicts[i] + "</td>"),
                  std::string::npos)
            << i;
    }
    // G.723.1 keeps whole 30 ms frames: 0.99 s of each second.
    // Greeting 2's G.711 file was removed; greeting 5's recording does not exist; greeting
    // 6 plays greeting 1's recording, and is not reached, so never converted.
    std::map<std::string, double> players;
    for (const std::string g : {"g1", "g2", "g3", "g4"}) {
        players[g + "-recording"] = 1.0;
        players[g + "-file1"] = 0.99;
        if (g != "g2") {
            players[g + "-file2"] = 1.0;
        }
    }
    players["g6-recording"] = 1.0;
    expectPlayersLoaded(dom, players);
}

// Past 50 MB of distinct audio the players link WAV files in a folder named after the
// page: two data files of 27 minutes are 52 MB. A byte-for-byte copy of one, and that
// one named twice, add no file: each distinct audio is written once, as the decoded
// data file byte for byte as `quen inspect --wav` writes it, and the browser plays it in
// every player.
class LargeReport : public ReportPage {
  protected:
    void SetUp() override {
        ReportPage::SetUp();
        if (IsSkipped()) {
            return;
        }
        // The sweep at a fifth and a sixth of its range: near the target level, so the
        // page has no problem to report.
        for (const auto& [name, divisor] : {std::pair{"long", 5}, std::pair{"other", 6}}) {
            std::vector<std::int16_t> samples = testSignal(SECONDS * 8000);
            for (std::int16_t& sample : samples) {
                sample = static_cast<std::int16_t>(sample / divisor);
            }
            const std::string stem = name;
            writeBytes(path(stem + ".wav"), pcmWav(samples));
            ASSERT_EQ(
                run({"/convert:" + stem + ".wav", "Box", "Rec", "alaw", stem + ".c11", "log.txt"})
                    .exitCode,
                0);
        }
        ASSERT_EQ(shell("cp long.c11 copy.c11"), 0);
    }
    static constexpr std::size_t SECONDS = 27 * 60;
    // Over an hour of audio decoded, measured and drawn: seconds in a release build,
    // far more under the address sanitizer.
    static constexpr int LONG_RUN_SECONDS = 600;
    const std::string command = "report long.c11 other.c11 copy.c11 long.c11 -o page.html";
};

TEST_F(LargeReport, AudioPastTheLimitIsWrittenOnceBesideThePage) {
    ASSERT_EQ(tool(command, LONG_RUN_SECONDS).exitCode, 0) << errors();
    const std::string page = readText(path("page.html"));
    EXPECT_EQ(page.find("data:audio"), std::string::npos);
    std::map<std::string, std::string> sources;
    for (const Attributes& player : elements(page, "audio")) {
        EXPECT_EQ(player.at("data-seconds"), "1620.000");
        sources[player.at("id")] = player.at("src");
    }
    ASSERT_EQ(sources.size(), 4u);
    // Long, its copy and long again play one file; the other its own.
    EXPECT_EQ(sources["g1-file1"], sources["g3-file1"]);
    EXPECT_EQ(sources["g1-file1"], sources["g4-file1"]);
    EXPECT_NE(sources["g1-file1"], sources["g2-file1"]);
    for (const auto& [name, player] : {std::pair{"long", "g1-file1"}, {"other", "g2-file1"}}) {
        ASSERT_EQ(
            tool("inspect -y " + std::string(name) + ".c11 --wav decoded.wav", LONG_RUN_SECONDS)
                .exitCode,
            0)
            << errors();
        EXPECT_EQ(readBytes(path(sources[player])), readBytes(path("decoded.wav"))) << name;
    }
    // The two files, and the list of what the run wrote.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("page-audio")),
                            std::filesystem::directory_iterator()),
              3);
    const std::string dom = browse("page.html");
    EXPECT_TRUE(console.empty()) << console.front();
    std::map<std::string, double> expected;
    for (const auto& [id, src] : sources) {
        expected[id] = SECONDS;
    }
    expectPlayersLoaded(dom, expected);

    // Again with the audio inside the page: the folder the first run left goes.
    ASSERT_EQ(shell("head -c 20000 long.c11 >short.c11"), 0);
    EXPECT_LE(tool("report -y short.c11 -o page.html").exitCode, 1) << errors();
    EXPECT_NE(readText(path("page.html")).find("data:audio"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path("page-audio")));
}

// A link in the audio folder's place is not followed: nothing is written through it,
// and no page that would link missing audio is left behind.
TEST_F(LargeReport, ALinkInPlaceOfTheAudioFolderIsRefused) {
    ASSERT_EQ(shell("mkdir elsewhere && ln -s elsewhere page-audio"), 0);
    EXPECT_EQ(tool(command, LONG_RUN_SECONDS).exitCode, 2);
    EXPECT_EQ(errors(),
              "quen report: page-audio: is in the way of the audio folder (not a "
              "directory)\n");
    EXPECT_TRUE(std::filesystem::is_empty(path("elsewhere")));
    EXPECT_FALSE(std::filesystem::exists(path("page.html")));
}

// A page that cannot be put in place takes the audio folder it wrote with it.
TEST_F(LargeReport, APageThatCannotBeReplacedLeavesNoAudioFolder) {
    writeText(path("page.html"), "old");
    const FileHandle holder(::open(path("page.html").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
    EXPECT_EQ(tool("report -y long.c11 other.c11 -o page.html", LONG_RUN_SECONDS).exitCode, 2);
    EXPECT_EQ(errors(),
              "quen report: page.html: cannot write: in use by another program (category 11)\n");
    EXPECT_EQ(readText(path("page.html")), "old");
    EXPECT_FALSE(std::filesystem::exists(path("page-audio")));
}

// Names from a template are text on the page, never markup: an attendant or recording
// name that looks like a tag adds no element, and runs no script.
TEST_F(ReportPage, NamesFromTheTemplateAreNeverMarkup) {
    const std::string attendant = "&lt;script&gt;document.title='owned'&lt;/script&gt;";
    const std::string recording = "x\"&gt;&lt;img src=y onerror=alert(1)&gt;.wav";
    writeText(path("t.xml"),
              configuration(quen::test::attendant(attendant, greeting("menu", recording))));
    ASSERT_EQ(shell("mkdir rec"), 0);
    const std::string dom = reportPage("--template t.xml --wav-dir rec", 1);
    EXPECT_EQ(elements(dom, "script").size(), 1u);
    EXPECT_TRUE(elements(dom, "img").empty());
    EXPECT_EQ(dom.find("owned</title>"), std::string::npos);
    EXPECT_NE(dom.find("<h2>&lt;script&gt;document.title='owned'&lt;/script&gt;</h2>"),
              std::string::npos);
}

// A template needs its recordings' directory, as for `quen check`: a usage error, and
// no page.
TEST_F(Quen, ReportOfATemplateWithoutItsRecordingsIsAUsageError) {
    EXPECT_EQ(tool("report --template t.xml -o report.html").exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(path("report.html")));
}

// A run that cannot start is the page's first problem: a missing template leaves no
// greeting to show, and must not read as a page without problems; the template named
// but missing is trouble. No browser needed.
TEST_F(Quen, ARunThatCannotStartIsThePagesProblem) {
    ASSERT_EQ(shell("mkdir rec"), 0);
    EXPECT_EQ(tool("report --template gone.xml --wav-dir rec -o page.html").exitCode, 2);
    const std::string page = readText(path("page.html"));
    EXPECT_NE(page.find("<h2 id=\"problems-heading\">1 problem</h2>\n<ul id=\"problem-list\">\n"
                        "<li class=\"problem\"><span class=\"text\">the run stops before its "
                        "first greeting: Error opening the AA-template.xml file</span> <span "
                        "class=\"do\">do: name a template, a recordings directory and a "
                        "data-file directory that are there</span></li>"),
              std::string::npos)
        << page.substr(0, 2000);
}

// 48 greetings, the fifth without its recording: the page opens on a summary of all 48,
// before the problems and the cards, and the 43 greetings the runs never reach are one
// line for both modes, not one per greeting and mode. No browser needed.
TEST_F(Quen, AFortyEightGreetingPageOpensOnItsSummary) {
    ASSERT_EQ(shell("mkdir rec res"), 0);
    writeBytes(path("rec/a.wav"), pcmWav(testSignal(800)));
    std::string attendants;
    for (int desk = 1; desk <= 12; ++desk) {
        std::string greetings;
        for (const std::string kind : {"morning", "afternoon", "evening", "menu"}) {
            greetings += greeting(kind, desk == 2 && kind == "morning" ? "gone.wav" : "a.wav");
        }
        attendants += attendant("Desk " + std::to_string(desk), greetings);
    }
    writeText(path("t.xml"), configuration(attendants));
    EXPECT_EQ(tool("report --template t.xml --wav-dir rec --result-dir res -o page.html").exitCode,
              1)
        << errors();
    const std::string page = readText(path("page.html"));
    const std::size_t summary = page.find("<section id=\"summary\"");
    EXPECT_LT(summary, page.find("<section id=\"problems\""));
    EXPECT_LT(page.find("<section id=\"problems\""), page.find("<main>"));
    EXPECT_EQ(page.rfind("<section", summary), summary);
    EXPECT_NE(page.find("<h2 id=\"summary-heading\">48 greetings</h2>"), std::string::npos);
    EXPECT_EQ(occurrences(page, "<tr data-card="), 48u);
    EXPECT_EQ(occurrences(page, "not reached</span>"), 1u);
    EXPECT_NE(page.find("<span class=\"text\">modes 1 and 2: the run ends at greeting 5 (Desk 2 / "
                        "morning (AM_greeting): gone.wav); 43 greetings after it are not "
                        "reached</span> <a href=\"#g5\">"),
              std::string::npos);
    EXPECT_EQ(occurrences(page, ">not reached</td>"), 2u * 43u);
}

// A greeting without a recording is skipped in both modes, not judged; a recording no
// decoder reads says why it cannot be played; each data file is named under its mode
// and codec. No browser needed.
TEST_F(Quen, ATemplatesCardsNameTheirFilesAndSayWhatCannotBePlayed) {
    ASSERT_EQ(shell("mkdir rec res"), 0);
    writeBytes(path("rec/a.wav"), pcmWav(testSignal(8000)));
    writeText(path("rec/noise.wav"), "not a recording at all, only words\n");
    writeText(path("t.xml"), configuration(attendant(
                                 "Main", greeting("morning", "a.wav") + greeting("evening", "") +
                                             greeting("afternoon", "noise.wav"))));
    ASSERT_EQ(run({"/batch1:t.xml", "rec", "res", "log1.txt"}).exitCode, 0);
    ASSERT_EQ(run({"/batch2:t.xml", "rec", "res", "log2.txt"}).exitCode, 0);
    ASSERT_EQ(tool("report --template t.xml --wav-dir rec --result-dir res -o page.html").exitCode,
              1)
        << errors();
    const std::string page = readText(path("page.html"));
    // The summary names each greeting's kind, as mode 1 names its file.
    EXPECT_NE(page.find("<td data-label=\"kind\">AM_greeting</td>"
                        "<td data-label=\"recording\">a.wav</td>"),
              std::string::npos);
    EXPECT_NE(page.find("<td data-label=\"recording\"></td><td data-label=\"duration\">–</td>"
                        "<td data-label=\"level\">–</td><td data-label=\"peak\">–</td>"
                        "<td data-label=\"mode 1\">skipped</td>"
                        "<td data-label=\"mode 2\">skipped</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("<p>The recording cannot be played: not a recording in any format known "
                        "here (Invalid data found when processing input)</p>"),
              std::string::npos);
    const std::size_t card = page.find("id=\"g1\" data-order=");
    std::vector<std::string> headings;
    for (std::size_t at = page.find("<h4>", card); at < page.find("</article>", card);
         at = page.find("<h4>", at + 1)) {
        headings.push_back(page.substr(at, page.find('\n', at) - at));
    }
    EXPECT_EQ(headings, (std::vector<std::string>{
                            "<h4>mode 1, G.723.1 <code>res/Main-AM_greeting.c23</code></h4>",
                            "<h4>mode 1, G.711 <code>res/Main-AM_greeting.c11</code></h4>",
                            "<h4>mode 2, G.723.1 <code>res/a.c23</code></h4>",
                            "<h4>mode 2, G.711 <code>res/a.c11</code></h4>"}));
}

// The page never replaces a file it shows, not even with -y; no browser needed.
TEST_F(Quen, ReportIsNotWrittenOverItsInput) {
    const std::string greeting = std::string(QUEN_SOURCE_DIR) + "/examples/greeting.wav";
    ASSERT_EQ(run({"/convert:" + greeting, "Box", "Rec", "alaw", "a.c11", "log.txt"}).exitCode, 0);
    const Bytes before = readBytes(path("a.c11"));
    EXPECT_EQ(tool("report -y a.c11 -o ./a.c11").exitCode, 2);
    EXPECT_EQ(errors(),
              "quen report: ./a.c11: is the input a.c11; the page is not written over "
              "it\n");
    EXPECT_EQ(readBytes(path("a.c11")), before);
}

// Without a browser: the audio inside the page is the decoded data file byte for byte,
// whatever the remainder of its length by three (base64's padding), and the measures
// are inspect's, in the page's own rounding.
TEST_F(Quen, ThePageHoldsEachDataFilesOwnAudioAndMeasures) {
    std::string inputs;
    for (const std::size_t samples : {8000, 8001, 8002}) {
        const std::string name = std::to_string(samples);
        writeBytes(path(name + ".wav"), pcmWav(testSignal(samples)));
        ASSERT_EQ(run({"/convert:" + name + ".wav", "Box", "Rec", "alaw", name + ".c11", "log.txt"})
                      .exitCode,
                  0);
        inputs += " " + name + ".c11";
    }
    // One more file that fails the packet check: 20 bytes after its last packet.
    Bytes bad = readBytes(path("8000.c11"));
    bad.resize(bad.size() + 20, 0);
    writeBytes(path("bad.c11"), bad);
    // The full-range sweep is a problem of level; the page is written all the same.
    ASSERT_EQ(tool("report" + inputs + " bad.c11 -o page.html").exitCode, 1) << errors();
    const std::string page = readText(path("page.html"));
    EXPECT_NE(page.find("<div class=\"files\">"), std::string::npos);
    EXPECT_NE(page.find("<td data-label=\"data file\"><a href=\"#g4\">bad.c11</a></td>"),
              std::string::npos);
    // Every element the page opens, it closes.
    const auto count = [&page](const std::string& pattern) {
        const std::regex tag(pattern);
        return std::distance(std::sregex_iterator(page.begin(), page.end(), tag),
                             std::sregex_iterator());
    };
    for (const std::string element : {"section", "article", "div", "dl", "ul", "li", "details"}) {
        EXPECT_EQ(count("<" + element + "[ >]"), count("</" + element + ">")) << element;
    }
    // Without a template the page speaks of files only, each named once in its problems.
    EXPECT_EQ(page.find("template order"), std::string::npos);
    EXPECT_NE(page.find("<li class=\"problem-group\"><a href=\"#g4\">bad.c11</a>\n<ul "
                        "class=\"problems\">\n<li class=\"problem\"><span class=\"text\">fails "
                        "the packet check (1 problem)</span> <span class=\"do\">do: convert its "
                        "recording again</span></li>"),
              std::string::npos);
    // Its problems, and only its, are listed under its measures.
    const std::string packetCheck = "<details><summary>Packet check</summary>";
    EXPECT_GT(page.find(packetCheck), page.find("id=\"g4\""));
    EXPECT_EQ(page.find(packetCheck), page.rfind(packetCheck));
    for (const std::size_t g : {1, 2, 3}) {
        const std::string name = std::to_string(7999 + g);
        SCOPED_TRACE(name);
        // Findings about the sound (1) still decode; only trouble (2) writes nothing.
        ASSERT_LE(tool("inspect -y " + name + ".c11 --wav decoded.wav").exitCode, 1) << errors();
        const std::size_t player = page.find("id=\"g" + std::to_string(g) + "-file1\"");
        EXPECT_LT(
            page.rfind("<section class=\"datafile\" aria-label=\"" + name + ".c11\">", player),
            player);
        const std::size_t start = page.find("base64,", player) + 7;
        writeText(path("audio.txt"), page.substr(start, page.find('"', start) - start));
        ASSERT_EQ(shell("base64 -d audio.txt >embedded.wav"), 0);
        EXPECT_EQ(readBytes(path("embedded.wav")), readBytes(path("decoded.wav")));

        const auto inspected =
            nlohmann::json::parse(tool("--json inspect " + name + ".c11").output)["files"][0];
        const auto& audio = inspected["audio"];
        // The summary's row states the data file's own duration, as inspect does.
        const double seconds = inspected["duration_seconds"].get<double>();
        char duration[80];
        std::snprintf(duration, sizeof duration,
                      "<td data-label=\"duration\" data-value=\"%.3f\">%.1f s</td>", seconds,
                      seconds);
        const std::size_t row = page.find("<tr data-card=\"g" + std::to_string(g) + "\">");
        EXPECT_NE(page.substr(row, page.find("</tr>", row) - row).find(duration), std::string::npos)
            << duration;
        // Each figure as inspect gives it, to the page's own decimals.
        const auto shown = [&audio](const char* key, int decimals, double scale = 1) {
            char text[32];
            std::snprintf(text, sizeof text, "%.*f", decimals, audio[key].get<double>() * scale);
            return std::string(text);
        };
        const std::size_t next = page.find("<article", player);
        const std::string measures = page.substr(player, next - player);
        for (const std::string& measure :
             {"<dt>activity</dt><dd>" + shown("activity_factor", 0, 100) + " %</dd>",
              "<dt>peak</dt><dd>" + shown("peak_dbfs", 1) + " dBFS</dd>",
              "<dt>true peak</dt><dd>" + shown("true_peak_dbfs", 1) + " dBFS</dd>",
              "<dt>leading silence</dt><dd>" + shown("leading_silence_seconds", 3) + " s</dd>",
              "<dt>trailing silence</dt><dd>" + shown("trailing_silence_seconds", 3) + " s</dd>",
              std::string("<dt>packet check</dt><dd>valid, 1 packet</dd>")}) {
            EXPECT_NE(measures.find(measure), std::string::npos) << measure << "\n" << measures;
        }
    }
}

// The check of the console is itself checked: a page with a script error and a
// console.error shows both.
TEST_F(ReportPage, ConsoleErrorsOfAPageAreSeen) {
    writeText(path("broken.html"),
              "<!DOCTYPE html><html><body><script>console.error('deliberate');"
              "notDefinedAnywhere();</script></body></html>");
    browse("broken.html");
    ASSERT_EQ(console.size(), 2u);
    EXPECT_NE(console[0].find("deliberate"), std::string::npos);
    EXPECT_NE(console[1].find("notDefinedAnywhere"), std::string::npos);
}

}  // namespace
}  // namespace quen::test
