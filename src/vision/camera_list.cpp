#include "vision/camera_list.h"

#include <cmath>

#include "base/numtext.h"
#include "platform/profile.h"

namespace smt {

namespace {

constexpr const char* kSection = "CameraListConfig";
constexpr const char* kMissing = "获取配置失败";

std::string Read(const std::string& key, const std::string& path) {
    return plat::GetPrivateProfileString(kSection, key, kMissing, 512, path);
}

// The 28 record fields in file order.
struct RecordKey {
    std::string name;
    std::int32_t* i = nullptr;
    double* d = nullptr;
    const char* format = "%d";
};
std::vector<RecordKey> RecordKeys(CameraRecord& r, bool first) {
    std::vector<RecordKey> k;
    k.push_back({"CameraNumber", &r.CameraNumber});
    k.push_back({"CameraPulse_X", &r.CameraPulse_X});
    k.push_back({"CameraPulse_Y", &r.CameraPulse_Y});
    for (int h = 0; h < 8; ++h) {
        k.push_back({"CorrectionPulse_X" + std::to_string(h + 1), &r.CorrectionPulse_X[h]});
        k.push_back({"CorrectionPulse_Y" + std::to_string(h + 1), &r.CorrectionPulse_Y[h]});
    }
    k.push_back({"Correction_A", nullptr, &r.Correction_A, "%0.4f"});
    k.push_back({"VisualZoom", nullptr, &r.VisualZoom, "%0.2f"});
    // The first record keeps four decimals of the window side, the second two.
    k.push_back({"VisualSize", nullptr, &r.VisualSize, first ? "%0.4f" : "%0.2f"});
    for (auto [name, field] : {std::pair{"Light_Contrast", &r.Light_Contrast}, {"Light_Brightness", &r.Light_Brightness},
                               {"CorrectionTimes", &r.CorrectionTimes}, {"Precision_XY", &r.Precision_XY},
                               {"Precision_A", &r.Precision_A}, {"CollectTime", &r.CollectTime}})
        k.push_back({name, field});
    return k;
}

struct SettingKey {
    std::string name;
    int* i = nullptr;
    double* d = nullptr;
};
using S = CameraListSettings;
std::vector<SettingKey> HeadKeys(S& s) {
    std::vector<SettingKey> k;
    k.push_back({"m_BaseDiameter", nullptr, &s.m_BaseDiameter});
    k.push_back({"m_BaseCoordinates_X", nullptr, &s.m_BaseCoordinates_X});
    k.push_back({"m_BaseCoordinates_Y", nullptr, &s.m_BaseCoordinates_Y});
    k.push_back({"m_BaseCoordinates_Z", nullptr, &s.m_BaseCoordinates_Z});
    k.push_back({"m_iChangeCameraDelay", &s.m_iChangeCameraDelay});
    k.push_back({"m_bChangeCameraDelay", &s.m_bChangeCameraDelay});
    k.push_back({"m_Correct_X", nullptr, &s.m_Correct_X});
    k.push_back({"m_Correct_Y", nullptr, &s.m_Correct_Y});
    k.push_back({"m_Correct_A", nullptr, &s.m_Correct_A});
    k.push_back({"m_HighSpeedCamera", &s.m_HighSpeedCamera});
    k.push_back({"m_MarkCamera", &s.m_MarkCamera});
    k.push_back({"m_VisualCamera1", &s.m_VisualCamera1});
    k.push_back({"m_FlyCamera", &s.m_FlyCamera});
    k.push_back({"m_iFlyStartSpeed", &s.m_iFlyStartSpeed});
    k.push_back({"m_iFlyNormalSpeed", &s.m_iFlyNormalSpeed});
    return k;
}
std::vector<SettingKey> TailKeys(S& s) {
    std::vector<SettingKey> k;
    for (int h = 0; h < 8; ++h) k.push_back({"m_dFlyCorrect_Y" + std::to_string(h + 1), nullptr, &s.m_dFlyCorrect_Y[h]});
    k.push_back({"m_VisualCamera2", &s.m_VisualCamera2});
    k.push_back({"m_VisualImageColorReversal", &s.m_VisualImageColorReversal});
    k.push_back({"m_bVisualOffset", &s.m_bVisualOffset});
    k.push_back({"m_AllowOffset", nullptr, &s.m_AllowOffset});
    return k;
}
std::string TriggerKey(int head) { return "m_iTriggerPulse" + std::to_string(head); }

bool WriteKey(const std::string& key, const std::string& text, const std::string& path) {
    return plat::WritePrivateProfileString(kSection, key, text, path);
}

std::vector<DialogCaptions::Entry> ListTextEntries() {
    std::vector<DialogCaptions::Entry> e = {
        {"CameraList.c_CameraList", "视觉对中摄像机管理"}, {"CameraList.c_CameraAdd", "添加相机"},
        {"CameraList.c_CameraEdit", "修改相机"}, {"CameraList.c_CameraDelete", "删除相机"},
        {"CameraList.c_IDOK", "确  定"}, {"CameraList.c_IDCANCEL", "取  消"}, {"CameraList.c_BaseSet", "标准片设置"},
        {"CameraList.c_NozzleToBase", "吸嘴到标准片"}, {"CameraList.c_CameraToBase", "相机到标准片"},
        {"CameraList.c_PickBaseToCamera", "取标准片到相机"}, {"CameraList.c_PlaceBase", "放回标准片位置"},
        {"CameraList.c_CameraScaleCorrect", "相机比例校准"}, {"CameraList.c_CameraCoordinatesCorrect", "相机位置校准"},
        {"CameraList.c_NozzleCoordinatesCorrect", "吸嘴位置校准"}, {"CameraList.c_MarkCameraCorrect", "Mark相机位置校准"},
        {"CameraList.c_CameraFlyTest", "相机飞行测试"}, {"CameraList.c_CameraFlyCorrect", "相机飞行校准"},
        {"CameraList.c_Exit", "退出"}, {"CameraList.c_ChangeCameraDelay", "切换相机延时"},
        {"CameraList.c_TongCameraCorrect", "同步相机修正"}, {"CameraList.c_CameraConfig", "相机配置"},
        {"CameraList.c_HighSpeedCamera", "高速相机"}, {"CameraList.c_Set", "设置"}, {"CameraList.c_Activation", "激活"},
        {"CameraList.c_MarkCamera", "Mark相机"}, {"CameraList.c_VisualCamera1", "视觉相机1"},
        {"CameraList.c_FlyCamera", "飞行相机"}, {"CameraList.c_VisualCamera2", "视觉相机2"},
        {"CameraList.c_FlyTest", "飞行测试"}, {"CameraList.c_VisualImageColorReversal", "视觉图像颜色反转"},
        {"CameraList.c_TriggerInAdvance", "飞行提前触发"}, {"CameraList.c_FlyCorrectY", "飞行修正Y"},
        {"CameraList.c_FlyStartSpeed", "飞行启动速度"}, {"CameraList.c_FlyNormalSpeed", "飞行运行速度"},
        {"CameraList.c_VisualOffset", "启用识别偏差"}};
    static const char* kColumns[kCameraCells] = {
        "相机名称", "相机X坐标", "相机Y坐标", "校正X1", "校正Y1", "校正X2", "校正Y2", "校正X3", "校正Y3", "校正X4",
        "校正Y4", "校正X5", "校正Y5", "校正X6", "校正Y6", "校正X7", "校正Y7", "校正X8", "校正Y8", "校正角度",
        "视觉比例", "视框尺寸", "对比度", "光亮度", "校正次数", "校正精度XY", "校正精度A", "采像时间"};
    for (int c = 0; c < kCameraCells; ++c) e.emplace_back(CameraColumnKeys()[c], kColumns[c]);
    e.emplace_back("CameraList.c_Message_01", "目前只支持 2 个摄相机 !");
    e.emplace_back("CameraList.c_Message_02", "未选择要修改的行 !");
    e.emplace_back("CameraList.c_Message_03", "未选择要删除的行 !");
    e.emplace_back("CameraList.c_Message_04", "吸嘴 %d 没有旋转轴，不能校准位置 !");
    e.emplace_back("CameraList.c_Message_05", "贴装策略只用一个吸嘴，没有其它吸嘴可校准位置 !");
    return e;
}

std::vector<DialogCaptions::Entry> EditTextEntries() {
    return {{"CameraEdit.c_CameraEdit", "摄像机编辑"}, {"CameraEdit.c_CameraName", "摄像机名称"},
            {"CameraEdit.c_CameraXCoordinates", "摄像机 X 坐标"}, {"CameraEdit.c_CameraYCoordinates", "摄像机 Y 坐标"},
            {"CameraEdit.c_VisionCorrection", "视觉修正补尝"}, {"CameraEdit.c_RectifyX", "校正 X"},
            {"CameraEdit.c_RectifyY", "校正 Y"}, {"CameraEdit.c_RectifyAngle", "校正角度"},
            {"CameraEdit.c_IDOK", "确  定"}, {"CameraEdit.c_IDCANCEL", "取  消"},
            {"CameraEdit.c_VisualPreferencesSet", "视觉参数设置"}, {"CameraEdit.c_VisualZoom", "视觉比例"},
            {"CameraEdit.c_VisualSize", "视框尺寸"}, {"CameraEdit.c_Contrast", "对比度"},
            {"CameraEdit.c_Brightness", "光亮度"}, {"CameraEdit.c_CorrectionTimes", "视觉校正次数"},
            {"CameraEdit.c_Precision_XY", "X Y 校正精度"}, {"CameraEdit.c_Precision_A", "角度校正精度"},
            {"CameraEdit.c_CollectPictureTime", "采像时间"}, {"CameraEdit.c_Message_01", "请填入摄像机名称 !"},
            {"CameraEdit.c_Message_02", "摄像机名称已存在，请修改 !"}, {"CameraEdit.c_Message_03", "视觉宽度太大 !"},
            {"CameraEdit.c_Message_04", "视觉高度太大 !"}};
}

// Positions of a record from its row; with `all` the corrections too.
void PulseFieldsFromCells(CameraRecord& r, const CameraCells& cells, double xPulse, double yPulse, bool all) {
    const CameraRecord fresh = RecordFromCells(cells, r.CameraNumber, xPulse, yPulse);
    r.CameraPulse_X = fresh.CameraPulse_X;
    r.CameraPulse_Y = fresh.CameraPulse_Y;
    if (all) {
        r.CorrectionPulse_X = fresh.CorrectionPulse_X;
        r.CorrectionPulse_Y = fresh.CorrectionPulse_Y;
    }
}

} // namespace

const std::array<const char*, kCameraCells>& CameraColumnKeys() {
    static const std::array<const char*, kCameraCells> keys = {
        "CameraList.c_CameraList_01", "CameraList.c_CameraList_02", "CameraList.c_CameraList_03",
        "CameraList.c_CameraList_04", "CameraList.c_CameraList_05", "CameraList.c_CameraList_06",
        "CameraList.c_CameraList_07", "CameraList.c_CameraList_08", "CameraList.c_CameraList_09",
        "CameraList.c_CameraList_10", "CameraList.c_CameraList_11", "CameraList.c_CameraList_12",
        "CameraList.c_CameraList_13", "CameraList.c_CameraList_14", "CameraList.c_CameraList_15",
        "CameraList.c_CameraList_16", "CameraList.c_CameraList_17", "CameraList.c_CameraList_18",
        "CameraList.c_CameraList_19", "CameraList.c_CameraList_20", "CameraList.c_CameraList_21",
        "CameraList.c_CameraList_22", "CameraList.c_CameraList_24", "CameraList.c_CameraList_25",
        "CameraList.c_CameraList_26", "CameraList.c_CameraList_27", "CameraList.c_CameraList_28",
        "CameraList.c_CameraList_29"};
    return keys;
}

CameraRecord RecordFromCells(const CameraCells& c, int number, double xPulse, double yPulse) {
    CameraRecord r;
    r.CameraNumber = number;
    r.CameraPulse_X = ToPulses(AtoF(c[1]), xPulse);
    r.CameraPulse_Y = ToPulses(AtoF(c[2]), yPulse);
    for (int h = 0; h < 8; ++h) {
        r.CorrectionPulse_X[h] = ToPulses(AtoF(c[3 + 2 * h]), xPulse);
        r.CorrectionPulse_Y[h] = ToPulses(AtoF(c[4 + 2 * h]), yPulse);
    }
    r.Correction_A = AtoF(c[19]);
    r.VisualZoom = AtoF(c[20]);
    r.VisualSize = AtoF(c[21]);
    r.Light_Contrast = AtoI(c[22]);
    r.Light_Brightness = AtoI(c[23]);
    r.CorrectionTimes = AtoI(c[24]);
    r.Precision_XY = AtoI(c[25]);
    r.Precision_A = AtoI(c[26]);
    r.CollectTime = AtoI(c[27]);
    return r;
}

std::vector<CameraCells> ParseCameraRows(const std::vector<std::string>& lines) {
    std::vector<CameraCells> rows(lines.size());
    if (lines.empty()) return rows;
    int tabs = 0;
    for (char ch : lines.front()) tabs += ch == '\t';
    for (std::size_t n = 0; n < lines.size(); ++n) {
        int index = 0;
        bool steppedBack = false;
        for (const std::string& cell : SplitRow(lines[n])) {
            if (index < kCameraCells) rows[n][index] = cell;
            int next = index + 1;
            if (tabs == 15 && index == 4) next = 19;
            if (tabs == 21) {
                if (index == 10) next = 19;
                // Source cells 13 and 14 share the window side; the later one stays.
                else if (next == 22 && !steppedBack) {
                    next = 21;
                    steppedBack = true;
                }
            }
            index = next;
        }
    }
    return rows;
}

std::vector<std::string> BuildCameraLines(const std::vector<CameraCells>& rows) {
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const CameraCells& r : rows) lines.push_back(JoinRow({r.begin(), r.end()}));
    return lines;
}

