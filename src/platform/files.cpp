#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cerrno>
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
    static std::atomic<unsigned> counter{0};
    const std::string target = ResolvePath(path);
    const std::string temp = target + ".tmp" + std::to_string(::getpid()) + "_" +
                             std::to_string(counter.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    // Keep the permissions of the file being replaced.
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    const bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; a folder that cannot be opened is no failure.
    const int dfd = ::open(parentOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
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
        const std::string_view tail = name.substr(tmp + 4);
        const std::size_t bar = tail.find('_');
        if (bar == 0 || bar == std::string_view::npos || bar + 1 == tail.size() ||
            tail.find_first_not_of("0123456789_") != std::string_view::npos || tail.find('_', bar + 1) != std::string_view::npos)
            continue;
        const long pid = std::strtol(std::string(tail.substr(0, bar)).c_str(), nullptr, 10);
        // A writer still running (another instance, or this one) is left alone.
        if (pid > 0 && (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) continue;
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
