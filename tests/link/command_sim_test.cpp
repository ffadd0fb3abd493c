// The command functions against the simulated machine on both links: the bytes the
// machine takes, the traces, the refusals, the position counters, what the commands
// show on the panel, and the combined and single-link commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>
#include <tuple>

#include "link/combined_commands.h"
#include "link/command_frames.h"
#include "link/exchange.h"
#include "link/reply_handlers.h"
#include "sim_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

using Texts = std::vector<std::string>;

class Commands : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(serial());
        // The Ethernet replies carry the Z state; all rockers up on a type 0 head.
        g_PanelLink.zCheckMask = 3;
    }
    bool serial() const { return GetParam() == Wire::Serial; }
    // The command went through, and what the machine took is the layout's bytes for this link.
    void ExpectSent(bool ok, std::uint16_t code, const ByteVector& serialData, const ByteVector& udpPayload) {
        EXPECT_TRUE(ok);
        EXPECT_EQ(LastCode(), code);
        EXPECT_EQ(LastData(), HexOf(serial() ? serialData : udpPayload));
    }
};

}  // namespace

// The conveyor's zone runs are pinned byte for byte by the conveyor flows (settings tests).
TEST_P(Commands, SimpleCommandsAndStrokesReachTheMachineAsLaidOut) {
    ASSERT_TRUE(SetOutput({0x21, 1, 300}));
    // A command without a reply: the sim records it when the next one arrives.
    ASSERT_TRUE(ReadVacuum(1));
    const auto frames = machine().Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(HexOf(frames[0].data), HexOf(serial() ? SerialOutput({0x21, 1, 300}) : UdpOutput({0x21, 1, 300})));
    EXPECT_EQ(g_VacuumReading, sim::Machine::kEmptyKpa);

    ASSERT_TRUE(SelectCamera(2, 7, 0));
    ASSERT_TRUE(SetSpeedGear(3, 0));
    ExpectSent(MeasureHeight({-7000, 3, 4}), 0x71, SerialHeight({-7000, 3, 4}), UdpHeight({-7000, 3, 4}));
    EXPECT_EQ(machine().Camera(), 2);
    EXPECT_EQ(machine().SpeedGear(), 3);
    EXPECT_EQ(g_PanelLink.measuredHeight, 12000);
    EXPECT_EQ(Traces(), (Texts{"60->Start", "60->end", "71->start", "71->end"}));
    // Strokes change no counter.
    const PickStrokeArgs pick{2, 3000, {8, 80}, 1, 100, 0};
    ExpectSent(PickStroke(pick), 0x67, SerialPick(pick), UdpPick(pick));
    EXPECT_TRUE(machine().Holding(1));
    TheBasicSettings().m_Exhaust = 7;
    PlaceStrokeArgs place{2, 3000, {9, 90}, -3000, 200, 0, 7};
    const bool placed = PlaceStroke(place);
    place.w = 3000;  // sent as its magnitude
    ExpectSent(placed, 0x68, SerialPlace(place), UdpPlace(place));
    EXPECT_TRUE(g_VacuumCheckOk);
    ASSERT_EQ(machine().Placements().size(), 1u);
    const DispenseStrokeArgs dot{10, -1500, 5, 50, 6, -1234, 5678, 300, 400, 500};
    ExpectSent(DispenseStroke(dot), 0x58, SerialDispense(dot), UdpDispense(dot));
    EXPECT_EQ(TakePositionSnapshot(), PositionSnapshot{});
}

