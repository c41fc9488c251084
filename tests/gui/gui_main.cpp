// The window tests run in the program's application object on the offscreen platform.
#include <gtest/gtest.h>

#include <cstdlib>
#include "app/gui/application.h"
#include "tests/support/test_temp_dir.h"

int main(int argc, char** argv) {
    TTestTempDir tempDir;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("quorvath-gui"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
