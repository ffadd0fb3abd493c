#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/globals.h"
#include "link/link_state.h"
#include "platform/profile.h"
#include "platform/uipost.h"
#include "machine_ops/basic_teach.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "machine_ops/ui/dialog_dipping_station.h"
#include "machine_ops/ui/dialog_set_basic.h"
#include "test_support.h"

namespace {

using smt::test::ScriptedResponder;
using smt::test::TempDir;

// A start folder, scripted boxes, and the live factors, counters, link state and
// starters put back after each case.
class SettingsDialogTest : public ::testing::Test {
protected:
    SettingsDialogTest() {
        smt::ClearPositionCounters();
        plat::RunPostedTasks();
    }
    ~SettingsDialogTest() override {
        smt::g_MachineType = 0;
        smt::ThePulseFactors() = {};
        smt::TheSettingsRederivations() = {};
        smt::TheFeedOperationPort() = {};
        smt::TheDippingOutputPort() = {};
        smt::ClearPositionCounters();
        smt::ResetLinkState();
        plat::RunPostedTasks();
    }
    std::string Stored(const char* key, const char* section = "SetBasicConfig") {
        return plat::GetPrivateProfileString(section, key, "", 512, config);
    }
    TempDir dir;
    std::string config = dir.File("config.ini");
    ScriptedResponder boxes;
};

// The settings as a fresh folder loads them (every field in range), a travel range,
// and factors of 1000/800/400 pulses per mm.
class BasicDialogTest : public SettingsDialogTest {
protected:
    BasicDialogTest() {
        saved = smt::TheBasicSettings();
        smt::TheBasicSettings() = {};
        smt::LoadSetBasicConfig(smt::TheBasicSettings(), config);
        smt::TheBasicSettings().m_X_Limit = 400;
        smt::TheBasicSettings().m_Y_Limit = -300;
        smt::TheBasicSettings().m_Z_Limit = -30;
        smt::ThePulseFactors() = {.m_X_Pulse = 1000, .m_Y_Pulse = 800, .m_Z_Pulse = 400};
        dialog.SetStartFolder(dir.Path());
    }
    ~BasicDialogTest() override {
        dialog.hide();
        smt::TheBasicSettings() = saved;
    }
    QLineEdit* Edit(const char* member) {
        QLineEdit* e = dialog.Edit(member);
        EXPECT_NE(e, nullptr) << member;
        return e;
    }
    void ShowAs(int machineType) {
        dialog.hide();
        smt::g_MachineType = machineType;
        dialog.show();
    }
    QPushButton* Button(const char* name) { return dialog.findChild<QPushButton*>(name); }

