#include "link/serial_link.h"

#include <algorithm>

#include "link/link_log.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/replies.h"

namespace smt {


SerialLink::SerialLink() = default;

SerialLink::~SerialLink() { Close(); }

SerialLink& GetSerialLink() {
    static SerialLink link;
    return link;
}

bool SerialLink::IsOpen() const { return m_port.IsOpen(); }

void SerialLink::startThreads() {
    g_StopReceive.store(false);
    m_receiveThread = std::thread([this] { SerialReceiveThread(); });
    m_frameThread = std::thread([this] { SerialReplyThread(); });
}

void SerialLink::stopThreads() {
    g_StopReceive.store(true);
    m_bytesArrived.Set();
    if (m_receiveThread.joinable()) m_receiveThread.join();
    if (m_frameThread.joinable()) m_frameThread.join();
}

void SerialLink::Close() {
    std::lock_guard open(m_openMutex);
    // Threads first (the frame thread may be sending from a reply handler), then
    // the port under the link mutex so no write is cut in half.
    stopThreads();
    std::lock_guard lock(g_LinkMutex);
    m_port.Close();
}

bool SerialLink::tryPort(int number) {
    if (!m_port.Open(number)) return false;
    m_cutter.Clear();
    m_bytesArrived.Reset();
    startThreads();
    {
        // The handshake shares its reply family with the single-axis commands:
        // one in flight, from arming to the reply or the port given up.
        ReplyTurn turn(ReplyFamily::SingleAxis);
        if (turn.Wait(WaitLimit(WaitKind::Handshake), &g_StopReceive) == plat::WaitResult::Signalled) {
            ArmReply(ReplyFamily::SingleAxis);
            HandshakeThread();
            if (g_ReplyEvents[ReplyFamily::SingleAxis].Wait(WaitLimit(WaitKind::Handshake)) ==
                plat::WaitResult::Signalled) {
                return true;
            }
        }
    }
    // Abandoned attempt: its threads end and are joined before the port closes and
    // before the next attempt clears the stop flag, so no two readers share the ring.
    stopThreads();
    std::lock_guard lock(g_LinkMutex);
    m_port.Close();
    return false;
}

void SerialLink::HandshakeThread() { SendHandshake(); }

bool SerialLink::OpenSerialLink(int& comNumber) {
    std::lock_guard open(m_openMutex);
    stopThreads();
    {
        std::lock_guard lock(g_LinkMutex);
        m_port.Close();
    }
    const bool wasConnected = g_Connected.load();
    for (int n = comNumber; n >= 1 && n <= 99; ++n) {
        if (plat::WaitsCancelled()) break;
        if (tryPort(n)) {
            comNumber = n;
            LinkLog("Serial link on COM%d (%s)", n, m_port.Path().c_str());
            auto& hooks = GetLinkHooks();
            if (hooks.openCameraOnConnect) hooks.openCameraOnConnect(wasConnected);
            NoteLinkUp();
            return true;
        }
    }
    comNumber = 1;
    if (auto& caption = GetLinkHooks().setConnectCaption) caption(CurrentLinkTexts().onlineError);
    return false;
}

bool SerialLink::SendFrame(const std::uint8_t* frame, std::size_t length) {
    std::lock_guard lock(g_LinkMutex);
    if (!m_port.IsOpen()) return false;
    return m_port.Write(frame, length, limits::kSerialWrite) == length;
}

bool SerialLink::SendHandshake() { return SendFrame(HandshakeFrame()); }

void SerialLink::SerialReceiveThread() {
    std::uint8_t buffer[256];
    while (!g_StopReceive.load()) {
        const std::size_t room = m_cutter.Free();
        if (room == 0) {  // the frame thread is behind (a message box is open): let the port hold it
            m_bytesArrived.Set();
            plat::SleepFor(plat::Millis(1), &g_StopReceive);
            continue;
        }
        const long n = m_port.Read(buffer, std::min(room, sizeof buffer), limits::kLinkPoll);
        if (n < 0) {
            // The port went away (unplugged): every wait on this link ends now. The
            // link is marked lost before the waits end, so theirs stay traces and the
            // operator gets this one box, whatever was in flight.
            LinkLog("Serial port lost: %s", m_port.Path().c_str());
            AppendCommTrace("Serial port lost !", true);
            const bool wasUp = g_Connected.load();
            const bool told = DeclareLinkLost();
            g_StopReceive.store(true);
            if (wasUp && !told && !plat::WaitsCancelled())
                PostMessageBoxOk(LinkLostText(), plat::MsgIcon::Error);
            break;
        }
        if (n > 0) {
            m_cutter.Push(buffer, static_cast<std::size_t>(n));
            m_bytesArrived.Set();
        }
    }
}

void SerialLink::SerialReplyThread() {
    while (!g_StopReceive.load()) {
        const auto limit = m_cutter.Pending() ? limits::kFrameTail / 5 : limits::kLinkPoll;
        m_bytesArrived.Wait(limit, &g_StopReceive);
        if (g_StopReceive.load()) break;
        m_cutter.Cut(DispatchSerialReply, FrameCutter::Clock::now(), limits::kFrameTail);
    }
}

const SerialFrame& HandshakeFrame() {
    static const SerialFrame frame = BuildSerialFrame(0x00, std::vector<std::uint8_t>{});
    return frame;
}

}  // namespace smt
