// `quen report --template T.xml --wav-dir W --result-dir R -o report.html` and `quen
// report FILE... -o report.html`: one self-contained page to see and hear every
// greeting as callers will, with its problems.
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <array>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/AtomicFileWriter.h"
#include "quen/Commands.h"
#include "quen/FailureText.h"
#include "quen/TemplateOperands.h"
#include "quen/report/ReportAudio.h"
#include "quen/report/ReportBuilder.h"
#include "quen/report/ReportHtml.h"

namespace quen::tool {
namespace {

struct ReportOptions : TemplateOperands {
    std::string output;
};

std::size_t problemCount(const ReportView& page) {
    std::size_t count = page.pageProblems.size();
    for (const GreetingView& greeting : page.greetings) {
        count += greeting.problems.size();
    }
    return count;
}

// The page must not replace what it shows: `quen report a.c11 -o a.c11`, a slip of
// the keyboard, would destroy the data file.
std::optional<std::string> inputNamedAsOutput(const ReportOptions& options) {
    struct stat output {};
    if (::stat(options.output.c_str(), &output) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> inputs = options.files;
    if (!options.templatePath.empty()) {
        inputs.push_back(options.templatePath);
    }
    for (const std::string& input : inputs) {
        struct stat info {};
        if (::stat(input.c_str(), &info) == 0 && info.st_dev == output.st_dev &&
            info.st_ino == output.st_ino) {
            return input;
        }
    }
    return std::nullopt;
}

int runReport(const ReportOptions& options, const Context& context) {
    if (const auto input = inputNamedAsOutput(options)) {
        std::cerr << "quen report: " << options.output << ": is the input " << *input
                  << "; the page is not written over it\n";
        return EXIT_INVALID;
    }
    const ReportView page = options.templatePath.empty()
                                ? filesReport(options.files)
                                : templateReport(options.templatePath, options.wavDirectory,
                                                 options.resultDirectory, options.mode);
    AudioPlacement audio(options.output, audioBytes(page));
    const std::string html = reportHtml(page, audio);
    if (!audio.failure().empty()) {
        std::cerr << "quen report: " << audio.failure() << "\n";
        return EXIT_INVALID;
    }
    const std::array<ByteSpan, 1> pieces{
        ByteSpan(reinterpret_cast<const std::uint8_t*>(html.data()), html.size())};
    if (const Result<void> written = replaceFileAtomically(options.output, pieces); !written) {
        std::cerr << "quen report: " << options.output
                  << ": cannot write: " << describeFailure(written.failure()) << "\n";
        return EXIT_INVALID;
    }
    const std::size_t problems = problemCount(page);
    if (context.json) {
        std::cout << nlohmann::json{{"page", options.output},
                                    {"audio_folder", audio.embedded()
                                                         ? nlohmann::json(nullptr)
                                                         : nlohmann::json(audio.folder())},
                                    {"greetings", page.greetings.size()},
                                    {"problems", problems}}
                         .dump(2)
                  << "\n";
    } else {
        const char* shown = options.templatePath.empty() ? " data file" : " greeting";
        std::cout << options.output << ": " << page.greetings.size() << shown
                  << (page.greetings.size() == 1 ? ", " : "s, ") << problems
                  << (problems == 1 ? " problem" : " problems")
                  << (audio.embedded() ? "; audio inside the page"
                                       : "; audio in " + audio.folder() + "/")
                  << "\n";
    }
    return problems == 0 ? EXIT_ALL_GOOD : EXIT_INVALID;
}

}  // namespace

void addReportCommand(CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "report", "Write one HTML page to see and hear every greeting as callers will");
    auto options = std::make_shared<ReportOptions>();
    addTemplateOperands(*command, *options, "Data files to show",
                        "The directory of the data files (default .)");
    command->add_option("-o,--output", options->output, "The page to write")
        ->required()
        ->type_name("OUT.html");
    command->footer(
        "The audio is inside the page up to 50 MB of it; past that it is written as WAV files\n"
        "in a folder beside the page (report.html: report-audio/), which the page links.\n\n" +
        exitCodesText("the page is written and lists no problem",
                      "the page lists a problem, or could not be written"));
    command->callback([command, options, &context] {
        requireFilesOrTemplate(*command, *options, "data files");
        context.exitCode = runReport(*options, context);
    });
}

}  // namespace quen::tool
