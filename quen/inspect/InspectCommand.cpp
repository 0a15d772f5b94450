// `quen inspect FILE... [--wav OUT.wav] [--svg OUT.svg] [-y] [-q]`: reads each data file,
// reports its header, checks its packet stream, measures its decoded audio, and on
// request writes that audio as a WAV file or a waveform picture.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "codec/Codec.h"
#include "datafile/DataFileLayout.h"
#include "datafile/DataFileReader.h"
#include "platform/InputFile.h"
#include "platform/Result.h"
#include "quen/Commands.h"
#include "quen/DecodedAudio.h"
#include "quen/FailureText.h"
#include "quen/InputOperands.h"
#include "quen/Output.h"
#include "quen/OutputFile.h"
#include "quen/SoundFindings.h"
#include "quen/SoundMeasures.h"
#include "quen/TextDisplay.h"
#include "quen/WavOutput.h"
#include "quen/WaveformSvg.h"
#include "quen/WrongCommand.h"
#include "quen/inspect/InspectReport.h"

namespace quen::tool {
namespace {

struct InspectOptions {
    std::vector<std::string> files;
    std::string wav;
    std::string svg;
    bool overwrite = false;
    bool quiet = false;
};

bool writeOutput(const std::string& path, std::span<const ByteSpan> pieces, bool overwrite) {
    if (const std::string error = writeOutputFile(path, pieces, overwrite); !error.empty()) {
        std::cerr << "quen inspect: " << shownName(path) << ": " << error << "\n";
        return false;
    }
    return true;
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples, bool overwrite) {
    if (const std::string error = writeWavOutput(path, samples, overwrite); !error.empty()) {
        std::cerr << "quen inspect: " << shownName(path) << ": " << error << "\n";
        return false;
    }
    return true;
}

std::string svgTitle(const DataFileContents& contents) {
    std::string title(codecFacts(contents.codec).name);
    for (const std::u16string& text : contents.texts) {
        if (!text.empty()) {
            title += " \u2014 " + displayText(text);
        }
    }
    return title;
}

// The bytes of a data file, for a regular file only; the preamble is read and checked
// first, so a file that is no data file costs one small read, however large it is.
Result<std::vector<std::uint8_t>> readDataFileBytes(const std::string& path) {
    // Looked at before it is opened, so that no pipe or device is ever opened.
    auto opened = InputFile::openRegular(path);
    if (!opened) {
        const Failure& failure = opened.failure();
        if (failure.reason == FailureReason::NotRegular) {
            return Failure{failure.category, "not a regular file but " + failure.text,
                           failure.reason};
        }
        const char* what =
            failure.reason == FailureReason::CannotRead ? "cannot read: " : "cannot open: ";
        return Failure{failure.category, what + failure.text, failure.reason};
    }
    InputFile& input = *opened;
    const auto unreadable = [&input](const char* what) {
        return Failure{input.failure()->category, what + describeFailure(input.failure()->category),
                       FailureReason::CannotRead};
    };
    if (input.size() > MAX_DATA_FILE_BYTES) {
        return Failure{FailureCategory::Generic,
                       std::to_string(input.size()) + " bytes, larger than any data file can be",
                       FailureReason::TooLarge};
    }
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), PREAMBLE_BYTES)));
    if (!input.readAt(0, bytes)) {
        return unreadable("cannot read: ");
    }
    if (const auto preamble = readDataFile(bytes); !preamble) {
        if (looksLikeWav(bytes)) {
            return Failure{FailureCategory::InvalidFile,
                           "a WAV recording, not a data file: use quen check"};
        }
        return preamble.failure();
    }
    bytes.resize(static_cast<std::size_t>(input.size()));
    const auto rest = std::span(bytes).subspan(std::min<std::size_t>(bytes.size(), PREAMBLE_BYTES));
    if (!input.readAt(PREAMBLE_BYTES, rest) && !rest.empty()) {
        return unreadable("cannot read: ");
    }
    return bytes;
}

}  // namespace

InspectedFile inspectDataFile(const std::string& path, const std::string& name,
                              const WhileMeasuring& whileMeasuring, const KnownSoundOf& known) {
    InspectedFile result;
    InspectReport& report = result.report;
    report.file = name;
    auto bytes = readDataFileBytes(path);
    if (!bytes) {
        report.error = bytes.failure().text;
        result.unreadable = isAccessFailure(bytes.failure());
        return result;
    }
    Result<DataFileContents> read = readDataFile(*bytes);
    if (!read) {
        report.error = read.failure().text;
        return result;
    }
    if (std::optional<KnownSound> reused = known ? known(*read) : std::nullopt) {
        report.sound = std::move(reused->sound);
        report.undecodableFrames = reused->undecodableFrames;
        report.audioError = std::move(reused->audioError);
    } else if (Result<DecodedAudio> audio = decodeAudio(*read); !audio) {
        report.audioError = audio.failure().text;
    } else {
        result.audio = std::move(*audio);
        SoundMeasuring measuring(result.audio->samples, result.audio->lowest,
                                 result.audio->highest);
        if (whileMeasuring) {
            whileMeasuring(*result.audio, *read);
        }
        report.sound = measuring.result();
        report.undecodableFrames = result.audio->failedFrames;
    }
    report.contents = std::move(*read);
    if (report.sound) {
        report.findings = soundFindings(*report.sound, convertDataFileAgain(name, report.contents));
    }
    // The payloads point into the bytes, which end here.
    report.contents.payloads.clear();
    return result;
}

