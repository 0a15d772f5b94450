// Writes 8 kHz 16-bit mono samples as a canonical WAV file, whole or not at all, for
// every subcommand that produces one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quen::tool {

// Empty on success, else what went wrong, without the file's name. Replaces `path`.
std::string writeWavFile(const std::string& path, const std::vector<std::int16_t>& samples);

// The same under the rule of OutputFile.h: "-" is standard output, an existing file is
// replaced only with `overwrite`.
std::string writeWavOutput(const std::string& path, const std::vector<std::int16_t>& samples,
                           bool overwrite);

}  // namespace quen::tool
