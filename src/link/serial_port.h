// The serial port: a terminal device in raw mode at 115200 baud, 8 data bits, no
// parity, one stop bit, opened exclusively. Port numbers are the machine's "COMn":
// COMn is the device "$SMT_SERIAL_DIR/COMn" when that variable names a folder
// holding it (the simulator publishes its terminals there), otherwise /dev/ttyS<n-1>,
// then /dev/ttyUSB<n-1>.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace smt {

// Device paths tried for COMn, in order.
std::vector<std::string> ComDeviceCandidates(int comNumber);

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the first candidate of COMn that opens and takes the line settings.
    bool Open(int comNumber);
    bool OpenPath(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // Drops what is queued in both directions.
    void Purge();
    // Writes all bytes within `limit`; returns the bytes written.
    std::size_t Write(const std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds limit);
    // Waits up to `limit` for input, then reads what is there (at most `max`).
    // Returns the bytes read, 0 when none came, -1 when the port failed (unplugged).
    long Read(std::uint8_t* buffer, std::size_t max, std::chrono::milliseconds limit);

private:
    bool configure();
    int m_fd = -1;
    std::string m_path;
};

}  // namespace smt
