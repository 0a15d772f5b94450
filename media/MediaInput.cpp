// The file is opened by InputFile (read-only, non-blocking), and libavformat sees it
// only through an AVIOContext whose callbacks read that descriptor at an offset, so
// no protocol name in the path is ever parsed. The container is probed first and
// checked against the allow-list before any demuxer opens it; the same list is given
// to libavformat as its format whitelist, and every nested open is refused, both by
// the io_open callback and by a protocol whitelist that allows none.
#include "media/MediaInput.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <optional>
#include <span>

#include "platform/InputFile.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace quen {
namespace {

// libavformat's own buffer size for file input.
constexpr int IO_BUFFER_BYTES = 32768;
// A recording has one audio stream, perhaps a cover picture or two. Each stream costs
// a parser and, while its parameters are found, a decoder: a file declaring dozens of
// them is refused as it is read, not allocated for.
constexpr int MAX_STREAMS = 8;
// What libavformat reads, and how far into the file it decodes, to find the streams'
// parameters: enough for every recording format, and a bound on what finding them
// costs.
constexpr const char* PROBE_BYTES = "1048576";
constexpr const char* ANALYZE_MICROSECONDS = "3000000";
// A name no protocol has: the recording is read through the program's own I/O alone.
constexpr const char* NO_PROTOCOL = "none";

Failure failed(std::string text) {
    return Failure{FailureCategory::Generic, std::move(text)};
}

std::string errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

std::string notRegular(const std::string& kind) {
    return "not a recording file but " + kind + "; quen reads regular files only";
}

bool isAllowed(const AVInputFormat& format, const char* containers) {
    // A demuxer's name may list several ("mov,mp4,m4a,3gp,3g2,mj2"); one on the list is
    // enough, as libavformat's own whitelist check has it.
    return av_match_list(format.name, containers, ',') > 0;
}

// Playlists, concatenation lists, reference movies and external data references all
// come here to open another file or URL: none is opened.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// libavformat's messages are not shown (its failures come back as results); the one
// that tells a refused stream from memory running short is noted on the container's
// source, whose flag MediaInput sets as the container's opaque.
void noteRefusedStream(void* object, int level, const char* format, va_list) {
    if (object == nullptr || level > AV_LOG_ERROR ||
        std::strstr(format, "max_streams") == nullptr ||
        *static_cast<const AVClass* const*>(object) != avformat_get_class()) {
        return;
    }
    if (void* streamsFull = static_cast<AVFormatContext*>(object)->opaque) {
        *static_cast<bool*>(streamsFull) = true;
    }
}

}  // namespace

// The descriptor and the read position the I/O callbacks share, and the context that
// reads through them.
struct MediaInput::Source {
    explicit Source(InputFile opened) : file(std::move(opened)) {}
    ~Source() {
        if (io != nullptr) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    static int read(void* opaque, std::uint8_t* buffer, int size) {
        auto& source = *static_cast<Source*>(opaque);
        const auto got = source.file.readUpTo(source.position,
                                              std::span(buffer, static_cast<std::size_t>(size)));
        if (!got) {
            return AVERROR(EIO);
        }
        if (*got == 0) {
            return AVERROR_EOF;
        }
        source.position += *got;
        return static_cast<int>(*got);
    }

    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        auto& source = *static_cast<Source*>(opaque);
        const auto size = static_cast<std::int64_t>(source.file.size());
        std::int64_t target = 0;
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                return size;
            case SEEK_SET:
                target = offset;
                break;
            case SEEK_CUR:
                target = static_cast<std::int64_t>(source.position) + offset;
                break;
            case SEEK_END:
                target = size + offset;
                break;
            default:
                return AVERROR(EINVAL);
        }
        if (target < 0) {
            return AVERROR(EINVAL);
        }
        source.position = static_cast<std::uint64_t>(target);
        return target;
    }

    // A failure in `text`: one the file could not be read for, when a read failed.
    Failure readFailed(std::string text) const {
        Failure failure = failed(std::move(text));
        if (file.failure() && file.failure()->reason == FailureReason::CannotRead) {
            failure.reason = FailureReason::CannotRead;
        }
        return failure;
    }

    InputFile file;
    std::uint64_t position = 0;
    AVIOContext* io = nullptr;
    // Whether libavformat refused a stream beyond MAX_STREAMS, which it reports as if
    // memory were short.
    bool streamsFull = false;
};

