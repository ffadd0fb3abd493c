#include "vision/ui/vision_wiring.h"

#include "settings/basic_settings.h"
#include "vision/lens_calibration.h"

namespace smt {

void WireVisionServices() {
    LensCalibrationPort& lens = TheLensCalibrationPort();
    lens.load = [](const std::string& path) { return LoadCameraCalibration(TheLensCalibration(), path); };
    lens.isLoaded = [] { return TheLensCalibration().IsLoaded(); };
}

} // namespace smt
