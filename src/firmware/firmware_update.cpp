#include "firmware/firmware_update.h"

#include <memory>
#include <optional>

#include "base/numtext.h"
#include "firmware/md5.h"
#include "link/busy.h"
#include "link/cmd_srv.h"
#include "link/command_frames.h"
#include "link/exchange.h"
#include "link/link_log.h"
#include "link/link_state.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/threads.h"

namespace smt {

std::atomic<bool> g_FirmwareBusy{false};

const std::array<FirmwareBoard, 4>& FirmwareBoards() {
    static const std::array<FirmwareBoard, 4> boards = {{
        {1, "c_MainBoard", "MainApplication.bin", "Main"},
        {2, "c_HeadBoard", "HeadApplication.bin", "Head"},
        {3, "c_FeedBoard", "FeedApplication.bin", "Feed"},
        {4, "c_ConveyorBoard", "ConveyorApplication.bin", "Conveyor"},
    }};
    return boards;
}

namespace {

constexpr const char* kEllipsis = "...";
constexpr const char* kComma = " ， ";
constexpr const char* kBang = " !";
constexpr const char* kFlagError = "Modify update flag Error ！";
constexpr const char* kJumpError = "Jump to address Error ！";

// At shutdown every wait ends at once and the steps fail one after another; nobody
// is left to read their boxes.
void Box(const std::string& text) {
    if (!plat::WaitsCancelled()) plat::MessageBoxOk(text, true, plat::MsgIcon::Error);
}

std::string ImagePath(const FirmwareJob& job, const FirmwareBoard& board) {
    return plat::ResolvePath(plat::JoinPath(job.startFolder, std::string("Update/") + board.fileName));
}

// One board's texts and the loader, for the steps of one job.
class Steps {
public:
    explicit Steps(FirmwareJob& job) : m_job(job), m_loader(*job.link) {}

    const std::string& T(const char* name) const { return FwText(m_job.texts, name); }
    void Status(const std::string& text) const {
        if (m_job.view.setStatus) m_job.view.setStatus(text);
    }
    ProgressCallback Progress() const { return m_job.view.setProgress; }
    FirmwareLoader& Loader() { return m_loader; }
    FirmwareJob& Job() { return m_job; }

    // Board-numbered messages ("Read Main Board Flash Error ！"); the feeder board's
    // read message is spelt as the boards' manual has it.
    static std::string BoardMessage(const char* verb, int board, const char* what) {
        const FirmwareBoard& b = FirmwareBoards()[board - 1];
        const bool feedRead = board == 3 && std::string(verb) == "Read";
        return std::string(verb) + " " + (feedRead ? "Feedd" : b.english) + " Board " + what + " Error ！";
    }

    bool ReadBlock(int board, BoardConfigBlock& block) {
        if (board < 1 || board > 4) return true;
        if (m_loader.ReadFlash(block.Bytes(), Progress())) return true;
        Box(BoardMessage("Read", board, "Flash"));
        return false;
    }
    bool EraseBlock(int board) {
        if (board < 1 || board > 4) return true;
        if (m_loader.EraseFlash(loader::kConfigArea, loader::kConfigAreaSize)) return true;
        Box(BoardMessage("Erase", board, "Flash"));
        return false;
    }
    bool WriteBlock(int board, const BoardConfigBlock& block) {
        if (board < 1 || board > 4) return true;
        if (m_loader.WriteFlash(loader::kConfigArea, block.Bytes().data(), block.Bytes().size(), Progress()))
            return true;
        Box(BoardMessage("Write", board, "Flash"));
        return false;
    }

