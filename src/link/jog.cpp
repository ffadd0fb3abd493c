#include "link/jog.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/numtext.h"
#include "link/busy.h"
#include "link/command_common.h"
#include "link/commands.h"
#include "link/link_log.h"
#include "link/link_state.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_tables.h"

namespace smt {

namespace {
constexpr const char* kNotConnected = "Machine is not connection !";
constexpr const char* kRunning = "Machine is runnig !";
// Between two steps of a jog, and the poll of the lift worker.
constexpr plat::Millis kStepPause{100};
constexpr plat::Millis kLiftPoll{10};
// The speed gear advances at most once within this (the panel's tick).
constexpr std::chrono::milliseconds kGearTick{300};

void ShowTopmost(const std::string& text) { plat::MessageBoxOk(text, true, plat::MsgIcon::Warning); }

template <class F, class... A>
void call(const F& f, A&&... a) {
    if (f) f(std::forward<A>(a)...);
}

// Signed integer quotient, truncating (the step is never 0 here).
std::int32_t Div(std::int64_t a, std::int32_t b) {
    const std::int64_t q = a / b;
    if (q > INT32_MAX) return INT32_MAX;
    if (q < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(q);
}

// Steps that fit back to 0 (`towardZero`), else out to `limit`.
std::int32_t StepsWithin(std::int32_t counter, std::int32_t step, bool towardZero, std::int32_t limit) {
    return towardZero ? -Div(counter, step) : Div(static_cast<std::int64_t>(limit) - counter, step);
}
}  // namespace

bool SecondTableSelected(int machineType, int headGroup) { return machineType == 4 && headGroup == 2; }

JogPlan PlanJog(int type, int axis, int headGroup) {
    auto plan = [](JogGroup g, int sign, int drive) { return JogPlan{true, g, sign, drive}; };
    if (type == 7) {
        if (axis == 0) return plan(JogGroup::XY, 1, 0);
        if (axis == 1) return plan(JogGroup::XY, 1, 1);
        if (axis >= 32 && axis <= 39) return plan(JogGroup::Z, -1, 2);
        if (axis >= 40 && axis <= 47) return plan(JogGroup::A, 1, 4);
        return {};
    }
    if (type == 8 || type < 0 || type > 9) return {};
    const bool second = SecondTableSelected(type, headGroup);
    switch (axis) {
    case 0: return plan(JogGroup::XY, 1, 0);
    case 1: return plan(JogGroup::XY, 1, 1);
    case 2: return plan(JogGroup::Z, -1, 2);
    case 3: return plan(JogGroup::Z, -1, 3);
    case 4: case 5: case 6: case 7: return plan(JogGroup::A, 1, 4);
    case 8: return plan(JogGroup::Feed, 1, 8);
    case 9: return second ? plan(JogGroup::XY, 1, 0) : plan(JogGroup::Feed, 1, 10);
    case 10: return plan(JogGroup::Feed, 1, 12);
    case 11: return plan(JogGroup::Feed, 1, 9);
    case 12: return second ? plan(JogGroup::XY, 1, 1) : plan(JogGroup::Feed, 1, 11);
    case 13: return plan(JogGroup::Feed, 1, 13);
    case 14: return plan(JogGroup::S, 1, 14);
    default: return {};
    }
}

JogLimitPulses CurrentJogLimits() {
    const BasicSettings& b = TheBasicSettings();
    const PulseFactors& f = ThePulseFactors();
    JogLimitPulses l;
    l.x = ToPulses(b.m_X_Limit, f.m_X_Pulse);
    l.y = ToPulses(b.m_Y_Limit, f.m_Y_Pulse);
    l.z = ToPulses(b.m_Z_Limit, f.m_Z_Pulse);
    l.westWalk = ToPulses(b.m_WestFeed_Limit, f.m_WestWalk_Pulse);
    l.northWalk = ToPulses(b.m_NorthFeed_Limit, f.m_NorthWalk_Pulse);
    l.eastWalk = ToPulses(b.m_EastFeed_Limit, f.m_EastWalk_Pulse);
    return l;
}

std::int32_t JogStepCount(int type, int axis, std::int32_t step, int headGroup, int liftFlag,
                          const PositionSnapshot& p, const JogLimitPulses& l) {
    if (step == 0) return 0;
    const bool second = SecondTableSelected(type, headGroup);
    const auto xCount = [&](std::int32_t counter) { return StepsWithin(counter, step, step < 0, l.x); };
    const auto yCount = [&](std::int32_t counter) { return StepsWithin(counter, step, step > 0, l.y); };
    const auto lift = [&] { return liftFlag != 0 ? 1 : 1000; };
    const auto rocker = [&](std::int32_t first, std::int32_t secondNozzle) {
        const std::int64_t z = step < 0 ? secondNozzle : first;
        return static_cast<std::int32_t>(std::llabs(Div(static_cast<std::int64_t>(l.z) - z, step)));
    };
    if (type == 7 && axis >= 32 && axis <= 39) return StepsWithin(p.z[axis - 32], step, step >= 0, l.z);
    switch (axis) {
    case 0: return xCount(p.x);
    case 1: return yCount(p.y);
    case 2: return rocker(p.z[0], p.z[1]);
    case 3: return rocker(p.z[2], p.z[3]);
    case 8: return StepsWithin(p.walk[0], step, step > 0, l.westWalk);
    case 9: return second ? xCount(p.x2) : StepsWithin(p.walk[1], step, step < 0, l.northWalk);
    case 10:
        if (type == 4 || type == 6) return step >= 0 ? -Div(p.z[4], step) : Div(static_cast<std::int64_t>(l.z) - p.z[5], step);
        return StepsWithin(p.walk[2], step, step > 0, l.eastWalk);
    case 11: case 13: return lift();
    case 12: return second ? yCount(p.y2) : lift();
    default: return type == 9 ? 1 : 1000;
    }
}

std::optional<JogButton> JogForButton(int id, int type, int headGroup) {
    const bool second = SecondTableSelected(type, headGroup);
    if (id == mc::XPlus) return JogButton{second ? 9 : 0, 1};
    if (id == mc::XMinus) return JogButton{second ? 9 : 0, 0};
    if (id == mc::YPlus) return JogButton{second ? 12 : 1, 1};
    if (id == mc::YMinus) return JogButton{second ? 12 : 1, 0};
    if (id == mc::SPlus) return JogButton{14, 1};
    if (id == mc::SMinus) return JogButton{14, 0};
    for (int n = 1; n <= 8; ++n) {
        const bool zPlus = id == mc::ZPlus[n - 1], zMinus = id == mc::ZMinus[n - 1];
        const bool aPlus = id == mc::APlus[n - 1], aMinus = id == mc::AMinus[n - 1];
        if (zPlus || zMinus) {
            if (type == 7) return JogButton{31 + n, zPlus ? 1 : 0};
            if (n > 6) return std::nullopt;
            // The two nozzles of a rocker share its axis: the second nozzle's plus
            // moves the axis like the first nozzle's minus.
            static constexpr int kRocker[6] = {2, 2, 3, 3, 10, 10};
            const bool firstOfPair = n % 2 == 1;
            return JogButton{kRocker[n - 1], (zPlus == firstOfPair) ? 1 : 0};
        }
        if (aPlus || aMinus) {
            if (type == 7) return JogButton{39 + n, aPlus ? 1 : 0};
            if (n > 4) return std::nullopt;
            return JogButton{3 + n, aPlus ? 1 : 0};
        }
    }
    return std::nullopt;
}

std::optional<FeederClusterStep> FeederClusterFor(int id, int bank) {
    auto walk = [](int output, int axis, int dir) { return FeederClusterStep{output, axis, dir, false, false, 0}; };
    auto lift = [](int axis, int dir, bool open, int flag = 0) { return FeederClusterStep{0, axis, dir, true, open, flag}; };
    switch (bank) {
    case 2:  // west
        if (id == mc::FeedXPlus) return lift(11, 0, true);
        if (id == mc::FeedXMinus) return lift(11, 1, false);
        if (id == mc::FeedYPlus) return walk(5, 8, 1);
        if (id == mc::FeedYMinus) return walk(5, 8, 0);
        if (id == mc::FeedBank) return lift(11, 0, true, 0x101);
        break;
    case 3:  // north
        if (id == mc::FeedXPlus) return walk(6, 9, 1);
        if (id == mc::FeedXMinus) return walk(6, 9, 0);
        if (id == mc::FeedYPlus) return lift(12, 1, false);
        if (id == mc::FeedYMinus) return lift(12, 0, true);
        if (id == mc::FeedBank) return lift(12, 0, true, 0x101);
        break;
    case 0:  // east
        if (id == mc::FeedXPlus) return lift(13, 1, false);
        if (id == mc::FeedXMinus) return lift(13, 0, true);
        if (id == mc::FeedYPlus) return walk(7, 10, 1);
        if (id == mc::FeedYMinus) return walk(7, 10, 0);
        if (id == mc::FeedBank) return lift(13, 0, true, 0x101);
        break;
    default: break;  // south: nothing
    }
    return std::nullopt;
}

std::optional<BankLift> LiftOfBank(int bank) {
    const PulseFactors& f = ThePulseFactors();
    switch (bank) {
    case 0: return BankLift{13, 7, f.m_EastLift_Pulse};
    case 2: return BankLift{11, 5, f.m_WestLift_Pulse};
    case 3: return BankLift{12, 6, f.m_NorthLift_Pulse};
    default: return std::nullopt;
    }
}

std::vector<OutputSwitch> PumpOutputs(int pump, bool on, int type, int runSelect, int exhaust) {
    const auto value = static_cast<std::uint8_t>(on ? 1 : 0);
    const bool dispensing = runSelect == 1 || runSelect == 2;
    if (pump < 1 || pump > 8) return {};
    if (type == 7) {
        const int channel = pump == 8 && dispensing ? 0x2F : 0x20 + pump - 1;
        return {{static_cast<std::uint8_t>(channel), value, static_cast<std::uint16_t>(exhaust)}};
    }
    if (pump > 6) return {};
    std::vector<OutputSwitch> out;
    // The dispenser's valve follows pumps 2 and 4 in the dispensing runs.
    if ((pump == 2 || pump == 4) && dispensing) out.push_back({8, value, 5});
    out.push_back({static_cast<std::uint8_t>(pump), value, 5});
    return out;
}

std::int32_t& StepOfGroup(ManualControlConfig& c, JogGroup group) {
    switch (group) {
    case JogGroup::XY: return c.m_XY_RunSteps;
    case JogGroup::Z: return c.m_Z_RunSteps;
    case JogGroup::A: return c.m_A_RunSteps;
    case JogGroup::Feed: return c.m_Feed_RunSteps;
    case JogGroup::S: break;
    }
    return c.m_S_RunSteps;
}

void ApplyGearSteps(ManualControlConfig& c, int gear, const SpeedTemplateSettings& speeds) {
    for (int g = 0; g < kJogGroupCount; ++g)
        StepOfGroup(c, static_cast<JogGroup>(g)) = JogStep(speeds, gear, static_cast<JogGroup>(g));
}

const std::vector<SpeedMenuItem>& SpeedMenuItems() {
    static const std::vector<SpeedMenuItem> items = {
        {32954, "c_ID_XY_RunFast", JogGroup::XY, 0},     {32955, "c_ID_XY_RunMedium", JogGroup::XY, 1},
        {32956, "c_ID_XY_RunSlow", JogGroup::XY, 2},     {32957, "c_ID_XY_RunFine", JogGroup::XY, 3},
        {32967, "c_ID_Z_RunFast", JogGroup::Z, 0},       {32964, "c_ID_Z_RunMedium", JogGroup::Z, 1},
        {32963, "c_ID_Z_RunSlow", JogGroup::Z, 2},       {32958, "c_ID_Z_RunFine", JogGroup::Z, 3},
        {32968, "c_ID_A_RunFast", JogGroup::A, 0},       {32965, "c_ID_A_RunMedium", JogGroup::A, 1},
        {32962, "c_ID_A_RunSlow", JogGroup::A, 2},       {32959, "c_ID_A_RunFine", JogGroup::A, 3},
        {32969, "c_ID_Feed_RunFast", JogGroup::Feed, 0}, {32966, "c_ID_Feed_RunMedium", JogGroup::Feed, 1},
        {32961, "c_ID_Feed_RunSlow", JogGroup::Feed, 2}, {32960, "c_ID_Feed_RunFine", JogGroup::Feed, 3},
        {33111, "c_ID_S_RunFast", JogGroup::S, 0},       {33112, "c_ID_S_RunMedium", JogGroup::S, 1},
        {33113, "c_ID_S_RunSlow", JogGroup::S, 2},       {33114, "c_ID_S_RunFine", JogGroup::S, 3},
    };
    return items;
}

bool ApplySpeedMenuItem(ManualControlConfig& c, int id, const SpeedTemplateSettings& speeds) {
    for (const SpeedMenuItem& item : SpeedMenuItems()) {
        if (item.id != id) continue;
        StepOfGroup(c, item.group) = JogStep(speeds, item.gear, item.group);
        if (item.group == JogGroup::XY) c.m_SpeedGears = item.gear;
        return true;
    }
    return false;
}

std::optional<double> MarkAxisOffset(double cameraToNozzle1, double pcbOrigin, std::int32_t counter,
                                     double factor, double nominal) {
    const std::int64_t pulses = static_cast<std::int64_t>(ToPulses(cameraToNozzle1, factor)) -
                                ToPulses(pcbOrigin, factor) + counter;
    const double position = factor != 0 ? static_cast<double>(pulses) / factor : 0.0;
    const double offset = position - nominal;
    if (!(offset >= -3.0 && offset <= 3.0)) return std::nullopt;
    return AtoF(FormatMm(offset));
}

// ---- ManualJog ----------------------------------------------------------------

ManualJog::ManualJog() : m_clock([] { return std::chrono::steady_clock::now(); }) {}

void ManualJog::BindConfig(ManualControlConfig* config) {
    std::lock_guard lock(m_mutex);
    m_config = config ? config : &m_own;
}

ManualControlConfig ManualJog::Config() const {
    std::lock_guard lock(m_mutex);
    return *m_config;
}

void ManualJog::SetConfig(const ManualControlConfig& config) {
    std::lock_guard lock(m_mutex);
    *m_config = config;
}

ManualJog::JogState ManualJog::LastJog() const {
    std::lock_guard lock(m_mutex);
    return m_jog;
}

int ManualJog::MachineType() const { return m_machineType ? m_machineType() : cmd::MachineType(); }

void ManualJog::ShowStepText(const ManualControlConfig& c) { call(m_port.showStepText, JogStepText(c)); }

void ManualJog::RewriteStepText() { ShowStepText(Config()); }

void ManualJog::JogAxis(int axis, int direction, int hold, std::int32_t pulses, bool countUsed) {
    if (!g_Connected.load()) return ShowTopmost(kNotConnected);
    if (g_Running.load()) return ShowTopmost(kRunning);
    const int type = MachineType();
    const int group = HeadGroup();
    const JogPlan plan = PlanJog(type, axis, group);
    const SpeedTemplateSettings speeds = TheSpeedTemplates().Settings();

    JogState jog;
    bool slowed = false;
    {
        std::lock_guard lock(m_mutex);
        jog = m_jog;  // an unknown axis keeps the previous step and speeds
        jog.axis = axis;
        jog.hold = hold;
        if (plan.known) {
            std::int64_t base = countUsed ? std::llabs(static_cast<std::int64_t>(pulses))
                                          : StepOfGroup(*m_config, plan.group);
            // A nozzle may be down: X and Y jog in slow steps at most.
            const bool interlock = type != 7 && (axis == 0 || axis == 1);
            if (interlock) {
                bool down = false;
                for (const auto& z : g_PulseZ) down = down || z.load() != 0;
                const std::int32_t xy = m_config->m_XY_RunSteps;
                if (down && xy != speeds.m_XY_RunSlow && xy != speeds.m_XY_RunFine) {
                    slowed = true;
                    if (!countUsed) base = speeds.m_XY_RunSlow;
                }
            }
            base = std::min<std::int64_t>(base, INT32_MAX);
            const int sign = (direction == 1 ? 1 : -1) * plan.sign;
            jog.step = static_cast<std::int32_t>(sign * base);
            const SpeedPair pair = TheSpeedTemplates().Pair(SpeedType::Handle, plan.speedDrive);
            jog.speed = {pair.start, pair.run};
        }
    }
    // A zero step would divide by zero in the count and move nothing.
    if (jog.step == 0) return;
    auto claim = std::make_shared<BusyClaim>(ClaimMachineAction(false));
    if (!*claim) return;
    {
        std::lock_guard lock(m_mutex);
        if (slowed) m_config->m_XY_RunSteps = speeds.m_XY_RunSlow;
        jog.liftFlag = m_jog.liftFlag;
        m_jog = jog;
    }
    if (slowed) RewriteStepText();
    m_stop = false;
    plat::StartWorker("jog", [this, jog, claim] {
        JogThread(jog);
        claim->Release();
    });
}

void ManualJog::JogThread(JogState jog) {
    std::int32_t count = JogStepCount(MachineType(), jog.axis, jog.step, HeadGroup(), jog.liftFlag,
                                      TakePositionSnapshot(), CurrentJogLimits());
    if (jog.hold == 0 && count >= 2) count = 1;
    SingleAxisMove move;
    move.axis = static_cast<std::uint8_t>(jog.axis);
    move.delta = jog.step;
    move.speed = jog.speed;
    while (count >= 1) {
        if (!plat::SleepFor(kStepPause)) break;  // shutdown
        const bool moved = MoveSingleAxis(move);
        --count;
        if (m_stop.load()) break;
        // A dead link answers no further step.
        if (!moved && (!g_Connected.load() || plat::WaitsCancelled())) break;
    }
}

int ManualJog::NextSpeedGear() {
    int gear;
    bool advanced = false;
    {
        std::lock_guard lock(m_mutex);
        const auto now = m_clock();
        if (!m_ticked || now - m_lastTick >= kGearTick) {
            m_ticked = true;
            m_lastTick = now;
            m_config->m_SpeedGears = (m_config->m_SpeedGears + 1) % kSpeedGearCount;
            if (m_config->m_SpeedGears < 0) m_config->m_SpeedGears = 0;
            ApplyGearSteps(*m_config, m_config->m_SpeedGears, TheSpeedTemplates().Settings());
            advanced = true;
        }
        gear = m_config->m_SpeedGears;
    }
    if (advanced) RewriteStepText();
    if (g_Connected.load()) SetSpeedGear(static_cast<std::uint8_t>(gear));
    else ShowTopmost(kNotConnected);
    return gear;
}

void ManualJog::JogFeederCluster(const FeederClusterStep& s) {
    if (s.outputOff != 0) SetOutput({static_cast<std::uint8_t>(s.outputOff), 0, 5});
    if (!s.lift) return JogAxis(s.axis, s.direction, 1, 0, false);
    const int bank = Config().m_Feed_Direction;
    const auto lift = LiftOfBank(bank);
    const int length = s.openLength ? (m_port.openLength ? m_port.openLength() : 0)
                                    : (m_port.closeLength ? m_port.closeLength() : 0);
    {
        std::lock_guard lock(m_mutex);
        m_jog.liftFlag = s.liftFlag;
    }
    JogAxis(s.axis, s.direction, 0, ToPulses(length, lift ? lift->pulsesPerMm : 0), true);
}

bool ManualJog::OnButton(int id, bool pressed) {
    for (int n = 1; n <= 8; ++n)
        if (id == mc::Pumps[n - 1]) {
            OnPumpBox(n, pressed);
            return true;
        }
    if (!pressed) {
        Stop();
        if (id == mc::FeedBank) plat::StartWorker("feeder lift", [this] { FeederLiftThread(); });
        return true;
    }
    if (id == mc::HeadGroup) {
        OnHeadGroupButton();
        return true;
    }
    const int type = MachineType();
    if (const auto b = JogForButton(id, type, HeadGroup())) {
        if (type == 9 && (id == mc::APlus[0] || id == mc::AMinus[0])) {
            // The drilling machine's A1 toggles: each button hands over to the other.
            const bool plus = id == mc::APlus[0];
            call(m_port.enableControl, mc::APlus[0], !plus);
            call(m_port.enableControl, mc::AMinus[0], plus);
        }
        JogAxis(b->axis, b->direction, 1, 0, false);
        return true;
    }
    if (const auto s = FeederClusterFor(id, Config().m_Feed_Direction)) {
        JogFeederCluster(*s);
        return true;
    }
    return false;
}

bool ManualJog::OnKeyDown(Key key, bool ctrl, bool shift) {
    if (!ctrl) return false;
    if (shift) {
        NextSpeedGear();
        return true;
    }
    const bool second = SecondTableSelected(MachineType(), HeadGroup());
    const int x = second ? 9 : 0, y = second ? 12 : 1;
    switch (key) {
    case Key::Left: JogAxis(x, 0, 1, 0, false); return true;
    case Key::Right: JogAxis(x, 1, 1, 0, false); return true;
    case Key::Up: JogAxis(y, 1, 1, 0, false); return true;
    case Key::Down: JogAxis(y, 0, 1, 0, false); return true;
    case Key::Other: return false;
    }
    return false;
}

bool ManualJog::OnKeyUp(Key key) {
    if (key == Key::Other) return false;
    Stop();
    return true;
}

void ManualJog::OnPumpBox(int pump, bool on) {
    if (!g_Connected.load()) return;  // the box only changes
    const int runSelect = m_port.runSelect ? m_port.runSelect() : 0;
    bool sent = true;
    for (const OutputSwitch& o : PumpOutputs(pump, on, MachineType(), runSelect, TheBasicSettings().m_Exhaust))
        sent = SetOutput(o) && sent;
    if (sent) NotePumpSwitched(pump, on);
}

void ManualJog::OnHeadGroupButton() {
    const int type = MachineType();
    if (type != 4 && type != 7) return;
    SetHeadGroup(HeadGroup() == 2 ? 1 : 2);
    call(m_port.showHeadGroup, HeadGroup());
}

void ManualJog::OnMenu(int id) {
    if (id >= kMenuBankFirst && id < kMenuBankFirst + 4) {
        const int bank = id - kMenuBankFirst;
        {
            std::lock_guard lock(m_mutex);
            m_config->m_Feed_Direction = bank;
        }
        call(m_port.showBank, bank);
        return;
    }
    if (id == kMenuMark1Offset || id == kMenuMark2Offset) {
        TakeMarkOffset(id == kMenuMark1Offset ? 1 : 2);
        return;
    }
    bool applied;
    {
        std::lock_guard lock(m_mutex);
        applied = ApplySpeedMenuItem(*m_config, id, TheSpeedTemplates().Settings());
    }
    if (applied) RewriteStepText();
}

bool ManualJog::TakeMarkOffset(int mark) {
    const auto points = m_port.pcbMarkPoints ? m_port.pcbMarkPoints() : std::optional<PcbMarkPoints>{};
    if (!points) return false;
    const BasicSettings& b = TheBasicSettings();
    const PulseFactors& f = ThePulseFactors();
    const double nominalX = mark == 1 ? points->mark1X : points->mark2X;
    const double nominalY = mark == 1 ? points->mark1Y : points->mark2Y;
    const auto refuse = [this] {
        ShowTopmost(m_port.outOfRangeMessage ? m_port.outOfRangeMessage()
                                             : "手动获得MARK点值不在-3到3mm以内，此操作无效 !");
        return false;
    };
    const auto x = MarkAxisOffset(b.m_X_CameraToNozzle1, points->originX, g_PulseX, f.m_X_Pulse, nominalX);
    if (!x) return refuse();
    const auto y = MarkAxisOffset(b.m_Y_CameraToNozzle1, points->originY, g_PulseY, f.m_Y_Pulse, nominalY);
    if (!y) return refuse();
    MarkOffsets o = m_port.markOffsets ? m_port.markOffsets() : MarkOffsets{};
    if (mark == 1) {
        o.mark1X = *x;
        o.mark1Y = *y;
        o.mark2X = 0;
        o.mark2Y = 0;
    } else {
        o.mark2X = *x;
        o.mark2Y = *y;
    }
    call(m_port.storeManualMarkOffsets, o);
    call(m_port.computeTwoMarkCorrection, o.mark1X, o.mark1Y, o.mark2X, o.mark2Y);
    return true;
}

void ManualJog::FeederLiftThread() {
    if (!g_Connected.load()) return ShowTopmost(kNotConnected);
    // The lift closes once the opening jog has ended: waited for within a move's
    // limit, and given up when the link goes down or the program closes.
    const auto giveUp = std::chrono::steady_clock::now() + WaitLimit(WaitKind::Move);
    const std::atomic<bool>* linkDown = StopFlagOf(cmd::UseSerial() ? Transport::Serial : Transport::Ethernet);
    while (g_Running.load()) {
        if (std::chrono::steady_clock::now() >= giveUp) {
            LinkLog("Feeder lift: the machine stayed busy, the lift is left open");
            return;
        }
        if (!plat::SleepFor(kLiftPoll, linkDown) || !g_Connected.load()) return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_jog.liftFlag &= 0xFF;
    }
    const auto lift = LiftOfBank(Config().m_Feed_Direction);
    if (!lift) return;
    SetOutput({static_cast<std::uint8_t>(lift->output), 0, 5});
    const int close = m_port.closeLength ? m_port.closeLength() : 0;
    JogAxis(lift->axis, 1, 0, ToPulses(close, lift->pulsesPerMm), true);
}

// ---- process-wide instance and hooks ------------------------------------------------

std::function<ManualJog::Key(int toolkitKey)>& JogKeyOf() {
    static std::function<ManualJog::Key(int)> keyOf;
    return keyOf;
}

ManualJog& TheManualJog() {
    static ManualJog jog;
    return jog;
}

void InstallJogHooks() {
    ManualJog& jog = TheManualJog();
    auto& h = GetLinkHooks();
    // The machine's panel keys jog one step per key.
    h.jogAxis = [&jog](std::uint8_t axis, int direction) { jog.JogAxis(axis, direction, 0, 0, false); };
    h.nextSpeedGear = [&jog] { return jog.NextSpeedGear(); };
    auto& pulse = ThePulseMachinePort();
    pulse.jogAxis = [&jog](int axis, int direction, int hold, std::int32_t pulses, bool countUsed) {
        jog.JogAxis(axis, direction, hold, pulses, countUsed);
    };
    pulse.headGroup = [&jog] { return jog.HeadGroup(); };
    auto& panel = TheCommandPanel();
    panel.headGroup = [&jog] { return jog.HeadGroup(); };
    panel.liftOutputFlag = [&jog] { return jog.LastJog().liftFlag != 0; };
}

}  // namespace smt
