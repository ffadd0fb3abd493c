// The placement strategy dialog in the running program: opened from the run
// toolbar, shown for the machine type, its OK refused on a value out of range,
// and the nozzle-change question.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "feeders/nozzle_library.h"
#include "joblist/smt_strategy.h"
#include "joblist/ui/dialog_part_list.h"
#include "run_state/nozzle_work.h"

namespace smt::test {
namespace {

using Texts = std::vector<std::string>;

TEST(StrategyDialog, ShowsTheMachineTypeRefusesOutOfRangeAndAsksBeforeNozzleChange) {
    ShellApp app("[MachineSetConfig]\r\nMachineSet=4\r\n[SmtStrategyConfig]\r\nm_RunSelect=5\r\nm_Cover=1\r\n");
    ASSERT_TRUE(app.Start());
    CSMTView* v = app.View();
    std::function<void(CDialogSMTStrategy&)> script;
    v->m_RunModal = [&](QDialog& d) {
        if (auto* s = dynamic_cast<CDialogSMTStrategy*>(&d)) script(*s);
        return 0;
    };
    auto radio = [](CDialogSMTStrategy& d, const char* n) { return static_cast<QRadioButton*>(d.Control(n)); };
    auto check = [](CDialogSMTStrategy& d, const char* n) { return static_cast<QCheckBox*>(d.Control(n)); };
    ScriptedResponder boxes;

    // Type 4: a stored run mode 5 shows as 12; the cover-tape unit is off.
    script = [&](CDialogSMTStrategy& d) {
        EXPECT_TRUE(radio(d, "run12")->isChecked());
        EXPECT_FALSE(d.Control("run5")->isEnabled());
        EXPECT_FALSE(check(d, "c_Cover")->isChecked());
        EXPECT_FALSE(d.Control("c_Cover")->isEnabled());
        EXPECT_FALSE(d.Control("c_TogetherCode")->isEnabled());  // created disabled
        // Out of range: the dialog stays open and nothing changes.
        static_cast<QLineEdit*>(d.Control("m_DisSpeedStart_XY"))->setText("300");
        radio(d, "order3")->setChecked(true);
        d.OnOK();
        EXPECT_EQ(d.result(), QDialog::Rejected);
    };
    v->m_pPartList->OnCommand(tool::Strategy);
    EXPECT_EQ(boxes.Texts(), Texts{"请输入一个介于 1 和 255 之间的整数。"});
    EXPECT_EQ(TheSmtStrategy().Config().m_SmtOrder, 0);
    EXPECT_EQ(TheSmtStrategy().RunSelect(), 5);
    EXPECT_EQ(app.Config("SmtStrategyConfig", "m_SmtOrder"), "");

    // Type 2: No to the question leaves the box clear and the nozzles as they were.
    g_MachineType = 2;
    g_NozzleWork[0].mountedNozzle = 3;
    boxes.Clear();
    boxes.Push(plat::MsgAnswer::No);
    script = [&](CDialogSMTStrategy& d) {
        EXPECT_TRUE(radio(d, "run5")->isChecked());
        EXPECT_FALSE(d.Control("c_Cover")->isEnabled());  // the cover serves run mode 0 only
        radio(d, "run0")->click();
        check(d, "c_AutoChangeNozzle")->click();
        EXPECT_FALSE(check(d, "c_AutoChangeNozzle")->isChecked());
        radio(d, "head1")->click();
        radio(d, "nozzle2")->click();  // not kept with one nozzle type: back to A1A2
        EXPECT_TRUE(radio(d, "nozzle0")->isChecked());
        d.OnOK();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    };
    v->m_pPartList->OnCommand(tool::Strategy);
    EXPECT_EQ(g_NozzleWork[0].mountedNozzle, 3);
    EXPECT_EQ(boxes.Texts(), (Texts{"启用自动换吸嘴后，请把贴片头上的吸嘴放到吸嘴库上去 !", "修改选项后必须重新启动软件 !"}));
    EXPECT_EQ(TheSmtStrategy().Config().m_HeaderSelect, 1);
    EXPECT_EQ(g_SmtHeadCount, 2);
    EXPECT_EQ(app.Config("SmtStrategyConfig", "m_RunSelect"), "0");
    // The machine-type command resets the head mode and saves.
    app.Frame()->OnCommand(CommandOfMachineType(0));
    EXPECT_EQ(TheSmtStrategy().Config().m_HeaderSelect, 0);
    EXPECT_EQ(app.Config("SmtStrategyConfig", "m_HeaderSelect"), "0");
    EXPECT_EQ(g_SmtHeadCount, 1);
    g_NozzleWork[0].mountedNozzle = 0;
    TheSmtStrategy().SetConfig({});
}

// After a machine-type change, whatever run mode was stored, the one the dialog
// shows chosen is one the operator can choose.
TEST(StrategyDialog, AfterAMachineTypeChangeTheChosenRunModeIsEnabled) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    CSMTView* v = app.View();
    std::string faults;
    int type = 0, stored = 0;
    v->m_RunModal = [&](QDialog& d) {
        auto* s = dynamic_cast<CDialogSMTStrategy*>(&d);
        if (!s) return 0;
        int checked = -1;
        for (int m = 0; m <= 12; ++m)
            if (static_cast<QRadioButton*>(s->Control("run" + std::to_string(m)))->isChecked()) checked = m;
        if (checked < 0 || !s->Control("run" + std::to_string(checked))->isEnabled())
            faults += "type " + std::to_string(type) + " stored " + std::to_string(stored) + " shows " +
                      std::to_string(checked) + "\n";
        return 0;
    };
    ScriptedResponder boxes;
    for (type = 0; type <= 9; ++type) {
        if (MachineTypeCommandHandled(CommandOfMachineType(type))) app.Frame()->OnCommand(CommandOfMachineType(type));
        else g_MachineType = type;
        for (stored = 0; stored <= 12; ++stored) {
            SmtStrategyConfig c = TheSmtStrategy().Config();
            c.m_RunSelect = stored;
            TheSmtStrategy().SetConfig(c);
            v->m_pPartList->OnCommand(tool::Strategy);
        }
    }
    EXPECT_EQ(faults, "");
    TheSmtStrategy().SetConfig({});
}

} // namespace
} // namespace smt::test
