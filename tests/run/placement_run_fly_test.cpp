// Whole boards whose parts are measured in flight: the heads of a cycle pass over
// vision camera 1 in one 0x63 while the board triggers one frame per head, the
// fly-frame thread measures each frame into its head's record, and the parts are
// placed corrected on the shifted and turned board. Judged by the world's run check.
#include "placement_run_fixture.h"

#include <cmath>

namespace smt::test {
namespace {

struct FlyCase {
    const char* name;
    RunSetup setup;
    int passes;  // flying passes of the run: one per cycle
};

class FlyingWorld : public PlacementRunWorld {
protected:
    void TearDown() override {
        TheCameraList().SetRows({});
        PlacementRunWorld::TearDown();
    }
    int Frames(std::uint16_t code) {
        int n = 0;
        for (const auto& f : machine().Frames()) n += f.code == code;
        return n;
    }
};

class PlacementRunFly : public FlyingWorld, public ::testing::WithParamInterface<FlyCase> {};

TEST_P(PlacementRunFly, EveryCycleIsMeasuredInOnePassAndPlacedOnTheTrueBoard) {
    const FlyCase& c = GetParam();
    Machine(c.setup);
    if (HasFatalFailure()) return;
    FlyEveryFeeder();
    if (HasFatalFailure()) return;
    machine().ClearRecords();
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? std::string() : boxes.Texts()[0]);
    EXPECT_TRUE(RunCheckPasses());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(g_Homed.load());
    // One pass per cycle, and no part was centred over the camera instead (that
    // would read a vacuum per part over the camera: 0x15).
    EXPECT_EQ(Frames(0x63), c.passes);
    EXPECT_EQ(Frames(0x15), 0);
    // Every part was picked off its nozzle's centre, so a correction left out (or
    // given to the wrong head) shows in the check above.
    for (const auto& e : world().ledger().Of(sim::LedgerKind::Place))
        EXPECT_GT(std::hypot(e.pickError.x, e.pickError.y), 0.15) << e.Text();
}

// type, head mode, automatic nozzle change, vision, marks, serial
const FlyCase kFlyCases[] = {
    {"Type2SameNozzleSerial", {2, 1, false, true, true, true}, 6},
    {"Type2SameNozzleEthernet", {2, 1, false, true, true, false}, 6},
    {"Type2DifferentNozzlesSerial", {2, 2, false, true, true, true}, 6},
    {"Type2DifferentNozzlesEthernet", {2, 2, false, true, true, false}, 6},
    {"Type3FourHeadsSerial", {3, 3, false, true, true, true}, 3},
    {"Type3FourHeadsEthernet", {3, 4, false, true, true, false}, 3},
    {"Type6FourHeadsSerial", {6, 4, false, true, true, true}, 3},
    {"Type6FourHeadsEthernet", {6, 3, false, true, true, false}, 3},
};
INSTANTIATE_TEST_SUITE_P(Fly, PlacementRunFly, ::testing::ValuesIn(kFlyCases),
                         [](const ::testing::TestParamInfo<FlyCase>& i) { return std::string(i.param.name); });

// Type 5 reads its vision cameras as the panel's two ordinary video cameras: the
// first behind the machine's camera switch (mark camera, vision camera 1 or 2 as
// 0x04 selected), the second the synchronous camera that sees head 2 while head 1
// stands over vision camera 1. Flying parts of a pair are measured together there
// (head 2 with the synchronous correction); parts centred over the camera one by one.
// The machine's two video inputs, each frame drawn by the world when it is read, so
// a frame always shows where the machine stands now: input 0 behind the camera
// switch, input 1 the synchronous camera.
class WorldVideoInput : public VideoSampleSource {
public:
    explicit WorldVideoInput(sim::World* world) : m_world(world) {}
    bool Open(int index, int, int) override {
        m_role = index == 0 ? sim::CameraRole::Switched : sim::CameraRole::Synchronous;
        return index == 0 || index == 1;
    }
    bool Read(cv::Mat* sample) override {
        *sample = m_world->Render(m_role, 640, 480, 3, ++m_frames);
        return true;
    }
    void Close() override {}

private:
    sim::World* m_world;
    sim::CameraRole m_role = sim::CameraRole::Switched;
    std::uint64_t m_frames = 0;
};

struct SyncCase {
    const char* name;
    bool serial;
    bool flying;
};

class PlacementRunSync : public FlyingWorld, public ::testing::WithParamInterface<SyncCase> {
protected:
    // The synchronous camera a little off nozzle 2's spot; the camera list's
    // synchronous correction is what its calibration finds: the offset taken back.
    static constexpr double kSyncOffX = 0.15, kSyncOffY = -0.1;
};

TEST_P(PlacementRunSync, TheSharedFrameMachinePlacesTheWholeBoardWithVision) {
    const SyncCase& c = GetParam();
    RunSetup r{5, 1, false, true, true, c.serial};
    Machine(r);
    if (HasFatalFailure()) return;
    sim::Scenario s = world().GetScenario();
    sim::ScenarioCamera sync = s.SyncCamera();
    sync.position = {sync.position.x + kSyncOffX, sync.position.y + kSyncOffY};
    s.syncCamera = sync;
    world().SetScenario(s);
    // The ordinary cameras only, no industrial one.
    g_HighSpeedCamera = 0;
    TheCameraService().Shutdown();
    TheVideoSourcePort().count = [] { return 2; };
    TheVideoSourcePort().make = [w = &world()] { return std::make_unique<WorldVideoInput>(w); };
    ASSERT_TRUE(TheSetView().OpenCamera(false, 2, 0));
    ASSERT_TRUE(TheSetView().DsCameraOpen(1));
    // The camera table of the start folder names both vision cameras.
    std::vector<CameraCells> rows(2);
    for (int k = 0; k < 2; ++k) {
        rows[static_cast<std::size_t>(k)][0] = k == 0 ? kCamera1Name : kCamera2Name;
        rows[static_cast<std::size_t>(k)][1] = FormatC("%0.4f", scenario.vision[k].position.x);
        rows[static_cast<std::size_t>(k)][2] = FormatC("%0.4f", scenario.vision[k].position.y);
    }
    TheCameraList().SetRows(rows);
    if (c.flying) {
        FlyEveryFeeder();
        if (HasFatalFailure()) return;
    }
    CameraListSettings settings = TheCameraList().Settings();
    settings.m_Correct_X = -kSyncOffX;
    settings.m_Correct_Y = -kSyncOffY;
    TheCameraList().SetSettings(settings);
    machine().ClearRecords();
    ASSERT_TRUE(RunToTheEnd()) << (boxes.Texts().empty() ? std::string() : boxes.Texts()[0]);
    EXPECT_TRUE(RunCheckPasses());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
    EXPECT_TRUE(g_Homed.load());
    EXPECT_EQ(Frames(0x63), 0);
    // Over the camera every part gets its own stop and vacuum reading; a pair
    // measured together stops once, for head 1.
    EXPECT_EQ(Frames(0x15), c.flying ? 6 : 12);
}

const SyncCase kSyncCases[] = {
    {"FlyingPairSerial", true, true},
    {"FlyingPairEthernet", false, true},
    {"OverTheCameraSerial", true, false},
    {"OverTheCameraEthernet", false, false},
};
INSTANTIATE_TEST_SUITE_P(Type5, PlacementRunSync, ::testing::ValuesIn(kSyncCases),
                         [](const ::testing::TestParamInfo<SyncCase>& i) { return std::string(i.param.name); });

} // namespace
} // namespace smt::test
