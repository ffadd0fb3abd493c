#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "sim_clients.h"
#include "simulator.h"
#include "test_support.h"

using namespace sim;
using simtest::RawSerial;
using simtest::RawUdp;

namespace {
Bytes B(const std::string& hex) {
    const std::string s = smt::test::Hex(hex);
    return Bytes(s.begin(), s.end());
}

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
        c.udpAddress = kBoardAddress;
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

    smt::test::TempDir m_dir;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<RawSerial> m_serial;
    std::unique_ptr<RawUdp> m_udp;
};
} // namespace

TEST_F(SimServers, SerialHandshakeAndSignMagnitudeMove) {
    m_serial->Write(kHandshake);
    EXPECT_EQ(m_serial->ReadBytes(kHandshakeReply.size()), kHandshakeReply);
    // Axis 0 by -1: data 00 80 00 00 01 0A 64.
    m_serial->Write(EncodeHostFrame(0x61, B("00 80 00 00 01 0A 64")));
    EXPECT_EQ(m_serial->ReadBytes(7), B("EE 01 61 FF FC FF FF"));
    EXPECT_EQ(m_sim->machine().Positions().x, -1);
    const auto frames = m_sim->machine().Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].link, Link::Serial);
    EXPECT_EQ(frames[1].data, B("00 80 00 00 01 0A 64"));
}

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

TEST_F(SimServers, SerialBadFramesAreRecordedAndNotAnswered) {
    Bytes in = B("EE 00 02 00 03 FF FC FF FF");  // bad sum
    in.insert(in.end(), kHandshake.begin(), kHandshake.end());
    m_serial->Write(in);
    const auto f = m_serial->ReadFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->code, 0x00);
    m_serial->Write(kHandshake);
    ASSERT_TRUE(m_serial->ReadFrame());
    int rejected = 0, accepted = 0;
    for (const auto& r : m_sim->machine().Frames()) (r.accepted ? accepted : rejected)++;
    EXPECT_EQ(accepted, 2);
    EXPECT_GE(rejected, 1);
}

TEST_F(SimServers, SerialSilenceNextAndAll) {
    Faults& f = m_sim->faults();
    f.SilenceNext();
    m_serial->Write(EncodeHostFrame(0x03, {1, 1}));  // its reply is dropped
    m_serial->Write(kHandshake);
    auto r = m_serial->ReadFrame();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 0x00);

    f.SilenceAll(true);
    const std::size_t before = m_sim->machine().Frames().size();
    m_serial->Write(EncodeHostFrame(0x03, {2, 1}));
    m_serial->Write(EncodeHostFrame(0x04, {1, 0}));
    m_serial->Write(kHandshake);
    // Wait until the board has taken all three, then lift the silence.
    ASSERT_TRUE(smt::test::WaitUntil([&] { return m_sim->machine().Frames().size() >= before + 3; }));
    f.SilenceAll(false);
    m_serial->Write(EncodeHostFrame(0x15, {1}));
    r = m_serial->ReadFrame();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 0x15);
    EXPECT_EQ(m_sim->machine().Output(2), 1);  // silenced commands still act
}

TEST_F(SimServers, SerialDelayedSplitGarbageAndBrokenReplies) {
    Faults& f = m_sim->faults();
    f.SetDelayMs(600);
    m_serial->Write(kHandshake);
    EXPECT_TRUE(m_serial->ReadOnce(0).empty());
    EXPECT_EQ(m_serial->ReadBytes(7), kHandshakeReply);
    f.SetDelayMs(0);

    EXPECT_EQ(m_sim->Command("split 300"), "ok");  // pieces far enough apart to be seen apart
    m_serial->Write(kHandshake);
    const auto pieces = m_serial->ReadPieces(7);
    EXPECT_GE(pieces.size(), 2u);
    Bytes joined;
    for (const auto& p : pieces) joined.insert(joined.end(), p.begin(), p.end());
    EXPECT_EQ(joined, kHandshakeReply);

    f.GarbageNext();
    m_serial->Write(kHandshake);
    const Bytes withJunk = m_serial->ReadBytes(14);
    ASSERT_EQ(withJunk.size(), 14u);
    EXPECT_NE(withJunk[0], 0xEE);
    EXPECT_EQ(std::count(withJunk.begin(), withJunk.begin() + 7, 0xEE), 0);
    EXPECT_EQ(Bytes(withJunk.begin() + 7, withJunk.end()), kHandshakeReply);

    f.BadSumNext();
    m_serial->Write(kHandshake);
    EXPECT_EQ(m_serial->ReadBytes(7), B("EE 01 00 FF FC FF FE"));
}

