// Coordinate files of CAD programs: the 21 layouts of the import dialog's format
// list, the text decoder, and the readers that cut a file into import rows. The
// readers convert nothing but a coordinate whose unit only the file's header
// states; units written with the number stay for the import to convert.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace smt {

// 0 designator, 1 footprint, 2 X, 3 Y, 4 rotation, 5 comment, 6 layer.
inline constexpr int kImportCells = 7;
using ImportRow = std::array<std::string, kImportCells>;

inline constexpr int kImportFormatCount = 21;
struct ImportFormat {
    const char* name;
    const char* filter;     // Qt file-dialog filter
    const char* extension;  // default extension
};
extern const std::array<ImportFormat, kImportFormatCount> kImportFormats;

// A file's bytes as UTF-8: a byte-order mark decides (UTF-8, UTF-16LE/BE);
// otherwise the text ends at the first zero byte and is read as UTF-8 when it is
// valid UTF-8, else as GBK.
std::string DecodeCadText(std::string_view bytes);

// A line passed over: its number in the file (from 1) and what stood as designator.
struct SkippedLine {
    int line = 0;
    std::string designator;
};

struct CadReadResult {
    std::vector<ImportRow> rows;
    // Non-blank lines after the header whose coordinates are not numbers.
    int skipped = 0;
    std::vector<SkippedLine> skippedLines;  // one per skipped line, in file order
};

// Cuts decoded text by layout `format` (0..20); an unknown index gives nothing.
CadReadResult ReadCadText(int format, std::string_view text);

// The readers, one per layout (0 and 2 share one); each takes the file's bytes.
CadReadResult ReadProtelTxt(std::string_view bytes);
CadReadResult ReadProtelPik(std::string_view bytes);
CadReadResult ReadAltium20Txt(std::string_view bytes);
CadReadResult ReadAltium20Csv(std::string_view bytes);
CadReadResult ReadPowerPcbTxt(std::string_view bytes);
CadReadResult ReadAllegroTxt(std::string_view bytes);
CadReadResult ReadEagleMnt(std::string_view bytes);
CadReadResult ReadKiCadPos(std::string_view bytes);
CadReadResult ReadExcelCsv(std::string_view bytes);
CadReadResult ReadProteusPkp(std::string_view bytes);
CadReadResult ReadMentorTxt(std::string_view bytes);
CadReadResult ReadPadsTxt(std::string_view bytes);
CadReadResult ReadPadsTxtNew(std::string_view bytes);
CadReadResult ReadPadsCsv(std::string_view bytes);
CadReadResult ReadPads318(std::string_view bytes);
CadReadResult ReadGerbCamCsv(std::string_view bytes);
CadReadResult ReadGerbCamTxt(std::string_view bytes);
CadReadResult ReadAllegroCsv(std::string_view bytes);
CadReadResult ReadAllegroNewTxt(std::string_view bytes);
CadReadResult ReadSpeedLayoutTxt(std::string_view bytes);

// The reader of a layout index; null for an unknown index.
using CadReader = CadReadResult (*)(std::string_view bytes);
CadReader CadReaderFor(int format);

// True when the text starts (after blanks) with a decimal number.
bool StartsWithNumber(std::string_view text);

// Whether a file looks like layout `format` before its rows are taken: the lines
// the layout drops as header hold no part, the first cells read as designators and
// the coordinates as numbers in most rows, and the layout's particular marks hold
// (no named columns for Proteus, whose numbers are converted from mils; a closing
// line that is not a part for the PIK report, which drops it).
enum class CadMisfit {
    None,          // fits, or the file gives no rows at all (reported as such)
    Header,        // the header the layout drops holds parts, or a header it cannot have
    Designators,   // most first cells are no designators
    Coordinates,   // most X, Y or rotation cells are no numbers
    LastLine,      // the line the layout drops as closing line is a part
};
CadMisfit CheckCadFit(int format, std::string_view bytes);

} // namespace smt
