#include "cameras.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "frame_render.h"
#include "platform/event.h"

namespace sim {

using plat::CameraFrame;
using plat::CameraFramePtr;
using Clock = std::chrono::steady_clock;

// ---- still scene ----

void StillScene::SetPart(int visionType) {
    std::lock_guard lock(m_mutex);
    m_visionType = std::clamp(visionType, 0, 11);
    m_cache.clear();
}

void StillScene::SetMarkDiameter(double mm) {
    std::lock_guard lock(m_mutex);
    m_markMm = mm > 0 ? mm : 1.0;
    m_cache.clear();
}

cv::Mat StillScene::Render(CameraRole role, int width, int height, int channels, std::uint64_t, bool) {
    std::lock_guard lock(m_mutex);
    const std::string key = std::to_string(static_cast<int>(role)) + ":" + std::to_string(width) + "x" +
                            std::to_string(height) + "x" + std::to_string(channels);
    for (const auto& [k, m] : m_cache)
        if (k == key) return m;
    CameraLook look;
    look.width = width;
    look.height = height;
    look.channels = channels;
    cv::Mat frame = role == CameraRole::Mark ? RenderMarks(look, {Disc{0.0, 0.0, m_markMm}})
                                             : RenderPart(look, PackageForVisionType(m_visionType), Pose{});
    m_cache.emplace_back(key, frame);
    return frame;
}

// ---- one camera ----

SimCamera::SimCamera(CameraSpec spec, std::shared_ptr<FrameSource> source)
    : m_spec(std::move(spec)), m_source(std::move(source)), m_width(m_spec.width), m_height(m_spec.height) {
    if (m_spec.video) m_playing = true;  // an ordinary camera streams from the start
    m_thread = std::thread([this] { Loop(); });
}

SimCamera::~SimCamera() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

void SimCamera::SetListener(Listener l) {
    std::lock_guard lock(m_mutex);
    m_listener = std::move(l);
}

void SimCamera::SetSource(std::shared_ptr<FrameSource> source) {
    std::lock_guard lock(m_mutex);
    m_source = std::move(source);
}

int SimCamera::Play() {
    std::lock_guard lock(m_mutex);
    if (m_disconnected) return plat::kCameraDisconnected;
    m_playing = true;
    m_cv.notify_all();
    return plat::kCameraOk;
}

int SimCamera::Pause() {
    std::function<void()> state;
    {
        std::lock_guard lock(m_mutex);
        if (m_disconnected) return plat::kCameraDisconnected;
        m_playing = false;
        m_triggers = 0;
        m_inFlight.clear();  // a stopped stream delivers nothing more
        m_pauseSeq = m_seq;  // a frame taken before the pause is not served after it
        state = m_listener.state;
    }
    if (state) state();
    return plat::kCameraOk;
}

int SimCamera::SetTriggerMode(int mode) {
    if (mode < 0 || mode > 2) return plat::kCameraBadParameter;
    std::lock_guard lock(m_mutex);
    if (m_disconnected) return plat::kCameraDisconnected;
    m_mode = mode;
    m_triggers = 0;
    m_cv.notify_all();
    return plat::kCameraOk;
}

int SimCamera::TriggerMode() const {
    std::lock_guard lock(m_mutex);
    return m_mode;
}

bool SimCamera::Playing() const {
    std::lock_guard lock(m_mutex);
    return m_playing;
}

void SimCamera::Trigger() {
    std::lock_guard lock(m_mutex);
    if (m_mode != 2 || !m_playing || m_disconnected) return;
    ++m_triggers;
    m_cv.notify_all();
}

std::uint64_t SimCamera::PauseSeq() const {
    std::lock_guard lock(m_mutex);
    return m_pauseSeq;
}

int SimCamera::WaitFrame(std::uint64_t after, std::chrono::milliseconds limit, CameraFramePtr* out) {
    const auto deadline = Clock::now() + limit;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_disconnected) return plat::kCameraDisconnected;
        if (m_latest && m_latest->seq > std::max(after, m_pauseSeq)) {
            *out = m_latest;
            return plat::kCameraOk;
        }
        if (plat::WaitsCancelled() || m_stop) return plat::kCameraTimeout;
        const auto now = Clock::now();
        if (now >= deadline) return plat::kCameraTimeout;
        // Sliced, since the process-wide cancel does not notify this variable.
        m_cv.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(20)));
    }
}

