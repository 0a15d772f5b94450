// Names and texts as quen's text output shows them: control characters, C1 controls
// and bytes that are not UTF-8 escaped, everything printable (UTF-8 included) as it is,
// and a quoted name that a shell reads back as the very same bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "quen/FailureText.h"
#include "quen/TextDisplay.h"

namespace quen::test {
namespace {

using tool::shownName;
using tool::shownText;

// What bash makes of `word`: the bytes it passes on.
std::string readByBash(const std::string& word) {
    // The script in POSIX quotes, so that the shell popen runs hands it on untouched.
    std::string script = "printf %s " + word;
    std::string quoted = "'";
    for (const char c : script) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    const std::string command = "bash -c " + quoted + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        out.append(buffer, got);
    }
    ::pclose(pipe);
    return out;
}

TEST(TextDisplayTest, NamesWithControlsOrStrayBytesAreQuotedAsAShellReadsThemBack) {
    const struct {
        std::string name;
        std::string shown;
    } rows[] = {
        {"in.wav", "in.wav"},
        {"a b'c\\d.wav", "a b'c\\d.wav"},
        {"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
         "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"a\033[31mb", "$'a\\033[31mb'"},
        {"l1\nl2\tt\rr", "$'l1\\nl2\\tt\\rr'"},
        {"it's\\\x01", "$'it\\'s\\\\\\001'"},
        {"del\x7F", "$'del\\177'"},
        {"\x1F \x20", "$'\\037  '"},
        // C1 controls: U+009B is a CSI to some terminals; U+00A0 is printable.
        {"\xC2\x9B"
         "2J",
         "$'\\302\\2332J'"},
        {"\xC2\x80", "$'\\302\\200'"},
        {"\xC2\x9F", "$'\\302\\237'"},
        {"\xC2\xA0", "\xC2\xA0"},
        // The last code point of the last plane is printable as it is.
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        // Not UTF-8: a stray byte, an overlong slash, a surrogate, a sequence cut short.
        {"\xFF", "$'\\377'"},
        {"\xC0\xAF", "$'\\300\\257'"},
        {"\xED\xA0\x80", "$'\\355\\240\\200'"},
        {"\xF4\x90\x80\x80", "$'\\364\\220\\200\\200'"},
        {"x\xE2\x82", "$'x\\342\\202'"},
        // Overlong three- and four-byte forms, and lead bytes past the last plane.
        {"\xE0\x9F\xBF", "$'\\340\\237\\277'"},
        {"\xF0\x8F\xBF\xBF", "$'\\360\\217\\277\\277'"},
        {"\xF8\x90\x80\x80", "$'\\370\\220\\200\\200'"},
        // Characters kept as they are beside an escape.
        {"\xC3\xA9\x01\xF0\x9F\x98\x80z", "$'\xC3\xA9\\001\xF0\x9F\x98\x80z'"},
        // A plain name that looks quoted is quoted, so that the two never look alike.
        {"$'a'", "$'$\\'a\\''"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        EXPECT_EQ(shownName(row.name), row.shown);
        if (row.shown.starts_with("$'")) {
            EXPECT_EQ(readByBash(row.shown), row.name);
        }
    }
}

TEST(TextDisplayTest, TextsAreEscapedInPlaceAndMayKeepTheirLineFeeds) {
    EXPECT_EQ(shownText("Compression of \"a\033b.wav\" file failed"),
              "Compression of \"a\\033b.wav\" file failed");
    EXPECT_EQ(shownText("sub\\it's.wav"), "sub\\it's.wav");
    EXPECT_EQ(shownText("one\ntwo\x9B"), "one\\ntwo\\233");
    EXPECT_EQ(shownText("one\ntwo\r\n", true), "one\ntwo\\r\n");
    EXPECT_EQ(shownText("\xE2\x82\xAC\x01\xC3\xA9"), "\xE2\x82\xAC\\001\xC3\xA9");
}

// A data file's header texts: characters as UTF-8, controls and lone surrogates as
// \uXXXX escapes, and nothing read past a text's end, where a pair may be cut.
TEST(TextDisplayTest, HeaderTextsEscapeControlsAndLoneSurrogates) {
    using tool::displayText;
    using tool::hasLoneSurrogate;
    EXPECT_EQ(displayText(u"\U0001F600\x1F \xDC00\xD800\x7F"),
              "\xF0\x9F\x98\x80\\u001F \\uDC00\\uD800\\u007F");
    const std::u16string_view cut(u"a\xD83D\xDE00", 2);
    EXPECT_EQ(displayText(cut), "a\\uD83D");
    EXPECT_TRUE(hasLoneSurrogate(cut));
    EXPECT_FALSE(hasLoneSurrogate(u"a\xD83D\xDE00"));
    EXPECT_EQ(displayText(std::u16string_view(u"ab", 1)), "a");
    EXPECT_FALSE(hasLoneSurrogate(std::u16string_view(u"ab\xD800", 2)));
}

// Every category has its phrase and its number; a generic failure shows its own text.
TEST(TextDisplayTest, FailuresAreNamedWithTheirCategoryNumber) {
    using C = FailureCategory;
    const std::pair<C, std::string> rows[] = {
        {C::FileNotFound, "file not found (category 2)"},
        {C::BadPath, "bad path (a directory is missing) (category 3)"},
        {C::TooManyOpenFiles, "too many open files (category 4)"},
        {C::AccessDenied, "access denied (category 5)"},
        {C::InvalidFile, "failed (category 6)"},
        {C::SharingViolation, "in use by another program (category 11)"},
        {C::DiskFull, "disk full (category 13)"},
        {C::HardwareError, "input/output error (category 10)"},
        {C::EndOfFile, "the read stopped short (category 14)"},
    };
    for (const auto& [category, text] : rows) {
        EXPECT_EQ(tool::describeFailure(category), text);
    }
    EXPECT_EQ(tool::describeFailure(Failure{C::Generic, "No space"}), "No space (category 1)");
    EXPECT_EQ(tool::describeFailure(Failure{C::AccessDenied, "EACCES"}),
              "access denied (category 5)");
}

}  // namespace
}  // namespace quen::test
