#include "app/ui/program_wiring.h"

#include "app/shell_hooks.h"
#include "app/shellservices.h"
#include "app/ui/smtview.h"
#include "base/captions.h"
#include "base/hooks.h"
#include "base/ui/program_view.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_group_file.h"
#include "feeders/feed_group_table.h"
#include "feeders/feeders_hooks.h"
#include "feeders/mark_library.h"
#include "feeders/nozzle_library.h"
#include "feeders/ui/feeders_wiring.h"
#include "firmware/ui/firmware_wiring.h"
#include "joblist/joblist_hooks.h"
#include "joblist/run_toolbar.h"
#include "joblist/smt_strategy.h"
#include "joblist/ui/joblist_wiring.h"
#include "link/homing.h"
#include "link/link_hooks.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "link/positioning.h"
#include "link/ui/link_wiring.h"
#include "run/run_frame.h"
#include "run/run_geometry.h"
#include "run/run_hooks.h"
#include "run/ui/run_wiring.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "machine_ops/settings_hooks.h"
#include "settings/speed_template.h"
#include "machine_ops/ui/settings_wiring.h"
#include "vision/camera_list.h"
#include "vision/set_view.h"
#include "vision/ui/vision_wiring.h"
#include "vision/vision_hooks.h"

#include <QPlainTextEdit>
#include <QPointer>

