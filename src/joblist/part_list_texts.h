// Captions and messages of the part list window (caption-file section
// PartListConfig). One live set; the part list's language load replaces it.
#pragma once

#include <string>
#include <string_view>

#include "settings/dialog_captions.h"

namespace smt {

// The texts as last loaded (built-in Chinese until then). Read on the
// user-interface thread; the run reads its messages before it starts.
DialogCaptions& ThePartListTexts();
// "PartList.c_" + name.
const std::string& PartListText(std::string_view name);
// Loads section PartListConfig of the language's caption file and publishes the
// reset-first message to the link.
void LoadPartListLanguage(const std::string& startFolder, const std::string& language);

// The vision camera names a feeder's camera cell is compared with (no caption).
inline constexpr const char* kCameraName1 = "Camera 1";
inline constexpr const char* kCameraName2 = "Camera 2";

} // namespace smt
