// Each codec's decoder.
#include "codec/Decoder.h"

#include "codec/CodecModule.h"
#include "codec/G711Decoder.h"
#include "codec/G723Decoder.h"

namespace quen {

Result<std::unique_ptr<Decoder>> makeDecoder(Codec codec) {
    switch (codec) {
        case Codec::ALaw:
            return makeALawDecoder();
        case Codec::MuLaw:
            return makeMuLawDecoder();
        case Codec::G723:
            return makeG723Decoder(systemCodecModule());
    }
    return makeALawDecoder();  // not reached: every codec has its decoder
}

}  // namespace quen
