#include <filesystem>
#include <new>
#include <stdexcept>
#include <gtest/gtest.h>

#include "app/document.h"
#include "base/globals.h"
#include "joblist/job_lists.h"
#include "platform/files.h"
#include "alloc_probe.h"
#include "test_support.h"

using namespace smt;
using smt::test::Hex;
using smt::test::ReadBytes;
using smt::test::ScriptedResponder;
using smt::test::TempDir;
using smt::test::ToHex;
using smt::test::WriteBytes;
using plat::FileExists;
using plat::MsgAnswer;
using Lines = std::vector<std::string>;

namespace {

Lines LampLines(int n) {
    Lines v;
    for (int i = 0; i < n; ++i) v.push_back("L" + std::to_string(i) + "\t1.0000\t");
    return v;
}

// The job lists on a row store of their own.
class TestJob : public JobLists {
public:
    TestJob() : JobLists(m_own) {}
    void Sample() {
        // Oldest parameter layout (15 TABs, the last the part-row count): PCB1 with two rows.
        SetJob("PCB1", 2, {"PCB1\t\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t2\t", "1\tr1\t", "2\tr2\t", "PCB2\t"});
        m_own.ParseDisLines({"d1\t", "d2\t"}, 0);
        m_own.ParseDrillLines({"h1\t"});
    }
    void Clear() {
        SetJob("", 0, {});
        FreeDisRows();
        FreeDrillRows();
    }
    int PlacementRows() const { return m_own.RowCount(JobList::Part); }

private:
    PartListStore m_own;
};

struct SampleJob : TestJob {
    SampleJob() { Sample(); }
};

// A document holding the sample job, its file dialogs and panels scripted.
struct DocFixture {
    TempDir dir;
    SampleJob job;
    Lines events;
    std::string nextSavePath;
    std::unique_ptr<CSMTDoc> doc;

    DocFixture() {
        CSMTDoc::Hooks h;
        h.startFolder = dir.Path();
        h.ensurePanels = [this] { events.push_back("panels"); };
        h.feedListExists = [] { return true; };
        h.writeFeedGroupTable = [this] { events.push_back("feedGroups"); };
        h.saveLibraryConfig = [this] { events.push_back("libraryConfig"); };
        h.askSavePath = [this](const std::string&) { events.push_back("ask"); return nextSavePath; };
        h.showPath = [this](const std::string& p) { events.push_back("path " + p); };
        doc = std::make_unique<CSMTDoc>(job, std::move(h));
    }
};

} // namespace

TEST(ProjectFiles, RoundTripWithCompanionsPerMachineType) {
    g_LampTableLines = LampLines(20);
    for (int type : {0, 4, 9}) {
        SCOPED_TRACE(type);
        TempDir dir;
        // Old drill and lamp files (the lamp one damaged): other machine types neither rewrite nor read them.
        const std::string oldDrill = Hex("01 00 00 00 FF FE FF 01 78 00");
        WriteBytes(dir.File("job.drill"), oldDrill);
        WriteBytes(dir.File("job.txt"), "old");
        SampleJob job;
        ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), job, type).ok);
        EXPECT_EQ(ToHex(ReadBytes(dir.File("job.smt")).substr(0, 20)),
                  ToHex(Hex("FF FE FF 04 50 00 43 00 42 00 31 00  02 00 00 00  04 00 00 00")));
        // Each dispensing line holds its 15 cells, every one closed by a tab.
        const std::string tabs = " 09 00 09 00 09 00 09 00 09 00 09 00 09 00 09 00 09 00 09 00 09 00 09 00 09 00 09 00 09 00";
        EXPECT_EQ(ToHex(ReadBytes(dir.File("job.dis"))),
                  ToHex(Hex("02 00 00 00 FF FE FF 11 64 00 31 00" + tabs + " FF FE FF 11 64 00 32 00" + tabs)));
        EXPECT_EQ(ReadBytes(dir.File("job.drill")) == oldDrill, type != 9);
        EXPECT_EQ(ReadBytes(dir.File("job.txt")) == "old", type != 4);
        if (type == 4) {  // exactly 20 strings, no count in front
            EXPECT_EQ(ReadBytes(dir.File("job.txt")).substr(0, 4), Hex("FF FE FF 0A"));
        }
        TestJob back;
        g_LampTableLines.clear();
        ASSERT_TRUE(ReadProjectFiles(dir.File("job.smt"), back, type).ok);
        EXPECT_EQ(back.CurrentPcbName(), "PCB1");
        EXPECT_EQ(back.PcbRecordCount(), 2);
        EXPECT_EQ(back.BuildPcbSection(), job.BuildPcbSection());
        EXPECT_EQ(back.PlacementRows(), 2);
        EXPECT_EQ(back.BuildDisLines(), (Lines{"d1" + std::string(15, '\t'), "d2" + std::string(15, '\t')}));
        EXPECT_EQ(back.DrillCount(), type == 9 ? 1 : 0);
        EXPECT_EQ(g_LampTableLines, type == 4 ? LampLines(20) : Lines{});
        if (type == 4) {
            EXPECT_EQ(g_LampTable[3 * kLampCells + 0], "L3");
            EXPECT_EQ(g_LampTable[3 * kLampCells + 1], "1.0000");
        }
        g_LampTableLines = LampLines(20);
    }
}

