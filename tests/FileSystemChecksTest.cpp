// fileExists and directoryExists: direct lookups, trailing separators, and wildcard
// searches that test the first match in byte order.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FileSystemChecks.h"
#include "platform/TextConversion.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

using FileSystemChecksTest = TempDirTest;

TEST_F(FileSystemChecksTest, AnswersForFilesDirectoriesAndPatterns) {
    writeText(path("a-file.txt"), "x");
    writeText(path("b2"), "x");
    std::filesystem::create_directory(path("b1"));
    std::filesystem::create_directory(path("c-dir"));
    writeText(path("c-dir/inner.wav"), "x");
    writeText(path("\xFFraw"), "x");
    std::filesystem::create_symlink("c-dir", path("link-to-dir"));
    std::filesystem::create_directory(path("x*y"));
    writeText(path("r*c"), "x");
    std::filesystem::create_directory(path("rec"));
    writeText(path("\xF0\x9F\x98\x80z"), "x");
    struct Case {
        std::string relative;
        bool file;
        bool directory;
    };
    const Case cases[] = {
        {"a-file.txt", true, false},
        {"c-dir", true, true},
        {"c-dir/", true, true},  // a trailing separator still names the directory
        {"link-to-dir", true, true},
        {"c-dir/inner.wav", true, false},
        {"missing", false, false},
        {"missing/inner.wav", false, false},
        {"a-file.txt/", false, false},
        {"\xFFraw", true, false},
        {"c-?ir", true, true},
        {"b?", true, true},  // b1 (a directory) sorts before b2 (a file)
        {"*2", true, false},
        {"c-dir/*.wav", true, false},
        {"c-dir/*.xml", false, false},
        {"?", false, false},
        // A '*' facing a '*' in a name is still a wildcard: "x*" finds "x*y", and "r*"
        // tests "r*c" (a file), which sorts before "rec".
        {"x*", true, true},
        {"r*", true, false},
        {"?z", true, false},  // one character outside the basic plane
        {"*", true, false},   // first entry in byte order: a-file.txt
        {"missing/*", false, false},
        {std::string(5000, 'x'), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.relative);
        const std::u16string wide = toWide((dir() / c.relative).string());
        EXPECT_EQ(fileExists(wide), c.file);
        EXPECT_EQ(directoryExists(wide), c.directory);
    }
    EXPECT_TRUE(directoryExists(u"/"));
    EXPECT_FALSE(fileExists(u""));
}

}  // namespace
}  // namespace quen::test
