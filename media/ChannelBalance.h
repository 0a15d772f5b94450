// How loud a source's channels are beside their mix, measured on the decoded frames
// before they are mixed: channels that cancel (one the other inverted) mix to near
// silence though each holds the whole sound.
#pragma once

#include <vector>

struct AVFrame;

namespace quen {

struct ChannelBalance {
    int louderChannel = -1;    // the loudest channel, from 0; -1 for a single channel
    double louderPower = 0.0;  // its mean square, full scale 1.0
    double mixPower = 0.0;     // the mean square of the channels' average
};

class ChannelBalanceMeter {
  public:
    void add(const AVFrame& frame);
    ChannelBalance result() const;

  private:
    std::vector<double> channelSquares_;  // one a channel
    double mixSquares_ = 0.0;
    double samples_ = 0.0;
};

}  // namespace quen