TEST(ProjectFiles, CompanionNames) {
    // A folder named like a project does not send companions elsewhere; ".smt" must follow the first character.
    for (auto [path, base] : {std::pair{"/d/job.smt", "/d/job"}, {"/d/a.smt.bak.smt", "/d/a"}, {"a.smt.bak.smt", "a"},
                              {"/d/x.smt/job.smt", "/d/x.smt/job"}, {"/d/x.smt/job", ""},
                              {"C:\\d\\x.smt\\job.smt", "C:\\d\\x.smt\\job"}, {"/d/.smt", ""}, {"/d/job.SMT", ""}})
        EXPECT_EQ(CompanionBase(path), base) << path;
    TempDir dir;
    ASSERT_TRUE(plat::MakeDirectory(dir.File("x.smt")));
    SampleJob job;
    ASSERT_TRUE(WriteProjectFiles(dir.File("x.smt/job.smt"), job, 0).ok);
    EXPECT_TRUE(FileExists(dir.File("x.smt/job.dis")));
    EXPECT_FALSE(FileExists(dir.File("x.dis")));
    // Without ".smt" in the name, or without dispensing rows and an old companion, none is written.
    ASSERT_TRUE(WriteProjectFiles(dir.File("plain"), job, 0).ok);
    EXPECT_FALSE(FileExists(dir.File("plain.dis")));
    job.FreeDisRows();
    ASSERT_TRUE(WriteProjectFiles(dir.File("nodis.smt"), job, 0).ok);
    EXPECT_FALSE(FileExists(dir.File("nodis.dis")));
}

TEST(ProjectFiles, EmptiedListRewritesItsOldCompanion) {
    TempDir dir;
    SampleJob job;
    ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), job, 9).ok);
    job.FreeDisRows();
    job.FreeDrillRows();
    ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), job, 9).ok);
    EXPECT_EQ(ReadBytes(dir.File("job.dis")), Hex("00 00 00 00"));
    EXPECT_EQ(ReadBytes(dir.File("job.drill")), Hex("00 00 00 00"));
    TestJob back;
    back.Store().ParseDisLines({"stale\t"}, 0);
    ASSERT_TRUE(ReadProjectFiles(dir.File("job.smt"), back, 9).ok);
    EXPECT_EQ(back.DisCount(), 0);
    EXPECT_EQ(back.DrillCount(), 0);
}