int SimCamera::Snap(std::chrono::milliseconds limit, CameraFramePtr* out) {
    std::unique_lock lock(m_mutex);
    if (m_disconnected) return plat::kCameraDisconnected;
    const std::uint64_t before = m_seq;
    const bool paused = !m_playing;
    ++m_snaps;
    m_cv.notify_all();
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (m_disconnected) return plat::kCameraDisconnected;
        if (m_latest && m_latest->seq > before) {
            *out = m_latest;
            if (paused) m_pauseSeq = std::max(m_pauseSeq, m_latest->seq);
            return plat::kCameraOk;
        }
        if (plat::WaitsCancelled() || m_stop || Clock::now() >= deadline) return plat::kCameraTimeout;
        m_cv.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(20)));
    }
}

int SimCamera::Statistic(plat::CameraFrameStatistic* out) {
    std::lock_guard lock(m_mutex);
    if (m_disconnected) return plat::kCameraDisconnected;
    *out = m_stat;
    return plat::kCameraOk;
}

void SimCamera::SetDisconnected(bool on) {
    std::function<void()> state;
    {
        std::lock_guard lock(m_mutex);
        m_disconnected = on;
        if (on) {
            m_playing = m_spec.video;
            m_triggers = 0;
        }
        state = m_listener.state;
    }
    m_cv.notify_all();
    if (state) state();
}

bool SimCamera::Disconnected() const {
    std::lock_guard lock(m_mutex);
    return m_disconnected;
}

void SimCamera::SetFrameSize(int width, int height) {
    std::lock_guard lock(m_mutex);
    m_width = std::clamp(width, 1, m_spec.width);
    m_height = std::clamp(height, 1, m_spec.height);
}

void SimCamera::SetFormat(int width, int height, bool mono) {
    std::lock_guard lock(m_mutex);
    m_spec.width = m_width = width;
    m_spec.height = m_height = height;
    m_spec.mono = mono;
}

void SimCamera::DropFrames(int count) {
    std::lock_guard lock(m_mutex);
    m_drop = std::max(0, count);
}

void SimCamera::SetSlowMs(int ms) {
    std::lock_guard lock(m_mutex);
    m_slowMs = std::max(0, ms);
}

// Renders one frame (outside the lock): its exposure. A frame of the free-running
// stream of a slow camera arrives m_slowMs later; any other is delivered at once.
void SimCamera::Produce(std::unique_lock<std::mutex>& lock, bool triggered) {
    auto source = m_source;
    const int w = m_width, h = m_height, ch = m_spec.mono ? 1 : 3;
    const std::uint64_t n = m_seq + 1;
    const auto exposed = Clock::now();
    lock.unlock();
    cv::Mat mat = source ? source->Render(m_spec.role, w, h, ch, n, triggered) : cv::Mat(h, w, ch == 1 ? CV_8UC1 : CV_8UC3, cv::Scalar::all(0));
    if (mat.cols != w || mat.rows != h || mat.channels() != ch || mat.depth() != CV_8U)
        mat = cv::Mat(h, w, ch == 1 ? CV_8UC1 : CV_8UC3, cv::Scalar::all(0));
    auto f = m_frames.Take(static_cast<std::size_t>(w) * h * ch);
    f->width = w;
    f->height = h;
    f->channels = ch;
    if (mat.isContinuous()) std::memcpy(f->pixels.data(), mat.data, f->pixels.size());
    else
        for (int y = 0; y < h; ++y)
            std::memcpy(f->pixels.data() + static_cast<std::size_t>(y) * w * ch, mat.ptr(y), static_cast<std::size_t>(w) * ch);
    f->exposedNs = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(exposed.time_since_epoch()).count());
    f->triggered = triggered;
    lock.lock();
    if (!triggered && m_slowMs > 0) {
        m_inFlight.emplace_back(exposed + std::chrono::milliseconds(m_slowMs), std::move(f));
        return;
    }
    Deliver(lock, std::move(f));
}

