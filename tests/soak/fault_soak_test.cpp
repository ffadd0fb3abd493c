// The fault soak: whole boards with the real run threads against the simulated
// machine over both links, across machine types 0, 2, 3, 5, 6 and 7 (with the
// conveyor bringing two or three boards, and flying passes), each board with one
// fault at a random moment and the operator's questions answered from the seed.
// After every board: the run ended within its bound (else every thread's stack is
// dumped), every part was put down once at its row by its head within 0.1 mm and
// 0.25 deg or the operator was told, nothing was put down after Stop beyond one
// cycle's heads, and the way on works: Connect, homing where needed, then a fresh
// board placed right.
//
// SMT_SOAK_SEED (the first board's seed; board i uses seed + i), SMT_SOAK_BOARDS,
// SMT_SOAK_SAMPLE (boards between samples of memory, threads and open files).
// A failing board prints its seed: SMT_SOAK_SEED=<it> SMT_SOAK_BOARDS=1 replays it.
#include <dirent.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "../run/placement_run_fixture.h"
#include "link/connect.h"
#include "link/manual_control.h"
#include "link/reply_handlers.h"
#include "link/serial_link.h"
#include "platform/threads.h"
#include "run/eight_head_run.h"

namespace smt::test {
namespace {

enum class Fault {
    LostReply,       // the next reply dropped
    HeldReply,       // a reply held within or beyond its wait limit
    LinkDrop,        // the link server gone for 1 to 3 s
    ServerRestart,   // the link server stopped and started again at once
    PickVacuum,      // a pick takes nothing
    PlaceVacuum,     // a place keeps the part on the nozzle
    FailingFeeder,   // a feeder refuses to present
    ErrorReport,     // the machine reports an error to a command
    BlackFrames,     // vision frames come black
    LostTrigger,     // a fly trigger never reaches the camera
    PauseRegain,     // Pause, then Regain a moment later
    StopStart,       // Stop, then Start again (the way on)
    StopFromRow,     // Stop, then run from a row on a fresh board
    LatePauseRegain, // Pause and Regain after the run's end
    LateKey,         // a panel-key Pause posted in the run, carried out after its end
    kCount
};
const char* const kFaultNames[] = {"lost-reply",  "held-reply",  "link-drop",      "server-restart",
                                   "pick-vacuum", "place-vacuum", "failing-feeder", "error-report",
                                   "black-frames", "lost-trigger", "pause-regain",  "stop-start",
                                   "stop-from-row", "late-pause-regain", "late-key"};
constexpr int kFaultCount = static_cast<int>(Fault::kCount);


struct Config {
    const char* name;
    RunSetup setup;
    bool flying = false;
    bool together = false;  // type 7: one pick and one place command per cycle
};
// type, head mode, automatic nozzle change, vision, marks, serial (the link is the seed's)
const Config kConfigs[] = {
    {"type0-marks", {0, 0, false, false, true, true}},
    {"type0-vision", {0, 0, false, true, true, true}},
    {"type0-conveyor2", {0, 0, false, false, false, true, 0, 2}},
    {"type0-conveyor3-marks", {0, 0, false, false, true, true, 0, 3}},
    {"type2-same-nozzle", {2, 1, false, false, true, true}},
    {"type2-vision", {2, 2, false, true, true, true}},
    {"type2-flying", {2, 1, false, true, true, true}, true},
    {"type2-conveyor3", {2, 2, false, false, false, true, 0, 3}},
    {"type3-marks", {3, 3, false, false, true, true}},
    {"type3-vision", {3, 4, false, true, true, true}},
    {"type3-flying", {3, 3, false, true, true, true}, true},
    {"type5-marks", {5, 1, false, false, true, true}},
    {"type5-conveyor2", {5, 1, false, false, false, true, 0, 2}},
    {"type6-marks", {6, 3, false, false, true, true}},
    {"type6-vision", {6, 4, false, true, true, true}},
    {"type6-flying", {6, 4, false, true, true, true}, true},
    {"type7-four", {7, 3, false, false, true, false}},
    {"type7-eight-together", {7, 6, false, false, true, false}, false, true},
};
constexpr int kConfigCount = static_cast<int>(sizeof kConfigs / sizeof kConfigs[0]);

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

// What one board was: everything drawn from its seed.
struct BoardPlan {
    std::uint64_t seed = 0;
    int config = 0;
    bool serial = true;
    Fault fault = Fault::LostReply;
    int moment = 0;      // the fault comes once the machine took this many commands
    int holdMs = 0;      // held reply, link drop
    int pauseMs = 0;     // Pause to Regain
    int fromRow = 0;     // run from a row
    std::vector<plat::MsgAnswer> answers;

