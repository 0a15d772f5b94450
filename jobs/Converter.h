// The three conversion jobs. The object holds nothing but the log its jobs report to;
// each job writes its own failures there and answers true only when it finished its
// work. The jobs are virtual so that the command line can be driven without them.
#pragma once

#include <string>

#include "jobs/JobRequests.h"
#include "platform/LogSink.h"

namespace quen {

class Converter {
  public:
    explicit Converter(LogSink& log) : log_(log) {}
    virtual ~Converter() = default;
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    virtual bool convertGreeting(const GreetingRequest& request) const;
    virtual bool convertMessage(const MessageRequest& request) const;

    // Every recorded greeting of an AA template into a ".c23" and a ".c11" file;
    // `batchMode` 1 names files after attendant and greeting kind, anything else
    // after the recording. The greetings are converted on every CPU the process may
    // use, with results, log lines and data files in template order.
    virtual bool convertBatch(const std::u16string& templatePath,
                              const std::u16string& wavDirectory,
                              const std::u16string& resultDirectory, int batchMode) const;

  protected:
    LogSink& log() const { return log_; }

  private:
    LogSink& log_;
};

}  // namespace quen
