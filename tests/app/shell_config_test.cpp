#include <gtest/gtest.h>

#include "app/captions.h"
#include "app/frameconfig.h"
#include "app/globals.h"
#include "app/menus.h"
#include "platform/profile.h"
#include "test_support.h"

using namespace smt;
using smt::test::TempDir;
using smt::test::WriteBytes;
using smt::test::ReadBytes;

namespace {

void WriteConfig(const TempDir& dir, const std::string& text) {
    WriteBytes(dir.File("config.ini"), text);
    plat::FlushProfileCache();
}

} // namespace

TEST(LanguageSettings, ExactNamesSetIndexAndTitleMissingKeyMeansChinese) {
    const char* names[] = {"Chinese", "English", "German"};
    for (int i = 0; i < 3; ++i) {
        TempDir dir;
        WriteConfig(dir, std::string("[LanguageSetConfig]\nLanguageSet=") + names[i] + "\n");
        const LanguageSettings s = LoadLanguageSettings(dir.Path(), LanguageSettings{"Chinese", 0, kWindowTitles[0]});
        EXPECT_EQ(s.languageIndex, i);
        EXPECT_EQ(s.languageName, names[i]);
        EXPECT_EQ(s.windowTitle, kWindowTitles[i]);
    }
    TempDir none;  // no key: Chinese, whatever was set before
    const LanguageSettings s = LoadLanguageSettings(none.Path(), LanguageSettings{"German", 2, kWindowTitles[2]});
    EXPECT_EQ(s.languageName, "Chinese");
    EXPECT_EQ(s.languageIndex, 0);
    EXPECT_EQ(s.windowTitle, kWindowTitles[0]);
    EXPECT_EQ(std::string(kWindowTitles[0]), "岚拓韦贴片机控制系统V2.066");
    EXPECT_EQ(std::string(kWindowTitles[2]), "Tavrel SMT Control System V2.066");
}

TEST(LanguageSettings, LowerCaseNameKeepsIndexButNamesTheCaptionFile) {
    TempDir dir;
    WriteConfig(dir, "[LanguageSetConfig]\nLanguageSet=english\n");
    WriteBytes(dir.File("English.ini"), "[MenuSetConfig]\nID_FILE_NEW=New\n");
    plat::FlushProfileCache();
    const LanguageSettings s = LoadLanguageSettings(dir.Path(), LanguageSettings{"Chinese", 0, kWindowTitles[0]});
    EXPECT_EQ(s.languageIndex, 0);
    EXPECT_EQ(s.windowTitle, kWindowTitles[0]);
    EXPECT_EQ(s.languageName, "english");
    EXPECT_EQ(LanguageIndexOf("english"), -1);
    EXPECT_EQ(LanguageIndexOf("ENGLISH"), -1);
    EXPECT_EQ(LanguageIndexOf("German"), 2);
    // Captions come from the file the stored text names.
    const MenuCaptions captions = LoadMenuTexts(dir.Path(), s.languageName);
    EXPECT_EQ(captions.at("ID_FILE_NEW"), "New");
    EXPECT_EQ(captions.at("ID_FILE_OPEN"), "打开");  // missing key: built-in text
}

TEST(LanguageSettings, FeedModeNamesPerLanguageAndBuiltinSpeedNames) {
    TempDir dir;
    WriteBytes(dir.File("English.ini"), "[PartListConfig]\nPartList.c_GridBox=Tray\n");
    WriteBytes(dir.File("German.ini"), "[PartListConfig]\nPartList.c_GRID_DIP=Tablett_Tauch\n");
    plat::FlushProfileCache();
    LoadLanguageSettings(dir.Path(), {});
    EXPECT_EQ(g_FeedModeNames[3], "托盘");
    EXPECT_EQ(g_FeedModeNames[9 + 3], "Tray");
    EXPECT_EQ(g_FeedModeNames[9 + 0], "集中飞达");
    EXPECT_EQ(g_FeedModeNames[18 + 8], "Tablett_Tauch");
    EXPECT_EQ(g_FeedModeNames[7], "CL_浸渍站");
    EXPECT_EQ(g_SpeedNames[4], "视觉对中速度");
    EXPECT_EQ(g_SpeedNames[8 + 4], "Visual aglinment speed");
    EXPECT_EQ(g_SpeedNames[16 + 7], "Pick chip speed 1");
}

TEST(MachineSet, ReadRangeCheckedAndWrittenAsDecimal) {
    struct Case { const char* stored; int type; };
    const Case cases[] = {{"0", 0}, {"4", 4}, {"9", 9}, {"7abc", 7}, {"10", 0}, {"-1", 0},
                          {"123456", 0}, {"x", 0}, {"", 0}};
    for (const auto& c : cases) {
        TempDir dir;
        WriteConfig(dir, std::string("[MachineSetConfig]\nMachineSet=") + c.stored + "\n");
        EXPECT_EQ(LoadMachineSet(dir.Path()), c.type) << c.stored;
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

TEST(Captions, MissingFileSectionOrKeyGivesBuiltin) {
    TempDir dir;
    EXPECT_EQ(LoadCaption(dir.Path(), "German", "SMTViewConfig", "SMTView.c_Message_01", "默认"), "默认");
    WriteBytes(dir.File("German.ini"), "[Other]\nSMTView.c_Message_01=x\n[SMTViewConfig]\nsmtview.C_MESSAGE_02=Zwei\n");
    plat::FlushProfileCache();
    EXPECT_EQ(LoadCaption(dir.Path(), "German", "SMTViewConfig", "SMTView.c_Message_01", "默认"), "默认");
    EXPECT_EQ(LoadCaption(dir.Path(), "German", "SMTViewConfig", "SMTView.c_Message_02", "默认"), "Zwei");
}

TEST(Captions, ShippedCaptionFilesHaveEveryMenuAndViewKey) {
    // Every language file of res/ translates every menu caption.
    for (const char* lang : {"Chinese", "English", "German"}) {
        const MenuCaptions c = LoadMenuTexts(SMT_SOURCE_DIR "/res", lang);
        int translated = 0;
        for (const auto& [key, text] : c) {
            const std::string sentinel = "\x01missing";
            const std::string raw = LoadCaption(SMT_SOURCE_DIR "/res", lang, "MenuSetConfig", key, sentinel);
            EXPECT_NE(raw, sentinel) << lang << " lacks " << key;
            translated += raw != sentinel;
        }
        EXPECT_EQ(translated, static_cast<int>(c.size()));
        for (int k = 1; k <= 20; ++k) {
            char key[40];
            std::snprintf(key, sizeof key, "SMTView.c_Message_%02d", k);
            EXPECT_NE(LoadCaption(SMT_SOURCE_DIR "/res", lang, "SMTViewConfig", key, "\x01"), "\x01") << lang << key;
        }
    }
    // The Chinese file repeats the built-in texts.
    const MenuCaptions zh = LoadMenuTexts(SMT_SOURCE_DIR "/res", "Chinese");
    EXPECT_EQ(zh.at("ID_PasteLampMachineSet"), "点灯机参数表");
    EXPECT_EQ(zh.at("c_ID_MeasurementToVisualCamera1"), "测量头到视觉相机1");
    const MenuCaptions en = LoadMenuTexts(SMT_SOURCE_DIR "/res", "English");
    EXPECT_EQ(en.at("IDS_MENU_FILE"), "File");
}
