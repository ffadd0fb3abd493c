// The arbiter of every command that moves the machine: what the program books
// equals what the board did. Seeded random sequences of the command functions run
// against the simulated machine on both links and every machine type; after each
// step every counter the program keeps is compared with the board's drives as the
// simulator's control channel reports them (text, never the program's codecs).
// A failure names the seed and the step; SMT_AGREEMENT_SEED replays another seed.
// Commands that book counters join the table below.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

#include "link/combined_commands.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/manual_control.h"
#include "link/positioning.h"
#include "feeders/nozzle_operations.h"
#include "joblist/coordinate_tests.h"
#include "run/nozzle_work.h"
#include "vision/camera_service.h"
#include "vision/set_view.h"
#include "app/menus.h"
#include "base/globals.h"
#include "platform/uipost.h"
#include "sim_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

constexpr int kSteps = 120;
constexpr std::int32_t kXLimit = 400000, kYLimit = -300000;
constexpr std::int32_t kWidth = 7777;  // the conveyor width's reference, in pulses
constexpr std::int64_t kARevolution = 3600;

// What a step may draw on.
struct Step {
    std::mt19937& rng;
    int type;
    bool serial;
    sim::Simulator& sim;
    ManualJog& jog;
    HomingAxisSwitches& switches;

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }
    // A delta mostly within the travel, now and then far beyond it.
    std::int32_t Delta(int span) { return Chance(8) ? Int(-900000, 900000) : Int(-span, span); }
    AxisSpeed Speed() { return {Int(1, 20), Int(20, 200)}; }
    template <class T>
    T Pick(std::initializer_list<T> list) {
        return *(list.begin() + Int(0, static_cast<int>(list.size()) - 1));
    }
};

// The axes a single-axis move or a jog drives on each machine type. Type 4 runs
// with head group 2, so 9 and 12 are its second table.
std::vector<int> AxesOf(int type) {
    if (type == 7) {
        std::vector<int> a{0, 1, 8, 0x30};
        for (int n = 0; n < 8; ++n) a.insert(a.end(), {0x20 + n, 0x28 + n});
        return a;
    }
    std::vector<int> a{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 14};
    if (type == 4) a.push_back(12);
    return a;
}

struct Command {
    const char* name;
    std::function<bool(int type, bool serial)> applies;
    std::function<std::string(Step&)> run;  // what it did, for the failure message
};

bool Always(int, bool) { return true; }
bool SerialOnly(int, bool serial) { return serial; }

std::string Text(const char* what, long long a, long long b = 0, long long c = 0) {
    std::ostringstream s;
    s << what << " " << a << " " << b << " " << c;
    return s.str();
}

// Waits for a homing started by `MachineReset` to end, either way.
void AwaitHoming() {
    WaitUntil([] { return !HomingInProgress() && !g_Running.load(); }, std::chrono::seconds(10));
}

