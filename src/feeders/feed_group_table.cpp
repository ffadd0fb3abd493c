#include "feeders/feed_group_table.h"

#include "base/numtext.h"
#include "feeders/feeder_words.h"

namespace smt {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// Copies turn a used-up tray (-1) back to row 0, in the source too.
void ResetUsedUp(std::vector<TrayRecord>& trays) {
    for (TrayRecord& t : trays)
        if (t.currentRow == -1) t.currentRow = 0;
}

TrayRecord TrayFromList(TrayRecord tray, int rows, int pocketColumns, double rowPitch,
                        double columnPitch, const TrayGridList& list) {
    tray.rows = rows > 0 ? rows : 0;
    tray.columns = (pocketColumns > 0 ? pocketColumns : 0) + 1;
    tray.rowPitch = rowPitch;
    tray.columnPitch = columnPitch;
    tray.grid.clear();
    bool found = false;
    for (int r = 0; r < tray.rows; ++r) {
        std::vector<std::string> cells;
        cells.reserve(static_cast<std::size_t>(tray.columns));
        for (int c = 0; c < tray.columns; ++c) {
            const bool full = list.PocketIcon(r, c) == kPocketFull;
            cells.push_back((full ? "Yes/" : "No/") + list.PocketText(r, c));
            if (full && c >= 1 && !found) {
                found = true;
                tray.currentRow = r;
                tray.currentColumn = c - 1;
            }
        }
        tray.grid.push_back(std::move(cells));
    }
    return tray;
}

} // namespace

FeedGroupTable& TheFeedGroupTable() {
    static FeedGroupTable table;
    return table;
}

FeedGroup* FeedGroupTable::Slot(int slot) {
    return slot >= 0 && slot < static_cast<int>(m_slots.size()) ? &m_slots[static_cast<std::size_t>(slot)] : nullptr;
}

const FeedGroup* FeedGroupTable::Slot(int slot) const {
    return slot >= 0 && slot < static_cast<int>(m_slots.size()) ? &m_slots[static_cast<std::size_t>(slot)] : nullptr;
}

int FeedGroupTable::FindLocked(std::string_view name) const {
    for (std::size_t i = 0; i < m_slots.size(); ++i)
        if (m_slots[i].name == name) return static_cast<int>(i);
    return -1;
}

int FeedGroupTable::OpenUsedSlotLocked() const {
    if (m_openName.empty()) return -1;
    return FindLocked(m_openName);
}

int FeedGroupTable::FindFeedGroupByName(std::string_view name) const {
    Lock lock(m_mutex);
    return FindLocked(name);
}

void FeedGroupTable::AllocateFeedGroupTable(int loadedCount) {
    Lock lock(m_mutex);
    if (m_allocated) return;
    m_loadedCount = loadedCount > 0 ? loadedCount : 0;
    m_slots.assign(static_cast<std::size_t>(m_loadedCount + kSpareSlots), FeedGroup{});
    m_allocated = true;
}

bool FeedGroupTable::Allocated() const { Lock lock(m_mutex); return m_allocated; }
int FeedGroupTable::Capacity() const { Lock lock(m_mutex); return static_cast<int>(m_slots.size()); }
int FeedGroupTable::LoadedCount() const { Lock lock(m_mutex); return m_loadedCount; }
int FeedGroupTable::GroupCount() const { Lock lock(m_mutex); return m_groupCount; }
bool FeedGroupTable::WasRead() const { Lock lock(m_mutex); return m_wasRead; }
std::string FeedGroupTable::OpenGroupName() const { Lock lock(m_mutex); return m_openName; }
void FeedGroupTable::SetOpenGroupName(const std::string& name) { Lock lock(m_mutex); m_openName = name; }
int FeedGroupTable::OpenGroupIndex() const { Lock lock(m_mutex); return m_openIndex; }
int FeedGroupTable::OpenUsedSlot() const { Lock lock(m_mutex); return OpenUsedSlotLocked(); }

std::vector<std::string> FeedGroupTable::GroupNames() const {
    Lock lock(m_mutex);
    std::vector<std::string> names;
    for (const FeedGroup& g : m_slots)
        if (g.Used()) names.push_back(g.name);
    return names;
}

