// fileExists and directoryExists: a direct lookup, or a wildcard search of the
// parent directory in byte order of the entry names, testing the first match.
#include "batch/FileSystemChecks.h"

#include <string_view>

#include "platform/DirectoryQuery.h"
#include "platform/TextConversion.h"

namespace quen {
namespace {

// Characters as the user sees them: a surrogate pair is one character for '?'.
std::u32string codePoints(std::u16string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isSurrogatePairAt(text, i)) {
            out += combineSurrogates(text[i], text[i + 1]);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// '*' matches any run of characters, '?' exactly one; iterative with one backtrack
// point, so long names cost linear time per star.
bool matchesPattern(std::u32string_view pattern, std::u32string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::u32string_view::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        // A '*' is always a wildcard, even facing a '*' in the name.
        if (p < pattern.size() && pattern[p] == U'*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starAt != std::u32string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

EntryKind searchedEntryKind(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u'/');
    const std::size_t nameStart = slash == std::u16string::npos ? 0 : slash + 1;
    const std::u16string_view lastComponent = std::u16string_view(path).substr(nameStart);
    if (lastComponent.find_first_of(u"*?") == std::u16string_view::npos) {
        return entryKind(toNarrow(path));
    }
    const std::u16string directory = path.substr(0, nameStart);
    const std::string narrowDirectory = directory.empty() ? "." : toNarrow(directory);
    const std::u32string pattern = codePoints(lastComponent);
    for (const std::string& name : directoryEntries(narrowDirectory)) {
        if (matchesPattern(pattern, codePoints(toWide(name)))) {
            return entryKind(toNarrow(directory) + name);
        }
    }
    return EntryKind::Missing;
}

}  // namespace

bool fileExists(const std::u16string& path) {
    return searchedEntryKind(path) != EntryKind::Missing;
}

bool directoryExists(const std::u16string& path) {
    return searchedEntryKind(path) == EntryKind::Directory;
}

}  // namespace quen
