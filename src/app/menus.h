// The menus of the main frame as data: the menu bar, the settings menu and the
// positioning menu of the toolbar's drop-down buttons, each item with its command
// id, caption key and built-in Chinese caption; and the enable and check rules
// that the items follow per machine type.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/command_ids.h"

namespace smt {


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
