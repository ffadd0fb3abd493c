#include "platform/camera_channel.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

#include "platform/event.h"

namespace plat {
namespace {

constexpr std::uint32_t kBusMagic = 0x53424D43;   // layout marks; a changed layout
constexpr std::uint32_t kRingMagic = 0x53524D43;  // gets a new version
constexpr std::uint32_t kVersion = 2;
constexpr int kMaxDevices = 12;
constexpr int kSlots = 3;
constexpr int kNameSize = 64;
constexpr auto kSlice = std::chrono::milliseconds(20);
constexpr auto kRequestLimit = std::chrono::milliseconds(1000);

static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

struct DeviceEntry {
    char name[kNameSize];
    char product[kNameSize];
    char ring[kNameSize];
    std::uint32_t kind, maxWidth, maxHeight, mono;
    std::atomic<std::int32_t> initStatus;
};

struct Bus {
    std::uint32_t magic, version;
    std::int32_t pid;
    std::uint32_t count;
    std::atomic<std::uint32_t> alive;
    std::atomic<std::uint32_t> doorbell;  // futex word: bumped on every request
    std::atomic<std::int32_t> enumStatus;
    DeviceEntry devices[kMaxDevices];
};

struct Slot {
    std::atomic<std::uint64_t> seq;  // 0 while written
    std::uint32_t width, height, channels, bytes;
    std::uint32_t triggered;
    std::uint64_t exposedNs;
};

struct Ring {
    std::uint32_t magic;
    std::uint32_t slotBytes;
    std::atomic<std::uint32_t> wake;  // futex word: bumped on every frame and state change
    std::atomic<std::uint32_t> disconnected;
    std::atomic<std::uint64_t> latestSeq;
    std::atomic<std::uint64_t> pauseSeq;
    std::atomic<std::uint32_t> total, captured, lost;
    pthread_mutex_t requestLock;  // process-shared, robust: a client that dies inside frees it
    std::atomic<std::uint32_t> requestGen, ackGen;
    std::int32_t requestOp, requestArg;
    std::atomic<std::int32_t> result;
    Slot slots[kSlots];
};

constexpr std::size_t kDataOffset = (sizeof(Ring) + 63) / 64 * 64;

std::size_t RingSize(std::uint32_t slotBytes) { return kDataOffset + static_cast<std::size_t>(kSlots) * slotBytes; }

int* FutexWord(std::atomic<std::uint32_t>* a) { return reinterpret_cast<int*>(a); }

void FutexWait(std::atomic<std::uint32_t>* a, std::uint32_t expected, std::chrono::milliseconds limit) {
    timespec ts{static_cast<time_t>(limit.count() / 1000), static_cast<long>(limit.count() % 1000) * 1000000L};
    syscall(SYS_futex, FutexWord(a), FUTEX_WAIT, static_cast<int>(expected), &ts, nullptr, 0);
}

void FutexWakeAll(std::atomic<std::uint32_t>* a) { syscall(SYS_futex, FutexWord(a), FUTEX_WAKE, INT32_MAX, nullptr, nullptr, 0); }

void Bump(std::atomic<std::uint32_t>* a) {
    a->fetch_add(1);
    FutexWakeAll(a);
}

bool ProcessLives(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

// A shared-memory object mapped read-write; unmapped on destruction.
struct Mapping {
    void* base = MAP_FAILED;
    std::size_t size = 0;
    Mapping() = default;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() { Reset(); }
    void Reset() {
        if (base != MAP_FAILED) ::munmap(base, size);
        base = MAP_FAILED;
        size = 0;
    }
    bool Map(const std::string& name, std::size_t want, bool create) {
        const int fd = ::shm_open(name.c_str(), create ? O_RDWR | O_CREAT | O_EXCL : O_RDWR, 0600);
        if (fd < 0) return false;
        if (create && ::ftruncate(fd, static_cast<off_t>(want)) != 0) {
            ::close(fd);
            return false;
        }
        if (!create) {
            struct stat st {};
            if (::fstat(fd, &st) != 0 || static_cast<std::size_t>(st.st_size) < want) {
                ::close(fd);
                return false;
            }
            want = static_cast<std::size_t>(st.st_size);
        }
        base = ::mmap(nullptr, want, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ::close(fd);
        if (base == MAP_FAILED) return false;
        size = want;
        return true;
    }
    template <class T>
    T* As() const { return static_cast<T*>(base); }
};

std::string Folder() {
    const char* d = std::getenv("SMT_SERIAL_DIR");
    return d && *d ? d : "";
}

std::string ReadIndex(const std::string& folder) {
    std::ifstream in(folder + "/" + kCameraIndexFile);
    std::string name;
    std::getline(in, name);
    return name;
}

std::string Text(const char* s) { return std::string(s, strnlen(s, kNameSize)); }

// The program's view of a live bus.
struct BusView {
    std::shared_ptr<Mapping> map;
    Bus* bus() const { return map->As<Bus>(); }
    bool Alive() const { return bus()->alive.load() && ProcessLives(bus()->pid); }
};

// Opens the bus the folder names, or none.
bool OpenBus(BusView* out) {
    const std::string folder = Folder();
    if (folder.empty()) return false;
    const std::string name = ReadIndex(folder);
    if (name.empty()) return false;
    auto m = std::make_shared<Mapping>();
    if (!m->Map(name, sizeof(Bus), false)) return false;
    Bus* b = m->As<Bus>();
    if (b->magic != kBusMagic || b->version != kVersion || b->count > kMaxDevices) return false;
    out->map = std::move(m);
    return out->Alive();
}

// One device of another process.
class ChannelDevice : public CameraDevice {
public:
    ChannelDevice(BusView bus, std::unique_ptr<Mapping> ring) : m_bus(std::move(bus)), m_ring(std::move(ring)) {}

    int Play() override { return Request(CameraRequest::Play, 0); }
    int Pause() override { return Request(CameraRequest::Pause, 0); }
    int SetTriggerMode(int mode) override { return Request(CameraRequest::TriggerMode, mode); }

    int WaitFrame(std::uint64_t after, std::chrono::milliseconds limit, CameraFramePtr* out) override {
        return Wait(after, true, limit, out);
    }

    int Snap(std::chrono::milliseconds limit, CameraFramePtr* out) override {
        const std::uint64_t before = ring()->latestSeq.load();
        const int status = Request(CameraRequest::Snap, 0);
        if (status != kCameraOk) return status;
        return Wait(before, false, limit, out);
    }

    int Statistic(CameraFrameStatistic* out) override {
        if (!Connected()) return kCameraDisconnected;
        out->total = static_cast<int>(ring()->total.load());
        out->captured = static_cast<int>(ring()->captured.load());
        out->lost = static_cast<int>(ring()->lost.load());
        return kCameraOk;
    }

private:
    Ring* ring() const { return m_ring->As<Ring>(); }
    bool Connected() const { return m_bus.Alive() && !ring()->disconnected.load(); }

    int Wait(std::uint64_t after, bool honourPause, std::chrono::milliseconds limit, CameraFramePtr* out) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        Ring* r = ring();
        for (;;) {
            if (!Connected()) return kCameraDisconnected;
            if (WaitsCancelled()) return kCameraTimeout;
            const std::uint32_t w = r->wake.load();
            const std::uint64_t floor = honourPause ? std::max(after, r->pauseSeq.load()) : after;
            const std::uint64_t s = r->latestSeq.load();
            if (s > floor && Copy(s, out)) return kCameraOk;
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) return kCameraTimeout;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                              std::chrono::milliseconds(1);
            FutexWait(&r->wake, w, std::min<std::chrono::milliseconds>(left, kSlice));
        }
    }

    // The frame of `seq`, unless the writer reused its slot meanwhile.
    bool Copy(std::uint64_t seq, CameraFramePtr* out) {
        Ring* r = ring();
        Slot& slot = r->slots[seq % kSlots];
        if (slot.seq.load(std::memory_order_acquire) != seq) return false;
        const std::uint32_t bytes = slot.bytes;
        if (bytes > r->slotBytes ||
            static_cast<std::uint64_t>(slot.width) * static_cast<std::uint64_t>(slot.height) * slot.channels != bytes)
            return false;
        auto f = m_frames.Take(bytes);
        f->width = static_cast<int>(slot.width);
        f->height = static_cast<int>(slot.height);
        f->channels = static_cast<int>(slot.channels);
        f->triggered = slot.triggered != 0;
        f->exposedNs = slot.exposedNs;
        const auto* data = static_cast<const std::uint8_t*>(m_ring->base) + kDataOffset +
                           static_cast<std::size_t>(seq % kSlots) * r->slotBytes;
        std::memcpy(f->pixels.data(), data, bytes);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.seq.load(std::memory_order_relaxed) != seq) return false;
        f->seq = seq;
        *out = std::move(f);
        return true;
    }