const std::vector<Command>& CommandTable() {
    static const std::vector<Command> table = {
        {"single-axis move", Always,
         [](Step& s) {
             const auto axes = AxesOf(s.type);
             const int axis = axes[s.Int(0, static_cast<int>(axes.size()) - 1)];
             const std::int32_t d = s.Delta(axis <= 1 ? 60000 : 3000);
             MoveSingleAxis({static_cast<std::uint8_t>(axis), d, s.Speed()});
             return Text("0x61 axis/delta", axis, d);
         }},
        {"X/Y move", Always,
         [](Step& s) {
             XYMoveArgs m;
             m.xAxis = s.type == 4 && s.Chance(50) ? 9 : 0;
             m.yAxis = s.type == 4 && s.Chance(50) ? 12 : 1;
             m.dX = s.Delta(60000), m.dY = s.Delta(60000), m.xSpeed = s.Speed(), m.ySpeed = s.Speed();
             MoveXY(m);
             return Text("0x53 axes/dX/dY", m.xAxis * 100 + m.yAxis, m.dX, m.dY);
         }},
        {"X/Y move with a third drive", SerialOnly,
         [](Step& s) {
             XYRotationMove m;
             m.yAxis = s.type == 4 && s.Chance(50) ? 12 : 1;
             m.dX = s.Delta(60000), m.dY = s.Delta(60000), m.xSpeed = s.Speed(), m.ySpeed = s.Speed();
             MoveXYWithRotation(m);
             return Text("0x54 yAxis/dX/dY", m.yAxis, m.dX, m.dY);
         }},
        {"X/Y with one rotation", Always,
         [](Step& s) {
             XYAMove m;
             m.xy = {s.Delta(30000), s.Speed(), s.Delta(30000), s.Speed()};
             m.nozzle = static_cast<std::uint8_t>(s.Int(1, s.type == 7 ? 8 : 4));
             m.dA = s.Int(-4000, 4000);
             MoveXYA(m);
             return Text("0x64 dX/dY/nozzle", m.xy.dX, m.xy.dY, m.nozzle);
         }},
        {"X/Y with every rotation", Always,
         [](Step& s) {
             XYAMultiMove m;
             m.xy = {s.Delta(60000), s.Speed(), s.Delta(60000), s.Speed()};
             for (auto& a : m.dA) a = s.Int(-4000, 4000);
             m.aSpeed = s.Speed();
             MoveXYAMulti(m);
             return Text("0x65 dX/dY", m.xy.dX, m.xy.dY);
         }},
        {"fly-over camera move", Always,
         [](Step& s) {
             FlyCameraMove m;
             m.dX = s.Delta(60000);
             m.frames = 2;
             MoveFlyingCamera(m);
             return Text("0x63 dX", m.dX);
         }},
        {"move and pick, move and place", [](int, bool serial) { return !serial; },
         [](Step& s) {
             std::array<std::int32_t, 8> dA{};
             for (auto& a : dA) a = s.Int(-4000, 4000);
             if (s.Chance(50)) {
                 MoveAndPick74Payload p;
                 p.nozzleMask = 1 << s.Int(0, 3);
                 p.dX = s.Delta(60000), p.dY = s.Delta(60000), p.dA = dA;
                 MoveAndPick74(p);
                 return Text("0x74 dX/dY", p.dX, p.dY);
             }
             MoveAndPlace77Payload p;
             p.dX = s.Delta(60000), p.dY = s.Delta(60000), p.dA = dA;
             MoveAndPlace77(p);
             return Text("0x77 dX/dY", p.dX, p.dY);
         }},
        {"feeder feed", Always,
         [](Step& s) {
             FeederFeed f;
             f.drive = static_cast<std::uint8_t>(s.Int(1, 3));
             f.pulses = s.Int(-3000, 3000);
             FeedFeeder(f);
             return Text("0x66 drive/pulses", f.drive, f.pulses);
         }},
        {"homing", Always,
         [](Step& s) {
             const int kind = s.Int(0, 9);
             // Random switches; the eight-head type homes every head (its reply
             // checks them all).
             int* sw = &s.switches.m_00_X;
             for (int i = 0; i < 16; ++i) sw[i] = s.type == 7 && i >= 4 ? 1 : s.Chance(75);
             if (kind == 9) s.sim.Command("conveyor " + std::to_string(kWidth));
             MachineReset(kind, true);
             AwaitHoming();
             if (kind == 9) s.sim.Command("conveyor off");
             return Text("homing kind", kind);
         }},
        {"jog step", Always,
         [](Step& s) {
             const auto axes = AxesOf(s.type);
             const int axis = axes[s.Int(0, static_cast<int>(axes.size()) - 1)];
             const int dir = s.Int(0, 1);
             s.jog.JogAxis(axis, dir, 0, 0, false);
             plat::JoinAllWorkers(std::chrono::seconds(20));
             return Text("jog axis/direction", axis, dir);
         }},
        {"positioning", Always,
         [](Step& s) {
             // A nozzle to the discard position, somewhere on the table (now and
             // then beyond it: refused with its message).
             auto& b = TheBasicSettings();
             b.m_X_ThrowPosition = s.Int(-50, 4100) + 0.0037;
             b.m_Y_ThrowPosition = -s.Int(-50, 3100) - 0.0041;
             const int nozzle = s.Int(0, s.type == 7 ? 7 : 3);
             OnPositioningCommand(cmd::NozzleToThrowPosition[nozzle]);
             plat::JoinAllWorkers(std::chrono::seconds(20));
             return Text("discard position of nozzle", nozzle + 1);
         }},
        {"conveyor run", Always,
         [](Step& s) {
             ConveyorRun c;
             c.zone = static_cast<std::uint8_t>(s.Int(1, 4));
             c.belt1 = s.Int(0, 5000), c.belt2 = s.Int(0, 5000), c.belt3 = s.Int(0, 5000);
             c.start = 5, c.run = 50;
             RunConveyorZones(c);
             return Text("0x62 zone", c.zone);
         }},
        {"output", Always,
         [](Step& s) {
             const int channel = s.Int(1, 8), value = s.Int(0, 1);
             SetOutput({static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(value), 5});
             return Text("0x03 channel/value", channel, value);
         }},
        {"nozzle take-out or put-back", [](int type, bool) { return type <= 7; },
         [](Step& s) {
             // A holder and its entry near where the head stands (the library moves by
             // 0x64, whose serial steps are 16-bit), the exchange height a few mm down
             // (now and then beyond the Z range: refused).
             NozzleOperationRequest r;
             r.row = s.Int(0, 2);
             const int head = s.Int(1, s.type == 7 ? 8 : 4);
             r.headIndex = head - 1, r.machineType = s.type, r.serial = s.serial;
             r.nineteenLibrary = s.Chance(50);
             r.zLimitPulses = -3000;
             r.xPulse = r.yPulse = r.zPulse = 100;
             r.speeds = TheSpeedTemplates().Table(SpeedType::Handle);
             r.nozzleOffsets[head - 1] = {-2000 * (head - 1), s.Int(-50, 50)};
             const auto near = [&](std::int64_t pulses, int lo, int hi) {
                 return std::to_string(std::clamp(static_cast<int>(pulses / 100) + s.Int(-150, 150), lo, hi) + 0.37);
             };
             r.cells[0] = std::to_string(r.row + 1);
             r.cells[1] = near(g_PulseX, 100, 3900), r.cells[2] = near(g_PulseY, -2900, -100);
             r.cells[4] = near(g_PulseX, 100, 3900), r.cells[5] = near(g_PulseY, -2900, -100);
             r.cells[6] = std::to_string(s.Int(-6, -1) + 0.37);
             const bool takeOut = s.Chance(50);
             r.operation = takeOut ? NozzleOperation::TakeOut : NozzleOperation::PutBack;
             {
                 std::lock_guard lock(NozzleStateMutex());
                 for (auto& w : g_NozzleWork) w.mountedNozzle = w.head = 0;
                 g_NozzleTable[static_cast<std::size_t>(r.row)].inHolder = takeOut ? 1 : 0;
                 if (!takeOut) {
                     g_NozzleWork[static_cast<std::size_t>(head - 1)].mountedNozzle = r.row + 1;
                     g_NozzleWork[static_cast<std::size_t>(head - 1)].head = head;
                 }
             }
             NozzleLibraryThread(r, {});
             return Text(takeOut ? "take-out row/head" : "put-back row/head", r.row, head, r.nineteenLibrary);
         }},
        {"vision-test or click move", Always,
         [](Step& s) {
             // The camera panel's move by an image offset: the mark camera's
             // centring move or a vision camera's correction (type 4: X2 with the
             // table of its head group).
             const int type = g_MachineType, camera = g_CurrentCamera;
             g_MachineType = s.type;
             g_CurrentCamera = s.Int(0, 2);
             SetView& v = TheSetView();
             v.m_MoveOffsetX = s.Delta(3000), v.m_MoveOffsetY = s.Delta(3000), v.m_MoveOffsetA = s.Int(-900, 900);
             const std::string what = Text("image-offset move camera/dX/dY", g_CurrentCamera, v.m_MoveOffsetX,
                                           v.m_MoveOffsetY);
             v.StartMoveToImageOffset();
             plat::JoinAllWorkers(std::chrono::seconds(20));
             g_MachineType = type, g_CurrentCamera = camera;
             return what;
         }},
        {"part-list coordinate test", Always,
         [](Step& s) {
             // The worker's move to targets near where the heads stand; the X2 ops on the double table only.
             static const int ops[] = {64, 536, 530, 531, 532, 533, 534, 535};
             const int op = ops[s.Int(0, s.type == 4 ? 7 : 1)];
             m_CoordinateTestOp = op;
             g_TargetPulseX = g_PulseX + s.Delta(30000), g_TargetPulseY = g_PulseY + s.Delta(30000);
             g_TargetPulseX2 = g_PulseX2 + s.Delta(30000), g_TargetPulseY2 = g_PulseY2 + s.Delta(30000);
             CoordinateTestThread();
             return Text("coordinate test op/X/Y", op, g_TargetPulseX.load(), g_TargetPulseY.load());
         }},
        {"move the board refuses", Always,
         [](Step& s) {
             // The board answers with its limit report / status instead of moving.
             // A vacuum test first: its answer means every command sent before it
             // (outputs wait for none) has been taken, so the fault meets the move.
             ReadVacuum(1);
             s.sim.Command(s.serial ? "error E8 11" : "error 14");
             const std::int32_t d = s.Int(-3000, 3000);
             MoveSingleAxis({0, d, s.Speed()});
             s.sim.Command("clear");
             return Text("refused 0x61 delta", d);
         }},
    };
    return table;
}

