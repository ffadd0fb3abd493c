#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "app/numtext.h"
#include "platform/profile.h"
#include "settings/basic_settings.h"
#include "settings_test_util.h"
#include "test_support.h"

namespace smt {
namespace {

using test::TempDir;

// Installs a lens calibration stand-in for one test: records the files asked
// for and answers with a loaded flag.
class FakeLens {
public:
    FakeLens() {
        TheLensCalibrationPort().load = [this](const std::string& path) {
            asked.push_back(path);
            if (loadSucceeds) loaded = true;
            return loaded;
        };
        TheLensCalibrationPort().isLoaded = [this] { return loaded; };
    }
    ~FakeLens() { TheLensCalibrationPort() = {}; }
    std::vector<std::string> asked;
    bool loadSucceeds = false;
    bool loaded = false;
};

class BasicSettingsTest : public ::testing::Test {
protected:
    void Store(const std::map<std::string, std::string>& values) {
        for (const auto& [key, value] : values)
            ASSERT_TRUE(plat::WritePrivateProfileString("SetBasicConfig", key, value, config));
    }
    BasicSettings Load() {
        BasicSettings s;
        LoadSetBasicConfig(s, config);
        return s;
    }
    TempDir dir;
    std::string config = dir.File("config.ini");
    FakeLens lens;
};

TEST_F(BasicSettingsTest, NoFileGivesTheFullListOfDefaults) {
    BasicSettings s;
    s.m_Z_Nozzle3ToFeed = -7; // overwritten by the load
    s.m_Calibrator2 = 1;
    LoadSetBasicConfig(s, config);
    for (const BasicSettingField& f : BasicSettingFields()) {
        const std::string key = f.key;
        double expected = 0;
        if (key == "m_MeasurementStart" || key == "m_MeasurementNormal") expected = 1;
        else if (key == "m_Exhaust") expected = 5;
        else if (key == "m_ChangeDelay" || key == "m_ThrowDelay") expected = 100;
        else if (key == "m_VisualOriginBox") expected = 2.0;
        else if (key == "m_Z_closeVacuum") expected = 0.1;
        else if (key == "m_AutoMagnify") expected = 4.0;
        else if (key == "m_X_Limit" || key == "m_SouthFeed_Limit" || key == "m_NorthFeed_Limit") expected = 0.1;
        else if (key == "m_Y_Limit" || key == "m_Z_Limit" || key == "m_EastFeed_Limit" ||
                 key == "m_WestFeed_Limit") expected = -0.1;
        const double got = f.length ? s.*f.length : s.*f.integer;
        EXPECT_EQ(got, expected) << key;
    }
    // Lens 0: the 8 mm calibration is asked for from the config file's folder.
    ASSERT_EQ(lens.asked.size(), 1u);
    EXPECT_EQ(lens.asked[0], dir.File("cameraCalibrate_data8mm.xml"));
    EXPECT_EQ(s.m_Calibrator2, 0);
}

TEST_F(BasicSettingsTest, FieldTableHasEveryKeyOnceInFileOrder) {
    const auto fields = BasicSettingFields();
    ASSERT_EQ(fields.size(), 103u);
    EXPECT_STREQ(fields[0].key, "m_Z_Nozzle1ToFeed");
    EXPECT_STREQ(fields[8].key, "m_Correction_X1");
    EXPECT_STREQ(fields[16].key, "m_Correction_Y1");
    EXPECT_STREQ(fields[24].key, "m_Z_Nozzle1ToPCBHeight");
    EXPECT_STREQ(fields[102].key, "m_bCameraTrackModify");
    std::map<std::string, int> seen;
    for (const auto& f : fields) {
        EXPECT_NE(f.length == nullptr, f.integer == nullptr) << f.key;
        EXPECT_EQ(++seen[f.key], 1) << f.key;
        if (f.ranged) {
            EXPECT_LT(f.low, f.high) << f.key;
        }
    }
}

struct Correction {
    const char* key;
    const char* stored;
    double loaded;
};

class BasicSettingsCorrection : public BasicSettingsTest,
                                public ::testing::WithParamInterface<Correction> {};

TEST_P(BasicSettingsCorrection, LoadsCorrected) {
    const Correction& c = GetParam();
    Store({{c.key, c.stored}});
    const BasicSettings s = Load();
    for (const BasicSettingField& f : BasicSettingFields()) {
        if (std::string(f.key) != c.key) continue;
        EXPECT_EQ(f.length ? s.*f.length : s.*f.integer, c.loaded) << c.key << " stored " << c.stored;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothSidesOfEachBound, BasicSettingsCorrection,
    ::testing::Values(
        Correction{"m_ChangeDelay", "99", 100}, Correction{"m_ChangeDelay", "100", 100},
        Correction{"m_ChangeDelay", "30000", 30000}, Correction{"m_ChangeDelay", "30001", 100},
        Correction{"m_ChangeDelay", "-5", 100},
        Correction{"m_Exhaust", "4", 5}, Correction{"m_Exhaust", "-3", 5}, Correction{"m_Exhaust", "5", 5},
        Correction{"m_Exhaust", "300", 300},
        Correction{"m_MeasurementStart", "0", 1}, Correction{"m_MeasurementStart", "-2", 1},
        Correction{"m_MeasurementStart", "1", 1}, Correction{"m_MeasurementNormal", "0", 1},
        Correction{"m_MeasurementNormal", "2", 2},
        Correction{"m_ThrowDelay", "0", 100}, Correction{"m_ThrowDelay", "50", 50},
        Correction{"m_VisualOriginBox", "0.0000", 2.0}, Correction{"m_VisualOriginBox", "0.00001", 0.00001},
        Correction{"m_Z_closeVacuum", "0.0000", 0.1}, Correction{"m_Z_closeVacuum", "0.05", 0.05},
        Correction{"m_AutoMagnify", "0.0000", 4.0}, Correction{"m_AutoMagnify", "0.5", 0.5},
        Correction{"m_X_Limit", "0.0000", 0.1}, Correction{"m_X_Limit", "-3.0000", -3.0},
        Correction{"m_Y_Limit", "0.0000", -0.1}, Correction{"m_Y_Limit", "0.0500", 0.05},
        Correction{"m_Z_Limit", "0", -0.1}, Correction{"m_EastFeed_Limit", "0", -0.1},
        Correction{"m_SouthFeed_Limit", "0", 0.1}, Correction{"m_WestFeed_Limit", "0", -0.1},
        Correction{"m_NorthFeed_Limit", "0", 0.1}, Correction{"m_NorthFeed_Limit", "250.5", 250.5},
        // Values outside the dialog's range stay until the dialog refuses them.
        Correction{"m_Z_Nozzle1ToFeed", "5.5", 5.5},
        // Prefix rules: an integer key stored as 3.7 reads 3, a length with letters after it reads the number.
        Correction{"m_CottectionTimeReset", "3.7", 3}, Correction{"m_X_ThrowPosition", "12abc", 12},
        Correction{"m_OriginLightContrast", "abc", 0}));

TEST_F(BasicSettingsTest, LensCalibrationChoiceAndCalibratorSwitch) {
    Store({{"m_CameraLens", "1"}, {"m_Calibrator2", "1"}});
    lens.loadSucceeds = true;
    BasicSettings s = Load();
    ASSERT_EQ(lens.asked.size(), 1u);
    EXPECT_EQ(lens.asked[0], dir.File("cameraCalibrate_data6mm.xml"));
    EXPECT_EQ(s.m_Calibrator2, 1);

    // An unknown lens loads nothing; the switch stays while an earlier calibration is loaded...
    Store({{"m_CameraLens", "2"}});
    lens.asked.clear();
    s = Load();
    EXPECT_TRUE(lens.asked.empty());
    EXPECT_EQ(s.m_Calibrator2, 1);
    // ...and is cleared when none ever was.
    lens.loaded = false;
    lens.loadSucceeds = false;
    s = Load();
    EXPECT_EQ(s.m_Calibrator2, 0);
    // The file keeps the operator's choice.
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_Calibrator2", "", 512, config), "1");
}

TEST_F(BasicSettingsTest, NoLensPortMeansNoCalibration) {
    TheLensCalibrationPort() = {};
    Store({{"m_Calibrator2", "1"}});
    EXPECT_EQ(Load().m_Calibrator2, 0);
}

BasicSettings Distinct() {
    BasicSettings s;
    int i = 0;
    for (const BasicSettingField& f : BasicSettingFields()) {
        ++i;
        if (f.length) s.*f.length = i * 1.5 - 40.123456;
        else s.*f.integer = i * 3 - 100;
    }
    return s;
}

// Saved and loaded with a German numeric locale set in the process: the file
// still holds "%0.4f"/"%d" in the C locale, every key in order.
TEST_F(BasicSettingsTest, SaveWritesEveryKeyInOrderAndRoundTripsUnderGermanLocale) {
    test::GermanNumericLocale german;  // where not installed, the same checks run in the C locale
    BasicSettings s = Distinct();
    s.m_X_Limit = 1.23456;
    ASSERT_TRUE(SaveSetBasicConfig(s, config));
    std::vector<std::string> expected{"[SetBasicConfig]"};
    std::string exhaust;
    for (const BasicSettingField& f : BasicSettingFields()) {
        const std::string line = std::string(f.key) + "=" + (f.length ? FormatC("%0.4f", s.*f.length)
                                                                         : std::to_string(s.*f.integer));
        // The blocked-nozzle switch is written before the blow time.
        if (std::string(f.key) == "m_Exhaust") { exhaust = line; continue; }
        expected.push_back(line);
        if (std::string(f.key) == "m_SuctionNozzleBlock") expected.push_back(exhaust);
    }
    EXPECT_EQ(test::ProfileLines(config), expected);
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_X_Limit", "", 512, config), "1.2346");

    // Distinct() keeps every value clear of the load corrections.
    s.m_ChangeDelay = 1500;
    s.m_Exhaust = 20;
    s.m_MeasurementStart = s.m_MeasurementNormal = 7;
    s.m_ThrowDelay = 300;
    s.m_Y_Limit = -250.5;
    ASSERT_TRUE(SaveSetBasicConfig(s, config));
    BasicSettings back;
    LoadSetBasicConfig(back, config);
    for (const BasicSettingField& f : BasicSettingFields()) {
        if (f.length) {
            EXPECT_DOUBLE_EQ(back.*f.length, AtoF(FormatC("%0.4f", s.*f.length))) << f.key;
        } else if (std::string(f.key) != "m_Calibrator2") {
            EXPECT_EQ(back.*f.integer, s.*f.integer) << f.key;
        }
    }
}

} // namespace
} // namespace smt
