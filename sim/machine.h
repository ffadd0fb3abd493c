// The simulated machine: the state of the main, head, feeder and conveyor boards as
// the host's commands change it, and the replies the boards give. Both links feed
// the same machine; the servers only cut frames and apply faults.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "codec.h"

namespace sim {

enum class Link { Serial, Udp };

// One message from the board. Serial: `kind` is the reply TYPE (0x00 key, 0x01 reply,
// 0xFF error report) and `code` the CODE byte. Ethernet: `kind` is the flag (1 reply,
// 0 unsolicited) and `code` the command word.
struct Outgoing {
    std::uint8_t kind = 0;
    std::uint16_t code = 0;
    Bytes data;
};

struct Outcome {
    bool accepted = false;
    std::string reason;              // why a command was refused
    std::vector<Outgoing> replies;   // in order
    int motionMs = 0;                // simulated motion time at time scale 1
};

// Every drive in pulses. Z: a negative value is a lowered nozzle; a rocker stroke d
// moves the first nozzle of its pair by -d and the second by +d. A: unfolded totals.
struct Drives {
    std::int32_t x = 0, y = 0, x2 = 0, y2 = 0;
    std::array<std::int32_t, 8> z{};
    std::array<std::int32_t, 8> a{};
    std::array<std::int32_t, 4> walk{};   // W1 west, W2 north, W3 east, D1 the S drive
    std::array<std::int32_t, 3> lift{};   // L1, L2, L3
    std::int32_t feed2 = 0;               // automatic feed drive 2
};

struct FrameRecord {
    Link link = Link::Serial;
    std::uint16_t code = 0;   // command code (Ethernet: without the 4-bit field)
    Bytes data;               // data bytes / payload; the raw bytes when rejected
    bool accepted = false;
    std::string reason;
};

struct OutputRecord {
    Link link = Link::Serial;
    int channel = 0;
    int value = 0;
    int extra = 0;            // Ethernet only
};

// A nozzle's vacuum output switched off: the part on it, if any, is blown off with
// the blow time the Ethernet form carries (type 7: output 0x20 + head - 1 drives
// head `head`; the other types: outputs 1..4 drive heads 1..4).
struct BlowOffRecord {
    int head = 0;             // 1..8
    int channel = 0;
    int blowMs = 0;           // Ethernet only
    std::int32_t x = 0, y = 0;
    bool part = false;        // a part was on the nozzle and left it
};

// A pick, place or dispensing dot, at the X/Y position of the machine then.
struct PartRecord {
    std::uint16_t command = 0;
    int nozzle = 0;           // 1..8; 0 for a dispensing dot
    std::int32_t x = 0, y = 0, a = 0;
    bool ok = true;           // place: vacuum check passed; pick: a part was taken
};

// A dispensing stroke (0x58) as the codec reads it, with where the carriages stood.
struct DispenseRecord {
    Link link = Link::Serial;
    int axis = 0;
    std::int32_t depth = 0;      // the stroke's height as sent (head 6: negated)
    int start = 0, run = 0;
    int head = 0;                // 5 or 6
    std::int32_t a = 0, b = 0;   // the two heights, as absolute values on the wire
    int t1 = 0, t2 = 0, t3 = 0;  // delays (t3 Ethernet only)
    std::int32_t x = 0, y = 0, x2 = 0, y2 = 0;
};

struct FeedRecord {
    std::uint16_t command = 0;
    int drive = 0;
    std::int32_t pulses = 0;    // drive 10: the first mask word
    std::uint32_t a = 0, b = 0; // drive 10: the second and third mask words
    int g = 0;                  // feed time
    int count = 0;              // h
    int feeder = 0;             // i
};

struct ConveyorRecord {
    int zone = 0;
    std::int32_t l1 = 0, l2 = 0, l3 = 0;
    std::array<int, 3> flags{};   // the three flag bytes
    int waitTimeOut = 0;          // Ethernet only
    int start = 0, run = 0;
    bool answered = true;         // false: the board never came
};

// A holder of the nozzle library: where a head must stand (X/Y of the carriage
// plus the head's offset) and the Z of each head at the holder's entry height.
struct NozzleHolder {
    std::int32_t x = 0, y = 0;            // the holder
    std::int32_t entryX = 0, entryY = 0;  // its entry (the 19-nozzle library's opening)
    std::array<std::int32_t, 8> entryZ{}; // Z of heads 1..8 at the entry height
    bool holds = true;                    // a nozzle sits in it
    // How far from the holder (or its entry) and its entry height a head may stand
    // and still be guided in: X, Y, Z pulses (0: exactly there).
    std::int32_t toleranceX = 0, toleranceY = 0, toleranceZ = 0;
};

// Flash of one board: boot loader at 0x08000000, configuration block at 0x08010000
// (u16 update mark at its start), application from 0x08020000, 512 KB in all.
inline constexpr std::uint32_t kFlashBase = 0x08000000;
inline constexpr std::uint32_t kFlashSize = 0x80000;
inline constexpr std::uint32_t kConfigBlock = 0x08010000;
inline constexpr std::uint32_t kApplication = 0x08020000;
inline constexpr std::size_t kMaxFlashBlock = 433;

// Board numbers of the loader: 1 main, 2 head, 3 feeder (several, by index), 4 conveyor.
struct BoardId {
    int number = 1;
    int index = 0;
    bool operator<(const BoardId& o) const { return number != o.number ? number < o.number : index < o.index; }
};

// What the machine reports as it works, for whatever reacts to it (the simulation
// world). Called under the machine's lock: an observer never calls back into the
// machine. Every member has a default that leaves the machine as it was.
class MachineObserver {
public:
    virtual ~MachineObserver() = default;
    // Before a command runs: a reply that replaces it (an injected error report);
    // the command then changes nothing.
    virtual std::optional<Outgoing> Intercept(Link, std::uint16_t) { return std::nullopt; }
    // After a command ran: its data and the drives before and after it (strokes,
    // conveyor runs and drill travel are read from these).
    virtual void AfterCommand(Link, std::uint16_t, const Bytes&, const Drives&, const Drives&) {}
    // Whether a board waits at the conveyor input; nullopt: as SetBoardAtInput says.
    virtual std::optional<bool> BoardAtInput() { return std::nullopt; }
    // A pick stroke of `nozzle` (1..8) at `d` to `depth` (pulses as sent; a rocker's
    // second nozzle negative): whether a part was taken.
    virtual bool OnPick(std::uint16_t, int, const Drives&, std::int32_t) { return true; }
    // A place stroke of a nozzle, to `depth`, its vacuum let go at `releaseDepth`
    // (pulses as sent; the plain stroke's one depth is both): true keeps a part the
    // nozzle holds on it.
    virtual bool OnPlace(std::uint16_t, int, const Drives&, std::int32_t, std::int32_t) { return false; }
    // A holding nozzle's vacuum switched off.
    virtual void OnRelease(int, const Drives&) {}
    virtual void OnCamera(int, int) {}          // camera 1..3, light level
    virtual void OnOutput(int, int) {}          // channel, value
    // A fly pass: head count, X at its start, its X travel, the trigger values.
    virtual void OnFly(int, std::int32_t, std::int32_t, const std::vector<std::int32_t>&, const Drives&) {}
    // A nozzle changed hands at the library: head 1..8 took holder's nozzle (1-based),
    // or left its nozzle in that holder.
    virtual void OnNozzleChange(int, int, bool, const Drives&) {}
};


class Machine {
public:
    explicit Machine(int machineType = 0);

