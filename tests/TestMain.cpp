// The tests' own main: the media code decodes in a jailed copy of the running program,
// which here is the test program, so it must be a jailed decoder when asked to be.
#include <gtest/gtest.h>

#include "media/DecodeChild.h"
#include "tests/TestSupport.h"

int main(int argc, char** argv) {
    if (quen::isDecodeChild(argc, argv)) {
        quen::runDecodeChild(argc, argv);
    }
    quen::test::limitSuiteFiles();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
