// The nozzle library's rows and pulse table, its settings section, the dialog's
// start values and the editor's checks and take buttons.
#include <gtest/gtest.h>

#include "feeders/nozzle_library.h"
#include "platform/profile.h"
#include "run_state/nozzle_work.h"
#include "test_support.h"

namespace smt {
namespace {

NozzleRow Row(const std::string& number, const std::string& remark, const std::string& entryZ = "-5.0000") {
    return {number, "1.1500", "-50.0100", "-3.5000", "110.1500", "-60.0100", entryZ, "40", remark};
}

TEST(NozzleLibrary, PulseTableFromRows) {
    std::array<double, 8> feed{-10, -11, -12, -13, -14, -15.55, -16, -17};
    std::vector<NozzleRow> rows{Row("1", "N1"), Row("2", "n1", "-2.3333"), Row("3", "N1")};
    std::array<NozzleRecord, kNozzleRecords> table{};
    table[0].inHolder = 0;        // a head carries it: the build leaves that alone
    table[5].holderX = 777;       // beyond the rows: kept
    BuildNozzleRecords(rows, 100, 80, 300, feed, table);
    struct Case {
        int k;
        std::int32_t holderX, holderY, entryX, entryY, entryZ, head2, head6;
    };
    // 1.15 x 100 is 114.99.. and -50.01 x 80 is -4000.8: each term truncated.
    for (const Case& c : {Case{0, 114, -4000, 11015, -4800, -1500, -1800, -3165},
                          Case{1, 114, -4000, 11015, -4800, -699, -999, -2364}}) {
        SCOPED_TRACE(c.k);
        const NozzleRecord& r = table[c.k];
        EXPECT_EQ(r.holderX, c.holderX);
        EXPECT_EQ(r.holderY, c.holderY);
        EXPECT_EQ(r.entryX, c.entryX);
        EXPECT_EQ(r.entryY, c.entryY);
        EXPECT_EQ(r.entryZ, c.entryZ);
        EXPECT_EQ(r.headEntryZ[0], c.entryZ);
        EXPECT_EQ(r.headEntryZ[1], c.head2);  // + trunc((-11 - -10) x 300)
        EXPECT_EQ(r.headEntryZ[5], c.head6);  // head 6 with its own height: trunc(-5.55 x 300)
        EXPECT_DOUBLE_EQ(r.pickHeight, -3.5);
        EXPECT_EQ(r.vacuum, 40);
    }
    EXPECT_EQ(table[0].inHolder, 0);
    EXPECT_EQ(table[1].inHolder, 1);
    EXPECT_EQ(table[5].holderX, 777);
    // Same remark exactly: "N1" and "n1" differ.
    EXPECT_EQ(table[0].sameRemark[0], 1);
    EXPECT_EQ(table[0].sameRemark[1], 0);
    EXPECT_EQ(table[0].sameRemark[2], 1);
    EXPECT_EQ(table[1].sameRemark[0], 0);
    EXPECT_EQ(table[1].sameRemark[1], 1);
    EXPECT_EQ(table[2].sameRemark[0], 1);

    // A hand-made file: 25 rows of 11 cells. Only 19 records, 19 flags, 9 cells.
    std::vector<std::string> lines;
    for (int i = 1; i <= 25; ++i) lines.push_back(std::to_string(i) + "\t1\t-1\t0\t1\t-1\t-1\t0\tsame\textra\tmore\t");
    const auto parsed = ParseNozzleRows(lines);
    ASSERT_EQ(parsed.size(), 25u);
    EXPECT_EQ(parsed[0][8], "same");
    std::array<NozzleRecord, kNozzleRecords> big{};
    BuildNozzleRecords(parsed, 1, 1, 1, feed, big);
    EXPECT_EQ(big[18].holderX, 1);
    for (int j = 0; j < kSameRemarkFlags; ++j) EXPECT_EQ(big[0].sameRemark[j], j < 19 ? 1 : 0) << j;
}

TEST(NozzleLibrary, LinesKeepNineCellsAndDropTextAfterTheLastTab) {
    const auto rows = ParseNozzleRows({"1\t2\t3\t4\t5\t6\t7\t8\tA\t", "1\t2\t3\t4\t5\t6\t7\t8\tlost"});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][8], "A");
    EXPECT_EQ(rows[1][7], "8");
    EXPECT_EQ(rows[1][8], "");
    EXPECT_EQ(BuildNozzleLines(rows), (std::vector<std::string>{"1\t2\t3\t4\t5\t6\t7\t8\tA\t", "1\t2\t3\t4\t5\t6\t7\t8\t\t"}));
}

