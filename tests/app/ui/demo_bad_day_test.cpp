// The shipped demo job on the default simulated world on a bad day and over many
// boards, the program started on the shipped start folder as a newcomer starts it:
// a missed pick and an empty feeder bring the operator's question on the machine
// types that check what their nozzles hold (0 to 3 and 5 to 7), and the board placed
// 100 times in a row (40 in the sanitizer build) lands every part within the run
// check's 0.1 mm and 0.25 degrees with no question asked.
#include <QApplication>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "../../run/row_depths.h"
#include "app/document.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_toolbar.h"
#include "link/connect.h"
#include "link/homing.h"
#include "link/link_state.h"
#include "link/ui/manual_control_dialog.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "run/run_frame.h"
#include "run_check.h"
#include "settings/basic_settings.h"
#include "shell_sim_fixture.h"
#include "vision/camera_service.h"

namespace smt::test {
namespace {

// Idle: no homing, no busy flag and no worker that may still claim it (the move
// after a homing starts once the homing has ended).
bool MachineIdle() { return !g_Running.load() && !HomingInProgress() && plat::RunningWorkers() == 0; }

class DemoOnWorld : public ::testing::Test {
protected:
    void SetUp() override {
        g_Connected = g_Homed = g_Running = false;
        g_FirstConnect = true;
        ClearPositionCounters();
        setenv("SMT_SERIAL_DIR", serialDir.Path().c_str(), 1);
        std::string error;
        ASSERT_TRUE(sim::Scenario::Load(SMT_SOURCE_DIR "/sim/default.scenario", &world, &error)) << error;
    }
    void TearDown() override {
        if (app) {
            PumpUntil([] { return LiveRunThreads() == 0 && MachineIdle(); });
            ShutDownLinks();
            TheCameraService().Shutdown();
        }
        boxes.reset();
        app.reset();
        if (machine) machine->Stop();
        machine.reset();
        TheConnectOptions() = ConnectOptions{};
        // The link's state as a fresh program finds it: the eight-head machine's Z
        // check mask would refuse the next program's commands on another type.
        ResetLinkState();
        unsetenv("SMT_SERIAL_DIR");
    }

    // The simulated machine of `type` on `world` with its cameras, the program on the
    // shipped start folder set to that type: connected, homed, the demo job open. The
    // eight-head machine's pick and place commands go over Ethernet only.
    void Start(int type) {
        const bool ethernet = type == 7;
        sim::SimConfig c;
        c.machineType = type;
        c.serialDir = serialDir.Path();
        c.comNumber = 3;
        c.serial = !ethernet;
        c.udp = ethernet;
        c.udpPort = 0;
        c.discoveryPort = static_cast<std::uint16_t>(20000 + getpid() % 20000);
        c.cameras = true;
        machine = std::make_unique<sim::Simulator>(c);
        machine->UseScenario(world);
        std::string error;
        ASSERT_TRUE(machine->Start(&error)) << error;
        ConnectOptions& o = TheConnectOptions();
        o = ConnectOptions{};
        if (ethernet) {
            o.discovery.port = c.discoveryPort;
            o.discovery.attempts = 3;
            o.discovery.receiveLimit = std::chrono::milliseconds(300);
            o.local.port = 0;
            o.settle = std::chrono::milliseconds(0);
            o.boardPort = machine->udp()->Port();
        }
        app = std::make_unique<ShellApp>();
        const std::string config = app->Dir().File("config.ini");
        plat::WritePrivateProfileString("CameraListConfig", "m_HighSpeedCamera", "1", config);
        plat::WritePrivateProfileString("MachineSetConfig", "MachineSet", std::to_string(type), config);
        plat::FlushProfileCache();
        ASSERT_TRUE(app->Start());
        TheBasicSettings().m_CommModel = ethernet ? 1 : 0;
        boxes = std::make_unique<ScriptedResponder>();
        CDialogManualControl* panel = app->View()->m_pManualControl;
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(app->Frame()->Document().OnOpenDocument(app->Dir().File("demo.smt")));
        panel->OnConnect();
        ASSERT_TRUE(PumpUntil([&] { return g_Connected.load() && !Connecting() && MachineIdle(); }))
            << FirstBox();
        ASSERT_TRUE(ResetButtonAction()) << FirstBox();
        ASSERT_TRUE(PumpUntil([] { return g_Homed.load() && MachineIdle(); })) << FirstBox();
    }
    // Start pressed; true once the run has ended.
    bool RunBoard() {
        if (!OnStartRun(ThePartList())) return false;
        return PumpUntil([] { return LiveRunThreads() == 0 && MachineIdle(); }, 180000);
    }
    std::string FirstBox() const { return boxes && boxes->Count() ? boxes->Texts()[0] : std::string(); }
    std::size_t Asked(const std::string& key) const {
        const std::vector<std::string> t = boxes->Texts();
        return static_cast<std::size_t>(std::count(t.begin(), t.end(), PartListText(key)));
    }
    // The run check of the demo's rows, each stroke's depth from the start folder's
    // settings and job as the program read them.
    sim::RunCheckResult Check() const {
        const std::vector<sim::RowTarget> rows = ListRowsWithDepths(world);
        return sim::CheckRun(machine->world()->ledger(), rows);
    }