// The board's drives, from the control channel's "positions" line.
std::map<std::string, std::int64_t> BoardDrives(sim::Simulator& sim) {
    std::istringstream in(sim.Command("positions"));
    std::map<std::string, std::int64_t> m;
    std::string key;
    std::int64_t value = 0;
    while (in >> key >> value) m[key] = value;
    return m;
}

// Every counter the program books against the board's drive; empty when they agree.
std::string Disagreement(sim::Simulator& sim) {
    auto board = BoardDrives(sim);
    const PositionSnapshot p = TakePositionSnapshot();
    std::ostringstream out;
    auto same = [&](const std::string& key, std::int64_t mine) {
        if (!board.count(key)) out << key << " missing from the board's report; ";
        else if (board[key] != mine) out << key << ": program " << mine << ", board " << board[key] << "; ";
    };
    same("x", p.x), same("y", p.y), same("x2", p.x2), same("y2", p.y2);
    for (int n = 0; n < 8; ++n) {
        same("z" + std::to_string(n + 1), p.z[n]);
        // The board keeps whole turns of A, the program one revolution.
        const std::string a = "a" + std::to_string(n + 1);
        if ((p.a[n] - board[a]) % kARevolution != 0)
            out << a << ": program " << p.a[n] << ", board " << board[a] << "; ";
    }
    for (int w = 0; w < 3; ++w) same("w" + std::to_string(w + 1), p.walk[w]);
    same("d1", p.walk[3]);
    return out.str();
}

