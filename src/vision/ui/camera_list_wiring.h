// The camera table's part of the view: its start-up and language steps, the
// camera management dialog on the settings menu, and what other subsystems read
// of the cameras (positioning look-ups, origin shift, the full save).
#pragma once

namespace smt {
class CSMTView;
class HookRegistry;
void WireCameraList(CSMTView& view);
// The calibration procedures' entries (their stand-in says "not available yet").
void RegisterCameraListHooks(HookRegistry& r);
} // namespace smt
