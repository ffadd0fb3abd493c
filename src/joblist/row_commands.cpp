#include "joblist/row_commands.h"

#include <algorithm>
#include <ctime>

#include "base/window_titles.h"
#include "base/captions.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/part_list_texts.h"
#include "link/link_state.h"
#include "platform/msgbox.h"
#include "settings/basic_settings.h"

namespace smt {

namespace {

constexpr int kType4RowLimit = 10;
constexpr const char* kType4Limit = "When configured = 4, the number of rows cannot exceed 10 !";
constexpr const char* kNoPcbFile = "No PCB File !";

std::string Before(const std::string& text, char c) { return text.substr(0, text.find(c)); }

void SetFlag(JobRow& row, int cell, bool yes) {
    row.Set(cell, yes ? "Yes" : "No", yes ? rowicon::Yes : rowicon::No);
}

const FeedRow* FindFeeder(const std::vector<FeedRow>& feeders, const std::string& id) {
    for (const auto& f : feeders)
        if (f[feedcell::Id] == id) return &f;
    return nullptr;
}

// Cell 10 from the feeder's camera cell, then its flying-centring cell.
void SetVisionCell(JobRow& row, const FeedRow& feeder) {
    const std::string& camera = feeder[feedcell::Camera];
    if (camera.find('/') != std::string::npos) {
        const bool yes = Before(camera, '/') == "Yes";
        row.Set(partcell::Vision, yes ? "Yes" : "No", yes ? rowicon::VisionYes : rowicon::VisionNo);
    }
    const std::string& flying = feeder[feedcell::Flying];
    if (flying.find('/') != std::string::npos && Before(flying, '/') == "Yes")
        row.Set(partcell::Vision, "Yes", rowicon::VisionYes);
}

std::string Fixed(double v) { return FormatC("%0.4f", v); }

int Selected(const std::vector<JobRow>& rows) {
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const JobRow& r) { return r.selected; }));
}

bool AskYes(const std::string& text) {
    return plat::MessageBoxAsk(text, plat::MsgButtons::YesNoCancel, true) == plat::MsgAnswer::Yes;
}

std::string RangeText(double value, double low, double high, bool integer) {
    if (value >= low && value <= high) return {};
    return integer ? InputIntegerBetweenText(static_cast<long long>(low), static_cast<long long>(high))
                   : InputNumberBetweenText(low, high);
}

std::string FirstOf(std::initializer_list<std::string> texts) {
    for (const auto& t : texts)
        if (!t.empty()) return t;
    return {};
}

} // namespace

std::string FeederIdOfText(const std::string& text) { return Before(text, '-'); }