class Agreement : public SimTest, public ::testing::WithParamInterface<std::tuple<Wire, int>> {
protected:
    bool serial() const { return std::get<0>(GetParam()) == Wire::Serial; }
    int type() const { return std::get<1>(GetParam()); }

    void SetUp() override {
        SimTest::SetUp();
        StartMachine(serial(), type(), [] {
            InstallCommandReplyHandlers();
            InstallHomingHooks();
        });
        SetMoveLimits({kXLimit, kYLimit, kXLimit, -kYLimit});
        if (serial()) {
            // The board holds the program's travel limits.
            SendAxisLimit(0, kXLimit);
            SendAxisLimit(1, kYLimit);
        }
        g_PanelLink.zCheckMask = type() == 7 ? 0xFF : type() >= 8 ? 0 : 3;
        g_Homed = true;
        auto& home = TheHomingPort();
        home = HomingPort{};
        home.machineType = [this] { return type(); };
        home.ethernet = [this] { return !serial(); };
        home.resetSpeeds = [] { return NumberedResetSpeeds(); };
        home.axisSwitches = [this] { return switches; };
        TheCommandPanel().conveyorWidthPulses = [] { return kWidth; };
        SetUpJog();
        g_PulsesPerMmX = g_PulsesPerMmY = 100;
        g_Y2ToY1Pulses = {100, -200};
        ThePositioningPort() = PositioningPort{};
        ThePositioningPort().headGroup = [this] { return jog.HeadGroup(); };
        InstallPositioningHooks();
    }
    void TearDown() override {
        jog.Stop();
        plat::JoinAllWorkers(std::chrono::seconds(20));
        TheHomingPort() = HomingPort{};
        ThePositioningPort() = PositioningPort{};
        g_Y2ToY1Pulses = {};
        ThePulseFactors() = PulseFactors{};
        {
            std::lock_guard lock(NozzleStateMutex());
            g_NozzleTable = {};
            g_NozzleWork = {};
        }
        TheSetView().m_MoveOffsetX = TheSetView().m_MoveOffsetY = TheSetView().m_MoveOffsetA = 0;
        TheSpeedTemplates().SetTable(SpeedType::Handle, SpeedTypeTable{});
        plat::RunPostedTasks();
        SimTest::TearDown();
    }

