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
using smt::test::ShellApp;
using plat::MsgAnswer;

namespace {

// Turns the event loop until `done` or a generous bound passes.
bool PumpUntil(const std::atomic<bool>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < end) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done;
}

} // namespace

TEST(UiServices, WorkerBoxesAndTasksRunOnTheUserInterfaceThread) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    std::string shownText;
    bool shownOnUiThread = false;
    bool topmost = false;
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

    std::atomic<bool> done{false};
    std::atomic<bool> taskOnUiThread{false};
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
    EXPECT_EQ(answer, MsgAnswer::No);
    EXPECT_EQ(shownText, "Two lines\nsecond");
    EXPECT_TRUE(shownOnUiThread);
    EXPECT_TRUE(topmost);
    EXPECT_TRUE(taskOnUiThread);

    // While closing, a worker's box is answered at once and never shown.
    shownText.clear();
    SetUiShuttingDown(true);
    std::atomic<bool> asked{false};
    plat::StartWorker("late", [&] {
        answer = plat::MessageBoxAsk("late", plat::MsgButtons::YesNoCancel);
        asked = true;
    });
    ASSERT_TRUE(PumpUntil(asked));
    EXPECT_TRUE(plat::JoinAllWorkers(std::chrono::seconds(5)));
    EXPECT_EQ(answer, MsgAnswer::Cancel);
    EXPECT_TRUE(shownText.empty());
    SetUiShuttingDown(false);
}
