#include "joblist/ui/pcb_wiring.h"

#include <QPointer>

#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "base/captions.h"
#include "joblist/pcb_editor.h"
#include "joblist/pcb_ports.h"
#include "joblist/ui/dialog_cad_import.h"
#include "joblist/ui/dialog_pcb_edit.h"

namespace smt {

namespace {
QPointer<CSMTView> g_view;
QPointer<CDialogPCBEdit> g_dialog;
} // namespace

void WirePcbEditor(CSMTView& view) {
    g_view = &view;
    PcbEditor& pcb = view.Job().Pcb();
    InstallPcbPorts(pcb);
    WireCadImport(view);
    view.FirstUpdateSteps().Set("PCBEdit.LoadConfig", [&pcb](const StepContext& c) {
        pcb.m_StartFolder = c.startFolder;
        LoadPcbEditConfig(pcb.m_Fields, ConfigFilePath(c.startFolder));
        pcb.m_Texts.Load(c.startFolder, c.language);
    });
    QObject::connect(&view, &QObject::destroyed, [] { UninstallPcbPorts(); });
}

void OpenPcbEditor(QWidget* parent) {
    if (!g_view) return;
    CSMTView* v = g_view;
    if (!g_dialog) g_dialog = new CDialogPCBEdit(v->Job().Pcb(), parent ? parent : v);
    g_dialog->OnInitDialog(v->Frame()->m_StartDirectory, v->Frame()->m_LanguageName);
    v->m_RunModal(*g_dialog);
}

} // namespace smt
