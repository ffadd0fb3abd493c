// The program's commands against the simulated world: a part picked and placed over
// the Ethernet link lands where the ledger check expects it, and the world's cameras
// reach the program's camera operations.
#include "link/combined_commands.h"
#include "platform/camera_sdk.h"
#include "world_fixture.h"

namespace smt::test {
namespace {

TEST_F(WorldSimTest, APartPlacedThroughTheLinkIsFoundByTheLedgerCheck) {
    ResetCommandWorld(false);
    StartWorld(0, sim::Scenario::Default(), false, true, true);
    ASSERT_TRUE(GetMachineLink().Open(sim::kBoardAddress, sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
    StartUdpReplyThread(GetMachineLink());
    g_Connected = true;
    ASSERT_TRUE(MoveSingleAxis({0, 5000, {10, 20}}));   // nozzle 1 over feeder 1-1 at (50, -20)
    ASSERT_TRUE(MoveSingleAxis({1, -2000, {10, 20}}));
    ASSERT_TRUE(PickStroke({2, 500, {8, 80}, 1, 100, 0}));
    ASSERT_TRUE(MoveSingleAxis({0, 7000, {10, 20}}));   // to (120, -185): board 0 at (20, 15)
    ASSERT_TRUE(MoveSingleAxis({1, -16500, {10, 20}}));
    ASSERT_TRUE(PlaceStroke({2, 500, {8, 80}, 0, 200, 0, 5}));
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), {{"C1", 0, 0, 20.0, 15.0, 0.0}}, 0.02, 0.1));
    const auto wrong = LedgerMatchesPlacements(world().ledger(), {{"C1", 0, 0, 20.5, 15.0, 0.0}}, 0.02, 0.1);
    EXPECT_FALSE(wrong);
    EXPECT_NE(std::string(wrong.message()).find("\"C1\": 0.5000 mm"), std::string::npos) << wrong.message();
    EXPECT_FALSE(LedgerMatchesPlacements(world().ledger(), {}, 0.02, 0.1));  // an unexpected placement
    // The run check: the row of feeder 1-1 for head 1; the same row for head 2 fails.
    EXPECT_TRUE(RunCheckPasses(world().ledger(), {{0, 0, 0, "C1", 20.0, 15.0, 0.0, 0, 1, 0}}, {0.02, 0.1, 2.0}));
    const auto byHead2 = RunCheckPasses(world().ledger(), {{0, 0, 0, "C1", 20.0, 15.0, 0.0, 0, 2, 0}}, {0.02, 0.1, 2.0});
    EXPECT_FALSE(byHead2);
    EXPECT_NE(std::string(byHead2.message()).find("1 by another nozzle"), std::string::npos) << byHead2.message();

