#include "vision/ui/camera_list_wiring.h"

#include <QPointer>

#include <memory>

#include "app/menus.h"
#include "app/shellservices.h"
#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "base/captions.h"
#include "base/globals.h"
#include "base/hooks.h"
#include "feeders/ui/dialog_feed_list.h"
#include "link/positioning.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "vision/camera_list.h"
#include "vision/camera_panel_port.h"
#include "vision/set_view.h"
#include "vision/ui/dialog_camera_list.h"

namespace smt {

namespace {

QPointer<CSMTView> g_view;

using SaveFn = std::function<void(const std::string&)>;

// The full save stores CameraListConfig after whatever else saves through the
// same service (the automatic feeders' section).
struct CameraListConfigSave {
    SaveFn before;
    void operator()(const std::string& startFolder) const {
        if (before) before(startFolder);
        TheCameraList().SaveConfig(ConfigFilePath(startFolder));
    }
};

} // namespace

void WireCameraList(CSMTView& view) {
    g_view = &view;
    CameraList& list = TheCameraList();
    NamedSteps& first = view.FirstUpdateSteps();
    first.Set("CameraList.ParseRow", [&list](const StepContext&) { list.ParseRow(g_FigLists.camera); });
    first.Set("CameraList.LoadConfig",
              [&list](const StepContext& c) { list.LoadConfig(ConfigFilePath(c.startFolder)); });

    CSMTView* v = &view;
    auto dialog = std::make_shared<QPointer<CDialogCameraList>>();
    auto ensure = [v, dialog, &list]() -> CDialogCameraList& {
        if (!*dialog) {
            auto* d = new CDialogCameraList(list, v);
            d->m_StartFolder = [v] { return v->Frame()->m_StartDirectory; };
            d->m_FeederCameras = [v] {
                std::vector<std::string> cameras;
                if (v->m_pFeedList)
                    for (const FeedListEntry& e : v->m_pFeedList->List().rows) cameras.push_back(e.text[12]);
                return cameras;
            };
            d->m_MarkFeeders = [v](const std::vector<int>& rows) {
                if (!v->m_pFeedList) return;
                FeedList& feeders = v->m_pFeedList->List();
                // Image 4 of the camera column: the feeder names no camera of the table.
                for (int r : rows)
                    if (r < static_cast<int>(feeders.rows.size())) feeders.rows[r].SetIcon(12, feedicon::No);
                if (feeders.changed) feeders.changed();
            };
            *dialog = d;
        }
        return **dialog;
    };
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()})
        steps->Set("CameraList.LoadLanguage", [&list, dialog](const StepContext& c) {
            list.m_ListTexts.Load(c.startFolder, c.language);
            list.m_EditTexts.Load(c.startFolder, c.language);
            if (*dialog) (*dialog)->ApplyTexts();
        });
    view.m_DialogOpeners[cmd::CameraList] = [v, ensure](int) {
        CDialogCameraList& d = ensure();
        d.OnInitDialog();
        v->m_RunModal(d);
    };
    QObject::connect(&view, &QObject::destroyed, [] { TheCameraList().FreeTable(); });

    ThePositioningPort().cameraRecords = [] {
        std::vector<CameraRow> rows;
        for (const CameraCells& c : TheCameraList().Rows()) rows.push_back({c[0], c[1], c[2]});
        return rows;
    };
    // The package and feeder editors offer the cameras by name, in table order.
    TheCameraPanelPort().cameraNames = [] {
        std::vector<std::string> names;
        for (const CameraCells& c : TheCameraList().Rows()) names.push_back(c[0]);
        return names;
    };
    // The panel's vision cameras take their scale, frame size and light from the records;
    // a record the table does not fill (number 0) is absent.
    SetViewSources& sources = TheSetViewSources();
    sources.cameraRecord = [](int which) -> std::optional<CameraVisionRecord> {
        const CameraRecord r = which == 0 ? TheCameraList().First() : TheCameraList().Second();
        if (r.CameraNumber == 0) return std::nullopt;
        return CameraVisionRecord{r.VisualZoom, r.VisualSize, r.Light_Contrast, r.Light_Brightness};
    };
    sources.visionColourReversal = [] { return TheCameraList().Settings().m_VisualImageColorReversal != 0; };
    TheSettingsRederivations().applyOriginOffset = [](double dx, double dy) {
        const auto& f = ThePulseFactors();
        std::string folder = g_view ? g_view->Frame()->m_StartDirectory : std::string(".");
        TheCameraList().ApplyOriginOffset(dx, dy, f.m_X_Pulse, f.m_Y_Pulse, g_FigLists.camera,
                                          ConfigFilePath(folder));
    };
    SaveFn& save = GetShellServices().saveLibraryConfig;
    if (!save.target<CameraListConfigSave>()) {
        // The stand-in would tell the operator "not available yet" on every save.
        SaveFn before = save.target<NotAvailableFn<void(const std::string&)>>() ? SaveFn{} : save;
        save = CameraListConfigSave{before};
    }
}

void RegisterCameraListHooks(HookRegistry& r) {
    CameraCalibrationPort& calibration = TheCameraCalibrationPort();
    r.Add("cameras", "CameraCalibrationPort.startCameraOperation", calibration.startCameraOperation);
    r.Add("cameras", "CameraCalibrationPort.startFlyTest", calibration.startFlyTest);
}

} // namespace smt
