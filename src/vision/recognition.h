// Mark and component recognition in one camera frame, and the markers drawn on
// live frames. Frames are 8-bit with one (mono sensors), three (BGR) or four
// (BGRA) channels. Offsets are in mm from the centre of the analysed window:
// X > 0 when the object lies left of it, Y > 0 when above it. A mark-centring
// move goes by -X and +Y, a part-correction move by +X and +Y.
#pragma once

#include <opencv2/core.hpp>

#include "vision/contours.h"
#include "vision/result_slots.h"
#include "vision/vision_types.h"

namespace smt {

// The analysed square: side sizeMm * pixelsPerMm (truncated) when it is at least
// 1 and fits the frame, else the frame's smaller dimension; centred with
// integer halves.
cv::Rect RecognitionWindow(cv::Size frame, double sizeMm, double pixelsPerMm);

// The circle of the outermost contour with the largest area; {-1, -1, 0} when none.
MarkCircle FindRoundMark(const ContourChain& chain);

// Finds a round mark in the window: the blob of largest area, measured by its
// enclosing circle. threshold 0 asks for Otsu's level. x and y are written only
// when the mark is accepted (found and its radius below half the window); the
// circle is always written. The annotated window (or the binary one with
// showBinary) goes to slot 0 of `sink` (the process-wide slots when null).
MarkCircle FindMark(double& x, double& y, bool showBinary, MarkCircle& circle,
                    const cv::Mat& frame, int threshold, double sizeMm, double pixelsPerMm,
                    VisionResultSink* sink = nullptr);

// Measures a part: centre and size from one box around all its linked blobs, the
// angle from that box (of the window turned by rotateDeg, anticlockwise on
// screen) or, when small, from the rule of its vision type. On success x, y and
// a (the correction A in degrees, inverted when pass > 5) are written and the
// box holds the centre, size and A; on failure only the box is written, centre
// -1. The annotated window goes to result slot `slot` of `sink`.
ComponentBox FindComponent(int slot, double& x, bool showBinary, ComponentBox& box,
                           const cv::Mat& frame, int threshold, int visionType, double& y,
                           double& a, int pass, double sizeMm, double pixelsPerMm,
                           double rotateDeg, VisionResultSink* sink = nullptr);

// Whether a measured body (its two sides in mm, either order) can be a part of the
// package (length x width in mm): the longer side against the longer, the shorter
// against the shorter, each within half again or a third less, and 0.3 mm. A part
// of another package, or an empty nozzle's window of noise around a small part, is
// no part of this one. A package without a size (a side of 0 or less, or not
// finite) takes any body.
bool BodyFitsPackage(double sideAMm, double sideBMm, double lengthMm, double widthMm);

// Whether a measured box (sides in pixels) spans the analysed window of side
// `windowPx` both ways: the noise of an empty nozzle's dark frame, never a part
// (the run frames its window from the part's size and a margin).
bool BodyFillsWindow(double sideAPx, double sideBPx, int windowPx);

// A box angle folded into [-45, 45]: above 45 less 90, then below -45 plus 90.
double NormaliseBoxAngle(double angle);

// The correction A from a normalised box angle and the rule results H (corner
// and triode rules) and V (general rules): the fine rule wins while the box angle
// is small, and A changes sign when pass > 5.
double CorrectionAngle(int visionType, double boxAngle, double h, double v, int pass);

// Centre cross (blue) and the target square of side `side` pixels (yellow).
void DrawTargetMarker(cv::Mat& image, int side);
// A one-pixel cross through (x, y) across the whole image.
void DrawResultCross(cv::Mat& image, int x, int y, const cv::Scalar& colour);

} // namespace smt
