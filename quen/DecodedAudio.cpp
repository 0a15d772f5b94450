// G.711 through the library's expansion tables, G.723.1 through libavcodec.
#include "quen/DecodedAudio.h"

#include "audio/CodecCodes.h"
#include "audio/G711Decoder.h"
#include "platform/media/G723Decoder.h"

namespace quen::tool {

std::optional<DecodedAudio> decodeAudio(const DataFileContents& contents, std::string& error) {
    if (contents.cpType != CP_TYPE_G723) {
        return DecodedAudio{decodeG711(contents.stream, contents.cpType), 0};
    }
    auto decoded = decodeG723(contents.stream, error);
    if (!decoded) {
        return std::nullopt;
    }
    return DecodedAudio{std::move(decoded->samples), decoded->failedFrames};
}

}  // namespace quen::tool
