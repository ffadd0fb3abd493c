// The placement run's flow against the simulated world: the pipeline of the run
// thread and the feeder companion with slow replies, and the ways a run ends
// other than its normal end (vacuum failures with each answer, a refused row, a
// failing feeder, Stop, Pause and Regain, Start during the end-of-run homing).
#include "placement_run_fixture.h"

#include <regex>

#include "joblist/run_toolbar.h"
#include "settings/version_switches.h"

namespace smt::test {
namespace {

class PlacementRunFlow : public PlacementRunWorld {
protected:
    int Frames(std::uint16_t code) { return Count(code); }
    // The feeder traffic and the strokes in the machine's order: "P<n>" a feeder
    // presents (0x66), "A<n>" a feeder advances (0x56), "K" a pick, "S" a place.
    std::string Pipeline() {
        std::string s;
        std::uint32_t mask = 0;
        for (const auto& f : machine().Frames()) {
            std::string item;
            if (f.code == 0x66 && f.data.size() >= 17) {
                item = "P" + std::to_string(f.data[16]);
                sim::FieldReader r(f.data, 1);
                mask = static_cast<std::uint32_t>(r.Be32());
            } else if (f.code == 0x56 && f.data.size() >= 5) {
                sim::FieldReader r(f.data, 1);
                const auto now = static_cast<std::uint32_t>(r.Be32());
                for (int b = 0; b < 32; ++b)
                    if ((mask & (1u << b)) && !(now & (1u << b))) item = "A" + std::to_string(b + 1);
                mask = now;
            } else if (f.code == 0x67) {
                item = "K";
            } else if (f.code == 0x68) {
                item = "S";
            }
            if (!item.empty()) s += (s.empty() ? "" : " ") + item;
        }
        return s;
    }
    // What went out after the run's end: homing, park move.
    bool Homed() { return Frames(0x02) > 0; }
    bool Parked() { return g_PulseX.load() == 1000 && g_PulseY.load() == -1000; }
    // Start and wait for the run's threads (not for a homing).
    bool StartAndWaitForTheThreads() {
        if (!OnStartRun(ThePartList())) return false;
        return WaitUntil([] { return LiveRunThreads() == 0; }, std::chrono::seconds(120));
    }
    sim::RunCheckResult Check() { return sim::CheckRun(world().ledger(), WithDepths(expected)); }
};

// Two heads (type 2, same nozzle): a cycle from one feeder, then one from two.
// The companion presents, hands over and advances in the Part's order, and the
// next cycle's parts are presented while this cycle still places.
TEST_F(PlacementRunFlow, TheCompanionPresentsTheNextPartsWhileTheRunThreadPlaces) {
    parts = {{"R1", 6, 5, 0, 1}, {"R2", 15, 10, 90, 1}, {"R3", 25, 22, 45, 2}, {"R4", 31, 28, -90, 3}};
    RunSetup r{2, 1, false, false, false, true};
    r.timeScale = 1.0;  // every reply waits its motion time
    Machine(r);
    if (HasFatalFailure()) return;
    TheVersionSwitches().m_V2_07 = 1;  // the serial feed command carries the feeder number
    machine().ClearRecords();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(RunCheckPasses());
    // The companion's own order per cell (cell 1 of the panel is off): one feeder
    // presents for nozzle 1, advances after its pick and only then presents for
    // nozzle 2; two feeders present at once. The next cell's first cycle is
    // presented only once the cell's last one has placed.
    const std::string pipeline = Pipeline();
    std::string feeders;
    for (std::size_t at = 0; at < pipeline.size(); at = pipeline.find(' ', at) == std::string::npos ? pipeline.size() : pipeline.find(' ', at) + 1)
        if (pipeline[at] == 'P' || pipeline[at] == 'A') feeders += (feeders.empty() ? "" : " ") + pipeline.substr(at, 2);
    const std::string cell = "P1 A1 P1 A1 P2 P3 A2 A3";
    EXPECT_EQ(feeders, cell + " " + cell + " " + cell);
    // Each cell's second cycle is presented before the first cycle's second part is
    // placed (on a busy host both may be presented before its first), and every
    // cycle picks only after its parts were presented.
    const std::string order = "P1 K A1 P1 K A1 ((S )?P2 (S )?P3 S|P2 P3 S S) K A2 K A3 S S";
    EXPECT_TRUE(std::regex_match(pipeline, std::regex(order + " " + order + " " + order))) << pipeline;
    // Nothing was presented or advanced after the run's end.
    EXPECT_EQ(Frames(0x66), 12);
    EXPECT_EQ(Frames(0x56), 12);
}

// A part that stays on the nozzle at the place: the operator's answer decides.
TEST_F(PlacementRunFlow, AVacuumFailureAtThePlaceGoesByTheOperatorsAnswer) {
    const struct {
        plat::MsgAnswer answer;
        std::size_t placed, missing;
        bool homed;
    } cases[] = {
        {plat::MsgAnswer::Yes, 11, 0, true},    // ignored: discarded, the run goes on without that row
        {plat::MsgAnswer::No, 0, 12, false},    // the run ends there
        {plat::MsgAnswer::Cancel, 12, 0, true}, // replenished from the same feeder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        Machine({0, 0, false, false, false, true});
        if (HasFatalFailure()) return;
        boxes.Clear();
        {
            auto lock = world().Lock();
            world().faults().keptAtPlace = 1;
        }
        boxes.Push(c.answer);
        // Ignored, the first row of the first cell is left: the job the run then means.
        if (c.answer == plat::MsgAnswer::Yes) MeantRows({expected.begin() + 1, expected.end()});
        machine().ClearRecords();
        ASSERT_TRUE(RunToTheEnd());
        const sim::RunCheckResult check = Check();
        EXPECT_EQ(check.parts, c.placed) << check.Table();
        EXPECT_EQ(check.missing.size(), c.missing) << check.Table();
        EXPECT_TRUE(check.off.empty() && check.twice.empty() && check.noRow.empty()) << check.Table();
        EXPECT_EQ(Homed(), c.homed);
        ASSERT_FALSE(boxes.Texts().empty());
        EXPECT_EQ(boxes.Texts()[0].rfind("真空失败，是否忽略 ?", 0), 0u) << boxes.Texts()[0];
        // The part is thrown off before the question.
        EXPECT_EQ(world().ledger().Of(sim::LedgerKind::Discard).size(), 1u);
        TearDown();
        SetUp();
    }
}

// Ways a run ends early: each through FinishRun with no park and no homing, and
// every thread of the run gone.
TEST_F(PlacementRunFlow, ARefusedRowAFailingFeederAndStopEndTheRunWithoutParkOrHoming) {
    enum class Way { RefusedRow, FailingFeeder, Stop };
    const struct {
        Way way;
        std::size_t placed;
        std::vector<std::string> boxes;
    } cases[] = {
        // R4's feeder lies beyond the X travel: the run ends at its row, not at the
        // end of the cell with the later cells unplaced.
        {Way::RefusedRow, 3, {"Feed Pos Error !", RefusedRowText(4, "5")}},
        // The first part's feeder refuses to present while the run thread waits for
        // it: the run ends, no one waits for ever.
        {Way::FailingFeeder, 0, {}},
        {Way::Stop, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.way));
        Machine({0, 0, false, false, false, true});
        if (HasFatalFailure()) return;
        boxes.Clear();
        machine().ClearRecords();
        if (c.way == Way::RefusedRow) {
            ASSERT_TRUE(TheFeedGroupTable().SetFeederCell(0, "W4", 4, "450.0000"));
        }
        if (c.way == Way::FailingFeeder) {
            auto lock = world().Lock();
            world().faults().errorCode = 0x66;
            world().faults().errorAfter = 1;
            world().faults().errorReport = 0xE4;
        }
        if (c.way == Way::Stop) {
            sim->faults().HoldNext(0x68);
            ASSERT_TRUE(OnStartRun(ThePartList()));
            ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(0x68); }));
            OnStopRun();
            sim->faults().Release();
            ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0; }, std::chrono::seconds(60)));
        } else {
            ASSERT_TRUE(StartAndWaitForTheThreads());
        }
        ASSERT_TRUE(WaitUntil([] { return !g_Running.load(); }));
        const sim::RunCheckResult check = Check();
        EXPECT_EQ(check.parts, c.placed) << check.Table();
        EXPECT_TRUE(check.off.empty() && check.twice.empty() && check.noRow.empty()) << check.Table();
        EXPECT_FALSE(Homed());
        EXPECT_FALSE(Parked());
        if (c.way != Way::FailingFeeder) {
            EXPECT_EQ(boxes.Texts(), c.boxes);
        } else {
            EXPECT_EQ(Frames(0x67), 0);  // nothing was picked for the part never presented
        }
        EXPECT_EQ(ThePartList().m_FeedBusy.load(), 0);
        EXPECT_EQ(ThePartList().m_SmtBusy.load(), 0);
        TearDown();
        SetUp();
    }
}

