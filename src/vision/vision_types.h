// Values the recognisers hand to their callers, and the vision types a part can
// be measured by.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace smt {

// The rule that supplies a part's angle; the value is the number in front of the
// colon of its caption. Values outside 0..11 are measured as General.
enum VisionType : int {
    kVisionGeneral = 0,
    kVisionCapacitance = 1,
    kVisionTriode = 2,
    kVisionFootEdge1 = 3,
    kVisionFootEdge2 = 4,
    kVisionFootEdge4 = 5,
    kVisionBgaTriangleMark = 6,
    kVisionBga4PointAngle = 7,
    kVisionBga4Chamfer = 8,
    kVisionBgaTopChamfer = 9,
    kVisionBgaBottomChamfer = 10,
    kVisionBgaOther = 11,
};
constexpr int kVisionTypeCount = 12;

// Captions of the vision-type drop-downs: English (every language but Chinese)
// and Chinese.
extern const std::array<const char*, kVisionTypeCount> kVisionTypeNamesEnglish;
extern const std::array<const char*, kVisionTypeCount> kVisionTypeNamesChinese;
const char* VisionTypeName(int visionType, int languageIndex);

// A mark's circle in pixels of the analysed window; {-1, -1, 0} when none was found.
struct MarkCircle {
    float x = -1.0f;
    float y = -1.0f;
    float r = 0.0f;
};

// A part's box in pixels of the analysed window. On success `angle` holds the
// correction A in degrees; on failure the box is {-1, -1, 1, 1, 0}.
struct ComponentBox {
    float cx = -1.0f;
    float cy = -1.0f;
    float width = 1.0f;
    float height = 1.0f;
    float angle = 0.0f;
};

// What a recognition means to the machine, in mm and degrees: X > 0 when the
// object lies left of the window centre, Y > 0 when it lies above; A is the
// correction to apply; W, H and D are sizes.
struct VisionResult {
    double X = 0.0;
    double Y = 0.0;
    double A = 0.0;
    double W = 0.0;
    double H = 0.0;
    double D = 0.0;
};

// Contour count (all levels) of the last contour search of a recognition.
extern std::atomic<int> g_ContourCount;
// 1 when the general angle rule kept too few lead centres.
extern std::atomic<std::uint8_t> g_AngleFitFailed;

} // namespace smt
