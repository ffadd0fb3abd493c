// The serial link: finds the port on which the machine answers the handshake,
// writes one command frame at a time under the link mutex, and runs the receive
// thread (port -> ring) and the frame thread (ring -> reply dispatch).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "link/serial_frame.h"
#include "link/serial_port.h"
#include "platform/event.h"

namespace smt {

class SerialLink {
public:
    SerialLink();
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Closes an open port, then tries COM ports from `comNumber`
    // up to 99 until one answers the handshake within its limit. On success
    // `comNumber` holds the port, the threads run and `g_Connected` is set. On
    // failure the connect button shows the failure caption, `comNumber` becomes 1
    // and `g_Connected` is left as it was.
    bool OpenSerialLink(int& comNumber);
    // Stops and joins the threads, then closes the port.
    void Close();
    bool IsOpen() const;

    // Writes one whole frame under g_LinkMutex; false when the port is closed or
    // did not take the frame within its limit (the caller's reply wait then ends
    // the command).
    bool SendFrame(const std::uint8_t* frame, std::size_t length);
    bool SendFrame(const std::vector<std::uint8_t>& frame) { return SendFrame(frame.data(), frame.size()); }
    // Command 0x00, the handshake frame: no trace and no wait (the opener waits
    // for the answer).
    bool SendHandshake();

private:
    bool tryPort(int number);
    // One port's handshake: sends it and ends. It runs on the opener's thread,
    // since the write is bounded and the opener waits for the answer anyway.
    void HandshakeThread();
    void startThreads();
    void stopThreads();
    void SerialReceiveThread();
    void SerialReplyThread();

    SerialPort m_port;
    FrameCutter m_cutter;
    plat::Event m_bytesArrived{false, false};
    std::thread m_receiveThread;
    std::thread m_frameThread;
    std::mutex m_openMutex;  // one OpenSerialLink or Close at a time
};

// The process-wide serial link (the manual control panel's).
SerialLink& GetSerialLink();

const SerialFrame& HandshakeFrame();
}  // namespace smt
