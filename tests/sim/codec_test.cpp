// The boards' codec on its own: what the program's flows against the simulator do not
// reach (number edges, rejected frames and datagrams, noise).
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
const Bytes kHandshake = B("EE 00 02 00 02 FF FC FF FF");
} // namespace

TEST(SimNumbers, SignMagnitudeEdgesAndShortReads) {
    for (const auto& [v, hex] : {std::pair{-1, "80 00 00 01"}, {0x7FFFFFFF, "7F FF FF FF"}, {-0x7FFFFFFF, "FF FF FF FF"}}) {
        Bytes out;
        PutSm32(out, v);
        EXPECT_EQ(out, B(hex)) << v;
        EXPECT_EQ(FieldReader(out).Sm32(), v);
    }
    const Bytes negativeZero = B("80 00 00 00");  // reads as 0
    EXPECT_EQ(FieldReader(negativeZero).Sm32(), 0);
    const Bytes b = B("80 C8 7F");
    FieldReader r(b);
    EXPECT_EQ(r.Sm16(), -200);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.Sm16(), 0);  // one byte left
    EXPECT_FALSE(r.ok());
}

TEST(SimSerialFrames, DecoderRejectsBadSumTailLengthAndStrayBytesThenResynchronises) {
    const std::pair<const char*, const char*> bad[] = {
        {"EE 00 02 00 03 FF FC FF FF", "bad checksum"},
        {"EE 00 02 00 02 FF FC FF FE", "bad terminator"},
        {"EE 00 03 00 03 00 FF FC FF FF", "length does not fit the command"},
        {"EE 01 02 00 02 FF FC FF FF", "second byte not 00"},
        {"EE 00 02 99 9B FF FC FF FF", "unknown command"},
        {"12 34", "bytes outside a frame"},
    };
    for (const auto& [hex, why] : bad) {
        HostFrameDecoder dec;
        Items items;
        Bytes in = B(hex);
        in.insert(in.end(), kHandshake.begin(), kHandshake.end());
        dec.Feed(in.data(), in.size(), items);
        ASSERT_FALSE(items.empty()) << hex;
        EXPECT_FALSE(items[0].ok) << hex;
        EXPECT_EQ(items[0].reason, why) << hex;
        ASSERT_TRUE(items.back().ok) << hex;
        EXPECT_EQ(items.back().raw, kHandshake) << hex;
        EXPECT_EQ(dec.Pending(), 0u) << hex;
    }
}

TEST(SimSerialFrames, DecoderSurvivesNoiseInAnyPiecesAndFindsTheNextGoodFrame) {
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

TEST(SimDatagrams, PackedExampleAndRejections) {
    const Bytes d = PackDatagram(0, 0x0F02, B("01 02"));
    EXPECT_EQ(d, B("16 00 00 02 0F 02 00 01 02"));
    Datagram out;
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
    EXPECT_EQ(out.payload.size(), 300u);
}
