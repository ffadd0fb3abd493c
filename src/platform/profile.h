// Private-profile (ini) files, read and written as the settings code expects:
// section and key names compare without case, the first match wins, values are
// trimmed and cut to the caller's buffer size less one, and the default comes back
// when the file, section or key is missing. A write changes only its own line and
// keeps every other line, comment and the order; it keeps the file's encoding
// (UTF-16LE with mark, UTF-8 with or without mark, or GBK) and creates a new file
// as UTF-8. Writes are atomic and serialised between threads. Parsed files are
// cached and re-read only when the file changes on disk.
#pragma once

#include <cstddef>
#include <string>

namespace plat {

// `bufferChars` is the caller's buffer in UTF-16 units (512 in most places); the
// value is cut to bufferChars - 1 units, never splitting a surrogate pair.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultText, std::size_t bufferChars,
                                    const std::string& path);

// Returns false when the file could not be written.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path);

// Forgets every cached file (tests that rewrite files behind the cache's back
// within one clock tick use it).
void FlushProfileCache();

} // namespace plat
