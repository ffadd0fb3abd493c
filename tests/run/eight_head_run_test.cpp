// Whole eight-head runs (type 7, Ethernet: its combined commands exist only there)
// against the simulated world, judged by the world's run check: nine "Yes" rows in
// every cell in use, picked nozzle by nozzle (0x74) or all together (0x75) and
// placed by 0x77 each or one 0x78, four or eight nozzles per cycle.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "placement_run_fixture.h"
#include "joblist/part_list_texts.h"
#include "run/eight_head_run.h"
#include "run/nozzle_vision.h"
#include "run/pick_place.h"
#include "link/busy.h"
#include "link/position_counters.h"

namespace smt::test {
namespace {

struct EightCase {
    int headMode;   // 3: four nozzles a cycle, 6: eight
    bool together;  // m_TogetherCode
    const char* name;
    bool marks = false;  // a shifted and turned board found by its marks
};

class EightHeadRunWorld : public PlacementRunWorld {
protected:
    void SetUp() override {
        PlacementRunWorld::SetUp();
        // Nine rows to place (and one not): eight nozzles take two cycles a cell.
        parts = {{"R1", 5, 4, 0, 1},    {"R2", 12, 6, 90, 2},  {"N1", 20, 20, 0, 1, false},
                 {"R3", 19, 9, 45, 3},  {"R4", 27, 5, -90, 4}, {"R5", 34, 12, 180, 1},
                 {"R6", 8, 18, 30, 2},  {"R7", 16, 26, 0, 3},  {"R8", 25, 22, -45, 4},
                 {"R9", 33, 29, 90, 1}};
    }
    void TearDown() override {
        RunThreadEntry(RunThreadKind::EightHead) = nullptr;
        PlacementRunWorld::TearDown();
    }

    void Eight(int headMode, bool together, bool vision = false, bool marks = false, bool autoNozzle = false) {
        const RunSetup r{7, headMode, autoNozzle, vision, marks, false};
        Machine(r);
        if (HasFatalFailure()) return;
        SmtStrategyConfig c = TheSmtStrategy().Config();
        c.m_TogetherCode = together ? 1 : 0;
        TheSmtStrategy().SetConfig(c);
        RunThreadEntry(RunThreadKind::EightHead) = [] { EightHeadRunThread(); };
        g_PanelLink.zCheckMask = 0xFF;
        // Nozzle 8 stands 280 mm behind nozzle 1: X travels to 600 mm.
        TheBasicSettings().m_X_Limit = 600;
        SetMoveLimits({ToPulses(600, scenario.pulsesX), ToPulses(-300, scenario.pulsesY), 400000, 300000});
        // Each cycle fills nozzles 1, 2, ... with the next rows of the cell.
        const int slots = headMode >= 6 ? 8 : headMode >= 3 ? 4 : headMode >= 1 ? 2 : 1;
        std::map<int, int> yesIndex;  // per cell
        for (auto& t : expected) {
            t.head = yesIndex[t.cell]++ % slots + 1;
            if (autoNozzle) t.nozzle = t.head;  // head k takes the k-th nozzle of the kind
        }
    }

