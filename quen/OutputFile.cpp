// The existence test comes first so that a refused file is never touched; the atomic
// replacement then keeps a reader from ever seeing half a file.
#include "quen/OutputFile.h"

#include <sys/stat.h>

#include <iostream>

#include "quen/FailureText.h"

namespace quen::tool {

std::string writeOutputFile(const std::string& path, std::span<const ByteSpan> pieces,
                            bool overwrite) {
    if (path == STANDARD_OUTPUT) {
        for (const ByteSpan piece : pieces) {
            std::cout.write(reinterpret_cast<const char*>(piece.data()),
                            static_cast<std::streamsize>(piece.size()));
        }
        std::cout.flush();
        return std::cout.good() ? std::string() : "cannot write to standard output";
    }
    struct stat info {};
    if (!overwrite && ::lstat(path.c_str(), &info) == 0) {
        return EXISTS_ALREADY;
    }
    if (const Result<void> written = replaceFileAtomically(path, pieces); !written) {
        return "cannot write: " + describeFailure(written.failure());
    }
    return {};
}

}  // namespace quen::tool
