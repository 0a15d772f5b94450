// Separator, directory and file-name rules of the batch job.
#include "batch/BatchPaths.h"

namespace quen {

std::u16string withSlashSeparators(std::u16string_view path) {
    std::u16string result(path);
    for (char16_t& c : result) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    return result;
}

std::u16string asDirectory(std::u16string_view directory) {
    std::u16string result = withSlashSeparators(directory);
    if (!result.ends_with(u'/')) {
        result += u'/';
    }
    return result;
}

std::u16string withoutReservedCharacters(std::u16string_view name) {
    constexpr std::u16string_view RESERVED = u"\\/:*?\"<>|";
    std::u16string result;
    for (const char16_t c : name) {
        if (RESERVED.find(c) == std::u16string_view::npos) {
            result += c;
        }
    }
    return result;
}

std::u16string baseName(std::u16string_view recording) {
    return std::u16string(recording.substr(0, recording.find(u'.')));
}

std::u16string lastComponent(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace quen
