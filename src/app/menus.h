// The menus of the main frame as data: the menu bar, the settings menu and the
// positioning menu of the toolbar's drop-down buttons, each item with its command
// id, caption key and built-in Chinese caption; and the enable and check rules
// that the items follow per machine type.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace smt {

namespace cmd {
// Framework-style commands of the File, Edit, View and Help menus.
inline constexpr int FileNew = 1001, FileOpen = 1002, FileSave = 1003, FileSaveAs = 1004,
                     FilePrint = 1005, FilePrintPreview = 1006, FilePrintSetup = 1007,
                     FileMru1 = 1010,  // 1010..1013: the four recent files
                     AppExit = 1020, EditUndo = 1030, EditCut = 1031, EditCopy = 1032,
                     EditPaste = 1033, ViewToolbar = 1040, ViewStatusBar = 1041,
                     AppAbout = 1050;
// Settings menu and panels.
inline constexpr int SetBasic = 32841, DippingStation = 33291, FeedGroup = 32857,
                     SpeedSet = 32921, HighSpeedTemplate = 32864, MediumSpeedTemplate = 32862,
                     LowSpeedTemplate = 32863, CameraList = 32851, NozzleList = 32853,
                     SetPulse = 32843, OftenData = 32856, PackData = 33062, MarkData = 33125,
                     LampMachineSet = 33185, AutoFeed = 33100, AutoTransport = 33181,
                     VersionNumber = 33183, FirmwareUpdate = 33211, SoftwareUpdate = 33215;
// The cover-tape page, reached from the feeder menu until the placement strategy
// dialog that owns it exists.
inline constexpr int SetCover = 33400;
inline constexpr int Chinese = 32913, English = 32914, German = 33087;
inline constexpr int SingleHeadDrag = 33038, GroutGlueSMT = 33040, DoubleHeadFeed = 33041,
                     FourHeadFeed = 33042, DoubleGroutGlueXY = 33146, DoubleHeadCamera = 33175,
                     FourHeadGroutGlue = 33179, EightHead = 33187, PluginMachine = 33320,
                     DrillMachine = 33307;
// Toolbar.
inline constexpr int FeedListPanel = 32813, PartListPanel = 32891, PositioningDropDown = 32892,
                     SettingsDropDown = 32885;
// Positioning menu.
inline constexpr int ResetOrigin = 32909, CameraToVisualOrigin = 33105, CameraToPcbOrigin = 32903,
                     CameraToMark1 = 32904, CameraToMark2 = 32905, FourHeadToCamera2 = 33132,
                     MeasurementToVisualCamera1 = 33288;
// Per nozzle 1..8 (index n - 1).
inline constexpr int NozzleToThrowPosition[8] = {33117, 33121, 33122, 33123, 33206, 33207, 33208, 33209};
inline constexpr int NozzleToPcbOrigin[8] = {32993, 32998, 33070, 33076, 33194, 33195, 33196, 33197};
inline constexpr int NozzleToVisualCamera1[8] = {32995, 33000, 33072, 33078, 33198, 33199, 33200, 33201};
inline constexpr int NozzleToVisualCamera2[8] = {32994, 33002, 33074, 33080, 33202, 33203, 33204, 33205};
} // namespace cmd

enum class MenuKind { Command, Popup, Separator };

struct MenuNode {
    MenuKind kind = MenuKind::Command;
    int id = 0;            // command id (0 for pop-ups and separators)
    std::string key;       // caption key in section MenuSetConfig
    std::string builtin;   // built-in Chinese caption
    std::vector<MenuNode> children;
};

// Six pop-ups: File, Edit, View, Settings, Feeder, Help.
const std::vector<MenuNode>& MenuBarModel();
// The settings menu of the toolbar (same items as the menu bar's Settings).
const std::vector<MenuNode>& SettingsMenuModel();
// The positioning menu of the toolbar (43 captions).
const std::vector<MenuNode>& PositioningMenuModel();

// Every caption key of the three menus with its caption from the caption file of
// `language` (built-in Chinese text for a missing key).
using MenuCaptions = std::map<std::string, std::string>;
MenuCaptions LoadMenuTexts(const std::string& startFolder, const std::string& language);
// The caption of a node: from `captions` when present, else its built-in text.
std::string CaptionOf(const MenuNode& node, const MenuCaptions& captions);
// Tool tips of the toolbar's own four buttons, read with the menu captions.
struct ToolTipCaption {
    int id;
    const char* key;
    const char* builtin;
};
const std::vector<ToolTipCaption>& ToolbarTipCaptions();
std::string ToolTipOf(const ToolTipCaption& tip, const MenuCaptions& captions);

// Language index of a language command, -1 for other ids.
int LanguageOfCommand(int id);
// Machine type of a machine-type command (33320 gives 8), -1 for other ids.
int MachineTypeOfCommand(int id);
// The machine-type command of a type.
int CommandOfMachineType(int type);
// True for the nine machine-type commands that have a handler (not type 8).
bool MachineTypeCommandHandled(int id);

// What an item's update handler does while its pop-up opens. Handlers only set a
// state: `enable` empty leaves the enable state as it is, `mark` false leaves the
// check mark as it is.
struct MenuContext {
    int machineType = 0;
    int languageIndex = 0;
    int speedClass = 0;  // the speed template's active class
};
struct ItemUpdate {
    bool alwaysDisabled = false;  // no handler at all: shows disabled
    std::optional<bool> enable;
    bool mark = false;
};
ItemUpdate QueryItemUpdate(int id, const MenuContext& context);

} // namespace smt
