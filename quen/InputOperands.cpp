// Standard input is read before any file is worked on, so that a file prepared on
// another core never waits for a pipe.
#include "quen/InputOperands.h"

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>

namespace quen::tool {

InputOperands::InputOperands(const std::vector<std::string>& operands, std::uint64_t maxBytes) {
    const auto count = std::count(operands.begin(), operands.end(), STANDARD_INPUT);
    if (count > 1) {
        throw CLI::ValidationError("-", "standard input can be read only once: give \"-\" once");
    }
    if (count == 1) {
        standardInput_.emplace(StandardInputFile::spool(maxBytes, STDIN_FILENO));
    }
}

const std::string& InputOperands::path(const std::string& operand) const {
    return operand == STANDARD_INPUT && standardInput_ && *standardInput_
               ? (*standardInput_)->path()
               : operand;
}

const Failure* InputOperands::failure(const std::string& operand) const {
    return operand == STANDARD_INPUT && standardInput_ && !*standardInput_
               ? &standardInput_->failure()
               : nullptr;
}

}  // namespace quen::tool
