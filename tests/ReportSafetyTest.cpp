// What `quen report` writes, and where: each file shown has its audio written once, the
// page's path is judged before anything is written, the audio folder is written
// relative to the directory the run opened, and a termination signal leaves no
// temporary file behind.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/ProcessSetup.h"
#include "quen/report/ReportAudio.h"
#include "quen/report/ReportFolder.h"
#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t OTHER_USER = 4242;

// The names in a directory.
std::set<std::string> namesIn(const fs::path& directory) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class ReportSafety : public Quen {
  protected:
    // Past the 50 MB of audio a page holds inside: 52.8 MB.
    static constexpr std::size_t LONG_SECONDS = 3300;

    // rec/a.wav, `seconds` long, shown by `greetings` greetings of one attendant.
    void showOneRecording(std::size_t seconds, std::size_t greetings) {
        fs::create_directories(path("rec"));
        fs::create_directories(path("res"));
        writeBytes(path("rec/a.wav"), pcmWav(testSignal(seconds * 8000)));
        std::string list;
        for (std::size_t i = 1; i <= greetings; ++i) {
            list += greeting(std::to_string(i), "a.wav");
        }
        writeText(path("t.xml"), configuration(attendant("Desk", list)));
    }

    // `quen report -y` of the template to `page`, started in the directory; standard
    // output and error in files. With -y, so that what is refused is refused whatever
    // the user allowed.
    pid_t start(const std::string& page) const {
        const std::vector<std::string> arguments = {
            QUEN_TOOL_BINARY, "report", "-y", "--template", "t.xml", "--wav-dir", "rec",
            "--result-dir",   "res",    "-o", page};
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        const std::string directory = dir().string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int out =
                ::open((directory + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err =
                ::open((directory + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::chdir(directory.c_str()) == 0 && ::dup2(out, 1) == 1 && ::dup2(err, 2) == 2) {
                ::execv(QUEN_TOOL_BINARY, argv.data());
            }
            ::_exit(127);
        }
        return pid;
    }

    struct Ended {
        int status = 0;
        long peakKilobytes = 0;
    };
    static Ended wait(pid_t pid) {
        Ended ended;
        struct rusage usage {};
        EXPECT_EQ(::wait4(pid, &ended.status, 0, &usage), pid);
        ended.peakKilobytes = usage.ru_maxrss;
        return ended;
    }

    // The exit code of a run to `page`, which must end by itself.
    int report(const std::string& page) const {
        const Ended ended = wait(start(page));
        EXPECT_TRUE(WIFEXITED(ended.status));
        return WEXITSTATUS(ended.status);
    }
};

// One 55-minute recording (52.8 MB) shown by 20 greetings: past the 50 MB a page
// embeds, so the audio goes beside the page, in the page's own directory, as one file
// that every player links. Neither 20 copies nor the audio held whole for every
// greeting are ever in memory: the run's peak stays below the 20 greetings' audio.
TEST_F(ReportSafety, ARecordingShownByManyGreetingsIsWrittenOnce) {
    showOneRecording(LONG_SECONDS, 20);
    fs::create_directories(path("out"));
    const Ended ended = wait(start("out/page.html"));
    ASSERT_TRUE(WIFEXITED(ended.status));
    EXPECT_EQ(WEXITSTATUS(ended.status), 1) << readText(path("stderr.txt"));
    EXPECT_EQ(readText(path("stderr.txt")), "");
    EXPECT_TRUE(readText(path("stdout.txt")).ends_with("; audio in out/page-audio/\n"));
    EXPECT_EQ(namesIn(path("out/page-audio")),
              (std::set<std::string>{".audio-list", "g1-recording.wav"}));
    EXPECT_EQ(readBytes(path("out/page-audio/g1-recording.wav")), readBytes(path("rec/a.wav")));
    const std::string page = readText(path("out/page.html"));
    EXPECT_EQ(occurrences(page, "src=\"page-audio/g1-recording.wav\""), 20u);
    EXPECT_EQ(occurrences(page, "<audio "), 20u);
    EXPECT_EQ(page.find("data:audio"), std::string::npos);
    EXPECT_EQ(namesIn(path("out")), (std::set<std::string>{"page.html", "page-audio"}));
    const long audioKilobytes = static_cast<long>(fs::file_size(path("rec/a.wav")) / 1024);
    if (MEMORY_IS_MEASURED) {
        EXPECT_LT(ended.peakKilobytes, 20 * audioKilobytes);
    }
}

// Another user's link on the page's path, in a sticky world-writable directory, ends the
// run before anything is written: no audio through it or beside it.
TEST_F(ReportSafety, AnotherUsersLinkOnThePagesPathWritesNothing) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a link to another user";
    }
    showOneRecording(240, 20);
    fs::create_directories(path("sticky"));
    fs::permissions(path("sticky"), fs::perms::all | fs::perms::sticky_bit);
    fs::create_directories(path("private"));
    for (const auto& [link, target] : {std::pair{"sticky/page.html", "../private/page.html"},
                                       std::pair{"sticky/dir", "../private"}}) {
        fs::create_symlink(target, path(link));
        ASSERT_EQ(::lchown(path(link).c_str(), OTHER_USER, static_cast<gid_t>(-1)), 0);
    }
    for (const std::string page : {"sticky/page.html", "sticky/dir/page.html"}) {
        EXPECT_EQ(report(page), 2);
        EXPECT_TRUE(
            readText(path("stderr.txt")).starts_with("quen report: " + page + ": cannot write: "))
            << readText(path("stderr.txt"));
        EXPECT_EQ(namesIn(path("sticky")), (std::set<std::string>{"page.html", "dir"}));
        EXPECT_TRUE(fs::is_empty(path("private")));
    }
}

