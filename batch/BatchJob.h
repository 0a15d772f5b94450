// The batch run behind Converter::convertBatch. The greeting conversion it calls
// twice per greeting is passed in, so the walk and the naming rules can also run
// without encoders (tests, benchmarks).
#pragma once

#include <functional>
#include <string>

namespace quen {

// Converter::convertGreeting's arguments and result.
using GreetingConversion =
    std::function<bool(const std::u16string& wavFile, const std::u16string& mailboxName,
                       const std::u16string& recordingName, const std::u16string& format,
                       const std::u16string& outFile)>;

// Every greeting with a recording becomes a ".c23" ("g723") and a ".c11" ("g711")
// data file in the result directory. True when the whole template was walked; false
// when it could not be read, a required node is missing, a recording is missing, or
// (mode 2) a recording's file name is too long, each reported in the error log.
bool runBatch(const std::u16string& templatePath, const std::u16string& wavDirectory,
              const std::u16string& resultDirectory, int batchMode,
              const GreetingConversion& convert);

}  // namespace quen
