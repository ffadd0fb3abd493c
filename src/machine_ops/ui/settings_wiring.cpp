#include "machine_ops/ui/settings_wiring.h"

#include <QPointer>

#include <utility>

#include "base/captions.h"
#include "base/command_ids.h"
#include "base/globals.h"
#include "base/ui/program_view.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "machine_ops/auto_transport.h"
#include "settings/basic_settings.h"
#include "machine_ops/cover_tape.h"
#include "machine_ops/dipping_station.h"
#include "settings/limit_detour.h"
#include "machine_ops/origin_update.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "machine_ops/ui/dialog_auto_transport.h"
#include "machine_ops/ui/dialog_dipping_station.h"
#include "machine_ops/ui/dialog_set_basic.h"
#include "machine_ops/ui/dialog_set_cover.h"
#include "machine_ops/ui/dialog_set_pulse.h"
#include "machine_ops/ui/dialog_version_number.h"
#include "machine_ops/ui/dialogspeedtemplate.h"
#include "settings/version_switches.h"

namespace smt {

namespace {

void ViewPart(ProgramView& view) {
    // The conveyor panel the view holds shows the conveyor's steps and checks.
    if (auto* conveyor = view.Widget()->findChild<CDialogAutoTransport*>("CDialogAutoTransport"))
        conveyor->FillPanelHooks();
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
    first.Set("DippingStation.LoadConfig", [](const StepContext& c) {
        LoadDippingStationConfig(TheDippingStation(), ConfigFilePath(c.startFolder));
    });
    first.Set("OriginUpdate.LoadConfig", [](const StepContext& c) {
        LoadOriginUpdateConfig(TheOriginUpdate(), ConfigFilePath(c.startFolder), g_MachineType.load());
    });
    first.Set("PositionLimitDetour.LoadConfig", [](const StepContext& c) {
        LoadPositionLimitDetourConfig(ThePositionLimitDetour(), ConfigFilePath(c.startFolder));
    });

    // Captions at the view's creation and again after a language change.
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()}) {
        steps->Set("SetPulse.LoadLanguage",
                   [](const StepContext& c) { ThePulseCaptions().Load(c.startFolder, c.language); });
        steps->Set("VersionNumber.LoadLanguage",
                   [](const StepContext& c) { TheVersionNumberCaptions().Load(c.startFolder, c.language); });
        // The held dialogs read their captions with the basic settings' own.
        steps->Set("SetBasic.LoadLanguage", [](const StepContext& c) {
            TheBasicCaptions().Load(c.startFolder, c.language);
            TheOriginUpdateCaptions().Load(c.startFolder, c.language);
            TheDetourCaptions().Load(c.startFolder, c.language);
        });
        steps->Set("DippingStation.LoadLanguage", [](const StepContext& c) {
            TheDippingStationCaptions().Load(c.startFolder, c.language);
        });
    }
    view.LanguageChangeSteps().Set("SpeedTemplate.ParseRows", [](const StepContext&) {
        TheSpeedTemplates().LoadSpeedTables(g_FigLists.speed, g_LanguageIndex);
    });

    // A dialog built for each opening shows the live values as they are then.
    ProgramView* v = &view;
    view.SetDialogOpener(cmd::SetPulse, [v](int) {
        CDialogSetPulse dialog(ThePulseSettings(), ConfigFilePath(v->StartFolder()), g_MachineType, v->Widget());
        dialog.setObjectName("CDialogSetPulse");
        v->RunModal(dialog);
    });
    view.SetDialogOpener(cmd::VersionNumber, [v](int) {
        CDialogVersionNumber dialog(TheVersionSwitches(), ConfigFilePath(v->StartFolder()), v->Widget());
        dialog.setObjectName("CDialogVersionNumber");
        v->RunModal(dialog);
    });
    // The speed template dialog opens on the page of its command.
    const std::pair<int, int> speedPages[] = {{cmd::SpeedSet, 0}, {cmd::HighSpeedTemplate, 1},
                                              {cmd::MediumSpeedTemplate, 2}, {cmd::LowSpeedTemplate, 3}};
    for (auto [id, page] : speedPages) {
        view.SetDialogOpener(id, [v, page](int) {
            CDialogSpeedTemplate dialog(TheSpeedTemplates(), g_FigLists, v->StartFolder(), g_LanguageIndex,
                                        v->LanguageName(), page, v->Widget());
            dialog.setObjectName("CDialogSpeedTemplate");
            v->RunModal(dialog);
        });
    }
    view.SetDialogOpener(cmd::SetBasic, [v](int) {
        CDialogSetBasic dialog(v->Widget());
        dialog.SetStartFolder(v->StartFolder());
        v->RunModal(dialog);
    });
    view.SetDialogOpener(cmd::DippingStation, [v](int) {
        CDialogDippingStation dialog(v->Widget());
        dialog.SetStartFolder(v->StartFolder());
        v->RunModal(dialog);
    });

    // The cover-tape page: the feeder menu's command and the placement
    // strategy's "设置" open the same dialog, held as long as the view.
    auto* cover = new CDialogSetCover(TheCoverTape(), view.Widget());
    cover->hide();
    QPointer<CDialogSetCover> coverPage(cover);
    first.Set("SetCover.LoadConfig", [coverPage](const StepContext& c) {
        if (coverPage) coverPage->LoadConfig(c.startFolder);
        else TheCoverTape().LoadConfig(ConfigFilePath(c.startFolder));
    });
    view.SetDialogOpener(cmd::SetCover, [v, coverPage](int) {
        if (!coverPage) return;
        coverPage->OnInitDialog(v->StartFolder(), v->LanguageName());
        v->RunModal(*coverPage);
    });
}

} // namespace

void WireSettings(Wiring& wiring) {
    LinkHooks& link = GetLinkHooks();
    link.debugModel = [] { return TheBasicSettings().m_DebugModel != 0; };
    link.sendLimitsOnLink = [] { return TheVersionSwitches().m_V2_06 != 0; };
    // The homing's axis switches follow the origin update's values as loaded.
    InstallOriginHomingSwitches();
    // The manual panel's clamp button follows whether the conveyor is in use.
    ConveyorInUseSource() = [] { return TheAutoTransport().Config().m_AutoTransport != 0; };
    // The dipping station switches its output through the link.
    TheDippingOutputPort().setOutput = [](const OutputSwitch& o) { return SetOutput(o); };
    // The width counter counts from the width at the drive's home.
    TheCommandPanel().conveyorWidthPulses = [] {
        const AutoTransportConfig c = TheAutoTransport().Config();
        return WidthPulses(c.m_ResetWidth, c, ThePulseFactors());
    };
    wiring.OnView("settings", ViewPart);
}

} // namespace smt
