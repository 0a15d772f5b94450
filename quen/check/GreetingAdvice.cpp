// The names come from an untrusted template: a name that climbs out of the wav directory
// gets no advice, a folder it names that is a link out of the directory is not looked
// in, and a link is never taken for a source, so that nothing outside the directories
// given is named or read.
#include "quen/check/GreetingAdvice.h"

#include <algorithm>
#include <filesystem>

#include "platform/FileIdentity.h"
#include "quen/ShellCommand.h"
#include "quen/TemplateOperands.h"

namespace quen::tool {
namespace {

namespace fs = std::filesystem;

// The most names a master may be moved to: "-master", "-master-2" ... "-master-9".
constexpr int MAX_MASTER_NAMES = 9;

bool isRegularNotLink(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(fs::symlink_status(path, error));
}

bool isThere(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// Whether `directory` is `top` or below it once links are resolved: a folder the
// template names may be a link to anywhere.
bool isWithin(const fs::path& directory, const std::string& top) {
    const std::string inside = fileIdentity(directory.string());
    const std::string base = fileIdentity(top);
    return inside == base || inside.starts_with(base == "/" ? base : base + "/");
}

// The regular files of `file`'s directory with its stem and another name, sorted; none
// when that directory is not within `top`.
std::vector<std::string> sameStem(const fs::path& file, const std::string& top) {
    std::vector<std::string> found;
    if (!isWithin(file.parent_path(), top)) {
        return found;
    }
    std::error_code error;
    for (fs::directory_iterator entry(file.parent_path(), error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path name = entry->path().filename();
        if (name.stem() == file.stem() && name != file.filename() &&
            isRegularNotLink(entry->path())) {
            found.push_back(entry->path().string());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

bool sameDirectory(const std::string& first, const std::string& second) {
    return fileIdentity(first) == fileIdentity(second);
}

std::vector<PreparableSource> sourcesOfMissing(const std::string& wavFile,
                                               const std::string& relative,
                                               const std::string& wavDirectory,
                                               const std::string& mastersDirectory) {
    std::vector<PreparableSource> sources;
    if (!staysBelowDirectory(relative)) {
        return sources;
    }
    const auto add = [&](const std::vector<std::string>& paths, bool fromMasters) {
        for (const std::string& path : paths) {
            if (sources.size() < MAX_SOURCES_NAMED) {
                sources.push_back({path, prepareCommand(path, wavFile), fromMasters});
            }
        }
    };
    if (!mastersDirectory.empty() && !sameDirectory(mastersDirectory, wavDirectory)) {
        // As `prepare --template --from` chooses: the same name first.
        const fs::path master = fs::path(mastersDirectory) / relative;
        add(isRegularNotLink(master) ? std::vector{master.string()}
                                     : sameStem(master, mastersDirectory),
            true);
    }
    add(sameStem(wavFile, wavDirectory), false);
    return sources;
}

std::optional<KeptMaster> keepMaster(const std::string& wavFile, const std::string& relative) {
    if (!staysBelowDirectory(relative)) {
        return std::nullopt;
    }
    const fs::path file(wavFile);
    for (int n = 1; n <= MAX_MASTER_NAMES; ++n) {
        const fs::path master =
            file.parent_path() /
            (file.stem().string() + "-master" + (n == 1 ? std::string() : "-" + std::to_string(n)) +
             file.extension().string());
        if (!isThere(master)) {
            // -n: a file that took the name since is left alone, and prepare then
            // refuses to replace the recording, which is not its input.
            return KeptMaster{master.string(), "mv -n -- " + shellWord(wavFile) + " " +
                                                   shellWord(master.string()) + " && " +
                                                   prepareCommand(master.string(), wavFile)};
        }
    }
    return std::nullopt;
}

}  // namespace quen::tool
