// The combined and single-link commands against the simulated machine: the second
// table, the one-link commands, the run's payloads, and what refusals leave untouched.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "link/combined_commands.h"
#include "sim_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

using Texts = std::vector<std::string>;

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

