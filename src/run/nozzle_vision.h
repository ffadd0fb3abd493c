// The measurement of a picked part on its nozzle by an up-looking vision camera:
// its offset and angle, ending in a correction the place step adds to its move.
//   - Centring over the camera (MeasurePartOnNozzle): measured, moved by what was
//     measured, again, until within the camera's precision or out of passes.
//   - Flying (FlyVisionPlace + MeasurePartInFrame): the heads pass over vision
//     camera 1 while the board triggers one frame per head; the camera service's
//     fly-frame thread measures each frame into its head's record.
//   - Lamp table (MoveOverCameraOnTable + MeasurePartOnTable): one measurement;
//     these two return true when the run was stopped.
// Frames come through run_camera.h within its bound: a frame that does not come is
// a failed recognition.
#pragma once

#include <opencv2/core.hpp>

#include "base/globals.h"
#include "run_state/nozzle_work.h"

namespace smt {

// The window rule: max(length, width) + margin when within (0, visualSize], else
// visualSize; times 1.4 when the part angle is not 0, 90, 180 or 270.
double VisionWindowMm(double partLength, double partWidth, double partAngle, double margin, double visualSize);
// The angle-range rule for the pre-rotation: (0, 90] kept, (90, 180) - 90,
// [180, 270) - 180, [270, 360] - 360; at most 0 or above 360 kept.
double PlaceAngleInRange(double angle);

// Centring over the selected vision camera (g_CurrentCamera 1 or 2). `synchronous`:
// type 5's second head while both heads fly over camera 1 (no wait before a frame,
// the panel's second ordinary camera, m_Correct_X/Y for head 2). true: measured, or
// given up with visionFailed 1 and row icon 8; false: the run must stop (no camera,
// a refused move, a stop).
bool MeasurePartOnNozzle(PlacementRecord& record, bool synchronous);

// The flying pass over vision camera 1 with the heads of g_HeadCount. With
// `sameCommand` (Ethernet) the pass and the move to `record`'s place point go out
// as one 0x73; the place point is the row's X/Y plus (offsetXMm, offsetYMm), plus
// `cellMark1` (the current cell's Mark1 in pulses), less the head's nozzle offset.
// Every flying record (heads 1..8, visionKind 2) is marked visionFailed before the
// pass; the frames that come clear it. Frames missing after the bound leave theirs
// failed (the place step asks the operator). false: the run must stop (a refused
// move, a stop, or no heads to pass: g_HeadCount below 1).
bool FlyVisionPlace(PlacementRecord& record, bool sameCommand, double offsetXMm, double offsetYMm,
                    PulsePoint cellMark1 = {});

// The fly-frame thread's measurement of one triggered frame for head `head`
// (1..8): writes the correction into that head's record (visionKind 2 only) while
// a flying pass is open; moves nothing, keeps the frame.
void MeasurePartInFrame(const cv::Mat& frame, int head);

// Lamp table (serial, type 4): the head over the record's camera (visionCamera 1
// or 2) on table 1 or 2, a fresh vacuum reading, then MeasurePartOnTable. The
// record's head is the lamp run's head value h (0..3, nozzle h + 1). true = the
// run was stopped; a vacuum below the record's marks visionFailed and gives false.
bool MoveOverCameraOnTable(PlacementRecord& record, int table);
// One measurement over the record's camera. true = the run was stopped.
bool MeasurePartOnTable(PlacementRecord& record);

} // namespace smt
