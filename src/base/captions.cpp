#include "base/captions.h"

#include "platform/files.h"
#include "platform/profile.h"

namespace smt {

int LanguageIndexOf(std::string_view name) {
    for (int i = 0; i < 3; ++i)
        if (name == kLanguageNames[i]) return i;
    return -1;
}

std::string StartFolderFile(const std::string& startFolder, std::string_view name) {
    return plat::ResolvePath(plat::JoinPath(startFolder, name));
}

std::string CaptionFilePath(const std::string& startFolder, const std::string& language) {
    return StartFolderFile(startFolder, language + ".ini");
}

std::string ConfigFilePath(const std::string& startFolder) {
    return StartFolderFile(startFolder, "config.ini");
}

std::string LoadCaption(const std::string& startFolder, const std::string& language,
                        const std::string& section, const std::string& key,
                        const std::string& builtin) {
    return plat::GetPrivateProfileString(section, key, builtin, kProfileBufferChars,
                                         CaptionFilePath(startFolder, language));
}

std::string ReadConfig(const std::string& startFolder, const std::string& section,
                       const std::string& key, const std::string& defaultText) {
    return plat::GetPrivateProfileString(section, key, defaultText, kProfileBufferChars,
                                         ConfigFilePath(startFolder));
}

bool WriteConfig(const std::string& startFolder, const std::string& section,
                 const std::string& key, const std::string& value) {
    return plat::WritePrivateProfileString(section, key, value, ConfigFilePath(startFolder));
}

} // namespace smt
