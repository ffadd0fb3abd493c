// Arbitrary bytes as "config_speed.fig" (the first byte picks the language): the file
// either fails to read or gives tables whose rows write back and read again to the
// same tables, never more rows than the cap, and every cell parses and scales.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/tablefile.h"
#include "settings/speed_tables.h"

namespace {
void check(bool ok) {
    if (!ok) __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int language = data[0] % smt::kSpeedLanguageCount;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string> rows;
    std::string names;
    if (!smt::DecodeTableFile(bytes, rows, &names)) return 0;

    const auto tables = smt::SpeedTemplateTables::FromRows(rows, language);
    check(static_cast<std::size_t>(tables.Count()) == std::min(rows.size(), smt::kMaxSpeedRows) / smt::kSpeedClassCount);
    for (int cls = 0; cls < smt::kSpeedClassCount; ++cls) {
        check(tables.Class(cls).size() == static_cast<std::size_t>(tables.Count()));
        for (const auto& row : tables.Class(cls))
            for (std::size_t c = 1; c < row.size(); ++c) {
                std::string scaled;
                if (smt::ScaleSpeedCell(row[c], 1 + static_cast<int>(c) * 6, scaled))
                    check(scaled.find(smt::kSpeedCellSeparator) != std::string::npos);
            }
    }

    const std::vector<std::string> written = tables.ToRows();
    std::vector<std::string> back;
    std::string backNames;
    check(smt::DecodeTableFile(smt::EncodeTableFile(written, &names), back, &backNames));
    check(back == written);
    check(smt::SpeedTemplateTables::FromRows(back, language) == tables);
    return 0;
}
