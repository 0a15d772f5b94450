// Quoting decides on the shown form first, so a name a terminal must not see raw is
// never printed any other way.
#include "quen/ShellCommand.h"

#include "quen/InputOperands.h"
#include "quen/TextDisplay.h"

namespace quen::tool {

std::string shellWord(const std::string& path) {
    if (std::string shown = shownName(path); shown != path) {
        return shown;
    }
    const bool safe = !path.empty() && path.find_first_not_of(
                                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                           "0123456789@%+=:,./_-") == std::string::npos;
    if (safe) {
        return path;
    }
    std::string word = "'";
    for (const char c : path) {
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return word + "'";
}

std::string besideName(const std::string& path, const std::string& suffix) {
    // Standard input has no name to put a file beside; "-prepared.wav" would read as an
    // option.
    if (path == STANDARD_INPUT) {
        return suffix.substr(suffix.find_first_not_of('-'));
    }
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + suffix;
}

std::string prepareCommand(const std::string& in, const std::string& out,
                           const std::string& options) {
    return "quen prepare " + options + shellWord(in) + " " + shellWord(out);
}

}  // namespace quen::tool