namespace smt {

namespace {

PositionOffsetsMm BasicSettingsOffsets() {
    const BasicSettings& b = TheBasicSettings();
    PositionOffsetsMm o;
    o.correctionX = {b.m_Correction_X1, b.m_Correction_X2, b.m_Correction_X3, b.m_Correction_X4,
                     b.m_Correction_X5, b.m_Correction_X6, b.m_Correction_X7, b.m_Correction_X8};
    o.correctionY = {b.m_Correction_Y1, b.m_Correction_Y2, b.m_Correction_Y3, b.m_Correction_Y4,
                     b.m_Correction_Y5, b.m_Correction_Y6, b.m_Correction_Y7, b.m_Correction_Y8};
    o.cameraToNozzle1X = b.m_X_CameraToNozzle1;
    o.cameraToNozzle1Y = b.m_Y_CameraToNozzle1;
    o.nozzleToNozzle1X = {0, b.m_X_Nozzle2ToNozzle1, b.m_X_Nozzle3ToNozzle1, b.m_X_Nozzle4ToNozzle1,
                          b.m_X_Nozzle5ToNozzle1, b.m_X_Nozzle6ToNozzle1, b.m_X_Nozzle7ToNozzle1,
                          b.m_X_Nozzle8ToNozzle1};
    o.nozzleToNozzle1Y = {0, b.m_Y_Nozzle2ToNozzle1, b.m_Y_Nozzle3ToNozzle1, b.m_Y_Nozzle4ToNozzle1,
                          b.m_Y_Nozzle5ToNozzle1, b.m_Y_Nozzle6ToNozzle1, b.m_Y_Nozzle7ToNozzle1,
                          b.m_Y_Nozzle8ToNozzle1};
    o.dispenserToNozzle1X = b.m_X_DropsGlueToNozzle1;
    o.dispenserToNozzle1Y = b.m_Y_DropsGlueToNozzle1;
    o.y2ToY1X = b.m_X_Y2ToY1;
    o.y2ToY1Y = b.m_Y_Y2ToY1;
    o.throwPositionX = b.m_X_ThrowPosition;
    o.throwPositionY = b.m_Y_ThrowPosition;
    return o;
}

// The shell's own part: the services it asks of the subsystems, each filled
// once here (no service is wrapped by a subsystem), and what joins the view's
// panels of two subsystems.
void WireShell(Wiring& wiring) {
    ShellServices& s = GetShellServices();
    s.isBusy = [] { return g_Running.load(); };
    s.raiseStopFlags = [] {
        g_StopReceive = true;
        g_StopUdpReply = true;
    };
    s.resetToOrigin = [] { OnResetToOrigin(); };
    s.commModel = [] { return TheBasicSettings().m_CommModel; };
    s.activeSpeedClass = [] { return TheSpeedTemplates().Settings().m_SpeedMenuCheck; };
    s.pulseFactors = [] { return ThePulseFactors().AsArray(); };
    s.positionOffsets = BasicSettingsOffsets;
    // After the pulse values: the run's head reach first, the nozzle library's
    // pulse table last (it reads what came before).
    s.afterPositionPulses = [] {
        UpdateHeadOffsets();
        TheNozzleLibrary().BuildNozzleTable();
    };
    s.resetStrategyForMachineType = [](const std::string& folder) { TheSmtStrategy().ResetForMachineType(folder); };
    // Only a table that was read is written: an unread one would empty the file.
    s.writeFeedGroupTable = [] { WriteFeedGroupTable(TheFeedGroupTable(), g_FeedLines); };
    // The full save's library sections: the automatic feeders', then the camera table's.
    s.saveLibraryConfig = [](const std::string& folder) {
        SaveAutoFeedConfig(TheAutoFeed(), ConfigFilePath(folder));
        TheCameraList().SaveConfig(ConfigFilePath(folder));
    };
    s.stopRun = [] { StopRunForClosing(); };
    s.saveCameraPanelConfig = [](const std::string& folder) { return TheSetView().SaveConfig(folder); };
    s.closeOrdinaryCamera = [](int index) { TheSetView().CloseDsCamera(index); };

    wiring.OnView("shell", [](ProgramView& programView) {
        auto* view = static_cast<CSMTView*>(&programView);
        QPointer<CSMTView> v(view);
        ShellServices& shell = GetShellServices();
        shell.layoutManualControl = [v](int type) {
            if (v && v->m_pManualControl) v->m_pManualControl->LayoutManualControlForModel(type);
        };
        // Nothing to keep once the panel is gone.
        shell.saveManualControlConfig = [v](const std::string& folder) {
            return !v || !v->m_pManualControl || v->m_pManualControl->SaveManualControlConfig(folder);
        };
        shell.sortFeedList = [v] {
            if (!v || !v->m_pFeedList) return;
            v->m_pFeedList->List().sortColumn = 0;
            v->m_pFeedList->SortFeedList();
        };
        SetPositioningMessages(view->m_Messages);
        shell.positioningCommand = [v](int id) {
            if (v) SetPositioningMessages(v->m_Messages);
            OnPositioningCommand(id);
        };
        // The pulse dialog's OK re-derives the view's travel limits in pulses.
        SettingsRederivations& r = TheSettingsRederivations();
        r.recomputeLimitPulses = [v] {
            if (!v) return;
            const BasicSettings& b = TheBasicSettings();
            const PulseFactors& f = ThePulseFactors();
            v->RecomputeLimitPulses(b.m_X_Limit, b.m_Y_Limit, b.m_Z_Limit, f.m_X_Pulse, f.m_Y_Pulse, f.m_Z_Pulse);
        };
        r.convertSettingsToPulses = [v] {
            if (v) v->ComputePositionPulses();
        };
        // The run toolbar writes its refusals into the manual control panel's trace box.
        TheRunToolbarPort().setTrace = [v](const std::string& text) {
            if (!v || !v->m_pManualControl) return;
            if (auto* trace = qobject_cast<QPlainTextEdit*>(v->m_pManualControl->Control(mc::Trace)))
                trace->setPlainText(QString::fromStdString(text));
        };
        // The one-key clear is where the PCB editor, the mark library ("CX", "CY")
        // and the feeder list measure from; each takes the counters, in this order.
        TheHomingPort().recordReference = [v](const std::array<std::int32_t, 4>& c) {
            if (v) {
                PcbEditor& pcb = v->Job().Pcb();
                pcb.m_ZeroPosX = c[0];
                pcb.m_ZeroPosY = c[1];
                pcb.m_ZeroPosX2 = c[2];
                pcb.m_ZeroPosY2 = c[3];
            }
            TheMarkLibrary().m_Base = c;
            if (v && v->m_pFeedList) {
                v->m_pFeedList->List().refPulseX = c[0];
                v->m_pFeedList->List().refPulseY = c[1];
            }
        };
    });
}

} // namespace

void WireProgram() {
    HookRegistry& r = TheHookRegistry();
    for (auto registerHooks : {RegisterShellHooks, RegisterLinkHooks, RegisterSettingsHooks, RegisterVisionHooks,
                               RegisterFeedersHooks, RegisterJobListHooks, RegisterRunHooks})
        registerHooks(r);

    // The one ordered list. Each wiring fills its own hooks at once and hands the
    // parts that need the main view to `w`; the view runs those in this same order
    // when it is created. No hook is filled twice, so the order decides only what
    // a view part finds already in place:
    Wiring& w = TheWiring();
    w.Clear();
    // 1. The link first: every other subsystem sends through it, and its view part
    //    joins the jog to the manual control panel the view has just built.
    WireLink(w);
    // 2. The settings: the link reads them (debug mode, limits on the link, homing
    //    switches); their view part fills the first update's loaders the later
    //    loaders read from (speed tables, pulse factors) and the cover-tape page the
    //    placement strategy opens.
    WireSettings(w);
    // 3. The cameras: the panel the feeder operations and the job lists drive, and
    //    the camera table whose records the feeders' view part reads.
    WireVision(w);
    // 4. The board firmware: only its dialog in the settings menu.
    WireFirmware(w);
    // 5. The feeders, above the cameras: the feeder list answers the camera table
    //    and the part list; the nozzle table is parsed before the job's rows need it.
    WireFeeders(w);
    // 6. The job lists, above the feeders: the part list panel, the PCB editor,
    //    the run toolbar and the rows the feeders' editors update.
    WireJobLists(w, [](ProgramView& v) -> JobLists& { return static_cast<CSMTView&>(v).Job(); });
    // 7. The run frame the job lists' run toolbar starts.
    WireRun(w);
    // 8. The shell last: its services and the glue between two subsystems' panels
    //    (trace box, one-key clear, positioning messages) need every panel in place.
    WireShell(w);
}

} // namespace smt
