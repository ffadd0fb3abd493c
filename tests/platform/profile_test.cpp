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

// UTF-16LE bytes of ASCII text.
std::string wide(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

class Profile : public ::testing::Test {
protected:
    void SetUp() override { FlushProfileCache(); }
    std::string get(const std::string& sec, const std::string& key, const std::string& path = {}) {
        return GetPrivateProfileString(sec, key, kFail, 512, path.empty() ? ini : path);
    }
    TempDir dir;
    std::string ini = dir.File("config.ini");
};

} // namespace

TEST_F(Profile, NamesIgnoreCaseFirstMatchWinsValuesTrimmedAndUnquoted) {
    WriteBytes(ini, "orphan=before any section\r\n[Speed]\r\n  X_Speed  =  120.5000  \r\nx_speed=999\r\n"
                    "; note=comment\r\nQuoted=\"  spaced  \"\r\nSingle='a'\r\nHalf=\"a\r\nEmpty=\r\nNoEquals\r\n"
                    "[speed]\r\nLater=1\r\n[中文]\r\n名称=贴片\r\n");
    // Only the first section of a name is searched.
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"SPEED", "x_SPEED", "120.5000"}, {"Speed", "Quoted", "  spaced  "}, {"Speed", "Single", "a"},
        {"Speed", "Half", "\"a"},         {"Speed", "Empty", ""},            {"Speed", "NoEquals", kFail},
        {"Speed", "; note", kFail},       {"Speed", "Later", kFail},         {"", "orphan", kFail},
        {"中文", "名称", "贴片"},          {" Speed ", " X_Speed ", "120.5000"},
    };
    for (const auto& [sec, key, value] : cases) EXPECT_EQ(get(sec, key), value) << sec << "/" << key;
}

TEST_F(Profile, DefaultsWhenFileSectionOrKeyMissingAndValuesCutToTheBuffer) {
    EXPECT_EQ(get("A", "B", dir.File("none.ini")), kFail);
    EXPECT_EQ(get("A", "B", dir.Path()), kFail);  // a folder is not a profile file
    const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
    std::string han;
    for (int i = 0; i < 600; ++i) han += "中";
    WriteBytes(ini, "[A]\nB=1\nLong=" + std::string(600, 'a') + "\nHan=" + han + "\nPair=" + std::string(510, 'b') +
                        emoji + "\nFits=" + std::string(509, 'c') + emoji + "\n");
    EXPECT_EQ(get("Z", "B"), kFail);
    EXPECT_EQ(get("A", "Z"), kFail);
    EXPECT_EQ(GetPrivateProfileString("A", "Z", "dflt  ", 512, ini), "dflt");
    EXPECT_EQ(GetPrivateProfileString("A", "Z", "abcdef", 4, ini), "abc");
    EXPECT_EQ(GetPrivateProfileString("A", "B", "x", 0, ini), "");
    // The buffer less one UTF-16 unit, never half a pair.
    EXPECT_EQ(get("A", "Long"), std::string(511, 'a'));
    EXPECT_EQ(get("A", "Han").size(), 511u * 3);
    EXPECT_EQ(get("A", "Pair"), std::string(510, 'b'));
    EXPECT_EQ(get("A", "Fits"), std::string(509, 'c') + emoji);
}

