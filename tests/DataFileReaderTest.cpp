// The data-file reader on files built here: the packet walk stops at the smaller of the
// stated and the real end, each fault is placed at its own offset, a final packet may
// be neither shorter nor longer than its frame count allows, and the problems listed are
// capped while all are counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "codec/Codec.h"
#include "datafile/DataFileLayout.h"
#include "datafile/DataFileReader.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

constexpr std::size_t FRAME = 80;
constexpr std::size_t FULL_PACKET = 1 + FRAMES_PER_PACKET * FRAME;
// One full packet, then one of two frames, the second cut short.
constexpr std::size_t STREAM = FRAMES_PER_PACKET * FRAME + 100;
constexpr std::size_t FINAL_PACKET = PREAMBLE_BYTES + FULL_PACKET;

Bytes aLawFile() {
    return expectedDataFile(codecFacts(Codec::ALaw).formatCodes[0], ExpectedHeader{},
                            Bytes(STREAM, 0xD5), FRAME);
}

void setTotalLength(Bytes& file, std::uint32_t length) {
    for (int i = 0; i < 4; ++i) {
        file[TOTAL_LENGTH_OFFSET + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    }
}

TEST(DataFileReaderTest, TheWalkStopsAtTheSmallerEndAndPlacesEachFault) {
    const std::size_t size = aLawFile().size();
    ASSERT_EQ(size, FINAL_PACKET + 1 + 100);
    struct Case {
        std::string name;
        void (*change)(Bytes&);
        std::size_t packets;
        std::size_t frames;
        std::size_t streamBytes;
        std::uint64_t offset;  // of the one problem
        std::string problem;
    };
    const Case cases[] = {
        {"whole", [](Bytes&) {}, 2, 130, STREAM, 0, ""},
        {"bytes past the total length",
         [](Bytes& f) {
             f.insert(f.end(), {1, 2, 3, 4, 5});
         },
         2, 130, STREAM, FINAL_PACKET + 101,
         "5 bytes after the total length " + std::to_string(FINAL_PACKET + 101)},
        {"one byte past a shorter total length",
         [](Bytes& f) { setTotalLength(f, static_cast<std::uint32_t>(f.size() - 1)); }, 2, 130,
         STREAM - 1, FINAL_PACKET + 100,
         "1 byte after the total length " + std::to_string(FINAL_PACKET + 100)},
        {"a total length past the end",
         [](Bytes& f) { setTotalLength(f, static_cast<std::uint32_t>(f.size() + 3)); }, 2, 130,
         STREAM, FINAL_PACKET + 101,
         "the file ends 3 bytes before its total length " + std::to_string(FINAL_PACKET + 104)},
        {"a total length inside the preamble", [](Bytes& f) { setTotalLength(f, 213); }, 2, 130,
         STREAM, 0, "total length 213 is less than the 214-byte preamble"},
        {"a final packet too short for its count", [](Bytes& f) { f[FINAL_PACKET] = 2; }, 2, 130,
         STREAM, FINAL_PACKET,
         "packet header says 3 frames (at least 161 bytes) but only 100 bytes follow before the "
         "end"},
        {"a final packet longer than its count", [](Bytes& f) { f[FINAL_PACKET] = 0; }, 2, 129,
         STREAM - 20, FINAL_PACKET + 1 + FRAME,
         "20 bytes after the last packet (the packet at offset " + std::to_string(FINAL_PACKET) +
             " holds 1 frame, so it must be the last)"},
        {"a short packet ends the walk", [](Bytes& f) { f[PREAMBLE_BYTES] = 126; }, 1, 127,
         127 * FRAME, PREAMBLE_BYTES + 1 + 127 * FRAME,
         std::to_string(size - PREAMBLE_BYTES - 1 - 127 * FRAME) +
             " bytes after the last packet (the packet at offset 214 holds 127 frames, so it "
             "must be the last)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = aLawFile();
        c.change(file);
        const auto contents = readDataFile(file);
        ASSERT_TRUE(contents.ok());
        EXPECT_EQ(contents->packetCount, c.packets);
        EXPECT_EQ(contents->frameCount, c.frames);
        EXPECT_EQ(contents->streamBytes, c.streamBytes);
        EXPECT_EQ(contents->fileSize, file.size());
        std::size_t payloadBytes = 0;
        for (const auto payload : contents->payloads) {
            EXPECT_TRUE(std::all_of(payload.begin(), payload.end(),
                                    [](std::uint8_t b) { return b == 0xD5; }));
            payloadBytes += payload.size();
        }
        EXPECT_EQ(payloadBytes, c.streamBytes);
        if (c.problem.empty()) {
            EXPECT_TRUE(contents->valid());
            EXPECT_TRUE(contents->problems.empty());
        } else {
            ASSERT_EQ(contents->problemCount, 1u);
            ASSERT_EQ(contents->problems.size(), 1u);
            EXPECT_EQ(contents->problems[0].offset, c.offset);
            EXPECT_EQ(contents->problems[0].text, c.problem);
        }
    }
}

TEST(DataFileReaderTest, AFileShorterThanItsPreambleIsRefused) {
    const std::pair<std::size_t, std::string> cases[] = {
        {0, "the file is empty"},
        {1, "the file is 1 byte long, shorter than the 214-byte preamble"},
        {PREAMBLE_BYTES - 1, "the file is 213 bytes long, shorter than the 214-byte preamble"},
    };
    const Bytes whole = aLawFile();
    for (const auto& [length, failure] : cases) {
        const Bytes file(whole.begin(), whole.begin() + static_cast<long>(length));
        const auto contents = readDataFile(file);
        ASSERT_FALSE(contents.ok());
        EXPECT_EQ(contents.failure().text, failure);
    }
    // A preamble whose total length is its own: read, with no packets and no length
    // problem; one byte less is a total length inside the preamble.
    Bytes preambleOnly(whole.begin(), whole.begin() + PREAMBLE_BYTES);
    setTotalLength(preambleOnly, PREAMBLE_BYTES);
    const auto empty = readDataFile(preambleOnly);
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(empty->packetCount, 0u);
    EXPECT_EQ(empty->streamBytes, 0u);
    for (const auto& problem : empty->problems) {
        EXPECT_EQ(problem.text.find("total length"), std::string::npos) << problem.text;
    }
}

// Every frame of a G.723.1 stream at a rate the codec does not take is a problem: the
// first hundred are listed, in order, and all are counted.
TEST(DataFileReaderTest, ProblemsAreListedUpToTheCapAndAllCounted) {
    constexpr std::size_t G723_FRAME = 24;
    Bytes stream(200 * G723_FRAME, 0);
    for (std::size_t i = 0; i < stream.size(); i += G723_FRAME) {
        stream[i] = 3;
    }
    const Bytes file = expectedDataFile(codecFacts(Codec::G723).formatCodes[0], ExpectedHeader{},
                                        stream, G723_FRAME);
    const auto contents = readDataFile(file);
    ASSERT_TRUE(contents.ok());
    EXPECT_EQ(contents->problemCount, 200u);
    ASSERT_EQ(contents->problems.size(), DataFileContents::MAX_LISTED_PROBLEMS);
    EXPECT_EQ(contents->problems[0].offset, PREAMBLE_BYTES + 1);
    EXPECT_EQ(contents->problems[99].offset, PREAMBLE_BYTES + 1 + 99 * G723_FRAME);
    EXPECT_EQ(contents->frameCount, 200u);
}

}  // namespace
}  // namespace quen::test
