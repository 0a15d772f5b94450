// Only what inspect measured and found is judged; the sound's findings are inspect's
// own, so the page and `quen inspect` never disagree.
#include "quen/report/ReportProblems.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <utility>

#include "dsp/SpeechLevel.h"

namespace quen::tool {

std::optional<double> levelOffsetDb(const InspectReport& report) {
    const auto level = report.sound ? soundFigures(*report.sound).activeLevelDbm0 : std::nullopt;
    return level ? std::optional(std::fabs(*level - TELEPHONE_SPEECH_LEVEL_DBM0)) : std::nullopt;
}

std::vector<PageProblem> dataFileProblems(const InspectReport& report, const std::string& name,
                                          const std::string& convertAgain) {
    const std::string prefix = name.empty() ? "" : name + ": ";
    const auto fault = [&](const std::string& text) {
        PageProblem problem{prefix + text, {}, {}, {}, {}};
        if (convertAgain.empty()) {
            problem.advice = "convert its recording again";
        } else {
            problem.commands.push_back(convertAgain);
        }
        return problem;
    };
    if (report.error) {
        return {fault("cannot be read: " + *report.error)};
    }
    std::vector<PageProblem> problems;
    if (!report.contents.valid()) {
        const std::size_t count = report.contents.problemCount;
        problems.push_back(fault("fails the packet check (" + std::to_string(count) +
                                 (count == 1 ? " problem)" : " problems)")));
    }
    if (!report.sound) {
        problems.push_back(fault("cannot be decoded: " + report.audioError));
        return problems;
    }
    for (const Finding& finding : report.findings) {
        PageProblem& problem = problems.emplace_back();
        problem.text = prefix + finding.text;
        if (finding.command) {
            problem.commands.push_back(*finding.command);
        }
    }
    return problems;
}

namespace {

// The words after "mode N", and N; none for a problem that does not start so.
std::optional<std::pair<int, std::string>> afterMode(const std::string& text) {
    if (text.size() < 6 || !text.starts_with("mode ") || text[5] < '1' || text[5] > '9' ||
        (text.size() > 6 && std::isdigit(static_cast<unsigned char>(text[6])))) {
        return std::nullopt;
    }
    return std::pair{text[5] - '0', text.substr(6)};
}

}  // namespace

std::vector<int> modesNamed(const std::string& text) {
    if (const auto single = afterMode(text)) {
        return {single->first};
    }
    return text.starts_with("modes 1 and 2") ? std::vector<int>{1, 2} : std::vector<int>{};
}

void mergeModes(std::vector<PageProblem>& problems) {
    for (std::size_t i = 0; i < problems.size(); ++i) {
        const auto first = afterMode(problems[i].text);
        if (!first) {
            continue;
        }
        for (std::size_t j = i + 1; j < problems.size(); ++j) {
            const auto second = afterMode(problems[j].text);
            if (!second || second->second != first->second || second->first == first->first) {
                continue;
            }
            PageProblem& kept = problems[i];
            const auto [low, high] = std::minmax(first->first, second->first);
            kept.text =
                "modes " + std::to_string(low) + " and " + std::to_string(high) + first->second;
            for (const std::string& command : problems[j].commands) {
                if (std::find(kept.commands.begin(), kept.commands.end(), command) ==
                    kept.commands.end()) {
                    kept.commands.push_back(command);
                }
            }
            kept.modes = {low, high};
            problems.erase(problems.begin() + static_cast<std::ptrdiff_t>(j));
            break;
        }
    }
}

}  // namespace quen::tool
