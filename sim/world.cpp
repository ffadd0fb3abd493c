#include "world.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>

#include <opencv2/imgproc.hpp>

#include "platform/files.h"
#include "run_check.h"

namespace sim {
namespace {

constexpr double kPi = 3.14159265358979323846;

double Dist(Vec a, Vec b) { return std::hypot(a.x - b.x, a.y - b.y); }

// The dispensing tool of a machine type: its Z axis and its valve output.
struct DispensingTool {
    int axis, valve;
};
DispensingTool DispensingOf(int type) {
    if (type == 3) return {3, 4};
    if (type == 7) return {0x27, 0x2F};
    return {2, 2};
}

// The Z axis that lowers a nozzle: the rockers of nozzles 1 and 2, 3 and 4 (5 and 6 on
// the rocker types' axis 10), else the nozzle's own.
int ZAxisOf(int type, int nozzle) {
    if (type == 7 || nozzle > 6) return 0x20 + nozzle - 1;
    if (nozzle <= 2) return 2;
    if (nozzle <= 4) return 3;
    return 10;
}

const char* KindName(LedgerKind k) {
    switch (k) {
        case LedgerKind::Pick: return "pick";
        case LedgerKind::Place: return "place";
        case LedgerKind::Dropped: return "dropped";
        case LedgerKind::Discard: return "discard";
        case LedgerKind::Dispense: return "dispense";
        case LedgerKind::Hole: return "hole";
        case LedgerKind::StandardMove: return "standard";
        case LedgerKind::Miss: return "miss";
        case LedgerKind::NozzleChange: return "nozzle";
        case LedgerKind::Touch: return "touch";
        case LedgerKind::Look: return "look";
    }
    return "?";
}

// Pockets of a feeder: a tape feeder has one, a tray rows x cols (row by row).
Vec PocketAt(const ScenarioFeeder& f, int i) {
    const int row = i / std::max(1, f.cols), col = i % std::max(1, f.cols);
    return {f.pick.x + col * f.pitchX, f.pick.y - row * f.pitchY};
}

} // namespace

Vec Rotate(Vec v, double deg) {
    const double c = std::cos(deg * kPi / 180.0), s = std::sin(deg * kPi / 180.0);
    return {v.x * c - v.y * s, v.x * s + v.y * c};
}

// ---- scenario ----

Scenario Scenario::Default() {
    Scenario s;
    for (int k = 1; k < 8; ++k) s.nozzleOffset[k] = {-20.0 * k, 0.0};
    s.markCameraOffset = {40.0, 0.0};
    s.vision[0].position = {200.0, -250.0};
    s.vision[1].position = {240.0, -250.0};
    ScenarioFeeder chip;
    chip.pick = {50.0, -20.0};
    chip.part = {2.0, 1.25, 0.6, 1, std::nullopt};
    ScenarioFeeder sot = chip;
    sot.number = 2;
    sot.pick = {60.0, -20.0};
    sot.part = {2.9, 2.4, 1.0, 2, std::nullopt};
    s.feeders = {chip, sot};
    ScenarioBoard b;
    b.origin = {100.0, -200.0};
    b.width = 80;
    b.height = 60;
    b.marks = {Disc{5.0, 5.0, 1.0, -1}, Disc{75.0, 55.0, 1.0, -1}};
    s.boards = {b};
    s.machineDiscs = {Disc{10.0, -10.0, 1.0, -1}};  // the visual-origin target
    s.standardDiameter = 2.0;
    s.standardBase = {20.0, -280.0};
    return s;
}

ScenarioCamera Scenario::SyncCamera() const {
    if (syncCamera) return *syncCamera;
    ScenarioCamera cam;
    cam.position = Add(vision[0].position, nozzleOffset[1]);
    cam.pixelsPerMm = vision[0].pixelsPerMm;
    return cam;
}

namespace {

// Ranges of the scenario's numbers. Lengths and positions within 10 m and pulse
// factors up to 100000 per mm keep every position the machine is given in pulses
// within its 32-bit counters.
constexpr double kSpan = 10000.0;          // mm: positions, offsets, heights
constexpr double kSize = 1000.0;           // mm: parts, marks, pads, pitches
constexpr double kAngle = 3600.0;          // degrees
constexpr double kPositive = 1e-6;         // the least of a value that must be above 0
constexpr double kMaxPulses = 100000.0;    // per mm or per degree
constexpr double kMaxPixelsPerMm = 1000.0;
constexpr long long kMaxPockets = 100000;  // of one tray
constexpr long long kMaxCount = 1000000000;

// The words of one scenario line after its key, each number checked as it is
// read: written in full, finite, within its field's range, whole where the field
// counts. The first fault is kept for the line's message.
class Fields {
public:
    explicit Fields(const std::string& rest) {
        std::istringstream in(rest);
        for (std::string w; in >> w;) m_words.push_back(w);
    }

    std::size_t Left() const { return m_words.size() - m_next; }
    const std::string& Error() const { return m_error; }
    bool Fail(const std::string& why) {
        if (m_error.empty()) m_error = why;
        return false;
    }

    bool Real(double& v, double lo, double hi, const char* what) {
        if (!m_error.empty()) return false;
        if (!Left()) return Fail(std::string(what) + " missing");
        std::string_view w = m_words[m_next];
        if (w.size() > 1 && w[0] == '+') w.remove_prefix(1);
        double x = 0;
        const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), x);
        if (ec != std::errc() || end != w.data() + w.size() || !std::isfinite(x))
            return Fail(std::string(what) + " is not a number: " + m_words[m_next]);
        if (x < lo || x > hi) return Fail(std::string(what) + " out of range " + Range(lo, hi) + ": " + m_words[m_next]);
        v = x;
        ++m_next;
        return true;
    }

    template <class T>
    bool Whole(T& v, long long lo, long long hi, const char* what) {
        if (!m_error.empty()) return false;
        if (!Left()) return Fail(std::string(what) + " missing");
        std::string_view w = m_words[m_next];
        if (w.size() > 1 && w[0] == '+') w.remove_prefix(1);
        long long x = 0;
        const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), x);
        if (ec == std::errc::result_out_of_range || (ec == std::errc() && end == w.data() + w.size() && (x < lo || x > hi)))
            return Fail(std::string(what) + " out of range " + std::to_string(lo) + ".." + std::to_string(hi) + ": " +
                        m_words[m_next]);
        if (ec != std::errc() || end != w.data() + w.size())
            return Fail(std::string(what) + " is not a whole number: " + m_words[m_next]);
        v = static_cast<T>(x);
        ++m_next;
        return true;
    }

    bool Word(std::string& v, const char* what) {
        if (!m_error.empty()) return false;
        if (!Left()) return Fail(std::string(what) + " missing");
        v = m_words[m_next++];
        return true;
    }

    // Words beyond the line's fields are refused: a field too many is a typo.
    bool Done() {
        if (!m_error.empty()) return false;
        if (Left()) return Fail("unexpected " + m_words[m_next]);
        return true;
    }

    bool Position(Vec& v, const char* what) { return Real(v.x, -kSpan, kSpan, what) && Real(v.y, -kSpan, kSpan, what); }

private:
    static std::string Range(double lo, double hi) {
        char b[64];
        std::snprintf(b, sizeof b, "%g..%g", lo, hi);
        return b;
    }
    std::vector<std::string> m_words;
    std::size_t m_next = 0;
    std::string m_error;
};

// What the lines read so far built.
struct ScenarioReader {
    Scenario s;
    bool lastIsBoard = false;   // "table" applies to the board (else the feeder) declared last
};

using LineParser = bool (*)(Fields&, ScenarioReader&, const std::string& key);

