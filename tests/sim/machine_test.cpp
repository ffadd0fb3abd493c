// The simulated machine beyond what the program's flows against it pin: drives no flow
// moves, wrap-around, motion time, homing per pair, its refusals and its fault modes.
#include <gtest/gtest.h>

#include "codec.h"
#include "machine.h"
#include "simulator.h"

using namespace sim;

namespace {
using V = std::vector<int>;

// Field builders for serial data and Ethernet payloads.
struct Build {
    Bytes b;
    Build& u8(int v) { b.push_back(static_cast<std::uint8_t>(v)); return *this; }
    Build& sm32(std::int32_t v) { PutSm32(b, v); return *this; }
    Build& be32(std::int32_t v) { PutBe32(b, v); return *this; }
    Build& be16(int v) { PutBe16(b, static_cast<std::uint16_t>(v)); return *this; }
    Build& le32(std::int32_t v) { PutLe32(b, v); return *this; }
    Build& le16(int v) { PutLe16(b, static_cast<std::uint16_t>(v)); return *this; }
    Build& zeros(std::size_t n) { b.insert(b.end(), n, 0); return *this; }
    Build& at(std::size_t off, std::int32_t v) {
        for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
        return *this;
    }
};

Bytes Move61Serial(int axis, std::int32_t delta) { return Build().u8(axis).sm32(delta).u8(10).u8(100).b; }
// Ethernet: axis, host counter, delta, start, run.
Bytes Move61Udp(int axis, std::int32_t delta) { return Build().u8(axis).le32(0).le32(delta).le32(1).le32(2).b; }

// A serial conveyor run: zone, flags, then L1..L3 each behind its tag 0B..0D, start and run.
Bytes SerialRun(int zone, int f1, std::int32_t l1) {
    return Build().u8(zone).u8(f1).zeros(2).u8(0x0B).sm32(l1).u8(0x0C).sm32(0).u8(0x0D).sm32(0).u8(7).u8(9).b;
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

TEST(SimMachine, CommandsWithoutAFormOnTheirLinkAreRefused) {
    Machine m;
    EXPECT_EQ(Reply(m.Execute(Link::Serial, 0x00, {})), (V{kReplyCommand, 0x00}));
    EXPECT_TRUE(m.Execute(Link::Serial, 0x60, {2}).replies.empty());  // the serial board does not answer a gear
    // No Ethernet form of the handshake, 0x52 and 0x54; no serial form of 0x72.
    EXPECT_FALSE(m.Execute(Link::Udp, 0x00, {}).accepted);
    EXPECT_FALSE(m.Execute(Link::Udp, 0x54, Bytes(20, 0)).accepted);
    EXPECT_FALSE(m.Execute(Link::Serial, 0x72, Bytes(48, 0)).accepted);
    const auto frames = m.Frames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[2].reason, "length does not fit the command");
}

TEST(SimMachine, SingleAxisMovesOfDrivesNoJogReaches) {
    Machine m(0);
    for (const auto& [axis, delta] : {std::pair{0x30, 2}, {14, 40}, {15, 7}, {12, 5}})
        m.Execute(Link::Serial, 0x61, Move61Serial(axis, delta));
    m.Execute(Link::Udp, 0x61, Move61Udp(0x23, -50));
    m.Execute(Link::Udp, 0x61, Move61Udp(0x2A, 77));
    const Drives d = m.Positions();
    EXPECT_EQ((V{d.walk[3], d.feed2, d.lift[1], d.z[3], d.a[2]}), (V{42, 7, 5, -50, 77}));
    EXPECT_EQ(m.ZState(), 0x01);  // the 3-4 rocker away from the middle
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

TEST(SimMachine, DoubleTableThirdRockerAndItsHoming) {
    Machine four(4);
    four.Execute(Link::Serial, 0x61, Move61Serial(9, 110));
    four.Execute(Link::Serial, 0x61, Move61Serial(12, -120));
    four.Execute(Link::Serial, 0x61, Move61Serial(10, 5));
    Drives d = four.Positions();
    EXPECT_EQ((V{d.x2, d.y2, d.z[4], d.z[5], d.walk[1]}), (V{110, -120, -5, 5, 0}));
    // Homing X2 and Y2 only (bytes 2, 3 and 5, 7).
    const Bytes home = Build().zeros(2).u8(5).u8(50).u8(0).u8(5).u8(0).u8(50).zeros(6).b;
    EXPECT_EQ(Reply(four.Execute(Link::Serial, 0x52, home)), (V{kReplyCommand, 0x02}));
    d = four.Positions();
    EXPECT_EQ((V{d.x2, d.y2, d.z[4]}), (V{0, 0, -5}));  // the rocker's pair was zero
    EXPECT_TRUE(four.Homed());
}

// 0x54 on the double table: X with Y or Y2, and the head's rotation named by its A
// axis code turned by the signed 16-bit dR; a code that names no rotation turns
// nothing, and a refused move turns nothing either.
TEST(SimMachine, TableMoveTurnsTheRotationItsThirdDriveNames) {
    Machine four(4);
    // X +1200, Y2 -800, third drive A2 (5) by -300, as the host's frame carries them.
    const Bytes a2 = {0x00, 0x00, 0x00, 0x04, 0xB0, 0x05, 0x32, 0x0C, 0x80, 0x00,
                      0x03, 0x20, 0x06, 0x3C, 0x05, 0x81, 0x2C, 0x03, 0x04, 0x80};
    EXPECT_EQ(Reply(four.Execute(Link::Serial, 0x54, a2)), (V{kReplyCommand, 0x54}));
    Drives d = four.Positions();
    EXPECT_EQ((V{d.x, d.y, d.y2, d.a[0], d.a[1]}), (V{1200, 0, -800, 0, -300}));
    const auto move = [](int yAxis, std::int32_t dY, int third, std::int32_t dR) {
        Build b;
        b.u8(0).sm32(-200).u8(5).u8(50).u8(yAxis).sm32(dY).u8(5).u8(50).u8(third);
        PutSm16(b.b, dR);
        return b.u8(3).u8(4).u8(0x80).b;
    };
    const struct {
        int third;
        std::int32_t dR;
        V a;  // A1..A4 and A8 after the move
    } cases[] = {
        {4, 32767, {32767, -300, 0, 0, 0}},
        {7, -1, {32767, -300, 0, -1, 0}},
        {0x2F, 450, {32767, -300, 0, -1, 450}},
        {1, 999, {32767, -300, 0, -1, 450}},   // Y: not a rotation, Y moves by dY alone
        {10, 999, {32767, -300, 0, -1, 450}},  // the glue rocker: nothing turns, no stroke
    };
    for (const auto& c : cases) {
        four.Execute(Link::Serial, 0x54, move(1, -100, c.third, c.dR));
        d = four.Positions();
        EXPECT_EQ((V{d.a[0], d.a[1], d.a[2], d.a[3], d.a[7]}), c.a) << "third drive " << c.third;
    }
    EXPECT_EQ((V{d.x, d.y, d.y2, d.z[4], d.z[5]}), (V{1200 - 5 * 200, -500, -800, 0, 0}));
    // Beyond the Y limit: refused whole, the rotation stays.
    four.Execute(Link::Serial, 0x01, Build().u8(1).sm32(550).b);
    const Outcome refused = four.Execute(Link::Serial, 0x54, move(1, -100, 4, 100));
    ASSERT_EQ(refused.replies.size(), 1u);
    EXPECT_EQ(refused.replies[0].kind, kReplyError);
    EXPECT_EQ(four.Positions().a[0], 32767);
    EXPECT_EQ(four.Positions().x, 200);
}

TEST(SimMachine, HomingZeroesTheDrivesWithSpeeds) {
    Machine m(3);
    for (int axis : {0, 1, 2, 3, 8, 9, 10}) m.Execute(Link::Serial, 0x61, Move61Serial(axis, axis == 1 ? -500 : 500));
    // Pairs X, Y, Z1, Z2, west, north, east walk: home Y, the 3-4 rocker and the north walk.
    const Bytes speeds = Build().zeros(2).u8(5).u8(50).zeros(2).u8(5).u8(50).zeros(2).u8(5).u8(50).zeros(2).b;
    const Outcome o = m.Execute(Link::Serial, 0x02, speeds);
    EXPECT_EQ(Reply(o), (V{kReplyCommand, 0x02}));
    EXPECT_GT(o.motionMs, 0);
    const Drives d = m.Positions();
    EXPECT_EQ((V{d.x, d.y, d.z[0], d.z[2], d.z[3], d.walk[0], d.walk[1], d.walk[2]}),
              (V{500, 0, -500, 0, 0, 500, 0, 500}));
    EXPECT_EQ(m.ZState(), 0x02);
    // With the automatic conveyor in place the west slot homes its width drive.
    m.SetConveyorWidth(4321);
    m.Execute(Link::Serial, 0x02, Build().zeros(8).u8(5).u8(50).zeros(4).b);
    EXPECT_EQ((V{m.Positions().walk[0], m.Positions().walk[3]}), (V{500, 4321}));

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
    // Refused: the limit report is the whole answer.
    const Outcome beyond = m.Execute(Link::Serial, 0x61, Move61Serial(0, 1));
    ASSERT_EQ(beyond.replies.size(), 1u);
    EXPECT_EQ(beyond.replies[0].kind, kReplyError);
    EXPECT_EQ(beyond.replies[0].code, 0xE8);
    EXPECT_EQ(beyond.replies[0].data, Bytes{0x11});
    EXPECT_EQ(m.Positions().x, 1000);
    // Y runs from 0 down to minus the limit.
    const Bytes up = Build().le32(0).le32(0).le32(0).le32(1).le32(1).le32(2).u8(0).u8(1).le32(0).le32(0).le32(0).b;
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x64, up)).data[0], 0x15);
    EXPECT_EQ(m.Positions().y, 0);
}

