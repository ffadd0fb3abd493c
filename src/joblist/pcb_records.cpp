#include "joblist/pcb_records.h"

#include <cmath>
#include <stdexcept>

#include "base/numtext.h"

namespace smt {

FlaggedCell SplitFlaggedCell(const std::string& cell) {
    const auto slash = cell.find('/');
    if (slash == std::string::npos) return {"", cell, false};
    return {cell.substr(0, slash), cell.substr(slash + 1), true};
}

PlacementItem ItemFromStoredRow(const PartRow& stored) {
    PlacementItem item;
    item.cells = stored;
    const FlaggedCell place = SplitFlaggedCell(stored[kPlaceCell]);
    const FlaggedCell vision = SplitFlaggedCell(stored[kVisionCell]);
    item.cells[kPlaceCell] = place.text;
    item.cells[kVisionCell] = vision.text;
    item.place = place.flag == "1";
    item.vision = vision.flag == "1";
    return item;
}

PartRow StoredRowFromItem(const PlacementItem& item) {
    PartRow row = item.cells;
    row[kPlaceCell] = (item.place ? "1/" : "0/") + item.cells[kPlaceCell];
    row[kVisionCell] = (item.vision ? "1/" : "0/") + item.cells[kVisionCell];
    return row;
}

void CopyRecordToFields(const PcbRecord& r, PcbEditFields& f, bool withVision) {
    f.m_PcbName = r.m_PcbName;
    f.m_PcbDescription = r.m_PcbDescription;
    f.m_PanelRows = r.m_PanelRows;
    f.m_PanelCols = r.m_PanelCols;
    f.m_RowPitch = r.m_RowPitch;
    f.m_ColPitch = r.m_ColPitch;
    f.m_Thickness = r.m_Thickness;
    f.m_OriginX = r.m_OriginX;
    f.m_OriginY = r.m_OriginY;
    f.m_MarkEnable = r.m_MarkEnable;
    f.m_Mark1X = r.m_Mark1X;
    f.m_Mark1Y = r.m_Mark1Y;
    f.m_Mark2X = r.m_Mark2X;
    f.m_Mark2Y = r.m_Mark2Y;
    if (!withVision) return;
    f.m_ImageColorReversal = r.m_ImageColorReversal;
    f.m_VisualBox = r.m_VisualBox;
    f.m_MarkDiameter = r.m_MarkDiameter;
    f.m_LightContrast = r.m_LightContrast;
    f.m_LightBrightness = r.m_LightBrightness;
    f.m_VisualTimes = r.m_VisualTimes;
    f.m_MarkCollectTime = r.m_MarkCollectTime;
    f.m_SpecialMark2 = r.m_SpecialMark2;
    f.m_Mark2LightContrast = r.m_Mark2LightContrast;
    f.m_Mark2LightBrightness = r.m_Mark2LightBrightness;
    f.m_SubBoardMark = r.m_SubBoardMark;
}

std::string BuildParameterLine(const PcbRecord& r) {
    std::string s;
    s.reserve(256);
    auto text = [&](const std::string& v) { s += v; s += '\t'; };
    auto i = [&](long long v) { text(FormatInt(v)); };
    auto d = [&](double v) { text(FormatMm(v)); };
    text(r.m_PcbName);
    text(r.m_PcbDescription);
    i(r.m_PanelRows);
    i(r.m_PanelCols);
    d(r.m_RowPitch);
    d(r.m_ColPitch);
    d(r.m_Thickness);
    d(r.m_OriginX);
    d(r.m_OriginY);
    i(r.m_MarkEnable);
    d(r.m_Mark1X);
    d(r.m_Mark1Y);
    d(r.m_Mark2X);
    d(r.m_Mark2Y);
    d(r.m_VisualZoom);
    i(r.m_ImageColorReversal);
    d(r.m_VisualBox);
    d(r.m_MarkDiameter);
    i(r.m_LightContrast);
    i(r.m_LightBrightness);
    i(r.m_VisualTimes);
    i(r.m_MarkCollectTime);
    i(r.m_SpecialMark2);
    i(r.m_Mark2LightContrast);
    i(r.m_Mark2LightBrightness);
    i(r.m_SubBoardMark);
    text("-");
    text("-");
    text("-");
    i(r.PartRowCount());
    return s;
}

std::vector<std::string> BuildSectionLines(const std::vector<PcbRecord>& records) {
    std::size_t n = 0;
    for (const auto& r : records) n += 1 + r.m_PanelGrid.size() + r.m_PartRows.size();
    std::vector<std::string> lines;
    lines.reserve(n);
    for (const auto& r : records) {
        lines.push_back(BuildParameterLine(r));
        for (const auto& row : r.m_PanelGrid) lines.push_back(JoinRow(row));
        for (const auto& row : r.m_PartRows) {
            std::string s;
            for (const auto& c : row) { s += c; s += '\t'; }
            lines.push_back(std::move(s));
        }
    }
    return lines;
}

namespace {

[[noreturn]] void ShortSection() { throw std::invalid_argument("PCB section ends early"); }

// Decimal read as atof and truncated toward zero into 32 bits.
std::int32_t TruncatedInt(const std::string& text) {
    const double v = AtoF(text);
    if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
    return static_cast<std::int32_t>(v);
}

struct ParsedHead {
    PcbRecord record;
    std::int32_t partRows = 0;
};

ParsedHead ParseParameterLine(const std::string& line) {
    const std::vector<std::string> cells = SplitRow(line);
    const std::size_t tabs = cells.size();
    std::size_t at = 0;
    static const std::string empty;
    auto next = [&]() -> const std::string& { return at < cells.size() ? cells[at++] : empty; };
    auto flag = [&] { return AtoI(next()) != 0 ? 1 : 0; };

    ParsedHead h;
    PcbRecord& r = h.record;
    r.m_PcbName = next();
    r.m_PcbDescription = next();
    r.m_PanelRows = AtoI(next());
    r.m_PanelCols = AtoI(next());
    r.m_RowPitch = AtoF(next());
    r.m_ColPitch = AtoF(next());
    r.m_Thickness = AtoF(next());
    r.m_OriginX = AtoF(next());
    r.m_OriginY = AtoF(next());
    r.m_MarkEnable = flag();
    r.m_Mark1X = AtoF(next());
    r.m_Mark1Y = AtoF(next());
    r.m_Mark2X = AtoF(next());
    r.m_Mark2Y = AtoF(next());
    if (tabs >= 26) {
        r.m_VisualZoom = AtoF(next());
        r.m_ImageColorReversal = flag();
        r.m_VisualBox = AtoF(next());
        r.m_MarkDiameter = AtoF(next());
        r.m_LightContrast = AtoI(next());
        r.m_LightBrightness = AtoI(next());
        r.m_VisualTimes = AtoI(next());
        r.m_MarkCollectTime = TruncatedInt(next());
        r.m_SpecialMark2 = flag();
        r.m_Mark2LightContrast = TruncatedInt(next());
        r.m_Mark2LightBrightness = TruncatedInt(next());
        if (tabs >= 27) {
            r.m_SubBoardMark = flag();
            for (int k = 0; k < 3; ++k) next();
        }
    }
    // Every field left overwrites the count, so the last one before the final TAB is it.
    while (at < cells.size()) h.partRows = AtoI(cells[at++]);
    return h;
}

} // namespace

void ParseSectionLines(const std::vector<std::string>& lines, std::int32_t count, std::vector<PcbRecord>& records) {
    std::size_t pos = 0;
    auto left = [&] { return lines.size() - pos; };
    // The panel grids and the part rows together may hold at most one cell per byte
    // of the section (every written cell ends in a TAB, every line in its end): a
    // damaged file of short lines claiming wide panels or many rows cannot ask for
    // far more memory than it holds, nor be saved back many times larger.
    std::size_t cellBudget = 0;
    for (const std::string& line : lines) cellBudget += line.size() + 1;
    for (std::int32_t i = 0; i < count; ++i) {
        if (left() < 1) ShortSection();
        ParsedHead h = ParseParameterLine(lines[pos++]);
        PcbRecord& r = h.record;
        // Every count is checked against the lines that remain before anything is
        // made of it, so a damaged count cannot ask for a huge allocation.
        if (r.m_PanelRows < 0) r.m_PanelRows = 0;
        if (r.m_PanelCols < 0) r.m_PanelCols = 0;
        if (r.m_PanelRows > 0 && (static_cast<std::size_t>(r.m_PanelRows) > left() || r.m_PanelCols > kMaxPanelSide))
            ShortSection();
        if (r.m_PanelRows > 0) {
            const std::size_t cells = static_cast<std::size_t>(r.m_PanelRows) * (static_cast<std::size_t>(r.m_PanelCols) + 1);
            if (cells > cellBudget) throw std::invalid_argument("PCB section claims larger panels than it holds");
            cellBudget -= cells;
        }
        // Columns matter only with rows: a grid-less record keeps its column count as read.
        if (r.m_PanelRows > 0) r.m_PanelGrid.assign(r.m_PanelRows, std::vector<std::string>(r.m_PanelCols + 1));
        for (auto& row : r.m_PanelGrid) {
            const std::vector<std::string> cells = SplitRow(lines[pos++]);
            // Extra fields are ignored.
            for (std::size_t c = 0; c < row.size() && c < cells.size(); ++c) row[c] = cells[c];
        }
        if (h.partRows > 0) {
            if (static_cast<std::size_t>(h.partRows) > left()) ShortSection();
            const std::size_t cells = static_cast<std::size_t>(h.partRows) * kPartRowCells;
            if (cells > cellBudget) throw std::invalid_argument("PCB section claims more part rows than it holds");
            cellBudget -= cells;
            r.m_PartRows.assign(h.partRows, PartRow{});
            for (auto& row : r.m_PartRows) {
                const std::vector<std::string> cells = SplitRow(lines[pos++]);
                for (std::size_t c = 0; c < row.size() && c < cells.size(); ++c) row[c] = cells[c];
            }
        }
        records.push_back(std::move(r));
    }
}

} // namespace smt
