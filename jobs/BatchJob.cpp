// The auto-attendant batch: every recorded greeting of a template into two data
// files. Workers convert greetings ahead, each into its own log buffer; one
// coordinator walks the template and commits every conversion strictly in template
// order (its log lines, its data file, its checks), so that a caller sees exactly what
// a sequential run produces.
#include <algorithm>
#include <deque>
#include <exception>
#include <future>
#include <memory>

#include "batch/AaTemplate.h"
#include "batch/GreetingPlan.h"
#include "jobs/BatchRunEnd.h"
#include "jobs/Converter.h"
#include "jobs/GreetingJob.h"
#include "jobs/LogLines.h"
#include "platform/FileIdentity.h"
#include "platform/ProcessSetup.h"
#include "platform/TextConversion.h"
#include "platform/WorkerPool.h"

namespace quen {
namespace {

// How many conversions may wait for their turn per worker: two greetings each. Each
// waits in its temporary file, so memory stays bounded whatever the template's size;
// the cap keeps the named ones within what a termination signal can remove.
constexpr std::size_t CONVERSIONS_AHEAD_PER_WORKER = 4;
constexpr std::size_t MAX_CONVERSIONS_AHEAD = MAX_TEMPORARY_FILES / 2;

// What a worker made of one conversion.
struct Outcome {
    LogBuffer log;
    std::optional<PreparedGreeting> greeting;
    std::exception_ptr error;  // anything thrown, rethrown at the conversion's turn
};

// One conversion between the walk and its turn.
struct Conversion {
    std::size_t sequence = 0;
    GreetingRequest request;
    std::string outIdentity;
    // The first conversion of a greeting begins its turn with the greeting's checks:
    // the refusal that ends the run (a name too long), or the recording's existence.
    std::optional<RecordingNameTooLong> refusal;
    bool checksRecording = false;
    std::future<Outcome> outcome;
};

class BatchRun {
  public:
    BatchRun(const std::u16string& wavDirectory, const std::u16string& resultDirectory,
             int batchMode, LogSink& log)
        : planner_(wavDirectory, resultDirectory, batchMode),
          pool_(usableCpuCount()),
          window_(pool_.size() == 1 ? 1
                                    : std::min(CONVERSIONS_AHEAD_PER_WORKER * pool_.size(),
                                               MAX_CONVERSIONS_AHEAD)),
          log_(log) {}

    bool run(const std::u16string& templatePath) {
        const auto walked = walkAaTemplate(
            templatePath, [this](const TemplateGreeting& greeting) { return add(greeting); });
        // A template that ends the run is reported when every greeting before the
        // faulty node had its turn.
        if (!walked) {
            if (commitUpTo(sequence_)) {
                log_.write(loglines::templateFailed(templatePath, walked.failure()));
            }
            return false;
        }
        return commitUpTo(sequence_) && *walked;
    }

  private:
    // Queues both conversions of a greeting; false when a turn taken meanwhile ended
    // the run.
    bool add(const TemplateGreeting& greeting) {
        auto plan = planner_.plan(greeting);
        if (!plan) {
            // The run ends at this greeting's turn: nothing after it is worth starting.
            Conversion conversion;
            conversion.sequence = ++sequence_;
            conversion.refusal = plan.failure();
            pending_.push_back(std::move(conversion));
            return commitUpTo(sequence_);
        }
        const GreetingPlan& names = *plan;
        return queue(
                   {names.wavFile, names.mailboxName, names.recordingName, u"g723", names.g723File},
                   true) &&
               queue(
                   {names.wavFile, names.mailboxName, names.recordingName, u"g711", names.g711File},
                   false);
    }

    bool queue(GreetingRequest request, bool firstOfGreeting) {
        // A recording that an earlier conversion of this run writes is read only after
        // that write.
        const std::string wavIdentity = fileIdentity(toNarrow(request.wavFile));
        std::size_t writer = 0;
        for (const Conversion& conversion : pending_) {
            if (conversion.outIdentity == wavIdentity) {
                writer = conversion.sequence;
            }
        }
        if (!commitUpTo(writer)) {
            return false;
        }
        while (pending_.size() >= window_) {
            if (!commitUpTo(pending_.front().sequence)) {
                return false;
            }
        }
        Conversion conversion;
        conversion.sequence = ++sequence_;
        conversion.outIdentity = fileIdentity(toNarrow(request.outFile));
        conversion.checksRecording = firstOfGreeting;
        conversion.request = std::move(request);
        auto task = std::make_shared<std::packaged_task<Outcome()>>([request = conversion.request] {
            Outcome outcome;
            try {
                outcome.greeting = prepareGreeting(request, outcome.log);
            } catch (...) {
                outcome.error = std::current_exception();
            }
            return outcome;
        });
        conversion.outcome = task->get_future();
        pending_.push_back(std::move(conversion));
        pool_.submit([task] { (*task)(); });
        return true;
    }

    // Takes the turns of all pending conversions up to `sequence`, in order; false
    // when one of them ended the run (then nothing more is ever committed).
    bool commitUpTo(std::size_t sequence) {
        while (!ended_ && !pending_.empty() && pending_.front().sequence <= sequence) {
            Conversion conversion = std::move(pending_.front());
            pending_.pop_front();
            ended_ = !commit(conversion);
        }
        return !ended_;
    }

    bool commit(Conversion& conversion) {
        if (conversion.refusal) {
            log_.write(loglines::recordingNameTooLong(*conversion.refusal));
            return false;
        }
        const GreetingRequest& request = conversion.request;
        if (const auto endLine =
                conversion.checksRecording ? missingRecordingEnd(request.wavFile) : std::nullopt) {
            log_.write(*endLine);
            return false;
        }
        Outcome outcome = conversion.outcome.get();
        if (outcome.error) {
            std::rethrow_exception(outcome.error);
        }
        outcome.log.replayInto(log_);
        // A failed conversion is reported and the run goes on.
        if (!outcome.greeting || !writeGreeting(*outcome.greeting, log_)) {
            log_.write(loglines::conversionFailed(request.wavFile, request.outFile));
        }
        return true;
    }

    GreetingPlanner planner_;
    std::deque<Conversion> pending_;
    std::size_t sequence_ = 0;
    bool ended_ = false;
    // Declared after the pending conversions, so on an early end the workers stop
    // before the results they would deliver are dropped.
    WorkerPool pool_;
    std::size_t window_;
    LogSink& log_;
};

}  // namespace

bool Converter::convertBatch(const std::u16string& templatePath, const std::u16string& wavDirectory,
                             const std::u16string& resultDirectory, int batchMode) const {
    BatchRun run(wavDirectory, resultDirectory, batchMode, log());
    return run.run(templatePath);
}

}  // namespace quen
