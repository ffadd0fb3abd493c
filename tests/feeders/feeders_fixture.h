// Feeder tables for tests: file lines built by hand, a plain feeder list and a
// plain pocket grid standing in for the panel's list and the tray dialog's grid.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "feeders/feed_group_file.h"
#include "feeders/feed_group_table.h"

namespace smt::test {

class FakeFeedList : public FeedListRows {
public:
    std::vector<FeedListItem> items;
    void DeleteAllItems() override { items.clear(); }
    void InsertItem(int at, const FeedListItem& item) override { items.insert(items.begin() + at, item); }
    int ItemCount() const override { return static_cast<int>(items.size()); }
    FeedListItem Item(int index) const override { return items.at(static_cast<std::size_t>(index)); }
};

class FakeTrayGrid : public TrayGridList {
public:
    std::vector<std::pair<std::string, int>> columns;  // caption, width
    std::map<std::pair<int, int>, std::pair<std::string, int>> cells;  // (row, column) -> text, icon
    void DeleteAll() override { columns.clear(), cells.clear(); }
    void InsertColumn(int, const std::string& caption, int width) override { columns.emplace_back(caption, width); }
    void InsertRow(int row, const std::string& text) override { cells[{row, 0}] = {text, feedicon::None}; }
    void SetPocket(int r, int c, const std::string& text, int icon) override { cells[{r, c}] = {text, icon}; }
    std::string PocketText(int r, int c) const override { return cells.count({r, c}) ? cells.at({r, c}).first : ""; }
    int PocketIcon(int r, int c) const override { return cells.count({r, c}) ? cells.at({r, c}).second : feedicon::None; }
};

// The words of the three languages (the German speed names are the English ones).
inline void FillFeederWords() {
    const char* kinds[27] = {"集中飞达", "自动飞达", "振动飞达", "托盘", "0402", "48", "拖针", "CL_浸渍站", "托盘_浸渍站",
                             "Integration", "Auto", "Vibration", "Tray", "0402", "48", "Drag", "CL_DIP", "Tray_DIP",
                             "Sammel", "Automatik", "Vibration", "Tablett", "0402", "48", "Schlepp", "CL_Tauch", "Tablett_Tauch"};
    const char* speeds[16] = {"复位速度", "手控速度", "取料速度", "贴装速度", "视觉对中速度", "视觉贴装速度", "自动换吸嘴速度",
                              "取芯片速度1", "Reset speed", "Manual control", "Picking speed", "Mounting speed",
                              "Visual aglinment speed", "Visual mounting speed", "Nozzle change speed", "Pick chip speed 1"};
    for (std::size_t i = 0; i < 27; ++i) g_FeedModeNames[i] = kinds[i];
    for (std::size_t i = 0; i < 24; ++i) g_SpeedNames[i] = speeds[i < 16 ? i : i - 8];
}

// A feeder line: id, kind and the three flag cells; every other cell "c<k>".
inline std::string FeederLine(const std::string& id, const std::string& kind = "集中飞达") {
    std::string line;
    for (int k = 0; k < kFeedCells; ++k) {
        const char* fixed[] = {"Yes/Camera 1", "No/10/20", nullptr};
        std::string cell = k == 0 ? id : k == 14 ? kind : k == 23 ? "Yes/取料速度" : "c" + std::to_string(k);
        if (k == 12 || k == 13) cell = fixed[k - 12];
        line += cell + "\t";
    }
    return line;
}

// Lines of a table: feeders whose id starts with G have a full tray of 2 rows x 3
// pockets (pitches 8 and 5), the others a tray line of zeros.
inline std::vector<std::string> TableLines(const std::string& open,
                                           const std::vector<std::pair<std::string, std::vector<std::string>>>& groups) {
    std::vector<std::string> lines{std::to_string(groups.size()) + "\t" + open + "\t"};
    for (const auto& [name, ids] : groups) {
        lines.push_back(name + "\tdesc " + name + "\t" + std::to_string(ids.size()) + "\t");
        for (const auto& id : ids) lines.push_back(FeederLine(id, id[0] == 'G' ? "托盘" : "集中飞达"));
        for (const auto& id : ids) {
            const bool tray = id[0] == 'G';
            lines.push_back(tray ? "2\t4\t0\t0\t8.0000\t5.0000\t" : "0\t0\t0\t0\t0.0000\t0.0000\t");
            if (tray) lines.insert(lines.end(), {"Yes/1\tYes/1\tYes/2\tYes/3\t", "Yes/2\tYes/4\tYes/5\tYes/6\t"});
        }
    }
    return lines;
}

inline void ReadTable(FeedGroupTable& table, std::vector<std::string> lines) {
    table.DestroyFeedGroupTable();
    ReadFeedGroupTable(table, lines);
}

// The identifiers of a group's rows, space-separated.
inline std::string Ids(const FeedGroupTable& table, const std::string& group) {
    const auto g = table.CopyGroup(table.FindFeedGroupByName(group));
    if (!g) return "<none>";
    std::string out;
    for (const FeedRow& r : g->rows) out += (out.empty() ? "" : " ") + r[0];
    return out;
}

} // namespace smt::test
