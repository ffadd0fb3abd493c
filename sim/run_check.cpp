#include "run_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace sim {
namespace {

bool IsPlaceCommand(std::uint16_t code) { return code == 0x68 || code == 0x77 || code == 0x78; }

// The move-and-place commands carry the place depth apart from the release; the plain
// stroke only the one.
bool CarriesPlaceDepth(std::uint16_t code) { return code == 0x77 || code == 0x78; }

bool DepthOff(const std::optional<double>& want, double got, double tolerance) {
    return want && std::fabs(got - *want) > tolerance;
}

bool WrongDepth(const LedgerEntry& e, const RowTarget& r, double tolerance) {
    return DepthOff(r.pickDepth, e.pickDepth, tolerance) || DepthOff(r.releaseDepth, e.releaseDepth, tolerance) ||
           (CarriesPlaceDepth(e.command) && DepthOff(r.placeDepth, e.depth, tolerance));
}

double AngleError(double got, double want) { return std::remainder(got - want, 360.0); }

// Whether the part may be the row's: same board and cell, the row's feeder (when it
// names one), within the capture distance. The distance through `d`.
bool Candidate(const LedgerEntry& e, const RowTarget& r, double capture, double* d) {
    if (e.board < 0 || e.board != r.board || e.cell != r.cell || (r.feeder >= 0 && r.feeder != e.feeder)) return false;
    *d = std::hypot(e.local.x - r.x, e.local.y - r.y);
    return *d <= capture;
}

// Least-cost assignment of a square cost matrix (rows of `cost` to its columns), the
// potentials method: `match[i]` is the column of row i.
std::vector<int> Assign(const std::vector<std::vector<double>>& cost) {
    const std::size_t n = cost.size();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> u(n + 1, 0.0), v(n + 1, 0.0);
    std::vector<std::size_t> p(n + 1, 0), way(n + 1, 0);
    for (std::size_t i = 1; i <= n; ++i) {
        p[0] = i;
        std::size_t j0 = 0;
        std::vector<double> minv(n + 1, inf);
        std::vector<bool> used(n + 1, false);
        do {
            used[j0] = true;
            const std::size_t i0 = p[j0];
            double delta = inf;
            std::size_t j1 = 0;
            for (std::size_t j = 1; j <= n; ++j) {
                if (used[j]) continue;
                const double cur = cost[i0 - 1][j - 1] - u[i0] - v[j];
                if (cur < minv[j]) {
                    minv[j] = cur;
                    way[j] = j0;
                }
                if (minv[j] < delta) {
                    delta = minv[j];
                    j1 = j;
                }
            }
            for (std::size_t j = 0; j <= n; ++j) {
                if (used[j]) {
                    u[p[j]] += delta;
                    v[j] -= delta;
                } else {
                    minv[j] -= delta;
                }
            }
            j0 = j1;
        } while (p[j0] != 0);
        do {
            const std::size_t j1 = way[j0];
            p[j0] = p[j1];
            j0 = j1;
        } while (j0 != 0);
    }
    std::vector<int> match(n, -1);
    for (std::size_t j = 1; j <= n; ++j)
        if (p[j] != 0) match[p[j] - 1] = static_cast<int>(j - 1);
    return match;
}

struct Pairing {
    std::vector<LedgerEntry> parts;  // put down, in ledger order
    std::vector<int> row;            // index into the rows; -1 none
    std::vector<bool> first;         // the part the pairing gave its row (else a further one)
};

// Whether a part was named for its row by the job's order (World, Scenario::rowOrder).
bool Named(const LedgerEntry& e) { return e.forBoard >= 0; }

// `take`: which entries of the ledger are paired (the parts put down; for points, all).
Pairing Pair(const std::vector<LedgerEntry>& ledger, const std::vector<RowTarget>& rows, double capture,
             bool (*take)(const LedgerEntry&) = PutDown) {
    Pairing out;
    for (const LedgerEntry& e : ledger) {
        if (!take(e)) continue;
        LedgerEntry part = e;
        if (!Named(part)) {
            part.row = -1;
            part.rowName.clear();
        }
        out.parts.push_back(part);
    }
    const std::size_t np = out.parts.size(), nr = rows.size();
    out.row.assign(np, -1);
    out.first.assign(np, false);
    // A named part is its row's, wherever it lies; the first one named for a row is
    // its part, any later one a further part.
    std::vector<bool> rowNamed(nr, false);
    for (std::size_t p = 0; p < np; ++p) {
        const LedgerEntry& e = out.parts[p];
        if (!Named(e)) continue;
        for (std::size_t r = 0; r < nr; ++r) {
            if (rows[r].board != e.forBoard || rows[r].cell != e.forCell || rows[r].row != e.row) continue;
            out.row[p] = static_cast<int>(r);
            out.first[p] = !rowNamed[r];
            rowNamed[r] = true;
            break;
        }
    }
    // Parts and rows that may pair fall into groups (joined through their candidate
    // pairs); each group is assigned on its own, which keeps the cubic step small.
    std::vector<std::size_t> parent(np + nr);
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    const auto find = [&](std::size_t a) {
        while (parent[a] != a) a = parent[a] = parent[parent[a]];
        return a;
    };
    std::vector<std::vector<std::pair<std::size_t, double>>> edges(np);
    for (std::size_t p = 0; p < np; ++p)
        for (std::size_t r = 0; r < nr; ++r) {
            double d = 0;
            if (Named(out.parts[p]) || rowNamed[r] || !Candidate(out.parts[p], rows[r], capture, &d)) continue;
            edges[p].push_back({r, d});
            parent[find(p)] = find(np + r);
        }
    std::vector<std::vector<std::size_t>> groupParts(np + nr), groupRows(np + nr);
    for (std::size_t p = 0; p < np; ++p)
        if (!edges[p].empty()) groupParts[find(p)].push_back(p);
    for (std::size_t r = 0; r < nr; ++r) groupRows[find(np + r)].push_back(r);
    for (std::size_t g = 0; g < np + nr; ++g) {
        const auto& gp = groupParts[g];
        const auto& gr = groupRows[g];
        if (gp.empty() || gr.empty()) continue;
        // A pair that is no candidate costs more than every candidate pair together,
        // so the assignment first pairs as many parts as it can, then the closest.
        const std::size_t n = std::max(gp.size(), gr.size());
        const double none = (static_cast<double>(n) + 1.0) * (capture + 1.0);
        std::vector<std::vector<double>> cost(n, std::vector<double>(n, none));
        std::vector<std::vector<bool>> real(n, std::vector<bool>(n, false));
        for (std::size_t i = 0; i < gp.size(); ++i)
            for (const auto& [r, d] : edges[gp[i]]) {
                const auto j = static_cast<std::size_t>(std::find(gr.begin(), gr.end(), r) - gr.begin());
                cost[i][j] = d;
                real[i][j] = true;
            }
        const std::vector<int> match = Assign(cost);
        for (std::size_t i = 0; i < gp.size(); ++i) {
            const int j = match[i];
            if (j < 0 || !real[i][static_cast<std::size_t>(j)]) continue;
            out.row[gp[i]] = static_cast<int>(gr[static_cast<std::size_t>(j)]);
            out.first[gp[i]] = true;
        }
    }
    // A part left over near a row of its own is that row's further part.
    for (std::size_t p = 0; p < np; ++p) {
        if (out.row[p] >= 0 || Named(out.parts[p])) continue;
        for (std::size_t r = 0; r < nr; ++r) {
            double d = 0;
            if (rowNamed[r] && Candidate(out.parts[p], rows[r], capture, &d)) edges[p].push_back({r, d});
        }
        double best = 0;
        for (const auto& [r, d] : edges[p])
            if (out.row[p] < 0 || d < best) {
                out.row[p] = static_cast<int>(r);
                best = d;
            }
    }
    for (std::size_t p = 0; p < np; ++p) {
        if (out.row[p] < 0) continue;
        const RowTarget& r = rows[static_cast<std::size_t>(out.row[p])];
        out.parts[p].row = r.row;
        out.parts[p].rowName = r.name;
    }
    return out;
}

std::string Fixed(double v, int decimals) {
    char b[48];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

std::string Whole(int v) { return v == 0 ? "*" : std::to_string(v); }

} // namespace

bool PutDown(const LedgerEntry& e) {
    return e.kind == LedgerKind::Place || (e.kind == LedgerKind::Dropped && IsPlaceCommand(e.command));
}

std::vector<LedgerEntry> AssignRows(const std::vector<LedgerEntry>& ledger, const std::vector<RowTarget>& rows,
                                    double capture) {
    return Pair(ledger, rows, capture).parts;
}

std::vector<RowTarget> ExpandRows(const Scenario& scenario) {
    std::vector<RowTarget> out;
    for (const RowTarget& r : scenario.rows) {
        for (std::size_t b = 0; b < scenario.boards.size(); ++b) {
            if (r.board >= 0 && static_cast<std::size_t>(r.board) != b) continue;
            const std::size_t cells = std::max<std::size_t>(1, scenario.boards[b].cells.size());
            for (std::size_t c = 0; c < cells; ++c) {
                if (r.cell >= 0 && static_cast<std::size_t>(r.cell) != c) continue;
                RowTarget each = r;
                each.board = static_cast<int>(b);
                each.cell = static_cast<int>(c);
                out.push_back(each);
            }
        }
    }
    return out;
}

RunCheckResult CheckRun(const std::vector<LedgerEntry>& ledger, const std::vector<RowTarget>& rows,
                        const RunTolerance& tolerance) {
    RunCheckResult result;
    result.tolerance = tolerance;
    result.rows = rows.size();
    const Pairing pairing = Pair(ledger, rows, tolerance.capture);
    result.parts = pairing.parts.size();
    std::vector<bool> placed(rows.size(), false);
    for (std::size_t p = 0; p < pairing.parts.size(); ++p) {
        const LedgerEntry& e = pairing.parts[p];
        if (pairing.row[p] < 0) {
            result.noRow.push_back(e);
            continue;
        }
        const RowTarget& r = rows[static_cast<std::size_t>(pairing.row[p])];
        // A part named for a row of another board or cell lies nowhere near it.
        const bool there = e.board == r.board && e.cell == r.cell;
        const RunCheckResult::Placed found{
            r, e, there ? std::hypot(e.local.x - r.x, e.local.y - r.y) : std::numeric_limits<double>::infinity(),
            AngleError(e.localAngle, r.angle)};
        if (!pairing.first[p]) {
            result.twice.push_back(found);
            continue;
        }
        placed[static_cast<std::size_t>(pairing.row[p])] = true;
        if (found.distance > tolerance.mm || std::fabs(found.angleError) > tolerance.deg) result.off.push_back(found);
        if ((r.head != 0 && e.nozzle != r.head) || (r.nozzle != 0 && e.libraryNozzle != r.nozzle))
            result.wrongNozzle.push_back(found);
        if (WrongDepth(e, r, tolerance.depth)) result.wrongDepth.push_back(found);
    }
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!placed[r]) result.missing.push_back(rows[r]);
    return result;
}

