#include "machine_ops/auto_transport.h"

#include <chrono>
#include <cmath>

#include "base/globals.h"
#include <memory>

#include "base/captions.h"
#include "base/numtext.h"
#include "link/busy.h"
#include "link/cmd_srv.h"
#include "link/commands.h"
#include "link/exchange.h"
#include "link/link_log.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/serial_frame.h"
#include "link/serial_link.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/section_keys.h"

namespace smt {

namespace {

constexpr const char* kSection = "AutoTransportConfig";
constexpr const char* kMissing = "获取配置失败";

using C = AutoTransportConfig;
// In file order.
constexpr SectionKey<C> kKeys[] = {
    {"m_ConveyorStartSpeed", nullptr, &C::m_ConveyorStartSpeed},
    {"m_ConveyorNormalSpeed", nullptr, &C::m_ConveyorNormalSpeed},
    {"m_StepValue", nullptr, &C::m_StepValue},
    {"m_ClampTime", nullptr, &C::m_ClampTime},
    {"m_WaitTimeOut", nullptr, &C::m_WaitTimeOut},
    {"m_AutoTransport_1_1", &C::m_AutoTransport_1_1, nullptr},
    {"m_AutoTransport_1_2", &C::m_AutoTransport_1_2, nullptr},
    {"m_AutoTransport_2_1", &C::m_AutoTransport_2_1, nullptr},
    {"m_AutoTransport_2_2", &C::m_AutoTransport_2_2, nullptr},
    {"m_AutoTransport_3_1", &C::m_AutoTransport_3_1, nullptr},
    {"m_AutoTransport_3_2", &C::m_AutoTransport_3_2, nullptr},
    {"m_AutoTransport", nullptr, &C::m_AutoTransport},
    {"m_ResetWidth", &C::m_ResetWidth, nullptr},
    {"m_SetWidth", &C::m_SetWidth, nullptr},
    {"m_MinRange", nullptr, &C::m_MinRange},
    {"m_MaxRange", nullptr, &C::m_MaxRange},
};

bool useSerial() { return TheBasicSettings().m_CommModel == 0; }

void output(int channel, int value) {
    if (channel == 0) return;  // the type has no such signal
    SetOutput({static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(value), 5});
}

bool pause(plat::Millis ms) { return plat::SleepFor(ms); }

std::mutex g_overrideMutex;
plat::Millis g_marginOverride{0};
plat::Millis g_defaultOverride{0};

}  // namespace

int ConveyorMachineType() {
    if (const auto& f = GetLinkHooks().machineType) return f();
    return g_MachineType.load();
}

// ---- settings --------------------------------------------------------------

void LoadAutoTransportConfig(AutoTransportConfig& c, const std::string& configPath) {
    for (const SectionKey<C>& k : kKeys) {
        const std::string v = plat::GetPrivateProfileString(kSection, k.key, kMissing, 512, configPath);
        // m_MinRange and m_MaxRange are stored as numbers and truncated.
        if (k.integer) c.*k.integer = static_cast<std::int32_t>(std::trunc(AtoF(v)));
        else c.*k.length = AtoF(v);
    }
    if (c.m_ConveyorStartSpeed < 1) c.m_ConveyorStartSpeed = 1;
    if (c.m_ConveyorNormalSpeed < 1) c.m_ConveyorNormalSpeed = 1;
    if (c.m_StepValue < 1) c.m_StepValue = 1;
}

bool SaveAutoTransportConfig(const AutoTransportConfig& c, const std::string& configPath) {
    return SaveSectionKeys<C>(c, kSection, kKeys, configPath);
}

DialogCaptions& TheAutoTransportCaptions() {
    static DialogCaptions captions(kSection, {
        {"AutoTransport.c_AutoTransportControl", "自动送板操作"},
        {"AutoTransport.c_AutoTransport", ">>>>>>>>>>>>>>>>整体送板测试>>>>>>>>>>>>>>>>"},
        {"AutoTransport.c_AsConveyor", "作为传输机使用"},
        {"AutoTransport.c_EnableAutoTransport", "启用自动进板"},
        {"AutoTransport.c_ClearWait", "清除进出板等待"},
        {"AutoTransport.c_AutoTransport_Walk", "--正在进行"},
        {"AutoTransport.c_AutoTransport_Finish", "--已经完成"},
        {"AutoTransport.c_StepTransport_1", "进板点动"},
        {"AutoTransport.c_AutoTransport_1", "进板测试"},
        {"AutoTransport.c_StepTransport_2", "送板点动"},
        {"AutoTransport.c_AutoTransport_2", "送板测试"},
        {"AutoTransport.c_StepTransport_3", "出板点动"},
        {"AutoTransport.c_AutoTransport_3", "出板测试"},
        {"AutoTransport.c_OutTransport", "走板"},
        {"AutoTransport.c_ImportSignal", "进板机信号"},
        {"AutoTransport.c_BlockTest", "挡板阀"},
        {"AutoTransport.c_ClampTest", "夹板阀"},
        {"AutoTransport.c_HoldTest", "顶板阀"},
        {"AutoTransport.c_ExportSignal", "出板机信号"},
        {"AutoTransport.c_ConveyorStartSpeed", "启动速度"},
        {"AutoTransport.c_ConveyorNormalSpeed", "运行速度"},
        {"AutoTransport.c_StepValue", "点动步长"},
        {"AutoTransport.c_ClampTime", "夹板时间"},
        {"AutoTransport.c_WaitTimeOut", "等待超时"},
        {"AutoTransport.c_ResetWidth", "复位宽度"},
        {"AutoTransport.c_SetWidth", "设定宽度"},
        {"AutoTransport.c_SetWidthRange", "宽度范围"},
        {"AutoTransport.c_Belt_1_1", "皮带1进板距离"},
        {"AutoTransport.c_Belt_1_2", "皮带1送板距离"},
        {"AutoTransport.c_Belt_2_1", "皮带2送板距离"},
        {"AutoTransport.c_Belt_2_2", "皮带2出板距离"},
        {"AutoTransport.c_Belt_3_1", "皮带3出板距离"},
        {"AutoTransport.c_Belt_3_2", "皮带3走板距离"},
        {"AutoTransport.c_SetWidthRangeTo", "至"},
        {"AutoTransport.c_ResetPcbTransport", "复位PCB送板"},
        {"AutoTransport.c_ArriveSetWidth", "到达设定宽度"},
        {"AutoTransport.c_IDOK", "确定"},
        {"AutoTransport.c_IDCANCEL", "取消"},
        {"AutoTransport.c_NoColse", "测试正在进行中，不可以关闭对话框"},
    });
    return captions;
}

// ---- field ranges ------------------------------------------------------------

std::optional<FieldRange> FirstOutOfRange(std::initializer_list<FieldRange> fields) {
    for (const FieldRange& f : fields)
        if (!(f.value >= f.low && f.value <= f.high)) return f;
    return std::nullopt;
}

std::string RangeMessage(const FieldRange& f) {
    if (f.integer)
        return InputIntegerBetweenText(static_cast<long long>(f.low), static_cast<long long>(f.high));
    return InputNumberBetweenText(f.low, f.high);
}

std::optional<FieldRange> CheckAutoTransportRanges(const AutoTransportConfig& c) {
    auto i = [](int control, std::int32_t v, double lo, double hi) { return FieldRange{control, double(v), lo, hi, true}; };
    auto d = [](int control, double v, double lo, double hi) { return FieldRange{control, v, lo, hi, false}; };
    return FirstOutOfRange({
        d(1005, c.m_AutoTransport_1_1, 0, 10000), d(1006, c.m_AutoTransport_1_2, 0, 10000),
        d(1007, c.m_AutoTransport_2_1, 0, 10000), d(1008, c.m_AutoTransport_2_2, 0, 10000),
        d(1009, c.m_AutoTransport_3_1, 0, 10000), d(1010, c.m_AutoTransport_3_2, 0, 10000),
        d(1011, c.m_ResetWidth, 0, 10000), d(1012, c.m_SetWidth, -1000, 1000),
        i(1013, c.m_ClampTime, 0, 10000), i(1014, c.m_StepValue, 1, 100000),
        i(1015, c.m_WaitTimeOut, 0, 10000), i(1018, c.m_ConveyorStartSpeed, 1, 255),
        i(1019, c.m_ConveyorNormalSpeed, 1, 255),
    });
}

// ---- outputs, belts, width ---------------------------------------------------

ConveyorOutputs ConveyorOutputsOf(int type) {
    if (type == 7) return {0x30, 0x31, 0x32, 0x33, 0x34};
    return {5, 0, 9, 0, 6};
}

std::uint8_t WidthAxisOf(int type) { return type == 7 ? 0x30 : 14; }

ConveyorRun ZoneRun(int zone, const AutoTransportConfig& c, const PulseFactors& f) {
    ConveyorRun r;
    r.zone = static_cast<std::uint8_t>(zone);
    r.start = c.m_ConveyorStartSpeed;
    r.run = c.m_ConveyorNormalSpeed;
    r.waitTimeOut = static_cast<std::uint16_t>(c.m_WaitTimeOut);
    switch (zone) {
    case 1:
        r.flag1 = 1;
        r.belt1 = ToPulses(c.m_AutoTransport_1_1, f.m_WestLift_Pulse);
        break;
    case 2:
        r.flag2 = 1;
        r.belt1 = ToPulses(c.m_AutoTransport_1_2, f.m_WestLift_Pulse);
        r.belt2 = ToPulses(c.m_AutoTransport_2_1, f.m_NorthLift_Pulse);
        break;
    case 3:
        r.flag3 = 1;
        r.belt2 = ToPulses(c.m_AutoTransport_2_2, f.m_NorthLift_Pulse);
        r.belt3 = ToPulses(c.m_AutoTransport_3_1, f.m_EastLift_Pulse);
        break;
    case 4: r.belt3 = ToPulses(c.m_AutoTransport_3_2, f.m_EastLift_Pulse); break;
    default: break;
    }
    return r;
}

std::optional<BeltPulses> BeltValuesOfButton(int control, const AutoTransportConfig& c, const PulseFactors& f) {
    const std::int32_t s = c.m_StepValue;
    int zone = 0;
    switch (control) {
    case at::BoardInJog: return BeltPulses{s, 0, 0};
    case at::TransportJog: return BeltPulses{s, s, 0};
    case at::BoardOutJog: return BeltPulses{0, s, s};
    case at::BoardInTest: zone = 1; break;
    case at::TransportTest: zone = 2; break;
    case at::BoardOutTest: zone = 3; break;
    case at::FinalRunOut: zone = 4; break;
    default: return std::nullopt;
    }
    // A test button carries the configured distances of its zone.
    const ConveyorRun r = ZoneRun(zone, c, f);
    return BeltPulses{r.belt1, r.belt2, r.belt3};
}

int OperationOfButton(int control) {
    switch (control) {
    case at::WholeTest: return 1;
    case at::BoardInJog: return 2;
    case at::BoardInTest: return 3;
    case at::TransportJog: return 4;
    case at::TransportTest: return 5;
    case at::BoardOutJog: return 6;
    case at::BoardOutTest: return 7;
    case at::FinalRunOut: return 8;
    case at::BoardInSignal: return 9;
    case at::StopValve: return 10;
    case at::ClampValve: return 11;
    case at::LiftValve: return 12;
    case at::BoardOutSignal: return 13;
    default: return -1;
    }
}

std::int32_t WidthPulses(double width, const AutoTransportConfig& c, const PulseFactors& f) {
    return ToPulses(width - c.m_ResetWidth, f.m_AutoWalk2_Pulse);
}

bool WidthInRange(double width, const AutoTransportConfig& c) {
    return c.m_MinRange < c.m_MaxRange && width >= c.m_MinRange && width <= c.m_MaxRange;
}

std::optional<double> SteppedWidth(int direction, std::int32_t sSteps, const AutoTransportConfig& c,
                                   const PulseFactors& f) {
    if (f.m_AutoWalk2_Pulse == 0 || !std::isfinite(f.m_AutoWalk2_Pulse)) return std::nullopt;
    const double width = c.m_SetWidth + direction * (sSteps / f.m_AutoWalk2_Pulse);
    if (!WidthInRange(width, c)) return std::nullopt;
    return width;
}

// ---- the wait for the board ----------------------------------------------------

void SetConveyorWaitOverride(plat::Millis margin, plat::Millis fallback) {
    std::lock_guard lock(g_overrideMutex);
    g_marginOverride = margin;
    g_defaultOverride = fallback;
}

plat::Millis ConveyorWaitLimit(std::int32_t waitTimeOutMs) {
    std::lock_guard lock(g_overrideMutex);
    const plat::Millis margin = g_marginOverride.count() > 0 ? g_marginOverride : kConveyorWaitMargin;
    const plat::Millis fallback = g_defaultOverride.count() > 0 ? g_defaultOverride : kConveyorWaitDefault;
    if (waitTimeOutMs <= 0) return fallback;
    return plat::Millis(waitTimeOutMs) + margin;
}

std::string BoardTimeOutText(int zone) {
    const std::string z = std::to_string(zone);
    return "进出板等待超时 : 区域 " + z + "\nNo board arrived in time : zone " + z + " !";
}

bool SendConveyorRun(const ConveyorRun& run, plat::Millis limit) {
    const std::string zone = std::to_string(run.zone);
    AppendCommTrace("62->Start", true);
    AppendCommTrace("Zone " + zone + " run -> ", true);
    if (LinkLost()) return RefuseOnLostLink(CommandCaption(0x62));
    const bool serial = useSerial();
    const Transport t = serial ? Transport::Serial : Transport::Ethernet;
    // The operator's stop ends this wait as it ends every command's.
    const unsigned generation = WaitStopGeneration();
    // One 0x62 in flight: the turn is held from arming to the reply or its end. A
    // turn that does not come within the bound ends as a reply that did not.
    ReplyTurn turn(ReplyFamily::Conveyor);
    plat::WaitResult r = turn.Wait(limit, StopFlagOf(t));
    bool graceOver = false;
    if (r == plat::WaitResult::Signalled) {
        ArmReply(ReplyFamily::Conveyor);
        const auto began = std::chrono::steady_clock::now();
        const bool sent = serial ? GetSerialLink().SendFrame(BuildSerialFrame(0x62, SerialConveyor(run)))
                                 : GetMachineLink().SendCommand(0x62, UdpConveyor(run)) == 0;
        if (!sent) {
            turn.Release();
            // The link is down: the same report as every other command's.
            const bool told = DeclareLinkLost();
            g_Connected.store(false);
            LinkLog("Send failed = %s", CommandCaption(0x62).c_str());
            if (!told && !plat::WaitsCancelled())
                plat::MessageBoxOk(SendFailedText(CommandCaption(0x62)), true, plat::MsgIcon::Error);
            return false;
        }
        r = WaitReplyEvent(g_ReplyEvents[ReplyFamily::Conveyor], limit, StopFlagOf(t), began, &graceOver);
        turn.Release();
    }
    if ((graceOver || WaitStopGeneration() != generation) && !plat::WaitsCancelled()) {
        // Stopped by the operator before the belts answered: where the board is, is unknown.
        DeclareLinkLost();
        g_Connected.store(false);
        AppendCommTrace("62-" + zone + " stopped", true);
        return false;
    }
    switch (r) {
    case plat::WaitResult::Signalled:
        AppendCommTrace("62-" + zone + " end ", true);
        return true;
    case plat::WaitResult::TimedOut:
        // A board that does not come is no dead link: the connection stays.
        AppendCommTrace("62-" + zone + " timeout", true);
        LinkLog("Conveyor zone %s timed out", zone.c_str());
        plat::MessageBoxOk(BoardTimeOutText(run.zone), true, plat::MsgIcon::Warning);
        return false;
    case plat::WaitResult::Cancelled: break;
    }
    if (!plat::WaitsCancelled()) {
        DeclareLinkLost();
        g_Connected.store(false);
        AppendCommTrace("62-" + zone + " no answer, link closed", true);
    }
    return false;
}

// ---- the conveyor ----------------------------------------------------------------

AutoTransport& TheAutoTransport() {
    static AutoTransport transport;
    return transport;
}

AutoTransportConfig AutoTransport::Config() const {
    std::lock_guard lock(m_mutex);
    return m_config;
}

void AutoTransport::SetConfig(const AutoTransportConfig& config) {
    std::lock_guard lock(m_mutex);
    m_config = config;
}

void AutoTransport::LoadConfig(const std::string& configPath) {
    AutoTransportConfig c = Config();
    LoadAutoTransportConfig(c, configPath);
    SetConfig(c);
}

bool AutoTransport::SaveConfig(const std::string& configPath) const {
    return SaveAutoTransportConfig(Config(), configPath);
}

void AutoTransport::ShowStep(int step) {
    if (m_port.showStep) m_port.showStep(step);
}

void AutoTransport::SetCheck(int control, bool checked) {
    if (m_port.setCheck) m_port.setCheck(control, checked);
}

bool AutoTransport::StartOperation(TransportOp op) {
    BusyClaim claim = ClaimMachineAction(false);
    if (!claim) return false;
    m_TransportOp = static_cast<int>(op);
    plat::StartWorker("AutoTransportThread", [this, op, held = std::make_shared<BusyClaim>(std::move(claim))] {
        RunOperation(op);
        held->Release();
        if (m_port.operationEnded) m_port.operationEnded();
    });
    return true;
}

bool AutoTransport::StartClampButton() {
    if (g_Running.load()) {
        plat::MessageBoxOk("Machine is runnig !", true, plat::MsgIcon::Warning);
        return false;
    }
    if (Config().m_AutoTransport == 0) return false;
    return StartOperation(m_ClampState.load() == 1 ? TransportOp::ReleaseAndCarryOut : TransportOp::ClampValve);
}

void AutoTransport::InitWidthCounterOnce() {
    if (m_widthInitDone.exchange(true)) return;
    const AutoTransportConfig c = Config();
    g_PulseFeederWalk[3] = WidthPulses(c.m_SetWidth, c, ThePulseFactors());
}

// Releases the clamp: clamp valve off (type 7: then the stop valve off when
// asked), the clamp state cleared with `withState`.
void AutoTransport::Release(bool withState, bool stopValveOff) {
    const ConveyorOutputs o = ConveyorOutputsOf(ConveyorMachineType());
    output(o.clampValve, 0);
    if (stopValveOff) output(o.stopValve, 0);
    if (withState) m_ClampState = 0;
    SetCheck(at::ClampValve, false);
}

bool AutoTransport::Belts(std::uint8_t zone, std::uint8_t f1, std::uint8_t f2, std::uint8_t f3) {
    const AutoTransportConfig c = Config();
    // The zone's speeds and wait, with the flags and belt values of this operation.
    ConveyorRun r = ZoneRun(zone, c, ThePulseFactors());
    r.flag1 = f1;
    r.flag2 = f2;
    r.flag3 = f3;
    r.belt1 = m_BeltPulse_1;
    r.belt2 = m_BeltPulse_2;
    r.belt3 = m_BeltPulse_3;
    return SendConveyorRun(r, ConveyorWaitLimit(c.m_WaitTimeOut));
}

// Zones 1..4 with the step display; zone 2 and zone 3 with or without outputs.
bool AutoTransport::ZoneSequence(bool zone2Outputs, bool zone3Outputs) {
    ShowStep(0);
    if (!RunConveyorStep(*this, 1, false)) return false;
    ShowStep(1);
    pause(plat::Millis(200));
    ShowStep(2);
    if (!RunConveyorStep(*this, 2, !zone2Outputs)) return false;
    ShowStep(3);
    pause(plat::Millis(200));
    ShowStep(4);
    if (!RunConveyorStep(*this, 3, !zone3Outputs)) return false;
    ShowStep(5);
    pause(plat::Millis(200));
    ShowStep(4);
    if (!RunConveyorStep(*this, 4, false)) return false;
    ShowStep(5);
    return true;
}

bool AutoTransport::RunOperation(TransportOp op) {
    const int type = ConveyorMachineType();
    const ConveyorOutputs o = ConveyorOutputsOf(type);
    const plat::Millis clampTime(Config().m_ClampTime);
    switch (op) {
    case TransportOp::AsConveyor: {
        // The serial boards have no such mode.
        if (useSerial()) return true;
        const std::int32_t as = m_AsConveyor;
        SetSpeedGear(14, static_cast<std::uint8_t>(as));
        bool ok = true;
        if (as == 1) ok = ZoneSequence(false, false);
        SetCheck(at::AsConveyor, as == 1);
        return ok;
    }
    case TransportOp::WholeTest: return ZoneSequence(true, true);
    case TransportOp::BoardInJog:
    case TransportOp::BoardInTest: {
        ShowStep(0);
        if (!Belts(1, op == TransportOp::BoardInTest ? 1 : 0, 0, 0)) return false;
        ShowStep(1);
        return true;
    }
    case TransportOp::TransportJog:
    case TransportOp::TransportTest: {
        const bool test = op == TransportOp::TransportTest;
        Release(true, false);
        if (test && type == 7) output(o.stopValve, 1);
        pause(clampTime);
        ShowStep(2);
        if (!Belts(2, 0, test ? 1 : 0, 0)) return false;
        ShowStep(3);
        return true;
    }
    case TransportOp::BoardOutJog:
    case TransportOp::BoardOutTest: {
        Release(false, type == 7);
        pause(clampTime);
        m_ClampState = 0;
        ShowStep(4);
        if (!Belts(3, 0, 0, op == TransportOp::BoardOutTest ? 1 : 0)) return false;
        ShowStep(5);
        return true;
    }
    case TransportOp::FinalRunOut:
        ShowStep(4);
        if (!Belts(4, 0, 0, 0)) return false;
        ShowStep(5);
        return true;
    case TransportOp::BoardInSignal:
    case TransportOp::BoardOutSignal: {
        const bool in = op == TransportOp::BoardInSignal;
        output(in ? o.boardIn : o.boardOut, 1);
        pause(plat::Millis(200));
        output(in ? o.boardIn : o.boardOut, 0);
        SetCheck(in ? at::BoardInSignal : at::BoardOutSignal, false);
        return true;
    }
    case TransportOp::StopValve:
    case TransportOp::LiftValve:
        if (type != 7) return true;
        output(op == TransportOp::StopValve ? o.stopValve : o.liftValve, m_ValveBoxWasSet ? 0 : 1);
        return true;
    case TransportOp::ClampValve: {
        const bool clamp = m_ClampState.load() == 0;
        m_ClampState = clamp ? 1 : 0;
        output(o.clampValve, clamp ? 1 : 0);
        SetCheck(at::ClampValve, clamp);
        return true;
    }
    case TransportOp::Nothing: return true;
    case TransportOp::Width: {
        const AutoTransportConfig c = Config();
        const std::int32_t n = WidthPulses(c.m_SetWidth, c, ThePulseFactors());
        SingleAxisMove m;
        m.axis = WidthAxisOf(type);
        m.delta = n - g_PulseFeederWalk[3];
        m.speed = {c.m_ConveyorStartSpeed, c.m_ConveyorNormalSpeed};
        return MoveSingleAxis(m);
    }
    case TransportOp::ReleaseAndCarryOut: return RunConveyorStep(*this, 3, false);
    }
    return true;
}

bool RunConveyorStep(AutoTransport& t, int zone, bool noOutputs) {
    const AutoTransportConfig c = t.Config();
    const int type = ConveyorMachineType();
    const ConveyorOutputs o = ConveyorOutputsOf(type);
    const plat::Millis clampTime(c.m_ClampTime);
    if (!noOutputs) {
        if (zone == 2) {
            if (type == 7) output(o.stopValve, 1);
            else output(o.clampValve, 0);
        } else if (zone == 3) {
            output(o.clampValve, 0);
            if (type == 7) output(o.stopValve, 0);
            pause(clampTime);
            t.m_ClampState = 0;
            if (t.Port().setCheck) t.Port().setCheck(at::ClampValve, false);
        }
    }
    if (!SendConveyorRun(ZoneRun(zone, c, ThePulseFactors()), ConveyorWaitLimit(c.m_WaitTimeOut))) return false;
    if (!noOutputs && zone == 2) {
        output(o.clampValve, 1);
        if (type == 7) output(o.stopValve, 0);
        pause(clampTime);
        t.m_ClampState = 1;
        if (t.Port().setCheck) t.Port().setCheck(at::ClampValve, true);
    }
    return true;
}

}  // namespace smt
