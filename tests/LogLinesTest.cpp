// The readers answer with reasons and the jobs' catalogue turns them into the log's
// lines: each refusal of a recording is told apart by the reader, and the catalogue
// gives it its own text, followed by the job's line only where the compression refused;
// each codec failure has its own line, and the job's line follows the codec's.
#include <gtest/gtest.h>

#include <cerrno>

#include "jobs/LogLines.h"
#include "platform/FailureCategory.h"
#include "platform/TextConversion.h"
#include "tests/TestFiles.h"
#include "wav/WavReader.h"

namespace quen::test {
namespace {

using Lines = std::vector<std::u16string>;

const std::u16string WAV = u"in.wav";
const std::u16string COMPRESSION = u"Compression of \"in.wav\" file failed on bad format.";

class LogLinesTest : public TempDirTest {};

TEST_F(LogLinesTest, EachRefusalOfARecordingHasItsReasonAndLines) {
    const Bytes data = chunk("data", sampleBytes(testSignal(8)));
    struct Row {
        Bytes file;
        RecordingRefusal refusal;
        std::u16string line;
    };
    const std::vector<Row> rows = {
        {Bytes{'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, RecordingRefusal::NotRiffWave,
         u"Invalid file format"},
        {wavFile(join({formatChunk(), data}), 1000), RecordingRefusal::RiffLength,
         u"RIFF length is incorrect"},
        {wavFile(join({chunk("LIST", {}), formatChunk(), data})), RecordingRefusal::NoFormatChunk,
         u"Bad \".wav\" file format.  Did not find \"fmt\" (format) section."},
        {wavFile(join({formatChunk(37), data})), RecordingRefusal::FormatLength,
         u"Bad \".wav\" file format.  Length of \"format\" sub-chunk is incorrect."},
        // Channels are checked before the tag.
        {wavFile(join({formatChunkFor(3, 2, 8000, 32), data})), RecordingRefusal::MultiChannel,
         u"Bad \".wav\" file format.  Cannot process multi-channel data."},
        {wavFile(join({formatChunkFor(6, 1, 8000, 8), data})), RecordingRefusal::NotPcm,
         u"Bad \".wav\" file format. File not in PCM/Uncompressed format."},
        {wavFile(join({formatChunkFor(1, 1, 16000, 16), data})), RecordingRefusal::SampleRate,
         u"Bad \".wav\" file format.  Sample rate not 8000 samples/sec."},
        {wavFile(join({formatChunkFor(1, 1, 8000, 8), data})), RecordingRefusal::SampleSize,
         u"Bad \".wav\" file format.  Sample size not 16 bits."},
        {wavFile(join({formatChunk(), chunk("LIST", {1, 2})})), RecordingRefusal::NoDataChunk,
         u"Bad \".wav\" file format.  Did not find \"data\" section."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(toNarrow(row.line));
        writeBytes(path("in.wav"), row.file);
        auto reader = WavReader::open(toWide(path("in.wav").string()));
        const bool headerRefusal = row.refusal == RecordingRefusal::NotRiffWave ||
                                   row.refusal == RecordingRefusal::RiffLength;
        ASSERT_EQ(reader.ok(), !headerRefusal);
        const RecordingFailure failure =
            reader ? reader->findSamples().failure() : reader.failure();
        ASSERT_EQ(failure.refusal(), row.refusal);
        // The compression's refusals are followed by the job's line; the header's are not.
        const Lines expected = headerRefusal ? Lines{row.line} : Lines{row.line, COMPRESSION};
        EXPECT_EQ(loglines::recordingFailed(WAV, failure), expected);
    }
}

TEST_F(LogLinesTest, AMissingRecordingIsUnreadableWithTheCategoryOfItsOpen) {
    const auto missing = WavReader::open(toWide(path("none.wav").string()));
    ASSERT_FALSE(missing);
    EXPECT_FALSE(missing.failure().refusal());
    EXPECT_EQ(loglines::recordingFailed(WAV, missing.failure()),
              Lines{u"Can't open file \"in.wav\", error = 2\n"});
}

// The number after "error =" is the errno's category; a missing file's tells whether the
// directory that should hold it is there.
TEST_F(LogLinesTest, EachErrnoHasTheCategoryTheLogNumbers) {
    using C = FailureCategory;
    const std::string file = path("x").string();
    const std::pair<int, C> errors[] = {
        {ENOTDIR, C::BadPath},
        {ENAMETOOLONG, C::BadPath},
        {ELOOP, C::BadPath},
        {EMFILE, C::TooManyOpenFiles},
        {ENFILE, C::TooManyOpenFiles},
        {EACCES, C::AccessDenied},
        {EPERM, C::AccessDenied},
        {EROFS, C::AccessDenied},
        {EISDIR, C::AccessDenied},
        {EBADF, C::InvalidFile},
        {EBUSY, C::SharingViolation},
        {ETXTBSY, C::SharingViolation},
        {EWOULDBLOCK, C::SharingViolation},
        {ENOSPC, C::DiskFull},
        {EDQUOT, C::DiskFull},
        {EIO, C::HardwareError},
        {EINVAL, C::Generic},
    };
    for (const auto& [error, category] : errors) {
        EXPECT_EQ(categoryOfErrno(error, file), category) << error;
    }
    // Relative paths are taken from the working directory, which holds no "q".
    const std::pair<std::string, C> missing[] = {
        {file, C::FileNotFound}, {path("none/x").string(), C::BadPath},
        {"/x", C::FileNotFound}, {"x", C::FileNotFound},
        {"q/x", C::BadPath},
    };
    for (const auto& [missingPath, category] : missing) {
        EXPECT_EQ(categoryOfErrno(ENOENT, missingPath), category) << missingPath;
    }
}

TEST(LogLines, TemplateAndBatchFailuresHaveTheirExactLines) {
    EXPECT_EQ(loglines::templateFailed(u"t.xml", {TemplateFailure::Kind::MissingNode, {}}), u"");
    const Failure tooLarge{FailureCategory::Generic, "300000000 bytes", FailureReason::TooLarge};
    EXPECT_EQ(loglines::templateFailed(u"t.xml", {TemplateFailure::Kind::Unreadable, tooLarge}),
              u"Failed to read the file \"t.xml\" \ndue to \"the file is larger than 256 MiB\"");
    EXPECT_EQ(loglines::recordingNameTooLong({u"x.wav"}),
              u"Error - wav filename \"x.wav\"must be < 31 characters ");
    EXPECT_EQ(loglines::dataFileFailed(u"o.c11", {FailureCategory::DiskFull, "", {}}),
              u"Can't open file \"o.c11\", error = 13\n");
}

TEST(LogLines, EachCodecFailureHasItsLineAndTheJobsLineFollowsThemAll) {
    using Kind = CodecFailure::Kind;
    const struct {
        CodecFailure failure;
        std::u16string line;
    } rows[] = {
        {{Kind::NotOpened, 512},
         u"Could not open Codec for Windows ACM stream.  Error code = 512."},
        {{Kind::BlockRefused, -7},
         u"Windows ACM Codec reported error in Stream Conversion.  Error code = -7."},
        {{Kind::SilenceFrames, 3}, u"Codec generated 3 Silence Suppression packets."},
        {{Kind::LowRateFrames, 2147483648}, u"Codec generated 2147483648 packets at 5.3 Kbps."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(toNarrow(row.line));
        EXPECT_EQ(loglines::codecFailed(WAV, {row.failure}), (Lines{row.line, COMPRESSION}));
    }
    // Several failures keep the order they happened in, the job's line last.
    EXPECT_EQ(loglines::codecFailed(WAV, {rows[1].failure, rows[2].failure}),
              (Lines{rows[1].line, rows[2].line, COMPRESSION}));
}

}  // namespace
}  // namespace quen::test
