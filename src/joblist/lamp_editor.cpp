#include "joblist/lamp_editor.h"

#include <algorithm>
#include <memory>

#include "base/globals.h"
#include "base/numtext.h"
#include "joblist/lamp_texts.h"
#include "joblist/run_port.h"
#include "link/busy.h"
#include "link/combined_commands.h"
#include "link/command_common.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/link_state.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/msgbox.h"
#include "platform/threads.h"
#include "run_state/run_events.h"
#include "settings/basic_settings.h"
#include "settings/pulse_settings.h"
#include "settings/speed_template.h"
#include "vision/camera_panel_port.h"

namespace smt {

namespace {

using lampfield::kStroke;

// Checks in order; the first failing one names its field.
struct Check {
    bool ok;
    int field;
};
int FirstFailing(std::initializer_list<Check> checks) {
    for (const Check& c : checks)
        if (!c.ok) return c.field;
    return 0;
}

std::int32_t Conv(double mm, double factor) { return ToPulses(mm, factor); }

void WarnTop(const char* text) { plat::MessageBoxOk(text, true, plat::MsgIcon::Warning); }

} // namespace

// ---- checks --------------------------------------------------------------------------

int CheckLampEditorOk(const LampPointValues& v) {
    for (int s = 0; s < 3; ++s)
        if (v.m_Strokes[s].valveOpen < v.m_Strokes[s].height) return kStroke[s][3];
    auto in = [](double x, double lo, double hi) { return x >= lo && x <= hi; };
    if (const int f = FirstFailing({{in(v.m_Z, -3.0, 3.0), lampfield::Z},
                                    {in(v.m_StartSpeed, 1, 255), lampfield::StartSpeed},
                                    {in(v.m_RunSpeed, 1, 255), lampfield::RunSpeed}}))
        return f;
    for (int s = 0; s < 3; ++s) {
        const LampStrokeValues& st = v.m_Strokes[s];
        if (const int f = FirstFailing({{in(st.height, -100, 0), kStroke[s][2]},
                                        {in(st.valveOpen, -100, 0), kStroke[s][3]},
                                        {in(st.bottomDelay, 0, 10000), kStroke[s][4]},
                                        {in(st.valveClose, 0, 100), kStroke[s][5]},
                                        {in(st.closeDelay, 0, 10000), kStroke[s][6]}}))
            return f;
    }
    return 0;
}

LampFieldRange LampEditorRange(const LampPointValues& v, int field) {
    if (field == lampfield::Z) return {-3.0, 3.0, false};
    if (field == lampfield::StartSpeed || field == lampfield::RunSpeed) return {1, 255, true};
    for (int s = 0; s < 3; ++s) {
        const auto& id = kStroke[s];
        if (field == id[2]) return {-100, 0, false};
        if (field == id[3]) return {std::max(-100.0, v.m_Strokes[s].height), 0, false};
        if (field == id[4] || field == id[6]) return {0, 10000, true};
        if (field == id[5]) return {0, 100, false};
    }
    return {};
}

std::optional<LampDispenseParams> LampStrokeParams(const LampPointValues& v, int stroke, double zPulse,
                                                   int* failedField) {
    const LampStrokeValues& st = v.m_Strokes[stroke < 0 || stroke > 2 ? 0 : stroke];
    const auto& id = kStroke[stroke < 0 || stroke > 2 ? 0 : stroke];
    LampDispenseParams p;
    p.height = Conv(st.height, zPulse);
    p.valveOpen = Conv(st.valveOpen, zPulse);
    p.valveClose = Conv(st.valveClose, zPulse);
    p.bottomDelay = st.bottomDelay;
    p.closeDelay = st.closeDelay;
    p.startSpeed = v.m_StartSpeed;
    p.runSpeed = v.m_RunSpeed;
    const int f = FirstFailing({
        {p.startSpeed >= 1 && p.startSpeed <= 255, lampfield::StartSpeed},
        {p.runSpeed >= 1 && p.runSpeed <= 255, lampfield::RunSpeed},
        {p.height <= 0, id[2]},
        {p.valveOpen <= 0, id[3]},
        {p.valveClose >= 0, id[5]},
        {p.bottomDelay >= 0, id[4]},
        {p.closeDelay >= 0, id[6]},
        {p.height <= p.valveOpen, id[3]},
        {-static_cast<std::int64_t>(p.height) >= p.valveClose, id[5]},
    });
    if (failedField) *failedField = f;
    if (f) return std::nullopt;
    return p;
}

// ---- taking positions ------------------------------------------------------------------

std::string TakeLampMarkAxis(std::int64_t counter, double cameraToNozzle1, double factor) {
    return TeachValue(counter + Conv(cameraToNozzle1, factor), factor);
}

std::string TakeLampPointAxis(std::int64_t counter, double markField, double cameraToNozzle1, double factor) {
    return TeachValue(counter - Conv(markField, factor) + Conv(cameraToNozzle1, factor), factor);
}

std::string TakeLampHeight(std::int32_t zCounter, double zPulse) {
    if (zCounter >= 0) return "0";
    return TeachValue(zCounter, zPulse);
}

// ---- moves ---------------------------------------------------------------------------------

LampMove LampCameraMove(const LampPointValues& v, bool point) {
    const BasicSettings& b = TheBasicSettings();
    const double fx = ThePulseFactors().m_X_Pulse, fy = ThePulseFactors().m_Y_Pulse;
    LampMove m;
    m.op = LampTableOfPlatform(v.m_Platform) == 2 ? 532 : 531;
    m.x2 = AddPulses({Conv(v.m_MarkX, fx), point ? Conv(v.m_PointX, fx) : 0, -std::int64_t{Conv(b.m_X_CameraToNozzle1, fx)}});
    m.y = AddPulses({Conv(v.m_MarkY, fy), point ? Conv(v.m_PointY, fy) : 0, -std::int64_t{Conv(b.m_Y_CameraToNozzle1, fy)}});
    return m;
}

LampMove LampGlueMove(const LampPointValues& v, int s) {
    const BasicSettings& b = TheBasicSettings();
    const double fx = ThePulseFactors().m_X_Pulse, fy = ThePulseFactors().m_Y_Pulse;
    const LampStrokeValues& st = v.m_Strokes[s < 0 || s > 2 ? 0 : s];
    const double headX = s == 0 ? b.m_X_Nozzle5ToNozzle1 : b.m_X_Nozzle6ToNozzle1;
    const double headY = s == 0 ? b.m_Y_Nozzle5ToNozzle1 : b.m_Y_Nozzle6ToNozzle1;
    LampMove m;
    m.op = LampTableOfPlatform(v.m_Platform) == 2 ? 532 : 531;
    m.x2 = AddPulses({Conv(v.m_MarkX, fx), Conv(v.m_PointX + st.offsetX, fx), -std::int64_t{Conv(headX, fx)}});
    m.y = AddPulses({Conv(v.m_MarkY, fy), Conv(v.m_PointY + st.offsetY, fy), -std::int64_t{Conv(headY, fy)}});
    return m;
}

DispenseStrokeArgs LampStrokeArgs(int stroke, const LampDispenseParams& p) {
    DispenseStrokeArgs a;
    a.axis = 10;
    // Glue head 2 strokes the other way on the shared rocker.
    a.depth = stroke == 2 ? -p.height : p.height;
    a.start = p.startSpeed;
    a.run = p.runSpeed;
    a.kind = stroke == 2 ? 6 : 5;
    a.a = -p.valveOpen;
    a.b = p.valveClose;
    a.t1 = static_cast<std::uint16_t>(p.closeDelay);
    a.t2 = static_cast<std::uint16_t>(p.bottomDelay);
    a.t3 = 0;
    return a;
}

namespace {

// The move of LampPointMoveThread's step 2; false when refused or not sent.
bool MoveOver(const LampMove& m) {
    if (m.op != 531 && m.op != 532) return false;
    const SpeedTypeTable speeds = TheSpeedTemplates().Table(SpeedType::Handle);
    XYMoveArgs a;
    a.xAxis = 9;
    a.dX = AddPulses({m.x2, -std::int64_t{g_PulseX2.load()}});
    a.xSpeed = {speeds.m_Start_X, speeds.m_Normal_X};
    a.yAxis = m.op == 531 ? 1 : 12;
    a.dY = AddPulses({m.y, -std::int64_t{(m.op == 531 ? g_PulseY : g_PulseY2).load()}});
    a.ySpeed = {speeds.m_Start_Y, speeds.m_Normal_Y};
    return MoveXY(a);
}

} // namespace

void LampPointMoveThread(const LampMove& move) {
    if (cmd::UseSerial()) SetSpeedGear(0);
    // Glue only where the head was sent: a refused move ends here.
    if (!MoveOver(move)) return;
    if (move.stroke == 1 || move.stroke == 2) DispenseStroke(LampStrokeArgs(move.stroke, move.params));
}

void LampDispenseTestThread(const LampTest& t) {
    struct EndOfTest {
        ~EndOfTest() { g_RunContinue = false; }
    } end;
    g_RunContinue = true;
    g_hRunPauseGate.Set();
    if (!LampGlueHeadsUp()) return WarnTop(LampEditText("Message_01").c_str());
    if (cmd::UseSerial()) SetSpeedGear(0);
    if (!MoveOver(t.mark)) return;
    const auto& recognize = TheRunPort().recognizeMark;
    if (!recognize || recognize(t.table, t.point)) return;
    // The offsets the recognition wrote into the point's row of this table.
    const int row = t.table == 2 ? 2 * t.point + 1 : 2 * t.point;
    const std::int32_t offX = AtoI(GetLampCell(row, 5)), offY = AtoI(GetLampCell(row, 6));
    for (int s = 0; s < 3; ++s) {
        if (!t.strokes[s]) return;
        LampMove m = LampGlueMove(t.values, s);
        m.x2 = AddPulses({m.x2, offX});
        m.y = AddPulses({m.y, offY});
        if (!MoveOver(m)) return;
        if (!DispenseStroke(LampStrokeArgs(s == 0 ? 1 : 2, *t.strokes[s]))) return;
        if (!LampGlueHeadsUp()) return WarnTop(LampEditText("Message_01").c_str());
    }
}

// ---- jogs -------------------------------------------------------------------------------------

std::optional<LampJog> LampJogForButton(int id) {
    switch (id) {
    case 1138: return LampJog{9, 0, 2, true};
    case 1139: return LampJog{9, 1, 2, true};
    case 1027: return LampJog{1, 1, 1, true};
    case 1029: return LampJog{1, 0, 1, true};
    case 1028: return LampJog{12, 1, 2, true};
    case 1030: return LampJog{12, 0, 2, true};
    case 1160: return LampJog{10, 1, 0, false};
    case 1161: return LampJog{10, 0, 0, false};
    // Head 6 hangs on the other side of the rocker: its "+" turns it the other way.
    case 1035: case 1038: return LampJog{10, 0, 0, false};
    case 1036: case 1039: return LampJog{10, 1, 0, false};
    default: return std::nullopt;
    }
}

bool LampGlueHeadsUp() { return g_PulseZ[4].load() == 0 && g_PulseZ[5].load() == 0; }

// ---- the editor's buttons ---------------------------------------------------------------------

bool LampPointEditor::Guards(bool idle) {
    if (!g_Connected.load()) {
        WarnTop("Machine is not connection !");
        return false;
    }
    if (!g_Homed.load()) {
        WarnTop("Machine is not reset !");
        return false;
    }
    if (idle && g_Running.load()) {
        WarnTop("Machine is runnig !");
        return false;
    }
    return true;
}

std::string LampPointEditor::SpeedCaption(int gear) {
    switch (gear) {
    case 0: return LampEditText("SpeedFast");
    case 1: return LampEditText("SpeedMedium");
    case 2: return LampEditText("SpeedSlow");
    default: return LampEditText("SpeedFine");
    }
}

void LampPointEditor::OnPressTest(const LampPointValues& v) {
    static std::atomic<bool> on{false};
    if (!Guards(true)) return;
    const bool next = !on.load();
    on = next;
    SetOutput({static_cast<std::uint8_t>(LampTableOfPlatform(v.m_Platform) == 2 ? 8 : 7),
               static_cast<std::uint8_t>(next ? 1 : 0), 5});
}

void LampPointEditor::OnTakeMark(const LampPointValues& v, LampEditorUi& ui) {
    if (!Guards(true)) return;
    const BasicSettings& b = TheBasicSettings();
    const bool second = LampTableOfPlatform(v.m_Platform) == 2;
    ui.setField(lampfield::MarkX, TakeLampMarkAxis(g_PulseX2.load(), b.m_X_CameraToNozzle1, ThePulseFactors().m_X_Pulse));
    ui.setField(lampfield::MarkY, TakeLampMarkAxis((second ? g_PulseY2 : g_PulseY).load(), b.m_Y_CameraToNozzle1,
                                                   ThePulseFactors().m_Y_Pulse));
}

void LampPointEditor::OnTakePoint(const LampPointValues& v, LampEditorUi& ui) {
    if (!Guards(true)) return;
    const BasicSettings& b = TheBasicSettings();
    const bool second = LampTableOfPlatform(v.m_Platform) == 2;
    ui.setField(lampfield::PointX, TakeLampPointAxis(g_PulseX2.load(), v.m_MarkX, b.m_X_CameraToNozzle1,
                                                     ThePulseFactors().m_X_Pulse));
    ui.setField(lampfield::PointY, TakeLampPointAxis((second ? g_PulseY2 : g_PulseY).load(), v.m_MarkY,
                                                     b.m_Y_CameraToNozzle1, ThePulseFactors().m_Y_Pulse));
}

void LampPointEditor::OnTakeHeight(int field, LampEditorUi& ui) {
    if (!Guards(true)) return;
    const int head = field == kStroke[0][2] ? 4 : 5;
    ui.setField(field, TakeLampHeight(g_PulseZ[head].load(), ThePulseFactors().m_Z_Pulse));
}

void LampPointEditor::OnSpeed(LampEditorUi& ui) {
    if (!Guards(true)) return;
    ui.showSpeedCaption(SpeedCaption(TheManualJog().NextSpeedGear()));
}

void LampPointEditor::OnJog(int id, bool pressed) {
    if (!pressed) {
        TheManualJog().Stop();
        return;
    }
    const auto jog = LampJogForButton(id);
    if (!jog || !Guards(false)) return;
    if (jog->needHeadsUp && !LampGlueHeadsUp()) return WarnTop(LampEditText("Message_01").c_str());
    if (jog->table) {
        TheManualJog().SetHeadGroup(jog->table);
        if (const auto& show = TheManualJog().Port().showHeadGroup) show(jog->table);
    }
    TheManualJog().JogAxis(jog->axis, jog->direction, 1, 0, false);
}

void LampPointEditor::OnResetZ() {
    if (!Guards(false)) return;
    MachineReset(6, true);
}

bool LampPointEditor::StartMove(const LampMove& move) {
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    if (!LampGlueHeadsUp()) {
        WarnTop(LampEditText("Message_01").c_str());
        return false;
    }
    m_LampOp = move.op;
    m_LampStroke = move.stroke;
    if (move.op == 532) g_TargetPulseY2 = move.y;
    else g_TargetPulseY = move.y;
    g_TargetPulseX2 = move.x2;
    if (move.stroke) {
        std::lock_guard lock(LampTableMutex());
        g_LampDispenseParams = move.params;
    }
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("lamp point move", [held, move] {
        LampPointMoveThread(move);
        held->Release();
    });
    return true;
}

bool LampPointEditor::OnCameraMove(const LampPointValues& v, bool point) {
    if (!Guards(false)) return false;
    if (const auto& select = TheCameraPanelPort().selectMarkCamera) select();
    return StartMove(LampCameraMove(v, point));
}

bool LampPointEditor::OnGlueMove(const LampPointValues& v, int s) {
    if (!Guards(false)) return false;
    return StartMove(LampGlueMove(v, s));
}

bool LampPointEditor::OnStrokeTest(const LampPointValues& v, int s, LampEditorUi& ui) {
    if (!Guards(false)) return false;
    int failed = 0;
    const auto params = LampStrokeParams(v, s, ThePulseFactors().m_Z_Pulse, &failed);
    if (!params) {
        if (ui.focus) ui.focus(failed);
        return false;
    }
    LampMove m = LampGlueMove(v, s);
    m.stroke = s == 0 ? 1 : 2;
    m.params = *params;
    return StartMove(m);
}

bool LampPointEditor::OnDispenseTest(const LampPointValues& v) {
    if (!Guards(false)) return false;
    LampTest t;
    t.point = AtoI(v.m_PointNo) - 1;
    if (t.point < 0 || t.point >= kLampPoints) {
        WarnTop("点号无效 !\nNo valid point number !");
        return false;
    }
    BusyClaim claim = ClaimMachineAction(true);
    if (!claim) return false;
    t.table = LampTableOfPlatform(v.m_Platform);
    t.values = v;
    t.mark = LampCameraMove(v, false);
    for (int s = 0; s < 3; ++s) t.strokes[s] = LampStrokeParams(v, s, ThePulseFactors().m_Z_Pulse);
    if (const auto& select = TheCameraPanelPort().selectMarkCamera) select();
    auto held = std::make_shared<BusyClaim>(std::move(claim));
    plat::StartWorker("lamp dispense test", [held, t] {
        LampDispenseTestThread(t);
        held->Release();
    });
    return true;
}

LampPointEditor& TheLampPointEditor() {
    static LampPointEditor editor;
    return editor;
}

} // namespace smt
