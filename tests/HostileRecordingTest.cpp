// Recordings crafted to make libavformat and libavcodec allocate gigabytes or spin for
// minutes while the file is only being opened: every command that reads a recording
// refuses them, or reads them, within a small bound on memory and CPU time, and none ends
// quen with a signal. The files are written here, byte by byte or by patching what ffmpeg
// makes, so that each states exactly what it claims.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

// What a refused or bounded read of one of these files may cost, over quen and its
// children: a fixed peak beside the output's 4 bytes a sample, and CPU time.
constexpr double PEAK_KIB = 128 * 1024;
constexpr double OUTPUT_SAMPLE_BYTES = 4;
constexpr double MAX_CPU_SECONDS = 15;

void put32be(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

std::uint32_t get32be(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
           bytes[at + 3];
}

void append(Bytes& bytes, std::initializer_list<std::uint8_t> values) {
    bytes.insert(bytes.end(), values);
}

void appendLe(Bytes& bytes, std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// One Ogg page holding one whole packet, its checksum (CRC-32, polynomial 0x04C11DB7,
// not reflected) computed.
Bytes oggPage(std::uint32_t serial, std::uint32_t sequence, std::uint8_t flags, const Bytes& packet,
              std::uint64_t granule) {
    Bytes page = {'O', 'g', 'g', 'S', 0, flags};
    appendLe(page, granule, 8);
    appendLe(page, serial, 4);
    appendLe(page, sequence, 4);
    appendLe(page, 0, 4);
    std::size_t left = packet.size();
    Bytes lacing;
    for (; left >= 255; left -= 255) {
        lacing.push_back(255);
    }
    lacing.push_back(static_cast<std::uint8_t>(left));
    page.push_back(static_cast<std::uint8_t>(lacing.size()));
    page.insert(page.end(), lacing.begin(), lacing.end());
    page.insert(page.end(), packet.begin(), packet.end());
    std::uint32_t crc = 0;
    for (const std::uint8_t byte : page) {
        crc ^= static_cast<std::uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
    }
    for (int i = 0; i < 4; ++i) {
        page[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    return page;
}

// `streams` logical Opus streams, each declaring 255 channels (mapping family 255), with
// their tags and one silent packet each.
Bytes manyChannelOgg(std::uint32_t streams) {
    Bytes head = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, 255};
    appendLe(head, 312, 2);
    appendLe(head, 48000, 4);
    appendLe(head, 0, 2);
    append(head, {255, 255, 0});
    for (int channel = 0; channel < 255; ++channel) {
        head.push_back(static_cast<std::uint8_t>(channel));
    }
    const Bytes tags = {'O', 'p', 'u', 's', 'T', 'a', 'g', 's', 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes file;
    const auto pages = [&](std::uint32_t sequence, std::uint8_t flags, const Bytes& packet,
                           std::uint64_t granule) {
        for (std::uint32_t serial = 1; serial <= streams; ++serial) {
            const Bytes page = oggPage(serial, sequence, flags, packet, granule);
            file.insert(file.end(), page.begin(), page.end());
        }
    };
    pages(0, 2, head, 0);
    pages(1, 0, tags, 0);
    pages(2, 4, {0xfc, 0, 0}, 960);
    return file;
}

// The offset of the first box of `type` between `begin` and `end`, or `end`.
std::size_t findBox(const Bytes& file, std::size_t begin, std::size_t end, const char* type) {
    for (std::size_t at = begin; at + 8 <= end;) {
        const std::uint32_t size = get32be(file, at);
        if (std::equal(type, type + 4, file.begin() + static_cast<std::ptrdiff_t>(at + 4))) {
            return at;
        }
        if (size < 8) {
            break;
        }
        at += size;
    }
    return end;
}

// `m4a` with an edit list of `entries` entries, each playing the whole track again.
void addEditList(const std::filesystem::path& m4a, std::uint32_t entries) {
    Bytes file = readBytes(m4a);
    const std::size_t moov = findBox(file, 0, file.size(), "moov");
    ASSERT_LT(moov, file.size());
    // The samples come first, so that growing the movie box moves no sample.
    ASSERT_LT(findBox(file, 0, file.size(), "mdat"), moov);
    const std::size_t trak = findBox(file, moov + 8, moov + get32be(file, moov), "trak");
    const std::size_t trakEnd = trak + get32be(file, trak);
    // After the edit list ffmpeg writes (AAC's priming), if there is one: the last one
    // read is the one followed.
    std::size_t after = findBox(file, trak + 8, trakEnd, "edts");
    if (after == trakEnd) {
        after = findBox(file, trak + 8, trakEnd, "tkhd");
    }
    Bytes edts(8);
    Bytes elst(16);
    for (std::uint32_t entry = 0; entry < entries; ++entry) {
        const std::size_t at = elst.size();
        elst.resize(at + 12);
        put32be(elst, at, 60000);        // the track's length, in the movie's units
        put32be(elst, at + 4, 0);        // from its start
        put32be(elst, at + 8, 1 << 16);  // at normal speed
    }
    put32be(elst, 0, static_cast<std::uint32_t>(elst.size()));
    std::copy_n("elst", 4, elst.begin() + 4);
    put32be(elst, 12, entries);
    edts.insert(edts.end(), elst.begin(), elst.end());
    put32be(edts, 0, static_cast<std::uint32_t>(edts.size()));
    std::copy_n("edts", 4, edts.begin() + 4);
    const std::size_t at = after + get32be(file, after);
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), edts.begin(), edts.end());
    put32be(file, trak, get32be(file, trak) + static_cast<std::uint32_t>(edts.size()));
    put32be(file, moov, get32be(file, moov) + static_cast<std::uint32_t>(edts.size()));
    writeBytes(m4a, file);
}

std::uint8_t crc8(const Bytes& bytes, std::size_t from) {
    std::uint8_t crc = 0;
    for (std::size_t at = from; at < bytes.size(); ++at) {
        crc ^= bytes[at];
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x07 : crc << 1);
        }
    }
    return crc;
}

