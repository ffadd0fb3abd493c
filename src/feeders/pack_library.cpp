#include "feeders/pack_library.h"

#include <algorithm>
#include <cstddef>

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feeder_words.h"
#include "settings/section_keys.h"

namespace smt {

std::vector<TextRow> ParsePackLines(const std::vector<std::string>& lines) {
    std::vector<TextRow> rows(lines.size(), TextRow(kPackCells));
    if (lines.empty()) return rows;
    const auto tabs = std::count(lines[0].begin(), lines[0].end(), '\t');
    const bool inOrder = tabs == 28 || tabs == 17 || tabs == 14;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> cells = SplitRow(lines[i]);
        TextRow& row = rows[i];
        for (std::size_t c = 0; c < cells.size(); ++c) {
            // The older layout lacks the two delays: its seventh cell is cell 8.
            const std::size_t to = inOrder || c < 6 ? c : c + 2;
            if (to < row.size()) row[to] = cells[c];
        }
        if (!inOrder && cells.size() > 6) {
            row[6] = "50";
            row[7] = "25";
        }
    }
    return rows;
}

void TranslatePackRow(TextRow& row) {
    row[15] = TranslateFeedMode(row[15]);
    row[13] = TranslateSpeedName(row[13]);
}

// ---- settings ---------------------------------------------------------------------

namespace {
constexpr const char* kSection = "PackEditConfig";
constexpr SectionKey<PackEditConfig> kKeys[] = {
    {"m_SynchronousModify", nullptr, &PackEditConfig::m_SynchronousModify},
    {"m_SelectFeedMode", nullptr, &PackEditConfig::m_SelectFeedMode},
    {"m_FeedTimes", nullptr, &PackEditConfig::m_FeedTimes},
    {"m_FeedTime", nullptr, &PackEditConfig::m_FeedTime},
    {"m_OpenLength", nullptr, &PackEditConfig::m_OpenLength},
    {"m_CloseLength", nullptr, &PackEditConfig::m_CloseLength},
    {"m_Precision_XY", nullptr, &PackEditConfig::m_Precision_XY},
    {"m_Precision_A", nullptr, &PackEditConfig::m_Precision_A},
    {"m_CollectPictureTime", nullptr, &PackEditConfig::m_CollectPictureTime},
    {"m_NozzleHeight", nullptr, &PackEditConfig::m_NozzleHeight},
    {"m_VacuumTestValue", nullptr, &PackEditConfig::m_VacuumTestValue},
    {"m_smtBeforeCloseVacuum", nullptr, &PackEditConfig::m_smtBeforeCloseVacuum},
};

const char* YesNo(bool on) { return on ? "Yes" : "No"; }
} // namespace

PackEditConfig LoadPackEditConfig(const std::string& configPath) {
    PackEditConfig c;
    LoadSectionKeys<PackEditConfig>(c, kSection, kKeys, configPath);
    return c;
}

bool SavePackEditConfig(const PackEditConfig& c, const std::string& configPath) {
    return SaveSectionKeys<PackEditConfig>(c, kSection, kKeys, configPath);
}

void ClearCopyBoxes(PackEditConfig& c) {
    const int keep = c.m_SynchronousModify;
    c = PackEditConfig{};
    c.m_SynchronousModify = keep;
}

void MendPackZeros(PackEditValues& v) {
    for (double* d : {&v.length, &v.width, &v.height})
        if (*d == 0) *d = 0.1;
    for (int* i : {&v.pickDelay, &v.placeDelay})
        if (*i == 0) *i = 1;
}

// ---- rows and fields ------------------------------------------------------------------

