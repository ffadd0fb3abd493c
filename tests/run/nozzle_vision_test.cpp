// The on-nozzle vision measurement against the simulated world: parts picked with
// known errors, measured by vision camera 1 as the world renders it, centred over
// the camera or measured in a flying pass with the board's triggers.
#include "../link/world_fixture.h"

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/part_list.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "platform/camera_sdk.h"
#include "run/nozzle_vision.h"
#include "run/run_geometry.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"
#include "settings/basic_settings.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/recognition.h"
#include "vision/set_view.h"

namespace smt::test {
namespace {

TEST(NozzleVisionRules, WindowAndAngleRangeTables) {
    // Pre-rotation: (0, 90] kept, then folded by 90, 180 and 360; the rest kept.
    for (const auto& [in, out] : {std::pair{100.0, 10.0}, {350.0, -10.0}, {180.0, 0.0}, {0.0, 0.0}, {90.0, 90.0},
                                  {45.0, 45.0}, {179.5, 89.5}, {270.0, -90.0}, {360.0, 0.0}, {-30.0, -30.0},
                                  {400.0, 400.0}}) {
        EXPECT_DOUBLE_EQ(PlaceAngleInRange(in), out) << in;
    }
    // Window: the part's larger side plus the margin within the camera's size, else the
    // camera's size; x 1.4 off the right angles.
    const struct {
        double length, width, angle, margin, visualSize, window;
    } windows[] = {
        {2.0, 1.25, 0.0, 4.0, 10.0, 6.0},   {1.25, 2.0, 90.0, 4.0, 10.0, 6.0},  {2.0, 1.25, 45.0, 4.0, 10.0, 6.0 * 1.4},
        {8.0, 3.0, 180.0, 4.0, 10.0, 10.0}, {8.0, 3.0, 270.0, 2.0, 10.0, 10.0}, {6.0, 3.0, 30.0, 4.0, 10.0, 14.0},
        {0.0, 0.0, 0.0, 0.0, 10.0, 10.0},   {2.0, 1.0, 0.5, 4.0, 10.0, 6.0 * 1.4},
    };
    for (const auto& w : windows) {
        EXPECT_DOUBLE_EQ(VisionWindowMm(w.length, w.width, w.angle, w.margin, w.visualSize), w.window)
            << w.length << " x " << w.width << " at " << w.angle;
    }
}

// True and program factors: 100 pulses per mm in X, 80 in Y, 10 per degree. Nozzle k
// sits 20 mm left of nozzle 1 per head and off it in Y by a head's own amount;
// vision camera 1 looks up at (200, -250) mm with 20 pixels per mm on 640 x 480,
// so only the nozzle over it is in view.
constexpr double kPx = 100, kPy = 80, kPa = 10;
const sim::Vec kCamera{200.0, -250.0};
const sim::Vec kNozzle[3] = {{0, 0}, {-20.0, 0.6}, {-40.0, -0.9}};
// Each head's correction of the camera record (pulses): X and Y differ per head.
constexpr std::int32_t kHeadX[2] = {7, -11}, kHeadY[2] = {-5, 13};
// Fly correction in Y per head (mm).
constexpr double kFlyY[2] = {0.05, -0.1};

class NozzleVisionOnWorld : public WorldSimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void TearDown() override {
        if (HasFailure()) {
            std::lock_guard lock(traceMutex);
            for (const auto& t : trace) std::printf("trace: %s\n", t.c_str());
        }
        TheCameraService().Shutdown();
        plat::SetCameraBackend(nullptr);
        TheSetViewSources().flyMeasure = nullptr;
        TheCameraService().hooks().flyMeasure = nullptr;
        TheCameraList().SetSettings({});
        TheCameraList().RefreshRecordAt(0, CameraCells{}, kPx, kPy);
        ThePartList().DeleteAllRows(JobList::Part);
        g_NozzleWork = {};
        for (auto& r : g_RotationTarget) r = 0;
        g_HighSpeedCamera = 0;
        g_VisualCamera1On = false;
        g_FlyCameraOn = false;
        g_CurrentCamera = 0;
        g_HeadCount = 0;
        g_MachineType = 0;
        g_RunContinue = false;
        g_Homed = false;
        SetTraceSink(nullptr);
        WorldSimTest::TearDown();
    }

