// The camera calibration procedures against the simulated machine, whose true
// camera positions and scales, mark-camera offset and nozzle offsets differ from
// what the program is told: each procedure must bring the program's values to the
// world's, leave the standard piece where it belongs, and hand vision camera 1
// back in continuous mode however a fly procedure ends.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "calibration_world.h"
#include "base/globals.h"
#include "base/log.h"
#include "base/numtext.h"
#include "joblist/run_toolbar.h"
#include "link/busy.h"
#include "link/positioning.h"
#include "platform/camera_sdk.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "run/camera_calibration.h"
#include "run/run_geometry.h"
#include "run_state/run_events.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/version_switches.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/set_view.h"

namespace smt::test {
namespace {

// ---- the rules -----------------------------------------------------------------------

TEST(CalibrationRules, HeadDrivesByMachineType) {
    struct Case {
        int type, head;
        int zAxis, sign, rotation;  // rotation -1: none
    } cases[] = {
        {0, 1, 2, 1, 4},    {3, 2, 2, -1, 5},   {3, 3, 3, 1, 6},    {6, 4, 3, -1, 7}, {3, 5, 2, 1, -1},
        {6, 8, 2, 1, -1},   {7, 1, 0x20, 1, 0x28}, {7, 8, 0x27, 1, 0x2F}, {8, 2, 2, 1, -1}, {9, 1, 2, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.head));
        const HeadDrives d = HeadDrivesOf(c.type, c.head);
        EXPECT_EQ(d.zAxis, c.zAxis);
        EXPECT_EQ(d.zSign, c.sign);
        EXPECT_EQ(d.rotationAxis ? int(*d.rotationAxis) : -1, c.rotation);
    }
}

TEST(CalibrationRules, StandardPieceHeightAndStroke) {
    BasicSettings b;
    b.m_Z_Nozzle1ToFeed = -10.0;
    b.m_Z_Nozzle2ToFeed = -10.5;
    b.m_Z_Nozzle4ToFeed = -9.25;
    EXPECT_EQ(StandardPieceHeight(1, -12.345, b, 100), -1234);
    EXPECT_EQ(StandardPieceHeight(2, -12.345, b, 100), -1284);  // head 2 reaches 0.5 mm lower
    EXPECT_EQ(StandardPieceHeight(4, -12.345, b, 100), -1159);
    // The stroke lowers the head itself: the first of a rocker pair with a positive
    // depth, the second with a negative one; the eight-head type always positive.
    EXPECT_EQ(StandardPieceStroke(0, 1, -1234), 1234);
    EXPECT_EQ(StandardPieceStroke(3, 2, -1284), -1284);
    EXPECT_EQ(StandardPieceStroke(3, 3, -1234), 1234);
    EXPECT_EQ(StandardPieceStroke(7, 2, -1284), 1284);
}

TEST(CalibrationRules, ScaleBandIsOpen) {
    EXPECT_FALSE(ScaleAccepted(10.1, 10.0));   // exactly 1.01 x d repeats
    EXPECT_TRUE(ScaleAccepted(10.05, 10.0));   // 1.005 x d ends
    EXPECT_TRUE(ScaleAccepted(9.95, 10.0));
    EXPECT_FALSE(ScaleAccepted(9.9, 10.0));
}

TEST(CalibrationRules, SampleCentreSpansTheSamplesOnly) {
    using S = std::array<std::optional<MmPoint>, 4>;
    // All on one side: the middle of 0.9 .. 1.2, not of 0 .. 1.2.
    const auto c = SampleCentre(S{MmPoint{1.0, -0.5}, MmPoint{1.2, -0.3}, MmPoint{1.1, -0.7}, MmPoint{0.9, -0.5}});
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->x, 1.05, 1e-12);
    EXPECT_NEAR(c->y, -0.5, 1e-12);
    EXPECT_FALSE(SampleCentre(S{MmPoint{1.0, 0}, std::nullopt, MmPoint{1.1, 0}, MmPoint{0.9, 0}}));
}

