// The cover-tape unit without its widgets: the settings and the two running
// counters of section SetCoverConfig, and the six tests, each run in a worker
// thread that holds the busy flag.
//
// The tape drive is axis 14, the take-up drive axis 15; output 8 presses the
// cover tape on, output 9 serves the lock test.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "machine_ops/auto_transport.h"
#include "settings/dialog_captions.h"

namespace smt {

// The seven values in key order; construction as a missing section loads.
struct SetCoverConfig {
    std::int32_t m_StepPulse = 1;        // pulses of one tape step (one pocket)
    std::int32_t m_CoverTotal = 1;       // total quantity, read by the run
    std::int32_t m_CoverOnceTotal = 1;   // pieces sealed per stroke
    std::int32_t m_BlankTotal = 1;       // blank pockets
    std::int32_t m_CoverDelay = 1;       // sealing time, ms
    std::int32_t m_CoverTotalCount = 0;  // running counters
    std::int32_t m_CoverCount = 0;
    friend bool operator==(const SetCoverConfig&, const SetCoverConfig&) = default;
};

// Reads the seven keys; each of the first five that reads 0 becomes 1.
void LoadSetCoverConfig(SetCoverConfig& config, const std::string& configPath);
// Writes all seven keys "%d"; false on a failed write.
bool SaveSetCoverConfig(const SetCoverConfig& config, const std::string& configPath);
// Writes only m_CoverTotalCount and m_CoverCount.
bool SaveCoverCounters(const SetCoverConfig& config, const std::string& configPath);

// Captions (section "SetCoverConfig", keys "SetCover.c_..." and "SetCover.C_...").
DialogCaptions& TheCoverCaptions();

// The edit fields 1005..1011 with their ranges: the first one outside.
std::optional<FieldRange> CheckCoverRanges(const SetCoverConfig& c);

enum class CoverTest : int { Step = 1, TakeUp, Blank, Seal, BlankSeal, Lock };
// The test button's control id.
int CoverTestButton(CoverTest test);

// Sealing cycles of test 5: blank / once + 1 when blank >= once, else none; none
// when a stroke seals fewer than 1 piece.
int BlankSealCycles(std::int32_t blankTotal, std::int32_t onceTotal);
// Tape pulses of each of the two moves of a test-5 cycle.
std::int32_t BlankSealMovePulses(std::int32_t stepPulse, std::int32_t onceTotal);

// What a test asks of its dialog; each member may be empty (the dialog posts).
struct CoverTestPort {
    std::function<void(bool)> enableDialog;
    std::function<void(int control, bool)> enableButton;
};

// The unit: settings read by any thread as whole copies; the counters are
// changed by the run.
class CoverTape {
public:
    SetCoverConfig Config() const;
    void SetConfig(const SetCoverConfig& config);
    // m_CoverTotalCount and m_CoverCount only.
    void SetCounters(std::int32_t totalCount, std::int32_t count);

    void LoadConfig(const std::string& configPath);
    bool SaveConfig(const std::string& configPath) const;
    bool SaveCounters(const std::string& configPath) const;

    CoverTestPort& Port() { return m_port; }

    // Guards (not connected, not homed, busy; each a topmost box); then the
    // fields: a field outside its range is named in a box and nothing starts;
    // otherwise the fields become the settings and the test runs in a worker.
    bool StartTest(CoverTest test, const SetCoverConfig& fields);
    // The worker's body (the caller holds the busy flag).
    void RunTest(CoverTest test);

private:
    mutable std::mutex m_mutex;
    SetCoverConfig m_config;
    CoverTestPort m_port;
};

CoverTape& TheCoverTape();

}  // namespace smt
