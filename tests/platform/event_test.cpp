#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "test_support.h"

using namespace plat;
using namespace std::chrono_literals;

TEST(Event, SetWithNoWaiterStaysLatched) {
    Event e(false, false);
    e.Set();
    EXPECT_EQ(e.Wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(e.Wait(0ms), WaitResult::TimedOut);  // auto-reset consumed it
}

TEST(Event, InitialStateAndManualReset) {
    Event m(true, true);
    EXPECT_EQ(m.Wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(m.Wait(0ms), WaitResult::Signalled);  // stays set
    m.Reset();
    EXPECT_EQ(m.Wait(5ms), WaitResult::TimedOut);
}

TEST(Event, AutoResetReleasesExactlyOneWaiter) {
    Event e(false, false);
    std::atomic<bool> stop{false};
    std::atomic<int> released{0}, cancelled{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            const WaitResult r = e.Wait(60s, &stop);
            if (r == WaitResult::Signalled) ++released;
            if (r == WaitResult::Cancelled) ++cancelled;
        });
    e.Set();
    ASSERT_TRUE(smt::test::WaitUntil([&] { return released.load() == 1; }));
    stop = true;  // the other three are still waiting: the one set released one
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released.load(), 1);
    EXPECT_EQ(cancelled.load(), 3);
}

TEST(Event, ManualResetReleasesAll) {
    Event e(true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (e.Wait(60s) == WaitResult::Signalled) ++released;
        });
    std::this_thread::sleep_for(30ms);
    e.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released.load(), 4);
}

TEST(Event, StopFlagAndProcessWideCancelEndWaits) {
    Event e(false, false);
    std::atomic<bool> stop{false};
    std::thread t([&] { stop = true; });
    EXPECT_EQ(e.Wait(5000ms, &stop), WaitResult::Cancelled);
    t.join();

    WaitResult r = WaitResult::Signalled;
    std::thread w([&] { r = e.Wait(10000ms); });
    std::this_thread::sleep_for(30ms);
    CancelAllWaits();
    w.join();
    EXPECT_EQ(r, WaitResult::Cancelled);  // long before its limit
    EXPECT_EQ(e.Wait(1000ms), WaitResult::Cancelled);  // later waits too
    ResumeWaits();
    EXPECT_EQ(e.Wait(1ms), WaitResult::TimedOut);
}

TEST(Semaphore, CountsAndCaps) {
    Semaphore s(0, 2);
    EXPECT_TRUE(s.Release());
    EXPECT_TRUE(s.Release());
    EXPECT_FALSE(s.Release());
    EXPECT_EQ(s.Wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(s.Wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(s.Wait(5ms), WaitResult::TimedOut);
}
