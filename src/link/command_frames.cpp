#include "link/command_frames.h"

#include <cstdlib>

#include "link/datagram.h"
#include "link/serial_frame.h"

namespace smt {

bool FitsSm16(std::int32_t value) { return value >= -kSm16Max && value <= kSm16Max; }

namespace {

ByteVector done(const FrameData& f) { return f.Bytes(); }
ByteVector done(const Payload& p) { return p.Bytes(); }

std::int32_t absolute(std::int32_t v) { return v < 0 ? -v : v; }

template <class Writer, class T, std::size_t N>
void each(Writer& w, const std::array<T, N>& values, Writer& (Writer::*put)(std::int64_t)) {
    for (const T& v : values) (w.*put)(v);
}

}  // namespace

// ---- serial ----------------------------------------------------------------

ByteVector SerialAxisLimit(std::uint8_t axis, std::int32_t limit) {
    return done(FrameData{}.U8(axis).Sm32(limit));
}

ByteVector SerialHomeAxes(const HomeAxesSpeeds& s) {
    FrameData f;
    for (const AxisSpeed* p : {&s.x, &s.y, &s.z1, &s.z2, &s.westWalk, &s.northWalk, &s.eastWalk})
        f.U8(p->start).U8(p->run);
    return done(f);
}

ByteVector SerialHomeModel4(const HomeModel4Speeds& s) {
    return done(FrameData{}
                    .U8(s.xStart).U8(s.xRun).U8(s.x2Start).U8(s.x2Run)
                    .U8(s.yStart).U8(s.y2Start).U8(s.yRun).U8(s.y2Run)
                    .U8(s.zStart).U8(s.zRun).U8(s.axis3Start).U8(s.axis3Run)
                    .U8(s.z2Start).U8(s.z2Run));
}

ByteVector SerialOutput(const OutputSwitch& o) { return done(FrameData{}.U8(o.channel).U8(o.value)); }
ByteVector SerialCamera(std::uint8_t camera, std::uint8_t value) { return done(FrameData{}.U8(camera).U8(value)); }
ByteVector SerialVacuum(std::uint8_t nozzle) { return done(FrameData{}.U8(nozzle)); }
ByteVector SerialSpeedGear(std::uint8_t mode) { return done(FrameData{}.U8(mode)); }

ByteVector SerialSingleAxis(const SingleAxisMove& m) {
    return done(FrameData{}.U8(m.axis).Sm32(m.delta).U8(m.speed.start).U8(m.speed.run));
}

ByteVector SerialConveyor(const ConveyorRun& c) {
    return done(FrameData{}
                    .U8(c.zone).U8(c.flag1).U8(c.flag2).U8(c.flag3)
                    .U8(0x0B).Sm32(c.belt1).U8(0x0C).Sm32(c.belt2).U8(0x0D).Sm32(c.belt3)
                    .U8(c.start).U8(c.run));
}

ByteVector SerialFlyCamera(const FlyCameraMove& m) {
    FrameData f;
    f.U8(0x01).U8(0x00).U8(m.frames).Sm32(m.dX).U8(m.cameraB).U8(m.cameraC);
    for (std::int32_t t : m.triggers) f.Be16(t);
    f.U8(0x02);
    return done(f);
}

ByteVector SerialXYA(const XYAMove& m, bool wide) {
    FrameData f;
    if (wide) f.Sm32(m.xy.dX);
    else f.Sm16(m.xy.dX);
    f.U8(m.xy.xSpeed.start).U8(m.xy.xSpeed.run);
    if (wide) f.Sm32(m.xy.dY);
    else f.Sm16(m.xy.dY);
    f.U8(m.xy.ySpeed.start).U8(m.xy.ySpeed.run);
    f.U8(m.nozzle).Sm16(m.dA).U8(m.p).U8(m.q).U8(m.flags);
    return done(f);
}

ByteVector SerialXYAMulti(const XYAMultiMove& m) {
    FrameData f;
    f.Sm32(m.xy.dX).U8(m.xy.xSpeed.start).U8(m.xy.xSpeed.run);
    f.Sm32(m.xy.dY).U8(m.xy.ySpeed.start).U8(m.xy.ySpeed.run);
    for (int n = 0; n < 4; ++n) f.Sm16(m.dA[n]).U8(m.aSpeed.start).U8(m.aSpeed.run);
    f.U8(m.flag);
    return done(f);
}

std::uint8_t FeedCode(const FeederFeed& f) { return f.variant != 0 ? 0x56 : 0x66; }

ByteVector SerialFeed(const FeederFeed& f) {
    FrameData d;
    d.U8(f.drive);
    if (f.drive == 10) {
        d.Be32(f.pulses).Be32(f.a).Be32(f.b).Be16(f.g).U8(f.h).U8(f.i);
    } else {
        d.Sm32(f.pulses).U8(f.a).U8(f.b).Be16(f.c).Be16(f.d).U8(f.e).U8(f.f).Be16(f.g).U8(f.h).U8(f.i);
    }
    return done(d);
}

ByteVector SerialPick(const PickStrokeArgs& p) {
    return done(FrameData{}.U8(p.axis).Sm32(p.depth).U8(p.speed.start).U8(p.speed.run).U8(p.k).Be16(p.delay).U8(p.f));
}

ByteVector SerialPlace(const PlaceStrokeArgs& p) {
    return done(FrameData{}
                    .U8(p.axis).Sm32(p.depth).U8(p.speed.start).U8(p.speed.run)
                    .Be32(absolute(p.w)).Be16(p.delay).U8(p.threshold));
}

ByteVector SerialXY(const XYMoveArgs& m) {
    return done(FrameData{}
                    .U8(m.xAxis).Sm32(m.dX).U8(m.xSpeed.start).U8(m.xSpeed.run)
                    .U8(m.yAxis).Sm32(m.dY).U8(m.ySpeed.start).U8(m.ySpeed.run)
                    .U8(0x80));
}

ByteVector SerialXYRotation(const XYRotationMove& m) {
    return done(FrameData{}
                    .U8(0x00).Sm32(m.dX).U8(m.xSpeed.start).U8(m.xSpeed.run)
                    .U8(m.yAxis).Sm32(m.dY).U8(m.ySpeed.start).U8(m.ySpeed.run)
                    .U8(m.r).Sm16(m.dR).U8(m.p).U8(m.q).U8(0x80));
}

ByteVector SerialDispense(const DispenseStrokeArgs& d) {
    return done(FrameData{}
                    .U8(d.axis).Sm32(d.depth).U8(d.start).U8(d.run).U8(d.kind)
                    .Be32(absolute(d.a)).Be32(absolute(d.b)).Be16(d.t1).Be16(d.t2));
}

ByteVector SerialHeight(const HeightMeasureArgs& h) {
    return done(FrameData{}.U8(0x20).Sm32(h.v).U8(h.a).U8(h.b));
}

// ---- Ethernet ----------------------------------------------------------------

ByteVector UdpAxisLimit(std::uint8_t axis, std::int32_t limit) { return done(Payload{}.U8(axis).I32(limit)); }

ByteVector UdpHomeAxes(const HomeAxesSpeeds& s) {
    Payload p;
    for (const AxisSpeed* a : {&s.x, &s.y, &s.z1, &s.z2, &s.westWalk, &s.northWalk, &s.eastWalk})
        p.I32(a->start).I32(a->run);
    return done(p);
}

ByteVector UdpOutput(const OutputSwitch& o) { return done(Payload{}.U8(o.channel).U8(o.value).U16(o.extra)); }
ByteVector UdpCamera(std::uint8_t camera, std::uint8_t value) { return done(Payload{}.U8(camera).U8(value)); }
ByteVector UdpVacuum(std::uint8_t nozzle) { return done(Payload{}.U8(nozzle)); }
ByteVector UdpSpeedGear(std::uint8_t mode, std::uint8_t second) { return done(Payload{}.U8(mode).U8(second)); }

ByteVector UdpSingleAxis(const SingleAxisMove& m, std::int32_t currentCounter) {
    return done(Payload{}.U8(m.axis).I32(currentCounter).I32(m.delta).I32(m.speed.start).I32(m.speed.run));
}

ByteVector UdpConveyor(const ConveyorRun& c) {
    return done(Payload{}
                    .U8(c.zone).U8(c.flag1).U16(c.waitTimeOut).U8(c.flag2).U8(c.flag3)
                    .U8(0x0B).I32(c.belt1).U8(0x0C).I32(c.belt2).U8(0x0D).I32(c.belt3)
                    .I32(c.start).I32(c.run));
}

ByteVector UdpFlyCamera(const FlyCameraMove& m, std::int32_t currentX) {
    Payload p;
    p.U16(1).U8(m.frames).I32(currentX).I32(m.dX).I32(m.cameraB).I32(m.cameraC);
    each(p, m.triggers, &Payload::I32);
    p.U8(2);
    return done(p);
}

ByteVector UdpXYA(const XYAMove& m, std::int32_t currentX, std::int32_t currentY) {
    return done(Payload{}
                    .I32(currentX).I32(m.xy.dX).I32(currentY).I32(m.xy.dY)
                    .I32(m.xy.xSpeed.start).I32(m.xy.xSpeed.run)
                    .U8(m.flags).U8(m.nozzle).I32(m.dA).I32(m.p).I32(m.q));
}

ByteVector UdpXYAMulti(const XYAMultiMove& m, std::int32_t currentX, std::int32_t currentY) {
    Payload p;
    p.I32(currentX).I32(m.xy.dX).I32(currentY).I32(m.xy.dY).I32(m.xy.xSpeed.start).I32(m.xy.xSpeed.run);
    p.U8(m.flag);
    each(p, m.dA, &Payload::I32);
    p.I32(m.aSpeed.start).I32(m.aSpeed.run);
    return done(p);
}

ByteVector UdpFeed(const FeederFeed& f, std::int32_t currentWalk) {
    return done(Payload{}
                    .U8(f.variant).U8(f.drive).I32(currentWalk).I32(f.pulses)
                    .I32(f.a).I32(f.b).I32(f.c).I32(f.d).I32(f.e).I32(f.f)
                    .U16(f.g).U8(f.h).U8(f.i));
}

ByteVector UdpPick(const PickStrokeArgs& p) {
    return done(Payload{}.U8(p.axis).I32(p.depth).I32(p.speed.start).I32(p.speed.run).U16(p.delay).U8(p.f));
}

ByteVector UdpPlace(const PlaceStrokeArgs& p) {
    return done(Payload{}
                    .U8(p.axis).I32(p.depth).I32(p.speed.start).I32(p.speed.run).I32(absolute(p.w))
                    .U8(p.exhaust).U16(p.delay).U8(p.threshold));
}

ByteVector UdpXY(const XYMoveArgs& m, std::int32_t currentX, std::int32_t currentY) {
    return done(Payload{}
                    .U8(m.xAxis).U8(m.yAxis).I32(currentX).I32(m.dX).I32(currentY).I32(m.dY)
                    .I32(m.xSpeed.start).I32(m.xSpeed.run).U8(0x80));
}

ByteVector UdpDispense(const DispenseStrokeArgs& d) {
    return done(Payload{}
                    .U8(d.axis).I32(d.depth).I32(d.start).I32(d.run).U8(d.kind)
                    .I32(absolute(d.a)).I32(absolute(d.b)).U16(d.t1).U16(d.t2).U16(d.t3));
}

ByteVector UdpCurrentXY(std::int32_t x, std::int32_t y) { return done(Payload{}.I32(x).I32(y)); }

ByteVector UdpHeight(const HeightMeasureArgs& h) { return done(Payload{}.U8(0x20).I32(h.v).I32(h.a).I32(h.b)); }

ByteVector UdpResetHeads(const ResetHeadsPayload& r) {
    Payload p;
    p.I32(r.xStart).I32(r.yStart).I32(r.xyRun);
    each(p, r.zStart, &Payload::I32);
    p.I32(r.zRun);
    return done(p);
}

ByteVector UdpMoveAndFly(const MoveAndFlyPayload& m, std::int32_t currentX, std::int32_t currentY) {
    Payload p;
    p.I32(currentX).I32(currentY).U8(0x80).I32(m.dX1).I32(m.dY1);
    each(p, m.speedPair, &Payload::I32);
    p.U8(0);
    each(p, m.dA, &Payload::I32);
    each(p, m.secondPair, &Payload::I32);
    p.U16(0x0101).U8(m.frames).I32(m.dX2).I32(m.cameraB).I32(m.cameraC);
    each(p, m.triggers, &Payload::I32);
    p.U8(2).I32(m.dX3).I32(m.dY3);
    each(p, m.speedPair, &Payload::I32);
    return done(p);
}

ByteVector UdpMoveAndPick74(const MoveAndPick74Payload& m) {
    Payload p;
    p.U8(m.nozzleOrDrive).U8(m.axisCode).I32(m.nozzleMask).U16(m.h6).I32(m.w8).U16(m.h12).U8(m.b14)
        .I32(m.w15).I32(m.dX).I32(m.w23).I32(m.dY).I32(m.w31).I32(m.w35).U8(1);
    each(p, m.dA, &Payload::I32);
    p.I32(m.w72).I32(m.w76).U8(0x20).I32(m.w81).I32(m.w85).I32(m.w89).U16(m.h93).U8(m.b95);
    return done(p);
}

ByteVector UdpMoveAndPick75(const MoveAndPick75Payload& m) {
    Payload p;
    p.U8(0);
    each(p, m.drives, &Payload::U8);
    each(p, m.b9, &Payload::U8);
    each(p, m.h17, &Payload::U16);
    each(p, m.h33, &Payload::U16);
    p.I32(m.w49).I32(m.w53);
    each(p, m.w57, &Payload::I32);
    each(p, m.w89, &Payload::I32);
    p.I32(m.w121).I32(m.w125).U8(1);
    each(p, m.w130, &Payload::I32);
    each(p, m.zAxes, &Payload::U8);
    each(p, m.w178, &Payload::I32);
    p.I32(m.w210).I32(m.w214);
    each(p, m.h218, &Payload::U16);
    return done(p);
}

ByteVector UdpMoveAndPlace77(const MoveAndPlace77Payload& m) {
    Payload p;
    p.I32(m.w0).I32(m.dX).I32(m.w8).I32(m.dY).I32(m.w16).I32(m.w20).U8(1);
    each(p, m.dA, &Payload::I32);
    p.I32(m.w57).I32(m.w61).U8(m.zAxis).I32(m.w66).I32(m.w70).I32(m.w74).I32(m.w78).U8(m.b82).U16(m.h83).U8(m.b85);
    return done(p);
}

std::optional<ByteVector> UdpMoveAndPlace78(const MoveAndPlace78Payload& m) {
    if (m.w118 < MoveAndPlace78Payload::kWord118Min || m.w118 > MoveAndPlace78Payload::kWord118Max)
        return std::nullopt;
    Payload p;
    p.U8(m.b0).I32(m.w1);
    each(p, m.w5, &Payload::I32);
    each(p, m.w37, &Payload::I32);
    p.I32(m.w69).I32(m.w73).I32(m.w77).U8(1);
    each(p, m.w82, &Payload::I32);
    // Three bytes of the field at 118: byte 121 is the first Z axis code.
    const auto w = static_cast<std::uint32_t>(m.w118);
    p.U8(w & 0xFF).U8((w >> 8) & 0xFF).U8((w >> 16) & 0xFF);
    each(p, m.zAxes, &Payload::U8);
    each(p, m.bytes129, &Payload::U8);
    p.I32(m.w162).I32(m.w166);
    each(p, m.bytes170, &Payload::U8);
    return done(p);
}

}  // namespace smt
