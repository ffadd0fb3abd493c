// A save of several files killed at any instant leaves every set whole, all old or
// all new, once the folder is opened again as the program opens it; and it leaves no
// temporary file or journal behind. A helper process saves generation after
// generation and is killed with SIGKILL after a pseudo-random delay (fixed seed).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "save_sets.h"
#include "test_support.h"

extern char** environ;

using namespace smt;
using namespace smt::test;
namespace fs = std::filesystem;

namespace {

constexpr int kKills = 120;

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

bool leftOver(const std::string& folder) {
    for (const std::string& n : namesIn(folder))
        if (n.find(".tmp") != std::string::npos || n.find(".journal") != std::string::npos) return true;
    return false;
}

// Opens a job folder as the program does and says which generation its files hold.
long JobGeneration(const std::string& folder, int machineType) {
    std::string error;
    const long g = smt::test::JobGeneration(folder, machineType, error);
    EXPECT_EQ(error, "");
    return g;
}

// Starts the program as it starts in the start folder and says which generation the
// sixteen table files hold.
long TableGeneration(const std::string& start) {
    std::string error;
    const long g = smt::test::TableGeneration(start, error);
    EXPECT_EQ(error, "");
    return g;
}

// Runs the helper from generation `first`, waits until it saved that one, lets it go
// on for `delay` and kills it. False when it did not come up or ended by itself.
bool RunAndKill(const SaveFolders& f, long first, std::chrono::microseconds delay) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const std::string firstText = std::to_string(first);
    const char* argv[] = {SMT_SAVE_KILL_HELPER, f.start.c_str(), f.job9.c_str(), f.job4.c_str(), firstText.c_str(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, SMT_SAVE_KILL_HELPER, &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return false;
    }
    pollfd p{fds[0], POLLIN, 0};
    char byte = 0;
    const bool ready = ::poll(&p, 1, 60000) == 1 && ::read(fds[0], &byte, 1) == 1;
    ::close(fds[0]);
    if (ready) ::usleep(static_cast<useconds_t>(delay.count()));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return ready && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

} // namespace

TEST(KilledSaves, EverySetIsWholeOldOrNewAfterRandomKills) {
    // In memory where the system has it: the saves still go through every step.
    const bool shm = ::access("/dev/shm", W_OK) == 0;
    TempDir disk;
    std::string root = disk.Path();
    if (shm) {
        root = "/dev/shm/killed_saves_XXXXXX";
        ASSERT_NE(::mkdtemp(root.data()), nullptr);
    }
    struct Remove {
        std::string path;
        bool own;
        ~Remove() {
            if (own) fs::remove_all(path);
        }
    } remove{root, shm};
    const SaveFolders f{root + "/start", root + "/job9", root + "/job4"};
    for (const std::string& d : {f.start, f.job9, f.job4}) ASSERT_TRUE(plat::MakeDirectory(d));
    ASSERT_TRUE(SaveGeneration(f, 0));

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayUs(0, 15000);
    int interrupted = 0, wentOn = 0;
    for (int k = 1; k <= kKills; ++k) {
        SCOPED_TRACE("kill " + std::to_string(k));
        const long first = k * 1000000L;
        ASSERT_TRUE(RunAndKill(f, first, std::chrono::microseconds(delayUs(random))));
        interrupted += leftOver(f.job9) || leftOver(f.job4) || leftOver(f.start) || leftOver(f.start + "/ConfigBackup");
        // Each set holds one generation (the helper saved its first one whole before
        // it said so): the one a save finished or the one before it.
        for (auto [generation, what] : {std::pair{JobGeneration(f.job9, 9), "type-9 job"},
                                        std::pair{JobGeneration(f.job4, 4), "type-4 job"},
                                        std::pair{TableGeneration(f.start), "table files"}}) {
            ASSERT_GE(generation, first) << what << ": its files hold different generations (-2) or none";
            wentOn += generation > first;
        }
        EXPECT_EQ(namesIn(f.job9), (std::set<std::string>{"job.smt", "job.dis", "job.drill"}));
        EXPECT_EQ(namesIn(f.job4), (std::set<std::string>{"job.smt", "job.dis", "job.txt"}));
        std::set<std::string> tableNames{"ConfigBackup"};
        for (TableFile t : kAllTableFiles) tableNames.insert(TableFileName(t));
        EXPECT_EQ(namesIn(f.start), tableNames);
        tableNames.erase("ConfigBackup");
        EXPECT_EQ(namesIn(f.start + "/ConfigBackup"), tableNames);
    }
    // Kills landed inside saves, and the saves went on past the first generation.
    EXPECT_GT(interrupted, 0);
    EXPECT_GT(wentOn, 0);
    RecordProperty("interrupted", interrupted);
}

namespace {

// The `unshare` program, for runs in a process-id namespace of their own; "" when
// this system has none or does not allow one.
std::string Unshare() {
    for (const char* p : {"/usr/bin/unshare", "/bin/unshare"}) {
        if (::access(p, X_OK) != 0) continue;
        const std::string probe = std::string(p) + " --pid --fork true >/dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return p;
    }
    return {};
}

// Runs `args` under `unshare --pid --fork`: the program is the first process of a
// namespace of its own, so every run has the same process id there. Its standard
// output comes through a pipe (returned in `out`).
// With `quiet`, its standard error goes nowhere (`unshare` reports the kill of its
// child there).
pid_t SpawnFirstProcess(const std::string& unshare, std::vector<std::string> args, int& out, bool quiet) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (quiet) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    args.insert(args.begin(), {unshare, "--pid", "--fork", "--kill-child"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, unshare.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return -1;
    }
    out = fds[0];
    return pid;
}

// One line of `fd`, waiting at most `ms` for it.
std::string ReadLine(int fd, int ms) {
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, ms) == 1 && ::read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

// The helper as the first process of its own namespace, from generation `first`:
// killed `delay` after it saved that one. False when it did not come up.
bool RunAndKillAsFirstProcess(const std::string& unshare, const SaveFolders& f, long first, const char* saves,
                              std::chrono::microseconds delay) {
    int out = -1;
    const pid_t outer =
        SpawnFirstProcess(unshare, {SMT_SAVE_KILL_HELPER, f.start, f.job9, f.job4, std::to_string(first), saves}, out, true);
    if (outer < 0) return false;
    const std::string ready = ReadLine(out, 60000);
    ::close(out);
    const pid_t helper = ready.size() > 1 && ready[0] == 'R' ? static_cast<pid_t>(std::atol(ready.c_str() + 1)) : -1;
    if (helper > 0) {
        ::usleep(static_cast<useconds_t>(delay.count()));
        ::kill(helper, SIGKILL);
    } else {
        ::kill(outer, SIGKILL);  // its child goes with it (--kill-child)
    }
    // `unshare` ends once it has waited for the helper: then the helper is gone
    // before the next start looks at the folders.
    int status = 0;
    ::waitpid(outer, &status, 0);
    return helper > 0;
}

// The next start, as the first process of its own namespace too: the generation
// each of the three sets holds once the program opened them.
std::vector<long> GenerationsAtNextStart(const std::string& unshare, const SaveFolders& f) {
    int out = -1;
    const pid_t outer = SpawnFirstProcess(unshare, {SMT_SAVE_KILL_HELPER, "check", f.start, f.job9, f.job4}, out, false);
    if (outer < 0) return {};
    const std::string line = ReadLine(out, 60000);
    ::close(out);
    int status = 0;
    ::waitpid(outer, &status, 0);
    std::vector<long> gens(3, -3);
    if (std::sscanf(line.c_str(), "%ld %ld %ld", &gens[0], &gens[1], &gens[2]) != 3) return {};
    return gens;
}

} // namespace

// Process ids repeat (in containers, at boot): the writer killed and the next start
// run as the same process id, the first of a namespace. The job saves are killed
// 120 times, then the table save 120 times: every set is still whole, old or new,
// once the program started again, and the saves after it go through.
TEST(KilledSaves, EverySetIsWholeUnderARepeatedProcessId) {
    const std::string unshare = Unshare();
    if (unshare.empty()) GTEST_SKIP() << "no process-id namespace can be made here (unshare --pid)";
    TempDir disk;
    const std::string root = disk.Path();
    const SaveFolders f{root + "/start", root + "/job9", root + "/job4"};
    for (const std::string& d : {f.start, f.job9, f.job4}) ASSERT_TRUE(plat::MakeDirectory(d));
    ASSERT_TRUE(SaveGeneration(f, 0));

    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> delayUs(0, 15000);
    // Every fourth kill comes late, so that the saves go on past their first
    // generation on a loaded host too, where one table save takes longer than 15 ms.
    std::uniform_int_distribution<int> lateUs(50000, 400000);
    std::vector<long> last{0, 0, 0};  // the generation each set held after the last start
    int k = 0;
    for (const char* saves : {"jobs", "tables"}) {
        const bool jobs = std::string(saves) == "jobs";
        int interrupted = 0, wentOn = 0;
        for (int kill = 1; kill <= kKills; ++kill) {
            ++k;
            SCOPED_TRACE(std::string(saves) + " save, kill " + std::to_string(kill));
            const long first = k * 1000000L;
            ASSERT_TRUE(RunAndKillAsFirstProcess(unshare, f, first, saves, std::chrono::microseconds(kill % 4 == 0 ? lateUs(random) : delayUs(random))))
                << "the saves under the repeated process id did not go through";
            interrupted += jobs ? leftOver(f.job9) || leftOver(f.job4)
                                : leftOver(f.start) || leftOver(f.start + "/ConfigBackup");
            const std::vector<long> gens = GenerationsAtNextStart(unshare, f);
            ASSERT_EQ(gens.size(), 3u);
            const char* what[] = {"type-9 job", "type-4 job", "table files"};
            for (int i = 0; i < 3; ++i) {
                const bool saved = (i < 2) == jobs;
                // The killed save's sets: the generation it saved first or a later one;
                // the others as the last start found them.
                if (saved) {
                    ASSERT_GE(gens[i], first) << what[i] << ": its files hold different generations (-2) or none";
                    wentOn += gens[i] > first;
                } else {
                    ASSERT_EQ(gens[i], last[i]) << what[i];
                }
            }
            last = gens;
            EXPECT_EQ(namesIn(f.job9), (std::set<std::string>{"job.smt", "job.dis", "job.drill"}));
            EXPECT_EQ(namesIn(f.job4), (std::set<std::string>{"job.smt", "job.dis", "job.txt"}));
            std::set<std::string> tableNames{"ConfigBackup"};
            for (TableFile t : kAllTableFiles) tableNames.insert(TableFileName(t));
            EXPECT_EQ(namesIn(f.start), tableNames);
        }
        // Kills landed inside saves, and the saves went on past the first generation.
        EXPECT_GT(interrupted, 0) << saves;
        EXPECT_GT(wentOn, 0) << saves;
        RecordProperty(std::string("interrupted_") + saves, interrupted);
    }
}