// An audio folder another user made in the folder's place could be emptied or filled
// by them after the page is written: it is not used.
TEST_F(ReportSafety, AnotherUsersDirectoryInPlaceOfTheAudioFolderIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a directory to another user";
    }
    showOneRecording(LONG_SECONDS, 1);
    fs::create_directories(path("page-audio"));
    ASSERT_EQ(::chown(path("page-audio").c_str(), OTHER_USER, static_cast<gid_t>(-1)), 0);
    EXPECT_EQ(report("page.html"), 2);
    EXPECT_EQ(readText(path("stderr.txt")),
              "quen report: page-audio: is another user's directory; the audio folder is not "
              "used\n");
    EXPECT_TRUE(fs::is_empty(path("page-audio")));
    EXPECT_FALSE(fs::exists(path("page.html")));
}

// The page is never written over a recording or a data file it shows, whatever name
// reaches it: the file's identity counts, not the path on the command line.
TEST_F(ReportSafety, ThePageIsNotWrittenOverAFileItShows) {
    showOneRecording(2, 1);
    ASSERT_EQ(run({"/batch1:t.xml", "rec", "res", "log.txt"}).exitCode, 0);
    ASSERT_FALSE(fs::is_empty(path("res")));
    const std::string dataFile = "res/" + *namesIn(path("res")).begin();
    ASSERT_EQ(shell("ln " + dataFile + " other.c11"), 0);
    const Bytes recording = readBytes(path("rec/a.wav"));
    const Bytes data = readBytes(path(dataFile));
    for (const std::string& page : {std::string("rec/a.wav"), dataFile, std::string("other.c11")}) {
        EXPECT_EQ(report(page), 2) << page;
        EXPECT_EQ(readText(path("stderr.txt")),
                  "quen report: " + page +
                      ": is a recording or a data file the page shows; the page is not written "
                      "over it\n");
        EXPECT_EQ(readBytes(path("rec/a.wav")), recording);
        EXPECT_EQ(readBytes(path(dataFile)), data);
    }
    EXPECT_EQ(namesIn(dir()), (std::set<std::string>{"rec", "res", "t.xml", "log.txt", "other.c11",
                                                     "stdout.txt", "stderr.txt"}));
}

