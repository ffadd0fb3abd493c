// The widget tests need a QApplication. This main is weak so that a shared test
// main, when one is linked in, takes its place.
#include <gtest/gtest.h>

#include <QApplication>

__attribute__((weak)) int main(int argc, char** argv) {
    // Test discovery runs the binary without the test environment: never look for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
