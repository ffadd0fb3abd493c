#include "base/captions.h"

#include <mutex>

#include "base/globals.h"
#include "base/log.h"
#include "base/numtext.h"
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

namespace {

struct InputMessages {
    std::string number = "Please enter a number.";
    std::string integer = "Please enter an integer.";
    std::string numberBetween = "Please enter a number between {low} and {high}.";
    std::string integerBetween = "Please enter an integer between {low} and {high}.";
};
std::mutex g_inputMutex;
InputMessages g_input;

InputMessages CurrentInputMessages() {
    std::lock_guard lock(g_inputMutex);
    return g_input;
}

std::string Between(std::string text, const std::string& low, const std::string& high) {
    if (auto at = text.find("{low}"); at != std::string::npos) text.replace(at, 5, low);
    if (auto at = text.find("{high}"); at != std::string::npos) text.replace(at, 6, high);
    return text;
}

} // namespace

void LoadInputMessages(const std::string& startFolder, const std::string& language) {
    const InputMessages builtIn;
    InputMessages m;
    auto load = [&](const char* key, const std::string& fallback) {
        return LoadCaption(startFolder, language, "InputMessageConfig", key, fallback);
    };
    m.number = load("c_Number", builtIn.number);
    m.integer = load("c_Integer", builtIn.integer);
    m.numberBetween = load("c_NumberBetween", builtIn.numberBetween);
    m.integerBetween = load("c_IntegerBetween", builtIn.integerBetween);
    std::lock_guard lock(g_inputMutex);
    g_input = std::move(m);
}

std::string InputNumberText() { return CurrentInputMessages().number; }
std::string InputIntegerText() { return CurrentInputMessages().integer; }
std::string InputNumberBetweenText(double low, double high) {
    return Between(CurrentInputMessages().numberBetween, FormatC("%.15g", low), FormatC("%.15g", high));
}
std::string InputIntegerBetweenText(long long low, long long high) {
    return Between(CurrentInputMessages().integerBetween, FormatC("%lld", low), FormatC("%lld", high));
}

} // namespace smt
