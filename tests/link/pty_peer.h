// A raw peer on a pseudo-terminal standing in for the machine's serial side: it
// publishes its terminal as "COMn" in a folder named by SMT_SERIAL_DIR, parses the
// command frames the link writes and answers them through a handler.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace smt::test {

struct SeenFrame {
    std::uint8_t command = 0;
    std::vector<std::uint8_t> data;
};

class PtyPeer {
public:
    // Returns the bytes to write back for one command frame (empty: stay silent).
    using Handler = std::function<std::vector<std::uint8_t>(const SeenFrame&)>;

    PtyPeer(const std::string& folder, int comNumber, Handler handler) : m_handler(std::move(handler)) {
        char name[128] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) return;
        termios t{};
        ::tcgetattr(m_slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(m_slave, TCSANOW, &t);
        m_link = folder + "/COM" + std::to_string(comNumber);
        std::filesystem::remove(m_link);
        std::filesystem::create_symlink(name, m_link);
        m_thread = std::thread([this] { loop(); });
    }
    ~PtyPeer() {
        Unplug();
        if (m_slave >= 0) ::close(m_slave);
        if (!m_link.empty()) std::filesystem::remove(m_link);
    }
    // The cable is pulled: the terminal's far end goes away.
    void Unplug() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }
    void Write(const std::vector<std::uint8_t>& bytes) {
        std::lock_guard lock(m_writeMutex);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR) return;
        }
    }
    std::vector<SeenFrame> Frames() {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    std::size_t FrameCount() {
        std::lock_guard lock(m_mutex);
        return m_frames.size();
    }
    // Bytes that did not form a whole, well-checked frame.
    std::size_t BadBytes() {
        std::lock_guard lock(m_mutex);
        return m_bad;
    }

private:
    void loop() {
        std::vector<std::uint8_t> buf;
        std::uint8_t chunk[4096];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) continue;
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0) continue;
            buf.insert(buf.end(), chunk, chunk + n);
            parse(buf);
        }
    }
    void parse(std::vector<std::uint8_t>& buf) {
        std::size_t i = 0;
        while (i < buf.size()) {
            if (buf[i] != 0xEE) {
                std::lock_guard lock(m_mutex);
                ++m_bad;
                ++i;
                continue;
            }
            if (buf.size() - i < 3) break;
            const std::size_t len = buf[i + 2];
            const std::size_t total = len + 7;
            if (buf.size() - i < total) break;
            unsigned sum = 0;
            for (std::size_t k = i + 1; k < i + 2 + len; ++k) sum += buf[k];
            const bool ok = len >= 2 && buf[i + 1] == 0 && static_cast<std::uint8_t>(sum) == buf[i + 2 + len] &&
                            buf[i + 3 + len] == 0xFF && buf[i + 4 + len] == 0xFC && buf[i + 5 + len] == 0xFF &&
                            buf[i + 6 + len] == 0xFF;
            if (!ok) {
                std::lock_guard lock(m_mutex);
                ++m_bad;
                ++i;
                continue;
            }
            SeenFrame f;
            f.command = buf[i + 3];
            f.data.assign(buf.begin() + static_cast<long>(i) + 4, buf.begin() + static_cast<long>(i + 2 + len));
            {
                std::lock_guard lock(m_mutex);
                m_frames.push_back(f);
            }
            i += total;
            if (m_handler) {
                const auto answer = m_handler(f);
                if (!answer.empty()) Write(answer);
            }
        }
        buf.erase(buf.begin(), buf.begin() + static_cast<long>(i));
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_link;
    Handler m_handler;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::mutex m_writeMutex;
    std::vector<SeenFrame> m_frames;
    std::size_t m_bad = 0;
};

inline std::vector<std::uint8_t> ReplyBytes(std::uint8_t type, std::uint8_t code, std::vector<std::uint8_t> data = {}) {
    std::vector<std::uint8_t> f{0xEE, type, code};
    f.insert(f.end(), data.begin(), data.end());
    for (std::uint8_t b : {0xFF, 0xFC, 0xFF, 0xFF}) f.push_back(b);
    return f;
}

}  // namespace smt::test
