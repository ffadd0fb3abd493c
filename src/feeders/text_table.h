// A library kept as rows of a fixed number of text cells: parsed from and joined to
// table-file lines, searched by name (cell 0), sorted by one column, and edited
// through a remembered row the way the library windows do it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace smt {

using TextRow = std::vector<std::string>;

// a < b comparing UTF-16 code units one by one (so "10.0000" before "9.0000").
bool LessByCodeUnits(std::string_view a, std::string_view b);

class TextTable {
public:
    explicit TextTable(int cells) : m_cells(cells) {}

    int CellCount() const { return m_cells; }
    // One row per line: TAB-terminated cells in order; text after the last TAB and
    // cells beyond the row's width are dropped, missing cells stay empty.
    void ParseLines(const std::vector<std::string>& lines);
    // Every row's cells, each followed by a TAB.
    std::vector<std::string> JoinLines() const;

    // Index of the first row whose cell 0 equals `name` exactly, -1 when none.
    int FindByName(std::string_view name) const;
    // A row other than `remembered` (every row when it is -1) is named `name`.
    bool IsNameTaken(std::string_view name, int remembered) const;
    bool IsRow(int row) const { return row >= 0 && row < Count(); }

    // Appends a row, sized to the table's width.
    void Append(TextRow row);
    // Rewrites the remembered row; false (nothing done) when it is not a row.
    bool Modify(int remembered, TextRow row);
    // Removes the remembered row; false when it is not a row. The remembered
    // number is the caller's and stays, so a second Delete takes the row that
    // moved up.
    bool Delete(int remembered);
    // Stable ascending sort by one column's text.
    void SortByColumn(int column);

    int Count() const { return static_cast<int>(m_rows.size()); }
    std::vector<TextRow>& Rows() { return m_rows; }
    const std::vector<TextRow>& Rows() const { return m_rows; }
    void Free() { m_rows.clear(); }

private:
    TextRow Fit(TextRow row) const;
    int m_cells;
    std::vector<TextRow> m_rows;
};

} // namespace smt
