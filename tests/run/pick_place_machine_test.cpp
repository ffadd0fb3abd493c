// The pick and place steps against the simulated machine: the vacuum check over
// the camera, the feeders' present and advance per feed mode, the operator's
// question after a failed place (with the busy flag handed to the manual panel
// and back), the table steps, the eight-head batch commands, and parts picked,
// measured and placed in the simulated world, landing where their rows say.
#include <atomic>
#include <map>
#include <thread>

#include "../feeders/feeders_fixture.h"
#include "../link/world_fixture.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "feeders/feed_list.h"
#include "feeders/feeder_words.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_board.h"
#include "joblist/smt_strategy.h"
#include "link/busy.h"
#include "link/link_state.h"
#include "link/link_state.h"
#include "run/pick_place.h"
#include "run/placement_records.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"
#include "test_support.h"
#include "vision/camera_list.h"

namespace smt::test {
namespace {

// A feeder line of group "G": id, mode word, the given cells.
std::string FeederLine(const std::string& id, const std::map<int, std::string>& cells) {
    FeedRow row{};
    row[0] = id;
    row[4] = "50", row[5] = "-20", row[10] = "1", row[11] = "30", row[12] = "Yes/Camera 1", row[13] = "No/";
    row[14] = FeedModeWord(2), row[15] = "20", row[16] = "30", row[22] = "-5", row[23] = "No/", row[26] = "12";
    for (const auto& [k, v] : cells) row[static_cast<std::size_t>(k)] = v;
    std::string line;
    for (const auto& c : row) line += c + "\t";
    return line;
}

JobRow PartRow(double x, double y) {
    JobRow r(kPartCells);
    r.cells[0] = "C1", r.cells[1] = FormatC("%0.4f", x), r.cells[2] = FormatC("%0.4f", y);
    return r;
}

class PickPlaceMachine : public WorldSimTest {
protected:
    void TearDown() override {
        ThePickPlaceVision() = saved;
        TheFeedListPort() = FeedListPort{};
        TheFeedGroupTable().DestroyFeedGroupTable();
        TheSmtStrategy().SetConfig({});
        TheCameraList().SetRows({});
        ThePartList().Reset();
        StoreRunBoard(RunBoardState{});
        g_NozzleSlots = {}, g_NozzleWork = {};
        for (auto& t : g_RotationTarget) t = 0;
        for (auto& m : g_FeederMasks) m = 0;
        g_ReplenishPresented = 0, g_VisionMoveDone = 0, g_ViaRow = 0;
        g_MachineType = 0, g_SmtHeadCount = 1, g_AutoNozzleChange = 0;
        g_RunContinue = false, g_Running = false;
        WorldSimTest::TearDown();
    }

