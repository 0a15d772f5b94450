// The audio folder is made by this command or refused: a symbolic link or a file in its
// place is not followed, so a page cannot scatter audio into a directory it was not
// given.
#include "quen/report/ReportAudio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quen::tool {
namespace {

std::string base64(const std::vector<std::uint8_t>& bytes) {
    static constexpr char DIGITS[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        out += DIGITS[group >> 18 & 63];
        out += DIGITS[group >> 12 & 63];
        out += DIGITS[group >> 6 & 63];
        out += DIGITS[group & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const std::uint32_t group = bytes[i] << 16 | (two ? bytes[i + 1] << 8 : 0);
        out += DIGITS[group >> 18 & 63];
        out += DIGITS[group >> 12 & 63];
        out += two ? DIGITS[group >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

std::string percentEncoded(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    return out;
}

// "dir/report.html" -> "dir/report-audio".
std::string folderBeside(const std::string& pagePath) {
    const std::size_t slash = pagePath.rfind('/');
    const std::size_t dot = pagePath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && dot > (slash == std::string::npos ? 0 : slash + 1);
    return (hasExtension ? pagePath.substr(0, dot) : pagePath) + "-audio";
}

// Into a temporary file, renamed over `path` once whole: a reader never sees half a
// file. Not synced to disk: the page is a view that can be made again, and a sync per
// player would cost more than building the page. The temporary name is made afresh and
// never followed if a link stands there.
std::string writeWhole(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string temporary = path + ".part";
    ::unlink(temporary.c_str());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return std::string("cannot write: ") + std::strerror(errno);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const std::string error = written < 0 ? std::strerror(errno) : "nothing written";
            ::close(fd);
            ::unlink(temporary.c_str());
            return "cannot write: " + error;
        }
        done += static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string error = std::strerror(errno);
        ::unlink(temporary.c_str());
        return "cannot write: " + error;
    }
    return {};
}

}  // namespace

std::uint64_t audioBytes(const ReportView& page) {
    std::uint64_t total = 0;
    for (const GreetingView& greeting : page.greetings) {
        total += greeting.recordingAudio ? greeting.recordingAudio->wav.size() : 0;
        for (const DataFileView& file : greeting.files) {
            total += file.audio ? file.audio->wav.size() : 0;
        }
    }
    return total;
}

AudioPlacement::AudioPlacement(const std::string& pagePath, std::uint64_t totalBytes,
                               std::uint64_t embedLimit)
    : embedded_(totalBytes <= embedLimit), folder_(folderBeside(pagePath)) {
    const std::size_t slash = folder_.rfind('/');
    folderLink_ = percentEncoded(slash == std::string::npos ? folder_ : folder_.substr(slash + 1));
}

std::string AudioPlacement::source(const PlayerAudio& audio, const std::string& name) {
    if (embedded_) {
        return "data:audio/wav;base64," + base64(audio.wav);
    }
    if (!failure_.empty()) {
        return {};
    }
    if (!folderReady_) {
        if (::mkdir(folder_.c_str(), 0777) != 0 && errno != EEXIST) {
            failure_ = folder_ + ": cannot make the audio folder: " + std::strerror(errno);
            return {};
        }
        struct stat info {};
        if (::lstat(folder_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            failure_ = folder_ + ": is in the way of the audio folder (not a directory)";
            return {};
        }
        folderReady_ = true;
    }
    const std::string path = folder_ + "/" + name;
    if (const std::string error = writeWhole(path, audio.wav); !error.empty()) {
        failure_ = path + ": " + error;
        return {};
    }
    return folderLink_ + "/" + percentEncoded(name);
}

}  // namespace quen::tool
