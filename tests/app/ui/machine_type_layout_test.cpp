// A machine-type change from the Help menu lays the camera panel out for the new
// type at once: the double-dispensing type shows its second live view beside the
// first, the other types one live view across the panel.
#include <QWidget>

#include "app/menus.h"
#include "app/ui/smtview.h"
#include "base/globals.h"
#include "shell_fixture.h"

namespace smt::test {
namespace {

TEST(MachineTypeLayout, TheCameraPanelFollowsTheTypeWithoutALanguageChange) {
    ShellApp app;
    ASSERT_TRUE(app.Start());
    app.Frame()->resize(1304, 902);
    app.Frame()->show();
    QWidget* panel = app.View()->Panel(ViewPanel::Camera);
    ASSERT_TRUE(panel);
    QWidget* live = panel->findChild<QWidget*>("c1073");
    QWidget* second = panel->findChild<QWidget*>("c1081");
    ASSERT_TRUE(live && second);
    struct Step { int type; bool secondShown; } steps[] = {{0, false}, {4, true}, {9, false}, {4, true}, {1, false}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.type);
        app.Frame()->OnCommand(CommandOfMachineType(s.type));
        for (int i = 0; i < 4; ++i) QApplication::processEvents();
        ASSERT_EQ(g_MachineType.load(), s.type);
        EXPECT_EQ(second->isVisibleTo(panel), s.secondShown);
        // Side by side on the double-dispensing type; the one live view reaches the panel's right edge otherwise.
        if (s.secondShown) EXPECT_LT(live->geometry().right(), second->geometry().left());
        else EXPECT_GE(live->geometry().right(), panel->width() - 3);
    }
}

} // namespace
} // namespace smt::test
