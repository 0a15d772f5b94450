// The operand rules of check and report, written once.
#include "quen/TemplateOperands.h"

#include <algorithm>
#include <filesystem>

namespace quen::tool {

void addTemplateOperands(CLI::App& command, TemplateOperands& operands, const std::string& files,
                         const std::string& resultDirectory) {
    auto* fileOption = command.add_option("FILE", operands.files, files);
    auto* templatePath = command.add_option("--template", operands.templatePath,
                                            "An AA template, taken whole as a batch run takes it");
    auto* wavDirectory = command.add_option("--wav-dir", operands.wavDirectory,
                                            "The directory the template's recordings are in");
    auto* resultOption =
        command.add_option("--result-dir", operands.resultDirectory, resultDirectory);
    command.add_option("--mode", operands.mode, "The batch mode (both when not given)")
        ->check(CLI::IsMember({1, 2}))
        ->needs(templatePath);
    templatePath->needs(wavDirectory);
    wavDirectory->needs(templatePath);
    resultOption->needs(templatePath);
    fileOption->excludes(templatePath);
}

bool staysBelowDirectory(const std::string& relative) {
    const std::filesystem::path path(relative);
    if (path.empty() || path.is_absolute() || path.has_root_name()) {
        return false;
    }
    return std::none_of(path.begin(), path.end(),
                        [](const std::filesystem::path& part) { return part == ".."; });
}

void requireFilesOrTemplate(const CLI::App& command, const TemplateOperands& operands,
                            const std::string& files) {
    if (operands.files.empty() && operands.templatePath.empty()) {
        throw CLI::ValidationError("quen " + command.get_name(),
                                   "give " + files + " or --template");
    }
}

}  // namespace quen::tool
