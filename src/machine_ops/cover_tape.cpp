#include "machine_ops/cover_tape.h"

#include <array>
#include <memory>

#include "base/numtext.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "settings/section_keys.h"
#include "settings/speed_template.h"

namespace smt {

namespace {

constexpr const char* kSection = "SetCoverConfig";

using C = SetCoverConfig;
constexpr std::array<SectionKey<C>, 7> kKeys = {{
    {"m_StepPulse", nullptr, &C::m_StepPulse},
    {"m_CoverTotal", nullptr, &C::m_CoverTotal},
    {"m_CoverOnceTotal", nullptr, &C::m_CoverOnceTotal},
    {"m_BlankTotal", nullptr, &C::m_BlankTotal},
    {"m_CoverDelay", nullptr, &C::m_CoverDelay},
    {"m_CoverTotalCount", nullptr, &C::m_CoverTotalCount},
    {"m_CoverCount", nullptr, &C::m_CoverCount},
}};
constexpr std::size_t kOneAtLeast = 5;  // the first five keys never stay 0
constexpr std::size_t kFirstCounter = 5;  // the two running counters close the section
constexpr int kTapeAxis = 14, kTakeUpAxis = 15;
constexpr int kSealOutput = 8, kLockOutput = 9;
constexpr int kAutoWalk1Drive = 14;  // automatic feed drive 1 in the speed tables

bool move(int axis, std::int32_t pulses, std::int32_t start, std::int32_t run) {
    SingleAxisMove m;
    m.axis = static_cast<std::uint8_t>(axis);
    m.delta = pulses;
    m.speed = {start, run};
    return MoveSingleAxis(m);
}

// An output on for `ms`, then off.
void pulseOutput(int channel, std::int32_t ms) {
    SetOutput({static_cast<std::uint8_t>(channel), 1, 5});
    plat::SleepFor(plat::Millis(ms));
    SetOutput({static_cast<std::uint8_t>(channel), 0, 5});
}

// A long test stops early once the link is gone or the program closes, instead
// of waiting out every command's limit.
bool linkAlive() { return g_Connected.load() && !plat::WaitsCancelled(); }

}  // namespace

void LoadSetCoverConfig(SetCoverConfig& c, const std::string& configPath) {
    LoadSectionKeys<C>(c, kSection, kKeys, configPath);
    for (std::size_t i = 0; i < kOneAtLeast; ++i)
        if (c.*kKeys[i].integer == 0) c.*kKeys[i].integer = 1;
}

bool SaveSetCoverConfig(const SetCoverConfig& c, const std::string& configPath) {
    return SaveSectionKeys<C>(c, kSection, kKeys, configPath);
}

bool SaveCoverCounters(const SetCoverConfig& c, const std::string& configPath) {
    return SaveSectionKeys<C>(c, kSection, std::span(kKeys).subspan(kFirstCounter), configPath);
}

DialogCaptions& TheCoverCaptions() {
    static DialogCaptions captions(kSection, {
        {"SetCover.c_SetCover", "封皮设置"},
        {"SetCover.c_StepPulse", "步进脉冲数"},
        {"SetCover.c_CoverTotal", "总数量"},
        {"SetCover.c_CoverOnceTotal", "封皮1次数量"},
        {"SetCover.c_BlankTotal", "流白数量"},
        {"SetCover.c_CoverDelay", "封皮时间"},
        {"SetCover.c_CoverTotalCount", "封皮总计数"},
        {"SetCover.c_CoverCount", "封皮个计数"},
        {"SetCover.C_StepTest", "步进测试"},
        {"SetCover.C_CollectTest", "收料测试"},
        {"SetCover.C_BlankTest", "流白测试"},
        {"SetCover.C_CoverTest", "封皮测试"},
        {"SetCover.C_BlankCoverTest", "流白封皮测试"},
        {"SetCover.C_LockTest", "定位测试"},
        {"SetCover.c_IDOK", "确定"},
    });
    return captions;
}

std::optional<FieldRange> CheckCoverRanges(const SetCoverConfig& c) {
    auto f = [](int control, std::int32_t v, double lo, double hi) { return FieldRange{control, double(v), lo, hi, true}; };
    return FirstOutOfRange({
        f(1005, c.m_StepPulse, 1, 10000), f(1006, c.m_CoverTotal, 1, 100000),
        f(1007, c.m_CoverOnceTotal, 1, 100), f(1008, c.m_BlankTotal, 1, 1000),
        f(1009, c.m_CoverDelay, 1, 100000), f(1010, c.m_CoverTotalCount, 0, 100000),
        f(1011, c.m_CoverCount, 0, 1000),
    });
}

int CoverTestButton(CoverTest test) {
    switch (test) {
    case CoverTest::Step: return 1465;
    case CoverTest::TakeUp: return 1469;
    case CoverTest::Blank: return 1002;
    case CoverTest::Seal: return 1004;
    case CoverTest::BlankSeal: return 1466;
    case CoverTest::Lock: return 1003;
    }
    return 0;
}

int BlankSealCycles(std::int32_t blankTotal, std::int32_t onceTotal) {
    if (onceTotal < 1 || blankTotal < onceTotal) return 0;
    return blankTotal / onceTotal + 1;
}

std::int32_t BlankSealMovePulses(std::int32_t stepPulse, std::int32_t onceTotal) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(stepPulse / 2) * onceTotal);
}