// ---- groups -------------------------------------------------------------------

int FeedGroupTable::AddFeedGroup(const std::string& name, const std::string& description) {
    Lock lock(m_mutex);
    if (name.empty() || FindLocked(name) >= 0) return -1;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].Used()) continue;
        m_slots[i] = FeedGroup{name, description, {}, {}};
        ++m_groupCount;
        return static_cast<int>(i);
    }
    return -1;
}

bool FeedGroupTable::CopyFeedGroupRows(std::string_view source, std::string_view target) {
    Lock lock(m_mutex);
    FeedGroup* from = Slot(FindLocked(source));
    FeedGroup* to = Slot(FindLocked(target));
    if (!from || !to || !from->Used() || !to->Used()) return false;
    ResetUsedUp(from->trays);
    to->rows = from->rows;     // value copies: every grid is the target's own
    to->trays = from->trays;
    return true;
}

bool FeedGroupTable::RenameFeedGroup(std::string_view oldName, const std::string& newName,
                                     const std::string& description, bool* openRenamed) {
    Lock lock(m_mutex);
    if (openRenamed) *openRenamed = false;
    FeedGroup* g = Slot(FindLocked(oldName));
    if (!g || !g->Used() || newName.empty()) return false;
    const int other = FindLocked(newName);
    if (other >= 0 && Slot(other) != g) return false;
    if (m_openName == oldName) {
        m_openName = newName;
        if (openRenamed) *openRenamed = true;
    }
    g->name = newName;
    g->description = description;
    return true;
}

bool FeedGroupTable::DeleteFeedGroup(std::string_view name) {
    Lock lock(m_mutex);
    if (name.empty()) return false;
    FeedGroup* g = Slot(FindLocked(name));
    if (!g) return false;
    *g = FeedGroup{};
    --m_groupCount;
    return true;
}

// ---- the open group's feeders -------------------------------------------------

void FeedGroupTable::FillFeedListFromGroup(std::string_view name, FeedListRows& list) {
    Lock lock(m_mutex);
    list.DeleteAllItems();
    m_openIndex = FindLocked(name);
    FeedGroup* g = Slot(m_openIndex);
    if (!g) return;
    for (std::size_t i = 0; i < g->rows.size(); ++i) {
        FeedRow& row = g->rows[i];
        if (row[feedcell::Id].empty()) break;
        FeedListItem item;
        for (int k = 0; k < kFeedCells; ++k) {
            std::string& cell = row[static_cast<std::size_t>(k)];
            if (IsFlagCell(k)) {
                const int icon = FlagIcon(k, cell);
                std::string shown(AfterFlag(cell));
                if (k == feedcell::OwnSpeed && IsSpeedName(shown)) {
                    // The row keeps its speed class in the current language.
                    shown = TranslateSpeedName(shown);
                    cell = StoredFlag(icon, shown);
                }
                item.text[static_cast<std::size_t>(k)] = std::move(shown);
                item.SetIcon(k, icon);
            } else if (k == feedcell::FeedMode) {
                item.text[static_cast<std::size_t>(k)] = TranslateFeedMode(cell);
            } else {
                item.text[static_cast<std::size_t>(k)] = cell;
            }
        }
        list.InsertItem(static_cast<int>(i), item);
    }
}

bool FeedGroupTable::BeginAppendFeeder() {
    Lock lock(m_mutex);
    FeedGroup* g = Slot(OpenUsedSlotLocked());
    if (!g) {
        // A nameless slot is never written: a feeder appended there would be lost.
        m_pending.reset();
        return false;
    }
    ResetUsedUp(g->trays);
    m_pending = PendingAppend{g->Count(), TrayRecord{}};
    return true;
}

