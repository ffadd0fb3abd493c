#include <gtest/gtest.h>

#include <atomic>

#include "app/captions.h"
#include "app/globals.h"
#include "app/menus.h"
#include "app/viewcore.h"
#include "platform/event.h"
#include "platform/profile.h"
#include "test_support.h"

using namespace smt;
using smt::test::ScriptedResponder;
using smt::test::TempDir;
using smt::test::WriteBytes;
using plat::MsgAnswer;

TEST(ViewMessages, BuiltinTextsAndCaptionKeys) {
    const ViewMessages& b = BuiltinViewMessages();
    EXPECT_EQ(b[0], "视觉原点 X 坐标越限 !");
    EXPECT_EQ(b[2], "Camera 1");
    EXPECT_EQ(b[3], "Camera 2");
    EXPECT_EQ(b[6], "没有找到PCB板 !");
    EXPECT_EQ(b[21], "抛料 Y 坐标越限 !");

    TempDir dir;
    std::string ini = "[SMTViewConfig]\n";
    for (int k = 1; k <= 20; ++k) ini += "SMTView.c_Message_" + std::string(k < 10 ? "0" : "") + std::to_string(k) + "=m" + std::to_string(k) + "\n";
    ini += "SMTView.c_Message_21=never\n";
    WriteBytes(dir.File("English.ini"), ini);
    plat::FlushProfileCache();
    const ViewMessages m = LoadMessageTexts("English", dir.Path());
    // Entry -> key number: 0->17, 1->18, 4..19 -> 1..16, 20->19, 21->20.
    EXPECT_EQ(m[0], "m17");
    EXPECT_EQ(m[1], "m18");
    EXPECT_EQ(m[2], "Camera 1");
    EXPECT_EQ(m[3], "Camera 2");
    for (int e = 4; e <= 19; ++e) EXPECT_EQ(m[e], "m" + std::to_string(e - 3)) << e;
    EXPECT_EQ(m[20], "m19");
    EXPECT_EQ(m[21], "m20");
    // Another language's file is not read.
    EXPECT_EQ(LoadMessageTexts("German", dir.Path()), b);
}

TEST(LimitPulses, TruncatedTowardZeroPerAxis) {
    const LimitPulses l = ComputeLimitPulses(400.0199, -300.5599, -20.9999, 1000.0, 80.0, 200.0);
    EXPECT_EQ(l.x, 400019);
    EXPECT_EQ(l.y, -24044);
    EXPECT_EQ(l.z, -4199);
    EXPECT_EQ(l.absX, 400019);
    EXPECT_EQ(l.absY, 24044);

    TempDir dir;
    WriteBytes(dir.File("config.ini"),
               "[SetBasicConfig]\nm_Y_Limit=-300.5599\nm_Z_Limit=12.3456\n"
               "[SetPulseConfig]\nm_X_Pulse=1000.0000\nm_Y_Pulse=80.0000\nm_Z_Pulse=100.0000\n");
    plat::FlushProfileCache();
    const LimitPulses f = LoadLimitPulses(dir.Path());
    EXPECT_EQ(f.x, 0);  // m_X_Limit missing: 0 until the settings are confirmed
    EXPECT_EQ(f.y, -24044);
    EXPECT_EQ(f.z, 1234);
    EXPECT_EQ(f.absY, 24044);
    EXPECT_EQ(LoadLimitPulses(TempDir().Path()), LimitPulses{});
}

TEST(PositionPulses, EachValueTimesItsFactorTruncated) {
    std::array<double, kPulseFactorCount> factors{};
    for (int i = 0; i < kPulseFactorCount; ++i) factors[i] = 10.0 + i;
    factors[0] = 100.0;  // X
    factors[1] = 80.0;   // Y
    PositionOffsetsMm o;
    o.correctionX[0] = 1.15;   // 114.99.. -> 114
    o.correctionY[7] = -0.1;   // -8.000..1 -> -8
    o.cameraToNozzle1X = 12.349;
    o.cameraToNozzle1Y = -7.77;
    o.nozzleToNozzle1X[0] = 99;  // nozzle 1 has no offset
    o.nozzleToNozzle1X[1] = 20.0;
    o.nozzleToNozzle1Y[7] = -40.01;
    o.dispenserToNozzle1X = 0.019;
    o.y2ToY1Y = 500.0199;
    o.throwPositionX = 3.3;
    o.throwPositionY = -3.3;
    int afterwards = 0;
    ComputePositionPulses(factors, o, [&] { ++afterwards; });
    EXPECT_EQ(afterwards, 1);
    EXPECT_EQ(g_PulsesPerMm, factors);
    EXPECT_EQ(g_PulsesPerMmX, 100.0);
    EXPECT_EQ(g_PulsesPerMmZ, 12.0);
    EXPECT_EQ(g_CorrectionPulsesX[0], 114);
    EXPECT_EQ(g_CorrectionPulsesY[7], -8);
    EXPECT_EQ(g_CameraToNozzle1Pulses, (PulsePoint{1234, -621}));
    EXPECT_EQ(g_NozzleToNozzle1Pulses[0], PulsePoint{});
    EXPECT_EQ(g_NozzleToNozzle1Pulses[1], (PulsePoint{2000, 0}));
    EXPECT_EQ(g_NozzleToNozzle1Pulses[7], (PulsePoint{0, -3200}));
    EXPECT_EQ(g_DispenserToNozzle1Pulses, (PulsePoint{1, 0}));
    EXPECT_EQ(g_Y2ToY1Pulses, (PulsePoint{0, 40001}));
    EXPECT_EQ(g_ThrowPositionPulses, (PulsePoint{330, -264}));
}

