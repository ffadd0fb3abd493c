#include "vision/recognition.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>

#include <opencv2/imgproc.hpp>

#include "vision/angle_rules.h"

namespace smt {
namespace {

const cv::Scalar kTextColour(255, 255, 0);
const cv::Scalar kCircleColour(0, 0, 255);
const cv::Scalar kCrossColour(255, 0, 0);
const cv::Scalar kTargetColour(0, 255, 255);

// A label followed directly by the number in fixed notation, independent of the
// process locale (the interface may set one with a decimal comma).
std::string Labelled(const char* label, double value, int decimals)
{
    std::string text(label);
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) return text.append("nan");
    return text.append(buf, res.ptr);
}

bool SupportedFrame(const cv::Mat& frame)
{
    const int ch = frame.channels();
    return !frame.empty() && frame.dims == 2 && frame.depth() == CV_8U &&
           (ch == 1 || ch == 3 || ch == 4);
}

bool UsableScale(double pixelsPerMm) { return std::isfinite(pixelsPerMm) && pixelsPerMm > 0.0; }

cv::Mat ToGrey(const cv::Mat& image)
{
    if (image.channels() == 1) return image;
    cv::Mat grey;
    cv::cvtColor(image, grey, image.channels() == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY);
    return grey;
}

// The overlay is drawn in colour even on a mono sensor's frame.
cv::Mat ToDisplay(const cv::Mat& window)
{
    cv::Mat display;
    if (window.channels() == 1) cv::cvtColor(window, display, cv::COLOR_GRAY2BGR);
    else if (window.channels() == 4) cv::cvtColor(window, display, cv::COLOR_BGRA2BGR);
    else display = window.clone();
    return display;
}

// 3 x 3 Gaussian of the window on its own (pixels outside it are not looked
// at). The border replicates the edge pixels, so a lead or mark that touches the
// window edge keeps its brightness there instead of being dimmed by mirrored
// background.
cv::Mat Smooth(const cv::Mat& window)
{
    cv::Mat out;
    cv::GaussianBlur(window, out, cv::Size(3, 3), 0, 0, cv::BORDER_REPLICATE | cv::BORDER_ISOLATED);
    return out;
}

// Threshold 0 asks for Otsu's level.
cv::Mat Binary(const cv::Mat& smoothed, int threshold)
{
    cv::Mat binary;
    if (threshold != 0)
        cv::threshold(ToGrey(smoothed), binary, threshold, 255, cv::THRESH_BINARY);
    else
        cv::threshold(ToGrey(smoothed), binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    return binary;
}

ContourChain Search(const cv::Mat& binary)
{
    ContourChain chain = ContourChain::Search(binary);
    g_ContourCount = chain.Count();
    return chain;
}

void PutLabel(cv::Mat& image, const std::string& text, int y, int side)
{
    cv::putText(image, text, cv::Point(0, y), cv::FONT_HERSHEY_COMPLEX, side / 200.0, kTextColour,
                1, cv::LINE_8);
}

void PutError(cv::Mat& image, int side)
{
    PutLabel(image, "Error", static_cast<int>(side * 0.97), side);
}

void Publish(VisionResultSink* sink, int slot, cv::Mat image)
{
    (sink ? *sink : static_cast<VisionResultSink&>(VisionResults())).Publish(slot, std::move(image));
}

// The outermost blob whose enclosing circle's centre lies farthest from the
// window centre is painted black: a BGA's triangle mark sits outside the grid.
void EraseFarthestBlob(cv::Mat& binary, const ContourChain& chain)
{
    const float cx0 = static_cast<float>(binary.cols) * 0.5f;
    const float cy0 = static_cast<float>(binary.rows) * 0.5f;
    float best = 0.0f;
    int farthest = -1;
    chain.ForEachOuter([&](int i) {
        cv::Point2f centre;
        float radius = 0.0f;
        cv::minEnclosingCircle(chain.Contour(i), centre, radius);
        const float d = std::sqrt((centre.y - cy0) * (centre.y - cy0) + (centre.x - cx0) * (centre.x - cx0));
        if (d > best) {
            best = d;
            farthest = i;
        }
    });
    if (farthest < 0) return;
    const std::vector<std::vector<cv::Point>> blob{chain.Contour(farthest)};
    cv::drawContours(binary, blob, 0, cv::Scalar(0), cv::FILLED, cv::LINE_8);
}

int KnownType(int visionType)
{
    return visionType >= 0 && visionType < kVisionTypeCount ? visionType : kVisionGeneral;
}

using CornerRule = double (*)(const ContourChain&, cv::Size, int);

CornerRule CornerRuleOf(int type)
{
    switch (type) {
    case kVisionFootEdge1: return FootEdge1Angle;
    case kVisionFootEdge2: return FootEdge2Angle;
    case kVisionFootEdge4:
    case kVisionBga4Chamfer: return FootEdge4Angle;
    case kVisionBga4PointAngle: return BgaFourPointAngle;
    case kVisionBgaTopChamfer: return BgaTopChamferAngle;
    case kVisionBgaBottomChamfer: return BgaBottomChamferAngle;
    default: return nullptr;
    }
}

} // namespace

cv::Rect RecognitionWindow(cv::Size frame, double sizeMm, double pixelsPerMm)
{
    const float side = static_cast<float>(sizeMm * pixelsPerMm);
    int s = std::min(frame.width, frame.height);
    if (side >= 1.0f && side <= static_cast<float>(frame.width) &&
        side <= static_cast<float>(frame.height))
        s = static_cast<int>(side);
    return cv::Rect(frame.width / 2 - s / 2, frame.height / 2 - s / 2, s, s);
}

MarkCircle FindRoundMark(const ContourChain& chain)
{
    MarkCircle circle;
    double best = 0.0;
    chain.ForEachOuter([&](int i) {
        const double area = cv::contourArea(chain.Contour(i), false);
        if (area > best) {
            best = area;
            cv::Point2f centre;
            float radius = 0.0f;
            cv::minEnclosingCircle(chain.Contour(i), centre, radius);
            circle = MarkCircle{centre.x, centre.y, radius};
        }
    });
    return circle;
}

MarkCircle FindMark(double& x, double& y, bool showBinary, MarkCircle& circle,
                    const cv::Mat& frame, int threshold, double sizeMm, double pixelsPerMm,
                    VisionResultSink* sink)
{
    circle = MarkCircle{};
    if (!SupportedFrame(frame)) return circle;
    const cv::Rect window = RecognitionWindow(frame.size(), sizeMm, pixelsPerMm);
    const cv::Mat win = frame(window);
    cv::Mat display = ToDisplay(win);
    const cv::Mat binary = Binary(Smooth(win), threshold);
    if (showBinary) display = binary.clone();

    circle = FindRoundMark(Search(binary));

    const int sideW = window.width;
    const int sideH = window.height;
    const bool accepted = circle.x != -1.0f && circle.r < static_cast<float>(sideW / 2) &&
                          UsableScale(pixelsPerMm);
    if (accepted) {
        x = (sideW * 0.5 - circle.x) / pixelsPerMm;
        y = (sideH * 0.5 - circle.y) / pixelsPerMm;
        if (!showBinary) {
            PutLabel(display, Labelled("x", x, 4), static_cast<int>(sideH * 0.67), sideW);
            PutLabel(display, Labelled("y", y, 4), static_cast<int>(sideH * 0.82), sideW);
            PutLabel(display, Labelled("d", 2.0 * circle.r / pixelsPerMm, 4),
                     static_cast<int>(sideH * 0.97), sideW);
            cv::circle(display, cv::Point(static_cast<int>(circle.x), static_cast<int>(circle.y)),
                       static_cast<int>(circle.r), kCircleColour, 2, cv::LINE_8);
        }
    } else {
        PutError(display, sideH);
    }
    Publish(sink, kMarkResultSlot, std::move(display));
    return circle;
}

bool BodyFitsPackage(double sideAMm, double sideBMm, double lengthMm, double widthMm)
{
    constexpr double kRatio = 1.5;
    constexpr double kSlackMm = 0.3;
    const auto known = [](double v) { return std::isfinite(v) && v > 0.0; };
    if (!known(lengthMm) || !known(widthMm)) return true;
    const auto fits = [](double measured, double nominal) {
        return measured >= nominal / kRatio - kSlackMm && measured <= nominal * kRatio + kSlackMm;
    };
    return fits(std::max(sideAMm, sideBMm), std::max(lengthMm, widthMm)) &&
           fits(std::min(sideAMm, sideBMm), std::min(lengthMm, widthMm));
}

bool BodyFillsWindow(double sideAPx, double sideBPx, int windowPx)
{
    const double limit = 0.97 * windowPx;
    return windowPx > 0 && sideAPx >= limit && sideBPx >= limit;
}

double NormaliseBoxAngle(double angle)
{
    if (angle > 45.0) angle -= 90.0;
    if (angle < -45.0) angle += 90.0;
    return angle;
}

double CorrectionAngle(int visionType, double boxAngle, double h, double v, int pass)
{
    const int type = KnownType(visionType);
    double a;
    if (type >= kVisionFootEdge1 && type <= kVisionBgaBottomChamfer)
        a = (boxAngle > -1.0 && boxAngle < 1.0 && h > -1.2 && h < 1.2) ? -h : -boxAngle;
    else
        a = (boxAngle > -0.32 && boxAngle < 0.32 && v > -0.8 && v < 0.8) ? -v : -boxAngle;
    if (pass > 5) a = -a;
    return a + 0.0; // no negative zero in the overlay and the trace
}

ComponentBox FindComponent(int slot, double& x, bool showBinary, ComponentBox& box,
                           const cv::Mat& frame, int threshold, int visionType, double& y,
                           double& a, int pass, double sizeMm, double pixelsPerMm,
                           double rotateDeg, VisionResultSink* sink)
{
    box = ComponentBox{};
    if (!SupportedFrame(frame)) return box;
    const int type = KnownType(visionType);
    const cv::Rect window = RecognitionWindow(frame.size(), sizeMm, pixelsPerMm);
    const cv::Mat win = frame(window);
    const cv::Size size = window.size();
    cv::Mat display = ToDisplay(win);
    const cv::Mat smooth = Smooth(win);

    // grey1: the window as it is; grey2: turned by rotateDeg for the angle. The
    // triangle erasure paints into both, so they must not share pixels then.
    cv::Mat grey1 = Binary(smooth, threshold);
    const bool turned = rotateDeg != 0.0 && std::isfinite(rotateDeg);
    cv::Mat grey2;
    cv::Mat rotated; // the smoothed window grey2 was thresholded from, when turned
    if (turned) {
        const cv::Mat m = cv::getRotationMatrix2D(
            cv::Point2f(static_cast<float>(size.width) * 0.5f, static_cast<float>(size.height) * 0.5f),
            rotateDeg, 1.0);
        cv::warpAffine(smooth, rotated, m, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
        grey2 = Binary(rotated, threshold);
    } else {
        grey2 = type == kVisionBgaTriangleMark ? grey1.clone() : grey1;
    }

    ContourChain s1 = Search(grey1);
    cv::Mat drawA = grey1.clone();
    LinkBlobCentres(drawA, s1);
    // Unturned, grey2 holds what grey1 holds, so its search is s1's.
    ContourChain s2;
    const ContourChain* c2 = &s1;
    if (turned) {
        s2 = Search(grey2);
        c2 = &s2;
    }

    double h = 0.0;
    double v = 0.0;
    // A corner rule short of contours measures nothing: the box angle then stands
    // (its 0 would hold the part at 0 under a box angle of up to a degree).
    bool ruleMeasured = true;
    bool leadsPlausible = true;
    if (type == kVisionCapacitance) {
        // the box alone
    } else if (type == kVisionTriode) {
        // The lead centres from the grey levels grey2 was thresholded from.
        h = c2->First() >= 0 ? TriodeAngle(*c2, ToGrey(turned ? rotated : smooth)) : 0.0;
        leadsPlausible = TriodeLeadsPlausible(*c2, size.width);
    } else if (type == kVisionBgaTriangleMark) {
        EraseFarthestBlob(grey2, *c2);
        s2 = Search(grey2);
        c2 = &s2;
        h = BgaFourPointAngle(s2, size, s2.Count() + 2);
        ruleMeasured = CornerRuleMeasures(s2, s2.Count() + 2);
        EraseFarthestBlob(grey1, s1);
        s1 = Search(grey1);
        drawA = grey1.clone();
        LinkBlobCentres(drawA, s1);
    } else if (CornerRule rule = CornerRuleOf(type)) {
        h = rule(*c2, size, c2->Count() + 2);
        ruleMeasured = CornerRuleMeasures(*c2, c2->Count() + 2);
    } else {
        v = FindPartAngleNearCentre(s1, size, s1.Count() + 2);
        if (g_AngleFitFailed == 1) v = FindPartAngleVertical(s1, size, s1.Count() + 2);
    }

    MinBox turnedBox;
    if (turned) {
        cv::Mat linked = grey2.clone();
        LinkBlobCentres(linked, *c2);
        turnedBox = LargestMinAreaBox(Search(linked));
    }
    const MinBox found = LargestMinAreaBox(Search(drawA));
    if (!turned) turnedBox = found;

    if (showBinary) display = grey1.clone();
    const int sideW = size.width;
    const int sideH = size.height;
    // Three blobs that are not a three-lead pattern would place the part turned.
    if (found.cx == -1.0f || !UsableScale(pixelsPerMm) || !leadsPlausible) {
        PutError(display, sideH);
        Publish(sink, slot, std::move(display));
        return box;
    }

    const float boxAngle = static_cast<float>(
        NormaliseBoxAngle(type == kVisionTriode ? static_cast<float>(h) : turnedBox.angle));
    double correction = CorrectionAngle(type, boxAngle, h, v, pass);
    if (!ruleMeasured) correction = (pass > 5 ? boxAngle : -boxAngle) + 0.0;
    box = ComponentBox{found.cx, found.cy, found.w, found.h, static_cast<float>(correction)};
    x = (sideW * 0.5 - found.cx) / pixelsPerMm;
    y = (sideH * 0.5 - found.cy) / pixelsPerMm;
    a = correction;

    if (!showBinary) {
        PutLabel(display, Labelled("x", x, 4), static_cast<int>(sideH * 0.15), sideW);
        PutLabel(display, Labelled("y", y, 4), static_cast<int>(sideH * 0.3), sideW);
        PutLabel(display, Labelled("a", a, 4), static_cast<int>(sideH * 0.82), sideW);
        PutLabel(display,
                 Labelled("w", found.w / pixelsPerMm, 2).append(Labelled(" h", found.h / pixelsPerMm, 2)),
                 static_cast<int>(sideH * 0.97), sideW);
        DrawResultCross(display, static_cast<int>(found.cx), static_cast<int>(found.cy), kCrossColour);
    }
    Publish(sink, slot, std::move(display));
    return box;
}

void DrawTargetMarker(cv::Mat& image, int side)
{
    if (image.empty()) return;
    const int w = image.cols;
    const int h = image.rows;
    cv::line(image, cv::Point(0, h / 2), cv::Point(w, h / 2), kCrossColour, 1, cv::LINE_8);
    cv::line(image, cv::Point(w / 2, 0), cv::Point(w / 2, h), kCrossColour, 1, cv::LINE_8);
    cv::rectangle(image, cv::Point((w - side) / 2, (h - side) / 2),
                  cv::Point((w + side) / 2, (h + side) / 2), kTargetColour, 1, cv::LINE_8);
}

void DrawResultCross(cv::Mat& image, int x, int y, const cv::Scalar& colour)
{
    if (image.empty()) return;
    cv::line(image, cv::Point(0, y), cv::Point(image.cols, y), colour, 1, cv::LINE_8);
    cv::line(image, cv::Point(x, 0), cv::Point(x, image.rows), colour, 1, cv::LINE_8);
}

} // namespace smt
