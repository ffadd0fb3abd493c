// Saves generation after generation of the sets in save_sets.h until it is killed:
// save_kill_helper <start folder> <type-9 job folder> <type-4 job folder> <first generation> [jobs|tables]
// It writes "R" and its process id as the system sees it (it may run as the first
// process of a namespace of its own) to its standard output once the first
// generation is saved, and ends by itself when its parent ends or after a bounded
// number of generations.
// save_kill_helper check <start folder> <type-9 job folder> <type-4 job folder>
// opens the three as the program does at its next start and prints the generation
// each holds (-2: a mix of generations), errors on its standard error.
#include <sys/prctl.h>
#include <unistd.h>

#include <climits>
#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "save_sets.h"

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "check") == 0) {
        std::string error;
        const long job9 = smt::test::JobGeneration(argv[3], 9, error);
        const long job4 = smt::test::JobGeneration(argv[4], 4, error);
        const long tables = smt::test::TableGeneration(argv[2], error);
        std::printf("%ld %ld %ld\n", job9, job4, tables);
        std::fputs(error.c_str(), stderr);
        return 0;
    }
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: save_kill_helper START JOB9 JOB4 FIRST [jobs|tables] | check START JOB9 JOB4\n");
        return 2;
    }
    using smt::test::Saves;
    const Saves which = argc == 5                              ? Saves::All
                        : std::strcmp(argv[5], "jobs") == 0   ? Saves::Jobs
                                                              : Saves::Tables;
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) return 3;
    const smt::test::SaveFolders folders{argv[1], argv[2], argv[3]};
    const long first = std::atol(argv[4]);
    if (!smt::test::SaveGeneration(folders, first, which)) return 1;
    // /proc is the system's: its "self" is this process's id there.
    char self[32] = {};
    const ssize_t n = ::readlink("/proc/self", self, sizeof self - 1);
    const std::string ready = "R" + std::string(self, n > 0 ? static_cast<std::size_t>(n) : 0) + "\n";
    if (::write(STDOUT_FILENO, ready.data(), ready.size()) != static_cast<ssize_t>(ready.size())) return 1;
    for (long g = first + 1; g < first + 100000; ++g)
        if (!smt::test::SaveGeneration(folders, g, which)) return 1;
    return 3;
}
