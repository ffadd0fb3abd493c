#include "joblist/cad_layouts.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "base/numtext.h"
#include "platform/text.h"

namespace smt {

const std::array<ImportFormat, kImportFormatCount> kImportFormats{{
    {"Protel99SE.txt", "txt文件(*.txt)", "txt"},
    {"Protel99SE.PIK", "PIK文件(*.PIK)", "PIK"},
    {"Altium Designer16.txt", "txt文件(*.txt)", "txt"},
    {"Altium Designer20.txt", "txt文件(*.txt)", "txt"},
    {"Altium Designer20.csv", "csv文件(*.csv)", "csv"},
    {"PowerPCB.txt", "txt文件(*.txt)", "txt"},
    {"ALLEGRO.txt", "txt文件(*.txt)", "txt"},
    {"Eagle.mnt", "mnt文件(*.mnt *.mnb)", "mnt"},
    {"KiCad.pos", "pos文件(*.pos)", "pos"},
    {"Excel.csv", "csv文件(*.csv)", "csv"},
    {"Proteus.pkp", "pkp文件(*.pkp)", "pkp"},
    {"Mentor.txt", "txt文件(*.txt)", "txt"},
    {"PADS.txt", "txt文件(*.txt)", "txt"},
    {"PADS.txt_New", "txt文件(*.txt)", "txt"},
    {"PADS.csv", "csv文件(*.csv)", "csv"},
    {"PADS.318", "318文件(*.318)", "318"},
    {"GerbCam.csv", "csv文件(*.csv)", "csv"},
    {"GerbCam.txt", "txt文件(*.txt)", "txt"},
    {"ALLEGRO.csv", "csv文件(*.csv)", "csv"},
    {"ALLEGROnew.txt", "txt文件(*.txt)", "txt"},
    {"SpeedLayout.txt", "txt文件(*.txt)", "txt"},
}};

// ---- decoding -------------------------------------------------------------------

std::string DecodeCadText(std::string_view bytes) {
    auto u16 = [&](bool little) {
        std::u16string wide;
        wide.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
            const auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
            wide.push_back(static_cast<char16_t>(lo | (hi << 8)));
        }
        return plat::Utf16ToUtf8(wide);
    };
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        return u16(true);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF)
        return u16(false);
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    if (plat::IsValidUtf8(bytes)) return std::string(bytes);
    return plat::GbkToUtf8(bytes);
}

// ---- the recipe table ---------------------------------------------------------------

namespace {

enum class Header { None, Lines, EmptyLines };
enum Special { kPlain, kDropLastRow, kPowerPcb, kAllegroTxt, kAllegroNew, kEagle, kKiCad };

// Steps: a digit is a field to that cell, '-' a skipped field, "rN" the rest of
// the line to cell N, "lN" the rest after leading separators to cell N, "tN" the
// rest without blanks around it (a last column that may hold blanks itself).
struct Layout {
    Header header;
    int count;       // lines, or empty lines
    int extraLines;  // lines dropped after the empty lines
    char sep;
    const char* steps;
    Special special;
};

constexpr std::array<Layout, kImportFormatCount> kLayouts{{
    {Header::EmptyLines, 1, 0, ' ', "0123----64t5", kPlain},
    {Header::EmptyLines, 1, 0, ' ', "0123----6l4", kDropLastRow},
    {Header::EmptyLines, 1, 0, ' ', "0123----64t5", kPlain},
    {Header::EmptyLines, 3, 1, ' ', "0561234", kPlain},
    {Header::Lines, 13, 0, ',', "5016423", kPlain},
    {Header::Lines, 6, 0, ',', "", kPowerPcb},
    {Header::Lines, 1, 0, ' ', "5234", kAllegroTxt},
    {Header::None, 0, 0, ' ', "02345r1", kEagle},
    {Header::Lines, 5, 0, ' ', "051234l6", kKiCad},
    {Header::Lines, 1, 0, ',', "501-6423", kPlain},
    {Header::Lines, 12, 0, ',', "051642r3", kPlain},
    {Header::Lines, 1, 0, ' ', "512340-l6", kPlain},
    {Header::Lines, 1, 0, '\t', "051-6423", kPlain},
    {Header::Lines, 1, 0, '\t', "10--6423", kPlain},
    {Header::Lines, 1, 0, ',', "10--6423", kPlain},
    {Header::None, 0, 0, ' ', "0123r4", kPlain},
    {Header::Lines, 9, 0, ',', "01234", kPlain},
    {Header::Lines, 9, 0, ' ', "012345", kPlain},
    {Header::Lines, 1, 0, ',', "0-51234", kPlain},
    {Header::Lines, 5, 0, ' ', "0-51234", kAllegroNew},
    {Header::Lines, 6, 0, ';', "0235-4r1", kPlain},
}};

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}
std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

