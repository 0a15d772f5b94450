// Nothing is measured here that inspect or check already measure: the page is built
// from their typed results. What only the page needs is added: the data files' ages
// against their recordings, the level against the target, and the recording's audio.
#include "quen/report/ReportBuilder.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <exception>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include "codec/Codec.h"
#include "dsp/Dither.h"
#include "dsp/SpeechLevel.h"
#include "media/MediaDecoder.h"
#include "platform/ByteOrder.h"
#include "platform/InputFile.h"
#include "quen/FailureText.h"
#include "quen/ShellCommand.h"
#include "quen/WaveformSvg.h"
#include "quen/inspect/InspectReport.h"
#include "quen/report/ReportProblems.h"
#include "wav/RiffLayout.h"
#include "wav/WavWriter.h"
#include "wav/WaveFormat.h"

namespace quen::tool {
namespace {

// A recording longer than this is played from its start only; an hour is far past
// any greeting and bounds the memory a hostile file can claim.
constexpr double MAX_RECORDING_SECONDS = 3600;
constexpr std::size_t MAX_RECORDING_SAMPLES =
    static_cast<std::size_t>(MAX_RECORDING_SECONDS * TELEPHONY_SAMPLE_RATE);
constexpr std::uint64_t MAX_ACCEPTED_RECORDING_BYTES =
    std::uint64_t{MAX_RECORDING_SAMPLES} * 2 + (1 << 20);
// The piece of audio copied or converted at a time.
constexpr std::size_t PIECE_BYTES = 1 << 20;

// One file the page shows, read and decoded once for every greeting that shows it.
struct ShownFile {
    bool recording = false;
    std::string path;
    std::string name;                       // as the page shows it; the path but for standard input
    const RecordingCheck* check = nullptr;  // of a recording
    std::string audioName;                  // its file's name beside the page
    // What reading it gave.
    std::optional<PlayerAudio> audio;
    std::string audioError;
    bool partial = false;
    InspectReport report;  // of a data file
    bool unreadable = false;
    std::string waveform;
};

// A data file as one greeting names it.
struct DataFileUse {
    std::string label;
    int mode = 0;  // none without a template
    std::string path;
    bool reached = false;
    bool exists = false;
    std::size_t shown = 0;
};

struct GreetingPlan {
    std::optional<std::size_t> recording;
    std::vector<DataFileUse> files;
};

// "g1", "g2", ...: the element id of the n-th greeting.
std::string anchorFor(std::size_t number) {
    std::string anchor(1, 'g');
    anchor += std::to_string(number);
    return anchor;
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

// What to do about a problem the template's check found, known by its words.
PageProblem checkProblem(const std::string& text, const GreetingCheck& greeting,
                         const std::string& checkCommand) {
    PageProblem problem{text, {}, {}, modesNamed(text), {}};
    if (text.find("refuses the recording") != std::string::npos && greeting.recording &&
        greeting.recording->fix) {
        problem.commands.push_back(*greeting.recording->fix);
    } else if (text.find("does not exist") != std::string::npos) {
        problem.advice = "put the recording there, or correct its RecordingName in the template";
    } else if (text.find("31 or more units") != std::string::npos) {
        problem.advice = "shorten the RecordingName to 30 units or fewer";
    } else if (text.find("writes the same data files") != std::string::npos) {
        problem.advice =
            "give one of the two greetings another id or attendant, so that each has data "
            "files of its own";
    } else {
        problem.commands.push_back(checkCommand);
    }
    return problem;
}

// One line per mode for the greetings a run never reaches, at the greeting that ends it,
// rather than one per greeting.
std::vector<PageProblem> runEnds(const TemplateCheck& check, const ReportView& page) {
    std::vector<PageProblem> ends;
    for (std::size_t m = 0; m < check.modes.size(); ++m) {
        std::optional<std::size_t> last;
        std::size_t unreached = 0;
        for (std::size_t i = 0; i < check.greetings.size(); ++i) {
            const std::vector<ModeNames>& modes = check.greetings[i].modes;
            if (m < modes.size() && modes[m].reached) {
                last = i;
            } else if (m < modes.size()) {
                ++unreached;
            }
        }
        // With none reached, the run stops before its first greeting, which is said.
        if (!last || unreached == 0) {
            continue;
        }
        const GreetingView& end = page.greetings[*last];
        const std::string mode = std::to_string(check.modes[m]);
        PageProblem& problem = ends.emplace_back();
        problem.text = "mode " + mode + ": the run ends at greeting " + std::to_string(*last + 1) +
                       " (" + (end.attendant.empty() ? "" : end.attendant + " / ") + end.title +
                       "); " + std::to_string(unreached) +
                       (unreached == 1 ? " greeting after it is" : " greetings after it are") +
                       " not reached";
        problem.advice = "mend that greeting's problem; the greetings after it follow";
        problem.modes = {check.modes[m]};
        problem.anchor = end.anchor;
    }
    mergeModes(ends);
    return ends;
}

std::string greetingTitle(const GreetingCheck& greeting) {
    const std::string& kind = greeting.kind;
    const std::string& name = greeting.recordingName;
    return greeting.id + (kind.empty() ? "" : " (" + kind + ")") + ": " +
           (name.empty() ? std::string("no recording") : name);
}

// Samples as the little-endian bytes of a WAV file, a piece at a time; on a
// little-endian machine they are those bytes already.
void appendSamples(AudioOutput& output, std::span<const std::int16_t> samples,
                   std::vector<std::uint8_t>& bytes) {
    if constexpr (std::endian::native == std::endian::little) {
        output.append(
            ByteSpan(reinterpret_cast<const std::uint8_t*>(samples.data()), samples.size_bytes()));
    } else {
        for (std::size_t at = 0; at < samples.size(); at += PIECE_BYTES / 2) {
            const std::size_t count = std::min(samples.size() - at, PIECE_BYTES / 2);
            bytes.resize(count * 2);
            for (std::size_t i = 0; i < count; ++i) {
                setLittleEndian16(std::span(bytes).subspan(i * 2, 2),
                                  static_cast<std::uint16_t>(samples[at + i]));
            }
            output.append(bytes);
        }
    }
}

// Runs `work(i)` for every i below `count` on every core; each file's reading and
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

// The codec and every packet's payload with its length: what a data file's decoded
// audio depends on, and nothing else.
std::string soundKey(const DataFileContents& contents) {
    std::string key(1, static_cast<char>(contents.codec));
    for (const auto payload : contents.payloads) {
        const auto length = static_cast<std::uint32_t>(payload.size());
        key.append(reinterpret_cast<const char*>(&length), sizeof length);
        key.append(reinterpret_cast<const char*>(payload.data()), payload.size());
    }
    return key;
}

}  // namespace

struct ReportGathering::Plan {
    ReportView page;
    std::optional<TemplateCheck> check;
    // What mends a template's problem: its check, and each mode's run again.
    std::string checkCommand;
    std::map<int, std::string> batchCommands;
    std::vector<GreetingPlan> greetings;
    std::vector<ShownFile> shown;
    std::map<std::tuple<bool, dev_t, ino_t>, std::size_t> byIdentity;
    std::set<FileKey> keys;
    // A decoded recording holds its samples whole: one at a time keeps memory to one
    // recording's, whatever the cores.
    std::mutex decodeTurn;
    // A greeting's data files of the two modes carry the same audio: it is decoded,
    // measured, drawn and placed once, under its codec and packets.
    struct SharedSound {
        KnownSound known;
        std::string waveform;
        std::optional<PlayerAudio> audio;
    };
    std::mutex soundsTurn;
    std::map<std::string, std::shared_future<SharedSound>> sounds;

