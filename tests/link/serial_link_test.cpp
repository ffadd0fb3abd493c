#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "link/exchange.h"
#include "link/serial_link.h"
#include "link_fixture.h"
#include "pty_peer.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

// Answers the handshake like the machine does; silent otherwise.
std::vector<std::uint8_t> HandshakeOnly(const SeenFrame& f) {
    return f.command == 0x00 ? ReplyBytes(0x01, 0x00) : std::vector<std::uint8_t>{};
}

class SerialLinkTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ::setenv("SMT_SERIAL_DIR", dir.Path().c_str(), 1);
    }
    void TearDown() override {
        GetSerialLink().Close();
        ::unsetenv("SMT_SERIAL_DIR");
        LinkTest::TearDown();
    }
    // Connects to a peer at COM `at`, scanning from `from`.
    bool Connect(int from, int& number) {
        number = from;
        return GetSerialLink().Open(number);
    }
    TempDir dir;
};

}  // namespace

TEST_F(SerialLinkTest, ComNumbersMapToThePublishedFolderFirst) {
    PtyPeer peer(dir.Path(), 5, HandshakeOnly);
    auto c5 = ComDeviceCandidates(5);
    ASSERT_EQ(c5.size(), 3u);
    EXPECT_EQ(c5[0], dir.File("COM5"));
    EXPECT_EQ(c5[1], "/dev/ttyS4");
    EXPECT_EQ(c5[2], "/dev/ttyUSB4");
    EXPECT_EQ(ComDeviceCandidates(6).front(), "/dev/ttyS5");  // nothing published
    EXPECT_TRUE(ComDeviceCandidates(0).empty());
}

TEST_F(SerialLinkTest, ScanFromCom3FindsTheMachineAtCom5) {
    PtyPeer peer(dir.Path(), 5, HandshakeOnly);
    int number = 0;
    ASSERT_TRUE(Connect(3, number));
    EXPECT_EQ(number, 5);
    EXPECT_TRUE(g_Connected.load());
    EXPECT_TRUE(GetSerialLink().IsOpen());
    ASSERT_GE(peer.FrameCount(), 1u);
    EXPECT_EQ(peer.Frames()[0].command, 0x00);
    // The reply thread runs the link-established step after the scan returns.
    EXPECT_TRUE(WaitUntil([&] { return !hooks.Calls().empty(); }));
    EXPECT_EQ(hooks.Calls(), Calls{"linked"});
    // The port is held exclusively: nobody else can open it now.
    SerialPort other;
    EXPECT_FALSE(other.OpenPath(dir.File("COM5")));
}

TEST_F(SerialLinkTest, NoAnswerShowsTheFailureCaptionAndRestartsAtOne) {
    PtyPeer silent(dir.Path(), 97, [](const SeenFrame&) { return std::vector<std::uint8_t>{}; });
    int number = 0;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(Connect(96, number));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);  // one silent port costs one handshake wait
    EXPECT_EQ(number, 1);
    EXPECT_FALSE(g_Connected.load());
    EXPECT_EQ(hooks.Calls(), Calls{"caption 联机失败"});
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(silent.FrameCount(), 1u);  // it did get the handshake

    hooks.Take();
    EXPECT_FALSE(Connect(100, number));  // nothing to try
    EXPECT_EQ(number, 1);
    EXPECT_EQ(hooks.Calls(), Calls{"caption 联机失败"});
}