// "package chip L W | triode | oneside LEADS PITCH | leaded LEADS PITCH OFFSET SIDES |
// grid ROWS COLS PITCH BALL SKIP MARK": a typical package as a drawing.
bool ParsePackage(Fields& f, PartDrawing* d) {
    std::string kind;
    double a = 0, b = 0, c = 0;
    int n = 0, m = 0, sides = 0, skip = 0, mark = 0;
    if (!f.Word(kind, "package kind")) return false;
    if (kind == "chip") {
        if (!f.Real(a, kPositive, kSize, "length") || !f.Real(b, kPositive, kSize, "width")) return false;
        *d = ChipPart(a, b);
    } else if (kind == "triode") {
        *d = TriodePart();
    } else if (kind == "oneside") {
        if (!f.Whole(n, 1, 1000, "leads") || !f.Real(a, kPositive, kSize, "pitch")) return false;
        *d = OneSidePart(n, a);
    } else if (kind == "leaded") {
        if (!f.Whole(n, 1, 1000, "leads") || !f.Real(a, kPositive, kSize, "pitch") ||
            !f.Real(b, -kSize, kSize, "row offset") || !f.Whole(sides, 0, 4, "sides"))
            return false;
        *d = LeadedPart(n, a, b, sides == 4);
    } else if (kind == "grid") {
        if (!f.Whole(n, 1, 200, "rows") || !f.Whole(m, 1, 200, "columns") || !f.Real(a, kPositive, kSize, "pitch") ||
            !f.Real(c, kPositive, kSize, "ball") || !f.Whole(skip, 0, 15, "corners") || !f.Whole(mark, 0, 1, "mark"))
            return false;
        *d = BallGridPart(n, m, a, c, static_cast<unsigned>(skip), mark != 0);
    } else {
        return f.Fail("unknown package " + kind);
    }
    return true;
}

bool ParseSeed(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Whole(r.s.seed, 0, 0xFFFFFFFFll, "seed");
}

bool ParsePulses(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Real(r.s.pulsesX, kPositive, kMaxPulses, "X pulses") &&
           f.Real(r.s.pulsesY, kPositive, kMaxPulses, "Y pulses") &&
           f.Real(r.s.pulsesZ, kPositive, kMaxPulses, "Z pulses") && f.Real(r.s.pulsesA, kPositive, kMaxPulses, "A pulses");
}

bool ParseNozzle(Fields& f, ScenarioReader& r, const std::string&) {
    int k = 0;
    return f.Whole(k, 2, 8, "nozzle") && f.Position(r.s.nozzleOffset[k - 1], "offset");
}

bool ParseMarkCamera(Fields& f, ScenarioReader& r, const std::string&) {
    Scenario& s = r.s;
    if (!f.Position(s.markCameraOffset, "offset") ||
        !f.Real(s.markCamera.pixelsPerMm, kPositive, kMaxPixelsPerMm, "pixels per mm"))
        return false;
    int inverted = 0;
    if (f.Left() && !f.Whole(inverted, 0, 1, "inverted")) return false;
    s.markCamera.inverted = inverted != 0;
    return true;
}

// synccamera X Y PPM: type 5's synchronous camera.
bool ParseSyncCamera(Fields& f, ScenarioReader& r, const std::string&) {
    ScenarioCamera cam;
    if (!f.Position(cam.position, "position") || !f.Real(cam.pixelsPerMm, kPositive, kMaxPixelsPerMm, "pixels per mm"))
        return false;
    r.s.syncCamera = cam;
    return true;
}

bool ParseVisionCamera(Fields& f, ScenarioReader& r, const std::string&) {
    int n = 0;
    if (!f.Whole(n, 1, 2, "camera")) return false;
    ScenarioCamera& cam = r.s.vision[n - 1];
    if (!f.Position(cam.position, "position") || !f.Real(cam.pixelsPerMm, kPositive, kMaxPixelsPerMm, "pixels per mm"))
        return false;
    return !f.Left() || f.Real(cam.distortion, -10.0, 10.0, "lens k1");
}

// "feeder BANK NUMBER X Y COUNT L W H TYPE [ANGLE [ERR-X ERR-Y ERR-A [SIGMA]]]" and
// "tray BANK NUMBER X Y ROWS COLS PITCH-X PITCH-Y L W H TYPE [...]".
bool ParseFeeder(Fields& f, ScenarioReader& r, const std::string& key) {
    ScenarioFeeder feeder;
    if (!f.Whole(feeder.bank, 0, 1000000, "bank") || !f.Whole(feeder.number, 0, 1000000, "number") ||
        !f.Position(feeder.pick, "pick position"))
        return false;
    if (key == "tray") {
        if (!f.Whole(feeder.rows, 1, kMaxPockets, "rows") || !f.Whole(feeder.cols, 1, kMaxPockets, "columns") ||
            !f.Real(feeder.pitchX, -kSize, kSize, "X pitch") || !f.Real(feeder.pitchY, -kSize, kSize, "Y pitch"))
            return false;
        if (static_cast<long long>(feeder.rows) * feeder.cols > kMaxPockets)
            return f.Fail("more than " + std::to_string(kMaxPockets) + " pockets");
        feeder.count = feeder.rows * feeder.cols;
    } else if (!f.Whole(feeder.count, 0, kMaxCount, "count")) {
        return false;
    }
    ScenarioPart& part = feeder.part;
    if (!f.Real(part.length, kPositive, kSize, "length") || !f.Real(part.width, kPositive, kSize, "width") ||
        !f.Real(part.height, 0, kSize, "height") || !f.Whole(part.visionType, 0, 11, "vision type"))
        return false;
    const std::size_t optional = f.Left();
    if (optional != 0 && optional != 1 && optional != 4 && optional != 5)
        return f.Fail("after the vision type: ANGLE [ERR-X ERR-Y ERR-A [SIGMA]]");
    if (optional >= 1 && !f.Real(feeder.angle, -kAngle, kAngle, "angle")) return false;
    if (optional >= 4 && (!f.Real(feeder.errOffset.x, -kSize, kSize, "error X") ||
                          !f.Real(feeder.errOffset.y, -kSize, kSize, "error Y") ||
                          !f.Real(feeder.errAngle, -kAngle, kAngle, "error angle")))
        return false;
    if (optional == 5 && !f.Real(feeder.errSigma, 0, kSize, "error sigma")) return false;
    r.s.feeders.push_back(feeder);
    r.lastIsBoard = false;
    return true;
}

bool ParseBoard(Fields& f, ScenarioReader& r, const std::string& key) {
    ScenarioBoard b;
    if (!f.Position(b.origin, "origin") || !f.Real(b.rotation, -kAngle, kAngle, "rotation") ||
        !f.Real(b.width, kPositive, kSpan, "width") || !f.Real(b.height, kPositive, kSpan, "height"))
        return false;
    b.conveyor = key == "waiting";
    r.s.boards.push_back(b);
    r.lastIsBoard = true;
    return true;
}

bool ParseCell(Fields& f, ScenarioReader& r, const std::string&) {
    if (r.s.boards.empty()) return f.Fail("no board before it");
    ScenarioBoard::Cell c;
    if (!f.Real(c.x, -kSpan, kSpan, "X") || !f.Real(c.y, -kSpan, kSpan, "Y") || !f.Real(c.w, 0, kSpan, "width") ||
        !f.Real(c.h, 0, kSpan, "height"))
        return false;
    r.s.boards.back().cells.push_back(c);
    return true;
}

bool ReadDisc(Fields& f, Disc& d) {
    return f.Real(d.xMm, -kSpan, kSpan, "X") && f.Real(d.yMm, -kSpan, kSpan, "Y") &&
           f.Real(d.diameterMm, kPositive, kSize, "diameter");
}

bool ParseMark(Fields& f, ScenarioReader& r, const std::string&) {
    if (r.s.boards.empty()) return f.Fail("no board before it");
    Disc d;
    if (!ReadDisc(f, d)) return false;
    r.s.boards.back().marks.push_back(d);
    return true;
}

// The table of the board or feeder declared last (machine type 4).
bool ParseTable(Fields& f, ScenarioReader& r, const std::string&) {
    int t = 0;
    if (!f.Whole(t, 1, 2, "table")) return false;
    if (r.lastIsBoard ? r.s.boards.empty() : r.s.feeders.empty()) return f.Fail("no board or feeder before it");
    (r.lastIsBoard ? r.s.boards.back().table : r.s.feeders.back().table) = t;
    return true;
}

bool ParsePickError(Fields& f, ScenarioReader& r, const std::string&) {
    if (r.s.feeders.empty()) return f.Fail("no feeder before it");
    std::array<double, 3> e{};
    if (!f.Real(e[0], -kSize, kSize, "X") || !f.Real(e[1], -kSize, kSize, "Y") || !f.Real(e[2], -kAngle, kAngle, "angle"))
        return false;
    r.s.feeders.back().script.push_back(e);
    return true;
}

