// Where `quen report` finds each value in the JSON that `quen inspect` and `quen check
// --template` write. Every key the page reads is named here and only here, so a renamed
// key is a one-place change; a value a report does not hold is empty.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quen::tool::fields {

// Of one data file's inspect report. The audio measures are looked for in the report
// and in the objects it holds (its "audio" part), under the old and the new spelling.
std::optional<std::string> error(const nlohmann::json& inspect);
std::optional<std::string> audioError(const nlohmann::json& inspect);
bool valid(const nlohmann::json& inspect);
std::string codec(const nlohmann::json& inspect);
std::optional<double> durationSeconds(const nlohmann::json& inspect);
std::optional<std::uint64_t> packets(const nlohmann::json& inspect);
std::uint64_t problemCount(const nlohmann::json& inspect);
std::vector<std::string> problemTexts(const nlohmann::json& inspect);
std::optional<double> peakDbfs(const nlohmann::json& inspect);
std::optional<double> truePeakDbfs(const nlohmann::json& inspect);
std::optional<double> activeLevelDbm0(const nlohmann::json& inspect);
std::optional<double> activityFactor(const nlohmann::json& inspect);
std::optional<std::uint64_t> clippedRuns(const nlohmann::json& inspect);
std::optional<double> leadingSilenceSeconds(const nlohmann::json& inspect);
std::optional<double> trailingSilenceSeconds(const nlohmann::json& inspect);
std::optional<std::uint64_t> undecodableFrames(const nlohmann::json& inspect);

// Of the template check and its greetings.
std::vector<std::string> loadFailure(const nlohmann::json& check);
bool structureError(const nlohmann::json& check);
const nlohmann::json& greetings(const nlohmann::json& check);
std::string text(const nlohmann::json& greeting, const char* key);  // "" when absent
bool flag(const nlohmann::json& greeting, const char* key);         // false when absent
std::vector<std::string> texts(const nlohmann::json& greeting, const char* key);
const nlohmann::json& recording(const nlohmann::json& greeting);  // null when absent
const nlohmann::json& modes(const nlohmann::json& greeting);

}  // namespace quen::tool::fields
