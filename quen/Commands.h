// What every subcommand of `quen` shares: the exit codes, the global options, and the
// one function per subcommand that registers it with the command line.
#pragma once

#include <CLI/CLI.hpp>

#include <algorithm>
#include <string>

namespace quen::tool {

// The same three in every subcommand, as diff and grep have them, so that a script
// tells a finding from a failure to look.
enum ExitCode : int {
    EXIT_ALL_GOOD = 0,
    // Something read is wrong: a data file invalid, a recording refused, a greeting that
    // would not convert, a page listing problems.
    EXIT_PROBLEM = 1,
    // Trouble: a command line that cannot be parsed, an input that cannot be read, an
    // output that cannot be written, no memory.
    EXIT_TROUBLE = 2,
};

// A run is as bad as its worst file: trouble wins over a problem.
inline int worse(int exitCode, int other) {
    return std::max(exitCode, other);
}

// Filled by the command line, read by the subcommand that runs; the subcommand sets
// the exit code.
struct Context {
    bool json = false;
    int exitCode = EXIT_ALL_GOOD;
};

// The exit-code paragraph of a subcommand's help: what 0, 1 and 2 mean for it; 2 adds
// what every subcommand shares.
std::string exitCodesText(const std::string& whenZero, const std::string& whenOne,
                          const std::string& whenTwo);

// Each adds one subcommand to `app`; its callback runs the command with `context`.
void addHelpCommand(CLI::App& app, Context& context);
void addInspectCommand(CLI::App& app, Context& context);
void addPrepareCommand(CLI::App& app, Context& context);
void addCheckCommand(CLI::App& app, Context& context);
void addReportCommand(CLI::App& app, Context& context);

}  // namespace quen::tool
