// The greeting conversion: one WAV recording into one greeting data file. The codec
// comes from a format word, the header names the mailbox and recording, and the
// record time is the time of conversion.
#include <chrono>

#include "app/AsciiCase.h"
#include "app/Converter.h"
#include "audio/CodecCodes.h"
#include "datafile/ConversionSteps.h"
#include "datafile/DataFileHeader.h"
#include "datafile/DataFileWriter.h"

namespace quen {
namespace {

constexpr HeaderWord INTERNAL_YES{0x00, 'Y', 0x00, 0x00};

// Seconds since 1970-01-01 00:00:00 UTC, of which the file keeps the low 32 bits.
std::int32_t currentTime() {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds));
}

}  // namespace

bool Converter::convertGreeting(const std::u16string& wavFile, const std::u16string& mailboxName,
                                const std::u16string& recordingName, const std::u16string& format,
                                const std::u16string& outFile) const {
    const std::int32_t cpType =
        equalsIgnoringAsciiCase(format, u"g723") ? CP_TYPE_G723 : CP_TYPE_ALAW;
    logCreatingDataFile(outFile);
    const auto recording = readRecording(wavFile);
    if (!recording) {
        return false;
    }
    const auto packets = encodePackets(*recording, wavFile, cpType);
    if (!packets) {
        return false;
    }
    DataFileHeader header;
    header.setText(TextField::RecordingName, recordingName);
    header.setText(TextField::MailboxName, mailboxName);
    header.setWord(WordField::InternalFlag, INTERNAL_YES);
    header.setTime(TimeField::RecordTime, currentTime());
    // The flash type of a greeting file is its codec code.
    return writeDataFile(outFile, static_cast<std::uint8_t>(cpType), header, *packets);
}

}  // namespace quen
