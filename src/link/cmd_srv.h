// The Ethernet link: one UDP endpoint toward the machine's main board (CmdSrv)
// with its receive thread and reply queue, and MachineLink, the manual control
// panel's link object on which the command functions send.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/datagram.h"
#include "platform/event.h"

namespace smt {

inline constexpr std::uint16_t kMachinePort = 60000;
inline constexpr long kReplyQueueMax = 2000;

// Where the endpoint binds. Empty address: the local address that reaches the
// board (127.0.0.1 when the board is on loopback). Port -1: the board's port.
struct LocalEndpoint {
    std::string address;
    int port = -1;
};

class CmdSrv {
public:
    CmdSrv();
    ~CmdSrv();
    CmdSrv(const CmdSrv&) = delete;
    CmdSrv& operator=(const CmdSrv&) = delete;

    // Opens the socket toward `address`:`port`. false (and nothing changed) when
    // already open; false with the reason in LastError() when the socket cannot be
    // made or bound. A multicast address joins its group with loop-back off.
    bool OpenSocket(std::uint16_t port, const std::string& address, const LocalEndpoint& local = {});
    // Starts the receive thread and opens the socket; false when either failed
    // (the endpoint then stays closed).
    bool Start(const std::string& address, std::uint16_t port, const LocalEndpoint& local = {});
    // 0 sent, 2 send failed (or not open), 3 packing failed.
    int Send(const LinkMessage& message, std::uint8_t field = 0);
    // 0 a message was taken, 1 none within `limit` (or stopped), 2 not open.
    int WaitReply(LinkMessage& out, plat::Millis limit, const std::atomic<bool>* stop = nullptr);
    // Stops and joins the receive thread, closes the socket, empties the queue.
    void Close();

    bool IsOpen() const { return m_open.load(); }
    std::string LastError() const;
    std::uint16_t LocalPort() const;
    std::string LocalAddress() const;
    std::size_t Queued() const;
    // Datagrams dropped: from another sender than the board, or malformed.
    std::uint64_t DroppedForeign() const { return m_droppedForeign.load(); }
    std::uint64_t DroppedMalformed() const { return m_droppedMalformed.load(); }

private:
    void ReceiveThread();
    void fail(const char* reason);

    std::atomic<bool> m_running{false};
    std::atomic<bool> m_open{false};
    int m_socket = -1;
    sockaddr_in m_peer{};
    bool m_multicast = false;
    std::vector<std::uint8_t> m_sendBuffer;
    mutable std::mutex m_sendMutex;
    mutable std::mutex m_queueMutex;
    std::deque<LinkMessage> m_queue;
    plat::Semaphore m_queued{0, kReplyQueueMax};
    std::thread m_thread;
    std::string m_lastError;
    std::atomic<std::uint64_t> m_droppedForeign{0};
    std::atomic<std::uint64_t> m_droppedMalformed{0};
    bool m_overflowing = false;  // receive thread only
};

class MachineLink {
public:
    MachineLink();
    ~MachineLink();

    // Opens the endpoint toward the board; false when it could not (reported in
    // the log and LastError()). Already open toward the same board: true, as it is;
    // toward another address: closed and opened toward the new one.
    bool Open(const std::string& address, std::uint16_t port = kMachinePort,
              const LocalEndpoint& local = {});
    void Close();
    bool IsOpen() const { return m_srv.IsOpen(); }
    std::string LastError() const { return m_srv.LastError(); }

    // Sends one command datagram under g_LinkMutex; CmdSrv::Send's result.
    int SendCommand(std::uint16_t command, const std::vector<std::uint8_t>& payload, std::uint8_t field = 0);
    // The same without the link mutex (the home command sends so).
    int SendCommandUnlocked(std::uint16_t command, const std::vector<std::uint8_t>& payload,
                            std::uint8_t field = 0);

    CmdSrv& Endpoint() { return m_srv; }
    // The firmware loader's reply: stored by the reply dispatcher, then the event set.
    plat::Event& FirmwareEvent() { return m_firmwareEvent; }
    void StoreReply(const LinkMessage& message);
    LinkMessage Reply() const;

private:
    CmdSrv m_srv;
    std::string m_target;  // "address:port" of the open endpoint
    plat::Event m_firmwareEvent{false, false};
    mutable std::mutex m_replyMutex;
    LinkMessage m_reply;
    std::mutex m_requestMutex;
    LinkMessage m_request;
};

// The process-wide Ethernet link (the manual control panel's).
MachineLink& GetMachineLink();

}  // namespace smt
