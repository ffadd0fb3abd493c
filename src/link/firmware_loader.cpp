#include "link/firmware_loader.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "link/cmd_srv.h"
#include "link/link_log.h"
#include "link/link_state.h"
#include "platform/files.h"
#include "platform/msgbox.h"

namespace smt {

namespace {

std::string ErrorText(std::uint8_t status, const char* what) {
    char code[8];
    std::snprintf(code, sizeof code, "%02X", status);
    return std::string("Error-") + code + " = " + what + " !";
}

// Stray replies (of a request that timed out earlier) passed over before giving up.
constexpr int kStrayReplies = 8;

int Percent(std::size_t done, std::size_t total) {
    return total == 0 ? 100 : static_cast<int>(done * 100 / total);
}

void Report(const ProgressCallback& progress, int percent) {
    if (progress) progress(percent);
}

}  // namespace

std::optional<std::string> LoaderStatusText(std::uint8_t s) {
    static const char* const kLow[] = {"超时", "通信端口错误", "打包错误", "加密错误", "长度错误"};
    if (s == 0 || s == 0x68) return std::nullopt;
    if (s >= 0x01 && s <= 0x05) return ErrorText(s, kLow[s - 1]);
    switch (s) {
    case 0x10: return ErrorText(s, "运行保护");
    case 0x11: return ErrorText(s, "X当前位置出错");
    case 0x12: return ErrorText(s, "Y当前位置出错");
    case 0x14: return ErrorText(s, "X坐标超限");
    case 0x15: return ErrorText(s, "Y坐标超限");
    case 0x20: return ErrorText(s, "Z1电机或传感器故障");
    case 0x28: return ErrorText(s, "Z1电机或测量头故障");
    case 0x29: return ErrorText(s, "Z复位故障");
    case 0x41: return std::string("机头板超时 !");
    case 0x42: return std::string("飞达板超时 !");
    case 0x43: return std::string("自动进板超时 !");
    case 0xFF: return ErrorText(s, "未知错误");
    default: break;
    }
    if ((s >= 0x21 && s <= 0x27) || (s >= 0x30 && s <= 0x3B)) return ErrorText(s, "电机或传感器故障");
    return std::string("Error-?? = 错误代码 !");
}

bool CheckReplyStatus(std::uint8_t status) {
    if (status == 0) return true;
    if (auto text = LoaderStatusText(status)) plat::MessageBoxOk(*text, true, plat::MsgIcon::Error);
    return false;
}

ImageProblem LoadFirmwareImage(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::ifstream in(plat::ResolvePath(path), std::ios::binary);
    if (!in) return ImageProblem::Unreadable;
    // One byte past the limit tells an oversized file from one that fits exactly.
    std::vector<std::uint8_t> buffer(maxBytes + 1);
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) return ImageProblem::Unreadable;
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) return ImageProblem::Empty;
    if (got > maxBytes) return ImageProblem::TooLarge;
    buffer.resize(got);
    bytes = std::move(buffer);
    return ImageProblem::None;
}

FirmwareLoader::Outcome FirmwareLoader::exchange(std::uint16_t command, const std::vector<std::uint8_t>& payload,
                                                 LinkMessage& reply) {
    m_link.FirmwareEvent().Reset();
    if (m_link.SendCommand(command, payload) != 0) {
        LinkLog("Firmware command %03X not sent", command);
        return Outcome::SendFailed;
    }
    for (int stray = 0; stray <= kStrayReplies; ++stray) {
        const plat::WaitResult r =
            m_link.FirmwareEvent().Wait(WaitLimit(WaitKind::Firmware), StopFlagOf(Transport::Ethernet));
        if (r != plat::WaitResult::Signalled) return Outcome::NoReply;
        reply = m_link.Reply();
        const std::uint16_t code = reply.command & 0xFFF;
        if (code == command || code == loader::kUnknownCommand) return Outcome::Reply;
        LinkLog("Firmware reply %03X passed over while waiting for %03X", code, command);
    }
    return Outcome::NoReply;
}

void FirmwareLoader::noAnswer(std::uint16_t command, const char* name) {
    if (plat::WaitsCancelled()) return;  // shutdown: nobody to tell
    g_Connected.store(false);
    char label[48];
    std::snprintf(label, sizeof label, "%X->%s", command, name);
    LinkLog("No answer = %s", label);
    plat::MessageBoxOk(NoAnswerText(label), true, plat::MsgIcon::Error);
}

bool FirmwareLoader::single(std::uint16_t command, const std::vector<std::uint8_t>& payload, const char* name) {
    LinkMessage reply;
    switch (exchange(command, payload, reply)) {
    case Outcome::SendFailed: return false;
    case Outcome::NoReply: noAnswer(command, name); return false;
    case Outcome::Reply: break;
    }
    if (reply.data.empty()) return false;
    return CheckReplyStatus(reply.data[0]);
}

