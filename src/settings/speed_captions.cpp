#include "settings/speed_captions.h"

#include "base/numtext.h"

namespace smt {

std::string NumberedCaption(const char* stem, int number) { return stem + FormatC("%02d", number); }

DialogCaptions MakeSpeedTemplateCaptions() {
    // The manager's controls in loading order, then its messages.
    return DialogCaptions("SpeedTemplateConfig", {
        {"SpeedTemplate.c_SpeedTemplate", "速度模板管理"},
        {"SpeedTemplate.c_AddSpeed", "添加速度"},
        {"SpeedTemplate.c_EditSpeed", "修改速度"},
        {"SpeedTemplate.c_DeleteSpeed", "删除速度"},
        {"SpeedTemplate.c_IDOK", "确定"},
        {"SpeedTemplate.c_IDCANCEL", "取消"},
        {"SpeedTemplate.c_FastModifySpeed", "一键修改速度"},
        {"SpeedTemplate.c_MediumSpeedZoom", "中速比例"},
        {"SpeedTemplate.c_MediumSpeedModify", "一键修改"},
        {"SpeedTemplate.c_LowSpeedZoom", "低速比例"},
        {"SpeedTemplate.c_LowSpeedModify", "一键修改"},
        {"SpeedTemplate.c_ModifyResetSpeed", "使能修改复位速度"},
        {"SpeedTemplate.c_ChangeResetSpeed", "一键修改时不改变复位速度，适用于伺服"},
        {"SpeedTemplate.c_OptimizeFarSpeed", "优化较远距离XY加速度"},
        {"SpeedTemplate.c_SpeedValve", "远近速度调和阀"},
        {"SpeedTemplate.c_MaxSpeedLimit", "限制最高速度"},
        {"SpeedTemplate.c_CustomSpeedEdit", "速度自定义编辑框"},
        {"SpeedTemplate.c_SpeedName", "速度名称 ："},
        {"SpeedTemplate.c_HighSpeedTemplate", "高速模板"},
        {"SpeedTemplate.c_MediumSpeedTemplate", "中速模板"},
        {"SpeedTemplate.c_LowSpeedTemplate", "低速模板"},
        {"SpeedTemplate.c_Start", "启动"},
        {"SpeedTemplate.c_Normal", "运行"},
        {"SpeedTemplate.c_Motor_X", "X 轴电机"},
        {"SpeedTemplate.c_Motor_Y", "Y 轴电机"},
        {"SpeedTemplate.c_Motor_Z1", "Z1 轴电机"},
        {"SpeedTemplate.c_Motor_Z2", "Z2 轴电机"},
        {"SpeedTemplate.c_Motor_A1", "A1 轴电机"},
        {"SpeedTemplate.c_Motor_A2", "A2 轴电机"},
        {"SpeedTemplate.c_Motor_A3", "A3 轴电机"},
        {"SpeedTemplate.c_Motor_A4", "A4 轴电机"},
        {"SpeedTemplate.c_Motor_WestWalk", "西面走位"},
        {"SpeedTemplate.c_Motor_WestLift", "西面拉皮"},
        {"SpeedTemplate.c_Motor_NorthWalk", "北面走位"},
        {"SpeedTemplate.c_Motor_NorthLift", "北面拉皮"},
        {"SpeedTemplate.c_Motor_EastWalk", "东面走位"},
        {"SpeedTemplate.c_Motor_EastLift", "东面拉皮"},
        {"SpeedTemplate.c_Motor_AutoWalk1", "自动进料1"},
        {"SpeedTemplate.c_Motor_AutoWalk2", "自动进料2"},
        {"SpeedTemplate.c_Note", "启动速度要小于正常速度，并调试设定好合理的值，不能使步进电机失步。"},
        {"SpeedTemplate.c_ManualSetting", "手控定位设置"},
        {"SpeedTemplate.c_XY_RunFast", "XY快速定位"},
        {"SpeedTemplate.c_XY_RunMedium", "XY中速定位"},
        {"SpeedTemplate.c_XY_RunSlow", "XY慢速定位"},
        {"SpeedTemplate.c_XY_RunFine", "XY精细定位"},
        {"SpeedTemplate.c_Z_RunFast", "Z 快速定位"},
        {"SpeedTemplate.c_Z_RunMedium", "Z 中速定位"},
        {"SpeedTemplate.c_Z_RunSlow", "Z 慢速定位"},
        {"SpeedTemplate.c_Z_RunFine", "Z 精细定位"},
        {"SpeedTemplate.c_A_RunFast", "A 快速定位"},
        {"SpeedTemplate.c_A_RunMedium", "A 中速定位"},
        {"SpeedTemplate.c_A_RunSlow", "A 慢速定位"},
        {"SpeedTemplate.c_A_RunFine", "A 精细定位"},
        {"SpeedTemplate.c_Feed_RunFast", "飞达快速定位"},
        {"SpeedTemplate.c_Feed_RunMedium", "飞达中速定位"},
        {"SpeedTemplate.c_Feed_RunSlow", "飞达慢速定位"},
        {"SpeedTemplate.c_Feed_RunFine", "飞达精细定位"},
        {"SpeedTemplate.c_S_RunFast", "S快速定位"},
        {"SpeedTemplate.c_S_RunMedium", "S中速定位"},
        {"SpeedTemplate.c_S_RunSlow", "S慢速定位"},
        {"SpeedTemplate.c_S_RunFine", "S精细定位"},
        {"SpeedTemplate.c_SpeedSet", "速度设置"},
        {"SpeedTemplate.c_SpeedHigh", "高速模板"},
        {"SpeedTemplate.c_SpeedMedium", "中速模板"},
        {"SpeedTemplate.c_SpeedLow", "低速模板"},
        {"SpeedTemplate.c_Message_01", "请选择速度模板 !"},
        {"SpeedTemplate.c_Message_02", "请选择要删除的速度 !"},
        {"SpeedTemplate.c_Message_03", "要删除的速度在速度设置里已经被使用，\r\n请先改变速度设置后再删除此速度 !"},
        {"SpeedTemplate.c_Message_04", "速度模板没有内容，请先添加 !"},
        {"SpeedTemplate.c_Message_05", "速度名称不能为空 !"},
        {"SpeedTemplate.c_Message_06", "速度名称不能相同 !"},
        {"SpeedTemplate.c_Message_07", "没有发现对应的速度名称 !"},
        {"SpeedTemplate.c_Message_08", "文件无法保存，速度设置没有生效 !"},
    });
}

DialogCaptions MakeSpeedListCaptions() {
    // The class pages' 17 columns.
    return DialogCaptions("SpeedListConfig", {
        {"SpeedList.c_SpeedList_01", "速度名称"},
        {"SpeedList.c_SpeedList_02", "X 轴电机"},
        {"SpeedList.c_SpeedList_03", "Y 轴电机"},
        {"SpeedList.c_SpeedList_04", "Z1 轴电机"},
        {"SpeedList.c_SpeedList_05", "Z2 轴电机"},
        {"SpeedList.c_SpeedList_06", "A1 轴电机"},
        {"SpeedList.c_SpeedList_07", "A2 轴电机"},
        {"SpeedList.c_SpeedList_08", "A3 轴电机"},
        {"SpeedList.c_SpeedList_09", "A4 轴电机"},
        {"SpeedList.c_SpeedList_10", "西面走位"},
        {"SpeedList.c_SpeedList_11", "西面拉皮"},
        {"SpeedList.c_SpeedList_12", "北面走位"},
        {"SpeedList.c_SpeedList_13", "北面拉皮"},
        {"SpeedList.c_SpeedList_14", "东面走位"},
        {"SpeedList.c_SpeedList_15", "东面拉皮"},
        {"SpeedList.c_SpeedList_16", "南面走位"},
        {"SpeedList.c_SpeedList_17", "南面拉皮"},
    });
}

DialogCaptions MakeSpeedSetCaptions() {
    // The speed set page's two columns and seven rows.
    return DialogCaptions("SpeedSetConfig", {
        {"SpeedSet.c_SpeedSetList_01", "速度类型"},
        {"SpeedSet.c_SpeedSetList_02", "速度设置"},
        {"SpeedSet.c_SpeedSetList_03", "复位速度XYZF有效"},
        {"SpeedSet.c_SpeedSetList_04", "手控速度全部有效"},
        {"SpeedSet.c_SpeedSetList_05", "取料速度XYZF有效"},
        {"SpeedSet.c_SpeedSetList_06", "贴装速度XYZA有效"},
        {"SpeedSet.c_SpeedSetList_07", "视觉对中速度XYA有效"},
        {"SpeedSet.c_SpeedSetList_08", "视觉贴装速度XYZ有效"},
        {"SpeedSet.c_SpeedSetList_09", "自动换吸嘴速度XYZ有效"},
    });
}

} // namespace smt
