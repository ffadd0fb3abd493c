// The judge of a whole run: every part the world saw put down against the job's rows
// on the true boards. Each part is given to the row it belongs to, then every row is
// looked at: placed once, by its head and nozzle, within the tolerance of its true
// target, picked, placed and let go at its row's depths. Whatever is wrong is listed,
// not only the worst case.
//
// Which row a part belongs to, from what the machine can know: the board and cell it
// lies on (the true geometry), the feeder it was picked from (its pick), and where it
// lies. Parts and rows are paired so that as many parts as possible find a row of
// their board, cell and feeder within the capture distance, and of those pairings
// the one with the least total distance (so two close rows placed crosswise within
// the tolerance are still told apart). A part left over within the capture distance
// of a row of its feeder is that row's second part; any other is placed where no row
// is. The head and nozzle never decide a row: a wrong one is reported.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "world.h"

namespace sim {

struct RunTolerance {
    double mm = 0.1;        // how far a part may lie from its row's true target
    double deg = 0.25;      // and its angle from the row's
    double capture = 2.0;   // how far from a row a part may lie and still be that row's (mm)
    double depth = 0.02;    // how far a stroke's depth may be from the row's (mm): the depth
                            // goes out in whole pulses
};

// Whether the entry is a part put down: a place on a board, or a part let go at a
// place where no board is.
bool PutDown(const LedgerEntry& e);

// The parts put down in `ledger`, each with the row it belongs to among `rows` (its
// `row` and `rowName`; -1 and "" when none): the pairing above.
std::vector<LedgerEntry> AssignRows(const std::vector<LedgerEntry>& ledger, const std::vector<RowTarget>& rows,
                                    double capture);

// The scenario's rows, one per board and cell they stand on: board -1 stands for every
// board (boards the conveyor brings one after another), cell -1 for every cell of the
// board; a row on a board or cell the scenario does not have is left out.
std::vector<RowTarget> ExpandRows(const Scenario& scenario);

struct RunCheckResult {
    struct Placed {
        RowTarget row;
        LedgerEntry part;
        double distance = 0;     // mm from the row's target, in the cell's frame
        double angleError = 0;   // degrees, the part's less the row's, in -180..180
    };
    std::vector<Placed> off;          // beyond the distance or angle tolerance
    std::vector<RowTarget> missing;   // rows no part was given to
    std::vector<Placed> twice;        // each further part of a row placed more than once
    std::vector<LedgerEntry> noRow;   // parts put down where no row is (off every board too)
    std::vector<Placed> wrongNozzle;  // put down by another head, or with another library nozzle
    std::vector<Placed> wrongDepth;   // picked, placed or let go at another depth than its row's
    std::size_t rows = 0, parts = 0;
    RunTolerance tolerance;

    bool Passed() const {
        return off.empty() && missing.empty() && twice.empty() && noRow.empty() && wrongNozzle.empty() &&
               wrongDepth.empty();
    }
    // A heading line ("run check: passed|failed, R rows, P parts put down, ...") and,
    // when anything is wrong, one line per finding under a column header: the row's
    // target and the part's true place in the cell's frame (a part off every board:
    // where it lies in the machine), the distance and angle error, the part's head and
    // library nozzle against the row's ("*" any), the feeder. Parts at another depth
    // follow under their own header: the row, the head, and the pick, place and release
    // depths found against the row's ("*" any; the place depth "-" for a plain stroke,
    // which carries only the release).
    std::string Table() const;
};

// `ledger`: the world's entries (Ledger::Entries()); parts not put down are ignored.
RunCheckResult CheckRun(const std::vector<LedgerEntry>& ledger, const std::vector<RowTarget>& rows,
                        const RunTolerance& tolerance = {});
RunCheckResult CheckRun(const Ledger& ledger, const std::vector<RowTarget>& rows, const RunTolerance& tolerance = {});

// The dots of a dispensing run or of lamp points, and the holes of a drilling run,
// judged the same way as parts: each entry is given to the point it belongs to (its
// board and cell, the least total distance within the capture distance), then every
// point is looked at: made once, within the tolerance, by its valve and to its depth,
// the drill back up. Every offender is listed.
struct PointTarget {
    std::string name;              // no spaces
    int board = 0, cell = 0;
    double x = 0, y = 0;           // true place in the cell's frame (mm)
    int valve = 0;                 // dispense: the valve output or head code; 0 any
    std::optional<double> depth;   // dispense: the stroke's depth as sent (Z mm); none any
    bool backUp = false;           // hole: the drill back up after it (net Z travel 0)
};

struct PointCheckResult {
    struct Found {
        PointTarget point;
        LedgerEntry entry;
        double distance = 0;       // mm from the point, in the cell's frame
        std::string wrong;         // what else is wrong ("valve", "depth", "drill down")
    };
    std::vector<Found> off;              // beyond the distance tolerance
    std::vector<PointTarget> missing;    // points nothing was given to
    std::vector<Found> twice;            // each further entry of a point
    std::vector<LedgerEntry> noPoint;    // entries where no point is
    std::vector<Found> wrong;            // by another valve, to another depth, the drill left down
    std::size_t points = 0, entries = 0;
    double mm = 0;

    bool Passed() const {
        return off.empty() && missing.empty() && twice.empty() && noPoint.empty() && wrong.empty();
    }
    // A heading line ("WHAT check: passed|failed, N points, M made, ...") and, when
    // anything is wrong, one line per finding: the point's name, board, cell and place,
    // where the entry lies, the distance, its valve and depth against the point's.
    std::string Table(const std::string& what) const;
};

// `entries`: the world's entries of one kind (Ledger::Of(Dispense) or Of(Hole)).
PointCheckResult CheckPoints(const std::vector<LedgerEntry>& entries, const std::vector<PointTarget>& points,
                             double mm, double capture = 2.0);

// What a run did with its parts besides putting them down, from the world's ledger:
// every part picked was put down, discarded or lost (none is left on a nozzle); the
// discards, lost parts and empty picks together are retries, at most `retries` (the
// ones the operator allowed: each is picked again for its row); every discard fell
// at the discard place (within `mm` of `discardAt`, machine mm). "" when all is so;
// else one line per offender.
std::string CheckHandling(const std::vector<LedgerEntry>& ledger, int retries, std::optional<Vec> discardAt,
                          double mm = 1.0);

// One line per part put down (no header), as "world placements FILE" writes them:
// "BOARD CELL ROW NAME HEAD NOZZLE X Y ANGLE ERR-X ERR-Y ERR-ANGLE FEEDER MX MY MANGLE"
// with X Y in the cell's frame (%0.4f), ANGLE in the board frame (%0.3f), the pick
// error (%0.4f %0.4f %0.3f), the feeder's scenario index, where it lies in the
// machine (%0.4f %0.4f %0.3f); ROW -1 and NAME "-" when it belongs to no row, BOARD
// and CELL -1 off every board.
std::string PlacementLines(const std::vector<LedgerEntry>& placements);

} // namespace sim
