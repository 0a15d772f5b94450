// Any bytes as a data file: the reader, the audio decoding and both renderings of the
// report must stay inside the buffer and never throw; the packet payload taken can
// be no larger than the bytes after the preamble, and a file called valid must be
// exactly as long as it says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "datafile/DataFileLayout.h"
#include "datafile/DataFileReader.h"
#include "quen/DecodedAudio.h"
#include "quen/SoundMeasures.h"
#include "quen/inspect/InspectReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto result = quen::readDataFile(std::span(data, size));
    if (!result) {
        return 0;
    }
    const auto& contents = *result;
    if (contents.streamBytes > size - quen::PREAMBLE_BYTES ||
        (contents.valid() && contents.totalLength != size) ||
        contents.problems.size() > contents.problemCount) {
        std::abort();
    }
    const auto audio = quen::tool::decodeAudio(contents);
    if (!audio) {
        std::abort();
    }
    // The report as `quen inspect` fills it for a file it read and decoded.
    quen::tool::InspectReport report;
    report.file = "f";
    report.contents = contents;
    report.sound = quen::tool::measureSound(audio->samples, audio->lowest, audio->highest);
    report.undecodableFrames = audio->failedFrames;
    static_cast<void>(quen::tool::reportText(report));
    static_cast<void>(quen::tool::reportJson(report).dump(2));  // throws on text not UTF-8
    return 0;
}
