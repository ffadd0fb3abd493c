#include "app/ui/uiservices.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDialog>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QPointer>
#include <QScrollArea>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QTranslator>

#include <atomic>

#include "base/log.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "platform/threads.h"
#include "platform/uipost.h"

namespace smt {
namespace {

std::atomic<bool> g_closing{false};

// Sizes every dialog to its content.
class DialogFitter : public QObject {
protected:
    // When shown by the program (not restored by the window system), and whenever
    // its content changes while it is up (captions put on in its own show handling,
    // a language switch): a dialog only grows to what its content needs.
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool shown = event->type() == QEvent::Show && !event->spontaneous();
        if (shown || event->type() == QEvent::LayoutRequest)
            if (auto* d = qobject_cast<QDialog*>(watched); d && d->isWindow()) {
                // After the layout has taken the change in.
                QPointer<QDialog> later(d);
                QMetaObject::invokeMethod(d, [later] {
                    if (later && later->isVisible()) FitWindowToContent(*later);
                }, Qt::QueuedConnection);
            }
        return false;
    }
};
DialogFitter* g_fitter = nullptr;

plat::MsgAnswer QuietAnswer(const plat::MsgBoxRequest& r) {
    switch (r.buttons) {
    case plat::MsgButtons::Ok: return plat::MsgAnswer::Ok;
    case plat::MsgButtons::YesNo: return plat::MsgAnswer::No;
    default: return plat::MsgAnswer::Cancel;
    }
}

plat::MsgAnswer ShowOnUiThread(const plat::MsgBoxRequest& r) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(r.caption.empty() ? std::string("SMT") : r.caption));
    box.setText(QString::fromStdString(r.text).replace("\r\n", "\n"));
    switch (r.icon) {
    case plat::MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case plat::MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case plat::MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case plat::MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case plat::MsgIcon::None: break;
    }
    switch (r.buttons) {
    case plat::MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case plat::MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case plat::MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case plat::MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    if (r.topmost) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    switch (box.exec()) {
    case QMessageBox::Yes: return plat::MsgAnswer::Yes;
    case QMessageBox::No: return plat::MsgAnswer::No;
    case QMessageBox::Ok: return plat::MsgAnswer::Ok;
    default: return r.buttons == plat::MsgButtons::Ok ? plat::MsgAnswer::Ok : QuietAnswer(r);
    }
}

plat::MsgAnswer HandleBox(const plat::MsgBoxRequest& r) {
    if (plat::IsUiThread()) return ShowOnUiThread(r);
    if (g_closing || !qApp) return QuietAnswer(r);
    plat::MsgAnswer answer = QuietAnswer(r);
    QMetaObject::invokeMethod(
        qApp, [&] { answer = g_closing ? QuietAnswer(r) : ShowOnUiThread(r); },
        Qt::BlockingQueuedConnection);
    return answer;
}

} // namespace

void InstallUiServices() {
    plat::MarkUiThread();
    g_closing = false;
    if (!g_fitter && qApp) {
        g_fitter = new DialogFitter;
        qApp->installEventFilter(g_fitter);
    }
    plat::SetSystemNoticeSink([](const std::string& text) { LogPrintf(GetLogStream(), true, "%s", text.c_str()); });
    // The alarm sounds through the display; without one (offscreen) the terminal bell stays.
    const QString platform = QGuiApplication::platformName();
    if (platform != "offscreen" && platform != "minimal")
        plat::SetAlarmSound([] { plat::PostToUi([] { QApplication::beep(); }); });
    // A handler installed earlier (scripted answers under test) keeps precedence.
    if (plat::MsgBoxHandler previous = plat::SetMessageBoxHandler(HandleBox))
        plat::SetMessageBoxHandler(std::move(previous));
    plat::SetUiPoster([](plat::UiTask task) {
        if (!qApp) return;
        QMetaObject::invokeMethod(qApp, [t = std::move(task)] { t(); }, Qt::QueuedConnection);
    });
}

QSize ContentSize(const QWidget& window) {
    QSize want = window.sizeHint().expandedTo(window.minimumSizeHint());
    // A scroll area asks for little: count the page it scrolls, at its least size
    // (a wider screen stretches its fields), plus what stands around the viewport.
    for (QScrollArea* scroll : window.findChildren<QScrollArea*>()) {
        if (scroll->window() != &window || !scroll->widget() || !scroll->isVisibleTo(&window)) continue;
        if (QLayout* l = scroll->widget()->layout()) l->activate();  // after changed captions or fields
        const QSize around = window.size() - scroll->viewport()->size();
        want = want.expandedTo(around + scroll->widget()->minimumSizeHint());
    }
    return want;
}

void FitWindowToContent(QWidget& window) {
    // A number field shows a whole "-1234.5678" in every language's layout.
    for (QLineEdit* e : window.findChildren<QLineEdit*>()) {
        // A spin box's own field is sized by its box: widened, it would cover the arrows.
        if (qobject_cast<QAbstractSpinBox*>(e->parentWidget())) continue;
        const int room = e->fontMetrics().horizontalAdvance(QStringLiteral("-1234.5678")) + 12;
        if (e->minimumWidth() < room && e->maximumWidth() >= room) e->setMinimumWidth(room);
    }
    QSize want = ContentSize(window);
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    // The window frame takes a little of the room.
    want = want.expandedTo(window.size()).boundedTo(room.size() - QSize(16, 40));
    window.resize(want);
    QRect g = window.frameGeometry();
    if (!room.contains(g)) {
        g.moveRight(std::min(g.right(), room.right()));
        g.moveBottom(std::min(g.bottom(), room.bottom()));
        g.moveLeft(std::max(g.left(), room.left()));
        g.moveTop(std::max(g.top(), room.top()));
        window.move(g.topLeft());
    }
}

void RemoveUiServices() {
    if (g_fitter) {
        qApp->removeEventFilter(g_fitter);
        delete g_fitter;
        g_fitter = nullptr;
    }
    plat::SetAlarmSound({});
    plat::SetSystemNoticeSink({});
    plat::SetUiPoster({});
    plat::MsgBoxHandler current = plat::SetMessageBoxHandler({});
    using Fn = plat::MsgAnswer (*)(const plat::MsgBoxRequest&);
    const Fn* fn = current.target<Fn>();
    if (!fn || *fn != &HandleBox) plat::SetMessageBoxHandler(std::move(current));
}

void SetUiShuttingDown(bool closing) { g_closing = closing; }

bool ApplyQtLanguage(int languageIndex) {
    static QTranslator* installed = nullptr;
    if (!qApp) return false;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    const char* locale = languageIndex == 0 ? "zh_CN" : languageIndex == 2 ? "de" : nullptr;
    if (!locale) return true;  // Qt's own texts are English
    auto* t = new QTranslator;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!t->load(QStringLiteral("qtbase_%1").arg(locale), folder)) {
        delete t;
        LogPrintf(GetLogStream(), true, "Qt translation qtbase_%s not found in %s", locale,
                  folder.toStdString().c_str());
        return false;
    }
    QCoreApplication::installTranslator(t);
    installed = t;
    return true;
}
bool UiShuttingDown() { return g_closing; }

} // namespace smt
