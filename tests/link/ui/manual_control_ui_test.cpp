// The manual control panel: controls shown and enabled per machine type, the
// trace, positions and counters, its config section, the reset menu, and a
// screenshot of the main window connected to the simulated machine.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "base/captions.h"
#include "app/ui/uiservices.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/serial_link.h"
#include "link/ui/manual_control_dialog.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "simulator.h"
#include "test_support.h"

using namespace smt;
using namespace smt::test;

namespace {

bool PumpUntil(const std::function<bool()>& done, int limitMs = 8000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

bool Shown(CDialogManualControl& p, int id) { return !p.Control(id)->isHidden(); }

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_old = std::filesystem::current_path();
        std::filesystem::current_path(m_dir.Path());
        plat::FlushProfileCache();
        ResetLinkState();
        InstallUiServices();
        panel = std::make_unique<CDialogManualControl>(nullptr);
        panel->resize(530, 420);
    }
    void TearDown() override {
        panel.reset();
        plat::JoinAllWorkers(std::chrono::seconds(5));
        RemoveUiServices();
        std::filesystem::current_path(m_old);
        ResetLinkState();
    }
    TempDir m_dir;
    std::filesystem::path m_old;
    std::unique_ptr<CDialogManualControl> panel;
};

}  // namespace

TEST_F(PanelTest, ControlsShownPerMachineTypeAndEnablingFollowsTheRules) {
    for (int type : {0, 1, 2, 3, 4, 5, 6, 7, 9}) {
        SCOPED_TRACE(type);
        panel->LayoutManualControlForModel(type);
        const ManualControlLayout l = LayoutForMachineType(type, panel->HeadGroup());
        for (int n = 1; n <= 8; ++n) {
            const bool z = std::count(l.zNozzles.begin(), l.zNozzles.end(), n) > 0;
            const bool a = std::count(l.aNozzles.begin(), l.aNozzles.end(), n) > 0;
            EXPECT_EQ(Shown(*panel, mc::ZPlus[n - 1]), z) << n;
            EXPECT_EQ(Shown(*panel, mc::ZMinus[n - 1]), z) << n;
            EXPECT_EQ(Shown(*panel, mc::APlus[n - 1]), a) << n;
            EXPECT_EQ(Shown(*panel, mc::AMinus[n - 1]), a) << n;
            EXPECT_EQ(Shown(*panel, mc::Pumps[n - 1]), n <= l.pumps) << n;
            EXPECT_EQ(Shown(*panel, mc::NozzleFields[n - 1]), n <= l.nozzleFields) << n;
        }
        EXPECT_EQ(Shown(*panel, mc::HeadGroup), type == 4 || type == 7);
        for (int id : {mc::Reset, mc::Connect, mc::XMinus, mc::YPlus, mc::FeedBank, mc::FeedXPlus, mc::PosX,
                       mc::CommandCounter, mc::ReplyCounter, mc::StepText})
            EXPECT_TRUE(Shown(*panel, id)) << id;
        EXPECT_EQ(panel->Control(mc::Trace)->geometry().top(), 276);
    }
    // From eight heads in head group 2 to four heads: the first four again.
    panel->LayoutManualControlForModel(7);
    panel->SetHeadGroup(2);
    EXPECT_TRUE(Shown(*panel, mc::ZPlus[6]));
    EXPECT_FALSE(Shown(*panel, mc::ZPlus[0]));
    panel->LayoutManualControlForModel(3);
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(Shown(*panel, mc::ZPlus[n - 1]), n <= 4) << n;
        EXPECT_EQ(Shown(*panel, mc::APlus[n - 1]), n <= 4) << n;
        EXPECT_EQ(Shown(*panel, mc::AMinus[n - 1]), n <= 4) << n;
    }

    // The rules per type are pinned headless; here the states reach the widgets and the part list.
    panel->LayoutManualControlForModel(2);
    for (bool on : {false, true}) {
        panel->EnableManualControls(on);
        for (int id : {mc::Reset, mc::XPlus, mc::ZMinus[1], mc::APlus[1], mc::Pumps[1], mc::SPlus, mc::FeedXPlus})
            EXPECT_EQ(panel->Control(id)->isEnabled(), on) << id;
    }
    panel->LayoutManualControlForModel(0);  // the panel's own type decides: type 0 disables the cluster
    panel->EnableManualControls(true);
    EXPECT_FALSE(panel->Control(mc::FeedXPlus)->isEnabled());
    std::vector<std::pair<int, bool>> tools;
    PartListToolButtons() = [&](int id, bool on) { tools.emplace_back(id, on); };
    panel->EnableManualControls(false);
    g_PanelLink.resetKind = 0;
    panel->EnableManualControls(true);
    PartListToolButtons() = nullptr;
    EXPECT_EQ(tools, (std::vector<std::pair<int, bool>>{{mc::PartListStart, false}}));
}