// Blanks collapse; any other separator, the tab too, ends exactly one field, so an
// empty field of a tab- or comma-separated line keeps its place.
bool Collapses(char sep) { return sep == ' '; }

// The cutter of one line.
class Cutter {
public:
    Cutter(std::string_view line, char sep) : m_rest(line), m_sep(sep), m_collapse(Collapses(sep)) {}

    void Lead(char c) {
        while (!m_rest.empty() && m_rest.front() == c) m_rest.remove_prefix(1);
    }
    // The next field: a quoted field loses its quotes; the last field of a line is
    // taken even when no separator follows it.
    std::string Field() { return std::string(FieldView(m_sep, m_collapse)); }
    std::string FieldTo(char sep, bool collapse) { return std::string(FieldView(sep, collapse)); }
    // The same as a view into the line, so that fields passed over cost nothing.
    std::string_view FieldView() { return FieldView(m_sep, m_collapse); }
    std::string_view FieldView(char sep, bool collapse) {
        if (collapse) Lead(sep);
        if (m_rest.empty()) return {};
        if (m_rest.front() == '"') {
            const std::size_t close = m_rest.find('"', 1);
            if (close != std::string_view::npos) {
                const std::string_view field = m_rest.substr(1, close - 1);
                m_rest.remove_prefix(close + 1);
                const std::size_t next = m_rest.find(sep);
                m_rest = next == std::string_view::npos ? std::string_view{} : m_rest.substr(next + 1);
                return field;
            }
        }
        const std::size_t next = m_rest.find(sep);
        const std::string_view field = m_rest.substr(0, next);
        m_rest = next == std::string_view::npos ? std::string_view{} : m_rest.substr(next + 1);
        return field;
    }
    std::string Rest(bool lead) {
        if (lead) Lead(m_sep);
        std::string_view r = m_rest;
        m_rest = {};
        if (r.size() >= 2 && r.front() == '"' && r.back() == '"') r = r.substr(1, r.size() - 2);
        return std::string(r);
    }
    void Drop(std::size_t n) { m_rest.remove_prefix(std::min(n, m_rest.size())); }
    bool Empty() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
    char m_sep;
    bool m_collapse;
};

void RunSteps(Cutter& cut, const char* steps, ImportRow& row) {
    for (const char* s = steps; *s; ++s) {
        if (*s == '-') {
            cut.Field();
        } else if (*s == 'r' || *s == 'l' || *s == 't') {
            const char kind = *s;
            ++s;
            row[*s - '0'] = kind == 't' ? Trim(cut.Rest(true)) : cut.Rest(kind == 'l');
        } else {
            row[*s - '0'] = cut.Field();
        }
    }
}

// The fields of a line one at a time, as views (blanks around them dropped unless
// blanks separate them), until `take` says stop. A line of a million separators
// costs no memory per field.
template <typename Take>
void EachField(std::string_view line, char sep, Take take) {
    Cutter cut(line, sep);
    const bool collapse = Collapses(sep);
    for (std::size_t n = 0; !cut.Empty(); ++n) {
        const std::string_view f = cut.FieldView();
        if (collapse && f.empty() && cut.Empty()) break;
        if (!take(n, collapse ? f : TrimView(f))) break;
    }
}

