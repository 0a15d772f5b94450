// The message conversion: one WAV recording into one voicemail message data file. The
// codec comes from the numeric format code, whose low byte is also the flash type;
// the header is the caller's; one diagnostic line goes to standard output.
#include <cstdio>
#include <utility>

#include "audio/CodecCodes.h"
#include "datafile/DataFileHeader.h"
#include "jobs/ConversionSteps.h"
#include "jobs/Converter.h"
#include "platform/Console.h"

namespace quen {
namespace {

// The four flag bytes go out as they are, NULs included, with no line end.
void printDiagnosticLine(std::int32_t formatCode, std::int32_t cpType, std::int32_t recordTime,
                         const HeaderWord& internalFlag) {
    char text[128];
    const int length =
        std::snprintf(text, sizeof text,
                      "quenFlashType = 0x%x, cpType = 0x%x, seconds = %d, internalFlag = %c%c%c%c",
                      static_cast<unsigned>(formatCode), static_cast<unsigned>(cpType), recordTime,
                      internalFlag[0], internalFlag[1], internalFlag[2], internalFlag[3]);
    writeConsole(std::string_view(text, static_cast<std::size_t>(length)));
}

}  // namespace

bool Converter::convertMessage(const std::u16string& wavFile, const std::u16string& outFile,
                               std::int32_t formatCode, const std::u16string& mailboxName,
                               const std::u16string& callingParty,
                               const std::u16string& displayString, const HeaderWord& reserved,
                               const HeaderWord& internalFlag, std::int32_t recordTime,
                               std::int32_t listenTime) const {
    logCreatingDataFile(outFile, log());
    auto recording = WavReader::open(wavFile, log());
    if (!recording) {
        return false;
    }
    const std::int32_t cpType = cpTypeOfFormatCode(formatCode);
    printDiagnosticLine(formatCode, cpType, recordTime, internalFlag);
    const auto header = [&] {
        DataFileHeader header;
        header.setText(TextField::MailboxName, mailboxName);
        header.setText(TextField::CallingParty, callingParty);
        header.setText(TextField::DisplayString, displayString);
        header.setWord(WordField::Reserved, reserved);
        header.setWord(WordField::InternalFlag, internalFlag);
        header.setTime(TimeField::RecordTime, recordTime);
        header.setTime(TimeField::ListenTime, listenTime);
        return header;
    };
    // The flash type of a message file is its format code, not the codec code.
    auto output = convertRecording(
        std::move(*recording), wavFile,
        {outFile, cpType, static_cast<std::uint8_t>(formatCode & 0xFF), header}, log());
    return output && output->commit(log());
}

}  // namespace quen