    std::map<int, int> FrameCounts() {
        std::map<int, int> n;
        for (const auto& f : machine().Frames())
            if (f.accepted) ++n[static_cast<int>(f.code)];
        return n;
    }
};

class EightHeadWholeBoard : public EightHeadRunWorld, public ::testing::WithParamInterface<EightCase> {};

TEST_P(EightHeadWholeBoard, PlacesEveryRowOfEveryCellInUse) {
    const EightCase& p = GetParam();
    Eight(p.headMode, p.together, false, p.marks);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd(std::chrono::seconds(240))) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check);
    std::printf("%s\n", check.message());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(g_Homed.load());
    // No part picked beyond the rows (a record left from an earlier cycle picks
    // one that no place ever puts down).
    EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Pick).size(), 27u);
    // Three cells of nine rows: with eight nozzles 8 + 1 a cell, with four 4 + 4 + 1.
    const int cycles = 3 * (p.headMode == 6 ? 2 : 3);
    const auto n = FrameCounts();
    const auto count = [&](int code) { return n.count(code) ? n.at(code) : 0; };
    // The commands' nozzle fields, cycle by cycle: each cell's nine rows go to
    // nozzles 1, 2, ... in turn.
    const int slots = p.headMode == 6 ? 8 : 4;
    std::vector<int> heads;  // of every row in placing order
    for (int cell = 0; cell < 3; ++cell)
        for (int i = 0; i < 9; ++i) heads.push_back(i % slots + 1);
    std::vector<std::vector<std::uint8_t>> picks74, places77, picks75, places78;
    for (const auto& f : machine().Frames()) {
        if (!f.accepted) continue;
        if (f.code == 0x74) picks74.push_back(f.data);
        if (f.code == 0x77) places77.push_back(f.data);
        if (f.code == 0x75) picks75.push_back(f.data);
        if (f.code == 0x78) places78.push_back(f.data);
    }
    const auto i32 = [](const std::vector<std::uint8_t>& d, std::size_t at) {
        return static_cast<std::int32_t>(d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<std::uint32_t>(d[at + 3]) << 24);
    };
    if (!p.together) {
        ASSERT_EQ(picks74.size(), heads.size());
        ASSERT_EQ(places77.size(), heads.size());
        for (std::size_t i = 0; i < heads.size(); ++i) {
            const int h = heads[i];
            EXPECT_EQ(picks74[i][0], h) << i;
            // Only the picking nozzle's bit: the others stay unpicked.
            EXPECT_EQ(i32(picks74[i], 2), 1 << (h - 1)) << i;
            EXPECT_EQ(places77[i][65], 0x20 + h - 1) << i;
        }
    } else {
        // Per cycle: the Z codes of the nozzles that work, the mask from bit 7 down.
        std::size_t at = 0;
        ASSERT_EQ(picks75.size(), places78.size());
        for (std::size_t c = 0; c < picks75.size(); ++c) {
            int n = 0;
            while (at + n < heads.size() && (n == 0 || heads[at + n] != 1)) ++n;
            for (int k = 0; k < 8; ++k) {
                const int z = k < n ? 0x20 + k : 0;
                EXPECT_EQ(picks75[c][170 + k], z) << "cycle " << c << " nozzle " << k + 1;
                EXPECT_EQ(places78[c][121 + k], z) << "cycle " << c << " nozzle " << k + 1;
            }
            EXPECT_EQ(i32(picks75[c], 121), static_cast<std::int32_t>((0xFF00u >> n) & 0xFF)) << c;
            at += static_cast<std::size_t>(n);
        }
        // Every batch pick turns each nozzle back to 0 from where the earlier
        // batches left it (A in tenths of a degree, folded by whole turns).
        std::array<std::int64_t, 8> a{};
        for (std::size_t c = 0; c < picks75.size(); ++c) {
            for (int k = 0; k < 8; ++k) {
                const std::int64_t back = i32(picks75[c], 130 + 4 * k);
                EXPECT_EQ((a[k] + back) % 3600, 0) << "cycle " << c << " nozzle " << k + 1;
                a[k] += back + i32(places78[c], 82 + 4 * k);
            }
        }
    }
    if (p.together) {
        EXPECT_EQ(count(0x75), cycles);
        EXPECT_EQ(count(0x78), cycles);
        EXPECT_EQ(count(0x74), 0);
        EXPECT_EQ(count(0x77), 0);
    } else {
        EXPECT_EQ(count(0x74), 27);
        EXPECT_EQ(count(0x77), 27);
        EXPECT_EQ(count(0x75), 0);
        EXPECT_EQ(count(0x78), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(HeadCountsAndPickModes, EightHeadWholeBoard,
                         ::testing::Values(EightCase{6, false, "EightPerNozzle"}, EightCase{6, true, "EightTogether"},
                                           EightCase{3, false, "FourPerNozzle"}, EightCase{3, true, "FourTogether"},
                                           EightCase{6, true, "EightTogetherOnAMarkedBoard", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EightHeadRunWorld, TheEndsHomingKeepsTheMachineBusyUntilItsReply) {
    Eight(3, true);
    if (HasFatalFailure()) return;
    sim->faults().HoldNext(0x72, 20'000);
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0; }, std::chrono::seconds(120)));
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held().has_value(); }));
    EXPECT_TRUE(g_Running.load());  // the run has ended, its homing has not
    sim->faults().Release();
    EXPECT_TRUE(WaitUntil([] { return !g_Running.load() && !HomingInProgress(); }));
    EXPECT_TRUE(RunCheckPasses());
}

TEST_F(EightHeadRunWorld, RunFromTheCurrentRowPlacesTheFirstCellFromThatRowOn) {
    Eight(6, true);
    if (HasFatalFailure()) return;
    PartListStore& list = ThePartList();
    list.m_RunFromRow[static_cast<int>(JobList::Part)] = 1;
    {
        const auto lock = list.Hold();
        list.m_PartItem = 4;  // R4
    }
    SmtStrategyConfig c = TheSmtStrategy().Config();
    c.m_RunSelect = 1;  // from the row menu: the placement run, not the dispensing one
    TheSmtStrategy().SetConfig(c);
    std::vector<sim::RowTarget> want;
    for (const auto& t : expected)
        if (t.cell == 0 && t.row >= 4) want.push_back(t);
    for (std::size_t i = 0; i < want.size(); ++i) want[i].head = static_cast<int>(i) + 1;
    MeantRows(want);
    ASSERT_TRUE(RunToTheEnd());
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check) << check.message();
    EXPECT_EQ(expected.size(), 6u);
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Dispense).empty());
    EXPECT_EQ(list.m_RunFromRow[static_cast<int>(JobList::Part)].load(), 0);  // cleared by the run's end
}

TEST_F(EightHeadRunWorld, WithTheNozzleChangeEachHeadTakesItsNozzleAndTheEndPutsThemBack) {
    Eight(3, true, false, false, true);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check) << check.message();
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    for (int head = 1; head <= 8; ++head) EXPECT_EQ(machine().HeadNozzle(head), 0) << "head " << head;
}

