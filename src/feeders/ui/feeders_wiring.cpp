#include "feeders/ui/feeders_wiring.h"

#include <QPointer>

#include <memory>

#include "base/captions.h"
#include "base/command_ids.h"
#include "base/globals.h"
#include "base/ui/program_view.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_group_table.h"
#include "feeders/feed_operation.h"
#include "vision/camera_list.h"
#include "feeders/mark_library.h"
#include "feeders/nozzle_library.h"
#include "feeders/pack_library.h"
#include "feeders/ui/dialog_auto_feed.h"
#include "feeders/ui/dialog_feed_group.h"
#include "feeders/ui/dialog_feed_list.h"
#include "feeders/ui/dropdown_dialog.h"
#include "feeders/ui/mark_dialogs.h"
#include "feeders/ui/nozzle_list_dialog.h"
#include "feeders/ui/pack_dialogs.h"
#include "link/commands.h"
#include "link/jog.h"
#include "platform/uipost.h"
#include "machine_ops/origin_update.h"
#include "settings/rederive_hooks.h"

namespace smt {

namespace {

// The view whose feeder list the process-wide hooks reach.
QPointer<QWidget> g_view;
ProgramView* g_programView = nullptr;

CDialogFeedList* FeedListPanel() {
    return g_view && g_programView ? qobject_cast<CDialogFeedList*>(g_programView->Panel(ViewPanel::FeedList))
                                   : nullptr;
}

// A dialog the view keeps for its lifetime, made at its first opening.
template <class D, class... A>
D& Ensure(std::shared_ptr<QPointer<D>>& holder, ProgramView* view, A&... args) {
    if (!*holder) {
        *holder = new D(args..., view->Widget());
        (*holder)->m_StartFolder = [view] { return view->StartFolder(); };
    }
    return **holder;
}

// Asked on the starter's (user-interface) thread: the worker never reads the panel.
FeedOperationTexts FeedListTexts() {
    FeedOperationTexts texts;
    if (CDialogFeedList* p = FeedListPanel()) {
        const FeedList& list = p->List();
        texts.message07 = list.Text("c_Message_07");
        texts.message20 = list.partListMessage20;
    }
    return texts;
}

void FeedListViewPart(ProgramView& view) {
    auto feedListLanguage = [](const StepContext& c) {
        if (CDialogFeedList* p = FeedListPanel()) p->LoadLanguage(c.startFolder, c.language);
    };
    view.FirstUpdateSteps().Set("FeedList.LoadLanguage", feedListLanguage);
    view.LanguageChangeSteps().Set("FeedList.LoadLanguage", feedListLanguage);
    view.LanguageChangeSteps().Set("FeedGroup.LoadLanguage", [](const StepContext& c) {
        if (CDialogFeedList* p = FeedListPanel()) p->FeedGroupDialog().Manager().LoadLanguage(c.startFolder, c.language);
    });
    ProgramView* v = &view;
    view.SetDialogOpener(cmd::FeedGroup, [v](int) {
        v->EnsureListPanels();
        CDialogFeedList* p = FeedListPanel();
        if (!p) return;
        CDialogFeedGroup& dialog = p->FeedGroupDialog();
        dialog.OnInitDialog();
        v->RunModal(dialog);
    });
}

void PartLibrariesViewPart(ProgramView& view) {
    ProgramView* v = &view;
    PackLibrary& packs = ThePackLibrary();
    MarkLibrary& marks = TheMarkLibrary();
    view.FirstUpdateSteps().Set("PackList.ParseRows", [&packs](const StepContext&) { packs.ParseRows(g_FigLists.pack); });
    view.FirstUpdateSteps().Set("MarkList.ParseRows", [&marks](const StepContext&) { marks.ParseRows(g_FigLists.mark); });

    auto packDialog = std::make_shared<QPointer<CDialogPackList>>();
    view.SetDialogOpener(cmd::PackData, [v, packDialog, &packs](int) mutable {
        CDialogPackList& d = Ensure(packDialog, v, packs);
        d.m_UpdateFeeders = [](const PackageFeederValues& values) {
            if (CDialogFeedList* p = FeedListPanel()) p->List().UpdateFeedersFromPackage(values);
        };
        packs.m_ListTexts.Load(v->StartFolder(), v->LanguageName());
        d.OnInitDialog();
        v->RunModal(d);
    });
    auto markDialog = std::make_shared<QPointer<CDialogMarkList>>();
    view.SetDialogOpener(cmd::MarkData, [v, markDialog, &marks](int) mutable {
        CDialogMarkList& d = Ensure(markDialog, v, marks);
        const std::string folder = v->StartFolder(), language = v->LanguageName();
        marks.m_ListTexts.Load(folder, language);
        marks.m_EditTexts.Load(folder, language);
        d.OnInitDialog();
        v->RunModal(d);
    });
    auto dropDown = std::make_shared<QPointer<CDialogDropDownParameter>>();
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()})
        steps->Set("DropDownParameter.LoadLanguage", [v, dropDown](const StepContext& c) mutable {
            Ensure(dropDown, v).LoadLanguage(c.startFolder, c.language);
        });
    view.SetDialogOpener(cmd::OftenData, [v, dropDown](int) mutable {
        CDialogDropDownParameter& d = Ensure(dropDown, v);
        d.OnInitDialog();
        v->RunModal(d);
    });
    QObject::connect(view.Widget(), &QObject::destroyed, [] {
        ThePackLibrary().FreeTable();
        TheMarkLibrary().FreeTable();
    });
}