std::uint16_t crc16(const Bytes& bytes, std::size_t from) {
    std::uint16_t crc = 0;
    for (std::size_t at = from; at < bytes.size(); ++at) {
        crc ^= static_cast<std::uint16_t>(bytes[at] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x8005 : crc << 1);
        }
    }
    return crc;
}

// A FLAC of 8 channels at `rate` Hz lasting four hours, all of it silence in constant
// subframes: three bytes a channel stand for 65535 samples, so it is some 6 MB. Its
// frames take their rate from the stream information, as a rate above 655350 Hz must.
Bytes constantFlac(std::uint32_t rate) {
    constexpr std::uint32_t BLOCK = 65535;
    constexpr std::uint64_t CHANNELS = 8;
    const std::uint64_t frames = std::uint64_t{rate} * 4 * 3600 / BLOCK;
    const std::uint64_t samples = frames * BLOCK;
    Bytes file = {'f',          'L',        'a',          'C', 0x80, 0, 0, 34, BLOCK >> 8,
                  BLOCK & 0xff, BLOCK >> 8, BLOCK & 0xff, 0,   0,    0, 0, 0,  0};
    // 20 bits of rate, 3 of channels less one, 5 of bits per sample less one, 36 of
    // samples; no MD5.
    const std::uint64_t packed =
        std::uint64_t{rate} << 44 | (CHANNELS - 1) << 41 | std::uint64_t{15} << 36 | samples;
    for (int shift = 56; shift >= 0; shift -= 8) {
        file.push_back(static_cast<std::uint8_t>(packed >> shift));
    }
    file.resize(file.size() + 16);
    for (std::uint64_t frame = 0; frame < frames; ++frame) {
        const std::size_t start = file.size();
        // Fixed block size; block size in 16 bits at the end; rate and sample size from
        // the stream information; 8 independent channels.
        append(file, {0xff, 0xf8, 0x70, 0x70});
        // The frame number, coded as UTF-8 codes characters.
        if (frame < 0x80) {
            file.push_back(static_cast<std::uint8_t>(frame));
        } else if (frame < 0x800) {
            append(file, {static_cast<std::uint8_t>(0xc0 | frame >> 6),
                          static_cast<std::uint8_t>(0x80 | (frame & 0x3f))});
        } else if (frame < 0x10000) {
            append(file, {static_cast<std::uint8_t>(0xe0 | frame >> 12),
                          static_cast<std::uint8_t>(0x80 | (frame >> 6 & 0x3f)),
                          static_cast<std::uint8_t>(0x80 | (frame & 0x3f))});
        } else {
            append(file, {static_cast<std::uint8_t>(0xf0 | frame >> 18),
                          static_cast<std::uint8_t>(0x80 | (frame >> 12 & 0x3f)),
                          static_cast<std::uint8_t>(0x80 | (frame >> 6 & 0x3f)),
                          static_cast<std::uint8_t>(0x80 | (frame & 0x3f))});
        }
        append(file, {(BLOCK - 1) >> 8, (BLOCK - 1) & 0xff});
        file.push_back(crc8(file, start));
        for (std::uint64_t channel = 0; channel < CHANNELS; ++channel) {
            append(file, {0, 0, 0});  // constant, no wasted bits, value 0
        }
        const std::uint16_t crc = crc16(file, start);
        append(file, {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)});
    }
    return file;
}

