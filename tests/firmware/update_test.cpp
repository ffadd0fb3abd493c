#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "firmware_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

constexpr std::uint32_t kConfig = 0x08010000;
constexpr std::uint32_t kApp = 0x08020000;

bool InConfig(const sim::FrameRecord& f) {
    const std::uint32_t a = ReadU32(f.data, 0);
    return a >= kConfig && a < kApp;
}

std::string Code(std::uint16_t c) {
    char t[8];
    std::snprintf(t, sizeof t, "%03X", c);
    return t;
}

// The command codes with repeats of one code run together ("F04" for 152 reads).
std::vector<std::string> Steps(const std::vector<sim::FrameRecord>& frames) {
    std::vector<std::string> out;
    for (const auto& f : frames)
        if (out.empty() || out.back() != Code(f.code)) out.push_back(Code(f.code));
    return out;
}

// Each run of writes into the configuration area, put back together.
std::vector<ByteVec> ConfigWrites(const std::vector<sim::FrameRecord>& frames) {
    std::vector<ByteVec> blocks;
    bool inRun = false;
    for (const auto& f : frames) {
        const bool configWrite = f.code == 0xF03 && InConfig(f);
        if (configWrite) {
            if (!inRun) blocks.emplace_back(0x10000, 0xEE);
            const std::uint32_t at = ReadU32(f.data, 0) - kConfig;
            std::copy(f.data.begin() + 8, f.data.end(), blocks.back().begin() + at);
        }
        inRun = configWrite;
    }
    return blocks;
}

std::vector<std::size_t> Differences(const ByteVec& a, const ByteVec& b) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) at.push_back(i);
    return at;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class UpdateTest : public FirmwareSimTest {
protected:
    // Fires `action` once, just before the step announced by `status` runs.
    void Before(const std::string& status, std::function<void()> action) {
        view.onStatus = [this, status, action, fired = false](const std::string& s) mutable {
            if (!fired && s == status) {
                fired = true;
                action();
            }
        };
    }
    void MainOnly() {
        WriteImage("MainApplication.bin", Pattern(1500, 11));
        for (int i = 0; i < 3; ++i) boxes.Push(plat::MsgAnswer::Yes);
    }
    void Run(int feedSelect = 0) {
        FirmwareJob job = Job();
        job.feedBoardSelect = feedSelect;
        UpdateBoardFirmware(job);
    }
    std::vector<std::string> Errors() {
        auto t = boxes.Texts();
        t.erase(std::remove_if(t.begin(), t.end(),
                               [](const std::string& s) { return s.find("does not exist") != std::string::npos; }),
                t.end());
        return t;
    }
};

