#include "platform/profile.h"

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/files.h"
#include "platform/text.h"

namespace plat {
namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16, Gbk };

// One line of the file: byte offsets into the raw file (text ends before "\r\n" or
// "\n"; end is after it) and what the line says.
struct Line {
    enum Kind { Other, Section, Entry } kind = Other;
    std::size_t begin = 0, textEnd = 0, end = 0;
    std::string name;   // section name or key, trimmed
    std::string value;  // trimmed, quotes still on
};

struct Doc {
    Encoding enc = Encoding::Utf8;
    bool crlf = true;  // line ending for added lines
    std::size_t bodyEnd = 0;  // end of the last line: only an odd byte of UTF-16 may follow
    std::vector<Line> lines;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

Encoding detect(std::string_view b) {
    if (b.size() >= 2 && b[0] == '\xFF' && b[1] == '\xFE') return Encoding::Utf16;
    if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") return Encoding::Utf8Bom;
    return IsValidUtf8(b) ? Encoding::Utf8 : Encoding::Gbk;
}

std::size_t bomSize(Encoding e) { return e == Encoding::Utf16 ? 2 : e == Encoding::Utf8Bom ? 3 : 0; }

std::string decode(Encoding e, std::string_view raw) {
    if (e == Encoding::Gbk) return GbkToUtf8(raw);
    if (e != Encoding::Utf16) return std::string(raw);
    std::u16string units(raw.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                         static_cast<unsigned char>(raw[2 * i + 1]) << 8);
    return Utf16ToUtf8(units);
}

std::string encode(Encoding e, std::string_view utf8) {
    if (e == Encoding::Gbk) return Utf8ToGbk(utf8);
    // Keep a UTF-8 file valid UTF-8 whatever the caller hands in.
    if (e != Encoding::Utf16) return IsValidUtf8(utf8) ? std::string(utf8) : Utf16ToUtf8(Utf8ToUtf16(utf8));
    std::string out;
    for (char16_t u : Utf8ToUtf16(utf8)) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

// The section and key names a write can use (they must read back as written).
bool writableNames(std::string_view sec, std::string_view k) {
    return !(k.empty() || k[0] == ';' || k[0] == '[' || k.find_first_of("=\r\n") != std::string_view::npos ||
             sec.find_first_of("\r\n") != std::string_view::npos);
}

std::atomic<std::uint64_t> g_parses{0};

Doc parse(std::string_view b, Encoding enc) {
    g_parses.fetch_add(1, std::memory_order_relaxed);
    Doc doc;
    doc.enc = enc;
    const std::size_t unit = doc.enc == Encoding::Utf16 ? 2 : 1;
    // The code unit at `i` is `c` (UTF-16 units are little-endian, high byte zero).
    auto is = [&](std::size_t i, char c) { return b[i] == c && (unit == 1 || b[i + 1] == '\0'); };
    bool eolSeen = false;
    std::size_t pos = bomSize(doc.enc);
    while (pos + unit <= b.size()) {
        Line line;
        line.begin = pos;
        std::size_t i = pos;
        while (i + unit <= b.size() && !is(i, '\n')) i += unit;
        const bool terminated = i + unit <= b.size();
        line.textEnd = i;
        if (terminated && i > pos && is(i - unit, '\r')) line.textEnd = i - unit;
        line.end = terminated ? i + unit : i;
        if (terminated && !eolSeen) {
            eolSeen = true;
            doc.crlf = line.textEnd != i;
        }
        pos = line.end;

        const std::string text = decode(doc.enc, b.substr(line.begin, line.textEnd - line.begin));
        const std::string_view t = trim(text);
        const std::size_t close = t.rfind(']');
        const std::size_t eq = t.find('=');
        if (!t.empty() && t[0] == '[' && close != std::string_view::npos) {
            line.kind = Line::Section;
            line.name = trim(t.substr(1, close - 1));
        } else if (!t.empty() && t[0] != ';' && eq != std::string_view::npos) {
            line.kind = Line::Entry;
            line.name = trim(t.substr(0, eq));
            line.value = trim(t.substr(eq + 1));
        }
        doc.lines.push_back(std::move(line));
    }
    doc.bodyEnd = pos;
    return doc;
}

Doc parse(std::string_view b) { return parse(b, detect(b)); }

// The encoding is guessed from the whole file, so a write that takes the last byte
// that is not UTF-8 out of a GBK file would make every other line read as UTF-8.
// Such a file is written as UTF-8 with a mark instead, each line converted as it
// read as GBK; the mark keeps that decision for every later read and write.
std::string keepReadings(Encoding enc, std::string after) {
    if (enc != Encoding::Gbk || detect(after) == Encoding::Gbk) return after;
    const Doc doc = parse(after, Encoding::Gbk);
    std::string out = "\xEF\xBB\xBF";
    out.reserve(after.size() + after.size() / 2);
    const std::string_view raw = after;
    for (const Line& l : doc.lines) {
        out += GbkToUtf8(raw.substr(l.begin, l.textEnd - l.begin));
        out += raw.substr(l.textEnd, l.end - l.textEnd);
    }
    return out;
}

std::string unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// Cuts UTF-8 text to at most `units` UTF-16 units, never inside a character.
std::string cutToUnits(std::string s, std::size_t units) {
    std::size_t i = 0, used = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::size_t need = len == 4 ? 2 : 1;
        if (used + need > units) break;
        used += need;
        i += len;
    }
    s.resize(std::min(i, s.size()));
    return s;
}

// A parsed file as lookups need it: lower-case section -> lower-case key -> value.
// Only the first section of a name counts, and its first entry of a key.
struct Cached {
    dev_t dev;
    ino_t ino;
    off_t size;
    struct timespec mtime;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> index;
};

struct Store {
    std::mutex mutex;  // serialises every read of the cache and every write of a file
    std::unordered_map<std::string, std::shared_ptr<const Cached>> files;
};
Store& store() {
    static Store* s = new Store;  // never destroyed: workers may read settings at exit
    return *s;
}

bool sameStat(const Cached& c, const struct stat& st) {
    return c.dev == st.st_dev && c.ino == st.st_ino && c.size == st.st_size &&
           c.mtime.tv_sec == st.st_mtim.tv_sec && c.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

// The parsed file at `path`, from the cache while the file is unchanged; null when
// it cannot be read. The caller holds the store's lock.
std::shared_ptr<const Cached> load(Store& s, const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        s.files.erase(path);
        return nullptr;
    }
    auto it = s.files.find(path);
    if (it != s.files.end() && sameStat(*it->second, st)) return it->second;
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return nullptr;
    auto c = std::make_shared<Cached>();
    c->dev = st.st_dev;
    c->ino = st.st_ino;
    c->size = st.st_size;
    c->mtime = st.st_mtim;
    // A file replaced while it was read is simply read again on the next lookup.
    if (static_cast<off_t>(bytes.size()) != st.st_size) c->size = -1;
    for (auto& sec : detail::ParseProfileText(bytes)) {
        auto [where, fresh] = c->index.try_emplace(AsciiLower(sec.name));
        if (!fresh) continue;
        for (auto& e : sec.entries) where->second.try_emplace(AsciiLower(e.key), std::move(e.value));
    }
    s.files[path] = c;
    return c;
}

thread_local ProfileBatch* t_batch = nullptr;

} // namespace