TEST(SimMachine, EmptyNozzleFailsThePlaceCheckAndVacuumOffDropsThePart) {
    Machine m;
    const Bytes place = Build().u8(2).sm32(-800).u8(1).u8(2).be32(800).be16(200).u8(30).b;
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x68, place)).data, (Bytes{1, Machine::kEmptyKpa}));
    const auto udpPlace = [](int threshold) {
        return Build().u8(2).le32(800).le32(1).le32(2).le32(800).u8(5).le16(200).u8(threshold).b;
    };
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x68, udpPlace(30))).data[0], 0x68);
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x68, udpPlace(0))).data[0], 0);  // threshold 0 never fails
    EXPECT_TRUE(m.Placements().empty());
    m.Execute(Link::Udp, 0x67, Build().u8(3).le32(500).le32(1).le32(2).le16(100).u8(0).b);
    EXPECT_TRUE(m.Holding(3));
    m.Execute(Link::Udp, 0x03, Build().u8(3).u8(0).le16(5).b);
    EXPECT_FALSE(m.Holding(3));
    EXPECT_EQ(m.OutputLog().back().extra, 5);
    // The drive-10 feed has plain 32-bit fields.
    m.Execute(Link::Serial, 0x56, Build().u8(10).be32(-5).be32(1).be32(2).be16(7).u8(8).u8(9).b);
    ASSERT_EQ(m.Feeds().size(), 1u);
    EXPECT_EQ((V{m.Feeds()[0].drive, m.Feeds()[0].pulses, m.Feeds()[0].command}), (V{10, -5, 0x56}));
}

