#include <gtest/gtest.h>

#include "platform/profile.h"
#include "settings/pulse_settings.h"
#include "settings/version_switches.h"
#include "settings_test_util.h"
#include "test_support.h"

namespace smt {
namespace {

TEST(VersionSwitches, MissingSectionGivesAllZero) {
    test::TempDir dir;
    VersionSwitches v{1, 1, 1, 1, 1};
    LoadCpuVersionConfig(v, dir.File("config.ini"));
    EXPECT_EQ(v.m_V2_04, 0);
    EXPECT_EQ(v.m_V2_05, 0);
    EXPECT_EQ(v.m_V2_06, 0);
    EXPECT_EQ(v.m_V2_07, 0);
    EXPECT_EQ(v.m_Write_Logfile, 0);
}

TEST(VersionSwitches, SaveWritesEveryKeyInOrderAndReadsBack) {
    test::TempDir dir;
    const std::string config = dir.File("config.ini");
    const VersionSwitches v{1, 0, 1, 0, 1};
    ASSERT_TRUE(SaveCpuVersionConfig(v, config));
    EXPECT_EQ(test::ProfileLines(config),
              (std::vector<std::string>{"[CPUVersionNumberConfig]", "m_V2_04=1", "m_V2_05=0", "m_V2_06=1",
                                        "m_V2_07=0", "m_Write_Logfile=1"}));
    VersionSwitches back;
    LoadCpuVersionConfig(back, config);
    EXPECT_EQ(back.m_V2_04, 1);
    EXPECT_EQ(back.m_V2_05, 0);
    EXPECT_EQ(back.m_V2_06, 1);
    EXPECT_EQ(back.m_V2_07, 0);
    EXPECT_EQ(back.m_Write_Logfile, 1);
}

TEST(DialogCaptions, LanguageFileOverridesAndMissingKeysKeepBuiltIn) {
    test::TempDir dir;
    DialogCaptions& c = TheVersionNumberCaptions();
    plat::WritePrivateProfileString("CPUVersionNumberConfig", "VersionNumber.c_Write_Logfile", "Write log",
                                    dir.File("English.ini"));
    c.Load(dir.Path(), "English");
    EXPECT_EQ(c.Text("VersionNumber.c_Write_Logfile"), "Write log");
    EXPECT_EQ(c.Text("VersionNumber.c_VersionNumber"), "CPU 版本号");
    EXPECT_EQ(c.Text("VersionNumber.c_Unknown"), "");
    c.Load(dir.Path(), "German"); // no such file: built-in texts
    EXPECT_EQ(c.Text("VersionNumber.c_Write_Logfile"), "写日志");
    c.Reset();
}

} // namespace
} // namespace smt

namespace smt {
namespace {

// Every caption key of the two dialogs is translated in every shipped caption file.
TEST(CaptionFiles, EveryKeyInEveryLanguage) {
    const std::string res = std::string(SMT_SOURCE_DIR) + "/res";
    for (DialogCaptions* captions : {&ThePulseCaptions(), &TheVersionNumberCaptions()}) {
        for (const char* language : {"Chinese", "English", "German"}) {
            const std::string path = res + "/" + language + ".ini";
            for (const auto& [key, builtIn] : captions->Entries()) {
                const std::string text =
                    plat::GetPrivateProfileString(captions->Section(), key, "<missing>", 512, path);
                EXPECT_NE(text, "<missing>") << language << " " << key;
                if (std::string(language) == "Chinese") {
                    EXPECT_EQ(text, builtIn) << key;
                }
            }
        }
    }
    ThePulseCaptions().Load(res, "German");
    EXPECT_EQ(ThePulseCaptions().Text("SetPulse.c_SetPulse"), "Impulseinstellungen");
    ThePulseCaptions().Reset();
}

} // namespace
} // namespace smt
