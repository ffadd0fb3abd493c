#include "joblist/part_list.h"

#include <algorithm>
#include <cctype>

#include "base/window_titles.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "joblist/part_list_texts.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"
#include "settings/basic_settings.h"

namespace smt {

namespace {

const std::string kEmpty;

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// The part of a feeder combo text before its first "-".
std::string FeederIdOf(const std::string& text) { return text.substr(0, text.find('-')); }

bool HasFlagYes(const std::string& stored) { return stored.rfind("Yes/", 0) == 0; }

std::string AppTitle() {
    const int lang = g_LanguageIndex.load();
    return kWindowTitles[lang >= 0 && lang < 3 ? lang : 0];
}

} // namespace

int CellCount(JobList list) { return list == JobList::Part ? kPartCells : kDisCells; }

const std::string& JobRow::Cell(int c) const {
    return c >= 0 && c < static_cast<int>(cells.size()) ? cells[c] : kEmpty;
}

void JobRow::Set(int c, std::string text, int icon) {
    if (c < 0 || c >= static_cast<int>(cells.size())) return;
    cells[c] = std::move(text);
    icons[c] = icon;
}

std::array<std::string, 15> CutCompanionLine(const std::string& line) {
    std::array<std::string, 15> cells;
    const std::string_view text(line);
    std::size_t start = 0;
    for (int c = 0; c < 15; ++c) {
        const auto tab = text.find('\t', start);
        if (tab == std::string_view::npos) break;  // text after the last tab is no cell
        cells[c].assign(text.substr(start, tab - start));
        start = tab + 1;
    }
    return cells;
}

std::string JoinCompanionCells(const std::array<std::string, 15>& cells) {
    std::string line;
    std::size_t size = 15;
    for (const auto& c : cells) size += c.size();
    line.reserve(size);
    for (const auto& c : cells) {
        line += c;
        line += '\t';
    }
    return line;
}

std::vector<FeedRow> OpenGroupFeeders() {
    FeedGroupTable& table = TheFeedGroupTable();
    const int slot = table.OpenUsedSlot();
    if (slot < 0) return {};
    auto group = table.CopyGroup(slot);
    return group ? group->rows : std::vector<FeedRow>{};
}

PartListStore& ThePartList() {
    static PartListStore store;
    return store;
}

// ---- rows -----------------------------------------------------------------------

int PartListStore::RowCount(JobList list) const {
    Lock l = Hold();
    return static_cast<int>(m_rows[Index(list)].size());
}

std::optional<JobRow> PartListStore::Row(JobList list, int row) const {
    Lock l = Hold();
    const auto& rows = m_rows[Index(list)];
    if (row < 0 || row >= static_cast<int>(rows.size())) return std::nullopt;
    return rows[row];
}

std::string PartListStore::Cell(JobList list, int row, int cell) const {
    Lock l = Hold();
    const auto& rows = m_rows[Index(list)];
    if (row < 0 || row >= static_cast<int>(rows.size())) return {};
    return rows[row].Cell(cell);
}

std::vector<JobRow> PartListStore::Rows(JobList list) const {
    Lock l = Hold();
    return m_rows[Index(list)];
}

void PartListStore::SetRows(JobList list, std::vector<JobRow> rows) {
    {
        Lock l = Hold();
        m_rows[Index(list)] = std::move(rows);
        ClearCopied(list);
    }
    Changed(list);
}

void PartListStore::InsertRow(JobList list, int position, JobRow row) {
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(list)];
        row.cells.resize(CellCount(list));
        row.icons.resize(CellCount(list), rowicon::None);
        position = std::clamp(position, 0, static_cast<int>(rows.size()));
        rows.insert(rows.begin() + position, std::move(row));
    }
    Changed(list);
}

void PartListStore::DeleteAllRows(JobList list) {
    {
        Lock l = Hold();
        m_rows[Index(list)].clear();
        ClearCopied(list);
    }
    Changed(list);
}

void PartListStore::SetCell(JobList list, int row, int cell, const std::string& text) {
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(list)];
        if (row < 0 || row >= static_cast<int>(rows.size()) || cell < 0 || cell >= CellCount(list)) return;
        rows[row].cells[cell] = text;
    }
    Changed(list, row);
}