TEST_P(Commands, MovesAreSentAnsweredAndBooked) {
    for (const SingleAxisMove& m : {SingleAxisMove{0, 1000, {10, 20}}, SingleAxisMove{1, -2000, {10, 20}}})
        ExpectSent(MoveSingleAxis(m), 0x61, SerialSingleAxis(m), UdpSingleAxis(m, 0));
    const XYAMove xya{{500, {5, 50}, -700, {6, 60}}, 2, 900, 3, 4, 0x80};
    ExpectSent(MoveXYA(xya), 0x64, SerialXYA(xya, false), UdpXYA(xya, 1000, -2000));
    const XYAMultiMove multi{{-300, {5, 50}, 400, {6, 60}}, {1, 2, 3, 4, 5, 6, 7, 8}, {7, 70}, 0};
    ExpectSent(MoveXYAMulti(multi), 0x65, SerialXYAMulti(multi), UdpXYAMulti(multi, 1500, -2700));
    FlyCameraMove fly{2000, 4, 6, 9, {}};
    ExpectSent(MoveFlyingCamera(fly), 0x63, SerialFlyCamera(fly), UdpFlyCamera(fly, 1200));
    const XYMoveArgs xy{0, 800, {5, 50}, 1, -900, {6, 60}};
    ExpectSent(MoveXY(xy), 0x53, SerialXY(xy), UdpXY(xy, 3200, -2300));
    const FeederFeed feed{0, 3, 4000, 11, 22, 513, 1027, 33, 44, 2055, 55, 66};
    ExpectSent(FeedFeeder(feed), 0x66, SerialFeed(feed), UdpFeed(feed, 0));
    EXPECT_EQ(g_PulseX, 4000);
    EXPECT_EQ(g_PulseY, -3200);
    EXPECT_EQ(g_PulseA[1], 902);
    EXPECT_EQ(g_PulseFeederWalk[2], 4000);
    ExpectCountersAtMachine();
    for (const char* code : {"61", "64", "65", "63", "53", "66"}) {
        EXPECT_TRUE(HookSeen("trace " + std::string(code) + "->Start")) << code;
        EXPECT_TRUE(HookSeen("trace " + std::string(code) + "->end")) << code;
    }
}

