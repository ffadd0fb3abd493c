// The arbiter of every command that moves the machine: what the program books
// equals what the board did. Seeded random sequences of the command functions run
// against the simulated machine on both links and every machine type; after each
// step every counter the program keeps is compared with the board's drives as the
// simulator's control channel reports them (text, never the program's codecs).
// A failure names the seed and the step; SMT_AGREEMENT_SEED replays another seed.
// Commands that book counters join the table below. The draw is weighted toward
// what has not moved yet: every axis of the type by a single-axis move, and every
// command that must move the board at least once, so that a fault in one axis's
// booking cannot hide behind an unlucky draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "link/combined_commands.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/manual_control.h"
#include "link/positioning.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_operation.h"
#include "feeders/feed_rows.h"
#include "feeders/feeder_words.h"
#include "feeders/nozzle_operations.h"
#include "feeders/tray_pockets.h"
#include "joblist/coordinate_tests.h"
#include "joblist/lamp_editor.h"
#include "joblist/part_list.h"
#include "joblist/run_board.h"
#include "joblist/run_port.h"
#include "joblist/smt_strategy.h"
#include "run/pick_place.h"
#include "run_state/nozzle_work.h"
#include "vision/camera_service.h"
#include "vision/set_view.h"
#include "app/menus.h"
#include "base/globals.h"
#include "platform/uipost.h"
#include "machine_ops/dipping_station.h"
#include "settings/limit_detour.h"
#include "sim_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

constexpr int kSteps = 160;
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
    // The axes no single-axis move has moved yet; the axis the last one drew.
    std::set<int> unmovedAxes;
    int drawnAxis = -1;
    // The nozzles (1..8) whose rotation no 0x54 has turned yet; the one it last drew.
    std::set<int> unturnedNozzles;
    int drawnNozzle = -1;

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
    bool mustMove = false;                  // moves some drive at least once in every case
};

bool Always(int, bool) { return true; }
bool SerialOnly(int, bool serial) { return serial; }
bool TypeFour(int type, bool) { return type == 4; }

// Millimetres (100 pulses each) a few steps from a counter, within the travel
// less a margin for the heads' offsets, now and then far off.
double NearMm(Step& s, std::int64_t pulses, int span, bool y = false) {
    if (s.Chance(8)) return s.Int(-9000, 9000) + 0.0037;
    const std::int64_t lo = y ? kYLimit + 20000 : 20000, hi = y ? -20000 : kXLimit - 20000;
    return static_cast<double>(std::clamp<std::int64_t>(pulses + s.Int(-span, span), lo, hi)) / 100.0 + 0.0037;
}

// Nozzles the type has (1..n).
int NozzlesOf(int type) {
    switch (type) {
    case 0: case 1: return 1;
    case 2: case 5: return 2;
    case 7: case 8: case 9: return 8;
    default: return 4;
    }
}

// Nozzles whose rotation a third drive names: A1..A4 by axis codes 4..7, and on
// the eight-head type A1..A8 by 0x28..0x2F.
int TurnedNozzlesOf(int type) { return std::min(NozzlesOf(type), type == 7 ? 8 : 4); }

// A feeder row of `bank` ("W", "N", "E", "S") at X/Y near the heads, with feed
// mode `mode` and the feed coordinate `feedMm`.
std::vector<std::string> FeederRow(Step& s, const std::string& bank, int mode, double feedMm) {
    std::vector<std::string> row(kFeedCells);
    row[feedcell::Id] = bank + std::to_string(s.Int(1, 40));
    row[feedcell::X] = std::to_string(NearMm(s, g_PulseX, 30000));
    row[feedcell::Y] = std::to_string(NearMm(s, g_PulseY, 30000, true));
    row[feedcell::FeedMode] = FeedModeWord(mode);
    row[kFeedCoordinateCell] = std::to_string(feedMm);
    row[feedcell::FeedCount] = "1";
    row[19] = "3";  // feed time, ms
    row[20] = std::to_string(NearMm(s, g_PulseX, 20000));
    row[21] = std::to_string(NearMm(s, g_PulseY, 20000, true));
    row[feedcell::PickHeight] = std::to_string(s.Int(1, 40) / 10.0);
    return row;
}

