// The companion command `quen`: git-style subcommands for looking into data files and
// getting recordings into shape.
// Settles the process as QuenGreeting does, parses the command line, lets the chosen
// subcommand run and returns its exit code; a report that could not be written, or a
// failure no subcommand expected, is one line on standard error and exit code 2.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <sstream>

#include "media/DecodeChild.h"
#include "platform/ProcessSetup.h"
#include "quen/Commands.h"
#include "quen/TextDisplay.h"

namespace {

using namespace quen::tool;

int runCommandLine(int argc, char** argv) {
    CLI::App app{"Inspects QuenGreeting data files and prepares recordings for it.", "quen"};
    app.set_version_flag("--version", "quen " QUEN_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    Context context;
    app.add_flag("--json", context.json, "Write one JSON document instead of text");

    addHelpCommand(app, context);
    addInspectCommand(app, context);
    addCheckCommand(app, context);
    addPrepareCommand(app, context);
    addReportCommand(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return app.exit(done);  // --help or --version, printed
    } catch (const CLI::ParseError& error) {
        // The message may quote an operand: escaped like every name shown.
        std::ostringstream message;
        app.exit(error, message, message);
        std::cerr << shownText(message.str(), true);
        return EXIT_TROUBLE;
    }
    return context.exitCode;
}

// A caller reading the report must learn that it is incomplete (a full disk, a
// closed pipe), whatever the subcommand found.
bool reportWritten() {
    std::cout.flush();
    const bool written = std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!written) {
        std::cerr << "quen: cannot write the report to standard output: " << std::strerror(errno)
                  << "\n";
    }
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    // The program is also its own jailed decoder of recordings.
    if (quen::isDecodeChild(argc, argv)) {
        quen::runDecodeChild(argc, argv);
    }
    quen::prepareProcess();
    int exitCode = EXIT_TROUBLE;
    try {
        exitCode = runCommandLine(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << "quen: out of memory\n";
        return EXIT_TROUBLE;
    } catch (const std::exception& error) {
        std::cerr << "quen: " << shownText(error.what(), true) << "\n";
        return EXIT_TROUBLE;
    }
    return reportWritten() ? exitCode : EXIT_TROUBLE;
}
