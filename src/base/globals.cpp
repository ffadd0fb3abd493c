#include "base/globals.h"

namespace smt {

// Constructed in this order; destroyed in reverse at exit.
std::vector<std::string> g_LampTable(kLampRows * kLampCells);
std::vector<std::string> g_LampTableLines;

std::mutex& LampTableMutex() {
    static std::mutex m;
    return m;
}

std::array<std::string, 27> g_FeedModeNames;
std::array<std::string, 24> g_SpeedNames;
FigLists g_FigLists;
std::vector<std::string>& g_DropDownLines = g_FigLists.dropDown;
std::vector<std::string>& g_MarkLines = g_FigLists.mark;
std::vector<std::string>& g_PackLines = g_FigLists.pack;
std::vector<std::string>& g_FeedLines = g_FigLists.feed;
const std::string ListSeparator = "; ";

std::atomic<int> g_MachineType{0};
std::atomic<int> g_LanguageIndex{0};
std::atomic<int> g_SmtHeadCount{1};
std::atomic<int> g_SmtSameNozzle{0};

std::array<double, kPulseFactorCount> g_PulsesPerMm{};
std::array<std::int32_t, 8> g_CorrectionPulsesX{};
std::array<std::int32_t, 8> g_CorrectionPulsesY{};
PulsePoint g_CameraToNozzle1Pulses;
std::array<PulsePoint, 8> g_NozzleToNozzle1Pulses{};
PulsePoint g_DispenserToNozzle1Pulses;
PulsePoint g_Y2ToY1Pulses;
PulsePoint g_ThrowPositionPulses;

} // namespace smt