    smt::BasicSettings saved;
    CDialogSetBasic dialog;
};

// Members shown, the open flag, and each machine type's disabled fields, teach buttons and captions.
TEST_F(BasicDialogTest, ShowsMembersAndAppliesTheMachineType) {
    smt::TheBasicSettings().m_Z_Nozzle1ToFeed = -12.5;
    smt::TheBasicSettings().m_CommModel = 1;
    ShowAs(0);
    EXPECT_EQ(Edit("m_Z_Nozzle1ToFeed")->text(), "-12.5");
    EXPECT_TRUE(dialog.findChild<QAbstractButton*>("c_Ethernet")->isChecked());
    EXPECT_TRUE(smt::TheBasicSettings().m_bDialogOpen);
    // 102 bound controls: every setting but the nozzle-block switch.
    int bound = 0;
    for (const auto& f : smt::BasicSettingFields())
        bound += dialog.Edit(f.key) || dialog.Check(f.key) ||
                 std::string(f.key) == "m_CameraLens" || std::string(f.key) == "m_CommModel";
    EXPECT_EQ(bound, 102);
    EXPECT_FALSE(Edit("m_Z_Nozzle8ToFeed")->isEnabled());
    EXPECT_FALSE(dialog.TeachButton(1320)->isEnabled());
    EXPECT_TRUE(Edit("m_Nozzle2MoreNozzle1")->isEnabled());
    ShowAs(6);
    EXPECT_FALSE(Edit("m_Z_DropsGlueToPCBHeight")->isEnabled());
    EXPECT_TRUE(dialog.TeachButton(smt::kTeachDispensingHeight)->isEnabled());
    EXPECT_EQ(dialog.findChild<QLabel*>("c_Z_Nozzle5ToFeed")->text(), QString("点胶头5到PCB表面的高度"));
    ShowAs(4);
    EXPECT_EQ(dialog.findChild<QGroupBox*>("c_ThrowPosition")->title(), QString("抛换料位置坐标( mm )"));
    EXPECT_FALSE(dialog.Check("m_ResetToVisualOrigin")->isEnabled());
    ShowAs(9);
    for (const auto& b : smt::BasicTeachButtons()) EXPECT_TRUE(dialog.TeachButton(b.id)->isEnabled()) << b.id;
    EXPECT_TRUE(Edit("m_Z_Nozzle8ToFeed")->isEnabled());
    EXPECT_EQ(dialog.findChild<QGroupBox*>("c_ThrowPosition")->title(), QString("抛料位置坐标( mm )"));
    // The controls the dialog always keeps disabled.
    EXPECT_FALSE(Edit("m_X_VisualOriginOffset")->isEnabled());
    EXPECT_FALSE(dialog.Check("m_SmtFinishToVisualOrigin")->isEnabled());
    dialog.reject();
    EXPECT_FALSE(smt::TheBasicSettings().m_bDialogOpen);
}

TEST_F(BasicDialogTest, TeachFillsTheFieldAndOkStoresItUnlessAFieldIsOutOfRange) {
    dialog.show();
    smt::g_PulseX = 12345;
    dialog.TeachButton(1024)->click();
    EXPECT_EQ(Edit("m_X_ThrowPosition")->text(), "12.3451");
    smt::g_PulseY = -12000;  // with Y's own factor: -15 mm
    dialog.TeachButton(1026)->click();
    EXPECT_EQ(Edit("m_Y_ThrowPosition")->text(), "-15.0001");
    Edit("m_Y_ThrowPosition")->setText("0");
    EXPECT_EQ(smt::TheBasicSettings().m_X_ThrowPosition, 0);  // only OK takes it

    // The vision-origin offset: the coordinate box minus the confirmed member.
    smt::TheBasicSettings().m_X_VisualOrigin = 10;
    Edit("m_X_VisualOrigin")->setText("10.75");
    dialog.TeachButton(smt::kTeachVisualOffsetX)->click();
    EXPECT_EQ(Edit("m_X_VisualOriginOffset")->text(), "0.7500");

    // A refused field keeps the dialog open and takes nothing.
    Edit("m_X_Limit")->setText("0");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(smt::test::ReadBytes(config), "");
    EXPECT_EQ(smt::TheBasicSettings().m_X_ThrowPosition, 0);
    Edit("m_X_Limit")->setText("400");
    boxes.Clear();

    // The dialog's own OK, not one of the dialogs it holds.
    dialog.findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly)
        ->findChild<QPushButton*>("c_IDOK")->click();
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(dialog.isHidden());
    EXPECT_DOUBLE_EQ(smt::TheBasicSettings().m_X_ThrowPosition, 12.3451);
    EXPECT_EQ(Stored("m_X_ThrowPosition") + " " + Stored("m_X_VisualOriginOffset"), "12.3451 0.7500");
}

TEST_F(BasicDialogTest, TypeFourFirstOkZeroesSecondOkSaves) {
    smt::g_MachineType = 4;
    smt::TheBasicSettings().m_Y_Nozzle2ToNozzle1 = 2;
    dialog.show();
    EXPECT_EQ(Edit("m_Y_Nozzle2ToNozzle1")->text(), "0");  // zeroed on opening
    Edit("m_Y_Nozzle3ToNozzle1")->setText("1.5");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Edit("m_Y_Nozzle3ToNozzle1")->text(), "0");
    EXPECT_EQ(smt::test::ReadBytes(config), "");
    dialog.accept();
    EXPECT_TRUE(dialog.isHidden());
    EXPECT_EQ(Stored("m_Y_Nozzle3ToNozzle1"), "0.0000");
}

TEST_F(BasicDialogTest, OnlineResetAndDebugModeExcludeEachOther) {
    smt::TheBasicSettings().m_OnlineToReset = smt::TheBasicSettings().m_DebugModel = 1;
    dialog.show();
    QCheckBox* online = dialog.Check("m_OnlineToReset");
    QCheckBox* debug = dialog.Check("m_DebugModel");
    // Both stored: both shown checked, while the member of debug mode is cleared.
    EXPECT_TRUE(online->isChecked() && debug->isChecked());
    EXPECT_EQ(smt::TheBasicSettings().m_DebugModel, 0);
    dialog.accept();  // untouched boxes save both
    EXPECT_EQ(Stored("m_OnlineToReset") + Stored("m_DebugModel"), "11");

    dialog.show();
    debug->click();  // unchecked: nothing else changes
    EXPECT_TRUE(online->isChecked());
    debug->click();  // checked: online reset goes off
    EXPECT_FALSE(online->isChecked());
    online->click();
    EXPECT_FALSE(debug->isChecked());
}