void NozzleLibraryViewPart(ProgramView& view) {
    NozzleLibrary& library = TheNozzleLibrary();
    NamedSteps& first = view.FirstUpdateSteps();
    first.Set("NozzleList.ParseRows", [&library](const StepContext&) { library.ParseRows(g_FigLists.nozzle); });
    first.Set("NozzleList.LoadConfig", [&library](const StepContext& c) {
        library.m_Config = LoadNozzleListConfig(ConfigFilePath(c.startFolder));
    });

    // The dialog lives as long as the view, as its embedded dialog does.
    ProgramView* v = &view;
    auto dialog = std::make_shared<QPointer<CDialogNozzleList>>();
    auto ensure = [v, dialog, &library]() -> CDialogNozzleList& {
        if (!*dialog) {
            *dialog = new CDialogNozzleList(library, v->Widget());
            (*dialog)->m_StartFolder = [v] { return v->StartFolder(); };
            (*dialog)->m_ZLimitPulses = [v] { return v->ZLimitPulses(); };
        }
        return **dialog;
    };
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()})
        steps->Set("NozzleList.LoadLanguage", [&library, dialog](const StepContext& c) {
            library.m_ListTexts.Load(c.startFolder, c.language);
            library.m_EditTexts.Load(c.startFolder, c.language);
            if (*dialog) (*dialog)->ApplyLanguage();
        });
    view.SetDialogOpener(cmd::NozzleList, [v, ensure](int) {
        CDialogNozzleList& d = ensure();
        d.OnInitDialog();
        v->RunModal(d);
    });
    QObject::connect(view.Widget(), &QObject::destroyed, [] { TheNozzleLibrary().FreeTable(); });
}

void AutoFeedViewPart(ProgramView& view) {
    auto* dialog = new CDialogAutoFeed(view.Widget());
    dialog->hide();
    view.FirstUpdateSteps().Set("AutoFeed.LoadConfig", [dialog](const StepContext& c) { dialog->LoadConfig(c.startFolder); });
    auto language = [dialog](const StepContext& c) { dialog->LoadLanguage(c.startFolder, c.language); };
    view.CreationCaptionSteps().Set("AutoFeed.LoadLanguage", language);
    view.LanguageChangeSteps().Set("AutoFeed.LoadLanguage", language);
    ProgramView* v = &view;
    view.SetDialogOpener(cmd::AutoFeed, [v, dialog](int) {
        dialog->OnInitDialog();
        v->RunModal(*dialog);
    });
}

void ViewPart(ProgramView& view) {
    g_view = view.Widget();
    g_programView = &view;
    FeedListViewPart(view);
    PartLibrariesViewPart(view);
    NozzleLibraryViewPart(view);
    AutoFeedViewPart(view);
}

} // namespace

void WireFeeders(Wiring& wiring) {
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
    FeedListPort& list = TheFeedListPort();
    list.openEditor = [](const std::string& id) {
        CDialogFeedList* p = FeedListPanel();
        if (!p) return false;
        FeedList& feeders = p->List();
        for (int i = 0; i < static_cast<int>(feeders.rows.size()); ++i)
            if (feeders.rows[static_cast<std::size_t>(i)].text[0] == id) {
                feeders.selected = i;
                feeders.Edit(p->m_RunEditor, false);
                return true;
            }
        return false;
    };
    // The camera table's check of the feeders' camera column.
    CameraListFeederPort& cameras = TheCameraListFeederPort();
    cameras.feederCameras = [] {
        std::vector<std::string> cameras;
        if (CDialogFeedList* p = FeedListPanel())
            for (const FeedListEntry& e : p->List().rows) cameras.push_back(e.text[12]);
        return cameras;
    };
    cameras.markFeedersWithoutCamera = [](const std::vector<int>& rows) {
        CDialogFeedList* p = FeedListPanel();
        if (!p) return;
        FeedList& feeders = p->List();
        // Image 4 of the camera column: the feeder names no camera of the table.
        for (int r : rows)
            if (r < static_cast<int>(feeders.rows.size())) feeders.rows[r].SetIcon(12, feedicon::No);
        if (feeders.changed) feeders.changed();
    };

    OriginShiftPort& shift = TheOriginShiftPort();
    shift.shiftFeedCoordinates = [](double dX, double dY) {
        if (CDialogFeedList* p = FeedListPanel()) p->List().ShiftFeedCoordinates(dX, dY);
    };
    shift.shiftNozzleCoordinates = [](double dX, double dY) {
        TheNozzleLibrary().ShiftNozzleCoordinates(dX, dY, g_FigLists.nozzle);
    };
    TheSettingsRederivations().buildNozzleTable = [] { TheNozzleLibrary().BuildNozzleTable(); };

    InstallFeedOperationWorker(FeedListTexts);
    TheCommandPanel().feedDelayMs = [] { return TheAutoFeed().m_Feed_Delay.load(); };
    JogPort& jog = TheManualJog().Port();
    jog.openLength = [] { return TheAutoFeed().m_Open_Length.load(); };
    jog.closeLength = [] { return TheAutoFeed().m_Close_Length.load(); };

    wiring.OnView("feeders", ViewPart);
}

void OnFeedListCreated(CDialogFeedList& panel, const std::string& startFolder, const std::string& language) {
    panel.OnInitDialog(startFolder, language);
}

void OnFeedersViewDestroyed() { TheFeedGroupTable().DestroyFeedGroupTable(); }

} // namespace smt
