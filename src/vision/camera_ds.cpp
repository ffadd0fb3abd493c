#include "vision/camera_ds.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "platform/camera_channel.h"
#include "vision/image_files.h"

namespace smt {
namespace {

std::uint64_t SteadyNs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// V4L2 capture nodes (a device's first node, index 0), by device number.
std::vector<int> V4l2Devices() {
    std::vector<int> out;
    DIR* d = ::opendir("/sys/class/video4linux");
    if (!d) return out;
    while (const dirent* e = ::readdir(d)) {
        int n = -1;
        if (std::sscanf(e->d_name, "video%d", &n) != 1) continue;
        std::ifstream in(std::string("/sys/class/video4linux/") + e->d_name + "/index");
        int index = 0;
        if (in >> index && index != 0) continue;
        out.push_back(n);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

class V4l2Source : public VideoSampleSource {
public:
    bool Open(int index, int width, int height) override {
        const auto devices = V4l2Devices();
        if (index < 0 || index >= static_cast<int>(devices.size())) return false;
        if (!m_cap.Open(devices[static_cast<std::size_t>(index)], cv::CAP_V4L2)) return false;
        m_cap.Set(cv::CAP_PROP_FRAME_WIDTH, width);
        m_cap.Set(cv::CAP_PROP_FRAME_HEIGHT, height);
        // The driver's buffer ring (OpenCV asks for four when it cannot tell).
        const double buffers = m_cap.Get(cv::CAP_PROP_BUFFERSIZE);
        m_queued = buffers >= 1 && buffers <= 64 ? static_cast<int>(buffers) : 4;
        return static_cast<int>(m_cap.Get(cv::CAP_PROP_FRAME_WIDTH)) == width &&
               static_cast<int>(m_cap.Get(cv::CAP_PROP_FRAME_HEIGHT)) == height;
    }
    bool Read(cv::Mat* sample) override {
        m_exposedNs = 0;
        if (!m_cap.Read(sample) || sample->empty()) return false;
        // The driver's buffer stamp (monotonic clock, in ms). A stamp from another
        // clock would pass stale frames or refuse fresh ones: one that is not
        // within the last ten seconds counts as unknown.
        const double ms = m_cap.Get(cv::CAP_PROP_POS_MSEC);
        const std::uint64_t now = SteadyNs();
        if (ms > 0 && ms * 1e6 < static_cast<double>(now)) {
            const auto stamp = static_cast<std::uint64_t>(ms * 1e6);
            if (now - stamp < 10'000'000'000ULL) m_exposedNs = stamp;
        }
        return true;
    }
    void Close() override { m_cap.Release(); }
    std::uint64_t ExposedNs() const override { return m_exposedNs; }
    int QueuedSamples() const override { return m_queued; }

private:
    VideoCaptureDevice m_cap;
    std::uint64_t m_exposedNs = 0;
    int m_queued = 4;
};

// A video camera the simulated machine publishes.
class PublishedSource : public VideoSampleSource {
public:
    bool Open(int index, int width, int height) override {
        const auto list = plat::ListChannelVideoCameras();
        if (index < 0 || index >= static_cast<int>(list.size())) return false;
        const auto& d = list[static_cast<std::size_t>(index)];
        if (d.maxWidth != width || d.maxHeight != height) return false;
        m_device = plat::OpenChannelVideoCamera(index);
        return m_device && m_device->Play() == plat::kCameraOk;
    }
    bool Read(cv::Mat* sample) override {
        plat::CameraFramePtr f;
        if (!m_device || m_device->WaitFrame(m_last, std::chrono::milliseconds(2000), &f) != plat::kCameraOk) return false;
        m_last = f->seq;
        m_exposedNs = f->exposedNs;
        const int type = f->channels == 1 ? CV_8UC1 : CV_8UC3;
        cv::Mat(f->height, f->width, type, const_cast<std::uint8_t*>(f->pixels.data())).copyTo(*sample);
        return true;
    }
    void Close() override { m_device.reset(); }
    std::uint64_t ExposedNs() const override { return m_exposedNs; }

private:
    std::shared_ptr<plat::CameraDevice> m_device;
    std::uint64_t m_last = 0;
    std::uint64_t m_exposedNs = 0;
};

int DefaultCount() {
    const auto published = plat::ListChannelVideoCameras();
    return published.empty() ? static_cast<int>(V4l2Devices().size()) : static_cast<int>(published.size());
}

std::unique_ptr<VideoSampleSource> DefaultSource() {
    if (!plat::ListChannelVideoCameras().empty()) return std::make_unique<PublishedSource>();
    return std::make_unique<V4l2Source>();
}

} // namespace

int DefaultVideoSourceCount() { return DefaultCount(); }
std::unique_ptr<VideoSampleSource> DefaultVideoSource() { return DefaultSource(); }

VideoSourcePort& TheVideoSourcePort() {
    static VideoSourcePort port;
    return port;
}

// The sample reads run on a thread of their own, so that a silent device delays a
// query by kQueryLimit at most. The thread owns the source; when a read never
// returns, closing leaves the thread to end with it rather than block the caller.
// While a query waits, the thread reads on until a sample exposed after the query
// began comes; older ones are dropped. A sample without a stamp is known to be
// captured after the query only when the reads begun since the query have emptied
// the buffers the device held then: the first QueuedSamples() of them are dropped.
struct CCameraDS::Reader {
    std::unique_ptr<VideoSampleSource> source;
    std::mutex mutex;
    std::condition_variable cv;
    bool want = false, busy = false, got = false, stop = false;
    std::uint64_t requestNs = 0;  // when the waiting query began
    int unstampedReads = 0;       // unstamped samples from reads begun since then
    cv::Mat sample;
    std::uint64_t sampleNs = 0;   // its exposure
    std::thread thread;

    void Run() {
        std::unique_lock lock(mutex);
        while (!stop) {
            if (!want) {
                cv.wait_for(lock, std::chrono::milliseconds(200));
                continue;
            }
            busy = true;
            lock.unlock();
            const std::uint64_t began = SteadyNs();
            const int queued = source->QueuedSamples();
            cv::Mat s;
            const bool ok = source->Read(&s);
            std::uint64_t exposed = ok ? source->ExposedNs() : 0;
            const bool stamped = exposed != 0;
            if (!stamped) exposed = began;
            lock.lock();
            busy = false;
            if (!ok || s.empty()) {
                // A failing device is not read in a loop: the query runs out.
                want = false;
            } else if (exposed >= requestNs && !stamped && ++unstampedReads <= queued) {
                // A buffer the device held when the query began: read past it.
            } else if (exposed >= requestNs) {
                sample = s;
                sampleNs = exposed;
                got = true;
                want = false;
            }
            cv.notify_all();
        }
    }
};

CCameraDS::CCameraDS() = default;

CCameraDS::~CCameraDS() { CloseCamera(); }

int CCameraDS::CameraCount() {
    auto& port = TheVideoSourcePort();
    return port.count ? port.count() : DefaultCount();
}

bool CCameraDS::OpenCamera(int index) {
    CloseCamera();
    auto& port = TheVideoSourcePort();
    auto source = port.make ? port.make() : DefaultSource();
    if (!source || !source->Open(index, kWidth, kHeight)) {
        if (source) source->Close();
        return false;
    }
    m_reader = std::make_shared<Reader>();
    m_reader->source = std::move(source);
    m_reader->thread = std::thread([r = m_reader] { r->Run(); });
    m_nWidth = kWidth;
    m_nHeight = kHeight;
    m_bConnected = true;
    return true;
}

cv::Mat* CCameraDS::QueryFrame() {
    if (!m_bConnected || !m_reader) return nullptr;
    Reader& r = *m_reader;
    cv::Mat sample;
    {
        const std::uint64_t now = SteadyNs();
        std::unique_lock lock(r.mutex);
        // A sample kept from an earlier query that ran out is older than this one.
        if (r.got && r.sampleNs < now) {
            r.got = false;
            r.sample.release();
        }
        r.requestNs = now;
        r.unstampedReads = 0;
        if (!r.got) {
            r.want = true;
            r.cv.notify_all();
        }
        if (!r.cv.wait_for(lock, kQueryLimit, [&] { return r.got || r.stop; }) || !r.got) {
            r.want = false;
            return nullptr;
        }
        r.got = false;
        sample = std::move(r.sample);
    }
    cv::Mat bgr;
    if (sample.depth() != CV_8U) sample.convertTo(sample, CV_8U);
    if (sample.channels() == 1) cv::cvtColor(sample, bgr, cv::COLOR_GRAY2BGR);
    else if (sample.channels() == 4) cv::cvtColor(sample, bgr, cv::COLOR_BGRA2BGR);
    else bgr = sample;
    // The frame is made again only when the sample's size changes.
    const int bytes = static_cast<int>(bgr.total() * bgr.elemSize());
    if (bytes != m_nBufferSize || m_pFrame.cols != bgr.cols || m_pFrame.rows != bgr.rows) {
        m_nBufferSize = bytes;
        m_nWidth = bgr.cols;
        m_nHeight = bgr.rows;
        m_pFrame.release();
        m_pFrame.create(m_nHeight, m_nWidth, CV_8UC3);
    }
    bgr.copyTo(m_pFrame);
    return &m_pFrame;
}

void CCameraDS::CloseCamera() {
    if (m_reader) {
        std::shared_ptr<Reader> r = std::move(m_reader);
        bool idle;
        {
            std::unique_lock lock(r->mutex);
            r->stop = true;
            r->cv.notify_all();
            idle = r->cv.wait_for(lock, kQueryLimit, [&] { return !r->busy; });
        }
        if (idle) {
            r->thread.join();
            r->source->Close();
        } else {
            r->thread.detach();  // a read that never returns; the thread ends with it
        }
    }
    m_pFrame.release();
    m_bConnected = false;
    m_nWidth = m_nHeight = m_nBufferSize = 0;
}

std::unique_ptr<CCameraDS> CreateCameraDS(int index) {
    auto camera = std::make_unique<CCameraDS>();
    if (!camera->OpenCamera(index)) return nullptr;
    return camera;
}

} // namespace smt