    int Request(CameraRequest op, int arg) {
        if (!Connected()) return kCameraDisconnected;
        Ring* r = ring();
        timespec until{};
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_sec += 1;
        int rc = pthread_mutex_timedlock(&r->requestLock, &until);
        if (rc == EOWNERDEAD) {
            pthread_mutex_consistent(&r->requestLock);
            rc = 0;
        }
        if (rc != 0) return kCameraDeviceBusy;
        r->requestOp = static_cast<std::int32_t>(op);
        r->requestArg = arg;
        const std::uint32_t gen = r->requestGen.load() + 1;
        r->requestGen.store(gen);
        Bump(&m_bus.bus()->doorbell);
        const auto deadline = std::chrono::steady_clock::now() + kRequestLimit;
        int status = kCameraTimeout;
        for (;;) {
            const std::uint32_t acked = r->ackGen.load();
            if (acked == gen) {
                status = r->result.load();
                break;
            }
            if (!Connected()) {
                status = kCameraDisconnected;
                break;
            }
            if (WaitsCancelled() || std::chrono::steady_clock::now() >= deadline) break;
            FutexWait(&r->ackGen, acked, kSlice);
        }
        pthread_mutex_unlock(&r->requestLock);
        return status;
    }

    BusView m_bus;
    std::unique_ptr<Mapping> m_ring;
    CameraFramePool m_frames;
};

std::vector<CameraDeviceDesc> List(const BusView& view, CameraKind kind, std::vector<int>* entries) {
    std::vector<CameraDeviceDesc> out;
    Bus* b = view.bus();
    for (std::uint32_t i = 0; i < b->count; ++i) {
        const DeviceEntry& d = b->devices[i];
        if (d.kind != static_cast<std::uint32_t>(kind)) continue;
        CameraDeviceDesc desc;
        desc.friendlyName = Text(d.name);
        desc.productName = Text(d.product);
        desc.maxWidth = static_cast<int>(d.maxWidth);
        desc.maxHeight = static_cast<int>(d.maxHeight);
        desc.mono = d.mono != 0;
        out.push_back(desc);
        if (entries) entries->push_back(static_cast<int>(i));
    }
    return out;
}

int OpenKind(CameraKind kind, int index, std::shared_ptr<CameraDevice>* out) {
    BusView view;
    if (!OpenBus(&view)) return kCameraNoDevice;
    std::vector<int> entries;
    List(view, kind, &entries);
    if (index < 0 || index >= static_cast<int>(entries.size())) return kCameraNoDevice;
    DeviceEntry& d = view.bus()->devices[entries[static_cast<std::size_t>(index)]];
    const int init = d.initStatus.load();
    if (init != kCameraOk) return init;
    auto ring = std::make_unique<Mapping>();
    if (!ring->Map(Text(d.ring), sizeof(Ring), false) || ring->As<Ring>()->magic != kRingMagic ||
        ring->size < RingSize(ring->As<Ring>()->slotBytes))
        return kCameraNoDevice;
    *out = std::make_shared<ChannelDevice>(std::move(view), std::move(ring));
    return kCameraOk;
}

class ChannelBackend : public CameraBackend {
public:
    int Enumerate(std::vector<CameraDeviceDesc>* out) override {
        BusView view;
        if (!OpenBus(&view)) return kCameraNoDevice;
        const int status = view.bus()->enumStatus.load();
        if (status != kCameraOk) return status;
        *out = List(view, CameraKind::Industrial, nullptr);
        return kCameraOk;
    }
    int Open(int index, std::shared_ptr<CameraDevice>* out) override {
        return OpenKind(CameraKind::Industrial, index, out);
    }
};

// Removes what publishers that died without closing left behind: the objects of
// dead processes, and the index file in `folder` when it names one of them.
void SweepStale(const std::string& folder) {
    if (DIR* d = ::opendir("/dev/shm")) {
        while (const dirent* e = ::readdir(d)) {
            int pid = 0;
            if (std::sscanf(e->d_name, "smt-cam-%d-", &pid) == 1 && !ProcessLives(pid))
                ::shm_unlink((std::string("/") + e->d_name).c_str());
        }
        ::closedir(d);
    }
    const std::string name = ReadIndex(folder);
    if (name.empty()) return;
    Mapping m;
    if (m.Map(name, sizeof(Bus), false)) {
        Bus* b = m.As<Bus>();
        if (b->magic != kBusMagic || ProcessLives(b->pid)) return;  // not ours, or in use
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(b->count, kMaxDevices); ++i)
            ::shm_unlink(Text(b->devices[i].ring).c_str());
    }
    ::shm_unlink(name.c_str());
    std::remove((folder + "/" + kCameraIndexFile).c_str());
}

} // namespace