TEST_P(Commands, TravelLimitsAreInclusive) {
    SetMoveLimits({5000, -4000, 5000, 4000});
    ASSERT_TRUE(MoveSingleAxis({0, 5000, {10, 20}}));
    ASSERT_TRUE(MoveSingleAxis({1, -4000, {10, 20}}));
    const std::size_t sent = FrameCount();
    hooks.Take();
    EXPECT_FALSE(MoveSingleAxis({0, 1, {10, 20}}));
    EXPECT_FALSE(MoveSingleAxis({1, -1, {10, 20}}));
    EXPECT_FALSE(MoveXYA({{1, {5, 50}, 0, {5, 50}}, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(MoveXY({0, 0, {5, 50}, 1, -1, {5, 50}}));
    EXPECT_FALSE(MoveFlyingCamera({1, 1, 0, 0, {}}));
    EXPECT_EQ(boxes.Texts(), (Texts{"X Pos Error !", "Y Pos Error !", "X Pos Error !", "Y Pos Error !", "X Pos Error !"}));
    EXPECT_EQ(FrameCount(), sent);
    EXPECT_TRUE(Traces().empty());
    // Back to 0 is inside; one pulse beyond is not.
    ASSERT_TRUE(MoveXYA({{-5000, {5, 50}, 4000, {5, 50}}, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(MoveSingleAxis({0, -1, {10, 20}}));
    EXPECT_FALSE(MoveSingleAxis({1, 1, {10, 20}}));
    // Other drives are not checked.
    ASSERT_TRUE(MoveSingleAxis({8, -900000, {10, 20}}));
    EXPECT_EQ(g_PulseX, 0);
    EXPECT_EQ(g_PulseY, 0);
    ExpectCountersAtMachine();
}

TEST_P(Commands, SpeedCodesOptimisedAndCappedOnTheWire) {
    SpeedTemplateSettings s = TheSpeedTemplates().Settings();
    s.m_bOptimizeFarSpeed = 1; s.m_AccelSpeed = 50; s.m_bMaxSpeedLimit = 1; s.m_MaxSpeedLimitValue = 150;
    TheSpeedTemplates().SetSettings(s);
    SetMoveLimits({400000, -300000, 400000, 300000});
    // X over the full range: start 10 - 90 x 50 / 100 = -35 -> 1; the runs capped together.
    const XYAMove sent{{400000, {10, 100}, 0, {20, 200}}, 1, 0, 0, 0, 0};
    TheVersionSwitches().m_V2_04 = 1;
    XYAMove expected = sent;
    expected.xy.xSpeed = {1, 150}; expected.xy.ySpeed = {20, 150};
    ExpectSent(MoveXYA(sent), 0x64, SerialXYA(expected, true), UdpXYA(expected, 0, 0));
    // A feeder walk: start as given, run capped.
    const SingleAxisMove capped{8, 400000, {10, 150}};
    ExpectSent(MoveSingleAxis({8, 400000, {10, 200}}), 0x61, SerialSingleAxis(capped), UdpSingleAxis(capped, 0));
}

TEST_P(Commands, SixteenBitFieldsRefuseWhatTheyCannotCarry) {
    const XYAMove far{{40000, {5, 50}, -100, {5, 50}}, 1, 0, 0, 0, 0};
    const std::size_t before = FrameCount();
    if (serial()) {
        EXPECT_FALSE(MoveXYA(far));
        EXPECT_EQ(boxes.Texts(), (Texts{"Pulse > 32767"}));
        EXPECT_EQ(g_PulseX, 0);
        EXPECT_FALSE(MoveXYA({{0, {5, 50}, 0, {5, 50}}, 1, 40000, 0, 0, 0}));
        XYAMultiMove multi{};
        multi.dA[2] = -33000;
        EXPECT_FALSE(MoveXYAMulti(multi));
        EXPECT_FALSE(MoveXYWithRotation({0, {5, 50}, 1, 0, {5, 50}, 10, 40000, 0, 0}));
        EXPECT_EQ(FrameCount(), before);
        EXPECT_TRUE(Traces().empty());
        // The 32-bit form of the firmware carries it.
        TheVersionSwitches().m_V2_04 = 1;
    }
    ASSERT_TRUE(MoveXYA(far));
    EXPECT_EQ(machine().Frames().back().data.size(), serial() ? 18u : 38u);
    EXPECT_EQ(g_PulseX, 40000);
    ExpectCountersAtMachine();
    // The multi-axis move keeps its own limit of 65535.
    boxes.Clear();
    EXPECT_FALSE(MoveXYAMulti({{65536, {5, 50}, 0, {5, 50}}, {}, {5, 50}, 0}));
    EXPECT_EQ(boxes.Texts(), (Texts{"Pulse > 65535"}));
}

TEST_P(Commands, HeadsNotHomedRefuseBeforeSendingAndAnErrorReportUnhomesThem) {
    g_HeadResetOk = false;
    const std::size_t before = FrameCount();
    EXPECT_FALSE(MoveXYA({{100, {5, 50}, 0, {5, 50}}, 1, 0, 0, 0, 0x80}));
    EXPECT_FALSE(MoveXYAMulti({{100, {5, 50}, 0, {5, 50}}, {}, {5, 50}, 0}));
    EXPECT_FALSE(MoveXY({0, 100, {5, 50}, 1, 0, {5, 50}}));
    EXPECT_EQ(boxes.Texts(), (Texts{"Error E3 !", "Error E3 !", "Error E3 !"}));
    EXPECT_EQ(FrameCount(), before);
    // 0x64 has already traced its start.
    EXPECT_EQ(Traces(), (Texts{"64->Start"}));
    EXPECT_EQ(TakePositionSnapshot(), PositionSnapshot{});
    // An error report in place of the reply releases the move without booking it.
    g_HeadResetOk = true;
    sim->faults().ErrorNext(0xE3);
    EXPECT_FALSE(MoveXYA({{1000, {5, 50}, -1000, {5, 50}}, 1, 100, 0, 0, 0x80}));
    EXPECT_FALSE(g_HeadResetOk);
    EXPECT_EQ(TakePositionSnapshot(), PositionSnapshot{});
    // Every later move refuses until the heads are homed again.
    EXPECT_FALSE(MoveXY({0, 100, {5, 50}, 1, 0, {5, 50}}));
}

TEST_P(Commands, StaleReplyEventDoesNotReleaseTheNextCommand) {
    SetWaitLimitOverride(WaitKind::Move, plat::Millis(300));
    g_ReplyEvents[ReplyFamily::SingleAxis].Set();
    g_ReplyEvents[ReplyFamily::MoveXYA].Set();
    sim->faults().SilenceNext(2);
    EXPECT_FALSE(MoveSingleAxis({0, 1000, {10, 20}}));
    EXPECT_FALSE(MoveXYA({{1000, {5, 50}, 0, {5, 50}}, 1, 0, 0, 0, 0}));
    EXPECT_EQ(TakePositionSnapshot(), PositionSnapshot{});
    const Texts traces = Traces();
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "61->end"), 0);
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "64->end"), 0);
    EXPECT_FALSE(g_Connected);
}

TEST_P(Commands, FailedSendEndsTheCommandAtOnce) {
    // No limit override: a command that waited for its reply would hang here.
    if (serial()) GetSerialLink().Close();
    else {
        StopUdpReplyThread();
        GetMachineLink().Close();
    }
    g_Connected = true;
    EXPECT_FALSE(MoveSingleAxis({0, 1000, {10, 20}}));
    EXPECT_FALSE(g_Connected);
    EXPECT_EQ(Traces(), (Texts{"61->Start"}));
    EXPECT_EQ(boxes.Texts(), (Texts{SendFailedText("61->单轴运动")}));
    EXPECT_EQ(g_PulseX, 0);
    EXPECT_FALSE(SetOutput({1, 0, 5}));
    // A homing that never went out leaves the panel enabled.
    hooks.Take();
    EXPECT_FALSE(SendHomeAxes({}));
    EXPECT_EQ(hooks.Take(), (Texts{"disable", "enable"}));
}

TEST_P(Commands, ConcurrentSendersNeverInterleave) {
    constexpr int kRounds = 25;
    const std::function<void(int)> senders[] = {
        [](int) { MoveSingleAxis({8, 10, {10, 20}}); }, [](int) { FeedFeeder({0, 2, 7, 1, 2, 3, 4, 5, 6, 7, 8, 9}); },
        [](int) { PickStroke({3, 100, {8, 80}, 1, 100, 0}); },
        [](int i) { SetOutput({5, static_cast<std::uint8_t>(i & 1), 5}); },
        [](int) { DispenseStroke({10, -100, 5, 50, 6, 1, 2, 3, 4, 5}); }};
    std::vector<std::thread> threads;
    for (const auto& send : senders)
        threads.emplace_back([&send] {
            for (int i = 0; i < kRounds; ++i) send(i);
        });
    for (auto& t : threads) t.join();
    ASSERT_TRUE(ReadVacuum(1));  // the last outputs are recorded by now
    const auto frames = machine().Frames();
    for (const auto& f : frames) EXPECT_TRUE(f.accepted) << f.reason;
    EXPECT_EQ(frames.size(), 5u * kRounds + 1);
    EXPECT_EQ(g_PulseFeederWalk[0], 10 * kRounds);
    EXPECT_EQ(g_PulseFeederWalk[1], 7 * kRounds);
    ExpectCountersAtMachine();
    EXPECT_TRUE(boxes.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(BothLinks, Commands, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

// ---- what the panel shows and gives ----

namespace {

class Panel : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void Start(int machineType = 0) {
        StartMachine(serial(), machineType);
        g_PanelLink.zCheckMask = machineType == 7 ? 0xFF : 3;
        auto& port = TheCommandPanel();
        port.setNozzleCheck = [this](int n, bool on) { hooks.add("box " + std::to_string(n) + (on ? " on" : " off")); };
        port.showPosition = [this](PositionField f, const std::string& t) {
            hooks.add("field " + std::to_string(static_cast<int>(f)) + " " + t);
        };
        port.setCurrentCamera = [this](int c) { hooks.add("camera " + std::to_string(c)); };
        port.setSelectedTable = [this](int t) { hooks.add("table " + std::to_string(t)); };
        port.showCommandCounter = [this](std::int32_t n) { hooks.add("commands " + std::to_string(n)); };
    }
    bool serial() const { return GetParam() == Wire::Serial; }
    std::vector<std::string> Shown(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& c : hooks.Calls())
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }
};

}  // namespace

TEST_P(Panel, VacuumBoxesFollowTheLoweredNozzle) {
    Start();
    ASSERT_TRUE(PickStroke({2, 3000, {8, 80}, 1, 100, 0}));
    ASSERT_TRUE(PickStroke({2, -3000, {8, 80}, 1, 100, 0}));
    ASSERT_TRUE(PlaceStroke({3, 3000, {8, 80}, 0, 200, 0, 5}));
    ASSERT_TRUE(PlaceStroke({8, -3000, {8, 80}, 0, 200, 0, 5}));
    const std::vector<std::string> boxesShown{"box 1 on", "box 2 on", "box 3 off", "box 4 off"};
    EXPECT_EQ(Shown("box"), serial() ? boxesShown : std::vector<std::string>{}) << "no boxes over Ethernet";
    // The Z field shows the stroke's depth (pulses: no Z factor set).
    EXPECT_EQ(Shown("field 3").front(), "field 3 3000");
    // The sim lowered the same nozzles.
    ASSERT_EQ(machine().Picks().size(), 2u);
    EXPECT_EQ(machine().Picks()[0].nozzle, 1);
    EXPECT_EQ(machine().Picks()[1].nozzle, 2);
}

TEST_P(Panel, SuctionOffsetLowersTheThresholdWithinZeroToHundred) {
    Start();
    BasicSettings& b = TheBasicSettings();
    b.m_SuctionNozzleValue1 = 40;
    b.m_SuctionNozzleValue2 = 5;
    b.m_SuctionNozzleValue4 = 10;
    struct { const char* what; int offset, axis, pulses, threshold, sent; } const cases[] = {
        {"nozzle 1: 30 - 40 < 0", 1, 2, 3000, 30, 0},  {"nozzle 2", 1, 2, -3000, 30, 25},
        {"nozzle 4", 1, 3, -3000, 30, 20},             {"no nozzle: as given", 1, 8, -3000, 30, 30},
        {"no offset, above 100", 0, 2, 3000, 130, 0},  {"no offset, 100", 0, 2, 3000, 100, 100},
    };
    for (const auto& c : cases) {
        b.m_SuctionNozzleOffset = c.offset;
        ASSERT_TRUE(PlaceStroke({static_cast<std::uint8_t>(c.axis), c.pulses, {8, 80}, 0, 200, c.threshold, 5}));
        EXPECT_EQ(machine().Frames().back().data.back(), c.sent) << c.what;
    }
}

TEST_P(Panel, CameraSelectionAndTheDoubleTable) {
    Start(4);
    ASSERT_TRUE(SelectCamera(1, 0, 0));
    EXPECT_EQ(g_CameraChanged, 1);
    ASSERT_TRUE(SelectCamera(1, 0, 0));
    EXPECT_EQ(g_CameraChanged, 0);
    ASSERT_TRUE(SelectCamera(2, 1, 0));
    EXPECT_EQ(g_CameraChanged, 1);
    ASSERT_TRUE(ReadVacuum(1));
    // Camera 1 of the double table is the host's only: only camera 2 went out.
    const auto frames = machine().Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].code, 0x04);
    EXPECT_EQ(HexOf(frames[0].data), "02 01");
    EXPECT_EQ(Shown("camera"), (std::vector<std::string>{"camera 0", "camera 0", "camera 1"}));
    EXPECT_EQ(Shown("table"), (std::vector<std::string>{"table 0", "table 0", "table 1"}));
}

// Per machine type the 3-4 rocker is pinned by the homing flows; here the cap on both links.
TEST_P(Panel, HomingSpeedsCappedAndNoThirdRockerOnTypeZero) {
    Start();
    SpeedTemplateSettings s = TheSpeedTemplates().Settings();
    s.m_bMaxSpeedLimit = 1;
    s.m_MaxSpeedLimitValue = 150;
    TheSpeedTemplates().SetSettings(s);
    const HomeAxesSpeeds speeds{{10, 200}, {11, 100}, {12, 30}, {13, 31}, {14, 40}, {15, 41}, {16, 42}};
    SendHomeAxes(speeds);
    ASSERT_TRUE(ReadVacuum(1));
    HomeAxesSpeeds expected = speeds;
    expected.x.run = expected.y.run = 150;
    expected.z34 = {};
    EXPECT_EQ(HexOf(machine().Frames().front().data), HexOf(serial() ? SerialHomeAxes(expected) : UdpHomeAxes(expected)));
    EXPECT_TRUE(Traces().empty());
}

// The limit bytes are pinned by the connect flows; over Ethernet no limit is sent
// (the board configuration writes limits), and only the limit counts.
TEST_P(Panel, AxisLimitGoesOnlyOverSerial) {
    Start();
    SendAxisLimit(0, 400000);
    ASSERT_TRUE(ReadVacuum(1));
    EXPECT_EQ(FrameCount(), serial() ? 2u : 1u);
    EXPECT_EQ(Shown("commands"), serial() ? std::vector<std::string>{"commands 1"} : std::vector<std::string>{});
    EXPECT_TRUE(Traces().empty());
}

INSTANTIATE_TEST_SUITE_P(BothLinks, Panel, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

// ---- the combined and single-link commands ----

namespace {

std::string Field(PositionField f, const std::string& text) {
    return "field " + std::to_string(static_cast<int>(f)) + " " + text;
}

class Combined : public SimTest {
protected:
    void Start(bool serial, int machineType, std::uint8_t zMask = 3) {
        StartMachine(serial, machineType);
        g_PanelLink.zCheckMask = zMask;
        TheCommandPanel().showPosition = [this](PositionField f, const std::string& text) { hooks.add(Field(f, text)); };
    }
    // The command went through and the machine took `data`.
    void ExpectTook(bool ok, const ByteVector& data) {
        EXPECT_TRUE(ok);
        EXPECT_EQ(LastData(), HexOf(data));
    }
};

}  // namespace

TEST_F(Combined, DoubleTableHomingIsSerialAndCapsAllFourRuns) {
    Start(true, 4);
    SpeedTemplateSettings s = TheSpeedTemplates().Settings();
    s.m_bMaxSpeedLimit = 1; s.m_MaxSpeedLimitValue = 150;
    TheSpeedTemplates().SetSettings(s);
    ASSERT_TRUE(SendHomeAxesModel4({10, 200, 11, 100, 12, 13, 120, 110, 14, 40, 0, 0, 15, 41}));
    ASSERT_TRUE(ReadVacuum(1));  // the homing is not waited for; this one follows it
    const auto frames = machine().Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].code, 0x52);
    EXPECT_EQ(HexOf(frames[0].data), "0A 96 0B 96 0C 0D 96 96 0E 28 00 00 0F 29");
    EXPECT_TRUE(HookSeen("disable"));
}

