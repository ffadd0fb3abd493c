#include <gtest/gtest.h>

#include "codec.h"
#include "machine.h"
#include "md5.h"
#include "simulator.h"

using namespace sim;

namespace {
using V = std::vector<int>;

// Field builders for serial data and Ethernet payloads.
struct Build {
    Bytes b;
    Build& u8(int v) { b.push_back(static_cast<std::uint8_t>(v)); return *this; }
    Build& sm32(std::int32_t v) { PutSm32(b, v); return *this; }
    Build& sm16(std::int32_t v) { PutSm16(b, v); return *this; }
    Build& be32(std::int32_t v) { PutBe32(b, v); return *this; }
    Build& be16(int v) { PutBe16(b, static_cast<std::uint16_t>(v)); return *this; }
    Build& le32(std::int32_t v) { PutLe32(b, v); return *this; }
    Build& le16(int v) { PutLe16(b, static_cast<std::uint16_t>(v)); return *this; }
    Build& zeros(std::size_t n) { b.insert(b.end(), n, 0); return *this; }
    Build& at(std::size_t off, std::int32_t v) {
        for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
        return *this;
    }
    Build& byteAt(std::size_t off, int v) { b[off] = static_cast<std::uint8_t>(v); return *this; }
};

Bytes Move61Serial(int axis, std::int32_t delta) { return Build().u8(axis).sm32(delta).u8(10).u8(100).b; }
// Ethernet: axis, host counter, delta, start, run.
Bytes Move61Udp(int axis, std::int32_t delta) { return Build().u8(axis).le32(0).le32(delta).le32(1).le32(2).b; }

// Conveyor runs: zone, flags, then L1..L3 each behind its tag 0B..0D, start and run;
// Ethernet has the wait time-out after the first flag.
Bytes SerialRun(int zone, int f1, std::int32_t l1, std::int32_t l2, std::int32_t l3) {
    return Build().u8(zone).u8(f1).zeros(2).u8(0x0B).sm32(l1).u8(0x0C).sm32(l2).u8(0x0D).sm32(l3).u8(7).u8(9).b;
}
Bytes UdpRun(int zone, int wait, int f3, std::int32_t l1, std::int32_t l2, std::int32_t l3) {
    return Build().u8(zone).u8(0).le16(wait).u8(0).u8(f3).u8(0x0B).le32(l1).u8(0x0C).le32(l2).u8(0x0D).le32(l3)
        .le32(11).le32(22).b;
}

const Outgoing& Only(const Outcome& o) {
    EXPECT_EQ(o.replies.size(), 1u);
    return o.replies.at(0);
}

// The one reply of a command as kind, code, then its data bytes.
V Reply(const Outcome& o) {
    V v{Only(o).kind, Only(o).code};
    v.insert(v.end(), Only(o).data.begin(), Only(o).data.end());
    return v;
}
} // namespace

TEST(SimMachine, HandshakeAndPlainRepliesOnBothLinks) {
    Machine m;
    EXPECT_EQ(Reply(m.Execute(Link::Serial, 0x00, {})), (V{kReplyCommand, 0x00}));
    // The serial board does not answer a speed gear; the Ethernet board does with
    // status and Z state (both rockers up).
    EXPECT_TRUE(m.Execute(Link::Serial, 0x60, {2}).replies.empty());
    EXPECT_EQ(Reply(m.Execute(Link::Udp, 0x60, {3, 0})), (V{1, 0x60, 0, 0x03}));
    EXPECT_EQ(m.SpeedGear(), 3);
    // No Ethernet form of the handshake, 0x52 and 0x54; no serial form of 0x72.
    EXPECT_FALSE(m.Execute(Link::Udp, 0x00, {}).accepted);
    EXPECT_FALSE(m.Execute(Link::Udp, 0x54, Bytes(20, 0)).accepted);
    EXPECT_FALSE(m.Execute(Link::Serial, 0x72, Bytes(48, 0)).accepted);
    const auto frames = m.Frames();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_FALSE(frames[3].accepted);
    EXPECT_EQ(frames[3].reason, "length does not fit the command");
}

