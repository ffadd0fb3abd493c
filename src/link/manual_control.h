// The manual control panel without its widgets: its configuration section, its
// captions, the controls each machine type uses, the enabling rules, the position
// and step texts, and the port through which machine code reaches the panel.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace smt {

// ---- control identifiers of the panel ----
namespace mc {
inline constexpr int Reset = 1058, Connect = 1135;
inline constexpr int XMinus = 1138, XPlus = 1139, YPlus = 1147, YMinus = 1148;
// Z+ / Z- and A+ / A- of nozzles 1..8.
inline constexpr std::array<int, 8> ZPlus{1145, 1146, 1154, 1157, 1160, 1162, 1164, 1165};
inline constexpr std::array<int, 8> ZMinus{1149, 1150, 1155, 1158, 1161, 1163, 1166, 1167};
inline constexpr std::array<int, 8> APlus{1022, 1152, 1023, 1024, 1025, 1026, 1027, 1028};
inline constexpr std::array<int, 8> AMinus{1151, 1153, 1156, 1159, 1168, 1169, 1171, 1170};
inline constexpr int FeedXPlus = 1227, FeedXMinus = 1228, FeedYPlus = 1229, FeedYMinus = 1230;
inline constexpr int FeedBank = 1231, SMinus = 1232, SPlus = 1233, HeadGroup = 1234;
inline constexpr std::array<int, 8> Pumps{1225, 1037, 1038, 1039, 1040, 1041, 1042, 1043};
inline constexpr int StepText = 1223, CoordinatesGroup = 1250;
inline constexpr int PosX = 1134, PosY = 1013, PosZ = 1014, PosA = 1015;
inline constexpr int CommandCounter = 1016, ReplyCounter = 1017;
inline constexpr std::array<int, 8> NozzleFields{1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012};
inline constexpr int Trace = 1226;
// Tool buttons of the part list that the panel's enabling drives.
inline constexpr int PartListStart = 106, PartListClamp = 110;
}  // namespace mc

// ---- section ManualControlConfig of config.ini ----
struct ManualControlConfig {
    std::int32_t m_SpeedGears = 0;
    std::int32_t m_XY_RunSteps = 0;
    std::int32_t m_Z_RunSteps = 0;
    std::int32_t m_A_RunSteps = 0;
    std::int32_t m_Feed_RunSteps = 0;
    std::int32_t m_S_RunSteps = 0;
    std::int32_t m_Feed_Direction = 0;  // 0 east, 1 south, 2 west, 3 north
    std::int32_t m_ComNumber = 1;       // first serial port of the scan
    friend bool operator==(const ManualControlConfig&, const ManualControlConfig&) = default;
};
// Every key read (a missing key reads as 0, no fixed defaults).
ManualControlConfig LoadManualControlConfig(const std::string& configPath);
// Writes the eight keys in order with "%d"; false when a write failed.
bool SaveManualControlConfig(const ManualControlConfig& config, const std::string& configPath);

// "XY%d,  Z%d,  A%d,  F%d,  S%d".
std::string JogStepText(const ManualControlConfig& config);
// Icon of the feeder bank button (382..385 for banks 0..3), 0 for any other bank:
// the button then keeps its text.
int FeedBankIcon(int bank);

// ---- captions (section ManualControlConfig of the caption file) ----
struct CaptionEntry {
    const char* key;      // without the "ManualControl." prefix
    const char* builtin;  // the built-in Chinese text
};
// The 91 captions in caption order, then the reset button and the link box texts.
const std::vector<CaptionEntry>& ManualControlCaptionTable();

class ManualControlTexts {
public:
    ManualControlTexts();  // the built-in texts
    // Reads "<folder>/<language>.ini"; a missing key restores the built-in text.
    void Load(const std::string& folder, const std::string& language);
    // The text of `key` ("c_Online", "c_ID_Reset_X" ...); "" for unknown keys.
    const std::string& Text(const std::string& key) const;
    // The link's messages and the connect captions of these texts.
    void PublishToLink() const;

private:
    std::map<std::string, std::string> m_texts;
};
// The panel's live captions (the reset menu and the messages read them).
ManualControlTexts& TheManualControlTexts();

// ---- layout per machine type ----
struct ManualControlLayout {
    bool keepResource = false;  // type 8: only the trace box is placed
    int nozzleFields = 0;       // fields 1..n shown
    int pumps = 0;              // pump boxes 1..n shown
    std::vector<int> zNozzles;  // nozzles whose Z buttons are shown
    std::vector<int> aNozzles;  // nozzles whose A buttons are shown
    bool headGroup = false;
};
// On type 7 head group 2 shows the Z and A buttons of nozzles 5..8 in place of 1..4.
ManualControlLayout LayoutForMachineType(int machineType, int headGroup = 1);

// ---- enabling ----
struct EnableContext {
    int machineType = 0;
    bool conveyorInUse = false;
    int resetKind = -1;  // 0 while a full homing runs
};
// Control id -> state set by EnableManualControls(flag), in the order they are set
// (a later entry of the same id wins). Part list buttons appear as mc::PartListStart
// and mc::PartListClamp.
std::vector<std::pair<int, bool>> EnableStates(bool flag, const EnableContext& context);

// The automatic conveyor in use (its settings fill it; empty: not in use). The
// reset menu and the enabling rules read it.
std::function<bool()>& ConveyorInUseSource();
bool ConveyorInUse();

// The part list's Start (mc::PartListStart) and "Pcb Clamp" (mc::PartListClamp) tool
// buttons, which the panel's enabling also sets (the part list fills it).
std::function<void(int toolId, bool enabled)>& PartListToolButtons();

// Through the link's hooks (the panel installs them; they post to its thread).
void EnableManualControls(bool flag);
void SetConnectCaption(const std::string& text);

}  // namespace smt
