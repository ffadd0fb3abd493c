// The PCB section of the project file, through the document's own reader and writer.
#include <gtest/gtest.h>

#include "app/document.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/pcb_editor.h"
#include "joblist/run_board.h"
#include "settings/pulse_settings.h"
#include "own_job.h"
#include "test_support.h"

using namespace smt;
using smt::test::TempDir;
using Lines = std::vector<std::string>;

namespace {

PartRow Row(const std::string& n, const std::string& place, const std::string& vision) {
    PartRow r;
    for (int c = 0; c < kPartRowCells; ++c) r[c] = n + "." + std::to_string(c);
    r[kPlaceCell] = place;
    r[kVisionCell] = vision;
    return r;
}

PcbRecord Record(const std::string& name, int rows, int cols) {
    PcbRecord r;
    r.m_PcbName = name;
    r.m_PcbDescription = name + " board";
    r.m_PanelRows = rows;
    r.m_PanelCols = cols;
    r.m_RowPitch = 10.123456;  // four decimals survive
    r.m_ColPitch = -20.5;
    r.m_Thickness = 1.6;
    r.m_OriginX = 100.25;
    r.m_OriginY = -50.75;
    r.m_MarkEnable = 1;
    r.m_Mark1X = 1, r.m_Mark1Y = 2, r.m_Mark2X = 30, r.m_Mark2Y = 40;
    r.m_VisualZoom = 18, r.m_ImageColorReversal = 1, r.m_VisualBox = 2.5, r.m_MarkDiameter = 1;
    r.m_LightContrast = 190, r.m_LightBrightness = 100, r.m_VisualTimes = 3, r.m_MarkCollectTime = 200;
    r.m_SpecialMark2 = 1, r.m_Mark2LightContrast = 150, r.m_Mark2LightBrightness = 99, r.m_SubBoardMark = 1;
    for (int i = 0; i < rows; ++i) {
        std::vector<std::string> row{"0/" + std::to_string(i + 1)};
        for (int c = 1; c <= cols; ++c) row.push_back((c % 2 ? "1/" : "0/") + std::to_string(i * cols + c));
        r.m_PanelGrid.push_back(row);
    }
    return r;
}

// Writes a project whose section is exactly `lines`.
struct RawJob : smt::test::OwnJob {
    std::string name;
    int count = 0;
    Lines lines;
    int PcbRecordCount() const override { return count; }
    std::string CurrentPcbName() const override { return name; }
    Lines BuildPcbSection() override { return lines; }
};

std::string Param15(const std::string& name, int partRows) {
    return name + "\tdesc\t0\t0\t1.5\t2.5\t1.6\t10\t20\t1\t1\t2\t3\t4\t" + std::to_string(partRows) + "\t";
}
std::string Param26(const std::string& name, int partRows) {
    return name + "\t\t1\t2\t0\t0\t0\t0\t0\t1\t0\t0\t0\t0\t18.0\t1\t3.0\t1.2\t11\t22\t4\t250.9\t1\t33.7\t44\t" +
           std::to_string(partRows) + "\t";
}

} // namespace

TEST(PcbSection, TwoPcbJobRoundTripsThroughTheProjectFile) {
    TempDir dir;
    smt::test::OwnJob job;
    PcbEditor& pcb = job.Pcb();
    PcbRecord a = Record("A", 2, 3), b = Record("B", 1, 1);
    a.m_PartRows = {Row("a1", "1/Yes", "0/No")};
    b.m_PartRows = {Row("stale", "1/Yes", "1/Yes")};
    pcb.m_PcbRecords = {a, b};
    pcb.m_CurrentPcbName = "B";
    // The placement list is the live copy of B's rows: it is what the save stores.
    job.SetPlacementRows({ItemFromStoredRow(Row("b1", "1/Yes", "0/No")), ItemFromStoredRow(Row("b2", "0/No", "1/Yes"))});
    const auto listed = job.PlacementRows();
    ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), job, 0).ok);

    const Lines section = job.BuildPcbSection();
    ASSERT_EQ(section.size(), 1u + 2 + 1 + 1 + 1 + 2);
    // 30 TABs, the three "-" fields, then the part-row count.
    EXPECT_EQ(std::count(section[0].begin(), section[0].end(), '\t'), 30);
    EXPECT_TRUE(section[0].ends_with("\t1\t-\t-\t-\t1\t")) << section[0];
    EXPECT_TRUE(section[0].starts_with("A\tA board\t2\t3\t10.1235\t-20.5000\t1.6000\t100.2500\t-50.7500\t1\t")) << section[0];
    EXPECT_EQ(section[1], "0/1\t1/1\t0/2\t1/3\t");
    EXPECT_TRUE(section[4].ends_with("\t-\t-\t-\t2\t"));

    smt::test::OwnJob back;
    ASSERT_TRUE(ReadProjectFiles(dir.File("job.smt"), back, 0).ok);
    EXPECT_EQ(back.CurrentPcbName(), "B");
    ASSERT_EQ(back.PcbRecordCount(), 2);
    a.m_RowPitch = 10.1235;
    b.m_RowPitch = 10.1235;
    b.m_PartRows = {Row("b1", "1/Yes", "0/No"), Row("b2", "0/No", "1/Yes")};
    EXPECT_EQ(back.Pcb().m_PcbRecords[0], a);
    EXPECT_EQ(back.Pcb().m_PcbRecords[1], b);
    EXPECT_EQ(back.PlacementRows(), listed);
    EXPECT_EQ(back.PlacementRows()[0].cells[kPlaceCell], "Yes");
    EXPECT_TRUE(back.PlacementRows()[0].place);
    EXPECT_FALSE(back.PlacementRows()[0].vision);
    EXPECT_EQ(back.BuildPcbSection(), section);
}

