// Clipping in a recording as it was stored: runs at the full scale of the source's own
// sample format, counted per channel on the decoded frames before they are mixed and
// resampled (which would smooth a flat run into ringing and hide it).
#pragma once

#include <vector>

#include "dsp/ClippingRuns.h"

struct AVFrame;

namespace quen {

class SourceClipping {
  public:
    void add(const AVFrame& frame);
    // Over every channel.
    ClippingRuns result() const;

  private:
    std::vector<ClippingRunCounter> counters_;  // one a channel
    int format_ = -1;
    ClippingRuns earlier_;  // of counters for an earlier format or layout
    std::vector<float> channel_;
};

}  // namespace quen
