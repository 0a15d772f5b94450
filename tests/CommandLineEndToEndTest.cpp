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

const std::string NO_LOG = "Failed to open the errorlog file <no-dir/log.txt>\n";

using CommandLineTest = TempDirTest;

TEST_F(CommandLineTest, CommandLinesThatStartNoJobPrintOneTextAndCreateNothing) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{}, USAGE},
        {{"/convert:a.wav"}, USAGE},
        {{"/batch1:t.xml", "wav", "out"}, USAGE},
        {{"/batch1:t.xml", "wav", "out", "log.txt", "extra"}, USAGE},
        // A message command with one operand too few is not a greeting.
        {{"/convertMsg:a.wav", "box", "caller", "text", "g711", "log.txt"}, USAGE},
        {{"/CONVERT:a.wav", "box", "rec", "g711", "out.cxx", "log.txt"}, USAGE},
        {{"convert:a.wav", "box", "rec", "g711", "out.cxx", "log.txt"}, USAGE},
        {{"/batch3:t.xml", "wav", "out", "log.txt"}, USAGE},
        {{"/convert:a.wav", "wav", "out", "log.txt"}, USAGE},
        {{"/convert:a.wav", "b", "c", "t", "g711", "Y", "N", "1", "2", "o.cxx", "log.txt"}, USAGE},
        // An empty log operand is refused before anything else.
        {{"/convert:a.wav", "box", "rec", "g711", "out.cxx", ""}, USAGE},
        {{"/convertMsg:a.wav", "b", "c", "t", "g711", "Y", "N", "1", "2", "o.cxx", ""}, USAGE},
        {{"/batch1:t.xml", "wav", "out", ""}, USAGE},
        {{"/convert:a.wav", "box", "rec", "g711", "out.cxx", "no-dir/log.txt"}, NO_LOG},
        {{"/convertMsg:a.wav", "b", "c", "t", "g711", "Y", "N", "1", "2", "o.cxx",
          "no-dir/log.txt"},
         NO_LOG},
        // The template and directories are not even looked at.
        {{"/batch1:", "", "", "no-dir/log.txt"}, NO_LOG},
        // The path is printed as given, never used as a format.
        {{"/batch2:t.xml", "w", "r", "%s%n/\xFF.txt"},
         "Failed to open the errorlog file <%s%n/\xFF.txt>\n"},
    };
    for (const auto& [arguments, output] : rows) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.back());
        const ProgramResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 255);
        EXPECT_EQ(result.output, output);
        EXPECT_TRUE(std::filesystem::is_empty(dir()));
    }
}

TEST_F(CommandLineTest, BatchPreChecksWriteTheirLogLine) {
    std::filesystem::create_directories(path("wav/sub"));
    std::filesystem::create_directory(path("out"));
    writeText(path("t.xml"), "<zandorConfiguration/>");
    const std::string noWav = "The wav-file-directory (";
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{"/batch1:missing.xml", "wav", "out"}, 255, "Error opening the AA-template.xml file\r\n"},
        {{"/batch2:", "wav", "out"}, 255, "Error opening the AA-template.xml file\r\n"},
        {{"/batch1:t.xml", "nowav", "out"}, 255, noWav + "nowav) doesn't exit\r\n"},
        {{"/batch1:t.xml", "", "out"}, 255, noWav + ") doesn't exit\r\n"},
        {{"/batch1:t.xml", "t.xml", "out"}, 255, noWav + "t.xml) doesn't exit\r\n"},
        {{"/batch2:t.xml", "wav", "noout"}, 255, "The results-directory doesn't exit\r\n"},
        {{"/batch2:t.xml", "wav", ""}, 255, "The results-directory doesn't exit\r\n"},
        // Backslashes are separators: wav\sub is the directory wav/sub, and it is
        // shown as given.
        {{"/batch2:t.xml", "wav\\sub\\", "noout"}, 255, "The results-directory doesn't exit\r\n"},
        {{"/batch2:t.xml", "wav\\nosub", "out"}, 255, noWav + "wav\\nosub) doesn't exit\r\n"},
        // Patterns and a trailing separator pass; the template holds no attendants.
        {{"/batch1:t.xml", "wa*", "out/"}, 0, ""},
    };
    for (auto [arguments, exitCode, log] : rows) {
        SCOPED_TRACE(arguments[0] + " " + arguments[1] + " " + arguments[2]);
        arguments.push_back("log.txt");
        const ProgramResult result = run(arguments);
        EXPECT_EQ(result.exitCode, exitCode);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(readText(path("log.txt")), log);
    }
}

}  // namespace
}  // namespace quen::test
