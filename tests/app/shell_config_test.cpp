#include <gtest/gtest.h>

#include "base/captions.h"
#include "app/frameconfig.h"
#include "base/globals.h"
#include "app/menus.h"
#include "base/numtext.h"
#include "platform/profile.h"
#include "test_support.h"

using namespace smt;
using smt::test::TempDir;
using smt::test::WriteBytes;

namespace {

void WriteConfig(const TempDir& dir, const std::string& text) {
    WriteBytes(dir.File("config.ini"), text);
    plat::FlushProfileCache();
}

const LanguageSettings kChinese{"Chinese", 0, kWindowTitles[0]};

} // namespace

TEST(LanguageSettings, ExactNamesSetIndexAndTitleMissingKeyMeansChinese) {
    const char* names[] = {"Chinese", "English", "German"};
    for (int i = 0; i < 3; ++i) {
        TempDir dir;
        WriteConfig(dir, std::string("[LanguageSetConfig]\nLanguageSet=") + names[i] + "\n");
        const LanguageSettings s = LoadLanguageSettings(dir.Path(), kChinese);
        EXPECT_EQ(s.languageIndex, i);
        EXPECT_EQ(s.languageName, names[i]);
        EXPECT_EQ(s.windowTitle, kWindowTitles[i]);
    }
    TempDir none;  // no key: Chinese, whatever was set before
    const LanguageSettings s = LoadLanguageSettings(none.Path(), LanguageSettings{"German", 2, kWindowTitles[2]});
    EXPECT_EQ(s.languageName, "Chinese");
    EXPECT_EQ(s.languageIndex, 0);
    EXPECT_EQ(s.windowTitle, kWindowTitles[0]);

    // Only exact names have an index; any other text keeps the previous one.
    for (auto [name, index] : {std::pair{"english", -1}, {"ENGLISH", -1}, {"German", 2}})
        EXPECT_EQ(LanguageIndexOf(name), index) << name;
}

TEST(LanguageSettings, FeedModeNamesPerLanguageAndBuiltinSpeedNames) {
    TempDir dir;
    WriteBytes(dir.File("English.ini"), "[PartListConfig]\nPartList.c_GridBox=Tray\n");
    WriteBytes(dir.File("German.ini"), "[PartListConfig]\nPartList.c_GRID_DIP=Tablett_Tauch\n");
    plat::FlushProfileCache();
    LoadLanguageSettings(dir.Path(), {});
    EXPECT_EQ(g_FeedModeNames[3], "托盘");
    EXPECT_EQ(g_FeedModeNames[9 + 3], "Tray");
    EXPECT_EQ(g_FeedModeNames[9 + 0], "集中飞达");  // missing key: built-in text
    EXPECT_EQ(g_FeedModeNames[18 + 8], "Tablett_Tauch");
    EXPECT_EQ(g_SpeedNames[16 + 7], g_SpeedNames[8 + 7]);  // German shows the English built-ins
    EXPECT_NE(g_SpeedNames[7], g_SpeedNames[8 + 7]);
}

TEST(MachineSet, ReadRangeCheckedAndWrittenAsDecimal) {
    for (auto [stored, type] : {std::pair{"0", 0}, {"4", 4}, {"9", 9}, {"7abc", 7}, {"10", 0}, {"-1", 0},
                                {"123456", 0}, {"x", 0}, {"", 0}}) {
        TempDir dir;
        WriteConfig(dir, std::string("[MachineSetConfig]\nMachineSet=") + stored + "\n");
        EXPECT_EQ(LoadMachineSet(dir.Path()), type) << stored;
    }
    TempDir dir;
    EXPECT_EQ(LoadMachineSet(dir.Path()), 0);
    g_SmtHeadCount = 4;
    ASSERT_TRUE(SaveMachineSet(dir.Path(), 6));
    EXPECT_EQ(g_SmtHeadCount, 1);
    plat::FlushProfileCache();
    EXPECT_EQ(ReadConfig(dir.Path(), "MachineSetConfig", "MachineSet"), "6");
    EXPECT_EQ(LoadMachineSet(dir.Path()), 6);
    ASSERT_TRUE(SaveLanguageSet(dir.Path(), "German"));
    plat::FlushProfileCache();
    EXPECT_EQ(ReadConfig(dir.Path(), "LanguageSetConfig", "LanguageSet"), "German");
}

TEST(Captions, ShippedCaptionFilesHaveEveryMenuAndViewKey) {
    const std::string res = SMT_SOURCE_DIR "/res", missing = "\x01missing";
    for (const char* lang : {"Chinese", "English", "German"}) {
        for (const auto& [key, text] : LoadMenuTexts(res, lang))
            EXPECT_NE(LoadCaption(res, lang, "MenuSetConfig", key, missing), missing) << lang << " lacks " << key;
        for (int k = 1; k <= 20; ++k) {
            const std::string key = FormatC("SMTView.c_Message_%02d", k);
            EXPECT_NE(LoadCaption(res, lang, "SMTViewConfig", key, missing), missing) << lang << " lacks " << key;
        }
    }
}
