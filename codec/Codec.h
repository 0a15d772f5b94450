// The codecs a data file can hold, and everything the rest of the program knows about
// each: the codec code (`cpType`) and the message format codes that select it, its
// frames and their duration, and its name. The numbers are outside facts, found in
// data files and on command lines; everywhere inside the program a codec is a `Codec`.
// A new codec is one enumerator, one row below, an encoder and a decoder (see
// Encoder.h and Decoder.h); every switch over `Codec` has no default, so a site that
// forgets it does not build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <optional>
#include <span>
#include <string_view>

#include "codec/g723module/G723ModuleAbi.h"
#include "wav/WaveFormat.h"

namespace quen {

enum class Codec { ALaw, MuLaw, G723 };

// Every enumerator, in order: the table is searched in this order.
inline constexpr std::array ALL_CODECS{Codec::ALaw, Codec::MuLaw, Codec::G723};

struct CodecFacts {
    // The codec code: a greeting's flash type and an old message's format code.
    std::int32_t cpType;
    // Every message format code that selects the codec: the old message's, the new
    // message's, then older codes still read.
    std::span<const std::uint8_t> formatCodes;
    std::string_view name;
    // The word a job's format operand takes for it, as `quen` writes it in commands.
    std::string_view jobWord;
    // The codecs code the recording's own samples, without resampling.
    std::uint32_t sampleRate;
    // The unit a data file's packets count: G.711's 10 ms of codes, or one G.723.1 frame.
    std::size_t frameMilliseconds;
    std::size_t frameBytes;
    // Samples coded together: one for G.711, a whole frame for G.723.1. An encoder
    // drops the samples after the last whole unit.
    std::size_t unitSamples;

    constexpr std::size_t frameSamples() const { return sampleRate * frameMilliseconds / 1000; }
    constexpr double frameSeconds() const { return frameMilliseconds / 1000.0; }
    constexpr std::size_t unitPcmBytes() const { return unitSamples * SPEECH_SAMPLE_BYTES; }
    constexpr std::size_t unitCodedBytes() const {
        return frameBytes * unitSamples / frameSamples();
    }
    // The coded length of `pcmBytes` bytes of samples.
    constexpr std::uint64_t codedBytes(std::uint64_t pcmBytes) const {
        return pcmBytes / unitPcmBytes() * unitCodedBytes();
    }
};

namespace codecrows {
inline constexpr std::array<std::uint8_t, 4> A_LAW_CODES{0x89, 0xE9, 0xC9, 0x81};
inline constexpr std::array<std::uint8_t, 2> MU_LAW_CODES{0x8A, 0xEA};
inline constexpr std::array<std::uint8_t, 4> G723_CODES{0x8B, 0xEB, 0xCB, 0x83};
}  // namespace codecrows

// The table, one row a codec.
constexpr CodecFacts codecFacts(Codec codec) {
    switch (codec) {
        case Codec::ALaw:
            return {.cpType = 0x89,
                    .formatCodes = codecrows::A_LAW_CODES,
                    .name = "A-law",
                    .jobWord = "alaw",
                    .sampleRate = SPEECH_SAMPLE_RATE,
                    .frameMilliseconds = 10,
                    .frameBytes = 80,
                    .unitSamples = 1};
        case Codec::MuLaw:
            return {.cpType = 0x8A,
                    .formatCodes = codecrows::MU_LAW_CODES,
                    .name = "mu-law",
                    .jobWord = "ulaw",
                    .sampleRate = SPEECH_SAMPLE_RATE,
                    .frameMilliseconds = 10,
                    .frameBytes = 80,
                    .unitSamples = 1};
        case Codec::G723:
            return {.cpType = 0x8B,
                    .formatCodes = codecrows::G723_CODES,
                    .name = "G.723.1",
                    .jobWord = "g723",
                    .sampleRate = SPEECH_SAMPLE_RATE,
                    .frameMilliseconds = 30,
                    .frameBytes = QUEN_G723_FRAME_BYTES,
                    .unitSamples = 240};
    }
    return codecFacts(Codec::ALaw);  // not reached: every codec has its row
}

// The codec module's blocks and frames are the row's.
static_assert(codecFacts(Codec::G723).unitPcmBytes() == QUEN_G723_BLOCK_BYTES);
static_assert(codecFacts(Codec::G723).unitCodedBytes() == QUEN_G723_FRAME_BYTES);

// The codec of a codec code: only the G.723.1 and mu-law codes select those; every
// other value is A-law.
constexpr Codec codecOfCpType(std::int32_t cpType) {
    for (const Codec codec : ALL_CODECS) {
        if (codecFacts(codec).cpType == cpType) {
            return codec;
        }
    }
    return Codec::ALaw;
}

// A new message's format code is its codec's code with these bits added.
inline constexpr std::uint8_t NEW_MESSAGE_BITS = 0x60;

constexpr std::int32_t messageFormatCode(Codec codec, bool newMessage) {
    return codecFacts(codec).cpType + (newMessage ? NEW_MESSAGE_BITS : 0);
}

// The codec whose row lists the message format code (the whole integer must match);
// nothing for an unlisted code.
constexpr std::optional<Codec> codecListing(std::int32_t formatCode) {
    for (const Codec codec : ALL_CODECS) {
        for (const std::uint8_t listed : codecFacts(codec).formatCodes) {
            if (listed == formatCode) {
                return codec;
            }
        }
    }
    return std::nullopt;
}

constexpr bool isListedFormatCode(std::int32_t formatCode) {
    return codecListing(formatCode).has_value();
}

// The codec of a message format code (whose low byte is its file's flash type): the
// row that lists it, and mu-law for anything unlisted.
constexpr Codec codecOfFormatCode(std::int32_t formatCode) {
    return codecListing(formatCode).value_or(Codec::MuLaw);
}

// The codecs a greeting is made in; their codes are also greeting flash types.
inline constexpr std::array GREETING_CODECS{Codec::ALaw, Codec::G723};

constexpr bool isGreetingCode(std::int32_t code) {
    for (const Codec codec : GREETING_CODECS) {
        if (codecFacts(codec).cpType == code) {
            return true;
        }
    }
    return false;
}

// PCM bytes that keep every codec's units whole, and so 16-bit samples whole too.
constexpr std::size_t wholeUnitsBytes() {
    std::size_t bytes = SPEECH_SAMPLE_BYTES;
    for (const Codec codec : ALL_CODECS) {
        bytes = std::lcm(bytes, codecFacts(codec).unitPcmBytes());
    }
    return bytes;
}

}  // namespace quen
