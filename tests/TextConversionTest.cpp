// UTF-8 <-> UTF-16 conversion: valid text both ways, and the surrogate escape that
// lets any byte string (file names, arguments) survive the round trip.
#include <gtest/gtest.h>

#include "platform/TextConversion.h"

namespace quen::test {
namespace {

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

}  // namespace
}  // namespace quen::test
