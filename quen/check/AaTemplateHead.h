// Whether a file handed to `check` as a recording is an AA template, told from its first
// bytes, so that the refusal can say how a template is checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quen::tool {

// How much of a file is looked at: a template's root element comes after at most an
// XML declaration, a comment or two and a document type.
inline constexpr std::size_t AA_TEMPLATE_HEAD_BYTES = 4096;

// True when `head`, the start of a file, is XML whose root element is the template's:
// after an optional UTF-8 byte-order mark, white space, declarations, comments and a
// document type, the first element opens with that name.
bool startsLikeAaTemplate(std::span<const std::uint8_t> head);

}  // namespace quen::tool
