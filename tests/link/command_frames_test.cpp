// The commands without a machine: golden bytes of every serial frame (start, length,
// code, data, sum, tail) and Ethernet payload, the counters' booking, the speed codes.
#include <gtest/gtest.h>

#include <tuple>

#include "link/command_frames.h"
#include "link/datagram.h"
#include "link/position_counters.h"
#include "link/serial_frame.h"
#include "link/speed_calc.h"
#include "link_fixture.h"
#include "settings/speed_template.h"

using namespace smt;
using namespace smt::test;

namespace {

std::string Frame(std::uint8_t code, const ByteVector& data) { return HexOf(BuildSerialFrame(code, data)); }

std::int32_t Le32At(const ByteVector& b, std::size_t at) { return ReadLe32(b.data() + at); }
std::uint16_t Le16At(const ByteVector& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
// Little-endian fields of 1, 2 or 4 bytes: {offset, width, value}.
struct Field {
    std::size_t at;
    int width;
    std::int64_t value;
};
void ExpectFields(const ByteVector& b, std::initializer_list<Field> fields) {
    for (const auto& f : fields) {
        const std::int64_t v = f.width == 4 ? Le32At(b, f.at) : f.width == 2 ? Le16At(b, f.at) : b[f.at];
        EXPECT_EQ(v, f.value) << "at " << f.at;
    }
}

const XYAMove kXYA{{1000, {5, 50}, -2000, {6, 60}}, 2, -900, 3, 4, 0x80};

}  // namespace

TEST(CommandFrames, LinkSetupCommands) {
    EXPECT_EQ(Frame(0x01, SerialAxisLimit(1, -5000)), "EE 00 07 01 01 80 00 13 88 24 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpAxisLimit(1, -5000)), "01 78 EC FF FF");
    const HomeAxesSpeeds home{{10, 200}, {11, 201}, {12, 30}, {13, 31}, {14, 40}, {15, 41}, {16, 42}};
    EXPECT_EQ(Frame(0x02, SerialHomeAxes(home)), "EE 00 10 02 0A C8 0B C9 0C 1E 0D 1F 0E 28 0F 29 10 2A B6 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpHomeAxes(home)), "0A 00 00 00 C8 00 00 00 0B 00 00 00 C9 00 00 00 0C 00 00 00 1E 00 00 00 0D 00 00 00 1F 00 00 00 0E 00 00 00 28 00 00 00 0F 00 00 00 29 00 00 00 10 00 00 00 2A 00 00 00");
    const HomeModel4Speeds home4{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    EXPECT_EQ(Frame(0x52, SerialHomeModel4(home4)), "EE 00 10 52 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E CB FF FC FF FF");
    EXPECT_EQ(Frame(0x03, SerialOutput({0x21, 1, 300})), "EE 00 04 03 21 01 29 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpOutput({0x21, 1, 300})), "21 01 2C 01");
    EXPECT_EQ(Frame(0x04, SerialCamera(2, 7)), "EE 00 04 04 02 07 11 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpCamera(2, 7)), "02 07");
    EXPECT_EQ(Frame(0x15, SerialVacuum(3)), "EE 00 03 15 03 1B FF FC FF FF");
    EXPECT_EQ(HexOf(UdpVacuum(3)), "03");
    EXPECT_EQ(Frame(0x60, SerialSpeedGear(2)), "EE 00 03 60 02 65 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpSpeedGear(2, 5)), "02 05");
    EXPECT_EQ(HexOf(UdpCurrentXY(4321, -1234)), "E1 10 00 00 2E FB FF FF");
    ResetHeadsPayload reset{10, 11, 200, {1, 2, 3, 4, 5, 6, 7, 8}, 99};
    EXPECT_EQ(HexOf(UdpResetHeads(reset)), "0A 00 00 00 0B 00 00 00 C8 00 00 00 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 05 00 00 00 06 00 00 00 07 00 00 00 08 00 00 00 63 00 00 00");
}

TEST(CommandFrames, SingleAxisConveyorAndFlyOver) {
    const SingleAxisMove m{0, -1, {10, 20}};
    EXPECT_EQ(Frame(0x61, SerialSingleAxis(m)), "EE 00 09 61 00 80 00 00 01 0A 14 09 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpSingleAxis(m, 777)), "00 09 03 00 00 FF FF FF FF 0A 00 00 00 14 00 00 00");
    // Sign and magnitude: -1 is 80 00 00 01, +1 is 00 00 00 01.
    EXPECT_EQ(HexOf(SerialSingleAxis({1, 1, {1, 1}})), "01 00 00 00 01 01 01");

    const ConveyorRun c{2, 1, 0, 1, 1000, -2000, 70000, 30, 90, 4000};
    EXPECT_EQ(Frame(0x62, SerialConveyor(c)), "EE 00 17 62 02 01 00 01 0B 00 00 03 E8 0C 80 00 07 D0 0D 00 01 11 70 1E 5A DD FF FC FF FF");
    EXPECT_EQ(HexOf(UdpConveyor(c)), "02 01 A0 0F 00 01 0B E8 03 00 00 0C 30 F8 FF FF 0D 70 11 01 00 1E 00 00 00 5A 00 00 00");

    FlyCameraMove f{-25000, 4, 6, 9, {}};
    for (int i = 0; i < 12; ++i) f.triggers[i] = 100 * (i + 1) - 300;
    EXPECT_EQ(Frame(0x63, SerialFlyCamera(f)), "EE 00 24 63 01 00 04 80 00 61 A8 06 09 FF 38 FF 9C 00 00 00 64 00 C8 01 2C 01 90 01 F4 02 58 02 BC 03 20 03 84 02 99 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpFlyCamera(f, 5000)), "01 00 04 88 13 00 00 58 9E FF FF 06 00 00 00 09 00 00 00 38 FF FF FF 9C FF FF FF 00 00 00 00 64 00 00 00 C8 00 00 00 2C 01 00 00 90 01 00 00 F4 01 00 00 58 02 00 00 BC 02 00 00 20 03 00 00 84 03 00 00 02");
}

TEST(CommandFrames, XYAMovesInBothWidths) {
    EXPECT_EQ(Frame(0x64, SerialXYA(kXYA, false)), "EE 00 10 64 03 E8 05 32 87 D0 06 3C 02 83 84 03 04 80 BF FF FC FF FF");
    EXPECT_EQ(Frame(0x64, SerialXYA(kXYA, true)), "EE 00 14 64 00 00 03 E8 05 32 80 00 07 D0 06 3C 02 83 84 03 04 80 C3 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpXYA(kXYA, 11, -22)), "0B 00 00 00 E8 03 00 00 EA FF FF FF 30 F8 FF FF 05 00 00 00 32 00 00 00 80 02 7C FC FF FF 03 00 00 00 04 00 00 00");

    const XYAMultiMove multi{{-1500, {5, 50}, 2500, {6, 60}}, {10, -20, 30, -40, 50, -60, 70, -80}, {7, 70}, 1};
    EXPECT_EQ(Frame(0x65, SerialXYAMulti(multi)), "EE 00 1F 65 80 00 05 DC 05 32 00 00 09 C4 06 3C 00 0A 07 46 80 14 07 46 00 1E 07 46 80 28 07 46 01 C4 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpXYAMulti(multi, 11, -22)), "0B 00 00 00 24 FA FF FF EA FF FF FF C4 09 00 00 05 00 00 00 32 00 00 00 01 0A 00 00 00 EC FF FF FF 1E 00 00 00 D8 FF FF FF 32 00 00 00 C4 FF FF FF 46 00 00 00 B0 FF FF FF 07 00 00 00 46 00 00 00");
}

TEST(CommandFrames, FeederPickPlaceDispenseAndXYMovesOfEitherTable) {
    FeederFeed feed{0, 3, -4000, 11, 22, 513, 1027, 33, 44, 2055, 55, 66};
    EXPECT_EQ(FeedCode(feed), 0x66);
    EXPECT_EQ(Frame(FeedCode(feed), SerialFeed(feed)), "EE 00 13 66 03 80 00 0F A0 0B 16 02 01 04 03 21 2C 08 07 37 42 AB FF FC FF FF");
    EXPECT_EQ(HexOf(UdpFeed(feed, 123)), "00 03 7B 00 00 00 60 F0 FF FF 0B 00 00 00 16 00 00 00 01 02 00 00 03 04 00 00 21 00 00 00 2C 00 00 00 07 08 37 42");
    // Drive 10: plain 32-bit fields, c..f not sent.
    FeederFeed drive10 = feed;
    drive10.variant = 1; drive10.drive = 10;
    EXPECT_EQ(FeedCode(drive10), 0x56);
    EXPECT_EQ(Frame(FeedCode(drive10), SerialFeed(drive10)), "EE 00 13 56 0A FF FF F0 60 00 00 00 0B 00 00 00 16 08 07 37 42 6A FF FC FF FF");

    const PickStrokeArgs pick{2, -3000, {8, 80}, 1, 100, 0};
    EXPECT_EQ(Frame(0x67, SerialPick(pick)), "EE 00 0D 67 02 80 00 0B B8 08 50 01 00 64 00 76 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpPick(pick)), "02 48 F4 FF FF 08 00 00 00 50 00 00 00 64 00 00");
    const PlaceStrokeArgs place{3, 2800, {9, 90}, -2800, 200, 30, 7};
    EXPECT_EQ(Frame(0x68, SerialPlace(place)), "EE 00 10 68 03 00 00 0A F0 09 5A 00 00 0A F0 00 C8 1E B8 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpPlace(place)), "03 F0 0A 00 00 09 00 00 00 5A 00 00 00 F0 0A 00 00 07 C8 00 1E");

    const DispenseStrokeArgs dot{10, -1500, 5, 50, 6, -1234, 5678, 300, 400, 500};
    EXPECT_EQ(Frame(0x58, SerialDispense(dot)), "EE 00 16 58 0A 80 00 05 DC 05 32 06 00 00 04 D2 00 00 16 2E 01 2C 01 90 EE FF FC FF FF");
    EXPECT_EQ(HexOf(UdpDispense(dot)), "0A 24 FA FF FF 05 00 00 00 32 00 00 00 06 D2 04 00 00 2E 16 00 00 2C 01 90 01 F4 01");
    EXPECT_EQ(Frame(0x71, SerialHeight({-7000, 3, 4})), "EE 00 09 71 20 80 00 1B 58 03 04 94 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpHeight({-7000, 3, 4})), "20 A8 E4 FF FF 03 00 00 00 04 00 00 00");

    const XYMoveArgs xy{9, 1200, {5, 50}, 12, -800, {6, 60}};
    EXPECT_EQ(Frame(0x53, SerialXY(xy)), "EE 00 11 53 09 00 00 04 B0 05 32 0C 80 00 03 20 06 3C 80 C9 FF FC FF FF");
    EXPECT_EQ(HexOf(UdpXY(xy, 11, -22)), "09 0C 0B 00 00 00 B0 04 00 00 EA FF FF FF E0 FC FF FF 05 00 00 00 32 00 00 00 80");
    const XYRotationMove r{1200, {5, 50}, 1, -800, {6, 60}, 10, -300, 3, 4};
    EXPECT_EQ(Frame(0x54, SerialXYRotation(r)), "EE 00 16 54 00 00 00 04 B0 05 32 01 80 00 03 20 06 3C 0A 81 2C 03 04 80 79 FF FC FF FF");
}

TEST(CommandFrames, MoveAndFlyFieldsAtTheirOffsets) {
    // Each 32-bit field holds its own offset, so a shifted field shows at once.
    MoveAndFlyPayload p;
    p.dX1 = 9; p.dY1 = -13; p.speedPair = {17, 21}; p.dA = {26, 30, 34, 38, 42, 46, 50, 54};
    p.secondPair = {58, 62}; p.frames = 4; p.dX2 = 69; p.cameraB = 73; p.cameraC = 77;
    p.triggers = {81, 85, 89, 93, 97, 101, 105, 109}; p.dX3 = -114; p.dY3 = 118;
    const ByteVector b = UdpMoveAndFly(p, 4000, -5000);
    ASSERT_EQ(b.size(), 130u);
    for (int at : {9, 17, 21, 26, 30, 34, 38, 42, 46, 50, 54, 58, 62, 69, 73, 77, 81, 85, 89, 93, 97, 101, 105, 109, 118})
        EXPECT_EQ(Le32At(b, at), at) << at;
    // The speed pair comes again at the end.
    ExpectFields(b, {{0, 4, 4000}, {4, 4, -5000}, {13, 4, -13}, {114, 4, -114}, {8, 1, 0x80}, {25, 1, 0},
                     {66, 2, 0x0101}, {68, 1, 4}, {113, 1, 2}, {122, 4, 17}, {126, 4, 21}});
}

TEST(CommandFrames, MoveAndPickFieldsAtTheirOffsets) {
    MoveAndPick74Payload p;
    p.nozzleOrDrive = 0xA0; p.axisCode = 0x0D; p.nozzleMask = 0x05; p.h6 = 0x0606; p.w8 = 8;
    p.h12 = 0x1212; p.b14 = 14; p.w15 = 15; p.dX = 19; p.w23 = 23; p.dY = -27; p.w31 = 31; p.w35 = 35;
    p.dA = {40, 44, 48, 52, 56, 60, 64, 68}; p.w72 = 72; p.w76 = 76; p.w81 = 81; p.w85 = 85; p.w89 = 89;
    p.h93 = 0x9393; p.b95 = 95;
    const ByteVector b = UdpMoveAndPick74(p);
    ASSERT_EQ(b.size(), 96u);
    for (int at : {15, 19, 23, 31, 35, 40, 44, 48, 52, 56, 60, 64, 68, 72, 76, 81, 85, 89}) EXPECT_EQ(Le32At(b, at), at) << at;
    ExpectFields(b, {{0, 1, 0xA0}, {1, 1, 0x0D}, {2, 4, 5}, {6, 2, 0x0606}, {8, 4, 8}, {12, 2, 0x1212}, {14, 1, 14},
                     {27, 4, -27}, {39, 1, 1}, {80, 1, 0x20}, {93, 2, 0x9393}, {95, 1, 95}});

    MoveAndPick75Payload q;
    for (int n = 0; n < 8; ++n) {
        q.drives[n] = static_cast<std::uint8_t>(0x0A + n); q.b9[n] = static_cast<std::uint8_t>(9 + n);
        q.h17[n] = static_cast<std::uint16_t>(1700 + n); q.h33[n] = static_cast<std::uint16_t>(3300 + n);
        q.w57[n] = 5700 + n; q.w89[n] = 8900 + n; q.w178[n] = 17800 + n;
        q.h218[n] = static_cast<std::uint16_t>(21800 + n);
    }
    q.w49 = 49; q.w53 = 53; q.w121 = 121; q.w125 = 125; q.w210 = 210; q.w214 = 214;
    for (int n = 0; n < 10; ++n) q.w130[n] = 13000 + n;
    const ByteVector c = UdpMoveAndPick75(q);
    ASSERT_EQ(c.size(), 234u);
    ExpectFields(c, {{0, 1, 0}, {129, 1, 1}});
    for (int n = 0; n < 8; ++n) {
        EXPECT_EQ(c[1 + n], 0x0A + n);
        EXPECT_EQ(c[9 + n], 9 + n);
        EXPECT_EQ(Le16At(c, 17 + 2 * n), 1700 + n);
        EXPECT_EQ(Le16At(c, 33 + 2 * n), 3300 + n);
        EXPECT_EQ(Le32At(c, 57 + 4 * n), 5700 + n);
        EXPECT_EQ(Le32At(c, 89 + 4 * n), 8900 + n);
        EXPECT_EQ(c[170 + n], 0x20 + n);
        EXPECT_EQ(Le32At(c, 178 + 4 * n), 17800 + n);
        EXPECT_EQ(Le16At(c, 218 + 2 * n), 21800 + n);
    }
    for (int at : {49, 53, 121, 125, 210, 214}) EXPECT_EQ(Le32At(c, at), at) << at;
    for (int n = 0; n < 10; ++n) EXPECT_EQ(Le32At(c, 130 + 4 * n), 13000 + n);
}

TEST(CommandFrames, MoveAndPlaceFieldsAtTheirOffsets) {
    MoveAndPlace77Payload p;
    p.w0 = 100; p.dX = 4; p.w8 = 8; p.dY = -12; p.w16 = 16; p.w20 = 20;
    p.dA = {25, 29, 33, 37, 41, 45, 49, 53}; p.w57 = 57; p.w61 = 61;
    p.w66 = 66; p.w70 = 70; p.w74 = 74; p.w78 = 78; p.b82 = 82; p.h83 = 0x8383; p.b85 = 85;
    const ByteVector b = UdpMoveAndPlace77(p);
    ASSERT_EQ(b.size(), 86u);
    for (int at : {4, 8, 16, 20, 25, 29, 33, 37, 41, 45, 49, 53, 57, 61, 66, 70, 74, 78}) EXPECT_EQ(Le32At(b, at), at) << at;
    ExpectFields(b, {{0, 4, 100}, {12, 4, -12}, {24, 1, 1}, {65, 1, 0x20}, {82, 1, 82}, {83, 2, 0x8383}, {85, 1, 85}});

    MoveAndPlace78Payload q;
    q.b0 = 0xB0; q.w1 = 1; q.w69 = 69; q.w73 = 73; q.w77 = 77; q.w118 = -118; q.w162 = 162; q.w166 = 166;
    for (int n = 0; n < 8; ++n) {
        q.w5[n] = 500 + n; q.w37[n] = 3700 + n;
    }
    for (int n = 0; n < 9; ++n) q.w82[n] = 8200 + n;
    q.bytes129.fill(0x29);
    q.bytes170.fill(0x70);
    const auto c = UdpMoveAndPlace78(q);
    ASSERT_TRUE(c.has_value());
    ASSERT_EQ(c->size(), 234u);
    const ByteVector& v = *c;
    for (int n = 0; n < 8; ++n) {
        EXPECT_EQ(Le32At(v, 5 + 4 * n), 500 + n);
        EXPECT_EQ(Le32At(v, 37 + 4 * n), 3700 + n);
        EXPECT_EQ(v[121 + n], 0x20 + n);
    }
    for (int at : {69, 73, 77, 162, 166}) EXPECT_EQ(Le32At(v, at), at) << at;
    for (int n = 0; n < 9; ++n) EXPECT_EQ(Le32At(v, 82 + 4 * n), 8200 + n);
    ExpectFields(v, {{0, 1, 0xB0}, {1, 4, 1}, {81, 1, 1}, {129, 1, 0x29}, {161, 1, 0x29}, {170, 1, 0x70}, {233, 1, 0x70}});
    // The field at 118 keeps three bytes; byte 121 is the first Z axis code.
    EXPECT_EQ(HexOf(ByteVector(v.begin() + 118, v.begin() + 121)), "8A FF FF");

    q.w118 = MoveAndPlace78Payload::kWord118Max + 1;
    EXPECT_FALSE(UdpMoveAndPlace78(q).has_value());
    q.w118 = MoveAndPlace78Payload::kWord118Min;
    EXPECT_TRUE(UdpMoveAndPlace78(q).has_value());
}

// ---- counters and speed codes ----

namespace {

class Counters : public ::testing::Test {
protected:
    void SetUp() override {
        ClearPositionCounters();
        SpeedTemplateSettings s;
        s.m_A_RunFast = 1000;
        TheSpeedTemplates().SetSettings(s);
    }
    void TearDown() override {
        ClearPositionCounters();
        TheSpeedTemplates().SetSettings(SpeedTemplateSettings{});
    }
};

}  // namespace

TEST(FoldA, OneRevolutionEachWayFoldedOnce) {
    const int cases[][3] = {{950 + 100, 1000, 50}, {-950 - 100, 1000, -50}, {1000, 1000, 0}, {-1000, 1000, 0},
                            {999, 1000, 999},      {-999, 1000, -999},      {2500, 1000, 1500}, {2500, 0, 2500}};
    for (const auto& c : cases) EXPECT_EQ(FoldA(c[0], c[1]), c[2]) << c[0] << " of " << c[1];
}

TEST_F(Counters, RockerStrokeBooksBothNozzlesOfThePair) {
    FieldUpdate u = BookSingleAxis(2, 200, 0, 1);
    EXPECT_EQ(std::pair(g_PulseZ[0].load(), g_PulseZ[1].load()), std::pair(-200, 200));
    EXPECT_EQ(u.field, PositionField::Z);
    EXPECT_EQ(u.pulses, -200);  // the lowered nozzle is shown
    // Axis 10 is the third rocker on types 4 and 6, the east walk elsewhere.
    BookSingleAxis(10, 50, 6, 1);
    EXPECT_EQ(std::pair(g_PulseZ[4].load(), g_PulseZ[5].load()), std::pair(-50, 50));
    BookSingleAxis(10, 70, 0, 1);
    EXPECT_EQ(g_PulseFeederWalk[2], 70);
    EXPECT_EQ(g_PulseZ[4], -50);
}

TEST_F(Counters, AFoldedAfterEachBooking) {
    g_PulseA[1] = 950;
    EXPECT_EQ(BookSingleAxis(5, 100, 0, 1).field, PositionField::A);
    g_PulseA[3] = -950;
    BookA(4, -100);
    BookSingleAxis(0x2F, 300, 7, 1);
    BookA(9, 5);  // no such nozzle
    BookA(0, 5);
    EXPECT_EQ(TakePositionSnapshot().a, (std::array<std::int32_t, 8>{0, 50, 0, -50, 0, 0, 0, 300}));
}

TEST_F(Counters, SecondTableOnlyOnTypeFourWithHeadGroupTwo) {
    // axis, pulses, type, head group; the field shown
    const std::tuple<int, int, int, int, PositionField> bookings[] = {
        {9, 40, 4, 2, PositionField::X}, {12, -30, 4, 2, PositionField::Y}, {9, 5, 4, 1, PositionField::None},
        {12, 5, 0, 2, PositionField::None}};
    for (const auto& [axis, pulses, type, group, field] : bookings)
        EXPECT_EQ(BookSingleAxis(static_cast<std::uint8_t>(axis), pulses, type, group).field, field) << axis << " " << type;
    // type 4 group 1: the north walk; type 0 group 2: nothing
    EXPECT_EQ(std::make_tuple(g_PulseX2.load(), g_PulseY2.load(), g_PulseFeederWalk[1].load(), g_PulseX.load()),
              std::make_tuple(40, -30, 5, 0));
}

TEST_F(Counters, OtherDrives) {
    EXPECT_EQ(BookSingleAxis(0, 10, 0, 1).field, PositionField::X);
    EXPECT_EQ(BookSingleAxis(1, -10, 0, 1).field, PositionField::Y);
    BookSingleAxis(8, 1, 0, 1);
    BookSingleAxis(14, 2, 0, 1);
    BookSingleAxis(0x30, 3, 7, 1);
    BookSingleAxis(0x22, -400, 7, 1);
    for (std::uint8_t liftOrSpare : {11, 13, 15, 0x40}) EXPECT_EQ(BookSingleAxis(liftOrSpare, 9, 0, 1).field, PositionField::None);
    const PositionSnapshot s = TakePositionSnapshot();
    EXPECT_EQ(std::make_tuple(s.x, s.y, s.z[2]), std::make_tuple(10, -10, -400));
    EXPECT_EQ(s.walk, (std::array<std::int32_t, 4>{1, 0, 0, 5}));
    // the S drive is sent as 0
    EXPECT_EQ(std::make_tuple(CurrentCounterOfAxis(0), CurrentCounterOfAxis(8), CurrentCounterOfAxis(14)),
              std::make_tuple(10, 1, 0));
}

TEST(StrokeNozzle, PositiveStrokeLowersTheFirstNozzleOfItsPair) {
    struct { int axis, pulses, type; bool boxes; int nozzle; } const cases[] = {
        {2, 100, 0, true, 1},   {2, -100, 0, true, 2},  {3, 100, 0, false, 3}, {3, -100, 0, false, 4},
        {10, 100, 6, false, 5}, {10, -100, 4, false, 6}, {0x23, -100, 7, false, 4},
        // other axes: the pair 3-4 for the vacuum boxes, no nozzle for the suction offset
        {10, 100, 0, true, 3},  {10, 100, 0, false, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrokeNozzle(c.axis, c.pulses, c.type, c.boxes), c.nozzle) << c.axis << " " << c.pulses << " type " << c.type;
}

TEST(MoveSpeeds, StartLoweredWithTheLengthOfTheMove) {
    // The full range is pinned on the wire (command_sim_test).
    MoveSpeedOptions o;
    o.optimizeFarSpeed = true;
    o.accelPercent = 50;
    // Half the range, backwards: 50 - 0.5 x 50 x 50 / 100 = 37.5, truncated.
    EXPECT_EQ(OptimisedStart(50, 100, -200000, 400000, o), 37);
    // Limits not set: no division by zero, the start stays.
    EXPECT_EQ(OptimisedStart(50, 100, 1000, 0, o), 50);
    o.optimizeFarSpeed = false;
    EXPECT_EQ(OptimisedStart(50, 100, 400000, 400000, o), 50);
    // Outside the byte: clamped, never wrapped.
    EXPECT_EQ(OptimisedStart(0, 100, 0, 400000, o), 1);
    EXPECT_EQ(OptimisedStart(300, 100, 0, 400000, o), 255);
}

TEST(MoveSpeeds, CapOnlyWhenARunIsOverIt) {
    MoveSpeedOptions o;
    o.optimizeFarSpeed = true;
    o.accelPercent = 100;
    o.maxSpeedLimit = true;
    o.maxSpeed = 150;
    // A run over the cap caps both together (pinned on the wire); here neither over it, and the cap off.
    EXPECT_EQ(SingleAxisSpeed({10, 100}, true, 200000, 400000, o), (AxisSpeed{1, 100}));
    AxisSpeed x{20, 100}, y{20, 120};
    o.optimizeFarSpeed = false;
    XYSpeeds(x, 0, 400000, y, 0, 300000, o);
    EXPECT_EQ(std::pair(x.run, y.run), std::pair(100, 120));
    o.maxSpeedLimit = false;
    y = {20, 200};
    XYSpeeds(x, 0, 400000, y, 0, 300000, o);
    EXPECT_EQ(y.run, 200);
}