std::vector<int> FeedersWithoutCamera(const std::vector<CameraCells>& cameras,
                                      const std::vector<std::string>& feederCameraTexts) {
    std::vector<int> marked;
    if (cameras.size() >= 2) return marked;
    for (int i = 0; i < static_cast<int>(feederCameraTexts.size()); ++i)
        if (cameras.empty() || feederCameraTexts[i] != cameras[0][0]) marked.push_back(i);
    return marked;
}

std::optional<std::string> NextCameraName(const std::vector<CameraCells>& rows, bool& refuse) {
    refuse = false;
    switch (rows.size()) {
    case 0: return std::string(kCamera1Name);
    case 1: return std::string(rows[0][0] == kCamera1Name ? kCamera2Name : kCamera1Name);
    case 2: refuse = true; return std::nullopt;
    default: return std::nullopt;
    }
}

// ---- CameraList ------------------------------------------------------------------

CameraList::CameraList()
    : m_ListTexts("CameraListConfig", ListTextEntries()), m_EditTexts("CameraEditConfig", EditTextEntries()) {}

CameraList& TheCameraList() {
    static CameraList list;
    return list;
}

void CameraList::ParseRow(const std::vector<std::string>& lines) {
    auto rows = ParseCameraRows(lines);
    std::lock_guard g(m_lock);
    m_CameraTable = std::move(rows);
}