void PartListStore::SetSelected(JobList list, int row, bool selected) {
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(list)];
        if (row < 0 || row >= static_cast<int>(rows.size())) return;
        rows[row].selected = selected;
    }
    Changed(list, row);
}

void PartListStore::TakeSelection(JobList list, const std::vector<bool>& selected) {
    Lock l = Hold();
    auto& rows = m_rows[Index(list)];
    for (std::size_t i = 0; i < rows.size() && i < selected.size(); ++i) rows[i].selected = selected[i];
}

int PartListStore::FirstSelected(JobList list) const {
    Lock l = Hold();
    const auto& rows = m_rows[Index(list)];
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].selected) return static_cast<int>(i);
    return -1;
}

void PartListStore::ShowList(JobList list) {
    m_visible = Index(list);
    {
        std::lock_guard<std::mutex> g(m_pendingMutex);
        m_visiblePending = true;
    }
    PostChanges();
}

std::string PartListStore::PcbLabel() const {
    Lock l = Hold();
    return m_pcbLabel;
}

std::string PartListStore::CountLabel() const {
    Lock l = Hold();
    return m_countLabel;
}

void PartListStore::SetLabels(const std::string& pcb, const std::string& count) {
    {
        Lock l = Hold();
        m_pcbLabel = pcb;
        m_countLabel = count;
    }
    {
        std::lock_guard<std::mutex> g(m_pendingMutex);
        m_visiblePending = true;  // the view re-reads its statics with the visibility
    }
    PostChanges();
}

void PartListStore::Reset() {
    {
        Lock l = Hold();
        for (auto& r : m_rows) r.clear();
        for (auto& c : m_combos) c.clear();
        m_PartItem = m_PartSubItem = m_DisItem = m_DisSubItem = m_DrillItem = m_DrillSubItem = -1;
        m_PartCopied = m_DisCopied = m_DrillCopied = 0;
        m_DisRowCount = m_DrillRowCount = 0;
        m_DisLines.clear();
        m_DrillLines.clear();
        m_pcbLabel = "Pcb:";
        m_countLabel.clear();
    }
    m_SortKey = 0;
    m_RunFromRowEnabled = 0;
    for (int i = 0; i < 3; ++i) m_RunFromRow[i] = m_RunSelectedOnly[i] = 0;
    m_SmtBusy = m_FeedBusy = m_ConveyorBusy = 0;
    m_CurrentRowNo = m_PlacedCount = 0;
    m_visible = 0;
}

// ---- change notification ------------------------------------------------------------

void PartListStore::SetViewSinks(ChangeSink changed, VisibleSink visible) {
    std::lock_guard<std::mutex> g(m_pendingMutex);
    m_changed = std::move(changed);
    m_visibleSink = std::move(visible);
}

void PartListStore::Changed(JobList list, int row, bool scrollTop, int focus) {
    {
        std::lock_guard<std::mutex> g(m_pendingMutex);
        auto& p = m_pending[Index(list)];
        if (!p) p.emplace();
        if (row < 0) p->all = true;
        else if (!p->all) p->rows.insert(row);
        p->scrollTop |= scrollTop;
        if (focus >= 0) p->focus = focus;
    }
    PostChanges();
}

void PartListStore::PostChanges() {
    {
        std::lock_guard<std::mutex> g(m_pendingMutex);
        if (!m_changed && !m_visibleSink) {
            // No view: nothing to refresh (and nothing may outlive the store).
            for (auto& p : m_pending) p.reset();
            m_visiblePending = false;
            return;
        }
        if (m_postQueued) return;
        m_postQueued = true;
    }
    plat::PostToUi([this] {
        std::array<std::optional<ListChange>, 3> pending;
        bool visible = false;
        ChangeSink changed;
        VisibleSink visibleSink;
        {
            std::lock_guard<std::mutex> g(m_pendingMutex);
            pending.swap(m_pending);
            visible = m_visiblePending;
            m_visiblePending = false;
            m_postQueued = false;
            changed = m_changed;
            visibleSink = m_visibleSink;
        }
        for (int i = 0; i < 3; ++i)
            if (pending[i] && changed) changed(static_cast<JobList>(i), *pending[i]);
        if (visible && visibleSink) visibleSink(VisibleList());
    });
}