    // Factors X 100, Y 80 (the world's: 100 each), Z 100; pick, place and vision
    // speeds (10 + d, 100 + d) per drive d.
    void Settings(int type, bool serial, bool worldFactors = false) {
        ResetCommandWorld(serial);
        g_MachineType = type;
        FillFeederWords();
        PulseFactors& f = ThePulseFactors();
        f.m_X_Pulse = 100, f.m_Y_Pulse = worldFactors ? 100 : 80, f.m_Z_Pulse = 100, f.m_A_Pulse = 10;
        f.m_WestWalk_Pulse = 125, f.m_WestLift_Pulse = 30, f.m_NorthWalk_Pulse = 140, f.m_NorthLift_Pulse = 35;
        f.m_EastWalk_Pulse = 150, f.m_EastLift_Pulse = 40;
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {10 + d, 100 + d});
        for (auto type : {SpeedType::PickPart, SpeedType::Smt, SpeedType::VisualCorrection, SpeedType::VisualSmt,
                          SpeedType::Handle})
            TheSpeedTemplates().SetTable(type, t);
        BasicSettings& b = TheBasicSettings();
        b.m_Z_Nozzle1ToPCBHeight = -6, b.m_Z_closeVacuum = 0.5;
        b.m_X_ThrowPosition = 10, b.m_Y_ThrowPosition = -5, b.m_ThrowDelay = 1;
        saved = ThePickPlaceVision();
        g_RunContinue = true;
        g_Running = true;  // the run holds the busy flag
        g_hRunPauseGate.Set();
    }
    // Homed: the Z state the board reports with every head up.
    static void Homed(int type) {
        g_Homed = true, g_HeadResetOk = true;
        g_PanelLink.zCheckMask = type == 7 ? 0xFF : type >= 8 ? 0 : 3;
    }
    void Connect(int type, bool serial) {
        StartMachine(serial, type, [&] { Settings(type, serial); });
        Homed(type);
    }
    void ConnectWorld(sim::Scenario scenario) {
        StartWorld(0, std::move(scenario), false, true, false);
        ASSERT_TRUE(GetMachineLink().Open(sim::kBoardAddress, sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
        StartUdpReplyThread(GetMachineLink());
        g_Connected = true;
        Homed(0);
    }
    void Feeders(const std::vector<std::string>& lines) {
        std::vector<std::string> all{"1\tG\t", "G\td\t" + std::to_string(lines.size()) + "\t"};
        all.insert(all.end(), lines.begin(), lines.end());
        for (std::size_t i = 0; i < lines.size(); ++i) all.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
        ReadTable(TheFeedGroupTable(), all);
    }
    std::string Quantity(const std::string& id) {
        const auto row = TheFeedGroupTable().CopyFeedRow(0, id);
        return row ? (*row)[feedcell::Quantity] : "(none)";
    }
    int MeasureCalls() const { return measured.load(); }
    void CountMeasurements(bool* synchronous = nullptr) {
        ThePickPlaceVision().measurePartOnNozzle = [this, synchronous](PlacementRecord&, bool s) {
            ++measured;
            if (synchronous) *synchronous = s;
            return true;
        };
    }
    // Slot 1 and record 1 for the feeder in group 0, on the placement row 0.
    static void FillSlot(int k, int row, const std::string& feeder) {
        NozzleSlot& s = g_NozzleSlots[static_cast<std::size_t>(k - 1)];
        s.row = row, s.headTarget = k, s.nozzleTarget = k;
        s.feederId = feeder, s.feederNumber = AtoI(feeder.substr(1)), s.bankCode = 1, s.groupIndex = 0;
        s.feedMode = 2, s.feedModeText = FeedModeWord(2), s.feedCount = 2, s.feedTime = 1;
    }
    PlacementRecord& BuildRecordOne(const std::string& feeder) {
        FillSlot(1, 0, feeder);
        EXPECT_TRUE(BuildPlacementRecord(0, 1));
        return g_NozzleWork[0];
    }

    PickPlaceVision saved;
    std::atomic<int> measured{0};
};

TEST_F(PickPlaceMachine, LowVacuumOverTheCameraIsIconSevenAndNoMeasurement) {
    Connect(0, false);
    ThePartList().SetRows(JobList::Part, {PartRow(1, -1)});
    CountMeasurements();
    PlacementRecord r;
    r.row = 0, r.head = 1, r.vacuum = 30, r.visionCamera = 1, r.visionKind = 1, r.flyValue2 = 70, r.pickZ = -1;
    ASSERT_TRUE(MeasurePartOverCamera(r, false));
    EXPECT_EQ(r.vacuumFailedRow, 0);
    EXPECT_EQ(ThePartList().Row(JobList::Part, 0)->Icon(0), 7);
    EXPECT_EQ(MeasureCalls(), 0);
    EXPECT_EQ(Count(0x15), 1);
    EXPECT_EQ(g_VisionMoveDone.load(), 1);

    // With a part on the nozzle the reading holds and the part is measured.
    ASSERT_TRUE(PickPart(r));
    ASSERT_TRUE(MeasurePartOverCamera(r, false));
    EXPECT_EQ(r.vacuumFailedRow, -1);
    EXPECT_EQ(MeasureCalls(), 1);
    // The second camera move of the cycle is a plain XYA move.
    EXPECT_EQ(Count(0x65), 1);
    EXPECT_EQ(Count(0x64), 1);
}

TEST_F(PickPlaceMachine, SecondHeadOfTypeFiveSharesTheFirstHeadsFrame) {
    Connect(5, false);
    SmtStrategyConfig st;
    st.m_HeaderSelect = 1;
    TheSmtStrategy().SetConfig(st);
    TheCameraList().SetRows({CameraCells{}, CameraCells{}});
    g_NozzleWork[0].visionCamera = 1, g_NozzleWork[0].visionKind = 2;
    bool synchronous = false;
    CountMeasurements(&synchronous);
    PlacementRecord r;
    r.row = 0, r.head = 2, r.visionCamera = 1, r.visionKind = 2;
    ASSERT_TRUE(MeasurePartOverCamera(r, false));
    EXPECT_EQ(MeasureCalls(), 1);
    EXPECT_TRUE(synchronous);
    EXPECT_EQ(FrameCount(), 0u);  // no camera choice, no move, no reading
    // A repeated measurement moves over the camera itself.
    ASSERT_TRUE(MeasurePartOverCamera(r, true));
    EXPECT_FALSE(synchronous);
    EXPECT_EQ(Count(0x65), 1);
}

// The feed commands of each mode: (code, drive, pulses, a, c, d, count, feeder)
// read from the Ethernet payload.
struct Feed {
    int code, drive;
    std::int32_t pulses, a, c, d;
    int count, feeder;
    bool operator==(const Feed&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Feed& f) {
    return o << std::hex << f.code << std::dec << " drive " << f.drive << " pulses " << f.pulses << " a " << f.a
             << " c " << f.c << " d " << f.d << " count " << f.count << " feeder " << f.feeder;
}

TEST_F(PickPlaceMachine, PresentAndAdvancePerFeedMode) {
    Connect(0, false);
    Feeders({FeederLine("W3", {{14, FeedModeWord(0)}}), FeederLine("N40", {{14, FeedModeWord(1)}})});
    std::vector<std::string> shown;
    TheFeedListPort().showCell = [&](const std::string& id, int cell, const std::string& text) {
        shown.push_back(id + ":" + std::to_string(cell) + ":" + text);
    };
    const auto feeds = [&] {
        std::vector<Feed> out;
        for (const auto& f : machine().Frames()) {
            if (f.code != 0x66 && f.code != 0x56) continue;
            sim::FieldReader r(f.data);
            Feed x{f.code, 0, 0, 0, 0, 0, 0, 0};
            r.U8();
            x.drive = r.U8();
            r.Le32();
            x.pulses = r.Le32();
            x.a = r.Le32();
            r.Le32();
            x.c = r.Le32();
            x.d = r.Le32();
            r.Le32(), r.Le32(), r.Le16();
            x.count = r.U8();
            x.feeder = r.U8();
            out.push_back(x);
        }
        machine().ClearRecords();
        return out;
    };
    const auto slot = [](int mode, int bank, int number, const std::string& id) {
        NozzleSlot s;
        s.feedMode = mode, s.bankCode = bank, s.feederNumber = number, s.feederId = id, s.groupIndex = 0;
        s.feedCoordinate = 4.0, s.loosenLength = 2.0, s.tightenLength = 1.5, s.feedTime = 1, s.feedCount = 2;
        s.presented2 = 1;
        return s;
    };
    // Mode 0: 4 mm x 125 on the west walk less its counter; loosen 2 mm and tighten
    // 1.5 mm x 30 on the west lift; one part on the Ethernet link.
    NozzleSlot w = slot(0, 1, 3, "W3");
    ASSERT_TRUE(PresentFeederPart(w, false));
    EXPECT_EQ(feeds(), (std::vector<Feed>{{0x66, 1, 500, 18, 60, 45, 1, 3}}));
    EXPECT_EQ(w.presented2, 0);
    ASSERT_TRUE(PresentFeederPart(w, false));  // the walk already stands there
    EXPECT_EQ(feeds(), (std::vector<Feed>{{0x66, 1, 0, 18, 60, 45, 1, 3}}));
    EXPECT_EQ(Quantity("W3"), "10");
    EXPECT_EQ(shown, (std::vector<std::string>{"W3:26:11", "W3:26:10"}));

    // Mode 4 only with a count; mode 5 doubles with both nozzles of a cycle on it.
    NozzleSlot z = slot(4, 2, 9, "W3");
    z.feedCount = 0;
    ASSERT_TRUE(PresentFeederPart(z, false));
    EXPECT_TRUE(feeds().empty());
    g_SmtHeadCount = 2;
    g_NozzleSlots[0].feederId = g_NozzleSlots[1].feederId = "W3";
    g_NozzleSlots[1].row = 4;
    NozzleSlot f48 = slot(5, 2, 9, "W3");
    ASSERT_TRUE(PresentFeederPart(f48, false));
    EXPECT_EQ(feeds(), (std::vector<Feed>{{0x66, 2, 560, 20, 140, 105, 2, 9}}));
    ASSERT_TRUE(PresentFeederPart(f48, true));  // the replenish pass takes one
    EXPECT_EQ(feeds(), (std::vector<Feed>{{0x66, 2, 0, 20, 70, 52, 1, 9}}));

    // Mode 1: feeder 40 is bit 7 of the second mask, released by the advance.
    NozzleSlot a = slot(1, 2, 40, "N40");
    ASSERT_TRUE(PresentFeederPart(a, false));
    EXPECT_EQ(g_FeederMasks[1].load(), 0x80u);
    EXPECT_EQ(feeds(), (std::vector<Feed>{{0x66, 10, 0, 0x80, 0, 0, 1, 40}}));
    AdvanceFeeder(a);
    EXPECT_EQ(g_FeederMasks[1].load(), 0u);
    EXPECT_EQ(feeds(), (std::vector<Feed>{{0x56, 10, 0, 0, 0, 0, 2, 0}}));  // the mask group on Ethernet
    EXPECT_EQ(Quantity("N40"), "11");

    // Mode 2: one vibration per part; modes 3, 6 and 8 present nothing.
    NozzleSlot v = slot(2, 4, 6, "N40");
    ASSERT_TRUE(PresentFeederPart(v, false));
    EXPECT_EQ(feeds(), (std::vector<Feed>{{0x66, 11, 0, 0, 0, 0, 2, 6}}));
    for (int mode : {3, 6, 8}) {
        NozzleSlot n = slot(mode, 1, 3, "N40");
        ASSERT_TRUE(PresentFeederPart(n, false));
        AdvanceFeeder(n);
        EXPECT_TRUE(feeds().empty()) << mode;
    }
    EXPECT_EQ(Quantity("N40"), "7");
}

TEST_F(PickPlaceMachine, SerialFeederNumberFollowsTheVersionSwitchAndVibratesPerPart) {
    Connect(0, true);
    NozzleSlot a;
    a.feedMode = 1, a.feederNumber = 5, a.feedCount = 3, a.feedTime = 1;
    const auto lastFeeds = [&] {
        auto f = machine().Feeds();
        machine().ClearRecords();
        return f;
    };
    ASSERT_TRUE(PresentFeederPart(a, false));
    auto f = lastFeeds();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].feeder, 0);
    EXPECT_EQ(f[0].count, 3);
    TheVersionSwitches().m_V2_07 = 1;
    ASSERT_TRUE(PresentFeederPart(a, false));
    f = lastFeeds();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].feeder, 5);
    AdvanceFeeder(a);
    f = lastFeeds();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].count, 3);  // the feed count on the serial link
    a.feedMode = 2;
    ASSERT_TRUE(PresentFeederPart(a, false));
    EXPECT_EQ(lastFeeds().size(), 3u);
}