TEST_F(UpdateTest, FourBoardsWithThreeFeederBoards) {
    const ByteVec images[4] = {Pattern(1500, 11), Pattern(2000, 12), Pattern(1200, 13), Pattern(900, 14)};
    const char* files[4] = {"MainApplication.bin", "HeadApplication.bin", "FeedApplication.bin",
                            "ConveyorApplication.bin"};
    for (int i = 0; i < 4; ++i) WriteImage(files[i], images[i]);
    struct Pass {
        int board, index, image;
        ByteVec config;
    };
    std::vector<Pass> passes = {{1, 0, 0, ConfigPattern(21)}, {2, 0, 1, ConfigPattern(22)},
                                {3, 0, 2, ConfigPattern(23)}, {3, 1, 2, ConfigPattern(24)},
                                {3, 2, 2, ConfigPattern(25)}, {4, 0, 3, ConfigPattern(26)}};
    for (const Pass& p : passes) {
        SeedConfig(p.board, p.index, p.config);
        Poke(kApp, Pattern(4000, 99));  // the old application
    }
    Fresh();

    Run(2);

    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    ASSERT_FALSE(view.statuses.empty());
    EXPECT_EQ(view.statuses.back(), "升级完成");
    EXPECT_EQ(reconnects, 2);
    EXPECT_EQ(dropped, 2);
    EXPECT_TRUE(g_Connected);

    const auto frames = Frames();
    const std::vector<std::string> pass = {"F00", "F04", "F02", "F03", "F07", "F02", "F06",
                                           "F03", "F06", "F04", "F02", "F03", "F07"};
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < passes.size(); ++i) expected.insert(expected.end(), pass.begin(), pass.end());
    expected.push_back("F00");
    EXPECT_EQ(Steps(frames), expected);

    const auto selects = Frames(0xF00);
    ASSERT_EQ(selects.size(), passes.size() + 1);
    for (std::size_t i = 0; i < passes.size(); ++i)
        EXPECT_EQ(selects[i].data, (ByteVec{std::uint8_t(passes[i].board), std::uint8_t(passes[i].index)}));
    EXPECT_EQ(selects.back().data, (ByteVec{1, 0}));

    const auto jumps = Frames(0xF07);
    ASSERT_EQ(jumps.size(), 2 * passes.size());
    for (std::size_t i = 0; i < jumps.size(); ++i) EXPECT_EQ(ReadU32(jumps[i].data, 0), i % 2 ? kApp : 0x08000000u);

    const auto digests = Frames(0xF06);
    ASSERT_EQ(digests.size(), 2 * passes.size());
    for (std::size_t i = 0; i < passes.size(); ++i) {
        EXPECT_EQ(ReadU32(digests[2 * i].data, 4), 0x60000u);
        EXPECT_EQ(ReadU32(digests[2 * i + 1].data, 4), images[passes[i].image].size());
    }

    // The block written before the jump differs from the one read only in the mark
    // (1); the one written after only in the mark (0), which was 0 when read.
    const auto writes = ConfigWrites(frames);
    ASSERT_EQ(writes.size(), 2 * passes.size());
    for (std::size_t i = 0; i < passes.size(); ++i) {
        EXPECT_EQ(Differences(writes[2 * i], passes[i].config), (std::vector<std::size_t>{0})) << i;
        EXPECT_EQ(writes[2 * i][0], 1);
        EXPECT_EQ(writes[2 * i + 1], passes[i].config) << i;
    }

    for (const Pass& p : passes) {
        const ByteVec& image = images[p.image];
        EXPECT_EQ(Flash(p.board, p.index, kApp, image.size()), image);
        EXPECT_EQ(Flash(p.board, p.index, kApp + image.size(), 16), ByteVec(16, 0xFF));  // old tail erased
        EXPECT_EQ(Flash(p.board, p.index, kConfig, 0x10000), p.config);
        EXPECT_EQ(Board().LastJump(sim::BoardId{p.board, p.index}), kApp);
    }
    EXPECT_EQ(Board().SelectedBoard().number, 1);
    EXPECT_EQ(view.progress.back(), 100);

    for (const char* line : {"读出主板应用程序配置信息...", "擦除主板应用程序配置信息...",
                             "擦除完成 ， 写入主板应用程序配置信息...", "跳转主板升级程序...", "重新联机...",
                             "重新联机完成", "擦除主板应用程序...", "写入主板应用程序...", "校验主板应用程序...",
                             "校验主板应用程序完成", "跳转主板应用程序...", "跳转机头板升级程序...",
                             "写入飞达板应用程序...", "跳转自动进板应用程序..."})
        EXPECT_TRUE(Has(view.statuses, line)) << line;
}

TEST_F(UpdateTest, OnlyTheMainBoardWhenTheOthersAreSkipped) {
    MainOnly();
    Fresh();
    Run(3);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"HeadApplication.bin File does not exist",
                                                       "FeedApplication.bin File does not exist",
                                                       "ConveyorApplication.bin File does not exist"}));
    EXPECT_EQ(boxes.Seen()[0].buttons, plat::MsgButtons::YesNoCancel);
    const auto selects = Frames(0xF00);
    ASSERT_EQ(selects.size(), 2u);
    EXPECT_EQ(selects[0].data, (ByteVec{1, 0}));
    EXPECT_EQ(selects[1].data, (ByteVec{1, 0}));
    EXPECT_EQ(Frames().back().code, 0xF00);
    EXPECT_EQ(reconnects, 2);
    EXPECT_EQ(view.statuses.back(), "升级完成");
    EXPECT_EQ(Flash(1, 0, kApp, 1500), Pattern(1500, 11));
}

TEST_F(UpdateTest, NoOrCancelForAMissingFileSendsNothing) {
    boxes.Push(plat::MsgAnswer::No);
    Run();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"MainApplication.bin File does not exist"});
    EXPECT_TRUE(Frames().empty());

    boxes.Clear();
    WriteImage("MainApplication.bin", Pattern(100, 1));
    boxes.Push(plat::MsgAnswer::Cancel);
    Run();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"HeadApplication.bin File does not exist"});
    EXPECT_TRUE(Frames().empty());
    EXPECT_TRUE(view.statuses.empty());
    EXPECT_EQ(reconnects, 0);
}

TEST_F(UpdateTest, ImagesThatDoNotFitAreRefusedBeforeAnyCommand) {
    WriteImage("MainApplication.bin", ByteVec(0x60001, 0x5A));
    Run();
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::string>{"MainApplication.bin File is larger than the application area (393216 bytes)"});
    EXPECT_TRUE(Frames().empty());

    boxes.Clear();
    WriteImage("MainApplication.bin", ByteVec(0x60000, 0x5A));  // exactly the area: fine
    WriteImage("HeadApplication.bin", {});
    Run();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"HeadApplication.bin File is empty"});
    EXPECT_TRUE(Frames().empty());
}

