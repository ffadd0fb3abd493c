#include "firmware/board_config.h"

#include <algorithm>

#include "platform/text.h"

namespace smt {

void BoardConfigBlock::PutU16(std::size_t at, std::uint16_t v) {
    m_bytes[at] = static_cast<std::uint8_t>(v);
    m_bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void BoardConfigBlock::PutU32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string BoardConfigBlock::Description() const {
    const auto first = m_bytes.begin() + kDescriptionOffset;
    const auto last = std::find(first, first + kDescriptionSize, std::uint8_t{0});
    return plat::GbkToUtf8(std::string(first, last));
}

std::string VersionDigits(std::uint16_t version) {
    const std::string digits = std::to_string(version);
    return version >= 1 && version <= 9 ? "0" + digits : digits;
}

std::string BinaryDigits(std::uint32_t value) {
    std::string out;
    for (; value != 0; value >>= 1) out.insert(out.begin(), (value & 1) ? '1' : '0');
    return out;
}

DialogCaptions& TheFirmwareUpdateCaptions() {
    static DialogCaptions captions("FirmwareUpdateConfig", {
        {"FirmwareUpdate.c_FirmwareUpdate", "单片机升级"},
        {"FirmwareUpdate.c_Upadte", "升级"},
        {"FirmwareUpdate.c_UpdateInformation", "升级信息"},
        {"FirmwareUpdate.c_ReadConfig", "读取配置信息"},
        {"FirmwareUpdate.c_WriteLimit", "写入位置限制"},
        {"FirmwareUpdate.c_ConfigInformation", "配置信息"},
        {"FirmwareUpdate.c_FeedSelect", "飞达板选择"},
        {"FirmwareUpdate.c_MainBoard", "主板"},
        {"FirmwareUpdate.c_HeadBoard", "机头板"},
        {"FirmwareUpdate.c_FeedBoard", "飞达板"},
        {"FirmwareUpdate.c_ConveyorBoard", "自动进板"},
        {"FirmwareUpdate.c_Reading", "读出"},
        {"FirmwareUpdate.c_Writing", "写入"},
        {"FirmwareUpdate.c_Erasing", "擦除"},
        {"FirmwareUpdate.c_Calculation", "校验"},
        {"FirmwareUpdate.c_JumpTo", "跳转"},
        {"FirmwareUpdate.c_Relinking", "重新联机"},
        {"FirmwareUpdate.c_Complete", "完成"},
        {"FirmwareUpdate.c_Failed", "失败"},
        {"FirmwareUpdate.c_ConfigurationInformation", "配置信息"},
        {"FirmwareUpdate.c_Application", "应用程序"},
        {"FirmwareUpdate.c_UpgradeProgram", "升级程序"},
        {"FirmwareUpdate.c_UpgradeMark", "升级标记："},
        {"FirmwareUpdate.c_VersionNumber", "版本号：V3."},
        {"FirmwareUpdate.c_DeviceDescription", "设备描述："},
        {"FirmwareUpdate.c_Information", "单片机信息："},
        {"FirmwareUpdate.c_X_Limit", "X限位："},
        {"FirmwareUpdate.c_Y_Limit", "Y限位："},
    });
    return captions;
}

const std::string& FwText(const DialogCaptions& texts, const char* name) {
    return texts.Text(std::string("FirmwareUpdate.") + name);
}

std::string FormatBoardConfig(const BoardConfigBlock& block, const DialogCaptions& texts) {
    const auto line = [&](const char* name, const std::string& value) { return FwText(texts, name) + value + "\r\n"; };
    return line("c_UpgradeMark", std::to_string(block.UpdateMark())) +
           line("c_VersionNumber", VersionDigits(block.Version())) +
           line("c_DeviceDescription", block.Description()) +
           line("c_Information", BinaryDigits(block.McuInfo())) +
           line("c_X_Limit", std::to_string(block.XLimit())) +
           line("c_Y_Limit", std::to_string(block.YLimit()));
}

}  // namespace smt
