// A read-only XML document on pugixml: a whole file is read and parsed into memory,
// then walked element by element. No DTD is processed and no external entity is
// ever loaded; texts come back as UTF-16.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace pugi {
class xml_document;
struct xml_node_struct;
}  // namespace pugi

namespace quen {

// A node of a loaded XmlDocument: the document itself or one of its elements. It
// borrows from the document, which must outlive it. A default node is missing.
class XmlNode {
  public:
    XmlNode() = default;

    bool exists() const { return node_ != nullptr; }

    // Child elements whose name is exactly `name`, in document order.
    std::vector<XmlNode> childElements(std::string_view name) const;

    // The first child element named exactly `name`; missing when there is none.
    XmlNode firstChildElement(std::string_view name) const;

    // The value of the attribute named exactly `name`, as the parser normalised it.
    std::optional<std::u16string> attribute(std::string_view name) const;

    // All character data below the node (text and CDATA, in document order) without
    // the XML white space (space, tab, CR, LF) at its two ends.
    std::u16string text() const;

  private:
    friend class XmlDocument;
    explicit XmlNode(pugi::xml_node_struct* node) : node_(node) {}

    pugi::xml_node_struct* node_ = nullptr;
};

class XmlDocument {
  public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Far above any real template; a file beyond it is refused unread.
    static constexpr std::uint64_t MAX_FILE_BYTES = 256 * 1024 * 1024;

    // Reads and parses the whole file: the reader's failure (readRegularFile), or
    // Malformed with the parser's words and the line and column where it stopped.
    Result<void> load(const std::u16string& path);

    // The document node, parent of the root element.
    XmlNode documentNode() const;

  private:
    std::unique_ptr<pugi::xml_document> document_;
};

}  // namespace quen
