// The basic settings dialog without its widgets: the teach buttons, the fields
// each machine type disables, the captions, the opening and confirming rules, the
// reference measurement (AutoZ) and the hand-over of its result to the dialog.
#pragma once

#include "base/captions.h"
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "link/busy.h"
#include "link/position_counters.h"
#include "settings/basic_settings.h"
#include "settings/dialog_captions.h"

namespace smt {

// ---- teach buttons ----

// One teach button: its control id, its caption and the member whose edit box it fills.
struct BasicTeachButton {
    int id;
    const char* label;
    const char* field;
};
// The 40 teach buttons.
std::span<const BasicTeachButton> BasicTeachButtons();
const BasicTeachButton* FindBasicTeachButton(int id);

// What a teach button reads: the counters, the reference of the one-key clear,
// the pulse factors, the machine type, the active table of machine type 4 and the
// mark camera offset as last confirmed.
struct TeachInputs {
    PositionSnapshot pos;
    std::int32_t refX = 0, refY = 0, refX2 = 0, refY2 = 0;
    double xPulse = 0, yPulse = 0, zPulse = 0;
    int machineType = 0;
    int activeTable = 1;
    double cameraX = 0, cameraY = 0;
};
// The live values (counters, settings, pulse factors, g_MachineType, the panel's head group).
TeachInputs CurrentTeachInputs();

// The text a counter-based teach button writes ("%0.4f", moved 0.0001 away from
// zero). The two vision-origin offset buttons are not counter based: see below.
std::string BasicTeachText(int buttonId, const TeachInputs& in);
// The vision-origin offset buttons: the number in the coordinate's edit box minus
// the confirmed member, "%0.4f" without the step away from zero.
std::string VisualOriginOffsetText(const std::string& coordinateEditText, double member);
inline constexpr int kTeachVisualOffsetX = 1074, kTeachVisualOffsetY = 1076;
inline constexpr int kTeachDispensingHeight = 1248;

// ---- fields per machine type ----

// The members whose controls machine type `machineType` disables.
std::vector<std::string> BasicDisabledFields(int machineType);
bool BasicFieldDisabled(int machineType, const std::string& member);
// A teach button follows its field, except the dispensing height's "Z", always enabled.
bool BasicTeachButtonEnabled(int machineType, int buttonId);

// ---- captions (section "SetBasicConfig") ----
DialogCaptions& TheBasicCaptions();
// The caption key of a labelled control on `machineType` (nozzle 5/6 heights and
// the discard group change on types 4 and 6).
std::string BasicCaptionKey(const std::string& baseKey, int machineType);

// ---- opening and OK ----

// Opening, after the controls were filled: on machine type 4 the Y offsets of
// nozzles 2..4 and m_ResetToVisualOrigin become 0 (true: refill the controls).
bool ZeroTypeFourOffsets(BasicSettings& s, int machineType);
// Then the open flag is set and, with m_OnlineToReset set, m_DebugModel is cleared
// in memory only (the controls keep showing the stored state).
void MarkBasicDialogOpen(BasicSettings& s);
void CloseBasicDialog(BasicSettings& s);

// What OK does after the fields were taken.
// WriteFailed: config.ini was not written; memory holds the values and was re-derived.
enum class BasicOkOutcome { StayOpen, Saved, WriteFailed };
struct BasicOkPort {
    std::function<void(bool)> setPanelCalibrator2;  // the camera panel's copy
};
BasicOkPort& TheBasicOkPort();
// Type 4 with a Y offset of nozzles 2..4 not 0: all three become 0, stay open.
// Otherwise save to startFolder/config.ini, the limit pulses, the run's pulse
// copies and head offsets, the lens calibration, m_Calibrator2 and the panel's
// copy, the open flag cleared.
BasicOkOutcome ConfirmBasicSettings(BasicSettings& s, int machineType, const std::string& startFolder);

// ---- feeder operation worker (codes -1, -2, -3) ----

inline constexpr int kFeedOpReferenceHeight = -1;
inline constexpr int kFeedOpDippingHeight = -2;
inline constexpr int kFeedOpHeadToDipping = -3;

// The feeders' worker: `start` runs operation `code` in a worker thread that owns
// `claim` (the busy flag) until it ends. Unset: nothing can start.
// What a feeder-list entry hands the worker, copied by the starter: the code, the
// selected row's 30 cells, the measuring feeder's identifier (code 0) and a
// target in pulses the starter computed (the towbar on a drag-pin feeder).
struct FeedOperationRequest {
    int code = 0;
    std::vector<std::string> row;
    std::string measuringId;
    bool hasTarget = false;
    std::int32_t targetX = 0;
    std::int32_t targetY = 0;
};

struct FeedOperationPort {
    std::function<void(int code, BusyClaim claim)> start;
    std::function<void(FeedOperationRequest request, BusyClaim claim)> startRequest;
};
FeedOperationPort& TheFeedOperationPort();

// The guards of a machine action that lowers nothing: not connected, not homed,
// busy, then "Error E3 !" when a Z counter is away from zero; on success the busy
// flag is claimed for the caller.
BusyClaim ClaimHeadUpAction();
// Starts the feeder operation `code` behind those guards; false when refused or
// when no worker is installed.
bool StartFeedOperation(int code);

// A value measured by a worker for an edit box of a dialog: the dialog installs
// the writer while it is open; Post hands the text to the user-interface thread,
// which writes it only if a writer is installed when the task runs there.
class PostedFieldSink {
public:
    using Writer = std::function<void(const std::string&)>;
    void Install(Writer writer);
    void Remove() { Install({}); }
    void Post(const std::string& text);

private:
    std::shared_ptr<std::mutex> m_mutex = std::make_shared<std::mutex>();
    std::shared_ptr<Writer> m_writer = std::make_shared<Writer>();
};

// AutoZ: the reference height measurement.
bool StartReferenceMeasurement();

// The worker's end of the reference measurement: stores the height in
// m_Z_Measurement (0 too) and, when it is not 0, posts it to the user-interface
// thread, where it reaches the dialog's edit box only if the dialog is open then.
void StoreReferenceHeight(BasicSettings& s, double heightMm);
// The writer of the dialog's m_Z_Measurement box.
PostedFieldSink& ReferenceHeightSink();

} // namespace smt
