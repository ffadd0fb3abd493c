// What the speed template manager does, without any widget: the template lists,
// the speed set, the edit area's fields and the operations behind the manager's
// buttons. The dialog shows this state and hands every click to it.
//
// Pages: 0 speed set, 1 high, 2 medium, 3 low; class = page - 1.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/tablefile.h"
#include "settings/speed_captions.h"
#include "settings/speed_template.h"

namespace smt {

inline constexpr int kSpeedEditValues = kSpeedClassCount * 2 * kSpeedDriveCount;  // 96
inline constexpr int kSpeedNameMaxChars = 30;

// The fields of the dialog as read back from its controls.
struct SpeedTemplateFields {
    SpeedTemplateSettings settings;  // m_SpeedMenuCheck is set by confirmation only
    std::string m_SpeedName;
    // High, medium, low; in each class start then run per drive in drive order.
    std::array<std::int32_t, kSpeedEditValues> m_TemplateEdit{};

    SpeedTemplateFields() { m_TemplateEdit.fill(1); }
    std::int32_t& Edit(int cls, int drive, bool run) { return m_TemplateEdit[cls * 32 + drive * 2 + (run ? 1 : 0)]; }
    std::int32_t Edit(int cls, int drive, bool run) const {
        return m_TemplateEdit[cls * 32 + drive * 2 + (run ? 1 : 0)];
    }
};

// "" when every field is in its range, else the operator's message for the first
// field that is not.
std::string CheckSpeedTemplateFields(const SpeedTemplateFields& fields);

enum class ConfirmResult { Closed, StayOpen };

class SpeedTemplateEditor {
public:
    // `lists` are the frame's table rows: the speed-set names and speed rows.
    SpeedTemplateEditor(SpeedTemplates& live, FigLists& lists, std::string startFolder, int language);

    // Captions and messages of the language (`languageName` "Chinese", ...).
    void LoadLanguage(const std::string& languageName);
    const DialogCaptions& Captions() const { return m_captions; }

    // Opening: the page in front, the lists from the live tables and the frame's
    // speed-set names, the settings into the fields; collapsed, nothing picked.
    void Open(int page);
    void SelectPage(int page) { m_CurrentPage = page; }

    SpeedTemplateFields& Fields() { return m_fields; }
    const SpeedTemplateFields& Fields() const { return m_fields; }

    // A click on row `row` of class `cls`'s list; false when refused (silently).
    bool PickTemplate(int cls, int row);
    // The pointer enters "添加速度".
    void PointerEntersAdd() { m_bExpanded = true; }
    // "使能修改复位速度" clicked.
    void SetModifyResetSpeed(bool on) { m_fields.settings.m_bModifyResetSpeed = on ? 1 : 0; }
    bool ChangeResetSpeedEnabled() const { return m_fields.settings.m_bModifyResetSpeed != 0; }

    bool AddSpeed();
    bool EditSpeed();
    bool DeleteSpeed();
    // One-key scale of class 1 (medium) or 2 (low) from the high class.
    bool ScaleClass(int cls);
    // A name chosen in column 1 of speed-set row `type`.
    void SetSpeedSetCell(int type, const std::string& name);
    ConfirmResult Confirm();

    int CurrentPage() const { return m_CurrentPage; }
    bool Expanded() const { return m_bExpanded; }
    int SelectedRow() const { return m_SelectedRow; }
    const std::string& SelectedName() const { return m_SelectedName; }
    bool EditEnabled(int cls) const { return m_editEnabled[cls]; }
    const SpeedTemplateTables& Tables() const { return m_tables; }
    const std::array<std::string, kSpeedTypeCount>& SpeedSet() const { return m_speedSet; }
    // The speed set's drop-down: template names in alphabetical order.
    const std::vector<std::string>& ComboNames() const { return m_comboNames; }
    // The seven names, each followed by a tab.
    std::string SpeedSetLine() const;
    bool IsTemplateUsed(const std::string& name) const;

private:
    void Message(const char* key, const std::string& detail = {}) const;
    bool FieldsInRange() const;
    void RenameTemplate(const std::string& oldName, const std::string& newName);
    void InsertComboName(const std::string& name);
    void Publish();
    void Collapse() { m_bExpanded = false; }
    SpeedTemplateRow RowFromEdit(int cls, const std::string& name) const;

    SpeedTemplates& m_live;
    FigLists& m_lists;
    std::string m_startFolder;
    int m_language;
    DialogCaptions m_captions;

    int m_CurrentPage = 0;
    bool m_bExpanded = false;
    int m_SelectedRow = -1;
    std::string m_SelectedName;
    std::array<bool, kSpeedClassCount> m_editEnabled{true, true, true};
    SpeedTemplateFields m_fields;
    SpeedTemplateTables m_tables;
    std::array<std::string, kSpeedTypeCount> m_speedSet;
    std::vector<std::string> m_comboNames;
};

} // namespace smt
