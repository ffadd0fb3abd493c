// The nozzle editor's "- 统一" check boxes: their keys in each shipped caption
// file, and their texts in the editor in English and German.
#include <QCheckBox>

#include <memory>

#include "../../app/ui/shell_fixture.h"
#include "app/menus.h"
#include "feeders/nozzle_library.h"
#include "feeders/ui/nozzle_edit_dialog.h"
#include "feeders/ui/nozzle_list_dialog.h"
#include "platform/profile.h"

namespace smt::test {
namespace {

// Opens the nozzle library through the menu in `language`; the dialog is caught
// before it would run, and stays open for the caller.
CDialogNozzleList* OpenNozzleList(ShellApp& app, int language) {
    auto caught = std::make_shared<CDialogNozzleList*>(nullptr);
    app.View()->m_RunModal = [caught](QDialog& d) {
        *caught = qobject_cast<CDialogNozzleList*>(&d);
        return 0;
    };
    app.Frame()->Action(language)->trigger();
    app.Frame()->Action(cmd::NozzleList)->trigger();
    return *caught;
}

TEST(NozzleEditCaptions, EveryKeyInEachShippedFile) {
    const std::string res = std::string(SMT_SOURCE_DIR) + "/res";
    DialogCaptions& captions = TheNozzleLibrary().m_EditTexts;
    captions.Reset();
    for (const std::string language : {"Chinese", "English", "German"}) {
        const std::string path = res + "/" + language + ".ini";
        for (const auto& [key, builtIn] : captions.Entries()) {
            SCOPED_TRACE(language + " " + key);
            const std::string text = plat::GetPrivateProfileString(captions.Section(), key, "", 512, path);
            EXPECT_FALSE(text.empty());
            if (language == "Chinese") {
                EXPECT_EQ(text, builtIn);
            } else {
                EXPECT_EQ(text.find_first_of("\xE4\xE5\xE6\xE7\xE8\xE9"), std::string::npos) << text;
            }
        }
    }
}

TEST(NozzleEditCaptions, TheUniformBoxesSpeakTheChosenLanguage) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    struct Case { int language; std::vector<std::string> texts; } cases[] = {
        {cmd::English, {"Pick height - same for all", "Entry Z height - same for all", "Vacuum check value - same for all"}},
        {cmd::German, {"Aufnahmehöhe - für alle gleich", "Einfahrt Z-Höhe - für alle gleich", "Vakuum-Prüfwert - für alle gleich"}},
        {cmd::Chinese, {"吸嘴与吸料高度 - 统一", "吸嘴进出口高度 - 统一", "真空检测值 - 统一"}},
    };
    for (const auto& c : cases) {
        CDialogNozzleList* dialog = OpenNozzleList(app, c.language);
        ASSERT_TRUE(dialog);
        std::vector<std::string> texts;
        for (int id : {1036, 1037, 1038})
            texts.push_back(dialog->Editor()->findChild<QCheckBox*>(QString("uniform%1").arg(id))->text().toStdString());
        EXPECT_EQ(texts, c.texts);
        dialog->reject();
    }
}

// A nozzle number outside 1 to 19 is refused in the operator's language only.
TEST(NozzleEditCaptions, TheNumberRangeMessageSpeaksTheChosenLanguage) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    struct Case { int language; const char* number; std::string message; } cases[] = {
        {cmd::German, "20", "Bitte geben Sie eine ganze Zahl zwischen 1 und 19 ein."},
        {cmd::English, "0", "Please enter an integer between 1 and 19."},
        {cmd::Chinese, "20", "请输入一个介于 1 和 19 之间的整数。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        CDialogNozzleList* dialog = OpenNozzleList(app, c.language);
        ASSERT_TRUE(dialog);
        CDialogNozzleEdit* editor = dialog->Editor();
        editor->Field(1127)->setText(c.number);
        editor->Field(1128)->setText("30");
        editor->Field(1129)->setText("-40");
        ScriptedResponder boxes;
        editor->accept();
        EXPECT_NE(editor->result(), QDialog::Accepted);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message});
        dialog->reject();
    }
}

} // namespace
} // namespace smt::test