std::string RowTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return FormatC("%d-%d-%d  %d:%d:%d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

RowCommands& TheRowCommands() {
    static RowCommands commands(ThePartList());
    return commands;
}

int& RowCommands::CurrentRow(JobList list) {
    return list == JobList::Part ? m_store.m_PartItem : list == JobList::Dis ? m_store.m_DisItem : m_store.m_DrillItem;
}

std::uint8_t& RowCommands::CopiedFlag(JobList list) {
    return list == JobList::Part ? m_store.m_PartCopied : list == JobList::Dis ? m_store.m_DisCopied
                                                                               : m_store.m_DrillCopied;
}

std::vector<FeedRow> RowCommands::Feeders() const { return m_Port.feeders ? m_Port.feeders() : std::vector<FeedRow>{}; }

bool RowCommands::RunEditor(JobList list) { return m_Port.runEditor && m_Port.runEditor(list); }

void RowCommands::Message(const std::string& text) const {
    const int lang = g_LanguageIndex.load();
    plat::MessageBoxOk(text, false, plat::MsgIcon::None, kWindowTitles[lang >= 0 && lang < 3 ? lang : 0]);
}

void RowCommands::RebuildStored(JobList list) {
    if (list == JobList::Dis) {
        m_store.m_DisRowCount = m_store.RowCount(JobList::Dis);
        m_store.BuildDisLines();
    } else if (list == JobList::Drill) {
        m_store.m_DrillRowCount = m_store.RowCount(JobList::Drill);
        m_store.BuildDrillLines();
    }
}

// ---- fills -------------------------------------------------------------------------------

bool RowCommands::FillPartRow(JobRow& row, int rowIndex, const std::vector<FeedRow>& feeders,
                              std::string* deferred) const {
    auto report = [&](const std::string& text) {
        if (deferred) *deferred = text;
        else Message(text);
    };
    const PartEditValues& v = m_PartEdit;
    row.cells.resize(kPartCells);
    row.icons.resize(kPartCells, rowicon::None);
    row.cells[partcell::Number] = FormatC("%d", v.m_SerialNumber);
    row.cells[partcell::X] = Fixed(v.m_X);
    row.cells[partcell::Y] = Fixed(v.m_Y);
    row.cells[partcell::Angle] = v.m_PartAngle;
    row.cells[partcell::Name] = v.m_PartName;
    row.cells[partcell::Type] = v.m_PartType;
    row.cells[partcell::Package] = v.m_PartPacking;
    SetFlag(row, partcell::Place, v.m_SMT == 1);
    row.cells[partcell::Value] = v.m_PartValue;
    const std::string id = FeederIdOfText(v.m_SelectFeed);
    row.cells[partcell::Feeder] = id;
    const FeedRow* feeder = id.empty() ? nullptr : FindFeeder(feeders, id);
    if (feeder) {
        row.cells[partcell::FeederValue] = (*feeder)[3];
        row.cells[partcell::Head] = (*feeder)[10];
    }
    if (feeders.empty()) {
        report(PartListText("Message_18"));
        return false;
    }
    if (!feeder) {
        row.selected = true;
        report(FormatC("%d", rowIndex + 1) + PartListText("NoFeed"));
        return false;
    }
    SetVisionCell(row, *feeder);
    row.cells[partcell::Added] = RowTimeStamp();
    row.cells[partcell::Mark] = v.m_SpecifyMark ? v.m_MarkName : std::string();
    return true;
}

void RowCommands::FillDisRow(JobRow& row, bool all) const {
    const DisEditValues& v = m_DisEdit;
    row.cells.resize(kDisCells);
    row.icons.resize(kDisCells, rowicon::None);
    auto asked = [&](int c) { return all || v.m_Changed[c]; };
    if (asked(0)) row.cells[0] = FormatC("%d", v.m_SerialNumber);
    if (asked(1)) row.cells[1] = Fixed(v.m_X);
    if (asked(2)) row.cells[2] = Fixed(v.m_Y);
    if (asked(3)) row.cells[3] = Fixed(v.m_Z);
    if (asked(4)) SetFlag(row, kDisFlagCell, v.m_Dis != 0);
    if (asked(5)) row.cells[5] = Fixed(v.m_ValveOpenTime);
    if (asked(6)) row.cells[6] = Fixed(v.m_ValveCloseTime);
    if (asked(7)) row.cells[7] = FormatC("%d", v.m_ValveCloseDelay);
    if (asked(8)) row.cells[8] = FormatC("%d", v.m_BottomDelay);
    if (asked(9)) row.cells[9] = FormatC("%d", v.m_SuctionBackDelay);
    if (asked(10)) row.cells[10] = v.m_Note;
}

void RowCommands::FillDrillRow(JobRow& row, bool all) const {
    const DrillEditValues& v = m_DrillEdit;
    row.cells.resize(kDrillCells);
    row.icons.resize(kDrillCells, rowicon::None);
    auto asked = [&](int c) { return all || v.m_Changed[c]; };
    const double mm[] = {v.m_X, v.m_Y, v.m_Z, v.m_Depth, v.m_Feed, v.m_RetractHeight};
    const std::int32_t ints[] = {v.m_RetractToTop, v.m_FeedStartSpeed, v.m_FeedRunSpeed, v.m_RetractStartSpeed,
                                 v.m_RetractRunSpeed};
    if (asked(0)) row.cells[0] = FormatC("%d", v.m_SerialNumber);
    for (int c = 1; c <= 6; ++c)
        if (asked(c)) row.cells[c] = Fixed(mm[c - 1]);
    for (int c = 7; c <= 11; ++c)
        if (asked(c)) row.cells[c] = FormatC("%d", ints[c - 7]);
}

// ---- commands ------------------------------------------------------------------------------

void RowCommands::SelectAll(JobList list) {
    if (list == JobList::Drill) return;
    const int i = list == JobList::Part ? 0 : 1;
    const int cell = list == JobList::Part ? partcell::Place : kDisFlagCell;
    {
        auto lock = m_store.Hold();
        auto& rows = m_store.RowsLocked(list);
        if (rows.empty()) return;
        for (auto& r : rows) SetFlag(r, cell, m_SelectAllToggle[i] == 1);
    }
    m_SelectAllToggle[i] = m_SelectAllToggle[i] ? 0 : 1;
    m_store.Changed(list);
}

void RowCommands::Add(JobList list) {
    const bool pcbNeeded = list != JobList::Drill;
    if (pcbNeeded && (!m_Port.pcbRecordCount || m_Port.pcbRecordCount() == 0)) return Message(kNoPcbFile);
    CopiedFlag(list) = 0;
    if (list == JobList::Part) {
        if (g_MachineType == 4 && m_store.RowCount(JobList::Part) >= kType4RowLimit) return Message(kType4Limit);
        if (RunEditor(list)) {
            const auto feeders = Feeders();
            int position;
            std::string refusal;
            {
                auto lock = m_store.Hold();
                auto& rows = m_store.RowsLocked(list);
                int top = 0;
                for (const auto& r : rows) top = std::max(top, AtoI(r.Cell(partcell::Number)));
                m_PartEdit.m_SerialNumber = top + 1;
                const int cur = m_store.m_PartItem;
                position = cur >= 0 && cur < static_cast<int>(rows.size()) ? cur + 1 : static_cast<int>(rows.size());
                rows.insert(rows.begin() + position, JobRow(kPartCells));
                FillPartRow(rows[position], position, feeders, &refusal);
            }
            m_store.Changed(list);
            if (!refusal.empty()) Message(refusal);
            if (g_MachineType == 4) {
                // Only while a free pair is left, and the count follows, so the next add takes the next pair.
                LampMachineList& lamp = TheLampMachineList();
                if (lamp.m_PointCount < kType4RowLimit &&
                    StoreLampPoint(lamp.m_PointCount, m_Port.lampValues ? m_Port.lampValues() : LampPointValues{}))
                    ++lamp.m_PointCount;
                WriteLampTableLines();
            }
        }
        m_PartEdit.Clear();
        return;
    }
    if (RunEditor(list)) {
        {
            auto lock = m_store.Hold();
            auto& rows = m_store.RowsLocked(list);
            const int cur = CurrentRow(list);
            const int position = cur >= 0 && cur < static_cast<int>(rows.size()) ? cur + 1 : static_cast<int>(rows.size());
            JobRow row(CellCount(list));
            if (list == JobList::Dis) {
                m_DisEdit.m_SerialNumber = static_cast<int>(rows.size()) + 1;
                FillDisRow(row, true);
            } else {
                m_DrillEdit.m_SerialNumber = static_cast<int>(rows.size()) + 1;
                FillDrillRow(row, true);
            }
            rows.insert(rows.begin() + position, std::move(row));
        }
        m_store.Changed(list);
    }
    if (list == JobList::Dis) m_DisEdit.Clear();
    else m_DrillEdit.Clear();
    RebuildStored(list);
}

void RowCommands::Modify(JobList list) {
    CopiedFlag(list) = 0;
    if (CurrentRow(list) < 0) return Message(PartListText("Message_02"));
    if (list == JobList::Part) ModifyPart();
    else ModifyOther(list);
}

void RowCommands::ModifyPart() {
    const auto feeders = Feeders();
    const int cur = m_store.m_PartItem;
    const auto rowsNow = m_store.Rows(JobList::Part);
    if (cur >= static_cast<int>(rowsNow.size())) return Message(PartListText("Message_02"));
    PartEditValues& v = m_PartEdit;
    if (Selected(rowsNow) <= 1) {
        const JobRow& r = rowsNow[cur];
        v.m_SerialNumber = AtoI(r.Cell(partcell::Number));
        v.m_PartName = r.Cell(partcell::Name);
        v.m_PartType = r.Cell(partcell::Type);
        v.m_PartPacking = r.Cell(partcell::Package);
        v.m_X = AtoF(r.Cell(partcell::X));
        v.m_Y = AtoF(r.Cell(partcell::Y));
        v.m_PartAngle = r.Cell(partcell::Angle);
        v.m_PartValue = r.Cell(partcell::Value);
        v.m_SelectFeed = r.Cell(partcell::Feeder);
        if (const FeedRow* f = FindFeeder(feeders, v.m_SelectFeed)) v.m_SelectFeed += "-" + (*f)[3];
        v.m_SMT = r.Cell(partcell::Place) == "Yes";
        v.m_MarkName = r.Cell(partcell::Mark);
        v.m_SpecifyMark = !v.m_MarkName.empty();
        if (TheBasicSettings().m_bCameraTrackModify) {
            if (!m_CameraWarned && g_Connected && g_Homed && !g_Running) {
                m_CameraWarned = true;
                plat::MessageBoxOk(PartListText("Message_44"), true);
            }
            if (m_Port.cameraTrack) m_Port.cameraTrack();
        }
        if (RunEditor(JobList::Part)) {
            v.m_X += v.m_OffsetX;
            v.m_Y += v.m_OffsetY;
            std::string refusal;
            {
                auto lock = m_store.Hold();
                auto& rows = m_store.RowsLocked(JobList::Part);
                if (cur < static_cast<int>(rows.size())) FillPartRow(rows[cur], cur, feeders, &refusal);
            }
            m_store.Changed(JobList::Part);
            if (!refusal.empty()) Message(refusal);
        }
        v.Clear();
        return;
    }
    if (RunEditor(JobList::Part)) {
        const auto& ch = v.m_Changed;
        const std::string id = FeederIdOfText(v.m_SelectFeed);
        const FeedRow* feeder = FindFeeder(feeders, id);
        int k = 0;
        int stoppedAt = -1;
        {
            auto lock = m_store.Hold();
            auto& rows = m_store.RowsLocked(JobList::Part);
            for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
                JobRow& r = rows[i];
                if (!r.selected) continue;
                if (ch[partflag::Name]) r.cells[partcell::Name] = v.m_PartName;
                if (ch[partflag::Type]) r.cells[partcell::Type] = v.m_PartType;
                if (ch[partflag::Package]) r.cells[partcell::Package] = v.m_PartPacking;
                if (ch[partflag::Angle]) r.cells[partcell::Angle] = v.m_PartAngle;
                if (ch[partflag::Value]) r.cells[partcell::Value] = v.m_PartValue;
                if (ch[partflag::Place]) SetFlag(r, partcell::Place, v.m_SMT == 1);
                if (ch[partflag::Mark]) r.cells[partcell::Mark] = v.m_SpecifyMark ? v.m_MarkName : std::string();
                r.cells[partcell::X] = Fixed(ch[partflag::X] ? v.m_X + (k + 1) * v.m_OffsetX
                                                             : AtoF(r.Cell(partcell::X)) + v.m_OffsetX);
                r.cells[partcell::Y] = Fixed(ch[partflag::Y] ? v.m_Y + (k + 1) * v.m_OffsetY
                                                             : AtoF(r.Cell(partcell::Y)) + v.m_OffsetY);
                ++k;
                if (!ch[partflag::Feeder]) continue;
                r.cells[partcell::Feeder] = id;
                if (feeders.empty() || !feeder) {
                    stoppedAt = i;
                    break;
                }
                SetVisionCell(r, *feeder);
                r.cells[partcell::Added] = RowTimeStamp();
                r.cells[partcell::FeederValue] = (*feeder)[3];
                r.cells[partcell::Head] = (*feeder)[10];
            }
        }
        m_store.Changed(JobList::Part, -1, false, stoppedAt);
        if (stoppedAt >= 0) {
            if (feeders.empty()) Message(PartListText("Message_18"));
            else {
                m_store.SetSelected(JobList::Part, stoppedAt, true);
                Message(FormatC("%d", stoppedAt + 1) + PartListText("NoFeed"));
            }
        }
    }
    v.Clear();
}

