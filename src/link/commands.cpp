#include "link/commands.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>

#include "link/cmd_srv.h"
#include "link/command_common.h"
#include "link/exchange.h"
#include "link/link_log.h"
#include "link/link_lost.h"
#include "link/locked.h"
#include "link/serial_frame.h"
#include "link/serial_link.h"
#include "platform/msgbox.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"

namespace smt {

std::atomic<std::uint8_t> g_CameraChanged{0};
std::atomic<int> g_PanelCamera{0};

namespace {

Locked<MoveLimits> g_limits;

std::mutex g_captionMutex;
std::map<std::uint16_t, std::string>& captions() {
    static std::map<std::uint16_t, std::string> c{
        {0x53, "53->XY轴运动"},   {0x56, "56->飞达送料"},     {0x66, "66->飞达送料"},
        {0x58, "58->点胶"},       {0x61, "61->单轴运动"},     {0x62, "62->自动进板运动"},
        {0x63, "63->飞行相机"},   {0x64, "64->XYA轴运动"},    {0x65, "65->XYA多轴运动"},
        {0x67, "67->取料"},       {0x68, "68->贴装"},         {0x71, "71->测量高度"},
        {0x72, "72->复位"},       {0x73, "73->移动飞行"},     {0x74, "74->移动取料"},
        {0x75, "75->移动取料"},   {0x77, "77->移动放置"},     {0x78, "78->移动放置"},
    };
    return c;
}

std::string hex2(std::uint16_t code) {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", code & 0xFF);
    return b;
}

template <class T, class... A>
T callOr(const std::function<T(A...)>& f, T fallback) {
    return f ? f() : fallback;
}

}  // namespace

void SetMoveLimits(const MoveLimits& limits) { g_limits.Set(limits); }

MoveLimits CurrentMoveLimits() { return g_limits.Get(); }

namespace {
std::array<std::atomic<bool>, 8> g_knownPumps{};
}  // namespace

void NotePumpSwitched(int pump, bool on) {
    for (int n = 1; n <= 8; ++n)
        if (pump == 0 || pump == n) g_knownPumps[n - 1] = on;
}

void TickPumpBoxes(int selector, bool ticked) {
    NotePumpSwitched(selector, ticked);
    const auto& port = TheCommandPanel();
    if (selector == 0) {
        if (port.clearNozzleChecks && !ticked) port.clearNozzleChecks();
        else if (port.setNozzleCheck) port.setNozzleCheck(0, ticked);
    } else if (port.setNozzleCheck) {
        port.setNozzleCheck(selector, ticked);
    }
}

void ShowKnownPumps() {
    if (const auto& f = TheCommandPanel().setNozzleCheck)
        for (int n = 1; n <= 8; ++n) f(n, g_knownPumps[n - 1].load());
}

CommandPanelPort& TheCommandPanel() {
    static CommandPanelPort port;
    return port;
}

std::string CommandCaption(std::uint16_t code) {
    std::lock_guard lock(g_captionMutex);
    auto& c = captions();
    auto it = c.find(code);
    return it != c.end() ? it->second : hex2(code);
}

void SetCommandCaption(std::uint16_t code, const std::string& caption) {
    std::lock_guard lock(g_captionMutex);
    captions()[code] = caption;
}

std::string FormatPositionField(std::int32_t pulses, double factor, bool inPulses) {
    char b[64];
    if (inPulses || factor == 0) std::snprintf(b, sizeof b, "%d", pulses);
    else std::snprintf(b, sizeof b, "%0.4f", pulses / factor);
    return b;
}

// ---- shared steps ------------------------------------------------------------

namespace cmd {

bool UseSerial() { return TheBasicSettings().m_CommModel == 0; }

int MachineType() {
    if (const auto& f = TheCommandPanel().machineType) return f();
    if (const auto& f = GetLinkHooks().machineType) return f();
    return 0;
}

void Refuse(const char* text) { plat::MessageBoxOk(text, true, plat::MsgIcon::Warning); }

bool CheckXY(std::int64_t newX, std::int64_t newY) {
    const MoveLimits l = CurrentMoveLimits();
    if (newX < 0 || newX > l.x) {
        Refuse(kXPosError);
        return false;
    }
    if (newY < l.y || newY > 0) {
        Refuse(kYPosError);
        return false;
    }
    return true;
}

void TraceLine(const std::string& text) { AppendCommTrace(text, true); }
void TraceStart(std::uint16_t code) { TraceLine(hex2(code) + "->Start"); }
void TraceEnd(std::uint16_t code) { TraceLine(hex2(code) + "->end"); }

bool Exchange(std::uint16_t code, ReplyFamily family, const ReplyBound& bound, const ByteVector& serialData,
              const ByteVector& udpPayload) {
    const std::string name = CommandCaption(code);
    if (UseSerial())
        return ExchangeSerial(family, bound, name, BuildSerialFrame(static_cast<std::uint8_t>(code), serialData));
    return ExchangeEthernet(family, bound, name, code, udpPayload);
}

bool ExchangeUdp(std::uint16_t code, ReplyFamily family, const ReplyBound& bound, const ByteVector& payload) {
    return ExchangeEthernet(family, bound, CommandCaption(code), code, payload);
}

ReplyBound MoveBound(std::initializer_list<TravelLeg> legs, std::int64_t dwellMs) {
    std::int64_t travel = 0;
    for (const TravelLeg& l : legs) travel = std::max(travel, TravelMs(l.pulses, l.runCode));
    return {MoveWaitLimit(travel + std::max<std::int64_t>(dwellMs, 0)), true};
}

ReplyBound QueryBound() { return {NoMoveWaitLimit(), false}; }

namespace {
bool reportSendFailure(std::uint16_t code) {
    LinkLog("Send failed = %s", hex2(code).c_str());
    return false;
}
}  // namespace

bool SendSerialOnly(std::uint16_t code, const ByteVector& serialData) {
    if (LinkLost()) return RefuseOnLostLink(hex2(code));
    if (!GetSerialLink().SendFrame(BuildSerialFrame(static_cast<std::uint8_t>(code), serialData)))
        return reportSendFailure(code);
    return true;
}

bool SendOnly(std::uint16_t code, const ByteVector& serialData, const ByteVector& udpPayload, bool lockUdp) {
    if (UseSerial()) return SendSerialOnly(code, serialData);
    if (LinkLost()) return RefuseOnLostLink(hex2(code));
    MachineLink& link = GetMachineLink();
    const int r = lockUdp ? link.SendCommand(code, udpPayload) : link.SendCommandUnlocked(code, udpPayload);
    return r == 0 || reportSendFailure(code);
}

bool StartHoming(std::uint16_t code, const ByteVector& serialData, const ByteVector& udpPayload) {
    const auto& enable = GetLinkHooks().enableManualControls;
    if (enable) enable(false);
    // The homing command goes without the link mutex on Ethernet.
    if (SendOnly(code, serialData, udpPayload, false)) return true;
    // No reply will come to enable the panel again.
    if (enable) enable(true);
    return false;
}

void CountCommand() {
    const std::int32_t n = g_PanelLink.commandCounter.fetch_add(1) + 1;
    if (const auto& f = TheCommandPanel().showCommandCounter) f(n);
}

void ShowField(PositionField field, std::int32_t pulses) {
    const auto& port = TheCommandPanel();
    if (field == PositionField::None || !port.showPosition) return;
    const PulseFactors& f = ThePulseFactors();
    double factor = 0;
    switch (field) {
    case PositionField::X: factor = f.m_X_Pulse; break;
    case PositionField::Y: factor = f.m_Y_Pulse; break;
    case PositionField::Z: factor = f.m_Z_Pulse; break;
    case PositionField::A: factor = f.m_A_Pulse; break;
    case PositionField::None: break;
    }
    port.showPosition(field, FormatPositionField(pulses, factor, callOr(port.displayInPulses, false)));
}

void ShowXY() {
    ShowField(PositionField::X, g_PulseX);
    ShowField(PositionField::Y, g_PulseY);
}

void ShowA1() { ShowField(PositionField::A, g_PulseA[0]); }

bool HeadsHomed() { return g_HeadResetOk.load(); }

bool HeadsHomedOrRefuse() {
    if (HeadsHomed()) return true;
    if (LinkLost()) return RefuseOnLostLink("E3");
    Refuse(kHeadE3Error);
    return false;
}

void AdjustXYSpeeds(AxisSpeed& x, std::int32_t dX, AxisSpeed& y, std::int32_t dY) {
    const MoveLimits l = CurrentMoveLimits();
    XYSpeeds(x, dX, l.absX, y, dY, l.absY, CurrentMoveSpeedOptions());
}

}  // namespace cmd

using namespace cmd;

// ---- 0x00 .. 0x15, 0x60: no trace, no wait (but 0x15) --------------------------

void SendAxisLimit(std::uint8_t axis, std::int32_t limitPulses) {
    if (SendSerialOnly(0x01, SerialAxisLimit(axis, limitPulses))) CountCommand();
}

bool SendHomeAxes(HomeAxesSpeeds s) {
    std::int32_t* runs[] = {&s.x.run, &s.y.run};
    CapRunsTogether(runs, 2, CurrentMoveSpeedOptions());
    const int type = MachineType();
    if (type != 3 && type != 6) s.z2 = {};
    auto on = [](const AxisSpeed& a) { return a.start != 0 || a.run != 0; };
    std::uint32_t drives = 0;
    if (on(s.x)) drives |= homed::kX;
    if (on(s.y)) drives |= homed::kY;
    if (on(s.z1)) drives |= homed::kRocker12;
    if (on(s.z2)) drives |= homed::kRocker34 | (type == 6 ? homed::kRocker56 : 0);
    if (on(s.westWalk)) drives |= homed::kW1;
    if (on(s.northWalk)) drives |= homed::kW2;
    if (on(s.eastWalk)) drives |= homed::kW3;
    g_PanelLink.homedDrives = drives;
    return StartHoming(0x02, SerialHomeAxes(s), UdpHomeAxes(s));
}

bool SetOutput(const OutputSwitch& output) {
    return SendOnly(0x03, SerialOutput(output), UdpOutput(output));
}

bool SelectCamera(std::uint8_t camera, std::uint8_t value, int display) {
    const auto& port = TheCommandPanel();
    const int previous = g_PanelCamera.exchange(camera);
    g_CameraChanged = previous == camera ? 0 : 1;
    if (port.setCurrentCamera) port.setCurrentCamera(camera - 1);
    const int type = MachineType();
    if (type == 4) {
        if (port.setSelectedTable) port.setSelectedTable(camera == 2 ? 1 : 0);
        // The double-table type's first camera is the host's alone.
        if (camera == 1) return true;
    }
    const bool sent = SendOnly(0x04, SerialCamera(camera, value), UdpCamera(camera, value));
    if (type != 4 && callOr(port.highSpeedCamera, false) && port.switchCameraStreams)
        port.switchCameraStreams(camera - 1, display);
    return sent;
}

bool SetSpeedGear(std::uint8_t mode, std::uint8_t second) {
    TraceStart(0x60);
    if (!SendOnly(0x60, SerialSpeedGear(mode), UdpSpeedGear(mode, second))) return false;
    TraceEnd(0x60);
    return true;
}

bool ReadVacuum(std::uint8_t nozzle) {
    return Exchange(0x15, ReplyFamily::Vacuum, QueryBound(), SerialVacuum(nozzle), UdpVacuum(nozzle));
}

// ---- moves -------------------------------------------------------------------

bool MoveSingleAxis(SingleAxisMove m) {
    const std::int64_t x = g_PulseX, y = g_PulseY;
    if (m.axis == 0 && !CheckXY(x + m.delta, y)) return false;
    if (m.axis == 1 && !CheckXY(x, y + m.delta)) return false;
    const MoveLimits l = CurrentMoveLimits();
    m.speed = SingleAxisSpeed(m.speed, m.axis <= 1, m.delta, m.axis == 0 ? l.absX : l.absY,
                              CurrentMoveSpeedOptions());
    TraceStart(0x61);
    if (!Exchange(0x61, ReplyFamily::SingleAxis, MoveBound({{m.delta, m.speed.run}}), SerialSingleAxis(m),
                  UdpSingleAxis(m, CurrentCounterOfAxis(m.axis))))
        return false;
    TraceEnd(0x61);
    CountCommand();
    const auto& port = TheCommandPanel();
    const FieldUpdate u = BookSingleAxis(m.axis, m.delta, MachineType(), callOr(port.headGroup, 1));
    ShowField(u.field, u.pulses);
    if (m.axis >= 11 && m.axis <= 13) {
        if (callOr(port.liftOutputFlag, false))
            SetOutput({static_cast<std::uint8_t>(m.axis - 6), 1, 5});
        plat::SleepFor(plat::Millis(callOr(port.feedDelayMs, 0)));
    }
    return true;
}

bool RunConveyorZones(const ConveyorRun& c) {
    TraceStart(0x62);
    const bool namedZone = c.zone >= 1 && c.zone <= 4;
    const std::string zone = std::to_string(c.zone);
    if (namedZone) AppendCommTrace("Zone " + zone + " run -> ", true);
    // The belts wait for the board at their sensors too: the conveyor's own limit.
    if (!Exchange(0x62, ReplyFamily::Conveyor, BoundOfKind(WaitKind::Move), SerialConveyor(c), UdpConveyor(c)))
        return false;
    if (namedZone) AppendCommTrace("62-" + zone + " end ", true);
    return true;
}

FlyFrames AwaitFlyFrames(plat::Event* frameEvent, std::string_view commandName, Transport transport) {
    const std::string name(commandName);
    if (!frameEvent) return FlyFrames::Incomplete;  // nobody counts the frames
    // The run's stop ends this wait too (after its grace).
    bool stopped = false;
    const plat::WaitResult r = WaitReplyEvent(*frameEvent, WaitLimit(WaitKind::FlyFrames), StopFlagOf(transport),
                                              std::chrono::steady_clock::now(), &stopped);
    if (r == plat::WaitResult::Signalled) return FlyFrames::Complete;
    // A lost trigger or frame: the pass was answered, so the link stays as it is.
    AppendCommTrace(name + (plat::WaitsCancelled() || stopped ? "->stopped" : "->frames incomplete"), true);
    LinkLog("Fly frames incomplete = %s", name.c_str());
    return FlyFrames::Incomplete;
}

bool MoveFlyingCamera(const FlyCameraMove& m, FlyFrames* frames) {
    if (frames) *frames = FlyFrames::Incomplete;
    const std::int64_t x = g_PulseX;
    if (!CheckXY(x + m.dX, g_PulseY)) return false;
    TraceStart(0x63);
    plat::Event* frame = TheCommandPanel().flyFrameEvent ? TheCommandPanel().flyFrameEvent() : nullptr;
    if (frame) frame->Reset();
    // The fly-over runs at the board's own speed, which the command does not carry.
    if (!Exchange(0x63, ReplyFamily::FlyCamera, MoveBound({{m.dX, 0}}), SerialFlyCamera(m),
                  UdpFlyCamera(m, static_cast<std::int32_t>(x))))
        return false;
    // Answered is moved (a refused move fails in the exchange): booked before the
    // frames are waited for.
    g_PulseX += m.dX;
    ShowField(PositionField::X, g_PulseX);
    const Transport t = UseSerial() ? Transport::Serial : Transport::Ethernet;
    const FlyFrames got = AwaitFlyFrames(frame, CommandCaption(0x63), t);
    if (frames) *frames = got;
    TraceEnd(0x63);
    return true;
}

bool MoveXYA(XYAMove m) {
    const std::int64_t x = g_PulseX, y = g_PulseY;
    if (!CheckXY(x + m.xy.dX, y + m.xy.dY)) return false;
    const bool serial = UseSerial();
    const bool wide = TheVersionSwitches().m_V2_04 != 0;
    // A 16-bit field cannot carry more; refuse rather than send a different move.
    if (serial && (!FitsSm16(m.dA) || (!wide && (!FitsSm16(m.xy.dX) || !FitsSm16(m.xy.dY))))) {
        Refuse(kPulse32767);
        return false;
    }
    AdjustXYSpeeds(m.xy.xSpeed, m.xy.dX, m.xy.ySpeed, m.xy.dY);
    g_CommandInFlight = 64;
    TraceStart(0x64);
    if ((m.flags & 0x80) && !HeadsHomedOrRefuse()) return false;
    const ReplyBound bound = MoveBound({{m.xy.dX, m.xy.xSpeed.run}, {m.xy.dY, m.xy.ySpeed.run}, {m.dA, 0}});
    if (!Exchange(0x64, ReplyFamily::MoveXYA, bound, SerialXYA(m, wide),
                  UdpXYA(m, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y))))
        return false;
    TraceEnd(0x64);
    CountCommand();
    g_PulseX += m.xy.dX;
    g_PulseY += m.xy.dY;
    BookA(m.nozzle, m.dA);
    ShowXY();
    if (m.nozzle >= 1 && m.nozzle <= 8) ShowField(PositionField::A, g_PulseA[m.nozzle - 1]);
    return true;
}

