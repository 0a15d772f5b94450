// The promises about what the converter writes: a symbolic link that another user put
// on the path of a data file or of the error log is not followed in a sticky
// world-writable directory; a log that cannot be written whole fails the run; and a
// termination signal takes a named temporary file with it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/AtomicFileWriter.h"
#include "platform/ProcessSetup.h"
#include "tests/TestFiles.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t OTHER_USER = 65534;

class WriteSafetyTest : public TempDirTest {
  protected:
    // A link at `name` to `target`, owned by `owner`.
    void link(const std::string& target, const std::string& name, uid_t owner) const {
        fs::create_symlink(target, path(name));
        ASSERT_EQ(::lchown(path(name).c_str(), owner, static_cast<gid_t>(-1)), 0);
    }

    // rec/ with `count` recordings of `samples` samples each, and an empty out/.
    void makeRecordings(std::size_t count, std::size_t samples) const {
        fs::create_directories(path("rec"));
        fs::create_directories(path("out"));
        for (std::size_t i = 0; i < count; ++i) {
            writeBytes(path("rec/" + recording(i)), pcmWav(testSignal(samples)));
        }
    }

    // The entries of `directory` whose names begin with ".quen-".
    std::vector<std::string> temporaryFiles(const std::string& directory = ".") const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path(directory))) {
            if (entry.path().filename().string().starts_with(".quen-")) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }
};

// One written path through links: the data file and log operands, whether the job
// runs, and the file that must stay as it was (or be written, when followed).
struct LinkCase {
    std::string outFile;
    std::string logFile;
    std::string output;
    std::string log;
    std::string reached;  // the file a followed link leads to
    bool followed = false;
};

TEST_F(WriteSafetyTest, AnotherUsersLinkInAStickyDirectoryIsNeverFollowed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a link to another user";
    }
    // sticky/ is /tmp's like: sticky, world-writable, the follower's own.
    fs::create_directories(path("sticky"));
    fs::permissions(path("sticky"), fs::perms::all | fs::perms::sticky_bit);
    fs::create_directories(path("private"));
    // open/ is world-writable too, but not sticky: the rule does not hold there.
    fs::create_directories(path("open"));
    fs::permissions(path("open"), fs::perms::all);
    writeBytes(path("in.wav"), pcmWav(testSignal(400)));
    const std::string victim = path("victim.txt").string();
    link(victim, "sticky/errors.txt", OTHER_USER);
    link(victim, "sticky/out.cxx", OTHER_USER);
    link(path("private").string(), "sticky/dirlink", OTHER_USER);
    link("../sticky/dirlink", "open/indirect", 0);
    link(victim, "sticky/mine.cxx", 0);
    link(victim, "open/theirs.cxx", OTHER_USER);
    const std::string logFailed = "Failed to open the errorlog file <";
    const auto refused = [](const std::string& file) {
        return "Creating data file - \"" + file + "\"\r\nCan't open file \"" + file +
               "\", error = 5\n\r\n";
    };
    const LinkCase cases[] = {
        {"out.cxx", "sticky/errors.txt", logFailed + "sticky/errors.txt>\n", "", "victim.txt"},
        {"out.cxx", "sticky/dirlink/log.txt", logFailed + "sticky/dirlink/log.txt>\n", "",
         "private/log.txt"},
        {"sticky/out.cxx", "log.txt", "", refused("sticky/out.cxx"), "victim.txt"},
        {"sticky/dirlink/out.cxx", "log.txt", "", refused("sticky/dirlink/out.cxx"),
         "private/out.cxx"},
        // Reached through a link of the follower's own, in the directory that is not sticky.
        {"open/indirect/out.cxx", "log.txt", "", refused("open/indirect/out.cxx"),
         "private/out.cxx"},
        // The follower's own link, and another user's where the directory is not sticky.
        {"sticky/mine.cxx", "log.txt", "", "Creating data file - \"sticky/mine.cxx\"\r\n",
         "victim.txt", true},
        {"open/theirs.cxx", "open/../log.txt", "", "Creating data file - \"open/theirs.cxx\"\r\n",
         "victim.txt", true},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.outFile + " " + c.logFile);
        writeText(path("victim.txt"), "precious");
        writeText(path("log.txt"), "");
        const ProgramResult result =
            run({"/convert:in.wav", "a", "b", "g711", c.outFile, c.logFile});
        EXPECT_EQ(result.exitCode, c.followed ? 0 : 255);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(readText(path("log.txt")), c.log);
        if (c.followed) {
            EXPECT_EQ(readBytes(path(c.reached)).size(), 214u + 1 + 400);  // one packet
        } else if (c.reached == "victim.txt") {
            EXPECT_EQ(readText(path("victim.txt")), "precious");
        } else {
            EXPECT_FALSE(fs::exists(path(c.reached)));
        }
        EXPECT_TRUE(fs::is_symlink(path("sticky/out.cxx")));
        EXPECT_TRUE(temporaryFiles().empty());
    }
    EXPECT_FALSE(fs::exists(path("out.cxx")));
}

