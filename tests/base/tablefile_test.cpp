#include "base/tablefile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "base/globals.h"
#include "test_support.h"

namespace {

using namespace smt;
using smt::test::Hex;
using smt::test::ReadBytes;
using smt::test::TempDir;
using smt::test::ToHex;
using smt::test::WriteBytes;
namespace fs = std::filesystem;

std::string archive(std::string_view text) {
    std::string out;
    AppendArchiveString(out, text);
    return out;
}

// Reads one string from `bytes` and requires it to use all of them.
std::string readAll(const std::string& bytes) {
    std::size_t pos = 0;
    std::string text;
    EXPECT_TRUE(ReadArchiveString(bytes, pos, text)) << ToHex(bytes.substr(0, 16));
    EXPECT_EQ(pos, bytes.size());
    return text;
}

bool readFails(const std::string& bytes) {
    std::size_t pos = 0;
    std::string text;
    return !ReadArchiveString(bytes, pos, text);
}

std::string letters(std::size_t n) {
    std::string s(n, 'a');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

std::string utf16Units(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

std::set<std::string> entries(const std::string& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename());
    return out;
}

TEST(ArchiveString, LengthPrefixAtEveryBoundary) {
    const std::pair<std::size_t, const char*> cases[] = {
        {0, "FF FE FF 00"},           {1, "FF FE FF 01"},           {254, "FF FE FF FE"},
        {255, "FF FE FF FF FF 00"},   {300, "FF FE FF FF 2C 01"},   {0xFFFD, "FF FE FF FF FD FF"},
        {0xFFFE, "FF FE FF FF FF FF FE FF 00 00"}, {0xFFFF, "FF FE FF FF FF FF FF FF 00 00"},
        {0x10000, "FF FE FF FF FF FF 00 00 01 00"},
    };
    for (const auto& [length, prefixHex] : cases) {
        const std::string text = letters(length), bytes = archive(text), prefix = Hex(prefixHex);
        ASSERT_EQ(ToHex(bytes.substr(0, prefix.size())), prefixHex) << length;
        EXPECT_EQ(bytes.substr(prefix.size()), utf16Units(text)) << length;
        EXPECT_EQ(readAll(bytes), text) << length;
    }
}

TEST(ArchiveString, ChineseAndSurrogatePairs) {
    EXPECT_EQ(ToHex(archive("贴片机")), "FF FE FF 03 34 8D 47 72 3A 67");
    // One character outside the basic plane: two UTF-16 units, length 2.
    EXPECT_EQ(ToHex(archive("\xF0\x9F\x98\x80")), "FF FE FF 02 3D D8 00 DE");
    for (const std::string text : {"贴片机", "A\xF0\x9F\x98\x80" "B", "E1\t0402\t获取配置失败\t", ""})
        EXPECT_EQ(readAll(archive(text)), text);
    // The length counts UTF-16 units: 127 emoji = 254 units, 128 emoji = 256 units and the two-byte form.
    std::string emoji127;
    for (int i = 0; i < 127; ++i) emoji127 += "\xF0\x9F\x98\x80";
    const std::string emoji128 = emoji127 + "\xF0\x9F\x98\x80";
    EXPECT_EQ(ToHex(archive(emoji127).substr(0, 4)), "FF FE FF FE");
    EXPECT_EQ(ToHex(archive(emoji128).substr(0, 6)), "FF FE FF FF 00 01");
    EXPECT_EQ(readAll(archive(emoji128)), emoji128);
}

TEST(ArchiveString, DecodesEightBitGbkAndEveryLengthForm) {
    const std::pair<std::string, std::string> cases[] = {
        {Hex("03 61 62 63"), "abc"},
        {Hex("00"), ""},
        {Hex("04 D6 D0 CE C4"), "中文"},
        {Hex("0C BB F1 C8 A1 C5 E4 D6 C3 CA A7 B0 DC"), "获取配置失败"},
        {Hex("FF 2C 01") + std::string(300, 'x'), std::string(300, 'x')},  // 16-bit length
        {Hex("FF FF FF 05 00 00 00") + "hello", "hello"},                  // 32-bit length
        // A 64-bit length after an all-ones 32-bit one.
        {Hex("FF FF FF FF FF FF FF 02 00 00 00 00 00 00 00") + "ok", "ok"},
        {Hex("FF FE FF FF FF FF FF FF FF FF 02 00 00 00 00 00 00 00 61 00 62 00"), "ab"},
        // A 16-bit 0xFFFE after the UTF-16 marker is a length, not a second marker.
        {Hex("FF FE FF FF FE FF") + utf16Units(std::string(0xFFFE, 'q')), std::string(0xFFFE, 'q')},
        // A lone surrogate from another tool becomes the replacement character.
        {Hex("FF FE FF 02 3D D8 41 00"), "\xEF\xBF\xBD" "A"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(readAll(bytes), text) << ToHex(bytes.substr(0, 20));
}

TEST(ArchiveString, TruncationsAndAbsurdLengthsFailCleanly) {
    for (const std::string& whole :
         {archive(letters(300)), archive(letters(0x10000)), archive("贴片"), Hex("FF 2C 01") + std::string(300, 'x'),
          Hex("FF FE FF FF FF FF FF FF FF FF 02 00 00 00 00 00 00 00 61 00 62 00")}) {
        for (std::size_t cut = 0; cut < whole.size(); cut += (cut < 40 ? 1 : 997))
            EXPECT_TRUE(readFails(whole.substr(0, cut))) << cut;
        EXPECT_TRUE(readFails(whole.substr(0, whole.size() - 1)));
    }
    // A position past the end is refused, not read.
    const std::string bytes = archive("ab");
    std::size_t pos = bytes.size() + 5;
    std::string text;
    EXPECT_FALSE(ReadArchiveString(bytes, pos, text));
    // Lengths of gigabytes and beyond with a few bytes behind them are refused before any allocation;
    // the last has an odd number of bytes for UTF-16 units.
    for (const char* bad : {"FF FF FF FE FF FF FF 61 62", "FF FE FF FF FF FF FE FF FF 7F 61 00",
                            "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 61",
                            "FF FE FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 61 00",
                            "FF FE FF FF FF FF FF FF FF FF 00 00 00 00 00 00 00 80 61 00", "FF FE FF 02 61 00 62"})
        EXPECT_TRUE(readFails(Hex(bad))) << bad;
}

TEST(TableFileBytes, EmptyAndCountEdgeCases) {
    EXPECT_EQ(ToHex(EncodeTableFile({}, nullptr)), "00 00 00 00");
    const std::string noNames;
    EXPECT_EQ(ToHex(EncodeTableFile({}, &noNames)), "FF FE FF 00 00 00 00 00");
    EXPECT_EQ(ToHex(EncodeTableFile({"a\t", ""}, nullptr)), "02 00 00 00 FF FE FF 02 61 00 09 00 FF FE FF 00");

    std::vector<std::string> rows{"kept"};
    std::string speedNames = "old";
    // Count 0 still gives the names string of the speed file.
    EXPECT_TRUE(DecodeTableFile(archive("S1\tS2\t") + Hex("00 00 00 00"), rows, &speedNames));
    EXPECT_EQ(speedNames, "S1\tS2\t");
    // Negative counts read as no rows, whatever follows.
    EXPECT_TRUE(DecodeTableFile(Hex("FF FF FF FF 03 61 62 63"), rows, nullptr));
    EXPECT_TRUE(DecodeTableFile(Hex("00 00 00 80"), rows, nullptr));
    EXPECT_EQ(rows, std::vector<std::string>{"kept"});
    // Rows are appended to what the list holds.
    EXPECT_TRUE(DecodeTableFile(EncodeTableFile({"x", "y"}, nullptr), rows, nullptr));
    EXPECT_EQ(rows, (std::vector<std::string>{"kept", "x", "y"}));
}

TEST(TableFileBytes, ShortContentFailsAndKeepsRowsReadSoFar) {
    std::vector<std::string> rows;
    // Count 3 with two rows present.
    EXPECT_FALSE(DecodeTableFile(Hex("03 00 00 00") + archive("r1") + archive("r2"), rows, nullptr));
    EXPECT_EQ(rows, (std::vector<std::string>{"r1", "r2"}));
    // A huge count with nothing behind it fails without reserving for it.
    rows.clear();
    EXPECT_FALSE(DecodeTableFile(Hex("FF FF FF 7F"), rows, nullptr));
    EXPECT_TRUE(rows.empty());
    EXPECT_LT(rows.capacity(), 16u);
    std::string names;
    EXPECT_FALSE(DecodeTableFile(Hex("00 00"), rows, nullptr));
    EXPECT_FALSE(DecodeTableFile("", rows, nullptr));
    EXPECT_FALSE(DecodeTableFile(Hex("00 00 00 00"), rows, &names));  // the names string is missing
    const std::string whole = EncodeTableFile({"E1\t1.0000\t", "贴片\t", letters(300)}, &names);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        std::vector<std::string> r;
        std::string n;
        EXPECT_FALSE(DecodeTableFile(std::string_view(whole).substr(0, cut), r, &n)) << cut;
    }
}

// Rows that differ in every file, so a mix-up of files or order shows.
FigLists sampleLists(const std::string& tag) {
    FigLists l;
    l.feed = {tag + "E1\t0603\t12.5000\t", tag + "W2\t贴片\t-3.0000\t", ""};
    l.strip = {tag + "strip\t"};
    l.speedSetNames = tag + "Fast\tSlow\t";
    l.speed = {tag + "10\t20\t", tag + "30\t40\t"};
    l.camera = {tag + "cam\t" + letters(300) + "\t"};
    l.pack = {tag + "0402\t1.0000\t0.5000\t", tag + "\xF0\x9F\x98\x80\t"};
    l.mark = {tag + "mark\t"};
    l.dropDown = {tag + "a\t", tag + "b\t", tag + "c\t"};
    return l;
}

std::string encoded(const FigLists& l, TableFile f) {
    return EncodeTableFile(l.Rows(f), f == TableFile::Speed ? &l.speedSetNames : nullptr);
}

// A start folder holding the saved sample lists.
struct SavedFolder {
    TempDir dir;
    FigLists saved = sampleLists("");
    TableFileError error;
    SavedFolder() { EXPECT_TRUE(SaveFigLists(dir.Path(), saved, error)) << error.file << ": " << error.reason; }
    void ReplaceWithFolder(const char* name) {
        fs::remove(dir.File(name));
        fs::create_directory(dir.File(name));
    }
};

TEST(FigLists, AllEightRoundTripWithByteIdenticalBackup) {
    SavedFolder f;
    const char* names[] = {"config_feed.fig",   "config_strip.fig", "config_speed.fig", "config_camera.fig",
                           "config_nozzle.fig", "config_pack.fig",  "config_mark.fig",  "config_dropdown.fig"};
    for (int i = 0; i < kTableFileCount; ++i) {
        EXPECT_STREQ(TableFileName(kAllTableFiles[i]), names[i]);
        const std::string bytes = ReadBytes(f.dir.File(names[i]));
        EXPECT_EQ(bytes, encoded(f.saved, kAllTableFiles[i])) << names[i];
        EXPECT_EQ(ReadBytes(f.dir.File(std::string("ConfigBackup/") + names[i])), bytes) << names[i];
    }
    EXPECT_EQ(entries(f.dir.Path()).size(), 9u);  // no temporary files
    EXPECT_EQ(ToHex(ReadBytes(f.dir.File("config_nozzle.fig"))), "00 00 00 00");
    // The speed file starts with the names string, then the count.
    const std::string speed = ReadBytes(f.dir.File("config_speed.fig")), setNames = archive(f.saved.speedSetNames);
    EXPECT_EQ(speed.substr(0, setNames.size()), setNames);
    EXPECT_EQ(ToHex(speed.substr(setNames.size(), 4)), "02 00 00 00");

    FigLists loaded;
    ASSERT_TRUE(LoadFigLists(f.dir.Path(), loaded, f.error)) << f.error.file << ": " << f.error.reason;
    for (TableFile t : kAllTableFiles) EXPECT_EQ(loaded.Rows(t), f.saved.Rows(t)) << TableFileName(t);
    EXPECT_EQ(loaded.speedSetNames, f.saved.speedSetNames);
    // A second load appends.
    ASSERT_TRUE(LoadFigLists(f.dir.Path(), loaded, f.error));
    EXPECT_EQ(loaded.feed.size(), 2 * f.saved.feed.size());
    EXPECT_EQ(loaded.speedSetNames, f.saved.speedSetNames);
}

TEST(FigLists, ReadsFilesWrittenByOtherToolsInAnyLetterCase) {
    TempDir dir;
    for (TableFile f : kAllTableFiles) {
        std::string name = TableFileName(f);
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        // 8-bit GBK rows, as other tools write them.
        const std::string names = f == TableFile::Speed ? Hex("04 BF EC CB D9") : "";
        WriteBytes(dir.File(name), names + Hex("02 00 00 00 04 D6 D0 CE C4 03 61 09 62"));
    }
    FigLists lists;
    TableFileError error;
    ASSERT_TRUE(LoadFigLists(dir.Path(), lists, error)) << error.file << ": " << error.reason;
    EXPECT_EQ(lists.speedSetNames, "快速");
    for (TableFile f : kAllTableFiles) EXPECT_EQ(lists.Rows(f), (std::vector<std::string>{"中文", "a\tb"}));
    // Saving replaces those files instead of adding lower-case twins.
    ASSERT_TRUE(SaveFigLists(dir.Path(), lists, error));
    EXPECT_FALSE(fs::exists(dir.File("config_feed.fig")));
    EXPECT_EQ(ReadBytes(dir.File("CONFIG_FEED.FIG")), encoded(lists, TableFile::Feed));
}

TEST(FigLists, MissingOrDamagedFileIsNamedAndEarlierRowsStay) {
    SavedFolder f;
    fs::remove(f.dir.File("config_nozzle.fig"));
    FigLists loaded;
    EXPECT_FALSE(LoadFigLists(f.dir.Path(), loaded, f.error));
    EXPECT_NE(f.error.file.find("config_nozzle.fig"), std::string::npos);
    EXPECT_EQ(loaded.camera, f.saved.camera);
    EXPECT_TRUE(loaded.pack.empty());
    const std::string text = TableFileErrorText(f.error);
    EXPECT_NE(text.find("config_nozzle.fig"), std::string::npos);
    EXPECT_NE(text.find("\"ConfigBackup\""), std::string::npos);

    WriteBytes(f.dir.File("config_nozzle.fig"), EncodeTableFile({}, nullptr));
    const std::string pack = ReadBytes(f.dir.File("config_pack.fig"));
    WriteBytes(f.dir.File("config_pack.fig"), pack.substr(0, pack.size() - 3));
    FigLists cut;
    EXPECT_FALSE(LoadFigLists(f.dir.Path(), cut, f.error));
    EXPECT_NE(f.error.file.find("config_pack.fig"), std::string::npos);
    EXPECT_NE(f.error.reason.find("ends early"), std::string::npos);
    EXPECT_EQ(cut.pack.size(), 1u);  // the whole first row stays
    // A directory where a file should be is unreadable too.
    f.ReplaceWithFolder("config_feed.fig");
    FigLists again;
    EXPECT_FALSE(LoadFigLists(f.dir.Path(), again, f.error));
    EXPECT_NE(f.error.file.find("config_feed.fig"), std::string::npos);
}

// A speed file beyond the row cap (a few bytes a row, but seventeen cells a row once
// expanded) is refused with its name; one at the cap still loads.
TEST(FigLists, SpeedFileBeyondTheRowCapIsRefusedByName) {
    for (const std::size_t rows : {kMaxSpeedRows, kMaxSpeedRows + 1}) {
        SavedFolder f;
        WriteBytes(f.dir.File("config_speed.fig"), EncodeTableFile(std::vector<std::string>(rows, "1\t"), &f.saved.speedSetNames));
        FigLists loaded;
        const bool ok = LoadFigLists(f.dir.Path(), loaded, f.error);
        EXPECT_EQ(ok, rows == kMaxSpeedRows) << rows;
        EXPECT_EQ(loaded.speed.size(), ok ? rows : 0u);
        if (!ok) {
            EXPECT_NE(TableFileErrorText(f.error).find("config_speed.fig"), std::string::npos);
        }
    }
}

TEST(FigLists, FailureBetweenFilesLeavesTheRestWhole) {
    SavedFolder f;
    const FigLists oldLists = sampleLists(""), newLists = sampleLists("new ");
    f.ReplaceWithFolder("config_camera.fig");  // the fourth file cannot be replaced
    EXPECT_FALSE(SaveFigLists(f.dir.Path(), newLists, f.error));
    EXPECT_EQ(f.error.file, f.dir.File("config_camera.fig"));
    g_LanguageIndex = 1;  // the box speaks the interface language only
    EXPECT_EQ(TableFileSaveErrorText(f.error).rfind("Table file \"" + f.error.file + "\" cannot be written", 0), 0u);
    g_LanguageIndex = 0;
    // The sixteen files are one set: none of them was replaced.
    for (TableFile t : kAllTableFiles) {
        const std::string expected = encoded(oldLists, t);
        for (const std::string folder : {"", "ConfigBackup/"}) {
            if (t == TableFile::Camera && folder.empty()) continue;  // the failed file is a folder now
            EXPECT_EQ(ReadBytes(f.dir.File(folder + TableFileName(t))), expected) << folder << TableFileName(t);
        }
    }
    EXPECT_EQ(entries(f.dir.Path()).size(), 9u);  // no temporary file left behind
}

TEST(FigLists, BackupFolderThatCannotBeMadeWritesNothing) {
    TempDir dir;
    WriteBytes(dir.File("ConfigBackup"), "not a folder");
    TableFileError error;
    const FigLists lists = sampleLists("");
    EXPECT_FALSE(SaveFigLists(dir.Path(), lists, error));
    EXPECT_NE(error.file.find("ConfigBackup"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.File("config_feed.fig")));
    EXPECT_FALSE(fs::exists(dir.File("config_strip.fig")));
    EXPECT_EQ(entries(dir.Path()).size(), 1u);  // no temporary file left behind
}

// A failed single-file save is reported by the speed editor's unwritable-file test.
TEST(FigLists, SingleFileSaveWritesTheStartFolderOnly) {
    TempDir dir;
    const FigLists lists = sampleLists("");
    TableFileError error;
    ASSERT_TRUE(SaveTableFile(dir.Path(), TableFile::Speed, lists, error));
    EXPECT_EQ(entries(dir.Path()), std::set<std::string>{"config_speed.fig"});
    EXPECT_EQ(ReadBytes(dir.File("config_speed.fig")), encoded(lists, TableFile::Speed));
}

} // namespace

// Temporary files of a writer that was killed go at start-up, in the start folder and its
// backup folder; a live writer's files and names that only look alike stay.
TEST(TableFileLeftovers, StartUpRemovesWhatAKilledSaveLeft) {
    TempDir dir;
    fs::create_directory(dir.File("ConfigBackup"));
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string dead = std::to_string(child), live = std::to_string(getpid());
    // A live writer holds its files locked; what an earlier run left under this
    // very process id (ids repeat) goes.
    const std::pair<std::string, bool> files[] = {
        {"config.ini.tmp" + dead + "_0", false},
        {"ConfigBackup/config_feed.fig.tmp" + dead + "_12", false},
        {"config_speed.fig.tmp" + live + "_3", true},
        {"config_mark.fig.tmp" + live + "_4", false},
        {"ConfigBackup/config_pack.fig.tmp" + live + "_5", false},
        {"config.ini", true},
        {"notes.tmp", true},
        {"a.tmp" + dead + "_1x", true},
        {"a.tmp_" + dead, true},
        {".tmp" + dead + "_1", true},
    };
    for (const auto& [name, kept] : files) WriteBytes(dir.File(name), "x");
    const int held = ::open(dir.File("config_speed.fig.tmp" + live + "_3").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    RemoveKilledSaveLeftovers(dir.Path());
    for (const auto& [name, kept] : files) EXPECT_EQ(fs::exists(dir.File(name)), kept) << name;
    ::close(held);
}

// The full table save killed between its renames by a run whose process id this
// run has again: start-up finishes the set (all sixteen files new), and the next
// full save goes through instead of failing on the names left behind.
TEST(TableFileLeftovers, SetKilledUnderThisVeryProcessIdIsFinishedAtStartUp) {
    auto lists = [](const std::string& tag) {
        FigLists l;
        for (TableFile t : kAllTableFiles) l.Rows(t) = {tag + "\t" + TableFileName(t) + "\t"};
        l.speedSetNames = tag + "\t";
        return l;
    };
    TempDir dir, other;
    TableFileError error;
    ASSERT_TRUE(SaveFigLists(dir.Path(), lists("old"), error));
    ASSERT_TRUE(SaveFigLists(other.Path(), lists("new"), error));
    // The killed save: every temporary file written, the journal complete, the
    // first five renamed; named under this process's id.
    const std::string suffix = ".tmp" + std::to_string(getpid()) + "_0";
    std::string journal = "file set 1\n" + suffix + "\n";
    int renamed = 0;
    for (const std::string folder : {"", "ConfigBackup/"})
        for (TableFile t : kAllTableFiles) {
            const std::string name = folder + TableFileName(t);
            journal += name + "\n";
            WriteBytes(dir.File(name + (renamed++ < 5 ? "" : suffix)), ReadBytes(other.File(name)));
        }
    journal += "end\n";
    WriteBytes(dir.File(".saveset" + std::to_string(getpid()) + "_0.journal"), journal);

    RemoveKilledSaveLeftovers(dir.Path());
    for (const std::string folder : {"", "ConfigBackup"}) {
        FigLists loaded;
        ASSERT_TRUE(LoadFigLists(dir.File(folder), loaded, error)) << error.file;
        EXPECT_EQ(loaded.Rows(TableFile::Feed), lists("new").Rows(TableFile::Feed));
        for (TableFile t : kAllTableFiles) EXPECT_EQ(loaded.Rows(t), lists("new").Rows(t)) << folder << TableFileName(t);
    }
    EXPECT_EQ(entries(dir.Path()).size(), 9u);
    EXPECT_EQ(entries(dir.File("ConfigBackup")).size(), 8u);
    ASSERT_TRUE(SaveFigLists(dir.Path(), lists("newer"), error)) << error.file << ": " << error.reason;
    FigLists loaded;
    ASSERT_TRUE(LoadFigLists(dir.Path(), loaded, error));
    EXPECT_EQ(loaded.Rows(TableFile::Mark), lists("newer").Rows(TableFile::Mark));
}
