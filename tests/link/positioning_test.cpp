// The positioning commands: targets term by term in pulses, inclusive travel
// limits with X reported before Y, the PCB, panel-grid and camera lookups through
// fakes, the guards, and the workers against the simulated machine.
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "base/globals.h"
#include "app/menus.h"
#include "base/numtext.h"
#include "sim_fixture.h"
#include "link/busy.h"
#include "link/jog.h"
#include "link/positioning.h"
#include "platform/threads.h"

namespace smt::test {
namespace {

BasicSettings Settings() {
    BasicSettings b;
    b.m_X_Limit = 300, b.m_Y_Limit = -250;
    b.m_X_CameraToNozzle1 = 12.345, b.m_Y_CameraToNozzle1 = -6.789;
    b.m_X_Nozzle2ToNozzle1 = 0.009, b.m_Y_Nozzle2ToNozzle1 = 1.5;
    b.m_X_Nozzle3ToNozzle1 = 30.11, b.m_Y_Nozzle3ToNozzle1 = -0.33;
    b.m_X_Nozzle4ToNozzle1 = 45.5, b.m_Y_Nozzle4ToNozzle1 = 0.25;
    b.m_X_ThrowPosition = 10.007, b.m_Y_ThrowPosition = -20.5;
    b.m_X_VisualOrigin = 50.004, b.m_Y_VisualOrigin = -40.006;
    b.m_X_StopPosition = 100.5, b.m_Y_StopPosition = -80.25;
    b.m_X_Measurement = 3.333, b.m_Y_Measurement = -4.444;
    b.m_X_Y2ToY1 = 1.0, b.m_Y_Y2ToY1 = -2.0;
    return b;
}

PlannedMove Plan(PosCommand c, int type = 0, int group = 1, BasicSettings b = Settings()) {
    PositionInputs in;
    in.origin = {60.019, -70.031};
    in.mark = {5.555, -4.449};
    in.camera = {150.0155, -120.0255};
    in.y2ToY1Pulses = {100, -160};
    in.pulsesPerMmX = 99.5;  // the run-time copies differ to show which is used
    in.pulsesPerMmY = 79.5;
    PulseFactors f;
    f.m_X_Pulse = 100;
    f.m_Y_Pulse = 80;
    return PlanPositioning(c, in, type, group, b, f);
}

TEST(PositioningTargets, EachTermTruncatedOnItsOwn) {
    struct { const char* what; PosCommand c; std::int32_t x, y; } const cases[] = {
        // 10.007 x 100 = 1000 and 0.009 x 100 = 0: 1000, not trunc(9.998 x 100) = 999
        {"throw 2", {PosKind::Throw, 2}, 1000, -1640 - 120},
        {"throw 1", {PosKind::Throw, 1}, 1000, -1640},
        {"visual origin", {PosKind::VisualOrigin}, 5000 - 1234, -3200 + 543},
        {"camera to PCB origin", {PosKind::CameraPcbOrigin}, 6001 - 1234, -5602 + 543},
        {"camera to Mark 2", {PosKind::CameraMark, 1, 2}, 555 - 1234 + 6001, -355 + 543 - 5602},
        {"nozzle 1 uses the run-time copy of the factor", {PosKind::NozzlePcbOrigin, 1}, 5971, -5567},
        {"nozzle 3 to PCB origin", {PosKind::NozzlePcbOrigin, 3}, 6001 - 3011, -5602 + 26},
        {"nozzle 2 to camera 2", {PosKind::NozzleCamera, 2, 1, 2}, 15001 - 0, -9602 - 120},
        {"half of nozzle 3's offset, truncated once", {PosKind::FourHeadCamera2, 1, 1, 2}, 15001 - 1505, -9602 + 13},
        {"measuring head", {PosKind::MeasuringCamera1}, 15001 - 333, -9602 + 355},
    };
    for (const auto& c : cases) {
        const PlannedMove p = Plan(c.c);
        EXPECT_EQ(std::tie(p.message, p.model4, p.x, p.y), std::make_tuple(-1, false, c.x, c.y)) << c.what;
    }
}

TEST(PositioningTargets, LimitsInclusiveXBeforeY) {
    struct { PointMm p; LimitFailure expected; } const points[] = {
        {{0, 0}, LimitFailure::None},          {{300, -250}, LimitFailure::None},
        {{300.0001, -10}, LimitFailure::X},    {{-0.0001, -10}, LimitFailure::X},
        {{10, 0.0001}, LimitFailure::Y},       {{10, -250.0001}, LimitFailure::Y},
        {{-1, 1}, LimitFailure::X},  // both fail: only X
    };
    for (const auto& c : points) EXPECT_EQ(CheckPointLimits(c.p, 300, -250), c.expected) << c.p.x << "," << c.p.y;

    BasicSettings b = Settings();
    const auto message = [&](PosCommand c) { return Plan(c, 0, 1, b).message; };
    b.m_X_VisualOrigin = b.m_X_CameraToNozzle1 - 1;
    b.m_Y_VisualOrigin = 5;
    EXPECT_EQ(message({PosKind::VisualOrigin}), 0);
    b.m_X_VisualOrigin = 20;
    EXPECT_EQ(message({PosKind::VisualOrigin}), 1);
    b.m_Y_ThrowPosition = 1;
    EXPECT_EQ(message({PosKind::Throw, 1}), 21);
    b.m_X_ThrowPosition = 400;
    EXPECT_EQ(message({PosKind::Throw, 1}), 20);
    b.m_X_Limit = 10;
    EXPECT_EQ(message({PosKind::CameraPcbOrigin}), 7);
    EXPECT_EQ(message({PosKind::CameraMark, 1, 1}), 16);
    EXPECT_EQ(message({PosKind::CameraMark, 1, 2}), 18);
    EXPECT_EQ(message({PosKind::NozzleCamera, 2, 1, 1}), 12);
    EXPECT_EQ(message({PosKind::NozzleCamera, 2, 1, 2}), 14);
    EXPECT_EQ(message({PosKind::MeasuringCamera1}), -1) << "no check of its own";
    b = Settings();
    b.m_Y_Limit = -50;
    EXPECT_EQ(message({PosKind::NozzlePcbOrigin, 2}), 8);
    EXPECT_EQ(message({PosKind::CameraMark, 1, 2}), 19);
    EXPECT_EQ(message({PosKind::NozzleCamera, 1, 1, 2}), 15);
}

TEST(PositioningTargets, DoubleTableRules) {
    // Discard position for every nozzle: an X-only move to the computed target.
    BasicSettings b = Settings();
    b.m_X_ThrowPosition = 100.007;
    const std::int32_t offsets[] = {0, 0, 3011, 4550};
    for (int n = 1; n <= 4; ++n) {
        const PlannedMove p = Plan({PosKind::Throw, n}, 4, 2, b);
        EXPECT_EQ(std::tie(p.model4, p.model4Move, p.x), std::make_tuple(true, Model4Move::XOnly, 10000 - offsets[n - 1]))
            << "nozzle " << n;
    }
    b = Settings();
    b.m_Y_ThrowPosition = 50;  // only X is checked
    EXPECT_EQ(Plan({PosKind::Throw, 2}, 4, 1, b).message, -1);
    b.m_X_ThrowPosition = 0;
    EXPECT_EQ(Plan({PosKind::Throw, 2}, 4, 1, b).message, 20);

    // The second head group's PCB origin for camera and nozzle 2 is pinned by the two-table flows.
    PlannedMove p = Plan({PosKind::CameraPcbOrigin}, 4, 1);
    EXPECT_EQ(std::tie(p.model4Move, p.x2, p.y), std::make_tuple(Model4Move::X2WithY, 6001 - 1234, -5602 + 543));
    p = Plan({PosKind::CameraMark, 1, 1}, 4, 2);
    EXPECT_EQ(std::tie(p.model4Move, p.x2, p.y2),
              std::make_tuple(Model4Move::X2WithY2, 555 - 1234 + 6001 + 100, -355 + 543 - 5602 - 160));
    p = Plan({PosKind::NozzlePcbOrigin, 1}, 4, 1);
    EXPECT_EQ(std::tie(p.model4Move, p.x), std::make_tuple(Model4Move::XWithY, 5971));
    p = Plan({PosKind::NozzleCamera, 3, 1, 1}, 4, 1);
    EXPECT_EQ(std::tie(p.model4Move, p.x), std::make_tuple(Model4Move::XOnly, 15001 - 3011));
    // no double-table rule: as on the other types
    EXPECT_FALSE(Plan({PosKind::NozzleCamera, 3, 1, 2}, 4, 1).model4);
    EXPECT_FALSE(Plan({PosKind::VisualOrigin}, 4, 2).model4);
    // a head group other than 1 and 2 stores nothing and moves nothing
    p = Plan({PosKind::CameraPcbOrigin}, 4, 3);
    EXPECT_EQ(std::tie(p.message, p.model4Move), std::make_tuple(-1, Model4Move::None));
    // second table: the check includes the table distance
    b = Settings();
    b.m_X_Y2ToY1 = 400;
    EXPECT_EQ(Plan({PosKind::CameraPcbOrigin}, 4, 2, b).message, 7);
    EXPECT_EQ(Plan({PosKind::CameraPcbOrigin}, 4, 1, b).message, -1);
}

TEST(PositioningLookups, FirstEnabledBoardOfThePanelGridAndTheMenuIds) {
    PanelGridView g;
    g.rows = 2, g.cols = 2, g.rowPitch = -12.5, g.colPitch = 30;
    // The last board and no board are pinned by the per-board Mark flows; any mark but "0" is a board.
    g.cells = {"0", "x", "1", "1"};
    ASSERT_TRUE(FirstBoardOffset(g));
    EXPECT_DOUBLE_EQ(FirstBoardOffset(g)->x, 30);
    EXPECT_DOUBLE_EQ(FirstBoardOffset(g)->y, 0);
    EXPECT_FALSE(FirstBoardOffset(PanelGridView{}));

    struct { int id; PosKind kind; int nozzle, pc; } const cases[] = {
        {cmd::CameraToVisualOrigin, PosKind::VisualOrigin, 1, 0},
        {cmd::NozzleToThrowPosition[2], PosKind::Throw, 3, 3},
        {cmd::NozzleToThrowPosition[7], PosKind::Throw, 8, 8},
        {cmd::CameraToPcbOrigin, PosKind::CameraPcbOrigin, 1, 2},
        {cmd::CameraToMark2, PosKind::CameraMark, 1, 2},
        {cmd::NozzleToPcbOrigin[4], PosKind::NozzlePcbOrigin, 5, 3},
        {cmd::NozzleToVisualCamera1[1], PosKind::NozzleCamera, 2, 4},
        {cmd::NozzleToVisualCamera2[6], PosKind::NozzleCamera, 7, 5},
        {cmd::FourHeadToCamera2, PosKind::FourHeadCamera2, 1, 0},
        {cmd::MeasurementToVisualCamera1, PosKind::MeasuringCamera1, 1, 6},
    };
    for (const auto& c : cases) {
        const auto p = PositioningCommandOf(c.id);
        ASSERT_TRUE(p) << c.id;
        EXPECT_EQ(std::make_tuple(p->kind, p->nozzle, PositionCommandValue(*p)), std::tie(c.kind, c.nozzle, c.pc)) << c.id;
    }
    EXPECT_EQ(PositioningCommandOf(cmd::CameraToMark2)->mark, 2);
    EXPECT_FALSE(PositioningCommandOf(cmd::ResetOrigin));
}

// ---- handlers and workers against the simulated machine -----------------------------

class PosSim : public SimTest, public ::testing::WithParamInterface<Wire> {
protected:
    void SetUp() override {
        SimTest::SetUp();
        StartMachine(serial(), InitialType());
        g_PanelLink.zCheckMask = 3;
        hooks.machineType = InitialType();
        g_Homed = true;
        g_HeadResetOk = true;
        TheBasicSettings() = Settings();
        TheBasicSettings().m_CommModel = serial() ? 0 : 1;
        // 100 pulses per mm in X, 80 in Y; each drive and each table its own speeds
        // (manual: X 30/130, Y 31/131; placing: X 60/160, Y 61/161).
        ThePulseFactors() = PulseFactors{};
        ThePulseFactors().m_X_Pulse = 100;
        ThePulseFactors().m_Y_Pulse = 80;
        g_PulsesPerMmX = 100;
        g_PulsesPerMmY = 80;
        g_Y2ToY1Pulses = {100, -160};
        SpeedTypeTable handle, smt;
        for (int d = 0; d < 16; ++d) handle.SetPair(d, {30 + d, 130 + d}), smt.SetPair(d, {60 + d, 160 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, handle);
        TheSpeedTemplates().SetTable(SpeedType::Smt, smt);
        SetPositioningMessages(BuiltinViewMessages());
        auto& s = ThePositioningState();
        s.m_PositionCommand = -1;
        s.m_PositioningMenuFlag = s.m_SkipStopPositionFlag = s.m_OriginVisionFlag = 0;
        auto& port = ThePositioningPort();
        port = PositioningPort{};
        port.headGroup = [this] { return group; };
        port.currentPcbRecord = [this] { return record; };
        port.currentPcbCopy = [this] { return grid; };
        port.pcbVision = [this] { return vision; };
        port.cameraRecords = [this] { return cameras; };
        port.selectMarkCamera = [this] {
            add("mark camera" + std::string(ThePositioningState().m_OriginVisionFlag ? " origin" : ""));
        };
        port.selectVisionCamera = [this](int c) { add("vision camera " + std::to_string(c)); };
        port.setVisionParameters = [this](int c, int b, double s, double f) {
            add("light " + std::to_string(c) + "," + std::to_string(b) + "," + FormatMm(s) + "," + FormatMm(f));
        };
        port.setVisionTestNozzle = [this](int n) { add("test nozzle " + std::to_string(n)); };
        port.setFrameSize = [this](double mm) { add("frame " + FormatMm(mm)); };
        port.recognizeVisualOrigin = [this] { add("recognise"); };
        record = PcbRecordPoints{{60.01, -70.02}, {5.5, -4.5}, {80.25, -60.75}};
        grid.origin = {61.01, -71.02};
        vision.scale = 12.5, vision.frameSize = 3;
        vision.markContrast = 11, vision.markBrightness = 22;
        vision.mark2Contrast = 33, vision.mark2Brightness = 44;
        cameras = {{"Camera 2", "150.5", "-120.25"}, {"Camera 1", "200.01", "-100.02"}};
        InstallPositioningHooks();
    }
    void TearDown() override {
        plat::JoinAllWorkers(std::chrono::seconds(20));
        ThePositioningPort() = PositioningPort{};
        TheSpeedTemplates().SetTable(SpeedType::Handle, SpeedTypeTable{});
        TheSpeedTemplates().SetTable(SpeedType::Smt, SpeedTypeTable{});
        g_Y2ToY1Pulses = {};
        g_Homed = false;
        SimTest::TearDown();
    }
    virtual int InitialType() const { return 0; }
    bool serial() const { return GetParam() == Wire::Serial; }
    void add(const std::string& s) {
        std::lock_guard lock(mutex);
        calls.push_back(s);
    }
    std::vector<std::string> Calls() {
        std::lock_guard lock(mutex);
        return calls;
    }
    // The command of `id` ran to its end.
    void Run(int id) {
        ASSERT_TRUE(OnPositioningCommand(id));
        ASSERT_TRUE(WaitIdle());
    }
    std::pair<std::int32_t, std::int32_t> XY() { return {machine().Positions().x, machine().Positions().y}; }
    // The speed codes of each X/Y move (0x64, 0x53) the machine took, "start/run" of
    // X then of Y; an Ethernet payload carries X's only.
    std::vector<std::string> MoveSpeeds() { return smt::test::MoveSpeeds(machine().Frames(), serial()); }
    // What MoveSpeeds shows for a move with X at `x` and Y at `y`.
    std::string Speeds(const char* x, const char* y) const {
        return serial() ? std::string(x) + " " + y : std::string(x);
    }

    int group = 1;
    std::optional<PcbRecordPoints> record;
    PanelGridView grid;
    PcbVisionValues vision;
    std::vector<CameraRow> cameras;
    std::mutex mutex;
    std::vector<std::string> calls;
};

TEST_P(PosSim, CameraToPcbOriginMovesThenSwitchesOutputTwoOff) {
    Run(cmd::CameraToPcbOrigin);
    EXPECT_EQ(XY(), std::pair(6001 - 1234, -5601 + 543));
    EXPECT_EQ(MoveSpeeds(), std::vector<std::string>{Speeds("30/130", "31/131")});  // the manual table
    EXPECT_EQ(std::make_tuple(g_PulseX.load(), g_PulseY.load(), g_TargetPulseX.load()),
              std::make_tuple(XY().first, XY().second, 6001 - 1234));
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 1u; }));
    EXPECT_EQ(OutputsSent(), "2:0 ");
    const auto frames = machine().Frames();
    if (serial()) {
        ASSERT_GE(frames.size(), 2u);
        EXPECT_EQ(frames[0].code, 0x60) << "the gear goes first on the serial link";
        EXPECT_EQ(frames[1].code, 0x64);
    } else {
        EXPECT_EQ(Count(0x60), 0) << "no gear over Ethernet";
    }
    EXPECT_EQ(Calls(), std::vector<std::string>{"mark camera"});
    EXPECT_EQ(std::make_tuple(ThePositioningState().m_PositionCommand.load(), HookSeen("enable"), boxes.Count()),
              std::make_tuple(2, true, 0u));
}