TEST_F(SimServers, SerialErrorReportsKeysAndTimeOut) {
    m_sim->faults().ErrorNext(0xE3);
    m_serial->Write(EncodeHostFrame(0x64, Bytes(14, 0)));
    EXPECT_EQ(m_serial->ReadBytes(8), B("EE FF E3 00 FF FC FF FF"));

    bool quit = false;
    EXPECT_EQ(m_sim->Command("timeout", &quit), "ok");
    m_serial->Write(kHandshake);
    EXPECT_EQ(m_serial->ReadBytes(8), B("EE FF 41 00 FF FC FF FF"));
    EXPECT_EQ(m_sim->Command("report E2 03"), "ok");
    EXPECT_EQ(m_serial->ReadBytes(8), B("EE FF E2 03 FF FC FF FF"));

    const std::pair<const char*, const char*> keys[] = {
        {"key start", "31"}, {"key pause", "32"}, {"key resume", "32"}, {"key stop", "33"},
        {"key gear", "35"},  {"key jog-y1", "36"}, {"key jog-y0", "37"}, {"key jog-x0", "38"}, {"key jog-x1", "39"}};
    for (const auto& [cmd, hex] : keys) {
        EXPECT_EQ(m_sim->Command(cmd), "ok");
        EXPECT_EQ(m_serial->ReadBytes(8), B(std::string("EE 00 00 ") + hex + " FF FC FF FF")) << cmd;
    }
    EXPECT_FALSE(quit);
}

TEST_F(SimServers, SerialUnplugClosesThePortAndReplugReopensIt) {
    const std::string link = m_dir.File("COM7");
    m_sim->serial()->Unplug();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    bool hangup = false;
    m_serial->ReadOnce(1000, &hangup);
    EXPECT_TRUE(hangup);

    ASSERT_TRUE(m_sim->serial()->Replug());
    RawSerial again(link);
    ASSERT_TRUE(again.IsOpen());
    again.Write(kHandshake);
    EXPECT_EQ(again.ReadBytes(7), kHandshakeReply);
}

TEST_F(SimServers, UdpRepliesCarryStatusAndZState) {
    auto r = UdpCall(0x61, B("00 00000000 10270000 01000000 64000000"));  // X by 10000
    ASSERT_TRUE(r);
    EXPECT_EQ(r->flag, 1);
    EXPECT_EQ(r->command, 0x61);
    EXPECT_EQ(r->payload, B("00 03"));
    EXPECT_EQ(m_sim->machine().Positions().x, 10000);
    // The 4-bit field of the command word is not part of the code.
    m_udp->SendRaw(PackDatagram(0, 0x3015, {1}));
    r = m_udp->ReceiveDatagram();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->command, 0x15);
    // A datagram with a wrong sum is dropped and recorded; the next one is answered.
    Bytes bad = PackDatagram(0, 0x15, {1});
    bad[0] ^= 1;
    m_udp->SendRaw(bad);
    r = UdpCall(0x60, {1, 0});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->command, 0x60);
    bool sawBad = false;
    for (const auto& f : m_sim->machine().Frames()) sawBad = sawBad || f.reason == "bad checksum";
    EXPECT_TRUE(sawBad);
}

