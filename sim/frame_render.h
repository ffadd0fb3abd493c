// Synthetic camera frames with known answers: round marks on a darker board, and
// parts as a bottom-view camera sees them (bright leads, balls, pads and marks on
// a dark backdrop), at a chosen offset, angle and scale, with optional noise.
#pragma once

#include <array>
#include <vector>

#include <opencv2/core.hpp>

namespace sim {

// How a simulated camera sees.
struct CameraLook {
    int width = 1280;
    int height = 1024;
    int channels = 3;         // 3 = BGR, 1 = a mono sensor
    double pixelsPerMm = 20.0;
    int background = 40;      // board or backdrop grey level
    int foreground = 220;     // marks, leads, balls
    double noiseSigma = 0.0;  // Gaussian noise added to every pixel
    unsigned noiseSeed = 1;
};

// Where an object lies: its centre from the frame centre (width/2, height/2) in
// mm, x to the right and y downwards, turned clockwise on screen by angleDeg.
struct Pose {
    double xMm = 0.0;
    double yMm = 0.0;
    double angleDeg = 0.0;
};

struct Disc {
    double xMm = 0.0;  // centre from the frame centre, x right, y down
    double yMm = 0.0;
    double diameterMm = 1.0;
    int level = -1;    // grey level; -1 = the look's foreground
};

// A part drawn in its own axes (mm, x right, y down, centred on the origin).
struct PartDrawing {
    struct Rect {
        double x, y, w, h;  // centre and size
    };
    struct Ball {
        double x, y, d;
    };
    std::vector<Rect> pads;
    std::vector<Ball> balls;
    std::vector<std::array<cv::Point2d, 3>> triangles;
};

// A frame showing the discs.
cv::Mat RenderMarks(const CameraLook& look, const std::vector<Disc>& discs);
// A frame showing the part at the pose.
cv::Mat RenderPart(const CameraLook& look, const PartDrawing& part, const Pose& pose);

// Typical packages.
PartDrawing ChipPart(double lengthMm, double widthMm);          // one solid body
PartDrawing TriodePart();                                        // SOT-23: one lead up, two down
PartDrawing OneSidePart(int leads, double pitchMm);              // a tab above, a lead row below
// Lead rows at +-rowOffsetMm: top and bottom always, left and right with `fourSides`.
PartDrawing LeadedPart(int leadsPerRow, double pitchMm, double rowOffsetMm, bool fourSides);
// Ball grid; `skipCorners` drops corner balls (bit 0 upper left, 1 upper right,
// 2 lower right, 3 lower left); `triangleMark` adds a mark beyond the upper-left corner.
PartDrawing BallGridPart(int rows, int cols, double pitchMm, double ballMm, unsigned skipCorners,
                         bool triangleMark);
// The package a part of the vision type typically has (0..11).
PartDrawing PackageForVisionType(int visionType);

} // namespace sim
