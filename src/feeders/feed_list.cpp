#include "feeders/feed_list.h"

#include <algorithm>
#include <numeric>

#include "base/captions.h"
#include "base/globals.h"
#include "base/hooks.h"
#include "base/numtext.h"
#include "feeders/feed_group_file.h"
#include "feeders/feeder_words.h"
#include "feeders/part_list_port.h"
#include "link/busy.h"
#include "link/link_state.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "settings/basic_settings.h"
#include "machine_ops/basic_teach.h"
#include "settings/pulse_settings.h"
#include "vision/camera_panel_port.h"

namespace smt {

namespace {

const char* const kColumnTexts[30] = {
    "编号", "元件类型", "元件封装", "元件数值", "X坐标", "Y坐标", "长度", "宽度", "高度", "角度",
    "贴装头", "真空值", "视觉相机", "飞行对中", "送料方式", "取料延时", "送料延时", "送料坐标", "送料次数", "送料时间",
    "松皮长度", "紧皮长度", "取料高度", "独立速度", "提前关闭真空", "图像特征", "数量", "XY精度", "A精度", "时间"};

std::vector<DialogCaptions::Entry> ListEntries() {
    std::vector<DialogCaptions::Entry> e = {
        {"FeedList.c_FeedGroup", "料架组名称"}, {"FeedList.c_ColName", "列名"},
        {"FeedList.c_ShowSelect", "显示选中料架"}, {"FeedList.c_Content", "内容"}, {"FeedList.c_Find", "查找"}};
    for (int i = 0; i < 30; ++i) e.push_back({FormatC("FeedList.c_FeedList_%02d", i + 1), kColumnTexts[i]});
    const std::pair<const char*, const char*> menu[] = {
        {"c_FeedAdd", "添加料架"}, {"c_FeedEdit", "修改料架"}, {"c_FeedDelete", "删除料架"},
        {"c_FeedCopy", "复制料架"}, {"c_FeedPaste", "粘贴料架"}, {"c_MeasurementToFeedTest", "测量头自动检测高度"},
        {"c_NozzleToFeedTest", "吸嘴到料架坐标测试"}, {"c_CameraToFeedTest", "相机到料架坐标测试"},
        {"c_CameraToFeedHoleTest", "相机到拉料孔坐标测试"}, {"c_TowbarToHoleTest", "拉料头到拉料孔测试"},
        {"c_FeedTest", "送料测试"}, {"c_NozzlePickToCamera1", "贴片头取料到相机1"},
        {"c_NozzlePickToCamera2", "贴片头取料到相机2"}, {"c_GetImageFeature", "获取图像特征"},
        {"c_Message_01", "设备正在自动工作，不能操作料架 !"},
        {"c_Message_02", "没找到对应的料架编号，请删除此料架重新创建 !"}, {"c_Message_03", "请先复制料架 !"},
        {"c_Message_04", "请选择要测试的行 !"}, {"c_Message_07", "料架送料坐标数据越限 !"},
        {"c_Message_08", "请选择行 !"}, {"c_Message_09", "是否删除选择行 ?"}};
    for (const auto& [k, t] : menu) e.push_back({std::string("FeedList.") + k, t});
    for (int n = 1; n <= 8; ++n) {
        e.push_back({FormatC("FeedList.c_Nozzle%dToFeedTest", n), FormatC("吸嘴%d到料架坐标测试", n)});
        e.push_back({FormatC("FeedList.c_Nozzle%dPickToCamera1", n), FormatC("贴片头%d取料到相机1", n)});
        e.push_back({FormatC("FeedList.c_Nozzle%dPickToCamera2", n), FormatC("贴片头%d取料到相机2", n)});
    }
    return e;
}

int Bank(const std::string& id) {
    // Searched in this order; none counts as E.
    const std::pair<char, int> banks[] = {{'W', 2}, {'N', 3}, {'E', 0}, {'S', 1}, {'G', 4}};
    for (const auto& [letter, rank] : banks)
        if (id.find(letter) != std::string::npos) return rank;
    return 0;
}

bool IsTextColumn(int column) {
    return column == 1 || column == 2 || column == 3 || column == 12 || column == 13 || column == 14 || column == 21;
}

} // namespace

FeedList::FeedList(FeedGroupTable& table)
    : captions("FeedListConfig", ListEntries()),
      editCaptions("FeedEditConfig", {{"FeedEdit.c_FeedStep", "送料长度"}, {"FeedEdit.c_ReturnStep", "回退距离"},
                                      {"FeedEdit.c_FeedDelay", "送料延时"}, {"FeedEdit.c_DragX_Coordinates", "拖料 X"},
                                      {"FeedEdit.c_DragY_Coordinates", "拖料 Y"}}),
      m_table(table) {}

// ---- the list as the table sees it ----------------------------------------------

void FeedList::DeleteAllItems() { rows.clear(); }

void FeedList::InsertItem(int position, const FeedListItem& item) {
    FeedListEntry e;
    static_cast<FeedListItem&>(e) = item;
    position = std::clamp(position, 0, ItemCount());
    rows.insert(rows.begin() + position, std::move(e));
}

int FeedList::ItemCount() const { return static_cast<int>(rows.size()); }
FeedListItem FeedList::Item(int index) const { return rows.at(static_cast<std::size_t>(index)); }

int FeedList::RowById(const std::string& id) const {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].text[0] == id) return static_cast<int>(i);
    return -1;
}

