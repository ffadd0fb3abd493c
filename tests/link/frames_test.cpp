#include <gtest/gtest.h>

#include <chrono>

#include "link/datagram.h"
#include "link/serial_frame.h"
#include "link_fixture.h"

using namespace smt;
using namespace smt::test;
using namespace std::chrono_literals;

namespace {

using Clock = FrameCutter::Clock;

// Pushes bytes and cuts with a clock the test controls.
struct CutterRig {
    FrameCutter cutter;
    std::vector<ReplyFrame> frames;
    Clock::time_point now = Clock::time_point{} + 1h;

    std::size_t Push(const std::vector<std::uint8_t>& b) { return cutter.Push(b.data(), b.size()); }
    int Cut(Clock::duration advance = 0ms) {
        now += advance;
        return cutter.Cut([this](const ReplyFrame& f) { frames.push_back(f); }, now, 50ms);
    }
    // Cut, then let the tail wait run out, so every undecided start byte is settled.
    int Settle() { return Cut() + Cut(1s); }
};

std::vector<std::uint8_t> Filler(std::size_t n, std::uint8_t v = 0x11) { return std::vector<std::uint8_t>(n, v); }

}  // namespace

TEST(SerialFrame, GoldenFramesAndNumberEncodings) {
    EXPECT_EQ(HexOf(BuildSerialFrame(0x00, FrameData{})), "EE 00 02 00 02 FF FC FF FF");
    // Axis limit: axis byte and a 32-bit value, LEN 7, 14 bytes in all.
    const auto limit = BuildSerialFrame(0x01, FrameData{}.U8(1).Sm32(-1000));
    EXPECT_EQ(HexOf(limit), "EE 00 07 01 01 80 00 03 E8 74 FF FC FF FF");

    auto sm32 = [](std::int32_t v) { return HexOf(FrameData{}.Sm32(v).Bytes()); };
    EXPECT_EQ(sm32(-1), "80 00 00 01");
    EXPECT_EQ(sm32(0), "00 00 00 00");
    EXPECT_EQ(sm32(1), "00 00 00 01");
    EXPECT_EQ(sm32(1000), "00 00 03 E8");
    EXPECT_EQ(sm32(-1000), "80 00 03 E8");
    EXPECT_EQ(sm32(0x7FFFFFFF), "7F FF FF FF");
    EXPECT_EQ(HexOf(FrameData{}.Sm16(-300).Sm16(300).Bytes()), "81 2C 01 2C");
    EXPECT_EQ(HexOf(FrameData{}.Be32(-2).Be16(0x1234).U8(0x1FF).Bytes()), "FF FF FF FE 12 34 FF");

    for (std::int32_t v : {0, 1, -1, 1000, -1000, 123456789, -123456789}) {
        const auto b = FrameData{}.Sm32(v).Bytes();
        EXPECT_EQ(ReadSm32(b.data()), v);
        const auto be = FrameData{}.Be32(v).Bytes();
        EXPECT_EQ(ReadBe32(be.data()), v);
    }
}

TEST(FrameCutter, CutsFramesAnywhereInTheRing) {
    CutterRig rig;
    rig.Push(ReplyBytes(0x01, 0x61));
    EXPECT_EQ(rig.Cut(), 1);
    ASSERT_EQ(rig.frames.size(), 1u);
    EXPECT_EQ(rig.frames[0].type, 0x01);
    EXPECT_EQ(rig.frames[0].code, 0x61);
    EXPECT_EQ(rig.frames[0].length, 0);

    // A frame across positions 255/0 after the indexes have gone round once.
    rig.Push(Filler(245));
    rig.Settle();
    rig.Push(ReplyBytes(0x01, 0x71, {0x01, 0x00, 0x00, 0x30, 0x39}));
    EXPECT_EQ(rig.Cut(), 1);
    ASSERT_EQ(rig.frames.size(), 2u);
    EXPECT_EQ(rig.frames[1].code, 0x71);
    EXPECT_EQ(rig.frames[1].length, 5);
    EXPECT_EQ(rig.frames[1].data[4], 0x39);
    EXPECT_EQ(rig.cutter.Pending(), 0u);
}

