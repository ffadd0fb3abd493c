// The positioning commands: targets term by term in pulses, inclusive travel
// limits with X reported before Y, the PCB, panel-grid and camera lookups through
// fakes, the guards, and the workers against the simulated machine.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "app/globals.h"
#include "app/menus.h"
#include "app/numtext.h"
#include "sim_fixture.h"
#include "link/busy.h"
#include "link/jog.h"
#include "link/positioning.h"
#include "platform/threads.h"

namespace smt::test {
namespace {

BasicSettings Settings() {
    BasicSettings b;
    b.m_X_Limit = 300;
    b.m_Y_Limit = -250;
    b.m_X_CameraToNozzle1 = 12.345;
    b.m_Y_CameraToNozzle1 = -6.789;
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

PulseFactors Factors() {
    PulseFactors f;
    f.m_X_Pulse = 100;
    f.m_Y_Pulse = 80;
    return f;
}

PositionInputs Inputs() {
    PositionInputs in;
    in.origin = {60.019, -70.031};
    in.mark = {5.555, -4.449};
    in.camera = {150.0155, -120.0255};
    in.y2ToY1Pulses = {100, -160};
    in.pulsesPerMmX = 99.5;  // the run-time copies differ to show which is used
    in.pulsesPerMmY = 79.5;
    return in;
}

PlannedMove Plan(PosCommand c, int type = 0, int group = 1, BasicSettings b = Settings()) {
    return PlanPositioning(c, Inputs(), type, group, b, Factors());
}

TEST(PositioningTargets, EachTermTruncatedOnItsOwn) {
    // 10.007 x 100 = 1000 and 0.009 x 100 = 0: 1000, not trunc(9.998 x 100) = 999
    PlannedMove p = Plan({PosKind::Throw, 2});
    EXPECT_EQ(p.message, -1);
    EXPECT_EQ(p.x, 1000);
    EXPECT_EQ(p.y, -1640 - 120);
    p = Plan({PosKind::Throw, 1});
    EXPECT_EQ(p.x, 1000);
    EXPECT_EQ(p.y, -1640);
    p = Plan({PosKind::VisualOrigin});
    EXPECT_EQ(p.x, 5000 - 1234);
    EXPECT_EQ(p.y, -3200 + 543);
    p = Plan({PosKind::CameraPcbOrigin});
    EXPECT_EQ(p.x, 6001 - 1234);
    EXPECT_EQ(p.y, -5602 + 543);
    p = Plan({PosKind::CameraMark, 1, 2});
    EXPECT_EQ(p.x, 555 - 1234 + 6001);
    EXPECT_EQ(p.y, -355 + 543 - 5602);
    p = Plan({PosKind::NozzlePcbOrigin, 1});
    EXPECT_EQ(p.x, 5971) << "nozzle 1 uses the run-time copy of the factor";
    EXPECT_EQ(p.y, -5567);
    p = Plan({PosKind::NozzlePcbOrigin, 3});
    EXPECT_EQ(p.x, 6001 - 3011);
    EXPECT_EQ(p.y, -5602 + 26);
    p = Plan({PosKind::NozzleCamera, 2, 1, 2});
    EXPECT_EQ(p.x, 15001 - 0);
    EXPECT_EQ(p.y, -9602 - 120);
    p = Plan({PosKind::FourHeadCamera2, 1, 1, 2});
    EXPECT_EQ(p.x, 15001 - 1505) << "half of nozzle 3's offset, truncated once";
    EXPECT_EQ(p.y, -9602 + 13);
    p = Plan({PosKind::MeasuringCamera1});
    EXPECT_EQ(p.x, 15001 - 333);
    EXPECT_EQ(p.y, -9602 + 355);
    EXPECT_FALSE(p.model4);
}

TEST(PositioningTargets, LimitsInclusiveXBeforeY) {
    EXPECT_EQ(CheckPointLimits({0, 0}, 300, -250), LimitFailure::None);
    EXPECT_EQ(CheckPointLimits({300, -250}, 300, -250), LimitFailure::None);
    EXPECT_EQ(CheckPointLimits({300.0001, -10}, 300, -250), LimitFailure::X);
    EXPECT_EQ(CheckPointLimits({-0.0001, -10}, 300, -250), LimitFailure::X);
    EXPECT_EQ(CheckPointLimits({10, 0.0001}, 300, -250), LimitFailure::Y);
    EXPECT_EQ(CheckPointLimits({10, -250.0001}, 300, -250), LimitFailure::Y);
    EXPECT_EQ(CheckPointLimits({-1, 1}, 300, -250), LimitFailure::X) << "both fail: only X";

    BasicSettings b = Settings();
    b.m_X_VisualOrigin = b.m_X_CameraToNozzle1 - 1;
    b.m_Y_VisualOrigin = 5;
    EXPECT_EQ(Plan({PosKind::VisualOrigin}, 0, 1, b).message, 0);
    b.m_X_VisualOrigin = 20;
    EXPECT_EQ(Plan({PosKind::VisualOrigin}, 0, 1, b).message, 1);
    b.m_Y_ThrowPosition = 1;
    EXPECT_EQ(Plan({PosKind::Throw, 1}, 0, 1, b).message, 21);
    b.m_X_ThrowPosition = 400;
    EXPECT_EQ(Plan({PosKind::Throw, 1}, 0, 1, b).message, 20);
    b.m_X_Limit = 10;
    EXPECT_EQ(Plan({PosKind::CameraPcbOrigin}, 0, 1, b).message, 7);
    EXPECT_EQ(Plan({PosKind::CameraMark, 1, 1}, 0, 1, b).message, 16);
    EXPECT_EQ(Plan({PosKind::CameraMark, 1, 2}, 0, 1, b).message, 18);
    EXPECT_EQ(Plan({PosKind::NozzleCamera, 2, 1, 1}, 0, 1, b).message, 12);
    EXPECT_EQ(Plan({PosKind::NozzleCamera, 2, 1, 2}, 0, 1, b).message, 14);
    EXPECT_EQ(Plan({PosKind::MeasuringCamera1}, 0, 1, b).message, -1) << "no check of its own";
    b = Settings();
    b.m_Y_Limit = -50;
    EXPECT_EQ(Plan({PosKind::NozzlePcbOrigin, 2}, 0, 1, b).message, 8);
    EXPECT_EQ(Plan({PosKind::CameraMark, 1, 2}, 0, 1, b).message, 19);
    EXPECT_EQ(Plan({PosKind::NozzleCamera, 1, 1, 2}, 0, 1, b).message, 15);
}

TEST(PositioningTargets, DoubleTableRules) {
    // Discard position for every nozzle: an X-only move to the computed target.
    BasicSettings b = Settings();
    b.m_X_ThrowPosition = 100.007;
    const std::int32_t offsets[] = {0, 0, 3011, 4550};
    for (int n = 1; n <= 4; ++n) {
        const PlannedMove p = Plan({PosKind::Throw, n}, 4, 2, b);
        EXPECT_TRUE(p.model4);
        EXPECT_EQ(p.model4Move, Model4Move::XOnly) << "nozzle " << n;
        EXPECT_EQ(p.x, 10000 - offsets[n - 1]) << "nozzle " << n;
    }
    b = Settings();
    b.m_Y_ThrowPosition = 50;  // only X is checked
    EXPECT_EQ(Plan({PosKind::Throw, 2}, 4, 1, b).message, -1);
    b.m_X_ThrowPosition = 0;
    EXPECT_EQ(Plan({PosKind::Throw, 2}, 4, 1, b).message, 20);

    PlannedMove p = Plan({PosKind::CameraPcbOrigin}, 4, 1);
    EXPECT_EQ(p.model4Move, Model4Move::X2WithY);
    EXPECT_EQ(p.x2, 6001 - 1234);
    EXPECT_EQ(p.y, -5602 + 543);
    p = Plan({PosKind::CameraPcbOrigin}, 4, 2);
    EXPECT_EQ(p.model4Move, Model4Move::X2WithY2);
    EXPECT_EQ(p.x2, 6001 - 1234 + 100);
    EXPECT_EQ(p.y2, -5602 + 543 - 160);
    p = Plan({PosKind::CameraMark, 1, 1}, 4, 2);
    EXPECT_EQ(p.model4Move, Model4Move::X2WithY2);
    EXPECT_EQ(p.x2, 555 - 1234 + 6001 + 100);
    EXPECT_EQ(p.y2, -355 + 543 - 5602 - 160);
    p = Plan({PosKind::NozzlePcbOrigin, 2}, 4, 2);
    EXPECT_EQ(p.model4Move, Model4Move::XWithY2);
    EXPECT_EQ(p.x, 6001 - 0 + 100);
    EXPECT_EQ(p.y2, -5602 - 120 - 160);
    p = Plan({PosKind::NozzlePcbOrigin, 1}, 4, 1);
    EXPECT_EQ(p.model4Move, Model4Move::XWithY);
    EXPECT_EQ(p.x, 5971);
    p = Plan({PosKind::NozzleCamera, 3, 1, 1}, 4, 1);
    EXPECT_EQ(p.model4Move, Model4Move::XOnly);
    EXPECT_EQ(p.x, 15001 - 3011);
    // no double-table rule: as on the other types
    p = Plan({PosKind::NozzleCamera, 3, 1, 2}, 4, 1);
    EXPECT_FALSE(p.model4);
    p = Plan({PosKind::VisualOrigin}, 4, 2);
    EXPECT_FALSE(p.model4);
    // a head group other than 1 and 2 stores nothing and moves nothing
    p = Plan({PosKind::CameraPcbOrigin}, 4, 3);
    EXPECT_EQ(p.message, -1);
    EXPECT_EQ(p.model4Move, Model4Move::None);
    // second table: the check includes the table distance
    b = Settings();
    b.m_X_Y2ToY1 = 400;
    EXPECT_EQ(Plan({PosKind::CameraPcbOrigin}, 4, 2, b).message, 7);
    EXPECT_EQ(Plan({PosKind::CameraPcbOrigin}, 4, 1, b).message, -1);
}

TEST(PositioningLookups, FirstEnabledBoardOfThePanelGrid) {
    PanelGridView g;
    g.rows = 2, g.cols = 2, g.rowPitch = -12.5, g.colPitch = 30;
    g.cells = {"0", "0", "0", "1"};
    auto o = FirstBoardOffset(g);
    ASSERT_TRUE(o);
    EXPECT_DOUBLE_EQ(o->x, 30);
    EXPECT_DOUBLE_EQ(o->y, -12.5);
    g.cells = {"0", "x", "1", "1"};
    EXPECT_DOUBLE_EQ(FirstBoardOffset(g)->x, 30);
    EXPECT_DOUBLE_EQ(FirstBoardOffset(g)->y, 0);
    g.cells = {"0", "0", "0", "0"};
    EXPECT_FALSE(FirstBoardOffset(g));
    EXPECT_FALSE(FirstBoardOffset(PanelGridView{}));
}

TEST(PositioningLookups, MenuIdsAndTheirCommandNumbers) {
    struct Case {
        int id;
        PosKind kind;
        int nozzle, pc;
    };
    const Case cases[] = {
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
        EXPECT_EQ(p->kind, c.kind) << c.id;
        EXPECT_EQ(p->nozzle, c.nozzle) << c.id;
        EXPECT_EQ(PositionCommandValue(*p), c.pc) << c.id;
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
        type = InitialType();
        hooks.machineType = type;
        g_Homed = true;
        g_HeadResetOk = true;
        TheBasicSettings() = Settings();
        TheBasicSettings().m_CommModel = serial() ? 0 : 1;
        PulseFactors f;
        f.m_X_Pulse = 100;
        f.m_Y_Pulse = 100;
        ThePulseFactors() = f;
        g_PulsesPerMmX = 100;
        g_PulsesPerMmY = 100;
        g_Y2ToY1Pulses = {100, -200};
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {30 + d, 130 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, t);
        TheSpeedTemplates().SetTable(SpeedType::Smt, t);
        SetPositioningMessages(BuiltinViewMessages());
        auto& s = ThePositioningState();
        s.m_PositionCommand = -1;
        s.m_PositioningMenuFlag = 0;
        s.m_SkipStopPositionFlag = 0;
        s.m_OriginVisionFlag = 0;
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
        ThePulseFactors() = PulseFactors{};
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
    std::vector<std::uint16_t> Codes() {
        std::vector<std::uint16_t> out;
        for (const auto& f : machine().Frames())
            if (f.accepted) out.push_back(f.code);
        return out;
    }

    int type = 0;
    int group = 1;
    std::optional<PcbRecordPoints> record;
    PanelGridView grid;
    PcbVisionValues vision;
    std::vector<CameraRow> cameras;
    std::mutex mutex;
    std::vector<std::string> calls;
};

TEST_P(PosSim, CameraToPcbOriginMovesThenSwitchesOutputTwoOff) {
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToPcbOrigin));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x, 6001 - 1234);
    EXPECT_EQ(machine().Positions().y, -7002 + 678);
    EXPECT_EQ(g_PulseX.load(), machine().Positions().x);
    EXPECT_EQ(g_PulseY.load(), machine().Positions().y);
    EXPECT_EQ(g_TargetPulseX.load(), 6001 - 1234);
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 1u; }));
    EXPECT_EQ(OutputsSent(), "2:0 ");
    const auto codes = Codes();
    if (serial()) {
        ASSERT_GE(codes.size(), 2u);
        EXPECT_EQ(codes[0], 0x60) << "the gear goes first on the serial link";
        EXPECT_EQ(codes[1], 0x64);
    } else {
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x60), 0) << "no gear over Ethernet";
    }
    EXPECT_EQ(ThePositioningState().m_PositionCommand.load(), 2);
    EXPECT_EQ(Calls(), std::vector<std::string>{"mark camera"});
    EXPECT_TRUE(HookSeen("enable"));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_P(PosSim, PerBoardMarksMoveTheOriginToTheFirstBoardAndMarkLights) {
    vision.perBoardMarks = true;
    grid.rows = 2, grid.cols = 2, grid.rowPitch = -10, grid.colPitch = 20;
    grid.cells = {"0", "0", "0", "1"};
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToMark1));
    ASSERT_TRUE(WaitIdle());
    // the board's offset is added in millimetres, then the origin converted
    EXPECT_EQ(machine().Positions().x, 550 - 1234 + ToPulses(60.01 + 20, 100));
    EXPECT_EQ(machine().Positions().y, -450 + 678 + ToPulses(-70.02 - 10, 100));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"mark camera", "light 11,22,12.5000,3.0000"}));
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToMark2));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Calls().size(), 3u) << "Mark 2 keeps the light without its own switch";
    vision.ownMark2 = true;
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToMark2));
    ASSERT_TRUE(WaitIdle());
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
    EXPECT_FALSE(g_Running.load());
    EXPECT_EQ(plat::RunningWorkers(), 0);
    EXPECT_EQ(Calls(), std::vector<std::string>{"frame 30.1100"});
    EXPECT_EQ(ThePositioningState().m_PositionCommand.load(), 0) << "already set when the lookup failed";
}

