// Parts and the run's end: a row whose place lies beyond the travel is refused
// before its pick, naming the row, and a part still on a nozzle when the run ends
// is thrown off at the discard place, never let go where the head stands (over a
// vision camera, or over the feeder).
#include "placement_run_fixture.h"

#include <cmath>

namespace smt::test {
namespace {

class PlacementRunEnd : public PlacementRunWorld {
protected:
    // The discard place of the fixture's settings (machine mm).
    static constexpr double kThrowX = 20, kThrowY = -280;

    std::vector<sim::LedgerEntry> Discards() { return world().ledger().Of(sim::LedgerKind::Discard); }
    static double Distance(const sim::Vec& a, double x, double y) { return std::hypot(a.x - x, a.y - y); }
    bool StartAndWaitForTheEnd() {
        if (!OnStartRun(ThePartList())) return false;
        return WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load(); }, std::chrono::seconds(120));
    }
    // Type 0 with vision: a run started and held while the first part is measured
    // over vision camera 1 (its 0x15 reply held).
    void HoldThePartOverTheCamera() {
        Machine({0, 0, false, true, false, true});
        if (HasFatalFailure()) return;
        boxes.Clear();
        machine().ClearRecords();
        sim->faults().HoldNext(0x15);
        ASSERT_TRUE(OnStartRun(ThePartList()));
        ASSERT_TRUE(WaitUntil([&] { return sim->faults().Held() == std::optional<std::uint16_t>(0x15); }));
    }
};

// Two heads in one cycle: R1 for nozzle 1 is within the travel, R2 for nozzle 2
// lies 30.49 mm beyond Y 0. R2 is never picked; the run ends with the row named,
// and R1, already on nozzle 1, is thrown off at the discard place.
TEST_F(PlacementRunEnd, ARowBeyondTheTravelIsRefusedBeforeItsPickAndThePartHeldIsThrownOff) {
    parts = {{"R1", 6, 5, 0, 1}, {"R2", 15, 230.49, 90, 2}, {"R3", 25, 22, 45, 1}};
    Machine({2, 1, false, false, false, true});
    if (HasFatalFailure()) return;
    boxes.Clear();
    machine().ClearRecords();
    ASSERT_TRUE(StartAndWaitForTheEnd());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{OffTravelRowText(1, "2")});
    EXPECT_EQ(Count(0x67), 1);  // R1's pick alone
    const auto picks = world().ledger().Of(sim::LedgerKind::Pick);
    ASSERT_EQ(picks.size(), 1u);
    EXPECT_EQ(picks[0].nozzle, 1);
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Place).empty());
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Dropped).empty());
    const auto thrown = Discards();
    ASSERT_EQ(thrown.size(), 1u);
    EXPECT_EQ(thrown[0].nozzle, 1);
    EXPECT_LT(Distance(thrown[0].machine, kThrowX, kThrowY), 0.5)
        << thrown[0].machine.x << " " << thrown[0].machine.y;
    EXPECT_EQ(ThePartList().m_SmtBusy.load(), 0);
    EXPECT_FALSE(g_Running.load());
}

// The message names the row (as the list shows it, and its number cell) in the
// interface language; the shipped caption files carry the same texts.
TEST_F(PlacementRunEnd, TheOffTravelMessageNamesTheRowInEachLanguage) {
    const char* languages[] = {"Chinese", "English", "German"};
    for (int lang = 0; lang < 3; ++lang) {
        g_LanguageIndex = lang;
        const std::string text = OffTravelRowText(6, "R-7");
        const std::string suffix = " 7 (R-7)";
        ASSERT_GT(text.size(), suffix.size());
        EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix) << text;
        const std::string file = ReadBytes(std::string(SMT_SOURCE_DIR) + "/res/" + languages[lang] + ".ini");
        const std::string line = "PlacementRun.c_Message_02=" + text.substr(0, text.size() - suffix.size()) + "\n";
        EXPECT_NE(file.find(line), std::string::npos) << languages[lang];
    }
    g_LanguageIndex = 1;
    EXPECT_EQ(OffTravelRowText(0, ""),
              "The place position of this row lies outside the travel limits, the run stops before its pick ! Row: 1");
    g_LanguageIndex = 0;
}

// Stop while the part is measured over vision camera 1 (its vacuum read there held):
// the run ends with the part thrown off at the discard place, not over the camera.
TEST_F(PlacementRunEnd, StopWithAPartOverTheCameraThrowsItOffAtTheDiscardPlace) {
    HoldThePartOverTheCamera();
    if (HasFatalFailure()) return;
    OnStopRun();
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::Place).empty());
    const auto thrown = Discards();
    ASSERT_EQ(thrown.size(), 1u);
    EXPECT_LT(Distance(thrown[0].machine, kThrowX, kThrowY), 0.5)
        << thrown[0].machine.x << " " << thrown[0].machine.y;
    EXPECT_GT(Distance(thrown[0].machine, scenario.vision[0].position.x, scenario.vision[0].position.y), 50.0);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
}

// A lost link leaves nothing to move: the run ends without a throw-off move.
TEST_F(PlacementRunEnd, WithTheHeadsNotResetThePartIsNotCarriedAcrossTheMachine) {
    HoldThePartOverTheCamera();
    if (HasFatalFailure()) return;
    const int movesBefore = Count(0x64) + Count(0x65);
    g_HeadResetOk = false;  // as an E3 report leaves it
    OnStopRun();
    sim->faults().Release();
    ASSERT_TRUE(WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load(); }, std::chrono::seconds(60)));
    EXPECT_EQ(Count(0x64) + Count(0x65), movesBefore);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
}

}  // namespace
}  // namespace smt::test
