// The message job's operand conversions: time numbers, yes/no words, format codes.
#include <gtest/gtest.h>

#include "app/MessageOperands.h"

namespace quen::test {
namespace {

TEST(MessageOperands, ParsesTimesLeniently) {
    struct Case {
        std::u16string text;
        std::int32_t value;
    };
    const Case cases[] = {
        {u"12", 12},
        {u"12abc", 12},
        {u"abc", 0},
        {u"", 0},
        {u" -5", -5},
        {u"\t\n+7", 7},
        {u"-", 0},
        {u"+-3", 0},
        {u"- 3", 0},
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483647},
        {u"99999999999999999999999", 2147483647},
        {u"-2147483648", -2147483648},
        {u"-2147483649", -2147483648},
        {u"-99999999999999999999999", -2147483648},
        {u"0012", 12},
        {u"\x0663", 0},  // digits other than 0-9 are not decimal digits here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        EXPECT_EQ(parseTime(c.text), c.value);
    }
}

TEST(MessageOperands, YesIsYOrTrueInAnyAsciiCase) {
    for (const std::u16string yes : {u"Y", u"y", u"TRUE", u"true", u"tRuE"}) {
        EXPECT_TRUE(isYes(yes));
    }
    for (const std::u16string no : {u"N", u"yes", u"1", u"", u"Y ", u" Y", u"TRU", u"\uFF39"}) {
        EXPECT_FALSE(isYes(no));
    }
}

TEST(MessageOperands, FormatCodeByFormatAndNewFlag) {
    struct Case {
        std::u16string format;
        std::int32_t oldCode;
    };
    const Case cases[] = {
        {u"G723", 0x8B}, {u"g723", 0x8B}, {u"ULAW", 0x8A},  {u"u-law", 0x8A}, {u"U-Law", 0x8A},
        {u"G711", 0x89}, {u"", 0x89},     {u"g723 ", 0x89}, {u"alaw", 0x89},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format.begin(), c.format.end()));
        EXPECT_EQ(formatCodeFor(c.format, false), c.oldCode);
        EXPECT_EQ(formatCodeFor(c.format, true), c.oldCode + 0x60);
    }
}

}  // namespace
}  // namespace quen::test