TEST_P(PosSim, PerBoardMarksMoveTheOriginToTheFirstBoardAndMarkLights) {
    vision.perBoardMarks = true;
    grid.rows = 2, grid.cols = 2, grid.rowPitch = -10, grid.colPitch = 20;
    grid.cells = {"0", "0", "0", "1"};
    Run(cmd::CameraToMark1);
    // the board's offset is added in millimetres, then the origin converted
    EXPECT_EQ(XY(), std::pair(550 - 1234 + ToPulses(60.01 + 20, 100), -360 + 543 + ToPulses(-70.02 - 10, 80)));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"mark camera", "light 11,22,12.5000,3.0000"}));
    Run(cmd::CameraToMark2);
    EXPECT_EQ(Calls().size(), 3u) << "Mark 2 keeps the light without its own switch";
    vision.ownMark2 = true;
    Run(cmd::CameraToMark2);
    EXPECT_EQ(Calls().back(), "light 33,44,12.5000,3.0000");
}

TEST_P(PosSim, LookupRefusalsEndTheHandlerAndFreeTheBusyFlag) {
    record.reset();
    OnPositioningCommand(cmd::CameraToPcbOrigin);
    record = PcbRecordPoints{};
    vision.perBoardMarks = true;
    grid.rows = 1, grid.cols = 2, grid.cells = {"0", "0"};
    OnPositioningCommand(cmd::NozzleToPcbOrigin[0]);
    cameras.clear();
    OnPositioningCommand(cmd::NozzleToVisualCamera1[0]);
    cameras = {{"camera 1", "1", "-1"}};
    OnPositioningCommand(cmd::NozzleToVisualCamera1[0]);
    OnPositioningCommand(cmd::FourHeadToCamera2);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"没有找到PCB板 !", "没有找到PCB板 !", "相机不存在 !",
                                                       "没有找到视觉相机 1 !", "没有找到视觉相机 2 !"}));
    EXPECT_EQ(std::make_tuple(g_Running.load(), plat::RunningWorkers()), std::make_tuple(false, 0));
    EXPECT_EQ(Calls(), std::vector<std::string>{"frame 30.1100"});
    EXPECT_EQ(ThePositioningState().m_PositionCommand.load(), 0) << "already set when the lookup failed";
}

