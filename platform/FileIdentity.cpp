// realpath of the file, or of its directory when the file is not there yet.
#include "platform/FileIdentity.h"

#include <climits>
#include <cstdlib>
#include <memory>

namespace quen {
namespace {

std::string resolved(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : std::string();
}

}  // namespace

std::string fileIdentity(const std::string& path) {
    if (std::string whole = resolved(path); !whole.empty()) {
        return whole;
    }
    const auto slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string real = resolved(directory);
    // An unresolvable directory: the path itself is the best name there is.
    return real.empty() ? path : real + "/" + name;
}

}  // namespace quen
