#include "joblist/lamp_texts.h"

#include <vector>

#include "base/numtext.h"

namespace smt {

namespace {

const char* const kHeaders[kLampHeaderCount] = {
    "点号", "平台号", "启用检查", "Mark点X", "Y", "偏移量X", "Y", "坐标点X", "Y", "坐标偏移X", "Y", "Z",
    "点胶启动速度", "点胶运行速度", "红胶偏移X", "Y", "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时",
    "1点银偏移X", "Y", "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时",
    "2点银偏移X", "Y", "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时"};

std::string HeaderKey(int column) { return FormatC("LampMachineList.c_LampList_%02d", column + 1); }

std::vector<DialogCaptions::Entry> ListEntries() {
    std::vector<DialogCaptions::Entry> e = {
        {"LampMachineList.c_LampMachineList", "点灯机参数表"},
        {"LampMachineList.c_CountSet", "设定数量"},
        {"LampMachineList.c_CountFinish", "完成数量"},
        {"LampMachineList.c_CountUnfinish", "未完数量"},
        {"LampMachineList.c_CountChange", "增减数量"},
        {"LampMachineList.c_ConfirmCount", "确定修改"},
        {"LampMachineList.c_Add", "添加"},
        {"LampMachineList.c_Edit", "修改"},
        {"LampMachineList.c_Delete", "删除"},
        {"LampMachineList.c_IDOK", "确定"},
        {"LampMachineList.c_IDCANCEL", "取消"},
    };
    for (int c = 0; c < kLampHeaderCount; ++c) e.emplace_back(HeaderKey(c), kHeaders[c]);
    return e;
}

} // namespace

DialogCaptions& TheLampListTexts() {
    static DialogCaptions texts("LampMachineListConfig", ListEntries());
    return texts;
}

DialogCaptions& TheLampEditTexts() {
    static DialogCaptions texts("LampMachineEditConfig", {
        {"LampMachineEdit.c_LampMachineEdit", "点灯机参数修改"},
        {"LampMachineEdit.c_PointNo", "点号"},
        {"LampMachineEdit.c_Platform", "平台"},
        {"LampMachineEdit.c_MarkCheck", "启用检测"},
        {"LampMachineEdit.c_MarkX", "Mark点坐标X"},
        {"LampMachineEdit.c_MarkOffsetX", "记录Mark偏移X"},
        {"LampMachineEdit.c_PointX", "LED基于MK坐标X"},
        {"LampMachineEdit.c_OffsetX", "偏移量X"},
        {"LampMachineEdit.c_StartSpeed", "点胶启动速度"},
        {"LampMachineEdit.c_RunSpeed", "点胶运行速度"},
        {"LampMachineEdit.c_Take", "提取"},
        {"LampMachineEdit.c_CameraReach", "相机到达"},
        {"LampMachineEdit.c_PressTest", "松压料测试"},
        {"LampMachineEdit.c_DispenseTest", "开启Mark检查点红银胶测试"},
        {"LampMachineEdit.c_RedGlue", "红胶"},
        {"LampMachineEdit.c_Silver1", "1点银胶"},
        {"LampMachineEdit.c_Silver2", "2点银胶"},
        {"LampMachineEdit.c_RedGlueOffsetX", "红胶偏移量X"},
        {"LampMachineEdit.c_Silver1OffsetX", "1点银胶偏移量X"},
        {"LampMachineEdit.c_Silver2OffsetX", "2点银胶偏移量X"},
        {"LampMachineEdit.c_GlueHeight", "点胶高度"},
        {"LampMachineEdit.c_ValveOpen", "阀门打开"},
        {"LampMachineEdit.c_BottomDelay", "底部延时"},
        {"LampMachineEdit.c_ValveClose", "阀门关闭"},
        {"LampMachineEdit.c_CloseDelay", "关阀延时"},
        {"LampMachineEdit.c_ResetZ", "Z复位"},
        {"LampMachineEdit.c_GlueReach", "胶头到达"},
        {"LampMachineEdit.c_StrokeTest", "点胶测试"},
        {"LampMachineEdit.c_SpeedFast", "快速"},
        {"LampMachineEdit.c_SpeedMedium", "中速"},
        {"LampMachineEdit.c_SpeedSlow", "慢速"},
        {"LampMachineEdit.c_SpeedFine", "精细"},
        {"LampMachineEdit.c_IDOK", "确定"},
        {"LampMachineEdit.c_IDCANCEL", "取消"},
        {"LampMachineEdit.c_Message_01", "请先复位点胶头"},
    });
    return texts;
}

const std::string& LampListText(std::string_view name) {
    return TheLampListTexts().Text("LampMachineList.c_" + std::string(name));
}

const std::string& LampEditText(std::string_view name) {
    return TheLampEditTexts().Text("LampMachineEdit.c_" + std::string(name));
}

const std::string& LampHeaderText(int column) {
    static const std::string spare = "---";
    if (column < 0 || column >= kLampHeaderCount) return spare;
    return TheLampListTexts().Text(HeaderKey(column));
}

void LoadLampLanguage(const std::string& startFolder, const std::string& language) {
    TheLampListTexts().Load(startFolder, language);
    TheLampEditTexts().Load(startFolder, language);
}

} // namespace smt