TEST_F(SerialLinkTest, AbandonedAttemptLeavesNoReaderBehind) {
    // A silent machine at COM4, the real one at COM6: the attempt on COM4 is
    // stopped and joined before COM6 is tried, so only one reader fills the ring.
    PtyPeer silent(dir.Path(), 4, [](const SeenFrame&) { return std::vector<std::uint8_t>{}; });
    PtyPeer machine(dir.Path(), 6, HandshakeOnly);
    int number = 0;
    ASSERT_TRUE(Connect(4, number));
    EXPECT_EQ(number, 6);
    // The abandoned port was closed: it can be opened again by anyone.
    SerialPort again;
    EXPECT_TRUE(again.OpenPath(dir.File("COM4")));
    // A late answer on the abandoned port reaches nobody.
    silent.Write(ReplyBytes(0x01, 0x61));
    machine.Write(ReplyBytes(0x01, 0x64));
    EXPECT_TRUE(g_ReplyEvents[ReplyFamily::MoveXYA].Wait(2s) == plat::WaitResult::Signalled);
    EXPECT_FALSE(g_ReplyEvents[ReplyFamily::SingleAxis].Wait(50ms) == plat::WaitResult::Signalled);
}

TEST_F(SerialLinkTest, UnpluggedCableEndsTheWaitAtOnce) {
    PtyPeer peer(dir.Path(), 5, HandshakeOnly);
    int number = 0;
    ASSERT_TRUE(Connect(5, number));
    ArmReply(ReplyFamily::MoveXY);
    std::thread pull([&] {
        std::this_thread::sleep_for(50ms);
        peer.Unplug();
    });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(AwaitReply(ReplyFamily::MoveXY, WaitKind::Move, "53->XY轴运动", Transport::Serial));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);  // not the minute of the move limit
    pull.join();
    EXPECT_FALSE(g_Connected.load());
    EXPECT_EQ(boxes.Count(), 0u);
    const auto calls = hooks.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "trace Serial port lost !"), calls.end());
    // Writing to the closed link fails instead of hanging.
    GetSerialLink().Close();
    EXPECT_FALSE(GetSerialLink().SendFrame(HandshakeFrame()));
}

TEST_F(SerialLinkTest, ReconnectClosesTheOpenPortFirst) {
    PtyPeer peer(dir.Path(), 5, HandshakeOnly);
    int number = 0;
    ASSERT_TRUE(Connect(5, number));
    ASSERT_TRUE(Connect(5, number));  // the open port is let go before the scan
    EXPECT_EQ(number, 5);
    EXPECT_EQ(peer.FrameCount(), 2u);
    // Replies still flow through exactly one reader.
    peer.Write(ReplyBytes(0x01, 0x53));
    EXPECT_EQ(g_ReplyEvents[ReplyFamily::MoveXY].Wait(2s), plat::WaitResult::Signalled);
}

TEST_F(SerialLinkTest, FixedFrameBufferIsSentAsIs) {
    PtyPeer peer(dir.Path(), 5, HandshakeOnly);
    int number = 0;
    ASSERT_TRUE(Connect(5, number));
    const auto frame = BuildSerialFrame(0x66, FrameData{}.U8(3).Sm32(500).U8(1).U8(2).Be16(3).Be16(4).U8(5).U8(6).Be16(7).U8(8).U8(9));
    ASSERT_EQ(frame.size(), 26u);
    std::copy(frame.begin(), frame.end(), g_FixedFrame.begin());
    EXPECT_TRUE(GetSerialLink().SendFixedFrame(frame.size()));
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (peer.FrameCount() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    ASSERT_EQ(peer.FrameCount(), 2u);
    EXPECT_EQ(peer.Frames()[1].command, 0x66);
    EXPECT_EQ(peer.Frames()[1].data.size(), 17u);
}

TEST_F(SerialLinkTest, CommandsOnAClosedLinkFailAtOnce) {
    g_Connected = true;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(ExchangeSerial(ReplyFamily::SingleAxis, WaitKind::Move, "61->单轴运动", HandshakeFrame()));
    EXPECT_FALSE(ExchangeEthernet(ReplyFamily::SingleAxis, WaitKind::Move, "61->单轴运动", 0x61, {0x00}));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    EXPECT_FALSE(g_Connected.load());
    EXPECT_EQ(boxes.Texts(), (Calls{SendFailedText("61->单轴运动"), SendFailedText("61->单轴运动")}));
}
