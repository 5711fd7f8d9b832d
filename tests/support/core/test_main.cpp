// Test entry for the core's, the printer's and the tools' tests: a QGuiApplication on the
// offscreen platform, for fonts and painting without widgets. PDF output goes on US Letter
// whatever the machine's default paper (a test that wants another paper says so, or sets
// PAPERSIZE itself).
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PAPERSIZE", "letter");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