TEST_P(PosSim, GuardsInTheirOrderThenTheLimitMessageAndNoWorkerStarts) {
    g_Connected = false;
    g_Homed = false;
    g_Running = true;
    OnPositioningCommand(cmd::CameraToPcbOrigin);
    g_Connected = true;
    OnPositioningCommand(cmd::NozzleToThrowPosition[0]);
    g_Homed = true;
    OnPositioningCommand(cmd::CameraToVisualOrigin);
    g_Running = false;
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(ThePositioningState().m_PositionCommand.load(), -1);
    TheBasicSettings().m_Y_ThrowPosition = 0.5;
    OnPositioningCommand(cmd::NozzleToThrowPosition[0]);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Machine is not connection !", "Machine is not reset !",
                                                       "Machine is runnig !", "抛料 Y 坐标越限 !"}));
    EXPECT_FALSE(g_Running.load());
    EXPECT_EQ(FrameCount(), 0u);
}

TEST_P(PosSim, VisionCameraFamilySelectsTheCameraAndTheTestNozzle) {
    Run(cmd::NozzleToVisualCamera1[1]);
    EXPECT_EQ(XY(), std::pair(20001 - 0, -8001 - 120));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"vision camera 1", "test nozzle 2"}));
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 1u; }));
    EXPECT_EQ(OutputsSent(), "4:0 ");
}