TEST_F(EightHeadRunWorld, AListWithNothingToPlaceWalksEveryCellAndEndsNormally) {
    for (auto& part : parts) part.place = false;
    Eight(6, false);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Pick).empty());
    EXPECT_EQ(FrameCounts().count(0x72), 1u);  // parked and homed
    EXPECT_TRUE(g_Homed.load());
}

// Vision by head mode, flying and over the camera in one cycle. The measurement
// over the camera is counted here (it answers measured, no correction); the flying
// pass goes to the simulated camera. Feeder 1's parts fly, the others do not.
class EightHeadVision : public EightHeadRunWorld {
protected:
    void SetUpVision(bool together) {
        Eight(6, together, true);
        if (HasFatalFailure()) return;
        std::vector<std::string> lines{"1\tG\t", "G\td\t4\t"};
        for (int f = 1; f <= 4; ++f) {
            std::vector<std::string> cells = SplitRow(FeederLineOf(f, {7, 6, false, true, false, false}));
            cells[13] = f == 1 ? "Yes/0/100" : "No/0/100";
            lines.push_back(JoinRow(cells));
        }
        for (int f = 1; f <= 4; ++f) lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
        ReadTable(TheFeedGroupTable(), lines);
        TheFeedGroupTable().SetOpenGroupName("G");
        ThePickPlaceVision().measurePartOnNozzle = [this](PlacementRecord& r, bool) {
            ++measured[r.visionKind];
            return true;
        };
    }
    void TearDown() override {
        ThePickPlaceVision().measurePartOnNozzle = [](PlacementRecord& r, bool s) { return MeasurePartOnNozzle(r, s); };
        EightHeadRunWorld::TearDown();
    }
    std::map<int, int> measured;  // by vision kind
};

TEST_F(EightHeadVision, AMixedCycleFliesAndMeasuresTheOthersOverTheCamera) {
    SetUpVision(false);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd(std::chrono::seconds(240)));
    const auto n = FrameCounts();
    const auto count = [&](int code) { return n.count(code) ? n.at(code) : 0; };
    // A cell's first cycle (R1..R8: R1 and R5 fly) passes over the camera by 0x63
    // and measures the six others over it; its second (R9 alone, flying) passes
    // and moves on toward the place point in one 0x73.
    EXPECT_EQ(count(0x63), 3);
    EXPECT_EQ(count(0x73), 3);
    EXPECT_EQ(measured[1], 18);
    // (A flying part whose frame came late is picked again and measured over the
    // camera as the spare: how many depends on timing, so it is not counted.)
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
}

// ---- vision accuracy on the whole board ------------------------------------------

// Parts picked 0.2 to 0.3 mm and 3 to 5 degrees off (the sign by feeder) on a
// shifted and turned board found by its marks, measured by the simulated cameras
// (no stand-in measurement) and judged on the true board: a correction left out of
// a nozzle's place, or given to another nozzle, lands that part off by its pick error.
enum class Flying { None, All, FeederOne };

struct VisionCase {
    int headMode;
    bool together;
    Flying flying;
    const char* name;
};

class EightHeadVisionAccuracy : public EightHeadRunWorld, public ::testing::WithParamInterface<VisionCase> {
protected:
    // The nozzles of a row stand within a millimetre of it in Y (each its own way),
    // as the flying pass needs: the frames are taken with the head on nozzle 1's
    // line, and each nozzle's Y offset is calibrated into its fly correction.
    void NozzlesInARow() {
        BasicSettings& b = TheBasicSettings();
        double* offY[] = {&b.m_Y_Nozzle2ToNozzle1, &b.m_Y_Nozzle3ToNozzle1, &b.m_Y_Nozzle4ToNozzle1, &b.m_Y_Nozzle5ToNozzle1,
                          &b.m_Y_Nozzle6ToNozzle1, &b.m_Y_Nozzle7ToNozzle1, &b.m_Y_Nozzle8ToNozzle1};
        CameraListSettings cs = TheCameraList().Settings();
        for (int k = 2; k <= 8; ++k) {
            const double y = (k % 2 ? 0.1 : -0.12) * k;
            scenario.nozzleOffset[k - 1].y = y;
            *offY[k - 2] = y;
            g_NozzleToNozzle1Pulses[static_cast<std::size_t>(k - 1)].y = ToPulses(y, scenario.pulsesY);
            cs.m_dFlyCorrect_Y[static_cast<std::size_t>(k - 1)] = y;
        }
        TheCameraList().SetSettings(cs);
        sim->UseScenario(scenario);
    }
    void SetUpFeeders(Flying flying, const RunSetup& r) {
        std::vector<std::string> lines{"1\tG\t", "G\td\t4\t"};
        for (int f = 1; f <= 4; ++f) {
            std::vector<std::string> cells = SplitRow(FeederLineOf(f, r));
            const bool flies = flying == Flying::All || (flying == Flying::FeederOne && f == 1);
            cells[13] = flies ? "Yes/0/100" : "No/0/100";
            lines.push_back(JoinRow(cells));
        }
        for (int f = 1; f <= 4; ++f) lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
        ReadTable(TheFeedGroupTable(), lines);
        TheFeedGroupTable().SetOpenGroupName("G");
    }
};

