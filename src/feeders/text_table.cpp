#include "feeders/text_table.h"

#include <algorithm>

#include "base/numtext.h"

namespace smt {

namespace {

// Decodes UTF-8 into UTF-16 code units; a malformed byte stands for itself.
std::u16string Utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
        bool ok = c < 0x80 || (c >= 0xC0 && c < 0xF8);
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
            continue;
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

} // namespace

bool LessByCodeUnits(std::string_view a, std::string_view b) { return Utf16(a) < Utf16(b); }

TextRow TextTable::Fit(TextRow row) const {
    row.resize(static_cast<std::size_t>(m_cells));
    return row;
}

void TextTable::ParseLines(const std::vector<std::string>& lines) {
    m_rows.clear();
    m_rows.reserve(lines.size());
    for (const std::string& line : lines) m_rows.push_back(Fit(SplitRow(line)));
}

std::vector<std::string> TextTable::JoinLines() const {
    std::vector<std::string> lines;
    lines.reserve(m_rows.size());
    for (const TextRow& row : m_rows) lines.push_back(JoinRow(row));
    return lines;
}

int TextTable::FindByName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (m_rows[i][0] == name) return i;
    return -1;
}

bool TextTable::IsNameTaken(std::string_view name, int remembered) const {
    for (int i = 0; i < Count(); ++i)
        if (i != remembered && m_rows[i][0] == name) return true;
    return false;
}

void TextTable::Append(TextRow row) { m_rows.push_back(Fit(std::move(row))); }

bool TextTable::Modify(int remembered, TextRow row) {
    if (!IsRow(remembered)) return false;
    m_rows[remembered] = Fit(std::move(row));
    return true;
}

bool TextTable::Delete(int remembered) {
    if (!IsRow(remembered)) return false;
    m_rows.erase(m_rows.begin() + remembered);
    return true;
}

void TextTable::SortByColumn(int column) {
    if (column < 0 || column >= m_cells) return;
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [column](const TextRow& a, const TextRow& b) { return LessByCodeUnits(a[column], b[column]); });
}

} // namespace smt
