#include "feeders/dropdown_lists.h"

#include <algorithm>

#include "base/numtext.h"
#include "feeders/text_table.h"

namespace smt {

namespace {
void InsertSorted(std::vector<std::string>& list, const std::string& item) {
    list.insert(std::upper_bound(list.begin(), list.end(), item,
                                 [](const std::string& a, const std::string& b) { return LessByCodeUnits(a, b); }),
                item);
}
bool Holds(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}
} // namespace

DialogCaptions DropDownCaptions() {
    return DialogCaptions("DropDownParameterConfig",
                          {{"DropDownParameter.c_DropDownParameter", "常用下拉列表参数"},
                           {"DropDownParameter.c_DataAdd", "添加数据"},
                           {"DropDownParameter.c_DataEdit", "修改数据"},
                           {"DropDownParameter.c_DataDelete", "删除数据"},
                           {"DropDownParameter.c_IDOK", "确定"},
                           {"DropDownParameter.c_IDCANCEL", "取消"},
                           {"DropDownParameter.c_ImportData", "导入数据"},
                           {"DropDownParameter.c_EmptyData", "清空数据"},
                           {"DropDownParameter.c_CheckImportData", "导入PCB文件时数据是否添加到此表单中"},
                           {"DropDownParameter.c_TabList_01", "元件名称"},
                           {"DropDownParameter.c_TabList_02", "元件类型"},
                           {"DropDownParameter.c_TabList_03", "元件封装"},
                           {"DropDownParameter.c_TabList_04", "元件角度"},
                           {"DropDownParameter.c_Message_01", "添加框中没有内容 !"},
                           {"DropDownParameter.c_Message_02", "列表中已存在添加项，请重新输入 !"},
                           {"DropDownParameter.c_Message_03", "修改框中没有内容 !"},
                           {"DropDownParameter.c_Message_04", "没有选中要修改的行 !"},
                           {"DropDownParameter.c_Message_05", "元件名称重复，请修改 !"},
                           {"DropDownParameter.c_Message_06", "元件类型重复，请修改 !"},
                           {"DropDownParameter.c_Message_07", "元件封装重复，请修改 !"},
                           {"DropDownParameter.c_Message_08", "元件角度重复，请修改 !"},
                           {"DropDownParameter.c_Message_09", "没有选定要删除的项 !"},
                           {"DropDownParameter.c_Message_10", "是否确定从元件清单中导入元件名称数据 ?"},
                           {"DropDownParameter.c_Message_11", "导入元件名称提示"}});
}

void DropDownLists::Load(const std::vector<std::string>& lines) {
    for (int i = 0; i < kDropDownLists; ++i) {
        m_lists[i].clear();
        if (i < static_cast<int>(lines.size()))
            for (const std::string& item : SplitRow(lines[i])) InsertSorted(m_lists[i], item);
    }
    m_page = 0;
    m_selected = -1;
}

std::vector<std::string> DropDownLists::BuildLines() const {
    std::vector<std::string> lines;
    for (const auto& list : m_lists) lines.push_back(JoinRow(list));
    return lines;
}

void DropDownLists::SetPage(int page) {
    if (page < 0 || page >= kDropDownLists) return;
    m_page = page;
    m_selected = -1;
}

void DropDownLists::Select(int item) {
    m_selected = item >= 0 && item < static_cast<int>(m_lists[m_page].size()) ? item : -1;
}

bool DropDownLists::IgnoredAngle(const std::string& text) const {
    return m_page == kAnglePage && AtoI(text) >= 360;
}

std::string DropDownLists::Add(const std::string& text) {
    auto& list = m_lists[m_page];
    if (text.empty()) return "DropDownParameter.c_Message_01";
    if (Holds(list, text)) return "DropDownParameter.c_Message_02";
    if (IgnoredAngle(text)) return {};
    list.insert(list.begin(), text);
    if (m_selected >= 0) ++m_selected;
    Mirror({}, text);
    return {};
}

std::string DropDownLists::Modify(const std::string& text) {
    auto& list = m_lists[m_page];
    if (text.empty()) return "DropDownParameter.c_Message_03";
    if (m_selected < 0) return "DropDownParameter.c_Message_04";
    if (Holds(list, text)) return "DropDownParameter.c_Message_0" + std::to_string(5 + m_page);
    if (IgnoredAngle(text)) return {};
    const std::string old = list[m_selected];
    list[m_selected] = text;
    Mirror(old, text);
    m_selected = -1;
    return {};
}

std::string DropDownLists::Delete() {
    auto& list = m_lists[m_page];
    if (m_selected < 0) return "DropDownParameter.c_Message_09";
    Mirror(list[m_selected], {});
    list.erase(list.begin() + m_selected);
    m_selected = -1;
    return {};
}

void DropDownLists::Import(const std::vector<std::string>& names) {
    if (m_page != 0) return;
    for (const std::string& name : names)
        if (!name.empty() && !Holds(m_lists[0], name)) InsertSorted(m_lists[0], name);
}

} // namespace smt
