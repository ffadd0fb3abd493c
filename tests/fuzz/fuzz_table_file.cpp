// Table files from arbitrary bytes, with and without the speed-set names string:
// parsing fails cleanly or gives rows that encode and parse back to themselves.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/tablefile.h"

namespace {

void check(std::string_view bytes, bool speedFile) {
    std::vector<std::string> rows;
    std::string names;
    std::string* namesOut = speedFile ? &names : nullptr;
    if (!smt::DecodeTableFile(bytes, rows, namesOut)) return;
    const std::string encoded = smt::EncodeTableFile(rows, namesOut);
    std::vector<std::string> rowsBack;
    std::string namesBack;
    if (!smt::DecodeTableFile(encoded, rowsBack, speedFile ? &namesBack : nullptr)) std::abort();
    if (rowsBack != rows || namesBack != names) std::abort();
    if (smt::EncodeTableFile(rowsBack, speedFile ? &namesBack : nullptr) != encoded) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check(bytes, false);
    check(bytes, true);
    return 0;
}
