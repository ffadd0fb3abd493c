// The boards' serial port: a pseudo-terminal in raw mode at 115200 8N1 whose slave
// side is published as "<dir>/COM<n>", where the program's serial layer looks first.
// Unplugging removes the link; plugging in again opens a new pseudo-terminal under it.
#pragma once

#include <chrono>
#include <string>

#include "codec.h"
#include "link_server.h"

namespace sim {

class SerialServer : public LinkServer {
public:
    // `linkDir` empty: the port is opened but no COM link is published.
    SerialServer(Machine& machine, Faults& faults, std::string linkDir, int comNumber);
    ~SerialServer() override;

    std::string SlavePath() const;  // the pseudo-terminal's device
    std::string LinkPath() const;   // "<dir>/COM<n>", empty without a folder

    // Messages the boards send on their own.
    void SendKey(char key);                                // panel key '1'..'9'
    void SendReport(std::uint8_t code, std::uint8_t sub);  // error report EE FF code sub
    void SendRaw(const Bytes& bytes);

private:
    bool OpenLocked(std::string* error) override;
    void CloseLocked() override;
    bool IsOpenLocked() const override { return m_master >= 0; }
    void Loop() override;
    void Answer(std::uint16_t code, const Outcome& outcome);
    void Refuse(const HostFrame& frame, const FaultPlan& plan);
    void DropStalledFrame(std::chrono::steady_clock::time_point lastByte);
    void WriteLocked(const Bytes& bytes);

    std::string m_dir;
    int m_com;

    int m_master = -1;
    std::string m_slavePath;
    HostFrameDecoder m_decoder;
};

} // namespace sim
