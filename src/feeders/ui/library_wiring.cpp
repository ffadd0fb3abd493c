#include "feeders/ui/library_wiring.h"

#include <QPointer>

#include <memory>

#include "app/menus.h"
#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "app/viewcore.h"
#include "base/captions.h"
#include "base/globals.h"
#include "feeders/mark_library.h"
#include "feeders/pack_library.h"
#include "feeders/ui/dialog_feed_list.h"
#include "feeders/ui/dropdown_dialog.h"
#include "feeders/ui/mark_dialogs.h"
#include "feeders/ui/pack_dialogs.h"
#include "link/homing.h"

namespace smt {

namespace {
// A dialog the view keeps for its lifetime, made at its first opening.
template <class D, class... A>
D& Ensure(std::shared_ptr<QPointer<D>>& holder, CSMTView* view, A&... args) {
    if (!*holder) {
        *holder = new D(args..., view);
        (*holder)->m_StartFolder = [view] { return view->Frame()->m_StartDirectory; };
    }
    return **holder;
}
} // namespace

void WirePartLibraries(CSMTView& view) {
    CSMTView* v = &view;
    PackLibrary& packs = ThePackLibrary();
    MarkLibrary& marks = TheMarkLibrary();
    view.FirstUpdateSteps().Set("PackList.ParseRows", [&packs](const StepContext&) { packs.ParseRows(g_FigLists.pack); });
    view.FirstUpdateSteps().Set("MarkList.ParseRows", [&marks](const StepContext&) { marks.ParseRows(g_FigLists.mark); });

    auto packDialog = std::make_shared<QPointer<CDialogPackList>>();
    view.m_DialogOpeners[cmd::PackData] = [v, packDialog, &packs](int) mutable {
        CDialogPackList& d = Ensure(packDialog, v, packs);
        d.m_UpdateFeeders = [v](const PackageFeederValues& values) {
            if (v->m_pFeedList) v->m_pFeedList->List().UpdateFeedersFromPackage(values);
        };
        packs.m_ListTexts.Load(v->Frame()->m_StartDirectory, kLanguageNames[g_LanguageIndex]);
        d.OnInitDialog();
        v->m_RunModal(d);
    };
    auto markDialog = std::make_shared<QPointer<CDialogMarkList>>();
    view.m_DialogOpeners[cmd::MarkData] = [v, markDialog, &marks](int) mutable {
        CDialogMarkList& d = Ensure(markDialog, v, marks);
        const std::string folder = v->Frame()->m_StartDirectory, language = kLanguageNames[g_LanguageIndex];
        marks.m_ListTexts.Load(folder, language);
        marks.m_EditTexts.Load(folder, language);
        d.OnInitDialog();
        v->m_RunModal(d);
    };
    auto dropDown = std::make_shared<QPointer<CDialogDropDownParameter>>();
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()})
        steps->Set("DropDownParameter.LoadLanguage", [v, dropDown](const StepContext& c) mutable {
            Ensure(dropDown, v).LoadLanguage(c.startFolder, c.language);
        });
    view.m_DialogOpeners[cmd::OftenData] = [v, dropDown](int) mutable {
        CDialogDropDownParameter& d = Ensure(dropDown, v);
        d.OnInitDialog();
        v->m_RunModal(d);
    };
    QObject::connect(&view, &QObject::destroyed, [] {
        ThePackLibrary().FreeTable();
        TheMarkLibrary().FreeTable();
    });

    static bool hooksInstalled = false;
    if (hooksInstalled) return;
    hooksInstalled = true;
    // The one-key clear is where "CX" and "CY" measure from.
    auto previous = TheHomingPort().recordReference;
    TheHomingPort().recordReference = [previous](const std::array<std::int32_t, 4>& counters) {
        if (previous) previous(counters);
        TheMarkLibrary().m_Base = counters;
    };
}

} // namespace smt