// Record 1 from feeder W1 (vibration, pick (50, -20)), failed at its place.
class NozzleFailure : public PickPlaceMachine {
protected:
    PlacementRecord& Failed() {
        Connect(0, false);
        Feeders({FeederLine("W1", {{12, "No/"}})});
        ThePartList().SetRows(JobList::Part, {PartRow(20, 15)});
        RunBoardState s;
        s.g_RunOriginX = 100, s.g_RunOriginY = -200;
        ConvertBoardPointsToPulses(s, 100, 80);
        StoreRunBoard(s);
        PlacementRecord& r = BuildRecordOne("W1");
        r.vacuumFailedRow = 0;
        return r;
    }
    std::vector<std::string> Boxes() { return boxes.Texts(); }
};

TEST_F(NozzleFailure, YesDiscardsAndGoesOn) {
    PlacementRecord& r = Failed();
    bool busyDuringBox = true;
    const auto previous = plat::SetMessageBoxHandler([&](const plat::MsgBoxRequest& q) {
        busyDuringBox = g_Running.load();
        EXPECT_EQ(q.buttons, plat::MsgButtons::YesNoCancel);
        EXPECT_EQ(q.icon, plat::MsgIcon::Question);
        EXPECT_TRUE(q.topmost);
        EXPECT_EQ(q.text, PartListText("Message_45"));
        return plat::MsgAnswer::Yes;
    });
    const bool result = HandleNozzleFailure(r, 1, 0, 0, 0);
    plat::SetMessageBoxHandler(previous);
    EXPECT_TRUE(result);
    EXPECT_FALSE(busyDuringBox);
    EXPECT_TRUE(g_Running.load());
    EXPECT_EQ(r.vacuumFailedRow, -1);
    EXPECT_EQ(ThePartList().Row(JobList::Part, 0)->Icon(0), 7);
    EXPECT_EQ(g_ReplenishPresented.load(), 1);
    // To the throw position (1000, -400) and the vacuum of nozzle 1 off; nothing picked.
    EXPECT_EQ(g_PulseX.load(), 1000);
    EXPECT_EQ(g_PulseY.load(), -400);
    EXPECT_TRUE(WaitUntil([&] { return OutputsSent() == "1:0 "; }, std::chrono::seconds(2))) << OutputsSent();
    EXPECT_EQ(Count(0x67), 0);
}

