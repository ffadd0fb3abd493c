#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "platform/files.h"
#include "machine_ops/ui/dialogspeedpages.h"
#include "machine_ops/ui/dialogspeedtemplate.h"
#include "test_support.h"

namespace {

using smt::test::ScriptedResponder;
using smt::test::TempDir;

std::string Cells(int start, int run) {
    std::string cells;
    for (int d = 0; d < smt::kSpeedDriveCount; ++d) cells += smt::FormatSpeedCell(start, run) + "\t";
    return cells;
}

std::string Text(QTableWidget* list, int row, int column) {
    auto* item = list->item(row, column);
    return item ? item->text().toStdString() : std::string("<none>");
}

struct DialogFixture {
    TempDir dir;
    ScriptedResponder boxes;
    smt::SpeedTemplates live;
    smt::FigLists lists;

    DialogFixture() {
        lists.speed = {"Reset speed\t" + Cells(10, 50), "Fast\t" + Cells(30, 120),
                       "Reset speed\t" + Cells(7, 35), "Fast\t" + Cells(21, 84),
                       "Reset speed\t" + Cells(4, 20), "Fast\t" + Cells(12, 48)};
        lists.speedSetNames = "Reset speed\tFast\tFast\tFast\tFast\tFast\tFast\t";
        live.LoadSpeedTables(lists.speed, 0);
    }

    std::unique_ptr<CDialogSpeedTemplate> Open(int page, int language = 0, const std::string& name = "Chinese") {
        return std::make_unique<CDialogSpeedTemplate>(live, lists, dir.Path(), language, name, page);
    }
};

TEST(SpeedDialog, OpensCollapsedOnThePageAskedForAndPickingFillsTheFields) {
    DialogFixture f;
    auto dlg = f.Open(CDialogSpeedTemplate::kLowPage);
    EXPECT_EQ(dlg->Tabs()->currentIndex(), 3);
    EXPECT_FALSE(dlg->EditAreaShown());
    EXPECT_FALSE(dlg->ChangeResetBox()->isEnabled());
    QTableWidget* medium = dlg->ClassPage(1)->List();
    ASSERT_EQ(medium->rowCount(), 2);
    EXPECT_EQ(medium->columnCount(), 17);
    EXPECT_EQ(Text(medium, 0, 0) + " " + Text(medium, 1, 16), "复位速度 21 / 84");
    QTableWidget* set = dlg->SpeedSetPage()->List();
    ASSERT_EQ(set->rowCount(), 7);
    EXPECT_EQ(Text(set, 0, 1) + " " + Text(set, 6, 1), "复位速度 Fast");

    dlg->ClassPage(2)->OnClickList(0);  // the reset template is locked
    EXPECT_FALSE(dlg->EditAreaShown());
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(dlg->AddButton(), &enter);
    EXPECT_TRUE(dlg->EditAreaShown());
    dlg->ClassPage(2)->OnClickList(1);
    EXPECT_EQ(dlg->NameField()->text().toStdString(), "Fast");
    EXPECT_EQ(dlg->EditField(2, smt::kDriveAutoWalk2, true)->value(), 48);
    EXPECT_TRUE(dlg->EditField(2, smt::kDriveX, false)->isEnabled());
    EXPECT_FALSE(dlg->EditField(0, smt::kDriveX, false)->isEnabled());

    // The reset switch unlocks the first template and its servo option.
    dlg->ModifyResetBox()->click();
    EXPECT_TRUE(dlg->ChangeResetBox()->isEnabled());
    dlg->ClassPage(2)->OnClickList(0);
    EXPECT_EQ(dlg->NameField()->text().toStdString(), "复位速度");
}

TEST(SpeedDialog, AddModifyAndScaleShowInTheLists) {
    DialogFixture f;
    auto dlg = f.Open(CDialogSpeedTemplate::kHighPage);
    dlg->NameField()->setText("Gentle");
    dlg->EditField(1, smt::kDriveY, true)->setValue(66);
    dlg->AddButton()->click();
    for (int cls = 0; cls < 3; ++cls) ASSERT_EQ(dlg->ClassPage(cls)->List()->rowCount(), 3);
    EXPECT_EQ(Text(dlg->ClassPage(1)->List(), 2, 2), "1 / 66");

    dlg->ClassPage(0)->OnClickList(2);
    dlg->NameField()->setText("Soft");
    dlg->EditField(0, smt::kDriveX, true)->setValue(99);
    dlg->Editor().SelectPage(CDialogSpeedTemplate::kHighPage);
    ASSERT_EQ(dlg->EditButton()->text().toStdString(), "修改速度");
    dlg->EditButton()->click();
    EXPECT_EQ(Text(dlg->ClassPage(2)->List(), 2, 0), "Soft");
    EXPECT_EQ(Text(dlg->ClassPage(0)->List(), 2, 1), "1 / 99");
    EXPECT_FALSE(dlg->EditAreaShown());

    dlg->MediumZoomField()->setValue(50);
    dlg->MediumModifyButton()->click();
    EXPECT_EQ(Text(dlg->ClassPage(1)->List(), 1, 1), "15 / 60");
}

TEST(SpeedDialog, SpeedSetDropDownAndConfirmation) {
    DialogFixture f;
    auto dlg = f.Open(CDialogSpeedTemplate::kSpeedSetPage);
    dlg->show();
    CDialogSpeedSet* set = dlg->SpeedSetPage();
    set->OnClickList(1, 1);
    ASSERT_TRUE(set->Combo()->isVisible());
    EXPECT_EQ(set->Combo()->currentText().toStdString(), "Fast");
    EXPECT_EQ(set->Combo()->count(), 2);
    set->Combo()->setCurrentIndex(set->Combo()->findText("复位速度"));
    set->OnKillFocusCombo();
    EXPECT_FALSE(set->Combo()->isVisible());
    EXPECT_EQ(Text(set->List(), 1, 1), "复位速度");

    // The speed set page is no class: refused and the dialog stays (SpeedEditor stores nothing).
    dlg->accept();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(f.boxes.Count(), 1u);

    dlg->JogField(0)->setValue(3000);
    dlg->Tabs()->setCurrentIndex(CDialogSpeedTemplate::kMediumPage);
    dlg->accept();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(f.live.Settings().m_SpeedMenuCheck, 2);
    EXPECT_EQ(f.live.Settings().m_XY_RunFast, 3000);
    EXPECT_EQ(f.live.Table(smt::SpeedType::Handle).Pair(smt::kDriveX), (smt::SpeedPair{7, 35}));
    EXPECT_EQ(f.lists.speedSetNames, "复位速度\t复位速度\tFast\tFast\tFast\tFast\tFast\t");
}

TEST(SpeedDialog, CaptionsComeFromTheLanguageFile) {
    DialogFixture f;
    std::string english;
    ASSERT_TRUE(plat::ReadWholeFile(std::string(SMT_SOURCE_DIR) + "/res/English.ini", english));
    smt::test::WriteBytes(f.dir.File("English.ini"), english);
    f.live.LoadSpeedTables(f.lists.speed, 1);
    auto dlg = f.Open(CDialogSpeedTemplate::kHighPage, 1, "English");
    EXPECT_EQ(dlg->windowTitle().toStdString(), "Speed template management");
    EXPECT_EQ(dlg->Tabs()->tabText(1).toStdString(), "High speed");
    EXPECT_EQ(dlg->ClassPage(0)->List()->horizontalHeaderItem(0)->text().toStdString(), "Speed name");
    EXPECT_EQ(Text(dlg->SpeedSetPage()->List(), 0, 0), "Reset speed XYZF");
}

} // namespace
