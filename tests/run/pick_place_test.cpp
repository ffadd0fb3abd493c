// The pick and place steps' arithmetic: where nozzle k places a row (marks off,
// marks on with and without a board rotation, place corrections, the dispenser
// offset, panel cells, local and via marks), the place stroke's drive, sign and
// 1-pulse floor, and the combined pick and place payloads as the simulator's codec
// reads them back.
#include <gtest/gtest.h>

#include "codec.h"
#include "feeders/mark_library.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"
#include "joblist/smt_strategy.h"
#include "link/command_frames.h"
#include "link/position_counters.h"
#include "run/pick_place.h"
#include "run/run_geometry.h"
#include "run_state/run_events.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"

namespace smt::test {
namespace {

JobRow PartRow(const std::string& x, const std::string& y, const std::string& mark) {
    JobRow r(kPartCells);
    r.cells[0] = "C1", r.cells[1] = x, r.cells[2] = y, r.cells[14] = mark;
    return r;
}

// X 100, Y 80, Z 50 pulses per mm; every offset different per head and axis.
class PickPlaceGeometry : public ::testing::Test {
protected:
    void SetUp() override {
        ThePulseFactors().m_X_Pulse = 100, ThePulseFactors().m_Y_Pulse = 80, ThePulseFactors().m_Z_Pulse = 50;
        BasicSettings& b = TheBasicSettings();
        b.m_Correction_X2 = 0.1, b.m_Correction_Y2 = 0.05, b.m_Correction_X3 = 0.3, b.m_Correction_Y3 = -0.2;
        b.m_X_Nozzle2ToNozzle1 = 30, b.m_Y_Nozzle2ToNozzle1 = -1.25;
        b.m_X_Nozzle3ToNozzle1 = 60, b.m_Y_Nozzle3ToNozzle1 = 2.5;
        b.m_X_DropsGlueToNozzle1 = 15, b.m_Y_DropsGlueToNozzle1 = -5;
        b.m_X_CameraToNozzle1 = 40, b.m_Y_CameraToNozzle1 = -12;
        b.m_Exhaust = 9;
        RunBoardState s;
        s.g_RunOriginX = 100, s.g_RunOriginY = -50;
        s.g_RunMark1X = 5, s.g_RunMark1Y = -3, s.g_RunMark2X = 60, s.g_RunMark2Y = -3;
        ConvertBoardPointsToPulses(s, 100, 80);
        StoreRunBoard(s);
        ThePartList().SetRows(JobList::Part, {PartRow("12.5", "-7.25", ""), PartRow("12.5", "-7.25", "LM1"),
                                              PartRow("12.5", "-7.25", "LM9"), PartRow("12.5", "-7.25", "Via-1")});
        TheMarkLibrary().ParseRows({"LM1\t1.5\t-2.5\t\t\t30\t2.0\t1.0\t20\t0\t80\t100\t3\tYes\t\t\t",
                                    "Via-1\t0.5\t0.5\t\t\t0\t1.0\t0.5\t10\t0\t60\t50\t2\tNo\t\t\t"});
        g_ActiveList = 1;
    }
    void TearDown() override {
        TheBasicSettings() = BasicSettings{};
        ThePulseFactors() = PulseFactors{};
        StoreRunBoard(RunBoardState{});
        ThePartList().Reset();
        TheMarkLibrary().FreeTable();
        TheSmtStrategy().SetConfig({});
        g_Mark1OffsetX = g_Mark1OffsetY = 0;
        g_BoardRotation = 0.0;
        g_ActiveList = 1;
        g_ViaRow = 0;
        g_MachineType = 0;
        g_RunContinue = false;
        ClearPositionCounters();
        for (auto& t : g_RotationTarget) t = 0;
        for (auto& m : g_FeederMasks) m = 0;
        ClearTogetherPlace();
    }
    static void MarksOn(bool on) {
        RunBoardState s = CopyRunBoard();
        s.g_RunMarkEnable = on ? 1 : 0;
        StoreRunBoard(s);
    }
};

TEST_F(PickPlaceGeometry, PlaceTargetsOfEveryCase) {
    // Row (12.5, -7.25) mm on a board at (100, -50): (1250, -580) + (10000, -4000).
    const struct {
        const char* name;
        int head, k, row;
        bool marks, perCell;
        double cellX, cellY, rotation;
        int activeList;
        PulsePoint want;
    } cases[] = {
        {"marks off", 1, 1, 0, false, false, 0, 0, 0, 1, {11250, -4580}},
        {"panel cell", 1, 1, 0, false, false, 20, -10, 0, 1, {13250, -5380}},
        {"panel cell with its own marks", 1, 1, 0, false, true, 20, -10, 0, 1, {11250, -4580}},
        // + head 3's correction (30, -16) - its offset (6000, 200)
        {"head 3", 3, 3, 0, false, false, 0, 0, 0, 1, {5280, -4796}},
        {"head 2 over the placement list", 2, 2, 0, false, false, 0, 0, 0, 1, {8260, -4476}},
        // the dispenser's offset (1500, -400) in place of nozzle 2's
        {"head 2 with the dispensing list", 2, 2, 0, false, false, 0, 0, 0, 2, {9760, -4176}},
        {"replenish record on head 3", 3, 9, 0, false, false, 0, 0, 0, 1, {5280, -4796}},
        // + Mark1's offset (37, -21)
        {"marks on", 1, 1, 0, true, false, 0, 0, 0, 1, {11287, -4601}},
        // (7.5, -4.25) mm from Mark1 turned 30 degrees: (8.6202, 0.0694) mm = (862, 5)
        // from Mark1 at (10500, -4240), + its offset
        {"marks on, turned 30 degrees", 1, 1, 0, true, false, 0, 0, 30, 1, {11399, -4256}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MarksOn(c.marks);
        g_Mark1OffsetX = 37, g_Mark1OffsetY = -21;
        g_BoardRotation = c.rotation;
        g_ActiveList = c.activeList;
        PlacementRecord r;
        r.row = c.row;
        r.head = c.head;
        const PlaceTarget t = ComputePlaceTarget(r, c.k, true, c.perCell, c.cellX, c.cellY);
        EXPECT_EQ(t.target, c.want);
        EXPECT_FALSE(t.localMark);
        EXPECT_EQ(r.localMark, 0);
    }
}

TEST_F(PickPlaceGeometry, LocalMarksFromTheLibraryAndViaRows) {
    const struct {
        int row;
        bool wanted, local, via;
    } cases[] = {
        {1, true, true, false},   // found in the library
        {1, false, false, false}, // not asked for
        {2, true, false, false},  // "LM9" is no library mark
        {3, true, true, true},    // "Via-1"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        PlacementRecord r;
        r.row = c.row;
        r.head = 1;
        const PlaceTarget t = ComputePlaceTarget(r, 1, c.wanted, false, 0, 0);
        EXPECT_EQ(t.localMark, c.local);
        EXPECT_EQ(t.via, c.via);
        EXPECT_EQ(g_ViaRow.load(), c.via ? 1 : 0);
        EXPECT_EQ(t.target, (PulsePoint{11250, -4580}));  // the local mark moves nothing here
    }
    PlacementRecord r;
    r.row = 1;
    const MarkEntry m = ComputePlaceTarget(r, 1, true, false, 0, 0).mark;
    EXPECT_DOUBLE_EQ(m.mark1X, 1.5);
    EXPECT_DOUBLE_EQ(m.mark1Y, -2.5);
    EXPECT_EQ(m.allowOffset, 30);
    EXPECT_EQ(m.brightness, 80);
    EXPECT_EQ(m.repetitions, 3);
    EXPECT_TRUE(m.reverse);
}

TEST_F(PickPlaceGeometry, PlaceStrokeDriveSignAndFloor) {
    const struct {
        int type, head;
        double vacuumOffZ, zOffset;
        std::uint8_t axis;
        std::int32_t depth;
        AxisSpeed speed;
    } cases[] = {
        // -(-12.345 + 0.2) mm x 50 = 607 pulses
        {0, 1, -12.345, 0.2, 2, 607, {11, 111}},
        {0, 2, -12.345, 0.2, 2, -607, {11, 111}},
        {3, 3, -12.345, 0.2, 3, 607, {12, 112}},
        {3, 4, -12.345, 0.2, 3, -607, {12, 112}},
        {7, 5, -12.345, 0.2, 0x24, 607, {11, 111}},
        {7, 8, -12.345, 0.2, 0x27, 607, {11, 111}},
        // a vacuum-off height above the board still sends 1 pulse
        {0, 1, 0.3, 0.0, 2, 1, {11, 111}},
        {0, 2, -0.1, 0.2, 2, -1, {11, 111}},
        {9, 1, -12.345, 0.2, 0, 607, {11, 111}},  // no stroke on the drilling type
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.head));
        g_MachineType = c.type;
        PlacementRecord r;
        r.head = c.head;
        r.vacuumOffZ = c.vacuumOffZ;
        r.vacuum = 42;
        r.placeDelay = 250;
        r.speeds[40] = 11, r.speeds[41] = 111, r.speeds[42] = 12, r.speeds[43] = 112;
        const PlaceStrokeArgs p = BuildPlaceStroke(r, c.zOffset);
        EXPECT_EQ(p.axis, c.axis);
        if (c.axis == 0) continue;
        EXPECT_EQ(p.depth, c.depth);
        EXPECT_EQ(p.w, c.depth < 0 ? -c.depth : c.depth);
        EXPECT_EQ(p.speed, c.speed);
        EXPECT_EQ(p.delay, 250);
        EXPECT_EQ(p.threshold, 42);
    }
}

// Records with pick speeds (20, 120) XY, (21, 121) Z and (22, 122) A, place speeds
// (30, 130), (31, 131), (34, 134).
PlacementRecord Record(int row, int head, double pickX, double pickY) {
    PlacementRecord r;
    r.row = r.jobRow = row;
    r.head = head;
    r.pickX = pickX, r.pickY = pickY;
    r.pickZ = -4.5;
    r.pickDelay = 35 + head;
    r.placeDelay = 200 + head;
    r.vacuum = 40 + head;
    r.placeZ = -10.25;
    r.vacuumOffZ = -9.75;
    const std::pair<int, std::int32_t> s[] = {{0, 20}, {1, 120}, {4, 21}, {5, 121}, {8, 22},  {9, 122},
                                              {36, 30}, {37, 130}, {40, 31}, {41, 131}, {44, 34}, {45, 134}};
    for (auto [at, v] : s) r.speeds[static_cast<std::size_t>(at)] = v;
    return r;
}

NozzleSlot Slot(int feedMode, int bank, int number) {
    NozzleSlot s;
    s.feedMode = feedMode, s.bankCode = bank, s.feederNumber = number;
    s.feedTime = 60 + number, s.feedCount = 2;
    return s;
}

TEST_F(PickPlaceGeometry, PickPayloadsAsTheSimulatorReadsThem) {
    g_PulseX = 1234, g_PulseY = -567;
    for (int n = 0; n < 8; ++n) g_RotationTarget[static_cast<std::size_t>(n)] = 100 * (n + 1) - 350;
    g_FeederMasks[0] = 0x11, g_FeederMasks[1] = 0x2200, g_FeederMasks[2] = 0x330000;
    TheBasicSettings().m_X_Nozzle3ToNozzle1 = 60, TheBasicSettings().m_Y_Nozzle3ToNozzle1 = 2.5;

    // One nozzle (0x74), head 3 at pick (50, -20) mm: (5000 - 6000, -1600 - 200) less the counters.
    const PlacementRecord r3 = Record(4, 3, 50, -20);
    const ByteVector b74 = UdpMoveAndPick74(BuildPick74(r3, Slot(0, 2, 7)));
    ASSERT_EQ(b74.size(), 96u);
    sim::Pick74 p;
    ASSERT_TRUE(sim::ReadPick74(b74, p));
    EXPECT_EQ(p.head, 3);
    EXPECT_EQ(p.feedModeByte, 2);  // IntegrationFeed: the bank
    EXPECT_EQ(p.nozzleMask, 0x4u);
    EXPECT_EQ(p.feedTime, 67);
    EXPECT_EQ(p.feedCount, 2);
    EXPECT_EQ(p.feederNumber, 7);
    EXPECT_EQ(p.feederMasks, (std::array<std::uint32_t, 3>{0x11, 0x2200, 0x330000}));
    EXPECT_EQ(p.currentX, 1234);
    EXPECT_EQ(p.currentY, -567);
    EXPECT_EQ(p.dX, 5000 - 6000 - 1234);
    EXPECT_EQ(p.dY, -1600 - 200 + 567);
    EXPECT_EQ(p.dA[0], -250);
    EXPECT_EQ(p.dA[7], 450);
    EXPECT_EQ(p.depth, 225);  // 4.5 mm x 50, downwards
    EXPECT_EQ(p.delay, 38);
    EXPECT_EQ(p.speeds.xyStart, 20);
    EXPECT_EQ(p.speeds.xyRun, 120);
    EXPECT_EQ(p.speeds.zStart, 21);
    EXPECT_EQ(p.speeds.zRun, 121);
    EXPECT_EQ(p.aStart, 22);
    EXPECT_EQ(p.aRun, 122);
    EXPECT_EQ(p.vacuum, 43);
    // The feed-mode byte of each mode.
    const int bytes[] = {2, 10, 11, 13, 13, 13, 13, 10, 13};
    for (int mode = 0; mode < 9; ++mode) EXPECT_EQ(FeedModeByte(mode, 2), bytes[mode]) << mode;

    // All nozzles (0x75): records 1 (head 1) and 2 (head 3); record 3 has no row and ends the walk.
    std::array<PlacementRecord, 8> records;
    std::array<NozzleSlot, 8> slots;
    records[0] = Record(2, 1, 40, -10);
    records[1] = r3;
    records[3] = Record(9, 4, 70, -10);  // after the gap: not picked
    slots[0] = Slot(1, 1, 40);
    slots[1] = Slot(2, 3, 5);
    const ByteVector b75 = UdpMoveAndPick75(BuildPick75(records, slots));
    ASSERT_EQ(b75.size(), 234u);
    sim::Pick75 q;
    ASSERT_TRUE(sim::ReadPick75(b75, q));
    EXPECT_EQ(q.recordMask, 0xC0u);  // bit 7 the first record, bit 6 the second
    EXPECT_EQ(q.zAxis, (std::array<int, 8>{0x20, 0, 0x22, 0, 0, 0, 0, 0}));
    EXPECT_EQ(q.feedModeByte[0], 10);
    EXPECT_EQ(q.feedModeByte[2], 11);
    EXPECT_EQ(q.feederNumber[0], 40);
    EXPECT_EQ(q.feedTime[2], 65);
    EXPECT_EQ(q.dX[0], 4000 - 1234);
    EXPECT_EQ(q.dY[0], -800 + 567);
    EXPECT_EQ(q.dX[2], 5000 - 6000 - 1234);
    EXPECT_EQ(q.dY[2], -1600 - 200 + 567);
    EXPECT_EQ(q.depth[2], 225);
    EXPECT_EQ(q.delay[0], 36);
    EXPECT_EQ(q.delay[2], 38);
    EXPECT_EQ(q.dA[1], -150);
    EXPECT_EQ(q.feederMasks, (std::array<std::uint32_t, 3>{0x11, 0x2200, 0x330000}));
    EXPECT_EQ(q.speeds.xyRun, 120);
    EXPECT_EQ(q.aRun, 122);
    EXPECT_EQ(q.vacuum, 41);
}

TEST_F(PickPlaceGeometry, PlacePayloadsAsTheSimulatorReadsThem) {
    g_MachineType = 7;
    g_RunContinue = true;
    g_hRunPauseGate.Set();
    g_PulseX = 1000, g_PulseY = -900;
    TheBasicSettings().m_X_Nozzle3ToNozzle1 = 60, TheBasicSettings().m_Y_Nozzle3ToNozzle1 = 2.5;
    for (int n = 0; n < 8; ++n) g_RotationTarget[static_cast<std::size_t>(n)] = 10 * (n + 1);

    // One nozzle (0x77).
    PlacementRecord r = Record(0, 3, 0, 0);
    const ByteVector b77 = UdpMoveAndPlace77(BuildPlace77(r, 321, -654));
    ASSERT_EQ(b77.size(), 86u);
    sim::Place77 p;
    ASSERT_TRUE(sim::ReadPlace77(b77, p));
    EXPECT_EQ(p.currentX, 1000);
    EXPECT_EQ(p.currentY, -900);
    EXPECT_EQ(p.dX, 321);
    EXPECT_EQ(p.dY, -654);
    EXPECT_EQ(p.dA[2], 30);
    EXPECT_EQ(p.zAxis, 0x22);
    EXPECT_EQ(p.depth, 512);           // 10.25 mm
    EXPECT_EQ(p.vacuumOffDepth, 487);  // 9.75 mm
    EXPECT_EQ(p.delay, 203);
    EXPECT_EQ(p.exhaust, 9);
    EXPECT_EQ(p.vacuum, 43);
    EXPECT_EQ(p.speeds.xyStart, 30);
    EXPECT_EQ(p.speeds.zRun, 131);
    EXPECT_EQ(p.aRun, 134);
    r.vacuumOffZ = 0.5;  // above the board: still 1 pulse
    sim::Place77 floor;
    ASSERT_TRUE(sim::ReadPlace77(UdpMoveAndPlace77(BuildPlace77(r, 0, 0)), floor));
    EXPECT_EQ(floor.vacuumOffDepth, 1);

    // All nozzles (0x78): PlacePart stages heads 1 and 3 in together mode.
    SmtStrategyConfig st;
    st.m_TogetherCode = 1;
    TheSmtStrategy().SetConfig(st);
    ClearTogetherPlace();
    PlacementRecord a = Record(0, 1, 0, 0);
    PlacementRecord b = Record(0, 3, 0, 0);
    b.visionKind = 2;
    b.correctionA = 77;
    ASSERT_TRUE(PlacePart(a, 1, false, false, 0, 0));
    ASSERT_TRUE(PlacePart(b, 3, false, false, 0, 0));
    const auto bytes = UdpMoveAndPlace78(TogetherPlacePayload());
    ASSERT_TRUE(bytes.has_value());
    sim::Place78 q;
    ASSERT_TRUE(sim::ReadPlace78(*bytes, q));
    EXPECT_EQ(q.headMask, 0xA0u);  // nozzles 1 and 3
    EXPECT_EQ(q.zAxis, (std::array<int, 8>{0x20, 0, 0x22, 0, 0, 0, 0, 0}));
    EXPECT_EQ(q.currentX, 1000);
    EXPECT_EQ(q.currentY, -900);
    // Row (12.5, -7.25) on the board: (11250, -4580); head 3 + (30, -16) - (6000, 200).
    EXPECT_EQ(q.dX[0], 11250 - 1000);
    EXPECT_EQ(q.dY[0], -4580 + 900);
    EXPECT_EQ(q.dX[2], 5280 - 1000);
    EXPECT_EQ(q.dY[2], -4796 + 900);
    // Flying vision: head 3 turns by -correctionA, the others stay.
    EXPECT_EQ(q.dA, (std::array<std::int32_t, 8>{0, 0, -77, 0, 0, 0, 0, 0}));
    EXPECT_EQ(q.vacuum[0], 41);
    EXPECT_EQ(q.vacuum[2], 43);
    EXPECT_EQ(q.delay[2], 203);
    EXPECT_EQ(q.depth[0], 512);
    EXPECT_EQ(q.vacuumOffDepth[2], 487);
    EXPECT_EQ(q.exhaust, 9);
    EXPECT_EQ(q.word118, 0);
    EXPECT_EQ(q.speeds.xyRun, 130);
    ClearTogetherPlace();
    EXPECT_EQ(TogetherPlacePayload().b0, 0);
}

}  // namespace
}  // namespace smt::test
