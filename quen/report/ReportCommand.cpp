// `quen report --template T.xml --wav-dir W --result-dir R -o report.html` and `quen
// report FILE... -o report.html`: one self-contained page to see and hear every
// greeting as callers will, with its problems.
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/AtomicFileWriter.h"
#include "platform/LinkRule.h"
#include "quen/Commands.h"
#include "quen/FailureText.h"
#include "quen/InputOperands.h"
#include "quen/OutputFile.h"
#include "quen/TemplateOperands.h"
#include "quen/TextDisplay.h"
#include "quen/inspect/InspectReport.h"
#include "quen/report/ReportAudio.h"
#include "quen/report/ReportBuilder.h"
#include "quen/report/ReportHtml.h"

namespace quen::tool {
namespace {

struct ReportOptions : TemplateOperands {
    std::string output;
    bool overwrite = false;
};

std::size_t problemCount(const ReportView& page) {
    std::size_t count = page.pageProblems.size();
    for (const GreetingView& greeting : page.greetings) {
        count += greeting.problems.size();
    }
    return count;
}

// "dir/report.html" -> "dir/report-audio".
std::string folderBeside(const std::string& pagePath) {
    const std::size_t slash = pagePath.rfind('/');
    const std::size_t dot = pagePath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && dot > (slash == std::string::npos ? 0 : slash + 1);
    return (hasExtension ? pagePath.substr(0, dot) : pagePath) + "-audio";
}

// "dir/name" -> {"dir", "name"}; "name" -> {".", "name"}.
std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The page must not replace what it shows: `quen report a.c11 -o a.c11`, a slip of
// the keyboard, would destroy the data file, and a page named like a recording or a
// data file of the template would destroy that.
std::optional<std::string> shownFileNamedAsOutput(const std::string& page,
                                                  const ReportOptions& options,
                                                  const InputOperands& files,
                                                  const std::set<FileKey>& shown) {
    struct stat output {};
    if (::stat(page.c_str(), &output) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> inputs = options.files;
    if (!options.templatePath.empty()) {
        inputs.push_back(options.templatePath);
    }
    for (const std::string& input : inputs) {
        struct stat info {};
        if (::stat(files.path(input).c_str(), &info) == 0 && info.st_dev == output.st_dev &&
            info.st_ino == output.st_ino) {
            return "is the input " + input;
        }
    }
    if (shown.contains(FileKey{output.st_dev, output.st_ino})) {
        return "is a recording or a data file the page shows";
    }
    return std::nullopt;
}

// Why the page cannot be written where the command line puts it, known before anything
// is written: a link the rules refuse, or a place that takes no file.
std::optional<std::string> pageRefusal(const Result<std::string>& resolved) {
    if (!resolved) {
        return "cannot write: " + describeFailure(resolved.failure());
    }
    const auto [directory, name] = splitPath(*resolved);
    struct stat info {};
    if (name.empty() || (::stat(resolved->c_str(), &info) == 0 && !S_ISREG(info.st_mode))) {
        return std::string("cannot write: not a regular file");
    }
    if (::access(directory.c_str(), W_OK | X_OK) != 0) {
        return "cannot write: " + std::string(std::strerror(errno));
    }
    return std::nullopt;
}

int runReport(const ReportOptions& options, const Context& context) {
    const Result<std::string> resolved = followLinks(options.output);
    if (const auto refusal = pageRefusal(resolved)) {
        std::cerr << "quen report: " << shownName(options.output) << ": " << shownText(*refusal)
                  << "\n";
        return EXIT_TROUBLE;
    }
    // Looked at before anything is read, so that a page kept is never touched.
    if (struct stat info{}; !options.overwrite && ::lstat(options.output.c_str(), &info) == 0) {
        std::cerr << "quen report: " << shownName(options.output) << ": " << EXISTS_ALREADY << "\n";
        return EXIT_TROUBLE;
    }
    // Kept before anything is read: the page cannot show standard input it could not
    // read whole.
    const InputOperands files(options.files, MAX_DATA_FILE_BYTES);
    if (const Failure* failure = files.failure(STANDARD_INPUT)) {
        std::cerr << "quen report: -: " << shownText(failure->text) << "\n";
        return EXIT_TROUBLE;
    }
    ReportGathering gathering =
        options.templatePath.empty()
            ? ReportGathering::ofFiles(options.files, files)
            : ReportGathering::ofTemplate(options.templatePath, options.wavDirectory,
                                          options.resultDirectory, options.mode);
    const std::set<FileKey> shown = gathering.shownFiles();
    if (const auto input = shownFileNamedAsOutput(*resolved, options, files, shown)) {
        std::cerr << "quen report: " << shownName(options.output) << ": " << shownText(*input)
                  << "; the page is not written over it\n";
        return EXIT_TROUBLE;
    }
    // Beside the page as it is written: through a link, where the link leads.
    const std::string folder = folderBeside(*resolved);
    const auto [directory, folderName] = splitPath(folder);
    AudioStore audio(AudioFolder(
        directory, folderName, *resolved == options.output ? folderBeside(options.output) : folder,
        shown, options.overwrite));
    const ReportView page = gathering.build(audio);
    if (!audio.failure().empty()) {
        audio.removeWritten();
        std::cerr << "quen report: " << shownText(audio.failure()) << "\n";
        return EXIT_TROUBLE;
    }
    FileReplacement replacement(*resolved);
    writeReportHtml(page, audio, [&replacement](std::string_view text) {
        const std::array<ByteSpan, 1> piece{
            ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())};
        replacement.append(piece);
    });
    if (const Result<void> written = replacement.commit(); !written) {
        audio.removeWritten();
        std::cerr << "quen report: " << shownName(options.output)
                  << ": cannot write: " << shownText(describeFailure(written.failure())) << "\n";
        return EXIT_TROUBLE;
    }
    // The page is whole: what an earlier run of it left beside it and this one does not
    // use can go. A list not written costs only that on the next run.
    if (const std::string error = audio.finishPage(splitPath(*resolved).second); !error.empty()) {
        std::cerr << "quen report: " << shownText(error) << "\n";
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
        std::cout << shownName(options.output) << ": " << page.greetings.size() << shown
                  << (page.greetings.size() == 1 ? ", " : "s, ") << problems
                  << (problems == 1 ? " problem" : " problems")
                  << (audio.embedded() ? "; audio inside the page"
                                       : "; audio in " + shownName(audio.folder() + "/"))
                  << "\n";
    }
    return page.unreadableInput ? EXIT_TROUBLE : problems == 0 ? EXIT_ALL_GOOD : EXIT_PROBLEM;
}

}  // namespace

void addReportCommand(CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "report", "Write one HTML page to see and hear every greeting as callers will");
    auto options = std::make_shared<ReportOptions>();
    addTemplateOperands(*command, *options, "Data files to show (- for standard input)",
                        "The directory of the data files (default .)");
    command->add_option("-o,--output", options->output, "The page to write")
        ->required()
        ->type_name("OUT.html");
    command->add_flag("-y,--overwrite", options->overwrite,
                      "Replace an existing OUT.html and take its audio folder");
    command->footer(
        "The audio is inside the page up to 50 MB of it; past that it is written as WAV files\n"
        "in a folder beside the page (report.html: report-audio/), which the page links; each\n"
        "distinct audio is kept once. Past 2 GB of WAV files the page is refused. What an\n"
        "earlier run of the same page wrote in that folder, and this run does not use, is\n"
        "removed (the folder too, when the audio is inside the page and nothing else is in "
        "it).\n\n" +
        exitCodesText("the page is written and lists no problem",
                      "the page is written and lists a problem",
                      "a FILE, the template, --wav-dir or --result-dir is missing or unreadable "
                      "(the page is written and says so), or the page or its audio folder "
                      "cannot be written or exists already without -y"));
    command->callback([command, options, &context] {
        requireFilesOrTemplate(*command, *options, "data files");
        context.exitCode = runReport(*options, context);
    });
}

}  // namespace quen::tool
