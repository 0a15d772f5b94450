// UTF-8 <-> UTF-16 conversion: valid text both ways, and the surrogate escape that
// lets any byte string (file names, arguments) survive the round trip.
#include <gtest/gtest.h>

#include <random>

#include "platform/TextConversion.h"

namespace quen::test {
namespace {

TEST(TextConversion, DecodesValidUtf8IntoCodeUnits) {
    EXPECT_EQ(toWide("abc"), u"abc");
    EXPECT_EQ(toWide("\xC3\xA9"), u"\u00E9");
    EXPECT_EQ(toWide("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(toWide("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(toWide(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(TextConversion, EscapesEveryByteOfAnInvalidSequence) {
    struct Case {
        std::string bytes;
        std::u16string wide;
    };
    const Case cases[] = {
        {"\xFF", u"\xDCFF"},
        {"\x80", u"\xDC80"},
        {"\xC0\xAF", u"\xDCC0\xDCAF"},                      // overlong '/'
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
}

TEST(TextConversion, EncodesUtf16AndReplacesOtherLoneSurrogates) {
    EXPECT_EQ(toNarrow(u"\u00E9\u20AC"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(toNarrow(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(toNarrow(u"a\xD800"), "a?");  // lone high surrogate
    EXPECT_EQ(toNarrow(u"\xDC7F"), "?");    // low surrogate outside the escape range
    EXPECT_EQ(toNarrow(u"\xD800\xD800\xDC00"), "?\xF0\x90\x80\x80");
}

TEST(TextConversion, ArbitraryBytesSurviveTheRoundTrip) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(static_cast<std::size_t>(round % 40), '\0');
        for (char& b : bytes) {
            b = static_cast<char>(byte(random));
        }
        ASSERT_EQ(toNarrow(toWide(bytes)), bytes);
    }
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        ASSERT_EQ(toNarrow(toWide(one)), one) << b;
    }
}

}  // namespace
}  // namespace quen::test