void WritePackCells(const PackEditValues& v, TextRow& row) {
    row.resize(kPackCells);
    row[0] = v.name;
    row[1] = FormatMm(v.length);
    row[2] = FormatMm(v.width);
    row[3] = FormatMm(v.height);
    row[4] = FormatInt(v.contrast);
    row[5] = FormatInt(v.brightness);
    row[6] = FormatInt(v.pickDelay);
    row[7] = FormatInt(v.placeDelay);
    row[8] = v.camera;
    row[9] = YesNo(v.visionChoice == 1);
    row[10] = YesNo(v.visionChoice == 2);
    row[11] = v.nozzle;
    row[12] = YesNo(v.ownSpeed);
    row[13] = v.speedName;
    row[14] = v.imageFeature;
    row[15] = v.feedMode;
    row[16] = FormatInt(v.feedCount);
    row[17] = FormatInt(v.feedTime);
    row[18] = FormatInt(v.loosen);
    row[19] = FormatInt(v.tighten);
    row[20] = FormatInt(v.xyPrecision);
    row[21] = FormatInt(v.anglePrecision);
    row[22] = FormatInt(v.captureTime);
    row[23] = FormatMm(v.pickHeight);
    row[24] = FormatInt(v.vacuum);
    row[25] = FormatMm(v.vacuumEarly);
}

PackEditValues PackEditFromRow(const TextRow& row, int machineType) {
    PackEditValues v;
    v.name = row[0];
    v.length = AtoF(row[1]);
    v.width = AtoF(row[2]);
    v.height = AtoF(row[3]);
    v.contrast = AtoI(row[4]);
    v.brightness = AtoI(row[5]);
    v.pickDelay = AtoI(row[6]);
    v.placeDelay = AtoI(row[7]);
    v.camera = row[8];
    v.nozzle = row[11];
    v.ownSpeed = row[12] == "Yes";
    v.speedName = row[13];
    v.imageFeature = row[14];
    v.feedMode = row[15];
    v.feedCount = AtoI(row[16]);
    v.feedTime = AtoI(row[17]);
    v.loosen = AtoI(row[18]);
    v.tighten = AtoI(row[19]);
    v.xyPrecision = AtoI(row[20]);
    v.anglePrecision = AtoI(row[21]);
    v.captureTime = AtoI(row[22]);
    v.pickHeight = AtoF(row[23]);
    v.vacuum = AtoI(row[24]);
    v.vacuumEarly = AtoF(row[25]);
    if (row[9] == "Yes") v.visionChoice = VisionCentringOffered(machineType) ? 1 : 0;
    else if (row[10] == "Yes") v.visionChoice = 2;
    return v;
}

PackageFeederValues FeederValuesFromPack(const PackEditValues& v, const PackEditConfig& c) {
    PackageFeederValues f;
    f.package = v.name;
    f.contrast = v.contrast;
    f.brightness = v.brightness;
    f.pickDelay = v.pickDelay;
    f.placeDelay = v.placeDelay;
    f.camera = v.camera;
    f.visionChoice = v.visionChoice;
    f.nozzle = v.nozzle;
    f.ownSpeed = v.ownSpeed;
    f.speedName = v.speedName;
    f.imageFeature = v.imageFeature;
    f.feedModeOn = c.m_SelectFeedMode != 0;
    f.feedMode = v.feedMode;
    f.feedCountOn = c.m_FeedTimes != 0;
    f.feedCount = v.feedCount;
    f.feedTimeOn = c.m_FeedTime != 0;
    f.feedTime = v.feedTime;
    f.loosenOn = c.m_OpenLength != 0;
    f.loosen = v.loosen;
    f.tightenOn = c.m_CloseLength != 0;
    f.tighten = v.tighten;
    f.xyPrecisionOn = c.m_Precision_XY != 0;
    f.xyPrecision = v.xyPrecision;
    f.anglePrecisionOn = c.m_Precision_A != 0;
    f.anglePrecision = v.anglePrecision;
    f.captureTimeOn = c.m_CollectPictureTime != 0;
    f.captureTime = v.captureTime;
    f.pickHeightOn = c.m_NozzleHeight != 0;
    f.vacuumOn = c.m_VacuumTestValue != 0;
    f.vacuum = v.vacuum;
    f.vacuumEarlyOn = c.m_smtBeforeCloseVacuum != 0;
    f.length = v.length;
    f.width = v.width;
    f.height = v.height;
    f.pickHeight = v.pickHeight;
    f.vacuumEarly = v.vacuumEarly;
    return f;
}

