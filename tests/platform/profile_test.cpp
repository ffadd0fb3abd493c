#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "test_support.h"

using namespace plat;
using smt::test::Hex;
using smt::test::ReadBytes;
using smt::test::TempDir;
using smt::test::ToHex;
using smt::test::WriteBytes;

namespace {

const std::string kFail = "获取配置失败";

std::string get(const std::string& path, const std::string& sec, const std::string& key,
                std::size_t buffer = 512) {
    return GetPrivateProfileString(sec, key, kFail, buffer, path);
}

// UTF-16LE bytes of ASCII text.
std::string wide(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

class Profile : public ::testing::Test {
protected:
    void SetUp() override { FlushProfileCache(); }
    TempDir dir;
    std::string ini = dir.File("config.ini");
};

} // namespace

TEST_F(Profile, NamesIgnoreCaseFirstMatchWinsValuesTrimmedAndUnquoted) {
    WriteBytes(ini,
               "orphan=before any section\r\n"
               "[Speed]\r\n"
               "  X_Speed  =  120.5000  \r\n"
               "x_speed=999\r\n"
               "; note=comment\r\n"
               "Quoted=\"  spaced  \"\r\n"
               "Single='a'\r\n"
               "Half=\"a\r\n"
               "Empty=\r\n"
               "NoEquals\r\n"
               "[speed]\r\n"
               "Later=1\r\n"
               "[中文]\r\n"
               "名称=贴片\r\n");
    EXPECT_EQ(get(ini, "SPEED", "x_SPEED"), "120.5000");
    EXPECT_EQ(get(ini, "Speed", "Quoted"), "  spaced  ");
    EXPECT_EQ(get(ini, "Speed", "Single"), "a");
    EXPECT_EQ(get(ini, "Speed", "Half"), "\"a");
    EXPECT_EQ(get(ini, "Speed", "Empty"), "");
    EXPECT_EQ(get(ini, "Speed", "NoEquals"), kFail);
    EXPECT_EQ(get(ini, "Speed", "; note"), kFail);
    // Only the first section of a name is searched.
    EXPECT_EQ(get(ini, "Speed", "Later"), kFail);
    EXPECT_EQ(get(ini, "", "orphan"), kFail);
    EXPECT_EQ(get(ini, "中文", "名称"), "贴片");
    EXPECT_EQ(get(ini, " Speed ", " X_Speed "), "120.5000");
}

TEST_F(Profile, DefaultsWhenFileSectionOrKeyMissing) {
    EXPECT_EQ(get(dir.File("none.ini"), "A", "B"), kFail);
    WriteBytes(ini, "[A]\nB=1\n");
    EXPECT_EQ(get(ini, "Z", "B"), kFail);
    EXPECT_EQ(get(ini, "A", "Z"), kFail);
    EXPECT_EQ(GetPrivateProfileString("A", "Z", "dflt  ", 512, ini), "dflt");
    EXPECT_EQ(GetPrivateProfileString("A", "Z", "abcdef", 4, ini), "abc");
    EXPECT_EQ(GetPrivateProfileString("A", "B", "x", 0, ini), "");
    // A folder is not a profile file.
    EXPECT_EQ(get(dir.Path(), "A", "B"), kFail);
}

TEST_F(Profile, ValueCutToBufferLessOneUnit) {
    const std::string han = "中";
    std::string many;
    for (int i = 0; i < 600; ++i) many += han;
    const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
    WriteBytes(ini, "[S]\nLong=" + std::string(600, 'a') + "\nHan=" + many + "\nPair=" +
                        std::string(510, 'b') + emoji + "\nFits=" + std::string(509, 'c') + emoji +
                        "\n");
    EXPECT_EQ(get(ini, "S", "Long"), std::string(511, 'a'));
    EXPECT_EQ(get(ini, "S", "Han").size(), 511u * 3);
    EXPECT_EQ(get(ini, "S", "Pair"), std::string(510, 'b'));  // never half a pair
    EXPECT_EQ(get(ini, "S", "Fits"), std::string(509, 'c') + emoji);
}

TEST_F(Profile, WritesChangeOnlyTheirLine) {
    const std::string before =
        "; machine settings\r\n[Speed]\r\nX=10\r\n  y = 20 \r\n\r\n; motors below\r\n[Motor]\r\nA=1\r\n";
    WriteBytes(ini, before);
    ASSERT_TRUE(WritePrivateProfileString("speed", "Y", "25", ini));
    EXPECT_EQ(ReadBytes(ini),
              "; machine settings\r\n[Speed]\r\nX=10\r\ny=25\r\n\r\n; motors below\r\n[Motor]\r\nA=1\r\n");
    EXPECT_EQ(get(ini, "Speed", "y"), "25");

    ASSERT_TRUE(WritePrivateProfileString("SPEED", "Z", "3", ini));
    ASSERT_TRUE(WritePrivateProfileString("Vision", "Gain", "2", ini));
    ASSERT_TRUE(WritePrivateProfileString("Motor", "B", "line\r\nbreak", ini));
    EXPECT_EQ(ReadBytes(ini),
              "; machine settings\r\n[Speed]\r\nX=10\r\ny=25\r\nZ=3\r\n\r\n; motors below\r\n"
              "[Motor]\r\nA=1\r\nB=line  break\r\n[Vision]\r\nGain=2\r\n");
    EXPECT_EQ(get(ini, "vision", "gain"), "2");
    EXPECT_EQ(get(ini, "Speed", "X"), "10");
}

TEST_F(Profile, WritesKeepLineEndingsAndFinishAnOpenLastLine) {
    WriteBytes(ini, "[A]\nk=1");
    ASSERT_TRUE(WritePrivateProfileString("A", "n", "2", ini));
    EXPECT_EQ(ReadBytes(ini), "[A]\nk=1\nn=2\n");
    WriteBytes(ini, "[A]\r\nk=1");
    ASSERT_TRUE(WritePrivateProfileString("B", "n", "2", ini));
    EXPECT_EQ(ReadBytes(ini), "[A]\r\nk=1\r\n[B]\r\nn=2\r\n");
    WriteBytes(ini, "[A]\r\nk=1");
    ASSERT_TRUE(WritePrivateProfileString("A", "K", "3", ini));
    EXPECT_EQ(ReadBytes(ini), "[A]\r\nk=3");
}

TEST_F(Profile, NewFileIsUtf8WithCrlf) {
    ASSERT_TRUE(WritePrivateProfileString("机器", "语言", "中文", ini));
    EXPECT_EQ(ReadBytes(ini), "[机器]\r\n语言=中文\r\n");
    EXPECT_EQ(get(ini, "机器", "语言"), "中文");
}

TEST_F(Profile, BadNamesOrMissingFolderWriteNothing) {
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "v", dir.File("missing/config.ini")));
    EXPECT_FALSE(WritePrivateProfileString("A", "", "v", ini));
    EXPECT_FALSE(WritePrivateProfileString("A", "a=b", "v", ini));
    EXPECT_FALSE(WritePrivateProfileString("A", "k\n[B]", "v", ini));
    EXPECT_FALSE(WritePrivateProfileString("A\r\nx", "k", "v", ini));
    EXPECT_FALSE(WritePrivateProfileString("A", "; k", "v", ini));
    EXPECT_EQ(get(ini, "A", "k"), kFail);
    EXPECT_FALSE(FileExists(ini));
}