    bool Serial() const { return GetParam() == Wire::Serial; }

    // The machine with parts whose pick errors are (x, y mm, angle deg) per pick, in turn.
    void Machine(const std::vector<std::array<double, 3>>& pickErrors, int correctionTimes = 6, int type = 0) {
        // The double-table type's head moves in X only: the cameras see a nozzle at its Y offset.
        camera = type == 4 ? sim::Vec{kCamera.x, 0.0} : kCamera;
        sim::Scenario s = sim::Scenario::Default();
        s.pulsesX = kPx;
        s.pulsesY = kPy;
        s.pulsesA = kPa;
        s.nozzleOffset[1] = kNozzle[1];
        s.nozzleOffset[2] = kNozzle[2];
        s.vision[0].position = camera;
        s.vision[0].width = 640;
        s.vision[0].height = 480;
        s.feeders[0].script = pickErrors;
        s.feeders[0].count = 20;
        StartWorld(type, s, Serial(), !Serial(), true);
        ResetCommandWorld(Serial());
        g_MachineType = type;
        ThePulseFactors().m_X_Pulse = kPx;
        ThePulseFactors().m_Y_Pulse = kPy;
        ThePulseFactors().m_A_Pulse = kPa;
        g_PulsesPerMmX = kPx;
        g_PulsesPerMmY = kPy;
        for (int k = 1; k < 3; ++k)
            g_NozzleToNozzle1Pulses[static_cast<std::size_t>(k)] = {ToPulses(kNozzle[k].x, kPx),
                                                                    ToPulses(kNozzle[k].y, kPy)};
        ConnectToWorld(Serial());
        if (HasFatalFailure()) return;
        g_RunContinue = true;
        g_hRunPauseGate.Set();
        SetTraceSink([this](const std::string& text, bool) {
            std::lock_guard lock(traceMutex);
            trace.push_back(text);
        });

        // The program's side of the cameras, as the vision wiring fills it.
        CommandPanelPort& c = TheCommandPanel();
        c.setCurrentCamera = [](int camera) { g_CurrentCamera = camera; };
        c.highSpeedCamera = [] { return g_HighSpeedCamera == 1; };
        c.switchCameraStreams = [](int camera, int mode) { TheCameraService().SwitchToCamera(camera, mode); };
        c.flyFrameEvent = [] { return &TheCameraService().m_hFlyDoneEvent; };
        TheSetViewSources().flyMeasure = [](int nozzle, const cv::Mat& frame) { MeasurePartInFrame(frame, nozzle); };
        // The camera panel hands the service's fly frames to that call-out.
        TheCameraService().hooks().flyMeasure = [](int nozzle, const cv::Mat& frame) {
            if (const auto& f = TheSetViewSources().flyMeasure) f(nozzle, frame);
        };
        g_PanelLink.zCheckMask = 3;  // both rockers in the middle, as the board reports them
        g_HighSpeedCamera = 1;
        g_VisualCamera1On = true;
        g_FlyCameraOn = true;
        ASSERT_TRUE(TheCameraService().InitCameras());
        ASSERT_TRUE(TheCameraService().IsCameraPresent(kVisionCamera1));
        g_CurrentCamera = kVisionCamera1;

        CameraCells cells{};
        cells[0] = kCamera1Name;
        cells[1] = "200";
        cells[2] = FormatC("%0.4f", camera.y);
        for (int h = 0; h < 2; ++h) {
            cells[static_cast<std::size_t>(3 + 2 * h)] = FormatC("%0.4f", kHeadX[h] / kPx);
            cells[static_cast<std::size_t>(4 + 2 * h)] = FormatC("%0.4f", kHeadY[h] / kPy);
        }
        cells[20] = "20";
        cells[21] = "10";
        cells[24] = std::to_string(correctionTimes);
        cells[25] = "2";   // XY precision, pulses
        cells[26] = "3";   // A precision, pulses
        cells[27] = "150";  // ms for the head to settle before a frame
        TheCameraList().RefreshRecordAt(0, cells, kPx, kPy);
        ASSERT_EQ(TheCameraList().First().CorrectionPulse_X[1], kHeadX[1]);
        CameraListSettings cs;
        cs.m_iFlyStartSpeed = 12;
        cs.m_iFlyNormalSpeed = 120;
        cs.m_dFlyCorrect_Y = {kFlyY[0], kFlyY[1]};
        TheCameraList().SetSettings(cs);
        TheBasicSettings().m_AutoMagnify = 4.0;

        // One placement row per head to carry the icons.
        std::vector<JobRow> rows;
        for (int n = 0; n < 2; ++n) {
            JobRow row(kPartCells);
            row.cells[partcell::X] = n == 0 ? "12.5" : "30.25";
            row.cells[partcell::Y] = n == 0 ? "8.75" : "-4.5";
            rows.push_back(row);
        }
        ThePartList().SetRows(JobList::Part, rows);
    }

