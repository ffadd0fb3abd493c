#include "settings/speed_editor.h"

#include <algorithm>

#include "base/captions.h"
#include "base/numtext.h"
#include "platform/msgbox.h"
#include "platform/text.h"

namespace smt {

namespace {

std::string RangeMessage(long long low, long long high) {
    return InputIntegerBetweenText(low, high);
}

bool Outside(std::int32_t v, std::int32_t low, std::int32_t high) { return v < low || v > high; }

// The drop-down keeps its names sorted without regard to ASCII letter case.
bool ComboLess(const std::string& a, const std::string& b) {
    return plat::AsciiLower(a) < plat::AsciiLower(b);
}

int ClassOfPage(int page) { return page >= 1 && page <= 3 ? page - 1 : -1; }

} // namespace

std::string CheckSpeedTemplateFields(const SpeedTemplateFields& fields) {
    const SpeedTemplateSettings& s = fields.settings;
    if (Outside(s.m_MediumSpeedZoom, 1, 99) || Outside(s.m_LowSpeedZoom, 1, 99)) return RangeMessage(1, 99);
    if (Outside(s.m_AccelSpeed, 1, 100)) return RangeMessage(1, 100);
    if (Outside(s.m_MaxSpeedLimitValue, 10, 100)) return RangeMessage(10, 100);
    for (int gear = 0; gear < kSpeedGearCount; ++gear) {
        for (int g = 0; g < kJogGroupCount; ++g) {
            const auto group = static_cast<JogGroup>(g);
            const std::int32_t high = group == JogGroup::A && gear == 0 ? 100000 : 10000;
            if (Outside(JogStep(s, gear, group), 1, high)) return RangeMessage(1, high);
        }
    }
    if (plat::Utf8ToUtf16(fields.m_SpeedName).size() > static_cast<std::size_t>(kSpeedNameMaxChars)) {
        return FormatC("Enter no more than %d characters.", kSpeedNameMaxChars);
    }
    for (std::int32_t v : fields.m_TemplateEdit) {
        if (Outside(v, 1, 255)) return RangeMessage(1, 255);
    }
    return {};
}

SpeedTemplateEditor::SpeedTemplateEditor(SpeedTemplates& live, FigLists& lists, std::string startFolder,
                                         int language)
    : m_live(live),
      m_lists(lists),
      m_startFolder(std::move(startFolder)),
      m_language(language),
      m_captions(MakeSpeedTemplateCaptions()) {}

void SpeedTemplateEditor::LoadLanguage(const std::string& languageName) {
    m_captions.Load(m_startFolder, languageName);
}

void SpeedTemplateEditor::Open(int page) {
    m_CurrentPage = page;
    m_bExpanded = false;
    m_SelectedRow = -1;
    m_SelectedName.clear();
    m_editEnabled = {true, true, true};
    m_fields.settings = m_live.Settings();
    m_tables = m_live.Templates();

    m_comboNames.clear();
    for (const auto& row : m_tables.m_HighSpeedTable) InsertComboName(TranslateSpeedName(row[0], m_language));

    m_speedSet = {};
    const std::vector<std::string> names = SplitRow(m_lists.speedSetNames);
    for (std::size_t k = 0; k < names.size() && k < m_speedSet.size(); ++k) {
        m_speedSet[k] = TranslateSpeedName(names[k], m_language);
    }
}

void SpeedTemplateEditor::Message(const char* key, const std::string& detail) const {
    std::string text = m_captions.Text(key);
    if (!detail.empty()) text += "\r\n" + detail;
    plat::MessageBoxOk(text);
}

bool SpeedTemplateEditor::FieldsInRange() const {
    const std::string problem = CheckSpeedTemplateFields(m_fields);
    if (problem.empty()) return true;
    plat::MessageBoxOk(problem, false, plat::MsgIcon::Warning);
    return false;
}

void SpeedTemplateEditor::Publish() { m_live.SetTemplates(m_tables); }

void SpeedTemplateEditor::InsertComboName(const std::string& name) {
    auto at = std::upper_bound(m_comboNames.begin(), m_comboNames.end(), name, ComboLess);
    m_comboNames.insert(at, name);
}

SpeedTemplateRow SpeedTemplateEditor::RowFromEdit(int cls, const std::string& name) const {
    SpeedTemplateRow row;
    row[0] = name;
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        row[1 + d] = FormatSpeedCell(m_fields.Edit(cls, d, false), m_fields.Edit(cls, d, true));
    }
    return row;
}