TEST(PositionPulses, ZPositionCheck) {
    ScriptedResponder boxes;
    EXPECT_TRUE(CheckZPosition(0));
    EXPECT_TRUE(CheckZPosition(-500));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_FALSE(CheckZPosition(1));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Z Pos Error !");
    EXPECT_TRUE(boxes.Seen()[0].topmost);
}

// Every settings command x idle/busy x machine type x link.
TEST(SettingsCommands, RefusalTable) {
    const int all[] = {32841, 33291, 32857, 32921, 32864, 32862, 32863, 32851, 32853, 32843,
                       32856, 33062, 33125, 33185, 33100, 33181, 33183, 33211};
    for (int id : all) {
        EXPECT_TRUE(IsSettingsDialogCommand(id));
        for (bool busy : {false, true})
            for (int type = 0; type < 10; ++type)
                for (int comm : {0, 1}) {
                    SettingsRefusal expected = SettingsRefusal::None;
                    if (id == 32857 && busy) expected = SettingsRefusal::RunningFeedGroup;
                    if ((id == 32851 || id == 33100 || id == 33181) && busy) expected = SettingsRefusal::Running;
                    if (id == 33185 && type != 4) expected = SettingsRefusal::NoFunction;
                    if (id == 33211) {
                        if (busy) expected = SettingsRefusal::Running;
                        else if (comm == 0) expected = SettingsRefusal::NoFunction;
                    }
                    EXPECT_EQ(CheckSettingsCommand(id, busy, type, comm), expected)
                        << id << " busy " << busy << " type " << type << " comm " << comm;
                }
    }
    EXPECT_FALSE(IsSettingsDialogCommand(cmd::ResetOrigin));
    EXPECT_EQ(SpeedTemplatePage(32921), 0);
    EXPECT_EQ(SpeedTemplatePage(32864), 1);
    EXPECT_EQ(SpeedTemplatePage(32862), 2);
    EXPECT_EQ(SpeedTemplatePage(32863), 3);
    EXPECT_EQ(SpeedTemplatePage(32841), -1);
}

TEST(SettingsCommands, RefusalBoxes) {
    ViewMessages m = BuiltinViewMessages();
    m[5] = "busy five";
    ScriptedResponder boxes;
    EXPECT_FALSE(ShowSettingsRefusal(SettingsRefusal::None, m));
    EXPECT_TRUE(ShowSettingsRefusal(SettingsRefusal::RunningFeedGroup, m));
    EXPECT_TRUE(ShowSettingsRefusal(SettingsRefusal::Running, m));
    EXPECT_TRUE(ShowSettingsRefusal(SettingsRefusal::NoFunction, m));
    const auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].text, "设备正在自动工作，不能操作料架组 !");
    EXPECT_FALSE(seen[0].topmost);
    EXPECT_EQ(seen[1].text, "busy five");
    EXPECT_EQ(seen[2].text, "no function!");
    EXPECT_TRUE(seen[2].topmost);
}

