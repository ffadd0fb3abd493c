// Text encodings met in the machine's files: UTF-8 inside the program, UTF-16LE in
// archives and some profile files, GBK for legacy 8-bit text.
#pragma once

#include <string>
#include <string_view>

namespace plat {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// Invalid sequences become U+FFFD (decoding) or '?' (encoding to GBK).
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);
bool IsValidUtf8(std::string_view bytes);

// ASCII-only case folding for section, key and file names.
std::string AsciiLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);

} // namespace plat
