// What the line-reading fuzz targets share: the input cut into lines, and message
// boxes answered at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/msgbox.h"

// The bytes cut at every '\n' (the last line may be empty); no bytes, no lines.
inline std::vector<std::string> FuzzLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (!bytes.empty() && start <= bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        lines.emplace_back(bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

inline void AnswerMessageBoxesOk() {
    static const bool once = [] {
        plat::SetMessageBoxHandler([](const plat::MsgBoxRequest&) { return plat::MsgAnswer::Ok; });
        return true;
    }();
    (void)once;
}
