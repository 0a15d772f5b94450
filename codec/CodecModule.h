// Finding and loading the G.723.1 codec module, the shared object that carries
// libavcodec. Only G.723.1 encoding and decoding load it, so other jobs start without
// libavcodec.
#pragma once

#include <filesystem>
#include <vector>

#include "codec/g723module/G723ModuleAbi.h"
#include "platform/Result.h"

namespace quen {

// Where the module is looked for, in order: beside the running program (the build
// tree, or a copy of the program with its module), then the installed library
// directory as seen from the program's directory (an installed tree moved elsewhere),
// then that directory as configured at build time.
std::vector<std::filesystem::path> codecModuleCandidates();

// The process's module: the first candidate that loads and offers the expected
// interface, looked for on the first call only (from any thread); a failure when none
// does. A loaded module stays loaded for the rest of the process.
const Result<const QuenG723Module*>& systemCodecModule();

}  // namespace quen
