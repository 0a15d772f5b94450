// libmp3lame through libavcodec: planar float frames of the encoder's frame size,
// muxed by libavformat's "mp3" writer.
#include "tests/Mp3Writer.h"

#include <gtest/gtest.h>

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace quen::test {
namespace {

struct Mp3Encoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;

    ~Mp3Encoder() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format != nullptr) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    // Sends one frame (or the flush with nullptr) and writes what comes out.
    bool encode(AVFrame* input) {
        if (avcodec_send_frame(codec, input) < 0) {
            return false;
        }
        while (avcodec_receive_packet(codec, packet) == 0) {
            packet->stream_index = 0;
            if (av_interleaved_write_frame(format, packet) < 0) {
                return false;
            }
        }
        return true;
    }
};

}  // namespace

void writeMp3(const std::filesystem::path& path, const std::vector<float>& samples, int sampleRate,
              int channels) {
    const AVCodec* lame = avcodec_find_encoder_by_name("libmp3lame");
    ASSERT_NE(lame, nullptr) << "libavcodec has no MP3 encoder";
    Mp3Encoder encoder;
    ASSERT_GE(avformat_alloc_output_context2(&encoder.format, nullptr, "mp3", path.c_str()), 0);
    AVStream* stream = avformat_new_stream(encoder.format, nullptr);
    encoder.codec = avcodec_alloc_context3(lame);
    encoder.codec->sample_rate = sampleRate;
    encoder.codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder.codec->bit_rate = 128000;
    av_channel_layout_default(&encoder.codec->ch_layout, channels);
    ASSERT_GE(avcodec_open2(encoder.codec, lame, nullptr), 0);
    ASSERT_GE(avcodec_parameters_from_context(stream->codecpar, encoder.codec), 0);
    stream->time_base = AVRational{1, sampleRate};
    ASSERT_GE(avio_open(&encoder.format->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(encoder.format, nullptr), 0);

    encoder.frame = av_frame_alloc();
    encoder.packet = av_packet_alloc();
    const auto frameSize = static_cast<std::size_t>(encoder.codec->frame_size);
    const std::size_t total = samples.size() / static_cast<std::size_t>(channels);
    for (std::size_t start = 0; start < total; start += frameSize) {
        const std::size_t count = std::min(frameSize, total - start);
        av_frame_unref(encoder.frame);
        encoder.frame->format = AV_SAMPLE_FMT_FLTP;
        encoder.frame->sample_rate = sampleRate;
        encoder.frame->nb_samples = static_cast<int>(count);
        encoder.frame->pts = static_cast<std::int64_t>(start);
        av_channel_layout_default(&encoder.frame->ch_layout, channels);
        ASSERT_GE(av_frame_get_buffer(encoder.frame, 0), 0);
        for (int c = 0; c < channels; ++c) {
            auto* plane = reinterpret_cast<float*>(encoder.frame->extended_data[c]);
            for (std::size_t i = 0; i < count; ++i) {
                plane[i] = samples[(start + i) * static_cast<std::size_t>(channels) +
                                   static_cast<std::size_t>(c)];
            }
        }
        ASSERT_TRUE(encoder.encode(encoder.frame));
    }
    ASSERT_TRUE(encoder.encode(nullptr));
    ASSERT_GE(av_write_trailer(encoder.format), 0);
}

}  // namespace quen::test
