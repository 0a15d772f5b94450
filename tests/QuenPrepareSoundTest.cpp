// What `quen prepare` does to the sound, measured on the WAV it writes: the resampler
// keeps a 1 kHz tone clean and lets nothing above 4 kHz fold back, the loudness lands
// on the target without clipping, and trimming and the length limit cut where they
// should. The analysis is the test's own (a least-squares fit at the known frequency)
// or libebur128 called directly.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

constexpr double PI = 3.141592653589793;
constexpr std::size_t CANONICAL_HEADER = 44;

Bytes wav44k(const std::vector<double>& samples) {
    std::vector<std::int16_t> shorts;
    for (const double value : samples) {
        shorts.push_back(static_cast<std::int16_t>(std::lround(value * 32767)));
    }
    return wavFile(join({formatChunkFor(1, 1, 44100, 16), chunk("data", sampleBytes(shorts))}));
}

std::vector<double> sine(double frequency, double amplitude, double seconds) {
    std::vector<double> samples(static_cast<std::size_t>(seconds * 44100));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = amplitude * std::sin(2 * PI * frequency * static_cast<double>(i) / 44100);
    }
    return samples;
}

// The prepared recording's samples, full scale 1.0.
std::vector<double> samplesOf(const Bytes& file) {
    std::vector<double> samples;
    for (std::size_t i = CANONICAL_HEADER; i + 1 < file.size(); i += 2) {
        samples.push_back(static_cast<std::int16_t>(file[i] | file[i + 1] << 8) / 32768.0);
    }
    return samples;
}

struct SineFit {
    double amplitude;
    double residualDb;  // what is left after the fitted sine, relative to it
};

// Fits a sine of exactly `frequency` to the middle of the 8 kHz signal, away from the
// edges where the resampler's filter rings in.
SineFit fitSine(const std::vector<double>& samples, double frequency) {
    const std::size_t begin = 800;
    const std::size_t end = samples.size() - 800;
    double c = 0;
    double s = 0;
    for (std::size_t i = begin; i < end; ++i) {
        c += samples[i] * std::cos(2 * PI * frequency * static_cast<double>(i) / 8000);
        s += samples[i] * std::sin(2 * PI * frequency * static_cast<double>(i) / 8000);
    }
    const double n = static_cast<double>(end - begin);
    c *= 2 / n;
    s *= 2 / n;
    double residual = 0;
    double signal = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const double phase = 2 * PI * frequency * static_cast<double>(i) / 8000;
        const double fitted = c * std::cos(phase) + s * std::sin(phase);
        residual += (samples[i] - fitted) * (samples[i] - fitted);
        signal += fitted * fitted;
    }
    return {std::hypot(c, s), 10 * std::log10(residual / signal)};
}

double integratedLufs(const std::vector<double>& samples) {
    ebur128_state* state = ebur128_init(1, 8000, EBUR128_MODE_I);
    ebur128_add_frames_double(state, samples.data(), samples.size());
    double lufs = 0;
    ebur128_loudness_global(state, &lufs);
    ebur128_destroy(&state);
    return lufs;
}

double peakOf(const std::vector<double>& samples) {
    double peak = 0;
    for (const double value : samples) {
        peak = std::max(peak, std::abs(value));
    }
    return peak;
}

