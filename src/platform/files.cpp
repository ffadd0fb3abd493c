#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cerrno>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
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

// The numbers of this run's temporary names: one counter for the whole process (a
// single write and a set never pick the same name), starting at a number drawn
// when the process starts. Process ids repeat (containers, boots), so the number
// tells this run's files from those an earlier run under the same id left behind.
std::uint64_t runBase() {
    static const std::uint64_t base = [] {
        std::uint64_t r = 0;
        if (::getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r)) {
            struct timespec ts{};
            ::clock_gettime(CLOCK_REALTIME, &ts);
            r = static_cast<std::uint64_t>(ts.tv_nsec) * 1000003u ^ static_cast<std::uint64_t>(ts.tv_sec) << 20 ^
                static_cast<std::uint64_t>(::getpid());
        }
        return r & ((std::uint64_t(1) << 40) - 1);
    }();
    return base;
}
std::atomic<std::uint64_t>& tempCounter() {
    static std::atomic<std::uint64_t> counter{runBase()};
    return counter;
}

std::uint64_t nextTempNumber() { return tempCounter().fetch_add(1); }

std::string tempSuffix(std::uint64_t n) {
    return ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(n);
}

// A temporary file or journal named by this very run (process id and a number it
// handed out).
bool ownRun(long pid, std::uint64_t n) {
    return pid == ::getpid() && n - runBase() < tempCounter().load() - runBase();
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

// A file this process writes holds a lock (flock) for as long as its writer may
// still need it: whoever finds the file can tell a live writer from a killed one
// whatever the process ids, since the lock ends with the process.
struct HeldFile {
    int fd = -1;
    HeldFile() = default;
    HeldFile(HeldFile&& o) noexcept : fd(std::exchange(o.fd, -1)) {}
    HeldFile& operator=(HeldFile&& o) noexcept {
        std::swap(fd, o.fd);
        return *this;
    }
    ~HeldFile() {
        if (fd >= 0) ::close(fd);
    }
};

enum class TempResult { Written, NameTaken, Failed };

// The new file `temp`, locked before it has its name where the file system allows
// (an unnamed file linked in once locked), so that no one ever finds it unlocked.
TempResult createLocked(const std::string& temp, HeldFile& held) {
    const int fd = ::open(parentOf(temp).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        HeldFile f;
        f.fd = fd;
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::flock(fd, LOCK_EX) == 0 && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            held = std::move(f);
            return TempResult::Written;
        }
        if (errno == EEXIST) return TempResult::NameTaken;
        // No /proc or a file system that cannot link such a file: made by name below.
    }
    const int named = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (named < 0) return errno == EEXIST ? TempResult::NameTaken : TempResult::Failed;
    HeldFile f;
    f.fd = named;
    if (::flock(named, LOCK_EX) != 0) {
        ::unlink(temp.c_str());
        return TempResult::Failed;
    }
    held = std::move(f);
    return TempResult::Written;
}

// Writes `bytes` to the new file `temp`, with the permissions of the file it will
// replace (`target`) when that exists, and flushes it; removes it again on failure.
// The file stays locked through `held`. A name already there (left behind) is never
// written over: NameTaken, and the caller picks another.
TempResult writeTemp(const std::string& temp, const std::string& target, std::string_view bytes, HeldFile& held) {
    HeldFile f;
    const TempResult made = createLocked(temp, f);
    if (made != TempResult::Written) return made;
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) ::fchmod(f.fd, st.st_mode & 07777);
    if (!writeAll(f.fd, bytes) || ::fsync(f.fd) != 0) {
        ::unlink(temp.c_str());
        return TempResult::Failed;
    }
    held = std::move(f);
    return TempResult::Written;
}