void FeedList::SetGroupName(const std::string& name) {
    if (name != m_groupName) copied = false;
    m_groupName = name;
}

// ---- start, captions, sort ---------------------------------------------------------

void FeedList::Initialise(const std::string& startFolder, const std::string& language) {
    DialogCaptions group("FeedGroupConfig", {{"FeedGroup.c_Message_09", kNoFeedGroupArrayText}});
    group.Load(startFolder, language);
    ReadFeedGroupTable(m_table, g_FeedLines, group.Text("FeedGroup.c_Message_09"));
    ShowOpenGroup();
}

void FeedList::ShowOpenGroup() {
    const std::string open = m_table.OpenGroupName();
    m_table.FillFeedListFromGroup(open, *this);
    selected = -1;
    SetGroupName(open);
    Changed();
}

void FeedList::LoadLanguage(const std::string& startFolder, const std::string& language) {
    captions.Load(startFolder, language);
    editCaptions.Load(startFolder, language);
    partListMessage20 = LoadCaption(startFolder, language, "PartListConfig", "PartList.c_Message_20", kNoFeedGroupText);
    partListMessage44 =
        LoadCaption(startFolder, language, "PartListConfig", "PartList.c_Message_44", kCameraTrackWarningText);
    // Cells 14 and 23 into the current language, in the list and in the open group.
    const int slot = m_table.FindFeedGroupByName(m_table.OpenGroupName());
    for (FeedListEntry& e : rows) {
        e.text[feedcell::FeedMode] = TranslateFeedMode(e.text[feedcell::FeedMode]);
        e.text[feedcell::OwnSpeed] = TranslateSpeedName(e.text[feedcell::OwnSpeed]);
        if (auto row = m_table.CopyFeedRow(slot, e.text[0])) {
            m_table.SetFeederCell(slot, e.text[0], feedcell::FeedMode, e.text[feedcell::FeedMode]);
            const std::string& stored = (*row)[feedcell::OwnSpeed];
            const std::size_t slash = stored.find('/');
            const std::string prefix = slash == std::string::npos ? std::string() : stored.substr(0, slash + 1);
            m_table.SetFeederCell(slot, e.text[0], feedcell::OwnSpeed, prefix + e.text[feedcell::OwnSpeed]);
        }
    }
    Changed();
}

std::string FeedList::ColumnCaption(int column, int machineType) const {
    if (machineType == 0 && column >= 17 && column <= 21) {
        static const char* keys[] = {"FeedEdit.c_FeedStep", "FeedEdit.c_ReturnStep", "FeedEdit.c_FeedDelay",
                                     "FeedEdit.c_DragX_Coordinates", "FeedEdit.c_DragY_Coordinates"};
        return editCaptions.Text(keys[column - 17]);
    }
    return Text(FormatC("c_FeedList_%02d", column + 1));
}

int FeedList::CompareFeedRows(const std::string& a, const std::string& b, int column) {
    if (column == 0) {
        const int ba = Bank(a), bb = Bank(b);
        if (ba != bb) return ba < bb ? -1 : 1;
        const int na = a.empty() ? 0 : AtoI(std::string_view(a).substr(1));
        const int nb = b.empty() ? 0 : AtoI(std::string_view(b).substr(1));
        // Equal identifiers compare equal: a sort needs a strict weak order.
        return na < nb ? -1 : na > nb ? 1 : 0;
    }
    if (IsTextColumn(column)) {
        const std::u16string ua = plat::Utf8ToUtf16(a), ub = plat::Utf8ToUtf16(b);
        return ua < ub ? -1 : ua > ub ? 1 : 0;
    }
    const double da = AtoF(a), db = AtoF(b);
    return da < db ? -1 : da > db ? 1 : 0;
}

