// What `quen check --template` tells a person to run for a greeting whose recording is
// missing or refused. Every command, pasted in the same directory, leaves the recording
// where the template names it, prepared, and never writes over a file that is not
// already an accepted recording: a refused one is a master and is moved aside first.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quen::tool {

// A file a missing recording can be prepared from, with the command that does it.
struct PreparableSource {
    std::string path;
    std::string command;
    bool fromMasters = false;  // found in the --from directory, not beside the recording
};

// At most this many sources are named for one recording.
inline constexpr std::size_t MAX_SOURCES_NAMED = 8;

// The sources of the missing `wavFile`, `relative` to the wav directory: in the masters
// directory (when given and not the wav directory itself) the file of the same name, or
// else those of the same stem with any extension; then those of the same stem beside
// `wavFile`. Regular files only, never through a link, in byte order; nothing when
// `relative` leads out of the wav directory.
std::vector<PreparableSource> sourcesOfMissing(const std::string& wavFile,
                                               const std::string& relative,
                                               const std::string& wavDirectory,
                                               const std::string& mastersDirectory);

// A refused recording kept as a master: moved to a free name beside it, then prepared
// from there under the template's name.
struct KeptMaster {
    std::string path;  // where the master goes
    std::string command;
};

// Nothing when `relative` leads out of the wav directory or no free name is left.
std::optional<KeptMaster> keepMaster(const std::string& wavFile, const std::string& relative);

// Whether two directories are one.
bool sameDirectory(const std::string& first, const std::string& second);

}  // namespace quen::tool