// The first `limit` fields of a line.
std::vector<std::string> SplitAll(std::string_view line, char sep, std::size_t limit) {
    std::vector<std::string> out;
    EachField(line, sep, [&](std::size_t, std::string_view f) {
        out.emplace_back(f);
        return out.size() < limit;
    });
    return out;
}

// Blank, or only empty fields ("" or ",,,,").
bool IsBlank(std::string_view s) {
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '"' && c != ',' && c != ';') return false;
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size() && !IsBlank(text.substr(start))) lines.push_back(text.substr(start));
    return lines;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The cell a column name stands for, -1 for none.
int CellOfName(std::string_view raw) {
    raw = TrimView(raw);
    // No name of the table is near this long, even with a unit after it.
    if (raw.empty() || raw.size() > 64) return -1;
    std::string n = Lower(raw);
    while (!n.empty() && n.front() == '#') n.erase(0, 1);
    n = Trim(n);
    if (const std::size_t p = n.find('('); p != std::string::npos) n = Trim(n.substr(0, p));
    static const struct {
        const char* name;
        int cell;
    } kNames[] = {{"designator", 0}, {"ref", 0},      {"refdes", 0},      {"footprint", 1}, {"package", 1},
                  {"symbol_name", 1}, {"center-x", 2}, {"mid x", 2},     {"posx", 2},      {"symbol_x", 2},
                  {"center-y", 3},   {"mid y", 3},    {"posy", 3},       {"symbol_y", 3},  {"rotation", 4},
                  {"rot", 4},        {"comment", 5},  {"val", 5},        {"value", 5},     {"layer", 6},
                  {"side", 6},       {"tb", 6}};
    for (const auto& k : kNames)
        if (n == k.name) return k.cell;
    return -1;
}

struct NamedColumns {
    int line = -1;
    char sep = ' ';
    std::array<int, kImportCells> column{-1, -1, -1, -1, -1, -1, -1};
    int last = -1;  // the greatest column named
};

// The first line among the first ones that names designator, X and Y.
NamedColumns FindNamedColumns(const std::vector<std::string_view>& lines, char layoutSep) {
    // Blanks last: a header with other separators may hold blanks inside names.
    const char seps[] = {layoutSep == ' ' ? '\t' : layoutSep, '\t', ',', ';', '!', ' '};
    const std::size_t limit = std::min<std::size_t>(lines.size(), 40);
    for (std::size_t i = 0; i < limit; ++i) {
        for (char sep : seps) {
            if (sep != ' ' && lines[i].find(sep) == std::string_view::npos) continue;
            std::string_view line = lines[i];
            while (!line.empty() && line.front() == '#') line.remove_prefix(1);
            NamedColumns found;
            EachField(line, sep, [&](std::size_t c, std::string_view name) {
                const int cell = CellOfName(name);
                if (cell >= 0 && found.column[cell] < 0) found.column[cell] = static_cast<int>(c);
                return c < static_cast<std::size_t>(INT32_MAX);
            });
            if (found.column[0] >= 0 && found.column[2] >= 0 && found.column[3] >= 0) {
                found.line = static_cast<int>(i);
                found.sep = sep;
                for (int c : found.column) found.last = std::max(found.last, c);
                return found;
            }
        }
    }
    return {};
}

enum class Unit { None, Mm, Mil, Inch };

Unit UnitWord(std::string_view w) {
    const std::string s = Lower(Trim(w));
    if (s.rfind("mm", 0) == 0 || s.rfind("millimeter", 0) == 0) return Unit::Mm;
    if (s.rfind("mil", 0) == 0) return Unit::Mil;
    if (s.rfind("inch", 0) == 0) return Unit::Inch;
    return Unit::None;
}

