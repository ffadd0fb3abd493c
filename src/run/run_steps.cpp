#include "run/run_steps.h"

#include <cstdint>
#include <mutex>

#include "base/globals.h"
#include "feeders/feed_group_table.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/smt_strategy.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/msgbox.h"
#include "run/mark_correction.h"
#include "run/placement_run.h"
#include "run/run_frame.h"
#include "run/run_geometry.h"
#include "run/run_rows.h"
#include "run_state/run_events.h"
#include "run_state/run_frame_sources.h"
#include "settings/speed_template.h"
#include "vision/set_view.h"

namespace smt {

void ClearRecords(int last, bool withRow) {
    for (int k = 1; k <= last; ++k) {
        PlacementRecord& r = Record(k);
        if (withRow) r.row = -1;
        r.jobRow = -1;
        r.vacuumFailedRow = -1;
        r.visionFailed = 0;
    }
}

std::optional<PartRunOpening> OpenPartListRun(PartListStore& store, RunFrameSources& sources,
                                              const SmtStrategyConfig& strategy, BoardStateKeeper& board,
                                              bool clearRecordRows, const std::function<void(int)>& fromRow) {
    PartRunOpening o;
    store.m_SmtBusy = 1;
    Call(sources.disablePanels);
    TheSetView().m_Zoom = 1.0;
    o.rowCount = store.RowCount(JobList::Part);
    Call(sources.showProgress, o.rowCount, 0);
    {
        std::lock_guard lock(NozzleStateMutex());
        for (int k = 1; k <= 8; ++k) Slot(k).row = -1;
        ClearRecords(8, clearRecordRows);
    }
    g_ActiveList = 1;
    store.ShowList(JobList::Part);
    g_AutoNozzleChange = strategy.m_AutoChangeNozzle != 0 ? 1 : 0;
    if (store.m_RunFromRow[static_cast<int>(JobList::Part)]) {
        const auto lock = store.Hold();
        fromRow(store.m_PartItem);
    }
    FeedGroupTable& feeders = TheFeedGroupTable();
    o.group = feeders.FindFeedGroupByName(feeders.OpenGroupName());
    if (o.group < 0) {
        plat::MessageBoxOk(PartListText("Message_20"), true, plat::MsgIcon::Warning);
        FinishRun(store, false);
        return std::nullopt;
    }
    board.SetOrigin(0, 0);
    o.marks = board.Start().g_RunMarkEnable != 0;
    o.perCell = board.Start().g_RunSubBoardMark != 0;
    TheSetView().OnBnClickedMarkCamera();
    return o;
}

CellOpening OpenPanelCell(const BoardStateKeeper& board, RunFrameSources& sources, bool marks, bool perCell, int r,
                          int c, double& offX, double& offY) {
    const RunBoardState& b = board.Start();
    offY = r * b.g_RunRowPitch;
    offX = c * b.g_RunColPitch;
    ShowRunProgress(r, c, 0);
    const std::size_t at = static_cast<std::size_t>(r) * static_cast<std::size_t>(b.g_RunPanelCols) + c;
    if (at < b.g_RunPanelGrid.size() && b.g_RunPanelGrid[at] == "0") return CellOpening::Skip;
    if (marks && perCell) {
        g_BoardRotation = 0.0;
        board.SetOrigin(offX, offY);
        if (!(sources.manualMarkOffset && sources.manualMarkOffset())) {
            const int light = sources.markLightBrightness ? sources.markLightBrightness() : 0;
            SelectCamera(1, static_cast<std::uint8_t>(light), -1);
            if (!CorrectByTwoMarks()) return CellOpening::Failed;
        }
        Call(sources.clearManualMarkOffset);
    }
    return CellOpening::Work;
}

XYDelta ParkDelta() {
    g_TargetPulseX = 1000;
    g_TargetPulseY = -1000;
    const SpeedTypeTable& smt = TheSpeedTemplates().Table(SpeedType::Smt);
    XYDelta xy;
    xy.dX = static_cast<std::int32_t>(1000 - static_cast<std::int64_t>(g_PulseX.load()));
    xy.xSpeed = {smt.m_Start_X, smt.m_Normal_X};
    xy.dY = static_cast<std::int32_t>(-1000 - static_cast<std::int64_t>(g_PulseY.load()));
    xy.ySpeed = {smt.m_Start_Y, smt.m_Normal_Y};
    return xy;
}

bool MarkCameraAndHome() {
    TheSetView().OnBnClickedMarkCamera();
    // The homing keeps the busy flag until its reply or its failure.
    return MachineReset(0, false);
}

std::optional<bool> ParkAndHome(bool walkAxes) {
    XYAMove park;
    park.xy = ParkDelta();
    park.nozzle = 0;
    park.flags = 0x80;
    if (!MoveXYA(park) || !PassPauseGate()) return std::nullopt;
    if (walkAxes) {
        const SpeedTypeTable& pick = TheSpeedTemplates().Table(SpeedType::PickPart);
        const struct {
            std::uint8_t axis;
            int counter;
            std::int32_t park;
            AxisSpeed speed;
        } walks[] = {{8, 0, -1000, {pick.m_Start_WestWalk, pick.m_Normal_WestWalk}},
                     {9, 1, 1000, {pick.m_Start_NorthWalk, pick.m_Normal_NorthWalk}},
                     {10, 2, -1000, {pick.m_Start_EastWalk, pick.m_Normal_EastWalk}}};
        for (const auto& w : walks) {
            const std::int32_t at = g_PulseFeederWalk[static_cast<std::size_t>(w.counter)].load();
            if (at != 0) MoveSingleAxis({w.axis, w.park - at, w.speed});
        }
    }
    return MarkCameraAndHome();
}

void EndRun(PartListStore& store, const std::function<bool()>& returnNozzles,
            const std::function<std::optional<bool>()>& park) {
    AwaitFeederAdvances();
    // Over a link declared lost nothing more is sent: no nozzle return, park or homing.
    if (LinkLost()) {
        FinishRun(store, false);
        return;
    }
    if (returnNozzles && g_AutoNozzleChange.load() && !returnNozzles()) {
        FinishRun(store, false);
        return;
    }
    bool homing = false;
    if (g_RunContinue.load()) {
        const auto h = park();
        if (!h) {
            FinishRun(store, false);
            return;
        }
        homing = *h;
    }
    FinishRun(store, true, homing);
}

} // namespace smt
