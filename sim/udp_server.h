// The main board's Ethernet side: UDP datagrams on the board's address and port, and
// the discovery responder on the multicast group (kept on the loopback interface).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "codec.h"
#include "link_server.h"

namespace sim {

class UdpServer : public LinkServer {
public:
    // discoveryPort 0: no discovery responder.
    UdpServer(Machine& machine, Faults& faults, std::string address, std::uint16_t port,
              std::string discoveryGroup, std::uint16_t discoveryPort);
    ~UdpServer() override;

    std::uint16_t Port() const;  // the bound port (useful when 0 was asked)

    // Unsolicited messages (flag 0) to the last host that spoke, or to the default
    // host address on the link port.
    void SendKey(int key);  // command 0x14, payload the key number
    void SendUnsolicited(std::uint16_t command, const Bytes& payload);
    void SendRawDatagram(const Bytes& bytes);

private:
    bool OpenLocked(std::string* error) override;
    void CloseLocked() override;
    bool IsOpenLocked() const override { return m_sock >= 0; }
    void Loop() override;
    void HandleDatagram(const std::uint8_t* p, std::size_t n, const sockaddr_in& from);
    void HandleDiscovery(const std::uint8_t* p, std::size_t n, const sockaddr_in& from);
    void SendTo(const Bytes& bytes, const sockaddr_in& to);
    void TakePeer(const sockaddr_in& from);  // a valid command names the host

    std::string m_address;
    std::uint16_t m_port;
    std::string m_group;
    std::uint16_t m_discoveryPort;

    int m_sock = -1;
    int m_discovery = -1;
    std::uint16_t m_boundPort = 0;
    sockaddr_in m_peer{};
    bool m_havePeer = false;
};

} // namespace sim