    const Config& Cfg() const { return kConfigs[config]; }
    std::string Text() const {
        char b[200];
        std::snprintf(b, sizeof b, "seed %" PRIu64 ": %s over %s, %s after %d commands", seed, Cfg().name,
                      serial ? "serial" : "Ethernet", kFaultNames[static_cast<int>(fault)], moment);
        return b;
    }
};

// The process's own figures: resident memory, threads, open files.
struct ProcessSample {
    int board = 0;
    long rssKb = 0;
    int threads = 0;
    int files = 0;
};
ProcessSample SampleProcess(int board) {
    ProcessSample s;
    s.board = board;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) s.rssKb = std::atol(line.c_str() + 6);
        if (line.rfind("Threads:", 0) == 0) s.threads = std::atoi(line.c_str() + 8);
    }
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++s.files;
        ::closedir(d);
        --s.files;  // the listing's own
    }
    return s;
}

// Every thread's stack, from a debugger attached to this process; the threads'
// names and wait channels when none can attach.
void DumpThreadStacks() {
    std::fflush(stdout);
    ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    const std::string command = "timeout 120 gdb -nx -batch -p " + std::to_string(::getpid()) +
                                " -ex 'thread apply all bt' 2>&1";
    bool shown = false;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, p)) {
            if (std::strstr(line, "Thread ")) shown = true;
            std::fputs(line, stdout);
        }
        ::pclose(p);
    }
    if (shown) return;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            std::string comm, wchan;
            std::ifstream(std::string("/proc/self/task/") + e->d_name + "/comm") >> comm;
            std::ifstream(std::string("/proc/self/task/") + e->d_name + "/wchan") >> wchan;
            std::printf("thread %s %s waits in %s\n", e->d_name, comm.c_str(), wchan.c_str());
        }
        ::closedir(d);
    }
    std::fflush(stdout);
}

class FaultSoak : public PlacementRunWorld {
protected:
    void SetUp() override {
        PlacementRunWorld::SetUp();
        discoveryPort = OwnDiscoveryPort();
        PartListToolButtons() = [this](int id, bool on) {
            std::lock_guard lock(m_mutex);
            m_buttons[id] = on;
        };
    }
    void TearDown() override {
        StopTrigger();
        PartListToolButtons() = nullptr;
        RunThreadEntry(RunThreadKind::EightHead) = nullptr;
        TheCameraList().SetRows({});
        TheConnectOptions() = ConnectOptions{};
        TheConnectPort() = ConnectPort{};
        g_FirstConnect = true;
        PlacementRunWorld::TearDown();
    }

    // The board's seed gives its fault (consecutive seeds go through the kinds in
    // turn), then a configuration the fault can happen on, the link and the rest.
    BoardPlan Plan(std::uint64_t seed) {
        std::vector<Fault> kinds;
        for (int f = 0; f < kFaultCount; ++f) kinds.push_back(static_cast<Fault>(f));
        std::mt19937_64 rng(seed);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
        BoardPlan p;
        p.seed = seed;
        p.fault = kinds[seed % kinds.size()];
        std::vector<int> fits;
        for (int k = 0; k < kConfigCount; ++k) {
            const Config& c = kConfigs[k];
            if (p.fault == Fault::BlackFrames && !c.setup.vision) continue;
            if (p.fault == Fault::LostTrigger && !c.flying) continue;
            if (p.fault == Fault::FailingFeeder && c.setup.type == 7) continue;  // it feeds by its pick
            if (p.fault == Fault::StopFromRow && c.setup.conveyorBoards > 0) continue;
            fits.push_back(k);
        }
        p.config = fits[static_cast<std::size_t>(pick(static_cast<int>(fits.size())))];
        p.serial = p.Cfg().setup.type != 7 && pick(2) == 0;
        const Config& c = p.Cfg();
        const int boards = std::max(c.setup.conveyorBoards, 1);
        const int rows = c.setup.type == 7 ? 27 : 12;
        // Some six commands a part: the moment falls anywhere in the run.
        p.moment = 1 + pick(6 * rows * boards);
        p.holdMs = p.fault == Fault::LinkDrop ? 1000 + pick(2001) : pick(2) ? 100 + pick(1500) : 5000 + pick(2000);
        p.pauseMs = 20 + pick(800);
        p.fromRow = pick(static_cast<int>(parts.size()));
        const plat::MsgAnswer answers[] = {plat::MsgAnswer::Yes, plat::MsgAnswer::No, plat::MsgAnswer::Cancel};
        for (int i = 0; i < 8; ++i) p.answers.push_back(answers[pick(3)]);
        return p;
    }

