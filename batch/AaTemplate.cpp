// The AA template walk: every attendant's name is read, then every greeting's id and
// recording, in document order across all AutoAttendants and Greetings groups.
#include "batch/AaTemplate.h"

#include "batch/TemplateError.h"
#include "platform/TextConversion.h"
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

// The text of a required child element; its absence ends the run.
std::u16string requiredText(const XmlNode& parent, std::string_view name) {
    const XmlNode child = parent.firstChildElement(name);
    if (!child.exists()) {
        throw TemplateError();
    }
    return child.text();
}

// The reason the log gives for a template that could not be read.
std::string loadFailureText(const Failure& failure) {
    switch (failure.reason) {
        case FailureReason::CannotOpen:
            return "the file cannot be opened: " + failure.text;
        case FailureReason::CannotRead:
            return "the file cannot be read: " + failure.text;
        case FailureReason::NotRegular:
            return "not a regular file";
        case FailureReason::TooLarge:
            return "the file is larger than " + std::to_string(XmlDocument::MAX_FILE_BYTES >> 20) +
                   " MiB";
        case FailureReason::OutOfMemory:
            return "not enough memory to read the file";
        default:
            return failure.text;
    }
}

}  // namespace

bool walkAaTemplate(const std::u16string& templatePath, const GreetingVisitor& visit, LogSink& log,
                    const SkippedGreetingVisitor& skipped) {
    XmlDocument document;
    if (const Result<void> loaded = document.load(templatePath); !loaded) {
        log.write(u"Failed to read the file \"" + templatePath + u"\" \ndue to \"" +
                  toWide(loadFailureText(loaded.failure())) + u"\"");
        return false;
    }
    const std::vector<XmlNode> attendants =
        select(document.documentNode(), {"zandorConfiguration", "AutoAttendants", "AutoAttendant"});
    for (const XmlNode& attendant : attendants) {
        const std::u16string attendantName = requiredText(attendant, "AAName");
        for (const XmlNode& greeting : select(attendant, {"Greetings", "Greeting"})) {
            const std::optional<std::u16string> id = greeting.attribute("id");
            if (!id) {
                throw TemplateError();
            }
            const std::u16string recordingName = requiredText(greeting, "RecordingName");
            if (recordingName.empty()) {
                if (skipped) {
                    skipped(TemplateGreeting{attendantName, *id, recordingName});
                }
                continue;
            }
            if (!visit(TemplateGreeting{attendantName, *id, recordingName})) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace quen