// An explicit drawing of the part of the feeder declared last.
bool ParseDrawing(Fields& f, ScenarioReader& r, const std::string& key) {
    if (r.s.feeders.empty()) return f.Fail("no feeder before it");
    PartDrawing d;
    const auto xy = [&](double& x, double& y) { return f.Real(x, -kSize, kSize, "X") && f.Real(y, -kSize, kSize, "Y"); };
    if (key == "pad") {
        PartDrawing::Rect p{};
        if (!xy(p.x, p.y) || !f.Real(p.w, 0, kSize, "width") || !f.Real(p.h, 0, kSize, "height")) return false;
        d.pads.push_back(p);
    } else if (key == "ball") {
        PartDrawing::Ball b{};
        if (!xy(b.x, b.y) || !f.Real(b.d, 0, kSize, "diameter")) return false;
        d.balls.push_back(b);
    } else if (key == "triangle") {
        std::array<cv::Point2d, 3> t;
        for (auto& p : t)
            if (!xy(p.x, p.y)) return false;
        d.triangles.push_back(t);
    } else if (!ParsePackage(f, &d)) {
        return false;
    }
    auto& part = r.s.feeders.back().part;
    if (!part.drawing) part.drawing = PartDrawing{};
    part.drawing->pads.insert(part.drawing->pads.end(), d.pads.begin(), d.pads.end());
    part.drawing->balls.insert(part.drawing->balls.end(), d.balls.begin(), d.balls.end());
    part.drawing->triangles.insert(part.drawing->triangles.end(), d.triangles.begin(), d.triangles.end());
    return true;
}

// "disc X Y D [TABLE]": 0 (or none) the fixed frame, 1 or 2 a lamp mark on a table.
bool ParseDisc(Fields& f, ScenarioReader& r, const std::string&) {
    Disc d;
    int t = 0;
    if (!ReadDisc(f, d) || (f.Left() && !f.Whole(t, 0, 2, "table"))) return false;
    (t == 0 ? r.s.machineDiscs : r.s.tableDiscs[t - 1]).push_back(d);
    return true;
}

bool ParseStandard(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Real(r.s.standardDiameter, 0, kSize, "diameter") && f.Position(r.s.standardBase, "base");
}

bool ParseDispenser(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Position(r.s.dispenserOffset, "offset");
}

bool ParseBelt(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Whole(r.s.beltMs, 0, 3600000, "belt time (ms)");
}

bool ParseDrill(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Real(r.s.drillSurface, -kSpan, kSpan, "surface");
}

bool ParseTolerance(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Real(r.s.pickTolerance, 0, kSize, "tolerance");
}

bool ParseHolderTolerance(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Real(r.s.holderTolerance, 0, 100.0, "holder tolerance");
}

bool ParseNoise(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Real(r.s.noiseSigma, 0, 100.0, "noise");
}

// image mark|1|2 W H colour|mono: the camera's image size and channels.
bool ParseImage(Fields& f, ScenarioReader& r, const std::string&) {
    std::string role, kind;
    int width = 0, height = 0;
    if (!f.Word(role, "camera") || !f.Whole(width, 1, 8192, "width") || !f.Whole(height, 1, 8192, "height") ||
        !f.Word(kind, "colour or mono"))
        return false;
    Scenario& s = r.s;
    ScenarioCamera* cam = role == "mark" ? &s.markCamera : role == "1" ? &s.vision[0] : role == "2" ? &s.vision[1] : nullptr;
    if (!cam) return f.Fail("unknown camera " + role);
    if (kind != "colour" && kind != "mono") return f.Fail("neither colour nor mono: " + kind);
    cam->width = width;
    cam->height = height;
    cam->mono = kind == "mono";
    return true;
}

// holder N X Y ENTRY-X ENTRY-Y Z [Z2 .. Z8] [empty]: numbered in order from 1; one Z
// serves every head.
bool ParseHolder(Fields& f, ScenarioReader& r, const std::string&) {
    Scenario& s = r.s;
    int n = 0;
    ScenarioHolder h;
    const long long next = static_cast<long long>(s.holders.size()) + 1;
    if (!f.Whole(n, next, next, "holder number") || !f.Position(h.at, "position") || !f.Position(h.entry, "entry"))
        return false;
    std::vector<std::string> rest;
    for (std::string w; f.Left() && f.Word(w, "");) rest.push_back(w);
    if (!rest.empty() && rest.back() == "empty") {
        h.holds = false;
        rest.pop_back();
    }
    if (rest.size() != 1 && rest.size() != 8) return f.Fail("one Z or eight, then \"empty\" or nothing");
    std::string zs;
    for (const auto& w : rest) zs += w + " ";
    Fields z(zs);
    double v[8] = {};
    for (std::size_t k = 0; k < rest.size(); ++k)
        if (!z.Real(v[k], -kSpan, kSpan, "entry Z")) return f.Fail(z.Error());
    for (std::size_t k = 0; k < 8; ++k) h.entryZ[k] = rest.size() == 1 ? v[0] : v[k];
    s.holders.push_back(h);
    return true;
}

bool ParseNozzleLibrary(Fields& f, ScenarioReader& r, const std::string&) {
    std::string kind;
    if (!f.Word(kind, "holders or nineteen")) return false;
    if (kind != "holders" && kind != "nineteen") return f.Fail("neither holders nor nineteen: " + kind);
    r.s.nineteenLibrary = kind == "nineteen";
    return true;
}

// carries HEAD HOLDER: the head carries that holder's nozzle, which is not in it.
bool ParseCarries(Fields& f, ScenarioReader& r, const std::string&) {
    Scenario& s = r.s;
    int head = 0, holder = 0;
    if (s.holders.empty()) return f.Fail("no holder before it");
    if (!f.Whole(head, 1, 8, "head") || !f.Whole(holder, 1, static_cast<long long>(s.holders.size()), "holder"))
        return false;
    if (!s.holders[holder - 1].holds) return f.Fail("holder " + std::to_string(holder) + " holds no nozzle");
    s.headNozzle[head - 1] = holder;
    s.holders[holder - 1].holds = false;
    return true;
}

// row N NAME X Y ANGLE [BANK NUMBER [HEAD [NOZZLE]]]: job row N of the board declared
// last, in every cell of it; its part from that feeder (declared before it).
bool ParseRow(Fields& f, ScenarioReader& r, const std::string&) {
    Scenario& s = r.s;
    if (s.boards.empty()) return f.Fail("no board before it");
    RowTarget row;
    row.board = static_cast<int>(s.boards.size()) - 1;
    row.cell = -1;
    if (!f.Whole(row.row, 0, 1000000, "row") || !f.Word(row.name, "name") || !f.Real(row.x, -kSpan, kSpan, "X") ||
        !f.Real(row.y, -kSpan, kSpan, "Y") || !f.Real(row.angle, -kAngle, kAngle, "angle"))
        return false;
    if (f.Left()) {
        int bank = 0, number = 0;
        if (!f.Whole(bank, 0, 1000000, "bank") || !f.Whole(number, 0, 1000000, "number")) return false;
        const auto it = std::find_if(s.feeders.begin(), s.feeders.end(),
                                     [&](const ScenarioFeeder& x) { return x.bank == bank && x.number == number; });
        if (it == s.feeders.end())
            return f.Fail("no feeder " + std::to_string(bank) + " " + std::to_string(number) + " before it");
        row.feeder = static_cast<int>(it - s.feeders.begin());
    }
    if (f.Left() && !f.Whole(row.head, 0, 8, "head")) return false;
    if (f.Left() && !f.Whole(row.nozzle, 0, 1000, "nozzle")) return false;
    s.rows.push_back(row);
    return true;
}

bool ParseRowCapture(Fields& f, ScenarioReader& r, const std::string&) {
    return f.Real(r.s.rowCapture, 0, kSize, "capture");
}

bool ParseRowOrder(Fields&, ScenarioReader& r, const std::string&) {
    r.s.rowOrder = true;
    return true;
}

// placeerror HEAD DX DY
bool ParsePlaceError(Fields& f, ScenarioReader& r, const std::string&) {
    int head = 0;
    Vec e;
    if (!f.Whole(head, 1, 8, "head") || !f.Real(e.x, -kSize, kSize, "X") || !f.Real(e.y, -kSize, kSize, "Y"))
        return false;
    r.s.placeError[head - 1] = e;
    return true;
}