bool FeedGroupTable::CommitAppendFeeder(const FeedListRows& list) {
    Lock lock(m_mutex);
    if (!m_pending) return false;
    PendingAppend pending = std::move(*m_pending);
    m_pending.reset();
    FeedGroup* g = Slot(OpenUsedSlotLocked());
    if (!g || pending.count < 0 || pending.count >= list.ItemCount()) return false;
    // Appended to the group as it stands now, so whatever the run or a worker
    // wrote into its rows and trays while the editor was open is kept.
    const FeedListItem item = list.Item(pending.count);
    FeedRow row;
    for (int k = 0; k < kFeedCells; ++k) {
        const std::string& text = item.text[static_cast<std::size_t>(k)];
        row[static_cast<std::size_t>(k)] = IsFlagCell(k) ? StoredFlag(item.Icon(k), text) : text;
    }
    ResetUsedUp(g->trays);
    g->rows.push_back(std::move(row));
    g->trays.push_back(std::move(pending.tray));
    return true;
}

void FeedGroupTable::CancelAppendFeeder() {
    Lock lock(m_mutex);
    m_pending.reset();
}

bool FeedGroupTable::AppendPending() const {
    Lock lock(m_mutex);
    return m_pending.has_value();
}

bool FeedGroupTable::DeleteFeederFromGroup(std::string_view id) {
    Lock lock(m_mutex);
    FeedGroup* g = Slot(FindLocked(m_openName));
    if (!g) return false;
    const int i = g->FindRow(id);
    if (i < 0) return false;
    g->rows.erase(g->rows.begin() + i);
    g->trays.erase(g->trays.begin() + i);
    return true;
}

bool FeedGroupTable::PasteFeederIntoGroup(std::string_view sourceId, int position, const std::string& newId) {
    Lock lock(m_mutex);
    FeedGroup* g = Slot(OpenUsedSlotLocked());
    if (!g) return false;
    const int source = g->FindRow(sourceId);
    if (source < 0) return false;
    const int n = g->Count();
    if (position < 0 || position > n) position = n;
    FeedRow row = g->rows[static_cast<std::size_t>(source)];
    row[feedcell::Id] = newId;
    TrayRecord tray = g->trays[static_cast<std::size_t>(source)];
    g->rows.insert(g->rows.begin() + position, std::move(row));
    g->trays.insert(g->trays.begin() + position, std::move(tray));
    ResetUsedUp(g->trays);
    return true;
}

bool FeedGroupTable::CopyListRowToFeedRow(int slot, const FeedListRows& list, int item, int feederIndex) {
    Lock lock(m_mutex);
    FeedGroup* g = Slot(slot);
    if (!g || feederIndex < 0 || feederIndex >= g->Count() || item < 0 || item >= list.ItemCount())
        return false;
    const FeedListItem shown = list.Item(item);
    FeedRow& row = g->rows[static_cast<std::size_t>(feederIndex)];
    for (int k = 0; k < kFeedCells; ++k) {
        const std::string& text = shown.text[static_cast<std::size_t>(k)];
        row[static_cast<std::size_t>(k)] = IsFlagCell(k) ? StoredFlag(shown.Icon(k), text) : text;
    }
    return true;
}

bool FeedGroupTable::SetFeederQuantity(std::string_view id, const std::string& text) {
    Lock lock(m_mutex);
    if (id.empty()) return false;
    FeedGroup* g = Slot(m_openIndex);
    if (!g) return false;
    const int i = g->FindRow(id);
    if (i < 0) return false;
    g->rows[static_cast<std::size_t>(i)][feedcell::Quantity] = text;
    return true;
}

// ---- trays --------------------------------------------------------------------

std::optional<TrayShape> FeedGroupTable::FillTrayGrid(std::string_view id, TrayGridList& list) {
    Lock lock(m_mutex);
    if (id.empty()) return std::nullopt;
    FeedGroup* g = Slot(FindLocked(m_openName));
    if (!g) return std::nullopt;
    const int i = g->FindRow(id);
    if (i < 0) return std::nullopt;
    TrayRecord& tray = g->trays[static_cast<std::size_t>(i)];
    if (tray.rows == 0 || tray.columns == 0) return std::nullopt;
    if (tray.currentRow == -1) tray.currentRow = 0;
    for (int c = 0; c < tray.columns; ++c) list.InsertColumn(c, c == 0 ? std::string() : FormatInt(c), c == 0 ? 60 : 33);
    for (int r = 0; r < tray.rows; ++r) {
        list.InsertRow(r, FormatInt(r + 1));
        for (int c = 1; c < tray.columns; ++c) {
            // Icon by place: pockets from the current one on still hold a part.
            const bool full = r > tray.currentRow || (r == tray.currentRow && c > tray.currentColumn);
            list.SetPocket(r, c, std::string(AfterFlag(tray.Pocket(r, c))), full ? kPocketFull : feedicon::None);
        }
    }
    return TrayShape{tray.rows, tray.columns - 1, tray.rowPitch, tray.columnPitch};
}