// AutoZ reaches the starter (its refusals are BasicMeasureTest's); the height
// it measures is written through the user-interface thread, only while the
// dialog is open, and a height of 0 is stored but not shown.
TEST_F(BasicDialogTest, AutoZStartsAndTheHeightReachesOnlyTheOpenDialog) {
    smt::g_Connected = smt::g_Homed = true;
    std::vector<int> codes;
    smt::TheFeedOperationPort().start = [&](int code, smt::BusyClaim) { codes.push_back(code); };
    dialog.show();
    Button("AutoZ")->click();
    EXPECT_EQ(codes, std::vector<int>{-1});
    EXPECT_FALSE(smt::g_Running.load());  // the fake worker dropped its claim

    smt::StoreReferenceHeight(smt::TheBasicSettings(), -8.25);
    plat::RunPostedTasks();
    EXPECT_EQ(Edit("m_Z_Measurement")->text(), "-8.2500");
    smt::StoreReferenceHeight(smt::TheBasicSettings(), -9.5);
    dialog.reject();  // closed before the user-interface thread takes the value
    plat::RunPostedTasks();
    EXPECT_EQ(Edit("m_Z_Measurement")->text(), "-8.2500");
    EXPECT_EQ(smt::TheBasicSettings().m_Z_Measurement, -9.5);
    dialog.show();
    smt::StoreReferenceHeight(smt::TheBasicSettings(), 0);  // stored, not shown
    EXPECT_EQ(plat::RunPostedTasks(), 0);
    EXPECT_EQ(smt::TheBasicSettings().m_Z_Measurement, 0);
}

// The two held dialogs open from their buttons; the origin update's OK shifts the discard fields.
TEST_F(BasicDialogTest, OriginUpdateAndDetourDialogsSaveTheirSections) {
    const smt::OriginUpdateSettings keepOrigin = smt::TheOriginUpdate();
    const smt::PositionLimitDetour keepDetour = smt::ThePositionLimitDetour();
    smt::TheBasicSettings().m_X_ThrowPosition = 100;
    smt::TheBasicSettings().m_Y_ThrowPosition = -50;
    dialog.m_RunModal = [](QDialog& d) {
        d.show();
        d.findChild<QLineEdit*>("m_OriginOffsetX")->setText("0.05");
        d.findChild<QLineEdit*>("m_OriginOffsetY")->setText("-0.02");
        d.findChild<QCheckBox*>("c_UpdateThrow")->setChecked(true);
        d.accept();
        return d.result();
    };
    dialog.show();
    Button("c_UpdateOrigin")->click();
    EXPECT_EQ(Edit("m_X_ThrowPosition")->text() + " " + Edit("m_Y_ThrowPosition")->text(), "100.0500 -50.0200");
    EXPECT_EQ(Stored("m_UpdateThrow", "OriginUpdateConfig"), "1");

    // An offset beyond 1 mm is refused and nothing moves.
    dialog.m_RunModal = [](QDialog& d) {
        d.show();
        d.findChild<QLineEdit*>("m_OriginOffsetX")->setText("1.5");
        d.accept();
        const bool open = d.isVisible();
        d.reject();
        return open ? 1 : 0;
    };
    Button("c_UpdateOrigin")->click();
    EXPECT_DOUBLE_EQ(smt::TheBasicSettings().m_X_ThrowPosition, 100.05);

    dialog.m_RunModal = [](QDialog& d) {
        d.show();
        d.findChild<QCheckBox*>("m_W_S_PositionLimitPositionDetour")->setChecked(true);
        d.findChild<QLineEdit*>("m_W_S_Detour_dY")->setText("-12.5");
        d.accept();
        return d.result();
    };
    Button("c_PositionLimitDetour")->click();
    EXPECT_EQ(smt::ThePositionLimitDetour().m_W_S_PositionLimitPositionDetour, 1);
    EXPECT_EQ(Stored("m_W_S_Detour_dY", "PositionLimitDetourConfig"), "-12.5000");
    smt::TheOriginUpdate() = keepOrigin;
    smt::ThePositionLimitDetour() = keepDetour;
}

// ---- the dipping station's dialog ----