std::shared_ptr<CameraBackend> CameraChannelBackend() {
    static const auto backend = std::make_shared<ChannelBackend>();
    return backend;
}

std::vector<CameraDeviceDesc> ListChannelVideoCameras() {
    BusView view;
    if (!OpenBus(&view)) return {};
    return List(view, CameraKind::Video, nullptr);
}

std::shared_ptr<CameraDevice> OpenChannelVideoCamera(int index) {
    std::shared_ptr<CameraDevice> d;
    return OpenKind(CameraKind::Video, index, &d) == kCameraOk ? d : nullptr;
}

// ---- publishing side ----

struct CameraChannelPublisher::Impl {
    std::string folder;
    std::string busName;
    Mapping bus;
    std::vector<std::unique_ptr<Mapping>> rings;
    std::mutex mutex;  // writers and Close; ServeRequests runs on one thread, never beside Close
    Bus* B() { return bus.As<Bus>(); }
    Ring* R(int i) {
        return i >= 0 && i < static_cast<int>(rings.size()) ? rings[static_cast<std::size_t>(i)]->As<Ring>() : nullptr;
    }
};

CameraChannelPublisher::CameraChannelPublisher() : m(std::make_unique<Impl>()) {}
CameraChannelPublisher::~CameraChannelPublisher() { Close(); }