void CameraList::BuildLines(std::vector<std::string>& lines) const {
    std::lock_guard g(m_lock);
    lines = BuildCameraLines(m_CameraTable);
}

void CameraList::UpdateActiveCameras(const std::vector<CameraCells>& rows, double xPulse, double yPulse) {
    CameraRecord first, second;
    if (rows.size() == 2) {
        first = RecordFromCells(rows[0], 1, xPulse, yPulse);
        second = RecordFromCells(rows[1], 2, xPulse, yPulse);
    } else if (rows.size() == 1) {
        if (rows[0][0] == kCamera1Name) first = RecordFromCells(rows[0], 1, xPulse, yPulse);
        else second = RecordFromCells(rows[0], 2, xPulse, yPulse);
    }
    std::lock_guard g(m_lock);
    m_Camera_first = first;
    m_Camera_second = second;
}

bool CameraList::ApplyOriginOffset(double dx, double dy, double xPulse, double yPulse,
                                   std::vector<std::string>& lines, const std::string& configPath) {
    // New pulse factors come with (0, 0): the corrections follow them as well.
    const bool factorsChanged = dx == 0.0 && dy == 0.0;
    {
        std::lock_guard g(m_lock);
        for (CameraCells& r : m_CameraTable) {
            r[1] = FormatMm(AtoF(r[1]) + dx);
            r[2] = FormatMm(AtoF(r[2]) + dy);
        }
        if (m_CameraTable.size() == 2) {
            PulseFieldsFromCells(m_Camera_first, m_CameraTable[0], xPulse, yPulse, factorsChanged);
            PulseFieldsFromCells(m_Camera_second, m_CameraTable[1], xPulse, yPulse, factorsChanged);
        } else if (m_CameraTable.size() == 1) {
            CameraRecord& r = m_CameraTable[0][0] == kCamera1Name ? m_Camera_first : m_Camera_second;
            PulseFieldsFromCells(r, m_CameraTable[0], xPulse, yPulse, factorsChanged);
        }
        lines = BuildCameraLines(m_CameraTable);
    }
    return SaveConfig(configPath);
}

