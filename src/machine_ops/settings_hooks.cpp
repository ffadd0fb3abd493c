// Every hook of the settings' ports, with the subsystem that fills it.
#include "machine_ops/settings_hooks.h"

#include "base/hooks.h"
#include "machine_ops/auto_transport.h"
#include "settings/basic_settings.h"
#include "machine_ops/basic_teach.h"
#include "machine_ops/cover_tape.h"
#include "machine_ops/dipping_station.h"
#include "machine_ops/origin_update.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"

namespace smt {

void RegisterSettingsHooks(HookRegistry& r) {
    LensCalibrationPort& lens = TheLensCalibrationPort();
    r.Declare("LensCalibrationPort", lens);
    r.Add("vision", "LensCalibrationPort.load", lens.load);
    r.Add("vision", "LensCalibrationPort.isLoaded", lens.isLoaded);
    r.Declare("BasicOkPort", TheBasicOkPort());
    r.Add("cameras", "BasicOkPort.setPanelCalibrator2", TheBasicOkPort().setPanelCalibrator2);
    // AutoZ, "TZ" and the dipping station's buttons.
    r.Declare("FeedOperationPort", TheFeedOperationPort());
    r.Add("feeders", "FeedOperationPort.start", TheFeedOperationPort().start);
    r.Add("feeders", "FeedOperationPort.startRequest", TheFeedOperationPort().startRequest);
    r.Declare("DippingOutputPort", TheDippingOutputPort());
    r.Add("link", "DippingOutputPort.setOutput", TheDippingOutputPort().setOutput);

    OriginShiftPort& shift = TheOriginShiftPort();
    r.Declare("OriginShiftPort", shift);
    r.Add("feeders", "OriginShiftPort.shiftFeedCoordinates", shift.shiftFeedCoordinates);
    r.Add("job lists", "OriginShiftPort.shiftPcbOrigin", shift.shiftPcbOrigin);
    r.Add("nozzle library", "OriginShiftPort.shiftNozzleCoordinates", shift.shiftNozzleCoordinates);

    PulseMachinePort& pulse = ThePulseMachinePort();
    r.Declare("PulseMachinePort", pulse);
    r.Add("link", "PulseMachinePort.headGroup", pulse.headGroup);
    r.Add("link", "PulseMachinePort.counter", pulse.counter);
    r.Add("link", "PulseMachinePort.setOutput", pulse.setOutput);
    r.Add("link", "PulseMachinePort.jogAxis", pulse.jogAxis);

    SettingsRederivations& d = TheSettingsRederivations();
    r.Declare("SettingsRederivations", d);
    r.Add("shell", "SettingsRederivations.convertSettingsToPulses", d.convertSettingsToPulses);
    r.Add("shell", "SettingsRederivations.recomputeLimitPulses", d.recomputeLimitPulses);
    r.Add("nozzle library", "SettingsRederivations.buildNozzleTable", d.buildNozzleTable);
    r.Add("cameras", "SettingsRederivations.applyOriginOffset", d.applyOriginOffset);
    r.Add("run", "SettingsRederivations.updateHeadOffsets", d.updateHeadOffsets);
    r.Add("job lists", "SettingsRederivations.findCurrentPcbIndex", d.findCurrentPcbIndex);
    r.Add("job lists", "SettingsRederivations.convertBoardPointsToPulses", d.convertBoardPointsToPulses);

    AutoTransportPanelPort& conveyor = TheAutoTransport().Port();
    r.Declare("AutoTransportPanelPort", conveyor);
    r.Add("settings", "AutoTransportPanelPort.showStep", conveyor.showStep);
    r.Add("settings", "AutoTransportPanelPort.setCheck", conveyor.setCheck);
    r.Add("settings", "AutoTransportPanelPort.operationEnded", conveyor.operationEnded);
    CoverTestPort& cover = TheCoverTape().Port();
    r.Declare("CoverTestPort", cover);
    r.Add("settings", "CoverTestPort.enableDialog", cover.enableDialog);
    r.Add("settings", "CoverTestPort.enableButton", cover.enableButton);
}

} // namespace smt
