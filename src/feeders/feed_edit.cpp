#include "feeders/feed_edit.h"

#include <cmath>

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_list.h"
#include "feeders/feeder_words.h"
#include "feeders/pack_library.h"
#include "feeders/part_list_port.h"
#include "platform/msgbox.h"

namespace smt {

namespace {

using F = FeedEditField;
using Bounds = std::pair<double, double>;

F Field(int control, F::Kind kind) {
    F f;
    f.control = control;
    f.kind = kind;
    return f;
}
F IntField(int control, int FeedEditValues::*m, std::optional<Bounds> b) {
    F f = Field(control, F::Int);
    f.i = m;
    f.bounds = b;
    return f;
}
F DoubleField(int control, double FeedEditValues::*m, std::optional<Bounds> b) {
    F f = Field(control, F::Double);
    f.d = m;
    f.bounds = b;
    return f;
}
F TextField(int control, std::string FeedEditValues::*m) {
    F f = Field(control, F::Text);
    f.s = m;
    return f;
}
F Other(int control, F::Kind kind, int FeedEditValues::*m) {
    F f = Field(control, kind);
    f.i = m;
    return f;
}

bool IsTrayMode(int mode) { return mode == kFeedModeTray || mode == kFeedModeTrayDip; }
bool IsAutoMode(int mode) { return mode == 1 || mode == 7; }

// The numbered cells of a list item.
const std::string& Cell(const FeedListItem& item, int k) { return item.text[static_cast<std::size_t>(k)]; }

// "Yes" in a package cell.
bool Yes(const std::vector<std::string>& cells, std::size_t k) { return k < cells.size() && cells[k] == "Yes"; }

} // namespace

const std::vector<FeedEditField>& FeedEditExchange() {
    using V = FeedEditValues;
    namespace e = feededit;
    static const std::vector<FeedEditField> order = {
        IntField(e::Number, &V::number, Bounds{1, 10000}),
        Other(1110, F::Bank, &V::bank),
        TextField(e::PartType, &V::partType),
        TextField(e::Package, &V::package),
        TextField(e::Value, &V::value),
        DoubleField(e::PickX, &V::pickX, std::nullopt),
        DoubleField(e::PickY, &V::pickY, std::nullopt),
        DoubleField(e::Length, &V::length, Bounds{0.1, 100}),
        DoubleField(e::Width, &V::width, Bounds{0.1, 100}),
        DoubleField(e::Height, &V::height, Bounds{0, 100}),
        TextField(e::Angle, &V::angle),
        TextField(e::FeedMode, &V::feedMode),
        IntField(e::PickDelay, &V::pickDelay, Bounds{0, 65535}),
        IntField(e::PlaceDelay, &V::placeDelay, Bounds{0, 65535}),
        DoubleField(e::FeedCoordinate, &V::feedCoordinate, std::nullopt),
        IntField(e::FeedCount, &V::feedCount, Bounds{0, 10}),
        IntField(e::FeedTime, &V::feedTime, Bounds{0, 10000}),
        DoubleField(e::Loosen, &V::loosen, Bounds{0, 10000}),
        DoubleField(e::Tighten, &V::tighten, std::nullopt),
        TextField(e::Camera, &V::camera),
        IntField(e::Contrast, &V::contrast, Bounds{0, 255}),
        IntField(e::Brightness, &V::brightness, Bounds{0, 255}),
        TextField(e::Nozzle, &V::nozzle),
        DoubleField(e::PickHeight, &V::pickHeight, Bounds{-1000, 0}),
        IntField(e::Vacuum, &V::vacuum, Bounds{0, 100}),
        DoubleField(e::VacuumEarly, &V::vacuumEarly, Bounds{0, 30}),
        TextField(e::Speed, &V::speedName),
        Other(e::OwnSpeed, F::Check, &V::ownSpeed),
        IntField(e::Quantity, &V::quantity, Bounds{0, 100000}),
        Other(1111, F::Vision, &V::vision),
        TextField(e::Feature, &V::imageFeature),
        IntField(e::PrecisionA, &V::anglePrecision, Bounds{-1, 30}),
        IntField(e::PrecisionXY, &V::xyPrecision, Bounds{-1, 10}),
        IntField(e::CaptureTime, &V::captureTime, Bounds{-1, 3000}),
        Other(e::VacuumNozzle, F::ComboIndex, &V::vacuumTestNozzle),
    };
    return order;
}

DialogCaptions FeedEditCaptions() {
    const std::pair<const char*, const char*> builtIn[] = {
        {"c_FeedEdit", "料架编辑"}, {"c_FeedNumber", "料架编号"}, {"c_East", "东"}, {"c_South", "南"},
        {"c_West", "西"}, {"c_North", "北"}, {"c_Grid", "格"}, {"c_PartType", "元件类型"},
        {"c_PartPacking", "元件封装"}, {"c_PartAngle", "元件角度"}, {"c_PartValue", "元件数值"},
        {"c_PartLength", "元件长度"}, {"c_PartWidth", "元件宽度"}, {"c_PartHeight", "元件厚度"},
        {"c_X_Coordinates", "料架元件 X 坐标"}, {"c_Y_Coordinates", "料架元件 Y 坐标"},
        {"c_SelectFeedMode", "选择送料方式"}, {"c_CameraReach", "相机  到达"}, {"c_PartRemainder", "元件余数"},
        {"c_Pcs", "只"}, {"c_Next", "下一个"}, {"c_UpdatePack", "更新到数据库"}, {"c_FeedTest", "送料测试"},
        {"c_StepTest", "单步测试"}, {"c_SuctionPutDelay", "取料放料延时"}, {"c_SuctionDelay", "取料延时"},
        {"c_PutDelay", "放料延时"}, {"c_IDOK", "确定"}, {"c_IDCANCEL", "取消"}, {"c_FeedSet", "飞达设置"},
        {"c_Feed_Coordinates", "送料坐标"}, {"c_FeedTimes", "送料次数"}, {"c_FeedTime", "送料时间"},
        {"c_OpenLength", "松皮长度"}, {"c_CloseLength", "紧皮长度"}, {"c_DragTapeSet", "拖料设置"},
        {"c_FeedStep", "送料长度"}, {"c_ReturnStep", "回退距离"}, {"c_FeedDelay", "送料延时"},
        {"c_DragX_Coordinates", "拖料 X"}, {"c_DragY_Coordinates", "拖料 Y"}, {"c_VisualAlignSet", "视觉对中设置"},
        {"c_SelectCamera", "选择相机"}, {"c_NoVisual", "无视觉"}, {"c_VisualAlign", "视觉对中"},
        {"c_RunAlign", "飞行对中"}, {"c_ImageFeature", "图像特征"}, {"c_SeparateMark", "是否独立Mark点"},
        {"c_Contrast", "对比度"}, {"c_LightIntensity", "光亮度"}, {"c_Precision_XY", "X Y 校正精度"},
        {"c_Precision_A", "角度校正精度"}, {"c_CollectTime", "采像时间"}, {"c_PickToCamera", "取料到相机"},
        {"c_GetData", "获取"}, {"c_VacuumTestSet", "吸嘴真空检测设置"}, {"c_SelectNozzle", "选择贴装头"},
        {"c_NozzleHeight", "吸嘴取料高度"}, {"c_VacuumTestValue", "真空检测值"},
        {"c_smtBeforeCloseVacuum", "提前关闭真空"}, {"c_SeparateSpeedSet", "独立速度设置"},
        {"c_SeparateSpeed", "启用独立速度"}, {"c_Message_01", "0402与托盘不能一起使用 !"},
        {"c_Message_02", "请选择送料方式 !"}, {"c_Message_03", "请选择相机 !"}, {"c_Message_04", "请选择独立速度 !"},
        {"c_Message_05", "请选择吸嘴 !"}, {"c_Message_06", "编号重复 !"},
        {"c_Message_07", "没有复位A1或A2，提取坐标失败 !"}, {"c_Message_08", "0402送料次数不能大于1 !"},
        {"c_Message_09", "飞达坐标越限 !"}, {"c_Message_10", "请确定此元件具有Mark标志 !"},
        {"c_Message_11", "南面不能使用集中飞达或拖针 !"}, {"c_Message_12", "南面自动飞达不能超过96 !"},
        {"c_Message_13", "除南面外其他不能使用自动飞达 !"}, {"c_Message_14", "方位与送料方式不匹配 !"},
    };
    std::vector<DialogCaptions::Entry> entries;
    for (const auto& [key, text] : builtIn) entries.emplace_back(std::string("FeedEdit.") + key, text);
    return DialogCaptions("FeedEditConfig", std::move(entries));
}

// ---- choices -------------------------------------------------------------------------

std::vector<int> FeedEditFeedModes(int machineType) {
    switch (machineType) {
    case 0: return {0, 1, 2, 3, 4, 5, 6, 7, 8};
    case 1: case 2: case 3: case 5: return {0, 1, 2, 3, 4, 5, 7, 8};
    case 4: case 6: case 7: return {1, 2, 3, 7, 8};
    default: return {};
    }
}

std::vector<std::string> FeedEditNozzles(int machineType, bool autoChange, bool nineteen) {
    int last = 0;
    switch (machineType) {
    case 0: case 1: last = autoChange ? 6 : 1; break;
    case 2: case 5: last = autoChange ? 6 : 2; break;
    case 3: last = autoChange ? (nineteen ? 19 : 6) : 4; break;
    case 4: case 6: last = 4; break;
    case 7: last = autoChange && nineteen ? 19 : 8; break;
    default: break;
    }
    std::vector<std::string> items;
    for (int n = 1; n <= last; ++n) items.push_back(FormatInt(n));
    return items;
}

std::vector<std::string> FeedEditHeads(int machineType, char prefix) {
    int count = 0;
    switch (machineType) {
    case 0: case 1: count = 1; break;
    case 2: case 4: case 5: count = 2; break;
    case 3: case 6: count = 4; break;
    case 7: count = 8; break;
    default: break;
    }
    std::vector<std::string> items;
    for (int n = 1; n <= count; ++n) items.push_back(std::string(1, prefix) + FormatInt(n));
    return items;
}

const char* BankAngle(int bank) {
    switch (bank) {
    case kBankEast: return "270";
    case kBankSouth: return "180";
    case kBankWest: return "90";
    default: return "0";
    }
}

char BankLetter(int bank) {
    static const char letters[] = {'E', 'S', 'W', 'N', 'G'};
    return bank >= 0 && bank <= 4 ? letters[bank] : 0;
}

FeedModeLayout FeedModeLayoutOf(int mode) {
    namespace e = feededit;
    FeedModeLayout l;
    const std::vector<int> all = {e::FeedCoordinate, e::FeedCount, e::FeedTime, e::Loosen, e::Tighten};
    auto set = [&](Shown tray, Shown autoTest, Shown step, Shown drag, FeedModeLayout::Caption caption,
                   FeedModeLayout::Texts texts, std::vector<int> on, std::vector<int> off) {
        l.tray = tray, l.autoTest = autoTest, l.stepTest = step, l.drag = drag;
        l.trayCaption = caption, l.texts = texts, l.enable = std::move(on), l.disable = std::move(off);
    };
    const Shown S = Shown::Show, H = Shown::Hide;
    using L = FeedModeLayout;
    switch (mode) {
    case 0: set(S, H, S, H, L::FeedTestText, L::Feeder, all, {}); break;
    case 1: case 7: set(H, S, H, H, L::Keep, L::Feeder, {e::FeedTime}, {e::FeedCoordinate, e::Loosen, e::Tighten}); break;
    case 2: set(S, H, H, H, L::FeedTestText, L::Feeder, {e::FeedCount, e::FeedTime}, {e::FeedCoordinate, e::Loosen, e::Tighten}); break;
    case 3: case 8: set(S, H, H, H, L::TrayWord, L::Feeder, {}, all); break;
    case 4: case 5: set(S, H, H, H, L::FeedTestText, L::Feeder, all, {}); break;
    case 6: set(S, H, H, S, L::FeedTestText, L::DragPin, {e::FeedCoordinate, e::FeedTime, e::Loosen, e::Tighten}, {e::FeedCount}); break;
    default: break;
    }
    return l;
}

FeedModeChange FeedModeChangeOf(int mode, int bank) {
    FeedModeChange c;
    c.bank = bank;
    switch (mode) {
    case 0: case 4: case 5: case 6:
        if (bank == kBankSouth || bank == kBankTray) c.bank = kBankWest;
        c.feedCount = "1";
        c.feedTime = "200";
        break;
    case 1: case 7:
        c.bank = kBankSouth;
        c.feedTime = "100";
        break;
    case 2:
        if (bank == kBankSouth || bank == kBankTray) c.bank = kBankEast;
        c.feedTime = "100";
        break;
    case 3: case 8: c.bank = kBankTray; break;
    default: break;
    }
    return c;
}

std::optional<std::string> PrecisionText(const std::string& text, double factor) {
    const double value = AtoF(text);
    if (value == -1 || factor == 0 || !std::isfinite(factor)) return std::nullopt;
    return FormatC("%0.4f", value / factor);
}

// ---- the form ----------------------------------------------------------------------

FeedEditForm::FeedEditForm() : texts(FeedEditCaptions()) {}

std::string FeedEditForm::Id() const {
    const char letter = BankLetter(v.bank);
    return (letter ? std::string(1, letter) : std::string()) + FormatInt(v.number);
}

bool FeedEditForm::Refuse(const std::string& message, FeedEditOk& result) {
    plat::MessageBoxOk(message);
    validationFailed = true;
    storeInPlace = false;
    result = FeedEditOk::Refused;
    return false;
}

bool FeedEditForm::Check(FeedEditControls& c, FeedList& list, FeedEditOk& result) {
    result = FeedEditOk::Stopped;
    // 1. The tray words need the tray bank.
    if (IsTrayMode(FeedModeIndex(c.FeedModeText()))) {
        v.bank = kBankTray;
        c.CheckBank(kBankTray);
    }
    // 2. A vibration feeder needs a feed count.
    v.package = c.PackageText();
    v.feedMode = c.FeedModeText();
    const int mode = FeedModeIndex(v.feedMode);
    if (mode == 2 && AtoI(c.FeedCountText()) == 0) {
        c.FocusFeedCount();
        return false;
    }
    // 3. The ranges. A stale store-in-place request must not survive a failed read.
    if (!c.ReadControls(v)) {
        validationFailed = true;
        storeInPlace = false;
        return false;
    }
    // 4. Bank against feed mode.
    const int m = FeedModeIndex(v.feedMode);
    switch (v.bank) {
    case kBankEast: case kBankWest: case kBankNorth:
        if (IsAutoMode(m)) return Refuse(Text("c_Message_13"), result);
        if (IsTrayMode(m)) return Refuse(Text("c_Message_14"), result);
        break;
    case kBankSouth:
        if (!IsAutoMode(m)) return Refuse(Text("c_Message_11"), result);
        if (v.number > 96) return Refuse(Text("c_Message_12"), result);
        break;
    case kBankTray:
        if (!IsTrayMode(m)) return Refuse(Text("c_Message_14"), result);
        break;
    default: return Refuse(Text("c_Message_02"), result);
    }
    // 5. An integrated feeder gets its defaults one at a time, each confirmed by another OK.
    if (m == 0) {
        const std::pair<bool, std::pair<int, const char*>> fills[] = {
            {v.feedCount == 0, {feededit::FeedCount, "1"}},
            {v.loosen == 0, {feededit::Loosen, "15"}},
            {v.tighten == 0, {feededit::Tighten, "20"}}};
        for (const auto& [empty, fill] : fills) {
            if (!empty) continue;
            c.SetEditText(fill.first, fill.second);
            validationFailed = true;
            storeInPlace = false;
            return false;
        }
    }
    // 6. Camera, speed and nozzle.
    if (v.vision != 0 && v.camera.empty()) return Refuse(Text("c_Message_03"), result);
    if (v.ownSpeed != 0 && v.speedName.empty()) return Refuse(Text("c_Message_04"), result);
    if (v.nozzle.empty()) return Refuse(Text("c_Message_05"), result);
    // 7. The identifier is free (the edited row's own does not count).
    if (list.IsFeederIdTaken(Id())) return Refuse(Text("c_Message_06"), result);
    return true;
}

FeedEditOk FeedEditForm::Ok(FeedEditControls& c, FeedList& list) {
    FeedEditOk result = FeedEditOk::Stopped;
    if (!Check(c, list, result)) return result;
    if (storeInPlace) {
        StoreFeedEditInListRow(*this, list, list.selected);
        storeInPlace = false;
        validationFailed = false;
        return FeedEditOk::StoredInPlace;
    }
    const std::string id = Id();
    const PartListPort& port = ThePartListPort();
    if (port.rowEditorOpen && port.rowEditorOpen() && port.setRowEditorFeeder) port.setRowEditorFeeder(id);
    // A new feeder has no previous identifier: the rows without a feeder stay as they are.
    if (!previousId.empty() && port.updateRowsForFeeder)
        port.updateRowsForFeeder(previousId, id, v.vision, v.value, v.nozzle);
    validationFailed = false;
    return FeedEditOk::Accepted;
}

FeedEditNext FeedEditForm::Next(FeedEditControls& c, FeedList& list, int machineType) {
    // Next writes the list and the group as OK would: it passes OK's checks first.
    FeedEditOk result = FeedEditOk::Stopped;
    if (!Check(c, list, result)) return FeedEditNext::Stopped;
    const int row = list.selected;
    FeedGroupTable& table = list.Table();
    const int slot = table.FindFeedGroupByName(table.OpenGroupName());
    const std::optional<FeedGroup> group = table.CopyGroup(slot);
    // The feeder is the one loaded into the form, whatever its new identifier.
    const int feeder = group && !previousId.empty() ? group->FindRow(previousId) : -1;
    if (feeder < 0 || row < 0 || row >= list.ItemCount()) {
        plat::MessageBoxOk(list.Text("c_Message_02"));
        return FeedEditNext::Stopped;
    }
    validationFailed = false;
    StoreFeedEditInListRow(*this, list, row);
    list.editGroupIndex = slot;
    list.editFeederIndex = feeder;
    table.CopyListRowToFeedRow(slot, list, row, feeder);
    if (const auto& update = ThePartListPort().updateRowsForFeeder)
        update(previousId, Id(), v.vision, v.value, v.nozzle);
    const int next = row + 1;
    if (next >= list.ItemCount()) {
        list.selected = -1;
        list.editing = false;
        return FeedEditNext::Closed;
    }
    const std::optional<FeedGroup> now = table.CopyGroup(slot);
    list.editFeederIndex = now ? now->FindRow(list.rows[static_cast<std::size_t>(next)].text[0]) : -1;
    list.selected = next;
    LoadFeedEditFromListRow(*this, list, next, machineType);
    return FeedEditNext::Moved;
}

// ---- transfers ---------------------------------------------------------------------

void LoadFeedEditFromListRow(FeedEditForm& form, const FeedListItem& item, int machineType) {
    FeedEditValues& v = form.v;
    const std::string& id = Cell(item, 0);
    form.previousId = id;
    static const std::pair<char, int> searched[] = {
        {'W', kBankWest}, {'N', kBankNorth}, {'E', kBankEast}, {'S', kBankSouth}, {'G', kBankTray}};
    std::size_t after = 0;
    for (const auto& [letter, bank] : searched) {
        const std::size_t at = id.find(letter);
        if (at == std::string::npos) continue;
        v.bank = bank;
        after = at + 1;
        break;
    }
    v.number = AtoI(std::string_view(id).substr(after));
    v.partType = Cell(item, 1);
    v.package = Cell(item, 2);
    v.value = Cell(item, 3);
    v.angle = Cell(item, 9);
    v.nozzle = Cell(item, 10);
    v.feedMode = Cell(item, 14);
    v.imageFeature = Cell(item, 25);
    v.pickX = AtoF(Cell(item, 4));
    v.pickY = AtoF(Cell(item, 5));
    v.length = AtoF(Cell(item, 6));
    v.width = AtoF(Cell(item, 7));
    v.height = AtoF(Cell(item, 8));
    v.feedCoordinate = AtoF(Cell(item, 17));
    v.loosen = AtoF(Cell(item, 20));
    v.tighten = AtoF(Cell(item, 21));
    v.pickHeight = AtoF(Cell(item, 22));
    v.vacuumEarly = AtoF(Cell(item, 24));
    v.vacuum = AtoI(Cell(item, 11));
    v.pickDelay = AtoI(Cell(item, 15));
    v.placeDelay = AtoI(Cell(item, 16));
    v.feedCount = AtoI(Cell(item, 18));
    v.feedTime = AtoI(Cell(item, 19));
    v.quantity = AtoI(Cell(item, 26));
    auto unsetOr = [&](int k) { return Cell(item, k).empty() ? -1 : AtoI(Cell(item, k)); };
    v.xyPrecision = unsetOr(27);
    v.anglePrecision = unsetOr(28);
    v.captureTime = unsetOr(29);
    v.camera = Cell(item, 12);
    // Machine type 4 has no vision centring.
    v.vision = item.icon12 == feedicon::CameraYes && machineType != 4 ? 1 : 0;
    if (item.icon13 == feedicon::FlyingYes) v.vision = 2;
    const std::string& light = Cell(item, 13);
    const std::size_t slash = light.find('/');
    v.contrast = AtoI(light.substr(0, slash));
    v.brightness = slash == std::string::npos ? 0 : AtoI(std::string_view(light).substr(slash + 1));
    v.ownSpeed = item.icon23 == feedicon::SpeedYes ? 1 : 0;
    v.speedName = Cell(item, 23);
}

FeedListItem StoreFeedEditInListRow(const FeedEditForm& form) {
    const FeedEditValues& v = form.v;
    FeedListItem item;
    auto set = [&item](int k, std::string text) { item.text[static_cast<std::size_t>(k)] = std::move(text); };
    set(0, IsTrayMode(FeedModeIndex(v.feedMode)) ? "G" + FormatInt(v.number) : form.Id());
    set(1, v.partType);
    set(2, v.package);
    set(3, v.value);
    set(4, FormatC("%.4f", v.pickX));
    set(5, FormatC("%.4f", v.pickY));
    set(6, FormatC("%.2f", v.length));
    set(7, FormatC("%.2f", v.width));
    set(8, FormatC("%.2f", v.height));
    set(9, v.angle);
    set(10, v.nozzle);
    set(11, FormatInt(v.vacuum));
    set(12, v.camera);
    set(13, FormatC("%d/%d", v.contrast, v.brightness));
    set(14, v.feedMode);
    set(15, FormatInt(v.pickDelay));
    set(16, FormatInt(v.placeDelay));
    set(17, FormatC("%.4f", v.feedCoordinate));
    set(18, FormatInt(v.feedCount));
    set(19, FormatInt(v.feedTime));
    set(20, FormatC("%0.4f", v.loosen));
    set(21, FormatC("%0.4f", v.tighten));
    set(22, FormatC("%.4f", v.pickHeight));
    set(23, v.speedName);
    set(24, FormatC("%.4f", v.vacuumEarly));
    set(25, v.imageFeature);
    set(26, FormatInt(v.quantity));
    set(27, FormatInt(v.xyPrecision));
    set(28, FormatInt(v.anglePrecision));
    set(29, FormatInt(v.captureTime));
    item.icon12 = v.vision == 1 ? feedicon::CameraYes : feedicon::No;
    item.icon13 = v.vision == 2 ? feedicon::FlyingYes : feedicon::No;
    item.icon23 = v.ownSpeed ? feedicon::SpeedYes : feedicon::No;
    return item;
}

bool LoadFeedEditFromListRow(FeedEditForm& form, const FeedList& list, int row, int machineType) {
    if (row < 0 || row >= list.ItemCount()) return false;
    LoadFeedEditFromListRow(form, list.rows[static_cast<std::size_t>(row)], machineType);
    return true;
}

bool StoreFeedEditInListRow(const FeedEditForm& form, FeedList& list, int row) {
    if (row < 0 || row >= list.ItemCount()) return false;
    FeedListEntry& entry = list.rows[static_cast<std::size_t>(row)];
    static_cast<FeedListItem&>(entry) = StoreFeedEditInListRow(form);
    if (list.changed) list.changed();
    return true;
}

std::vector<std::string> FillPackCombo(const std::vector<std::string>& packLines) {
    std::vector<std::string> names;
    for (const std::string& line : packLines) {
        const std::size_t tab = line.find('\t');
        names.push_back(tab == std::string::npos ? std::string() : line.substr(0, tab));
    }
    return names;
}

bool ChoosePackage(FeedEditValues& v, const std::string& name, const std::vector<std::string>& packLines) {
    for (const std::string& line : packLines) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.compare(0, tab, name) != 0 || tab != name.size()) continue;
        std::vector<std::string> cells = SplitRow(line);
        cells.resize(std::max<std::size_t>(cells.size(), 26));
        v.package = name;
        v.length = AtoF(cells[1]);
        v.width = AtoF(cells[2]);
        v.height = AtoF(cells[3]);
        v.contrast = AtoI(cells[4]);
        v.brightness = AtoI(cells[5]);
        v.pickDelay = AtoI(cells[6]);
        v.placeDelay = AtoI(cells[7]);
        v.camera = cells[8];
        v.vision = Yes(cells, 9) ? 1 : 0;
        if (Yes(cells, 10)) v.vision = 2;
        v.nozzle = cells[11];
        v.ownSpeed = Yes(cells, 12) ? 1 : 0;
        v.speedName = TranslateSpeedName(cells[13]);
        v.imageFeature = cells[14];
        v.feedMode = TranslateFeedMode(cells[15]);
        v.bank = FeedModeChangeOf(FeedModeIndex(v.feedMode), v.bank).bank;  // no defaults here
        v.feedCount = AtoI(cells[16]);
        v.feedTime = AtoI(cells[17]);
        v.loosen = AtoF(cells[18]);
        v.tighten = AtoF(cells[19]);
        v.xyPrecision = AtoI(cells[20]);
        v.anglePrecision = AtoI(cells[21]);
        v.captureTime = AtoI(cells[22]);
        v.pickHeight = AtoF(cells[23]);
        v.vacuum = AtoI(cells[24]);
        v.vacuumEarly = AtoF(cells[25]);
        return true;
    }
    return false;
}

