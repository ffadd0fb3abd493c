#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <tuple>

#include "platform/files.h"
#include "platform/profile.h"
#include "settings/speed_editor.h"
#include "test_support.h"

namespace smt {
namespace {

using test::ScriptedResponder;
using test::TempDir;

constexpr int kSpeedSetPage = 0, kHighPage = 1, kMediumPage = 2, kLowPage = 3;
constexpr int kHigh = 0, kMedium = 1, kLow = 2;

std::string Cells(int start, int run) {
    std::string cells;
    for (int d = 0; d < kSpeedDriveCount; ++d) cells += FormatSpeedCell(start, run + d) + "\t";
    return cells;
}

// Three templates in each class: a reset speed, "手控速度" and "Fast".
struct Fixture {
    TempDir dir;
    SpeedTemplates live;
    FigLists lists;
    ScriptedResponder boxes;

    Fixture() {
        lists.speed = {
            "Reset speed\t" + Cells(10, 50), "手控速度\t" + Cells(20, 80), "Fast\t" + Cells(30, 120),
            "Reset speed\t" + Cells(7, 35), "手控速度\t" + Cells(14, 56), "Fast\t" + Cells(21, 84),
            "Reset speed\t" + Cells(4, 20), "手控速度\t" + Cells(8, 32), "Fast\t" + Cells(12, 48),
        };
        lists.speedSetNames = "复位速度\t手控速度\tFast\tFast\tFast\tFast\t手控速度\t";
        live.LoadSpeedTables(lists.speed, 0);
    }

    std::unique_ptr<SpeedTemplateEditor> Open(int page) {
        auto editor = std::make_unique<SpeedTemplateEditor>(live, lists, dir.Path(), 0);
        editor->LoadLanguage("Chinese");
        editor->Open(page);
        return editor;
    }