// Pause holds the run at its gate; Regain lets it place the rest.
TEST_F(PlacementRunFlow, PauseHoldsAtTheGateAndRegainResumes) {
    Machine({0, 0, false, false, false, true});
    if (HasFatalFailure()) return;
    sim->faults().HoldNext(0x67);
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(0x67); }));
    OnPauseRun();
    const int sent = static_cast<int>(machine().Frames().size());
    sim->faults().Release();
    // The pick's reply comes; the run goes no further than the gate after it.
    ASSERT_TRUE(WaitUntil([&] { return sim->faults().HoldsEnded() == 1; }));
    EXPECT_EQ(Frames(0x68), 0);
    EXPECT_GE(static_cast<int>(machine().Frames().size()), sent);
    OnResumeRun();
    ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); },
                          std::chrono::seconds(120)));
    EXPECT_TRUE(RunCheckPasses());
    EXPECT_TRUE(Homed());
}

// The end-of-run homing holds the machine busy until its reply: Start is refused
// in the middle of it.
TEST_F(PlacementRunFlow, StartDuringTheEndOfRunHomingIsRefused) {
    Machine({0, 0, false, false, false, true});
    if (HasFatalFailure()) return;
    sim->faults().HoldNext(0x02);
    ASSERT_TRUE(OnStartRun(ThePartList()));
    ASSERT_TRUE(WaitUntil([&] { return LiveRunThreads() == 0 && sim->faults().Held().has_value(); },
                          std::chrono::seconds(60)));
    EXPECT_TRUE(HomingInProgress());
    EXPECT_TRUE(g_Running.load());
    EXPECT_TRUE(Parked());
    EXPECT_FALSE(OnStartRun(ThePartList()));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is runnig !"});
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([] { return !HomingInProgress() && !g_Running.load(); }));
    EXPECT_TRUE(g_Homed.load());
    EXPECT_TRUE(RunCheckPasses());
}

} // namespace
} // namespace smt::test
