// G.723.1 greetings end to end: the data file holds the frames libavcodec's own encoder,
// called directly here, makes of the whole 480-byte blocks, they decode back to the
// speech, and a program without its codec module fails the job with the manager's 512.
#include <gtest/gtest.h>

#include <sys/wait.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "platform/CodecModule.h"
#include "tests/DataFileExpectation.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

// A synthetic vowel peaking near 11500: a glottal pulse train gliding between 100 and
// 140 Hz through three formant resonators, under a syllable-rate envelope.
std::vector<std::int16_t> speechLikeSignal(std::size_t count) {
    constexpr double FORMANTS[3][2] = {{700, 80}, {1200, 100}, {2600, 150}};  // Hz, bandwidth
    constexpr double TAU = 2 * std::numbers::pi;
    double history[3][2] = {};
    double phase = 0;
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / 8000;
        phase += (120 + 20 * std::sin(TAU * 0.7 * t)) / 8000;
        double value = std::floor(phase);
        phase -= value;
        for (int k = 0; k < 3; ++k) {
            const double r = std::exp(-std::numbers::pi * FORMANTS[k][1] / 8000);
            value += 2 * r * std::cos(TAU * FORMANTS[k][0] / 8000) * history[k][0] -
                     r * r * history[k][1];
            history[k][1] = history[k][0];
            history[k][0] = value;
        }
        samples[i] =
            static_cast<std::int16_t>(5000 * value * (0.55 + 0.45 * std::sin(TAU * 3 * t)));
    }
    return samples;
}

// One libavcodec G.723.1 encoder (6300 bit/s) or decoder, 8 kHz mono.
struct Codec {
    explicit Codec(const AVCodec* codec) : context(avcodec_alloc_context3(codec)) {
        context->sample_rate = 8000;
        context->sample_fmt = AV_SAMPLE_FMT_S16;
        context->bit_rate = 6300;
        av_channel_layout_default(&context->ch_layout, 1);
        EXPECT_EQ(avcodec_open2(context, codec, nullptr), 0);
    }
    ~Codec() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }
    AVCodecContext* context;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
};

// libavcodec's frames for the whole 240-sample blocks of `samples`, in one encoder
// state, and the samples its decoder makes of them.
void referenceCodec(const std::vector<std::int16_t>& samples, Bytes& frames,
                    std::vector<std::int16_t>& decoded) {
    Codec encoder(avcodec_find_encoder(AV_CODEC_ID_G723_1));
    Codec decoder(avcodec_find_decoder(AV_CODEC_ID_G723_1));
    for (std::size_t at = 0; at + 240 <= samples.size(); at += 240) {
        encoder.frame->nb_samples = 240;
        encoder.frame->format = AV_SAMPLE_FMT_S16;
        av_channel_layout_default(&encoder.frame->ch_layout, 1);
        ASSERT_EQ(av_frame_get_buffer(encoder.frame, 0), 0);
        std::memcpy(encoder.frame->data[0], &samples[at], 480);
        ASSERT_EQ(avcodec_send_frame(encoder.context, encoder.frame), 0);
        ASSERT_EQ(avcodec_receive_packet(encoder.context, encoder.packet), 0);
        const AVPacket& frame = *encoder.packet;
        frames.insert(frames.end(), frame.data, frame.data + frame.size);
        ASSERT_EQ(avcodec_send_packet(decoder.context, encoder.packet), 0);
        ASSERT_EQ(avcodec_receive_frame(decoder.context, decoder.frame), 0);
        // Mono 16-bit, planar or not: the one plane holds the samples.
        const auto* pcm = reinterpret_cast<const std::int16_t*>(decoder.frame->data[0]);
        decoded.insert(decoded.end(), pcm, pcm + decoder.frame->nb_samples);
        av_packet_unref(encoder.packet);
        av_frame_unref(encoder.frame);
    }
}

using G723GreetingTest = TempDirTest;

TEST_F(G723GreetingTest, FramesAreLibavcodecsAndDecodeToTheSpeechOnlyWithTheModule) {
    const std::string creating = "Creating data file - \"out.cxx\"\r\n";
    // 10 s and 80 samples: 333 frames, in two full 3072-byte packets and one of 77 frames;
    // the last 160 bytes are dropped.
    const std::vector<std::int16_t> speech = speechLikeSignal(333 * 240 + 80);
    writeBytes(path("x.wav"), pcmWav(speech));
    // A copy of the program here finds no module beside it, nor (unless one is) installed.
    if (!std::filesystem::exists(codecModuleCandidates().back())) {
        std::filesystem::copy_file(QUEN_BINARY, path("QuenGreeting"));
        const std::string command = "cd '" + dir().string() +
                                    "' && ./QuenGreeting /convert:x.wav box rec g723 out.cxx "
                                    "log.txt >stdout.txt";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 255);
        EXPECT_EQ(readText(path("log.txt")),
                  creating +
                      "Could not open Codec for Windows ACM stream.  Error code = 512.\r\n"
                      "Compression of \"x.wav\" file failed on bad format.\r\n");
        EXPECT_EQ(readText(path("stdout.txt")), "");
        EXPECT_FALSE(std::filesystem::exists(path("out.cxx")));
    }
    const ProgramResult result =
        run({"/convert:x.wav", "box", "rec", "g723", "out.cxx", "log.txt"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(readText(path("log.txt")), creating);
    const Bytes written = readBytes(path("out.cxx"));
    Bytes frames;
    std::vector<std::int16_t> decoded;
    referenceCodec(speech, frames, decoded);
    ExpectedHeader header{u"box", u"rec"};
    header.recordTime = bigEndian32At(written, 206);
    ASSERT_EQ(written, expectedDataFile(0x8B, header, frames, 24));

    // `decoded` is these frames, the file's, decoded. G.723.1 analyses by synthesis: the
    // waveform comes back only roughly. Here it reaches a correlation of 0.98 and 14 dB SNR,
    // while frames swapped in pairs, shifted by one, encoded without carried state or from
    // byte-swapped samples all stay below 0.1 and -1.5 dB; 0.9 and 8 dB leave room for other
    // codec versions. The decoder lags by the encoder's 60-sample look-ahead; the first
    // 300 ms settle it.
    double inputEnergy = 0, decodedEnergy = 0, product = 0;
    for (std::size_t i = 2400; i + 60 < decoded.size(); ++i) {
        inputEnergy += speech[i] * speech[i];
        decodedEnergy += decoded[i + 60] * decoded[i + 60];
        product += speech[i] * decoded[i + 60];
    }
    EXPECT_GT(product / std::sqrt(inputEnergy * decodedEnergy), 0.9);
    const double errorEnergy = inputEnergy - 2 * product + decodedEnergy;
    EXPECT_GT(10 * std::log10(inputEnergy / errorEnergy), 8.0);
}

}  // namespace
}  // namespace quen::test
