// Header fields byte for byte: big-endian UTF-16 texts cut to their field without
// splitting a surrogate pair, the four-byte words and the big-endian times.
#include <gtest/gtest.h>

#include "datafile/BigEndianText.h"
#include "datafile/DataFileHeader.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

Bytes headerBytes(const DataFileHeader& header) {
    return Bytes(header.bytes().begin(), header.bytes().end());
}

// The 64 bytes of the text field at `offset`.
Bytes field(const DataFileHeader& header, std::size_t offset) {
    const auto begin = header.bytes().begin() + static_cast<std::ptrdiff_t>(offset);
    return Bytes(begin, begin + 64);
}

// `text` as a header field expects it: big-endian units, zeros to 64 bytes.
Bytes expectedField(const std::u16string& text) {
    Bytes bytes = toUtf16BigEndian(text);
    bytes.resize(64, 0);
    return bytes;
}

TEST(BigEndianTextTest, HighByteFirstNoTerminator) {
    EXPECT_EQ(toUtf16BigEndian(u""), Bytes{});
    EXPECT_EQ(toUtf16BigEndian(u"A\u00E9\u20AC"), (Bytes{0x00, 0x41, 0x00, 0xE9, 0x20, 0xAC}));
    EXPECT_EQ(toUtf16BigEndian(u"\U0001F600"), (Bytes{0xD8, 0x3D, 0xDE, 0x00}));
    EXPECT_EQ(toUtf16BigEndian(std::u16string(u"a\0b", 3)),
              (Bytes{0x00, 0x61, 0x00, 0x00, 0x00, 0x62}));
}

TEST(DataFileHeaderTest, TextIsCutToItsField) {
    const std::u16string pair = u"\U0001F600";  // two code units
    const std::u16string x31(31, u'x');
    const struct {
        const char* name;
        std::u16string text;
        std::u16string stored;
    } rows[] = {
        {"empty", u"", u""},
        {"31 units, then zeros", x31, x31},
        {"32 units fill the field", x31 + u"y", x31 + u"y"},
        {"33 units lose the last", x31 + u"yz", x31 + u"y"},
        {"a pair at units 31 and 32 stays whole", std::u16string(30, u'x') + pair + u"z",
         std::u16string(30, u'x') + pair},
        {"a pair across the cut goes whole", x31 + pair, x31},
        {"a lone high surrogate at unit 32 is one unit", x31 + u"\xD83Dq", x31 + u"\xD83D"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DataFileHeader header;
        header.setText(TextField::CallingParty, std::u16string(40, u'a'));
        header.setText(TextField::CallingParty, row.text);
        EXPECT_EQ(field(header, 64), expectedField(row.stored));
        Bytes rest = headerBytes(header);
        rest.erase(rest.begin() + 64, rest.begin() + 128);
        EXPECT_EQ(rest, Bytes(208 - 64, 0)) << "bytes outside the field changed";
    }
}

TEST(DataFileHeaderTest, FieldsAtTheirOffsets) {
    DataFileHeader header;
    header.setText(TextField::MailboxName, u"1001");
    header.setText(TextField::RecordingName, u"Hi");
    header.setText(TextField::DisplayString, u"D");
    header.setWord(WordField::Reserved, {1, 2, 3, 4});
    header.setWord(WordField::InternalFlag, {0x00, 'N', 0x00, 0x00});
    header.setTime(TimeField::RecordTime, -5);
    header.setTime(TimeField::ListenTime, 0x01020304);
    Bytes expected(208, 0);
    const Bytes mailbox{0x00, '1', 0x00, '0', 0x00, '0', 0x00, '1'};
    std::copy(mailbox.begin(), mailbox.end(), expected.begin());
    expected[65] = 'H';
    expected[67] = 'i';
    expected[129] = 'D';
    const Bytes tail{1, 2, 3, 4, 0x00, 'N', 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFB, 1, 2, 3, 4};
    std::copy(tail.begin(), tail.end(), expected.begin() + 192);
    EXPECT_EQ(headerBytes(header), expected);
    EXPECT_EQ(TextField::RecordingName, TextField::CallingParty);
}

}  // namespace
}  // namespace quen::test
