#include "vision/vision_hooks.h"

#include "base/hooks.h"
#include "vision/camera_list.h"
#include "vision/set_view.h"

namespace smt {

void RegisterVisionHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    SetViewSources& s = TheSetViewSources();
    r.Add("cameras", "SetViewSources.cameraRecord", s.cameraRecord, Q, std::optional<CameraVisionRecord>{});
    r.Add("cameras", "SetViewSources.visionColourReversal", s.visionColourReversal, Q, false);
    r.Add("job lists", "SetViewSources.markColourReversal", s.markColourReversal, Q, false);
    r.Add("job lists", "SetViewSources.pcbEditorInitialising", s.pcbEditorInitialising, Q, false);
    r.Add("run threads", "SetViewSources.flyMeasure", s.flyMeasure, Q);

    CameraCalibrationPort& calibration = TheCameraCalibrationPort();
    r.Add("camera calibration", "CameraCalibrationPort.startCameraOperation", calibration.startCameraOperation);
    r.Add("camera calibration", "CameraCalibrationPort.startFlyTest", calibration.startFlyTest);

    CameraListFeederPort& feeders = TheCameraListFeederPort();
    r.Add("feeders", "CameraListFeederPort.feederCameras", feeders.feederCameras, Q);
    r.Add("feeders", "CameraListFeederPort.markFeedersWithoutCamera", feeders.markFeedersWithoutCamera, Q);
}

} // namespace smt