// The log of a batch that outgrows the file-size limit stops mid-line; the run goes on
// and writes what it would have written, and its exit code says the log is incomplete.
TEST_F(WriteSafetyTest, ALogThatCannotBeWrittenWholeFailsTheRun) {
    fs::create_directories(path("rec"));
    fs::create_directories(path("out"));
    std::string greetings;
    for (int i = 0; i < 20; ++i) {
        const std::string name = "bad" + std::to_string(i);
        writeText(path("rec/" + name + ".wav"), "not a recording");
        greetings += greeting("menu", name + ".wav");
    }
    writeBytes(path("rec/good.wav"), pcmWav(testSignal(80)));
    writeText(path("t.xml"),
              configuration(attendant("A", greetings + greeting("menu", "good.wav"))));
    const std::string command = QUEN_BINARY + std::string(" /batch2:t.xml rec out ");
    ASSERT_EQ(shell(command + "whole.txt"), 0);
    const std::string whole = readText(path("whole.txt"));
    const Bytes g711 = readBytes(path("out/good.c11"));
    fs::remove_all(path("out"));
    fs::create_directories(path("out"));
    ASSERT_GT(whole.size(), 2048u);
    EXPECT_EQ(shell("ulimit -f 1 && " + command + "cut.txt"), 255);
    const std::string cut = readText(path("cut.txt"));
    EXPECT_LT(cut.size(), whole.size());
    EXPECT_EQ(cut, whole.substr(0, cut.size()));
    // Only the record time may differ.
    Bytes written = readBytes(path("out/good.c11"));
    ASSERT_EQ(written.size(), g711.size());
    std::copy(g711.begin() + 206, g711.begin() + 210, written.begin() + 206);
    EXPECT_EQ(written, g711);
    EXPECT_TRUE(fs::exists(path("out/good.c23")));
}

// Where unnamed temporary files cannot be had, a data file's temporary file has a name
// while it is written; a termination signal then removes it before the process ends by
// that signal, and the earlier data file stays as it was. A batch's workers write
// ahead, so several named files wait at once: all of them go.
TEST_F(WriteSafetyTest, TerminationSignalsRemoveEveryNamedTemporaryFile) {
    makeRecordings(8, 4000);
    std::string greetings;
    for (std::size_t i = 0; i < 8; ++i) {
        greetings += greeting("menu", recording(i));
    }
    writeText(path("t.xml"), configuration(attendant("A", greetings)));
    writeBytes(path("in.wav"), pcmWav(testSignal(4000)));
    cpu_set_t cpus;
    const bool severalCpus =
        ::sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 1;
    // Arguments, the directory of the data files, how many named files must wait.
    const std::tuple<std::vector<const char*>, std::string, std::size_t> jobs[] = {
        {{"/convert:in.wav", "a", "b", "g711", "out.cxx", "log.txt"}, ".", 1},
        {{"/batch2:t.xml", "rec", "out", "log.txt"}, "out", std::size_t{severalCpus ? 2U : 1U}},
    };
    for (const auto& [arguments, directory, waiting] : jobs) {
        for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
            SCOPED_TRACE(std::string(arguments[0]) + " " + std::to_string(signalNumber));
            writeText(path("out.cxx"), "old");
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                // The caller's dispositions are the program's to keep: give it the defaults.
                for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
                    ::signal(s, SIG_DFL);
                }
                std::vector<const char*> argv{QUEN_BINARY};
                argv.insert(argv.end(), arguments.begin(), arguments.end());
                argv.push_back(nullptr);
                if (::chdir(dir().c_str()) == 0) {
                    ::setenv("LD_PRELOAD", QUEN_NAMED_TMPFILE_SHIM, 1);
                    // A sanitizer runtime would refuse a library loaded ahead of it.
                    ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
                    ::execv(QUEN_BINARY, const_cast<char* const*>(argv.data()));
                }
                ::_exit(127);
            }
            // The shim holds the program in its flush, the named files in place.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (temporaryFiles(directory).size() < waiting &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_GE(temporaryFiles(directory).size(), waiting);
            ::kill(child, signalNumber);
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
            EXPECT_TRUE(temporaryFiles(directory).empty());
            EXPECT_EQ(readText(path("out.cxx")), "old");
        }
    }
}

