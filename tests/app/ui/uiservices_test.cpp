#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <chrono>

#include "app/ui/uiservices.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "shell_fixture.h"

using namespace smt;
using plat::MsgAnswer;

namespace {

// Turns the event loop until `done` or a generous bound passes.
bool PumpUntil(const std::atomic<bool>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < end) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done;
}

} // namespace

// While closing, a worker's box is answered at once and never shown.
TEST(UiServices, WorkerBoxesAndTasksRunOnTheUserInterfaceThreadUnseenWhileClosing) {
    smt::test::ShellApp app;
    ASSERT_TRUE(app.Start());
    std::string shownText;
    bool shownOnUiThread = false, topmost = false;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shownText = box->text().toStdString();
        shownOnUiThread = plat::IsUiThread();
        topmost = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        box->button(QMessageBox::No)->click();
    });
    answerer.start(5);

    for (bool closing : {false, true}) {
        SCOPED_TRACE(closing ? "closing" : "running");
        shownText.clear();
        SetUiShuttingDown(closing);
        std::atomic<bool> done{false}, taskOnUiThread{false};
        MsgAnswer answer = MsgAnswer::Ok;
        plat::StartWorker("asks", [&] {
            answer = plat::MessageBoxAsk("Two lines\r\nsecond", plat::MsgButtons::YesNoCancel, true);
            plat::PostToUi([&] {
                taskOnUiThread = plat::IsUiThread();
                done = true;
            });
        });
        ASSERT_TRUE(PumpUntil(done));
        EXPECT_TRUE(plat::JoinAllWorkers(std::chrono::seconds(5)));
        EXPECT_TRUE(taskOnUiThread);
        EXPECT_EQ(answer, closing ? MsgAnswer::Cancel : MsgAnswer::No);
        EXPECT_EQ(shownText, closing ? "" : "Two lines\nsecond");
        EXPECT_TRUE(closing || (shownOnUiThread && topmost));
    }
    SetUiShuttingDown(false);
}