TEST_F(NozzleFailure, NoEndsTheRunAndWithAutomaticChangeParksAndHomes) {
    PlacementRecord& r = Failed();
    boxes.Push(plat::MsgAnswer::No);
    EXPECT_FALSE(HandleNozzleFailure(r, 1, 0, 0, 0));
    EXPECT_EQ(Count(0x64), 0);
    EXPECT_EQ(Count(0x72), 0);

    r.visionFailed = 1, r.vacuumFailedRow = -1;
    g_AutoNozzleChange = 1;
    g_PulseFeederWalk[0] = 0;
    boxes.Push(plat::MsgAnswer::No);
    EXPECT_FALSE(HandleNozzleFailure(r, 1, 0, 0, 0));
    ASSERT_GE(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[1], PartListText("Message_46"));
    EXPECT_EQ(ThePartList().Row(JobList::Part, 0)->Icon(0), 8);
    // Corner (100, -100), then the homing.
    EXPECT_TRUE(WaitUntil([&] { return Count(0x72) + Count(0x02) == 1; }, std::chrono::seconds(5)));
    const auto moves = FramesOf(0x64);
    ASSERT_EQ(moves.size(), 1u);
}

TEST_F(NozzleFailure, CancelPicksAnotherPartFromTheSameFeeder) {
    PlacementRecord& r = Failed();
    boxes.Push(plat::MsgAnswer::Cancel);
    ThePickPlaceVision().measurePartOnNozzle = [](PlacementRecord&, bool) { return true; };
    ASSERT_TRUE(HandleNozzleFailure(r, 1, 0, 0, 0));
    EXPECT_EQ(r.row, -1);
    EXPECT_EQ(ThePartList().Row(JobList::Part, 0)->Icon(0), 6);
    EXPECT_EQ(g_NozzleSlots[kReplenishSlot].feederId, "W1");
    // Discard, then one part presented, picked and placed on nozzle 1.
    EXPECT_TRUE(WaitUntil([&] { return OutputsSent().rfind("1:0 ", 0) == 0; }, std::chrono::seconds(2)));
    EXPECT_EQ(Count(0x66), 1);
    EXPECT_EQ(Count(0x67), 1);
    EXPECT_EQ(Count(0x68), 1);
    EXPECT_EQ(Quantity("W1"), "11");
    // On the board at (120, -185) mm: (12000, -14800) pulses.
    EXPECT_EQ(g_PulseX.load(), 12000);
    EXPECT_EQ(g_PulseY.load(), -14800);
    ExpectCountersAtMachine();
}

