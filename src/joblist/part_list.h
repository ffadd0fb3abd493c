// The part list's rows: the placement, dispensing and drilling lists of the open
// project with each row's icons and selection, the in-place combo items, and the
// services the document, the feeder side and the run call.
//
// One live store per process (ThePartList()). The user-interface thread edits;
// the run threads set icons, selection and counters. One lock guards the rows;
// the flags and counters the run writes are atomics. Every change is handed to
// the views on the user-interface thread (plat::PostToUi), coalesced per list,
// so no other thread ever touches a widget.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "feeders/feed_rows.h"
#include "joblist/pcb_records.h"

namespace smt {

enum class JobList { Part = 0, Dis = 1, Drill = 2 };
inline constexpr int kJobListCount = 3;
inline constexpr int kPartCells = kPartRowCells;
inline constexpr int kDisCells = 15;
inline constexpr int kDrillCells = 15;
int CellCount(JobList list);

// Row images shared by the three lists.
namespace rowicon {
inline constexpr int None = -1;
inline constexpr int Plain = 0;
inline constexpr int Yes = 1;
inline constexpr int No = 2;
inline constexpr int VisionYes = 3;
inline constexpr int VisionNo = 4;
inline constexpr int Picking = 5;
inline constexpr int Done = 6;
inline constexpr int Failed = 7;
inline constexpr int Waiting = 8;
inline constexpr int Loaded = 9;
inline constexpr int InWork = 10;
inline constexpr int Count = 11;
} // namespace rowicon

namespace partcell {
inline constexpr int Number = 0, X = 1, Y = 2, Angle = 3, Name = 4, Type = 5, Package = 6,
                     Place = kPlaceCell, Value = 8, Feeder = 9, Vision = kVisionCell, FeederValue = 11, Head = 12,
                     Added = 13, Mark = 14;
} // namespace partcell
inline constexpr int kDisFlagCell = 4;

struct JobRow {
    std::vector<std::string> cells;
    std::vector<int> icons;  // per cell, rowicon::None when the cell shows none
    bool selected = false;

    JobRow() = default;
    explicit JobRow(int cellCount) : cells(cellCount), icons(cellCount, rowicon::None) {}
    const std::string& Cell(int c) const;
    int Icon(int c) const { return c >= 0 && c < static_cast<int>(icons.size()) ? icons[c] : rowicon::None; }
    void Set(int c, std::string text, int icon);
};

// The five in-place combos of the placement list (sorted drop-down lists).
enum class InPlaceCombo { Names = 0, Types = 1, Packages = 2, Angles = 3, Feeders = 4 };
inline constexpr int kInPlaceComboCount = 5;

// What a left click on a placement cell starts.
struct CellEdit {
    enum Kind { Nothing, Toggled, Combo } kind = Nothing;
    InPlaceCombo combo = InPlaceCombo::Names;
    int selected = -1;  // item to select in the combo, -1 none
};

// One coalesced change of a list, handed to the views on the user-interface thread.
struct ListChange {
    bool all = false;          // rows added, removed or moved: refresh everything
    std::set<int> rows;        // rows whose cells, icons or selection changed
    bool scrollTop = false;
    int focus = -1;            // row to focus without scrolling, -1 none
};

class PartListStore {
public:
    using Lock = std::unique_lock<std::recursive_mutex>;
    Lock Hold() const { return Lock(m_mutex); }

    // ---- rows (each call takes the lock; hold it across calls for compound work) ----
    int RowCount(JobList list) const;
    std::optional<JobRow> Row(JobList list, int row) const;
    std::string Cell(JobList list, int row, int cell) const;
    std::vector<JobRow> Rows(JobList list) const;
    // Direct access: the caller holds the lock and reports what it changed.
    std::vector<JobRow>& RowsLocked(JobList list) { return m_rows[Index(list)]; }
    void SetRows(JobList list, std::vector<JobRow> rows);
    void InsertRow(JobList list, int position, JobRow row);
    void DeleteAllRows(JobList list);
    void SetCell(JobList list, int row, int cell, const std::string& text);
    void SetSelected(JobList list, int row, bool selected);
    // The user-interface thread's own selection (no change is posted back).
    void TakeSelection(JobList list, const std::vector<bool>& selected);
    int FirstSelected(JobList list) const;

    // The list shown (exactly one is).
    JobList VisibleList() const { return static_cast<JobList>(m_visible.load()); }
    void ShowList(JobList list);

    // ---- services ----
    void SetPartRowIcon(int row, int image, bool select);
    void SetDisRowIcon(int row);
    void SetDrillRowIcon(int image, int row);
    void ResetPartRowIcons() { ResetRowIcons(JobList::Part); }
    void ResetDisRowIcons() { ResetRowIcons(JobList::Dis); }
    void ResetDrillRowIcons() { ResetRowIcons(JobList::Drill); }
    // An empty old identifier changes nothing (a new feeder has none).
    void UpdateRowsForFeeder(const std::string& oldId, const std::string& newId, bool vision,
                             const std::string& value, const std::string& head);
    bool IsFeederUsed(const std::string& feederId) const;
    // Placement rows naming mark `oldName` (own-mark cell) take `newName`.
    void RenameOwnMark(const std::string& oldName, const std::string& newName);
    // The part name of every placement row, in row order.
    std::vector<std::string> PlacementPartNames() const;
    // The pre-run check against the feeders of the open group; reports in a box.
    bool ValidatePartRows(const std::vector<FeedRow>& feeders);
    // The same against the open group of the live feeder-group table.
    bool ValidatePartRows();
    void CopyPartRowsToDisList(double zDropsGlueToPcbHeight);
    // Z from m_Z_DropsGlueToPCBHeight of the live basic settings.
    void CopyPartRowsToDisList();

