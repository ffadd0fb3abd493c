#include "run/run_frame.h"

#include <mutex>

#include "base/captions.h"
#include "base/globals.h"
#include "base/hooks.h"
#include "joblist/part_list.h"
#include "joblist/run_toolbar.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"
#include "run_state/run_events.h"
#include "machine_ops/auto_transport.h"
#include "settings/basic_settings.h"
#include "settings/speed_template.h"

namespace smt {

namespace {

constexpr int kPcbEdit = 104, kStrategy = 105, kStart = 106, kPause = 107, kRegain = 108, kStop = 109;
// A run thread's wait is bounded; it looks at its flag between slices.
constexpr plat::Millis kWaitSlice{50};

std::array<std::function<void()>, kRunThreadKinds> g_entries;
std::array<std::atomic<int>, kRunThreadKinds> g_liveByKind{};
std::atomic<int> g_live{0};
std::atomic<bool> g_finishPending{false};
// Set when the run's busy claim went to an action of the operator's (see AskDuringRun).
std::atomic<bool> g_busyLeftToOperator{false};
std::atomic<int> g_runMode{0};
std::mutex g_pcbNameMutex;
std::string g_pcbName;

int Index(RunThreadKind k) { return static_cast<int>(k); }

// Counts a run-frame worker as live from before it starts until its body returned.
void StartCounted(const std::string& name, std::atomic<int>* perKind, std::function<void()> body) {
    ++g_live;
    if (perKind) ++*perKind;
    plat::StartWorker(name, [perKind, body = std::move(body)] {
        struct Done {
            std::atomic<int>* perKind;
            ~Done() {
                if (perKind) --*perKind;
                --g_live;
            }
        } done{perKind};
        body();
    });
}

void Button(int id, bool on) {
    if (const auto& f = PartListToolButtons()) f(id, on);
}

// Vacuum off at the run's end, by machine type.
void VacuumOff(int type, int runMode) {
    if (type == 7) {
        if (runMode == 1 || runMode == 2) return;
        const int exhaust = TheBasicSettings().m_Exhaust;
        const std::uint8_t mask = g_PanelLink.zCheckMask.load();
        for (int i = 1; i <= 8; ++i) {
            if (!(mask & (1u << (i - 1)))) continue;
            plat::SleepFor(plat::Millis(exhaust > 0 ? exhaust : 0));
            SetOutput({static_cast<std::uint8_t>(0x20 + i - 1), 0, static_cast<std::uint16_t>(exhaust)});
        }
    } else if (type == 9) {
        const SpeedPair a1 = TheSpeedTemplates().Pair(SpeedType::Smt, 4);
        MoveSingleAxis({4, 10000, {a1.start, a1.run}});
    } else {
        for (int channel : {1, 2, 3, 4, 8}) SetOutput({static_cast<std::uint8_t>(channel), 0, 5});
    }
}

} // namespace

const char* RunThreadName(RunThreadKind kind) {
    static const char* const names[kRunThreadKinds] = {
        "PlacementRunThread", "FeederAdvanceThread", "EightHeadRunThread", "DispenseAndCheckRunThread",
        "DrillingRunThread",  "LampRunThread",       "CombinedPlacementThread", "ConveyorZone2Thread"};
    return names[Index(kind)];
}

std::function<void()>& RunThreadEntry(RunThreadKind kind) { return g_entries[Index(kind)]; }

std::string RunPcbName() {
    std::lock_guard lock(g_pcbNameMutex);
    return g_pcbName;
}

int CurrentRunMode() { return g_runMode.load(); }

void StartRunThread(RunThreadKind kind) {
    std::function<void()> body = g_entries[Index(kind)];
    if (!body)
        body = [kind] {
            if (FinishRun(ThePartList(), false))
                ReportNotAvailable(std::string("RunThreads.") + RunThreadName(kind));
        };
    StartCounted(RunThreadName(kind), &g_liveByKind[Index(kind)], std::move(body));
}

int LiveRunThreads() { return g_live.load(); }
bool RunThreadLive(RunThreadKind kind) { return g_liveByKind[Index(kind)].load() > 0; }

std::string BadRunModeText(int runMode) {
    static const char* const builtin[] = {"运行模式错误 :", "Invalid run mode:", "Ungültiger Betriebsmodus:"};
    const int lang = g_LanguageIndex.load();
    const int i = lang >= 0 && lang < 3 ? lang : 0;
    return LoadCaption(plat::CurrentDirectory(), kLanguageNames[i], "RunFrameConfig", "RunFrame.c_Message_01",
                       builtin[i]) +
           " " + std::to_string(runMode);
}

bool StartRunThreads(int runMode) {
    PartListStore& store = ThePartList();
    g_runMode = runMode;
    {
        const auto& name = TheRunFrameSources().currentPcbName;
        std::lock_guard lock(g_pcbNameMutex);
        g_pcbName = name ? name() : std::string();
    }
    // No release left by an earlier run may reach this one.
    for (plat::Event* e : HandOffEvents()) e->Reset();
    g_finishPending = true;
    g_busyLeftToOperator = false;
    SetSpeedGear(1, 0);
    if (runMode < 0 || runMode > 12) {
        plat::MessageBoxOk(BadRunModeText(runMode), true, plat::MsgIcon::Warning);
        StartCounted("run end", nullptr, [] { FinishRun(ThePartList(), false); });
        return true;
    }
    const int type = g_MachineType.load();
    if (type == 9) {
        StartRunThread(RunThreadKind::Drilling);
        return true;
    }
    if (TheAutoTransport().Config().m_AutoTransport != 0) StartRunThread(RunThreadKind::ConveyorZone2);
    auto placement = [&](bool markEightHeadBusy) {
        if (type == 7) {
            if (markEightHeadBusy) store.m_SmtBusy = 1;
            StartRunThread(RunThreadKind::EightHead);
        } else {
            StartRunThread(RunThreadKind::Placement);
            StartRunThread(RunThreadKind::FeederAdvance);
        }
    };
    const int part = static_cast<int>(JobList::Part);
    switch (runMode) {
    case 0: placement(true); break;
    case 1:
    case 2:
        if (store.m_RunFromRow[part] || store.m_RunSelectedOnly[part]) placement(false);
        else StartRunThread(RunThreadKind::DispenseAndCheck);
        break;
    case 9:
    case 10: StartRunThread(RunThreadKind::Lamp); break;
    case 11:
    case 12:
        StartRunThread(RunThreadKind::Lamp);
        StartRunThread(RunThreadKind::CombinedPlacement);
        StartRunThread(RunThreadKind::FeederAdvance);
        break;
    default: StartRunThread(RunThreadKind::DispenseAndCheck); break;  // 3..8
    }
    return true;
}

RunAnswer AskDuringRun(const std::string& text, bool releaseBusy) {
    if (releaseBusy) ReleaseBusy();
    plat::MsgBoxRequest q;
    q.text = text;
    q.buttons = plat::MsgButtons::YesNoCancel;
    q.icon = plat::MsgIcon::Question;
    q.topmost = true;
    const plat::MsgAnswer a = plat::ShowMessageBox(q);
    while (releaseBusy) {
        BusyClaim claim = BusyClaim::Try();
        if (claim) {
            claim.HandOver();  // the run's end releases it
            break;
        }
        if (!g_RunContinue.load() || !plat::SleepFor(plat::Millis(20))) {
            g_busyLeftToOperator = true;
            return RunAnswer::Stopped;
        }
    }
    switch (a) {
    case plat::MsgAnswer::Yes: return RunAnswer::Yes;
    case plat::MsgAnswer::No: return RunAnswer::No;
    case plat::MsgAnswer::Cancel: return RunAnswer::Cancel;
    default: return RunAnswer::Other;
    }
}

bool RunOwnsMachine() { return g_finishPending.load() && !g_busyLeftToOperator.load(); }

bool FinishRun(PartListStore& store, bool keepConveyor, bool busyHandedOn) {
    if (!g_finishPending.exchange(false)) return false;
    // Partners test this after every wake: none may go on with the run ended.
    g_RunContinue = false;
    // An ended run is not paused, whether it ended by Stop while paused or a Pause
    // came in its last moment.
    g_RunPaused = false;
    if (!busyHandedOn && !g_busyLeftToOperator.exchange(false)) ReleaseBusy();
    store.m_RunFromRow[static_cast<int>(JobList::Part)] = 0;
    store.m_RunFromRow[static_cast<int>(JobList::Dis)] = 0;
    for (auto& f : store.m_RunSelectedOnly) f = 0;
    store.m_SmtBusy = 0;
    // Over a link declared lost nothing more is sent.
    const bool linkLost = LinkLost();
    if (!linkLost) SetSpeedGear(4, 0);
    // The companions' flags go before the events that wake them. A companion
    // that has not yet marked itself busy must end too, so the flags do not
    // wait for its busy byte.
    g_FeedContinue = false;
    if (!keepConveyor) g_ConveyorContinue = false;
    for (plat::Event* e : HandOffEvents())
        if (e != &g_hBoardDone || !keepConveyor) e->Set();
    g_hRunPauseGate.Set();
    plat::PostToUi([] {
        Button(kPcbEdit, true);
        Button(kStrategy, true);
        Button(kStart, g_HeadResetOk.load());
        for (int id : {kPause, kRegain, kStop}) Button(id, false);
        if (const auto& enable = TheRunToolbarPort().enablePanels) enable();
    });
    plat::SleepFor(plat::Millis(200));
    if (!linkLost) VacuumOff(g_MachineType.load(), g_runMode.load());
    plat::PostToUi([] {
        if (const auto& clock = TheRunToolbarPort().runClock) clock(false);
    });
    return true;
}

void StopRunForClosing() {
    g_RunContinue = false;
    g_FeedContinue = false;
    g_ConveyorContinue = false;
    for (plat::Event* e : HandOffEvents()) e->Set();
    g_hRunPauseGate.Set();
}

bool WaitHandOff(plat::Event& event, const std::atomic<bool>& flag) {
    while (flag.load()) {
        const plat::WaitResult r = event.Wait(kWaitSlice);
        if (r == plat::WaitResult::Signalled) return flag.load();
        if (r == plat::WaitResult::Cancelled) return false;
    }
    return false;
}

bool PassPauseGate() { return WaitHandOff(g_hRunPauseGate, g_RunContinue); }

bool GoesOnAfter(bool commandOk) { return commandOk || (!LinkLost() && g_RunContinue.load()); }

} // namespace smt