// A write changes only its line and keeps the file's encoding, line endings and bytes it cannot decode.
TEST_F(Profile, WritesKeepTheRestAndTheFormOfTheFile) {
    const std::string han = Hex("2D 4E 87 65");  // 中文 in UTF-16
    struct Row {
        const char* name;
        std::string before;
        std::vector<std::array<const char*, 3>> writes;
        std::string after;
    };
    const Row rows[] = {
        {"only their line", "; machine settings\r\n[Speed]\r\nX=10\r\n  y = 20 \r\n\r\n; motors below\r\n[Motor]\r\nA=1\r\n",
         {{"speed", "Y", "25"}, {"SPEED", "Z", "3"}, {"Vision", "Gain", "2"}},
         "; machine settings\r\n[Speed]\r\nX=10\r\ny=25\r\nZ=3\r\n\r\n; motors below\r\n[Motor]\r\nA=1\r\n"
         "[Vision]\r\nGain=2\r\n"},
        {"open last line, LF", "[A]\nk=1", {{"A", "n", "2"}}, "[A]\nk=1\nn=2\n"},
        {"open last line, CRLF", "[A]\r\nk=1", {{"B", "n", "2"}}, "[A]\r\nk=1\r\n[B]\r\nn=2\r\n"},
        {"open last line replaced", "[A]\r\nk=1", {{"A", "K", "3"}}, "[A]\r\nk=3"},
        {"new file: UTF-8 with CRLF", "", {{"机器", "语言", "中文"}}, "[机器]\r\n语言=中文\r\n"},
        {"UTF-8 with a mark", "\xEF\xBB\xBF[A]\nk=中\n", {{"A", "k", "文"}}, "\xEF\xBB\xBF[A]\nk=文\n"},
        {"UTF-16", "\xFF\xFE" + wide("[A]\r\nk=") + han + wide("\r\nm = 5\r\n"), {{"A", "M", "语"}, {"B", "n", "1"}},
         "\xFF\xFE" + wide("[A]\r\nk=") + han + wide("\r\nm=") + Hex("ED 8B") + wide("\r\n[B]\r\nn=1\r\n")},
        // "[机器]\r\n名=中文\r\n" in GBK.
        {"GBK", Hex("5B BB FA C6 F7 5D 0D 0A C3 FB 3D D6 D0 CE C4 0D 0A"),
         {{"机器", "名", "文中"}, {"机器", "x", "1.5"}},
         Hex("5B BB FA C6 F7 5D 0D 0A C3 FB 3D CE C4 D6 D0 0D 0A 78 3D 31 2E 35 0D 0A")},
        // A lone GBK lead byte in a comment makes the file GBK; the byte stays as it was.
        {"undecodable byte", "; \x81\r\n[A]\r\nk=1\r\n", {{"A", "k", "2"}}, "; \x81\r\n[A]\r\nk=2\r\n"},
        // The write takes the last byte that is not UTF-8 out of a GBK file: the file becomes
        // UTF-8 with a mark, and "职" (GBK D6 B0) still reads as itself, not as U+05B0.
        {"GBK that would look like UTF-8", Hex("5B 41 5D 0A 6B 3D 81 0A 5B 42 5D 0A 6E 3D D6 B0 0A"),
         {{"A", "k", "1"}, {"C", "n2", "中"}},
         "\xEF\xBB\xBF[A]\nk=1\n[B]\nn=职\n[C]\nn2=中\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FlushProfileCache();
        if (row.before.empty()) std::remove(ini.c_str());
        else WriteBytes(ini, row.before);
        for (const auto& [sec, key, value] : row.writes) {
            ASSERT_TRUE(WritePrivateProfileString(sec, key, value, ini));
            EXPECT_EQ(get(sec, key), value);
        }
        EXPECT_EQ(ToHex(ReadBytes(ini)), ToHex(row.after));
    }
    WriteBytes(ini, "\xFF\xFE" + wide("[A]\r\nk=") + han + wide("\r\n"));
    EXPECT_EQ(get("a", "K"), "中文");
    WriteBytes(ini, Hex("5B BB FA C6 F7 5D 0D 0A C3 FB 3D D6 D0 CE C4 0D 0A"));
    EXPECT_EQ(get("机器", "名"), "中文");
    // A UTF-8 file stays valid UTF-8 whatever the value.
    WriteBytes(ini, "[A]\nk=中\n");
    ASSERT_TRUE(WritePrivateProfileString("A", "j", "bad\xFF", ini));
    EXPECT_EQ(get("A", "k"), "中");
    EXPECT_EQ(get("A", "j"), "bad\xEF\xBF\xBD");
}

TEST_F(Profile, BadNamesOrMissingFolderWriteNothingLineBreaksInAValueBecomeSpaces) {
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "v", dir.File("missing/config.ini")));
    for (auto [sec, key] : {std::pair{"A", ""}, {"A", "a=b"}, {"A", "k\n[B]"}, {"A\r\nx", "k"}, {"A", "; k"}})
        EXPECT_FALSE(WritePrivateProfileString(sec, key, "v", ini)) << sec << "/" << key;
    EXPECT_FALSE(FileExists(ini));
    ASSERT_TRUE(WritePrivateProfileString("Motor", "B", "line\r\nbreak", ini));
    EXPECT_EQ(ReadBytes(ini), "[Motor]\r\nB=line  break\r\n");
}

