#include "base/window_titles.h"

namespace smt {

const std::array<const char*, 3> kWindowTitles = {
    "岚拓韦贴片机控制系统V2.066",
    "Tavrel SMT Control System V2.066",
    "Tavrel SMT Control System V2.066",
};

} // namespace smt