    std::string Ini(const std::string& section, const std::string& key) {
        return plat::GetPrivateProfileString(section, key, "<none>", 512, dir.File("config.ini"));
    }
};

TEST(SpeedEditor, PickingTheFirstTemplateNeedsTheResetSwitch) {
    Fixture f;
    auto e = f.Open(kMediumPage);
    EXPECT_FALSE(e->PickTemplate(kMedium, 0));
    EXPECT_FALSE(e->PickTemplate(kMedium, 3));  // past the end
    EXPECT_EQ(std::pair(e->Expanded(), e->SelectedRow()), std::pair(false, -1));

    ASSERT_TRUE(e->PickTemplate(kMedium, 1));
    EXPECT_TRUE(e->Expanded());
    EXPECT_EQ(e->SelectedName() + "|" + e->Fields().m_SpeedName, "手控速度|手控速度");
    EXPECT_EQ(std::pair(e->Fields().Edit(kMedium, kDriveX, false), e->Fields().Edit(kMedium, kDriveAutoWalk2, true)),
              std::pair(14, 71));
    EXPECT_EQ(std::make_tuple(e->EditEnabled(kHigh), e->EditEnabled(kMedium), e->EditEnabled(kLow)),
              std::make_tuple(false, true, false));

    // A refused pick leaves the earlier one.
    EXPECT_FALSE(e->PickTemplate(kLow, 0));
    EXPECT_EQ(e->SelectedRow(), 1);

    e->SetModifyResetSpeed(true);
    EXPECT_TRUE(e->ChangeResetSpeedEnabled());
    EXPECT_TRUE(e->PickTemplate(kLow, 0));
    EXPECT_EQ(e->SelectedName(), "复位速度");
}

TEST(SpeedEditor, AddRefusesEmptyAndDuplicateNamesAndAppendsToEveryClass) {
    Fixture f;
    auto e = f.Open(kHighPage);
    e->PointerEntersAdd();
    EXPECT_TRUE(e->Expanded());
    for (const char* name : {"", "Fast"}) {
        e->Fields().m_SpeedName = name;
        EXPECT_FALSE(e->AddSpeed());
    }
    EXPECT_EQ(f.boxes.Texts(), (std::vector<std::string>{"速度名称不能为空 !", "速度名称不能相同 !"}));
    EXPECT_EQ(f.live.TemplateCount(), 3);

    e->Fields().m_SpeedName = "Gentle";
    for (int cls = 0; cls < kSpeedClassCount; ++cls) {
        for (int d = 0; d < kSpeedDriveCount; ++d) {
            e->Fields().Edit(cls, d, false) = 5 + cls;
            e->Fields().Edit(cls, d, true) = 50 + cls * 10 + d;
        }
    }
    ASSERT_TRUE(e->AddSpeed());
    EXPECT_FALSE(e->Expanded());
    const SpeedTemplateTables live = f.live.Templates();
    ASSERT_EQ(live.Count(), 4);
    EXPECT_EQ((std::vector<std::string>{live.m_HighSpeedTable[3][0], live.m_HighSpeedTable[3][1],
                                        live.m_MediumSpeedTable[3][16], live.m_LowSpeedTable[3][0],
                                        live.m_LowSpeedTable[3][2]}),
              (std::vector<std::string>{"Gentle", "5 / 50", "6 / 75", "Gentle", "7 / 71"}));
    // The drop-down stays sorted; nothing is written before confirmation.
    EXPECT_EQ(e->ComboNames(), (std::vector<std::string>{"Fast", "Gentle", "复位速度", "手控速度"}));
    EXPECT_FALSE(plat::FileExists(f.dir.File("config_speed.fig")));
    EXPECT_EQ(f.lists.speed.size(), 9u);
}

TEST(SpeedEditor, ModifyRenamesEverywhereAndChangesOnlyTheClassInFront) {
    Fixture f;
    auto e = f.Open(kLowPage);
    ASSERT_TRUE(e->PickTemplate(kLow, 1));
    e->Fields().m_SpeedName = "Manual";
    e->Fields().Edit(kLow, kDriveX, false) = 3;
    e->Fields().Edit(kLow, kDriveX, true) = 33;
    ASSERT_TRUE(e->EditSpeed());
    EXPECT_EQ(e->SelectedRow(), -1);
    EXPECT_FALSE(e->Expanded());

    const SpeedTemplateTables t = f.live.Templates();
    EXPECT_EQ((std::vector<std::string>{t.m_HighSpeedTable[1][0], t.m_MediumSpeedTable[1][0], t.m_LowSpeedTable[1][1],
                                        t.m_HighSpeedTable[1][1], t.m_MediumSpeedTable[1][1]}),
              (std::vector<std::string>{"Manual", "Manual", "3 / 33", "20 / 80", "14 / 56"}));
    // Both speed-set rows that named it follow, and the frame's line is written.
    EXPECT_EQ(e->SpeedSet()[1] + e->SpeedSet()[6], "ManualManual");
    EXPECT_EQ(f.lists.speedSetNames, "复位速度\tManual\tFast\tFast\tFast\tFast\tManual\t");
    EXPECT_EQ(std::ranges::count(e->ComboNames(), "Manual"), 1);
    EXPECT_EQ(std::ranges::count(e->ComboNames(), "手控速度"), 0);

    // Without a pick, modify does nothing; renaming to an existing name is allowed.
    EXPECT_FALSE(e->EditSpeed());
    ASSERT_TRUE(e->PickTemplate(kLow, 2));
    e->Fields().m_SpeedName = "Manual";
    EXPECT_TRUE(e->EditSpeed());
    EXPECT_EQ(f.live.Templates().m_HighSpeedTable[2][0], "Manual");
    EXPECT_EQ(f.boxes.Count(), 0u);

    // With the speed set page in front, modify only renames.
    ASSERT_TRUE(e->PickTemplate(kLow, 2));
    for (int cls = 0; cls < kSpeedClassCount; ++cls) e->Fields().Edit(cls, kDriveX, false) = 99;
    e->SelectPage(kSpeedSetPage);
    e->Fields().m_SpeedName = "Quick";
    ASSERT_TRUE(e->EditSpeed());
    const SpeedTemplateTables q = f.live.Templates();
    EXPECT_EQ((std::vector<std::string>{q.m_LowSpeedTable[2][0], q.m_HighSpeedTable[2][1], q.m_MediumSpeedTable[2][1],
                                        q.m_LowSpeedTable[2][1]}),
              (std::vector<std::string>{"Quick", "30 / 120", "21 / 84", "12 / 48"}));
}

TEST(SpeedEditor, DeleteRefusalsAndRemoval) {
    Fixture f;
    auto e = f.Open(kHighPage);
    EXPECT_FALSE(e->DeleteSpeed());  // nothing picked
    ASSERT_TRUE(e->PickTemplate(kHigh, 2));
    EXPECT_FALSE(e->DeleteSpeed());  // "Fast" is in the speed set
    EXPECT_EQ(f.live.TemplateCount(), 3);

    e->SetSpeedSetCell(2, "手控速度");
    for (int k = 3; k <= 5; ++k) e->SetSpeedSetCell(k, "手控速度");
    ASSERT_TRUE(e->DeleteSpeed());
    EXPECT_EQ(e->SelectedRow(), -1);
    const SpeedTemplateTables t = f.live.Templates();
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(t.m_LowSpeedTable.size(), 2u);
    EXPECT_EQ(t.m_MediumSpeedTable[1][0], "手控速度");
    EXPECT_EQ(e->ComboNames().size(), 2u);
    EXPECT_EQ(f.lists.speedSetNames, "复位速度\t手控速度\t手控速度\t手控速度\t手控速度\t手控速度\t手控速度\t");
    EXPECT_FALSE(e->DeleteSpeed());  // the deleted pick is gone
    EXPECT_EQ(f.boxes.Texts(), (std::vector<std::string>{
                                  "请选择要删除的速度 !",
                                  "要删除的速度在速度设置里已经被使用，\r\n请先改变速度设置后再删除此速度 !",
                                  "请选择要删除的速度 !"}));
}

TEST(SpeedEditor, OneKeyScaleFromTheHighClassAndItsRefusals) {
    Fixture f;
    f.lists.speed[0] = "Reset speed\t100\t" + Cells(10, 50);  // a cell without " / " stays
    f.live.LoadSpeedTables(f.lists.speed, 0);
    auto e = f.Open(kHighPage);
    e->Fields().settings.m_MediumSpeedZoom = 50;
    ASSERT_TRUE(e->ScaleClass(kMedium));
    // Run 135 x 50 / 100 truncated; the low class untouched.
    SpeedTemplateTables t = f.live.Templates();
    EXPECT_EQ((std::vector<std::string>{t.m_MediumSpeedTable[0][1], t.m_MediumSpeedTable[0][2],
                                        t.m_MediumSpeedTable[2][16], t.m_LowSpeedTable[0][1]}),
              (std::vector<std::string>{"7 / 35", "5 / 25", "15 / 67", "4 / 20"}));

    e->Fields().settings.m_LowSpeedZoom = 100;  // outside 1..99
    EXPECT_FALSE(e->ScaleClass(kLow));
    EXPECT_EQ(f.boxes.Texts(), std::vector<std::string>{"Please enter an integer between 1 and 99."});
    EXPECT_EQ(f.live.Templates().m_LowSpeedTable[1][1], "8 / 32");

    // Servo drives: the first template keeps its cells.
    e->Fields().settings.m_LowSpeedZoom = 10;
    e->Fields().settings.m_ChangeResetSpeed = 1;
    ASSERT_TRUE(e->ScaleClass(kLow));
    t = f.live.Templates();
    EXPECT_EQ((std::vector<std::string>{t.m_LowSpeedTable[0][2], t.m_LowSpeedTable[1][1], t.m_LowSpeedTable[2][1],
                                        t.m_LowSpeedTable[2][0]}),
              (std::vector<std::string>{"4 / 21", "2 / 8", "3 / 12", "Fast"}));

    f.lists.speed.clear();
    f.live.LoadSpeedTables(f.lists.speed, 0);
    e = f.Open(kHighPage);
    EXPECT_FALSE(e->ScaleClass(kMedium));
    EXPECT_EQ(f.boxes.Texts().back(), "速度模板没有内容，请先添加 !");
}

TEST(SpeedEditor, FieldRanges) {
    SpeedTemplateFields fields;
    EXPECT_EQ(CheckSpeedTemplateFields(fields), "");
    fields.settings.m_A_RunFast = 100000;
    EXPECT_EQ(CheckSpeedTemplateFields(fields), "");
    fields.settings.m_XY_RunFast = 10001;
    EXPECT_EQ(CheckSpeedTemplateFields(fields), "Please enter an integer between 1 and 10000.");
    fields.settings.m_XY_RunFast = 10000;
    fields.settings.m_MaxSpeedLimitValue = 9;
    EXPECT_EQ(CheckSpeedTemplateFields(fields), "Please enter an integer between 10 and 100.");
    fields.settings.m_MaxSpeedLimitValue = 32;
    fields.Edit(kLow, kDriveA4, true) = 256;
    EXPECT_EQ(CheckSpeedTemplateFields(fields), "Please enter an integer between 1 and 255.");
    fields.Edit(kLow, kDriveA4, true) = 255;
    fields.m_SpeedName = std::string(10, 'a') + "一二三四五六七八九十" + std::string(10, 'b');
    EXPECT_EQ(CheckSpeedTemplateFields(fields), "");
    fields.m_SpeedName += "c";
    EXPECT_EQ(CheckSpeedTemplateFields(fields), "Enter no more than 30 characters.");
}

TEST(SpeedEditor, ConfirmWithTheSpeedSetPageStoresNothing) {
    Fixture f;
    SpeedTypeTable before;
    before.m_Start_X = 9;
    f.live.SetTable(SpeedType::Handle, before);
    f.live.SetSettings({.m_SpeedMenuCheck = 2});
    const std::string namesBefore = f.lists.speedSetNames;

    auto e = f.Open(kSpeedSetPage);
    e->SetSpeedSetCell(1, "Fast");
    e->Fields().settings.m_AccelSpeed = 55;
    EXPECT_EQ(e->Confirm(), ConfirmResult::StayOpen);
    EXPECT_EQ(f.boxes.Texts(), (std::vector<std::string>{"请选择速度模板 !"}));
    EXPECT_EQ(std::pair(f.live.Settings().m_SpeedMenuCheck, f.live.Settings().m_AccelSpeed), std::pair(2, 100));
    EXPECT_EQ(f.live.Table(SpeedType::Handle), before);
    EXPECT_EQ(f.lists.speedSetNames, namesBefore);
    EXPECT_FALSE(plat::FileExists(f.dir.File("config.ini")));
    EXPECT_FALSE(plat::FileExists(f.dir.File("config_speed.fig")));
}

TEST(SpeedEditor, ConfirmDerivesEveryTypeFromTheClassInFront) {
    Fixture f;
    auto e = f.Open(kLowPage);
    e->Fields().settings.m_XY_RunFast = 2000;
    ASSERT_EQ(e->Confirm(), ConfirmResult::Closed);
    EXPECT_EQ(f.boxes.Count(), 0u);

    EXPECT_EQ(std::pair(f.live.Settings().m_SpeedMenuCheck, f.live.Settings().m_XY_RunFast), std::pair(3, 2000));
    EXPECT_EQ(f.Ini("SpeedTemplateConfig", "m_SpeedMenuCheck") + " " + f.Ini("SpeedTemplateConfig", "m_XY_RunFast"),
              "3 2000");

    // "手控速度" of the low class.
    const SpeedTypeTable handle = f.live.Table(SpeedType::Handle);
    EXPECT_EQ(handle.Pair(kDriveX), (SpeedPair{8, 32}));
    EXPECT_EQ(handle.Pair(kDriveAutoWalk2), (SpeedPair{8, 47}));
    EXPECT_EQ(f.live.Table(SpeedType::Reset).Pair(kDriveY), (SpeedPair{4, 21}));
    EXPECT_EQ(f.live.Table(SpeedType::Smt).Pair(kDriveX), (SpeedPair{12, 48}));
    EXPECT_EQ(f.live.Table(SpeedType::AutoNozzle), handle);
    // The next start reads the same tables.
    for (int k = 0; k < kSpeedTypeCount; ++k)
        EXPECT_EQ(LoadSpeedTypeConfig(f.dir.Path(), SpeedTypeName(k)), f.live.Table(static_cast<SpeedType>(k))) << k;

    // The frame's rows and the file follow; the built-in name is stored in Chinese now.
    std::string bytes;
    ASSERT_TRUE(plat::ReadWholeFile(f.dir.File("config_speed.fig"), bytes));
    std::vector<std::string> rows;
    std::string names;
    ASSERT_TRUE(DecodeTableFile(bytes, rows, &names));
    EXPECT_EQ(names, f.lists.speedSetNames);
    EXPECT_EQ(rows, f.lists.speed);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[6], "复位速度\t" + Cells(4, 20));
}

TEST(SpeedEditor, MissingSpeedSetNameSkipsOnlyThatType) {
    Fixture f;
    SpeedTypeTable old;
    old.m_Start_X = 1;
    old.m_Normal_X = 2;
    f.live.SetTable(SpeedType::PickPart, old);
    auto e = f.Open(kHighPage);
    e->SetSpeedSetCell(2, "fast");  // case counts
    ASSERT_EQ(e->Confirm(), ConfirmResult::Closed);
    EXPECT_EQ(f.boxes.Texts(), (std::vector<std::string>{"没有发现对应的速度名称 !"}));
    EXPECT_EQ(f.live.Table(SpeedType::PickPart), old);
    EXPECT_EQ(f.Ini("m_PickPart_SpeedConfig", "m_PickPart_Speed.m_Start_X"), "<none>");
    EXPECT_EQ(std::pair(f.live.Table(SpeedType::Smt).Pair(kDriveX), f.live.Table(SpeedType::AutoNozzle).Pair(kDriveX)),
              std::pair(SpeedPair{30, 120}, SpeedPair{20, 80}));
    EXPECT_EQ(f.live.Settings().m_SpeedMenuCheck, 1);
}

TEST(SpeedEditor, UnwritableTemplateFileKeepsTheManagerOpen) {
    Fixture f;
    ASSERT_TRUE(plat::MakeDirectory(f.dir.File("config_speed.fig")));  // a folder in the file's place
    auto e = f.Open(kMediumPage);
    e->SetSpeedSetCell(0, "Fast");
    EXPECT_EQ(e->Confirm(), ConfirmResult::StayOpen);
    ASSERT_EQ(f.boxes.Count(), 1u);
    EXPECT_EQ(f.boxes.Texts()[0].rfind("文件无法保存，速度设置没有生效 !\r\n", 0), 0u) << f.boxes.Texts()[0];
    EXPECT_NE(f.boxes.Texts()[0].find("config_speed.fig"), std::string::npos);
    // Nothing changed, and the operator's choice is still in the manager.
    EXPECT_EQ(f.live.Table(SpeedType::Reset), SpeedTypeTable{});
    EXPECT_EQ(f.lists.speedSetNames.rfind("复位速度\t", 0), 0u);
    EXPECT_FALSE(plat::FileExists(f.dir.File("config.ini")));
    EXPECT_EQ(e->SpeedSet()[0], "Fast");
}

TEST(SpeedEditor, LanguageRebuildAndStoringKeepsBuiltInNamesInTheCurrentLanguage) {
    Fixture f;
    f.live.LoadSpeedTables(f.lists.speed, 1);  // English
    EXPECT_EQ(f.live.TemplateNames()[0], "Reset speed");
    SpeedTemplateEditor english(f.live, f.lists, f.dir.Path(), 1);
    english.Open(kHighPage);
    EXPECT_EQ(english.SpeedSet()[0], "Reset speed");
    ASSERT_EQ(english.Confirm(), ConfirmResult::Closed);
    EXPECT_EQ(f.lists.speed[0].rfind("Reset speed\t", 0), 0u);
    EXPECT_EQ(f.lists.speedSetNames.rfind("Reset speed\t", 0), 0u);
    EXPECT_EQ(f.live.Table(SpeedType::Reset).Pair(kDriveX), (SpeedPair{10, 50}));
}

// ---- readers while the manager confirms ----

// Run and worker threads read the speed tables while the manager confirms: every
// read must be one whole stored table, never a start from one template with a run
// from another.
// Template k holds start k and run k + 100 for every drive.
std::string Uniform(const std::string& name, int k) {
    std::string row = name + "\t";
    for (int d = 0; d < kSpeedDriveCount; ++d) row += FormatSpeedCell(k, k + 100) + "\t";
    return row;
}

// A table is whole when every pair comes from the same template.
bool Whole(const SpeedTypeTable& t) {
    const std::int32_t start = t.m_Start_X;
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        const SpeedPair p = t.Pair(d);
        if (p.start != start || p.run != start + 100) return false;
    }
    return true;
}

