// The import into the current PCB record and the two-mark calculator.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/numtext.h"
#include "joblist/cad_import.h"
#include "joblist/cad_two_mark.h"
#include "joblist/pcb_editor.h"
#include "platform/profile.h"

using namespace smt;
using Cells = std::vector<std::string>;

namespace {

struct Board {
    PcbEditor pcb;
    Board() {
        PcbRecord r;
        r.m_PcbName = "B";
        pcb.m_PcbRecords.push_back(r);
        pcb.m_CurrentPcbName = "B";
    }
    const std::vector<PartRow>& Rows() const { return pcb.m_PcbRecords[0].m_PartRows; }
};

FeedRow Feeder(const std::string& id, const std::string& package, const std::string& value,
               const std::string& head, const std::string& camera = "No/C1", const std::string& flying = "No/1/1") {
    FeedRow f;
    f[0] = id;
    f[2] = package;
    f[3] = value;
    f[10] = head;
    f[12] = camera;
    f[13] = flying;
    return f;
}

TEST(CadImport, LengthsAndAngles) {
    const struct {
        int format;
        const char* text;
        const char* expect;
    } lengths[] = {{0, "1000mil", "25.4000"}, {3, "12.5mm", "12.5000"}, {2, "12.5", "12.5"},
                   {10, "1000", "25.4000"},   {5, "12.5mm", "12.5mm"},   {1, "x mil", "0.0000"}};
    for (const auto& c : lengths) EXPECT_EQ(ConvertImportedLength(c.text, c.format), c.expect) << c.text;
    const struct {
        const char* text;
        const char* expect;
    } angles[] = {{"-90", "270"}, {"-360", "0"}, {"360", "0"}, {"90.7", "90"}, {"450", "450"}, {"abc", "0"}};
    for (const auto& c : angles) EXPECT_EQ(ConvertImportedAngle(c.text), c.expect) << c.text;
}

TEST(CadImport, FeederMatchingAndRows) {
    const std::vector<FeedRow> feeders = {
        Feeder("F1", "0603", "1k", "H1"),        Feeder("F2", "0805", "10k", "H2", "Yes/C1"),
        Feeder("F3", "0402", "100n", "H3"),      Feeder("F4", "0805", "1k", "H4", "No/C1", "Yes/1/1"),
        Feeder("F5", "0402", "22p", "H5", "Yes/C2"),
    };
    const std::vector<Cells> rows = {{"R1", "0805", "1000mil", "2mm", "-90", "1k", "T"},
                                     {"C1", "0402", "1", "2", "90.7", "22p", "B"},
                                     {"X1", "QFN", "1", "2", "0", "1K", ""}};
    const struct {
        int pack, value;
        // feeder, place, vision, feeder value, head for each row
        std::vector<std::string> r1, c1, x1;
    } cases[] = {
        {1, 1, {"F4", "1/Yes", "1/Yes", "1k", "H4"}, {"F5", "1/Yes", "1/Yes", "22p", "H5"}, {"", "0/No", "0/No", "", ""}},
        {1, 0, {"F2", "1/Yes", "1/Yes", "1k", "H2"}, {"F3", "1/Yes", "0/No", "22p", "H3"}, {"", "0/No", "0/No", "", ""}},
        {0, 1, {"F1", "1/Yes", "0/No", "1k", "H1"}, {"F5", "1/Yes", "1/Yes", "22p", "H5"}, {"", "0/No", "0/No", "", ""}},
        {0, 0, {"", "0/No", "0/No", "", ""}, {"", "0/No", "0/No", "", ""}, {"", "0/No", "0/No", "", ""}},
    };
    for (const auto& c : cases) {
        Board b;
        std::vector<std::string> steps;
        int begun = -1;
        ImportProgress progress{[&](int n) { begun = n; }, [&](const std::string& p) { steps.push_back(p); }};
        ASSERT_TRUE(AppendImportedParts(b.pcb, rows, 7, 0, c.pack, c.value, feeders, progress, 0));
        ASSERT_EQ(b.Rows().size(), 3u);
        EXPECT_EQ(begun, 3);
        EXPECT_EQ(steps, (std::vector<std::string>{"33%", "67%", "100%"}));
        const std::vector<std::string>* want[] = {&c.r1, &c.c1, &c.x1};
        for (int i = 0; i < 3; ++i) {
            const PartRow& r = b.Rows()[i];
            EXPECT_EQ((std::vector<std::string>{r[9], r[7], r[10], r[11], r[12]}), *want[i]) << c.pack << c.value << i;
            EXPECT_EQ(r[0], FormatInt(i + 1));
            EXPECT_EQ(r[8], rows[i][5]);
            EXPECT_EQ(r[5], "");
        }
        EXPECT_EQ(b.Rows()[0][1], "25.4000");
        EXPECT_EQ(b.Rows()[0][2], "2.0000");
        EXPECT_EQ(b.Rows()[0][3], "270");
        EXPECT_EQ(b.Rows()[1][3], "90");
        EXPECT_EQ(b.Rows()[0][4], "R1");
        EXPECT_EQ(b.Rows()[0][6], "0805");
    }
}

TEST(CadImport, ReplacesRowsNarrowListsAndNoCurrentPcb) {
    Board b;
    const std::vector<FeedRow> none;
    ASSERT_TRUE(AppendImportedParts(b.pcb, {{"A", "p", "1", "2", "0", "v", ""}, {"B", "p", "1", "2", "0", "v", ""}}, 7, 9,
                                    0, 0, none, {}, 0));
    ASSERT_TRUE(AppendImportedParts(b.pcb, {{"C", "q", "3", "4"}}, 4, 9, 1, 1, none, {}, 0));
    ASSERT_EQ(b.Rows().size(), 1u);
    const PartRow& r = b.Rows()[0];
    EXPECT_EQ((std::vector<std::string>{r[0], r[1], r[2], r[4], r[6]}), (std::vector<std::string>{"1", "3", "4", "C", "q"}));
    for (int c : {3, 5, 7, 8, 9, 10, 11, 12, 14, 15}) EXPECT_EQ(r[c], "") << c;
    EXPECT_FALSE(r[13].empty());

    b.pcb.m_CurrentPcbName = "other";
    EXPECT_FALSE(AppendImportedParts(b.pcb, {{"D", "q", "3", "4"}}, 4, 9, 0, 0, none, {}, 0));
    EXPECT_EQ(b.pcb.m_PcbRecords[0].m_PartRows.size(), 1u);
}

// Every caption of the import dialog stands in the three caption files, the Chinese
// text as built in.
TEST(CadImport, EveryCaptionInTheThreeCaptionFiles) {
    for (const std::string language : {"Chinese", "English", "German"}) {
        const std::string path = std::string(SMT_SOURCE_DIR) + "/res/" + language + ".ini";
        for (const ImportFileText& t : kImportFileTexts) {
            const std::string key = std::string("ImportFile.") + t.suffix;
            const std::string text = plat::GetPrivateProfileString("ImportFileConfig", key, "", 512, path);
            EXPECT_FALSE(text.empty()) << language << " " << key;
            if (language == "Chinese") {
                EXPECT_EQ(text, t.chinese) << key;
            }
        }
    }
}

TEST(CadImport, TimeStampHasTwoBlanks) {
    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 2;
    tm.tm_mday = 5;
    tm.tm_hour = 7;
    tm.tm_min = 8;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    EXPECT_EQ(ImportTimeStamp(std::mktime(&tm)), "2024-3-5  7:8:9");
}

// ---- two marks ----------------------------------------------------------------

TEST(TwoMarkTest, WorkedExamplesAndRefusals) {
    const struct {
        double m1x, m1y, m2x, m2y, cx, cy, s1x, s1y, s2x, s2y;
        const char* expect;  // A_old A_new X Y, or "short"
    } cases[] = {
        {0, 0, 100, 0, 50, 20, 0, 0, 0, 0, "0.0000 0.0000 50.0000 20.0000"},
        {0, 0, 100, 0, 50, 0, 0, 0, 0, 10, "0.0000 5.7106 49.7519 4.9752"},
        {0, 0, 100, 0, 0, -20, 0, 0, 0, 10, "0.0000 5.7106 1.9901 -19.9007"},
        {10, 10, 110, 10, 60, 30, 1, 2, 1, 12, "0.0000 5.7106 58.7618 36.8759"},
        {0, 0, 4, 3, 1, 1, 0, 0, 0, 0, "36.8699 36.8699 1.0000 1.0000"},
        {0, 0, 3, 3, 1, 1, 0, 0, 0, 0, "short"},
        // the mark line turns from 80 to 100 degrees: a turn of 20, not -160
        {0, 0, 17.3648, 98.4808, 0, 10, 0, 0, -34.7296, 0, "80.0000 -80.0000 -3.4202 9.3969"},
    };
    for (const auto& c : cases) {
        DoubleMarkTestConfig cfg;
        cfg.m_Mark1_X = c.m1x, cfg.m_Mark1_Y = c.m1y, cfg.m_Mark2_X = c.m2x, cfg.m_Mark2_Y = c.m2y;
        cfg.m_Coordinate_X = c.cx, cfg.m_Coordinate_Y = c.cy;
        cfg.m_SetMark1Offset_X = c.s1x, cfg.m_SetMark1Offset_Y = c.s1y;
        cfg.m_SetMark2Offset_X = c.s2x, cfg.m_SetMark2Offset_Y = c.s2y;
        const TwoMarkResult r = RunTwoMarkTest(cfg);
        const std::string got = r.tooShort ? "short"
                                           : FormatMm(r.angleOld) + " " + FormatMm(r.angleNew) + " " + FormatMm(r.x) +
                                                 " " + FormatMm(r.y);
        EXPECT_EQ(got, c.expect);
    }
}

// The first mark's measured offset moves every point, whether the board turned or
// not, and also the point that lies on the first mark itself.
TEST(TwoMarkTest, FirstMarkOffsetMovesUnturnedAndOnMarkPoints) {
    const struct {
        double cx, cy, s1x, s1y, s2x, s2y;
        const char* expect;
    } cases[] = {
        {60, 30, 1.5, -2.5, 1.5, -2.5, "0.0000 0.0000 61.5000 27.5000"},
        {60, 30, -4, 3, -4, 3, "0.0000 0.0000 56.0000 33.0000"},
        {10, 10, 1, 2, 1, 12, "0.0000 5.7106 11.0000 12.0000"},
        {10, 10, -3, 0.5, -3, -9.5, "0.0000 -5.7106 7.0000 10.5000"},
    };
    for (const auto& c : cases) {
        DoubleMarkTestConfig cfg;
        cfg.m_Mark1_X = 10, cfg.m_Mark1_Y = 10, cfg.m_Mark2_X = 110, cfg.m_Mark2_Y = 10;
        cfg.m_Coordinate_X = c.cx, cfg.m_Coordinate_Y = c.cy;
        cfg.m_SetMark1Offset_X = c.s1x, cfg.m_SetMark1Offset_Y = c.s1y;
        cfg.m_SetMark2Offset_X = c.s2x, cfg.m_SetMark2Offset_Y = c.s2y;
        const TwoMarkResult r = RunTwoMarkTest(cfg);
        ASSERT_FALSE(r.tooShort);
        EXPECT_EQ(FormatMm(r.angleOld) + " " + FormatMm(r.angleNew) + " " + FormatMm(r.x) + " " + FormatMm(r.y),
                  c.expect);
    }
}

} // namespace
