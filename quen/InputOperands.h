// "-" among a subcommand's inputs: standard input, kept whole in an unnamed temporary
// file within the limit a named input of its kind has, then read by path as a named
// file is. Messages and reports name it "-".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "platform/StandardInputFile.h"

namespace quen::tool {

inline constexpr const char* STANDARD_INPUT = "-";

// The most a recording from standard input may hold: the largest RIFF file, whose size
// field counts the bytes after its first 8. A named recording has no such bound (RF64
// and W64 may be larger), but a copy on disk must have one.
inline constexpr std::uint64_t MAX_STANDARD_INPUT_RECORDING_BYTES = 8 + 0xFFFFFFFFull;

class InputOperands {
  public:
    // Keeps standard input when one of `operands` is "-", at most `maxBytes` of it; more
    // than one "-" is a usage error (CLI::ValidationError), since standard input is read
    // once.
    InputOperands(const std::vector<std::string>& operands, std::uint64_t maxBytes);

    // The path `operand` is read by: itself, or the copy of standard input.
    const std::string& path(const std::string& operand) const;
    // For "-" when standard input could not be kept: why. Its reason is TooLarge,
    // CannotRead or CannotOpen.
    const Failure* failure(const std::string& operand) const;

  private:
    std::optional<Result<StandardInputFile>> standardInput_;
};

}  // namespace quen::tool
