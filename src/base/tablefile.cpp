#include "base/tablefile.h"

#include <algorithm>
#include <utility>

#include "base/captions.h"
#include "base/globals.h"
#include "platform/files.h"
#include "platform/text.h"

namespace smt {
namespace {

constexpr const char* kBackupFolder = "ConfigBackup";
constexpr const char* kWriteRefused = "the folder or the disk refused the write";

void putLe(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Reads a little-endian value of `bytes` bytes; false when fewer are left.
bool getLe(std::string_view in, std::size_t& pos, int bytes, std::uint64_t& value) {
    if (in.size() - pos < static_cast<std::size_t>(bytes)) return false;
    value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[pos + i])) << (8 * i);
    pos += static_cast<std::size_t>(bytes);
    return true;
}

// The length prefix of an archive string. `wide` tells whether the UTF-16 marker
// (FF FE FF) came first.
bool readLength(std::string_view in, std::size_t& pos, std::uint64_t& length, bool& wide) {
    wide = false;
    std::uint64_t v;
    if (!getLe(in, pos, 1, v)) return false;
    if (v < 0xFF) {
        length = v;
        return true;
    }
    if (!getLe(in, pos, 2, v)) return false;
    if (v == 0xFFFE) {
        wide = true;
        if (!getLe(in, pos, 1, v)) return false;
        if (v < 0xFF) {
            length = v;
            return true;
        }
        if (!getLe(in, pos, 2, v)) return false;
    }
    if (v < 0xFFFF) {
        length = v;
        return true;
    }
    if (!getLe(in, pos, 4, v)) return false;
    if (v < 0xFFFFFFFFull) {
        length = v;
        return true;
    }
    return getLe(in, pos, 8, length);
}

std::string startPath(const std::string& folder, TableFile file) {
    return plat::ResolvePath(plat::JoinPath(folder, TableFileName(file)));
}

std::string backupFolder(const std::string& startFolder) {
    return plat::ResolvePath(plat::JoinPath(startFolder, kBackupFolder));
}

// The speed file carries the names string before its rows.
template <typename Lists>
auto namesOf(Lists& lists, TableFile file) -> decltype(&lists.speedSetNames) {
    return file == TableFile::Speed ? &lists.speedSetNames : nullptr;
}

std::string encodeFile(const FigLists& lists, TableFile file) {
    return EncodeTableFile(lists.Rows(file), namesOf(lists, file));
}

bool fail(TableFileError& error, const std::string& path, const char* reason) {
    error.file = path;
    error.reason = reason;
    return false;
}

} // namespace

void AppendArchiveString(std::string& out, std::string_view text) {
    const std::u16string units = plat::Utf8ToUtf16(text);
    const std::uint64_t n = units.size();
    out += "\xFF\xFE\xFF";
    if (n < 0xFF) {
        putLe(out, n, 1);
    } else if (n < 0xFFFE) {
        out += '\xFF';
        putLe(out, n, 2);
    } else {
        out += "\xFF\xFF\xFF";
        if (n < 0xFFFFFFFFull) {
            putLe(out, n, 4);
        } else {
            putLe(out, 0xFFFFFFFFull, 4);
            putLe(out, n, 8);
        }
    }
    const std::size_t at = out.size();
    out.resize(at + 2 * units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        out[at + 2 * i] = static_cast<char>(units[i] & 0xFF);
        out[at + 2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
}

bool ReadArchiveString(std::string_view bytes, std::size_t& pos, std::string& text) {
    if (pos > bytes.size()) return false;
    std::uint64_t length;
    bool wide;
    if (!readLength(bytes, pos, length, wide)) return false;
    // The length is checked against what is left before anything is allocated.
    const std::size_t left = bytes.size() - pos;
    if (wide ? length > left / 2 : length > left) return false;
    const std::size_t n = static_cast<std::size_t>(length);
    if (!wide) {
        text = plat::GbkToUtf8(bytes.substr(pos, n));
        pos += n;
        return true;
    }
    std::u16string units(n, u'\0');
    for (std::size_t i = 0; i < n; ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[pos + 2 * i]) |
                                         static_cast<unsigned char>(bytes[pos + 2 * i + 1]) << 8);
    }
    pos += 2 * n;
    text = plat::Utf16ToUtf8(units);
    return true;
}

const char* TableFileName(TableFile file) {
    switch (file) {
    case TableFile::Feed: return "config_feed.fig";
    case TableFile::Strip: return "config_strip.fig";
    case TableFile::Speed: return "config_speed.fig";
    case TableFile::Camera: return "config_camera.fig";
    case TableFile::Nozzle: return "config_nozzle.fig";
    case TableFile::Pack: return "config_pack.fig";
    case TableFile::Mark: return "config_mark.fig";
    case TableFile::DropDown: return "config_dropdown.fig";
    }
    return "";
}

std::vector<std::string>& FigLists::Rows(TableFile file) {
    return const_cast<std::vector<std::string>&>(std::as_const(*this).Rows(file));
}

const std::vector<std::string>& FigLists::Rows(TableFile file) const {
    switch (file) {
    case TableFile::Feed: return feed;
    case TableFile::Strip: return strip;
    case TableFile::Speed: return speed;
    case TableFile::Camera: return camera;
    case TableFile::Nozzle: return nozzle;
    case TableFile::Pack: return pack;
    case TableFile::Mark: return mark;
    case TableFile::DropDown: return dropDown;
    }
    return feed;
}

