#include "link/ui/link_wiring.h"

#include "base/globals.h"
#include "base/ui/program_view.h"
#include "link/command_common.h"
#include "link/commands.h"
#include "link/connect.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/link_state.h"
#include "link/manual_control.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "link/ui/jog_glue.h"
#include "link/ui/manual_control_dialog.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"

namespace smt {

namespace {
std::int32_t CounterOf(PulseCounter c) {
    switch (c) {
    case PulseCounter::X: return g_PulseX.load();
    case PulseCounter::Y: return g_PulseY.load();
    case PulseCounter::X2: return g_PulseX2.load();
    case PulseCounter::Y2: return g_PulseY2.load();
    case PulseCounter::Z1: case PulseCounter::Z2: case PulseCounter::Z3:
    case PulseCounter::Z4: case PulseCounter::Z5: case PulseCounter::Z6:
        return g_PulseZ[static_cast<int>(c) - static_cast<int>(PulseCounter::Z1)].load();
    case PulseCounter::WestWalk: return g_PulseFeederWalk[0].load();
    case PulseCounter::NorthWalk: return g_PulseFeederWalk[1].load();
    case PulseCounter::EastWalk: return g_PulseFeederWalk[2].load();
    }
    return 0;
}

bool SwitchOutput(int channel, int value, int extra) {
    return SetOutput({static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(value),
                      static_cast<std::uint16_t>(extra)});
}
} // namespace

void WireLink(Wiring& wiring) {
    auto machineType = [] { return g_MachineType.load(); };
    GetLinkHooks().machineType = machineType;
    TheCommandPanel().machineType = machineType;
    HomingPort& homing = TheHomingPort();
    homing.machineType = machineType;
    homing.ethernet = [] { return TheBasicSettings().m_CommModel != 0; };
    homing.resetSpeeds = [] { return TheSpeedTemplates().Table(SpeedType::Reset); };

    // The panel's connect hands in its own port number when pressed.
    TheConnectPort().comNumber = [] { return 1; };
    GetLinkHooks().showZFieldZero = [] { cmd::ShowField(PositionField::Z, 0); };
    TheManualJog().Port().outOfRangeMessage = [] { return TheManualControlTexts().Text("c_Message_19"); };
    ThePositioningPort().headGroup = [] { return TheManualJog().HeadGroup(); };

    PulseMachinePort& pulse = ThePulseMachinePort();
    pulse.counter = CounterOf;
    pulse.setOutput = [](int channel, int value, int extra) { SwitchOutput(channel, value, extra); };
    // The link's own handlers: replies, homing, connect, panel keys, positioning.
    InstallConnectHooks();
    InstallJogHooks();
    InstallPositioningHooks();

    JogKeyOf() = KeyOf;

    // The panel's buttons, keys and speed menu drive the manual jog.
    wiring.OnView("link", [](ProgramView& view) {
        if (auto* panel = qobject_cast<CDialogManualControl*>(view.Panel(ViewPanel::ManualControl)))
            ConnectJogControls(panel);
    });
}

} // namespace smt
