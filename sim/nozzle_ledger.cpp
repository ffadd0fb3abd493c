// The nozzle library as the board's mechanics see it: which holder holds a
// nozzle and which head carries one. A nozzle changes hands when a head arrives
// at a holder's entry height at the place where the holder lets it go.
#include "machine.h"

#include <cstdlib>

namespace sim {

void Machine::SetNozzleLibrary(std::vector<NozzleHolder> holders, bool nineteen) {
    std::lock_guard lock(m_mutex);
    m_holders = std::move(holders);
    m_nineteen = nineteen;
}

void Machine::SetHeadOffsets(const std::array<std::pair<std::int32_t, std::int32_t>, 8>& offsets) {
    std::lock_guard lock(m_mutex);
    m_headOffsets = offsets;
}

void Machine::SetHeadNozzle(int head, int holder) {
    std::lock_guard lock(m_mutex);
    if (head >= 1 && head <= 8) m_headNozzle[head - 1] = holder;
}

int Machine::HeadNozzle(int head) const {
    std::lock_guard lock(m_mutex);
    return head >= 1 && head <= 8 ? m_headNozzle[head - 1] : 0;
}

std::vector<NozzleHolder> Machine::NozzleHolders() const {
    std::lock_guard lock(m_mutex);
    return m_holders;
}

void Machine::UpdateNozzleLedger(const Drives& before, int output7Before) {
    if (m_holders.empty()) return;
    // Within the holder's tolerance, as its funnel guides a nozzle that is nearly there.
    const auto near = [](std::int64_t a, std::int64_t b, std::int32_t tolerance) {
        return std::llabs(a - b) <= std::llabs(std::int64_t{tolerance});
    };
    const auto at = [&](const Drives& d, int open, int head, const NozzleHolder& h) {
        const std::int64_t x = std::int64_t{d.x} + m_headOffsets[head].first;
        const std::int64_t y = std::int64_t{d.y} + m_headOffsets[head].second;
        if (!near(d.z[head], h.entryZ[head], h.toleranceZ)) return false;
        if (m_nineteen) return open != 0 && near(x, h.entryX, h.toleranceX) && near(y, h.entryY, h.toleranceY);
        return near(x, h.x, h.toleranceX) && near(y, h.y, h.toleranceY);
    };
    const int open = m_outputs.count(7) ? m_outputs[7] : 0;
    for (int head = 0; head < 8; ++head) {
        for (std::size_t k = 0; k < m_holders.size(); ++k) {
            NozzleHolder& h = m_holders[k];
            if (at(before, output7Before, head, h) || !at(m_pos, open, head, h)) continue;
            const int holder = static_cast<int>(k) + 1;
            if (m_headNozzle[head] == 0 && h.holds) {
                m_headNozzle[head] = holder;
                h.holds = false;
                if (m_observer) m_observer->OnNozzleChange(head + 1, holder, true, m_pos);
            } else if (m_headNozzle[head] != 0 && !h.holds) {
                m_headNozzle[head] = 0;
                h.holds = true;
                if (m_observer) m_observer->OnNozzleChange(head + 1, holder, false, m_pos);
            }
        }
    }
}

} // namespace sim
