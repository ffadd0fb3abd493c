#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "firmware_fixture.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/threads.h"

using namespace smt;
using namespace smt::test;

namespace {

ByteVec MainBlock(std::uint16_t mark, std::uint16_t version, const std::string& gbkDescription, std::uint32_t mcu,
                  std::int32_t x, std::int32_t y) {
    ByteVec b = Pattern(0x10000, 40);
    const auto put = [&](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(0, mark, 2);
    put(2, version, 2);
    std::fill(b.begin() + 4, b.begin() + 68, 0);
    std::memcpy(b.data() + 4, gbkDescription.data(), std::min<std::size_t>(64, gbkDescription.size()));
    put(68, mcu, 4);
    put(72, static_cast<std::uint32_t>(x), 4);
    put(76, static_cast<std::uint32_t>(y), 4);
    return b;
}

TEST(BoardConfigBlockText, SixLinesOfTheBlock) {
    const std::pair<ByteVec, const char*> blocks[] = {
        {MainBlock(1, 7, plat::Utf8ToGbk("主板 SMT-A"), 6, 32200, -24150),
         "升级标记：1\r\n版本号：V3.07\r\n设备描述：主板 SMT-A\r\n单片机信息：110\r\nX限位：32200\r\nY限位：-24150\r\n"},
        {MainBlock(0, 12, "", 0, 0, 0),  // MCU 0: no digits
         "升级标记：0\r\n版本号：V3.12\r\n设备描述：\r\n单片机信息：\r\nX限位：0\r\nY限位：0\r\n"}};
    BoardConfigBlock block;
    for (const auto& [bytes, text] : blocks) {
        block.Bytes() = bytes;
        EXPECT_EQ(FormatBoardConfig(block, TheFirmwareUpdateCaptions()), text);
    }
    EXPECT_EQ(VersionDigits(65535), "65535");
    EXPECT_EQ(BinaryDigits(0x80000001u), "10000000000000000000000000000001");
    // A description without its NUL stops at 64 bytes.
    block.Bytes() = MainBlock(0, 1, std::string(70, 'A'), 0, 0, 0);
    EXPECT_EQ(block.Description(), std::string(64, 'A'));
}

// One-digit versions read with a leading zero (V3.01 .. V3.09); 0 and two digits as they are.
TEST(BoardConfigBlockText, VersionDigitsPadOnlyOneToNine) {
    const std::pair<std::uint16_t, const char*> cases[] = {{0, "0"}, {1, "01"}, {9, "09"}, {10, "10"}, {99, "99"}};
    for (const auto& [version, text] : cases) EXPECT_EQ(VersionDigits(version), text) << version;
}

class ConfigOnSim : public FirmwareSimTest {};

TEST_F(ConfigOnSim, ReadSelectsTheMainBoardFirstAndShowsItsBlock) {
    SeedConfig(1, 0, MainBlock(0, 12, "SMT-8", 5, 40000, 30000));
    SeedConfig(2, 0, MainBlock(0, 99, "HEAD", 1, 1, 1));  // an interrupted update left board 2 selected
    Board().ClearRecords();
    FirmwareJob job = Job();
    EXPECT_TRUE(ReadBoardConfig(job));
    const auto frames = Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().code, 0xF00);
    EXPECT_EQ(frames.front().data, (ByteVec{1, 0}));
    EXPECT_EQ(view.configs,
              (std::vector<std::string>{"", "升级标记：0\r\n版本号：V3.12\r\n设备描述：SMT-8\r\n单片机信息：101\r\n"
                                            "X限位：40000\r\nY限位：30000\r\n"}));
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"读出配置信息...", "读出配置信息完成"}));
}

TEST_F(ConfigOnSim, FailedReadShowsNothing) {
    Fresh();
    Faults().ErrorNext(0x05);  // the selection is refused
    FirmwareJob job = Job();
    EXPECT_FALSE(ReadBoardConfig(job));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error-05 = 长度错误 !", "Modify update flag Error ！"}));
    EXPECT_EQ(view.configs, std::vector<std::string>{""});
    EXPECT_EQ(view.statuses.back(), "读出配置信息失败 !");
    EXPECT_TRUE(Frames(0xF04).empty());
}

