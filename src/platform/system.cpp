#include "platform/system.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

extern char** environ;

namespace plat {
namespace {
std::mutex g_mutex;
pid_t g_inhibitor = 0;
bool g_held = false;
bool g_saidNone = false;
} // namespace

void SetKeepAwake(bool on) {
    std::lock_guard lock(g_mutex);
    if (on == g_held) return;
    if (on) {
        // systemd's inhibitor lock holds sleep and idle off for as long as the child lives.
        const char* argv[] = {"systemd-inhibit", "--what=sleep:idle", "--who=smt",
                              "--why=machine connected", "--mode=block", "sleep", "infinity", nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, "systemd-inhibit", nullptr, nullptr, const_cast<char**>(argv), environ) == 0) {
            g_inhibitor = pid;
        } else if (!g_saidNone) {
            g_saidNone = true;
            std::fprintf(stderr, "keep-awake: no sleep inhibitor on this system\n");
        }
        g_held = true;
    } else {
        if (g_inhibitor > 0) {
            kill(g_inhibitor, SIGTERM);
            waitpid(g_inhibitor, nullptr, 0);
            g_inhibitor = 0;
        }
        g_held = false;
    }
}

bool KeepAwakeHeld() {
    std::lock_guard lock(g_mutex);
    return g_held;
}

void AlarmBeep() {
    if (isatty(STDERR_FILENO)) {
        const char bell = '\a';
        (void)!write(STDERR_FILENO, &bell, 1);
    }
}

} // namespace plat