void FeedList::SortFeedList() {
    const int column = std::clamp(sortColumn, 0, kFeedCells - 1);
    std::stable_sort(rows.begin(), rows.end(), [column](const FeedListEntry& x, const FeedListEntry& y) {
        return CompareFeedRows(x.text[static_cast<std::size_t>(column)], y.text[static_cast<std::size_t>(column)],
                               column) < 0;
    });
    selected = -1;
    Changed();
}

// ---- context menu -------------------------------------------------------------------

std::set<int> FeedList::GreyedEntries(int machineType) const {
    std::set<int> g;
    auto nozzles = [&g](int from) { for (int n = from; n <= 8; ++n) g.insert(feedmenu::Nozzle[static_cast<std::size_t>(n - 1)]); };
    auto heads = [&g](int from) {
        for (int n = from; n <= 8; ++n) {
            g.insert(feedmenu::Camera1[static_cast<std::size_t>(n - 1)]);
            g.insert(feedmenu::Camera2[static_cast<std::size_t>(n - 1)]);
        }
    };
    switch (machineType) {
    case 0: nozzles(3); heads(2); break;
    case 1: nozzles(3); g.insert(feedmenu::CameraToHole); heads(2); break;
    case 2: case 5: nozzles(3); g.insert(feedmenu::CameraToHole); heads(3); break;
    case 3: case 6: nozzles(5); g.insert(feedmenu::CameraToHole); heads(5); break;
    case 4:
        nozzles(5);
        g.insert({feedmenu::CameraToFeeder, feedmenu::CameraToHole, feedmenu::Towbar});
        heads(1);
        break;
    case 7: g.insert({feedmenu::CameraToHole, feedmenu::Towbar}); break;
    default: break;
    }
    if (selected < 0)
        g.insert({feedmenu::Edit, feedmenu::Delete, feedmenu::Copy, feedmenu::Paste, feedmenu::Nozzle[0],
                  feedmenu::Nozzle[1], feedmenu::CameraToFeeder, feedmenu::Towbar, feedmenu::FeedTest});
    if (!copied) g.insert(feedmenu::Paste);
    return g;
}

void FeedList::TakeSelection(int row) {
    selected = row >= 0 && row < ItemCount() ? row : -1;
    if (selected < 0) plat::MessageBoxOk(Text("c_Message_08"));
}

int FeedOperationCodeOf(int id) {
    if (id == feedmenu::Measure) return 0;
    for (int n = 0; n < 8; ++n) {
        if (feedmenu::Nozzle[static_cast<std::size_t>(n)] == id) return n + 1;
        if (feedmenu::Camera1[static_cast<std::size_t>(n)] == id) return 13 + n;
        if (feedmenu::Camera2[static_cast<std::size_t>(n)] == id) return 21 + n;
    }
    if (id == feedmenu::CameraToFeeder) return 9;
    if (id == feedmenu::CameraToHole) return 10;
    if (id == feedmenu::FeedTest) return 12;
    return -1;  // the towbar: by the feed mode
}

// ---- commands -------------------------------------------------------------------------

bool FeedList::RefuseWhileBusy() const {
    if (!g_Running.load()) return false;
    plat::MessageBoxOk(Text("c_Message_01"));
    return true;
}

bool FeedList::Copy() {
    if (selected < 0 || selected >= ItemCount()) {
        plat::MessageBoxOk(Text("c_Message_08"));
        return false;
    }
    const FeedListEntry& e = rows[static_cast<std::size_t>(selected)];
    copiedId = e.text[0];
    copiedBank = copiedId.substr(0, 1);
    copiedCells.clear();
    for (int k = 0; k < kFeedCells; ++k) {
        if (k == feedcell::Camera) copiedCells.push_back(e.icon12 == feedicon::CameraYes ? "1" : "0");
        if (k == feedcell::Flying) copiedCells.push_back(e.icon13 == feedicon::FlyingYes ? "1" : "0");
        if (k == feedcell::OwnSpeed)
            copiedCells.push_back(e.icon23 == feedicon::SpeedYes || e.icon23 == feedicon::PastedSpeedYes ? "1" : "0");
        copiedCells.push_back(e.text[static_cast<std::size_t>(k)]);
    }
    copied = true;
    return true;
}

