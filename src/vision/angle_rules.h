// Fine angle rules: each measures a part's turn from the positions of its small
// blobs (leads, balls, pads) relative to the window centre. Every rule takes a
// contour search of the part's binary window, the window's size and the capacity
// count + 2 (count = contours of that search, all levels) and returns degrees,
// positive when the part is turned clockwise on screen (its right side lower);
// 0 means no measurement.
#pragma once

#include <opencv2/core.hpp>

#include "vision/contours.h"

namespace smt {

// Angle of the line p1-p2 against the horizontal: atan((y1 - y2) / (x1 - x2)) in
// degrees. A vertical line is +90 or -90; two coincident points measure 0.
double LineAngleDeg(cv::Point2d p1, cv::Point2d p2);

// General rule (types 0, 11): left-most lead centres paired with right-most ones
// of the same height (the right-most lead row whole among the partners, however
// many leads it holds). Sets g_AngleFitFailed when fewer than 20 centres lie in
// the middle half of the window. Centres are the centroids of the outlines.
double FindPartAngleNearCentre(const ContourChain& chain, cv::Size image, int capacity);
// Its fallback: top-most centres paired with bottom-most ones of the same column.
double FindPartAngleVertical(const ContourChain& chain, cv::Size image, int capacity);

// Three-lead parts: the two sides of the lead triangle closest in length. The
// lead centres are sub-pixel: brightness centroids in `grey` (the 8-bit window
// the chain was searched in, before its threshold) when given, else the
// centroids of the outlines.
double TriodeAngle(const ContourChain& chain, const cv::Mat& grey = cv::Mat());
// Whether the three largest blobs (those TriodeAngle takes) can be a three-lead
// part's leads: two on one side and the third opposite, about the middle of
// them, every spacing within `maxSpacingPx` (the window's side). Anything else
// (a body, a fragment, a stray blob among the three) would give a wrong angle.
bool TriodeLeadsPlausible(const ContourChain& chain, double maxSpacingPx);

// Whether the corner rules (types 3 to 10) have contours enough to measure at
// all; below that they return 0, which is no measurement.
bool CornerRuleMeasures(const ContourChain& chain, int capacity);

double FootEdge1Angle(const ContourChain& chain, cv::Size image, int capacity);
double FootEdge2Angle(const ContourChain& chain, cv::Size image, int capacity);
double FootEdge4Angle(const ContourChain& chain, cv::Size image, int capacity);
double BgaFourPointAngle(const ContourChain& chain, cv::Size image, int capacity);
double BgaTopChamferAngle(const ContourChain& chain, cv::Size image, int capacity);
double BgaBottomChamferAngle(const ContourChain& chain, cv::Size image, int capacity);

} // namespace smt
