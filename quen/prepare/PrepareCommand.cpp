// `quen prepare`: any recording into the one form QuenGreeting accepts, 8000 Hz 16-bit
// mono PCM in a canonical WAV file, levelled for the telephone. One file (IN OUT), many
// files into a directory, or every recording of an AA template; many files are prepared
// on every core and reported in the order given.
#include <atomic>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <latch>
#include <map>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/WorkerPool.h"
#include "quen/Commands.h"
#include "quen/DecimalText.h"
#include "quen/InputOperands.h"
#include "quen/Output.h"
#include "quen/TextDisplay.h"
#include "quen/prepare/PrepareFile.h"
#include "quen/prepare/PrepareTemplate.h"

namespace quen::tool {
namespace {

namespace fs = std::filesystem;

struct PrepareArguments {
    std::vector<std::string> files;
    std::string outDirectory;
    std::string templatePath;
    std::string rawDirectory;
    std::string wavDirectory;
    std::optional<double> levelDbm0;
    std::optional<double> loudnessLufs;
    bool noNormalize = false;
    bool quiet = false;
    PrepareSettings settings;
};

struct Job {
    std::string input;
    std::string output;
    std::string path;  // where `input` is read
};

// A number from `low` to `high` (above `low` when `lowExcluded`), in `unit`. Written
// out, since NaN passes every range check (each comparison is false) and infinity a
// positive one.
CLI::Validator finiteBetween(double low, double high, bool lowExcluded, const std::string& unit) {
    const std::string range = (lowExcluded ? "more than " : "from ") + decimalText(low, 0) +
                              (lowExcluded ? " and at most " : " to ") + decimalText(high, 0) +
                              " " + unit;
    return CLI::Validator(
        [=](const std::string& text) {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            const bool inRange =
                std::isfinite(value) && (lowExcluded ? value > low : value >= low) && value <= high;
            return end != text.c_str() && *end == '\0' && inRange ? std::string()
                                                                  : text + ": must be " + range;
        },
        range);
}

// Prepares every job on every core; the outcomes in the jobs' order.
std::vector<PrepareOutcome> prepareAll(const std::vector<Job>& jobs,
                                       const PrepareSettings& settings) {
    std::vector<PrepareOutcome> outcomes(jobs.size());
    std::latch done(static_cast<std::ptrdiff_t>(jobs.size()));
    {
        WorkerPool pool(
            std::min<unsigned>(usableCpuCount(), std::max<std::size_t>(1, jobs.size())));
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            pool.submit([&, i] {
                try {
                    outcomes[i] =
                        prepareFile(jobs[i].input, jobs[i].path, jobs[i].output, settings);
                } catch (const std::bad_alloc&) {
                    outcomes[i].messages = "quen prepare: " + jobs[i].input + ": out of memory\n";
                    outcomes[i].trouble = true;
                } catch (const std::exception& error) {
                    outcomes[i].messages =
                        "quen prepare: " + jobs[i].input + ": " + error.what() + "\n";
                }
                done.count_down();
            });
        }
        done.wait();
    }
    return outcomes;
}

// Prints the outcomes in order: failures and warnings on standard error, reports on
// standard output (standard error when the WAV bytes go there). Their exit code.
int report(const std::vector<PrepareOutcome>& outcomes, const PrepareArguments& arguments,
           const Context& context, bool single, nlohmann::json extra = nullptr) {
    int exitCode = EXIT_ALL_GOOD;
    nlohmann::json reports = nlohmann::json::array();
    std::string text;
    for (const PrepareOutcome& outcome : outcomes) {
        std::cerr << outcome.messages << std::flush;
        exitCode = worse(exitCode, outcome.succeeded && !outcome.problemFound ? EXIT_ALL_GOOD
                                   : outcome.trouble                          ? EXIT_TROUBLE
                                                                              : EXIT_PROBLEM);
        if (outcome.succeeded) {
            reports.push_back(outcome.json);
            text += outcome.text;
        }
    }
    if (arguments.quiet) {
        return exitCode;
    }
    const bool toStandardError =
        single && arguments.files.size() == 2 && arguments.files[1] == STANDARD_OUTPUT;
    if (context.json) {
        nlohmann::json document = reports;
        if (single) {
            document = reports.empty() ? nlohmann::json(nullptr) : reports.front();
        } else if (!extra.is_null()) {
            extra["prepared"] = reports;
            document = extra;
        }
        if (single && reports.empty()) {
            return exitCode;
        }
        if (toStandardError) {
            std::cerr << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                      << "\n";
        } else {
            printJson(document);
        }
    } else {
        (toStandardError ? std::cerr : std::cout) << text;
    }
    return exitCode;
}

int runFiles(const PrepareArguments& arguments, const Context& context) {
    if (arguments.files.size() != 2) {
        throw CLI::ValidationError("prepare",
                                   "give IN and OUT, or IN... with --out-dir DIR, or --template");
    }
    const std::string& input = arguments.files[0];
    const InputOperands inputs({input}, MAX_STANDARD_INPUT_RECORDING_BYTES);
    if (const Failure* failure = inputs.failure(input)) {
        std::cerr << "quen prepare: " << input << ": " << shownText(failure->text) << "\n";
        return EXIT_TROUBLE;
    }
    PrepareSettings settings = arguments.settings;
    settings.showProgress = true;
    const std::vector<PrepareOutcome> outcomes = {
        prepareFile(input, inputs.path(input), arguments.files[1], settings)};
    return report(outcomes, arguments, context, true);
}

int runOutDirectory(const PrepareArguments& arguments, const Context& context) {
    if (arguments.files.empty()) {
        throw CLI::ValidationError("prepare", "--out-dir needs at least one IN");
    }
    std::vector<Job> jobs;
    std::map<std::string, std::string> inputOf;
    for (const std::string& input : arguments.files) {
        if (input == STANDARD_INPUT) {
            throw CLI::ValidationError("prepare",
                                       "--out-dir names each output after its IN, and standard "
                                       "input (-) has no name: give - OUT");
        }
        const std::string output =
            (fs::path(arguments.outDirectory) / fs::path(input).stem()).string() + ".wav";
        if (const auto [earlier, added] = inputOf.emplace(output, input); !added) {
            std::cerr << "quen prepare: " << shownName(earlier->second) << " and "
                      << shownName(input) << " would both be written to " << shownName(output)
                      << "\n";
            return EXIT_TROUBLE;
        }
        jobs.push_back({input, output, input});
    }
    std::error_code error;
    if (!fs::is_directory(arguments.outDirectory, error)) {
        std::cerr << "quen prepare: " << shownName(arguments.outDirectory)
                  << ": no such directory\n";
        return EXIT_TROUBLE;
    }
    return report(prepareAll(jobs, arguments.settings), arguments, context, false);
}

int runTemplate(const PrepareArguments& arguments, const Context& context) {
    if (!arguments.files.empty() || !arguments.outDirectory.empty()) {
        throw CLI::ValidationError("prepare", "--template takes no IN, OUT or --out-dir");
    }
    for (const std::string& directory : {arguments.rawDirectory, arguments.wavDirectory}) {
        std::error_code error;
        if (!fs::is_directory(directory, error)) {
            std::cerr << "quen prepare: " << shownName(directory) << ": no such directory\n";
            return EXIT_TROUBLE;
        }
    }
    const TemplateRecordings found = findTemplateRecordings(
        arguments.templatePath, arguments.rawDirectory, arguments.wavDirectory);
    std::vector<Job> jobs;
    nlohmann::json problems = nlohmann::json::array();
    int exitCode = found.unreadable         ? EXIT_TROUBLE
                   : !found.failure.empty() ? EXIT_PROBLEM
                                            : EXIT_ALL_GOOD;
    for (const TemplateRecording& recording : found.recordings) {
        // A recording without a source is the template's problem; a directory that cannot
        // be made is trouble with the output.
        const std::string unwritable =
            recording.problem.empty() ? makeDestinationDirectory(recording) : std::string();
        const std::string problem = recording.problem.empty() ? unwritable : recording.problem;
        if (!problem.empty()) {
            std::cerr << "quen prepare: " << shownName(recording.name) << ": " << shownText(problem)
                      << "\n";
            problems.push_back({{"recording", recording.name}, {"problem", problem}});
            exitCode = worse(exitCode, unwritable.empty() ? EXIT_PROBLEM : EXIT_TROUBLE);
            continue;
        }
        jobs.push_back({recording.source, recording.destination, recording.source});
    }
    if (!found.failure.empty()) {
        std::cerr << "quen prepare: " << shownName(arguments.templatePath) << ": "
                  << shownText(found.failure) << "\n";
    }
    const nlohmann::json extra = {
        {"template", arguments.templatePath},
        {"recordings", found.recordings.size()},
        {"problems", problems},
        {"template_failure",
         found.failure.empty() ? nlohmann::json(nullptr) : nlohmann::json(found.failure)}};
    exitCode = worse(
        exitCode, report(prepareAll(jobs, arguments.settings), arguments, context, false, extra));
    if (!context.json && !arguments.quiet) {
        std::cout << shownName(arguments.templatePath) << ": " << jobs.size() << " of "
                  << found.recordings.size() << " recordings prepared\n";
    }
    return exitCode;
}

}  // namespace

