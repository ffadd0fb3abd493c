#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

#include <cstring>

#include "sim_clients.h"
#include "simulator.h"

using namespace sim;
using namespace simtest;
using smt::test::WaitUntil;

namespace {
const Bytes kHandshake = B("EE 00 02 00 02 FF FC FF FF");
const Bytes kHandshakeReply = B("EE 01 00 FF FC FF FF");

// A discovery port of its own per test process, so parallel test runs do not answer
// each other's searches.
std::uint16_t DiscoveryPort() { return static_cast<std::uint16_t>(40000 + getpid() % 20000); }

class SimServers : public ::testing::Test {
protected:
    void SetUp() override {
        SimConfig c;
        c.serialDir = m_dir.Path();
        c.comNumber = 7;
        c.udpPort = 0;
        c.discoveryPort = DiscoveryPort();
        m_sim = std::make_unique<Simulator>(c);
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        m_serial = std::make_unique<RawSerial>(m_dir.File("COM7"));
        ASSERT_TRUE(m_serial->IsOpen());
        m_udp = std::make_unique<RawUdp>(kBoardAddress, m_sim->udp()->Port());
    }
    void TearDown() override {
        m_serial.reset();
        m_udp.reset();
        if (m_sim) m_sim->Stop();
    }
    // A command over UDP and its reply datagram, unpacked.
    std::optional<Datagram> UdpCall(std::uint16_t cmd, const Bytes& payload) {
        m_udp->Send(cmd, payload);
        return m_udp->ReceiveDatagram();
    }
    // Code of the next serial reply frame, or of the reply to a UDP command; -1 when none came.
    int SerialReply() {
        const auto f = m_serial->ReadFrame();
        return f ? f->code : -1;
    }
    int UdpReply(std::uint16_t cmd, const Bytes& payload) {
        const auto r = UdpCall(cmd, payload);
        return r ? r->command : -1;
    }
    smt::test::TempDir m_dir;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<RawSerial> m_serial;
    std::unique_ptr<RawUdp> m_udp;
};
} // namespace

TEST_F(SimServers, SerialPortServesOneHostSessionAfterAnother) {
    m_serial->Write(kHandshake);
    EXPECT_EQ(m_serial->ReadBytes(7), kHandshakeReply);
    m_serial.reset();  // the host closes the port (nobody has it open now)
    m_sim->PressKey(PanelKey::Gear);
    for (int session = 0; session < 3; ++session) {
        RawSerial again(m_dir.File("COM7"));
        ASSERT_TRUE(again.IsOpen()) << session;
        again.Write(kHandshake);
        // A key pressed while the port was closed may still be waiting in front.
        auto f = again.ReadFrame();
        if (f && f->type == kReplyKey) f = again.ReadFrame();
        ASSERT_TRUE(f) << session;
        EXPECT_EQ(f->type, kReplyCommand);
        EXPECT_EQ(f->code, 0x00);
    }
    EXPECT_TRUE(m_sim->serial()->Plugged());
}

