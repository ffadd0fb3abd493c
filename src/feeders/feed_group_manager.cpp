#include "feeders/feed_group_manager.h"

#include "feeders/feed_group_file.h"
#include "platform/msgbox.h"

namespace smt {

FeedGroupManager::FeedGroupManager(FeedGroupTable& table)
    : captions("FeedGroupConfig",
               {{"FeedGroup.c_FeedGroup", "料架模组"}, {"FeedGroup.c_FeedGroupAdd", "添加料架组"},
                {"FeedGroup.c_FeedGroupCopy", "复制料架组"}, {"FeedGroup.c_FeedGroupEdit", "修改料架组"},
                {"FeedGroup.c_FeedGroupDelete", "删除料架组"}, {"FeedGroup.c_FeedGroupOpen", "打开料架组"},
                {"FeedGroup.c_IDOK", "确定"}, {"FeedGroup.c_IDCANCEL", "取消"},
                {"FeedGroup.c_FeedGroupName", "料架组名称："}, {"FeedGroup.c_FeedGroupContent", "内容介绍说明："},
                {"FeedGroup.c_FeedGroupList_01", "料架组名称"}, {"FeedGroup.c_FeedGroupList_02", "料架组介绍说明"},
                {"FeedGroup.c_Message_01", "你增加的料架组过多，请保存文件后关闭软件，重新打开软件可以再增加10个料架组 !"},
                {"FeedGroup.c_Message_02", "料架名称不能为空 !"}, {"FeedGroup.c_Message_03", "料架名称不能相同 !"},
                {"FeedGroup.c_Message_04", "请选择要修改的料架组 !"}, {"FeedGroup.c_Message_05", "料架组名称不能为空 !"},
                {"FeedGroup.c_Message_06", "料架组已经存在 !"}, {"FeedGroup.c_Message_07", "请选择要删除的料架组 !"},
                {"FeedGroup.c_Message_08", "请选择要打开的料架组 !"}, {"FeedGroup.c_Message_09", kNoFeedGroupArrayText},
                {"FeedGroup.c_Message_10", "不能删除正在使用的料架组 !"}}),
      m_table(table) {}

void FeedGroupManager::Initialise() {
    rows.clear();
    for (int slot = 0; slot < m_table.Capacity(); ++slot)
        if (auto g = m_table.CopyGroup(slot); g && g->Used()) rows.push_back({g->name, g->description});
    selected = -1;
    expanded = false;
    focus = Focus::None;
}

void FeedGroupManager::ClickRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    expanded = true;
    selected = row;
    nameField = rows[static_cast<std::size_t>(row)].name;
    descriptionField = rows[static_cast<std::size_t>(row)].description;
}

bool FeedGroupManager::Refuse(const char* message, Focus f) {
    focus = f;
    plat::MessageBoxOk(Text(message));
    return false;
}

bool FeedGroupManager::Listed(const std::string& name, int except) const {
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        if (i != except && rows[static_cast<std::size_t>(i)].name == name) return true;
    return false;
}

void FeedGroupManager::Done() {
    nameField.clear();
    descriptionField.clear();
    expanded = false;
    focus = Focus::None;
}

bool FeedGroupManager::Add() {
    if (static_cast<int>(rows.size()) >= m_table.Capacity()) return Refuse("c_Message_01");
    if (nameField.empty()) return Refuse("c_Message_02", Focus::Name);
    if (Listed(nameField)) return Refuse("c_Message_03", Focus::NameSelected);
    if (m_table.AddFeedGroup(nameField, descriptionField) < 0) return Refuse("c_Message_01");
    rows.push_back({nameField, descriptionField});
    Done();
    return true;
}

bool FeedGroupManager::Copy() {
    if (selected < 0 || selected >= static_cast<int>(rows.size())) return Refuse("c_Message_04");
    if (static_cast<int>(rows.size()) >= m_table.Capacity()) return Refuse("c_Message_01");
    if (nameField.empty()) return Refuse("c_Message_05", Focus::Name);
    if (Listed(nameField)) return Refuse("c_Message_06", Focus::NameSelected);
    if (m_table.AddFeedGroup(nameField, descriptionField) < 0) return Refuse("c_Message_01");
    m_table.CopyFeedGroupRows(rows[static_cast<std::size_t>(selected)].name, nameField);
    rows.push_back({nameField, descriptionField});
    Done();
    return true;
}

bool FeedGroupManager::Rename(bool* openRenamed) {
    if (openRenamed) *openRenamed = false;
    if (selected < 0 || selected >= static_cast<int>(rows.size())) return Refuse("c_Message_04");
    if (nameField.empty()) return Refuse("c_Message_05", Focus::Name);
    if (Listed(nameField, selected)) return Refuse("c_Message_06", Focus::NameSelected);
    Row& row = rows[static_cast<std::size_t>(selected)];
    if (!m_table.RenameFeedGroup(row.name, nameField, descriptionField, openRenamed)) return Refuse("c_Message_06");
    row = {nameField, descriptionField};
    selected = -1;
    Done();
    return true;
}

bool FeedGroupManager::Delete() {
    if (selected < 0 || selected >= static_cast<int>(rows.size())) return Refuse("c_Message_07");
    const std::string name = rows[static_cast<std::size_t>(selected)].name;
    if (name == m_table.OpenGroupName()) return Refuse("c_Message_10");
    m_table.DeleteFeedGroup(name);
    rows.erase(rows.begin() + selected);
    selected = -1;
    Done();
    return true;
}

bool FeedGroupManager::Open() {
    if (selected < 0 || selected >= static_cast<int>(rows.size())) return Refuse("c_Message_08");
    m_table.SetOpenGroupName(rows[static_cast<std::size_t>(selected)].name);
    selected = -1;
    expanded = false;
    return true;
}

} // namespace smt