void RowCommands::ModifyOther(JobList list) {
    const bool dis = list == JobList::Dis;
    const int cur = CurrentRow(list);
    const auto rowsNow = m_store.Rows(list);
    if (cur >= static_cast<int>(rowsNow.size())) return Message(PartListText("Message_02"));
    const bool single = Selected(rowsNow) == 1;
    if (single) {
        const JobRow& r = rowsNow[cur];
        auto f = [&](int c) { return AtoF(r.Cell(c)); };
        auto n = [&](int c) { return AtoI(r.Cell(c)); };
        if (dis) {
            DisEditValues& v = m_DisEdit;
            v.m_SerialNumber = n(0);
            v.m_X = f(1), v.m_Y = f(2), v.m_Z = f(3);
            v.m_Dis = r.Cell(kDisFlagCell) == "Yes";
            v.m_ValveOpenTime = f(5), v.m_ValveCloseTime = f(6);
            v.m_ValveCloseDelay = n(7), v.m_BottomDelay = n(8), v.m_SuctionBackDelay = n(9);
            v.m_Note = r.Cell(10);
        } else {
            DrillEditValues& v = m_DrillEdit;
            v.m_SerialNumber = n(0);
            v.m_X = f(1), v.m_Y = f(2), v.m_Z = f(3), v.m_Depth = f(4), v.m_Feed = f(5), v.m_RetractHeight = f(6);
            v.m_RetractToTop = n(7), v.m_FeedStartSpeed = n(8), v.m_FeedRunSpeed = n(9);
            v.m_RetractStartSpeed = n(10), v.m_RetractRunSpeed = n(11);
        }
    }
    if (RunEditor(list)) {
        if (single) {
            if (dis) m_DisEdit.m_X += m_DisEdit.m_OffsetX, m_DisEdit.m_Y += m_DisEdit.m_OffsetY, m_DisEdit.m_Z += m_DisEdit.m_OffsetZ;
            else m_DrillEdit.m_X += m_DrillEdit.m_OffsetX, m_DrillEdit.m_Y += m_DrillEdit.m_OffsetY, m_DrillEdit.m_Z += m_DrillEdit.m_OffsetZ;
        }
        {
            auto lock = m_store.Hold();
            auto& rows = m_store.RowsLocked(list);
            for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
                if (single ? i != cur : !rows[i].selected) continue;
                if (dis) FillDisRow(rows[i], single);
                else FillDrillRow(rows[i], single);
            }
        }
        m_store.Changed(list);
    }
    if (dis) m_DisEdit.Clear();
    else m_DrillEdit.Clear();
    RebuildStored(list);
}

