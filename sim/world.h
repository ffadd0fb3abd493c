// The world the simulated machine acts on: the true geometry of a scenario (which
// may differ from the program's settings, so that calibration and correction have
// work to do), the parts in feeders, on nozzles and on boards, the placement ledger,
// and the cameras' view of it all.
//
// Conventions (machine millimetres; pulses divided by the scenario's true factors):
//   X grows away from home, Y is 0 at home and negative toward the front.
//   Nozzle k stands at nozzle 1 plus its offset; the mark camera's centre is nozzle 1
//   plus the mark-camera offset.
//   Angles in the machine and board frames count counter-clockwise seen from above;
//   a positive A move turns the nozzle clockwise seen from above.
//   Mark camera (looking down): image +x = machine +X, image +y = machine -Y.
//   Vision cameras (looking up): image +x = machine +X, image +y = machine +Y; a part
//   turned counter-clockwise in the machine frame shows turned clockwise on screen.
//   Machine type 4: the tables Y1 (axis 1) and Y2 (axis 12) move in Y under the
//   head, which moves in X only: what lies on table t is seen in the frame of that
//   table, where a tool stands at (carriage X + its offset, table t's Y + its
//   offset); the head (axis 0) carries the nozzles, the X2 carriage (axis 9) the
//   mark camera and the glue heads; the fixed frame (vision cameras, standard
//   piece, visual-origin target) sees a tool at Y = its offset.
#pragma once

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cameras.h"
#include "frame_render.h"
#include "machine.h"

