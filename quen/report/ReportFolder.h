// The audio folder beside a page, made and written relative to the page's directory as
// it was checked: a link or another user's directory put on the way, before or during
// the run, never receives a file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ByteSpan.h"
#include "platform/FileHandle.h"

namespace quen::tool {

// The list of the audio files a run wrote, in the folder beside them.
inline constexpr const char* AUDIO_LIST = ".audio-list";

// A file's identity: device and inode.
using FileKey = std::pair<dev_t, ino_t>;

// One audio file on its way into the folder: written as NAME.part, which a termination
// signal removes from before it exists, and renamed to NAME once whole. Dropped
// without commit(), it leaves nothing behind.
class AudioFileWriter {
  public:
    AudioFileWriter() = default;
    AudioFileWriter(AudioFileWriter&& other) noexcept;
    AudioFileWriter& operator=(AudioFileWriter&& other) noexcept;
    ~AudioFileWriter();

    bool valid() const { return file_.valid(); }
    // The name it is written under until commit().
    std::string partName() const { return name_ + ".part"; }
    // Empty, or why the bytes could not be written.
    std::string append(ByteSpan bytes);
    std::string commit();

  private:
    friend class AudioFolder;
    void discard();

    const class AudioFolder* folder_ = nullptr;
    std::string name_;
    FileHandle file_;
    int registration_ = -1;
};

class AudioFolder {
  public:
    // `pageDirectory` holds no link (the page's path as resolved for writing) and is
    // opened now, as it was checked; `name` is the folder's name in it; `shownPath` names
    // it in messages. No file the page shows (`shown`) is ever replaced by an audio file.
    // A folder there already is taken only with `replace` (-y).
    AudioFolder(const std::string& pageDirectory, std::string name, std::string shownPath,
                std::set<FileKey> shown, bool replace);

    // Makes the folder, or takes the caller's own that is there already when it may.
    // Empty, or the refusal in words, naming the folder.
    std::string open();
    bool isOpen() const { return folder_.valid(); }

    const std::string& shownPath() const { return shownPath_; }
    const std::string& name() const { return name_; }

    // A new file NAME in the folder; on failure, `error` says why.
    AudioFileWriter create(const std::string& name, std::string& error) const;
    // Removes a file this run wrote, and the folder when this run made it and it is
    // empty then.
    void remove(const std::string& name) const;
    void removeIfMade() const;
    // Whether files `a` and `b` in the open folder hold the same bytes.
    bool sameBytes(const std::string& a, const std::string& b) const;

    // Every run that writes audio lists it in the folder (AUDIO_LIST), with the page's
    // file name; so a later run of the same page knows what is its own to remove. The
    // folder must be open.
    std::string writeList(const std::string& pageName, const std::vector<std::string>& names) const;
    // Removes what an earlier run of page `pageName` listed and `keep` does not name:
    // only regular files, never through a link, never a file the page shows. With
    // nothing kept, the list goes too, and the folder when that leaves it empty. A folder
    // that is a link, another user's, or holds no list of that page is not touched.
    void removeEarlierRun(const std::string& pageName, const std::set<std::string>& keep) const;

  private:
    friend class AudioFileWriter;
    std::string commit(AudioFileWriter& writer) const;

    std::string name_;
    std::string shownPath_;
    std::set<FileKey> shown_;
    FileHandle directory_;
    int directoryError_;
    FileHandle folder_;
    bool replace_;
    bool made_ = false;
};

}  // namespace quen::tool