// Mostly, every head up first (an X/Y move with a head down is refused): each
// rocker or Z axis by what its counter says; over Ethernet the answers' Z state
// then counts the heads as homed again.
void MostlyHeadsUp(Step& s) {
    if (!s.Chance(85)) return;
    std::vector<std::pair<int, int>> axes;  // axis, the nozzle whose counter it zeroes
    if (s.type == 7) {
        for (int n = 0; n < 8; ++n) axes.push_back({0x20 + n, n});
    } else {
        axes = {{2, 0}, {3, 2}};
        if (s.type == 4 || s.type == 6) axes.push_back({10, 4});
    }
    for (auto [axis, nozzle] : axes) {
        const std::int32_t z = g_PulseZ[static_cast<std::size_t>(nozzle)].load();
        // A rocker's first nozzle loses the delta; a single Z gains it.
        if (z != 0) MoveSingleAxis({static_cast<std::uint8_t>(axis), s.type == 7 ? -z : z, s.Speed()});
    }
}

// The feeder operation worker as the feeder list starts it, to its end.
void RunFeedOperation(Step& s, FeedOperationRequest r) {
    MostlyHeadsUp(s);
    BusyClaim claim = ClaimMachineAction(true);
    if (claim) TheFeedOperationPort().startRequest(std::move(r), std::move(claim));
    plat::JoinAllWorkers(std::chrono::seconds(20));
}

