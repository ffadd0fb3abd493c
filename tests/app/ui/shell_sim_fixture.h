// The whole program (its real wiring) connected to a simulated machine on the
// serial link or on Ethernet, for the flows that an operator starts from widgets.
#pragma once

#include <QApplication>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <unistd.h>

#include <gtest/gtest.h>

#include "link/connect.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/serial_link.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "shell_fixture.h"
#include "simulator.h"

namespace smt::test {

enum class Wire { Serial, Ethernet };

inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    QApplication::processEvents();
    return true;
}

inline bool Idle() { return !g_Running.load() && plat::RunningWorkers() == 0; }

inline std::string WireName(const ::testing::TestParamInfo<Wire>& info) {
    return info.param == Wire::Serial ? "Serial" : "Ethernet";
}

class ShellOnSim : public ::testing::TestWithParam<Wire> {
protected:
    // The simulator on the shipped config's port, the program started (not yet connected).
    void StartShellOnSim() {
        g_Connected = g_Homed = g_Running = false;
        // A new program in this process: the previous one's exit closed the machine
        // link and its reply thread, which a program opens only on its first connect.
        g_FirstConnect = true;
        ClearPositionCounters();
        setenv("SMT_SERIAL_DIR", serialDir.Path().c_str(), 1);
        sim::SimConfig c;
        c.serialDir = serialDir.Path();
        c.comNumber = 3;
        c.serial = serial();
        c.udp = !serial();
        c.udpPort = 0;
        c.discoveryPort = static_cast<std::uint16_t>(20000 + getpid() % 20000);
        machine = std::make_unique<sim::Simulator>(c);
        std::string error;
        ASSERT_TRUE(machine->Start(&error)) << error;
        ConnectOptions& o = TheConnectOptions();
        o = ConnectOptions{};
        o.discovery.port = c.discoveryPort;
        o.discovery.attempts = 3;
        o.discovery.receiveLimit = std::chrono::milliseconds(300);
        o.local.port = 0;
        o.settle = std::chrono::milliseconds(0);
        if (!serial()) o.boardPort = machine->udp()->Port();
        app = std::make_unique<ShellApp>();
        ASSERT_TRUE(app->Start());
        TheBasicSettings().m_CommModel = serial() ? 0 : 1;
        TheBasicSettings().m_OnlineToReset = 0;
    }
    void StopShellOnSim() {
        PumpUntil(Idle);
        ShutDownLinks();
        if (machine) machine->Stop();
        app.reset();
        TheConnectOptions() = ConnectOptions{};
        g_Connected = g_Homed = g_Running = false;
        unsetenv("SMT_SERIAL_DIR");
    }
    bool serial() const { return GetParam() == Wire::Serial; }

    TempDir serialDir;
    std::unique_ptr<sim::Simulator> machine;
    std::unique_ptr<ShellApp> app;
    ScriptedResponder boxes;
};

} // namespace smt::test