bool FeedList::Paste() {
    if (RefuseWhileBusy()) return false;
    if (copiedCells.size() != kFeedCells + 3) {
        plat::MessageBoxOk(Text("c_Message_03"));
        return false;
    }
    if (m_table.OpenUsedSlot() < 0) {
        plat::MessageBoxOk(partListMessage20);
        return false;
    }
    int largest = 0;
    for (const FeedListEntry& e : rows)
        if (!copiedBank.empty() && e.text[0].rfind(copiedBank, 0) == 0)
            largest = std::max(largest, AtoI(std::string_view(e.text[0]).substr(copiedBank.size())));
    const std::string newId = copiedBank + FormatInt(largest + 1);
    const int position = selected >= 0 && selected < ItemCount() ? selected : ItemCount();
    if (!m_table.PasteFeederIntoGroup(copiedId, position, newId)) {
        plat::MessageBoxOk(Text("c_Message_02"));
        return false;
    }
    FeedListEntry e;
    std::size_t at = 0;
    for (int k = 0; k < kFeedCells; ++k) {
        if (IsFlagCell(k)) {
            const bool yes = copiedCells[at++] == "1";
            const int icon = k == feedcell::Camera ? feedicon::CameraYes
                             : k == feedcell::Flying ? feedicon::FlyingYes : feedicon::PastedSpeedYes;
            e.SetIcon(k, yes ? icon : feedicon::No);
        }
        e.text[static_cast<std::size_t>(k)] = copiedCells[at++];
    }
    e.text[0] = newId;
    rows.insert(rows.begin() + position, std::move(e));
    if (selected >= position) ++selected;
    Changed();
    return true;
}

bool FeedList::Delete() {
    if (RefuseWhileBusy()) return false;
    if (plat::MessageBoxAsk(Text("c_Message_09"), plat::MsgButtons::YesNoCancel, true) != plat::MsgAnswer::Yes)
        return false;
    if (selected < 0 || selected >= ItemCount()) {
        plat::MessageBoxOk(Text("c_Message_08"));
        return false;
    }
    m_table.DeleteFeederFromGroup(rows[static_cast<std::size_t>(selected)].text[0]);
    rows.erase(rows.begin() + selected);
    selected = -1;
    copied = false;
    Changed();
    return true;
}

void FeedList::ClickTick(int row) {
    TakeSelection(row);
    if (selected < 0) return;
    int& image = rows[static_cast<std::size_t>(selected)].image0;
    image = image == feedicon::Ticked ? feedicon::Plain : feedicon::Ticked;
    Changed();
}

void FeedList::ShowSelectedFeeders() {
    const auto& used = ThePartListPort().isFeederUsed;
    for (FeedListEntry& e : rows) e.image0 = used && used(e.text[0]) ? feedicon::Used : feedicon::Plain;
    Changed();
}

bool FeedList::StartEntry(int id) {
    const int code = FeedOperationCodeOf(id);
    BusyClaim claim = code == 0 ? ClaimHeadUpAction() : ClaimMachineAction(true);
    if (!claim) return false;
    if (selected < 0 || selected >= ItemCount()) {
        plat::MessageBoxOk(Text("c_Message_04"));
        return false;  // the claim is released here
    }
    FeedListEntry& row = rows[static_cast<std::size_t>(selected)];
    FeedOperationRequest request;
    request.code = code;
    if (id == feedmenu::Towbar) {
        const int mode = FeedModeIndex(row.text[feedcell::FeedMode]);
        if (mode == 0 || mode == 4 || mode == 5) {
            request.code = 11;
        } else if (mode == 6) {
            // Nozzle 2 to the drag hole (cells 20 and 21).
            const PulseFactors& f = ThePulseFactors();
            const BasicSettings& b = TheBasicSettings();
            request.code = 2;
            request.hasTarget = true;
            request.targetX = AddPulses({ToPulses(AtoF(row.text[20]), f.m_X_Pulse), -static_cast<std::int64_t>(ToPulses(b.m_X_Nozzle2ToNozzle1, f.m_X_Pulse))});
            request.targetY = AddPulses({ToPulses(AtoF(row.text[21]), f.m_Y_Pulse), -static_cast<std::int64_t>(ToPulses(b.m_Y_Nozzle2ToNozzle1, f.m_Y_Pulse))});
        } else {
            return false;
        }
    }
    if (request.code == 12) {
        const int n = AtoI(row.text[feedcell::Quantity]);
        if (n > 0) {
            row.text[feedcell::Quantity] = FormatInt(n - 1);
            m_table.SetFeederQuantity(row.text[0], row.text[feedcell::Quantity]);
            Changed();
        }
    }
    if (request.code == 0) request.measuringId = row.text[0];
    request.row.assign(row.text.begin(), row.text.end());
    const auto& start = TheFeedOperationPort().startRequest;
    if (!start) {
        ReportNotAvailable("FeedOperationPort.startRequest");
        return false;
    }
    start(std::move(request), std::move(claim));
    return true;
}

