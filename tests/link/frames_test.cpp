// The link's wire: serial frames and their cutter, datagrams, and the UDP endpoint
// with its reply thread.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "link/cmd_srv.h"
#include "link/datagram.h"
#include "link/replies.h"
#include "link/serial_frame.h"
#include "link_fixture.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

using Clock = FrameCutter::Clock;
using ByteList = std::vector<std::uint8_t>;

// Pushes bytes and cuts with a clock the test controls.
struct CutterRig {
    FrameCutter cutter;
    std::vector<ReplyFrame> frames;
    Clock::time_point now = Clock::time_point{} + 1h;

    std::size_t Push(const ByteList& b) { return cutter.Push(b.data(), b.size()); }
    int Cut(Clock::duration advance = 0ms) {
        now += advance;
        return cutter.Cut([this](const ReplyFrame& f) { frames.push_back(f); }, now, 50ms);
    }
    // Cut, then let the tail wait run out, so every undecided start byte is settled.
    int Settle() { return Cut() + Cut(1s); }
    // The frames cut so far as "type code data" each, " | " between; forgets them.
    std::string Taken() {
        std::string s;
        for (const auto& f : frames) {
            ByteList b{f.type, f.code};
            b.insert(b.end(), f.data.begin(), f.data.begin() + f.length);
            s += (s.empty() ? "" : " | ") + HexOf(b);
        }
        frames.clear();
        return s;
    }
    std::string Feed(const ByteList& b) {
        Push(b);
        Settle();
        return Taken();
    }
};