// SIGTERM while a WAV file is being written into the audio folder: the program ends by
// the signal, and its temporary file goes with it. The signal is sent as soon as the
// temporary file appears; a run that wrote its file whole before the signal came is
// tried again.
TEST_F(ReportSafety, SigtermWhileAudioIsWrittenLeavesNoTemporaryFile) {
    showOneRecording(LONG_SECONDS, 2);
    bool caughtWriting = false;
    for (int attempt = 0; attempt < 5 && !caughtWriting; ++attempt) {
        fs::remove_all(path("page-audio"));
        fs::create_directories(path("page-audio"));
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, path("page-audio").c_str(), IN_CREATE), 0);
        const pid_t pid = start("page.html");
        // Readable once the program has ended, so that a run that never makes a
        // temporary file is not waited for.
        const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        ASSERT_GE(ended, 0);
        bool signalled = false;
        alignas(struct inotify_event) char events[4096];
        struct pollfd ready[] = {{watch, POLLIN, 0}, {ended, POLLIN, 0}};
        while (!signalled && ::poll(ready, 2, 60'000) > 0 && ready[1].revents == 0) {
            const ssize_t length = ::read(watch, events, sizeof events);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const struct inotify_event*>(events + at);
                if (event->len > 0 && std::string(event->name).ends_with(".part")) {
                    ::kill(pid, SIGTERM);
                    signalled = true;
                }
                at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
            }
        }
        ::close(ended);
        ::close(watch);
        const Ended end = wait(pid);
        ASSERT_TRUE(signalled) << "no temporary file appeared";
        ASSERT_TRUE(WIFSIGNALED(end.status)) << readText(path("stderr.txt"));
        EXPECT_EQ(WTERMSIG(end.status), SIGTERM);
        for (const std::string& name : namesIn(path("page-audio"))) {
            EXPECT_FALSE(name.ends_with(".part")) << name;
        }
        EXPECT_FALSE(fs::exists(path("page.html")));
        caughtWriting = !fs::exists(path("page-audio/g1-recording.wav"));
    }
    EXPECT_TRUE(caughtWriting) << "every run had written its audio before the signal came";
}

// The folder's pieces, without the program.
class AudioFolderTest : public TempDirTest {
  protected:
    tool::AudioFolder folder() const {
        return tool::AudioFolder(dir().string(), "page-audio", "page-audio", {}, true);
    }

    static void write(tool::AudioFileWriter& file, const std::string& text) {
        EXPECT_EQ(
            file.append(ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())),
            "");
    }
};

// The folder swapped for a link to another directory mid-run (as RENAME_EXCHANGE does
// in one step): the file being written and every later one still land in the folder the
// run made, and nothing reaches the link's directory.
TEST_F(AudioFolderTest, AFolderSwappedForALinkMidRunReceivesNothingThroughTheLink) {
    tool::AudioFolder audio = folder();
    ASSERT_EQ(audio.open(), "");
    std::string error;
    tool::AudioFileWriter first = audio.create("a.wav", error);
    ASSERT_EQ(error, "");
    write(first, "first");
    fs::create_directories(path("elsewhere"));
    fs::create_symlink("elsewhere", path("swap"));
    ASSERT_EQ(::renameat2(AT_FDCWD, path("page-audio").c_str(), AT_FDCWD, path("swap").c_str(),
                          RENAME_EXCHANGE),
              0);
    EXPECT_EQ(first.commit(), "");
    tool::AudioFileWriter second = audio.create("b.wav", error);
    ASSERT_EQ(error, "");
    write(second, "second");
    EXPECT_EQ(second.commit(), "");
    EXPECT_TRUE(fs::is_empty(path("elsewhere")));
    EXPECT_EQ(namesIn(path("swap")), (std::set<std::string>{"a.wav", "b.wav"}));
    EXPECT_EQ(readText(path("swap/b.wav")), "second");
}

// A file the signal handler could not remove is not begun: with its list full, the
// folder refuses it in words and holds nothing of it.
TEST_F(AudioFolderTest, AFileTheSignalHandlerCannotTakeIsNotBegun) {
    tool::AudioFolder audio = folder();
    ASSERT_EQ(audio.open(), "");
    std::vector<int> held;
    for (int registration = 0; registration >= 0;) {
        registration = addTemporaryFileToRemove(path("held").string());
        held.push_back(registration);
    }
    std::string error;
    tool::AudioFileWriter file = audio.create("a.wav", error);
    for (const int registration : held) {
        forgetTemporaryFile(registration);
    }
    EXPECT_EQ(error, "page-audio/a.wav.part: not written: too many files at once");
    EXPECT_FALSE(file.valid());
    EXPECT_TRUE(fs::is_empty(path("page-audio")));
}