TEST_P(EightHeadVisionAccuracy, EveryPartLandsOnTheTrueBoard) {
    const VisionCase& p = GetParam();
    Eight(p.headMode, p.together, true, true);
    if (HasFatalFailure()) return;
    NozzlesInARow();
    SetUpFeeders(p.flying, {7, p.headMode, false, true, true, false});
    ASSERT_TRUE(RunToTheEnd(std::chrono::seconds(240))) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    // A frame that came late throws its part away for a spare: at most a cycle's worth.
    const auto check = RunCheckPasses(0.1, 0.25, 8);
    EXPECT_TRUE(check) << check.message();
    EXPECT_NEAR(g_BoardRotation.load(), kTurn, 0.05);
    EXPECT_TRUE(g_Homed.load());
    // (A flying frame that came late is made good by the replenish pick, measured
    // over the camera, without a question.)
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    std::map<int, int> n = FrameCounts();
    if (p.flying == Flying::None) EXPECT_EQ(n.count(0x73) + n.count(0x63), 0u);
    else EXPECT_GT(n[0x73] + n[0x63], 0);
}

INSTANTIATE_TEST_SUITE_P(
    PickModesAndVisionKinds, EightHeadVisionAccuracy,
    ::testing::Values(VisionCase{6, false, Flying::All, "EightPerNozzleFlying"},
                      VisionCase{6, true, Flying::All, "EightTogetherFlying"},
                      VisionCase{3, false, Flying::All, "FourPerNozzleFlying"},
                      VisionCase{6, false, Flying::None, "EightPerNozzleOverTheCamera"},
                      VisionCase{6, true, Flying::None, "EightTogetherOverTheCamera"},
                      VisionCase{6, false, Flying::FeederOne, "EightPerNozzleMixed"},
                      VisionCase{6, true, Flying::FeederOne, "EightTogetherMixed"}),
    [](const auto& info) { return std::string(info.param.name); });

// A frame lost in the first flying pass: no measurement of that pass is trusted,
// so each of its parts is thrown away, picked again as the spare, measured once
// over the camera and placed by its own angle, nozzle by nozzle.
class EightHeadLostFrame : public EightHeadVisionAccuracy {};

TEST_P(EightHeadLostFrame, ThePassIsReplenishedAndStillLandsOnTheTrueBoard) {
    const VisionCase& p = GetParam();
    Eight(p.headMode, p.together, true, true);
    if (HasFatalFailure()) return;
    NozzlesInARow();
    SetUpFeeders(p.flying, {7, p.headMode, false, true, true, false});
    world().Lock(), world().faults().lostTriggers = 1;
    ASSERT_TRUE(RunToTheEnd(std::chrono::seconds(240))) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    // The first pass's parts thrown away, and a late frame's now and then.
    const auto check = RunCheckPasses(0.1, 0.25, 16);
    EXPECT_TRUE(check) << check.message();
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    // The first cycle's parts at least twice (the thrown ones and their spares); a
    // later frame that comes too late adds its own spare, as timing has it.
    const std::size_t first = p.headMode == 6 ? 8 : 4;
    EXPECT_GE(world().ledger().Of(sim::LedgerKind::Pick).size(), 27u + first);
}

