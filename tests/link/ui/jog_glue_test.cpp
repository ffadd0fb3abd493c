// The panel's jog wiring: the speed menu per machine type, Ctrl+arrow and
// Shift+Ctrl reaching the jog, and the jog's texts reaching the panel.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include "link/jog.h"
#include "link/link_state.h"
#include "link/connect.h"
#include "link/ui/jog_glue.h"
#include "link/ui/manual_control_dialog.h"
#include "platform/uipost.h"
#include "test_support.h"

namespace smt::test {
namespace {

class JogGlue : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLinkState();
        panel = std::make_unique<CDialogManualControl>(nullptr);
        ConnectJogControls(panel.get());
        InstallConnectHooks();
        InstallJogHooks();
    }
    void TearDown() override {
        TheManualJog().BindConfig(nullptr);
        TheManualJog().Port() = JogPort{};
        panel.reset();
        plat::RunPostedTasks();
        GetLinkHooks() = LinkHooks{};
        ResetLinkState();
    }
    void Key(QWidget* target, int key, Qt::KeyboardModifiers mods) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, mods);
            QApplication::sendEvent(target, &event);
        }
        plat::RunPostedTasks();
        QApplication::processEvents();
    }
    static QMenu* Submenu(QMenu& menu, int index) { return menu.actions().at(index)->menu(); }

    ScriptedResponder boxes;
    std::unique_ptr<CDialogManualControl> panel;
};

TEST_F(JogGlue, SpeedMenuGreysTheSouthBankAndTheFeederPartsOnEightHeads) {
    panel->LayoutManualControlForModel(0);
    auto menu = BuildSpeedMenu(panel.get());
    ASSERT_EQ(menu->actions().size(), 8);
    QMenu* banks = Submenu(*menu, 5);
    ASSERT_NE(banks, nullptr);
    EXPECT_TRUE(banks->isEnabled());
    EXPECT_FALSE(banks->actions().at(1)->isEnabled()) << "south";
    EXPECT_TRUE(banks->actions().at(2)->isEnabled());
    EXPECT_EQ(Submenu(*menu, 0)->actions().at(1)->data().toInt(), 32955);
    EXPECT_EQ(menu->actions().at(7)->data().toInt(), kMenuMark2Offset);

    // The gear and the bank in use carry the mark; the others are radio items beside them.
    panel->Config().m_SpeedGears = 2;
    panel->Config().m_Feed_Direction = 3;
    menu = BuildSpeedMenu(panel.get());
    std::vector<bool> marks;
    for (QAction* a : Submenu(*menu, 0)->actions()) marks.push_back(a->isChecked());
    EXPECT_EQ(marks, (std::vector<bool>{false, false, true, false}));
    EXPECT_TRUE(Submenu(*menu, 5)->actions().at(3)->isChecked());
    EXPECT_TRUE(Submenu(*menu, 5)->actions().at(0)->actionGroup()->isExclusive());

    panel->LayoutManualControlForModel(7);
    menu = BuildSpeedMenu(panel.get());
    EXPECT_TRUE(Submenu(*menu, 2)->isEnabled());
    for (int feederPart : {3, 4, 5}) EXPECT_FALSE(Submenu(*menu, feederPart)->isEnabled()) << feederPart;
}

TEST_F(JogGlue, KeysOfThePanelReachTheJogAndItsStepText) {
    QWidget* button = panel->Control(mc::XPlus);
    Key(button, Qt::Key_Shift, Qt::ControlModifier);
    EXPECT_EQ(panel->Config().m_SpeedGears, 1) << "the panel's own configuration is the jog's";
    EXPECT_EQ(static_cast<QLabel*>(panel->Control(mc::StepText))->text().toStdString(),
              JogStepText(panel->Config()));
    Key(button, Qt::Key_Left, Qt::ControlModifier);
    Key(button, Qt::Key_Left, Qt::NoModifier);  // without Ctrl: not a jog
    // the gear's and the jog's refusals; the key without Ctrl asked nothing
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, "Machine is not connection !"));
}

TEST_F(JogGlue, BankMenuShowsTheBankOnItsButton) {
    TheManualJog().OnMenu(kMenuBankFirst + 2);
    plat::RunPostedTasks();
    QApplication::processEvents();
    EXPECT_EQ(panel->Config().m_Feed_Direction, 2);
    EXPECT_EQ(static_cast<QAbstractButton*>(panel->Control(mc::FeedBank))->text(), QString::fromUtf8("西"));
}

}  // namespace
}  // namespace smt::test