TEST(CalibrationRules, TriggerWindow) {
    std::array<std::int32_t, 8> off{0, 1000, 3000, 4500, 0, 0, 0, 0};
    EXPECT_EQ(TriggerBase(1, off), 1000);
    EXPECT_EQ(TriggerBase(2, off), 2000);
    EXPECT_EQ(TriggerBase(3, off), 4000);
    EXPECT_EQ(TriggerBase(4, off), 5500);
    // Head 1 with off2 = 1000: 1000 .. 1870 taken, giving m_iTriggerPulse1 0 .. 870.
    for (std::int32_t t : {999, 1000, 1870, 1871})
        EXPECT_EQ(TriggerAccepted(t, 1000, 1000), t >= 1000 && t <= 1870) << t;
}

// ---- against the simulated machine -------------------------------------------------------

constexpr double kPx = 100, kPy = 80, kPz = 100, kPa = 10;  // pulses per mm / degree, X and Y apart

struct Told {  // what the program is told (config.ini and the camera table)
    sim::Vec camera1{200, -250}, camera2{240, -250};
    double scale1 = 20, scale2 = 20;
    sim::Vec markCamera{40, 0};
    sim::Vec nozzle[8] = {{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}, {50, 0}, {60, 0}, {70, 0}};
    sim::Vec piece{60, -200};
};

class Calibration : public CalibrationWorld {
protected:
    void SetUp() override {
        WorldSimTest::SetUp();
        world_ = sim::Scenario::Default();
        world_.feeders.clear();
        world_.boards.clear();
        world_.machineDiscs.clear();
        world_.noiseSigma = 0;
        world_.pulsesX = kPx, world_.pulsesY = kPy, world_.pulsesZ = kPz, world_.pulsesA = kPa;
        for (int n = 0; n < 8; ++n) world_.nozzleOffset[n] = told.nozzle[n];
        world_.markCameraOffset = told.markCamera;
        world_.markCamera.pixelsPerMm = 20;
        world_.vision[0].position = told.camera1;
        world_.vision[0].pixelsPerMm = told.scale1;
        world_.vision[1].position = told.camera2;
        world_.vision[1].pixelsPerMm = told.scale2;
        world_.standardDiameter = 10;
        world_.standardBase = told.piece;
        config = dir.File("config.ini");
    }
    void TearDown() override {
        TheCameraList().m_bFlyTestRunning = 0;
        WaitIdle();
        TheCameraService().Shutdown();
        TheCameraService().hooks() = {};
        TheCameraService().m_FlyTestRequest = false;
        plat::SetCameraBackend(nullptr);
        TheRunToolbarPort() = RunToolbarPort{};
        TheSetViewSources() = SetViewSources{};
        TheSetView().view() = {};
        TheCameraList().SetRows({});
        TheCameraList().SetSettings(CameraListSettings{});
        g_HighSpeedCamera = 0;
        g_MarkCameraOn = g_VisualCamera1On = g_VisualCamera2On = g_FlyCameraOn = false;
        g_SmtHeadCount = 1;
        g_Homed = false;
        g_Running = false;
        WorldSimTest::TearDown();
    }

    static CameraCells Row(const std::string& name, sim::Vec at, double scale) {
        CameraCells c;
        c.fill("0");
        c[0] = name;
        c[1] = FormatC("%0.4f", at.x);
        c[2] = FormatC("%0.4f", at.y);
        c[20] = FormatC("%0.2f", scale);
        c[21] = "16.00";  // window (mm)
        c[22] = "0";      // Otsu
        c[23] = "100";    // full light
        return c;
    }

