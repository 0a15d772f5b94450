// "Can't open file": the one text for the WAV input and the data file alike.
#include "platform/FileFailureMessage.h"

#include <string>

#include "platform/TextConversion.h"

namespace quen {

void logFileFailure(std::u16string_view path, FailureCategory category, LogSink& log) {
    const std::string number = std::to_string(static_cast<std::uint32_t>(category));
    // The line keeps the "\n" of its original format; the log adds CR LF after it.
    log.write(u"Can't open file \"" + std::u16string(path) + u"\", error = " + toWide(number) +
              u"\n");
}

}  // namespace quen
