// The advice of `quen check`: for a template, each command it prints, pasted into a
// shell in the same directory, makes the greeting convert and keeps every master; the
// names it looks around with come from the template and stay in the folders given. A
// template given as a recording is refused with the command that checks it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "quen/check/AaTemplateHead.h"
#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;

class QuenCheckAdvice : public Quen {
  protected:
    void writeTemplate(const std::string& greetings) {
        writeText(path("t.xml"), configuration(attendant("Desk", greetings)));
    }
    // 1 s of tone at 48 kHz in 24 bits: a master QuenGreeting refuses.
    void master(const std::string& name) const {
        ffmpeg("0.2*sin(2*PI*440*t)", 1.0, "-ar 48000 -c:a pcm_s24le '" + name + "'");
    }
    nlohmann::json checked(const std::string& arguments) const {
        return nlohmann::json::parse(tool("--json check --template t.xml " + arguments).output);
    }
    // Runs `command` as a person pasting it would, with `quen` on the path: its exit code.
    int paste(const std::string& command) const {
        writeText(path("pasted.sh"), command + "\n");
        return shell("PATH='" + fs::path(QUEN_TOOL_BINARY).parent_path().string() +
                     "':\"$PATH\" bash pasted.sh >/dev/null 2>&1");
    }
};

// The case a user met: a 48 kHz 24-bit master where the template names its recording, and
// an MP3 beside a recording that is missing. Each greeting shows its command; run one
// after the other they make the whole template convert, and the master's bytes survive.
TEST_F(QuenCheckAdvice, EachCommandMakesItsGreetingConvertAndKeepsTheMaster) {
    master("main-evening.wav");
    ffmpeg("0.2*sin(2*PI*440*t)", 1.0, "main-morning.mp3");
    writeBytes(path("ok.wav"), pcmWav(testSignal(800)));
    writeTemplate(greeting("morning", "main-morning.wav") +
                  greeting("evening", "main-evening.wav") + greeting("holiday", "ok.wav"));
    const Bytes masterBytes = readBytes(path("main-evening.wav"));
    const Bytes mp3Bytes = readBytes(path("main-morning.mp3"));
    const Bytes acceptedBytes = readBytes(path("ok.wav"));

    const ProgramResult text = tool("check --template t.xml --wav-dir .");
    EXPECT_EQ(text.exitCode, 1);
    const std::string moveAndPrepare =
        "mv -n -- ./main-evening.wav ./main-evening-master.wav && quen prepare "
        "./main-evening-master.wav ./main-evening.wav";
    for (const std::string& expected : std::vector<std::string>{
             "     source     ./main-morning.mp3\n"
             "       fix:     quen prepare ./main-morning.mp3 ./main-morning.wav\n"
             "2. Desk / evening",
             "       fix:   " + moveAndPrepare +
                 "\n"
                 "       keeps: the master, moved to ./main-evening-master.wav\n"
                 "     mode 1"}) {
        EXPECT_NE(text.output.find(expected), std::string::npos) << text.output;
    }
    // The refused master is never the output of the command that reads it.
    EXPECT_EQ(text.output.find("quen prepare ./main-evening.wav"), std::string::npos);

    const nlohmann::json before = checked("--wav-dir .");
    const auto& greetings = before["greetings"];
    ASSERT_EQ(greetings[0]["sources"].size(), 1u);
    EXPECT_EQ(greetings[0]["sources"][0]["path"], "./main-morning.mp3");
    EXPECT_EQ(greetings[1]["recording"]["fix"], moveAndPrepare);
    EXPECT_EQ(greetings[1]["master"], "./main-evening-master.wav");

    // One greeting at a time: each command removes its own problem only.
    ASSERT_EQ(paste(greetings[1]["recording"]["fix"]), 0);
    const nlohmann::json between = checked("--wav-dir .");
    EXPECT_TRUE(between["greetings"][1]["recording"]["accepted"]) << between["greetings"][1];
    EXPECT_FALSE(between["greetings"][0]["exists"]);
    ASSERT_EQ(paste(greetings[0]["sources"][0]["command"]), 0);
    EXPECT_EQ(tool("check --template t.xml --wav-dir .").exitCode, 0) << errors();

    EXPECT_EQ(readBytes(path("main-evening-master.wav")), masterBytes);
    EXPECT_EQ(readBytes(path("main-morning.mp3")), mp3Bytes);
    EXPECT_EQ(readBytes(path("ok.wav")), acceptedBytes);
}

