// Cameras across processes: the simulated machine publishes its cameras in the
// folder of its serial port ($SMT_SERIAL_DIR), the program reads them from there.
//
// The folder holds "sim-cameras", naming a shared-memory bus (devices, their
// names and faults, whether the publisher lives). Each device has a shared-memory
// ring of frames written under a per-slot sequence lock, its statistics, and a
// one-request mailbox (play, pause, trigger mode, snap) that the publisher answers.
// Waits sleep on futexes in slices, so a publisher that stops or dies ends them
// within a slice and plat::CancelAllWaits ends them as well.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/camera_backend.h"

namespace plat {

inline constexpr const char* kCameraIndexFile = "sim-cameras";

enum class CameraKind { Industrial = 1, Video = 2 };

enum class CameraRequest { Play = 1, Pause = 2, TriggerMode = 3, Snap = 4 };

// The default back end: the industrial cameras published in $SMT_SERIAL_DIR.
std::shared_ptr<CameraBackend> CameraChannelBackend();

// Ordinary video cameras published there (empty when none or no publisher).
std::vector<CameraDeviceDesc> ListChannelVideoCameras();
std::shared_ptr<CameraDevice> OpenChannelVideoCamera(int index);

// The publishing side (the simulated machine).
class CameraChannelPublisher {
public:
    struct Device {
        std::string name;
        std::string product;
        CameraKind kind = CameraKind::Industrial;
        int maxWidth = 0, maxHeight = 0;
        bool mono = false;
    };
    // Answers one request of device `device`; returns its status.
    using Handler = std::function<int(int device, CameraRequest request, int argument)>;

    CameraChannelPublisher();
    ~CameraChannelPublisher();  // Close()
    CameraChannelPublisher(const CameraChannelPublisher&) = delete;
    CameraChannelPublisher& operator=(const CameraChannelPublisher&) = delete;

    bool Open(const std::string& folder, const std::vector<Device>& devices, std::string* error);
    // Marks the publisher gone (every waiter ends), removes the shared memory and
    // the index file.
    void Close();
    bool IsOpen() const;

    void Publish(int device, const CameraFrame& frame);
    void SetStatistic(int device, const CameraFrameStatistic& s);
    void SetPauseSeq(int device, std::uint64_t seq);  // frames up to seq are stale
    void SetDisconnected(int device, bool on);
    void SetEnumerateStatus(int status);
    void SetInitStatus(int device, int status);
    void SetName(int device, const std::string& name);

    // Waits up to `limit` for requests and answers every one pending.
    void ServeRequests(const Handler& handler, std::chrono::milliseconds limit);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace plat