TEST_F(SimServers, SerialFaultModes) {
    Bytes in = B("EE 00 02 00 03 FF FC FF FF");  // a bad sum is recorded, not answered
    in.insert(in.end(), kHandshake.begin(), kHandshake.end());
    m_serial->Write(in);
    EXPECT_EQ(SerialReply(), 0x00);
    EXPECT_EQ(m_sim->machine().Frames().at(0).reason, "bad checksum");
    m_sim->faults().SilenceNext();
    m_serial->Write(EncodeHostFrame(0x03, {1, 1}));  // its reply is dropped
    m_serial->Write(kHandshake);
    EXPECT_EQ(SerialReply(), 0x00);
    m_sim->faults().SilenceAll(true);
    const int planned = m_sim->faults().PlansTaken();
    for (const Bytes& f : {EncodeHostFrame(0x03, {2, 1}), EncodeHostFrame(0x04, {1, 0}), kHandshake}) m_serial->Write(f);
    ASSERT_TRUE(WaitUntil([&] { return m_sim->faults().PlansTaken() >= planned + 3; }));
    m_sim->faults().SilenceAll(false);
    m_serial->Write(EncodeHostFrame(0x15, {1}));
    EXPECT_EQ(SerialReply(), 0x15);  // no stray reply in front
    EXPECT_EQ(m_sim->machine().Output(2), 1);  // silenced commands still act

    m_sim->faults().SetDelayMs(600);
    m_serial->Write(kHandshake);
    EXPECT_TRUE(m_serial->ReadOnce(0).empty());
    EXPECT_EQ(m_serial->ReadBytes(7), kHandshakeReply);
    m_sim->faults().SetDelayMs(0);

    EXPECT_EQ(m_sim->Command("split 300"), "ok");  // pieces far enough apart to be seen apart
    m_serial->Write(kHandshake);
    const auto pieces = m_serial->ReadPieces(7);
    EXPECT_GE(pieces.size(), 2u);
    Bytes joined;
    for (const auto& p : pieces) joined.insert(joined.end(), p.begin(), p.end());
    EXPECT_EQ(joined, kHandshakeReply);

    m_sim->faults().GarbageNext();
    m_serial->Write(kHandshake);
    const Bytes withJunk = m_serial->ReadBytes(14);
    ASSERT_EQ(withJunk.size(), 14u);
    EXPECT_EQ(std::count(withJunk.begin(), withJunk.begin() + 7, 0xEE), 0);
    EXPECT_EQ(Bytes(withJunk.begin() + 7, withJunk.end()), kHandshakeReply);

    // Control command, the frame sent after it (none: the report comes on its own), what comes back.
    const std::tuple<const char*, Bytes, const char*> rows[] = {
        {"badsum", kHandshake, "EE 01 00 FF FC FF FE"},
        {"error E3", EncodeHostFrame(0x64, Bytes(14, 0)), "EE FF E3 00 FF FC FF FF"},
        {"report E2 03", {}, "EE FF E2 03 FF FC FF FF"}};
    for (const auto& [cmd, frame, want] : rows) {
        EXPECT_EQ(m_sim->Command(cmd), "ok") << cmd;
        m_serial->Write(frame);
        EXPECT_EQ(m_serial->ReadBytes(B(want).size()), B(want)) << cmd;
    }
    // A refused command leaves the machine as it was; a board time-out has no
    // serial report: the board stays silent, and the next command is answered.
    const std::int32_t x = m_sim->machine().Positions().x;
    EXPECT_EQ(m_sim->Command("error E8 11"), "ok");
    m_serial->Write(EncodeHostFrame(0x61, B("00 00 00 03 E8 05 32")));
    EXPECT_EQ(m_serial->ReadBytes(8), B("EE FF E8 11 FF FC FF FF"));
    EXPECT_EQ(m_sim->Command("timeout"), "ok");
    m_serial->Write(EncodeHostFrame(0x61, B("00 00 00 03 E8 05 32")));
    EXPECT_TRUE(m_serial->ReadOnce(300).empty());
    EXPECT_EQ(m_sim->machine().Positions().x, x);
    m_serial->Write(kHandshake);
    EXPECT_EQ(m_serial->ReadBytes(7), kHandshakeReply);
}

TEST_F(SimServers, SerialUnplugClosesThePortAndReplugReopensIt) {
    m_sim->serial()->Unplug();
    EXPECT_TRUE(Gone(m_dir.File("COM7")));
    ASSERT_TRUE(m_sim->serial()->Replug());
    RawSerial again(m_dir.File("COM7"));
    ASSERT_TRUE(again.IsOpen());
    again.Write(kHandshake);
    EXPECT_EQ(again.ReadBytes(7), kHandshakeReply);
}

