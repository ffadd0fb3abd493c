// What other subsystems ask of the camera panel. The camera panel fills it;
// unset members do nothing and read as 0 (the current camera then reads as the
// mark camera).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace smt {

struct CameraPanelPort {
    // The panel's "Mark 相机": the mark camera live with its scale, size and light.
    std::function<void()> selectMarkCamera;
    // g_CurrentCamera: 0 mark camera, 1 vision camera 1, 2 vision camera 2.
    std::function<int()> currentCamera;
    // The panel's image-feature box (control 1033) shows the text.
    std::function<void(const std::string& text)> setImageFeature;
    // The camera list's names, in table order.
    std::function<std::vector<std::string>()> cameraNames;
    // The panel's current m_Light_Contrast, m_Light_Brightness and frame size m_VisualSize.
    std::function<int()> lightContrast;
    std::function<int()> lightBrightness;
    std::function<double()> visualSize;
};

CameraPanelPort& TheCameraPanelPort();

}  // namespace smt