    // The board's machine, program and world, connected and homed.
    void Prepare(const BoardPlan& p) {
        const Config& c = p.Cfg();
        if (c.setup.type == 7) {
            parts = {{"R1", 5, 4, 0, 1},   {"R2", 12, 6, 90, 2}, {"N1", 20, 20, 0, 1, false}, {"R3", 19, 9, 45, 3},
                     {"R4", 27, 5, -90, 4}, {"R5", 34, 12, 180, 1}, {"R6", 8, 18, 30, 2},     {"R7", 16, 26, 0, 3},
                     {"R8", 25, 22, -45, 4}, {"R9", 33, 29, 90, 1}};
        }
        RunSetup r = c.setup;
        r.serial = p.serial;
        Machine(r);
        if (HasFatalFailure()) return;
        if (c.setup.type == 7) EightHeads(c);
        if (c.flying) FlyEveryFeeder();
        g_FirstConnect = false;  // connected once: a later Connect finds the board again
        ConnectOptions& o = TheConnectOptions();
        o = ConnectOptions{};
        o.discovery.port = discoveryPort;
        o.discovery.interfaceName = "127.0.0.1";
        o.discovery.attempts = 3;
        o.discovery.receiveLimit = std::chrono::milliseconds(300);
        o.local.port = 0;
        o.settle = std::chrono::milliseconds(0);
        if (!p.serial) o.boardPort = sim->udp()->Port();
        TheConnectPort() = ConnectPort{};
        TheConnectPort().comNumber = [] { return 5; };
        // Bounds short enough for many boards; a reply held past them is lost. The
        // fly frames get a longer one: measured while the whole test command loads
        // the host, a pass's frames have taken more than their own 8 s.
        SetWaitLimitOverride(WaitKind::Move, plat::Millis(4000));
        SetWaitLimitOverride(WaitKind::Query, plat::Millis(4000));
        SetWaitLimitOverride(WaitKind::FlyFrames, plat::Millis(15000));
        // The machine's panel keys reach the toolbar as the job lists' wiring posts them.
        auto& h = GetLinkHooks();
        h.pauseRun = [this] { Key([] { OnPauseRun(); }); };
        h.regainRun = [this] { Key([] { OnResumeRun(); }); };
        h.stopRun = [this] { Key([] { OnStopRun(); }); };
        h.runPaused = [] { return g_RunPaused.load(); };
        // The panel's enabling, as the manual control panel applies it to the
        // part list's Start (a homing's end enables it).
        h.enableManualControls = [](bool flag) {
            EnableContext e;
            e.machineType = g_MachineType.load();
            e.conveyorInUse = TheAutoTransport().Config().m_AutoTransport != 0;
            e.resetKind = g_PanelLink.resetKind.load();
            for (const auto& [id, on] : EnableStates(flag, e))
                if (id == mc::PartListStart)
                    if (const auto& f = PartListToolButtons()) f(id, on);
        };
        boardCount = std::max(c.setup.conveyorBoards, 1);
    }

