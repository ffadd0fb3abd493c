#include "feeders/ui/feeders_wiring.h"

#include <QPointer>

#include "app/menus.h"
#include "app/shellservices.h"
#include "app/ui/smtview.h"
#include "base/globals.h"
#include "feeders/feed_group_file.h"
#include "feeders/feed_group_table.h"
#include "feeders/ui/dialog_feed_group.h"
#include "feeders/ui/dialog_feed_list.h"
#include "feeders/ui/library_wiring.h"
#include "link/homing.h"
#include "platform/uipost.h"
#include "machine_ops/origin_update.h"

namespace smt {

namespace {
// The view whose feeder list the process-wide hooks reach.
QPointer<CSMTView> g_view;

CDialogFeedList* FeedListPanel() { return g_view ? g_view->m_pFeedList.data() : nullptr; }
} // namespace

void WireFeedersSubsystem(CSMTView& view) {
    g_view = &view;
    WirePartLibraries(view);
    // Only a table that was read is written: an unread one would empty the file.
    GetShellServices().writeFeedGroupTable = [] { WriteFeedGroupTable(TheFeedGroupTable(), g_FeedLines); };
    GetShellServices().sortFeedList = [] {
        if (CDialogFeedList* p = FeedListPanel()) {
            p->List().sortColumn = 0;
            p->SortFeedList();
        }
    };
    auto feedListLanguage = [](const StepContext& c) {
        if (CDialogFeedList* p = FeedListPanel()) p->LoadLanguage(c.startFolder, c.language);
    };
    view.FirstUpdateSteps().Set("FeedList.LoadLanguage", feedListLanguage);
    view.LanguageChangeSteps().Set("FeedList.LoadLanguage", feedListLanguage);
    view.LanguageChangeSteps().Set("FeedGroup.LoadLanguage", [](const StepContext& c) {
        if (CDialogFeedList* p = FeedListPanel()) p->FeedGroupDialog().Manager().LoadLanguage(c.startFolder, c.language);
    });

    CSMTView* v = &view;
    view.m_DialogOpeners[cmd::FeedGroup] = [v](int) {
        v->EnsureListPanels();
        if (!v->m_pFeedList) return;
        CDialogFeedGroup& dialog = v->m_pFeedList->FeedGroupDialog();
        dialog.OnInitDialog();
        v->m_RunModal(dialog);
    };

    // Worker and run threads never touch the list: their changes are posted.
    TheFeedListPort().showCell = [](const std::string& id, int cell, const std::string& text) {
        plat::PostToUi([id, cell, text] {
            if (CDialogFeedList* p = FeedListPanel()) p->List().SetListCell(id, cell, text);
        });
    };
    TheFeedListPort().storePickHeight = [](const std::string& id, const std::string& height) {
        plat::PostToUi([id, height] {
            if (CDialogFeedList* p = FeedListPanel()) p->List().StorePickHeight(id, height);
        });
    };

    static bool hooksInstalled = false;
    if (hooksInstalled) return;
    hooksInstalled = true;
    TheOriginShiftPort().shiftFeedCoordinates = [](double dX, double dY) {
        if (CDialogFeedList* p = FeedListPanel()) p->List().ShiftFeedCoordinates(dX, dY);
    };
    // The one-key clear records the feeder list's reference position as well.
    auto previous = TheHomingPort().recordReference;
    TheHomingPort().recordReference = [previous](const std::array<std::int32_t, 4>& counters) {
        if (previous) previous(counters);
        if (CDialogFeedList* p = FeedListPanel()) {
            p->List().refPulseX = counters[0];
            p->List().refPulseY = counters[1];
        }
    };
}

void OnFeedListCreated(CDialogFeedList& panel, const std::string& startFolder, const std::string& language) {
    panel.OnInitDialog(startFolder, language);
}

void OnFeedersViewDestroyed() { TheFeedGroupTable().DestroyFeedGroupTable(); }

} // namespace smt