TEST_F(UpdateTest, FailedConfigEraseStillRunsTheClosingSteps) {
    MainOnly();
    Fresh();
    Before("擦除主板应用程序配置信息...", [this] { Faults().ErrorNext(0x05); });
    Run();
    EXPECT_EQ(Errors(), (std::vector<std::string>{"Error-05 = 长度错误 !", "Erase Main Board Flash Error ！"}));
    EXPECT_TRUE(Has(view.statuses, "擦除主板应用程序配置信息失败 !"));
    EXPECT_EQ(view.statuses.back(), "升级完成");
    EXPECT_TRUE(Frames(0xF07).empty());
    EXPECT_EQ(Frames().back().code, 0xF00);
    EXPECT_EQ(Frames().back().data, (ByteVec{1, 0}));
}

TEST_F(UpdateTest, FailedJumpToTheApplicationEndsWithoutClosingSteps) {
    MainOnly();
    Fresh();
    Before("跳转主板应用程序...", [this] { Faults().ErrorNext(0x10); });
    Run();
    EXPECT_EQ(Errors(), (std::vector<std::string>{"Error-10 = 运行保护 !", "Jump to address Error ！"}));
    EXPECT_EQ(view.statuses.back(), "跳转主板应用程序失败 !");
    EXPECT_EQ(Frames().back().code, 0xF07);
    EXPECT_EQ(reconnects, 1);
}

TEST_F(UpdateTest, FailedSecondReadIsNeverErasedOrWrittenBack) {
    MainOnly();
    SeedConfig(1, 0, ConfigPattern(5));
    Fresh();
    Before("校验主板应用程序完成", [this] {
        Faults().ErrorNext(0x05);
        Board().ClearRecords();
    });
    Run();
    EXPECT_EQ(Errors(), (std::vector<std::string>{"Error-05 = 长度错误 !", "Read Main Board Flash Error ！"}));
    EXPECT_TRUE(Has(view.statuses, "读出主板应用程序配置信息失败 !"));
    EXPECT_EQ(view.statuses.back(), "升级完成");
    EXPECT_EQ(Steps(Frames()), (std::vector<std::string>{"F04", "F00"}));
    ByteVec marked = ConfigPattern(5);
    marked[0] = 1;
    EXPECT_EQ(Flash(1, 0, kConfig, 0x10000), marked);  // as written before the jump
}

TEST_F(UpdateTest, DigestOfTheWrittenImageIsCompared) {
    MainOnly();
    Fresh();
    // The board keeps a different byte from what it was sent.
    Before("校验主板应用程序...", [this] { Poke(kApp + 700, {0x00}); });
    Run();
    EXPECT_EQ(Errors(), std::vector<std::string>{"Write Main Board MD5 Error ！"});
    EXPECT_TRUE(Has(view.statuses, "校验主板应用程序失败 !"));
    EXPECT_EQ(view.statuses.back(), "升级完成");
    EXPECT_EQ(Frames(0xF07).size(), 1u);  // never jumped into the bad application
}

TEST_F(UpdateTest, FeederBoardReadFailureNamesTheBoard) {
    WriteImage("FeedApplication.bin", Pattern(300, 3));
    for (int i = 0; i < 3; ++i) boxes.Push(plat::MsgAnswer::Yes);
    Fresh();
    Before("读出飞达板应用程序配置信息...", [this] { Faults().ErrorNext(0x05); });
    Run();
    EXPECT_EQ(Errors(), (std::vector<std::string>{"Error-05 = 长度错误 !", "Read Feedd Board Flash Error ！"}));
    EXPECT_TRUE(Has(view.statuses, "读出飞达板应用程序配置信息失败 !"));
    // No main-board image: the closing steps select nothing.
    EXPECT_EQ(Steps(Frames()), (std::vector<std::string>{"F00", "F04"}));
    EXPECT_EQ(view.statuses.back(), "升级完成");
}

TEST_F(UpdateTest, ShutdownInTheMiddleEndsQuietly) {
    MainOnly();
    Fresh();
    Before("跳转主板升级程序...", [] { plat::CancelAllWaits(); });
    Run();
    plat::ResumeWaits();
    EXPECT_TRUE(Errors().empty()) << Errors().front();
    EXPECT_FALSE(Has(view.statuses, "升级完成"));
    // One answered command behind the job: everything it sent has been taken.
    ASSERT_TRUE(FirmwareLoader(link).SetUpdateFlag(2, 0));
    const auto selects = Frames(0xF00);
    ASSERT_EQ(selects.size(), 2u);  // no closing selection of board 1
    EXPECT_EQ(selects[1].data, (ByteVec{2, 0}));
    EXPECT_EQ(Frames(0xF07).size(), 1u);
}

TEST_F(UpdateTest, LinkThatDoesNotComeBackEndsTheUpdate) {
    MainOnly();
    reconnectWorks = false;
    Fresh();
    Run();
    EXPECT_EQ(reconnects, 1);
    EXPECT_EQ(view.statuses.back(), "重新联机失败 !");
    EXPECT_EQ(Frames().back().code, 0xF07);
    EXPECT_FALSE(g_Connected);
}

}  // namespace
