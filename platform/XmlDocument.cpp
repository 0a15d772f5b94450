// XmlDocument on pugixml: the file is read whole, parsed from memory (so a failure
// can be placed by line and column in the bytes read) and walked through XmlNode.
#include "platform/XmlDocument.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <cerrno>
#include <new>

#include "platform/FileHandle.h"
#include "platform/TextConversion.h"

namespace quen {
namespace {

// Character data is kept as the document has it, white-space-only runs included, so
// that a text made of several pieces keeps the blanks between them. The document type
// declaration is skipped unread: its entities are never defined, let alone fetched.
constexpr unsigned PARSE_OPTIONS = pugi::parse_default | pugi::parse_ws_pcdata;

constexpr std::string_view XML_WHITE_SPACE = " \t\r\n";

// Far above any real template; a file beyond it is refused unread.
constexpr std::uint64_t MAX_TEMPLATE_BYTES = 256 * 1024 * 1024;

// The whole file, or the reason it cannot be had. Only a regular file of at most
// MAX_TEMPLATE_BYTES is read: a device or a pipe could be read forever.
Result<std::vector<char>> readFile(const std::string& path) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) {
        return systemFailure(errno, path, "the file cannot be opened: ");
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return systemFailure(errno, path, "the file cannot be read: ");
    }
    if (!S_ISREG(info.st_mode)) {
        return Failure{FailureCategory::AccessDenied, "not a regular file"};
    }
    if (static_cast<std::uint64_t>(info.st_size) > MAX_TEMPLATE_BYTES) {
        return Failure{FailureCategory::Generic, "the file is larger than 256 MiB"};
    }
    std::vector<char> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        return Failure{FailureCategory::Generic, "not enough memory to read the file"};
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return systemFailure(errno, path, "the file cannot be read: ");
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    // A file that shrank meanwhile is parsed as far as it goes; one that grew is read
    // to the size it had.
    bytes.resize(done);
    return bytes;
}

// The document in the UTF-8 form pugixml parses, in which its offsets count.
std::string asParsed(const std::vector<char>& bytes, pugi::xml_encoding encoding) {
    const auto byteAt = [&bytes](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]));
    };
    std::u16string units;
    switch (encoding) {
        case pugi::encoding_utf16_le:
        case pugi::encoding_utf16_be:
            for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
                const bool little = encoding == pugi::encoding_utf16_le;
                units += static_cast<char16_t>(little ? byteAt(i) | byteAt(i + 1) << 8
                                                      : byteAt(i) << 8 | byteAt(i + 1));
            }
            return toNarrow(units);
        case pugi::encoding_utf32_le:
        case pugi::encoding_utf32_be:
            for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
                const bool little = encoding == pugi::encoding_utf32_le;
                const char32_t c = little ? byteAt(i) | byteAt(i + 1) << 8 | byteAt(i + 2) << 16 |
                                                byteAt(i + 3) << 24
                                          : byteAt(i) << 24 | byteAt(i + 1) << 16 |
                                                byteAt(i + 2) << 8 | byteAt(i + 3);
                if (c > 0xFFFF && c <= 0x10FFFF) {
                    units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                    units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
                } else {
                    units += static_cast<char16_t>(c);
                }
            }
            return toNarrow(units);
        case pugi::encoding_latin1:
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                units += static_cast<char16_t>(byteAt(i));
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
    const Result<std::vector<char>> file = readFile(toNarrow(path));
    if (!file) {
        return file.failure();
    }
    const std::vector<char>& bytes = *file;
    const pugi::xml_parse_result result =
        document_->load_buffer(bytes.data(), bytes.size(), PARSE_OPTIONS);
    if (!result) {
        return Failure{FailureCategory::InvalidFile,
                       result.description() + placeOf(asParsed(bytes, result.encoding),
                                                      static_cast<std::size_t>(result.offset))};
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
                                        static_cast<std::size_t>(child.offset_debug()))};
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
