#include "app/viewcore.h"

#include <chrono>

#include "base/captions.h"
#include "app/menus.h"
#include "base/numtext.h"
#include "platform/event.h"
#include "platform/msgbox.h"

namespace smt {

// ---- messages ---------------------------------------------------------------

namespace {
// Caption key number of each entry (0 for the fixed ones).
constexpr int kMessageKeys[kViewMessageCount] = {17, 18, 0, 0, 1, 2, 3, 4, 5, 6, 7,
                                                 8, 9, 10, 11, 12, 13, 14, 15, 16, 19, 20};
} // namespace

ViewMessages LoadMessageTexts(const std::string& language, const std::string& startFolder) {
    ViewMessages out = BuiltinViewMessages();
    for (int i = 0; i < kViewMessageCount; ++i) {
        if (kMessageKeys[i] == 0) continue;
        out[i] = LoadCaption(startFolder, language, "SMTViewConfig",
                             FormatC("SMTView.c_Message_%02d", kMessageKeys[i]), out[i]);
    }
    return out;
}

// ---- travel limits and position pulses --------------------------------------

LimitPulses ComputeLimitPulses(double xLimit, double yLimit, double zLimit, double xPulse,
                               double yPulse, double zPulse) {
    LimitPulses l;
    l.x = ToPulses(xLimit, xPulse);
    l.y = ToPulses(yLimit, yPulse);
    l.z = ToPulses(zLimit, zPulse);
    // The saturated minimum has no positive counterpart in 32 bits.
    l.absX = l.x < 0 ? (l.x == INT32_MIN ? INT32_MAX : -l.x) : l.x;
    l.absY = l.y < 0 ? (l.y == INT32_MIN ? INT32_MAX : -l.y) : l.y;
    return l;
}

LimitPulses LoadLimitPulses(const std::string& startFolder) {
    auto get = [&](const char* section, const char* key) {
        return AtoF(ReadConfig(startFolder, section, key));
    };
    return ComputeLimitPulses(get("SetBasicConfig", "m_X_Limit"), get("SetBasicConfig", "m_Y_Limit"),
                              get("SetBasicConfig", "m_Z_Limit"), get("SetPulseConfig", "m_X_Pulse"),
                              get("SetPulseConfig", "m_Y_Pulse"), get("SetPulseConfig", "m_Z_Pulse"));
}

void ConvertSettingsToPulses(const std::array<double, kPulseFactorCount>& factors,
                           const PositionOffsetsMm& o, const std::function<void()>& afterwards) {
    g_PulsesPerMm = factors;
    const double fx = factors[0], fy = factors[1];
    auto point = [&](double x, double y) { return PulsePoint{ToPulses(x, fx), ToPulses(y, fy)}; };
    for (int i = 0; i < 8; ++i) {
        g_CorrectionPulsesX[i] = ToPulses(o.correctionX[i], fx);
        g_CorrectionPulsesY[i] = ToPulses(o.correctionY[i], fy);
    }
    g_CameraToNozzle1Pulses = point(o.cameraToNozzle1X, o.cameraToNozzle1Y);
    g_NozzleToNozzle1Pulses[0] = {};
    for (int n = 2; n <= 8; ++n)
        g_NozzleToNozzle1Pulses[n - 1] = point(o.nozzleToNozzle1X[n - 1], o.nozzleToNozzle1Y[n - 1]);
    g_DispenserToNozzle1Pulses = point(o.dispenserToNozzle1X, o.dispenserToNozzle1Y);
    g_Y2ToY1Pulses = point(o.y2ToY1X, o.y2ToY1Y);
    g_ThrowPositionPulses = point(o.throwPositionX, o.throwPositionY);
    if (afterwards) afterwards();
}

bool CheckZPosition(std::int32_t zPulses) {
    if (zPulses < 1) return true;
    plat::MessageBoxOk("Z Pos Error !", true);
    return false;
}

// ---- settings commands --------------------------------------------------------

SettingsRefusal CheckSettingsCommand(int id, bool busy, int machineType, int commModel) {
    switch (id) {
    case cmd::FeedGroup:
        return busy ? SettingsRefusal::RunningFeedGroup : SettingsRefusal::None;
    case cmd::CameraList:
    case cmd::NozzleList:  // its start and OK rewrite what a nozzle change works from
    case cmd::AutoFeed:
    case cmd::AutoTransport:
    case cmd::SetCover:
        return busy ? SettingsRefusal::Running : SettingsRefusal::None;
    case cmd::LampMachineSet:
        return machineType != 4 ? SettingsRefusal::NoFunction : SettingsRefusal::None;
    case cmd::FirmwareUpdate:
        if (busy) return SettingsRefusal::Running;
        return commModel == 0 ? SettingsRefusal::NoFunction : SettingsRefusal::None;
    default:
        return SettingsRefusal::None;
    }
}

bool ShowSettingsRefusal(SettingsRefusal refusal, const ViewMessages& messages) {
    switch (refusal) {
    case SettingsRefusal::None: return false;
    case SettingsRefusal::RunningFeedGroup: plat::MessageBoxOk(messages[4]); return true;
    case SettingsRefusal::Running: plat::MessageBoxOk(messages[5]); return true;
    case SettingsRefusal::NoFunction: plat::MessageBoxOk("no function!", true); return true;
    }
    return false;
}

int SpeedTemplatePage(int id) {
    switch (id) {
    case cmd::SpeedSet: return 0;
    case cmd::HighSpeedTemplate: return 1;
    case cmd::MediumSpeedTemplate: return 2;
    case cmd::LowSpeedTemplate: return 3;
    default: return -1;
    }
}

bool IsSettingsDialogCommand(int id) {
    switch (id) {
    case cmd::SetBasic: case cmd::DippingStation: case cmd::FeedGroup: case cmd::SpeedSet:
    case cmd::HighSpeedTemplate: case cmd::MediumSpeedTemplate: case cmd::LowSpeedTemplate:
    case cmd::CameraList: case cmd::NozzleList: case cmd::SetPulse: case cmd::OftenData:
    case cmd::PackData: case cmd::MarkData: case cmd::LampMachineSet: case cmd::AutoFeed:
    case cmd::AutoTransport: case cmd::VersionNumber: case cmd::FirmwareUpdate: case cmd::SetCover:
        return true;
    default:
        return false;
    }
}

// ---- list panels ------------------------------------------------------------

std::vector<PanelAction> TogglePanel(PanelSlot slot, ListPanelState& s,
                                     std::atomic<bool>& feedSortDone) {
    using A = PanelAction;
    const bool feed = slot == PanelSlot::FeedList;
    bool& exists = feed ? s.feedExists : s.partExists;
    bool& visible = feed ? s.feedVisible : s.partVisible;
    bool& otherVisible = feed ? s.partVisible : s.feedVisible;
    const A create = feed ? A::CreateFeedList : A::CreatePartList;
    const A place = feed ? A::PlaceFeedList : A::PlacePartList;
    const A show = feed ? A::ShowFeedList : A::ShowPartList;
    const A hide = feed ? A::HideFeedList : A::HidePartList;
    const A hideOther = feed ? A::HidePartList : A::HideFeedList;

    std::vector<A> out;
    if (!exists) {
        out = {create, place, show};
        exists = visible = true;
    } else if (visible) {
        out = {place, hide, show};  // redrawn in place
        if (!feed) out.push_back(A::ShowPlacementList);
    } else {
        out = {place, show};
        visible = true;
        if (otherVisible) {
            out.push_back(hideOther);
            otherVisible = false;
        }
    }
    if (feed && !feedSortDone.exchange(true)) out.push_back(A::SortFeedList);
    return out;
}

// ---- ordered load steps -------------------------------------------------------

std::vector<std::string> FirstUpdateStepNames() {
    return {
        // library tables from the table rows
        "CameraList.ParseRow", "NozzleList.ParseRows", "PackList.ParseRows", "MarkList.ParseRows",
        "SpeedTemplate.ParseRows",
        // config.ini sections
        "SetBasic.LoadConfig", "DippingStation.LoadConfig", "OriginUpdate.LoadConfig",
        "PositionLimitDetour.LoadConfig", "SpeedTemplate.LoadConfig", "CameraList.LoadConfig",
        "NozzleList.LoadConfig", "SetPulse.LoadConfig", "LampMachineList.LoadLampCounters",
        "AutoFeed.LoadConfig", "AutoTransport.LoadConfig", "VersionNumber.LoadConfig",
        "PCBEdit.LoadConfig", "ImportFile.LoadConfig", "SetCover.LoadConfig",
        "DoubleMarkTest.LoadConfig",
        // the seven speed classes, the lamp-table lines
        "SpeedClasses.Load", "LampTable.WriteLines",
        // captions
        "View.LoadMessageTexts", "FeedList.LoadLanguage", "PartList.LoadLanguage",
        // machine layout and pulses
        "ManualControl.LayoutForMachineType", "View.LoadLimitPulses", "View.ComputePositionPulses",
    };
}

std::vector<std::string> CreationCaptionStepNames() {
    return {"SetBasic.LoadLanguage",     "DippingStation.LoadLanguage", "SpeedTemplate.LoadLanguage",
            "CameraList.LoadLanguage",   "NozzleList.LoadLanguage",     "SetPulse.LoadLanguage",
            "DropDownParameter.LoadLanguage", "AutoFeed.LoadLanguage",  "AutoTransport.LoadLanguage",
            "VersionNumber.LoadLanguage", "FirmwareUpdate.LoadLanguage"};
}

std::vector<std::string> LanguageChangeStepNames() {
    return {"SetView.LoadLanguage",          "ManualControl.LoadLanguage",
            "FeedList.LoadLanguage",         "PartList.LoadLanguage",
            "SetBasic.LoadLanguage",         "DippingStation.LoadLanguage",
            "FeedGroup.LoadLanguage",        "SpeedTemplate.LoadLanguage",
            "CameraList.LoadLanguage",       "NozzleList.LoadLanguage",
            "SetPulse.LoadLanguage",         "DropDownParameter.LoadLanguage",
            "AutoFeed.LoadLanguage",         "AutoTransport.LoadLanguage",
            "VersionNumber.LoadLanguage",    "FirmwareUpdate.LoadLanguage",
            "SpeedTemplate.ParseRows"};
}

namespace {
std::atomic<bool> g_firstUpdateDone{false};
} // namespace

bool ClaimFirstUpdate() { return !g_firstUpdateDone.exchange(true); }
void ResetFirstUpdateForTests() { g_firstUpdateDone = false; }

// ---- closing ------------------------------------------------------------------

int OrdinaryCameraCount(int machineType) {
    if (machineType == 4) return 8;
    if (machineType == 5) return 2;
    return 1;
}

const char* const kCloseSaveQuestion = "是否要保存工程文件 ?\r\nWhether to save the project file?";
const char* const kCloseBusyQuestion =
    "设备正在工作，是否停止并退出 ?\r\nThe machine is working. Stop it and exit?";

CloseDecision RunCloseSequence(const CloseHooks& h, int machineType) {
    if (h.isBusy && h.isBusy()) {
        if (plat::MessageBoxAsk(kCloseBusyQuestion, plat::MsgButtons::YesNo, true) != plat::MsgAnswer::Yes)
            return CloseDecision::StayOpen;
    }
    if (h.hasPcbRecords && h.hasPcbRecords()) {
        const auto answer = plat::MessageBoxAsk(kCloseSaveQuestion, plat::MsgButtons::YesNoCancel, true);
        if (answer == plat::MsgAnswer::Cancel) return CloseDecision::StayOpen;
        // A save that failed or whose file dialog was cancelled must not lose the job.
        if (answer == plat::MsgAnswer::Yes && h.saveAll && !h.saveAll()) return CloseDecision::StayOpen;
    }
    if (h.stopRun) h.stopRun();
    if (h.raiseStopFlags) h.raiseStopFlags();
    plat::CancelAllWaits();
    if (h.joinThreads) h.joinThreads();
    if (h.saveConfig) h.saveConfig();
    if (h.closeOrdinaryCameras) h.closeOrdinaryCameras(OrdinaryCameraCount(machineType));
    return CloseDecision::Close;
}

} // namespace smt
