#include "link/ui/manual_control_dialog.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>

#include "base/named_steps.h"
#include "link/busy.h"
#include "link/connect.h"
#include "link/homing.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "base/globals.h"
#include "link/command_common.h"
#include "link/commands.h"
#include "link/reply_handlers.h"
#include "settings/basic_settings.h"

namespace smt {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// The reset button: a left click homes, a right click opens the reset menu.
class ResetButton : public QPushButton {
public:
    ResetButton(const QString& text, QWidget* parent, std::function<void()> menu)
        : QPushButton(text, parent), m_menu(std::move(menu)) {}

protected:
    void contextMenuEvent(QContextMenuEvent* e) override {
        m_menu();
        e->accept();
    }

private:
    std::function<void()> m_menu;
};

// Trace lines that arrive before the panel exists, or after it went, are dropped.
QPointer<CDialogManualControl> g_panel;
// The head group as the command functions read it from their threads.
std::atomic<int> g_headGroup{1};

template <class F>
void onPanel(F f) {
    plat::PostToUi([f = std::move(f)] {
        if (g_panel) f(*g_panel);
    });
}
}  // namespace

CDialogManualControl::CDialogManualControl(QWidget* parent) : QFrame(parent) {
    setObjectName("CDialogManualControl");
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    const auto& t = TheManualControlTexts();

    m_controls[mc::Reset] = new ResetButton(QStringLiteral("复位"), this, [this] {
        auto menu = BuildResetMenu();
        if (QAction* chosen = menu->exec(QCursor::pos())) OnResetMenuItem(chosen->data().toInt());
    });
    m_controls[mc::Reset]->setObjectName("c1058");
    connect(static_cast<QPushButton*>(m_controls[mc::Reset]), &QPushButton::clicked, this,
            &CDialogManualControl::OnResetButton);
    auto* connectButton = static_cast<QPushButton*>(addButton(mc::Connect, Q(t.Text("c_Online"))));
    connect(connectButton, &QPushButton::clicked, this, &CDialogManualControl::OnConnect);
    addButton(mc::XMinus, "X-");
    addButton(mc::XPlus, "X+");
    addButton(mc::YPlus, "Y+");
    addButton(mc::YMinus, "Y-");
    for (int n = 1; n <= 8; ++n) {
        addButton(mc::ZPlus[n - 1], QStringLiteral("Z%1+").arg(n));
        addButton(mc::ZMinus[n - 1], QStringLiteral("Z%1-").arg(n));
        addButton(mc::APlus[n - 1], QStringLiteral("A%1+").arg(n));
        addButton(mc::AMinus[n - 1], QStringLiteral("A%1-").arg(n));
    }
    addButton(mc::FeedXPlus, "X+");
    addButton(mc::FeedXMinus, "X-");
    addButton(mc::FeedYPlus, "Y+");
    addButton(mc::FeedYMinus, "Y-");
    addButton(mc::FeedBank, QStringLiteral("方位"));
    addButton(mc::SMinus, "S-");
    addButton(mc::SPlus, "S+");
    addButton(mc::HeadGroup, "1-4");
    for (int n = 1; n <= 8; ++n) addButton(mc::Pumps[n - 1], QStringLiteral("真空泵 %1").arg(n), true);

    m_coordinates = new QGroupBox(this);
    m_coordinates->setObjectName("c1250");
    m_controls[mc::CoordinatesGroup] = m_coordinates;
    for (int id : {mc::PosX, mc::PosY, mc::PosZ, mc::PosA, mc::CommandCounter, mc::ReplyCounter}) {
        // A whole "-1234.5678" in the narrow field.
        QLineEdit* e = addField(id);
        QFont small = e->font();
        small.setPointSizeF(small.pointSizeF() - 1);
        e->setFont(small);
        e->setTextMargins(0, 0, 0, 0);
    }
    Control(mc::PosX)->setToolTip("X");
    Control(mc::PosY)->setToolTip("Y");
    Control(mc::PosZ)->setToolTip("Z");
    Control(mc::PosA)->setToolTip("A");
    for (int id : mc::NozzleFields) addField(id);
    auto* steps = new QLabel(this);
    steps->setObjectName("c1223");
    m_controls[mc::StepText] = steps;

    m_trace = new QPlainTextEdit(this);
    m_trace->setObjectName("c1226");
    m_trace->setReadOnly(true);
    m_trace->setMaximumBlockCount(0);  // the trace is never cut
    m_controls[mc::Trace] = m_trace;

    SetManualControlTexts();
    LoadManualControlConfig("./config.ini");
    installLinkHooks();
    // The link objects live for the whole process (link/link_state.h); the reply
    // events start reset.
    g_ReplyEvents.ResetAll();
    g_AxisLimitEvent.Reset();
    LayoutManualControlForModel(m_machineType);
    m_initialised = true;
    // The link drops on its own threads (port lost, no answer): the panel follows
    // the connection state so the operator never sees a dead link as connected.
    auto* watch = new QTimer(this);
    watch->setObjectName("linkWatch");
    connect(watch, &QTimer::timeout, this, &CDialogManualControl::FollowConnection);
    watch->start(150);
}

