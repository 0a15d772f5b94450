// A scan of the prolog, not a parse: a refused file of any size costs one small read, and
// nothing past the root element's name is trusted or needed.
#include "quen/check/AaTemplateHead.h"

#include <string_view>

#include "batch/AaTemplate.h"

namespace quen::tool {

bool startsLikeAaTemplate(std::span<const std::uint8_t> head) {
    std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    // Drops everything up to and including `end`; false when it never comes.
    const auto skipPast = [&text](std::string_view end) {
        const std::size_t at = text.find(end);
        if (at == std::string_view::npos) {
            return false;
        }
        text.remove_prefix(at + end.size());
        return true;
    };
    for (;;) {
        const std::size_t start = text.find_first_not_of(" \t\r\n");
        if (start == std::string_view::npos) {
            return false;
        }
        text.remove_prefix(start);
        bool skipped = true;
        if (text.starts_with("<?")) {
            skipped = skipPast("?>");
        } else if (text.starts_with("<!--")) {
            skipped = skipPast("-->");
        } else if (text.starts_with("<!")) {
            // A document type's internal subset may hold '>' of its own.
            const std::size_t subset = text.find('[');
            const std::size_t close = text.find('>');
            skipped = (subset < close ? skipPast("]") : true) && skipPast(">");
        } else {
            break;
        }
        if (!skipped) {
            return false;
        }
    }
    const std::string_view root = AA_TEMPLATE_ROOT;
    if (!text.starts_with('<') || !text.substr(1).starts_with(root)) {
        return false;
    }
    const std::string_view after = text.substr(1 + root.size());
    return !after.empty() &&
           std::string_view(" \t\r\n/>").find(after.front()) != std::string_view::npos;
}

}  // namespace quen::tool
