// Small services of the desktop: keeping the computer awake while the machine is
// connected by Ethernet, and the alarm sound of a failed send.
#pragma once

namespace plat {

// Continuous + system-required while `on`; holds the desktop's sleep inhibitor
// where one is offered, otherwise does nothing and says so once in the log.
void SetKeepAwake(bool on);
bool KeepAwakeHeld();

// A short alarm where the system can make one.
void AlarmBeep();

} // namespace plat