ByteList Filler(std::size_t n, std::uint8_t v = 0x11) { return ByteList(n, v); }
ByteList Cat(std::initializer_list<ByteList> parts) {
    ByteList out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST(SerialFrame, GoldenFramesAndNumberEncodings) {
    EXPECT_EQ(HexOf(BuildSerialFrame(0x00, FrameData{})), "EE 00 02 00 02 FF FC FF FF");
    const std::pair<std::int32_t, const char*> sm32[] = {{-1, "80 00 00 01"},   {0, "00 00 00 00"},
                                                          {1, "00 00 00 01"},    {1000, "00 00 03 E8"},
                                                          {-1000, "80 00 03 E8"}, {0x7FFFFFFF, "7F FF FF FF"}};
    for (const auto& [v, hex] : sm32) EXPECT_EQ(HexOf(FrameData{}.Sm32(v).Bytes()), hex) << v;
    EXPECT_EQ(HexOf(FrameData{}.Sm16(-300).Sm16(300).Bytes()), "81 2C 01 2C");
    EXPECT_EQ(HexOf(FrameData{}.Be32(-2).Be16(0x1234).U8(0x1FF).Bytes()), "FF FF FF FE 12 34 FF");
    for (std::int32_t v : {0, 1, -1, 1000, -1000, 123456789, -123456789}) {
        EXPECT_EQ(ReadSm32(FrameData{}.Sm32(v).Bytes().data()), v);
        EXPECT_EQ(ReadBe32(FrameData{}.Be32(v).Bytes().data()), v);
    }
}

TEST(FrameCutter, CutsWholeFramesAndSkipsWhatIsNotOne) {
    CutterRig rig;
    rig.Push(ReplyBytes(0x01, 0x61));
    EXPECT_EQ(rig.Cut(), 1);
    EXPECT_EQ(rig.Taken(), "01 61");
    // A frame across positions 255/0 after the indexes have gone round once.
    rig.Push(Filler(245));
    rig.Settle();
    rig.Push(ReplyBytes(0x01, 0x71, {0x01, 0x00, 0x00, 0x30, 0x39}));
    EXPECT_EQ(rig.Cut(), 1);
    EXPECT_EQ(rig.Taken(), "01 71 01 00 00 30 39");
    EXPECT_EQ(rig.cutter.Pending(), 0u);
    // Five frames in one read.
    ByteList five;
    for (std::uint8_t code : {0x61, 0x64, 0x65, 0x53, 0x15}) five = Cat({five, ReplyBytes(0x01, code, {code})});
    rig.Push(five);
    EXPECT_EQ(rig.Cut(), 5);
    EXPECT_EQ(rig.Taken(), "01 61 61 | 01 64 64 | 01 65 65 | 01 53 53 | 01 15 15");
    // Garbage, a lone start byte right before a frame, then an unknown type in front of another.
    EXPECT_EQ(rig.Feed(Cat({Bytes("00 13 FF FC 7E EE"), ReplyBytes(0x01, 0x53), {0xEE, 0x37},
                            ReplyBytes(0xFF, 0xE3, {0x02})})),
              "01 53 | FF E3 02");
    // Stray start bytes followed by known types ahead of real replies: the replies
    // come through whole.
    for (const char* stray : {"EE 00", "EE 01", "EE FF", "EE F1", "EE 00 EE FF", "EE 01 15 07"})
        EXPECT_EQ(rig.Feed(Cat({Bytes(stray), ReplyBytes(0x01, 0x61)})), "01 61") << stray;
    EXPECT_EQ(rig.Feed(Cat({Bytes("EE FF"), ReplyBytes(0xFF, 0xE8, {0x11})})), "FF E8 11");
    // A start byte inside the data of a reply that fits its code is data, not a new frame.
    EXPECT_EQ(rig.Feed(ReplyBytes(0x01, 0x71, {0x01, 0xEE, 0x00, 0x00, 0x05})), "01 71 01 EE 00 00 05");
    // 27 data bytes fit; 28 do not, and the frame after the oversized one still comes through.
    EXPECT_EQ(rig.Feed(ReplyBytes(0x01, 0x63, Filler(27, 0x42))), HexOf(Cat({{0x01, 0x63}, Filler(27, 0x42)})));
    EXPECT_EQ(rig.Feed(Cat({ReplyBytes(0x01, 0x63, Filler(28, 0x42)), ReplyBytes(0x01, 0x64)})), "01 64");
}

TEST(FrameCutter, FrameSplitAtEveryOffsetIsRecognised) {
    const auto frame = ReplyBytes(0x01, 0x64, {1, 2, 3, 4, 5, 6, 7, 8});
    for (std::size_t split = 1; split < frame.size(); ++split) {
        SCOPED_TRACE(split);
        CutterRig rig;
        rig.Push(Filler(split * 7 % 200));  // vary where in the ring the frame lands
        rig.Settle();
        rig.Push({frame.begin(), frame.begin() + static_cast<long>(split)});
        EXPECT_EQ(rig.Cut(), 0);
        EXPECT_EQ(rig.Cut(10ms), 0);  // still within the tail wait
        rig.Push({frame.begin() + static_cast<long>(split), frame.end()});
        EXPECT_EQ(rig.Cut(10ms), 1);
        EXPECT_EQ(rig.Taken(), "01 64 01 02 03 04 05 06 07 08");
    }
}

TEST(FrameCutter, UnfinishedFramesStaleTailsAndAFullRing) {
    CutterRig rig;
    rig.Push(ReplyBytes(0x01, 0x61, {9}));
    rig.Push(Bytes("EE 01 53 00"));  // tail never comes
    EXPECT_EQ(rig.Cut(), 1);
    EXPECT_EQ(rig.Cut(40ms), 0);
    EXPECT_EQ(rig.cutter.Pending(), 4u);
    EXPECT_EQ(rig.Cut(20ms), 0);  // wait over: start byte passed, rest is garbage
    EXPECT_EQ(rig.cutter.Pending(), 0u);
    rig.Push(ReplyBytes(0x01, 0x61));
    EXPECT_EQ(rig.Cut(), 1);
    // A tail left in the ring from an earlier lap is never matched.
    CutterRig lap;
    lap.Push(ReplyBytes(0x01, 0x61));  // ring positions 1..7, tail at 4..7
    lap.Settle();
    lap.Push(Filler(248));  // write index now 255
    lap.Settle();
    lap.frames.clear();
    lap.Push(Bytes("EE 01 53"));  // positions 0, 1, 2; the old tail still lies at 4..7
    EXPECT_EQ(lap.Cut(), 0);
    lap.Push(Bytes("FF FC FF FF"));
    EXPECT_EQ(lap.Cut(), 1);
    EXPECT_EQ(lap.Taken(), "01 53");
    // Push never overruns unread bytes.
    CutterRig full;
    EXPECT_EQ(full.Push(Filler(300)), 255u);
    EXPECT_EQ(full.cutter.Free(), 0u);
    EXPECT_EQ(full.Push(Filler(1)), 0u);
    full.Settle();
    EXPECT_EQ(full.cutter.Free(), 255u);
}

TEST(Datagram, PackGoldenUnpackChecksLengthAndChecksum) {
    EXPECT_EQ(HexOf(PackPacket(0, 0x0F02, 0, {0x01, 0x02})), "16 00 00 02 0F 02 00 01 02");
    // 12-bit code and 4-bit field share the word: field in bits 12..15.
    EXPECT_EQ(HexOf(PackPacket(0, 0x1F61, 0x1A, {})), "10 01 00 61 AF 00 00");
    std::uint8_t out[9];
    const ByteList two{1, 2};
    EXPECT_EQ(PackPacket(0, 1, 0, two.data(), 2, out, 8), 0u);  // does not fit
    EXPECT_EQ(PackPacket(0, 1, 0, two.data(), 2, out, 9), 9u);
    EXPECT_EQ(HexOf(Payload{}.U8(-1).U16(0x1234).I32(-2).Bytes()), "FF 34 12 FE FF FF FF");
    EXPECT_EQ(ReadLe32(Payload{}.I32(-123456).Bytes().data()), -123456);

    LinkMessage m;
    const auto good = PackPacket(0, 0x61, 0, {0x00, 0x03, 0x10, 0x00, 0x00, 0x00});
    ASSERT_TRUE(UnpackPacket(good.data(), good.size(), m));
    EXPECT_EQ(std::make_tuple(int(m.command), int(m.flag), HexOf(m.data)),
              std::make_tuple(0x61, 0, std::string("00 03 10 00 00 00")));

    EXPECT_FALSE(UnpackPacket(good.data(), 6, m));                // shorter than a header
    EXPECT_FALSE(UnpackPacket(good.data(), good.size() - 1, m));  // length field one more than the payload
    auto bad = good;
    bad[8] ^= 0x40;
    EXPECT_FALSE(UnpackPacket(bad.data(), bad.size(), m));  // checksum
    const auto longer = Cat({good, {0}});
    EXPECT_FALSE(UnpackPacket(longer.data(), longer.size(), m));
    // A flag of 5 reads as 1; the payload copy is bounded by the target.
    auto flagged = Bytes("06 00 05 01 00 00 00");
    std::uint8_t flag = 0, payload[1];
    std::uint16_t cmd = 0, len = 0;
    ASSERT_TRUE(UnpackPacket(flagged.data(), flagged.size(), flag, cmd, payload, 1, len));
    EXPECT_EQ(std::make_tuple(int(flag), int(cmd), int(len)), std::make_tuple(1, 1, 0));
    const auto big = PackPacket(0, 2, 0, {9, 8, 7});
    ASSERT_TRUE(UnpackPacket(big.data(), big.size(), flag, cmd, payload, 1, len));
    EXPECT_EQ(std::make_tuple(int(len), int(payload[0])), std::make_tuple(3, 9));
    // Set keeps the flag that Assign gave.
    const std::uint8_t a[] = {1, 2, 3};
    m.Assign(1, 0x64, a, 3);
    m.Set(0x65, a, 1);
    EXPECT_EQ(std::make_tuple(int(m.flag), int(m.command), int(m.Length())), std::make_tuple(1, 0x65, 1));
}

// ---- the UDP endpoint ----

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
