// The audio stays in memory only while the page may still embed all of it, so memory
// holds at most the embedding limit: past it, what is held is written out and every
// later source goes straight to its file.
#include "quen/report/ReportAudio.h"

#include <cctype>
#include <cstdio>
#include <set>

namespace quen::tool {
namespace {

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

}  // namespace

void AudioOutput::append(ByteSpan bytes) {
    if (!live_ || !failure_.empty()) {
        return;
    }
    hash_.append(bytes);
    if (file_.valid()) {
        failure_ = file_.append(bytes);
    } else {
        held_.insert(held_.end(), bytes.begin(), bytes.end());
    }
}

AudioStore::AudioStore(AudioFolder folder, std::uint64_t embedLimit, std::uint64_t totalLimit)
    : folder_(std::move(folder)), embedLimit_(embedLimit), totalLimit_(totalLimit) {}

std::size_t AudioStore::addSource(std::string name) {
    sources_.push_back(Source{std::move(name), {}, false, std::nullopt});
    return sources_.size() - 1;
}

void AudioStore::fail(const std::string& text) {
    if (failure_.empty()) {
        failure_ = text;
    }
}

bool AudioStore::writeFile(Source& source, ByteSpan bytes) {
    std::string error;
    AudioFileWriter file = folder_.create(source.name, error);
    if (error.empty()) {
        error = file.append(bytes);
    }
    if (error.empty()) {
        error = file.commit();
    }
    if (!error.empty()) {
        fail(error);
        return false;
    }
    source.written = true;
    return true;
}

bool AudioStore::openFolder() {
    if (const std::string error = folder_.open(); !error.empty()) {
        fail(error);
        return false;
    }
    for (Source& source : sources_) {
        if (!source.held.empty() && writeFile(source, source.held)) {
            std::vector<std::uint8_t>().swap(source.held);
        }
    }
    return failure_.empty();
}

AudioOutput AudioStore::start(std::size_t source, std::uint64_t bytes) {
    const std::lock_guard guard(lock_);
    AudioOutput output;
    output.source_ = source;
    output.bytes_ = bytes;
    if (!failure_.empty()) {
        return output;
    }
    total_ += bytes;
    if (total_ > totalLimit_) {
        fail(folder_.shownPath() + ": the page's audio passes the limit of " +
             std::to_string(totalLimit_) + " bytes of WAV files; no page is written");
        return output;
    }
    embeddedTotal_ += bytes;
    if (!folder_.isOpen() && embeddedTotal_ > embedLimit_ && !openFolder()) {
        return output;
    }
    if (folder_.isOpen()) {
        std::string error;
        output.file_ = folder_.create(sources_[source].name, error);
        if (!error.empty()) {
            fail(error);
            return output;
        }
    } else {
        output.held_.reserve(bytes);
    }
    output.live_ = true;
    return output;
}

bool AudioStore::finish(AudioOutput&& output, bool complete) {
    AudioOutput done = std::move(output);
    const std::lock_guard guard(lock_);
    if (!done.failure_.empty()) {
        fail(folder_.shownPath() + "/" + sources_[done.source_].name + ": " + done.failure_);
    }
    if (!done.live_ || !complete || !failure_.empty()) {
        return false;
    }
    Source& source = sources_[done.source_];
    // The folder was opened since this output started: its audio goes to a file too,
    // and is compared as a file.
    if (!done.file_.valid() && folder_.isOpen()) {
        std::string error;
        done.file_ = folder_.create(source.name, error);
        if (error.empty()) {
            error = done.file_.append(done.held_);
        }
        if (!error.empty()) {
            fail(error);
            return false;
        }
        std::vector<std::uint8_t>().swap(done.held_);
    }
    const ContentKey key = done.hash_.key();
    if (const auto same = sameAudio(done, key)) {
        // Dropped unwritten: its file, if any, is removed with the output.
        source.sameAs = *same;
        total_ -= done.bytes_;
        embeddedTotal_ -= done.bytes_;
        return true;
    }
    if (done.file_.valid()) {
        if (const std::string error = done.file_.commit(); !error.empty()) {
            fail(error);
            return false;
        }
        source.written = true;
    } else {
        source.held = std::move(done.held_);
    }
    byContent_.emplace(key, done.source_);
    return true;
}

// Held audio is compared with held audio, a file with a file: once the folder is open,
// every source is in it.
std::optional<std::size_t> AudioStore::sameAudio(const AudioOutput& output,
                                                 const ContentKey& key) const {
    const auto [first, end] = byContent_.equal_range(key);
    for (auto it = first; it != end; ++it) {
        const Source& candidate = sources_[it->second];
        const bool same =
            output.file_.valid()
                ? candidate.written && folder_.sameBytes(candidate.name, output.file_.partName())
                : !candidate.written && candidate.held == output.held_;
        if (same) {
            return it->second;
        }
    }
    return std::nullopt;
}

std::size_t AudioStore::played(std::size_t source) const {
    return sources_[source].sameAs.value_or(source);
}

const std::vector<std::uint8_t>& AudioStore::bytes(std::size_t source) const {
    return sources_[played(source)].held;
}

std::string AudioStore::url(std::size_t source) const {
    return percentEncoded(folder_.name()) + "/" + percentEncoded(sources_[played(source)].name);
}

void AudioStore::removeWritten() {
    if (!folder_.isOpen()) {
        return;
    }
    for (const Source& source : sources_) {
        if (source.written) {
            folder_.remove(source.name);
        }
    }
    folder_.removeIfMade();
}

std::string AudioStore::finishPage(const std::string& pageName) {
    if (!folder_.isOpen()) {
        folder_.removeEarlierRun(pageName, {});
        return {};
    }
    std::set<std::string> kept;
    std::vector<std::string> names;
    for (const Source& source : sources_) {
        if (source.written) {
            kept.insert(source.name);
            names.push_back(source.name);
        }
    }
    folder_.removeEarlierRun(pageName, kept);
    return folder_.writeList(pageName, names);
}

}  // namespace quen::tool
