// Every dialog the settings menus open, and the main window, in all three languages:
// no visible label or button is blank or shows a code name, no text is cut off and
// no window needs more than a 1280 x 800 screen.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>

#include "app/menus.h"
#include "app/ui/uiservices.h"
#include "base/captions.h"
#include "link/ui/manual_control_dialog.h"
#include "settings/basic_settings.h"
#include "settings/ui/settings_wiring.h"
#include "shell_fixture.h"

namespace smt::test {
namespace {

using Faults = std::vector<std::string>;

// Status lines that are empty until something runs.
bool MayBeBlank(const QWidget& w) {
    static const QStringList kStatus = {"IDC_Step", "c1223", "messagePane", "pathPane"};
    return kStatus.contains(w.objectName());
}

int TextWidth(const QWidget& w, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split('\n')) widest = std::max(widest, w.fontMetrics().horizontalAdvance(line));
    return widest;
}

void Check(const QWidget& w, const QString& text, bool blankAllowed, int room, const std::string& where,
           Faults& faults) {
    static const QRegularExpression kCodeName("^(m_\\w+|c_\\w+|IDC?_\\w+|IDOK|IDCANCEL)$");
    const std::string name = where + "/" + w.objectName().toStdString();
    if (text.trimmed().isEmpty()) {
        if (!blankAllowed) faults.push_back(name + ": blank");
        return;
    }
    if (kCodeName.match(text).hasMatch()) faults.push_back(name + ": code name " + text.toStdString());
    if (room >= 0 && TextWidth(w, text) > room)
        faults.push_back(name + ": cut off \"" + text.toStdString() + "\"");
}

// One window without the dialogs it holds (they are walked on their own).
void Walk(QWidget& window, const std::string& where, Faults& faults) {
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->window() != &window || !w->isVisibleTo(&window)) continue;
        // Nothing sticks out of the panel or page that holds it.
        if (QWidget* holder = w->parentWidget(); holder && holder != &window && !qobject_cast<QLineEdit*>(w) &&
                                                 w->geometry().right() >= holder->width() &&
                                                 (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)))
            faults.push_back(where + "/" + w->objectName().toStdString() + ": past its panel's edge");
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (!l->pixmap().isNull()) continue;
            Check(*l, l->text(), MayBeBlank(*l), l->wordWrap() ? -1 : l->contentsRect().width(), where, faults);
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->objectName().startsWith("qt_")) continue;  // Qt's own scroll and tab arrows
            if (auto* t = qobject_cast<QToolButton*>(b); t && t->toolButtonStyle() == Qt::ToolButtonIconOnly) continue;
            const bool box = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
            // A check box needs its indicator besides the text; a push button its bevel.
            const int room = box ? b->width() - (b->sizeHint().width() - TextWidth(*b, b->text())) : b->width() - 6;
            Check(*b, b->text(), !b->icon().isNull(), room, where, faults);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            if (!g->title().isEmpty()) Check(*g, g->title(), true, g->width() - 12, where, faults);
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            if (!e->text().isEmpty() && TextWidth(*e, e->text()) > e->width() - 8)
                faults.push_back(where + "/" + e->objectName().toStdString() + ": edit shows part of " +
                                 e->text().toStdString());
        }
    }
}

void WalkDialog(QDialog& d, const std::string& where, Faults& faults) {
    d.hide();  // a dialog held by another one comes up with it: open it as its button does
    d.show();
    // Shown, captioned, laid out, fitted: each step posts the next.
    for (int i = 0; i < 4; ++i) QApplication::processEvents();
    const QSize need = ContentSize(d);
    const QSize room = d.screen()->availableGeometry().size() - QSize(16, 40);
    // The window's own least size fits the screen; beyond it a scrolled page may scroll.
    const QSize least = d.minimumSizeHint();
    if (least.width() > 1264 || least.height() > 760 || d.width() < std::min(need.width(), room.width()) ||
        d.height() < std::min(need.height(), room.height()))
        faults.push_back(where + "/" + d.objectName().toStdString() +
                         QStringLiteral(": needs %1 x %2, shown %3 x %4")
                             .arg(need.width()).arg(need.height()).arg(d.width()).arg(d.height()).toStdString());
    Walk(d, where + "/" + d.objectName().toStdString(), faults);
    // The dialogs it opens from its own buttons.
    for (QDialog* inner : d.findChildren<QDialog*>()) {
        if (inner->parentWidget() != &d) continue;
        WalkDialog(*inner, where + "/" + d.objectName().toStdString(), faults);
    }
    d.hide();
}

std::vector<int> SettingsCommands(const std::vector<MenuNode>& nodes) {
    std::vector<int> ids;
    for (const MenuNode& n : nodes) {
        if (n.kind == MenuKind::Command && IsSettingsDialogCommand(n.id)) ids.push_back(n.id);
        const auto inner = SettingsCommands(n.children);
        ids.insert(ids.end(), inner.begin(), inner.end());
    }
    return ids;
}

TEST(DialogTexts, EveryDialogAndTheMainWindowAreCaptionedAndFitInEachLanguage) {
    ShellApp app;
    WireSettingsServices();
    ASSERT_TRUE(app.Start());
    g_MachineType = 4;  // the widest dialogs: second table, lamp table
    TheBasicSettings().m_CommModel = 1;  // the firmware update opens on Ethernet only
    app.Frame()->resize(1280, 760);
    app.Frame()->show();
    Faults faults;
    std::set<std::string> walked;
    app.View()->m_RunModal = [&](QDialog& d) {
        walked.insert(d.objectName().toStdString());
        WalkDialog(d, kLanguageNames[g_LanguageIndex], faults);
        return 0;
    };
    ScriptedResponder boxes;
    const std::vector<int> commands = SettingsCommands(MenuBarModel());
    for (int language : {cmd::Chinese, cmd::English, cmd::German}) {
        app.Frame()->Action(language)->trigger();
        QApplication::processEvents();
        for (int type : {0, 4, 7}) {
            app.Frame()->OnCommand(CommandOfMachineType(type));
            QApplication::processEvents();
            Walk(*app.Frame(), std::string(kLanguageNames[g_LanguageIndex]) + "/type" + std::to_string(type), faults);
        }
        for (int id : commands) app.View()->OnCommand(id);
    }
    std::string all;
    for (const auto& f : faults) all += f + "\n";
    EXPECT_EQ(all, "");
    for (const char* d : {"CDialogSetBasic", "CDialogSetPulse", "CDialogSpeedTemplate", "CDialogAutoTransport",
                          "CDialogSetCover", "CDialogVersionNumber", "CDialogFirmwareUpdate"})
        EXPECT_TRUE(walked.count(d)) << d;
    // The exclusive menu choices show as radio items, the toolbar's own buttons say what they do.
    EXPECT_TRUE(app.Frame()->Action(cmd::German)->actionGroup());
    EXPECT_TRUE(app.Frame()->Action(cmd::LowSpeedTemplate)->actionGroup());
    EXPECT_EQ(app.Frame()->ToolButton(cmd::FeedListPanel)->toolTip(), "Zuführerliste");
    EXPECT_EQ(app.Frame()->ToolButton(cmd::FeedListPanel)->popupMode(), QToolButton::MenuButtonPopup);
}

} // namespace
} // namespace smt::test