// A nozzle's vacuum output off blows its part off: on type 7 output 0x20 + h - 1
// drives head h (outputs 3 and 6 are other things there), on the others 1..4.
TEST(SimMachine, EachHeadsVacuumOutputOffIsRecordedAsItsBlowOff) {
    Machine m;
    m.SetMachineType(7);
    const auto pick = [&](int axis) { m.Execute(Link::Udp, 0x67, Build().u8(axis).le32(500).le32(1).le32(2).le16(100).u8(0).b); };
    const auto off = [&](int channel, int ms) { m.Execute(Link::Udp, 0x03, Build().u8(channel).u8(0).le16(ms).b); };
    pick(0x22);
    pick(0x25);
    off(3, 5);      // not a nozzle's output on type 7
    off(0x25, 37);  // head 6
    off(0x22, 41);  // head 3
    off(0x22, 41);  // head 3 again, empty now
    m.Execute(Link::Udp, 0x03, Build().u8(0x23).u8(1).le16(9).b);  // on: no blow-off
    EXPECT_FALSE(m.Holding(3));
    EXPECT_FALSE(m.Holding(6));
    const auto b = m.BlowOffs();
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ((V{b[0].head, b[0].channel, b[0].blowMs, b[0].part}), (V{6, 0x25, 37, 1}));
    EXPECT_EQ((V{b[1].head, b[1].channel, b[1].blowMs, b[1].part}), (V{3, 0x22, 41, 1}));
    EXPECT_EQ((V{b[2].head, b[2].channel, b[2].blowMs, b[2].part}), (V{3, 0x22, 41, 0}));
    m.SetMachineType(2);
    pick(3);  // a positive stroke on axis 3: head 3
    off(0x22, 5);
    off(3, 5);
    ASSERT_EQ(m.BlowOffs().size(), 4u);
    EXPECT_EQ((V{m.BlowOffs()[3].head, m.BlowOffs()[3].channel, m.BlowOffs()[3].part}), (V{3, 3, 1}));
    m.ClearRecords();
    EXPECT_TRUE(m.BlowOffs().empty());
}

