// The verdict comes from the conversion's own reading steps with a LogBuffer, the very
// code a conversion runs, and its reasons are worded by the jobs' own catalogue, so the
// lines shown are the ones the error log would get.
// The description and the causes come from the standard RIFF layout and libavformat.
#include "quen/check/RecordingCheck.h"

#include <algorithm>

#include "codec/Codec.h"
#include "datafile/DataFileLayout.h"
#include "datafile/Packetiser.h"
#include "jobs/ConversionSteps.h"
#include "platform/InputFile.h"
#include "platform/LogSink.h"
#include "platform/TextConversion.h"
#include "quen/InputOperands.h"
#include "quen/ShellCommand.h"
#include "quen/TextDisplay.h"
#include "quen/check/AaTemplateHead.h"
#include "wav/WavReader.h"

namespace quen::tool {
namespace {

// Half an hour at 8 kHz: whatever a recording's length, accepted or refused, its sound is
// measured over its start, so the memory its measures take is bounded.
constexpr std::size_t MAX_MEASURED_SAMPLES = 30 * 60 * SPEECH_SAMPLE_RATE;

std::string quoted(const std::string& id) {
    return "\"" + id + "\"";
}

// Why a RIFF/RF64 file is refused, in the words of its own layout.
std::vector<std::string> causesFromLayout(const RiffLayout& layout) {
    std::vector<std::string> causes;
    if (layout.container != "RIFF") {
        causes.push_back(layout.container +
                         " container (64-bit sizes); QuenGreeting reads RIFF only");
    }
    if (!layout.chunks.empty() && layout.chunks.front().id != "fmt ") {
        causes.push_back("the " + quoted(layout.chunks.front().id) +
                         " chunk at offset 12 comes before the format chunk; QuenGreeting "
                         "needs the format chunk first");
    }
    if (const auto& format = layout.format) {
        if (format->channels != 1) {
            causes.push_back(std::to_string(format->channels) +
                             " channels; QuenGreeting takes one");
        }
        if (format->tag == 0xFFFE && format->subFormatTag) {
            causes.push_back("extensible format header (sub-format " +
                             formatTagName(*format->subFormatTag) +
                             "); QuenGreeting takes only the plain PCM tag");
        } else if (format->tag != 1) {
            causes.push_back(formatTagName(format->tag) + " encoding (tag " +
                             std::to_string(format->tag) + "); QuenGreeting takes PCM only");
        }
        if (format->sampleRate != SPEECH_SAMPLE_RATE) {
            causes.push_back(std::to_string(format->sampleRate) +
                             " samples/s; QuenGreeting takes " +
                             std::to_string(SPEECH_SAMPLE_RATE) + " only");
        }
        if (format->bitsPerSample != 16) {
            causes.push_back(std::to_string(format->bitsPerSample) +
                             " bits per sample; QuenGreeting takes 16");
        }
    } else {
        causes.push_back("no readable format chunk");
    }
    bool afterFormat = false;
    for (const RiffChunk& chunk : layout.chunks) {
        if (chunk.id == "data") {
            break;
        }
        if (chunk.id == "fmt " &&
            (chunk.length < MIN_FORMAT_LENGTH || chunk.length > MAX_FORMAT_LENGTH)) {
            causes.push_back("a format chunk of " + std::to_string(chunk.length) +
                             " bytes; QuenGreeting takes 16 to 52");
        }
        if (afterFormat && chunk.length % 2 == 1) {
            causes.push_back("the " + quoted(chunk.id) + " chunk at offset " +
                             std::to_string(chunk.offset) + " has an odd length (" +
                             std::to_string(chunk.length) +
                             ") and a pad byte, which QuenGreeting does not skip");
        }
        afterFormat = afterFormat || chunk.id == "fmt ";
    }
    if (!layout.dataLength) {
        causes.push_back("no data chunk");
    }
    return causes;
}

// What the converter's reader makes of a recording: accepted or not, with the lines a
// conversion would log, and the first MAX_MEASURED_SAMPLES samples of an accepted one
// when they are wanted. The whole recording is read, block by block, as a conversion
// reads it, but no more of it is kept.
struct Verdict {
    bool accepted = false;
    std::uint64_t sampleBytes = 0;
    std::vector<std::int16_t> samples;
    bool moreSamples = false;  // samples beyond the ones kept
};

Verdict readVerdict(const std::u16string& wavFile, bool keepSamples, LogSink& log) {
    Verdict verdict;
    auto recording = WavReader::open(wavFile);
    if (!recording) {
        logRecordingFailure(wavFile, recording.failure(), log);
        return verdict;
    }
    if (!locateRecordingSamples(*recording, wavFile, log)) {
        return verdict;
    }
    const std::size_t kept =
        keepSamples ? static_cast<std::size_t>(std::min<std::uint64_t>(
                          recording->sampleBytes() / SPEECH_SAMPLE_BYTES, MAX_MEASURED_SAMPLES))
                    : 0;
    verdict.samples.reserve(kept);
    if (!readRecordingSamples(*recording, wavFile, log, [&](std::span<const std::uint8_t> bytes) {
            for (std::size_t i = 0; i + 1 < bytes.size(); i += SPEECH_SAMPLE_BYTES) {
                if (verdict.samples.size() == kept) {
                    verdict.moreSamples = keepSamples;
                    return;
                }
                verdict.samples.push_back(
                    static_cast<std::int16_t>(getLittleEndian16(bytes.subspan(i).first<2>())));
            }
        })) {
        return verdict;
    }
    verdict.accepted = true;
    verdict.sampleBytes = recording->sampleBytes();
    return verdict;
}

// The data files' sizes, from the codecs' and the packetiser's own geometry.
DataFileSizes sizesOf(std::uint64_t dataLength) {
    const auto size = [dataLength](Codec codec) {
        return PREAMBLE_BYTES + packetStreamBytes(codecFacts(codec).codedBytes(dataLength), codec);
    };
    return {size(Codec::ALaw), size(Codec::G723)};
}

// A refused recording is measured as it will sound once prepared: one channel at 8 kHz,
// from the louder channel where the channels cancel in the mix, as prepare takes it.
// Its clipping and its peaks are read on the source's own samples, as decoded before
// resampling, which rounds flat tops off, and as prepare reports them.
void measureDecoded(RecordingCheck& check, const std::string& path) {
    auto decoded = decodeForTelephony(path, MAX_MEASURED_SAMPLES);
    if (!decoded) {
        return;
    }
    if (std::optional<Finding> cancelling = cancellingFinding(decoded->channels)) {
        decoded =
            decodeForTelephony(path, MAX_MEASURED_SAMPLES, {}, {}, decoded->channels.louderChannel);
        if (!decoded) {
            return;
        }
        cancelling->command = prepareRecordingAgain(check.path)("");
        check.findings.push_back(std::move(*cancelling));
    }
    check.sound = measureSound(decoded->samples);
    check.sound->clipping = decoded->sourceClipping;
    check.sound->levels.peakDbfs = decoded->sourcePeaks.peakDbfs();
    check.sound->truePeakDbfs = decoded->sourcePeaks.truePeakDbfs();
    check.soundPartial = decoded->moreFollows;
}

void describe(RecordingCheck& check, const std::string& path, const Verdict& verdict, bool full) {
    if (check.accepted && !full) {
        return;
    }
    auto file = InputFile::openRegular(path);
    if (file) {
        check.layout = readRiffLayout(*file);
    } else {
        check.unreadable = file.failure().text;
    }
    if (check.accepted) {
        check.sound = measureSound(verdict.samples);
        check.soundPartial = verdict.moreSamples;
        check.sizes = sizesOf(verdict.sampleBytes);
        return;
    }
    if (auto probed = probeMedia(path)) {
        check.media = std::move(*probed);
    } else {
        check.mediaError = probed.failure().text;
    }
    if (file) {
        std::vector<std::uint8_t> head(AA_TEMPLATE_HEAD_BYTES);
        if (const auto count = file->readUpTo(0, head)) {
            check.aaTemplate = !check.layout && startsLikeAaTemplate(std::span(head).first(*count));
        } else {
            check.unreadable = file->failure() ? file->failure()->text : "cannot read";
        }
    }
    if (check.layout) {
        check.causes = causesFromLayout(*check.layout);
    } else if (check.media) {
        check.causes.push_back("it is " + check.media->container + " (" +
                               check.media->containerLong + "), not a WAV file");
    } else if (file) {
        check.causes.push_back("not a recording in any format known here");
    }
    if (check.media && full) {
        measureDecoded(check, path);
    }
    if (check.media) {
        check.fix = prepareCommand(check.path, besideName(check.path, PREPARED_SUFFIX));
    }
}

}  // namespace

RecordingCheck checkRecording(const std::string& path, bool full, const std::string& name) {
    RecordingCheck check;
    check.path = name.empty() ? path : name;
    LogBuffer log;
    const Verdict verdict = readVerdict(toWide(path), full, log);
    check.accepted = verdict.accepted;
    for (const std::u16string& line : log.lines()) {
        // The lines name the file as shown, not the copy standard input was read from.
        std::string shown = toNarrow(line);
        if (path != check.path) {
            for (std::size_t at = shown.find(path); at != std::string::npos;
                 at = shown.find(path, at + check.path.size())) {
                shown.replace(at, path.size(), check.path);
            }
        }
        check.logLines.push_back(std::move(shown));
    }
    describe(check, path, verdict, full);
    if (check.sound) {
        std::vector<Finding> found = soundFindings(*check.sound, prepareRecordingAgain(check.path));
        check.findings.insert(check.findings.end(), std::make_move_iterator(found.begin()),
                              std::make_move_iterator(found.end()));
    }
    return check;
}

}  // namespace quen::tool
