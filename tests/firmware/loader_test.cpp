#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "firmware/md5.h"
#include "firmware_fixture.h"
#include "link/firmware_loader.h"
#include "md5.h"

using namespace smt;
using namespace smt::test;

namespace {

std::string Hex(const std::array<std::uint8_t, 16>& d) {
    return ToHex(std::string(d.begin(), d.end()));
}

TEST(Md5, ProgramAndSimulatedBoardsAgreeWithKnownDigestsAndEachOther) {
    const std::pair<std::string, const char*> known[] = {
        {"", "D4 1D 8C D9 8F 00 B2 04 E9 80 09 98 EC F8 42 7E"},
        {"abc", "90 01 50 98 3C D2 4F B0 D6 96 3F 7D 28 E1 7F 72"},
        {"message digest", "F9 6B 69 7D 7C B7 93 8D 52 5A 2F 31 AA F1 61 D0"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57 ED F4 A2 2B E3 C9 55 AC 49 DA 2E 21 07 B6 7A"}};
    for (const auto& [text, hex] : known) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
        EXPECT_EQ(Hex(ComputeMd5(p, text.size())), hex) << text;
        EXPECT_EQ(Hex(sim::Md5Digest(p, text.size())), hex) << text;
    }
    EXPECT_EQ(Hex(ComputeMd5(nullptr, 0)), known[0].second);
    // Lengths around the 56-byte padding boundary and whole blocks; the boards' digest
    // also fed in pieces that do not line up with its blocks.
    for (std::size_t n : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u, 0x60000u}) {
        const ByteVec b = Pattern(n, static_cast<std::uint8_t>(n));
        EXPECT_EQ(ComputeMd5(b.data(), b.size()), sim::Md5Digest(b.data(), b.size())) << n;
        sim::Md5 m;
        for (std::size_t at = 0; at < n; at += 433) m.Update(b.data() + at, std::min<std::size_t>(433, n - at));
        EXPECT_EQ(m.Final(), sim::Md5Digest(b.data(), b.size())) << n;
    }
}

TEST(LoaderStatus, NoTextForSuccessOrVacuumAndTheEdgesOfTheCodeTable) {
    const std::pair<std::uint8_t, const char*> texts[] = {
        {0x00, "none"}, {0x68, "none"}, {0x3B, "Error-3B = 电机或传感器故障 !"}, {0x42, "飞达板超时 !"},
        {0xFF, "Error-FF = 未知错误 !"}};
    for (const auto& [code, text] : texts) EXPECT_EQ(LoaderStatusText(code).value_or("none"), text) << int(code);
    for (std::uint8_t other : {0x06, 0x13, 0x3C, 0x44, 0x99})
        EXPECT_EQ(LoaderStatusText(other).value_or("none"), "Error-?? = 错误代码 !") << int(other);

    ScriptedResponder boxes;
    g_Connected = true;
    EXPECT_TRUE(CheckReplyStatus(0));
    EXPECT_FALSE(CheckReplyStatus(0x68));
    EXPECT_FALSE(CheckReplyStatus(0x29));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error-29 = Z复位故障 !"});
    EXPECT_TRUE(g_Connected);  // a loader status changes no machine state
    g_Connected = false;
}

class LoaderOnSim : public FirmwareSimTest {
protected:
    FirmwareLoader loader{link};
    std::vector<int> percents;
    ProgressCallback Progress() {
        return [this](int p) { percents.push_back(p); };
    }
};

TEST_F(LoaderOnSim, WritesInBlocksOf433AndReadsTheConfigurationAreaIn152) {
    Select(2, 0);
    Board().ClearRecords();
    const ByteVec data = Pattern(1000, 1);
    ASSERT_TRUE(loader.WriteFlash(0x08020000, data.data(), data.size(), Progress()));
    const auto writes = Frames(0xF03);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ((std::vector<std::uint32_t>{ReadU32(writes[0].data, 0), ReadU32(writes[1].data, 0),
                                          ReadU32(writes[2].data, 0), ReadU32(writes[2].data, 4)}),
              (std::vector<std::uint32_t>{0x08020000u, 0x08020000u + 433, 0x08020000u + 866, 134u}));
    EXPECT_EQ(percents, (std::vector<int>{43, 86, 100}));
    EXPECT_EQ(Flash(2, 0, 0x08020000, 1000), data);

    SeedConfig(1, 0, ConfigPattern(3));
    Board().ClearRecords();
    percents.clear();
    ByteVec out;
    ASSERT_TRUE(loader.ReadFlash(out, Progress()));
    EXPECT_EQ(out, ConfigPattern(3));
    const auto reads = Frames(0xF04);
    ASSERT_EQ(reads.size(), 152u);
    EXPECT_EQ(ReadU32(reads.front().data, 0), 0x08010000u);
    EXPECT_EQ(ReadU32(reads.back().data, 4), 153u);
    EXPECT_EQ(percents.back(), 100);
}

TEST_F(LoaderOnSim, RefusedSelectionAndARefusedReadStopAtOnce) {
    Fresh();
    EXPECT_FALSE(loader.SetUpdateFlag(9, 0));  // the board refuses an unknown number
    Faults().ErrorNext(0x05);
    ByteVec out;
    EXPECT_FALSE(loader.ReadFlash(out, Progress()));
    EXPECT_EQ(Frames(0xF04).size(), 1u);  // nothing more asked after the refusal
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error-FF = 未知错误 !", "Error-05 = 长度错误 !"}));
}

// A board that answers as the test says: short replies, endless refusals, silence.
class LoaderOnFake : public ::testing::Test {
protected:
    using Answer = std::function<std::vector<ByteVec>(std::uint16_t code, const ByteVec& payload)>;
    void SetUp() override {
        plat::ResumeWaits();
        ResetLinkState();
        g_Connected = true;
        SetWaitLimitOverride(WaitKind::Firmware, plat::Millis(300));
    }
    void TearDown() override {
        StopUdpReplyThread();
        link.Close();
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        ::close(m_fd);
        SetWaitLimitOverride(WaitKind::Firmware, plat::Millis(0));
        ResetLinkState();
    }
    // Starts the board and opens the link toward it.
    void Board(Answer answer) {
        m_answer = std::move(answer);
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, "127.0.0.2", &a.sin_addr);
        socklen_t len = sizeof a;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), len);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_thread = std::thread([this] { Serve(); });
        ASSERT_TRUE(link.Open("127.0.0.2", ntohs(a.sin_port), LocalEndpoint{"127.0.0.1", 0}));
        StartUdpReplyThread(link);
    }
    void Serve() {
        std::uint8_t buf[2048];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            LinkMessage m;
            if (n <= 0 || !UnpackPacket(buf, static_cast<std::size_t>(n), m)) continue;
            ++requests;
            for (const ByteVec& reply : m_answer(m.command & 0xFFF, m.data)) {
                const ByteVec d = PackPacket(1, m.command & 0xFFF, 0, reply);
                ::sendto(m_fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
            }
        }
    }

    MachineLink link;
    FirmwareLoader loader{link};
    ScriptedResponder boxes;
    std::atomic<int> requests{0};

