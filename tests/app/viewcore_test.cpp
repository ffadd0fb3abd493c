#include <gtest/gtest.h>

#include <atomic>

#include "app/menus.h"
#include "base/numtext.h"
#include "app/viewcore.h"
#include "platform/event.h"
#include "platform/profile.h"
#include "test_support.h"

using namespace smt;
using smt::test::ScriptedResponder;
using smt::test::TempDir;
using smt::test::WriteBytes;
using plat::MsgAnswer;

TEST(ViewMessages, CaptionKeyOfEveryEntry) {
    TempDir dir;
    std::string ini = "[SMTViewConfig]\nSMTView.c_Message_21=never\n";
    for (int k = 1; k <= 20; ++k) ini += FormatC("SMTView.c_Message_%02d=m%d\n", k, k);
    WriteBytes(dir.File("English.ini"), ini);
    plat::FlushProfileCache();
    const ViewMessages m = LoadMessageTexts("English", dir.Path());
    // Entry -> key number: 0->17, 1->18, 2 and 3 fixed, 4..19 -> 1..16, 20->19, 21->20.
    ViewMessages expected{"m17", "m18", "Camera 1", "Camera 2"};
    for (int e = 4; e <= 19; ++e) expected[e] = "m" + std::to_string(e - 3);
    expected[20] = "m19";
    expected[21] = "m20";
    for (int e = 0; e < kViewMessageCount; ++e) EXPECT_EQ(m[e], expected[e]) << e;
    EXPECT_EQ(LoadMessageTexts("German", dir.Path()), BuiltinViewMessages());  // another language's file is not read
}

TEST(LimitPulses, TruncatedTowardZeroPerAxis) {
    EXPECT_EQ(ComputeLimitPulses(400.0199, -300.5599, -20.9999, 1000.0, 80.0, 200.0),
              (LimitPulses{400019, -24044, -4199, 400019, 24044}));
    TempDir dir;
    WriteBytes(dir.File("config.ini"),
               "[SetBasicConfig]\nm_Y_Limit=-300.5599\nm_Z_Limit=12.3456\n"
               "[SetPulseConfig]\nm_X_Pulse=1000.0000\nm_Y_Pulse=80.0000\nm_Z_Pulse=100.0000\n");
    plat::FlushProfileCache();
    // m_X_Limit missing: 0 until the settings are confirmed.
    EXPECT_EQ(LoadLimitPulses(dir.Path()), (LimitPulses{0, -24044, 1234, 0, 24044}));
    EXPECT_EQ(LoadLimitPulses(TempDir().Path()), LimitPulses{});
}

