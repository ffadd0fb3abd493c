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
    const auto check = RunCheckPasses();
    EXPECT_TRUE(check);
    std::printf("%s\n", check.message());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(g_Homed.load());
}

} // namespace
} // namespace smt::test