TEST(SimMachine, SingleAxisMovesBookEveryDrive) {
    Machine m(0);
    const std::pair<int, std::int32_t> moves[] = {{0, 1200}, {1, -1}, {2, 200}, {5, -90}, {8, 10},  {9, 20},
                                                  {10, 30},  {14, 40}, {0x30, 2}, {15, 7}, {12, 5}};
    for (const auto& [axis, delta] : moves) m.Execute(Link::Serial, 0x61, Move61Serial(axis, delta));
    m.Execute(Link::Udp, 0x61, Move61Udp(0x23, -50));
    m.Execute(Link::Udp, 0x61, Move61Udp(0x2A, 77));
    const Drives d = m.Positions();
    // Axis 2 is the rocker of nozzles 1 and 2: a positive stroke lowers the first.
    EXPECT_EQ((V{d.x, d.y, d.z[0], d.z[1], d.a[1], d.walk[0], d.walk[1], d.walk[2], d.walk[3], d.feed2, d.lift[1],
                 d.z[3], d.a[2]}),
              (V{1200, -1, -200, 200, -90, 10, 20, 30, 42, 7, 5, -50, 77}));
    EXPECT_EQ(m.ZState(), 0);  // both rockers away from the middle
}

TEST(SimMachine, ExtremeDeltasWrapTheCountersInsteadOfOverflowing) {
    Machine m(7);
    const std::int32_t kMin = INT32_MIN;
    for (int axis : {0, 1, 2, 0x20, 0x28, 8, 14}) {
        m.Execute(Link::Udp, 0x61, Move61Udp(axis, kMin));
        m.Execute(Link::Udp, 0x61, Move61Udp(axis, kMin));
    }
    m.Execute(Link::Udp, 0x64,
              Build().le32(0).le32(kMin).le32(0).le32(kMin).le32(1).le32(0).u8(0).u8(1).le32(kMin).le32(0).le32(0).b);
    Build p73;
    p73.zeros(130).at(9, kMin).at(13, kMin).at(69, kMin).at(114, kMin).at(118, kMin);
    EXPECT_LE(m.Execute(Link::Udp, 0x73, p73.b).motionMs, 60005);
    const Drives d = m.Positions();
    // Two minima make 0: X gets six of them (0x61 twice, 0x64, 0x73's three legs
    // on top), Y five (0x61 twice, 0x64, 0x73's two legs).
    EXPECT_EQ((V{d.x, d.y, d.z[0], d.walk[3]}), (V{0, kMin, 0, 0}));
    // With a travel limit set, a wild move is refused instead.
    m.Execute(Link::Udp, 0x01, Build().u8(0).le32(1000).b);
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x61, Move61Udp(0, kMin))).data[0], 0x14);
}

TEST(SimMachine, MotionTimeGrowsWithDistanceAndFallsWithSpeed) {
    Machine m;
    // Speed code s covers 2 s pulses per millisecond, plus 5 ms for every move.
    EXPECT_EQ(m.Execute(Link::Serial, 0x61, Build().u8(0).sm32(20000).u8(10).u8(100).b).motionMs, 105);
    EXPECT_EQ(m.Execute(Link::Serial, 0x61, Build().u8(0).sm32(-20000).u8(10).u8(200).b).motionMs, 55);
    EXPECT_EQ(m.Execute(Link::Serial, 0x61, Build().u8(0).sm32(100).u8(10).u8(0).b).motionMs, 55);  // code 0 as 1
    EXPECT_EQ(m.Execute(Link::Serial, 0x03, {1, 1}).motionMs, 0);
}

TEST(SimMachine, DoubleTableAndThirdRockerByMachineType) {
    Machine four(4);
    four.Execute(Link::Serial, 0x61, Move61Serial(9, 100));
    four.Execute(Link::Serial, 0x61, Move61Serial(12, -100));
    four.Execute(Link::Serial, 0x61, Move61Serial(10, 5));
    Drives d = four.Positions();
    EXPECT_EQ((V{d.x2, d.y2, d.z[4], d.z[5], d.walk[1]}), (V{100, -100, -5, 5, 0}));
    // 0x53 with X2 and Y2, then homing X2 and Y2 only (bytes 2, 3 and 5, 7).
    four.Execute(Link::Serial, 0x53, Build().u8(9).sm32(10).u8(1).u8(2).u8(12).sm32(-20).u8(1).u8(2).u8(0x80).b);
    d = four.Positions();
    EXPECT_EQ((V{d.x2, d.y2}), (V{110, -120}));
    const Bytes home = Build().zeros(2).u8(5).u8(50).u8(0).u8(5).u8(0).u8(50).zeros(6).b;
    EXPECT_EQ(Reply(four.Execute(Link::Serial, 0x52, home)), (V{kReplyCommand, 0x02}));
    d = four.Positions();
    EXPECT_EQ((V{d.x2, d.y2, d.z[4]}), (V{0, 0, -5}));  // the rocker's pair was zero
    EXPECT_TRUE(four.Homed());
}

