#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace smt {

std::vector<std::string> ComDeviceCandidates(int comNumber) {
    std::vector<std::string> paths;
    if (comNumber < 1) return paths;
    const char* dir = std::getenv("SMT_SERIAL_DIR");
    if (dir && *dir) {
        std::string p = std::string(dir) + "/COM" + std::to_string(comNumber);
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0) paths.push_back(p);
    }
    paths.push_back("/dev/ttyS" + std::to_string(comNumber - 1));
    paths.push_back("/dev/ttyUSB" + std::to_string(comNumber - 1));
    return paths;
}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(int comNumber) {
    for (const auto& path : ComDeviceCandidates(comNumber)) {
        if (OpenPath(path)) return true;
    }
    return false;
}

bool SerialPort::OpenPath(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Not shared: a second opener (another program, an abandoned attempt) is refused.
    // The terminal's exclusive mode does not bind a privileged opener, the lock does.
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    if (!configure()) {
        Close();
        return false;
    }
    Purge();
    return true;
}

bool SerialPort::configure() {
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, B115200) != 0 || ::cfsetospeed(&t, B115200) != 0) return false;
    return ::tcsetattr(m_fd, TCSANOW, &t) == 0;
}

void SerialPort::Close() {
    if (m_fd >= 0) {
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }
    m_fd = -1;
    m_path.clear();
}

void SerialPort::Purge() {
    if (m_fd >= 0) ::tcflush(m_fd, TCIOFLUSH);
}

std::size_t SerialPort::Write(const std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds limit) {
    if (m_fd < 0) return 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) break;
    }
    return done;
}

long SerialPort::Read(std::uint8_t* buffer, std::size_t max, std::chrono::milliseconds limit) {
    if (m_fd < 0) return -1;
    pollfd p{m_fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(limit.count()));
    if (r < 0) return errno == EINTR ? 0 : -1;
    if (r == 0) return 0;
    if (p.revents & POLLIN) {
        const ssize_t n = ::read(m_fd, buffer, max);
        if (n > 0) return static_cast<long>(n);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        return -1;  // end of file or error: the far end is gone
    }
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
    return 0;
}

}  // namespace smt
