// The AA template reader: loads the XML configuration of the auto attendants and
// walks, in document order, every greeting that names a recording.
#pragma once

#include <functional>
#include <string>

#include "platform/Result.h"

namespace quen {

// The root element every AA template has.
inline constexpr const char* AA_TEMPLATE_ROOT = "zandorConfiguration";

// One greeting as the template gives it; the texts live until the visit returns.
struct TemplateGreeting {
    const std::u16string& attendantName;  // the attendant's first AAName
    const std::u16string& id;             // the greeting's id attribute
    const std::u16string& recordingName;  // the greeting's first RecordingName, not empty
};

// Called for each greeting with a recording; false ends the walk.
using GreetingVisitor = std::function<bool(const TemplateGreeting&)>;
// Called for each greeting whose RecordingName is empty, which the walk skips; its
// recordingName is the empty text.
using SkippedGreetingVisitor = std::function<void(const TemplateGreeting&)>;

// Why a walk ended before the end of the template.
struct TemplateFailure {
    enum class Kind {
        Unreadable,   // the document could not be read or parsed; nothing was visited
        MissingNode,  // an AAName, id or RecordingName is missing; the greetings before
                      // it were visited
    };
    Kind kind = Kind::MissingNode;
    // Unreadable: why, as XmlDocument::load gave it.
    Failure load;
};

// Loads the template and visits the greetings of
// /zandorConfiguration/AutoAttendants/AutoAttendant/Greetings/Greeting in document
// order: true when the walk reached the end, false when a visit ended it.
Result<bool, TemplateFailure> walkAaTemplate(const std::u16string& templatePath,
                                             const GreetingVisitor& visit,
                                             const SkippedGreetingVisitor& skipped = {});

}  // namespace quen