// What a run cost, as GNU time measures it over quen and the children it waited for.
struct Usage {
    int exitCode = -1;
    double peakKib = 0;
    double cpuSeconds = 0;
};

class HostileRecording : public Quen {
  protected:
    Usage measured(const std::string& arguments) const {
        Usage usage;
        usage.exitCode =
            shell("/usr/bin/time -f '%M %U %S' -o usage.txt timeout 60 " QUEN_TOOL_BINARY " " +
                  arguments + " >stdout.txt 2>stderr.txt");
        // The last line: a failing command's exit status comes before it.
        std::string text = readText(path("usage.txt"));
        text = text.substr(text.rfind('\n', text.size() - 2) + 1);
        std::istringstream fields(text);
        double user = 0;
        double system = 0;
        fields >> usage.peakKib >> user >> system;
        usage.cpuSeconds = user + system;
        EXPECT_GT(usage.peakKib, 0) << text;
        return usage;
    }

    // Every command that reads `file` refuses it or reads it within the bounds, and none
    // ends by a signal; prepare's line, when `refusal` is given, says why.
    void expectBounded(const std::string& file, const std::string& refusal) {
        writeText(path("t.xml"), configuration(attendant("Desk", greeting("morning", file))));
        for (const std::string& command :
             std::vector<std::string>{"prepare --max-seconds 1 -y " + file + " out.wav",
                                      "prepare -y " + file + " out.wav", "check " + file,
                                      "check --template t.xml --wav-dir .",
                                      "report -y --template t.xml --wav-dir . -o page.html"}) {
            SCOPED_TRACE(command);
            std::filesystem::remove(path("out.wav"));
            const Usage usage = measured(command);
            EXPECT_TRUE(usage.exitCode == 0 || usage.exitCode == 1) << usage.exitCode << errors();
            const double outputSamples =
                std::filesystem::exists(path("out.wav"))
                    ? static_cast<double>(std::filesystem::file_size(path("out.wav"))) / 2
                    : 0;
            // A sanitizer's shadow memory and quarantine are no part of the bound.
            if (MEMORY_IS_MEASURED) {
                EXPECT_LT(usage.peakKib, PEAK_KIB + outputSamples * OUTPUT_SAMPLE_BYTES / 1024);
            }
            EXPECT_LT(usage.cpuSeconds, MAX_CPU_SECONDS);
            if (!refusal.empty() && command.starts_with("prepare")) {
                EXPECT_EQ(usage.exitCode, 1);
                EXPECT_EQ(errors(), "quen prepare: " + file + ": " + refusal + "\n");
                EXPECT_FALSE(std::filesystem::exists(path("out.wav")));
            }
        }
    }
};

TEST_F(HostileRecording, AnOggOfManyStreamsIsRefusedAsItIsOpened) {
    for (const std::uint32_t streams : {40u, 200u}) {
        writeBytes(path("many.ogg"), manyChannelOgg(streams));
        expectBounded("many.ogg", "more than 8 streams, where a recording has one");
    }
}

TEST_F(HostileRecording, AStreamOfManyChannelsIsRefusedBeforeItIsDecoded) {
    writeBytes(path("wide.ogg"), manyChannelOgg(2));
    expectBounded("wide.ogg", "255 channels, more than the 8 read here");
}

TEST_F(HostileRecording, AnM4aOfAHundredThousandEditsIsReadAsItsSamplesAre) {
    ASSERT_EQ(shell("ffmpeg -v error -y -f lavfi -i anoisesrc=r=8000:a=0.1:d=60 -c:a aac -b:a 12k "
                    "edits.m4a"),
              0);
    addEditList(path("edits.m4a"), 100000);
    ASSERT_GT(std::filesystem::file_size(path("edits.m4a")), 1200000u);
    expectBounded("edits.m4a", "");
    // The edits are not followed: the recording is its minute of samples, not 100,000.
    ASSERT_EQ(tool("--json prepare -y edits.m4a out.wav").exitCode, 0) << errors();
    EXPECT_NEAR(static_cast<double>(std::filesystem::file_size(path("out.wav"))) / 16000, 60, 1);
}

TEST_F(HostileRecording, AFlacStatingARateAbove384kHzIsRefusedBeforeItIsDecoded) {
    writeBytes(path("fast.flac"), constantFlac(768000));
    ASSERT_GT(std::filesystem::file_size(path("fast.flac")), 6000000u);
    expectBounded("fast.flac", "sample rate 768000 Hz, above the 384000 Hz read here");
}

}  // namespace
}  // namespace quen::test
