#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include "platform/text.h"

namespace plat {
namespace {

bool exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` without regard to case, or "".
std::string findNoCase(const std::string& folder, std::string_view name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string found;
    while (const dirent* e = ::readdir(dir)) {
        if (EqualsNoCase(e->d_name, name)) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// One counter for every temporary name of this process, so that a single write and
// a set never pick the same name.
std::atomic<unsigned> g_tempCounter{0};

std::string tempSuffix(unsigned n) {
    return ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(n);
}

// Makes the entries of `folder` (renames, removals) durable; a folder that cannot be
// opened is no failure.
void syncFolder(const std::string& folder) {
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

// Writes `bytes` to the new file `temp`, with the permissions of the file it will
// replace (`target`) when that exists, and flushes it; removes it again on failure.
bool writeTemp(const std::string& temp, const std::string& target, std::string_view bytes) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    const bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// A process with this id still runs (this one included); such a writer's files are
// left alone.
bool writerRuns(long pid) {
    return pid > 0 && (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The tail "<pid>_<count>" of a temporary or journal name; false when it is not one.
bool parsePidCount(std::string_view tail, long& pid) {
    const std::size_t bar = tail.find('_');
    if (bar == 0 || bar == std::string_view::npos || bar + 1 == tail.size() ||
        tail.find_first_not_of("0123456789_") != std::string_view::npos || tail.find('_', bar + 1) != std::string_view::npos)
        return false;
    pid = std::strtol(std::string(tail.substr(0, bar)).c_str(), nullptr, 10);
    return true;
}

constexpr std::string_view kJournalPrefix = ".saveset";
constexpr std::string_view kJournalExt = ".journal";
constexpr std::string_view kJournalHead = "file set 1";
constexpr std::string_view kJournalEnd = "end";

// A name as a set's journal records it: relative, without "." or ".." steps, so that
// a damaged journal can never reach outside its folder.
bool safeRelativeName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\n') != std::string_view::npos) return false;
    std::size_t pos = 0;
    while (pos <= name.size()) {
        std::size_t end = name.find('/', pos);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view comp = name.substr(pos, end - pos);
        if (comp.empty() || comp == "." || comp == "..") return false;
        pos = end + 1;
    }
    return true;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// Rolls one journal forward (it is complete: every temporary file it names that is
// still there is renamed into place) or back (its temporary files are removed),
// then removes it. True when it was rolled forward. `claimed`: the files a newer set
// already rolled forward (its own copy in place, or renamed before its writer died):
// this set's copies of them are older and removed; a complete set adds its files.
bool finishJournal(const std::string& dir, const std::string& journal, std::set<std::string>& claimed) {
    std::string text;
    const bool read = ReadWholeFile(journal, text);
    const std::vector<std::string_view> lines = splitLines(text);
    long pid = 0;
    const bool complete = read && lines.size() >= 3 && lines.front() == kJournalHead && lines.back() == kJournalEnd &&
                          lines[1].rfind(".tmp", 0) == 0 && parsePidCount(lines[1].substr(4), pid);
    std::vector<std::string> folders{dir};
    if (lines.size() >= 3 && lines[1].rfind(".tmp", 0) == 0 && parsePidCount(lines[1].substr(4), pid)) {
        const std::string suffix(lines[1]);
        for (std::size_t i = 2; i < lines.size(); ++i) {
            if (lines[i] == kJournalEnd && i + 1 == lines.size()) break;
            if (!safeRelativeName(lines[i])) continue;
            const std::string target = JoinPath(dir, lines[i]);
            const std::string temp = target + suffix;
            const bool newer = claimed.count(target) != 0;
            if (complete) claimed.insert(target);
            struct stat st;
            if (::lstat(temp.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;  // renamed before the kill
            if (!complete || newer || ::rename(temp.c_str(), target.c_str()) != 0) ::unlink(temp.c_str());
            const std::string parent = parentOf(target);
            if (std::find(folders.begin(), folders.end(), parent) == folders.end()) folders.push_back(parent);
        }
    }
    for (const std::string& f : folders) syncFolder(f);
    ::unlink(journal.c_str());
    syncFolder(dir);
    return complete;
}

} // namespace

std::string ResolvePath(std::string_view path) {
    std::string slashed(path);
    for (char& c : slashed)
        if (c == '\\') c = '/';
    if (slashed.empty() || exists(slashed)) return slashed;

    // Walk the components; the first one that matches nothing ends the walk and
    // the rest stays as written (a file about to be created in a found folder).
    std::string out = slashed[0] == '/' ? "/" : "";
    std::size_t pos = 0;
    bool matching = true;
    while (pos <= slashed.size()) {
        std::size_t end = slashed.find('/', pos);
        if (end == std::string::npos) end = slashed.size();
        const std::string_view comp = std::string_view(slashed).substr(pos, end - pos);
        pos = end + 1;
        if (comp.empty()) continue;
        if (!out.empty() && out.back() != '/') out += '/';
        if (matching && comp != "." && comp != ".." && !exists(out + std::string(comp))) {
            const std::string found = findNoCase(out, comp);
            matching = !found.empty();
            out += matching ? std::string_view(found) : comp;
        } else {
            out += comp;
        }
    }
    return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    while (!name.empty() && (name.front() == '/' || name.front() == '\\')) name.remove_prefix(1);
    if (folder.empty()) return std::string(name);
    std::string out(folder);
    if (out.back() != '/' && out.back() != '\\') out += '/';
    return out += name;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    const int fd = ::open(ResolvePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bytes.clear();
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
    const std::string target = ResolvePath(path);
    const std::string temp = target + tempSuffix(g_tempCounter.fetch_add(1));
    if (!writeTemp(temp, target, bytes)) return false;
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolder(parentOf(target));  // the rename itself made durable
    return true;
}

int RemoveStaleTempFiles(const std::string& folder) {
    const std::string dir = ResolvePath(folder);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    // Names are "<target>.tmp<pid>_<count>", as WriteFileAtomic makes them.
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        const std::size_t tmp = name.rfind(".tmp");
        if (tmp == std::string_view::npos || tmp == 0) continue;
        long pid = 0;
        if (!parsePidCount(name.substr(tmp + 4), pid)) continue;
        // A writer still running (another instance, or this one) is left alone.
        if (writerRuns(pid)) continue;
        stale.emplace_back(name);
    }
    ::closedir(d);
    int removed = 0;
    for (const std::string& name : stale) {
        struct stat st;
        const std::string path = JoinPath(dir, name);
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

bool WriteFileSet(const std::string& folder, const std::vector<SetFile>& files,
                  std::vector<std::size_t>* notWritten) {
    if (notWritten) notWritten->clear();
    const std::string dir = ResolvePath(folder.empty() ? std::string(".") : folder);
    FinishInterruptedSaves(dir);
    const unsigned n = g_tempCounter.fetch_add(1);
    const std::string suffix = tempSuffix(n);
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";

    struct Member {
        std::size_t index;
        std::string name, target, temp;
    };
    std::vector<Member> members;
    std::vector<std::string> folders{dir};
    auto dropTemps = [&] {
        for (const Member& m : members) ::unlink(m.temp.c_str());
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string target = ResolvePath(JoinPath(dir, files[i].name));
        const std::string name = target.rfind(prefix, 0) == 0 ? target.substr(prefix.size()) : std::string();
        bool ok = safeRelativeName(name);
        for (const Member& m : members) ok = ok && m.target != target;
        struct stat st;
        ok = ok && !(::lstat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
        const std::string temp = target + suffix;
        ok = ok && writeTemp(temp, target, files[i].bytes);
        if (!ok) {
            if (files[i].required) {
                dropTemps();
                if (notWritten) *notWritten = {i};
                return false;
            }
            if (notWritten) notWritten->push_back(i);
            continue;
        }
        members.push_back({i, name, target, temp});
        const std::string parent = parentOf(target);
        if (std::find(folders.begin(), folders.end(), parent) == folders.end()) folders.push_back(parent);
    }
    if (members.empty()) return true;

    // Every temporary file is whole and in its folder before the journal says so.
    for (const std::string& f : folders) syncFolder(f);
    std::string journal(kJournalHead);
    journal += '\n';
    journal += suffix;
    journal += '\n';
    for (const Member& m : members) journal += m.name + "\n";
    journal += kJournalEnd;
    journal += '\n';
    const std::string journalPath =
        JoinPath(dir, std::string(kJournalPrefix) + std::to_string(::getpid()) + "_" + std::to_string(n) + std::string(kJournalExt));
    if (!WriteFileAtomic(journalPath, journal)) {
        dropTemps();
        if (notWritten) *notWritten = {members.front().index};
        return false;
    }

    // From here the set is saved: a kill leaves the rest to FinishInterruptedSaves.
    bool ok = true;
    for (const Member& m : members) {
        if (::rename(m.temp.c_str(), m.target.c_str()) == 0) continue;
        // Only a folder changed meanwhile refuses a rename here.
        ::unlink(m.temp.c_str());
        if (notWritten) notWritten->push_back(m.index);
        ok = ok && !files[m.index].required;
    }
    for (const std::string& f : folders) syncFolder(f);
    ::unlink(journalPath.c_str());
    syncFolder(dir);
    return ok;
}

int FinishInterruptedSaves(const std::string& folder) {
    const std::string dir = ResolvePath(folder.empty() ? std::string(".") : folder);
    // (modification time, name) of each journal whose writer no longer runs.
    std::vector<std::pair<std::pair<long long, long long>, std::string>> journals;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            std::string_view name = e->d_name;
            if (name.size() <= kJournalPrefix.size() + kJournalExt.size() || name.rfind(kJournalPrefix, 0) != 0 ||
                name.substr(name.size() - kJournalExt.size()) != kJournalExt)
                continue;
            long pid = 0;
            const std::string_view tail =
                name.substr(kJournalPrefix.size(), name.size() - kJournalPrefix.size() - kJournalExt.size());
            struct stat st;
            if (!parsePidCount(tail, pid) || writerRuns(pid) ||
                ::lstat(JoinPath(dir, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            journals.push_back({{st.st_mtim.tv_sec, st.st_mtim.tv_nsec}, std::string(name)});
        }
        ::closedir(d);
    }
    // The newest set first: a file it names is its, whatever an older set still holds
    // of it (an older writer held up while the newer one saved, then both killed).
    std::sort(journals.begin(), journals.end(), [](const auto& a, const auto& b) { return b < a; });
    std::set<std::string> claimed;
    int finished = 0;
    for (const auto& j : journals) finished += finishJournal(dir, JoinPath(dir, j.second), claimed) ? 1 : 0;
    RemoveStaleTempFiles(dir);
    return finished;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(ResolvePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(ResolvePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string& path) {
    const std::string target = ResolvePath(path);
    if (IsDirectory(target)) return true;
    // Create missing parents first, as an operator naming a new folder expects.
    const std::string parent = parentOf(target);
    if (parent != target && parent != "." && parent != "/" && !IsDirectory(parent) &&
        !MakeDirectory(parent))
        return false;
    return ::mkdir(target.c_str(), 0777) == 0 || (errno == EEXIST && IsDirectory(target));
}

std::string CurrentDirectory() {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return ".";
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

} // namespace plat
