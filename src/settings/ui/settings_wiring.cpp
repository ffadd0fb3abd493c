#include "settings/ui/settings_wiring.h"

#include "base/captions.h"
#include "base/globals.h"
#include "app/menus.h"
#include "app/shellservices.h"
#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "app/viewcore.h"
#include "link/link_state.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "settings/speed_template.h"
#include "settings/ui/dialog_set_basic.h"
#include "settings/ui/dialog_set_pulse.h"
#include "settings/ui/dialog_version_number.h"
#include "settings/ui/dialogspeedtemplate.h"
#include "settings/version_switches.h"

namespace smt {

void WireSettingsSubsystem(CSMTView& view) {
    NamedSteps& first = view.FirstUpdateSteps();
    first.Set("SpeedTemplate.ParseRows", [](const StepContext&) {
        TheSpeedTemplates().LoadSpeedTables(g_FigLists.speed, g_LanguageIndex);
    });
    first.Set("SetBasic.LoadConfig", [](const StepContext& c) {
        LoadSetBasicConfig(TheBasicSettings(), ConfigFilePath(c.startFolder));
    });
    first.Set("SpeedTemplate.LoadConfig", [](const StepContext& c) { TheSpeedTemplates().LoadConfig(c.startFolder); });
    first.Set("SetPulse.LoadConfig", [](const StepContext& c) {
        LoadSetPulseConfig(ThePulseFactors(), ConfigFilePath(c.startFolder));
    });
    first.Set("VersionNumber.LoadConfig", [](const StepContext& c) {
        LoadCpuVersionConfig(TheVersionSwitches(), ConfigFilePath(c.startFolder));
    });
    first.Set("SpeedClasses.Load", [](const StepContext& c) { TheSpeedTemplates().LoadSpeedTypeConfigs(c.startFolder); });

    // Captions at the view's creation and again after a language change.
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()}) {
        steps->Set("SetPulse.LoadLanguage",
                   [](const StepContext& c) { ThePulseCaptions().Load(c.startFolder, c.language); });
        steps->Set("VersionNumber.LoadLanguage",
                   [](const StepContext& c) { TheVersionNumberCaptions().Load(c.startFolder, c.language); });
    }
    view.LanguageChangeSteps().Set("SpeedTemplate.ParseRows", [](const StepContext&) {
        TheSpeedTemplates().LoadSpeedTables(g_FigLists.speed, g_LanguageIndex);
    });

    // A dialog built for each opening shows the live values as they are then.
    CSMTView* v = &view;
    auto startFolder = [v] { return v->Frame()->m_StartDirectory; };
    view.m_DialogOpeners[cmd::SetPulse] = [v, startFolder](int) {
        CDialogSetPulse dialog(ThePulseSettings(), ConfigFilePath(startFolder()), g_MachineType, v);
        dialog.setObjectName("CDialogSetPulse");
        v->m_RunModal(dialog);
    };
    view.m_DialogOpeners[cmd::VersionNumber] = [v, startFolder](int) {
        CDialogVersionNumber dialog(TheVersionSwitches(), ConfigFilePath(startFolder()), v);
        dialog.setObjectName("CDialogVersionNumber");
        v->m_RunModal(dialog);
    };
    for (int id : {cmd::SpeedSet, cmd::HighSpeedTemplate, cmd::MediumSpeedTemplate, cmd::LowSpeedTemplate}) {
        view.m_DialogOpeners[id] = [v, startFolder](int command) {
            CDialogSpeedTemplate dialog(TheSpeedTemplates(), g_FigLists, startFolder(), g_LanguageIndex,
                                        v->Frame()->m_LanguageName, SpeedTemplatePage(command), v);
            dialog.setObjectName("CDialogSpeedTemplate");
            v->m_RunModal(dialog);
        };
    }

    // The pulse dialog's OK re-derives the view's travel limits in pulses.
    TheSettingsRederivations().recomputeLimitPulses = [v] {
        const BasicSettings& b = TheBasicSettings();
        const PulseFactors& f = ThePulseFactors();
        v->RecomputeLimitPulses(b.m_X_Limit, b.m_Y_Limit, b.m_Z_Limit, f.m_X_Pulse, f.m_Y_Pulse, f.m_Z_Pulse);
    };
    TheSettingsRederivations().convertSettingsToPulses = [v] { v->ComputePositionPulses(); };

    WireBasicSettingsDialogs(view);
}

void WireSettingsServices() {
    ShellServices& s = GetShellServices();
    s.commModel = [] { return TheBasicSettings().m_CommModel; };
    s.activeSpeedClass = [] { return TheSpeedTemplates().Settings().m_SpeedMenuCheck; };
    s.pulseFactors = [] { return ThePulseFactors().AsArray(); };
    LinkHooks& link = GetLinkHooks();
    link.debugModel = [] { return TheBasicSettings().m_DebugModel != 0; };
    link.sendLimitsOnLink = [] { return TheVersionSwitches().m_V2_06 != 0; };
    s.positionOffsets = [] {
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
    };
}

} // namespace smt
