// The machine's three industrial cameras (mark camera, vision cameras 1 and 2):
// one grab thread each, the fly-frame thread of vision camera 1, the result
// display thread, and the hand-off of single frames to whoever asks for one.
// Plain C++: finished images leave through hooks, which the camera panel turns
// into posts to the user-interface thread.
//
// Hand-off: a consumer resets the camera's ready event, asks for a frame
// (PlayCamera adds one request), waits on the event and takes the slot. Slots
// hold counted images under a lock, so a frame taken stays valid however often
// the slot is replaced afterwards. GrabFrame runs the whole protocol with a bound.
// A request is served only by a frame whose exposure began after it: a frame
// taken before it (still on its way from the device, or held by a slow grab
// thread) shows the machine where it was before the caller's last move.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <opencv2/core.hpp>

#include "platform/camera_sdk.h"
#include "platform/event.h"

namespace smt {

enum CameraIndex : int { kMarkCamera = 0, kVisionCamera1 = 1, kVisionCamera2 = 2 };
constexpr int kSdkCameraCount = 3;
constexpr int kFlyRingSize = 12;
// The longest a consumer waits for a requested frame (a few grab time-outs).
constexpr std::chrono::milliseconds kFrameWaitLimit{2500};

// 1 industrial cameras with grab threads, 0 ordinary video cameras, other: none.
extern std::atomic<int> g_HighSpeedCamera;
extern std::atomic<bool> g_MarkCameraOn, g_VisualCamera1On, g_VisualCamera2On, g_FlyCameraOn;
extern std::atomic<int> g_CurrentCamera;  // CameraIndex
extern std::atomic<int> g_FlyFrameCount;  // fly frames of the current pass
// Frames a flying pass expects (one per head); set by the run before the pass.
extern std::atomic<int> g_HeadCount;

// The SDK flag of a camera (g_MarkCameraOn, g_VisualCamera1On, g_VisualCamera2On).
bool CameraSdkFlag(int camera);
// "Mark_Camera", "Visual_Camera_1", "Visual_Camera_2"; "" for any other index.
const char* CameraFriendlyName(int camera);

// A processed frame as an image over its buffer (no copy; valid while the buffer is).
cv::Mat FrameView(const std::uint8_t* pixels, const plat::CameraFrameHead& head);

class CameraService {
public:
    struct Hooks {
        // A requested frame diverted to the vision test (the grab thread's own thread).
        std::function<void(int camera, const cv::Mat& frame)> visionTest;
        // A frame for the live view (only the selected camera's, never a handed-off one).
        std::function<void(int camera, const cv::Mat& frame)> liveFrame;
        // A fly frame: the test while m_FlyTestRequest is set, else the run's measurement.
        std::function<void(int nozzle, const cv::Mat& frame)> flyTest;
        std::function<void(int nozzle, const cv::Mat& frame)> flyMeasure;
        // A recogniser's result image for window `slot` (display thread).
        std::function<void(int slot, const cv::Mat& image)> showResult;
        // Start-up failures; empty: an always-on-top message box.
        std::function<void(const std::string& text)> message;
    };

    CameraService();
    ~CameraService();
    CameraService(const CameraService&) = delete;
    CameraService& operator=(const CameraService&) = delete;

    Hooks& hooks() { return m_hooks; }

    // Opens the devices and matches them to the three cameras by their names,
    // then starts a grab thread for every matched camera whose SDK flag is set,
    // the fly thread with vision camera 1 and the display thread. false with a
    // message when no device answers or one fails to open.
    bool InitCameras(int language = 1);
    // Starts only the result display thread (ordinary-camera mode).
    void StartDisplay();
    // Stops and joins every thread and closes the devices.
    void Shutdown();

    bool PlayCamera(int camera);
    bool PauseCamera(int camera);
    bool IsCameraPresent(int camera) const;
    bool SwitchToCamera(int camera, int triggerMode);
    int TriggerMode(int camera) const;
    bool SetTriggerMode(int camera, int mode);
    plat::CameraHandle Handle(int camera) const;
    plat::CameraFrameHead LastHead(int camera) const;
    // The camera gives no picture: it has a device and plays continuously, yet no
    // frame came within the frame bound since it was last asked to play (the live
    // view then shows a picture that no longer changes). Triggered vision camera 1
    // waits for its triggers and is never stale.
    bool PictureStale(int camera) const;

