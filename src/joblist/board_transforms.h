// Board rotate, mirror and panel merge on the placement list: the whole list is
// turned as if the board were rotated or mirrored, or a panel of identical
// boards becomes one board with one row per panel cell.
#pragma once

#include <string>
#include <vector>

#include "joblist/part_list.h"

namespace smt {

class PcbEditor;

enum class BoardTransform { Clockwise, CounterClockwise, MirrorLeftRight, MirrorUpDown };

// The angle rules (whole degrees).
int TransformAngle(BoardTransform t, int angle);

// With `addCopies` the transformed rows follow the originals, which take the
// first prefix and the copies the second ("<prefix>-<name>"); else in place.
void TransformRows(std::vector<JobRow>& rows, BoardTransform t, bool addCopies, const std::string& firstPrefix,
                   const std::string& secondPrefix);
// Each row becomes rows x cols rows at the pitches (column pitch on X, row pitch on Y).
void MergePanelRows(std::vector<JobRow>& rows, int panelRows, int panelCols, double rowPitch, double colPitch);

// The menu commands: the question first, then the list (and for the merge the
// current PCB record and the run board, which become one enabled cell).
void OnPcbTransform(PartListStore& store, BoardTransform t);
void OnPcbMergePanel(PartListStore& store, PcbEditor& pcb);

} // namespace smt