// The unit a header line states ("Units used: mil", "## Unit = mm, ...",
// "UUNITS = MILS", a column named "Center-X(mil)").
Unit HeaderUnit(const std::vector<std::string_view>& lines, std::size_t end) {
    for (std::size_t i = 0; i < end && i < lines.size(); ++i) {
        const std::string l = Lower(lines[i]);
        for (const char* key : {"units used:", "unit =", "uunits ="}) {
            const std::size_t p = l.find(key);
            if (p == std::string::npos) continue;
            const Unit u = UnitWord(std::string_view(l).substr(p + std::string_view(key).size()));
            if (u != Unit::None) return u;
        }
        const std::size_t p = l.find("-x(");
        if (p != std::string::npos) {
            const Unit u = UnitWord(std::string_view(l).substr(p + 3));
            if (u != Unit::None) return u;
        }
    }
    return Unit::None;
}

// The length of the leading decimal number of `s` (after blanks), 0 for none.
std::size_t NumberLength(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    const std::size_t digits = i;
    bool any = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, any = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, any = true;
    }
    return any && i > digits ? i : 0;
}

// A coordinate without a unit takes the header's unit; a "mil" number in a layout
// whose import keeps the text is converted here, so it never reads as mm.
void ConvertCoordinate(std::string& cell, Unit header, int format) {
    const std::size_t n = NumberLength(cell);
    if (n == 0) return;
    const std::string after = Lower(Trim(std::string_view(cell).substr(n)));
    const double v = AtoF(cell);
    if (after.empty()) {
        if (header == Unit::Mil) cell = FormatMm(v * 0.0254);
        else if (header == Unit::Inch) cell = FormatMm(v * 25.4);
        return;
    }
    const bool importConverts = format <= 3 || format == 10;
    if (!importConverts && after == "mil") cell = FormatMm(v * 0.0254);
}

void CutPowerPcb(std::string_view line, ImportRow& row) {
    const std::size_t comma = line.find(',');
    if (comma != std::string_view::npos) line.remove_prefix(comma + 1);
    Cutter c(line, ',');
    c.Lead(' ');
    row[1] = c.FieldTo(' ', true);
    c.Lead(' ');
    c.Lead(',');
    c.Lead(' ');
    row[2] = c.FieldTo(',', true);
    c.Lead(' ');
    row[3] = c.FieldTo(',', true);
    c.Lead(' ');
    row[4] = c.FieldTo(',', true);
    c.Lead(' ');
    c.Lead(',');
    row[5] = c.FieldTo(' ', true);
}

// Allegro's own place_txt report: designator, X, Y, rotation, [mirror], symbol.
bool CutAllegroReport(std::string_view line, ImportRow& row) {
    const std::vector<std::string> t = SplitAll(line, ' ', 7);  // more than six fields is no report line
    const bool mirrored = t.size() == 6 && (t[4] == "m" || t[4] == "M");
    if ((t.size() != 5 && !mirrored) || StartsWithNumber(t[0]) || !StartsWithNumber(t[1]) ||
        !StartsWithNumber(t[2]) || !StartsWithNumber(t[3]))
        return false;
    row[0] = t[0];
    row[2] = t[1];
    row[3] = t[2];
    row[4] = t[3];
    row[1] = t.back();
    return true;
}

void CutAllegroTxt(std::string_view line, ImportRow& row) {
    if (CutAllegroReport(line, row)) return;
    Cutter c(line, ' ');
    RunSteps(c, "5234", row);
    c.Drop(3);
    row[1] = c.Field();
}

// The line after "UUNITS = ..." when the file is Allegro's report without a
// column header; npos otherwise.
std::size_t AllegroReportStart(const std::vector<std::string_view>& lines) {
    for (std::size_t i = 0; i < lines.size() && i < 5; ++i)
        if (lines[i].rfind("UUNITS", 0) == 0) return i + 1;
    return std::string::npos;
}