TEST(NozzleLibrary, ShiftAndSettingsSection) {
    NozzleLibrary& lib = TheNozzleLibrary();
    lib.Rows() = {Row("1", "N1")};
    std::vector<std::string> lines;
    lib.ShiftNozzleCoordinates(1.5, -2.25, lines);
    EXPECT_EQ(lines, std::vector<std::string>{"1\t2.6500\t-52.2600\t-3.5000\t111.6500\t-62.2600\t-5.0000\t40\tN1\t"});
    lib.FreeTable();
    EXPECT_TRUE(lib.Rows().empty());

    test::TempDir dir;
    test::WriteBytes(dir.File("config.ini"), "[NozzleListConfig]\r\nm_InAndOutExtern=1\r\nm_Distance=0\r\nm_Delay=250\r\n");
    plat::FlushProfileCache();
    NozzleListConfig c = LoadNozzleListConfig(dir.File("config.ini"));
    EXPECT_EQ(c.m_InAndOutExtern, 1);
    EXPECT_DOUBLE_EQ(c.m_Distance, 100);  // a stored 0 reads as 100
    EXPECT_EQ(c.m_Delay, 250);
    c.m_Distance = 12.5;
    ASSERT_TRUE(SaveNozzleListConfig(c, dir.File("config.ini")));
    plat::FlushProfileCache();
    EXPECT_EQ(plat::GetPrivateProfileString("NozzleListConfig", "m_Distance", "", 512, dir.File("config.ini")), "12.5000");
}

TEST(NozzleLibrary, DialogStartByMachineTypeAndNozzleSelect) {
    using Items = std::vector<std::string>;
    const Items expected[10] = {{"A1"}, {"A1"}, {"A1", "A2"}, {"A1", "A2", "A3", "A4"}, {}, {"A1", "A2"}, {},
                                {"A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8"}, {}, {}};
    for (int type = 0; type < 10; ++type) EXPECT_EQ(NozzleHeadItems(type), expected[type]) << type;
    // An empty head box means head 1, never record 0's neighbour.
    EXPECT_EQ(NozzleHeadIndex(-1), 0);
    EXPECT_EQ(NozzleHeadIndex(3), 3);

    struct Case {
        int select, head1Nozzle, head2Nozzle;
        std::uint8_t row0, row1;
    };
    for (const Case& c : {Case{1, 0, 0, 0, 1}, Case{1, 0, 2, 0, 0}, Case{2, 0, 0, 1, 0}, Case{2, 1, 0, 0, 0},
                          Case{0, 1, 2, 1, 1}}) {
        ResetNozzleStates();
        {
            std::lock_guard lock(NozzleStateMutex());
            g_NozzleWork[0].head = 1, g_NozzleWork[0].mountedNozzle = c.head1Nozzle;
            g_NozzleWork[1].head = 2, g_NozzleWork[1].mountedNozzle = c.head2Nozzle;
        }
        ApplyChangeNozzleSelect(c.select);
        const auto table = CopyNozzleTable();
        EXPECT_EQ(table[0].inHolder, c.row0) << c.select << " " << c.head1Nozzle << " " << c.head2Nozzle;
        EXPECT_EQ(table[1].inHolder, c.row1) << c.select << " " << c.head1Nozzle << " " << c.head2Nozzle;
        const auto heads = HeadNozzleTexts();
        EXPECT_EQ(heads[1].value_or("none"), std::to_string(c.head2Nozzle));
        EXPECT_FALSE(heads[2].has_value());
    }
    ResetNozzleStates();
    EXPECT_EQ(CopyNozzleWork()[1].mountedNozzle, 0);
}