bool UpdatePackage(const FeedEditValues& v, PackLibrary& library) {
    const int at = library.FindPackByName(v.package);
    auto& rows = library.Table().Rows();
    if (at < 0 || at >= static_cast<int>(rows.size())) return false;
    TextRow& row = rows[static_cast<std::size_t>(at)];
    row.resize(std::max<std::size_t>(row.size(), kPackCells));
    auto set = [&row](int k, std::string text) { row[static_cast<std::size_t>(k)] = std::move(text); };
    set(1, FormatC("%0.4f", v.length));
    set(2, FormatC("%0.4f", v.width));
    set(3, FormatC("%0.4f", v.height));
    set(4, FormatInt(v.contrast));
    set(5, FormatInt(v.brightness));
    set(6, FormatInt(v.pickDelay));
    set(7, FormatInt(v.placeDelay));
    set(8, v.camera);
    set(9, v.vision == 1 ? "Yes" : "No");
    set(10, v.vision == 2 ? "Yes" : "No");
    set(11, v.nozzle);
    set(12, v.ownSpeed ? "Yes" : "No");
    set(13, v.speedName);
    set(14, v.imageFeature);
    set(15, v.feedMode);
    set(16, FormatInt(v.feedCount));
    set(17, FormatInt(v.feedTime));
    set(18, FormatC("%0.0f", v.loosen));
    set(19, FormatC("%0.0f", v.tighten));
    set(20, FormatInt(v.xyPrecision));
    set(21, FormatInt(v.anglePrecision));
    set(22, FormatInt(v.captureTime));
    set(23, FormatC("%0.4f", v.pickHeight));
    set(24, FormatInt(v.vacuum));
    set(25, FormatC("%0.4f", v.vacuumEarly));
    return true;
}

} // namespace smt