// ---- choices ----------------------------------------------------------------------------

std::vector<int> PackFeedModeChoices(int machineType) {
    switch (machineType) {
    case 0: return {0, 1, 2, 3, 4, 5, 6, 7, 8};
    case 1: case 2: case 3: case 5: return {0, 1, 2, 3, 4, 5, 7, 8};
    case 4: case 6: case 7: return {1, 2, 3, 7, 8};
    default: return {};
    }
}

bool VisionCentringOffered(int machineType) { return machineType != 4; }

std::vector<std::string> PackNozzleChoices(int machineType, bool autoChange, bool nineteen) {
    int always = 0, withAuto = 0, withBoth = 0;
    switch (machineType) {
    case 0: case 1: always = 1; withAuto = 6; break;
    case 2: case 5: always = 2; withAuto = 6; break;
    case 3: always = 4; withAuto = 6; withBoth = 16; break;
    case 4: case 6: always = 4; break;
    case 7: always = 8; withBoth = 16; break;
    default: break;
    }
    int last = always;
    if (autoChange && withAuto) last = withAuto;
    if (autoChange && nineteen && withBoth) last = withBoth;
    std::vector<std::string> items;
    for (int n = 1; n <= last; ++n) items.push_back(FormatInt(n));
    return items;
}

std::vector<std::string> ImageFeatureNames(int languageIndex) {
    if (languageIndex == 0)
        return {"00:通用", "01:阻容", "02:三极管", "03:1面引脚", "04:2面引脚", "05:4面引脚",
                "06:BGA-三角形标记", "07:BGA-4个角点", "08:BGA-4个倒角", "09:BGA-上倒角", "10:BGA-下倒角", "11:BGA-其他"};
    return {"00:General", "01:Capacitance", "02:Triode", "03:FootEdge1", "04:FootEdge2", "05:FootEdge4",
            "06:BGA-TriangleMark", "07:BGA-4PointAngle", "08:BGA-4Chamfer", "09:BGA-TopChamfer",
            "10:BGA-BottomChamfer", "11:BGA-Other"};
}

int ImageFeaturePosition(const std::string& feature) {
    if (feature.empty()) return -1;
    return AtoI(feature.substr(0, 2));
}

FeedModeEffect FeedModeEffectOf(int index) {
    FeedModeEffect e;
    auto set = [&e](Enable count, Enable time, Enable loose, const char* countText, const char* timeText,
                    Enable unit) {
        e.feedCount = count;
        e.feedTime = time;
        e.loosenTighten = loose;
        if (countText) e.feedCountText = countText;
        if (timeText) e.feedTimeText = timeText;
        e.mmUnit = unit;
    };
    using E = Enable;
    switch (index) {
    case 0: case 4: case 5: set(E::On, E::On, E::On, "1", "200", E::Off); break;
    case 1: set(E::Off, E::On, E::Off, nullptr, "100", E::Off); break;
    case 2: set(E::Off, E::On, E::Off, nullptr, "200", E::Off); break;
    case 3: set(E::Off, E::Off, E::Off, nullptr, nullptr, E::Off); break;
    case 6: set(E::Off, E::On, E::On, "1", "200", E::On); break;
    default: break;
    }
    return e;
}

std::string FrameSizeText(double visualSize, double autoMagnify) {
    return FormatC("%0.2f", visualSize - autoMagnify);
}