    // Companion-file rows. ParseDisLines shows the dispensing list for run modes 1 and 2.
    void ParseDisLines(const std::vector<std::string>& lines, int runMode);
    void ParseDrillLines(const std::vector<std::string>& lines);
    void BuildDisLines();
    void BuildDrillLines();
    // Also empties the list, so no old row reaches the next job's save.
    void FreeDisRows();
    void FreeDrillRows();
    // The rows of companion lines, made without touching the store; and their
    // taking in place of the list's rows (with the lines, when the companion was
    // there), as FreeDisRows and ParseDisLines together would leave them.
    static std::vector<JobRow> DisRowsOf(const std::vector<std::string>& lines);
    static std::vector<JobRow> DrillRowsOf(const std::vector<std::string>& lines);
    void TakeDisRows(std::vector<JobRow> rows, std::vector<std::string>* lines, int runMode);
    void TakeDrillRows(std::vector<JobRow> rows, std::vector<std::string>* lines);

    // ---- in-place editing of the placement list ----
    std::vector<std::string> ComboItems(InPlaceCombo combo) const;
    // Adds the item at its sorted place unless present; its index.
    int AddComboItem(InPlaceCombo combo, const std::string& text);
    int FindComboItem(InPlaceCombo combo, const std::string& text) const;
    void RemoveComboItem(InPlaceCombo combo, const std::string& text);
    // Names, types and angles from the drop-down lines 0, 1 and 3, packages from
    // the first cell of every package line.
    void FillInPlaceCombos(const std::vector<std::string>& dropDownLines);
    void FillPackageCombo(const std::vector<std::string>& packLines);
    // Adds "<id>-<value>" of every feeder the combo does not hold yet.
    void FillFeederCombo(const std::vector<FeedRow>& feeders);
    // A left click on a placement cell; records the current cell.
    CellEdit ClickPartCell(int row, int column);
    // A left click on a dispensing or drilling cell.
    void ClickListCell(JobList list, int row, int column);
    // The editor's text into the current cell.
    void CommitPartCell(const std::string& text);
    // The feeder combo's completion of the current row from the feeder it names.
    void CompleteFeederRow(const std::string& comboText, const std::vector<FeedRow>& feeders);

    // ---- views ----
    using ChangeSink = std::function<void(JobList list, const ListChange& change)>;
    using VisibleSink = std::function<void(JobList list)>;
    // Installed by the panel on the user-interface thread; called there only.
    void SetViewSinks(ChangeSink changed, VisibleSink visible);
    void Changed(JobList list, int row = -1, bool scrollTop = false, int focus = -1);

    // ---- members other parts read and write ----
    int m_PartItem = -1, m_PartSubItem = -1;
    int m_DisItem = -1, m_DisSubItem = -1;
    int m_DrillItem = -1, m_DrillSubItem = -1;
    std::uint8_t m_PartCopied = 0, m_DisCopied = 0, m_DrillCopied = 0;
    std::atomic<int> m_SortKey{0};
    std::atomic<std::uint8_t> m_RunFromRowEnabled{0};
    std::array<std::atomic<std::uint8_t>, 3> m_RunFromRow{};
    std::array<std::atomic<std::uint8_t>, 3> m_RunSelectedOnly{};
    std::atomic<std::uint8_t> m_SmtBusy{0}, m_FeedBusy{0}, m_ConveyorBusy{0};
    std::atomic<int> m_CurrentRowNo{0}, m_PlacedCount{0};
    // The statics 1103 and 1104 (run thread writes go through SetLabels).
    std::string PcbLabel() const;
    std::string CountLabel() const;
    void SetLabels(const std::string& pcb, const std::string& count);

    // Companion rows as last read or built (the list holds the rows themselves),
    // and the lines the document reads and fills.
    int m_DisRowCount = 0, m_DrillRowCount = 0;
    std::vector<std::string> m_DisLines, m_DrillLines;

    // Back to an empty window (tests and a fresh process).
    void Reset();

private:
    static int Index(JobList list) { return static_cast<int>(list); }
    void ResetRowIcons(JobList list);
    // A replaced list has no copied row left to paste from.
    void ClearCopied(JobList list) {
        (list == JobList::Part ? m_PartCopied : list == JobList::Dis ? m_DisCopied : m_DrillCopied) = 0;
    }
    void SelectByRule(JobList list, int row, bool select);
    void PostChanges();

    mutable std::recursive_mutex m_mutex;
    std::array<std::vector<JobRow>, 3> m_rows;
    std::array<std::vector<std::string>, kInPlaceComboCount> m_combos;
    std::string m_pcbLabel = "Pcb:", m_countLabel;
    std::atomic<int> m_visible{0};

    std::mutex m_pendingMutex;
    std::array<std::optional<ListChange>, 3> m_pending;
    bool m_visiblePending = false;
    bool m_postQueued = false;
    ChangeSink m_changed;
    VisibleSink m_visibleSink;
};

PartListStore& ThePartList();

// The feeders of the open group of the live feeder-group table (a copy).
std::vector<FeedRow> OpenGroupFeeders();

// A companion line cut into its first n cells: each cell ends at a tab; text
// after the last tab is dropped and missing cells stay empty.
std::array<std::string, 15> CutCompanionLine(const std::string& line);
std::string JoinCompanionCells(const std::array<std::string, 15>& cells);

} // namespace smt