TEST(ProjectFiles, ShortOrDamagedFiles) {
    TempDir dir;
    g_LampTableLines = LampLines(20);
    SampleJob job;
    ASSERT_TRUE(WriteProjectFiles(dir.File("job.smt"), job, 4).ok);
    // A lamp file of 19 strings fails after the project and the other companions loaded.
    std::string txt;
    for (int i = 0; i < 19; ++i) txt += Hex("FF FE FF 01 41 00");
    WriteBytes(dir.File("job.txt"), txt);
    TestJob back;
    const FileResult r = ReadProjectFiles(dir.File("job.smt"), back, 4);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("job.txt"), std::string::npos);
    // Nothing of a job that cannot be read whole is taken.
    EXPECT_EQ(back.PcbRecordCount(), 0);
    EXPECT_EQ(back.DisCount(), 0);
    EXPECT_EQ(g_LampTableLines, LampLines(20));
    // Fewer than 20 lamp lines in memory and a companion that cannot be written: the
    // job and every other companion are saved, the two missed ones named in one message.
    g_LampTableLines = LampLines(5);
    std::filesystem::create_directory(dir.File("other.dis"));
    WriteBytes(dir.File("other.dis/x"), "x");
    const FileResult partial = WriteProjectFiles(dir.File("other.smt"), job, 4);
    EXPECT_TRUE(partial.ok);
    EXPECT_TRUE(FileExists(dir.File("other.smt")));
    EXPECT_FALSE(FileExists(dir.File("other.txt")));
    EXPECT_NE(partial.message.find(dir.File("other.txt")), std::string::npos) << partial.message;
    EXPECT_NE(partial.message.find(dir.File("other.dis")), std::string::npos) << partial.message;
    g_LampTableLines = LampLines(20);
    // A project cut short.
    const std::string full = ReadBytes(dir.File("job.smt"));
    for (std::size_t cut : {std::size_t(0), std::size_t(3), std::size_t(13), full.size() - 1}) {
        WriteBytes(dir.File("cut.smt"), full.substr(0, cut));
        TestJob p;
        EXPECT_FALSE(ReadProjectFiles(dir.File("cut.smt"), p, 0).ok) << cut;
    }
    // A dispensing companion with a count past its strings fails; a negative count reads as no rows.
    TestJob p;
    WriteBytes(dir.File("job.dis"), Hex("05 00 00 00 FF FE FF 01 41 00"));
    EXPECT_FALSE(ReadProjectFiles(dir.File("job.smt"), p, 0).ok);
    WriteBytes(dir.File("job.dis"), Hex("FF FF FF FF"));
    EXPECT_TRUE(ReadProjectFiles(dir.File("job.smt"), p, 0).ok);
    EXPECT_EQ(p.DisCount(), 0);
}

TEST(Document, FailedOpenLeavesTheDocumentUntitled) {
    DocFixture f;
    ScriptedResponder boxes;
    ASSERT_TRUE(f.doc->OnSaveDocument(f.dir.File("good.smt")));
    EXPECT_EQ(f.doc->PathName(), f.dir.File("good.smt"));
    EXPECT_EQ(f.doc->DisPath(), f.dir.File("good.dis"));
    // A missing file changes nothing.
    EXPECT_FALSE(f.doc->OnOpenDocument(f.dir.File("missing.smt")));
    EXPECT_EQ(f.doc->PathName(), f.dir.File("good.smt"));
    EXPECT_EQ(f.job.PcbRecordCount(), 2);
    // A damaged file is refused before it replaces anything: Save still lands the
    // unchanged job on good.smt.
    WriteBytes(f.dir.File("bad.smt"), Hex("FF FE FF 01 41 00 01 00 00 00 09 00 00 00"));
    const std::string goodBytes = ReadBytes(f.dir.File("good.smt"));
    EXPECT_FALSE(f.doc->OnOpenDocument(f.dir.File("bad.smt")));
    EXPECT_EQ(f.doc->PathName(), f.dir.File("good.smt"));
    EXPECT_EQ(f.job.PcbRecordCount(), 2);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_TRUE(f.doc->DoFileSave());
    EXPECT_EQ(ReadBytes(f.dir.File("good.smt")), goodBytes);
    ASSERT_TRUE(f.doc->OnOpenDocument(f.dir.File("good.smt")));
    EXPECT_EQ(f.events.back(), "path " + f.dir.File("good.smt"));
}

namespace {

// A job whose reader fails although the files passed the open's check (as when they
// change in between, or memory runs out): a `Fault` is thrown from the parse, and
// the take refuses the job.
struct TooLong : std::length_error {
    TooLong() : std::length_error("too long") {}
};
template <typename Fault>
struct FailingJob : SampleJob {
    void ParsePcbSection(const std::string&, std::int32_t, const Lines&) override { throw Fault(); }
    void TakeJob(JobContent) override { throw Fault(); }
};

struct FailingDoc {
    TempDir dir;
    FailingJob<std::bad_alloc> job;
    std::unique_ptr<CSMTDoc> doc;
    FailingDoc() {
        CSMTDoc::Hooks h;
        h.startFolder = dir.Path();
        h.askSavePath = [](const std::string&) { return std::string(); };
        doc = std::make_unique<CSMTDoc>(job, std::move(h));
    }
};

} // namespace

