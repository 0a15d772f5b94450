// What every subcommand of `quen` shares: the exit codes, the global options, and the
// one function per subcommand that registers it with the command line.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace quen::tool {

enum ExitCode : int {
    EXIT_ALL_GOOD = 0,
    EXIT_INVALID = 1,  // a file is invalid or a check failed
    EXIT_USAGE = 2,    // the command line could not be parsed
};

// Filled by the command line, read by the subcommand that runs; the subcommand sets
// the exit code.
struct Context {
    bool json = false;
    int exitCode = EXIT_ALL_GOOD;
};

// The exit-code paragraph of a subcommand's help: what 0 and 1 mean for it; 2 is
// always a command line that could not be parsed.
std::string exitCodesText(const std::string& whenZero, const std::string& whenOne);

// Each adds one subcommand to `app`; its callback runs the command with `context`.
void addHelpCommand(CLI::App& app, Context& context);
void addInspectCommand(CLI::App& app, Context& context);
void addPrepareCommand(CLI::App& app, Context& context);
void addCheckCommand(CLI::App& app, Context& context);
void addReportCommand(CLI::App& app, Context& context);

}  // namespace quen::tool
