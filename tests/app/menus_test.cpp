#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "app/menus.h"
#include "test_support.h"

using namespace smt;

namespace {

int CountCaptions(const std::vector<MenuNode>& nodes) {
    int n = 0;
    for (const auto& node : nodes) {
        if (node.kind == MenuKind::Separator) continue;
        n += 1 + CountCaptions(node.children);
    }
    return n;
}

void CollectIds(const std::vector<MenuNode>& nodes, std::vector<int>& out) {
    for (const auto& node : nodes) {
        if (node.kind == MenuKind::Command) out.push_back(node.id);
        CollectIds(node.children, out);
    }
}

const MenuNode* FindKey(const std::vector<MenuNode>& nodes, const std::string& key) {
    for (const auto& n : nodes) {
        if (n.key == key) return &n;
        if (auto* c = FindKey(n.children, key)) return c;
    }
    return nullptr;
}

} // namespace

TEST(MenuModel, PopupsAndCaptionCounts) {
    const auto& bar = MenuBarModel();
    ASSERT_EQ(bar.size(), 6u);
    const char* keys[] = {"IDS_MENU_FILE", "IDS_MENU_EDIT", "IDS_MENU_VIEW", "IDS_MENU_SET", "IDS_MENU_Feed",
                          "IDS_MENU_HELP"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(bar[i].key, keys[i]);
    EXPECT_EQ(CountCaptions(SettingsMenuModel()), 15);
    EXPECT_EQ(CountCaptions(PositioningMenuModel()), 43);
    // Pop-ups stand at positions 4 of the settings menu and 2, 8, 9, 10 of the
    // positioning menu; Help has its sub-menus at 1, 2 and 4.
    EXPECT_EQ(SettingsMenuModel()[4].key, "SpeedTemplate");
    for (int pos : {2, 8, 9, 10}) EXPECT_EQ(PositioningMenuModel()[pos].kind, MenuKind::Popup) << pos;
    EXPECT_EQ(PositioningMenuModel().front().builtin, "复位原点");
    EXPECT_EQ(PositioningMenuModel().back().builtin, "测量头到视觉相机1");
    EXPECT_EQ(bar[5].children[1].key, "LanguageSet");
    EXPECT_EQ(bar[5].children[2].key, "MachineSet");
    EXPECT_EQ(bar[5].children[4].key, "Update");
    // Ids are unique within each menu.
    for (auto* model : {&MenuBarModel(), &PositioningMenuModel()}) {
        std::vector<int> ids;
        CollectIds(*model, ids);
        EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
    }
    const MenuNode* n5 = FindKey(PositioningMenuModel(), "c_ID_Nozzle5ToVisualCamera2");
    ASSERT_NE(n5, nullptr);
    EXPECT_EQ(n5->id, 33202);
    EXPECT_EQ(n5->builtin, "吸嘴5到视觉相机2");
    EXPECT_EQ(FindKey(PositioningMenuModel(), "c_ID_Nozzle2ToThrowPosition")->id, 33121);
    EXPECT_EQ(FindKey(PositioningMenuModel(), "c_ID_Nozzle4ToPcbOrigin")->id, 33076);
    EXPECT_EQ(FindKey(MenuBarModel(), "ID_DrillMachine")->id, 33307);
}

TEST(MenuModel, CaptionsFromFileOrBuiltin) {
    smt::test::TempDir dir;
    smt::test::WriteBytes(dir.File("German.ini"),
                          "[MenuSetConfig]\nIDS_MENU_SET=Einstellungen\nc_ID_4headtocamera2=Vierfach\n");
    const MenuCaptions c = LoadMenuTexts(dir.Path(), "German");
    EXPECT_EQ(CaptionOf(MenuBarModel()[3], c), "Einstellungen");
    EXPECT_EQ(c.at("c_ID_4headtocamera2"), "Vierfach");
    EXPECT_EQ(c.at("ID_SetBasic"), "基本设置");
    EXPECT_EQ(c.size(), static_cast<std::size_t>(CountCaptions(MenuBarModel()) + 43));
}

TEST(MenuCommands, LanguageAndMachineTypeMapping) {
    EXPECT_EQ(LanguageOfCommand(32913), 0);
    EXPECT_EQ(LanguageOfCommand(32914), 1);
    EXPECT_EQ(LanguageOfCommand(33087), 2);
    EXPECT_EQ(LanguageOfCommand(33088), -1);
    const int ids[10] = {33038, 33040, 33041, 33042, 33146, 33175, 33179, 33187, 33320, 33307};
    for (int t = 0; t < 10; ++t) {
        EXPECT_EQ(MachineTypeOfCommand(ids[t]), t);
        EXPECT_EQ(CommandOfMachineType(t), ids[t]);
        EXPECT_EQ(MachineTypeCommandHandled(ids[t]), t != 8);
    }
    EXPECT_EQ(MachineTypeOfCommand(33039), -1);
}

// The enable state per item for machine types 0..7; types 8 and 9 leave every
// positioning item as it is.
TEST(MenuUpdate, EnableTableForEveryItemAndMachineType) {
    struct Row { std::vector<int> ids; std::set<int> enabledOn; };
    const std::vector<Row> rows = {
        {{32909, 32994}, {0, 1, 2, 3, 5, 6, 7}},
        {{33117, 33121, 32993, 32995}, {0, 1, 2, 3, 4, 5, 6, 7}},
        {{32998, 33000}, {1, 2, 3, 4, 5, 6, 7}},
        {{33002}, {1, 2, 3, 5, 6, 7}},
        {{33122, 33123, 33070, 33076, 33072, 33078}, {3, 4, 6, 7}},
        {{33074, 33080}, {3, 6, 7}},
        {{33132}, {3, 7}},
        {{33206, 33207, 33208, 33209, 33194, 33195, 33196, 33197, 33198, 33199, 33200, 33201, 33202, 33203,
          33204, 33205},
         {7}},
    };
    std::set<int> governed;
    for (const auto& row : rows)
        for (int id : row.ids) {
            governed.insert(id);
            for (int type = 0; type < 10; ++type) {
                const ItemUpdate u = QueryItemUpdate(id, {type, 0, 0});
                EXPECT_FALSE(u.alwaysDisabled);
                EXPECT_FALSE(u.mark);
                if (type >= 8) {
                    EXPECT_FALSE(u.enable.has_value()) << id << " type " << type;
                } else {
                    ASSERT_TRUE(u.enable.has_value()) << id << " type " << type;
                    EXPECT_EQ(*u.enable, row.enabledOn.count(type) == 1) << id << " type " << type;
                }
            }
        }
    // Every other positioning item has no rule: offered on every type.
    std::vector<int> ids;
    CollectIds(PositioningMenuModel(), ids);
    EXPECT_EQ(ids.size(), 39u);
    for (int id : ids) {
        if (governed.count(id)) continue;
        EXPECT_TRUE(id == 33105 || id == 32903 || id == 32904 || id == 32905 || id == 33288) << id;
        for (int type = 0; type < 10; ++type) EXPECT_FALSE(QueryItemUpdate(id, {type, 0, 0}).enable.has_value());
    }
}

TEST(MenuUpdate, MarksAreOnlySetNeverCleared) {
    const int machineIds[10] = {33038, 33040, 33041, 33042, 33146, 33175, 33179, 33187, 33320, 33307};
    for (int type = 0; type < 10; ++type)
        for (int item = 0; item < 10; ++item) {
            const ItemUpdate u = QueryItemUpdate(machineIds[item], {type, 0, 0});
            if (item == 8) {
                EXPECT_TRUE(u.alwaysDisabled);  // type 8 only through config.ini
                continue;
            }
            EXPECT_EQ(u.mark, item == type) << "type " << type << " item " << item;
            EXPECT_FALSE(u.enable.has_value());
        }
    const int langIds[3] = {32913, 32914, 33087};
    for (int lang = 0; lang < 3; ++lang)
        for (int item = 0; item < 3; ++item)
            EXPECT_EQ(QueryItemUpdate(langIds[item], {0, lang, 0}).mark, item == lang);
    const int speedIds[3] = {32864, 32862, 32863};
    for (int cls = 0; cls < 5; ++cls)
        for (int item = 0; item < 3; ++item)
            EXPECT_EQ(QueryItemUpdate(speedIds[item], {0, 0, cls}).mark, cls == item + 1);
}

TEST(MenuUpdate, ItemsWithoutHandlerShowDisabled) {
    for (int id : {cmd::EditUndo, cmd::EditCut, cmd::EditCopy, cmd::EditPaste, cmd::FilePrint,
                   cmd::FilePrintPreview, cmd::AppAbout, cmd::SoftwareUpdate, cmd::PluginMachine})
        EXPECT_TRUE(QueryItemUpdate(id, {}).alwaysDisabled) << id;
    for (int id : {cmd::FileNew, cmd::FileOpen, cmd::FileSave, cmd::FileSaveAs, cmd::AppExit, cmd::SetBasic,
                   cmd::FirmwareUpdate, cmd::LampMachineSet, cmd::AutoFeed, cmd::VersionNumber,
                   cmd::CameraToVisualOrigin})
        EXPECT_FALSE(QueryItemUpdate(id, {4, 0, 0}).alwaysDisabled) << id;
}