    // Carries out one well-formed command and gives the replies. Length and form are
    // checked here too: a refused command is recorded and answered by nothing.
    Outcome Execute(Link link, std::uint16_t code, const Bytes& data);
    // Records a frame or datagram that never became a command (bad sum, tail, ...).
    void RecordRejected(Link link, std::uint16_t code, const Bytes& raw, const std::string& reason);

    int MachineType() const;
    void SetMachineType(int type);

    // Snapshots for tests and the status command.
    Drives Positions() const;
    bool Homed() const;
    int Output(int channel) const;                  // 0 when never switched
    std::vector<FrameRecord> Frames() const;
    std::vector<OutputRecord> OutputLog() const;
    std::vector<BlowOffRecord> BlowOffs() const;
    std::vector<PartRecord> Picks() const;
    std::vector<PartRecord> Placements() const;
    std::vector<DispenseRecord> Dispensed() const;
    std::vector<FeedRecord> Feeds() const;
    std::vector<ConveyorRecord> ConveyorRuns() const;
    std::map<int, std::int32_t> AxisLimits() const;
    bool Holding(int nozzle) const;                 // 1..8
    int VacuumReading(int nozzle) const;            // kPa
    int Camera() const;
    int CameraValue() const;
    int SpeedGear() const;
    std::uint8_t ZState() const;
    std::pair<std::int32_t, std::int32_t> HostCounters() const;  // last 0x70
    std::string StatusText() const;
    void ClearRecords();

