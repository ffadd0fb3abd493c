// The judge of a whole run: every part the world saw put down against the job's rows
// on the true boards. Each part is given to the row it belongs to, then every row is
// looked at: placed once, by its head and nozzle, within the tolerance of its true
// target. Whatever is wrong is listed, not only the worst case.
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
#include <string>
#include <vector>

#include "world.h"

namespace sim {

struct RunTolerance {
    double mm = 0.1;        // how far a part may lie from its row's true target
    double deg = 0.25;      // and its angle from the row's
    double capture = 2.0;   // how far from a row a part may lie and still be that row's (mm)
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
    std::size_t rows = 0, parts = 0;
    RunTolerance tolerance;

    bool Passed() const {
        return off.empty() && missing.empty() && twice.empty() && noRow.empty() && wrongNozzle.empty();
    }
    // A heading line ("run check: passed|failed, R rows, P parts put down, ...") and,
    // when anything is wrong, one line per finding under a column header: the row's
    // target and the part's true place in the cell's frame (a part off every board:
    // where it lies in the machine), the distance and angle error, the part's head and
    // library nozzle against the row's ("*" any), the feeder.
    std::string Table() const;
};

// `ledger`: the world's entries (Ledger::Entries()); parts not put down are ignored.
RunCheckResult CheckRun(const std::vector<LedgerEntry>& ledger, const std::vector<RowTarget>& rows,
                        const RunTolerance& tolerance = {});
RunCheckResult CheckRun(const Ledger& ledger, const std::vector<RowTarget>& rows, const RunTolerance& tolerance = {});

// One line per part put down (no header), as "world placements FILE" writes them:
// "BOARD CELL ROW NAME HEAD NOZZLE X Y ANGLE ERR-X ERR-Y ERR-ANGLE FEEDER MX MY MANGLE"
// with X Y in the cell's frame (%0.4f), ANGLE in the board frame (%0.3f), the pick
// error (%0.4f %0.4f %0.3f), the feeder's scenario index, where it lies in the
// machine (%0.4f %0.4f %0.3f); ROW -1 and NAME "-" when it belongs to no row, BOARD
// and CELL -1 off every board.
std::string PlacementLines(const std::vector<LedgerEntry>& placements);

} // namespace sim