MediaInput::MediaInput() = default;

MediaInput::~MediaInput() {
    // The container goes first: it still refers to the I/O context the source owns.
    avformat_close_input(&format_);
}

Result<std::unique_ptr<MediaInput>> MediaInput::open(const std::string& path,
                                                     const char* containers) {
    auto file = openFile(path);
    if (!file) {
        return file.failure();
    }
    return open(std::move(*file), path, containers);
}

Result<InputFile> MediaInput::openFile(const std::string& path) {
    auto file = InputFile::openRegular(path);
    if (!file) {
        // The reason goes with the words: a caller tells a file it could not get at from
        // one it could not make sense of.
        const Failure& failure = file.failure();
        if (failure.reason == FailureReason::NotRegular) {
            return Failure{FailureCategory::Generic, notRegular(failure.text), failure.reason};
        }
        return Failure{failure.category, failure.text, failure.reason};
    }
    return file;
}

Result<std::unique_ptr<MediaInput>> MediaInput::open(InputFile file, const std::string& path,
                                                     const char* containers) {
    // The library would print its own warnings on stderr; failures come back as
    // results and are reported once, naming the file.
    av_log_set_level(AV_LOG_QUIET);
    std::unique_ptr<MediaInput> input(new MediaInput);
    input->source_ = std::make_unique<Source>(std::move(file));
    Source& source = *input->source_;
    auto* buffer = static_cast<unsigned char*>(av_malloc(IO_BUFFER_BYTES));
    if (buffer == nullptr) {
        return failed("out of memory");
    }
    source.io = avio_alloc_context(buffer, IO_BUFFER_BYTES, 0, &source, &Source::read, nullptr,
                                   &Source::seek);
    if (source.io == nullptr) {
        av_free(buffer);
        return failed("out of memory");
    }

    const AVInputFormat* found = nullptr;
    if (const int error = av_probe_input_buffer2(source.io, &found, path.c_str(), nullptr, 0, 0);
        error < 0) {
        if (error == AVERROR_INVALIDDATA) {
            return failed("not a recording in any format known here (" + errorText(error) + ")");
        }
        return source.readFailed(errorText(error));
    }
    if (!isAllowed(*found, containers)) {
        return failed(std::string("not a recording this program reads: it is ") + found->name +
                      " (" + (found->long_name != nullptr ? found->long_name : "") + ")");
    }

    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr) {
        return failed("out of memory");
    }
    format->pb = source.io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = &refuseNestedOpen;
    format->format_whitelist = av_strdup(containers);
    // A demuxer that opens a nested container of its own (concat does) does not hand
    // it io_open, but it hands down the whitelists: a protocol list naming no protocol
    // keeps such an open from reaching any file or the network.
    format->protocol_whitelist = av_strdup(NO_PROTOCOL);
    format->max_streams = MAX_STREAMS;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "probesize", PROBE_BYTES, 0);
    av_dict_set(&options, "analyzeduration", ANALYZE_MICROSECONDS, 0);
    // An edit list may have hundreds of thousands of entries, each of which makes the
    // index grow; a recording needs none of them to be played from start to end.
    av_dict_set(&options, "ignore_editlist", "1", 0);
    // On failure the context is freed and the pointer cleared.
    format->opaque = &source.streamsFull;
    av_log_set_callback(&noteRefusedStream);
    const int error = avformat_open_input(&format, path.c_str(), found, &options);
    av_dict_free(&options);
    if (error < 0) {
        if (source.streamsFull && error == AVERROR(ENOMEM)) {
            return failed("more than " + std::to_string(MAX_STREAMS) +
                          " streams, where a recording has one");
        }
        return source.readFailed(errorText(error));
    }
    input->format_ = format;
    return input;
}

}  // namespace quen