    // Test and control-channel knobs.
    void SetHolding(int nozzle, bool holding);
    void SetVacuumOverride(int nozzle, int kpa);    // kpa < 0: computed again
    void SetZStateOverride(int bits);               // bits < 0: computed from the Z drives
    void SetMeasuredHeight(std::int32_t pulses);    // 0: the measurement fails
    // The conveyor: whether a board waits at the input. Without one, a zone-1 run
    // that waits for its board (first flag set) is never answered. Every answered
    // zone run carries the board to its zone (4: out of the machine, 0 again).
    void SetBoardAtInput(bool present);
    // A board jammed on the belts of `zone` (1..4; 0: none): that zone's runs are
    // taken but never answered, as a board that does not reach its sensor.
    void SetJammedZone(int zone);
    // The automatic conveyor in place (its width drive homes in the west-walk slot
    // of 0x02 to `pulses`), or not (nullopt: that slot homes the west walk).
    void SetConveyorWidth(std::optional<std::int32_t> pulses);
    // Every drive the host books, as "name value" pairs on one line.
    std::string PositionsText() const;
    int BoardZone() const;                          // 0: no board in the machine

    // The nozzle library. A head whose Z arrives at a holder's entry height at the
    // holder's X/Y (holder library), or at its entry while output 7 is on
    // (19-nozzle library), takes the holder's nozzle when it carries none and
    // leaves its nozzle in an empty holder.
    void SetNozzleLibrary(std::vector<NozzleHolder> holders, bool nineteen);
    // Offsets of heads 1..8 from head 1 in pulses (X, Y): head n stands at the
    // carriage's X/Y plus its offset.
    void SetHeadOffsets(const std::array<std::pair<std::int32_t, std::int32_t>, 8>& offsets);
    void SetHeadNozzle(int head, int holder);       // 1-based holder, 0 = none
    int HeadNozzle(int head) const;                 // the holder (1-based) whose nozzle head carries
    std::vector<NozzleHolder> NozzleHolders() const;
    // What reacts to the machine's work (null: nothing); not owned.
    void SetObserver(MachineObserver* observer);

    // Flash of a board, as the loader commands see it.
    Bytes ReadFlash(BoardId board, std::uint32_t address, std::size_t n) const;
    BoardId SelectedBoard() const;
    std::uint32_t LastJump(BoardId board) const;    // 0 before any jump

    static constexpr int kHoldingKpa = 60;
    static constexpr int kEmptyKpa = 5;
    static constexpr std::size_t kMaxFrameRecords = 200000;

private:
    struct Flash {
        Bytes bytes = Bytes(kFlashSize, 0xFF);
        std::uint32_t lastJump = 0;
    };

