// The boards' boot loader commands over the Ethernet link: select a board for
// update, erase, write and read flash in blocks, the MD5 digest of an area, and
// the jump to an address. One request, one reply; byte 0 of every reply is the
// board's status (0 = done).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/datagram.h"

namespace smt {

class MachineLink;

namespace loader {
inline constexpr std::uint16_t kSetUpdateFlag = 0xF00;
inline constexpr std::uint16_t kEraseFlash = 0xF02;
inline constexpr std::uint16_t kWriteFlash = 0xF03;
inline constexpr std::uint16_t kReadFlash = 0xF04;
inline constexpr std::uint16_t kReadFlashMd5 = 0xF06;
inline constexpr std::uint16_t kJumpToAddress = 0xF07;
inline constexpr std::uint16_t kUnknownCommand = 0xFFF;  // the loader's answer to a code it lacks

inline constexpr std::uint32_t kBootLoader = 0x08000000;
inline constexpr std::uint32_t kConfigArea = 0x08010000;
inline constexpr std::uint32_t kConfigAreaSize = 0x10000;
inline constexpr std::uint32_t kApplication = 0x08020000;
inline constexpr std::uint32_t kApplicationAreaSize = 0x60000;
inline constexpr std::size_t kMaxBlock = 433;            // data bytes per write or read request
inline constexpr std::size_t kMaxImageFile = 0x100000;   // what an image file may hold at most
inline constexpr int kBlockRetries = 3;                  // a refused or unanswered block is sent again this often
}  // namespace loader

using Md5Digest = std::array<std::uint8_t, 16>;
using ProgressCallback = std::function<void(int percent)>;

// The error text of a loader status; nothing for 0 (done) and 0x68 (refused
// without a word).
std::optional<std::string> LoaderStatusText(std::uint8_t status);

// Shows the text of a non-zero status in a topmost box; true only for 0. Changes
// no machine state flag.
bool CheckReplyStatus(std::uint8_t status);

class FirmwareLoader {
public:
    explicit FirmwareLoader(MachineLink& link) : m_link(link) {}

    bool SetUpdateFlag(std::uint8_t board, std::uint8_t boardIndex);
    bool EraseFlash(std::uint32_t address, std::uint32_t length);
    // The digest of `length` bytes from the application address.
    bool ReadFlashMd5(std::uint32_t length, Md5Digest& digest);
    // The 64 KB configuration area into `out` (resized to it). Every reply must
    // carry status 0 and the bytes asked for; otherwise false and `out` is not to
    // be used.
    bool ReadFlash(std::vector<std::uint8_t>& out, const ProgressCallback& progress);
    // `length` bytes in blocks; a block the board refuses or leaves unanswered is
    // sent again up to kBlockRetries times, then the write fails.
    bool WriteFlash(std::uint32_t address, const std::uint8_t* source, std::size_t length,
                    const ProgressCallback& progress);
    // Writes the whole file from `address`. Refuses, before anything is sent, a file
    // that cannot be read, an empty one and one of more than `maxBytes`. Gives the
    // bytes written; `image` (optional) receives them.
    std::optional<std::size_t> WriteFlashFromFile(const std::string& path, std::uint32_t address,
                                                  const ProgressCallback& progress,
                                                  std::size_t maxBytes = loader::kMaxImageFile,
                                                  std::vector<std::uint8_t>* image = nullptr);
    bool JumpToAddress(std::uint32_t address);

private:
    enum class Outcome { Reply, SendFailed, NoReply };
    // Sends one request and waits within the firmware reply limit for the reply of
    // the same command (or the loader's unknown-command answer).
    Outcome exchange(std::uint16_t command, const std::vector<std::uint8_t>& payload, LinkMessage& reply);
    // A request that expects a status only; false for a failed send, no reply or a
    // refused status (after its box).
    bool single(std::uint16_t command, const std::vector<std::uint8_t>& payload, const char* name);
    void noAnswer(std::uint16_t command, const char* name);

    MachineLink& m_link;
};

// Reads an image file for the loader; anything but None leaves `bytes` empty.
enum class ImageProblem { None, Unreadable, Empty, TooLarge };
ImageProblem LoadFirmwareImage(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes);

}  // namespace smt
