#include "vision/vision_hooks.h"

#include "base/hooks.h"
#include "vision/camera_ds.h"
#include "vision/camera_panel_port.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/set_view.h"

namespace smt {

void RegisterVisionHooks(HookRegistry& r) {
    SetViewSources& s = TheSetViewSources();
    r.Declare("SetViewSources", s);
    r.Add("cameras", "SetViewSources.cameraRecord", s.cameraRecord);
    r.Add("cameras", "SetViewSources.visionColourReversal", s.visionColourReversal);
    r.Add("job lists", "SetViewSources.markColourReversal", s.markColourReversal);
    r.Add("job lists", "SetViewSources.pcbEditorInitialising", s.pcbEditorInitialising);
    r.Add("run threads", "SetViewSources.flyMeasure", s.flyMeasure);

    // The grab threads' frames and the panel's controls.
    CameraService::Hooks& service = TheCameraService().hooks();
    r.Declare("CameraService::Hooks", service);
    r.Add("cameras", "CameraService::Hooks.visionTest", service.visionTest);
    r.Add("cameras", "CameraService::Hooks.liveFrame", service.liveFrame);
    r.Add("cameras", "CameraService::Hooks.flyTest", service.flyTest);
    r.Add("run threads", "CameraService::Hooks.flyMeasure", service.flyMeasure);
    r.Add("cameras", "CameraService::Hooks.showResult", service.showResult);
    r.Add("cameras", "CameraService::Hooks.message", service.message);
    SetView::ViewHooks& panelView = TheSetView().view();
    r.Declare("SetView::ViewHooks", panelView);
    r.Add("cameras", "SetView::ViewHooks.refreshControls", panelView.refreshControls);
    r.Add("cameras", "SetView::ViewHooks.refuseEdit", panelView.refuseEdit);
    r.Add("cameras", "SetView::ViewHooks.setTimer1", panelView.setTimer1);

    CameraCalibrationPort& calibration = TheCameraCalibrationPort();
    r.Declare("CameraCalibrationPort", calibration);
    r.Add("camera calibration", "CameraCalibrationPort.startCameraOperation", calibration.startCameraOperation);
    r.Add("camera calibration", "CameraCalibrationPort.startFlyTest", calibration.startFlyTest);
    CameraCalibrationView& calibrationView = TheCameraCalibrationView();
    r.Declare("CameraCalibrationView", calibrationView);
    r.Add("cameras", "CameraCalibrationView.resultsChanged", calibrationView.resultsChanged);

    // The camera panel as the manual control panel's camera buttons and the
    // feeder operations reach it (the rest of its port is registered with the
    // feeders and the job lists that ask it).
    CameraPanelPort& panel = TheCameraPanelPort();
    r.Declare("CameraPanelPort", panel);
    r.Add("cameras", "CameraPanelPort.selectVisionCamera", panel.selectVisionCamera);
    r.Add("cameras", "CameraPanelPort.highSpeedCamera", panel.highSpeedCamera);
    r.Add("cameras", "CameraPanelPort.cameraSwitchOn", panel.cameraSwitchOn);
    r.Add("cameras", "CameraPanelPort.showCameraSettings", panel.showCameraSettings);
    r.Add("cameras", "CameraPanelPort.triggerMode", panel.triggerMode);
    r.Add("cameras", "CameraPanelPort.setTriggerMode", panel.setTriggerMode);
    r.Add("cameras", "CameraPanelPort.requestFlyTest", panel.requestFlyTest);
    r.Add("cameras", "CameraPanelPort.useFeedBrightness", panel.useFeedBrightness);
    r.Add("cameras", "CameraPanelPort.setVisionParameters", panel.setVisionParameters);
    r.Add("cameras", "CameraPanelPort.measuredSize", panel.measuredSize);
    r.Add("cameras", "CameraPanelPort.visionCamera", panel.visionCamera);

    VideoSourcePort& video = TheVideoSourcePort();
    r.Declare("VideoSourcePort", video);
    r.Add("cameras", "VideoSourcePort.count", video.count);
    r.Add("cameras", "VideoSourcePort.make", video.make);

    CameraListFeederPort& feeders = TheCameraListFeederPort();
    r.Declare("CameraListFeederPort", feeders);
    r.Add("feeders", "CameraListFeederPort.feederCameras", feeders.feederCameras);
    r.Add("feeders", "CameraListFeederPort.markFeedersWithoutCamera", feeders.markFeedersWithoutCamera);
}

} // namespace smt
