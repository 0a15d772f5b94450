// `quen help [SUBCOMMAND]`: the same text as `quen --help` or `quen SUBCOMMAND --help`.
#include <iostream>
#include <string>

#include "quen/Commands.h"
#include "quen/TextDisplay.h"

namespace quen::tool {

std::string exitCodesText(const std::string& whenZero, const std::string& whenOne,
                          const std::string& whenTwo) {
    return "Exit codes:\n"
           "  0  " +
           whenZero + "\n  1  " + whenOne + "\n  2  " + whenTwo +
           "; standard output cannot be written; the command line cannot be parsed (nothing "
           "is read or written)\n"
           "  When both 1 and 2 apply, 2 wins; every file is still reported.";
}

void addHelpCommand(CLI::App& app, Context& context) {
    auto* command = app.add_subcommand("help", "Show help for quen or for one subcommand");
    auto name = std::make_shared<std::string>();
    command->add_option("SUBCOMMAND", *name, "The subcommand to describe");
    command->callback([&app, name, &context] {
        if (name->empty()) {
            std::cout << app.help();
            return;
        }
        const CLI::App* target = nullptr;
        for (const CLI::App* sub : app.get_subcommands({})) {
            if (sub->get_name() == *name) {
                target = sub;
            }
        }
        if (target == nullptr) {
            std::cerr << "quen help: no subcommand \"" << shownText(*name) << "\"\n"
                      << "Run with --help for more information.\n";
            context.exitCode = EXIT_TROUBLE;
            return;
        }
        // Named as the caller types it: "quen inspect", not the subcommand alone.
        std::cout << target->help(app.get_name());
    });
}

}  // namespace quen::tool
