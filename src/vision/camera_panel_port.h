// What other subsystems ask of the camera panel. The camera panel fills it;
// unset members do nothing and read as 0 (the current camera then reads as the
// mark camera).
#pragma once

#include <functional>
#include <string>

namespace smt {

struct CameraPanelPort {
    // The panel's "Mark 相机": the mark camera live with its scale, size and light.
    std::function<void()> selectMarkCamera;
    // g_CurrentCamera: 0 mark camera, 1 vision camera 1, 2 vision camera 2.
    std::function<int()> currentCamera;
    // The panel's image-feature box (control 1033) shows the text.
    std::function<void(const std::string& text)> setImageFeature;

    // What the camera dialogs ask of the panel.
    std::function<void(int camera)> selectVisionCamera;  // "视觉相机1" / "视觉相机2"
    std::function<void(double)> setPixelsPerMm;          // m_PixelsPerMm
    std::function<void(double)> setVisualSize;           // m_VisualSize and its frame-size edit
    std::function<void(int)> setContrast;                // its contrast edit
    std::function<void(int)> setBrightness;              // its brightness edit
    std::function<int()> imageHeight;                    // pixels; unset: 480
    std::function<int()> highSpeedCamera;                // g_HighSpeedCamera
    std::function<bool(int camera)> cameraSwitchOn;      // 0 mark, 1 vision 1, 2 vision 2
    std::function<void()> showCameraSettings;            // the current camera's settings page
    std::function<int()> lightBrightness;                // m_Light_Brightness
    std::function<int(int camera)> triggerMode;          // m_TriggerMode entry
    std::function<void(int camera, int mode)> setTriggerMode;
    std::function<void()> requestFlyTest;                // m_FlyTestRequest
};

CameraPanelPort& TheCameraPanelPort();

}  // namespace smt