    // false when the process is shutting down.
    bool Wait(plat::Millis duration) const { return plat::SleepFor(duration); }

private:
    FirmwareJob& m_job;
    FirmwareLoader m_loader;
};

// The link goes down with a jump of the main board: the flags, the panel, then a
// new connect. The job keeps the busy flag across it, but the connect refuses to
// run while g_Running is set, so that is released for it and taken back.
namespace {
// The busy claim of the firmware worker running on this thread (none in a test
// that runs the steps directly).
thread_local BusyClaim* t_firmwareClaim = nullptr;
}  // namespace

bool ReconnectMachineLink(Steps& s) {
    FirmwareJob& job = s.Job();
    g_Connected = false;
    if (t_firmwareClaim) t_firmwareClaim->Release();
    else ReleaseBusy();
    if (job.port.linkDropped) {
        job.port.linkDropped();
    } else if (auto& enable = GetLinkHooks().enableManualControls) {
        enable(false);
    }
    s.Status(s.T("c_Relinking") + kEllipsis);
    if (!s.Wait(job.timing.relink)) return false;
    const bool linked = job.port.reconnect && job.port.reconnect() && g_Connected;
    // Taken back as a claim: if another action took the machine meanwhile, the
    // update stops here and leaves the flag to that action.
    const bool claimed = t_firmwareClaim ? static_cast<bool>(*t_firmwareClaim = BusyClaim::Try()) : TryClaimBusy();
    if (!claimed) {
        LinkLog("Firmware update: the machine was taken by another action after the jump");
        s.Status(s.T("c_Relinking") + s.T("c_Failed") + kBang);
        return false;
    }
    if (!linked) {
        LinkLog("Firmware update: no link after the jump");
        s.Status(s.T("c_Relinking") + s.T("c_Failed") + kBang);
        return false;
    }
    s.Status(s.T("c_Relinking") + s.T("c_Complete"));
    return true;
}

bool FlashBoardApplication(Steps& s, const FirmwareBoard& board, const std::string& name) {
    FirmwareLoader& loader = s.Loader();
    s.Status(s.T("c_JumpTo") + name + s.T("c_UpgradeProgram") + kEllipsis);
    if (!s.Wait(s.Job().timing.enterLoader)) return false;

    s.Status(s.T("c_Erasing") + name + s.T("c_Application") + kEllipsis);
    if (!loader.EraseFlash(loader::kApplication, loader::kApplicationAreaSize)) {
        s.Status(s.T("c_Erasing") + name + s.T("c_Application") + s.T("c_Failed") + kBang);
        Box(Steps::BoardMessage("Erase", board.number, "Flash"));
        return false;
    }
    // An erased area reads as 0xFF throughout; anything else means the erase did
    // not take.
    static const Md5Digest kErased = [] {
        const std::vector<std::uint8_t> blank(loader::kApplicationAreaSize, 0xFF);
        return ComputeMd5(blank.data(), blank.size());
    }();
    Md5Digest digest{};
    if (!loader.ReadFlashMd5(loader::kApplicationAreaSize, digest) || digest != kErased) {
        Box(Steps::BoardMessage("Count", board.number, "MD5"));
        return false;
    }

    s.Status(s.T("c_Writing") + name + s.T("c_Application") + kEllipsis);
    std::vector<std::uint8_t> image;
    const std::optional<std::size_t> written = loader.WriteFlashFromFile(
        ImagePath(s.Job(), board), loader::kApplication, s.Progress(), loader::kApplicationAreaSize, &image);
    if (!written) {
        s.Status(s.T("c_Writing") + name + s.T("c_Application") + s.T("c_Failed") + kBang);
        Box(Steps::BoardMessage("Write", board.number, "Flash"));
        return false;
    }

    s.Status(s.T("c_Calculation") + name + s.T("c_Application") + kEllipsis);
    if (!loader.ReadFlashMd5(static_cast<std::uint32_t>(*written), digest) ||
        digest != ComputeMd5(image.data(), image.size())) {
        s.Status(s.T("c_Calculation") + name + s.T("c_Application") + s.T("c_Failed") + kBang);
        Box(Steps::BoardMessage("Write", board.number, "MD5"));
        return false;
    }
    s.Status(s.T("c_Calculation") + name + s.T("c_Application") + s.T("c_Complete"));
    return true;
}

// Before anything is sent: every image that is there must fit the application
// area and hold something; a missing one is skipped only when the operator says so.
bool CheckImages(const FirmwareJob& job, std::array<bool, 4>& present) {
    for (const FirmwareBoard& board : FirmwareBoards()) {
        const std::string path = ImagePath(job, board);
        const std::string file = board.fileName;
        present[board.number - 1] = plat::FileExists(path);
        if (!present[board.number - 1]) {
            const plat::MsgAnswer a = plat::MessageBoxAsk(file + " File does not exist", plat::MsgButtons::YesNoCancel, true);
            if (a != plat::MsgAnswer::Yes) return false;
            continue;
        }
        std::vector<std::uint8_t> bytes;
        switch (LoadFirmwareImage(path, loader::kApplicationAreaSize, bytes)) {
        case ImageProblem::None: break;
        case ImageProblem::Unreadable: Box(file + " File cannot be read"); return false;
        case ImageProblem::Empty: Box(file + " File is empty"); return false;
        case ImageProblem::TooLarge:
            Box(file + " File is larger than the application area (" + std::to_string(loader::kApplicationAreaSize) +
                " bytes)");
            return false;
        }
    }
    return true;
}

enum class PassEnd { Next, Closing, Abort };

// One board (one feeder index) from its selection to its new application.
PassEnd UpdateOneBoard(Steps& s, const FirmwareBoard& board, int feederIndex, BoardConfigBlock& block) {
    const std::string& name = s.T(board.nameKey);
    const int number = board.number;
    const bool mainBoard = number == 1;
    FirmwareLoader& loader = s.Loader();
    const auto failed = [&](const char* verb, const std::string& what) {
        s.Status(s.T(verb) + name + what + s.T("c_Failed") + kBang);
        return PassEnd::Closing;
    };
    const std::string config = s.T("c_Application") + s.T("c_ConfigurationInformation");

    if (!loader.SetUpdateFlag(static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(feederIndex))) {
        Box(kFlagError);
        return PassEnd::Abort;
    }
    block.Clear();
    s.Status(s.T("c_Reading") + name + config + kEllipsis);
    if (!s.ReadBlock(number, block)) return failed("c_Reading", config);

    block.SetUpdateMark(1);
    s.Status(s.T("c_Erasing") + name + config + kEllipsis);
    if (!s.EraseBlock(number)) return failed("c_Erasing", config);
    s.Status(s.T("c_Erasing") + s.T("c_Complete") + kComma + s.T("c_Writing") + name + config + kEllipsis);
    if (!s.WriteBlock(number, block)) return failed("c_Writing", config);

    s.Status(s.T("c_JumpTo") + name + s.T("c_UpgradeProgram") + kEllipsis);
    if (!loader.JumpToAddress(loader::kBootLoader)) {
        Box(kJumpError);
        return failed("c_JumpTo", s.T("c_UpgradeProgram"));
    }
    if (mainBoard && !ReconnectMachineLink(s)) return PassEnd::Abort;
    if (!s.Wait(s.Job().timing.afterJump)) return PassEnd::Abort;
    if (!FlashBoardApplication(s, board, name)) return PassEnd::Closing;

    // Read the block again, and only a block read whole is written back.
    block.Clear();
    if (!s.ReadBlock(number, block)) return failed("c_Reading", config);
    s.Status(s.T("c_Erasing") + name + config + kEllipsis);
    block.SetUpdateMark(0);
    if (!s.EraseBlock(number)) return failed("c_Erasing", config);
    s.Status(s.T("c_Writing") + name + config + kEllipsis);
    if (!s.WriteBlock(number, block)) return failed("c_Writing", config);

    s.Status(s.T("c_JumpTo") + name + s.T("c_Application") + kEllipsis);
    if (!loader.JumpToAddress(loader::kApplication)) {
        Box(kJumpError);
        failed("c_JumpTo", s.T("c_Application"));
        return PassEnd::Abort;
    }
    if (mainBoard && !ReconnectMachineLink(s)) return PassEnd::Abort;
    if (!s.Wait(s.Job().timing.afterJump)) return PassEnd::Abort;
    return PassEnd::Next;
}

// The manual controls are off while the boards are updated.
class ManualControlsOff {
public:
    ManualControlsOff() { Switch(false); }
    ~ManualControlsOff() { Switch(true); }

private:
    static void Switch(bool on) {
        if (auto& enable = GetLinkHooks().enableManualControls) enable(on);
    }
};

// Reads the main board's block; board 1 is selected first, since an interrupted
// update may have left another board selected.
bool ReadMainBoardBlock(Steps& s, BoardConfigBlock& block) {
    const std::string what = s.T("c_ConfigurationInformation");
    s.Status(s.T("c_Reading") + what + kEllipsis);
    bool ok = s.Loader().SetUpdateFlag(1, 0);
    if (!ok) Box(kFlagError);
    ok = ok && s.ReadBlock(1, block);
    if (!ok) s.Status(s.T("c_Reading") + what + s.T("c_Failed") + kBang);
    return ok;
}

}  // namespace

bool SendAxisLimitOverEthernet(MachineLink& link, std::uint8_t axis, std::int32_t limit) {
    if (link.SendCommand(0x01, UdpAxisLimit(axis, limit)) == 0) return true;
    plat::MessageBoxOk(SendFailedText("01->SendAxisLimit"), true, plat::MsgIcon::Error);
    return false;
}

void UpdateBoardFirmware(FirmwareJob& job) {
    std::array<bool, 4> present{};
    if (!CheckImages(job, present)) return;
    ManualControlsOff controlsOff;
    Steps s(job);
    BoardConfigBlock block;
    const auto& boards = FirmwareBoards();
    std::size_t at = 0;
    int feederIndex = 0;
    while (at < boards.size()) {
        const FirmwareBoard& board = boards[at];
        if (!present[at]) {
            ++at;
            continue;
        }
        const PassEnd end = UpdateOneBoard(s, board, feederIndex, block);
        if (end == PassEnd::Abort || plat::WaitsCancelled()) return;
        if (end == PassEnd::Closing) break;
        if (board.number == 3 && feederIndex < job.feedBoardSelect) {
            ++feederIndex;
        } else {
            feederIndex = 0;
            ++at;
        }
    }
    if (present[0] && !s.Loader().SetUpdateFlag(1, 0)) Box(kFlagError);
    s.Status(s.T("c_Upadte") + s.T("c_Complete"));
}

bool ReadBoardConfig(FirmwareJob& job) {
    Steps s(job);
    if (job.view.showConfig) job.view.showConfig("");
    BoardConfigBlock block;
    if (!ReadMainBoardBlock(s, block)) return false;
    if (job.view.showConfig) job.view.showConfig(FormatBoardConfig(block, job.texts));
    s.Status(s.T("c_Reading") + s.T("c_ConfigurationInformation") + s.T("c_Complete"));
    return true;
}

bool WriteBoardLimits(FirmwareJob& job) {
    Steps s(job);
    const std::string what = s.T("c_ConfigurationInformation");
    BoardConfigBlock block;
    if (!ReadMainBoardBlock(s, block)) return false;
    const std::int32_t x = ToPulses(job.xLimitMm, job.xPulse);
    const std::int32_t y = ToPulses(job.yLimitMm, job.yPulse);
    block.SetLimits(x, y);
    s.Status(s.T("c_Erasing") + what + kEllipsis);
    if (!s.EraseBlock(1)) {
        s.Status(s.T("c_Erasing") + what + s.T("c_Failed") + kBang);
        return false;
    }
    s.Status(s.T("c_Writing") + what + kEllipsis);
    if (!s.WriteBlock(1, block)) {
        s.Status(s.T("c_Writing") + what + s.T("c_Failed") + kBang);
        return false;
    }
    // The machine takes the new limits at once; a failure is reported by the command.
    const auto send = job.port.sendAxisLimit ? job.port.sendAxisLimit
                                             : [&job](std::uint8_t axis, std::int32_t limit) {
                                                   return SendAxisLimitOverEthernet(*job.link, axis, limit);
                                               };
    send(0, x);
    send(1, y);
    s.Status(s.T("c_Writing") + what + s.T("c_Complete"));
    return true;
}

int FirmwareUpdateThread(FirmwareJob& job, int mode) {
    switch (mode) {
    case kFirmwareUpdate: UpdateBoardFirmware(job); break;
    case kFirmwareReadConfig: ReadBoardConfig(job); break;
    case kFirmwareWriteLimits: WriteBoardLimits(job); break;
    default: break;
    }
    return 1;
}

bool StartFirmwareWork(FirmwareUpdateValues& values, int mode, FirmwareJob job) {
    if (!g_Connected) {
        plat::MessageBoxOk("Machine is not connection !", true, plat::MsgIcon::Warning);
        return false;
    }
    bool idle = false;
    if (!g_FirmwareBusy.compare_exchange_strong(idle, true)) {
        plat::MessageBoxOk("Machine is runnig !", true, plat::MsgIcon::Warning);
        return false;
    }
    BusyClaim claim = ClaimMachineAction(false);
    if (!claim) {
        g_FirmwareBusy = false;
        return false;
    }
    values.m_UpdateMode = mode;
    if (!job.link) job.link = &GetMachineLink();
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("firmware", [job = std::move(job), mode, held]() mutable {
        struct Release {
            BusyClaim& claim;
            ~Release() {
                t_firmwareClaim = nullptr;
                claim.Release();  // only while this update still holds it
                g_FirmwareBusy = false;
            }
        } release{*held};
        t_firmwareClaim = held.get();
        FirmwareUpdateThread(job, mode);
    });
    return true;
}

}  // namespace smt
