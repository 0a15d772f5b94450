// The texts, spelled exactly as callers parse them: the blanks, quotes and line feeds
// inside them belong to the texts.
#include "jobs/LogLines.h"

#include "platform/TextConversion.h"
#include "platform/XmlDocument.h"

namespace quen::loglines {
namespace {

// The format of the "Can't open file" line kept its "\n"; the log adds CR LF after it.
Line fileFailed(const std::u16string& path, FailureCategory category) {
    return u"Can't open file \"" + path + u"\", error = " +
           toWide(std::to_string(static_cast<std::uint32_t>(category))) + u"\n";
}

// One blank after "format." in the PCM text, two in the others.
const char* refusalText(RecordingRefusal refusal) {
    switch (refusal) {
        case RecordingRefusal::NotRiffWave:
            return "Invalid file format";
        case RecordingRefusal::RiffLength:
            return "RIFF length is incorrect";
        case RecordingRefusal::NoFormatChunk:
            return "Bad \".wav\" file format.  Did not find \"fmt\" (format) section.";
        case RecordingRefusal::FormatLength:
            return "Bad \".wav\" file format.  Length of \"format\" sub-chunk is incorrect.";
        case RecordingRefusal::MultiChannel:
            return "Bad \".wav\" file format.  Cannot process multi-channel data.";
        case RecordingRefusal::NotPcm:
            return "Bad \".wav\" file format. File not in PCM/Uncompressed format.";
        case RecordingRefusal::SampleRate:
            return "Bad \".wav\" file format.  Sample rate not 8000 samples/sec.";
        case RecordingRefusal::SampleSize:
            return "Bad \".wav\" file format.  Sample size not 16 bits.";
        case RecordingRefusal::NoDataChunk:
            return "Bad \".wav\" file format.  Did not find \"data\" section.";
    }
    return "";
}

// A codec failure's text, with its code or count in place of "%d". Two blanks after
// "stream." and "Conversion.".
const char* codecFailureText(CodecFailure::Kind kind) {
    switch (kind) {
        case CodecFailure::Kind::NotOpened:
            return "Could not open Codec for Windows ACM stream.  Error code = %d.";
        case CodecFailure::Kind::BlockRefused:
            return "Windows ACM Codec reported error in Stream Conversion.  Error code = %d.";
        case CodecFailure::Kind::SilenceFrames:
            return "Codec generated %d Silence Suppression packets.";
        case CodecFailure::Kind::LowRateFrames:
            return "Codec generated %d packets at 5.3 Kbps.";
    }
    return "%d";
}

Line codecFailureLine(const CodecFailure& failure) {
    const std::string_view text = codecFailureText(failure.kind);
    const std::size_t at = text.find("%d");
    return toWide(std::string(text.substr(0, at)) + std::to_string(failure.number) +
                  std::string(text.substr(at + 2)));
}

Line compressionFailed(const std::u16string& wavFile) {
    return u"Compression of \"" + wavFile + u"\" file failed on bad format.";
}

// The RIFF header is the job's own check; everything after it belongs to the
// compression, after whose refusal the job adds its line.
bool refusedByCompression(RecordingRefusal refusal) {
    return refusal != RecordingRefusal::NotRiffWave && refusal != RecordingRefusal::RiffLength;
}

// The reason the log gives for a template that could not be read: the file layer's
// step, or the parser's own words and place.
std::string unreadableTemplate(const Failure& failure) {
    switch (failure.reason) {
        case FailureReason::CannotOpen:
            return "the file cannot be opened: " + failure.text;
        case FailureReason::CannotRead:
            return "the file cannot be read: " + failure.text;
        case FailureReason::NotRegular:
            return "not a regular file";
        case FailureReason::TooLarge:
            return "the file is larger than " + std::to_string(XmlDocument::MAX_FILE_BYTES >> 20) +
                   " MiB";
        case FailureReason::OutOfMemory:
            return "not enough memory to read the file";
        default:
            return failure.text;
    }
}

}  // namespace

Line creatingDataFile(const std::u16string& outFile) {
    return u"Creating data file - \"" + outFile + u"\"";
}

std::vector<Line> recordingFailed(const std::u16string& wavFile, const RecordingFailure& failure) {
    const auto& refusal = failure.refusal();
    if (!refusal) {
        return {fileFailed(wavFile, failure.category())};
    }
    std::vector<Line> lines{toWide(refusalText(*refusal))};
    if (refusedByCompression(*refusal)) {
        lines.push_back(compressionFailed(wavFile));
    }
    return lines;
}

std::vector<Line> codecFailed(const std::u16string& wavFile, const CodecFailures& failures) {
    std::vector<Line> lines;
    for (const CodecFailure& failure : failures) {
        lines.push_back(codecFailureLine(failure));
    }
    lines.push_back(compressionFailed(wavFile));
    return lines;
}

Line dataFileFailed(const std::u16string& outFile, const Failure& failure) {
    return fileFailed(outFile, failure.category);
}

Line templateFailed(const std::u16string& templatePath, const TemplateFailure& failure) {
    // A missing node carries no description: the line is empty.
    if (failure.kind == TemplateFailure::Kind::MissingNode) {
        return Line();
    }
    return u"Failed to read the file \"" + templatePath + u"\" \ndue to \"" +
           toWide(unreadableTemplate(failure.load)) + u"\"";
}

Line recordingNameTooLong(const RecordingNameTooLong& refusal) {
    // No blank after the closing quote; one at the end.
    return u"Error - wav filename \"" + refusal.recordingName + u"\"must be < 31 characters ";
}

Line recordingMissing(const std::u16string& wavFile) {
    return u"Error the wav file \"" + wavFile + u"\" doesn't exist";
}

Line conversionFailed(const std::u16string& wavFile, const std::u16string& outFile) {
    return u"Failed to convert file \"" + wavFile + u"\" to \"" + outFile + u"\"";
}

Line templateFileMissing() {
    return u"Error opening the AA-template.xml file";
}

Line wavDirectoryMissing(const std::u16string& wavDirectory) {
    return u"The wav-file-directory (" + wavDirectory + u") doesn't exit";
}

Line resultDirectoryMissing() {
    return u"The results-directory doesn't exit";
}

Line outOfMemory() {
    return u"Out of memory";
}

}  // namespace quen::loglines
