// Command lines `quen` prints for a person to paste: every path quoted so that a shell
// reads it back as it is, and the new file names those commands write.
#pragma once

#include <string>

namespace quen::tool {

// A path as a shell reads it back: as it is when it holds only safe characters, with
// control characters in the $'...' form (bash, zsh, ksh), so that the line is safe to
// show on a terminal; otherwise in POSIX quotes.
std::string shellWord(const std::string& path);

// The names of what a command writes beside its input: in.mp3 gives in-prepared.wav.
inline constexpr const char* PREPARED_SUFFIX = "-prepared.wav";
inline constexpr const char* DECODED_SUFFIX = "-decoded.wav";

// `path` with its extension, if any, replaced by `suffix`.
std::string besideName(const std::string& path, const std::string& suffix);

// The `quen prepare` command line that writes `out` from `in`, with `options` (each
// followed by a space) before the files.
std::string prepareCommand(const std::string& in, const std::string& out,
                           const std::string& options = "");

}  // namespace quen::tool