void FeedList::GetImageFeature() {
    if (selected < 0 || selected >= ItemCount()) return;
    if (const auto& set = TheCameraPanelPort().setImageFeature)
        set(rows[static_cast<std::size_t>(selected)].text[feedcell::ImageFeature]);
}

bool FeedList::Add(const Editor& runEditor) {
    if (RefuseWhileBusy()) return false;
    selected = -1;
    if (!m_table.BeginAppendFeeder()) {
        plat::MessageBoxOk(partListMessage20);
        return false;
    }
    editorRow.text[0].clear();  // a new feeder has no identifier yet
    const std::optional<FeedListItem> edited = runEditor ? runEditor(editorRow) : std::nullopt;
    copied = false;
    if (!edited) {
        m_table.CancelAppendFeeder();
        return false;
    }
    editorRow = *edited;
    InsertItem(ItemCount(), *edited);
    const bool ok = m_table.CommitAppendFeeder(*this);
    if (!ok) rows.pop_back();
    Changed();
    return ok;
}

bool FeedList::Edit(const Editor& runEditor, bool doubleClick) {
    if (selected < 0 || selected >= ItemCount()) {
        plat::MessageBoxOk(Text("c_Message_08"));
        return false;
    }
    const int slot = m_table.FindFeedGroupByName(m_table.OpenGroupName());
    const std::optional<FeedGroup> group = m_table.CopyGroup(slot);
    const int feeder = group ? group->FindRow(rows[static_cast<std::size_t>(selected)].text[0]) : -1;
    if (feeder < 0) {
        plat::MessageBoxOk(Text("c_Message_02"));
        return false;
    }
    const int row = selected;
    editorRow = rows[static_cast<std::size_t>(row)];
    if (!doubleClick) {
        editing = true;
        editGroupIndex = slot;
        editFeederIndex = feeder;
        copied = false;
    }
    if (TheBasicSettings().m_bCameraTrackModify) {
        bool& warned = doubleClick ? m_warnedDoubleClick : m_warnedEdit;
        if (!warned && g_Connected && g_Homed && !g_Running) {
            warned = true;
            plat::MessageBoxOk(partListMessage44, true);
        }
        StartEntry(feedmenu::CameraToFeeder);
    }
    const std::string id = editorRow.text[0];
    const std::optional<FeedListItem> edited = runEditor ? runEditor(editorRow) : std::nullopt;
    if (!edited || row >= ItemCount()) return false;
    editorRow = *edited;
    static_cast<FeedListItem&>(rows[static_cast<std::size_t>(row)]) = *edited;
    // The feeder is found again by its identifier: the group may have changed meanwhile.
    const std::optional<FeedGroup> now = m_table.CopyGroup(slot);
    if (now && now->FindRow(id) >= 0) m_table.CopyListRowToFeedRow(slot, *this, row, now->FindRow(id));
    Changed();
    return true;
}

// ---- services -------------------------------------------------------------------------

bool FeedList::StorePickHeight(const std::string& id, const std::string& height) {
    const int slot = m_table.FindFeedGroupByName(m_table.OpenGroupName());
    const std::optional<FeedGroup> group = m_table.CopyGroup(slot);
    const int feeder = group ? group->FindRow(id) : -1;
    if (feeder < 0) {
        plat::MessageBoxOk(Text("c_Message_02"));
        return false;
    }
    editGroupIndex = slot;
    editFeederIndex = feeder;
    m_table.SetFeederCell(slot, id, feedcell::PickHeight, height);
    SetListCell(id, feedcell::PickHeight, height);
    return true;
}

