#include "udp_server.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim_config.h"

namespace sim {

namespace {
const char kQuery[] = "HOST DEVICE";
const char kAnswer[] = "MAIN BOARD DEVICE";
const Bytes kJunkDatagram{0x5A, 0xA5, 0x00, 0x13, 0x37};

sockaddr_in Addr(const std::string& ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
    return a;
}
} // namespace

UdpServer::UdpServer(Machine& machine, Faults& faults, std::string address, std::uint16_t port,
                     std::string discoveryGroup, std::uint16_t discoveryPort)
    : LinkServer(machine, faults), m_address(std::move(address)), m_port(port),
      m_group(std::move(discoveryGroup)), m_discoveryPort(discoveryPort) {}

UdpServer::~UdpServer() { Stop(); }

std::uint16_t UdpServer::Port() const {
    std::lock_guard lock(m_ioMutex);
    return m_boundPort;
}


bool UdpServer::OpenLocked(std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) *error = what + ": " + std::strerror(errno);
        CloseLocked();
        return false;
    };
    m_sock = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (m_sock < 0) return fail("socket");
    // No SO_REUSEADDR here: a second board on the same address and port must fail
    // to start rather than share the datagrams.
    // Plugged in again, the board comes back on the port it had.
    sockaddr_in self = Addr(m_address, m_boundPort ? m_boundPort : m_port);
    if (::bind(m_sock, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0)
        return fail("bind " + m_address + ":" + std::to_string(m_port));
    socklen_t len = sizeof self;
    getsockname(m_sock, reinterpret_cast<sockaddr*>(&self), &len);
    m_boundPort = ntohs(self.sin_port);

    if (m_discoveryPort != 0) {
        m_discovery = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (m_discovery < 0) return fail("socket");
        const int one = 1;
        setsockopt(m_discovery, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        // Bound to the group itself, so unicast answers to the host's port are not
        // taken by this socket.
        sockaddr_in g = Addr(m_group, m_discoveryPort);
        if (::bind(m_discovery, reinterpret_cast<sockaddr*>(&g), sizeof g) != 0)
            return fail("bind " + m_group + ":" + std::to_string(m_discoveryPort));
        ip_mreq mreq{};
        inet_pton(AF_INET, m_group.c_str(), &mreq.imr_multiaddr);
        inet_pton(AF_INET, kLoopbackInterface, &mreq.imr_interface);
        if (setsockopt(m_discovery, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) != 0)
            return fail("join " + m_group);
        in_addr iface{};
        inet_pton(AF_INET, kLoopbackInterface, &iface);
        setsockopt(m_discovery, IPPROTO_IP, IP_MULTICAST_IF, &iface, sizeof iface);
        const unsigned char loop = 1;
        setsockopt(m_discovery, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    }
    return true;
}

void UdpServer::CloseLocked() {
    if (m_sock >= 0) ::close(m_sock);
    if (m_discovery >= 0) ::close(m_discovery);
    m_sock = m_discovery = -1;
}





void UdpServer::SendTo(const Bytes& bytes, const sockaddr_in& to) {
    std::lock_guard lock(m_ioMutex);
    if (m_sock < 0) return;
    ::sendto(m_sock, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void UdpServer::SendRawDatagram(const Bytes& bytes) {
    sockaddr_in to;
    {
        std::lock_guard lock(m_ioMutex);
        to = m_havePeer ? m_peer : Addr(kHostAddress, m_port ? m_port : kLinkPort);
    }
    SendTo(bytes, to);
}

void UdpServer::SendUnsolicited(std::uint16_t command, const Bytes& payload) {
    SendRawDatagram(PackDatagram(0, command, payload));
}

void UdpServer::SendKey(int key) { SendUnsolicited(0x14, Bytes{static_cast<std::uint8_t>(key)}); }

void UdpServer::HandleDiscovery(const std::uint8_t* p, std::size_t n, const sockaddr_in& from) {
    if (n < sizeof kQuery - 1 || std::memcmp(p, kQuery, sizeof kQuery - 1) != 0) return;
    // Answered from the link socket, so the sender address the host sees is the board's.
    SendTo(Bytes(kAnswer, kAnswer + sizeof kAnswer - 1), from);
}

void UdpServer::HandleDatagram(const std::uint8_t* p, std::size_t n, const sockaddr_in& from) {
    Datagram dg;
    std::string why;
    if (!UnpackDatagram(p, n, dg, &why)) {
        // Malformed: recorded, and the sender does not become the host.
        const std::uint16_t cmd = n >= 5 ? static_cast<std::uint16_t>((p[3] | (p[4] << 8)) & 0xFFF) : 0;
        m_machine.RecordRejected(Link::Udp, cmd, Bytes(p, p + n), why);
        return;
    }
    const std::uint16_t code = dg.command & 0xFFF;
    FaultPlan refusal;
    if (m_faults.TakeRefusal(&refusal)) {
        // Refused: the machine stays as it was, the status tells why.
        m_machine.RecordRejected(Link::Udp, code, dg.payload, "refused (fault)");
        TakePeer(from);
        if (refusal.delayMs > 0 && !m_stop.SleepMs(refusal.delayMs)) return;
        SendTo(PackDatagram(1, code, Bytes{refusal.errorCode, m_machine.ZState()}), from);
        return;
    }
    const Outcome out = m_machine.Execute(Link::Udp, code, dg.payload);
    if (!out.accepted) return;  // a command of a wrong length is no command either
    TakePeer(from);
    FaultPlan plan;
    if (!PlanReplies(code, out, &plan)) return;
    if (plan.garbage) SendTo(kJunkDatagram, from);
    for (const Outgoing& r : out.replies) {
        Bytes d = PackDatagram(r.kind, r.code, r.data);
        if (plan.badSum) d[0] ^= 0x5A;
        if (plan.split) {
            const auto half = static_cast<std::ptrdiff_t>(d.size() / 2);
            SendTo(Bytes(d.begin(), d.begin() + half), from);
            SendTo(Bytes(d.begin() + half, d.end()), from);
        } else {
            SendTo(d, from);
        }
    }
}

void UdpServer::TakePeer(const sockaddr_in& from) {
    std::lock_guard lock(m_ioMutex);
    m_peer = from;
    m_havePeer = true;
}

void UdpServer::Loop() {
    std::uint8_t buf[2048];
    while (!m_stop.Raised()) {
        m_ticker.Tick();
        pollfd p[2];
        int count = 0;
        {
            std::lock_guard lock(m_ioMutex);
            if (m_sock >= 0) p[count++] = pollfd{m_sock, POLLIN, 0};
            if (m_discovery >= 0) p[count++] = pollfd{m_discovery, POLLIN, 0};
        }
        if (count == 0) {
            m_stop.SleepMs(20);
            continue;
        }
        if (::poll(p, static_cast<nfds_t>(count), 20) <= 0) continue;
        for (int i = 0; i < count; ++i) {
            if (!(p[i].revents & POLLIN)) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n;
            bool discovery;
            {
                std::lock_guard lock(m_ioMutex);
                if (p[i].fd != m_sock && p[i].fd != m_discovery) continue;  // unplugged meanwhile
                discovery = p[i].fd == m_discovery;
                n = ::recvfrom(p[i].fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
            }
            if (n < 0) continue;
            if (discovery) HandleDiscovery(buf, static_cast<std::size_t>(n), from);
            else HandleDatagram(buf, static_cast<std::size_t>(n), from);
        }
    }
}

} // namespace sim
