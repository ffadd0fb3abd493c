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
    constexpr auto Q = HookKind::Query;
    LensCalibrationPort& lens = TheLensCalibrationPort();
    r.Declare("LensCalibrationPort", lens);
    r.Add("vision", "LensCalibrationPort.load", lens.load, Q);
    r.Add("vision", "LensCalibrationPort.isLoaded", lens.isLoaded, Q);
    r.Declare("BasicOkPort", TheBasicOkPort());
    r.Add("cameras", "BasicOkPort.setPanelCalibrator2", TheBasicOkPort().setPanelCalibrator2, Q);
    // AutoZ, "TZ" and the dipping station's buttons.
    r.Declare("FeedOperationPort", TheFeedOperationPort());
    r.Add("feeders", "FeedOperationPort.start", TheFeedOperationPort().start);
    r.Add("feeders", "FeedOperationPort.startRequest", TheFeedOperationPort().startRequest);
    r.Declare("DippingOutputPort", TheDippingOutputPort());
    r.Add("link", "DippingOutputPort.setOutput", TheDippingOutputPort().setOutput, Q);

    OriginShiftPort& shift = TheOriginShiftPort();
    r.Declare("OriginShiftPort", shift);
    r.Add("feeders", "OriginShiftPort.shiftFeedCoordinates", shift.shiftFeedCoordinates, Q);
    r.Add("job lists", "OriginShiftPort.shiftPcbOrigin", shift.shiftPcbOrigin, Q);
    r.Add("nozzle library", "OriginShiftPort.shiftNozzleCoordinates", shift.shiftNozzleCoordinates, Q);

    PulseMachinePort& pulse = ThePulseMachinePort();
    r.Declare("PulseMachinePort", pulse);
    r.Add("link", "PulseMachinePort.headGroup", pulse.headGroup, Q, 1);
    r.Add("link", "PulseMachinePort.counter", pulse.counter, Q);
    r.Add("link", "PulseMachinePort.setOutput", pulse.setOutput, Q);
    r.Add("link", "PulseMachinePort.jogAxis", pulse.jogAxis);

    SettingsRederivations& d = TheSettingsRederivations();
    r.Declare("SettingsRederivations", d);
    r.Add("shell", "SettingsRederivations.convertSettingsToPulses", d.convertSettingsToPulses, Q);
    r.Add("shell", "SettingsRederivations.recomputeLimitPulses", d.recomputeLimitPulses, Q);
    r.Add("nozzle library", "SettingsRederivations.buildNozzleTable", d.buildNozzleTable, Q);
    r.Add("cameras", "SettingsRederivations.applyOriginOffset", d.applyOriginOffset, Q);
    r.Add("run", "SettingsRederivations.updateHeadOffsets", d.updateHeadOffsets, Q);
    r.Add("job lists", "SettingsRederivations.findCurrentPcbIndex", d.findCurrentPcbIndex, Q, -1);
    r.Add("job lists", "SettingsRederivations.convertBoardPointsToPulses", d.convertBoardPointsToPulses, Q);

    AutoTransportPanelPort& conveyor = TheAutoTransport().Port();
    r.Declare("AutoTransportPanelPort", conveyor);
    r.Add("settings", "AutoTransportPanelPort.showStep", conveyor.showStep, Q);
    r.Add("settings", "AutoTransportPanelPort.setCheck", conveyor.setCheck, Q);
    r.Add("settings", "AutoTransportPanelPort.operationEnded", conveyor.operationEnded, Q);
    CoverTestPort& cover = TheCoverTape().Port();
    r.Declare("CoverTestPort", cover);
    r.Add("settings", "CoverTestPort.enableDialog", cover.enableDialog, Q);
    r.Add("settings", "CoverTestPort.enableButton", cover.enableButton, Q);
}

} // namespace smt
