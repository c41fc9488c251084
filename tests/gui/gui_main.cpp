// The window tests run in one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("quorvath-gui"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