    // The file shown at `path`, shared with every earlier use of the same file.
    std::size_t show(bool recording, const std::string& path, const std::string& name,
                     const RecordingCheck* check, const std::string& shownName = {}) {
        struct stat info {};
        const bool found = ::stat(path.c_str(), &info) == 0;
        if (found) {
            keys.insert(FileKey{info.st_dev, info.st_ino});
            const auto known = byIdentity.find({recording, info.st_dev, info.st_ino});
            if (known != byIdentity.end()) {
                return known->second;
            }
            byIdentity[{recording, info.st_dev, info.st_ino}] = shown.size();
        }
        ShownFile& file = shown.emplace_back();
        file.recording = recording;
        file.path = path;
        file.name = shownName.empty() ? path : shownName;
        file.check = check;
        file.audioName = name + ".wav";
        return shown.size() - 1;
    }

    void readRecording(ShownFile& file, std::size_t index, AudioStore& audio);
    bool copyAcceptedRecording(ShownFile& file, std::size_t index, AudioStore& audio);
    void readDataFile(ShownFile& file, std::size_t index, AudioStore& audio);
    void addRecording(GreetingView& view, const GreetingPlan& plan) const;
    void addDataFiles(GreetingView& view, const GreetingPlan& plan) const;
    void addVerdicts(GreetingView& view, const GreetingCheck& greeting) const;
};

// The summary's figures of one data file: the level furthest from the target and the
// highest peak of the greeting's files so far.
void addFigures(GreetingView& view, const InspectReport& report) {
    if (!view.seconds) {
        view.seconds = report.durationSeconds();
    }
    if (!report.sound) {
        return;
    }
    const SoundFigures figures = soundFigures(*report.sound);
    const auto offset = levelOffsetDb(report);
    if (offset &&
        (!view.levelDbm0 || *offset > std::fabs(*view.levelDbm0 - TELEPHONE_SPEECH_LEVEL_DBM0))) {
        view.levelDbm0 = figures.activeLevelDbm0;
    }
    if (figures.peakDbfs && (!view.peakDbfs || *figures.peakDbfs > *view.peakDbfs)) {
        view.peakDbfs = figures.peakDbfs;
    }
}

// An accepted recording is already 8 kHz 16-bit mono: its own bytes are played, copied
// a piece at a time, and its data chunk gives its length, read from the first piece.
// False when it cannot be copied that way.
bool ReportGathering::Plan::copyAcceptedRecording(ShownFile& file, std::size_t index,
                                                  AudioStore& audio) {
    if (!file.check->accepted) {
        return false;
    }
    auto input = InputFile::openRegular(file.path);
    if (!input || input->size() > MAX_ACCEPTED_RECORDING_BYTES) {
        return false;
    }
    const std::uint64_t size = input->size();
    std::vector<std::uint8_t> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(size, PIECE_BYTES)));
    if (!input->readAt(0, piece)) {
        return false;
    }
    const auto layout = readRiffLayout(piece);
    if (!layout || !layout->format || layout->format->byteRate == 0) {
        return false;
    }
    const auto data = std::find_if(layout->chunks.begin(), layout->chunks.end(),
                                   [](const RiffChunk& chunk) { return chunk.id == "data"; });
    if (data == layout->chunks.end() || data->offset + CHUNK_HEADER_BYTES > size) {
        return false;
    }
    const std::uint64_t dataBytes =
        std::min(data->length, size - data->offset - CHUNK_HEADER_BYTES);
    AudioOutput output = audio.start(index, size);
    output.append(piece);
    bool complete = true;
    for (std::uint64_t at = piece.size(); at < size && complete; at += piece.size()) {
        piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size - at, PIECE_BYTES)));
        complete = input->readAt(at, piece);
        output.append(piece);
    }
    if (audio.finish(std::move(output), complete)) {
        file.audio = PlayerAudio{index, static_cast<double>(dataBytes) / layout->format->byteRate};
    } else if (!complete) {
        file.audioError = "cannot be played: " + describeFailure(*input->failure());
    }
    return true;
}