TEST_F(Profile, Utf16FileReadAndWrittenInUtf16) {
    const std::string han = Hex("2D 4E 87 65");  // 中文
    WriteBytes(ini, "\xFF\xFE" + wide("[A]\r\nk=") + han + wide("\r\nm = 5\r\n"));
    EXPECT_EQ(get(ini, "a", "K"), "中文");
    ASSERT_TRUE(WritePrivateProfileString("A", "M", "语", ini));
    ASSERT_TRUE(WritePrivateProfileString("B", "n", "1", ini));
    EXPECT_EQ(ToHex(ReadBytes(ini)),
              ToHex("\xFF\xFE" + wide("[A]\r\nk=") + han + wide("\r\nm=") + Hex("ED 8B") +
                    wide("\r\n[B]\r\nn=1\r\n")));
    EXPECT_EQ(get(ini, "A", "m"), "语");
    EXPECT_EQ(get(ini, "A", "k"), "中文");
}

TEST_F(Profile, Utf8WithMarkKeepsItsMark) {
    WriteBytes(ini, "\xEF\xBB\xBF[A]\nk=中\n");
    EXPECT_EQ(get(ini, "A", "k"), "中");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "文", ini));
    EXPECT_EQ(ReadBytes(ini), "\xEF\xBB\xBF[A]\nk=文\n");
}

TEST_F(Profile, GbkFileReadAndWrittenInGbk) {
    // "[机器]\r\n名=中文\r\n" in GBK.
    const std::string gbk = Hex("5B BB FA C6 F7 5D 0D 0A C3 FB 3D D6 D0 CE C4 0D 0A");
    WriteBytes(ini, gbk);
    EXPECT_EQ(get(ini, "机器", "名"), "中文");
    ASSERT_TRUE(WritePrivateProfileString("机器", "名", "文中", ini));
    ASSERT_TRUE(WritePrivateProfileString("机器", "x", "1.5", ini));
    EXPECT_EQ(ToHex(ReadBytes(ini)),
              "5B BB FA C6 F7 5D 0D 0A C3 FB 3D CE C4 D6 D0 0D 0A 78 3D 31 2E 35 0D 0A");
    EXPECT_EQ(get(ini, "机器", "名"), "文中");
}

