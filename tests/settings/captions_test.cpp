// The settings dialogs' captions: every key shipped in every language, the
// Chinese file equal to the built-in texts, and a language file overriding them.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "settings/auto_transport.h"
#include "settings/basic_teach.h"
#include "settings/cover_tape.h"
#include "settings/dipping_station.h"
#include "settings/limit_detour.h"
#include "settings/origin_update.h"
#include "settings/pulse_settings.h"
#include "settings/speed_captions.h"
#include "settings/speed_tables.h"
#include "settings/version_switches.h"
#include "test_support.h"

namespace smt {
namespace {

const std::string kRes = std::string(SMT_SOURCE_DIR) + "/res";

TEST(SettingsCaptions, ShippedFilesHoldEveryKey) {
    for (DialogCaptions* c : {&TheBasicCaptions(), &TheOriginUpdateCaptions(), &TheDetourCaptions(),
                              &TheDippingStationCaptions(), &ThePulseCaptions(), &TheVersionNumberCaptions(),
                              &TheAutoTransportCaptions(), &TheCoverCaptions()})
        c->Reset();  // the built-in texts, whatever an earlier case loaded
    struct Set {
        DialogCaptions captions;
        bool translated;  // English and German differ from the built-in text
    };
    const Set sets[] = {
        {TheBasicCaptions(), false},        {TheOriginUpdateCaptions(), false},
        {TheDetourCaptions(), false},       {TheDippingStationCaptions(), false},
        {ThePulseCaptions(), false},        {TheVersionNumberCaptions(), false},
        {TheAutoTransportCaptions(), false}, {TheCoverCaptions(), false},
        {MakeSpeedTemplateCaptions(), true}, {MakeSpeedListCaptions(), true},
        {MakeSpeedSetCaptions(), true},
    };
    for (const char* language : {"Chinese", "English", "German"}) {
        const std::string path = kRes + "/" + language + ".ini";
        for (const Set& set : sets) {
            for (const auto& [key, builtIn] : set.captions.Entries()) {
                const std::string text =
                    plat::GetPrivateProfileString(set.captions.Section(), key, "<missing>", 512, path);
                EXPECT_NE(text, "<missing>") << language << " " << key;
                EXPECT_FALSE(text.empty()) << language << " " << key;
                // The file holds message 03 on one line; the built-in text breaks it.
                if (std::string(language) == "Chinese" && key != "SpeedTemplate.c_Message_03") {
                    EXPECT_EQ(text, builtIn) << key;
                } else if (std::string(language) != "Chinese" && set.translated) {
                    EXPECT_NE(text, builtIn) << language << " " << key << " is untranslated";
                }
            }
        }
    }
}

TEST(SettingsCaptions, LanguageFileOverridesAndMissingKeysKeepBuiltIn) {
    test::TempDir dir;
    test::WriteBytes(dir.File("English.ini"),
                     "[CPUVersionNumberConfig]\r\nVersionNumber.c_Write_Logfile=Write log\r\n"
                     "[SpeedListConfig]\r\nSpeedList.c_SpeedList_01=Speed name\r\n");
    plat::FlushProfileCache();
    DialogCaptions& c = TheVersionNumberCaptions();
    c.Load(dir.Path(), "English");
    EXPECT_EQ(c.Text("VersionNumber.c_Write_Logfile"), "Write log");
    EXPECT_EQ(c.Text("VersionNumber.c_VersionNumber"), "CPU 版本号");
    EXPECT_EQ(c.Text("VersionNumber.c_Unknown"), "");
    c.Load(dir.Path(), "German");  // no such file: built-in texts
    EXPECT_EQ(c.Text("VersionNumber.c_Write_Logfile"), "写日志");
    c.Reset();
    DialogCaptions list = MakeSpeedListCaptions();
    list.Load(dir.Path(), "English");
    EXPECT_EQ(list.Text("SpeedList.c_SpeedList_01"), "Speed name");
    EXPECT_EQ(list.Text("SpeedList.c_SpeedList_02"), "X 轴电机");

    // The shipped files.
    ThePulseCaptions().Load(kRes, "German");
    EXPECT_EQ(ThePulseCaptions().Text("SetPulse.c_SetPulse"), "Impulseinstellungen");
    ThePulseCaptions().Reset();
    TheBasicCaptions().Load(kRes, "English");
    EXPECT_EQ(TheBasicCaptions().Text("SetBasic.c_SetBasic"), "Basic settings");
    TheBasicCaptions().Reset();
    EXPECT_EQ(TheBasicCaptions().Text("SetBasic.c_SetBasic"), "基本设置");
}

// The speed dialogs' built-in texts that double as drive and row captions agree.
TEST(SettingsCaptions, SpeedCaptionsAgreeWithTheDriveAndRowNames) {
    const DialogCaptions manager = MakeSpeedTemplateCaptions(), list = MakeSpeedListCaptions(),
                         set = MakeSpeedSetCaptions();
    EXPECT_EQ(list.Entries().size(), 17u);
    EXPECT_EQ(set.Entries().size(), 9u);
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        EXPECT_EQ(manager.Text(std::string("SpeedTemplate.c_Motor_") + SpeedDriveKey(d)), SpeedDriveEditCaption(d));
        EXPECT_EQ(list.Text(NumberedCaption("SpeedList.c_SpeedList_", d + 2)), SpeedDriveListCaption(d));
    }
    for (int k = 0; k < kSpeedTypeCount; ++k)
        EXPECT_EQ(set.Text(NumberedCaption("SpeedSet.c_SpeedSetList_", k + 3)), SpeedSetRowCaption(k));
    EXPECT_EQ(manager.Text("SpeedTemplate.c_SpeedTemplate"), "速度模板管理");
    EXPECT_EQ(manager.Text("SpeedTemplate.c_Z_RunFast"), "Z 快速定位");
    EXPECT_EQ(manager.Text("SpeedTemplate.c_Message_08").empty(), false);
    EXPECT_EQ(manager.Text("SpeedTemplate.c_Message_03"),
              "要删除的速度在速度设置里已经被使用，\r\n请先改变速度设置后再删除此速度 !");
}

} // namespace
} // namespace smt