    // Jog steps of a few hundred pulses within generous travel limits; type 4 on
    // its second table, so that its axes 9 and 12 are X2 and Y2.
    void SetUpJog() {
        auto& b = TheBasicSettings();
        b.m_X_Limit = 4000, b.m_Y_Limit = -3000, b.m_Z_Limit = 100;
        b.m_WestFeed_Limit = -1000, b.m_NorthFeed_Limit = 1000, b.m_EastFeed_Limit = -1000;
        PulseFactors f;
        f.m_X_Pulse = f.m_Y_Pulse = f.m_Z_Pulse = f.m_A_Pulse = 100;
        f.m_WestWalk_Pulse = f.m_NorthWalk_Pulse = f.m_EastWalk_Pulse = 100;
        ThePulseFactors() = f;
        SpeedTemplateSettings s = TheSpeedTemplates().Settings();
        for (int g = 0; g < kSpeedGearCount; ++g)
            for (int k = 0; k < kJogGroupCount; ++k) JogStepField(s, g, static_cast<JogGroup>(k)) = 300 + 10 * k;
        s.m_A_RunFast = kARevolution;
        TheSpeedTemplates().SetSettings(s);
        SpeedTypeTable handle;
        for (int d = 0; d < 16; ++d) handle.SetPair(d, {20 + d, 120 + d});
        TheSpeedTemplates().SetTable(SpeedType::Handle, handle);
        jog.SetMachineType([this] { return type(); });
        ManualControlConfig c;
        c.m_SpeedGears = 2;
        ApplyGearSteps(c, 2, s);
        jog.SetConfig(c);
        if (type() == 4) jog.OnHeadGroupButton();
        TheCommandPanel().headGroup = [this] { return jog.HeadGroup(); };
    }

    std::string LastCalls() {
        const auto calls = hooks.Calls();
        std::string out;
        for (std::size_t i = calls.size() > 12 ? calls.size() - 12 : 0; i < calls.size(); ++i)
            out += "  " + calls[i] + "\n";
        return out;
    }
    // The board's last frames, for the failure message.
    std::string LastFrames() {
        const auto frames = machine().Frames();
        std::ostringstream out;
        for (std::size_t i = frames.size() > 6 ? frames.size() - 6 : 0; i < frames.size(); ++i)
            out << "  frame " << std::hex << frames[i].code << std::dec << (frames[i].accepted ? "" : " refused: ")
                << frames[i].reason << " " << HexOf(frames[i].data) << "\n";
        return out.str();
    }

    ManualJog jog;
    HomingAxisSwitches switches;
};

TEST_P(Agreement, ProgramBooksWhatTheBoardDid) {
    unsigned seed = 1000u + 10u * static_cast<unsigned>(type()) + (serial() ? 0u : 1u);
    if (const char* e = std::getenv("SMT_AGREEMENT_SEED")) seed = static_cast<unsigned>(std::strtoul(e, nullptr, 10));
    std::mt19937 rng(seed);
    Step step{rng, type(), serial(), *sim, jog, switches};
    std::vector<const Command*> usable;
    for (const Command& c : CommandTable())
        if (c.applies(type(), serial())) usable.push_back(&c);
    ASSERT_EQ(Disagreement(*sim), "");
    for (int n = 0; n < kSteps; ++n) {
        const Command& c = *usable[static_cast<std::size_t>(step.Int(0, static_cast<int>(usable.size()) - 1))];
        // A step may have lost the link (a refusal's status): the next connects again.
        g_Connected = true;
        const std::string what = c.run(step);
        ASSERT_TRUE(WaitIdle()) << "seed " << seed << " step " << n << " (" << what << "): still busy";
        plat::RunPostedTasks();
        const std::string diff = Disagreement(*sim);
        ASSERT_EQ(diff, "") << "seed " << seed << " step " << n << " (" << c.name << ": " << what << ")\n"
                            << LastFrames() << LastCalls();
    }
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Wire, int>>& info) {
    return std::string(std::get<0>(info.param) == Wire::Serial ? "Serial" : "Ethernet") + "Type" +
           std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(EveryTypeBothLinks, Agreement,
                         ::testing::Combine(::testing::Values(Wire::Serial, Wire::Ethernet), ::testing::Range(0, 10)),
                         CaseName);

}  // namespace