bool FeedList::IsFeederIdTaken(const std::string& id) const {
    for (int i = 0; i < ItemCount(); ++i)
        if (i != selected && rows[static_cast<std::size_t>(i)].text[0] == id) return true;
    return false;
}

bool FeedList::ShiftFeedCoordinates(double dX, double dY) {
    const int slot = m_table.FindFeedGroupByName(m_table.OpenGroupName());
    const std::optional<FeedGroup> group = m_table.CopyGroup(slot);
    if (!group || !group->Used()) {
        plat::MessageBoxOk(Text("c_Message_02"));
        return false;
    }
    auto shift = [](const std::string& cell, double d) { return FormatC("%.4f", AtoF(cell) + d); };
    for (const FeedRow& r : group->rows) {
        m_table.SetFeederCell(slot, r[0], feedcell::X, shift(r[feedcell::X], dX));
        m_table.SetFeederCell(slot, r[0], feedcell::Y, shift(r[feedcell::Y], dY));
    }
    for (FeedListEntry& e : rows) {
        e.text[feedcell::X] = shift(e.text[feedcell::X], dX);
        e.text[feedcell::Y] = shift(e.text[feedcell::Y], dY);
    }
    Changed();
    return true;
}

bool FeedList::UpdateFeedersFromPackage(const PackageFeederValues& v) {
    const int slot = m_table.FindFeedGroupByName(m_table.OpenGroupName());
    bool ok = true;
    for (int i = 0; i < ItemCount() && ok; ++i) {
        FeedListEntry& e = rows[static_cast<std::size_t>(i)];
        if (e.text[2] != v.package) continue;
        auto set = [&e](int k, std::string text) { e.text[static_cast<std::size_t>(k)] = std::move(text); };
        set(6, FormatC("%.2f", v.length));
        set(7, FormatC("%.2f", v.width));
        set(8, FormatC("%.2f", v.height));
        set(10, v.nozzle);
        set(12, v.camera);
        e.icon12 = v.visionChoice == 1 ? feedicon::CameraYes : feedicon::No;
        set(13, FormatC("%d/%d", v.contrast, v.brightness));
        e.icon13 = v.visionChoice == 2 ? feedicon::FlyingYes : feedicon::No;
        set(15, FormatInt(v.pickDelay));
        set(16, FormatInt(v.placeDelay));
        set(23, v.speedName);
        e.icon23 = v.ownSpeed ? feedicon::SpeedYes : feedicon::No;
        set(25, v.imageFeature);
        if (v.feedModeOn) set(14, v.feedMode);
        const std::pair<bool, std::pair<int, int>> numbers[] = {
            {v.feedCountOn, {18, v.feedCount}}, {v.feedTimeOn, {19, v.feedTime}}, {v.loosenOn, {20, v.loosen}},
            {v.tightenOn, {21, v.tighten}}, {v.xyPrecisionOn, {27, v.xyPrecision}},
            {v.anglePrecisionOn, {28, v.anglePrecision}}, {v.captureTimeOn, {29, v.captureTime}},
            {v.vacuumOn, {11, v.vacuum}}};
        for (const auto& [on, cell] : numbers)
            if (on) set(cell.first, FormatInt(cell.second));
        if (v.pickHeightOn) set(22, FormatC("%0.4f", v.pickHeight));
        if (v.vacuumEarlyOn) set(24, FormatC("%0.4f", v.vacuumEarly));
        const std::optional<FeedGroup> group = m_table.CopyGroup(slot);
        const int feeder = group ? group->FindRow(e.text[0]) : -1;
        if (feeder < 0) {
            plat::MessageBoxOk(Text("c_Message_02"));
            ok = false;
            break;
        }
        m_table.CopyListRowToFeedRow(slot, *this, i, feeder);
        if (const auto& update = ThePartListPort().updateRowsForFeeder)
            update(e.text[0], e.text[0], v.visionChoice, e.text[3], v.nozzle);
    }
    Changed();
    return ok;
}

void FeedList::SetListCell(const std::string& id, int cell, const std::string& text) {
    const int row = RowById(id);
    if (row < 0 || cell < 0 || cell >= kFeedCells) return;
    rows[static_cast<std::size_t>(row)].text[static_cast<std::size_t>(cell)] = text;
    Changed();
}

FeedListPort& TheFeedListPort() {
    static FeedListPort port;
    return port;
}

PartListPort& ThePartListPort() {
    static PartListPort port;
    return port;
}

} // namespace smt