struct ProfileBatchAccess {
    // The outermost batch of `resolved` on this thread, or null.
    static ProfileBatch* find(const std::string& resolved) {
        for (ProfileBatch* b = t_batch; b; b = b->m_outer)
            if (!b->m_joined && !b->m_done && b->m_path == resolved) return b;
        return nullptr;
    }
    static std::vector<ProfileWrite>& writes(ProfileBatch& b) { return b.m_writes; }
};

namespace {

// The file's bytes with `writes` applied in order (one pass over the file). The
// caller holds the store's lock.
bool applyWrites(const std::string& resolved, const std::vector<ProfileWrite>& writes, std::string& bytes) {
    bytes.clear();
    if (FileExists(resolved) && !ReadWholeFile(resolved, bytes)) return false;
    std::string updated;
    detail::UpdateProfileTextAll(bytes, writes, updated);
    bytes.swap(updated);
    return true;
}

} // namespace

ProfileBatch::ProfileBatch(const std::string& path) : m_path(ResolvePath(path)), m_outer(t_batch) {
    m_joined = ProfileBatchAccess::find(m_path);
    t_batch = this;
}

ProfileBatch::~ProfileBatch() {
    Commit();
    // Batches end in the reverse order they began (they live on the stack).
    t_batch = m_outer;
}