RunCheckResult CheckRun(const Ledger& ledger, const std::vector<RowTarget>& rows, const RunTolerance& tolerance) {
    return CheckRun(ledger.Entries(), rows, tolerance);
}

std::string RunCheckResult::Table() const {
    char line[400];
    std::snprintf(line, sizeof line,
                  "run check: %s, %zu rows, %zu parts put down (within %0.3f mm and %0.3f deg): %zu off, %zu missing, "
                  "%zu twice, %zu where no row is, %zu by another nozzle, %zu at another depth\n",
                  Passed() ? "passed" : "failed", rows, parts, tolerance.mm, tolerance.deg, off.size(), missing.size(),
                  twice.size(), noRow.size(), wrongNozzle.size(), wrongDepth.size());
    std::string out = line;
    if (Passed()) return out;
    // One column layout for every finding; "-" where it has no such value, "*" for a
    // row that takes any head or nozzle.
    const char* format = "%-12s %5s %4s %5s %-12s %9s %9s %8s %9s %9s %8s %8s %8s %9s %9s %6s\n";
    std::snprintf(line, sizeof line, format, "finding", "board", "cell", "row", "name", "want x", "want y", "want a",
                  "true x", "true y", "true a", "mm off", "deg off", "head/row", "nozzle/row", "feeder");
    if (!(off.empty() && missing.empty() && twice.empty() && noRow.empty() && wrongNozzle.empty())) out += line;
    const auto add = [&](const char* what, const RowTarget* r, const LedgerEntry* e, double mm, double deg) {
        const std::string dash = "-";
        const bool onBoard = !e || e->board >= 0;  // off every board: where it lies in the machine
        const std::string board = r ? std::to_string(r->board) : std::to_string(e->board);
        const std::string cell = r ? std::to_string(r->cell) : std::to_string(e->cell);
        const std::string head = (e ? std::to_string(e->nozzle) : dash) + "/" + (r ? Whole(r->head) : dash);
        const std::string nozzle = (e ? std::to_string(e->libraryNozzle) : dash) + "/" + (r ? Whole(r->nozzle) : dash);
        std::snprintf(line, sizeof line, format, what, board.c_str(), cell.c_str(),
                      r ? std::to_string(r->row).c_str() : "-", r ? r->name.c_str() : "-",
                      r ? Fixed(r->x, 4).c_str() : "-", r ? Fixed(r->y, 4).c_str() : "-",
                      r ? Fixed(r->angle, 3).c_str() : "-", e ? Fixed(onBoard ? e->local.x : e->machine.x, 4).c_str() : "-",
                      e ? Fixed(onBoard ? e->local.y : e->machine.y, 4).c_str() : "-",
                      e ? Fixed(onBoard ? e->localAngle : e->angle, 3).c_str() : "-",
                      r && e ? Fixed(mm, 4).c_str() : "-", r && e ? Fixed(deg, 3).c_str() : "-", head.c_str(),
                      nozzle.c_str(), e ? std::to_string(e->feeder).c_str() : (r ? std::to_string(r->feeder).c_str() : "-"));
        out += line;
    };
    for (const Placed& p : off) add("off", &p.row, &p.part, p.distance, p.angleError);
    for (const RowTarget& r : missing) add("missing", &r, nullptr, 0, 0);
    for (const Placed& p : twice) add("twice", &p.row, &p.part, p.distance, p.angleError);
    for (const LedgerEntry& e : noRow) add(e.board < 0 ? "off-board" : "no row", nullptr, &e, 0, 0);
    for (const Placed& p : wrongNozzle) add("nozzle", &p.row, &p.part, p.distance, p.angleError);
    if (wrongDepth.empty()) return out;
    const char* depths = "%-12s %5s %4s %5s %-12s %8s %15s %15s %15s %6s\n";
    std::snprintf(line, sizeof line, depths, "finding", "board", "cell", "row", "name", "head/row", "pick/row",
                  "place/row", "release/row", "feeder");
    out += line;
    const auto pair = [](double got, const std::optional<double>& want) {
        return Fixed(got, 3) + "/" + (want ? Fixed(*want, 3) : std::string("*"));
    };
    for (const Placed& p : wrongDepth) {
        const std::string head = std::to_string(p.part.nozzle) + "/" + Whole(p.row.head);
        const std::string place = CarriesPlaceDepth(p.part.command) ? pair(p.part.depth, p.row.placeDepth) : "-";
        std::snprintf(line, sizeof line, depths, "depth", std::to_string(p.row.board).c_str(),
                      std::to_string(p.row.cell).c_str(), std::to_string(p.row.row).c_str(), p.row.name.c_str(),
                      head.c_str(), pair(p.part.pickDepth, p.row.pickDepth).c_str(), place.c_str(),
                      pair(p.part.releaseDepth, p.row.releaseDepth).c_str(), std::to_string(p.part.feeder).c_str());
        out += line;
    }
    return out;
}