// A frame reaches the host: counted, numbered, served and published (or lost).
void SimCamera::Deliver(std::unique_lock<std::mutex>& lock, std::shared_ptr<CameraFrame> f) {
    ++m_stat.total;
    if (m_drop > 0 || m_disconnected) {
        if (m_drop > 0) --m_drop;
        ++m_stat.lost;
        return;
    }
    ++m_stat.captured;
    f->seq = ++m_seq;
    m_latest = f;
    m_cv.notify_all();
    auto frameListener = m_listener.frame;
    auto state = m_listener.state;
    lock.unlock();
    if (state) state();  // statistics first: a reader of the frame sees it counted
    if (frameListener) frameListener(*f);
    lock.lock();
}

void SimCamera::Loop() {
    std::unique_lock lock(m_mutex);
    auto next = Clock::now();
    while (!m_stop) {
        if (!m_inFlight.empty() && Clock::now() >= m_inFlight.front().first) {
            auto f = std::move(m_inFlight.front().second);
            m_inFlight.pop_front();
            Deliver(lock, std::move(f));
            continue;
        }
        // The next frame in flight arrives on time whatever else the camera waits for.
        const auto arrival = m_inFlight.empty() ? Clock::time_point::max() : m_inFlight.front().first;
        if (m_snaps > 0 && !m_disconnected) {
            --m_snaps;
            Produce(lock);
            continue;
        }
        if (m_triggers > 0) {
            // One exposure per frame period: triggers that come faster (a fly pass's
            // come together) are taken in turn, as the host reads a frame at a time.
            if (Clock::now() < m_nextTriggered) {
                m_cv.wait_until(lock, std::min(m_nextTriggered, arrival));
                continue;
            }
            --m_triggers;
            if (m_slowMs) m_cv.wait_for(lock, std::chrono::milliseconds(m_slowMs));
            Produce(lock, true);
            m_nextTriggered = Clock::now() + std::chrono::milliseconds(kFramePeriodMs);
            continue;
        }
        const auto now = Clock::now();
        if (m_playing && m_mode == 0 && !m_disconnected) {
            if (now >= next) {
                next = std::max(next + std::chrono::milliseconds(kFramePeriodMs), now);
                Produce(lock);
                continue;
            }
            m_cv.wait_until(lock, std::min(next, arrival));
        } else {
            m_cv.wait_until(lock, std::min(now + std::chrono::milliseconds(100), arrival));
            next = Clock::now();
        }
    }
}

// ---- the set ----

namespace {

class InProcessBackend : public plat::CameraBackend {
public:
    explicit InProcessBackend(CameraSet* set) : m_set(set) {}
    int Enumerate(std::vector<plat::CameraDeviceDesc>* out) override {
        if (m_set->EnumerateStatus() != plat::kCameraOk) return m_set->EnumerateStatus();
        out->clear();
        for (int i : Industrial()) {
            const CameraSpec& s = m_set->Camera(i)->Spec();
            plat::CameraDeviceDesc d;
            d.friendlyName = m_names(i);
            d.productName = "SIM-" + std::to_string(s.width) + "x" + std::to_string(s.height);
            d.maxWidth = s.width;
            d.maxHeight = s.height;
            d.mono = s.mono;
            out->push_back(d);
        }
        return plat::kCameraOk;
    }
    int Open(int index, std::shared_ptr<plat::CameraDevice>* out) override {
        const auto list = Industrial();
        if (index < 0 || index >= static_cast<int>(list.size())) return plat::kCameraNoDevice;
        const int device = list[static_cast<std::size_t>(index)];
        if (const int s = m_set->InitStatus(device); s != plat::kCameraOk) return s;
        // Shares the camera but keeps the set's ownership.
        *out = std::shared_ptr<plat::CameraDevice>(std::shared_ptr<void>(), m_set->Camera(device));
        return plat::kCameraOk;
    }
    std::function<std::string(int)> m_names;

private:
    std::vector<int> Industrial() const {
        std::vector<int> v;
        for (int i = 0; i < m_set->Count(); ++i)
            if (!m_set->Camera(i)->Spec().video) v.push_back(i);
        return v;
    }
    CameraSet* m_set;
};

std::string ProductOf(const CameraSpec& s) {
    return "SIM-" + std::to_string(s.width) + "x" + std::to_string(s.height) + (s.mono ? "-M" : "-C");
}

} // namespace

