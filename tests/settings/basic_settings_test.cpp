#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>
#include <map>

#include "base/numtext.h"
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

double Value(const BasicSettings& s, const BasicSettingField& f) { return f.length ? s.*f.length : s.*f.integer; }

TEST_F(BasicSettingsTest, NoFileGivesTheFullListOfDefaults) {
    BasicSettings s;
    s.m_Z_Nozzle3ToFeed = -7; // overwritten by the load
    s.m_Calibrator2 = 1;
    LoadSetBasicConfig(s, config);
    const std::map<std::string, double> nonZero{
        {"m_MeasurementStart", 1}, {"m_MeasurementNormal", 1}, {"m_Exhaust", 5},         {"m_ChangeDelay", 100},
        {"m_ThrowDelay", 100},     {"m_VisualOriginBox", 2.0}, {"m_Z_closeVacuum", 0.1}, {"m_AutoMagnify", 4.0},
        {"m_X_Limit", 0.1},        {"m_SouthFeed_Limit", 0.1}, {"m_NorthFeed_Limit", 0.1}, {"m_Y_Limit", -0.1},
        {"m_Z_Limit", -0.1},       {"m_EastFeed_Limit", -0.1}, {"m_WestFeed_Limit", -0.1}};
    for (const BasicSettingField& f : BasicSettingFields()) {
        EXPECT_EQ(Value(s, f), nonZero.contains(f.key) ? nonZero.at(f.key) : 0.0) << f.key;
        EXPECT_TRUE(!f.ranged || f.low < f.high) << f.key;
    }
    // Lens 0: the 8 mm calibration is asked for from the config file's folder.
    EXPECT_EQ(lens.asked, std::vector<std::string>{dir.File("cameraCalibrate_data8mm.xml")});
    EXPECT_EQ(s.m_Calibrator2, 0);
}

// Both sides of each bound that the load corrects.
TEST_F(BasicSettingsTest, LoadCorrectsStoredValues) {
    struct Correction { const char* key; const char* stored; double loaded; };
    // A stored 0 is the missing key's case (NoFileGivesTheFullListOfDefaults).
    const Correction rows[] = {
        {"m_ChangeDelay", "99", 100}, {"m_ChangeDelay", "100", 100}, {"m_ChangeDelay", "30000", 30000},
        {"m_ChangeDelay", "30001", 100}, {"m_ChangeDelay", "-5", 100}, {"m_Exhaust", "4", 5}, {"m_Exhaust", "-3", 5},
        {"m_Exhaust", "5", 5}, {"m_Exhaust", "300", 300}, {"m_MeasurementStart", "-2", 1},
        {"m_MeasurementStart", "1", 1}, {"m_MeasurementNormal", "2", 2}, {"m_ThrowDelay", "50", 50},
        {"m_VisualOriginBox", "0.00001", 0.00001}, {"m_Z_closeVacuum", "0.05", 0.05}, {"m_AutoMagnify", "0.5", 0.5},
        {"m_X_Limit", "-3.0000", -3.0}, {"m_Y_Limit", "0.0500", 0.05}, {"m_NorthFeed_Limit", "250.5", 250.5},
        // Values outside the dialog's range stay until the dialog refuses them.
        {"m_Z_Nozzle1ToFeed", "5.5", 5.5},
        // Prefix rules: an integer key stored as 3.7 reads 3, a length with letters after it reads the number.
        {"m_CottectionTimeReset", "3.7", 3}, {"m_X_ThrowPosition", "12abc", 12}, {"m_OriginLightContrast", "abc", 0}};
    for (const Correction& c : rows) {
        Store({{c.key, c.stored}});
        const BasicSettings s = Load();
        const auto fields = BasicSettingFields();
        const auto f = std::ranges::find_if(fields, [&](const auto& f) { return f.key == std::string(c.key); });
        ASSERT_NE(f, fields.end()) << c.key;
        EXPECT_EQ(Value(s, *f), c.loaded) << c.key << " stored " << c.stored;
    }
}

TEST_F(BasicSettingsTest, LensCalibrationChoiceAndCalibratorSwitch) {
    Store({{"m_CameraLens", "1"}, {"m_Calibrator2", "1"}});
    lens.loadSucceeds = true;
    BasicSettings s = Load();
    EXPECT_EQ(lens.asked, std::vector<std::string>{dir.File("cameraCalibrate_data6mm.xml")});
    EXPECT_EQ(s.m_Calibrator2, 1);

    // An unknown lens loads nothing; the switch stays while an earlier calibration is loaded...
    Store({{"m_CameraLens", "2"}});
    lens.asked.clear();
    s = Load();
    EXPECT_TRUE(lens.asked.empty());
    EXPECT_EQ(s.m_Calibrator2, 1);
    // ...and is cleared when none ever was, or when no lens port is wired.
    lens.loaded = lens.loadSucceeds = false;
    EXPECT_EQ(Load().m_Calibrator2, 0);
    // The file keeps the operator's choice.
    EXPECT_EQ(plat::GetPrivateProfileString("SetBasicConfig", "m_Calibrator2", "", 512, config), "1");
    TheLensCalibrationPort() = {};
    EXPECT_EQ(Load().m_Calibrator2, 0);
}