// A file dropped unfinished leaves nothing; a finished one is not renamed over a file
// the page shows.
TEST_F(AudioFolderTest, NoTemporaryFileStaysAndNoShownFileIsReplaced) {
    fs::create_directories(path("page-audio"));
    writeText(path("page-audio/shown.wav"), "recording");
    struct stat shown {};
    ASSERT_EQ(::stat(path("page-audio/shown.wav").c_str(), &shown), 0);
    tool::AudioFolder audio(dir().string(), "page-audio", "page-audio",
                            {{shown.st_dev, shown.st_ino}}, true);
    ASSERT_EQ(audio.open(), "");
    std::string error;
    {
        tool::AudioFileWriter dropped = audio.create("a.wav", error);
        write(dropped, "unfinished");
        EXPECT_TRUE(fs::exists(path("page-audio/a.wav.part")));
    }
    tool::AudioFileWriter over = audio.create("shown.wav", error);
    write(over, "audio");
    EXPECT_EQ(over.commit(), "page-audio/shown.wav: is a file the page shows; not written over");
    EXPECT_EQ(namesIn(path("page-audio")), std::set<std::string>{"shown.wav"});
    EXPECT_EQ(readText(path("page-audio/shown.wav")), "recording");
}

// Audio is held for the page only while all of it may still be embedded, each distinct
// audio counted and kept once; once it may not, what was held goes to its file and is
// released. Past the total limit the store refuses, and what the run wrote is removed.
TEST_F(AudioFolderTest, AudioIsKeptOnceByContentUpToTheEmbeddingLimitAndRefusedPastTheTotal) {
    tool::AudioStore store(folder(), 130, 250);
    const std::size_t a = store.addSource("a.wav");
    const std::size_t sameAsA = store.addSource("same.wav");
    const std::size_t b = store.addSource("b.wav");
    const std::size_t sameAsB = store.addSource("again.wav");
    const std::size_t sizeOfA = store.addSource("other.wav");
    const std::size_t c = store.addSource("c.wav");
    const auto give = [&store](std::size_t source, std::size_t bytes, char fill) {
        tool::AudioOutput output = store.start(source, bytes);
        // In pieces cut differently each time: the key is the bytes'.
        const std::vector<std::uint8_t> all(bytes, static_cast<std::uint8_t>(fill));
        for (std::size_t at = 0; at < bytes; at += 7 + source) {
            output.append(ByteSpan(all).subspan(at, std::min<std::size_t>(7 + source, bytes - at)));
        }
        return store.finish(std::move(output));
    };
    EXPECT_TRUE(give(a, 60, 'x'));
    EXPECT_TRUE(store.embedded());
    EXPECT_EQ(store.bytes(a).size(), 60u);
    // The same 60 bytes again: counted once when known, so that 60 + 71 passes 130, not
    // 60 + 60 + 71.
    EXPECT_TRUE(give(sameAsA, 60, 'x'));
    EXPECT_EQ(store.played(sameAsA), a);
    EXPECT_EQ(store.played(a), a);
    EXPECT_EQ(&store.bytes(sameAsA), &store.bytes(a));
    EXPECT_TRUE(store.embedded());
    EXPECT_FALSE(fs::exists(path("page-audio")));
    EXPECT_TRUE(give(b, 71, 'y'));
    EXPECT_FALSE(store.embedded());
    EXPECT_TRUE(store.bytes(a).empty());
    EXPECT_EQ(namesIn(path("page-audio")), (std::set<std::string>{"a.wav", "b.wav"}));
    EXPECT_EQ(fs::file_size(path("page-audio/a.wav")), 60u);
    EXPECT_EQ(store.url(sameAsA), "page-audio/a.wav");
    // Files too: the copy is compared with the file written and dropped.
    EXPECT_TRUE(give(sameAsB, 71, 'y'));
    EXPECT_EQ(store.url(sameAsB), "page-audio/b.wav");
    // As long as a, but other bytes: a file of its own.
    EXPECT_TRUE(give(sizeOfA, 60, 'z'));
    EXPECT_EQ(store.played(sizeOfA), sizeOfA);
    EXPECT_EQ(namesIn(path("page-audio")), (std::set<std::string>{"a.wav", "b.wav", "other.wav"}));
    EXPECT_EQ(readText(path("page-audio/other.wav")), std::string(60, 'z'));
    // 60 + 71 + 60 + 90 passes 250.
    EXPECT_FALSE(give(c, 90, 'w'));
    EXPECT_EQ(store.failure(),
              "page-audio: the page's audio passes the limit of 250 bytes of WAV files; no page "
              "is written");
    EXPECT_FALSE(fs::exists(path("page-audio/c.wav")));
    store.removeWritten();
    EXPECT_FALSE(fs::exists(path("page-audio")));
}

