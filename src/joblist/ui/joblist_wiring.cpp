#include "joblist/ui/joblist_wiring.h"

#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "feeders/part_list_port.h"
#include "joblist/part_list.h"
#include "joblist/part_list_texts.h"
#include "joblist/ui/dialog_part_list.h"
#include "joblist/ui/pcb_wiring.h"
#include "link/manual_control.h"

namespace smt {

void WireJobListSubsystem(CSMTView& view) {
    // The captions load whether or not the panel exists yet; a panel made later
    // applies the texts then loaded.
    auto load = [&view](const StepContext& c) {
        if (view.m_pPartList) view.m_pPartList->LoadLanguage(c.startFolder, c.language);
        else LoadPartListLanguage(c.startFolder, c.language);
    };
    view.FirstUpdateSteps().Set("PartList.LoadLanguage", load);
    view.LanguageChangeSteps().Set("PartList.LoadLanguage", load);

    PartListToolButtons() = [&view](int toolId, bool enabled) {
        if (view.m_pPartList) view.m_pPartList->ToolBar()->EnableButton(toolId, enabled);
    };
    auto& port = ThePartListPort();
    port.updateRowsForFeeder = [](const std::string& oldId, const std::string& newId, int visionChoice,
                                  const std::string& value, const std::string& nozzle) {
        ThePartList().UpdateRowsForFeeder(oldId, newId, visionChoice != 0, value, nozzle);
    };
    port.isFeederUsed = [](const std::string& id) { return ThePartList().IsFeederUsed(id); };
    port.renameOwnMark = [](const std::string& oldName, const std::string& newName) {
        ThePartList().RenameOwnMark(oldName, newName);
    };
    port.placementPartNames = [] { return ThePartList().PlacementPartNames(); };
    // The panel fills a combo from these items each time it shows it.
    port.mirrorDropDown = [](int list, const std::string& removed, const std::string& added) {
        if (list < 0 || list > static_cast<int>(InPlaceCombo::Angles)) return;
        const auto combo = static_cast<InPlaceCombo>(list);
        if (!removed.empty()) ThePartList().RemoveComboItem(combo, removed);
        if (!added.empty()) ThePartList().AddComboItem(combo, added);
    };
}

CDialogPartList* CreatePartListPanel(CSMTView& view) {
    auto* panel = new CDialogPartList(view.Frame()->m_StartDirectory, &view);
    panel->m_ToolHandlers[tool::PcbEdit] = [panel] { OpenPcbEditor(panel); };
    return panel;
}

void OnJobListViewDestroyed() {
    PartListToolButtons() = nullptr;
    ThePartListPort() = {};
    ThePartList().FreeDisRows();
    ThePartList().FreeDrillRows();
    // The process's window ends with the view; a new view starts from empty lists.
    ThePartList().Reset();
}

} // namespace smt
