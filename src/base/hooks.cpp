#include "base/hooks.h"

#include "base/captions.h"
#include "base/globals.h"
#include "base/log.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "platform/uipost.h"

namespace smt {

std::string NotAvailableText() {
    static const char* const kBuiltin[] = {"功能不可用", "Function not available", "Funktion nicht verfügbar"};
    const int index = g_LanguageIndex.load();
    const int i = index >= 0 && index <= 2 ? index : 0;
    return LoadCaption(plat::CurrentDirectory(), kLanguageNames[i], "NotAvailableConfig", "NotAvailable.c_Message",
                       kBuiltin[i]);
}

void ReportNotAvailable(const std::string& hook) {
    LogPrintf(GetLogStream(), true, "No hook wired: %s", hook.c_str());
    // A machine key reaches its hook on the reply thread, which never waits on an operator.
    if (plat::IsUiThread()) plat::MessageBoxOk(NotAvailableText(), false, plat::MsgIcon::Information);
    else plat::PostToUi([text = NotAvailableText()] { plat::MessageBoxOk(text, false, plat::MsgIcon::Information); });
}

void HookRegistry::Put(HookEntry entry) {
    for (HookEntry& e : m_entries) {
        if (e.name == entry.name) {
            e = std::move(entry);
            return;
        }
    }
    m_entries.push_back(std::move(entry));
}

HookRegistry& TheHookRegistry() {
    static HookRegistry registry;
    return registry;
}

} // namespace smt
