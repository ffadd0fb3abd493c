#include "run/nozzle_change.h"

#include <optional>

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/nozzle_library.h"
#include "joblist/smt_strategy.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "run_state/nozzle_work.h"
#include "run/placement_records.h"
#include "run/run_frame.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"

namespace smt {

std::atomic<std::uint8_t> g_LibraryOut{0};

namespace {

bool Refuse(const char* text) {
    plat::MessageBoxOk(text, true);
    return false;
}

class Change {
public:
    Change()
        : m_type(g_MachineType.load()),
          m_nineteen(TheSmtStrategy().Config().m_19NozzleLibrary != 0),
          m_config(TheNozzleLibrary().m_Config),
          m_speeds(TheSpeedTemplates().Table(SpeedType::AutoNozzle)),
          m_distance(ToPulses(m_config.m_Distance, ThePulseFactors().m_Y_Pulse)) {}

    bool Unload(int record, int head, int nozzle) {
        if (head < 1 || head > 8) return Refuse("SMT header error !");
        const auto holder = Holder(nozzle);
        if (!holder) return false;
        if (holder->inHolder) return Refuse("Library has nozzle !");
        const PulsePoint off = HeadOffsetPulses(head);
        const PulsePoint entry{holder->entryX - off.x, holder->entryY - off.y};
        const PulsePoint seat{holder->holderX - off.x, holder->holderY - off.y};
        const std::int32_t depth = holder->headEntryZ[static_cast<std::size_t>(head - 1)];
        if (m_config.m_InAndOutExtern) {
            if (!MoveTo({entry.x, entry.y + m_distance}, 0x80)) return false;
            g_LibraryOut = 1;
        }
        if (m_nineteen) Clamp();
        plat::SleepFor(plat::Millis(200));
        if (!MoveTo(entry, 0x80)) return false;
        if (!MoveZ(head, depth, true)) return false;
        // The books follow the slide into the holder before the stop test: a stop
        // that comes while that move runs must find the nozzle booked as back.
        if (!m_nineteen) {
            if (!Send(seat, 0)) return false;
        } else {
            Clamp();
        }
        {
            std::lock_guard lock(NozzleStateMutex());
            PlacementRecord& r = g_NozzleWork[static_cast<std::size_t>(record - 1)];
            r.head = 0, r.mountedNozzle = 0;
            g_NozzleTable[static_cast<std::size_t>(nozzle - 1)].inHolder = 1;
        }
        if (!PassPauseGate()) return false;
        if (!MoveZ(head, depth, false)) return false;
        if (!m_nineteen && !MoveTo(entry, 0x80)) return false;
        return true;
    }

    bool Load(int record, int head, int nozzle) {
        if (head < 1 || head > 8) return Refuse("SMT header error !");
        const auto holder = Holder(nozzle);
        if (!holder) return false;
        if (!holder->inHolder) return Refuse("Library has no nozzle !");
        const PulsePoint off = HeadOffsetPulses(head);
        const PulsePoint entry{holder->entryX - off.x, holder->entryY - off.y};
        const PulsePoint seat{holder->holderX - off.x, holder->holderY - off.y};
        const std::int32_t depth = holder->headEntryZ[static_cast<std::size_t>(head - 1)];
        if (!MoveTo(entry, 0x80)) return false;
        if (!m_nineteen) {
            if (!MoveTo(seat, 0x80)) return false;
        } else {
            Clamp();
        }
        if (!MoveZ(head, depth, true)) return false;
        if (!m_nineteen && !Send(entry, 0)) return false;
        {
            std::lock_guard lock(NozzleStateMutex());
            PlacementRecord& r = g_NozzleWork[static_cast<std::size_t>(record - 1)];
            r.head = head, r.mountedNozzle = nozzle;
            g_NozzleTable[static_cast<std::size_t>(nozzle - 1)].inHolder = 0;
        }
        if (!PassPauseGate()) return false;
        if (!SendZ(head, depth, false)) return false;
        if (m_nineteen) Clamp();
        if (!PassPauseGate()) return false;
        if (m_config.m_InAndOutExtern) {
            if (!MoveTo({entry.x, entry.y + m_distance}, 0x80)) return false;
            g_LibraryOut = 0;
        }
        return true;
    }

private:
    std::optional<NozzleRecord> Holder(int nozzle) const {
        if (nozzle < 1 || nozzle > kNozzleRecords) {
            Refuse("Library has no nozzle !");
            return std::nullopt;
        }
        std::lock_guard lock(NozzleStateMutex());
        return g_NozzleTable[static_cast<std::size_t>(nozzle - 1)];
    }
    void Clamp() const {
        SetOutput({7, 5, 5});
        plat::SleepFor(plat::Millis(m_config.m_Delay));
    }
    bool Send(PulsePoint target, std::uint8_t flags) const {
        XYAMove m;
        m.xy.dX = static_cast<std::int32_t>(static_cast<std::int64_t>(target.x) - g_PulseX.load());
        m.xy.xSpeed = {m_speeds.m_Start_X, m_speeds.m_Normal_X};
        m.xy.dY = static_cast<std::int32_t>(static_cast<std::int64_t>(target.y) - g_PulseY.load());
        m.xy.ySpeed = {m_speeds.m_Start_Y, m_speeds.m_Normal_Y};
        m.nozzle = 0;
        m.flags = flags;
        return MoveXYA(m);
    }
    bool MoveTo(PulsePoint target, std::uint8_t flags) const { return Send(target, flags) && PassPauseGate(); }
    // Down: heads 1 and 3 of the shared drives stroke with the negated depth.
    bool SendZ(int head, std::int32_t depth, bool down) const {
        SingleAxisMove m;
        if (m_type == 7) {
            m.axis = static_cast<std::uint8_t>(0x20 + head - 1);
            m.speed = {m_speeds.m_Start_Z1, m_speeds.m_Normal_Z1};
        } else if (m_type >= 0 && m_type <= 6) {
            if (head > 4) return Refuse("SMT header error !");
            m.axis = head <= 2 ? 2 : 3;
            m.speed = head <= 2 ? AxisSpeed{m_speeds.m_Start_Z1, m_speeds.m_Normal_Z1}
                                : AxisSpeed{m_speeds.m_Start_Z2, m_speeds.m_Normal_Z2};
            if (head == 1 || head == 3) depth = -depth;
        } else {
            return true;  // these types change no nozzles
        }
        m.delta = down ? depth : -depth;
        return MoveSingleAxis(m);
    }
    bool MoveZ(int head, std::int32_t depth, bool down) const {
        return SendZ(head, depth, down) && PassPauseGate();
    }

