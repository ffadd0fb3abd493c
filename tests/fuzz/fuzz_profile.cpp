// Arbitrary bytes as a profile file: parsing never fails, and setting one key finds
// that key afterwards while every other section reads exactly as before.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/profile.h"
#include "platform/text.h"

using plat::detail::ProfileSection;

namespace {

bool sameEntries(const ProfileSection& a, const ProfileSection& b) {
    if (a.name != b.name || a.entries.size() != b.entries.size()) return false;
    for (std::size_t i = 0; i < a.entries.size(); ++i)
        if (a.entries[i].key != b.entries[i].key || a.entries[i].value != b.entries[i].value) return false;
    return true;
}

void check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto before = plat::detail::ParseProfileText(bytes);
    std::string updated;
    check(plat::detail::UpdateProfileText(bytes, "Fz", "K", "fuzz 1", updated));
    check(updated.size() > bytes.size() || bytes.find('=') != std::string_view::npos);
    const auto after = plat::detail::ParseProfileText(updated);

    std::size_t target = before.size();
    for (std::size_t i = 0; i < before.size() && target == before.size(); ++i)
        if (plat::EqualsNoCase(before[i].name, "fz")) target = i;
    check(after.size() == before.size() + (target == before.size() ? 1 : 0));
    for (std::size_t i = 0; i < before.size(); ++i)
        if (i != target) check(sameEntries(before[i], after[i]));

    const ProfileSection& sec = after[target];
    check(plat::EqualsNoCase(sec.name, "fz"));
    bool found = false;
    for (std::size_t i = 0; i < sec.entries.size() && !found; ++i) {
        if (!plat::EqualsNoCase(sec.entries[i].key, "k")) continue;
        found = true;
        check(sec.entries[i].value == "fuzz 1");
    }
    check(found);
    return 0;
}
