// The main frame's own settings: language and machine type in config.ini, the
// window title of each language, and the feeder-kind and speed-class names.
#pragma once

#include <array>
#include <string>

#include "base/window_titles.h"

namespace smt {

struct LanguageSettings {
    std::string languageName = "Chinese";  // the stored text, as written
    int languageIndex = 0;                 // unchanged when the text is not an exact name
    std::string windowTitle;               // the title of languageIndex
};

// Reads LanguageSetConfig/LanguageSet (default "Chinese"). An exact name sets the
// index and title; any other text keeps `current` index and title but is still
// the name whose caption file is read. Also fills g_FeedModeNames and g_SpeedNames.
LanguageSettings LoadLanguageSettings(const std::string& startFolder,
                                      const LanguageSettings& current);

// The nine feeder-kind names of each language from its caption file.
void LoadFeedModeNames(const std::string& startFolder);
// The eight speed-class names of each language (built in).
void FillSpeedNames();

// MachineSetConfig/MachineSet (default "0") as a decimal integer. A value outside
// 0..9 would index the type tables out of range: it is taken as 0.
int LoadMachineSet(const std::string& startFolder);
int NormaliseMachineType(int type);

bool SaveLanguageSet(const std::string& startFolder, const std::string& languageName);
// Writes the type with "%d"; every type change also resets the nozzles per cycle to 1.
bool SaveMachineSet(const std::string& startFolder, int machineType);

} // namespace smt
