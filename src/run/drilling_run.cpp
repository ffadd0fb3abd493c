// DrillingRunThread: start, boards, panel cells, drilling rows and the run end. A
// failed move, a refused row and a stop seen at a test leave at once through
// FinishRun with keep-conveyor 0 (no park); the normal end parks, homes and calls
// FinishRun with 1.
#include "run/drilling_run.h"

#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"
#include "joblist/run_toolbar.h"
#include "link/combined_commands.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"
#include "run/run_frame.h"
#include "run/run_rows.h"
#include "run/run_steps.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"
#include "settings/speed_template.h"
#include "vision/set_view.h"

namespace smt {

namespace {

constexpr std::uint8_t kDrillAxis = 2, kA1Axis = 4;
constexpr std::int32_t kA1AtStart = -6400, kA1AtEnd = 10000;
constexpr std::int32_t kParkX = 1000, kParkY = -1000;

// Drilling row cells.
namespace drill {
constexpr int Number = 0, X = 1, Y = 2, Z = 3, Depth = 4, Feed = 5, Retract = 6, FeedStart = 8, RetractStart = 10,
              RetractRun = 11;
}

class DrillingRun {
public:
    DrillingRun() : m_store(ThePartList()), m_sources(TheRunFrameSources()), m_board(CopyRunBoard()) {}
    void Run();

private:
    void Fail() { FinishRun(m_store, false); }
    // false: the run has ended through FinishRun.
    bool Start();
    // false: the run has ended through FinishRun.
    bool Cell(int r, int c);
    bool Row(int i, double offX, double offY);
    bool Z(std::int32_t delta, AxisSpeed speed) { return MoveSingleAxis({kDrillAxis, delta, speed}); }
    void RunEnd();