TEST(PcbSection, OlderLayoutsFlagsAndUnmatchedNames) {
    struct Case {
        const char* what;
        std::string current;
        Lines lines;
        int count;
        std::string shown;           // current name after the load
        int partRows;                // of the shown record
        double visualBox;            // editor field after the load (2.0 kept when not read)
        int subBoardMark, markCollect, mark2Contrast;
        PlacementItem first;
    };
    auto item = [](Lines cells, bool place, bool vision) {
        PlacementItem it;
        for (std::size_t c = 0; c < cells.size(); ++c) it.cells[c] = cells[c];
        it.place = place;
        it.vision = vision;
        return it;
    };
    const Case cases[] = {
        {"15 TABs: 14 fields and the count; camera fields untouched", "P", {Param15("P", 1), "1\tx\t\t\t\t\t\t1/Yes\t\t\t0/No\t"}, 1, "P",
         1, 2.0, 0, 200, 150, item({"1", "x", "", "", "", "", "", "Yes", "", "", "No"}, true, false)},
        {"26 TABs: no per-board marks, the 26th field is the count; decimals truncated", "P",
         {Param26("P", 1), "0/1\t1/1\t0/2\t", "1\t\t\t\t\t\t\tYes\t\t\tNo\t"}, 1, "P", 1, 3.0, 0, 250, 33,
         item({"1", "", "", "", "", "", "", "Yes", "", "", "No"}, false, false)},
        {"a name that matches no record shows and becomes record 0", "gone", {Param15("first", 0), Param15("second", 1), "9\t"}, 2,
         "first", 0, 2.0, 0, 200, 150, PlacementItem{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        RawJob raw;
        raw.name = c.current;
        raw.count = c.count;
        raw.lines = c.lines;
        ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), raw, 0).ok);
        smt::test::OwnJob back;
        ASSERT_TRUE(ReadProjectFiles(dir.File("job.smt"), back, 0).ok);
        EXPECT_EQ(back.CurrentPcbName(), c.shown);
        EXPECT_EQ(back.Pcb().FindPcbIndex(), 0);
        ASSERT_EQ(static_cast<int>(back.PlacementRows().size()), c.partRows);
        if (c.partRows) {
            EXPECT_EQ(back.PlacementRows()[0], c.first);
        }
        const PcbEditFields& f = back.Pcb().m_Fields;
        EXPECT_EQ(f.m_VisualBox, c.visualBox);
        EXPECT_EQ(f.m_SubBoardMark, c.subBoardMark);
        EXPECT_EQ(f.m_MarkCollectTime, c.markCollect);
        EXPECT_EQ(f.m_Mark2LightContrast, c.mark2Contrast);
        EXPECT_EQ(f.m_OriginX, c.lines[0].find("\tdesc\t") != std::string::npos ? 10 : 0);
        // The next save keeps the shown rows under the shown record.
        const Lines again = back.BuildPcbSection();
        EXPECT_EQ(std::count(again[0].begin(), again[0].end(), '\t'), 30);
    }
}