// Anything but an accepted recording is decoded and resampled the way `quen prepare`
// reads it, and converted to 16 bits a block at a time as it is written.
void ReportGathering::Plan::readRecording(ShownFile& file, std::size_t index, AudioStore& audio) {
    if (copyAcceptedRecording(file, index, audio)) {
        return;
    }
    const std::lock_guard turn(decodeTurn);
    auto decoded = decodeForTelephony(file.path, MAX_RECORDING_SAMPLES);
    if (!decoded) {
        file.audioError = "cannot be played: " + decoded.failure().text;
        return;
    }
    file.partial = decoded->moreFollows;
    const std::size_t count = decoded->samples.size();
    const std::vector<std::uint8_t> header = wavHeader(count);
    AudioOutput output = audio.start(index, header.size() + std::uint64_t{count} * 2);
    output.append(header);
    Ditherer ditherer;
    std::vector<std::int16_t> samples;
    std::vector<std::uint8_t> bytes;
    decoded->samples.consume([&](std::span<const float> block) {
        samples.clear();
        ditherer.add(block, 1.0, samples);
        appendSamples(output, samples, bytes);
    });
    if (!header.empty() && audio.finish(std::move(output))) {
        file.audio = PlayerAudio{index, static_cast<double>(count) / TELEPHONY_SAMPLE_RATE};
    }
}

