// Test entry for widget tests: one QApplication for the whole binary, offscreen
// unless the caller chose a platform. Weak, so that a test folder with a main of
// its own keeps it.
#include <QApplication>

#include <cstdlib>

#include <gtest/gtest.h>

__attribute__((weak)) int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