bool CameraChannelPublisher::IsOpen() const { return m->bus.base != MAP_FAILED; }

bool CameraChannelPublisher::Open(const std::string& folder, const std::vector<Device>& devices, std::string* error) {
    Close();
    std::unique_lock lock(m->mutex);
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        lock.unlock();
        Close();
        return false;
    };
    if (devices.size() > static_cast<std::size_t>(kMaxDevices)) return fail("too many cameras");
    SweepStale(folder);
    static std::atomic<int> counter{0};
    const std::string stem = "/smt-cam-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    m->folder = folder;
    m->busName = stem + "-bus";
    ::shm_unlink(m->busName.c_str());
    if (!m->bus.Map(m->busName, sizeof(Bus), true)) return fail("cannot create the camera bus: " + std::string(std::strerror(errno)));
    Bus* b = new (m->bus.base) Bus{};
    b->magic = kBusMagic;
    b->version = kVersion;
    b->pid = static_cast<std::int32_t>(::getpid());
    b->count = static_cast<std::uint32_t>(devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const Device& d = devices[i];
        DeviceEntry& e = b->devices[i];
        std::snprintf(e.name, kNameSize, "%s", d.name.c_str());
        std::snprintf(e.product, kNameSize, "%s", d.product.c_str());
        const std::string ringName = stem + "-" + std::to_string(i);
        std::snprintf(e.ring, kNameSize, "%s", ringName.c_str());
        e.kind = static_cast<std::uint32_t>(d.kind);
        e.maxWidth = static_cast<std::uint32_t>(std::max(1, d.maxWidth));
        e.maxHeight = static_cast<std::uint32_t>(std::max(1, d.maxHeight));
        e.mono = d.mono;
        const std::uint32_t slotBytes = e.maxWidth * e.maxHeight * (d.mono ? 1u : 3u);
        auto ring = std::make_unique<Mapping>();
        ::shm_unlink(ringName.c_str());
        if (!ring->Map(ringName, RingSize(slotBytes), true)) return fail("cannot create a camera ring: " + std::string(std::strerror(errno)));
        Ring* r = new (ring->base) Ring{};
        r->magic = kRingMagic;
        r->slotBytes = slotBytes;
        pthread_mutexattr_t attr;
        pthread_mutexattr_init(&attr);
        pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
        pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
        pthread_mutex_init(&r->requestLock, &attr);
        pthread_mutexattr_destroy(&attr);
        m->rings.push_back(std::move(ring));
    }
    b->alive.store(1);
    // The index file last and by rename, so a reader never sees half a name.
    const std::string index = folder + "/" + kCameraIndexFile;
    const std::string temp = index + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << m->busName << "\n";
        if (!out) return fail("cannot write " + index);
    }
    if (std::rename(temp.c_str(), index.c_str()) != 0) return fail("cannot write " + index);
    return true;
}