// One parser per kind of line, by its first word.
const std::map<std::string, LineParser>& LineParsers() {
    static const std::map<std::string, LineParser> parsers = {
        {"seed", ParseSeed},           {"pulses", ParsePulses},       {"nozzle", ParseNozzle},
        {"markcamera", ParseMarkCamera}, {"visioncamera", ParseVisionCamera}, {"synccamera", ParseSyncCamera},
        {"feeder", ParseFeeder},       {"tray", ParseFeeder},         {"board", ParseBoard},
        {"waiting", ParseBoard},       {"cell", ParseCell},           {"mark", ParseMark},
        {"table", ParseTable},         {"pickerror", ParsePickError}, {"pad", ParseDrawing},
        {"ball", ParseDrawing},        {"triangle", ParseDrawing},    {"package", ParseDrawing},
        {"disc", ParseDisc},           {"standard", ParseStandard},   {"dispenser", ParseDispenser},
        {"belt", ParseBelt},           {"drill", ParseDrill},         {"tolerance", ParseTolerance},
        {"noise", ParseNoise},         {"image", ParseImage},         {"holder", ParseHolder},
        {"nozzlelibrary", ParseNozzleLibrary}, {"carries", ParseCarries},
        {"holdertolerance", ParseHolderTolerance}, {"row", ParseRow}, {"rowcapture", ParseRowCapture},
        {"roworder", ParseRowOrder},   {"placeerror", ParsePlaceError},
    };
    return parsers;
}

} // namespace

bool Scenario::Parse(const std::string& text, Scenario* out, std::string* error) {
    ScenarioReader reader;
    std::istringstream in(text);
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string key;
        if (!(words >> key)) continue;
        std::string rest;
        std::getline(words, rest);
        Fields fields(rest);
        const auto& parsers = LineParsers();
        const auto parser = parsers.find(key);
        bool ok = false;
        if (parser == parsers.end()) fields.Fail("unknown line " + key);
        else ok = parser->second(fields, reader, key) && fields.Done();
        if (!ok) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (error) *error = "line " + std::to_string(lineNo) + ": " + fields.Error() + " (" + line + ")";
            return false;
        }
    }
    *out = std::move(reader.s);
    return true;
}

bool Scenario::Load(const std::string& file, Scenario* out, std::string* error) {
    std::ifstream in(file);
    if (!in) {
        if (error) *error = "cannot read " + file;
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    return Parse(ss.str(), out, error);
}

// ---- ledger ----

std::string LedgerEntry::Text() const {
    char buf[400];
    std::snprintf(buf, sizeof buf,
                  "%s nozzle %d cmd 0x%02X feeder %d at %0.4f %0.4f angle %0.3f board %d cell %d local %0.4f %0.4f "
                  "angle %0.3f error %0.4f %0.4f %0.3f valve %d depth %0.4f holder %d library %d",
                  KindName(kind), nozzle, command, feeder, machine.x, machine.y, angle, board, cell, local.x, local.y,
                  localAngle, pickError.x, pickError.y, pickErrorAngle, valve, depth, holder, libraryNozzle);
    std::string out = buf;
    if (kind == LedgerKind::Place || kind == LedgerKind::Dropped) {
        std::snprintf(buf, sizeof buf, " picked %0.4f released %0.4f", pickDepth, releaseDepth);
        out += buf;
    }
    return out;
}

std::size_t Ledger::Add(const LedgerEntry& e) {
    std::lock_guard lock(m_mutex);
    m_entries.push_back(e);
    return m_entries.size() - 1;
}

void Ledger::SetDepth(std::size_t index, double depth) {
    std::lock_guard lock(m_mutex);
    if (index < m_entries.size()) m_entries[index].depth = depth;
}

std::vector<LedgerEntry> Ledger::Entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

std::vector<LedgerEntry> Ledger::Of(LedgerKind kind) const {
    std::vector<LedgerEntry> v;
    for (const auto& e : Entries())
        if (e.kind == kind) v.push_back(e);
    return v;
}

std::string Ledger::Text() const {
    std::string t;
    for (const auto& e : Entries()) t += e.Text() + "\n";
    return t;
}

void Ledger::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

// ---- world ----

World::World(Machine& machine, Scenario scenario) : m_machine(machine) { SetScenario(std::move(scenario)); }

World::~World() {
    if (m_keyThread.joinable()) m_keyThread.join();
}

void World::SetScenario(Scenario scenario) {
    // The nozzle library in the machine's pulses at the true factors, truncated toward
    // zero. A parsed scenario keeps them within the counters; one built in code is
    // held there too.
    const auto px = [](double mm, double f) {
        const double p = mm * f;
        if (!std::isfinite(p)) return std::int32_t{0};
        return static_cast<std::int32_t>(std::clamp(p, -2147483647.0, 2147483647.0));
    };
    std::vector<NozzleHolder> holders;
    for (const ScenarioHolder& h : scenario.holders) {
        NozzleHolder n;
        n.x = px(h.at.x, scenario.pulsesX);
        n.y = px(h.at.y, scenario.pulsesY);
        n.entryX = px(h.entry.x, scenario.pulsesX);
        n.entryY = px(h.entry.y, scenario.pulsesY);
        for (std::size_t k = 0; k < 8; ++k) n.entryZ[k] = px(h.entryZ[k], scenario.pulsesZ);
        n.holds = h.holds;
        n.toleranceX = std::abs(px(scenario.holderTolerance, scenario.pulsesX));
        n.toleranceY = std::abs(px(scenario.holderTolerance, scenario.pulsesY));
        n.toleranceZ = std::abs(px(scenario.holderTolerance, scenario.pulsesZ));
        holders.push_back(n);
    }
    std::array<std::pair<std::int32_t, std::int32_t>, 8> offsets{};
    for (std::size_t k = 1; k < 8; ++k)
        offsets[k] = {px(scenario.nozzleOffset[k].x, scenario.pulsesX), px(scenario.nozzleOffset[k].y, scenario.pulsesY)};
    m_machine.SetNozzleLibrary(std::move(holders), scenario.nineteenLibrary);
    m_machine.SetHeadOffsets(offsets);
    for (int head = 1; head <= 8; ++head) m_machine.SetHeadNozzle(head, scenario.headNozzle[head - 1]);
    std::lock_guard lock(m_mutex);
    m_sc = std::move(scenario);
    std::copy(std::begin(m_sc.headNozzle), std::end(m_sc.headNozzle), std::begin(m_headNozzle));
    m_counts.clear();
    m_taken.clear();
    m_scripted.assign(m_sc.feeders.size(), 0);
    for (const auto& f : m_sc.feeders) {
        m_counts.push_back(f.count);
        m_taken.emplace_back(static_cast<std::size_t>(f.rows * f.cols), false);
    }
    for (auto& h : m_held) h = Held{};
    m_standardOnBase = true;
    m_rng.seed(m_sc.seed);
    m_noise.clear();
    m_drawn.clear();
    m_flyShots.clear();
    m_boardAt.assign(m_sc.boards.size(), BoardPlace{});
    for (std::size_t b = 0; b < m_sc.boards.size(); ++b)
        if (m_sc.boards[b].conveyor) m_boardAt[b].at = Belt::Waiting;
    m_drill = DrillState{};
    m_order = m_sc.rowOrder ? ExpandRows(m_sc) : std::vector<RowTarget>{};
    m_orderTaken.assign(m_order.size(), false);
    m_ledger.Clear();
}

void World::NameByOrder(LedgerEntry& e) {
    if (!m_sc.rowOrder) return;
    std::size_t pick = m_order.size();
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        if (m_orderTaken[i]) continue;
        if (m_order[i].feeder == e.feeder) {
            pick = i;
            break;
        }
        if (m_order[i].feeder < 0 && pick == m_order.size()) pick = i;
    }
    if (pick == m_order.size()) return;
    m_orderTaken[pick] = true;
    e.row = m_order[pick].row;
    e.rowName = m_order[pick].name;
    e.forBoard = m_order[pick].board;
    e.forCell = m_order[pick].cell;
}

