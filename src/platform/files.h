// File access as the machine code expects it: paths may be written with
// backslashes and in any letter case (the files come from machines whose file
// system ignores case), and every write is atomic. Every function below that takes
// a path resolves it with ResolvePath first.
#pragma once

#include <string>
#include <string_view>

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
// process writing them was killed (the writer's process no longer runs). Returns
// how many were removed.
int RemoveStaleTempFiles(const std::string& folder);

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool MakeDirectory(const std::string& path);
std::string CurrentDirectory();

} // namespace plat