namespace {
bool Every(const LedgerEntry&) { return true; }
} // namespace

PointCheckResult CheckPoints(const std::vector<LedgerEntry>& entries, const std::vector<PointTarget>& points,
                             double mm, double capture) {
    PointCheckResult result;
    result.points = points.size();
    result.entries = entries.size();
    result.mm = mm;
    std::vector<RowTarget> rows;
    for (std::size_t i = 0; i < points.size(); ++i) {
        RowTarget r;
        r.board = points[i].board, r.cell = points[i].cell, r.row = static_cast<int>(i), r.name = points[i].name;
        r.x = points[i].x, r.y = points[i].y;
        rows.push_back(r);
    }
    std::vector<LedgerEntry> plain = entries;
    for (LedgerEntry& e : plain) e.forBoard = e.forCell = -1;  // points are never named by order
    const Pairing pairing = Pair(plain, rows, capture, Every);
    std::vector<bool> made(points.size(), false);
    for (std::size_t p = 0; p < pairing.parts.size(); ++p) {
        const LedgerEntry& e = pairing.parts[p];
        if (pairing.row[p] < 0) {
            result.noPoint.push_back(e);
            continue;
        }
        const auto i = static_cast<std::size_t>(pairing.row[p]);
        const PointTarget& point = points[i];
        PointCheckResult::Found found{point, e, std::hypot(e.local.x - point.x, e.local.y - point.y), ""};
        if (!pairing.first[p]) {
            result.twice.push_back(found);
            continue;
        }
        made[i] = true;
        if (found.distance > mm) result.off.push_back(found);
        if (point.valve != 0 && e.valve != point.valve) found.wrong = "valve";
        else if (point.depth && std::fabs(e.depth - *point.depth) > mm) found.wrong = "depth";
        else if (point.backUp && e.depth != 0.0) found.wrong = "drill down";
        if (!found.wrong.empty()) result.wrong.push_back(found);
    }
    for (std::size_t i = 0; i < points.size(); ++i)
        if (!made[i]) result.missing.push_back(points[i]);
    return result;
}

