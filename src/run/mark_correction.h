// Mark correction: the mark camera centred on a round mark by a few passes of
// frame, recognition and move, the sum of the moves being the mark's offset from
// where it was expected. Four callers:
//   - CorrectByTwoMarks: the board's (or panel cell's) Mark1 and Mark2, giving the
//     board offsets and rotation the place step uses (run_geometry.h);
//   - RecognizeSpecifiedMark: a part's own local mark, or the camera calibration,
//     with every setting given by the caller;
//   - RecognizeVisualOrigin: the visual-origin target after the positioning command
//     that brings the camera to it; the centred position becomes the position the
//     host counters had before the centring.
// All run on the caller's thread (run thread, calibration or positioning worker),
// never on the user-interface thread: questions and messages go through
// plat::ShowMessageBox, the camera panel through its plain logic (SetView). Every
// frame wait is bounded; a frame that does not come counts as a mark not found.
//
// Conventions: recognition offsets X, Y in mm from the window centre (X > 0 left,
// Y > 0 above); a centring move goes by (-dX, +dY) pulses, dX = trunc(X x X
// pulses per mm), dY = trunc(Y x Y pulses per mm); an offset is measured position
// minus nominal position.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include <opencv2/core.hpp>

#include "vision/vision_types.h"

namespace smt {

// Which board mark RecognizeBoardMark works on: 1 Mark1, 2 Mark2. Keeps its last value.
extern std::atomic<std::int32_t> g_MarkIndex;

// ---- the operations ----------------------------------------------------------------

// The mark camera's frame after the collect time, inverted when asked; none when
// the camera gives none within its bound.
std::optional<cv::Mat> TakeMarkFrame(int collectTimeMs, bool invert);

enum class Reading { Found, NotFound, WrongSize };
struct CircleReading {
    Reading result = Reading::NotFound;
    std::int32_t dX = 0, dY = 0;  // pulses
};

// One round-mark recognition with its trace and log line ("<label>: X = …"): the
// reader of every round mark of a run (board marks, specified marks, lamp points).
CircleReading ReadCircle(const std::optional<cv::Mat>& frame, const char* label, int threshold, double window,
                         double scale, int precision, double size);

// Full board-mark correction of the current board or panel cell: camera over
// Mark1 (PCB Mark1 + g_CellOriginPulse - camera offset), centred; then, unless the
// PCB's Mark2 is (0, 0) mm, over Mark2 and centred; g_Mark1Offset*, g_Mark2Offset*
// and g_BoardRotation written. false: the run must stop (the operator has been
// told why, or the run was stopped).
bool CorrectByTwoMarks();

// Centres the mark camera on the board mark g_MarkIndex (the camera already over
// its nominal position) with the PCB editor's Mark settings and adds the moves to
// that mark's offset. false on a missing camera, a mark not found or of the wrong
// size (message shown), a refused move or a stop.
bool RecognizeBoardMark();

// The centring loop with the caller's settings. mode 1: a round mark (diameter
// `size` mm); mode 2: a mark measured as a component box (width `size` mm); other
// modes take frames but do nothing with them. `passes` passes, one more when the
// first finds nothing; `limit`: the largest total correction (pulses, each axis)
// accepted without asking; `window` mm; `invert` non-zero inverts the frames. The
// moves are added to *offsetX, *offsetY. The scale is the PCB editor's. Frames
// are the mark camera's; the light goes to the selected camera (g_CurrentCamera),
// so the caller selects the mark camera first, as for RecognizeVisualOrigin.
bool RecognizeSpecifiedMark(int mode, int precision, int contrast, int brightness, int collectTime, int passes,
                            int invert, int limit, std::int32_t* offsetX, std::int32_t* offsetY, double window,
                            double size);

// Centres the mark camera on the visual-origin target with the basic settings'
// visual-origin values; after each successful move the host's X/Y counters are
// set back by that move (and sent to the machine on Ethernet, 0x70), so the
// centred position reads as the position before the centring. Leaves
// g_RunContinue alone.
void RecognizeVisualOrigin();

// ---- the rules the passes apply ------------------------------------------------------

// (100 - p) x size / 100 <= d <= (100 + p) x size / 100, both bounds included.
bool MarkDiameterWithin(double diameter, double size, int precision);
// A circle counts as found when its x is not -1 and its radius is below half the
// window (window mm x scale x 0.5 pixels).
bool MarkCircleAccepted(const MarkCircle& circle, double windowMm, double pixelsPerMm);

} // namespace smt
