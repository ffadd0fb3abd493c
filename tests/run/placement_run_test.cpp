// Whole placement runs against the simulated world, judged by the world's run
// check: every "Yes" row placed once in every cell in use, no "No" row, each part
// within 0.1 mm and 0.25 degrees of its row on the true board.
#include "placement_run_fixture.h"

namespace smt::test {
namespace {

using PlacementRun = PlacementRunWorld;

TEST_F(PlacementRun, OneHeadWithoutVisionOrMarksPlacesTheWholeBoard) {
    const RunSetup r{0, 0, false, false, false, true};
    Machine(r);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << boxes.Texts().size();
    EXPECT_TRUE(RunCheckPasses());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(g_Homed.load());
}

TEST_F(PlacementRun, BoardMarksCorrectAShiftedAndTurnedBoard) {
    const RunSetup r{0, 0, false, false, true, true};
    Machine(r);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << boxes.Texts().size();
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check);
    EXPECT_NEAR(g_BoardRotation.load(), kTurn, 0.05);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
}

// Every machine type the placement run serves, in its head modes, on both links.
struct TypeCase {
    const char* name;
    RunSetup setup;
};

class PlacementRunTypes : public PlacementRunWorld, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(PlacementRunTypes, TheWholeBoardIsPlacedOnTheTrueBoard) {
    const RunSetup& r = GetParam().setup;
    Machine(r);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? std::string() : boxes.Texts()[0]);
    EXPECT_TRUE(RunCheckPasses());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(g_Homed.load());
    // The run's end put every nozzle back into the library.
    if (r.autoNozzle) {
        for (int head = 1; head <= 4; ++head) EXPECT_EQ(machine().HeadNozzle(head), 0) << "head " << head;
    }
}

// type, head mode, automatic nozzle change, vision, marks, serial
const TypeCase kTypeCases[] = {
    {"Type0Serial", {0, 0, false, false, true, true}},
    {"Type1Ethernet", {1, 0, false, false, true, false}},
    {"Type2TwoHeadsSameNozzle", {2, 1, false, false, true, true}},
    {"Type2TwoHeadsDifferentNozzles", {2, 2, false, false, true, false}},
    {"Type5SharedFrame", {5, 1, false, false, true, true}},
    {"Type3FourHeadsSameNozzle", {3, 3, false, false, true, true}},
    {"Type3FourHeadsDifferentNozzles", {3, 4, false, false, true, false}},
    {"Type6FourHeadsSameNozzle", {6, 3, false, false, true, false}},
    {"Type6FourHeadsDifferentNozzles", {6, 4, false, false, true, true}},
    {"Type3AutomaticNozzleChange", {3, 3, true, false, true, true}},
};
INSTANTIATE_TEST_SUITE_P(Types, PlacementRunTypes, ::testing::ValuesIn(kTypeCases),
                         [](const ::testing::TestParamInfo<TypeCase>& i) { return std::string(i.param.name); });

// With vision: parts picked 0.2 to 0.3 mm and 3 to 5 degrees off, measured on the
// nozzle over the camera and placed corrected (a correction left out of the place
// move lands each part off by its pick error).
const TypeCase kVisionCases[] = {
    {"Type0OverTheCamera", {0, 0, false, true, true, true}},
    {"Type1OverTheCamera", {1, 0, false, true, true, false}},
    {"Type2OverTheCamera", {2, 2, false, true, true, true}},
    {"Type3FourHeads", {3, 3, false, true, true, true}},
    {"Type6FourHeads", {6, 4, false, true, true, false}},
};
INSTANTIATE_TEST_SUITE_P(Vision, PlacementRunTypes, ::testing::ValuesIn(kVisionCases),
                         [](const ::testing::TestParamInfo<TypeCase>& i) { return std::string(i.param.name); });

