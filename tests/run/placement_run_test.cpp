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

TEST_F(PlacementRun, VisionOverTheCameraCorrectsThePickErrors) {
    const RunSetup r{0, 0, false, true, true, true};
    Machine(r);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToTheEnd()) << boxes.Texts().size();
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check);
    for (const auto& t : boxes.Texts()) std::printf("B %s\n", t.c_str());
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
    if (r.autoNozzle)
        for (int head = 1; head <= 4; ++head) EXPECT_EQ(machine().HeadNozzle(head), 0) << "head " << head;
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

} // namespace
} // namespace smt::test
