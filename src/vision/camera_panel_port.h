// What other subsystems ask of the camera panel. The camera panel fills it;
// unset members do nothing and read as 0 (the current camera then reads as the
// mark camera).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace smt {

// A vision camera record as the feeder tests use it (all 0 when the camera list has none).
struct VisionCameraPlace {
    std::int32_t x = 0, y = 0;  // CameraPulse_X, CameraPulse_Y
    double zoom = 0;            // VisualZoom, pixels per mm
    int brightness = 0;         // Light_Brightness
};

struct CameraPanelPort {
    // The panel's "Mark 相机": the mark camera live with its scale, size and light.
    std::function<void()> selectMarkCamera;
    // g_CurrentCamera: 0 mark camera, 1 vision camera 1, 2 vision camera 2.
    std::function<int()> currentCamera;
    // The panel's image-feature box (control 1033) shows the text.
    std::function<void(const std::string& text)> setImageFeature;
    // The PCB editor's hand-over: the image height in pixels, the panel's vision
    // scale and frame size, and its contrast and brightness edits (the panel's own
    // handlers apply what is written there).
    std::function<int()> imageHeight;
    std::function<void(double)> setVisionScale;
    std::function<void(double)> setFrameSize;        // also shows "%0.2f" in edit 1006
    std::function<void(const std::string&)> showFrameSizeText;  // edit 1006 as given
    std::function<void(int)> setContrast;            // edit 1232
    std::function<void(int)> setBrightness;          // edit 1030
    // The panel's current m_Light_Contrast and m_Light_Brightness.
    std::function<int()> contrast, brightness;

    // What the camera dialogs ask of the panel (also: the vision scale, frame size,
    // contrast, brightness and image height above).
    std::function<void(int camera)> selectVisionCamera;  // "视觉相机1" / "视觉相机2"
    std::function<int()> highSpeedCamera;                // g_HighSpeedCamera
    std::function<bool(int camera)> cameraSwitchOn;      // 0 mark, 1 vision 1, 2 vision 2
    std::function<void()> showCameraSettings;            // the current camera's settings page
    std::function<int(int camera)> triggerMode;          // m_TriggerMode entry
    std::function<void(int camera, int mode)> setTriggerMode;
    std::function<void()> requestFlyTest;                // m_FlyTestRequest
    // The camera list's names, in table order.
    std::function<std::vector<std::string>()> cameraNames;
    // The panel's current frame size m_VisualSize.
    std::function<double()> visualSize;

    // The feeder operations: the one-shot m_UseFeedBrightness (the next "Mark 相机"
    // lights with m_FeedBrightness), SetVisionParameters, the two measured sizes
    // (length, width; mm) and the two vision camera records (0 first, 1 second).
    std::function<void()> useFeedBrightness;
    std::function<void(int contrast, int brightness, double scale, double frameSize)> setVisionParameters;
    std::function<double(int which)> measuredSize;
    std::function<VisionCameraPlace(int which)> visionCamera;
};

CameraPanelPort& TheCameraPanelPort();

}  // namespace smt