TEST_F(NozzleFailure, AJogStartedDuringTheQuestionEndsBeforeTheRunGoesOn) {
    PlacementRecord& r = Failed();
    std::atomic<bool> asked{false}, done{false};
    const auto previous = plat::SetMessageBoxHandler([&](const plat::MsgBoxRequest&) {
        EXPECT_TRUE(TryClaimBusy());  // the operator jogs while the box is open
        asked = true;
        return plat::MsgAnswer::Yes;
    });
    bool result = false;
    std::thread run([&] {
        result = HandleNozzleFailure(r, 1, 0, 0, 0);
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return asked.load(); }));
    EXPECT_FALSE(done.load());  // the run waits for the jog's end
    EXPECT_EQ(Count(0x64), 0);
    ReleaseBusy();              // the jog ends
    run.join();
    plat::SetMessageBoxHandler(previous);
    EXPECT_TRUE(result);
    EXPECT_TRUE(g_Running.load());  // claimed by the run again
    EXPECT_EQ(Count(0x64), 1);
}

TEST_F(NozzleFailure, AStopDuringTheJogEndsTheWait) {
    PlacementRecord& r = Failed();
    std::atomic<bool> asked{false};
    const auto previous = plat::SetMessageBoxHandler([&](const plat::MsgBoxRequest&) {
        EXPECT_TRUE(TryClaimBusy());
        asked = true;
        return plat::MsgAnswer::Yes;
    });
    bool result = true;
    std::thread run([&] { result = HandleNozzleFailure(r, 1, 0, 0, 0); });
    ASSERT_TRUE(WaitUntil([&] { return asked.load(); }));
    g_RunContinue = false;  // Stop
    run.join();
    plat::SetMessageBoxHandler(previous);
    EXPECT_FALSE(result);
    EXPECT_EQ(r.row, -1);
    EXPECT_EQ(Count(0x64), 0);
    ReleaseBusy();
}

