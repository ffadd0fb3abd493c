#include "feeders/ui/nozzle_wiring.h"

#include <QPointer>

#include <memory>

#include "app/menus.h"
#include "app/shellservices.h"
#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "app/viewcore.h"
#include "base/captions.h"
#include "base/globals.h"
#include "feeders/nozzle_library.h"
#include "feeders/ui/nozzle_list_dialog.h"
#include "machine_ops/origin_update.h"
#include "settings/rederive_hooks.h"

namespace smt {

namespace {

// The pulse table is rebuilt last, after whatever else follows the pulse values.
struct NozzleTableLast {
    std::function<void()> before;
    void operator()() const {
        if (before) before();
        TheNozzleLibrary().BuildNozzleTable();
    }
};

} // namespace

void WireNozzleLibrary(CSMTView& view) {
    NozzleLibrary& library = TheNozzleLibrary();
    NamedSteps& first = view.FirstUpdateSteps();
    first.Set("NozzleList.ParseRows", [&library](const StepContext&) { library.ParseRows(g_FigLists.nozzle); });
    first.Set("NozzleList.LoadConfig", [&library](const StepContext& c) {
        library.m_Config = LoadNozzleListConfig(ConfigFilePath(c.startFolder));
    });

    // The dialog lives as long as the view, as its embedded dialog does.
    CSMTView* v = &view;
    auto dialog = std::make_shared<QPointer<CDialogNozzleList>>();
    auto ensure = [v, dialog, &library]() -> CDialogNozzleList& {
        if (!*dialog) {
            *dialog = new CDialogNozzleList(library, v);
            (*dialog)->m_StartFolder = [v] { return v->Frame()->m_StartDirectory; };
            (*dialog)->m_ZLimitPulses = [v] { return v->m_LimitPulses.z; };
        }
        return **dialog;
    };
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()})
        steps->Set("NozzleList.LoadLanguage", [&library, dialog](const StepContext& c) {
            library.m_ListTexts.Load(c.startFolder, c.language);
            library.m_EditTexts.Load(c.startFolder, c.language);
            if (*dialog) (*dialog)->ApplyLanguage();
        });
    view.m_DialogOpeners[cmd::NozzleList] = [v, ensure](int) {
        CDialogNozzleList& d = ensure();
        d.OnInitDialog();
        v->m_RunModal(d);
    };
    QObject::connect(&view, &QObject::destroyed, [] { TheNozzleLibrary().FreeTable(); });

    TheSettingsRederivations().buildNozzleTable = [] { TheNozzleLibrary().BuildNozzleTable(); };
    TheOriginShiftPort().shiftNozzleCoordinates = [](double dX, double dY) {
        TheNozzleLibrary().ShiftNozzleCoordinates(dX, dY, g_FigLists.nozzle);
    };
    auto& after = GetShellServices().afterPositionPulses;
    if (!after.target<NozzleTableLast>()) after = NozzleTableLast{after};
}

} // namespace smt
