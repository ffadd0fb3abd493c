// CAD coordinate files from arbitrary bytes: the first byte picks the layout. Every
// reader ends, every row it gives carries numeric coordinates, every skipped line is
// named by a line of the text, the fit check ends, and the decoder always yields
// valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "joblist/cad_layouts.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int format = data[0] % smt::kImportFormatCount;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string text = smt::DecodeCadText(bytes);
    if (!plat::IsValidUtf8(text)) std::abort();
    const smt::CadReadResult r = smt::CadReaderFor(format)(bytes);
    for (const smt::ImportRow& row : r.rows)
        if (!smt::StartsWithNumber(row[2]) || !smt::StartsWithNumber(row[3])) std::abort();
    if (r.rows.size() + static_cast<std::size_t>(r.skipped) > text.size() + 1) std::abort();
    if (r.skippedLines.size() != static_cast<std::size_t>(r.skipped)) std::abort();
    for (const smt::SkippedLine& s : r.skippedLines)
        if (s.line < 1 || static_cast<std::size_t>(s.line) > text.size() + 1) std::abort();
    const smt::CadMisfit fit = smt::CheckCadFit(format, bytes);
    if (fit != smt::CadMisfit::None && r.rows.empty()) std::abort();  // no rows: nothing to ask
    return 0;
}