bool ProfileBatch::Commit() {
    if (m_done || m_joined) return true;
    m_done = true;
    if (m_writes.empty()) return true;
    Store& s = store();
    std::lock_guard lock(s.mutex);
    s.files.erase(m_path);
    std::string bytes;
    const bool ok = applyWrites(m_path, m_writes, bytes) && WriteFileAtomic(m_path, bytes);
    m_writes.clear();
    return ok;
}

namespace detail {

std::vector<ProfileSection> ParseProfileText(std::string_view bytes) {
    std::vector<ProfileSection> out;
    for (auto& line : parse(bytes).lines) {
        if (line.kind == Line::Section)
            out.push_back({std::move(line.name), {}});
        else if (line.kind == Line::Entry && !out.empty())
            out.back().entries.push_back({std::move(line.name), unquote(line.value)});
    }
    return out;
}

bool UpdateProfileText(std::string_view bytes, const std::string& section, const std::string& key,
                       const std::string& value, std::string& out) {
    if (!writableNames(trim(section), trim(key))) return false;
    UpdateProfileTextAll(bytes, {{section, key, value}}, out);
    return true;
}

void UpdateProfileTextAll(std::string_view bytes, const std::vector<ProfileWrite>& writes, std::string& out) {
    const Doc doc = parse(bytes);
    const std::string eol = encode(doc.enc, doc.crlf ? "\r\n" : "\n");
    const std::size_t none = doc.lines.size();

    // Where a key stands: a line of the file, or a line added by an earlier write.
    struct Slot {
        std::size_t line;   // `none` for an added line
        std::size_t added;  // index in the section's added lines
    };
    struct Added {
        std::string key, value;
    };
    struct Section {
        std::string header;           // as the adding write named it (added sections)
        std::size_t after = 0;        // the line the added lines follow (file sections)
        std::unordered_map<std::string, Slot> keys;  // lower-case key -> its first line
        std::vector<Added> added;
    };
    // Only the first section of a name counts, and in it the first line of a key.
    std::unordered_map<std::string, std::size_t> byName;  // lower-case name -> index in `sections`
    std::vector<Section> sections;
    std::size_t fileSections = 0;
    for (std::size_t i = 0, current = SIZE_MAX; i < doc.lines.size(); ++i) {
        const Line& l = doc.lines[i];
        if (l.kind == Line::Section) {
            current = SIZE_MAX;
            if (byName.try_emplace(AsciiLower(l.name), sections.size()).second) {
                current = sections.size();
                sections.push_back({});
                sections.back().after = i;
            }
        } else if (l.kind == Line::Entry && current != SIZE_MAX) {
            Section& sec = sections[current];
            sec.after = i;
            sec.keys.try_emplace(AsciiLower(l.name), Slot{i, 0});
        }
    }
    fileSections = sections.size();

    std::vector<std::string> replaced(doc.lines.size());
    std::vector<bool> isReplaced(doc.lines.size(), false);
    for (const ProfileWrite& w : writes) {
        const std::string_view sec = trim(w.section), k = trim(w.key);
        if (!writableNames(sec, k)) continue;
        std::string v = w.value;
        for (char& c : v)
            if (c == '\r' || c == '\n') c = ' ';
        auto [at, fresh] = byName.try_emplace(AsciiLower(sec), sections.size());
        if (fresh) {
            sections.push_back({});
            sections.back().header = std::string(sec);
        }
        Section& target = sections[at->second];
        const auto slot = target.keys.find(AsciiLower(k));
        if (slot == target.keys.end()) {
            target.keys.emplace(AsciiLower(k), Slot{none, target.added.size()});
            target.added.push_back({std::string(k), std::move(v)});
        } else if (slot->second.line != none) {
            const Line& l = doc.lines[slot->second.line];
            replaced[slot->second.line] = encode(doc.enc, l.name + "=" + v);
            isReplaced[slot->second.line] = true;
        } else {
            target.added[slot->second.added].value = std::move(v);
        }
    }

    // The lines each file section adds after its last entry (or its header).
    std::vector<std::size_t> addsAfter(doc.lines.size(), SIZE_MAX);
    for (std::size_t s = 0; s < fileSections; ++s)
        if (!sections[s].added.empty()) addsAfter[sections[s].after] = s;
    auto addLines = [&](const Section& sec) {
        for (const Added& a : sec.added) out.append(encode(doc.enc, a.key + "=" + a.value)).append(eol);
    };

    out.clear();
    out.reserve(bytes.size() + bytes.size() / 8 + 64);
    out.append(bytes.substr(0, doc.lines.empty() ? doc.bodyEnd : doc.lines.front().begin));
    bool lastOpen = false;  // the text so far ends in a line without its line end
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const Line& l = doc.lines[i];
        if (isReplaced[i]) out.append(replaced[i]).append(bytes.substr(l.textEnd, l.end - l.textEnd));
        else out.append(bytes.substr(l.begin, l.end - l.begin));
        lastOpen = l.textEnd == l.end;
        if (addsAfter[i] != SIZE_MAX) {
            if (lastOpen) out += eol;
            addLines(sections[addsAfter[i]]);
            lastOpen = false;
        }
    }
    for (std::size_t s = fileSections; s < sections.size(); ++s) {
        if (lastOpen) out += eol;
        out.append(encode(doc.enc, "[" + sections[s].header + "]")).append(eol);
        addLines(sections[s]);
        lastOpen = false;
    }
    out.append(bytes.substr(doc.bodyEnd));
    out = keepReadings(doc.enc, std::move(out));
}

