// The AA template walk: every attendant's name is read, then every greeting's id and
// recording, in document order across all AutoAttendants and Greetings groups.
#include "batch/AaTemplate.h"

#include <optional>

#include "platform/XmlDocument.h"

namespace quen {
namespace {

// The elements reached from `context` by child steps with these names, in document
// order: the location path "a/b" is {"a", "b"}.
std::vector<XmlNode> select(const XmlNode& context, std::initializer_list<std::string_view> steps) {
    std::vector<XmlNode> nodes{context};
    for (const std::string_view step : steps) {
        std::vector<XmlNode> next;
        for (const XmlNode& node : nodes) {
            for (const XmlNode& child : node.childElements(step)) {
                next.push_back(child);
            }
        }
        nodes = std::move(next);
    }
    return nodes;
}

// The text of a required child element; nothing when the element is missing.
std::optional<std::u16string> requiredText(const XmlNode& parent, std::string_view name) {
    const XmlNode child = parent.firstChildElement(name);
    if (!child.exists()) {
        return std::nullopt;
    }
    return child.text();
}

}  // namespace

Result<bool, TemplateFailure> walkAaTemplate(const std::u16string& templatePath,
                                             const GreetingVisitor& visit,
                                             const SkippedGreetingVisitor& skipped) {
    XmlDocument document;
    if (Result<void> loaded = document.load(templatePath); !loaded) {
        return TemplateFailure{TemplateFailure::Kind::Unreadable, loaded.failure()};
    }
    const TemplateFailure missing{TemplateFailure::Kind::MissingNode, {}};
    const std::vector<XmlNode> attendants =
        select(document.documentNode(), {AA_TEMPLATE_ROOT, "AutoAttendants", "AutoAttendant"});
    for (const XmlNode& attendant : attendants) {
        const std::optional<std::u16string> attendantName = requiredText(attendant, "AAName");
        if (!attendantName) {
            return missing;
        }
        for (const XmlNode& greeting : select(attendant, {"Greetings", "Greeting"})) {
            // The id is read before the recording, and before its emptiness is known.
            const std::optional<std::u16string> id = greeting.attribute("id");
            if (!id) {
                return missing;
            }
            const std::optional<std::u16string> recordingName =
                requiredText(greeting, "RecordingName");
            if (!recordingName) {
                return missing;
            }
            const TemplateGreeting found{*attendantName, *id, *recordingName};
            if (recordingName->empty()) {
                if (skipped) {
                    skipped(found);
                }
                continue;
            }
            if (!visit(found)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace quen