void RowCommands::Delete(JobList list) {
    if (!AskYes(PartListText("Message_35"))) return;
    CopiedFlag(list) = 0;
    if (CurrentRow(list) < 0) return Message(PartListText("Message_03"));
    const bool lamps = list == JobList::Part && g_MachineType == 4;
    {
        auto lock = m_store.Hold();
        auto& rows = m_store.RowsLocked(list);
        for (int i = 0; i < static_cast<int>(rows.size());) {
            if (!rows[i].selected) {
                ++i;
                continue;
            }
            rows.erase(rows.begin() + i);
            // The lamp point of the row's index as it stands now: later points move up with the rows.
            if (lamps) DeleteLampPoint(i);
        }
        CurrentRow(list) = -1;
    }
    if (lamps) WriteLampTableLines();
    m_store.Changed(list);
    RebuildStored(list);
}

void RowCommands::Copy(JobList list) {
    const int cur = CurrentRow(list);
    if (cur < 0) return Message(PartListText("Message_04"));
    m_CopiedRow[static_cast<int>(list)] = cur;
    CopiedFlag(list) = 1;
}

void RowCommands::Paste(JobList list) {
    const int cur = CurrentRow(list);
    if (cur < 0) return;
    if (list == JobList::Part && g_MachineType == 4 && m_store.RowCount(list) >= kType4RowLimit)
        return Message(kType4Limit);
    {
        auto lock = m_store.Hold();
        auto& rows = m_store.RowsLocked(list);
        const int from = m_CopiedRow[static_cast<int>(list)];
        const int n = static_cast<int>(rows.size());
        // A list replaced since the copy leaves nothing to paste from.
        if (!CopiedFlag(list) || from < 0 || from >= n || cur >= n) return;
        JobRow copy = rows[from];
        copy.selected = false;
        rows.insert(rows.begin() + cur + 1, std::move(copy));
        CopiedFlag(list) = 0;
    }
    m_store.Changed(list);
    RebuildStored(list);
}