bool MoveXYAMulti(XYAMultiMove m) {
    if (m.xy.dX < -65535 || m.xy.dX > 65535 || m.xy.dY < -65535 || m.xy.dY > 65535) {
        Refuse(kPulse65535);
        return false;
    }
    const std::int64_t x = g_PulseX, y = g_PulseY;
    if (!CheckXY(x + m.xy.dX, y + m.xy.dY)) return false;
    const bool serial = UseSerial();
    if (serial) {
        for (int n = 0; n < 4; ++n) {
            if (!FitsSm16(m.dA[n])) {
                Refuse(kPulse32767);
                return false;
            }
        }
    }
    AdjustXYSpeeds(m.xy.xSpeed, m.xy.dX, m.xy.ySpeed, m.xy.dY);
    g_CommandInFlight = 65;
    if (!HeadsHomedOrRefuse()) return false;
    TraceStart(0x65);
    std::int32_t turn = 0;
    for (const std::int32_t a : m.dA) turn = std::max(turn, a < 0 ? -a : a);
    const ReplyBound bound =
        MoveBound({{m.xy.dX, m.xy.xSpeed.run}, {m.xy.dY, m.xy.ySpeed.run}, {turn, m.aSpeed.run}});
    if (!Exchange(0x65, ReplyFamily::MoveXYAMulti, bound, SerialXYAMulti(m),
                  UdpXYAMulti(m, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y))))
        return false;
    TraceEnd(0x65);
    g_PulseX += m.xy.dX;
    g_PulseY += m.xy.dY;
    // The serial form carries the first four rotations only; book what moved.
    const int rotated = serial ? 4 : 8;
    for (int n = 0; n < rotated; ++n) BookA(n + 1, m.dA[n]);
    ShowXY();
    ShowA1();
    return true;
}

