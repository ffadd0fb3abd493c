// What other subsystems ask of the camera panel. The camera panel fills it;
// unset members do nothing and read as 0.
#pragma once

#include <functional>
#include <string>

namespace smt {

struct CameraPanelPort {
    // The panel's image-feature box (control 1033) shows the text.
    std::function<void(const std::string& text)> setImageFeature;
};

CameraPanelPort& TheCameraPanelPort();

} // namespace smt
