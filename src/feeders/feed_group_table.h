// The feeder-group table: every feeder group of the machine in fixed slots, the
// open group (the one the feeder list shows and the run picks from), and every
// operation that changes a group's feeders.
//
// One live table per process (TheFeedGroupTable). The user-interface thread adds,
// removes and rebuilds groups and rows; the feeder operation worker and the run
// read rows and trays and write a few cells from their own threads. One lock guards
// it all: every member takes it, and a reader on another thread gets copies, never
// a reference. The list interfaces are called under the lock, so their
// implementations must not call back into the table from another thread.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "feeders/feed_rows.h"

namespace smt {

// A feeder found in a group: its index there and a copy of its row.
struct FoundFeedRow {
    int index = -1;
    FeedRow row;
};

struct TrayShape {
    int rows = 0;
    int pocketColumns = 0;
    double rowPitch = 0;
    double columnPitch = 0;
};

class FeedGroupTable {
public:
    static constexpr int kSpareSlots = 10;

    // ---- slots and the open group ----
    // The first slot, used or free, whose name equals the text exactly; -1 if none.
    int FindFeedGroupByName(std::string_view name) const;
    // Creates loaded count + 10 free slots, only when no slot array exists yet.
    void AllocateFeedGroupTable(int loadedCount);
    bool Allocated() const;
    int Capacity() const;
    int LoadedCount() const;
    int GroupCount() const;
    // True once the table file was read (or found empty): only then may it be written.
    bool WasRead() const;

    std::string OpenGroupName() const;
    void SetOpenGroupName(const std::string& name);
    int OpenGroupIndex() const;
    // The open group's slot when the open group name names a used slot, else -1.
    int OpenUsedSlot() const;
    std::vector<std::string> GroupNames() const;  // used slots, in slot order

    // ---- groups ----
    // The first free slot gets the group; -1 when the name is empty or taken or
    // every slot is used.
    int AddFeedGroup(const std::string& name, const std::string& description);
    bool CopyFeedGroupRows(std::string_view source, std::string_view target);
    // Renames and takes the description; `openRenamed` tells the caller that the
    // open group was renamed (its group-name field shows the new name).
    bool RenameFeedGroup(std::string_view oldName, const std::string& newName,
                         const std::string& description, bool* openRenamed = nullptr);
    bool DeleteFeedGroup(std::string_view name);

    // ---- the open group's feeders ----
    void FillFeedListFromGroup(std::string_view name, FeedListRows& list);
    // false (nothing begun) when the open group name names no used slot.
    bool BeginAppendFeeder();
    // Appends list item n (n = the count at the begin) and the pending tray to the
    // open group as it stands now; false when no append is running or the item is
    // missing.
    bool CommitAppendFeeder(const FeedListRows& list);
    void CancelAppendFeeder();
    bool AppendPending() const;
    bool DeleteFeederFromGroup(std::string_view id);
    // false when the open group is not a used slot or has no such feeder.
    bool PasteFeederIntoGroup(std::string_view sourceId, int position, const std::string& newId);
    bool CopyListRowToFeedRow(int slot, const FeedListRows& list, int item, int feederIndex);
    // Cell 26 of the feeder in the group at the open group index.
    bool SetFeederQuantity(std::string_view id, const std::string& text);

    // ---- trays ----
    std::optional<TrayShape> FillTrayGrid(std::string_view id, TrayGridList& list);
    bool StoreNewFeederTray(int rows, int pocketColumns, double rowPitch, double columnPitch,
                            const TrayGridList& list);
    bool StoreFeederTray(std::string_view id, int rows, int pocketColumns, double rowPitch,
                         double columnPitch, const TrayGridList& list);

    void DestroyFeedGroupTable();

    // ---- copies and small writes for other threads ----
    std::optional<FeedGroup> CopyGroup(int slot) const;
    std::optional<FeedRow> CopyFeedRow(int slot, std::string_view id) const;
    // The run's look-up of a placement's feeder: searched under the lock, only
    // the row copied (not the whole group); nullopt when the slot has no such feeder.
    std::optional<FoundFeedRow> FindFeedRow(int slot, std::string_view id) const;
    std::optional<TrayRecord> CopyTray(int slot, std::string_view id) const;
    // One cell of one feeder (the run's cells 18 and 26, the measured pick height).
    bool SetFeederCell(int slot, std::string_view id, int cell, const std::string& text);
    // The run's tray step on the feeder's record (see PlanTrayPick, AdvanceTray).
    std::optional<TrayPickPlan> PlanTrayPick(int slot, std::string_view id);
    bool AdvanceTray(int slot, std::string_view id);

private:
    friend bool ReadFeedGroupTable(FeedGroupTable& table, std::vector<std::string>& lines,
                                   const std::string& emptyMessage);
    friend void WriteFeedGroupTable(FeedGroupTable& table, std::vector<std::string>& lines);

    struct PendingAppend {
        int count = 0;  // the open group's feeder count at the begin
        TrayRecord tray;
    };

    FeedGroup* Slot(int slot);
    const FeedGroup* Slot(int slot) const;
    int FindLocked(std::string_view name) const;
    int OpenUsedSlotLocked() const;

    mutable std::recursive_mutex m_mutex;
    std::vector<FeedGroup> m_slots;
    bool m_allocated = false;
    bool m_wasRead = false;
    int m_loadedCount = 0;
    int m_groupCount = 0;
    std::string m_openName;
    int m_openIndex = -1;
    std::optional<PendingAppend> m_pending;
};

// The process's table.
FeedGroupTable& TheFeedGroupTable();

} // namespace smt
