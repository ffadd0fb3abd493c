// The PCBs of a job: one record per board design with its panel grid and its
// placement rows, the editor's working copy of the current one, and the lines of
// the project file's PCB section.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace smt {

inline constexpr int kPartRowCells = 16;
inline constexpr int kPlaceCell = 7, kVisionCell = 10;
// Rows and columns beyond this are refused by the editor and by the reader.
inline constexpr int kMaxPanelSide = 1000;

// The 16 cells of a placement row; in a record, cells 7 and 10 carry their
// Yes/No flag as a "1/" or "0/" prefix.
using PartRow = std::array<std::string, kPartRowCells>;

// One row of the placement list as the list shows it: cells 7 and 10 without the
// flag, the flags as the item's icons (place: 1 Yes / 2 No, vision: 3 Yes / 4 No).
struct PlacementItem {
    PartRow cells;
    bool place = false;
    bool vision = false;
    bool operator==(const PlacementItem&) const = default;
};

// The part list's placement list, as the PCB records need it.
struct PlacementListAccess {
    std::function<std::vector<PlacementItem>()> rows;
    std::function<void(std::vector<PlacementItem>)> setRows;
    // Statics 1103 (board position) and 1104 (count) of the part list.
    std::function<void(const std::string& position, const std::string& count)> showStatics;
};

// A stored cell "1/Yes" is flag "1" and text "Yes"; a cell without "/" is text only.
struct FlaggedCell {
    std::string flag, text;
    bool hasSlash = false;
};
FlaggedCell SplitFlaggedCell(const std::string& cell);
PlacementItem ItemFromStoredRow(const PartRow& stored);
PartRow StoredRowFromItem(const PlacementItem& item);

struct PcbRecord {
    std::string m_PcbName;
    std::string m_PcbDescription;
    std::int32_t m_PanelRows = 0;
    std::int32_t m_PanelCols = 0;
    double m_RowPitch = 0, m_ColPitch = 0, m_Thickness = 0, m_OriginX = 0, m_OriginY = 0;
    std::int32_t m_MarkEnable = 0;
    double m_Mark1X = 0, m_Mark1Y = 0, m_Mark2X = 0, m_Mark2Y = 0;
    // 0 marks a record from a file without camera fields.
    double m_VisualZoom = 0;
    std::int32_t m_ImageColorReversal = 0;
    double m_VisualBox = 0, m_MarkDiameter = 0;
    std::int32_t m_LightContrast = 0, m_LightBrightness = 0, m_VisualTimes = 0, m_MarkCollectTime = 0;
    std::int32_t m_SpecialMark2 = 0, m_Mark2LightContrast = 0, m_Mark2LightBrightness = 0;
    std::int32_t m_SubBoardMark = 0;
    // m_PanelRows rows of m_PanelCols + 1 cells; cell 0 is the row label.
    std::vector<std::vector<std::string>> m_PanelGrid;
    std::vector<PartRow> m_PartRows;

    int PartRowCount() const { return static_cast<int>(m_PartRows.size()); }
    bool operator==(const PcbRecord&) const = default;
};

// The editor's fields: its copy of the current record and its own settings.
struct PcbEditFields {
    std::string m_PcbName = "PCB->";
    std::string m_PcbDescription;
    std::int32_t m_PanelRows = 0, m_PanelCols = 0;
    double m_RowPitch = 0, m_ColPitch = 0, m_Thickness = 1.6, m_OriginX = 0, m_OriginY = 0;
    std::int32_t m_MarkEnable = 0;
    double m_Mark1X = 0, m_Mark1Y = 0, m_Mark2X = 0, m_Mark2Y = 0;
    std::int32_t m_ManualMarkOffset = 0;
    double m_Mark1OffsetX = 0, m_Mark1OffsetY = 0, m_Mark2OffsetX = 0, m_Mark2OffsetY = 0;
    double m_VisualZoom = 18.0;
    std::int32_t m_DetectPrecision = 20;
    std::int32_t m_ImageColorReversal = 0;
    double m_VisualBox = 2.0, m_MarkDiameter = 1.0;
    std::int32_t m_LightContrast = 190, m_LightBrightness = 100, m_VisualTimes = 3, m_MarkCollectTime = 200;
    std::int32_t m_SpecialMark2 = 0, m_Mark2LightContrast = 150, m_Mark2LightBrightness = 100;
    std::int32_t m_SubBoardMark = 0;
    std::int32_t m_PcbBoardCount = 0;
};

// Record -> fields as a selection or a load copies them: the geometry always, the
// camera fields (never the scale) only when `withVision`.
void CopyRecordToFields(const PcbRecord& r, PcbEditFields& f, bool withVision);

// One parameter line (30 fields, each followed by a TAB).
std::string BuildParameterLine(const PcbRecord& r);

// The section lines of all records, in order.
std::vector<std::string> BuildSectionLines(const std::vector<PcbRecord>& records);

// Parses `count` records from the front of `lines`, appending each complete one to
// `records`. Throws std::invalid_argument when the lines end early, a count asks
// for more lines than remain, or the panel grids and part rows (16 cells each)
// together would hold more cells than the lines hold bytes (counting one per line
// end); the records appended before stay.
void ParseSectionLines(const std::vector<std::string>& lines, std::int32_t count, std::vector<PcbRecord>& records);

} // namespace smt
