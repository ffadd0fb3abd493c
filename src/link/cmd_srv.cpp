#include "link/cmd_srv.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "link/link_log.h"
#include "link/link_state.h"
#include "platform/system.h"

namespace smt {

namespace {

bool isMulticast(in_addr a) {
    const std::uint32_t h = ntohl(a.s_addr);
    return h >= 0xE0000000u && h <= 0xEFFFFFFFu;
}

// The local address the system would send from to reach `peer`.
bool routeSource(const sockaddr_in& peer, in_addr& out) {
    if ((ntohl(peer.sin_addr.s_addr) >> 24) == 127) {
        // Board and computer share the loopback: the computer keeps 127.0.0.1.
        out.s_addr = htonl(INADDR_LOOPBACK);
        return true;
    }
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    bool ok = ::connect(probe, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ok = ok && ::getsockname(probe, reinterpret_cast<sockaddr*>(&local), &len) == 0;
    ::close(probe);
    if (ok) out = local.sin_addr;
    return ok;
}

constexpr std::size_t kReceiveBuffer = 2048;

}  // namespace

CmdSrv::CmdSrv() = default;

CmdSrv::~CmdSrv() { Close(); }

void CmdSrv::fail(const char* reason) {
    std::printf("%s\n", reason);
    std::fflush(stdout);
    LinkLog("%s", reason);
    std::lock_guard lock(m_sendMutex);
    m_lastError = reason;
}

bool CmdSrv::OpenSocket(std::uint16_t port, const std::string& address, const LocalEndpoint& local) {
    if (m_open.load()) return false;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) {
        fail("设备地址错误");
        return false;
    }
    const bool multicast = isMulticast(peer.sin_addr);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_port = htons(static_cast<std::uint16_t>(local.port < 0 ? port : local.port));
    if (!local.address.empty()) {
        if (::inet_pton(AF_INET, local.address.c_str(), &self.sin_addr) != 1) {
            fail("本机地址错误");
            return false;
        }
    } else if (multicast) {
        self.sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (!routeSource(peer, self.sin_addr)) {
        fail("找不到到设备的网络");
        return false;
    }
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        fail("创建 socket 失败");
        return false;
    }
    if (multicast) {
        const int one = 1;
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (::bind(s, reinterpret_cast<const sockaddr*>(&self), sizeof self) != 0) {
        ::close(s);
        fail("socket 绑定端口失败");
        return false;
    }
    if (multicast) {
        ip_mreq group{};
        group.imr_multiaddr = peer.sin_addr;
        group.imr_interface.s_addr = htonl(INADDR_ANY);
        const unsigned char off = 0;
        if (::setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0 ||
            ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof off) != 0) {
            ::close(s);
            fail("加入组播失败");
            return false;
        }
    }
    const int size = 32768;
    ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ::setsockopt(s, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    {
        std::lock_guard lock(m_sendMutex);
        m_socket = s;
        m_peer = peer;
        m_multicast = multicast;
        m_lastError.clear();
    }
    m_open.store(true);
    return true;
}

bool CmdSrv::Start(const std::string& address, std::uint16_t port, const LocalEndpoint& local) {
    if (m_open.load()) return false;
    if (!OpenSocket(port, address, local)) return false;
    m_sendBuffer.reserve(512 + kDatagramHeader);
    m_running.store(true);
    m_thread = std::thread([this] { ReceiveThread(); });
    return true;
}

int CmdSrv::Send(const LinkMessage& message, std::uint8_t field) {
    std::lock_guard lock(m_sendMutex);
    m_sendBuffer.resize(message.data.size() + kDatagramHeader);
    const std::size_t size = PackPacket(0, message.command, field, message.data.data(), message.data.size(),
                                        m_sendBuffer.data(), m_sendBuffer.size());
    if (size == 0) {
        plat::AlarmBeep();
        LinkLog("Pack Error = 0x%x，", message.command);
        std::printf("CmdSrv send ERROR!\n");
        return 3;
    }
    LinkLog("Send = 0x%x，", message.command);
    if (m_open.load() && m_socket >= 0) {
        const ssize_t sent = ::sendto(m_socket, m_sendBuffer.data(), size, 0,
                                      reinterpret_cast<const sockaddr*>(&m_peer), sizeof m_peer);
        if (sent == static_cast<ssize_t>(size)) return 0;
        std::printf("UDP 发送失败\n");
    }
    plat::AlarmBeep();
    LinkLog("Write Error = 0x%x，", message.command);
    std::printf("CmdSrv send ERROR!\n");
    std::fflush(stdout);
    return 2;
}

void CmdSrv::ReceiveThread() {
    std::vector<std::uint8_t> buffer(kReceiveBuffer);
    while (m_running.load()) {
        const int s = m_socket;
        pollfd p{s, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(limits::kLinkPoll.count())) <= 0) continue;
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(s, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n <= 0) continue;
        // Only the board found by discovery may talk to us: anyone else on the
        // network could otherwise press a panel key that starts a run.
        if (!m_multicast && (from.sin_addr.s_addr != m_peer.sin_addr.s_addr || from.sin_port != m_peer.sin_port)) {
            m_droppedForeign.fetch_add(1);
            continue;
        }
        LinkMessage message;
        if (!UnpackPacket(buffer.data(), static_cast<std::size_t>(n), message)) {
            m_droppedMalformed.fetch_add(1);
            continue;
        }
        {
            std::lock_guard lock(m_queueMutex);
            if (m_queue.size() >= static_cast<std::size_t>(kReplyQueueMax)) {
                // Nobody takes replies any more: say so once per overflow, drop the rest.
                if (!m_overflowing) std::printf("释放信号量失败！\n");
                m_overflowing = true;
                m_droppedMalformed.fetch_add(1);
                continue;
            }
            m_overflowing = false;
            m_queue.push_back(std::move(message));
        }
        m_queued.Release(1);
    }
}

int CmdSrv::WaitReply(LinkMessage& out, plat::Millis limit, const std::atomic<bool>* stop) {
    if (!m_open.load()) return 2;
    if (m_queued.Wait(limit, stop) != plat::WaitResult::Signalled) return 1;
    std::lock_guard lock(m_queueMutex);
    if (m_queue.empty()) return 1;
    out = std::move(m_queue.front());
    m_queue.pop_front();
    LinkLog("Recv = 0x%x，", out.command);
    return 0;
}

void CmdSrv::Close() {
    m_running.store(false);
    if (m_thread.joinable()) m_thread.join();
    {
        std::lock_guard lock(m_sendMutex);
        if (m_socket >= 0) ::close(m_socket);
        m_socket = -1;
        m_open.store(false);
    }
    std::lock_guard lock(m_queueMutex);
    while (m_queued.Wait(plat::Millis(0)) == plat::WaitResult::Signalled) {
    }
    m_queue.clear();
}

std::string CmdSrv::LastError() const {
    std::lock_guard lock(m_sendMutex);
    return m_lastError;
}

std::uint16_t CmdSrv::LocalPort() const {
    std::lock_guard lock(m_sendMutex);
    sockaddr_in self{};
    socklen_t len = sizeof self;
    if (m_socket < 0 || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&self), &len) != 0) return 0;
    return ntohs(self.sin_port);
}

