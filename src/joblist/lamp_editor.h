// The lamp point editor's machine side: the checks of its OK, the stroke values
// of its test buttons, the positions it takes from the counters, its buttons'
// moves and jogs, and the two workers (one move with an optional stroke, and the
// whole test of a point with its Mark). Plain C++: the dialog only shows fields.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "joblist/lamp_table.h"
#include "link/command_frames.h"

namespace smt {

// Field ids of the editor, by cell (the table of the editor window).
namespace lampfield {
inline constexpr int MarkCheck = 1528, MarkX = 1005, MarkY = 1006, MarkOffsetX = 1044, MarkOffsetY = 1048;
inline constexpr int PointX = 1007, PointY = 1008, OffsetX = 1032, OffsetY = 1033, Z = 1052;
inline constexpr int StartSpeed = 1049, RunSpeed = 1050;
// Per stroke: offset X, Y, height, valve open, bottom delay, valve close, close delay.
inline constexpr std::array<std::array<int, 7>, 3> kStroke{{
    {1009, 1010, 1011, 1012, 1014, 1013, 1041},
    {1015, 1016, 1017, 1018, 1020, 1019, 1042},
    {1021, 1022, 1023, 1024, 1026, 1025, 1043},
}};
} // namespace lampfield

// OK's checks: 0 when the values pass, else the field that gets the focus (the
// valve-open pairs first, then the ranges in field order).
int CheckLampEditorOk(const LampPointValues& v);
// What the field CheckLampEditorOk named must hold, for the operator's message:
// the valve-open height lies between the dispensing height and 0.
struct LampFieldRange {
    double low = 0, high = 0;
    bool integer = false;
};
LampFieldRange LampEditorRange(const LampPointValues& v, int field);

// A test button's stroke values (stroke 0 red glue, 1 and 2 silver) in pulses:
// nullopt with `failedField` the field that gets the focus.
std::optional<LampDispenseParams> LampStrokeParams(const LampPointValues& v, int stroke, double zPulse,
                                                   int* failedField = nullptr);

// ---- taking positions from the counters ----------------------------------------

// Fields 1005/1006: the Mark under the camera (X2 and Y or Y2 counter).
std::string TakeLampMarkAxis(std::int64_t counter, double cameraToNozzle1, double factor);
// Fields 1007/1008: the point under the camera relative to the Mark field.
std::string TakeLampPointAxis(std::int64_t counter, double markField, double cameraToNozzle1, double factor);
// Fields 1011/1017/1023: the glue head's Z, "0" while it is not lowered.
std::string TakeLampHeight(std::int32_t zCounter, double zPulse);

// ---- moves -----------------------------------------------------------------------

struct LampMove {
    int op = 531;  // 531 over table Y1, 532 over table Y2
    std::int32_t x2 = 0, y = 0;  // y: the Y or Y2 target by op
    int stroke = 0;             // 0 none, 1 red glue (head 5), 2 silver (head 6)
    LampDispenseParams params;
};
// The camera over the Mark (point false) or over the point (true).
LampMove LampCameraMove(const LampPointValues& v, bool point);
// Glue head over the point with stroke s's offset (0 with head 1, 1 and 2 with head 2).
LampMove LampGlueMove(const LampPointValues& v, int s);

// The 0x58 stroke of a move: head code 5 with the height as given, 6 negated;
// the valve-open height negated on both.
DispenseStrokeArgs LampStrokeArgs(int stroke, const LampDispenseParams& p);

// One X2 move with Y or Y2, then the stroke when the move went through. The
// caller holds the busy claim; the worker releases it.
void LampPointMoveThread(const LampMove& move);

// ---- jog buttons -------------------------------------------------------------------

struct LampJog {
    int axis = 0, direction = 0;
    int table = 0;        // 1 or 2: the manual panel's table selector first; 0 leaves it
    bool needHeadsUp = false;
};
std::optional<LampJog> LampJogForButton(int id);

// Both glue heads up (Z of nozzles 5 and 6 at 0).
bool LampGlueHeadsUp();
// Built-in text of the caption LampMachineEdit.c_Message_01.
inline constexpr const char* kResetGlueHead = "请先复位点胶头";

// ---- the editor's buttons -------------------------------------------------------------

// What the buttons need besides the fields; the dialog shows what it is told.
struct LampEditorUi {
    std::function<void(int field, const std::string&)> setField;
    std::function<void(int field)> focus;
    std::function<void(const std::string&)> showSpeedCaption;
};

class LampPointEditor {
public:
    // Connected, homed and (when asked) idle, each refused with its topmost box.
    static bool Guards(bool idle);
    static std::string SpeedCaption(int gear);

    // Button 1051: output 7 or 8 toggled.
    void OnPressTest(const LampPointValues& v);
    // Buttons 1003 and 1002 (point false / true).
    void OnTakeMark(const LampPointValues& v, LampEditorUi& ui);
    void OnTakePoint(const LampPointValues& v, LampEditorUi& ui);
    void OnTakeHeight(int field, LampEditorUi& ui);
    void OnSpeed(LampEditorUi& ui);
    // A jog button pressed or released.
    void OnJog(int id, bool pressed);
    void OnResetZ();
    // 1004, 1040: camera; 1259..1261: glue head; 1256..1258: test stroke.
    bool OnCameraMove(const LampPointValues& v, bool point);
    bool OnGlueMove(const LampPointValues& v, int s);
    bool OnStrokeTest(const LampPointValues& v, int s, LampEditorUi& ui);
    // 1531: the whole test with the Mark.
    bool OnDispenseTest(const LampPointValues& v);

    int m_LampOp = 531;
    int m_LampStroke = 0;

private:
    bool StartMove(const LampMove& move);
};

LampPointEditor& TheLampPointEditor();

// The whole test: point p (0..9) on `table`, the three strokes' values (nullopt:
// the set was refused and the test ends there).
struct LampTest {
    int table = 1, point = 0;
    LampMove mark;
    std::array<std::optional<LampDispenseParams>, 3> strokes;
    LampPointValues values;
};
void LampDispenseTestThread(const LampTest& test);

} // namespace smt
