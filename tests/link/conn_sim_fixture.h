// A simulated machine on a pseudo-terminal and on loopback UDP (with its own
// discovery port), the link pointed at it, and the connect and homing hooks
// installed; everything put back after each case.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "link/busy.h"
#include "link/cmd_srv.h"
#include "link/connect.h"
#include "link/homing.h"
#include "link/manual_control.h"
#include "link/replies.h"
#include "link/reply_handlers.h"
#include "link/position_counters.h"
#include "link/serial_link.h"
#include "link_fixture.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "simulator.h"

namespace smt::test {

inline std::uint16_t OwnDiscoveryPort() { return static_cast<std::uint16_t>(20000 + getpid() % 20000); }

// Reset speeds with a distinct pair per drive: drive d has (10 + d, 100 + d).
inline SpeedTypeTable NumberedResetSpeeds() {
    SpeedTypeTable t;
    for (int d = 0; d < 16; ++d) t.SetPair(d, {10 + d, 100 + d});
    return t;
}

class ConnSimTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ::setenv("SMT_SERIAL_DIR", dir.Path().c_str(), 1);
        TheBasicSettings() = BasicSettings{};
        ThePulseFactors() = PulseFactors{};
        InstallConnectHooks();
        g_FirstConnect = true;
        auto& o = TheConnectOptions();
        o = ConnectOptions{};
        o.discovery.port = OwnDiscoveryPort();
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
        if (sim) sim->Stop();
        plat::CancelAllWaits();
        plat::JoinAllWorkers(std::chrono::seconds(10));
        StopUdpReplyThread();
        GetSerialLink().Close();
        GetMachineLink().Close();
        plat::ResumeWaits();
        ::unsetenv("SMT_SERIAL_DIR");
        TheHomingPort() = HomingPort{};
        TheConnectPort() = ConnectPort{};
        TheConnectOptions() = ConnectOptions{};
        TheBasicSettings() = BasicSettings{};
        g_FirstConnect = true;
        LinkTest::TearDown();
    }

    // The simulated machine of `type`: serial at COM5, UDP on a free port.
    void StartSim(int type, bool serial = true, bool udp = true) {
        sim::SimConfig c;
        c.machineType = type;
        c.serial = serial;
        c.serialDir = dir.Path();
        c.comNumber = 5;
        c.udp = udp;
        c.udpPort = 0;
        c.discoveryPort = OwnDiscoveryPort();
        sim = std::make_unique<sim::Simulator>(c);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        if (udp) TheConnectOptions().boardPort = sim->udp()->Port();
        hooks.machineType = type;
    }

    bool ConnectSerial() {
        TheBasicSettings().m_CommModel = 0;
        return ConnectNow();
    }
    bool ConnectEthernet() {
        TheBasicSettings().m_CommModel = 1;
        return ConnectNow();
    }

    // Frames of `code` the simulated machine received.
    std::vector<sim::FrameRecord> FramesOf(std::uint16_t code) {
        std::vector<sim::FrameRecord> out;
        for (auto& f : sim->machine().Frames())
            if (f.code == code) out.push_back(f);
        return out;
    }

    // Waits for the homing under way to end (finished or failed).
    bool HomingEnded() {
        return WaitUntil([] { return !HomingInProgress() && !g_Running.load(); });
    }

    TempDir dir;
    std::unique_ptr<sim::Simulator> sim;
    int comNumber = 3;
    int savedCom = -1;
};

}  // namespace smt::test