TEST(SpeedConcurrency, ReadersNeverSeeATornTableWhileTheManagerConfirms) {
    test::TempDir dir;
    test::ScriptedResponder boxes;
    SpeedTemplates live;
    FigLists lists;
    // Two templates whose codes differ in every byte of every word.
    lists.speed = {Uniform("A", 1), Uniform("B", 0x7F), Uniform("A", 2), Uniform("B", 0x7E),
                   Uniform("A", 3), Uniform("B", 0x7D)};
    lists.speedSetNames = "A\tA\tA\tA\tA\tA\tA\t";
    live.LoadSpeedTables(lists.speed, 0);
    SpeedTypeTable first;
    for (int d = 0; d < kSpeedDriveCount; ++d) first.SetPair(d, {1, 101});
    for (int k = 0; k < kSpeedTypeCount; ++k) live.SetTable(static_cast<SpeedType>(k), first);

    std::atomic<bool> done{false};
    std::atomic<long> reads{0}, torn{0}, tornSettings{0}, missing{0};
    auto reader = [&] {
        std::array<SpeedPair, kSpeedDriveCount> speeds{};
        while (!done.load()) {
            for (int k = 0; k < kSpeedTypeCount; ++k) torn += !Whole(live.Table(static_cast<SpeedType>(k)));
            const SpeedTemplateSettings s = live.Settings();
            tornSettings += s.m_XY_RunFast != s.m_S_RunFine || s.m_SpeedMenuCheck < 1 || s.m_SpeedMenuCheck > 3;
            missing += !live.FindTemplateSpeeds("A", speeds);
            ++reads;
        }
    };
    std::thread r1(reader), r2(reader);

    for (int round = 0; round < 9; ++round) {
        SpeedTemplateEditor editor(live, lists, dir.Path(), 0);
        editor.Open(1 + round % 3);
        const std::string name = round % 2 ? "A" : "B";
        for (int k = 0; k < kSpeedTypeCount; ++k) editor.SetSpeedSetCell(k, name);
        // Every jog step the same value, so a half-written block shows.
        for (int i = 9; i < kSpeedSettingCount; ++i) SpeedSettingField(editor.Fields().settings, i) = 1 + round;
        // Template edits while the readers look them up.
        editor.Fields().m_SpeedName = "C";
        ASSERT_TRUE(editor.AddSpeed());
        ASSERT_TRUE(editor.PickTemplate(0, 2));
        ASSERT_TRUE(editor.DeleteSpeed());
        ASSERT_EQ(editor.Confirm(), ConfirmResult::Closed);
        // Between confirmations, stores as fast as they come.
        const SpeedTypeTable confirmed = live.Table(SpeedType::Handle);
        for (int i = 0; i < 20000; ++i) {
            SpeedTypeTable t;
            for (int d = 0; d < kSpeedDriveCount; ++d) t.SetPair(d, {i % 2 ? 0x7F : 1, i % 2 ? 0xE3 : 101});
            live.SetTable(SpeedType::Handle, t);
        }
        live.SetTable(SpeedType::Handle, confirmed);
    }
    // Let the readers see the last state too.
    const long target = reads.load() + 100;
    while (reads.load() < target) std::this_thread::yield();
    done = true;
    r1.join();
    r2.join();

    EXPECT_EQ((std::vector<long>{torn.load(), tornSettings.load(), missing.load()}), (std::vector<long>{0, 0, 0}));
    EXPECT_EQ(boxes.Count(), 0u);
    // The last round (8) chose "B" with page 8 % 3 + 1 = 3 in front: the low class.
    EXPECT_EQ(live.Table(SpeedType::Smt).Pair(kDriveY), (SpeedPair{0x7D, 0x7D + 100}));
}

} // namespace
} // namespace smt