bool IsSideWord(std::string_view s) {
    const std::string l = Lower(Trim(s));
    return l == "top" || l == "bottom" || l == "bot";
}

// The whole text (blanks around it aside) is one decimal number.
bool IsWholeNumber(std::string_view s) {
    const std::string t = Trim(s);
    return !t.empty() && NumberLength(t) == t.size();
}

// A blank-separated line as words, each with its place in the line. The readers
// look at the first few words and the last few only, so only those are kept: a
// line of a million words costs no memory per word.
struct Word {
    std::size_t at = 0;
    std::string_view text;
};
class Words {
public:
    static constexpr std::size_t kHead = 4, kTail = 8;
    explicit Words(std::string_view line) {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            const std::size_t from = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
            if (i == from) continue;
            const Word w{from, line.substr(from, i - from)};
            if (m_count < kHead) m_head[m_count] = w;
            m_tail[m_count % kTail] = w;
            ++m_count;
        }
    }
    std::size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    // Word i, for i among the first kHead or the last kTail words.
    const Word& operator[](std::size_t i) const { return i < kHead ? m_head[i] : m_tail[i % kTail]; }
    const Word& front() const { return m_head[0]; }
    const Word& back() const { return (*this)[m_count - 1]; }

private:
    std::array<Word, kHead> m_head{};
    std::array<Word, kTail> m_tail{};
    std::size_t m_count = 0;
};

// The text between two words, blanks around it dropped and one pair of quotes
// around it removed.
std::string Between(std::string_view line, const Word& before, const Word& after) {
    const std::size_t from = before.at + before.text.size();
    std::string mid = Trim(line.substr(from, after.at - from));
    if (mid.size() >= 2 && mid.front() == '"' && mid.back() == '"') mid = mid.substr(1, mid.size() - 2);
    return mid;
}

// Eagle's mount reports come in two kinds. The comma kind, "name, x, y, side,
// angle", holds mils: they are converted here, since the import keeps this
// layout's text. The blank kind, "name x y angle value package", holds mm; a
// package name has no blanks, so the package is the last word and the value is
// whatever stands before it, nothing or several words.
void CutEagle(std::string_view line, ImportRow& row) {
    if (line.find(',') != std::string_view::npos) {
        const std::vector<std::string> f = SplitAll(line, ',', 7);
        if (f.size() >= 5 && IsWholeNumber(f[1]) && IsWholeNumber(f[2]) && IsSideWord(f[3])) {
            row[0] = f[0];
            row[2] = FormatMm(AtoF(f[1]) * 0.0254);
            row[3] = FormatMm(AtoF(f[2]) * 0.0254);
            row[6] = f[3];
            row[4] = f[4];
            if (f.size() > 5) row[5] = f[5];
            if (f.size() > 6) row[1] = f[6];
            return;
        }
    }
    const Words w(line);
    static constexpr int kFirstCells[] = {0, 2, 3, 4};  // name, X, Y, angle
    for (std::size_t i = 0; i < w.size() && i < 4; ++i) row[kFirstCells[i]] = std::string(w[i].text);
    if (w.size() <= 4) return;
    row[1] = std::string(w.back().text);
    if (w.size() > 5) row[5] = Between(line, w[3], w.back());
}

// KiCad's position file: the reference first, then the value (which may hold
// blanks), then package, X, Y, rotation and side, the last five known from the
// right end of the line. A line without its side word ends with the rotation.
void CutKiCad(std::string_view line, ImportRow& row) {
    const Words w(line);
    const std::size_t n = w.size();
    const bool side = n >= 7 && IsSideWord(w[n - 1].text);
    const bool noSide = !side && n >= 6 && IsWholeNumber(w[n - 1].text);
    if (!side && !noSide) {
        Cutter c(line, ' ');
        RunSteps(c, "051234l6", row);
        return;
    }
    const std::size_t last = side ? n - 1 : n;  // one past the rotation
    row[0] = std::string(w[0].text);
    row[1] = std::string(w[last - 4].text);
    row[2] = std::string(w[last - 3].text);
    row[3] = std::string(w[last - 2].text);
    row[4] = std::string(w[last - 1].text);
    row[5] = Between(line, w[0], w[last - 4]);
    if (side) row[6] = std::string(w[n - 1].text);
}

