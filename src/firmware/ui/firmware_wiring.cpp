#include "firmware/ui/firmware_wiring.h"

#include "app/menus.h"
#include "app/ui/mainframe.h"
#include "app/ui/smtview.h"
#include "app/viewcore.h"
#include "firmware/board_config.h"
#include "firmware/firmware_update.h"
#include "firmware/ui/dialog_firmware_update.h"
#include "link/connect.h"

namespace smt {

void WireFirmwareSubsystem(CSMTView& view) {
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()})
        steps->Set("FirmwareUpdate.LoadLanguage",
                   [](const StepContext& c) { TheFirmwareUpdateCaptions().Load(c.startFolder, c.language); });

    // The dialog's members outlive each opening, as the view's embedded dialog's do.
    static FirmwareUpdateValues values;
    CSMTView* v = &view;
    view.m_DialogOpeners[cmd::FirmwareUpdate] = [v](int) {
        CDialogFirmwareUpdate dialog(values, v->Frame()->m_StartDirectory, v);
        dialog.setObjectName("CDialogFirmwareUpdate");
        dialog.ApplyLanguage();
        FirmwareLinkPort port;
        port.reconnect = [] { return ConnectNow(); };
        dialog.SetLinkPort(std::move(port));
        v->m_RunModal(dialog);
    };
}

} // namespace smt