std::string CmdSrv::LocalAddress() const {
    std::lock_guard lock(m_sendMutex);
    sockaddr_in self{};
    socklen_t len = sizeof self;
    if (m_socket < 0 || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&self), &len) != 0) return {};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &self.sin_addr, text, sizeof text);
    return text;
}

std::size_t CmdSrv::Queued() const {
    std::lock_guard lock(m_queueMutex);
    return m_queue.size();
}

MachineLink::MachineLink() = default;

MachineLink::~MachineLink() { Close(); }

bool MachineLink::Open(const std::string& address, std::uint16_t port, const LocalEndpoint& local) {
    const std::string target = address + ":" + std::to_string(port);
    if (m_srv.IsOpen()) {
        if (target == m_target) return true;  // a later connect found the same board
        m_srv.Close();                         // the board moved: follow it
    }
    m_target = target;
    m_firmwareEvent.Reset();
    if (!m_srv.Start(address, port, local)) {
        LinkLog("Machine link not opened: %s", m_srv.LastError().c_str());
        return false;
    }
    return true;
}

void MachineLink::Close() { m_srv.Close(); }

int MachineLink::SendCommandUnlocked(std::uint16_t command, const std::vector<std::uint8_t>& payload,
                                     std::uint8_t field) {
    std::lock_guard lock(m_requestMutex);
    m_request.Assign(0, command, payload.data(), payload.size());
    return m_srv.Send(m_request, field);
}

int MachineLink::SendCommand(std::uint16_t command, const std::vector<std::uint8_t>& payload, std::uint8_t field) {
    std::lock_guard lock(g_LinkMutex);
    return SendCommandUnlocked(command, payload, field);
}

void MachineLink::StoreReply(const LinkMessage& message) {
    std::lock_guard lock(m_replyMutex);
    m_reply = message;
}

LinkMessage MachineLink::Reply() const {
    std::lock_guard lock(m_replyMutex);
    return m_reply;
}

MachineLink& GetMachineLink() {
    static MachineLink link;
    return link;
}

}  // namespace smt
