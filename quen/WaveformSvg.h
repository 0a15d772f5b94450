// A waveform picture of decoded audio as a self-contained SVG document: the min/max and
// RMS envelopes per pixel column, shaded silence, marked clipping, a dBFS scale, a time
// axis in seconds and a title.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quen::tool {

// Clipped runs are those at `lowest` or `highest`, the source's full scale. `title` is
// UTF-8 and is escaped here.
std::string waveformSvg(std::span<const std::int16_t> samples, std::int16_t lowest,
                        std::int16_t highest, const std::string& title);

// `text` with &, <, > and " written as entities, for XML and HTML text and quoted
// attribute values.
std::string escapeXml(const std::string& text);

}  // namespace quen::tool