TEST_F(ConfigOnSim, WriteLimitsChangesOnlyTheLimitBytesThenSendsThemOverTheLink) {
    SeedConfig(1, 0, MainBlock(1, 7, "SMT", 6, 1, 2));  // mark 1 is kept as read
    Select(3, 1);
    Board().ClearRecords();
    FirmwareJob job = Job();
    job.port.sendAxisLimit = nullptr;
    job.xLimitMm = 400.01;  // 32200.805 pulses
    job.xPulse = 80.5;
    job.yLimitMm = 250.0;
    job.yPulse = -0.1;  // a negative factor gives a negative limit
    EXPECT_TRUE(WriteBoardLimits(job));
    EXPECT_EQ(Flash(1, 0, 0x08010000, 0x10000), MainBlock(1, 7, "SMT", 6, 32200, -25));  // only the limits changed
    EXPECT_EQ(Frames().front().data, (ByteVec{1, 0}));
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"读出配置信息...", "擦除配置信息...", "写入配置信息...",
                                                       "写入配置信息完成"}));
    EXPECT_EQ(Flash(3, 1, 0x08010000, 4), ByteVec(4, 0xFF));  // the selected feeder board untouched
    // The limits wait for no reply; one answered command behind them shows they were taken.
    ASSERT_TRUE(FirmwareLoader(link).SetUpdateFlag(1, 0));
    const auto sent = Frames(0x01);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(ToHex(std::string(sent[0].data.begin(), sent[0].data.end())), "00 C8 7D 00 00");
    EXPECT_EQ(ToHex(std::string(sent[1].data.begin(), sent[1].data.end())), "01 E7 FF FF FF");
    EXPECT_EQ(Board().AxisLimits(), (std::map<int, std::int32_t>{{0, 32200}, {1, -25}}));
}

TEST_F(ConfigOnSim, WriteLimitsAfterAFailedReadErasesNothing) {
    SeedConfig(1, 0, MainBlock(0, 7, "SMT", 6, 1, 2));
    Fresh();
    FirmwareJob job = Job();
    job.xLimitMm = job.yLimitMm = 100;
    job.xPulse = job.yPulse = 10;
    // A block in the middle of the read is refused.
    job.view.setProgress = [this, n = 0](int) mutable {
        if (++n == 10) Faults().ErrorNext(0x01);
    };
    EXPECT_FALSE(WriteBoardLimits(job));
    EXPECT_TRUE(Frames(0xF02).empty());
    EXPECT_TRUE(Frames(0xF03).empty());
    EXPECT_TRUE(axisLimits.empty());
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error-01 = 超时 !", "Read Main Board Flash Error ！"}));
    EXPECT_EQ(view.statuses.back(), "读出配置信息失败 !");
}

TEST_F(ConfigOnSim, ButtonsRefuseWithoutALinkAndWhileAJobRuns) {
    FirmwareUpdateValues values;
    g_Connected = false;
    EXPECT_FALSE(StartFirmwareWork(values, kFirmwareReadConfig, Job()));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is not connection !"});
    EXPECT_EQ(values.m_UpdateMode, 0);

    g_Connected = true;
    boxes.Clear();
    Faults().SetDelayMs(100);  // the first job is still reading when the second button comes
    ASSERT_TRUE(StartFirmwareWork(values, kFirmwareReadConfig, Job()));
    EXPECT_FALSE(StartFirmwareWork(values, kFirmwareWriteLimits, Job()));
    EXPECT_FALSE(StartFirmwareWork(values, kFirmwareUpdate, Job()));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Machine is runnig !", "Machine is runnig !"}));
    EXPECT_EQ(values.m_UpdateMode, kFirmwareReadConfig);
    Faults().SetDelayMs(0);
    ASSERT_TRUE(plat::JoinAllWorkers(std::chrono::seconds(30)));
    EXPECT_FALSE(g_Running);
    EXPECT_FALSE(g_FirmwareBusy);
    EXPECT_EQ(Frames(0xF02).size(), 0u);  // the write job never ran

    g_Running = true;  // another machine action
    boxes.Clear();
    EXPECT_FALSE(StartFirmwareWork(values, kFirmwareReadConfig, Job()));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is runnig !"});
    EXPECT_FALSE(g_FirmwareBusy);
    g_Running = false;
}

TEST(FirmwareCaptions, ShippedFilesHoldEveryTextAndJoinIntoLines) {
    const std::string res = std::string(SMT_SOURCE_DIR) + "/res";
    for (const char* language : {"Chinese", "English", "German"}) {
        for (const auto& [key, builtIn] : TheFirmwareUpdateCaptions().Entries())
            EXPECT_NE(plat::GetPrivateProfileString("FirmwareUpdateConfig", key, "获取配置失败", 512,
                                                    res + "/" + language + ".ini"),
                      "获取配置失败")
                << language << " " << key;
    }
    DialogCaptions english = TheFirmwareUpdateCaptions();
    english.Load(res, "English");
    const auto t = [&](const char* name) { return FwText(english, name); };
    EXPECT_EQ(t("c_Reading") + t("c_MainBoard") + t("c_Application") + t("c_ConfigurationInformation") + t("c_Failed"),
              "Reading main board application configuration failed");
}

}  // namespace
