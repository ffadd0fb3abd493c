// The feeder-group manager's state and commands without a widget: the listed
// groups, the selected row, the two fields, the collapsed or expanded height and
// the add, copy, rename, delete and open commands with their refusals.
#pragma once

#include <string>
#include <vector>

#include "feeders/feed_group_table.h"
#include "settings/dialog_captions.h"

namespace smt {

class FeedGroupManager {
public:
    explicit FeedGroupManager(FeedGroupTable& table);

    struct Row {
        std::string name, description;
    };
    enum class Focus { None, Name, NameSelected };  // where a refusal puts the focus

    DialogCaptions captions;  // FeedGroupConfig
    std::vector<Row> rows;
    int selected = -1;
    bool expanded = false;
    std::string nameField, descriptionField;
    Focus focus = Focus::None;

    const std::string& Text(const std::string& name) const { return captions.Text("FeedGroup." + name); }
    void LoadLanguage(const std::string& startFolder, const std::string& language) {
        captions.Load(startFolder, language);
    }

    // Each opening: the used slots in slot order, collapsed, no selected row.
    void Initialise();
    void Expand() { expanded = true; }
    // A click on a row (-1 beside the rows changes nothing).
    void ClickRow(int row);

    bool Add();
    bool Copy();
    // `openRenamed`: the open group was renamed (the feeder list's field follows).
    bool Rename(bool* openRenamed = nullptr);
    bool Delete();
    // Makes the selected group the open group; the caller closes the dialog and
    // shows it in the feeder list.
    bool Open();

private:
    bool Refuse(const char* message, Focus f = Focus::None);
    bool Listed(const std::string& name, int except = -1) const;
    void Done();

    FeedGroupTable& m_table;
};

} // namespace smt