namespace sim {

struct Vec {
    double x = 0, y = 0;
};
inline Vec Add(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec Rotate(Vec v, double degCcw);

struct ScenarioCamera {
    Vec position;               // vision cameras: where they look up (machine mm)
    double pixelsPerMm = 20.0;
    bool inverted = false;      // mark camera: dark marks on a bright board
    double distortion = 0.0;    // radial k1 of the lens (vision camera 2)
    int width = 0, height = 0;  // the camera's image ("image ROLE W H colour|mono"); 0: as smt-sim makes it
    bool mono = false;
};

struct ScenarioPart {
    double length = 1.0, width = 0.5, height = 0.5;  // mm
    int visionType = 1;                              // 0..11
    std::optional<PartDrawing> drawing;              // else PackageForVisionType
};

// Which frame a thing of the world lies in: 0 fixed; on machine type 4, 1 and 2
// the tables Y1 and Y2 (every other type has one frame). Boards and feeders lie
// on a table, table Y1 unless said otherwise.
using Table = int;

struct ScenarioFeeder {
    int bank = 1, number = 1;
    Vec pick;                    // true pick position of the first pocket
    int count = 100;             // parts left
    int rows = 1, cols = 1;      // a tray: its pockets
    double pitchX = 0, pitchY = 0;
    ScenarioPart part;
    double angle = 0;            // true part angle in the pocket (deg, ccw)
    Vec errOffset;               // pick error: part centre from the nozzle (mm)
    double errAngle = 0;         // and its angle (deg)
    double errSigma = 0;         // seeded noise on the offset (mm)
    // Scripted pick errors ("pickerror X Y A" after the feeder), taken by its picks in
    // turn before the model above.
    std::vector<std::array<double, 3>> script;
    Table table = 1;
};

struct ScenarioBoard {
    Vec origin;                  // true origin in the machine frame
    double rotation = 0;         // true rotation (deg, ccw)
    double width = 100, height = 80;  // extent in the board frame (+x, +y)
    struct Cell {
        double x = 0, y = 0, w = 0, h = 0;  // in the board frame
    };
    std::vector<Cell> cells;     // empty: one cell, the whole board
    std::vector<Disc> marks;     // board and local marks, in the board frame (y up)
    Table table = 1;
    // Brought by the conveyor: zone 1 takes it in from the input, zone 2 carries it
    // to the work position (where it is, after the belt time), zone 3 off it and
    // zone 4 out of the machine. Otherwise it lies at the work position throughout.
    bool conveyor = false;
};

// A holder of the nozzle library, in true machine millimetres: where a head must
// stand over it, its entry (the 19-nozzle library's opening; a holder library takes
// the holder itself), and each head's Z at the entry height (negative: lowered).
// Scenario lines: "holder N X Y ENTRY-X ENTRY-Y Z [Z2 .. Z8] [empty]" (numbered 1, 2, ...
// in order; one Z serves every head), "nozzlelibrary holders|nineteen" and
// "carries HEAD HOLDER" (that holder's nozzle is on the head, its holder empty).
// With a library, a head that carries no nozzle picks nothing.
struct ScenarioHolder {
    Vec at, entry;
    double entryZ[8] = {};
    bool holds = true;           // a nozzle sits in it
};

// One row of the job on one board and cell: where its part truly belongs, and how
// it must get there. The run check's expected rows; in a scenario ("row" lines after
// a board) the rows the world names in its placements, cell -1 standing for every
// cell of the board (a panel repeats its rows in each cell) and board -1 for every
// board (ExpandRows, sim/run_check.h).
struct RowTarget {
    int board = 0;               // scenario board index
    int cell = 0;                // cell index (0 when the board has no cells)
    int row = 0;                 // the job row (its index in the placement list)
    std::string name;            // names it in the check's table (no spaces)
    double x = 0, y = 0;         // true target in the cell's frame (mm)
    double angle = 0;            // true angle in the board frame (deg, counter-clockwise)
    int feeder = -1;             // scenario feeder index its part is picked from; -1 any
    int head = 0;                // the head (1..8) that must put it down; 0 any
    int nozzle = 0;              // the library nozzle (holder 1..) that head must carry; 0 any (so
                                 // always 0 on a machine without a nozzle library)
    // How deep its strokes must go (Z mm below the top, positive; none: any): the pick
    // into the feeder, the place (the move-and-place commands, which carry it apart from
    // the release) and the release, where the vacuum is let go (the plain place stroke's
    // one depth).
    std::optional<double> pickDepth, placeDepth, releaseDepth;
};

struct Scenario {
    unsigned seed = 1;
    double pulsesX = 100, pulsesY = 100, pulsesZ = 100, pulsesA = 10;  // per mm / per degree
    Vec nozzleOffset[8];         // from nozzle 1 (entry 0 unused)
    Vec markCameraOffset;        // mark camera centre from nozzle 1 (type 4: on the X2 carriage)
    Vec dispenserOffset;         // the dispenser from nozzle 1 (0x68 dispensing; 0x58 but on type 4)
    ScenarioCamera markCamera;
    ScenarioCamera vision[2];
    // Type 5's synchronous camera ("synccamera X Y PPM"); when not given it looks up
    // where nozzle 2 stands while nozzle 1 is over vision camera 1, with that camera's scale.
    std::optional<ScenarioCamera> syncCamera;
    ScenarioCamera SyncCamera() const;
    std::vector<ScenarioFeeder> feeders;
    std::vector<ScenarioBoard> boards;
    std::vector<Disc> machineDiscs;   // the visual-origin target and the like (fixed frame, y up)
    std::vector<Disc> tableDiscs[2];  // lamp-table marks on tables Y1 and Y2 (type 4)
    double standardDiameter = 0;      // 0: no standard piece
    Vec standardBase;
    double pickTolerance = 1.0;       // mm
    // How far a head may stand from a holder (X, Y) or its entry height (Z) and still
    // take or leave a nozzle there, as the holder's funnel guides it ("holdertolerance MM").
    double holderTolerance = 0.5;     // mm
    int beltMs = 0;                   // a conveyor board reaches the work position this long after zone 2
    double drillSurface = 0;          // type 9: Z travel (mm, down) from the top to the board surface
    double noiseSigma = 2.0;
    std::vector<ScenarioHolder> holders;  // the nozzle library, holder 1 first
    bool nineteenLibrary = false;         // holders change hands at their entry while output 7 is on
    int headNozzle[8] = {};               // the holder (1-based) whose nozzle head k carries; 0 none
    // The job's rows, by which the world names the row each part put down belongs to
    // ("row N NAME X Y ANGLE [BANK NUMBER [HEAD [NOZZLE]]]" after a board), and how far
    // from its row a part may lie and still be that row's ("rowcapture MM").
    std::vector<RowTarget> rows;
    double rowCapture = 2.0;              // mm
    // "roworder": each part put down is named at once by the job's order, not by where
    // it lies: it belongs to the first row of its feeder (rows expanded per board and
    // cell in the order given; a row of any feeder when none of its own is left) that
    // has no part yet. A part in the wrong place is then judged against its own row.
    bool rowOrder = false;
    // "placeerror HEAD DX DY": where a part put down by that head truly lands from the
    // nozzle's centre (mm), as a machine whose nozzle bends at the board needs its per-head
    // place offsets for.
    Vec placeError[8];

    static Scenario Default();
    // Reads the line format of scenario files; false with the line that failed.
    static bool Parse(const std::string& text, Scenario* out, std::string* error);
    static bool Load(const std::string& file, Scenario* out, std::string* error);
};

// Touch: a nozzle that holds no part came down (a place stroke, or the valve opened
// while the nozzle was lowered by a single-axis move), where it stood; Look: where the
// mark camera looked at the end of an X/Y move.
enum class LedgerKind { Pick, Place, Dropped, Discard, Dispense, Hole, StandardMove, Miss, NozzleChange, Touch, Look };

struct LedgerEntry {
    LedgerKind kind = LedgerKind::Pick;
    std::uint16_t command = 0;
    int nozzle = 0;              // the head (1..8) that did it
    int feeder = -1;             // index into the scenario's feeders; -1 none
    Vec machine;                 // where (machine mm)
    double angle = 0;            // true angle in the machine frame (deg, ccw)
    int board = -1, cell = -1;   // what it landed on
    Vec local;                   // in the cell's frame (board frame less the cell origin)
    double localAngle = 0;       // in the board frame
    Vec pickError;               // the pick error the part carried
    double pickErrorAngle = 0;
    int libraryNozzle = 0;       // pick, place: the library nozzle (holder) the head (`nozzle`)
                                 // carried; 0 when the machine has no nozzle library
    int row = -1;                // place: the job row it belongs to (World::Placements); -1 none
    std::string rowName;
    // place: the board and cell of the row it was named for at once by the job's order
    // (Scenario::rowOrder), whatever it landed on; -1 when it was not named so.
    int forBoard = -1, forCell = -1;
    int holder = 0;              // nozzle change: the holder head `nozzle` took its nozzle from (> 0)
                                 // or left it in (< 0)
    int valve = 0;               // dispense: the valve output (0x68) or head code (0x58); touch: the
                                 // valve output opened (0: a place stroke)
    double depth = 0;            // dispense: the stroke's depth as sent (Z mm); hole: net Z travel
                                 // since the drill came over it (mm, down), 0 once back; pick,
                                 // place, touch: how deep the stroke went (Z mm, as sent, its size)
    double pickDepth = 0;        // place: how deep its part was picked (Z mm)
    double releaseDepth = 0;     // place: where its vacuum was let go (Z mm; a plain stroke's depth)
    std::string Text() const;
};

class Ledger {
public:
    std::size_t Add(const LedgerEntry& e);   // its index
    void SetDepth(std::size_t index, double depth);
    std::vector<LedgerEntry> Entries() const;
    std::vector<LedgerEntry> Of(LedgerKind kind) const;
    std::string Text() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<LedgerEntry> m_entries;
};

// Faults of the world.
struct WorldFaults {
    int pickMisses = 0;          // the next picks take nothing
    int lostBeforeCamera = 0;    // the next picked parts fall off before a camera sees them
    int keptAtPlace = 0;         // the next places keep the part on the nozzle
    int keptAtPlaceHeads = 0;    // bit h-1: the next place by head h keeps its part (each bit once)
    int lostTriggers = 0;        // the next fly triggers never reach the camera
    int blackFrames = 0;         // the next frames are black
    // An error report at the n-th command of a code (counted from when it was set).
    std::uint16_t errorCode = 0;
    int errorAfter = 0;          // 0: none
    std::uint8_t errorReport = 0, errorSub = 0;
    // A panel key after the n-th command of a code.
    std::uint16_t keyCode = 0;
    int keyAfter = 0;
    std::string key;
};

class World : public MachineObserver, public FrameSource {
public:
    World(Machine& machine, Scenario scenario);
    ~World() override;

    // Parts, boards and the ledger start again; the machine's nozzle library and the
    // heads' nozzles are set from the scenario's (never call it under the machine's lock).
    void SetScenario(Scenario scenario);
    Scenario GetScenario() const;
    Ledger& ledger() { return m_ledger; }
    WorldFaults& faults() { return m_faults; }   // change under Lock()
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(m_mutex); }
    void SetCameras(CameraSet* cameras) { m_cameras = cameras; }
    void SetKeyPress(std::function<void(const std::string&)> press) { m_pressKey = std::move(press); }
    void SetMachineType(int type) {
        std::lock_guard lock(m_mutex);
        m_machineType = type;
    }

    // Every part put down (places, and parts let go off every board at a place), each
    // named by the job row it belongs to among the scenario's rows (AssignRows).
    std::vector<LedgerEntry> Placements() const;
    // Writes them to `file` as PlacementLines gives them (sim/run_check.h), atomically;
    // false with why. `count`: how many.
    bool WritePlacements(const std::string& file, std::string* error, std::size_t* count = nullptr) const;

    int FeederCount(int feeder) const;
    bool Holds(int nozzle) const;
    int Light(int camera) const;          // 1..3
    // Machine mm of nozzle k (1..8) at these drives.
    Vec NozzleAt(const Drives& d, int nozzle, Table table = 0) const;
    // Whether a board waits at the conveyor input (scenarios with conveyor boards).
    std::optional<bool> BoardAtInput() override;

    // MachineObserver
    std::optional<Outgoing> Intercept(Link link, std::uint16_t code) override;
    void AfterCommand(Link link, std::uint16_t code, const Bytes& data, const Drives& before,
                      const Drives& after) override;
    bool OnPick(std::uint16_t command, int nozzle, const Drives& d, std::int32_t depth) override;
    bool OnPlace(std::uint16_t command, int nozzle, const Drives& d, std::int32_t depth,
                 std::int32_t releaseDepth) override;
    void OnRelease(int nozzle, const Drives& d) override;
    void OnCamera(int camera, int light) override;
    void OnOutput(int channel, int value) override;
    void OnFly(int heads, std::int32_t startX, std::int32_t dX, const std::vector<std::int32_t>& triggers,
               const Drives& d) override;
    void OnNozzleChange(int head, int holder, bool taken, const Drives& d) override;

    // FrameSource
    cv::Mat Render(CameraRole role, int width, int height, int channels, std::uint64_t frameNo,
                   bool triggered = false) override;

    std::string Command(const std::vector<std::string>& words);
    static std::string Help();

private:
    struct Held {
        bool holding = false;
        int feeder = -1;          // -2: the standard piece
        ScenarioPart part;
        Vec offset;               // part centre from the nozzle at the pick (machine frame)
        double angle = 0;         // part angle at the pick (machine frame)
        std::int32_t aAtPick = 0;
        Vec pickError;
        double pickErrorAngle = 0;
        bool lost = false;        // fell off before a camera
        double pickDepth = 0;     // how deep it was picked (Z mm)
    };
    struct Pocket {
        int feeder;
        Vec at;
    };
    // A tool at `offset` from nozzle 1 on the head (or the X2 carriage), in a frame.
    Vec ToolAt(const Drives& d, Vec offset, bool onX2, Table table) const;
    Vec PartCentre(const Held& h, const Drives& d, int nozzle, double* angle, Table table = 0) const;
    // The library nozzle the head carries (0 without a library); under the lock.
    int LibraryNozzle(int head) const;
    // A stroke's depth as sent (pulses, either sign) in Z mm by the true factor.
    double ZMm(std::int32_t pulses) const { return std::abs(static_cast<double>(pulses)) / m_sc.pulsesZ; }
    // What lies under a point given per frame: the first board at the work position.
    void Land(LedgerEntry& e, const std::function<Vec(Table)>& where, double angle) const;
    bool AtWork(std::size_t board) const;
    std::vector<Disc> DiscsInView(const std::function<Vec(Table)>& centre, double ppm, int width, int height) const;
    void Stroke(Link link, std::uint16_t code, const Bytes& data, const Drives& d);
    void Conveyor(const Bytes& data);
    void Drill(const Drives& before, const Drives& after);
    struct Noise {
        int width, height;
        unsigned field;
        cv::Mat up, down;
    };
    static constexpr unsigned kNoiseFields = 4;
    const Noise& NoiseFor(int width, int height, unsigned field);
    std::vector<Noise> m_noise;
    cv::Mat Distort(const cv::Mat& ideal, double k1);
    // Frames drawn lately, each under everything it was drawn from: a camera that
    // looks at an unchanged scene takes its frame again instead of drawing it (a
    // full frame costs most of a second under a thread checker on two cores).
    struct DrawnFrame {
        std::string inputs;
        cv::Mat frame;
    };
    std::deque<DrawnFrame> m_drawn;
    struct Lens {
        double k1 = 0;
        cv::Mat mapX, mapY;
    } m_lens;

    Machine& m_machine;
    mutable std::mutex m_mutex;
    Scenario m_sc;
    std::vector<int> m_counts;     // parts left per feeder
    std::vector<std::size_t> m_scripted;  // scripted pick errors used per feeder
    std::vector<std::vector<bool>> m_taken;  // pockets taken per tray
    Held m_held[8];
    int m_headNozzle[8] = {};      // as the machine's nozzle ledger last reported it
    bool m_standardOnBase = true;
    int m_light[3] = {255, 255, 255};
    std::map<int, int> m_outputs;
    std::mt19937 m_rng;
    WorldFaults m_faults;
    int m_errorSeen = 0, m_keySeen = 0;
    struct FlyShot {
        Drives drives;
    };
    std::deque<FlyShot> m_flyShots;
    Ledger m_ledger;
    CameraSet* m_cameras = nullptr;
    std::function<void(const std::string&)> m_pressKey;
    std::thread m_keyThread;
    int m_machineType = 0;
    enum class Belt { Waiting, Entry, Work, Leaving, Gone };
    struct BoardPlace {
        Belt at = Belt::Work;
        std::chrono::steady_clock::time_point arrives{};
    };
    std::vector<BoardPlace> m_boardAt;   // per scenario board
    // The job's rows in order and whether each has its part (Scenario::rowOrder).
    std::vector<RowTarget> m_order;
    std::vector<bool> m_orderTaken;
    void NameByOrder(LedgerEntry& e);
    bool m_placed = false;               // the command running placed a part
    Drives m_drives;                     // where the drives stood after the last command
    void Look(const Drives& d);
    void Touch(std::uint16_t command, int nozzle, int valve, double depth, const Drives& d);
    struct DrillState {
        std::int32_t arrivalZ = 0;       // the drill's Z when it came over this X/Y
        std::optional<std::size_t> hole; // the ledger entry of the hole made here
    } m_drill;
};

} // namespace sim
