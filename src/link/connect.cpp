#include "link/connect.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "base/numtext.h"
#include "link/command_frames.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/link_log.h"
#include "link/link_lost.h"
#include "link/manual_control.h"
#include "link/replies.h"
#include "link/reply_handlers.h"
#include "link/serial_link.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/version_switches.h"
#include "settings/pulse_settings.h"

namespace smt {

std::atomic<bool> g_FirstConnect{true};

namespace {
std::atomic<bool> g_connecting{false};

sockaddr_in address(const std::string& ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
    return a;
}

void say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}
}  // namespace

ConnectOptions& TheConnectOptions() {
    static ConnectOptions options;
    return options;
}

ConnectPort& TheConnectPort() {
    static ConnectPort port;
    return port;
}

std::vector<NetInterface> ListIpv4Interfaces() {
    std::vector<NetInterface> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return out;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text);
        out.push_back({i->ifa_name ? i->ifa_name : "", text, (i->ifa_flags & IFF_UP) != 0});
    }
    ::freeifaddrs(list);
    return out;
}

std::vector<std::string> DiscoveryAddresses(const std::vector<NetInterface>& interfaces, const std::string& named) {
    std::vector<std::string> out;
    for (const NetInterface& i : interfaces) {
        if (!i.up) continue;
        if (named.empty() || i.name == named || i.address == named) out.push_back(i.address);
    }
    return out;
}

std::string ConfiguredDiscoveryInterface(const std::string& configPath) {
    std::string v = plat::GetPrivateProfileString("EthernetConfig", "m_DiscoveryInterface", "", 512, configPath);
    const auto first = v.find_first_not_of(" \t");
    const auto last = v.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : v.substr(first, last - first + 1);
}

bool FindMainBoard(std::string& found, const DiscoveryOptions& o) {
    const std::string named =
        o.interfaceName.empty() ? ConfiguredDiscoveryInterface("./config.ini") : o.interfaceName;
    const std::vector<std::string> through = DiscoveryAddresses(ListIpv4Interfaces(), named);
    if (through.empty()) {
        LinkLog("No network interface to search on: %s", named.empty() ? "(none up)" : named.c_str());
        return false;
    }
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        say("创建 socket 失败");
        return false;
    }
    // The board's own responder may share the port on this computer.
    const int one = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in self = address("0.0.0.0", o.port);
    const unsigned char loop = 1;  // the board may be on this computer
    bool ready = ::bind(s, reinterpret_cast<sockaddr*>(&self), sizeof self) == 0 &&
                 ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) == 0;
    std::vector<in_addr> ifaces;
    for (const std::string& a : through) {
        in_addr iface{};
        if (::inet_pton(AF_INET, a.c_str(), &iface) != 1) continue;
        ip_mreq group{};
        ::inet_pton(AF_INET, o.group.c_str(), &group.imr_multiaddr);
        group.imr_interface = iface;
        // Joined where possible; an interface that cannot join is still sent on.
        ::setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group);
        ifaces.push_back(iface);
    }
    if (!ready || ifaces.empty()) {
        say("socket 绑定端口失败");
        LinkLog("Discovery socket failed: %s", std::strerror(errno));
        ::close(s);
        return false;
    }
    const sockaddr_in to = address(o.group, o.port);
    static const char kQuery[] = "HOST DEVICE";
    static const char kAnswer[] = "MAIN BOARD DEVICE";
    bool ok = false;
    for (int attempt = 0; attempt < o.attempts && !ok && !plat::WaitsCancelled(); ++attempt) {
        say("Find Device...");
        for (const in_addr& iface : ifaces) {
            ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &iface, sizeof iface);
            if (::sendto(s, kQuery, 11, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 11)
                say("UDP 发送失败");
        }
        // Every datagram within the attempt's limit is looked at: our own query
        // comes back through the loop and is not the answer.
        const auto until = std::chrono::steady_clock::now() + o.receiveLimit;
        while (!ok) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{s, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[64];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(s, buffer, sizeof buffer, MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &len);
            if (n >= 17 && std::memcmp(buffer, kAnswer, 17) == 0) {
                char text[INET_ADDRSTRLEN] = {};
                ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
                found = text;
                std::printf("Get Main Board IP: %s\n", text);
                std::fflush(stdout);
                ok = true;
            }
        }
    }
    ::close(s);
    return ok;
}

