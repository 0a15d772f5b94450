// Every fixed text of the error log, and the order in which a failure's lines follow
// each other. The layers below the jobs answer with reasons; the jobs turn them into
// lines here and nowhere else, so a text is spelled once and a reason cannot be
// reported in two words. Each function gives the lines of one report, in log order.
#pragma once

#include <string>
#include <vector>

#include "batch/AaTemplate.h"
#include "batch/GreetingPlan.h"
#include "codec/CodecFailure.h"
#include "platform/Result.h"
#include "wav/RecordingFailure.h"

namespace quen::loglines {

using Line = std::u16string;

// Written before a conversion can fail: "Creating data file - "outFile"".
Line creatingDataFile(const std::u16string& outFile);

// A recording that gives no samples. Unreadable: "Can't open file" naming it. Refused
// by the RIFF header checks: their one line. Refused by the format checks or the walk
// to the data chunk (the compression's own checks): their line, then the job's
// "Compression of ... failed on bad format." line.
std::vector<Line> recordingFailed(const std::u16string& wavFile, const RecordingFailure& failure);

// A codec that failed: one line for each of its failures, in the order they happened,
// then the job's "Compression of ... failed on bad format." line.
std::vector<Line> codecFailed(const std::u16string& wavFile, const CodecFailures& failures);

// A data file that could not be put in place: "Can't open file" naming it.
Line dataFileFailed(const std::u16string& outFile, const Failure& failure);

// A template the batch could not read ("Failed to read the file ... due to ..."), or
// one whose walk ended at a missing AAName, id or RecordingName (an empty line).
Line templateFailed(const std::u16string& templatePath, const TemplateFailure& failure);

// Mode 2's recording file name of 31 units or more, which ends the run.
Line recordingNameTooLong(const RecordingNameTooLong& refusal);

// A recording the template names that does not exist, which ends the run.
Line recordingMissing(const std::u16string& wavFile);

// One failed conversion of a batch; the run goes on.
Line conversionFailed(const std::u16string& wavFile, const std::u16string& outFile);

// The batch command line's three checks before the job runs.
Line templateFileMissing();
Line wavDirectoryMissing(const std::u16string& wavDirectory);
Line resultDirectoryMissing();

// What is left to say when memory ran out in the middle of a job.
Line outOfMemory();

}  // namespace quen::loglines