bool FeedGroupTable::StoreNewFeederTray(int rows, int pocketColumns, double rowPitch, double columnPitch,
                                        const TrayGridList& list) {
    Lock lock(m_mutex);
    if (!m_pending) return false;
    m_pending->tray = TrayFromList(std::move(m_pending->tray), rows, pocketColumns, rowPitch, columnPitch, list);
    return true;
}

bool FeedGroupTable::StoreFeederTray(std::string_view id, int rows, int pocketColumns, double rowPitch,
                                     double columnPitch, const TrayGridList& list) {
    Lock lock(m_mutex);
    FeedGroup* g = Slot(FindLocked(m_openName));
    if (!g) return false;
    const int i = g->FindRow(id);
    if (i < 0) return false;
    TrayRecord& tray = g->trays[static_cast<std::size_t>(i)];
    tray = TrayFromList(std::move(tray), rows, pocketColumns, rowPitch, columnPitch, list);
    return true;
}

void FeedGroupTable::DestroyFeedGroupTable() {
    Lock lock(m_mutex);
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_allocated = false;
    m_wasRead = false;
    m_loadedCount = 0;
    m_groupCount = 0;
    m_openName.clear();
    m_openIndex = -1;
    m_pending.reset();
}

// ---- copies and small writes for other threads ---------------------------------

std::optional<FeedGroup> FeedGroupTable::CopyGroup(int slot) const {
    Lock lock(m_mutex);
    const FeedGroup* g = Slot(slot);
    if (!g) return std::nullopt;
    return *g;
}

std::optional<FeedRow> FeedGroupTable::CopyFeedRow(int slot, std::string_view id) const {
    if (auto found = FindFeedRow(slot, id)) return std::move(found->row);
    return std::nullopt;
}

std::optional<FoundFeedRow> FeedGroupTable::FindFeedRow(int slot, std::string_view id) const {
    Lock lock(m_mutex);
    const FeedGroup* g = Slot(slot);
    const int i = g ? g->FindRow(id) : -1;
    if (i < 0) return std::nullopt;
    return FoundFeedRow{i, g->rows[static_cast<std::size_t>(i)]};
}

std::optional<TrayRecord> FeedGroupTable::CopyTray(int slot, std::string_view id) const {
    Lock lock(m_mutex);
    const FeedGroup* g = Slot(slot);
    const int i = g ? g->FindRow(id) : -1;
    if (i < 0) return std::nullopt;
    return g->trays[static_cast<std::size_t>(i)];
}

bool FeedGroupTable::SetFeederCell(int slot, std::string_view id, int cell, const std::string& text) {
    Lock lock(m_mutex);
    FeedGroup* g = Slot(slot);
    const int i = g ? g->FindRow(id) : -1;
    if (i < 0 || cell < 0 || cell >= kFeedCells) return false;
    g->rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(cell)] = text;
    return true;
}

std::optional<TrayPickPlan> FeedGroupTable::PlanTrayPick(int slot, std::string_view id) {
    Lock lock(m_mutex);
    FeedGroup* g = Slot(slot);
    const int i = g ? g->FindRow(id) : -1;
    if (i < 0) return std::nullopt;
    return smt::PlanTrayPick(g->trays[static_cast<std::size_t>(i)]);
}

bool FeedGroupTable::AdvanceTray(int slot, std::string_view id) {
    Lock lock(m_mutex);
    FeedGroup* g = Slot(slot);
    const int i = g ? g->FindRow(id) : -1;
    if (i < 0) return false;
    smt::AdvanceTray(g->trays[static_cast<std::size_t>(i)]);
    return true;
}

} // namespace smt
