#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace smt::test {

ScriptedResponder::ScriptedResponder(plat::MsgAnswer fallback) : m_fallback(fallback) {
    m_previous = plat::SetMessageBoxHandler([this](const plat::MsgBoxRequest& r) {
        std::lock_guard lock(m_mutex);
        m_seen.push_back(r);
        if (m_script.empty()) return m_fallback;
        const plat::MsgAnswer a = m_script.front();
        m_script.pop_front();
        return a;
    });
}

ScriptedResponder::~ScriptedResponder() { plat::SetMessageBoxHandler(m_previous); }

void ScriptedResponder::Push(plat::MsgAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_script.push_back(answer);
}

std::vector<plat::MsgBoxRequest> ScriptedResponder::Seen() const {
    std::lock_guard lock(m_mutex);
    return m_seen;
}

std::vector<std::string> ScriptedResponder::Texts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> out;
    for (auto& r : m_seen) out.push_back(r.text);
    return out;
}

std::size_t ScriptedResponder::Count() const {
    std::lock_guard lock(m_mutex);
    return m_seen.size();
}

void ScriptedResponder::Clear() {
    std::lock_guard lock(m_mutex);
    m_seen.clear();
    m_script.clear();
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "smt-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Hex(const std::string& text) {
    std::string out;
    int nibble = -1;
    for (char c : text) {
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        if (v < 0) continue;
        if (nibble < 0) nibble = v;
        else {
            out += static_cast<char>(nibble * 16 + v);
            nibble = -1;
        }
    }
    return out;
}

std::string ToHex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ' ';
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

} // namespace smt::test