void addPrepareCommand(CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "prepare", "Turn any recording into an 8000 Hz 16-bit mono WAV that QuenGreeting takes");
    auto arguments = std::make_shared<PrepareArguments>();
    PrepareOptions& options = arguments->settings.options;
    command->add_option("FILES", arguments->files,
                        "IN OUT: the recording (WAV, W64, MP3, FLAC, Ogg, MP4/M4A/MOV, AIFF or "
                        "CAF; - for standard input) and the WAV file to write (replaced "
                        "atomically; - for standard output); with --out-dir, every IN");
    auto* outDirectory = command->add_option("--out-dir", arguments->outDirectory,
                                             "Prepare every IN into DIR/<stem>.wav, on every core");
    auto* templatePath = command
                             ->add_option("--template", arguments->templatePath,
                                          "Prepare every recording this AA template references")
                             ->excludes(outDirectory);
    auto* from = command->add_option("--from", arguments->rawDirectory,
                                     "With --template: where the sources are, under the "
                                     "recording's name or its stem with any extension");
    auto* wavDirectory =
        command->add_option("--wav-dir", arguments->wavDirectory,
                            "With --template: the wav-file directory the batch reads");
    templatePath->needs(from)->needs(wavDirectory);
    from->needs(templatePath);
    wavDirectory->needs(templatePath);
    auto* level = command
                      ->add_option("--level", arguments->levelDbm0,
                                   "Active speech level to level to, in dBm0 (default -19)")
                      ->check(finiteBetween(MIN_TARGET_DBM0, 0.0, false, "dBm0"));
    auto* loudness = command
                         ->add_option("--loudness", arguments->loudnessLufs,
                                      "Level to this integrated loudness in LUFS instead")
                         ->check(finiteBetween(MIN_TARGET_LUFS, -5.0, false, "LUFS"))
                         ->excludes(level);
    command
        ->add_flag("--no-normalize", arguments->noNormalize,
                   "Keep the level as it is (no gain; peaks are still held under the ceiling)")
        ->excludes(loudness)
        ->excludes(level);
    command
        ->add_option("--ceiling", options.ceilingDbfs,
                     "True peak the output stays under, in dBFS (default -3)")
        ->check(finiteBetween(-20.0, 0.0, false, "dBFS"));
    command->add_flag("--trim-silence", options.trimSilence,
                      "Cut leading and trailing silence, keeping 0.2 s of each");
    command
        ->add_option("--max-seconds", options.maxSeconds,
                     "Cut the recording to at most this many seconds, fading out; what lies "
                     "beyond is not read")
        ->check(finiteBetween(0.0, MAX_PREPARED_SECONDS, true, "seconds"));
    command->add_flag("--allow-silence", arguments->settings.allowSilence,
                      "Write a result with no speech instead of refusing it; asked for, its "
                      "finding is shown in the report and leaves the exit code 0");
    command->add_flag("-y,--overwrite", arguments->settings.overwrite,
                      "Replace an existing OUT (without it, only IN itself is replaced)");
    command->add_flag("-q,--quiet", arguments->quiet, "No report; failures and warnings only");
    command->footer(exitCodesText(
        "every recording is prepared and written, and its result has no finding but those "
        "asked for",
        "a recording cannot be decoded or prepared; a result has no speech (not written "
        "without --allow-silence) or another finding (written, the finding shown); with "
        "--template, a recording has no source or leads out of the wav directory, or the "
        "template is malformed",
        "an input, the template or a directory is missing, not a regular file or unreadable; "
        "an output cannot be written or exists already without -y; two IN share an output "
        "name"));
    command->callback([arguments, &context] {
        PrepareOptions& chosen = arguments->settings.options;
        if (arguments->noNormalize) {
            chosen.target = LevelTarget::NONE;
        } else if (arguments->loudnessLufs) {
            chosen.target = LevelTarget::LOUDNESS;
            chosen.targetLufs = *arguments->loudnessLufs;
        } else if (arguments->levelDbm0) {
            chosen.targetDbm0 = *arguments->levelDbm0;
        }
        if (!arguments->templatePath.empty()) {
            context.exitCode = runTemplate(*arguments, context);
        } else if (!arguments->outDirectory.empty()) {
            context.exitCode = runOutDirectory(*arguments, context);
        } else {
            context.exitCode = runFiles(*arguments, context);
        }
    });
}

}  // namespace quen::tool