std::string PointCheckResult::Table(const std::string& what) const {
    char line[400];
    std::snprintf(line, sizeof line,
                  "%s check: %s, %zu points, %zu made (within %0.3f mm): %zu off, %zu missing, %zu twice, "
                  "%zu where no point is, %zu wrong\n",
                  what.c_str(), Passed() ? "passed" : "failed", points, entries, mm, off.size(), missing.size(),
                  twice.size(), noPoint.size(), wrong.size());
    std::string out = line;
    if (Passed()) return out;
    const char* format = "%-10s %5s %4s %-24s %9s %9s %9s %9s %8s %11s %11s %10s\n";
    std::snprintf(line, sizeof line, format, "finding", "board", "cell", "name", "want x", "want y", "true x", "true y",
                  "mm off", "valve/want", "depth/want", "what");
    out += line;
    const auto add = [&](const char* finding, const PointTarget* p, const LedgerEntry* e, double mm, const std::string& w) {
        const std::string dash = "-";
        const bool onBoard = !e || e->board >= 0;
        const std::string valve = (e ? std::to_string(e->valve) : dash) + "/" + (p ? Whole(p->valve) : dash);
        const std::string depth = (e ? Fixed(e->depth, 3) : dash) + "/" +
                                  (p ? (p->depth ? Fixed(*p->depth, 3) : std::string(p->backUp ? "0.000" : "*")) : dash);
        std::snprintf(line, sizeof line, format, finding, std::to_string(p ? p->board : e->board).c_str(),
                      std::to_string(p ? p->cell : e->cell).c_str(), p ? p->name.c_str() : "-",
                      p ? Fixed(p->x, 4).c_str() : "-", p ? Fixed(p->y, 4).c_str() : "-",
                      e ? Fixed(onBoard ? e->local.x : e->machine.x, 4).c_str() : "-",
                      e ? Fixed(onBoard ? e->local.y : e->machine.y, 4).c_str() : "-", p && e ? Fixed(mm, 4).c_str() : "-",
                      valve.c_str(), depth.c_str(), w.empty() ? "-" : w.c_str());
        out += line;
    };
    for (const Found& f : off) add("off", &f.point, &f.entry, f.distance, f.wrong);
    for (const PointTarget& p : missing) add("missing", &p, nullptr, 0, "");
    for (const Found& f : twice) add("twice", &f.point, &f.entry, f.distance, "");
    for (const LedgerEntry& e : noPoint) add(e.board < 0 ? "off-board" : "no point", nullptr, &e, 0, "");
    for (const Found& f : wrong) add("wrong", &f.point, &f.entry, f.distance, f.wrong);
    return out;
}

