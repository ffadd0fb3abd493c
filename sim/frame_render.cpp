#include "frame_render.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

namespace sim {
namespace {

constexpr int kShift = 8;  // sub-pixel bits of the drawing calls
constexpr double kOne = 1 << kShift;

// Part axes to frame pixels: turn clockwise on screen, scale, move to the pose.
struct Placer {
    double cx, cy, ppm, c, s;
    Placer(const CameraLook& look, const Pose& pose)
        : cx(look.width * 0.5 + pose.xMm * look.pixelsPerMm),
          cy(look.height * 0.5 + pose.yMm * look.pixelsPerMm),
          ppm(look.pixelsPerMm),
          c(std::cos(pose.angleDeg * CV_PI / 180.0)),
          s(std::sin(pose.angleDeg * CV_PI / 180.0))
    {
    }
    cv::Point Fixed(double x, double y) const
    {
        const double px = cx + (x * c - y * s) * ppm;
        const double py = cy + (x * s + y * c) * ppm;
        return {static_cast<int>(std::lround(px * kOne)), static_cast<int>(std::lround(py * kOne))};
    }
};

cv::Mat Canvas(const CameraLook& look)
{
    return cv::Mat(look.height, look.width, CV_8UC1, cv::Scalar(look.background));
}

cv::Mat Finish(const CameraLook& look, cv::Mat grey)
{
    if (look.noiseSigma > 0.0) {
        cv::Mat noise(grey.size(), CV_16SC1);
        cv::RNG rng(look.noiseSeed);
        rng.fill(noise, cv::RNG::NORMAL, 0.0, look.noiseSigma);
        cv::Mat wide;
        grey.convertTo(wide, CV_16SC1);
        wide += noise;
        wide.convertTo(grey, CV_8UC1);
    }
    if (look.channels == 1) return grey;
    cv::Mat colour;
    cv::cvtColor(grey, colour, look.channels == 4 ? cv::COLOR_GRAY2BGRA : cv::COLOR_GRAY2BGR);
    return colour;
}

void FillPolygon(cv::Mat& canvas, const std::vector<cv::Point>& points, int level)
{
    cv::fillConvexPoly(canvas, points, cv::Scalar(level), cv::LINE_AA, kShift);
}

void FillDisc(cv::Mat& canvas, cv::Point centre, double radiusPx, int level)
{
    cv::circle(canvas, centre, static_cast<int>(std::lround(radiusPx * kOne)), cv::Scalar(level),
               cv::FILLED, cv::LINE_AA, kShift);
}

} // namespace

cv::Mat RenderMarks(const CameraLook& look, const std::vector<Disc>& discs)
{
    cv::Mat canvas = Canvas(look);
    const Placer placer(look, Pose{});
    for (const Disc& d : discs)
        FillDisc(canvas, placer.Fixed(d.xMm, d.yMm), d.diameterMm * 0.5 * look.pixelsPerMm,
                 d.level < 0 ? look.foreground : d.level);
    return Finish(look, canvas);
}

cv::Mat RenderPart(const CameraLook& look, const PartDrawing& part, const Pose& pose)
{
    cv::Mat canvas = Canvas(look);
    const Placer placer(look, pose);
    for (const auto& r : part.pads) {
        const double hw = r.w * 0.5;
        const double hh = r.h * 0.5;
        FillPolygon(canvas,
                    {placer.Fixed(r.x - hw, r.y - hh), placer.Fixed(r.x + hw, r.y - hh),
                     placer.Fixed(r.x + hw, r.y + hh), placer.Fixed(r.x - hw, r.y + hh)},
                    look.foreground);
    }
    for (const auto& b : part.balls)
        FillDisc(canvas, placer.Fixed(b.x, b.y), b.d * 0.5 * look.pixelsPerMm, look.foreground);
    for (const auto& t : part.triangles)
        FillPolygon(canvas,
                    {placer.Fixed(t[0].x, t[0].y), placer.Fixed(t[1].x, t[1].y),
                     placer.Fixed(t[2].x, t[2].y)},
                    look.foreground);
    return Finish(look, canvas);
}

PartDrawing ChipPart(double lengthMm, double widthMm)
{
    PartDrawing p;
    p.pads.push_back({0.0, 0.0, lengthMm, widthMm});
    return p;
}

PartDrawing TriodePart()
{
    PartDrawing p;
    p.pads.push_back({0.0, -1.1, 0.45, 0.6});
    p.pads.push_back({-0.95, 1.1, 0.45, 0.6});
    p.pads.push_back({0.95, 1.1, 0.45, 0.6});
    return p;
}

PartDrawing OneSidePart(int leads, double pitchMm)
{
    PartDrawing p;
    const double span = (leads - 1) * pitchMm;
    // The tab mirrors the lead row's extent so the whole part is centred.
    p.pads.push_back({0.0, -2.4, span * 0.6, 2.4});
    for (int i = 0; i < leads; ++i) p.pads.push_back({-span * 0.5 + i * pitchMm, 3.0, pitchMm * 0.5, 1.2});
    return p;
}

PartDrawing LeadedPart(int leadsPerRow, double pitchMm, double rowOffsetMm, bool fourSides)
{
    PartDrawing p;
    const double span = (leadsPerRow - 1) * pitchMm;
    const double leadW = pitchMm * 0.5;
    const double leadL = 1.5;
    for (int i = 0; i < leadsPerRow; ++i) {
        const double t = -span * 0.5 + i * pitchMm;
        p.pads.push_back({t, -rowOffsetMm, leadW, leadL});
        p.pads.push_back({t, rowOffsetMm, leadW, leadL});
        if (fourSides) {
            p.pads.push_back({-rowOffsetMm, t, leadL, leadW});
            p.pads.push_back({rowOffsetMm, t, leadL, leadW});
        }
    }
    return p;
}

PartDrawing BallGridPart(int rows, int cols, double pitchMm, double ballMm, unsigned skipCorners,
                         bool triangleMark)
{
    PartDrawing p;
    const double x0 = -(cols - 1) * pitchMm * 0.5;
    const double y0 = -(rows - 1) * pitchMm * 0.5;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const bool top = r == 0, bottom = r == rows - 1, left = c == 0, right = c == cols - 1;
            if ((skipCorners & 1u) && top && left) continue;
            if ((skipCorners & 2u) && top && right) continue;
            if ((skipCorners & 4u) && bottom && right) continue;
            if ((skipCorners & 8u) && bottom && left) continue;
            p.balls.push_back({x0 + c * pitchMm, y0 + r * pitchMm, ballMm});
        }
    }
    if (triangleMark) {
        const double tx = x0 - pitchMm * 1.3;
        const double ty = y0 - pitchMm * 1.3;
        const double a = pitchMm * 0.8;
        p.triangles.push_back({cv::Point2d(tx, ty), cv::Point2d(tx + a, ty), cv::Point2d(tx, ty + a)});
    }
    return p;
}

PartDrawing PackageForVisionType(int visionType)
{
    switch (visionType) {
    case 1: return ChipPart(3.2, 1.6);
    case 2: return TriodePart();
    case 3: return OneSidePart(20, 0.8);
    case 4: return LeadedPart(14, 1.0, 4.5, false);
    case 6: return BallGridPart(12, 12, 1.0, 0.5, 0u, true);
    case 7: return BallGridPart(12, 12, 1.0, 0.5, 0u, false);
    case 8: return BallGridPart(12, 12, 1.0, 0.5, 15u, false);
    case 9: return BallGridPart(12, 12, 1.0, 0.5, 3u, false);
    case 10: return BallGridPart(12, 12, 1.0, 0.5, 12u, false);
    case 11: return BallGridPart(12, 12, 1.0, 0.5, 0u, false);
    case 0:
    case 5:
    default: return LeadedPart(16, 0.65, 6.5, true);
    }
}

} // namespace sim