// ---- row services ------------------------------------------------------------------

void PartListStore::SelectByRule(JobList list, int row, bool select) {
    auto& r = m_rows[Index(list)][row];
    const bool onlySelected = m_RunSelectedOnly[Index(list)] != 0;
    if (select) {
        // While only selected rows run, an unselected row gets the focus alone.
        if (!onlySelected || r.selected) r.selected = true;
    } else if (!onlySelected) {
        r.selected = false;
    }
}

void PartListStore::SetPartRowIcon(int row, int image, bool select) {
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(JobList::Part)];
        if (row < 0 || row >= static_cast<int>(rows.size())) return;
        rows[row].icons[0] = image;
        SelectByRule(JobList::Part, row, select);
    }
    Changed(JobList::Part, row, false, select ? row : -1);
}

void PartListStore::SetDisRowIcon(int row) {
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(JobList::Dis)];
        if (row < 0 || row >= static_cast<int>(rows.size())) return;
        rows[row].icons[0] = rowicon::InWork;
        SelectByRule(JobList::Dis, row, true);
    }
    Changed(JobList::Dis, row, false, row);
}

void PartListStore::SetDrillRowIcon(int image, int row) {
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(JobList::Drill)];
        if (row < 0 || row >= static_cast<int>(rows.size())) return;
        rows[row].icons[0] = image;
        SelectByRule(JobList::Drill, row, true);
    }
    Changed(JobList::Drill, row, false, row);
}

void PartListStore::ResetRowIcons(JobList list) {
    {
        Lock l = Hold();
        const bool onlySelected = m_RunSelectedOnly[Index(list)] != 0;
        for (auto& r : m_rows[Index(list)]) {
            r.icons[0] = rowicon::Plain;
            if (!onlySelected) r.selected = false;
        }
    }
    Changed(list, -1, true);
}

void PartListStore::UpdateRowsForFeeder(const std::string& oldId, const std::string& newId, bool vision,
                                        const std::string& value, const std::string& head) {
    // A new feeder has no old identifier: it must not claim every feeder-less row.
    if (oldId.empty()) return;
    {
        Lock l = Hold();
        for (auto& r : m_rows[Index(JobList::Part)]) {
            if (r.cells[partcell::Feeder] != oldId) continue;
            r.cells[partcell::Feeder] = newId;
            r.Set(partcell::Vision, vision ? "Yes" : "No", vision ? rowicon::VisionYes : rowicon::VisionNo);
            r.cells[partcell::FeederValue] = value;
            r.cells[partcell::Head] = head;
        }
        // The old item of the feeder combo goes; "E1" must not take "E10-..." with it.
        auto& items = m_combos[static_cast<int>(InPlaceCombo::Feeders)];
        const std::string prefix = oldId + "-";
        for (auto it = items.begin(); it != items.end(); ++it)
            if (StartsWithNoCase(*it, prefix)) {
                items.erase(it);
                break;
            }
    }
    Changed(JobList::Part);
}

bool PartListStore::IsFeederUsed(const std::string& feederId) const {
    Lock l = Hold();
    for (const auto& r : m_rows[Index(JobList::Part)])
        if (r.cells[partcell::Feeder] == feederId) return true;
    return false;
}

bool PartListStore::ValidatePartRows(const std::vector<FeedRow>& feeders) {
    if (feeders.empty()) {
        plat::MessageBoxOk(PartListText("Message_18"), false, plat::MsgIcon::None, AppTitle());
        return false;
    }
    std::set<std::string> ids;
    for (const auto& f : feeders) ids.insert(f[feedcell::Id]);
    int failed = -1;
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(JobList::Part)];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].cells[partcell::Place] == "No") continue;
            if (!ids.count(rows[i].cells[partcell::Feeder])) {
                failed = static_cast<int>(i);
                break;
            }
        }
    }
    if (failed < 0) return true;
    // The box is answered before the row is marked (it may come from another thread).
    plat::MessageBoxOk(FormatC("%d", failed + 1) + PartListText("NoFeed"), false, plat::MsgIcon::None,
                       AppTitle());
    SetSelected(JobList::Part, failed, true);
    Changed(JobList::Part, failed, false, failed);
    return false;
}

