// The message conversion: one WAV recording into one voicemail message data file.
#include "app/Converter.h"

namespace quen {

bool Converter::convertMessage(const std::u16string&, const std::u16string&, std::int32_t,
                               const std::u16string&, const std::u16string&,
                               const std::u16string&, const HeaderWord&, const HeaderWord&,
                               std::int32_t, std::int32_t) const {
    return false;
}

}  // namespace quen
