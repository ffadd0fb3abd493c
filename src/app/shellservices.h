// What the shell asks of the machine link, the settings, the libraries, the
// cameras, the job lists and the run. Each service is filled where its subsystem
// is wired in (`WireProgram()`); the wiring test checks that none stays empty.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "app/viewcore.h"

namespace smt {

struct ShellServices {
    // A run or a machine action is busy (the machine's busy flag).
    std::function<bool()> isBusy;
    // The link of the basic settings: 0 serial, otherwise Ethernet.
    std::function<int()> commModel;
    // The speed template's active class (0 none, 1 high, 2 medium, 3 low).
    std::function<int()> activeSpeedClass;

    // Live pulse factors and basic-settings offsets for the run-time pulse values,
    // and what follows their conversion (head reach, nozzle pulse table).
    std::function<std::array<double, kPulseFactorCount>()> pulseFactors;
    std::function<PositionOffsetsMm()> positionOffsets;
    std::function<void()> afterPositionPulses;

    // Positioning menu: reset to origin and the move commands (by command id).
    std::function<void()> resetToOrigin;
    std::function<void(int id)> positioningCommand;

    // Machine type: manual control layout, and on types 0..7 the strategy's head
    // and nozzle-change selections set to 0 and its section saved.
    std::function<void(int type)> layoutManualControl;
    std::function<void(const std::string& startFolder)> resetStrategyForMachineType;

    // Feeder list: sort by column 0 (first show), feeder groups into g_FeedLines.
    std::function<void()> sortFeedList;
    std::function<void()> writeFeedGroupTable;
    // CameraListConfig and AutoFeedConfig (full save).
    std::function<void(const std::string& startFolder)> saveLibraryConfig;

    // Shutdown.
    std::function<void()> stopRun;
    std::function<void()> raiseStopFlags;
    // Settings written at closing: false when config.ini could not be written.
    std::function<bool(const std::string& startFolder)> saveCameraPanelConfig;
    std::function<bool(const std::string& startFolder)> saveManualControlConfig;
    std::function<void(int index)> closeOrdinaryCamera;
};

// The process-wide services, filled before the main window is created.
ShellServices& GetShellServices();

} // namespace smt
