// The greeting conversion: one WAV recording into one greeting data file.
#include "app/Converter.h"

namespace quen {

bool Converter::convertGreeting(const std::u16string&, const std::u16string&,
                                const std::u16string&, const std::u16string&,
                                const std::u16string&) const {
    return false;
}

}  // namespace quen
