// The 64 KB configuration block every board keeps behind its boot loader, and the
// texts of the firmware dialog from which its status lines and the block's display
// are built.
//
//   offset  width  field
//   0       u16    update mark (1 while the board is being updated, else 0)
//   2       u16    firmware version
//   4       64     device description, 8-bit text, NUL-terminated
//   68      u32    MCU information
//   72      i32    X travel limit, pulses
//   76      i32    Y travel limit, pulses
//   80..           kept byte for byte as read             (all little-endian)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/firmware_loader.h"
#include "settings/dialog_captions.h"

namespace smt {

class BoardConfigBlock {
public:
    static constexpr std::size_t kSize = loader::kConfigAreaSize;  // the whole area
    static constexpr std::size_t kMarkOffset = 0;
    static constexpr std::size_t kVersionOffset = 2;
    static constexpr std::size_t kDescriptionOffset = 4;
    static constexpr std::size_t kDescriptionSize = 64;
    static constexpr std::size_t kMcuOffset = 68;
    static constexpr std::size_t kXLimitOffset = 72;
    static constexpr std::size_t kYLimitOffset = 76;

    BoardConfigBlock() : m_bytes(kSize, 0xFF) {}

    // Every byte back to 0xFF (the state of an erased block).
    void Clear() { m_bytes.assign(kSize, 0xFF); }
    std::vector<std::uint8_t>& Bytes() { return m_bytes; }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

    std::uint16_t UpdateMark() const { return U16(kMarkOffset); }
    void SetUpdateMark(std::uint16_t mark) { PutU16(kMarkOffset, mark); }
    std::uint16_t Version() const { return U16(kVersionOffset); }
    // The description up to its NUL (all 64 bytes when there is none), as UTF-8.
    std::string Description() const;
    std::uint32_t McuInfo() const { return U32(kMcuOffset); }
    std::int32_t XLimit() const { return static_cast<std::int32_t>(U32(kXLimitOffset)); }
    std::int32_t YLimit() const { return static_cast<std::int32_t>(U32(kYLimitOffset)); }
    void SetLimits(std::int32_t x, std::int32_t y) {
        PutU32(kXLimitOffset, static_cast<std::uint32_t>(x));
        PutU32(kYLimitOffset, static_cast<std::uint32_t>(y));
    }

private:
    std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(m_bytes[at] | m_bytes[at + 1] << 8); }
    std::uint32_t U32(std::size_t at) const {
        return std::uint32_t(m_bytes[at]) | std::uint32_t(m_bytes[at + 1]) << 8 | std::uint32_t(m_bytes[at + 2]) << 16 |
               std::uint32_t(m_bytes[at + 3]) << 24;
    }
    void PutU16(std::size_t at, std::uint16_t v);
    void PutU32(std::size_t at, std::uint32_t v);

    std::vector<std::uint8_t> m_bytes;
};

// "V3." style version: a leading "0" for 1..9 (7 gives "07", 12 "12", 0 "0").
std::string VersionDigits(std::uint16_t version);
// Base-2 digits from the most significant 1 down to bit 0; "" for 0.
std::string BinaryDigits(std::uint32_t value);

// The dialog's 28 texts (section "FirmwareUpdateConfig"), built-in Chinese.
DialogCaptions& TheFirmwareUpdateCaptions();
// One text of a caption set by its short name ("c_Reading" for
// "FirmwareUpdate.c_Reading").
const std::string& FwText(const DialogCaptions& texts, const char* name);

// The six display lines of a block, each ending in "\r\n".
std::string FormatBoardConfig(const BoardConfigBlock& block, const DialogCaptions& texts);

}  // namespace smt
