// Helpers shared by the settings tests.
#pragma once

#include <clocale>
#include <sstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "test_support.h"

namespace smt::test {

// The "key=value" lines of a profile file, in file order (section headers kept).
inline std::vector<std::string> ProfileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// Sets a German numeric locale (decimal comma) for its lifetime.
class GermanNumericLocale {
public:
    GermanNumericLocale() {
        m_previous = std::setlocale(LC_ALL, nullptr);
        m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~GermanNumericLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    bool Active() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};

} // namespace smt::test
