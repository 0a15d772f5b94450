// The greeting conversion: one WAV recording into one greeting data file. The codec
// comes from a format word, the header names the mailbox and recording, and the
// record time is the time of conversion.
#include "jobs/GreetingJob.h"

#include <chrono>

#include "codec/Codec.h"
#include "jobs/ConversionSteps.h"
#include "jobs/Converter.h"
#include "jobs/LogLines.h"
#include "platform/AsciiCase.h"

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

std::optional<PreparedGreeting> prepareGreeting(const GreetingRequest& request, LogSink& log) {
    const Codec codec =
        equalsIgnoringAsciiCase(request.format, u"g723") ? Codec::G723 : Codec::ALaw;
    auto recording = openRecording(request.wavFile, request.outFile, log);
    if (!recording) {
        return std::nullopt;
    }
    const auto header = [&request] {
        DataFileHeader header;
        header.setText(TextField::RecordingName, request.recordingName);
        header.setText(TextField::MailboxName, request.mailboxName);
        header.setWord(WordField::InternalFlag, INTERNAL_YES);
        header.setTime(TimeField::RecordTime, currentTime());
        return header;
    };
    // The flash type of a greeting file is its codec code.
    const auto flashType = static_cast<std::uint8_t>(codecFacts(codec).cpType);
    auto output = convertRecording(std::move(*recording), request.wavFile,
                                   {request.outFile, codec, flashType, header}, log);
    if (!output) {
        return std::nullopt;
    }
    return PreparedGreeting{std::move(*output), request.outFile};
}

bool writeGreeting(PreparedGreeting& greeting, LogSink& log) {
    const Result<void> written = greeting.output.commit();
    if (!written) {
        log.write(loglines::dataFileFailed(greeting.outFile, written.failure()));
    }
    return written.ok();
}

bool Converter::convertGreeting(const GreetingRequest& request) const {
    auto greeting = prepareGreeting(request, log());
    return greeting && writeGreeting(*greeting, log());
}

}  // namespace quen
