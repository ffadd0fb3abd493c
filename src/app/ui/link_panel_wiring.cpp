#include "app/ui/link_panel_wiring.h"

#include <QPointer>

#include "app/shellservices.h"
#include "app/ui/smtview.h"
#include "base/globals.h"
#include "link/link_state.h"
#include "link/positioning.h"
#include "link/ui/jog_glue.h"
#include "link/ui/manual_control_dialog.h"

namespace smt {

void WireShellToLink() {
    ShellServices& shell = GetShellServices();
    shell.isBusy = [] { return g_Running.load(); };
    shell.raiseStopFlags = [] {
        g_StopReceive = true;
        g_StopUdpReply = true;
    };
    shell.resetToOrigin = [] { OnResetToOrigin(); };
}

void WireManualControlPanel(CSMTView* view) {
    ShellServices& shell = GetShellServices();
    QPointer<CDialogManualControl> panel(view->m_pManualControl);
    if (panel) {
        WireManualJog(panel);
        shell.layoutManualControl = [panel](int type) {
            if (panel) panel->LayoutManualControlForModel(type);
        };
        // Nothing to keep once the panel is gone.
        shell.saveManualControlConfig = [panel](const std::string& folder) {
            return !panel || panel->SaveManualControlConfig(folder);
        };
    }
    QPointer<CSMTView> v(view);
    SetPositioningMessages(view->m_Messages);
    shell.positioningCommand = [v](int id) {
        if (v) SetPositioningMessages(v->m_Messages);
        OnPositioningCommand(id);
    };
    InstallPositioningHooks();
}

} // namespace smt
