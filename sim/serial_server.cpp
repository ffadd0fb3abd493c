#include "serial_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace sim {

namespace {
// Junk before a reply; it holds no start byte, so a sound reply cutter skips it.
const Bytes kGarbage{0x00, 0x5A, 0x13, 0xA5, 0xFF, 0xFC, 0x3C};
constexpr int kSplitPieces = 3;
// A frame whose bytes stop coming for this long is given up: the board answers the
// next command instead of waiting behind a truncated head.
constexpr int kInterByteGapMs = 50;
} // namespace

SerialServer::SerialServer(Machine& machine, Faults& faults, std::string linkDir, int comNumber)
    : LinkServer(machine, faults), m_dir(std::move(linkDir)), m_com(comNumber) {}

SerialServer::~SerialServer() { Stop(); }

std::string SerialServer::LinkPath() const {
    return m_dir.empty() ? std::string() : m_dir + "/COM" + std::to_string(m_com);
}

std::string SerialServer::SlavePath() const {
    std::lock_guard lock(m_ioMutex);
    return m_slavePath;
}

bool SerialServer::OpenLocked(std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) *error = what + ": " + std::strerror(errno);
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) return fail("posix_openpt");
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) return fail("unlockpt");
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0) return fail("ptsname");
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) return fail(std::string("open ") + name);
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    tcsetattr(slave, TCSANOW, &t);
    // The settings stay with the terminal; the slave is not kept open, so that a
    // host that locks the port for itself (TIOCEXCL) can open it again after closing.
    ::close(slave);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = name;
    m_decoder = HostFrameDecoder();
    const std::string link = LinkPath();
    if (!link.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(m_dir, ec);
        ::unlink(link.c_str());
        if (::symlink(name, link.c_str()) != 0) return fail("symlink " + link);
    }
    return true;
}

void SerialServer::CloseLocked() {
    if (m_master < 0) return;
    const std::string link = LinkPath();
    if (!link.empty()) {
        char target[256];
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == m_slavePath) ::unlink(link.c_str());
    }
    ::close(m_master);
    m_master = -1;
}





void SerialServer::WriteLocked(const Bytes& bytes) {
    if (m_master < 0) return;
    std::size_t done = 0;
    int stalls = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // Nobody reads the port and its buffer is full: a real line drops the bytes.
        if (n < 0 && errno == EAGAIN && ++stalls < 20) {
            ::usleep(1000);
            continue;
        }
        return;
    }
}

void SerialServer::SendRaw(const Bytes& bytes) {
    std::lock_guard lock(m_ioMutex);
    WriteLocked(bytes);
}

void SerialServer::SendKey(char key) {
    SendRaw(EncodeReplyFrame(kReplyKey, 0x00, Bytes{static_cast<std::uint8_t>(key)}));
}

void SerialServer::SendReport(std::uint8_t code, std::uint8_t sub) {
    SendRaw(EncodeReplyFrame(kReplyError, code, Bytes{sub}));
}

void SerialServer::Answer(std::uint16_t code, const Outcome& outcome) {
    FaultPlan plan;
    if (!PlanReplies(code, outcome, &plan)) return;

    Bytes out;
    if (plan.garbage) out = kGarbage;
    for (const Outgoing& r : outcome.replies) {
        Bytes f = EncodeReplyFrame(r.kind, static_cast<std::uint8_t>(r.code), r.data);
        if (plan.badSum) f.back() = 0xFE;  // no sum on this link: the terminator breaks
        out.insert(out.end(), f.begin(), f.end());
    }
    if (!plan.split) {
        SendRaw(out);
        return;
    }
    const std::size_t piece = (out.size() + kSplitPieces - 1) / kSplitPieces;
    for (std::size_t at = 0; at < out.size(); at += piece) {
        SendRaw(Bytes(out.begin() + static_cast<std::ptrdiff_t>(at),
                      out.begin() + static_cast<std::ptrdiff_t>(std::min(out.size(), at + piece))));
        if (at + piece < out.size() && !m_stop.SleepMs(plan.splitGapMs)) return;
    }
}

void SerialServer::DropStalledFrame(std::chrono::steady_clock::time_point lastByte) {
    if (std::chrono::steady_clock::now() - lastByte < std::chrono::milliseconds(kInterByteGapMs)) return;
    Bytes dropped;
    {
        std::lock_guard lock(m_ioMutex);
        if (m_decoder.Pending() == 0) return;
        dropped = m_decoder.DropPending();
    }
    m_machine.RecordRejected(Link::Serial, dropped.size() > 3 ? dropped[3] : 0, dropped,
                             "partial frame dropped after a pause");
}

void SerialServer::Refuse(const HostFrame& frame, const FaultPlan& plan) {
    m_machine.RecordRejected(Link::Serial, frame.code, frame.data, "refused (fault)");
    if (plan.delayMs > 0 && !m_stop.SleepMs(plan.delayMs)) return;
    // A time-out has no report in the serial reply table: the board stays silent.
    if (plan.error) SendReport(plan.errorCode, plan.errorSub);
}

void SerialServer::Loop() {
    std::uint8_t buf[512];
    std::vector<HostFrameDecoder::Item> items;
    auto lastByte = std::chrono::steady_clock::now();
    while (!m_stop.Raised()) {
        m_ticker.Tick();
        int fd;
        {
            std::lock_guard lock(m_ioMutex);
            fd = m_master;
        }
        if (fd < 0) {
            m_stop.SleepMs(20);
            continue;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) {
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) m_stop.SleepMs(20);
            DropStalledFrame(lastByte);
            continue;
        }
        lastByte = std::chrono::steady_clock::now();
        ssize_t n = -1;
        {
            std::lock_guard lock(m_ioMutex);
            if (m_master == fd) n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                items.clear();
                m_decoder.Feed(buf, static_cast<std::size_t>(n), items);
            }
        }
        if (n <= 0) {
            m_stop.SleepMs(20);  // no host has the port open (EIO): wait for one
            continue;
        }
        for (const auto& it : items) {
            if (!it.ok) {
                m_machine.RecordRejected(Link::Serial, it.raw.size() > 3 ? it.raw[3] : 0, it.raw, it.reason);
                continue;
            }
            FaultPlan refusal;
            if (m_faults.TakeRefusal(&refusal)) Refuse(it.frame, refusal);
            else Answer(it.frame.code, m_machine.Execute(Link::Serial, it.frame.code, it.frame.data));
            if (m_stop.Raised()) break;
        }
    }
}

} // namespace sim
