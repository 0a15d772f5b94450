// Any template text must load or be refused, and walk to the end or stop, without
// crashing; the parser's reason and the walk's texts are touched so that bad memory
// shows.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "batch/AaTemplate.h"
#include "platform/TextConversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reader takes a path; an in-memory file gives it one without touching disk.
    const int fd = ::memfd_create("template", 0);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::u16string path = quen::toWide("/proc/self/fd/" + std::to_string(fd));
    std::size_t seen = 0;
    const auto walked = quen::walkAaTemplate(path, [&seen](const quen::TemplateGreeting& greeting) {
        seen += greeting.attendantName.size() + greeting.id.size() + greeting.recordingName.size();
        return true;
    });
    if (!walked) {
        seen += walked.failure().load.text.size();
    }
    ::close(fd);
    return seen == static_cast<std::size_t>(-1) ? 1 : 0;
}
