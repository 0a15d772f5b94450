// Nothing is measured here that inspect or check already measure: the page is built
// from their typed results. What only the page needs is added: the data files' ages
// against their recordings, the level against the target, and the recording's audio.
#include "quen/report/ReportBuilder.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "dsp/Dither.h"
#include "media/MediaDecoder.h"
#include "platform/RegularFileReader.h"
#include "quen/WaveformSvg.h"
#include "quen/check/TemplateCheck.h"
#include "quen/inspect/InspectReport.h"
#include "quen/report/ReportProblems.h"
#include "wav/RiffLayout.h"
#include "wav/WavWriter.h"

namespace quen::tool {
namespace {

// A recording longer than this is played from its start only; an hour is far past
// any greeting and bounds the memory a hostile file can claim.
constexpr double MAX_RECORDING_SECONDS = 3600;
constexpr std::size_t WAV_SAMPLE_BYTES = 2;

std::optional<PlayerAudio> playerAudio(std::span<const std::int16_t> samples) {
    std::vector<std::uint8_t> image = wavImage(samples);
    if (image.empty()) {
        return std::nullopt;
    }
    return PlayerAudio{std::move(image),
                       static_cast<double>(samples.size()) / TELEPHONY_SAMPLE_RATE};
}

// An accepted recording is already 8 kHz 16-bit mono: its own bytes are played, and
// its data chunk gives its length. Anything else is decoded and resampled the way
// `quen prepare` reads it.
void addRecordingAudio(GreetingView& view) {
    if (view.recording->accepted) {
        auto file =
            readRegularFile(view.recordingPath,
                            static_cast<std::uint64_t>(MAX_RECORDING_SECONDS *
                                                       TELEPHONY_SAMPLE_RATE * WAV_SAMPLE_BYTES) +
                                (1 << 20));
        const auto layout = file ? readRiffLayout(*file) : std::nullopt;
        if (layout && layout->format && layout->format->byteRate > 0 && layout->dataLength) {
            const double seconds =
                static_cast<double>(*layout->dataLength) / layout->format->byteRate;
            view.recordingAudio = PlayerAudio{std::move(*file), seconds};
            return;
        }
    }
    auto decoded =
        decodeForTelephony(view.recordingPath,
                           static_cast<std::size_t>(MAX_RECORDING_SECONDS * TELEPHONY_SAMPLE_RATE));
    if (!decoded) {
        view.recordingAudioError = "cannot be played: " + decoded.failure().text;
        return;
    }
    if (decoded->moreFollows) {
        view.notes.push_back("the recording's player holds its first hour only");
    }
    const std::vector<std::int16_t> samples = ditherTo16Bit(std::move(decoded->samples));
    view.recordingAudio = playerAudio(samples);
}

std::optional<struct timespec> modified(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return info.st_mtim;
}

bool earlier(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Reads the data file as `quen inspect` does and lists what is wrong with it as a
// caller would hear it. `where` starts each problem ("mode 1: ", or nothing).
DataFileView inspectView(const std::string& path, const std::string& label,
                         const std::string& where, std::vector<std::string>& problems,
                         std::optional<double>& levelOffset) {
    DataFileView view;
    view.label = label;
    view.path = path;
    struct stat info {};
    view.exists = ::lstat(path.c_str(), &info) == 0;
    if (!view.exists) {
        return view;
    }
    InspectedFile inspected = inspectDataFile(path);
    view.report = std::move(inspected.report);
    const std::vector<std::string> found = dataFileProblems(view.report, where + path);
    problems.insert(problems.end(), found.begin(), found.end());
    if (const auto offset = levelOffsetDb(view.report)) {
        levelOffset = std::max(levelOffset.value_or(0.0), *offset);
    }
    if (!inspected.audio) {
        return view;
    }
    const DecodedAudio& audio = *inspected.audio;
    view.audio = playerAudio(audio.samples);
    // Drawn here, where every greeting has its own thread, without the XML
    // declaration a stand-alone picture starts with.
    view.waveform = waveformSvg(audio.samples, audio.lowest, audio.highest, path);
    if (view.waveform.starts_with("<?xml")) {
        view.waveform.erase(0, view.waveform.find('\n') + 1);
    }
    return view;
}

std::string greetingTitle(const GreetingCheck& greeting) {
    const std::string& kind = greeting.kind;
    const std::string& name = greeting.recordingName;
    return greeting.id + (kind.empty() ? "" : " (" + kind + ")") + ": " +
           (name.empty() ? std::string("no recording") : name);
}

void addDataFiles(GreetingView& view, const GreetingCheck& greeting) {
    const auto recordingTime = modified(view.recordingPath);
    for (const ModeNames& mode : greeting.modes) {
        if (mode.endLine) {
            continue;
        }
        const std::string number = std::to_string(mode.mode);
        const bool reached = mode.reached;
        for (const auto& [path, codec] :
             {std::pair{mode.g723File, "G.723.1"}, std::pair{mode.g711File, "G.711"}}) {
            if (path.empty()) {
                continue;
            }
            const std::string where = "mode " + number + ": ";
            std::vector<std::string> fileProblems;
            DataFileView file = inspectView(path, "mode " + number + ", " + codec, where,
                                            fileProblems, view.levelOffsetDb);
            // A greeting the run never reaches has its own problem already.
            if (!reached) {
                fileProblems.clear();
            } else if (!file.exists) {
                fileProblems.push_back(where + "the data file " + path + " is missing");
            } else if (const auto fileTime = modified(path);
                       recordingTime && fileTime && earlier(*fileTime, *recordingTime)) {
                fileProblems.push_back(where + "the data file " + path +
                                       " is older than its recording");
            }
            view.problems.insert(view.problems.end(), fileProblems.begin(), fileProblems.end());
            if (file.exists) {
                view.files.push_back(std::move(file));
            }
        }
    }
}

void addRecording(GreetingView& view, const GreetingCheck& greeting) {
    view.recording = greeting.recording;
    if (!view.recording) {
        return;
    }
    view.recordingDetails = view.recording->logLines;
    for (const std::string& cause : view.recording->causes) {
        view.recordingDetails.push_back("cause: " + cause);
    }
    if (view.recording->fix) {
        view.recordingDetails.push_back("fix: " + *view.recording->fix);
    }
    addRecordingAudio(view);
}

// Runs `work(i)` for every i below `count` on every core; each greeting's reading and
// decoding is independent of the others'. The first exception a worker met is thrown
// here, once all have stopped.
template <typename Work>
void forEachInParallel(std::size_t count, const Work& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto worker = [&] {
        try {
            for (std::size_t i = next++; i < count; i = next++) {
                work(i);
            }
        } catch (...) {
            const std::lock_guard lock(failureLock);
            failure = failure ? failure : std::current_exception();
            next = count;
        }
    };
    const std::size_t threads =
        std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::jthread> pool;
    for (std::size_t t = 1; t < threads; ++t) {
        pool.emplace_back(worker);
    }
    worker();
    pool.clear();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

// "g1", "g2", ...: the element id of the n-th greeting.
std::string anchorFor(std::size_t number) {
    std::string anchor(1, 'g');
    anchor += std::to_string(number);
    return anchor;
}

}  // namespace

ReportView templateReport(const std::string& templatePath, const std::string& wavDirectory,
                          const std::string& resultDirectory, std::optional<int> mode) {
    const TemplateCheck check = checkTemplate(templatePath, wavDirectory, resultDirectory, mode);
    ReportView page;
    page.title = templatePath;
    page.subtitle = mode ? "batch mode " + std::to_string(*mode) : "batch modes 1 and 2";
    page.subtitle += "; recordings in " + wavDirectory + ", data files in " + resultDirectory;
    // A run that cannot start converts nothing, however the greetings below look; a
    // missing template has none to show at all.
    for (const std::string& line : check.operandFailure) {
        page.pageProblems.push_back("the run stops before its first greeting: " + line);
    }
    for (const std::string& line : check.loadFailure) {
        page.pageProblems.push_back("the template cannot be read: " + line);
    }
    if (check.structureError) {
        page.pageProblems.push_back(
            "an attendant without AAName or a greeting without id or RecordingName ends every "
            "run there");
    }
    const std::vector<GreetingCheck>& greetings = check.greetings;
    for (const GreetingCheck& greeting : greetings) {
        GreetingView& view = page.greetings.emplace_back();
        view.anchor = anchorFor(page.greetings.size());
        view.attendant = greeting.attendant;
        view.title = greetingTitle(greeting);
        view.recordingPath = greeting.wavFile;
        view.problems = greeting.problems;
        view.notes = greeting.warnings;
    }
    forEachInParallel(page.greetings.size(), [&](std::size_t i) {
        addRecording(page.greetings[i], greetings[i]);
        addDataFiles(page.greetings[i], greetings[i]);
    });
    return page;
}

ReportView filesReport(const std::vector<std::string>& files) {
    ReportView page;
    page.title = files.size() == 1 ? files.front() : std::to_string(files.size()) + " data files";
    for (const std::string& path : files) {
        GreetingView& view = page.greetings.emplace_back();
        view.anchor = anchorFor(page.greetings.size());
        view.title = path;
    }
    forEachInParallel(files.size(), [&](std::size_t i) {
        GreetingView& view = page.greetings[i];
        const std::string& path = files[i];
        DataFileView file = inspectView(path, "", "", view.problems, view.levelOffsetDb);
        if (!file.exists) {
            view.problems.push_back(path + " does not exist");
        } else {
            view.files.push_back(std::move(file));
        }
    });
    return page;
}

}  // namespace quen::tool
