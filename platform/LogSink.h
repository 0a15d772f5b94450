// Where a job's error-log lines go: the log file itself for a single job, or a buffer
// that a batch worker fills and the batch replays into the log in template order. Only
// the jobs write lines; the layers below them answer with reasons.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quen {

class LogSink {
  public:
    LogSink() = default;
    LogSink(const LogSink&) = default;
    LogSink(LogSink&&) = default;
    LogSink& operator=(const LogSink&) = default;
    LogSink& operator=(LogSink&&) = default;
    virtual ~LogSink() = default;

    // One line: the text up to its first NUL; the line end is the sink's to add.
    virtual void write(std::u16string_view message) = 0;
};

// Lines kept in memory, in the order written.
class LogBuffer : public LogSink {
  public:
    void write(std::u16string_view message) override;

    const std::vector<std::u16string>& lines() const { return lines_; }
    // Writes every line into `log`, one write per line, and forgets them.
    void replayInto(LogSink& log);

  private:
    std::vector<std::u16string> lines_;
};

}  // namespace quen
