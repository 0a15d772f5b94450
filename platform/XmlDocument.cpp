// XmlDocument on pugixml: the file is read whole, parsed from memory (so a failure
// can be placed by line and column in the bytes read) and walked through XmlNode.
#include "platform/XmlDocument.h"

#include <pugixml.hpp>

#include <span>

#include "platform/ByteOrder.h"
#include "platform/RegularFileReader.h"
#include "platform/TextConversion.h"

namespace quen {
namespace {

// Character data is kept as the document has it, white-space-only runs included, so
// that a text made of several pieces keeps the blanks between them. The document type
// declaration is skipped unread: its entities are never defined, let alone fetched.
constexpr unsigned PARSE_OPTIONS = pugi::parse_default | pugi::parse_ws_pcdata;

constexpr std::string_view XML_WHITE_SPACE = " \t\r\n";

// The document in the UTF-8 form pugixml parses, in which its offsets count.
std::string asParsed(std::span<const std::uint8_t> bytes, pugi::xml_encoding encoding) {
    const bool little = encoding == pugi::encoding_utf16_le || encoding == pugi::encoding_utf32_le;
    std::u16string units;
    switch (encoding) {
        case pugi::encoding_utf16_le:
        case pugi::encoding_utf16_be:
            for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
                const auto unit = bytes.subspan(i, 2);
                units +=
                    static_cast<char16_t>(little ? getLittleEndian16(unit) : getBigEndian16(unit));
            }
            return toNarrow(units);
        case pugi::encoding_utf32_le:
        case pugi::encoding_utf32_be: {
            // Each unit as pugixml writes it, a value past U+10FFFF too (four bytes, one
            // lead byte), so that its offsets fall alike.
            std::string text;
            for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
                const auto unit = bytes.subspan(i, 4);
                appendUtf8(text, little ? getLittleEndian32(unit) : getBigEndian32(unit));
            }
            return text;
        }
        case pugi::encoding_latin1:
            for (const std::uint8_t byte : bytes) {
                units += static_cast<char16_t>(byte);
            }
            return toNarrow(units);
        default:
            return std::string(bytes.begin(), bytes.end());
    }
}

// " at line L, column C" for a UTF-8 offset: lines end at LF, CR LF or a lone CR;
// columns count characters from 1; a byte-order mark takes no column.
std::string placeOf(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    std::size_t column = 1;
    std::size_t i = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (; i < offset && i < text.size(); ++i) {
        const char c = text[i];
        const bool lineEnd =
            c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
        if (lineEnd) {
            ++line;
            column = 1;
        } else if (c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return " at line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Collects the character data below a node in document order.
class CharacterData : public pugi::xml_tree_walker {
  public:
    bool for_each(pugi::xml_node& node) override {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            text += node.value();
        }
        return true;
    }

    std::string text;
};

pugi::xml_node nodeOf(pugi::xml_node_struct* node) {
    return pugi::xml_node(node);
}

bool isElementNamed(const pugi::xml_node& node, std::string_view name) {
    return node.type() == pugi::node_element && node.name() == name;
}

}  // namespace

std::vector<XmlNode> XmlNode::childElements(std::string_view name) const {
    std::vector<XmlNode> found;
    for (const pugi::xml_node& child : nodeOf(node_).children()) {
        if (isElementNamed(child, name)) {
            found.push_back(XmlNode(child.internal_object()));
        }
    }
    return found;
}

XmlNode XmlNode::firstChildElement(std::string_view name) const {
    for (const pugi::xml_node& child : nodeOf(node_).children()) {
        if (isElementNamed(child, name)) {
            return XmlNode(child.internal_object());
        }
    }
    return XmlNode();
}

std::optional<std::u16string> XmlNode::attribute(std::string_view name) const {
    for (const pugi::xml_attribute& attribute : nodeOf(node_).attributes()) {
        if (attribute.name() == name) {
            return toWide(attribute.value());
        }
    }
    return std::nullopt;
}

std::u16string XmlNode::text() const {
    CharacterData data;
    nodeOf(node_).traverse(data);
    const std::string_view text = data.text;
    const std::size_t first = text.find_first_not_of(XML_WHITE_SPACE);
    if (first == std::string_view::npos) {
        return std::u16string();
    }
    const std::size_t last = text.find_last_not_of(XML_WHITE_SPACE);
    return toWide(text.substr(first, last - first + 1));
}

XmlDocument::XmlDocument() : document_(std::make_unique<pugi::xml_document>()) {}

XmlDocument::~XmlDocument() = default;

Result<void> XmlDocument::load(const std::u16string& path) {
    const Result<std::vector<std::uint8_t>> file = readRegularFile(toNarrow(path), MAX_FILE_BYTES);
    if (!file) {
        return file.failure();
    }
    const std::vector<std::uint8_t>& bytes = *file;
    const pugi::xml_parse_result result =
        document_->load_buffer(bytes.data(), bytes.size(), PARSE_OPTIONS);
    if (!result) {
        return Failure{FailureCategory::InvalidFile,
                       result.description() + placeOf(asParsed(bytes, result.encoding),
                                                      static_cast<std::size_t>(result.offset)),
                       FailureReason::Malformed};
    }
    // pugixml accepts a second top-level element; a well-formed document has one.
    bool rootSeen = false;
    for (const pugi::xml_node& child : document_->children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        if (rootSeen) {
            Failure failure{FailureCategory::InvalidFile,
                            "More than one root element" +
                                placeOf(asParsed(bytes, result.encoding),
                                        static_cast<std::size_t>(child.offset_debug())),
                            FailureReason::Malformed};
            document_->reset();
            return failure;
        }
        rootSeen = true;
    }
    return {};
}

XmlNode XmlDocument::documentNode() const {
    return XmlNode(document_->internal_object());
}

}  // namespace quen