// `quen prepare --template` writes its recordings on several threads at once. A
// termination signal at any moment of the run, from the program's start to its end,
// leaves no named temporary file behind, however its threads stand: the signal is
// taken by one thread, which removes the registered files while no other can make one.
TEST_F(WriteSafetyTest, ASignalAtAnyMomentOfATemplatePreparationLeavesNoTemporaryFile) {
    fs::create_directories(path("raw"));
    std::string greetings;
    for (int i = 0; i < 64; ++i) {
        const std::string name = std::to_string(i) + ".wav";
        writeBytes(path("raw") / name, pcmWav(testSignal(800)));
        greetings += greeting("menu", name);
    }
    writeText(path("t.xml"), configuration(attendant("A", greetings)));
    int stopped = 0;
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE(::testing::Message() << "signal after " << run * 5 << " ms");
        fs::remove_all(path("wav"));
        fs::create_directories(path("wav"));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::signal(SIGTERM, SIG_DFL);
            const int null = ::open("/dev/null", O_WRONLY);
            if (::chdir(dir().c_str()) == 0 && ::dup2(null, STDOUT_FILENO) >= 0 &&
                ::dup2(null, STDERR_FILENO) >= 0) {
                ::setenv("LD_PRELOAD", QUEN_NAMED_TMPFILE_SHIM, 1);
                ::setenv("QUEN_SHIM_FLUSH", "1", 1);
                ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
                ::execl(QUEN_TOOL_BINARY, QUEN_TOOL_BINARY, "prepare", "--template", "t.xml",
                        "--from", "raw", "--wav-dir", "wav", nullptr);
            }
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(run * 5));
        ::kill(child, SIGTERM);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const bool signalled = WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
        EXPECT_TRUE(signalled || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        stopped += signalled ? 1 : 0;
        EXPECT_TRUE(temporaryFiles("wav").empty());
    }
    // Most runs were stopped part-way, or the test tells nothing.
    EXPECT_GE(stopped, 10);
}

// The program with the shim that forces named temporary files (or with `unnamed`, a
// link for each unnamed one) and finds `taken` names taken before each free one.
std::string withTakenNames(bool unnamed, int taken) {
    return std::string(unnamed ? "QUEN_SHIM_UNNAMED=1 " : "") +
           "QUEN_SHIM_FLUSH=1 QUEN_SHIM_TAKEN=" + std::to_string(taken) +
           " LD_PRELOAD=" QUEN_NAMED_TMPFILE_SHIM " ASAN_OPTIONS=verify_asan_link_order=0 " +
           QUEN_BINARY;
}

