// Standard output for every subcommand: the one JSON document of --json, and the
// number formats the text and JSON reports share.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace quen::tool {

// Pretty-printed, one document, ending in a line feed. Bytes that are not UTF-8 (in
// a file name, say) are replaced rather than ending the output half-way.
void printJson(const nlohmann::json& document);
std::string jsonText(const nlohmann::json& document);

// Every level in decibels (dBFS, dBm0, LUFS, gains) goes through these: rounded to 0.01,
// never -0, and none (typed), null (JSON) or "-inf" (text) for the level of silence.
std::optional<double> roundedDecibels(double decibels);
nlohmann::json decibelValue(double decibels);
std::string decibelText(double decibels, const std::string& unit);

}  // namespace quen::tool