class QuenPrepareSound : public TempDirTest {
  protected:
    // Prepares `input` with the options; the output's samples.
    std::vector<double> prepare(const std::vector<double>& input,
                                const std::vector<std::string>& options = {}) {
        writeBytes(path("in.wav"), wav44k(input));
        std::vector<std::string> arguments{"--json", "prepare", "in.wav", "out.wav"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ProgramResult result = runBinary(QUEN_TOOL_BINARY, arguments, dir());
        EXPECT_EQ(result.exitCode, 0);
        report = result.output.empty() ? nlohmann::json() : nlohmann::json::parse(result.output);
        return samplesOf(readBytes(path("out.wav")));
    }

    nlohmann::json report;
};

TEST_F(QuenPrepareSound, OneKilohertzStaysCleanAndSixKilohertzDoesNotFoldBack) {
    const SineFit clean = fitSine(prepare(sine(1000, 0.5, 2), {"--no-normalize"}), 1000);
    EXPECT_NEAR(clean.amplitude, 0.5, 0.005);
    EXPECT_LT(clean.residualDb, -60);

    // 6 kHz would alias to 2 kHz; whatever is left must be 60 dB below the input.
    const std::vector<double> folded = prepare(sine(6000, 0.5, 2), {"--no-normalize"});
    double energy = 0;
    for (std::size_t i = 800; i < folded.size() - 800; ++i) {
        energy += folded[i] * folded[i];
    }
    const double rms = std::sqrt(energy / static_cast<double>(folded.size() - 1600));
    EXPECT_LT(20 * std::log10(rms / (0.5 / std::sqrt(2.0))), -60);
}

TEST_F(QuenPrepareSound, LoudnessReachesTheTargetWithoutClipping) {
    // Speech-like: three partials under a syllable-rate envelope, about -35 LUFS.
    std::vector<double> quiet(44100 * 4);
    for (std::size_t i = 0; i < quiet.size(); ++i) {
        const double t = static_cast<double>(i) / 44100;
        const double envelope = 0.5 + 0.5 * std::sin(2 * PI * 3 * t);
        quiet[i] = 0.02 * envelope *
                   (std::sin(2 * PI * 220 * t) + 0.5 * std::sin(2 * PI * 660 * t) +
                    0.25 * std::sin(2 * PI * 1500 * t));
    }
    struct Case {
        std::vector<std::string> options;
        double target;
    };
    for (const Case& c : {Case{{}, -18.0}, Case{{"--loudness", "-23"}, -23.0}}) {
        SCOPED_TRACE(c.target);
        const std::vector<double> out = prepare(quiet, c.options);
        EXPECT_NEAR(integratedLufs(out), c.target, 0.5);
        EXPECT_LT(peakOf(out), 1.0);
        EXPECT_FALSE(report["gain_limited_by_peak"]);
    }

    // A lone full-scale click in near silence: the peak, not the target, sets the gain.
    std::vector<double> clicks(44100 * 2, 0.0);
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        clicks[i] = 0.001 * std::sin(0.1 * static_cast<double>(i));
    }
    clicks[44100] = 0.9;
    const std::vector<double> limited = prepare(clicks);
    EXPECT_TRUE(report["gain_limited_by_peak"]);
    EXPECT_LE(peakOf(limited), std::pow(10.0, -1.0 / 20) + 2.0 / 32768);
}

TEST_F(QuenPrepareSound, TrimKeepsAMarginAndTheLengthLimitFadesOut) {
    std::vector<double> padded(44100, 0.0);
    const std::vector<double> sound = sine(440, 0.3, 1);
    padded.insert(padded.end(), sound.begin(), sound.end());
    padded.insert(padded.end(), 44100, 0.0);
    const std::vector<double> trimmed = prepare(padded, {"--trim-silence", "--no-normalize"});
    // One second of sound and 0.2 s on either side, to within a few samples.
    EXPECT_NEAR(static_cast<double>(trimmed.size()), 8000 * 1.4, 8);
    EXPECT_NEAR(report["trimmed_leading_seconds"].get<double>(), 0.8, 0.002);

    const std::vector<double> cut = prepare(sound, {"--max-seconds", "0.5", "--no-normalize"});
    ASSERT_EQ(cut.size(), 4000u);
    EXPECT_NEAR(report["cut_seconds"].get<double>(), 0.5, 0.002);
    EXPECT_LT(std::abs(cut.back()), 2.0 / 32768);
}

}  // namespace
}  // namespace quen::test
