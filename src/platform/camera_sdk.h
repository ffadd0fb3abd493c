// The industrial camera operations the camera panel drives: enumerate, open, stream,
// take the newest frame, process it into the output format, overlay cross lines,
// hand it to the display, and count frames. Every call returns a status (0 success,
// see CameraStatus). Handles are small positive numbers in the order of CameraInit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/camera_backend.h"

namespace plat {

using CameraHandle = int;

inline constexpr int kCameraNameSize = 64;
inline constexpr unsigned kCameraMediaMono8 = 0x01080001;  // 1 byte per pixel
inline constexpr unsigned kCameraMediaBgr8 = 0x02180014;   // 3 bytes per pixel, B G R

struct CameraDevInfo {
    char friendlyName[kCameraNameSize] = {};
    char productName[kCameraNameSize] = {};
    int index = -1;  // position in the enumeration
};

struct CameraCapability {
    int maxWidth = 0;
    int maxHeight = 0;
    bool mono = false;
};

struct CameraFrameHead {
    unsigned mediaType = 0;  // kCameraMediaMono8 or kCameraMediaBgr8
    int width = 0;
    int height = 0;
    int bytes = 0;
    std::uint64_t frameNo = 0;
    bool isTrigger = false;  // taken by a trigger input, not by the free-running stream
    std::uint64_t exposedNs = 0;  // exposure start, steady-clock nanoseconds (0 unknown)
};

int CameraSdkInit(int language);  // 1 Chinese, 0 English (error texts)
// `*count` in: room in `list`; out: devices written. No device is an error.
int CameraEnumerateDevice(CameraDevInfo* list, int* count);
int CameraInit(const CameraDevInfo* info, int paramMode, int team, CameraHandle* handle);
const char* CameraGetErrorString(int status);
int CameraGetCapability(CameraHandle handle, CameraCapability* capability);
int CameraGetFriendlyName(CameraHandle handle, char name[kCameraNameSize]);
std::uint8_t* CameraAlignMalloc(int bytes, int alignment);
void CameraAlignFree(std::uint8_t* buffer);
int CameraSetIspOutFormat(CameraHandle handle, unsigned mediaType);
int CameraDisplayInit(CameraHandle handle, void* window);
int CameraSetDisplaySize(CameraHandle handle, int width, int height);
int CameraSetTriggerMode(CameraHandle handle, int mode);
int CameraCreateSettingPageEx(CameraHandle handle);
int CameraShowSettingPage(CameraHandle handle, int show);
int CameraPlay(CameraHandle handle);
int CameraPause(CameraHandle handle);
// The newest frame not yet taken through this handle; the raw buffer stays valid
// until CameraReleaseImageBuffer. `priority` 1 = newest (the only kind served).
int CameraGetImageBufferPriority(CameraHandle handle, CameraFrameHead* head, std::uint8_t** raw,
                                 unsigned timeoutMs, unsigned priority);
int CameraReleaseImageBuffer(CameraHandle handle, std::uint8_t* raw);
// Raw frame into `out` in the output format; `head` then describes `out`.
int CameraImageProcess(CameraHandle handle, const std::uint8_t* raw, std::uint8_t* out, CameraFrameHead* head);
int CameraImageOverlay(CameraHandle handle, std::uint8_t* buffer, const CameraFrameHead* head);
// Line 0..2 drawn as a cross through (x, y); colour 0x00BBGGRR.
int CameraSetCrossLine(CameraHandle handle, int line, int x, int y, unsigned colour, int visible);
int CameraDisplayRGB24(CameraHandle handle, const std::uint8_t* buffer, const CameraFrameHead* head);
int CameraGetFrameStatistic(CameraHandle handle, CameraFrameStatistic* statistic);
int CameraSnapToBuffer(CameraHandle handle, CameraFrameHead* head, std::uint8_t** raw, unsigned timeoutMs);
int CameraUnInit(CameraHandle handle);

// A processed frame on its way to the window the panel gave CameraDisplayInit.
struct CameraDisplayFrame {
    void* window = nullptr;
    const std::uint8_t* pixels = nullptr;
    int width = 0, height = 0, channels = 3;
    int displayWidth = 0, displayHeight = 0;  // 0: the window's own size
};
using CameraDisplaySink = std::function<void(const CameraDisplayFrame&)>;
// Installed by the camera panel; called on the grab thread that displays.
void SetCameraDisplaySink(CameraDisplaySink sink);

// The small settings page of a device, opened by CameraShowSettingPage.
struct CameraSettingPageInfo {
    CameraHandle handle = 0;
    std::string friendlyName;
    int width = 0, height = 0;  // last frame (or the maximum before any)
    CameraFrameStatistic statistic;
};
using CameraSettingPageHook = std::function<void(const CameraSettingPageInfo&)>;
void SetCameraSettingPageHook(CameraSettingPageHook hook);

} // namespace plat
