// One sample of a decoded frame, of any of libavutil's sample formats, as a float on
// +/-1.0: what every measure of a source's own channels reads.
#pragma once

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <cstddef>
#include <cstdint>

namespace quen {

template <typename T>
inline float scaledSample(const std::uint8_t* data, std::size_t index, double scale,
                          double offset) {
    return static_cast<float>(
        (static_cast<double>(reinterpret_cast<const T*>(data)[index]) - offset) * scale);
}

// Sample `index` of plane `data` on +/-1.0.
inline float frameSampleAt(AVSampleFormat packed, const std::uint8_t* data, std::size_t index) {
    switch (packed) {
        case AV_SAMPLE_FMT_U8:
            return scaledSample<std::uint8_t>(data, index, 1.0 / 128, 128.0);
        case AV_SAMPLE_FMT_S16:
            return scaledSample<std::int16_t>(data, index, 1.0 / 32768, 0.0);
        case AV_SAMPLE_FMT_S32:
            return scaledSample<std::int32_t>(data, index, 1.0 / 2147483648.0, 0.0);
        case AV_SAMPLE_FMT_S64:
            return scaledSample<std::int64_t>(data, index, 1.0 / 9223372036854775808.0, 0.0);
        case AV_SAMPLE_FMT_FLT:
            return reinterpret_cast<const float*>(data)[index];
        case AV_SAMPLE_FMT_DBL:
            return static_cast<float>(reinterpret_cast<const double*>(data)[index]);
        default:
            return 0.0f;
    }
}

}  // namespace quen
