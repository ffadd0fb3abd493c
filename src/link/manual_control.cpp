#include "link/manual_control.h"

#include <cstdio>

#include "base/numtext.h"
#include "link/commands.h"
#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/reply_handlers.h"
#include "platform/profile.h"
#include "settings/section_keys.h"

namespace smt {

namespace {
constexpr const char* kSection = "ManualControlConfig";

using M = ManualControlConfig;
constexpr SectionKey<M> kConfigKeys[] = {
    {"m_SpeedGears", nullptr, &M::m_SpeedGears},
    {"m_XY_RunSteps", nullptr, &M::m_XY_RunSteps},
    {"m_Z_RunSteps", nullptr, &M::m_Z_RunSteps},
    {"m_A_RunSteps", nullptr, &M::m_A_RunSteps},
    {"m_Feed_RunSteps", nullptr, &M::m_Feed_RunSteps},
    {"m_S_RunSteps", nullptr, &M::m_S_RunSteps},
    {"m_Feed_Direction", nullptr, &M::m_Feed_Direction},
    {"m_ComNumber", nullptr, &M::m_ComNumber},
};
}  // namespace

ManualControlConfig LoadManualControlConfig(const std::string& configPath) {
    ManualControlConfig c;
    LoadSectionKeys<M>(c, kSection, kConfigKeys, configPath);
    return c;
}

bool SaveManualControlConfig(const ManualControlConfig& c, const std::string& configPath) {
    return SaveSectionKeys<M>(c, kSection, kConfigKeys, configPath);
}

std::string JogStepText(const ManualControlConfig& c) {
    char text[128];
    std::snprintf(text, sizeof text, "XY%d,  Z%d,  A%d,  F%d,  S%d", c.m_XY_RunSteps, c.m_Z_RunSteps,
                  c.m_A_RunSteps, c.m_Feed_RunSteps, c.m_S_RunSteps);
    return text;
}

int FeedBankIcon(int bank) { return bank >= 0 && bank <= 3 ? 382 + bank : 0; }

// ---- captions ----

const std::vector<CaptionEntry>& ManualControlCaptionTable() {
    static const std::vector<CaptionEntry> table = {
        {"c_CoordinatesShow", "绝对坐标             相对坐标"},
        {"c_Online", "联机"},
        {"c_Onlining", "联机中"},
        {"c_Online_Error", "联机失败"},
        {"c_SolenoidSalve1", "真空泵 1"}, {"c_SolenoidSalve2", "真空泵 2"},
        {"c_SolenoidSalve3", "真空泵 3"}, {"c_SolenoidSalve4", "真空泵 4"},
        {"c_SolenoidSalve5", "真空泵 5"}, {"c_SolenoidSalve6", "真空泵 6"},
        {"c_SolenoidSalve7", "真空泵 7"}, {"c_SolenoidSalve8", "真空泵 8"},
        {"c_XY_RunPositioning", "XY 运行定位"},
        {"c_ID_XY_RunFast", "XY 快速定位"}, {"c_ID_XY_RunMedium", "XY 中速定位"},
        {"c_ID_XY_RunSlow", "XY 慢速定位"}, {"c_ID_XY_RunFine", "XY 精细定位"},
        {"c_Z_RunPositioning", "Z 运行定位"},
        {"c_ID_Z_RunFast", "Z 快速定位"}, {"c_ID_Z_RunMedium", "Z 中速定位"},
        {"c_ID_Z_RunSlow", "Z 慢速定位"}, {"c_ID_Z_RunFine", "Z 精细定位"},
        {"c_A_RunPositioning", "A 运行定位"},
        {"c_ID_A_RunFast", "A 快速定位"}, {"c_ID_A_RunMedium", "A 中速定位"},
        {"c_ID_A_RunSlow", "A 慢速定位"}, {"c_ID_A_RunFine", "A 精细定位"},
        {"c_F_RunPositioning", "飞达运行定位"},
        {"c_ID_Feed_RunFast", "飞达快速定位"}, {"c_ID_Feed_RunMedium", "飞达中速定位"},
        {"c_ID_Feed_RunSlow", "飞达慢速定位"}, {"c_ID_Feed_RunFine", "飞达精细定位"},
        {"c_S_RunPositioning", "S 运行定位"},
        {"c_ID_S_RunFast", "S 快速定位"}, {"c_ID_S_RunMedium", "S 中速定位"},
        {"c_ID_S_RunSlow", "S 慢速定位"}, {"c_ID_S_RunFine", "S 精细定位"},
        {"c_F_PosSwitch", "飞达方位切换"},
        {"c_ID_Feed_East", "东"}, {"c_ID_Feed_South", "南"},
        {"c_ID_Feed_West", "西"}, {"c_ID_Feed_North", "北"},
        {"c_Cameragetmark1offset", "相机获得Mark1偏移量"},
        {"c_Cameragetmark2offset", "相机获得Mark2偏移量"},
        {"c_ID_Reset_X", "X 轴复位"}, {"c_ID_Reset_Y", "Y 轴复位"},
        {"c_ID_Reset_Z", "Z 轴复位"}, {"c_ID_Reset_XYZ", "XYZ 轴复位"},
        {"c_ID_Reset_EastWalk", "东面送料复位"}, {"c_ID_Reset_X2", "X2轴复位"},
        {"c_ID_Reset_SouthWalk", "南面送料复位"}, {"c_ID_Reset_WestWalk", "西面送料复位"},
        {"c_ID_Reset_Y2", "Y2轴复位"}, {"c_ID_Reset_NorthWalk", "北面送料复位"},
        {"c_ID_Reset_Z2", "点胶复位"}, {"c_ID_SetAllZero", "一键清零"},
        {"c_Message_01", "请先复位A1 !"},
        {"c_Message_02", "请先复位A2 !"},
        {"c_Message_03", "暂无此功能 !"},
        {"c_Online_Successful", "联机成功"},
        {"c_Message_04", "没有找到起始位 - 请重新联机 !"},
        {"c_Message_05", "通讯提示"},
        {"c_vacuumTest", "检测真空值为："},
        {"c_Message_06", "返回类型错误 !"},
        {"c_Message_07", "吸嘴吸料失败，请检查是否料已用完 !"},
        {"c_Message_14", "返回指令E3 - 贴片头没有复位 !"},
        {"c_Message_15", "返回指令E4 - 设备自动运行保护中 !"},
        {"c_Message_16", "返回指令错误 - 未知 !"},
        {"c_Message_17", "提问、应答或错误异常 !"},
        {"c_Message_18", "没有使用手动MARK点设置，此操作无效 !"},
        {"c_Message_19", "手动获得MARK点值不在-3到3mm以内，此操作无效 !"},
        {"c_Message_20", "请复位机器 !"},
        {"c_Message_21", "电机或传感器故障 !"},
        {"c_Message_22", "电机正在运行 !"},
        {"c_Information_53", "53->XY轴运动"}, {"c_Information_58", "58->点胶"},
        {"c_Information_61", "61->单轴运动"}, {"c_Information_62", "62->自动进板运动"},
        {"c_Information_63", "63->飞行相机"}, {"c_Information_64", "64->XYA轴运动"},
        {"c_Information_65", "65->XYA多轴运动"}, {"c_Information_66", "66->飞达送料"},
        {"c_Information_67", "67->取料"}, {"c_Information_68", "68->贴装"},
        {"c_Information_71", "71->测量高度"}, {"c_Information_72", "72->复位"},
        {"c_Information_73", "73->移动飞行"}, {"c_Information_74", "74->移动取料"},
        {"c_Information_75", "75->移动取料"}, {"c_Information_77", "77->移动放置"},
        {"c_Information_78", "78->移动放置"},
        // Beyond the panel's own texts: the reset button's caption and the link's
        // box texts, so no box mixes languages.
        {"c_Reset", "复位"},
        {"c_NoAnswer", "机器无应答 : "},
        {"c_SendFailed", "通讯发送失败 : "},
        {"c_HomingFailed", "复位失败 : "},
        {"c_HomingNoAnswer", "无应答"},
        {"c_HomingLinkClosed", "连接已断开"},
        {"c_HomingNotSent", "发送失败"},
        {"c_HomingMachineError", "机器报错"},
        {"c_HomingStopped", "已停止"},
        {"c_LinkLost", "与机器的连接已断开，请重新联机 !"},
    };
    return table;
}

ManualControlTexts::ManualControlTexts() {
    for (const auto& e : ManualControlCaptionTable()) m_texts[e.key] = e.builtin;
}

void ManualControlTexts::Load(const std::string& folder, const std::string& language) {
    const std::string path = folder + "/" + language + ".ini";
    for (const auto& e : ManualControlCaptionTable())
        m_texts[e.key] = plat::GetPrivateProfileString(kSection, std::string("ManualControl.") + e.key,
                                                        e.builtin, 512, path);
}

const std::string& ManualControlTexts::Text(const std::string& key) const {
    static const std::string none;
    const auto it = m_texts.find(key);
    return it == m_texts.end() ? none : it->second;
}

void ManualControlTexts::PublishToLink() const {
    LinkTexts t = CurrentLinkTexts();
    t.message05 = Text("c_Message_05");
    t.message06 = Text("c_Message_06");
    t.message14 = Text("c_Message_14");
    t.message15 = Text("c_Message_15");
    t.message16 = Text("c_Message_16");
    t.message17 = Text("c_Message_17");
    t.message20 = Text("c_Message_20");
    t.message21 = Text("c_Message_21");
    t.message22 = Text("c_Message_22");
    t.onlining = Text("c_Onlining");
    t.onlineSuccessful = Text("c_Online_Successful");
    t.onlineError = Text("c_Online_Error");
    t.noAnswer = Text("c_NoAnswer");
    t.sendFailed = Text("c_SendFailed");
    t.homingFailed = Text("c_HomingFailed");
    t.homingCauses = {Text("c_HomingNoAnswer"), Text("c_HomingLinkClosed"), Text("c_HomingNotSent"),
                      Text("c_HomingMachineError"), Text("c_HomingStopped")};
    SetLinkTexts(t);
    SetLinkLostText(Text("c_LinkLost"));
    for (int code : {0x53, 0x58, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x71, 0x72, 0x73, 0x74, 0x75,
                     0x77, 0x78}) {
        char key[32];
        std::snprintf(key, sizeof key, "c_Information_%02X", code);
        SetCommandCaption(static_cast<std::uint16_t>(code), Text(key));
    }
    SetVacuumCaption(Text("c_vacuumTest"));
}

ManualControlTexts& TheManualControlTexts() {
    static ManualControlTexts texts;
    return texts;
}

// ---- layout ----

ManualControlLayout LayoutForMachineType(int type, int headGroup) {
    auto range = [](int from, int to) {
        std::vector<int> v;
        for (int n = from; n <= to; ++n) v.push_back(n);
        return v;
    };
    ManualControlLayout l;
    switch (type) {
    case 0: l = {false, 1, 1, {1, 2}, {1}, false}; break;
    case 1: l = {false, 2, 2, {1, 2}, {1}, false}; break;
    case 2:
    case 5: l = {false, 2, 2, {1, 2}, {1, 2}, false}; break;
    case 3: l = {false, 4, 4, range(1, 4), range(1, 4), false}; break;
    case 4: l = {false, 6, 6, range(1, 4), range(1, 4), true}; break;
    case 6: l = {false, 5, 5, range(1, 5), range(1, 4), false}; break;
    case 7:
        l = {false, 8, 8, headGroup == 2 ? range(5, 8) : range(1, 4),
             headGroup == 2 ? range(5, 8) : range(1, 4), true};
        break;
    case 9: l = {false, 2, 2, {1}, {1}, false}; break;
    default: l.keepResource = true; break;  // type 8
    }
    return l;
}

// ---- enabling ----

std::vector<std::pair<int, bool>> EnableStates(bool flag, const EnableContext& c) {
    std::vector<std::pair<int, bool>> s;
    auto set = [&](int id, bool on) { s.emplace_back(id, on); };
    auto nozzle = [&](int n, bool z, bool a, bool pump) {
        if (z) { set(mc::ZPlus[n - 1], flag); set(mc::ZMinus[n - 1], flag); }
        if (a) { set(mc::APlus[n - 1], flag); set(mc::AMinus[n - 1], flag); }
        if (pump) set(mc::Pumps[n - 1], flag);
    };
    set(mc::Reset, flag);
    set(mc::XMinus, flag); set(mc::XPlus, flag);
    set(mc::YPlus, flag); set(mc::YMinus, flag);
    nozzle(1, true, true, false);
    set(mc::ZPlus[1], flag); set(mc::ZMinus[1], flag);
    set(mc::FeedBank, flag);
    set(mc::Pumps[0], flag);
    if (c.resetKind != 0) set(mc::PartListStart, flag);
    const int t = c.machineType;
    if (t == 8) return s;
    // The nozzles of the type: every one it has, whichever head group is shown.
    int nozzles = 0, aCount = 0;
    switch (t) {
    case 0: nozzles = 1; aCount = 1; break;
    case 1: nozzles = 2; aCount = 1; break;
    case 2: case 5: nozzles = 2; aCount = 2; break;
    case 3: nozzles = 4; aCount = 4; break;
    case 4: nozzles = 6; aCount = 4; break;
    case 6: nozzles = 5; aCount = 4; break;
    case 7: nozzles = 8; aCount = 8; break;
    case 9: nozzles = 2; aCount = 1; break;
    default: break;
    }
    const int zCount = t == 4 ? 4 : t == 9 ? 1 : nozzles;
    for (int n = 2; n <= 8; ++n) nozzle(n, n <= zCount, n <= aCount, n <= nozzles);
    const bool cluster = (t == 1 || t == 2 || t == 3 || t == 5) ? flag : t == 0 ? !flag : false;
    for (int id : {mc::FeedXPlus, mc::FeedXMinus, mc::FeedYPlus, mc::FeedYMinus}) set(id, cluster);
    set(mc::SMinus, t == 2 && flag);
    set(mc::SPlus, t == 2 && flag);
    set(mc::HeadGroup, (t == 4 || t == 7) && flag);
    if ((t == 3 || t == 7) && c.conveyorInUse) set(mc::PartListClamp, flag);
    if (c.conveyorInUse)
        for (int id : {mc::FeedBank, mc::FeedXPlus, mc::FeedXMinus, mc::FeedYPlus, mc::FeedYMinus,
                       mc::SMinus, mc::SPlus})
            set(id, false);
    return s;
}

std::function<bool()>& ConveyorInUseSource() {
    static std::function<bool()> source;
    return source;
}

std::function<void(int, bool)>& PartListToolButtons() {
    static std::function<void(int, bool)> sink;
    return sink;
}

bool ConveyorInUse() {
    const auto& f = ConveyorInUseSource();
    return f && f();
}

void EnableManualControls(bool flag) {
    if (auto& f = GetLinkHooks().enableManualControls) f(flag);
}

void SetConnectCaption(const std::string& text) {
    if (auto& f = GetLinkHooks().setConnectCaption) f(text);
}

}  // namespace smt
