// Switches that follow the controller firmware's version, and the log switch.
// All 0 unless config.ini says otherwise; read in place by the link, the feeder
// code, the run and the log.
#pragma once

#include <string>

#include "settings/dialog_captions.h"

namespace smt {

struct VersionSwitches {
    int m_V2_04 = 0;         // 32-bit pulse fields in the serial X/Y/A move
    int m_V2_05 = 0;         // stored only
    int m_V2_06 = 0;         // travel limits sent after the serial handshake
    int m_V2_07 = 0;         // the feeder's feed count in the feed command
    int m_Write_Logfile = 0; // diagnostic log lines written
    bool operator==(const VersionSwitches&) const = default;
};

VersionSwitches& TheVersionSwitches();

// Section "CPUVersionNumberConfig" of the config.ini at `configPath`.
void LoadCpuVersionConfig(VersionSwitches& switches, const std::string& configPath);
// False when a write failed.
bool SaveCpuVersionConfig(const VersionSwitches& switches, const std::string& configPath);

// The firmware switches dialog's captions (section "CPUVersionNumberConfig").
DialogCaptions& TheVersionNumberCaptions();

} // namespace smt