TEST_P(PosSim, VisualOriginFromTheMenuGoesOnToTheStopPositionWithoutRecognition) {
    TheBasicSettings().m_bStopPosition = 1;
    TheBasicSettings().m_CottectionTimeReset = 3;
    OnPositioningMenuOpened();
    ASSERT_EQ(ThePositioningState().m_SkipStopPositionFlag.load(), 1);
    Run(cmd::CameraToVisualOrigin);
    EXPECT_EQ(XY(), std::pair(10050 - 1234, -6420 + 543));
    EXPECT_EQ(Count(0x64), 2);
    EXPECT_EQ(MoveSpeeds(), std::vector<std::string>(2, Speeds("30/130", "31/131")));
    EXPECT_EQ(Calls(), std::vector<std::string>{"mark camera origin"});
    EXPECT_FALSE(HookSeen("enable")) << "opened from the menu: the panel is left as it is";
    EXPECT_TRUE(machine().OutputLog().empty());
    EXPECT_EQ(ThePositioningState().m_SkipStopPositionFlag.load(), 0);
    // any other command chosen from the menu stays where it went
    OnPositioningMenuOpened();
    Run(cmd::NozzleToThrowPosition[0]);
    EXPECT_EQ(XY(), std::pair(1000, -1640));
}

TEST_P(PosSim, AfterHomingTheVisualOriginIsRecognisedParkedAndThePanelEnabled) {
    TheBasicSettings().m_bStopPosition = 1;
    TheBasicSettings().m_CottectionTimeReset = 3;
    ThePositioningState().m_PositioningMenuFlag = 1;
    ThePositioningState().m_SkipStopPositionFlag = 1;
    TheCommandPanel().clearViewBusyByte();
    TheCommandPanel().moveCameraToVisualOrigin();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Calls(), (std::vector<std::string>{"mark camera origin", "recognise"}));
    EXPECT_EQ(machine().Positions().x, 10050 - 1234);
    EXPECT_TRUE(HookSeen("enable"));

    // a stop position out of range still ends with the panel enabled
    hooks.Take();
    TheBasicSettings().m_Y_StopPosition = 5;
    TheBasicSettings().m_CottectionTimeReset = 0;
    ThePositioningState().m_PositioningMenuFlag = 1;
    OnCameraToVisualOrigin();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"视觉原点 Y 坐标越限 !"});
    EXPECT_TRUE(HookSeen("enable"));
    EXPECT_EQ(machine().Positions().x, 5000 - 1234);
}

