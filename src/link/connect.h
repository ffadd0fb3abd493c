// Connecting the machine: the connect button's procedure over the serial port
// (scan from the saved port number) or Ethernet (multicast search for the main
// board, then the UDP endpoint and its reply dispatcher), the link-established
// steps, the travel limits sent after the serial handshake, and keep-awake while
// connected by Ethernet. The whole procedure runs off the user-interface thread.
//
// Who sets and clears the machine state flags (link/link_state.h):
//   g_Connected   set by a successful connect; cleared by a board time-out report,
//                 a reply that never came, a port that went away, the firmware update
//   g_Homed       set by the homing-finished handler; cleared by the reset button
//                 before it homes and by machine reports of axis faults
//   g_Running     claimed by whoever starts a machine action (link/busy.h) or a
//                 homing; cleared by that worker, the homing-finished handler or a
//                 failed homing
//   g_HeadResetOk set by homing and matching Z states; cleared by E3/E4 and Z faults
//   g_StopReceive set when the serial port closes or an attempt is abandoned
//   g_StopUdpReply set at shutdown
//   g_FirstConnect cleared at the end of the first Ethernet connect
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/cmd_srv.h"
#include "link/link_state.h"

namespace smt {

extern std::atomic<bool> g_FirstConnect;

struct DiscoveryOptions {
    std::string group = "239.15.1.100";
    std::uint16_t port = 65000;
    // The interface the search goes out on, by name ("lo") or address: empty reads
    // "m_DiscoveryInterface" of section "EthernetConfig" in the start folder's
    // config.ini; named nowhere, every IPv4 interface that is up.
    std::string interfaceName;
    int attempts = 10;
    plat::Millis receiveLimit{500};
};

// One IPv4 interface of this computer.
struct NetInterface {
    std::string name;     // "lo", "eth0", ...
    std::string address;  // dotted
    bool up = false;
};
// The IPv4 interfaces of this computer.
std::vector<NetInterface> ListIpv4Interfaces();
// The addresses the search goes out on: the interface `named` (by name or
// address; none when it is not there or down), or with no name every interface
// that is up.
std::vector<std::string> DiscoveryAddresses(const std::vector<NetInterface>& interfaces, const std::string& named);
// The interface config.ini names for the search ("" when none).
std::string ConfiguredDiscoveryInterface(const std::string& configPath);

struct ConnectOptions {
    DiscoveryOptions discovery;
    std::uint16_t boardPort = kMachinePort;
    LocalEndpoint local;        // where the computer's endpoint binds
    plat::Millis settle{500};   // pause after opening the endpoint
};
ConnectOptions& TheConnectOptions();

// What connecting uses of its neighbours; empty members do nothing / read the
// live settings.
struct ConnectPort {
    std::function<int()> comNumber;              // the panel's m_ComNumber
    std::function<void(int)> setComNumber;       // the port that answered, or 1
    std::function<bool()> liveViewOpen;          // the camera panel's live view
    std::function<void()> openLiveView;
};
ConnectPort& TheConnectPort();

// The search: sends "HOST DEVICE" to the group and waits for "MAIN BOARD DEVICE";
// `address` is the sender's dotted address. false after the attempts.
bool FindMainBoard(std::string& address, const DiscoveryOptions& options);

// Finds the board and, on the first connect, opens the endpoint toward it.
// "Ethernet is no Find !" when the board does not answer.
bool OpenEthernetLink();

// The connect button: nothing while connected, busy or connecting; otherwise the
// caption "联机中", the panel disabled and the procedure started on a worker.
// Returns true when a connect was started.
bool OnConnect();
// The same procedure on the calling thread (the worker, the firmware update).
bool ConnectNow();
bool Connecting();

// The limits of axes 0, 1, 2, 8, 9, 10 in pulses from the basic settings and the
// pulse factors, in sending order.
std::array<std::pair<std::uint8_t, std::int32_t>, 6> AxisLimitPulses();
// Sends each limit and waits for its answer; stops at the first that fails.
void SendAxisLimitsThread();

// The link's hooks: the command set's reply handlers (link established ..), the
// homing hooks, the axis limits after the handshake, the camera on a serial connect.
void InstallConnectHooks();

// Closes both links and joins their threads (the panel's destruction, shutdown).
void ShutDownLinks();

}  // namespace smt
