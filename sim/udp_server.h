// The main board's Ethernet side: UDP datagrams on the board's address and port, and
// the discovery responder on the multicast group (kept on the loopback interface).
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "codec.h"
#include "faults.h"
#include "machine.h"
#include "stop_signal.h"

namespace sim {

class UdpServer {
public:
    // discoveryPort 0: no discovery responder.
    UdpServer(Machine& machine, Faults& faults, std::string address, std::uint16_t port,
              std::string discoveryGroup, std::uint16_t discoveryPort);
    ~UdpServer();
    UdpServer(const UdpServer&) = delete;
    UdpServer& operator=(const UdpServer&) = delete;

    bool Start(std::string* error = nullptr);
    void Stop();  // joins the thread, closes the sockets

    std::uint16_t Port() const;  // the bound port (useful when 0 was asked)
    bool Plugged() const;
    void Unplug();               // closes the sockets: the board answers nothing
    bool Replug(std::string* error = nullptr);

    // Unsolicited messages (flag 0) to the last host that spoke, or to the default
    // host address on the link port.
    void SendKey(int key);  // command 0x14, payload the key number
    void SendUnsolicited(std::uint16_t command, const Bytes& payload);
    void SendRawDatagram(const Bytes& bytes);

    void SetTimeScale(double scale) { m_timeScale = scale; }

private:
    bool OpenSockets(std::string* error);
    void CloseSockets();
    void Loop();
    void HandleDatagram(const std::uint8_t* p, std::size_t n, const sockaddr_in& from);
    void HandleDiscovery(const std::uint8_t* p, std::size_t n, const sockaddr_in& from);
    void SendTo(const Bytes& bytes, const sockaddr_in& to);

    Machine& m_machine;
    Faults& m_faults;
    std::string m_address;
    std::uint16_t m_port;
    std::string m_group;
    std::uint16_t m_discoveryPort;
    std::atomic<double> m_timeScale{0.0};

    mutable std::mutex m_ioMutex;  // guards the sockets, the peer and every send
    int m_sock = -1;
    int m_discovery = -1;
    std::uint16_t m_boundPort = 0;
    sockaddr_in m_peer{};
    bool m_havePeer = false;

    StopSignal m_stop;
    LoopTicker m_ticker;
    std::thread m_thread;
};

} // namespace sim