Scenario World::GetScenario() const {
    std::lock_guard lock(m_mutex);
    return m_sc;
}

int World::LibraryNozzle(int head) const {
    return m_sc.holders.empty() || head < 1 || head > 8 ? 0 : m_headNozzle[head - 1];
}

std::vector<LedgerEntry> World::Placements() const {
    std::vector<RowTarget> rows;
    double capture = 0;
    {
        std::lock_guard lock(m_mutex);
        rows = ExpandRows(m_sc);
        capture = m_sc.rowCapture;
    }
    return AssignRows(m_ledger.Entries(), rows, capture);
}

bool World::WritePlacements(const std::string& file, std::string* error, std::size_t* count) const {
    if (file.empty()) {
        if (error) *error = "no file named";
        return false;
    }
    const std::vector<LedgerEntry> placed = Placements();
    if (count) *count = placed.size();
    if (!plat::WriteFileAtomic(file, PlacementLines(placed))) {
        if (error) *error = "cannot write " + file;
        return false;
    }
    return true;
}

int World::FeederCount(int feeder) const {
    std::lock_guard lock(m_mutex);
    return feeder >= 0 && feeder < static_cast<int>(m_counts.size()) ? m_counts[static_cast<std::size_t>(feeder)] : 0;
}

bool World::Holds(int nozzle) const {
    std::lock_guard lock(m_mutex);
    return nozzle >= 1 && nozzle <= 8 && m_held[nozzle - 1].holding;
}

int World::Light(int camera) const {
    std::lock_guard lock(m_mutex);
    return camera >= 1 && camera <= 3 ? m_light[camera - 1] : 0;
}

Vec World::ToolAt(const Drives& d, Vec offset, bool onX2, Table table) const {
    if (m_machineType != 4) return {d.x / m_sc.pulsesX + offset.x, d.y / m_sc.pulsesY + offset.y};
    const double x = (onX2 ? d.x2 : d.x) / m_sc.pulsesX;
    const double y = table == 1 ? d.y / m_sc.pulsesY : table == 2 ? d.y2 / m_sc.pulsesY : 0.0;
    return {x + offset.x, y + offset.y};
}

Vec World::NozzleAt(const Drives& d, int nozzle, Table table) const {
    return ToolAt(d, nozzle >= 2 && nozzle <= 8 ? m_sc.nozzleOffset[nozzle - 1] : Vec{}, false, table);
}

Vec World::PartCentre(const Held& h, const Drives& d, int nozzle, double* angle, Table table) const {
    // A positive A move turns the nozzle clockwise seen from above.
    const double turned = -(static_cast<double>(d.a[static_cast<std::size_t>(nozzle - 1)]) - h.aAtPick) / m_sc.pulsesA;
    if (angle) *angle = h.angle + turned;
    return Add(NozzleAt(d, nozzle, table), Rotate(h.offset, turned));
}

bool World::AtWork(std::size_t b) const {
    const BoardPlace& p = m_boardAt[b];
    return p.at == Belt::Work && std::chrono::steady_clock::now() >= p.arrives;
}

void World::Land(LedgerEntry& e, const std::function<Vec(Table)>& where, double angle) const {
    e.machine = where(0);
    e.angle = angle;
    for (std::size_t b = 0; b < m_sc.boards.size(); ++b) {
        const ScenarioBoard& board = m_sc.boards[b];
        if (!AtWork(b)) continue;
        const Vec at = where(board.table);
        const Vec local = Rotate(Sub(at, board.origin), -board.rotation);
        if (local.x < 0 || local.y < 0 || local.x > board.width || local.y > board.height) continue;
        e.machine = at;
        e.board = static_cast<int>(b);
        e.localAngle = angle - board.rotation;
        e.cell = 0;
        e.local = local;
        for (std::size_t c = 0; c < board.cells.size(); ++c) {
            const auto& cell = board.cells[c];
            if (local.x >= cell.x && local.y >= cell.y && local.x <= cell.x + cell.w && local.y <= cell.y + cell.h) {
                e.cell = static_cast<int>(c);
                e.local = {local.x - cell.x, local.y - cell.y};
                break;
            }
        }
        return;
    }
}

std::optional<Outgoing> World::Intercept(Link link, std::uint16_t code) {
    std::lock_guard lock(m_mutex);
    if (m_faults.errorAfter <= 0 || code != m_faults.errorCode) return std::nullopt;
    if (++m_errorSeen < m_faults.errorAfter) return std::nullopt;
    m_faults.errorAfter = 0;
    m_errorSeen = 0;
    if (link == Link::Serial) return Outgoing{0xFF, m_faults.errorReport, Bytes{m_faults.errorSub}};
    return Outgoing{1, code, Bytes{m_faults.errorReport, 0}};
}

void World::AfterCommand(Link link, std::uint16_t code, const Bytes& data, const Drives& before,
                         const Drives& after) {
    std::string key;
    {
        std::lock_guard lock(m_mutex);
        if (code == 0x58 || code == 0x68) Stroke(link, code, data, after);
        m_placed = false;
        m_drives = after;
        if (code == 0x53 || code == 0x64 || code == 0x65) Look(after);
        if (code == 0x62) Conveyor(data);
        if (m_machineType == 9) Drill(before, after);
        if (m_faults.keyAfter <= 0 || code != m_faults.keyCode || ++m_keySeen < m_faults.keyAfter) return;
        m_faults.keyAfter = 0;
        m_keySeen = 0;
        key = m_faults.key;
    }
    if (!m_pressKey) return;
    // Pressed after this command's reply, off the machine's lock.
    if (m_keyThread.joinable()) m_keyThread.join();
    m_keyThread = std::thread([press = m_pressKey, key] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        press(key);
    });
}

bool World::OnPick(std::uint16_t command, int nozzle, const Drives& d, std::int32_t depth) {
    std::lock_guard lock(m_mutex);
    Held& h = m_held[nozzle - 1];
    if (h.holding) return true;  // a second stroke keeps what the nozzle has
    const Vec n = NozzleAt(d, nozzle);  // the fixed frame (standard piece)
    LedgerEntry e;
    e.command = command;
    e.depth = ZMm(depth);
    e.nozzle = nozzle;
    e.libraryNozzle = LibraryNozzle(nozzle);
    e.machine = n;
    // With a nozzle library, a head that carries no nozzle has nothing to pick with.
    const bool bare = !m_sc.holders.empty() && m_headNozzle[nozzle - 1] == 0;
    if (m_faults.pickMisses > 0 || bare) {
        if (!bare) --m_faults.pickMisses;
        e.kind = LedgerKind::Miss;
        m_ledger.Add(e);
        return false;
    }
    if (m_sc.standardDiameter > 0 && m_standardOnBase && Dist(n, m_sc.standardBase) <= m_sc.pickTolerance) {
        h = Held{};
        h.holding = true;
        h.feeder = -2;
        h.part.visionType = 0;
        h.offset = Sub(m_sc.standardBase, n);
        h.aAtPick = d.a[static_cast<std::size_t>(nozzle - 1)];
        h.pickError = h.offset;
        m_standardOnBase = false;
        e.kind = LedgerKind::StandardMove;
        e.feeder = -2;
        e.machine = m_sc.standardBase;
        e.pickError = h.offset;
        m_ledger.Add(e);
        return true;
    }
    for (std::size_t f = 0; f < m_sc.feeders.size(); ++f) {
        const ScenarioFeeder& feeder = m_sc.feeders[f];
        if (m_counts[f] <= 0) continue;
        const Vec at = NozzleAt(d, nozzle, feeder.table);
        const int pockets = feeder.rows * feeder.cols;
        for (int p = 0; p < pockets; ++p) {
            if (pockets > 1 && m_taken[f][static_cast<std::size_t>(p)]) continue;
            const Vec pocket = PocketAt(feeder, p);
            if (Dist(at, pocket) > m_sc.pickTolerance) continue;
            Vec err = feeder.errOffset;
            double errAngle = feeder.errAngle;
            if (m_scripted[f] < feeder.script.size()) {
                const auto& next = feeder.script[m_scripted[f]++];
                err = {next[0], next[1]};
                errAngle = next[2];
            } else if (feeder.errSigma > 0) {
                std::normal_distribution<double> noise(0.0, feeder.errSigma);
                err.x += noise(m_rng);
                err.y += noise(m_rng);
            }
            --m_counts[f];
            if (pockets > 1) m_taken[f][static_cast<std::size_t>(p)] = true;
            h = Held{};
            h.feeder = static_cast<int>(f);
            h.part = feeder.part;
            h.offset = Add(Sub(pocket, at), err);
            h.angle = feeder.angle + errAngle;
            h.aAtPick = d.a[static_cast<std::size_t>(nozzle - 1)];
            h.pickError = err;
            h.pickErrorAngle = errAngle;
            h.pickDepth = e.depth;
            e.kind = LedgerKind::Pick;
            e.feeder = h.feeder;
            e.machine = Add(at, h.offset);
            e.angle = h.angle;
            e.pickError = err;
            e.pickErrorAngle = errAngle;
            m_ledger.Add(e);
            if (m_faults.lostBeforeCamera > 0) {
                --m_faults.lostBeforeCamera;
                e.kind = LedgerKind::Dropped;
                m_ledger.Add(e);
                return false;  // the vacuum reads empty
            }
            h.holding = true;
            return true;
        }
    }
    e.kind = LedgerKind::Miss;
    m_ledger.Add(e);
    return false;
}