std::optional<PackFieldRange> PackFieldOutOfRange(const PackEditValues& v) {
    const struct {
        PackFieldRange range;
        double value;
    } fields[] = {
        {{"length", 0.1, 50.0}, v.length},       {{"width", 0.1, 50.0}, v.width},
        {{"height", 0.1, 12.0}, v.height},       {{"contrast", 0, 255}, double(v.contrast)},
        {{"brightness", 0, 255}, double(v.brightness)}, {{"pickDelay", 1, 10000}, double(v.pickDelay)},
        {{"placeDelay", 1, 10000}, double(v.placeDelay)}, {{"feedCount", 0, 10}, double(v.feedCount)},
        {{"feedTime", 0, 10000}, double(v.feedTime)}, {{"loosen", 0, 10000}, double(v.loosen)},
        {{"xyPrecision", -1, 10}, double(v.xyPrecision)}, {{"anglePrecision", -1, 10}, double(v.anglePrecision)},
        {{"captureTime", -1, 3000}, double(v.captureTime)}, {{"pickHeight", -1000.0, 0.0}, v.pickHeight},
        {{"vacuum", 0, 100}, double(v.vacuum)},   {{"vacuumEarly", 0.0, 30.0}, v.vacuumEarly},
    };
    for (const auto& f : fields)
        if (!(f.value >= f.range.low && f.value <= f.range.high)) return f.range;
    return std::nullopt;
}

std::string PackEditRefusal(const PackEditValues& v, bool nameTaken) {
    if (nameTaken) return "PackEdit.c_Message_01";
    if (v.feedMode.empty()) return "PackEdit.c_Message_05";
    if (v.visionChoice != 0 && v.camera.empty()) return "PackEdit.c_Message_02";
    if (v.nozzle.empty()) return "PackEdit.c_Message_03";
    if (v.ownSpeed && v.speedName.empty()) return "PackEdit.c_Message_04";
    return {};
}

// ---- the library ---------------------------------------------------------------------------

