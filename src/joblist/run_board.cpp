#include "joblist/run_board.h"

#include <mutex>

#include "base/numtext.h"
#include "joblist/pcb_records.h"

namespace smt {

namespace {
std::mutex g_runBoardMutex;
RunBoardState g_CurrentBoard;
} // namespace

RunBoardState CopyRunBoard() {
    std::lock_guard lock(g_runBoardMutex);
    return g_CurrentBoard;
}

void StoreRunBoard(const RunBoardState& state) {
    std::lock_guard lock(g_runBoardMutex);
    g_CurrentBoard = state;
}

void ConvertBoardPointsToPulses(RunBoardState& s, double px, double py) {
    s.g_RunOriginPulseX = ToPulses(s.g_RunOriginX, px);
    s.g_RunOriginPulseY = ToPulses(s.g_RunOriginY, py);
    s.g_RunMark1AbsPulseX = ToPulses(s.g_RunOriginX + s.g_RunMark1X, px);
    s.g_RunMark1AbsPulseY = ToPulses(s.g_RunOriginY + s.g_RunMark1Y, py);
    s.g_RunMark1PulseX = ToPulses(s.g_RunMark1X, px);
    s.g_RunMark1PulseY = ToPulses(s.g_RunMark1Y, py);
    s.g_RunMark2PulseX = ToPulses(s.g_RunMark2X, px);
    s.g_RunMark2PulseY = ToPulses(s.g_RunMark2Y, py);
}

RunBoardState MakeRunBoard(const PcbRecord& r, double px, double py) {
    RunBoardState s;
    s.g_RunPanelRows = r.m_PanelRows;
    s.g_RunPanelCols = r.m_PanelCols;
    s.g_RunRowPitch = r.m_RowPitch;
    s.g_RunColPitch = r.m_ColPitch;
    s.g_RunThickness = r.m_Thickness;
    s.g_RunOriginX = r.m_OriginX;
    s.g_RunOriginY = r.m_OriginY;
    s.g_RunMarkEnable = r.m_MarkEnable ? 1 : 0;
    s.g_RunMark1X = r.m_Mark1X;
    s.g_RunMark1Y = r.m_Mark1Y;
    s.g_RunMark2X = r.m_Mark2X;
    s.g_RunMark2Y = r.m_Mark2Y;
    s.g_RunSubBoardMark = r.m_SubBoardMark ? 1 : 0;
    ConvertBoardPointsToPulses(s, px, py);
    // The grid is only as large as the record holds, so a record whose counts and
    // grid disagree cannot make the state read past it.
    const int rows = r.m_PanelRows > 0 ? static_cast<int>(r.m_PanelGrid.size()) : 0;
    const int cols = r.m_PanelCols > 0 ? r.m_PanelCols : 0;
    s.g_RunPanelRows = rows;
    s.g_RunPanelCols = rows > 0 ? cols : r.m_PanelCols;
    s.g_RunPanelGrid.assign(static_cast<std::size_t>(rows) * cols, std::string());
    for (int i = 0; i < rows; ++i)
        for (int c = 0; c < cols; ++c) {
            const auto& row = r.m_PanelGrid[i];
            if (c + 1 >= static_cast<int>(row.size())) continue;
            const FlaggedCell cell = SplitFlaggedCell(row[c + 1]);
            s.g_RunPanelGrid[static_cast<std::size_t>(i) * cols + c] = cell.hasSlash ? cell.flag : std::string();
        }
    return s;
}

ArrayPositionTexts ArrayPositionText(const RunBoardState& s, const std::string& name, int language,
                                     const std::string& countCaption, int partRowCount) {
    int firstRow = 0, firstCol = 0, inUse = 0;
    bool found = false;
    const int cols = s.g_RunPanelCols;
    for (std::size_t i = 0; i < s.g_RunPanelGrid.size(); ++i) {
        if (s.g_RunPanelGrid[i] != "1") continue;
        ++inUse;
        if (!found) {
            found = true;
            firstRow = static_cast<int>(i) / cols;
            firstCol = static_cast<int>(i) % cols;
        }
    }
    ArrayPositionTexts t;
    if (language == 0) t.position = name + FormatC("拼板：第 %d 行第 %d 列", firstRow + 1, firstCol + 1);
    else if (language == 1) t.position = name + FormatC("Array：Row %d Col %d ", firstRow + 1, firstCol + 1);
    else t.position = name;
    t.count = countCaption + FormatC("%d × %d", inUse, partRowCount);
    return t;
}

} // namespace smt
