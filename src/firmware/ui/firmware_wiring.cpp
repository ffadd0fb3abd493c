#include "firmware/ui/firmware_wiring.h"

#include "base/command_ids.h"
#include "base/ui/program_view.h"
#include "firmware/board_config.h"
#include "firmware/firmware_update.h"
#include "firmware/ui/dialog_firmware_update.h"
#include "link/connect.h"

namespace smt {

namespace {

void ViewPart(ProgramView& view) {
    for (NamedSteps* steps : {&view.CreationCaptionSteps(), &view.LanguageChangeSteps()})
        steps->Set("FirmwareUpdate.LoadLanguage",
                   [](const StepContext& c) { TheFirmwareUpdateCaptions().Load(c.startFolder, c.language); });

    // The dialog's members outlive each opening, as the view's embedded dialog's do.
    static FirmwareUpdateValues values;
    ProgramView* v = &view;
    view.SetDialogOpener(cmd::FirmwareUpdate, [v](int) {
        CDialogFirmwareUpdate dialog(values, v->StartFolder(), v->Widget());
        dialog.setObjectName("CDialogFirmwareUpdate");
        dialog.ApplyLanguage();
        FirmwareLinkPort port;
        port.reconnect = [] { return ConnectNow(); };
        dialog.SetLinkPort(std::move(port));
        v->RunModal(dialog);
    });
}

} // namespace

void WireFirmware(Wiring& wiring) { wiring.OnView("firmware", ViewPart); }

} // namespace smt
