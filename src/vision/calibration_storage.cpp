#include "vision/calibration_storage.h"

#include <cfloat>
#include <cmath>
#include <climits>
#include <cstddef>
#include <utility>
#include <vector>

#include "base/numtext.h"

namespace smt {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Blank-separated tokens.
std::vector<std::string> Tokens(const std::string& s)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsBlank(s[i])) ++i;
        const std::size_t b = i;
        while (i < s.size() && !IsBlank(s[i])) ++i;
        if (i > b) out.push_back(s.substr(b, i - b));
    }
    return out;
}

// A scalar text with its quotes taken off.
StoredValue Scalar(const std::string& raw)
{
    StoredValue v;
    const std::string t = Trim(raw);
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front()) {
        v.text = t.substr(1, t.size() - 2);
        v.quoted = true;
    } else {
        v.text = t;
    }
    return v;
}

// ---- XML: a prolog, then <opencv_storage> holding elements; comments anywhere.

struct Element {
    std::string name;
    std::string text;
    std::vector<Element> children;
};

// Deeper than any calibration file goes; bounds the recursion on a damaged file.
constexpr int kMaxDepth = 16;

class XmlReader {
public:
    explicit XmlReader(const std::string& s) : m_s(s) {}

    bool Read(Element& root)
    {
        SkipBlanks();
        if (!At("<?xml")) return false;
        const std::size_t end = m_s.find("?>", m_p);
        if (end == std::string::npos) return false;
        m_p = end + 2;
        if (!SkipMisc() || !At("<") || At("</") || !ReadElement(root, 1)) return false;
        return SkipMisc() && m_p == m_s.size();
    }

private:
    bool At(const char* text) const { return m_s.compare(m_p, std::char_traits<char>::length(text), text) == 0; }
    void SkipBlanks() { while (m_p < m_s.size() && IsBlank(m_s[m_p])) ++m_p; }

    // Blanks and comments.
    bool SkipMisc()
    {
        for (;;) {
            SkipBlanks();
            if (!At("<!--")) return true;
            const std::size_t end = m_s.find("-->", m_p + 4);
            if (end == std::string::npos) return false;
            m_p = end + 3;
        }
    }

    bool ReadName(std::string& name)
    {
        const std::size_t b = m_p;
        if (m_p >= m_s.size() || !(IsAlpha(m_s[m_p]) || m_s[m_p] == '_')) return false;
        while (m_p < m_s.size() && (IsAlpha(m_s[m_p]) || IsDigit(m_s[m_p]) || m_s[m_p] == '_' ||
                                    m_s[m_p] == '-' || m_s[m_p] == '.' || m_s[m_p] == ':'))
            ++m_p;
        name = m_s.substr(b, m_p - b);
        return true;
    }

    // At '<' of a start tag.
    bool ReadElement(Element& el, int depth)
    {
        if (depth > kMaxDepth) return false;
        ++m_p;
        if (!ReadName(el.name)) return false;
        for (;;) {  // attributes
            SkipBlanks();
            if (At("/>")) {
                m_p += 2;
                return true;
            }
            if (At(">")) {
                ++m_p;
                break;
            }
            std::string attribute;
            if (!ReadName(attribute)) return false;
            SkipBlanks();
            if (!At("=")) return false;
            ++m_p;
            SkipBlanks();
            if (m_p >= m_s.size() || (m_s[m_p] != '"' && m_s[m_p] != '\'')) return false;
            const std::size_t end = m_s.find(m_s[m_p], m_p + 1);
            if (end == std::string::npos) return false;
            m_p = end + 1;
        }
        for (;;) {  // content
            if (m_p >= m_s.size()) return false;
            if (At("<!--")) {
                if (!SkipMisc()) return false;
                continue;
            }
            if (At("</")) {
                m_p += 2;
                std::string name;
                if (!ReadName(name) || name != el.name) return false;
                SkipBlanks();
                if (!At(">")) return false;
                ++m_p;
                // Text beside child elements is not a form the writer makes.
                return el.children.empty() || Trim(el.text).empty();
            }
            if (At("<!") || At("<?")) return false;
            if (At("<")) {
                el.children.emplace_back();
                if (!ReadElement(el.children.back(), depth + 1)) return false;
                continue;
            }
            const std::size_t end = m_s.find('<', m_p);
            if (end == std::string::npos) return false;
            el.text.append(m_s, m_p, end - m_p);
            m_p = end;
        }
    }

