// The run's access to the cameras, shared by the mark centring and the part
// measurements: whether a camera can give frames (and the operator's message when
// it cannot), one frame of a camera within a bound, and the colour inversion.
//
// A camera gives its frames one of two ways:
//   - industrial (SDK) camera: `g_HighSpeedCamera` is 1 and the camera's SDK flag
//     (`CameraSdkFlag`) is set; the frame is one bounded request to the camera
//     service (`CameraService::GrabFrame`).
//   - otherwise the camera panel's ordinary video camera `videoIndex` (0 the first,
//     1 the second object of the panel): the panel's live-view timer 1 is stopped,
//     one frame read (`SetView::QueryDsFrame`, at most a second), the timer set
//     back to 40 ms.
// Everything here runs on the caller's thread (run, calibration or positioning
// worker) and touches no widget: the message goes through plat::ShowMessageBox,
// the timer through the panel's view hook.
#pragma once

#include <chrono>
#include <optional>

#include <opencv2/core.hpp>

#include "vision/camera_service.h"

namespace smt {

// True when `camera` (CameraIndex) would be taken from its industrial camera.
bool RunCameraIsSdk(int camera);

// Whether `camera` can give a frame now: its industrial camera is present
// (SDK path), or the panel's ordinary camera `videoIndex` is open. With
// `g_HighSpeedCamera` neither 0 nor 1 (no cameras) nothing is present.
bool RunCameraPresent(int camera, int videoIndex = 0);

// The camera check of a recognition: RunCameraPresent, and when it fails the
// part list's message `PartList.c_Message_29` in a topmost OK box; false then.
bool CheckRunCamera(int camera, int videoIndex = 0);

// One frame of `camera` as an image of its own (later frames never change it);
// nullopt when none came within `limit` (SDK path) or the ordinary camera gave
// none, with a trace line naming the camera. Callers treat nullopt as a failed
// recognition.
std::optional<cv::Mat> AcquireRunFrame(int camera, int videoIndex = 0,
                                       std::chrono::milliseconds limit = kFrameWaitLimit);

// `frame` of `camera` as a recognition of a window of windowMm at `scale` pixels
// per mm reads it: vision camera 2's frames from an ordinary video camera, with
// the panel's undistortion on, corrected for the lens, and then that window alone
// (vision/lens_calibration.h: the same pixels as in the whole corrected frame);
// any other frame as it is.
cv::Mat UndistortForRecognition(const cv::Mat& frame, int camera, double windowMm, double scale);

// Every byte replaced by 255 minus its value (8-bit images of any channel
// count), into a new buffer, so an image shared with the camera slot stays as it was.
void InvertFrame(cv::Mat& image);

} // namespace smt