private:
    Answer m_answer;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST_F(LoaderOnFake, ShortReadAndDigestRepliesFailWithoutABox) {
    Board([](std::uint16_t code, const ByteVec& p) {  // each one byte short
        return std::vector<ByteVec>{code == 0xF04 ? ByteVec(8 + ReadU32(p, 4) - 1, 0x00) : ByteVec(16, 0)};
    });
    ByteVec out;
    EXPECT_FALSE(loader.ReadFlash(out, nullptr));
    EXPECT_EQ(requests, 1);
    Md5Digest d{};
    EXPECT_FALSE(loader.ReadFlashMd5(0x60000, d));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(LoaderOnFake, BlockRefusedOnceIsSentAgainRefusedOverAndOverEndsAfterTheRetries) {
    // Blocks at 0x08030000 are always refused; elsewhere only the second request is.
    Board([calls = 0](std::uint16_t, const ByteVec& p) mutable {
        const bool refuse = ReadU32(p, 0) == 0x08030000u || calls++ == 1;
        return std::vector<ByteVec>{ByteVec{std::uint8_t(refuse ? 0x03 : 0x00)}};
    });
    const ByteVec data = Pattern(900, 2);
    std::vector<int> percents;
    EXPECT_TRUE(loader.WriteFlash(0x08020000, data.data(), data.size(), [&](int p) { percents.push_back(p); }));
    EXPECT_EQ(requests, 4);
    EXPECT_EQ(percents, (std::vector<int>{48, 96, 100}));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_FALSE(loader.WriteFlash(0x08030000, data.data(), 500, nullptr));  // the second block never goes
    EXPECT_EQ(requests, 4 + loader::kBlockRetries + 1);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error-03 = 打包错误 !"});  // once, not per attempt
}

TEST_F(LoaderOnFake, SilentBoardEndsTheCommandAndAReplyOfAnotherCommandIsNotTheAnswer) {
    Board([](std::uint16_t, const ByteVec&) { return std::vector<ByteVec>{}; });
    // A late erase reply with status 0 (stored and signalled as the dispatcher would)
    // comes in while the jump waits.
    LinkMessage stray;
    stray.Assign(1, 0xF02, nullptr, 0);
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        stray.data = {0x00};
        link.StoreReply(stray);
        link.FirmwareEvent().Set();
    });
    EXPECT_FALSE(loader.JumpToAddress(0x08020000));
    late.join();
    EXPECT_FALSE(g_Connected);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Texts()[0].find("F07"), std::string::npos);
}

}  // namespace
