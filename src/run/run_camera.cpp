#include "run/run_camera.h"

#include <opencv2/core.hpp>

#include "base/log.h"
#include "joblist/part_list_texts.h"
#include "link/link_state.h"
#include "platform/event.h"
#include "platform/msgbox.h"
#include "settings/version_switches.h"
#include "vision/lens_calibration.h"
#include "vision/set_view.h"

namespace smt {

namespace {

constexpr int kLiveViewMs = 40;

void SetTimer1(int ms) {
    if (const auto& timer = TheSetView().view().setTimer1) timer(ms);
}

} // namespace

bool RunCameraIsSdk(int camera) { return g_HighSpeedCamera.load() == 1 && CameraSdkFlag(camera); }

bool RunCameraPresent(int camera, int videoIndex) {
    const int mode = g_HighSpeedCamera.load();
    if (mode != 0 && mode != 1) return false;
    if (RunCameraIsSdk(camera)) return TheCameraService().IsCameraPresent(camera);
    return TheSetView().DsCameraOpen(videoIndex);
}

bool CheckRunCamera(int camera, int videoIndex) {
    if (RunCameraPresent(camera, videoIndex)) return true;
    const std::string text = PartListText("Message_29");
    plat::MessageBoxOk(text, true);
    return false;
}

std::optional<cv::Mat> AcquireRunFrame(int camera, int videoIndex, std::chrono::milliseconds limit) {
    // No frame within the bound: the camera's last picture shows the machine as it
    // was, and is never measured. The step's line in the trace (and the log) names
    // the camera that gives none; the step then fails as a recognition without a
    // find, with its own message.
    const auto none = [camera] {
        const std::string line = TheSetView().NoPictureText(camera);
        AppendCommTrace(line, true);
        if (TheVersionSwitches().m_Write_Logfile) LogPrintf(GetLogStream(), true, "%s", line.c_str());
        return std::nullopt;
    };
    if (RunCameraIsSdk(camera)) {
        std::optional<cv::Mat> frame = TheCameraService().GrabFrame(camera, limit);
        if (!frame || frame->empty()) return none();
        return frame;  // the slot's image: the service replaces the slot, never writes into it
    }
    // The live view reads the same camera object: it pauses for this frame.
    SetTimer1(0);
    plat::SleepFor(plat::Millis(10));
    cv::Mat frame = TheSetView().QueryDsFrame(videoIndex);  // a clone, waits at most a second
    SetTimer1(kLiveViewMs);
    if (frame.empty()) return none();
    return frame;
}

cv::Mat UndistortForRecognition(const cv::Mat& frame, int camera, double windowMm, double scale) {
    // The whole frame's remap would cost more than the recognition itself.
    if (camera == kVisionCamera2 && !RunCameraIsSdk(camera) && TheSetView().m_Undistort.load())
        return UndistortRecognitionWindow(TheLensCalibration(), frame, windowMm, scale);
    return frame;
}

void InvertFrame(cv::Mat& image) {
    if (image.empty()) return;
    cv::Mat inverted;
    cv::bitwise_not(image, inverted);
    image = inverted;
}

} // namespace smt