TEST(SimMachine, HomingZeroesTheDrivesWithSpeeds) {
    Machine m(3);
    for (int axis : {0, 1, 2, 3, 8, 9, 10}) m.Execute(Link::Serial, 0x61, Move61Serial(axis, axis == 1 ? -500 : 500));
    // Pairs X, Y, Z 1-2, Z 3-4, W1, W3, L2: home Y, the 3-4 rocker and W3.
    const Bytes speeds = Build().zeros(2).u8(5).u8(50).zeros(2).u8(5).u8(50).zeros(2).u8(5).u8(50).zeros(2).b;
    const Outcome o = m.Execute(Link::Serial, 0x02, speeds);
    EXPECT_EQ(Reply(o), (V{kReplyCommand, 0x02}));
    EXPECT_GT(o.motionMs, 0);
    const Drives d = m.Positions();
    EXPECT_EQ((V{d.x, d.y, d.z[0], d.z[2], d.z[3], d.walk[0], d.walk[1], d.walk[2]}),
              (V{500, 0, -500, 0, 0, 500, 500, 0}));
    EXPECT_EQ(m.ZState(), 0x02);

    // Eight heads over Ethernet: X start, Y start, run, Z starts of heads 1..8, Z run.
    Machine seven(7);
    seven.Execute(Link::Udp, 0x61, Move61Udp(0x20, -300));
    seven.Execute(Link::Udp, 0x61, Move61Udp(0x21, -300));
    const Bytes h = Build().le32(0).le32(0).le32(50).le32(5).le32(0).zeros(24).le32(50).b;  // head 1 only
    EXPECT_EQ(Reply(seven.Execute(Link::Udp, 0x72, h)), (V{1, 0x72, 0, 0xFD}));  // head 2 still down
}

TEST(SimMachine, TravelLimitsRefuseMovesBeyondThem) {
    Machine m;
    m.Execute(Link::Serial, 0x01, Build().u8(0).sm32(1000).b);
    m.Execute(Link::Serial, 0x01, Build().u8(1).sm32(2000).b);
    EXPECT_EQ(m.AxisLimits().at(0), 1000);
    m.Execute(Link::Serial, 0x61, Move61Serial(0, 1000));  // exactly on the limit
    EXPECT_EQ(m.Positions().x, 1000);
    const Outcome beyond = m.Execute(Link::Serial, 0x61, Move61Serial(0, 1));
    ASSERT_EQ(beyond.replies.size(), 2u);
    EXPECT_EQ(beyond.replies[0].kind, kReplyError);
    EXPECT_EQ(beyond.replies[0].code, 0xE8);
    EXPECT_EQ(beyond.replies[0].data, Bytes{0x11});
    EXPECT_EQ(beyond.replies[1].code, 0x61);
    EXPECT_EQ(m.Positions().x, 1000);
    // Y runs from 0 down to minus the limit.
    const Bytes up = Build().le32(0).le32(0).le32(0).le32(1).le32(1).le32(2).u8(0).u8(1).le32(0).le32(0).le32(0).b;
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x64, up)).data[0], 0x15);
    EXPECT_EQ(m.Positions().y, 0);
}