std::vector<CameraSpec> CameraSet::DefaultSpecs(int videoCount, int machineType) {
    std::vector<CameraSpec> v = {
        {kMarkCameraName, CameraRole::Mark, 1280, 1024, false, false},
        {kVision1CameraName, CameraRole::Vision1, 1280, 1024, false, false},
        {kVision2CameraName, CameraRole::Vision2, 1280, 1024, false, false},
    };
    // Type 4 wires its mark camera and its vision camera to video inputs of their own;
    // the other types switch their cameras onto the first input, and type 5 has its
    // synchronous camera on the second.
    for (int i = 0; i < std::clamp(videoCount, 0, 8); ++i) {
        CameraRole role = i == 0 ? CameraRole::Switched : machineType == 5 ? CameraRole::Synchronous : CameraRole::Vision1;
        if (machineType == 4) role = i == 0 ? CameraRole::Mark : CameraRole::Vision1;
        v.push_back({"Video_" + std::to_string(i + 1), role, 640, 480, false, true});
    }
    return v;
}

bool CameraSet::ParseSpecs(const std::string& text, std::vector<CameraSpec>* out) {
    out->clear();
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        if (item.empty()) continue;
        CameraSpec s;
        std::stringstream parts(item);
        std::getline(parts, s.name, ':');
        s.role = s.name == kVision1CameraName ? CameraRole::Vision1
                 : s.name == kVision2CameraName ? CameraRole::Vision2
                                                 : CameraRole::Mark;
        for (std::string p; std::getline(parts, p, ':');) {
            int w = 0, h = 0;
            char x = 0, tail = 0;
            if (p == "mono") s.mono = true;
            else if (std::sscanf(p.c_str(), "%d%c%d%c", &w, &x, &h, &tail) == 3 && x == 'x' && w > 0 && h > 0 &&
                     w <= 4096 && h <= 4096) {
                s.width = w;
                s.height = h;
            } else return false;
        }
        out->push_back(s);
    }
    return out->size() <= 11;
}

CameraSet::CameraSet(std::vector<CameraSpec> specs, std::shared_ptr<FrameSource> source)
    : m_specs(std::move(specs)), m_still(std::make_shared<StillScene>()) {
    std::shared_ptr<FrameSource> src = source ? source : m_still;
    for (const auto& s : m_specs) m_cameras.push_back(std::make_shared<SimCamera>(s, src));
    m_initStatus.assign(m_specs.size(), plat::kCameraOk);
}

CameraSet::~CameraSet() { Unpublish(); }

SimCamera* CameraSet::Camera(int i) {
    return i >= 0 && i < Count() ? m_cameras[static_cast<std::size_t>(i)].get() : nullptr;
}

SimCamera* CameraSet::ByRole(CameraRole role) {
    for (auto& c : m_cameras)
        if (!c->Spec().video && c->Spec().role == role) return c.get();
    return nullptr;
}

void CameraSet::SetSource(std::shared_ptr<FrameSource> source) {
    for (auto& c : m_cameras) c->SetSource(source ? source : m_still);
}

void CameraSet::SetEnumerateStatus(int status) {
    {
        std::lock_guard lock(m_mutex);
        m_enumStatus = status;
    }
    m_publisher.SetEnumerateStatus(status);
}