// Not connected, the panel stands as its enabling rules set it for an idle panel,
// from its creation and on every type it is laid out for; Connect stays usable.
TEST_F(PanelTest, BeforeConnectingTheControlsFollowTheRulesOfAnIdlePanel) {
    std::map<int, bool> tools;
    PartListToolButtons() = [&](int id, bool on) { tools[id] = on; };
    panel = std::make_unique<CDialogManualControl>(nullptr);  // a new panel is of type 0
    bool fresh = true;
    for (int type : {0, 2, 4, 1, 7, 9, 3, 5, 6, 0}) {
        SCOPED_TRACE(type);
        if (!fresh) panel->LayoutManualControlForModel(type);
        fresh = false;
        std::map<int, bool> want;
        for (const auto& [id, on] : EnableStates(false, {type, false, -1})) want[id] = on;
        for (const auto& [id, on] : want) {
            if (id == mc::PartListStart || id == mc::PartListClamp) EXPECT_EQ(tools.at(id), on) << id;
            else EXPECT_EQ(panel->Control(id)->isEnabled(), on) << id;
        }
        for (int id : {mc::XPlus, mc::XMinus, mc::YPlus, mc::YMinus, mc::ZPlus[0], mc::AMinus[0], mc::Reset})
            EXPECT_FALSE(panel->Control(id)->isEnabled()) << id;
        // The feeder cluster around the bank button is off like the rest, on every type.
        for (int id : {mc::FeedYPlus, mc::FeedXMinus, mc::FeedXPlus, mc::FeedYMinus})
            EXPECT_FALSE(panel->Control(id)->isEnabled()) << id;
        EXPECT_TRUE(panel->Control(mc::Connect)->isEnabled());
    }
    PartListToolButtons() = nullptr;
}

TEST_F(PanelTest, TraceGoesInAtTheCaretAndPositionsAndCountersShow) {
    panel->AppendCommTrace("61->Start", true);
    panel->AppendCommTrace("61->end", true);
    auto* trace = static_cast<QPlainTextEdit*>(panel->Control(mc::Trace));
    EXPECT_EQ(trace->toPlainText(), "61->Start\n61->end\n");
    // The operator clicked after "61->Start" and selected a word: the selection is
    // dropped and the next line goes in at the caret.
    QTextCursor c = trace->textCursor();
    c.setPosition(10);
    c.setPosition(12, QTextCursor::KeepAnchor);
    trace->setTextCursor(c);
    panel->AppendCommTrace("53->Start", true);
    EXPECT_EQ(trace->toPlainText(), "61->Start\n6153->Start\n->end\n");
    panel->AppendCommTrace("x", false);
    EXPECT_EQ(trace->toPlainText(), "61->Start\n6153->Start\nx->end\n");

    panel->ShowPosition(PositionField::X, "100.5000");
    EXPECT_EQ(static_cast<QLineEdit*>(panel->Control(mc::PosX))->text(), "100.5000");
    panel->ShowCounters(7, 5);
    EXPECT_EQ(static_cast<QLineEdit*>(panel->Control(mc::CommandCounter))->text(), "7");
    EXPECT_EQ(static_cast<QLineEdit*>(panel->Control(mc::ReplyCounter))->text(), "5");
    panel->SetNozzleChecks(0, true);
    EXPECT_TRUE(static_cast<QAbstractButton*>(panel->Control(mc::Pumps[7]))->isChecked());
    panel->SetNozzleChecks(2, false);
    EXPECT_FALSE(static_cast<QAbstractButton*>(panel->Control(mc::Pumps[1]))->isChecked());
    EXPECT_TRUE(static_cast<QAbstractButton*>(panel->Control(mc::Pumps[0]))->isChecked());

    // From another thread the trace arrives through the user-interface thread.
    std::thread([] { AppendCommTrace("62->Start", true); }).join();
    ASSERT_TRUE(PumpUntil([&] { return trace->toPlainText().contains("62->Start"); }));
}