    // The machine of `type` on its serial link with the world's cameras, the
    // program told `told`.
    void Machine(int type) {
        g_MachineType = type;
        hooks.machineType = type;
        StartWorld(type, world_, true, false, true);
        ResetCommandWorld(true);
        BasicSettings& b = TheBasicSettings();
        b.m_CommModel = 0;
        b.m_X_CameraToNozzle1 = told.markCamera.x, b.m_Y_CameraToNozzle1 = told.markCamera.y;
        double* xs[8] = {nullptr, &b.m_X_Nozzle2ToNozzle1, &b.m_X_Nozzle3ToNozzle1, &b.m_X_Nozzle4ToNozzle1,
                         &b.m_X_Nozzle5ToNozzle1, &b.m_X_Nozzle6ToNozzle1, &b.m_X_Nozzle7ToNozzle1,
                         &b.m_X_Nozzle8ToNozzle1};
        double* ys[8] = {nullptr, &b.m_Y_Nozzle2ToNozzle1, &b.m_Y_Nozzle3ToNozzle1, &b.m_Y_Nozzle4ToNozzle1,
                         &b.m_Y_Nozzle5ToNozzle1, &b.m_Y_Nozzle6ToNozzle1, &b.m_Y_Nozzle7ToNozzle1,
                         &b.m_Y_Nozzle8ToNozzle1};
        for (int n = 1; n < 8; ++n) *xs[n] = told.nozzle[n].x, *ys[n] = told.nozzle[n].y;
        PulseSettings& p = ThePulseSettings();
        p.m_X_Pulse = kPx, p.m_Y_Pulse = kPy, p.m_Z_Pulse = kPz, p.m_A_Pulse = kPa;
        g_PulsesPerMmX = kPx, g_PulsesPerMmY = kPy, g_PulsesPerMmZ = kPz;
        g_CameraToNozzle1Pulses = {ToPulses(told.markCamera.x, kPx), ToPulses(told.markCamera.y, kPy)};
        for (int n = 0; n < 8; ++n)
            g_NozzleToNozzle1Pulses[n] = {ToPulses(told.nozzle[n].x, kPx), ToPulses(told.nozzle[n].y, kPy)};
        SetMoveLimits({40000, -24000, 40000, 24000});

        CameraList& list = TheCameraList();
        const std::vector<CameraCells> rows = {Row("Camera 1", told.camera1, told.scale1),
                                               Row("Camera 2", told.camera2, told.scale2)};
        list.SetRows(rows);
        list.UpdateActiveCameras(rows, kPx, kPy);
        CameraListSettings s;
        s.m_BaseDiameter = 10;
        s.m_BaseCoordinates_X = told.piece.x, s.m_BaseCoordinates_Y = told.piece.y, s.m_BaseCoordinates_Z = -5;
        s.m_HighSpeedCamera = s.m_MarkCamera = s.m_VisualCamera1 = s.m_VisualCamera2 = s.m_FlyCamera = 1;
        s.m_iFlyStartSpeed = 20, s.m_iFlyNormalSpeed = 60;
        list.SetSettings(s);
        UpdateHeadOffsets();

        TheRunToolbarPort().pcbEditFields = [] {
            PcbEditFields f;
            f.m_VisualZoom = 20, f.m_VisualBox = 16, f.m_MarkDiameter = 10, f.m_DetectPrecision = 20;
            f.m_LightContrast = 0, f.m_LightBrightness = 100, f.m_VisualTimes = 3;
            f.m_MarkCollectTime = 600;  // a frame after each centring move, also on a slow machine
            return f;
        };
        CameraHooks();
        ConnectAndOpenCameras(true);
    }

    // Operation `op` on camera row `row`, started as the dialog starts it; true once
    // it ended and released the busy flag.
    bool Run(int op, int row = 0) {
        TheCameraList().m_SelectedRow = row;
        BusyClaim claim = ClaimMachineAction(true);
        if (!claim) return false;
        StartCameraOperation(op, std::move(claim), CalibrationContext{"head %d turns not", config});
        return WaitIdle();
    }

    std::vector<sim::LedgerEntry> PieceMoves() { return world().ledger().Of(sim::LedgerKind::StandardMove); }
    sim::Vec PieceNow() { return world().GetScenario().standardBase; }
    bool HoldsNothing() {
        for (int n = 1; n <= 8; ++n)
            if (world().Holds(n)) return false;
        return true;
    }
    // Vision camera 1 is back in continuous mode: a request is served.
    void ExpectVision1Served() {
        EXPECT_EQ(TheCameraService().TriggerMode(kVisionCamera1), 0);
        EXPECT_FALSE(TheCameraService().m_FlyTestRequest.load());
        EXPECT_TRUE(TheCameraService().GrabFrame(kVisionCamera1));
    }

    Told told;
    sim::Scenario world_;
    std::string config;
};

