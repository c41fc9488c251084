// The main of every test binary without one of its own.
#include <gtest/gtest.h>

#include "tests/support/test_temp_dir.h"

int main(int argc, char** argv) {
    TTestTempDir tempDir;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
