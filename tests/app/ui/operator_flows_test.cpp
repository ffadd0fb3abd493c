// The operator's actions through the program's real wiring against the simulated
// machine, on both links: one row per action, each checked against what the
// machine did. Boxes are answered by the scripted responder.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QLineEdit>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>

#include "base/hooks.h"
#include "base/numtext.h"
#include "link/connect.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "link/serial_link.h"
#include "joblist/ui/dialog_part_list.h"
#include "joblist/ui/toolbar_part_control.h"
#include "link/ui/manual_control_dialog.h"
#include "platform/threads.h"
#include "machine_ops/auto_transport.h"
#include "settings/basic_settings.h"
#include "machine_ops/dipping_station.h"
#include "settings/pulse_settings.h"
#include "machine_ops/ui/dialog_auto_transport.h"
#include "machine_ops/ui/dialog_set_basic.h"
#include "machine_ops/ui/dialog_set_pulse.h"
#include "shell_sim_fixture.h"
#include "vision/camera_list.h"
#include "vision/ui/dialog_camera_list.h"
#include "simulator.h"

namespace smt::test {
namespace {

void Click(QWidget& w, const char* name) {
    auto* b = w.findChild<QAbstractButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    b->click();
}

class OperatorFlows : public ShellOnSim {
protected:
    void SetUp() override {
        StartShellOnSim();
        if (HasFatalFailure()) return;
        panel = app->View()->m_pManualControl;
        ASSERT_NE(panel, nullptr);
    }
    void TearDown() override { StopShellOnSim(); }
    int Frames(std::uint16_t code) {
        int n = 0;
        for (const auto& f : machine->machine().Frames()) n += f.code == code && f.accepted;
        return n;
    }
    // What the program booked equals where the machine's drives stand.
    void ExpectBookedAsMoved() {
        const sim::Drives d = machine->machine().Positions();
        EXPECT_EQ(g_PulseX.load(), d.x);
        EXPECT_EQ(g_PulseY.load(), d.y);
    }
    // A settings command opened through the frame's menu, `act` run inside the dialog.
    template <class Dialog>
    void WithDialog(int command, const std::function<void(Dialog&)>& act) {
        bool ran = false;
        app->View()->m_RunModal = [&](QDialog& d) {
            auto* dialog = dynamic_cast<Dialog*>(&d);
            EXPECT_NE(dialog, nullptr) << d.objectName().toStdString();
            d.show();  // as the modal loop would: the dialog fills its fields when shown
            if (dialog) act(*dialog);
            if (d.isVisible()) d.reject();
            ran = true;
            return d.result();
        };
        app->Frame()->Action(command)->trigger();
        EXPECT_TRUE(ran) << command;
    }