TEST_F(Combined, SerialOnlyCommandsAndUnhomedHeadsRefusedOnEthernet) {
    Start(false, 4);
    g_PulseX = 100;
    EXPECT_FALSE(SendHomeAxesModel4({10, 200, 11, 100, 12, 13, 120, 110, 14, 40, 0, 0, 15, 41}));
    EXPECT_FALSE(HookSeen("disable"));  // the panel stays usable
    EXPECT_FALSE(MoveXYWithRotation({1000, {5, 50}, 1, -1000, {5, 50}, 10, 30, 1, 2}));
    EXPECT_EQ(boxes.Texts(), (Texts{"通讯未完成 ！", "通讯未完成 ！"}));
    EXPECT_EQ(FrameCount(), 0u);
    PositionSnapshot expected;
    expected.x = 100;
    EXPECT_EQ(TakePositionSnapshot(), expected);
    // Heads not homed refuse every combined move.
    boxes.Clear();
    g_HeadResetOk = false;
    EXPECT_FALSE(MoveAndFly({}));
    EXPECT_FALSE(MoveAndPick74({}));
    EXPECT_FALSE(MoveAndPick75({}));
    EXPECT_FALSE(MoveAndPlace77({}));
    EXPECT_FALSE(MoveAndPlace78({}));
    EXPECT_EQ(boxes.Texts(), Texts(5, "Error E3 !"));
    EXPECT_EQ(FrameCount(), 0u);
    EXPECT_TRUE(Traces().empty());
}

