// Pulses per millimetre (per degree for A) of every drive, with the pulse
// generator, the pulse check and the one-drive test run of the pulse settings
// dialog. Every move of the program converts millimetres with these factors.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/basic_settings.h"
#include "settings/dialog_captions.h"

namespace smt {

struct PulseFactors {
    double m_X_Pulse = 0;          // X (and X2 on machine type 4)
    double m_Y_Pulse = 0;          // Y (and Y2 on machine type 4)
    double m_Z_Pulse = 0;          // Z of every nozzle
    double m_A_Pulse = 0;          // rotation of every nozzle, pulses per degree
    double m_WestWalk_Pulse = 0;
    double m_WestLift_Pulse = 0;   // also conveyor belt 1
    double m_NorthWalk_Pulse = 0;
    double m_NorthLift_Pulse = 0;  // also conveyor belt 2
    double m_EastWalk_Pulse = 0;
    double m_EastLift_Pulse = 0;   // also conveyor belt 3
    double m_AutoWalk1_Pulse = 0;
    double m_AutoWalk2_Pulse = 0;

    // The twelve factors in key order.
    std::array<double, 12> AsArray() const;
};

// Key (= member name) and member of each factor, in key order.
struct PulseFactorKey {
    const char* key;
    double PulseFactors::*member;
};
extern const std::array<PulseFactorKey, 12> kPulseFactorKeys;

// The pulse settings dialog's values: the factors plus the generator and check
// fields, which live as long as the program (the pick-list index is kept between
// openings, not in the file).
struct PulseSettings : PulseFactors {
    double m_StepAngle = 0;            // degrees per full step of the motor
    int m_SubDivide = 0;               // microsteps of the driver
    double m_DiameterOrScrewPitch = 0; // pulley diameter or screw pitch, mm
    int m_DriveModel = -1;             // 0 timing pulley, 1 lead screw, -1 not chosen
    double m_LinearPulse = 0;          // generator result, pulses per mm
    double m_AnglePulse = 0;           // generator result, pulses per degree
    int m_SelectAxis = 0;              // pick-list index
    double m_RunTest = 0;              // test distance, mm
    double m_DistanceTest = 0;         // measured distance, mm
    double m_VerifyPulseValue = 0;     // corrected factor
};

PulseSettings& ThePulseSettings();
inline PulseFactors& ThePulseFactors() { return ThePulseSettings(); }

// Section "SetPulseConfig": a factor read as 0 becomes 1.0, A becomes 17.7777.
void LoadSetPulseConfig(PulseFactors& factors, const std::string& configPath);
// "%0.4f" each; false when a write failed.
bool SaveSetPulseConfig(const PulseFactors& factors, const std::string& configPath);

// The dialog's captions and messages (section "SetPulseConfig").
DialogCaptions& ThePulseCaptions();

// The nineteen drive names of the pick list, in caption-key order.
enum class PulseMotor {
    X, X2, Y, Y2, Z1, Z2, Z3, A1, A2, A3, A4,
    WestWalk, WestLift, NorthWalk, NorthLift, EastWalk, EastLift, AutoWalk1, AutoWalk2
};
// "SetPulse.c_X_Motor" ...
std::string PulseMotorCaptionKey(PulseMotor motor);

// The travel check of a test move.
enum class PulseTestRange { X, X2, Y, Y2, ZPair, WestWalk, NorthWalk, EastWalk, None };

struct PulseDrive {
    PulseMotor motor;
    double PulseFactors::*factor;
    int axis;               // axis code of the single-axis move
    PulseTestRange range;
};

// The pick list of the machine type, in order.
std::vector<PulseDrive> PulsePickList(int machineType);
// Which of the twelve factor fields the machine type lets the operator edit.
std::array<bool, 12> PulseFactorEditable(int machineType);

// Generator: pulses per mm from step angle, microsteps and pulley diameter or
// screw pitch, and pulses per degree. Refuses with a message when no drive is
// chosen or a divisor is 0, leaving the results as they were.
bool ProducePulse(PulseSettings& values, const DialogCaptions& captions);

// Check: m_RunTest x factor / m_DistanceTest. Refuses a measured distance of 0
// with a message, leaving the result as it was.
bool VerifyPulse(PulseSettings& values, const PulseDrive& drive, const DialogCaptions& captions);

// Position counters that the test run checks against the travel limits.
enum class PulseCounter { X, Y, X2, Y2, Z1, Z2, Z3, Z4, Z5, Z6, WestWalk, NorthWalk, EastWalk };

// What the test run needs of the machine link and the manual control panel,
// filled by them (the program's wiring fills every member).
struct PulseMachinePort {
    std::function<int()> headGroup; // the manual control panel's head group, 1 or 2
    std::function<std::int32_t(PulseCounter)> counter;
    std::function<void(int channel, int value, int extra)> setOutput;
    std::function<void(int axis, int direction, int hold, std::int32_t pulses, bool countUsed)> jogAxis;
};
PulseMachinePort& ThePulseMachinePort();

enum class PulseTestResult { Moved, OutOfRange, NeedHeadGroup2 };

// The pulses of a test distance and their direction (1 forward, 0 backward).
struct PulseTestMove {
    std::int32_t pulses;
    int direction;
};
PulseTestMove PlanPulseTest(double distance, double factor);

// One test move of `drive` by m_RunTest millimetres after its travel check; a
// walk drive first switches its feeder bank's output off. Messages for refusals.
PulseTestResult RunPulseTest(const PulseSettings& values, const PulseDrive& drive, int machineType,
                             const BasicSettings& basic, const PulseMachinePort& port,
                             const DialogCaptions& captions);

// OK after the fields were taken: saves the factors, then re-derives every pulse
// value of the other subsystems in their order, and keeps the pick-list index.
// False when the file could not be written (the re-derivations still run, since
// the factors in memory are already live).
bool ConfirmPulseSettings(PulseSettings& values, int pickIndex, const std::string& configPath);

} // namespace smt