// The master's new name is one that is free when the check runs; when a file takes it
// before the command is pasted, the command fails and both files keep their bytes.
TEST_F(QuenCheckAdvice, AMasterIsNeverMovedOverAFileNorPreparedOver) {
    master("e.wav");
    writeTemplate(greeting("evening", "e.wav"));
    const Bytes masterBytes = readBytes(path("e.wav"));
    const Bytes other = {'o', 't', 'h', 'e', 'r'};
    writeBytes(path("e-master.wav"), other);
    EXPECT_EQ(checked("--wav-dir .")["greetings"][0]["master"], "./e-master-2.wav");
    for (int n = 2; n <= 8; ++n) {
        writeBytes(path("e-master-" + std::to_string(n) + ".wav"), other);
    }
    const std::string lastName = checked("--wav-dir .")["greetings"][0]["master"];
    EXPECT_EQ(lastName, "./e-master-9.wav");
    writeBytes(path("e-master-9.wav"), other);
    const nlohmann::json full = checked("--wav-dir .");
    EXPECT_EQ(full["greetings"][0]["master"], nullptr);
    EXPECT_EQ(full["greetings"][0]["recording"]["fix"], nullptr);

    fs::remove(path("e-master-9.wav"));
    const std::string fix = checked("--wav-dir .")["greetings"][0]["recording"]["fix"];
    writeBytes(path("e-master-9.wav"), other);  // taken between the check and the paste
    EXPECT_NE(paste(fix), 0);
    EXPECT_EQ(readBytes(path("e.wav")), masterBytes);
    EXPECT_EQ(readBytes(path("e-master-9.wav")), other);
}

// A name from the template that leads out of the wav directory gets no advice at all, and
// a link is never named as a source, whatever it points to.
TEST_F(QuenCheckAdvice, SourcesAreRegularFilesBelowTheWavDirectoryOnly) {
    fs::create_directories(path("w/sub"));
    fs::create_directories(path("outside"));
    ffmpeg("0.2*sin(2*PI*440*t)", 0.5, "outside/x.mp3");
    ffmpeg("0.2*sin(2*PI*440*t)", 0.5, "w/sub/x.flac");
    fs::create_symlink("../../outside/x.mp3", path("w/sub/x.mp3"));
    fs::create_directories(path("w/sub/x.d"));
    fs::copy_file(path("outside/x.mp3"), path("w/sub/x-2.mp3"));
    master("outside/y.wav");
    fs::create_directory_symlink("../outside", path("w/away"));
    writeTemplate(greeting("morning", "sub/x.wav") + greeting("evening", "../outside/x.wav") +
                  greeting("holiday", "../outside/y.wav") + greeting("menu", "away/x.wav"));
    const nlohmann::json result = checked("--wav-dir w");
    const auto& greetings = result["greetings"];
    ASSERT_EQ(greetings[0]["sources"].size(), 1u) << greetings[0]["sources"];
    EXPECT_EQ(greetings[0]["sources"][0]["path"], "w/sub/x.flac");
    EXPECT_EQ(greetings[0]["sources"][0]["command"], "quen prepare w/sub/x.flac w/sub/x.wav");
    EXPECT_TRUE(greetings[1]["sources"].empty()) << greetings[1]["sources"];
    // Refused, but not in the wav directory: nothing is moved there or prepared over it.
    EXPECT_FALSE(greetings[2]["recording"]["accepted"]);
    EXPECT_EQ(greetings[2]["recording"]["fix"], nullptr);
    EXPECT_EQ(greetings[2]["master"], nullptr);
    // A folder of the template's that links out of the wav directory is not looked in.
    EXPECT_TRUE(greetings[3]["sources"].empty()) << greetings[3]["sources"];
}