TEST_F(Combined, EthernetOnlyCommandsRefusedOnSerialDispensingNeedsNoHomedHeads) {
    Start(true, 0);
    EXPECT_FALSE(SendCurrentXY());
    EXPECT_FALSE(SendResetHeads({}));
    EXPECT_FALSE(MoveAndFly({}));
    EXPECT_FALSE(MoveAndPick74({}));
    EXPECT_FALSE(MoveAndPick75({}));
    EXPECT_FALSE(MoveAndPlace77({}));
    EXPECT_FALSE(MoveAndPlace78({}));
    EXPECT_EQ(boxes.Count(), 7u);
    EXPECT_EQ(FrameCount(), 0u);
    EXPECT_TRUE(g_Connected);

    g_HeadResetOk = false;
    ASSERT_TRUE(DispenseStroke({10, -1500, 5, 50, 6, 1, 2, 3, 4, 5}));
    ASSERT_TRUE(MeasureHeight({-100, 1, 2}));
    EXPECT_EQ(machine().Dispensed().size(), 1u);
    EXPECT_EQ(Traces(), (Texts{"58->Start", "58->end", "71->start", "71->end"}));
}

TEST_F(Combined, XYWithRotationOnTheSerialLink) {
    Start(true, 4);
    SetMoveLimits({5000, -5000, 5000, 5000});
    const XYRotationMove m{5000, {5, 50}, 12, -9000, {6, 60}, 10, -300, 3, 4};
    ExpectTook(MoveXYWithRotation(m), SerialXYRotation(m));
    EXPECT_EQ(g_PulseX, 5000);
    EXPECT_EQ(g_PulseY2, -9000);  // Y2 is not bound by the Y limit
    EXPECT_EQ(g_PulseY, 0);
    EXPECT_EQ(g_PanelLink.commandCounter, 1);
    EXPECT_FALSE(MoveXYWithRotation({1, {5, 50}, 1, 0, {5, 50}, 10, 0, 0, 0}));
    EXPECT_EQ(boxes.Texts(), (Texts{"X Pos Error !"}));
    ExpectCountersAtMachine();
    EXPECT_TRUE(Traces().empty());
}

