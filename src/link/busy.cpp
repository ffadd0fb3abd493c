#include "link/busy.h"

#include "link/link_state.h"
#include "platform/msgbox.h"

namespace smt {

bool TryClaimBusy() {
    bool expected = false;
    return g_Running.compare_exchange_strong(expected, true);
}

void ReleaseBusy() { g_Running.store(false); }

BusyClaim& BusyClaim::operator=(BusyClaim&& other) noexcept {
    if (this != &other) {
        Release();
        m_owned = other.m_owned;
        other.m_owned = false;
    }
    return *this;
}

BusyClaim BusyClaim::Try() {
    BusyClaim c;
    c.m_owned = TryClaimBusy();
    return c;
}

void BusyClaim::Release() {
    if (m_owned) ReleaseBusy();
    m_owned = false;
}

BusyClaim ClaimMachineAction(bool needHomed) {
    if (!g_Connected.load()) {
        plat::MessageBoxOk("Machine is not connection !", true, plat::MsgIcon::Warning);
        return {};
    }
    if (needHomed && !g_Homed.load()) {
        plat::MessageBoxOk("Machine is not reset !", true, plat::MsgIcon::Warning);
        return {};
    }
    BusyClaim claim = BusyClaim::Try();
    if (!claim) plat::MessageBoxOk("Machine is runnig !", true, plat::MsgIcon::Warning);
    return claim;
}

}  // namespace smt
