// Small services of the desktop: keeping the computer awake while the machine is
// connected by Ethernet, and the alarm sound of a failed send.
#pragma once

#include <functional>
#include <string>

namespace plat {

// Where these services report what they could not do (the program's log); unset:
// standard error.
void SetSystemNoticeSink(std::function<void(const std::string&)> sink);
// The alarm sound of the display, when there is one (the user interface installs it).
void SetAlarmSound(std::function<void()> sound);

// Continuous + system-required while `on`; holds the desktop's sleep inhibitor
// where one is offered, otherwise does nothing and says so once in the log (an
// inhibitor that cannot be started or ends at once counts as none).
void SetKeepAwake(bool on);
bool KeepAwakeHeld();

// A short alarm: the display's sound when installed, else the terminal's bell.
void AlarmBeep();

} // namespace plat
