// What one `quen report` page shows, gathered before a byte of it is written: the
// greetings in order, each with its recording, its data files and its problems.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "quen/check/RecordingCheck.h"
#include "quen/inspect/InspectReport.h"
#include "quen/report/ReportProblems.h"

namespace quen::tool {

// One player's audio: which of the page's audio sources it plays (8 kHz 16-bit mono
// WAV, kept by the AudioStore), and its length.
struct PlayerAudio {
    std::size_t source = 0;
    double seconds = 0;
};

struct DataFileView {
    std::string label;  // "mode 1, G.723.1", or empty without a template
    std::string path;
    bool exists = false;
    InspectReport report;  // `quen inspect`'s report, when it exists
    std::string waveform;  // the plot of its decoded audio, inline SVG; the page labels it
    std::optional<PlayerAudio> audio;
};

struct GreetingView {
    std::string anchor;  // the element id, "g1", "g2", ...
    std::string attendant;
    std::string title;
    std::string recordingPath;                // empty without a template
    std::optional<RecordingCheck> recording;  // the check's verdict on it, when it exists
    std::optional<PlayerAudio> recordingAudio;
    std::string recordingAudioError;  // why there is no recording player
    std::vector<std::string> recordingDetails;
    std::vector<DataFileView> files;
    std::vector<PageProblem> problems;
    std::vector<std::string> notes;
    // For the summary: the greeting's id, its kind (or the file's codec), the length
    // heard, the level of the data file furthest from the target, and the highest peak.
    std::string id;  // the template's; the file's name without a template
    std::string kind;
    std::string recordingName;
    std::optional<double> seconds;
    std::optional<double> levelDbm0;
    std::optional<double> peakDbfs;
    // One verdict per column of ReportView::verdictHeadings: "converts", "2 problems",
    // "not reached", ...
    std::vector<std::string> verdicts;
};

struct ReportView {
    std::string title;
    std::string subtitle;
    std::vector<PageProblem> pageProblems;  // about the whole template
    std::vector<GreetingView> greetings;
    bool ofTemplate = false;
    std::vector<std::string> verdictHeadings;  // "mode 1", "mode 2"; "verdict" for files
    // A file or directory named on the command line could not be got at: the page says
    // why, and the run is trouble rather than a finding.
    bool unreadableInput = false;
};

}  // namespace quen::tool
