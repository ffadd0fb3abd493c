// The drilling machine's run (machine type 9, started alone): for every board of
// the PCB editor's count and every in-use panel cell it walks the drilling list,
// brings each hole's X/Y under the drill and drills it with a peck cycle on Z
// axis 2 (a positive move goes down toward the board).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace smt {

// Thread body (the run frame's entry for Drilling); 0.
int DrillingRunThread();

// One drilling row in Z pulses (each cell times the Z factor, truncated toward zero).
struct DrillZ {
    std::int32_t zp = 0, depth = 0, feed = 0, retract = 0;
};

// The feed strokes of one hole's pecks: a whole feed while the depth is not passed,
// then what is left of feed + depth. Empty when the pecks would never end (a feed
// of 0 or less with a depth of 0 or more): such a row is refused before it moves.
std::vector<std::int32_t> PeckStrokes(std::int32_t depth, std::int32_t feed);

// The message that ends a run on a row whose pecks would never end (row 0-based,
// shown 1-based with its number cell), in the interface language.
std::string EndlessPeckText(int row, const std::string& rowNumber);

} // namespace smt