namespace {

// One file: its report, and the outputs asked for; its exit code.
int inspectFile(const std::string& name, const InputOperands& inputs, const InspectOptions& options,
                InspectReport& report) {
    if (const Failure* failure = inputs.failure(name)) {
        report.file = name;
        report.error = failure->text;
        return EXIT_TROUBLE;
    }
    // The outputs are written while the audio is measured.
    bool written = true;
    const auto writeOutputs = [&](const DecodedAudio& audio, const DataFileContents& contents) {
        if (!options.wav.empty()) {
            written = writeWav(options.wav, audio.samples, options.overwrite) && written;
        }
        if (!options.svg.empty()) {
            const std::string svg =
                waveformSvg(audio.samples, audio.lowest, audio.highest, svgTitle(contents));
            const std::array<ByteSpan, 1> pieces{
                ByteSpan(reinterpret_cast<const std::uint8_t*>(svg.data()), svg.size())};
            written = writeOutput(options.svg, pieces, options.overwrite) && written;
        }
    };
    InspectedFile inspected = inspectDataFile(inputs.path(name), name, writeOutputs);
    report = std::move(inspected.report);
    if (!inspected.audio) {
        return inspected.unreadable ? EXIT_TROUBLE : EXIT_PROBLEM;
    }
    if (!written) {
        return EXIT_TROUBLE;
    }
    return report.contents.valid() && report.findings.empty() ? EXIT_ALL_GOOD : EXIT_PROBLEM;
}

int runInspect(const InspectOptions& options, bool json) {
    const InputOperands inputs(options.files, MAX_DATA_FILE_BYTES);
    // Standard output carries the decoded audio or the picture when asked to; the
    // report then goes to standard error.
    const bool outputIsStdout = options.wav == STANDARD_OUTPUT || options.svg == STANDARD_OUTPUT;
    std::ostream& reportStream = outputIsStdout ? std::cerr : std::cout;
    nlohmann::json reports = nlohmann::json::array();
    int exitCode = EXIT_ALL_GOOD;
    for (const std::string& name : options.files) {
        InspectReport report;
        const int fileExit = inspectFile(name, inputs, options, report);
        const bool good = fileExit == EXIT_ALL_GOOD;
        exitCode = worse(exitCode, fileExit);
        if (json) {
            reports.push_back(reportJson(report));
        } else if (!options.quiet || !good || !report.findings.empty()) {
            reportStream << reportText(report);
        }
    }
    if (json) {
        reportStream << jsonText({{"valid", exitCode == EXIT_ALL_GOOD}, {"files", reports}});
    }
    return exitCode;
}

}  // namespace

void addInspectCommand(CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "inspect", "Show a data file's header, check its packets, measure and decode its audio");
    auto options = std::make_shared<InspectOptions>();
    command->add_option("FILE", options->files, "Data files to read (- for standard input)")
        ->required()
        ->type_name("");
    command
        ->add_option("--wav", options->wav,
                     "Write the decoded audio to this 8 kHz 16-bit mono WAV file")
        ->type_name("OUT.wav");
    command->add_option("--svg", options->svg, "Write a waveform picture to this SVG file")
        ->type_name("OUT.svg");
    command->add_flag("-y,--overwrite", options->overwrite,
                      "Replace an existing OUT.wav or OUT.svg");
    command->add_flag("-q,--quiet", options->quiet,
                      "Report only the files that are not valid or have findings (text only)");
    command->footer(
        "--json (before or after \"inspect\") writes one JSON document instead of text.\n"
        "\"-\" for --wav or --svg writes it to standard output; the report then goes to\n"
        "standard error.\n\n" +
        exitCodesText("every file is valid, without findings, and every output written",
                      "a file is invalid or has findings",
                      "a file is missing, not a regular file, unreadable or too large, or an "
                      "output cannot be written or exists already without -y"));
    command->callback([options, &context] {
        if ((!options->wav.empty() || !options->svg.empty()) && options->files.size() != 1) {
            throw CLI::ValidationError("--wav/--svg", "name exactly one FILE to decode");
        }
        if (options->wav == STANDARD_OUTPUT && options->svg == STANDARD_OUTPUT) {
            throw CLI::ValidationError("--wav/--svg", "only one of them can be \"-\"");
        }
        context.exitCode = runInspect(*options, context.json);
    });
}

}  // namespace quen::tool
