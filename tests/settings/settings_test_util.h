// Helpers shared by the settings tests.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <sstream>
#include <string>
#include <vector>

#include "link/busy.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "platform/uipost.h"
#include "machine_ops/basic_teach.h"
#include "test_support.h"

namespace smt::test {

// The non-empty lines of a profile file, in file order (section headers kept).
inline std::vector<std::string> ProfileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// A range check's first refusal as "control: message", "" when every field passes.
template <typename Bad>
std::string FirstBadField(const Bad& bad) {
    return bad ? std::to_string(bad->control) + ": " + RangeMessage(*bad) : "";
}

// Sets a German numeric locale (decimal comma) for its lifetime.
class GermanNumericLocale {
public:
    GermanNumericLocale() : m_previous(std::setlocale(LC_ALL, nullptr)) { std::setlocale(LC_ALL, "de_DE.UTF-8"); }
    ~GermanNumericLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }

private:
    std::string m_previous;
};

// Link state cleared; the feeders' worker replaced by a recorder that keeps the
// busy claim in `held`, as a running worker would, until the test releases it.
class FeedOperationTest : public ::testing::Test {
protected:
    FeedOperationTest() {
        Clear();
        TheFeedOperationPort().start = [this](int code, BusyClaim claim) {
            codes.push_back(code);
            runningWhileStarted = g_Running.load();
            held = std::move(claim);
        };
    }
    ~FeedOperationTest() override {
        held.Release();
        TheFeedOperationPort() = {};
        Clear();
    }
    static void Clear() {
        ResetLinkState();
        ClearPositionCounters();
        plat::RunPostedTasks();
    }
    ScriptedResponder boxes;
    std::vector<int> codes;
    bool runningWhileStarted = false;
    BusyClaim held;
};

} // namespace smt::test
