#include "link/speed_calc.h"

#include <algorithm>
#include <cstdlib>

#include "settings/speed_template.h"

namespace smt {

MoveSpeedOptions CurrentMoveSpeedOptions() {
    const SpeedTemplateSettings s = TheSpeedTemplates().Settings();
    return {s.m_bOptimizeFarSpeed != 0, s.m_AccelSpeed, s.m_bMaxSpeedLimit != 0, s.m_MaxSpeedLimitValue};
}

std::int32_t OptimisedStart(std::int32_t start, std::int32_t run, std::int32_t delta,
                            std::int32_t range, const MoveSpeedOptions& options) {
    double value = start;
    // A range of 0 (limits not set) would divide by zero: the start stays.
    if (options.optimizeFarSpeed && range != 0) {
        const double share = std::abs(static_cast<double>(delta)) / std::abs(static_cast<double>(range));
        value = start - share * (static_cast<double>(run) - start) * options.accelPercent / 100.0;
    }
    value = std::clamp(value, 1.0, 255.0);
    return static_cast<std::int32_t>(value);
}

AxisSpeed SingleAxisSpeed(AxisSpeed speed, bool xyAxis, std::int32_t delta, std::int32_t range,
                          const MoveSpeedOptions& options) {
    if (xyAxis) speed.start = OptimisedStart(speed.start, speed.run, delta, range, options);
    if (options.maxSpeedLimit && speed.run > options.maxSpeed) speed.run = options.maxSpeed;
    return speed;
}

void XYSpeeds(AxisSpeed& x, std::int32_t dX, std::int32_t rangeX, AxisSpeed& y, std::int32_t dY,
              std::int32_t rangeY, const MoveSpeedOptions& options) {
    x.start = OptimisedStart(x.start, x.run, dX, rangeX, options);
    y.start = OptimisedStart(y.start, y.run, dY, rangeY, options);
    std::int32_t* runs[] = {&x.run, &y.run};
    CapRunsTogether(runs, 2, options);
}

void CapRunsTogether(std::int32_t* const* runs, int count, const MoveSpeedOptions& options) {
    if (!options.maxSpeedLimit) return;
    bool above = false;
    for (int i = 0; i < count; ++i) above = above || *runs[i] > options.maxSpeed;
    if (!above) return;
    for (int i = 0; i < count; ++i) *runs[i] = options.maxSpeed;
}

}  // namespace smt