    static PlacementRecord Record(int head, int visionKind) {
        PlacementRecord r;
        r.head = head;
        r.jobRow = head - 1;
        r.partLength = 2.0;
        r.partWidth = 1.25;
        r.flyValue1 = 128;
        r.flyValue2 = 100;
        r.visionCamera = 1;
        r.visionKind = visionKind;
        r.visionType = 1;
        for (int i = 0; i < kSpeedBlockValues; ++i) r.speeds[static_cast<std::size_t>(i)] = 10 + i;
        return r;
    }

    void MoveTo(std::int32_t x, std::int32_t y) {
        ASSERT_TRUE(MoveXYA({{x - g_PulseX, {10, 100}, y - g_PulseY, {10, 100}}, 1, 0, 0, 0, 0}));
    }
    // Nozzle `head` picks a part from feeder 1 (50, -20) mm.
    void Pick(int head) {
        const sim::Vec at{50.0 - kNozzle[head - 1].x, -20.0 - kNozzle[head - 1].y};
        MoveTo(ToPulses(at.x, kPx), ToPulses(at.y, kPy));
        ASSERT_TRUE(PickStroke({2, head == 1 ? 500 : -500, {8, 80}, 1, 100, 0}));
        ASSERT_TRUE(world().Holds(head));
    }
    // Where the head stands with nozzle `head` over the camera (pulses).
    std::pair<std::int32_t, std::int32_t> OverCamera(int head) const {
        return {ToPulses(camera.x - kNozzle[head - 1].x, kPx), ToPulses(camera.y - kNozzle[head - 1].y, kPy)};
    }
    int VisualLines() {
        std::lock_guard lock(traceMutex);
        int n = 0;
        for (const auto& t : trace) n += t.rfind("Visual: X = ", 0) == 0;
        return n;
    }
    // The part on the nozzle over the camera as the camera sees it now (mm, deg).
    std::tuple<double, double, double> Seen() {
        TheCameraService().GrabFrame(kVisionCamera1);
        const auto frame = TheCameraService().GrabFrame(kVisionCamera1);
        EXPECT_TRUE(frame);
        double x = 99, y = 99, a = 99;
        ComponentBox box;
        struct : VisionResultSink {
            void Publish(int, cv::Mat) override {}
        } sink;
        if (frame) FindComponent(1, x, false, box, *frame, 128, 1, y, a, 0, 6.0, 20.0, 0.0, &sink);
        return {x, y, a};
    }