TEST(PositionPulses, EachValueTimesItsFactorTruncated) {
    std::array<double, kPulseFactorCount> factors{};
    for (int i = 0; i < kPulseFactorCount; ++i) factors[i] = 10.0 + i;
    factors[0] = 100.0;  // X
    factors[1] = 80.0;   // Y
    PositionOffsetsMm o;
    o.correctionX[0] = 1.15;  // 114.99.. -> 114
    o.correctionY[7] = -0.1;  // -8.000..1 -> -8
    o.cameraToNozzle1X = 12.349; o.cameraToNozzle1Y = -7.77;
    o.nozzleToNozzle1X[0] = 99;  // nozzle 1 has no offset
    o.nozzleToNozzle1X[1] = 20.0; o.nozzleToNozzle1Y[7] = -40.01;
    o.dispenserToNozzle1X = 0.019; o.y2ToY1Y = 500.0199;
    o.throwPositionX = 3.3; o.throwPositionY = -3.3;
    int afterwards = 0;
    ConvertSettingsToPulses(factors, o, [&] { ++afterwards; });
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
TEST(SettingsCommands, RefusalTableAndBoxes) {
    for (int id : {32841, 33291, 32857, 32921, 32864, 32862, 32863, 32851, 32853, 32843, 32856, 33062, 33125, 33185,
                   33100, 33181, 33183, 33211}) {
        EXPECT_TRUE(IsSettingsDialogCommand(id));
        for (bool busy : {false, true})
            for (int type = 0; type < 10; ++type)
                for (int comm : {0, 1}) {
                    SettingsRefusal expected = SettingsRefusal::None;
                    if (id == 32857 && busy) expected = SettingsRefusal::RunningFeedGroup;
                    if ((id == 32851 || id == 32853 || id == 33100 || id == 33181) && busy) expected = SettingsRefusal::Running;
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
    for (auto [id, page] : {std::pair{32921, 0}, {32864, 1}, {32862, 2}, {32863, 3}, {32841, -1}})
        EXPECT_EQ(SpeedTemplatePage(id), page) << id;

    ViewMessages m = BuiltinViewMessages();
    m[5] = "busy five";
    ScriptedResponder boxes;
    EXPECT_FALSE(ShowSettingsRefusal(SettingsRefusal::None, m));
    EXPECT_TRUE(ShowSettingsRefusal(SettingsRefusal::RunningFeedGroup, m));
    EXPECT_TRUE(ShowSettingsRefusal(SettingsRefusal::Running, m));
    EXPECT_TRUE(ShowSettingsRefusal(SettingsRefusal::NoFunction, m));
    // The texts of the fixed refusals are pinned by the settings menu flow of the shell.
    const auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].text, "busy five");  // from the view's (reloaded) messages
    EXPECT_FALSE(seen[0].topmost);
    EXPECT_TRUE(seen[2].topmost);
}

TEST(LoadSteps, RunInOrderWhateverTheOrderTheyWereFilledIn) {
    const auto names = FirstUpdateStepNames();
    NamedSteps steps(names);
    std::vector<std::string> ran;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        EXPECT_TRUE(steps.Set(*it, [&ran, n = *it](const StepContext& c) {
            EXPECT_EQ(c.startFolder, "/start");
            EXPECT_EQ(c.language, "German");
            ran.push_back(n);
        }));
    EXPECT_FALSE(steps.Set("No.Such.Step", [](const StepContext&) {}));
    steps.Run({"/start", "German"});
    EXPECT_EQ(ran, names);
    NamedSteps lang(LanguageChangeStepNames());  // empty steps do nothing
    EXPECT_FALSE(lang.IsFilled("FeedGroup.LoadLanguage"));
    lang.Run({});
}

namespace {

struct CloseRecorder {
    std::vector<std::string> calls;
    bool busy = false, records = false, saveOk = true, cancelledWhenJoined = false;

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

} // namespace

// Cancel, a refused busy question or a failed save keep every thread, window and flag as it was.
TEST(CloseSequence, AnswersDecideWhatRunsAndInWhichOrderCamerasPerMachineType) {
    using V = std::vector<std::string>;
    const V leave = {"stopRun", "stopFlags", "join", "config", "cameras1"};
    V saveLeave = {"saveAll"};
    saveLeave.insert(saveLeave.end(), leave.begin(), leave.end());
    const std::string saveQuestion = "是否要保存工程文件 ?\r\nWhether to save the project file?";
    struct Row {
        const char* name;
        bool busy, records, saveOk;
        std::vector<MsgAnswer> answers;
        int type;
        CloseDecision decision;
        V calls;
        std::string firstBox;
    };
    const Row rows[] = {
        {"no records", false, false, true, {}, 0, CloseDecision::Close, leave, ""},
        {"save yes", false, true, true, {MsgAnswer::Yes}, 0, CloseDecision::Close, saveLeave, saveQuestion},
        {"save no", false, true, true, {MsgAnswer::No}, 0, CloseDecision::Close, leave, saveQuestion},
        {"cancel", false, true, true, {MsgAnswer::Cancel}, 0, CloseDecision::StayOpen, {}, saveQuestion},
        {"save failed", false, true, false, {MsgAnswer::Yes}, 0, CloseDecision::StayOpen, {"saveAll"}, saveQuestion},
        {"busy, keep running", true, true, true, {MsgAnswer::No}, 0, CloseDecision::StayOpen, {}, kCloseBusyQuestion},
        {"busy, stop", true, true, true, {MsgAnswer::Yes, MsgAnswer::No}, 5, CloseDecision::Close,
         {"stopRun", "stopFlags", "join", "config", "cameras2"}, kCloseBusyQuestion},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedResponder boxes;
        for (MsgAnswer a : row.answers) boxes.Push(a);
        CloseRecorder r{{}, row.busy, row.records, row.saveOk};
        EXPECT_EQ(RunCloseSequence(r.Hooks(), row.type), row.decision);
        const bool closed = row.decision == CloseDecision::Close;
        EXPECT_EQ(plat::WaitsCancelled(), closed);
        plat::ResumeWaits();
        EXPECT_EQ(r.calls, row.calls);
        EXPECT_EQ(r.cancelledWhenJoined, closed);
        const auto seen = boxes.Seen();
        ASSERT_EQ(seen.size(), row.answers.size());
        if (seen.empty()) continue;
        EXPECT_EQ(seen[0].text, row.firstBox);
        EXPECT_EQ(seen[0].buttons, row.busy ? plat::MsgButtons::YesNo : plat::MsgButtons::YesNoCancel);
        EXPECT_EQ(seen[0].icon, plat::MsgIcon::Question);
        EXPECT_TRUE(seen[0].topmost);
    }
    for (int t = 0; t < 10; ++t) EXPECT_EQ(OrdinaryCameraCount(t), t == 4 ? 8 : t == 5 ? 2 : 1) << t;
}