// Every range the dialog enforces, at both bounds (taken and saved) and just
// outside them (refused with one message: the dialog stays open, the member and
// the file keep the last value taken). Lengths are shown to 0.0001 mm, integers
// are whole, so "just outside" is one such step beyond the bound.
TEST_F(BasicDialogTest, EveryRangeTakesItsBoundsAndRefusesJustOutside) {
    struct Range { std::string key; double low, high; bool integer; };
    std::vector<Range> rows;
    auto each = [&](const char* stem, const char* tail, int n, double low, double high, bool integer = false) {
        for (int i = 1; i <= n; ++i) rows.push_back({stem + std::to_string(i) + tail, low, high, integer});
    };
    each("m_Z_Nozzle", "ToFeed", 8, -1000, 0);
    each("m_Correction_X", "", 8, -1, 1);
    each("m_Correction_Y", "", 8, -1, 1);
    each("m_SuctionNozzleValue", "", 8, -99, 99, true);
    const Range single[] = {
        {"m_Z_Nozzle1ToPCBHeight", -1000, 0, false}, {"m_Z_DropsGlueToPCBHeight", -1000, 0, false},
        {"m_FeedOverBack", 0, 0.5, false},           {"m_Z_Measurement", -1000, 0, false},
        {"m_MeasurementStart", 1, 255, true},        {"m_MeasurementNormal", 1, 255, true},
        {"m_X_Y2ToY1", 0, 10000, false},             {"m_X_ThrowPosition", 0, 10000, false},
        {"m_Y_ThrowPosition", -10000, 0, false},     {"m_ThrowDelay", 100, 3000, true},
        {"m_ChangeDelay", 100, 30000, true},         {"m_CottectionTimeReset", 0, 10, true},
        {"m_CottectionTimeSmt", 0, 5, true},         {"m_OriginVisualCollectTime", 0, 10000, true},
        {"m_VisualOriginBox", 0.2, 50, false},       {"m_VisualOriginSize", 0, 10, false},
        {"m_OriginLightContrast", 0, 255, true},     {"m_OriginLightBrightness", 0, 255, true},
        {"m_FeedBrightness", 0, 255, true},          {"m_Z_closeVacuum", 0.1, 25, false},
        {"m_Exhaust", 0, 255, true},                 {"m_AutoMagnify", 1, 10, false},
        {"m_X_Limit", 0.1, 10000, false},            {"m_Y_Limit", -10000, -0.1, false},
        {"m_Z_Limit", -10000, -0.1, false},          {"m_EastFeed_Limit", -10000, -0.1, false},
        {"m_SouthFeed_Limit", 0.1, 10000, false},    {"m_WestFeed_Limit", -10000, -0.1, false},
        {"m_NorthFeed_Limit", 0.1, 10000, false}};
    rows.insert(rows.end(), std::begin(single), std::end(single));

    // The table names every ranged setting and nothing else.
    std::vector<std::string> ranged, listed;
    for (const auto& f : smt::BasicSettingFields())
        if (f.ranged) ranged.push_back(f.key);
    for (const Range& r : rows) listed.push_back(r.key);
    std::ranges::sort(ranged), std::ranges::sort(listed);
    EXPECT_EQ(listed, ranged);

    auto text = [](double v, bool integer) {
        char buf[64];
        if (integer) std::snprintf(buf, sizeof buf, "%d", static_cast<int>(v));
        else std::snprintf(buf, sizeof buf, "%0.4f", v);
        return std::string(buf);
    };
    auto member = [](const std::string& key) {
        for (const auto& f : smt::BasicSettingFields())
            if (key == f.key) return f.length ? smt::TheBasicSettings().*f.length : smt::TheBasicSettings().*f.integer;
        ADD_FAILURE() << key;
        return 0.0;
    };
    const double step[2] = {0.0001, 1};
    for (const Range& r : rows) {
        SCOPED_TRACE(r.key);
        for (const double bound : {r.low, r.high}) {
            const double outside = bound == r.low ? r.low - step[r.integer] : r.high + step[r.integer];
            dialog.show();
            boxes.Clear();
            Edit(r.key.c_str())->setText(QString::fromStdString(text(bound, r.integer)));
            dialog.accept();
            EXPECT_TRUE(dialog.isHidden()) << "bound " << bound;
            EXPECT_EQ(boxes.Count(), 0u);
            EXPECT_DOUBLE_EQ(member(r.key), bound);
            EXPECT_EQ(Stored(r.key.c_str()), text(bound, r.integer));

            dialog.show();
            Edit(r.key.c_str())->setText(QString::fromStdString(text(outside, r.integer)));
            dialog.accept();
            EXPECT_TRUE(dialog.isVisible()) << "outside " << text(outside, r.integer);
            EXPECT_EQ(boxes.Count(), 1u);
            EXPECT_DOUBLE_EQ(member(r.key), bound);
            EXPECT_EQ(Stored(r.key.c_str()), text(bound, r.integer));
            dialog.reject();
        }
    }
}

