// An encoder through libavcodec, fed frames of its own frame size in the first of
// planar float, packed float or packed 16-bit that it takes, muxed by libavformat.
#include "tests/EncodedAudioWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace quen::test {
namespace {

struct Encoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;

    ~Encoder() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format != nullptr) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    // Sends one frame (or the flush with nullptr) and writes what comes out.
    bool encode(AVFrame* input, AVStream* stream) {
        if (avcodec_send_frame(codec, input) < 0) {
            return false;
        }
        while (avcodec_receive_packet(codec, packet) == 0) {
            packet->stream_index = 0;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            if (av_interleaved_write_frame(format, packet) < 0) {
                return false;
            }
        }
        return true;
    }
};

// The first of the formats this test writer can fill that `codec` takes.
AVSampleFormat chooseFormat(const AVCodec* codec) {
    for (const AVSampleFormat wanted : {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16}) {
        for (const AVSampleFormat* offered = codec->sample_fmts;
             offered != nullptr && *offered != AV_SAMPLE_FMT_NONE; ++offered) {
            if (*offered == wanted) {
                return wanted;
            }
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

void fill(AVFrame* frame, const std::vector<float>& samples, std::size_t start, int channels) {
    const auto count = static_cast<std::size_t>(frame->nb_samples);
    const auto width = static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t c = 0; c < width; ++c) {
            const float value = samples[(start + i) * width + c];
            switch (frame->format) {
                case AV_SAMPLE_FMT_FLTP:
                    reinterpret_cast<float*>(frame->extended_data[c])[i] = value;
                    break;
                case AV_SAMPLE_FMT_FLT:
                    reinterpret_cast<float*>(frame->data[0])[i * width + c] = value;
                    break;
                default:
                    reinterpret_cast<std::int16_t*>(frame->data[0])[i * width + c] =
                        static_cast<std::int16_t>(std::lround(value * 32767));
                    break;
            }
        }
    }
}

}  // namespace

void writeEncodedAudio(const std::filesystem::path& path, const std::vector<float>& samples,
                       int sampleRate, int channels, const std::string& encoderName,
                       const std::string& muxer) {
    // The encoders' statistics would only clutter the test output.
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName.c_str());
    ASSERT_NE(codec, nullptr) << "libavcodec has no encoder " << encoderName;
    const AVSampleFormat format = chooseFormat(codec);
    ASSERT_NE(format, AV_SAMPLE_FMT_NONE);
    Encoder encoder;
    ASSERT_GE(avformat_alloc_output_context2(&encoder.format, nullptr, muxer.c_str(), path.c_str()),
              0);
    AVStream* stream = avformat_new_stream(encoder.format, nullptr);
    encoder.codec = avcodec_alloc_context3(codec);
    encoder.codec->sample_rate = sampleRate;
    encoder.codec->sample_fmt = format;
    encoder.codec->bit_rate = 128000;
    encoder.codec->time_base = AVRational{1, sampleRate};
    av_channel_layout_default(&encoder.codec->ch_layout, channels);
    if (encoder.format->oformat->flags & AVFMT_GLOBALHEADER) {
        encoder.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    ASSERT_GE(avcodec_open2(encoder.codec, codec, nullptr), 0);
    ASSERT_GE(avcodec_parameters_from_context(stream->codecpar, encoder.codec), 0);
    stream->time_base = AVRational{1, sampleRate};
    ASSERT_GE(avio_open(&encoder.format->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(encoder.format, nullptr), 0);

    encoder.frame = av_frame_alloc();
    encoder.packet = av_packet_alloc();
    // Encoders that take any frame size report 0.
    const std::size_t frameSize =
        encoder.codec->frame_size > 0 ? static_cast<std::size_t>(encoder.codec->frame_size) : 1024;
    const std::size_t total = samples.size() / static_cast<std::size_t>(channels);
    for (std::size_t start = 0; start < total; start += frameSize) {
        av_frame_unref(encoder.frame);
        encoder.frame->format = format;
        encoder.frame->sample_rate = sampleRate;
        encoder.frame->nb_samples = static_cast<int>(std::min(frameSize, total - start));
        encoder.frame->pts = static_cast<std::int64_t>(start);
        av_channel_layout_default(&encoder.frame->ch_layout, channels);
        ASSERT_GE(av_frame_get_buffer(encoder.frame, 0), 0);
        fill(encoder.frame, samples, start, channels);
        ASSERT_TRUE(encoder.encode(encoder.frame, stream));
    }
    ASSERT_TRUE(encoder.encode(nullptr, stream));
    ASSERT_GE(av_write_trailer(encoder.format), 0);
}

}  // namespace quen::test
