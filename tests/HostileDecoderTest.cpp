// The parent believes nothing its decoder says: a decoder that a hostile file has taken
// over may send records out of order, more samples than asked, samples that are no
// numbers, bytes that are no records, or end badly after a good stream. Each is a
// failure of the file, worded so, and never a result.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "media/DecodeRecords.h"
#include "media/MediaDecoder.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

using Send = std::function<void(DecodeRecordWriter&, int fd)>;

const MediaFormat FORMAT{"wav", "WAV / WAVE (Waveform Audio)", "pcm_s16le", "PCM", 8000, 1, 16,
                         1.0};
constexpr const char* LIES = "the decoder sent what no decoder sends";

class HostileDecoder : public TempDirTest {
  protected:
    // A file the test program, as a decoder, sends as its records, then ends as
    // `ending` says ("exit-N" or "killed").
    std::string decoderSending(const std::string& ending, const Send& send) const {
        const std::string name = path("hostile-decoder-" + ending).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_GE(fd, 0);
        {
            DecodeRecordWriter writer(fd);
            send(writer, fd);
        }
        ::close(fd);
        return name;
    }
};

void formatAndEnd(DecodeRecordWriter& writer, int) {
    writer.format(FORMAT);
    writer.end({});
}

TEST_F(HostileDecoder, AProbeTakesOnlyAFormatThenAnEndFromADecoderThatExitsWell) {
    struct Case {
        const char* name;
        const char* ending;
        Send send;
        const char* failure;  // none: the format is had
    };
    const Case cases[] = {
        {"an honest probe", "exit-0", formatAndEnd, nullptr},
        {"an end before the format", "exit-0",
         [](DecodeRecordWriter& w, int) {
             w.end({});
             w.format(FORMAT);
         },
         LIES},
        {"bytes that are no record", "exit-0",
         [](DecodeRecordWriter&, int fd) {
             const char junk[] = "RIFF\x24\0\0\0WAVEfmt ";
             EXPECT_EQ(::write(fd, junk, sizeof junk), static_cast<ssize_t>(sizeof junk));
         },
         LIES},
        {"its own failure", "exit-0",
         [](DecodeRecordWriter& w, int) {
             w.failed(Failure{FailureCategory::InvalidFile, "no audio stream"});
         },
         "no audio stream"},
        {"a format and no end", "exit-0", [](DecodeRecordWriter& w, int) { w.format(FORMAT); },
         "the decoder broke off"},
        {"a good stream, then a failing exit", "exit-3", formatAndEnd,
         "the decoder ended with exit code 3"},
        {"a good stream, then killed", "killed", formatAndEnd, "the decoder crashed (signal 9)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto probed = probeMedia(decoderSending(c.ending, c.send));
        if (c.failure == nullptr) {
            ASSERT_TRUE(probed.ok()) << probed.failure().text;
            EXPECT_EQ(probed->codec, FORMAT.codec);
            EXPECT_EQ(probed->sampleRate, 8000);
        } else {
            ASSERT_FALSE(probed.ok());
            EXPECT_EQ(probed.failure().text, c.failure);
        }
    }
}

TEST_F(HostileDecoder, ADecodeTakesNoSampleItCannotTrust) {
    constexpr std::size_t ASKED = 8000;
    const std::vector<float> tone(100, 0.25f);
    const Send honest = [&](DecodeRecordWriter& w, int) {
        w.format(FORMAT);
        w.samples(tone);
        w.end({});
    };
    struct Case {
        const char* name;
        const char* ending;
        Send send;
        const char* failure;  // none: the tone is had
    };
    const Case cases[] = {
        {"an honest decode", "exit-0", honest, nullptr},
        {"samples before the format", "exit-0",
         [&](DecodeRecordWriter& w, int) {
             w.samples(tone);
             w.format(FORMAT);
             w.end({});
         },
         LIES},
        {"a second format", "exit-0",
         [&](DecodeRecordWriter& w, int) {
             w.format(FORMAT);
             w.samples(tone);
             w.format(FORMAT);
             w.samples(tone);
             w.end({});
         },
         LIES},
        {"an end with no samples", "exit-0", formatAndEnd, LIES},
        {"a sample that is no number, then an end", "exit-0",
         [&](DecodeRecordWriter& w, int) {
             std::vector<float> samples = tone;
             samples[50] = std::numeric_limits<float>::quiet_NaN();
             w.format(FORMAT);
             w.samples(samples);
             w.end({});
         },
         LIES},
        {"far more samples than asked", "exit-0",
         [&](DecodeRecordWriter& w, int) {
             w.format(FORMAT);
             w.samples(std::vector<float>(ASKED + (std::size_t{1} << 21) + 1, 0.25f));
             w.end({});
         },
         LIES},
        {"samples and no end", "exit-0",
         [&](DecodeRecordWriter& w, int) {
             w.format(FORMAT);
             w.samples(tone);
         },
         "the decoder broke off"},
        {"a good stream, then a failing exit", "exit-1", honest,
         "the decoder ended with exit code 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = decodeForTelephony(decoderSending(c.ending, c.send), ASKED);
        if (c.failure == nullptr) {
            ASSERT_TRUE(decoded.ok()) << decoded.failure().text;
            EXPECT_EQ(decoded->samples.size(), tone.size());
        } else {
            ASSERT_FALSE(decoded.ok());
            EXPECT_EQ(decoded.failure().text, c.failure);
        }
    }
}

}  // namespace
}  // namespace quen::test
