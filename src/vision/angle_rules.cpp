#include "vision/angle_rules.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "vision/vision_types.h"

namespace smt {
namespace {

constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;
constexpr int kMinContours = 20; // capacity below this: too few blobs to measure
constexpr int kMinPoints = 20;   // fewer kept centres: the general rule gives up
constexpr double kPairLimit = 0.8;

// atan(dy / dx) in degrees without dividing by zero: dx = 0 is a vertical line
// (±90), and dx = dy = 0 carries no direction and measures 0.
double AtanRatioDeg(double dy, double dx)
{
    if (dx == 0.0) {
        if (dy == 0.0) return 0.0;
        return dy > 0.0 ? 90.0 : -90.0;
    }
    return std::atan(dy / dx) * kDegPerRad;
}

// The farthest blob of each corner sector (box centres to the sub-pixel: a whole
// pixel over a corner line is a tenth of a degree or more), and how many blobs
// each sector holds.
struct Corners {
    cv::Point2d ur, ul, ll, lr;
    int nUr = 0, nUl = 0, nLl = 0, nLr = 0;
};

Corners CollectCorners(const ContourChain& chain, cv::Size image, double bound,
                       bool upper, bool lower)
{
    Corners c;
    float sUr = 0, sUl = 0, sLl = 0, sLr = 0;
    const float halfW = static_cast<float>(image.width) * 0.5f;
    const float halfH = static_cast<float>(image.height) * 0.5f;
    chain.ForEachOuter([&](int i) {
        const MinBox& b = chain.Box(i);
        const float dx = b.cx - halfW;
        const float dy = b.cy - halfH;
        if (dy == 0.0f) return;
        const float s = dx * dx + dy * dy;
        const double ang = AtanRatioDeg(-dy, dx);
        const cv::Point2d p(b.cx, b.cy);
        auto take = [&](float& best, cv::Point2d& point, int& n) {
            ++n;
            if (s > best) {
                best = s;
                point = p;
            }
        };
        const bool pos = ang > 0.0 && ang < bound;
        const bool neg = ang < 0.0 && ang > -bound;
        if (dy < 0.0f && upper) {
            if (pos) take(sUr, c.ur, c.nUr);
            else if (neg) take(sUl, c.ul, c.nUl);
        } else if (dy > 0.0f && lower) {
            if (pos) take(sLl, c.ll, c.nLl);
            else if (neg) take(sLr, c.lr, c.nLr);
        }
    });
    return c;
}

bool TooFew(const ContourChain& chain, int capacity)
{
    return chain.First() < 0 || capacity < kMinContours;
}

// Mean of the top line UR-UL and the bottom line LR-LL; with `zeroTest` a line
// of exactly 0 is taken as unmeasured and the other one alone counts.
double TopBottomMean(const ContourChain& chain, cv::Size image, int capacity,
                     double bound, bool zeroTest)
{
    if (TooFew(chain, capacity)) return 0.0;
    const Corners c = CollectCorners(chain, image, bound, true, true);
    const double top = LineAngleDeg(c.ur, c.ul);
    const double bottom = LineAngleDeg(c.lr, c.ll);
    if (zeroTest) {
        if (top == 0.0) return bottom;
        if (bottom == 0.0) return top;
    }
    return (top + bottom) / 2.0;
}

// A blob's centre to the sub-pixel: the centroid of its outline, else (an outline
// without area) its box centre. The box of a thin lead turned under a degree is
// the upright box of its pixel staircase, whose centre moves in half pixels; leads
// at a whole-pixel pitch all share that error, so it never averages out.
cv::Point2d OutlineCentre(const ContourChain& chain, int i)
{
    const cv::Moments m = cv::moments(chain.Contour(i));
    if (std::fabs(m.m00) > 1e-9) return {m.m10 / m.m00, m.m01 / m.m00};
    const MinBox& b = chain.Box(i);
    return {b.cx, b.cy};
}

// Points of the general rules: blob centres inside the middle half along one axis.
std::vector<cv::Point2d> MiddleCentres(const ContourChain& chain, int capacity, bool byY,
                                       int low, int high)
{
    std::vector<cv::Point2d> points;
    points.reserve(static_cast<std::size_t>(std::max(capacity, 0)));
    chain.ForEachOuter([&](int i) {
        if (static_cast<int>(points.size()) >= capacity) return;
        const cv::Point2d c = OutlineCentre(chain, i);
        const double v = byY ? c.y : c.x;
        if (v > low && v < high) points.push_back(c);
    });
    return points;
}

// Shared steps of both general rules. `along` is the coordinate the points are
// sorted by, `across` the one partners are matched on; `pairAngle` turns a pair
// into a signed deviation in degrees.
template <class Along, class Across, class PairAngle>
double PairedRowRule(const ContourChain& chain, cv::Size image, int capacity, bool byY,
                     int probes, int partners, Along along, Across across, PairAngle pairAngle)
{
    g_AngleFitFailed = 0;
    if (TooFew(chain, capacity)) return 0.0;
    const int extent = byY ? image.height : image.width;
    const int low = extent / 4;
    const int high = 3 * extent / 4;
    std::vector<cv::Point2d> points = MiddleCentres(chain, capacity, byY, low, high);
    if (static_cast<int>(points.size()) < kMinPoints) {
        g_AngleFitFailed = 1;
        return 0.0;
    }
    std::stable_sort(points.begin(), points.end(),
                     [&](const cv::Point2d& a, const cv::Point2d& b) { return along(a) < along(b); });
    const int m = static_cast<int>(points.size());
    // The partners: the `partners` last points, and with them the whole last row
    // of leads. A turn moves a row's outer end outwards at one side and inwards at
    // the other, so the probes (the outer end of the first row) have their
    // partners at the inner end of the last row: a row longer than `partners`
    // would leave them out, and each such probe counts as 0. The row's spread
    // along the sort is at most the band's width times the slope of the largest
    // pair the rule keeps (a degree, with a pixel for the centres).
    const double reach = (high - low) * std::tan(1.0 / kDegPerRad) + 1.0;
    int first = m - partners;
    while (first > probes && along(points[static_cast<std::size_t>(first - 1)]) >=
                                 along(points[static_cast<std::size_t>(m - 1)]) - reach)
        --first;
    double sum = 0.0;
    for (int k = 0; k < probes; ++k) {
        const cv::Point2d& pk = points[static_cast<std::size_t>(k)];
        if (across(pk) < low + 0.5 || across(pk) > high - 0.5) continue;
        int best = m - 1;
        double bestGap = std::fabs(across(points[static_cast<std::size_t>(best)]) - across(pk));
        for (int j = m - 2; j >= first; --j) {
            const double gap = std::fabs(across(points[static_cast<std::size_t>(j)]) - across(pk));
            if (gap < bestGap) {
                bestGap = gap;
                best = j;
            }
        }
        const double r = pairAngle(pk, points[static_cast<std::size_t>(best)]);
        if (r <= kPairLimit && r >= -kPairLimit) sum += r;
    }
    g_AngleFitFailed = 0;
    return sum;
}

} // namespace

double LineAngleDeg(cv::Point2d p1, cv::Point2d p2)
{
    return AtanRatioDeg(p1.y - p2.y, p1.x - p2.x);
}

double FindPartAngleNearCentre(const ContourChain& chain, cv::Size image, int capacity)
{
    const double sum = PairedRowRule(
        chain, image, capacity, true, 5, 14, [](const cv::Point2d& p) { return p.x; },
        [](const cv::Point2d& p) { return p.y; },
        [](const cv::Point2d& k, const cv::Point2d& j) { return AtanRatioDeg(j.y - k.y, j.x - k.x); });
    return sum / 5.0;
}

double FindPartAngleVertical(const ContourChain& chain, cv::Size image, int capacity)
{
    // A top-to-bottom pair of a part turned clockwise by t measures t - 90, one
    // turned anticlockwise 90 - |t|: folding to -(a + 90) and 90 - a gives -t, so
    // the negated mean has the sign of the general rule.
    const double sum = PairedRowRule(
        chain, image, capacity, false, 8, 11, [](const cv::Point2d& p) { return p.y; },
        [](const cv::Point2d& p) { return p.x; },
        [](const cv::Point2d& k, const cv::Point2d& j) {
            if (j.x == k.x && j.y == k.y) return 0.0;
            const double a = AtanRatioDeg(j.y - k.y, j.x - k.x);
            return a >= 0.0 ? 90.0 - a : -90.0 - a;
        });
    return -sum / 8.0 + 0.0; // no negative zero
}

namespace {
// A lead's centre to the sub-pixel. Leads a millimetre or two apart turn a pixel
// into a degree, and a binary outline moves by whole pixels while a small lead
// turns by under a degree. With the grey window the centre is the brightness
// centroid of the outline's box grown by 2 px, over the level of that box's rim
// (the backdrop); without it, or when nothing rises above the rim, the centroid
// of the outline, else its box centre.
cv::Point2d LeadCentre(const ContourChain& chain, int i, const cv::Mat& grey)
{
    if (!grey.empty() && grey.type() == CV_8UC1) {
        const cv::Rect r = (cv::boundingRect(chain.Contour(i)) + cv::Size(4, 4) - cv::Point(2, 2)) &
                           cv::Rect(0, 0, grey.cols, grey.rows);
        if (r.width >= 3 && r.height >= 3) {
            const cv::Mat box = grey(r);
            double rim = 0.0;
            for (int x = 0; x < r.width; ++x) rim += box.at<std::uint8_t>(0, x) + box.at<std::uint8_t>(r.height - 1, x);
            for (int y = 1; y + 1 < r.height; ++y) rim += box.at<std::uint8_t>(y, 0) + box.at<std::uint8_t>(y, r.width - 1);
            rim /= 2.0 * (r.width + r.height) - 4.0;
            double sw = 0.0, sx = 0.0, sy = 0.0;
            for (int y = 0; y < r.height; ++y)
                for (int x = 0; x < r.width; ++x) {
                    const double w = box.at<std::uint8_t>(y, x) - rim;
                    if (w <= 0.0) continue;
                    sw += w, sx += w * x, sy += w * y;
                }
            if (sw > 0.0) return {r.x + sx / sw, r.y + sy / sw};
        }
    }
    return OutlineCentre(chain, i);
}

// The centres of the three blobs of largest box area, largest first; how many
// of them had an area (at most 3).
int ThreeLargestBlobs(const ContourChain& chain, cv::Point2d (&p)[3], const cv::Mat& grey)
{
    int area[3] = {0, 0, 0};
    chain.ForEachOuter([&](int i) {
        const MinBox& b = chain.Box(i);
        const int a = static_cast<int>(b.w) * static_cast<int>(b.h);
        if (a <= area[2]) return;
        const cv::Point2d c = LeadCentre(chain, i, grey);
        if (a > area[0]) {
            area[2] = area[1], p[2] = p[1];
            area[1] = area[0], p[1] = p[0];
            area[0] = a, p[0] = c;
        } else if (a > area[1]) {
            area[2] = area[1], p[2] = p[1];
            area[1] = a, p[1] = c;
        } else if (a > area[2]) {
            area[2] = a, p[2] = c;
        }
    });
    return (area[0] > 0) + (area[1] > 0) + (area[2] > 0);
}
} // namespace

bool CornerRuleMeasures(const ContourChain& chain, int capacity)
{
    return !TooFew(chain, capacity);
}

bool TriodeLeadsPlausible(const ContourChain& chain, double maxSpacingPx)
{
    cv::Point2d p[3];
    if (chain.First() < 0 || ThreeLargestBlobs(chain, p, cv::Mat()) < 3) return false;
    const auto dist = [](cv::Point2d a, cv::Point2d b) { return std::hypot(a.x - b.x, a.y - b.y); };
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j) {
            const double d = dist(p[i], p[j]);
            if (d <= 0.0 || d > maxSpacingPx) return false;
        }
    // One blob opposite the line of the other two, near their middle, neither
    // on that line nor far beyond the pair's length from it.
    for (int apex = 0; apex < 3; ++apex) {
        const cv::Point2d a = p[(apex + 1) % 3], b = p[(apex + 2) % 3], c = p[apex];
        const double bx = b.x - a.x, by = b.y - a.y;
        const double base2 = bx * bx + by * by;
        const double t = ((c.x - a.x) * bx + (c.y - a.y) * by) / base2;
        const double height = std::fabs((c.x - a.x) * by - (c.y - a.y) * bx) / std::sqrt(base2);
        const double ratio = height / std::sqrt(base2);
        if (t >= 0.3 && t <= 0.7 && ratio >= 0.3 && ratio <= 3.0) return true;
    }
    return false;
}