bool OpenEthernetLink() {
    const ConnectOptions& o = TheConnectOptions();
    std::string board;
    if (!FindMainBoard(board, o.discovery)) {
        plat::MessageBoxOk("Ethernet is no Find !", true, plat::MsgIcon::Warning);
        return false;
    }
    if (g_FirstConnect.load()) {
        if (!GetMachineLink().Open(board, o.boardPort, o.local)) {
            plat::MessageBoxOk("Ethernet is no Find !\n" + GetMachineLink().LastError(), true,
                               plat::MsgIcon::Warning);
            return false;
        }
        plat::SleepFor(o.settle);
    }
    return true;
}

namespace {

void openLiveViewIfClosed() {
    // A live view already open stays open: asking again would toggle it off.
    auto& port = TheConnectPort();
    if (!TheBasicSettings().m_OpenCamera || !port.openLiveView) return;
    if (port.liveViewOpen && port.liveViewOpen()) return;
    port.openLiveView();
}

bool connectSerial() {
    auto& port = TheConnectPort();
    int com = port.comNumber ? port.comNumber() : 1;
    // A section without the key reads 0: the scan still starts at the first port.
    if (com < 1) com = 1;
    const bool ok = GetSerialLink().OpenSerialLink(com);
    if (port.setComNumber) port.setComNumber(com);
    return ok;
}

bool connectEthernet() {
    LinkLog("Console Start");
    if (!OpenEthernetLink()) {
        SetConnectCaption(CurrentLinkTexts().onlineError);
        return false;
    }
    if (g_FirstConnect.load()) StartUdpReplyThread(GetMachineLink());
    if (!g_Connected.load()) openLiveViewIfClosed();
    plat::SetKeepAwake(true);
    NoteLinkUp();
    // With the limits switch on, the board gets the program's travel limits on this
    // link too, so that both refuse the same moves (the board does not answer them).
    const auto& h = GetLinkHooks();
    if (h.sendLimitsOnLink ? h.sendLimitsOnLink() : TheVersionSwitches().m_V2_06 != 0)
        for (const auto& [axis, limit] : AxisLimitPulses()) GetMachineLink().SendCommand(0x01, UdpAxisLimit(axis, limit));
    OnLinkEstablished();
    g_FirstConnect = false;
    return true;
}

}  // namespace

bool ConnectNow() {
    if (g_Connected.load() || g_Running.load()) return false;
    SetConnectCaption(CurrentLinkTexts().onlining);
    EnableManualControls(false);
    return TheBasicSettings().m_CommModel == 0 ? connectSerial() : connectEthernet();
}

bool OnConnect() {
    if (g_Connected.load() || g_Running.load()) return false;
    bool expected = false;
    if (!g_connecting.compare_exchange_strong(expected, true)) return false;
    SetConnectCaption(CurrentLinkTexts().onlining);
    EnableManualControls(false);
    plat::StartWorker("connect", [] {
        ConnectNow();
        g_connecting = false;
    });
    return true;
}

bool Connecting() { return g_connecting.load(); }

std::array<std::pair<std::uint8_t, std::int32_t>, 6> AxisLimitPulses() {
    const BasicSettings& b = TheBasicSettings();
    const PulseFactors& f = ThePulseFactors();
    return {{{0, ToPulses(b.m_X_Limit, f.m_X_Pulse)},
             {1, ToPulses(b.m_Y_Limit, f.m_Y_Pulse)},
             {2, ToPulses(b.m_Z_Limit, f.m_Z_Pulse)},
             {8, ToPulses(b.m_WestFeed_Limit, f.m_WestWalk_Pulse)},
             {9, ToPulses(b.m_NorthFeed_Limit, f.m_NorthWalk_Pulse)},
             {10, ToPulses(b.m_EastFeed_Limit, f.m_EastWalk_Pulse)}}};
}

void SendAxisLimitsThread() {
    for (const auto& [axis, limit] : AxisLimitPulses()) {
        g_AxisLimitEvent.Reset();
        if (!GetSerialLink().IsOpen()) return;
        SendAxisLimit(axis, limit);
        if (!AwaitEvent(g_AxisLimitEvent, WaitKind::Query, "01", Transport::Serial)) return;
    }
}

void InstallConnectHooks() {
    InstallCommandReplyHandlers();
    InstallHomingHooks();
    auto& h = GetLinkHooks();
    h.startSendAxisLimits = [] { plat::StartWorker("axis limits", SendAxisLimitsThread); };
    h.openCameraOnConnect = [](bool wasConnected) {
        if (!wasConnected) openLiveViewIfClosed();
    };
}

void ShutDownLinks() {
    g_StopReceive = true;
    StopUdpReplyThread();
    GetSerialLink().Close();
    GetMachineLink().Close();
    plat::SetKeepAwake(false);
}

}  // namespace smt
