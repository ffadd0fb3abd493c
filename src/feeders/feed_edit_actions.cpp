#include "feeders/feed_edit_actions.h"

#include <cmath>
#include <memory>

#include "base/numtext.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_operation.h"
#include "link/busy.h"
#include "link/commands.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "settings/basic_settings.h"
#include "machine_ops/basic_teach.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "vision/camera_panel_port.h"

namespace smt {

std::string ReadBackText(ReadBack which) {
    const PulseFactors& f = ThePulseFactors();
    const BasicSettings& b = TheBasicSettings();
    switch (which) {
    case ReadBack::X: return TeachValue(g_PulseX.load(), f.m_X_Pulse);
    case ReadBack::Y: return TeachValue(g_PulseY.load(), f.m_Y_Pulse);
    case ReadBack::CameraX:
        return TeachValue(static_cast<std::int64_t>(g_PulseX.load()) + ToPulses(b.m_X_CameraToNozzle1, f.m_X_Pulse), f.m_X_Pulse);
    case ReadBack::CameraY:
        return TeachValue(static_cast<std::int64_t>(g_PulseY.load()) + ToPulses(b.m_Y_CameraToNozzle1, f.m_Y_Pulse), f.m_Y_Pulse);
    }
    return FormatMm(0);
}

std::string ReadBackFeedCoordinate(const std::string& feederId) {
    const std::optional<FeederBank> bank = BankOf(feederId);
    if (!bank || !bank->HasWalk()) return FormatMm(0);
    return TeachValue(g_PulseFeederWalk[bank->index].load(), bank->walkFactor);
}

std::optional<std::string> ReadBackHeadHeight(int selection) {
    if (selection < 0 || selection > 3) return std::nullopt;
    const std::int32_t z = g_PulseZ[static_cast<std::size_t>(selection)].load();
    return z < 0 ? TeachValue(z, ThePulseFactors().m_Z_Pulse) : FormatMm(0);
}

namespace {
// The head's Z axis, and whether it is the second head of a rocker pair.
std::optional<std::pair<int, bool>> HeadAxis(int machineType, int selection) {
    if (selection < 0 || selection > 7) return std::nullopt;
    if (machineType == 7) return std::make_pair(0x20 + selection, false);
    if (selection > 3) return std::nullopt;
    return std::make_pair(selection < 2 ? 2 : 3, selection % 2 == 1);
}
} // namespace

std::optional<EditorJog> HeadJog(int machineType, int selection, bool up) {
    const auto axis = HeadAxis(machineType, selection);
    if (!axis) return std::nullopt;
    // A rocker lowers its second head by raising the first; own Z axes all rise with 1.
    const bool positive = up != axis->second;
    return EditorJog{axis->first, positive ? 1 : 0, false, 0, 0};
}

std::optional<EditorJog> HeadToHeight(int machineType, int selection, double pickHeightMm) {
    const auto axis = HeadAxis(machineType, selection);
    if (!axis) return std::nullopt;
    const std::int32_t target = ToPulses(pickHeightMm, ThePulseFactors().m_Z_Pulse);
    if (target > 0) return std::nullopt;  // heights lie below zero
    const std::int32_t delta =
        AddPulses({target, -static_cast<std::int64_t>(g_PulseZ[static_cast<std::size_t>(selection)].load())});
    bool positive = delta >= 0;
    if (axis->second) positive = !positive;
    return EditorJog{axis->first, positive ? 1 : 0, true, delta, 0};
}

std::optional<EditorJog> DragDrive(int button, const std::string& feederId) {
    const std::optional<FeederBank> bank = BankOf(feederId);
    if (!bank || !bank->HasWalk()) return std::nullopt;
    const AutoFeed& a = TheAutoFeed();
    auto lift = [&](bool open, int direction) {
        const int length = open ? a.m_Open_Length.load() : a.m_Close_Length.load();
        return EditorJog{bank->liftAxis, direction, true, ToPulses(length, bank->liftFactor), 0};
    };
    auto walk = [&](int direction) { return EditorJog{bank->walkAxis, direction, false, 0, bank->channel}; };
    enum { LxPlus = 1247, LxMinus = 1245, LyPlus = 1250, LyMinus = 1253 };
    switch (bank->letter) {
    case 'E':
        if (button == LxPlus) return lift(false, 1);
        if (button == LxMinus) return lift(true, 0);
        if (button == LyPlus) return walk(1);
        if (button == LyMinus) return walk(0);
        break;
    case 'W':
        if (button == LxPlus) return lift(true, 0);
        if (button == LxMinus) return lift(false, 1);
        if (button == LyPlus) return walk(1);
        if (button == LyMinus) return walk(0);
        break;
    case 'N':
        if (button == LxPlus) return walk(1);
        if (button == LxMinus) return walk(0);
        if (button == LyPlus) return lift(false, 1);
        if (button == LyMinus) return lift(true, 0);
        break;
    default: break;
    }
    return std::nullopt;
}

bool StartWalkToFeedCoordinate(const std::string& feederId, double c, const std::string& outOfRange) {
    const std::optional<FeederBank> bank = BankOf(feederId);
    if (!bank || !bank->HasWalk()) return false;
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    if (!bank->InWalkRange(c)) {
        SetOutput({static_cast<std::uint8_t>(bank->channel), 0, 5});
        plat::MessageBoxOk(outOfRange);
        return false;
    }
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("FeederWalk", [held, b = *bank, c] {
        SetOutput({static_cast<std::uint8_t>(b.channel), 0, 5});
        const SpeedPair s = TheSpeedTemplates().Pair(SpeedType::Handle, b.walkDrive);
        const std::int32_t delta =
            AddPulses({ToPulses(c, b.walkFactor), -static_cast<std::int64_t>(g_PulseFeederWalk[b.index].load())});
        MoveSingleAxis({static_cast<std::uint8_t>(b.walkAxis), delta, {s.start, s.run}});
        held->Release();
    });
    return true;
}

bool StartCameraToFeeder(double pickX, double pickY) {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    const PulseFactors& f = ThePulseFactors();
    const BasicSettings& b = TheBasicSettings();
    FeedOperationRequest r;
    r.code = kFeedOpCameraToFeeder;
    r.hasTarget = true;
    r.targetX = AddPulses({ToPulses(pickX, f.m_X_Pulse), -static_cast<std::int64_t>(ToPulses(b.m_X_CameraToNozzle1, f.m_X_Pulse))});
    r.targetY = AddPulses({ToPulses(pickY, f.m_Y_Pulse), -static_cast<std::int64_t>(ToPulses(b.m_Y_CameraToNozzle1, f.m_Y_Pulse))});
    if (const auto& select = TheCameraPanelPort().selectMarkCamera) select();
    const auto& start = TheFeedOperationPort().startRequest;
    if (!start) return false;
    start(std::move(r), std::move(claim));
    return true;
}

bool StartVacuumTest(int machineType, int selection) {
    if (machineType < 0 || machineType > 6 || selection < 0 || selection > 3) return false;
    BusyClaim claim = ClaimMachineAction(false);
    if (!claim) return false;
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("VacuumTest", [held, selection] {
        ReadVacuum(static_cast<std::uint8_t>(selection + 1));
        held->Release();
    });
    return true;
}

} // namespace smt
