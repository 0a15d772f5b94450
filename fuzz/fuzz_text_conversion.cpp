// Any byte string must survive UTF-8 -> UTF-16 -> UTF-8 unchanged, and any UTF-16
// text must encode without crashing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/TextConversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (quen::toNarrow(quen::toWide(bytes)) != bytes) {
        std::abort();
    }
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    static_cast<void>(quen::toNarrow(units));
    return 0;
}