void RowCommands::CopySelectedToEnd(JobList list) {
    if (!AskYes(PartListText("Message_40"))) return;
    if (list == JobList::Part && g_MachineType == 4 && m_store.RowCount(list) >= kType4RowLimit)
        return Message(kType4Limit);
    {
        auto lock = m_store.Hold();
        auto& rows = m_store.RowsLocked(list);
        const int n = static_cast<int>(rows.size());
        for (int i = 0; i < n; ++i)
            if (rows[i].selected) {
                JobRow copy = rows[i];
                copy.selected = false;
                rows.push_back(std::move(copy));
            }
    }
    m_store.Changed(list);
    RebuildStored(list);
}

// ---- editor helpers -------------------------------------------------------------------------

std::string EditorPositionText(std::int32_t counter, double originMm, double cameraMm, double factor) {
    return TeachValue(AddPulses({counter, -std::int64_t{ToPulses(originMm, factor)}, ToPulses(cameraMm, factor)}),
                      factor);
}

int DispenserZNozzle(int machineType) {
    switch (machineType) {
    case 1: case 2: case 5: return 2;
    case 3: case 4: case 6: return 4;
    case 7: return 8;
    default: return 0;
    }
}

std::string CheckPartEditRanges(const PartEditValues& v) { return RangeText(v.m_SerialNumber, 0, 10000, true); }

std::string CheckDisEditRanges(const DisEditValues& v) {
    return FirstOf({RangeText(v.m_SerialNumber, 0, 10000, true), RangeText(v.m_Z, -255, 0, false),
                    RangeText(v.m_ValveOpenTime, 0, 65535, false), RangeText(v.m_ValveCloseTime, 0, 65535, false),
                    RangeText(v.m_ValveCloseDelay, 0, 65535, true), RangeText(v.m_BottomDelay, 0, 65535, true),
                    RangeText(v.m_SuctionBackDelay, 0, 65535, true)});
}

std::string CheckDrillEditRanges(const DrillEditValues& v) {
    return FirstOf({RangeText(v.m_Z, -100, 0, false), RangeText(v.m_Depth, 0, 100, false),
                    RangeText(v.m_Feed, 0, 100, false), RangeText(v.m_RetractHeight, 0, 100, false),
                    RangeText(v.m_FeedStartSpeed, 1, 255, true), RangeText(v.m_FeedRunSpeed, 1, 255, true),
                    RangeText(v.m_RetractStartSpeed, 1, 255, true), RangeText(v.m_RetractRunSpeed, 1, 255, true)});
}

} // namespace smt
