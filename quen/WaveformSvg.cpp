// Fixed 1200 x 300 canvas: the plot fills the middle, ticks fall on a "nice" step of
// seconds so that about ten of them are labelled whatever the length. Silence is shaded
// grey, clipped runs are marked red above the plot (at its top edge in a page's plot).
#include "quen/WaveformSvg.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dsp/AudioLevels.h"
#include "dsp/ClippingRuns.h"
#include "wav/WaveFormat.h"

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
constexpr double SAMPLE_RATE = SPEECH_SAMPLE_RATE;

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

// Appends `value` as "%.1f" prints it, rounding alike, without printf's cost on
// thousands of points.
void appendNumber(std::string& out, double value) {
    char text[32];
    const auto written =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    out.append(text, written.ptr);
}

std::string number(double value) {
    std::string text;
    appendNumber(text, value);
    return text;
}

double yOf(double sample) {
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

// What one pixel column shows of the samples it covers.
struct Column {
    int low = 0;
    int high = 0;
    double rms = 0.0;
    bool clipped = false;  // part of a clipped run falls in it
    bool silent = false;   // nothing in it reaches the silence threshold
};

std::vector<Column> columnsOf(std::span<const std::int16_t> samples, std::int16_t lowest,
                              std::int16_t highest) {
    const double silence = 32768.0 * std::pow(10.0, SILENCE_THRESHOLD_DBFS / 20.0);
    std::vector<Column> columns(PLOT_WIDTH);
    // A column is marked where the count of samples in runs grows: where a run reaches
    // the length that counts, even when it starts in the column before, and wherever it
    // goes on. The count never falls, so one look per column finds any sample that grew it.
    // Nothing before the first sample at full scale is in a run: counting starts there.
    ClippingRunCounter clipping(lowest, highest);
    const std::size_t count = samples.size();
    const auto fullScale = std::find_if(samples.begin(), samples.end(), [=](std::int16_t s) {
        return s <= lowest || s >= highest;
    });
    for (std::size_t first = static_cast<std::size_t>(fullScale - samples.begin());
         first < count;) {
        const std::size_t index = first * PLOT_WIDTH / count;
        // The first sample that falls in a later column.
        const std::size_t end = ((index + 1) * count + PLOT_WIDTH - 1) / PLOT_WIDTH;
        const std::size_t before = clipping.result().samples;
        clipping.add(samples.subspan(first, end - first));
        if (clipping.result().samples > before) {
            columns[index].clipped = true;
        }
        first = end;
    }
    for (int index = 0; index < PLOT_WIDTH; ++index) {
        // A short file has fewer samples than columns: the columns between repeat one.
        const std::size_t first = samples.size() * index / PLOT_WIDTH;
        const std::size_t end = std::min(
            samples.size(), std::max(first + 1, samples.size() * (index + 1) / PLOT_WIDTH));
        const auto covered = samples.subspan(first, end - first);
        Column& column = columns[index];
        const auto [low, high] = std::minmax_element(covered.begin(), covered.end());
        column.low = *low;
        column.high = *high;
        // Exact in integers (a double summed them exactly too, below 2^23 full-scale
        // samples a column: days of audio), and the loop vectorises.
        std::uint64_t squares = 0;
        for (const std::int16_t sample : covered) {
            squares += static_cast<std::uint32_t>(sample * sample);
        }
        column.rms = std::sqrt(static_cast<double>(squares) / static_cast<double>(covered.size()));
        column.silent = std::max(std::abs(column.low), std::abs(column.high)) < silence;
    }
    return columns;
}

// One closed outline: along the tops, then back along the bottoms.
std::string outline(const std::vector<Column>& columns, auto top, auto bottom,
                    const std::string& colour) {
    std::string points;
    const auto point = [&points](std::size_t column, double sample) {
        appendNumber(points, LEFT + column + 0.5);
        points += ',';
        appendNumber(points, yOf(sample));
        points += ' ';
    };
    for (std::size_t i = 0; i < columns.size(); ++i) {
        point(i, top(columns[i]));
    }
    for (std::size_t i = columns.size(); i-- > 0;) {
        point(i, bottom(columns[i]));
    }
    return "<polygon fill=\"" + colour + "\" stroke=\"" + colour +
           "\" stroke-width=\"0.5\" points=\"" + points + "\"/>\n";
}

// Runs of columns for which `marked` holds, as rectangles over the plot's height.
std::string bands(const std::vector<Column>& columns, bool Column::*marked, const std::string& fill,
                  int y, int height) {
    std::string out;
    for (std::size_t i = 0; i < columns.size();) {
        if (!(columns[i].*marked)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < columns.size() && columns[end].*marked) {
            ++end;
        }
        out += "<rect x=\"" + std::to_string(LEFT + i) + "\" y=\"" + std::to_string(y) +
               "\" width=\"" + std::to_string(end - i) + "\" height=\"" + std::to_string(height) +
               "\" fill=\"" + fill + "\"/>\n";
        i = end;
    }
    return out;
}

// The min/max envelope shows every peak; on a long file it fills the plot, so the RMS
// envelope inside it, darker, keeps the shape of the speech readable at any length.
std::string waveform(std::span<const std::int16_t> samples, std::int16_t lowest,
                     std::int16_t highest, int clippedY) {
    const std::vector<Column> columns = columnsOf(samples, lowest, highest);
    std::string out = bands(columns, &Column::silent, "#eeeeee", TOP, PLOT_HEIGHT);
    out += outline(
        columns, [](const Column& c) { return static_cast<double>(c.high); },
        [](const Column& c) { return static_cast<double>(c.low); }, "#8fb8de");
    out += outline(
        columns, [](const Column& c) { return c.rms; }, [](const Column& c) { return -c.rms; },
        "#1f4e79");
    out += bands(columns, &Column::clipped, "#d62728", clippedY, 6);
    return out;
}

constexpr std::array<int, 4> DECIBEL_TICKS{0, -6, -12, -20};

// Amplitude ticks in dBFS, mirrored above and below the middle line.
std::string decibelScale() {
    std::string out;
    for (const AxisTick& tick : levelTicks()) {
        const std::string y = number(TOP + tick.at * PLOT_HEIGHT);
        out += "<line x1=\"" + std::to_string(LEFT - 5) + "\" y1=\"" + y + "\" x2=\"" +
               std::to_string(LEFT) + "\" y2=\"" + y + "\" stroke=\"#555\"/>\n";
        out += "<text x=\"" + std::to_string(LEFT - 7) + "\" y=\"" + y +
               "\" text-anchor=\"end\" dominant-baseline=\"middle\" font-size=\"10\">" +
               tick.label + "</text>\n";
    }
    out += "<text x=\"4\" y=\"" + std::to_string(TOP - 10) + "\" font-size=\"10\">dBFS</text>\n";
    return out;
}

}  // namespace