// Files that cannot be read whole (a section cut short, a panel claiming more cells
// than the file holds bytes, a damaged companion) end in the failed open's message
// with the open job, its lists and its path as they were.
TEST(Document, FilesThatCannotBeReadWholeLeaveTheOpenJobUntouched) {
    DocFixture f;
    ScriptedResponder boxes;
    ASSERT_TRUE(f.doc->OnSaveDocument(f.dir.File("good.smt")));
    const std::string goodBytes = ReadBytes(f.dir.File("good.smt"));
    // 8-bit strings: name "A", one record, 3001 lines: a 1000-column panel of 3000
    // rows over empty lines (96 MB of cells from a 3 KB file).
    std::string wide = Hex("01 41 01 00 00 00 B9 0B 00 00");
    const std::string param = "P\t\t3000\t1000\t";
    wide += static_cast<char>(param.size()) + param + std::string(3000, '\0');
    struct Case {
        const char* what;
        std::string name, smt, dis;
    };
    const Case cases[] = {
        {"section cut short", "cut", Hex("FF FE FF 01 41 00 01 00 00 00 09 00 00 00"), ""},
        {"panel beyond the file's bytes", "wide", wide, ""},
        {"dispensing companion cut short", "dis", goodBytes, Hex("05 00 00 00 FF FE FF 01 41 00")},
        // 100000 one-byte empty strings would be 100000 rows of 15 cells each.
        {"dispensing rows beyond the bytes they hold", "rows", goodBytes, Hex("A0 86 01 00") + std::string(100000, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(f.dir.File(c.name + ".smt"), c.smt);
        if (!c.dis.empty()) WriteBytes(f.dir.File(c.name + ".dis"), c.dis);
        const auto before = boxes.Count();
        EXPECT_FALSE(f.doc->OnOpenDocument(f.dir.File(c.name + ".smt")));
        ASSERT_EQ(boxes.Count(), before + 1);
        const std::string damaged = f.dir.File(c.name + (c.dis.empty() ? ".smt" : ".dis"));
        EXPECT_NE(boxes.Texts().back().find("The file ends early or is damaged: " + damaged), std::string::npos)
            << boxes.Texts().back();
        EXPECT_EQ(f.doc->PathName(), f.dir.File("good.smt"));
        EXPECT_EQ(f.doc->DisPath(), f.dir.File("good.dis"));
        EXPECT_EQ(f.job.PcbRecordCount(), 2);
        EXPECT_EQ(f.job.PlacementRows(), 2);
        EXPECT_EQ(f.job.DisCount(), 2);
        EXPECT_EQ(f.job.DrillCount(), 1);
    }
    EXPECT_TRUE(f.doc->DoFileSave());
    EXPECT_EQ(ReadBytes(f.dir.File("good.smt")), goodBytes);

    // A reader that runs out of memory or fails otherwise ends in the same message,
    // never in the end of the program; the job lines, which take a job whole or not
    // at all, keep theirs and the document its path.
    FailingDoc d;
    ASSERT_TRUE(d.doc->OnSaveDocument(d.dir.File("job.smt")));
    const auto before = boxes.Count();
    EXPECT_FALSE(d.doc->OnOpenDocument(d.dir.File("job.smt")));
    ASSERT_EQ(boxes.Count(), before + 1);
    EXPECT_NE(boxes.Texts().back().find("The file ends early or is damaged: " + d.dir.File("job.smt")), std::string::npos);
    EXPECT_EQ(d.doc->PathName(), d.dir.File("job.smt"));
    FailingJob<TooLong> other;
    const FileResult r = ReadProjectFiles(d.dir.File("job.smt"), other, 0);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find(d.dir.File("job.smt")), std::string::npos);
}

TEST(Document, NewAsksOnlyWithRecords) {
    DocFixture f;
    ScriptedResponder boxes;
    f.job.Clear();
    EXPECT_TRUE(f.doc->OnNewDocument());
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(f.events, Lines{"panels"});

    f.job.Sample();
    ASSERT_TRUE(f.doc->OnSaveDocument(f.dir.File("job.smt")));
    boxes.Push(MsgAnswer::Cancel);  // changes nothing
    EXPECT_FALSE(f.doc->OnNewDocument());
    EXPECT_EQ(boxes.Texts().back(), "是否要保存工程文件?\r\nWhether to save the project file?");
    EXPECT_EQ(f.job.PcbRecordCount(), 2);
    EXPECT_EQ(f.job.PlacementRows(), 2);
    EXPECT_EQ(f.doc->PathName(), f.dir.File("job.smt"));
    // No: the placement list is emptied, the records stay (closing asks again).
    boxes.Push(MsgAnswer::No);
    EXPECT_TRUE(f.doc->OnNewDocument());
    EXPECT_EQ(f.job.PcbRecordCount(), 2);
    EXPECT_EQ(f.job.PlacementRows(), 0);
    EXPECT_TRUE(f.doc->IsUntitled());
    // Yes saves everything, then frees the job.
    f.events.clear();
    boxes.Push(MsgAnswer::Yes);
    f.nextSavePath = f.dir.File("saved.smt");
    EXPECT_TRUE(f.doc->OnNewDocument());
    EXPECT_EQ(f.job.PcbRecordCount(), 0);
    EXPECT_TRUE(FileExists(f.dir.File("saved.smt")));
    EXPECT_TRUE(FileExists(f.dir.File("config_feed.fig")));
    EXPECT_TRUE(FileExists(f.dir.File("ConfigBackup/config_dropdown.fig")));
    EXPECT_EQ(f.events, (Lines{"panels", "feedGroups", "libraryConfig", "ask", "path " + f.dir.File("saved.smt")}));
    // Yes with the path question cancelled keeps the job.
    f.job.Sample();
    f.nextSavePath = "";
    boxes.Push(MsgAnswer::Yes);
    EXPECT_FALSE(f.doc->OnNewDocument());
    EXPECT_EQ(f.job.PcbRecordCount(), 2);
}

TEST(Document, FailedFullSaveIsReportedAndTheNextOneSavesAgain) {
    DocFixture f;
    ScriptedResponder boxes;
    // A file where the backup folder should be makes the table save fail.
    WriteBytes(f.dir.File("ConfigBackup"), "in the way");
    f.nextSavePath = f.dir.File("job.smt");
    EXPECT_FALSE(f.doc->SaveAll());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Texts()[0].find("ConfigBackup"), std::string::npos);
    EXPECT_TRUE(CSMTDoc::SaveFlag());
    EXPECT_FALSE(FileExists(f.dir.File("job.smt")));
    // Cleared: the next full save writes the tables and the project.
    std::remove(f.dir.File("ConfigBackup").c_str());
    EXPECT_TRUE(f.doc->SaveAll());
    EXPECT_TRUE(FileExists(f.dir.File("ConfigBackup/config_mark.fig")));
    EXPECT_TRUE(FileExists(f.dir.File("job.smt")));
    EXPECT_TRUE(CSMTDoc::SaveFlag());
    // Without PCB records the project is not saved and no path asked.
    f.job.FreePcbRecords();
    f.events.clear();
    EXPECT_TRUE(f.doc->SaveAll());
    EXPECT_EQ(f.events, (Lines{"feedGroups", "libraryConfig"}));
    // A project that cannot be written is reported and fails the full save.
    f.job.Sample();
    f.doc->OnSaveDocument(f.dir.File("job.smt"));
    std::remove(f.dir.File("job.smt").c_str());
    ASSERT_TRUE(plat::MakeDirectory(f.dir.File("job.smt")));  // a folder in its place
    const auto before = boxes.Count();
    EXPECT_FALSE(f.doc->SaveAll());
    EXPECT_EQ(boxes.Count(), before + 1);
    EXPECT_TRUE(CSMTDoc::SaveFlag());
}

