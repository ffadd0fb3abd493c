// The feeder editor's machine actions without its widgets: the read-backs of the
// counters into the form, the head and drag-feeder jogs, "To=Z", the walk to the
// feed coordinate, the camera to the feeder and the vacuum test. The editor calls
// these with its fields and shows what they return.
#pragma once

#include <optional>
#include <string>

#include "base/globals.h"

namespace smt {

// Read-backs (the "%0.4f" text moved 0.0001 away from zero).
enum class ReadBack { X, Y, CameraX, CameraY };
std::string ReadBackText(ReadBack which);
// "L": the walk counter of the feeder's bank in mm; "0.0000" for south, tray or none.
std::string ReadBackFeedCoordinate(const std::string& feederId);
// Combo 1044: the head's (0..3) Z counter in mm when below zero, else 0; nullopt
// for selections 4..7 (nothing is read back).
std::optional<std::string> ReadBackHeadHeight(int selection);

// One jog as JogAxis takes it.
struct EditorJog {
    int axis = 0;
    int direction = 0;
    bool exact = false;       // an exact move of `pulses`, else the gear step held
    std::int32_t pulses = 0;
    int outputOff = 0;        // bank output switched off first (a walk); 0 none
    bool operator==(const EditorJog&) const = default;
};
// "Z↑" / "Z↓" of head selection s (0..7): on type 7 the head's own Z (0x20 + s),
// up is direction 1 for every head; elsewhere the rocker axis of the pair, the
// second head of a pair turned round. nullopt where the type has no such head.
std::optional<EditorJog> HeadJog(int machineType, int selection, bool up);
// "To=Z": the head to the pick height (mm); nullopt when the height is above zero
// or the head is missing.
std::optional<EditorJog> HeadToHeight(int machineType, int selection, double pickHeightMm);
// "Lx+", "Lx-", "Ly+", "Ly-" (1247, 1245, 1250, 1253) on the form's bank; nullopt
// for south, tray or another button.
std::optional<EditorJog> DragDrive(int button, const std::string& feederId);

// "<¤>": the bank's walk to the feed coordinate behind the connected, homed and
// idle guards, in a worker holding the claim. false when refused; `outOfRange`
// is shown when c lies outside the bank's walk range (nothing moves).
bool StartWalkToFeedCoordinate(const std::string& feederId, double c, const std::string& outOfRange);
// "相机到达位置": the mark camera over the pick X/Y of the form (the target
// computed here, moved to by the worker's code 9); false when refused.
bool StartCameraToFeeder(double pickX, double pickY);
// "T": the vacuum of nozzle selection + 1 (types 0..6, selections 0..3) read
// behind the connected and idle guards, the claim held while it reads.
bool StartVacuumTest(int machineType, int selection);

} // namespace smt
