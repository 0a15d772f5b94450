// The 8-bit overload shared by every sink, and the in-memory buffer.
#include "platform/LogSink.h"

#include "platform/TextConversion.h"

namespace quen {

void LogSink::write(std::string_view message) {
    write(std::u16string_view(toWide(message)));
}

void LogBuffer::write(std::u16string_view message) {
    lines_.emplace_back(message.substr(0, message.find(u'\0')));
}

void LogBuffer::replayInto(LogSink& log) {
    for (const std::u16string& line : lines_) {
        log.write(std::u16string_view(line));
    }
    lines_.clear();
}

}  // namespace quen