std::uint64_t ProfileTextParses() { return g_parses.load(std::memory_order_relaxed); }

} // namespace detail

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultText, std::size_t bufferChars,
                                    const std::string& path) {
    if (bufferChars == 0) return {};
    const std::string resolved = ResolvePath(path);
    // A batch on this thread holds values the file does not have yet.
    if (ProfileBatch* batch = ProfileBatchAccess::find(resolved); batch && !ProfileBatchAccess::writes(*batch).empty()) {
        std::string bytes;
        {
            Store& s = store();
            std::lock_guard lock(s.mutex);
            applyWrites(resolved, ProfileBatchAccess::writes(*batch), bytes);
        }
        for (auto& sec : detail::ParseProfileText(bytes)) {
            if (!EqualsNoCase(sec.name, trim(section))) continue;
            for (auto& e : sec.entries)
                if (EqualsNoCase(e.key, trim(key))) return cutToUnits(std::move(e.value), bufferChars - 1);
            break;  // only the first section of a name counts
        }
    } else if (std::shared_ptr<const Cached> file = [&] {
                   Store& s = store();
                   std::lock_guard lock(s.mutex);
                   return load(s, resolved);
               }()) {
        const auto sec = file->index.find(AsciiLower(trim(section)));
        if (sec != file->index.end()) {
            const auto entry = sec->second.find(AsciiLower(trim(key)));
            if (entry != sec->second.end()) return cutToUnits(entry->second, bufferChars - 1);
        }
    }
    // The default comes back without trailing blanks, as the original call gives it.
    std::string_view d = defaultText;
    while (!d.empty() && (d.back() == ' ' || d.back() == '\t')) d.remove_suffix(1);
    return cutToUnits(std::string(d), bufferChars - 1);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path) {
    const std::string resolved = ResolvePath(path);
    if (ProfileBatch* batch = ProfileBatchAccess::find(resolved)) {
        if (!writableNames(trim(section), trim(key))) return false;
        ProfileBatchAccess::writes(*batch).push_back({section, key, value});
        return true;
    }
    Store& s = store();
    std::lock_guard lock(s.mutex);
    s.files.erase(resolved);
    std::string bytes, updated;
    if (FileExists(resolved) && !ReadWholeFile(resolved, bytes)) return false;
    return detail::UpdateProfileText(bytes, section, key, value, updated) &&
           WriteFileAtomic(resolved, updated);
}

void FlushProfileCache() {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    s.files.clear();
}

} // namespace plat
