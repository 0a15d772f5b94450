// The codecs below the jobs: every G.711 code against a plain transcription of the
// quantisation tables; the codec table's codes; G723Stream against a scripted codec
// module (a module missing or refusing to open, the frame-kind table, the tallies and
// the failures they record in order, the stop at a refused block, every encoder state destroyed
// once); the G.723.1 decoder's refused frames; and the faults a data file's frames can show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "codec/Codec.h"
#include "codec/Decoder.h"
#include "codec/Encoder.h"
#include "codec/FrameFaults.h"
#include "codec/G711Decoder.h"
#include "codec/G711Encoder.h"
#include "codec/G723Decoder.h"
#include "codec/G723Stream.h"
#include "tests/TestSupport.h"

// The scripted codec's state: the blocks it has coded.
struct QuenG723Encoder {
    std::size_t blocks = 0;
};
struct QuenG723Decoder {
    std::size_t frames = 0;
};

namespace quen::test {
namespace {

// The tables row by row: quantised magnitudes v from the row's first on lie in its
// segment, with step floor((v - first) / divisor).
constexpr int MU_LAW[8][2] = {{0, 2},    {31, 4},   {95, 8},     {223, 16},
                              {479, 32}, {991, 64}, {2015, 128}, {4063, 256}};
constexpr int A_LAW[8][2] = {{0, 2},    {32, 2},   {64, 4},    {128, 8},
                             {256, 16}, {512, 32}, {1024, 64}, {2048, 128}};

// Segment bits and step of the sample's magnitude shifted right by `shift` (v). The
// magnitude is taken before quantising, with -32768 counting as 32767; only mu-law's
// last row reaches beyond step 15.
int quantised(const int (&table)[8][2], std::int16_t sample, int shift) {
    const int v = std::min(std::abs(sample), 32767) >> shift;
    int segment = 7;
    while (v < table[segment][0]) {
        --segment;
    }
    return segment << 4 | std::min(15, (v - table[segment][0]) / table[segment][1]);
}

std::uint8_t referenceMuLaw(std::int16_t sample) {
    return static_cast<std::uint8_t>(~((sample < 0 ? 0x80 : 0) | quantised(MU_LAW, sample, 2)));
}

std::uint8_t referenceALaw(std::int16_t sample) {
    return static_cast<std::uint8_t>(((sample < 0 ? 0 : 0x80) | quantised(A_LAW, sample, 3)) ^
                                     0x55);
}

TEST(G711EncoderTest, EverySampleMatchesTheTables) {
    // Every sample once, one byte off the even alignment the encoder must not need.
    Bytes pcm(1);
    for (int s = -32768; s <= 32767; ++s) {
        pcm.push_back(static_cast<std::uint8_t>(s & 0xFF));
        pcm.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    const auto samples = std::span(pcm).subspan(1);
    Bytes muLaw(65536);
    Bytes aLaw(65536);
    ASSERT_EQ(makeMuLawEncoder()->encode(samples, muLaw), 65536u);
    ASSERT_EQ(makeALawEncoder()->encode(samples, aLaw), 65536u);
    for (int s = -32768; s <= 32767; ++s) {
        const auto sample = static_cast<std::int16_t>(s);
        ASSERT_EQ(muLaw[s + 32768], referenceMuLaw(sample)) << "sample " << s;
        ASSERT_EQ(aLaw[s + 32768], referenceALaw(sample)) << "sample " << s;
    }
}

// Expansion as the textbook gives it, in 13-bit (A-law) and 14-bit (mu-law) units
// scaled to 16 bits: the middle of the code's interval. A-law: segment 0 has steps of
// 2 from 1, segment s > 0 steps of 2^s from 2^(s+4) + 2^(s-1). mu-law: (2q + 33) * 2^s
// - 33. The sign bit set means positive after either law's inversion.
int textbookALaw(int code) {
    const int bits = code ^ 0x55;
    const int segment = (bits >> 4) & 7;
    const int step = bits & 15;
    const int value =
        segment == 0 ? 2 * step + 1 : (1 << segment) * (16 + step) + (1 << (segment - 1));
    return (bits & 0x80) != 0 ? 8 * value : -8 * value;
}

int textbookMuLaw(int code) {
    const int bits = ~code & 0xFF;
    const int value = (2 * (bits & 15) + 33) * (1 << ((bits >> 4) & 7)) - 33;
    return (bits & 0x80) != 0 ? -4 * value : 4 * value;
}

TEST(G711DecoderTest, EveryCodeExpandsToTheMiddleOfItsInterval) {
    Bytes codes(256);
    for (int code = 0; code < 256; ++code) {
        codes[code] = static_cast<std::uint8_t>(code);
    }
    const struct {
        std::unique_ptr<Decoder> decoder;
        int (*expected)(int);
        std::unique_ptr<Encoder> encoder;
        std::int16_t extreme;
    } laws[] = {{makeALawDecoder(), textbookALaw, makeALawEncoder(), 32256},
                {makeMuLawDecoder(), textbookMuLaw, makeMuLawEncoder(), 32124}};
    for (const auto& law : laws) {
        // After samples already decoded, which stay.
        std::vector<std::int16_t> samples{7};
        law.decoder->decode(codes, samples);
        ASSERT_EQ(samples.size(), 257u);
        EXPECT_EQ(samples[0], 7);
        for (int code = 0; code < 256; ++code) {
            ASSERT_EQ(samples[code + 1], law.expected(code)) << "code " << code;
        }
        EXPECT_EQ(law.decoder->highest(), law.extreme);
        EXPECT_EQ(law.decoder->lowest(), -law.extreme);
        EXPECT_EQ(law.decoder->refusedFrames(), 0u);
        // Each value lies in its own code's interval, but for the second zero of mu-law.
        Bytes pcm;
        for (std::size_t i = 1; i < samples.size(); ++i) {
            pcm.push_back(static_cast<std::uint8_t>(samples[i] & 0xFF));
            pcm.push_back(static_cast<std::uint8_t>((samples[i] >> 8) & 0xFF));
        }
        Bytes again(256);
        law.encoder->encode(pcm, again);
        for (int code = 0; code < 256; ++code) {
            if (samples[code + 1] != 0) {
                EXPECT_EQ(again[code], code) << "code " << code;
            }
        }
    }
}

TEST(CodecTableTest, CodesSelectTheirCodecByTheWholeNumber) {
    // Codec codes: only 139 and 138 are not A-law.
    const std::pair<std::int32_t, Codec> cpTypes[] = {
        {137, Codec::ALaw}, {138, Codec::MuLaw},  {139, Codec::G723}, {140, Codec::ALaw},
        {0, Codec::ALaw},   {0x18B, Codec::ALaw}, {-117, Codec::ALaw}};
    for (const auto& [cpType, codec] : cpTypes) {
        EXPECT_EQ(codecOfCpType(cpType), codec) << cpType;
    }
    // Message format codes: the listed ones, and mu-law for every other whole number,
    // even one whose low byte is listed.
    const std::tuple<std::int32_t, Codec, bool> formatCodes[] = {
        {0x83, Codec::G723, true},    {0xEB, Codec::G723, true},   {0xCB, Codec::G723, true},
        {0x8B, Codec::G723, true},    {0x81, Codec::ALaw, true},   {0xE9, Codec::ALaw, true},
        {0xC9, Codec::ALaw, true},    {0x89, Codec::ALaw, true},   {0x8A, Codec::MuLaw, true},
        {0xEA, Codec::MuLaw, true},   {0, Codec::MuLaw, false},    {130, Codec::MuLaw, false},
        {0x18B, Codec::MuLaw, false}, {0xCA, Codec::MuLaw, false}, {-0x75, Codec::MuLaw, false}};
    for (const auto& [formatCode, codec, listed] : formatCodes) {
        EXPECT_EQ(codecOfFormatCode(formatCode), codec) << formatCode;
        EXPECT_EQ(isListedFormatCode(formatCode), listed) << formatCode;
    }
    // What the message command line writes, old and new.
    EXPECT_EQ(messageFormatCode(Codec::ALaw, false), 137);
    EXPECT_EQ(messageFormatCode(Codec::MuLaw, true), 234);
    EXPECT_EQ(messageFormatCode(Codec::G723, true), 235);
    EXPECT_TRUE(isGreetingCode(137) && isGreetingCode(139) && !isGreetingCode(138));
    // Coded lengths: G.711 drops an odd byte, G.723.1 a part-block.
    EXPECT_EQ(codecFacts(Codec::ALaw).codedBytes(1001), 500u);
    EXPECT_EQ(codecFacts(Codec::G723).codedBytes(479), 0u);
    EXPECT_EQ(codecFacts(Codec::G723).codedBytes(961), 48u);
}

// A codec module whose encoder answers as scripted. `blocks` holds one character a
// block: '0' to '3', the low bits of its frame's first byte, or 'R', refused.
struct ScriptedModule {
    static inline std::string blocks;
    static inline bool refuseOpen = false;
    static inline std::vector<const unsigned char*> sources;  // of every block coded
    static inline std::vector<unsigned char*> destinations;
    static inline int created = 0;
    static inline int destroyed = 0;

    static void reset(std::string script) {
        blocks = std::move(script);
        refuseOpen = false;
        sources.clear();
        destinations.clear();
        created = destroyed = 0;
    }
    static QuenG723Encoder* createEncoder() {
        if (refuseOpen) {
            return nullptr;
        }
        ++created;
        return new QuenG723Encoder;
    }
    static int encode(QuenG723Encoder* encoder, const unsigned char* block, unsigned char* frame) {
        sources.push_back(block);
        destinations.push_back(frame);
        const char kind = blocks.at(encoder->blocks++);
        // The first byte's high bits set, so that only its two low bits can tell the
        // kind; the other bytes' low bits would tell another.
        std::fill_n(frame, 24, static_cast<unsigned char>(1 + (kind - '0')));
        frame[0] = static_cast<unsigned char>(0xFC | (kind - '0'));
        return kind == 'R' ? -1 : 0;
    }
    static void destroyEncoder(QuenG723Encoder* encoder) {
        ++destroyed;
        delete encoder;
    }
    static constexpr QuenG723Module MODULE = {
        QUEN_G723_MODULE_VERSION, createEncoder, encode, destroyEncoder, nullptr, nullptr, nullptr};
};

using Kind = CodecFailure::Kind;

TEST(G723StreamTest, EveryPathRecordsItsFailuresAndDestroysTheEncoderOnce) {
    const Result<const QuenG723Module*> noModule =
        Failure{FailureCategory::Generic, "the G.723.1 codec module could not be loaded"};
    const Result<const QuenG723Module*> scripted = &ScriptedModule::MODULE;
    const CodecFailure refused{Kind::BlockRefused, 1};
    const CodecFailure notOpened{Kind::NotOpened, 512};
    const CodecFailure threeSilent{Kind::SilenceFrames, 3};
    const std::string zeros(47, '0');
    const struct {
        const char* what;
        const Result<const QuenG723Module*>& module;
        bool refuseOpen;
        std::string blocks;
        std::size_t bytes;           // written, each frame by its kind's size
        std::ptrdiff_t lastFrameAt;  // where the last block was coded in the output
        CodecFailures failures;      // in the order they happened
    } rows[] = {
        {"no module", noModule, false, "000", 0, -1, {notOpened}},
        {"the codec does not open", scripted, true, "000", 0, -1, {notOpened}},
        {"full rate, low bits 11 too", scripted, false, "03003", 120, 96, {}},
        {"refused at block 3", scripted, false, "000R000000", 72, 72, {refused}},
        {"three silence frames",
         scripted,
         false,
         zeros + "022" + zeros + "002",
         2340,
         2336,
         {threeSilent}},
        {"five 5.3 kbit/s frames",
         scripted,
         false,
         "111" + zeros + "1" + zeros + "01",
         2380,
         2360,
         {{Kind::LowRateFrames, 5}}},
        {"silence before 5.3 kbit/s, and a refused block",
         scripted,
         false,
         "2122R0",
         32,
         32,
         {refused, threeSilent}},
        {"no whole block", scripted, false, "", 0, -1, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedModule::reset(row.blocks);
        ScriptedModule::refuseOpen = row.refuseOpen;
        const std::size_t count = row.blocks.size();
        // Seven bytes of a part-block at the end, which are not coded.
        Bytes pcm(480 * count + 7);
        Bytes out(24 * count);
        std::size_t bytes = 0;
        {
            G723Stream stream(row.module);
            // In two calls, split at a block border: the encoder state carries on.
            const std::size_t firstPart = 480 * (count / 2);
            bytes = stream.encode(std::span(pcm).first(firstPart), out);
            bytes +=
                stream.encode(std::span(pcm).subspan(firstPart), std::span(out).subspan(bytes));
            const auto finished = stream.finish();
            EXPECT_EQ(finished.ok(), row.failures.empty());
            EXPECT_EQ(finished ? CodecFailures{} : finished.failure(), row.failures);
            // The encoder state goes with the stream's end, not later.
            EXPECT_EQ(ScriptedModule::destroyed, ScriptedModule::created);
        }
        EXPECT_EQ(bytes, row.bytes);
        const bool opens = row.module.ok() && !row.refuseOpen;
        EXPECT_EQ(ScriptedModule::created, opens ? 1 : 0);
        EXPECT_EQ(ScriptedModule::destroyed, ScriptedModule::created);
        EXPECT_EQ(ScriptedModule::destinations.empty()
                      ? -1
                      : ScriptedModule::destinations.back() - out.data(),
                  row.lastFrameAt);
        // Source blocks in consecutive 480-byte steps, the refused one last.
        for (std::size_t k = 0; k < ScriptedModule::sources.size(); ++k) {
            ASSERT_EQ(ScriptedModule::sources[k], pcm.data() + 480 * k);
        }
        const std::size_t refusedAt = row.blocks.find('R');
        EXPECT_EQ(ScriptedModule::sources.size(), !opens                           ? 0
                                                  : refusedAt == std::string::npos ? count
                                                                                   : refusedAt + 1);
    }
    // A stream that ends without finish() still destroys its encoder state.
    ScriptedModule::reset("0");
    { G723Stream stream(scripted); }
    EXPECT_EQ(ScriptedModule::destroyed, 1);
}

// A codec module whose decoder refuses every frame whose first byte is 0xFF and gives
// the frame's number as every sample of the others.
struct ScriptedDecoderModule {
    static inline int destroyed = 0;
    static inline bool refuseOpen = false;

    static QuenG723Decoder* createDecoder() { return refuseOpen ? nullptr : new QuenG723Decoder; }
    static int decode(QuenG723Decoder* decoder, const unsigned char* frame, std::int16_t* samples) {
        const auto number = static_cast<std::int16_t>(++decoder->frames);
        std::fill_n(samples, 240, frame[0] == 0xFF ? std::int16_t{0} : number);
        return frame[0] == 0xFF ? -1 : 0;
    }
    static void destroyDecoder(QuenG723Decoder* decoder) {
        ++destroyed;
        delete decoder;
    }
    static constexpr QuenG723Module MODULE = {
        QUEN_G723_MODULE_VERSION, nullptr, nullptr, nullptr, createDecoder, decode, destroyDecoder};
};

TEST(G723DecoderTest, ARefusedFrameIsCountedAndStandsAsSilence) {
    // A module that did not load is refused for the loader's reason.
    const Failure notLoaded{FailureCategory::Generic, "no module", FailureReason::CannotOpen};
    EXPECT_EQ(makeG723Decoder(notLoaded).failure().text, "no module");
    const Result<const QuenG723Module*> scripted = &ScriptedDecoderModule::MODULE;
    ScriptedDecoderModule::refuseOpen = true;
    EXPECT_EQ(makeG723Decoder(scripted).failure().text, "the G.723.1 decoder could not be opened");
    ScriptedDecoderModule::refuseOpen = false;
    {
        auto decoder = makeG723Decoder(scripted);
        ASSERT_TRUE(decoder);
        // Its output may reach both ends of the 16-bit range: a run there is clipping.
        EXPECT_EQ((*decoder)->lowest(), INT16_MIN);
        EXPECT_EQ((*decoder)->highest(), INT16_MAX);
        // Frames 1 and 3 of the first payload, the second refused; then a payload with a
        // whole frame and a 23-byte part-frame, which is not decoded.
        Bytes first(48, 0);
        first[24] = 0xFF;
        std::vector<std::int16_t> samples;
        (*decoder)->decode(first, samples);
        (*decoder)->decode(Bytes(47, 0), samples);
        ASSERT_EQ(samples.size(), 3u * 240);
        EXPECT_EQ((*decoder)->refusedFrames(), 1u);
        EXPECT_EQ(samples[239], 1);
        EXPECT_EQ(std::count(samples.begin() + 240, samples.begin() + 480, 0), 240);
        EXPECT_EQ(samples[480], 3);
    }
    EXPECT_EQ(ScriptedDecoderModule::destroyed, 1);
}

TEST(FrameFaultsTest, OnlyAG723FrameCanBeWrongByItsBytes) {
    Bytes frame(24, 0xFC);
    EXPECT_EQ(frameFault(Codec::G723, frame), "");
    frame[0] = 0x01;
    EXPECT_EQ(frameFault(Codec::G723, frame),
              "G.723.1 frame is not a 6.3 kbit/s frame (rate bits 1)");
    frame[0] = 0x03;
    EXPECT_EQ(frameFault(Codec::G723, frame),
              "G.723.1 frame is not a 6.3 kbit/s frame (rate bits 3)");
    EXPECT_EQ(frameFault(Codec::G723, std::span(frame).first(1)),
              "G.723.1 stream ends in a part-frame of 1 byte");
    EXPECT_EQ(frameFault(Codec::ALaw, std::span(frame).first(1)), "");
    EXPECT_EQ(frameFault(Codec::MuLaw, frame), "");
}

// Every codec through its real encoder and decoder: a tone comes back whole, with no frame
// refused, at the level it went in (G.723.1 is lossy, so within 2 dB).
TEST(CodecRoundTripTest, EveryCodecGivesBackAToneAtItsLevel) {
    constexpr int SAMPLES = 240 * 33;  // whole G.723.1 frames
    Bytes pcm;
    double inputEnergy = 0;
    for (int i = 0; i < SAMPLES; ++i) {
        const auto sample = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 8000.0));
        inputEnergy += double(sample) * sample;
        pcm.push_back(static_cast<std::uint8_t>(sample & 0xFF));
        pcm.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
    }
    for (const Codec codec : {Codec::ALaw, Codec::MuLaw, Codec::G723}) {
        SCOPED_TRACE(codecFacts(codec).name);
        auto encoder = makeEncoder(codec);
        Bytes coded(pcm.size());
        coded.resize(encoder->encode(pcm, coded));
        ASSERT_TRUE(encoder->finish());
        auto decoder = makeDecoder(codec);
        ASSERT_TRUE(decoder);
        std::vector<std::int16_t> samples;
        (*decoder)->decode(coded, samples);
        EXPECT_EQ((*decoder)->refusedFrames(), 0u);
        ASSERT_EQ(samples.size(), std::size_t{SAMPLES});
        double outputEnergy = 0;
        for (const std::int16_t sample : samples) {
            outputEnergy += double(sample) * sample;
        }
        EXPECT_NEAR(10 * std::log10(outputEnergy / inputEnergy), 0.0, 2.0);
    }
}

}  // namespace
}  // namespace quen::test