TEST_F(PickPlaceMachine, TableStepsAreTrueOnlyWhenStopped) {
    Connect(4, true);
    PlacementRecord r;
    r.head = 1, r.pickX = 30, r.pickY = -20;
    EXPECT_FALSE(MoveToTablePick(r, 1));
    EXPECT_EQ(g_PulseX.load(), 3000);
    EXPECT_EQ(g_PulseY.load(), -1600);
    EXPECT_FALSE(MoveToTablePick(r, 3));  // no such table: nothing sent
    EXPECT_EQ(Count(0x54), 1);
    EXPECT_FALSE(DiscardOnTable(r));
    EXPECT_EQ(g_PulseX.load(), 1000);
    EXPECT_FALSE(ReleaseTable(1));
    EXPECT_EQ(g_PulseY.load(), -400);
    EXPECT_TRUE(WaitUntil([&] { return OutputsSent() == "1:0 7:5 7:5 "; }, std::chrono::seconds(2))) << OutputsSent();
    g_RunContinue = false;  // stopped during the step: the move is made, the step says so
    r.pickX = 40;
    EXPECT_TRUE(MoveToTablePick(r, 2));
    EXPECT_EQ(g_PulseX.load(), 4000);
    EXPECT_TRUE(ReleaseTable(2));
    EXPECT_TRUE(DiscardOnTable(r));
    g_RunContinue = true;
    g_Connected = false;  // a failed command is no stop
    GetSerialLink().Close();
    EXPECT_FALSE(MoveToTablePick(r, 1));
}

