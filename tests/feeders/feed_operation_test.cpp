// The feeder operation worker and the feed test: targets with their truncation,
// the strokes, and whole operations against the simulated machine on both links,
// started as the program starts them (through the feeder operation port).
#include "../link/sim_fixture.h"
#include "feeders_fixture.h"

#include "base/globals.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_edit_actions.h"
#include "feeders/feed_group_table.h"
#include "feeders/feed_list.h"
#include "feeders/feed_operation.h"
#include "link/link_state.h"
#include "machine_ops/basic_teach.h"
#include "machine_ops/dipping_station.h"
#include "settings/limit_detour.h"
#include "vision/camera_panel_port.h"

#include <tuple>

namespace smt::test {
namespace {

std::vector<std::string> Row(std::initializer_list<std::pair<int, std::string>> cells) {
    std::vector<std::string> row(30);
    for (const auto& [i, text] : cells) row[static_cast<std::size_t>(i)] = text;
    return row;
}

// "0A80" as the frame log writes it: "0A 80".
std::string Spaced(const std::string& compact) {
    std::string out;
    for (std::size_t i = 0; i < compact.size(); i += 2) out += (i ? " " : "") + compact.substr(i, 2);
    return out;
}

void ResetAutoFeed() {
    AutoFeed& a = TheAutoFeed();
    for (auto& w : a.m_AutoFeedArray) w = 0;
    a.m_CurrentFeed = 0;
    a.m_CurrentWord = 1;
    a.m_Open_Length = 30;
    a.m_Close_Length = 45;
}

// 3 pulses per mm in X, 4 in Y: 10.1 mm less 0.5 mm gives 30 - 1 = 29 pulses in X, not
// trunc(9.6 x 3) = 28; -10.1 mm less -0.5 mm gives -40 + 2 = -38 in Y.
class FeedTargets : public ::testing::Test {
protected:
    void SetUp() override {
        FillFeederWords();
        ThePulseFactors().m_X_Pulse = 3;
        ThePulseFactors().m_Y_Pulse = 4;
        BasicSettings& b = TheBasicSettings();
        b.m_X_Measurement = 0.5, b.m_Y_Measurement = -0.5;
        b.m_X_Nozzle2ToNozzle1 = 0.5, b.m_Y_Nozzle2ToNozzle1 = -0.5;
        b.m_X_Nozzle5ToNozzle1 = 1.7, b.m_Y_Nozzle5ToNozzle1 = 0;
        b.m_X_Nozzle8ToNozzle1 = -0.4, b.m_Y_Nozzle8ToNozzle1 = 2.9;
        b.m_X_CameraToNozzle1 = 0.5, b.m_Y_CameraToNozzle1 = -0.5;
        TheDippingStation().m_DippingStation_X = 20.1;
        TheDippingStation().m_DippingStation_Y = -5.1;
    }
    void TearDown() override {
        ThePulseFactors() = PulseFactors{};
        TheBasicSettings() = BasicSettings{};
        TheDippingStation() = DippingStationSettings{};
    }
};

TEST_F(FeedTargets, EachCodeSubtractsTruncatedTerms) {
    const auto row = Row({{4, "10.1"}, {5, "-10.1"}, {14, "拖针"}, {20, "7.1"}, {21, "-7.1"}});
    struct Case {
        int code;
        PulsePoint want;
    } cases[] = {
        {-3, {60, -20}}, {-2, {59, -18}}, {0, {29, -38}}, {1, {30, -40}}, {2, {29, -38}},
        {5, {25, -40}}, {8, {31, -51}}, {3, {30, -40}},  // nozzle 3 has no offset here
    };
    for (const Case& c : cases) EXPECT_EQ(FeederTarget(c.code, row), c.want) << "code " << c.code;
    EXPECT_EQ(CameraTarget(9, row), (PulsePoint{29, -38}));
    EXPECT_EQ(CameraTarget(10, row), (PulsePoint{20, -26}));
    EXPECT_FALSE(CameraTarget(10, Row({{14, "集中飞达"}, {20, "7.1"}})).has_value());
}

// The stroke of the pick-to-camera test by machine type and head.
TEST(PickToCamera, StrokeAxisDepthAndHeadByTypeAndHead) {
    g_PulsesPerMmZ = 100;
    const auto row = Row({{10, "6"}, {11, "55"}, {15, "120"}});
    struct Case {
        int type, head, axis, depth, k;
    } cases[] = {
        {2, 1, 2, -250, 1},   {2, 2, 2, 250, 2},     {3, 3, 3, -250, 3},   {6, 4, 3, 250, 4},
        {7, 1, 0x20, -250, 1}, {7, 4, 0x23, -250, 4}, {7, 8, 0x27, -250, 8}, {3, 6, 0x25, -250, 6},
        {8, 1, 2, 0, 6},      {9, 5, 2, 0, 6},
    };
    for (const Case& c : cases) {
        const PickStrokeArgs a = PickToCameraStroke(c.type, c.head, -2.5, row);
        EXPECT_EQ(std::make_tuple(a.axis, a.depth, a.k, a.delay, a.f), std::make_tuple(c.axis, c.depth, c.k, 120, 55))
            << c.type << "/" << c.head;
    }
    g_PulsesPerMmZ = 0;
}

TEST(AutoFeedValues, BitsRowsAndTheSection) {
    ResetAutoFeed();
    AutoFeed& a = TheAutoFeed();
    for (int n : {1, 32, 33, 64, 65, 96}) EXPECT_TRUE(a.ToggleFeeder(n));
    const auto state = [&a] {
        return std::vector<std::uint32_t>{a.m_AutoFeedArray[0].load(), a.m_AutoFeedArray[1].load(),
                                          a.m_AutoFeedArray[2].load(), std::uint32_t(a.m_CurrentFeed.load()),
                                          std::uint32_t(a.m_CurrentWord.load())};
    };
    EXPECT_EQ(state(), (std::vector<std::uint32_t>{0x80000001u, 0x80000001u, 0x80000001u, 96, 3}));
    EXPECT_FALSE(a.ToggleFeeder(97));
    // Row 3 (feeders 49..64): its first feeder is clear, so all 16 are set; again, all cleared,
    // although feeder 64 was set before the first click.
    a.ToggleRow(3);
    EXPECT_EQ(state(), (std::vector<std::uint32_t>{0x80000001u, 0xFFFF0001u, 0x80000001u, 33, 2}));
    a.ToggleFeeder(50);  // feeder 49 still marked: the next click clears the row
    a.ToggleRow(3);
    EXPECT_EQ(a.m_AutoFeedArray[1].load(), 0x00000001u);

    TempDir dir;
    const std::string path = dir.File("config.ini");
    a.m_AutoFeedArray[0] = 0x80000000u;
    a.m_Feed_Times = 0, a.m_Feed_Delay = 0, a.m_Open_Length = 0, a.m_Close_Length = 0, a.m_FeedBack_Delay = 0;
    ASSERT_TRUE(SaveAutoFeedConfig(a, path));
    EXPECT_EQ(ReadBytes(path).find("m_AutoFeedArray[0]=-2147483648"), ReadBytes(path).find("m_AutoFeedArray[0]="));
    EXPECT_NE(ReadBytes(path).find("m_AutoFeedArray[0]=-2147483648\r\n"), std::string::npos);
    a.m_FeedBack_Delay = 9;
    LoadAutoFeedConfig(a, path);
    for (const char* language : {"Chinese", "English", "German"})
        for (const auto& [key, text] : TheAutoFeedCaptions().Entries())
            EXPECT_NE(ReadBytes(std::string(SMT_SOURCE_DIR) + "/res/" + language + ".ini").find(key + "="), std::string::npos)
                << language << " " << key;
    EXPECT_EQ((std::vector<long>{a.m_Feed_Times.load(), a.m_Feed_Delay.load(), a.m_Open_Length.load(),
                                 a.m_Close_Length.load(), a.m_FeedBack_Delay.load()}),
              (std::vector<long>{1, 200, 30, 45, 0}));
    ResetAutoFeed();
}

// ---- against the simulated machine ----

class FeedOps : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    bool Serial() const { return GetParam() == Wire::Serial; }
    void Prepare(int type = 2) {
        FillFeederWords();
        g_MachineType = type;
        StartMachine(Serial(), type);
        g_Homed = true;
        g_HeadResetOk = true;
        g_PanelLink.zCheckMask = machine().ZState();  // as a homing leaves it
        PulseFactors& f = ThePulseFactors();
        f.m_X_Pulse = f.m_Z_Pulse = 100;
        f.m_Y_Pulse = 80;  // apart from X, so that a swap shows
        f.m_WestWalk_Pulse = 50, f.m_WestLift_Pulse = 20, f.m_NorthWalk_Pulse = 50, f.m_NorthLift_Pulse = 20;
        f.m_EastWalk_Pulse = 50, f.m_EastLift_Pulse = 20;
        BasicSettings& b = TheBasicSettings();
        b.m_Z_Limit = -12;
        b.m_MeasurementStart = 7, b.m_MeasurementNormal = 9;
        b.m_WestFeed_Limit = -50, b.m_EastFeed_Limit = -50, b.m_NorthFeed_Limit = 50;
        b.m_Z_Measurement = -20, b.m_Z_Nozzle1ToPCBHeight = -15;
        b.m_Z_Nozzle1ToFeed = -10, b.m_Z_Nozzle5ToFeed = -11.5;
        b.m_Z_Nozzle2ToFeed = -9, b.m_Nozzle2MoreNozzle1 = 1, b.m_FeedOverBack = 0.5;
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {10 + d, 100 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, t);
        for (int d = 0; d < 16; ++d) t.SetPair(d, {40 + d, 140 + d});
        TheSpeedTemplates().SetTable(SpeedType::PickPart, t);
        ResetAutoFeed();
        InstallFeedOperationWorker();
        TheFeedListPort().storePickHeight = [this](const std::string& id, const std::string& h) {
            stored.push_back(id + "=" + h);
        };
        for (int k = 0; k < 5; ++k) SetWaitLimitOverride(static_cast<WaitKind>(k), plat::Millis(400));
    }
    void TearDown() override {
        TheFeedOperationPort() = {};
        TheFeedListPort() = {};
        ThePositionLimitDetour() = PositionLimitDetour{};
        TheDippingStation() = DippingStationSettings{};
        TheSpeedTemplates().SetTable(SpeedType::Handle, {});
        TheSpeedTemplates().SetTable(SpeedType::PickPart, {});
        SingleFeedFlag() = false;
        ResetAutoFeed();
        g_MachineType = 0;
        SimTest::TearDown();
    }
    // One operation as the feeder list starts it; true when it ended and freed the flag.
    bool Run(FeedOperationRequest r) {
        BusyClaim claim = BusyClaim::Try();
        EXPECT_TRUE(claim);
        TheFeedOperationPort().startRequest(std::move(r), std::move(claim));
        return WaitIdle();
    }
    bool Run(int code, std::vector<std::string> row, std::string id = {}) {
        FeedOperationRequest r;
        r.code = code;
        r.row = std::move(row);
        r.measuringId = std::move(id);
        return Run(std::move(r));
    }
    std::vector<sim::FeedRecord> Feeds() { return machine().Feeds(); }
    // The single-axis moves as "axis:delta" (the serial frame's s-m 32 delta).
    std::string AxisMoves() {
        std::string s;
        for (const auto& f : FramesOf(0x61)) {
            if (!f.accepted) continue;
            std::int32_t d = 0;
            if (Serial()) {
                const std::uint32_t m = (std::uint32_t(f.data[1] & 0x7F) << 24) | (f.data[2] << 16) | (f.data[3] << 8) | f.data[4];
                d = (f.data[1] & 0x80) ? -static_cast<std::int32_t>(m) : static_cast<std::int32_t>(m);
            } else {
                d = static_cast<std::int32_t>(f.data[5] | (f.data[6] << 8) | (f.data[7] << 16) | (std::uint32_t(f.data[8]) << 24));
            }
            s += std::to_string(f.data[0]) + ":" + std::to_string(d) + " ";
        }
        return s;
    }
    std::vector<std::string> stored;
    std::atomic<bool> silenceAfterMove{false};
};

INSTANTIATE_TEST_SUITE_P(Links, FeedOps, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

// The automatic-feeder request: the three masks as they stand (top bits set), h and i per link.
TEST_P(FeedOps, AutoFeedRequestCarriesTheMasksAndPerLinkNumbers) {
    Prepare();
    AutoFeed& a = TheAutoFeed();
    for (int n : {32, 33, 96}) a.ToggleFeeder(n);
    ASSERT_TRUE(Run(kFeedOpAutoFeed, {}));
    ASSERT_EQ(Feeds().size(), 1u);
    const sim::FeedRecord f = Feeds()[0];
    EXPECT_EQ(std::make_tuple(f.command, f.drive, static_cast<std::uint32_t>(f.pulses), f.a, f.b, f.count, f.feeder),
              std::make_tuple(0x66, 10, 0x80000000u, 0x00000001u, 0x80000000u, Serial() ? 1 : 3, Serial() ? 0 : 96));
    EXPECT_EQ(LastData(), Spaced(Serial() ? "0A" "80000000" "00000001" "80000000" "0000" "01" "00"
                                          : "000A" "00000000" "00000080" "01000000" "00000080"
                                            "00000000000000000000000000000000" "0000" "03" "60"));
}

// Height: the limit sent, the rounding, the head offset; a failed measurement or
// silence stores nothing and ends within the link's limit.
TEST_P(FeedOps, PickAndStationHeightsStoreOnlyWhatWasMeasured) {
    Prepare(9);
    TheDippingStation().m_DippingStation_X = 10, TheDippingStation().m_DippingStation_Y = -10;
    TheDippingStation().m_WaterFilmThickness = 0.1;
    const auto row = Row({{0, "W3"}, {4, "10"}, {5, "-10"}, {10, "5"}});
    TheCommandPanel().showPosition = [this](PositionField, const std::string&) {
        if (silenceAfterMove.exchange(false)) sim->faults().SilenceNext(1);
    };
    machine().SetMeasuredHeight(1234);
    ASSERT_TRUE(Run(kFeedOpMeasurePick, row, "W3"));
    // -12.34 mm, head 5 reaches 1.5 mm lower, less (-20 - -15).
    EXPECT_EQ(stored, std::vector<std::string>{"W3=-8.8400"});
    ASSERT_FALSE(FramesOf(0x71).empty());
    EXPECT_EQ(HexOf(FramesOf(0x71).back().data),
              Spaced(Serial() ? "20000004B00709" : "2050FBFFFF0700000009000000"));
    ASSERT_TRUE(Run(kFeedOpDippingHeight, {}));
    EXPECT_NEAR(TheDippingStation().m_DippingStation_Z, -7.24, 1e-9);

    for (bool silent : {false, true}) {
        stored.clear();
        TheDippingStation().m_DippingStation_Z = 7;
        TheBasicSettings().m_Z_Measurement = -20;
        machine().SetMeasuredHeight(silent ? 1234 : 0);
        for (int code : {kFeedOpMeasurePick, kFeedOpDippingHeight, kFeedOpReferenceHeight}) {
            // The measurement's reply is dropped, not the move's before it.
            if (silent && code == kFeedOpReferenceHeight) sim->faults().SilenceNext(1);
            silenceAfterMove = silent && code != kFeedOpReferenceHeight;
            ASSERT_TRUE(Run(code, row, "W3")) << code;
        }
        EXPECT_EQ(stored, std::vector<std::string>{}) << silent;
        EXPECT_EQ(TheDippingStation().m_DippingStation_Z, 7) << silent;
        // AutoZ stores the 0 of an error reply, nothing after silence.
        EXPECT_EQ(TheBasicSettings().m_Z_Measurement, silent ? -20 : 0);
    }
}

TEST(MeasuringHead, LimitedByMachineType) {
    struct Case {
        int cell, type, head;
    } cases[] = {{5, 2, 1}, {5, 9, 5}, {2, 2, 2}, {3, 5, 1}, {4, 6, 4}, {8, 7, 8}, {9, 7, 1}, {0, 0, 0}, {-1, 3, -1}};
    for (const Case& c : cases) EXPECT_EQ(MeasuringHead(c.cell, c.type), c.head) << c.cell << " on " << c.type;
}

// From the south-west corner into the south-east one: Y alone, the full move, a zero move.
TEST_P(FeedOps, DetourCornersAndTheDoubleTable) {
    Prepare();
    PositionLimitDetour& d = ThePositionLimitDetour();
    d.m_W_S_PositionLimitPositionDetour = 1, d.m_W_S_LessPosition_dX = 100, d.m_W_S_LessPosition_dY = -50;
    d.m_E_S_PositionLimitPositionDetour = 1, d.m_E_S_LessPosition_dX = 200, d.m_E_S_LessPosition_dY = -50;
    ASSERT_TRUE(Run(1, Row({{4, "50"}, {5, "-80"}})));
    EXPECT_EQ(FramesOf(0x64).size(), 2u);  // into the south-west corner: the full move, then a zero move
    machine().ClearRecords();
    ASSERT_TRUE(Run(1, Row({{4, "250"}, {5, "-90"}})));
    const auto moves = FramesOf(0x64);
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(std::pair(g_PulseX.load(), g_PulseY.load()), std::pair(25000, -7200));
    ExpectCountersAtMachine();
}

TEST_P(FeedOps, DoubleTableMovesXOnly) {
    Prepare(4);
    for (int code = 1; code <= 8; ++code) {
        ASSERT_TRUE(Run(code, Row({{4, std::to_string(10 * code)}, {5, "-80"}})));
        EXPECT_EQ(std::pair(g_PulseX.load(), g_PulseY.load()), std::pair(1000 * code, 0)) << code;
    }
}

// The feed test by feed mode and bank.
TEST_P(FeedOps, FeedTestByModeAndBank) {
    Prepare();
    TheVersionSwitches().m_V2_07 = 1;
    struct Case {
        const char* name;
        std::vector<std::string> row;
        std::string outputs, message;
        int feeds;            // feed records
        int drive = 0, count = 0, feeder = 0;
        double coordinate = 0;  // walk target (mm) for the walk modes
        int walkIndex = -1;
    };
    auto row = [](const char* id, const char* mode, const char* c, const char* count) {
        return Row({{0, id}, {14, mode}, {17, c}, {18, count}, {19, "0"}, {20, "1.5"}, {21, "2.5"}});
    };
    const std::string range = "料架送料坐标数据越限 !";
    const Case cases[] = {
        {"west integration", row("W3", "集中飞达", "-5", "2"), "5:0 ", "", 1, 1, 2, 3, -5, 0},
        {"west at 0", row("W4", "集中飞达", "0", "0"), "5:0 ", "", 1, 1, 1, 4, 0, 0},
        {"west at 0.1", row("W3", "集中飞达", "0.1", "1"), "", range, 0},
        {"south integration", row("S3", "集中飞达", "-5", "1"), "", "", 0},
        {"unknown mode", row("E2", "???", "-5", "4"), "7:0 ", "", 1, 3, 4, 2, -5, 2},
        {"0402 out of range", row("N1", "0402", "60", "3"), "6:0 ", range, 0},
        {"0402", row("E5", "0402", "-5", "3"), "7:0 ", "", 1, 3, 1, 5, -5, 2},
        {"vibration", row("S2", "振动飞达", "0", "3"), "", "", 3, 0x0B, 3, 2},
        {"tray", row("G1", "托盘", "0", "3"), "", "", 0},
        {"bad bank", row("X1", "集中飞达", "0", "1"), "", "FeedDirection No Find", 0},
    };
    for (const Case& c : cases) {
        machine().ClearRecords();
        boxes.Clear();
        const std::int32_t before = c.walkIndex >= 0 ? g_PulseFeederWalk[c.walkIndex].load() : 0;
        ASSERT_TRUE(Run(kFeedOpFeedTest, c.row)) << c.name;
        ASSERT_TRUE(ReadVacuum(1));  // an answered command: every output before it has arrived
        EXPECT_EQ(OutputsSent(), c.outputs) << c.name;
        EXPECT_EQ(boxes.Texts(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message})
            << c.name;
        const auto feeds = Feeds();
        ASSERT_EQ(static_cast<int>(feeds.size()), c.feeds) << c.name;
        for (std::size_t k = 0; k < feeds.size(); ++k) {
            // vibration counts down
            EXPECT_EQ(std::make_tuple(feeds[k].drive, feeds[k].count, feeds[k].feeder),
                      std::make_tuple(c.drive, c.count - static_cast<int>(k), c.feeder)) << c.name;
        }
        if (c.walkIndex >= 0) {
            // the walk's start and run speeds of the pick table
            const unsigned w = 8 + 2 * static_cast<unsigned>(c.walkIndex);
            EXPECT_EQ(std::make_tuple(feeds[0].pulses, feeds[0].a, feeds[0].b),
                      std::make_tuple(static_cast<std::int32_t>(c.coordinate * 50) - before, 40u + w, 140u + w)) << c.name;
        }
    }
    // An automatic feeder: set, then cleared, then set with the firmware switch off.
    const auto autoRow = row("W7", "自动飞达", "0", "2");
    struct Auto {
        int v207;
        std::uint32_t mask;
        int count, feeder;
    };
    const Auto autoCases[] = {{1, 0x40, 2, 7}, {1, 0, Serial() ? 2 : 1, 0}, {0, 0x40, 2, Serial() ? 0 : 7}};
    for (const Auto& a : autoCases) {
        machine().ClearRecords();
        TheVersionSwitches().m_V2_07 = a.v207;
        ASSERT_TRUE(Run(kFeedOpFeedTest, autoRow));
        ASSERT_EQ(Feeds().size(), 1u);
        const sim::FeedRecord f = Feeds()[0];
        EXPECT_EQ(std::make_tuple(f.drive, static_cast<std::uint32_t>(f.pulses), f.count, f.feeder),
                  std::make_tuple(10, a.mask, a.count, a.feeder)) << a.v207 << " " << a.mask;
    }
    // The editor's single feed: once, then the row's count again.
    SingleFeedFlag() = true;
    machine().ClearRecords();
    ASSERT_TRUE(Run(kFeedOpFeedTest, row("W3", "集中飞达", "-5", "4")));
    ASSERT_TRUE(Run(kFeedOpFeedTest, row("W3", "集中飞达", "-5", "4")));
    ASSERT_EQ(Feeds().size(), 2u);
    EXPECT_EQ(std::pair(Feeds()[0].count, Feeds()[1].count), std::pair(1, 4));
}

// Drag pin: pin down, lift open by trunc(L x -(30 / 4) x f), drag, back, pin up, lift
// closed; a refused drag still raises the pin and closes the lift.
TEST_P(FeedOps, DragPinPerBankAndARefusedDrag) {
    Prepare();
    auto row = [](const char* id) {
        return Row({{0, id}, {14, "拖针"}, {17, "-2"}, {19, "0"}, {20, "10"}, {21, "-10"}, {22, "0"}});
    };
    struct Case {
        const char* id;
        std::string axisMoves;
        std::int32_t x, y;  // where the carriage ends
        std::int32_t xLimit = 400000;
    } cases[] = {
        // From the hole (1000, -800): 2 mm along the bank, 0.5 mm back; 100 pulses per mm in X, 80 in Y.
        {"W1", "2:-1000 11:-280 2:1000 11:440 ", 1150, -800},
        {"N1", "2:-1000 12:-280 2:1000 12:440 ", 1000, -920},
        {"E1", "2:-1000 13:-280 2:1000 13:440 ", 850, -800},
        {"S1", "2:-1000 2:1000 ", 1000, -680},
        {"W2", "2:-1000 11:-280 2:1000 11:440 ", 1000, -800, 1100},  // the drag would pass X 1100
    };
    for (const Case& c : cases) {
        SetMoveLimits({c.xLimit, -300000, 400000, 300000});
        machine().ClearRecords();
        boxes.Clear();
        ASSERT_TRUE(Run(kFeedOpFeedTest, row(c.id))) << c.id;
        EXPECT_EQ(AxisMoves(), c.axisMoves) << c.id;
        EXPECT_EQ(std::pair(g_PulseX.load(), g_PulseY.load()), std::pair(c.x, c.y)) << c.id;
        EXPECT_EQ(boxes.Texts().size(), c.xLimit == 400000 ? 0u : 1u) << c.id;
    }
}

// AutoZ and both dipping-station buttons as the settings start them, and two starts
// racing: one worker, one refusal.
TEST_P(FeedOps, SettingsStartsAndRacingStarts) {
    Prepare();
    TheDippingStation().m_DippingStation_X = 30, TheDippingStation().m_DippingStation_Y = -40;
    TheBasicSettings().m_X_Measurement = 5, TheBasicSettings().m_Y_Measurement = 0;
    machine().SetMeasuredHeight(2000);
    std::vector<std::string> shown;
    ReferenceHeightSink().Install([&](const std::string& t) { shown.push_back("ref " + t); });
    DippingZSink().Install([&](const std::string& t) { shown.push_back("dip " + t); });
    ASSERT_TRUE(StartReferenceMeasurement());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(TheBasicSettings().m_Z_Measurement, -20);
    ASSERT_TRUE(StartHeadToDippingStation());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(std::pair(g_PulseX.load(), g_PulseY.load()), std::pair(3000, -3200));
    TheBasicSettings().m_Z_Measurement = -22;
    ASSERT_TRUE(StartDippingStationMeasurement());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(g_PulseX.load(), 2500);  // the measuring head over the station
    EXPECT_NEAR(TheDippingStation().m_DippingStation_Z, -20 + 7, 1e-9);
    EXPECT_EQ(shown, (std::vector<std::string>{"ref -20.0000", "dip -13.0000"}));
    ReferenceHeightSink().Remove();
    DippingZSink().Remove();

    machine().ClearRecords();
    sim->faults().SetDelayMs(200);
    ASSERT_TRUE(StartReferenceMeasurement());
    EXPECT_FALSE(StartReferenceMeasurement());
    ASSERT_TRUE(WaitIdle());
    sim->faults().SetDelayMs(0);
    EXPECT_EQ(FramesOf(0x71).size(), 1u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is runnig !"});
}

// ---- the feeder editor's machine actions ----

TEST(EditorActions, ReadBacksHeadJogsToZAndDragDrives) {
    PulseFactors& f = ThePulseFactors();
    f.m_X_Pulse = 1000, f.m_Y_Pulse = 800, f.m_Z_Pulse = 100, f.m_WestWalk_Pulse = 50, f.m_WestLift_Pulse = 20;
    f.m_EastLift_Pulse = 10, f.m_NorthLift_Pulse = 5;
    TheBasicSettings().m_X_CameraToNozzle1 = 20.5;
    g_PulseX = 12345, g_PulseY = -5000, g_PulseFeederWalk[0] = -100, g_PulseZ[1] = -250, g_PulseZ[2] = 30;
    EXPECT_EQ((std::vector<std::string>{ReadBackText(ReadBack::X), ReadBackText(ReadBack::Y),
                                        ReadBackText(ReadBack::CameraX), ReadBackFeedCoordinate("W2"),
                                        ReadBackFeedCoordinate("S2"), ReadBackHeadHeight(1).value_or("none"),
                                        ReadBackHeadHeight(2).value_or("none")}),
              (std::vector<std::string>{"12.3451", "-6.2501", "32.8451", "-2.0001", "0.0000", "-2.5001", "0.0000"}));
    EXPECT_FALSE(ReadBackHeadHeight(4).has_value());

    // "Z↑" per head: rockers turn the second head round; on type 7 every head rises with 1.
    const int rocker[] = {1, 0, 1, 0};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(HeadJog(3, s, true), (EditorJog{s < 2 ? 2 : 3, rocker[s], false, 0, 0})) << s;
        EXPECT_EQ(HeadJog(3, s, false)->direction, 1 - rocker[s]) << s;
    }
    EXPECT_FALSE(HeadJog(3, 4, true).has_value());
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(HeadJog(7, s, true), (EditorJog{0x20 + s, 1, false, 0, 0})) << s;
        EXPECT_EQ(HeadJog(7, s, false)->direction, 0) << s;
    }
    // "To=Z": -3 mm from Z -2.5 mm is -50 pulses; head 2 of the rocker goes the other way.
    EXPECT_EQ(HeadToHeight(3, 1, -3.0), (EditorJog{2, 1, true, -50, 0}));
    g_PulseZ[0] = 0;
    EXPECT_EQ(HeadToHeight(3, 0, -3.0), (EditorJog{2, 0, true, -300, 0}));
    EXPECT_FALSE(HeadToHeight(3, 0, 0.5).has_value());

    ResetAutoFeed();  // open 30, close 45
    struct Case {
        int button;
        const char* id;
        std::optional<EditorJog> want;
    } cases[] = {
        {1247, "E1", EditorJog{13, 1, true, 450, 0}}, {1245, "E1", EditorJog{13, 0, true, 300, 0}},
        {1250, "E1", EditorJog{10, 1, false, 0, 7}},  {1253, "W1", EditorJog{8, 0, false, 0, 5}},
        {1247, "W1", EditorJog{11, 0, true, 600, 0}}, {1245, "W1", EditorJog{11, 1, true, 900, 0}},
        {1247, "N1", EditorJog{9, 1, false, 0, 6}},   {1253, "N1", EditorJog{12, 0, true, 150, 0}},
        {1250, "N1", EditorJog{12, 1, true, 225, 0}}, {1247, "S1", std::nullopt}, {1247, "G1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(DragDrive(c.button, c.id), c.want) << c.button << " " << c.id;
    ClearPositionCounters();
    ThePulseFactors() = PulseFactors{};
    TheBasicSettings() = BasicSettings{};
}

// "<¤>" with its range per bank and the walk's delta; the vacuum test on types 0..6 only.
TEST_P(FeedOps, EditorWalkAndVacuumTest) {
    Prepare();
    const std::string message = "飞达坐标越限 !";
    EXPECT_FALSE(StartWalkToFeedCoordinate("W1", 10, message));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{message});
    ASSERT_TRUE(StartWalkToFeedCoordinate("N1", 10, message));
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(StartWalkToFeedCoordinate("N1", 4.5, message));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(AxisMoves(), "9:500 9:-275 ");
    EXPECT_EQ(OutputsSent(), "5:0 6:0 6:0 ");  // the refused west walk switched its bank off too
    EXPECT_EQ(g_PulseFeederWalk[1].load(), 225);
    EXPECT_FALSE(StartWalkToFeedCoordinate("S1", -1, message));

    machine().SetVacuumOverride(3, 42);
    ASSERT_TRUE(StartVacuumTest(6, 2));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Count(0x15), 1);
    EXPECT_EQ(g_VacuumReading.load(), 42);
    EXPECT_FALSE(StartVacuumTest(7, 0));
    EXPECT_FALSE(StartVacuumTest(2, 4));
    g_Connected = false;
    EXPECT_FALSE(StartVacuumTest(2, 0));
    EXPECT_EQ(Count(0x15), 1);
}


// The pick-to-camera test: codes 13..20 show heads 1..8 to camera 1, codes 21..28 to
// camera 2. The head picks at the feeder less its offset, then the camera's place less
// the same offset comes over it. Heads 2 and 3 sit apart so that a wrong head shows.
TEST_P(FeedOps, PickToCameraTestTakesHeadAndCameraFromItsCode) {
    Prepare(3);
    g_PulsesPerMmX = 100, g_PulsesPerMmY = 80, g_PulsesPerMmZ = 100;
    g_NozzleToNozzle1Pulses[1] = {500, -240};
    g_NozzleToNozzle1Pulses[2] = {-700, 160};
    ReadTable(TheFeedGroupTable(), TableLines("A", {{"A", {}}}));
    TheCameraPanelPort().visionCamera = [](int which) {
        return which == 0 ? VisionCameraPlace{1500, -900, 20, 5} : VisionCameraPlace{3000, -2000, 30, 7};
    };
    const auto row = Row({{4, "10"}, {5, "-10"}, {6, "2"}, {13, "60/40"}, {15, "50"}, {22, "-3"}});
    struct Case {
        int code;
        int axis;
        PulsePoint end;
    } cases[] = {
        {13, 2, {1500, -900}},   // head 1, camera 1
        {21, 2, {3000, -2000}},  // head 1, camera 2
        {22, 2, {2500, -1760}},  // head 2, camera 2
        {15, 3, {2200, -1060}},  // head 3, camera 1
    };
    for (const Case& c : cases) {
        machine().ClearRecords();
        ASSERT_TRUE(Run(c.code, row)) << c.code;
        const auto moves = FramesOf(0x64);
        const auto picks = FramesOf(0x67);
        ASSERT_EQ(moves.size(), 2u) << c.code;
        ASSERT_EQ(picks.size(), 1u) << c.code;
        EXPECT_EQ(picks[0].data[0], c.axis) << c.code;
        EXPECT_EQ(std::pair(g_PulseX.load(), g_PulseY.load()), std::pair(c.end.x, c.end.y)) << c.code;
        ExpectCountersAtMachine();
    }
    TheCameraPanelPort().visionCamera = nullptr;
    TheFeedGroupTable().DestroyFeedGroupTable();
    g_NozzleToNozzle1Pulses = {};
    g_PulsesPerMmX = g_PulsesPerMmY = g_PulsesPerMmZ = 0;
}

} // namespace
} // namespace smt::test
