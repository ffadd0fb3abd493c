// Whole placement runs against the simulated world: a small board (a 2 x 2 panel
// with one cell off, or 2 x 3 with two off; two marks; rows from four feeders, one of
// them a tray when asked) on a machine of the given type, the program set up as the
// shipped folder would set it (feeder group, placement list, PCB record, strategy,
// settings), started with the part list's Start and judged by the world's run check
// (each part named for its row by the job's order) and what became of every pick.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "../feeders/feeders_fixture.h"
#include "../link/world_fixture.h"
#include "row_depths.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "feeders/nozzle_library.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"
#include "joblist/run_port.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "link/homing.h"
#include "link/link_state.h"
#include "machine_ops/auto_transport.h"
#include "machine_ops/cover_tape.h"
#include "run/conveyor_companion.h"
#include "run/nozzle_vision.h"
#include "run/pick_place.h"
#include "run/placement_records.h"
#include "run/placement_run.h"
#include "run/run_frame.h"
#include "run/run_geometry.h"
#include "run/run_rows.h"
#include "run_check.h"
#include "run_state/nozzle_work.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"
#include "platform/camera_sdk.h"
#include "settings/version_switches.h"
#include "vision/camera_ds.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/set_view.h"

namespace smt::test {

// A world camera's view as a panel's ordinary camera, drawn when it is read, so a
// frame always shows where the machine stands.
class WorldCameraVideo : public VideoSampleSource {
public:
    WorldCameraVideo(sim::World* world, sim::CameraRole role) : m_world(world), m_role(role) {}
    bool Open(int, int, int) override { return true; }
    bool Read(cv::Mat* sample) override {
        *sample = m_world->Render(m_role, 640, 480, 3, ++m_frames);
        return true;
    }
    void Close() override {}

private:
    sim::World* m_world;
    sim::CameraRole m_role;
    std::uint64_t m_frames = 0;
};

// The mark camera's view (the runs with marks and no vision take their mark frames
// this way).
class WorldMarkVideo : public WorldCameraVideo {
public:
    explicit WorldMarkVideo(sim::World* world) : WorldCameraVideo(world, sim::CameraRole::Mark) {}
};

struct RunSetup {
    int type = 0;
    int headMode = 0;
    bool autoNozzle = false;
    bool vision = false;
    bool marks = false;
    bool serial = true;
    double timeScale = 0;  // the simulator's: slow replies
    int conveyorBoards = 0;  // boards the conveyor brings (0: one board lies in place)
    // The feeders name the heads the other way round (feeder 1 the last head), so that
    // in the head modes that follow the feeder a cycle's slot k is worked by another head.
    bool headsReversed = false;
    // Each head's parts land off its nozzle by an amount of its own (X and Y differ), which
    // the settings' place offsets of that head make good.
    bool placeOffsets = false;
    // Parts lie turned in their feeders (each feeder its own angle), as the feeders say.
    bool feederAngles = false;
    // A panel of 2 rows and 3 columns, cells (0, 1) and (1, 2) off, instead of 2 x 2 with
    // cell (0, 1) off: rows and columns of the grid cannot stand in for each other.
    bool widePanel = false;
    // Feeder 4 is a tray of 2 rows of 2 pockets (rows 8 mm toward the front, columns 10 mm
    // apart): the third board cell's part comes from its second row.
    bool trayFeeder = false;
    // Marks in every panel cell (at the cell's own corners), measured cell by cell.
    bool perCellMarks = false;
};

// Place offsets of heads 1..8 (mm), each head and axis its own, and the feeders' angles.
inline constexpr double kPlaceOffsetX[8] = {0.40, -0.30, 0.55, -0.65, 0.20, -0.25, 0.70, -0.45};
inline constexpr double kPlaceOffsetY[8] = {-0.35, 0.60, 0.25, -0.50, -0.70, 0.30, -0.15, 0.45};
inline constexpr int kFeederAngles[4] = {90, -45, 180, 30};
// Heights (mm, negative down): each head's to the feeders, each feeder's own pick height
// (0: the head's), each library nozzle's pick height. Every head, feeder and nozzle its
// own, so that strokes by another head or for another row show. (The parts are all
// 0.6 mm high: the glue check run comes back up by the place height it went down by.)
inline constexpr double kFeedHeight[8] = {-11.60, -12.15, -11.35, -12.50, -11.85, -12.70, -11.45, -12.30};
inline constexpr double kFeederPickHeight[4] = {0, -4.60, 0, -5.30};
inline constexpr double kLibraryPickHeight[4] = {-11.90, -12.25, -11.55, -12.40};
inline constexpr double kThickness = 1.6;

// One placement row of the job: where on the cell (mm), its angle, its feeder 1..4.
struct JobPart {
    const char* name;
    double x, y, angle;
    int feeder;
    bool place = true;
};

class PlacementRunWorld : public WorldSimTest {
protected:
    // Nominal board origin, panel pitches and marks (board frame, mm).
    static constexpr double kOriginX = 100, kOriginY = -200;
    static constexpr double kColPitch = 40, kRowPitch = 35;
    static constexpr double kMark1X = 3, kMark1Y = 3, kMark2X = 77, kMark2Y = 67;
    // A cell's second mark when every cell has its own (from the cell's corner).
    static constexpr double kCellMark2X = 37, kCellMark2Y = 32;
    // The true board against the nominal one when the marks are on.
    static constexpr double kShiftX = 0.4, kShiftY = -0.3, kTurn = 0.5;

