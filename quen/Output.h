// Standard output for every subcommand: the one JSON document of --json, and the
// number formats the text and JSON reports share.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace quen::tool {

// Pretty-printed, one document, ending in a line feed. Bytes that are not UTF-8 (in
// a file name, say) are replaced rather than ending the output half-way.
void printJson(const nlohmann::json& document);

// A level in dBFS with one decimal, or null (JSON) / "-inf" (text) for silence.
nlohmann::json dbfsValue(double dbfs);
std::string dbfsText(double dbfs);

}  // namespace quen::tool
