#include "base/captions.h"

#include "base/globals.h"
#include "base/log.h"
#include "platform/files.h"
#include "platform/msgbox.h"
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

std::string ConfigWriteFailedText(const std::string& path) {
    static const char* const kBuiltin[] = {"无法写入配置文件:", "The settings file could not be written:",
                                           "Die Einstellungsdatei konnte nicht geschrieben werden:"};
    const int index = g_LanguageIndex.load();
    const int i = index >= 0 && index <= 2 ? index : 0;
    return LoadCaption(plat::CurrentDirectory(), kLanguageNames[i], "ConfigWriteConfig", "ConfigWrite.c_Failed",
                       kBuiltin[i]) + " " + path;
}

bool ReportConfigWrite(bool ok, const std::string& path) {
    if (ok) return true;
    LogPrintf(GetLogStream(), true, "Settings not written: %s", path.c_str());
    plat::MessageBoxOk(ConfigWriteFailedText(path), false, plat::MsgIcon::Error);
    return false;
}

} // namespace smt
