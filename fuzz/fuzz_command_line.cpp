// Any argument vector must be dispatched and its operands parsed without crashing, and
// a job must only ever be called with values its caller can produce. The jobs are
// recorders; the error-log operand, when not empty, is replaced by a scratch file so
// that no random path is ever created.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "codec/Codec.h"
#include "jobs/Converter.h"
#include "platform/ErrorLog.h"
#include "platform/TextConversion.h"

namespace {

class RecordingConverter : public quen::Converter {
  public:
    using Converter::Converter;

    bool convertGreeting(const quen::GreetingRequest&) const override { return true; }

    bool convertMessage(const quen::MessageRequest& request) const override {
        // The old or the new message code of some codec.
        bool knownCode = false;
        for (const quen::Codec codec : quen::ALL_CODECS) {
            knownCode = knownCode || request.formatCode == quen::messageFormatCode(codec, false) ||
                        request.formatCode == quen::messageFormatCode(codec, true);
        }
        const quen::HeaderWord& internalFlag = request.internalFlag;
        const bool flag = internalFlag[0] == 0 && internalFlag[2] == 0 && internalFlag[3] == 0 &&
                          (internalFlag[1] == 'Y' || internalFlag[1] == 'N');
        if (!knownCode || !flag || request.reserved != quen::HeaderWord{}) {
            std::abort();
        }
        return false;
    }

    bool convertBatch(const std::u16string&, const std::u16string&, const std::u16string&,
                      int batchMode) const override {
        if (batchMode != 1 && batchMode != 2) {
            std::abort();
        }
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The usage text would flood the fuzzer's own output.
    ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are the input's NUL-separated pieces, the program name first.
    std::vector<std::u16string> arguments{u"QuenGreeting"};
    std::string piece;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(quen::toWide(piece));
            piece.clear();
        } else {
            piece += static_cast<char>(data[i]);
        }
    }
    arguments.push_back(quen::toWide(piece));
    const std::size_t logOperand = arguments.size() == 5    ? 4
                                   : arguments.size() == 7  ? 6
                                   : arguments.size() == 12 ? 11
                                                            : 0;
    if (logOperand != 0 && !arguments[logOperand].empty()) {
        arguments[logOperand] = u"/tmp/quen-fuzz-command-line.log";
    }
    quen::ErrorLog log;
    const RecordingConverter converter(log);
    const int exitCode = quen::runCommandLine(arguments, converter, log);
    if (exitCode != 0 && exitCode != 255) {
        std::abort();
    }
    return 0;
}