TEST_P(PosSim, GuardsInTheirOrder) {
    g_Connected = false;
    g_Homed = false;
    g_Running = true;
    OnPositioningCommand(cmd::CameraToPcbOrigin);
    g_Connected = true;
    OnPositioningCommand(cmd::NozzleToThrowPosition[0]);
    g_Homed = true;
    OnPositioningCommand(cmd::CameraToVisualOrigin);
    g_Running = false;
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Machine is not connection !", "Machine is not reset !",
                                                       "Machine is runnig !"}));
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(ThePositioningState().m_PositionCommand.load(), -1);
}

TEST_P(PosSim, LimitMessageShowsAndNoWorkerStarts) {
    TheBasicSettings().m_Y_ThrowPosition = 0.5;
    OnPositioningCommand(cmd::NozzleToThrowPosition[0]);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"抛料 Y 坐标越限 !"});
    EXPECT_FALSE(g_Running.load());
    EXPECT_TRUE(Codes().empty());
}

TEST_P(PosSim, VisionCameraFamilySelectsTheCameraAndTheTestNozzle) {
    ASSERT_TRUE(OnPositioningCommand(cmd::NozzleToVisualCamera1[1]));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x, 20001 - 0);
    EXPECT_EQ(machine().Positions().y, -10002 - 150);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"vision camera 1", "test nozzle 2"}));
    ASSERT_TRUE(WaitUntil([this] { return machine().OutputLog().size() == 1u; }));
    EXPECT_EQ(OutputsSent(), "4:0 ");
}

