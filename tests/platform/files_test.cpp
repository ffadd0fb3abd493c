#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <set>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "test_support.h"

using namespace plat;
using smt::test::ReadBytes;
using smt::test::TempDir;
using smt::test::WriteBytes;

namespace {
long entriesIn(const std::string& folder) {
    return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
}
} // namespace

TEST(Files, PathsMatchCaseAndBackslashesAndJoinWithOneSlash) {
    TempDir dir;
    ASSERT_TRUE(MakeDirectory(dir.File("ConfigBackup")));
    WriteBytes(dir.File("ConfigBackup/Config_Speed.fig"), "x");
    const std::string found = dir.File("ConfigBackup/Config_Speed.fig");
    EXPECT_EQ(ResolvePath(dir.Path() + "\\configbackup\\CONFIG_SPEED.FIG"), found);
    EXPECT_EQ(ResolvePath(found), found);
    // A missing file in a found folder keeps its own spelling, so it can be created there.
    EXPECT_EQ(ResolvePath(dir.Path() + "\\CONFIGBACKUP\\New.ini"), dir.File("ConfigBackup/New.ini"));
    // Nothing matches: slashes, as written.
    EXPECT_EQ(ResolvePath(dir.Path() + "\\No\\Such"), dir.File("No/Such"));
    EXPECT_TRUE(FileExists(dir.Path() + "\\CONFIGBACKUP\\config_speed.fig"));
    EXPECT_TRUE(IsDirectory(dir.Path() + "/configbackup"));
    EXPECT_FALSE(IsDirectory(found));
    EXPECT_FALSE(FileExists(dir.File("ConfigBackup")));

    for (auto [folder, name, joined] : {std::tuple{"a", "b.ini", "a/b.ini"}, {"a/", "b.ini", "a/b.ini"},
                                        {"a\\", "\\b.ini", "a\\b.ini"}, {"", "b.ini", "b.ini"}})
        EXPECT_EQ(JoinPath(folder, name), joined);
}

