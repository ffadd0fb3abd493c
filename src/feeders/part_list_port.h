// What the feeder subsystem asks of the part list. The part list fills it; unset
// members change nothing and find no feeder used.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace smt {

struct PartListPort {
    // The placement rows of a feeder take its new values (old id, new id, vision
    // choice, value, nozzle).
    std::function<void(const std::string& oldId, const std::string& newId, int visionChoice,
                       const std::string& value, const std::string& nozzle)> updateRowsForFeeder;
    // true when a placement row's feeder number equals the text exactly.
    std::function<bool(const std::string& feederId)> isFeederUsed;
    // Placement rows whose own-mark cell (14) is `oldName` take `newName`.
    std::function<void(const std::string& oldName, const std::string& newName)> renameOwnMark;
    // The part name (cell 4) of every placement row, in row order.
    std::function<std::vector<std::string>()> placementPartNames;
    // The in-place combo of a common list (0 names, 1 types, 2 packages, 3 angles):
    // `removed` leaves it when present, `added` joins it when absent (either empty).
    std::function<void(int list, const std::string& removed, const std::string& added)> mirrorDropDown;
    // The placement-row editor is open (it then owns the feeder editor's opening).
    std::function<bool()> rowEditorOpen;
    // Its feeder combo: the current item replaced by the identifier at position 0, selected.
    std::function<void(const std::string& feederId)> setRowEditorFeeder;
};

PartListPort& ThePartListPort();

} // namespace smt