// Read as `quen inspect` reads it; its decoded audio is what callers hear. It is drawn
// and placed while it is measured.
void ReportGathering::Plan::readDataFile(ShownFile& file, std::size_t index, AudioStore& audio) {
    const auto drawAndPlace = [&](const DecodedAudio& decoded, const DataFileContents&) {
        // Drawn here, where every file has its own thread.
        file.waveform = waveformPlotSvg(decoded.samples, decoded.lowest, decoded.highest);
        const std::size_t count = decoded.samples.size();
        const std::vector<std::uint8_t> header = wavHeader(count);
        if (header.empty()) {
            return;
        }
        AudioOutput output = audio.start(index, header.size() + std::uint64_t{count} * 2);
        output.append(header);
        std::vector<std::uint8_t> bytes;
        appendSamples(output, decoded.samples, bytes);
        if (audio.finish(std::move(output))) {
            file.audio = PlayerAudio{index, static_cast<double>(count) / TELEPHONY_SAMPLE_RATE};
        }
    };
    // The first file of a sound makes it; any other waits for it and takes it.
    std::optional<std::promise<SharedSound>> making;
    const auto known = [&](const DataFileContents& contents) -> std::optional<KnownSound> {
        std::unique_lock lock(soundsTurn);
        const auto [at, fresh] = sounds.try_emplace(soundKey(contents));
        if (fresh) {
            at->second = making.emplace().get_future().share();
            return std::nullopt;
        }
        const std::shared_future<SharedSound> made = at->second;
        lock.unlock();
        const SharedSound& shared = made.get();
        file.waveform = shared.waveform;
        file.audio = shared.audio;
        return shared.known;
    };
    InspectedFile inspected = inspectDataFile(file.path, file.name, drawAndPlace, known);
    file.report = std::move(inspected.report);
    file.unreadable = inspected.unreadable;
    if (making) {
        making->set_value(SharedSound{
            KnownSound{file.report.sound, file.report.undecodableFrames, file.report.audioError},
            file.waveform, file.audio});
    }
}

void ReportGathering::Plan::addRecording(GreetingView& view, const GreetingPlan& plan) const {
    if (!plan.recording) {
        return;
    }
    const ShownFile& file = shown[*plan.recording];
    view.recording = *file.check;
    view.recordingDetails = view.recording->logLines;
    for (const std::string& cause : view.recording->causes) {
        view.recordingDetails.push_back("cause: " + cause);
    }
    if (view.recording->fix) {
        view.recordingDetails.push_back("fix: " + *view.recording->fix);
    }
    view.recordingAudio = file.audio;
    view.recordingAudioError = file.audioError;
    if (file.partial) {
        view.notes.push_back("the recording's player holds its first hour only");
    }
}

void ReportGathering::Plan::addDataFiles(GreetingView& view, const GreetingPlan& plan) const {
    const auto recordingTime = modified(view.recordingPath);
    // A recording missing or refused converts to nothing: its own problem says why, and
    // what to do; its missing data files would only repeat it.
    const bool converts = view.recording && view.recording->accepted;
    for (const DataFileUse& use : plan.files) {
        std::vector<PageProblem> fileProblems;
        DataFileView file;
        file.label = use.label;
        file.path = use.path;
        file.exists = use.exists;
        const std::string& convertAgain = batchCommands.at(use.mode);
        if (use.exists) {
            const ShownFile& shownFile = shown[use.shown];
            file.report = shownFile.report;
            file.waveform = shownFile.waveform;
            file.audio = shownFile.audio;
            fileProblems = dataFileProblems(file.report, use.label, convertAgain);
            addFigures(view, file.report);
        }
        if (!use.exists && converts) {
            fileProblems.push_back({use.label + ": the data file " + use.path + " is missing",
                                    {convertAgain},
                                    {},
                                    {},
                                    {}});
        } else if (const auto fileTime = modified(use.path);
                   use.exists && recordingTime && fileTime && earlier(*fileTime, *recordingTime)) {
            fileProblems.push_back(
                {use.label + ": the data file " + use.path + " is older than its recording",
                 {convertAgain},
                 {},
                 {},
                 {}});
        }
        // A greeting the run never reaches is told of once for the whole run.
        if (use.reached) {
            for (PageProblem& problem : fileProblems) {
                problem.modes = {use.mode};
                view.problems.push_back(std::move(problem));
            }
        }
        if (use.exists) {
            view.files.push_back(std::move(file));
        }
    }
    mergeModes(view.problems);
}

