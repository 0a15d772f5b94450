// The 208-byte header of every data file: three 64-byte text fields, two four-byte
// words and two big-endian times. Greeting and message files give the fields
// different meanings, so each job names what it stores.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quen {

// Four header bytes copied unchanged into a message file.
using HeaderWord = std::array<std::uint8_t, 4>;

// Offsets within the header.
enum class TextField : std::size_t {
    MailboxName = 0,
    RecordingName = 64,   // greeting files
    CallingParty = 64,    // message files
    DisplayString = 128,  // message files; zero in greeting files
};
enum class WordField : std::size_t { Reserved = 192, InternalFlag = 196 };
enum class TimeField : std::size_t { RecordTime = 200, ListenTime = 204 };

class DataFileHeader {
  public:
    static constexpr std::size_t SIZE = 208;
    static constexpr std::size_t TEXT_FIELD_UNITS = 32;

    // Big-endian UTF-16, zero-filled to the end of the field. A longer text is cut to
    // 32 code units, or to 31 where the cut would split a surrogate pair.
    void setText(TextField field, std::u16string_view text);
    void setWord(WordField field, const HeaderWord& word);
    // Two's complement, most significant byte first.
    void setTime(TimeField field, std::int32_t seconds);

    const std::array<std::uint8_t, SIZE>& bytes() const { return bytes_; }

  private:
    std::array<std::uint8_t, SIZE> bytes_{};
};

}  // namespace quen