bool PartListStore::ValidatePartRows() { return ValidatePartRows(OpenGroupFeeders()); }

void PartListStore::CopyPartRowsToDisList() {
    CopyPartRowsToDisList(TheBasicSettings().m_Z_DropsGlueToPCBHeight);
}

void PartListStore::CopyPartRowsToDisList(double zDropsGlueToPcbHeight) {
    {
        Lock l = Hold();
        const auto& parts = m_rows[Index(JobList::Part)];
        auto& dis = m_rows[Index(JobList::Dis)];
        const std::string z = FormatC("%0.4f", zDropsGlueToPcbHeight);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            JobRow d(kDisCells);
            d.Set(0, parts[i].cells[0], rowicon::InWork);
            d.cells[1] = parts[i].cells[1];
            d.cells[2] = parts[i].cells[2];
            d.cells[3] = z;
            const int flag = parts[i].icons[partcell::Place];
            if (flag == rowicon::Yes) d.Set(kDisFlagCell, "Yes", rowicon::Yes);
            else if (flag == rowicon::No) d.Set(kDisFlagCell, "No", rowicon::No);
            d.cells[5] = "5";
            d.cells[6] = "10";
            d.cells[7] = d.cells[8] = d.cells[9] = "50";
            dis.insert(dis.begin() + std::min(i, dis.size()), std::move(d));
        }
    }
    Changed(JobList::Dis);
}

// ---- companion files -----------------------------------------------------------------

