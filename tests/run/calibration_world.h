// The calibration procedures' tests on the simulated world: the program's side of
// the cameras as the vision wiring fills it, then the link and the cameras opened.
#pragma once

#include <optional>

#include "../link/world_fixture.h"
#include "base/globals.h"
#include "joblist/run_toolbar.h"
#include "vision/camera_list.h"
#include "vision/camera_service.h"
#include "vision/set_view.h"

namespace smt::test {

class CalibrationWorld : public WorldSimTest {
protected:
    // The panel's camera records from the camera list, the panel's image and light,
    // the camera switch, the fly frames and the fly test's vision test.
    static void CameraHooks() {
        TheSetViewSources().cameraRecord = [](int which) -> std::optional<CameraVisionRecord> {
            const CameraRecord r = which == 0 ? TheCameraList().First() : TheCameraList().Second();
            return CameraVisionRecord{r.VisualZoom, r.VisualSize, r.Light_Contrast, r.Light_Brightness};
        };
        SetView& panel = TheSetView();
        panel.view() = {};
        panel.m_ImageWidth = 1280, panel.m_ImageHeight = 1024;
        panel.m_Light_Brightness = 100;
        panel.m_BinaryImg = 0;
        CommandPanelPort& c = TheCommandPanel();
        c.setCurrentCamera = [](int camera) { g_CurrentCamera = camera; };
        c.highSpeedCamera = [] { return true; };
        c.switchCameraStreams = [](int camera, int mode) { TheCameraService().SwitchToCamera(camera, mode); };
        c.flyFrameEvent = [] { return &TheCameraService().m_hFlyDoneEvent; };
        TheCameraService().hooks().flyTest = [](int nozzle, const cv::Mat& frame) {
            TheSetView().RunVisionTest(&frame, nozzle, false);
        };
    }

    // The link to the world, the high-speed cameras open (the fly camera too when
    // asked), the mark camera current and the world's ledger empty.
    void ConnectAndOpenCameras(bool flyCamera) {
        ConnectToWorld(true);
        if (HasFatalFailure()) return;
        hooks.Take();
        g_HighSpeedCamera = 1;
        g_MarkCameraOn = g_VisualCamera1On = g_VisualCamera2On = true;
        g_FlyCameraOn = flyCamera;
        g_CurrentCamera = 0;
        ASSERT_TRUE(TheCameraService().InitCameras());
        world().ledger().Clear();
    }
};

} // namespace smt::test