    void SetUp() override {
        WorldSimTest::SetUp();
        FillFeederWords();
        g_LanguageIndex = 0;
        CreateRunEvents();
        parts = {{"R1", 6, 5, 0, 1},    {"R2", 15, 10, 90, 2}, {"N1", 20, 20, 0, 1, false},
                 {"R3", 25, 22, 45, 3}, {"R4", 31, 28, -90, 4}};
    }
    void TearDown() override {
        g_RunContinue = false;
        StopRunForClosing();
        WaitIdle();
        g_Running = false;
        RunThreadEntry(RunThreadKind::Placement) = nullptr;
        RunThreadEntry(RunThreadKind::FeederAdvance) = nullptr;
        RunThreadEntry(RunThreadKind::ConveyorZone2) = nullptr;
        TheRowSearchLookups() = {};
        TheRunPort() = {};
        TheRunFrameSources() = {};
        TheRunToolbarPort() = {};
        TheSmtStrategy().SetConfig({});
        ApplyHeadMode(0);
        TheAutoTransport().SetConfig({});
        TheCoverTape().SetConfig({});
        ThePartList().Reset();
        TheFeedGroupTable().DestroyFeedGroupTable();
        g_NozzleSlots = {};
        {
            std::lock_guard lock(NozzleStateMutex());
            g_NozzleTable = {};
        }
        ResetNozzleStates();
        // A rotation still pending when the run stopped would turn the next test's first part.
        for (auto& t : g_RotationTarget) t = 0;
        TheSetView().CloseDsCameras();
        TheVideoSourcePort() = VideoSourcePort{};
        TheCameraService().Shutdown();
        plat::SetCameraBackend(nullptr);
        TheSetViewSources().flyMeasure = nullptr;
        TheCameraList().SetSettings({});
        for (int k = 0; k < 2; ++k) TheCameraList().RefreshRecordAt(k, CameraCells{}, 100, 100);
        g_PanelLink.zCheckMask = 0;
        g_HighSpeedCamera = 0;
        g_MarkCameraOn = g_VisualCamera1On = g_VisualCamera2On = g_FlyCameraOn = false;
        g_CurrentCamera = 0;
        g_CellOriginPulseX = 0, g_CellOriginPulseY = 0;
        g_MachineType = 0, g_AutoNozzleChange = 0, g_HeadResetOk = false, g_Homed = false;
        StoreRunBoard({});
        g_BoardRotation = 0.0;
        g_Mark1OffsetX = g_Mark1OffsetY = g_Mark2OffsetX = g_Mark2OffsetY = 0;
        CreateRunEvents();
        WorldSimTest::TearDown();
    }

