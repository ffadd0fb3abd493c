// Worker threads. A machine action runs in a worker started with one call; the
// program keeps every worker so that shutdown can cancel the waits and join them.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace plat {

// Starts `body` on a new thread registered for shutdown. Finished workers are
// reaped on later starts.
void StartWorker(std::string name, std::function<void()> body);

// Number of workers still running (finished-but-unreaped ones are not counted).
int RunningWorkers();

// Joins every worker. Waits up to `limit` for them to finish; returns false when
// some were still running then (they are detached, never destroyed under a run).
bool JoinAllWorkers(std::chrono::milliseconds limit);

// True on the thread that called MarkUiThread() (the user-interface thread).
void MarkUiThread();
bool IsUiThread();

} // namespace plat
