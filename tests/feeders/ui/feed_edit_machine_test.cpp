// The feeder editor's machine buttons in the running program: a read-back into
// the form, the guards of the vacuum test, and the step test storing the form in
// place before it hands one feed to the feeder operation worker.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "../../app/ui/shell_fixture.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "feeders/feed_operation.h"
#include "feeders/ui/dialog_feed_edit.h"
#include "feeders/ui/dialog_feed_list.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "platform/threads.h"
#include "machine_ops/basic_teach.h"
#include "settings/pulse_settings.h"
#include "vision/set_view.h"

namespace smt::test {
namespace {

namespace e = feededit;

// The program started over one feeder group holding feeder E1.
void WriteOneFeeder(ShellApp& app) {
    const std::vector<std::string> cells = {
        "E1", "Cap", "0603", "v1", "12.5000", "-7.5000", "1.60", "0.80", "0.45", "90", "1", "35", "No/Cam",
        "No/10/20", "集中飞达", "50", "25", "-4.0000", "3", "200", "15.0000", "20.0000", "-3.2500", "No/", "0.5000",
        "00:通用", "500", "3", "5", "100"};
    const std::vector<std::string> lines = {"1\tA\t", "A\tdesc\t1\t", JoinRow(cells), "0\t0\t0\t0\t0.0000\t0.0000\t"};
    WriteBytes(app.Dir().File("config_feed.fig"), EncodeTableFile(lines, nullptr));
}

TEST(FeedEditMachineButtons, ReadBackVacuumGuardsAndStepTest) {
    ShellApp app;
    WriteOneFeeder(app);
    ASSERT_TRUE(app.Start());
    CDialogFeedList* panel = app.View()->m_pFeedList;
    ASSERT_TRUE(panel);
    CDialogFeedEdit& edit = panel->FeedEditDialog();
    ScriptedResponder boxes;
    std::vector<FeedOperationRequest> started;
    bool single = false;
    TheFeedOperationPort().startRequest = [&](FeedOperationRequest r, BusyClaim) {
        single = SingleFeedFlag().exchange(false);
        started.push_back(std::move(r));
    };
    ThePulseFactors().m_X_Pulse = 1000;
    g_PulseX = 12345;
    std::string readBack;
    edit.m_RunModal = [&](QDialog& d) {
        edit.Button(1238)->click();
        readBack = edit.Field(e::PickX)->text().toStdString();
        edit.Button(1244)->click();  // not connected: refused, nothing started
        g_Connected = g_Homed = true;
        edit.Field(e::Value)->setText("stepped");
        edit.OnMachineButton(e::StepTest);
        g_Connected = g_Homed = false;
        d.reject();
        return d.result();
    };
    panel->List().selected = 0;
    panel->OnMenuCommand(feedmenu::Edit);
    EXPECT_EQ(readBack, "12.3451");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Machine is not connection !"});
    EXPECT_EQ(plat::RunningWorkers(), 0);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].code, kFeedOpFeedTest);
    EXPECT_EQ(started[0].row[3], "stepped");  // stored in place before the test
    EXPECT_EQ(started[0].row[26], "499");     // the test takes one part off the count
    EXPECT_TRUE(single);
    TheFeedOperationPort().startRequest = nullptr;
    g_PulseX = 0;
}

// "获取" takes the camera panel's light and the size of the part its last vision
// test found (length from the width it measured, width from the height).
TEST(FeedEditMachineButtons, GetDataShowsThePanelsLightAndMeasuredPartSize) {
    ShellApp app;
    WriteOneFeeder(app);
    ASSERT_TRUE(app.Start());
    CDialogFeedList* panel = app.View()->m_pFeedList;
    ASSERT_TRUE(panel);
    CDialogFeedEdit& edit = panel->FeedEditDialog();
    SetView& view = TheSetView();
    view.m_PartWidth = 3.256;
    view.m_PartHeight = 1.604;
    view.m_Light_Contrast = 77;
    view.m_Light_Brightness = 33;
    std::vector<std::string> shown;
    edit.m_RunModal = [&](QDialog& d) {
        edit.Button(1426)->click();
        for (int field : {e::Length, e::Width, e::Contrast, e::Brightness})
            shown.push_back(edit.Field(field)->text().toStdString());
        d.reject();
        return d.result();
    };
    panel->List().selected = 0;
    panel->OnMenuCommand(feedmenu::Edit);
    EXPECT_EQ(shown, (std::vector<std::string>{"3.26", "1.60", "77", "33"}));
    view.m_PartWidth = 1.0;
    view.m_PartHeight = 1.0;
}

} // namespace
} // namespace smt::test