// Some process holds the lock of the file at `path`: its writer still runs. A file
// that cannot be opened to look is left alone as well.
bool lockedByWriter(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true;
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

// The writer of a temporary file or journal still runs: this run named it, or its
// writer holds its lock. A process id alone decides nothing: a killed writer's id
// may belong to this very process now, or to any other.
bool writerRuns(long pid, std::uint64_t n, const std::string& path) {
    return ownRun(pid, n) || lockedByWriter(path);
}

// The tail "<pid>_<count>" of a temporary or journal name; false when it is not one.
bool parsePidCount(std::string_view tail, long& pid, std::uint64_t& n) {
    const std::size_t bar = tail.find('_');
    if (bar == 0 || bar == std::string_view::npos || bar + 1 == tail.size() ||
        tail.find_first_not_of("0123456789_") != std::string_view::npos || tail.find('_', bar + 1) != std::string_view::npos)
        return false;
    pid = std::strtol(std::string(tail.substr(0, bar)).c_str(), nullptr, 10);
    n = std::strtoull(std::string(tail.substr(bar + 1)).c_str(), nullptr, 10);
    return true;
}
bool parsePidCount(std::string_view tail, long& pid) {
    std::uint64_t n = 0;
    return parsePidCount(tail, pid, n);
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

namespace {

constexpr int kNameTries = 64;

// Writes `bytes` under a temporary name beside `target` and renames it into place;
// `held` keeps the renamed file locked for the caller (a journal stays locked while
// its set is saved).
bool writeAtomicHeld(const std::string& target, std::string_view bytes, HeldFile& held) {
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        const std::string temp = target + tempSuffix(nextTempNumber());
        const TempResult r = writeTemp(temp, target, bytes, held);
        if (r == TempResult::NameTaken) continue;
        if (r == TempResult::Failed) return false;
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            ::unlink(temp.c_str());
            return false;
        }
        syncFolder(parentOf(target));  // the rename itself made durable
        return true;
    }
    return false;
}

} // namespace

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
    HeldFile held;
    return writeAtomicHeld(ResolvePath(path), bytes, held);
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
        std::uint64_t n = 0;
        if (!parsePidCount(name.substr(tmp + 4), pid, n)) continue;
        // A writer still running (another instance, or this one) is left alone.
        if (writerRuns(pid, n, JoinPath(dir, name))) continue;
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
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";

    struct Member {
        std::size_t index;
        std::string name, target, temp;
        HeldFile held;  // locked until the set is done
    };
    std::vector<Member> members;
    std::vector<std::string> folders{dir};
    auto dropTemps = [&] {
        for (const Member& m : members) ::unlink(m.temp.c_str());
        members.clear();
    };
    std::string suffix, journalPath;
    // A name left behind by an earlier run is never written over: the whole set
    // takes the next number instead.
    bool named = false;
    for (int attempt = 0; attempt < kNameTries && !named; ++attempt) {
        const std::uint64_t n = nextTempNumber();
        suffix = tempSuffix(n);
        journalPath = JoinPath(dir, std::string(kJournalPrefix) + std::to_string(::getpid()) + "_" + std::to_string(n) +
                                        std::string(kJournalExt));
        struct stat js;
        if (::lstat(journalPath.c_str(), &js) == 0) continue;
        if (notWritten) notWritten->clear();
        named = true;
        for (std::size_t i = 0; i < files.size() && named; ++i) {
            const std::string target = ResolvePath(JoinPath(dir, files[i].name));
            const std::string name = target.rfind(prefix, 0) == 0 ? target.substr(prefix.size()) : std::string();
            bool ok = safeRelativeName(name);
            for (const Member& m : members) ok = ok && m.target != target;
            struct stat st;
            ok = ok && !(::lstat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
            const std::string temp = target + suffix;
            HeldFile held;
            const TempResult r = ok ? writeTemp(temp, target, files[i].bytes, held) : TempResult::Failed;
            if (r == TempResult::NameTaken) {
                dropTemps();
                named = false;
                break;
            }
            if (r == TempResult::Failed) {
                if (files[i].required) {
                    dropTemps();
                    if (notWritten) *notWritten = {i};
                    return false;
                }
                if (notWritten) notWritten->push_back(i);
                continue;
            }
            members.push_back({i, name, target, temp, std::move(held)});
            const std::string parent = parentOf(target);
            if (std::find(folders.begin(), folders.end(), parent) == folders.end()) folders.push_back(parent);
        }
    }
    if (!named) {
        if (notWritten) *notWritten = {0};
        return false;
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
    HeldFile journalHeld;
    if (!writeAtomicHeld(journalPath, journal, journalHeld)) {
        const std::size_t first = members.front().index;
        dropTemps();
        if (notWritten) *notWritten = {first};
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
            std::uint64_t n = 0;
            const std::string_view tail =
                name.substr(kJournalPrefix.size(), name.size() - kJournalPrefix.size() - kJournalExt.size());
            struct stat st;
            if (!parsePidCount(tail, pid, n) || writerRuns(pid, n, JoinPath(dir, name)) ||
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
