// The message job's time operands: lenient decimal numbers, clamped to 32 bits.
#include <gtest/gtest.h>

#include "app/MessageOperands.h"

namespace quen::test {
namespace {

TEST(MessageOperands, ParsesTimesLeniently) {
    const std::pair<std::u16string, std::int32_t> cases[] = {
        {u"102", 102},
        {u"12abc", 12},
        {u"abc", 0},
        {u"", 0},
        {u" -5", -5},
        {u"\t\n+7", 7},
        {u"+-3", 0},
        {u"- 3", 0},
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483647},
        {u"99999999999999999999999", 2147483647},
        {u"-2147483648", -2147483648},
        {u"-2147483649", -2147483648},
        {u"\x0663", 0},  // digits other than 0-9 are not decimal digits here
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        EXPECT_EQ(parseTime(text), value);
    }
}

}  // namespace
}  // namespace quen::test
