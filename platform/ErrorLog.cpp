// Error log lines: text as UTF-8, CR LF appended, one write per line.
#include "platform/ErrorLog.h"

#include "platform/LogFile.h"
#include "platform/TextConversion.h"

namespace quen {

bool ErrorLog::open(const std::u16string& path) {
    if (file_.valid()) {
        return true;
    }
    file_ = openLogFile(toNarrow(path));
    incomplete_ = false;
    return file_.valid();
}

void ErrorLog::write(std::u16string_view message) {
    if (!file_.valid()) {
        return;
    }
    std::string line = toNarrow(message.substr(0, message.find(u'\0')));
    line += "\r\n";
    // The job goes on; the exit code tells the caller that lines are missing.
    if (!writeAll(file_.get(), line)) {
        incomplete_ = true;
    }
}

void ErrorLog::close() {
    file_.close();
}

}  // namespace quen