    // ---- the world -------------------------------------------------------------
    sim::Scenario World(const RunSetup& r) {
        setup = r;
        sim::Scenario s;
        s.pulsesX = 100, s.pulsesY = 80, s.pulsesZ = 100, s.pulsesA = 10;
        // Heads 40 mm apart: a vision camera sees the nozzle over it and no neighbour.
        for (int k = 1; k < 8; ++k) s.nozzleOffset[k] = {-40.0 * k, (k % 2 ? 0.5 : -0.75) * k};
        s.markCameraOffset = {40.0, 5.0};
        s.vision[0].position = {200.0, -250.0};
        s.vision[1].position = {240.0, -250.0};
        for (int f = 0; f < 4; ++f) {
            sim::ScenarioFeeder feeder;
            feeder.bank = 1;
            feeder.number = f + 1;
            feeder.pick = {50.0 + 12 * f, -20.0 - 2 * f};
            feeder.part = {2.0 + 0.4 * f, 1.2 + 0.2 * f, 0.6, 1, std::nullopt};
            feeder.errSigma = 0;
            if (r.feederAngles) feeder.angle = kFeederAngles[f];
            if (r.trayFeeder && f == 3) feeder.rows = 2, feeder.cols = 2, feeder.pitchX = 10, feeder.pitchY = 8;
            if (r.vision) {
                // Picked off by 0.2 to 0.3 mm and 3 to 5 degrees.
                feeder.errOffset = {0.2 + 0.03 * f, -0.15};
                feeder.errAngle = f % 2 ? -3.0 - f * 0.5 : 3.0 + f * 0.5;
            }
            s.feeders.push_back(feeder);
        }
        if (r.placeOffsets)
            for (int k = 0; k < 8; ++k) s.placeError[k] = {-kPlaceOffsetX[k], -kPlaceOffsetY[k]};
        sim::ScenarioBoard b;
        b.origin = {kOriginX, kOriginY};
        if (r.marks) b.origin = {kOriginX + kShiftX, kOriginY + kShiftY}, b.rotation = kTurn;
        const int cols = PanelCols(r);
        b.width = cols * kColPitch, b.height = 2 * kRowPitch;
        // Cell r x cols + c at row r, column c, as the run walks them.
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < cols; ++col) b.cells.push_back({col * kColPitch, row * kRowPitch, kColPitch, kRowPitch});
        b.marks = {sim::Disc{kMark1X, kMark1Y, 1.0, -1}, sim::Disc{kMark2X, kMark2Y, 1.0, -1}};
        if (r.perCellMarks) {
            b.marks.clear();
            for (const auto& c : b.cells) {
                b.marks.push_back(sim::Disc{c.x + kMark1X, c.y + kMark1Y, 1.0, -1});
                b.marks.push_back(sim::Disc{c.x + kCellMark2X, c.y + kCellMark2Y, 1.0, -1});
            }
        }
        s.boards = {b};
        if (r.conveyorBoards > 0) {
            b.conveyor = true;
            // One more waits at the input: the companion brings the next board into
            // zone 1 while the last one is placed.
            s.boards.assign(static_cast<std::size_t>(r.conveyorBoards + 1), b);
        }
        if (r.autoNozzle) {
            // Four holders with nozzles of one kind; each head reaches the entry a
            // little lower than the one before.
            for (int h = 0; h < 4; ++h) {
                sim::ScenarioHolder holder;
                holder.at = holder.entry = {200.0 + 20 * h, -60.0};
                for (int k = 0; k < 8; ++k) holder.entryZ[k] = -5.0 - 0.5 * k;
                s.holders.push_back(holder);
            }
        }
        // Every row in every cell in use (the panel's cell 1, row 0 column 1, is off).
        for (int board = 0; board < std::max(r.conveyorBoards, 1); ++board)
        for (int cell : CellsInUse(r))
            for (std::size_t i = 0, j = 0; i < parts.size(); ++i) {
                if (!parts[i].place) continue;
                sim::RowTarget t;
                t.board = board, t.cell = cell, t.row = static_cast<int>(i), t.name = parts[i].name;
                t.x = parts[i].x, t.y = parts[i].y, t.angle = parts[i].angle;
                t.feeder = parts[i].feeder - 1;
                // Each cycle's rows go to heads 1, 2, ... in turn (the rows' feeders name
                // the same heads, for the head modes that follow the feeder); with the
                // heads reversed, to the head the feeder names.
                t.head = static_cast<int>(j++) % HeadCount(r.type) + 1;
                if (r.headsReversed) t.head = HeadOfFeeder(parts[i].feeder, r);
                // With the nozzle change head k carries the k-th nozzle of the kind.
                if (r.autoNozzle) t.nozzle = t.head;
                s.rows.push_back(t);
            }
        expected = s.rows;
        // Each part is named for its row as it is put down, by the job's order (the
        // rows above: board by board, the cells in the panel's order, the list's rows).
        s.rowOrder = true;
        return s;
    }

