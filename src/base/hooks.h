// The hooks that join the subsystems (`std::function` members of the ports and
// services), made enumerable: every hook is registered once with its name and the
// subsystem that fills it, so one check can tell that none is left empty.
//
// Registering a hook is one line:
//
//     r.Add("feeders", "FeedOperationPort.start", TheFeedOperationPort().start);
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace smt {

// What a caller does when the hook it needs is empty (a wiring fault the wiring
// test rules out): a log line naming the hook and the box "功能不可用" /
// "Function not available" / "Funktion nicht verfügbar" in the interface language (posted
// to the user-interface thread when asked from another).
void ReportNotAvailable(const std::string& hook);
// The box text in the interface language (caption NotAvailable.c_Message).
std::string NotAvailableText();

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
    std::function<bool()> filled;
    // Empties the hook; the function returned puts back what it held.
    std::function<std::function<void()>()> takeOut;
};

class HookRegistry {
public:
    // Registers (or registers again: same name, replaced) one hook.
    template <class R, class... A>
    void Add(const std::string& owner, const std::string& name, std::function<R(A...)>& hook) {
        auto* h = &hook;
        Put({owner, name, [h] { return static_cast<bool>(*h); },
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

private:
    void Put(HookEntry entry);
    std::vector<HookEntry> m_entries;
    std::vector<HookPort> m_ports;
};

HookRegistry& TheHookRegistry();

} // namespace smt