TEST_F(SimServers, UdpRepliesRefusalsAndFaultModes) {
    m_udp->Send(0x61, B("00 00000000 10270000 01000000 64000000"));  // X by 10000: status, Z state
    EXPECT_EQ(m_udp->Receive(), PackDatagram(1, 0x61, B("00 03")));
    // The 4-bit field of the command word is not part of the code.
    m_udp->SendRaw(PackDatagram(0, 0x3015, {1}));
    const auto r = m_udp->ReceiveDatagram();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->command, 0x15);
    // A datagram with a wrong sum is dropped and recorded; a silenced reply too; the next one is answered.
    Bytes bad = PackDatagram(0, 0x15, {1});
    bad[0] ^= 1;
    m_udp->SendRaw(bad);
    Faults& f = m_sim->faults();
    f.SilenceNext();
    m_udp->Send(0x15, {1});
    EXPECT_EQ(UdpReply(0x60, {1, 0}), 0x60);
    EXPECT_EQ(m_sim->machine().Frames().at(2).reason, "bad checksum");

    f.SetDelayMs(600);
    m_udp->Send(0x15, {1});
    EXPECT_FALSE(m_udp->Receive(0));
    EXPECT_TRUE(m_udp->Receive());
    f.SetDelayMs(0);

    // Why a received datagram does not unpack; "ok" when it does.
    const auto why = [](const std::optional<Bytes>& raw) {
        Datagram d;
        std::string reason = "nothing came";
        return raw && UnpackDatagram(raw->data(), raw->size(), d, &reason) ? std::string("ok") : reason;
    };
    // Split: two halves, neither a datagram on its own, together the reply.
    f.SplitNext();
    m_udp->Send(0x15, {1});
    const auto a = m_udp->Receive(), b = m_udp->Receive();
    ASSERT_TRUE(a && b);
    EXPECT_NE(why(a), "ok");
    EXPECT_NE(why(b), "ok");
    Bytes whole = *a;
    whole.insert(whole.end(), b->begin(), b->end());
    EXPECT_EQ(why(whole), "ok");

    f.GarbageNext();
    m_udp->Send(0x15, {1});
    const auto junk = m_udp->Receive();
    EXPECT_TRUE(junk && why(junk) != "ok");
    EXPECT_EQ(why(m_udp->Receive()), "ok");

    f.BadSumNext();
    m_udp->Send(0x15, {1});
    EXPECT_EQ(why(m_udp->Receive()), "bad checksum");

    // The status byte of an Ethernet reply carries an error or a board time-out.
    for (const auto& [cmd, code, payload, status] :
         {std::tuple{"error 21", 0x61, B("02 00000000 01000000 01000000 02000000"), 0x21},
          std::tuple{"timeout 43", 0x60, Bytes{0, 0}, 0x43}}) {
        EXPECT_EQ(m_sim->Command(cmd), "ok");
        const auto reply = UdpCall(static_cast<std::uint16_t>(code), payload);
        ASSERT_TRUE(reply && !reply->payload.empty()) << cmd;
        EXPECT_EQ(reply->payload[0], status) << cmd;
    }
}