    const std::string& m_s;
    std::size_t m_p = 0;
};

// An element's text: a string when quoted, else its blank-separated items.
StoredValue XmlValue(const std::string& text)
{
    StoredValue v = Scalar(text);
    v.isList = !v.quoted;
    if (v.isList) {
        std::string joined;
        for (const std::string& t : Tokens(v.text)) joined += (joined.empty() ? "" : " ") + t;
        v.text = joined;
    }
    return v;
}

bool ParseXml(const std::string& bytes, std::map<std::string, StoredNode>& nodes)
{
    Element root;
    if (!XmlReader(bytes).Read(root) || root.name != "opencv_storage") return false;
    for (const Element& top : root.children) {
        if (nodes.count(top.name)) continue;
        StoredNode node;
        if (top.children.empty()) {
            node.value = XmlValue(top.text);
        } else {
            node.isMap = true;
            for (const Element& field : top.children)
                if (field.children.empty() && !node.fields.count(field.name))
                    node.fields.emplace(field.name, XmlValue(field.text));
        }
        nodes.emplace(top.name, std::move(node));
    }
    return true;
}

// ---- YAML: "%YAML" first, then "key: value" lines; a map's fields indented
// below its key, all by the same amount; number lists in [ ], which may run
// over several lines.

// The items of a list's inside, blank-joined; false for an empty item, a nested
// list or an item holding a blank.
bool ListItems(const std::string& inside, std::string& joined)
{
    joined.clear();
    if (Trim(inside).empty()) return true;
    std::size_t b = 0;
    for (;;) {
        const std::size_t comma = inside.find(',', b);
        const std::string item = Trim(inside.substr(b, comma == std::string::npos ? std::string::npos : comma - b));
        if (item.empty() || item.find_first_of("[]{} \t") != std::string::npos) return false;
        joined += (joined.empty() ? "" : " ") + item;
        if (comma == std::string::npos) return true;
        b = comma + 1;
    }
}

bool ParseYaml(const std::string& bytes, std::map<std::string, StoredNode>& nodes)
{
    std::size_t p = bytes.find('\n');  // past the "%YAML" line

    StoredNode* map = nullptr;       // the top-level map taking fields, if any
    bool keepTop = false;            // false for a repeated name: read, not kept
    StoredNode discarded;
    int fieldIndent = -1;
    StoredValue* openList = nullptr; // a list still waiting for its ']'
    std::string listText;
    StoredValue discardedValue;

    while (p != std::string::npos && p < bytes.size()) {
        const std::size_t start = p + 1;
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        p = end;

        if (openList) {
            const std::size_t close = line.find(']');
            if (line.find('[') != std::string::npos) return false;
            if (close == std::string::npos) {
                listText += ' ' + line;
                continue;
            }
            const std::string after = Trim(line.substr(close + 1));
            if (!after.empty() && after[0] != '#') return false;
            listText += ' ' + line.substr(0, close);
            if (!ListItems(listText, openList->text)) return false;
            openList = nullptr;
            continue;
        }

        std::size_t indent = 0;
        while (indent < line.size() && line[indent] == ' ') ++indent;
        const std::string text = Trim(line.substr(indent));
        if (text.empty() || text[0] == '#') continue;
        if (indent < line.size() && line[indent] == '\t') return false;
        if (indent == 0 && text == "---") continue;
        if (indent == 0 && text == "...") break;

        std::size_t k = 0;
        if (!(IsAlpha(text[0]) || text[0] == '_')) return false;
        while (k < text.size() && (IsAlpha(text[k]) || IsDigit(text[k]) || text[k] == '_' || text[k] == '-')) ++k;
        if (k == text.size() || text[k] != ':' || (k + 1 < text.size() && text[k + 1] != ' ')) return false;
        const std::string key = text.substr(0, k);
        const std::string rest = Trim(text.substr(k + 1));

        StoredValue* target = nullptr;
        if (indent == 0) {
            keepTop = !nodes.count(key);
            StoredNode& node = keepTop ? nodes[key] : (discarded = StoredNode{});
            map = nullptr;
            fieldIndent = -1;
            if (rest.empty() || rest.compare(0, 2, "!!") == 0) {
                if (rest.find(' ') != std::string::npos) return false;
                node.isMap = true;
                map = &node;
                continue;
            }
            target = &node.value;
        } else {
            if (!map) return false;
            if (fieldIndent < 0) fieldIndent = static_cast<int>(indent);
            if (static_cast<int>(indent) != fieldIndent) return false;
            const bool keep = keepTop && !map->fields.count(key);
            target = keep ? &map->fields[key] : &(discardedValue = StoredValue{});
            if (rest.empty() || rest.compare(0, 2, "!!") == 0) return false;  // nested map
        }

        if (rest[0] == '{') return false;
        if (rest[0] == '[') {
            target->isList = true;
            const std::size_t close = rest.find(']');
            if (rest.find('[', 1) != std::string::npos &&
                (close == std::string::npos || rest.find('[', 1) < close))
                return false;
            if (close == std::string::npos) {
                openList = target;
                listText = rest.substr(1);
                continue;
            }
            const std::string after = Trim(rest.substr(close + 1));
            if (!after.empty() && after[0] != '#') return false;
            if (!ListItems(rest.substr(1, close - 1), target->text)) return false;
            continue;
        }
        *target = Scalar(rest);
    }
    return openList == nullptr;
}

} // namespace

