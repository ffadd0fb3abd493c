#include "joblist/run_toolbar.h"

#include <cstdint>

#include "base/window_titles.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/part_list_texts.h"
#include "joblist/run_port.h"
#include "joblist/smt_strategy.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "run_state/run_events.h"
#include "machine_ops/auto_transport.h"
#include "settings/basic_settings.h"

namespace smt {

namespace {

namespace tb {
constexpr int PcbEdit = 104, Strategy = 105, Start = 106, Pause = 107, Regain = 108, Stop = 109;
}

std::string Title() {
    const int lang = g_LanguageIndex.load();
    return kWindowTitles[lang >= 0 && lang < 3 ? lang : 0];
}

// The part list window's own box: the application's title, OK only.
void WindowBox(const std::string& text) { plat::MessageBoxOk(text, false, plat::MsgIcon::None, Title()); }
void TopmostBox(const std::string& text) { plat::MessageBoxOk(text, true, plat::MsgIcon::Warning); }

void Button(int id, bool on) {
    if (const auto& f = PartListToolButtons()) f(id, on);
}

template <class F, class... A>
void Call(const F& f, A&&... a) {
    if (f) f(std::forward<A>(a)...);
}

// Connected, homed and idle, each refused in its topmost box.
bool MachineReady() {
    if (!g_Connected.load()) return TopmostBox("Machine is not connection !"), false;
    if (!g_Homed.load()) return TopmostBox("Machine is not reset !"), false;
    if (g_Running.load()) return TopmostBox("Machine is runnig !"), false;
    return true;
}

// Set while Start hands the run to its threads: a Pause from the hand-over finds
// the run live though no thread of it counts yet.
bool g_startingRun = false;

bool RunThreadsLive() {
    const auto& live = TheRunPort().runThreadsLive;
    return !live || live();
}

// A run is live while a thread of it lives and its end has not come (its end and
// Stop clear g_RunContinue first). A Pause or Regain carried out later (a panel
// key the reply thread posted before the end) finds none.
bool RunLive() { return g_RunContinue.load() && (g_startingRun || RunThreadsLive()); }

// The value on the link of Regain and Stop: the serial frame carries the code only.
std::uint8_t LinkGearValue() { return TheBasicSettings().m_CommModel != 0 ? 1 : 0; }

void SelectAndFocus(PartListStore& store, int row) {
    store.SetSelected(JobList::Part, row, true);
    store.Changed(JobList::Part, row, false, row);
}

// The text before the first "/", or nothing when the cell holds none.
std::optional<std::string> FlagBeforeSlash(const std::string& cell) {
    const auto slash = cell.find('/');
    if (slash == std::string::npos) return std::nullopt;
    return cell.substr(0, slash);
}

} // namespace

RunToolbarPort& TheRunToolbarPort() {
    static RunToolbarPort port;
    return port;
}

bool OnStartRun(PartListStore& store) {
    const RunToolbarPort& port = TheRunToolbarPort();
    JobList focus = JobList::Part;
    if (g_MachineType.load() == 9) {
        focus = JobList::Drill;
        if (store.RowCount(JobList::Drill) == 0) return WindowBox(PartListText("Message_01")), false;
    } else {
        if (store.RowCount(JobList::Part) == 0) return WindowBox(PartListText("Message_01")), false;
        if (!store.ValidatePartRows()) return false;
        if (port.pcbBoardCount && port.pcbBoardCount() == 0) return WindowBox("Pcb = 0 ?"), false;
        const char* busy = store.m_SmtBusy     ? "Smt thread is busy !"
                           : store.m_FeedBusy  ? "Feed thread is busy !"
                           : store.m_ConveyorBusy ? "Conveyor thread is busy !"
                                                  : nullptr;
        if (busy) return Call(port.setTrace, std::string(busy)), false;
    }
    // A thread of the previous run that has not ended yet would meet the new one's events.
    if (const auto& live = TheRunPort().runThreadsLive; live && live())
        return Call(port.setTrace, std::string("Smt thread is busy !")), false;
    Call(port.focusList, focus);
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    claim.HandOver();  // the run's end clears it
    Call(port.setTrace, std::string());
    for (int id : {tb::PcbEdit, tb::Strategy, tb::Start, tb::Regain}) Button(id, false);
    Button(tb::Pause, true);
    Button(tb::Stop, true);
    g_RunClock = 0;
    g_RunContinue = true;
    g_FeedContinue = true;
    g_ConveyorContinue = true;
    g_RunPaused = false;
    // A run that ended while paused left the gate shut: the new run must not stop at its first step.
    g_hRunPauseGate.Set();
    Call(port.runClock, true);
    store.m_PlacedCount = 0;
    const int mode = TheSmtStrategy().RunSelect();
    g_startingRun = true;
    const auto& start = TheRunPort().startRunThreads;
    const bool started = start && start(mode);
    g_startingRun = false;
    // No run to hand over to: the run ends here, so nothing stays busy.
    if (!started) FinishRunPartListSteps(store);
    return true;
}

void OnPauseRun() {
    if (!RunLive()) return;  // the buttons stay as the run's end set them
    g_RunPaused = true;
    g_hRunPauseGate.Reset();
    // The run may have ended between the test and the flag: its end cleared the
    // pause before this set it, so the pause is taken back.
    if (!RunLive()) {
        g_RunPaused = false;
        g_hRunPauseGate.Set();
        return;
    }
    SetSpeedGear(2, 0);
    Button(tb::Pause, false);
    Button(tb::Regain, true);
}

void OnResumeRun() {
    if (!RunLive()) return;
    // The busy flag is the run's to claim: while a run question stands the run has
    // let it go and claims it back after the answer; taken here, the run would wait
    // for it until Stop (and with no run nothing would ever clear it).
    g_RunPaused = false;
    g_hRunPauseGate.Set();
    SetSpeedGear(3, LinkGearValue());
    Button(tb::Pause, true);
    Button(tb::Regain, false);
}

void OnStopRun() {
    g_RunContinue = false;  // before the gate opens, so a paused thread sees it
    g_hRunPauseGate.Set();
    // A command of the run waiting for its reply ends too unless the reply comes
    // within the grace: the run does not outwait a dead machine's bound.
    StopPendingWaitsAfter(limits::kStopGrace);
    if (TheAutoTransport().Config().m_AutoTransport != 0) {
        g_ConveyorContinue = false;
        g_hBoardDone.Set();
        SetSpeedGear(0x0F, LinkGearValue());
    }
    // No run thread left and no other action under way (each runs in a worker; the
    // homing of the run's end too): whatever the flags say, nobody owns the busy
    // flag, so the program goes back to idle and the operator can start again.
    if (!RunThreadsLive() && plat::RunningWorkers() == 0 && !HomingInProgress()) {
        g_RunPaused = false;
        FinishRunPartListSteps(ThePartList());
    }
}

void OnPcbClamp() {
    if (!MachineReady()) return;
    TheAutoTransport().StartClampButton();
}

void OnCompare(PartListStore& store) {
    if (store.RowCount(JobList::Part) == 0) return WindowBox(PartListText("Message_01"));
    const int current = store.m_PartItem;
    if (current < 0) return;
    std::optional<int> differs;
    {
        auto lock = store.Hold();
        auto& rows = store.RowsLocked(JobList::Part);
        if (current < static_cast<int>(rows.size())) rows[current].selected = false;
        for (int r = current; r < static_cast<int>(rows.size()); ++r)
            if (rows[r].Cell(partcell::Value) != rows[r].Cell(partcell::FeederValue)) {
                rows[r].selected = true;
                differs = r;
                break;
            }
    }
    store.Changed(JobList::Part, current);
    if (differs) {
        store.Changed(JobList::Part, *differs);
        Call(TheRunToolbarPort().ensureVisible, JobList::Part, *differs + 3);
        WindowBox("Part & Feed value is not same !");
    } else {
        WindowBox("Part & Feed value is same all.OK");
    }
}

int HeadLimitOfMachineType(int type) {
    switch (type) {
    case 0: case 1: return 1;
    case 2: case 5: return 2;
    case 3: case 4: case 6: return 4;
    case 7: return 8;
    default: return 0;
    }
}

void OnUpdate(PartListStore& store, const std::vector<FeedRow>& feeders) {
    if (feeders.empty()) return WindowBox(PartListText("Message_18"));
    const int rowCount = store.RowCount(JobList::Part);
    for (int r = 0; r < rowCount; ++r) {
        std::optional<std::string> missing;
        {
            auto lock = store.Hold();
            auto& rows = store.RowsLocked(JobList::Part);
            if (r >= static_cast<int>(rows.size())) break;
            JobRow& row = rows[r];
            if (row.Cell(partcell::Place) != "Yes") continue;
            const FeedRow* feeder = nullptr;
            for (const FeedRow& f : feeders)
                if (f[0] == row.Cell(partcell::Feeder)) {
                    feeder = &f;
                    break;
                }
            if (!feeder) {
                missing = FormatC("%d", r + 1) + PartListText("NoFeed");
            } else {
                row.Set(partcell::Package, (*feeder)[2], row.Icon(partcell::Package));
                // The camera cell decides; a camera "No" leaves it to the flying-centring cell.
                std::optional<std::string> flag = FlagBeforeSlash((*feeder)[12]);
                if (flag && *flag == "No") flag = FlagBeforeSlash((*feeder)[13]);
                if (flag) {
                    const bool yes = *flag == "Yes";
                    row.Set(partcell::Vision, yes ? "Yes" : "No", yes ? rowicon::VisionYes : rowicon::VisionNo);
                }
                row.Set(partcell::FeederValue, (*feeder)[3], row.Icon(partcell::FeederValue));
                row.Set(partcell::Head, (*feeder)[10], row.Icon(partcell::Head));
            }
        }
        store.Changed(JobList::Part, r);
        if (missing) {
            SelectAndFocus(store, r);
            return WindowBox(*missing);
        }
    }
    if (TheSmtStrategy().Config().m_AutoChangeNozzle == 0) {
        if (const int limit = HeadLimitOfMachineType(g_MachineType.load()); limit > 0)
            for (int r = 0; r < store.RowCount(JobList::Part); ++r)
                if (AtoI(store.Cell(JobList::Part, r, partcell::Head)) > limit) {
                    SelectAndFocus(store, r);
                    return WindowBox(FormatC("%d", r + 1) + PartListText("NoNozzle"));
                }
    }
    store.ResetPartRowIcons();
    store.ResetDisRowIcons();
    store.ResetDrillRowIcons();
}

void OnSmtDis(PartListStore& store) {
    if (g_MachineType.load() == 9) return store.ShowList(JobList::Drill);
    const int mode = TheSmtStrategy().RunSelect();
    if (mode == 1 || mode == 2) {
        if (store.RowCount(JobList::Dis) == 0 && store.RowCount(JobList::Part) > 0) store.CopyPartRowsToDisList();
        store.ShowList(store.VisibleList() == JobList::Part ? JobList::Dis : JobList::Part);
    } else {
        store.ShowList(JobList::Part);
    }
}

void RunRestricted(PartListStore& store, JobList list, bool selectedOnly) {
    if (!MachineReady()) return;
    if (!g_HeadResetOk.load()) return TopmostBox(PartListText("Message_41"));
    auto& flag = (selectedOnly ? store.m_RunSelectedOnly : store.m_RunFromRow)[static_cast<int>(list)];
    flag = 1;
    if (!OnStartRun(store)) flag = 0;
}

void AdvanceRunClock() { ++g_RunClock; }

std::string RunClockText() {
    const std::int64_t s = g_RunClock.load();
    return FormatC("T %2d:%2d:%2d", static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                   static_cast<int>(s % 60));
}

std::string RunCounterText(int currentRowNo, int placedCount) {
    if (placedCount == 0) return FormatC("%d", currentRowNo);
    const std::int64_t elapsed = g_RunClock.load();
    const std::int64_t rate = elapsed > 0 ? std::int64_t{placedCount} * 3600 / elapsed : 0;
    return FormatC("%d/%d-%lld", currentRowNo, placedCount, static_cast<long long>(rate));
}

void FinishRunPartListSteps(PartListStore& store) {
    store.m_RunFromRow[static_cast<int>(JobList::Part)] = 0;
    store.m_RunFromRow[static_cast<int>(JobList::Dis)] = 0;
    for (auto& f : store.m_RunSelectedOnly) f = 0;
    store.m_SmtBusy = 0;
    ReleaseBusy();
    Button(tb::PcbEdit, true);
    Button(tb::Strategy, true);
    Button(tb::Start, g_HeadResetOk.load());
    for (int id : {tb::Pause, tb::Regain, tb::Stop}) Button(id, false);
    const RunToolbarPort& port = TheRunToolbarPort();
    Call(port.enablePanels);
    Call(port.runClock, false);
}

std::optional<FindHit> FindCell(const PartListStore& store, const std::string& text, int startRow, int columns) {
    auto lock = store.Hold();
    const int rows = store.RowCount(JobList::Part);
    for (int r = std::max(startRow, 0); r < rows; ++r) {
        const auto row = store.Row(JobList::Part, r);
        if (!row) break;
        for (int c = 0; c < columns; ++c)
            if (row->Cell(c) == text) return FindHit{r, c};
    }
    return std::nullopt;
}

} // namespace smt
