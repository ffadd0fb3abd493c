// Helpers for tests: scripted answers to message boxes, temporary start folders.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/msgbox.h"

namespace smt::test {

// Installs itself as the message-box handler for its lifetime. Answers each box
// from the script in order, then with `fallback`; records every box it saw.
class ScriptedResponder {
public:
    explicit ScriptedResponder(plat::MsgAnswer fallback = plat::MsgAnswer::Ok);
    ~ScriptedResponder();
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    void Push(plat::MsgAnswer answer);
    std::vector<plat::MsgBoxRequest> Seen() const;
    std::vector<std::string> Texts() const;
    std::size_t Count() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::deque<plat::MsgAnswer> m_script;
    plat::MsgAnswer m_fallback;
    std::vector<plat::MsgBoxRequest> m_seen;
    plat::MsgBoxHandler m_previous;
};

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Polls `done` until it holds or `limit` passes (for what another thread does).
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// Reads or writes a whole file as raw bytes.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// Bytes from a hex text such as "EE 00 02 00 02 FF FC FF FF".
std::string Hex(const std::string& text);
// Hex text of bytes, upper case, one space between bytes.
std::string ToHex(const std::string& bytes);

} // namespace smt::test
