// The message conversion: one WAV recording into one voicemail message data file. The
// codec comes from the numeric format code, whose low byte is also the flash type;
// the header is the caller's; one diagnostic line goes to standard output.
#include <cstdio>
#include <utility>

#include "codec/Codec.h"
#include "datafile/DataFileHeader.h"
#include "jobs/ConversionSteps.h"
#include "jobs/Converter.h"
#include "jobs/LogLines.h"
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

bool Converter::convertMessage(const MessageRequest& request) const {
    auto recording = openRecording(request.wavFile, request.outFile, log());
    if (!recording) {
        return false;
    }
    const Codec codec = codecOfFormatCode(request.formatCode);
    printDiagnosticLine(request.formatCode, codecFacts(codec).cpType, request.recordTime,
                        request.internalFlag);
    const auto header = [&request] {
        DataFileHeader header;
        header.setText(TextField::MailboxName, request.mailboxName);
        header.setText(TextField::CallingParty, request.callingParty);
        header.setText(TextField::DisplayString, request.displayString);
        header.setWord(WordField::Reserved, request.reserved);
        header.setWord(WordField::InternalFlag, request.internalFlag);
        header.setTime(TimeField::RecordTime, request.recordTime);
        header.setTime(TimeField::ListenTime, request.listenTime);
        return header;
    };
    // The flash type of a message file is its format code, not the codec code.
    const auto flashType = static_cast<std::uint8_t>(request.formatCode & 0xFF);
    auto output = convertRecording(std::move(*recording), request.wavFile,
                                   {request.outFile, codec, flashType, header}, log());
    if (!output) {
        return false;
    }
    const Result<void> written = output->commit();
    if (!written) {
        log().write(loglines::dataFileFailed(request.outFile, written.failure()));
    }
    return written.ok();
}

}  // namespace quen
