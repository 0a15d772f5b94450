// The one way `quen` hands a recording to libavformat. A recording comes from outside
// (a voice talent, a customer upload), so its path is a path and nothing else: the
// program opens it itself, takes regular files only, lets libavformat read through
// that one descriptor, refuses every further file a container would open, and lets
// only the demuxers of ordinary recordings run.
#pragma once

#include <memory>
#include <string>

#include "platform/InputFile.h"
#include "platform/Result.h"

struct AVFormatContext;

namespace quen {

// libavformat's names of the containers recordings come in: WAV (RIFF and RF64), Sony
// Wave64, MP3, FLAC, Ogg, the ISO family (MP4, M4A, MOV), AIFF and CAF. Playlists,
// concatenation lists, image sequences, streaming manifests and the hundreds of other
// formats the library knows never get to read a byte of an untrusted file.
inline constexpr const char* RECORDING_CONTAINERS = "wav,w64,mp3,flac,ogg,mov,aiff,caf";

class MediaInput {
  public:
    // Fails, naming what is wrong, for anything but a regular file (checked before a
    // byte is read, and again on the descriptor opened), a file that cannot be read,
    // and a container outside `containers`, a list of libavformat's demuxer names
    // (naming the one found). Whatever the list, nested opens are refused.
    static Result<std::unique_ptr<MediaInput>> open(const std::string& path,
                                                    const char* containers = RECORDING_CONTAINERS);

    // The same in two steps, for a process that gives up opening files between them:
    // the file alone, then what libavformat makes of it (`path` only names it).
    static Result<InputFile> openFile(const std::string& path);
    static Result<std::unique_ptr<MediaInput>> open(InputFile file, const std::string& path,
                                                    const char* containers = RECORDING_CONTAINERS);

    ~MediaInput();
    MediaInput(const MediaInput&) = delete;
    MediaInput& operator=(const MediaInput&) = delete;

    AVFormatContext* format() const { return format_; }

  private:
    struct Source;
    MediaInput();

    std::unique_ptr<Source> source_;
    AVFormatContext* format_ = nullptr;
};

}  // namespace quen
