// The boards' serial port: a pseudo-terminal in raw mode at 115200 8N1 whose slave
// side is published as "<dir>/COM<n>", where the program's serial layer looks first.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "codec.h"
#include "faults.h"
#include "machine.h"
#include "stop_signal.h"

namespace sim {

class SerialServer {
public:
    // `linkDir` empty: the port is opened but no COM link is published.
    SerialServer(Machine& machine, Faults& faults, std::string linkDir, int comNumber);
    ~SerialServer();
    SerialServer(const SerialServer&) = delete;
    SerialServer& operator=(const SerialServer&) = delete;

    bool Start(std::string* error = nullptr);
    void Stop();  // joins the thread, closes the port, removes the link

    std::string SlavePath() const;  // the pseudo-terminal's device
    std::string LinkPath() const;   // "<dir>/COM<n>", empty without a folder
    bool Plugged() const;

    // "Unplugged": the port closes and the link disappears; Replug opens a new one.
    void Unplug();
    bool Replug(std::string* error = nullptr);

    // Messages the boards send on their own.
    void SendKey(char key);                                // panel key '1'..'9'
    void SendReport(std::uint8_t code, std::uint8_t sub);  // error report EE FF code sub
    void SendRaw(const Bytes& bytes);

    void SetTimeScale(double scale) { m_timeScale = scale; }

private:
    bool OpenPort(std::string* error);
    void ClosePort();
    void Loop();
    void Answer(const Outcome& outcome);
    void WriteLocked(const Bytes& bytes);

    Machine& m_machine;
    Faults& m_faults;
    std::string m_dir;
    int m_com;
    std::atomic<double> m_timeScale{0.0};

    mutable std::mutex m_ioMutex;  // guards the descriptors and every write
    int m_master = -1;
    int m_slave = -1;              // held open so the port stays up between host sessions
    std::string m_slavePath;
    HostFrameDecoder m_decoder;

    StopSignal m_stop;
    LoopTicker m_ticker;
    std::thread m_thread;
};

} // namespace sim