TEST(SimMachine, XYMovesOnBothLinks) {
    Machine m;
    // 0x64 narrow form (dX, dY as 16-bit sign and magnitude), then the wide form.
    m.Execute(Link::Serial, 0x64,
              Build().sm16(300).u8(1).u8(2).sm16(-400).u8(1).u8(2).u8(2).sm16(-45).u8(0).u8(0).u8(0x80).b);
    m.Execute(Link::Serial, 0x64,
              Build().sm32(70000).u8(1).u8(2).sm32(-70000).u8(1).u8(2).u8(3).sm16(10).u8(0).u8(0).u8(0).b);
    Drives d = m.Positions();
    EXPECT_EQ((V{d.x, d.y, d.a[1], d.a[2]}), (V{70300, -70400, -45, 10}));
    // 0x65: four rotations on the serial link, eight on Ethernet.
    Build s65;
    s65.sm32(-300).u8(1).u8(2).sm32(400).u8(1).u8(2);
    for (int n = 1; n <= 4; ++n) s65.sm16(n * 10).u8(1).u8(2);
    m.Execute(Link::Serial, 0x65, s65.u8(1).b);
    Build u65;
    u65.le32(0).le32(5).le32(0).le32(-5).le32(1).le32(2).u8(1);
    for (int n = 1; n <= 8; ++n) u65.le32(n);
    m.Execute(Link::Udp, 0x65, u65.le32(1).le32(2).b);
    d = m.Positions();
    EXPECT_EQ((V{d.x, d.y, d.a[0], d.a[3], d.a[7]}), (V{70005, -70005, 11, 44, 8}));
    // 0x53 Ethernet and 0x54 serial.
    m.Execute(Link::Udp, 0x53, Build().u8(0).u8(1).le32(0).le32(-5).le32(0).le32(5).le32(1).le32(2).u8(0x80).b);
    m.Execute(Link::Serial, 0x54,
              Build().u8(0).sm32(100).u8(1).u8(2).u8(1).sm32(-100).u8(1).u8(2).u8(4).sm16(9).u8(0).u8(0).u8(0x80).b);
    d = m.Positions();
    EXPECT_EQ((V{d.x, d.y}), (V{70100, -70100}));
    // 0x63: X only; 0x70 records the host counters.
    m.Execute(Link::Serial, 0x63, Build().u8(1).u8(0).u8(2).sm32(-100).u8(0).u8(0).zeros(24).u8(2).b);
    m.Execute(Link::Udp, 0x63, Build().le16(1).u8(2).le32(0).le32(50).le32(0).le32(0).zeros(48).u8(2).b);
    m.Execute(Link::Udp, 0x70, Build().le32(70050).le32(-70100).b);
    EXPECT_EQ(m.Positions().x, 70050);
    EXPECT_EQ(m.HostCounters(), std::make_pair(70050, -70100));
}

TEST(SimMachine, PicksPlacesAndVacuumReadings) {
    Machine m;
    m.Execute(Link::Serial, 0x61, Move61Serial(0, 5000));
    // Pick with nozzle 2 (negative stroke on the first rocker).
    const Bytes pick = Build().u8(2).sm32(-800).u8(1).u8(2).u8(1).be16(100).u8(0).b;
    EXPECT_EQ(Reply(m.Execute(Link::Serial, 0x67, pick)), (V{kReplyCommand, 0x67}));
    EXPECT_EQ((V{m.Holding(1), m.Holding(2)}), (V{0, 1}));
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x15, {2})).data, (Bytes{2, Machine::kHoldingKpa}));
    m.Execute(Link::Serial, 0x61, Move61Serial(1, -3000));
    // Place with a threshold the reading passes.
    const Bytes place = Build().u8(2).sm32(-800).u8(1).u8(2).be32(800).be16(200).u8(30).b;
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x68, place)).data, (Bytes{0, Machine::kHoldingKpa}));
    EXPECT_FALSE(m.Holding(2));
    ASSERT_EQ(m.Placements().size(), 1u);
    EXPECT_EQ((V{m.Placements()[0].nozzle, m.Placements()[0].x, m.Placements()[0].y}), (V{2, 5000, -3000}));
    // Placing again with an empty nozzle fails the vacuum check; threshold 0 never fails.
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x68, place)).data, (Bytes{1, Machine::kEmptyKpa}));
    const auto udpPlace = [](int threshold) {
        return Build().u8(2).le32(800).le32(1).le32(2).le32(800).u8(5).le16(200).u8(threshold).b;
    };
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x68, udpPlace(30))).data[0], 0x68);
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x68, udpPlace(0))).data[0], 0);
    EXPECT_EQ(m.Placements().size(), 1u);
    // Switching a nozzle's vacuum off drops its part.
    m.Execute(Link::Udp, 0x67, Build().u8(3).le32(500).le32(1).le32(2).le16(100).u8(0).b);
    EXPECT_TRUE(m.Holding(3));
    m.Execute(Link::Udp, 0x03, Build().u8(3).u8(0).le16(5).b);
    EXPECT_FALSE(m.Holding(3));
    EXPECT_EQ(m.OutputLog().back().extra, 5);
    m.SetVacuumOverride(1, 42);
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x15, {1})).data, (Bytes{0, 42}));
}