// ---- the unit ------------------------------------------------------------------

CoverTape& TheCoverTape() {
    static CoverTape tape;
    return tape;
}

SetCoverConfig CoverTape::Config() const {
    std::lock_guard lock(m_mutex);
    return m_config;
}

void CoverTape::SetConfig(const SetCoverConfig& config) {
    std::lock_guard lock(m_mutex);
    m_config = config;
}

void CoverTape::SetCounters(std::int32_t totalCount, std::int32_t count) {
    std::lock_guard lock(m_mutex);
    m_config.m_CoverTotalCount = totalCount;
    m_config.m_CoverCount = count;
}

void CoverTape::LoadConfig(const std::string& configPath) {
    SetCoverConfig c = Config();
    LoadSetCoverConfig(c, configPath);
    SetConfig(c);
}

bool CoverTape::SaveConfig(const std::string& configPath) const { return SaveSetCoverConfig(Config(), configPath); }

bool CoverTape::SaveCounters(const std::string& configPath) const { return SaveCoverCounters(Config(), configPath); }

bool CoverTape::StartTest(CoverTest test, const SetCoverConfig& fields) {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    // A test with a field out of range does not start: a count of 0 would
    // otherwise make the blank-seal loop endless.
    if (const auto bad = CheckCoverRanges(fields)) {
        plat::MessageBoxOk(RangeMessage(*bad));
        return false;
    }
    SetConfig(fields);
    if (m_port.enableDialog) m_port.enableDialog(false);
    plat::StartWorker("CoverTestThread", [this, test, held = std::make_shared<BusyClaim>(std::move(claim))] {
        plat::SleepFor(plat::Millis(100));
        RunTest(test);
        held->Release();
        if (m_port.enableDialog) m_port.enableDialog(true);
    });
    return true;
}

void CoverTape::RunTest(CoverTest test) {
    const SetCoverConfig c = Config();
    const int button = CoverTestButton(test);
    if (m_port.enableButton) m_port.enableButton(button, false);
    const SpeedPair manual = TheSpeedTemplates().Pair(SpeedType::Handle, kAutoWalk1Drive);
    switch (test) {
    case CoverTest::Step: move(kTapeAxis, c.m_StepPulse, manual.start, manual.run); break;
    case CoverTest::TakeUp: move(kTakeUpAxis, c.m_StepPulse, manual.start, manual.run); break;
    case CoverTest::Blank:
        move(kTapeAxis, static_cast<std::int32_t>(static_cast<std::int64_t>(c.m_BlankTotal) * c.m_StepPulse), 1, 1);
        break;
    case CoverTest::Seal: pulseOutput(kSealOutput, c.m_CoverDelay); break;
    case CoverTest::BlankSeal: {
        const int cycles = BlankSealCycles(c.m_BlankTotal, c.m_CoverOnceTotal);
        const std::int32_t pulses = BlankSealMovePulses(c.m_StepPulse, c.m_CoverOnceTotal);
        for (int i = 0; i < cycles && linkAlive(); ++i) {
            for (int k = 0; k < 2; ++k) {
                move(kTapeAxis, pulses, 1, 2);
                plat::SleepFor(plat::Millis(100));
            }
            pulseOutput(kSealOutput, c.m_CoverDelay);
            plat::SleepFor(plat::Millis(100));
        }
        break;
    }
    case CoverTest::Lock: pulseOutput(kLockOutput, c.m_CoverDelay); break;
    }
    if (m_port.enableButton) m_port.enableButton(button, true);
}

}  // namespace smt
