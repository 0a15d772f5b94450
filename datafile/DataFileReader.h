// Reads a data file from its bytes: the preamble and header fields, and the packet
// stream checked packet by packet against the codec's frame size. Nothing here opens
// a file, and nothing is allocated beyond the size of the bytes given; the payloads
// found point into those bytes, which must outlive the result.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codec/Codec.h"
#include "datafile/DataFileHeader.h"
#include "platform/Result.h"

namespace quen {

// One fault of the packet stream or of the stated length, at a file offset.
struct DataFileProblem {
    std::uint64_t offset = 0;
    std::string text;
};

struct DataFileContents {
    std::uint32_t totalLength = 0;
    std::uint64_t fileSize = 0;
    std::uint8_t flashType = 0;
    std::uint8_t headerLength = 0;
    Codec codec = Codec::MuLaw;  // the codec the flash type selects
    // Mailbox name, recording name or calling party, display string: the code units up
    // to the first zero unit, unchecked (a lone surrogate stays as it is).
    std::array<std::u16string, 3> texts;
    HeaderWord reserved{};
    HeaderWord internalFlag{};
    std::int32_t recordTime = 0;
    std::int32_t listenTime = 0;

    std::size_t packetCount = 0;
    // Frames present, a trailing part-frame counting as one.
    std::size_t frameCount = 0;
    // The payload of every packet that could be framed, in order: the compressed audio,
    // without a copy of a long file.
    std::vector<std::span<const std::uint8_t>> payloads;
    std::size_t streamBytes = 0;

    // The first MAX_LISTED_PROBLEMS problems, and how many there were in all.
    static constexpr std::size_t MAX_LISTED_PROBLEMS = 100;
    std::vector<DataFileProblem> problems;
    std::size_t problemCount = 0;

    bool valid() const { return problemCount == 0; }
};

// A failure when not even the preamble could be read.
Result<DataFileContents> readDataFile(std::span<const std::uint8_t> bytes);

// What the flash type says beyond the codec.
bool isGreetingFlashType(std::uint8_t flashType);
bool hasNewMessageBit(std::uint8_t flashType);
// One of the codes the codec table names (otherwise mu-law by default).
bool isListedFlashType(std::uint8_t flashType);

}  // namespace quen
