// The feeder editor's machine buttons: read-backs, jogs, feeder walks, camera and
// pick moves, feed and vacuum tests. What they compute is plain code
// (feeders/feed_edit_actions.h); motion goes through the jog, the homing and the
// feeder operation worker, never from this thread.
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "base/globals.h"
#include "base/numtext.h"
#include "feeders/feed_edit_actions.h"
#include "feeders/feed_list.h"
#include "feeders/feed_operation.h"
#include "feeders/feeder_words.h"
#include "feeders/ui/dialog_feed_edit.h"
#include "link/commands.h"
#include "link/homing.h"
#include "link/jog.h"
#include "link/link_state.h"
#include "platform/msgbox.h"
#include "vision/camera_panel_port.h"

namespace smt {

namespace {

namespace e = feededit;

void Show(QLineEdit* edit, const std::string& text) { edit->setText(QString::fromStdString(text)); }
double Number(QLineEdit* edit) { return AtoF(edit->text().toStdString()); }

// A feeder ID of the bank for the bank-only helpers ("" without a bank).
std::string BankId(int bank) {
    const char letter = BankLetter(bank);
    return letter ? std::string(1, letter) + "1" : std::string();
}

void Jog(const EditorJog& j) {
    ManualJog& jog = TheManualJog();
    if (j.exact) jog.JogAxis(j.axis, j.direction, 0, j.pulses < 0 ? -j.pulses : j.pulses, true);
    else jog.JogAxis(j.axis, j.direction, 1, 0, false);
}

} // namespace

void CDialogFeedEdit::OnMachineButton(int id) {
    switch (id) {
    case 1238: Show(Field(e::PickX), ReadBackText(ReadBack::X)); return;
    case 1239: Show(Field(e::PickY), ReadBackText(ReadBack::Y)); return;
    case 1240: Show(Field(e::PickX), ReadBackText(ReadBack::CameraX)); return;
    case 1241: Show(Field(e::PickY), ReadBackText(ReadBack::CameraY)); return;
    case e::DragX: Show(Field(e::Loosen), ReadBackText(ReadBack::CameraX)); return;
    case e::DragY: Show(Field(e::Tighten), ReadBackText(ReadBack::CameraY)); return;
    case 1242: Show(Field(e::FeedCoordinate), ReadBackFeedCoordinate(BankId(CheckedBank()))); return;
    case 1246:
        StartWalkToFeedCoordinate(BankId(CheckedBank()), Number(Field(e::FeedCoordinate)),
                                  m_form.Text("c_Message_09"));
        return;
    case 1426: {
        const CameraPanelPort& panel = TheCameraPanelPort();
        Show(Field(e::Contrast), FormatInt(panel.contrast ? panel.contrast() : 0));
        Show(Field(e::Brightness), FormatInt(panel.brightness ? panel.brightness() : 0));
        Show(Field(e::Length), FormatC("%0.2f", panel.measuredSize ? panel.measuredSize(0) : 0.0));
        Show(Field(e::Width), FormatC("%0.2f", panel.measuredSize ? panel.measuredSize(1) : 0.0));
        return;
    }
    case 1429: StartCameraToFeeder(Number(Field(e::PickX)), Number(Field(e::PickY))); return;
    case 1244: StartVacuumTest(g_MachineType, Combo(e::VacuumNozzle)->currentIndex()); return;
    default: break;
    }
    // The feed tests store the form in place first; the step and automatic-feeder
    // tests feed once.
    bool single = false;
    if (id == e::AutoTest) {
        const int mode = FeedModeIndex(FeedModeText());
        if (mode != 1 && mode != 7) return;
        single = true;
    } else if (id == e::TrayButton || id == e::StepTest) {
        if (Combo(e::FeedMode)->currentIndex() < 0) return;
        if (m_form.modified) {
            plat::MessageBoxOk("Please click the OK button and save it before opening it !", true);
            return;
        }
        single = id == e::StepTest;
    } else {
        return;
    }
    m_form.storeInPlace = true;
    if (m_form.Ok(*this, m_list) != FeedEditOk::StoredInPlace) return;
    SingleFeedFlag() = single;
    if (!m_list.StartEntry(feedmenu::FeedTest)) SingleFeedFlag() = false;
}

void CDialogFeedEdit::OnMachineButtonDown(int id) {
    const int type = g_MachineType;
    const bool second = SecondTableSelected(type, TheManualJog().HeadGroup());
    ManualJog& jog = TheManualJog();
    switch (id) {
    case 1139: jog.JogAxis(second ? 9 : 0, 1, 1, 0, false); return;
    case 1138: jog.JogAxis(second ? 9 : 0, 0, 1, 0, false); return;
    case 1147: jog.JogAxis(second ? 12 : 1, 1, 1, 0, false); return;
    case 1148: jog.JogAxis(second ? 12 : 1, 0, 1, 0, false); return;
    case 1255: jog.NextSpeedGear(); return;
    case 1485: case 1486:
        if (auto j = HeadJog(type, Combo(e::HeightHead)->currentIndex(), id == 1485)) Jog(*j);
        return;
    case 1487: MachineReset(3, true); return;
    case 1254:
        if (auto j = HeadToHeight(type, Combo(e::HeightHead)->currentIndex(), Number(Field(e::PickHeight)))) Jog(*j);
        return;
    case 1466: {
        const int h = Combo(e::Nozzle)->currentIndex(), k = Combo(e::Camera)->currentIndex();
        AppendCommTrace(FormatC("head number %d, camera number %d.", h + 1, k + 1), true);
        if (h < 0 || h > 7 || (k != 0 && k != 1)) return;
        const auto& ids = k == 0 ? feedmenu::Camera1 : feedmenu::Camera2;
        m_list.StartEntry(ids[static_cast<std::size_t>(h)]);
        return;
    }
    case 1245: case 1247: case 1250: case 1253: {
        const std::optional<EditorJog> j = DragDrive(id, BankId(CheckedBank()));
        if (!j) return;
        // The walk starts with its bank switched off, but never while the machine is busy.
        if (j->outputOff && g_Connected && !g_Running) SetOutput({static_cast<std::uint8_t>(j->outputOff), 0, 5});
        Jog(*j);
        return;
    }
    default: return;
    }
}

void CDialogFeedEdit::OnMachineButtonUp(int /*id*/) { TheManualJog().Stop(); }

void CDialogFeedEdit::OnHeadChosen(int index) {
    if (auto text = ReadBackHeadHeight(index)) Show(Field(e::PickHeight), *text);
}

bool CDialogFeedEdit::OnMachineKey(QKeyEvent* event, bool down) {
    const auto& keyOf = JogKeyOf();
    const ManualJog::Key key = keyOf ? keyOf(event->key()) : ManualJog::Key::Other;
    const bool ctrl = event->modifiers() & Qt::ControlModifier, shift = event->modifiers() & Qt::ShiftModifier;
    if (event->isAutoRepeat()) return ctrl && (shift || key != ManualJog::Key::Other);
    if (down) return TheManualJog().OnKeyDown(key, ctrl, shift);
    return TheManualJog().OnKeyUp(key);
}

} // namespace smt
