#include "platform/system.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

extern char** environ;

namespace plat {
namespace {
std::mutex g_mutex;
pid_t g_inhibitor = 0;
bool g_held = false;
bool g_saidNone = false;
std::function<void(const std::string&)> g_noticeSink;
std::function<void()> g_alarmSound;

// Once per process; the caller holds g_mutex.
void SayNoInhibitor(const std::string& why) {
    if (g_saidNone) return;
    g_saidNone = true;
    const std::string text = "keep-awake: no sleep inhibitor on this system (" + why + ")";
    if (g_noticeSink) g_noticeSink(text);
    else std::fprintf(stderr, "%s\n", text.c_str());
}

// The inhibitor asks the login manager over the system bus. Without the bus's
// socket it could only fail (and print its own complaint on every start), so it is
// not started at all. An address that is not a socket path is taken as present.
bool SystemBusPresent() {
    std::string path = "/run/dbus/system_bus_socket";
    if (const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"); address && *address) {
        constexpr const char* kPrefix = "unix:path=";
        if (std::strncmp(address, kPrefix, std::strlen(kPrefix)) != 0) return true;
        path = address + std::strlen(kPrefix);
        if (const auto end = path.find_first_of(",;"); end != std::string::npos) path.resize(end);
    }
    return access(path.c_str(), F_OK) == 0;
}
} // namespace

void SetSystemNoticeSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(g_mutex);
    g_noticeSink = std::move(sink);
}

void SetAlarmSound(std::function<void()> sound) {
    std::lock_guard lock(g_mutex);
    g_alarmSound = std::move(sound);
}

void SetKeepAwake(bool on) {
    std::lock_guard lock(g_mutex);
    if (on == g_held) return;
    if (on) {
        // systemd's inhibitor lock holds sleep and idle off for as long as the child lives.
        const char* argv[] = {"systemd-inhibit", "--what=sleep:idle", "--who=smt",
                              "--why=machine connected", "--mode=block", "sleep", "infinity", nullptr};
        // Its own messages go nowhere: what it could not do is said once, in the log.
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const bool bus = SystemBusPresent();
        const bool started =
            bus && posix_spawnp(&pid, "systemd-inhibit", &quiet, nullptr, const_cast<char**>(argv), environ) == 0;
        posix_spawn_file_actions_destroy(&quiet);
        if (!bus) {
            SayNoInhibitor("no system bus to reach the login manager");
        } else if (started) {
            // Without a login manager the inhibitor ends at once: that is no keep-awake.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) SayNoInhibitor("systemd-inhibit ended at once");
            else g_inhibitor = pid;
        } else {
            SayNoInhibitor("systemd-inhibit cannot be started");
        }
        g_held = true;
    } else {
        if (g_inhibitor > 0) {
            // One that ended by itself while held (slow to fail) was no keep-awake either.
            if (waitpid(g_inhibitor, nullptr, WNOHANG) == g_inhibitor) {
                SayNoInhibitor("systemd-inhibit ended early");
            } else {
                kill(g_inhibitor, SIGTERM);
                waitpid(g_inhibitor, nullptr, 0);
            }
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
    std::function<void()> sound;
    {
        std::lock_guard lock(g_mutex);
        sound = g_alarmSound;
    }
    if (sound) return sound();
    if (isatty(STDERR_FILENO)) {
        const char bell = '\a';
        (void)!write(STDERR_FILENO, &bell, 1);
    }
}

} // namespace plat