// Runs off the plain cycle, each a whole board on a shifted and turned board found by
// its marks: the head modes that follow the feeder with the feeders naming the heads
// the other way round (slot 1 worked by the last head), each head's parts landing off
// its nozzle by an amount its own place offsets make good (X and Y differ, head by
// head), parts lying turned in their feeders. A place offset taken from the slot
// instead of the head, or a feeder angle left out or of the wrong sign, lands parts off.
const TypeCase kOffTheCycleCases[] = {
    {"Type3HeadsOtherThanTheirSlots",
     {.type = 3, .headMode = 4, .marks = true, .serial = false, .headsReversed = true, .placeOffsets = true,
      .feederAngles = true}},
    {"Type6HeadsOtherThanTheirSlotsSerial",
     {.type = 6, .headMode = 4, .marks = true, .serial = true, .headsReversed = true, .placeOffsets = true,
      .feederAngles = true}},
    {"Type2HeadsOtherThanTheirSlots",
     {.type = 2, .headMode = 2, .marks = true, .serial = true, .headsReversed = true, .placeOffsets = true,
      .feederAngles = true}},
    {"Type0PlaceOffsetsAndFeederAngles",
     {.type = 0, .headMode = 0, .marks = true, .serial = false, .placeOffsets = true, .feederAngles = true}},
    {"Type3PanelOfTwoRowsAndThreeColumns",
     {.type = 3, .headMode = 3, .marks = true, .serial = true, .widePanel = true}},
    {"Type6PanelOfTwoRowsAndThreeColumnsHeadsOtherThanTheirSlots",
     {.type = 6, .headMode = 4, .marks = true, .serial = false, .headsReversed = true, .placeOffsets = true,
      .widePanel = true}},
    {"Type0TrayBeyondItsFirstRow", {.type = 0, .headMode = 0, .marks = true, .serial = true, .trayFeeder = true}},
    {"Type3TrayBeyondItsFirstRow",
     {.type = 3, .headMode = 4, .marks = true, .serial = false, .headsReversed = true, .trayFeeder = true}},
    {"Type0MarksInEveryCell", {.type = 0, .headMode = 0, .marks = true, .serial = true, .perCellMarks = true}},
    {"Type3MarksInEveryCellOfAWidePanel",
     {.type = 3, .headMode = 4, .marks = true, .serial = false, .headsReversed = true, .placeOffsets = true,
      .widePanel = true, .perCellMarks = true}},
    {"Type3VisionHeadsOtherThanTheirSlots",
     {.type = 3, .headMode = 4, .vision = true, .marks = true, .serial = true, .headsReversed = true,
      .placeOffsets = true}},
};
INSTANTIATE_TEST_SUITE_P(OffTheCycle, PlacementRunTypes, ::testing::ValuesIn(kOffTheCycleCases),
                         [](const ::testing::TestParamInfo<TypeCase>& i) { return std::string(i.param.name); });

// Three boards brought by the conveyor: each placed whole, the count counted down,
// the conveyor companion gone at the end.
TEST_F(PlacementRun, TheConveyorBringsThreeBoardsAndEachIsPlacedWhole) {
    RunSetup r{0, 0, false, false, false, true};
    r.conveyorBoards = 3;
    Machine(r);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? std::string() : boxes.Texts()[0]);
    EXPECT_TRUE(RunCheckPasses());
    EXPECT_EQ(boardCount.load(), 0);
    EXPECT_FALSE(RunThreadLive(RunThreadKind::ConveyorZone2));
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
}

// Only the selected rows (R2 and R4) run, in every cell in use, each once: the world
// is handed exactly those rows as the job; a row not selected, or one placed twice,
// fails the check.
TEST_F(PlacementRun, SelectedRowsArePlacedInEveryCellAndNothingElse) {
    Machine({.type = 3, .headMode = 3, .marks = true, .serial = true});
    if (HasFatalFailure()) return;
    ThePartList().m_RunSelectedOnly[static_cast<int>(JobList::Part)] = 1;
    for (int row = 0; row < static_cast<int>(parts.size()); ++row)
        ThePartList().SetSelected(JobList::Part, row, row == 1 || row == 4);
    std::vector<sim::RowTarget> meant;
    for (sim::RowTarget t : expected) {
        if (t.row != 1 && t.row != 4) continue;
        t.head = t.row == 1 ? 1 : 2;  // each cell's two rows fill slots 1 and 2
        meant.push_back(t);
    }
    MeantRows(meant);
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? std::string() : boxes.Texts()[0]);
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check) << check.message();
    EXPECT_EQ(expected.size(), 6u);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
}

// Type 8 (insertion) makes no Z stroke, so nothing is put down in the world: the
// head's stops are judged instead. Each part is a move over its feeder and a move
// over its row; the second stops where the row lies on the board, cell by cell.
TEST_F(PlacementRun, TheInsertionMachineStopsOverEveryRowOfEveryCellInUse) {
    Machine({8, 0, false, false, false, true});
    if (HasFatalFailure()) return;
    machine().ClearRecords();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Place).empty());
    // Where the head stood after each X/Y/A move of the run (serial 0x65: X, Y).
    std::vector<std::pair<std::int32_t, std::int32_t>> stops;
    std::int64_t x = 0, y = 0;
    for (const auto& f : machine().Frames()) {
        if (f.code != 0x65) continue;
        sim::FieldReader r(f.data);
        x += r.Sm32();
        r.U8(), r.U8();
        y += r.Sm32();
        stops.emplace_back(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> want;
    const int cellOrigins[][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    for (int cell : {0, 2, 3})
        for (const JobPart& p : parts) {
            if (!p.place) continue;
            const double bx = kOriginX + cellOrigins[cell][1] * kColPitch + p.x;
            const double by = kOriginY + cellOrigins[cell][0] * kRowPitch + p.y;
            want.emplace_back(ToPulses(bx, scenario.pulsesX), ToPulses(by, scenario.pulsesY));
        }
    ASSERT_EQ(stops.size(), 2 * want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(stops[2 * i + 1].first, want[i].first, 1) << i;
        EXPECT_NEAR(stops[2 * i + 1].second, want[i].second, 1) << i;
    }
}

} // namespace
} // namespace smt::test
