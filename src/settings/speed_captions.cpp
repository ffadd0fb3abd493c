#include "settings/speed_captions.h"

#include "app/numtext.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "settings/speed_tables.h"

namespace smt {

SpeedCaptionTable::SpeedCaptionTable(std::string section, std::string keyPrefix,
                                     std::vector<std::pair<std::string, std::string>> builtIn)
    : m_section(std::move(section)), m_prefix(std::move(keyPrefix)), m_texts(std::move(builtIn)) {
    for (const auto& entry : m_texts) m_builtIn.push_back(entry.second);
}

void SpeedCaptionTable::Load(const std::string& startFolder, const std::string& languageName) {
    const std::string path = CaptionFilePath(startFolder, languageName);
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
        m_texts[i].second =
            plat::GetPrivateProfileString(m_section, m_prefix + m_texts[i].first, m_builtIn[i], 512, path);
    }
}

const std::string& SpeedCaptionTable::Text(std::string_view name) const {
    static const std::string kNone;
    for (const auto& entry : m_texts) {
        if (entry.first == name) return entry.second;
    }
    return kNone;
}

std::string NumberedCaption(const char* stem, int number) { return stem + FormatC("%02d", number); }

std::string CaptionFilePath(const std::string& startFolder, const std::string& languageName) {
    return plat::JoinPath(startFolder, languageName + ".ini");
}

SpeedCaptionTable MakeSpeedTemplateCaptions() {
    std::vector<std::pair<std::string, std::string>> t = {
        {"c_SpeedTemplate", "速度模板管理"},
        {"c_AddSpeed", "添加速度"},
        {"c_EditSpeed", "修改速度"},
        {"c_DeleteSpeed", "删除速度"},
        {"c_IDOK", "确定"},
        {"c_IDCANCEL", "取消"},
        {"c_FastModifySpeed", "一键修改速度"},
        {"c_MediumSpeedZoom", "中速比例"},
        {"c_MediumSpeedModify", "一键修改"},
        {"c_LowSpeedZoom", "低速比例"},
        {"c_LowSpeedModify", "一键修改"},
        {"c_ModifyResetSpeed", "使能修改复位速度"},
        {"c_ChangeResetSpeed", "一键修改时不改变复位速度，适用于伺服"},
        {"c_OptimizeFarSpeed", "优化较远距离XY加速度"},
        {"c_SpeedValve", "远近速度调和阀"},
        {"c_MaxSpeedLimit", "限制最高速度"},
        {"c_CustomSpeedEdit", "速度自定义编辑框"},
        {"c_SpeedName", "速度名称 ："},
        {"c_HighSpeedTemplate", "高速模板"},
        {"c_MediumSpeedTemplate", "中速模板"},
        {"c_LowSpeedTemplate", "低速模板"},
        {"c_Start", "启动"},
        {"c_Normal", "运行"},
    };
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        t.emplace_back(std::string("c_Motor_") + SpeedDriveKey(d), SpeedDriveEditCaption(d));
    }
    const std::vector<std::pair<std::string, std::string>> rest = {
        {"c_Note", "启动速度要小于正常速度，并调试设定好合理的值，不能使步进电机失步。"},
        {"c_ManualSetting", "手控定位设置"},
        {"c_XY_RunFast", "XY快速定位"},
        {"c_XY_RunMedium", "XY中速定位"},
        {"c_XY_RunSlow", "XY慢速定位"},
        {"c_XY_RunFine", "XY精细定位"},
        {"c_Z_RunFast", "Z 快速定位"},
        {"c_Z_RunMedium", "Z 中速定位"},
        {"c_Z_RunSlow", "Z 慢速定位"},
        {"c_Z_RunFine", "Z 精细定位"},
        {"c_A_RunFast", "A 快速定位"},
        {"c_A_RunMedium", "A 中速定位"},
        {"c_A_RunSlow", "A 慢速定位"},
        {"c_A_RunFine", "A 精细定位"},
        {"c_Feed_RunFast", "飞达快速定位"},
        {"c_Feed_RunMedium", "飞达中速定位"},
        {"c_Feed_RunSlow", "飞达慢速定位"},
        {"c_Feed_RunFine", "飞达精细定位"},
        {"c_S_RunFast", "S快速定位"},
        {"c_S_RunMedium", "S中速定位"},
        {"c_S_RunSlow", "S慢速定位"},
        {"c_S_RunFine", "S精细定位"},
        {"c_SpeedSet", "速度设置"},
        {"c_SpeedHigh", "高速模板"},
        {"c_SpeedMedium", "中速模板"},
        {"c_SpeedLow", "低速模板"},
        {"c_Message_01", "请选择速度模板 !"},
        {"c_Message_02", "请选择要删除的速度 !"},
        {"c_Message_03", "要删除的速度在速度设置里已经被使用，\r\n请先改变速度设置后再删除此速度 !"},
        {"c_Message_04", "速度模板没有内容，请先添加 !"},
        {"c_Message_05", "速度名称不能为空 !"},
        {"c_Message_06", "速度名称不能相同 !"},
        {"c_Message_07", "没有发现对应的速度名称 !"},
        // A file of the manager that could not be written; the file follows on a line of its own.
        {"c_Message_08", "文件无法保存，速度设置没有生效 !"},
    };
    t.insert(t.end(), rest.begin(), rest.end());
    return SpeedCaptionTable("SpeedTemplateConfig", "SpeedTemplate.", std::move(t));
}

SpeedCaptionTable MakeSpeedListCaptions() {
    std::vector<std::pair<std::string, std::string>> t = {{NumberedCaption("c_SpeedList_", 1), "速度名称"}};
    for (int d = 0; d < kSpeedDriveCount; ++d) {
        t.emplace_back(NumberedCaption("c_SpeedList_", d + 2), SpeedDriveListCaption(d));
    }
    return SpeedCaptionTable("SpeedListConfig", "SpeedList.", std::move(t));
}

SpeedCaptionTable MakeSpeedSetCaptions() {
    std::vector<std::pair<std::string, std::string>> t = {
        {NumberedCaption("c_SpeedSetList_", 1), "速度类型"},
        {NumberedCaption("c_SpeedSetList_", 2), "速度设置"},
    };
    for (int k = 0; k < kSpeedTypeCount; ++k) {
        t.emplace_back(NumberedCaption("c_SpeedSetList_", k + 3), SpeedSetRowCaption(k));
    }
    return SpeedCaptionTable("SpeedSetConfig", "SpeedSet.", std::move(t));
}

} // namespace smt