std::vector<JobRow> PartListStore::DisRowsOf(const std::vector<std::string>& lines) {
    std::vector<JobRow> rows;
    rows.reserve(lines.size());
    for (const std::string& line : lines) {
        auto cells = CutCompanionLine(line);
        JobRow r(kDisCells);
        for (int c = 0; c < kDisCells; ++c) r.cells[c] = std::move(cells[c]);
        r.icons[0] = rowicon::Loaded;
        r.icons[kDisFlagCell] = r.cells[kDisFlagCell] == "Yes" ? rowicon::Yes : rowicon::No;
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<JobRow> PartListStore::DrillRowsOf(const std::vector<std::string>& lines) {
    std::vector<JobRow> rows;
    rows.reserve(lines.size());
    for (const std::string& line : lines) {
        auto cells = CutCompanionLine(line);
        JobRow r(kDrillCells);
        for (int c = 0; c < kDrillCells; ++c) r.cells[c] = std::move(cells[c]);
        rows.push_back(std::move(r));
    }
    return rows;
}

void PartListStore::TakeDisRows(std::vector<JobRow> rows, std::vector<std::string>* lines, int runMode) {
    const bool any = !rows.empty();
    {
        Lock l = Hold();
        m_DisRowCount = static_cast<int>(rows.size());
        m_rows[Index(JobList::Dis)] = std::move(rows);
        if (lines) m_DisLines = std::move(*lines);
    }
    Changed(JobList::Dis);
    if (any) ShowList(runMode == 1 || runMode == 2 ? JobList::Dis : JobList::Part);
}

void PartListStore::TakeDrillRows(std::vector<JobRow> rows, std::vector<std::string>* lines) {
    const bool any = !rows.empty();
    {
        Lock l = Hold();
        m_DrillRowCount = static_cast<int>(rows.size());
        m_rows[Index(JobList::Drill)] = std::move(rows);
        if (lines) m_DrillLines = std::move(*lines);
    }
    Changed(JobList::Drill);
    if (any) ShowList(JobList::Drill);
}

void PartListStore::ParseDisLines(const std::vector<std::string>& lines, int runMode) {
    if (lines.empty()) return;
    TakeDisRows(DisRowsOf(lines), nullptr, runMode);
}

void PartListStore::ParseDrillLines(const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    TakeDrillRows(DrillRowsOf(lines), nullptr);
}

namespace {

void BuildLines(const std::vector<JobRow>& rows, int& count, std::vector<std::string>& lines) {
    count = static_cast<int>(rows.size());
    lines.clear();
    lines.reserve(rows.size());
    for (const auto& row : rows) {
        std::string line;
        std::size_t size = 15;
        for (int c = 0; c < 15; ++c) size += row.Cell(c).size();
        line.reserve(size);
        for (int c = 0; c < 15; ++c) {
            line += row.Cell(c);
            line += '\t';
        }
        lines.push_back(std::move(line));
    }
}

} // namespace

void PartListStore::BuildDisLines() {
    Lock l = Hold();
    BuildLines(m_rows[Index(JobList::Dis)], m_DisRowCount, m_DisLines);
}

void PartListStore::BuildDrillLines() {
    Lock l = Hold();
    BuildLines(m_rows[Index(JobList::Drill)], m_DrillRowCount, m_DrillLines);
}

void PartListStore::FreeDisRows() {
    {
        Lock l = Hold();
        m_DisRowCount = 0;
        m_rows[Index(JobList::Dis)].clear();
    }
    Changed(JobList::Dis);
}

void PartListStore::FreeDrillRows() {
    {
        Lock l = Hold();
        m_DrillRowCount = 0;
        m_rows[Index(JobList::Drill)].clear();
    }
    Changed(JobList::Drill);
}

// ---- in-place editing ---------------------------------------------------------------------

std::vector<std::string> PartListStore::ComboItems(InPlaceCombo combo) const {
    Lock l = Hold();
    return m_combos[static_cast<int>(combo)];
}

int PartListStore::AddComboItem(InPlaceCombo combo, const std::string& text) {
    Lock l = Hold();
    auto& items = m_combos[static_cast<int>(combo)];
    const auto at = std::lower_bound(items.begin(), items.end(), text);
    if (at != items.end() && *at == text) return static_cast<int>(at - items.begin());
    const auto index = at - items.begin();
    items.insert(at, text);
    return static_cast<int>(index);
}

void PartListStore::RemoveComboItem(InPlaceCombo combo, const std::string& text) {
    Lock l = Hold();
    auto& items = m_combos[static_cast<int>(combo)];
    const auto at = std::lower_bound(items.begin(), items.end(), text);
    if (at != items.end() && *at == text) items.erase(at);
}

int PartListStore::FindComboItem(InPlaceCombo combo, const std::string& text) const {
    Lock l = Hold();
    const auto& items = m_combos[static_cast<int>(combo)];
    const auto at = std::lower_bound(items.begin(), items.end(), text);
    return at != items.end() && *at == text ? static_cast<int>(at - items.begin()) : -1;
}

void PartListStore::FillInPlaceCombos(const std::vector<std::string>& dropDownLines) {
    const std::pair<InPlaceCombo, std::size_t> sources[] = {
        {InPlaceCombo::Names, 0}, {InPlaceCombo::Types, 1}, {InPlaceCombo::Angles, 3}};
    for (auto [combo, line] : sources) {
        if (line >= dropDownLines.size()) continue;
        for (const auto& item : SplitRow(dropDownLines[line]))
            if (!item.empty()) AddComboItem(combo, item);
    }
}

void PartListStore::FillPackageCombo(const std::vector<std::string>& packLines) {
    for (const auto& line : packLines) {
        const std::string first = line.substr(0, line.find('\t'));
        if (!first.empty()) AddComboItem(InPlaceCombo::Packages, first);
    }
}

void PartListStore::FillFeederCombo(const std::vector<FeedRow>& feeders) {
    for (const auto& f : feeders) AddComboItem(InPlaceCombo::Feeders, f[feedcell::Id] + "-" + f[3]);
}

void PartListStore::RenameOwnMark(const std::string& oldName, const std::string& newName) {
    // Rows without an own mark hold an empty cell: an unnamed entry claims none of them.
    if (oldName.empty() || oldName == newName) return;
    bool changed = false;
    {
        Lock l = Hold();
        for (auto& r : m_rows[Index(JobList::Part)])
            if (r.cells[partcell::Mark] == oldName) {
                r.cells[partcell::Mark] = newName;
                changed = true;
            }
    }
    if (changed) Changed(JobList::Part);
}

std::vector<std::string> PartListStore::PlacementPartNames() const {
    Lock l = Hold();
    std::vector<std::string> names;
    for (const auto& r : m_rows[Index(JobList::Part)]) names.push_back(r.cells[partcell::Name]);
    return names;
}

CellEdit PartListStore::ClickPartCell(int row, int column) {
    CellEdit edit;
    std::string text;
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(JobList::Part)];
        if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column >= kPartCells) return edit;
        m_PartItem = row;
        m_PartSubItem = column;
        text = rows[row].cells[column];
        if (column == partcell::Place) {
            const bool yes = text == "Yes";
            rows[row].Set(partcell::Place, yes ? "No" : "Yes", yes ? rowicon::No : rowicon::Yes);
            edit.kind = CellEdit::Toggled;
        }
    }
    if (edit.kind == CellEdit::Toggled) {
        Changed(JobList::Part, row);
        return edit;
    }
    switch (column) {
    case partcell::Angle: edit.combo = InPlaceCombo::Angles; break;
    case partcell::Name: edit.combo = InPlaceCombo::Names; break;
    case partcell::Type: edit.combo = InPlaceCombo::Types; break;
    case partcell::Package: edit.combo = InPlaceCombo::Packages; break;
    case partcell::Feeder: edit.combo = InPlaceCombo::Feeders; break;
    default: return edit;  // numbers are edited in the row editor
    }
    edit.kind = CellEdit::Combo;
    if (text.empty()) return edit;
    if (edit.combo != InPlaceCombo::Feeders) {
        edit.selected = AddComboItem(edit.combo, text);
        return edit;
    }
    edit.selected = FindComboItem(edit.combo, text);
    if (edit.selected < 0) {
        const auto items = ComboItems(edit.combo);
        for (std::size_t i = 0; i < items.size(); ++i)
            if (FeederIdOf(items[i]) == text) {
                edit.selected = static_cast<int>(i);
                break;
            }
    }
    return edit;
}

