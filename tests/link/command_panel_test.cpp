// What the commands show on and take from the manual control panel: vacuum
// boxes, suction offsets, camera selection, homing speeds and the commands without a reply.
#include <gtest/gtest.h>

#include "link/reply_handlers.h"
#include "sim_fixture.h"

using namespace smt;
using namespace smt::test;

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

// The limit bytes and the handshake are pinned by the connect flows; over Ethernet
// neither is sent (the board configuration writes limits), and only the limit counts.
TEST_P(Panel, HandshakeAndAxisLimitGoOnlyOverSerial) {
    Start();
    SendHandshake();
    SendAxisLimit(0, 400000);
    ASSERT_TRUE(ReadVacuum(1));
    EXPECT_EQ(FrameCount(), serial() ? 3u : 1u);
    EXPECT_EQ(Shown("commands"), serial() ? std::vector<std::string>{"commands 1"} : std::vector<std::string>{});
    EXPECT_TRUE(Traces().empty());
}

INSTANTIATE_TEST_SUITE_P(BothLinks, Panel, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);
