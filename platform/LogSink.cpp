// The in-memory buffer.
#include "platform/LogSink.h"

namespace quen {

void LogBuffer::write(std::u16string_view message) {
    lines_.emplace_back(message.substr(0, message.find(u'\0')));
}

void LogBuffer::replayInto(LogSink& log) {
    for (const std::u16string& line : lines_) {
        log.write(line);
    }
    lines_.clear();
}

}  // namespace quen