INSTANTIATE_TEST_SUITE_P(PickModes, EightHeadLostFrame,
                         ::testing::Values(VisionCase{6, false, Flying::All, "EightPerNozzle"},
                                           VisionCase{6, true, Flying::All, "EightTogether"},
                                           VisionCase{3, false, Flying::All, "FourPerNozzle"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Together, the one 0x78 carries every staged nozzle's turn: each flying part by
// its own measured angle, a part centred over the camera by none, whatever was
// staged after it.
TEST_F(EightHeadRunWorld, TogetherEachNozzleTurnsByItsOwnMeasuredAngle) {
    Eight(6, true);
    if (HasFatalFailure()) return;
    struct Staged {
        int head, visionKind, correctionA;
    };
    const Staged staged[] = {{1, 2, 37}, {3, 2, -52}, {4, 1, 90}, {6, 2, 15}, {2, 0, 0}};
    g_RunContinue = true;  // staging passes the run's pause gate
    g_hRunPauseGate.Set();
    ClearTogetherPlace();
    for (int i = 0; i < 5; ++i) {
        PlacementRecord r;
        r.row = r.jobRow = i;
        r.head = staged[i].head;
        r.visionKind = staged[i].visionKind;
        r.correctionA = staged[i].correctionA;
        ASSERT_TRUE(PlacePart(r, staged[i].head, false, false, 0, 0)) << i;
    }
    const MoveAndPlace78Payload& p = TogetherPlacePayload();
    EXPECT_EQ(p.b0, 0xF4);  // nozzles 1, 2, 3, 4 and 6
    const std::array<std::int32_t, 8> want{-37, 0, 52, 0, 0, -15, 0, 0};
    for (std::size_t n = 0; n < 8; ++n) EXPECT_EQ(p.w82[n], want[n]) << "nozzle " << n + 1;
    ClearTogetherPlace();
}

// ---- a failed nozzle: the operator's question ----------------------------------

class EightHeadFailure : public EightHeadRunWorld {
protected:
    // The next `n` picked parts fall off before the place: its vacuum check fails.
    void LoseParts(int n) {
        auto lock = world().Lock();
        world().faults().lostBeforeCamera = n;
    }
    std::size_t Count(sim::LedgerKind kind) { return world().ledger().Of(kind).size(); }
};

TEST_F(EightHeadFailure, CancelPicksAgainUntilThePartIsPlaced) {
    Eight(6, false);
    if (HasFatalFailure()) return;
    // The cycle's eight parts and two replenished ones of nozzle 1 are lost: two
    // questions for row 1; nozzles 2 to 8 get theirs at the first replenish.
    LoseParts(10);
    boxes.Push(plat::MsgAnswer::Cancel);
    boxes.Push(plat::MsgAnswer::Cancel);
    ASSERT_TRUE(RunToTheEnd());
    const auto check = RunCheckPasses(0.1, 0.25, 10);
    EXPECT_TRUE(check) << check.message();
    ASSERT_EQ(boxes.Texts().size(), 2u);
    for (const auto& text : boxes.Texts()) EXPECT_EQ(text, EightHeadFailureText(true, "1"));
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 37u);
    EXPECT_TRUE(g_Homed.load());
}

// Together, one 0x78 puts down every staged part and its one vacuum check fails
// when any of them did not go down: nothing is picked again before the operator
// has answered for each row, so the parts that did go down are never placed twice.
TEST_F(EightHeadFailure, AFailedTogetherPlaceAsksForEachRowBeforeAnyPartIsPickedAgain) {
    Eight(6, true);
    if (HasFatalFailure()) return;
    {
        auto lock = world().Lock();
        world().faults().keptAtPlaceHeads = 1 << 4;  // head 5 keeps R5 at the first 0x78
    }
    // The cycle's rows by number (row 3 is not placed); the operator sees R5
    // (row 6) missing and refills it, the others are on the board.
    const std::vector<std::string> rows{"1", "2", "4", "5", "6", "7", "8", "9"};
    for (const auto& row : rows) boxes.Push(row == "6" ? plat::MsgAnswer::Cancel : plat::MsgAnswer::Yes);
    ASSERT_TRUE(RunToTheEnd());
    const auto check = RunCheckPasses(0.1, 0.25, 1);  // R5's part thrown off
    EXPECT_TRUE(check) << check.message();
    const auto texts = boxes.Texts();
    ASSERT_EQ(texts.size(), rows.size());
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(texts[i], EightHeadFailureText(true, rows[i])) << i;
    EXPECT_EQ(Count(sim::LedgerKind::Place), 27u);
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 28u);
    EXPECT_EQ(Count(sim::LedgerKind::Discard), 1u);
    EXPECT_EQ(FrameCounts()[0x74], 1);  // R5's refill only
    EXPECT_TRUE(g_Homed.load());
}

TEST_F(EightHeadFailure, YesLeavesTheRowAndGoesOn) {
    Eight(6, false);
    if (HasFatalFailure()) return;
    LoseParts(9);
    boxes.Push(plat::MsgAnswer::Yes);
    // Row R1 of the first cell only is left: the job the run then means.
    MeantRows({expected.begin() + 1, expected.end()});
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(RunCheckPasses(0.1, 0.25, 9));
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 35u);
}

TEST_F(EightHeadFailure, NoParksHomesAndEndsTheRun) {
    Eight(6, true);
    if (HasFatalFailure()) return;
    LoseParts(9);
    boxes.Push(plat::MsgAnswer::No);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    // Nothing was placed: the run ended at nozzle 1's question.
    EXPECT_EQ(Count(sim::LedgerKind::Place), 0u);
    const auto n = FrameCounts();
    EXPECT_EQ(n.at(0x75), 1);
    // The together place's failed check cannot say whose part is missing: the
    // question comes before any pick.
    EXPECT_EQ(n.count(0x74), 0u);
    // The park (every nozzle turned back), then the homing, and no pick or place after.
    const auto frames = machine().Frames();
    std::size_t park = frames.size();
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (frames[i].code == 0x65) park = i;
    ASSERT_LT(park, frames.size());
    std::string after;
    for (std::size_t i = park + 1; i < frames.size(); ++i)
        if (frames[i].code != 0x03 && frames[i].code != 0x04 && frames[i].code != 0x60)
            after += FormatC("%02X ", static_cast<unsigned>(frames[i].code));
    EXPECT_EQ(after, "72 ");
    EXPECT_TRUE(g_Homed.load());
    EXPECT_FALSE(g_Running.load());
    EXPECT_EQ(ThePartList().m_SmtBusy.load(), 0);
}

TEST_F(EightHeadFailure, AStopWhileTheOperatorJogsLeavesTheBusyFlagToTheJog) {
    Eight(6, false);
    if (HasFatalFailure()) return;
    LoseParts(9);
    // The operator jogs while the question is open, then stops the run.
    const auto previous = plat::SetMessageBoxHandler([](const plat::MsgBoxRequest&) {
        EXPECT_TRUE(TryClaimBusy());
        OnStopRun();
        return plat::MsgAnswer::Cancel;
    });
    ASSERT_TRUE(OnStartRun(ThePartList()));
    const bool ended = WaitUntil([] { return LiveRunThreads() == 0; }, std::chrono::seconds(120));
    plat::SetMessageBoxHandler(previous);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(g_Running.load());  // still the jog's
    ReleaseBusy();                  // the jog ends
    EXPECT_EQ(FrameCounts().count(0x72), 0u);
    EXPECT_EQ(Count(sim::LedgerKind::Place), 0u);
}

