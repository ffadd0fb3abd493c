#include "settings/pulse_settings.h"

#include <cstdlib>

#include "base/numtext.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "settings/rederive_hooks.h"

namespace smt {

const std::array<PulseFactorKey, 12> kPulseFactorKeys = {{
    {"m_X_Pulse", &PulseFactors::m_X_Pulse},
    {"m_Y_Pulse", &PulseFactors::m_Y_Pulse},
    {"m_Z_Pulse", &PulseFactors::m_Z_Pulse},
    {"m_A_Pulse", &PulseFactors::m_A_Pulse},
    {"m_WestWalk_Pulse", &PulseFactors::m_WestWalk_Pulse},
    {"m_WestLift_Pulse", &PulseFactors::m_WestLift_Pulse},
    {"m_NorthWalk_Pulse", &PulseFactors::m_NorthWalk_Pulse},
    {"m_NorthLift_Pulse", &PulseFactors::m_NorthLift_Pulse},
    {"m_EastWalk_Pulse", &PulseFactors::m_EastWalk_Pulse},
    {"m_EastLift_Pulse", &PulseFactors::m_EastLift_Pulse},
    {"m_AutoWalk1_Pulse", &PulseFactors::m_AutoWalk1_Pulse},
    {"m_AutoWalk2_Pulse", &PulseFactors::m_AutoWalk2_Pulse},
}};

namespace {

constexpr const char* kSection = "SetPulseConfig";

const char* const kMotorKeys[] = {
    "SetPulse.c_X_Motor",         "SetPulse.c_X2_Motor",        "SetPulse.c_Y_Motor",
    "SetPulse.c_Y2_Motor",        "SetPulse.c_Z1_Motor",        "SetPulse.c_Z2_Motor",
    "SetPulse.c_Z3_Motor",        "SetPulse.c_A1_Motor",        "SetPulse.c_A2_Motor",
    "SetPulse.c_A3_Motor",        "SetPulse.c_A4_Motor",        "SetPulse.c_WestWalk_Motor",
    "SetPulse.c_WestLift_Motor",  "SetPulse.c_NorthWalk_Motor", "SetPulse.c_NorthLift_Motor",
    "SetPulse.c_EastWalk_Motor",  "SetPulse.c_EastLift_Motor",  "SetPulse.c_AutoWalk1_Motor",
    "SetPulse.c_AutoWalk2_Motor",
};

bool Refuse(const DialogCaptions& captions, const char* messageKey) {
    plat::MessageBoxOk(captions.Text(messageKey));
    return false;
}

std::int32_t Counter(const PulseMachinePort& port, PulseCounter which) {
    return port.counter ? port.counter(which) : 0;
}

bool Between(std::int64_t value, std::int64_t low, std::int64_t high) {
    return value >= low && value <= high;
}

// The Z rocker of axis 2 drives nozzles 1/2, axis 3 nozzles 3/4, axis 10 nozzles 5/6.
std::pair<PulseCounter, PulseCounter> ZPairCounters(int axis) {
    if (axis == 3) return {PulseCounter::Z3, PulseCounter::Z4};
    if (axis == 10) return {PulseCounter::Z5, PulseCounter::Z6};
    return {PulseCounter::Z1, PulseCounter::Z2};
}

} // namespace

std::array<double, 12> PulseFactors::AsArray() const {
    std::array<double, 12> out{};
    for (std::size_t i = 0; i < kPulseFactorKeys.size(); ++i) out[i] = this->*kPulseFactorKeys[i].member;
    return out;
}

PulseSettings& ThePulseSettings() {
    static PulseSettings settings;
    return settings;
}

void LoadSetPulseConfig(PulseFactors& factors, const std::string& configPath) {
    for (const PulseFactorKey& k : kPulseFactorKeys) {
        double value = AtoF(plat::GetPrivateProfileString(kSection, k.key, "获取配置失败", 512, configPath));
        if (value == 0) value = (k.member == &PulseFactors::m_A_Pulse) ? 17.7777 : 1.0;
        factors.*k.member = value;
    }
}

bool SaveSetPulseConfig(const PulseFactors& factors, const std::string& configPath) {
    plat::ProfileBatch batch(configPath);
    bool ok = true;
    for (const PulseFactorKey& k : kPulseFactorKeys)
        ok = plat::WritePrivateProfileString(kSection, k.key, FormatMm(factors.*k.member), configPath) && ok;
    return batch.Commit() && ok;
}

DialogCaptions& ThePulseCaptions() {
    static DialogCaptions captions(kSection, {
        {"SetPulse.c_SetPulse", "脉冲设置"},
        {"SetPulse.c_PulseParameters", "脉冲参数"},
        {"SetPulse.c_X_Pulse", "X 轴脉冲数/mm"},
        {"SetPulse.c_Y_Pulse", "Y 轴脉冲数/mm"},
        {"SetPulse.c_Z_Pulse", "Z 轴脉冲数/mm"},
        {"SetPulse.c_A_Pulse", "A 轴脉冲数/度"},
        {"SetPulse.c_WestWalk_Pulse", "西面走位脉冲数/mm"},
        {"SetPulse.c_WestLift_Pulse", "西面拉皮脉冲数/mm"},
        {"SetPulse.c_NorthWalk_Pulse", "北面走位脉冲数/mm"},
        {"SetPulse.c_NorthLift_Pulse", "北面拉皮脉冲数/mm"},
        {"SetPulse.c_EastWalk_Pulse", "东面走位脉冲数/mm"},
        {"SetPulse.c_EastLift_Pulse", "东面拉皮脉冲数/mm"},
        {"SetPulse.c_AutoWalk1_Pulse", "自动进料1脉冲数/mm"},
        {"SetPulse.c_AutoWalk2_Pulse", "自动进料2脉冲数/mm"},
        {"SetPulse.c_Note", "注意：已校准的脉冲数请勿随意修改，否则精度下降，甚至损坏机器 !"},
        {"SetPulse.c_PulseGenerate", "脉冲生成"},
        {"SetPulse.c_StepAngle", "步距角(度)"},
        {"SetPulse.c_SubDivide", "细分数"},
        {"SetPulse.c_DiameterOrScrewPitch", "同步轮直径/丝杆导程(mm)"},
        {"SetPulse.c_DriveModel", "传动方式"},
        {"SetPulse.c_SynchronousWheel", "同步轮"},
        {"SetPulse.c_ScrewRod", "丝杆"},
        {"SetPulse.c_RunModel", "运行测试"},
        {"SetPulse.c_LinearPulse", "直线脉冲数/mm"},
        {"SetPulse.c_AnglePulse", "角度脉冲数/度"},
        {"SetPulse.c_ProducePulse", "生成脉冲"},
        {"SetPulse.c_PulseVerify", "脉冲校验"},
        {"SetPulse.c_SelectAxis", "选择电机"},
        {"SetPulse.c_X_Motor", "X 轴电机"},
        {"SetPulse.c_X2_Motor", "X2 轴电机"},
        {"SetPulse.c_Y_Motor", "Y 轴电机"},
        {"SetPulse.c_Y2_Motor", "Y2 轴电机"},
        {"SetPulse.c_Z1_Motor", "Z1 轴电机"},
        {"SetPulse.c_Z2_Motor", "Z2 轴电机"},
        {"SetPulse.c_Z3_Motor", "Z3 轴电机"},
        {"SetPulse.c_A1_Motor", "A1 轴电机"},
        {"SetPulse.c_A2_Motor", "A2 轴电机"},
        {"SetPulse.c_A3_Motor", "A3 轴电机"},
        {"SetPulse.c_A4_Motor", "A4 轴电机"},
        {"SetPulse.c_WestWalk_Motor", "西面走位电机"},
        {"SetPulse.c_WestLift_Motor", "西面拉皮电机"},
        {"SetPulse.c_NorthWalk_Motor", "北面走位电机"},
        {"SetPulse.c_NorthLift_Motor", "北面拉皮电机"},
        {"SetPulse.c_EastWalk_Motor", "东面走位电机"},
        {"SetPulse.c_EastLift_Motor", "东面拉皮电机"},
        {"SetPulse.c_AutoWalk1_Motor", "自动进料1电机"},
        {"SetPulse.c_AutoWalk2_Motor", "自动进料2电机"},
        {"SetPulse.c_VerifyPulseValue", "校验后脉冲数"},
        {"SetPulse.c_RunTest", "测试距离(mm)"},
        {"SetPulse.c_DistanceTest", "实测距离(mm)"},
        {"SetPulse.c_Execute", "执行"},
        {"SetPulse.c_VerifyPulse", "校验脉冲"},
        {"SetPulse.c_IDOK", "确定"},
        {"SetPulse.c_IDCANCEL", "取消"},
        {"SetPulse.c_Message_01", "请选择传动方式 !"},
        {"SetPulse.c_Message_02", "测试的数据越限 !"},
        {"SetPulse.c_Message_03", "数值不能为 0 !"},
        {"SetPulse.c_Message_04", "请先将头组切换到 2 !"},
    });
    return captions;
}

std::string PulseMotorCaptionKey(PulseMotor motor) { return kMotorKeys[static_cast<int>(motor)]; }

std::vector<PulseDrive> PulsePickList(int machineType) {
    using M = PulseMotor;
    using R = PulseTestRange;
    const PulseDrive x{M::X, &PulseFactors::m_X_Pulse, 0, R::X};
    const PulseDrive y{M::Y, &PulseFactors::m_Y_Pulse, 1, R::Y};
    const PulseDrive z1{M::Z1, &PulseFactors::m_Z_Pulse, 2, R::ZPair};
    const PulseDrive z2{M::Z2, &PulseFactors::m_Z_Pulse, 3, R::ZPair};
    const PulseDrive z3{M::Z3, &PulseFactors::m_Z_Pulse, 10, R::ZPair};
    const std::vector<PulseDrive> rotations = {
        {M::A1, &PulseFactors::m_A_Pulse, 4, R::None}, {M::A2, &PulseFactors::m_A_Pulse, 5, R::None},
        {M::A3, &PulseFactors::m_A_Pulse, 6, R::None}, {M::A4, &PulseFactors::m_A_Pulse, 7, R::None}};
    std::vector<PulseDrive> list;
    switch (machineType) {
    case 4:
        list = {x, {M::X2, &PulseFactors::m_X_Pulse, 9, R::X2}, y, {M::Y2, &PulseFactors::m_Y_Pulse, 12, R::Y2},
                z1, z2, z3};
        break;
    case 6: list = {x, y, z1, z2, z3}; break;
    case 7: return {x, y};
    default:
        list = {x, y, z1, z2};
        list.insert(list.end(), rotations.begin(), rotations.end());
        list.insert(list.end(), {
            {M::WestWalk, &PulseFactors::m_WestWalk_Pulse, 8, R::WestWalk},
            {M::WestLift, &PulseFactors::m_WestLift_Pulse, 11, R::None},
            {M::NorthWalk, &PulseFactors::m_NorthWalk_Pulse, 9, R::NorthWalk},
            {M::NorthLift, &PulseFactors::m_NorthLift_Pulse, 12, R::None},
            {M::EastWalk, &PulseFactors::m_EastWalk_Pulse, 10, R::EastWalk},
            {M::EastLift, &PulseFactors::m_EastLift_Pulse, 13, R::None},
            {M::AutoWalk1, &PulseFactors::m_AutoWalk1_Pulse, 14, R::None},
            {M::AutoWalk2, &PulseFactors::m_AutoWalk2_Pulse, 15, R::None},
        });
        return list;
    }
    list.insert(list.end(), rotations.begin(), rotations.end());
    return list;
}

std::array<bool, 12> PulseFactorEditable(int machineType) {
    std::array<bool, 12> editable;
    editable.fill(true);
    if (machineType == 4 || machineType == 6) {
        for (std::size_t i = 4; i < 12; ++i) editable[i] = false;
    } else if (machineType == 7) {
        editable[4] = editable[6] = editable[8] = false; // the three walk drives
    }
    return editable;
}

bool ProducePulse(PulseSettings& v, const DialogCaptions& captions) {
    if (v.m_DriveModel != 0 && v.m_DriveModel != 1) return Refuse(captions, "SetPulse.c_Message_01");
    if (v.m_StepAngle == 0 || v.m_DiameterOrScrewPitch == 0) return Refuse(captions, "SetPulse.c_Message_03");
    const double stepsPerTurn = 360.0 / v.m_StepAngle * v.m_SubDivide;
    const double travelPerTurn =
        v.m_DriveModel == 0 ? v.m_DiameterOrScrewPitch * 3.1415926 : v.m_DiameterOrScrewPitch;
    v.m_LinearPulse = stepsPerTurn / travelPerTurn;
    v.m_AnglePulse = v.m_SubDivide / v.m_StepAngle;
    return true;
}

bool VerifyPulse(PulseSettings& v, const PulseDrive& drive, const DialogCaptions& captions) {
    if (v.m_DistanceTest == 0) return Refuse(captions, "SetPulse.c_Message_03");
    v.m_VerifyPulseValue = v.m_RunTest * (v.*drive.factor) / v.m_DistanceTest;
    return true;
}

PulseMachinePort& ThePulseMachinePort() {
    static PulseMachinePort port;
    return port;
}

PulseTestMove PlanPulseTest(double distance, double factor) {
    const std::int32_t pulses = ToPulses(distance, factor);
    return {pulses, pulses >= 0 ? 1 : 0};
}

PulseTestResult RunPulseTest(const PulseSettings& v, const PulseDrive& drive, int machineType,
                             const BasicSettings& basic, const PulseMachinePort& port,
                             const DialogCaptions& captions) {
    const double factor = v.*drive.factor;
    const PulseTestMove move = PlanPulseTest(v.m_RunTest, factor);
    const std::int64_t n = move.pulses;
    const bool secondTable = drive.range == PulseTestRange::X2 || drive.range == PulseTestRange::Y2;
    // The second table's drives share axis codes with feeder drives: only head
    // group 2 makes the jog book the X2/Y2 counters.
    if (secondTable && machineType == 4 && !(port.headGroup && port.headGroup() == 2)) {
        Refuse(captions, "SetPulse.c_Message_04");
        return PulseTestResult::NeedHeadGroup2;
    }
    auto target = [&](PulseCounter c) { return std::int64_t{Counter(port, c)} + n; };
    bool inside = true;
    int bankOutput = 0;
    switch (drive.range) {
    case PulseTestRange::X:
    case PulseTestRange::X2:
        inside = Between(target(drive.range == PulseTestRange::X ? PulseCounter::X : PulseCounter::X2), 0,
                         ToPulses(basic.m_X_Limit, v.m_X_Pulse));
        break;
    case PulseTestRange::Y:
    case PulseTestRange::Y2:
        inside = Between(target(drive.range == PulseTestRange::Y ? PulseCounter::Y : PulseCounter::Y2),
                         ToPulses(basic.m_Y_Limit, v.m_Y_Pulse), 0);
        break;
    case PulseTestRange::ZPair: {
        const std::int64_t limit = ToPulses(basic.m_Z_Limit, v.m_Z_Pulse);
        const auto [first, second] = ZPairCounters(drive.axis);
        inside = n >= 0 ? Counter(port, first) - n >= limit : Counter(port, second) + n >= limit;
        break;
    }
    case PulseTestRange::WestWalk:
        inside = Between(target(PulseCounter::WestWalk), ToPulses(basic.m_WestFeed_Limit, factor), 0);
        bankOutput = 5;
        break;
    case PulseTestRange::NorthWalk:
        inside = Between(target(PulseCounter::NorthWalk), 0, ToPulses(basic.m_NorthFeed_Limit, factor));
        bankOutput = 6;
        break;
    case PulseTestRange::EastWalk:
        inside = Between(target(PulseCounter::EastWalk), ToPulses(basic.m_EastFeed_Limit, factor), 0);
        bankOutput = 7;
        break;
    case PulseTestRange::None: break;
    }
    if (!inside) {
        Refuse(captions, "SetPulse.c_Message_02");
        return PulseTestResult::OutOfRange;
    }
    if (bankOutput && port.setOutput) port.setOutput(bankOutput, 0, 5);
    if (port.jogAxis) port.jogAxis(drive.axis, move.direction, 0, move.pulses, true);
    return PulseTestResult::Moved;
}

bool ConfirmPulseSettings(PulseSettings& v, int pickIndex, const std::string& configPath) {
    const bool saved = SaveSetPulseConfig(v, configPath);
    const SettingsRederivations& r = TheSettingsRederivations();
    if (r.convertSettingsToPulses) r.convertSettingsToPulses();
    if (r.recomputeLimitPulses) r.recomputeLimitPulses();
    if (r.buildNozzleTable) r.buildNozzleTable();
    if (r.applyOriginOffset) r.applyOriginOffset(0.0, 0.0);
    if (r.updateHeadOffsets) r.updateHeadOffsets();
    if (r.findCurrentPcbIndex && r.findCurrentPcbIndex() >= 0 && r.convertBoardPointsToPulses)
        r.convertBoardPointsToPulses();
    v.m_SelectAxis = pickIndex;
    return saved;
}

} // namespace smt
