// The calibration procedures on the machine the program ships: the start folder
// res/ (config.ini, the camera table) and the default world (sim/default.scenario),
// which agree. Each procedure starts from a value the operator got wrong and must
// store the world's true value: the vision camera's scale and position, the mark
// camera's offset from nozzle 1, the second nozzle's offset and the heads' fly
// triggers.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "calibration_world.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "joblist/pcb_editor.h"
#include "joblist/run_toolbar.h"
#include "link/busy.h"
#include "link/positioning.h"
#include "platform/camera_sdk.h"
#include "platform/profile.h"
#include "run/camera_calibration.h"
#include "run/run_geometry.h"
#include "run_state/run_events.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/set_view.h"

namespace smt::test {
namespace {

const std::string kRes = SMT_SOURCE_DIR "/res";

class ShippedCalibration : public CalibrationWorld {
protected:
    void SetUp() override {
        WorldSimTest::SetUp();
        std::string error;
        ASSERT_TRUE(sim::Scenario::Load(SMT_SOURCE_DIR "/sim/default.scenario", &world_, &error)) << error;
        // The start folder's config.ini is written by the mark camera's calibration:
        // a copy of it.
        config = dir.File("config.ini");
        std::filesystem::copy_file(kRes + "/config.ini", config);
        plat::FlushProfileCache();
        LoadSetBasicConfig(basic, config);
        LoadSetPulseConfig(pulses, config);
        LoadPcbEditConfig(pcb, config);
        FigLists lists;
        TableFileError tableError;
        ASSERT_TRUE(LoadFigLists(kRes, lists, tableError)) << tableError.file << ": " << tableError.reason;
        rows = ParseCameraRows(lists.camera);
        ASSERT_EQ(rows.size(), 2u);
    }
    void TearDown() override {
        TheCameraList().m_bFlyTestRunning = 0;
        WaitIdle();
        TheCameraService().Shutdown();
        TheCameraService().hooks() = {};
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

    // The shipped machine of `type` on its serial link with the world's cameras,
    // the program holding the start folder's settings and camera table (after the
    // test's wrong values), as the program's start-up loads them.
    void Machine(int type) {
        g_MachineType = type;
        StartWorld(type, world_, true, false, true);
        ResetCommandWorld(true);
        TheBasicSettings() = basic;
        TheBasicSettings().m_CommModel = 0;
        static_cast<PulseFactors&>(ThePulseSettings()) = pulses;
        g_PulsesPerMmX = pulses.m_X_Pulse, g_PulsesPerMmY = pulses.m_Y_Pulse, g_PulsesPerMmZ = pulses.m_Z_Pulse;
        const BasicSettings& b = TheBasicSettings();
        g_CameraToNozzle1Pulses = {ToPulses(b.m_X_CameraToNozzle1, pulses.m_X_Pulse),
                                   ToPulses(b.m_Y_CameraToNozzle1, pulses.m_Y_Pulse)};
        for (int n = 1; n < 8; ++n) {
            const PointMm o = NozzleOffset(b, n + 1);
            g_NozzleToNozzle1Pulses[n] = {ToPulses(o.x, pulses.m_X_Pulse), ToPulses(o.y, pulses.m_Y_Pulse)};
        }
        SetMoveLimits({static_cast<std::int32_t>(b.m_X_Limit * pulses.m_X_Pulse),
                       static_cast<std::int32_t>(b.m_Y_Limit * pulses.m_Y_Pulse), 400000, 300000});

        // The section as start-up reads it, then the records of the rows as the
        // operator's Modify left them.
        CameraList& list = TheCameraList();
        list.LoadConfig(config);
        list.SetRows(rows);
        list.UpdateActiveCameras(rows, pulses.m_X_Pulse, pulses.m_Y_Pulse);
        UpdateHeadOffsets();

        const PcbEditFields fields = pcb;
        TheRunToolbarPort().pcbEditFields = [fields] { return fields; };
        CameraHooks();
        // The fly frame thread runs as the folder's camera switches ask.
        ConnectAndOpenCameras(list.Settings().m_FlyCamera != 0);
    }

    // Operation `op` on camera row `row`, started as the dialog starts it.
    bool Run(int op, int row = 0) {
        TheCameraList().m_SelectedRow = row;
        BusyClaim claim = ClaimMachineAction(true);
        if (!claim) return false;
        CalibrationContext context;
        context.noRotationAxis = "head %d turns not";
        context.oneNozzle = "one nozzle";
        context.configPath = config;
        StartCameraOperation(op, std::move(claim), context);
        return WaitIdle();
    }
    // Row `row` of the program's table told another place and scale.
    void TellCamera(std::size_t row, double x, double y, double scale) {
        rows[row][1] = FormatC("%0.4f", x);
        rows[row][2] = FormatC("%0.4f", y);
        rows[row][20] = FormatC("%0.2f", scale);
    }
    bool PieceBackAndNothingHeld() {
        for (int n = 1; n <= 8; ++n)
            if (world().Holds(n)) return false;
        const sim::Vec at = world().GetScenario().standardBase;  // where it lies now
        return std::hypot(at.x - world_.standardBase.x, at.y - world_.standardBase.y) < 1.0;
    }

    sim::Scenario world_;
    std::string config;
    BasicSettings basic;
    PulseFactors pulses;
    PcbEditFields pcb;
    std::vector<CameraCells> rows;
};

// Vision camera 2, told 7 % too few pixels per mm.
TEST_F(ShippedCalibration, ScaleOfVisionCameraTwoFromAWrongOne) {
    const double truth = world_.vision[1].pixelsPerMm;
    TellCamera(1, AtoF(rows[1][1]), AtoF(rows[1][2]), truth * 0.93);
    Machine(0);
    if (HasFatalFailure()) return;
    ASSERT_NEAR(TheCameraList().Second().VisualZoom, truth * 0.93, 0.01);
    ASSERT_TRUE(Run(kScaleCorrect, 1));
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    EXPECT_NEAR(AtoF(TheCameraList().Rows()[1][20]), truth, truth * 0.01);
    EXPECT_NEAR(TheCameraList().Second().VisualZoom, truth, truth * 0.01);
    EXPECT_TRUE(PieceBackAndNothingHeld());
}

TEST_F(ShippedCalibration, PositionOfVisionCameraOneFromAWrongOne) {
    const sim::Vec truth = world_.vision[0].position;
    TellCamera(0, truth.x + 0.8, truth.y - 0.5, world_.vision[0].pixelsPerMm);
    Machine(0);
    if (HasFatalFailure()) return;
    ASSERT_EQ(TheCameraList().First().CameraPulse_X, ToPulses(truth.x + 0.8, pulses.m_X_Pulse));
    ASSERT_TRUE(Run(kPositionCorrect));
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    const auto stored = TheCameraList().Rows();
    EXPECT_NEAR(AtoF(stored[0][1]), truth.x, 0.06);
    EXPECT_NEAR(AtoF(stored[0][2]), truth.y, 0.06);
    EXPECT_EQ(TheCameraList().First().CameraPulse_X, ToPulses(AtoF(stored[0][1]), pulses.m_X_Pulse));
    EXPECT_EQ(TheCameraList().First().CameraPulse_Y, ToPulses(AtoF(stored[0][2]), pulses.m_Y_Pulse));
    EXPECT_TRUE(PieceBackAndNothingHeld());
}

// The mark camera finds the piece with the PCB editor's Mark window and size,
// which the operator sets to the piece for this calibration.
TEST_F(ShippedCalibration, MarkCameraOffsetFromAWrongOneIsSaved) {
    const sim::Vec truth = world_.markCameraOffset;
    basic.m_X_CameraToNozzle1 = truth.x + 0.6;
    basic.m_Y_CameraToNozzle1 = truth.y - 0.4;
    pcb.m_VisualBox = 2 * world_.standardDiameter;
    pcb.m_MarkDiameter = world_.standardDiameter;
    Machine(0);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run(kMarkCameraCorrect));
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    const BasicSettings& b = TheBasicSettings();
    EXPECT_NEAR(b.m_X_CameraToNozzle1, truth.x, 0.03);
    EXPECT_NEAR(b.m_Y_CameraToNozzle1, truth.y, 0.03);
    plat::FlushProfileCache();
    BasicSettings saved;
    LoadSetBasicConfig(saved, config);
    EXPECT_EQ(FormatC("%0.4f", saved.m_X_CameraToNozzle1), FormatC("%0.4f", b.m_X_CameraToNozzle1));
    EXPECT_EQ(FormatC("%0.4f", saved.m_Y_CameraToNozzle1), FormatC("%0.4f", b.m_Y_CameraToNozzle1));
    EXPECT_TRUE(PieceBackAndNothingHeld());
}

// The nozzles the placement strategy uses: two on the two-head type.
TEST_F(ShippedCalibration, SecondNozzleOffsetFromAWrongOne) {
    const sim::Vec truth = world_.nozzleOffset[1];
    basic.m_X_Nozzle2ToNozzle1 = truth.x - 0.5;
    basic.m_Y_Nozzle2ToNozzle1 = truth.y + 0.3;
    g_SmtHeadCount = 2;
    Machine(2);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run(kNozzleCorrect));
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    const BasicSettings& b = TheBasicSettings();
    EXPECT_NEAR(b.m_X_Nozzle2ToNozzle1, truth.x, 0.06);
    EXPECT_NEAR(b.m_Y_Nozzle2ToNozzle1, truth.y, 0.06);
    EXPECT_EQ(g_NozzleToNozzle1Pulses[1].x, ToPulses(b.m_X_Nozzle2ToNozzle1, pulses.m_X_Pulse));
    EXPECT_EQ(g_NozzleToNozzle1Pulses[1].y, ToPulses(b.m_Y_Nozzle2ToNozzle1, pulses.m_Y_Pulse));
    const auto moves = world().ledger().Of(sim::LedgerKind::StandardMove);
    ASSERT_EQ(moves.size(), 2u);  // nozzle 2 took the piece and put it back
    EXPECT_EQ(moves[0].nozzle, 2);
    EXPECT_TRUE(PieceBackAndNothingHeld());
}

// On the one-head type (the strategy's one nozzle) there is no other nozzle to
// measure: the operator is told, and nothing moves.
TEST_F(ShippedCalibration, NozzlePositionOnTheOneHeadTypeSaysThereIsNone) {
    Machine(0);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run(kNozzleCorrect));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"one nozzle"}));
    EXPECT_TRUE(world().ledger().Of(sim::LedgerKind::StandardMove).empty());
    EXPECT_EQ(TheBasicSettings().m_X_Nozzle2ToNozzle1, basic.m_X_Nozzle2ToNozzle1);
}

