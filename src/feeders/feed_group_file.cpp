#include "feeders/feed_group_file.h"

#include <algorithm>
#include <string_view>

#include "base/numtext.h"
#include "feeders/feeder_words.h"
#include "platform/msgbox.h"

namespace smt {

namespace {

// Cells of a line, each up to the next TAB, at most `maxCells` (the rest dropped).
// Text after the last TAB is not a cell.
std::vector<std::string> Cells(std::string_view line, std::size_t maxCells) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (cells.size() < maxCells) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) break;
        cells.emplace_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    return cells;
}

// The text up to the next TAB from `start` (to the end when there is none);
// `start` moves past that TAB.
std::string_view NextField(std::string_view line, std::size_t& start) {
    if (start >= line.size()) {
        start = line.size();
        return {};
    }
    const std::size_t tab = line.find('\t', start);
    const std::size_t end = tab == std::string_view::npos ? line.size() : tab;
    std::string_view field = line.substr(start, end - start);
    start = tab == std::string_view::npos ? line.size() : tab + 1;
    return field;
}

int NonNegative(int v) { return v < 0 ? 0 : v; }

// A TAB inside a cell would shift every later cell of its line.
std::string CellText(const std::string& text) {
    std::string out = text;
    for (char& ch : out)
        if (ch == '\t') ch = ' ';
    return out;
}

struct LineReader {
    const std::vector<std::string>& lines;
    std::size_t pos = 0;
    std::size_t Remaining() const { return lines.size() - pos; }
    const std::string& Take() { return lines[pos++]; }
};

// One group from the reader's position; false when the lines end before it does.
bool ReadGroup(LineReader& in, FeedGroup& group) {
    if (in.Remaining() == 0) return false;
    std::string_view head = in.Take();
    std::size_t at = 0;
    group.name = std::string(NextField(head, at));
    group.description = std::string(NextField(head, at));
    const std::size_t n = static_cast<std::size_t>(NonNegative(AtoI(head.substr(at))));
    // n feeder lines and at least n tray lines must follow.
    if (n > in.Remaining() / 2) return false;

    group.rows.assign(n, FeedRow{});
    for (std::size_t j = 0; j < n; ++j) {
        std::string_view line = in.Take();
        FeedRow& row = group.rows[j];
        std::size_t at = 0;
        for (std::string& cell : row) {
            const std::size_t tab = line.find('\t', at);
            if (tab == std::string_view::npos) break;
            cell.assign(line.substr(at, tab - at));
            at = tab + 1;
        }
        row[feedcell::FeedMode] = TranslateFeedMode(row[feedcell::FeedMode]);
        row[feedcell::OwnSpeed] = TranslateOwnSpeedCell(row[feedcell::OwnSpeed]);
    }

    group.trays.assign(n, TrayRecord{});
    for (std::size_t j = 0; j < n; ++j) {
        if (in.Remaining() == 0) return false;
        const std::vector<std::string> v = Cells(in.Take(), 6);
        auto cell = [&v](std::size_t i) -> std::string_view { return i < v.size() ? v[i] : std::string_view{}; };
        TrayRecord& tray = group.trays[j];
        tray.rows = NonNegative(AtoI(cell(0)));
        tray.columns = NonNegative(AtoI(cell(1)));
        if (tray.columns > kMaxTrayColumns) tray.columns = kMaxTrayColumns;
        tray.currentRow = AtoI(cell(2));
        if (tray.currentRow == -1) tray.currentRow = 0;
        tray.currentColumn = AtoI(cell(3));
        tray.rowPitch = AtoF(cell(4));
        tray.columnPitch = AtoF(cell(5));
        if (tray.rows == 0) continue;
        if (static_cast<std::size_t>(tray.rows) > in.Remaining()) return false;
        tray.grid.reserve(static_cast<std::size_t>(tray.rows));
        for (int r = 0; r < tray.rows; ++r)
            tray.grid.push_back(Cells(in.Take(), static_cast<std::size_t>(tray.columns)));
    }
    return true;
}

} // namespace

bool ReadFeedGroupTable(FeedGroupTable& table, std::vector<std::string>& lines, const std::string& emptyMessage) {
    {
        std::lock_guard<std::recursive_mutex> lock(table.m_mutex);
        if (table.m_wasRead) return false;
        if (!lines.empty()) {
            LineReader in{lines};
            std::string_view head = in.Take();
            std::size_t at = 0;
            const int count = NonNegative(AtoI(NextField(head, at)));
            const std::string openName(NextField(head, at));
            // Every group takes at least one line: no slot beyond what the lines can fill.
            const int loaded = static_cast<std::size_t>(count) > in.Remaining()
                                   ? static_cast<int>(in.Remaining()) : count;
            table.AllocateFeedGroupTable(loaded);
            table.m_openName = openName;
            int read = 0;
            for (int g = 0; g < loaded; ++g) {
                FeedGroup group;
                if (!ReadGroup(in, group)) break;  // the lines end early: keep what is complete
                // A nameless group is never written back; its slot stays free.
                if (group.Used()) {
                    table.m_slots[static_cast<std::size_t>(read)] = std::move(group);
                    ++table.m_groupCount;
                }
                ++read;
            }
            lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(in.pos));
            table.m_wasRead = true;
            return true;
        }
        // No lines: an empty table, as if the head line were "0" and an empty name.
        table.AllocateFeedGroupTable(0);
        table.m_openName.clear();
        table.m_wasRead = true;
    }
    plat::MessageBoxOk(emptyMessage);
    return false;
}

void WriteFeedGroupTable(FeedGroupTable& table, std::vector<std::string>& lines) {
    std::lock_guard<std::recursive_mutex> lock(table.m_mutex);
    if (!table.m_wasRead) return;
    std::vector<std::string> out;
    int used = 0;
    for (const FeedGroup& g : table.m_slots) used += g.Used() ? 1 : 0;
    out.push_back(FormatInt(used) + "\t" + CellText(table.m_openName) + "\t");
    for (FeedGroup& g : table.m_slots) {
        if (!g.Used()) continue;
        out.push_back(CellText(g.name) + "\t" + CellText(g.description) + "\t" + FormatInt(g.Count()) + "\t");
        for (const FeedRow& row : g.rows) {
            std::string line;
            for (const std::string& cell : row) {
                line += CellText(cell);
                line += '\t';
            }
            out.push_back(std::move(line));
        }
        for (TrayRecord& t : g.trays) {
            if (t.currentRow == -1) t.currentRow = 0;
            out.push_back(FormatC("%d\t%d\t%d\t%d\t%.4f\t%.4f\t", t.rows, t.columns, t.currentRow,
                                  t.currentColumn, t.rowPitch, t.columnPitch));
            // The pockets each row holds, at most the columns value: a row read short
            // stays short (the reader takes missing pockets as empty) instead of being
            // padded out to every column a damaged tray line claims.
            const std::size_t columns = t.columns > 0 ? static_cast<std::size_t>(t.columns) : 0;
            for (int r = 0; r < t.rows; ++r) {
                const std::size_t row = static_cast<std::size_t>(r);
                const std::size_t held = row < t.grid.size() ? std::min(t.grid[row].size(), columns) : 0;
                std::string line;
                for (std::size_t c = 0; c < held; ++c) {
                    line += CellText(t.grid[row][c]);
                    line += '\t';
                }
                out.push_back(std::move(line));
            }
        }
    }
    lines = std::move(out);
}

} // namespace smt
