#include "settings/dialog_captions.h"

#include "platform/files.h"
#include "platform/profile.h"

namespace smt {

DialogCaptions::DialogCaptions(std::string section, std::initializer_list<Entry> builtIn)
    : m_section(std::move(section)), m_builtIn(builtIn), m_texts(builtIn) {}

DialogCaptions::DialogCaptions(std::string section, std::vector<Entry> builtIn)
    : m_section(std::move(section)), m_builtIn(builtIn), m_texts(std::move(builtIn)) {}

void DialogCaptions::Load(const std::string& startFolder, const std::string& languageName) {
    const std::string path = plat::JoinPath(startFolder, languageName + ".ini");
    for (std::size_t i = 0; i < m_builtIn.size(); ++i) {
        m_texts[i].second = plat::GetPrivateProfileString(m_section, m_builtIn[i].first,
                                                          m_builtIn[i].second, 512, path);
    }
}

void DialogCaptions::Reset() { m_texts = m_builtIn; }

const std::string& DialogCaptions::Text(std::string_view key) const {
    static const std::string none;
    for (const Entry& e : m_texts)
        if (e.first == key) return e.second;
    return none;
}

} // namespace smt