// With --from, a missing recording's source in the masters folder comes first, the same
// name before the same stem as `prepare --template --from` takes it; at most eight
// sources are named, in byte order.
TEST_F(QuenCheckAdvice, SourcesInTheMastersFolderComeFirstAndAreBounded) {
    fs::create_directories(path("raw"));
    fs::create_directories(path("w"));
    ffmpeg("0.2*sin(2*PI*440*t)", 0.5, "raw/a.wav");
    fs::copy_file(path("raw/a.wav"), path("raw/a.flac"));
    fs::copy_file(path("raw/a.wav"), path("w/a.mp3"));
    for (const char* extension : {"1", "2", "3", "4", "5", "6", "7", "8", "9"}) {
        fs::copy_file(path("raw/a.wav"), path(std::string("w/b.") + extension));
    }
    writeTemplate(greeting("morning", "a.wav") + greeting("evening", "b.wav"));
    const nlohmann::json result = checked("--wav-dir w --from raw");
    std::vector<std::string> a;
    for (const auto& source : result["greetings"][0]["sources"]) {
        a.push_back(source["path"]);
    }
    EXPECT_EQ(a, (std::vector<std::string>{"raw/a.wav", "w/a.mp3"}));
    const auto& b = result["greetings"][1]["sources"];
    ASSERT_EQ(b.size(), 8u);
    EXPECT_EQ(b[0]["path"], "w/b.1");
    EXPECT_EQ(b[7]["path"], "w/b.8");
    // The masters folder given as the wav directory is looked in once.
    EXPECT_EQ(checked("--wav-dir w --from w/.")["greetings"][0]["sources"].size(), 1u);
    EXPECT_EQ(tool("check --template t.xml --wav-dir w --from nowhere").exitCode, 2);
    EXPECT_EQ(errors(), "quen check: nowhere: no such directory\n");
}

// The one command for the whole template is named only while it can write every
// recording: none of them is in the wav directory yet. Run as printed, it prepares them
// all from the masters, which it leaves as they were.
TEST_F(QuenCheckAdvice, ThePrepareAllCommandIsNamedOnlyWhenItCanWriteEveryRecording) {
    fs::create_directories(path("raw"));
    fs::create_directories(path("wav dir"));
    master("raw/morning.wav");
    ffmpeg("0.2*sin(2*PI*440*t)", 0.5, "raw/evening.mp3");
    writeTemplate(greeting("morning", "morning.wav") + greeting("evening", "evening.wav"));
    const Bytes masterBytes = readBytes(path("raw/morning.wav"));
    const ProgramResult text = tool("check --template t.xml --wav-dir 'wav dir' --from raw");
    const std::string all = "quen prepare --template t.xml --from raw --wav-dir 'wav dir'";
    EXPECT_NE(text.output.find("Every recording can be prepared from its master at once: " + all +
                               "\n2 greetings, 2 with problems"),
              std::string::npos)
        << text.output;
    EXPECT_EQ(checked("--wav-dir 'wav dir' --from raw")["prepare_all"], all);
    // Without --from, or with a recording already there, it is not named.
    EXPECT_EQ(checked("--wav-dir 'wav dir'")["prepare_all"], nullptr);
    writeBytes(path("wav dir/evening.wav"), pcmWav(testSignal(800)));
    EXPECT_EQ(checked("--wav-dir 'wav dir' --from raw")["prepare_all"], nullptr);
    fs::remove(path("wav dir/evening.wav"));

    ASSERT_EQ(paste(all), 0) << errors();
    EXPECT_EQ(tool("check --template t.xml --wav-dir 'wav dir'").exitCode, 0);
    EXPECT_EQ(readBytes(path("raw/morning.wav")), masterBytes);
}

// Refused masters in the wav directory: the one command that keeps every file there
// prepares all the recordings into a new folder below it, under a name that is free,
// and the template then converts from that folder. A folder that takes the name before
// the command is pasted stops it before anything is written.
TEST_F(QuenCheckAdvice, EveryFileIsKeptWhenAllArePreparedIntoANewFolder) {
    fs::create_directories(path("w/prepared"));
    master("w/main-evening.wav");
    ffmpeg("0.2*sin(2*PI*440*t)", 1.0, "w/main-morning.mp3");
    // Speech, so that prepare, which makes every recording again, finds nothing in it.
    writeBytes(path("w/ok.wav"), pcmWav(speechAt(2.0, -19.0)));
    writeTemplate(greeting("morning", "main-morning.wav") +
                  greeting("evening", "main-evening.wav") + greeting("holiday", "ok.wav"));
    std::map<std::string, Bytes> kept;
    for (const auto& entry : fs::directory_iterator(path("w"))) {
        if (entry.is_regular_file()) {
            kept[entry.path().filename()] = readBytes(entry.path());
        }
    }
    const ProgramResult text = tool("check --template t.xml --wav-dir w");
    const std::string all =
        "mkdir -- w/prepared-2 && quen prepare --template t.xml --from w --wav-dir w/prepared-2";
    EXPECT_NE(text.output.find("(then check with --wav-dir w/prepared-2): " + all + "\n"),
              std::string::npos)
        << text.output;
    const nlohmann::json json = checked("--wav-dir w");
    EXPECT_EQ(json["prepare_all"], all);
    EXPECT_EQ(json["prepare_all_wav_dir"], "w/prepared-2");
    // Masters elsewhere: the new folder is not what is wanted.
    fs::create_directories(path("raw"));
    EXPECT_EQ(checked("--wav-dir w --from raw")["prepare_all"], nullptr);

    fs::create_directories(path("w/prepared-2"));
    EXPECT_NE(paste(all), 0);
    EXPECT_TRUE(fs::is_empty(path("w/prepared-2")));
    fs::remove(path("w/prepared-2"));

    ASSERT_EQ(paste(all), 0) << errors();
    EXPECT_EQ(tool("check --template t.xml --wav-dir w/prepared-2").exitCode, 0);
    for (const auto& [name, bytes] : kept) {
        EXPECT_EQ(readBytes(path("w/" + name)), bytes) << name;
    }
}

