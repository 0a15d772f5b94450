// `quen check FILE.wav...` and `quen check --template T.xml --wav-dir D [--mode 1|2]`:
// whether QuenGreeting will take each recording, in its own words, and what to do
// when it will not.
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "quen/Commands.h"
#include "quen/DecimalText.h"
#include "quen/InputOperands.h"
#include "quen/Output.h"
#include "quen/ShellCommand.h"
#include "quen/SoundFindings.h"
#include "quen/SoundMeasures.h"
#include "quen/TemplateOperands.h"
#include "quen/TextDisplay.h"
#include "quen/WrongCommand.h"
#include "quen/check/RecordingCheck.h"
#include "quen/check/TemplateCheck.h"

namespace quen::tool {
namespace {

struct CheckOptions : TemplateOperands {
    bool quiet = false;
    std::string mastersDirectory;  // --from
};

// A log line as shown in text: the line feed some messages end in would only add an
// empty line.
std::string shownLine(std::string line) {
    while (!line.empty() && line.back() == '\n') {
        line.pop_back();
    }
    return shownText(line);
}

std::optional<double> durationOf(const RecordingCheck& check) {
    if (check.layout && check.layout->format && check.layout->dataLength &&
        check.layout->format->byteRate > 0) {
        return static_cast<double>(*check.layout->dataLength) / check.layout->format->byteRate;
    }
    if (check.media && check.media->durationSeconds > 0) {
        return check.media->durationSeconds;
    }
    return std::nullopt;
}

std::string formatText(const WaveFormatFields& format) {
    std::string text = formatTagName(format.tag);
    if (format.subFormatTag) {
        text += " (sub-format " + formatTagName(*format.subFormatTag) + ")";
    }
    return text + ", " + std::to_string(format.sampleRate) + " Hz, " +
           std::to_string(format.channels) + (format.channels == 1 ? " channel, " : " channels, ") +
           std::to_string(format.bitsPerSample) + " bits";
}

std::string mediaText(const MediaFormat& media) {
    return media.containerLong + ", " + media.codec + ", " + std::to_string(media.sampleRate) +
           " Hz, " + std::to_string(media.channels) +
           (media.channels == 1 ? " channel" : " channels");
}

std::string chunkText(const RiffChunk& chunk) {
    return "\"" + chunk.id + "\" at " + std::to_string(chunk.offset) + " (" +
           std::to_string(chunk.length) + " bytes" + (chunk.pastEnd ? ", past the end" : "") + ")";
}

// How a template given as a recording is checked instead.
std::string templateHint(const RecordingCheck& check) {
    return "quen check --template " +
           (check.path == STANDARD_INPUT ? std::string("T.xml") : shellWord(check.path)) +
           " --wav-dir DIR";
}

// "accepted", "accepted, 2 findings", "refused".
std::string verdictText(const RecordingCheck& check) {
    const std::size_t count = check.findings.size();
    if (!check.accepted) {
        return check.aaTemplate
                   ? "refused, an AA template, not a recording: use " + templateHint(check)
                   : "refused";
    }
    return count == 0
               ? "accepted"
               : "accepted, " + std::to_string(count) + (count == 1 ? " finding" : " findings");
}

void printRecordingText(const RecordingCheck& check) {
    std::string text = shownName(check.path) + ": " + verdictText(check) + "\n";
    if (const auto& layout = check.layout) {
        text += "  container  " + layout->container + " WAVE, " + std::to_string(layout->fileSize) +
                " bytes (size field " + std::to_string(layout->statedSize) + ")\n";
        for (std::size_t i = 0; i < layout->chunks.size(); ++i) {
            text += std::string(i == 0 ? "  chunks     " : "             ") +
                    chunkText(layout->chunks[i]) + "\n";
        }
        if (layout->moreChunks) {
            text += "             (more chunks not listed)\n";
        }
        if (layout->format) {
            text += "  format     " + formatText(*layout->format);
            if (const auto seconds = durationOf(check)) {
                text += ", " + decimalText(*seconds, 2) + " s";
            }
            text += "\n";
        }
    }
    if (check.media) {
        text += "  reads as   " + mediaText(*check.media) + ", " +
                decimalText(check.media->durationSeconds, 2) + " s\n";
    } else if (!check.accepted && !check.mediaError.empty()) {
        text += "  reads as   nothing: " + check.mediaError + "\n";
    }
    if (check.sound) {
        if (check.soundPartial && check.accepted) {
            text += "  measured   the first 30 minutes\n";
        } else if (check.soundPartial) {
            text += "  measured   the first 30 minutes, as decoded to 8 kHz mono\n";
        } else if (!check.accepted) {
            text += "  measured   as decoded to 8 kHz mono\n";
        }
        text += soundText(*check.sound, "  ", 11);
        text += findingsText(check.findings, "  ", 11);
    }
    if (const auto& sizes = check.sizes) {
        text += "  data files A-law or mu-law " + std::to_string(sizes->g711) + " bytes, G.723.1 " +
                std::to_string(sizes->g723) + " bytes\n";
    }
    if (!check.accepted) {
        text += "  QuenGreeting logs:\n";
        for (const std::string& line : check.logLines) {
            text += "    " + shownLine(line) + "\n";
        }
        for (const std::string& cause : check.causes) {
            text += "  cause      " + shownText(cause) + "\n";
        }
        if (check.fix) {
            text += "  fix        " + *check.fix + "\n";
        }
    }
    std::cout << text;
}

nlohmann::json recordingJson(const RecordingCheck& check) {
    nlohmann::json document = {
        {"path", check.path}, {"accepted", check.accepted}, {"log", check.logLines}};
    if (const auto& layout = check.layout) {
        nlohmann::json chunks = nlohmann::json::array();
        for (const RiffChunk& chunk : layout->chunks) {
            chunks.push_back({{"id", chunk.id},
                              {"offset", chunk.offset},
                              {"length", chunk.length},
                              {"past_end", chunk.pastEnd}});
        }
        document["container"] = layout->container;
        document["file_size"] = layout->fileSize;
        document["size_field"] = layout->statedSize;
        document["chunks"] = chunks;
        document["more_chunks"] = layout->moreChunks;
        if (const auto& format = layout->format) {
            document["format"] = {
                {"tag", format->tag},
                {"tag_name", formatTagName(format->tag)},
                {"sub_format", format->subFormatTag
                                   ? nlohmann::json(formatTagName(*format->subFormatTag))
                                   : nlohmann::json(nullptr)},
                {"channels", format->channels},
                {"sample_rate", format->sampleRate},
                {"byte_rate", format->byteRate},
                {"block_align", format->blockAlign},
                {"bits_per_sample", format->bitsPerSample}};
        }
    }
    if (const auto seconds = durationOf(check)) {
        document["duration_seconds"] = *seconds;
    }
    if (const auto& media = check.media) {
        document["reads_as"] = {
            {"container", media->container}, {"container_long", media->containerLong},
            {"codec", media->codec},         {"sample_rate", media->sampleRate},
            {"channels", media->channels},   {"duration_seconds", media->durationSeconds}};
    } else if (!check.mediaError.empty()) {
        document["reads_as_error"] = check.mediaError;
    }
    if (check.sound) {
        document["levels"] = soundJson(*check.sound);
        document["levels_partial"] = check.soundPartial;
        document["findings"] = findingsJson(check.findings);
    }
    if (const auto& sizes = check.sizes) {
        document["data_file_sizes"] = {
            {"alaw", sizes->g711}, {"mulaw", sizes->g711}, {"g723", sizes->g723}};
    }
    if (!check.accepted) {
        document["causes"] = check.causes;
        document["fix"] = check.fix ? nlohmann::json(*check.fix) : nlohmann::json(nullptr);
    }
    if (check.aaTemplate) {
        document["use"] = templateHint(check);
    }
    return document;
}

int checkFiles(const CheckOptions& options, const Context& context) {
    const InputOperands inputs(options.files, MAX_STANDARD_INPUT_RECORDING_BYTES);
    int exitCode = EXIT_ALL_GOOD;
    // Findings fail the check but leave a recording accepted.
    bool allAccepted = true;
    nlohmann::json files = nlohmann::json::array();
    for (const std::string& name : options.files) {
        const std::string& path = inputs.path(name);
        const Failure* kept = inputs.failure(name);
        const auto error =
            kept ? std::optional<std::string>(kept->text) : checkRefusesOutright(path);
        if (error) {
            allAccepted = false;
            // Only a data file is there to be refused outright; a missing file is trouble.
            exitCode =
                worse(exitCode, *error == DATA_FILE_GIVEN_TO_CHECK ? EXIT_PROBLEM : EXIT_TROUBLE);
            if (context.json) {
                files.push_back({{"path", name}, {"error", *error}});
            } else {
                std::cout << shownName(name) << ": error: " << shownText(*error) << "\n";
            }
            continue;
        }
        const RecordingCheck check = checkRecording(path, true, name);
        allAccepted = allAccepted && check.accepted;
        // A recording named on the command line that cannot be got at is trouble, however
        // the check explains it.
        exitCode = worse(exitCode, !check.accepted && check.unreadable          ? EXIT_TROUBLE
                                   : !check.accepted || !check.findings.empty() ? EXIT_PROBLEM
                                                                                : EXIT_ALL_GOOD);
        if (context.json) {
            files.push_back(recordingJson(check));
        } else if (!options.quiet || !check.accepted || !check.findings.empty()) {
            printRecordingText(check);
        }
    }
    if (context.json) {
        printJson({{"all_accepted", allAccepted}, {"files", files}});
    }
    return exitCode;
}

std::string greetingTitle(const GreetingCheck& greeting) {
    return shownName(greeting.attendant) + " / " + shownName(greeting.id) + " (" +
           (greeting.kind.empty() ? std::string("empty kind") : shownName(greeting.kind)) + "): " +
           (greeting.recordingName.empty() ? std::string("no recording")
                                           : shownName(greeting.recordingName));
}

// One line that holds whatever the greetings above it say: a run that stops before its
// first greeting, or ends part-way, converts none, or only some, whatever they look like.
std::string templateSummary(const TemplateCheck& check) {
    std::size_t failing = 0;
    for (const GreetingCheck& greeting : check.greetings) {
        failing += greeting.problems.empty() ? 0 : 1;
    }
    std::string counts = std::to_string(check.greetings.size()) +
                         (check.greetings.size() == 1 ? " greeting, " : " greetings, ") +
                         std::to_string(failing) + " with problems: ";
    if (!check.operandFailure.empty()) {
        return counts + "no greeting would convert, the run stops before the first";
    }
    if (!check.loadFailure.empty()) {
        return "The template cannot be read: no greeting would convert";
    }
    if (check.structureError) {
        return counts.substr(0, counts.find(':')) +
               " before the run ends: not every greeting would convert, those after the end "
               "are neither converted nor checked";
    }
    return counts + (check.allConvert() ? "every greeting would convert"
                                        : "not every greeting would convert");
}

void printTemplateText(const TemplateCheck& check) {
    std::string text = shownName(check.templatePath) + ":\n";
    for (const std::string& line : check.operandFailure) {
        text += "  QuenGreeting logs: " + shownLine(line) + "\n";
        text += "  The run stops here, before its first greeting.\n";
    }
    for (const std::string& line : check.loadFailure) {
        text += "  QuenGreeting logs: " + shownLine(line) + "\n";
    }
    std::size_t number = 0;
    for (const GreetingCheck& greeting : check.greetings) {
        text += std::to_string(++number) + ". " + greetingTitle(greeting) + "\n";
        if (greeting.recording) {
            text += "     recording  " + shownName(greeting.wavFile) + ": " +
                    (greeting.recording->accepted ? "accepted" : "refused") + "\n";
            if (!greeting.recording->accepted) {
                for (const std::string& line : greeting.recording->logLines) {
                    text += "       " + shownLine(line) + "\n";
                }
                for (const std::string& cause : greeting.recording->causes) {
                    text += "       cause: " + shownText(cause) + "\n";
                }
                if (greeting.recording->fix) {
                    text += "       fix:   " + *greeting.recording->fix + "\n";
                }
                if (greeting.master) {
                    text +=
                        "       keeps: the master, moved to " + shownName(*greeting.master) + "\n";
                }
            }
        }
        for (const ModeNames& names : greeting.modes) {
            text += "     mode " + std::to_string(names.mode) + "     " +
                    (names.endLine ? "ends the run: " + shownLine(*names.endLine)
                                   : shownName(names.g723File) + ", " + shownName(names.g711File)) +
                    "\n";
        }
        for (const std::string& problem : greeting.problems) {
            text += "     problem    " + shownText(problem) + "\n";
        }
        for (const PreparableSource& source : greeting.sources) {
            text += "     source     " + shownName(source.path) + "\n";
            text += "       fix:     " + source.command + "\n";
        }
        for (const std::string& warning : greeting.warnings) {
            text += "     note       " + shownText(warning) + "\n";
        }
    }
    if (check.structureError) {
        text +=
            "The run ends here: an attendant without AAName or a greeting without id or "
            "RecordingName (QuenGreeting logs an empty line and exits with 255).\n";
    }
    // A run the pre-checks stop reaches no greeting to end at.
    for (std::size_t m = 0; check.operandFailure.empty() && m < check.modes.size(); ++m) {
        for (std::size_t i = 0; i < check.greetings.size(); ++i) {
            const GreetingCheck& greeting = check.greetings[i];
            if (greeting.skipped || !greeting.modes[m].reached) {
                continue;
            }
            if (greeting.modes[m].endLine || !greeting.exists) {
                text += "A mode " + std::to_string(check.modes[m]) + " run ends at greeting " +
                        std::to_string(i + 1) + "; the greetings after it are not converted.\n";
                break;
            }
        }
    }
    if (check.prepareAll && check.prepareAllWavDirectory) {
        text +=
            "Every file in the wav directory can be kept as a master and every recording "
            "prepared into a new folder (then check with --wav-dir " +
            shellWord(*check.prepareAllWavDirectory) + "): " + *check.prepareAll + "\n";
    } else if (check.prepareAll) {
        text +=
            "Every recording can be prepared from its master at once: " + *check.prepareAll + "\n";
    }
    text += templateSummary(check) + "\n";
    std::cout << text;
}

}  // namespace

nlohmann::json templateJson(const TemplateCheck& check) {
    nlohmann::json greetings = nlohmann::json::array();
    for (const GreetingCheck& greeting : check.greetings) {
        nlohmann::json modes = nlohmann::json::array();
        for (const ModeNames& names : greeting.modes) {
            modes.push_back({{"mode", names.mode},
                             {"g723_file", names.g723File},
                             {"g711_file", names.g711File},
                             {"ends_run", names.endLine ? nlohmann::json(*names.endLine)
                                                        : nlohmann::json(nullptr)},
                             {"reached", names.reached}});
        }
        nlohmann::json sources = nlohmann::json::array();
        for (const PreparableSource& source : greeting.sources) {
            sources.push_back({{"path", source.path}, {"command", source.command}});
        }
        greetings.push_back({{"attendant", greeting.attendant},
                             {"id", greeting.id},
                             {"kind", greeting.kind},
                             {"recording_name", greeting.recordingName},
                             {"wav_file", greeting.wavFile},
                             {"skipped", greeting.skipped},
                             {"exists", greeting.exists},
                             {"recording", greeting.recording ? recordingJson(*greeting.recording)
                                                              : nlohmann::json(nullptr)},
                             {"sources", sources},
                             {"master", greeting.master ? nlohmann::json(*greeting.master)
                                                        : nlohmann::json(nullptr)},
                             {"modes", modes},
                             {"problems", greeting.problems},
                             {"notes", greeting.warnings}});
    }
    return {{"template", check.templatePath},
            {"modes", check.modes},
            {"operand_failure", check.operandFailure},
            {"load_failure", check.loadFailure},
            {"structure_error", check.structureError},
            {"greetings", greetings},
            {"all_convert", check.allConvert()},
            {"summary", templateSummary(check)},
            {"prepare_all",
             check.prepareAll ? nlohmann::json(*check.prepareAll) : nlohmann::json(nullptr)},
            {"prepare_all_wav_dir", check.prepareAllWavDirectory
                                        ? nlohmann::json(*check.prepareAllWavDirectory)
                                        : nlohmann::json(nullptr)}};
}

namespace {

int checkTemplateFile(const CheckOptions& options, const Context& context) {
    std::error_code error;
    if (!options.mastersDirectory.empty() &&
        !std::filesystem::is_directory(options.mastersDirectory, error)) {
        std::cerr << "quen check: " << shownName(options.mastersDirectory)
                  << ": no such directory\n";
        return EXIT_TROUBLE;
    }
    const TemplateCheck check =
        checkTemplate(options.templatePath, options.wavDirectory, options.resultDirectory,
                      options.mode, options.mastersDirectory);
    if (context.json) {
        printJson(templateJson(check));
    } else {
        printTemplateText(check);
    }
    return check.unreadable ? EXIT_TROUBLE : check.allConvert() ? EXIT_ALL_GOOD : EXIT_PROBLEM;
}

}  // namespace

void addCheckCommand(CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "check", "Tell whether QuenGreeting takes recordings, or a whole AA template, and why not");
    auto options = std::make_shared<CheckOptions>();
    addTemplateOperands(*command, *options, "Recordings to check (- for standard input)",
                        "The result directory the data-file names are shown in (default .)");
    command
        ->add_option("--from", options->mastersDirectory,
                     "With --template: where the masters are kept, to name the ones a missing "
                     "recording can be prepared from")
        ->needs(command->get_option("--template"));
    command->add_flag("-q,--quiet", options->quiet,
                      "Report only refused recordings and those with findings (text only; a "
                      "template is reported whole)");
    command->footer(
        "--json (before or after \"check\") writes one JSON document instead of text.\n\n" +
        exitCodesText("every recording is accepted without findings, or every greeting of the "
                      "template would convert",
                      "a recording is refused, is a data file or has findings; a greeting would "
                      "not convert, "
                      "the template is malformed or names a recording that is missing",
                      "a recording, the template, --wav-dir or --result-dir is missing, not "
                      "the kind of file it should be, or unreadable"));
    command->callback([command, options, &context] {
        requireFilesOrTemplate(*command, *options, "recordings");
        context.exitCode = options->templatePath.empty() ? checkFiles(*options, context)
                                                         : checkTemplateFile(*options, context);
    });
}

}  // namespace quen::tool
