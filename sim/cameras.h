// The simulated cameras: industrial cameras that stream about 25 frames per second,
// serve the newest frame, take one frame per hardware trigger in trigger mode 2,
// count their frames and fail on demand; and ordinary video cameras that always
// stream. Frames come from a FrameSource (a still scene until the world supplies
// one). The set is reached in-process (CameraSet::Backend) or across processes
// through the shared-memory channel in the serial folder.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>

#include "platform/camera_backend.h"
#include "platform/camera_channel.h"

namespace sim {

// Which view a camera has of the machine.
// Switched: the ordinary video camera behind the machine's camera switch, showing
// the camera the last 0x04 selected (1 mark, 2 vision 1, 3 vision 2; the mark camera
// before any). Synchronous: machine type 5's second up-looking camera, which sees
// head 2 while head 1 stands over vision camera 1.
enum class CameraRole { Mark = 0, Vision1 = 1, Vision2 = 2, Switched = 3, Synchronous = 4 };

inline constexpr const char* kMarkCameraName = "Mark_Camera";
inline constexpr const char* kVision1CameraName = "Visual_Camera_1";
inline constexpr const char* kVision2CameraName = "Visual_Camera_2";

struct CameraSpec {
    std::string name;
    CameraRole role = CameraRole::Mark;
    int width = 1280, height = 1024;  // also the capability's maximum
    bool mono = false;
    bool video = false;               // an ordinary video camera (always streams)
};

// Draws the frame a camera sees now. Called on the camera's own thread;
// `triggered` when a trigger input took it (a free-running or snapped frame is not).
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual cv::Mat Render(CameraRole role, int width, int height, int channels, std::uint64_t frameNo,
                           bool triggered = false) = 0;
};

// A fixed scene: a mark disc on the mark camera, a part of `visionType` on the
// vision cameras; each size drawn once.
class StillScene : public FrameSource {
public:
    void SetPart(int visionType);
    void SetMarkDiameter(double mm);
    cv::Mat Render(CameraRole role, int width, int height, int channels, std::uint64_t frameNo,
                   bool triggered = false) override;

private:
    std::mutex m_mutex;
    int m_visionType = 1;
    double m_markMm = 1.0;
    std::vector<std::pair<std::string, cv::Mat>> m_cache;
};

class SimCamera : public plat::CameraDevice {
public:
    SimCamera(CameraSpec spec, std::shared_ptr<FrameSource> source);
    ~SimCamera() override;  // stops its thread

    int Play() override;
    int Pause() override;
    int SetTriggerMode(int mode) override;
    int WaitFrame(std::uint64_t after, std::chrono::milliseconds limit, plat::CameraFramePtr* out) override;
    int Snap(std::chrono::milliseconds limit, plat::CameraFramePtr* out) override;
    int Statistic(plat::CameraFrameStatistic* out) override;

    // The hardware trigger input: one frame in trigger mode 2 while playing.
    void Trigger();
    const CameraSpec& Spec() const { return m_spec; }
    int TriggerMode() const;
    bool Playing() const;

    // Faults.
    void SetDisconnected(bool on);
    bool Disconnected() const;
    void SetFrameSize(int width, int height);  // clipped to the maximum
    // The device's own image (maximum size and channels); before it is published.
    void SetFormat(int width, int height, bool mono);
    void DropFrames(int count);                // the next frames are lost
    // Every frame comes this much later: a free-running frame arrives `ms` after its
    // exposure (the stream keeps its rate), a trigger is answered `ms` late.
    void SetSlowMs(int ms);
    void SetSource(std::shared_ptr<FrameSource> source);

    // Called on the camera thread for every frame delivered, and on state changes.
    struct Listener {
        std::function<void(const plat::CameraFrame&)> frame;
        std::function<void()> state;
    };
    void SetListener(Listener l);
    std::uint64_t PauseSeq() const;

    static constexpr int kFramePeriodMs = 40;

private:
    void Loop();
    void Produce(std::unique_lock<std::mutex>& lock, bool triggered = false);
    void Deliver(std::unique_lock<std::mutex>& lock, std::shared_ptr<plat::CameraFrame> frame);

    CameraSpec m_spec;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::shared_ptr<FrameSource> m_source;
    bool m_stop = false, m_playing = false, m_disconnected = false;
    int m_mode = 0, m_triggers = 0, m_snaps = 0, m_drop = 0, m_slowMs = 0;
    int m_width, m_height;
    std::uint64_t m_seq = 0, m_pauseSeq = 0;
    plat::CameraFramePtr m_latest;
    plat::CameraFramePool m_frames;  // thread-safe: taken from outside the lock
    // Free-running frames exposed but not yet arrived (a slow camera), by arrival.
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::shared_ptr<plat::CameraFrame>>> m_inFlight;
    std::chrono::steady_clock::time_point m_nextTriggered{};  // the earliest next triggered exposure
    plat::CameraFrameStatistic m_stat;
    Listener m_listener;
    std::thread m_thread;
};

// The cameras of one simulated machine.
class CameraSet {
public:
    // The three industrial cameras (mark, vision 1, vision 2; colour, 1280 x 1024)
    // and `videoCount` ordinary 640 x 480 cameras.
    static std::vector<CameraSpec> DefaultSpecs(int videoCount, int machineType = 0);
    // Parses "NAME[:WxH][:mono],..." (empty: the three default cameras).
    static bool ParseSpecs(const std::string& text, std::vector<CameraSpec>* out);

    explicit CameraSet(std::vector<CameraSpec> specs, std::shared_ptr<FrameSource> source = nullptr);
    ~CameraSet();

    // Publishes the cameras in `folder` and answers the program's requests there.
    bool Publish(const std::string& folder, std::string* error);
    void Unpublish();

    // The industrial cameras as a back end of the camera operations (in-process).
    std::shared_ptr<plat::CameraBackend> Backend();

    SimCamera* Camera(int i);              // every device in order; null outside
    SimCamera* ByRole(CameraRole role);    // the industrial camera of that role
    int Count() const { return static_cast<int>(m_cameras.size()); }
    void SetSource(std::shared_ptr<FrameSource> source);
    StillScene& Still() { return *m_still; }

    // Faults that concern the whole set.
    void SetEnumerateStatus(int status);
    int EnumerateStatus() const { return m_enumStatus; }
    void SetInitStatus(int device, int status);
    int InitStatus(int device) const;
    void SetName(int device, const std::string& name);
    // The image of the industrial camera of a role, before the set is published.
    void SetFormat(CameraRole role, int width, int height, bool mono);

    // "camera ..." lines of the control channel.
    std::string Command(const std::vector<std::string>& words);
    static std::string Help();

private:
    std::vector<CameraSpec> m_specs;
    std::shared_ptr<StillScene> m_still;
    std::vector<std::shared_ptr<SimCamera>> m_cameras;
    mutable std::mutex m_mutex;
    int m_enumStatus = 0;
    std::vector<int> m_initStatus;
    plat::CameraChannelPublisher m_publisher;
    std::atomic<bool> m_serving{false};
    std::thread m_server;
};

} // namespace sim
