// The sound side of `quen prepare`: from telephone-rate float samples to the 16-bit
// samples of a recording QuenGreeting takes, levelled to an active speech level (or a
// loudness), its true peak held under a ceiling by the limiter, optionally trimmed of
// silence and cut to a maximum length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "dsp/SampleBlocks.h"
#include "dsp/SpeechLevel.h"

namespace quen {

constexpr double DEFAULT_TARGET_DBM0 = TELEPHONE_SPEECH_LEVEL_DBM0;
// Integrated loudness for --loudness without a value of its own.
constexpr double DEFAULT_TARGET_LUFS = -18.0;
// The lowest targets taken: anything quieter is lost in a telephone line's noise.
constexpr double MIN_TARGET_DBM0 = -60.0;
constexpr double MIN_TARGET_LUFS = -70.0;
// Room above the true peak for what a lossy codec adds: G.723.1 overshoots a waveform
// that reaches full scale.
constexpr double DEFAULT_CEILING_DBFS = -3.0;
// The level target is reached to within this; the limiter takes some of a gain away.
constexpr double LEVEL_TOLERANCE_DB = 0.05;
// Trimming keeps this much of the silence before and after the sound.
constexpr double TRIM_MARGIN_SECONDS = 0.2;
// A cut made by a maximum length fades out over this time instead of clicking.
constexpr double CUT_FADE_SECONDS = 0.02;
// The most that is ever read of a recording, far above any greeting or message: a
// file that claims or holds more costs no more than this.
constexpr double MAX_PREPARED_SECONDS = 4 * 3600.0;

enum class LevelTarget {
    SPEECH_LEVEL,  // active speech level, dBm0
    LOUDNESS,      // integrated loudness, LUFS
    NONE,          // keep the level
};

struct PrepareOptions {
    LevelTarget target = LevelTarget::SPEECH_LEVEL;
    double targetDbm0 = DEFAULT_TARGET_DBM0;
    double targetLufs = DEFAULT_TARGET_LUFS;
    double ceilingDbfs = DEFAULT_CEILING_DBFS;
    bool trimSilence = false;
    std::optional<double> maxSeconds;
};

// What was measured of a recording: before the gain, or as written.
struct RecordingLevels {
    SpeechLevel speech;
    std::optional<double> loudnessLufs;  // empty for silence
    double samplePeakDbfs = 0.0;         // minus infinity for silence
    std::optional<double> truePeakDbfs;
};

struct PreparedRecording {
    std::vector<std::int16_t> samples;
    // After DC removal, before the gain; the peaks are the source's, given by the caller.
    RecordingLevels input;
    RecordingLevels output;  // the samples written, from measureOutput
    double gainDb = 0.0;
    // The deepest the limiter went below the gain (0 or negative).
    double limiterReductionDb = 0.0;
    bool silent = false;             // nothing to level
    std::size_t trimmedLeading = 0;  // samples
    std::size_t trimmedTrailing = 0;
    std::size_t cutAtEnd = 0;  // samples dropped by the maximum length
};

// The first stage, which needs no sample after the one it is given: DC removed in
// place and the input's levels measured, the true peak too, which tells whether the
// limiter has work. It can run on the samples as they are decoded, while the rest is
// decoded on another core.
class InputStage {
  public:
    InputStage();
    ~InputStage();
    InputStage(const InputStage&) = delete;
    InputStage& operator=(const InputStage&) = delete;

    void process(std::span<float> samples);
    RecordingLevels result() const;
    double truePeakDbfs() const;

  private:
    struct Meters;
    std::unique_ptr<Meters> meters_;
};

// `samples` are mono at 8000 Hz, every one of them through `input` already: the start
// of the recording, followed by `unreadSamples` that decoding left unread because of
// the maximum length (they count towards the cut). The samples are released as the
// result is made. The output's levels are left to measureOutput, so that they can be
// read while the samples are written.
PreparedRecording prepareRecording(SampleBlocks&& samples, const InputStage& input,
                                   const PrepareOptions& options, std::size_t unreadSamples = 0);

// The levels of the samples as written.
RecordingLevels measureOutput(const std::vector<std::int16_t>& samples);

}  // namespace quen
