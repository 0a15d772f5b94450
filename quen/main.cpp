// The companion command `quen`: git-style subcommands for looking into data files.
// Parses the command line, lets the chosen subcommand run, returns its exit code.
#include <CLI/CLI.hpp>

#include "quen/Commands.h"

int main(int argc, char** argv) {
    using namespace quen::tool;
    CLI::App app{"Inspects and decodes QuenGreeting data files.", "quen"};
    app.set_version_flag("--version", "quen " QUEN_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    Context context;
    app.add_flag("--json", context.json, "Write one JSON document instead of text");

    addHelpCommand(app, context);
    addInspectCommand(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return app.exit(done);  // --help or --version, printed
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return EXIT_USAGE;
    }
    return context.exitCode;
}
