// Ordinary video cameras: the live view of the DirectShow camera mode and of every
// camera without an industrial device. A frame is 8-bit, 3-channel (BGR), top row
// first. The simulated machine's published video cameras are listed in place of
// the machine's V4L2 devices when it has any.
#pragma once

#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <opencv2/core.hpp>

namespace smt {

// Where the samples come from: a V4L2 device through OpenCV, a published
// simulated camera, or a test's own.
class VideoSampleSource {
public:
    virtual ~VideoSampleSource() = default;
    // Opens device `index` asking for width x height; false when it cannot give it.
    virtual bool Open(int index, int width, int height) = 0;
    // One sample; may block for as long as the device is silent.
    virtual bool Read(cv::Mat* sample) = 0;
    virtual void Close() = 0;
    // When the exposure of the last sample read began: steady-clock nanoseconds,
    // 0 unknown (the start of the read that gave it then stands in for it).
    virtual std::uint64_t ExposedNs() const { return 0; }
    // How many samples the device may hold captured before a read begins (its
    // buffer queue), which a read then hands over at once; 0 when each read waits
    // for a capture of its own.
    virtual int QueuedSamples() const { return 0; }
};

// The devices and the source that opens them; tests install their own.
struct VideoSourcePort {
    std::function<int()> count;
    std::function<std::unique_ptr<VideoSampleSource>()> make;
};
VideoSourcePort& TheVideoSourcePort();  // empty members: the default (simulated, else V4L2)
// The default devices and source (simulated cameras when configured, else V4L2).
int DefaultVideoSourceCount();
std::unique_ptr<VideoSampleSource> DefaultVideoSource();

class CCameraDS {
public:
    CCameraDS();
    virtual ~CCameraDS();
    CCameraDS(const CCameraDS&) = delete;
    CCameraDS& operator=(const CCameraDS&) = delete;

    static int CameraCount();
    bool OpenCamera(int index);
    // A frame exposed after the call began (valid until the next query or close),
    // or null when the camera is closed or no such sample came within kQueryLimit.
    // Older samples (in flight, or queued in the device) are passed over, as the
    // industrial cameras' requests do: a query right after a move sees the move.
    cv::Mat* QueryFrame();
    void CloseCamera();

    bool IsConnected() const { return m_bConnected; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr std::chrono::milliseconds kQueryLimit{1000};

private:
    struct Reader;
    cv::Mat m_pFrame;
    bool m_bConnected = false;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nBufferSize = 0;
    std::shared_ptr<Reader> m_reader;
};

// The panel's factory: an opened camera, or null.
std::unique_ptr<CCameraDS> CreateCameraDS(int index);

} // namespace smt
