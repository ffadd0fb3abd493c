// What other subsystems ask of the camera panel. The panel fills these when it is
// wired in; unset, the current camera reads as the mark camera and a selection
// does nothing.
#pragma once

#include <functional>

namespace smt {

struct CameraPanelPort {
    // The panel's "Mark 相机": the mark camera live with its scale, size and light.
    std::function<void()> selectMarkCamera;
    // g_CurrentCamera: 0 mark camera, 1 vision camera 1, 2 vision camera 2.
    std::function<int()> currentCamera;
};

CameraPanelPort& TheCameraPanelPort();

} // namespace smt
