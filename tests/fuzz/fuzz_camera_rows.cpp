// Camera rows from arbitrary lines: every row holds exactly its cells, the
// written lines read back to the same rows, and the records come out of any row.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/numtext.h"
#include "vision/camera_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (size > 0 && start <= bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        lines.emplace_back(bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    const auto rows = smt::ParseCameraRows(lines);
    if (rows.size() != lines.size()) std::abort();
    // A written row has 28 tabs, so it reads back in the plain layout... unless a
    // cell holds a tab itself, which a cut line never does.
    const auto written = smt::BuildCameraLines(rows);
    if (!written.empty()) {
        if (smt::ParseCameraRows(written) != rows) std::abort();
    }
    smt::CameraList list;
    list.UpdateActiveCameras(rows, 100.0, 83.3);
    if (rows.size() == 2 && (list.First().CameraNumber != 1 || list.Second().CameraNumber != 2)) std::abort();
    if ((rows.empty() || rows.size() > 2) && !(list.First() == smt::CameraRecord{})) std::abort();
    return 0;
}
