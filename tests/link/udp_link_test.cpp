#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "link/cmd_srv.h"
#include "link/replies.h"
#include "link_fixture.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

sockaddr_in Address(const char* ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, ip, &a.sin_addr);
    a.sin_port = htons(port);
    return a;
}

// A raw UDP socket standing in for the board (or for a stranger on the network).
class Peer {
public:
    explicit Peer(const char* address) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in a = Address(address, 0);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Peer() { ::close(m_fd); }
    void SendTo(std::uint16_t to, const std::vector<std::uint8_t>& bytes) {
        const sockaddr_in a = Address("127.0.0.1", to);
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    }
    std::uint16_t port = 0;

private:
    int m_fd;
};

std::vector<std::uint8_t> ReplyDatagram(std::uint16_t command, std::vector<std::uint8_t> payload, std::uint8_t flag = 1) {
    return PackPacket(flag, command, 0, payload);
}

class UdpLink : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_TRUE(srv.Start("127.0.0.2", board.port, LocalEndpoint{"127.0.0.1", 0}));
    }
    void TearDown() override {
        srv.Close();
        LinkTest::TearDown();
    }
    Peer board{"127.0.0.2"};
    CmdSrv srv;
};

}  // namespace

TEST_F(UdpLink, ForeignAndMalformedDatagramsAreDropped) {
    Peer stranger("127.0.0.3");
    stranger.SendTo(srv.LocalPort(), ReplyDatagram(0x14, {1}, 0));  // a panel key from a stranger
    Peer samePortElsewhere("127.0.0.2");  // the board's address, another port
    samePortElsewhere.SendTo(srv.LocalPort(), ReplyDatagram(0x14, {1}, 0));
    auto truncated = ReplyDatagram(0x61, {0x00, 0x03, 0x04});
    truncated.pop_back();
    board.SendTo(srv.LocalPort(), truncated);
    board.SendTo(srv.LocalPort(), {0x01, 0x00, 0x01, 0x61, 0x00, 0x00});  // six bytes
    auto badSum = ReplyDatagram(0x61, {0x00});
    badSum[0] ^= 1;
    board.SendTo(srv.LocalPort(), badSum);
    board.SendTo(srv.LocalPort(), ReplyDatagram(0x53, {0x00}));  // the only good one

    LinkMessage r;
    ASSERT_EQ(srv.WaitReply(r, 2000ms), 0);
    EXPECT_EQ(r.command, 0x53);
    EXPECT_EQ(srv.WaitReply(r, 50ms), 1);
    EXPECT_EQ(srv.DroppedForeign(), 2u);
    EXPECT_EQ(srv.DroppedMalformed(), 3u);
}

TEST_F(UdpLink, OpenFailuresAreReportedAndAClosedEndpointReopens) {
    EXPECT_FALSE(srv.OpenSocket(board.port, "127.0.0.2"));  // already open
    EXPECT_TRUE(srv.IsOpen());
    // A second endpoint on the same local port cannot bind: it says so and stays closed.
    CmdSrv other;
    EXPECT_FALSE(other.Start("127.0.0.2", board.port, LocalEndpoint{"127.0.0.1", srv.LocalPort()}));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(other.LastError(), "socket 绑定端口失败");
    LinkMessage m;
    m.Set(0x61, {});
    EXPECT_EQ(other.Send(m), 2);
    EXPECT_EQ(other.WaitReply(m, 10ms), 2);
    MachineLink link;
    EXPECT_FALSE(link.Open("127.0.0.2", board.port, LocalEndpoint{"127.0.0.1", srv.LocalPort()}));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(link.Open("not an address", 60000));
    // A loopback board gets the loopback host address.
    CmdSrv own;
    ASSERT_TRUE(own.Start("127.0.0.2", board.port, LocalEndpoint{"", 0}));
    EXPECT_EQ(own.LocalAddress(), "127.0.0.1");
    own.Close();
    EXPECT_FALSE(own.IsOpen());
    EXPECT_EQ(own.WaitReply(m, 10ms), 2);
    EXPECT_TRUE(own.Start("127.0.0.2", board.port, LocalEndpoint{"", 0}));
}

TEST_F(UdpLink, CloseJoinsTheReceiveThreadWhileTrafficFlows) {
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        while (!stop) board.SendTo(srv.LocalPort(), ReplyDatagram(0x61, {0x00}));
    });
    std::this_thread::sleep_for(20ms);
    srv.Close();
    stop = true;
    flood.join();
    EXPECT_FALSE(srv.IsOpen());
    EXPECT_EQ(srv.Queued(), 0u);
}

// Dispatch, silence, broken and late replies are proven against the simulated
// machine; here the wait that shutdown cancels and the thread's stop.
TEST_F(UdpLink, ShutdownCancelsTheReplyWaitAndTheThreadStopsWhenAsked) {
    MachineLink link;
    ASSERT_TRUE(link.Open("127.0.0.2", board.port, LocalEndpoint{"127.0.0.1", 0}));
    StartUdpReplyThread(link);
    StartUdpReplyThread(link);  // a second start does nothing
    EXPECT_TRUE(UdpReplyThreadRunning());
    g_Connected = true;
    ArmReply(ReplyFamily::MoveXYA);
    link.SendCommand(0x64, Payload{}.I32(0).Bytes());
    std::thread canceller([] {
        std::this_thread::sleep_for(30ms);
        plat::CancelAllWaits();
    });
    EXPECT_FALSE(AwaitReply(ReplyFamily::MoveXYA, WaitKind::Move, "64->XYA轴运动", Transport::Ethernet));
    canceller.join();
    EXPECT_EQ(boxes.Count(), 0u);
    plat::ResumeWaits();
    // The dispatcher sleeps on its queue; raising its flag ends it at once.
    const auto t0 = std::chrono::steady_clock::now();
    StopUdpReplyThread();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    EXPECT_FALSE(UdpReplyThreadRunning());
    link.Close();
}

TEST(WaitLimits, AnOverrideOfZeroGivesTheBuiltInLimitBack) {
    SetWaitLimitOverride(WaitKind::Move, 5ms);
    EXPECT_EQ(WaitLimit(WaitKind::Move), 5ms);
    SetWaitLimitOverride(WaitKind::Move, 0ms);
    EXPECT_EQ(WaitLimit(WaitKind::Move), 60s);
}