bool World::OnPlace(std::uint16_t command, int nozzle, const Drives& d, std::int32_t depth,
                    std::int32_t releaseDepth) {
    std::lock_guard lock(m_mutex);
    Held& h = m_held[nozzle - 1];
    if (!h.holding) {
        // A dispensing stroke is a dot (Stroke), any other a touch of the empty nozzle.
        const DispensingTool tool = DispensingOf(m_machineType);
        const auto valve = m_outputs.find(tool.valve);
        const bool dispensing = command == 0x68 && valve != m_outputs.end() && valve->second != 0 &&
                                ZAxisOf(m_machineType, nozzle) == tool.axis;
        if (!dispensing) Touch(command, nozzle, 0, ZMm(releaseDepth), d);
        return false;
    }
    m_placed = true;
    if (m_faults.keptAtPlace > 0) {
        --m_faults.keptAtPlace;
        return true;
    }
    if (m_faults.keptAtPlaceHeads & (1 << (nozzle - 1))) {
        m_faults.keptAtPlaceHeads &= ~(1 << (nozzle - 1));
        return true;
    }
    double angle = 0;
    const Vec centre = PartCentre(h, d, nozzle, &angle);
    const Vec error = m_sc.placeError[nozzle - 1];
    const auto where = [&](Table t) { return Add(PartCentre(h, d, nozzle, nullptr, t), error); };
    LedgerEntry e;
    e.command = command;
    e.nozzle = nozzle;
    e.libraryNozzle = LibraryNozzle(nozzle);
    e.feeder = h.feeder;
    e.pickError = h.pickError;
    e.pickErrorAngle = h.pickErrorAngle;
    e.depth = ZMm(depth);
    e.releaseDepth = ZMm(releaseDepth);
    e.pickDepth = h.pickDepth;
    if (h.feeder == -2) {
        e.kind = LedgerKind::StandardMove;
        e.machine = centre;
        m_sc.standardBase = centre;
        m_standardOnBase = true;
    } else {
        Land(e, where, angle);
        e.kind = e.board >= 0 ? LedgerKind::Place : LedgerKind::Dropped;
        NameByOrder(e);
    }
    m_ledger.Add(e);
    h = Held{};
    return false;
}

void World::OnRelease(int nozzle, const Drives& d) {
    std::lock_guard lock(m_mutex);
    Held& h = m_held[nozzle - 1];
    if (!h.holding) return;
    double angle = 0;
    LedgerEntry e;
    e.kind = LedgerKind::Discard;
    e.nozzle = nozzle;
    e.feeder = h.feeder;
    e.machine = PartCentre(h, d, nozzle, &angle);
    e.angle = angle;
    e.pickError = h.pickError;
    if (h.feeder == -2) {
        m_sc.standardBase = e.machine;  // dropped where it was
        m_standardOnBase = true;
    }
    m_ledger.Add(e);
    h = Held{};
}

void World::OnNozzleChange(int head, int holder, bool taken, const Drives& d) {
    std::lock_guard lock(m_mutex);
    if (head < 1 || head > 8) return;
    m_headNozzle[head - 1] = taken ? holder : 0;
    LedgerEntry e;
    e.kind = LedgerKind::NozzleChange;
    e.nozzle = head;
    e.holder = taken ? holder : -holder;
    e.feeder = -1;
    e.machine = NozzleAt(d, head);
    m_ledger.Add(e);
}

void World::OnCamera(int camera, int light) {
    std::lock_guard lock(m_mutex);
    if (camera >= 1 && camera <= 3) m_light[camera - 1] = light;
}

void World::OnOutput(int channel, int value) {
    std::lock_guard lock(m_mutex);
    const bool opened = value != 0 && (m_outputs.count(channel) == 0 || m_outputs[channel] == 0);
    m_outputs[channel] = value;
    // The dispensing valve opened over a nozzle lowered by a single-axis move (glue
    // injected through it): a touch of that nozzle.
    if (!opened || channel != DispensingOf(m_machineType).valve) return;
    for (int k = 1; k <= 8; ++k) {
        const std::int32_t z = m_drives.z[static_cast<std::size_t>(k - 1)];
        if (z < 0 && !m_held[k - 1].holding) Touch(0x03, k, channel, ZMm(z), m_drives);
    }
}

void World::Touch(std::uint16_t command, int nozzle, int valve, double depth, const Drives& d) {
    LedgerEntry e;
    e.kind = LedgerKind::Touch;
    e.command = command;
    e.nozzle = nozzle;
    e.libraryNozzle = LibraryNozzle(nozzle);
    e.valve = valve;
    e.depth = depth;
    Land(e, [&](Table t) { return NozzleAt(d, nozzle, t); }, 0.0);
    m_ledger.Add(e);
}

void World::Look(const Drives& d) {
    LedgerEntry e;
    e.kind = LedgerKind::Look;
    Land(e, [&](Table t) { return ToolAt(d, m_sc.markCameraOffset, m_machineType == 4, t); }, 0.0);
    m_ledger.Add(e);
}

// A dispense point: a 0x58 stroke (its head code is the valve), or a place stroke on
// the dispensing axis while the valve output is on and the nozzle holds no part.
// 0x58 lays its dot under the dispenser; on type 4 under the glue head of its head
// code (5 or 6: nozzle 5's or 6's offset on the X2 carriage).
void World::Stroke(Link link, std::uint16_t code, const Bytes& data, const Drives& d) {
    FieldReader r(data);
    const int axis = r.U8();
    const std::int32_t depth = link == Link::Serial ? r.Sm32() : r.Le32();
    const DispensingTool tool = DispensingOf(m_machineType);
    LedgerEntry e;
    e.kind = LedgerKind::Dispense;
    e.command = code;
    e.depth = depth / m_sc.pulsesZ;
    Vec offset = m_sc.dispenserOffset;
    bool onX2 = false;
    if (code == 0x58) {
        r.Seek(link == Link::Serial ? 7 : 13);
        e.valve = r.U8();
        if (m_machineType == 4) {
            onX2 = true;
            if (e.valve >= 5 && e.valve <= 8) offset = m_sc.nozzleOffset[e.valve - 1];
        }
    } else {
        const auto out = m_outputs.find(tool.valve);
        if (axis != tool.axis || out == m_outputs.end() || out->second == 0) return;
        const int nozzle = axis == 2 ? (depth > 0 ? 1 : 2) : axis == 3 ? (depth > 0 ? 3 : 4) : NozzleOfZAxis(axis);
        if (m_placed || (nozzle >= 1 && nozzle <= 8 && m_held[nozzle - 1].holding)) return;
        e.valve = tool.valve;
    }
    if (!r.ok()) return;
    Land(e, [&](Table t) { return ToolAt(d, offset, onX2, t); }, 0.0);
    m_ledger.Add(e);
}

