#include <QImage>
#include <QPixmap>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "shell_fixture.h"

// Outside Xvfb this test starts its own binary under xvfb-run; inside (the
// variable set) it starts the program on the X display and saves the window.
TEST(Screenshot, MainWindowUnderXvfb) {
    if (const char* out = std::getenv("SMT_SCREENSHOT_OUT")) {
        smt::test::ShellApp app("[LanguageSetConfig]\nLanguageSet=English\n[MachineSetConfig]\nMachineSet=3\n");
        ASSERT_TRUE(app.Start());
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
        const QPixmap shot = app.Frame()->grab();
        ASSERT_FALSE(shot.isNull());
        ASSERT_TRUE(shot.save(QString::fromLocal8Bit(out), "PNG"));
        return;
    }
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    namespace fs = std::filesystem;
    const fs::path artifacts = fs::current_path() / "artifacts";
    fs::create_directories(artifacts);
    const fs::path png = artifacts / "mainframe_xvfb.png";
    fs::remove(png);
    const std::string command = "xvfb-run -a -s '-screen 0 1400x1000x24' env QT_QPA_PLATFORM=xcb "
                                "ASAN_OPTIONS=detect_leaks=0 SMT_SCREENSHOT_OUT='" + png.string() + "' '" +
                                fs::read_symlink("/proc/self/exe").string() +
                                "' --gtest_filter=Screenshot.MainWindowUnderXvfb >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    QImage image(QString::fromStdString(png.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1304, 902));
    // A real picture: the menu bar, tool bar and panels give many colours.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 8u);
}
