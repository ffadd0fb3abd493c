// The row editors' captions: every key of the three editors in each shipped
// caption file (the Chinese one equal to the built-in texts, the others without
// Chinese), and the drilling editor opened in English and German.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "joblist/ui/dialog_part_edit.h"
#include "joblist/ui/dialog_part_list.h"
#include "platform/profile.h"

namespace smt::test {
namespace {

bool HasChinese(const std::string& text) { return text.find_first_of("\xE4\xE5\xE6\xE7\xE8\xE9") != std::string::npos; }

TEST(RowEditorCaptions, ShippedFilesHoldEveryKeyOfTheThreeEditors) {
    const std::string res = std::string(SMT_SOURCE_DIR) + "/res";
    for (DialogCaptions* captions : {&ThePartProperTexts(), &ThePartEditDisTexts(), &ThePartEditDrillTexts()}) {
        captions->Reset();
        for (const std::string language : {"Chinese", "English", "German"}) {
            const std::string path = res + "/" + language + ".ini";
            for (const auto& [key, builtIn] : captions->Entries()) {
                SCOPED_TRACE(language + " " + key);
                const std::string text = plat::GetPrivateProfileString(captions->Section(), key, "", 512, path);
                EXPECT_FALSE(text.empty());
                if (language == "Chinese") {
                    EXPECT_EQ(text, builtIn);
                } else {
                    EXPECT_FALSE(HasChinese(text)) << text;
                }
            }
        }
    }
}

TEST(RowEditorCaptions, TheDrillingEditorSpeaksTheChosenLanguage) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    CSMTView* v = app.View();
    v->EnsureListPanels();
    struct Seen { std::string title, depth, top, ok; } seen;
    v->m_RunModal = [&](QDialog& d) {
        auto& e = static_cast<CRowEditorBase&>(d);
        seen = {d.windowTitle().toStdString(), d.findChild<QLabel*>("static11580")->text().toStdString(),
                static_cast<QCheckBox*>(e.Control(1585))->text().toStdString(),
                static_cast<QPushButton*>(e.Control(1))->text().toStdString()};
        d.reject();
        return d.result();
    };
    struct Case { int language; Seen expected; } cases[] = {
        {cmd::English, {"Drilling point", "Drilling depth", "Lift to the top", "OK"}},
        {cmd::German, {"Bohrpunkt bearbeiten", "Bohrtiefe", "Bis ganz nach oben abheben", "OK"}},
        {cmd::Chinese, {"钻孔编辑", "钻孔深度", "抬刀到顶部", "确  定"}},
    };
    for (const auto& c : cases) {
        app.Frame()->Action(c.language)->trigger();
        seen = {};
        v->m_pPartList->m_MenuHandlers["Drill.PartAdd"]();
        EXPECT_EQ(std::tie(seen.title, seen.depth, seen.top, seen.ok),
                  std::tie(c.expected.title, c.expected.depth, c.expected.top, c.expected.ok));
    }
}

} // namespace
} // namespace smt::test
