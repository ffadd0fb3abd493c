// The row commands of the three job lists (add, modify, delete, copy, paste,
// copy selected to the end, select-all) and the field values of the three row
// editors they read and write. The editors' windows only show these values; the
// commands run here without a widget.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "feeders/feed_rows.h"
#include "joblist/lamp_table.h"
#include "joblist/part_list.h"

namespace smt {

// Change flags of the placement editor.
namespace partflag {
inline constexpr int Name = 0, Type = 1, Package = 2, X = 3, Y = 4, Angle = 5, Value = 6, Feeder = 7, Place = 8,
                     Mark = 9, Count = 10;
}

struct PartEditValues {
    std::int32_t m_SerialNumber = 0;
    std::string m_PartName, m_PartType, m_PartPacking;
    double m_X = 0, m_Y = 0, m_OffsetX = 0, m_OffsetY = 0;
    std::string m_PartAngle, m_PartValue;
    std::string m_SelectFeed;  // "<id>-<value>" or the identifier alone
    std::int32_t m_SMT = 0, m_SpecifyMark = 0;
    std::string m_MarkName;
    std::array<std::uint8_t, partflag::Count> m_Changed{};
    std::uint8_t m_Open = 0;
    // Texts empty, numbers 0, flags clear (after every add and modify).
    void Clear() { *this = PartEditValues{}; }
};

// One change flag per written cell 0..10.
struct DisEditValues {
    std::int32_t m_SerialNumber = 0;
    double m_X = 0, m_Y = 0, m_Z = 0, m_OffsetX = 0, m_OffsetY = 0, m_OffsetZ = 0;
    std::int32_t m_Dis = 0;
    double m_ValveOpenTime = 0, m_ValveCloseTime = 0;
    std::int32_t m_ValveCloseDelay = 0, m_BottomDelay = 0, m_SuctionBackDelay = 0;
    std::string m_Note;
    std::array<std::uint8_t, 11> m_Changed{};
    void Clear() { *this = DisEditValues{}; }
};

// One change flag per written cell 0..11.
struct DrillEditValues {
    std::int32_t m_SerialNumber = 0;
    double m_X = 0, m_Y = 0, m_Z = 0, m_Depth = 0, m_Feed = 0, m_RetractHeight = 0;
    std::int32_t m_RetractToTop = 0;
    std::int32_t m_FeedStartSpeed = 0, m_FeedRunSpeed = 0, m_RetractStartSpeed = 0, m_RetractRunSpeed = 0;
    double m_OffsetX = 0, m_OffsetY = 0, m_OffsetZ = 0;
    std::array<std::uint8_t, 12> m_Changed{};
    void Clear() { *this = DrillEditValues{}; }
};

// The identifier of a feeder text: up to its first "-" (the whole text without one).
std::string FeederIdOfText(const std::string& text);
// "%d-%d-%d  %d:%d:%d" of the local time now.
std::string RowTimeStamp();

// What the commands need of the rest of the program. Unset members: no PCB, no
// feeders, the editor cancelled, no camera move, blank lamp values.
struct RowCommandPort {
    std::function<int()> pcbRecordCount;
    // The feeder list (the open group as shown) and the open group's feeders.
    std::function<std::vector<FeedRow>()> feeders;
    // Opens the list's editor modally over the values; true on OK.
    std::function<bool(JobList list)> runEditor;
    // The camera coordinate test on the current placement row.
    std::function<void()> cameraTrack;
    // The lamp point a type-4 placement add stores.
    std::function<LampPointValues()> lampValues;
    // The PCB origin shown in the PCB editor (mm), for the editors' position buttons.
    std::function<std::pair<double, double>()> pcbOrigin;
    // "打开料架>>": the feeder list row of the identifier selected, edited and
    // written back; false when the list has no such feeder.
    std::function<bool(const std::string& id)> openFeeder;
};

class RowCommands {
public:
    explicit RowCommands(PartListStore& store) : m_store(store) {}

    PartEditValues m_PartEdit;
    DisEditValues m_DisEdit;
    DrillEditValues m_DrillEdit;
    RowCommandPort m_Port;
    std::array<int, 3> m_CopiedRow{-1, -1, -1};
    std::array<std::uint8_t, 2> m_SelectAllToggle{1, 1};  // placement, dispensing
    bool m_CameraWarned = false;

    void SelectAll(JobList list);
    void Add(JobList list);
    void Modify(JobList list);
    void Delete(JobList list);
    void Copy(JobList list);
    void Paste(JobList list);
    void CopySelectedToEnd(JobList list);

    // The editors' values into a row; the placement fill reports a missing
    // feeder (and selects row `rowIndex`) and then leaves cells 10, 13, 14. With
    // `deferred` the message is handed back for the caller to show once it has let
    // go of the rows' lock.
    bool FillPartRow(JobRow& row, int rowIndex, const std::vector<FeedRow>& feeders,
                     std::string* deferred = nullptr) const;
    void FillDisRow(JobRow& row, bool all) const;
    void FillDrillRow(JobRow& row, bool all) const;

    PartListStore& Store() { return m_store; }

private:
    int& CurrentRow(JobList list);
    std::uint8_t& CopiedFlag(JobList list);
    std::vector<FeedRow> Feeders() const;
    bool RunEditor(JobList list);
    void ModifyPart();
    void ModifyOther(JobList list);
    void RebuildStored(JobList list);
    void Message(const std::string& text) const;
    PartListStore& m_store;
};

RowCommands& TheRowCommands();

// ---- editor helpers (plain arithmetic of the position buttons) ---------------------

// The position a button takes: (counter - trunc(origin x factor) + trunc(camera x
// factor)) / factor with the read-back rule ("%0.4f", 0.0001 away from zero).
std::string EditorPositionText(std::int32_t counter, double originMm, double cameraMm, double factor);
// The nozzle whose Z counter the dispensing editor's "Z" reads, 0 for none.
int DispenserZNozzle(int machineType);
// The first field outside its range as the framework's message, "" when all fit.
std::string CheckPartEditRanges(const PartEditValues& v);
std::string CheckDisEditRanges(const DisEditValues& v);
std::string CheckDrillEditRanges(const DrillEditValues& v);

} // namespace smt
