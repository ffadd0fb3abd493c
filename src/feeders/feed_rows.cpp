#include "feeders/feed_rows.h"

namespace smt {

bool IsFlagCell(int cell) {
    return cell == feedcell::Camera || cell == feedcell::Flying || cell == feedcell::OwnSpeed;
}

int FlagIcon(int cell, std::string_view stored) {
    const std::size_t slash = stored.find('/');
    if (slash == std::string_view::npos || stored.substr(0, slash) != "Yes") return feedicon::No;
    if (cell == feedcell::Camera) return feedicon::CameraYes;
    if (cell == feedcell::Flying) return feedicon::FlyingYes;
    return feedicon::SpeedYes;
}

std::string_view AfterFlag(std::string_view stored) {
    const std::size_t slash = stored.find('/');
    return slash == std::string_view::npos ? stored : stored.substr(slash + 1);
}

std::string StoredFlag(int icon, std::string_view shown) {
    const bool yes = icon == feedicon::CameraYes || icon == feedicon::FlyingYes ||
                     icon == feedicon::SpeedYes || icon == feedicon::PastedSpeedYes;
    return (yes ? "Yes/" : "No/") + std::string(shown);
}

const std::string& TrayRecord::Pocket(int row, int column) const {
    static const std::string empty;
    if (row < 0 || column < 0 || row >= static_cast<int>(grid.size())) return empty;
    const auto& cells = grid[static_cast<std::size_t>(row)];
    return column < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(column)] : empty;
}

int FeedGroup::FindRow(std::string_view id) const {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i][feedcell::Id] == id) return static_cast<int>(i);
    return -1;
}

TrayPickPlan PlanTrayPick(TrayRecord& tray) {
    TrayPickPlan plan;
    plan.gridMissing = tray.rows == 0 || tray.columns == 1;
    if (tray.currentRow == -1) {
        tray.currentRow = 0;
        plan.usedUp = true;
    }
    plan.dx = tray.columnPitch * tray.currentColumn;
    plan.dy = tray.rowPitch * tray.currentRow;
    return plan;
}

void AdvanceTray(TrayRecord& tray) {
    // ">=" rather than "equals": a record read with a current position beyond its
    // grid wraps instead of counting up without end.
    if (++tray.currentColumn >= tray.columns - 1) {
        tray.currentColumn = 0;
        if (++tray.currentRow >= tray.rows) tray.currentRow = -1;
    }
}

int FeedListItem::Icon(int cell) const {
    if (cell == feedcell::Camera) return icon12;
    if (cell == feedcell::Flying) return icon13;
    if (cell == feedcell::OwnSpeed) return icon23;
    return feedicon::None;
}

void FeedListItem::SetIcon(int cell, int icon) {
    if (cell == feedcell::Camera) icon12 = icon;
    else if (cell == feedcell::Flying) icon13 = icon;
    else if (cell == feedcell::OwnSpeed) icon23 = icon;
}

} // namespace smt