TEST(ListPanels, ShowHideAndHideTheOther) {
    using A = PanelAction;
    std::atomic<bool> sorted{false};
    ListPanelState s;
    // First feeder-list command creates, places, shows and sorts once.
    EXPECT_EQ(TogglePanel(PanelSlot::FeedList, s, sorted),
              (std::vector<A>{A::CreateFeedList, A::PlaceFeedList, A::ShowFeedList, A::SortFeedList}));
    EXPECT_TRUE(s.feedExists && s.feedVisible);
    // The part list's first command creates it without hiding the feeder list.
    EXPECT_EQ(TogglePanel(PanelSlot::PartList, s, sorted),
              (std::vector<A>{A::CreatePartList, A::PlacePartList, A::ShowPartList}));
    EXPECT_TRUE(s.feedVisible && s.partVisible);
    // Reopening a visible feeder list redraws it and leaves the part list alone.
    EXPECT_EQ(TogglePanel(PanelSlot::FeedList, s, sorted),
              (std::vector<A>{A::PlaceFeedList, A::HideFeedList, A::ShowFeedList}));
    EXPECT_TRUE(s.partVisible);
    // A visible part list is redrawn and its placement list shown again.
    EXPECT_EQ(TogglePanel(PanelSlot::PartList, s, sorted),
              (std::vector<A>{A::PlacePartList, A::HidePartList, A::ShowPartList, A::ShowPlacementList}));
    // A hidden panel is shown and hides the other.
    s.feedVisible = false;
    EXPECT_EQ(TogglePanel(PanelSlot::FeedList, s, sorted),
              (std::vector<A>{A::PlaceFeedList, A::ShowFeedList, A::HidePartList}));
    EXPECT_TRUE(s.feedVisible);
    EXPECT_FALSE(s.partVisible);
    EXPECT_EQ(TogglePanel(PanelSlot::PartList, s, sorted),
              (std::vector<A>{A::PlacePartList, A::ShowPartList, A::HideFeedList}));
    EXPECT_FALSE(s.feedVisible);
    // Hidden part list with the feeder list hidden too: nothing else to hide.
    s.partVisible = false;
    EXPECT_EQ(TogglePanel(PanelSlot::PartList, s, sorted), (std::vector<A>{A::PlacePartList, A::ShowPartList}));
}

TEST(LoadSteps, RunInOrderAndFirstUpdateOnlyOnce) {
    const auto names = FirstUpdateStepNames();
    NamedSteps steps(names);
    std::vector<std::string> ran;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        const std::string n = *it;
        EXPECT_TRUE(steps.Set(n, [&ran, n](const StepContext& c) {
            EXPECT_EQ(c.startFolder, "/start");
            EXPECT_EQ(c.language, "German");
            ran.push_back(n);
        }));
    }
    EXPECT_FALSE(steps.Set("No.Such.Step", [](const StepContext&) {}));
    ResetFirstUpdateForTests();
    for (int update = 0; update < 3; ++update)
        if (ClaimFirstUpdate()) steps.Run({"/start", "German"});
    EXPECT_EQ(ran, names);
    // The order of the first update: tables, config sections, speed classes,
    // lamp lines, captions, manual control layout, limits, position pulses.
    auto pos = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    EXPECT_EQ(pos("CameraList.ParseRow"), 0);
    EXPECT_LT(pos("SpeedTemplate.ParseRows"), pos("SetBasic.LoadConfig"));
    EXPECT_LT(pos("SetBasic.LoadConfig"), pos("DippingStation.LoadConfig"));
    EXPECT_LT(pos("VersionNumber.LoadConfig"), pos("PCBEdit.LoadConfig"));
    EXPECT_LT(pos("DoubleMarkTest.LoadConfig"), pos("SpeedClasses.Load"));
    EXPECT_LT(pos("LampTable.WriteLines"), pos("View.LoadMessageTexts"));
    EXPECT_LT(pos("PartList.LoadLanguage"), pos("ManualControl.LayoutForMachineType"));
    EXPECT_EQ(names[names.size() - 2], "View.LoadLimitPulses");
    EXPECT_EQ(names.back(), "View.ComputePositionPulses");
    // Empty steps do nothing; a filled one is reported as filled.
    NamedSteps lang(LanguageChangeStepNames());
    EXPECT_FALSE(lang.IsFilled("FeedGroup.LoadLanguage"));
    lang.Run({});
    EXPECT_EQ(LanguageChangeStepNames().front(), "SetView.LoadLanguage");
    EXPECT_EQ(LanguageChangeStepNames().back(), "SpeedTemplate.ParseRows");
    EXPECT_EQ(CreationCaptionStepNames().size(), 11u);
    ResetFirstUpdateForTests();
}

// ---- closing ------------------------------------------------------------------

namespace {

struct CloseRecorder {
    std::vector<std::string> calls;
    bool busy = false;
    bool records = false;
    bool saveOk = true;
    bool cancelledWhenJoined = false;

    CloseHooks Hooks() {
        CloseHooks h;
        h.isBusy = [this] { return busy; };
        h.hasPcbRecords = [this] { return records; };
        h.saveAll = [this] { calls.push_back("saveAll"); return saveOk; };
        h.stopRun = [this] { calls.push_back("stopRun"); };
        h.raiseStopFlags = [this] { calls.push_back("stopFlags"); };
        h.joinThreads = [this] {
            cancelledWhenJoined = plat::WaitsCancelled();
            calls.push_back("join");
            return true;
        };
        h.saveConfig = [this] { calls.push_back("config"); };
        h.closeOrdinaryCameras = [this](int n) { calls.push_back("cameras" + std::to_string(n)); };
        return h;
    }
};

const std::vector<std::string> kLeave = {"stopRun", "stopFlags", "join", "config", "cameras1"};

} // namespace

