// G.723.1 greetings end to end: the data file holds the frames libavcodec's own encoder,
// called directly here, makes of the whole 480-byte blocks of the recording.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>

#include "tests/DataFileExpectation.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

// libavcodec's 6.3 kbit/s frames for the whole 240-sample blocks of `samples`, in one
// encoder state.
Bytes referenceFrames(const std::vector<std::int16_t>& samples) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_G723_1);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->sample_rate = 8000;
    context->sample_fmt = AV_SAMPLE_FMT_S16;
    context->bit_rate = 6300;
    av_channel_layout_default(&context->ch_layout, 1);
    EXPECT_EQ(avcodec_open2(context, codec, nullptr), 0);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    Bytes frames;
    for (std::size_t at = 0; at + 240 <= samples.size(); at += 240) {
        frame->nb_samples = 240;
        frame->format = AV_SAMPLE_FMT_S16;
        av_channel_layout_default(&frame->ch_layout, 1);
        EXPECT_EQ(av_frame_get_buffer(frame, 0), 0);
        std::memcpy(frame->data[0], &samples[at], 480);
        EXPECT_EQ(avcodec_send_frame(context, frame), 0);
        EXPECT_EQ(avcodec_receive_packet(context, packet), 0);
        frames.insert(frames.end(), packet->data, packet->data + packet->size);
        av_packet_unref(packet);
        av_frame_unref(frame);
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return frames;
}

using G723GreetingTest = TempDirTest;

TEST_F(G723GreetingTest, FramesAreLibavcodecsInPacketsOf128) {
    // 333 frames, in two full 3072-byte packets and one of 77 frames; the last 160 bytes
    // are dropped.
    const std::vector<std::int16_t> samples = testSignal(333 * 240 + 80);
    writeBytes(path("x.wav"), pcmWav(samples));
    const ProgramResult result =
        run({"/convert:x.wav", "box", "rec", "g723", "out.cxx", "log.txt"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"out.cxx\"\r\n");
    const Bytes written = readBytes(path("out.cxx"));
    ExpectedHeader header{u"box", u"rec"};
    header.recordTime = bigEndian32At(written, 206);
    EXPECT_EQ(written, expectedDataFile(0x8B, header, referenceFrames(samples), 24));
}

}  // namespace
}  // namespace quen::test