TEST_P(PosSim, VisualOriginFromTheMenuGoesOnToTheStopPositionWithoutRecognition) {
    TheBasicSettings().m_bStopPosition = 1;
    TheBasicSettings().m_CottectionTimeReset = 3;
    OnPositioningMenuOpened();
    ASSERT_EQ(ThePositioningState().m_SkipStopPositionFlag.load(), 1);
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToVisualOrigin));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x, 10050 - 1234);
    EXPECT_EQ(machine().Positions().y, -8025 + 678);
    const auto codes = Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x64), 2);
    EXPECT_EQ(Calls(), std::vector<std::string>{"mark camera origin"});
    EXPECT_FALSE(HookSeen("enable")) << "opened from the menu: the panel is left as it is";
    EXPECT_TRUE(machine().OutputLog().empty());
    EXPECT_EQ(ThePositioningState().m_SkipStopPositionFlag.load(), 0);

    // any other command chosen from the menu stays where it went
    OnPositioningMenuOpened();
    ASSERT_TRUE(OnPositioningCommand(cmd::NozzleToThrowPosition[0]));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x, 1000);
    EXPECT_EQ(machine().Positions().y, -2050);
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
}

TEST_P(PosSim, StopPositionOutOfRangeEndsWithThePanelEnabled) {
    TheBasicSettings().m_bStopPosition = 1;
    TheBasicSettings().m_Y_StopPosition = 5;
    ThePositioningState().m_PositioningMenuFlag = 1;
    OnCameraToVisualOrigin();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"视觉原点 Y 坐标越限 !"});
    EXPECT_TRUE(HookSeen("enable"));
    EXPECT_EQ(machine().Positions().x, 5000 - 1234);
}

