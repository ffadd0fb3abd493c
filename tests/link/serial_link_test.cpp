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
    bool Move(std::uint8_t code, ReplyFamily family, const char* name) {
        return ExchangeSerial(family, WaitKind::Move, name,
                              BuildSerialFrame(code, FrameData{}.U8(0).Sm32(100).U8(10).U8(20)));
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

TEST_F(SerialLinkTest, EightThreadsWriteOnlyWholeFrames) {
    PtyPeer peer(dir.Path(), 5, HandshakeOnly);
    int number = 0;
    ASSERT_TRUE(Connect(5, number));
    constexpr int kThreads = 8, kFrames = 1000;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kFrames; ++i)
                GetSerialLink().SendFrame(BuildSerialFrame(0x61, FrameData{}.U8(t).Sm32(i).U8(1).U8(2)));
        });
    }
    for (auto& w : writers) w.join();
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (peer.FrameCount() < 1 + kThreads * kFrames && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    const auto frames = peer.Frames();
    ASSERT_EQ(frames.size(), 1u + kThreads * kFrames);
    EXPECT_EQ(peer.BadBytes(), 0u);
    std::vector<int> next(kThreads, 0);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        ASSERT_EQ(frames[i].data.size(), 7u);
        const int t = frames[i].data[0];
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(ReadSm32(frames[i].data.data() + 1), next[t]++);  // each thread's frames in order
    }
}

TEST_F(SerialLinkTest, FaultModesEndInTheReplyOrAClearFailure) {
    std::atomic<int> mode{0};
    PtyPeer* self = nullptr;
    PtyPeer peer(dir.Path(), 5, [&](const SeenFrame& f) -> std::vector<std::uint8_t> {
        if (f.command == 0x00) return ReplyBytes(0x01, 0x00);
        const auto reply = ReplyBytes(0x01, f.command);
        switch (mode.load()) {
        case 0: return reply;  // prompt
        case 1: return {};     // silence
        case 2:                // delay
            std::this_thread::sleep_for(80ms);
            return reply;
        case 3: {  // split across writes
            self->Write({reply.begin(), reply.begin() + 4});
            std::this_thread::sleep_for(15ms);
            return {reply.begin() + 4, reply.end()};
        }
        case 4: {  // garbage and a stray start byte first
            std::vector<std::uint8_t> g{0x00, 0x55, 0xFF, 0xFC, 0xEE, 0x13};
            g.insert(g.end(), reply.begin(), reply.end());
            return g;
        }
        default: return {};
        }
    });
    self = &peer;
    int number = 0;
    ASSERT_TRUE(Connect(5, number));
    SetWaitLimitOverride(WaitKind::Move, 300ms);

    EXPECT_TRUE(Move(0x61, ReplyFamily::SingleAxis, "61->单轴运动"));
    mode = 2;
    EXPECT_TRUE(Move(0x61, ReplyFamily::SingleAxis, "61->单轴运动"));
    mode = 3;
    EXPECT_TRUE(Move(0x64, ReplyFamily::MoveXYA, "64->XYA轴运动"));
    mode = 4;
    EXPECT_TRUE(Move(0x65, ReplyFamily::MoveXYAMulti, "65->XYA多轴运动"));
    EXPECT_TRUE(g_Connected.load());
    EXPECT_EQ(boxes.Count(), 0u);

    mode = 1;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(Move(0x61, ReplyFamily::SingleAxis, "61->单轴运动"));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
    EXPECT_FALSE(g_Connected.load());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Texts()[0], NoAnswerText("61->单轴运动"));
    EXPECT_TRUE(boxes.Seen()[0].topmost);
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
