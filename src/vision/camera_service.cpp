#include "vision/camera_service.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/msgbox.h"
#include "platform/threads.h"
#include "vision/result_slots.h"

namespace smt {

std::atomic<int> g_HighSpeedCamera{0};
std::atomic<bool> g_MarkCameraOn{false}, g_VisualCamera1On{false}, g_VisualCamera2On{false}, g_FlyCameraOn{false};
std::atomic<int> g_CurrentCamera{0};
std::atomic<int> g_FlyFrameCount{0};
std::atomic<int> g_HeadCount{1};

bool CameraSdkFlag(int camera) {
    switch (camera) {
    case kMarkCamera: return g_MarkCameraOn;
    case kVisionCamera1: return g_VisualCamera1On;
    case kVisionCamera2: return g_VisualCamera2On;
    default: return false;
    }
}

const char* CameraFriendlyName(int camera) {
    static const char* const names[] = {"Mark_Camera", "Visual_Camera_1", "Visual_Camera_2"};
    return camera >= 0 && camera < kSdkCameraCount ? names[camera] : "";
}

cv::Mat FrameView(const std::uint8_t* pixels, const plat::CameraFrameHead& head) {
    const int type = head.mediaType == plat::kCameraMediaMono8 ? CV_8UC1 : CV_8UC3;
    if (!pixels || head.width <= 0 || head.height <= 0) return {};
    return cv::Mat(head.height, head.width, type, const_cast<std::uint8_t*>(pixels));
}

namespace {
std::uint64_t SteadyNs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// What a handle gives when its source went away: the device disconnected, or the
// handle no longer known.
bool SourceGone(int status) { return status == plat::kCameraDisconnected || status == plat::kCameraBadHandle; }
} // namespace

CameraService::CameraService() {
    for (auto& e : m_ready) e = std::make_unique<plat::Event>(false, false);
}

CameraService::~CameraService() { Shutdown(); }

CameraService& TheCameraService() {
    static CameraService service;
    return service;
}

void CameraService::Message(const std::string& text) {
    if (m_hooks.message) m_hooks.message(text);
    else plat::MessageBoxOk(text, true);
}

bool CameraService::InitCameras(int language) {
    Shutdown();
    m_Stop = false;
    plat::CameraSdkInit(language);
    plat::CameraDevInfo list[8];
    int count = 8;
    if (plat::CameraEnumerateDevice(list, &count) != 0 || count <= 0) {
        Message("No camera found !");
        StartDisplay();
        return false;
    }
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        plat::CameraHandle h = 0;
        const int status = plat::CameraInit(&list[i], -1, -1, &h);
        if (status != 0) {
            char b[96];
            std::snprintf(b, sizeof b, "Camera initialization failed!Error code %d", status);
            Message(std::string(b) + plat::CameraGetErrorString(status));
            ok = false;
            break;
        }
        {
            std::lock_guard lock(m_handleMutex);
            m_allHandles.push_back(h);
        }
        char name[plat::kCameraNameSize] = {};
        plat::CameraGetFriendlyName(h, name);
        int camera = -1;
        for (int c = 0; c < kSdkCameraCount; ++c)
            if (std::strcmp(name, CameraFriendlyName(c)) == 0) camera = c;
        if (camera < 0 || m_handles[camera]) {
            Message("Camera name mismatch");
            continue;
        }
        plat::CameraCapability cap;
        plat::CameraGetCapability(h, &cap);
        plat::CameraSetIspOutFormat(h, cap.mono ? plat::kCameraMediaMono8 : plat::kCameraMediaBgr8);
        plat::CameraSetTriggerMode(h, 0);
        m_triggerMode[camera] = 0;
        m_handles[camera] = h;
    }
    for (int c = 0; c < kSdkCameraCount; ++c) {
        if (!m_handles[c] || !CameraSdkFlag(c)) continue;
        NotePlay(c);
        plat::CameraPlay(m_handles[c]);
        m_threads.emplace_back([this, c] {
            switch (c) {
            case kMarkCamera: MarkCameraGrabThread(); break;
            case kVisionCamera1: VisualCamera1GrabThread(); break;
            default: VisualCamera2GrabThread(); break;
            }
        });
    }
    if (m_handles[kVisionCamera1] && g_FlyCameraOn) m_threads.emplace_back([this] { FlyCameraFrameThread(); });
    StartDisplay();
    return ok;
}

