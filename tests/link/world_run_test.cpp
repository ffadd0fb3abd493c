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
    EXPECT_NE(std::string(wrong.message()).find("1 off, 0 missing"), std::string::npos) << wrong.message();
    EXPECT_NE(std::string(wrong.message()).find("   0.5000 "), std::string::npos) << wrong.message();
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
// by its valve and to its depth, the drill back up, nothing else; every offender named
// with its point, where it was meant and where it lies. Dots are given to points by
// the least total distance, so two close dots made crosswise are still told apart.
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
    const std::vector<ExpectedPoint> dispensing{{"D1", 0, 0, 10, 10, 5, 3.0},
                                                {"D2", 0, 1, 20, 10, 6, std::nullopt},
                                                {"D3", 0, 0, 10.15, 10, 5, 3.0}};
    const std::vector<ExpectedPoint> drilling{{"H1", 0, 0, 10, 10, 0, std::nullopt}, {"H2", 0, 0, 30, 10, 0, std::nullopt}};
    const auto d1 = entry(K::Dispense, 0, 10, 10, 5, 3.0), d2 = entry(K::Dispense, 1, 20, 10, 6, 4.0),
               d3 = entry(K::Dispense, 0, 10.15, 10, 5, 3.0);
    sim::LedgerEntry offBoard = entry(K::Dispense, -1, 250, -100, 5, 3.0);
    offBoard.board = -1;
    const struct {
        const char* name;
        std::vector<sim::LedgerEntry> got;
        bool holes;
        std::vector<const char*> findings;  // each in the table; none: the check passes
    } cases[] = {
        {"as listed", {d2, d3, d1}, false, {}},
        // D3's dot 0.09 toward D1 and D1's 0.09 away from D3, D3 first: nearest first
        // would give D1 D3's dot and leave D3 0.24 mm off.
        {"crosswise neighbours", {entry(K::Dispense, 0, 10.06, 10, 5, 3.0), entry(K::Dispense, 0, 9.91, 10, 5, 3.0), d2},
         false,
         {"2 off, 0 missing, 0 twice", "off            0    0 D3                         10.1500   10.0000   10.0600",
          "off            0    0 D1                         10.0000   10.0000    9.9100"}},
        {"valve and depth, both listed",
         {entry(K::Dispense, 0, 10, 10, 5, 2.0), entry(K::Dispense, 1, 20, 10, 5, 3.0), d3}, false,
         {"2 wrong", "wrong          0    0 D1", "2.000/3.000", "depth", "wrong          0    1 D2", "5/6", "valve"}},
        {"every dot off, each listed",
         {entry(K::Dispense, 0, 9.7, 10, 5, 3.0), entry(K::Dispense, 1, 20, 10.3, 6, 3.0), d3}, false,
         {"2 off", "off            0    0 D1", "9.7000", "off            0    1 D2", "10.3000", "0.3000"}},
        {"twice, missing and where no point is", {d2, d2, d3, entry(K::Dispense, 0, 40, 10, 5, 3.0), offBoard}, false,
         {"1 missing", "1 twice", "2 where no point is", "missing        0    0 D1", "twice          0    1 D2",
          "no point       0    0 -", "off-board     -1   -1 -"}},
        {"holes", {entry(K::Hole, 0, 30, 10, 0, 0.0), entry(K::Hole, 0, 10, 10, 0, 0.0)}, true, {}},
        {"drill down", {entry(K::Hole, 0, 10, 10, 0, 0.0), entry(K::Hole, 0, 30, 10, 0, 1.6)}, true,
         {"hole check: failed", "wrong          0    0 H2", "drill down"}},
        {"hole missing", {entry(K::Hole, 0, 10, 10, 0, 0.0)}, true, {"1 missing", "missing        0    0 H2"}},
    };
    for (const auto& c : cases) {
        sim::Ledger ledger;
        for (const auto& e : c.got) ledger.Add(e);
        const auto result = c.holes ? LedgerMatchesHoles(ledger, drilling, 0.02)
                                    : LedgerMatchesDispensing(ledger, dispensing, 0.02);
        EXPECT_EQ(static_cast<bool>(result), c.findings.empty()) << c.name << ": " << result.message();
        for (const char* f : c.findings)
            EXPECT_NE(std::string(result.message()).find(f), std::string::npos) << c.name << ": " << f << "\n"
                                                                                << result.message();
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

// 0x74 and 0x77 check where the move ends against the travel before anything is sent:
// beyond a limit on either side of X or Y the axis's message is shown, the machine
// gets nothing and no counter moves (A neither). Within the travel the same commands
// go out and are booked where the machine stands.
TEST_F(WorldSimTest, MoveAndStrokeBeyondATravelLimitIsRefusedBeforeSending) {
    StartMachine(false, 7);
    const bool homed = g_HeadResetOk;
    const std::uint8_t mask = g_PanelLink.zCheckMask;
    g_HeadResetOk = true;
    g_PanelLink.zCheckMask = 0xFF;  // every nozzle up, as the board reports them
    SetMoveLimits({30000, -20000, 400000, 300000});
    std::array<std::int32_t, 8> dA{};
    for (std::size_t n = 0; n < 8; ++n) dA[n] = 100 * static_cast<std::int32_t>(n + 1);
    MoveAndPlace77Payload place;
    place.dX = 10000, place.dY = -5000, place.dA = dA;
    ASSERT_TRUE(MoveAndPlace77(place));
    MoveAndPick74Payload pick;
    pick.nozzleMask = 1;
    pick.dX = 5000, pick.dY = -2000, pick.dA = dA;
    ASSERT_TRUE(MoveAndPick74(pick)) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]) << sim->Command("log 4");
    ASSERT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    ExpectCountersAtMachine();
    const PositionSnapshot at = TakePositionSnapshot();
    ASSERT_EQ(std::pair(at.x, at.y), std::pair(15000, -7000));
    const struct {
        const char* what;
        std::int32_t dX, dY;
        const char* message;
    } beyond[] = {
        {"X below home", -15001, 0, "X Pos Error !"},
        {"X past its limit", 15001, 0, "X Pos Error !"},
        {"Y above home", 0, 7001, "Y Pos Error !"},
        {"Y past its limit", 0, -13001, "Y Pos Error !"},
        {"both: X first", 15001, 7001, "X Pos Error !"},
    };
    for (const auto& c : beyond)
        for (const std::uint16_t code : {0x74, 0x77}) {
            SCOPED_TRACE(std::string(c.what) + (code == 0x74 ? " 0x74" : " 0x77"));
            boxes.Clear();
            const std::size_t frames = FrameCount();
            bool ok = true;
            if (code == 0x74) {
                pick.dX = c.dX, pick.dY = c.dY;
                ok = MoveAndPick74(pick);
            } else {
                place.dX = c.dX, place.dY = c.dY;
                ok = MoveAndPlace77(place);
            }
            EXPECT_FALSE(ok);
            EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message});
            EXPECT_EQ(FrameCount(), frames);
            EXPECT_TRUE(TakePositionSnapshot() == at);
        }
    // To the limits exactly: taken.
    boxes.Clear();
    place.dX = 15000, place.dY = -13000;
    EXPECT_TRUE(MoveAndPlace77(place));
    pick.dX = -30000, pick.dY = 20000;
    EXPECT_TRUE(MoveAndPick74(pick));
    EXPECT_TRUE(boxes.Texts().empty());
    ExpectCountersAtMachine();
    g_HeadResetOk = homed;
    g_PanelLink.zCheckMask = mask;
}

} // namespace
} // namespace smt::test
