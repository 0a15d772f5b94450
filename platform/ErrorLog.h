// The error log: every failure of every job is one line of 8-bit text ending in CR LF,
// written unbuffered so that nothing logged is lost if the process ends abruptly. The
// program makes one; the command line opens and closes it, and the jobs are handed it
// as a LogSink.
#pragma once

#include <string>
#include <string_view>

#include "platform/FileHandle.h"
#include "platform/LogSink.h"

namespace quen {

class ErrorLog : public LogSink {
  public:
    ErrorLog() = default;
    ~ErrorLog() override = default;
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    // Creates or empties the file and keeps it locked. True when the log is open
    // afterwards; a log that is already open stays as it is and `path` is ignored.
    bool open(const std::u16string& path);

    // One line: the text up to its first NUL, then CR LF, in one write. Nothing
    // happens while the log is closed.
    void write(std::u16string_view message) override;

    // Whether a line could not be written whole since the log was opened (a full file
    // system, a file-size limit): the log is incomplete, which the caller must learn.
    bool incomplete() const { return incomplete_; }

    void close();

  private:
    FileHandle file_;
    bool incomplete_ = false;
};

}  // namespace quen