void CameraSet::SetInitStatus(int device, int status) {
    {
        std::lock_guard lock(m_mutex);
        if (device < 0 || device >= Count()) return;
        m_initStatus[static_cast<std::size_t>(device)] = status;
    }
    m_publisher.SetInitStatus(device, status);
}

int CameraSet::InitStatus(int device) const {
    std::lock_guard lock(m_mutex);
    return device >= 0 && device < static_cast<int>(m_initStatus.size()) ? m_initStatus[static_cast<std::size_t>(device)]
                                                                         : plat::kCameraNoDevice;
}

void CameraSet::SetName(int device, const std::string& name) {
    {
        std::lock_guard lock(m_mutex);
        if (device < 0 || device >= Count()) return;
        m_specs[static_cast<std::size_t>(device)].name = name;
    }
    m_publisher.SetName(device, name);
}

void CameraSet::SetFormat(CameraRole role, int width, int height, bool mono) {
    std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_cameras.size(); ++i) {
        if (m_specs[i].video || m_specs[i].role != role) continue;
        m_specs[i].width = width;
        m_specs[i].height = height;
        m_specs[i].mono = mono;
        m_cameras[i]->SetFormat(width, height, mono);
        return;
    }
}

std::shared_ptr<plat::CameraBackend> CameraSet::Backend() {
    auto b = std::make_shared<InProcessBackend>(this);
    b->m_names = [this](int i) {
        std::lock_guard lock(m_mutex);
        return m_specs[static_cast<std::size_t>(i)].name;
    };
    return b;
}

bool CameraSet::Publish(const std::string& folder, std::string* error) {
    Unpublish();
    std::vector<plat::CameraChannelPublisher::Device> devices;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& s : m_specs)
            devices.push_back({s.name, ProductOf(s), s.video ? plat::CameraKind::Video : plat::CameraKind::Industrial,
                               s.width, s.height, s.mono});
    }
    if (!m_publisher.Open(folder, devices, error)) return false;
    m_publisher.SetEnumerateStatus(m_enumStatus);
    for (int i = 0; i < Count(); ++i) {
        m_publisher.SetInitStatus(i, InitStatus(i));
        SimCamera* cam = Camera(i);
        SimCamera::Listener l;
        l.frame = [this, i](const plat::CameraFrame& f) { m_publisher.Publish(i, f); };
        l.state = [this, i, cam] {
            plat::CameraFrameStatistic s;
            if (cam->Statistic(&s) == plat::kCameraOk) m_publisher.SetStatistic(i, s);
            m_publisher.SetPauseSeq(i, cam->PauseSeq());
            m_publisher.SetDisconnected(i, cam->Disconnected());
        };
        cam->SetListener(l);
        l.state();
    }
    m_serving = true;
    m_server = std::thread([this] {
        auto handler = [this](int device, plat::CameraRequest request, int argument) {
            SimCamera* cam = Camera(device);
            if (!cam) return static_cast<int>(plat::kCameraNoDevice);
            switch (request) {
                case plat::CameraRequest::Play: return cam->Play();
                case plat::CameraRequest::Pause: return cam->Pause();
                case plat::CameraRequest::TriggerMode: return cam->SetTriggerMode(argument);
                case plat::CameraRequest::Snap: {
                    plat::CameraFramePtr f;
                    return cam->Snap(std::chrono::milliseconds(1000), &f);
                }
            }
            return static_cast<int>(plat::kCameraNotSupported);
        };
        while (m_serving) m_publisher.ServeRequests(handler, std::chrono::milliseconds(100));
    });
    return true;
}

void CameraSet::Unpublish() {
    if (!m_server.joinable()) return;
    for (auto& c : m_cameras) c->SetListener({});
    // The server reads the shared mappings: it ends (within its 100 ms wait) before
    // they are unmapped.
    m_serving = false;
    m_server.join();
    m_publisher.Close();
}