TEST(RecentFiles, FourNewestFirstWithoutDuplicatesAndPersisted) {
    RecentFileList list;
    for (const char* p : {"/a.smt", "/b.smt", "/c.smt", "/d.smt", "/e.smt"}) list.Add(p);
    EXPECT_EQ(list.Entries(), (Lines{"/e.smt", "/d.smt", "/c.smt", "/b.smt"}));
    list.Add("/c.smt");
    EXPECT_EQ(list.Entries(), (Lines{"/c.smt", "/e.smt", "/d.smt", "/b.smt"}));
    TempDir dir;
    ASSERT_TRUE(list.Save(dir.File("SMT.ini")));
    RecentFileList back;
    back.Load(dir.File("SMT.ini"));
    EXPECT_EQ(back.Entries(), list.Entries());
    back.Remove("/e.smt");
    back.Save(dir.File("SMT.ini"));
    RecentFileList again;
    again.Load(dir.File("SMT.ini"));
    EXPECT_EQ(again.Entries(), (Lines{"/c.smt", "/d.smt", "/b.smt"}));
}

namespace {

// The job as its files say it: what a save of it writes, and the lamp lines.
struct JobBytes {
    std::string smt, dis, drill;
    Lines lamp;
    bool operator==(const JobBytes&) const = default;
};
JobBytes SavedBytes(JobLines& job, int type, const std::string& path) {
    EXPECT_TRUE(WriteProjectFiles(path, job, type).ok);
    JobBytes b{ReadBytes(path), ReadBytes(CompanionBase(path) + ".dis"), {}, {}};
    if (type == 9) b.drill = ReadBytes(CompanionBase(path) + ".drill");
    if (type == 4) {
        std::lock_guard lock(LampTableMutex());
        b.lamp = g_LampTableLines;
    }
    return b;
}

} // namespace

