// The process-wide error log: every failure of every job is one line of 8-bit text
// ending in CR LF, written unbuffered so that nothing logged is lost if the process
// ends abruptly.
#pragma once

#include <string>
#include <string_view>

#include "platform/FileHandle.h"

namespace quen {

class ErrorLog {
  public:
    static ErrorLog& instance();

    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    // Creates or empties the file and keeps it locked. True when the log is open
    // afterwards; a log that is already open stays as it is and `path` is ignored.
    bool open(const std::u16string& path);

    // One line: the text up to its first NUL, then CR LF.
    void write(std::u16string_view message);
    void write(std::string_view message);

    void close();

  private:
    ErrorLog() = default;
    ~ErrorLog() = default;

    FileHandle file_;
};

}  // namespace quen
