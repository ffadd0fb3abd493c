// The firmware tests' machine: the simulated boards on loopback UDP, the program's
// link toward them with its reply dispatcher, a start folder with the image files,
// and recorders for what a job shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "firmware/firmware_update.h"
#include "link/cmd_srv.h"
#include "link/link_state.h"
#include "link/replies.h"
#include "platform/files.h"
#include "simulator.h"
#include "test_support.h"

namespace smt::test {

using ByteVec = std::vector<std::uint8_t>;

inline ByteVec Pattern(std::size_t n, std::uint8_t seed) {
    ByteVec b(n);
    std::uint32_t x = 0x9E3779B9u * (seed + 1u);
    for (auto& v : b) {
        x = x * 1664525u + 1013904223u;
        v = static_cast<std::uint8_t>(x >> 24);
    }
    return b;
}

inline std::uint32_t ReadU32(const ByteVec& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// Lines a job showed, in order, from the worker thread.
class ViewRecorder {
public:
    FirmwareUpdateView View() {
        FirmwareUpdateView v;
        v.setStatus = [this](const std::string& s) {
            Keep(statuses, s);
            if (onStatus) onStatus(s);  // set before the job starts
        };
        v.setProgress = [this](int p) { Keep(progress, p); };
        v.showConfig = [this](const std::string& s) { Keep(configs, s); };
        return v;
    }
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<std::string> configs;
    // Called with each status line before the step behind it runs.
    std::function<void(const std::string&)> onStatus;

private:
    template <typename T>
    void Keep(std::vector<T>& to, const T& value) {
        std::lock_guard lock(m_mutex);
        to.push_back(value);
    }
    std::mutex m_mutex;
};

class FirmwareSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResumeWaits();
        ResetLinkState();
        sim::SimConfig c;
        c.serial = false;
        c.udpPort = 0;
        c.discoveryPort = 0;
        m_sim = std::make_unique<sim::Simulator>(c);
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        ASSERT_TRUE(Open());
        StartUdpReplyThread(link);
        g_Connected = true;
        SetWaitLimitOverride(WaitKind::Firmware, plat::Millis(3000));
    }
    void TearDown() override {
        StopUdpReplyThread();
        link.Close();
        m_sim->Stop();
        SetWaitLimitOverride(WaitKind::Firmware, plat::Millis(0));
        ResetLinkState();
    }

    bool Open() {
        return link.Open(sim::kBoardAddress, m_sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0});
    }

    sim::Machine& Board() { return m_sim->machine(); }
    sim::Faults& Faults() { return m_sim->faults(); }

    // Loader commands straight into the simulated machine (no link).
    void Select(int board, int index) {
        Board().Execute(sim::Link::Udp, 0xF00, {std::uint8_t(board), std::uint8_t(index)});
    }
    void Poke(std::uint32_t address, const ByteVec& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += 433) {
            const std::size_t n = std::min<std::size_t>(433, bytes.size() - at);
            ByteVec req(8);
            for (int i = 0; i < 4; ++i) {
                req[i] = static_cast<std::uint8_t>((address + at) >> (8 * i));
                req[4 + i] = static_cast<std::uint8_t>(n >> (8 * i));
            }
            req.insert(req.end(), bytes.begin() + at, bytes.begin() + at + n);
            Board().Execute(sim::Link::Udp, 0xF03, req);
        }
    }
    // A configuration block with its mark 0 and the rest from `seed`.
    void SeedConfig(int board, int index, const ByteVec& block) {
        Select(board, index);
        Poke(0x08010000, block);
    }
    static ByteVec ConfigPattern(std::uint8_t seed) {
        ByteVec b = Pattern(0x10000, seed);
        b[0] = b[1] = 0;
        return b;
    }
    ByteVec Flash(int board, int index, std::uint32_t address, std::size_t n) {
        return Board().ReadFlash(sim::BoardId{board, index}, address, n);
    }
    // Records cleared with board 1 selected, as a machine after power-up.
    void Fresh() {
        Select(1, 0);
        Board().ClearRecords();
    }
    std::vector<sim::FrameRecord> Frames(std::uint16_t code = 0) {  // 0: all of them
        std::vector<sim::FrameRecord> out = Board().Frames();
        std::erase_if(out, [code](const sim::FrameRecord& f) { return code != 0 && f.code != code; });
        return out;
    }

    void WriteImage(const std::string& file, const ByteVec& bytes) {
        plat::MakeDirectory(start.File("Update"));
        WriteBytes(start.File("Update/" + file), std::string(bytes.begin(), bytes.end()));
    }

    FirmwareJob Job() {
        FirmwareJob job;
        job.link = &link;
        job.startFolder = start.Path();
        job.view = view.View();
        job.timing = FirmwareTiming{plat::Millis(0), plat::Millis(0), plat::Millis(0)};
        job.port.linkDropped = [this] { ++dropped; };
        job.port.reconnect = [this] {  // the board's link came back: open toward it again, as a connect does
            ++reconnects;
            if (!reconnectWorks) return false;
            link.Close();
            return Open() && (g_Connected = true);
        };
        job.port.sendAxisLimit = [this](std::uint8_t axis, std::int32_t limit) {
            axisLimits.emplace_back(axis, limit);
            return true;
        };
        return job;
    }

    std::unique_ptr<sim::Simulator> m_sim;
    MachineLink link;
    TempDir start;
    ScriptedResponder boxes;
    ViewRecorder view;
    int dropped = 0, reconnects = 0;
    bool reconnectWorks = true;
    std::vector<std::pair<int, std::int32_t>> axisLimits;
};

}  // namespace smt::test
