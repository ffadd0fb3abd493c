#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/event.h"
#include "platform/threads.h"
#include "platform/uipost.h"

using namespace plat;
using namespace std::chrono_literals;

TEST(Workers, CancelWakesBlockedWorkersAndJoinCollectsThem) {
    Event never(true, false);
    std::atomic<int> cancelled{0};
    for (int i = 0; i < 4; ++i)
        StartWorker("blocked", [&] {
            if (never.Wait(60000ms) == WaitResult::Cancelled) ++cancelled;
        });
    EXPECT_EQ(RunningWorkers(), 4);
    CancelAllWaits();
    const bool joined = JoinAllWorkers(10000ms);
    ResumeWaits();
    EXPECT_TRUE(joined);
    EXPECT_EQ(cancelled.load(), 4);
    EXPECT_EQ(RunningWorkers(), 0);
    EXPECT_EQ(never.Wait(1ms), WaitResult::TimedOut);  // waits work again after resuming
}

TEST(Workers, JoinGivesUpOnAWorkerThatIgnoresCancel) {
    auto release = std::make_shared<Event>(true, false);
    auto done = std::make_shared<std::atomic<bool>>(false);
    StartWorker("stubborn", [release, done] {
        while (!release->IsSet()) std::this_thread::sleep_for(1ms);  // waits through the cancel
        *done = true;
    });
    EXPECT_FALSE(JoinAllWorkers(20ms));
    EXPECT_EQ(RunningWorkers(), 0);  // detached: no longer tracked
    release->Set();
    while (!*done) std::this_thread::sleep_for(1ms);
}

TEST(UiThread, OnlyTheMarkedThreadAndPostsFromWorkersDoNotWait) {
    MarkUiThread();
    EXPECT_TRUE(IsUiThread());
    const UiPoster previous = SetUiPoster(nullptr);
    std::atomic<bool> workerIsUi{true};
    std::atomic<int> ran{0};
    StartWorker("poster", [&] {
        workerIsUi = IsUiThread();
        for (int i = 0; i < 3; ++i) PostToUi([&] { ++ran; });
    });
    ASSERT_TRUE(JoinAllWorkers(5000ms));  // finished although nobody ran the tasks yet
    EXPECT_FALSE(workerIsUi.load());
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(RunPostedTasks(), 3);
    EXPECT_EQ(ran.load(), 3);
    EXPECT_EQ(RunPostedTasks(), 0);
    SetUiPoster(previous);
}
