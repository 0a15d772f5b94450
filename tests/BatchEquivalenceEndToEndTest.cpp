// A batch on every core must be indistinguishable from one on a single core: a
// template built on every ordering hazard runs both ways and leaves the same log and
// the same files, byte for byte but for the record time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace fs = std::filesystem;
namespace {

std::string greeting(const std::string& id, const std::string& recording) {
    return "<Greeting id=\"" + id + "\"><RecordingName>" + recording +
           "</RecordingName></Greeting>";
}

std::string configuration(const std::string& greetings) {
    return "<zandorConfiguration><AutoAttendants><AutoAttendant><AAName>Desk</AAName>"
           "<Greetings>" +
           greetings + "</Greetings></AutoAttendant></AutoAttendants></zandorConfiguration>";
}

std::string recording(int number) {
    std::string name(1, 'g');
    name += std::to_string(number);
    name += ".wav";
    return name;
}

// Every file below `root` by relative name; data files without their record time.
std::map<std::string, Bytes> contents(const fs::path& root) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        Bytes bytes = readBytes(entry.path());
        const std::string extension = entry.path().extension().string();
        if ((extension == ".c23" || extension == ".c11") && bytes.size() >= 214) {
            std::fill(bytes.begin() + 206, bytes.begin() + 210, 0);
        }
        files[fs::relative(entry.path(), root).string()] = std::move(bytes);
    }
    return files;
}

using BatchEquivalenceTest = TempDirTest;

TEST_F(BatchEquivalenceTest, ParallelAndSingleCoreRunsLeaveTheSameLogAndFiles) {
    // Recordings and data files share one directory, so a later greeting can read what
    // an earlier one wrote.
    std::string hazards;
    for (const std::string number :
         {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}) {
        hazards += greeting("menu", "g" + number + ".wav");
    }
    const std::string thirtyOne = std::string(27, 'n') + ".wav";
    const std::pair<int, std::string> templates[] = {
        {2, configuration(greeting("menu", "g0.wav") + greeting("menu", "bad.wav") +
                          greeting("menu", "g0.c11") +    // written two conversions before
                          greeting("menu", "late.c23") +  // written by the next greeting
                          greeting("menu", "late.wav") + greeting("menu", "late.c23") +
                          greeting("menu", "g1.x.wav") +  // the same data files as g1.wav
                          hazards + greeting("menu", "missing.wav") + hazards)},
        {2, configuration(hazards + greeting("menu", thirtyOne) + greeting("menu", "g5.wav"))},
        {1, configuration(greeting("morning", "g0.wav") + greeting("bogus", "g1.wav") +
                          greeting("Menu", "g2.wav") + greeting("morning", "g3.wav") + hazards +
                          "</Greetings></AutoAttendant><AutoAttendant><Greetings>" +
                          greeting("menu", "g4.wav"))},
    };
    int number = 0;
    for (const auto& [mode, xml] : templates) {
        SCOPED_TRACE("template " + std::to_string(++number));
        std::map<std::string, Bytes> results[2];
        for (const bool oneCore : {false, true}) {
            const fs::path run = path(oneCore ? "one" : "all");
            fs::remove_all(run);
            fs::create_directories(run / "d");
            for (int i = 0; i < 12; ++i) {
                writeBytes(run / "d" / recording(i),
                           pcmWav(testSignal(2400 + 480 * static_cast<std::size_t>(i))));
            }
            fs::copy_file(run / "d" / "g1.wav", run / "d" / "g1.x.wav");
            fs::copy_file(run / "d" / "g2.wav", run / "d" / "late.wav");
            writeText(run / "d" / "bad.wav", "not a recording");
            writeText(run / "t.xml", xml);
            std::string command = "cd '" + run.string() + "' && ";
            command += oneCore ? "taskset -c 0 " : "";
            command += QUEN_BINARY;
            command += " /batch" + std::to_string(mode) + ":t.xml d d log.txt >stdout.txt";
            const int status = std::system(command.c_str());
            results[oneCore ? 1 : 0] = contents(run);
            results[oneCore ? 1 : 0]["exit status"] = Bytes{static_cast<std::uint8_t>(status >> 8)};
        }
        ASSERT_EQ(results[0].size(), results[1].size());
        for (const auto& [name, bytes] : results[1]) {
            SCOPED_TRACE(name);
            EXPECT_EQ(results[0][name], bytes);
        }
    }
}

}  // namespace
}  // namespace quen::test