PackLibrary::PackLibrary()
    : m_ListTexts("PackListConfig",
                  {{"PackList.c_PackList", "元件数据库"},
                   {"PackList.c_PartPack", "元件封装"},
                   {"PackList.c_PackLength", "元度长度"},
                   {"PackList.c_PackWidth", "元件宽度"},
                   {"PackList.c_PackThick", "元件厚度"},
                   {"PackList.c_VisualContrast", "视觉对比度"},
                   {"PackList.c_VisualBright", "视觉亮度"},
                   {"PackList.c_PickDelay", "取料延时"},
                   {"PackList.c_SmtDelay", "贴装延时"},
                   {"PackList.c_Camera", "相机"},
                   {"PackList.c_VisualAlign", "视觉对中"},
                   {"PackList.c_RunAlign", "飞行对中"},
                   {"PackList.c_NozzleType", "吸嘴型号"},
                   {"PackList.c_SpecialSpeed", "独立速度"},
                   {"PackList.c_SpeedName", "速度名称"},
                   {"PackList.c_ImageFeature", "图像特征"},
                   {"PackList.c_SelectFeedMode", "选择送料方式"},
                   {"PackList.c_FeedTimes", "送料次数"},
                   {"PackList.c_FeedTime", "送料时间"},
                   {"PackList.c_OpenLength", "松皮长度"},
                   {"PackList.c_CloseLength", "紧皮长度"},
                   {"PackList.c_Precision_XY", "X Y 校正精度"},
                   {"PackList.c_Precision_A", "角度校正精度"},
                   {"PackList.c_CollectPictureTime", "采像时间"},
                   {"PackList.c_NozzleHeight", "吸嘴取料高度"},
                   {"PackList.c_VacuumTestValue", "真空检测值"},
                   {"PackList.c_smtBeforeCloseVacuum", "提前关闭真空"},
                   {"PackList.c_PackAdd", "添加"},
                   {"PackList.c_PackEdit", "修改"},
                   {"PackList.c_PackDelete", "删除"},
                   {"PackList.c_IDOK", "确  定"},
                   {"PackList.c_IDCANCEL", "取  消"}}),
      m_EditTexts("PackEditConfig",
                  {{"PackEdit.c_PackEdit", "封装编辑"},
                   {"PackEdit.c_PartPack", "元件封装"},
                   {"PackEdit.c_PackLength", "元度长度"},
                   {"PackEdit.c_PackWidth", "元件宽度"},
                   {"PackEdit.c_PackThick", "元件厚度"},
                   {"PackEdit.c_VisualContrast", "视觉对比度"},
                   {"PackEdit.c_VisualBright", "视觉亮度"},
                   {"PackEdit.c_PickDelay", "取料延时"},
                   {"PackEdit.c_SmtDelay", "贴装延时"},
                   {"PackEdit.c_SelectCamera", "选择相机"},
                   {"PackEdit.c_SelectNozzle", "选择吸嘴"},
                   {"PackEdit.c_NoVisual", "无视觉"},
                   {"PackEdit.c_VisualAlign", "视觉对中"},
                   {"PackEdit.c_RunAlign", "飞行对中"},
                   {"PackEdit.c_ImageFeature", "图像特征"},
                   {"PackEdit.c_GetData", "获得"},
                   {"PackEdit.c_SpecialSpeed", "是否独立速度"},
                   {"PackEdit.c_SynchronousModify", "同步修改料架表单"},
                   {"PackEdit.c_IDOK", "确  定"},
                   {"PackEdit.c_IDCANCEL", "取  消"},
                   {"PackEdit.c_FeedSet", "送料设置"},
                   {"PackEdit.c_VisualAlignSet", "视觉对中设置"},
                   {"PackEdit.c_VacuumTestSet", "吸嘴真空检测设置"},
                   {"PackEdit.c_SelectFeedMode", "选择送料方式"},
                   {"PackEdit.c_FeedTimes", "送料次数"},
                   {"PackEdit.c_FeedTime", "送料时间"},
                   {"PackEdit.c_OpenLength", "松皮长度"},
                   {"PackEdit.c_CloseLength", "紧皮长度"},
                   {"PackEdit.c_Precision_XY", "X Y 校正精度"},
                   {"PackEdit.c_Precision_A", "角度校正精度"},
                   {"PackEdit.c_CollectPictureTime", "采像时间"},
                   {"PackEdit.c_NozzleHeight", "吸嘴取料高度"},
                   {"PackEdit.c_VacuumTestValue", "真空检测值"},
                   {"PackEdit.c_smtBeforeCloseVacuum", "提前关闭真空"},
                   {"PackEdit.c_Message_01", "元件封装已存在，请修改 !"},
                   {"PackEdit.c_Message_02", "请选择相机 !"},
                   {"PackEdit.c_Message_03", "请选择吸嘴 !"},
                   {"PackEdit.c_Message_04", "请选择速度 !"},
                   {"PackEdit.c_Message_05", "请选择送料方式 !"}}) {}

void PackLibrary::FillList() {
    for (TextRow& row : m_table.Rows()) TranslatePackRow(row);
}

void PackLibrary::Add() {
    TextRow row(kPackCells);
    WritePackCells(m_Edit, row);
    m_table.Append(std::move(row));
}

std::optional<PackageFeederValues> PackLibrary::Modify() {
    if (!m_table.IsRow(m_Remembered)) return std::nullopt;
    TextRow row = m_table.Rows()[m_Remembered];
    WritePackCells(m_Edit, row);
    m_table.Modify(m_Remembered, std::move(row));
    if (!m_EditConfig.m_SynchronousModify) return std::nullopt;
    return FeederValuesFromPack(m_Edit, m_EditConfig);
}

bool PackLibrary::LoadEditor(int machineType) {
    if (!m_table.IsRow(m_Remembered)) return false;
    m_Edit = PackEditFromRow(m_table.Rows()[m_Remembered], machineType);
    return true;
}

PackLibrary& ThePackLibrary() {
    static PackLibrary library;
    return library;
}

} // namespace smt