void CDialogManualControl::FollowConnection() {
    const bool connected = g_Connected.load();
    if (connected == m_shownConnected) return;
    m_shownConnected = connected;
    if (!connected) {
        if (!Connecting()) SetConnectCaption(TheManualControlTexts().Text("c_Online"));
        EnableManualControls(false);
        return;
    }
    // Connected again: the fields show what the machine stands at.
    cmd::ShowField(PositionField::X, g_PulseX);
    cmd::ShowField(PositionField::Y, g_PulseY);
    cmd::ShowField(PositionField::Z, g_PulseZ[0]);
    cmd::ShowField(PositionField::A, g_PulseA[0]);
    // ... as far as the program knows: after a move that went unanswered only a
    // homing tells where that is.
    if (MachinePositionLost() && !g_Homed.load()) AppendCommTrace(CurrentLinkTexts().message20, true);
}

CDialogManualControl::~CDialogManualControl() {
    // Links first: no reply thread may run a hook while it is being removed.
    ShutDownLinks();
    removeLinkHooks();
}

QAbstractButton* CDialogManualControl::addButton(int id, const QString& text, bool check) {
    QAbstractButton* b = nullptr;
    if (check) {
        b = new QCheckBox(text, this);
        connect(b, &QAbstractButton::toggled, this, [this, id](bool on) {
            if (m_controlHandler) m_controlHandler(id, on);
        });
    } else {
        b = new QPushButton(text, this);
        if (id != mc::Connect && id != mc::Reset) {
            connect(b, &QAbstractButton::pressed, this, [this, id] {
                if (m_controlHandler) m_controlHandler(id, true);
            });
            connect(b, &QAbstractButton::released, this, [this, id] {
                if (m_controlHandler) m_controlHandler(id, false);
            });
        }
    }
    b->setObjectName(QStringLiteral("c%1").arg(id));
    m_controls[id] = b;
    return b;
}

QLineEdit* CDialogManualControl::addField(int id) {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    e->setObjectName(QStringLiteral("c%1").arg(id));
    m_controls[id] = e;
    return e;
}

QWidget* CDialogManualControl::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CDialogManualControl::SetControlHandler(std::function<void(int, bool)> handler) {
    m_controlHandler = std::move(handler);
}

void CDialogManualControl::installLinkHooks() {
    g_panel = this;
    auto& h = GetLinkHooks();
    h.enableManualControls = [](bool on) { onPanel([on](auto& p) { p.EnableManualControls(on); }); };
    h.setConnectCaption = [](const std::string& c) { onPanel([c](auto& p) { p.SetConnectCaption(c); }); };
    h.showReplyCounter = [](std::int32_t) {
        onPanel([](auto& p) {
            p.ShowCounters(g_PanelLink.commandCounter.load(), g_PanelLink.replyCounter.load());
        });
    };
    h.showNozzleValues = [](const std::uint8_t* v) {
        std::array<std::uint8_t, 8> values{};
        std::copy(v, v + 8, values.begin());
        onPanel([values](auto& p) { p.ShowNozzleValues(values); });
    };
    h.machineType = [] { return g_MachineType.load(); };
    auto& port = TheCommandPanel();
    port.headGroup = [] { return g_headGroup.load(); };
    port.enableResetButton = [] {
        onPanel([](auto& p) {
            if (QWidget* w = p.Control(mc::Reset)) w->setEnabled(true);
        });
    };
    port.showCommandCounter = [](std::int32_t) {
        onPanel([](auto& p) {
            p.ShowCounters(g_PanelLink.commandCounter.load(), g_PanelLink.replyCounter.load());
        });
    };
    port.showPosition = [](PositionField f, const std::string& text) {
        onPanel([f, text](auto& p) { p.ShowPosition(f, text); });
    };
    port.setNozzleCheck = [](int n, bool on) { onPanel([n, on](auto& p) { p.SetNozzleChecks(n, on); }); };
    port.clearNozzleChecks = [] { onPanel([](auto& p) { p.SetNozzleChecks(0, false); }); };
    SetTraceSink([](const std::string& text, bool newline) {
        onPanel([text, newline](auto& p) { p.AppendCommTrace(text, newline); });
    });
    auto& connectPort = TheConnectPort();
    // The worker gets the port number as it was when connect was pressed (OnConnect)
    // and hands the answering port back to the panel's copy.
    connectPort.setComNumber = [](int n) { onPanel([n](auto& p) { p.Config().m_ComNumber = n; }); };
}