TEST_P(PosSim, MoveRefusalSkipsTheOutputAndFreesTheBusyFlag) {
    SetMoveLimits({2000, -300000, 400000, 300000});
    ASSERT_TRUE(OnPositioningCommand(cmd::NozzleToPcbOrigin[2]));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"X Pos Error !"});
    EXPECT_TRUE(machine().OutputLog().empty());
    EXPECT_TRUE(HookSeen("enable"));
    g_HeadResetOk = false;
    SetMoveLimits({400000, -300000, 400000, 300000});
    ASSERT_TRUE(OnPositioningCommand(cmd::NozzleToPcbOrigin[2]));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts().back(), "Error E3 !");
    EXPECT_EQ(machine().Positions().x, 0);
}

TEST_P(PosSim, StopPositionMoveOfTheRunIsSynchronousAndLeavesTheBusyFlag) {
    ASSERT_TRUE(TryClaimBusy());  // the run holds it
    EXPECT_TRUE(MoveCameraToStopPosition());
    EXPECT_TRUE(g_Running.load());
    EXPECT_EQ(machine().Positions().x, 10050 - 1234);
    EXPECT_EQ(machine().Positions().y, -8025 + 678);
    EXPECT_EQ(Calls(), std::vector<std::string>{"mark camera origin"});
    TheBasicSettings().m_X_StopPosition = 1;
    EXPECT_FALSE(MoveCameraToStopPosition());
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
    ASSERT_TRUE(OnPositioningCommand(cmd::NozzleToThrowPosition[1]));
    ASSERT_TRUE(WaitIdle());
    const sim::Drives d = machine().Positions();
    EXPECT_EQ(d.x, 1000 - 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.x2, 0);
    EXPECT_EQ(d.y2, 0);
    const auto codes = Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x53), 1);
    EXPECT_TRUE(Calls().empty()) << "no camera is selected for the discard position here";
    EXPECT_TRUE(machine().OutputLog().empty()) << "the double-table worker switches no output";
}

TEST_P(PosSimTwoTables, SecondHeadGroupMovesTheSecondTable) {
    group = 2;
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToPcbOrigin));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x2, 6001 - 1234 + 100);
    EXPECT_EQ(machine().Positions().y2, -7002 + 678 - 200);
    EXPECT_EQ(g_PulseX2.load(), machine().Positions().x2);
    EXPECT_EQ(g_PulseY2.load(), machine().Positions().y2);
    ASSERT_TRUE(OnPositioningCommand(cmd::NozzleToPcbOrigin[1]));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(machine().Positions().x, 6001 - 0 + 100);
    EXPECT_EQ(machine().Positions().y2, -7002 - 150 - 200);
    EXPECT_EQ(machine().Positions().y, 0);
}

TEST_P(PosSimTwoTables, MoveRefusalStillEnablesThePanel) {
    SetMoveLimits({300, -300000, 400000, 300000});
    ASSERT_TRUE(OnPositioningCommand(cmd::NozzleToPcbOrigin[0]));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"X Pos Error !"});
    EXPECT_TRUE(HookSeen("enable"));
}

INSTANTIATE_TEST_SUITE_P(BothLinks, PosSimTwoTables, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

}  // namespace
}  // namespace smt::test
