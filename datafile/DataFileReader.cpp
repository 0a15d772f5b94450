// The preamble is taken as the writer lays it out; the packet stream is walked from
// its first header to the smaller of the stated and the real end. A packet of fewer
// than 128 frames can only be the last one, so a fault in the framing ends the walk:
// what follows could not be told apart from audio.
#include "datafile/DataFileReader.h"

#include <algorithm>

#include "codec/FrameFaults.h"
#include "datafile/DataFileLayout.h"
#include "platform/ByteOrder.h"

namespace quen {
namespace {

std::u16string textAt(std::span<const std::uint8_t> header, TextField field) {
    std::u16string text;
    const auto offset = static_cast<std::size_t>(field);
    for (std::size_t i = 0; i < DataFileHeader::TEXT_FIELD_UNITS; ++i) {
        const auto unit = static_cast<char16_t>(getBigEndian16(header.subspan(offset + 2 * i)));
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

HeaderWord wordAt(std::span<const std::uint8_t> header, WordField field) {
    HeaderWord word;
    std::copy_n(header.begin() + static_cast<std::ptrdiff_t>(field), word.size(), word.begin());
    return word;
}

std::int32_t timeAt(std::span<const std::uint8_t> header, TimeField field) {
    return static_cast<std::int32_t>(
        getBigEndian32(header.subspan(static_cast<std::size_t>(field))));
}

std::string frames(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

std::string bytesText(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

class PacketWalk {
  public:
    PacketWalk(std::span<const std::uint8_t> file, DataFileContents& contents)
        : file_(file), contents_(contents), frame_(codecFacts(contents.codec).frameBytes) {}

    void run(std::size_t end) {
        std::size_t at = PREAMBLE_BYTES;
        while (at < end) {
            const std::uint8_t header = file_[at];
            const std::size_t declared = std::size_t{header} + 1;
            const std::size_t follow = end - at - 1;
            ++contents_.packetCount;
            if (header == FULL_PACKET_HEADER && follow >= FRAMES_PER_PACKET * frame_) {
                take(at + 1, FRAMES_PER_PACKET * frame_);
                at += 1 + FRAMES_PER_PACKET * frame_;
                continue;
            }
            // A packet of fewer than 128 frames, or one cut short: the final packet,
            // whose payload ends in its last, possibly partial, frame.
            const std::size_t least = (declared - 1) * frame_ + 1;
            const std::size_t most = declared * frame_;
            if (follow < least) {
                problem(at, "packet header says " + frames(declared) + " (at least " +
                                bytesText(least) + ") but only " + bytesText(follow) +
                                " follow before the end");
                take(at + 1, follow);
            } else if (follow > most) {
                take(at + 1, most);
                problem(at + 1 + most, bytesText(follow - most) +
                                           " after the last packet (the packet at offset " +
                                           std::to_string(at) + " holds " + frames(declared) +
                                           ", so it must be the last)");
            } else {
                take(at + 1, follow);
            }
            break;
        }
    }

    void problem(std::uint64_t offset, std::string text) {
        if (contents_.problems.size() < DataFileContents::MAX_LISTED_PROBLEMS) {
            contents_.problems.push_back({offset, std::move(text)});
        }
        ++contents_.problemCount;
    }

  private:
    void take(std::size_t offset, std::size_t size) {
        const auto payload = file_.subspan(offset, size);
        if (!payload.empty()) {
            contents_.payloads.push_back(payload);
            contents_.streamBytes += size;
        }
        contents_.frameCount += (size + frame_ - 1) / frame_;
        for (std::size_t i = 0; i < payload.size(); i += frame_) {
            std::string fault = frameFault(
                contents_.codec, payload.subspan(i).first(std::min(frame_, payload.size() - i)));
            if (!fault.empty()) {
                problem(offset + i, std::move(fault));
            }
        }
    }

    std::span<const std::uint8_t> file_;
    DataFileContents& contents_;
    std::size_t frame_;
};

}  // namespace

bool isGreetingFlashType(std::uint8_t flashType) {
    return isGreetingCode(flashType);
}

bool hasNewMessageBit(std::uint8_t flashType) {
    return (flashType & NEW_MESSAGE_BITS) == NEW_MESSAGE_BITS;
}

bool isListedFlashType(std::uint8_t flashType) {
    return isListedFormatCode(flashType);
}

Result<DataFileContents> readDataFile(std::span<const std::uint8_t> bytes) {
    const auto invalid = [](std::string text) {
        return Failure{FailureCategory::InvalidFile, std::move(text)};
    };
    if (bytes.empty()) {
        return invalid("the file is empty");
    }
    if (bytes.size() < PREAMBLE_BYTES) {
        return invalid("the file is " + bytesText(bytes.size()) + " long, shorter than the " +
                       std::to_string(PREAMBLE_BYTES) + "-byte preamble");
    }
    if (bytes[HEADER_LENGTH_OFFSET] != DataFileHeader::SIZE) {
        return invalid("header length at offset " + std::to_string(HEADER_LENGTH_OFFSET) + " is " +
                       std::to_string(bytes[HEADER_LENGTH_OFFSET]) + ", not " +
                       std::to_string(DataFileHeader::SIZE));
    }

    DataFileContents contents;
    contents.totalLength = getBigEndian32(bytes.subspan(TOTAL_LENGTH_OFFSET));
    contents.fileSize = bytes.size();
    contents.flashType = bytes[FLASH_TYPE_OFFSET];
    contents.headerLength = bytes[HEADER_LENGTH_OFFSET];
    contents.codec = codecOfFormatCode(contents.flashType);
    const auto header = bytes.subspan(HEADER_OFFSET, DataFileHeader::SIZE);
    contents.texts = {textAt(header, TextField::MailboxName),
                      textAt(header, TextField::RecordingName),
                      textAt(header, TextField::DisplayString)};
    contents.reserved = wordAt(header, WordField::Reserved);
    contents.internalFlag = wordAt(header, WordField::InternalFlag);
    contents.recordTime = timeAt(header, TimeField::RecordTime);
    contents.listenTime = timeAt(header, TimeField::ListenTime);

    PacketWalk walk(bytes, contents);
    std::size_t end = bytes.size();
    if (contents.totalLength < PREAMBLE_BYTES) {
        walk.problem(TOTAL_LENGTH_OFFSET, "total length " + std::to_string(contents.totalLength) +
                                              " is less than the " +
                                              std::to_string(PREAMBLE_BYTES) + "-byte preamble");
    } else if (contents.totalLength > bytes.size()) {
        walk.problem(bytes.size(),
                     "the file ends " + bytesText(contents.totalLength - bytes.size()) +
                         " before its total length " + std::to_string(contents.totalLength));
    } else if (contents.totalLength < bytes.size()) {
        end = contents.totalLength;
        walk.problem(end, bytesText(bytes.size() - end) + " after the total length " +
                              std::to_string(contents.totalLength));
    }
    walk.run(end);
    std::stable_sort(
        contents.problems.begin(), contents.problems.end(),
        [](const DataFileProblem& a, const DataFileProblem& b) { return a.offset < b.offset; });
    return contents;
}

}  // namespace quen
