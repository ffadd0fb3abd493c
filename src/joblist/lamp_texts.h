// Captions and messages of the lamp table's window and its point editor
// (caption-file sections LampMachineListConfig and LampMachineEditConfig).
#pragma once

#include <string>
#include <string_view>

#include "settings/dialog_captions.h"

namespace smt {

// The texts as last loaded (built-in Chinese until then); read on the
// user-interface thread.
DialogCaptions& TheLampListTexts();
DialogCaptions& TheLampEditTexts();
// "LampMachineList.c_" + name and "LampMachineEdit.c_" + name.
const std::string& LampListText(std::string_view name);
const std::string& LampEditText(std::string_view name);
// Both sections from the language's caption file in the start folder.
void LoadLampLanguage(const std::string& startFolder, const std::string& language);

// The list's column headers 0 .. 34 (the spares show "---").
inline constexpr int kLampHeaderCount = 35;
const std::string& LampHeaderText(int column);

} // namespace smt
