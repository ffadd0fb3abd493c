#include "app/menus.h"

#include "base/captions.h"

#include <cstdio>

namespace smt {
namespace {

MenuNode Item(int id, const char* key, const char* builtin) {
    return MenuNode{MenuKind::Command, id, key, builtin, {}};
}
MenuNode Popup(const char* key, const char* builtin, std::vector<MenuNode> children) {
    return MenuNode{MenuKind::Popup, 0, key, builtin, std::move(children)};
}
MenuNode Separator() { return MenuNode{MenuKind::Separator, 0, {}, {}, {}}; }

std::vector<MenuNode> SettingsItems() {
    return {
        Item(cmd::SetBasic, "ID_SetBasic", "基本设置"),
        Item(cmd::DippingStation, "ID_DippingStation", "浸渍站设置"),
        Item(cmd::FeedGroup, "ID_FeedGroup", "料架模组"),
        Separator(),
        Popup("SpeedTemplate", "速度模板",
              {Item(cmd::SpeedSet, "ID_SpeedSet", "速度设置"),
               Item(cmd::HighSpeedTemplate, "ID_HighSpeedTemplate", "高速模板"),
               Item(cmd::MediumSpeedTemplate, "ID_MediumSpeedTemplate", "中速模板"),
               Item(cmd::LowSpeedTemplate, "ID_LowSpeedTemplate", "低速模板")}),
        Item(cmd::CameraList, "ID_CameraList", "摄像机管理"),
        Item(cmd::NozzleList, "ID_NozzleList", "吸嘴库管理"),
        Item(cmd::SetPulse, "ID_SetPulse", "脉冲设置"),
        Item(cmd::OftenData, "ID_OftenData", "常用数据库"),
        Item(cmd::PackData, "ID_PackData", "封装数据库"),
        Item(cmd::MarkData, "ID_MarkData", "独立Mark点数据库"),
        Item(cmd::LampMachineSet, "ID_PasteLampMachineSet", "点灯机参数表"),
    };
}

std::vector<MenuNode> BuildMenuBar() {
    return {
        Popup("IDS_MENU_FILE", "文件",
              {Item(cmd::FileNew, "ID_FILE_NEW", "新建"), Item(cmd::FileOpen, "ID_FILE_OPEN", "打开"),
               Item(cmd::FileSave, "ID_FILE_SAVE", "保存"),
               Item(cmd::FileSaveAs, "ID_FILE_SAVE_AS", "另存为"), Separator(),
               Item(cmd::FilePrint, "ID_FILE_PRINT", "打印"),
               Item(cmd::FilePrintPreview, "ID_FILE_PRINT_PREVIEW", "打印预览"),
               Item(cmd::FilePrintSetup, "ID_FILE_PRINT_SETUP", "打印设置"), Separator(),
               Item(cmd::FileMru1, "ID_FILE_MRU_FILE1", "最近打开文件"), Separator(),
               Item(cmd::AppExit, "ID_APP_EXIT", "退出")}),
        Popup("IDS_MENU_EDIT", "编辑",
              {Item(cmd::EditUndo, "ID_EDIT_UNDO", "重做"), Separator(),
               Item(cmd::EditCut, "ID_EDIT_CUT", "剪切"), Item(cmd::EditCopy, "ID_EDIT_COPY", "复制"),
               Item(cmd::EditPaste, "ID_EDIT_PASTE", "粘贴")}),
        Popup("IDS_MENU_VIEW", "视口",
              {Item(cmd::ViewToolbar, "ID_VIEW_TOOLBAR", "工具栏"),
               Item(cmd::ViewStatusBar, "ID_VIEW_STATUS_BAR", "状态栏")}),
        Popup("IDS_MENU_SET", "设置", SettingsItems()),
        Popup("IDS_MENU_Feed", "飞达",
              {Item(cmd::AutoFeed, "ID_AutoFeed", "自动飞达操作"),
               Item(cmd::AutoTransport, "ID_AutoTransport", "自动送板操作"),
               Item(cmd::SetCover, "ID_SetCover", "封皮设置")}),
        Popup("IDS_MENU_HELP", "帮助",
              {Item(cmd::AppAbout, "ID_APP_ABOUT", "关于SMT"),
               Popup("LanguageSet", "语言设置",
                     {Item(cmd::Chinese, "ID_Chinese", "中文"), Item(cmd::English, "ID_English", "英文"),
                      Item(cmd::German, "ID_German", "德文")}),
               Popup("MachineSet", "设备配置",
                     {Item(cmd::SingleHeadDrag, "ID_SingleHeadDrag", "0-单头拖料"),
                      Item(cmd::GroutGlueSMT, "ID_GroutGlueSMT", "1-点胶贴片"),
                      Item(cmd::DoubleHeadFeed, "ID_DoubleHeadFeed", "2-双头飞达"),
                      Item(cmd::FourHeadFeed, "ID_FourHeadFeed", "3-四头飞达"),
                      Item(cmd::DoubleGroutGlueXY, "ID_DoubleGroutGlueXY", "4-双点胶XY"),
                      Item(cmd::DoubleHeadCamera, "ID_DoubleHeadCamera", "5-双头飞达同步相机"),
                      Item(cmd::FourHeadGroutGlue, "ID_FourHeadGroutGlue", "6-四头飞达+点胶"),
                      Item(cmd::EightHead, "ID_EightHead", "7-八头飞达"),
                      Item(cmd::PluginMachine, "ID_PluginMachine", "8-插件机"),
                      Item(cmd::DrillMachine, "ID_DrillMachine", "9-钻孔机")}),
               Item(cmd::VersionNumber, "ID_CPUVersionNumber", "机器版本号"),
               Popup("Update", "升级",
                     {Item(cmd::SoftwareUpdate, "ID_SoftwareUpdate", "软件升级"),
                      Item(cmd::FirmwareUpdate, "ID_FirmwareUpdate", "单片机升级")})}),
    };
}

std::vector<MenuNode> NozzleFamily(const char* popupKey, const char* popupText, const int (&ids)[8],
                                   const char* keyPattern, const char* textPattern) {
    std::vector<MenuNode> items;
    for (int n = 1; n <= 8; ++n) {
        char key[64], text[96];
        std::snprintf(key, sizeof key, keyPattern, n);
        std::snprintf(text, sizeof text, textPattern, n);
        items.push_back(MenuNode{MenuKind::Command, ids[n - 1], key, text, {}});
    }
    return {Popup(popupKey, popupText, std::move(items))};
}

std::vector<MenuNode> BuildPositioningMenu() {
    std::vector<MenuNode> m;
    m.push_back(Item(cmd::ResetOrigin, "c_ID_ResetOrigin", "复位原点"));
    m.push_back(Item(cmd::CameraToVisualOrigin, "c_ID_CameraToVisualOrigin", "相机到视觉原点"));
    auto add = [&m](std::vector<MenuNode> v) { for (auto& n : v) m.push_back(std::move(n)); };
    add(NozzleFamily("c_ID_NozzleToThrowPosition", "吸嘴到抛料位置", cmd::NozzleToThrowPosition,
                     "c_ID_Nozzle%dToThrowPosition", "吸嘴%d到抛料位置"));
    m.push_back(Separator());
    m.push_back(Item(cmd::CameraToPcbOrigin, "c_ID_CameraToPcbOrigin", "相机到Pcb原点"));
    m.push_back(Item(cmd::CameraToMark1, "c_ID_CameraToMark1", "相机到Mark1点"));
    m.push_back(Item(cmd::CameraToMark2, "c_ID_CameraToMark2", "相机到Mark2点"));
    m.push_back(Separator());
    add(NozzleFamily("c_ID_NozzleToPcbOrigin", "吸嘴到PCB原点", cmd::NozzleToPcbOrigin,
                     "c_ID_Nozzle%dToPcbOrigin", "吸嘴%d到PCB原点"));
    add(NozzleFamily("c_ID_NozzleToVisualCamera1", "吸嘴到视觉相机1", cmd::NozzleToVisualCamera1,
                     "c_ID_Nozzle%dToVisualCamera1", "吸嘴%d到视觉相机1"));
    add(NozzleFamily("c_ID_NozzleToVisualCamera2", "吸嘴到视觉相机2", cmd::NozzleToVisualCamera2,
                     "c_ID_Nozzle%dToVisualCamera2", "吸嘴%d到视觉相机2"));
    m.push_back(Item(cmd::FourHeadToCamera2, "c_ID_4headtocamera2", "4方头到视觉相机2"));
    m.push_back(Item(cmd::MeasurementToVisualCamera1, "c_ID_MeasurementToVisualCamera1", "测量头到视觉相机1"));
    return m;
}

void CollectCaptions(const std::vector<MenuNode>& nodes, const std::string& startFolder,
                     const std::string& language, MenuCaptions& out) {
    for (const auto& n : nodes) {
        if (n.kind == MenuKind::Separator) continue;
        if (!out.count(n.key))
            out[n.key] = LoadCaption(startFolder, language, "MenuSetConfig", n.key, n.builtin);
        CollectCaptions(n.children, startFolder, language, out);
    }
}

bool InList(int type, std::initializer_list<int> types) {
    for (int t : types)
        if (t == type) return true;
    return false;
}

bool InIds(int id, const int (&ids)[8], int from, int to) {
    for (int n = from; n <= to; ++n)
        if (ids[n - 1] == id) return true;
    return false;
}

constexpr int kMachineTypeCommands[10] = {
    cmd::SingleHeadDrag, cmd::GroutGlueSMT, cmd::DoubleHeadFeed, cmd::FourHeadFeed,
    cmd::DoubleGroutGlueXY, cmd::DoubleHeadCamera, cmd::FourHeadGroutGlue, cmd::EightHead,
    cmd::PluginMachine, cmd::DrillMachine,
};

} // namespace

const std::vector<MenuNode>& MenuBarModel() {
    static const std::vector<MenuNode> model = BuildMenuBar();
    return model;
}

const std::vector<MenuNode>& SettingsMenuModel() {
    static const std::vector<MenuNode> model = SettingsItems();
    return model;
}

const std::vector<MenuNode>& PositioningMenuModel() {
    static const std::vector<MenuNode> model = BuildPositioningMenu();
    return model;
}

MenuCaptions LoadMenuTexts(const std::string& startFolder, const std::string& language) {
    MenuCaptions out;
    CollectCaptions(MenuBarModel(), startFolder, language, out);
    CollectCaptions(PositioningMenuModel(), startFolder, language, out);
    for (const ToolTipCaption& t : ToolbarTipCaptions())
        out[t.key] = LoadCaption(startFolder, language, "MenuSetConfig", t.key, t.builtin);
    return out;
}

const std::vector<ToolTipCaption>& ToolbarTipCaptions() {
    static const std::vector<ToolTipCaption> tips = {
        {cmd::PositioningDropDown, "c_Tip_Positioning", "定位"},
        {cmd::SettingsDropDown, "c_Tip_Settings", "设置"},
        {cmd::FeedListPanel, "c_Tip_FeedList", "料架列表"},
        {cmd::PartListPanel, "c_Tip_PartList", "元件列表"},
    };
    return tips;
}

std::string ToolTipOf(const ToolTipCaption& tip, const MenuCaptions& captions) {
    auto it = captions.find(tip.key);
    return it != captions.end() ? it->second : tip.builtin;
}

std::string CaptionOf(const MenuNode& node, const MenuCaptions& captions) {
    auto it = captions.find(node.key);
    return it != captions.end() ? it->second : node.builtin;
}

int LanguageOfCommand(int id) {
    switch (id) {
    case cmd::Chinese: return 0;
    case cmd::English: return 1;
    case cmd::German: return 2;
    default: return -1;
    }
}

int MachineTypeOfCommand(int id) {
    for (int t = 0; t < 10; ++t)
        if (kMachineTypeCommands[t] == id) return t;
    return -1;
}

int CommandOfMachineType(int type) { return type >= 0 && type < 10 ? kMachineTypeCommands[type] : 0; }

bool MachineTypeCommandHandled(int id) {
    const int t = MachineTypeOfCommand(id);
    return t >= 0 && t != 8;
}

ItemUpdate QueryItemUpdate(int id, const MenuContext& c) {
    ItemUpdate u;
    switch (id) {
    case cmd::EditUndo: case cmd::EditCut: case cmd::EditCopy: case cmd::EditPaste:
    case cmd::FilePrint: case cmd::FilePrintPreview: case cmd::FilePrintSetup:
    case cmd::AppAbout: case cmd::SoftwareUpdate: case cmd::PluginMachine:
        u.alwaysDisabled = true;
        return u;
    case cmd::HighSpeedTemplate: u.mark = c.speedClass == 1; return u;
    case cmd::MediumSpeedTemplate: u.mark = c.speedClass == 2; return u;
    case cmd::LowSpeedTemplate: u.mark = c.speedClass == 3; return u;
    default: break;
    }
    if (const int lang = LanguageOfCommand(id); lang >= 0) {
        u.mark = c.languageIndex == lang;
        return u;
    }
    if (MachineTypeCommandHandled(id)) {
        u.mark = c.machineType == MachineTypeOfCommand(id);
        return u;
    }
    // Positioning items: only machine types 0..7 have rules; 8 and 9 leave them.
    const int t = c.machineType;
    std::optional<bool> on;
    if (id == cmd::ResetOrigin || id == cmd::NozzleToVisualCamera2[0]) on = t != 4;
    else if (id == cmd::NozzleToThrowPosition[0] || id == cmd::NozzleToThrowPosition[1] ||
             id == cmd::NozzleToPcbOrigin[0] || id == cmd::NozzleToVisualCamera1[0]) on = true;
    else if (id == cmd::NozzleToPcbOrigin[1] || id == cmd::NozzleToVisualCamera1[1]) on = t != 0;
    else if (id == cmd::NozzleToVisualCamera2[1]) on = t != 0 && t != 4;
    else if (InIds(id, cmd::NozzleToThrowPosition, 3, 4) || InIds(id, cmd::NozzleToPcbOrigin, 3, 4) ||
             InIds(id, cmd::NozzleToVisualCamera1, 3, 4)) on = InList(t, {3, 4, 6, 7});
    else if (InIds(id, cmd::NozzleToVisualCamera2, 3, 4)) on = InList(t, {3, 6, 7});
    else if (id == cmd::FourHeadToCamera2) on = InList(t, {3, 7});
    else if (InIds(id, cmd::NozzleToThrowPosition, 5, 8) || InIds(id, cmd::NozzleToPcbOrigin, 5, 8) ||
             InIds(id, cmd::NozzleToVisualCamera1, 5, 8) || InIds(id, cmd::NozzleToVisualCamera2, 5, 8))
        on = t == 7;
    if (on && t >= 0 && t <= 7) u.enable = on;
    return u;
}

} // namespace smt
