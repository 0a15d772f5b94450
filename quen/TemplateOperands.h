// The operands of the subcommands that take either files or an AA template whole, as a
// batch run takes it (check, report): the same names, help and rules between them.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace quen::tool {

struct TemplateOperands {
    std::vector<std::string> files;
    std::string templatePath;
    std::string wavDirectory;
    std::string resultDirectory = ".";
    std::optional<int> mode;  // 1 or 2; both when not given
};

// Adds FILE..., --template, --wav-dir, --result-dir and --mode to `command`: the files
// exclude the template, which needs the wav directory (and the other way round); the
// result directory and the mode need the template. `files` and `resultDirectory` say
// what the files and the result directory are to this subcommand.
void addTemplateOperands(CLI::App& command, TemplateOperands& operands, const std::string& files,
                         const std::string& resultDirectory);

// Whether a template's recording name, with '/' separators, names a file below the wav
// directory: relative, with no ".." part. The template is not trusted to point anywhere
// else, for prepare to write or for check to look around.
bool staysBelowDirectory(const std::string& relative);

// A usage error unless files or a template were given.
void requireFilesOrTemplate(const CLI::App& command, const TemplateOperands& operands,
                            const std::string& files);

}  // namespace quen::tool