TEST_F(EightHeadFailure, NoWithTheNozzleChangeReturnsTheNozzlesOfHeadsOneAndTwo) {
    // Without the 19-nozzle library the nozzles go back as in head mode 2.
    Eight(3, false, false, false, true);
    if (HasFatalFailure()) return;
    LoseParts(5);  // the cycle's four parts and nozzle 1's replenished one
    boxes.Push(plat::MsgAnswer::No);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(machine().HeadNozzle(1), 0);
    EXPECT_EQ(machine().HeadNozzle(2), 0);
    EXPECT_NE(machine().HeadNozzle(3), 0);
    EXPECT_NE(machine().HeadNozzle(4), 0);
    EXPECT_EQ(Count(sim::LedgerKind::Place), 0u);
    EXPECT_FALSE(g_Running.load());
}

TEST_F(EightHeadFailure, NoWithTheNineteenNozzleLibraryReturnsEveryNozzle) {
    Eight(3, false, false, false, true);
    if (HasFatalFailure()) return;
    scenario.nineteenLibrary = true;
    sim->UseScenario(scenario);
    SmtStrategyConfig c = TheSmtStrategy().Config();
    c.m_19NozzleLibrary = 1;
    TheSmtStrategy().SetConfig(c);
    LoseParts(5);
    boxes.Push(plat::MsgAnswer::No);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(boxes.Texts().size(), 1u) << boxes.Texts().back();
    int taken = 0, left = 0;
    for (const auto& e : world().ledger().Of(sim::LedgerKind::NozzleChange)) (e.holder > 0 ? taken : left) += 1;
    EXPECT_EQ(taken, 4);  // heads 1..4 took their nozzles for the cycle
    EXPECT_EQ(left, 4);   // and every one went back
    for (int head = 1; head <= 8; ++head) EXPECT_EQ(machine().HeadNozzle(head), 0) << "head " << head;
    EXPECT_EQ(Count(sim::LedgerKind::Place), 0u);
}

TEST_F(EightHeadFailure, ARowNoFeederServesEndsTheRunNamingIt) {
    Eight(6, false);
    if (HasFatalFailure()) return;
    // Feeder 4's pick lies beyond the X travel: its rows (R4, R8) fit no nozzle.
    std::vector<std::string> lines{"1\tG\t", "G\td\t4\t"};
    for (int f = 1; f <= 4; ++f) {
        std::vector<std::string> cells = SplitRow(FeederLineOf(f, {7, 6, false, false, false, false}));
        if (f == 4) cells[4] = "650.0000";
        lines.push_back(JoinRow(cells));
    }
    for (int f = 1; f <= 4; ++f) lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
    ReadTable(TheFeedGroupTable(), lines);
    TheFeedGroupTable().SetOpenGroupName("G");
    ASSERT_TRUE(RunToTheEnd());
    // Nozzle 4 finds no fit for R4 (row 4), so the first cycle takes R1, R2, R3;
    // the next begins with R4 and the run stops there, naming it.
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(boxes.Texts()[0], "Feed Pos Error !");
    EXPECT_EQ(boxes.Texts()[1], RefusedRowText(4, "5"));
    EXPECT_EQ(Count(sim::LedgerKind::Place), 3u);
    EXPECT_FALSE(g_Running.load());
    EXPECT_EQ(FrameCounts().count(0x72), 0u);  // no homing: a failure's end
}

// R9, the second cycle's row, lies beyond the Y travel: the cycle is refused before
// its pick, naming the row, so no part of it is left on a nozzle.
TEST_F(EightHeadFailure, ARowBeyondTheTravelEndsTheRunBeforeItsCyclePicks) {
    parts[9].y = 231.5;  // R9: Y -200 + 231.5 on the first cell
    Eight(6, false);
    if (HasFatalFailure()) return;
    boxes.Clear();
    machine().ClearRecords();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{OffTravelRowText(9, "10")});
    EXPECT_EQ(Count(sim::LedgerKind::Place), 8u);  // the first cycle alone
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 8u);
    EXPECT_EQ(Count(sim::LedgerKind::Discard), 0u);
    EXPECT_FALSE(g_Running.load());
}

// Stop while nozzle 1's pick is under way: the run ends with that part thrown off
// at the discard place, not let go over the feeder.
TEST_F(EightHeadFailure, StopWithAPartOnTheNozzleThrowsItOffAtTheDiscardPlace) {
    Eight(6, false);
    if (HasFatalFailure()) return;
    boxes.Clear();
    machine().ClearRecords();
    sim->faults().HoldNext(0x74);
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(0x74); }));
    OnStopRun();
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load(); }, std::chrono::seconds(60)));
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 1u);
    EXPECT_EQ(Count(sim::LedgerKind::Place), 0u);
    const auto thrown = world().ledger().Of(sim::LedgerKind::Discard);
    ASSERT_EQ(thrown.size(), 1u);
    EXPECT_EQ(thrown[0].nozzle, 1);
    EXPECT_LT(std::hypot(thrown[0].machine.x - 20, thrown[0].machine.y + 280), 0.5)
        << thrown[0].machine.x << " " << thrown[0].machine.y;
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
}