// The conveyor's zone runs carry its boards: zone 1 takes the first waiting board in,
// zone 2 brings it to the work position (there after the belt time), zone 3 takes the
// board at the work position off it, zone 4 runs that one out of the machine.
void World::Conveyor(const Bytes& data) {
    if (data.empty()) return;
    const int zone = data[0];
    const Belt from[] = {Belt::Waiting, Belt::Entry, Belt::Work, Belt::Leaving};
    const Belt to[] = {Belt::Entry, Belt::Work, Belt::Leaving, Belt::Gone};
    if (zone < 1 || zone > 4) return;
    for (std::size_t b = 0; b < m_boardAt.size(); ++b) {
        if (!m_sc.boards[b].conveyor || m_boardAt[b].at != from[zone - 1]) continue;
        m_boardAt[b].at = to[zone - 1];
        if (zone == 2) m_boardAt[b].arrives = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_sc.beltMs);
        return;
    }
}

std::optional<bool> World::BoardAtInput() {
    std::lock_guard lock(m_mutex);
    bool conveyor = false;
    for (std::size_t b = 0; b < m_boardAt.size(); ++b) {
        if (!m_sc.boards[b].conveyor) continue;
        conveyor = true;
        if (m_boardAt[b].at == Belt::Waiting) return true;
    }
    return conveyor ? std::optional<bool>(false) : std::nullopt;
}

// The drill of type 9 is nozzle 1 on axis 2 (a positive move goes down, its Z count
// falls). Once it goes below the board surface a hole is made where it stands; the
// hole's entry keeps the net Z travel since the drill came over that X/Y, so a drill
// that moves on before it is back up shows it.
void World::Drill(const Drives& before, const Drives& after) {
    if (before.x != after.x || before.y != after.y) {
        m_drill = DrillState{};
        m_drill.arrivalZ = after.z[0];
    }
    if (after.z[0] == before.z[0]) return;
    const double net = (m_drill.arrivalZ - after.z[0]) / m_sc.pulsesZ;
    if (!m_drill.hole && -after.z[0] / m_sc.pulsesZ > m_sc.drillSurface) {
        LedgerEntry e;
        e.kind = LedgerKind::Hole;
        e.nozzle = 1;
        e.depth = net;
        Land(e, [&](Table t) { return NozzleAt(after, 1, t); }, 0.0);
        m_drill.hole = m_ledger.Add(e);
    } else if (m_drill.hole) {
        m_ledger.SetDepth(*m_drill.hole, net);
    }
}

void World::OnFly(int heads, std::int32_t startX, std::int32_t dX, const std::vector<std::int32_t>& triggers,
                  const Drives& d) {
    SimCamera* cam = m_cameras ? m_cameras->ByRole(CameraRole::Vision1) : nullptr;
    std::lock_guard lock(m_mutex);
    (void)dX;
    // A new pass: shots of an earlier one whose triggers the camera dropped (paused
    // or switched mode before their frames) are never taken, and must not stand in
    // for this pass's first frames.
    m_flyShots.clear();
    for (int k = 0; k < heads && k < static_cast<int>(triggers.size()); ++k) {
        if (m_faults.lostTriggers > 0) {
            --m_faults.lostTriggers;
            continue;
        }
        // Trigger k fires at the start X less its trigger value: trigger k of the fly
        // geometry (start = camera + nozzle 2's offset) puts nozzle k over the camera.
        Drives at = d;
        at.x = startX - triggers[static_cast<std::size_t>(k)];
        if (!cam || cam->TriggerMode() != 2 || !cam->Playing()) continue;  // the camera takes no trigger
        m_flyShots.push_back(FlyShot{at});
        cam->Trigger();
    }
}

// Gaussian noise of the scenario's seed, drawn once per frame size: a few fields
// taken in turn by frame number, split into what it adds and what it takes away
// (two saturating 8-bit passes instead of a widening per frame).
const World::Noise& World::NoiseFor(int width, int height, unsigned field) {
    for (const auto& n : m_noise)
        if (n.width == width && n.height == height && n.field == field) return n;
    cv::Mat wide(height, width, CV_16SC1);
    cv::RNG rng(m_sc.seed * 7919u + field);
    rng.fill(wide, cv::RNG::NORMAL, 0.0, m_sc.noiseSigma);
    Noise n{width, height, field, cv::Mat(), cv::Mat()};
    cv::Mat pos = cv::max(wide, 0), neg = cv::max(-wide, 0);
    pos.convertTo(n.up, CV_8UC1);
    neg.convertTo(n.down, CV_8UC1);
    if (m_noise.size() >= 4 * kNoiseFields) m_noise.erase(m_noise.begin());
    m_noise.push_back(n);
    return m_noise.back();
}

// The lens: radial distortion x_d = x_u (1 + k1 r_u^2) in coordinates normalised
// by the frame width (focal length = width, centre = the frame centre), so a
// calibration file with that matrix and k1 undoes it. Maps made once per size.
cv::Mat World::Distort(const cv::Mat& ideal, double k1) {
    const int w = ideal.cols, h = ideal.rows;
    if (m_lens.k1 != k1 || m_lens.mapX.cols != w || m_lens.mapX.rows != h) {
        m_lens.k1 = k1;
        m_lens.mapX.create(h, w, CV_32FC1);
        m_lens.mapY.create(h, w, CV_32FC1);
        const double f = w, cx = w / 2.0, cy = h / 2.0;
        for (int v = 0; v < h; ++v)
            for (int u = 0; u < w; ++u) {
                const double xd = (u - cx) / f, yd = (v - cy) / f;
                double xu = xd, yu = yd;
                for (int i = 0; i < 8; ++i) {
                    const double s = 1.0 + k1 * (xu * xu + yu * yu);
                    xu = xd / s;
                    yu = yd / s;
                }
                m_lens.mapX.at<float>(v, u) = static_cast<float>(xu * f + cx);
                m_lens.mapY.at<float>(v, u) = static_cast<float>(yu * f + cy);
            }
    }
    cv::Mat out;
    cv::remap(ideal, out, m_lens.mapX, m_lens.mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(15));
    return out;
}

std::vector<Disc> World::DiscsInView(const std::function<Vec(Table)>& centreIn, double ppm, int width,
                                     int height) const {
    std::vector<Disc> out;
    const double halfW = width / 2.0 / ppm + 5, halfH = height / 2.0 / ppm + 5;
    auto add = [&](Table t, Vec p, double d) {
        const Vec centre = centreIn(t);
        if (std::fabs(p.x - centre.x) > halfW || std::fabs(p.y - centre.y) > halfH) return;
        out.push_back(Disc{p.x - centre.x, -(p.y - centre.y), d, -1});  // image +y = machine -Y
    };
    for (std::size_t b = 0; b < m_sc.boards.size(); ++b) {
        const ScenarioBoard& board = m_sc.boards[b];
        if (!AtWork(b)) continue;
        for (const auto& m : board.marks)
            add(board.table, Add(board.origin, Rotate({m.xMm, m.yMm}, board.rotation)), m.diameterMm);
    }
    for (const auto& m : m_sc.machineDiscs) add(0, {m.xMm, m.yMm}, m.diameterMm);
    for (Table t = 1; t <= 2; ++t)
        for (const auto& m : m_sc.tableDiscs[t - 1]) add(t, {m.xMm, m.yMm}, m.diameterMm);
    if (m_sc.standardDiameter > 0 && m_standardOnBase) add(0, m_sc.standardBase, m_sc.standardDiameter);
    return out;
}