    plat::Event& FrameReady(int camera) { return *m_ready[Clamp(camera)]; }
    // The slot's current image (empty when none was handed off yet).
    cv::Mat TakeSlot(int camera) const;
    int PendingRequests(int camera) const { return m_requests[Clamp(camera)].load(); }
    // One frame of `camera` by the protocol; nullopt when none came within `limit`.
    std::optional<cv::Mat> GrabFrame(int camera, std::chrono::milliseconds limit = kFrameWaitLimit);

    // Diverts the camera's next requested frame to the vision test; refused
    // (false) when the camera has no device.
    bool RequestVisionTest(int camera);

    std::atomic<bool> m_FlyTestRequest{false};
    plat::Event m_hFlyDoneEvent{false, false};

    // A grab thread's work on one frame taken in `triggerMode` (-1: the current),
    // whose exposure began at `exposedNs` (steady-clock nanoseconds; 0: just now).
    // A frame that does not own its pixels (a view of the grab buffer) is copied
    // where it is kept or handed on; most frames are neither, and cost nothing.
    void OnFrame(int camera, const cv::Mat& frame, int triggerMode = -1, std::uint64_t exposedNs = 0);

private:
    static int Clamp(int camera) { return camera < 0 || camera >= kSdkCameraCount ? 0 : camera; }
    void Message(const std::string& text);
    // One grab loop serves the three cameras; each thread is started by its name.
    void GrabThread(int camera);
    void MarkCameraGrabThread() { GrabThread(kMarkCamera); }
    void VisualCamera1GrabThread() { GrabThread(kVisionCamera1); }
    void VisualCamera2GrabThread() { GrabThread(kVisionCamera2); }
    void FlyCameraFrameThread();
    void VisionResultDisplayThread();
    // Opens the device of the camera's name again after its source went away and
    // came back (the machine's cameras restarted): the new handle takes the old
    // one's place, mode and stream. false while no working device of that name answers.
    bool ReopenCamera(int camera);
    void NotePlay(int camera);

    Hooks m_hooks;
    std::atomic<bool> m_Stop{false};
    // 0: no device. A grab thread replaces its camera's handle when it reopens it.
    std::array<std::atomic<plat::CameraHandle>, kSdkCameraCount> m_handles{};
    // When each camera last gave a frame and was last asked to play (steady-clock ns).
    std::array<std::atomic<std::uint64_t>, kSdkCameraCount> m_frameNs{}, m_playNs{};
    std::array<std::atomic<int>, kSdkCameraCount> m_triggerMode{};
    std::atomic<int> m_modeGeneration{0};  // counts trigger-mode changes
    std::array<std::atomic<int>, kSdkCameraCount> m_requests{};
    // When the newest request was made (steady-clock nanoseconds).
    std::array<std::atomic<std::uint64_t>, kSdkCameraCount> m_requestNs{};
    std::array<std::atomic<bool>, kSdkCameraCount> m_visionTestRequest{};
    std::array<std::unique_ptr<plat::Event>, kSdkCameraCount> m_ready;
    mutable std::mutex m_slotMutex;
    std::array<cv::Mat, kSdkCameraCount> m_slots;
    std::array<plat::CameraFrameHead, kSdkCameraCount> m_heads{};
    std::mutex m_handleMutex;  // m_allHandles: grab threads swap theirs
    std::vector<plat::CameraHandle> m_allHandles;
    // Vision camera 1's triggered frames on their way to the fly thread.
    std::mutex m_ringMutex;
    std::array<cv::Mat, kFlyRingSize> m_ring;
    int m_ringWrite = 0;
    int m_FlyReadIndex = 0;
    std::vector<std::thread> m_threads;
};

CameraService& TheCameraService();

} // namespace smt
