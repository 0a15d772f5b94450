// The guarded media entry's second line of defence: whatever demuxer is let through,
// it opens no other file. A playlist and a concatenation list, allowed here on
// purpose together with the WAV file they name (the allow-list is handed down to the
// demuxers they would open), must not read one packet of it. With the recordings' own
// allow-list such lists are refused before they are opened.
#include <gtest/gtest.h>

#include <string>

#include "media/MediaInput.h"
#include "tests/TestSupport.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace quen::test {
namespace {

class MediaInputNestedOpen : public TempDirTest {};

TEST_F(MediaInputNestedOpen, AListLetThroughReadsNothingOfTheFilesItNames) {
    ASSERT_EQ(shell("ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=8000:d=3 tone.wav"), 0);
    writeText(path("playlist.m3u8"), "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:3.0,\n" +
                                         path("tone.wav").string() + "\n#EXT-X-ENDLIST\n");
    writeText(path("list.txt"), "ffconcat version 1.0\nfile tone.wav\n");
    for (const auto& [file, demuxer] :
         {std::pair{"playlist.m3u8", "hls,wav"}, {"list.txt", "concat,wav"}}) {
        SCOPED_TRACE(demuxer);
        auto input = MediaInput::open(path(file).string(), demuxer);
        // A demuxer may give up at its first nested open, or open with nothing to read.
        if (!input) {
            continue;
        }
        AVPacket* packet = av_packet_alloc();
        ASSERT_NE(packet, nullptr);
        const int read = av_read_frame((*input)->format(), packet);
        av_packet_free(&packet);
        EXPECT_LT(read, 0);
    }
}

}  // namespace
}  // namespace quen::test