TEST(SimMachine, CombinedEthernetMovesPickAndPlace) {
    Machine m(7);
    Build p74;
    p74.zeros(96).at(2, 0x05).at(19, 1000).at(27, -2000).at(40, 30).at(44, 60);
    m.Execute(Link::Udp, 0x74, p74.b);
    const auto holding = [&](std::initializer_list<int> nozzles) {
        V h;
        for (int n : nozzles) h.push_back(m.Holding(n));
        return h;
    };
    EXPECT_EQ(holding({1, 2, 3}), (V{1, 0, 1}));
    Drives d = m.Positions();
    EXPECT_EQ((V{d.x, d.y, d.a[0], d.a[1]}), (V{1000, -2000, 30, 60}));
    // 0x77 places the nozzle of its Z axis code.
    Build p77;
    p77.zeros(86).at(4, 10).at(12, -10).byteAt(65, 0x22).byteAt(85, 0);
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x77, p77.b)).data[0], 0);
    EXPECT_FALSE(m.Holding(3));
    ASSERT_EQ(m.Placements().size(), 1u);
    EXPECT_EQ(m.Placements()[0].x, 1010);
    // 0x75 / 0x78: per-nozzle Z codes, no move.
    Build p75, p78;
    m.Execute(Link::Udp, 0x75, p75.zeros(234).byteAt(170 + 4, 0x24).byteAt(170 + 7, 0x27).b);
    EXPECT_EQ(holding({5, 8}), (V{1, 1}));
    m.Execute(Link::Udp, 0x78, p78.zeros(234).byteAt(121, 0x20).byteAt(125, 0x24).b);
    EXPECT_EQ(holding({1, 5, 8}), (V{0, 0, 1}));
    EXPECT_EQ(m.Placements().size(), 3u);
    EXPECT_EQ(m.Positions().x, 1010);
    // 0x73: start point, fly-over, end point.
    Build p73;
    p73.zeros(130).at(9, 100).at(13, -100).at(26, 5).at(69, 400).at(114, -50).at(118, -25);
    m.Execute(Link::Udp, 0x73, p73.b);
    d = m.Positions();
    EXPECT_EQ((V{d.x, d.y, d.a[0]}), (V{1010 + 100 + 400 - 50, -2010 - 100 - 25, 35}));
}

TEST(SimMachine, FeedersDispensingHeightOutputsAndCamera) {
    Machine m;
    m.Execute(Link::Serial, 0x66,
              Build().u8(3).sm32(-120).u8(1).u8(2).be16(3).be16(4).u8(5).u8(6).be16(7).u8(8).u8(9).b);
    m.Execute(Link::Serial, 0x56, Build().u8(10).be32(-5).be32(1).be32(2).be16(7).u8(8).u8(9).b);
    m.Execute(Link::Udp, 0x66, Build().u8(0).u8(1).le32(0).le32(40).zeros(24).le16(0).u8(0).u8(0).b);
    EXPECT_EQ((V{m.Positions().walk[2], m.Positions().walk[0]}), (V{-120, 40}));
    ASSERT_EQ(m.Feeds().size(), 3u);
    EXPECT_EQ((V{m.Feeds()[1].drive, m.Feeds()[1].pulses, m.Feeds()[1].command}), (V{10, -5, 0x56}));
    m.Execute(Link::Serial, 0x58, Build().u8(10).sm32(-100).u8(1).u8(2).u8(5).be32(1).be32(2).be16(3).be16(4).b);
    EXPECT_EQ(m.Dispensed().size(), 1u);

    // Height: serial data = ok byte, height big-endian; Ethernet = status, Z, height LE.
    m.SetMeasuredHeight(0x01020304);
    const Bytes serialHeight = Build().u8(0x20).sm32(100).u8(1).u8(2).b;
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x71, serialHeight)).data, (Bytes{1, 1, 2, 3, 4}));
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x71, Build().u8(0x20).le32(100).le32(1).le32(2).b)).data,
              (Bytes{0, 3, 4, 3, 2, 1}));
    m.SetMeasuredHeight(0);
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x71, serialHeight)).data[0], 0);
    m.Execute(Link::Serial, 0x03, {7, 1});
    m.Execute(Link::Serial, 0x04, {2, 99});
    EXPECT_EQ((V{m.Output(7), m.Camera(), m.CameraValue()}), (V{1, 2, 99}));
}

