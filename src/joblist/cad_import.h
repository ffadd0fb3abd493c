// The CAD import into the current PCB: the import dialog's settings and captions,
// and the conversion of its rows into the current PCB record's placement rows.
#pragma once

#include <array>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "feeders/feed_rows.h"

namespace smt {

class PcbEditor;

// [ImportFileConfig] of config.ini, and the chosen layout kept between openings.
struct ImportFileConfig {
    int m_FitPartPacking = 0;
    int m_FitPartValue = 0;
    int m_Format = 0;
};
void LoadImportFileConfig(ImportFileConfig& config, const std::string& configPath);
bool SaveImportFileConfig(const ImportFileConfig& config, const std::string& configPath);
// The one the PCB editor's import dialog uses.
ImportFileConfig& TheImportFileConfig();

struct ImportFileText {
    const char* suffix;  // key "ImportFile." + suffix in [ImportFileConfig]
    const char* chinese;
};
inline constexpr int kImportFileTextCount = 23;
extern const std::array<ImportFileText, kImportFileTextCount> kImportFileTexts;

struct ImportFileTexts {
    std::array<std::string, kImportFileTextCount> text;
    ImportFileTexts();
    void Load(const std::string& startFolder, const std::string& language);
    const std::string& Get(std::string_view suffix) const;
};

// Progress of an import: `begin` with the row count, `step` after every row with
// the percentage text ("%d%%").
struct ImportProgress {
    std::function<void(int rows)> begin;
    std::function<void(const std::string& percent)> step;
};

// "%d-%d-%d  %d:%d:%d" of the local time of `t`.
std::string ImportTimeStamp(std::time_t t);

// The X or Y text of an import row as layout `format` converts it.
std::string ConvertImportedLength(const std::string& text, int format);
// The rotation as whole degrees: negatives + 360, 360 as 0.
std::string ConvertImportedAngle(const std::string& text);

// Replaces the current PCB record's part rows by one row per import row (each of
// `columns` cells, 7 normally). Feeders are matched by package and/or value, the
// first match in list order kept. False (nothing changed) without a current PCB.
bool AppendImportedParts(PcbEditor& pcb, const std::vector<std::vector<std::string>>& rows, int columns,
                         int format, int fitPacking, int fitValue, const std::vector<FeedRow>& feeders,
                         const ImportProgress& progress, std::time_t now);

} // namespace smt