TEST(FrameCutter, GarbageAndStrayStartBytesAreSkipped) {
    CutterRig rig;
    // Garbage, then a lone start byte right before a frame, then an unknown type in front of another.
    auto bytes = Bytes("00 13 FF FC 7E EE");
    auto f1 = ReplyBytes(0x01, 0x53);
    bytes.insert(bytes.end(), f1.begin(), f1.end());
    bytes.push_back(0xEE);
    bytes.push_back(0x37);
    auto f2 = ReplyBytes(0xFF, 0xE3, {0x02});
    bytes.insert(bytes.end(), f2.begin(), f2.end());
    rig.Push(bytes);
    rig.Settle();
    ASSERT_EQ(rig.frames.size(), 2u);
    EXPECT_EQ(rig.frames[0].code, 0x53);
    EXPECT_EQ(rig.frames[1].type, 0xFF);
    EXPECT_EQ(rig.frames[1].code, 0xE3);
    EXPECT_EQ(rig.frames[1].data[0], 0x02);

    // A start byte inside the data of a known type is data, not a new frame.
    rig.frames.clear();
    rig.Push(ReplyBytes(0x01, 0x71, {0x01, 0xEE, 0x00, 0x00, 0x05}));
    rig.Settle();
    ASSERT_EQ(rig.frames.size(), 1u);
    EXPECT_EQ(rig.frames[0].data[1], 0xEE);
}

TEST(FrameCutter, TwentySevenDataBytesFitTwentyEightDoNot) {
    CutterRig rig;
    rig.Push(ReplyBytes(0x01, 0x63, Filler(27, 0x42)));
    rig.Settle();
    ASSERT_EQ(rig.frames.size(), 1u);
    EXPECT_EQ(rig.frames[0].length, 27);

    rig.frames.clear();
    rig.Push(ReplyBytes(0x01, 0x63, Filler(28, 0x42)));
    rig.Push(ReplyBytes(0x01, 0x64));
    rig.Settle();
    ASSERT_EQ(rig.frames.size(), 1u);  // only the frame after the oversized one
    EXPECT_EQ(rig.frames[0].code, 0x64);
}

TEST(FrameCutter, FrameSplitAtEveryOffsetIsRecognised) {
    const auto frame = ReplyBytes(0x01, 0x64, {1, 2, 3, 4, 5, 6, 7, 8});
    for (std::size_t split = 1; split < frame.size(); ++split) {
        CutterRig rig;
        rig.Push(Filler(split * 7 % 200));  // vary where in the ring the frame lands
        rig.Settle();
        rig.Push({frame.begin(), frame.begin() + static_cast<long>(split)});
        EXPECT_EQ(rig.Cut(), 0) << split;
        EXPECT_EQ(rig.Cut(10ms), 0) << split;  // still within the tail wait
        rig.Push({frame.begin() + static_cast<long>(split), frame.end()});
        EXPECT_EQ(rig.Cut(10ms), 1) << "split at " << split;
        ASSERT_EQ(rig.frames.size(), 1u);
        EXPECT_EQ(rig.frames[0].data[7], 8);
    }
}

TEST(FrameCutter, AnUnfinishedFrameIsDroppedAfterTheTailWait) {
    CutterRig rig;
    rig.Push(ReplyBytes(0x01, 0x61, {9}));
    rig.frames.clear();
    rig.Push(Bytes("EE 01 53 00"));  // tail never comes
    EXPECT_EQ(rig.Cut(), 1);
    EXPECT_EQ(rig.Cut(40ms), 0);
    EXPECT_EQ(rig.cutter.Pending(), 4u);
    EXPECT_EQ(rig.Cut(20ms), 0);  // wait over: start byte passed, rest is garbage
    EXPECT_EQ(rig.cutter.Pending(), 0u);
    rig.Push(ReplyBytes(0x01, 0x61));
    EXPECT_EQ(rig.Cut(), 1);
}

TEST(FrameCutter, BackToBackFramesInOneReadAllCut) {
    CutterRig rig;
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t code : {0x61, 0x64, 0x65, 0x53, 0x15}) {
        auto f = ReplyBytes(0x01, code, {code});
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    rig.Push(bytes);
    EXPECT_EQ(rig.Cut(), 5);
    ASSERT_EQ(rig.frames.size(), 5u);
    EXPECT_EQ(rig.frames[4].code, 0x15);
    EXPECT_EQ(rig.frames[4].data[0], 0x15);
}

