// Posting work to the user-interface thread. Worker, reply and run threads never
// touch widgets: they hand a function to the user-interface thread and go on.
#pragma once

#include <functional>

namespace plat {

using UiTask = std::function<void()>;
using UiPoster = std::function<void(UiTask)>;

// Queues `task` for the user-interface thread; never waits for it.
void PostToUi(UiTask task);

// The user interface installs a poster that queues into its event loop. With none
// installed, tasks wait in an internal queue that RunPostedTasks() drains.
UiPoster SetUiPoster(UiPoster poster);

// Runs every task queued while no poster was installed; returns how many ran.
int RunPostedTasks();

} // namespace plat
