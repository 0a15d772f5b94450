// The page's HTML for a report put together by hand: embedded audio decodes back to its
// bytes whatever its length, a player of audio already on the page borrows it, and the
// summary row and the greeting's card show each figure and note it is given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "quen/report/ReportHtml.h"

namespace quen::test {
namespace {

std::vector<std::uint8_t> fromBase64(const std::string& text) {
    static const std::string DIGITS =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<std::uint8_t> bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=') {
            break;
        }
        bits = bits << 6 | static_cast<std::uint32_t>(DIGITS.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<std::uint8_t>(bits >> count));
        }
    }
    return bytes;
}

// The base64 of the player with element id `id`, or "none".
std::string embeddedAudio(const std::string& page, const std::string& id) {
    const std::size_t player = page.find("<audio id=\"" + id + "\"");
    if (player == std::string::npos) {
        return "none";
    }
    const std::string prefix = "src=\"data:audio/wav;base64,";
    const std::size_t end = page.find("</audio>", player);
    const std::size_t start = page.find(prefix, player);
    if (start == std::string::npos || start > end) {
        return "none";
    }
    return page.substr(start + prefix.size(),
                       page.find('"', start + prefix.size()) - start - prefix.size());
}

std::vector<std::uint8_t> counting(std::size_t size, std::uint8_t from) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(from + i * 37);
    }
    return bytes;
}

class ReportHtmlTest : public TempDirTest {
  protected:
    // Gives the store each source's bytes, in order.
    void give(tool::AudioStore& store, const std::vector<std::vector<std::uint8_t>>& audio) {
        for (std::size_t source = 0; source < audio.size(); ++source) {
            store.addSource(std::to_string(source) + ".wav");
        }
        for (std::size_t source = 0; source < audio.size(); ++source) {
            tool::AudioOutput output = store.start(source, audio[source].size());
            output.append(audio[source]);
            ASSERT_TRUE(store.finish(std::move(output)));
        }
    }

    std::string write(const tool::ReportView& view, const tool::AudioStore& store) {
        std::string page;
        tool::writeReportHtml(view, store, [&](std::string_view piece) { page += piece; });
        return page;
    }
};

// The byte counts leave one and two bytes past whole groups of three, and fill whole
// groups: each tail has its own padding.
TEST_F(ReportHtmlTest, EmbeddedAudioDecodesToItsBytesAndTheSameAudioIsBorrowed) {
    const std::vector<std::vector<std::uint8_t>> audio = {
        counting(3 * 700 + 1, 1), counting(3 * 700 + 2, 2), counting(3 * 700, 3),
        counting(3 * 700 + 2, 2)};
    tool::AudioStore store(tool::AudioFolder(dir().string(), "p-audio", "p-audio", {}, false));
    give(store, audio);
    ASSERT_TRUE(store.embedded());

    tool::ReportView view;
    view.title = "t.xml";
    view.ofTemplate = true;
    view.verdictHeadings = {"mode 1"};
    for (std::size_t source = 0; source < audio.size(); ++source) {
        tool::GreetingView& greeting = view.greetings.emplace_back();
        greeting.anchor = "g" + std::to_string(source + 1);
        greeting.attendant = "Main";
        greeting.title = "greeting " + std::to_string(source + 1);
        greeting.recordingPath = "wav/r" + std::to_string(source) + ".wav";
        greeting.recordingAudio = tool::PlayerAudio{source, 1.5};
        greeting.verdicts = {"converts"};
    }
    const std::string page = write(view, store);

    for (std::size_t source = 0; source < 3; ++source) {
        SCOPED_TRACE(source);
        const std::string id = "g" + std::to_string(source + 1) + "-recording";
        const std::string text = embeddedAudio(page, id);
        EXPECT_EQ(text.size() % 4, 0u);
        EXPECT_EQ(fromBase64(text), audio[source]);
    }
    // The fourth plays the second's bytes: no second copy, a link to the first player.
    EXPECT_EQ(embeddedAudio(page, "g4-recording"), "none");
    EXPECT_NE(page.find("<audio id=\"g4-recording\" controls preload=\"metadata\" "
                        "aria-label=\"Recording: wav/r3.wav\" data-seconds=\"1.500\" "
                        "data-same-as=\"g2-recording\"></audio><a class=\"same\" "
                        "href=\"#g2-recording\">the same audio as above</a>"),
              std::string::npos);
}

TEST_F(ReportHtmlTest, TheSummaryAndTheCardShowEveryFigureAndNote) {
    tool::AudioStore store(tool::AudioFolder(dir().string(), "p-audio", "p-audio", {}, false));
    give(store, {counting(30, 1)});
    tool::ReportView view;
    view.title = "t.xml";
    view.ofTemplate = true;
    view.verdictHeadings = {"mode 1", "mode 2"};
    tool::GreetingView& greeting = view.greetings.emplace_back();
    greeting.anchor = "g1";
    greeting.attendant = "Main";
    greeting.title = "Welcome";
    greeting.id = "welcome-1";
    greeting.kind = "greeting";
    greeting.recordingName = "welcome";
    greeting.seconds = 12.34;
    greeting.levelDbm0 = -21.06;
    greeting.peakDbfs = -0.04;
    greeting.verdicts = {"skipped", "not reached"};
    greeting.notes = {"the recording's player holds its first hour only"};
    greeting.recordingPath = "wav/welcome.wav";
    greeting.recordingAudioError = "cannot be played: no audio stream";
    tool::DataFileView& file = greeting.files.emplace_back();
    file.label = "mode 1, G.711";
    file.path = "res/welcome.c11";
    file.exists = true;
    file.waveform = "<svg></svg>";
    file.audio = tool::PlayerAudio{0, 3.0};
    const std::string page = write(view, store);

    EXPECT_NE(page.find("<tr data-card=\"g1\"><td data-label=\"#\" data-value=\"1.000\">1</td>"
                        "<td data-label=\"greeting\"><a href=\"#g1\">welcome-1</a></td>"
                        "<td data-label=\"attendant\">Main</td>"
                        "<td data-label=\"kind\">greeting</td>"
                        "<td data-label=\"recording\">welcome</td>"
                        "<td data-label=\"duration\" data-value=\"12.340\">12.3 s</td>"
                        "<td data-label=\"level\" data-value=\"-21.060\">-21.1 dBm0</td>"
                        "<td data-label=\"peak\" data-value=\"-0.040\">0.0 dBFS</td>"
                        "<td data-label=\"mode 1\">skipped</td>"
                        "<td data-label=\"mode 2\" data-bad>not reached</td></tr>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<ul class=\"notes\">\n<li>the recording's player holds its first "
                        "hour only</li>\n</ul>\n"),
              std::string::npos);
    EXPECT_NE(page.find("<p class=\"recording\">Recording <code>wav/welcome.wav</code>: "
                        "missing</p>\n<p>The recording cannot be played: no audio stream</p>"),
              std::string::npos);
    // Three seconds marked every half second, each label where its time falls.
    EXPECT_NE(page.find("<div class=\"times\" aria-hidden=\"true\"><span style=\"left:0.00%\">0"
                        "</span><span style=\"left:16.67%\">0.5</span><span style=\"left:33.33%\">1"
                        "</span>"),
              std::string::npos)
        << page;
}

}  // namespace
}  // namespace quen::test