// Workers finish in any order: audio begun while the page could still hold it, and
// ended after another's passed the limit, goes to its own file whole.
TEST_F(AudioFolderTest, AudioBegunBeforeTheLimitWasPassedGoesToItsFileWhenItEnds) {
    tool::AudioStore store(folder(), 100, 1000);
    const std::size_t early = store.addSource("early.wav");
    const std::size_t late = store.addSource("late.wav");
    const std::vector<std::uint8_t> earlyBytes(60, 'e');
    const std::vector<std::uint8_t> lateBytes(70, 'l');
    tool::AudioOutput first = store.start(early, earlyBytes.size());
    first.append(earlyBytes);
    tool::AudioOutput second = store.start(late, lateBytes.size());
    second.append(lateBytes);
    EXPECT_TRUE(store.finish(std::move(second)));
    EXPECT_TRUE(store.finish(std::move(first)));
    EXPECT_EQ(store.failure(), "");
    EXPECT_EQ(namesIn(path("page-audio")), (std::set<std::string>{"early.wav", "late.wav"}));
    EXPECT_EQ(readText(path("page-audio/early.wav")), std::string(60, 'e'));
    EXPECT_EQ(store.url(early), "page-audio/early.wav");
    EXPECT_TRUE(store.bytes(early).empty());
}

// What an earlier run of the same page listed goes, and only that: a link in the
// folder is not followed, a name that leaves the folder is not used, a file the run
// did not list and a file the page shows stay, and so does the folder that holds them.
TEST_F(AudioFolderTest, AnEarlierRunsAudioIsRemovedAndNothingElse) {
    fs::create_directories(path("page-audio/inner"));
    for (const char* name : {"g1.wav", "g2.wav", "foreign.txt", "shown.wav", "inner/g3.wav"}) {
        writeText(path("page-audio") / name, name);
    }
    writeText(path("outside.wav"), "outside");
    fs::create_symlink("../outside.wav", path("page-audio/link.wav"));
    writeText(path("page-audio/.audio-list"),
              "audio of the page page.html\ng1.wav\ng2.wav\nlink.wav\n../outside.wav\n"
              "inner/g3.wav\nshown.wav\n.audio-list\ninner\n");
    struct stat shown {};
    ASSERT_EQ(::stat(path("page-audio/shown.wav").c_str(), &shown), 0);
    const auto store = [&] {
        return tool::AudioStore(tool::AudioFolder(dir().string(), "page-audio", "page-audio",
                                                  {{shown.st_dev, shown.st_ino}}, true));
    };
    // Another page's list is not this page's.
    EXPECT_EQ(store().finishPage("other.html"), "");
    EXPECT_EQ(namesIn(path("page-audio")).size(), 7u);

    EXPECT_EQ(store().finishPage("page.html"), "");
    EXPECT_EQ(namesIn(path("page-audio")),
              (std::set<std::string>{"foreign.txt", "inner", "link.wav", "shown.wav"}));
    EXPECT_EQ(readText(path("outside.wav")), "outside");
    EXPECT_EQ(readText(path("page-audio/inner/g3.wav")), "inner/g3.wav");
    EXPECT_TRUE(fs::is_symlink(path("page-audio/link.wav")));
}

