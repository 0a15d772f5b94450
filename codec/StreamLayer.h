// The project's stand-in for the audio compression manager: it converts exactly one
// pair, 8 kHz 16-bit mono PCM to G.723.1 at 6.3 kbit/s (24-byte blocks), one 480-byte
// block per header, synchronously, through the codec module it loads on first use.
// Streams may be opened, used and closed on several threads at once, each stream by
// one thread.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "codec/CompressionManager.h"
#include "codec/g723module/G723ModuleAbi.h"

namespace quen {

class StreamLayer : public CompressionManager {
  public:
    // `moduleCandidates`: where the codec module may be, tried in order on the first
    // open of a convertible pair.
    explicit StreamLayer(std::vector<std::filesystem::path> moduleCandidates);
    StreamLayer(const StreamLayer&) = delete;
    StreamLayer& operator=(const StreamLayer&) = delete;
    ~StreamLayer() override = default;

    // The process's layer, looking for the module in the standard places.
    static StreamLayer& system();

    std::int32_t openStream(StreamHandle& stream, std::span<const std::uint8_t> source,
                            std::span<const std::uint8_t> destination) override;
    std::int32_t prepareHeader(StreamHandle stream, StreamHeader& header) override;
    std::int32_t convert(StreamHandle stream, StreamHeader& header) override;
    std::int32_t closeStream(StreamHandle stream) override;

  private:
    using EncoderState = std::unique_ptr<QuenG723Encoder, void (*)(QuenG723Encoder*)>;

    const QuenG723Module* module();
    QuenG723Encoder* encoderOf(StreamHandle stream);

    std::vector<std::filesystem::path> moduleCandidates_;
    std::once_flag moduleLookedUp_;
    const QuenG723Module* module_ = nullptr;
    std::mutex mutex_;  // guards the stream table and the handle count
    std::map<StreamHandle, EncoderState> streams_;
    StreamHandle lastHandle_ = NO_STREAM;
};

}  // namespace quen
