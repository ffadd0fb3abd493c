// Captions of a settings dialog: one section of the language's caption file
// ("Chinese.ini", "English.ini", "German.ini" in the start folder), one key per
// control, each falling back to its built-in Chinese text.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace smt {

class DialogCaptions {
public:
    using Entry = std::pair<std::string, std::string>; // key, built-in text

    DialogCaptions(std::string section, std::initializer_list<Entry> builtIn);
    DialogCaptions(std::string section, std::vector<Entry> builtIn);

    // Reads every key from startFolder/<languageName>.ini; a missing key gets its
    // built-in text back.
    void Load(const std::string& startFolder, const std::string& languageName);
    // Back to the built-in texts.
    void Reset();

    // The caption of `key`; "" for a key this dialog does not have.
    const std::string& Text(std::string_view key) const;
    const std::string& Section() const { return m_section; }
    const std::vector<Entry>& Entries() const { return m_texts; }

private:
    std::string m_section;
    std::vector<Entry> m_builtIn;
    std::vector<Entry> m_texts;
};

} // namespace smt
