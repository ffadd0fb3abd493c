// The shipped start folder (res/: config.ini, its tables and the demo job) and the
// default simulated world (sim/default.scenario) describe one machine: what the
// program reads from the shipped files agrees with the world's true geometry, and on
// that world the vision test finds the visual-origin mark and the demo board's marks,
// and a click on the live view moves by the distance clicked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "../link/world_fixture.h"
#include "machine.h"
#include "app/document.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "feeders/feed_group_file.h"
#include "feeders/feed_group_table.h"
#include "feeders/tray_pockets.h"
#include "joblist/pcb_editor.h"
#include "joblist/pcb_records.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/profile.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/result_slots.h"
#include "vision/set_view.h"
#include "vision/vision_types.h"

namespace smt::test {
namespace {

const std::string kRes = SMT_SOURCE_DIR "/res";
const std::string kDemoJob = kRes + "/demo.smt";

// The demo job's PCB section as the job lists would receive it.
class SectionOnly : public JobLines {
public:
    int PcbRecordCount() const override { return 0; }
    std::string CurrentPcbName() const override { return name; }
    std::vector<std::string> BuildPcbSection() override { return {}; }
    void ParsePcbSection(const std::string& n, std::int32_t count, const std::vector<std::string>& lines) override {
        name = n;
        ParseSectionLines(lines, count, records);
    }
    void FreePcbRecords() override { records.clear(); }
    void ClearPlacementList() override {}
    int DisCount() const override { return 0; }
    std::vector<std::string> BuildDisLines() override { return {}; }
    void ParseDisLines(const std::vector<std::string>&) override {}
    void FreeDisRows() override {}
    int DrillCount() const override { return 0; }
    std::vector<std::string> BuildDrillLines() override { return {}; }
    void ParseDrillLines(const std::vector<std::string>&) override {}
    void FreeDrillRows() override {}
    void ReadLampTableLines() override {}

