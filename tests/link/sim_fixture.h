// The link against the simulated machine: a board on a pseudo-terminal published
// as "COMn" in the case's own folder and/or on loopback UDP, the link pointed at
// it, helpers to read what the board took, and everything put back after each case.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/busy.h"
#include "link/cmd_srv.h"
#include "link/commands.h"
#include "link/connect.h"
#include "link/homing.h"
#include "link/position_counters.h"
#include "link/replies.h"
#include "link/reply_handlers.h"
#include "link/serial_link.h"
#include "link_fixture.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"
#include "simulator.h"

namespace smt::test {

enum class Wire { Serial, Ethernet };

inline const char* WireName(const ::testing::TestParamInfo<Wire>& info) {
    return info.param == Wire::Serial ? "Serial" : "Ethernet";
}

// The speed codes of each X/Y move (0x64, 0x53) in `frames`, "start/run" of X
// then of Y; an Ethernet payload carries X's only.
inline std::vector<std::string> MoveSpeeds(const std::vector<sim::FrameRecord>& frames, bool serial) {
    std::vector<std::string> out;
    for (const auto& f : frames) {
        const auto& d = f.data;
        auto le = [&](std::size_t at) {
            return static_cast<int>(d.at(at) | d.at(at + 1) << 8 | d.at(at + 2) << 16 | d.at(at + 3) << 24);
        };
        auto pair = [](int start, int run) { return std::to_string(start) + "/" + std::to_string(run); };
        if (f.code == 0x64 && serial) {
            const std::size_t x = d.size() == 18 ? 4 : 2, y = x + (d.size() == 18 ? 6 : 4);
            out.push_back(pair(d.at(x), d.at(x + 1)) + " " + pair(d.at(y), d.at(y + 1)));
        } else if (f.code == 0x64) {
            out.push_back(pair(le(16), le(20)));
        } else if (f.code == 0x53 && serial) {
            out.push_back(pair(d.at(5), d.at(6)) + " " + pair(d.at(12), d.at(13)));
        } else if (f.code == 0x53) {
            out.push_back(pair(le(18), le(22)));
        }
    }
    return out;
}

inline std::uint16_t OwnDiscoveryPort() { return static_cast<std::uint16_t>(20000 + getpid() % 20000); }

// Reset speeds with a distinct pair per drive: drive d has (10 + d, 100 + d).
inline SpeedTypeTable NumberedResetSpeeds() {
    SpeedTypeTable t;
    for (int d = 0; d < 16; ++d) t.SetPair(d, {10 + d, 100 + d});
    return t;
}

class SimTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ::setenv("SMT_SERIAL_DIR", dir.Path().c_str(), 1);
    }
    void TearDown() override {
        plat::CancelAllWaits();
        plat::JoinAllWorkers(std::chrono::seconds(20));
        StopUdpReplyThread();
        GetSerialLink().Close();
        GetMachineLink().Close();
        if (sim) sim->Stop();
        plat::ResumeWaits();
        ::unsetenv("SMT_SERIAL_DIR");
        TheCommandPanel() = CommandPanelPort{};
        TheBasicSettings() = BasicSettings{};
        ThePulseFactors() = PulseFactors{};
        TheVersionSwitches() = VersionSwitches{};
        TheSpeedTemplates().SetSettings(SpeedTemplateSettings{});
        ClearPositionCounters();
        LinkTest::TearDown();
    }

    // The simulated machine of `type`: serial at COM `com`, UDP on a free port.
    void StartSim(int type, bool serial = true, bool udp = true, int com = 5) {
        sim::SimConfig c;
        c.machineType = type;
        c.serial = serial;
        c.serialDir = dir.Path();
        c.comNumber = com;
        c.udp = udp;
        c.udpPort = 0;
        c.discoveryPort = discoveryPort;
        sim = std::make_unique<sim::Simulator>(c);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        hooks.machineType = type;
    }

    // Settings, counters and the panel port at a known start.
    void ResetCommandWorld(bool serial) {
        ClearPositionCounters();
        TheCommandPanel() = CommandPanelPort{};
        TheBasicSettings() = BasicSettings{};
        TheBasicSettings().m_CommModel = serial ? 0 : 1;
        TheVersionSwitches() = VersionSwitches{};
        SpeedTemplateSettings s;
        s.m_A_RunFast = 3600;
        TheSpeedTemplates().SetSettings(s);
        SetMoveLimits({400000, -300000, 400000, 300000});
        g_PanelCamera = 0;
        g_CameraChanged = 0;
    }
    // The machine of `type` on one link, connected, its records empty. Hooks go
    // in through `beforeConnect`: no reply thread runs while they are installed.
    void StartMachine(bool serial, int type = 0, const std::function<void()>& beforeConnect = {}) {
        ResetCommandWorld(serial);
        if (beforeConnect) beforeConnect();
        StartSim(type, serial, !serial, 4);
        if (serial) {
            int number = 4;
            ASSERT_TRUE(GetSerialLink().OpenSerialLink(number));
        } else {
            ASSERT_TRUE(GetMachineLink().Open(sim::kBoardAddress, sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
            StartUdpReplyThread(GetMachineLink());
        }
        g_Connected = true;
        hooks.Take();
        machine().ClearRecords();
    }

    sim::Machine& machine() { return sim->machine(); }

    // Frames of `code` the machine received.
    std::vector<sim::FrameRecord> FramesOf(std::uint16_t code) {
        std::vector<sim::FrameRecord> out;
        for (auto& f : machine().Frames())
            if (f.code == code) out.push_back(f);
        return out;
    }
    int Count(std::uint16_t code) {
        int n = 0;
        for (const auto& f : machine().Frames()) n += f.code == code && f.accepted;
        return n;
    }
    // The data bytes (serial) or payload (Ethernet) of the last command the machine took.
    std::string LastData() {
        const auto frames = machine().Frames();
        return frames.empty() ? "(none)" : HexOf(frames.back().data);
    }
    std::uint16_t LastCode() {
        const auto frames = machine().Frames();
        return frames.empty() ? 0xFFFF : frames.back().code;
    }
    std::size_t FrameCount() { return machine().Frames().size(); }
    // The outputs switched, "channel:value " each.
    std::string OutputsSent() {
        std::string s;
        for (const auto& o : machine().OutputLog()) s += std::to_string(o.channel) + ":" + std::to_string(o.value) + " ";
        return s;
    }
    std::vector<std::string> Traces() {
        std::vector<std::string> t;
        for (const auto& c : hooks.Calls())
            if (c.rfind("trace ", 0) == 0) t.push_back(c.substr(6));
        return t;
    }
    bool HookSeen(const std::string& call) {
        const auto c = hooks.Calls();
        return std::find(c.begin(), c.end(), call) != c.end();
    }
    // Every worker ended and the busy flag free again.
    bool WaitIdle() { return plat::JoinAllWorkers(std::chrono::seconds(20)) && !g_Running.load(); }
    // The program's counters where the machine's drives are (the machine keeps
    // whole turns of A, the program one revolution).
    void ExpectCountersAtMachine() {
        const PositionSnapshot s = TakePositionSnapshot();
        const sim::Drives d = machine().Positions();
        EXPECT_EQ(s.x, d.x);
        EXPECT_EQ(s.y, d.y);
        EXPECT_EQ(s.x2, d.x2);
        EXPECT_EQ(s.y2, d.y2);
        for (int n = 0; n < 8; ++n) {
            EXPECT_EQ(s.z[n], d.z[n]) << "Z" << n + 1;
            EXPECT_EQ((static_cast<std::int64_t>(s.a[n]) - d.a[n]) % 3600, 0) << "A" << n + 1 << ": " << s.a[n];
            EXPECT_LT(std::abs(s.a[n]), 3600);
        }
        for (int w = 0; w < 4; ++w) EXPECT_EQ(s.walk[w], d.walk[w]) << "walk " << w;
    }

    TempDir dir;
    std::unique_ptr<sim::Simulator> sim;
    std::uint16_t discoveryPort = 0;
};

// The connect and homing hooks installed, the discovery on the case's own port.
class ConnSimTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        discoveryPort = OwnDiscoveryPort();
        InstallConnectHooks();
        g_FirstConnect = true;
        auto& o = TheConnectOptions();
        o = ConnectOptions{};
        o.discovery.port = discoveryPort;
        o.discovery.interfaceName = "127.0.0.1";  // tests search on loopback only
        o.discovery.attempts = 3;
        o.discovery.receiveLimit = std::chrono::milliseconds(300);
        o.local.port = 0;
        o.settle = std::chrono::milliseconds(0);
        TheConnectPort() = ConnectPort{};
        TheConnectPort().comNumber = [this] { return comNumber; };
        TheConnectPort().setComNumber = [this](int n) { savedCom = n; };
        TheHomingPort() = HomingPort{};
        TheHomingPort().machineType = [this] { return hooks.machineType; };
        TheHomingPort().resetSpeeds = [] { return NumberedResetSpeeds(); };
    }
    void TearDown() override {
        SimTest::TearDown();
        TheHomingPort() = HomingPort{};
        TheConnectPort() = ConnectPort{};
        TheConnectOptions() = ConnectOptions{};
        g_FirstConnect = true;
    }
    void StartSim(int type, bool serial = true, bool udp = true) {
        SimTest::StartSim(type, serial, udp);
        if (udp) TheConnectOptions().boardPort = sim->udp()->Port();
    }
    bool ConnectSerial() {
        TheBasicSettings().m_CommModel = 0;
        return ConnectNow();
    }
    bool ConnectEthernet() {
        TheBasicSettings().m_CommModel = 1;
        return ConnectNow();
    }
    // Waits for the homing under way to end (finished or failed).
    bool HomingEnded() {
        return WaitUntil([] { return !HomingInProgress() && !g_Running.load(); });
    }

    int comNumber = 3;
    int savedCom = -1;
};

}  // namespace smt::test