TEST_F(SimServers, KeysOnBothLinksCountersAndUdpUnplug) {
    ASSERT_TRUE(UdpCall(0x60, {0, 0}));  // keys go to the host that spoke last
    // Ethernet key number, and the serial key byte (0: the serial panel has no such key).
    const std::tuple<const char*, int, int> keys[] = {
        {"key start", 1, 0x31},  {"key pause", 2, 0x32},  {"key resume", 3, 0x32}, {"key stop", 4, 0x33},
        {"key gear", 5, 0x35},   {"key head", 6, 0},      {"key jog-x0", 7, 0x38}, {"key jog-x1", 8, 0x39},
        {"key jog-y0", 9, 0x37}, {"key jog-y1", 10, 0x36}, {"key reset", 11, 0}};
    for (const auto& [cmd, key, serialKey] : keys) {
        EXPECT_EQ(m_sim->Command(cmd), "ok");
        const auto d = m_udp->ReceiveDatagram();
        ASSERT_TRUE(d) << cmd;
        EXPECT_EQ(d->flag, 0);
        EXPECT_EQ(d->command, 0x14);
        EXPECT_EQ(d->payload, Bytes{static_cast<std::uint8_t>(key)}) << cmd;
        if (serialKey) {
            const Bytes frame{0xEE, 0, 0, static_cast<std::uint8_t>(serialKey), 0xFF, 0xFC, 0xFF, 0xFF};
            EXPECT_EQ(m_serial->ReadBytes(8), frame) << cmd;
        }
    }
    EXPECT_EQ(m_sim->Command("counters 1 2 3 4 5 6 7 8"), "ok");
    const auto c = m_udp->ReceiveDatagram();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->command, 0x15);
    EXPECT_EQ(c->payload, B("01 02 03 04 05 06 07 08"));

    EXPECT_EQ(m_sim->Command("unplug udp"), "ok");
    EXPECT_TRUE(m_sim->serial()->Plugged());
    m_udp->Send(0x60, {0, 0});
    bool refused = false;
    EXPECT_FALSE(m_udp->Receive(1000, &refused));
    EXPECT_TRUE(refused);
    EXPECT_EQ(m_sim->Command("replug udp"), "ok");
    EXPECT_EQ(UdpReply(0x60, {0, 0}), 0x60);
}

// A frame head whose rest never comes is dropped after a pause: the next command
// is answered at once. Malformed datagrams from another sender are recorded and
// do not make it the host: keys still go to the host that sent the last command.
TEST_F(SimServers, StalledSerialFrameDroppedAndJunkDatagramsTakeNoHost) {
    m_serial->Write(B("EE 00 09 61 00"));  // a single-axis move cut after its axis
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    m_serial->Write(kHandshake);
    EXPECT_EQ(m_serial->ReadBytes(7, 1000), kHandshakeReply);
    bool dropped = false;
    for (const auto& f : m_sim->machine().Frames())
        dropped = dropped || f.reason == "partial frame dropped after a pause";
    EXPECT_TRUE(dropped);

    ASSERT_TRUE(UdpCall(0x60, {0, 0}));  // this client is the host
    RawUdp stranger(kBoardAddress, m_sim->udp()->Port());
    stranger.SendRaw(B("5A A5 00"));
    Bytes badSum = PackDatagram(0, 0x60, {0, 0});
    badSum[0] ^= 0xFF;
    stranger.SendRaw(badSum);
    EXPECT_TRUE(smt::test::WaitUntil([&] { return m_sim->machine().Frames().size() >= 4; }));
    EXPECT_EQ(m_sim->Command("key start"), "ok");
    const auto d = m_udp->ReceiveDatagram();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->command, 0x14);
    EXPECT_FALSE(stranger.Receive(200));
}

// The program's discovery keeps multicast loop-back on; the board must answer a
// search through the loopback interface with it switched off too.
TEST_F(SimServers, DiscoveryOverLoopbackMulticastWithoutLoopBack) {
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    const unsigned char loop = 0;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in any = Addr("0.0.0.0", DiscoveryPort()), group = Addr(kDiscoveryGroup, DiscoveryPort());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    in_addr lo{};
    inet_pton(AF_INET, kLoopbackInterface, &lo);
    setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo);
    setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    ASSERT_EQ(::sendto(s, "HOST DEVICE", 11, 0, reinterpret_cast<sockaddr*>(&group), sizeof group), 11);
    std::string answer, from;
    for (int i = 0; i < 10 && answer.empty(); ++i) {
        pollfd p{s, POLLIN, 0};
        if (::poll(&p, 1, 500) <= 0) continue;
        char buf[64], ip[INET_ADDRSTRLEN];
        sockaddr_in src{};
        socklen_t len = sizeof src;
        const ssize_t n = ::recvfrom(s, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&src), &len);
        if (n < 17 || std::memcmp(buf, "MAIN BOARD DEVICE", 17) != 0) continue;
        answer.assign(buf, static_cast<std::size_t>(n));
        from = inet_ntop(AF_INET, &src.sin_addr, ip, sizeof ip);
    }
    ::close(s);
    EXPECT_EQ(answer, "MAIN BOARD DEVICE");
    EXPECT_EQ(from, kBoardAddress);
}

