// What one `quen report` page shows, gathered before a byte of it is written: the
// greetings in order, each with its recording, its data files and its problems.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "quen/check/RecordingCheck.h"
#include "quen/inspect/InspectReport.h"

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
    std::string waveform;  // the picture of its decoded audio, inline SVG
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
    std::vector<std::string> problems;
    std::vector<std::string> notes;
    // The largest distance of a data file's level from the target, for sorting.
    std::optional<double> levelOffsetDb;
};

struct ReportView {
    std::string title;
    std::string subtitle;
    std::vector<std::string> pageProblems;  // about the whole template
    std::vector<GreetingView> greetings;
    // A file or directory named on the command line could not be got at: the page says
    // why, and the run is trouble rather than a finding.
    bool unreadableInput = false;
};

}  // namespace quen::tool
