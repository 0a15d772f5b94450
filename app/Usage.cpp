// The five usage texts, each its own console write.
#include "app/Usage.h"

#include "platform/Console.h"

namespace quen {

void printUsage() {
    writeConsole("Invalid switch. Command line must be as follows:\n\n");
    writeConsole(
        "QuenGreeting /convert:filename.wav  mailboxName  recordingName  format  filename.cxx  "
        "errors.txt\n\n");
    writeConsole(
        "QuenGreeting /convertMsg:filename.wav  mailboxName  callingParty  displayString  format  "
        "newMsg(Y/N)  Internal(Y/N)  recordTimeInLong  listenTimeInLong  filename.cxx  "
        "errors.txt\n\n");
    writeConsole(
        "QuenGreeting /batch1:AA-template.xml wav-file-directory result-directory errors.txt\n\n");
    writeConsole(
        "QuenGreeting /batch2:AA-template.xml wav-file-directory result-directory errors.txt\n");
}

}  // namespace quen
