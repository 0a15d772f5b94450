// Which of `check` and `inspect` a file belongs to: a data file handed to `check`, or a
// recording handed to `inspect`, gets a message naming the right subcommand instead of a
// refusal or a page of problems.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quen::tool {

// A RIFF, RIFX or RF64 container holding WAVE data, from the first 12 bytes.
bool looksLikeWav(std::span<const std::uint8_t> start);

// What `check` says of a data file given to it.
inline constexpr const char* DATA_FILE_GIVEN_TO_CHECK =
    "a QuenGreeting data file, not a recording: use quen inspect";

// Why `check` cannot take `path` as a recording: it is missing ("cannot open: ...") or
// a data file ("... use quen inspect"); empty when it can. Anything but a regular file
// is left to the check, which explains it; nothing but a regular file is opened.
std::optional<std::string> checkRefusesOutright(const std::string& path);

}  // namespace quen::tool