bool FeedFeeder(const FeederFeed& f) {
    const std::uint8_t code = FeedCode(f);
    TraceStart(code);
    const bool walk = f.drive >= 1 && f.drive <= 3;
    const std::int32_t current = walk ? g_PulseFeederWalk[f.drive - 1].load() : 0;
    // The walk at its pair's run code, the tape lengths at the second pair's, and the
    // feeder's own time.
    const ReplyBound bound = MoveBound({{f.pulses, f.b}}, TravelMs(f.c, f.f) + TravelMs(f.d, f.f) + f.g);
    if (!Exchange(code, ReplyFamily::Feed, bound, SerialFeed(f), UdpFeed(f, current))) return false;
    if (walk) g_PulseFeederWalk[f.drive - 1] += f.pulses;
    TraceEnd(code);
    return true;
}

namespace {
void setNozzleBox(std::uint8_t axis, std::int32_t depth, bool ticked) {
    TickPumpBoxes(StrokeNozzle(axis, depth, MachineType(), true), ticked);
}
}  // namespace

bool PickStroke(const PickStrokeArgs& p) {
    ShowField(PositionField::Z, p.depth);
    TraceStart(0x67);
    if (UseSerial()) setNozzleBox(p.axis, p.depth, true);
    // Down and up again, with the delay at the bottom.
    if (!Exchange(0x67, ReplyFamily::Pick, MoveBound({{std::int64_t{p.depth} * 2, p.speed.run}}, p.delay),
                  SerialPick(p), UdpPick(p)))
        return false;
    TraceEnd(0x67);
    return true;
}