std::vector<AxisTick> levelTicks(int lowestLabelled) {
    std::vector<AxisTick> ticks;
    for (const int decibels : DECIBEL_TICKS) {
        const double amplitude = 32768.0 * std::pow(10.0, decibels / 20.0);
        for (const double sample : {amplitude, -amplitude}) {
            const std::string label = decibels >= lowestLabelled ? std::to_string(decibels) : "";
            ticks.push_back({(yOf(sample) - TOP) / PLOT_HEIGHT, label});
        }
    }
    return ticks;
}

std::vector<AxisTick> timeTicks(double seconds) {
    std::vector<AxisTick> ticks;
    const double step = tickStep(seconds);
    for (int i = 0; seconds > 0 && i * step <= seconds + 1e-9; ++i) {
        char label[32];
        std::snprintf(label, sizeof label, "%g", i * step);
        ticks.push_back({i * step / seconds, label});
    }
    return ticks;
}

std::string waveformPlotSvg(std::span<const std::int16_t> samples, std::int16_t lowest,
                            std::int16_t highest) {
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" +
                      std::to_string(LEFT) + " " + std::to_string(TOP) + " " +
                      std::to_string(PLOT_WIDTH) + " " + std::to_string(PLOT_HEIGHT) +
                      "\" preserveAspectRatio=\"none\" aria-hidden=\"true\">\n";
    svg += "<rect x=\"" + std::to_string(LEFT) + "\" y=\"" + std::to_string(TOP) + "\" width=\"" +
           std::to_string(PLOT_WIDTH) + "\" height=\"" + std::to_string(PLOT_HEIGHT) +
           "\" fill=\"white\"/>\n";
    if (!samples.empty()) {
        svg += waveform(samples, lowest, highest, TOP);
    }
    for (const AxisTick& tick : levelTicks()) {
        const std::string y = number(TOP + tick.at * PLOT_HEIGHT);
        svg += "<line x1=\"" + std::to_string(LEFT) + "\" y1=\"" + y + "\" x2=\"" +
               std::to_string(LEFT + PLOT_WIDTH) + "\" y2=\"" + y +
               "\" stroke=\"#0003\" vector-effect=\"non-scaling-stroke\"/>\n";
    }
    const std::string middle = number(yOf(0));
    svg += "<line x1=\"" + std::to_string(LEFT) + "\" y1=\"" + middle + "\" x2=\"" +
           std::to_string(LEFT + PLOT_WIDTH) + "\" y2=\"" + middle +
           "\" stroke=\"#999\" vector-effect=\"non-scaling-stroke\"/>\n";
    svg += "</svg>\n";
    return svg;
}

std::string waveformSvg(std::span<const std::int16_t> samples, std::int16_t lowest,
                        std::int16_t highest, const std::string& title) {
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
        svg += waveform(samples, lowest, highest, TOP - 6);
    }
    svg += decibelScale();

    const double seconds = static_cast<double>(samples.size()) / SAMPLE_RATE;
    const int bottom = TOP + PLOT_HEIGHT;
    for (const AxisTick& tick : timeTicks(seconds)) {
        const double x = LEFT + PLOT_WIDTH * tick.at;
        svg += "<line x1=\"" + number(x) + "\" y1=\"" + std::to_string(bottom) + "\" x2=\"" +
               number(x) + "\" y2=\"" + std::to_string(bottom + 5) + "\" stroke=\"#555\"/>\n";
        svg += "<text x=\"" + number(x) + "\" y=\"" + std::to_string(bottom + 18) +
               "\" text-anchor=\"middle\">" + tick.label + "</text>\n";
    }
    svg += "<text x=\"" + std::to_string(LEFT + PLOT_WIDTH) + "\" y=\"" +
           std::to_string(HEIGHT - 4) + "\" text-anchor=\"end\">time (s)</text>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace quen::tool