    std::string name;
    std::vector<PcbRecord> records;
};

// Everything the program reads from the shipped start folder.
struct Shipped {
    BasicSettings basic;
    PulseFactors pulses;
    PcbEditFields pcb;
    std::vector<CameraCells> cameras;
    std::vector<std::string> nozzleRows;  // the nozzle library's holders
    std::optional<FeedGroup> group;
    std::string openGroup;
    SectionOnly job;
    int machineType = -1;
};

Shipped LoadShipped() {
    Shipped s;
    const std::string config = kRes + "/config.ini";
    plat::FlushProfileCache();
    LoadSetBasicConfig(s.basic, config);
    LoadSetPulseConfig(s.pulses, config);
    LoadPcbEditConfig(s.pcb, config);
    s.machineType = std::stoi(plat::GetPrivateProfileString("MachineSetConfig", "MachineSet", "-1", 512, config));
    FigLists lists;
    TableFileError error;
    EXPECT_TRUE(LoadFigLists(kRes, lists, error)) << error.file << ": " << error.reason;
    s.cameras = ParseCameraRows(lists.camera);
    s.nozzleRows = lists.nozzle;
    FeedGroupTable table;
    EXPECT_TRUE(ReadFeedGroupTable(table, lists.feed));
    s.openGroup = table.OpenGroupName();
    const int slot = table.FindFeedGroupByName(s.openGroup);
    if (slot >= 0) s.group = table.CopyGroup(slot);
    const FileResult read = ReadProjectFiles(kDemoJob, s.job, 0);
    EXPECT_TRUE(read.ok) << read.message;
    return s;
}

sim::Scenario LoadWorld() {
    sim::Scenario world;
    std::string error;
    EXPECT_TRUE(sim::Scenario::Load(SMT_SOURCE_DIR "/sim/default.scenario", &world, &error)) << error;
    return world;
}

// The identifier of a world feeder: the bank letter of its bank code, its number.
std::string FeederId(const sim::ScenarioFeeder& f) {
    const std::map<int, std::string> letters = {{1, "W"}, {2, "N"}, {3, "E"}, {4, "S"}, {13, "G"}};
    const auto it = letters.find(f.bank);
    return (it == letters.end() ? "?" : it->second) + std::to_string(f.number);
}

const FeedRow* FindFeeder(const Shipped& s, const std::string& id) {
    if (!s.group) return nullptr;
    for (const FeedRow& r : s.group->rows)
        if (r[0] == id) return &r;
    return nullptr;
}
std::optional<TrayRecord> TrayOf(const Shipped& s, const std::string& id) {
    if (!s.group) return std::nullopt;
    for (std::size_t i = 0; i < s.group->rows.size() && i < s.group->trays.size(); ++i)
        if (s.group->rows[i][0] == id) return s.group->trays[i];
    return std::nullopt;
}

bool Inside(PointMm p, const BasicSettings& b) {
    return CheckPointLimits(p, b.m_X_Limit, b.m_Y_Limit) == LimitFailure::None;
}

TEST(ShippedMachine, StartFolderAndWorldAgree) {
    const Shipped s = LoadShipped();
    const sim::Scenario w = LoadWorld();
    const BasicSettings& b = s.basic;
    EXPECT_EQ(s.machineType, 0);

    struct Pair {
        std::string what;
        double program, world;
    };
    std::vector<Pair> pairs = {
        {"X pulses per mm", s.pulses.m_X_Pulse, w.pulsesX},
        {"Y pulses per mm", s.pulses.m_Y_Pulse, w.pulsesY},
        {"Z pulses per mm", s.pulses.m_Z_Pulse, w.pulsesZ},
        {"A pulses per degree", s.pulses.m_A_Pulse, w.pulsesA},
        {"mark camera scale (PCB editor)", s.pcb.m_VisualZoom, w.markCamera.pixelsPerMm},
        {"mark camera X from nozzle 1", b.m_X_CameraToNozzle1, w.markCameraOffset.x},
        {"mark camera Y from nozzle 1", b.m_Y_CameraToNozzle1, w.markCameraOffset.y},
    };
    for (int n = 2; n <= 8; ++n) {
        pairs.push_back({"nozzle " + std::to_string(n) + " X", NozzleOffset(b, n).x, w.nozzleOffset[n - 1].x});
        pairs.push_back({"nozzle " + std::to_string(n) + " Y", NozzleOffset(b, n).y, w.nozzleOffset[n - 1].y});
    }
    ASSERT_EQ(s.cameras.size(), 2u);
    for (int k = 0; k < 2; ++k) {
        const std::string name = "vision camera " + std::to_string(k + 1);
        pairs.push_back({name + " X", AtoF(s.cameras[k][1]), w.vision[k].position.x});
        pairs.push_back({name + " Y", AtoF(s.cameras[k][2]), w.vision[k].position.y});
        pairs.push_back({name + " scale", AtoF(s.cameras[k][20]), w.vision[k].pixelsPerMm});
        EXPECT_TRUE(Inside({AtoF(s.cameras[k][1]), AtoF(s.cameras[k][2])}, b)) << name;
    }
    for (const Pair& p : pairs) EXPECT_NEAR(p.program, p.world, 1e-9) << p.what;

    // The visual origin: the mark camera sees the world's target there, and the
    // head that carries it can go there.
    const PointMm origin{b.m_X_VisualOrigin, b.m_Y_VisualOrigin};
    bool target = false;
    for (const sim::Disc& d : w.machineDiscs) target |= std::hypot(d.xMm - origin.x, d.yMm - origin.y) < 1e-9;
    EXPECT_TRUE(target) << "no visual-origin target at " << origin.x << ", " << origin.y;
    EXPECT_TRUE(Inside({origin.x - b.m_X_CameraToNozzle1, origin.y - b.m_Y_CameraToNozzle1}, b));

    // Every head reaches the discard place.
    for (int head = 1; head <= 8; ++head) {
        const PointMm n = head == 1 ? PointMm{} : NozzleOffset(b, head);
        EXPECT_TRUE(Inside({b.m_X_ThrowPosition - n.x, b.m_Y_ThrowPosition - n.y}, b))
            << "head " << head << " discarding";
    }
    // The fly-over calibration takes a trigger from a nozzle's place to a pitch less
    // 130 pulses after it: nozzle 2 lies that far towards +X.
    EXPECT_GE(NozzleOffset(b, 2).x * s.pulses.m_X_Pulse, 130.0);

    // The nozzle library: a holder in the program for every holder of the world
    // (neither has one yet; a library that lands must be shipped on both sides).
    EXPECT_EQ(s.nozzleRows.size(), w.holders.size());

    // Every feeder of the world is in the open feeder group, where the world has it;
    // every pocket of a tray where the world's pocket is.
    ASSERT_TRUE(s.group.has_value()) << "open group " << s.openGroup;
    EXPECT_EQ(s.group->rows.size(), w.feeders.size());
    for (const sim::ScenarioFeeder& f : w.feeders) {
        const std::string id = FeederId(f);
        SCOPED_TRACE(id);
        const FeedRow* row = FindFeeder(s, id);
        ASSERT_NE(row, nullptr);
        EXPECT_NEAR(AtoF((*row)[6]), f.part.length, 1e-9);
        EXPECT_NEAR(AtoF((*row)[7]), f.part.width, 1e-9);
        EXPECT_GE(AtoI((*row)[26]), 1);
        // The vacuum check value tells a held part from an empty nozzle on the world's
        // readings, well clear of both.
        const int vacuum = AtoI((*row)[11]);
        EXPECT_GE(vacuum, sim::Machine::kEmptyKpa + 10);
        EXPECT_LE(vacuum, sim::Machine::kHoldingKpa - 10);
        const std::optional<TrayRecord> tray = TrayOf(s, id);
        ASSERT_TRUE(tray.has_value());
        const bool isTray = f.rows * f.cols > 1;
        // A strip's parts are recognised by the package the world draws (the tray's
        // general rule is left as shipped).
        if (!isTray) {
            EXPECT_EQ(AtoI((*row)[25].substr(0, 2)), f.part.visionType);
        }
        EXPECT_EQ(tray->rows, isTray ? f.rows : 0);
        EXPECT_EQ(tray->columns, isTray ? f.cols + 1 : 0);
        for (int p = 0; p < f.rows * f.cols; ++p) {
            const int r = p / f.cols, c = p % f.cols;
            PocketMove m;
            m.code = 1, m.row = r, m.column = c + 1;
            m.rowPitch = tray->rowPitch, m.columnPitch = tray->columnPitch;
            m.originX = AtoF((*row)[4]), m.originY = AtoF((*row)[5]);
            const PulseTarget t = PocketTarget(m, b, s.pulses);
            const PointMm at{t.x / s.pulses.m_X_Pulse, t.y / s.pulses.m_Y_Pulse};
            EXPECT_NEAR(at.x, f.pick.x + c * f.pitchX, 0.011) << "pocket " << r << ", " << c;
            EXPECT_NEAR(at.y, f.pick.y - r * f.pitchY, 0.011) << "pocket " << r << ", " << c;
            EXPECT_TRUE(Inside(at, b)) << "pocket " << r << ", " << c;
        }
    }

    // The demo job: its board lies where the world's board lies, its marks on the
    // world's marks, its parts on the board and from the shipped feeders.
    ASSERT_EQ(s.job.records.size(), 1u);
    ASSERT_EQ(w.boards.size(), 1u);
    const PcbRecord& r = s.job.records[0];
    const sim::ScenarioBoard& board = w.boards[0];
    EXPECT_EQ(s.job.name, r.m_PcbName);
    EXPECT_EQ(board.rotation, 0.0);
    EXPECT_NEAR(r.m_OriginX, board.origin.x, 1e-9);
    EXPECT_NEAR(r.m_OriginY, board.origin.y, 1e-9);
    EXPECT_NE(r.m_MarkEnable, 0);
    ASSERT_EQ(board.marks.size(), 2u);
    EXPECT_NEAR(r.m_Mark1X, board.marks[0].xMm, 1e-9);
    EXPECT_NEAR(r.m_Mark1Y, board.marks[0].yMm, 1e-9);
    EXPECT_NEAR(r.m_Mark2X, board.marks[1].xMm, 1e-9);
    EXPECT_NEAR(r.m_Mark2Y, board.marks[1].yMm, 1e-9);
    EXPECT_NEAR(r.m_VisualZoom, w.markCamera.pixelsPerMm, 1e-9);
    EXPECT_NEAR(r.m_MarkDiameter, board.marks[0].diameterMm, 1e-9);
    ASSERT_EQ(r.m_PanelGrid.size(), 1u);
    EXPECT_EQ(r.m_PanelGrid[0].at(1).substr(0, 2), "1/");  // the one cell in use
    ASSERT_GE(r.m_PartRows.size(), 3u);
    ASSERT_EQ(w.rows.size(), r.m_PartRows.size());  // the world names the job's rows
    for (std::size_t i = 0; i < r.m_PartRows.size(); ++i) {
        const PartRow& part = r.m_PartRows[i];
        const sim::RowTarget& row = w.rows[i];
        SCOPED_TRACE(part[4]);
        EXPECT_EQ(std::make_tuple(row.board, row.cell, row.row, row.name, row.x, row.y, row.angle, row.head),
                  std::make_tuple(0, -1, static_cast<int>(i), part[4], AtoF(part[1]), AtoF(part[2]), AtoF(part[3]),
                                  std::stoi(part[12])));
        ASSERT_GE(row.feeder, 0);
        EXPECT_EQ(FeederId(w.feeders[static_cast<std::size_t>(row.feeder)]), part[9]);
    }
    for (const PartRow& part : r.m_PartRows) {
        SCOPED_TRACE(part[4]);
        const double x = AtoF(part[1]), y = AtoF(part[2]);
        EXPECT_TRUE(x > 0 && x < board.width && y > 0 && y < board.height) << x << ", " << y;
        EXPECT_TRUE(Inside({r.m_OriginX + x, r.m_OriginY + y}, b));
        EXPECT_EQ(part[7], "1/Yes");
        const FeedRow* feeder = FindFeeder(s, part[9]);
        ASSERT_NE(feeder, nullptr) << part[9];
        EXPECT_EQ(part[6], (*feeder)[2]);  // the feeder's package
        // Type 0 has one head.
        EXPECT_EQ(part[12], "1");
    }
}

// The standard piece: the camera table's piece is the world's, its diameter one the
// camera dialog takes, and every calibration reaches it: nozzle 1 over it, the mark
// camera over it, each of the eight heads taking it from its place and carrying it
// over either vision camera (machine types whose head moves in X and Y; on type 4
// the fixed frame sees a tool at its own offset in Y, where neither the piece nor
// the vision cameras lie).
TEST(ShippedMachine, StandardPieceIsTheWorldsAndEveryCalibrationReachesIt) {
    const Shipped s = LoadShipped();
    const sim::Scenario w = LoadWorld();
    const BasicSettings& b = s.basic;
    CameraList list;
    list.LoadConfig(kRes + "/config.ini");
    const CameraListSettings piece = list.Settings();
    EXPECT_GE(w.standardDiameter, 5.0);
    EXPECT_LE(w.standardDiameter, 20.0);
    EXPECT_NEAR(piece.m_BaseDiameter, w.standardDiameter, 1e-9);
    EXPECT_NEAR(piece.m_BaseCoordinates_X, w.standardBase.x, 1e-9);
    EXPECT_NEAR(piece.m_BaseCoordinates_Y, w.standardBase.y, 1e-9);
    EXPECT_LT(piece.m_BaseCoordinates_Z, 0.0);
    EXPECT_GE(piece.m_BaseCoordinates_Z, -50.0);
    // The fly procedures take their speeds from the same section (1 .. 255).
    EXPECT_GE(piece.m_iFlyStartSpeed, 1);
    EXPECT_GE(piece.m_iFlyNormalSpeed, 1);

    const PointMm at{piece.m_BaseCoordinates_X, piece.m_BaseCoordinates_Y};
    EXPECT_TRUE(Inside(at, b)) << "nozzle 1 over the piece";
    EXPECT_TRUE(Inside({at.x - b.m_X_CameraToNozzle1, at.y - b.m_Y_CameraToNozzle1}, b)) << "mark camera over it";
    ASSERT_EQ(s.cameras.size(), 2u);
    for (int head = 1; head <= 8; ++head) {
        SCOPED_TRACE("head " + std::to_string(head));
        const PointMm n = head == 1 ? PointMm{} : NozzleOffset(b, head);
        EXPECT_TRUE(Inside({at.x - n.x, at.y - n.y}, b)) << "taking the piece";
        for (int k = 0; k < 2; ++k)
            EXPECT_TRUE(Inside({AtoF(s.cameras[k][1]) - n.x, AtoF(s.cameras[k][2]) - n.y}, b))
                << "over vision camera " << k + 1;
    }
    // Nothing else of the world lies where a nozzle taking the piece would find it.
    for (const sim::ScenarioFeeder& f : w.feeders)
        EXPECT_GT(std::hypot(f.pick.x - at.x, f.pick.y - at.y), 10.0) << FeederId(f);
}

// The world on the shipped scenario with its cameras, the program with the shipped
// settings on its serial link.
class ShippedMachineOnWorld : public WorldSimTest {
protected:
    void SetUp() override {
        WorldSimTest::SetUp();
        shipped = LoadShipped();
        world_ = LoadWorld();
        g_MachineType = 0;
        g_HighSpeedCamera = 1;
        g_MarkCameraOn = g_VisualCamera1On = g_VisualCamera2On = g_FlyCameraOn = false;
        g_CurrentCamera = 0;
        SetTraceSink([this](const std::string& t, bool) {
            if (t.rfind("Mark:", 0) == 0 || t.rfind("Visual", 0) == 0) {
                std::lock_guard lock(traceMutex);
                trace.push_back(t);
            }
        });
        const PcbEditFields pcb = shipped.pcb;
        ThePositioningPort().pcbVision = [pcb] {
            PcbVisionValues v;
            v.scale = pcb.m_VisualZoom;
            v.frameSize = pcb.m_VisualBox;
            v.markContrast = pcb.m_LightContrast;
            v.markBrightness = pcb.m_LightBrightness;
            return v;
        };
        SetView& p = TheSetView();
        p.view() = {};
        p.m_UseFeedBrightness = false;
        p.m_Zoom = 1.0;
    }
    void TearDown() override {
        WaitIdle();
        TheCameraService().Shutdown();
        plat::SetCameraBackend(nullptr);
        SetTraceSink(nullptr);
        ThePositioningPort() = PositioningPort{};
        ThePositioningState().m_OriginVisionFlag = 0;
        TheSetView().view() = {};
        g_HighSpeedCamera = 0;
        g_Homed = false;
        g_Running = false;
        WorldSimTest::TearDown();
    }
    void Machine() {
        StartWorld(0, world_, true, false, true);
        ResetCommandWorld(true);
        TheBasicSettings() = shipped.basic;
        TheBasicSettings().m_CommModel = 0;
        static_cast<PulseFactors&>(ThePulseSettings()) = shipped.pulses;
        g_PulsesPerMmX = shipped.pulses.m_X_Pulse;
        g_PulsesPerMmY = shipped.pulses.m_Y_Pulse;
        SetMoveLimits({static_cast<std::int32_t>(shipped.basic.m_X_Limit * shipped.pulses.m_X_Pulse),
                       static_cast<std::int32_t>(shipped.basic.m_Y_Limit * shipped.pulses.m_Y_Pulse), 400000, 300000});
        int number = 5;
        ASSERT_TRUE(GetSerialLink().OpenSerialLink(number));
        g_Connected = true;
        g_Homed = true;  // the drives start at home
        hooks.Take();
        g_MarkCameraOn = true;
        ASSERT_TRUE(TheCameraService().InitCameras());
    }
    void MoveTo(const PlannedMove& plan) {
        ASSERT_LT(plan.message, 0) << "refused with message " << plan.message;
        ASSERT_TRUE(MoveXYA({{plan.x - g_PulseX, {10, 100}, plan.y - g_PulseY, {10, 100}}, 1, 0, 0, 0, 0}));
    }
    void MoveBy(std::int32_t dx, std::int32_t dy) {
        ASSERT_TRUE(MoveXYA({{dx, {10, 100}, dy, {10, 100}}, 1, 0, 0, 0, 0}));
    }
    // The camera panel's vision test on a frame taken after the head stood still:
    // the mark's offset (mm), or nullopt for "Visual Error !".
    std::optional<std::pair<double, double>> VisionTest() {
        plat::SleepFor(std::chrono::milliseconds(120));
        TheCameraService().GrabFrame(kMarkCamera);
        TheCameraService().GrabFrame(kMarkCamera);
        const auto frame = TheCameraService().GrabFrame(kMarkCamera);
        EXPECT_TRUE(frame);
        if (!frame) return std::nullopt;
        TheSetView().m_ImageWidth = frame->cols;
        TheSetView().m_ImageHeight = frame->rows;
        TheSetView().RunVisionTest(&*frame, kMarkResultSlot, false);
        std::lock_guard lock(traceMutex);
        double x = 0, y = 0, d = 0;
        if (trace.empty() || std::sscanf(trace.back().c_str(), "Mark: X = %lf，Y = %lf，D = %lf", &x, &y, &d) != 3)
            return std::nullopt;
        return std::make_pair(x, y);
    }

