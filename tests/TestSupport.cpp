// Temporary directories, file helpers and the child-process runner of the tests.
#include "tests/TestSupport.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace quen::test {

Bytes readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const std::filesystem::path& path) {
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out) << "cannot write " << path;
}

namespace {

// `text` as one word for the shell.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out.append(c == '\'' ? "'\\''" : std::string(1, c));
    }
    out.push_back('\'');
    return out;
}

int exitStatus(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProgramResult runBinary(const std::string& binary, const std::vector<std::string>& arguments,
                        const std::filesystem::path& directory, int seconds) {
    // The shell counts the limit in blocks of 512 bytes.
    std::string command = "ulimit -f " + std::to_string(PROGRAM_FILE_BYTES / 512) + " && cd " +
                          quoted(directory.string()) + " && exec timeout -k 5 " +
                          std::to_string(seconds) + " " + quoted(binary);
    for (const std::string& argument : arguments) {
        command.append(" ").append(quoted(argument));
    }
    FILE* pipe = ::popen(command.c_str(), "r");
    ProgramResult result;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        result.output.append(buffer, got);
    }
    result.exitCode = exitStatus(::pclose(pipe));
    return result;
}

void limitSuiteFiles() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur > SUITE_FILE_BYTES) {
        limit.rlim_cur = SUITE_FILE_BYTES;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
}

int TempDirTest::shell(const std::string& command) const {
    return exitStatus(std::system(("cd " + quoted(dir_.string()) + " && " + command).c_str()));
}

void TempDirTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quen-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
}

void TempDirTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

}  // namespace quen::test