    // Type 7 as its own run thread takes it: Ethernet, eight nozzles 40 mm apart.
    void EightHeads(const Config& c) {
        SmtStrategyConfig s = TheSmtStrategy().Config();
        s.m_TogetherCode = c.together ? 1 : 0;
        TheSmtStrategy().SetConfig(s);
        RunThreadEntry(RunThreadKind::EightHead) = [] { EightHeadRunThread(); };
        g_PanelLink.zCheckMask = 0xFF;
        TheBasicSettings().m_X_Limit = 600;
        SetMoveLimits({ToPulses(600, scenario.pulsesX), ToPulses(-300, scenario.pulsesY), 400000, 300000});
        const int slots = c.setup.headMode >= 6 ? 8 : c.setup.headMode >= 3 ? 4 : c.setup.headMode >= 1 ? 2 : 1;
        std::map<std::pair<int, int>, int> yesIndex;  // per board and cell
        for (auto& t : expected) t.head = yesIndex[{t.board, t.cell}]++ % slots + 1;
    }


    int HeadsPerCycle(const Config& c) const {
        if (c.setup.type == 7) return c.setup.headMode >= 6 ? 8 : 4;
        return HeadCount(c.setup.type);
    }

    // A panel key's toolbar command: at once, or held back until the run's end
    // (the user-interface thread busy).
    void Key(std::function<void()> f) {
        {
            std::lock_guard lock(m_mutex);
            if (m_holdKeys) return m_lateKeys.push_back(std::move(f));
        }
        f();
    }
    void RunLateKeys() {
        std::vector<std::function<void()>> keys;
        {
            std::lock_guard lock(m_mutex);
            keys.swap(m_lateKeys);
            m_holdKeys = false;
        }
        for (auto& k : keys) k();
    }

    std::size_t Places() { return world().ledger().Of(sim::LedgerKind::Place).size(); }
    int Commands() { return static_cast<int>(machine().Frames().size()); }

