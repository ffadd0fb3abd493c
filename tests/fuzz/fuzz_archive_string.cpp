// Archive strings from arbitrary bytes: the reader never reads past the input or
// allocates beyond it, and whatever it accepts is written back and read again
// unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/tablefile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t pos = 0;
    std::string text;
    while (pos < bytes.size()) {
        const std::size_t before = pos;
        if (!smt::ReadArchiveString(bytes, pos, text)) break;
        if (pos <= before || pos > bytes.size()) std::abort();
        std::string again;
        smt::AppendArchiveString(again, text);
        std::size_t p = 0;
        std::string back;
        if (!smt::ReadArchiveString(again, p, back) || p != again.size() || back != text) std::abort();
    }
    return 0;
}
