// Several threads driving the link at once, as the run, its feeder companion and
// the replenish pass do: two threads feed (0x66, one reply family) while a third
// moves (0x65, another family). Every command gets its own reply within its bound;
// none is swallowed by another thread arming the same family's event.
#include <atomic>
#include <thread>
#include <vector>

#include "sim_fixture.h"

namespace smt::test {
namespace {

class ReplyTurns : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(GetParam() == Wire::Serial, 3);
        g_HeadResetOk = true;
        // A swallowed reply shows as a failed command after this, not after a minute.
        SetWaitLimitOverride(WaitKind::Move, plat::Millis(3000));
    }
    void TearDown() override {
        SetWaitLimitOverride(WaitKind::Move, plat::Millis(0));
        SimTest::TearDown();
    }
};

TEST_P(ReplyTurns, TwoFeedersAndAMoveAtOnceEachGetTheirOwnReply) {
    constexpr int kRounds = 60;
    std::atomic<int> failed{0};
    std::atomic<bool> go{false};
    auto feeder = [&](std::uint8_t drive, std::int32_t pulses) {
        while (!go.load()) std::this_thread::yield();
        for (int i = 0; i < kRounds; ++i) {
            FeederFeed f;
            f.drive = drive;
            f.pulses = pulses;
            if (!FeedFeeder(f)) ++failed;
        }
    };
    auto mover = [&] {
        while (!go.load()) std::this_thread::yield();
        for (int i = 0; i < kRounds; ++i) {
            XYAMultiMove m;
            m.xy.dX = i % 2 == 0 ? 120 : -120;  // there and back inside the travel
            m.xy.dY = i % 2 == 0 ? -70 : 70;
            m.dA[1] = 9;
            if (!MoveXYAMulti(m)) ++failed;
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(feeder, std::uint8_t{1}, 11);
    threads.emplace_back(mover);
    threads.emplace_back(feeder, std::uint8_t{3}, -13);
    go = true;
    for (auto& t : threads) t.join();

    EXPECT_EQ(failed.load(), 0);
    EXPECT_TRUE(g_Connected.load());
    EXPECT_EQ(Count(0x66), 2 * kRounds);
    EXPECT_EQ(Count(0x65), kRounds);
    EXPECT_TRUE(boxes.Texts().empty());
    // What the program booked is what the board did.
    ExpectCountersAtMachine();
    EXPECT_EQ(g_PulseFeederWalk[0].load(), 11 * kRounds);
    EXPECT_EQ(g_PulseFeederWalk[2].load(), -13 * kRounds);
}

INSTANTIATE_TEST_SUITE_P(Links, ReplyTurns, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

}  // namespace
}  // namespace smt::test