TEST_P(PosSim, MoveRefusalSkipsTheOutputAndFreesTheBusyFlag) {
    SetMoveLimits({2000, -300000, 400000, 300000});
    Run(cmd::NozzleToPcbOrigin[2]);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"X Pos Error !"});
    EXPECT_TRUE(machine().OutputLog().empty());
    EXPECT_TRUE(HookSeen("enable"));
    g_HeadResetOk = false;
    SetMoveLimits({400000, -300000, 400000, 300000});
    Run(cmd::NozzleToPcbOrigin[2]);
    EXPECT_EQ(boxes.Texts().back(), "Error E3 !");
    EXPECT_EQ(machine().Positions().x, 0);
}

TEST_P(PosSim, StopPositionMoveOfTheRunIsSynchronousAndLeavesTheBusyFlag) {
    ASSERT_TRUE(TryClaimBusy());  // the run holds it
    EXPECT_TRUE(MoveCameraToVisualOrigin());
    EXPECT_TRUE(g_Running.load());
    EXPECT_EQ(XY(), std::pair(10050 - 1234, -6420 + 543));
    EXPECT_EQ(MoveSpeeds(), std::vector<std::string>{Speeds("60/160", "61/161")});  // the run's placing table
    EXPECT_EQ(Calls(), std::vector<std::string>{"mark camera origin"});
    TheBasicSettings().m_X_StopPosition = 1;
    EXPECT_FALSE(MoveCameraToVisualOrigin());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"视觉原点 X 坐标越限 !"});
    ReleaseBusy();
}

