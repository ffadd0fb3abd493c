#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

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
