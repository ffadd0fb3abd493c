// The cover-tape unit as the placement run drives it: axis 14 moves the tape by
// the cycle's pockets, output 8 seals a full stroke, and at the total the tape
// runs out the blank pockets.
#include "run/placement_run.h"

#include <utility>

#include "link/commands.h"
#include "platform/threads.h"
#include "run/run_frame.h"
#include "run_state/run_events.h"
#include "settings/speed_template.h"

namespace smt {

namespace {
constexpr std::uint8_t kTapeAxis = 14, kSealOutput = 8;
constexpr int kAutoWalk1Drive = 14;

void Seal(int delayMs) {
    SetOutput({kSealOutput, 1, 5});
    plat::SleepFor(plat::Millis(delayMs > 0 ? delayMs : 0));
    SetOutput({kSealOutput, 0, 5});
}
} // namespace

int CoverIncrement(int headMode) { return headMode == 0 ? 1 : 2; }

bool CoverTotalReached(const SetCoverConfig& c, int increment) {
    return static_cast<std::int64_t>(c.m_CoverTotalCount) + increment >= c.m_CoverTotal;
}

std::vector<std::int32_t> TapeRunOutHalfSteps(const SetCoverConfig& c) {
    std::vector<std::int32_t> halves;
    std::int64_t blank = c.m_BlankTotal;
    bool first = true;
    do {
        const std::int64_t pieces = first ? static_cast<std::int64_t>(c.m_CoverOnceTotal) - c.m_CoverCount
                                          : c.m_CoverOnceTotal;
        halves.push_back(static_cast<std::int32_t>(pieces * c.m_StepPulse / 2));
        first = false;
        // A stroke of no piece would never use the blank pockets up: one pass.
        if (c.m_CoverOnceTotal < 1) break;
        blank -= c.m_CoverOnceTotal;
    } while (blank >= 0);
    return halves;
}

CoverTapeRun::CoverTapeRun(const SetCoverConfig& config, int headMode, std::string configPath)
    : m_c(config), m_increment(CoverIncrement(headMode)), m_path(std::move(configPath)) {}

void CoverTapeRun::Save() {
    CoverTape& unit = TheCoverTape();
    unit.SetCounters(m_c.m_CoverTotalCount, m_c.m_CoverCount);
    unit.SaveCounters(m_path);
}

int CoverTapeRun::CountPlaced() {
    ++m_c.m_CoverTotalCount;
    ++m_c.m_CoverCount;
    Save();
    return m_c.m_CoverTotalCount;
}

CoverTapeRun::Step CoverTapeRun::EndOfCycle() {
    const SpeedPair walk = TheSpeedTemplates().Pair(SpeedType::Handle, kAutoWalk1Drive);
    if (!MoveSingleAxis({kTapeAxis, m_increment * m_c.m_StepPulse, {walk.start, walk.run}})) return Step::Failed;
    if (m_c.m_CoverCount >= m_c.m_CoverOnceTotal) {
        Seal(m_c.m_CoverDelay);
        m_c.m_CoverCount -= m_c.m_CoverOnceTotal;
        Save();
    }
    if (m_c.m_CoverTotalCount < m_c.m_CoverTotal) return Step::Go;
    return RunOut() ? Step::TotalReached : Step::Failed;
}

bool CoverTapeRun::RunOut() {
    for (const std::int32_t half : TapeRunOutHalfSteps(m_c)) {
        if (!g_RunContinue.load()) break;
        if (!GoesOnAfter(MoveSingleAxis({kTapeAxis, half, {1, 2}}))) return false;
        plat::SleepFor(plat::Millis(100));
        if (!GoesOnAfter(MoveSingleAxis({kTapeAxis, half, {1, 2}}))) return false;
        plat::SleepFor(plat::Millis(100));
        Seal(m_c.m_CoverDelay);
        plat::SleepFor(plat::Millis(100));
    }
    m_c.m_CoverTotalCount = 0;
    m_c.m_CoverCount = 0;
    Save();
    return true;
}

} // namespace smt
