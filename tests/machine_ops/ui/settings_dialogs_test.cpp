#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <functional>
#include <memory>

#include "base/captions.h"
#include "platform/profile.h"
#include "machine_ops/auto_transport.h"
#include "settings/basic_settings.h"
#include "machine_ops/cover_tape.h"
#include "machine_ops/ui/dialog_auto_transport.h"
#include "machine_ops/ui/dialog_dipping_station.h"
#include "machine_ops/ui/dialog_origin_update.h"
#include "machine_ops/ui/dialog_position_limit_detour.h"
#include "machine_ops/ui/dialog_set_basic.h"
#include "machine_ops/ui/dialog_set_cover.h"
#include "settings/rederive_hooks.h"
#include "machine_ops/ui/dialog_set_pulse.h"
#include "machine_ops/ui/dialog_version_number.h"
#include "test_support.h"

namespace {

using smt::test::ScriptedResponder;
using smt::test::TempDir;

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

void Click(QWidget& dialog, const char* name) {
    if (auto* b = Child<QAbstractButton>(dialog, name)) b->click();
}

void Type(QWidget& dialog, const char* name, const QString& text) {
    if (auto* e = Child<QLineEdit>(dialog, name)) e->setText(text);
}

QStringList Items(QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

smt::PulseSettings Factors(double value) {
    smt::PulseSettings v;
    for (const auto& k : smt::kPulseFactorKeys) v.*k.member = value;
    return v;
}

class PulseDialogTest : public ::testing::Test {
protected:
    ~PulseDialogTest() override {
        smt::TheSettingsRederivations() = {};
        smt::ThePulseMachinePort() = {};
        smt::ThePulseCaptions().Reset();
    }
    TempDir dir;
    std::string config = dir.File("config.ini");
    ScriptedResponder boxes;
};

// The pick list and editable factors of each type are PulsePickList's; the dialog shows them.
TEST_F(PulseDialogTest, ShowsMembersCaptionsAndThePickListOfTheMachineType) {
    smt::PulseSettings v = Factors(100);
    v.m_A_Pulse = 17.7777;
    v.m_SelectAxis = 12;
    {
        CDialogSetPulse dialog(v, config, 0);
        EXPECT_EQ(dialog.FactorEdit(3)->text(), "17.7777");
        EXPECT_FALSE(Child<QRadioButton>(dialog, "c_SynchronousWheel")->isChecked());
        EXPECT_FALSE(Child<QRadioButton>(dialog, "c_ScrewRod")->isChecked());
        EXPECT_TRUE(Child<QLineEdit>(dialog, "m_VerifyPulseValue")->isReadOnly());
        for (QLabel* label : dialog.findChildren<QLabel*>())
            EXPECT_FALSE(label->text().isEmpty()) << label->objectName().toStdString();
        EXPECT_EQ(dialog.PickList()->currentIndex(), 12);  // the kept pick
    }
    // Type 4: a kept pick past the shorter list falls back to the first.
    CDialogSetPulse dialog(v, config, 4);
    EXPECT_EQ(dialog.PickList()->count(), int(smt::PulsePickList(4).size()));
    EXPECT_EQ(dialog.PickList()->currentIndex(), 0);
    for (int row = 0; row < 12; ++row)
        EXPECT_EQ(dialog.FactorEdit(row)->isEnabled(), smt::PulseFactorEditable(4)[row]) << row;

    plat::WritePrivateProfileString("SetPulseConfig", "SetPulse.c_SetPulse", "Pulse settings", dir.File("English.ini"));
    plat::WritePrivateProfileString("SetPulseConfig", "SetPulse.c_Y_Motor", "Y motor", dir.File("English.ini"));
    smt::ThePulseCaptions().Load(dir.Path(), "English");
    CDialogSetPulse english(v, config, 7);
    EXPECT_EQ(english.windowTitle(), "Pulse settings");
    EXPECT_EQ(Items(english.PickList()), (QStringList{"X 轴电机", "Y motor"}));
}

// The values and refusals are ProducePulse's and VerifyPulse's; the buttons show the results.
TEST_F(PulseDialogTest, GeneratorAndCheckShowTheirResults) {
    smt::PulseSettings v = Factors(100);
    v.m_Y_Pulse = 200;
    CDialogSetPulse dialog(v, config, 7);
    Type(dialog, "m_StepAngle", "1.8");
    Type(dialog, "m_SubDivide", "16");
    Type(dialog, "m_DiameterOrScrewPitch", "5");
    Click(dialog, "c_ScrewRod");
    Click(dialog, "c_ProducePulse");
    EXPECT_EQ(Child<QLineEdit>(dialog, "m_LinearPulse")->text(), "640");
    EXPECT_EQ(v.m_DriveModel, 1);
    // The check uses the chosen drive's factor (Y).
    dialog.PickList()->setCurrentIndex(1);
    Type(dialog, "m_RunTest", "100");
    Type(dialog, "m_DistanceTest", "80");
    Click(dialog, "c_VerifyPulse");
    EXPECT_EQ(Child<QLineEdit>(dialog, "m_VerifyPulseValue")->text(), "250");
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(PulseDialogTest, BadFieldStopsTheTakeButTheButtonsGoOn) {
    smt::PulseSettings v = Factors(100);
    CDialogSetPulse dialog(v, config, 0);
    dialog.FactorEdit(1)->setText("0.5");   // below 1.0: refused, later fields not taken
    dialog.FactorEdit(0)->setText("120");   // taken, it comes first
    Type(dialog, "m_RunTest", "10");
    Type(dialog, "m_DistanceTest", "5");
    Click(dialog, "c_VerifyPulse");
    // The distance field was never taken.
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Please enter a number between 1 and 10000.", "数值不能为 0 !"}));
    EXPECT_DOUBLE_EQ(v.m_X_Pulse, 120);
    EXPECT_DOUBLE_EQ(v.m_Y_Pulse, 100);
    // Text that is not wholly a finite number is refused too.
    dialog.FactorEdit(1)->setText("150");
    for (const char* bad : {"12abc", "", "nan", "inf"}) {
        Type(dialog, "m_StepAngle", bad);
        Click(dialog, "c_VerifyPulse");
        EXPECT_EQ(boxes.Texts()[boxes.Count() - 2], "Please enter a number.") << bad;
    }
    EXPECT_DOUBLE_EQ(v.m_Y_Pulse, 150);
    EXPECT_DOUBLE_EQ(v.m_StepAngle, 0);
    // Cancel neither saves nor restores what the buttons took.
    Click(dialog, "c_IDCANCEL");
    EXPECT_DOUBLE_EQ(v.m_X_Pulse, 120);
    EXPECT_EQ(smt::test::ReadBytes(config), "");
}

// The order of the re-derivations is PulseConfirm's.
TEST_F(PulseDialogTest, OkRederivesOnlyAfterASuccessfulRangeCheck) {
    int rederived = 0;
    smt::TheSettingsRederivations().convertSettingsToPulses = [&] { ++rederived; };
    smt::PulseSettings v = Factors(100);
    CDialogSetPulse dialog(v, config, 0);
    dialog.FactorEdit(2)->setText("10000.5");
    dialog.PickList()->setCurrentIndex(3);
    Click(dialog, "c_IDOK");
    EXPECT_EQ(rederived, 0);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(smt::test::ReadBytes(config), "");
    EXPECT_EQ(v.m_SelectAxis, 0);
    dialog.FactorEdit(2)->setText("10000");
    Click(dialog, "c_IDOK");
    EXPECT_EQ(rederived, 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(v.m_SelectAxis, 3);
    EXPECT_EQ(plat::GetPrivateProfileString("SetPulseConfig", "m_Z_Pulse", "", 512, config), "10000.0000");
}

TEST(VersionDialog, ShowsTheSwitchesOkSavesCancelLeavesThem) {
    TempDir dir;
    const std::string config = dir.File("config.ini");
    smt::VersionSwitches s{1, 1, 0, 1, 0};
    {
        CDialogVersionNumber dialog(s, config);
        EXPECT_TRUE(Child<QCheckBox>(dialog, "m_V2_05")->isChecked());
        EXPECT_FALSE(Child<QCheckBox>(dialog, "m_V2_05")->isEnabled());  // stored only
        EXPECT_FALSE(Child<QCheckBox>(dialog, "m_V2_06")->isChecked());
        Child<QCheckBox>(dialog, "m_V2_04")->setChecked(false);
        Child<QCheckBox>(dialog, "m_Write_Logfile")->setChecked(true);
        Click(dialog, "IDCANCEL");
        EXPECT_EQ(s, (smt::VersionSwitches{1, 1, 0, 1, 0}));
        EXPECT_FALSE(smt::test::ReadBytes(config).size());
    }
    CDialogVersionNumber dialog(s, config);
    Child<QCheckBox>(dialog, "m_V2_06")->setChecked(true);
    Child<QCheckBox>(dialog, "m_Write_Logfile")->setChecked(true);
    Click(dialog, "IDOK");
    EXPECT_EQ(s, (smt::VersionSwitches{1, 1, 1, 1, 1}));
    EXPECT_EQ(plat::GetPrivateProfileString("CPUVersionNumberConfig", "m_V2_06", "", 512, config), "1");
}

} // namespace

// Every dialog whose OK writes config.ini: a file that cannot be written is told
// in one box and the dialog stays open.
TEST(ConfigWrite, EveryOkReportsAFailedWriteAndStaysOpen) {
    ScriptedResponder boxes;
    const std::string folder = "/nonexistent-start-folder";
    const std::string config = folder + "/config.ini";
    smt::BasicSettings& basic = smt::TheBasicSettings();
    smt::LoadSetBasicConfig(basic, config);  // the start values of a missing file
    smt::PulseSettings pulse = Factors(100);
    smt::VersionSwitches switches;
    smt::AutoTransport transport;
    smt::CoverTape tape;
    using Make = std::function<std::unique_ptr<QDialog>()>;
    const std::vector<std::pair<const char*, Make>> dialogs = {
        {"pulse", [&] { return std::make_unique<CDialogSetPulse>(pulse, config, 0); }},
        {"version", [&] { return std::make_unique<CDialogVersionNumber>(switches, config); }},
        {"basic", [&] { auto d = std::make_unique<CDialogSetBasic>(); d->SetStartFolder(folder); return d; }},
        {"dipping", [&] { auto d = std::make_unique<CDialogDippingStation>(); d->SetStartFolder(folder); return d; }},
        {"origin", [&] { auto d = std::make_unique<CDialogOriginUpdate>(); d->SetStartFolder(folder); return d; }},
        {"detour", [&] { auto d = std::make_unique<CDialogPositionLimitDetour>(); d->SetStartFolder(folder); return d; }},
        {"conveyor", [&] { auto d = std::make_unique<CDialogAutoTransport>(transport); d->m_StartFolder = folder; return d; }},
        {"cover", [&] { auto d = std::make_unique<CDialogSetCover>(tape); d->m_StartFolder = folder; return d; }},
    };
    for (const auto& [name, make] : dialogs) {
        SCOPED_TRACE(std::string(name));
        boxes.Clear();
        std::unique_ptr<QDialog> d = make();
        d->show();
        d->accept();
        ASSERT_GE(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Texts().back(), smt::ConfigWriteFailedText(config));
        EXPECT_TRUE(d->isVisible());
        EXPECT_NE(d->result(), QDialog::Accepted);
    }
    basic = smt::BasicSettings{};
}