TEST_F(Calibration, NozzleAndMarkCameraLandOnThePieceAndCarryingLeavesItInPlace) {
    world_.standardBase = {60.3, -199.6};  // where the piece really lies
    world_.markCameraOffset = {40.0, 0.0};
    Machine(0);
    // Nozzle 1 and the mark camera over the piece's taught place.
    ASSERT_TRUE(Run(kNozzleToBase));
    EXPECT_EQ(g_PulseX.load(), 6000);
    EXPECT_EQ(g_PulseY.load(), -16000);
    ASSERT_TRUE(Run(kCameraToBase));
    EXPECT_EQ(g_PulseX.load(), 6000 - 4000);
    EXPECT_EQ(g_PulseY.load(), -16000);
    // Carry to vision camera 2 with nozzle 1: taken from its place, over the camera.
    ASSERT_TRUE(Run(kPickBaseToCamera, 1));
    EXPECT_TRUE(world().Holds(1));
    EXPECT_EQ(g_PulseX.load(), 24000);
    EXPECT_EQ(g_PulseY.load(), -20000);
    EXPECT_EQ(g_CurrentCamera.load(), kVisionCamera2);
    ASSERT_TRUE(Run(kPlaceBase));
    const auto moves = PieceMoves();
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].nozzle, 1);
    EXPECT_NEAR(PieceNow().x, 60.3, 1e-6);
    EXPECT_NEAR(PieceNow().y, -199.6, 1e-6);
    EXPECT_TRUE(HoldsNothing());
}

TEST_F(Calibration, ScaleReachesTheTrueScaleAndWritesCellAndRecord) {
    world_.vision[0].pixelsPerMm = 20.6;
    Machine(0);
    ASSERT_TRUE(Run(kScaleCorrect));
    const auto rows = TheCameraList().Rows();
    EXPECT_NEAR(AtoF(rows[0][20]), 20.6, 20.6 * 0.01);
    EXPECT_EQ(rows[0][20], FormatC("%0.2f", TheCameraList().First().VisualZoom));
    std::vector<std::string> lines;
    for (const std::string& t : Traces())
        if (t.rfind("Visual: ", 0) == 0) lines.push_back(t);
    EXPECT_GE(lines.size(), 2u);  // the first pass measured 3 % wide
    EXPECT_LE(lines.size(), 3u);
    EXPECT_TRUE(HoldsNothing());
    EXPECT_EQ(PieceMoves().size(), 2u);

    // At the true scale one pass ends it; with the log on its line goes there too.
    hooks.Take();
    TheVersionSwitches().m_Write_Logfile = 1;
    ASSERT_TRUE(Run(kScaleCorrect));
    int passes = 0;
    for (const std::string& t : Traces()) passes += t.rfind("Visual: ", 0) == 0;
    EXPECT_EQ(passes, 1);
    const std::string log = plat::GbkToUtf8(ReadBytes(GetLogStream()->Path()));
    EXPECT_TRUE(std::regex_search(
        log, std::regex("X = -?\\d+\\.\\d{4}，Y = -?\\d+\\.\\d{4}，A =  -?\\d+\\.\\d{4}，W = \\d+\\.\\d{2}, H = \\d+\\.\\d{2}\n")));
}

TEST_F(Calibration, PositionMovesCellsAndRecordByTheCameraErrorAndAFailedSampleNothing) {
    world_.vision[0].position = {201.0, -250.6};
    world_.standardBase = {60.2, -200.0};  // nozzle 1 takes it 0.2 mm off its centre
    Machine(0);
    // After the second sample the camera sees black for a while: nothing changes.
    int seen = 0;
    std::mutex m;
    SetTraceSink([&](const std::string& t, bool) {
        std::lock_guard lock(m);
        if (t.rfind("Visual: ", 0) == 0 && ++seen == 2) {
            auto held = world().Lock();
            world().faults().blackFrames = 60;
        }
    });
    ASSERT_TRUE(Run(kPositionCorrect));
    SetTraceSink(nullptr);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(TheCameraList().Rows()[0][1], "200.0000");
    EXPECT_EQ(TheCameraList().Rows()[0][2], "-250.0000");
    EXPECT_EQ(TheCameraList().First().CameraPulse_X, 20000);
    {
        auto held = world().Lock();
        world().faults().blackFrames = 0;
    }
    // Four good samples round the eccentric piece: the camera's error in one pass.
    ASSERT_TRUE(Run(kPositionCorrect));
    const auto rows = TheCameraList().Rows();
    EXPECT_NEAR(AtoF(rows[0][1]), 201.0, 0.06);
    EXPECT_NEAR(AtoF(rows[0][2]), -250.6, 0.06);
    EXPECT_EQ(TheCameraList().First().CameraPulse_X, static_cast<std::int32_t>(AtoF(rows[0][1]) * kPx));
    EXPECT_EQ(TheCameraList().First().CameraPulse_Y, static_cast<std::int32_t>(AtoF(rows[0][2]) * kPy));
    EXPECT_TRUE(HoldsNothing());
    // The failed run turned it twice before putting it back, this one four times.
    EXPECT_NEAR(PieceNow().x, 59.8, 0.01);
}