    static int PanelCols(const RunSetup& r) { return r.widePanel ? 3 : 2; }
    static std::vector<int> CellsInUse(const RunSetup& r) {
        return r.widePanel ? std::vector<int>{0, 2, 3, 4} : std::vector<int>{0, 2, 3};
    }

    // ---- the program -----------------------------------------------------------
    // The head a feeder names: spread over the heads the type has.
    static int HeadCount(int type) { return type == 3 || type == 6 ? 4 : type == 2 || type == 5 ? 2 : 1; }
    static int HeadOfFeeder(int f, int type) { return (f - 1) % HeadCount(type) + 1; }
    static int HeadOfFeeder(int f, const RunSetup& r) {
        const int head = HeadOfFeeder(f, r.type);
        return r.headsReversed ? HeadCount(r.type) + 1 - head : head;
    }

    static std::string FeederId(int f, const RunSetup& r) {
        return (r.trayFeeder && f == 4 ? "G" : "W") + std::to_string(f);
    }
    // Feeder f's tray record: none but for the tray, every pocket full from the first.
    static std::vector<std::string> TrayLines(int f, const RunSetup& r) {
        if (!(r.trayFeeder && f == 4)) return {"0\t0\t0\t0\t0.0000\t0.0000\t"};
        return {"2\t3\t0\t0\t-8.0000\t10.0000\t", "Yes/1\tYes/1\tYes/2\t", "Yes/2\tYes/3\tYes/4\t"};
    }

    std::string FeederLineOf(int f, const RunSetup& r) {
        const sim::ScenarioFeeder& w = scenario.feeders[static_cast<std::size_t>(f - 1)];
        FeedRow row{};
        row[0] = FeederId(f, r);
        row[2] = "P" + std::to_string(f), row[3] = "V" + std::to_string(f);
        row[4] = FormatC("%0.4f", w.pick.x), row[5] = FormatC("%0.4f", w.pick.y);
        row[6] = FormatC("%0.4f", w.part.length), row[7] = FormatC("%0.4f", w.part.width);
        row[8] = FormatC("%0.4f", w.part.height), row[9] = r.feederAngles ? std::to_string(kFeederAngles[f - 1]) : "0";
        // With the nozzle change the cell names the library nozzle the part needs.
        row[10] = r.autoNozzle ? "1" : std::to_string(HeadOfFeeder(f, r)), row[11] = "40";
        row[12] = std::string(r.vision ? "Yes" : "No") + "/" + kCamera1Name;
        row[13] = "No/0/100";  // automatic threshold, full light
        row[14] = g_FeedModeNames[1];  // AutoFeed: presented and advanced by the companion
        if (r.trayFeeder && f == 4) row[14] = g_FeedModeNames[3];
        row[15] = "10", row[16] = "10", row[17] = "0", row[18] = "1", row[19] = "0", row[20] = "0", row[21] = "0";
        row[22] = FormatC("%0.4f", kFeederPickHeight[f - 1]), row[23] = "No/", row[24] = "0", row[25] = "01";
        row[26] = "100";
        row[27] = "2", row[28] = "2", row[29] = "100";  // precisions in pulses; ms for the head to settle
        std::string line;
        for (const auto& c : row) line += c + "\t";
        return line;
    }