void PartListStore::ClickListCell(JobList list, int row, int column) {
    if (list == JobList::Part) return void(ClickPartCell(row, column));
    {
        Lock l = Hold();
        auto& rows = m_rows[Index(list)];
        if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column >= CellCount(list)) return;
        if (list == JobList::Dis) {
            m_DisItem = row;
            m_DisSubItem = column;
            if (column != kDisFlagCell) return;
            const bool yes = rows[row].cells[column] == "Yes";
            rows[row].Set(column, yes ? "No" : "Yes", yes ? rowicon::No : rowicon::Yes);
        } else {
            m_DrillItem = row;
            m_DrillSubItem = column;
            return;
        }
    }
    Changed(list, row);
}

void PartListStore::CommitPartCell(const std::string& text) {
    int row;
    {
        Lock l = Hold();
        row = m_PartItem;
    }
    SetCell(JobList::Part, row, m_PartSubItem, text);
}

void PartListStore::CompleteFeederRow(const std::string& comboText, const std::vector<FeedRow>& feeders) {
    const std::string id = FeederIdOf(comboText);
    const FeedRow* feeder = nullptr;
    for (const auto& f : feeders)
        if (f[feedcell::Id] == id) {
            feeder = &f;
            break;
        }
    if (!feeder) return;  // the cell keeps the combo text
    int row;
    {
        Lock l = Hold();
        row = m_PartItem;
        auto& rows = m_rows[Index(JobList::Part)];
        if (row < 0 || row >= static_cast<int>(rows.size())) return;
        auto& r = rows[row];
        r.cells[partcell::FeederValue] = (*feeder)[3];
        const bool vision = HasFlagYes((*feeder)[feedcell::Camera]) || HasFlagYes((*feeder)[feedcell::Flying]);
        r.Set(partcell::Vision, vision ? "Yes" : "No", vision ? rowicon::VisionYes : rowicon::VisionNo);
        r.cells[partcell::Head] = (*feeder)[10];
        r.cells[partcell::Feeder] = id;
    }
    Changed(JobList::Part, row);
}

} // namespace smt