void CDialogManualControl::removeLinkHooks() {
    if (g_panel == this) g_panel = nullptr;
    auto& h = GetLinkHooks();
    h.enableManualControls = nullptr;
    h.setConnectCaption = nullptr;
    h.showReplyCounter = nullptr;
    h.showNozzleValues = nullptr;
    auto& port = TheCommandPanel();
    port.headGroup = nullptr;
    port.enableResetButton = nullptr;
    port.showCommandCounter = nullptr;
    port.showPosition = nullptr;
    port.setNozzleCheck = nullptr;
    port.clearNozzleChecks = nullptr;
    SetTraceSink(nullptr);
}

void CDialogManualControl::WireSteps(NamedSteps& languageSteps, const StepContext& context) {
    auto load = [this](const StepContext& c) {
        LoadManualControlTexts(c.startFolder, c.language);
        SetManualControlTexts();
    };
    languageSteps.Set("ManualControl.LoadLanguage", load);
    load(context);  // the view's creation
}

void CDialogManualControl::LoadManualControlTexts(const std::string& folder, const std::string& language) {
    TheManualControlTexts().Load(folder, language);
    TheManualControlTexts().PublishToLink();
}

void CDialogManualControl::SetManualControlTexts() {
    const auto& t = TheManualControlTexts();
    m_coordinates->setTitle(Q(t.Text("c_CoordinatesShow")));
    // A language switch keeps what the button says about the link.
    const char* connectKey = g_Connected.load() ? "c_Online_Successful" : Connecting() ? "c_Onlining" : "c_Online";
    static_cast<QAbstractButton*>(Control(mc::Connect))->setText(Q(t.Text(connectKey)));
    static_cast<QAbstractButton*>(Control(mc::Reset))->setText(Q(t.Text("c_Reset")));
    for (int n = 1; n <= 8; ++n)
        static_cast<QAbstractButton*>(Control(mc::Pumps[n - 1]))
            ->setText(Q(t.Text("c_SolenoidSalve" + std::to_string(n))));
    applyFeedBankIcon();
    if (m_initialised) LayoutManualControlForModel(m_machineType);  // widths follow the captions
}

void CDialogManualControl::LoadManualControlConfig(const std::string& configPath) {
    m_config = smt::LoadManualControlConfig(configPath);
    static_cast<QLabel*>(Control(mc::StepText))->setText(Q(JogStepText(m_config)));
    applyFeedBankIcon();
}

bool CDialogManualControl::SaveManualControlConfig(const std::string& startFolder) const {
    return smt::SaveManualControlConfig(m_config, startFolder + "/config.ini");
}

void CDialogManualControl::applyFeedBankIcon() {
    static const char* const kBanks[] = {"c_ID_Feed_East", "c_ID_Feed_South", "c_ID_Feed_West", "c_ID_Feed_North"};
    auto* b = static_cast<QAbstractButton*>(Control(mc::FeedBank));
    // The bank's icon: shown here as the bank's name in the interface language; any
    // other value keeps the button's own text "方位".
    const int icon = FeedBankIcon(m_config.m_Feed_Direction);
    const auto& t = TheManualControlTexts();
    b->setText(icon ? Q(t.Text(kBanks[icon - 382])) : QStringLiteral("方位"));
    b->setToolTip(Q(t.Text("c_F_PosSwitch")));
}

// ---- layout ----

void CDialogManualControl::place(int id, int x, int y, int w, int h) {
    if (QWidget* c = Control(id)) {
        c->setGeometry(x, y, w, h);
        c->show();
    }
}

void CDialogManualControl::showControl(int id, bool on) {
    if (QWidget* c = Control(id)) c->setVisible(on);
}

void CDialogManualControl::SetHeadGroup(int group) {
    m_headGroup = group == 2 ? 2 : 1;
    g_headGroup = m_headGroup;
    static_cast<QAbstractButton*>(Control(mc::HeadGroup))->setText(m_headGroup == 2 ? "5-8" : "1-4");
    LayoutManualControlForModel(m_machineType);
}