std::string CameraSet::Help() {
    return "  camera list                 the simulated cameras and their state\n"
           "  camera enum ok|fail         enumeration fails (no camera found)\n"
           "  camera init N ok|CODE       opening camera N fails with CODE (e.g. -18)\n"
           "  camera name N NAME          camera N reports another name\n"
           "  camera disconnect N | camera connect N\n"
           "  camera size N W H | camera drop N COUNT | camera slow N MS\n"
           "  camera trigger N            a hardware trigger input to camera N\n"
           "  camera scene part VT | camera scene mark MM   the still scene\n";
}

std::string CameraSet::Command(const std::vector<std::string>& w) {
    auto arg = [&](std::size_t i) { return i < w.size() ? w[i] : std::string(); };
    auto num = [&](std::size_t i, long* v) {
        const std::string s = arg(i);
        char* end = nullptr;
        *v = std::strtol(s.c_str(), &end, 10);
        return !s.empty() && *end == '\0';
    };
    const std::string& c = arg(1);
    long n = 0, a = 0, b = 0;
    if (c == "list" || c.empty()) {
        std::ostringstream out;
        for (int i = 0; i < Count(); ++i) {
            SimCamera* cam = Camera(i);
            plat::CameraFrameStatistic s;
            const bool connected = cam->Statistic(&s) == plat::kCameraOk;
            std::lock_guard lock(m_mutex);
            const CameraSpec& spec = cam->Spec();
            out << i + 1 << " " << m_specs[static_cast<std::size_t>(i)].name << (spec.video ? " video " : " ")
                << spec.width << "x" << spec.height << (spec.mono ? " mono" : " colour")
                << (cam->Playing() ? " playing" : " paused") << " trigger " << cam->TriggerMode()
                << (connected ? "" : " disconnected") << " frames " << s.total << "/" << s.captured << "/" << s.lost
                << " init " << m_initStatus[static_cast<std::size_t>(i)] << "\n";
        }
        out << "enumeration " << (m_enumStatus == 0 ? "ok" : std::to_string(m_enumStatus)) << "\n";
        return out.str();
    }
    if (c == "enum" && (arg(2) == "ok" || arg(2) == "fail")) {
        SetEnumerateStatus(arg(2) == "ok" ? plat::kCameraOk : plat::kCameraNoDevice);
        return "ok";
    }
    if (c == "scene" && arg(2) == "part" && num(3, &a)) {
        m_still->SetPart(static_cast<int>(a));
        return "ok";
    }
    if (c == "scene" && arg(2) == "mark") {
        const double mm = std::atof(arg(3).c_str());
        if (mm <= 0) return "usage: camera scene mark MM";
        m_still->SetMarkDiameter(mm);
        return "ok";
    }
    if (!num(2, &n) || n < 1 || n > Count()) return "usage: camera ... N (1.." + std::to_string(Count()) + ")";
    const int i = static_cast<int>(n) - 1;
    SimCamera* cam = Camera(i);
    if (c == "init") {
        if (arg(3) == "ok") SetInitStatus(i, plat::kCameraOk);
        else if (num(3, &a) && a < 0) SetInitStatus(i, static_cast<int>(a));
        else return "usage: camera init N ok|CODE (CODE < 0)";
        return "ok";
    }
    if (c == "name" && !arg(3).empty()) {
        SetName(i, arg(3));
        return "ok";
    }
    if (c == "disconnect" || c == "connect") {
        cam->SetDisconnected(c == "disconnect");
        return "ok";
    }
    if (c == "size" && num(3, &a) && num(4, &b) && a > 0 && b > 0) {
        cam->SetFrameSize(static_cast<int>(a), static_cast<int>(b));
        return "ok";
    }
    if (c == "drop" && num(3, &a) && a >= 0) {
        cam->DropFrames(static_cast<int>(a));
        return "ok";
    }
    if (c == "slow" && num(3, &a) && a >= 0) {
        cam->SetSlowMs(static_cast<int>(a));
        return "ok";
    }
    if (c == "trigger") {
        cam->Trigger();
        return "ok";
    }
    return "unknown camera command\n" + Help();
}

} // namespace sim
