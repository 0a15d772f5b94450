// Every command runs prepare as it was run, with only what mends a finding changed, so
// that the output is replaced by one without it.
#include "quen/prepare/PrepareFindings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "quen/Output.h"
#include "quen/ShellCommand.h"

namespace quen::tool {
namespace {

std::string number(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The options that differ from the defaults, as they are typed, each followed by a space.
std::string optionsText(const PrepareOptions& options) {
    std::string text;
    if (options.target == LevelTarget::NONE) {
        text += "--no-normalize ";
    } else if (options.target == LevelTarget::LOUDNESS) {
        text += "--loudness " + number(options.targetLufs) + " ";
    } else if (options.targetDbm0 != DEFAULT_TARGET_DBM0) {
        text += "--level " + number(options.targetDbm0) + " ";
    }
    if (options.ceilingDbfs != DEFAULT_CEILING_DBFS) {
        text += "--ceiling " + number(options.ceilingDbfs) + " ";
    }
    if (options.trimSilence) {
        text += "--trim-silence ";
    }
    if (options.maxSeconds) {
        text += "--max-seconds " + number(*options.maxSeconds) + " ";
    }
    return text;
}

// The same prepare of `input` into `output` again, with `options`; the file written
// before is replaced.
std::string prepareAgain(const std::string& input, const std::string& output,
                         const PrepareOptions& options) {
    return prepareCommand(input, output,
                          (output == STANDARD_OUTPUT ? "" : "-y ") + optionsText(options));
}

// The prepare that mends what the findings name: trimming when they ask for it.
PrepareAgain mendingPrepare(const std::string& input, const std::string& output,
                            const PrepareOptions& options) {
    return [=](const std::string& mending) {
        PrepareOptions mended = options;
        mended.trimSilence =
            options.trimSilence || mending.find("--trim-silence") != std::string::npos;
        return prepareAgain(input, output, mended);
    };
}

// The target lowered until the limiter holds peaks down by no more than
// LIMITING_LIMIT_DB: every dB less gain is a dB less limiting, and a dB more is margin for
// the level the limiter no longer takes away. None where there is no target to lower.
std::optional<std::string> lessLimiting(const std::string& input, const std::string& output,
                                        const PrepareOptions& options, double reductionDb) {
    const double lower = std::ceil(-reductionDb - LIMITING_LIMIT_DB) + 1.0;
    PrepareOptions lowered = options;
    if (options.target == LevelTarget::SPEECH_LEVEL) {
        lowered.targetDbm0 -= lower;
    } else if (options.target == LevelTarget::LOUDNESS) {
        lowered.targetLufs -= lower;
    } else {
        return std::nullopt;
    }
    // Below the lowest target there is, no gain at all.
    if (lowered.targetDbm0 < MIN_TARGET_DBM0 || lowered.targetLufs < MIN_TARGET_LUFS) {
        lowered.target = LevelTarget::NONE;
    }
    return prepareAgain(input, output, lowered);
}

// The findings of `measures`, each with the prepare that mends them all: with the options
// given, or, where the level is off, levelled to the telephone's target instead.
std::vector<Finding> mendedFindings(const SoundMeasures& measures, const std::string& input,
                                    const std::string& output, const PrepareOptions& options) {
    std::vector<Finding> findings = soundFindings(measures, mendingPrepare(input, output, options));
    if (findingOf(findings, "level")) {
        PrepareOptions levelled = options;
        levelled.target = LevelTarget::SPEECH_LEVEL;
        levelled.targetDbm0 = DEFAULT_TARGET_DBM0;
        findings = soundFindings(measures, mendingPrepare(input, output, levelled));
    }
    return findings;
}

}  // namespace

PrepareFindings judgePrepared(const std::string& input, const std::string& output,
                              const SoundMeasures& inputMeasures, const PreparedRecording& result,
                              const PrepareOptions& options) {
    PrepareFindings findings;
    findings.input = mendedFindings(inputMeasures, input, output, options);
    findings.output = mendedFindings(measureSound(result.samples), input, output, options);
    // Without speech, the limiting of what was levelled as if it were speech says nothing.
    if (findingOf(findings.output, "no_speech")) {
        return findings;
    }
    if (auto limiting =
            limitingFinding(result.limiterReductionDb,
                            lessLimiting(input, output, options, result.limiterReductionDb))) {
        findings.output.push_back(std::move(*limiting));
    }
    return findings;
}

bool chosenByUser(const Finding& finding, const PrepareSettings& settings) {
    const PrepareOptions& options = settings.options;
    if (finding.key == "no_speech") {
        return settings.allowSilence;
    }
    return finding.key == "level" && !(options.target == LevelTarget::SPEECH_LEVEL &&
                                       options.targetDbm0 == DEFAULT_TARGET_DBM0);
}

const Finding* findingOf(const std::vector<Finding>& findings, const std::string& key) {
    const auto found = std::find_if(findings.begin(), findings.end(),
                                    [&](const Finding& finding) { return finding.key == key; });
    return found == findings.end() ? nullptr : &*found;
}

}  // namespace quen::tool
