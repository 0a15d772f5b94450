// The AA template reader: loads the XML configuration of the auto attendants and
// walks, in document order, every greeting that names a recording.
#pragma once

#include <functional>
#include <string>

#include "platform/LogSink.h"

namespace quen {

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

// Loads the template and visits the greetings of
// /zandorConfiguration/AutoAttendants/AutoAttendant/Greetings/Greeting in document
// order. True when the walk reached the end. False when the template cannot be read
// (reported in `log`) or a visit ended the walk. A missing AAName, id or RecordingName
// throws TemplateError without description.
bool walkAaTemplate(const std::u16string& templatePath, const GreetingVisitor& visit, LogSink& log,
                    const SkippedGreetingVisitor& skipped = {});

}  // namespace quen
