// The command functions against the simulated machine over a real serial port
// (pseudo-terminal) or a real UDP endpoint: the sim records every command it took.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "link/cmd_srv.h"
#include "link/commands.h"
#include "link/position_counters.h"
#include "link/replies.h"
#include "link/serial_link.h"
#include "link_fixture.h"
#include "settings/basic_settings.h"
#include "settings/speed_template.h"
#include "settings/version_switches.h"
#include "simulator.h"

namespace smt::test {

enum class Wire { Serial, Ethernet };

inline const char* WireName(const ::testing::TestParamInfo<Wire>& info) {
    return info.param == Wire::Serial ? "Serial" : "Ethernet";
}

// Settings, counters and the panel port back to a known start.
inline void ResetCommandWorld(bool serial) {
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

class SimCommandTest : public LinkTest {
protected:
    void StartMachine(bool serial, int machineType = 0) {
        m_serial = serial;
        ResetCommandWorld(serial);
        hooks.machineType = machineType;
        sim::SimConfig c;
        c.machineType = machineType;
        c.serialDir = m_dir.Path();
        c.comNumber = 4;
        c.serial = serial;
        c.udp = !serial;
        c.udpAddress = sim::kBoardAddress;
        c.udpPort = 0;
        c.discoveryPort = 0;
        m_sim = std::make_unique<sim::Simulator>(c);
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        if (serial) {
            ::setenv("SMT_SERIAL_DIR", m_dir.Path().c_str(), 1);
            int number = 4;
            ASSERT_TRUE(GetSerialLink().Open(number));
        } else {
            ASSERT_TRUE(GetMachineLink().Open(sim::kBoardAddress, m_sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
            StartUdpReplyThread(GetMachineLink());
        }
        g_Connected = true;
        hooks.Take();
        m_sim->machine().ClearRecords();
    }

    void TearDown() override {
        if (m_serial) {
            GetSerialLink().Close();
            ::unsetenv("SMT_SERIAL_DIR");
        } else {
            StopUdpReplyThread();
            GetMachineLink().Close();
        }
        if (m_sim) m_sim->Stop();
        TheCommandPanel() = CommandPanelPort{};
        TheBasicSettings() = BasicSettings{};
        TheVersionSwitches() = VersionSwitches{};
        TheSpeedTemplates().SetSettings(SpeedTemplateSettings{});
        ClearPositionCounters();
        LinkTest::TearDown();
    }

    sim::Machine& machine() { return m_sim->machine(); }

    // The data bytes (serial) or payload (Ethernet) of the last command the sim took.
    std::string LastData() {
        const auto frames = machine().Frames();
        if (frames.empty()) return "(none)";
        return HexOf(frames.back().data);
    }
    std::uint16_t LastCode() {
        const auto frames = machine().Frames();
        return frames.empty() ? 0xFFFF : frames.back().code;
    }
    std::size_t FrameCount() { return machine().Frames().size(); }
    std::vector<std::string> Traces() {
        std::vector<std::string> t;
        for (const auto& c : hooks.Calls())
            if (c.rfind("trace ", 0) == 0) t.push_back(c.substr(6));
        return t;
    }

    bool m_serial = true;
    TempDir m_dir;
    std::unique_ptr<sim::Simulator> m_sim;
};

}  // namespace smt::test