TEST_F(Combined, SecondTableXYOnBothLinks) {
    for (bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial" : "Ethernet");
        Start(serial, 4);
        SetMoveLimits({1000, -1000, 1000, 1000});
        // X2 is tested at the current X: a move beyond the X limit on X2 goes.
        const XYMoveArgs m{9, 1200, {5, 50}, 12, -800, {6, 60}};
        ExpectTook(MoveXY(m), serial ? SerialXY(m) : UdpXY(m, 0, 0));
        EXPECT_EQ(g_PulseX2, 1200);
        EXPECT_EQ(g_PulseY2, -800);
        EXPECT_EQ(g_PulseX, 0);
        EXPECT_TRUE(HookSeen(Field(PositionField::X, "0")));  // the X field still shows X
        ExpectCountersAtMachine();
        TearDown();
        SetUp();
    }
}

TEST_F(Combined, CountersSentAndMoveAndFlyBooksTheEndPointAndWaitsForTheFrames) {
    Start(false, 0);
    g_PulseX = 4321; g_PulseY = -1234;
    ASSERT_TRUE(SendCurrentXY());
    EXPECT_EQ(machine().HostCounters(), std::make_pair(4321, -1234));
    EXPECT_EQ(Traces(), (Texts{"70->start", "70->end"}));
    ClearPositionCounters();
    hooks.Take();
    plat::Event frames(false, false);
    std::atomic<bool> done{false};
    TheCommandPanel().flyFrameEvent = [&] { return &frames; };
    std::thread camera([&] {
        while (!done) {
            frames.Set();
            plat::SleepFor(plat::Millis(5));
        }
    });
    MoveAndFlyPayload p;
    p.dX1 = 10000; p.dY1 = -5000; p.dX2 = 20000; p.dX3 = -3000; p.dY3 = 1000; p.frames = 4;
    p.dA = {100, 200, 300, 400, 500, 600, 700, 3700};
    const bool moved = MoveAndFly(p);
    done = true;
    camera.join();
    ExpectTook(moved, UdpMoveAndFly(p, 0, 0));
    EXPECT_EQ(g_PulseX, 27000);
    EXPECT_EQ(g_PulseY, -4000);
    EXPECT_EQ(g_PulseA[7], 100);  // 3700 folded by 3600
    EXPECT_EQ(Traces(), (Texts{"73->移动飞行", "73->end"}));
    ExpectCountersAtMachine();
    // Every leg is checked: the fly-over beyond the X limit is refused.
    SetMoveLimits({30000, -300000, 30000, 300000});
    MoveAndFlyPayload far;
    far.dX2 = 5000; far.dX3 = -5000;
    EXPECT_FALSE(MoveAndFly(far));
    EXPECT_EQ(boxes.Texts(), (Texts{"X Pos Error !"}));
    EXPECT_EQ(g_PulseX, 27000);
}