    void Program(const RunSetup& r) {
        g_MachineType = r.type;
        BasicSettings& b = TheBasicSettings();
        b = BasicSettings{};
        b.m_CommModel = r.serial ? 0 : 1;
        double* offX[] = {&b.m_X_Nozzle2ToNozzle1, &b.m_X_Nozzle3ToNozzle1, &b.m_X_Nozzle4ToNozzle1, &b.m_X_Nozzle5ToNozzle1,
                          &b.m_X_Nozzle6ToNozzle1, &b.m_X_Nozzle7ToNozzle1, &b.m_X_Nozzle8ToNozzle1};
        double* offY[] = {&b.m_Y_Nozzle2ToNozzle1, &b.m_Y_Nozzle3ToNozzle1, &b.m_Y_Nozzle4ToNozzle1, &b.m_Y_Nozzle5ToNozzle1,
                          &b.m_Y_Nozzle6ToNozzle1, &b.m_Y_Nozzle7ToNozzle1, &b.m_Y_Nozzle8ToNozzle1};
        for (int k = 2; k <= 8; ++k) {
            *offX[k - 2] = scenario.nozzleOffset[k - 1].x;
            *offY[k - 2] = scenario.nozzleOffset[k - 1].y;
        }
        b.m_X_CameraToNozzle1 = scenario.markCameraOffset.x, b.m_Y_CameraToNozzle1 = scenario.markCameraOffset.y;
        if (r.placeOffsets) {
            double* corrX[] = {&b.m_Correction_X1, &b.m_Correction_X2, &b.m_Correction_X3, &b.m_Correction_X4,
                               &b.m_Correction_X5, &b.m_Correction_X6, &b.m_Correction_X7, &b.m_Correction_X8};
            double* corrY[] = {&b.m_Correction_Y1, &b.m_Correction_Y2, &b.m_Correction_Y3, &b.m_Correction_Y4,
                               &b.m_Correction_Y5, &b.m_Correction_Y6, &b.m_Correction_Y7, &b.m_Correction_Y8};
            for (int k = 0; k < 8; ++k) *corrX[k] = kPlaceOffsetX[k], *corrY[k] = kPlaceOffsetY[k];
        }
        b.m_X_Limit = 400, b.m_Y_Limit = -300;
        b.m_Z_Nozzle1ToPCBHeight = -10, b.m_Z_closeVacuum = 0.5;
        double* feed[] = {&b.m_Z_Nozzle1ToFeed, &b.m_Z_Nozzle2ToFeed, &b.m_Z_Nozzle3ToFeed, &b.m_Z_Nozzle4ToFeed,
                          &b.m_Z_Nozzle5ToFeed, &b.m_Z_Nozzle6ToFeed, &b.m_Z_Nozzle7ToFeed, &b.m_Z_Nozzle8ToFeed};
        for (int k = 0; k < 8; ++k) *feed[k] = kFeedHeight[k];
        b.m_X_ThrowPosition = 20, b.m_Y_ThrowPosition = -280, b.m_ThrowDelay = 0;
        // Where the mark camera waits while the conveyor changes boards.
        b.m_X_StopPosition = b.m_X_VisualOrigin = 150, b.m_Y_StopPosition = b.m_Y_VisualOrigin = -100;
        PulseFactors& p = ThePulseFactors();
        p = PulseFactors{};
        p.m_X_Pulse = scenario.pulsesX, p.m_Y_Pulse = scenario.pulsesY, p.m_Z_Pulse = scenario.pulsesZ;
        p.m_A_Pulse = scenario.pulsesA;
        p.m_WestWalk_Pulse = p.m_NorthWalk_Pulse = p.m_EastWalk_Pulse = 10;
        p.m_WestLift_Pulse = p.m_NorthLift_Pulse = p.m_EastLift_Pulse = 10;
        g_PulsesPerMm = {p.m_X_Pulse, p.m_Y_Pulse, p.m_Z_Pulse, p.m_A_Pulse, 10, 10, 10, 10, 10, 10, 0, 0};
        for (int n = 2; n <= 8; ++n)
            g_NozzleToNozzle1Pulses[static_cast<std::size_t>(n - 1)] = {ToPulses(*offX[n - 2], p.m_X_Pulse),
                                                                       ToPulses(*offY[n - 2], p.m_Y_Pulse)};
        g_CameraToNozzle1Pulses = {ToPulses(b.m_X_CameraToNozzle1, p.m_X_Pulse), ToPulses(b.m_Y_CameraToNozzle1, p.m_Y_Pulse)};
        g_ThrowPositionPulses = {ToPulses(b.m_X_ThrowPosition, p.m_X_Pulse), ToPulses(b.m_Y_ThrowPosition, p.m_Y_Pulse)};
        SetMoveLimits({ToPulses(400, p.m_X_Pulse), ToPulses(-300, p.m_Y_Pulse), 400000, 300000});
        // Firmware 2.04 and later: the serial X/Y/A move carries moves beyond 32767
        // pulses (the park from the nozzle library at 370 mm).
        TheVersionSwitches().m_V2_04 = 1;
        SpeedTypeTable t;
        for (int d = 0; d < 16; ++d) t.SetPair(d, {10, 100});
        for (SpeedType type : {SpeedType::Reset, SpeedType::Handle, SpeedType::PickPart, SpeedType::Smt,
                               SpeedType::VisualCorrection, SpeedType::VisualSmt, SpeedType::AutoNozzle})
            TheSpeedTemplates().SetTable(type, t);

        // The feeder group "G" with the four feeders, open.
        std::vector<std::string> lines{"1\tG\t", "G\td\t4\t"};
        for (int f = 1; f <= 4; ++f) lines.push_back(FeederLineOf(f, r));
        for (int f = 1; f <= 4; ++f) {
            const std::vector<std::string> tray = TrayLines(f, r);
            lines.insert(lines.end(), tray.begin(), tray.end());
        }
        ReadTable(TheFeedGroupTable(), lines);
        TheFeedGroupTable().SetOpenGroupName("G");

        // The placement list.
        std::vector<JobRow> rows;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const JobPart& part = parts[i];
            JobRow row(CellCount(JobList::Part));
            row.cells[partcell::Number] = std::to_string(i + 1);
            row.cells[partcell::X] = FormatC("%0.4f", part.x);
            row.cells[partcell::Y] = FormatC("%0.4f", part.y);
            row.cells[partcell::Angle] = FormatC("%0.4f", part.angle);
            row.cells[partcell::Name] = part.name;
            row.cells[partcell::Package] = "P" + std::to_string(part.feeder);
            row.cells[partcell::Place] = part.place ? "Yes" : "No";
            row.cells[partcell::Value] = "V" + std::to_string(part.feeder);
            row.cells[partcell::Feeder] = FeederId(part.feeder, r);
            row.cells[partcell::Vision] = r.vision ? "Yes" : "No";
            row.cells[partcell::Head] = std::to_string(HeadOfFeeder(part.feeder, r));
            rows.push_back(row);
        }
        ThePartList().SetRows(JobList::Part, rows);