    TempDir serialDir;
    sim::Scenario world;
    std::unique_ptr<sim::Simulator> machine;
    std::unique_ptr<ShellApp> app;
    std::unique_ptr<ScriptedResponder> boxes;
};

// The machine types that check what their nozzles hold. Types 0 to 3, 5 and 6 read
// the vacuum of a picked part before its vision: the shipped feeders' vacuum value
// tells a held part from an empty nozzle on the world's readings. The eight-head
// machine (7) reads no vacuum before vision, which finds its nozzle empty, and picks
// a failed part once more by itself before it asks; its vacuum is checked at the
// place.
class DemoVacuum : public DemoOnWorld, public ::testing::WithParamInterface<int> {
protected:
    bool EightHeads() const { return GetParam() == 7; }
    // The question a part missing from its nozzle brings; the eight-head run's names
    // the row on a line of its own.
    std::size_t AskedMissing() const {
        if (!EightHeads()) return Asked("Message_45");
        const std::string question = PartListText("Message_46") + "\r\n";
        const std::vector<std::string> t = boxes->Texts();
        return static_cast<std::size_t>(
            std::count_if(t.begin(), t.end(), [&](const std::string& b) { return b.rfind(question, 0) == 0; }));
    }
    std::size_t Misses() const { return machine->world()->ledger().Of(sim::LedgerKind::Miss).size(); }
};

TEST_P(DemoVacuum, AMissedPickIsAskedAboutAndRefilled) {
    Start(GetParam());
    if (HasFatalFailure()) return;
    const int misses = EightHeads() ? 2 : 1;
    machine->world()->Lock(), machine->world()->faults().pickMisses = misses;
    boxes->Push(plat::MsgAnswer::Cancel);  // refill: pick the part again
    ASSERT_TRUE(RunBoard()) << FirstBox();
    EXPECT_EQ(Misses(), static_cast<std::size_t>(misses));
    EXPECT_EQ(AskedMissing(), 1u) << FirstBox();
    // After the refill the run goes on with no other message (type 5 once stopped
    // here at its camera check) and the board lands whole.
    EXPECT_EQ(boxes->Count(), 1u) << (boxes->Count() ? boxes->Texts().back() : std::string());
    const sim::RunCheckResult check = Check();
    EXPECT_TRUE(check.Passed() && check.parts == check.rows) << check.Table();
}

TEST_P(DemoVacuum, AnEmptyFeederIsAskedAbout) {
    world.feeders[0].count = 0;  // W1: R1 and R2
    Start(GetParam());
    if (HasFatalFailure()) return;
    boxes->Push(plat::MsgAnswer::No);  // end the run
    ASSERT_TRUE(RunBoard()) << FirstBox();
    EXPECT_EQ(AskedMissing(), 1u) << FirstBox();
    const sim::RunCheckResult check = Check();
    EXPECT_EQ(check.parts, 0u);
    EXPECT_FALSE(check.missing.empty());
}

// The place's own vacuum check: a part that stays on its nozzle brings the vacuum
// question (on the eight-head machine after its own second try), is thrown off, and
// the refill lands the board whole.
TEST_P(DemoVacuum, APartLeftOnItsNozzleAtThePlaceIsAskedAbout) {
    Start(GetParam());
    if (HasFatalFailure()) return;
    machine->world()->Lock(), machine->world()->faults().keptAtPlace = EightHeads() ? 2 : 1;
    boxes->Push(plat::MsgAnswer::Cancel);
    ASSERT_TRUE(RunBoard()) << FirstBox();
    ASSERT_EQ(boxes->Count(), 1u) << (boxes->Count() ? boxes->Texts().back() : std::string());
    EXPECT_EQ(boxes->Texts()[0].rfind(PartListText("Message_45"), 0), 0u) << FirstBox();
    EXPECT_EQ(machine->world()->ledger().Of(sim::LedgerKind::Discard).size(), EightHeads() ? 2u : 1u);
    const sim::RunCheckResult check = Check();
    EXPECT_TRUE(check.Passed() && check.parts == check.rows) << check.Table();
}

INSTANTIATE_TEST_SUITE_P(VacuumTypes, DemoVacuum, ::testing::Values(0, 1, 2, 3, 5, 6, 7));

// A board takes about 3 s in the sanitizer build: 40 boards there keep the test
// within a few minutes, 100 elsewhere.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kBoards = 40;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kBoards = 40;
#else
constexpr int kBoards = 100;
#endif
#else
constexpr int kBoards = 100;
#endif

TEST_F(DemoOnWorld, TheBoardPlacedAHundredTimesLandsEveryPart) {
    Start(0);
    if (HasFatalFailure()) return;
    for (int board = 1; board <= kBoards; ++board) {
        SCOPED_TRACE(board);
        // A fresh world for each board (full feeders and tray), each with its own
        // seed for the pick errors' and the frames' noise.
        world.seed = static_cast<unsigned>(board);
        machine->UseScenario(world);
        ASSERT_TRUE(RunBoard()) << FirstBox();
        const sim::RunCheckResult check = Check();
        ASSERT_TRUE(check.Passed() && check.parts == check.rows) << check.Table();
        // The tray's own notice that its last pocket was taken is the only message.
        ASSERT_EQ(boxes->Count(), Asked("Message_19")) << boxes->Texts().back();
    }
}

} // namespace
} // namespace smt::test