// Factors of 10000/100/400 pulses per mm.
class DippingDialogTest : public SettingsDialogTest {
protected:
    DippingDialogTest() {
        keep = smt::TheDippingStation();
        smt::TheDippingStation() = {};
        smt::ThePulseFactors() = {.m_X_Pulse = 10000, .m_Y_Pulse = 100, .m_Z_Pulse = 400};
        dialog.SetStartFolder(dir.Path());
    }
    ~DippingDialogTest() override {
        dialog.hide();
        smt::TheDippingStation() = keep;
    }
    QLineEdit* Edit(const char* name) { return dialog.findChild<QLineEdit*>(name); }
    void Click(const char* name) { dialog.findChild<QPushButton*>(name)->click(); }

    smt::DippingStationSettings keep;
    CDialogDippingStation dialog;
};

TEST_F(DippingDialogTest, TeachThenOkSavesAndARangeRefusalKeepsItOpen) {
    dialog.show();
    smt::g_PulseX = 123456;
    smt::g_PulseY = -2500;
    for (const char* button : {"TeachX", "TeachY", "TeachZ"}) Click(button);
    EXPECT_EQ(Edit("m_DippingStation_X")->text() + " " + Edit("m_DippingStation_Y")->text() + " " +
                  Edit("m_DippingStation_Z")->text(),
              "12.3457 -25.0001 0.0000");
    EXPECT_EQ(smt::TheDippingStation().m_DippingStation_X, 0);  // only OK takes it
    Edit("m_DippingStation_RunTime")->setText("2500");
    Edit("m_WaterFilmThickness")->setText("3.5");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(smt::test::ReadBytes(config), "");

    Edit("m_WaterFilmThickness")->setText("0.5");
    Click("c_IDOK");
    EXPECT_TRUE(dialog.isHidden());
    EXPECT_DOUBLE_EQ(smt::TheDippingStation().m_DippingStation_X, 12.3457);
    EXPECT_EQ(Stored("m_DippingStation_X", "DippingStationConfig") + " " +
                  Stored("m_DippingStation_RunTime", "DippingStationConfig"),
              "12.3457 2500");
}

// The buttons take the fields, then reach the starters; the measured height is
// written only while the dialog is open.
TEST_F(DippingDialogTest, StationButtonsTakeFieldsThenStartAndTheHeightReachesOnlyTheOpenDialog) {
    std::vector<int> codes;
    smt::TheFeedOperationPort().start = [&](int code, smt::BusyClaim) { codes.push_back(code); };
    smt::g_Connected = smt::g_Homed = true;
    smt::g_PulseZ[0] = -100;
    dialog.show();
    Edit("m_DippingStation_X")->setText("50");
    Click("c_Head1ToDippingStation");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error E3 !"});
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(smt::TheDippingStation().m_DippingStation_X, 50);  // taken before the guards
    smt::g_PulseZ[0] = 0;
    Click("c_Head1ToDippingStation");
    Click("MeasureZ");
    EXPECT_EQ(codes, (std::vector<int>{-3, -2}));
    // A refused field stops the button before any guard.
    Edit("m_DippingStation_Y")->setText("5");
    Click("MeasureZ");
    EXPECT_EQ(codes.size(), 2u);

    smt::BasicSettings basic;
    basic.m_Z_Measurement = -3;
    basic.m_Z_Nozzle1ToPCBHeight = -20;
    EXPECT_TRUE(dialog.IsOpen());
    smt::StoreDippingStationHeight(smt::TheDippingStation(), basic, -10);
    plat::RunPostedTasks();
    EXPECT_EQ(Edit("m_DippingStation_Z")->text(), "-27.0000");
    smt::StoreDippingStationHeight(smt::TheDippingStation(), basic, -11);
    dialog.reject();
    EXPECT_FALSE(dialog.IsOpen());
    plat::RunPostedTasks();
    EXPECT_EQ(Edit("m_DippingStation_Z")->text(), "-27.0000");
    EXPECT_EQ(smt::TheDippingStation().m_DippingStation_Z, -28);
}

// The per-type rule of the toggle is DippingStation.OutputAlternatesFromOff.
TEST_F(DippingDialogTest, OutputButtonAlternates) {
    std::vector<int> values;
    smt::TheDippingOutputPort().setOutput = [&](const smt::OutputSwitch& o) {
        values.push_back(o.value);
        return true;
    };
    dialog.show();
    Click("c_DippingStationControl");
    Click("c_DippingStationControl");
    EXPECT_EQ(values, (std::vector<int>{0, 1}));
}

} // namespace