void CameraChannelPublisher::Close() {
    if (!m) return;
    std::lock_guard lock(m->mutex);
    if (!IsOpen()) return;
    Bus* b = m->B();
    b->alive.store(0);
    Bump(&b->doorbell);
    for (std::size_t i = 0; i < m->rings.size(); ++i) {
        Ring* r = m->rings[i]->As<Ring>();
        Bump(&r->wake);
        FutexWakeAll(&r->ackGen);  // waiters look again; the count stays the requests'
        ::shm_unlink(Text(b->devices[i].ring).c_str());
    }
    if (ReadIndex(m->folder) == m->busName) std::remove((m->folder + "/" + kCameraIndexFile).c_str());
    ::shm_unlink(m->busName.c_str());
    m->rings.clear();
    m->bus.Reset();
}

void CameraChannelPublisher::Publish(int device, const CameraFrame& f) {
    std::lock_guard lock(m->mutex);
    Ring* r = m->R(device);
    if (!r) return;
    const std::size_t bytes = f.pixels.size();
    if (bytes > r->slotBytes || bytes != static_cast<std::size_t>(f.width) * f.height * f.channels) return;
    const std::uint64_t seq = std::max(f.seq, r->latestSeq.load() + 1);
    Slot& slot = r->slots[seq % kSlots];
    slot.seq.store(0, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    auto* data = static_cast<std::uint8_t*>(m->rings[static_cast<std::size_t>(device)]->base) + kDataOffset +
                 static_cast<std::size_t>(seq % kSlots) * r->slotBytes;
    std::memcpy(data, f.pixels.data(), bytes);
    slot.width = static_cast<std::uint32_t>(f.width);
    slot.height = static_cast<std::uint32_t>(f.height);
    slot.channels = static_cast<std::uint32_t>(f.channels);
    slot.bytes = static_cast<std::uint32_t>(bytes);
    slot.triggered = f.triggered ? 1 : 0;
    slot.exposedNs = f.exposedNs;
    slot.seq.store(seq, std::memory_order_release);
    r->latestSeq.store(seq);
    Bump(&r->wake);
}

void CameraChannelPublisher::SetStatistic(int device, const CameraFrameStatistic& s) {
    std::lock_guard lock(m->mutex);
    if (Ring* r = m->R(device)) {
        r->total.store(static_cast<std::uint32_t>(s.total));
        r->captured.store(static_cast<std::uint32_t>(s.captured));
        r->lost.store(static_cast<std::uint32_t>(s.lost));
    }
}

void CameraChannelPublisher::SetPauseSeq(int device, std::uint64_t seq) {
    std::lock_guard lock(m->mutex);
    if (Ring* r = m->R(device)) r->pauseSeq.store(seq);
}

void CameraChannelPublisher::SetDisconnected(int device, bool on) {
    std::lock_guard lock(m->mutex);
    if (Ring* r = m->R(device)) {
        if (r->disconnected.exchange(on) == static_cast<std::uint32_t>(on)) return;
        Bump(&r->wake);
        FutexWakeAll(&r->ackGen);  // waiters look again; the count stays the requests'
    }
}

void CameraChannelPublisher::SetEnumerateStatus(int status) {
    std::lock_guard lock(m->mutex);
    if (IsOpen()) m->B()->enumStatus.store(status);
}

void CameraChannelPublisher::SetInitStatus(int device, int status) {
    std::lock_guard lock(m->mutex);
    if (IsOpen() && device >= 0 && device < static_cast<int>(m->B()->count))
        m->B()->devices[device].initStatus.store(status);
}

void CameraChannelPublisher::SetName(int device, const std::string& name) {
    std::lock_guard lock(m->mutex);
    if (IsOpen() && device >= 0 && device < static_cast<int>(m->B()->count))
        std::snprintf(m->B()->devices[device].name, kNameSize, "%s", name.c_str());
}

void CameraChannelPublisher::ServeRequests(const Handler& handler, std::chrono::milliseconds limit) {
    if (!IsOpen()) {
        SleepFor(limit);
        return;
    }
    Bus* b = m->B();
    const std::uint32_t bell = b->doorbell.load();
    bool served = false;
    for (std::size_t i = 0; i < m->rings.size(); ++i) {
        Ring* r = m->rings[i]->As<Ring>();
        const std::uint32_t gen = r->requestGen.load();
        if (gen == r->ackGen.load()) continue;
        const int status = handler(static_cast<int>(i), static_cast<CameraRequest>(r->requestOp), r->requestArg);
        r->result.store(status);
        r->ackGen.store(gen);
        FutexWakeAll(&r->ackGen);
        served = true;
    }
    if (!served) FutexWait(&b->doorbell, bell, limit);
}

} // namespace plat