TEST(CloseSequence, WithoutRecordsAsksNothingAndSavesConfigOnly) {
    ScriptedResponder boxes;
    CloseRecorder r;
    EXPECT_EQ(RunCloseSequence(r.Hooks(), 0), CloseDecision::Close);
    plat::ResumeWaits();
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(r.calls, kLeave);
    EXPECT_TRUE(r.cancelledWhenJoined);
}

TEST(CloseSequence, WithRecordsYesNoCancel) {
    // One close with a loaded job, the question answered `answer`.
    auto closeAnswering = [](MsgAnswer answer, CloseRecorder& r, ScriptedResponder& boxes) {
        boxes.Push(answer);
        r.records = true;
        const CloseDecision d = RunCloseSequence(r.Hooks(), 0);
        plat::ResumeWaits();
        return d;
    };
    {
        ScriptedResponder boxes;
        CloseRecorder r;
        EXPECT_EQ(closeAnswering(MsgAnswer::Yes, r, boxes), CloseDecision::Close);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Texts()[0], "是否要保存工程文件 ?\r\nWhether to save the project file?");
        EXPECT_EQ(boxes.Seen()[0].buttons, plat::MsgButtons::YesNoCancel);
        EXPECT_EQ(boxes.Seen()[0].icon, plat::MsgIcon::Question);
        EXPECT_TRUE(boxes.Seen()[0].topmost);
        std::vector<std::string> expected = {"saveAll"};
        expected.insert(expected.end(), kLeave.begin(), kLeave.end());
        EXPECT_EQ(r.calls, expected);
    }
    {
        ScriptedResponder boxes;
        CloseRecorder r;
        EXPECT_EQ(closeAnswering(MsgAnswer::No, r, boxes), CloseDecision::Close);
        EXPECT_EQ(r.calls, kLeave);
    }
    {
        ScriptedResponder boxes;
        CloseRecorder r;
        EXPECT_EQ(closeAnswering(MsgAnswer::Cancel, r, boxes), CloseDecision::StayOpen);
        EXPECT_TRUE(r.calls.empty());  // every thread, window and flag as it was
        EXPECT_FALSE(r.cancelledWhenJoined);
    }
}

TEST(CloseSequence, FailedOrCancelledSaveStaysOpen) {
    ScriptedResponder boxes;
    boxes.Push(MsgAnswer::Yes);
    CloseRecorder r;
    r.records = true;
    r.saveOk = false;
    EXPECT_EQ(RunCloseSequence(r.Hooks(), 0), CloseDecision::StayOpen);
    EXPECT_EQ(r.calls, std::vector<std::string>{"saveAll"});
    EXPECT_FALSE(plat::WaitsCancelled());
}

TEST(CloseSequence, BusyMachineAsksFirstAndStopsBeforeAnythingGoes) {
    {
        ScriptedResponder boxes;
        boxes.Push(MsgAnswer::No);
        CloseRecorder r;
        r.busy = true;
        r.records = true;
        EXPECT_EQ(RunCloseSequence(r.Hooks(), 0), CloseDecision::StayOpen);
        EXPECT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Texts()[0], kCloseBusyQuestion);
        EXPECT_TRUE(r.calls.empty());
    }
    {
        ScriptedResponder boxes;
        boxes.Push(MsgAnswer::Yes);
        boxes.Push(MsgAnswer::No);
        CloseRecorder r;
        r.busy = true;
        r.records = true;
        EXPECT_EQ(RunCloseSequence(r.Hooks(), 5), CloseDecision::Close);
        plat::ResumeWaits();
        EXPECT_EQ(boxes.Count(), 2u);
        EXPECT_EQ(r.calls, (std::vector<std::string>{"stopRun", "stopFlags", "join", "config", "cameras2"}));
        EXPECT_TRUE(r.cancelledWhenJoined);
    }
}

TEST(CloseSequence, OrdinaryCamerasPerMachineType) {
    const int expected[10] = {1, 1, 1, 1, 8, 2, 1, 1, 1, 1};
    for (int t = 0; t < 10; ++t) {
        EXPECT_EQ(OrdinaryCameraCount(t), expected[t]) << t;
        ScriptedResponder boxes;
        CloseRecorder r;
        RunCloseSequence(r.Hooks(), t);
        plat::ResumeWaits();
        EXPECT_EQ(r.calls.back(), "cameras" + std::to_string(expected[t]));
    }
}
