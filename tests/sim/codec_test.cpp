#include <gtest/gtest.h>

#include "codec.h"
#include "test_support.h"

using namespace sim;

namespace {
Bytes B(const std::string& hex) {
    const std::string s = smt::test::Hex(hex);
    return Bytes(s.begin(), s.end());
}
using Items = std::vector<HostFrameDecoder::Item>;
} // namespace

TEST(SimNumbers, SignMagnitudePlainEncodingsAndShortReads) {
    const std::pair<std::int32_t, const char*> cases32[] = {
        {-1, "80 00 00 01"}, {1, "00 00 00 01"}, {0, "00 00 00 00"}, {1000, "00 00 03 E8"},
        {-1000, "80 00 03 E8"}, {0x7FFFFFFF, "7F FF FF FF"}, {-0x7FFFFFFF, "FF FF FF FF"}};
    for (const auto& [v, hex] : cases32) {
        Bytes out;
        PutSm32(out, v);
        EXPECT_EQ(out, B(hex)) << v;
        EXPECT_EQ(FieldReader(out).Sm32(), v);
    }
    Bytes b;
    PutSm16(b, -200);
    PutSm16(b, 32767);
    PutBe32(b, -2);
    PutBe16(b, 0x1234);
    PutLe32(b, -2);
    PutLe16(b, 0x1234);
    EXPECT_EQ(b, B("80 C8 7F FF FF FF FF FE 12 34 FE FF FF FF 34 12"));
    FieldReader r(b);
    EXPECT_EQ((std::vector<int>{r.Sm16(), r.Sm16(), r.Be32(), r.Be16(), r.Le32(), r.Le16()}),
              (std::vector<int>{-200, 32767, -2, 0x1234, -2, 0x1234}));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.U8(), 0);
    EXPECT_FALSE(r.ok());
    const Bytes negativeZero = B("80 00 00 00");  // reads as 0
    EXPECT_EQ(FieldReader(negativeZero).Sm32(), 0);
}

TEST(SimSerialFrames, HandshakeAndLimitFramesAreExact) {
    EXPECT_EQ(EncodeHostFrame(0x00, {}), B("EE 00 02 00 02 FF FC FF FF"));
    Bytes data{0x01};
    PutSm32(data, -8);
    // 00 + 07 + 01 + 01 + 80 + 08 = 0x91
    EXPECT_EQ(EncodeHostFrame(0x01, data), B("EE 00 07 01 01 80 00 00 08 91 FF FC FF FF"));
    EXPECT_EQ(EncodeReplyFrame(kReplyCommand, 0x00, {}), B("EE 01 00 FF FC FF FF"));
}

TEST(SimSerialFrames, DecoderFindsFramesInAnyPieces) {
    HostFrameDecoder dec;
    Items items;
    const Bytes hs = B("EE 00 02 00 02 FF FC FF FF");
    for (std::uint8_t byte : hs) dec.Feed(&byte, 1, items);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_TRUE(items[0].ok);
    EXPECT_EQ(items[0].frame.code, 0x00);
    EXPECT_EQ(dec.Pending(), 0u);

    // Two frames in one piece, garbage between.
    items.clear();
    Bytes two = hs;
    two.insert(two.end(), {0x12, 0x34});
    const Bytes out = EncodeHostFrame(0x03, {0x05, 0x01});
    two.insert(two.end(), out.begin(), out.end());
    dec.Feed(two.data(), two.size(), items);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].ok && items[2].ok);
    EXPECT_FALSE(items[1].ok);
    EXPECT_EQ(items[1].raw, B("12 34"));
    EXPECT_EQ(items[2].frame.data, B("05 01"));
}

TEST(SimSerialFrames, DecoderRejectsBadSumTailAndLengthThenResynchronises) {
    const std::pair<const char*, const char*> bad[] = {
        {"EE 00 02 00 03 FF FC FF FF", "bad checksum"},
        {"EE 00 02 00 02 FF FC FF FE", "bad terminator"},
        {"EE 00 03 00 03 00 FF FC FF FF", "length does not fit the command"},
        {"EE 01 02 00 02 FF FC FF FF", "second byte not 00"},
        {"EE 00 02 99 9B FF FC FF FF", "unknown command"},
    };
    const Bytes good = EncodeHostFrame(0x00, {});
    for (const auto& [hex, why] : bad) {
        HostFrameDecoder dec;
        Items items;
        Bytes in = B(hex);
        in.insert(in.end(), good.begin(), good.end());
        dec.Feed(in.data(), in.size(), items);
        ASSERT_FALSE(items.empty()) << hex;
        EXPECT_FALSE(items[0].ok) << hex;
        EXPECT_EQ(items[0].reason, why) << hex;
        ASSERT_TRUE(items.back().ok) << hex;
        EXPECT_EQ(items.back().raw, good) << hex;
    }
}