TEST_F(PickPlaceMachine, EightHeadBatchPickAndPlaceBookWhatTheBoardDid) {
    Connect(7, false);
    Feeders({FeederLine("W1", {}), FeederLine("W2", {{4, "60"}, {5, "-25"}})});
    ThePartList().SetRows(JobList::Part, {PartRow(20, 15), PartRow(30, 12)});
    RunBoardState s;
    s.g_RunOriginX = 100, s.g_RunOriginY = -200;
    ConvertBoardPointsToPulses(s, 100, 80);
    StoreRunBoard(s);
    BasicSettings& b = TheBasicSettings();
    b.m_X_Nozzle2ToNozzle1 = -20, b.m_Y_Nozzle2ToNozzle1 = 1.25;
    for (int k = 1; k <= 2; ++k) {
        FillSlot(k, k - 1, k == 1 ? "W1" : "W2");
        ASSERT_TRUE(BuildPlacementRecord(0, k));
    }
    g_RotationTarget[0] = 30, g_RotationTarget[1] = -60;
    ASSERT_TRUE(PickAllEightHeads());
    ExpectCountersAtMachine();
    const auto picks = machine().Picks();
    ASSERT_EQ(picks.size(), 2u);
    EXPECT_EQ(picks[0].nozzle, 1);
    EXPECT_EQ(picks[0].x, 5000);
    EXPECT_EQ(picks[0].y, -1600);
    EXPECT_EQ(picks[1].nozzle, 2);
    EXPECT_EQ(picks[1].x, 8000);   // (60 + 20) mm
    EXPECT_EQ(picks[1].y, -2100);  // (-25 - 1.25) mm at 80
    EXPECT_EQ(ThePartList().Row(JobList::Part, 1)->Icon(0), 5);

    SmtStrategyConfig st;
    st.m_TogetherCode = 1;
    TheSmtStrategy().SetConfig(st);
    ClearTogetherPlace();
    ASSERT_TRUE(PlacePart(g_NozzleWork[0], 1, false, false, 0, 0));
    ASSERT_TRUE(PlacePart(g_NozzleWork[1], 2, false, false, 0, 0));
    EXPECT_EQ(Count(0x78), 0);  // staged only
    ASSERT_TRUE(SendTogetherPlace());
    ExpectCountersAtMachine();
    const auto places = machine().Placements();
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0].x, 12000);
    EXPECT_EQ(places[0].y, -14800);
    EXPECT_EQ(places[1].x, 15000);   // (130 + 20) mm
    EXPECT_EQ(places[1].y, -15140);  // (-188 - 1.25) mm at 80
}

// The default world: feeder 1 at (50, -20) mm, board 0 at (100, -200) mm, true
// factors 100 per mm; a row at (20, 15) on the board.
class PickPlaceWorld : public PickPlaceMachine {
protected:
    PlacementRecord& Start() {
        Settings(0, false, true);
        ConnectWorld(sim::Scenario::Default());
        Feeders({FeederLine("W1", {})});
        ThePartList().SetRows(JobList::Part, {PartRow(20, 15)});
        RunBoardState s;
        s.g_RunOriginX = 100, s.g_RunOriginY = -200;
        ConvertBoardPointsToPulses(s, 100, 100);
        StoreRunBoard(s);
        CountMeasurements();
        return BuildRecordOne("W1");
    }
    // Pick, measure and place record 1 as the run does it.
    void Cycle(PlacementRecord& r) {
        g_VisionMoveDone = 0;
        ASSERT_TRUE(MoveToPickPosition(r));
        ASSERT_TRUE(PickPart(r));
        ASSERT_TRUE(MeasurePartOverCamera(r, false));
        ASSERT_EQ(r.vacuumFailedRow, -1);
        ASSERT_TRUE(PlacePart(r, 1, false, false, 0, 0));
        ASSERT_TRUE(PlacePartStroke(r, 0.0));
        r.vacuumFailedRow = g_VacuumCheckOk.load() ? -1 : r.row;
    }
};

TEST_F(PickPlaceWorld, APartPickedMeasuredAndPlacedLandsOnItsRow) {
    PlacementRecord& r = Start();
    ASSERT_EQ(r.visionKind, 1);
    Cycle(r);
    EXPECT_EQ(r.vacuumFailedRow, -1);
    EXPECT_EQ(MeasureCalls(), 1);
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), {{"C1", 0, 0, 20.0, 15.0, 0.0}}, 0.1, 0.25));
    EXPECT_EQ(world().FeederCount(0), 99);
}

TEST_F(PickPlaceWorld, CancelPicksASecondPartFromTheSameFeeder) {
    PlacementRecord& r = Start();
    {
        auto lock = world().Lock();
        world().faults().keptAtPlace = 1;  // the part stays on the nozzle
    }
    Cycle(r);
    ASSERT_EQ(r.vacuumFailedRow, 0);
    boxes.Push(plat::MsgAnswer::Cancel);
    ASSERT_TRUE(HandleNozzleFailure(r, 1, 0, 0, 0));
    EXPECT_EQ(world().FeederCount(0), 98);
    EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Discard).size(), 1u);
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), {{"C1", 0, 0, 20.0, 15.0, 0.0}}, 0.1, 0.25));
    EXPECT_EQ(Quantity("W1"), "11");
}

}  // namespace
}  // namespace smt::test
