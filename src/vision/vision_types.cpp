#include "vision/vision_types.h"

namespace smt {

const std::array<const char*, kVisionTypeCount> kVisionTypeNamesEnglish = {
    "00:General",          "01:Capacitance",      "02:Triode",
    "03:FootEdge1",        "04:FootEdge2",        "05:FootEdge4",
    "06:BGA-TriangleMark", "07:BGA-4PointAngle",  "08:BGA-4Chamfer",
    "09:BGA-TopChamfer",   "10:BGA-BottomChamfer", "11:BGA-Other",
};

const std::array<const char*, kVisionTypeCount> kVisionTypeNamesChinese = {
    "00:通用",          "01:阻容",         "02:三极管",
    "03:1面引脚",       "04:2面引脚",      "05:4面引脚",
    "06:BGA-三角形标记", "07:BGA-4个角点",  "08:BGA-4个倒角",
    "09:BGA-上倒角",    "10:BGA-下倒角",   "11:BGA-其他",
};

const char* VisionTypeName(int visionType, int languageIndex)
{
    if (visionType < 0 || visionType >= kVisionTypeCount) visionType = kVisionGeneral;
    return languageIndex == 0 ? kVisionTypeNamesChinese[visionType]
                              : kVisionTypeNamesEnglish[visionType];
}

std::atomic<int> g_ContourCount{0};
std::atomic<std::uint8_t> g_AngleFitFailed{0};

} // namespace smt
