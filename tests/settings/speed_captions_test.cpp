#include <gtest/gtest.h>

#include "platform/profile.h"
#include "settings/speed_captions.h"
#include "test_support.h"

namespace smt {
namespace {

const std::string kResFolder = std::string(SMT_SOURCE_DIR) + "/res";

std::vector<std::string> Names(const SpeedCaptionTable& builtIn, const std::vector<std::string>& all) {
    std::vector<std::string> names;
    for (const auto& n : all) {
        if (!builtIn.Text(n).empty()) names.push_back(n);
    }
    return names;
}

// Every caption name the manager and its pages ask for.
std::vector<std::pair<SpeedCaptionTable, std::vector<std::string>>> AllTables() {
    std::vector<std::string> manager = {
        "c_SpeedTemplate", "c_AddSpeed", "c_EditSpeed", "c_DeleteSpeed", "c_IDOK", "c_IDCANCEL",
        "c_FastModifySpeed", "c_MediumSpeedZoom", "c_MediumSpeedModify", "c_LowSpeedZoom",
        "c_LowSpeedModify", "c_ModifyResetSpeed", "c_ChangeResetSpeed", "c_OptimizeFarSpeed",
        "c_SpeedValve", "c_MaxSpeedLimit", "c_CustomSpeedEdit", "c_SpeedName", "c_HighSpeedTemplate",
        "c_MediumSpeedTemplate", "c_LowSpeedTemplate", "c_Start", "c_Normal", "c_Note", "c_ManualSetting",
        "c_SpeedSet", "c_SpeedHigh", "c_SpeedMedium", "c_SpeedLow"};
    for (const char* d : {"X", "Y", "Z1", "Z2", "A1", "A2", "A3", "A4", "WestWalk", "WestLift", "NorthWalk",
                          "NorthLift", "EastWalk", "EastLift", "AutoWalk1", "AutoWalk2"}) {
        manager.push_back(std::string("c_Motor_") + d);
    }
    for (const char* g : {"XY", "Z", "A", "Feed", "S"}) {
        for (const char* gear : {"Fast", "Medium", "Slow", "Fine"}) {
            manager.push_back(std::string("c_") + g + "_Run" + gear);
        }
    }
    for (int i = 1; i <= 8; ++i) manager.push_back(NumberedCaption("c_Message_", i));
    std::vector<std::string> list, set;
    for (int i = 1; i <= 17; ++i) list.push_back(NumberedCaption("c_SpeedList_", i));
    for (int i = 1; i <= 9; ++i) set.push_back(NumberedCaption("c_SpeedSetList_", i));
    return {{MakeSpeedTemplateCaptions(), manager}, {MakeSpeedListCaptions(), list}, {MakeSpeedSetCaptions(), set}};
}

TEST(SpeedCaptions, EveryNameHasABuiltInText) {
    for (const auto& [table, names] : AllTables()) {
        EXPECT_EQ(Names(table, names), names) << table.Section();
    }
    const SpeedCaptionTable manager = MakeSpeedTemplateCaptions();
    EXPECT_EQ(manager.Text("c_SpeedTemplate"), "速度模板管理");
    EXPECT_EQ(manager.Text("c_Motor_AutoWalk1"), "自动进料1");
    EXPECT_EQ(manager.Text("c_Z_RunFast"), "Z 快速定位");
    EXPECT_EQ(manager.Text("c_Message_07"), "没有发现对应的速度名称 !");
    EXPECT_EQ(MakeSpeedListCaptions().Text("c_SpeedList_16"), "南面走位");
    EXPECT_EQ(MakeSpeedSetCaptions().Text("c_SpeedSetList_09"), "自动换吸嘴速度XYZ有效");
    EXPECT_EQ(manager.Text("c_NoSuchCaption"), "");
}

TEST(SpeedCaptions, MissingKeysKeepTheBuiltInText) {
    test::TempDir dir;
    test::WriteBytes(dir.File("English.ini"),
                     "[SpeedTemplateConfig]\nSpeedTemplate.c_AddSpeed=Add speed\n"
                     "[SpeedListConfig]\nSpeedList.c_SpeedList_01=Speed name\n");
    plat::FlushProfileCache();
    SpeedCaptionTable manager = MakeSpeedTemplateCaptions();
    manager.Load(dir.Path(), "English");
    EXPECT_EQ(manager.Text("c_AddSpeed"), "Add speed");
    EXPECT_EQ(manager.Text("c_DeleteSpeed"), "删除速度");
    SpeedCaptionTable list = MakeSpeedListCaptions();
    list.Load(dir.Path(), "English");
    EXPECT_EQ(list.Text("c_SpeedList_01"), "Speed name");
    EXPECT_EQ(list.Text("c_SpeedList_02"), "X 轴电机");
    // No file for the language: everything built in.
    SpeedCaptionTable german = MakeSpeedTemplateCaptions();
    german.Load(dir.Path(), "German");
    EXPECT_EQ(german.Text("c_AddSpeed"), "添加速度");
}

// The shipped caption files hold every key; Chinese gives the built-in texts.
TEST(SpeedCaptions, ShippedFilesAreComplete) {
    for (const char* language : {"Chinese", "English", "German"}) {
        for (const auto& [table, names] : AllTables()) {
            const std::string path = CaptionFilePath(kResFolder, language);
            for (const auto& name : names) {
                const std::string key = (table.Section() == "SpeedTemplateConfig" ? "SpeedTemplate."
                                         : table.Section() == "SpeedListConfig"   ? "SpeedList."
                                                                                  : "SpeedSet.") +
                                        name;
                const std::string text = plat::GetPrivateProfileString(table.Section(), key, "<missing>", 512, path);
                EXPECT_NE(text, "<missing>") << language << " " << key;
                EXPECT_FALSE(text.empty()) << language << " " << key;
                if (std::string(language) == "Chinese" && name != "c_Message_03") {
                    EXPECT_EQ(text, table.Text(name)) << key;
                }
                if (std::string(language) != "Chinese" && name != "c_IDOK" && name != "c_Start") {
                    EXPECT_NE(text, table.Text(name)) << language << " " << key << " is untranslated";
                }
            }
        }
    }
}

} // namespace
} // namespace smt