bool CameraList::IsCameraNameUsed(const std::string& name, int selectedRow) const {
    std::lock_guard g(m_lock);
    for (int i = 0; i < static_cast<int>(m_CameraTable.size()); ++i)
        if (i != selectedRow && m_CameraTable[i][0] == name) return true;
    return false;
}

void CameraList::FreeTable() {
    std::lock_guard g(m_lock);
    m_CameraTable.clear();
}

void CameraList::RefreshRecordAt(int line, const CameraCells& cells, double xPulse, double yPulse) {
    if (line != 0 && line != 1) return;
    const CameraRecord r = RecordFromCells(cells, line + 1, xPulse, yPulse);
    std::lock_guard g(m_lock);
    (line == 0 ? m_Camera_first : m_Camera_second) = r;
}

void CameraList::LoadConfig(const std::string& path) {
    CameraRecord first, second;
    CameraListSettings s;
    {
        std::lock_guard g(m_lock);
        first = m_Camera_first;
        second = m_Camera_second;
        s = m_settings;
    }
    for (auto [record, prefix, isFirst] : {std::tuple{&first, "m_Camera_first.", true},
                                            std::tuple{&second, "m_Camera_second.", false}})
        for (const RecordKey& k : RecordKeys(*record, isFirst)) {
            const std::string text = Read(prefix + k.name, path);
            if (k.i) *k.i = AtoI(text);
            else *k.d = AtoF(text);
        }
    for (const SettingKey& k : HeadKeys(s)) {
        const std::string text = Read(k.name, path);
        if (k.i) *k.i = AtoI(text);
        else *k.d = AtoF(text);
    }
    if (s.m_BaseDiameter < 5.0) s.m_BaseDiameter = 5.0;
    s.m_iTriggerPulse[0] = AtoI(Read(TriggerKey(1), path));
    if (s.m_iTriggerPulse[0] != 0) {
        for (int h = 1; h < 8; ++h) s.m_iTriggerPulse[h] = AtoI(Read(TriggerKey(h + 1), path));
    } else {
        // Files of the single-trigger days hold one advance for the first four heads.
        s.m_iTriggerPulse[0] = AtoI(Read("m_iTriggerInAdvance", path));
        if (s.m_iTriggerPulse[0] != 0)
            for (int h = 1; h < 4; ++h) s.m_iTriggerPulse[h] = s.m_iTriggerPulse[0];
    }
    for (const SettingKey& k : TailKeys(s)) {
        const std::string text = Read(k.name, path);
        if (k.i) *k.i = AtoI(text);
        else *k.d = AtoF(text);
    }
    if (s.m_iFlyStartSpeed == 0) s.m_iFlyStartSpeed = 1;
    if (s.m_iFlyNormalSpeed == 0) s.m_iFlyNormalSpeed = 1;
    std::lock_guard g(m_lock);
    m_Camera_first = first;
    m_Camera_second = second;
    m_settings = s;
}

