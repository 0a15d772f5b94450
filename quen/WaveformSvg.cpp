// Fixed 1200 x 300 canvas: the plot fills the middle, ticks fall on a "nice" step of
// seconds so that about ten of them are labelled whatever the length.
#include "quen/WaveformSvg.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace quen::tool {
namespace {

constexpr int WIDTH = 1200;
constexpr int HEIGHT = 300;
constexpr int LEFT = 50;
constexpr int RIGHT = 20;
constexpr int TOP = 40;
constexpr int BOTTOM = 40;
constexpr int PLOT_WIDTH = WIDTH - LEFT - RIGHT;
constexpr int PLOT_HEIGHT = HEIGHT - TOP - BOTTOM;
constexpr double SAMPLE_RATE = 8000;

}  // namespace

std::string escapeXml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

double yOf(int sample) {
    return TOP + PLOT_HEIGHT / 2.0 - sample * (PLOT_HEIGHT / 2.0) / 32768.0;
}

double tickStep(double seconds) {
    constexpr std::array<double, 13> STEPS{0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1,
                                           2,    5,    10,   30,  60,  300};
    for (const double step : STEPS) {
        if (seconds / step <= 12) {
            return step;
        }
    }
    return 600;
}

std::string envelope(std::span<const std::int16_t> samples) {
    std::string upper;
    std::vector<std::string> lower;
    for (int column = 0; column < PLOT_WIDTH; ++column) {
        const std::size_t first = samples.size() * column / PLOT_WIDTH;
        const std::size_t end = std::max(first + 1, samples.size() * (column + 1) / PLOT_WIDTH);
        const auto [low, high] = std::minmax_element(
            samples.begin() + first, samples.begin() + std::min(end, samples.size()));
        const std::string x = number(LEFT + column + 0.5);
        upper += x + "," + number(yOf(*high)) + " ";
        lower.push_back(x + "," + number(yOf(*low)) + " ");
    }
    // Along the maxima, then back along the minima: one closed outline.
    for (auto point = lower.rbegin(); point != lower.rend(); ++point) {
        upper += *point;
    }
    return "<polygon fill=\"#2a6fb0\" stroke=\"#2a6fb0\" stroke-width=\"0.5\" points=\"" + upper +
           "\"/>\n";
}

}  // namespace

std::string waveformSvg(std::span<const std::int16_t> samples, const std::string& title) {
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        std::to_string(WIDTH) + "\" height=\"" + std::to_string(HEIGHT) + "\" viewBox=\"0 0 " +
        std::to_string(WIDTH) + " " + std::to_string(HEIGHT) +
        "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<text x=\"" + std::to_string(LEFT) + "\" y=\"24\" font-size=\"15\">" +
           escapeXml(title) + "</text>\n";
    svg += "<rect x=\"" + std::to_string(LEFT) + "\" y=\"" + std::to_string(TOP) + "\" width=\"" +
           std::to_string(PLOT_WIDTH) + "\" height=\"" + std::to_string(PLOT_HEIGHT) +
           "\" fill=\"none\" stroke=\"#999\"/>\n";
    const std::string middle = number(yOf(0));
    svg += "<line x1=\"" + std::to_string(LEFT) + "\" y1=\"" + middle + "\" x2=\"" +
           std::to_string(LEFT + PLOT_WIDTH) + "\" y2=\"" + middle + "\" stroke=\"#ccc\"/>\n";
    if (samples.empty()) {
        svg += "<text x=\"" + std::to_string(LEFT + PLOT_WIDTH / 2) + "\" y=\"" + middle +
               "\" text-anchor=\"middle\">no audio</text>\n";
    } else {
        svg += envelope(samples);
    }

    const double seconds = static_cast<double>(samples.size()) / SAMPLE_RATE;
    const double step = tickStep(seconds);
    const int bottom = TOP + PLOT_HEIGHT;
    for (int i = 0; seconds > 0 && i * step <= seconds + 1e-9; ++i) {
        const double x = LEFT + PLOT_WIDTH * (i * step / seconds);
        char label[32];
        std::snprintf(label, sizeof label, "%g", i * step);
        svg += "<line x1=\"" + number(x) + "\" y1=\"" + std::to_string(bottom) + "\" x2=\"" +
               number(x) + "\" y2=\"" + std::to_string(bottom + 5) + "\" stroke=\"#555\"/>\n";
        svg += "<text x=\"" + number(x) + "\" y=\"" + std::to_string(bottom + 18) +
               "\" text-anchor=\"middle\">" + label + "</text>\n";
    }
    svg += "<text x=\"" + std::to_string(LEFT + PLOT_WIDTH) + "\" y=\"" +
           std::to_string(HEIGHT - 4) + "\" text-anchor=\"end\">time (s)</text>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace quen::tool
