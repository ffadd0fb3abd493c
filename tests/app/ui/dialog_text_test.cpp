// Every dialog the settings menus open, and the main window, in all three languages:
// no visible label or button is blank or shows a code name, no text is cut off and
// no window needs more than a 1280 x 800 screen.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableView>

#include <algorithm>
#include <cstdlib>

#include "app/menus.h"
#include "app/ui/uiservices.h"
#include "base/captions.h"
#include "feeders/feeder_words.h"
#include "feeders/ui/dialog_feed_edit.h"
#include "feeders/ui/dialog_feed_list.h"
#include "link/ui/manual_control_dialog.h"
#include "joblist/row_commands.h"
#include "settings/basic_settings.h"
#include "machine_ops/ui/settings_wiring.h"
#include "shell_fixture.h"

namespace smt::test {
namespace {

int TextWidth(const QWidget& w, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split('\n')) widest = std::max(widest, w.fontMetrics().horizontalAdvance(line));
    return widest;
}

// Cleared while a dialog is walked that has not loaded its language yet.
bool g_languageChecked = true;

// A caption left in Chinese in the English or German window.
bool ChineseInOtherLanguage(const QString& text) {
    if (g_LanguageIndex == 0 || !g_languageChecked) return false;
    for (const QChar ch : text)
        if (ch.unicode() >= 0x4E00 && ch.unicode() <= 0x9FFF) return true;
    return false;
}

// Every shown column as wide as its caption and the values in sight.
void CheckColumns(const QTableView& t, const std::string& name, std::string& faults) {
    const QHeaderView* h = t.horizontalHeader();
    if (!t.model()) return;
    for (int c = 0; c < t.model()->columnCount(); ++c) {
        if (t.isColumnHidden(c) || t.columnWidth(c) == 0) continue;
        if (h->stretchLastSection() && h->visualIndex(c) == h->count() - 1) continue;
        const QString caption = t.model()->headerData(c, Qt::Horizontal).toString();
        if (!h->isHidden() && t.columnWidth(c) < h->sectionSizeHint(c))
            faults += name + ": header cut off " + caption.toStdString() + "\n";
        if (t.columnWidth(c) < static_cast<const QAbstractItemView&>(t).sizeHintForColumn(c))
            faults += name + ": values cut off under " + caption.toStdString() + "\n";
        if (!h->isHidden() && ChineseInOtherLanguage(caption)) faults += name + ": Chinese " + caption.toStdString() + "\n";
    }
}

// One window without the dialogs it holds (they are walked on their own); faults as lines.
void Walk(QWidget& window, const std::string& where, std::string& faults) {
    static const QRegularExpression kCodeName("^(m_\\w+|c_\\w+|IDC?_\\w+|IDOK|IDCANCEL)$");
    // Status lines are empty until something runs.
    static const QStringList kStatus = {"IDC_Step", "c1223", "messagePane", "pathPane", "static1104"};
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->window() != &window || !w->isVisibleTo(&window)) continue;
        const std::string name = where + "/" + w->objectName().toStdString();
        auto check = [&](const QString& text, bool blankAllowed, int room) {
            if (text.trimmed().isEmpty() && !blankAllowed) faults += name + ": blank\n";
            if (kCodeName.match(text).hasMatch()) faults += name + ": code name " + text.toStdString() + "\n";
            if (room >= 0 && TextWidth(*w, text) > room) faults += name + ": cut off " + text.toStdString() + "\n";
            if (ChineseInOtherLanguage(text)) faults += name + ": Chinese " + text.toStdString() + "\n";
        };
        // Nothing sticks out of the panel or page that holds it.
        const bool captioned = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w);
        if (captioned && w->parentWidget() != &window && w->geometry().right() >= w->parentWidget()->width())
            faults += name + ": past its panel's edge\n";
        if (auto* l = qobject_cast<QLabel*>(w); l && l->pixmap().isNull()) {
            check(l->text(), kStatus.contains(l->objectName()), l->wordWrap() ? -1 : l->contentsRect().width());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            auto* tool = qobject_cast<QToolButton*>(b);
            if (b->objectName().startsWith("qt_") || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly))
                continue;  // Qt's own arrows, icon buttons
            // A check box needs its indicator besides the text; a push button its bevel.
            const bool box = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
            check(b->text(), !b->icon().isNull(),
                  box ? b->width() - (b->sizeHint().width() - TextWidth(*b, b->text())) : b->width() - 6);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            check(g->title(), true, g->width() - 12);
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            if (TextWidth(*e, e->text()) > e->width() - 8) faults += name + ": shows part of " + e->text().toStdString() + "\n";
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            // The choice shown is read whole beside the arrow.
            QStyleOptionComboBox opt;
            opt.initFrom(c);
            opt.editable = c->isEditable();
            opt.frame = c->hasFrame();
            const QRect field = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
            if (TextWidth(*c, c->currentText()) > field.width())
                faults += name + ": choice cut off " + c->currentText().toStdString() + "\n";
            if (ChineseInOtherLanguage(c->currentText())) faults += name + ": Chinese " + c->currentText().toStdString() + "\n";
        } else if (auto* t = qobject_cast<QTableView*>(w)) {
            CheckColumns(*t, name, faults);
        } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) {
            // Its own field leaves room for the arrows.
            const QLineEdit* field = spin->findChild<QLineEdit*>();
            if (field && spin->buttonSymbols() != QAbstractSpinBox::NoButtons && field->geometry().right() > spin->width() - 12)
                faults += name + ": arrows covered\n";
        }
    }
}