TEST_F(SimServers, StopEndsAWaitingReplyAndASecondBoardCannotTakeThePort) {
    m_sim->SetTimeScale(1000);  // the reply of this move would wait about 100 s
    m_serial->Write(EncodeHostFrame(0x61, B("00 00 00 4E 20 0A 64")));
    ASSERT_TRUE(WaitUntil([&] { return !m_sim->machine().Frames().empty(); }));
    ASSERT_EQ(m_sim->machine().Frames().size(), 1u);
    EXPECT_EQ(m_sim->machine().Positions().x, 20000);

    SimConfig second;
    second.serial = false;
    second.udpPort = m_sim->udp()->Port();
    second.discoveryPort = 0;
    Simulator other(second);
    std::string error;
    EXPECT_FALSE(other.Start(&error));
    EXPECT_NE(error.find("bind"), std::string::npos) << error;

    m_sim->Stop();  // joins the thread that sleeps before the reply
    EXPECT_FALSE(m_sim->serial()->Plugged());
    EXPECT_TRUE(Gone(m_dir.File("COM7")));
    EXPECT_TRUE(m_serial->ReadOnce(0).empty());
}

TEST(SimControl, CommandsAnswerAndRefuseBadInput) {
    SimConfig c;
    c.serial = false;
    c.udp = false;
    Simulator s(c);
    ASSERT_TRUE(s.Start());
    const auto said = [&](const std::string& cmd) {
        const std::string r = s.Command(cmd);
        return r.substr(0, r.find('\n'));
    };
    const std::pair<const char*, const char*> answers[] = {
        {"error XYZ", "unknown command: error XYZ"},
        {"timeout 44", "usage: timeout [41|42|43]"},
        {"report E3", "no serial link"},
        {"key sideways", "unknown key; commands (one per line):"},
        {"timescale -1", "usage: timescale X (X >= 0)"},
        {"timescale nan", "usage: timescale X (X >= 0)"},
        {"delay 99999999999", "unknown command: delay 99999999999"},
        {"silence next 2000000000", "ok"},
        {"silence next 2000000000", "ok"},  // no overflow
        {"silence off", "ok"},
        {"", ""}};
    for (const auto& [cmd, want] : answers) EXPECT_EQ(said(cmd), want) << cmd;
    EXPECT_FALSE(s.faults().TakePlan().drop);
    EXPECT_EQ(s.Command("silence next 2"), "ok");
    EXPECT_TRUE(s.faults().TakePlan().drop);
    EXPECT_TRUE(s.faults().TakePlan().drop);
    EXPECT_FALSE(s.faults().TakePlan().drop);
    EXPECT_EQ(s.Command("error e5 fd"), "ok");
    FaultPlan p;
    ASSERT_TRUE(s.faults().TakeRefusal(&p));
    EXPECT_TRUE(p.error);
    EXPECT_EQ((std::pair<int, int>{p.errorCode, p.errorSub}), (std::pair<int, int>{0xE5, 0xFD}));
    EXPECT_EQ(s.Command("timescale 0.5"), "ok");
    EXPECT_EQ(s.config().timeScale, 0.5);
    EXPECT_EQ(s.Command("zstate 0f"), "ok");
    EXPECT_EQ(s.machine().ZState(), 0x0F);
    EXPECT_EQ(s.Command("vacuum 3 77"), "ok");
    EXPECT_EQ(s.machine().VacuumReading(3), 77);
    EXPECT_EQ(s.Command("delay 250"), "ok");
    EXPECT_EQ(s.faults().TakePlan().delayMs, 250);
    EXPECT_EQ(s.Command("clear"), "faults cleared");
    EXPECT_EQ(s.faults().TakePlan().delayMs, 0);
    EXPECT_NE(s.Command("status").find("homed 0"), std::string::npos);
    s.machine().Execute(Link::Udp, 0x03, Bytes{1, 0, 0, 0});
    s.machine().Execute(Link::Serial, 0x03, Bytes{2});
    EXPECT_EQ(s.Command("log 2"), "udp 0x03 ok 01 00 00 00\nserial 0x03 refused (length does not fit the command) 02\n");
    EXPECT_EQ(said("log 0"), "unknown command: log 0");
    bool quit = false;
    EXPECT_EQ(s.Command("quit", &quit), "bye");
    EXPECT_TRUE(quit);
}

