// How the converter reads its operands and names: time operands as lenient decimal
// numbers clamped to 32 bits; a message's format word, the one `quen` writes for each
// codec among them; UTF-8 <-> UTF-16 both ways, with the surrogate escape that
// lets any byte string survive the round trip; and fileExists and directoryExists, with
// trailing separators and wildcard searches that test the first match in byte order.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/MessageOperands.h"
#include "batch/FileSystemChecks.h"
#include "codec/Codec.h"
#include "platform/TextConversion.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

TEST(MessageOperands, ParsesTimesLeniently) {
    const std::pair<std::u16string, std::int32_t> cases[] = {
        {u"102", 102},
        {u"12abc", 12},
        {u"", 0},
        {u" -5", -5},
        {u"\t\n+7", 7},
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483647},
        {u"-2147483648", -2147483648},
        {u"-2147483649", -2147483648},
        {u"\x0663", 0},  // digits other than 0-9 are not decimal digits here
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        EXPECT_EQ(parseTime(text), value);
    }
    // Digits that follow the operand in memory are not part of it.
    EXPECT_EQ(parseTime(std::u16string_view(u"123", 2)), 12);
}

// The word `quen` writes for each codec selects that codec again; any other word is A-law.
TEST(MessageOperands, EachCodecsJobWordSelectsIt) {
    for (const Codec codec : ALL_CODECS) {
        const std::string_view word = codecFacts(codec).jobWord;
        SCOPED_TRACE(word);
        const std::u16string operand(word.begin(), word.end());
        EXPECT_EQ(formatCodeFor(operand, false), messageFormatCode(codec, false));
        EXPECT_EQ(formatCodeFor(operand, true), messageFormatCode(codec, true));
    }
    const std::pair<std::u16string, std::int32_t> cases[] = {
        {u"G723", 0x8B},  {u"U-LAW", 0x8A}, {u"uLaw", 0x8A},
        {u"u_law", 0x89}, {u"", 0x89},      {u"g7231", 0x89},
    };
    for (const auto& [word, code] : cases) {
        EXPECT_EQ(formatCodeFor(word, false), code) << std::string(word.begin(), word.end());
    }
}

TEST(TextConversion, ConvertsBothWaysAndEscapesInvalidBytes) {
    struct Case {
        std::string bytes;
        std::u16string wide;
    };
    const Case cases[] = {
        {"abc", u"abc"},
        {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC"},
        {"\xDF\xBF\xE0\xA0\x80", u"\u07FF\u0800"},  // either side of the 2/3-byte border
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xEF\xBF\xBF\xF0\x90\x80\x80", u"\uFFFF\U00010000"},  // the 3/4-byte border
        {"\xEF\xBF\xBD\xF4\x8F\xBF\xBF", u"\uFFFD\U0010FFFF"},  // the last of 3 and 4 bytes
        {"\xF0\x8F\xBF\xBF", u"\xDCF0\xDC8F\xDCBF\xDCBF"},      // overlong U+FFFF
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"\xFF\x80", u"\xDCFF\xDC80"},
        {"\xC0\xAF", u"\xDCC0\xDCAF"},  // overlong '/'
        {"\xC2\x80", u"\u0080"},
        {"\xE0\x9F\xBF", u"\xDCE0\xDC9F\xDCBF"},            // overlong U+07FF
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},            // encoded surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // above U+10FFFF
        {"a\xC3", u"a\xDCC3"},                              // truncated at the end
        {"\xC3(", u"\xDCC3("},                              // bad continuation
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(toWide(c.bytes), c.wide);
        EXPECT_EQ(toNarrow(c.wide), c.bytes);
    }
    // Lone surrogates outside the escape range have no byte to go back to.
    EXPECT_EQ(toNarrow(u"a\xD800"), "a?");
    EXPECT_EQ(toNarrow(u"\xDC7F"), "?");
    EXPECT_EQ(toNarrow(u"\xD800\xD800\xDC00"), "?\xF0\x90\x80\x80");
}

using FileSystemChecksTest = TempDirTest;

TEST_F(FileSystemChecksTest, AnswersForFilesDirectoriesAndPatterns) {
    writeText(path("a-file.txt"), "x");
    writeText(path("b2"), "x");
    std::filesystem::create_directory(path("b1"));
    std::filesystem::create_directory(path("c-dir"));
    writeText(path("c-dir/inner.wav"), "x");
    writeText(path("\xFFraw"), "x");
    std::filesystem::create_symlink("c-dir", path("link-to-dir"));
    std::filesystem::create_directory(path("x*y"));
    writeText(path("r*c"), "x");
    std::filesystem::create_directory(path("rec"));
    writeText(path("\xF0\x9F\x98\x80z"), "x");
    // Relative path, exists as a file, exists as a directory.
    const std::tuple<std::string, bool, bool> cases[] = {
        {"a-file.txt", true, false},
        {"c-dir", true, true},
        {"c-dir/", true, true},  // a trailing separator still names the directory
        {"link-to-dir", true, true},
        {"missing", false, false},
        {"\xFFraw", true, false},
        {"c-?ir", true, true},
        {"b?", true, true},  // b1 (a directory) sorts before b2 (a file)
        {"c-dir/*.wav", true, false},
        // A '*' facing a '*' in a name is still a wildcard: "x*" finds "x*y", and "r*"
        // tests "r*c" (a file), which sorts before "rec".
        {"x*", true, true},
        {"r*", true, false},
        {"?z", true, false},                 // one character outside the basic plane
        {"\xF0\x9F\x98\x80?", true, false},  // and that character itself
        {"\xF0\x9F\x98\x81?", false, false},
        {"*", true, false},  // first entry in byte order: a-file.txt
        {std::string(5000, 'x'), false, false},
    };
    for (const auto& [relative, file, directory] : cases) {
        SCOPED_TRACE(relative);
        const std::u16string wide = toWide((dir() / relative).string());
        EXPECT_EQ(fileExists(wide), file);
        EXPECT_EQ(directoryExists(wide), directory);
    }
    EXPECT_TRUE(directoryExists(u"/"));
    EXPECT_FALSE(fileExists(u""));
}

}  // namespace
}  // namespace quen::test
