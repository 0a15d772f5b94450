// /batch1: and /batch2: as a caller meets them: every data file byte for byte, the log
// lines and the exit code for the naming rules of both modes, the texts read from the
// AA template and every way a run fails or ends early; and a run on every core that
// leaves what a run on one core leaves.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/TestFiles.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The log lines of the two conversions of one greeting, both successful.
std::string created(const std::string& stem) {
    return "Creating data file - \"out/" + stem + ".c23\"\r\nCreating data file - \"out/" + stem +
           ".c11\"\r\n";
}

// Every file below `root` by relative name; data files without their record time.
std::map<std::string, Bytes> contents(const fs::path& root) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            Bytes bytes = readBytes(entry.path());
            if (bytes.size() >= 214 && entry.path().string().find(".c") != std::string::npos) {
                std::fill(bytes.begin() + 206, bytes.begin() + 210, 0);
            }
            files[fs::relative(entry.path(), root).string()] = std::move(bytes);
        }
    }
    return files;
}

using BatchTest = TempDirTest;

TEST_F(BatchTest, NamesTextsFailuresAndEarlyEndsOfBothModes) {
    const std::string thirty = "abcdefghijklmnopqrstuvwxyz.wav";
    // 13 characters outside the basic plane and "x.wav": 31 code units, 18 characters.
    std::string thirtyOne;
    for (int i = 0; i < 13; ++i) {
        thirtyOne += "\xF0\x9F\x98\x80";
    }
    thirtyOne += "x.wav";
    fs::create_directories(path("rec/sub"));
    for (const std::string name :
         {"1", "3", "a.b", "", "sub/x", "sub/abcdefghijklmnopqrstuvwxyz"}) {
        writeBytes(path("rec/" + name + ".wav"), pcmWav(testSignal(2400)));
    }
    writeText(path("rec/bad.wav"), "not a recording");
    const std::string badRecording =
        "Creating data file - \"out/bad.c23\"\r\nInvalid file format\r\n"
        "Failed to convert file \"rec/bad.wav\" to \"out/bad.c23\"\r\n"
        "Creating data file - \"out/bad.c11\"\r\nInvalid file format\r\n"
        "Failed to convert file \"rec/bad.wav\" to \"out/bad.c11\"\r\n";
    const std::string unreadable = "Failed to read the file \"t.xml\" \ndue to \"";
    const std::string mismatch = unreadable + "Start-end tags mismatch at line ";
    // A greeting the run converts: its stem below out/, recording and header texts.
    using Converted = std::vector<std::array<std::string, 4>>;
    const Converted first{{"1", "1.wav", "Auto Attendant", "1.wav"}};
    struct Case {
        const char* what;
        int mode;
        std::string xml;
        int exitCode;
        std::string log;
        Converted converted = {};
        std::string wavDirectory = "rec";
        std::string resultDirectory = "out";
    };
    const Case cases[] = {
        // A text is all character data below its element, CDATA included, with XML white
        // space trimmed at both ends only; the nine reserved characters are then removed.
        // "Menu" is no kind: its stem is empty. A greeting outside a Greetings group is
        // not one. A trailing separator, a backslash too, ends the result directory.
        {"mode 1",
         1,
         "<zandorConfiguration><AutoAttendants><AutoAttendant>"
         "<AAName>\n\t Main\\/:*?&quot;&lt;&gt;|<x/> <![CDATA[Desk]]> \r\n</AAName><Greetings>" +
             greeting("menu", "1.wav") + greeting("Menu", "1.wav") + "</Greetings>" +
             greeting("afternoon", "1.wav") + "<Greetings>" +
             greeting("morning", " <![CDATA[ 1.wav ]]>\n") +
             "</Greetings></AutoAttendant></AutoAttendants><Unrelated/><AutoAttendants>" +
             attendant("<![CDATA[|]]>", greeting("evening", "1.wav")) +
             "</AutoAttendants></zandorConfiguration>",
         0,
         created("Main Desk-MN_greeting") + created("Main Desk-") +
             created("Main Desk-AM_greeting") + created("-EV_greeting"),
         {{"Main Desk-MN_greeting", "1.wav", "Main Desk", "MN_greeting"},
          {"Main Desk-", "1.wav", "Main Desk", ""},
          {"Main Desk-AM_greeting", "1.wav", "Main Desk", "AM_greeting"},
          {"-EV_greeting", "1.wav", "", "EV_greeting"}},
         "rec",
         "out\\"},
        // The 31-unit recording does not exist: its length is tested first. The limit
        // counts the file-name part only, which sub\ does not belong to.
        {"mode 2",
         2,
         configuration(attendant("A", greeting("menu", "a.b.wav") + greeting("menu", ".wav") +
                                          greeting("menu", "sub\\x.wav") +
                                          greeting("menu", "sub\\" + thirty) +
                                          greeting("menu", thirtyOne) + greeting("menu", "1.wav"))),
         255,
         created("a") + created("") + created("sub/x") + created("sub/abcdefghijklmnopqrstuvwxyz") +
             "Error - wav filename \"" + thirtyOne + "\"must be < 31 characters \r\n",
         {{"a", "a.b.wav", "Auto Attendant", "a.b.wav"},
          {"", ".wav", "Auto Attendant", ".wav"},
          {"sub/x", "sub/x.wav", "Auto Attendant", "x.wav"},
          {"sub/abcdefghijklmnopqrstuvwxyz", "sub/" + thirty, "Auto Attendant", thirty}},
         "rec/"},
        {"invalid recording", 2,
         configuration(attendant(
             "A", greeting("menu", "bad.wav") + greeting("menu", "") + greeting("menu", "1.wav"))),
         0, badRecording + created("1"), first},
        {"missing recording", 2,
         configuration(attendant("A", greeting("menu", "1.wav")) +
                       attendant("B", greeting("menu", "2.wav") + greeting("menu", "3.wav"))),
         255, created("1") + "Error the wav file \"rec/2.wav\" doesn't exist\r\n", first},
        {"malformed", 2, "<zandorConfiguration>\n<AutoAttendants>\n</zandorConfiguration>", 255,
         mismatch + "3, column 3\"\r\n"},
        // The same document in UTF-8, UTF-16 and UTF-32: one column for each character.
        {"CR LF and characters of several bytes", 2, "<a>\r\n\xC3\xA9\xF0\x9F\x98\x80</b>", 255,
         mismatch + "2, column 5\"\r\n"},
        {"UTF-16", 2, "\xFF\xFE<\0a\0>\0\r\0\n\0\xE9\0\x3D\xD8\x00\xDE<\0/\0b\0>\0"s, 255,
         mismatch + "2, column 5\"\r\n"},
        {"UTF-16, big-endian", 2, "\xFE\xFF\0<\0a\0>\0\r\0\n\0\xE9\xD8\x3D\xDE\x00\0<\0/\0b\0>"s,
         255, mismatch + "2, column 5\"\r\n"},
        {"Latin-1", 2, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xE9\xE9</b>", 255,
         mismatch + "2, column 8\"\r\n"},
        {"UTF-8 with a byte-order mark", 2, "\xEF\xBB\xBF<a></b>", 255,
         mismatch + "1, column 6\"\r\n"},
        // U+10000, the first character outside the basic plane.
        {"UTF-32, little-endian", 2,
         "\xFF\xFE\0\0<\0\0\0a\0\0\0>\0\0\0\r\0\0\0\n\0\0\0\xE9\0\0\0\0\0\x01\0"
         "<\0\0\0/\0\0\0b\0\0\0>\0\0\0"s,
         255, mismatch + "2, column 5\"\r\n"},
        {"UTF-32", 2,
         "\0\0\xFE\xFF\0\0\0<\0\0\0a\0\0\0>\0\0\0\r\0\0\0\n\0\0\0\xE9\0\x01\xF6\0"
         "\0\0\0<\0\0\0/\0\0\0b\0\0\0>"s,
         255, mismatch + "2, column 5\"\r\n"},
        {"line 1, no byte-order mark", 2, "<a></b>", 255, mismatch + "1, column 6\"\r\n"},
        // Left open: placed at the last character, the line feed.
        {"ending in CR LF", 2, "<a>\r\n", 255, mismatch + "1, column 4\"\r\n"},
        {"two roots", 2, "<zandorConfiguration/>\n <zandorConfiguration/>", 255,
         unreadable + "More than one root element at line 2, column 3\"\r\n"},
        {"no AAName", 2,
         configuration(attendant("A", greeting("menu", "1.wav")) + "<AutoAttendant><Greetings>" +
                       greeting("menu", "3.wav") + "</Greetings></AutoAttendant>"),
         255, created("1") + "\r\n", first},
        // The id is read before the recording is found empty.
        {"no id", 2,
         configuration(attendant("A", greeting("menu", "1.wav") +
                                          "<Greeting><RecordingName/></Greeting>" +
                                          greeting("menu", "3.wav"))),
         255, created("1") + "\r\n", first},
        {"no RecordingName", 2,
         configuration(attendant("A", greeting("menu", "1.wav") + "<Greeting id=\"menu\"/>" +
                                          greeting("menu", "3.wav"))),
         255, created("1") + "\r\n", first},
        {"document type declaration left unread", 2,
         "<!DOCTYPE zandorConfiguration [<!ENTITY e \"3.wav\">]>" +
             configuration(attendant("A", greeting("menu", "&e;"))),
         255, "Error the wav file \"rec/&e;\" doesn't exist\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(path("out"));
        fs::create_directories(path("out/sub"));
        writeText(path("out/3.c11"), "an earlier run's file");
        writeText(path("t.xml"), c.xml);
        const ProgramResult result = run({"/batch" + std::to_string(c.mode) + ":t.xml",
                                          c.wavDirectory, c.resultDirectory, "log.txt"});
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(readText(path("log.txt")), c.log);
        // Each data file is what the greeting job writes for the recording and texts.
        std::map<std::string, Bytes> expected{{"3.c11", readBytes(path("out/3.c11"))}};
        fs::create_directories(path("solo/sub"));
        for (const auto& [stem, wav, mailboxName, recordingName] : c.converted) {
            for (const std::string format : {"g723", "g711"}) {
                const std::string name = stem + (format == "g723" ? ".c23" : ".c11");
                ASSERT_EQ(0, run({"/convert:rec/" + wav, mailboxName, recordingName, format,
                                  "solo/" + name, "solo.log"})
                                 .exitCode);
            }
        }
        expected.merge(contents(path("solo")));
        fs::remove_all(path("solo"));
        const std::map<std::string, Bytes> written = contents(path("out"));
        EXPECT_EQ(written, expected);
        EXPECT_EQ(readText(path("out/3.c11")), "an earlier run's file");
        // quen check plans exactly the data files the run wrote.
        const ProgramResult check =
            runBinary(QUEN_TOOL_BINARY,
                      {"--json", "check", "--template", "t.xml", "--mode", std::to_string(c.mode),
                       "--wav-dir", c.wavDirectory, "--result-dir", c.resultDirectory},
                      dir());
        std::size_t planned = 1;  // 3.c11
        const nlohmann::json report = nlohmann::json::parse(check.output);
        for (const auto& greeting : report["greetings"]) {
            // A skipped greeting has no names; one whose recording is missing no verdict.
            const auto& names = greeting["skipped"] ? greeting : greeting["modes"].at(0);
            if (!greeting["skipped"] && greeting["exists"] && names["reached"] &&
                names["ends_run"].is_null() && greeting["recording"]["accepted"]) {
                planned += 2;
                EXPECT_TRUE(written.contains(names["g723_file"].get<std::string>().substr(4)) &&
                            written.contains(names["g711_file"].get<std::string>().substr(4)))
                    << names;
            }
        }
        EXPECT_EQ(planned, written.size());
    }
}

TEST_F(BatchTest, EveryCoreLeavesTheLogAndFilesOfOneCore) {
    // Recordings and data files share one directory, so a later greeting can read what
    // an earlier one wrote.
    std::string hazards;
    for (std::size_t i = 0; i < 12; ++i) {
        hazards += greeting("menu", recording(i));
    }
    const std::pair<int, std::string> templates[] = {
        {2, configuration(attendant(
                "Desk", greeting("menu", "g0.wav") + greeting("menu", "bad.wav") +
                            greeting("menu", "g0.c11") +    // written two conversions before
                            greeting("menu", "late.c23") +  // written by the next greeting
                            greeting("menu", "late.wav") + greeting("menu", "late.c23") +
                            greeting("menu", "g1.x.wav") +  // the same data files as g1.wav
                            hazards + greeting("menu", "missing.wav") + hazards))},
        {1, configuration(attendant("Desk", greeting("morning", "g0.wav") +
                                                greeting("bogus", "g1.wav") +
                                                greeting("Menu", "g2.wav") +
                                                greeting("morning", "g3.wav") + hazards) +
                          "<AutoAttendant><Greetings>" + greeting("menu", "g4.wav") +
                          "</Greetings></AutoAttendant>")},
    };
    for (const auto& [mode, xml] : templates) {
        SCOPED_TRACE(xml);
        std::map<std::string, Bytes> results[2];
        for (const int oneCore : {0, 1}) {
            const fs::path run = path(oneCore ? "one" : "all");
            fs::remove_all(run);
            fs::create_directories(run / "d");
            for (std::size_t i = 0; i < 12; ++i) {
                writeBytes(run / "d" / recording(i), pcmWav(testSignal(2400 + 480 * i)));
            }
            fs::copy_file(run / "d" / "g1.wav", run / "d" / "g1.x.wav");
            fs::copy_file(run / "d" / "g2.wav", run / "d" / "late.wav");
            writeText(run / "d" / "bad.wav", "not a recording");
            writeText(run / "t.xml", xml);
            const int status = shell(
                std::string("cd ") + (oneCore ? "one && taskset -c 0 " : "all && ") + QUEN_BINARY +
                " /batch" + std::to_string(mode) + ":t.xml d d log.txt >stdout.txt");
            results[oneCore] = contents(run);
            results[oneCore]["exit status"] = Bytes{static_cast<std::uint8_t>(status)};
        }
        EXPECT_EQ(results[0], results[1]);
    }
}

}  // namespace
}  // namespace quen::test