    PartListStore& m_store;
    RunFrameSources& m_sources;
    RunBoardState m_board;
    int m_rowCount = 0;
    std::int32_t m_thick = 0;
};

bool DrillingRun::Start() {
    m_store.m_SmtBusy = 1;
    Call(m_sources.disablePanels);
    TheSetView().m_Zoom = 1.0;
    m_rowCount = m_store.RowCount(JobList::Drill);
    Call(m_sources.showProgress, m_rowCount, 0);
    m_store.ShowList(JobList::Drill);
    TheSetView().OnBnClickedMarkCamera();
    const SpeedPair a1 = TheSpeedTemplates().Pair(SpeedType::Handle, kA1Axis);
    if (!GoesOnAfter(MoveSingleAxis({kA1Axis, kA1AtStart, {a1.start, a1.run}}))) return Fail(), false;
    m_thick = ToPulses(m_board.g_RunThickness, g_PulsesPerMmZ);
    return true;
}

void DrillingRun::Run() {
    if (!Start()) return;
    // A local count: without a conveyor the same board is drilled again on each pass.
    int boards = m_sources.pcbBoardCount ? m_sources.pcbBoardCount() : 0;
    int finished = 0;
    const int rows = m_board.g_RunPanelRows, cols = m_board.g_RunPanelCols;
    while (boards > 0) {
        --boards;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                if (!Cell(r, c)) return;
        ++finished;
        ShowRunProgress(rows - 1, cols - 1, finished);
    }
    RunEnd();
}

bool DrillingRun::Cell(int r, int c) {
    ShowRunProgress(r, c, 0);
    const std::size_t at = static_cast<std::size_t>(r) * static_cast<std::size_t>(m_board.g_RunPanelCols) + c;
    if (at < m_board.g_RunPanelGrid.size() && m_board.g_RunPanelGrid[at] == "0") return true;
    const double offY = r * m_board.g_RunRowPitch, offX = c * m_board.g_RunColPitch;
    const int list = static_cast<int>(JobList::Drill);
    for (int i = 0; i < m_rowCount; ++i) {
        // Only the first cell of the run starts at the current row.
        if (m_store.m_RunFromRow[list].exchange(0)) {
            const auto lock = m_store.Hold();
            i = m_store.m_DrillItem < 0 ? 0 : m_store.m_DrillItem;
            if (i >= m_rowCount) break;
        }
        if (!Row(i, offX, offY)) return false;
    }
    Call(m_sources.showProgress, -1, 0);
    m_store.ResetDrillRowIcons();
    if (!PassPauseGate()) return Fail(), false;
    return true;
}

bool DrillingRun::Row(int i, double offX, double offY) {
    const auto row = m_store.Row(JobList::Drill, i);
    if (!row) return true;
    if (m_store.m_RunSelectedOnly[static_cast<int>(JobList::Drill)] && !row->selected) return true;
    const int last = m_rowCount - 1;
    const int visible = i + 3 > last ? last : i + 3;
    plat::PostToUi([visible] { Call(TheRunToolbarPort().ensureVisible, JobList::Drill, visible); });
    m_store.SetDrillRowIcon(rowicon::Loaded, i);

    const auto cell = [&](int c) { return row->cells.size() > static_cast<std::size_t>(c) ? row->cells[c] : std::string(); };
    const double fz = g_PulsesPerMmZ;
    DrillZ z;
    z.zp = ToPulses(AtoF(cell(drill::Z)), fz);
    z.depth = ToPulses(AtoF(cell(drill::Depth)), fz);
    z.feed = ToPulses(AtoF(cell(drill::Feed)), fz);
    z.retract = ToPulses(AtoF(cell(drill::Retract)), fz);
    const AxisSpeed retractSpeed{AtoI(cell(drill::RetractStart)), AtoI(cell(drill::RetractRun))};
    // The feed stroke starts with the feed start speed and runs with the retract run speed.
    const AxisSpeed feedSpeed{AtoI(cell(drill::FeedStart)), AtoI(cell(drill::RetractRun))};

    const double fx = g_PulsesPerMmX, fy = g_PulsesPerMmY;
    g_TargetPulseX = AddPulses({ToPulses(m_board.g_RunOriginX, fx), ToPulses(offX, fx), ToPulses(AtoF(cell(drill::X)), fx)});
    g_TargetPulseY = AddPulses({ToPulses(m_board.g_RunOriginY, fy), ToPulses(offY, fy), ToPulses(AtoF(cell(drill::Y)), fy)});
    const SpeedTypeTable handle = TheSpeedTemplates().Table(SpeedType::Handle);
    XYMoveArgs m;
    m.xAxis = 0;
    m.dX = AddPulses({g_TargetPulseX.load(), -std::int64_t{g_PulseX.load()}});
    m.xSpeed = {handle.m_Start_X, handle.m_Normal_X};
    m.yAxis = 1;
    m.dY = AddPulses({g_TargetPulseY.load(), -std::int64_t{g_PulseY.load()}});
    m.ySpeed = {handle.m_Start_Y, handle.m_Normal_Y};
    if (!MoveXY(m)) return Fail(), false;
    if (!PassPauseGate()) return Fail(), false;

    const std::vector<std::int32_t> strokes = PeckStrokes(z.depth, z.feed);
    if (strokes.empty()) {
        plat::MessageBoxOk(EndlessPeckText(i, cell(drill::Number)), true, plat::MsgIcon::Warning);
        return Fail(), false;
    }
    const std::int64_t down = std::int64_t{z.zp} + z.retract;
    if (!Z(m_thick, retractSpeed) || !Z(AddPulses({-down}), retractSpeed)) return Fail(), false;
    std::int64_t reach = z.retract;
    for (const std::int32_t stroke : strokes) {
        if (!Z(AddPulses({reach}), retractSpeed) || !Z(stroke, feedSpeed) ||
            !Z(AddPulses({-(reach + stroke)}), retractSpeed))
            return Fail(), false;
        reach += z.feed;
        if (!PassPauseGate()) return Fail(), false;
    }
    if (!Z(AddPulses({down}), retractSpeed) || !Z(AddPulses({-std::int64_t{m_thick}}), retractSpeed)) return Fail(), false;
    m_store.SetDrillRowIcon(rowicon::Done, i);
    Call(m_sources.showProgress, -1, i);
    return true;
}

void DrillingRun::RunEnd() {
    const SpeedPair a1 = TheSpeedTemplates().Pair(SpeedType::Handle, kA1Axis);
    if (!GoesOnAfter(MoveSingleAxis({kA1Axis, kA1AtEnd, {a1.start, a1.run}}))) return Fail();
    bool homing = false;
    if (g_RunContinue.load()) {
        const SpeedTypeTable handle = TheSpeedTemplates().Table(SpeedType::Handle);
        g_TargetPulseX = kParkX;
        g_TargetPulseY = kParkY;
        XYMoveArgs m;
        m.dX = AddPulses({kParkX, -std::int64_t{g_PulseX.load()}});
        m.xSpeed = {handle.m_Start_X, handle.m_Normal_X};
        m.dY = AddPulses({kParkY, -std::int64_t{g_PulseY.load()}});
        m.ySpeed = {handle.m_Start_Y, handle.m_Normal_Y};
        if (!MoveXY(m) || !PassPauseGate()) return Fail();
        TheSetView().OnBnClickedMarkCamera();
        // The homing keeps the busy flag until its reply or its failure.
        homing = MachineReset(0, false);
    }
    FinishRun(m_store, true, homing);
}

} // namespace

std::vector<std::int32_t> PeckStrokes(std::int32_t depth, std::int32_t feed) {
    std::vector<std::int32_t> out;
    if (feed <= 0 && depth >= 0) return out;
    std::int64_t done = 0, last = std::int64_t{feed} + depth;
    for (;;) {
        if (depth >= done) {
            out.push_back(feed);
        } else {
            out.push_back(AddPulses({last}));
            return out;
        }
        done += feed;
        last -= feed;
    }
}

std::string EndlessPeckText(int row, const std::string& rowNumber) {
    static const char* const builtin[] = {"该钻孔行每次进给不大于 0，钻孔不会结束，运行停止 ! 行:",
                                          "The feed of this drilling row is not above 0, its pecks would never end; the run stops ! Row:",
                                          "Der Vorschub dieser Bohrzeile ist nicht größer als 0, ihre Hübe enden nie; der Lauf endet ! Zeile:"};
    const int lang = g_LanguageIndex.load();
    const int i = lang >= 0 && lang < 3 ? lang : 0;
    std::string text = LoadCaption(plat::CurrentDirectory(), kLanguageNames[i], "DrillingRunConfig",
                                   "DrillingRun.c_Message_01", builtin[i]);
    text += " " + std::to_string(row + 1);
    if (!rowNumber.empty()) text += " (" + rowNumber + ")";
    return text;
}

int DrillingRunThread() {
    DrillingRun run;
    run.Run();
    return 0;
}

} // namespace smt
