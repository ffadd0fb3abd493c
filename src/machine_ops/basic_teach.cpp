#include "machine_ops/basic_teach.h"

#include "base/captions.h"
#include <algorithm>

#include "base/globals.h"
#include "base/numtext.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"

namespace smt {

namespace {

// How a teach button turns the counters into its value.
enum class Rule {
    Z,             // Zn / ZF of `nozzle`
    DispensingZ,   // the dispensing head's nozzle by machine type
    OffsetX,       // (refX - X) / XF
    OffsetY,       // (refY - Y) / YF
    OffsetXType4,  // type 4: (refX - X2) / XF
    OffsetYTable,  // type 4, table 2: (refY - Y2) / YF
    OffsetYTableReversed,  // type 4, table 2: (Y2 - refY) / YF
    TableDistanceX,        // (X2 - refX2) / XF
    TableDistanceY,        // (Y2 - refY) / YF
    PositionX,             // X / XF
    PositionYTable,        // Y / YF; type 4 table 2: Y2 / YF
    CameraX,               // (trunc(camX x XF) + X) / XF
    CameraY,
    VisualOffset,          // edit box minus member, computed by the dialog
};

struct ButtonRule {
    BasicTeachButton button;
    Rule rule;
    int nozzle;  // Rule::Z only
};

constexpr std::array<ButtonRule, 40> kButtons = {{
    {{1244, "Z1", "m_Z_Nozzle1ToFeed"}, Rule::Z, 1},
    {{1245, "Z2", "m_Z_Nozzle2ToFeed"}, Rule::Z, 2},
    {{1247, "Z3", "m_Z_Nozzle3ToFeed"}, Rule::Z, 3},
    {{1256, "Z4", "m_Z_Nozzle4ToFeed"}, Rule::Z, 4},
    {{1273, "Z5", "m_Z_Nozzle5ToFeed"}, Rule::Z, 5},
    {{1280, "Z6", "m_Z_Nozzle6ToFeed"}, Rule::Z, 6},
    {{1274, "Z7", "m_Z_Nozzle7ToFeed"}, Rule::Z, 7},
    {{1320, "Z8", "m_Z_Nozzle8ToFeed"}, Rule::Z, 8},
    {{1246, "Z1", "m_Z_Nozzle1ToPCBHeight"}, Rule::Z, 1},
    {{1248, "Z", "m_Z_DropsGlueToPCBHeight"}, Rule::DispensingZ, 0},
    {{1018, "X", "m_X_CameraToNozzle1"}, Rule::OffsetXType4, 0},
    {{1020, "Y", "m_Y_CameraToNozzle1"}, Rule::OffsetYTable, 0},
    {{1237, "X", "m_X_Nozzle2ToNozzle1"}, Rule::OffsetX, 0},
    {{1238, "X", "m_X_Nozzle3ToNozzle1"}, Rule::OffsetX, 0},
    {{1239, "X", "m_X_Nozzle4ToNozzle1"}, Rule::OffsetX, 0},
    {{1099, "X", "m_X_Nozzle7ToNozzle1"}, Rule::OffsetX, 0},
    {{1114, "X", "m_X_Nozzle8ToNozzle1"}, Rule::OffsetX, 0},
    {{1014, "Y", "m_Y_Nozzle2ToNozzle1"}, Rule::OffsetY, 0},
    {{1015, "Y", "m_Y_Nozzle3ToNozzle1"}, Rule::OffsetY, 0},
    {{1033, "Y", "m_Y_Nozzle4ToNozzle1"}, Rule::OffsetY, 0},
    {{1040, "Y", "m_Y_Nozzle7ToNozzle1"}, Rule::OffsetY, 0},
    {{1098, "Y", "m_Y_Nozzle8ToNozzle1"}, Rule::OffsetY, 0},
    {{1240, "X", "m_X_Nozzle5ToNozzle1"}, Rule::OffsetXType4, 0},
    {{1241, "X", "m_X_Nozzle6ToNozzle1"}, Rule::OffsetXType4, 0},
    {{1027, "Y", "m_Y_Nozzle5ToNozzle1"}, Rule::OffsetYTableReversed, 0},
    {{1045, "Y", "m_Y_Nozzle6ToNozzle1"}, Rule::OffsetYTable, 0},
    {{1243, "X", "m_X_DropsGlueToNozzle1"}, Rule::OffsetX, 0},
    {{1058, "Y", "m_Y_DropsGlueToNozzle1"}, Rule::OffsetY, 0},
    {{1253, "X", "m_X_Measurement"}, Rule::OffsetX, 0},
    {{1119, "Y", "m_Y_Measurement"}, Rule::OffsetY, 0},
    {{1242, "CX", "m_X_Y2ToY1"}, Rule::TableDistanceX, 0},
    {{1053, "CY", "m_Y_Y2ToY1"}, Rule::TableDistanceY, 0},
    {{1024, "X", "m_X_ThrowPosition"}, Rule::PositionX, 0},
    {{1026, "Y", "m_Y_ThrowPosition"}, Rule::PositionYTable, 0},
    {{1078, "CX", "m_X_VisualOrigin"}, Rule::CameraX, 0},
    {{1091, "CX", "m_X_StopPosition"}, Rule::CameraX, 0},
    {{1080, "CY", "m_Y_VisualOrigin"}, Rule::CameraY, 0},
    {{1093, "CY", "m_Y_StopPosition"}, Rule::CameraY, 0},
    {{kTeachVisualOffsetX, "X", "m_X_VisualOriginOffset"}, Rule::VisualOffset, 0},
    {{kTeachVisualOffsetY, "Y", "m_Y_VisualOriginOffset"}, Rule::VisualOffset, 0},
}};

const ButtonRule* FindRule(int id) {
    for (const ButtonRule& b : kButtons)
        if (b.button.id == id) return &b;
    return nullptr;
}

const std::string kZero = "0.0000";

// The nozzle whose Z the dispensing head's teach button reads; 0 for none.
int DispensingNozzle(int machineType) {
    switch (machineType) {
    case 1: case 2: case 5: return 2;
    case 3: case 4: case 6: return 4;
    case 7: return 8;
    default: return 0;
    }
}

using I64 = std::int64_t;

} // namespace

std::span<const BasicTeachButton> BasicTeachButtons() {
    static const std::vector<BasicTeachButton> buttons = [] {
        std::vector<BasicTeachButton> v;
        for (const ButtonRule& b : kButtons) v.push_back(b.button);
        return v;
    }();
    return buttons;
}

const BasicTeachButton* FindBasicTeachButton(int id) {
    const ButtonRule* r = FindRule(id);
    return r ? &r->button : nullptr;
}

TeachInputs CurrentTeachInputs() {
    TeachInputs in;
    in.pos = TakePositionSnapshot();
    const BasicSettings& s = TheBasicSettings();
    in.refX = s.m_RefPulseX;
    in.refY = s.m_RefPulseY;
    in.refX2 = s.m_RefPulseX2;
    in.refY2 = s.m_RefPulseY2;
    const PulseFactors& f = ThePulseFactors();
    in.xPulse = f.m_X_Pulse;
    in.yPulse = f.m_Y_Pulse;
    in.zPulse = f.m_Z_Pulse;
    in.machineType = g_MachineType.load();
    const auto& group = TheCommandPanel().headGroup;
    in.activeTable = group ? group() : 1;
    in.cameraX = s.m_X_CameraToNozzle1;
    in.cameraY = s.m_Y_CameraToNozzle1;
    return in;
}

std::string BasicTeachText(int buttonId, const TeachInputs& in) {
    const ButtonRule* r = FindRule(buttonId);
    if (!r) return kZero;
    const auto& p = in.pos;
    const bool type4 = in.machineType == 4;
    // On type 4 the table-dependent rows read the active table; any other table writes zero.
    const bool table2 = type4 && in.activeTable == 2;
    const bool noTable = type4 && in.activeTable != 1 && in.activeTable != 2;
    switch (r->rule) {
    case Rule::Z: return TeachValue(p.z[r->nozzle - 1], in.zPulse);
    case Rule::DispensingZ: {
        const int n = DispensingNozzle(in.machineType);
        return n ? TeachValue(p.z[n - 1], in.zPulse) : kZero;
    }
    case Rule::OffsetX: return TeachValue(I64{in.refX} - p.x, in.xPulse);
    case Rule::OffsetY: return TeachValue(I64{in.refY} - p.y, in.yPulse);
    case Rule::OffsetXType4: return TeachValue(I64{in.refX} - (type4 ? p.x2 : p.x), in.xPulse);
    case Rule::OffsetYTable:
        if (noTable) return kZero;
        return TeachValue(I64{in.refY} - (table2 ? p.y2 : p.y), in.yPulse);
    case Rule::OffsetYTableReversed:
        if (noTable) return kZero;
        return TeachValue(table2 ? I64{p.y2} - in.refY : I64{in.refY} - p.y, in.yPulse);
    case Rule::TableDistanceX: return TeachValue(I64{p.x2} - in.refX2, in.xPulse);
    case Rule::TableDistanceY: return TeachValue(I64{p.y2} - in.refY, in.yPulse);
    case Rule::PositionX: return TeachValue(p.x, in.xPulse);
    case Rule::PositionYTable:
        if (noTable) return kZero;
        return TeachValue(table2 ? p.y2 : p.y, in.yPulse);
    case Rule::CameraX: return TeachValue(I64{ToPulses(in.cameraX, in.xPulse)} + p.x, in.xPulse);
    case Rule::CameraY: return TeachValue(I64{ToPulses(in.cameraY, in.yPulse)} + p.y, in.yPulse);
    case Rule::VisualOffset: break;
    }
    return kZero;
}

std::string VisualOriginOffsetText(const std::string& coordinateEditText, double member) {
    return FormatMm(AtoF(coordinateEditText) - member);
}

// ---- fields per machine type ----

std::vector<std::string> BasicDisabledFields(int machineType) {
    const int t = machineType;
    std::vector<std::string> out;
    auto add = [&](std::initializer_list<const char*> keys) {
        for (const char* k : keys) out.emplace_back(k);
    };
    auto nozzleFull = [&](int n) {
        const std::string s = std::to_string(n);
        out.push_back("m_Z_Nozzle" + s + "ToFeed");
        out.push_back("m_X_Nozzle" + s + "ToNozzle1");
        out.push_back("m_Y_Nozzle" + s + "ToNozzle1");
    };
    auto nozzleCheck = [&](int n) {
        const std::string s = std::to_string(n);
        out.push_back("m_Correction_X" + s);
        out.push_back("m_Correction_Y" + s);
        out.push_back("m_SuctionNozzleValue" + s);
    };
    if (t < 0 || t > 7) return out;  // types 8 and 9 disable nothing
    if (t != 0) add({"m_Nozzle2MoreNozzle1", "m_FeedOverBack"});
    if (t != 4) add({"m_ChangeDelay", "m_X_Y2ToY1", "m_Y_Y2ToY1"});
    if (t != 7) add({"m_Exhaust"});
    if (t == 0) nozzleCheck(2);
    if (t == 4) add({"m_Y_Nozzle2ToNozzle1", "m_Y_Nozzle3ToNozzle1", "m_Y_Nozzle4ToNozzle1",
                     "m_Z_DropsGlueToPCBHeight", "m_ResetToVisualOrigin"});
    if (t == 0 || t == 1 || t == 2 || t == 5)
        for (int n : {3, 4}) { nozzleFull(n); nozzleCheck(n); }
    if (t != 4 && t != 6 && t != 7) nozzleFull(5);
    if (t != 4 && t != 7) nozzleFull(6);
    if (t != 7)
        for (int n : {5, 6}) nozzleCheck(n);
    if (t != 7)
        for (int n : {7, 8}) { nozzleFull(n); nozzleCheck(n); }
    if (t == 6) add({"m_X_DropsGlueToNozzle1", "m_Y_DropsGlueToNozzle1", "m_Z_DropsGlueToPCBHeight"});
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool BasicFieldDisabled(int machineType, const std::string& member) {
    const auto fields = BasicDisabledFields(machineType);
    return std::binary_search(fields.begin(), fields.end(), member);
}

bool BasicTeachButtonEnabled(int machineType, int buttonId) {
    if (buttonId == kTeachDispensingHeight) return true;
    const BasicTeachButton* b = FindBasicTeachButton(buttonId);
    return b && !BasicFieldDisabled(machineType, b->field);
}

// ---- captions ----

DialogCaptions& TheBasicCaptions() {
    static DialogCaptions captions("SetBasicConfig", {
        {"SetBasic.c_SetBasic", "基本设置"},
        {"SetBasic.c_BasicParameters", "基本参数"},
        {"SetBasic.c_Z_Nozzle1ToFeed", "吸嘴1到元件表面的高度"},
        {"SetBasic.c_Z_Nozzle2ToFeed", "吸嘴2到元件表面的高度"},
        {"SetBasic.c_Z_Nozzle3ToFeed", "吸嘴3到元件表面的高度"},
        {"SetBasic.c_Z_Nozzle4ToFeed", "吸嘴4到元件表面的高度"},
        {"SetBasic.c_Z_Nozzle5ToFeed", "吸嘴5到元件表面的高度"},
        {"SetBasic.c_Z_Nozzle6ToFeed", "吸嘴6到元件表面的高度"},
        {"SetBasic.c_Z_Nozzle7ToFeed", "吸嘴7到元件表面的高度"},
        {"SetBasic.c_Z_Nozzle8ToFeed", "吸嘴8到元件表面的高度"},
        {"SetBasic.c_Z_DropsGlue5ToPCBHeight", "点胶头5到PCB表面的高度"},
        {"SetBasic.c_Z_DropsGlue6ToPCBHeight", "点胶头6到PCB表面的高度"},
        {"SetBasic.c_Z_Nozzle1ToPCBHeight", "吸嘴1到PCB平台的高度"},
        {"SetBasic.c_Z_DropsGlueToPCBHeight", "点胶头到PCB表面的高度"},
        {"SetBasic.c_Nozzle2MoreNozzle1", "吸嘴 2 比吸嘴 1 多运行"},
        {"SetBasic.c_FeedOverBack", "拉料结束后回退"},
        {"SetBasic.c_UpdateOrigin", "复位原点更新坐标"},
        {"SetBasic.c_MeasurementParameter", "测量头参数"},
        {"SetBasic.c_Z_Measurement", "测量头到PCB平台高度"},
        {"SetBasic.c_MeasurementEffect", "测量生效"},
        {"SetBasic.c_MeasurementStart", "启动速度"},
        {"SetBasic.c_MeasurementNormal", "运行速度"},
        {"SetBasic.c_MarkCameraToNozzle1", "MARK相机与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_Nozzle2ToNozzle1", "吸嘴 2 与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_Nozzle3ToNozzle1", "吸嘴 3 与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_Nozzle4ToNozzle1", "吸嘴 4 与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_Nozzle5ToNozzle1", "吸嘴 5 与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_Nozzle6ToNozzle1", "吸嘴 6 与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_Nozzle7ToNozzle1", "吸嘴 7 与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_Nozzle8ToNozzle1", "吸嘴 8 与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_DropsGlueToNozzle1", "点胶头与吸嘴 1 的距离( mm )"},
        {"SetBasic.c_Y2ToY1", "轴Y2与Y1的距离( mm )"},
        {"SetBasic.c_ThrowPosition", "抛料位置坐标( mm )"},
        {"SetBasic.c_ThrowChangePosition", "抛换料位置坐标( mm )"},
        {"SetBasic.c_ThrowDelay", "抛料延时"},
        {"SetBasic.c_ChangeDelay", "换料延时"},
        {"SetBasic.c_VisualOriginSet", "视觉校正原点参数设置"},
        {"SetBasic.c_VisualOriginCoordinate", "视觉原点坐标"},
        {"SetBasic.c_VisualOriginOffset", "视觉原点偏移"},
        {"SetBasic.c_StopPosition", "校正停留位置"},
        {"SetBasic.c_ResetToVisualOrigin", "复位后到视觉原点处校正"},
        {"SetBasic.c_SmtFinishToVisualOrigin", "贴装后到视觉原点处校正"},
        {"SetBasic.c_VisualOriginBox", "视觉原点框"},
        {"SetBasic.c_VisualOriginSize", "视觉原点尺寸"},
        {"SetBasic.c_VisualCollectTime", "采像时间"},
        {"SetBasic.c_SuctionTestSet", "吸料检测设置"},
        {"SetBasic.c_smtBeforeCloseVacuum", "贴装提前关闭真空"},
        {"SetBasic.c_Exhaust", "吹气时间"},
        {"SetBasic.c_SuctionNozzleOffset", "吸嘴偏差值（kPa）"},
        {"SetBasic.c_ImageColorReversal", "图像颜色反转"},
        {"SetBasic.c_LightContrast", "对比度"},
        {"SetBasic.c_LightBrightness", "光亮度"},
        {"SetBasic.c_FeedBrightness", "料架光亮度"},
        {"SetBasic.c_AutoMagnify", "自动放大视觉框"},
        {"SetBasic.c_Calibrator2", "相机2启用畸变校正"},
        {"SetBasic.c_CameraLens8", "8mm镜头"},
        {"SetBasic.c_CameraLens6", "6mm镜头"},
        {"SetBasic.c_CommModel", "通讯方式"},
        {"SetBasic.c_Serial", "串口"},
        {"SetBasic.c_Ethernet", "网口"},
        {"SetBasic.c_LimitSet", "行程限位设置"},
        {"SetBasic.c_X_Limit", "X轴行程限位"},
        {"SetBasic.c_Y_Limit", "Y轴行程限位"},
        {"SetBasic.c_Z_Limit", "Z轴行程限位"},
        {"SetBasic.c_EastFeed_Limit", "东面飞达限位"},
        {"SetBasic.c_SouthFeed_Limit", "南面飞达限位"},
        {"SetBasic.c_WestFeed_Limit", "西面飞达限位"},
        {"SetBasic.c_NorthFeed_Limit", "北面飞达限位"},
        {"SetBasic.c_PositionLimitDetour", "位置受限绕行"},
        {"SetBasic.c_FunctionSet", "功能设置"},
        {"SetBasic.c_OnlineToReset", "联机后执行复位"},
        {"SetBasic.c_DebugModel", "调试模式"},
        {"SetBasic.c_OpenCamera", "联机后打开相机"},
        {"SetBasic.c_CameraTrackModify", "相机跟踪修改"},
        {"SetBasic.c_IDOK", "确定"},
        {"SetBasic.c_IDCANCEL", "取消"},
    });
    return captions;
}

std::string BasicCaptionKey(const std::string& baseKey, int machineType) {
    if (machineType == 4 || machineType == 6) {
        if (baseKey == "SetBasic.c_Z_Nozzle5ToFeed") return "SetBasic.c_Z_DropsGlue5ToPCBHeight";
        if (baseKey == "SetBasic.c_Z_Nozzle6ToFeed") return "SetBasic.c_Z_DropsGlue6ToPCBHeight";
    }
    if (machineType == 4 && baseKey == "SetBasic.c_ThrowPosition") return "SetBasic.c_ThrowChangePosition";
    return baseKey;
}

// ---- opening and OK ----

bool ZeroTypeFourOffsets(BasicSettings& s, int machineType) {
    if (machineType != 4) return false;
    s.m_Y_Nozzle2ToNozzle1 = 0;
    s.m_Y_Nozzle3ToNozzle1 = 0;
    s.m_Y_Nozzle4ToNozzle1 = 0;
    s.m_ResetToVisualOrigin = 0;
    return true;
}

void MarkBasicDialogOpen(BasicSettings& s) {
    s.m_bDialogOpen = true;
    if (s.m_OnlineToReset) s.m_DebugModel = 0;
}

void CloseBasicDialog(BasicSettings& s) { s.m_bDialogOpen = false; }

BasicOkPort& TheBasicOkPort() {
    static BasicOkPort port;
    return port;
}

BasicOkOutcome ConfirmBasicSettings(BasicSettings& s, int machineType, const std::string& startFolder) {
    if (machineType == 4 &&
        (s.m_Y_Nozzle2ToNozzle1 != 0 || s.m_Y_Nozzle3ToNozzle1 != 0 || s.m_Y_Nozzle4ToNozzle1 != 0)) {
        s.m_Y_Nozzle2ToNozzle1 = 0;
        s.m_Y_Nozzle3ToNozzle1 = 0;
        s.m_Y_Nozzle4ToNozzle1 = 0;
        return BasicOkOutcome::StayOpen;
    }
    const bool written = SaveSetBasicConfig(s, plat::JoinPath(startFolder, "config.ini"));
    const SettingsRederivations& r = TheSettingsRederivations();
    if (r.recomputeLimitPulses) r.recomputeLimitPulses();
    if (r.convertSettingsToPulses) r.convertSettingsToPulses();
    if (r.updateHeadOffsets) r.updateHeadOffsets();
    // The file keeps the operator's choice; memory follows the calibration actually loaded.
    const bool loaded = ApplyLensCalibration(s, startFolder);
    if (const auto& copy = TheBasicOkPort().setPanelCalibrator2) copy(loaded && s.m_Calibrator2 != 0);
    if (!written) return BasicOkOutcome::WriteFailed;  // the dialog stays open
    s.m_bDialogOpen = false;
    return BasicOkOutcome::Saved;
}

// ---- feeder operation worker ----

FeedOperationPort& TheFeedOperationPort() {
    static FeedOperationPort port;
    return port;
}

BusyClaim ClaimHeadUpAction() {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return claim;
    for (const auto& z : g_PulseZ) {
        if (z.load() != 0) {
            claim.Release();
            plat::MessageBoxOk(kHeadE3Error, true, plat::MsgIcon::Warning);
            return claim;
        }
    }
    return claim;
}

bool StartFeedOperation(int code) {
    BusyClaim claim = ClaimHeadUpAction();
    if (!claim) return false;
    const auto& start = TheFeedOperationPort().start;
    if (!start) return false;  // the claim is released here
    start(code, std::move(claim));
    return true;
}

bool StartReferenceMeasurement() { return StartFeedOperation(kFeedOpReferenceHeight); }

void PostedFieldSink::Install(Writer writer) {
    std::lock_guard<std::mutex> lock(*m_mutex);
    *m_writer = std::move(writer);
}

void PostedFieldSink::Post(const std::string& text) {
    // The writer is looked up when the task runs on the user-interface thread: a
    // dialog closed meanwhile has removed it and no edit box is written.
    plat::PostToUi([mutex = m_mutex, writer = m_writer, text] {
        Writer w;
        {
            std::lock_guard<std::mutex> lock(*mutex);
            w = *writer;
        }
        if (w) w(text);
    });
}

PostedFieldSink& ReferenceHeightSink() {
    static PostedFieldSink sink;
    return sink;
}

void StoreReferenceHeight(BasicSettings& s, double heightMm) {
    s.m_Z_Measurement = heightMm;
    if (heightMm != 0) ReferenceHeightSink().Post(FormatMm(heightMm));
}

} // namespace smt
