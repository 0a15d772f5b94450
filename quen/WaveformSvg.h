// A waveform picture of decoded audio as a self-contained SVG document: the min/max and
// RMS envelopes per pixel column, shaded silence, marked clipping, a dBFS scale, a time
// axis in seconds and a title.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quen::tool {

// Clipped runs are those at `lowest` or `highest`, the source's full scale. `title` is
// UTF-8 and is escaped here.
std::string waveformSvg(std::span<const std::int16_t> samples, std::int16_t lowest,
                        std::int16_t highest, const std::string& title);

// A tick of an axis: where along it, from 0 (left, top) to 1, and its label.
struct AxisTick {
    double at = 0;
    std::string label;
};

// For a page that sets the labels in HTML beside the picture, where they keep their
// size however wide the picture is drawn: the plot alone, which stretches to fill its
// box, with a light line at each of `levelTicks()`.
std::string waveformPlotSvg(std::span<const std::int16_t> samples, std::int16_t lowest,
                            std::int16_t highest);
// The plot's time axis for `seconds` of audio, and its dBFS scale, labelled down to
// `lowestLabelled` dB only (the ticks below are close together on a small plot).
std::vector<AxisTick> timeTicks(double seconds);
std::vector<AxisTick> levelTicks(int lowestLabelled = -20);

// `text` with &, <, > and " written as entities, for XML and HTML text and quoted
// attribute values.
std::string escapeXml(const std::string& text);

}  // namespace quen::tool
