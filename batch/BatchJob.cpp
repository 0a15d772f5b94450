// The auto-attendant batch: every recorded greeting of a template into data files.
#include "app/Converter.h"

namespace quen {

bool Converter::convertBatch(const std::u16string&, const std::u16string&,
                             const std::u16string&, int) const {
    return false;
}

}  // namespace quen