namespace {

// Every field the editor shows of a record, in one line.
std::string Shown(const PcbEditFields& f) {
    return FormatC("%s|%s|%d %d|%.4f %.4f %.4f|%.4f %.4f|%d|%.4f %.4f %.4f %.4f|%d %.4f %.4f|%d %d %d %d|%d %d %d|%d",
                   f.m_PcbName.c_str(), f.m_PcbDescription.c_str(), f.m_PanelRows, f.m_PanelCols, f.m_RowPitch,
                   f.m_ColPitch, f.m_Thickness, f.m_OriginX, f.m_OriginY, f.m_MarkEnable, f.m_Mark1X, f.m_Mark1Y,
                   f.m_Mark2X, f.m_Mark2Y, f.m_ImageColorReversal, f.m_VisualBox, f.m_MarkDiameter,
                   f.m_LightContrast, f.m_LightBrightness, f.m_VisualTimes, f.m_MarkCollectTime, f.m_SpecialMark2,
                   f.m_Mark2LightContrast, f.m_Mark2LightBrightness, f.m_SubBoardMark);
}

} // namespace

// A loaded job shows its current PCB's settings, and choosing another PCB in the
// editor shows that one's, camera and sub-board marks included.
TEST(PcbSection, LoadedAndChosenPcbsShowEveryOneOfTheirFields) {
    TempDir dir;
    smt::test::OwnJob job;
    PcbEditor& pcb = job.Pcb();
    PcbRecord a = Record("A", 1, 2), b = Record("B", 0, 0);
    a.m_SubBoardMark = 0, a.m_SpecialMark2 = 0, a.m_ImageColorReversal = 0;
    b.m_PcbDescription = "second", b.m_RowPitch = 7.5, b.m_ColPitch = 8.25, b.m_Thickness = 0.8;
    b.m_OriginX = -3.5, b.m_OriginY = 4.75, b.m_Mark1X = 11, b.m_Mark1Y = -12, b.m_Mark2X = 130, b.m_Mark2Y = -140;
    b.m_VisualBox = 3.25, b.m_MarkDiameter = 1.5, b.m_LightContrast = 171, b.m_LightBrightness = 82;
    b.m_VisualTimes = 5, b.m_MarkCollectTime = 333, b.m_Mark2LightContrast = 144, b.m_Mark2LightBrightness = 66;
    pcb.m_PcbRecords = {a, b};
    pcb.m_CurrentPcbName = "B";
    ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), job, 0).ok);

    smt::test::OwnJob back;
    ASSERT_TRUE(ReadProjectFiles(dir.File("job.smt"), back, 0).ok);
    PcbEditor& e = back.Pcb();
    const std::string shownB =
        "B|second|0 0|7.5000 8.2500 0.8000|-3.5000 4.7500|1|11.0000 -12.0000 130.0000 -140.0000|1 3.2500 1.5000|"
        "171 82 5 333|1 144 66|1";
    const std::string shownA =
        "A|A board|1 2|10.1235 -20.5000 1.6000|100.2500 -50.7500|1|1.0000 2.0000 30.0000 40.0000|0 2.5000 1.0000|"
        "190 100 3 200|0 150 99|0";
    EXPECT_EQ(Shown(e.m_Fields), shownB);
    e.Open();
    e.Select(0);
    EXPECT_EQ(Shown(e.m_Fields), shownA);
    e.Select(1);
    EXPECT_EQ(Shown(e.m_Fields), shownB);
}

TEST(PcbSection, ShortSectionsAndAbsurdCountsFailKeepingEarlierRecords) {
    struct Case {
        const char* what;
        Lines lines;
        int count;
        int kept;
    };
    const std::string good = Param15("ok", 1);
    const Case cases[] = {
        {"fewer parameter lines than records", {good, "row\t"}, 3, 1},
        {"part rows past the end", {good, "row\t", Param15("cut", 5), "1\t", "2\t"}, 2, 1},
        {"absurd part-row count", {Param15("huge", 2000000000), "1\t"}, 1, 0},
        {"panel rows past the end", {"g\t\t3\t2\t", "0/1\t1/1\t1/2\t"}, 1, 0},
        {"absurd panel rows", {good, "row\t", "g\t\t2000000000\t2\t"}, 2, 1},
        {"columns beyond 1000", {"g\t\t1\t1001\t", "0/1\t"}, 1, 0},
        {"absurd record count", {good, "row\t"}, 2000000000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        RawJob raw;
        raw.name = "ok";
        raw.count = c.count;
        raw.lines = c.lines;
        ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), raw, 0).ok);
        smt::test::OwnJob back;
        const FileResult r = ReadProjectFiles(dir.File("job.smt"), back, 0);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find("job.smt"), std::string::npos) << r.message;
        // A failed open takes nothing of the file; the section reader itself keeps
        // the records read before the fault.
        EXPECT_EQ(back.PcbRecordCount(), 0);
        std::vector<PcbRecord> records;
        EXPECT_THROW(ParseSectionLines(c.lines, c.count, records), std::invalid_argument);
        EXPECT_EQ(static_cast<int>(records.size()), c.kept);
    }
    // Extra fields in grid or part-row lines are ignored; a negative count reads as none.
    PcbEditor pcb;
    pcb.ParsePcbSection("g", 1, {"g\t\t1\t1\t", "0/1\t1/1\textra\t"});
    ASSERT_EQ(pcb.m_PcbRecords[0].m_PanelGrid.size(), 1u);
    EXPECT_EQ(pcb.m_PcbRecords[0].m_PanelGrid[0], (Lines{"0/1", "1/1"}));
    // Columns without rows make no grid, however many they are.
    PcbEditor wide;
    wide.ParsePcbSection("w", 1, {"w\t\t0\t2147483647\t"});
    EXPECT_TRUE(wide.m_PcbRecords[0].m_PanelGrid.empty());
    EXPECT_EQ(wide.m_PcbRecords[0].m_PanelCols, 2147483647);
    PcbEditor none;
    none.ParsePcbSection("x", -1, {"x\t"});
    EXPECT_EQ(none.PcbRecordCount(), 0);
    EXPECT_EQ(none.CurrentPcbName(), "x");
}