void CameraService::StartDisplay() {
    m_Stop = false;
    m_threads.emplace_back([this] { VisionResultDisplayThread(); });
}

void CameraService::Shutdown() {
    m_Stop = true;
    // Nothing to wake at process exit, when the result slots may be gone already.
    if (!m_threads.empty()) VisionResults().ResultEvent().Set();
    for (auto& t : m_threads)
        if (t.joinable()) t.join();
    m_threads.clear();
    {
        std::lock_guard lock(m_handleMutex);
        for (plat::CameraHandle h : m_allHandles) plat::CameraUnInit(h);
        m_allHandles.clear();
    }
    for (auto& h : m_handles) h = 0;
    for (auto& t : m_frameNs) t = 0;
    for (auto& r : m_requests) r = 0;
    for (auto& r : m_visionTestRequest) r = false;
}

bool CameraService::PlayCamera(int camera) {
    if (camera < 0 || camera >= kSdkCameraCount) return false;
    // Before the count: a frame that sees the request sees its time as well.
    std::uint64_t before = m_requestNs[camera].load();
    const std::uint64_t now = SteadyNs();
    while (before < now && !m_requestNs[camera].compare_exchange_weak(before, now)) {}
    NotePlay(camera);
    if (m_handles[camera]) plat::CameraPlay(m_handles[camera]);
    ++m_requests[camera];
    return m_handles[camera] != 0;
}

bool CameraService::PauseCamera(int camera) {
    if (camera < 0 || camera >= kSdkCameraCount || !m_handles[camera]) return false;
    return plat::CameraPause(m_handles[camera]) == 0;
}

bool CameraService::IsCameraPresent(int camera) const {
    if (camera < 0 || camera >= kSdkCameraCount) return true;
    return m_handles[camera] != 0;
}

int CameraService::TriggerMode(int camera) const { return m_triggerMode[Clamp(camera)].load(); }

bool CameraService::SetTriggerMode(int camera, int mode) {
    if (camera < 0 || camera >= kSdkCameraCount || !m_handles[camera]) return false;
    ++m_modeGeneration;
    m_triggerMode[camera] = mode;
    {
        std::lock_guard lock(m_ringMutex);
        m_FlyReadIndex = m_ringWrite;  // a new pass starts with an empty ring
    }
    // A pause drops the frames of the old mode still waiting in the device.
    plat::CameraPause(m_handles[camera]);
    const bool ok = plat::CameraSetTriggerMode(m_handles[camera], mode) == 0;
    plat::CameraPlay(m_handles[camera]);
    return ok;
}

bool CameraService::SwitchToCamera(int camera, int triggerMode) {
    if (camera < 0 || camera >= kSdkCameraCount) return false;
    for (int c = 0; c < kSdkCameraCount; ++c)
        if (c != camera) PauseCamera(c);
    if (!m_handles[camera]) return false;
    if (camera == kVisionCamera1 && triggerMode >= 0) SetTriggerMode(camera, triggerMode);
    NotePlay(camera);
    return plat::CameraPlay(m_handles[camera]) == 0;
}

void CameraService::NotePlay(int camera) {
    std::uint64_t before = m_playNs[camera].load();
    const std::uint64_t now = SteadyNs();
    while (before < now && !m_playNs[camera].compare_exchange_weak(before, now)) {}
}

bool CameraService::PictureStale(int camera) const {
    if (camera < 0 || camera >= kSdkCameraCount || !m_handles[camera]) return false;
    if (camera == kVisionCamera1 && m_triggerMode[camera].load() == 2) return false;
    const std::uint64_t since = std::max(m_frameNs[camera].load(), m_playNs[camera].load());
    const auto bound = static_cast<std::uint64_t>(std::chrono::nanoseconds(kFrameWaitLimit).count());
    return since != 0 && SteadyNs() - since > bound;
}