// A held reply: the command is carried out at once, its reply waits until released
// (on either link); a hold never outlasts its limit, only the code asked for is held,
// and "clear" lets a held reply go too.
TEST_F(SimServers, AHeldReplyWaitsForItsReleaseAndNeverBeyondItsLimit) {
    Faults& f = m_sim->faults();
    const auto held = [&](std::uint16_t code) {
        return WaitUntil([&] { return f.Held() == std::optional<std::uint16_t>(code); }, std::chrono::seconds(10));
    };
    const Bytes moveX = EncodeHostFrame(0x61, B("00 000001F4 01 02"));  // X by 500
    // Serial: held until released.
    EXPECT_EQ(m_sim->Command("hold 61"), "ok");
    m_serial->Write(moveX);
    ASSERT_TRUE(held(0x61));
    EXPECT_EQ(m_sim->machine().Positions().x, 500);  // carried out, only not answered
    EXPECT_TRUE(m_serial->ReadOnce(0).empty());
    EXPECT_NE(m_sim->Command("status").find("holding the reply to 61"), std::string::npos);
    EXPECT_EQ(m_sim->Command("release"), "ok");
    EXPECT_EQ(SerialReply(), 0x61);
    EXPECT_EQ(f.Held(), std::nullopt);
    EXPECT_EQ(f.HoldsEnded(), 1);

    // Another code passes; the hold waits for its own.
    EXPECT_EQ(m_sim->Command("hold 15"), "ok");
    EXPECT_EQ(UdpReply(0x60, {1, 0}), 0x60);
    m_udp->Send(0x15, {1});
    ASSERT_TRUE(held(0x15));
    EXPECT_FALSE(m_udp->Receive(0));
    f.Release();
    EXPECT_EQ(m_udp->ReceiveDatagram().value_or(Datagram{}).command, 0x15);

    // Never released: the reply goes out at the hold's limit.
    EXPECT_EQ(m_sim->Command("hold 61 50"), "ok");
    m_serial->Write(moveX);
    EXPECT_EQ(SerialReply(), 0x61);
    EXPECT_EQ(f.HoldsEnded(), 3);
    EXPECT_EQ(m_sim->machine().Positions().x, 1000);

    // "clear" lets it go as well.
    EXPECT_EQ(m_sim->Command("hold 61"), "ok");
    m_serial->Write(moveX);
    ASSERT_TRUE(held(0x61));
    EXPECT_EQ(m_sim->Command("clear"), "faults cleared");
    EXPECT_EQ(SerialReply(), 0x61);

    for (const char* bad : {"hold", "hold 1000", "hold xx", "hold 61 -1", "hold 61 600001", "hold -1"})
        EXPECT_EQ(m_sim->Command(bad).rfind("usage: hold", 0), 0u) << bad;
}

// A board stopped while it holds a reply ends at once (the hold does not keep its
// thread).
TEST_F(SimServers, StoppingTheBoardEndsAHold) {
    EXPECT_EQ(m_sim->Command("hold 00"), "ok");
    m_serial->Write(kHandshake);
    ASSERT_TRUE(WaitUntil([&] { return m_sim->faults().Held().has_value(); }, std::chrono::seconds(10)));
    m_sim->Stop();
    EXPECT_EQ(m_sim->faults().Held(), std::nullopt);
    EXPECT_EQ(m_sim->faults().HoldsEnded(), 1);
}