// A file cut by one layout, before any row is judged: the rows with the index of
// the line each came from, the lines dropped as header, and the row the layout
// drops as closing line.
struct RawRead {
    std::vector<std::string_view> lines;  // views into the text given to CutText
    bool named = false;
    Unit unit = Unit::None;
    std::vector<ImportRow> rows;
    std::vector<int> lineOfRow;
    std::vector<ImportRow> header;  // the header lines cut as part lines
    bool droppedLast = false;
    ImportRow lastRow;
};

// False for a line that never becomes a row (blank, or a comment line).
bool CutsToRow(std::string_view line) { return !IsBlank(line) && line.front() != '#'; }

RawRead CutText(int format, std::string_view text, bool withHeader) {
    RawRead raw;
    const Layout& lay = kLayouts[format];
    raw.lines = SplitLines(text);
    const std::vector<std::string_view>& lines = raw.lines;

    // Where the layout's header ends; npos when the file is too short for it.
    std::size_t start = 0;
    if (lay.header == Header::Lines) {
        start = lines.size() >= static_cast<std::size_t>(lay.count) ? lay.count : std::string::npos;
    } else if (lay.header == Header::EmptyLines) {
        int seen = 0;
        start = std::string::npos;
        for (std::size_t i = 1; i < lines.size(); ++i)
            if (lines[i].empty() && ++seen == lay.count) {
                start = i + 1 + lay.extraLines;
                break;
            }
        if (start != std::string::npos && start > lines.size()) start = std::string::npos;
    }
    const NamedColumns named = lay.special == kPowerPcb || lay.special == kEagle
                                   ? NamedColumns{}
                                   : FindNamedColumns(lines, lay.sep);
    if (named.line >= 0) start = named.line + 1;
    raw.named = named.line >= 0;
    const bool allegroReport = (lay.special == kAllegroTxt || lay.special == kAllegroNew) && named.line < 0;
    if (allegroReport && AllegroReportStart(lines) != std::string::npos) start = AllegroReportStart(lines);
    if (start == std::string::npos) return raw;

    std::size_t end = lines.size();
    if (lay.special == kKiCad) {
        end = std::string::npos;
        for (std::size_t i = start; i < lines.size(); ++i)
            if (lines[i].find("##") != std::string_view::npos) {
                end = i;
                break;
            }
        if (end == std::string::npos) return raw;
    }
    raw.unit = HeaderUnit(lines, start);

    auto cut = [&](std::string_view line) {
        ImportRow row;
        if (lay.special == kKiCad) {
            CutKiCad(line, row);
        } else if (named.line >= 0) {
            // Only the named columns are taken; the fields past the last of them are not cut.
            EachField(line, named.sep, [&](std::size_t f, std::string_view text) {
                for (int c = 0; c < kImportCells; ++c)
                    if (named.column[c] == static_cast<int>(f)) row[c] = std::string(text);
                return static_cast<int>(f) < named.last;
            });
        } else if (lay.special == kPowerPcb) {
            CutPowerPcb(line, row);
        } else if (lay.special == kAllegroTxt) {
            CutAllegroTxt(line, row);
        } else if (lay.special == kAllegroNew && allegroReport && CutAllegroReport(line, row)) {
        } else if (lay.special == kEagle) {
            CutEagle(line, row);
        } else if (format == 4 && !line.empty() && line.front() != '"') {
            // A quoted line whose opening quote is missing: its first field runs
            // up to the first quote, as if the quote stood in front.
            const std::string quoted = "\"" + std::string(line);
            Cutter c(quoted, lay.sep);
            RunSteps(c, lay.steps, row);
        } else {
            Cutter c(line, lay.sep);
            RunSteps(c, lay.steps, row);
        }
        return row;
    };

    if (withHeader)
        for (std::size_t i = 0; i < start && i < lines.size(); ++i)
            if (CutsToRow(lines[i])) raw.header.push_back(cut(lines[i]));
    for (std::size_t i = start; i < end; ++i) {
        if (!CutsToRow(lines[i])) continue;
        raw.rows.push_back(cut(lines[i]));
        raw.lineOfRow.push_back(static_cast<int>(i));
    }
    // The PIK report closes with a line that is not a part.
    if (lay.special == kDropLastRow && !raw.rows.empty()) {
        raw.droppedLast = true;
        raw.lastRow = std::move(raw.rows.back());
        raw.rows.pop_back();
        raw.lineOfRow.pop_back();
    }
    return raw;
}