bool PlaceStroke(PlaceStrokeArgs p) {
    g_VacuumCheckOk = true;
    p.w = p.w < 0 ? -p.w : p.w;
    ShowField(PositionField::Z, p.depth);
    const BasicSettings& basic = TheBasicSettings();
    if (basic.m_SuctionNozzleOffset) {
        const int values[8] = {basic.m_SuctionNozzleValue1, basic.m_SuctionNozzleValue2, basic.m_SuctionNozzleValue3,
                               basic.m_SuctionNozzleValue4, basic.m_SuctionNozzleValue5, basic.m_SuctionNozzleValue6,
                               basic.m_SuctionNozzleValue7, basic.m_SuctionNozzleValue8};
        if (const int n = StrokeNozzle(p.axis, p.depth, MachineType(), false)) p.threshold -= values[n - 1];
    }
    if (p.threshold < 0 || p.threshold > 100) p.threshold = 0;
    p.exhaust = static_cast<std::uint8_t>(basic.m_Exhaust);
    TraceStart(0x68);
    if (UseSerial()) setNozzleBox(p.axis, p.depth, false);
    if (!Exchange(0x68, ReplyFamily::Place, MoveBound({{std::int64_t{p.depth} * 2, p.speed.run}}, p.delay),
                  SerialPlace(p), UdpPlace(p)))
        return false;
    TraceEnd(0x68);
    return true;
}

}  // namespace smt