TEST(SimMachine, ConveyorReadsEveryFieldAndCarriesTheBoardThroughTheZones) {
    Machine m;
    EXPECT_EQ(m.BoardZone(), 0);
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x62, SerialRun(1, 1, 100, -200, 300))).code, 0x62);
    EXPECT_EQ(m.BoardZone(), 1);
    // Unasked (kind 0), as the Ethernet conveyor board answers.
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x62, UdpRun(3, 4000, 1, 9, 8, -5))).kind, 0);
    EXPECT_EQ(m.BoardZone(), 3);
    m.Execute(Link::Udp, 0x62, UdpRun(4, 0, 0, 0, 0, 10));
    EXPECT_EQ(m.BoardZone(), 0);
    const auto runs = m.ConveyorRuns();
    ASSERT_EQ(runs.size(), 3u);
    for (const auto& [i, flag, want] : {std::tuple{0, 0, V{1, 1, 100, -200, 300, 7, 9, 0}},
                                        std::tuple{1, 2, V{3, 1, 9, 8, -5, 11, 22, 4000}}}) {
        const ConveyorRecord& r = runs[i];
        EXPECT_EQ((V{r.zone, r.flags[flag], r.l1, r.l2, r.l3, r.start, r.run, r.waitTimeOut}), want) << i;
    }
}

TEST(SimMachine, WithoutABoardAtTheInputTheBoardInRunStaysUnanswered) {
    Simulator s(SimConfig{});
    EXPECT_EQ(s.Command("board 0"), "ok");
    Machine& m = s.machine();
    // A jog (no wait flag) still runs; the waiting board-in run gets no answer.
    EXPECT_EQ(m.Execute(Link::Serial, 0x62, SerialRun(1, 0, 5, 0, 0)).replies.size(), 1u);
    const Outcome silent = m.Execute(Link::Serial, 0x62, SerialRun(1, 1, 5, 0, 0));
    EXPECT_TRUE(silent.accepted);
    EXPECT_TRUE(silent.replies.empty());
    EXPECT_FALSE(m.ConveyorRuns().back().answered);
    EXPECT_EQ(s.Command("board 1"), "ok");
    EXPECT_EQ(m.Execute(Link::Serial, 0x62, SerialRun(1, 1, 5, 0, 0)).replies.size(), 1u);
    EXPECT_NE(s.Command("board 2").find("unknown command"), std::string::npos);
}

// The loader flows of the firmware tests run against these boards; here the reply
// layouts, the update mark and the refusals.
TEST(SimMachine, FlashRepliesUpdateMarkAndRefusals) {
    Machine m;
    const auto fw = [&](std::uint16_t code, const Bytes& payload) {
        return Reply(m.Execute(Link::Udp, code, payload));
    };
    const BoardId feeder{3, 1};
    EXPECT_EQ(fw(0xF00, {3, 1}), (V{1, 0xF00, 0}));
    Bytes image(433), req = Build().le32(kApplication).le32(433).b;
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 1);
    req.insert(req.end(), image.begin(), image.end());
    EXPECT_EQ(fw(0xF03, req), (V{1, 0xF03, 0}));
    // Read back: status, then the data from payload offset 8.
    const V back = fw(0xF04, Build().le32(kApplication).le32(433).b);
    ASSERT_EQ(back.size(), 2u + 8u + 433u);
    EXPECT_EQ(back[2], 0);
    EXPECT_TRUE(std::equal(back.begin() + 10, back.end(), image.begin()));
    // Digest: status and 16 bytes, of the written length and of the whole area (erased bytes are FF).
    const auto expect = Md5Digest(image.data(), image.size());
    V md5{1, 0xF06, 0};
    md5.insert(md5.end(), expect.begin(), expect.end());
    EXPECT_EQ(fw(0xF06, Build().le32(kApplication).le32(433).b), md5);
    Bytes whole(0x60000, 0xFF);
    std::copy(image.begin(), image.end(), whole.begin());
    EXPECT_EQ(m.FlashMd5(feeder, kApplication, 0x60000), Md5Digest(whole.data(), whole.size()));
    // The update mark is the first u16 of the configuration block.
    fw(0xF03, Build().le32(kConfigBlock).le32(2).le16(1).b);
    EXPECT_EQ(m.UpdateMark(feeder), 1);

    // Refusals: a block beyond the flash, an unknown board, an oversized write, an unknown command.
    EXPECT_EQ(fw(0xF04, Build().le32(kFlashBase + kFlashSize - 4).le32(8).b).at(2), 0x05);
    EXPECT_EQ(fw(0xF00, {9, 0}), (V{1, 0xF00, 0xFF}));
    Bytes tooBig = Build().le32(kApplication).le32(434).b;
    tooBig.resize(8 + 434);
    EXPECT_FALSE(m.Execute(Link::Udp, 0xF03, tooBig).accepted);
    EXPECT_EQ(fw(0xF05, {}).at(1), 0xFFF);
}