TEST_F(Combined, MoveAndPickAndPlaceBookXYAndRotations) {
    Start(false, 0);
    MoveAndPick74Payload pick;
    pick.nozzleMask = 0x3; pick.dX = 15000; pick.dY = -12000; pick.dA = {900, -900, 0, 0, 0, 0, 0, 0};
    ExpectTook(MoveAndPick74(pick), UdpMoveAndPick74(pick));
    EXPECT_TRUE(machine().Holding(1));
    EXPECT_TRUE(machine().Holding(2));
    MoveAndPlace77Payload place;
    place.dX = -5000; place.dY = 2000; place.dA = {-900, 900, 0, 0, 0, 0, 0, 0};
    g_VacuumCheckOk = false;
    ExpectTook(MoveAndPlace77(place), UdpMoveAndPlace77(place));
    EXPECT_TRUE(g_VacuumCheckOk);
    const PositionSnapshot s = TakePositionSnapshot();
    EXPECT_EQ(std::tuple(s.x, s.y, s.a[0], s.a[1]), std::tuple(10000, -10000, 0, 0));
    ExpectCountersAtMachine();
    EXPECT_EQ(Traces(), (Texts{"74->移动取料", "74->end", "77->移动放置", "77->end"}));

    SetMoveLimits({10000, -10000, 10000, 10000});
    MoveAndPick74Payload beyondY;
    beyondY.dY = -1;
    EXPECT_FALSE(MoveAndPick74(beyondY));
    MoveAndPlace77Payload beyondX;
    beyondX.dX = 1;
    EXPECT_FALSE(MoveAndPlace77(beyondX));
    EXPECT_EQ(boxes.Texts(), (Texts{"Y Pos Error !", "X Pos Error !"}));
}

TEST_F(Combined, EightHeadFormsBookNothing) {
    Start(false, 7, 0xFF);
    MoveAndPick75Payload pick;
    ExpectTook(MoveAndPick75(pick), UdpMoveAndPick75(pick));
    for (int n = 1; n <= 8; ++n) EXPECT_TRUE(machine().Holding(n)) << n;
    MoveAndPlace78Payload place;
    place.w118 = 70000;
    ExpectTook(MoveAndPlace78(place), *UdpMoveAndPlace78(place));
    EXPECT_EQ(machine().Placements().size(), 8u);
    EXPECT_EQ(TakePositionSnapshot(), PositionSnapshot{});
    // A field at 118 beyond its three bytes is refused, not cut.
    place.w118 = 1 << 23;
    EXPECT_FALSE(MoveAndPlace78(place));
    EXPECT_EQ(boxes.Texts(), (Texts{"Pulse > 8388607"}));
    EXPECT_EQ(FrameCount(), 2u);
}

