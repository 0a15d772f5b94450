// Error log lines: text as UTF-8, CR LF appended, one write per line.
#include "platform/ErrorLog.h"

#include "platform/LogFile.h"
#include "platform/TextConversion.h"

namespace quen {

ErrorLog& ErrorLog::instance() {
    static ErrorLog log;
    return log;
}

bool ErrorLog::open(const std::u16string& path) {
    if (file_.valid()) {
        return true;
    }
    file_ = openLogFile(toNarrow(path));
    return file_.valid();
}

void ErrorLog::write(std::u16string_view message) {
    if (!file_.valid()) {
        return;
    }
    std::string line = toNarrow(message.substr(0, message.find(u'\0')));
    line += "\r\n";
    // A log that cannot be written has no one left to report to; the job goes on.
    static_cast<void>(writeAll(file_.get(), line));
}

void ErrorLog::close() {
    file_.close();
}

}  // namespace quen
