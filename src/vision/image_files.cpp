#include "vision/image_files.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

namespace smt {
namespace {

struct Codecs {
    bool (*read)(const char*, int, cv::Mat*) = nullptr;
    bool (*write)(const char*, const cv::Mat*) = nullptr;
    void* (*videoOpen)(int, int) = nullptr;
    bool (*videoSet)(void*, int, double) = nullptr;
    double (*videoGet)(void*, int) = nullptr;
    bool (*videoRead)(void*, cv::Mat*) = nullptr;
    void (*videoClose)(void*) = nullptr;
};

// The build puts the module beside the program, one folder above the tests and
// benchmarks; else the loader's own search.
void* OpenModule() {
    const char* name = "libsmt_codecs.so";
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string dir(self, static_cast<std::size_t>(n));
        dir.erase(dir.find_last_of('/') + 1);
        for (const std::string& at : {dir + name, dir + "../" + name})
            if (void* h = ::dlopen(at.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    return ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

template <class F>
void Take(void* module, const char* symbol, F*& to) {
    to = reinterpret_cast<F*>(::dlsym(module, symbol));
}

// Loaded once and kept for the life of the process.
const Codecs& TheCodecs() {
    static Codecs codecs;
    static std::once_flag once;
    std::call_once(once, [] {
        void* module = OpenModule();
        if (!module) return;
        Codecs c;
        Take(module, "smt_codecs_read", c.read);
        Take(module, "smt_codecs_write", c.write);
        Take(module, "smt_codecs_video_open", c.videoOpen);
        Take(module, "smt_codecs_video_set", c.videoSet);
        Take(module, "smt_codecs_video_get", c.videoGet);
        Take(module, "smt_codecs_video_read", c.videoRead);
        Take(module, "smt_codecs_video_close", c.videoClose);
        if (c.read && c.write && c.videoOpen && c.videoSet && c.videoGet && c.videoRead && c.videoClose) codecs = c;
    });
    return codecs;
}

} // namespace

cv::Mat ReadImageFile(const std::string& file, int flags) {
    cv::Mat image;
    const Codecs& c = TheCodecs();
    if (!c.read || !c.read(file.c_str(), flags, &image)) return cv::Mat();
    return image;
}

bool WriteImageFile(const std::string& file, const cv::Mat& image) {
    const Codecs& c = TheCodecs();
    return c.write && c.write(file.c_str(), &image);
}

bool VideoCaptureDevice::Open(int device, int api) {
    Release();
    const Codecs& c = TheCodecs();
    if (c.videoOpen) m_video = c.videoOpen(device, api);
    return m_video != nullptr;
}

bool VideoCaptureDevice::Set(int property, double value) {
    return m_video && TheCodecs().videoSet(m_video, property, value);
}

double VideoCaptureDevice::Get(int property) const { return m_video ? TheCodecs().videoGet(m_video, property) : 0; }

bool VideoCaptureDevice::Read(cv::Mat* frame) { return m_video && TheCodecs().videoRead(m_video, frame); }

void VideoCaptureDevice::Release() {
    if (m_video) TheCodecs().videoClose(m_video);
    m_video = nullptr;
}

} // namespace smt
