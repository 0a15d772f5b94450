// A waveform picture of decoded audio as a self-contained SVG document: the min/max
// envelope per pixel column, a time axis in seconds and a title.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quen::tool {

// `title` is UTF-8 and is escaped here.
std::string waveformSvg(std::span<const std::int16_t> samples, const std::string& title);

// `text` with &, <, > and " written as entities, for XML and HTML text and quoted
// attribute values.
std::string escapeXml(const std::string& text);

}  // namespace quen::tool
