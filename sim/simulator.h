// The whole simulated machine: one Machine, the faults, and the servers of the links
// asked for; plus the text control channel of the smt-sim program.
#pragma once

#include <memory>
#include <string>

#include "cameras.h"
#include "faults.h"
#include "machine.h"
#include "serial_server.h"
#include "sim_config.h"
#include "udp_server.h"
#include "world.h"

namespace sim {

// Keys of the machine's own operator panel.
enum class PanelKey { Start, Pause, Resume, Stop, Gear, Head, JogX0, JogX1, JogY0, JogY1, Reset };

// The serial key character ('1'..'9', 0 when the serial panel has no such key) and
// the Ethernet key number (1..11).
char SerialKeyOf(PanelKey key);
int UdpKeyOf(PanelKey key);
bool ParsePanelKey(const std::string& name, PanelKey* key);

class Simulator {
public:
    explicit Simulator(SimConfig config);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool Start(std::string* error = nullptr);
    void Stop();  // joins every server thread

    Machine& machine() { return m_machine; }
    Faults& faults() { return m_faults; }
    SerialServer* serial() { return m_serial.get(); }  // null with no serial link
    UdpServer* udp() { return m_udp.get(); }           // null with no Ethernet link
    CameraSet* cameras() { return m_cameras.get(); }    // null unless the config asks for cameras
    World* world() { return m_world.get(); }             // null until asked for (config or "scenario")
    // Starts the world on `scenario` (replacing the one there).
    World& UseScenario(Scenario scenario);
    const SimConfig& config() const { return m_config; }

    void PressKey(PanelKey key);  // on every link that is up
    void SetTimeScale(double scale);

    // One line of the control channel; the answer is text for the operator.
    // `quit` is set by "quit".
    std::string Command(const std::string& line, bool* quit = nullptr);

private:
    SimConfig m_config;
    Machine m_machine;
    Faults m_faults;
    std::unique_ptr<SerialServer> m_serial;
    std::unique_ptr<UdpServer> m_udp;
    std::unique_ptr<CameraSet> m_cameras;
    std::unique_ptr<World> m_world;
    std::string m_cameraFolder;
    std::string m_scenarioError;
    bool m_started = false;  // once started, the cameras' images stay as they are
};

std::string ControlHelp();

} // namespace sim