// Each temporary file leaves the list the signal handler removes once it is in place or
// given up, and so does each name found taken: a run of more files than the list holds,
// each after a taken name, converts every one it can, after more failures than the list
// holds (the first 150 greetings' data files are directories).
TEST_F(WriteSafetyTest, NamedTemporaryFilesAreForgottenOnceInPlace) {
    makeRecordings(300, 240);
    std::string attendants;
    for (std::size_t i = 0; i < 300; ++i) {
        attendants += attendant(std::to_string(i), greeting("menu", recording(i)));
    }
    writeText(path("t.xml"), configuration(attendants));
    for (const bool unnamed : {false, true}) {
        for (int i = 0; i < 150; ++i) {
            fs::create_directories(path("out/" + std::to_string(i) + "-MN_greeting.c23"));
            fs::create_directories(path("out/" + std::to_string(i) + "-MN_greeting.c11"));
        }
        EXPECT_EQ(shell(withTakenNames(unnamed, 1) + " /batch1:t.xml rec out log.txt"), 0);
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(path("out"))) {
            files += entry.is_regular_file() ? 1 : 0;
        }
        EXPECT_EQ(files, 300u) << readText(path("log.txt")).substr(0, 2000);  // both codecs
        EXPECT_TRUE(temporaryFiles("out").empty());
        fs::remove_all(path("out"));
        fs::create_directory(path("out"));
    }
}

// A hundred names are tried for a temporary file, or for the link that names an unnamed
// one, before the data file fails; nothing is left beside it. The file made gets 0666
// less the umask.
TEST_F(WriteSafetyTest, ATemporaryFileFindsAFreeNameAmongAHundred) {
    writeBytes(path("in.wav"), pcmWav(testSignal(800)));
    for (const bool unnamed : {false, true}) {
        for (const int taken : {99, 100}) {
            SCOPED_TRACE(std::to_string(unnamed) + " " + std::to_string(taken));
            const bool written = taken < 100;
            EXPECT_EQ(shell("umask 022 && " + withTakenNames(unnamed, taken) +
                            " /convert:in.wav Box Rec alaw out.c11 log.txt"),
                      written ? 0 : 255);
            EXPECT_EQ(
                readText(path("log.txt")),
                "Creating data file - \"out.c11\"\r\n" +
                    std::string(written ? "" : "Can't open file \"out.c11\", error = 1\n\r\n"));
            if (written) {
                EXPECT_EQ(fs::status(path("out.c11")).permissions(), static_cast<fs::perms>(0644));
            }
            EXPECT_EQ(fs::remove(path("out.c11")), written);
            EXPECT_TRUE(temporaryFiles().empty());
        }
    }
}

// Each way a system says it has no unnamed files leads to a named one.
TEST_F(WriteSafetyTest, EveryRefusalOfUnnamedFilesFallsBackToANamedOne) {
    writeBytes(path("in.wav"), pcmWav(testSignal(800)));
    for (const int error : {EOPNOTSUPP, EISDIR, EINVAL}) {
        SCOPED_TRACE(error);
        EXPECT_EQ(shell("QUEN_SHIM_UNNAMED_ERROR=" + std::to_string(error) + " " +
                        withTakenNames(false, 0) + " /convert:in.wav Box Rec alaw out.c11 log.txt"),
                  0);
        EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"out.c11\"\r\n");
        EXPECT_TRUE(fs::remove(path("out.c11")));
        EXPECT_TRUE(temporaryFiles().empty());
    }
}

// A file the signal handler could not remove is never named: with its list full, the
// replacement fails as out of files and the old file stays, with nothing beside it.
TEST_F(WriteSafetyTest, AFileTheSignalHandlerCannotTakeIsNotWritten) {
    writeText(path("out"), "old");
    std::vector<int> held;
    for (int registration = 0; registration >= 0;) {
        registration = addTemporaryFileToRemove(path("held").string());
        held.push_back(registration);
    }
    const Bytes bytes{1, 2, 3};
    const std::array<ByteSpan, 1> pieces{ByteSpan(bytes)};
    const auto replaced = replaceFileAtomically(path("out").string(), pieces);
    for (const int registration : held) {
        forgetTemporaryFile(registration);
    }
    EXPECT_EQ(held.size(), MAX_TEMPORARY_FILES + 1u);
    // Each forgotten slot is free again.
    for (int slot = 0; slot < MAX_TEMPORARY_FILES; ++slot) {
        EXPECT_EQ(addTemporaryFileToRemove(path("held").string()), slot);
    }
    for (int slot = 0; slot < MAX_TEMPORARY_FILES; ++slot) {
        forgetTemporaryFile(slot);
    }
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.failure().category, FailureCategory::TooManyOpenFiles);
    EXPECT_EQ(readText(path("out")), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir()), {}), 1);
}

}  // namespace
}  // namespace quen::test
