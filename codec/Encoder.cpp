// Each codec's encoder.
#include "codec/Encoder.h"

#include "codec/CodecModule.h"
#include "codec/G711Encoder.h"
#include "codec/G723Stream.h"

namespace quen {

std::unique_ptr<Encoder> makeEncoder(Codec codec) {
    switch (codec) {
        case Codec::ALaw:
            return makeALawEncoder();
        case Codec::MuLaw:
            return makeMuLawEncoder();
        case Codec::G723:
            return std::make_unique<G723Stream>(systemCodecModule());
    }
    return makeALawEncoder();  // not reached: every codec has its encoder
}

}  // namespace quen