        // The PCB record: the nominal board, its panel with cell (0, 1) off.
        PcbRecord rec;
        rec.m_PcbName = "PCB->T";
        rec.m_PanelRows = 2, rec.m_PanelCols = PanelCols(r);
        rec.m_RowPitch = kRowPitch, rec.m_ColPitch = kColPitch, rec.m_Thickness = kThickness;
        rec.m_OriginX = kOriginX, rec.m_OriginY = kOriginY;
        rec.m_MarkEnable = r.marks ? 1 : 0;
        rec.m_Mark1X = kMark1X, rec.m_Mark1Y = kMark1Y, rec.m_Mark2X = kMark2X, rec.m_Mark2Y = kMark2Y;
        if (r.perCellMarks) rec.m_SubBoardMark = 1, rec.m_Mark2X = kCellMark2X, rec.m_Mark2Y = kCellMark2Y;
        rec.m_PanelGrid = {{"A", "1/1", "0/2"}, {"B", "1/3", "1/4"}};
        if (r.widePanel) rec.m_PanelGrid = {{"A", "1/1", "0/2", "1/3"}, {"B", "1/4", "1/5", "0/6"}};
        StoreRunBoard(MakeRunBoard(rec, p.m_X_Pulse, p.m_Y_Pulse));

        if (r.autoNozzle) {
            std::lock_guard lock(NozzleStateMutex());
            for (std::size_t h = 0; h < scenario.holders.size(); ++h) {
                const sim::ScenarioHolder& w = scenario.holders[h];
                NozzleRecord& n = g_NozzleTable[h];
                n = NozzleRecord{};
                n.holderX = n.entryX = ToPulses(w.at.x, p.m_X_Pulse);
                n.holderY = n.entryY = ToPulses(w.at.y, p.m_Y_Pulse);
                for (std::size_t k = 0; k < 8; ++k) n.headEntryZ[k] = ToPulses(w.entryZ[k], p.m_Z_Pulse);
                n.vacuum = 40;
                n.pickHeight = kLibraryPickHeight[h];
                for (std::size_t o = 0; o < scenario.holders.size(); ++o) n.sameRemark[o] = 1;
            }
        }
        SmtStrategyConfig c;
        c.m_HeaderSelect = r.headMode;
        c.m_AutoChangeNozzle = r.autoNozzle ? 1 : 0;
        TheSmtStrategy().SetConfig(c);
        ApplyHeadMode(r.headMode);

