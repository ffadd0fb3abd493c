// A config.ini section as a table of keys, each bound to a length or an integer
// member: read with the settings readers' default text (a missing key is 0) and
// written with "%0.4f" for lengths and "%d" for integers.
#pragma once

#include <span>
#include <string>

#include "base/numtext.h"
#include "platform/profile.h"

namespace smt {

template <typename T>
struct SectionKey {
    const char* key;
    double T::*length;  // null for an integer
    int T::*integer;
};

template <typename T>
void LoadSectionKeys(T& values, const char* section, std::span<const SectionKey<T>> keys,
                     const std::string& configPath) {
    for (const SectionKey<T>& k : keys) {
        const std::string text = plat::GetPrivateProfileString(section, k.key, "获取配置失败", 512, configPath);
        if (k.length) values.*k.length = AtoF(text);
        else values.*k.integer = AtoI(text);
    }
}

// False when a write failed. All keys go into the file at once.
template <typename T>
bool SaveSectionKeys(const T& values, const char* section, std::span<const SectionKey<T>> keys,
                     const std::string& configPath) {
    plat::ProfileBatch batch(configPath);  // the whole section in one write
    bool ok = true;
    for (const SectionKey<T>& k : keys) {
        const std::string text = k.length ? FormatMm(values.*k.length) : FormatInt(values.*k.integer);
        ok = plat::WritePrivateProfileString(section, k.key, text, configPath) && ok;
    }
    return batch.Commit() && ok;
}

} // namespace smt
