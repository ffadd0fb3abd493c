// The settings dialogs' captions: every key shipped in every language, the
// Chinese file equal to the built-in texts, and a language file overriding them.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "machine_ops/auto_transport.h"
#include "machine_ops/basic_teach.h"
#include "machine_ops/cover_tape.h"
#include "machine_ops/dipping_station.h"
#include "settings/limit_detour.h"
#include "machine_ops/origin_update.h"
#include "settings/pulse_settings.h"
#include "settings/speed_captions.h"
#include "settings/version_switches.h"
#include "test_support.h"

namespace smt {
namespace {

const std::string kRes = std::string(SMT_SOURCE_DIR) + "/res";

// Every key in every shipped language; the Chinese file equals the built-in texts
// (but for message 03, which the built-in text breaks over two lines), and the
// speed dialogs' captions are translated.
TEST(SettingsCaptions, ShippedFilesHoldEveryKey) {
    std::vector<std::pair<DialogCaptions, bool>> sets;  // captions, translated
    for (DialogCaptions* c : {&TheBasicCaptions(), &TheOriginUpdateCaptions(), &TheDetourCaptions(),
                              &TheDippingStationCaptions(), &ThePulseCaptions(), &TheVersionNumberCaptions(),
                              &TheAutoTransportCaptions(), &TheCoverCaptions()}) {
        c->Reset();  // the built-in texts, whatever an earlier case loaded
        sets.emplace_back(*c, false);
    }
    for (const DialogCaptions& c : {MakeSpeedTemplateCaptions(), MakeSpeedListCaptions(), MakeSpeedSetCaptions()})
        sets.emplace_back(c, true);
    for (const std::string language : {"Chinese", "English", "German"}) {
        const std::string path = kRes + "/" + language + ".ini";
        for (const auto& [captions, translated] : sets) {
            for (const auto& [key, builtIn] : captions.Entries()) {
                SCOPED_TRACE(language + " " + key);
                const std::string text = plat::GetPrivateProfileString(captions.Section(), key, "", 512, path);
                EXPECT_FALSE(text.empty());
                if (language == "Chinese" && key != "SpeedTemplate.c_Message_03") {
                    EXPECT_EQ(text, builtIn);
                } else if (language != "Chinese" && translated) {
                    EXPECT_NE(text, builtIn) << "untranslated";
                }
            }
        }
    }
}

TEST(SettingsCaptions, LanguageFileOverridesAndMissingKeysKeepBuiltIn) {
    test::TempDir dir;
    test::WriteBytes(dir.File("English.ini"),
                     "[CPUVersionNumberConfig]\r\nVersionNumber.c_Write_Logfile=Write log\r\n");
    plat::FlushProfileCache();
    DialogCaptions& c = TheVersionNumberCaptions();
    c.Load(dir.Path(), "English");
    EXPECT_EQ(c.Text("VersionNumber.c_Write_Logfile"), "Write log");
    EXPECT_EQ(c.Text("VersionNumber.c_VersionNumber"), "CPU 版本号");
    EXPECT_EQ(c.Text("VersionNumber.c_Unknown"), "");
    c.Load(dir.Path(), "German");  // no such file: built-in texts
    EXPECT_EQ(c.Text("VersionNumber.c_Write_Logfile"), "写日志");
    c.Reset();
}

} // namespace
} // namespace smt