// The reader run out of memory at each of its allocations in turn, while another
// job is open: an open that failed leaves the open job byte for byte as it was
// when saved again, and one that went through holds the new job whole.
TEST(Document, AnOpenThatRunsOutOfMemoryAnywhereLeavesTheOpenJobAsItWas) {
    namespace alloc = smt::test::alloc;
    for (int type : {9, 4}) {
        SCOPED_TRACE(type);
        TempDir dir;
        // The open job: two records and its lists; the new one: other records,
        // rows and lists, so any mix shows.
        g_LampTableLines = LampLines(20);
        SampleJob oldJob;
        const JobBytes before = SavedBytes(oldJob, type, dir.File("old.smt"));
        TestJob newJob;
        newJob.SetJob("N2", 3,
                      {"N1\t\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t1\t", "n1\tq\t", "N2\t\t1\t2\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t3\t",
                       "0/1\t1/1\t1/2\t", "a\t", "b\t", "c\t", "N3\t"});
        newJob.Store().ParseDisLines({"e1\t", "e2\t", "e3\t"}, 0);
        newJob.Store().ParseDrillLines({"k1\t", "k2\t"});
        g_LampTableLines = Lines(20, "new\t2.0000\t");
        const JobBytes after = SavedBytes(newJob, type, dir.File("new.smt"));
        ASSERT_NE(before.smt, after.smt);

        bool went = false;
        int failed = 0;
        for (std::int64_t n = 1; !went && n < 100000; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n));
            g_LampTableLines = LampLines(20);
            TestJob open;
            ASSERT_TRUE(ReadProjectFiles(dir.File("old.smt"), open, type).ok);
            const std::string path = dir.File("new.smt");
            alloc::FailAllocation(n);
            const FileResult r = ReadProjectFiles(path, open, type);
            alloc::StopFailing();
            went = !alloc::Fired();
            failed += r.ok ? 0 : 1;
            const JobBytes now = SavedBytes(open, type, dir.File("check.smt"));
            if (r.ok) {
                EXPECT_EQ(now, after);
            } else {
                EXPECT_EQ(now, before);
                EXPECT_NE(r.message.find("The file ends early or is damaged: " + dir.File("new.smt")), std::string::npos);
            }
            if (::testing::Test::HasFailure()) break;
        }
        EXPECT_TRUE(went);
        EXPECT_GT(failed, 10);
    }
    g_LampTableLines.clear();
}