INSTANTIATE_TEST_SUITE_P(BothLinks, PosSim, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

class PosSimTwoTables : public PosSim {
protected:
    int InitialType() const override { return 4; }
};

TEST_P(PosSimTwoTables, DiscardForNozzleTwoMovesXOnlyToItsOwnTarget) {
    g_TargetPulseX2 = 777;  // left by an earlier move
    g_TargetPulseY = -999;
    g_TargetPulseY2 = -555;
    Run(cmd::NozzleToThrowPosition[1]);
    const sim::Drives d = machine().Positions();
    EXPECT_EQ(std::tie(d.x, d.y, d.x2, d.y2), std::make_tuple(1000 - 0, 0, 0, 0));
    EXPECT_EQ(Count(0x53), 1);
    EXPECT_EQ(MoveSpeeds(), std::vector<std::string>{Speeds("30/130", "10/10")});  // Y stays: fixed codes
    EXPECT_TRUE(Calls().empty()) << "no camera is selected for the discard position here";
    EXPECT_TRUE(machine().OutputLog().empty()) << "the double-table worker switches no output";
}

TEST_P(PosSimTwoTables, SecondHeadGroupMovesTheSecondTableAndAMoveRefusalStillEnablesThePanel) {
    group = 2;
    Run(cmd::CameraToPcbOrigin);
    sim::Drives d = machine().Positions();
    EXPECT_EQ(std::tie(d.x2, d.y2), std::make_tuple(6001 - 1234 + 100, -5601 + 543 - 160));
    EXPECT_EQ(std::tie(d.x2, d.y2), std::make_tuple(g_PulseX2.load(), g_PulseY2.load()));
    Run(cmd::NozzleToPcbOrigin[1]);
    d = machine().Positions();
    EXPECT_EQ(std::tie(d.x, d.y2, d.y), std::make_tuple(6001 - 0 + 100, -5601 - 120 - 160, 0));
    EXPECT_EQ(MoveSpeeds(), std::vector<std::string>(2, Speeds("30/130", "31/131")));
    EXPECT_TRUE(HookSeen("enable"));
    hooks.Take();
    group = 1;
    SetMoveLimits({300, -300000, 400000, 300000});
    Run(cmd::NozzleToPcbOrigin[0]);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"X Pos Error !"});
    EXPECT_TRUE(HookSeen("enable"));
}

INSTANTIATE_TEST_SUITE_P(BothLinks, PosSimTwoTables, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

}  // namespace
}  // namespace smt::test
