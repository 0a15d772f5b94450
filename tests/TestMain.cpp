// The tests' own main: the media code decodes in a jailed copy of the running program,
// which here is the test program, so it must be a jailed decoder when asked to be.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "media/DecodeChild.h"
#include "tests/TestSupport.h"

namespace {

// A decoder taken over by a hostile file, as the tests make one: asked to decode a file
// named "hostile-decoder-exit-N" or "hostile-decoder-killed", it sends the file's bytes
// as they are for records, then ends as the name says.
constexpr std::string_view HOSTILE_DECODER = "hostile-decoder-";

[[noreturn]] void actHostile(const std::string& path) {
    const quen::test::Bytes bytes = quen::test::readBytes(path);
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t wrote = ::write(STDOUT_FILENO, bytes.data() + sent, bytes.size() - sent);
        if (wrote <= 0) {
            ::_exit(120);
        }
        sent += static_cast<std::size_t>(wrote);
    }
    const std::string ending =
        std::filesystem::path(path).filename().string().substr(HOSTILE_DECODER.size());
    if (ending == "killed") {
        ::raise(SIGKILL);
    }
    ::_exit(std::stoi(ending.substr(ending.find('-') + 1)));
}

}  // namespace

int main(int argc, char** argv) {
    if (quen::isDecodeChild(argc, argv)) {
        if (argc > 2 &&
            std::filesystem::path(argv[2]).filename().string().starts_with(HOSTILE_DECODER)) {
            actHostile(argv[2]);
        }
        quen::runDecodeChild(argc, argv);
    }
    quen::test::limitSuiteFiles();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