void ReportGathering::Plan::addVerdicts(GreetingView& view, const GreetingCheck& greeting) const {
    for (std::size_t m = 0; m < check->modes.size(); ++m) {
        const int mode = check->modes[m];
        if (greeting.skipped) {
            view.verdicts.emplace_back("skipped");
            continue;
        }
        if (m < greeting.modes.size() && !greeting.modes[m].reached) {
            view.verdicts.emplace_back("not reached");
            continue;
        }
        const auto count = std::count_if(
            view.problems.begin(), view.problems.end(), [mode](const PageProblem& problem) {
                return problem.modes.empty() ||
                       std::find(problem.modes.begin(), problem.modes.end(), mode) !=
                           problem.modes.end();
            });
        view.verdicts.push_back(count == 0   ? std::string("converts")
                                : count == 1 ? std::string("1 problem")
                                             : std::to_string(count) + " problems");
    }
}

ReportGathering::ReportGathering(std::unique_ptr<Plan> plan) : plan_(std::move(plan)) {}
ReportGathering::ReportGathering(ReportGathering&&) noexcept = default;
ReportGathering::~ReportGathering() = default;

ReportGathering ReportGathering::ofTemplate(const std::string& templatePath,
                                            const std::string& wavDirectory,
                                            const std::string& resultDirectory,
                                            std::optional<int> mode) {
    auto plan = std::make_unique<Plan>();
    const TemplateCheck& check =
        plan->check.emplace(checkTemplate(templatePath, wavDirectory, resultDirectory, mode));
    ReportView& page = plan->page;
    page.title = templatePath;
    page.subtitle = mode ? "batch mode " + std::to_string(*mode) : "batch modes 1 and 2";
    page.subtitle += "; recordings in " + wavDirectory + ", data files in " + resultDirectory;
    page.ofTemplate = true;
    for (const int checked : check.modes) {
        page.verdictHeadings.push_back("mode " + std::to_string(checked));
        plan->batchCommands[checked] =
            "QuenGreeting " + shellWord("/batch" + std::to_string(checked) + ":" + templatePath) +
            " " + shellWord(wavDirectory) + " " + shellWord(resultDirectory) + " log.txt";
    }
    plan->checkCommand = "quen check --template " + shellWord(templatePath) + " --wav-dir " +
                         shellWord(wavDirectory) + " --result-dir " + shellWord(resultDirectory) +
                         (mode ? " --mode " + std::to_string(*mode) : "");
    // A run that cannot start converts nothing, however the greetings below look; a
    // missing template has none to show at all.
    for (const std::string& line : check.operandFailure) {
        page.pageProblems.push_back({"the run stops before its first greeting: " + line,
                                     {},
                                     "name a template, a recordings directory and a data-file "
                                     "directory that are there",
                                     {},
                                     {}});
    }
    for (const std::string& line : check.loadFailure) {
        page.pageProblems.push_back({"the template cannot be read: " + line,
                                     {},
                                     "mend the template's XML at that place",
                                     {},
                                     {}});
    }
    if (check.structureError) {
        page.pageProblems.push_back(
            {"an attendant without AAName or a greeting without id or RecordingName ends every "
             "run there",
             {},
             "give every attendant an AAName, and every greeting an id and a RecordingName",
             {},
             {}});
    }
    for (const GreetingCheck& greeting : check.greetings) {
        GreetingView& view = page.greetings.emplace_back();
        view.anchor = anchorFor(page.greetings.size());
        view.attendant = greeting.attendant;
        view.title = greetingTitle(greeting);
        view.recordingPath = greeting.wavFile;
        view.id = greeting.id;
        view.kind = greeting.kind;
        view.recordingName = greeting.recordingName;
        // A greeting the run never reaches is told of once for the whole run.
        for (const std::string& text : greeting.problems) {
            if (!text.ends_with(": not reached, the run ended before")) {
                view.problems.push_back(checkProblem(text, greeting, plan->checkCommand));
            }
        }
        view.notes = greeting.warnings;
        GreetingPlan& greetingPlan = plan->greetings.emplace_back();
        if (greeting.recording) {
            greetingPlan.recording = plan->show(true, greeting.wavFile, view.anchor + "-recording",
                                                &*greeting.recording);
        }
        std::size_t number = 0;
        for (const ModeNames& names : greeting.modes) {
            if (names.endLine) {
                continue;
            }
            const std::string modeNumber = std::to_string(names.mode);
            for (const auto& [path, codec] :
                 {std::pair{names.g723File, "G.723.1"}, std::pair{names.g711File, "G.711"}}) {
                if (path.empty()) {
                    continue;
                }
                DataFileUse& use = greetingPlan.files.emplace_back();
                use.label = "mode " + modeNumber + ", " + codec;
                use.mode = names.mode;
                use.path = path;
                use.reached = names.reached;
                struct stat info {};
                use.exists = ::lstat(path.c_str(), &info) == 0;
                if (use.exists) {
                    use.shown = plan->show(
                        false, path, view.anchor + "-file" + std::to_string(++number), nullptr);
                }
            }
        }
    }
    const std::vector<PageProblem> ends = runEnds(check, page);
    page.pageProblems.insert(page.pageProblems.end(), ends.begin(), ends.end());
    return ReportGathering(std::move(plan));
}