    int m_type;
    bool m_nineteen;
    NozzleListConfig m_config;
    SpeedTypeTable m_speeds;
    std::int32_t m_distance;
};

struct Mounted {
    int head = 0, nozzle = 0;
};
Mounted Rec(int k) {
    std::lock_guard lock(NozzleStateMutex());
    const PlacementRecord& r = g_NozzleWork[static_cast<std::size_t>(k - 1)];
    return {r.head, r.mountedNozzle};
}
int M(int k) { return Rec(k).nozzle; }
int R(int k) { return Rec(k).head; }
int S(int k) { return g_NozzleSlots[static_cast<std::size_t>(k - 1)].nozzleTarget; }
int H(int k) { return g_NozzleSlots[static_cast<std::size_t>(k - 1)].headTarget; }
bool Loaded(int k) { return k <= g_LoadedNozzleCount.load() && g_NozzleSlots[static_cast<std::size_t>(k - 1)].row >= 0; }
void SetM(int k, int nozzle) {
    std::lock_guard lock(NozzleStateMutex());
    g_NozzleWork[static_cast<std::size_t>(k - 1)].mountedNozzle = nozzle;
}
bool ChangeK(int k) { return ChangeNozzle(k, R(k), M(k), k, H(k), S(k)); }
bool PutBack(int i) { return ChangeNozzle(i, R(i), M(i), i, H(i), 0); }
bool InHolder(int nozzle) {
    if (nozzle < 1 || nozzle > kNozzleRecords) return false;
    std::lock_guard lock(NozzleStateMutex());
    return g_NozzleTable[static_cast<std::size_t>(nozzle - 1)].inHolder != 0;
}

bool TwoNozzles(bool skipFirstStep) {
    if (!skipFirstStep)
        for (int k = 1; k <= 2; ++k)
            if (Loaded(k) && M(k) != S(k) && M(k) != 0 && !PutBack(k)) return false;
    if (Loaded(1) && M(2) != 0 && S(1) == M(2) && !PutBack(2)) return false;
    if (Loaded(1) && M(1) != S(1) && !ChangeK(1)) return false;
    if (Loaded(2) && M(2) != S(2) && !ChangeK(2)) return false;
    return true;
}

bool KeepHead1() {
    if (!Loaded(1)) return true;
    if (!Loaded(2)) {
        if (S(1) == 1) {
            if (M(1) != 1) SetM(2, M(1));
            return true;
        }
        if (M(1) > 1) return M(1) == S(1) || ChangeNozzle(1, 2, M(1), 1, 2, S(1));
        if (M(2) > 1) return M(2) == S(1) || ChangeNozzle(2, 2, M(2), 1, 2, S(1));
        return S(1) < 2 || ChangeNozzle(1, 2, 0, 1, 2, S(1));
    }
    if (M(1) >= 2) return M(1) == S(2) || ChangeNozzle(1, 2, M(1), 2, 2, S(2));
    if (M(2) >= 2) return M(2) == S(2) || ChangeNozzle(2, 2, M(2), 2, 2, S(2));
    return S(2) < 2 || ChangeNozzle(2, 2, 0, 2, 2, S(2));
}

bool KeepHead2() {
    if (!Loaded(1)) return true;
    if (!Loaded(2)) {
        if (S(1) == 2) {
            if (M(1) != 2) SetM(2, M(1));
            return true;
        }
        if (M(1) != 2) return M(1) == S(1) || ChangeNozzle(1, R(1), M(1), 1, H(1), S(1));
        if (M(2) == 2) return ChangeNozzle(1, R(1), 0, 1, H(1), S(1));
        return M(2) == S(1) || ChangeNozzle(2, R(1), M(2), 1, H(1), S(1));
    }
    if (M(1) != 2) return M(1) == S(2) || ChangeNozzle(1, R(1), M(1), 2, H(1), S(2));
    if (M(2) == 2) return S(2) == 2 || ChangeNozzle(2, R(1), 0, 2, H(1), S(2));
    return M(2) == S(2) || ChangeNozzle(2, R(1), M(2), 2, H(1), S(2));
}

bool SameNozzleHeads(int records, bool fourHeads) {
    const int loaded = g_LoadedNozzleCount.load();
    if (fourHeads && loaded > 4) return Refuse("SMT count error !");
    for (int j = 1; j <= loaded && j <= 8; ++j) {
        if (!Loaded(j)) continue;
        for (int i = 1; i <= records; ++i)
            if (R(i) == H(j) && M(i) != 0 && M(i) != S(j) && !PutBack(i)) return false;
        if (!InHolder(S(j)))
            for (int i = 1; i <= records; ++i)
                if (M(i) == S(j) && !(i == j && R(i) == H(j)) && !PutBack(i)) return false;
    }
    for (int k = 1; k <= 8 && Loaded(k); ++k)
        if (M(k) != S(k) && !ChangeK(k)) return false;
    return true;
}

bool DifferentNozzleHeads(int heads) {
    for (int j = 1; j <= heads; ++j) {
        if (!Loaded(j)) continue;
        for (int i = 1; i <= heads; ++i)
            if (i != j && S(j) != 0 && M(i) == S(j) && !ChangeNozzle(i, i, M(i), i, i, 0)) return false;
    }
    if (Loaded(1) && M(2) != 0 && S(1) == M(2) && !ChangeNozzle(2, 2, M(2), 2, 2, 0)) return false;
    if (Loaded(1) && M(1) != S(1) && !ChangeK(1)) return false;
    for (int k = 2; k <= heads; ++k)
        if (Loaded(k) && M(k) != S(k) && !ChangeNozzle(k, k, M(k), k, k, S(k))) return false;
    return true;
}

} // namespace

bool ChangeNozzle(int ur, int uh, int un, int lr, int lh, int ln) {
    AppendCommTrace(FormatC("unLoadFeed-%d, unLoadHead-%d, unLoadNozzle-%d\r\ninLoadFeed-%d, inLoadHead-%d, inLoadNozzle-%d",
                            ur, uh, un, lr, lh, ln));
    if ((un != 0 && (ur < 1 || ur > kNozzleWorkRecords)) || (ln != 0 && (lr < 1 || lr > kNozzleWorkRecords)))
        return Refuse("SMT header error !");
    Change change;
    if (un != 0 && !change.Unload(ur, uh, un)) return false;
    if (ln != 0 && !change.Load(lr, lh, ln)) return false;
    return true;
}

bool CheckNozzleTypes() {
    const int m = g_MachineType.load();
    const SmtStrategyConfig st = TheSmtStrategy().Config();
    const int mode = st.m_HeaderSelect;
    const int c = st.m_ChangeNozzleSelect;
    const bool pairModel = m == 2 || m == 3 || m == 5 || m == 7;
    if (m == 4 || m == 6 || m == 8 || m == 9) return true;
    if ((m == 3 || m == 7) && mode == 0) return !Loaded(1) || M(1) == S(1) || ChangeK(1);
    if (mode == 0 && (m == 0 || m == 1 || m == 2 || m == 5)) return TwoNozzles(true);
    if (m == 0 || m == 1) return true;
    if ((mode == 1 && pairModel) || (mode == 2 && c == 0 && pairModel)) return TwoNozzles(false);
    if (mode == 2 && pairModel) return c == 1 ? KeepHead1() : KeepHead2();
    if (mode == 3 && (m == 3 || m == 7)) return SameNozzleHeads(m == 7 ? 8 : 4, true);
    if (mode == 6 && m == 7) return SameNozzleHeads(8, false);
    if (mode == 4 && (m == 3 || m == 7)) return DifferentNozzleHeads(4);
    // Eight different nozzles: the same rule over all eight heads.
    if (mode == 7 && m == 7) return DifferentNozzleHeads(8);
    return true;
}

} // namespace smt
