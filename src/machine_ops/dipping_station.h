// The dipping station: a small tray beside the feeders in which nozzle 1 dips a
// part before placing it. Its position, film depth and timings are live settings
// read in place by the feeder operations and the run; its buttons switch the
// station's output, move head 1 over it and measure its height.
#pragma once

#include <functional>
#include <string>

#include "link/command_frames.h"
#include "link/position_counters.h"
#include "settings/basic_settings.h"
#include "machine_ops/basic_teach.h"
#include "settings/dialog_captions.h"

namespace smt {

struct DippingStationSettings {
    int m_DippingStation = 0;           // the vibrating tray feeds the station
    double m_DippingStation_X = 0;      // mm, 0 .. 1000
    double m_DippingStation_Y = 0;      // mm, -1000 .. 0
    double m_DippingStation_Z = 0;      // mm, -100 .. 0
    double m_WaterFilmThickness = 0;    // mm, 0 .. 3
    int m_DippingStation_RunTime = 0;   // ms, 0 .. 10000
    int m_DippingStation_StopDelay = 0; // ms, 0 .. 10000
    int m_DippingStation_Delay = 0;     // ms, 0 .. 10000
    friend bool operator==(const DippingStationSettings&, const DippingStationSettings&) = default;
};

DippingStationSettings& TheDippingStation();

// Section "DippingStationConfig"; a missing key reads as 0.
void LoadDippingStationConfig(DippingStationSettings& d, const std::string& configPath);
bool SaveDippingStationConfig(const DippingStationSettings& d, const std::string& configPath);

DialogCaptions& TheDippingStationCaptions();

// Teach X, Y and Z of nozzle 1: counter / factor, moved 0.0001 away from zero.
enum class DippingAxis { X, Y, Z };
std::string DippingTeachText(DippingAxis axis, const PositionSnapshot& pos, double xPulse, double yPulse,
                             double zPulse);

// The station output (channel 10): alternates off, on, off ... from the first
// press after start; on machine type 7 only the remembered state flips.
inline constexpr std::uint8_t kDippingOutputChannel = 10;
struct DippingOutputPort {
    std::function<bool(const OutputSwitch&)> setOutput;  // unset: the command function
};
DippingOutputPort& TheDippingOutputPort();
class DippingOutputToggle {
public:
    // Returns the value the press chose (0 off, 1 on).
    int Press(int machineType);
    bool On() const { return m_on; }

private:
    bool m_on = true;  // so the first press switches off
};
// The station output's state since the program started.
DippingOutputToggle& TheDippingOutputToggle();

// 1569 head 1 over the station (-3) and 1568 measure its height (-2), behind the
// guards of a head-up machine action; false when refused.
bool StartHeadToDippingStation();
bool StartDippingStationMeasurement();

// The worker's end of the station measurement from the measured height h: Z =
// h - (m_Z_Measurement - m_Z_Nozzle1ToPCBHeight), plus the film thickness unless
// it came out 0; stored, and, when not 0, posted for the Z field of the dialog if
// it is still open when the user-interface thread takes it. Returns the stored Z.
double StoreDippingStationHeight(DippingStationSettings& d, const BasicSettings& basic, double heightMm);
// The writer of the dialog's Z field.
PostedFieldSink& DippingZSink();

} // namespace smt