TEST(NozzleEditor, OkChecksInOrder) {
    const DialogCaptions& texts = TheNozzleLibrary().m_EditTexts;
    struct Case {
        bool taken;
        double entryX;
        std::string remark;
        plat::MsgAnswer answer;
        NozzleEditOk result;
        std::vector<std::string> boxes;
    };
    const std::string q = "吸嘴座X坐标不一致，确定吗 ?";
    const Case cases[] = {
        {true, 1, "", plat::MsgAnswer::Yes, NozzleEditOk::FocusNumber, {"吸嘴座名称已存在，请修改 !"}},
        {false, 2, "N", plat::MsgAnswer::No, NozzleEditOk::Stay, {q}},
        {false, 2, "N", plat::MsgAnswer::Cancel, NozzleEditOk::Stay, {q}},
        {false, 2, "", plat::MsgAnswer::Yes, NozzleEditOk::FocusRemark, {q, "吸嘴备注不能为空 !"}},
        {false, 1, "", plat::MsgAnswer::Yes, NozzleEditOk::FocusRemark, {"吸嘴备注不能为空 !"}},
        {false, 1, "N", plat::MsgAnswer::Yes, NozzleEditOk::Accept, {}},
    };
    for (const Case& c : cases) {
        test::ScriptedResponder boxes(c.answer);
        NozzleEditValues v;
        v.holderX = 1;
        v.entryX = c.entryX;
        v.remark = c.remark;
        EXPECT_EQ(CheckNozzleEdit(v, c.taken, texts), c.result);
        EXPECT_EQ(boxes.Texts(), c.boxes);
    }
    // All numbers 1..19 in use: every number is taken, except the edited row's own.
    std::vector<NozzleRow> rows;
    for (int n = 1; n <= 19; ++n) rows.push_back(Row(std::to_string(n), "N"));
    for (int n = 1; n <= 19; ++n) EXPECT_TRUE(IsNozzleNumberTaken(rows, n, -1));
    EXPECT_FALSE(IsNozzleNumberTaken(rows, 4, 3));
}

TEST(NozzleEditor, TakeButtonsUniformColumnsAndZMoves) {
    test::ScriptedResponder boxes;
    EXPECT_EQ(TakePositionText(12345, 1000), "12.3451");  // moved 0.0001 away from zero
    EXPECT_EQ(TakePositionText(0, 1000), "0.0000");
    EXPECT_EQ(TakeCameraCentredText(1000, 2.5, 100), "12.5001");  // (1000 + 250) / 100
    EXPECT_EQ(TakeZText(-400, -500, 100).value_or("refused"), "-4.0001");
    EXPECT_EQ(TakeZText(0, -500, 100).value_or("refused"), "0.0000");
    EXPECT_EQ(TakeZText(-501, -500, 100).value_or("refused"), "refused");
    EXPECT_EQ(TakeZText(1, -500, 100).value_or("refused"), "refused");
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Z Pos Error !", "Z Pos Error !"}));

    struct Range {
        UniformColumn column;
        std::string text;
        bool ok;
    };
    for (const Range& r : {Range{UniformColumn::PickHeight, "-100", true}, Range{UniformColumn::PickHeight, "0.5", false},
                           Range{UniformColumn::EntryZ, "-100.01", false}, Range{UniformColumn::Vacuum, "100", true},
                           Range{UniformColumn::Vacuum, "-1", false}})
        EXPECT_EQ(UniformValueInRange(r.column, r.text), r.ok) << r.text;
    std::vector<NozzleRow> rows{Row("1", "A"), Row("2", "B")};
    WriteUniformColumn(rows, UniformColumn::EntryZ, "-7.0000");
    EXPECT_EQ(rows[1][6], "-7.0000");

    // "To=Z": positive targets refused; the direction rule per head.
    boxes.Clear();
    EXPECT_FALSE(PlanMoveToEntryZ(0, 0, 0.02, 100, 0));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"The data should be - !"});
    struct Move {
        int type, head;
        std::int32_t counter;
        int axis, direction;
        std::int32_t pulses;
    };
    for (const Move& m : {Move{0, 0, 0, 2, 0, 500}, Move{0, 1, 0, 2, 1, 500}, Move{3, 3, -700, 3, 0, 200},
                          Move{6, 5, 0, 10, 1, 500}, Move{7, 1, 0, 0x21, 0, 500}, Move{3, 0, -900, 2, 1, 400}}) {
        const auto plan = PlanMoveToEntryZ(m.type, m.head, -5, 100, m.counter);
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->axis, m.axis) << m.type << "/" << m.head;
        EXPECT_EQ(plan->direction, m.direction) << m.type << "/" << m.head;
        EXPECT_EQ(plan->pulses, m.pulses);
    }
}

} // namespace
} // namespace smt
