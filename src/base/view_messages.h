// The main view's 22 message texts: read by the view, shown by the positioning
// commands of the machine link.
#pragma once

#include <array>
#include <string>

namespace smt {

inline constexpr int kViewMessageCount = 22;
using ViewMessages = std::array<std::string, kViewMessageCount>;

// The built-in texts; entries 2 and 3 ("Camera 1", "Camera 2") are fixed names.
const ViewMessages& BuiltinViewMessages();

} // namespace smt
