// QuenGreeting: converts speech recordings into voicemail data files. Arguments in,
// one job run, exit code out.
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "jobs/Converter.h"
#include "platform/ErrorLog.h"
#include "platform/ProcessSetup.h"
#include "platform/TextConversion.h"

int main(int argc, char** argv) {
    quen::prepareProcess();
    std::vector<std::u16string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(quen::toWide(argv[i]));
    }
    quen::ErrorLog log;
    const quen::Converter converter(log);
    return quen::runCommandLine(arguments, converter, log);
}
