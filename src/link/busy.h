// The machine's busy flag `g_Running` as one claim: whoever starts a machine
// action claims it atomically, so a panel button and a machine panel key pressed
// together start one action, not two; the claim is released on every path when
// its owner (usually the worker thread it was moved into) ends.
#pragma once

namespace smt {

// true when the flag was free and is now held by the caller.
bool TryClaimBusy();
void ReleaseBusy();

class BusyClaim {
public:
    BusyClaim() = default;  // holds nothing
    ~BusyClaim() { Release(); }
    BusyClaim(BusyClaim&& other) noexcept : m_owned(other.m_owned) { other.m_owned = false; }
    BusyClaim& operator=(BusyClaim&& other) noexcept;
    BusyClaim(const BusyClaim&) = delete;
    BusyClaim& operator=(const BusyClaim&) = delete;

    // Claims the flag; an empty claim when it was held already.
    static BusyClaim Try();
    explicit operator bool() const { return m_owned; }
    void Release();
    // The flag stays set and someone else clears it (a homing: its reply).
    void HandOver() { m_owned = false; }

private:
    bool m_owned = false;
};

// The guards of a machine action, in their order, each refused with its topmost
// box: not connected "Machine is not connection !", when `needHomed` not homed
// "Machine is not reset !", busy "Machine is runnig !". On success the busy flag
// is claimed for the caller (move the claim into the worker).
BusyClaim ClaimMachineAction(bool needHomed);

}  // namespace smt
