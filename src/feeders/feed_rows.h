// Feeder rows, tray records and feeder groups, and the two small list interfaces
// through which the feeder list and the tray grid show and hand back rows.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace smt {

inline constexpr int kFeedCells = 30;

// Cells with a fixed meaning that other code reads or writes.
namespace feedcell {
inline constexpr int Id = 0;
inline constexpr int X = 4;
inline constexpr int Y = 5;
inline constexpr int Camera = 12;       // "Yes/" or "No/" + camera name
inline constexpr int Flying = 13;       // "Yes/" or "No/" + contrast "/" brightness
inline constexpr int FeedMode = 14;     // feeder-kind word
inline constexpr int FeedCount = 18;    // also the run's two-state flag of "0402" and "48"
inline constexpr int PickHeight = 22;
inline constexpr int OwnSpeed = 23;     // "Yes/" or "No/" + speed-class name
inline constexpr int ImageFeature = 25;
inline constexpr int Quantity = 26;
} // namespace feedcell

// Images of the feeder list used for the flag cells.
namespace feedicon {
inline constexpr int None = -1;
inline constexpr int CameraYes = 1;
inline constexpr int FlyingYes = 2;
inline constexpr int SpeedYes = 3;
inline constexpr int No = 4;
inline constexpr int PastedSpeedYes = 5;
} // namespace feedicon

// Tray pockets: icon 1 marks a pocket that still holds a part.
inline constexpr int kPocketFull = 1;

using FeedRow = std::array<std::string, kFeedCells>;

// True for the three cells stored with a "Yes/" or "No/" prefix.
bool IsFlagCell(int cell);
// The icon a stored flag cell shows: the "Yes" icon of its cell, or feedicon::No.
int FlagIcon(int cell, std::string_view stored);
// The text after the first "/" (the whole text when there is none).
std::string_view AfterFlag(std::string_view stored);
// A shown flag cell back to its stored form: "Yes/" for icons 1, 2, 3 and 5.
std::string StoredFlag(int icon, std::string_view shown);

struct TrayRecord {
    int rows = 0;            // pocket rows; 0 = no tray
    int columns = 0;         // pocket columns + 1 (column 0 holds the row number)
    int currentRow = 0;      // next pocket's row; -1 = used up
    int currentColumn = 0;   // next pocket's column, 0-based, column 0 not counted
    double rowPitch = 0;     // mm along Y
    double columnPitch = 0;  // mm along X
    // One vector per pocket row (present only when rows is not 0). A row read from a
    // file may hold fewer than `columns` cells; the missing ones read as empty.
    std::vector<std::vector<std::string>> grid;

    const std::string& Pocket(int row, int column) const;
    bool operator==(const TrayRecord&) const = default;
};

struct FeedGroup {
    std::string name;         // empty = free slot
    std::string description;
    std::vector<FeedRow> rows;       // one per feeder
    std::vector<TrayRecord> trays;   // one per feeder, same order

    int Count() const { return static_cast<int>(rows.size()); }
    bool Used() const { return !name.empty(); }
    // Index of the first row whose cell 0 equals the identifier exactly; -1 if none.
    int FindRow(std::string_view id) const;
};

// ---- the tray advance of the run -----------------------------------------------

struct TrayPickPlan {
    bool gridMissing = false;  // rows 0 or columns 1: report "Grid No Find Row & Col"
    bool usedUp = false;       // was used up (-1, now 0): refill the tray first
    double dx = 0;             // column pitch x current column
    double dy = 0;             // row pitch x current row
};

inline constexpr const char* kGridNotFoundText = "Grid No Find Row & Col";

// Before a pick: reports a missing grid, turns a used-up tray (-1) back to row 0
// and gives the offset of the current pocket from the pick position.
TrayPickPlan PlanTrayPick(TrayRecord& tray);
// After a pick: next column; past the last column the next row; past the last row -1.
void AdvanceTray(TrayRecord& tray);

// ---- list interfaces -------------------------------------------------------------

// One item of the feeder list: the 30 shown texts, and the icons of cells 12, 13
// and 23 (feedicon values; the other cells carry none).
struct FeedListItem {
    FeedRow text;
    int icon12 = feedicon::None;
    int icon13 = feedicon::None;
    int icon23 = feedicon::None;

    int Icon(int cell) const;
    void SetIcon(int cell, int icon);
};

// What the table needs of the feeder list; the panel implements it.
class FeedListRows {
public:
    virtual ~FeedListRows() = default;
    virtual void DeleteAllItems() = 0;
    virtual void InsertItem(int position, const FeedListItem& item) = 0;
    virtual int ItemCount() const = 0;
    virtual FeedListItem Item(int index) const = 0;
};

// What the table needs of the tray dialog's pocket grid.
class TrayGridList {
public:
    virtual ~TrayGridList() = default;
    virtual void DeleteAll() = 0;
    virtual void InsertColumn(int column, const std::string& caption, int width) = 0;
    virtual void InsertRow(int row, const std::string& text) = 0;
    virtual void SetPocket(int row, int column, const std::string& text, int icon) = 0;
    // Text and icon of a cell; column 0 is the row's own text. Outside the grid:
    // empty text and feedicon::None.
    virtual std::string PocketText(int row, int column) const = 0;
    virtual int PocketIcon(int row, int column) const = 0;
};

} // namespace smt
