// The eight table files of the start folder: a 32-bit little-endian row count and
// that many archive strings, each one row; "config_speed.fig" holds the speed-set
// names string before the count. Saves go to the start folder and to its
// "ConfigBackup" folder, byte-identical, each file written atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace smt {

// ---- archive strings -------------------------------------------------------

// Appends `text` (UTF-8) in the archive's UTF-16 form: FF FE FF, the length in
// UTF-16 units (1, 2 or 4 bytes), then the units little-endian.
void AppendArchiveString(std::string& out, std::string_view text);

// Reads an archive string at `pos` (UTF-16 or 8-bit GBK form) into `text` (UTF-8).
// Returns false, leaving `pos` unspecified, when the content ends early or a length
// runs past the bytes left.
bool ReadArchiveString(std::string_view bytes, std::size_t& pos, std::string& text);

// ---- table files -----------------------------------------------------------

enum class TableFile { Feed, Strip, Speed, Camera, Nozzle, Pack, Mark, DropDown };
inline constexpr int kTableFileCount = 8;
// The order in which the files are read and written.
inline constexpr TableFile kAllTableFiles[kTableFileCount] = {
    TableFile::Feed,   TableFile::Strip, TableFile::Speed, TableFile::Camera,
    TableFile::Nozzle, TableFile::Pack,  TableFile::Mark,  TableFile::DropDown};

// "config_feed.fig", "config_strip.fig", ... in the order of TableFile.
const char* TableFileName(TableFile file);

// The in-memory rows the eight files feed.
struct FigLists {
    std::vector<std::string> feed;      // g_FeedLines
    std::vector<std::string> strip;     // the frame's strip rows
    std::string speedSetNames;          // the names string at the head of config_speed.fig
    std::vector<std::string> speed;     // the frame's speed rows
    std::vector<std::string> camera;    // the frame's camera rows
    std::vector<std::string> nozzle;    // the frame's nozzle rows
    std::vector<std::string> pack;      // g_PackLines
    std::vector<std::string> mark;      // g_MarkLines
    std::vector<std::string> dropDown;  // g_DropDownLines

    std::vector<std::string>& Rows(TableFile file);
    const std::vector<std::string>& Rows(TableFile file) const;
};

// The bytes of one table file (names string first for the speed file).
std::string EncodeTableFile(const std::vector<std::string>& rows, const std::string* speedSetNames);

// Parses one table file, appending its rows (the list is not emptied first).
// A negative count reads as no rows.
bool DecodeTableFile(std::string_view bytes, std::vector<std::string>& rows,
                     std::string* speedSetNames);

// The most rows "config_speed.fig" may hold: three classes of 10000 templates, far
// beyond any machine's list. A larger file is refused rather than expanded, as
// each row becomes seventeen cells in each of the template tables.
inline constexpr std::size_t kMaxSpeedRows = 3 * 10000;

struct TableFileError {
    std::string file;    // the file name that failed
    std::string reason;  // what went wrong, for the operator
};

// Reads the eight files of `startFolder` in order, appending to `lists`.
// On failure fills `error` and returns false; rows read until then stay.
bool LoadFigLists(const std::string& startFolder, FigLists& lists, TableFileError& error);

// Writes the eight files to `startFolder` and to its "ConfigBackup" folder (created
// when missing) as one set of sixteen files (plat::WriteFileSet): all are replaced
// or, on a failure, which it reports in `error`, none.
bool SaveFigLists(const std::string& startFolder, const FigLists& lists, TableFileError& error);

// Writes one table file into `startFolder` only, as a library dialog does on OK.
bool SaveTableFile(const std::string& startFolder, TableFile file, const FigLists& lists,
                   TableFileError& error);

// Finishes or rolls back a set save killed half way and removes the temporary
// files it left beside the files of `startFolder` and its "ConfigBackup" folder;
// start-up calls it first.
void RemoveKilledSaveLeftovers(const std::string& startFolder);

// The operator's message for a table file that failed at start-up: it names the
// file, points to the copy in "ConfigBackup" and says the program ends.
std::string TableFileErrorText(const TableFileError& error);
// The operator's message for a table file that could not be saved.
std::string TableFileSaveErrorText(const TableFileError& error);

} // namespace smt