void CDialogManualControl::LayoutManualControlForModel(int machineType) {
    m_machineType = machineType;
    const ManualControlLayout l = LayoutForMachineType(machineType, m_headGroup);
    if (!l.keepResource) {
        const bool big = machineType == 0;
        // X/Y cross with the reset button in the middle.
        place(mc::YPlus, 55, 4, 45, 45);
        place(mc::XMinus, 6, 52, 45, 45);
        place(mc::Reset, 55, 52, 45, 45);
        place(mc::XPlus, 104, 52, 45, 45);
        place(mc::YMinus, 55, 100, 45, 45);
        // Feeder cluster below it.
        place(mc::FeedYPlus, 55, 150, 45, 30);
        place(mc::FeedXMinus, 6, 183, 45, 30);
        place(mc::FeedBank, 55, 183, 45, 30);
        place(mc::FeedXPlus, 104, 183, 45, 30);
        place(mc::FeedYMinus, 55, 216, 45, 30);
        place(mc::SMinus, 6, 246, 45, 26);
        place(mc::SPlus, 104, 246, 45, 26);
        // Z and A buttons of the shown nozzles.
        for (int n = 1; n <= 8; ++n) {
            for (int id : {mc::ZPlus[n - 1], mc::ZMinus[n - 1], mc::APlus[n - 1], mc::AMinus[n - 1]})
                showControl(id, false);
        }
        const int zw = 35, zh = big ? 60 : 45, aw = big ? 59 : 35, ah = 32;
        int k = 0;
        for (int n : l.zNozzles) {
            const int x = 160 + k++ * (big ? 64 : 40);
            place(mc::ZPlus[n - 1], x, 4, zw, zh);
            place(mc::ZMinus[n - 1], x, 8 + zh, zw, zh);
        }
        // Type 0's tall Z buttons leave no room for the A buttons below them: they
        // stand beside the Z buttons, so the step text stays above the trace box.
        k = big ? static_cast<int>(l.zNozzles.size()) : 0;
        const int aTop = big ? 4 : 12 + 2 * zh;
        for (int n : l.aNozzles) {
            const int x = 160 + k++ * (big ? 64 : 40);
            place(mc::APlus[n - 1], x, aTop, aw, ah);
            place(mc::AMinus[n - 1], x, aTop + 2 + ah, aw, ah);
        }
        const int below = big ? 12 + 2 * zh : 18 + 2 * zh + 2 * ah;
        place(mc::HeadGroup, 360, 4, 50, 30);
        showControl(mc::HeadGroup, l.headGroup);
        // Positions, counters and jog steps.
        place(mc::CoordinatesGroup, 156, below, 260, 68);
        place(mc::PosX, 160, below + 20, 63, 20);
        place(mc::PosY, 224, below + 20, 63, 20);
        place(mc::PosZ, 288, below + 20, 63, 20);
        place(mc::PosA, 352, below + 20, 63, 20);
        place(mc::CommandCounter, 160, below + 43, 63, 20);
        place(mc::ReplyCounter, 224, below + 43, 63, 20);
        place(mc::StepText, 160, below + 70, 260, 18);
        // Nozzle values and pumps in the right column, the connect button below. The
        // pump boxes are as wide as their captions need (up to the panel's edge), the
        // value fields just left of them.
        int pumpWidth = big ? 64 : 74;
        for (int n = 1; n <= l.pumps; ++n) {
            QWidget* pump = Control(mc::Pumps[n - 1]);
            pump->setFont(font());
            pumpWidth = std::max(pumpWidth, std::min(96, pump->sizeHint().width()));
        }
        const int pumpX = 522 - pumpWidth;
        for (int n = 1; n <= 8; ++n) {
            const int row = big ? 4 + (n - 1) * 32 : 4 + (n - 1) * 22;
            if (n <= l.nozzleFields) place(mc::NozzleFields[n - 1], pumpX - 27, row + 4, 24, 17);
            else showControl(mc::NozzleFields[n - 1], false);
            if (n <= l.pumps) {
                // A caption still too long gets smaller type.
                QWidget* pump = Control(mc::Pumps[n - 1]);
                place(mc::Pumps[n - 1], pumpX, row, pumpWidth, big ? 30 : 21);
                QFont f = font();
                while (pump->sizeHint().width() > pump->width() && f.pointSizeF() > 6) {
                    f.setPointSizeF(f.pointSizeF() - 0.5);
                    pump->setFont(f);
                }
            } else {
                showControl(mc::Pumps[n - 1], false);
            }
        }
        place(mc::Connect, 430, 186, 80, 80);
        fitCoordinatesTitle();
    }
    m_trace->setGeometry(1, 276, 525, 64);
    // Not connected, the controls stand as the enabling rules set them for an
    // idle panel, on the type now shown (the connect button alone stays usable).
    if (!g_Connected.load() && !Connecting()) EnableManualControls(false);
    if (m_initialised) {
        QResizeEvent e(size(), size());
        resizeEvent(&e);
    }
}