    void TrimFrameRecord();
    // One handler per command code (Handlers()); a new command joins the table.
    struct Command;  // the command being carried out (machine.cpp)
    using Handler = Outcome (Machine::*)(Command&);
    static const std::map<std::uint16_t, Handler>& Handlers();
    Outcome Run(Link link, std::uint16_t code, const Bytes& data);
    Outcome LimitRefused(const Command& c) const;
    Outcome CmdHandshake(Command& c);  // 0x00
    Outcome CmdAxisLimit(Command& c);  // 0x01
    Outcome CmdHomeAxes(Command& c);  // 0x02
    Outcome CmdHomeDoubleTable(Command& c);  // 0x52
    Outcome CmdHomeHeads(Command& c);  // 0x72
    Outcome CmdOutput(Command& c);  // 0x03
    Outcome CmdCameraSelect(Command& c);  // 0x04
    Outcome CmdVacuumTest(Command& c);  // 0x15
    Outcome CmdSpeedGear(Command& c);  // 0x60
    Outcome CmdSingleAxisMove(Command& c);  // 0x61
    Outcome CmdMoveXY(Command& c);  // 0x53
    Outcome CmdMoveXYThirdDrive(Command& c);  // 0x54
    Outcome CmdFeederFeed(Command& c);  // 0x56 and 0x66
    Outcome CmdDispenseStroke(Command& c);  // 0x58
    Outcome CmdConveyor(Command& c);  // 0x62
    Outcome CmdFlyOver(Command& c);  // 0x63
    Outcome CmdMoveXYA(Command& c);  // 0x64
    Outcome CmdMoveXYAMulti(Command& c);  // 0x65
    Outcome CmdPickStroke(Command& c);  // 0x67
    Outcome CmdPlaceStroke(Command& c);  // 0x68
    Outcome CmdHostCounters(Command& c);  // 0x70
    Outcome CmdMeasureHeight(Command& c);  // 0x71
    Outcome CmdMoveAndFly(Command& c);  // 0x73
    Outcome CmdMoveAndPick(Command& c);  // 0x74
    Outcome CmdPerNozzleStrokes(Command& c);  // 0x75 and 0x78
    Outcome CmdMoveAndPlace(Command& c);  // 0x77
    Outcome CmdLoader(Command& c);  // 0xF00..0xF0F, Ethernet
    Outcome Reply(Link link, std::uint16_t code, Bytes serialData = {}, std::uint8_t status = 0) const;
    // The reply to the command being carried out, in its link's form.
    Outcome Reply(const Command& c, Bytes serialData = {}, std::uint8_t status = 0) const;
    void AddReply(Outcome& o, Link link, std::uint16_t code, Bytes serialData, std::uint8_t status) const;
    Bytes UdpStatus(std::uint8_t status) const;

    // Board behaviour shared by both links.
    void MoveAxis(int axis, std::int32_t delta);
    bool CheckXY(std::int64_t x, std::int64_t y);  // false: m_limitStatus tells which
    enum class HomeDrive { X, Y, X2, Y2, Rocker12, Rocker34, Rocker56, WestWalk, NorthWalk, EastWalk,
                           Head1 };  // Head1 + n: the Z of head n + 1 (0..7)
    void Home(const std::vector<HomeDrive>& drives);
    int StrokeNozzle(int axis, std::int32_t depth) const;
    void Pick(std::uint16_t command, int nozzle, std::int32_t depth);
    bool Place(std::uint16_t command, int nozzle, int threshold, int* reading, std::int32_t depth,
               std::int32_t releaseDepth);
    void SwitchOutput(Link link, int channel, int value, int extra);
    int ReadingOf(int nozzle) const;
    std::uint8_t ComputeZState() const;
    static int MoveTimeMs(std::int64_t pulses, int runSpeed);
    Flash& FlashOf(BoardId b);
    std::uint8_t FlashCommand(std::uint16_t code, const Bytes& data, Bytes& reply);

    mutable std::mutex m_mutex;
    int m_type;
    Drives m_pos;
    bool m_homed = false;
    std::map<int, int> m_outputs;
    std::map<int, std::int32_t> m_limits;
    std::array<bool, 8> m_holding{};
    std::array<int, 8> m_vacuumOverride{-1, -1, -1, -1, -1, -1, -1, -1};
    int m_zOverride = -1;
    std::int32_t m_height = 12000;
    int m_camera = 0, m_cameraValue = 0, m_gear = 0, m_gearSecond = 0;
    std::int32_t m_hostX = 0, m_hostY = 0;
    std::vector<FrameRecord> m_frames;
    std::vector<OutputRecord> m_outputLog;
    std::vector<BlowOffRecord> m_blowOffs;
    std::vector<PartRecord> m_picks, m_places;
    std::vector<DispenseRecord> m_dots;
    std::vector<FeedRecord> m_feeds;
    std::vector<ConveyorRecord> m_conveyor;
    bool m_boardAtInput = true;
    int m_jammedZone = 0;
    int m_boardZone = 0;
    std::map<BoardId, Flash> m_flash;
    BoardId m_selected;
    std::uint8_t m_limitStatus = 0;

    void UpdateNozzleLedger(const Drives& before, int output7Before);
    std::vector<NozzleHolder> m_holders;
    bool m_nineteen = false;
    std::array<std::pair<std::int32_t, std::int32_t>, 8> m_headOffsets{};
    std::array<int, 8> m_headNozzle{};
    MachineObserver* m_observer = nullptr;
    std::optional<std::int32_t> m_conveyorWidth;
};

// Bit mask helpers of the per-nozzle forms.
inline int NozzleOfZAxis(int code) { return code >= 0x20 && code <= 0x27 ? code - 0x1F : 0; }

} // namespace sim
