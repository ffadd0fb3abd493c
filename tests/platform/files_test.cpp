#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "test_support.h"

using namespace plat;
using smt::test::ReadBytes;
using smt::test::TempDir;
using smt::test::WriteBytes;

namespace {
int entriesIn(const std::string& folder) {
    DIR* d = opendir(folder.c_str());
    int n = 0;
    while (const dirent* e = readdir(d)) n += std::string(e->d_name) != "." && std::string(e->d_name) != "..";
    closedir(d);
    return n;
}
} // namespace

TEST(Files, ResolvePathMatchesCaseAndBackslashes) {
    TempDir dir;
    ASSERT_TRUE(MakeDirectory(dir.File("ConfigBackup")));
    WriteBytes(dir.File("ConfigBackup/Config_Speed.fig"), "x");

    EXPECT_EQ(ResolvePath(dir.Path() + "\\configbackup\\CONFIG_SPEED.FIG"),
              dir.File("ConfigBackup/Config_Speed.fig"));
    EXPECT_EQ(ResolvePath(dir.File("ConfigBackup/Config_Speed.fig")),
              dir.File("ConfigBackup/Config_Speed.fig"));
    // A missing file in a found folder keeps its own spelling, so it can be created there.
    EXPECT_EQ(ResolvePath(dir.Path() + "\\CONFIGBACKUP\\New.ini"), dir.File("ConfigBackup/New.ini"));
    // Nothing matches: slashes, as written.
    EXPECT_EQ(ResolvePath(dir.Path() + "\\No\\Such"), dir.File("No/Such"));
    EXPECT_TRUE(FileExists(dir.Path() + "\\CONFIGBACKUP\\config_speed.fig"));
    EXPECT_TRUE(IsDirectory(dir.Path() + "/configbackup"));
    EXPECT_FALSE(IsDirectory(dir.File("ConfigBackup/Config_Speed.fig")));
    EXPECT_FALSE(FileExists(dir.File("ConfigBackup")));
}

TEST(Files, JoinPathUsesOneSlash) {
    EXPECT_EQ(JoinPath("a", "b.ini"), "a/b.ini");
    EXPECT_EQ(JoinPath("a/", "b.ini"), "a/b.ini");
    EXPECT_EQ(JoinPath("a\\", "\\b.ini"), "a\\b.ini");
    EXPECT_EQ(JoinPath("", "b.ini"), "b.ini");
}

TEST(Files, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string binary("\x00\xFF\r\n\x01", 5);
    ASSERT_TRUE(WriteFileAtomic(dir.File("a.fig"), std::string(100000, 'x')));
    ASSERT_TRUE(WriteFileAtomic(dir.Path() + "\\A.FIG", binary));
    EXPECT_EQ(ReadBytes(dir.File("a.fig")), binary);
    std::string read;
    ASSERT_TRUE(ReadWholeFile(dir.File("A.fig"), read));
    EXPECT_EQ(read, binary);
    EXPECT_EQ(entriesIn(dir.Path()), 1);

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

TEST(Files, AtomicWriteKeepsPermissions) {
    TempDir dir;
    WriteBytes(dir.File("p"), "1");
    chmod(dir.File("p").c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(dir.File("p"), "2"));
    struct stat st;
    ASSERT_EQ(stat(dir.File("p").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Files, MakeDirectoryCreatesParentsAndAcceptsExisting) {
    TempDir dir;
    EXPECT_TRUE(MakeDirectory(dir.File("a/b/c")));
    EXPECT_TRUE(IsDirectory(dir.File("a/b/c")));
    EXPECT_TRUE(MakeDirectory(dir.Path() + "\\A\\B"));
    EXPECT_EQ(entriesIn(dir.File("a")), 1);
    WriteBytes(dir.File("f"), "");
    EXPECT_FALSE(MakeDirectory(dir.File("f")));
    EXPECT_FALSE(CurrentDirectory().empty());
}
