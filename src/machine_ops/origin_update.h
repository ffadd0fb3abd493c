// The origin update: when the home position moves, an offset in millimetres is
// added to the chosen stored coordinates (feeders of the current group, PCB
// origin, cameras, nozzle library, discard position). The same values hold the
// sixteen axis switches of the reset of all axes, from which the manual control
// panel's Z check mask is built.
#pragma once

#include "base/captions.h"
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "link/homing.h"
#include "settings/basic_settings.h"
#include "settings/dialog_captions.h"

namespace smt {

struct OriginUpdateSettings {
    double m_OriginOffsetX = 0, m_OriginOffsetY = 0;  // mm, -1 .. 1
    int m_UpdateCurrentFeed = 0;
    int m_UpdatePcbOrigin = 0;
    int m_UpdateCamera = 0;
    int m_UpdateNozzle = 0;
    int m_UpdateThrow = 0;
    // Axis switches X, Y, Z1, Z2, A1..A4, W1..W3, L1..L3, D1, D2.
    int m_00_X = 1, m_01_Y = 1, m_02_Z1 = 1, m_03_Z2 = 1, m_04_A1 = 1, m_05_A2 = 1, m_06_A3 = 1,
        m_07_A4 = 1, m_08_W1 = 1, m_09_W2 = 1, m_0A_W3 = 1, m_0B_L1 = 1, m_0C_L2 = 1, m_0D_L3 = 1,
        m_0E_D1 = 1, m_0F_D2 = 1;
    friend bool operator==(const OriginUpdateSettings&, const OriginUpdateSettings&) = default;
};

inline constexpr double kOriginOffsetLimit = 1.0;

OriginUpdateSettings& TheOriginUpdate();

// The sixteen axis switches in control order (checks 1496..1511).
struct AxisSwitchKey {
    const char* key;
    int OriginUpdateSettings::*member;
};
const std::array<AxisSwitchKey, 16>& OriginAxisSwitches();

// The Z check mask that the switches give on `machineType`: types 0..6 bit 0 for
// Z1 and bit 1 for Z2; type 7 bits 0..7 for the switches A1..L1 (its nozzles
// Z1..Z8); types 8 and 9 none.
std::uint8_t OriginZCheckMask(const OriginUpdateSettings& o, int machineType);

// Section "OriginUpdateConfig": offsets and update switches read as 0 when
// missing, an axis switch kept unless its key holds text. Then the mask bits are
// added to the panel's Z check mask.
void LoadOriginUpdateConfig(OriginUpdateSettings& o, const std::string& configPath, int machineType);
// All 23 keys; false when a write failed.
bool SaveOriginUpdateConfig(const OriginUpdateSettings& o, const std::string& configPath);

// The axis switches as the reset of all axes reads them, and the homing hook that
// reads the live switches.
HomingAxisSwitches OriginHomingSwitches(const OriginUpdateSettings& o);
void InstallOriginHomingSwitches();

DialogCaptions& TheOriginUpdateCaptions();
// The caption of axis switch `index` (0..15) on `machineType`, and whether it is shown.
struct AxisSwitchCaption {
    std::string text;
    bool shown = true;
    bool keepResource = false;  // type 8: the dialog's own captions
};
AxisSwitchCaption OriginAxisSwitchCaption(int index, int machineType);

// What the shift reaches in other subsystems. Camera coordinates go through the
// settings rederivation hook `applyOriginOffset`. Unset members shift nothing.
struct OriginShiftPort {
    std::function<void(double dX, double dY)> shiftFeedCoordinates;
    std::function<void(double dX, double dY)> shiftPcbOrigin;
    std::function<void(double dX, double dY)> shiftNozzleCoordinates;
};
OriginShiftPort& TheOriginShiftPort();

// OK after the fields were taken: save, shift what the switches choose (in the
// order feeders, PCB origin, cameras, nozzles, discard position), rebuild the Z
// check mask from zero. `showThrow` receives the new discard position texts for
// the basic settings dialog's fields. The discard pulses use the X/Y factors.
// False, with nothing shifted, when config.ini could not be written.
bool ConfirmOriginUpdate(const OriginUpdateSettings& o, BasicSettings& basic, const std::string& configPath,
                         int machineType, double xPulse, double yPulse,
                         const std::function<void(const std::string&, const std::string&)>& showThrow);

} // namespace smt
