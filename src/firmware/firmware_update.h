// Board firmware update and the configuration block's read and write, as the
// firmware dialog's worker runs them. The worker touches no widget: everything it
// shows goes through FirmwareUpdateView, whose functions the dialog makes post to
// the user-interface thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "firmware/board_config.h"
#include "link/firmware_loader.h"
#include "platform/event.h"

namespace smt {

class MachineLink;

struct FirmwareBoard {
    int number;             // loader board number 1..4
    const char* nameKey;    // caption of the board's name
    const char* fileName;   // image in the start folder's "Update" folder
    const char* english;    // name in the error boxes
};
// Main, head, feeder and conveyor board, in update order.
const std::array<FirmwareBoard, 4>& FirmwareBoards();

// Where a job's output goes; every member may be empty.
struct FirmwareUpdateView {
    std::function<void(const std::string&)> setStatus;   // the status line
    std::function<void(int)> setProgress;                // progress bar, 0..100
    std::function<void(const std::string&)> showConfig;  // configuration display
};

// The machine link as the firmware job needs it beyond the loader commands.
struct FirmwareLinkPort {
    // The link went down on purpose: the panel's connect button back to its
    // not-connected caption, its controls disabled. Empty: the link hooks' panel
    // switch is used.
    std::function<void()> linkDropped;
    // Connect again (the manual control panel's connect); true once g_Connected is
    // set again.
    std::function<bool()> reconnect;
    // Command 0x01: an axis travel limit in pulses. Empty: SendAxisLimitOverEthernet.
    std::function<bool(std::uint8_t axis, std::int32_t limit)> sendAxisLimit;
};

struct FirmwareTiming {
    plat::Millis relink{2000};       // link dropped -> connect again
    plat::Millis afterJump{2000};    // a jump -> the board's next command
    plat::Millis enterLoader{1000};  // before the application area is erased
};

enum FirmwareMode : int { kFirmwareUpdate = 1, kFirmwareReadConfig = 2, kFirmwareWriteLimits = 3 };

// Everything one job needs, captured when its button is pressed.
struct FirmwareJob {
    MachineLink* link = nullptr;
    std::string startFolder;
    DialogCaptions texts = TheFirmwareUpdateCaptions();
    int feedBoardSelect = 0;          // highest feeder-board index, 0..3
    double xLimitMm = 0, xPulse = 0;  // travel limits and their pulses per mm
    double yLimitMm = 0, yPulse = 0;
    FirmwareUpdateView view;
    FirmwareLinkPort port;
    FirmwareTiming timing;
};

// Runs mode 1 update, 2 read configuration, 3 write limits; others do nothing.
int FirmwareUpdateThread(FirmwareJob& job, int mode);
void UpdateBoardFirmware(FirmwareJob& job);
bool ReadBoardConfig(FirmwareJob& job);
bool WriteBoardLimits(FirmwareJob& job);

// Command 0x01 (u8 axis, i32 pulses) on the Ethernet link; no reply is awaited.
bool SendAxisLimitOverEthernet(MachineLink& link, std::uint8_t axis, std::int32_t limit);

// The firmware dialog's members and the start of its work.
struct FirmwareUpdateValues {
    int m_UpdateMode = 0;
    int m_FeedBoardSelect = 0;
};

// Held by a firmware job from its button to its end; the three buttons refuse
// while it is set, so two jobs never share the link.
extern std::atomic<bool> g_FirmwareBusy;

// The buttons' checks ("Machine is not connection !", "Machine is runnig !"),
// then `mode` into the values and the job on a worker. false: refused.
bool StartFirmwareWork(FirmwareUpdateValues& values, int mode, FirmwareJob job);

}  // namespace smt