// A lamp point near where X2 and the table's Y stand; the stroke values pass the
// editor's checks.
LampPointValues LampPoint(Step& s, bool secondTable) {
    LampPointValues v;
    v.m_PointNo = std::to_string(s.Int(1, 10));
    v.m_Platform = secondTable ? kPlatform2 : kPlatform1;
    const std::int64_t y = secondTable ? g_PulseY2.load() : g_PulseY.load();
    v.m_MarkX = NearMm(s, g_PulseX2, 20000), v.m_MarkY = NearMm(s, y, 20000, true);
    v.m_PointX = s.Int(-300, 300) / 10.0, v.m_PointY = s.Int(-300, 300) / 10.0;
    v.m_StartSpeed = s.Int(1, 20), v.m_RunSpeed = s.Int(20, 200);
    for (auto& st : v.m_Strokes) {
        st.offsetX = s.Int(-50, 50) / 10.0, st.offsetY = s.Int(-50, 50) / 10.0;
        st.height = -2.5, st.valveOpen = -1.25, st.valveClose = 0.75;
        st.bottomDelay = 3, st.closeDelay = 2;
    }
    return v;
}

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
             // An axis not moved yet while there is one.
             std::vector<int> axes = AxesOf(s.type);
             if (!s.unmovedAxes.empty()) axes.assign(s.unmovedAxes.begin(), s.unmovedAxes.end());
             const int axis = axes[static_cast<std::size_t>(s.Int(0, static_cast<int>(axes.size()) - 1))];
             s.drawnAxis = axis;
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
         },
         true},
        {"X/Y move with a third drive", SerialOnly,
         [](Step& s) {
             // The third drive turns a nozzle not turned yet while there is one, by its
             // A axis code; now and then a code that names no rotation (nothing turns)
             // or a turn beyond the frame's 16 bits (refused, nothing sent).
             XYRotationMove m;
             m.yAxis = s.type == 4 && s.Chance(50) ? 12 : 1;
             m.dX = s.Delta(60000), m.dY = s.Delta(60000), m.xSpeed = s.Speed(), m.ySpeed = s.Speed();
             std::vector<int> nozzles;
             for (int n = 1; n <= TurnedNozzlesOf(s.type); ++n) nozzles.push_back(n);
             if (!s.unturnedNozzles.empty()) nozzles.assign(s.unturnedNozzles.begin(), s.unturnedNozzles.end());
             const int nozzle = nozzles[static_cast<std::size_t>(s.Int(0, static_cast<int>(nozzles.size()) - 1))];
             s.drawnNozzle = nozzle;
             m.r = static_cast<std::uint8_t>(s.type == 7 ? 0x27 + nozzle : 3 + nozzle);
             if (s.Chance(8)) m.r = s.Pick<std::uint8_t>({0, 1, 2, 3, 8, 12, 0x20});
             m.dR = s.Chance(6) ? s.Pick({-1, 1}) * s.Int(32768, 40000) : s.Int(-4000, 4000);
             m.p = static_cast<std::uint8_t>(s.Int(1, 20)), m.q = static_cast<std::uint8_t>(s.Int(20, 200));
             MoveXYWithRotation(m);
             return Text("0x54 yAxis/dX/dY", m.yAxis, m.dX, m.dY) + Text(" third drive/turn", m.r, m.dR);
         },
         true},
        {"X/Y with one rotation", Always,
         [](Step& s) {
             XYAMove m;
             m.xy = {s.Delta(30000), s.Speed(), s.Delta(30000), s.Speed()};
             m.nozzle = static_cast<std::uint8_t>(s.Int(1, s.type == 7 ? 8 : 4));
             m.dA = s.Int(-4000, 4000);
             m.flags = s.Pick<std::uint8_t>({0, 0x40, 0x80});
             // Now and then the heads are not reset (as an E3 report leaves them):
             // with bit 7 the move is refused, nothing sent and nothing booked.
             const bool unreset = s.Chance(20);
             if (unreset) g_HeadResetOk = false;
             // 0x64 frames only: a frame of an earlier command that needs no reply may
             // still be on its way to the board.
             const auto moves = [&s] {
                 std::size_t n = 0;
                 for (const auto& f : s.sim.machine().Frames()) n += f.code == 0x64;
                 return n;
             };
             const std::size_t movesBefore = moves();
             const bool moved = MoveXYA(m);
             if (unreset && (m.flags & 0x80)) {
                 EXPECT_FALSE(moved);
                 EXPECT_EQ(moves(), movesBefore) << "0x64 sent with the heads not reset";
             }
             g_HeadResetOk = true;
             return Text("0x64 dX/dY/nozzle", m.xy.dX, m.xy.dY, m.nozzle) + Text(" flags/heads not reset", m.flags, unreset);
         },
         true},
        {"X/Y with every rotation", Always,
         [](Step& s) {
             XYAMultiMove m;
             m.xy = {s.Delta(60000), s.Speed(), s.Delta(60000), s.Speed()};
             for (auto& a : m.dA) a = s.Int(-4000, 4000);
             m.aSpeed = s.Speed();
             MoveXYAMulti(m);
             return Text("0x65 dX/dY", m.xy.dX, m.xy.dY);
         },
         true},
        {"fly-over camera move", Always,
         [](Step& s) {
             FlyCameraMove m;
             m.dX = s.Delta(60000);
             m.frames = 2;
             MoveFlyingCamera(m);
             return Text("0x63 dX", m.dX);
         },
         true},
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
         },
         true},
        {"move and pick all, move and place all", [](int type, bool serial) { return type == 7 && !serial; },
         [](Step& s) {
             // The eight-head run's batch commands, which leave the booking to the
             // run: records 1..n picking near the head, then (or instead) the same
             // nozzles placing around a board origin near it, every nozzle turning.
             MostlyHeadsUp(s);
             const int n = s.Int(1, 8);
             const int savedType = g_MachineType.load();
             g_MachineType = 7;
             {
                 std::lock_guard lock(NozzleStateMutex());
                 for (int k = 0; k < 8; ++k) {
                     PlacementRecord& r = g_NozzleWork[static_cast<std::size_t>(k)];
                     r = PlacementRecord{};
                     if (k >= n) continue;
                     r.row = r.jobRow = k;
                     r.head = k + 1;
                     r.pickX = NearMm(s, g_PulseX, 20000), r.pickY = NearMm(s, g_PulseY, 20000, true);
                 }
             }
             for (auto& t : g_RotationTarget) t = s.Int(-4000, 4000);
             std::string what;
             if (s.Chance(50)) {
                 PickAllEightHeads();
                 what = Text("0x75 nozzles", n);
             } else {
                 const RunBoardState savedBoard = CopyRunBoard();
                 const SmtStrategyConfig savedStrategy = TheSmtStrategy().Config();
                 SmtStrategyConfig together = savedStrategy;
                 together.m_TogetherCode = 1;
                 TheSmtStrategy().SetConfig(together);
                 RunBoardState board;
                 board.g_RunOriginPulseX = static_cast<std::int32_t>(std::clamp<std::int64_t>(
                     g_PulseX.load() + s.Int(-20000, 20000), 40000, kXLimit - 40000));
                 board.g_RunOriginPulseY = static_cast<std::int32_t>(std::clamp<std::int64_t>(
                     g_PulseY.load() + s.Int(-20000, 20000), kYLimit + 40000, -40000));
                 StoreRunBoard(board);
                 ClearTogetherPlace();
                 for (int k = 1; k <= n; ++k) PlacePart(g_NozzleWork[static_cast<std::size_t>(k - 1)], k, false, false, 0, 0);
                 SendTogetherPlace();
                 TheSmtStrategy().SetConfig(savedStrategy);
                 StoreRunBoard(savedBoard);
                 what = Text("0x78 nozzles/origin", n, board.g_RunOriginPulseX, board.g_RunOriginPulseY);
             }
             {
                 std::lock_guard lock(NozzleStateMutex());
                 g_NozzleWork = {};
             }
             g_MachineType = savedType;
             return what;
         },
         true},
        {"feeder feed", Always,
         [](Step& s) {
             FeederFeed f;
             f.drive = static_cast<std::uint8_t>(s.Int(1, 3));
             f.pulses = s.Int(-3000, 3000);
             FeedFeeder(f);
             return Text("0x66 drive/pulses", f.drive, f.pulses);
         },
         true},
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
         },
         true},
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
         },
         true},
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
         },
         true},
        {"tray pocket move", Always,
         [](Step& s) {
             // The mark camera or a nozzle the type has over a pocket of a tray whose
             // origin lies near the heads (now and then far off: refused).
             PocketMove m;
             m.code = s.Int(0, NozzlesOf(s.type));
             m.row = s.Int(0, 6), m.column = s.Int(1, 9);
             m.rowPitch = -s.Int(50, 200) / 10.0, m.columnPitch = s.Int(50, 200) / 10.0;
             m.originX = NearMm(s, g_PulseX, 20000), m.originY = NearMm(s, g_PulseY, 20000, true);
             MostlyHeadsUp(s);
             StartPocketMove(m);
             plat::JoinAllWorkers(std::chrono::seconds(20));
             return Text("pocket code/row/column", m.code, m.row, m.column);
         },
         true},
        {"feeder operation: to the feeder target", Always,
         [](Step& s) {
             // A nozzle to the feeder (type 4: X only), or nozzle 1 to the dipping station.
             FeedOperationRequest r;
             r.code = s.Chance(20) ? kFeedOpHeadToDipping : s.Int(1, NozzlesOf(s.type));
             r.row = FeederRow(s, "W", 0, -1);
             TheDippingStation().m_DippingStation_X = NearMm(s, g_PulseX, 30000);
             TheDippingStation().m_DippingStation_Y = NearMm(s, g_PulseY, 30000, true);
             RunFeedOperation(s, r);
             return Text("feeder target code", r.code);
         },
         true},
        {"feeder operation: camera to the feeder", Always,
         [](Step& s) {
             // The mark camera over the feeder, or over the hole of a drag-pin feeder.
             FeedOperationRequest r;
             r.code = s.Chance(50) ? kFeedOpCameraToFeeder : kFeedOpCameraToHole;
             r.row = FeederRow(s, "N", s.Chance(80) ? 6 : 0, 4);
             RunFeedOperation(s, r);
             return Text("camera to feeder code", r.code);
         },
         true},
        {"feeder operation: towbar to the hole", Always,
         [](Step& s) {
             // The bank's walk to the feed coordinate (now and then beyond its range).
             static const char* banks[] = {"W", "N", "E", "S"};
             const int bank = s.Int(0, 3);
             const int c = bank == 1 ? s.Int(-50, 1050) : s.Int(-1050, 50);
             FeedOperationRequest r;
             r.code = kFeedOpTowbar;
             r.row = FeederRow(s, banks[bank], 0, c + 0.37 * (bank == 1 ? 1 : -1));
             RunFeedOperation(s, r);
             return Text("towbar bank/coordinate", bank, c);
         },
         true},
        {"feeder operation: feed test with a drag pin or a walk", Always,
         [](Step& s) {
             // The drag pin: nozzle 2 over the hole, pin down, lift open, drag and
             // back, pin up, lift closed; or the walk feed of an integration feeder.
             static const char* banks[] = {"W", "N", "E", "S"};
             const int bank = s.Int(0, 3);
             const int mode = s.Chance(75) ? 6 : 0;
             const double c = mode == 6 ? s.Int(1, 80) / 10.0 : (bank == 1 ? 1 : -1) * s.Int(0, 900) + 0.25;
             FeedOperationRequest r;
             r.code = kFeedOpFeedTest;
             r.row = FeederRow(s, banks[bank], mode, c);
             RunFeedOperation(s, r);
             return Text("feed test bank/mode", bank, mode);
         },
         true},
        {"lamp editor move", TypeFour,
         [](Step& s) {
             // The camera over the mark or the point, a glue head over the point
             // (with its test stroke), or the whole test with the mark: X2 with Y
             // or Y2. Glue heads down refuse.
             MostlyHeadsUp(s);
             const bool second = s.Chance(50);
             const LampPointValues v = LampPoint(s, second);
             LampPointEditor& editor = TheLampPointEditor();
             LampEditorUi ui;
             ui.setField = [](int, const std::string&) {};
             ui.focus = [](int) {};
             const int what = s.Int(0, 4);
             switch (what) {
             case 0: editor.OnCameraMove(v, false); break;
             case 1: editor.OnCameraMove(v, true); break;
             case 2: editor.OnGlueMove(v, s.Int(0, 2)); break;
             case 3: editor.OnStrokeTest(v, s.Int(0, 2), ui); break;
             default: editor.OnDispenseTest(v); break;
             }
             plat::JoinAllWorkers(std::chrono::seconds(20));
             return Text("lamp action/table", what, second ? 2 : 1);
         },
         true},
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
        SetUpFeedersAndHeads();
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
        TheFeedOperationPort() = FeedOperationPort{};
        ThePositionLimitDetour() = PositionLimitDetour{};
        TheDippingStation() = DippingStationSettings{};
        TheAutoFeed().m_Open_Length = 0;
        TheAutoFeed().m_Close_Length = 0;
        TheRunPort().recognizeMark = {};
        g_FeedModeNames = savedModeNames;
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

    // Offsets that differ per head and axis, lift factors, the drag-pin values, a
    // detour corner on each side, the feeder operation worker and a Mark that is
    // always found (the lamp editor's whole test).
    void SetUpFeedersAndHeads() {
        auto& b = TheBasicSettings();
        b.m_X_CameraToNozzle1 = 41.37, b.m_Y_CameraToNozzle1 = -12.61;
        b.m_X_Measurement = -23.17, b.m_Y_Measurement = 8.43;
        double* offsets[] = {&b.m_X_Nozzle2ToNozzle1, &b.m_Y_Nozzle2ToNozzle1, &b.m_X_Nozzle3ToNozzle1,
                             &b.m_Y_Nozzle3ToNozzle1, &b.m_X_Nozzle4ToNozzle1, &b.m_Y_Nozzle4ToNozzle1,
                             &b.m_X_Nozzle5ToNozzle1, &b.m_Y_Nozzle5ToNozzle1, &b.m_X_Nozzle6ToNozzle1,
                             &b.m_Y_Nozzle6ToNozzle1, &b.m_X_Nozzle7ToNozzle1, &b.m_Y_Nozzle7ToNozzle1,
                             &b.m_X_Nozzle8ToNozzle1, &b.m_Y_Nozzle8ToNozzle1};
        for (int i = 0; i < 14; ++i) *offsets[i] = (i % 2 ? -3.11 : 20.07) * (i / 2 + 1) + 0.13 * i;
        b.m_Z_Nozzle2ToFeed = 4.21, b.m_Nozzle2MoreNozzle1 = 0.37, b.m_FeedOverBack = 0.55;
        auto& f = ThePulseFactors();
        f.m_WestLift_Pulse = 90, f.m_NorthLift_Pulse = 110, f.m_EastLift_Pulse = 130;
        TheAutoFeed().m_Open_Length = 9;
        TheAutoFeed().m_Close_Length = 13;
        auto& d = ThePositionLimitDetour();
        d.m_W_S_PositionLimitPositionDetour = 1, d.m_W_S_LessPosition_dX = 600, d.m_W_S_LessPosition_dY = -1800;
        d.m_E_S_PositionLimitPositionDetour = 1, d.m_E_S_LessPosition_dX = 3400, d.m_E_S_LessPosition_dY = -2200;
        InstallFeedOperationWorker();
        TheRunPort().recognizeMark = [](int, int) { return false; };
        static const char* modes[] = {"集中飞达", "自动飞达", "振动飞达", "托盘", "0402", "48", "拖针", "CL_浸渍站", "托盘_浸渍站"};
        savedModeNames = g_FeedModeNames;
        for (int m = 0; m < 9; ++m) g_FeedModeNames[static_cast<std::size_t>(m)] = modes[m];
        g_HeadResetOk = true;
    }
    std::array<std::string, 27> savedModeNames;

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
    Step step{rng, type(), serial(), *sim, jog, switches, {}, -1, {}, -1};
    std::vector<const Command*> usable;
    for (const Command& c : CommandTable())
        if (c.applies(type(), serial())) usable.push_back(&c);
    const Command* singleAxis = &CommandTable().front();  // the first entry
    const Command* thirdDrive = &*std::find_if(CommandTable().begin(), CommandTable().end(), [](const Command& c) {
        return std::string(c.name) == "X/Y move with a third drive";
    });
    for (int axis : AxesOf(type())) step.unmovedAxes.insert(axis);
    if (serial())
        for (int n = 1; n <= TurnedNozzlesOf(type()); ++n) step.unturnedNozzles.insert(n);
    std::set<const Command*> unmoved;  // commands that must move and have not yet
    for (const Command* c : usable)
        if (c->mustMove) unmoved.insert(c);
    // What still has to move weighs more: the single-axis move one more per axis
    // left, every command that has not moved yet three more.
    const auto weight = [&](const Command* c) {
        if (c == singleAxis) return 1 + static_cast<int>(step.unmovedAxes.size());
        if (c == thirdDrive) return (unmoved.count(c) ? 4 : 1) + 2 * static_cast<int>(step.unturnedNozzles.size());
        return unmoved.count(c) ? 4 : 1;
    };
    ASSERT_EQ(Disagreement(*sim), "");
    for (int n = 0; n < kSteps; ++n) {
        int total = 0;
        for (const Command* c : usable) total += weight(c);
        int draw = step.Int(0, total - 1);
        std::size_t k = 0;
        while (draw >= weight(usable[k])) draw -= weight(usable[k++]);
        const Command& c = *usable[k];
        // A step may have lost the link (a refusal's status): the next connects again.
        g_Connected = true;
        const auto before = BoardDrives(*sim);
        step.drawnAxis = -1;
        step.drawnNozzle = -1;
        const std::string what = c.run(step);
        ASSERT_TRUE(WaitIdle()) << "seed " << seed << " step " << n << " (" << what << "): still busy";
        plat::RunPostedTasks();
        const std::string diff = Disagreement(*sim);
        ASSERT_EQ(diff, "") << "seed " << seed << " step " << n << " (" << c.name << ": " << what << ")\n"
                            << LastFrames() << LastCalls();
        const auto after = BoardDrives(*sim);
        if (after != before) {
            unmoved.erase(&c);
            if (&c == singleAxis) step.unmovedAxes.erase(step.drawnAxis);
            const std::string a = "a" + std::to_string(step.drawnNozzle);
            if (&c == thirdDrive && after.count(a) && before.count(a) && after.at(a) != before.at(a))
                step.unturnedNozzles.erase(step.drawnNozzle);
        }
    }
    std::string left;
    for (int axis : step.unmovedAxes) left += " axis " + std::to_string(axis);
    for (int n : step.unturnedNozzles) left += " rotation of nozzle " + std::to_string(n);
    for (const Command* c : unmoved) left += std::string(" \"") + c->name + "\"";
    EXPECT_EQ(left, "") << "seed " << seed << ": never moved";
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Wire, int>>& info) {
    return std::string(std::get<0>(info.param) == Wire::Serial ? "Serial" : "Ethernet") + "Type" +
           std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(EveryTypeBothLinks, Agreement,
                         ::testing::Combine(::testing::Values(Wire::Serial, Wire::Ethernet), ::testing::Range(0, 10)),
                         CaseName);

}  // namespace