TEST_F(PanelTest, SectionAndFeederBank) {
    WriteBytes(m_dir.File("config.ini"),
               "[ManualControlConfig]\r\nm_XY_RunSteps=100\r\nm_Feed_Direction=7\r\nm_ComNumber=4\r\n");
    plat::FlushProfileCache();
    panel->LoadManualControlConfig("./config.ini");
    EXPECT_EQ(static_cast<QAbstractButton*>(panel->Control(mc::FeedBank))->text(), "方位");
    EXPECT_EQ(static_cast<QWidget*>(panel->Control(mc::StepText))->property("text").toString(),
              "XY100,  Z0,  A0,  F0,  S0");
    // The section's round trip is pinned headless; the panel saves into the folder it is given.
    panel->Config().m_ComNumber = 9;
    ASSERT_TRUE(panel->SaveManualControlConfig(m_dir.Path()));
    EXPECT_NE(ReadBytes(m_dir.File("config.ini")).find("m_ComNumber=9"), std::string::npos);
}

TEST_F(PanelTest, ResetMenuPerMachineTypeAndRefusal) {
    panel->LayoutManualControlForModel(4);
    auto menu = panel->BuildResetMenu();
    for (QAction* a : menu->actions())
        if (a->data().toInt() == kMenuResetSouth) {
            EXPECT_FALSE(a->isEnabled());
        }
    // The menu reaches the homing, which refuses (the refusals are pinned by the homing flows).
    ScriptedResponder boxes;
    g_PanelLink.resetKind = -1;
    panel->OnResetMenuItem(kMenuResetX);
    ASSERT_TRUE(PumpUntil([&] { return boxes.Count() == 1; }));
    EXPECT_EQ(boxes.Texts()[0], "Machine is not connection !");
    EXPECT_EQ(g_PanelLink.resetKind.load(), -1);
}