bool SpeedTemplateEditor::PickTemplate(int cls, int row) {
    if (cls < 0 || cls >= kSpeedClassCount || row < 0 || row >= m_tables.Count()) return false;
    // The first template is the reset speed: editable only when asked for.
    if (row == 0 && m_fields.settings.m_bModifyResetSpeed == 0) return false;
    const SpeedTemplateRow& picked = m_tables.Class(cls)[row];
    m_SelectedRow = row;
    m_SelectedName = picked[0];
    m_bExpanded = true;
    m_fields.m_SpeedName = picked[0];
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        const SpeedPair pair = ParseSpeedCell(picked[1 + d]);
        m_fields.Edit(cls, d, false) = pair.start;
        m_fields.Edit(cls, d, true) = pair.run;
    }
    for (int c = 0; c < kSpeedClassCount; ++c) m_editEnabled[c] = c == cls;
    return true;
}

bool SpeedTemplateEditor::AddSpeed() {
    if (!FieldsInRange()) return false;
    const std::string& name = m_fields.m_SpeedName;
    if (name.empty()) {
        Message("SpeedTemplate.c_Message_05");
        return false;
    }
    for (const auto& row : m_tables.m_HighSpeedTable) {
        if (row[0] == name) {
            Message("SpeedTemplate.c_Message_06");
            return false;
        }
    }
    InsertComboName(name);
    for (int cls = 0; cls < kSpeedClassCount; ++cls) m_tables.Class(cls).push_back(RowFromEdit(cls, name));
    Collapse();
    Publish();
    return true;
}

bool SpeedTemplateEditor::EditSpeed() {
    if (m_SelectedRow < 0 || m_SelectedRow >= m_tables.Count()) return false;
    if (!FieldsInRange()) return false;
    const std::string name = m_fields.m_SpeedName;
    for (int cls = 0; cls < kSpeedClassCount; ++cls) m_tables.Class(cls)[m_SelectedRow][0] = name;
    const int front = ClassOfPage(m_CurrentPage);
    if (front >= 0) m_tables.Class(front)[m_SelectedRow] = RowFromEdit(front, name);
    if (name != m_SelectedName) RenameTemplate(m_SelectedName, name);
    Publish();
    m_lists.speedSetNames = SpeedSetLine();
    Collapse();
    m_SelectedRow = -1;
    return true;
}

bool SpeedTemplateEditor::DeleteSpeed() {
    if (m_SelectedRow < 0 || m_SelectedRow >= m_tables.Count()) {
        Message("SpeedTemplate.c_Message_02");
        return false;
    }
    if (IsTemplateUsed(m_SelectedName)) {
        Message("SpeedTemplate.c_Message_03");
        return false;
    }
    auto at = std::find(m_comboNames.begin(), m_comboNames.end(), m_SelectedName);
    if (at != m_comboNames.end()) m_comboNames.erase(at);
    for (int cls = 0; cls < kSpeedClassCount; ++cls) {
        auto& rows = m_tables.Class(cls);
        rows.erase(rows.begin() + m_SelectedRow);
    }
    Publish();
    m_lists.speedSetNames = SpeedSetLine();
    Collapse();
    m_SelectedRow = -1;
    return true;
}

