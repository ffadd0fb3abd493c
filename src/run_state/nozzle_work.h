// The nozzle slots and the heads' placement records of the run. A slot is the
// pick assignment of one nozzle for the current cycle; a record is the job of one
// head built from its slot. Between cycles a record keeps which library nozzle its
// head carries: the nozzle library's operations and its reset write that, the run
// reads it and its nozzle change writes it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace smt {

// A byte the run thread and the feeder companion share without a lock: the
// companion sets a slot's present flags while the run thread copies the slot into
// its record or waits for a flag to clear. Reads and writes are atomic; a copy
// takes the value.
class SharedFlag {
public:
    SharedFlag(std::uint8_t value = 0) : m_value(value) {}
    SharedFlag(const SharedFlag& other) : m_value(other.m_value.load()) {}
    SharedFlag& operator=(const SharedFlag& other) {
        m_value.store(other.m_value.load());
        return *this;
    }
    SharedFlag& operator=(std::uint8_t value) {
        m_value.store(value);
        return *this;
    }
    operator std::uint8_t() const { return m_value.load(); }

private:
    std::atomic<std::uint8_t> m_value;
};

struct NozzleSlot {
    int row = -1;           // placement-list row; negative = none
    int headTarget = 0;     // head that picks (1..8)
    int nozzleTarget = 0;   // a head number, or a library nozzle 1..19 with automatic change
    std::string feederId;
    int feederNumber = 0;
    int bankCode = 0;       // 1 W, 2 N, 3 E, 4 S, 13 G
    std::string note1, note2, note3;
    std::string feedModeText;
    int feedMode = 0;       // 0..8
    double feedCoordinate = 0;
    int feedCount = 0;
    int feedTime = 0;
    double loosenLength = 0;
    double tightenLength = 0;
    double pickHeight = 0;
    int groupIndex = 0;
    int feederIndex = 0;
    SharedFlag presented1 = 0;
    SharedFlag presented2 = 0;
    int carriedValue = 0;
};

inline constexpr int kSpeedBlockValues = 52;

struct PlacementRecord {
    // a copy of the slot, row .. carriedValue without the notes
    int row = -1;
    int headTarget = 0;
    int nozzleTarget = 0;
    std::string feederId;
    int feederNumber = 0;
    int bankCode = 0;
    std::string feedModeText;
    int feedMode = 0;
    double feedCoordinate = 0;
    int feedCount = 0;
    int feedTime = 0;
    double loosenLength = 0;
    double tightenLength = 0;
    double pickHeight = 0;
    int groupIndex = 0;
    int feederIndex = 0;
    std::uint8_t presented1 = 0;
    std::uint8_t presented2 = 0;
    int carriedValue = 0;
    // header
    int head = 0;           // 1..8, 0 before the head was given a nozzle
    int mountedNozzle = 0;  // library nozzle the head carries, 0 = none
    // job block
    int jobRow = -1;
    std::string jobFeederId;
    int jobFeederIndex = 0;
    int jobBank = 0;
    std::uint8_t ownSpeed = 0;
    double feederAngle = 0;
    double partAngle = 0;
    double placeAngle = 0;
    double pickX = 0, pickY = 0;
    double rotationDelta = 0;
    double pickZ = 0;
    int pickDelay = 0;
    int vacuum = 0;
    int jobFeedMode = 0;
    int jobFeedCount = 0;
    double partHeight = 0;
    double placeZ = 0;
    double vacuumOffZ = 0;
    int placeDelay = 0;
    double partLength = 0, partWidth = 0;
    int flyValue1 = 0, flyValue2 = 0;
    int visionCamera = 0;   // 1 or 2, 0 none
    int visionKind = 0;     // 0 none, 1 over the camera, 2 flying
    int visionType = 0;
    int precisionXY = -1, precisionA = -1, collectTime = -1;
    std::uint8_t localMark = 0;
    std::string markText;
    std::uint8_t visionFailed = 0;
    int vacuumFailedRow = -1;
    int correctionX = 0, correctionY = 0, correctionA = 0;
    // speed block: pick 0..15, vision correction 16..27, vision place 28..35,
    // place 36..51; value 36 is the record's speed rank
    std::array<std::int32_t, kSpeedBlockValues> speeds{};
};

inline constexpr int kNozzleWorkRecords = 9;  // heads 1..8, then the spare
inline constexpr int kNozzleSlotCount = 10;   // nozzles 1..8, replenish, lamp run
inline constexpr int kReplenishSlot = 8;      // index of slot 9
inline constexpr int kLampSlot = 9;

// The library dialog, the reset and the run reach the mounted nozzles from their
// own threads: those fields are guarded by NozzleStateMutex(), together with the
// nozzle table. The rest of a record and the slots belong to the placement thread
// (the feeder companion reads the slots between the cycle events).
extern std::array<PlacementRecord, kNozzleWorkRecords> g_NozzleWork;
extern std::array<NozzleSlot, kNozzleSlotCount> g_NozzleSlots;
std::mutex& NozzleStateMutex();

// A copy of the records under the lock.
std::array<PlacementRecord, kNozzleWorkRecords> CopyNozzleWork();

// A-axis pulses per head for the next combined move.
extern std::array<std::atomic<std::int32_t>, 8> g_RotationTarget;
extern std::atomic<int> g_LoadedNozzleCount;
extern std::atomic<int> g_AutoNozzleChange;
extern std::atomic<int> g_ActiveList;  // 1 placement list, 2 dispensing list

} // namespace smt
