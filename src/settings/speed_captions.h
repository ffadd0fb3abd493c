// Captions of the speed template manager and its pages, read from the caption
// file of the current language; a missing key keeps the built-in Chinese text.
#pragma once

#include <string>

#include "settings/dialog_captions.h"

namespace smt {

// Section "SpeedTemplateConfig", keys "SpeedTemplate.c_...": the manager's controls
// and its messages "SpeedTemplate.c_Message_01" to "_08".
DialogCaptions MakeSpeedTemplateCaptions();
// Section "SpeedListConfig", keys "SpeedList.c_SpeedList_01" .. "_17": the class
// pages' columns.
DialogCaptions MakeSpeedListCaptions();
// Section "SpeedSetConfig", keys "SpeedSet.c_SpeedSetList_01" .. "_09": the speed
// set page's two columns and seven row captions.
DialogCaptions MakeSpeedSetCaptions();

// Keys numbered from 1: NumberedCaption("SpeedList.c_SpeedList_", 1) is
// "SpeedList.c_SpeedList_01".
std::string NumberedCaption(const char* stem, int number);

} // namespace smt