TEST(SimMachine, ControlledBoardAtTheInputAndMeasuredHeight) {
    Simulator s(SimConfig{});
    Machine& m = s.machine();
    EXPECT_EQ(s.Command("board 0"), "ok");
    // A jog (no wait flag) still runs; the waiting board-in run gets no answer.
    EXPECT_EQ(m.Execute(Link::Serial, 0x62, SerialRun(1, 0, 5)).replies.size(), 1u);
    const Outcome silent = m.Execute(Link::Serial, 0x62, SerialRun(1, 1, 5));
    EXPECT_TRUE(silent.accepted);
    EXPECT_TRUE(silent.replies.empty());
    EXPECT_FALSE(m.ConveyorRuns().back().answered);
    EXPECT_EQ(s.Command("board 1"), "ok");
    EXPECT_EQ(m.Execute(Link::Serial, 0x62, SerialRun(1, 1, 5)).replies.size(), 1u);
    EXPECT_NE(s.Command("board 2").find("unknown command"), std::string::npos);

    // Serial: ok byte, height big-endian; Ethernet: status, Z, height little-endian; 0 fails.
    EXPECT_EQ(s.Command("height 16909060"), "ok");  // 0x01020304
    const Bytes serialHeight = Build().u8(0x20).sm32(100).u8(1).u8(2).b;
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x71, serialHeight)).data, (Bytes{1, 1, 2, 3, 4}));
    EXPECT_EQ(Only(m.Execute(Link::Udp, 0x71, Build().u8(0x20).le32(100).le32(1).le32(2).b)).data,
              (Bytes{0, 3, 4, 3, 2, 1}));
    EXPECT_EQ(s.Command("height 0"), "ok");
    EXPECT_EQ(Only(m.Execute(Link::Serial, 0x71, serialHeight)).data[0], 0);
}

// The firmware tests' loader flows pin the flash reply layouts; here the refusals they do not reach.
TEST(SimMachine, FlashRefusesBlocksBeyondItOversizedWritesAndUnknownCommands) {
    Machine m;
    EXPECT_EQ(Reply(m.Execute(Link::Udp, 0xF04, Build().le32(kFlashBase + kFlashSize - 4).le32(8).b)).at(2), 0x05);
    Bytes tooBig = Build().le32(kApplication).le32(434).b;
    tooBig.resize(8 + 434);
    EXPECT_FALSE(m.Execute(Link::Udp, 0xF03, tooBig).accepted);
    EXPECT_EQ(Reply(m.Execute(Link::Udp, 0xF05, {})).at(1), 0xFFF);
}
