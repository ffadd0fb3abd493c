// The nozzle library's hand operations: the mark camera or a head to a holder or
// its entry, the head down to the entry height, take a holder's nozzle out, put
// the head's nozzle back. One at a time in a worker that holds the busy flag.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/globals.h"
#include "feeders/nozzle_library.h"
#include "link/busy.h"
#include "settings/speed_tables.h"

namespace smt {

enum class NozzleOperation : int {
    CameraToHolder = 0,
    HeadToHolder = 1,
    HeadToEntry = 2,
    DescendToEntry = 3,
    TakeOut = 4,
    PutBack = 5,
};

// Menu commands of the library's row menu.
namespace nozzle_cmd {
inline constexpr int CameraToHolder = 33283;
inline constexpr int HeadToHolder = 33053;
inline constexpr int HeadToEntry = 33055;
inline constexpr int DescendToEntry = 33056;
inline constexpr int ZHoming = 33057;
inline constexpr int TakeOut = 33058;
inline constexpr int PutBack = 33059;
inline constexpr int FullHoming = 33060;
} // namespace nozzle_cmd

// Where the worker's results go: every call is posted to the user-interface
// thread by the worker. Empty members are skipped.
struct NozzleOperationView {
    std::function<void(bool enabled)> enableDialog;
    std::function<void(int row, int image, const std::string& text)> setListRow;
    std::function<void(int head, const std::string& text)> showHeadNozzle;
};

// Everything the worker needs, taken on the user-interface thread when it starts.
struct NozzleOperationRequest {
    NozzleOperation operation = NozzleOperation::HeadToHolder;
    int row = 0;                  // selected library row
    NozzleRow cells;
    int headIndex = 0;            // 0 = head 1
    int machineType = 0;
    bool nineteenLibrary = false;
    bool serial = true;
    int delayMs = 0;
    std::int32_t zLimitPulses = 0;
    double xPulse = 0, yPulse = 0, zPulse = 0;
    std::array<double, 8> zToFeed{};
    PulsePoint cameraOffset;                        // camera from nozzle 1
    std::array<PulsePoint, 8> nozzleOffsets{};      // nozzle n from nozzle 1 (index n - 1)
    SpeedTypeTable speeds;                          // the automatic nozzle change's
    const DialogCaptions* texts = nullptr;          // the list's messages
};

// The request for `operation` from the live settings and the library's captions.
NozzleOperationRequest MakeNozzleRequest(NozzleOperation operation, int row, const NozzleRow& cells,
                                         int headIndex, std::int32_t zLimitPulses);

// The menu item's guards ("Machine is not connection !", "Machine is not
// reset !", "Machine is runnig !"), then the worker with the claim. false when
// refused.
bool StartNozzleOperation(const NozzleOperationRequest& request, NozzleOperationView view);

// The worker's body; the claim is released when it returns (tests call it
// directly on their own thread).
void NozzleLibraryThread(const NozzleOperationRequest& request, const NozzleOperationView& view);

} // namespace smt
