#include <gtest/gtest.h>

#include "joblist/board_transforms.h"
#include "joblist/part_list.h"

namespace smt::test {
namespace {

JobRow Row(const std::string& x, const std::string& y, const std::string& angle) {
    JobRow r(kPartCells);
    r.cells[partcell::Number] = "1", r.cells[partcell::X] = x, r.cells[partcell::Y] = y;
    r.cells[partcell::Angle] = angle, r.cells[partcell::Name] = "C7";
    return r;
}

// X and Y differ in size and sign, so a turn that swaps or drops a sign shows.
TEST(BoardTransformTable, EveryTransformOfAnAsymmetricPoint) {
    using T = BoardTransform;
    struct Case {
        T t;
        const char* x;
        const char* y;
        const char* angle;
    } cases[] = {
        {T::Clockwise, "-3.5000", "-10.0000", "300"},
        {T::CounterClockwise, "3.5000", "10.0000", "120"},
        {T::MirrorLeftRight, "-10.0000", "-3.5", "150"},  // Y keeps its text
        {T::MirrorUpDown, "10", "3.5000", "330"},         // X keeps its text
    };
    for (const Case& c : cases) {
        std::vector<JobRow> rows = {Row("10", "-3.5", "30")};
        TransformRows(rows, c.t, false, "L", "R");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].cells[partcell::X], c.x) << int(c.t);
        EXPECT_EQ(rows[0].cells[partcell::Y], c.y) << int(c.t);
        EXPECT_EQ(rows[0].cells[partcell::Angle], c.angle) << int(c.t);
        EXPECT_EQ(rows[0].cells[partcell::Name], "C7") << int(c.t);
    }
}

TEST(BoardTransformTable, CopiesTurnOnlyTheNewRow) {
    using T = BoardTransform;
    for (T t : {T::Clockwise, T::CounterClockwise}) {
        std::vector<JobRow> rows = {Row("10", "-3.5", "30"), Row("-2", "7.25", "0")};
        TransformRows(rows, t, true, "A", "B");
        ASSERT_EQ(rows.size(), 4u);
        // The originals keep their place and coordinates, renamed.
        EXPECT_EQ(rows[0].cells[partcell::Name] + " " + rows[0].cells[partcell::X] + " " + rows[0].cells[partcell::Y],
                  "A-C7 10 -3.5");
        const bool cw = t == T::Clockwise;
        // Clockwise: (x, y) -> (y, -x); counter-clockwise: (x, y) -> (-y, x).
        EXPECT_EQ(rows[2].cells[partcell::Name] + " " + rows[2].cells[partcell::X] + " " + rows[2].cells[partcell::Y],
                  cw ? "B-C7 -3.5000 -10.0000" : "B-C7 3.5000 10.0000");
        EXPECT_EQ(rows[3].cells[partcell::X] + " " + rows[3].cells[partcell::Y],
                  cw ? "7.2500 2.0000" : "-7.2500 -2.0000");
        EXPECT_EQ(rows[3].cells[partcell::Angle], cw ? "270" : "90");
    }
}

}  // namespace
}  // namespace smt::test