cv::Mat World::Render(CameraRole role, int width, int height, int channels, std::uint64_t frameNo,
                      bool triggered) {
    // The switched video input shows the camera selected last; a fly trigger reaches
    // the industrial vision camera only.
    const bool switched = role == CameraRole::Switched;
    if (switched) {
        const int selected = m_machine.Camera();
        role = selected == 2 ? CameraRole::Vision1 : selected == 3 ? CameraRole::Vision2 : CameraRole::Mark;
    }
    // Only a triggered exposure takes a fly shot: a free-running frame begun just
    // before the switch to trigger mode, or a snap, shows the machine as it stands.
    std::optional<Drives> shot;
    {
        std::lock_guard lock(m_mutex);
        if (triggered && role == CameraRole::Vision1 && !switched && !m_flyShots.empty()) {
            shot = m_flyShots.front().drives;
            m_flyShots.pop_front();
        }
    }
    const Drives d = shot ? *shot : m_machine.Positions();  // never under the world's lock
    std::lock_guard lock(m_mutex);
    CameraLook look;
    look.width = width;
    look.height = height;
    look.channels = 1;      // drawn grey, noise and light added, then widened once
    look.noiseSigma = 0.0;
    look.noiseSeed = m_sc.seed * 7919u + static_cast<unsigned>(frameNo);
    if (m_faults.blackFrames > 0) {
        --m_faults.blackFrames;
        return cv::Mat(height, width, channels == 1 ? CV_8UC1 : CV_8UC3, cv::Scalar::all(0));
    }
    // The synchronous camera sits beside vision camera 1 and shares its light.
    const bool synchronous = role == CameraRole::Synchronous;
    const int camIndex = synchronous ? 1 : static_cast<int>(role);
    // What the frame shows: the marks in view, or the part on the first nozzle
    // over the camera.
    std::vector<Disc> discs;
    std::optional<std::pair<PartDrawing, Pose>> part;
    double k1 = 0.0;
    if (role == CameraRole::Mark) {
        look.pixelsPerMm = m_sc.markCamera.pixelsPerMm;
        if (m_sc.markCamera.inverted) std::swap(look.background, look.foreground);
        const auto centre = [&](Table t) { return ToolAt(d, m_sc.markCameraOffset, true, t); };
        discs = DiscsInView(centre, look.pixelsPerMm, width, height);
    } else {
        const ScenarioCamera cam = synchronous ? m_sc.SyncCamera() : m_sc.vision[camIndex - 1];
        look.pixelsPerMm = cam.pixelsPerMm;
        look.background = 15;
        k1 = cam.distortion;
        const double halfW = width / 2.0 / cam.pixelsPerMm, halfH = height / 2.0 / cam.pixelsPerMm;
        for (int n = 1; n <= 8 && !part; ++n) {
            const Held& h = m_held[n - 1];
            if (!h.holding) continue;
            const Vec nozzle = NozzleAt(d, n);
            if (std::fabs(nozzle.x - cam.position.x) > halfW || std::fabs(nozzle.y - cam.position.y) > halfH) continue;
            double angle = 0;
            const Vec c = PartCentre(h, d, n, &angle);
            PartDrawing drawing;
            if (h.feeder == -2) drawing.balls.push_back({0.0, 0.0, m_sc.standardDiameter});
            else drawing = h.part.drawing ? *h.part.drawing : PackageForVisionType(h.part.visionType);
            // Image +y = machine +Y, so a counter-clockwise turn shows clockwise on screen.
            part.emplace(std::move(drawing), Pose{c.x - cam.position.x, c.y - cam.position.y, angle});
        }
    }
    // Light: full from level 100, none at 0.
    const double light = std::clamp(m_light[camIndex] / 100.0, 0.0, 1.0);
    const bool noisy = m_sc.noiseSigma > 0 && light > 0;
    const unsigned field = static_cast<unsigned>(frameNo % kNoiseFields);

    // Everything the frame is drawn from, field by field.
    std::string inputs;
    const auto put = [&inputs](auto v) { inputs.append(reinterpret_cast<const char*>(&v), sizeof v); };
    put(camIndex), put(role == CameraRole::Mark), put(width), put(height), put(channels);
    put(look.pixelsPerMm), put(look.background), put(look.foreground), put(k1), put(light);
    put(noisy), put(noisy ? field : 0u), put(noisy ? m_sc.seed : 0u), put(noisy ? m_sc.noiseSigma : 0.0);
    for (const Disc& c : discs) put(c.xMm), put(c.yMm), put(c.diameterMm), put(c.level);
    if (part) {
        const auto& [drawing, pose] = *part;
        put(pose.xMm), put(pose.yMm), put(pose.angleDeg);
        put(drawing.pads.size()), put(drawing.balls.size()), put(drawing.triangles.size());
        for (const auto& r : drawing.pads) put(r.x), put(r.y), put(r.w), put(r.h);
        for (const auto& b : drawing.balls) put(b.x), put(b.y), put(b.d);
        for (const auto& t : drawing.triangles)
            for (const auto& q : t) put(q.x), put(q.y);
    }
    for (const DrawnFrame& drawn : m_drawn)
        if (drawn.inputs == inputs) return drawn.frame.clone();

    cv::Mat frame = part ? RenderPart(look, part->first, part->second) : RenderMarks(look, discs);
    if (k1 != 0.0) frame = Distort(frame, k1);
    if (light < 1.0) frame.convertTo(frame, -1, light, 0);
    if (noisy) {
        const Noise& n = NoiseFor(width, height, field);
        cv::add(frame, n.up, frame);
        cv::subtract(frame, n.down, frame);
    }
    if (channels != 1) {
        cv::Mat colour;
        cv::cvtColor(frame, colour, channels == 4 ? cv::COLOR_GRAY2BGRA : cv::COLOR_GRAY2BGR);
        frame = colour;
    }
    // A few scenes per camera and noise field.
    if (m_drawn.size() >= 16) m_drawn.pop_front();
    m_drawn.push_back(DrawnFrame{std::move(inputs), frame});
    return frame.clone();
}

std::string World::Help() {
    return "  scenario FILE              load a scenario (parts, boards and the ledger start again)\n"
           "  world ledger | world counts | world clear-ledger\n"
           "  world placements FILE      every part put down, one a line with its job row (written atomically)\n"
           "  world miss N | world lose N | world keep N | world lost-trigger N | world black N\n"
           "  world error CODE N REPORT [SUB]   the N-th command CODE (hex) answered by error REPORT\n"
           "  world key CODE N KEY       panel KEY after the N-th command CODE (hex)\n";
}

std::string World::Command(const std::vector<std::string>& w) {
    auto arg = [&](std::size_t i) { return i < w.size() ? w[i] : std::string(); };
    auto num = [&](std::size_t i, long* v, int base = 10) {
        const std::string s = arg(i);
        char* end = nullptr;
        *v = std::strtol(s.c_str(), &end, base);
        return !s.empty() && *end == '\0' && *v >= 0;
    };
    const std::string c = arg(1);
    long n = 0, code = 0, report = 0, sub = 0;
    if (c == "ledger") return m_ledger.Text();
    if (c == "placements") {
        if (arg(2).empty() || !arg(3).empty()) return "usage: world placements FILE";
        std::string error;
        std::size_t count = 0;
        if (!WritePlacements(arg(2), &error, &count)) return "placements not written: " + error;
        return "ok " + std::to_string(count) + " placements";
    }
    if (c == "clear-ledger") {
        m_ledger.Clear();
        return "ok";
    }
    if (c == "counts") {
        std::ostringstream out;
        std::lock_guard lock(m_mutex);
        for (std::size_t f = 0; f < m_counts.size(); ++f)
            out << "feeder " << m_sc.feeders[f].bank << "-" << m_sc.feeders[f].number << " " << m_counts[f] << "\n";
        return out.str();
    }
    auto lock = Lock();
    if ((c == "miss" || c == "lose" || c == "keep" || c == "lost-trigger" || c == "black") && num(2, &n)) {
        int& slot = c == "miss" ? m_faults.pickMisses
                    : c == "lose" ? m_faults.lostBeforeCamera
                    : c == "keep" ? m_faults.keptAtPlace
                    : c == "lost-trigger" ? m_faults.lostTriggers
                                          : m_faults.blackFrames;
        slot = static_cast<int>(n);
        return "ok";
    }
    if (c == "error" && num(2, &code, 16) && num(3, &n) && n > 0 && num(4, &report, 16) && report <= 0xFF &&
        (arg(5).empty() || (num(5, &sub, 16) && sub <= 0xFF))) {
        m_faults.errorCode = static_cast<std::uint16_t>(code);
        m_faults.errorAfter = static_cast<int>(n);
        m_faults.errorReport = static_cast<std::uint8_t>(report);
        m_faults.errorSub = static_cast<std::uint8_t>(sub);
        m_errorSeen = 0;
        return "ok";
    }
    if (c == "key" && num(2, &code, 16) && num(3, &n) && n > 0 && !arg(4).empty()) {
        m_faults.keyCode = static_cast<std::uint16_t>(code);
        m_faults.keyAfter = static_cast<int>(n);
        m_faults.key = arg(4);
        m_keySeen = 0;
        return "ok";
    }
    return "unknown world command\n" + Help();
}

} // namespace sim
