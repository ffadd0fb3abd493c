// Captions of menus, dialogs and messages: section, key and built-in Chinese text,
// read from the caption file of the current language in the start folder.
#pragma once

#include <string>
#include <string_view>

namespace smt {

// The buffer every caption and configuration read uses, in UTF-16 units.
inline constexpr std::size_t kProfileBufferChars = 512;
// The default text of configuration reads; it reads as the number 0.
inline constexpr const char* kProfileMissing = "获取配置失败";

// The exact language names; index 0, 1, 2.
inline constexpr const char* kLanguageNames[] = {"Chinese", "English", "German"};

// 0, 1 or 2 for an exact, case-sensitive language name; -1 otherwise.
int LanguageIndexOf(std::string_view name);

// "<start folder>/<language>.ini": the caption file is named by the stored text,
// whatever its letter case ("english" reads english.ini, found without case).
std::string CaptionFilePath(const std::string& startFolder, const std::string& language);

// "<start folder>/config.ini"
std::string ConfigFilePath(const std::string& startFolder);
// Any file of the start folder, looked up without letter case.
std::string StartFolderFile(const std::string& startFolder, std::string_view name);

// One caption: `builtin` when the file, section or key is missing.
std::string LoadCaption(const std::string& startFolder, const std::string& language,
                        const std::string& section, const std::string& key,
                        const std::string& builtin);

// The input check messages of edit fields in the interface language (section
// "InputMessageConfig"); English until a language's texts are loaded.
void LoadInputMessages(const std::string& startFolder, const std::string& language);
std::string InputNumberText();                                  // "Please enter a number."
std::string InputIntegerText();                                 // "Please enter an integer."
std::string InputNumberBetweenText(double low, double high);    // numbers as "%.15g"
std::string InputIntegerBetweenText(long long low, long long high);

// One value of config.ini with the usual missing-value text.
std::string ReadConfig(const std::string& startFolder, const std::string& section,
                       const std::string& key, const std::string& defaultText = kProfileMissing);
bool WriteConfig(const std::string& startFolder, const std::string& section,
                 const std::string& key, const std::string& value);

// "无法写入配置文件: " / "The settings file could not be written: " / "Die
// Einstellungsdatei konnte nicht geschrieben werden: " and the path, in the
// interface language (caption ConfigWrite.c_Failed of the start folder).
std::string ConfigWriteFailedText(const std::string& path);
// A failed write (`ok` false) is logged and told in one message box; returns `ok`.
bool ReportConfigWrite(bool ok, const std::string& path);

} // namespace smt