TEST_F(SimServers, UdpFaultModes) {
    Faults& f = m_sim->faults();
    f.SilenceNext();
    m_udp->Send(0x15, {1});
    auto r = UdpCall(0x60, {0, 0});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->command, 0x60);

    f.SetDelayMs(600);
    m_udp->Send(0x15, {1});
    EXPECT_FALSE(m_udp->Receive(0));
    EXPECT_TRUE(m_udp->Receive());
    f.SetDelayMs(0);

    // Split: two halves, neither a datagram on its own, together the reply.
    f.SplitNext();
    m_udp->Send(0x15, {1});
    const auto a = m_udp->Receive(), b = m_udp->Receive();
    ASSERT_TRUE(a && b);
    Datagram d;
    EXPECT_FALSE(UnpackDatagram(a->data(), a->size(), d));
    EXPECT_FALSE(UnpackDatagram(b->data(), b->size(), d));
    Bytes whole = *a;
    whole.insert(whole.end(), b->begin(), b->end());
    ASSERT_TRUE(UnpackDatagram(whole.data(), whole.size(), d));
    EXPECT_EQ(d.command, 0x15);

    f.GarbageNext();
    m_udp->Send(0x15, {1});
    const auto junk = m_udp->Receive();
    ASSERT_TRUE(junk);
    EXPECT_FALSE(UnpackDatagram(junk->data(), junk->size(), d));
    EXPECT_TRUE(m_udp->ReceiveDatagram());

    f.BadSumNext();
    m_udp->Send(0x15, {1});
    const auto spoiled = m_udp->Receive();
    ASSERT_TRUE(spoiled);
    std::string why;
    EXPECT_FALSE(UnpackDatagram(spoiled->data(), spoiled->size(), d, &why));
    EXPECT_EQ(why, "bad checksum");

    f.ErrorNext(0x21);
    r = UdpCall(0x61, B("02 00000000 01000000 01000000 02000000"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->payload.at(0), 0x21);
    EXPECT_EQ(m_sim->Command("timeout 43"), "ok");
    r = UdpCall(0x60, {0, 0});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->payload.at(0), 0x43);

    f.SilenceAll(true);
    const std::size_t before = m_sim->machine().Frames().size();
    m_udp->Send(0x15, {1});
    m_udp->Send(0x60, {0, 0});
    ASSERT_TRUE(smt::test::WaitUntil([&] { return m_sim->machine().Frames().size() >= before + 2; }));
    f.SilenceAll(false);
    r = UdpCall(0x04, {2, 0});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->command, 0x04);
}

TEST_F(SimServers, UdpKeysCountersAndUnplug) {
    // Keys go to the host that spoke last.
    ASSERT_TRUE(UdpCall(0x60, {0, 0}));
    const std::vector<std::pair<std::string, int>> keys = {
        {"key start", 1}, {"key pause", 2},  {"key resume", 3}, {"key stop", 4},    {"key gear", 5},  {"key head", 6},
        {"key jog-x0", 7}, {"key jog-x1", 8}, {"key jog-y0", 9}, {"key jog-y1", 10}, {"key reset", 11}};
    for (const auto& [cmd, key] : keys) {
        EXPECT_EQ(m_sim->Command(cmd), "ok");
        const auto d = m_udp->ReceiveDatagram();
        ASSERT_TRUE(d) << cmd;
        EXPECT_EQ(d->flag, 0);
        EXPECT_EQ(d->command, 0x14);
        EXPECT_EQ(d->payload, Bytes{static_cast<std::uint8_t>(key)}) << cmd;
        if (cmd != "key head" && cmd != "key reset") {
            ASSERT_TRUE(m_serial->ReadFrame()) << cmd;  // the serial panel has the key too
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
    EXPECT_TRUE(UdpCall(0x60, {0, 0}));
}

TEST_F(SimServers, DiscoveryOverLoopbackMulticast) {
    // Sent through the loopback interface, the query is answered whether the
    // searching socket keeps multicast loop-back on or switches it off.
    for (const unsigned char loop : {1, 0}) {
        const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int one = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in any = simtest::Addr("0.0.0.0", DiscoveryPort());
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
        in_addr lo{};
        inet_pton(AF_INET, kLoopbackInterface, &lo);
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo);
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
        sockaddr_in group = simtest::Addr(kDiscoveryGroup, DiscoveryPort());
        ASSERT_EQ(::sendto(s, "HOST DEVICE", 11, 0, reinterpret_cast<sockaddr*>(&group), sizeof group), 11);

        std::string answer, from;
        for (int i = 0; i < 10 && answer.empty(); ++i) {
            pollfd p{s, POLLIN, 0};
            if (::poll(&p, 1, 500) <= 0) continue;
            char buf[64];
            sockaddr_in src{};
            socklen_t len = sizeof src;
            const ssize_t n = ::recvfrom(s, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&src), &len);
            if (n >= 17 && std::memcmp(buf, "MAIN BOARD DEVICE", 17) == 0) {  // our own query may come back too
                answer.assign(buf, static_cast<std::size_t>(n));
                char ip[INET_ADDRSTRLEN];
                inet_ntop(AF_INET, &src.sin_addr, ip, sizeof ip);
                from = ip;
            }
        }
        ::close(s);
        EXPECT_EQ(answer, "MAIN BOARD DEVICE") << "loop " << int(loop);
        EXPECT_EQ(from, kBoardAddress) << "loop " << int(loop);
    }
}

