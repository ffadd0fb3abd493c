// The simulated conveyor board: the fields it reads from both links, where the
// board stands after each zone run, and the board-in run that no board answers.
#include <gtest/gtest.h>

#include "codec.h"
#include "machine.h"
#include "simulator.h"

using namespace sim;

namespace {

Bytes SerialRun(int zone, int f1, int f2, int f3, std::int32_t l1, std::int32_t l2, std::int32_t l3) {
    Bytes b{static_cast<std::uint8_t>(zone), static_cast<std::uint8_t>(f1), static_cast<std::uint8_t>(f2),
            static_cast<std::uint8_t>(f3)};
    b.push_back(0x0B); PutSm32(b, l1);
    b.push_back(0x0C); PutSm32(b, l2);
    b.push_back(0x0D); PutSm32(b, l3);
    b.push_back(7);
    b.push_back(9);
    return b;
}

Bytes UdpRun(int zone, int f1, int wait, int f2, int f3, std::int32_t l3) {
    Bytes b{static_cast<std::uint8_t>(zone), static_cast<std::uint8_t>(f1)};
    PutLe16(b, static_cast<std::uint16_t>(wait));
    b.push_back(static_cast<std::uint8_t>(f2));
    b.push_back(static_cast<std::uint8_t>(f3));
    b.push_back(0x0B); PutLe32(b, 0);
    b.push_back(0x0C); PutLe32(b, 0);
    b.push_back(0x0D); PutLe32(b, l3);
    PutLe32(b, 11);
    PutLe32(b, 22);
    return b;
}

}  // namespace

TEST(SimConveyor, ReadsEveryFieldAndCarriesTheBoardThroughTheZones) {
    Machine m;
    EXPECT_EQ(m.BoardZone(), 0);
    Outcome o = m.Execute(Link::Serial, 0x62, SerialRun(1, 1, 0, 0, 100, -200, 300));
    ASSERT_TRUE(o.accepted);
    ASSERT_EQ(o.replies.size(), 1u);
    EXPECT_EQ(o.replies[0].code, 0x62);
    EXPECT_EQ(m.BoardZone(), 1);
    o = m.Execute(Link::Udp, 0x62, UdpRun(3, 0, 4000, 0, 1, -5));
    ASSERT_EQ(o.replies.size(), 1u);
    EXPECT_EQ(o.replies[0].kind, 0);  // unasked, as the Ethernet conveyor board answers
    EXPECT_EQ(m.BoardZone(), 3);
    m.Execute(Link::Udp, 0x62, UdpRun(4, 0, 0, 0, 0, 10));
    EXPECT_EQ(m.BoardZone(), 0);

    const auto runs = m.ConveyorRuns();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ((std::vector<int>{runs[0].zone, runs[0].flags[0], runs[0].l1, runs[0].l2, runs[0].l3, runs[0].start,
                                runs[0].run, runs[0].waitTimeOut}),
              (std::vector<int>{1, 1, 100, -200, 300, 7, 9, 0}));
    EXPECT_EQ((std::vector<int>{runs[1].zone, runs[1].flags[2], runs[1].l3, runs[1].start, runs[1].run,
                                runs[1].waitTimeOut}),
              (std::vector<int>{3, 1, -5, 11, 22, 4000}));
}

TEST(SimConveyor, WithoutABoardAtTheInputTheBoardInRunStaysUnanswered) {
    Simulator s(SimConfig{});
    EXPECT_EQ(s.Command("board 0"), "ok");
    Machine& m = s.machine();
    // A jog (no wait flag) still runs; the waiting board-in run gets no answer.
    EXPECT_EQ(m.Execute(Link::Serial, 0x62, SerialRun(1, 0, 0, 0, 5, 0, 0)).replies.size(), 1u);
    const Outcome silent = m.Execute(Link::Serial, 0x62, SerialRun(1, 1, 0, 0, 5, 0, 0));
    EXPECT_TRUE(silent.accepted);
    EXPECT_TRUE(silent.replies.empty());
    EXPECT_FALSE(m.ConveyorRuns().back().answered);
    EXPECT_EQ(s.Command("board 1"), "ok");
    EXPECT_EQ(m.Execute(Link::Serial, 0x62, SerialRun(1, 1, 0, 0, 5, 0, 0)).replies.size(), 1u);
    EXPECT_NE(s.Command("board 2").find("unknown command"), std::string::npos);
}