// Audio inside the page: the earlier run's folder goes whole when only its audio was in
// it. A link named like the folder is not followed, whatever it leads to.
TEST_F(AudioFolderTest, AnEarlierRunsFolderGoesButALinkInItsPlaceIsNotFollowed) {
    const std::string list = "audio of the page page.html\ng1.wav\n";
    fs::create_directories(path("real"));
    writeText(path("real/g1.wav"), "audio");
    writeText(path("real/.audio-list"), list);
    fs::create_symlink("real", path("page-audio"));
    tool::AudioStore linked(folder());
    EXPECT_EQ(linked.finishPage("page.html"), "");
    EXPECT_EQ(namesIn(path("real")), (std::set<std::string>{".audio-list", "g1.wav"}));
    EXPECT_TRUE(fs::is_symlink(path("page-audio")));

    fs::remove(path("page-audio"));
    fs::rename(path("real"), path("page-audio"));
    tool::AudioStore store(folder());
    EXPECT_EQ(store.finishPage("page.html"), "");
    EXPECT_FALSE(fs::exists(path("page-audio")));
}

// Audio in the folder: this run's files are listed for the next run, and the earlier
// run's that this one did not write are removed.
TEST_F(AudioFolderTest, ARunInTheFolderListsItsOwnAndRemovesTheRest) {
    fs::create_directories(path("page-audio"));
    writeText(path("page-audio/old.wav"), "old");
    writeText(path("page-audio/.audio-list"), "audio of the page page.html\nold.wav\na.wav\n");
    tool::AudioStore store(folder(), 0, 100);
    const std::size_t a = store.addSource("a.wav");
    tool::AudioOutput output = store.start(a, 3);
    output.append(std::vector<std::uint8_t>(3, 'x'));
    ASSERT_TRUE(store.finish(std::move(output)));
    EXPECT_EQ(store.finishPage("page.html"), "");
    EXPECT_EQ(namesIn(path("page-audio")), (std::set<std::string>{".audio-list", "a.wav"}));
    EXPECT_EQ(readText(path("page-audio/.audio-list")), "audio of the page page.html\na.wav\n");
}

// Without -y a folder that is there is not taken, and not touched; one the run makes
// needs no -y.
TEST_F(AudioFolderTest, AFolderThatIsThereIsTakenOnlyWhenItMayBeReplaced) {
    fs::create_directories(path("page-audio"));
    writeText(path("page-audio/g1.wav"), "earlier");
    tool::AudioFolder kept(dir().string(), "page-audio", "page-audio", {}, false);
    EXPECT_EQ(kept.open(), "page-audio: exists already; give -y (--overwrite) to replace it");
    EXPECT_FALSE(kept.isOpen());
    kept.removeIfMade();
    EXPECT_EQ(readText(path("page-audio/g1.wav")), "earlier");
    tool::AudioFolder made(dir().string(), "new-audio", "new-audio", {}, false);
    EXPECT_EQ(made.open(), "");
    EXPECT_TRUE(made.isOpen());
}

// A folder that was there before the run stays, emptied of what the run wrote only; a
// folder name that is not plain is percent-encoded in the page's links.
TEST_F(AudioFolderTest, AFolderThatWasThereStaysAndItsNameIsEncodedInLinks) {
    fs::create_directories(path("my page-audio"));
    tool::AudioStore store(
        tool::AudioFolder(dir().string(), "my page-audio", "my page-audio", {}, true), 0, 10);
    const std::size_t a = store.addSource("a.wav");
    const std::size_t b = store.addSource("b.wav");
    tool::AudioOutput output = store.start(a, 10);
    output.append(std::vector<std::uint8_t>(10, 'x'));
    EXPECT_TRUE(store.finish(std::move(output)));
    EXPECT_EQ(store.url(a), "my%20page-audio/a.wav");
    EXPECT_FALSE(store.finish(store.start(b, 1)));
    store.removeWritten();
    EXPECT_TRUE(fs::is_empty(path("my page-audio")));
}

}  // namespace
}  // namespace quen::test