TEST_F(Profile, PathsResolveWithoutCaseAndTheCacheSeesChangesOnDisk) {
    WriteBytes(ini, "[A]\r\nk=1\r\n");
    const std::string other = dir.Path() + "\\CONFIG.INI";
    EXPECT_EQ(get("A", "k", other), "1");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", other));
    EXPECT_EQ(ReadBytes(ini), "[A]\r\nk=2\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    WriteBytes(ini, "[A]\nk=22\n");  // rewritten in place by another program
    EXPECT_EQ(get("A", "k"), "22");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "3", ini));
    EXPECT_EQ(get("A", "k"), "3");
    std::remove(ini.c_str());
    EXPECT_EQ(get("A", "k"), kFail);
    WriteBytes(ini, "[A]\nk=4\n");
    FlushProfileCache();
    EXPECT_EQ(get("A", "k"), "4");
}

TEST_F(Profile, WritersOnSeveralThreadsLoseNoKey) {
    constexpr int kThreads = 6, kKeys = 20;
    auto name = [](int t, int k) { return "K" + std::to_string(t) + "_" + std::to_string(k); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < kKeys; ++k) {
                EXPECT_TRUE(WritePrivateProfileString("S" + std::to_string(k % 3), name(t, k), name(t, k), ini));
                EXPECT_EQ(get("S" + std::to_string(k % 3), name(t, k)), name(t, k));
            }
        });
    for (auto& th : threads) th.join();
    FlushProfileCache();
    for (int t = 0; t < kThreads; ++t)
        for (int k = 0; k < kKeys; ++k) EXPECT_EQ(get("s" + std::to_string(k % 3), name(t, k)), name(t, k));
    EXPECT_EQ(detail::ParseProfileText(ReadBytes(ini)).size(), 3u);
}

// A batch puts a whole save into the file with one rename; until then the file on disk is
// as before, the saving thread reads its own values, and other threads' writes survive.
TEST_F(Profile, BatchWritesTheFileOnceWithEveryKey) {
    WriteBytes(ini, "[A]\r\nk=1\r\n[B]\r\nm=2\r\n");
    {
        ProfileBatch batch(ini);
        EXPECT_TRUE(WritePrivateProfileString("A", "k", "10", ini));
        {
            ProfileBatch inner(ini);  // joins: nothing written when it ends
            EXPECT_TRUE(WritePrivateProfileString("B", "m", "20", ini));
            EXPECT_TRUE(inner.Commit());
        }
        EXPECT_FALSE(WritePrivateProfileString("B", "", "x", ini));
        EXPECT_TRUE(WritePrivateProfileString("C", "new", "30", ini));
        EXPECT_EQ(ReadBytes(ini), "[A]\r\nk=1\r\n[B]\r\nm=2\r\n");
        EXPECT_EQ(get("a", "K"), "10");
        EXPECT_EQ(get("B", "m"), "20");
        EXPECT_EQ(get("B", "none"), kFail);
        std::thread other([&] {
            EXPECT_EQ(get("A", "k"), "1");
            EXPECT_TRUE(WritePrivateProfileString("D", "o", "4", ini));
        });
        other.join();
        ASSERT_TRUE(batch.Commit());
        EXPECT_TRUE(WritePrivateProfileString("E", "late", "5", ini));  // after the commit: straight to disk
    }
    EXPECT_EQ(ReadBytes(ini), "[A]\r\nk=10\r\n[B]\r\nm=20\r\n[D]\r\no=4\r\n[C]\r\nnew=30\r\n[E]\r\nlate=5\r\n");
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) left.push_back(e.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"config.ini"});
    {
        ProfileBatch missing(dir.File("missing/config.ini"));
        EXPECT_TRUE(WritePrivateProfileString("A", "k", "v", dir.File("missing/config.ini")));
        EXPECT_FALSE(missing.Commit());
    }
}

