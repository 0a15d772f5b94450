// The spellings tried for each value: the current key first, then the one it replaces.
#include "quen/report/ReportFields.h"

#include <initializer_list>

namespace quen::tool::fields {
namespace {

using Json = nlohmann::json;

const Json& nothing() {
    static const Json null;
    return null;
}

// The first of `keys` in `object` or in an object it holds directly.
const Json& lookup(const Json& object, std::initializer_list<const char*> keys) {
    if (!object.is_object()) {
        return nothing();
    }
    for (const char* key : keys) {
        if (const auto found = object.find(key); found != object.end()) {
            return *found;
        }
    }
    for (const auto& [name, member] : object.items()) {
        if (member.is_object()) {
            for (const char* key : keys) {
                if (const auto found = member.find(key); found != member.end()) {
                    return *found;
                }
            }
        }
    }
    return nothing();
}

std::optional<double> number(const Json& object, std::initializer_list<const char*> keys) {
    const Json& value = lookup(object, keys);
    return value.is_number() ? std::optional(value.get<double>()) : std::nullopt;
}

std::optional<std::uint64_t> count(const Json& value) {
    if (value.is_number_unsigned() || value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        return number < 0 ? 0 : static_cast<std::uint64_t>(number);
    }
    return std::nullopt;
}

std::optional<std::string> string(const Json& object, std::initializer_list<const char*> keys) {
    const Json& value = lookup(object, keys);
    return value.is_string() ? std::optional(value.get<std::string>()) : std::nullopt;
}

std::vector<std::string> strings(const Json& value) {
    std::vector<std::string> out;
    if (value.is_array()) {
        for (const Json& item : value) {
            if (item.is_string()) {
                out.push_back(item.get<std::string>());
            }
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> error(const Json& inspect) {
    return inspect.is_object() && inspect.contains("error") && inspect["error"].is_string()
               ? std::optional(inspect["error"].get<std::string>())
               : std::nullopt;
}

std::optional<std::string> audioError(const Json& inspect) {
    return string(inspect, {"audio_error", "audioError"});
}

bool valid(const Json& inspect) {
    const Json& value = lookup(inspect, {"valid"});
    return value.is_boolean() && value.get<bool>();
}

std::string codec(const Json& inspect) {
    return string(inspect, {"codec"}).value_or("");
}

std::optional<double> durationSeconds(const Json& inspect) {
    return number(inspect, {"duration_seconds", "durationSeconds"});
}

std::optional<std::uint64_t> packets(const Json& inspect) {
    return count(lookup(inspect, {"packets"}));
}

std::uint64_t problemCount(const Json& inspect) {
    return count(lookup(inspect, {"problem_count", "problemCount"})).value_or(0);
}

std::vector<std::string> problemTexts(const Json& inspect) {
    std::vector<std::string> out;
    const Json& problems = lookup(inspect, {"problems"});
    if (problems.is_array()) {
        for (const Json& problem : problems) {
            if (problem.is_object() && problem.contains("text") && problem["text"].is_string()) {
                const Json& offset = problem.contains("offset") ? problem["offset"] : nothing();
                out.push_back((offset.is_number() ? "at offset " + offset.dump() + ": " : "") +
                              problem["text"].get<std::string>());
            }
        }
    }
    return out;
}

std::optional<double> peakDbfs(const Json& inspect) {
    return number(inspect, {"peak_dbfs", "peakDbfs"});
}

std::optional<double> truePeakDbfs(const Json& inspect) {
    return number(inspect, {"true_peak_dbfs", "truePeakDbfs"});
}

std::optional<double> activeLevelDbm0(const Json& inspect) {
    return number(inspect, {"active_speech_level_dbm0", "active_level_dbm0", "speech_level_dbm0",
                            "activeSpeechLevelDbm0", "activeLevelDbm0"});
}

std::optional<double> activityFactor(const Json& inspect) {
    return number(inspect, {"activity_factor", "activityFactor"});
}

std::optional<std::uint64_t> clippedRuns(const Json& inspect) {
    const Json& value = lookup(inspect, {"clipped_runs", "clippedRuns"});
    // Either a count or an object holding one.
    return value.is_object() ? count(lookup(value, {"runs", "count"})) : count(value);
}

std::optional<double> leadingSilenceSeconds(const Json& inspect) {
    return number(inspect, {"leading_silence_seconds", "leadingSilenceSeconds"});
}

std::optional<double> trailingSilenceSeconds(const Json& inspect) {
    return number(inspect, {"trailing_silence_seconds", "trailingSilenceSeconds"});
}

std::optional<std::uint64_t> undecodableFrames(const Json& inspect) {
    return count(lookup(inspect, {"undecodable_frames", "undecodableFrames"}));
}

std::vector<std::string> loadFailure(const Json& check) {
    return strings(lookup(check, {"load_failure", "loadFailure"}));
}

bool structureError(const Json& check) {
    const Json& value = lookup(check, {"structure_error", "structureError"});
    return value.is_boolean() && value.get<bool>();
}

const Json& greetings(const Json& check) {
    return lookup(check, {"greetings"});
}

std::string text(const Json& greeting, const char* key) {
    return string(greeting, {key}).value_or("");
}

bool flag(const Json& greeting, const char* key) {
    const Json& value = lookup(greeting, {key});
    return value.is_boolean() && value.get<bool>();
}

std::vector<std::string> texts(const Json& greeting, const char* key) {
    return strings(lookup(greeting, {key}));
}

const Json& recording(const Json& greeting) {
    return greeting.is_object() && greeting.contains("recording") ? greeting["recording"]
                                                                  : nothing();
}

const Json& modes(const Json& greeting) {
    return greeting.is_object() && greeting.contains("modes") ? greeting["modes"] : nothing();
}

}  // namespace quen::tool::fields
