// Arbitrary bytes as a scenario file of the simulated machine: a refused file names
// its line; a taken one holds only numbers within their fields' ranges, and the
// world and machine built from it (the nozzle library in pulses, the trays'
// pockets) stay within their counters while a head visits each holder.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "codec.h"
#include "machine.h"
#include "world.h"

namespace {
void check(bool ok) {
    if (!ok) __builtin_trap();
}

bool within(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }

void move(sim::Machine& m, int axis, std::int64_t delta) {
    sim::Bytes d{static_cast<std::uint8_t>(axis)};
    sim::PutLe32(d, 0);
    sim::PutLe32(d, static_cast<std::int32_t>(delta));
    sim::PutLe32(d, 1);
    sim::PutLe32(d, 2);
    m.Execute(sim::Link::Udp, 0x61, d);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    sim::Scenario s;
    std::string error;
    if (!sim::Scenario::Parse(text, &s, &error)) {
        check(error.rfind("line ", 0) == 0);
        return 0;
    }
    for (double f : {s.pulsesX, s.pulsesY, s.pulsesZ, s.pulsesA}) check(within(f, 1e-6, 100000.0));
    for (const auto& f : s.feeders) {
        check(f.count >= 0 && f.rows >= 1 && f.cols >= 1 && static_cast<long long>(f.rows) * f.cols <= 100000);
        check(f.part.visionType >= 0 && f.part.visionType <= 11 && (f.table == 1 || f.table == 2));
    }
    for (const auto& h : s.holders)
        for (double z : h.entryZ) check(within(z, -10000.0, 10000.0));
    for (int head : s.headNozzle) check(head >= 0 && head <= static_cast<int>(s.holders.size()));
    check(within(s.holderTolerance, 0.0, 100.0));

    sim::Machine machine;
    sim::World world(machine, s);
    machine.SetObserver(&world);
    const auto holders = machine.NozzleHolders();
    check(holders.size() == s.holders.size());
    for (std::size_t k = 0; k < holders.size() && k < 4; ++k) {
        const sim::Drives d = machine.Positions();
        move(machine, 0, std::int64_t{holders[k].x} - d.x);
        move(machine, 1, std::int64_t{holders[k].y} - d.y);
        move(machine, 2, -std::int64_t{holders[k].entryZ[0]});
        move(machine, 2, std::int64_t{holders[k].entryZ[0]});
    }
    for (std::size_t f = 0; f < s.feeders.size(); ++f) check(world.FeederCount(static_cast<int>(f)) == s.feeders[f].count);
    machine.SetObserver(nullptr);
    return 0;
}
