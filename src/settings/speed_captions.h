// Captions of the speed template manager and its pages, read from the caption
// file of the current language ("Chinese.ini", "English.ini", "German.ini" in the
// start folder); a missing key keeps the built-in Chinese text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace smt {

// A fixed list of caption keys with their built-in texts.
class SpeedCaptionTable {
public:
    SpeedCaptionTable(std::string section, std::string keyPrefix,
                      std::vector<std::pair<std::string, std::string>> builtIn);

    // Reads every key of the table, in table order, from `languageName` + ".ini".
    void Load(const std::string& startFolder, const std::string& languageName);
    // The text of `name` (the key less its prefix); "" for a name not in the table.
    const std::string& Text(std::string_view name) const;
    const std::string& Section() const { return m_section; }

private:
    std::string m_section;
    std::string m_prefix;
    std::vector<std::pair<std::string, std::string>> m_texts;  // name, current text
    std::vector<std::string> m_builtIn;
};

// Section "SpeedTemplateConfig", keys "SpeedTemplate.c_" + name: the manager's
// controls and its messages c_Message_01 to c_Message_08.
SpeedCaptionTable MakeSpeedTemplateCaptions();
// Section "SpeedListConfig", keys "SpeedList.c_SpeedList_01" .. "_17": the class
// pages' columns.
SpeedCaptionTable MakeSpeedListCaptions();
// Section "SpeedSetConfig", keys "SpeedSet.c_SpeedSetList_01" .. "_09": the speed
// set page's two columns and seven row captions.
SpeedCaptionTable MakeSpeedSetCaptions();

// "c_SpeedList_01" style names.
std::string NumberedCaption(const char* stem, int number);

// The caption file of a language name: startFolder + "/" + languageName + ".ini".
std::string CaptionFilePath(const std::string& startFolder, const std::string& languageName);

} // namespace smt
