#include "app/ui/uiservices.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

#include <atomic>

#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"

namespace smt {
namespace {

std::atomic<bool> g_closing{false};

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
    // A handler installed earlier (scripted answers under test) keeps precedence.
    if (plat::MsgBoxHandler previous = plat::SetMessageBoxHandler(HandleBox))
        plat::SetMessageBoxHandler(std::move(previous));
    plat::SetUiPoster([](plat::UiTask task) {
        if (!qApp) return;
        QMetaObject::invokeMethod(qApp, [t = std::move(task)] { t(); }, Qt::QueuedConnection);
    });
}

void RemoveUiServices() {
    plat::SetUiPoster({});
    plat::MsgBoxHandler current = plat::SetMessageBoxHandler({});
    using Fn = plat::MsgAnswer (*)(const plat::MsgBoxRequest&);
    const Fn* fn = current.target<Fn>();
    if (!fn || *fn != &HandleBox) plat::SetMessageBoxHandler(std::move(current));
}

void SetUiShuttingDown(bool closing) { g_closing = closing; }
bool UiShuttingDown() { return g_closing; }

} // namespace smt