// The refusal's trouble comes from the one look at the file: one that opens but cannot
// be read (a process's own memory at address 0) is trouble, not a refusal.
TEST_F(QuenCheckAdvice, AFileThatOpensButCannotBeReadIsTrouble) {
    // exec: the shell's process number becomes the checker's own.
    const ProgramResult result =
        runBinary("/bin/sh", {"-c", "exec " QUEN_TOOL_BINARY " check /proc/$$/mem"}, dir());
    EXPECT_EQ(result.exitCode, 2) << result.output;
    EXPECT_NE(result.output.find(": refused\n"), std::string::npos) << result.output;
}

// A template handed to check as a recording stays refused (exit 1), and the refusal says
// how a template is checked; XML of another kind gets no such hint.
TEST_F(QuenCheckAdvice, ATemplateGivenAsARecordingIsRefusedWithTheCommandForIt) {
    writeTemplate(greeting("morning", "a.wav"));
    fs::copy_file(path("t.xml"), path("aa template.xml"));
    const ProgramResult result = tool("check 'aa template.xml'");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.output.starts_with(
        "aa template.xml: refused, an AA template, not a recording: use quen check --template "
        "'aa template.xml' --wav-dir DIR\n"))
        << result.output;
    const auto json = nlohmann::json::parse(tool("--json check t.xml").output);
    EXPECT_EQ(json["files"][0]["use"], "quen check --template t.xml --wav-dir DIR");
    writeText(path("other.xml"), "<?xml version=\"1.0\"?><config><AutoAttendants/></config>");
    const ProgramResult other = tool("check other.xml");
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_TRUE(other.output.starts_with("other.xml: refused\n")) << other.output;
    // Only the file's head is looked at: the root element must be whole within it.
    const std::string root = "<zandorConfiguration>";
    for (const std::size_t padding : {tool::AA_TEMPLATE_HEAD_BYTES - root.size(),
                                      tool::AA_TEMPLATE_HEAD_BYTES - root.size() + 1}) {
        writeText(path("padded.xml"), std::string(padding, ' ') + root);
        const bool hinted =
            tool("check padded.xml").output.starts_with("padded.xml: refused, an AA template");
        EXPECT_EQ(hinted, padding + root.size() <= tool::AA_TEMPLATE_HEAD_BYTES) << padding;
    }
}

TEST(AaTemplateHead, OnlyTheTemplatesRootElementAfterTheProlog) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"<zandorConfiguration>", true},
        {"<zandorConfiguration/>", true},
        {"<zandorConfiguration\n  version=\"2\">", true},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<zandorConfiguration>", true},
        {"<?xml version=\"1.0\"?><!-- <notes> --><!DOCTYPE zandorConfiguration [<!ENTITY a "
         "\"<b>\">]><zandorConfiguration>",
         true},
        {"  \t<!DOCTYPE x><zandorConfiguration>", true},
        // Near misses: another root, a longer name, the name cut off, a prolog that never
        // ends, text before the root, an empty file.
        {"<zandorConfigurationX>", false},
        {"<zandorConfig>", false},
        {"<zandorConfiguration", false},
        {"<?xml version=\"1.0\"<zandorConfiguration>", false},
        {"<!-- <zandorConfiguration>", false},
        {"<!DOCTYPE x [<zandorConfiguration>", false},
        {"x<zandorConfiguration>", false},
        {"<config><zandorConfiguration>", false},
        {"", false},
    };
    for (const auto& [text, expected] : cases) {
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        EXPECT_EQ(tool::startsLikeAaTemplate(bytes), expected) << text;
    }
}

}  // namespace
}  // namespace quen::test