bool CameraService::ReopenCamera(int camera) {
    plat::CameraDevInfo list[8];
    int count = 8;
    if (plat::CameraEnumerateDevice(list, &count) != 0) return false;
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(list[i].friendlyName, CameraFriendlyName(camera)) != 0) continue;
        plat::CameraHandle h = 0;
        if (plat::CameraInit(&list[i], -1, -1, &h) != 0) return false;
        // The same device, still disconnected, is no source come back.
        plat::CameraFrameStatistic stat;
        if (plat::CameraGetFrameStatistic(h, &stat) != 0) {
            plat::CameraUnInit(h);
            return false;
        }
        plat::CameraCapability cap;
        plat::CameraGetCapability(h, &cap);
        plat::CameraSetIspOutFormat(h, cap.mono ? plat::kCameraMediaMono8 : plat::kCameraMediaBgr8);
        plat::CameraSetTriggerMode(h, m_triggerMode[camera].load());
        const plat::CameraHandle old = m_handles[camera].exchange(h);
        {
            std::lock_guard lock(m_handleMutex);
            std::erase(m_allHandles, old);
            m_allHandles.push_back(h);
        }
        plat::CameraUnInit(old);
        NotePlay(camera);
        plat::CameraPlay(h);
        return true;
    }
    return false;
}

plat::CameraHandle CameraService::Handle(int camera) const { return m_handles[Clamp(camera)]; }

plat::CameraFrameHead CameraService::LastHead(int camera) const {
    std::lock_guard lock(m_slotMutex);
    return m_heads[Clamp(camera)];
}

cv::Mat CameraService::TakeSlot(int camera) const {
    std::lock_guard lock(m_slotMutex);
    return m_slots[Clamp(camera)];
}

std::optional<cv::Mat> CameraService::GrabFrame(int camera, std::chrono::milliseconds limit) {
    if (camera < 0 || camera >= kSdkCameraCount) return std::nullopt;
    FrameReady(camera).Reset();
    PlayCamera(camera);
    if (FrameReady(camera).Wait(limit) != plat::WaitResult::Signalled) {
        // The request was not served: take it back so a late frame is not handed off to nobody.
        int n = m_requests[camera].load();
        while (n > 0 && !m_requests[camera].compare_exchange_weak(n, n - 1)) {}
        return std::nullopt;
    }
    cv::Mat frame = TakeSlot(camera);
    if (frame.empty()) return std::nullopt;
    return frame;
}

bool CameraService::RequestVisionTest(int camera) {
    if (camera < 0 || camera >= kSdkCameraCount || !IsCameraPresent(camera)) return false;
    m_visionTestRequest[camera] = true;
    return true;
}

void CameraService::OnFrame(int camera, const cv::Mat& frame, int triggerMode, std::uint64_t exposedNs) {
    if (triggerMode < 0) triggerMode = m_triggerMode[camera];
    if (exposedNs == 0) exposedNs = SteadyNs();
    m_frameNs[camera] = SteadyNs();
    {
        std::lock_guard lock(m_slotMutex);
        m_heads[camera].width = frame.cols;
        m_heads[camera].height = frame.rows;
    }
    const auto kept = [&frame] { return frame.u ? frame : frame.clone(); };
    if (camera == kVisionCamera1 && triggerMode == 2) {
        // Triggered frames belong to the flying pass; requests wait for continuous mode.
        cv::Mat copy = kept();
        std::lock_guard lock(m_ringMutex);
        m_ring[m_ringWrite] = std::move(copy);
        m_ringWrite = (m_ringWrite + 1) % kFlyRingSize;
        return;
    }
    // A frame exposed before the newest request shows the machine before the
    // requester's last move: the request waits for a later one (live view only).
    int pending = exposedNs < m_requestNs[camera].load() ? 0 : m_requests[camera].load();
    while (pending > 0 && !m_requests[camera].compare_exchange_weak(pending, pending - 1)) {}
    if (pending > 0) {
        if (m_visionTestRequest[camera].exchange(false)) {
            if (m_hooks.visionTest) m_hooks.visionTest(camera, kept());
            return;
        }
        cv::Mat copy = kept();
        {
            std::lock_guard lock(m_slotMutex);
            m_slots[camera] = std::move(copy);
        }
        m_ready[camera]->Set();
        return;
    }
    if (camera == g_CurrentCamera && m_hooks.liveFrame) m_hooks.liveFrame(camera, kept());
}