// Outside Xvfb this test starts its own binary under xvfb-run; inside (the
// variable set) it connects the program to the simulated machine, homes it, moves
// X and saves the main window.
TEST(ManualControlScreenshot, ConnectedMainWindowUnderXvfb) {
    namespace fs = std::filesystem;
    if (const char* out = std::getenv("SMT_PANEL_SCREENSHOT_OUT")) {
        TempDir serialDir;
        sim::SimConfig c;
        c.serialDir = serialDir.Path();
        c.comNumber = 5;
        c.udp = false;
        sim::Simulator machine(c);
        ASSERT_TRUE(machine.Start());
        setenv("SMT_SERIAL_DIR", serialDir.Path().c_str(), 1);
        ShellApp app("[MachineSetConfig]\nMachineSet=2\n[ManualControlConfig]\nm_ComNumber=5\nm_XY_RunSteps=500\n"
                     "m_Z_RunSteps=50\nm_A_RunSteps=90\nm_Feed_RunSteps=20\nm_S_RunSteps=10\n");
        ASSERT_TRUE(app.Start());
        TheBasicSettings().m_OnlineToReset = 1;
        auto& f = ThePulseFactors();
        f.m_X_Pulse = f.m_Z_Pulse = 100;
        f.m_Y_Pulse = 80;  // apart from X, so that a swapped factor shows
        f.m_A_Pulse = 10;
        CDialogManualControl* panel = app.View()->m_pManualControl;
        ASSERT_NE(panel, nullptr);
        panel->OnConnect();
        ASSERT_TRUE(PumpUntil([] { return g_Connected.load() && g_Homed.load() && !g_Running.load(); }));
        SetMoveLimits({100000, -100000, 100000, 100000});
        std::atomic<bool> moved{false};
        plat::StartWorker("test move", [&] {
            MoveSingleAxis({0, 12345, {10, 40}});
            MoveSingleAxis({1, -6789, {10, 40}});
            moved = true;
        });
        ASSERT_TRUE(PumpUntil([&] { return moved.load(); }));
        for (int i = 0; i < 30; ++i) QApplication::processEvents();
        EXPECT_EQ(static_cast<QLineEdit*>(panel->Control(mc::PosX))->text(), "123.4500");
        EXPECT_EQ(static_cast<QLineEdit*>(panel->Control(mc::PosY))->text(), "-84.8625");  // -6789 / 80
        const QPixmap shot = app.Frame()->grab();
        ASSERT_TRUE(shot.save(QString::fromLocal8Bit(out), "PNG"));
        auto connectText = [&] { return static_cast<QAbstractButton*>(panel->Control(mc::Connect))->text(); };
        // A language switch keeps what the connect button says; the main window in each language.
        const char* shots = std::getenv("SMT_SCREENSHOT_DIR");
        const std::pair<int, const char*> languages[] = {
            {cmd::English, "Connected"}, {cmd::German, "Verbunden"}, {cmd::Chinese, "联机成功"}};
        for (const auto& [command, connected] : languages) {
            app.Frame()->Action(command)->trigger();
            for (int i = 0; i < 30; ++i) QApplication::processEvents();
            EXPECT_EQ(connectText(), QString::fromUtf8(connected));
            EXPECT_TRUE(panel->Control(mc::Reset)->isEnabled());
            if (shots)
                app.Frame()->grab().save(QStringLiteral("%1/main_window_%2.png")
                                             .arg(shots, kLanguageNames[g_LanguageIndex]), "PNG");
        }
        // The port goes away: the operator is told in one box, the button offers to
        // connect again and the panel is off, also after a language switch.
        ScriptedResponder boxes;
        machine.serial()->Unplug();
        ASSERT_TRUE(PumpUntil([&] { return connectText() == "联机"; }));
        ASSERT_TRUE(PumpUntil([&] { return boxes.Count() == 1; }));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{LinkLostText()});
        EXPECT_FALSE(panel->Control(mc::Reset)->isEnabled());
        EXPECT_FALSE(panel->Control(mc::XPlus)->isEnabled());
        app.Frame()->Action(cmd::English)->trigger();
        QApplication::processEvents();
        EXPECT_EQ(connectText(), "Connect");
        EXPECT_FALSE(panel->Control(mc::XPlus)->isEnabled());
        // Connected again (no homing): the fields show where the machine stands.
        ASSERT_TRUE(machine.serial()->Replug());
        TheBasicSettings().m_OnlineToReset = 0;
        static_cast<QLineEdit*>(panel->Control(mc::PosX))->clear();
        panel->OnConnect();
        ASSERT_TRUE(PumpUntil([&] { return g_Connected.load() && connectText() == "Connected"; }));
        ASSERT_TRUE(PumpUntil([&] { return static_cast<QLineEdit*>(panel->Control(mc::PosX))->text() == "123.4500"; }));
        GetSerialLink().Close();
        machine.Stop();
        return;
    }
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const fs::path artifacts = fs::current_path() / "artifacts";
    fs::create_directories(artifacts);
    const fs::path png = artifacts / "manual_control_connected.png";
    fs::remove(png);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string command = "xvfb-run -a -s '-screen 0 1280x800x24' env QT_QPA_PLATFORM=xcb "
                                "ASAN_OPTIONS=detect_leaks=0 SMT_PANEL_SCREENSHOT_OUT='" + png.string() + "' '" +
                                self + "' --gtest_filter=ManualControlScreenshot.* >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    QImage image(QString::fromStdString(png.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 600);
}
