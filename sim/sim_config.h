// Where the simulated boards live. The host program's link defaults point at the
// same places, so the program finds the simulated machine without set-up.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// The board's UDP endpoint; the host side uses kHostAddress on the same port.
inline constexpr const char* kBoardAddress = "127.0.0.2";
inline constexpr const char* kHostAddress = "127.0.0.1";
inline constexpr std::uint16_t kLinkPort = 60000;

// Discovery: the host sends "HOST DEVICE" to this group and port; the board answers
// "MAIN BOARD DEVICE" from its own address to the sender.
inline constexpr const char* kDiscoveryGroup = "239.15.1.100";
inline constexpr std::uint16_t kDiscoveryPort = 65000;
// Multicast stays on the loopback interface: membership and sending interface.
inline constexpr const char* kLoopbackInterface = "127.0.0.1";

// Folder of "COM<n>" links to the simulated serial ports, and the default port.
inline constexpr const char* kSerialDirEnv = "SMT_SERIAL_DIR";
inline constexpr int kDefaultComNumber = 3;

struct SimConfig {
    int machineType = 0;                  // 0..9, as the program's machine type
    bool serial = true;
    std::string serialDir;                // empty: $SMT_SERIAL_DIR, else no link is published
    int comNumber = kDefaultComNumber;
    bool udp = true;
    std::string udpAddress = kBoardAddress;
    std::uint16_t udpPort = kLinkPort;    // 0: any free port (tests)
    std::string discoveryGroup = kDiscoveryGroup;
    std::uint16_t discoveryPort = kDiscoveryPort;  // 0: no discovery responder
    double timeScale = 0.0;               // 0: replies at once; 1: real motion time
    // Simulated cameras, published in the serial folder (smt-sim: on by default).
    bool cameras = false;
    std::string cameraSpecs;              // "NAME[:WxH][:mono],..."; empty: the three cameras
    int videoCameras = -1;                // ordinary cameras; -1: two on types 4 and 5, else none
    // The world the machine acts on (parts, boards, the ledger, what the cameras see).
    bool world = false;
    std::string scenarioFile;             // empty: the default scenario
};

} // namespace sim
