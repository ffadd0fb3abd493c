// Feeder-group tables from arbitrary lines: the read ends cleanly, and what it
// kept writes lines that read back to the same lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_lines.h"
#include "feeders/feed_group_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AnswerMessageBoxesOk();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = FuzzLines(bytes);

    smt::FeedGroupTable table;
    smt::ReadFeedGroupTable(table, lines);
    std::vector<std::string> written;
    smt::WriteFeedGroupTable(table, written);
    // Wide damaged trays are cut to the largest columns value: keep the written
    // lines small enough to check quickly.
    std::size_t bytesOut = 0;
    for (const auto& l : written) bytesOut += l.size();
    if (bytesOut > (1u << 22)) return 0;

    smt::FeedGroupTable back;
    std::vector<std::string> copy = written;
    smt::ReadFeedGroupTable(back, copy);
    std::vector<std::string> again;
    smt::WriteFeedGroupTable(back, again);
    if (again != written || !copy.empty()) std::abort();
    return 0;
}
