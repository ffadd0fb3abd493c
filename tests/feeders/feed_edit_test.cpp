// The feeder editor's transfers and choice tables, and the tray dialog's rules and
// pocket moves (the moves against the simulated machine on both links).
#include <gtest/gtest.h>

#include <tuple>

#include <set>

#include "../link/sim_fixture.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_edit.h"
#include "feeders/feeder_words.h"
#include "feeders/pack_library.h"
#include "feeders/tray_pockets.h"
#include "feeders_fixture.h"
#include "link/positioning.h"
#include "vision/camera_panel_port.h"

namespace smt::test {
namespace {

FeedListItem Item(std::vector<std::string> cells, int i12, int i13, int i23) {
    FeedListItem item;
    for (std::size_t k = 0; k < cells.size(); ++k) item.text[k] = cells[k];
    item.icon12 = i12, item.icon13 = i13, item.icon23 = i23;
    return item;
}

const std::vector<std::string> kCells = {
    "W12", "Cap", "0603", "10k", "12.3456", "-7.5000", "1.60", "0.80", "0.45", "90", "2", "35", "Camera 1",
    "120/80", "集中飞达", "50", "25", "4.0000", "1", "200", "15.0000", "20.0000", "-3.2500", "取料速度", "0.5000",
    "01:阻容", "500", "3", "5", "100"};

class FeedEditTransfers : public ::testing::Test {
protected:
    void SetUp() override { FillFeederWords(), g_LanguageIndex = 0; }
    void TearDown() override {
        g_PackLines.clear();
        ThePackLibrary().Table().Rows().clear();
    }
    FeedEditForm form;
};

TEST_F(FeedEditTransfers, LoadAndStoreRoundTripWithTheFlagImagesAndTheirVariants) {
    const FeedListItem item = Item(kCells, feedicon::CameraYes, feedicon::No, feedicon::SpeedYes);
    LoadFeedEditFromListRow(form, item, 0);
    EXPECT_EQ(form.previousId, "W12");
    EXPECT_EQ(std::tie(form.v.bank, form.v.number, form.v.vision, form.v.contrast, form.v.brightness, form.v.ownSpeed),
              std::make_tuple(kBankWest, 12, 1, 120, 80, 1));
    const FeedListItem back = StoreFeedEditInListRow(form);
    EXPECT_EQ(back.text, item.text);
    EXPECT_EQ(std::tie(back.icon12, back.icon13, back.icon23), std::tie(item.icon12, item.icon13, item.icon23));

    // Flying centring; machine type 4 has no vision centring; no own speed.
    struct Case {
        int i12, i13, i23, type, vision, out12, out13, out23;
    } cases[] = {{feedicon::No, feedicon::FlyingYes, feedicon::No, 0, 2, feedicon::No, feedicon::FlyingYes, feedicon::No},
                 {feedicon::CameraYes, feedicon::No, feedicon::No, 4, 0, feedicon::No, feedicon::No, feedicon::No}};
    for (const Case& c : cases) {
        LoadFeedEditFromListRow(form, Item(kCells, c.i12, c.i13, c.i23), c.type);
        EXPECT_EQ(form.v.vision, c.vision);
        const FeedListItem out = StoreFeedEditInListRow(form);
        EXPECT_EQ(std::tie(out.icon12, out.icon13, out.icon23), std::tie(c.out12, c.out13, c.out23)) << c.type;
    }
}

TEST_F(FeedEditTransfers, IdentifierBankSearchTrayWordAndUnsetPrecisions) {
    struct Case {
        std::string id;
        int bank, number;
    } cases[] = {{"W12", kBankWest, 12}, {"S5", kBankSouth, 5}, {"WN3", kBankWest, 0}, {"G7", kBankTray, 7}};
    for (const Case& c : cases) {
        std::vector<std::string> cells = kCells;
        cells[0] = c.id;
        LoadFeedEditFromListRow(form, Item(cells, 4, 4, 4), 0);
        EXPECT_EQ(std::tie(form.v.bank, form.v.number), std::tie(c.bank, c.number)) << c.id;
    }
    // No letter: the bank stays, the number is the whole text.
    std::vector<std::string> cells = kCells;
    cells[0] = "44";
    cells[27] = cells[28] = cells[29] = "";
    LoadFeedEditFromListRow(form, Item(cells, 4, 4, 4), 0);
    EXPECT_EQ(std::tie(form.v.bank, form.v.number), std::make_tuple(kBankTray, 44));
    EXPECT_EQ(std::tie(form.v.xyPrecision, form.v.anglePrecision, form.v.captureTime), std::make_tuple(-1, -1, -1));
    form.v.bank = kBankWest;
    form.v.feedMode = "托盘";
    const FeedListItem out = StoreFeedEditInListRow(form);
    EXPECT_EQ(out.text[0], "G44");  // the tray word wins over the checked bank
    EXPECT_EQ(out.text[27] + out.text[28] + out.text[29], "-1-1-1");
}

TEST_F(FeedEditTransfers, PackageChoiceTakesItsDefaultsAndMovesTheBankWithoutFeedDefaults) {
    g_PackLines = {"no tab line",
                   "0805\t2.0000\t1.2500\t0.5000\t100\t150\t60\t30\tCam2\tNo\tYes\t3\tYes\tPicking speed\t02:三极管\t"
                   "Auto\t2\t300\t12\t18\t4\t6\t150\t-2.5000\t40\t0.3000\t\t\t",
                   "Tray part\t5\t5\t1\t0\t0\t1\t1\t\tYes\tNo\t1\tNo\t\t\t托盘\t0\t0\t0\t0\t-1\t-1\t-1\t0\t0\t0\t\t\t"};
    EXPECT_EQ(FillPackCombo(g_PackLines), (std::vector<std::string>{"", "0805", "Tray part"}));
    form.v.bank = kBankWest;
    ASSERT_TRUE(ChoosePackage(form.v, "0805", g_PackLines));
    const FeedEditValues& v = form.v;
    EXPECT_EQ(std::tie(v.length, v.width, v.height), std::make_tuple(2.0, 1.25, 0.5));
    EXPECT_EQ(std::tie(v.contrast, v.brightness, v.pickDelay, v.placeDelay, v.vision, v.ownSpeed),
              std::make_tuple(100, 150, 60, 30, 2, 1));
    EXPECT_EQ(v.camera + "|" + v.nozzle + "|" + v.speedName + "|" + v.imageFeature + "|" + v.feedMode,
              "Cam2|3|取料速度|02:三极管|自动飞达");  // words in the current language
    EXPECT_EQ(v.bank, kBankSouth);
    EXPECT_EQ(std::tie(v.feedCount, v.feedTime, v.xyPrecision, v.anglePrecision, v.captureTime, v.vacuum),
              std::make_tuple(2, 300, 4, 6, 150, 40));  // the package's, not the mode's defaults
    EXPECT_EQ(std::tie(v.loosen, v.tighten, v.pickHeight, v.vacuumEarly), std::make_tuple(12.0, 18.0, -2.5, 0.3));
    ASSERT_TRUE(ChoosePackage(form.v, "Tray part", g_PackLines));
    EXPECT_EQ(std::tie(form.v.bank, form.v.vision), std::make_tuple(kBankTray, 1));
    const FeedEditValues before = form.v;
    EXPECT_FALSE(ChoosePackage(form.v, "no tab line", g_PackLines));
    EXPECT_FALSE(ChoosePackage(form.v, "0402", g_PackLines));
    EXPECT_EQ(form.v.number + form.v.bank, before.number + before.bank);
    EXPECT_EQ(form.v.camera, before.camera);
}

TEST_F(FeedEditTransfers, PackageUpdateWritesTheCellFormsAndLeavesTheSpareCells) {
    TextRow row(kPackCells, "old");
    row[0] = "0805";
    row[26] = "keep26";
    ThePackLibrary().Table().Rows() = {TextRow(kPackCells, "x"), row};
    ThePackLibrary().Table().Rows()[0][0] = "0603";
    FeedEditValues& v = form.v;
    v.package = "0805";
    v.length = 1.6, v.width = 0.8, v.height = 0.45;
    v.contrast = 11, v.brightness = 22, v.pickDelay = 33, v.placeDelay = 44, v.vision = 1, v.ownSpeed = 0;
    v.camera = "Cam1", v.nozzle = "2", v.speedName = "S", v.imageFeature = "00:通用", v.feedMode = "集中飞达";
    v.feedCount = 1, v.feedTime = 200, v.loosen = 15.6, v.tighten = 20.4, v.xyPrecision = -1, v.anglePrecision = 3;
    v.captureTime = 120, v.pickHeight = -2.5, v.vacuum = 30, v.vacuumEarly = 0.25;
    ASSERT_TRUE(UpdatePackage(v, ThePackLibrary()));
    const TextRow expected = {"0805", "1.6000", "0.8000", "0.4500", "11", "22", "33", "44", "Cam1", "Yes", "No", "2",
                              "No", "S", "00:通用", "集中飞达", "1", "200", "16", "20", "-1", "3", "120", "-2.5000", "30",
                              "0.2500", "keep26", "old"};
    EXPECT_EQ(ThePackLibrary().Table().Rows()[1], expected);
    v.package = "missing";
    EXPECT_FALSE(UpdatePackage(v, ThePackLibrary()));
    EXPECT_EQ(ThePackLibrary().Table().Rows()[0][1], "x");
}

TEST(FeedEditChoices, FeedModesNozzlesAndHeadsByMachineType) {
    EXPECT_EQ(FeedEditFeedModes(0).size(), 9u);
    EXPECT_EQ(FeedEditFeedModes(2), (std::vector<int>{0, 1, 2, 3, 4, 5, 7, 8}));
    EXPECT_EQ(FeedEditFeedModes(7), (std::vector<int>{1, 2, 3, 7, 8}));
    EXPECT_TRUE(FeedEditFeedModes(9).empty());
    struct Case {
        int type;
        bool autoChange, nineteen;
        std::size_t count;
    } cases[] = {{0, false, false, 1}, {1, true, false, 6},  {2, false, true, 2}, {3, true, true, 19},
                 {3, true, false, 6},  {4, true, true, 4},   {7, true, false, 8}, {7, true, true, 19},
                 {7, false, true, 8},  {8, true, true, 0}};
    for (const Case& c : cases) {
        const auto items = FeedEditNozzles(c.type, c.autoChange, c.nineteen);
        EXPECT_EQ(items.size(), c.count) << c.type << c.autoChange << c.nineteen;
        EXPECT_EQ(std::set<std::string>(items.begin(), items.end()).size(), items.size());  // each once
        if (!items.empty()) {
            EXPECT_EQ(items.back(), FormatInt(static_cast<long long>(c.count)));
        }
    }
    EXPECT_EQ(FeedEditHeads(4, 'Z'), (std::vector<std::string>{"Z1", "Z2"}));
    EXPECT_EQ(FeedEditHeads(6, 'P').back(), "P4");
    EXPECT_EQ(FeedEditHeads(7, 'P').size(), 8u);
    EXPECT_TRUE(FeedEditHeads(9, 'Z').empty());
}

TEST(FeedEditChoices, FeedModeLayoutAndChangeTables) {
    namespace e = feededit;
    const FeedModeLayout drag = FeedModeLayoutOf(6);
    EXPECT_EQ(std::tie(drag.texts, drag.drag, drag.disable),
              std::make_tuple(FeedModeLayout::DragPin, Shown::Show, std::vector<int>{e::FeedCount}));
    const FeedModeLayout autoFeeder = FeedModeLayoutOf(7);
    EXPECT_EQ(std::tie(autoFeeder.tray, autoFeeder.autoTest), std::make_tuple(Shown::Hide, Shown::Show));
    EXPECT_EQ(autoFeeder.enable, std::vector<int>{e::FeedTime});
    EXPECT_EQ(FeedModeLayoutOf(8).trayCaption, FeedModeLayout::TrayWord);
    EXPECT_EQ(FeedModeLayoutOf(8).disable.size(), 5u);
    EXPECT_EQ(FeedModeLayoutOf(0).stepTest, Shown::Show);
    EXPECT_EQ(FeedModeLayoutOf(-1).tray, Shown::Unchanged);

    struct Case {
        int mode, bank, newBank;
        const char *count, *time;
    } cases[] = {{0, kBankSouth, kBankWest, "1", "200"}, {5, kBankNorth, kBankNorth, "1", "200"},
                 {6, kBankTray, kBankWest, "1", "200"},  {1, kBankEast, kBankSouth, "", "100"},
                 {2, kBankTray, kBankEast, "", "100"},   {2, kBankNorth, kBankNorth, "", "100"},
                 {8, kBankNone, kBankTray, "", ""}};
    for (const Case& c : cases) {
        const FeedModeChange ch = FeedModeChangeOf(c.mode, c.bank);
        EXPECT_EQ(ch.bank, c.newBank) << c.mode;
        EXPECT_EQ(ch.feedCount.value_or(""), c.count) << c.mode;
        EXPECT_EQ(ch.feedTime.value_or(""), c.time) << c.mode;
    }
    EXPECT_EQ(std::string(BankAngle(kBankEast)) + BankAngle(kBankSouth) + BankAngle(kBankWest) + BankAngle(kBankTray),
              "270180900");
    EXPECT_EQ(PrecisionText("5", 100).value_or("none"), "0.0500");
    EXPECT_EQ(PrecisionText("-1", 100).value_or("none"), "none");
    EXPECT_EQ(PrecisionText("5", 0).value_or("none"), "none");
}

// ---- the tray dialog's rules -------------------------------------------------------------

TEST(TrayRules, GridSizeGreyingAndPitchCapture) {
    // 316 x 316 = 99856 pockets fit, 317 x 316 = 100172 do not.
    const std::tuple<int, int, bool> sizes[] = {{316, 316, true}, {317, 316, false}, {10000, 10000, false},
                                                {10001, 0, false}, {0, 5, true}};
    for (const auto& [rows, cols, ok] : sizes) EXPECT_EQ(TrayGridSizeAccepted(rows, cols), ok) << rows << "x" << cols;
    const std::pair<int, std::set<int>> greyed[] = {
        {0, {2, 3, 4, 5, 6, 7, 8}}, {5, {3, 4, 5, 6, 7, 8}}, {4, {5, 6, 7, 8}}, {7, {}}, {9, {}}};
    for (const auto& [mode, codes] : greyed) EXPECT_EQ(GreyedPocketCodes(mode), codes) << mode;

    BasicSettings b;
    b.m_X_CameraToNozzle1 = 20.5, b.m_Y_CameraToNozzle1 = 10.5;
    PulseFactors f;
    f.m_X_Pulse = 100, f.m_Y_Pulse = 80;  // apart, so that a swapped factor shows
    // Other types: from the camera position, no step added (-5000 / 80 + 10.5 + 30).
    EXPECT_DOUBLE_EQ(*CaptureRowPitch(0, 1, {0, -5000, 0, 0}, -30, b, f), -22.0);
    EXPECT_DOUBLE_EQ(CaptureColumnPitch(0, {1000, 0, 0, 0}, 25, b, f), 5.5);
    // Type 4: the row pitch follows the head group's table; one step away from zero.
    struct Case {
        int group;
        PitchCounters c;
        double row, column;
    } cases[] = {{1, {0, 1, -1, -99}, 0.0126, -0.0101}, {2, {0, 1, 250, -1000}, -12.5001, 2.5001},
                 {1, {0, 0, 0, -1000}, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_NEAR(*CaptureRowPitch(4, c.group, c.c, -30, b, f), c.row, 1e-9) << c.group;
        EXPECT_NEAR(CaptureColumnPitch(4, c.c, 25, b, f), c.column, 1e-9) << c.group;
    }
    EXPECT_FALSE(CaptureRowPitch(4, 0, {}, 0, b, f));
}

// ---- pocket moves against the simulated machine ----------------------------------------

class PocketMoves : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        const bool serial = GetParam() == Wire::Serial;
        g_MachineType = 7;
        StartMachine(serial, 7);
        g_Homed = true;
        g_HeadResetOk = true;
        BasicSettings& b = TheBasicSettings();
        b.m_X_CameraToNozzle1 = 1.27, b.m_Y_CameraToNozzle1 = -0.77;
        double* xs[] = {&b.m_X_Nozzle2ToNozzle1, &b.m_X_Nozzle3ToNozzle1, &b.m_X_Nozzle4ToNozzle1, &b.m_X_Nozzle5ToNozzle1,
                        &b.m_X_Nozzle6ToNozzle1, &b.m_X_Nozzle7ToNozzle1, &b.m_X_Nozzle8ToNozzle1};
        double* ys[] = {&b.m_Y_Nozzle2ToNozzle1, &b.m_Y_Nozzle3ToNozzle1, &b.m_Y_Nozzle4ToNozzle1, &b.m_Y_Nozzle5ToNozzle1,
                        &b.m_Y_Nozzle6ToNozzle1, &b.m_Y_Nozzle7ToNozzle1, &b.m_Y_Nozzle8ToNozzle1};
        for (int n = 2; n <= 8; ++n) *xs[n - 2] = 1.13 * n, *ys[n - 2] = -0.71 * n;
        ThePulseFactors().m_X_Pulse = 33.3;
        ThePulseFactors().m_Y_Pulse = 26.9;
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {30 + d, 130 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, t);
        TheCameraPanelPort().selectMarkCamera = [this] { ++markCamera; };
    }
    void TearDown() override {
        plat::JoinAllWorkers(std::chrono::seconds(20));
        TheCameraPanelPort() = CameraPanelPort{};
        TheSpeedTemplates().SetTable(SpeedType::Handle, SpeedTypeTable{});
        g_Homed = false;
        g_MachineType = 0;
        SimTest::TearDown();
    }
    // Column 3 (index 2) of row 1 with pitches 4.5 and -3.3 from (10.01, -20.02).
    static PocketMove Move(int code) { return PocketMove{code, 1, 3, -3.3, 4.5, 10.01, -20.02}; }
    int markCamera = 0;
};

TEST_P(PocketMoves, CameraAndEveryNozzleReachTheirPocketWithPerTermTruncation) {
    // X: trunc(19.01 x 33.3) = 633 less the truncated offset; Y: trunc(-23.32 x 26.9) = -627 less its offset.
    const std::pair<int, int> expected[9] = {{591, -607}, {633, -627}, {558, -589}, {521, -570}, {483, -551},
                                             {445, -532}, {408, -513}, {370, -494}, {332, -475}};
    for (int code = 0; code <= 8; ++code) {
        machine().ClearRecords();
        ASSERT_TRUE(StartPocketMove(Move(code)));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(std::make_pair(machine().Positions().x, machine().Positions().y), expected[code]) << code;
        EXPECT_EQ(std::make_pair(g_TargetPulseX.load(), g_TargetPulseY.load()), expected[code]) << code;
        const auto frames = machine().Frames();
        ASSERT_FALSE(frames.empty());
        // The serial link gets the speed gear 0 first; the Ethernet link the move alone.
        EXPECT_EQ(frames.front().code, GetParam() == Wire::Serial ? 0x60 : 0x64) << code;
        EXPECT_EQ(Count(0x64), 1) << code;
    }
    EXPECT_EQ(markCamera, 1);
    ExpectCountersAtMachine();
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_P(PocketMoves, GuardsAndATravelLimitRefusalLeaveTheMachineFree) {
    g_Running = true;
    EXPECT_FALSE(StartPocketMove(Move(1)));
    g_Running = false;
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is runnig !"});
    SetMoveLimits({500, -300000, 400000, 300000});  // the pocket lies beyond X
    ASSERT_TRUE(StartPocketMove(Move(1)));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(std::make_tuple(Count(0x64), machine().Positions().x, boxes.Count()), std::make_tuple(0, 0, 2u));
    EXPECT_FALSE(g_Running.load());
}

INSTANTIATE_TEST_SUITE_P(BothLinks, PocketMoves, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

} // namespace
} // namespace smt::test
