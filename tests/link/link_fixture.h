// Shared by the link tests: byte helpers, a hook recorder and a fixture
// that puts the link state back between cases.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "platform/uipost.h"
#include "test_support.h"

namespace smt::test {

inline std::vector<std::uint8_t> Bytes(const std::string& hex) {
    const std::string raw = Hex(hex);
    return {raw.begin(), raw.end()};
}
inline std::string HexOf(const std::vector<std::uint8_t>& bytes) {
    return ToHex(std::string(bytes.begin(), bytes.end()));
}

// A reply frame as the machine writes it: start, type, code, data, tail.
inline std::vector<std::uint8_t> ReplyBytes(std::uint8_t type, std::uint8_t code, std::vector<std::uint8_t> data = {}) {
    // Reserved first: growing a three-byte vector by insert draws a false
    // out-of-bounds warning from the optimiser.
    std::vector<std::uint8_t> f;
    f.reserve(3 + data.size() + 4);
    for (std::uint8_t b : {std::uint8_t{0xEE}, type, code}) f.push_back(b);
    f.insert(f.end(), data.begin(), data.end());
    for (std::uint8_t b : {0xFF, 0xFC, 0xFF, 0xFF}) f.push_back(b);
    return f;
}

using Calls = std::vector<std::string>;

// Records what the reply side asked of the run, the jog and the panel.
class HookRecorder {
public:
    HookRecorder() {
        auto& h = GetLinkHooks();
        h = LinkHooks{};
        h.machineType = [this] { return machineType; };
        h.debugModel = [this] { return debugModel; };
        h.sendLimitsOnLink = [this] { return limitsOnLink; };
        h.startRun = [this] { add("start"); };
        h.pauseRun = [this] { add("pause"); };
        h.regainRun = [this] { add("regain"); };
        h.stopRun = [this] { add("stop"); };
        h.runPaused = [this] { return paused; };
        h.nextSpeedGear = [this] { add("gear"); return 0; };
        h.jogAxis = [this](std::uint8_t axis, int dir) { add("jog " + std::to_string(axis) + "," + std::to_string(dir)); };
        h.setSpeedGear = [this](std::uint8_t mode, std::uint8_t second) {
            add("speed " + std::to_string(mode) + "," + std::to_string(second));
        };
        h.resetButton = [this] { add("reset"); };
        h.onLinkEstablished = [this] { add("linked"); };
        h.onResetFinished = [this] { add("homed"); };
        h.onResetFinishedModel4 = [this] { add("homed4"); };
        h.showVacuumReading = [this] { add("vacuum " + std::to_string(g_VacuumReading.load())); };
        h.startSendAxisLimits = [this] { add("limits"); };
        h.showReplyCounter = [this](std::int32_t n) { add("replies " + std::to_string(n)); };
        h.showZFieldZero = [this] { add("z0"); };
        h.showNozzleValues = [this](const std::uint8_t* v) {
            std::string s = "nozzles";
            for (int i = 0; i < 8; ++i) s += " " + std::to_string(v[i]);
            add(s);
        };
        h.enableManualControls = [this](bool on) { add(on ? "enable" : "disable"); };
        h.setConnectCaption = [this](const std::string& c) { add("caption " + c); };
        SetTraceSink([this](const std::string& text, bool) { add("trace " + text); });
    }
    ~HookRecorder() {
        GetLinkHooks() = LinkHooks{};
        SetTraceSink(nullptr);
    }
    void add(const std::string& s) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(s);
    }
    std::vector<std::string> Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<std::string> Take() {
        std::lock_guard lock(m_mutex);
        auto c = std::move(m_calls);
        m_calls.clear();
        return c;
    }
    int machineType = 0;
    bool debugModel = false;
    bool limitsOnLink = false;
    bool paused = false;

private:
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResumeWaits();
        ResetLinkState();
        SetLinkTexts(LinkTexts{});
        // Boxes posted by the reply threads are answered at once by the scripted
        // responder, as if the user-interface thread were always free.
        m_poster = plat::SetUiPoster([](plat::UiTask task) { task(); });
    }
    void TearDown() override {
        for (int k = 0; k <= static_cast<int>(WaitKind::FlyFrames); ++k)
            SetWaitLimitOverride(static_cast<WaitKind>(k), plat::Millis(0));
        ResetLinkState();
        plat::SetUiPoster(m_poster);
    }
    plat::UiPoster m_poster;
    ScriptedResponder boxes;
    HookRecorder hooks;
};

}  // namespace smt::test