void CameraService::GrabThread(int camera) {
    std::vector<std::uint8_t> out;
    auto nextReopen = std::chrono::steady_clock::time_point{};
    while (!m_Stop) {
        const plat::CameraHandle h = m_handles[camera];
        plat::CameraFrameHead head;
        std::uint8_t* raw = nullptr;
        const int generation = m_modeGeneration;
        int mode = m_triggerMode[camera];
        const int status = plat::CameraGetImageBufferPriority(h, &head, &raw, 1000, 1);
        if (status == plat::kCameraTimeout) continue;
        if (status != 0) {
            // A source that went away is looked for twice a second until it is
            // back; the requests made meanwhile wait for its first fresh frame.
            const auto now = std::chrono::steady_clock::now();
            if (SourceGone(status) && now >= nextReopen) {
                nextReopen = now + std::chrono::milliseconds(500);
                if (ReopenCamera(camera)) continue;
            }
            // A dead or paused device must not spin this thread.
            plat::SleepFor(std::chrono::milliseconds(50), &m_Stop);
            continue;
        }
        out.resize(static_cast<std::size_t>(head.width) * head.height * 3);
        plat::CameraFrameHead processed = head;
        const int ps = plat::CameraImageProcess(h, raw, out.data(), &processed);
        plat::CameraReleaseImageBuffer(h, raw);
        // A frame taken across a trigger-mode change belongs to neither mode; in
        // trigger mode only a triggered frame counts for the flying pass: a frame
        // of the free-running stream still on its way after the switch was taken
        // before it.
        if (ps != 0) continue;
        if (generation != m_modeGeneration) {
            // A triggered frame can only come from trigger mode 2: when that is the
            // mode now, it is the flying pass's first frame, taken by a wait begun
            // before the switch, and losing it would leave the pass a frame short.
            if (!(camera == kVisionCamera1 && head.isTrigger && m_triggerMode[camera] == 2)) continue;
            mode = 2;
        }
        if (camera == kVisionCamera1 && mode == 2 && !head.isTrigger) continue;
        OnFrame(camera, FrameView(out.data(), processed), mode, head.exposedNs);
    }
}

void CameraService::FlyCameraFrameThread() {
    while (!m_Stop) {
        plat::SleepFor(std::chrono::milliseconds(20), &m_Stop);
        while (!m_Stop && m_triggerMode[kVisionCamera1] == 2) {
            cv::Mat frame;
            {
                std::lock_guard lock(m_ringMutex);
                if (m_FlyReadIndex == m_ringWrite) break;
                frame = m_ring[m_FlyReadIndex];
                m_ring[m_FlyReadIndex].release();
                m_FlyReadIndex = (m_FlyReadIndex + 1) % kFlyRingSize;
            }
            const int count = g_FlyFrameCount.load();
            // Frames beyond the pass's heads have no nozzle to measure.
            if (count >= g_HeadCount) continue;
            const int nozzle = count + 1;
            if (m_FlyTestRequest) {
                if (m_hooks.flyTest) m_hooks.flyTest(nozzle, frame);
            } else if (m_hooks.flyMeasure) {
                m_hooks.flyMeasure(nozzle, frame);
            }
            if (m_hooks.liveFrame) m_hooks.liveFrame(kVisionCamera1, frame);
            if (++g_FlyFrameCount == g_HeadCount) m_hFlyDoneEvent.Set();
        }
    }
}

void CameraService::VisionResultDisplayThread() {
    while (!m_Stop) {
        VisionResults().ResultEvent().Wait(std::chrono::milliseconds(500), &m_Stop);
        if (m_Stop) break;
        for (int slot = 0; slot < kVisionResultSlotCount; ++slot) {
            cv::Mat image;
            if (VisionResults().TakeReady(slot, image) && m_hooks.showResult) m_hooks.showResult(slot, image);
        }
    }
}

} // namespace smt