TEST(FrameCutter, StaleTailFromAnEarlierLapIsNeverMatched) {
    CutterRig rig;
    rig.Push(ReplyBytes(0x01, 0x61));  // ring positions 1..7, tail at 4..7
    rig.Settle();
    rig.Push(Filler(248));  // write index now 255
    rig.Settle();
    rig.frames.clear();
    rig.Push(Bytes("EE 01 53"));  // positions 0, 1, 2; the old tail still lies at 4..7
    EXPECT_EQ(rig.Cut(), 0);
    EXPECT_TRUE(rig.frames.empty());
    rig.Push(Bytes("FF FC FF FF"));
    EXPECT_EQ(rig.Cut(), 1);
    EXPECT_EQ(rig.frames[0].code, 0x53);
}

TEST(FrameCutter, PushNeverOverrunsUnreadBytes) {
    CutterRig rig;
    EXPECT_EQ(rig.Push(Filler(300)), 255u);
    EXPECT_EQ(rig.cutter.Free(), 0u);
    EXPECT_EQ(rig.Push(Filler(1)), 0u);
    rig.Settle();
    EXPECT_EQ(rig.cutter.Free(), 255u);
}

TEST(Datagram, PackGoldenAndCommandWord) {
    EXPECT_EQ(HexOf(PackPacket(0, 0x0F02, 0, {0x01, 0x02})), "16 00 00 02 0F 02 00 01 02");
    // 12-bit code and 4-bit field share the word: field in bits 12..15.
    const auto d = PackPacket(0, 0x1F61, 0x1A, {});
    EXPECT_EQ(HexOf(d), "10 01 00 61 AF 00 00");
    std::uint8_t out[9];
    const std::vector<std::uint8_t> two{1, 2};
    EXPECT_EQ(PackPacket(0, 1, 0, two.data(), 2, out, 8), 0u);  // does not fit
    EXPECT_EQ(PackPacket(0, 1, 0, two.data(), 2, out, 9), 9u);
}

TEST(Datagram, UnpackChecksLengthAndChecksum) {
    LinkMessage m;
    const auto good = PackPacket(0, 0x61, 0, {0x00, 0x03, 0x10, 0x00, 0x00, 0x00});
    ASSERT_TRUE(UnpackPacket(good.data(), good.size(), m));
    EXPECT_EQ(m.command, 0x61);
    EXPECT_EQ(m.flag, 0);
    EXPECT_EQ(HexOf(m.data), "00 03 10 00 00 00");

    EXPECT_FALSE(UnpackPacket(good.data(), 6, m));                // shorter than a header
    EXPECT_FALSE(UnpackPacket(good.data(), good.size() - 1, m));  // length field one more than the payload
    auto bad = good;
    bad[8] ^= 0x40;
    EXPECT_FALSE(UnpackPacket(bad.data(), bad.size(), m));  // checksum
    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(UnpackPacket(longer.data(), longer.size(), m));

    // A flag of 5 reads as 1; the payload copy is bounded by the target.
    auto flagged = Bytes("06 00 05 01 00 00 00");
    std::uint8_t flag = 0, payload[1];
    std::uint16_t cmd = 0, len = 0;
    ASSERT_TRUE(UnpackPacket(flagged.data(), flagged.size(), flag, cmd, payload, 1, len));
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(cmd, 1);
    EXPECT_EQ(len, 0);
    const auto big = PackPacket(0, 2, 0, {9, 8, 7});
    ASSERT_TRUE(UnpackPacket(big.data(), big.size(), flag, cmd, payload, 1, len));
    EXPECT_EQ(len, 3);
    EXPECT_EQ(payload[0], 9);
}

TEST(Datagram, LinkMessageSetKeepsTheFlag) {
    LinkMessage m;
    const std::uint8_t a[] = {1, 2, 3};
    m.Assign(1, 0x64, a, 3);
    m.Set(0x65, a, 1);
    EXPECT_EQ(m.flag, 1);
    EXPECT_EQ(m.command, 0x65);
    EXPECT_EQ(m.Length(), 1);
    EXPECT_EQ(HexOf(Payload{}.U8(-1).U16(0x1234).I32(-2).Bytes()), "FF 34 12 FE FF FF FF");
    const auto le = Payload{}.I32(-123456).Bytes();
    EXPECT_EQ(ReadLe32(le.data()), -123456);
}
