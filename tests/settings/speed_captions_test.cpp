#include <gtest/gtest.h>

#include "platform/profile.h"
#include "settings/speed_captions.h"
#include "settings/speed_tables.h"
#include "test_support.h"

namespace smt {
namespace {

const std::string kResFolder = std::string(SMT_SOURCE_DIR) + "/res";

std::vector<std::string> Keys(const DialogCaptions& captions) {
    std::vector<std::string> keys;
    for (const auto& entry : captions.Entries()) keys.push_back(entry.first);
    return keys;
}

// The keys in loading order, each with a built-in text.
TEST(SpeedCaptions, KeysInLoadingOrderWithBuiltInTexts) {
    std::vector<std::string> manager;
    for (const char* name :
         {"c_SpeedTemplate", "c_AddSpeed", "c_EditSpeed", "c_DeleteSpeed", "c_IDOK", "c_IDCANCEL",
          "c_FastModifySpeed", "c_MediumSpeedZoom", "c_MediumSpeedModify", "c_LowSpeedZoom", "c_LowSpeedModify",
          "c_ModifyResetSpeed", "c_ChangeResetSpeed", "c_OptimizeFarSpeed", "c_SpeedValve", "c_MaxSpeedLimit",
          "c_CustomSpeedEdit", "c_SpeedName", "c_HighSpeedTemplate", "c_MediumSpeedTemplate",
          "c_LowSpeedTemplate", "c_Start", "c_Normal"}) {
        manager.push_back(std::string("SpeedTemplate.") + name);
    }
    for (int d = 0; d < kSpeedDriveCount; ++d) manager.push_back(std::string("SpeedTemplate.c_Motor_") + SpeedDriveKey(d));
    manager.push_back("SpeedTemplate.c_Note");
    manager.push_back("SpeedTemplate.c_ManualSetting");
    for (const char* g : {"XY", "Z", "A", "Feed", "S"}) {
        for (const char* gear : {"Fast", "Medium", "Slow", "Fine"}) {
            manager.push_back(std::string("SpeedTemplate.c_") + g + "_Run" + gear);
        }
    }
    for (const char* name : {"c_SpeedSet", "c_SpeedHigh", "c_SpeedMedium", "c_SpeedLow"}) {
        manager.push_back(std::string("SpeedTemplate.") + name);
    }
    for (int i = 1; i <= 8; ++i) manager.push_back(NumberedCaption("SpeedTemplate.c_Message_", i));
    EXPECT_EQ(Keys(MakeSpeedTemplateCaptions()), manager);

    std::vector<std::string> list, set;
    for (int i = 1; i <= 17; ++i) list.push_back(NumberedCaption("SpeedList.c_SpeedList_", i));
    for (int i = 1; i <= 9; ++i) set.push_back(NumberedCaption("SpeedSet.c_SpeedSetList_", i));
    EXPECT_EQ(Keys(MakeSpeedListCaptions()), list);
    EXPECT_EQ(Keys(MakeSpeedSetCaptions()), set);

    // The built-in texts that are also the drive and row captions agree with them.
    const DialogCaptions manager0 = MakeSpeedTemplateCaptions(), list0 = MakeSpeedListCaptions();
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        EXPECT_EQ(manager0.Text(std::string("SpeedTemplate.c_Motor_") + SpeedDriveKey(d)), SpeedDriveEditCaption(d));
        EXPECT_EQ(list0.Text(NumberedCaption("SpeedList.c_SpeedList_", d + 2)), SpeedDriveListCaption(d));
    }
    for (int k = 0; k < kSpeedTypeCount; ++k) {
        EXPECT_EQ(MakeSpeedSetCaptions().Text(NumberedCaption("SpeedSet.c_SpeedSetList_", k + 3)),
                  SpeedSetRowCaption(k));
    }
    EXPECT_EQ(manager0.Text("SpeedTemplate.c_SpeedTemplate"), "速度模板管理");
    EXPECT_EQ(manager0.Text("SpeedTemplate.c_Z_RunFast"), "Z 快速定位");
    EXPECT_EQ(manager0.Text("SpeedTemplate.c_Message_03"),
              "要删除的速度在速度设置里已经被使用，\r\n请先改变速度设置后再删除此速度 !");
    for (const DialogCaptions& c : {manager0, list0, MakeSpeedSetCaptions()}) {
        for (const auto& entry : c.Entries()) EXPECT_FALSE(entry.second.empty()) << entry.first;
    }
}

TEST(SpeedCaptions, MissingKeysKeepTheBuiltInText) {
    test::TempDir dir;
    test::WriteBytes(dir.File("English.ini"),
                     "[SpeedTemplateConfig]\nSpeedTemplate.c_AddSpeed=Add speed\n"
                     "[SpeedListConfig]\nSpeedList.c_SpeedList_01=Speed name\n");
    plat::FlushProfileCache();
    DialogCaptions manager = MakeSpeedTemplateCaptions();
    manager.Load(dir.Path(), "English");
    EXPECT_EQ(manager.Text("SpeedTemplate.c_AddSpeed"), "Add speed");
    EXPECT_EQ(manager.Text("SpeedTemplate.c_DeleteSpeed"), "删除速度");
    DialogCaptions list = MakeSpeedListCaptions();
    list.Load(dir.Path(), "English");
    EXPECT_EQ(list.Text("SpeedList.c_SpeedList_01"), "Speed name");
    EXPECT_EQ(list.Text("SpeedList.c_SpeedList_02"), "X 轴电机");
    // No file for the language: everything built in.
    DialogCaptions german = MakeSpeedTemplateCaptions();
    german.Load(dir.Path(), "German");
    EXPECT_EQ(german.Text("SpeedTemplate.c_AddSpeed"), "添加速度");
}

// The shipped caption files hold every key; Chinese gives the built-in texts and
// the other two languages translate them.
TEST(SpeedCaptions, ShippedFilesAreComplete) {
    for (const char* language : {"Chinese", "English", "German"}) {
        const std::string path = kResFolder + "/" + language + ".ini";
        for (const DialogCaptions& c : {MakeSpeedTemplateCaptions(), MakeSpeedListCaptions(), MakeSpeedSetCaptions()}) {
            for (const auto& [key, builtIn] : c.Entries()) {
                const std::string text = plat::GetPrivateProfileString(c.Section(), key, "<missing>", 512, path);
                EXPECT_NE(text, "<missing>") << language << " " << key;
                EXPECT_FALSE(text.empty()) << language << " " << key;
                if (std::string(language) == "Chinese") {
                    if (key != "SpeedTemplate.c_Message_03") {
                        EXPECT_EQ(text, builtIn) << key;
                    }
                } else {
                    EXPECT_NE(text, builtIn) << language << " " << key << " is untranslated";
                }
            }
        }
    }
}

} // namespace
} // namespace smt
