// The feeder operation worker: every manual feeder, nozzle and camera test, the
// height measurements of the basic settings and the dipping station, and the
// automatic-feeder request, one operation per worker thread. The starter claims
// the busy flag and hands the claim over with the request; the worker works on
// that copy only, posts whatever it shows to the user-interface thread and
// releases the claim on every path.
#pragma once

#include <atomic>
#include <functional>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/globals.h"
#include "link/busy.h"
#include "link/command_frames.h"
#include "machine_ops/basic_teach.h"

namespace smt {

// Codes beside the settings' -1, -2, -3.
inline constexpr int kFeedOpAutoFeed = -4;
inline constexpr int kFeedOpMeasurePick = 0;
inline constexpr int kFeedOpCameraToFeeder = 9, kFeedOpCameraToHole = 10, kFeedOpTowbar = 11;
inline constexpr int kFeedOpFeedTest = 12;
// The feed coordinate (mm): the walk position, or the drag length of a drag pin.
inline constexpr std::size_t kFeedCoordinateCell = 17;

// Texts of the feeder list the worker may show, taken on the starter's thread.
struct FeedOperationTexts {
    std::string message07 = "料架送料坐标数据越限 !";  // FeedList.c_Message_07
    std::string message20 = "没有找到料架组 !";          // PartList.c_Message_20
};

struct FeedOperationJob {
    FeedOperationRequest request;
    FeedOperationTexts texts;
};

// Runs the job on the calling thread (the worker's body); the claim is released
// when it returns.
void FeedOperationThread(const FeedOperationJob& job, BusyClaim claim);
// Starts the worker thread with the job and the claim.
void StartFeedOperationThread(FeedOperationJob job, BusyClaim claim);
// Fills TheFeedOperationPort(): codes alone (the settings) and whole requests (the
// feeder list and editor); `texts` is asked on the starter's thread (empty: the
// built-in texts).
void InstallFeedOperationWorker(std::function<FeedOperationTexts()> texts = {});

// The feeder editor's single-feed flag: the next feed test feeds once; cleared
// as soon as a feed test has read it.
std::atomic<bool>& SingleFeedFlag();

// ---- the pieces, for the worker and its tests ----

// The X/Y target of codes -3 .. 8: the row's feeder X/Y (cells 4, 5) for codes 0
// to 8, less the measuring head's or nozzle n's offset; -3 and -2 the dipping station.
PulsePoint FeederTarget(int code, const std::vector<std::string>& row);
// The mark camera over the feeder (9) or over the drag-pin hole (10, a drag-pin
// feeder only: nullopt otherwise).
std::optional<PulsePoint> CameraTarget(int code, const std::vector<std::string>& row);

// Which positions lie in a detour corner.
struct DetourZones {
    bool current = false, target = false;
};
DetourZones FindDetourZones(PulsePoint target);
// The corner step: Y alone out of a corner, then the full move into one; false when refused.
bool MoveThroughDetourZones(const DetourZones& zones, PulsePoint target);
// The common X/Y move: type 4 keeps Y (when asked), the corner test, the speed
// gear 0 on the serial link, the corner step and the final move (flags 0x80).
bool MoveToTarget(PulsePoint target, bool keepYOnTypeFour = true);
// Codes -3 .. 8: the common move to FeederTarget; false when a move was refused.
bool MoveToFeederTarget(int code, const std::vector<std::string>& row);

// The measuring head of code 0 from cell 10, limited by the machine type.
int MeasuringHead(int cell10, int machineType);
struct HeightResult {
    bool answered = false;  // a reply came
    bool measured = false;  // and the board measured
    double mm = 0;          // rounded to 4 decimals, head offset added
};
HeightResult MeasureHeightWithHead(int head);

// The pick stroke of the pick-to-camera test of head n (1..8) at depth p mm.
PickStrokeArgs PickToCameraStroke(int machineType, int head, double pickMm, const std::vector<std::string>& row);
// The automatic-feeder request (drive 10) on the serial link or on Ethernet.
FeederFeed AutoFeedRequest(bool serial);
// Code -4: sends the automatic-feeder request of the current link and waits for
// its reply.
void AutoFeedSequence();

// A feeder bank by the first letter of a feeder ID: W, N, E (with walk and lift
// drives), S, G (tray); nullopt for any other letter.
struct FeederBank {
    char letter = 0;
    int code = 0;  // 1 W, 2 N, 3 E, 4 S, 13 G
    int channel = 0, walkAxis = 0, liftAxis = 0, index = 0;  // index: walk counter 0..2
    int walkDrive = 0, liftDrive = 0;                        // speed table drives
    double walkFactor = 0, liftFactor = 0, limit = 0;
    bool HasWalk() const { return code >= 1 && code <= 3; }
    // West and east [limit, 0], north [0, limit].
    bool InWalkRange(double c) const;
};
std::optional<FeederBank> BankOf(const std::string& id);

// Code 12: one feed of the row's feeder as a run would make it.
void FeedTestSequence(const std::vector<std::string>& row, const FeedOperationTexts& texts);

} // namespace smt