TEST_F(SimServers, StopEndsAWaitingReplyAndASecondBoardCannotTakeThePort) {
    m_sim->SetTimeScale(1000);  // the reply of this move would wait about 100 s
    m_serial->Write(EncodeHostFrame(0x61, B("00 00 00 4E 20 0A 64")));
    ASSERT_TRUE(smt::test::WaitUntil([&] { return !m_sim->machine().Frames().empty(); }));
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
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(m_dir.File("COM7"))));
    EXPECT_TRUE(m_serial->ReadOnce(0).empty());
}

TEST(SimControl, CommandsAnswerAndRefuseBadInput) {
    SimConfig c;
    c.serial = false;
    c.udp = false;
    Simulator s(c);
    ASSERT_TRUE(s.Start());
    bool quit = false;
    EXPECT_EQ(s.Command("silence next 2"), "ok");
    EXPECT_TRUE(s.faults().TakePlan().drop);
    EXPECT_TRUE(s.faults().TakePlan().drop);
    EXPECT_FALSE(s.faults().TakePlan().drop);
    EXPECT_EQ(s.Command("error e5 fd"), "ok");
    const FaultPlan p = s.faults().TakePlan();
    EXPECT_TRUE(p.error);
    EXPECT_EQ(p.errorCode, 0xE5);
    EXPECT_EQ(p.errorSub, 0xFD);
    EXPECT_EQ(s.Command("error XYZ").rfind("unknown command", 0), 0u);
    EXPECT_EQ(s.Command("timeout 44"), "usage: timeout [41|42|43]");
    EXPECT_EQ(s.Command("report E3"), "no serial link");
    EXPECT_EQ(s.Command("key sideways").rfind("unknown key", 0), 0u);
    EXPECT_EQ(s.Command("timescale -1"), "usage: timescale X (X >= 0)");
    EXPECT_EQ(s.Command("timescale nan"), "usage: timescale X (X >= 0)");
    EXPECT_EQ(s.Command("timescale 0.5"), "ok");
    EXPECT_EQ(s.config().timeScale, 0.5);
    EXPECT_EQ(s.Command("zstate 0f"), "ok");
    EXPECT_EQ(s.machine().ZState(), 0x0F);
    EXPECT_EQ(s.Command("vacuum 3 77"), "ok");
    EXPECT_EQ(s.machine().VacuumReading(3), 77);
    EXPECT_EQ(s.Command("delay 99999999999").rfind("unknown command", 0), 0u);
    EXPECT_EQ(s.Command("silence next 2000000000"), "ok");
    EXPECT_EQ(s.Command("silence next 2000000000"), "ok");  // no overflow
    EXPECT_EQ(s.Command("silence off"), "ok");
    EXPECT_FALSE(s.faults().TakePlan().drop);
    EXPECT_EQ(s.Command("delay 250"), "ok");
    EXPECT_EQ(s.faults().TakePlan().delayMs, 250);
    EXPECT_EQ(s.Command("clear"), "faults cleared");
    EXPECT_EQ(s.faults().TakePlan().delayMs, 0);
    EXPECT_NE(s.Command("status").find("homed 0"), std::string::npos);
    EXPECT_EQ(s.Command(""), "");
    EXPECT_FALSE(quit);
    EXPECT_EQ(s.Command("quit", &quit), "bye");
    EXPECT_TRUE(quit);
}