// The fly triggers of both heads of the two-head type, told too late by 2.4 and
// 1.7 mm. The world fires trigger k when the head has come its value from the
// pass's start (vision camera 1 plus nozzle 2's offset); the true value of head k
// is the run from the start to where nozzle k stands over the camera, less its
// base (nozzle 2's offset for head 1, twice that for head 2).
TEST_F(ShippedCalibration, FlyTriggersOfBothHeadsFromWrongOnes) {
    const double perMm = world_.pulsesX;
    const double camera = world_.vision[0].position.x, off2 = world_.nozzleOffset[1].x;
    const double start = camera + off2;
    const double bases[2] = {off2, 2 * off2};
    int truth[2] = {};
    for (int k = 0; k < 2; ++k) {
        const double nozzle = k == 0 ? 0.0 : world_.nozzleOffset[k].x;
        truth[k] = static_cast<int>(std::lround((start - (camera - nozzle) - bases[k]) * perMm));
    }
    const int told[2] = {truth[0] + 240, truth[1] + 170};
    for (int k = 0; k < 2; ++k)
        ASSERT_TRUE(plat::WritePrivateProfileString("CameraListConfig", "m_iTriggerPulse" + std::to_string(k + 1),
                                                    std::to_string(told[k]), config));
    plat::FlushProfileCache();
    pcb.m_VisualBox = 2 * world_.standardDiameter;  // the mark camera finds the piece first
    pcb.m_MarkDiameter = world_.standardDiameter;
    Machine(2);
    if (HasFatalFailure()) return;
    ASSERT_EQ(g_HeadCount.load(), 2);
    ASSERT_EQ(TheCameraList().Settings().m_iTriggerPulse[0], told[0]);
    // The advance of the settings is in the pass as the run sends it.
    EXPECT_EQ(g_FlyTrigger[1].load(), std::lround(bases[1] * perMm) + told[1]);
    ASSERT_TRUE(Run(kFlyCorrect));
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    EXPECT_NE(TheCameraList().m_bFlyTestRunning.load(), 0) << "the calibration stopped";
    const CameraListSettings s = TheCameraList().Settings();
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE("head " + std::to_string(k + 1));
        EXPECT_NEAR(s.m_iTriggerPulse[static_cast<std::size_t>(k)], truth[k], 3);
        EXPECT_EQ(g_FlyTrigger[static_cast<std::size_t>(k)].load(),
                  std::lround(bases[k] * perMm) + s.m_iTriggerPulse[static_cast<std::size_t>(k)]);
    }
    const auto moves = world().ledger().Of(sim::LedgerKind::StandardMove);
    ASSERT_EQ(moves.size(), 4u);  // each head took the piece and put it back
    EXPECT_EQ(moves[2].nozzle, 2);
    EXPECT_TRUE(PieceBackAndNothingHeld());
}

} // namespace
} // namespace smt::test
