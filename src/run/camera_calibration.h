// The camera calibration procedures the camera management dialog starts: the
// standard piece (a disc at a known place) carried by a nozzle to a vision camera
// and back, and what is measured with it: the vision camera's scale and position,
// the mark camera's offset from nozzle 1, the other nozzles' offsets and the fly-over
// trigger positions of the heads.
//
// Each procedure runs on a worker of its own that holds the busy claim of the
// dialog that started it and releases it on every path. Results go to the camera
// table (cells and records, under its lock), to the basic settings in memory (the
// mark camera's offset is saved at once) and to the pulse copies of the offsets;
// the open dialog is told through TheCameraCalibrationView(), posted to the
// user-interface thread. A repeating procedure ends at its stop rule, at a failed
// move, or when the dialog's "退出" clears `m_bFlyTestRunning`.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "link/busy.h"

namespace smt {

struct BasicSettings;

// The operations of the dialog's row menu, by the code it stores.
enum CameraOperation : int {
    kNozzleToBase = 0,       // "吸嘴到标准片"
    kCameraToBase = 1,       // "相机到标准片"
    kPickBaseToCamera = 2,   // "取标准片到相机"
    kPlaceBase = 3,          // "放回标准片位置"
    kScaleCorrect = 4,       // "相机比例校准"
    kPositionCorrect = 5,    // "相机位置校准"
    kMarkCameraCorrect = 6,  // "Mark相机位置校准"
    kNozzleCorrect = 7,      // "吸嘴位置校准"
    kFlyTest = 8,            // "相机飞行测试"
    kFlyCorrect = 9,         // "相机飞行校准"
};

// The drives of head k (1..8): its Z axis code and the sign of its strokes there,
// and its rotation axis code (none for heads 5 to 8 on types 0 to 6 and for every
// head on types 8 and 9).
struct HeadDrives {
    std::uint8_t zAxis = 2;
    int zSign = 1;
    std::optional<std::uint8_t> rotationAxis;
};
HeadDrives HeadDrivesOf(int machineType, int head);

// The standard piece's height for head k in Z pulses: (base Z + Zk - Z1) x Z
// pulses per mm, truncated (head 1: base Z alone), Zk being head k's height of
// m_Z_Nozzle1ToFeed .. m_Z_Nozzle8ToFeed.
std::int32_t StandardPieceHeight(int head, double baseZ, const BasicSettings& basic, double zPulsesPerMm);
// The stroke that reaches it: the height's size with the head's sign, so the
// stroke lowers head k itself whichever way the heights are written.
std::int32_t StandardPieceStroke(int machineType, int head, std::int32_t height);

// A measured width W is the standard piece's diameter d when 0.99 d < W < 1.01 d.
bool ScaleAccepted(double width, double diameter);

// The centre of the four position samples (mm): the middle of the range they span.
// nullopt when any of them failed (nothing is changed then).
struct MmPoint {
    double x = 0, y = 0;
};
std::optional<MmPoint> SampleCentre(const std::array<std::optional<MmPoint>, 4>& samples);

// The fly-over trigger of head k: its base B_k (the trigger that puts head k over the
// camera with no advance: off2 for head 1, 2 x off2 for head 2, off_k + off2 for
// heads 3 to 8; off_k = head k's X offset from nozzle 1 in pulses) and the window a
// trigger T is accepted in: B_k <= T and T + 130 <= B_k + off2.
std::int32_t TriggerBase(int head, const std::array<std::int32_t, 8>& nozzleOffsetX);
bool TriggerAccepted(std::int32_t trigger, std::int32_t base, std::int32_t off2);

// What the worker takes from the user-interface thread when it starts.
struct CalibrationContext {
    std::string noRotationAxis;  // CameraList.c_Message_04, "%d" the head
    std::string configPath;      // config.ini of the start folder (the mark camera's offset)
    std::string oneNozzle;       // CameraList.c_Message_05: no nozzle but the first to calibrate
};

// Starts the operation `op` on a worker that holds `claim` (the dialog's busy
// claim) until it ends. Called on the user-interface thread.
void StartCameraOperation(int op, BusyClaim claim, CalibrationContext context);
// Starts the dialog's fly test ("飞行测试"): the trigger loop of head 1.
void StartFlyTest(BusyClaim claim);

// The workers' bodies, on the caller's thread (the caller holds the busy flag):
// the operation stored in the camera table's m_CameraOperation on its row
// m_SelectedRow; and the fly test.
void CameraCalibrationThread(const CalibrationContext& context);
void FlyTestCountThread();

} // namespace smt
