#include "link/ui/jog_glue.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>

#include "base/globals.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/link_state.h"
#include "link/positioning.h"
#include "link/ui/manual_control_dialog.h"
#include "platform/uipost.h"
#include "settings/speed_template.h"

namespace smt {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// Runs `f` on the user-interface thread while the panel lives.
template <class F>
void OnPanel(QPointer<CDialogManualControl> panel, F f) {
    plat::PostToUi([panel, f = std::move(f)] {
        if (panel) f(*panel);
    });
}

// Looks at the keys meant for the panel or its controls before they do, and at
// right clicks on the panel.
class JogInputFilter : public QObject {
public:
    explicit JogInputFilter(CDialogManualControl* panel) : QObject(panel), m_panel(panel) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool ours = widget && (widget == m_panel || m_panel->isAncestorOf(widget));
        if (!ours) return false;
        ManualJog& jog = TheManualJog();
        if (event->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(event);
            if (k->key() == Qt::Key_Escape) {  // the panel's stop: no wait outlasts it
                jog.Stop();
                StopMachineWaits();
                return true;
            }
            // A modifier's own key press does not carry its modifier.
            const bool ctrl = (k->modifiers() & Qt::ControlModifier) || k->key() == Qt::Key_Control;
            const bool shift = (k->modifiers() & Qt::ShiftModifier) || k->key() == Qt::Key_Shift;
            // A held key already repeats inside the jog.
            if (k->isAutoRepeat() && !(ctrl && shift)) return ctrl && KeyOf(k->key()) != ManualJog::Key::Other;
            return jog.OnKeyDown(KeyOf(k->key()), ctrl, shift);
        }
        if (event->type() == QEvent::KeyRelease) {
            auto* k = static_cast<QKeyEvent*>(event);
            if (!k->isAutoRepeat()) jog.OnKeyUp(KeyOf(k->key()));
            return false;
        }
        if (event->type() == QEvent::ContextMenu && widget == m_panel) {
            auto menu = BuildSpeedMenu(m_panel);
            if (QAction* chosen = menu->exec(QCursor::pos())) jog.OnMenu(chosen->data().toInt());
            return true;
        }
        return false;
    }

private:
    CDialogManualControl* m_panel;
};
}  // namespace

ManualJog::Key KeyOf(int key) {
    switch (key) {
    case Qt::Key_Left: return ManualJog::Key::Left;
    case Qt::Key_Right: return ManualJog::Key::Right;
    case Qt::Key_Up: return ManualJog::Key::Up;
    case Qt::Key_Down: return ManualJog::Key::Down;
    default: return ManualJog::Key::Other;
    }
}

std::unique_ptr<QMenu> BuildSpeedMenu(CDialogManualControl* panel) {
    const auto& t = TheManualControlTexts();
    auto menu = std::make_unique<QMenu>(panel);
    menu->setObjectName("menu331");
    const bool eightHeads = panel->MachineType() == 7;
    static const char* const kGroups[] = {"c_XY_RunPositioning", "c_Z_RunPositioning", "c_A_RunPositioning",
                                          "c_F_RunPositioning", "c_S_RunPositioning"};
    // The operator sees which gear and step the next jog uses: the XY items mark the
    // gear, the other groups the speed their step came from, the banks the bank.
    const ManualControlConfig& c = panel->Config();
    const SpeedTemplateSettings speeds = TheSpeedTemplates().Settings();
    const std::int32_t steps[] = {c.m_XY_RunSteps, c.m_Z_RunSteps, c.m_A_RunSteps, c.m_Feed_RunSteps,
                                  c.m_S_RunSteps};
    for (int g = 0; g < kJogGroupCount; ++g) {
        QMenu* sub = menu->addMenu(Q(t.Text(kGroups[g])));
        sub->setEnabled(!(eightHeads && (g == 3 || g == 4)));
        auto* exclusive = new QActionGroup(sub);
        bool marked = false;
        for (const SpeedMenuItem& item : SpeedMenuItems()) {
            if (static_cast<int>(item.group) != g) continue;
            QAction* a = sub->addAction(Q(t.Text(item.captionKey)));
            a->setData(item.id);
            a->setCheckable(true);
            exclusive->addAction(a);
            const bool on = item.group == JogGroup::XY ? item.gear == c.m_SpeedGears
                                                       : JogStep(speeds, item.gear, item.group) == steps[g];
            if (on && !marked) a->setChecked(marked = true);
        }
    }
    QMenu* banks = menu->addMenu(Q(t.Text("c_F_PosSwitch")));
    banks->setEnabled(!eightHeads);
    auto* bankGroup = new QActionGroup(banks);
    static const char* const kBanks[] = {"c_ID_Feed_East", "c_ID_Feed_South", "c_ID_Feed_West", "c_ID_Feed_North"};
    for (int b = 0; b < 4; ++b) {
        QAction* a = banks->addAction(Q(t.Text(kBanks[b])));
        a->setData(kMenuBankFirst + b);
        a->setEnabled(b != 1);  // the south bank has no drives
        a->setCheckable(true);
        bankGroup->addAction(a);
        a->setChecked(b == c.m_Feed_Direction);
    }
    menu->addAction(Q(t.Text("c_Cameragetmark1offset")))->setData(kMenuMark1Offset);
    menu->addAction(Q(t.Text("c_Cameragetmark2offset")))->setData(kMenuMark2Offset);
    return menu;
}

void ConnectJogControls(CDialogManualControl* panel) {
    ManualJog& jog = TheManualJog();
    jog.BindConfig(&panel->Config());
    jog.SetHeadGroup(panel->HeadGroup());
    auto& link = GetLinkHooks();
    if (!link.machineType) link.machineType = [] { return g_MachineType.load(); };
    QPointer<CDialogManualControl> p(panel);
    JogPort& port = jog.Port();
    port.showStepText = [p](const std::string& text) {
        OnPanel(p, [text](CDialogManualControl& c) {
            if (auto* l = qobject_cast<QLabel*>(c.Control(mc::StepText))) l->setText(Q(text));
        });
    };
    port.showBank = [p](int bank) {
        static const char* const kBanks[] = {"c_ID_Feed_East", "c_ID_Feed_South", "c_ID_Feed_West", "c_ID_Feed_North"};
        OnPanel(p, [bank](CDialogManualControl& c) {
            if (auto* b = qobject_cast<QAbstractButton*>(c.Control(mc::FeedBank)); b && bank >= 0 && bank < 4)
                b->setText(Q(TheManualControlTexts().Text(kBanks[bank])));
        });
    };
    port.enableControl = [p](int id, bool on) {
        OnPanel(p, [id, on](CDialogManualControl& c) {
            if (QWidget* w = c.Control(id)) w->setEnabled(on);
        });
    };
    port.showHeadGroup = [p](int group) {
        OnPanel(p, [group](CDialogManualControl& c) {
            c.SetHeadGroup(group);
            if (c.MachineType() == 4)
                static_cast<QAbstractButton*>(c.Control(mc::HeadGroup))->setText(QString::number(group));
        });
    };
    port.runSelect = [] {
        const auto& f = TheCommandPanel().runSelect;
        return f ? f() : 0;
    };
    panel->SetControlHandler([](int id, bool pressed) { TheManualJog().OnButton(id, pressed); });
    qApp->installEventFilter(new JogInputFilter(panel));
}

}  // namespace smt