// ---- fit --------------------------------------------------------------------------

// A designator is one word that starts with a letter ("R17", "U$3", "Battery").
bool LooksLikeDesignator(std::string_view cell) {
    const std::string t = Trim(cell);
    if (t.empty() || t.size() > 32) return false;
    const auto first = static_cast<unsigned char>(t.front());
    if (!std::isalpha(first) && first < 0x80) return false;
    return t.find_first_of(" \t") == std::string::npos;
}

// A coordinate is a number, bare or followed by "mm" or "mil" where the layout's
// import reads that unit; Proteus converts every bare number from mils.
bool LooksLikeCoordinate(std::string_view cell, int format) {
    const std::string t = Trim(cell);
    const std::size_t n = NumberLength(t);
    if (n == 0) return false;
    const std::string unit = Lower(Trim(std::string_view(t).substr(n)));
    if (unit.empty()) return true;
    return format != 10 && (unit == "mm" || unit == "mil");
}

// Layouts that give no designator: PowerPCB, and ALLEGRO.txt outside Allegro's own report.
bool HasDesignator(int format, const ImportRow& row) {
    return format != 5 && !(format == 6 && row[0].empty());
}

// An angle is a number standing alone or as the first word of a "rest" cell.
bool LooksLikeAngle(std::string_view cell) {
    const Words w(cell);
    return !w.empty() && IsWholeNumber(w.front().text);
}

bool NumbersInPlace(const ImportRow& row, int format) {
    return LooksLikeCoordinate(row[2], format) && LooksLikeCoordinate(row[3], format) && LooksLikeAngle(row[4]);
}

bool LooksLikePart(const ImportRow& row, int format) {
    return NumbersInPlace(row, format) && (!HasDesignator(format, row) || LooksLikeDesignator(row[0]));
}

} // namespace

bool StartsWithNumber(std::string_view text) { return NumberLength(text) > 0; }

CadReadResult ReadCadText(int format, std::string_view text) {
    CadReadResult result;
    if (format < 0 || format >= kImportFormatCount) return result;
    RawRead raw = CutText(format, text, false);
    result.rows.reserve(raw.rows.size());
    for (std::size_t i = 0; i < raw.rows.size(); ++i) {
        ImportRow& row = raw.rows[i];
        if (!StartsWithNumber(row[2]) || !StartsWithNumber(row[3])) {
            ++result.skipped;
            result.skippedLines.push_back({raw.lineOfRow[i] + 1, Trim(row[0])});
            continue;
        }
        ConvertCoordinate(row[2], raw.unit, format);
        ConvertCoordinate(row[3], raw.unit, format);
        result.rows.push_back(std::move(row));
    }
    return result;
}

