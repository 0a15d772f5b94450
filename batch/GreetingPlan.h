// The naming rules of the batch job for one greeting of the template: which recording
// it reads, the texts its headers get and the two data files it writes, in either
// batch mode.
#pragma once

#include <string>

#include "batch/AaTemplate.h"
#include "batch/GreetingStems.h"
#include "platform/Result.h"

namespace quen {

struct GreetingPlan {
    std::u16string wavFile;
    std::u16string mailboxName;
    std::u16string recordingName;
    std::u16string g723File;  // ".c23", converted first
    std::u16string g711File;  // ".c11"
};

// Mode 2's refusal of a recording whose file name (31 code units or more) would not fit
// the data file's header; it ends the run.
struct RecordingNameTooLong {
    std::u16string recordingName;
};

class GreetingPlanner {
  public:
    // `batchMode` 1 names the files after attendant and greeting kind, anything else
    // after the recording.
    GreetingPlanner(const std::u16string& wavDirectory, const std::u16string& resultDirectory,
                    int batchMode);

    // The plan; in mode 2 a refusal for a recording's file name too long. Unknown ids
    // are remembered with an empty kind, as every lookup of the run shares one table.
    Result<GreetingPlan, RecordingNameTooLong> plan(const TemplateGreeting& greeting);

  private:
    // Built afresh for every run, before the template is read.
    GreetingStems stems_;
    std::u16string wavDirectory_;
    std::u16string resultDirectory_;
    bool namedByKind_;
};

}  // namespace quen
