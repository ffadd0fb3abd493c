// Process-wide objects of the application shell: machine type and language, the
// row lists of the table files, the lamp table, the feeder-kind and speed-class
// names, and the run-time pulse values derived from the settings.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/tablefile.h"

namespace smt {

inline constexpr int kMachineTypeCount = 10;  // types 0..9
inline constexpr int kLanguageCount = 3;      // 0 Chinese, 1 English, 2 German

// Chosen from the menu and kept in config.ini; never changed while the machine is busy.
extern std::atomic<int> g_MachineType;
extern std::atomic<int> g_LanguageIndex;

// Strategy values that the machine-type commands reset (nozzles per pick cycle,
// same-nozzle switch); the placement strategy owns their meaning.
extern std::atomic<int> g_SmtHeadCount;
extern std::atomic<int> g_SmtSameNozzle;

// The lamp table: 20 rows of 40 text cells (index row x 40 + cell), and its 20
// lines as stored in the ".txt" project companion.
inline constexpr int kLampRows = 20;
inline constexpr int kLampCells = 40;
extern std::vector<std::string> g_LampTable;
extern std::vector<std::string> g_LampTableLines;
// Held around every access to the two: the lamp run reads and writes them from
// its threads while the document and the lamp list window use them.
std::mutex& LampTableMutex();

// 9 feeder-kind names and 8 speed-class names for each language
// (index language x 9 + kind, language x 8 + class).
extern std::array<std::string, 27> g_FeedModeNames;
extern std::array<std::string, 24> g_SpeedNames;

// Every row of the eight table files. The frame's rows (strip, speed, camera,
// nozzle) live here too, so that plain code reaches them without the frame.
extern FigLists g_FigLists;
extern std::vector<std::string>& g_FeedLines;
extern std::vector<std::string>& g_PackLines;
extern std::vector<std::string>& g_MarkLines;
extern std::vector<std::string>& g_DropDownLines;

// Joins the texts of a list cell that holds several values.
extern const std::string ListSeparator;

// ---- run-time pulse values (written by ConvertSettingsToPulses and by the run) ----

struct PulsePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const PulsePoint&) const = default;
};

inline constexpr int kPulseFactorCount = 12;
extern std::array<double, kPulseFactorCount> g_PulsesPerMm;
inline double& g_PulsesPerMmX = g_PulsesPerMm[0];
inline double& g_PulsesPerMmY = g_PulsesPerMm[1];
inline double& g_PulsesPerMmZ = g_PulsesPerMm[2];

extern std::array<std::int32_t, 8> g_CorrectionPulsesX;
extern std::array<std::int32_t, 8> g_CorrectionPulsesY;
// The same values per head (index head - 1), as the place steps name them.
inline std::array<std::int32_t, 8>& g_CorrectionPulseX = g_CorrectionPulsesX;
inline std::array<std::int32_t, 8>& g_CorrectionPulseY = g_CorrectionPulsesY;
// The head offsets from nozzle 1 (g_OffsetPulses): camera, nozzles 2 to 8,
// dispenser and table Y2.
extern PulsePoint g_CameraToNozzle1Pulses;
// Index n - 1 for nozzle n; nozzle 1 (index 0) has no offset and stays 0.
extern std::array<PulsePoint, 8> g_NozzleToNozzle1Pulses;
extern PulsePoint g_DispenserToNozzle1Pulses;
extern PulsePoint g_Y2ToY1Pulses;
extern PulsePoint g_ThrowPositionPulses;

} // namespace smt