std::string EncodeTableFile(const std::vector<std::string>& rows, const std::string* speedSetNames) {
    std::string out;
    std::size_t size = 4 + (speedSetNames ? 8 + 2 * speedSetNames->size() : 0);
    for (const auto& r : rows) size += 8 + 2 * r.size();
    out.reserve(size);
    if (speedSetNames) AppendArchiveString(out, *speedSetNames);
    putLe(out, static_cast<std::uint32_t>(rows.size()), 4);
    for (const auto& r : rows) AppendArchiveString(out, r);
    return out;
}

bool DecodeTableFile(std::string_view bytes, std::vector<std::string>& rows,
                     std::string* speedSetNames) {
    std::size_t pos = 0;
    std::string text;
    if (speedSetNames) {
        if (!ReadArchiveString(bytes, pos, text)) return false;
        *speedSetNames = std::move(text);
    }
    std::uint64_t raw;
    if (!getLe(bytes, pos, 4, raw)) return false;
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(raw));
    if (count <= 0) return true;
    // Every string takes at least one byte: never reserve more than could follow.
    rows.reserve(rows.size() + std::min<std::size_t>(static_cast<std::size_t>(count), bytes.size() - pos));
    for (std::int32_t i = 0; i < count; ++i) {
        if (!ReadArchiveString(bytes, pos, text)) return false;
        rows.push_back(std::move(text));
    }
    return true;
}

bool LoadFigLists(const std::string& startFolder, FigLists& lists, TableFileError& error) {
    std::string bytes;
    for (TableFile file : kAllTableFiles) {
        const std::string path = startPath(startFolder, file);
        if (!plat::ReadWholeFile(path, bytes)) return fail(error, path, "the file is missing or cannot be opened");
        if (!DecodeTableFile(bytes, lists.Rows(file), namesOf(lists, file)))
            return fail(error, path, "its content ends early");
        if (file == TableFile::Speed && lists.speed.size() > kMaxSpeedRows) {
            lists.speed.clear();
            return fail(error, path, "it holds more speed rows than any machine has (at most 30000)");
        }
    }
    return true;
}

bool SaveFigLists(const std::string& startFolder, const FigLists& lists, TableFileError& error) {
    const std::string backup = backupFolder(startFolder);
    if (!plat::IsDirectory(backup)) plat::MakeDirectory(backup);  // a failure shows at the first write there
    // The sixteen files are one set: a save killed or refused half way leaves every
    // one of them as it was.
    std::vector<plat::SetFile> set;
    std::vector<std::string> paths;
    for (TableFile file : kAllTableFiles) {
        std::string bytes = encodeFile(lists, file);
        set.push_back({TableFileName(file), bytes});
        paths.push_back(startPath(startFolder, file));
        set.push_back({std::string(kBackupFolder) + "/" + TableFileName(file), std::move(bytes)});
        paths.push_back(startPath(backup, file));
    }
    std::vector<std::size_t> failed;
    if (!plat::WriteFileSet(startFolder, set, &failed))
        return fail(error, failed.empty() ? startFolder : paths[failed.front()], kWriteRefused);
    return true;
}

bool SaveTableFile(const std::string& startFolder, TableFile file, const FigLists& lists,
                   TableFileError& error) {
    const std::string path = startPath(startFolder, file);
    if (!plat::WriteFileAtomic(path, encodeFile(lists, file)))
        return fail(error, path, kWriteRefused);
    return true;
}

std::string TableFileErrorText(const TableFileError& error) {
    const std::string quoted = "\"" + error.file + "\"";
    const std::string backup = std::string("\"") + kBackupFolder + "\"";
    return "Table file " + quoted + " cannot be read: " + error.reason + ".\n" +
           "A copy may be in the folder " + backup + ". The program will end.\n" +
           "表格文件 " + quoted + " 无法读取。" + backup + " 文件夹中可能有备份。程序将退出。";
}

std::string TableFileSaveErrorText(const TableFileError& error) {
    // Every save failure is a refused write; the caption says so.
    static const char* const kBuiltin[] = {
        "表格文件 {file} 无法保存（文件夹或磁盘拒绝写入），其后的表格文件未保存。",
        "Table file {file} cannot be written: the folder or the disk refused the write. "
        "The table files after it were not saved.",
        "Die Tabellendatei {file} kann nicht geschrieben werden: Ordner oder Datenträger verweigern "
        "das Schreiben. Die Tabellendateien danach wurden nicht gespeichert."};
    const int index = g_LanguageIndex.load();
    const int i = index >= 0 && index <= 2 ? index : 0;
    std::string text = LoadCaption(plat::CurrentDirectory(), kLanguageNames[i], "TableFileConfig",
                                   "TableFile.c_SaveFailed", kBuiltin[i]);
    if (const auto at = text.find("{file}"); at != std::string::npos)
        text.replace(at, 6, "\"" + error.file + "\"");
    return text;
}

void RemoveKilledSaveLeftovers(const std::string& startFolder) {
    // The start folder's journals name files in "ConfigBackup" too: they are
    // finished before that folder's stale temporary files go.
    plat::FinishInterruptedSaves(startFolder);
    plat::RemoveStaleTempFiles(backupFolder(startFolder));
}

} // namespace smt