// Saved and loaded with a German numeric locale set in the process (where
// installed): the file still holds "%0.4f"/"%d" in the C locale, every key in order.
TEST_F(BasicSettingsTest, SaveWritesEveryKeyInOrderAndRoundTripsUnderGermanLocale) {
    test::GermanNumericLocale german;
    BasicSettings s;
    int i = 0;
    for (const BasicSettingField& f : BasicSettingFields()) {
        if (f.length) s.*f.length = ++i * 1.5 - 40.123456;
        else s.*f.integer = ++i * 3 - 100;
    }
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

    // Round trip with every value clear of the load corrections.
    s.m_ChangeDelay = 1500;
    s.m_Exhaust = 20;
    s.m_MeasurementStart = s.m_MeasurementNormal = 7;
    s.m_ThrowDelay = 300;
    s.m_Y_Limit = -250.5;
    ASSERT_TRUE(SaveSetBasicConfig(s, config));
    BasicSettings back;
    LoadSetBasicConfig(back, config);
    for (const BasicSettingField& f : BasicSettingFields()) {
        if (std::string(f.key) == "m_Calibrator2") continue;  // cleared: no lens calibration loaded
        EXPECT_DOUBLE_EQ(Value(back, f), f.length ? AtoF(FormatC("%0.4f", s.*f.length)) : s.*f.integer) << f.key;
    }
}

// A save lands whole: a reader on another thread sees every key of one save or every key
// of the next, never a mix, and no temporary file stays beside config.ini.
TEST_F(BasicSettingsTest, AnotherThreadNeverReadsHalfASave) {
    const auto& fields = BasicSettingFields();
    const char* first = fields.front().key;
    const char* last = fields.back().key;
    auto fill = [&](int v) {
        BasicSettings s;
        for (const BasicSettingField& f : fields) {
            if (f.length) s.*f.length = v;
            else s.*f.integer = v;
        }
        return s;
    };
    ASSERT_TRUE(SaveSetBasicConfig(fill(0), config));
    std::atomic<bool> done{false};
    int mixed = 0, reads = 0;
    std::thread reader([&] {
        while (!done.load()) {
            plat::FlushProfileCache();  // force a read of the file as it is now
            const std::string path = config;
            const int a = AtoI(plat::GetPrivateProfileString("SetBasicConfig", first, "", 512, path));
            const int b = AtoI(plat::GetPrivateProfileString("SetBasicConfig", last, "", 512, path));
            // A save may land between the two reads; only an older last key means a half save.
            mixed += b < a;
            ++reads;
        }
    });
    for (int v = 1; v <= 30; ++v) ASSERT_TRUE(SaveSetBasicConfig(fill(v), config));
    done = true;
    reader.join();
    EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1u);
}

// The save goes over config.ini once whatever its size and the number of keys
// (once per key it took seconds for a few megabytes): the other sections, comments
// and blank lines stay byte for byte, the section's own lines are replaced in place.
TEST_F(BasicSettingsTest, SaveMakesOnePassOverConfigIniKeepingEveryOtherLine) {
    std::string before = "; settings of the machine\r\n[PulseConfig]\r\n";
    for (int i = 0; i < 5000; ++i) before += "m_P" + std::to_string(i) + "=" + std::to_string(i * 7) + "\r\n";
    const std::string head = before + "\r\n[SetBasicConfig]\r\n";
    const std::string tail = "\r\n; after\r\n[CameraListConfig]\r\nm_Cam=3\r\n";
    const std::string firstKey = BasicSettingFields().front().key;
    smt::test::WriteBytes(config, head + firstKey + " = 9\r\n" + tail);
    BasicSettings s;
    for (const BasicSettingField& f : BasicSettingFields()) {
        if (f.length) s.*f.length = 2.5;
        else s.*f.integer = 3;
    }
    const std::uint64_t parses = plat::detail::ProfileTextParses();
    ASSERT_TRUE(SaveSetBasicConfig(s, config));
    EXPECT_EQ(plat::detail::ProfileTextParses() - parses, 1u);
    const std::string after = smt::test::ReadBytes(config);
    ASSERT_EQ(after.substr(0, head.size()), head);
    ASSERT_GE(after.size(), head.size() + tail.size());
    EXPECT_EQ(after.substr(after.size() - tail.size()), tail);
    const std::string first = BasicSettingFields().front().length ? "2.5000" : "3";
    EXPECT_EQ(after.substr(head.size(), firstKey.size() + 3 + first.size()), firstKey + "=" + first + "\r\n");
    EXPECT_EQ(Load().m_X_Limit, 2.5);
}

} // namespace
} // namespace smt