void CDialogManualControl::fitCoordinatesTitle() {
    // The caption spaces its two words over the field columns; when a language's
    // words do not fit the box, the gap and then the title's type shrink.
    QString title = m_coordinates->title();
    m_coordinates->setFont(font());
    const int room = m_coordinates->width() - 12;
    if (m_coordinates->fontMetrics().horizontalAdvance(title) > room) {
        title.replace(QRegularExpression(" {3,}"), "  ");
        m_coordinates->setTitle(title);
    }
    QFont f = font();
    while (QFontMetrics(f).horizontalAdvance(title) > room && f.pointSizeF() > 6) f.setPointSizeF(f.pointSizeF() - 0.5);
    m_coordinates->setFont(f);
}

void CDialogManualControl::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (!m_initialised) return;
    m_trace->setGeometry(1, 276, width(), std::max(0, height() - 276));
}

// ---- display ----

void CDialogManualControl::AppendCommTrace(const std::string& text, bool newline) {
    // The text goes in at the caret: at the end unless the operator clicked into
    // the box; a selection is dropped first.
    QTextCursor c = m_trace->textCursor();
    c.clearSelection();
    c.insertText(Q(text) + (newline ? QStringLiteral("\r\n") : QString()));
    m_trace->setTextCursor(c);
    m_trace->ensureCursorVisible();
}

void CDialogManualControl::ShowPosition(PositionField field, const std::string& text) {
    int id = 0;
    switch (field) {
    case PositionField::X: id = mc::PosX; break;
    case PositionField::Y: id = mc::PosY; break;
    case PositionField::Z: id = mc::PosZ; break;
    case PositionField::A: id = mc::PosA; break;
    case PositionField::None: return;
    }
    static_cast<QLineEdit*>(Control(id))->setText(Q(text));
}

void CDialogManualControl::EnableManualControls(bool flag) {
    EnableContext c;
    c.machineType = m_machineType;
    c.resetKind = g_PanelLink.resetKind.load();
    c.conveyorInUse = ConveyorInUse();
    const auto& partList = PartListToolButtons();
    for (const auto& [id, on] : EnableStates(flag, c)) {
        if (QWidget* w = Control(id)) w->setEnabled(on);
        else if (partList && (id == mc::PartListStart || id == mc::PartListClamp)) partList(id, on);
    }
}

void CDialogManualControl::SetNozzleChecks(int selector, bool checked) {
    for (int n = 1; n <= 8; ++n) {
        if (selector != 0 && selector != n) continue;
        auto* b = static_cast<QAbstractButton*>(Control(mc::Pumps[n - 1]));
        const QSignalBlocker block(b);  // no output is switched by this
        b->setChecked(checked);
    }
}

void CDialogManualControl::ShowCounters(std::int32_t commands, std::int32_t replies) {
    static_cast<QLineEdit*>(Control(mc::CommandCounter))->setText(QString::number(commands));
    static_cast<QLineEdit*>(Control(mc::ReplyCounter))->setText(QString::number(replies));
}

void CDialogManualControl::ShowNozzleValues(const std::array<std::uint8_t, 8>& values) {
    for (int n = 0; n < 8; ++n)
        static_cast<QLineEdit*>(Control(mc::NozzleFields[n]))->setText(QString::number(values[n]));
}

void CDialogManualControl::SetConnectCaption(const std::string& text) {
    static_cast<QAbstractButton*>(Control(mc::Connect))->setText(Q(text));
}

// ---- actions ----

void CDialogManualControl::OnConnect() {
    const int com = m_config.m_ComNumber;
    TheConnectPort().comNumber = [com] { return com; };
    smt::OnConnect();
}

void CDialogManualControl::OnResetButton() {
    plat::StartWorker("reset", [] { ResetButtonAction(); });
}

std::unique_ptr<QMenu> CDialogManualControl::BuildResetMenu() {
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName("menu378");
    for (const ResetMenuItem& item : ResetMenuItems(m_machineType, ConveyorInUse())) {
        QAction* a = menu->addAction(Q(TheManualControlTexts().Text(item.captionKey)));
        a->setData(item.id);
        a->setEnabled(item.enabled);
    }
    return menu;
}

void CDialogManualControl::OnResetMenuItem(int id) {
    if (id == kMenuSetAllZero) return SetAllZero();
    plat::StartWorker("reset menu", [id] { OnResetMenu(id); });
}

}  // namespace smt
