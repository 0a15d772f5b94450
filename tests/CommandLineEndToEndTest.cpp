// The command line as a caller meets it: which argument lists give the usage text,
// what a log that cannot be opened prints, and the batch job's pre-check lines.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/TestSupport.h"

namespace quen::test {
namespace {

const std::string USAGE =
    "Invalid switch. Command line must be as follows:\n\n"
    "QuenGreeting /convert:filename.wav  mailboxName  recordingName  format  filename.cxx  "
    "errors.txt\n\n"
    "QuenGreeting /convertMsg:filename.wav  mailboxName  callingParty  displayString  format  "
    "newMsg(Y/N)  Internal(Y/N)  recordTimeInLong  listenTimeInLong  filename.cxx  "
    "errors.txt\n\n"
    "QuenGreeting /batch1:AA-template.xml wav-file-directory result-directory errors.txt\n\n"
    "QuenGreeting /batch2:AA-template.xml wav-file-directory result-directory errors.txt\n";

using CommandLineTest = TempDirTest;

TEST_F(CommandLineTest, UnrecognisedCommandLinesPrintUsageAndCreateNoLog) {
    const std::vector<std::vector<std::string>> commandLines = {
        {},
        {"/convert:a.wav"},
        {"/batch1:t.xml", "wav", "out"},
        {"/batch1:t.xml", "wav", "out", "log.txt", "extra"},
        // A message command with one operand too few is not a greeting.
        {"/convertMsg:a.wav", "box", "caller", "text", "g711", "log.txt"},
        {"/CONVERT:a.wav", "box", "rec", "g711", "out.cxx", "log.txt"},
        {"convert:a.wav", "box", "rec", "g711", "out.cxx", "log.txt"},
        {"/batch3:t.xml", "wav", "out", "log.txt"},
        {"/convert:a.wav", "wav", "out", "log.txt"},
        {"/convert:a.wav", "box", "caller", "text", "g711", "Y", "N", "1", "2", "out.cxx",
         "log.txt"},
        // An empty log operand is refused before anything else.
        {"/convert:a.wav", "box", "rec", "g711", "out.cxx", ""},
        {"/convertMsg:a.wav", "box", "caller", "text", "g711", "Y", "N", "1", "2", "out.cxx", ""},
        {"/batch1:t.xml", "wav", "out", ""},
    };
    for (const auto& arguments : commandLines) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.front());
        const ProgramResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 255);
        EXPECT_EQ(result.output, USAGE);
        EXPECT_TRUE(std::filesystem::is_empty(dir()));
    }
}

TEST_F(CommandLineTest, ALogThatCannotBeOpenedIsReportedOnTheConsole) {
    const std::vector<std::vector<std::string>> commandLines = {
        {"/convert:a.wav", "box", "rec", "g711", "out.cxx", "no-dir/log.txt"},
        {"/convertMsg:a.wav", "box", "caller", "text", "g711", "Y", "N", "1", "2", "out.cxx",
         "no-dir/log.txt"},
        // The template and directories are not even looked at.
        {"/batch1:", "", "", "no-dir/log.txt"},
    };
    for (const auto& arguments : commandLines) {
        SCOPED_TRACE(arguments.front());
        const ProgramResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 255);
        EXPECT_EQ(result.output, "Failed to open the errorlog file <no-dir/log.txt>\n");
        EXPECT_TRUE(std::filesystem::is_empty(dir()));
    }
    // The path is printed as given, never used as a format.
    const ProgramResult percent = run({"/batch2:t.xml", "w", "r", "%s%n/\xFF.txt"});
    EXPECT_EQ(percent.output, "Failed to open the errorlog file <%s%n/\xFF.txt>\n");
}

TEST_F(CommandLineTest, BatchPreChecksWriteTheirLogLine) {
    std::filesystem::create_directories(path("wav/sub"));
    std::filesystem::create_directory(path("out"));
    writeText(path("t.xml"), "<zandorConfiguration/>");
    struct Case {
        std::vector<std::string> arguments;
        std::string log;
    };
    const Case cases[] = {
        {{"/batch1:missing.xml", "wav", "out", "log.txt"},
         "Error opening the AA-template.xml file\r\n"},
        {{"/batch2:", "wav", "out", "log.txt"}, "Error opening the AA-template.xml file\r\n"},
        {{"/batch1:t.xml", "nowav", "out", "log.txt"},
         "The wav-file-directory (nowav) doesn't exit\r\n"},
        {{"/batch1:t.xml", "", "out", "log.txt"}, "The wav-file-directory () doesn't exit\r\n"},
        {{"/batch1:t.xml", "t.xml", "out", "log.txt"},
         "The wav-file-directory (t.xml) doesn't exit\r\n"},
        {{"/batch2:t.xml", "wav", "noout", "log.txt"}, "The results-directory doesn't exit\r\n"},
        {{"/batch2:t.xml", "wav", "", "log.txt"}, "The results-directory doesn't exit\r\n"},
        // Backslashes are separators: wav\sub is the directory wav/sub, and it is
        // shown as given.
        {{"/batch2:t.xml", "wav\\sub\\", "noout", "log.txt"},
         "The results-directory doesn't exit\r\n"},
        {{"/batch2:t.xml", "wav\\nosub", "out", "log.txt"},
         "The wav-file-directory (wav\\nosub) doesn't exit\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1] + " " + c.arguments[2]);
        const ProgramResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 255);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(readText(path("log.txt")), c.log);
    }
}

TEST_F(CommandLineTest, BatchDirectoriesMayBePatternsOrEndInASeparator) {
    std::filesystem::create_directory(path("wav"));
    std::filesystem::create_directory(path("out"));
    writeText(path("t.xml"), "<other/>");
    const ProgramResult result = run({"/batch1:t.xml", "wa*", "out/", "log.txt"});
    // All three checks pass; the template holds no attendants, so nothing is done.
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(readText(path("log.txt")), "");
}

}  // namespace
}  // namespace quen::test
