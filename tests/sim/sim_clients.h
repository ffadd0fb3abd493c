// Raw clients of the simulated boards for tests: a serial port opened like any
// program would, and a UDP socket that speaks datagrams byte for byte.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "codec.h"
#include "test_support.h"

namespace simtest {

using sim::Bytes;

inline Bytes B(const std::string& hex) {
    const std::string s = smt::test::Hex(hex);
    return Bytes(s.begin(), s.end());
}

// The serial port's link (or any file) is no longer there.
inline bool Gone(const std::string& path) {
    return !std::filesystem::exists(std::filesystem::symlink_status(path));
}

inline auto Deadline(int ms) { return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms); }

inline sockaddr_in Addr(const char* ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

class RawSerial {
public:
    explicit RawSerial(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios t{};
        if (m_fd < 0 || tcgetattr(m_fd, &t) != 0) return;
        cfmakeraw(&t);
        tcsetattr(m_fd, TCSANOW, &t);
    }
    ~RawSerial() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    void Write(const Bytes& b) { (void)!::write(m_fd, b.data(), b.size()); }

    // One read of whatever arrives within `ms`.
    Bytes ReadOnce(int ms) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) return {};
        std::uint8_t buf[512];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        return n <= 0 ? Bytes{} : Bytes(buf, buf + n);
    }

    // Reads until `n` bytes have come in or `ms` passed; every read piece is kept.
    std::vector<Bytes> ReadPieces(std::size_t n, int ms = 3000) {
        std::vector<Bytes> pieces;
        std::size_t got = 0;
        for (const auto end = Deadline(ms); got < n && std::chrono::steady_clock::now() < end;) {
            Bytes b = ReadOnce(50);
            got += b.size();
            if (!b.empty()) pieces.push_back(std::move(b));
        }
        return pieces;
    }
    Bytes ReadBytes(std::size_t n, int ms = 3000) {
        Bytes all;
        for (const Bytes& p : ReadPieces(n, ms)) all.insert(all.end(), p.begin(), p.end());
        return all;
    }

    // The next reply frame as a host would cut it, waiting up to `ms`.
    std::optional<sim::ReplyFrame> ReadFrame(int ms = 3000) {
        sim::ReplyFrame f;
        for (const auto end = Deadline(ms); !sim::TakeReplyFrame(m_stream, f);) {
            if (std::chrono::steady_clock::now() >= end) return std::nullopt;
            const Bytes b = ReadOnce(50);
            m_stream.insert(m_stream.end(), b.begin(), b.end());
        }
        return f;
    }

private:
    int m_fd = -1;
    Bytes m_stream;
};

class RawUdp {
public:
    // Connected to the board, so a closed board port shows as a refused receive.
    RawUdp(const char* boardIp, std::uint16_t port) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in self = Addr("127.0.0.1", 0), board = Addr(boardIp, port);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&self), sizeof self);
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&board), sizeof board);
    }
    ~RawUdp() { ::close(m_fd); }
    void SendRaw(const Bytes& b) { (void)!::send(m_fd, b.data(), b.size(), 0); }
    void Send(std::uint16_t command, const Bytes& payload) { SendRaw(sim::PackDatagram(0, command, payload)); }

    // One datagram within `ms`; `refused` is set when the board's port is closed.
    std::optional<Bytes> Receive(int ms = 3000, bool* refused = nullptr) {
        if (refused) *refused = false;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return std::nullopt;
        std::uint8_t buf[2048];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n < 0 && refused) *refused = errno == ECONNREFUSED;
        return n < 0 ? std::nullopt : std::optional<Bytes>(Bytes(buf, buf + n));
    }
    std::optional<sim::Datagram> ReceiveDatagram(int ms = 3000) {
        const auto raw = Receive(ms);
        sim::Datagram d;
        if (!raw || !sim::UnpackDatagram(raw->data(), raw->size(), d)) return std::nullopt;
        return d;
    }

private:
    int m_fd = -1;
};

} // namespace simtest
