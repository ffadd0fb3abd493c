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
    // A start byte inside the data of a known type is data, not a new frame.
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
    EXPECT_EQ(m.command, 0x61);
    EXPECT_EQ(m.flag, 0);
    EXPECT_EQ(HexOf(m.data), "00 03 10 00 00 00");

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
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(cmd, 1);
    EXPECT_EQ(len, 0);
    const auto big = PackPacket(0, 2, 0, {9, 8, 7});
    ASSERT_TRUE(UnpackPacket(big.data(), big.size(), flag, cmd, payload, 1, len));
    EXPECT_EQ(len, 3);
    EXPECT_EQ(payload[0], 9);
    // Set keeps the flag that Assign gave.
    const std::uint8_t a[] = {1, 2, 3};
    m.Assign(1, 0x64, a, 3);
    m.Set(0x65, a, 1);
    EXPECT_EQ(m.flag, 1);
    EXPECT_EQ(m.command, 0x65);
    EXPECT_EQ(m.Length(), 1);
}
