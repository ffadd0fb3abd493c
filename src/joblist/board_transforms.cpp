#include "joblist/board_transforms.h"

#include "base/numtext.h"
#include "joblist/part_list_texts.h"
#include "joblist/pcb_editor.h"
#include "joblist/run_board.h"
#include "platform/msgbox.h"

namespace smt {

namespace {

int Turn360(int a) { return ((a % 360) + 360) % 360; }

plat::MsgAnswer Ask(const std::string& text) {
    return plat::MessageBoxAsk(text, plat::MsgButtons::YesNoCancel, true, plat::MsgIcon::Question);
}

} // namespace

int TransformAngle(BoardTransform t, int a) {
    switch (t) {
    case BoardTransform::Clockwise: return a >= 90 ? a - 90 : a + 270;
    case BoardTransform::CounterClockwise: return a + 90 > 360 ? a + 90 - 360 : a + 90;
    case BoardTransform::MirrorLeftRight:
        // Read into 0..359 first: a negative angle or one above 360 is the same direction.
        a = Turn360(a);
        return a <= 180 ? 180 - a : 540 - a;
    case BoardTransform::MirrorUpDown: {
        a = Turn360(a);
        const int m = 360 - a;
        return m >= 360 ? 0 : m;
    }
    }
    return a;
}

void TransformRows(std::vector<JobRow>& rows, BoardTransform t, bool addCopies, const std::string& firstPrefix,
                   const std::string& secondPrefix) {
    const std::size_t n = rows.size();
    if (addCopies) rows.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = AtoF(rows[i].Cell(partcell::X)), y = AtoF(rows[i].Cell(partcell::Y));
        double nx = x, ny = y;
        switch (t) {
        case BoardTransform::Clockwise: nx = y, ny = -x; break;
        case BoardTransform::CounterClockwise: nx = -y, ny = x; break;
        case BoardTransform::MirrorLeftRight: nx = -x; break;
        case BoardTransform::MirrorUpDown: ny = -y; break;
        }
        const std::string angle = FormatC("%d", TransformAngle(t, AtoI(rows[i].Cell(partcell::Angle))));
        JobRow* target = &rows[i];
        if (addCopies) {
            JobRow copy = rows[i];
            copy.selected = false;
            const std::string name = rows[i].Cell(partcell::Name);
            rows[i].cells[partcell::Name] = firstPrefix + "-" + name;
            copy.cells[partcell::Name] = secondPrefix + "-" + name;
            rows.push_back(std::move(copy));
            target = &rows.back();
        }
        // A mirror rewrites only the coordinate it turns.
        if (t != BoardTransform::MirrorUpDown) target->cells[partcell::X] = FormatC("%0.4f", nx);
        if (t != BoardTransform::MirrorLeftRight) target->cells[partcell::Y] = FormatC("%0.4f", ny);
        target->cells[partcell::Angle] = angle;
    }
}

void MergePanelRows(std::vector<JobRow>& rows, int panelRows, int panelCols, double rowPitch, double colPitch) {
    const int cells = panelRows > 0 && panelCols > 0 ? panelRows * panelCols : 0;
    if (cells <= 1) return;
    std::vector<JobRow> merged;
    merged.reserve(rows.size() * cells);
    for (const JobRow& first : rows) {
        const double x0 = AtoF(first.Cell(partcell::X)), y0 = AtoF(first.Cell(partcell::Y));
        for (int r = 0; r < panelRows; ++r)
            for (int c = 0; c < panelCols; ++c) {
                JobRow row = first;
                row.selected = r == 0 && c == 0 && first.selected;
                row.cells[partcell::X] = FormatC("%0.4f", x0 + c * colPitch);
                row.cells[partcell::Y] = FormatC("%0.4f", y0 + r * rowPitch);
                merged.push_back(std::move(row));
            }
    }
    rows = std::move(merged);
}

void OnPcbTransform(PartListStore& store, BoardTransform t) {
    const plat::MsgAnswer answer = Ask(PartListText("Message_37"));
    if (answer != plat::MsgAnswer::Yes && answer != plat::MsgAnswer::No) return;
    const bool upDown = t == BoardTransform::MirrorUpDown;
    {
        auto lock = store.Hold();
        TransformRows(store.RowsLocked(JobList::Part), t, answer == plat::MsgAnswer::Yes,
                      PartListText(upDown ? "Top" : "Left"), PartListText(upDown ? "Bottom" : "Right"));
    }
    store.Changed(JobList::Part);
}

void OnPcbMergePanel(PartListStore& store, PcbEditor& pcb) {
    const int k = pcb.PcbRecordCount() > 0 ? pcb.FindPcbIndex() : -1;
    if (k < 0) return;
    if (Ask(PartListText("Message_36")) != plat::MsgAnswer::Yes) return;
    PcbRecord& record = pcb.m_PcbRecords[static_cast<std::size_t>(k)];
    RunBoardState board = CopyRunBoard();
    board.g_RunPanelRows = record.m_PanelRows;
    board.g_RunPanelCols = record.m_PanelCols;
    board.g_RunRowPitch = record.m_RowPitch;
    board.g_RunColPitch = record.m_ColPitch;
    {
        auto lock = store.Hold();
        MergePanelRows(store.RowsLocked(JobList::Part), record.m_PanelRows, record.m_PanelCols, record.m_RowPitch,
                       record.m_ColPitch);
    }
    store.Changed(JobList::Part);
    // One enabled cell: the merged rows already carry every cell's offset.
    record.m_PanelRows = record.m_PanelCols = 1;
    record.m_PanelGrid = {{"0/1", "1/0"}};
    if (pcb.m_Fields.m_PcbName == record.m_PcbName) pcb.m_Fields.m_PanelRows = pcb.m_Fields.m_PanelCols = 1;
    board.g_RunPanelRows = board.g_RunPanelCols = 1;
    board.g_RunPanelGrid = {"1"};
    StoreRunBoard(board);
}

} // namespace smt
