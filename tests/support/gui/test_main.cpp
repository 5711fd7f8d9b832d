// Test entry for the program's test executables: a QApplication on the offscreen platform, so
// widgets can be created and driven without a display. PDF output goes on US Letter whatever the
// machine's default paper (a test that wants another paper says so, or sets PAPERSIZE itself).
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    qputenv("PAPERSIZE", "letter");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
