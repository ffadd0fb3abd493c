#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>

#include "firmware_fixture.h"

using namespace smt;
using namespace smt::test;

namespace {

constexpr std::uint32_t kConfig = 0x08010000;
constexpr std::uint32_t kApp = 0x08020000;

// The command codes with repeats of one code run together ("F04" for 152 reads).
std::vector<std::string> Steps(const std::vector<sim::FrameRecord>& frames) {
    std::vector<std::string> out;
    char code[8];
    for (const auto& f : frames) {
        std::snprintf(code, sizeof code, "%03X", f.code);
        if (out.empty() || out.back() != code) out.push_back(code);
    }
    return out;
}

// Each run of writes into the configuration area, put back together.
std::vector<ByteVec> ConfigWrites(const std::vector<sim::FrameRecord>& frames) {
    std::vector<ByteVec> blocks;
    bool inRun = false;
    for (const auto& f : frames) {
        const std::uint32_t at = f.code == 0xF03 ? ReadU32(f.data, 0) - kConfig : kApp;
        const bool configWrite = at < kApp - kConfig;
        if (configWrite && !inRun) blocks.emplace_back(0x10000, 0xEE);
        if (configWrite) std::copy(f.data.begin() + 8, f.data.end(), blocks.back().begin() + at);
        inRun = configWrite;
    }
    return blocks;
}

ByteVec WithMark(ByteVec block, std::uint8_t mark) {
    block[0] = mark;
    return block;
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
    std::vector<std::string> Errors() {  // the boxes less the questions for missing files
        auto t = boxes.Texts();
        std::erase_if(t, [](const std::string& s) { return s.find("does not exist") != std::string::npos; });
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
    const std::vector<Pass> passes = {{1, 0, 0, ConfigPattern(21)}, {2, 0, 1, ConfigPattern(22)},
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
    EXPECT_EQ(view.progress.back(), 100);
    EXPECT_EQ((std::vector<int>{reconnects, dropped, g_Connected, Board().SelectedBoard().number}),
              (std::vector<int>{2, 2, true, 1}));

    // Per board: select, read the block, erase it, write it marked, jump to the loader,
    // erase, digest, write, digest, read, erase and write the block back, jump to the application.
    const auto frames = Frames();
    const std::vector<std::string> pass = {"F00", "F04", "F02", "F03", "F07", "F02", "F06",
                                           "F03", "F06", "F04", "F02", "F03", "F07"};
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < passes.size(); ++i) expected.insert(expected.end(), pass.begin(), pass.end());
    expected.push_back("F00");
    EXPECT_EQ(Steps(frames), expected);
    const auto selects = Frames(0xF00), jumps = Frames(0xF07), digests = Frames(0xF06);
    const auto writes = ConfigWrites(frames);
    ASSERT_EQ(selects.size(), passes.size() + 1);
    ASSERT_EQ(jumps.size(), 2 * passes.size());
    ASSERT_EQ(digests.size(), 2 * passes.size());
    ASSERT_EQ(writes.size(), 2 * passes.size());
    EXPECT_EQ(selects.back().data, (ByteVec{1, 0}));
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const Pass& p = passes[i];
        const ByteVec& image = images[p.image];
        SCOPED_TRACE(i);
        EXPECT_EQ(selects[i].data, (ByteVec{std::uint8_t(p.board), std::uint8_t(p.index)}));
        EXPECT_EQ(ReadU32(jumps[2 * i].data, 0), 0x08000000u);
        EXPECT_EQ(ReadU32(jumps[2 * i + 1].data, 0), kApp);
        EXPECT_EQ(ReadU32(digests[2 * i].data, 4), 0x60000u);
        EXPECT_EQ(ReadU32(digests[2 * i + 1].data, 4), image.size());
        // The block is written back as read, with the mark 1 before the jump and 0 after it.
        EXPECT_EQ(writes[2 * i], WithMark(p.config, 1));
        EXPECT_EQ(writes[2 * i + 1], p.config);
        EXPECT_EQ(Flash(p.board, p.index, kApp, image.size()), image);
        EXPECT_EQ(Flash(p.board, p.index, kApp + image.size(), 16), ByteVec(16, 0xFF));  // old tail erased
        EXPECT_EQ(Flash(p.board, p.index, kConfig, 0x10000), p.config);
        EXPECT_EQ(Board().LastJump(sim::BoardId{p.board, p.index}), kApp);
    }
    // Each board names itself in its steps.
    for (const char* line : {"擦除完成 ， 写入主板应用程序配置信息...", "重新联机完成", "校验主板应用程序完成",
                             "跳转机头板升级程序...", "写入飞达板应用程序...", "跳转自动进板应用程序..."})
        EXPECT_TRUE(Has(view.statuses, line)) << line;
}

TEST_F(UpdateTest, MissingOversizedOrEmptyImagesSendNothing) {
    struct Row {
        std::vector<std::pair<const char*, std::size_t>> files;  // written before the run
        std::optional<plat::MsgAnswer> answer;                   // to the missing-file question
        const char* box;
    };
    const Row rows[] = {
        {{}, plat::MsgAnswer::No, "MainApplication.bin File does not exist"},
        {{{"MainApplication.bin", 100}}, plat::MsgAnswer::Cancel, "HeadApplication.bin File does not exist"},
        {{{"MainApplication.bin", 0x60001}},
         {},
         "MainApplication.bin File is larger than the application area (393216 bytes)"},
        // Exactly the area is fine.
        {{{"MainApplication.bin", 0x60000}, {"HeadApplication.bin", 0}}, {}, "HeadApplication.bin File is empty"}};
    for (const Row& r : rows) {
        boxes.Clear();
        for (const auto& [file, size] : r.files) WriteImage(file, ByteVec(size, 0x5A));
        if (r.answer) boxes.Push(*r.answer);
        Run();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{r.box});
        if (r.answer) {
            EXPECT_EQ(boxes.Seen().at(0).buttons, plat::MsgButtons::YesNoCancel);
        }
    }
    EXPECT_TRUE(Frames().empty());
    EXPECT_TRUE(view.statuses.empty());
    EXPECT_EQ(reconnects, 0);
}