// ---- blown off by its own head's output ----------------------------------------

// A failed part is thrown off at the discard place by its head's vacuum output off
// (output 0x20 + head - 1 on the eight-head machine) with the blow time; a row's
// part that stays on its nozzle after the place, or whose part went missing in a
// together place, is picked again alone, and no placed row is placed again.
class EightHeadBlowOff : public EightHeadFailure {
protected:
    void Start(bool together, bool vision = false) {
        Eight(6, together, vision);
        TheBasicSettings().m_Exhaust = 37;
    }
    // The first cycle's rows of these names go down after its others (picked again):
    // the world names each part by the order the rows are meant to go down.
    void PlacedAfterTheFirstCycle(const std::vector<std::string>& names) {
        std::vector<sim::RowTarget> first, again, rest;
        for (const auto& t : expected) {
            const bool firstCycle = t.cell == expected.front().cell && first.size() + again.size() < 8;
            if (!firstCycle) rest.push_back(t);
            else if (std::find(names.begin(), names.end(), t.name) != names.end()) again.push_back(t);
            else first.push_back(t);
        }
        std::vector<sim::RowTarget> order = first;
        for (const auto& name : names)
            for (const auto& t : again)
                if (t.name == name) order.push_back(t);
        order.insert(order.end(), rest.begin(), rest.end());
        MeantRows(order);
    }
    void TearDown() override {
        ThePickPlaceVision().measurePartOnNozzle = [](PlacementRecord& r, bool s) { return MeasurePartOnNozzle(r, s); };
        EightHeadFailure::TearDown();
    }
    void KeepAtThePlace(int heads) {
        auto lock = world().Lock();
        world().faults().keptAtPlaceHeads = heads;
    }
    // Every part over the camera; the first measurement of each head in `fails`
    // (its count of failures) does not recognise it.
    void RecognitionFails(bool together, std::map<int, int> fails) {
        Start(together, true);
        if (HasFatalFailure()) return;
        std::vector<std::string> lines{"1\tG\t", "G\td\t4\t"};
        for (int f = 1; f <= 4; ++f) {
            std::vector<std::string> cells = SplitRow(FeederLineOf(f, {7, 6, false, true, false, false}));
            cells[13] = "No/0/100";
            lines.push_back(JoinRow(cells));
        }
        for (int f = 1; f <= 4; ++f) lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
        ReadTable(TheFeedGroupTable(), lines);
        TheFeedGroupTable().SetOpenGroupName("G");
        ThePickPlaceVision().measurePartOnNozzle = [fails](PlacementRecord& r, bool) mutable {
            if (fails[r.head] > 0) {
                --fails[r.head];
                r.visionFailed = 1;
            }
            return true;
        };
    }
    // The heads whose parts were blown off, in order; each by its own output with
    // the blow time, at the discard place, and gone from the nozzle.
    std::vector<int> HeadsBlownOff() {
        std::vector<sim::BlowOffRecord> blown;
        for (const auto& b : machine().BlowOffs())
            if (b.part) blown.push_back(b);
        const auto thrown = world().ledger().Of(sim::LedgerKind::Discard);
        EXPECT_EQ(blown.size(), thrown.size());
        const double binX = TheBasicSettings().m_X_ThrowPosition, binY = TheBasicSettings().m_Y_ThrowPosition;
        std::vector<int> heads;
        for (std::size_t i = 0; i < blown.size() && i < thrown.size(); ++i) {
            EXPECT_EQ(blown[i].channel, 0x20 + blown[i].head - 1) << i;
            EXPECT_EQ(blown[i].blowMs, 37) << i;
            EXPECT_EQ(thrown[i].nozzle, blown[i].head) << i;
            EXPECT_LT(std::hypot(thrown[i].machine.x - binX, thrown[i].machine.y - binY), 0.5)
                << "head " << thrown[i].nozzle << " let go at " << thrown[i].machine.x << " " << thrown[i].machine.y;
            heads.push_back(blown[i].head);
        }
        return heads;
    }
};

struct BlowOffCase {
    bool together;
    const char* name;
};

class EightHeadBlowOffModes : public EightHeadBlowOff, public ::testing::WithParamInterface<BlowOffCase> {};

// Heads 3 and 6 do not recognise their first parts; head 6's spare is not
// recognised either: the question, Cancel, and a third part.
TEST_P(EightHeadBlowOffModes, UnrecognisedPartsOnHeadsThreeAndSixLeaveByTheirOwnOutputs) {
    RecognitionFails(GetParam().together, {{3, 1}, {6, 2}});
    if (HasFatalFailure()) return;
    PlacedAfterTheFirstCycle({"R3", "R6"});
    boxes.Push(plat::MsgAnswer::Cancel);
    ASSERT_TRUE(RunToTheEnd(std::chrono::seconds(240))) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_EQ(HeadsBlownOff(), (std::vector<int>{3, 6, 6}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{EightHeadFailureText(false, "7")});  // R6, head 6
    // Measured by a stand-in that corrects nothing: the parts keep their pick errors.
    const auto check = RunCheckPasses(0.5, 6, 3);
    EXPECT_TRUE(check) << check.message();
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 30u);
    EXPECT_TRUE(g_Homed.load());
}