bool CameraList::SaveConfig(const std::string& path) const {
    CameraRecord first = First(), second = Second();
    CameraListSettings s = Settings();
    bool ok = true;
    for (auto [record, prefix, isFirst] : {std::tuple{&first, "m_Camera_first.", true},
                                            std::tuple{&second, "m_Camera_second.", false}})
        for (const RecordKey& k : RecordKeys(*record, isFirst))
            ok = WriteKey(prefix + k.name, k.i ? FormatInt(*k.i) : FormatC(k.format, *k.d), path) && ok;
    auto write = [&](const std::vector<SettingKey>& keys) {
        for (const SettingKey& k : keys) ok = WriteKey(k.name, k.i ? FormatInt(*k.i) : FormatMm(*k.d), path) && ok;
    };
    write(HeadKeys(s));
    for (int h = 0; h < 8; ++h) ok = WriteKey(TriggerKey(h + 1), FormatInt(s.m_iTriggerPulse[h]), path) && ok;
    write(TailKeys(s));
    return ok;
}

std::vector<CameraCells> CameraList::Rows() const {
    std::lock_guard g(m_lock);
    return m_CameraTable;
}
void CameraList::SetRows(std::vector<CameraCells> rows) {
    std::lock_guard g(m_lock);
    m_CameraTable = std::move(rows);
}
int CameraList::CameraCount() const {
    std::lock_guard g(m_lock);
    return static_cast<int>(m_CameraTable.size());
}
CameraRecord CameraList::First() const {
    std::lock_guard g(m_lock);
    return m_Camera_first;
}
CameraRecord CameraList::Second() const {
    std::lock_guard g(m_lock);
    return m_Camera_second;
}
CameraListSettings CameraList::Settings() const {
    std::lock_guard g(m_lock);
    return m_settings;
}
void CameraList::SetSettings(const CameraListSettings& s) {
    std::lock_guard g(m_lock);
    m_settings = s;
}
void CameraList::Edit(const std::function<void(Contents&)>& change) {
    std::lock_guard g(m_lock);
    const std::vector<CameraCells> rows = m_CameraTable;
    const CameraRecord first = m_Camera_first, second = m_Camera_second;
    const CameraListSettings settings = m_settings;
    Contents c{m_CameraTable, m_Camera_first, m_Camera_second, m_settings};
    change(c);
    // The first value before this opening's results is the one Cancel puts back.
    auto note = [](auto& map, const auto& key, const auto& before, const auto& after) {
        if (before == after && !map.count(key)) return;
        auto [it, added] = map.try_emplace(key, Change<std::decay_t<decltype(before)>>{before, after});
        it->second.after = after;
    };
    for (std::size_t r = 0; r < rows.size() && r < m_CameraTable.size(); ++r)
        for (std::size_t k = 0; k < rows[r].size(); ++k) note(m_results.cells, std::pair{r, k}, rows[r][k], m_CameraTable[r][k]);
    note(m_results.records, 1, first, m_Camera_first);
    note(m_results.records, 2, second, m_Camera_second);
    for (std::size_t h = 0; h < settings.m_iTriggerPulse.size(); ++h)
        note(m_results.triggers, h, settings.m_iTriggerPulse[h], m_settings.m_iTriggerPulse[h]);
}

