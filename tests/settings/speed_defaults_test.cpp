// The default "config_speed.fig" shipped in res/: sensible templates for all three
// classes so that a fresh start folder can jog and run at once. The file is made
// by this test with the program's own encoder: run the test binary with
// SMT_WRITE_SPEED_DEFAULTS=1 to write it again after changing the values here.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/numtext.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "settings/speed_editor.h"
#include "test_support.h"

namespace smt {
namespace {

// High-class codes per template: X/Y, Z, A, feeder walks and lifts, S drives.
struct DefaultTemplate {
    int type;  // built-in name index
    SpeedPair xy, z, a, feed, s;
};

constexpr DefaultTemplate kDefaults[] = {
    {0, {10, 40}, {10, 30}, {10, 30}, {10, 30}, {10, 30}},   // reset: gentle homing
    {1, {10, 60}, {10, 50}, {10, 50}, {10, 40}, {10, 40}},   // manual
    {2, {15, 100}, {15, 80}, {15, 60}, {10, 60}, {10, 50}},  // pick
    {3, {15, 100}, {15, 80}, {15, 60}, {10, 60}, {10, 50}},  // place
    {4, {15, 80}, {15, 60}, {10, 60}, {10, 50}, {10, 40}},   // vision centring
    {5, {15, 80}, {15, 60}, {10, 60}, {10, 50}, {10, 40}},   // vision placement
    {6, {10, 60}, {10, 30}, {10, 40}, {10, 40}, {10, 40}},   // nozzle change: slow Z
    {7, {10, 50}, {10, 40}, {10, 40}, {10, 40}, {10, 40}},   // pick chip
};
constexpr int kMediumPercent = 70;
constexpr int kLowPercent = 40;

SpeedPair DriveSpeed(const DefaultTemplate& t, int drive) {
    if (drive <= kDriveY) return t.xy;
    if (drive <= kDriveZ2) return t.z;
    if (drive <= kDriveA4) return t.a;
    if (drive <= kDriveEastLift) return t.feed;
    return t.s;
}

// The names in Chinese, the language of a fresh start folder; medium and low made
// by the manager's one-key scale.
FigLists DefaultSpeedFile() {
    SpeedTemplateTables tables;
    for (const auto& t : kDefaults) {
        SpeedTemplateRow high;
        high[0] = BuiltInSpeedName(0, t.type);
        for (int d = 0; d < kSpeedDriveCount; ++d) {
            const SpeedPair p = DriveSpeed(t, d);
            high[1 + d] = FormatSpeedCell(p.start, p.run);
        }
        SpeedTemplateRow medium = high, low = high;
        for (int c = 1; c < kSpeedTemplateCells; ++c) {
            ScaleSpeedCell(high[c], kMediumPercent, medium[c]);
            ScaleSpeedCell(high[c], kLowPercent, low[c]);
        }
        tables.m_HighSpeedTable.push_back(high);
        tables.m_MediumSpeedTable.push_back(medium);
        tables.m_LowSpeedTable.push_back(low);
    }
    FigLists lists;
    lists.speed = tables.ToRows();
    std::vector<std::string> names;
    for (int k = 0; k < kSpeedTypeCount; ++k) names.push_back(BuiltInSpeedName(0, k));
    lists.speedSetNames = JoinRow(names);
    return lists;
}

const std::string kRes = std::string(SMT_SOURCE_DIR) + "/res";
std::string Res(const char* file) { return kRes + "/" + file; }

// With SMT_WRITE_SPEED_DEFAULTS=1 the shipped file is written again first; then it must hold `bytes`.
void ExpectShipped(const char* file, const std::string& bytes) {
    if (const char* write = std::getenv("SMT_WRITE_SPEED_DEFAULTS"); write && *write == '1') {
        ASSERT_TRUE(plat::WriteFileAtomic(Res(file), bytes));
    }
    std::string shipped;
    ASSERT_TRUE(plat::ReadWholeFile(Res(file), shipped));
    // The camera records that follow the speeds are pinned by the camera table's test.
    if (const auto cameras = shipped.find("\r\n[CameraListConfig]"); cameras != std::string::npos)
        shipped.resize(cameras);
    EXPECT_EQ(test::ToHex(shipped), test::ToHex(bytes)) << file;
}

// Loads the shipped templates into `live` and confirms class page `page` in the
// editor, as an operator would on a fresh start folder `folder`; no box may appear.
void ConfirmShippedClass(const std::string& folder, int page, SpeedTemplates& live) {
    std::string shipped;
    ASSERT_TRUE(plat::ReadWholeFile(Res("config_speed.fig"), shipped));
    test::ScriptedResponder boxes;
    FigLists lists;
    ASSERT_TRUE(DecodeTableFile(shipped, lists.speed, &lists.speedSetNames));
    live.LoadSpeedTables(lists.speed, 0);
    live.LoadConfig(folder);
    SpeedTemplateEditor editor(live, lists, folder, 0);
    editor.Open(page);
    ASSERT_EQ(editor.Confirm(), ConfirmResult::Closed);
    EXPECT_EQ(boxes.Count(), 0u);
}

// A fresh start folder with only the shipped file: confirming any class page gives
// every operation type real speeds (start below run: no lost steps), each class
// slower than the one above it.
TEST(SpeedDefaults, FreshStartFolderConfirmsEveryClass) {
    std::vector<SpeedTypeTable> above(kSpeedTypeCount);
    for (int page = 1; page <= 3; ++page) {
        test::TempDir dir;
        SpeedTemplates live;
        ASSERT_NO_FATAL_FAILURE(ConfirmShippedClass(dir.Path(), page, live));
        EXPECT_EQ(live.ActiveClass(), page);
        for (int k = 0; k < kSpeedTypeCount; ++k) {
            const SpeedTypeTable table = live.Table(static_cast<SpeedType>(k));
            for (int d = 0; d < kSpeedDriveCount; ++d) {
                const SpeedPair p = table.Pair(d);
                EXPECT_TRUE(p.start >= 1 && p.start < p.run && p.run <= 255) << page << " " << k << " " << d;
                EXPECT_TRUE(page == 1 || p.run < above[k].Pair(d).run) << page << " " << k << " " << d;
            }
            above[k] = table;
        }
    }
}

// The shipped config_speed.fig holds the templates above, and the shipped
// config.ini the speeds of the high class as one confirmation of the manager
// writes them, so a new operator can jog and run at once.
TEST(SpeedDefaults, ShippedConfigHoldsTheHighClassSpeeds) {
    const FigLists expected = DefaultSpeedFile();
    ASSERT_NO_FATAL_FAILURE(
        ExpectShipped("config_speed.fig", EncodeTableFile(expected.speed, &expected.speedSetNames)));
    test::TempDir dir;
    SpeedTemplates live;
    ASSERT_NO_FATAL_FAILURE(ConfirmShippedClass(dir.Path(), 1, live));
    // Jog steps in pulses for the four gears (fast, medium, slow, fine); the fast A
    // step is one revolution at the default 17.7777 pulses per degree.
    const char* kJogSteps[][2] = {
        {"m_MediumSpeedZoom", "70"}, {"m_LowSpeedZoom", "40"},
        {"m_XY_RunFast", "1000"},    {"m_XY_RunMedium", "100"},  {"m_XY_RunSlow", "10"},  {"m_XY_RunFine", "1"},
        {"m_Z_RunFast", "400"},      {"m_Z_RunMedium", "100"},   {"m_Z_RunSlow", "10"},   {"m_Z_RunFine", "1"},
        {"m_A_RunFast", "6400"},     {"m_A_RunMedium", "178"},   {"m_A_RunSlow", "18"},   {"m_A_RunFine", "2"},
        {"m_Feed_RunFast", "1000"},  {"m_Feed_RunMedium", "100"}, {"m_Feed_RunSlow", "10"}, {"m_Feed_RunFine", "1"},
        {"m_S_RunFast", "1000"},     {"m_S_RunMedium", "100"},   {"m_S_RunSlow", "10"},   {"m_S_RunFine", "1"}};
    for (const auto& [key, value] : kJogSteps)
        ASSERT_TRUE(plat::WritePrivateProfileString("SpeedTemplateConfig", key, value, dir.File("config.ini")));
    std::string sections;
    ASSERT_TRUE(plat::ReadWholeFile(dir.File("config.ini"), sections));

    // Ahead of the speeds: the language, the machine type, the geometry of the
    // simulated world (offsets, visual origin, travel range, the discard place
    // every head reaches, pulse factors, the PCB editor's mark camera), the fast
    // jog steps of gear 0, the simulated machine's port and the interface of the
    // Ethernet search, so that the simulated machine can be jogged from a fresh
    // folder.
    const std::string head = "[LanguageSetConfig]\r\nLanguageSet=Chinese\r\n\r\n"
                             "[MachineSetConfig]\r\nMachineSet=0\r\n\r\n"
                             "[SetBasicConfig]\r\nm_X_CameraToNozzle1=-40.0000\r\n"
                             "m_Y_CameraToNozzle1=0.0000\r\nm_X_Nozzle2ToNozzle1=20.0000\r\n"
                             "m_Y_Nozzle2ToNozzle1=0.0000\r\nm_X_Nozzle3ToNozzle1=40.0000\r\n"
                             "m_Y_Nozzle3ToNozzle1=0.0000\r\nm_X_Nozzle4ToNozzle1=60.0000\r\n"
                             "m_Y_Nozzle4ToNozzle1=0.0000\r\nm_X_Nozzle5ToNozzle1=80.0000\r\n"
                             "m_Y_Nozzle5ToNozzle1=0.0000\r\nm_X_Nozzle6ToNozzle1=100.0000\r\n"
                             "m_Y_Nozzle6ToNozzle1=0.0000\r\nm_X_Nozzle7ToNozzle1=120.0000\r\n"
                             "m_Y_Nozzle7ToNozzle1=0.0000\r\nm_X_Nozzle8ToNozzle1=140.0000\r\n"
                             "m_Y_Nozzle8ToNozzle1=0.0000\r\nm_X_VisualOrigin=60.0000\r\n"
                             "m_Y_VisualOrigin=-10.0000\r\nm_ResetToVisualOrigin=1\r\n"
                             "m_VisualOriginBox=4.0000\r\nm_VisualOriginSize=1.0000\r\n"
                             "m_OriginLightContrast=0\r\nm_OriginLightBrightness=200\r\n"
                             "m_FeedBrightness=200\r\nm_X_Limit=400.0000\r\nm_Y_Limit=-300.0000\r\n"
                             "m_Z_Limit=-10.0000\r\nm_X_ThrowPosition=150.0000\r\n"
                             "m_Y_ThrowPosition=-5.0000\r\n\r\n[SetPulseConfig]\r\nm_X_Pulse=100.0000\r\n"
                             "m_Y_Pulse=100.0000\r\nm_Z_Pulse=100.0000\r\nm_A_Pulse=17.7777\r\n\r\n"
                             "[PcbEditConfig]\r\nm_PcbBoardCount=1\r\nm_VisualZoom=20.0000\r\n"
                             "m_DetectPrecision=20\r\nm_ImageColorReversal=0\r\n"
                             "m_VisualBox=4.0000\r\nm_MarkDiameter=1.0000\r\nm_LightContrast=0\r\n"
                             "m_LightBrightness=200\r\nm_VisualTimes=1\r\nm_MarkCollectTime=10\r\n"
                             "m_SpecialMark2=0\r\nm_Mark2LightContrast=0\r\n"
                             "m_Mark2LightBrightness=200\r\n\r\n"
                             "[ManualControlConfig]\r\nm_SpeedGears=0\r\nm_XY_RunSteps=1000\r\n"
                             "m_Z_RunSteps=400\r\nm_A_RunSteps=6400\r\nm_Feed_RunSteps=1000\r\n"
                             "m_S_RunSteps=1000\r\nm_Feed_Direction=0\r\nm_ComNumber=3\r\n\r\n"
                             // The Ethernet search stays on the loopback, where the simulated board answers.
                             "[EthernetConfig]\r\nm_DiscoveryInterface=lo\r\n\r\n";
    // Behind them: the camera panel's settings, so that a fresh folder shows the
    // simulated machine's cameras (the camera switches and records that follow are
    // pinned by the camera table's test).
    const std::string tail = "\r\n[SetViewConfig]\r\nm_BinaryImg=1\r\nm_VisualSize=3.00\r\n"
                             "m_Light_Contrast=0\r\nm_Light_Brightness=200\r\n";
    ASSERT_NO_FATAL_FAILURE(ExpectShipped("config.ini", head + sections + tail));

    SpeedTemplates fresh;
    fresh.LoadSpeedTypeConfigs(kRes);
    const SpeedTypeTable handle = fresh.Table(SpeedType::Handle);
    for (int d = 0; d < kSpeedDriveCount; ++d) EXPECT_GE(handle.Pair(d).start, 1) << d;
    fresh.LoadConfig(kRes);
    EXPECT_EQ(fresh.Settings().m_A_RunFast, 6400);
    EXPECT_EQ(fresh.JogStep(0, JogGroup::XY), 1000);
}

} // namespace
} // namespace smt