// The first cycle's rows by number (row 3 is not placed).
const std::vector<std::string> kFirstCycleRows{"1", "2", "4", "5", "6", "7", "8", "9"};

// Heads 6 and 8 keep their parts at their first place. Nozzle by nozzle their
// rows are picked again at once; together, the one place's check cannot say
// whose part stayed, so the operator is asked for each row of the cycle and
// refills R6 and R8 (rows 7 and 9).
TEST_P(EightHeadBlowOffModes, PartsKeptAtThePlaceAreThrownOffAndTheirRowsPlacedOnce) {
    const bool together = GetParam().together;
    Start(together);
    if (HasFatalFailure()) return;
    PlacedAfterTheFirstCycle({"R6", "R8"});
    KeepAtThePlace(1 << 5 | 1 << 7);
    if (together)
        for (const auto& row : kFirstCycleRows)
            boxes.Push(row == "7" || row == "9" ? plat::MsgAnswer::Cancel : plat::MsgAnswer::Yes);
    ASSERT_TRUE(RunToTheEnd(std::chrono::seconds(240))) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    EXPECT_EQ(HeadsBlownOff(), (std::vector<int>{6, 8}));
    const auto check = RunCheckPasses(0.1, 0.25, 2);
    EXPECT_TRUE(check) << check.message();
    EXPECT_EQ(world().Placements().size(), 27u);
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 29u);
    if (together) {
        std::vector<std::string> asked;
        for (const auto& row : kFirstCycleRows) asked.push_back(EightHeadFailureText(true, row));
        EXPECT_EQ(boxes.Texts(), asked);
    } else {
        EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    }
    EXPECT_TRUE(g_Homed.load());
}

INSTANTIATE_TEST_SUITE_P(PickModes, EightHeadBlowOffModes,
                         ::testing::Values(BlowOffCase{false, "PerNozzle"}, BlowOffCase{true, "Together"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Together, nozzle 1's part is lost before the one place: nothing is picked again
// before the operator has answered; only the row the operator refills (R1) is
// picked again, and the seven that went down are not placed twice.
TEST_F(EightHeadBlowOff, TogetherALostPartIsPickedAgainOnlyWhereTheOperatorRefills) {
    Start(true);
    if (HasFatalFailure()) return;
    PlacedAfterTheFirstCycle({"R1"});
    LoseParts(1);
    for (const auto& row : kFirstCycleRows) boxes.Push(row == "1" ? plat::MsgAnswer::Cancel : plat::MsgAnswer::Yes);
    ASSERT_TRUE(RunToTheEnd(std::chrono::seconds(240))) << (boxes.Texts().empty() ? "" : boxes.Texts()[0]);
    const auto check = RunCheckPasses(0.1, 0.25, 1);
    EXPECT_TRUE(check) << check.message();
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 28u);
    EXPECT_EQ(FrameCounts().count(0x74) ? FrameCounts().at(0x74) : 0, 1);
    EXPECT_TRUE(HeadsBlownOff().empty());  // nothing was on nozzle 1 to blow off
    EXPECT_EQ(boxes.Texts().size(), kFirstCycleRows.size());
}

// Together, head 6 keeps its part, and its spare too: the spare is thrown off at
// the discard place before the question (never let go over the board), Cancel
// picks a third part, and R6 is placed once.
TEST_F(EightHeadBlowOff, ASpareKeptAtThePlaceIsThrownOffBeforeTheQuestion) {
    Start(true);
    if (HasFatalFailure()) return;
    PlacedAfterTheFirstCycle({"R6"});
    KeepAtThePlace(1 << 5);
    // The spare's pick is the run's first 0x74: while it is held, head 6 is made
    // to keep its next part too.
    sim->faults().HoldNext(0x74);
    // The first place's check fails: each row of the cycle is asked for; R6 (row 7)
    // is refilled twice, its spare being kept too.
    for (const auto& row : kFirstCycleRows) {
        boxes.Push(row == "7" ? plat::MsgAnswer::Cancel : plat::MsgAnswer::Yes);
        if (row == "7") boxes.Push(plat::MsgAnswer::Cancel);
    }
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(0x74); },
                          std::chrono::seconds(60)));
    KeepAtThePlace(1 << 5);
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); },
                          std::chrono::seconds(240)));
    EXPECT_EQ(HeadsBlownOff(), (std::vector<int>{6, 6}));
    std::vector<std::string> asked;
    for (const auto& row : kFirstCycleRows) {
        asked.push_back(EightHeadFailureText(true, row));
        if (row == "7") asked.push_back(EightHeadFailureText(true, row));
    }
    EXPECT_EQ(boxes.Texts(), asked);
    const auto check = RunCheckPasses(0.1, 0.25, 2);
    EXPECT_TRUE(check) << check.message();
    EXPECT_EQ(Count(sim::LedgerKind::Pick), 29u);
    EXPECT_TRUE(g_Homed.load());
}

} // namespace
} // namespace smt::test