void CameraList::KeepCalibration() {
    std::lock_guard g(m_lock);
    m_results = {};
}

void CameraList::TakeBackCalibration() {
    std::lock_guard g(m_lock);
    for (const auto& [at, c] : m_results.cells)
        if (at.first < m_CameraTable.size() && m_CameraTable[at.first][at.second] == c.after)
            m_CameraTable[at.first][at.second] = c.before;
    for (const auto& [which, c] : m_results.records) {
        CameraRecord& r = which == 1 ? m_Camera_first : m_Camera_second;
        if (r == c.after) r = c.before;
    }
    for (const auto& [h, c] : m_results.triggers)
        if (m_settings.m_iTriggerPulse[h] == c.after) m_settings.m_iTriggerPulse[h] = c.before;
    m_results = {};
}

bool CameraList::HasCalibrationResults() const {
    std::lock_guard g(m_lock);
    return !m_results.Empty();
}

// ---- the editor's values ---------------------------------------------------------

CameraEditValues EditValuesFromCells(const CameraCells& c) {
    CameraEditValues v;
    v.m_CameraName = c[0];
    v.X = AtoF(c[1]);
    v.Y = AtoF(c[2]);
    for (int i = 0; i < 16; ++i) v.corrections[i] = AtoF(c[3 + i]);
    v.angle = AtoF(c[19]);
    v.VisualZoom = AtoF(c[20]);
    v.VisualSize = AtoF(c[21]);
    v.Light_Contrast = AtoI(c[22]);
    v.Light_Brightness = AtoI(c[23]);
    v.CorrectionTimes = AtoI(c[24]);
    v.Precision_XY = AtoI(c[25]);
    v.Precision_A = AtoI(c[26]);
    v.CollectTime = AtoI(c[27]);
    return v;
}

