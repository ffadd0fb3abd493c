// Saves generation after generation of the sets in save_sets.h until it is killed:
// save_kill_helper <start folder> <type-9 job folder> <type-4 job folder> <first generation>
// It writes one byte to its standard output once the first generation is saved, and
// ends by itself when its parent ends or after a bounded number of generations.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>

#include "save_sets.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: save_kill_helper START JOB9 JOB4 FIRST\n");
        return 2;
    }
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) return 3;
    const smt::test::SaveFolders folders{argv[1], argv[2], argv[3]};
    const long first = std::atol(argv[4]);
    if (!smt::test::SaveGeneration(folders, first)) return 1;
    if (::write(STDOUT_FILENO, "R", 1) != 1) return 1;
    for (long g = first + 1; g < first + 100000; ++g)
        if (!smt::test::SaveGeneration(folders, g)) return 1;
    return 3;
}
