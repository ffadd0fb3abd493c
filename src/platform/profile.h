// Private-profile (ini) files, read and written as the settings code expects:
// section and key names compare without case, the first match wins, values are
// trimmed and cut to the caller's buffer size less one, and the default comes back
// when the file, section or key is missing. A write changes only its own line and
// keeps every other line, comment and the order; it keeps the file's encoding
// (UTF-16LE with mark, UTF-8 with or without mark, or GBK) and creates a new file
// as UTF-8 (a GBK file that a write would make look like UTF-8 is written as
// UTF-8 with a mark, so no other line reads differently). Writes are atomic and
// serialised between threads; a ProfileBatch makes several writes one. Parsed
// files are cached and re-read only when the file changes on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// One key written: section, key, value.
struct ProfileWrite {
    std::string section, key, value;
};

// `bufferChars` is the caller's buffer in UTF-16 units (512 in most places); the
// value is cut to bufferChars - 1 units, never splitting a surrogate pair.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultText, std::size_t bufferChars,
                                    const std::string& path);

// Returns false when the file could not be written.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path);

// Gathers the writes this thread makes to one file while it lives and puts them
// into the file at once: one temporary file and one rename, so a crash never
// leaves some keys of a save old and others new. Reads on this thread see the
// gathered values. A batch opened for a file that already has one on this thread
// joins it. The destructor commits what Commit() has not.
class ProfileBatch {
public:
    explicit ProfileBatch(const std::string& path);
    ~ProfileBatch();
    ProfileBatch(const ProfileBatch&) = delete;
    ProfileBatch& operator=(const ProfileBatch&) = delete;

    // Writes the file; false when it could not be written. A joined batch leaves
    // the write to the outer one and returns true.
    bool Commit();

    using Write = ProfileWrite;

private:
    friend struct ProfileBatchAccess;
    std::string m_path;  // resolved
    std::vector<Write> m_writes;
    ProfileBatch* m_outer = nullptr;  // the thread's previous innermost batch
    ProfileBatch* m_joined = nullptr;  // the batch of the same file this one joined
    bool m_done = false;
};

// Forgets every cached file (tests that rewrite files behind the cache's back
// within one clock tick use it).
void FlushProfileCache();

namespace detail {

// The file-level rules without any disk access, so they can be checked (and fuzzed)
// on raw bytes. Lines before the first section, lines without '=' and lines starting
// with ';' hold no entries; a value is trimmed and loses one pair of surrounding
// quotes ('"' or '\'').
struct ProfileEntry {
    std::string key;    // UTF-8, trimmed, as written
    std::string value;  // UTF-8, as GetPrivateProfileString returns it before the cut
};
struct ProfileSection {
    std::string name;
    std::vector<ProfileEntry> entries;
};
std::vector<ProfileSection> ParseProfileText(std::string_view bytes);

// The bytes after setting `key` in `section` to `value`: the first matching line is
// replaced, else the key is added after the section's last entry, else the section
// is added at the end. Every other byte stays; new text takes the file's encoding and
// the line ending of its first line (CRLF when it has none). Line breaks inside
// `value` become spaces. Returns false (and leaves `out` alone) when the section or
// key name could not be read back: empty key, a line break, or '=' in the key.
bool UpdateProfileText(std::string_view bytes, const std::string& section, const std::string& key,
                       const std::string& value, std::string& out);

// The bytes after every write of `writes` in order, as UpdateProfileText one after
// the other would leave them (a write it would refuse is passed over), in one pass
// over the file whatever the number of writes.
void UpdateProfileTextAll(std::string_view bytes, const std::vector<ProfileWrite>& writes, std::string& out);

// How many times file text was parsed so far (tests check that a save of many
// keys reads its file once).
std::uint64_t ProfileTextParses();

} // namespace detail

} // namespace plat