bool FirmwareLoader::SetUpdateFlag(std::uint8_t board, std::uint8_t boardIndex) {
    return single(loader::kSetUpdateFlag, Payload().U8(board).U8(boardIndex).Bytes(), "SetUpdateFlag");
}

bool FirmwareLoader::EraseFlash(std::uint32_t address, std::uint32_t length) {
    return single(loader::kEraseFlash, Payload().I32(address).I32(length).Bytes(), "EraseFlash");
}

bool FirmwareLoader::JumpToAddress(std::uint32_t address) {
    return single(loader::kJumpToAddress, Payload().I32(address).Bytes(), "JumpToAddress");
}

bool FirmwareLoader::ReadFlashMd5(std::uint32_t length, Md5Digest& digest) {
    LinkMessage reply;
    switch (exchange(loader::kReadFlashMd5, Payload().I32(loader::kApplication).I32(length).Bytes(), reply)) {
    case Outcome::SendFailed: return false;
    case Outcome::NoReply: noAnswer(loader::kReadFlashMd5, "ReadFlashMd5"); return false;
    case Outcome::Reply: break;
    }
    if (reply.data.size() != 1 + digest.size()) return false;
    if (!CheckReplyStatus(reply.data[0])) return false;
    std::copy(reply.data.begin() + 1, reply.data.end(), digest.begin());
    return true;
}

bool FirmwareLoader::ReadFlash(std::vector<std::uint8_t>& out, const ProgressCallback& progress) {
    out.assign(loader::kConfigAreaSize, 0xFF);
    constexpr std::size_t kHeader = 8;  // status and echo before the data
    std::uint32_t address = loader::kConfigArea;
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t n = std::min(loader::kMaxBlock, out.size() - done);
        LinkMessage reply;
        switch (exchange(loader::kReadFlash, Payload().I32(address).I32(static_cast<std::int64_t>(n)).Bytes(), reply)) {
        case Outcome::SendFailed: return false;
        case Outcome::NoReply: noAnswer(loader::kReadFlash, "ReadFlash"); return false;
        case Outcome::Reply: break;
        }
        // A refused or short block would put bytes that are not the board's into the
        // block that is later written back.
        if (reply.data.empty() || !CheckReplyStatus(reply.data[0])) return false;
        if (reply.data.size() < kHeader + n) {
            LinkLog("Firmware read at %08X: %zu bytes instead of %zu", address, reply.data.size(), kHeader + n);
            return false;
        }
        std::copy_n(reply.data.begin() + kHeader, n, out.begin() + static_cast<std::ptrdiff_t>(done));
        address += static_cast<std::uint32_t>(n);
        done += n;
        Report(progress, Percent(done, out.size()));
    }
    return true;
}

bool FirmwareLoader::WriteFlash(std::uint32_t address, const std::uint8_t* source, std::size_t length,
                                const ProgressCallback& progress) {
    std::size_t done = 0;
    while (done < length) {
        const std::size_t n = std::min(loader::kMaxBlock, length - done);
        Payload head;
        head.I32(address).I32(static_cast<std::int64_t>(n));
        std::vector<std::uint8_t> request = head.Bytes();
        request.insert(request.end(), source + done, source + done + n);
        // The board's refusals are retried quietly; the last one is shown.
        std::uint8_t status = 0xFF;
        for (int attempt = 0; attempt <= loader::kBlockRetries; ++attempt) {
            LinkMessage reply;
            switch (exchange(loader::kWriteFlash, request, reply)) {
            case Outcome::SendFailed: return false;
            case Outcome::NoReply: noAnswer(loader::kWriteFlash, "WriteFlash"); return false;
            case Outcome::Reply: break;
            }
            status = reply.data.empty() ? 0xFF : reply.data[0];
            if (status == 0) break;
        }
        if (status != 0) {
            LinkLog("Firmware write at %08X refused %d times", address, loader::kBlockRetries + 1);
            return CheckReplyStatus(status);
        }
        address += static_cast<std::uint32_t>(n);
        done += n;
        Report(progress, Percent(done, length));
    }
    return true;
}

std::optional<std::size_t> FirmwareLoader::WriteFlashFromFile(const std::string& path, std::uint32_t address,
                                                              const ProgressCallback& progress, std::size_t maxBytes,
                                                              std::vector<std::uint8_t>* image) {
    std::vector<std::uint8_t> bytes;
    if (LoadFirmwareImage(path, maxBytes, bytes) != ImageProblem::None) return std::nullopt;
    if (!WriteFlash(address, bytes.data(), bytes.size(), progress)) return std::nullopt;
    const std::size_t written = bytes.size();
    if (image) *image = std::move(bytes);
    return written;
}

}  // namespace smt