// With SMT_LOOK_DIR set, every walked window is kept as a picture to look at.
void SaveLook(QWidget& w, std::string name) {
    const char* dir = std::getenv("SMT_LOOK_DIR");
    if (!dir) return;
    std::replace(name.begin(), name.end(), '/', '_');
    w.grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"), "PNG");
}

void WalkDialog(QDialog& d, const std::string& where, std::string& faults, bool opened = true) {
    d.hide();  // a dialog held by another one comes up with it: open it as its button does
    d.show();
    // A dialog shown here without its own opening has not loaded its language yet.
    g_languageChecked = opened;
    // Shown, captioned, laid out, fitted: each step posts the next.
    for (int i = 0; i < 4; ++i) QApplication::processEvents();
    const std::string name = where + "/" + d.objectName().toStdString();
    if (ChineseInOtherLanguage(d.windowTitle())) faults += name + ": Chinese title " + d.windowTitle().toStdString() + "\n";
    // Its own least size fits 1280 x 800; it is shown as large as its content (a
    // scrolled page counted whole) as far as the screen allows.
    const QSize need = ContentSize(d), least = d.minimumSizeHint();
    const QSize room = d.screen()->availableGeometry().size() - QSize(16, 40);
    if (least.width() > 1264 || least.height() > 760 || d.width() < std::min(need.width(), room.width()) ||
        d.height() < std::min(need.height(), room.height()))
        faults += name + QStringLiteral(": needs %1 x %2, shown %3 x %4\n")
                             .arg(need.width()).arg(need.height()).arg(d.width()).arg(d.height()).toStdString();
    for (QScrollArea* scroll : d.findChildren<QScrollArea*>())  // where the screen has room, no sideways scrolling
        if (need.width() <= room.width() && scroll->widget()->width() > scroll->viewport()->width())
            faults += name + ": scrolls sideways\n";
    Walk(d, name, faults);
    SaveLook(d, name);
    for (QDialog* inner : d.findChildren<QDialog*>())  // the dialogs its buttons open
        if (inner->parentWidget() == &d)  // the lamp editor takes its captions with its list
            WalkDialog(*inner, name, faults, inner->objectName() == "CDialogLampMachineEdit");
    g_languageChecked = true;
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
    ASSERT_TRUE(app.Start());
    g_MachineType = 4;  // the widest dialogs: second table, lamp table
    TheBasicSettings().m_CommModel = 1;  // the firmware update opens on Ethernet only
    app.Frame()->resize(1280, 760);
    app.Frame()->show();
    std::string faults;
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
        for (int type : {0, 1, 9, 4, 7}) {
            app.Frame()->OnCommand(CommandOfMachineType(type));
            // Painted in the new type's captions, then fitted to them: each step posts the next.
            for (int i = 0; i < 4; ++i) QApplication::processEvents();
            const std::string where = std::string(kLanguageNames[g_LanguageIndex]) + "/type" + std::to_string(type);
            Walk(*app.Frame(), where, faults);
            SaveLook(*app.Frame(), where);
        }
        for (int id : commands) app.View()->OnCommand(id);
        for (int id : {tool::PcbEdit, tool::Strategy, tool::Find}) app.View()->m_pPartList->OnCommand(id);
        for (JobList list : {JobList::Part, JobList::Dis, JobList::Drill}) TheRowCommands().m_Port.runEditor(list);
        // The feeder editor (with its tray dialog) in the feeder and the drag-pin layouts.
        CDialogFeedEdit& edit = app.View()->m_pFeedList->FeedEditDialog();
        for (int type : {7, 0}) {
            g_MachineType = type;
            edit.Form().v.feedMode = FeedModeWord(type == 0 ? 6 : 1);
            edit.OnInitDialog();
            walked.insert(edit.objectName().toStdString());
            WalkDialog(edit, std::string(kLanguageNames[g_LanguageIndex]) + "/type" + std::to_string(type), faults);
        }
        // The lamp table exists on the double-dispensing type only.
        app.Frame()->OnCommand(CommandOfMachineType(4));
        app.View()->OnCommand(cmd::LampMachineSet);
    }
    EXPECT_EQ(faults, "");
    for (const char* d : {"CDialogSetBasic", "CDialogSetPulse", "CDialogSpeedTemplate", "CDialogAutoTransport",
                          "CDialogSetCover", "CDialogVersionNumber", "CDialogFirmwareUpdate",
                          "CDialogCameraList", "CDialogLampMachineList", "CDialogFeedEdit",
                          "CDialogSMTStrategy", "CDialogFind", "CDialogPCBEdit", "CDialogAutoFeed", "CDialogPartEditSmt",
                          "CDialogPartEditDis", "CDialogPartEditDrill"})
        EXPECT_TRUE(walked.count(d)) << d;
    // The exclusive menu choices show as radio items, the toolbar's own buttons say what they do.
    EXPECT_TRUE(app.Frame()->Action(cmd::German)->actionGroup());
    EXPECT_TRUE(app.Frame()->Action(cmd::LowSpeedTemplate)->actionGroup());
    EXPECT_EQ(app.Frame()->ToolButton(cmd::FeedListPanel)->toolTip(), "Zuführerliste");
    EXPECT_EQ(app.Frame()->ToolButton(cmd::FeedListPanel)->popupMode(), QToolButton::MenuButtonPopup);
}

} // namespace
} // namespace smt::test