    // The mark camera's frame through the program's camera operations.
    plat::SetCameraBackend(nullptr);
    plat::CameraDevInfo list[3];
    int count = 3;
    ASSERT_EQ(plat::CameraEnumerateDevice(list, &count), 0);
    plat::CameraHandle h = 0;
    ASSERT_EQ(plat::CameraInit(&list[0], -1, -1, &h), 0);
    ASSERT_EQ(plat::CameraPlay(h), 0);
    plat::CameraFrameHead head;
    std::uint8_t* raw = nullptr;
    ASSERT_EQ(plat::CameraGetImageBufferPriority(h, &head, &raw, 1000, 1), 0);
    EXPECT_EQ(head.width, 1280);
    plat::CameraReleaseImageBuffer(h, raw);
    plat::CameraUnInit(h);
}

// The checks the run tests make of dispensing and drilling: each listed point once,
// by its valve and to its depth, the drill back up, nothing else; the fault named.
TEST(LedgerChecks, DispensePointsAndHolesAgainstTheirLists) {
    const auto entry = [](sim::LedgerKind kind, int cell, double x, double y, int valve, double depth) {
        sim::LedgerEntry e;
        e.kind = kind;
        e.board = 0;
        e.cell = cell;
        e.local = {x, y};
        e.valve = valve;
        e.depth = depth;
        return e;
    };
    using K = sim::LedgerKind;
    const std::vector<ExpectedPoint> dispensing{{"D1", 0, 0, 10, 10, 5, 3.0}, {"D2", 0, 1, 20, 10, 6, std::nullopt}};
    const std::vector<ExpectedPoint> drilling{{"H1", 0, 0, 10, 10, 0, std::nullopt}, {"H2", 0, 0, 30, 10, 0, std::nullopt}};
    const struct {
        const char* name;
        std::vector<sim::LedgerEntry> got;
        bool holes;
        const char* failure;  // nullptr: the check passes
    } cases[] = {
        {"as listed", {entry(K::Dispense, 1, 20.01, 10, 6, 4.0), entry(K::Dispense, 0, 10, 10, 5, 3.0)}, false, nullptr},
        {"valve", {entry(K::Dispense, 0, 10, 10, 5, 3.0), entry(K::Dispense, 1, 20, 10, 5, 3.0)}, false,
         "dispense point \"D2\" by another valve"},
        {"depth", {entry(K::Dispense, 0, 10, 10, 5, 2.0), entry(K::Dispense, 1, 20, 10, 6, 3.0)}, false,
         "dispense point \"D1\" to another depth"},
        {"off", {entry(K::Dispense, 0, 10.3, 10, 5, 3.0), entry(K::Dispense, 1, 20, 10, 6, 3.0)}, false,
         "worst dispense point \"D1\": 0.3000 mm"},
        {"twice", {entry(K::Dispense, 0, 10, 10, 5, 3.0), entry(K::Dispense, 0, 10, 10, 5, 3.0),
                   entry(K::Dispense, 1, 20, 10, 6, 3.0)}, false, "unexpected dispense point"},
        {"holes", {entry(K::Hole, 0, 30, 10, 0, 0.0), entry(K::Hole, 0, 10, 10, 0, 0.0)}, true, nullptr},
        {"drill down", {entry(K::Hole, 0, 10, 10, 0, 0.0), entry(K::Hole, 0, 30, 10, 0, 1.6)}, true,
         "hole \"H2\" left with the drill not back up"},
        {"hole missing", {entry(K::Hole, 0, 10, 10, 0, 0.0)}, true, "hole \"H2\" never happened"},
    };
    for (const auto& c : cases) {
        sim::Ledger ledger;
        for (const auto& e : c.got) ledger.Add(e);
        const auto result = c.holes ? LedgerMatchesHoles(ledger, drilling, 0.02)
                                    : LedgerMatchesDispensing(ledger, dispensing, 0.02);
        EXPECT_EQ(static_cast<bool>(result), c.failure == nullptr) << c.name << ": " << result.message();
        if (c.failure) {
            EXPECT_EQ(std::string(result.message()).rfind(c.failure, 0), 0u) << c.name << ": " << result.message();
        }
    }
}

// Type 4 through the program's commands: the X2 carriage over table Y2 and the two
// glue heads' strokes lay their dots where the lamp-table list expects them.
TEST_F(WorldSimTest, GlueDotsOnTableY2LandWhereTheDispensingCheckExpectsThem) {
    ResetCommandWorld(false);
    sim::Scenario s = sim::Scenario::Default();
    s.nozzleOffset[4] = {10.0, 5.0};
    s.nozzleOffset[5] = {20.0, 5.0};
    s.boards[0].origin = {400.0, -200.0};
    s.boards[0].table = 2;
    StartWorld(4, s, false, true, false);
    ASSERT_TRUE(GetMachineLink().Open(sim::kBoardAddress, sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
    StartUdpReplyThread(GetMachineLink());
    g_Connected = true;
    const bool homed = g_HeadResetOk;
    g_HeadResetOk = true;
    const std::uint8_t mask = g_PanelLink.zCheckMask;
    g_PanelLink.zCheckMask = 3;  // both rockers in the middle, as the board reports them
    // Red glue (head code 5) at (20, 15), silver (head code 6, its height negated) at (35, 15).
    ASSERT_TRUE(MoveXY({9, 41000, {10, 20}, 12, -19000, {10, 20}}));
    ASSERT_TRUE(DispenseStroke({10, 300, 10, 20, 5, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(MoveXY({9, 500, {10, 20}, 12, 0, {10, 20}}));
    ASSERT_TRUE(DispenseStroke({10, -300, 10, 20, 6, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(LedgerMatchesDispensing(world().ledger(), {{"red", 0, 0, 20, 15, 5, 3.0}, {"silver", 0, 0, 35, 15, 6, -3.0}},
                                        0.02));
    g_PanelLink.zCheckMask = mask;
    g_HeadResetOk = homed;
}

} // namespace
} // namespace smt::test