TEST(Files, AtomicWriteReplacesWholeFileKeepsPermissionsAndLeavesNoTemporary) {
    TempDir dir;
    const std::string binary("\x00\xFF\r\n\x01", 5);
    ASSERT_TRUE(WriteFileAtomic(dir.File("a.fig"), std::string(100000, 'x')));
    chmod(dir.File("a.fig").c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(dir.Path() + "\\A.FIG", binary));
    EXPECT_EQ(ReadBytes(dir.File("a.fig")), binary);
    std::string read;
    ASSERT_TRUE(ReadWholeFile(dir.File("A.fig"), read));
    EXPECT_EQ(read, binary);
    EXPECT_EQ(entriesIn(dir.Path()), 1);
    struct stat st;
    ASSERT_EQ(stat(dir.File("a.fig").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    ASSERT_TRUE(WriteFileAtomic(dir.File("empty"), ""));
    ASSERT_TRUE(ReadWholeFile(dir.File("empty"), read));
    EXPECT_TRUE(read.empty());
}

TEST(Files, FailedWriteReportsFalseAndCreatesNothing) {
    TempDir dir;
    EXPECT_FALSE(WriteFileAtomic(dir.File("missing/x.fig"), "data"));
    EXPECT_EQ(entriesIn(dir.Path()), 0);
    // A target that is a folder cannot be replaced: the folder stays, no temporary is left.
    ASSERT_TRUE(MakeDirectory(dir.File("sub")));
    WriteBytes(dir.File("sub/keep"), "k");
    EXPECT_FALSE(WriteFileAtomic(dir.File("sub"), "data"));
    EXPECT_EQ(entriesIn(dir.Path()), 1);
    EXPECT_EQ(ReadBytes(dir.File("sub/keep")), "k");
    std::string read = "old";
    EXPECT_FALSE(ReadWholeFile(dir.File("nothing"), read));
}

TEST(Files, MakeDirectoryCreatesParentsAndAcceptsExisting) {
    TempDir dir;
    EXPECT_TRUE(MakeDirectory(dir.File("a/b/c")));
    EXPECT_TRUE(IsDirectory(dir.File("a/b/c")));
    EXPECT_TRUE(MakeDirectory(dir.Path() + "\\A\\B"));
    EXPECT_EQ(entriesIn(dir.File("a")), 1);
    WriteBytes(dir.File("f"), "");
    EXPECT_FALSE(MakeDirectory(dir.File("f")));
}

// ---- sets of files saved as one ------------------------------------------------------

namespace {

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        names.insert(std::filesystem::relative(e.path(), folder).string());
    return names;
}

// The id of a process that has ended (its files are a killed writer's).
long deadPid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

} // namespace

TEST(FileSets, EveryFileIsReplacedInItsFolderAndNothingElseStays) {
    TempDir dir;
    ASSERT_TRUE(MakeDirectory(dir.File("Backup")));
    WriteBytes(dir.File("JOB.DIS"), "old dis");
    chmod(dir.File("JOB.DIS").c_str(), 0640);
    std::vector<std::size_t> notWritten{7};
    ASSERT_TRUE(WriteFileSet(dir.Path(), {{"job.smt", "smt"}, {"job.dis", "dis"}, {"backup/job.smt", std::string("\0b", 2)}},
                             &notWritten));
    EXPECT_TRUE(notWritten.empty());
    EXPECT_EQ(namesIn(dir.Path()), (std::set<std::string>{"Backup", "Backup/job.smt", "JOB.DIS", "job.smt"}));
    EXPECT_EQ(ReadBytes(dir.File("job.smt")), "smt");
    EXPECT_EQ(ReadBytes(dir.File("JOB.DIS")), "dis");  // the file as it is spelt on disk
    EXPECT_EQ(ReadBytes(dir.File("Backup/job.smt")), std::string("\0b", 2));
    struct stat st;
    ASSERT_EQ(stat(dir.File("JOB.DIS").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(WriteFileSet(dir.Path(), {}));
}

// A required file that cannot be written replaces nothing; an optional one is left out
// and named, the others are written.
TEST(FileSets, RequiredFailureReplacesNothingAnOptionalOneIsLeftOut) {
    struct Case {
        const char* what;
        std::vector<SetFile> files;
        bool ok;
        std::vector<std::size_t> notWritten;
        std::set<std::string> after;
    };
    const Case cases[] = {
        {"required target is a folder", {{"a", "new a"}, {"sub", "x"}, {"b", "new b"}}, false, {1}, {}},
        {"required file in a missing folder", {{"a", "new a"}, {"none/b", "x"}}, false, {1}, {}},
        {"the same file twice", {{"a", "new a"}, {"A", "x"}}, false, {1}, {}},
        {"a name outside the folder", {{"a", "new a"}, {"../a", "x"}}, false, {1}, {}},
        {"optional folder and missing folder", {{"a", "new a"}, {"sub", "x", false}, {"none/c", "y", false}, {"b", "new b"}},
         true, {1, 2}, {"a", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteBytes(dir.File("a"), "old a");
        WriteBytes(dir.File("b"), "old b");
        ASSERT_TRUE(MakeDirectory(dir.File("sub")));
        std::vector<std::size_t> notWritten;
        EXPECT_EQ(WriteFileSet(dir.Path(), c.files, &notWritten), c.ok);
        EXPECT_EQ(notWritten, c.notWritten);
        for (const char* name : {"a", "b"})
            EXPECT_EQ(ReadBytes(dir.File(name)), (c.after.count(name) ? "new " : "old ") + std::string(name)) << name;
        EXPECT_EQ(namesIn(dir.Path()), (std::set<std::string>{"a", "b", "sub"}));  // no temporary, no journal
    }
}

// What a writer killed at each step leaves, and what the next one to open the folder
// makes of it: a complete journal rolls the set forward, anything less rolls it back;
// a live writer's set (its files locked) and names outside the folder are left
// alone. A process id decides nothing: ids repeat, so a set left under this very
// process's id is finished, and a live writer may stand under any id.
TEST(FileSets, InterruptedSetsRollForwardWithAJournalAndBackWithout) {
    const std::string dead = std::to_string(deadPid()), live = std::to_string(getpid());
    const std::string suffix = ".tmp" + dead + "_4";
    const std::string journal = ".saveset" + dead + "_4.journal";
    const std::string complete = "file set 1\n" + suffix + "\nx.smt\nsub/x.fig\nend\n";
    const std::string own = ".tmp" + live + "_4";
    const std::string ownJournal = ".saveset" + live + "_4.journal";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // besides x.smt and sub/x.fig, both "old"
        int finished;
        bool smtNew, figNew;
        std::set<std::string> kept;  // what stays besides the two files
        bool locked = false;         // a live writer holds the files it wrote
    };
    const Case cases[] = {
        {"killed while writing the temporary files", {{"x.smt" + suffix, "new"}, {"sub/x.fig" + suffix, "ne"}}, 0, false, false, {}},
        {"killed while writing the journal",
         {{"x.smt" + suffix, "new"}, {"sub/x.fig" + suffix, "new"}, {journal + ".tmp" + dead + "_5", complete}}, 0, false, false, {}},
        {"journal torn", {{"x.smt" + suffix, "new"}, {"sub/x.fig" + suffix, "new"}, {journal, complete.substr(0, 30)}}, 0, false, false, {}},
        {"killed before the first rename", {{"x.smt" + suffix, "new"}, {"sub/x.fig" + suffix, "new"}, {journal, complete}}, 1, true, true, {}},
        {"killed between the renames", {{"x.smt", "new"}, {"sub/x.fig" + suffix, "new"}, {journal, complete}}, 1, true, true, {}},
        {"killed before the journal went", {{"x.smt", "new"}, {"sub/x.fig", "new"}, {journal, complete}}, 1, true, true, {}},
        {"a live writer's set",
         {{"x.smt" + own, "new"}, {ownJournal, "file set 1\n" + own + "\nx.smt\nend\n"}},
         0, false, false, {"x.smt" + own, ownJournal}, true},
        {"a live writer's set under an id that is gone here (another namespace)",
         {{"x.smt" + suffix, "new"}, {journal, "file set 1\n" + suffix + "\nx.smt\nend\n"}},
         0, false, false, {"x.smt" + suffix, journal}, true},
        {"a set an earlier run left under this very process id",
         {{"x.smt" + own, "new"}, {"sub/x.fig" + own, "new"}, {ownJournal, "file set 1\n" + own + "\nx.smt\nsub/x.fig\nend\n"}},
         1, true, true, {}},
        {"temporary files an earlier run left under this very process id",
         {{"x.smt" + own, "new"}, {"sub/x.fig" + own, "new"}, {ownJournal + ".tmp" + live + "_5", complete}}, 0, false, false, {}},
        {"a journal naming files outside its folder",
         {{"sub/x.fig" + suffix, "new"}, {journal, "file set 1\n" + suffix + "\n../x.smt\nsub/../x.smt\n/x.smt\nsub/x.fig\nend\n"}},
         1, false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        ASSERT_TRUE(MakeDirectory(dir.File("sub")));
        WriteBytes(dir.File("x.smt"), "old");
        WriteBytes(dir.File("sub/x.fig"), "old");
        for (const auto& [name, bytes] : c.files) WriteBytes(dir.File(name), bytes);
        std::vector<int> held;
        if (c.locked)
            for (const auto& f : c.files) {
                held.push_back(::open(dir.File(f.first).c_str(), O_RDONLY | O_CLOEXEC));
                ASSERT_EQ(::flock(held.back(), LOCK_EX), 0);
            }
        // As start-up does: the folder's sets first, then the subfolder's stale files.
        EXPECT_EQ(FinishInterruptedSaves(dir.Path()), c.finished);
        RemoveStaleTempFiles(dir.File("sub"));
        EXPECT_EQ(ReadBytes(dir.File("x.smt")), c.smtNew ? "new" : "old");
        EXPECT_EQ(ReadBytes(dir.File("sub/x.fig")), c.figNew ? "new" : "old");
        std::set<std::string> expected{"sub", "x.smt", "sub/x.fig"};
        expected.insert(c.kept.begin(), c.kept.end());
        EXPECT_EQ(namesIn(dir.Path()), expected);
        for (int fd : held) ::close(fd);
    }
}

// A save never takes a name left behind: with temporary files and journals of an
// earlier run under this process id lying in the folder for every number this run
// could hand out next, the set is still saved, whole.
TEST(FileSets, SaveUnderARepeatedProcessIdFinishesTheOldSetAndTakesFreshNames) {
    TempDir dir;
    const std::string pid = std::to_string(getpid());
    WriteBytes(dir.File("a"), "old a");
    WriteBytes(dir.File("b"), "old b");
    // An earlier run under this id, killed before its renames.
    WriteBytes(dir.File("b.tmp" + pid + "_0"), "left b");
    WriteBytes(dir.File(".saveset" + pid + "_0.journal"), "file set 1\n.tmp" + pid + "_0\nb\nend\n");
    ASSERT_TRUE(WriteFileSet(dir.Path(), {{"a", "new a"}, {"b", "new b"}}));
    EXPECT_EQ(ReadBytes(dir.File("a")), "new a");
    EXPECT_EQ(ReadBytes(dir.File("b")), "new b");
    EXPECT_EQ(namesIn(dir.Path()), (std::set<std::string>{"a", "b"}));
    EXPECT_TRUE(WriteFileAtomic(dir.File("a"), "newer a"));
    EXPECT_EQ(ReadBytes(dir.File("a")), "newer a");
    EXPECT_EQ(namesIn(dir.Path()), (std::set<std::string>{"a", "b"}));
}

// A save into a folder first finishes the set a killed writer left there, so that
// older set can never land over the new one later.
TEST(FileSets, SaveFinishesAnOlderInterruptedSetFirst) {
    TempDir dir;
    const std::string dead = std::to_string(deadPid());
    WriteBytes(dir.File("a"), "old");
    WriteBytes(dir.File("b"), "older");
    WriteBytes(dir.File("b.tmp" + dead + "_9"), "killed");
    WriteBytes(dir.File(".saveset" + dead + "_9.journal"), "file set 1\n.tmp" + dead + "_9\nb\nend\n");
    ASSERT_TRUE(WriteFileSet(dir.Path(), {{"a", "new"}}));
    EXPECT_EQ(ReadBytes(dir.File("a")), "new");
    EXPECT_EQ(ReadBytes(dir.File("b")), "killed");
    EXPECT_EQ(namesIn(dir.Path()), (std::set<std::string>{"a", "b"}));
}

// Two writers killed with their sets naming the same file: whatever the order of the
// journals' names, the newer set's file is the one that stays, even when the newer
// writer had already renamed it and the older one (held up while the newer saved)
// still had its copy waiting. A name only the older set holds still rolls forward;
// a torn newer journal claims nothing.
TEST(FileSets, TheNewerOfTwoInterruptedSetsWins) {
    const std::string deadA = std::to_string(deadPid()), deadB = std::to_string(deadPid());
    struct Set {
        std::string pid;
        int count;
        bool xRenamed;  // its x.smt already in place before the kill
        bool torn;      // its journal cut short
    };
    struct Case {
        const char* what;
        Set older, newer;
        const char* x;     // x.smt afterwards
        const char* y;     // y.fig (named by the older set only)
        int finished;
    };
    const Case cases[] = {
        {"both waiting, the older named first", {deadA, 1, false, false}, {deadB, 2, false, false}, "newer", "older", 2},
        {"both waiting, the newer named first", {deadB, 2, false, false}, {deadA, 1, false, false}, "newer", "older", 2},
        {"the newer already renamed", {deadA, 7, false, false}, {deadB, 3, true, false}, "newer", "older", 2},
        {"the newer renamed, named first", {deadB, 3, false, false}, {deadA, 7, true, false}, "newer", "older", 2},
        {"the newer journal torn", {deadA, 1, false, false}, {deadB, 2, false, true}, "older", "older", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteBytes(dir.File("x.smt"), "before");
        WriteBytes(dir.File("y.fig"), "before");
        const auto lay = [&](const Set& s, const char* bytes, bool withY, long age) {
            const std::string suffix = ".tmp" + s.pid + "_" + std::to_string(s.count);
            if (s.xRenamed) WriteBytes(dir.File("x.smt"), bytes);
            else WriteBytes(dir.File("x.smt" + suffix), bytes);
            if (withY) WriteBytes(dir.File("y.fig" + suffix), bytes);
            std::string journal = "file set 1\n" + suffix + "\nx.smt\n" + (withY ? "y.fig\n" : "") + "end\n";
            if (s.torn) journal.resize(journal.size() - 6);
            const std::string path = dir.File(".saveset" + s.pid + "_" + std::to_string(s.count) + ".journal");
            WriteBytes(path, journal);
            // The journal's age: written `age` seconds ago.
            timespec times[2];
            ASSERT_EQ(clock_gettime(CLOCK_REALTIME, &times[0]), 0);
            times[0].tv_sec -= age;
            times[1] = times[0];
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        };
        lay(c.older, "older", true, 100);
        lay(c.newer, "newer", false, 10);
        EXPECT_EQ(FinishInterruptedSaves(dir.Path()), c.finished);
        EXPECT_EQ(ReadBytes(dir.File("x.smt")), c.x);
        EXPECT_EQ(ReadBytes(dir.File("y.fig")), c.y);
        EXPECT_EQ(namesIn(dir.Path()), (std::set<std::string>{"x.smt", "y.fig"}));
    }
}