TEST_F(Calibration, NozzlePositionsOfHeadsTwoToFourAndHeadsFiveToEightRefused) {
    told.nozzle[1] = {-20, 0}, told.nozzle[2] = {-40, 0}, told.nozzle[3] = {-60, 0};
    world_.nozzleOffset[1] = {-20.4, 0.3};
    world_.nozzleOffset[2] = {-39.7, -0.2};
    world_.nozzleOffset[3] = {-60.3, 0.4};
    g_SmtHeadCount = 8;
    Machine(3);
    ASSERT_TRUE(Run(kNozzleCorrect));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"head 5 turns not"}));
    const BasicSettings& b = TheBasicSettings();
    const double xs[3] = {b.m_X_Nozzle2ToNozzle1, b.m_X_Nozzle3ToNozzle1, b.m_X_Nozzle4ToNozzle1};
    const double ys[3] = {b.m_Y_Nozzle2ToNozzle1, b.m_Y_Nozzle3ToNozzle1, b.m_Y_Nozzle4ToNozzle1};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k + 2);
        EXPECT_NEAR(xs[k], world_.nozzleOffset[k + 1].x, 0.06);
        EXPECT_NEAR(ys[k], world_.nozzleOffset[k + 1].y, 0.06);
        EXPECT_EQ(g_NozzleToNozzle1Pulses[k + 1].x, ToPulses(xs[k], kPx));
        EXPECT_EQ(g_NozzleToNozzle1Pulses[k + 1].y, ToPulses(ys[k], kPy));
    }
    EXPECT_EQ(b.m_X_Nozzle5ToNozzle1, told.nozzle[4].x);
    // Each of heads 2 to 4 took the piece and put it back; nothing is held.
    const auto moves = PieceMoves();
    ASSERT_EQ(moves.size(), 6u);
    EXPECT_EQ(moves[0].nozzle, 2);
    EXPECT_EQ(moves[5].nozzle, 4);
    EXPECT_TRUE(HoldsNothing());
}

TEST_F(Calibration, MarkCameraOffsetEndsOnAPassWithoutMoveAndIsSaved) {
    world_.markCameraOffset = {40.4, -0.3};
    Machine(0);
    ASSERT_TRUE(Run(kMarkCameraCorrect));

    // Moves while the piece sat off centre, then a pass that needed none.
    std::vector<std::pair<double, double>> passes;
    for (const std::string& t : Traces()) {
        double x = 0, y = 0;
        if (std::sscanf(t.c_str(), "Visual: X = %lf，Y = %lf", &x, &y) == 2) passes.emplace_back(x, y);
    }
    ASSERT_GE(passes.size(), 2u);
    EXPECT_GT(std::fabs(passes.front().first), 0.3);
    EXPECT_EQ(std::trunc(passes.back().first * kPx), 0);
    EXPECT_EQ(std::trunc(passes.back().second * kPy), 0);
    const BasicSettings& b = TheBasicSettings();
    EXPECT_NEAR(b.m_X_CameraToNozzle1, 40.4, 0.03);
    EXPECT_NEAR(b.m_Y_CameraToNozzle1, -0.3, 0.03);
    EXPECT_EQ(g_CameraToNozzle1Pulses.x, ToPulses(b.m_X_CameraToNozzle1, kPx));
    EXPECT_EQ(g_CameraToNozzle1Pulses.y, ToPulses(b.m_Y_CameraToNozzle1, kPy));
    plat::FlushProfileCache();
    BasicSettings saved;
    LoadSetBasicConfig(saved, config);
    EXPECT_EQ(FormatC("%0.4f", saved.m_X_CameraToNozzle1), FormatC("%0.4f", b.m_X_CameraToNozzle1));
    EXPECT_EQ(FormatC("%0.4f", saved.m_Y_CameraToNozzle1), FormatC("%0.4f", b.m_Y_CameraToNozzle1));
    EXPECT_FALSE(g_RunContinue.load());
    EXPECT_TRUE(HoldsNothing());
}

