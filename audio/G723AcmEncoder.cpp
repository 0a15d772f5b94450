// Placeholder until the G.723.1 stream layer exists: behaves like a machine on which
// no G.723.1 codec is installed.
#include "audio/G723AcmEncoder.h"

#include "app/ErrorLog.h"

namespace quen {

std::int32_t G723AcmEncoder::encodeAll(const std::uint8_t*, std::uint32_t, std::uint8_t*,
                                       std::uint32_t) {
    ErrorLog::instance().write(u"Could not open Codec for Windows ACM stream.  Error code = 512.");
    failed_ = true;
    return 0;
}

}  // namespace quen