// The bytes of a project whose section is `lines`, each an 8-bit archive string (a
// short one has one length byte, so an empty line costs one byte of the file).
std::string EightBitProject(const Lines& lines) {
    std::string out = std::string("\x01") + "A" + std::string("\x01\0\0\0", 4);
    const auto n = static_cast<std::uint32_t>(lines.size());
    for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
    for (const std::string& l : lines) {
        if (l.size() < 0xFF) {
            out += static_cast<char>(l.size());
        } else {  // FF and a 16-bit length
            out += '\xFF';
            out += static_cast<char>(l.size() & 0xFF);
            out += static_cast<char>(l.size() >> 8);
        }
        out += l;
    }
    return out;
}

// A damaged project of about 100 KB whose record claims a panel of 1000 columns over
// one-byte lines would take gigabytes as grid cells: the section holds fewer bytes
// than the grid would hold cells, so it is refused as damaged. A panel written whole
// (every cell ends in a TAB) is always within what its lines hold.
TEST(PcbSection, PanelsLargerThanTheSectionHoldsAreRefused) {
    auto claim = [](int rows, int cols, const std::string& line) {
        Lines l{"P\t\t" + std::to_string(rows) + "\t" + std::to_string(cols) + "\t"};
        l.insert(l.end(), static_cast<std::size_t>(rows), line);
        return l;
    };
    Lines written = claim(3, 1000, "");
    for (std::size_t i = 1; i < written.size(); ++i) written[i] = std::string(1001, '\t');
    Lines secondOver = written;  // the first record takes nearly all the section holds
    const Lines two = claim(2, 1000, "x");
    secondOver.insert(secondOver.end(), two.begin(), two.end());
    struct Case {
        const char* what;
        Lines lines;
        int count;
        bool ok;
        int kept;
    };
    const Case cases[] = {
        {"100 KB of one-byte lines under 1000 columns", claim(100000, 1000, ""), 1, false, 0},
        {"3000 two-byte lines under 1000 columns", claim(3000, 1000, "x"), 1, false, 0},
        {"1000 columns written whole", written, 1, true, 1},
        {"a second record beyond what the first left", secondOver, 2, false, 1},
        {"a short grid within the section's bytes", claim(2, 3, "0/1\t"), 1, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string bytes = EightBitProject(c.lines);
        bytes[2] = static_cast<char>(c.count);
        smt::test::WriteBytes(dir.File("job.smt"), bytes);
        smt::test::OwnJob back;
        const FileResult r = ReadProjectFiles(dir.File("job.smt"), back, 0);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(back.PcbRecordCount(), c.ok ? c.kept : 0);
        if (!c.ok) {
            EXPECT_NE(r.message.find("The file ends early or is damaged: " + dir.File("job.smt")), std::string::npos)
                << r.message;
        }
        EXPECT_EQ(CheckProjectFiles(dir.File("job.smt"), back, 0).ok, c.ok);
    }
}

TEST(PcbSection, ShowArrayPositionPerLanguage) {
    ThePulseFactors().m_X_Pulse = 100;
    ThePulseFactors().m_Y_Pulse = 200;
    struct Case {
        int language;
        Lines gridRow0, gridRow1;
        std::string position, count;
    };
    const Case cases[] = {
        {0, {"0/1", "0/1", "0/2"}, {"0/2", "0/3", "1/4"}, "A拼板：第 2 行第 2 列", "数量：1 × 2"},
        {1, {"0/1", "1/1", "1/2"}, {"0/2", "1/3", "0/4"}, "AArray：Row 1 Col 1 ", "数量：3 × 2"},
        {2, {"0/1", "1/1", "0/2"}, {"0/2", "0/3", "0/4"}, "A", "数量：1 × 2"},
        // Cells without "/" are not in use; the default cell is row 1 column 1.
        {0, {"0/1", "1", "x"}, {"0/2", "", "0/4"}, "A拼板：第 1 行第 1 列", "数量：0 × 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        g_LanguageIndex = c.language;
        PcbEditor pcb;
        std::string shown;
        pcb.m_PlacementList.showStatics = [&](const std::string& p, const std::string& n) { shown = p + "|" + n; };
        PcbRecord r = Record("A", 2, 2);
        r.m_PanelGrid = {c.gridRow0, c.gridRow1};
        r.m_PartRows = {Row("1", "1/Yes", "1/Yes"), Row("2", "1/Yes", "1/Yes")};
        pcb.m_PcbRecords = {r};
        pcb.m_CurrentPcbName = "A";
        EXPECT_FALSE(pcb.ShowArrayPosition(0));
        EXPECT_EQ(shown, c.position + "|" + c.count);
        const RunBoardState s = CopyRunBoard();
        EXPECT_EQ(s.g_RunPanelGrid.size(), 4u);
        EXPECT_EQ(s.g_RunOriginPulseX, 10025);
        EXPECT_EQ(s.g_RunOriginPulseY, -10150);
        EXPECT_EQ(s.g_RunMark1AbsPulseX, ToPulses(101.25, 100));
        EXPECT_EQ(s.g_RunMark2PulseY, 8000);
    }
    g_LanguageIndex = 0;
    ThePulseFactors() = PulseFactors{};
}

// Part rows are held to the section's bytes as the panels are: a damaged job of
// one-byte lines claiming as many part rows (a million of them took 1.65 GB and
// was saved back 44 times larger) is refused as damaged, while rows written whole
// (a TAB after each of the 16 cells) always fit, with any panel beside them.
TEST(PcbSection, PartRowsBeyondWhatTheSectionHoldsAreRefused) {
    auto claim = [](int rows, const std::string& line, const Lines& before = {}) {
        Lines l = before;
        l.push_back(Param15("P", rows));
        l.insert(l.end(), static_cast<std::size_t>(rows), line);
        return l;
    };
    const std::string whole(16, '\t');
    const Lines panel{"G\t\t2\t3\t", "0/1\t1/1\t1/2\t1/3\t", "0/2\t1/4\t1/5\t1/6\t"};
    struct Case {
        const char* what;
        Lines lines;
        int count;
        bool ok;
    };
    const Case cases[] = {
        {"100000 empty lines as part rows", claim(100000, ""), 1, false},
        {"3000 rows of three cells", claim(3000, "a\tb\t"), 1, false},
        {"3000 rows written whole", claim(3000, whole), 1, true},
        {"rows written whole after a panel", claim(50, whole, panel), 2, true},
        {"a second record's rows beyond what the first left", claim(40, "", claim(60, whole)), 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<PcbRecord> records;
        if (c.ok) {
            EXPECT_NO_THROW(ParseSectionLines(c.lines, c.count, records));
            EXPECT_EQ(static_cast<int>(records.size()), c.count);
        } else {
            EXPECT_THROW(ParseSectionLines(c.lines, c.count, records), std::invalid_argument);
        }
        // Through the project file: refused as damaged, or read and saved back no
        // larger than a small multiple of what was read.
        TempDir dir;
        smt::test::WriteBytes(dir.File("job.smt"), EightBitProject(c.lines).replace(2, 1, 1, static_cast<char>(c.count)));
        smt::test::OwnJob back;
        const FileResult r = ReadProjectFiles(dir.File("job.smt"), back, 0);
        EXPECT_EQ(r.ok, c.ok) << r.message;
        EXPECT_EQ(CheckProjectFiles(dir.File("job.smt"), back, 0).ok, c.ok);
        if (!c.ok) continue;
        ASSERT_TRUE(WriteProjectFiles(dir.File("back.smt"), back, 0).ok);
        EXPECT_LT(smt::test::ReadBytes(dir.File("back.smt")).size(),
                  4 * smt::test::ReadBytes(dir.File("job.smt")).size());
    }
}