TEST_F(Profile, UndecodableBytesOfOtherLinesSurviveAWrite) {
    // Lone GBK lead byte in a comment: the file is GBK, the byte stays as it was.
    const std::string before = "; \x81\r\n[A]\r\nk=1\r\n";
    WriteBytes(ini, before);
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", ini));
    EXPECT_EQ(ReadBytes(ini), "; \x81\r\n[A]\r\nk=2\r\n");
    // A UTF-8 file stays valid UTF-8 whatever the value.
    WriteBytes(ini, "[A]\nk=中\n");
    ASSERT_TRUE(WritePrivateProfileString("A", "j", "bad\xFF", ini));
    EXPECT_EQ(get(ini, "A", "k"), "中");
    EXPECT_EQ(get(ini, "A", "j"), "bad\xEF\xBF\xBD");
}

TEST_F(Profile, PathsResolveWithoutCaseAndWithBackslashes) {
    WriteBytes(ini, "[A]\r\nk=1\r\n");
    const std::string other = dir.Path() + "\\CONFIG.INI";
    EXPECT_EQ(get(other, "A", "k"), "1");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", other));
    EXPECT_EQ(ReadBytes(ini), "[A]\r\nk=2\r\n");
    int files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(Profile, CacheSeesChangesOnDisk) {
    WriteBytes(ini, "[A]\nk=1\n");
    EXPECT_EQ(get(ini, "A", "k"), "1");
    WriteBytes(ini, "[A]\nk=22\n");  // rewritten in place by another program
    EXPECT_EQ(get(ini, "A", "k"), "22");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "3", ini));
    EXPECT_EQ(get(ini, "A", "k"), "3");
    std::remove(ini.c_str());
    EXPECT_EQ(get(ini, "A", "k"), kFail);
    WriteBytes(ini, "[A]\nk=4\n");
    FlushProfileCache();
    EXPECT_EQ(get(ini, "A", "k"), "4");
}

TEST_F(Profile, WritersOnSeveralThreadsLoseNoKey) {
    constexpr int kThreads = 6, kKeys = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < kKeys; ++k) {
                const std::string name = "K" + std::to_string(t) + "_" + std::to_string(k);
                EXPECT_TRUE(WritePrivateProfileString("S" + std::to_string(k % 3), name, name, ini));
                EXPECT_EQ(get(ini, "S" + std::to_string(k % 3), name), name);
            }
        });
    for (auto& th : threads) th.join();
    FlushProfileCache();
    for (int t = 0; t < kThreads; ++t)
        for (int k = 0; k < kKeys; ++k) {
            const std::string name = "K" + std::to_string(t) + "_" + std::to_string(k);
            EXPECT_EQ(get(ini, "s" + std::to_string(k % 3), name), name);
        }
    EXPECT_EQ(detail::ParseProfileText(ReadBytes(ini)).size(), 3u);
}

TEST_F(Profile, GermanLocaleChangesNothing) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
        GTEST_SKIP() << "no German locale installed";
    ASSERT_TRUE(WritePrivateProfileString("Maß", "Wert", " 1.5000 ", ini));
    ASSERT_TRUE(WritePrivateProfileString("Maß", "Ä", "ü", ini));
    const std::string bytes = ReadBytes(ini);
    const std::string text = get(ini, "maß", "WERT");
    const std::string umlaut = get(ini, "Maß", "Ä");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(bytes, "[Maß]\r\nWert= 1.5000 \r\nÄ=ü\r\n");
    EXPECT_EQ(text, "1.5000");
    EXPECT_EQ(umlaut, "ü");
}

TEST(ProfileText, Utf16OddTrailingByteStaysAtTheEnd) {
    const std::string before = "\xFF\xFE" + wide("[A]\r\n") + "\x41";
    std::string after;
    ASSERT_TRUE(detail::UpdateProfileText(before, "A", "k", "v", after));
    EXPECT_EQ(after, "\xFF\xFE" + wide("[A]\r\nk=v\r\n") + "\x41");
    const auto secs = detail::ParseProfileText(after);
    ASSERT_EQ(secs.size(), 1u);
    ASSERT_EQ(secs[0].entries.size(), 1u);
    EXPECT_EQ(secs[0].entries[0].value, "v");
}