// ---- Type-4 homing (0x52), kind by kind ----
// The program zeroes exactly the counters of the drives its command sends home, and
// the board zeroes the same drives: per kind, and for a full homing with some axis
// switches off (with X, Y and both Z rockers alone it sends kind 4's very frame).
namespace {

class Type4HomingAgreement : public Agreement {
protected:
    // Every drive of the type away from 0, by commands whose booking the table above
    // checks: X, Y, the three Z rockers, X2 and Y2 (head group 2), and the walks.
    void MoveEveryDrive(int round) {
        const int s = round + 1;
        const std::pair<int, std::int32_t> moves[] = {{0, 5000 + 7 * s}, {1, -4000 - 5 * s}, {2, 300 + s},
                                                      {3, -200 - s},    {8, 700 + s},       {9, 900 + 3 * s},
                                                      {10, 250 + s},    {12, -600 - s}};
        for (const auto& [axis, delta] : moves)
            ASSERT_TRUE(MoveSingleAxis({static_cast<std::uint8_t>(axis), delta, {5, 50}})) << "axis " << axis;
        for (std::uint8_t drive = 1; drive <= 3; ++drive) {
            FeederFeed f;
            f.drive = drive;
            f.pulses = 100 * drive + s;
            ASSERT_TRUE(FeedFeeder(f)) << "walk " << int{drive};
        }
    }
    // The names of the counters that went from non-zero to 0.
    static std::string Zeroed(const std::map<std::string, std::int64_t>& before,
                              const std::map<std::string, std::int64_t>& after) {
        std::string out;
        for (const auto& [key, value] : before)
            if (value != 0 && after.count(key) && after.at(key) == 0) out += key + " ";
        return out;
    }
    static std::map<std::string, std::int64_t> ProgramCounters() {
        const PositionSnapshot p = TakePositionSnapshot();
        std::map<std::string, std::int64_t> m{{"x", p.x}, {"y", p.y}, {"x2", p.x2}, {"y2", p.y2}, {"d1", p.walk[3]}};
        for (int n = 0; n < 8; ++n) m["z" + std::to_string(n + 1)] = p.z[n];
        for (int w = 0; w < 3; ++w) m["w" + std::to_string(w + 1)] = p.walk[w];
        return m;
    }
    static std::map<std::string, std::int64_t> BoardCounters(sim::Simulator& sim) {
        auto m = BoardDrives(sim);
        for (auto it = m.begin(); it != m.end();) it = it->first[0] == 'a' ? m.erase(it) : std::next(it);
        return m;
    }
};

TEST_P(Type4HomingAgreement, EachKindZeroesTheSameDrivesOnBothSides) {
    struct Case {
        int kind;
        HomingAxisSwitches switches;
        const char* zeroed;   // what both sides zero
    };
    HomingAxisSwitches xyzOnly;
    xyzOnly.m_09_W2 = xyzOnly.m_0A_W3 = xyzOnly.m_0C_L2 = 0;
    const Case cases[] = {
        {0, HomingAxisSwitches{}, "x x2 y y2 z1 z2 z3 z4 z5 z6 "},
        {0, xyzOnly, "x y z1 z2 z3 z4 "},
        {1, HomingAxisSwitches{}, "x "},
        {2, HomingAxisSwitches{}, "y "},
        {3, HomingAxisSwitches{}, "z1 z2 z3 z4 "},
        {4, HomingAxisSwitches{}, "x y z1 z2 z3 z4 "},
        {5, HomingAxisSwitches{}, "y2 "},
        {6, HomingAxisSwitches{}, "z5 z6 "},
        {7, HomingAxisSwitches{}, "x2 "},
        {8, HomingAxisSwitches{}, ""},
    };
    switches = HomingAxisSwitches{};
    MachineReset(0, true);
    AwaitHoming();
    ASSERT_TRUE(WaitIdle());
    for (int round = 0; round < static_cast<int>(std::size(cases)); ++round) {
        const Case& c = cases[round];
        SCOPED_TRACE("kind " + std::to_string(c.kind) + " round " + std::to_string(round));
        MoveEveryDrive(round);
        ASSERT_TRUE(WaitIdle());
        plat::RunPostedTasks();
        ASSERT_EQ(Disagreement(*sim), "");
        const auto programBefore = ProgramCounters();
        const auto boardBefore = BoardCounters(*sim);
        switches = c.switches;
        MachineReset(c.kind, true);
        AwaitHoming();
        ASSERT_TRUE(WaitIdle());
        plat::RunPostedTasks();
        const std::string program = Zeroed(programBefore, ProgramCounters());
        EXPECT_EQ(program, Zeroed(boardBefore, BoardCounters(*sim)));
        EXPECT_EQ(program, c.zeroed);
        EXPECT_EQ(Disagreement(*sim), "") << LastFrames();
    }
}

INSTANTIATE_TEST_SUITE_P(SerialType4, Type4HomingAgreement, ::testing::Values(std::make_tuple(Wire::Serial, 4)),
                         CaseName);

}  // namespace