    sim::Vec camera = kCamera;
    std::mutex traceMutex;
    std::vector<std::string> trace;
};

TEST_P(NozzleVisionOnWorld, CentringConvergesAndTheCorrectionIsTheMovesPlusTheHeadCorrection) {
    Machine({{0.4, -0.3, 2.5}, {-0.35, 0.25, -1.5}});
    if (HasFatalFailure()) return;
    for (int head : {1, 2}) {
        SCOPED_TRACE(head);
        Pick(head);
        if (HasFatalFailure()) return;
        const auto [cx, cy] = OverCamera(head);
        MoveTo(cx, cy);
        const std::int32_t x0 = g_PulseX, y0 = g_PulseY;
        PlacementRecord r = Record(head, 1);
        r.visionFailed = 1;
        const int moves = Count(0x64);
        ASSERT_TRUE(MeasurePartOnNozzle(r, false));
        EXPECT_EQ(r.visionFailed, 0);
        EXPECT_GT(Count(0x64), moves);  // moved at least once
        // The correction is what the passes moved plus the head's correction.
        EXPECT_EQ(r.correctionX, g_PulseX - x0 + kHeadX[head - 1]);
        EXPECT_EQ(r.correctionY, g_PulseY - y0 + kHeadY[head - 1]);
        // The head moved by about minus the pick error (the error turned a little with the part).
        const double ex = head == 1 ? 0.4 : -0.35, ey = head == 1 ? -0.3 : 0.25;
        EXPECT_NEAR((g_PulseX - x0) / kPx, -ex, 0.03);
        EXPECT_NEAR((g_PulseY - y0) / kPy, -ey, 0.03);
        // The part now sits centred and square over the camera.
        const auto [x, y, a] = Seen();
        EXPECT_NEAR(x, 0.0, 0.03);
        EXPECT_NEAR(y, 0.0, 0.03);
        EXPECT_NEAR(a, 0.0, 0.4);
        ExpectCountersAtMachine();
    }
}

TEST_P(NozzleVisionOnWorld, NoPassesPrecisionFallbackAndAFlyingRecordOverTheCamera) {
    Machine({{0.4, -0.3, 2.5}}, 0);
    if (HasFatalFailure()) return;
    Pick(1);
    if (HasFatalFailure()) return;
    const auto [cx, cy] = OverCamera(1);
    MoveTo(cx, cy);
    // CorrectionTimes 0: no frame, failed at once, the row marked.
    PlacementRecord r = Record(1, 1);
    const int moves = Count(0x64);
    ASSERT_TRUE(MeasurePartOnNozzle(r, false));
    EXPECT_EQ(r.visionFailed, 1);
    EXPECT_EQ(VisualLines(), 0);
    EXPECT_EQ(ThePartList().Row(JobList::Part, 0)->Icon(0), 8);

    // A camera precision wide enough for the error: the record's -1 takes it, no move.
    CameraCells cells{};
    cells[0] = kCamera1Name;
    cells[20] = "20";
    cells[21] = "10";
    cells[24] = "4";
    cells[25] = "1000";
    cells[26] = "1000";
    TheCameraList().RefreshRecordAt(0, cells, kPx, kPy);
    r = Record(1, 1);
    ASSERT_TRUE(MeasurePartOnNozzle(r, false));
    EXPECT_EQ(r.visionFailed, 0);
    EXPECT_EQ(Count(0x64), moves);
    EXPECT_EQ(VisualLines(), 1);
    // Within the precision at once: nothing moved, so nothing but the head's (here 0)
    // correction; the remainder is within what the camera's precision lets pass.
    EXPECT_EQ(std::pair(r.correctionX, r.correctionY), std::pair(0, 0));
    // The record's own 0: only an exact centre will do, so it moves.
    r = Record(1, 1);
    r.precisionXY = 0;
    r.precisionA = 0;
    ASSERT_TRUE(MeasurePartOnNozzle(r, false));
    EXPECT_GT(Count(0x64), moves);
    const int moved = Count(0x64);
    // A flying record over the camera is measured once and never moved.
    r = Record(1, 2);
    const int lines = VisualLines();
    ASSERT_TRUE(MeasurePartOnNozzle(r, false));
    EXPECT_EQ(VisualLines(), lines + 1);
    EXPECT_EQ(Count(0x64), moved);
    EXPECT_EQ(r.visionFailed, 0);
    // A stop while passing: false, the failure flag cleared.
    world().Lock(), world().faults().blackFrames = 100;
    g_RunContinue = false;
    r = Record(1, 1);
    r.visionFailed = 1;
    EXPECT_FALSE(MeasurePartOnNozzle(r, false));
    EXPECT_EQ(r.visionFailed, 0);
}

// Automatic threshold on the world's noisy dark frames: an empty nozzle's window of
// noise and a part of another package are failed recognitions (icon 8, no
// correction, nothing moved), the package's own part is measured.
TEST_P(NozzleVisionOnWorld, OnlyABodyOfThePackagesSizeIsThePart) {
    Machine({{0.3, -0.2, 1.5}});
    if (HasFatalFailure()) return;
    const auto [cx, cy] = OverCamera(1);
    MoveTo(cx, cy);
    const int moves = Count(0x64);
    auto measure = [](double length, double width) {
        PlacementRecord r = Record(1, 1);
        r.flyValue1 = 0;
        r.partLength = length, r.partWidth = width;
        EXPECT_TRUE(MeasurePartOnNozzle(r, false));
        return r;
    };
    PlacementRecord r = measure(2.0, 1.25);
    EXPECT_EQ(r.visionFailed, 1) << "empty nozzle";
    EXPECT_EQ(std::pair(r.correctionX, r.correctionY), std::pair(0, 0));
    EXPECT_EQ(ThePartList().Row(JobList::Part, 0)->Icon(0), 8);
    EXPECT_EQ(VisualLines(), 0);
    EXPECT_EQ(Count(0x64), moves);

    Pick(1);
    if (HasFatalFailure()) return;
    MoveTo(cx, cy);
    const int before = Count(0x64);
    // The 2.0 x 1.25 chip against a 7 x 7 package and a 1.0 x 0.5 one.
    for (const auto& [length, width] : {std::pair{7.0, 7.0}, std::pair{1.0, 0.5}}) {
        r = measure(length, width);
        EXPECT_EQ(r.visionFailed, 1) << length << " x " << width;
    }
    EXPECT_EQ(VisualLines(), 0);
    EXPECT_EQ(Count(0x64), before);
    // Its own package, either way round.
    r = measure(1.25, 2.0);
    EXPECT_EQ(r.visionFailed, 0);
    EXPECT_GT(VisualLines(), 0);
    EXPECT_NEAR(r.correctionX - kHeadX[0], -0.3 * kPx, 4);
}

// The flying pass: head 1 over the camera at trigger 1, head 2 at trigger 2.
class FlyingOnWorld : public NozzleVisionOnWorld {
protected:
    void Geometry() {
        g_HeadCount = 2;
        const std::int32_t start = ToPulses(kCamera.x + 30.0, kPx);
        g_FlyStartX = start;
        g_FlyStartY = ToPulses(kCamera.y - kNozzle[0].y, kPy);
        g_FlyEndX = ToPulses(kCamera.x - 70.0, kPx);
        g_FlyEndY = g_FlyStartY.load();
        for (int k = 0; k < 8; ++k) {
            const double nozzleX = k < 3 ? kNozzle[k].x : -20.0 * k;
            g_FlyTrigger[static_cast<std::size_t>(k)] = start - ToPulses(kCamera.x - nozzleX, kPx);
        }
        for (int head : {1, 2}) {
            PlacementRecord r = Record(head, 2);
            r.visionFailed = 0;
            g_NozzleWork[static_cast<std::size_t>(head - 1)] = r;
        }
        // The heads pass the camera one after another: a frame per trigger, spaced
        // (the simulator fires a pass's triggers at once). The grab takes the newest
        // frame, so the spacing leaves a loaded test host time to take each one.
        sim->cameras()->ByRole(sim::CameraRole::Vision1)->SetSlowMs(300);
    }
    void TearDown() override {
        g_FlyStartX = g_FlyStartY = g_FlyEndX = g_FlyEndY = 0;
        for (auto& t : g_FlyTrigger) t = 0;
        NozzleVisionOnWorld::TearDown();
    }
};

TEST_P(FlyingOnWorld, TheTriggersGiveEachHeadItsCorrection) {
    Machine({{0.4, -0.3, 2.5}, {-0.35, 0.25, -1.5}});
    if (HasFatalFailure()) return;
    Pick(1);
    Pick(2);
    if (HasFatalFailure()) return;
    Geometry();
    ASSERT_TRUE(FlyVisionPlace(g_NozzleWork[0], false, 0.0, 0.0));
    EXPECT_EQ(g_PulseX.load(), g_FlyEndX.load());
    EXPECT_EQ(TheCameraService().TriggerMode(kVisionCamera1), 0);  // free running again
    EXPECT_TRUE(g_Connected);
    const auto work = CopyNozzleWork();
    for (int head : {1, 2}) {
        SCOPED_TRACE(head);
        const PlacementRecord& r = work[static_cast<std::size_t>(head - 1)];
        EXPECT_EQ(r.visionFailed, 0);
        // Part centre from the camera: the pick error, plus nozzle 2's Y offset from
        // nozzle 1 (the pass runs at nozzle 1's Y).
        const double ex = head == 1 ? 0.4 : -0.35;
        const double ey = (head == 1 ? -0.3 : 0.25) + kNozzle[head - 1].y - kNozzle[0].y;
        EXPECT_NEAR(r.correctionX, -ex * kPx + kHeadX[head - 1], 3);
        EXPECT_NEAR(r.correctionY, -ey * kPy + ToPulses(kFlyY[head - 1], kPy), 3);
        EXPECT_NEAR(r.correctionA, (head == 1 ? -2.5 : 1.5) * kPa, 4);
    }
}

TEST_P(FlyingOnWorld, ALostTriggerLeavesItsPartFailedWithTheLinkUp) {
    Machine({{0.4, -0.3, 2.5}, {-0.35, 0.25, -1.5}});
    if (HasFatalFailure()) return;
    Pick(1);
    Pick(2);
    if (HasFatalFailure()) return;
    Geometry();
    world().Lock(), world().faults().lostTriggers = 1;
    SetWaitLimitOverride(WaitKind::FlyFrames, plat::Millis(2000));  // the missing frame never comes
    ASSERT_TRUE(FlyVisionPlace(g_NozzleWork[0], false, 0.0, 0.0));
    EXPECT_TRUE(g_Connected);
    EXPECT_EQ(boxes.Count(), 0u);
    const auto work = CopyNozzleWork();
    // The first trigger was lost, so the one frame that came went to head 1 although
    // it showed head 2's part: after a lost frame no measurement of the pass holds,
    // and every flying part is left to the operator's question.
    for (int head : {1, 2}) {
        EXPECT_EQ(work[static_cast<std::size_t>(head - 1)].visionFailed, 1) << head;
        EXPECT_EQ(ThePartList().Row(JobList::Part, head - 1)->Icon(0), 8) << head;
    }
    {
        std::lock_guard lock(traceMutex);
        EXPECT_NE(std::find(trace.begin(), trace.end(), CommandCaption(0x63) + "->frames incomplete"), trace.end());
    }
    // The link still works.
    MoveTo(g_PulseX + 100, g_PulseY);

    // No heads to pass with: refused before anything moves, the flying parts failed.
    Geometry();
    g_HeadCount = 0;
    const std::size_t frames = machine().Frames().size();
    EXPECT_FALSE(FlyVisionPlace(g_NozzleWork[0], Serial() ? false : true, 0.0, 0.0));
    EXPECT_EQ(machine().Frames().size(), frames);
    const auto refused = CopyNozzleWork();
    EXPECT_EQ(refused[0].visionFailed, 1);
    EXPECT_EQ(refused[1].visionFailed, 1);
}

// The pass with head 1 holding the chip and head 2 empty, automatic threshold: the
// empty nozzle is a failed recognition, the chip is measured; the same chip against
// another package's size fails too.
TEST_P(FlyingOnWorld, AnEmptyNozzleOrAnotherPackageIsNoPart) {
    Machine({{0.4, -0.3, 2.5}});
    if (HasFatalFailure()) return;
    Pick(1);
    if (HasFatalFailure()) return;
    for (const double length : {2.0, 7.0}) {
        SCOPED_TRACE(length);
        Geometry();
        for (int head : {1, 2}) {
            g_NozzleWork[static_cast<std::size_t>(head - 1)].flyValue1 = 0;
            g_NozzleWork[static_cast<std::size_t>(head - 1)].partLength = length;
        }
        ASSERT_TRUE(FlyVisionPlace(g_NozzleWork[0], false, 0.0, 0.0));
        const auto work = CopyNozzleWork();
        EXPECT_EQ(work[0].visionFailed, length == 2.0 ? 0 : 1);
        EXPECT_EQ(work[1].visionFailed, 1);
        EXPECT_EQ(std::pair(work[1].correctionX, work[1].correctionY), std::pair(0, 0));
        if (length == 2.0) EXPECT_NEAR(work[0].correctionX, -0.4 * kPx + kHeadX[0], 3);
    }
}

// The frame bytes of the pass on both links: twelve triggers, 9 to 12 zero.
TEST_P(FlyingOnWorld, TheFlyCommandCarriesEightTriggersAndFourZeros) {
    Machine({});
    if (HasFatalFailure()) return;
    Geometry();
    for (int k = 0; k < 8; ++k) g_FlyTrigger[static_cast<std::size_t>(k)] = 0x0101 * (k + 1);
    g_RotationTarget[0] = 30;
    g_RotationTarget[1] = -40;
    ASSERT_TRUE(FlyVisionPlace(g_NozzleWork[0], false, 0.0, 0.0));
    const auto fly = FramesOf(0x63);
    ASSERT_EQ(fly.size(), 1u);
    const auto& d = fly[0].data;
    const std::int32_t dX = g_FlyEndX - g_FlyStartX;
    std::string want;
    if (Serial()) {
        // 01 00 heads, X as sign and magnitude (big-endian), the two speeds, 12 x 16-bit, 02.
        const std::uint32_t mag = static_cast<std::uint32_t>(-dX) | 0x80000000u;
        want = FormatC("01 00 02 %02X %02X %02X %02X 0C 78", mag >> 24, (mag >> 16) & 0xFF, (mag >> 8) & 0xFF, mag & 0xFF);
        for (int k = 0; k < 12; ++k) want += k < 8 ? FormatC(" %02X %02X", k + 1, k + 1) : " 00 00";
        want += " 02";
    } else {
        const auto le = [](std::int32_t v) {
            const auto u = static_cast<std::uint32_t>(v);
            return FormatC(" %02X %02X %02X %02X", u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF, u >> 24);
        };
        want = "01 00 02" + le(g_FlyStartX) + le(dX) + le(12) + le(120);
        for (int k = 0; k < 12; ++k) want += le(k < 8 ? 0x0101 * (k + 1) : 0);
        want += " 02";
    }
    EXPECT_EQ(HexOf(d), want);
    // The move to the start turned the nozzles by their pending rotation at the pass's speeds.
    const auto multi = FramesOf(0x65);
    ASSERT_EQ(multi.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(BothLinks, NozzleVisionOnWorld, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);
INSTANTIATE_TEST_SUITE_P(BothLinks, FlyingOnWorld, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

// 0x73 (Ethernet): the move to the start, the pass and the move to the place point
// in one payload, at its offsets.
class MoveAndFlyOnWorld : public FlyingOnWorld {};

TEST_P(MoveAndFlyOnWorld, ThePayloadCarriesThePassAndThePlacePoint) {
    Machine({{0.4, -0.3, 2.5}, {-0.35, 0.25, -1.5}});
    if (HasFatalFailure()) return;
    Pick(1);
    Pick(2);
    if (HasFatalFailure()) return;
    Geometry();
    g_RotationTarget[1] = -40;
    const std::int32_t x0 = g_PulseX, y0 = g_PulseY;
    const PulsePoint cellMark1{ToPulses(105.0, kPx), ToPulses(-195.0, kPy)};
    // Head 2 places row 2 (30.25, -4.5) mm offset by (1.5, -2.0).
    ASSERT_TRUE(FlyVisionPlace(g_NozzleWork[1], true, 1.5, -2.0, cellMark1));
    const auto frames = FramesOf(0x73);
    ASSERT_EQ(frames.size(), 1u);
    const auto& d = frames[0].data;
    ASSERT_EQ(d.size(), 130u);
    const auto i32 = [&d](std::size_t at) {
        return static_cast<std::int32_t>(d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<std::uint32_t>(d[at + 3]) << 24);
    };
    const std::int32_t placeX = ToPulses(30.25 + 1.5, kPx) - g_FlyEndX + cellMark1.x - ToPulses(kNozzle[1].x, kPx);
    const std::int32_t placeY = ToPulses(-4.5 - 2.0, kPy) - g_FlyEndY + cellMark1.y - ToPulses(kNozzle[1].y, kPy);
    const std::tuple<std::size_t, std::int32_t, const char*> fields[] = {
        {0, x0, "current X"},         {4, y0, "current Y"},
        {9, g_FlyStartX - x0, "to start X"}, {13, g_FlyStartY - y0, "to start Y"},
        {17, 10 + 12, "speed 12"},    {21, 10 + 13, "speed 13"},
        {26, 0, "rotation 1"},        {30, -40, "rotation 2"},
        {58, 10 + 28, "speed 28"},    {62, 10 + 29, "speed 29"},
        {69, g_FlyEndX - g_FlyStartX, "fly length"},
        {73, 12, "fly start speed"},  {77, 120, "fly speed"},
        {81, g_FlyTrigger[0], "trigger 1"}, {85, g_FlyTrigger[1], "trigger 2"},
        {109, g_FlyTrigger[7], "trigger 8"},
        {114, placeX, "place X"},     {118, placeY, "place Y"},
        {122, 10 + 12, "speed 12 again"}, {126, 10 + 13, "speed 13 again"},
    };
    for (const auto& [at, value, name] : fields) EXPECT_EQ(i32(at), value) << name;
    EXPECT_EQ(std::tuple(d[8], d[25], d[66], d[67], d[68], d[113]), std::tuple(0x80, 0, 1, 1, 2, 2));
    // Both parts measured on the way.
    const auto work = CopyNozzleWork();
    EXPECT_EQ(work[0].visionFailed, 0);
    EXPECT_EQ(work[1].visionFailed, 0);
    EXPECT_NEAR(work[1].correctionX, 0.35 * kPx + kHeadX[1], 3);
}

INSTANTIATE_TEST_SUITE_P(Ethernet, MoveAndFlyOnWorld, ::testing::Values(Wire::Ethernet), WireName);

// The lamp-table pair (type 4, serial): true means stopped; the vacuum is read
// afresh before it is compared.
class TablePairOnWorld : public NozzleVisionOnWorld {};

TEST_P(TablePairOnWorld, AFreshVacuumReadingAndTrueForAStop) {
    Machine({{0.3, 0.2, 1.5}}, 6, 4);
    if (HasFatalFailure()) return;
    PlacementRecord r = Record(1, 2);
    r.head = 0;  // the lamp run's head value: nozzle 1
    r.vacuum = 50;
    // Nothing on the nozzle, but a good reading left from an earlier place: the fresh
    // reading fails the part, and the run goes on.
    g_VacuumReading = 90;
    EXPECT_FALSE(MoveOverCameraOnTable(r, 1));
    EXPECT_EQ(FramesOf(0x15).size(), 1u);
    EXPECT_EQ(FramesOf(0x54).size(), 1u);
    EXPECT_LT(g_VacuumReading.load(), 50);
    EXPECT_EQ(r.visionFailed, 1);
    EXPECT_EQ(VisualLines(), 0);
    EXPECT_EQ(g_PulseX.load(), ToPulses(camera.x, kPx));

    // A part on the nozzle: read, measured once, its correction stored.
    Pick(1);
    if (HasFatalFailure()) return;
    r = Record(1, 2);
    r.head = 0;
    r.vacuum = 50;
    r.visionFailed = 1;
    g_VacuumReading = 0;
    EXPECT_FALSE(MoveOverCameraOnTable(r, 1));
    EXPECT_EQ(FramesOf(0x15).size(), 2u);
    EXPECT_EQ(r.visionFailed, 0);
    EXPECT_EQ(VisualLines(), 1);
    EXPECT_NEAR(r.correctionX, -0.3 * kPx + kHeadX[0], 3);
    EXPECT_NEAR(r.correctionY, -0.2 * kPy + kHeadY[0], 3);
    EXPECT_NEAR(r.correctionA, -1.5 * kPa, 4);

    // Stopped: true from both.
    g_RunContinue = false;
    r = Record(1, 2);
    r.head = 0;
    EXPECT_TRUE(MeasurePartOnTable(r));
    EXPECT_TRUE(MoveOverCameraOnTable(r, 1));
    g_RunContinue = true;
    EXPECT_FALSE(MeasurePartOnTable(r));
    // Without the camera: the part list's message, and the run stops.
    TheCameraService().Shutdown();
    g_VisualCamera1On = false;
    boxes.Clear();
    EXPECT_TRUE(MeasurePartOnTable(r));
    EXPECT_EQ(boxes.Count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Serial, TablePairOnWorld, ::testing::Values(Wire::Serial), WireName);

} // namespace
} // namespace smt::test