        if (r.conveyorBoards > 0) {
            AutoTransportConfig conveyor;
            conveyor.m_ConveyorStartSpeed = 10, conveyor.m_ConveyorNormalSpeed = 20, conveyor.m_ClampTime = 5;
            conveyor.m_WaitTimeOut = 3000;
            conveyor.m_AutoTransport_1_1 = 10, conveyor.m_AutoTransport_1_2 = 20, conveyor.m_AutoTransport_2_1 = 30;
            conveyor.m_AutoTransport_2_2 = 20, conveyor.m_AutoTransport_3_1 = 20, conveyor.m_AutoTransport_3_2 = 20;
            conveyor.m_AutoTransport = 1;
            TheAutoTransport().SetConfig(conveyor);
            boardCount = r.conveyorBoards;
            RunThreadEntry(RunThreadKind::ConveyorZone2) = [] { ConveyorZone2Thread(); };
        }
        // The wiring the program's run makes.
        RunThreadEntry(RunThreadKind::Placement) = [] { PlacementRunThread(); };
        RunThreadEntry(RunThreadKind::FeederAdvance) = [] { FeederAdvanceThread(); };
        TheRowSearchLookups().FindFeederForPart = [](int g, const std::string& f, int k) { return FindFeederForPart(g, f, k); };
        TheRunPort().startRunThreads = [](int mode) { return StartRunThreads(mode); };
        TheRunPort().runThreadsLive = [] { return LiveRunThreads() > 0; };
        RunFrameSources& src = TheRunFrameSources();
        src.currentPcbName = [] { return std::string("PCB->T"); };
        src.pcbBoardCount = [this] { return boardCount.load(); };
        src.setPcbBoardCount = [this](int n) { boardCount = n; };
        src.manualMarkOffset = [] { return false; };
        src.clearManualMarkOffset = [] {};
        src.markLightBrightness = [] { return 100; };
        TheRunToolbarPort().pcbBoardCount = [this] { return boardCount.load(); };
        // The PCB editor's Mark settings for this world's mark camera.
        PcbEditFields fields;
        fields.m_VisualZoom = scenario.markCamera.pixelsPerMm;
        fields.m_DetectPrecision = 20;
        fields.m_VisualBox = 3;
        fields.m_MarkDiameter = 1;
        fields.m_LightContrast = 0;
        fields.m_LightBrightness = 200;
        fields.m_VisualTimes = 3;
        fields.m_MarkCollectTime = 300;  // frames drawn while the head still moved are past
        TheRunToolbarPort().pcbEditFields = [fields] { return fields; };
    }

    // The machine of the setup on its link with the world, connected and homed.
    void Machine(const RunSetup& r) {
        scenario = World(r);
        StartWorld(r.type, scenario, r.serial, !r.serial, r.vision);
        if (HasFatalFailure()) return;
        if (r.timeScale > 0) sim->SetTimeScale(r.timeScale);
        ResetCommandWorld(r.serial);
        Program(r);
        ConnectToWorld(r.serial);
        if (HasFatalFailure()) return;
        InstallHomingOf(r.type);
        g_PanelLink.zCheckMask = 3;  // both rockers in the middle, as the board reports them
        if (r.vision) {
            g_HighSpeedCamera = 1;
            g_MarkCameraOn = true;
            g_VisualCamera1On = g_VisualCamera2On = g_FlyCameraOn = true;
            ASSERT_TRUE(TheCameraService().InitCameras());
        } else if (r.marks) {
            g_HighSpeedCamera = 0;
            TheVideoSourcePort().count = [] { return 1; };
            TheVideoSourcePort().make = [w = &world()] { return std::make_unique<WorldMarkVideo>(w); };
            ASSERT_TRUE(TheSetView().OpenCamera(false, 1, 0));
        }
        if (r.vision) Vision();
        hooks.Take();
    }

    // The program's side of the vision cameras, as the vision wiring fills it: the
    // camera list's two records where the world has them, precisions 2 pulses.
    void Vision() {
        CommandPanelPort& c = TheCommandPanel();
        c.setCurrentCamera = [](int camera) { g_CurrentCamera = camera; };
        c.highSpeedCamera = [] { return g_HighSpeedCamera == 1; };
        c.switchCameraStreams = [](int camera, int mode) { TheCameraService().SwitchToCamera(camera, mode); };
        c.flyFrameEvent = [] { return &TheCameraService().m_hFlyDoneEvent; };
        TheSetViewSources().flyMeasure = [](int nozzle, const cv::Mat& frame) { MeasurePartInFrame(frame, nozzle); };
        TheCameraService().hooks().flyMeasure = [](int nozzle, const cv::Mat& frame) {
            if (const auto& f = TheSetViewSources().flyMeasure) f(nozzle, frame);
        };
        g_PanelLink.zCheckMask = 3;
        CameraRecords();
        TheBasicSettings().m_AutoMagnify = 4.0;
        UpdateHeadOffsets();
    }

    // Every feeder's parts fly (cell 13 "Yes", automatic threshold, full light), and
    // the camera list carries what the fly calibration finds: in the pass the
    // machine's Y is the camera's, so head k's part shows shifted by that head's Y
    // offset, which its fly correction takes back.
    void FlyEveryFeeder() {
        for (int f = 1; f <= 4; ++f)
            ASSERT_TRUE(TheFeedGroupTable().SetFeederCell(0, "W" + std::to_string(f), 13, "Yes/0/100"));
        CameraListSettings s = TheCameraList().Settings();
        s.m_iFlyStartSpeed = 12;
        s.m_iFlyNormalSpeed = 120;
        for (int k = 1; k < 8; ++k) s.m_dFlyCorrect_Y[static_cast<std::size_t>(k)] = scenario.nozzleOffset[k].y;
        TheCameraList().SetSettings(s);
        UpdateHeadOffsets();
    }

    // The camera list's two records where the world has them, precisions 2 pulses;
    // with correctionY (mm) each camera's Y correction cell too.
    void CameraRecords(std::optional<double> correctionY = std::nullopt) {
        for (int k = 0; k < 2; ++k) {
            CameraCells cells{};
            cells[0] = k == 0 ? kCamera1Name : kCamera2Name;
            cells[1] = FormatC("%0.4f", scenario.vision[k].position.x);
            cells[2] = FormatC("%0.4f", scenario.vision[k].position.y);
            if (correctionY) cells[6] = FormatC("%0.4f", *correctionY);
            cells[20] = FormatC("%0.4f", scenario.vision[k].pixelsPerMm);
            cells[21] = "10";
            cells[24] = "6";
            cells[25] = "2";
            cells[26] = "2";
            cells[27] = "150";
            TheCameraList().RefreshRecordAt(k, cells, scenario.pulsesX, scenario.pulsesY);
        }
    }

    // The rows the run is meant to put down (a run from a row, of selected rows): the
    // job the world is handed, in order, and the check's expected rows.
    void MeantRows(std::vector<sim::RowTarget> rows) {
        expected = rows;
        scenario.rows = std::move(rows);
        sim->UseScenario(scenario);
    }

    // Start as the part list's button does; true once the run and its homing ended.
    bool RunToTheEnd(std::chrono::seconds limit = std::chrono::seconds(120)) {
        if (!OnStartRun(ThePartList())) return false;
        return WaitUntil([] { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); }, limit);
    }

    // The depths each row's strokes must reach (row_depths.h), its part from the feeder
    // of the row's scenario feeder.
    std::vector<sim::RowTarget> WithDepths(std::vector<sim::RowTarget> rows) const {
        return WithStrokeDepths(
            std::move(rows),
            [this](const sim::RowTarget& t) { return t.feeder < 0 ? std::string() : FeederId(t.feeder + 1, setup); },
            scenario.pulsesZ);
    }

    // The run check of the rows, and what became of every part picked: put down, or
    // discarded at the discard place for one of the `retries` the run was allowed.
    ::testing::AssertionResult RunCheckPasses(double mm = 0.1, double deg = 0.25, int retries = 0) {
        sim::RunTolerance tol;
        tol.mm = mm, tol.deg = deg;
        const sim::RunCheckResult result = sim::CheckRun(world().ledger(), WithDepths(expected), tol);
        // A discarded part falls where the settings put the discard place.
        const sim::Vec bin{TheBasicSettings().m_X_ThrowPosition, TheBasicSettings().m_Y_ThrowPosition};
        const std::string handling = sim::CheckHandling(world().ledger().Entries(), retries, bin);
        if (result.Passed() && result.parts == expected.size() && handling.empty())
            return ::testing::AssertionSuccess() << result.Table();
        return ::testing::AssertionFailure() << result.Table() << handling;
    }

    std::vector<JobPart> parts;
    RunSetup setup;
    sim::Scenario scenario;
    std::vector<sim::RowTarget> expected;
    std::atomic<int> boardCount{1};
};

} // namespace smt::test