    CDialogManualControl* panel = nullptr;
};

TEST_P(OperatorFlows, EveryActionReachesTheMachineThroughTheWiring) {
    const std::string notAvailable = NotAvailableText();
    struct Row {
        const char* action;
        std::function<void()> act;
        std::function<void()> check;
    };
    int homings = 0;
    bool boxOnUiThread = false;
    const std::vector<Row> rows = {
        {"connect",
         [&] { panel->OnConnect(); },
         [&] {
             ASSERT_TRUE(PumpUntil([] { return g_Connected.load() && Idle(); }));
             EXPECT_EQ(boxes.Count(), 0u) << boxes.Texts().front();
         }},
        {"复位原点 homes and leaves the camera where it is",
         [&] {
             homings = Frames(0x02);
             // The mark camera is selected before the homing, refused as not yet homed.
             ScriptedResponder guard;
             app->View()->OnCommand(cmd::ResetOrigin);
             EXPECT_EQ(guard.Texts(), std::vector<std::string>{"Machine is not reset !"});
         },
         [&] {
             ASSERT_TRUE(PumpUntil([] { return g_Homed.load() && Idle(); }));
             EXPECT_EQ(Frames(0x02), homings + 1);
             EXPECT_EQ(ThePositioningState().m_ResetOriginFlag.load(), 0);
             EXPECT_EQ(g_PulseX.load(), 0);
         }},
        {"the pulse test run moves X by the distance",
         [&] {
             WithDialog<CDialogSetPulse>(cmd::SetPulse, [](CDialogSetPulse& d) {
                 d.PickList()->setCurrentIndex(0);
                 d.findChild<QLineEdit*>("m_RunTest")->setText("2.5");
                 Click(d, "c_Execute");
             });
         },
         [&] {
             ASSERT_TRUE(PumpUntil(Idle));
             EXPECT_EQ(g_PulseX.load(), 250);  // 2.5 mm at 100 pulses per mm
             ExpectBookedAsMoved();
         }},
        {"a jog button moves X in whole steps",
         [&] {
             auto* plus = static_cast<QAbstractButton*>(panel->Control(mc::XPlus));
             emit plus->pressed();
             PumpUntil([] { return g_PulseX.load() > 250; });
             emit plus->released();
         },
         [&] {
             ASSERT_TRUE(PumpUntil(Idle));
             EXPECT_GT(g_PulseX.load(), 250);
             EXPECT_EQ((g_PulseX.load() - 250) % panel->Config().m_XY_RunSteps, 0);
             ExpectBookedAsMoved();
         }},
        {"the gear advances and its steps follow",
         [&] { EXPECT_EQ(TheManualJog().NextSpeedGear(), 1); },
         [&] {
             EXPECT_EQ(panel->Config().m_SpeedGears, 1);
             EXPECT_EQ(boxes.Count(), 0u);
         }},
        {"the teach button stores the X counter",
         [&] {
             WithDialog<CDialogSetBasic>(cmd::SetBasic, [](CDialogSetBasic& d) {
                 d.TeachButton(1024)->click();
                 d.accept();
             });
         },
         [&] {
             EXPECT_DOUBLE_EQ(TheBasicSettings().m_X_ThrowPosition,
                              std::stod(TeachValue(g_PulseX.load(), ThePulseFactors().m_X_Pulse)));
             EXPECT_EQ(app->Config("SetBasicConfig", "m_X_ThrowPosition"),
                       TeachValue(g_PulseX.load(), ThePulseFactors().m_X_Pulse));
         }},
        {"the conveyor's board-in jog runs zone 1",
         [&] {
             WithDialog<CDialogAutoTransport>(cmd::AutoTransport, [](CDialogAutoTransport& d) {
                 auto* automatic = static_cast<QAbstractButton*>(d.Control(at::EnableAuto));
                 if (!automatic->isChecked()) automatic->click();  // the conveyor in use
                 static_cast<QAbstractButton*>(d.Control(at::BoardInJog))->click();
                 PumpUntil(Idle);
             });
         },
         [&] {
             ASSERT_TRUE(PumpUntil(Idle));
             EXPECT_EQ(Frames(0x62), 1);
             EXPECT_EQ(boxes.Count(), 0u) << boxes.Texts().front();
         }},
        {"AutoZ measures the reference height",
         [&] {
             machine->machine().SetMeasuredHeight(1500);
             WithDialog<CDialogSetBasic>(cmd::SetBasic, [](CDialogSetBasic& d) { Click(d, "AutoZ"); });
         },
         [&] {
             ASSERT_TRUE(PumpUntil(Idle));
             EXPECT_EQ(Frames(0x71), 1);
             EXPECT_DOUBLE_EQ(TheBasicSettings().m_Z_Measurement, -1500 / ThePulseFactors().m_Z_Pulse);
             EXPECT_EQ(boxes.Count(), 0u) << boxes.Texts().front();
         }},
        {"the dipping station's buttons move head 1 there and measure it",
         [&] {
             WithDialog<QDialog>(cmd::DippingStation, [](QDialog& d) { Click(d, "c_Head1ToDippingStation"); });
             ASSERT_TRUE(PumpUntil(Idle));
             WithDialog<QDialog>(cmd::DippingStation, [](QDialog& d) { Click(d, "MeasureZ"); });
         },
         [&] {
             ASSERT_TRUE(PumpUntil(Idle));
             EXPECT_EQ(Frames(0x71), 2);
             ExpectBookedAsMoved();
             EXPECT_EQ(boxes.Count(), 0u) << boxes.Texts().front();
         }},
        {"the camera table's row menu brings nozzle 1 over the standard piece",
         [&] {
             CameraListSettings s = TheCameraList().Settings();
             s.m_BaseCoordinates_X = 20.0, s.m_BaseCoordinates_Y = -28.0;
             TheCameraList().SetSettings(s);
             WithDialog<CDialogCameraList>(cmd::CameraList, [](CDialogCameraList& d) {
                 ASSERT_NE(d.OnListRClick(0), nullptr);
                 d.OnMenuCommand(cameramenu::NozzleToBase);
                 PumpUntil(Idle);
             });
         },
         [&] {
             ASSERT_TRUE(PumpUntil(Idle));
             EXPECT_EQ(g_PulseX.load(), ToPulses(20.0, ThePulseFactors().m_X_Pulse));
             EXPECT_EQ(g_PulseY.load(), ToPulses(-28.0, ThePulseFactors().m_Y_Pulse));
             ExpectBookedAsMoved();
             EXPECT_EQ(boxes.Count(), 0u) << boxes.Texts().front();
         }},
        {"the machine's start key reaches the part list's Start without holding the reply thread",
         [&] {
             const plat::MsgBoxHandler scripted = plat::SetMessageBoxHandler({});
             plat::SetMessageBoxHandler([&, scripted](const plat::MsgBoxRequest& r) {
                 boxOnUiThread = plat::IsUiThread();
                 return scripted(r);
             });
             machine->PressKey(sim::PanelKey::Start);
             ASSERT_TRUE(PumpUntil([&] { return boxes.Count() > 0; }));
             plat::SetMessageBoxHandler(scripted);
         },
         [&] {
             EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"没有贴装表单 !"});  // no job loaded
             EXPECT_TRUE(boxOnUiThread);
             boxes.Clear();
         }},
        {"after a lost link the pump boxes show again what the machine last had",
         [&] {
             auto pump = [&](int n) { return static_cast<QAbstractButton*>(panel->Control(mc::Pumps[n - 1])); };
             pump(1)->click();  // connected: output 1 goes on
             ASSERT_TRUE(PumpUntil([&] { return machine->machine().Output(1) == 1; }));
             g_Connected = false;  // as after a board time-out
             ASSERT_TRUE(PumpUntil([&] { return !pump(1)->isEnabled(); }));
             pump(1)->setChecked(false);  // changes only the boxes
             pump(2)->setChecked(true);
             panel->OnConnect();
         },
         [&] {
             ASSERT_TRUE(PumpUntil([] { return g_Connected.load() && Idle(); }));
             auto ticked = [&](int n) {
                 return static_cast<QAbstractButton*>(panel->Control(mc::Pumps[n - 1]))->isChecked();
             };
             ASSERT_TRUE(PumpUntil([&] { return ticked(1); }));
             EXPECT_FALSE(ticked(2));
             EXPECT_EQ(machine->machine().Output(2), 0);
         }},
        {"a language switch keeps the link",
         [&] { app->Frame()->Action(cmd::English)->trigger(); },
         [&] {
             EXPECT_TRUE(g_Connected.load());
             EXPECT_TRUE(g_Homed.load());
             EXPECT_EQ(NotAvailableText(), "Function not available");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action);
        row.act();
        row.check();
        if (HasFatalFailure()) return;
    }
}

// The operator's way to a run: before connecting the panel is off (Connect aside),
// after connecting only the reset button is offered, and the finished full homing
// gives back the jog buttons and the part list's Start.
TEST_P(OperatorFlows, ConnectAndFullHomingEnableStart) {
    CToolBarPartControl* tools = app->View()->m_pPartList->ToolBar();
    auto on = [&](int id) { return panel->Control(id)->isEnabled(); };
    const int start = mc::PartListStart;
    for (int id : {mc::XPlus, mc::XMinus, mc::YPlus, mc::YMinus, mc::ZPlus[0], mc::APlus[0], mc::Pumps[0], mc::Reset})
        EXPECT_FALSE(on(id)) << id;
    EXPECT_TRUE(on(mc::Connect));
    EXPECT_FALSE(tools->IsButtonEnabled(start));

    panel->OnConnect();
    ASSERT_TRUE(PumpUntil([&] { return g_Connected.load() && Idle() && on(mc::Reset); }));
    EXPECT_FALSE(on(mc::XPlus));
    EXPECT_FALSE(tools->IsButtonEnabled(start));

    for (int homing = 1; homing <= 2; ++homing) {
        SCOPED_TRACE(homing);
        const int homings = Frames(0x02);
        static_cast<QAbstractButton*>(panel->Control(mc::Reset))->click();
        ASSERT_TRUE(PumpUntil([&] { return Frames(0x02) == homings + 1 && g_Homed.load() && Idle(); }));
        ASSERT_TRUE(PumpUntil([&] { return tools->IsButtonEnabled(start); })) << "Start stays disabled after homing";
        for (int id : {mc::XPlus, mc::YMinus, mc::ZPlus[0], mc::AMinus[0], mc::Pumps[0], mc::Reset})
            EXPECT_TRUE(on(id)) << id;
    }
    // A jog after the homing keeps Start offered.
    auto* plus = static_cast<QAbstractButton*>(panel->Control(mc::XPlus));
    emit plus->pressed();
    emit plus->released();
    ASSERT_TRUE(PumpUntil(Idle));
    EXPECT_TRUE(tools->IsButtonEnabled(start));
    EXPECT_EQ(boxes.Count(), 0u) << boxes.Texts().front();
}

INSTANTIATE_TEST_SUITE_P(BothLinks, OperatorFlows, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

// A job saved and opened again on the machine types with their own companions;
// the lamp lines of type 4 are there from the start.
TEST(JobFiles, SaveAndReopenOnTypesZeroFourAndNine) {
    for (int type : {0, 4, 9}) {
        SCOPED_TRACE(type);
        ShellApp app("[MachineSetConfig]\r\nMachineSet=" + std::to_string(type) + "\r\n");
        ASSERT_TRUE(app.Start());
        ScriptedResponder boxes;
        CSMTDoc& doc = app.Frame()->Document();
        app.View()->Job().SetJob("P", 1, {"row\t"});
        const std::string path = app.Dir().File("job.smt");
        ASSERT_TRUE(doc.OnSaveDocument(path));
        EXPECT_EQ(boxes.Count(), 0u);
        EXPECT_EQ(std::filesystem::exists(app.Dir().File("job.txt")), type == 4);
        app.View()->Job().SetJob("Q", 0, {});
        // A marker line: type 4's open replaces it with the job's 20 lamp lines,
        // the other types leave the lamp lines alone.
        const std::vector<std::string> marker{"marker\r\n"};
        {
            std::lock_guard lock(LampTableMutex());
            g_LampTableLines = marker;
        }
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(app.View()->Job().PcbRecordCount(), 1);
        {
            std::lock_guard lock(LampTableMutex());
            if (type == 4) EXPECT_EQ(g_LampTableLines.size(), 20u);
            else EXPECT_EQ(g_LampTableLines, marker);
            g_LampTableLines.clear();
        }
        EXPECT_EQ(boxes.Count(), 0u);
    }
}

} // namespace
} // namespace smt::test