    Shipped shipped;
    sim::Scenario world_;
    std::mutex traceMutex;
    std::vector<std::string> trace;
};

TEST_F(ShippedMachineOnWorld, VisionTestFindsTheMarksAndAClickCentresWhereClicked) {
    Machine();
    if (HasFatalFailure()) return;
    const BasicSettings& b = shipped.basic;
    const PulseFactors& f = shipped.pulses;
    SetView& p = TheSetView();

    // After a full homing the camera goes to the visual origin; the vision test finds
    // the target there, in the middle.
    EXPECT_NE(b.m_ResetToVisualOrigin, 0);
    MoveTo(PlanPositioning(PosCommand{PosKind::VisualOrigin}, PositionInputs{}, 0, 1, b, f));
    if (HasFatalFailure()) return;
    ThePositioningState().m_OriginVisionFlag = 1;
    p.OnBnClickedMarkCamera();
    ThePositioningState().m_OriginVisionFlag = 0;
    ASSERT_EQ(g_CurrentCamera.load(), 0);
    EXPECT_DOUBLE_EQ(p.m_PixelsPerMm.load(), world_.markCamera.pixelsPerMm);
    auto found = VisionTest();
    ASSERT_TRUE(found) << (trace.empty() ? "no line" : trace.back());
    EXPECT_NEAR(found->first, 0.0, 0.1);
    EXPECT_NEAR(found->second, 0.0, 0.1);

    // The head 1.2 mm further in X and 0.8 mm further to the front: the mark shows
    // left of and above the cross (inside the window). A click on it moves the head
    // by what was clicked and centres it.
    MoveBy(ToPulses(1.2, f.m_X_Pulse), ToPulses(-0.8, f.m_Y_Pulse));
    found = VisionTest();
    ASSERT_TRUE(found);
    EXPECT_NEAR(found->first, 1.2, 0.1);   // left of the centre: X > 0
    EXPECT_NEAR(found->second, 0.8, 0.1);  // above it: Y > 0
    const int width = p.m_ImageWidth, height = p.m_ImageHeight;
    const double scale = world_.markCamera.pixelsPerMm;
    const int clickX = width / 2 - static_cast<int>(std::lround(1.2 * scale));
    const int clickY = height / 2 - static_cast<int>(std::lround(0.8 * scale));
    const std::int32_t x0 = g_PulseX, y0 = g_PulseY;
    ASSERT_TRUE(p.OnLiveViewClick(clickX, clickY, width, height));
    ASSERT_TRUE(WaitIdle());
    EXPECT_NEAR((g_PulseX - x0) / f.m_X_Pulse, -1.2, 0.06);
    EXPECT_NEAR((g_PulseY - y0) / f.m_Y_Pulse, 0.8, 0.06);
    found = VisionTest();
    ASSERT_TRUE(found);
    EXPECT_NEAR(found->first, 0.0, 0.1);
    EXPECT_NEAR(found->second, 0.0, 0.1);

    // The demo board's two marks, each reached with the PCB editor's positioning.
    ASSERT_EQ(shipped.job.records.size(), 1u);
    const PcbRecord& r = shipped.job.records[0];
    for (int mark = 1; mark <= 2; ++mark) {
        SCOPED_TRACE(mark);
        PositionInputs in;
        in.origin = {r.m_OriginX, r.m_OriginY};
        in.mark = mark == 1 ? PointMm{r.m_Mark1X, r.m_Mark1Y} : PointMm{r.m_Mark2X, r.m_Mark2Y};
        in.pulsesPerMmX = f.m_X_Pulse;
        in.pulsesPerMmY = f.m_Y_Pulse;
        PosCommand c{PosKind::CameraMark};
        c.mark = mark;
        MoveTo(PlanPositioning(c, in, 0, 1, b, f));
        if (HasFatalFailure()) return;
        p.OnBnClickedMarkCamera();  // the PCB editor's window, light and scale
        found = VisionTest();
        ASSERT_TRUE(found) << (trace.empty() ? "no line" : trace.back());
        EXPECT_NEAR(found->first, 0.0, 0.1);
        EXPECT_NEAR(found->second, 0.0, 0.1);
    }
}

}  // namespace
}  // namespace smt::test