TEST_F(Profile, GermanLocaleChangesNothing) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
        GTEST_SKIP() << "no German locale installed";
    ASSERT_TRUE(WritePrivateProfileString("Maß", "Wert", " 1.5000 ", ini));
    ASSERT_TRUE(WritePrivateProfileString("Maß", "Ä", "ü", ini));
    const std::string bytes = ReadBytes(ini), text = get("maß", "WERT"), umlaut = get("Maß", "Ä");
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

// Many writes in one pass leave the bytes that the same writes one after the other
// leave: keys replaced in place (the first of a name, in the first section of a
// name), keys added after the section's last entry in the order written, a key
// added earlier written again, sections added at the end, refused names passed
// over, and the file's encoding and line ending kept.
TEST(ProfileText, ManyWritesInOnePassAsOneAfterTheOther) {
    const std::vector<std::pair<const char*, std::string>> files = {
        {"empty", ""},
        {"CRLF with comments", "; top\r\n[A]\r\nk=1\r\n; note\r\nm = 2\r\n\r\n[B]\r\nn=3\r\n[a]\r\nk=dup\r\n"},
        {"LF, last line open", "x=before\n[A]\nk=1\n[B]\nn=3"},
        {"section header as last line", "[A]\r\nk=1\r\n[C]"},
        {"keys before any section", "k=0\r\n[B]\r\n"},
        {"UTF-8 with mark", "\xEF\xBB\xBF[A]\r\nk=一\r\n"},
        {"UTF-16", "\xFF\xFE" + wide("[A]\r\nk=1\r\n[B]\r\n") + "\x41"},
        {"GBK staying GBK", "[A]\r\nk=" + Hex("D3 EF") + "\r\n[B]\r\nn=" + Hex("D3 EF") + "\r\n"},
    };
    const std::vector<ProfileWrite> writes = {
        {"A", "k", "10"},      {"B", "new", "x"},   {"C", "c1", "1"},   {"a", "NEW2", "y"}, {"b", "NEW", "x2"},
        {"D", "d", "4"},       {"A", "", "bad"},    {"A", "k=2", "bad"}, {" C ", "c2", "2"}, {"d", "D", "5"},
        {"A", "m", "line\r\nbreak"}, {"E", "e", "语"}, {"c", "C1", "11"}, {"A", "k", "100"},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        for (std::size_t n = 0; n <= writes.size(); ++n) {
            const std::vector<ProfileWrite> some(writes.begin(), writes.begin() + n);
            std::string oneByOne = bytes, next;
            for (const ProfileWrite& w : some)
                if (detail::UpdateProfileText(oneByOne, w.section, w.key, w.value, next)) oneByOne.swap(next);
            std::string all;
            detail::UpdateProfileTextAll(bytes, some, all);
            EXPECT_EQ(ToHex(all), ToHex(oneByOne)) << n << " writes";
        }
    }
}

// A batch of a hundred keys reads its file's text once, however large the file.
TEST_F(Profile, BatchOfManyKeysParsesTheFileOnce) {
    std::string text = "; kept\r\n[Other]\r\n";
    for (int i = 0; i < 2000; ++i) text += "o" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    text += "[Mine]\r\nk5=old\r\n\r\n[Tail]\r\nt=1\r\n";
    WriteBytes(ini, text);
    const std::uint64_t before = detail::ProfileTextParses();
    {
        ProfileBatch batch(ini);
        for (int i = 0; i < 100; ++i) ASSERT_TRUE(WritePrivateProfileString("Mine", "k" + std::to_string(i), "v", ini));
        ASSERT_TRUE(batch.Commit());
    }
    EXPECT_EQ(detail::ProfileTextParses() - before, 1u);
    std::string mine = "[Mine]\r\n";
    for (int i = 0; i < 100; ++i) mine += "k" + std::to_string(i) + "=v\r\n";
    mine.replace(mine.find("k5=v\r\n"), 6, "");
    mine.insert(8, "k5=v\r\n");
    EXPECT_EQ(ReadBytes(ini), text.substr(0, text.find("[Mine]")) + mine + "\r\n[Tail]\r\nt=1\r\n");
}