TEST(SimSerialFrames, DecoderSurvivesNoiseAndFindsTheNextGoodFrame) {
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    const Bytes good = EncodeHostFrame(0x15, {4});
    for (int round = 0; round < 50; ++round) {
        HostFrameDecoder dec;
        Items items;
        Bytes noise(500);
        for (auto& b : noise) b = (next() % 5 == 0) ? 0xEE : next();
        noise.insert(noise.end(), good.begin(), good.end());
        noise.insert(noise.end(), 64, 0x00);  // flushes a frame the noise left open
        for (std::size_t at = 0; at < noise.size();) {
            const std::size_t n = std::min<std::size_t>(1 + next() % 9, noise.size() - at);
            dec.Feed(noise.data() + at, n, items);
            at += n;
        }
        bool found = false;
        for (const auto& it : items) found = found || (it.ok && it.raw == good);
        EXPECT_TRUE(found) << "round " << round;
        EXPECT_LT(dec.Pending(), 64u);
    }
}

TEST(SimSerialFrames, EveryCommandLengthMatchesItsFrameSize) {
    // Frame sizes of the command table: data bytes + 9.
    const std::pair<std::uint8_t, std::size_t> sizes[] = {
        {0x00, 9},  {0x01, 14}, {0x02, 23}, {0x03, 11}, {0x04, 11}, {0x15, 10}, {0x52, 23},
        {0x53, 24}, {0x54, 29}, {0x56, 26}, {0x58, 29}, {0x60, 10}, {0x61, 16}, {0x62, 30},
        {0x63, 43}, {0x65, 38}, {0x66, 26}, {0x67, 20}, {0x68, 23}, {0x71, 16}};
    for (const auto& [code, size] : sizes) {
        const auto lengths = SerialDataLengths(code);
        ASSERT_EQ(lengths.size(), 1u) << int(code);
        EXPECT_EQ(EncodeHostFrame(code, Bytes(lengths[0], 0)).size(), size) << int(code);
    }
    EXPECT_EQ(SerialDataLengths(0x64), (std::vector<std::size_t>{14, 18}));
    EXPECT_TRUE(SerialDataLengths(0x72).empty());
    EXPECT_TRUE(SerialDataLengths(0x70).empty());
}

TEST(SimReplyFrames, CutterLimitsAndLeadingJunk) {
    Bytes s = B("00 13 EE 01 61 FF FC FF FF EE 01");
    ReplyFrame f;
    ASSERT_TRUE(TakeReplyFrame(s, f));
    EXPECT_EQ(f.type, 0x01);
    EXPECT_EQ(f.code, 0x61);
    EXPECT_TRUE(f.data.empty());
    EXPECT_EQ(s, B("EE 01"));
    EXPECT_FALSE(TakeReplyFrame(s, f));

    Bytes max = EncodeReplyFrame(0x01, 0x62, Bytes(27, 0x11));
    ASSERT_TRUE(TakeReplyFrame(max, f));
    EXPECT_EQ(f.data.size(), 27u);
    Bytes over = EncodeReplyFrame(0x01, 0x62, Bytes(28, 0x11));
    EXPECT_FALSE(TakeReplyFrame(over, f));
}

TEST(SimDatagrams, PackedExampleAndRejections) {
    const Bytes d = PackDatagram(0, 0x0F02, B("01 02"));
    EXPECT_EQ(d, B("16 00 00 02 0F 02 00 01 02"));
    Datagram out;
    ASSERT_TRUE(UnpackDatagram(d.data(), d.size(), out));
    EXPECT_EQ(out.command, 0x0F02);
    EXPECT_EQ(out.payload, B("01 02"));

    Bytes longer = d, badSum = d;
    longer[5] = 3;  // length one more than the payload
    badSum[0] ^= 1;
    const std::tuple<const Bytes*, std::size_t, const char*> bad[] = {
        {&d, 6, "shorter than the header"},
        {&longer, longer.size(), "length field does not match"},
        {&badSum, badSum.size(), "bad checksum"}};
    for (const auto& [in, n, why] : bad) {
        std::string reason;
        EXPECT_FALSE(UnpackDatagram(in->data(), n, out, &reason)) << why;
        EXPECT_EQ(reason, why);
    }
    // The sum wraps at 16 bits.
    const Bytes big = PackDatagram(1, 0x75, Bytes(300, 0xFF));
    ASSERT_TRUE(UnpackDatagram(big.data(), big.size(), out));
    EXPECT_EQ(out.flag, 1);
}
