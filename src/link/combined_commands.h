// The commands that combine a move with a stroke or serve one machine type or
// one link only: homing of the double table (serial), X/Y moves of either table,
// X/Y with a third drive (serial), the dispensing stroke, and the Ethernet-only
// counters, height, homing and move-and-fly / pick / place commands. Same
// pattern and results as commands.h.
#pragma once

#include "link/commands.h"

namespace smt {

// 0x52, serial only; on Ethernet "通讯未完成 ！" and nothing is sent. false:
// nothing went out (the homing's caller clears its busy flag).
bool SendHomeAxesModel4(HomeModel4Speeds speeds);
// 0x53: X (axis 0) or X2 (9) with Y (1) or Y2 (12).
bool MoveXY(XYMoveArgs move);
// 0x54, serial only; false with "通讯未完成 ！" on Ethernet. The third drive r is
// a head's A axis code (4..7, 0x28..0x2F): dR is booked into that head's A counter.
bool MoveXYWithRotation(XYRotationMove move);
bool DispenseStroke(const DispenseStrokeArgs& stroke);
// 0x70 (Ethernet only): tells the machine the host's X/Y counters.
bool SendCurrentXY();
// 0x71: the reply's height lands in g_PanelLink.measuredHeight, and whether the
// board measured at all in g_PanelLink.heightMeasured.
bool MeasureHeight(const HeightMeasureArgs& args);
// 0x72 (Ethernet): starts a homing; the reply 0x02 ends it.
bool SendResetHeads(const ResetHeadsPayload& payload);
// 0x73 .. 0x78 (Ethernet only). 0x75 and 0x78 book nothing: the caller books.
// 0x73: the frames as MoveFlyingCamera waits for them.
bool MoveAndFly(const MoveAndFlyPayload& payload, FlyFrames* frames = nullptr);
bool MoveAndPick74(const MoveAndPick74Payload& payload);
bool MoveAndPick75(const MoveAndPick75Payload& payload);
bool MoveAndPlace77(const MoveAndPlace77Payload& payload);
bool MoveAndPlace78(const MoveAndPlace78Payload& payload);

}  // namespace smt