ReportGathering ReportGathering::ofFiles(const std::vector<std::string>& files,
                                         const InputOperands& inputs) {
    auto plan = std::make_unique<Plan>();
    ReportView& page = plan->page;
    page.title = files.size() == 1 ? files.front() : std::to_string(files.size()) + " data files";
    page.verdictHeadings = {"verdict"};
    for (const std::string& name : files) {
        GreetingView& view = page.greetings.emplace_back();
        view.anchor = anchorFor(page.greetings.size());
        view.title = name;
        view.id = name;
        DataFileUse& use = plan->greetings.emplace_back().files.emplace_back();
        use.path = name;
        const std::string& path = inputs.path(name);
        struct stat info {};
        use.exists = ::lstat(path.c_str(), &info) == 0;
        if (use.exists) {
            use.shown = plan->show(false, path, view.anchor + "-file1", nullptr, name);
        }
    }
    return ReportGathering(std::move(plan));
}

std::set<FileKey> ReportGathering::shownFiles() const {
    return plan_->keys;
}

ReportView ReportGathering::build(AudioStore& audio) {
    Plan& plan = *plan_;
    for (const ShownFile& file : plan.shown) {
        audio.addSource(file.audioName);
    }
    forEachInParallel(plan.shown.size(), [&](std::size_t i) {
        ShownFile& file = plan.shown[i];
        if (file.recording) {
            plan.readRecording(file, i, audio);
        } else {
            plan.readDataFile(file, i, audio);
        }
    });
    ReportView page = std::move(plan.page);
    page.unreadableInput = plan.check && plan.check->unreadable;
    for (std::size_t i = 0; i < page.greetings.size(); ++i) {
        GreetingView& view = page.greetings[i];
        const GreetingPlan& greetingPlan = plan.greetings[i];
        if (!plan.check) {
            // Without a template: the data file is the whole section.
            const DataFileUse& use = greetingPlan.files.front();
            // The section is the file's: its problems need not name it again.
            if (!use.exists) {
                view.problems.push_back(
                    {"does not exist", {}, "name a data file that is there", {}, {}});
                view.verdicts = {"missing"};
                page.unreadableInput = true;
                continue;
            }
            const ShownFile& file = plan.shown[use.shown];
            page.unreadableInput = page.unreadableInput || file.unreadable;
            view.problems = dataFileProblems(file.report, "", "");
            if (!file.report.error) {
                view.kind = codecFacts(file.report.contents.codec).name;
                addFigures(view, file.report);
            }
            const std::size_t count = view.problems.size();
            view.verdicts = {count == 0   ? std::string("good")
                             : count == 1 ? std::string("1 problem")
                                          : std::to_string(count) + " problems"};
            view.files.push_back(
                DataFileView{"", use.path, true, file.report, file.waveform, file.audio});
            continue;
        }
        plan.addRecording(view, greetingPlan);
        if (view.recordingAudio) {
            view.seconds = view.recordingAudio->seconds;
        }
        plan.addDataFiles(view, greetingPlan);
        plan.addVerdicts(view, plan.check->greetings[i]);
    }
    return page;
}

}  // namespace quen::tool
