// The hooks that join the subsystems (`std::function` members of the ports and
// services), made enumerable: every hook is registered once with its name and the
// subsystem that fills it, so one check can tell that none is left empty.
//
// A hook whose subsystem is not built yet holds a stand-in instead of nothing:
// an operator action tells the operator "not available yet" and logs it; a query
// or a display update made in the course of another action logs once and answers
// its neutral value. Registering a hook is one line:
//
//     r.Add("feeders", "FeedOperationPort.start", TheFeedOperationPort().start);
//     r.Add("job lists", "SettingsRederivations.findCurrentPcbIndex",
//           TheSettingsRederivations().findCurrentPcbIndex, HookKind::Query, -1);
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace smt {

enum class HookKind {
    Action,  // started by the operator: a stand-in shows "not available yet"
    Query,   // asked in passing: a stand-in logs once and answers its neutral value
};

// The stand-in's report: a log line naming the hook, and for an action the box
// "功能尚未提供" / "Not available yet" / "Noch nicht verfügbar" in the interface
// language (posted to the user-interface thread when asked from another). A
// query logs only its first call.
void ReportNotAvailable(const std::string& hook, HookKind kind);
// The box text in the interface language (caption NotAvailable.c_Message).
std::string NotAvailableText();

template <class Sig>
struct NotAvailableFn;

template <class R, class... A>
struct NotAvailableFn<R(A...)> {
    std::string hook;
    HookKind kind = HookKind::Action;
    // A result that cannot be copied (a new object) is answered empty.
    static constexpr bool kKeepsAnswer = !std::is_void_v<R> && std::is_copy_constructible_v<R>;
    std::conditional_t<kKeepsAnswer, R, int> answer{};
    R operator()(A...) const {
        ReportNotAvailable(hook, kind);
        if constexpr (kKeepsAnswer) return answer;
        else if constexpr (!std::is_void_v<R>) return R{};
    }
};

namespace detail {
// Converts to any member type: counts the members of an aggregate.
struct AnyMember {
    template <class T>
    operator T() const;
};
template <class T, class... A>
constexpr std::size_t CountMembers() {
    if constexpr (requires { T{A{}..., AnyMember{}}; }) return CountMembers<T, A..., AnyMember>();
    else return sizeof...(A);
}
} // namespace detail

// The number of members of a hook struct (every member is a hook).
template <class Port>
inline constexpr std::size_t kHookMembers = detail::CountMembers<Port>();

// A hook struct as declared: its name and how many hooks it has, so that a
// member left out of its registration list is seen.
struct HookPort {
    std::string name;
    std::size_t members = 0;
};

struct HookEntry {
    std::string owner;  // the subsystem that fills it
    std::string name;   // "<struct>.<member>"
    HookKind kind = HookKind::Action;
    std::function<bool()> filled;
    std::function<bool()> holdsStandIn;
    std::function<void()> fillStandIn;
    // Empties the hook; the function returned puts back what it held.
    std::function<std::function<void()>()> takeOut;
};

class HookRegistry {
public:
    // Registers (or registers again: same name, replaced) one hook. `answer` is
    // what a query's stand-in returns (default: a value-initialised result).
    template <class R, class... A, class... D>
    void Add(const std::string& owner, const std::string& name, std::function<R(A...)>& hook,
             HookKind kind = HookKind::Action, D&&... answer) {
        using Fn = NotAvailableFn<R(A...)>;
        Fn standIn{name, kind};
        if constexpr (sizeof...(D) > 0) standIn.answer = (std::forward<D>(answer), ...);
        auto* h = &hook;
        Put({owner, name, kind, [h] { return static_cast<bool>(*h); },
             [h] { return h->template target<Fn>() != nullptr; },
             [h, standIn] { *h = standIn; },
             [h] {
                 std::function<R(A...)> held = std::exchange(*h, nullptr);
                 return std::function<void()>([h, held] { *h = held; });
             }});
    }

    // Declares a hook struct whose members are registered as "<name>.<member>".
    template <class Port>
    void Declare(const std::string& name, const Port&) {
        for (HookPort& p : m_ports)
            if (p.name == name) return;
        m_ports.push_back({name, kHookMembers<Port>});
    }

    const std::vector<HookEntry>& Entries() const { return m_entries; }
    const std::vector<HookPort>& Ports() const { return m_ports; }
    // Fills every still empty hook of `owner` with its stand-in.
    void FillStandIns(const std::string& owner);

private:
    void Put(HookEntry entry);
    std::vector<HookEntry> m_entries;
    std::vector<HookPort> m_ports;
};

HookRegistry& TheHookRegistry();

} // namespace smt