CameraCells CellsFromEditValues(const CameraEditValues& v) {
    CameraCells c;
    c[0] = v.m_CameraName;
    c[1] = FormatMm(v.X);
    c[2] = FormatMm(v.Y);
    for (int i = 0; i < 16; ++i) c[3 + i] = FormatMm(v.corrections[i]);
    c[19] = FormatMm(v.angle);
    c[20] = FormatC("%0.2f", v.VisualZoom);
    c[21] = FormatC("%0.2f", v.VisualSize);
    const int ints[6] = {v.Light_Contrast, v.Light_Brightness, v.CorrectionTimes,
                         v.Precision_XY, v.Precision_A, v.CollectTime};
    for (int i = 0; i < 6; ++i) c[22 + i] = FormatInt(ints[i]);
    return c;
}

bool WindowCheckApplies(int highSpeed, int currentCamera, const std::array<bool, 3>& switches) {
    if (highSpeed == 0) return true;
    if (highSpeed != 1 || currentCamera < 0 || currentCamera > 2) return false;
    return !switches[currentCamera];
}

bool WindowTooLarge(double zoom, double size, int imageHeight) {
    const double pixels = std::trunc(zoom * size);
    return pixels > imageHeight;
}

std::string PulsesAsMm(int pulses, double factor) {
    if (factor == 0.0 || !std::isfinite(factor)) return FormatMm(0.0);
    return FormatMm(pulses / factor);
}

// ---- popup menu ------------------------------------------------------------------

int CameraOperationOf(int command) {
    using namespace cameramenu;
    switch (command) {
    case NozzleToBase: return 0;
    case CameraToBase: return 1;
    case PickBaseToCamera: return 2;
    case PlaceBase: return 3;
    case ScaleCorrect: return 4;
    case CoordinatesCorrect: return 5;
    case MarkCameraCorrect: return 6;
    case NozzleCoordinatesCorrect: return 7;
    case FlyTest: return 8;
    case FlyCorrect: return 9;
    default: return -1;
    }
}

CameraMenuVerdict CheckCameraMenu(int command, const CameraMenuState& s, std::string& message) {
    const bool flying = command == cameramenu::FlyTest || command == cameramenu::FlyCorrect;
    auto refuse = [&](const char* text) {
        message = text;
        return CameraMenuVerdict::Refused;
    };
    message.clear();
    if (!s.connected) return refuse("Machine is not connection !");
    if (!s.homed) return refuse("Machine is not reset !");
    if (s.running) return refuse("Machine is runnig !");
    if (flying ? s.selectedRow != 0 : s.selectedRow < 0) return refuse(flying ? "No fly camera !" : "Please select row !");
    if (flying && !(s.highSpeed && s.visual1 && s.fly)) {
        if (command == cameramenu::FlyTest) return CameraMenuVerdict::Nothing;
        return refuse("Configuration error !");
    }
    return CameraMenuVerdict::Go;
}

CameraCalibrationPort& TheCameraCalibrationPort() {
    static CameraCalibrationPort port;
    return port;
}

CameraCalibrationView& TheCameraCalibrationView() {
    static CameraCalibrationView view;
    return view;
}

CameraListFeederPort& TheCameraListFeederPort() {
    static CameraListFeederPort port;
    return port;
}

} // namespace smt
