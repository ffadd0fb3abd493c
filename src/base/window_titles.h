// The main window's title in each interface language (Chinese, English, German);
// message boxes of the job lists carry it too, so it lives below them.
#pragma once

#include <array>

namespace smt {

extern const std::array<const char*, 3> kWindowTitles;

} // namespace smt