bool ParseCalibrationStorage(const std::string& bytes, std::map<std::string, StoredNode>& nodes)
{
    nodes.clear();
    const bool bom = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string text = bom ? bytes.substr(3) : bytes;
    const bool ok = text.compare(0, 5, "%YAML") == 0 ? ParseYaml(text, nodes) : ParseXml(text, nodes);
    if (!ok) nodes.clear();
    return ok;
}

bool StoredInt(const StoredValue& value, int& out)
{
    if (value.quoted || value.text.empty() || value.text.find(' ') != std::string::npos) return false;
    if (ParseWhole(value.text, out)) return true;
    double real = 0.0;
    if (!ParseWhole(value.text, real) || real < INT_MIN || real > INT_MAX) return false;
    out = static_cast<int>(std::lround(real));
    return true;
}

bool StoredMatrix(const StoredNode& node, int maxCells, cv::Mat& out)
{
    if (!node.isMap) return false;
    const auto rowsIt = node.fields.find("rows");
    const auto colsIt = node.fields.find("cols");
    const auto dtIt = node.fields.find("dt");
    const auto dataIt = node.fields.find("data");
    if (rowsIt == node.fields.end() || colsIt == node.fields.end() || dtIt == node.fields.end() ||
        dataIt == node.fields.end())
        return false;
    int rows = 0, cols = 0;
    if (!StoredInt(rowsIt->second, rows) || !StoredInt(colsIt->second, cols)) return false;
    if (rows < 1 || cols < 1 || static_cast<long long>(rows) * cols > maxCells) return false;
    std::string dt = dtIt->second.text;
    if (dt.size() == 2 && dt[0] == '1') dt.erase(0, 1);  // one channel, said or not
    if (dt != "d" && dt != "f") return false;
    if (!dataIt->second.isList) return false;
    const std::vector<std::string> items = Tokens(dataIt->second.text);
    if (items.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols)) return false;
    cv::Mat m(rows, cols, CV_64F);
    for (std::size_t i = 0; i < items.size(); ++i) {
        double v = 0.0;
        if (!ParseWhole(items[i], v)) return false;
        if (dt == "f") {
            if (std::fabs(v) > FLT_MAX) return false;
            v = static_cast<float>(v);  // the precision the file was written with
        }
        m.at<double>(static_cast<int>(i / cols), static_cast<int>(i % cols)) = v;
    }
    out = m;
    return true;
}

} // namespace smt