TEST_F(Calibration, FlyTriggerOutsideItsWindowIsRestoredAndStopsEveryHead) {
    world_.vision[0].position = {203.0, -250.0};  // the trigger would have to come late
    Machine(2);
    ASSERT_TRUE(Run(kFlyCorrect));
    EXPECT_EQ(g_FlyTrigger[0].load(), 1000);
    EXPECT_EQ(TheCameraList().Settings().m_iTriggerPulse[0], 0);
    EXPECT_EQ(TheCameraList().m_bFlyTestRunning.load(), 0);
    const auto moves = PieceMoves();
    ASSERT_EQ(moves.size(), 2u);  // head 1 put the piece back; head 2 never took it
    EXPECT_EQ(moves[1].nozzle, 1);
    ExpectVision1Served();
}

TEST_F(Calibration, FlyTestLoopOfHeadOne) {
    world_.vision[0].position = {198.5, -250.0};
    Machine(0);
    ASSERT_TRUE(Run(kPickBaseToCamera));  // the piece on nozzle 1
    BusyClaim claim = ClaimMachineAction(true);
    ASSERT_TRUE(claim);
    StartFlyTest(std::move(claim));
    ASSERT_TRUE(WaitIdle());
    EXPECT_NEAR(TheCameraList().Settings().m_iTriggerPulse[0], 150, 3);
    EXPECT_EQ(TheSetView().m_CalibSlot.load(), 1);
    ExpectVision1Served();
    ASSERT_TRUE(Run(kPlaceBase));
    EXPECT_TRUE(HoldsNothing());
}

TEST_F(Calibration, FlyTriggersOfBothHeadsAndVisionOneHandedBack) {
    world_.vision[0].position = {197.0, -250.0};  // 3 mm short of where the program has it
    Machine(2);
    ASSERT_EQ(g_HeadCount.load(), 2);
    ASSERT_EQ(g_FlyTrigger[0].load(), 1000);  // off2 = 1000, no advance yet
    ASSERT_TRUE(Run(kFlyCorrect));
    const CameraListSettings s = TheCameraList().Settings();
    EXPECT_NEAR(s.m_iTriggerPulse[0], 300, 3);
    EXPECT_NEAR(s.m_iTriggerPulse[1], 300, 3);
    EXPECT_EQ(g_FlyTrigger[0].load(), 1000 + s.m_iTriggerPulse[0]);
    EXPECT_EQ(g_FlyTrigger[1].load(), 2000 + s.m_iTriggerPulse[1]);
    EXPECT_EQ(PieceMoves().size(), 4u);
    EXPECT_TRUE(HoldsNothing());
    ExpectVision1Served();
    EXPECT_FALSE(g_RunContinue.load());
}

TEST_F(Calibration, AFailedFlyMoveHandsVisionOneBack) {
    Machine(0);
    {
        auto held = world().Lock();
        world().faults().errorCode = 0x63;
        world().faults().errorAfter = 1;
        world().faults().errorReport = 0xE4;
    }
    ASSERT_TRUE(Run(kFlyTest));
    EXPECT_EQ(boxes.Count(), 1u);
    ExpectVision1Served();
}

TEST_F(Calibration, ExitEndsARunningLoopAndASecondOperationIsRefusedMeanwhile) {
    world_.standardDiameter = 0;  // nothing to see: the scale loop tries frame after frame
    Machine(0);
    TheCameraList().m_SelectedRow = 0;
    BusyClaim claim = ClaimMachineAction(true);
    ASSERT_TRUE(claim);
    StartCameraOperation(kScaleCorrect, std::move(claim), CalibrationContext{"", config});
    ASSERT_TRUE(WaitUntil([] { return TheCameraList().m_bFlyTestRunning.load() != 0; }));
    boxes.Clear();
    EXPECT_FALSE(ClaimMachineAction(true));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Machine is runnig !"}));
    TheCameraList().m_bFlyTestRunning = 0;  // "退出"
    EXPECT_TRUE(WaitIdle());
    EXPECT_FALSE(g_RunContinue.load());
}

} // namespace
} // namespace smt::test