// One step of a single-image update fails: the boxes and status lines it shows, the
// commands sent from that step on, and the main board's configuration block after it.
struct Failure {
    const char* image;   // the only image file present
    const char* before;  // status line of the step that fails
    int error;           // the board's refusal; 0: the board spoils a byte it was sent
    std::vector<std::string> boxes;
    const char* failed, *last;  // the failure's status line, the last one shown
    std::vector<std::string> steps;
    int reconnects, mark;  // mark: of the block as seeded; -1: not looked at
};
void PrintTo(const Failure& f, std::ostream* os) { *os << f.before; }

class UpdateFailure : public UpdateTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(UpdateFailure, ShowsTheErrorAndSendsOnlyWhatIsSafe) {
    const Failure& f = GetParam();
    WriteImage(f.image, Pattern(1500, 11));
    for (int i = 0; i < 3; ++i) boxes.Push(plat::MsgAnswer::Yes);
    SeedConfig(1, 0, ConfigPattern(5));
    Fresh();
    Before(f.before, [&] {
        if (f.error) Faults().ErrorNext(f.error);
        else Poke(kApp + 700, {0x00});
        Board().ClearRecords();
    });
    Run();
    EXPECT_EQ(Errors(), f.boxes);
    EXPECT_TRUE(Has(view.statuses, f.failed));
    EXPECT_EQ(view.statuses.back(), f.last);
    EXPECT_EQ(Steps(Frames()), f.steps);
    EXPECT_EQ(reconnects, f.reconnects);
    if (Frames().back().code == 0xF00) {
        EXPECT_EQ(Frames().back().data, (ByteVec{1, 0}));  // board 1 selected again
    }
    if (f.mark >= 0) {
        EXPECT_EQ(Flash(1, 0, kConfig, 0x10000), WithMark(ConfigPattern(5), std::uint8_t(f.mark)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, UpdateFailure,
    ::testing::Values(
        Failure{"MainApplication.bin", "擦除主板应用程序配置信息...", 0x05,
                {"Error-05 = 长度错误 !", "Erase Main Board Flash Error ！"}, "擦除主板应用程序配置信息失败 !",
                "升级完成", {"F02", "F00"}, 0, -1},
        Failure{"MainApplication.bin", "跳转主板应用程序...", 0x10, {"Error-10 = 运行保护 !", "Jump to address Error ！"},
                "跳转主板应用程序失败 !", "跳转主板应用程序失败 !", {"F07"}, 1, 0},
        // A failed second read is never erased or written back: the block stays as written before the jump.
        Failure{"MainApplication.bin", "校验主板应用程序完成", 0x05,
                {"Error-05 = 长度错误 !", "Read Main Board Flash Error ！"}, "读出主板应用程序配置信息失败 !", "升级完成",
                {"F04", "F00"}, 1, 1},
        // The board keeps a different byte from what it was sent: no jump into the bad application.
        Failure{"MainApplication.bin", "校验主板应用程序...", 0, {"Write Main Board MD5 Error ！"},
                "校验主板应用程序失败 !", "升级完成", {"F06", "F00"}, 1, 1},
        // No main-board image: the closing steps select nothing.
        Failure{"FeedApplication.bin", "读出飞达板应用程序配置信息...", 0x05,
                {"Error-05 = 长度错误 !", "Read Feedd Board Flash Error ！"}, "读出飞达板应用程序配置信息失败 !",
                "升级完成", {"F04"}, 0, 0}));

// A board that answers the next erase as done but leaves its flash as it was.
class EraseThatKeepsTheFlash : public sim::MachineObserver {
public:
    std::optional<sim::Outgoing> Intercept(sim::Link, std::uint16_t code) override {
        if (code != 0xF02 || !armed.exchange(false)) return std::nullopt;
        return sim::Outgoing{1, 0xF02, {0}};  // status 0, nothing erased
    }
    std::atomic<bool> armed{false};
};

// The application area still holds the old program after an erase the board called
// done: the check of the erased area stops the update before anything is written
// over it, and the closing steps still run.
TEST_F(UpdateTest, ApplicationAreaNotErasedStopsBeforeWriting) {
    MainOnly();
    SeedConfig(1, 0, ConfigPattern(5));
    const ByteVec old = Pattern(4000, 99);
    Poke(kApp, old);
    EraseThatKeepsTheFlash board;
    Board().SetObserver(&board);
    Fresh();
    Before("擦除主板应用程序...", [&] {
        board.armed = true;
        Board().ClearRecords();
    });
    Run();
    Board().SetObserver(nullptr);
    EXPECT_FALSE(board.armed.load());
    EXPECT_EQ(Errors(), std::vector<std::string>{"Count Main Board MD5 Error ！"});
    EXPECT_FALSE(Has(view.statuses, "写入主板应用程序..."));
    EXPECT_EQ(view.statuses.back(), "升级完成");
    // Erase (answered, not done), the digest of the area, then the closing selection.
    EXPECT_EQ(Steps(Frames()), (std::vector<std::string>{"F02", "F06", "F00"}));
    const auto digests = Frames(0xF06);
    ASSERT_EQ(digests.size(), 1u);
    EXPECT_EQ(ReadU32(digests[0].data, 0), kApp);
    EXPECT_EQ(ReadU32(digests[0].data, 4), 0x60000u);
    EXPECT_EQ(Flash(1, 0, kApp, old.size()), old);  // nothing written over the old program
    EXPECT_EQ(Flash(1, 0, kConfig, 0x10000), WithMark(ConfigPattern(5), 1));  // left for a new run
    EXPECT_EQ(reconnects, 1);
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
