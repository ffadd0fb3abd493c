#include <gtest/gtest.h>

#include <set>

#include "app/menus.h"
#include "test_support.h"

using namespace smt;

namespace {

int CountCaptions(const std::vector<MenuNode>& nodes) {
    int n = 0;
    for (const auto& node : nodes)
        if (node.kind != MenuKind::Separator) n += 1 + CountCaptions(node.children);
    return n;
}

void CollectIds(const std::vector<MenuNode>& nodes, std::vector<int>& out) {
    for (const auto& node : nodes) {
        if (node.kind == MenuKind::Command) out.push_back(node.id);
        CollectIds(node.children, out);
    }
}

const int kMachineTypeIds[10] = {33038, 33040, 33041, 33042, 33146, 33175, 33179, 33187, 33320, 33307};

} // namespace

TEST(MenuModel, EveryCaptionOnceAndFromFileOrBuiltin) {
    EXPECT_EQ(CountCaptions(PositioningMenuModel()), 43);
    for (auto* model : {&MenuBarModel(), &PositioningMenuModel()}) {  // ids are unique within each menu
        std::vector<int> ids;
        CollectIds(*model, ids);
        EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
    }
    smt::test::TempDir dir;
    smt::test::WriteBytes(dir.File("German.ini"),
                          "[MenuSetConfig]\nIDS_MENU_SET=Einstellungen\nc_ID_4headtocamera2=Vierfach\n");
    const MenuCaptions c = LoadMenuTexts(dir.Path(), "German");
    EXPECT_EQ(CaptionOf(MenuBarModel()[3], c), "Einstellungen");
    EXPECT_EQ(c.at("c_ID_4headtocamera2"), "Vierfach");
    EXPECT_EQ(c.at("ID_SetBasic"), "基本设置");
    // The positioning menu's 43 and the toolbar's four tool tips.
    EXPECT_EQ(c.size(), static_cast<std::size_t>(CountCaptions(MenuBarModel()) + 43 + 4));
}

TEST(MenuCommands, LanguageAndMachineTypeMapping) {
    for (auto [id, lang] : {std::pair{32913, 0}, {32914, 1}, {33087, 2}, {33088, -1}})
        EXPECT_EQ(LanguageOfCommand(id), lang) << id;
    for (int t = 0; t < 10; ++t) {
        EXPECT_EQ(MachineTypeOfCommand(kMachineTypeIds[t]), t);
        EXPECT_EQ(CommandOfMachineType(t), kMachineTypeIds[t]);
        EXPECT_EQ(MachineTypeCommandHandled(kMachineTypeIds[t]), t != 8);
    }
    EXPECT_EQ(MachineTypeOfCommand(33039), -1);
}

// The enable state per item for machine types 0..7; types 8 and 9 leave every positioning item as it is.
TEST(MenuUpdate, EnableTableForEveryItemAndMachineType) {
    const std::vector<std::pair<std::vector<int>, std::set<int>>> rows = {
        {{32909, 32994}, {0, 1, 2, 3, 5, 6, 7}},
        {{33117, 33121, 32993, 32995}, {0, 1, 2, 3, 4, 5, 6, 7}},
        {{32998, 33000}, {1, 2, 3, 4, 5, 6, 7}},
        {{33002}, {1, 2, 3, 5, 6, 7}},
        {{33122, 33123, 33070, 33076, 33072, 33078}, {3, 4, 6, 7}},
        {{33074, 33080}, {3, 6, 7}},
        {{33132}, {3, 7}},
        {{33206, 33207, 33208, 33209, 33194, 33195, 33196, 33197, 33198, 33199, 33200, 33201, 33202, 33203, 33204,
          33205},
         {7}},
    };
    std::set<int> governed;
    for (const auto& [ids, enabledOn] : rows)
        for (int id : ids) {
            governed.insert(id);
            for (int type = 0; type < 10; ++type) {
                const ItemUpdate u = QueryItemUpdate(id, {type, 0, 0});
                EXPECT_FALSE(u.alwaysDisabled || u.mark) << id;
                const auto expected = type >= 8 ? std::nullopt : std::optional(enabledOn.count(type) == 1);
                EXPECT_EQ(u.enable, expected) << id << " type " << type;
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

TEST(MenuUpdate, MarksAreOnlySetNeverClearedAndItemsWithoutHandlerShowDisabled) {
    for (int type = 0; type < 10; ++type)
        for (int item = 0; item < 10; ++item) {
            const ItemUpdate u = QueryItemUpdate(kMachineTypeIds[item], {type, 0, 0});
            EXPECT_EQ(u.alwaysDisabled, item == 8);  // type 8 only through config.ini
            EXPECT_EQ(u.mark, item == type && item != 8) << "type " << type << " item " << item;
            EXPECT_FALSE(u.enable.has_value());
        }
    const int langIds[3] = {32913, 32914, 33087}, speedIds[3] = {32864, 32862, 32863};
    for (int item = 0; item < 3; ++item) {
        for (int lang = 0; lang < 3; ++lang) EXPECT_EQ(QueryItemUpdate(langIds[item], {0, lang, 0}).mark, item == lang);
        for (int cls = 0; cls < 5; ++cls) EXPECT_EQ(QueryItemUpdate(speedIds[item], {0, 0, cls}).mark, cls == item + 1);
    }
    for (int id : {cmd::EditUndo, cmd::EditCut, cmd::EditCopy, cmd::EditPaste, cmd::FilePrint, cmd::FilePrintPreview,
                   cmd::AppAbout, cmd::SoftwareUpdate, cmd::PluginMachine})
        EXPECT_TRUE(QueryItemUpdate(id, {}).alwaysDisabled) << id;
    for (int id : {cmd::FileNew, cmd::FileOpen, cmd::FileSave, cmd::FileSaveAs, cmd::AppExit, cmd::SetBasic,
                   cmd::FirmwareUpdate, cmd::LampMachineSet, cmd::AutoFeed, cmd::VersionNumber,
                   cmd::CameraToVisualOrigin})
        EXPECT_FALSE(QueryItemUpdate(id, {4, 0, 0}).alwaysDisabled) << id;
}
