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

#include <filesystem>
#include <random>
#include <set>

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

// The one generation every value says, or -2 when they differ (or one says none).
long OneGeneration(const std::vector<long>& gens) {
    for (long g : gens)
        if (g < 0 || g != gens.front()) return -2;
    return gens.empty() ? -2 : gens.front();
}

// Opens a job folder as the program does and says which generation its files hold.
long JobGeneration(const std::string& folder, int machineType) {
    GenerationLines read;
    const FileResult r = ReadProjectFiles(folder + "/job.smt", read, machineType);
    EXPECT_TRUE(r.ok) << r.message;
    std::vector<long> gens;
    gens.push_back(read.name.size() > 1 ? GenerationOf(read.name.substr(1) + "\t") : -1);
    gens.push_back(read.pcb.size() == 2 ? GenerationOf(read.pcb[1]) : -1);
    gens.push_back(read.dis.size() == 1 ? GenerationOf(read.dis[0]) : -1);
    if (machineType == 9) gens.push_back(read.drill.size() == 1 ? GenerationOf(read.drill[0]) : -1);
    if (machineType == 4) {
        std::lock_guard lock(LampTableMutex());
        if (g_LampTableLines.size() != kLampTableLineCount) gens.push_back(-1);
        for (const std::string& l : g_LampTableLines) gens.push_back(GenerationOf(l));
    }
    return OneGeneration(gens);
}

// Starts the program as it starts in the start folder and says which generation the
// sixteen table files hold.
long TableGeneration(const std::string& start) {
    RemoveKilledSaveLeftovers(start);
    std::vector<long> gens;
    for (const std::string& folder : {start, start + "/ConfigBackup"}) {
        FigLists lists;
        TableFileError error;
        EXPECT_TRUE(LoadFigLists(folder, lists, error)) << error.file << ": " << error.reason;
        for (TableFile f : kAllTableFiles) {
            const auto& rows = lists.Rows(f);
            gens.push_back(rows.size() == 2 && GenerationOf(rows[1]) == GenerationOf(rows[0]) ? GenerationOf(rows[0]) : -1);
        }
        gens.push_back(GenerationOf(lists.speedSetNames));
    }
    return OneGeneration(gens);
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