bool SpeedTemplateEditor::ScaleClass(int cls) {
    if (cls != 1 && cls != 2) return false;
    if (!FieldsInRange()) return false;
    if (m_tables.Count() == 0) {
        Message("SpeedTemplate.c_Message_04");
        return false;
    }
    const int percent = cls == 1 ? m_fields.settings.m_MediumSpeedZoom : m_fields.settings.m_LowSpeedZoom;
    const auto& high = m_tables.m_HighSpeedTable;
    auto& target = m_tables.Class(cls);
    // Servo drives keep their reset speed when asked: the first template stays.
    const int first = m_fields.settings.m_ChangeResetSpeed != 0 ? 1 : 0;
    for (int i = first; i < m_tables.Count(); ++i) {
        for (int d = 1; d < kSpeedTemplateCells; ++d) {
            std::string scaled;
            if (ScaleSpeedCell(high[i][d], percent, scaled)) target[i][d] = scaled;
        }
    }
    Publish();
    return true;
}

void SpeedTemplateEditor::SetSpeedSetCell(int type, const std::string& name) {
    if (type >= 0 && type < kSpeedTypeCount) m_speedSet[type] = name;
}

std::string SpeedTemplateEditor::SpeedSetLine() const {
    return JoinRow(std::vector<std::string>(m_speedSet.begin(), m_speedSet.end()));
}

bool SpeedTemplateEditor::IsTemplateUsed(const std::string& name) const {
    return std::find(m_speedSet.begin(), m_speedSet.end(), name) != m_speedSet.end();
}

void SpeedTemplateEditor::RenameTemplate(const std::string& oldName, const std::string& newName) {
    for (auto& cell : m_speedSet) {
        if (cell == oldName) cell = newName;
    }
    auto at = std::find(m_comboNames.begin(), m_comboNames.end(), oldName);
    if (at != m_comboNames.end()) *at = newName;
}

ConfirmResult SpeedTemplateEditor::Confirm() {
    // With the speed set page in front no class is chosen: refuse before anything
    // is stored, so the active class never becomes 0.
    const int cls = ClassOfPage(m_CurrentPage);
    if (cls < 0) {
        Message("SpeedTemplate.c_Message_01");
        return ConfirmResult::StayOpen;
    }
    if (!FieldsInRange()) return ConfirmResult::StayOpen;

    // The template file first: when it cannot be written nothing else changes and
    // the manager stays open, so the operator loses no edit.
    FigLists speedFile;
    speedFile.speedSetNames = SpeedSetLine();
    speedFile.speed = m_tables.ToRows();
    TableFileError error;
    if (!SaveTableFile(m_startFolder, TableFile::Speed, speedFile, error)) {
        Message("SpeedTemplate.c_Message_08", TableFileSaveErrorText(error));
        return ConfirmResult::StayOpen;
    }
    m_lists.speedSetNames = std::move(speedFile.speedSetNames);
    m_lists.speed = std::move(speedFile.speed);

    SpeedTemplateSettings settings = m_fields.settings;
    settings.m_SpeedMenuCheck = m_CurrentPage;
    m_fields.settings = settings;
    m_live.SetSettings(settings);
    bool iniWritten = SaveSpeedTemplateConfig(m_startFolder, settings);

    const auto& rows = m_tables.Class(cls);
    for (int k = 0; k < kSpeedTypeCount; ++k) {
        const auto type = static_cast<SpeedType>(k);
        SpeedTypeTable table = m_live.Table(type);
        const DeriveResult result = SaveSpeedTypeConfig(m_startFolder, m_speedSet[k], SpeedTypeName(k), rows, table);
        if (result == DeriveResult::NameNotFound) {
            Message("SpeedTemplate.c_Message_07");
            continue;
        }
        if (result == DeriveResult::WriteFailed) iniWritten = false;
        m_live.SetTable(type, table);
    }
    if (!iniWritten) {
        Message("SpeedTemplate.c_Message_08", SpeedConfigPath(m_startFolder));
        return ConfirmResult::StayOpen;
    }
    return ConfirmResult::Closed;
}

} // namespace smt
