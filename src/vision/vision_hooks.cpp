#include "vision/vision_hooks.h"

#include "base/hooks.h"
#include "vision/camera_ds.h"
#include "vision/camera_panel_port.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/set_view.h"

namespace smt {

void RegisterVisionHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    SetViewSources& s = TheSetViewSources();
    r.Declare("SetViewSources", s);
    r.Add("cameras", "SetViewSources.cameraRecord", s.cameraRecord, Q, std::optional<CameraVisionRecord>{});
    r.Add("cameras", "SetViewSources.visionColourReversal", s.visionColourReversal, Q, false);
    r.Add("job lists", "SetViewSources.markColourReversal", s.markColourReversal, Q, false);
    r.Add("job lists", "SetViewSources.pcbEditorInitialising", s.pcbEditorInitialising, Q, false);
    r.Add("run threads", "SetViewSources.flyMeasure", s.flyMeasure, Q);

    // The grab threads' frames and the panel's controls.
    CameraService::Hooks& service = TheCameraService().hooks();
    r.Declare("CameraService::Hooks", service);
    r.Add("cameras", "CameraService::Hooks.visionTest", service.visionTest, Q);
    r.Add("cameras", "CameraService::Hooks.liveFrame", service.liveFrame, Q);
    r.Add("cameras", "CameraService::Hooks.flyTest", service.flyTest, Q);
    r.Add("run threads", "CameraService::Hooks.flyMeasure", service.flyMeasure, Q);
    r.Add("cameras", "CameraService::Hooks.showResult", service.showResult, Q);
    r.Add("cameras", "CameraService::Hooks.message", service.message, Q);
    SetView::ViewHooks& panelView = TheSetView().view();
    r.Declare("SetView::ViewHooks", panelView);
    r.Add("cameras", "SetView::ViewHooks.refreshControls", panelView.refreshControls, Q);
    r.Add("cameras", "SetView::ViewHooks.refuseEdit", panelView.refuseEdit, Q);
    r.Add("cameras", "SetView::ViewHooks.setTimer1", panelView.setTimer1, Q);

    CameraCalibrationPort& calibration = TheCameraCalibrationPort();
    r.Declare("CameraCalibrationPort", calibration);
    r.Add("camera calibration", "CameraCalibrationPort.startCameraOperation", calibration.startCameraOperation);
    r.Add("camera calibration", "CameraCalibrationPort.startFlyTest", calibration.startFlyTest);
    CameraCalibrationView& calibrationView = TheCameraCalibrationView();
    r.Declare("CameraCalibrationView", calibrationView);
    r.Add("cameras", "CameraCalibrationView.resultsChanged", calibrationView.resultsChanged, Q);

    // The camera panel as the manual control panel's camera buttons and the
    // feeder operations reach it (the rest of its port is registered with the
    // feeders and the job lists that ask it).
    CameraPanelPort& panel = TheCameraPanelPort();
    r.Declare("CameraPanelPort", panel);
    r.Add("cameras", "CameraPanelPort.selectVisionCamera", panel.selectVisionCamera, Q);
    r.Add("cameras", "CameraPanelPort.highSpeedCamera", panel.highSpeedCamera, Q, 0);
    r.Add("cameras", "CameraPanelPort.cameraSwitchOn", panel.cameraSwitchOn, Q, false);
    r.Add("cameras", "CameraPanelPort.showCameraSettings", panel.showCameraSettings, Q);
    r.Add("cameras", "CameraPanelPort.triggerMode", panel.triggerMode, Q, 0);
    r.Add("cameras", "CameraPanelPort.setTriggerMode", panel.setTriggerMode, Q);
    r.Add("cameras", "CameraPanelPort.requestFlyTest", panel.requestFlyTest, Q);
    r.Add("cameras", "CameraPanelPort.useFeedBrightness", panel.useFeedBrightness, Q);
    r.Add("cameras", "CameraPanelPort.setVisionParameters", panel.setVisionParameters, Q);
    r.Add("cameras", "CameraPanelPort.measuredSize", panel.measuredSize, Q, 0.0);
    r.Add("cameras", "CameraPanelPort.visionCamera", panel.visionCamera, Q);

    VideoSourcePort& video = TheVideoSourcePort();
    r.Declare("VideoSourcePort", video);
    r.Add("cameras", "VideoSourcePort.count", video.count, Q, 0);
    r.Add("cameras", "VideoSourcePort.make", video.make, Q);

    CameraListFeederPort& feeders = TheCameraListFeederPort();
    r.Declare("CameraListFeederPort", feeders);
    r.Add("feeders", "CameraListFeederPort.feederCameras", feeders.feederCameras, Q);
    r.Add("feeders", "CameraListFeederPort.markFeedersWithoutCamera", feeders.markFeedersWithoutCamera, Q);
}

} // namespace smt