    // The fault at its moment, on a thread of its own while the run goes on.
    void StartTrigger(const BoardPlan& p) {
        m_triggerStop = false;
        m_fired = false;
        m_trigger = std::thread([this, p] {
            while (!m_triggerStop.load() && Commands() < p.moment) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (m_triggerStop.load()) return;
            Fire(p);
            m_fired = true;
        });
    }
    void StopTrigger() {
        m_triggerStop = true;
        if (m_trigger.joinable()) m_trigger.join();
    }
    void Fire(const BoardPlan& p) {
        auto sleep = [this](int ms) {
            for (int i = 0; i < ms / 10 && !m_triggerStop.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        };
        auto lastCode = [this]() -> std::uint16_t {
            const auto frames = machine().Frames();
            return frames.empty() ? 0 : frames.back().code;
        };
        sim::LinkServer* server = p.serial ? static_cast<sim::LinkServer*>(sim->serial())
                                           : static_cast<sim::LinkServer*>(sim->udp());
        switch (p.fault) {
        case Fault::LostReply: sim->faults().SilenceNext(1); break;
        case Fault::HeldReply: sim->faults().HoldNext(lastCode(), p.holdMs); break;
        case Fault::LinkDrop:
        case Fault::ServerRestart:
            server->Unplug();
            sleep(p.fault == Fault::LinkDrop ? p.holdMs : 50);
            server->Replug();
            break;
        case Fault::PickVacuum: world().Lock(), world().faults().pickMisses = 1; break;
        case Fault::PlaceVacuum: world().Lock(), world().faults().keptAtPlace = 1; break;
        case Fault::ErrorReport: {
            const std::uint8_t serialReports[] = {0xE1, 0xE2, 0xE3, 0xE4};
            const std::uint8_t statuses[] = {0x10, 0x20, 0x30};
            const std::uint8_t report = p.serial ? serialReports[p.seed % 4] : statuses[p.seed % 3];
            // Read before the world's lock: the machine calls the world under its own.
            const std::uint16_t code = lastCode();
            auto lock = world().Lock();
            world().faults().errorCode = code;
            world().faults().errorAfter = 1;
            world().faults().errorReport = report;
            break;
        }
        case Fault::BlackFrames: world().Lock(), world().faults().blackFrames = 1 + static_cast<int>(p.seed % 3); break;
        case Fault::LostTrigger: world().Lock(), world().faults().lostTriggers = 1; break;
        case Fault::PauseRegain:
            OnPauseRun();
            sleep(p.pauseMs);
            OnResumeRun();
            break;
        case Fault::StopStart:
        case Fault::StopFromRow:
            m_placesAtStop = Places();
            OnStopRun();
            m_stopped = true;
            break;
        default: break;
        }
    }

    bool Idle() { return LiveRunThreads() == 0 && !g_Running.load() && !HomingInProgress(); }
    bool StartEnabled() {
        std::lock_guard lock(m_mutex);
        return m_buttons.count(106) && m_buttons[106];
    }

    // One board: its fault, its checks, its way on. An empty text when it passed.
    std::string Board(const BoardPlan& p, bool* hung) {
        *hung = false;
        const Config& c = p.Cfg();
        Prepare(p);
        if (HasFatalFailure()) return "the machine did not start";
        boxes.Clear();
        // Together, a failed place's question does not say whose part is missing;
        // the operator, who cannot look at the board here, ignores rather than
        // refills (a refill of a row on the board would place it twice).
        for (plat::MsgAnswer a : p.answers)
            boxes.Push(c.together && a == plat::MsgAnswer::Cancel ? plat::MsgAnswer::Yes : a);
        m_stopped = false;
        m_placesAtStop = 0;
        {
            std::lock_guard lock(m_mutex);
            m_holdKeys = p.fault == Fault::LateKey;
            m_lateKeys.clear();
        }
        if (p.fault == Fault::FailingFeeder) {
            auto lock = world().Lock();
            world().faults().errorCode = 0x66;
            world().faults().errorAfter = 1 + static_cast<int>(p.seed % 8);
            world().faults().errorReport = 0xE4;
        }
        if (p.fault == Fault::LateKey) {
            auto lock = world().Lock();
            world().faults().keyCode = c.setup.type == 7 ? (c.together ? 0x78 : 0x77) : 0x68;
            world().faults().keyAfter = 1 + static_cast<int>(p.seed % 12);
            world().faults().key = "pause";
        }
        machine().ClearRecords();
        if (!OnStartRun(ThePartList())) return "Start refused on a homed machine";
        StartTrigger(p);
        const auto bound = std::chrono::seconds(c.setup.vision ? 240 : 150);
        if (!WaitUntil([this] { return Idle(); }, bound)) {
            *hung = true;
            std::printf("soak: board past its bound (%s); the threads:\n", p.Text().c_str());
            DumpThreadStacks();
            return "hang: the run did not end within its bound";
        }
        StopTrigger();
        std::string wrong;
        auto fail = [&wrong](const std::string& what) { wrong += (wrong.empty() ? "" : "; ") + what; };

        // What went down on the board.
        const sim::RunCheckResult check = sim::CheckRun(world().ledger(), WithDepths(expected));
        const bool told = boxes.Count() > 0;
        if (!check.twice.empty()) fail("parts placed twice");
        if ((!check.off.empty() || !check.noRow.empty() || !check.wrongNozzle.empty()) && !told)
            fail("parts misplaced without a message");
        if (!check.missing.empty() && !told && !m_stopped) fail("parts missing without a message");
        if (m_stopped && Places() > m_placesAtStop + static_cast<std::size_t>(HeadsPerCycle(c)))
            fail("placed after Stop: " + std::to_string(Places() - m_placesAtStop));
        const bool verbose = std::getenv("SMT_SOAK_VERBOSE") != nullptr;
        if (!wrong.empty() || verbose) {
            std::printf("%s\n", check.Table().c_str());
            for (const auto& t : boxes.Texts()) std::printf("box: %s\n", t.c_str());
            if (verbose) std::printf("ledger:\n%s\n", world().ledger().Text().c_str());
        }

        // A Pause and Regain (or the panel key's) after the end find no run.
        if (p.fault == Fault::LatePauseRegain) {
            OnPauseRun();
            OnResumeRun();
        }
        if (p.fault == Fault::LateKey) RunLateKeys();
        if (g_Running.load() || g_RunPaused.load()) fail("busy or paused after the run's end");
        OnStopRun();
        if (!Idle()) fail("not idle after Stop");

        // The way on: Connect, a homing where needed, then a fresh board. A fault
        // armed for a command that never came goes first.
        sim->faults().Clear();
        {
            auto lock = world().Lock();
            world().faults() = sim::WorldFaults{};
        }
        if (!g_Connected.load()) {
            GetLinkHooks().onLinkEstablished = OnLinkEstablished;
            if (!ConnectNow()) return wrong + (wrong.empty() ? "" : "; ") + "Connect failed";
            // The link's own start (its counters, a homing when the settings ask).
            plat::SleepFor(plat::Millis(500));
            WaitUntil([this] { return Idle(); }, std::chrono::seconds(30));
        }
        // The operator homes when the program says so; then Start (the machine's
        // key needs no toolbar button).
        if (!g_Homed.load() || !g_HeadResetOk.load()) {
            if (!MachineReset(0, true)) return wrong + (wrong.empty() ? "" : "; ") + "homing refused";
            if (!WaitUntil([this] { return Idle(); }, std::chrono::seconds(60)) || !g_Homed.load())
                return wrong + (wrong.empty() ? "" : "; ") + "homing failed";
            if (!StartEnabled() || !g_HeadResetOk.load()) fail("Start not enabled after the homing");
        }
        {
            // A run from a row starts the job's order there: the world names its parts
            // by where they lie, not by the order from the job's first row.
            sim::Scenario next = scenario;
            if (p.fault == Fault::StopFromRow) next.rowOrder = false;
            world().SetScenario(next);
        }
        boardCount = std::max(c.setup.conveyorBoards, 1);
        boxes.Clear();
        if (p.fault == Fault::StopFromRow) {
            ThePartList().m_PartItem = p.fromRow;
            RunRestricted(ThePartList(), JobList::Part, false);
        } else if (!OnStartRun(ThePartList())) {
            fail("Start refused after the way on");
            return wrong;
        }
        if (!WaitUntil([this] { return Idle(); }, bound)) {
            *hung = true;
            std::printf("soak: the next board past its bound (%s); the threads:\n", p.Text().c_str());
            DumpThreadStacks();
            fail("hang: the next board did not end within its bound");
            return wrong;
        }
        const sim::RunCheckResult next = sim::CheckRun(world().ledger(), WithDepths(expected));
        bool nextRight = next.off.empty() && next.twice.empty() && next.noRow.empty();
        if (p.fault == Fault::StopFromRow) {
            // From the row on: what is missing lies before it, in the first cell,
            // whose first cycle begins at the row (so its heads come in turn from
            // there).
            // The eight-head run goes no further than that cell.
            const bool firstCellOnly = c.setup.type == 7;
            for (const auto& m : next.missing)
                nextRight = nextRight && ((m.cell == 0 && m.row < p.fromRow) || (firstCellOnly && m.cell != 0));
            for (const auto& w : next.wrongNozzle) nextRight = nextRight && w.row.cell == 0 && w.row.row >= p.fromRow;
        } else {
            nextRight = nextRight && next.wrongNozzle.empty();
            nextRight = nextRight && next.missing.empty() && next.parts == expected.size();
        }
        if (!nextRight || !boxes.Texts().empty()) fail("the next board was not placed right");
        if (!nextRight || !boxes.Texts().empty() || verbose) {
            std::printf("%s\n", next.Table().c_str());
            for (const auto& t : boxes.Texts()) std::printf("box: %s\n", t.c_str());
            if (verbose) std::printf("next board's ledger:\n%s\n", world().ledger().Text().c_str());
        }
        return wrong;
    }

    std::mutex m_mutex;
    std::map<int, bool> m_buttons;
    bool m_holdKeys = false;
    std::vector<std::function<void()>> m_lateKeys;
    std::thread m_trigger;
    std::atomic<bool> m_triggerStop{false}, m_fired{false}, m_stopped{false};
    std::atomic<std::size_t> m_placesAtStop{0};
};

TEST_F(FaultSoak, WholeBoardsWithARandomFaultEachEndRightAndLeaveAWayOn) {
    const std::uint64_t first = EnvNumber("SMT_SOAK_SEED", 60);
    const int boards = static_cast<int>(EnvNumber("SMT_SOAK_BOARDS", 20));
    const int every = std::max(1, static_cast<int>(EnvNumber("SMT_SOAK_SAMPLE", 50)));
    std::vector<ProcessSample> samples{SampleProcess(0)};
    std::map<std::string, int> failures;  // by kind
    std::vector<int> byFault(kFaultCount, 0), firedByFault(kFaultCount, 0);
    int failed = 0, hangs = 0;
    for (int i = 0; i < boards; ++i) {
        if (i > 0) {
            TearDown();
            // Sampled between boards, with the machine and its cameras gone: a board
            // with cameras holds more threads and memory than one without.
            if (i % every == 0) {
                samples.push_back(SampleProcess(i));
                const ProcessSample& s = samples.back();
                std::printf("soak: after %d boards: %ld kB resident, %d threads, %d open files\n", s.board, s.rssKb,
                            s.threads, s.files);
            }
            SetUp();
        }
        const BoardPlan p = Plan(first + static_cast<std::uint64_t>(i));
        ++byFault[static_cast<int>(p.fault)];
        bool hung = false;
        const auto began = std::chrono::steady_clock::now();
        const std::string wrong = Board(p, &hung);
        std::printf("soak: board %d, %s: %s in %.1f s\n", i, p.Text().c_str(), wrong.empty() ? "passed" : "failed",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
        firedByFault[static_cast<int>(p.fault)] += m_fired.load() ? 1 : 0;
        if (!wrong.empty()) {
            ++failed;
            ++failures[wrong];
            std::printf("soak: board %d failed (%s): %s\n  replay: SMT_SOAK_SEED=%" PRIu64 " SMT_SOAK_BOARDS=1\n", i,
                        p.Text().c_str(), wrong.c_str(), p.seed);
            ADD_FAILURE() << "board " << i << " (" << p.Text() << "): " << wrong;
        }
        std::fflush(stdout);
        if (hung) {
            ++hangs;
            break;  // the threads of a hung run would meet the next board
        }
    }
    std::printf("soak: %d boards from seed %" PRIu64 ", %d failed, %d hung\n", boards, first, failed, hangs);
    for (int f = 0; f < kFaultCount; ++f)
        if (byFault[static_cast<std::size_t>(f)])
            std::printf("  %-18s %4d boards, the fault came in %d\n", kFaultNames[f], byFault[static_cast<std::size_t>(f)],
                        firedByFault[static_cast<std::size_t>(f)]);
    for (const auto& [what, n] : failures) std::printf("  %4d x %s\n", n, what.c_str());
    // Memory, threads and open files over the run: a least-squares slope over the
    // samples after the first (which includes the first board's one-time setup).
    if (samples.size() >= 4) {
        auto slope = [&samples](auto value) {
            double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
            for (std::size_t k = 1; k < samples.size(); ++k) {
                const double x = samples[k].board, y = static_cast<double>(value(samples[k]));
                n += 1, sx += x, sy += y, sxx += x * x, sxy += x * y;
            }
            return (n * sxy - sx * sy) / (n * sxx - sx * sx);
        };
        const double memory = slope([](const ProcessSample& s) { return s.rssKb; });
        const ProcessSample& a = samples[1];
        const ProcessSample& b = samples.back();
        // Flat: less than 8 kB a board, which over the whole run stays within the
        // allocator's own noise.
        const bool flat = memory < 8.0;
        std::printf("soak: memory %s: %+.1f kB per board (%ld kB after %d boards, %ld kB after %d); threads %d -> %d, "
                    "open files %d -> %d\n",
                    flat ? "flat" : "grows", memory, a.rssKb, a.board, b.rssKb, b.board, a.threads, b.threads, a.files,
                    b.files);
        // A few pool threads come and go between boards; a leak of one thread or
        // file in twenty boards or more shows as a slope.
        EXPECT_LT(slope([](const ProcessSample& s) { return s.threads; }), 0.05);
        EXPECT_LT(slope([](const ProcessSample& s) { return s.files; }), 0.05);
    }
}

} // namespace
} // namespace smt::test
