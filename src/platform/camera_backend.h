// What stands behind the industrial camera operations: a back end that lists the
// devices and opens one, and the opened device. The program's default back end
// reads the simulated machine's cameras across processes (camera_channel.h); tests
// may install devices of their own process. Frames are plain 8-bit buffers, top row
// first, channels interleaved (3 = BGR).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

// Status of every camera operation: 0 success, negative an error
// (CameraGetErrorString gives its text).
enum CameraStatus : int {
    kCameraOk = 0,
    kCameraFailed = -1,
    kCameraNotSupported = -3,
    kCameraBadParameter = -4,
    kCameraBadHandle = -6,
    kCameraNoDevice = -16,
    kCameraDeviceBusy = -18,
    kCameraTimeout = -12,
    kCameraDisconnected = -37,
    kCameraNotInitialised = -5,
};

struct CameraFrame {
    int width = 0;
    int height = 0;
    int channels = 3;                 // 1 mono, 3 BGR
    std::uint64_t seq = 0;            // 1, 2, ... per device
    bool triggered = false;           // taken by a trigger input, not by the free-running stream
    // When the exposure began: steady-clock (CLOCK_MONOTONIC) nanoseconds, one clock
    // for every process of the machine; 0 unknown.
    std::uint64_t exposedNs = 0;
    std::vector<std::uint8_t> pixels; // width * height * channels
};
using CameraFramePtr = std::shared_ptr<const CameraFrame>;

// A stream hands out frames of one size many times a second: the pixel buffers of
// released frames are kept for the next ones, so a stream does not map and clear
// fresh memory for every frame. Frames may be released on any thread, also after
// the pool itself is gone.
class CameraFramePool {
public:
    // A frame whose pixels hold `bytes` bytes, of no particular content.
    std::shared_ptr<CameraFrame> Take(std::size_t bytes) {
        std::vector<std::uint8_t> pixels;
        {
            std::lock_guard lock(m_spares->mutex);
            for (auto it = m_spares->buffers.begin(); it != m_spares->buffers.end(); ++it)
                if (it->capacity() >= bytes) {
                    pixels = std::move(*it);
                    m_spares->buffers.erase(it);
                    break;
                }
        }
        pixels.resize(bytes);
        auto* frame = new CameraFrame;
        frame->pixels = std::move(pixels);
        return std::shared_ptr<CameraFrame>(frame, [spares = m_spares](CameraFrame* f) {
            {
                std::lock_guard lock(spares->mutex);
                if (spares->buffers.size() < kKept) spares->buffers.push_back(std::move(f->pixels));
            }
            delete f;
        });
    }

private:
    static constexpr std::size_t kKept = 2;
    struct Spares {
        std::mutex mutex;
        std::vector<std::vector<std::uint8_t>> buffers;
    };
    std::shared_ptr<Spares> m_spares = std::make_shared<Spares>();
};

struct CameraDeviceDesc {
    std::string friendlyName;
    std::string productName;
    int maxWidth = 0;
    int maxHeight = 0;
    bool mono = false;
};

struct CameraFrameStatistic {
    int total = 0;     // frames the sensor exposed
    int captured = 0;  // frames that reached the host
    int lost = 0;      // frames lost on the way
};

// One opened device. Every member is safe from any thread while another waits in
// WaitFrame.
class CameraDevice {
public:
    virtual ~CameraDevice() = default;
    virtual int Play() = 0;
    virtual int Pause() = 0;
    virtual int SetTriggerMode(int mode) = 0;  // 0 continuous, 1 software, 2 hardware
    // The newest frame whose seq is above `after` (and not from before the last
    // pause); waits at most `limit`, ends early on plat::CancelAllWaits.
    virtual int WaitFrame(std::uint64_t after, std::chrono::milliseconds limit, CameraFramePtr* out) = 0;
    // One frame taken now, whatever the stream does.
    virtual int Snap(std::chrono::milliseconds limit, CameraFramePtr* out) = 0;
    virtual int Statistic(CameraFrameStatistic* out) = 0;
};

class CameraBackend {
public:
    virtual ~CameraBackend() = default;
    // Status, and the devices in their order.
    virtual int Enumerate(std::vector<CameraDeviceDesc>* out) = 0;
    virtual int Open(int index, std::shared_ptr<CameraDevice>* out) = 0;
};

// The back end the operations use; null puts the default (the simulated machine's
// published cameras) back. Install before CameraSdkInit.
void SetCameraBackend(std::shared_ptr<CameraBackend> backend);
std::shared_ptr<CameraBackend> CurrentCameraBackend();

} // namespace plat
