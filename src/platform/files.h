// File access as the machine code expects it: paths may be written with
// backslashes and in any letter case (the files come from machines whose file
// system ignores case), and every write is atomic. Every function below that takes
// a path resolves it with ResolvePath first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Backslashes become slashes; each component that does not exist as written is
// matched case-insensitively inside its folder. A path that matches nothing is
// returned with slashes, as written.
std::string ResolvePath(std::string_view path);

// Joins a folder and a name with one slash.
std::string JoinPath(std::string_view folder, std::string_view name);

bool ReadWholeFile(const std::string& path, std::string& bytes);

// Writes to a temporary file beside the target, flushes it and renames it into
// place, so a crash or a full disk never leaves a short file.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

// Removes the temporary files that WriteFileAtomic leaves in `folder` when the
// process writing them was killed. A writer holds a lock on each file it writes
// for as long as it needs it, and names it with a number of its own run, so a file
// is its writer's while that lock is held or while it is this run's own, whatever
// the process ids (they repeat: a killed writer's id may be this process's). Returns
// how many were removed. A folder that may hold a journal of a set is finished with
// FinishInterruptedSaves first (it calls this itself), so that no temporary file a
// complete journal names is lost.
int RemoveStaleTempFiles(const std::string& folder);

// ---- sets of files saved as one -------------------------------------------------
//
// A save of several files (a job and its companions, the table files and their
// backups) replaces all of them or none, even when the process is killed at any
// instant: every file is first written to a temporary file beside its target (named
// as WriteFileAtomic names them), then the set is recorded in a journal in the set's
// folder (".saveset<pid>_<n>.journal", written atomically), then each temporary file
// is renamed into place and the journal removed. FinishInterruptedSaves, run by
// whoever opens the folder next, renames what a complete journal names (roll
// forward); without a journal the temporary files are removed (roll back). The
// writer keeps its temporary files and journal locked until the set is done; a
// name already in the folder is never reused (the set takes the next number).

struct SetFile {
    std::string name;       // relative to the set's folder; may lead into a subfolder
    std::string bytes;
    bool required = true;   // false: when it cannot be written the set goes on without it
};

// Writes `files` into `folder` as one set; first finishes the folder's interrupted
// sets, so an older set cannot land over this one later. Returns false when a
// required file cannot be written: then no file was replaced. `notWritten` receives
// the indices of the files not written (a required one first when it failed; the
// optional ones left out otherwise).
bool WriteFileSet(const std::string& folder, const std::vector<SetFile>& files,
                  std::vector<std::size_t>* notWritten = nullptr);

// Finishes or rolls back the sets of `folder` whose writer no longer runs, then
// removes the folder's stale temporary files (RemoveStaleTempFiles). Returns how
// many sets it finished.
int FinishInterruptedSaves(const std::string& folder);

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool MakeDirectory(const std::string& path);
std::string CurrentDirectory();

} // namespace plat
