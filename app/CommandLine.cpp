// Dispatch by argument count and switch, and the operand handling of the three jobs.
#include "app/CommandLine.h"

#include <new>
#include <optional>
#include <string_view>

#include "app/MessageOperands.h"
#include "app/Usage.h"
#include "jobs/BatchOperands.h"
#include "jobs/Converter.h"
#include "jobs/LogLines.h"
#include "platform/Console.h"
#include "platform/ErrorLog.h"
#include "platform/TextConversion.h"

namespace quen {
namespace {

constexpr std::size_t BATCH_ARGUMENTS = 5;
constexpr std::size_t GREETING_ARGUMENTS = 7;
constexpr std::size_t MESSAGE_ARGUMENTS = 12;

using Arguments = std::vector<std::u16string>;

// Operand 1 without as many leading characters as the switch is long; the switch may
// stand anywhere in it.
std::optional<std::u16string> operandAfterSwitch(const std::u16string& operand,
                                                 std::u16string_view switchText) {
    if (operand.find(switchText) == std::u16string::npos) {
        return std::nullopt;
    }
    return operand.substr(switchText.size());
}

// Usage text for an empty log operand, a console line for a log that cannot be
// opened; true when the log is open.
bool openErrorLog(const std::u16string& logPath, ErrorLog& log) {
    if (logPath.empty()) {
        printUsage();
        return false;
    }
    if (!log.open(logPath)) {
        writeConsole("Failed to open the errorlog file <" + toNarrow(logPath) + ">\n");
        return false;
    }
    return true;
}

int exitCodeOf(bool succeeded) {
    return succeeded ? 0 : EXIT_FAILED;
}

int runGreeting(const Converter& converter, const Arguments& args, ErrorLog& log) {
    const auto wavFile = operandAfterSwitch(args[1], u"/convert:");
    if (!wavFile) {
        printUsage();
        return EXIT_FAILED;
    }
    if (!openErrorLog(args[6], log)) {
        return EXIT_FAILED;
    }
    return exitCodeOf(converter.convertGreeting({*wavFile, args[2], args[3], args[4], args[5]}));
}

int runMessage(const Converter& converter, const Arguments& args, ErrorLog& log) {
    const auto wavFile = operandAfterSwitch(args[1], u"/convertMsg:");
    if (!wavFile) {
        printUsage();
        return EXIT_FAILED;
    }
    if (!openErrorLog(args[11], log)) {
        return EXIT_FAILED;
    }
    const MessageRequest request{
        .wavFile = *wavFile,
        .outFile = args[10],
        .formatCode = formatCodeFor(args[5], isYes(args[6])),
        .mailboxName = args[2],
        .callingParty = args[3],
        .displayString = args[4],
        .reserved = {},
        .internalFlag = {0x00, isYes(args[7]) ? std::uint8_t{'Y'} : std::uint8_t{'N'}, 0x00, 0x00},
        .recordTime = parseTime(args[8]),
        .listenTime = parseTime(args[9]),
    };
    return exitCodeOf(converter.convertMessage(request));
}

int runBatch(const Converter& converter, const Arguments& args, ErrorLog& log) {
    const std::u16string& operand = args[1];
    const bool mode1 = operand.find(u"/batch1:") != std::u16string::npos;
    const bool mode2 = operand.find(u"/batch2:") != std::u16string::npos;
    if (!mode1 && !mode2) {
        printUsage();
        return EXIT_FAILED;
    }
    const std::u16string templatePath = operand.substr(std::u16string_view(u"/batch1:").size());
    const std::u16string& wavDirectory = args[2];
    const std::u16string& resultDirectory = args[3];
    if (!openErrorLog(args[4], log)) {
        return EXIT_FAILED;
    }
    if (!batchOperandsExist(templatePath, wavDirectory, resultDirectory, log)) {
        return EXIT_FAILED;
    }
    return exitCodeOf(
        converter.convertBatch(templatePath, wavDirectory, resultDirectory, mode1 ? 1 : 2));
}

int dispatch(const Converter& converter, const Arguments& arguments, ErrorLog& log) {
    switch (arguments.size()) {
        case BATCH_ARGUMENTS:
            return runBatch(converter, arguments, log);
        case GREETING_ARGUMENTS:
            return runGreeting(converter, arguments, log);
        case MESSAGE_ARGUMENTS:
            return runMessage(converter, arguments, log);
        default:
            printUsage();
            return EXIT_FAILED;
    }
}

}  // namespace

int runCommandLine(const std::vector<std::u16string>& arguments, const Converter& converter,
                   ErrorLog& log) {
    int exitCode = EXIT_FAILED;
    try {
        exitCode = dispatch(converter, arguments, log);
    } catch (const std::bad_alloc&) {
        // The job's buffers are gone with the stack; a short line can still be had.
        try {
            log.write(loglines::outOfMemory());
        } catch (const std::bad_alloc&) {
        }
    }
    // A caller that reads the log must learn that lines are missing from it.
    if (log.incomplete()) {
        exitCode = EXIT_FAILED;
    }
    log.close();
    return exitCode;
}

}  // namespace quen