CadMisfit CheckCadFit(int format, std::string_view bytes) {
    if (format < 0 || format >= kImportFormatCount) return CadMisfit::None;
    const std::string text = DecodeCadText(bytes);
    const RawRead raw = CutText(format, text, true);
    std::size_t kept = 0;
    for (const ImportRow& row : raw.rows)
        if (StartsWithNumber(row[2]) && StartsWithNumber(row[3])) ++kept;
    if (kept == 0) return CadMisfit::None;  // nothing to take: said as such

    // Proteus states no column names; a file that does holds its own units. The
    // layouts that never look for named columns have no such header either.
    if (format == 10 && raw.named) return CadMisfit::Header;
    if ((format == 5 || format == 7) && FindNamedColumns(raw.lines, kLayouts[format].sep).line >= 0)
        return CadMisfit::Header;
    for (const ImportRow& row : raw.header)
        if (LooksLikePart(row, format)) return CadMisfit::Header;
    if (raw.droppedLast && LooksLikePart(raw.lastRow, format)) return CadMisfit::LastLine;

    // "Most rows": at least three in four.
    std::size_t designators = 0, numbered = 0, withDesignator = 0;
    for (const ImportRow& row : raw.rows) {
        if (HasDesignator(format, row)) {
            ++withDesignator;
            if (LooksLikeDesignator(row[0])) ++designators;
        }
        if (NumbersInPlace(row, format)) ++numbered;
    }
    const auto most = [](std::size_t part, std::size_t whole) { return part * 4 >= whole * 3; };
    if (!most(designators, withDesignator)) return CadMisfit::Designators;
    if (!most(numbered, raw.rows.size())) return CadMisfit::Coordinates;
    return CadMisfit::None;
}

#define SMT_CAD_READER(name, index) \
    CadReadResult name(std::string_view bytes) { return ReadCadText(index, DecodeCadText(bytes)); }
SMT_CAD_READER(ReadProtelTxt, 0)
SMT_CAD_READER(ReadProtelPik, 1)
SMT_CAD_READER(ReadAltium20Txt, 3)
SMT_CAD_READER(ReadAltium20Csv, 4)
SMT_CAD_READER(ReadPowerPcbTxt, 5)
SMT_CAD_READER(ReadAllegroTxt, 6)
SMT_CAD_READER(ReadEagleMnt, 7)
SMT_CAD_READER(ReadKiCadPos, 8)
SMT_CAD_READER(ReadExcelCsv, 9)
SMT_CAD_READER(ReadProteusPkp, 10)
SMT_CAD_READER(ReadMentorTxt, 11)
SMT_CAD_READER(ReadPadsTxt, 12)
SMT_CAD_READER(ReadPadsTxtNew, 13)
SMT_CAD_READER(ReadPadsCsv, 14)
SMT_CAD_READER(ReadPads318, 15)
SMT_CAD_READER(ReadGerbCamCsv, 16)
SMT_CAD_READER(ReadGerbCamTxt, 17)
SMT_CAD_READER(ReadAllegroCsv, 18)
SMT_CAD_READER(ReadAllegroNewTxt, 19)
SMT_CAD_READER(ReadSpeedLayoutTxt, 20)
#undef SMT_CAD_READER

CadReader CadReaderFor(int format) {
    static constexpr std::array<CadReader, kImportFormatCount> kReaders{
        ReadProtelTxt,   ReadProtelPik,   ReadProtelTxt,  ReadAltium20Txt,   ReadAltium20Csv, ReadPowerPcbTxt,
        ReadAllegroTxt,  ReadEagleMnt,    ReadKiCadPos,   ReadExcelCsv,      ReadProteusPkp,  ReadMentorTxt,
        ReadPadsTxt,     ReadPadsTxtNew,  ReadPadsCsv,    ReadPads318,       ReadGerbCamCsv,  ReadGerbCamTxt,
        ReadAllegroCsv,  ReadAllegroNewTxt, ReadSpeedLayoutTxt};
    return format >= 0 && format < kImportFormatCount ? kReaders[format] : nullptr;
}

} // namespace smt
