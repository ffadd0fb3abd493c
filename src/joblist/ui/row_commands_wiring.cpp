#include "joblist/ui/row_commands_wiring.h"

#include <QPointer>

#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "feeders/part_list_port.h"
#include "feeders/ui/dialog_feed_list.h"
#include "joblist/board_transforms.h"
#include "joblist/coordinate_tests.h"
#include "joblist/row_commands.h"
#include "joblist/ui/dialog_lamp_machine_list.h"
#include "joblist/ui/dialog_part_edit.h"
#include "joblist/ui/dialog_part_list.h"

namespace smt {

void WireRowCommands(CSMTView& view, CDialogPartList* panel) {
    RowCommands& rc = TheRowCommands();
    auto* smtEdit = new CDialogPartEditSmt(rc, panel);
    auto* disEdit = new CDialogPartEditDis(rc, panel);
    auto* drillEdit = new CDialogPartEditDrill(rc, panel);
    QPointer<CDialogPartEditSmt> smtPtr(smtEdit);

    RowCommandPort& port = rc.m_Port;
    port.pcbRecordCount = [&view] { return view.Job().PcbRecordCount(); };
    port.feeders = [] { return OpenGroupFeeders(); };
    port.pcbOrigin = [&view] {
        const auto& f = view.Job().Pcb().m_Fields;
        return std::make_pair(f.m_OriginX, f.m_OriginY);
    };
    port.runEditor = [&view, smtEdit, disEdit, drillEdit](JobList list) {
        const std::string& folder = view.Frame()->m_StartDirectory;
        const std::string& language = view.Frame()->m_LanguageName;
        QDialog* d = nullptr;
        if (list == JobList::Part) smtEdit->OnInitDialog(folder, language), d = smtEdit;
        else if (list == JobList::Dis) disEdit->OnInitDialog(folder, language), d = disEdit;
        else drillEdit->OnInitDialog(), d = drillEdit;
        return view.m_RunModal(*d) == QDialog::Accepted;
    };
    port.cameraTrack = [&view] { OnCoordinateTest(ThePartList(), view.Job().Pcb(), CoordTest::CameraToPart); };
    port.lampValues = [&view] {
        const auto* edit = view.findChild<CDialogLampMachineEdit*>();
        return edit ? edit->m_Values : LampPointValues{};
    };
    port.openFeeder = [&view](const std::string& id) {
        if (!view.m_pFeedList) return false;
        FeedList& list = view.m_pFeedList->List();
        for (int i = 0; i < static_cast<int>(list.rows.size()); ++i)
            if (list.rows[static_cast<std::size_t>(i)].text[0] == id) {
                list.selected = i;
                list.Edit(view.m_pFeedList->m_RunEditor, false);
                return true;
            }
        return false;
    };
    PartListPort& parts = ThePartListPort();
    parts.rowEditorOpen = [] { return TheRowCommands().m_PartEdit.m_Open != 0; };
    parts.setRowEditorFeeder = [smtPtr](const std::string& id) {
        if (smtPtr) smtPtr->SetFeederItem(id);
    };

    auto& h = panel->m_MenuHandlers;
    for (auto [prefix, list] : {std::pair{"", JobList::Part}, {"Dis.", JobList::Dis}, {"Drill.", JobList::Drill}}) {
        const std::string p = prefix;
        if (list != JobList::Drill) h[p + "SelectAll"] = [list] { TheRowCommands().SelectAll(list); };
        h[p + "PartAdd"] = [list] { TheRowCommands().Add(list); };
        h[p + "PartEdit"] = [list] { TheRowCommands().Modify(list); };
        h[p + "PartDelete"] = [list] { TheRowCommands().Delete(list); };
        h[p + "PartCopy"] = [list] { TheRowCommands().Copy(list); };
        h[p + "PartPaste"] = [list] { TheRowCommands().Paste(list); };
        h[p + "CopyPaste"] = [list] { TheRowCommands().CopySelectedToEnd(list); };
    }
    const std::pair<const char*, CoordTest> tests[] = {
        {"SuctionTest", CoordTest::NozzleToPart}, {"CameraTest", CoordTest::CameraToPart},
        {"Dis.DisHeadTest", CoordTest::DispenserToPart}, {"Dis.CameraTest", CoordTest::CameraToDispensePoint},
        {"Drill.DrillTest", CoordTest::DrillToPoint}, {"Drill.CameraTest", CoordTest::CameraToDrillPoint},
        {"Grout1ToY1PartTest", CoordTest::GlueHead1ToY1}, {"Grout1ToY2PartTest", CoordTest::GlueHead1ToY2},
        {"Grout2ToY1PartTest", CoordTest::GlueHead2ToY1}, {"Grout2ToY2PartTest", CoordTest::GlueHead2ToY2},
        {"CameraToY1PartTest", CoordTest::MarkCameraToY1}, {"CameraToY2PartTest", CoordTest::MarkCameraToY2},
        {"Nozzle1ToY1PartTest", CoordTest::Nozzle1ToY1}, {"Nozzle2ToY1PartTest", CoordTest::Nozzle2ToY1},
        {"Nozzle3ToY1PartTest", CoordTest::Nozzle3ToY1}, {"Nozzle4ToY1PartTest", CoordTest::Nozzle4ToY1}};
    for (auto [key, test] : tests)
        h[key] = [&view, test] { OnCoordinateTest(ThePartList(), view.Job().Pcb(), test); };
    const std::pair<const char*, BoardTransform> transforms[] = {
        {"PCB_Clockwise90", BoardTransform::Clockwise}, {"PCB_Counterclockwise90", BoardTransform::CounterClockwise},
        {"PCB_LeftRightMirror", BoardTransform::MirrorLeftRight}, {"PCB_UpDownMirror", BoardTransform::MirrorUpDown}};
    for (auto [key, t] : transforms) h[key] = [t] { OnPcbTransform(ThePartList(), t); };
    h["PCB_Compound"] = [&view] { OnPcbMergePanel(ThePartList(), view.Job().Pcb()); };
}

} // namespace smt
