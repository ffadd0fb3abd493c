#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "test_support.h"

using namespace plat;
using namespace std::chrono_literals;

TEST(Event, AutoResetLatchesOnceManualResetStaysSetSemaphoreCaps) {
    Event a(false, false);
    a.Set();  // with no waiter: latched until one wait consumes it
    EXPECT_EQ(a.Wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(a.Wait(0ms), WaitResult::TimedOut);
    Event m(true, true);
    EXPECT_EQ(m.Wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(m.Wait(0ms), WaitResult::Signalled);
    m.Reset();
    EXPECT_EQ(m.Wait(5ms), WaitResult::TimedOut);
    Semaphore s(0, 2);
    EXPECT_TRUE(s.Release());
    EXPECT_TRUE(s.Release());
    EXPECT_FALSE(s.Release());
    EXPECT_EQ(s.Wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(s.Wait(0ms), WaitResult::Signalled);
    EXPECT_EQ(s.Wait(5ms), WaitResult::TimedOut);
}

TEST(Event, AutoResetReleasesExactlyOneWaiterManualResetAll) {
    for (bool manual : {false, true}) {
        SCOPED_TRACE(manual ? "manual reset" : "auto reset");
        Event e(manual, false);
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
        ASSERT_TRUE(smt::test::WaitUntil([&] { return released.load() == (manual ? 4 : 1); }));
        stop = true;  // the others are still waiting: the one set released one
        for (auto& t : waiters) t.join();
        EXPECT_EQ(released.load(), manual ? 4 : 1);
        EXPECT_EQ(cancelled.load(), manual ? 0 : 3);
    }
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
