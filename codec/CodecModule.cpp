// dlopen of the codec module. The module is never unloaded: its encoder states may
// live until the process ends, and libavcodec does not promise to unload cleanly.
#include "codec/CodecModule.h"

#include <dlfcn.h>

#include <system_error>

namespace quen {
namespace {

constexpr const char* MODULE_FILE_NAME = "quen_g723.so";

Result<const QuenG723Module*> loadModule(const std::vector<std::filesystem::path>& candidates) {
    for (const std::filesystem::path& candidate : candidates) {
        void* library = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            continue;
        }
        const auto entry =
            reinterpret_cast<QuenG723ModuleEntry>(::dlsym(library, QUEN_G723_MODULE_ENTRY));
        const QuenG723Module* module = entry != nullptr ? entry() : nullptr;
        if (module != nullptr && module->version == QUEN_G723_MODULE_VERSION &&
            module->createEncoder != nullptr && module->encode != nullptr &&
            module->destroyEncoder != nullptr && module->createDecoder != nullptr &&
            module->decode != nullptr && module->destroyDecoder != nullptr) {
            return module;
        }
        ::dlclose(library);
    }
    return Failure{FailureCategory::Generic, "the G.723.1 codec module could not be loaded",
                   FailureReason::CannotOpen};
}

}  // namespace

std::vector<std::filesystem::path> codecModuleCandidates() {
    std::vector<std::filesystem::path> candidates;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        candidates.push_back(program.parent_path() / MODULE_FILE_NAME);
        candidates.push_back(program.parent_path() / QUEN_CODEC_MODULE_FROM_BINDIR /
                             MODULE_FILE_NAME);
    }
    candidates.push_back(std::filesystem::path(QUEN_CODEC_MODULE_DIR) / MODULE_FILE_NAME);
    return candidates;
}

const Result<const QuenG723Module*>& systemCodecModule() {
    static const Result<const QuenG723Module*> module = loadModule(codecModuleCandidates());
    return module;
}

}  // namespace quen