std::string CheckHandling(const std::vector<LedgerEntry>& ledger, int retries, std::optional<Vec> discardAt,
                          double mm) {
    std::size_t picks = 0, putDown = 0, discards = 0, lost = 0, empty = 0;
    std::string out, misses;
    char line[300];
    for (const LedgerEntry& e : ledger) {
        if (e.kind == LedgerKind::Pick) ++picks;
        else if (PutDown(e)) ++putDown;
        else if (e.kind == LedgerKind::Dropped) ++lost;
        else if (e.kind == LedgerKind::Miss) {
            ++empty;
            std::snprintf(line, sizeof line, "pick by head %d at %0.4f %0.4f took nothing\n", e.nozzle, e.machine.x,
                          e.machine.y);
            misses += line;
        } else if (e.kind == LedgerKind::Discard && e.feeder >= 0) {
            ++discards;
            if (discardAt && std::hypot(e.machine.x - discardAt->x, e.machine.y - discardAt->y) > mm) {
                std::snprintf(line, sizeof line, "discard by head %d at %0.4f %0.4f, not at the discard place %0.4f %0.4f\n",
                              e.nozzle, e.machine.x, e.machine.y, discardAt->x, discardAt->y);
                out += line;
            }
        }
    }
    if (picks != putDown + discards + lost) {
        std::snprintf(line, sizeof line, "%zu picks for %zu put down, %zu discarded and %zu lost\n", picks, putDown,
                      discards, lost);
        out += line;
    }
    // Retries beyond the allowed ones: each empty pick is named too.
    if (discards + lost + empty > static_cast<std::size_t>(std::max(retries, 0))) {
        std::snprintf(line, sizeof line, "%zu retries (%zu discarded, %zu lost, %zu empty picks), %d allowed\n",
                      discards + lost + empty, discards, lost, empty, retries);
        out += line + misses;
    }
    return out;
}

std::string PlacementLines(const std::vector<LedgerEntry>& placements) {
    std::string out;
    char line[400];
    for (const LedgerEntry& e : placements) {
        std::snprintf(line, sizeof line,
                      "%d %d %d %s %d %d %0.4f %0.4f %0.3f %0.4f %0.4f %0.3f %d %0.4f %0.4f %0.3f\n", e.board, e.cell,
                      e.row, e.rowName.empty() ? "-" : e.rowName.c_str(), e.nozzle, e.libraryNozzle, e.local.x, e.local.y,
                      e.localAngle, e.pickError.x, e.pickError.y, e.pickErrorAngle, e.feeder, e.machine.x, e.machine.y,
                      e.angle);
        out += line;
    }
    return out;
}

} // namespace sim
