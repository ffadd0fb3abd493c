// The feeder operation worker in the program: the starters' port, the readers of
// the automatic-feeder settings, and what the worker asks of the camera panel.
#include "feeders/ui/feed_operation_wiring.h"

#include "app/ui/smtview.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_operation.h"
#include "feeders/ui/dialog_feed_list.h"
#include "link/commands.h"
#include "link/jog.h"
#include "vision/camera_list.h"
#include "vision/camera_panel_port.h"
#include "vision/set_view.h"

namespace smt {

void WireFeederOperations(CSMTView& view) {
    QPointer<CSMTView> v(&view);
    // Asked on the starter's (user-interface) thread: the worker never reads the panel.
    InstallFeedOperationWorker([v] {
        FeedOperationTexts texts;
        if (v && v->m_pFeedList) {
            const FeedList& list = v->m_pFeedList->List();
            texts.message07 = list.Text("c_Message_07");
            texts.message20 = list.partListMessage20;
        }
        return texts;
    });

    TheCommandPanel().feedDelayMs = [] { return TheAutoFeed().m_Feed_Delay.load(); };
    JogPort& jog = TheManualJog().Port();
    jog.openLength = [] { return TheAutoFeed().m_Open_Length.load(); };
    jog.closeLength = [] { return TheAutoFeed().m_Close_Length.load(); };

    CameraPanelPort& panel = TheCameraPanelPort();
    panel.useFeedBrightness = [] { TheSetView().m_UseFeedBrightness = true; };
    panel.setVisionParameters = [](int contrast, int brightness, double scale, double size) {
        TheSetView().SetVisionParameters(contrast, brightness, scale, size);
        if (const auto& refresh = TheSetView().view().refreshControls) refresh();
    };
    panel.visionCamera = [](int which) {
        const CameraRecord r = which == 0 ? TheCameraList().First() : TheCameraList().Second();
        return VisionCameraPlace{r.CameraPulse_X, r.CameraPulse_Y, r.VisualZoom, r.Light_Brightness};
    };
}

} // namespace smt