double TriodeAngle(const ContourChain& chain, const cv::Mat& grey)
{
    if (chain.Count() < 3) return 0.0;
    cv::Point2d p[3];
    ThreeLargestBlobs(chain, p, grey);
    struct Side {
        float length;
        double angle;
    };
    auto side = [](cv::Point2d a, cv::Point2d b) {
        const float dx = static_cast<float>(a.x - b.x);
        const float dy = static_cast<float>(a.y - b.y);
        return Side{std::sqrt(dx * dx + dy * dy), LineAngleDeg(a, b)};
    };
    Side s[3] = {side(p[0], p[1]), side(p[0], p[2]), side(p[1], p[2])};
    // Longest first; a side moves only past a strictly shorter one.
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < 2 - pass; ++i)
            if (s[i].length < s[i + 1].length) std::swap(s[i], s[i + 1]);
    if ((s[1].length - s[2].length) <= (s[0].length - s[1].length))
        return (s[1].angle + s[2].angle) / 2.0;
    return (s[0].angle + s[1].angle) / 2.0;
}

double FootEdge1Angle(const ContourChain& chain, cv::Size image, int capacity)
{
    if (TooFew(chain, capacity)) return 0.0;
    const Corners c = CollectCorners(chain, image, 90.0, true, true);
    const int right = c.nUr + c.nLr;
    const int left = c.nUl + c.nLl;
    const int above = c.nUr + c.nUl;
    const int below = c.nLl + c.nLr;
    // A near-vertical side line becomes its deviation from the vertical; a line
    // between coincident points (an empty sector) measures nothing.
    auto fromVertical = [](cv::Point2d a, cv::Point2d b) {
        if (a == b) return 0.0;
        const double v = LineAngleDeg(a, b);
        return v >= 0.0 ? v - 90.0 : v + 90.0;
    };
    int side = 0;
    int most = right;
    if (left > most) side = 1, most = left;
    if (above > most) side = 2, most = above;
    if (below > most) side = 3, most = below;
    switch (side) {
    case 0: return fromVertical(c.ur, c.lr);
    case 1: return fromVertical(c.ul, c.ll);
    case 2: return LineAngleDeg(c.ur, c.ul);
    default: return LineAngleDeg(c.lr, c.ll);
    }
}

double FootEdge2Angle(const ContourChain& chain, cv::Size image, int capacity)
{
    return TopBottomMean(chain, image, capacity, 90.0, true);
}

double FootEdge4Angle(const ContourChain& chain, cv::Size image, int capacity)
{
    return TopBottomMean(chain, image, capacity, 45.0, true);
}

double BgaFourPointAngle(const ContourChain& chain, cv::Size image, int capacity)
{
    return TopBottomMean(chain, image, capacity, 50.0, false);
}

double BgaTopChamferAngle(const ContourChain& chain, cv::Size image, int capacity)
{
    if (TooFew(chain, capacity)) return 0.0;
    const Corners c = CollectCorners(chain, image, 50.0, false, true);
    return LineAngleDeg(c.lr, c.ll);
}

double BgaBottomChamferAngle(const ContourChain& chain, cv::Size image, int capacity)
{
    if (TooFew(chain, capacity)) return 0.0;
    const Corners c = CollectCorners(chain, image, 50.0, true, false);
    return LineAngleDeg(c.ur, c.ul);
}

} // namespace smt
